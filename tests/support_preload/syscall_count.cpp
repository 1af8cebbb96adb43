// Preloaded into the program under test: counts fsync calls, folders made,
// files made with a name and without, write calls per file, opens for reading per file, bytes read
// per file, folder listings per folder, failing lookups (stat, lstat, fstatat, statx, access)
// per name in lower case, whatever case it was asked in, and notes every Qt library mapped. At
// exit the counts go to the file named by ZEB1_COUNT_OUT, one line each: "fsync N", "mkdir N",
// "create N", "unnamed N", "write PATH N", "read PATH N", "bytes PATH N", "list PATH N",
// "miss LOWER-CASE-PATH N", "map PATH".
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct FileCount {
  char path[512];
  int writes;
};

constexpr int kMaxFiles = 128;
constexpr int kMaxMisses = 1024;
FileCount g_files[kMaxFiles];
int g_fileCount = 0;
FileCount g_lists[kMaxFiles];  // folders listed, with the number of listings
int g_listCount = 0;
FileCount g_reads[kMaxFiles];  // files opened for reading
int g_readCount = 0;
struct ByteCount {
  char path[512];
  long long bytes;
};
ByteCount g_bytes[kMaxFiles];  // bytes read per file
int g_byteCount = 0;
FileCount g_misses[kMaxMisses];  // names looked up in vain, lower case
int g_missCount = 0;
std::atomic<int> g_fsyncs{0};
std::atomic<int> g_mkdirs{0};
std::atomic<int> g_creates{0};
std::atomic<int> g_unnamed{0};

using WriteFn = ssize_t (*)(int, const void*, size_t);
using FsyncFn = int (*)(int);

WriteFn RealWrite() {
  static WriteFn fn = reinterpret_cast<WriteFn>(::dlsym(RTLD_NEXT, "write"));
  return fn;
}

void CountWrite(int fd) {
  char link[64], path[512];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  const ssize_t n = ::readlink(link, path, sizeof path - 1);
  if (n <= 0) return;
  path[n] = '\0';
  if (std::strncmp(path, "/dev/", 5) == 0 || std::strncmp(path, "pipe:", 5) == 0) return;
  for (int k = 0; k < g_fileCount; ++k) {
    if (std::strcmp(g_files[k].path, path) == 0) {
      ++g_files[k].writes;
      return;
    }
  }
  if (g_fileCount == kMaxFiles) return;
  std::strcpy(g_files[g_fileCount].path, path);
  g_files[g_fileCount].writes = 1;
  ++g_fileCount;
}

void CountIn(FileCount* table, int& count, const char* path) {
  for (int k = 0; k < count; ++k) {
    if (std::strcmp(table[k].path, path) == 0) {
      ++table[k].writes;
      return;
    }
  }
  if (count == kMaxFiles || std::strlen(path) >= sizeof table[0].path) return;
  std::strcpy(table[count].path, path);
  table[count].writes = 1;
  ++count;
}

void CountListing(const char* path) { CountIn(g_lists, g_listCount, path); }

// Bytes read from a file (by its path; pipes, sockets and devices not).
void CountBytes(int fd, long long n) {
  if (n <= 0) return;
  char link[64], path[512];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  const ssize_t len = ::readlink(link, path, sizeof path - 1);
  if (len <= 0 || path[0] != '/' || std::strncmp(path, "/dev/", 5) == 0) return;
  path[len] = '\0';
  for (int k = 0; k < g_byteCount; ++k) {
    if (std::strcmp(g_bytes[k].path, path) == 0) {
      g_bytes[k].bytes += n;
      return;
    }
  }
  if (g_byteCount == kMaxFiles) return;
  std::strcpy(g_bytes[g_byteCount].path, path);
  g_bytes[g_byteCount].bytes = n;
  ++g_byteCount;
}

