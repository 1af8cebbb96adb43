#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace zeb {

namespace {

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string p(folder);
  if (!p.empty() && p.back() != '/') p += '/';
  p += name;
  return p;
}

// Folder part (without the last "/", "/" for the root, "" when none) and name.
void SplitPath(std::string_view path, std::string& folder, std::string& name) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) {
    folder.clear();
    name = std::string(path);
  } else {
    folder = std::string(path.substr(0, slash == 0 ? 1 : slash));
    name = std::string(path.substr(slash + 1));
  }
}

bool EqualsAsciiNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

// The process umask without changing it (umask() would, racing other threads).
mode_t CurrentUmask() {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("Umask:", 0) == 0) {
      return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8)) & 0777;
    }
  }
  mode_t m = umask(022);
  umask(m);
  return m;
}

int WriteAll(int fd, const void* data, std::size_t n) {
  const char* p = static_cast<const char*>(data);
  while (n > 0) {
    ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (w == 0) return ENOSPC;
    p += w;
    n -= static_cast<std::size_t>(w);
  }
  return 0;
}

void SyncFolder(const std::string& folder) {
  int dfd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
}

}  // namespace

std::string TempDirectory() {
  const char* t = std::getenv("TMPDIR");
  if (t && *t && PathIsDirectory(t)) return t;
  return "/tmp";
}

namespace {

std::string& RunFolderPath() {
  static std::string path;
  return path;
}

void RemoveRunFolderAtExit() { RemoveRunFolder(); }

// The folder's path for the signal handler, which may not allocate.
char gSignalFolder[4096];

// Empties and removes the run's folder with system calls only (the folder
// holds files, no sub-folders), then ends as the signal would have.
void RemoveRunFolderOnSignal(int sig) {
  if (gSignalFolder[0] != '\0') {
    const int dfd = ::open(gSignalFolder, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dfd >= 0) {
      alignas(8) char buf[4096];
      for (;;) {
        const long n = ::syscall(SYS_getdents64, dfd, buf, sizeof buf);
        if (n <= 0) break;
        for (long off = 0; off < n;) {
          const auto* rec = reinterpret_cast<const char*>(buf + off);
          const unsigned short len = *reinterpret_cast<const unsigned short*>(rec + 16);
          const char* name = rec + 19;
          if (!(name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))))
            ::unlinkat(dfd, name, 0);
          off += len;
        }
      }
      ::close(dfd);
    }
    ::rmdir(gSignalFolder);
  }
  ::signal(sig, SIG_DFL);
  ::raise(sig);
}

// For a kill or Ctrl+C: only where the signal would end the process anyway.
void RemoveRunFolderOnSignals() {
  for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    struct sigaction old {};
    if (::sigaction(sig, nullptr, &old) != 0 || old.sa_handler != SIG_DFL || (old.sa_flags & SA_SIGINFO) != 0)
      continue;
    struct sigaction act {};
    act.sa_handler = RemoveRunFolderOnSignal;
    sigemptyset(&act.sa_mask);
    ::sigaction(sig, &act, nullptr);
  }
}

}  // namespace

namespace {

std::string& PlannedParent() {
  static std::string parent;
  return parent;
}

// Whether the run asked for a folder of its own, made or not.
bool gRunFolderAsked = false;

// The open, locked mark of the run's folder; closed when the folder goes.
int gRunMarkFd = -1;

// The name the mark is made under before it is locked: a clean-up never
// opens it, so it never finds the mark unlocked.
constexpr char kRunFolderMarkNew[] = ".zeb1-run-new";

// Puts the locked mark into the new folder. 0 or an errno value.
int MarkRunFolder(const std::string& folder) {
  const int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (dfd < 0) return errno;
  int e = 0;
  const int fd = ::openat(dfd, kRunFolderMarkNew, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    e = errno;
  } else if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::renameat(dfd, kRunFolderMarkNew, dfd, kRunFolderMark) != 0) {
    e = errno;
    ::close(fd);
    ::unlinkat(dfd, kRunFolderMarkNew, 0);
  } else {
    gRunMarkFd = fd;
  }
  ::close(dfd);
  return e;
}

