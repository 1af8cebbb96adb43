// Preloaded into the program under test: counts fsync calls and write calls
// per file, and notes every Qt library mapped. At exit the counts go to the
// file named by ZEB1_COUNT_OUT, one line each: "fsync N", "write PATH N",
// "map PATH".
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
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
std::atomic<int> g_fsyncs{0};

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

__attribute__((destructor)) void Report() {
  const char* out = std::getenv("ZEB1_COUNT_OUT");
  if (out == nullptr) return;
  FILE* maps = std::fopen("/proc/self/maps", "r");
  FILE* f = std::fopen(out, "w");
  if (f == nullptr) return;
  std::fprintf(f, "fsync %d\n", g_fsyncs.load());
  for (int k = 0; k < g_fileCount; ++k) std::fprintf(f, "write %s %d\n", g_files[k].path, g_files[k].writes);
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