// A lookup that found nothing, under its absolute path in lower case (a
// relative one taken from dirfd or the working folder), so that every
// spelling of a name counts once for it.
void CountMiss(int dirfd, const char* path) {
  if (path == nullptr || path[0] == '\0') return;
  char full[2 * PATH_MAX + 2];
  if (path[0] == '/') {
    if (std::snprintf(full, sizeof full, "%s", path) >= static_cast<int>(sizeof full)) return;
  } else {
    char base[PATH_MAX];
    if (dirfd == AT_FDCWD) {
      if (::getcwd(base, sizeof base) == nullptr) return;
    } else {
      char link[64];
      std::snprintf(link, sizeof link, "/proc/self/fd/%d", dirfd);
      const ssize_t n = ::readlink(link, base, sizeof base - 1);
      if (n <= 0) return;
      base[n] = '\0';
    }
    if (std::snprintf(full, sizeof full, "%s/%s", base, path) >= static_cast<int>(sizeof full)) return;
  }
  for (char* c = full; *c != '\0'; ++c)
    if (*c >= 'A' && *c <= 'Z') *c = static_cast<char>(*c + 32);
  for (char* dot = std::strstr(full, "/./"); dot != nullptr; dot = std::strstr(dot, "/./"))
    std::memmove(dot, dot + 2, std::strlen(dot + 2) + 1);
  int count = g_missCount;
  FileCount* table = g_misses;
  for (int k = 0; k < count; ++k) {
    if (std::strcmp(table[k].path, full) == 0) {
      ++table[k].writes;
      return;
    }
  }
  if (count == kMaxMisses || std::strlen(full) >= sizeof table[0].path) return;
  std::strcpy(table[count].path, full);
  table[count].writes = 1;
  ++g_missCount;
}

// The result of a lookup, counted when it failed for want of the name.
int Looked(int result, int dirfd, const char* path) {
  if (result != 0 && (errno == ENOENT || errno == ENOTDIR)) {
    const int e = errno;
    CountMiss(dirfd, path);
    errno = e;
  }
  return result;
}

// An open that may make a file counts as a file made when it did (with a
// name or without); an open
// for reading of a regular file counts under the file's real path.
void CountOpen(int fd, int flags, bool existed) {
  if (fd < 0) return;
  if ((flags & O_TMPFILE) == O_TMPFILE) {
    ++g_unnamed;
    return;
  }
  if ((flags & O_CREAT) != 0 && !existed) {
    ++g_creates;
    return;
  }
  if ((flags & O_ACCMODE) != O_RDONLY) return;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return;
  char link[64], path[512];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  const ssize_t n = ::readlink(link, path, sizeof path - 1);
  if (n <= 0) return;
  path[n] = '\0';
  CountIn(g_reads, g_readCount, path);
}

bool Exists(int dirfd, const char* path, int flags) {
  if ((flags & O_CREAT) == 0) return true;
  // Not a lookup of the program's: the real call, uncounted.
  static auto fn = reinterpret_cast<int (*)(int, const char*, struct stat*, int)>(::dlsym(RTLD_NEXT, "fstatat"));
  struct stat st {};
  return fn(dirfd, path, &st, AT_SYMLINK_NOFOLLOW) == 0;
}

mode_t ModeArg(int flags, va_list ap) {
  return (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE ? static_cast<mode_t>(va_arg(ap, int)) : 0;
}

__attribute__((destructor)) void Report() {
  const char* out = std::getenv("ZEB1_COUNT_OUT");
  if (out == nullptr) return;
  FILE* maps = std::fopen("/proc/self/maps", "r");
  FILE* f = std::fopen(out, "w");
  if (f == nullptr) return;
  std::fprintf(f, "fsync %d\n", g_fsyncs.load());
  std::fprintf(f, "mkdir %d\n", g_mkdirs.load());
  std::fprintf(f, "create %d\n", g_creates.load());
  std::fprintf(f, "unnamed %d\n", g_unnamed.load());
  for (int k = 0; k < g_readCount; ++k) std::fprintf(f, "read %s %d\n", g_reads[k].path, g_reads[k].writes);
  for (int k = 0; k < g_byteCount; ++k) std::fprintf(f, "bytes %s %lld\n", g_bytes[k].path, g_bytes[k].bytes);
  for (int k = 0; k < g_fileCount; ++k) std::fprintf(f, "write %s %d\n", g_files[k].path, g_files[k].writes);
  for (int k = 0; k < g_listCount; ++k) std::fprintf(f, "list %s %d\n", g_lists[k].path, g_lists[k].writes);
  for (int k = 0; k < g_missCount; ++k) std::fprintf(f, "miss %s %d\n", g_misses[k].path, g_misses[k].writes);
  if (maps != nullptr) {
    char line[1024];
    while (std::fgets(line, sizeof line, maps) != nullptr) {
      const char* lib = std::strstr(line, "libQt6");
      if (lib == nullptr) continue;
      const char* slash = std::strchr(line, '/');
      std::fprintf(f, "map %s", slash != nullptr ? slash : lib);
    }
    std::fclose(maps);
  }
  std::fclose(f);
}

}  // namespace