int MakeRunFolderIn(std::string_view parent) {
  std::string folder(parent);
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  std::string pattern = JoinPath(folder.empty() ? "." : folder, "zeb1-XXXXXX");
  if (::mkdtemp(pattern.data()) == nullptr) return errno;
  if (const int e = MarkRunFolder(pattern); e != 0) {
    ::rmdir(pattern.c_str());
    return e;
  }
  static std::once_flag registered;
  std::call_once(registered, [] {
    std::atexit(RemoveRunFolderAtExit);
    RemoveRunFolderOnSignals();
  });
  RunFolderPath() = pattern;
  if (pattern.size() < sizeof gSignalFolder) std::memcpy(gSignalFolder, pattern.c_str(), pattern.size() + 1);
  return 0;
}

}  // namespace

int MakeRunFolder(std::string_view parent) {
  RemoveRunFolder();
  gRunFolderAsked = true;
  return MakeRunFolderIn(parent);
}

int PlanRunFolder(std::string_view parent) {
  RemoveRunFolder();
  gRunFolderAsked = true;
  std::string folder(parent);
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (folder.empty()) folder = ".";
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0) return errno;
  if (!S_ISDIR(st.st_mode)) return ENOTDIR;
  if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0) return errno;
  // A file system that stores nothing (/proc, /sys) takes no file, even
  // where the system lets root write.
  struct statvfs vfs {};
  if (::statvfs(folder.c_str(), &vfs) == 0 && vfs.f_blocks == 0) return EACCES;
  PlannedParent() = folder;
  return 0;
}

const std::string& RunFolder() {
  std::string& planned = PlannedParent();
  if (RunFolderPath().empty() && !planned.empty()) {
    const std::string parent = std::move(planned);
    planned.clear();  // one attempt: a folder that cannot be made is not tried on every call
    MakeRunFolderIn(parent);
  }
  return RunFolderPath();
}

const std::string& RunFolderIfMade() { return RunFolderPath(); }

bool RunFolderAskedFor() { return gRunFolderAsked; }

void RemoveRunFolder() {
  PlannedParent().clear();
  gRunFolderAsked = false;
  std::string& path = RunFolderPath();
  if (path.empty()) return;
  // remove_all removes links as names and never descends through them.
  gSignalFolder[0] = '\0';
  std::error_code ec;
  std::filesystem::remove_all(path, ec);
  path.clear();
  // The mark's lock goes only with the folder.
  if (gRunMarkFd >= 0) {
    ::close(gRunMarkFd);
    gRunMarkFd = -1;
  }
}

namespace {

bool IsLetterOrDigit(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); }

}  // namespace

bool IsRunFolderName(std::string_view name) {
  if (name.size() != 11 || name.substr(0, 5) != "zeb1-") return false;
  bool letter = false;
  for (const char c : name.substr(5)) {
    if (!IsLetterOrDigit(c)) return false;
    letter = letter || !(c >= '0' && c <= '9');
  }
  return letter;
}

