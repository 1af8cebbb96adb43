// Preloaded into the program under test: counts fsync calls, folders made,
// write calls per file and folder listings per folder, and notes every Qt
// library mapped. At exit the counts go to the file named by ZEB1_COUNT_OUT,
// one line each: "fsync N", "mkdir N", "write PATH N", "list PATH N",
// "map PATH".
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct FileCount {
  char path[512];
  int writes;
};

constexpr int kMaxFiles = 128;
FileCount g_files[kMaxFiles];
int g_fileCount = 0;
FileCount g_lists[kMaxFiles];  // folders listed, with the number of listings
int g_listCount = 0;
std::atomic<int> g_fsyncs{0};
std::atomic<int> g_mkdirs{0};

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

void CountListing(const char* path) {
  for (int k = 0; k < g_listCount; ++k) {
    if (std::strcmp(g_lists[k].path, path) == 0) {
      ++g_lists[k].writes;
      return;
    }
  }
  if (g_listCount == kMaxFiles || std::strlen(path) >= sizeof g_lists[0].path) return;
  std::strcpy(g_lists[g_listCount].path, path);
  g_lists[g_listCount].writes = 1;
  ++g_listCount;
}

__attribute__((destructor)) void Report() {
  const char* out = std::getenv("ZEB1_COUNT_OUT");
  if (out == nullptr) return;
  FILE* maps = std::fopen("/proc/self/maps", "r");
  FILE* f = std::fopen(out, "w");
  if (f == nullptr) return;
  std::fprintf(f, "fsync %d\n", g_fsyncs.load());
  std::fprintf(f, "mkdir %d\n", g_mkdirs.load());
  for (int k = 0; k < g_fileCount; ++k) std::fprintf(f, "write %s %d\n", g_files[k].path, g_files[k].writes);
  for (int k = 0; k < g_listCount; ++k) std::fprintf(f, "list %s %d\n", g_lists[k].path, g_lists[k].writes);
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
