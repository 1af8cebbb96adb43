// A folder of N spring files (variants of the examples: each its own
// drawing number and first force, a quarter of them with the table
// material) printed by "wzeb1 FILE /I" with 8 parallel workers, against the
// same workers running batch_minimal (reads the spring file, writes a file
// of the printout's size, one fsync). Batches in the order wzeb1, minimal,
// minimal, wzeb1, so that a drifting machine load falls on both alike.
// Reports springs per CPU second (user + system of all the runs of a
// batch) and the ratio of the CPU times; every wzeb1 run
// must end with 0 and leave its printout. Target: ratio <= 2.5 at 10,000.
// All workers share one TMPDIR (each run keeps its scratch files in a
// private folder of its own). ZEB1_BENCH_SPRINGS sets N (10000),
// ZEB1_BENCH_WORKERS the workers (8), ZEB1_BENCH_WZEB1 another build of
// the program to run.
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "scratch_folder.h"
#include "cpu_clock.h"

#ifndef ZEB1_WZEB1
#error "ZEB1_WZEB1 names the program"
#endif
#ifndef ZEB1_BATCH_MINIMAL
#error "ZEB1_BATCH_MINIMAL names the yardstick program"
#endif

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

extern char** environ;

namespace {

int EnvInt(const char* name, int fallback) {
  const char* v = std::getenv(name);
  const int n = v != nullptr ? std::atoi(v) : 0;
  return n > 0 ? n : fallback;
}

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find("\r\n", at);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

// Spring k: an example with its drawing number made unique and its first
// force moved by up to 1 % (line 5 and line 55 of every example).
std::string Variant(const std::vector<std::string>& lines, int k) {
  std::vector<std::string> v = lines;
  if (v.size() > 55) {
    v[4] += "-" + std::to_string(k);
    const double f1 = std::atof(v[54].c_str()) * (1 + ((k % 41) - 20) * 0.0005);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.7f", f1);
    v[54] = buf;
  }
  std::string out;
  for (const std::string& l : v) out += l + "\r\n";
  return out;
}

std::string Name(int k) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "s%05d", k);
  return buf;
}

struct Batch {
  double seconds = 0;
  int failed = 0;
  std::vector<std::string> failures;
};

// Runs job(k) for k in [0, n) on `workers` threads, each spawning one
// process at a time with its own environment.
Batch RunBatch(int n, int workers, const fs::path& folder, const std::vector<std::vector<std::string>>& envs,
               const std::function<std::vector<std::string>(int)>& job) {
  Batch b;
  std::atomic<int> next{0}, failed{0};
  std::vector<std::vector<std::string>> failures(static_cast<std::size_t>(workers));
  const double start = zeb::bench::ChildrenCpuMs();
  std::vector<std::thread> threads;
  for (int w = 0; w < workers; ++w) {
    threads.emplace_back([&, w] {
      std::vector<char*> envp;
      std::vector<std::string> env = envs[static_cast<std::size_t>(w)];
      for (std::string& e : env) envp.push_back(e.data());
      envp.push_back(nullptr);
      posix_spawn_file_actions_t actions;
      posix_spawn_file_actions_init(&actions);
      posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
      posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
      posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
      const std::string errFile = (folder.parent_path() / ("stderr" + std::to_string(w))).string();
      posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      for (int k = next++; k < n; k = next++) {
        std::vector<std::string> args = job(k);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_t pid = 0;
        int status = 0;
        const bool ok = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0 &&
                        ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (!ok) {
          ++failed;
          std::string why = ReadAll(errFile);
          if (why.size() > 300) why.resize(300);
          failures[static_cast<std::size_t>(w)].push_back((args.size() > 1 ? args[1] : args[0]) + " (exit " +
                                                          std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) +
                                                          "): " + why);
        }
      }
      posix_spawn_file_actions_destroy(&actions);
    });
  }
  for (std::thread& t : threads) t.join();
  b.seconds = (zeb::bench::ChildrenCpuMs() - start) / 1e3;
  b.failed = failed;
  for (const auto& f : failures) b.failures.insert(b.failures.end(), f.begin(), f.end());
  return b;
}

void RemoveWithExtension(const fs::path& folder, const std::string& ext) {
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec))
    if (e.path().extension() == ext) fs::remove(e.path(), ec);
}

}  // namespace

