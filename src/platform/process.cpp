#include "platform/process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <thread>

extern char** environ;

namespace zeb {

std::vector<std::string> SplitCommandLine(std::string_view text) {
  std::vector<std::string> out;
  std::string cur;
  bool inToken = false, quoted = false;
  for (char c : text) {
    if (c == '"') {
      quoted = !quoted;
      inToken = true;  // "" is an empty argument
    } else if (!quoted && (c == ' ' || c == '\t')) {
      if (inToken) out.push_back(cur);
      cur.clear();
      inToken = false;
    } else {
      cur += c;
      inToken = true;
    }
  }
  if (inToken) out.push_back(cur);
  return out;
}

std::string CommandWord(std::string_view word) {
  if (word.find_first_of(" \t") == std::string_view::npos) return std::string(word);
  return "\"" + std::string(word) + "\"";
}

namespace {

// 0 when path names an executable regular file, else an errno value.
int CheckExecutable(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return errno;
  if (!S_ISREG(st.st_mode)) return EACCES;
  if (::access(path.c_str(), X_OK) != 0) return errno;
  return 0;
}

// The file execvp would run for name, so that a missing program is reported
// here and not by a child exiting 127.
int ResolveProgram(const std::string& name, std::string& path) {
  if (name.empty()) return ENOENT;
  if (name.find('/') != std::string::npos) {
    path = name;
    return CheckExecutable(path);
  }
  std::string search;
  if (const char* p = std::getenv("PATH")) {
    search = p;
  } else {
    search = "/bin:/usr/bin";
  }
  int firstError = ENOENT;
  std::size_t start = 0;
  while (start <= search.size()) {
    std::size_t end = search.find(':', start);
    if (end == std::string::npos) end = search.size();
    std::string dir = search.substr(start, end - start);
    std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + name;
    int e = CheckExecutable(candidate);
    if (e == 0) {
      path = candidate;
      return 0;
    }
    if (e == EACCES) firstError = EACCES;
    start = end + 1;
  }
  return firstError;
}

}  // namespace

namespace {

int ExitCodeOf(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

// Reaps this child only (leaves other child handling alone).
void ReapInBackground(pid_t pid) {
  try {
    std::thread([pid] {
      int status = 0;
      while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
    }).detach();
  } catch (...) {
    // No thread: the child stays a zombie until the program ends.
  }
}

// Spawns argv; quiet puts its input, output and error streams on /dev/null.
ProcessResult Spawn(const std::vector<std::string>& argv, bool quiet, pid_t& pid) {
  ProcessResult result;
  if (argv.empty()) {
    result.error = EINVAL;
    return result;
  }
  std::string path;
  if (int e = ResolveProgram(argv[0], path)) {
    result.error = e;
    return result;
  }

  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  // The child starts with default signal dispositions and an empty mask.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t all, none;
  sigfillset(&all);
  sigemptyset(&none);
  posix_spawnattr_setsigdefault(&attr, &all);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (quiet) {
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  }

  const int rc = ::posix_spawn(&pid, path.c_str(), &actions, &attr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) {
    result.error = rc;
    return result;
  }
  result.started = true;
  return result;
}

}  // namespace

ProcessResult StartProgram(const std::vector<std::string>& argv, bool wait) {
  pid_t pid = 0;
  ProcessResult result = Spawn(argv, false, pid);
  if (!result.started) return result;
  if (wait) {
    int status = 0;
    pid_t w;
    do {
      w = ::waitpid(pid, &status, 0);
    } while (w < 0 && errno == EINTR);
    if (w == pid) result.exitCode = ExitCodeOf(status);
    return result;
  }
  ReapInBackground(pid);
  return result;
}

ProcessResult SpawnHelperProgram(const std::vector<std::string>& argv, int& pid) {
  pid_t child = 0;
  ProcessResult result = Spawn(argv, true, child);
  pid = result.started ? static_cast<int>(child) : 0;
  return result;
}

int HelperExitCode(int pid) {
  int status = 0;
  pid_t w;
  do {
    w = ::waitpid(static_cast<pid_t>(pid), &status, WNOHANG);
  } while (w < 0 && errno == EINTR);
  if (w == static_cast<pid_t>(pid)) return ExitCodeOf(status);
  // Not ours to wait for (reaped elsewhere): it has ended, how is unknown.
  if (w < 0) return 0;
  return -1;
}

void ReapHelperLater(int pid) { ReapInBackground(static_cast<pid_t>(pid)); }

}  // namespace zeb