namespace {

// The names of the open folder dfd, without "." and "..".
std::vector<std::string> NamesIn(int dfd) {
  std::vector<std::string> names;
  const int lfd = ::openat(dfd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (lfd < 0) return names;
  DIR* d = ::fdopendir(lfd);
  if (d == nullptr) {
    ::close(lfd);
    return names;
  }
  while (const dirent* e = ::readdir(d)) {
    const std::string_view n = e->d_name;
    if (n != "." && n != "..") names.emplace_back(n);
  }
  ::closedir(d);
  return names;
}

// Empties the open folder dfd, sub-folders too, never through a link.
void EmptyFolderAt(int dfd, int depth) {
  for (const std::string& name : NamesIn(dfd)) {
    if (::unlinkat(dfd, name.c_str(), 0) == 0 || (errno != EISDIR && errno != EPERM) || depth > 16) continue;
    const int sub = ::openat(dfd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (sub < 0) continue;
    EmptyFolderAt(sub, depth + 1);
    ::close(sub);
    ::unlinkat(dfd, name.c_str(), AT_REMOVEDIR);
  }
}

constexpr std::time_t kUnmarkedRunFolderSeconds = 600;

}  // namespace

int RemoveDeadRunFolders(std::string_view parentIn) {
  std::string parent(parentIn);
  while (parent.size() > 1 && parent.back() == '/') parent.pop_back();
  if (parent.empty()) parent = ".";
  const int pfd = ::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (pfd < 0) return 0;
  const uid_t me = ::geteuid();
  const std::time_t now = std::time(nullptr);
  int removed = 0;
  for (const std::string& name : NamesIn(pfd)) {
    if (!IsRunFolderName(name)) continue;
    const int dfd = ::openat(pfd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dfd < 0) continue;
    struct stat st {};
    bool dead = false;
    int mark = -1;
    if (::fstat(dfd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == me) {
      mark = ::openat(dfd, kRunFolderMark, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
      struct stat ms {};
      if (mark >= 0) {
        // A live run holds the lock; the lock of a run that is gone is free.
        dead = ::fstat(mark, &ms) == 0 && S_ISREG(ms.st_mode) && ms.st_uid == me && ::flock(mark, LOCK_EX | LOCK_NB) == 0;
      } else if (errno == ENOENT) {
        const std::vector<std::string> inside = NamesIn(dfd);
        dead = (inside.empty() || (inside.size() == 1 && inside[0] == kRunFolderMarkNew)) &&
               st.st_mtime < now - kUnmarkedRunFolderSeconds;
      }
    }
    struct stat again {};
    if (dead && ::fstatat(pfd, name.c_str(), &again, AT_SYMLINK_NOFOLLOW) == 0 && again.st_dev == st.st_dev &&
        again.st_ino == st.st_ino) {
      EmptyFolderAt(dfd, 0);
      if (::unlinkat(pfd, name.c_str(), AT_REMOVEDIR) == 0) ++removed;
    }
    if (mark >= 0) ::close(mark);  // the lock is held while the folder is emptied
    ::close(dfd);
  }
  ::close(pfd);
  return removed;
}

bool InRunFolder(std::string_view path) {
  const std::string& run = RunFolderIfMade();
  return !run.empty() && path.size() > run.size() + 1 && path.substr(0, run.size()) == run && path[run.size()] == '/';
}

std::string ScratchDirectory() { return RunFolder().empty() ? TempDirectory() : RunFolder(); }

int OpenRegularNoWait(const char* path, int flags) {
  const int f = ::open(path, flags | O_NONBLOCK | O_NOCTTY);
  if (f < 0) return -1;
  struct stat st {};
  if (::fstat(f, &st) != 0 || !S_ISREG(st.st_mode)) {
    const int e = S_ISDIR(st.st_mode) ? EISDIR : ENXIO;
    ::close(f);
    errno = e;
    return -1;
  }
  const int now = ::fcntl(f, F_GETFL);
  if (now >= 0) ::fcntl(f, F_SETFL, now & ~O_NONBLOCK);
  return f;
}

int OpenRegularForReading(std::string_view path, int& fd) {
  fd = OpenRegularNoWait(std::string(path).c_str(), O_RDONLY | O_CLOEXEC);
  return fd < 0 ? errno : 0;
}

std::optional<std::string> MakeUniqueFile(std::string_view folder, std::string_view prefix) {
  std::string pattern = JoinPath(folder, prefix) + "XXXXXX";
  int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  ::close(fd);
  return pattern;
}

// ---------------------------------------------------------------- AtomicFile

namespace {

bool gUnnamedTemporaries = true;
int gUnnamedLinkError = 0;

// "<folder>/.<name>" + kTemporaryMark + "XXXXXX", within NAME_MAX.
std::string TemporaryPattern(const std::string& folder, std::string name) {
  if (name.size() > 200) name.resize(200);
  return JoinPath(folder, "." + name + kTemporaryMark + "XXXXXX");
}

}  // namespace

std::string TemporaryPatternBeside(std::string_view target) {
  std::string folder, name;
  SplitPath(target, folder, name);
  return TemporaryPattern(folder, name);
}

std::string ReplaceDestination(const std::string& target) {
  struct stat lst {};
  struct stat st {};
  if (::lstat(target.c_str(), &lst) != 0 || !S_ISLNK(lst.st_mode) || lst.st_uid != ::geteuid() ||
      ::stat(target.c_str(), &st) != 0)
    return target;
  char resolved[PATH_MAX];
  return ::realpath(target.c_str(), resolved) != nullptr ? std::string(resolved) : target;
}

bool IsOwnTemporaryName(std::string_view name) {
  const std::string_view mark = kTemporaryMark;
  if (name.size() < 2 + mark.size() + 6 || name[0] != '.') return false;
  for (const char c : name.substr(name.size() - 6))
    if (!IsLetterOrDigit(c)) return false;
  return name.substr(name.size() - 6 - mark.size(), mark.size()) == mark;
}

int RemoveOwnTemporaries(std::string_view folderIn, std::time_t notAfter) {
  const std::string folder = folderIn.empty() ? std::string(".") : std::string(folderIn);
  const int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd < 0) return 0;
  int removed = 0;
  for (const std::string& name : NamesIn(dfd)) {
    if (!IsOwnTemporaryName(name)) continue;
    // The entry itself, not a link's target, read by fstat as every file age
    // is (a faked clock, libfaketime, shifts fstat's times but not fstatat's).
    const int fd = ::openat(dfd, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat st {};
    const bool old = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() && st.st_mtime < notAfter;
    ::close(fd);
    if (!old) continue;
    if (::unlinkat(dfd, name.c_str(), 0) == 0) ++removed;
  }
  ::close(dfd);
  return removed;
}

void UseUnnamedTemporaries(bool on) { gUnnamedTemporaries = on; }
void FailUnnamedLinks(int error) { gUnnamedLinkError = error; }

AtomicFile::~AtomicFile() { Abort(); }

int AtomicFile::Open(std::string_view target) {
  if (fd_ >= 0) return EBUSY;
  error_ = 0;
  written_ = started_ = 0;
  direct_ = false;
  target_ = std::string(target);
  temp_.clear();
  dest_ = target_;
  if (target_.empty()) return ENOENT;

  struct stat st {};
  bool exists = ::stat(target_.c_str(), &st) == 0;
  struct stat lst {};
  const bool isLink = ::lstat(target_.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode);
  // Another's link (planted in a shared folder): its name is replaced, its
  // target never written.
  if (isLink && lst.st_uid != ::geteuid()) exists = false;
  dest_ = ReplaceDestination(target_);
  if (exists) {
    if (S_ISDIR(st.st_mode)) return EISDIR;
    // A FIFO or socket would wait for a reader: refused.
    if (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)) return ENXIO;
    if (S_ISCHR(st.st_mode)) {
      if (wholeOnly_) return ENXIO;
      int fd = ::open(dest_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
      if (fd < 0) return errno;
      fd_ = fd;
      direct_ = true;
      return 0;
    }
    if (!S_ISREG(st.st_mode)) return EINVAL;
    if (::faccessat(AT_FDCWD, dest_.c_str(), W_OK, AT_EACCESS) != 0) return errno;
  }

  std::string folder, name;
  SplitPath(dest_, folder, name);
  if (name.empty()) return EISDIR;
  // A scratch file of the run's own folder (0700, no one else's) is written
  // in place: only this run reads it back, so no temporary name is needed.
  if (!wholeOnly_ && !isLink && !RunFolderIfMade().empty() && folder == RunFolderIfMade()) {
    int fd = ::open(dest_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return errno;
    fd_ = fd;
    direct_ = true;
    return 0;
  }
  // First choice: a file without a name in the target's folder, named only
  // when complete (nothing to clean up after a crash, and the folder is not
  // locked while the file system finds an inode). Where the file system or
  // /proc does not allow it, a temporary name beside the target.
  std::string pattern;
  int fd = -1;
  if (gUnnamedTemporaries && ::access("/proc/self/fd", X_OK) == 0)
    fd = ::open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0) {
    pattern = TemporaryPattern(folder, name);
    fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) return errno;
  }

  // A new file of the run's own folder is for this user alone.
  const bool scratch = !RunFolderIfMade().empty() && folder == RunFolderIfMade();
  mode_t mode = exists ? (st.st_mode & 07777) : scratch ? 0600 : (0666 & ~CurrentUmask());
  if (::fchmod(fd, mode) != 0) {
    int e = errno;
    ::close(fd);
    if (!pattern.empty()) ::unlink(pattern.c_str());
    return e;
  }
  if (exists && (st.st_uid != ::geteuid() || st.st_gid != ::getegid())) {
    // Best effort: only privileged callers can give the file away.
    if (::fchown(fd, st.st_uid, st.st_gid) == 0) ::fchmod(fd, mode);
  }
  fd_ = fd;
  unnamed_ = pattern.empty();
  temp_ = pattern;
  return 0;
}

// Names the unnamed file: at the destination when nothing is there, else
// under a fresh temporary name that is then renamed over it. A file system
// that will not name it gets its contents copied under a temporary name
// (renamed by Commit). 0 or errno.
int AtomicFile::LinkUnnamed() {
  // The copy's own failure is the one told: the refused link only sent the
  // bytes that way.
  const auto refused = [this](int) { return CopyUnnamedToTemporary(); };
  if (gUnnamedLinkError != 0) return refused(gUnnamedLinkError);
  const std::string self = "/proc/self/fd/" + std::to_string(fd_);
  if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, dest_.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
  if (errno != EEXIST) return refused(errno);
  std::string folder, name;
  SplitPath(dest_, folder, name);
  static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string temp = TemporaryPattern(folder, name);
    for (std::size_t i = temp.size() - 6; i < temp.size(); ++i) temp[i] = kLetters[arc4random_uniform(62)];
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) != 0) {
      if (errno == EEXIST) continue;
      return refused(errno);
    }
    if (::rename(temp.c_str(), dest_.c_str()) != 0) {
      const int e = errno;
      ::unlink(temp.c_str());
      return e;
    }
    return 0;
  }
  return EEXIST;
}

