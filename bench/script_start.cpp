// ./wzeb1 /? on an up-to-date build (the script checks the build, then
// starts the program) against the program itself, 20 runs each in turn
// after a warm-up, in CPU time (user + system of each run and what it
// started). Reports the medians. Target: the script's median within 3 x
// the program's + 50 ms.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>
#include "cpu_clock.h"

#ifndef ZEB1_WZEB1
#error "ZEB1_WZEB1 names the program"
#endif

namespace {

// CPU time (user + system) of one run and what it started, in
// microseconds, its output to /dev/null; -1 on failure.
double RunOnce(const std::string& program) {
  const double start = zeb::bench::ChildrenCpuMs();
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (std::freopen("/dev/null", "w", stdout) == nullptr) ::_exit(120);
    ::execl(program.c_str(), program.c_str(), "/?", static_cast<char*>(nullptr));
    ::_exit(121);
  }
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return (zeb::bench::ChildrenCpuMs() - start) * 1e3;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main() {
  const std::string script = std::string(ZEB1_SOURCE_DIR) + "/wzeb1", program = ZEB1_WZEB1;
  if (RunOnce(script) < 0) {
    std::printf("%s /? failed\n", script.c_str());
    return 1;
  }
  std::vector<double> s, p;
  for (int k = 0; k < 20; ++k) {
    s.push_back(RunOnce(script));
    p.push_back(RunOnce(program));
    if (s.back() < 0 || p.back() < 0) {
      std::printf("a run failed\n");
      return 1;
    }
  }
  const double ms = Median(s), mp = Median(p);
  std::printf("median ./wzeb1 /?: %.0f us, program: %.0f us\n", ms, mp);
  std::printf("target script <= 3 x program + 50 ms: %s\n", ms <= 3 * mp + 50000 ? "met" : "MISSED");
  return 0;
}
