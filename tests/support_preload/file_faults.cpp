// Preloaded into the program under test (or linked into a test program):
// fails one file step of the files whose path holds a given text, as a full
// disk, a refused rename or a lost fsync would. Set by the environment:
//   ZEB1_FAULT_IN     the text a path holds (a folder, a name); unset: no step counts
//   ZEB1_FAULT_NOT_IN a text whose paths never count (a file of the folder left out)
//   ZEB1_FAULT_CALLS  the kinds of step counted, comma-separated, of
//                     open (a file made or emptied), write, fsync,
//                     truncate, link, rename, unlink, close (default: all but close)
//   ZEB1_FAULT_AT     the number of the counted step that fails (1 the first; 0 none)
//   ZEB1_FAULT_ERRNO  the error it fails with: a number or a name (ENOSPC, EIO,
//                     EACCES, EPERM, EROFS, EDQUOT, EXDEV, EFBIG, EMLINK; default ENOSPC)
//   ZEB1_FAULT_PART   "1": a failing write first stores part of its bytes (a
//                     short write; the next write of the file then fails)
//   ZEB1_FAULT_STICKY "1": every counted step of the same kind after it fails too
//   ZEB1_FAULT_ROOM   the bytes the files may grow by in all, as on a full
//                     file system: a write past them stores what fits and fails (ENOSPC)
//   ZEB1_FAULT_LOG    a file that gets one line per counted step: its number,
//                     kind and path, "!" after the number for the failed one
// A process it reaches sees the variables too: each has its own count.
// Linked into a test program (ZEB1_FAULTS_LINKED) the test arms it instead,
// through file_faults.h, and reads the steps it counted.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#ifdef ZEB1_FAULTS_LINKED
#include <mutex>
#include <string>
#include <vector>

#include "support_preload/file_faults.h"
#endif