// The unnamed file's contents under a temporary name beside the target
// (synced when the file is), which then takes the usual road. 0 or errno.
int AtomicFile::CopyUnnamedToTemporary() {
  std::string folder, name;
  SplitPath(dest_, folder, name);
  std::string pattern = TemporaryPattern(folder, name);
  const int out = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (out < 0) return errno;
  struct stat st {};
  int e = ::fstat(fd_, &st) == 0 ? 0 : errno;
  if (e == 0 && (st.st_uid != ::geteuid() || st.st_gid != ::getegid())) (void)::fchown(out, st.st_uid, st.st_gid);
  if (e == 0 && ::fchmod(out, st.st_mode & 07777) != 0) e = errno;
  char buf[65536];
  for (off_t at = 0; e == 0;) {
    const ssize_t n = ::pread(fd_, buf, sizeof buf, at);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n < 0) e = errno;
      break;
    }
    e = WriteAll(out, buf, static_cast<std::size_t>(n));
    at += n;
  }
  if (e == 0 && sync_ && ::fsync(out) != 0) e = errno;
  if (::close(out) != 0 && e == 0) e = errno;
  if (e != 0) {
    ::unlink(pattern.c_str());
    return e;
  }
  temp_ = pattern;
  unnamed_ = false;
  return 0;
}