extern "C" ssize_t write(int fd, const void* buf, size_t n) {
  CountWrite(fd);
  return RealWrite()(fd, buf, n);
}

extern "C" ssize_t read(int fd, void* buf, size_t n) {
  static auto fn = reinterpret_cast<ssize_t (*)(int, void*, size_t)>(::dlsym(RTLD_NEXT, "read"));
  const ssize_t got = fn(fd, buf, n);
  const int e = errno;
  CountBytes(fd, got);
  errno = e;
  return got;
}

extern "C" ssize_t pread64(int fd, void* buf, size_t n, off_t at) {
  static auto fn = reinterpret_cast<ssize_t (*)(int, void*, size_t, off_t)>(::dlsym(RTLD_NEXT, "pread64"));
  const ssize_t got = fn(fd, buf, n, at);
  const int e = errno;
  CountBytes(fd, got);
  errno = e;
  return got;
}

extern "C" ssize_t pread(int fd, void* buf, size_t n, off_t at) { return pread64(fd, buf, n, at); }

extern "C" int fsync(int fd) {
  static FsyncFn fn = reinterpret_cast<FsyncFn>(::dlsym(RTLD_NEXT, "fsync"));
  ++g_fsyncs;
  return fn(fd);
}

extern "C" int fdatasync(int fd) {
  static FsyncFn fn = reinterpret_cast<FsyncFn>(::dlsym(RTLD_NEXT, "fdatasync"));
  ++g_fsyncs;
  return fn(fd);
}

extern "C" int mkdir(const char* path, mode_t mode) {
  static auto fn = reinterpret_cast<int (*)(const char*, mode_t)>(::dlsym(RTLD_NEXT, "mkdir"));
  ++g_mkdirs;
  return fn(path, mode);
}

extern "C" char* mkdtemp(char* pattern) {
  static auto fn = reinterpret_cast<char* (*)(char*)>(::dlsym(RTLD_NEXT, "mkdtemp"));
  ++g_mkdirs;
  return fn(pattern);
}

// A folder opened for reading is a folder listed (by its real path).
extern "C" DIR* opendir(const char* name) {
  static auto fn = reinterpret_cast<DIR* (*)(const char*)>(::dlsym(RTLD_NEXT, "opendir"));
  DIR* d = fn(name);
  char path[PATH_MAX];
  if (d != nullptr && ::realpath(name, path) != nullptr) CountListing(path);
  return d;
}

extern "C" DIR* fdopendir(int fd) {
  static auto fn = reinterpret_cast<DIR* (*)(int)>(::dlsym(RTLD_NEXT, "fdopendir"));
  char link[64], path[PATH_MAX];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  const ssize_t n = ::readlink(link, path, sizeof path - 1);
  DIR* d = fn(fd);
  if (d != nullptr && n > 0) {
    path[n] = '\0';
    CountListing(path);
  }
  return d;
}

using OpenAtFn = int (*)(int, const char*, int, ...);