namespace {

enum Kind { kOpen, kWrite, kFsync, kTruncate, kLink, kRename, kUnlink, kClose, kKinds };
const char* const kKindNames[kKinds] = {"open", "write", "fsync", "truncate", "link", "rename", "unlink", "close"};

struct Config {
  bool active = false;
  char in[PATH_MAX] = {};
  char notIn[PATH_MAX] = {};
  bool kinds[kKinds] = {};
  long at = 0;
  int err = ENOSPC;
  bool part = false;
  bool sticky = false;
  long room = -1;
  char log[PATH_MAX] = {};
};

// The kinds named in a comma-separated list; all but close for none.
void ParseKinds(const char* calls, bool* kinds) {
  for (int i = 0; i < kKinds; ++i) kinds[i] = calls == nullptr || *calls == '\0' ? i != kClose : false;
  if (calls == nullptr) return;
  for (int i = 0; i < kKinds; ++i) {
    const std::size_t n = std::strlen(kKindNames[i]);
    for (const char* p = std::strstr(calls, kKindNames[i]); p != nullptr; p = std::strstr(p + 1, kKindNames[i]))
      if ((p == calls || p[-1] == ',') && (p[n] == '\0' || p[n] == ',')) kinds[i] = true;
  }
}

#ifndef ZEB1_FAULTS_LINKED
int ErrnoByName(const char* s) {
  if (s == nullptr || *s == '\0') return ENOSPC;
  if (*s >= '0' && *s <= '9') return std::atoi(s);
  static const struct {
    const char* name;
    int value;
  } kNames[] = {{"ENOSPC", ENOSPC}, {"EIO", EIO},       {"EACCES", EACCES}, {"EPERM", EPERM},
                {"EROFS", EROFS},   {"EDQUOT", EDQUOT}, {"EXDEV", EXDEV},   {"EFBIG", EFBIG},
                {"EMLINK", EMLINK}, {"EEXIST", EEXIST}, {"ENOENT", ENOENT}, {"EBUSY", EBUSY}};
  for (const auto& n : kNames)
    if (std::strcmp(n.name, s) == 0) return n.value;
  return EIO;
}

bool Set(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr && *v == '1';
}

Config FromEnvironment() {
  Config k;
  const char* in = std::getenv("ZEB1_FAULT_IN");
  if (in == nullptr || *in == '\0' || std::strlen(in) >= sizeof k.in) return k;
  std::strcpy(k.in, in);
  k.active = true;
  const char* notIn = std::getenv("ZEB1_FAULT_NOT_IN");
  if (notIn != nullptr && std::strlen(notIn) < sizeof k.notIn) std::strcpy(k.notIn, notIn);
  ParseKinds(std::getenv("ZEB1_FAULT_CALLS"), k.kinds);
  const char* at = std::getenv("ZEB1_FAULT_AT");
  k.at = at != nullptr ? std::atol(at) : 0;
  k.err = ErrnoByName(std::getenv("ZEB1_FAULT_ERRNO"));
  k.part = Set("ZEB1_FAULT_PART");
  k.sticky = Set("ZEB1_FAULT_STICKY");
  const char* room = std::getenv("ZEB1_FAULT_ROOM");
  k.room = room != nullptr && *room != '\0' ? std::atol(room) : -1;
  const char* log = std::getenv("ZEB1_FAULT_LOG");
  if (log != nullptr && std::strlen(log) < sizeof k.log) std::strcpy(k.log, log);
  return k;
}
#endif

Config& Cfg() {
#ifdef ZEB1_FAULTS_LINKED
  static Config c;
#else
  static Config c = FromEnvironment();
#endif
  return c;
}

std::atomic<long> g_count{0};
std::atomic<int> g_failedKind{-1};
// A descriptor whose write stored part of its bytes: its next write fails.
std::atomic<int> g_shortFd{-1};
thread_local bool t_inside = false;

template <typename Fn>
Fn Real(const char* name) {
  return reinterpret_cast<Fn>(::dlsym(RTLD_NEXT, name));
}

void PathOfFd(int fd, char* out, std::size_t size) {
  char link[64];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  static auto readlinkFn = Real<ssize_t (*)(const char*, char*, size_t)>("readlink");
  const ssize_t n = readlinkFn(link, out, size - 1);
  out[n > 0 ? n : 0] = '\0';
}

// The path as the process names it: a relative one from dirfd or the
// working folder; "/proc/self/fd/N" as the file it opens.
void FullPath(int dirfd, const char* path, char* out, std::size_t size) {
  out[0] = '\0';
  if (path == nullptr) return;
  if (std::strncmp(path, "/proc/self/fd/", 14) == 0) {
    PathOfFd(std::atoi(path + 14), out, size);
    return;
  }
  if (path[0] == '/') {
    std::snprintf(out, size, "%s", path);
    return;
  }
  char base[PATH_MAX] = {};
  if (dirfd == AT_FDCWD) {
    if (::getcwd(base, sizeof base) == nullptr) base[0] = '\0';
  } else {
    PathOfFd(dirfd, base, sizeof base);
  }
  std::snprintf(out, size, "%s/%s", base, path);
}

#ifdef ZEB1_FAULTS_LINKED
std::mutex g_seenMutex;
std::vector<zeb::test::FileStepSeen>& Seen() {
  static std::vector<zeb::test::FileStepSeen> seen;
  return seen;
}
#endif

void Log(long n, bool failing, Kind kind, const char* a, const char* b) {
#ifdef ZEB1_FAULTS_LINKED
  {
    const std::lock_guard<std::mutex> lock(g_seenMutex);
    Seen().push_back({n, kKindNames[kind], a != nullptr ? a : "", b != nullptr ? b : "", failing});
  }
#endif
  const Config& c = Cfg();
  if (c.log[0] == '\0') return;
  static auto openFn = Real<int (*)(const char*, int, ...)>("open");
  static auto writeFn = Real<ssize_t (*)(int, const void*, size_t)>("write");
  static auto closeFn = Real<int (*)(int)>("close");
  const int fd = openFn(c.log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fd < 0) return;
  char line[2 * PATH_MAX + 64];
  const int len = std::snprintf(line, sizeof line, "%ld%s %s %s%s%s\n", n, failing ? "!" : "", kKindNames[kind], a,
                                b != nullptr ? " " : "", b != nullptr ? b : "");
  if (len > 0) (void)writeFn(fd, line, static_cast<std::size_t>(std::min<int>(len, sizeof line - 1)));
  closeFn(fd);
}

// Whether this step fails (then errno is set): counted when it is of a
// kind counted and one of its paths holds the text.
bool Fails(Kind kind, const char* a, const char* b = nullptr) {
  const Config& c = Cfg();
  if (!c.active || !c.kinds[kind] || t_inside) return false;
  const auto holds = [](const char* path, const char* text) {
    return path != nullptr && text[0] != '\0' && std::strstr(path, text) != nullptr;
  };
  if (!holds(a, c.in) && !holds(b, c.in)) return false;
  if (holds(a, c.notIn) || holds(b, c.notIn)) return false;
  t_inside = true;
  const long n = ++g_count;
  bool failing = c.at > 0 && n == c.at;
  if (!failing && c.sticky && c.at > 0 && n > c.at && g_failedKind.load() == kind) failing = true;
  if (failing) g_failedKind = kind;
  Log(n, failing, kind, a, b);
  t_inside = false;
  if (failing) errno = c.err;
  return failing;
}

bool FailsOnFd(Kind kind, int fd) {
  if (!Cfg().active || !Cfg().kinds[kind] || t_inside) return false;
  char path[PATH_MAX];
  PathOfFd(fd, path, sizeof path);
  return Fails(kind, path);
}

// An open that makes a file or empties it (an existing file opened for
// writing is no step of its own).
bool Writes(int flags) { return (flags & (O_CREAT | O_TRUNC)) != 0 || (flags & O_TMPFILE) == O_TMPFILE; }

mode_t ModeArg(int flags, va_list ap) {
  return (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE ? static_cast<mode_t>(va_arg(ap, int)) : 0;
}

// A full file system: false when the write at `at` (-1 the file's offset)
// fits the room left, n lowered to what fits; true when nothing fits.
bool RoomFails(int fd, std::size_t& n, off_t at) {
  Config& c = Cfg();
  if (!c.active || c.room < 0 || t_inside || n == 0) return false;
  char path[PATH_MAX];
  PathOfFd(fd, path, sizeof path);
  struct stat st {};
  if (std::strstr(path, c.in) == nullptr || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  if (at < 0) at = (::fcntl(fd, F_GETFL) & O_APPEND) != 0 ? st.st_size : ::lseek(fd, 0, SEEK_CUR);
  const long long end = static_cast<long long>(at) + static_cast<long long>(n);
  const long long grows = std::max(0LL, end - static_cast<long long>(st.st_size));
  if (grows <= c.room) {
    c.room -= static_cast<long>(grows);
    return false;
  }
  const long long fits = std::max(0LL, static_cast<long long>(st.st_size) + c.room - static_cast<long long>(at));
  if (fits == 0) {
    errno = ENOSPC;
    return true;
  }
  c.room -= static_cast<long>(std::max(0LL, static_cast<long long>(at) + fits - static_cast<long long>(st.st_size)));
  n = static_cast<std::size_t>(fits);
  return false;
}

// A write step: false when it goes on to the real call with n bytes
// (lowered for a short write); true when it fails (errno set).
bool WriteFails(int fd, std::size_t& n, off_t at = -1) {
  if (RoomFails(fd, n, at)) return true;
  if (g_shortFd.load() == fd) {
    g_shortFd = -1;
    errno = Cfg().err;
    return true;
  }
  if (!FailsOnFd(kWrite, fd)) return false;
  if (Cfg().part && n > 1) {
    n /= 2;
    g_shortFd = fd;
    return false;
  }
  return true;
}

}  // namespace

extern "C" {

int openat(int dirfd, const char* path, int flags, ...) {
  static auto fn = Real<int (*)(int, const char*, int, ...)>("openat");
  va_list ap;
  va_start(ap, flags);
  const mode_t mode = ModeArg(flags, ap);
  va_end(ap);
  if (Writes(flags) && Cfg().active) {
    char full[PATH_MAX];
    FullPath(dirfd, path, full, sizeof full);
    if (Fails(kOpen, full)) return -1;
  }
  return fn(dirfd, path, flags, mode);
}

int open(const char* path, int flags, ...) {
  va_list ap;
  va_start(ap, flags);
  const mode_t mode = ModeArg(flags, ap);
  va_end(ap);
  return openat(AT_FDCWD, path, flags, mode);
}

int open64(const char* path, int flags, ...) {
  va_list ap;
  va_start(ap, flags);
  const mode_t mode = ModeArg(flags, ap);
  va_end(ap);
  return openat(AT_FDCWD, path, flags, mode);
}

int openat64(int dirfd, const char* path, int flags, ...) {
  va_list ap;
  va_start(ap, flags);
  const mode_t mode = ModeArg(flags, ap);
  va_end(ap);
  return openat(dirfd, path, flags, mode);
}

int creat(const char* path, mode_t mode) { return openat(AT_FDCWD, path, O_WRONLY | O_CREAT | O_TRUNC, mode); }

// mkstemp and its kin make their file inside the C library.
int mkostemp(char* pattern, int flags) {
  static auto fn = Real<int (*)(char*, int)>("mkostemp");
  char full[PATH_MAX];
  FullPath(AT_FDCWD, pattern, full, sizeof full);
  if (Fails(kOpen, full)) return -1;
  return fn(pattern, flags);
}

int mkstemp(char* pattern) { return mkostemp(pattern, 0); }

int mkostemps(char* pattern, int suffix, int flags) {
  static auto fn = Real<int (*)(char*, int, int)>("mkostemps");
  char full[PATH_MAX];
  FullPath(AT_FDCWD, pattern, full, sizeof full);
  if (Fails(kOpen, full)) return -1;
  return fn(pattern, suffix, flags);
}

int mkstemps(char* pattern, int suffix) { return mkostemps(pattern, suffix, 0); }

ssize_t write(int fd, const void* buf, size_t n) {
  static auto fn = Real<ssize_t (*)(int, const void*, size_t)>("write");
  if (WriteFails(fd, n)) return -1;
  return fn(fd, buf, n);
}

ssize_t pwrite64(int fd, const void* buf, size_t n, off_t at) {
  static auto fn = Real<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite64");
  if (WriteFails(fd, n, at)) return -1;
  return fn(fd, buf, n, at);
}

ssize_t pwrite(int fd, const void* buf, size_t n, off_t at) { return pwrite64(fd, buf, n, at); }

ssize_t writev(int fd, const struct iovec* iov, int count) {
  static auto fn = Real<ssize_t (*)(int, const struct iovec*, int)>("writev");
  std::size_t total = 0;
  for (int i = 0; i < count; ++i) total += iov[i].iov_len;
  const std::size_t whole = total;
  if (WriteFails(fd, total)) return -1;
  if (total < whole) {
    // The short write: the first part of the first buffers.
    static auto writeFn = Real<ssize_t (*)(int, const void*, size_t)>("write");
    std::size_t done = 0;
    for (int i = 0; i < count && done < total; ++i) {
      const std::size_t k = std::min(iov[i].iov_len, total - done);
      const ssize_t w = writeFn(fd, iov[i].iov_base, k);
      if (w < 0) return done > 0 ? static_cast<ssize_t>(done) : -1;
      done += static_cast<std::size_t>(w);
      if (static_cast<std::size_t>(w) < k) break;
    }
    return static_cast<ssize_t>(done);
  }
  return fn(fd, iov, count);
}

int fsync(int fd) {
  static auto fn = Real<int (*)(int)>("fsync");
  if (FailsOnFd(kFsync, fd)) return -1;
  return fn(fd);
}

int fdatasync(int fd) {
  static auto fn = Real<int (*)(int)>("fdatasync");
  if (FailsOnFd(kFsync, fd)) return -1;
  return fn(fd);
}

int ftruncate64(int fd, off_t length) {
  static auto fn = Real<int (*)(int, off_t)>("ftruncate64");
  if (FailsOnFd(kTruncate, fd)) return -1;
  return fn(fd, length);
}

int ftruncate(int fd, off_t length) { return ftruncate64(fd, length); }

int close(int fd) {
  static auto fn = Real<int (*)(int)>("close");
  if (Cfg().active && Cfg().kinds[kClose] && FailsOnFd(kClose, fd)) {
    // The descriptor goes all the same, as after a failed write-back.
    const int e = errno;
    fn(fd);
    errno = e;
    return -1;
  }
  return fn(fd);
}

int linkat(int olddir, const char* oldpath, int newdir, const char* newpath, int flags) {
  static auto fn = Real<int (*)(int, const char*, int, const char*, int)>("linkat");
  char a[PATH_MAX], b[PATH_MAX];
  FullPath(olddir, oldpath, a, sizeof a);
  FullPath(newdir, newpath, b, sizeof b);
  if (Fails(kLink, a, b)) return -1;
  return fn(olddir, oldpath, newdir, newpath, flags);
}

int link(const char* oldpath, const char* newpath) { return linkat(AT_FDCWD, oldpath, AT_FDCWD, newpath, 0); }

int renameat2(int olddir, const char* oldpath, int newdir, const char* newpath, unsigned flags) {
  static auto fn = Real<int (*)(int, const char*, int, const char*, unsigned)>("renameat2");
  char a[PATH_MAX], b[PATH_MAX];
  FullPath(olddir, oldpath, a, sizeof a);
  FullPath(newdir, newpath, b, sizeof b);
  if (Fails(kRename, a, b)) return -1;
  return fn(olddir, oldpath, newdir, newpath, flags);
}

int renameat(int olddir, const char* oldpath, int newdir, const char* newpath) {
  return renameat2(olddir, oldpath, newdir, newpath, 0);
}

int rename(const char* oldpath, const char* newpath) { return renameat2(AT_FDCWD, oldpath, AT_FDCWD, newpath, 0); }

int unlinkat(int dirfd, const char* path, int flags) {
  static auto fn = Real<int (*)(int, const char*, int)>("unlinkat");
  char full[PATH_MAX];
  FullPath(dirfd, path, full, sizeof full);
  if ((flags & AT_REMOVEDIR) == 0 && Fails(kUnlink, full)) return -1;
  return fn(dirfd, path, flags);
}

int unlink(const char* path) { return unlinkat(AT_FDCWD, path, 0); }

int remove(const char* path) {
  struct stat st {};
  if (::lstat(path, &st) == 0 && S_ISDIR(st.st_mode)) return ::rmdir(path);
  return unlinkat(AT_FDCWD, path, 0);
}

}  // extern "C"

#ifdef ZEB1_FAULTS_LINKED
namespace zeb::test {

void ArmFileFaults(const FileFaultPlan& plan) {
  Config k;
  if (!plan.in.empty() && plan.in.size() < sizeof k.in) {
    std::strcpy(k.in, plan.in.c_str());
    k.active = true;
  }
  if (plan.notIn.size() < sizeof k.notIn) std::strcpy(k.notIn, plan.notIn.c_str());
  ParseKinds(plan.calls.c_str(), k.kinds);
  k.at = plan.at;
  k.err = plan.err;
  k.part = plan.part;
  k.sticky = plan.sticky;
  k.room = plan.room;
  {
    const std::lock_guard<std::mutex> lock(g_seenMutex);
    Seen().clear();
  }
  g_count = 0;
  g_failedKind = -1;
  g_shortFd = -1;
  Cfg() = k;
}

std::vector<FileStepSeen> DisarmFileFaults() {
  Cfg() = Config{};
  g_shortFd = -1;
  const std::lock_guard<std::mutex> lock(g_seenMutex);
  return std::move(Seen());
}

}  // namespace zeb::test
#endif