int AtomicFile::Write(const void* data, std::size_t n) {
  if (fd_ < 0) return EBADF;
  if (error_) return error_;
  error_ = WriteAll(fd_, data, n);
  if (error_ == 0) {
    written_ += n;
    // A file that is synced at the end starts on the disk while the rest is
    // still being written, so that the final sync waits for the tail only.
    if (sync_ && written_ - started_ >= kStartWritebackBytes) {
#ifdef SYNC_FILE_RANGE_WRITE
      ::sync_file_range(fd_, static_cast<off_t>(started_), static_cast<off_t>(written_ - started_),
                        SYNC_FILE_RANGE_WRITE);
#endif
      started_ = written_;
    }
  }
  return error_;
}

int AtomicFile::Commit() {
  if (fd_ < 0) return EBADF;
  int e = error_;
  if (e == 0 && sync_ && ::fsync(fd_) != 0) {
    // Devices and pipes may not support fsync.
    if (!(direct_ && (errno == EINVAL || errno == EROFS || errno == ENOTSUP))) e = errno;
  }
  const bool named = e == 0 && unnamed_ && (e = LinkUnnamed()) == 0 && unnamed_;
  // Once the flushed file has its name the write is done: a failing close
  // cannot take back what is on the disk.
  if (::close(fd_) != 0 && e == 0 && !(named && sync_)) e = errno;
  fd_ = -1;
  if (direct_) {
    direct_ = false;
    error_ = e;
    return e;
  }
  if (e == 0 && !unnamed_ && ::rename(temp_.c_str(), dest_.c_str()) != 0) e = errno;
  unnamed_ = false;
  if (e != 0) {
    if (!temp_.empty()) ::unlink(temp_.c_str());
  } else if (sync_) {
    std::string folder, name;
    SplitPath(dest_, folder, name);
    SyncFolder(folder);
  }
  temp_.clear();
  error_ = e;
  return e;
}