int main() {
  const int n = EnvInt("ZEB1_BENCH_SPRINGS", 10000);
  const int workers = EnvInt("ZEB1_BENCH_WORKERS", 8);
  const char* envSource = std::getenv("ZEB1_SOURCE_DIR");
  const fs::path source = envSource != nullptr && *envSource != '\0' ? envSource : ZEB1_SOURCE_DIR;
  const char* other = std::getenv("ZEB1_BENCH_WZEB1");
  const std::string program = other != nullptr && *other != '\0' ? other : ZEB1_WZEB1;
  const zeb::bench::ScratchFolder scratch("zeb1_bench_batch_");
  if (scratch.path().empty()) {
    std::fprintf(stderr, "no scratch folder\n");
    return 1;
  }
  const fs::path root = scratch.path(), springs = root / "springs";
  fs::create_directories(springs);
  fs::create_directories(root / "xdg");

  // The springs: a quarter from the table-material example, the rest in
  // turn from the others.
  std::vector<std::vector<std::string>> plain;
  std::vector<std::string> table;
  std::vector<fs::path> names;
  for (const auto& e : fs::directory_iterator(source / "examples"))
    if (e.path().extension() == ".zeb") names.push_back(e.path());
  std::sort(names.begin(), names.end());
  for (const fs::path& p : names) {
    if (p.filename() == "table_material.zeb")
      table = Lines(ReadAll(p));
    else
      plain.push_back(Lines(ReadAll(p)));
  }
  if (table.empty() || plain.empty()) {
    std::fprintf(stderr, "examples missing in %s\n", (source / "examples").c_str());
    return 1;
  }
  for (int k = 0; k < n; ++k) {
    const std::vector<std::string>& base = k % 4 == 0 ? table : plain[static_cast<std::size_t>(k / 4 * 3 + k % 4 - 1) % plain.size()];
    std::ofstream(springs / (Name(k) + ".zeb"), std::ios::binary) << Variant(base, k);
  }

  // Every worker: the one shared temporary folder, no configuration.
  const fs::path tmp = root / "tmp";
  fs::create_directories(tmp);
  std::vector<std::vector<std::string>> envs;
  for (int w = 0; w < workers; ++w) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
      const std::string s = *e;
      if (s.rfind("TMPDIR=", 0) != 0 && s.rfind("XDG_CONFIG_HOME=", 0) != 0) env.push_back(s);
    }
    env.push_back("TMPDIR=" + tmp.string());
    env.push_back("XDG_CONFIG_HOME=" + (root / "xdg").string());
    envs.push_back(std::move(env));
  }

  std::vector<long> sizes(static_cast<std::size_t>(n), 0);
  int missing = 0, zebFailed = 0, minFailed = 0;
  std::vector<std::string> failures;
  double zebSeconds = 0, minSeconds = 0;
  const auto zeb1 = [&] {
    RemoveWithExtension(springs, ".txt");
    Batch b = RunBatch(n, workers, springs, envs, [&program](int k) {
      return std::vector<std::string>{program, Name(k) + ".zeb", "/I"};
    });
    zebSeconds += b.seconds;
    zebFailed += b.failed;
    failures.insert(failures.end(), b.failures.begin(), b.failures.end());
    for (int k = 0; k < n; ++k) {
      struct stat st {};
      const bool there = ::stat((springs / (Name(k) + ".txt")).c_str(), &st) == 0 && st.st_size > 0;
      if (!there) ++missing;
      sizes[static_cast<std::size_t>(k)] = there ? static_cast<long>(st.st_size) : 0;
    }
  };
  const auto minimal = [&] {
    RemoveWithExtension(springs, ".out");
    Batch b = RunBatch(n, workers, springs, envs, [&sizes](int k) {
      return std::vector<std::string>{ZEB1_BATCH_MINIMAL, Name(k) + ".zeb", Name(k) + ".out",
                                      std::to_string(sizes[static_cast<std::size_t>(k)])};
    });
    minSeconds += b.seconds;
    minFailed += b.failed;
  };
  double load0[3] = {0, 0, 0}, load1[3] = {0, 0, 0};
  ::getloadavg(load0, 3);
  zeb1();
  minimal();
  minimal();
  zeb1();
  ::getloadavg(load1, 3);

  const double ratio = minSeconds > 0 ? zebSeconds / minSeconds : 0;
  std::printf("program %s\n", program.c_str());
  std::printf("springs %d (a quarter with the table material), workers %d, one shared TMPDIR\n", n, workers);
  std::printf("wzeb1 /I       : %8.3f s CPU for 2 batches, %8.0f springs/s\n", zebSeconds, 2 * n / zebSeconds);
  std::printf("batch_minimal  : %8.3f s CPU for 2 batches, %8.0f springs/s\n", minSeconds, 2 * n / minSeconds);
  std::printf("ratio          : %8.2f (target <= 2.5)\n", ratio);
  std::printf("wzeb1 failed   : %d, printouts missing: %d; minimal failed: %d\n", zebFailed, missing, minFailed);
  std::printf("load average   : %.2f before, %.2f after (%u cores)\n", load0[0], load1[0],
              std::thread::hardware_concurrency());
  for (std::size_t i = 0; i < failures.size() && i < 10; ++i) std::printf("  failed: %s\n", failures[i].c_str());
  return zebFailed == 0 && missing == 0 && minFailed == 0 ? 0 : 1;
}
