// A disk that is full from a given file offset on, and what another process
// finds locked afterwards.
//
// DiskFullFrom(n): while it lives, every write of this process at a file
// offset of n or more fails as on a full disk (a file size limit with
// SIGXFSZ ignored: write() gives EFBIG); Free() gives the room back.
// LockedForOthers(ranges): a forked process opens each file anew and tries
// each range with F_SETLK; the names of the ranges it could not lock.
// KernelLocks(path, first, last): the lines of /proc/locks on the file's
// inode whose range meets [first, last].
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
#include <sstream>
#include <string>
#include <vector>

namespace zeb::test {

class DiskFullFrom {
 public:
  explicit DiskFullFrom(std::int64_t offset) {
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    if (::getrlimit(RLIMIT_FSIZE, &old_) != 0) return;
    rlimit r = old_;
    r.rlim_cur = static_cast<rlim_t>(offset);
    active_ = ::setrlimit(RLIMIT_FSIZE, &r) == 0;
  }
  ~DiskFullFrom() {
    Free();
    std::signal(SIGXFSZ, oldHandler_);
  }
  DiskFullFrom(const DiskFullFrom&) = delete;
  DiskFullFrom& operator=(const DiskFullFrom&) = delete;
  void Free() {
    if (active_) ::setrlimit(RLIMIT_FSIZE, &old_);
    active_ = false;
  }
  bool Active() const { return active_; }

 private:
  rlimit old_{};
  void (*oldHandler_)(int) = SIG_DFL;
  bool active_ = false;
};

struct LockRange {
  std::string name;
  std::string path;
  std::int64_t offset = 0;
  std::int64_t length = 1;
  short type = F_WRLCK;
};

inline std::string LockedForOthers(const std::vector<LockRange>& ranges) {
  int fds[2];
  if (::pipe(fds) != 0) return "pipe";
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    std::string out;
    for (const LockRange& r : ranges) {
      const int fd = ::open(r.path.c_str(), O_RDWR | O_CLOEXEC);
      if (fd < 0) {
        out += r.name + "(not opened) ";
        continue;
      }
      struct flock fl {};
      fl.l_type = r.type;
      fl.l_whence = SEEK_SET;
      fl.l_start = static_cast<off_t>(r.offset);
      fl.l_len = static_cast<off_t>(r.length);
      if (::fcntl(fd, F_SETLK, &fl) != 0) out += r.name + " ";
      ::close(fd);
    }
    (void)!::write(fds[1], out.data(), out.size());
    ::_exit(0);
  }
  ::close(fds[1]);
  std::string out;
  char buf[256];
  ssize_t n;
  while ((n = ::read(fds[0], buf, sizeof buf)) > 0) out.append(buf, static_cast<std::size_t>(n));
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

inline std::vector<std::string> KernelLocks(const std::string& path, std::int64_t first, std::int64_t last) {
  std::vector<std::string> found;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return found;
  std::ifstream in("/proc/locks");
  for (std::string line; std::getline(in, line);) {
    std::istringstream s(line);
    std::vector<std::string> t;
    for (std::string w; s >> w;) t.push_back(w);
    // "1: OFDLCK ADVISORY WRITE -1 fe:00:123 1073741825 1073741825"; waiters carry "->".
    if (t.size() < 8 || t[1] == "->") continue;
    unsigned major = 0, minor = 0;
    unsigned long long inode = 0;
    if (std::sscanf(t[5].c_str(), "%x:%x:%llu", &major, &minor, &inode) != 3) continue;
    if (inode != st.st_ino || major != ::major(st.st_dev) || minor != ::minor(st.st_dev)) continue;
    const std::int64_t start = std::stoll(t[6]);
    const std::int64_t end = t[7] == "EOF" ? INT64_MAX : std::stoll(t[7]);
    if (end >= first && start <= last) found.push_back(line);
  }
  return found;
}

}  // namespace zeb::test