int WriteWholeFile(std::string_view path, std::string_view bytes) {
  AtomicFile out;
  out.SetWholeOnly(true);
  int err = out.Open(path);
  if (err == 0) err = out.Write(bytes.data(), bytes.size());
  if (err == 0) err = out.Commit();
  return err;  // a failed file goes with out
}

void AtomicFile::Abort() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  unnamed_ = false;
  if (!direct_ && !temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
  direct_ = false;
}

// ------------------------------------------------------------------ lookups

namespace {

// A name with at most this many letters is found by trying all its case
// variants: with the exact name, at most 8 lookups.
constexpr int kMaxProbedLetters = 3;
// A folder whose entries take more bytes than this is never listed (a
// working folder of thousands of files): a longer name is tried there in
// its usual spellings only, at most 7 lookups with the exact name.
constexpr off_t kMaxListedFolderBytes = 32 * 1024;

int AsciiLetters(std::string_view name) {
  int n = 0;
  for (char c : name)
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) ++n;
  return n;
}

std::string AsciiLowerName(std::string_view name) {
  std::string s(name);
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return s;
}

std::string AsciiUpperName(std::string_view name) {
  std::string s(name);
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return s;
}

// The first letter in capitals, the rest in lower case.
std::string CapitalName(std::string_view name) {
  std::string s = AsciiLowerName(name);
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 32);
      break;
    }
  }
  return s;
}

// What a folder held when it was last looked at. A folder changed in the
// last two seconds is not kept: its time stamp may not show the next change.
struct FolderMemo {
  dev_t dev = 0;
  ino_t ino = 0;
  timespec mtime{};
  bool listed = false;
  std::vector<std::string> names;                       // the listing, when listed
  std::unordered_map<std::string, std::string> found;  // lower-case name -> match ("" none)
};

std::mutex g_memoMutex;
std::unordered_map<std::string, FolderMemo> g_memos;

bool SameFolder(const FolderMemo& m, const struct stat& st) {
  return m.dev == st.st_dev && m.ino == st.st_ino && m.mtime.tv_sec == st.st_mtim.tv_sec &&
         m.mtime.tv_nsec == st.st_mtim.tv_nsec;
}

bool SettledFolder(const struct stat& st) {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return now.tv_sec > st.st_mtim.tv_sec + 1;
}

// The unique entry of the folder among the spellings; "" when none or
// several.
std::string ProbeSpellings(const std::string& dir, const std::vector<std::string>& spellings) {
  std::string match;
  struct stat st {};
  for (const std::string& s : spellings) {
    if (::lstat(JoinPath(dir, s).c_str(), &st) == 0) {
      if (!match.empty()) return {};
      match = s;
    }
  }
  return match;
}

// Every case variant of a short name but the name itself.
std::vector<std::string> AllVariants(std::string_view name) {
  std::vector<std::size_t> letters;
  for (std::size_t i = 0; i < name.size(); ++i)
    if ((name[i] >= 'a' && name[i] <= 'z') || (name[i] >= 'A' && name[i] <= 'Z')) letters.push_back(i);
  std::vector<std::string> out;
  std::string variant = AsciiLowerName(name);
  for (unsigned mask = 0; mask < (1U << letters.size()); ++mask) {
    for (std::size_t k = 0; k < letters.size(); ++k) {
      char& c = variant[letters[k]];
      const char lower = static_cast<char>(c | 0x20);
      c = (mask >> k & 1U) != 0 ? static_cast<char>(lower - 32) : lower;
    }
    if (variant != name) out.push_back(variant);
  }
  return out;
}

