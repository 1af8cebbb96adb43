// A disk full from a file offset on, and what another process finds locked.
// DiskFullFrom(n): while it lives every write of this process at offset n
// or beyond fails (a file size limit, SIGXFSZ ignored: EFBIG).
// LockedForOthers: a forked process opens each file anew and tries each
// range with F_SETLK; the names of those it could not lock.
// KernelLocks: the /proc/locks lines on a file's inode meeting [first, last].
#pragma once
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace zeb::test {

class DiskFullFrom {
 public:
  explicit DiskFullFrom(std::int64_t offset) : handler_(std::signal(SIGXFSZ, SIG_IGN)) {
    rlimit r{};
    if (::getrlimit(RLIMIT_FSIZE, &old_) != 0) return;
    r = old_;
    r.rlim_cur = static_cast<rlim_t>(offset);
    active_ = ::setrlimit(RLIMIT_FSIZE, &r) == 0;
  }
  ~DiskFullFrom() {
    if (active_) ::setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, handler_);
  }
  DiskFullFrom(const DiskFullFrom&) = delete;
  DiskFullFrom& operator=(const DiskFullFrom&) = delete;
  bool Active() const { return active_; }

 private:
  void (*handler_)(int);
  rlimit old_{};
  bool active_ = false;
};

struct LockRange {
  std::string name, path;
  std::int64_t offset = 0, length = 1;
  short type = F_WRLCK;
};

inline std::string LockedForOthers(const std::vector<LockRange>& ranges) {
  int fds[2];
  if (::pipe(fds) != 0) return "pipe";
  const pid_t pid = ::fork();
  if (pid == 0) {
    std::string out;
    for (const LockRange& r : ranges) {
      const int fd = ::open(r.path.c_str(), O_RDWR | O_CLOEXEC);
      struct flock fl {};
      fl.l_type = r.type;
      fl.l_whence = SEEK_SET;
      fl.l_start = static_cast<off_t>(r.offset);
      fl.l_len = static_cast<off_t>(r.length);
      if (fd < 0 || ::fcntl(fd, F_SETLK, &fl) != 0) out += (out.empty() ? "" : " ") + r.name;
      if (fd >= 0) ::close(fd);
    }
    (void)!::write(fds[1], out.data(), out.size());
    ::_exit(0);
  }
  ::close(fds[1]);
  std::string out;
  char buf[256];
  for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) out.append(buf, static_cast<std::size_t>(n));
  ::close(fds[0]);
  ::waitpid(pid, nullptr, 0);
  return out;
}

inline std::vector<std::string> KernelLocks(const std::string& path, std::int64_t first, std::int64_t last) {
  std::vector<std::string> found;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return found;
  std::ifstream in("/proc/locks");
  for (std::string line; std::getline(in, line);) {
    // "1: OFDLCK ADVISORY WRITE -1 fe:00:123 1073741825 1073741825"; waiters say "->".
    char kind[16] = {}, end[24] = {};
    unsigned major = 0, minor = 0;
    unsigned long long inode = 0;
    long long start = 0;
    if (std::sscanf(line.c_str(), "%*s %15s %*s %*s %*s %x:%x:%llu %lld %23s", kind, &major, &minor, &inode, &start,
                    end) != 6 ||
        std::string(kind) == "->")
      continue;
    if (inode != st.st_ino || major != ::major(st.st_dev) || minor != ::minor(st.st_dev)) continue;
    const std::int64_t stop = std::string(end) == "EOF" ? INT64_MAX : std::stoll(end);
    if (stop >= first && start <= last) found.push_back(line);
  }
  return found;
}

}  // namespace zeb::test