extern "C" int openat(int dirfd, const char* path, int flags, ...) {
  static auto fn = reinterpret_cast<OpenAtFn>(::dlsym(RTLD_NEXT, "openat"));
  va_list ap;
  va_start(ap, flags);
  const mode_t mode = ModeArg(flags, ap);
  va_end(ap);
  const bool existed = Exists(dirfd, path, flags);
  const int fd = fn(dirfd, path, flags, mode);
  const int e = errno;
  CountOpen(fd, flags, existed);
  errno = e;
  return fd;
}

extern "C" int open(const char* path, int flags, ...) {
  va_list ap;
  va_start(ap, flags);
  const mode_t mode = ModeArg(flags, ap);
  va_end(ap);
  return openat(AT_FDCWD, path, flags, mode);
}

extern "C" int open64(const char* path, int flags, ...) {
  va_list ap;
  va_start(ap, flags);
  const mode_t mode = ModeArg(flags, ap);
  va_end(ap);
  return open(path, flags, mode);
}

extern "C" int openat64(int dirfd, const char* path, int flags, ...) {
  va_list ap;
  va_start(ap, flags);
  const mode_t mode = ModeArg(flags, ap);
  va_end(ap);
  return openat(dirfd, path, flags, mode);
}

// mkstemp and its kin make their file inside the C library.
extern "C" int mkostemp(char* pattern, int flags) {
  static auto fn = reinterpret_cast<int (*)(char*, int)>(::dlsym(RTLD_NEXT, "mkostemp"));
  const int fd = fn(pattern, flags);
  if (fd >= 0) ++g_creates;
  return fd;
}

extern "C" int mkstemp(char* pattern) {
  static auto fn = reinterpret_cast<int (*)(char*)>(::dlsym(RTLD_NEXT, "mkstemp"));
  const int fd = fn(pattern);
  if (fd >= 0) ++g_creates;
  return fd;
}

// Lookups of names.
extern "C" int stat(const char* path, struct stat* st) {
  static auto fn = reinterpret_cast<int (*)(const char*, struct stat*)>(::dlsym(RTLD_NEXT, "stat"));
  return Looked(fn(path, st), AT_FDCWD, path);
}

extern "C" int lstat(const char* path, struct stat* st) {
  static auto fn = reinterpret_cast<int (*)(const char*, struct stat*)>(::dlsym(RTLD_NEXT, "lstat"));
  return Looked(fn(path, st), AT_FDCWD, path);
}

extern "C" int stat64(const char* path, struct stat64* st) {
  static auto fn = reinterpret_cast<int (*)(const char*, struct stat64*)>(::dlsym(RTLD_NEXT, "stat64"));
  return Looked(fn(path, st), AT_FDCWD, path);
}

extern "C" int lstat64(const char* path, struct stat64* st) {
  static auto fn = reinterpret_cast<int (*)(const char*, struct stat64*)>(::dlsym(RTLD_NEXT, "lstat64"));
  return Looked(fn(path, st), AT_FDCWD, path);
}

extern "C" int fstatat(int dirfd, const char* path, struct stat* st, int flags) {
  static auto fn = reinterpret_cast<int (*)(int, const char*, struct stat*, int)>(::dlsym(RTLD_NEXT, "fstatat"));
  return Looked(fn(dirfd, path, st, flags), dirfd, path);
}

extern "C" int fstatat64(int dirfd, const char* path, struct stat64* st, int flags) {
  static auto fn = reinterpret_cast<int (*)(int, const char*, struct stat64*, int)>(::dlsym(RTLD_NEXT, "fstatat64"));
  return Looked(fn(dirfd, path, st, flags), dirfd, path);
}

extern "C" int statx(int dirfd, const char* path, int flags, unsigned mask, struct statx* st) {
  static auto fn =
      reinterpret_cast<int (*)(int, const char*, int, unsigned, struct statx*)>(::dlsym(RTLD_NEXT, "statx"));
  return Looked(fn(dirfd, path, flags, mask, st), dirfd, path);
}

extern "C" int access(const char* path, int mode) {
  static auto fn = reinterpret_cast<int (*)(const char*, int)>(::dlsym(RTLD_NEXT, "access"));
  return Looked(fn(path, mode), AT_FDCWD, path);
}