// The spellings a file copied from another system usually has (all lower,
// all capitals, a capital first letter, the extension apart from the
// name), the name itself left out: at most 6, so that a second lookup of
// a name (the exact one again) stays within 8.
std::vector<std::string> UsualSpellings(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  const std::string_view stem = dot == std::string_view::npos || dot == 0 ? name : name.substr(0, dot);
  const std::string_view ext = stem.size() == name.size() ? std::string_view() : name.substr(dot);
  const std::string lowExt = AsciiLowerName(ext), upExt = AsciiUpperName(ext);
  const std::string candidates[] = {AsciiLowerName(name),       AsciiUpperName(name),
                                    CapitalName(stem) + lowExt, AsciiLowerName(stem) + upExt,
                                    AsciiUpperName(stem) + lowExt, CapitalName(stem) + upExt};
  std::vector<std::string> out;
  for (const std::string& c : candidates)
    if (c != name && std::find(out.begin(), out.end(), c) == out.end()) out.push_back(c);
  return out;
}

std::string MatchInListing(const std::vector<std::string>& names, std::string_view name) {
  std::string match;
  int count = 0;
  for (const std::string& n : names) {
    if (EqualsAsciiNoCase(n, name)) {
      if (++count > 1) return {};
      match = n;
    }
  }
  return match;
}

bool ListFolder(const std::string& dir, std::vector<std::string>& names) {
  DIR* d = ::opendir(dir.c_str());
  if (!d) return false;
  while (dirent* e = ::readdir(d)) names.emplace_back(e->d_name);
  ::closedir(d);
  return true;
}

}  // namespace

std::string ResolveCaseInsensitive(std::string_view folder, std::string_view name) {
  std::string given = JoinPath(folder, name);
  if (name.empty() || name.find('/') != std::string_view::npos) return given;
  // Every name in the run's own folder is one the program gave.
  if (InRunFolder(given)) return given;
  struct stat st {};
  if (::lstat(given.c_str(), &st) == 0) return given;
  std::string dir(folder.empty() ? std::string_view(".") : folder);
  if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return given;
  const std::string key = AsciiLowerName(name);
  const bool settled = SettledFolder(st);
  std::string match;
  bool known = false;
  {
    std::lock_guard<std::mutex> lock(g_memoMutex);
    auto it = g_memos.find(dir);
    if (it != g_memos.end() && SameFolder(it->second, st)) {
      auto hit = it->second.found.find(key);
      if (hit != it->second.found.end()) return hit->second.empty() ? given : JoinPath(folder, hit->second);
      if (it->second.listed) {
        match = MatchInListing(it->second.names, name);
        known = true;
      }
    }
  }
  std::vector<std::string> names;
  if (!known) {
    if (AsciiLetters(name) <= kMaxProbedLetters) {
      match = ProbeSpellings(dir, AllVariants(name));
    } else if (st.st_size <= kMaxListedFolderBytes) {
      if (!ListFolder(dir, names)) return given;
      match = MatchInListing(names, name);
    } else {
      match = ProbeSpellings(dir, UsualSpellings(name));
    }
  }
  if (settled) {
    std::lock_guard<std::mutex> lock(g_memoMutex);
    FolderMemo& m = g_memos[dir];
    if (!SameFolder(m, st)) m = FolderMemo{st.st_dev, st.st_ino, st.st_mtim, false, {}, {}};
    if (!names.empty() && !m.listed) {
      m.listed = true;
      m.names = std::move(names);
    }
    m.found[key] = match;
  }
  return match.empty() ? given : JoinPath(folder, match);
}

std::string ResolvePathCaseInsensitive(std::string_view path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return ResolveCaseInsensitive("", path);
  return ResolveCaseInsensitive(path.substr(0, slash + 1), path.substr(slash + 1));
}

bool PathIsDirectory(std::string_view path) {
  struct stat st {};
  return ::stat(std::string(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool PathIsRegularFile(std::string_view path) {
  struct stat st {};
  return ::stat(std::string(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool PathIsDevice(std::string_view path) {
  struct stat st {};
  return ::stat(std::string(path).c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
}

bool PathExists(std::string_view path) {
  struct stat st {};
  return ::lstat(std::string(path).c_str(), &st) == 0;
}

}  // namespace zeb
