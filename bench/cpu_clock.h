// CPU time for the benches: what the process or the calling thread spent
// (user + system), so that ratios hold on a busy machine, where wall time
// counts the waits for a core as well.
#pragma once

#include <sys/resource.h>
#include <time.h>

#include <chrono>

namespace zeb::bench {

// CPU time of the calling thread in milliseconds.
inline double ThreadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// CPU time of the whole process (all its threads) in milliseconds.
inline double ProcessCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// CPU time (user + system) of the ended children waited for, in
// milliseconds: the difference across a child's run is that child's.
inline double ChildrenCpuMs() {
  rusage u{};
  getrusage(RUSAGE_CHILDREN, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

// A clock of the process's CPU time for std::chrono arithmetic, in place
// of steady_clock: now() differences are the CPU time spent between them.
struct CpuClock {
  using duration = std::chrono::nanoseconds;
  using rep = duration::rep;
  using period = duration::period;
  using time_point = std::chrono::time_point<CpuClock>;
  static constexpr bool is_steady = true;
  static time_point now() noexcept {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return time_point(duration(static_cast<rep>(t.tv_sec) * 1000000000 + t.tv_nsec));
  }
};

}  // namespace zeb::bench
