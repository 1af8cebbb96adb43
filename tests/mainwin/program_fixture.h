// Shared helpers of the program tests: file bytes, the source folder, a
// fresh temporary folder per test, and environment variables set for a
// test and put back after it.
#pragma once
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "base/support_shell.h"

namespace zeb::test {

namespace fs = std::filesystem;

inline std::string ReadBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteBytes(const fs::path& p, std::string_view bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// What a shell command prints on its standard output.
inline std::string CommandOutput(const std::string& command) {
  std::string out;
  if (FILE* p = ::popen(command.c_str(), "r")) {
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    ::pclose(p);
  }
  return out;
}

// Copies a file; one that vanished meanwhile (the share file of a run that
// reads the same tables at that moment) is passed over.
inline void CopyUnlessGone(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  fs::copy_file(from, to, ec);
  if (ec && fs::exists(from)) throw fs::filesystem_error("copy", from, to, ec);
}

// Copies the shipped tables (and any memo or index beside them) into a test's
// own folder. Lock and write-test files of runs reading the same folder at
// that moment are left behind.
inline void CopyShippedTables(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  for (fs::directory_iterator it(from, ec), end; !ec && it != end; it.increment(ec)) {
    std::string ext = it->path().extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext != ".dbf" && ext != ".dbt" && ext != ".fpt" && ext != ".ndx") continue;
    CopyUnlessGone(it->path(), to / it->path().filename());
  }
  if (ec) throw fs::filesystem_error("list", from, ec);
}

// Made absolute at start-up: __FILE__ may be relative to the build folder,
// and tests change the working directory.
inline const fs::path kSourceDirAtStart = fs::absolute(fs::path(__FILE__).parent_path().parent_path().parent_path());

inline fs::path SourceDir() {
  if (const char* env = std::getenv("ZEB1_SOURCE_DIR"); env != nullptr && *env != '\0') return env;
  return kSourceDirAtStart;
}

// An empty folder named after the process and the running test, with the
// given subfolders: one folder, also for a test of a parameter (whose name
// holds a slash).
inline fs::path FreshTestFolder(const std::string& prefix, const std::vector<std::string>& subfolders = {}) {
  std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
  std::replace(test.begin(), test.end(), '/', '_');
  const fs::path root = fs::temp_directory_path() / (prefix + std::to_string(::getpid()) + "_" + test);
  fs::remove_all(root);
  fs::create_directories(root);
  for (const std::string& s : subfolders) fs::create_directories(root / s);
  return root;
}

// Makes an existing folder read-only for this process while it lives: root
// writes into any folder by its mode, so for root a read-only file system is
// mounted over it. `made` is false where that mount is refused. Writable
// again when it ends.
class ReadOnlyFolder {
 public:
  explicit ReadOnlyFolder(const fs::path& dir) {
    if (::geteuid() != 0) {
      fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
      dir_ = dir;
      return;
    }
    const std::string quoted = ShellQuote(dir.string());
    made = std::system(("mount -t tmpfs -o ro,size=64k tmpfs " + quoted + " 2>/dev/null").c_str()) == 0;
    if (made) umount_ = "umount " + quoted;
  }
  ReadOnlyFolder(const ReadOnlyFolder&) = delete;
  ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;
  ~ReadOnlyFolder() {
    if (!umount_.empty()) (void)std::system(umount_.c_str());
    std::error_code ec;
    if (!dir_.empty()) fs::permissions(dir_, fs::perms::owner_all, ec);
  }
  bool made = true;

 private:
  std::string umount_;
  fs::path dir_;
};

// While it lives, this thread reads and writes files by their mode bits
// alone, as any user does, also when it runs as root (which then meets its
// own files' owner bits): the capabilities that pass over the bits leave
// its effective set, and come back at the end.
class ModeBitsOnly {
 public:
  ModeBitsOnly() {
    if (::syscall(SYS_capget, &header_, saved_) != 0) return;
    __user_cap_data_struct now[2] = {saved_[0], saved_[1]};
    now[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    held_ = ::syscall(SYS_capset, &header_, now) == 0;
  }
  ModeBitsOnly(const ModeBitsOnly&) = delete;
  ModeBitsOnly& operator=(const ModeBitsOnly&) = delete;
  ~ModeBitsOnly() {
    if (held_) ::syscall(SYS_capset, &header_, saved_);
  }

 private:
  __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct saved_[2]{};
  bool held_ = false;
};

// Sets environment variables; the destructor puts the old values back.
class ScopedEnv {
 public:
  void Set(const std::string& name, const std::string& value) {
    const char* old = std::getenv(name.c_str());
    saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    ::setenv(name.c_str(), value.c_str(), 1);
  }
  ~ScopedEnv() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->second)
        ::setenv(it->first.c_str(), it->second->c_str(), 1);
      else
        ::unsetenv(it->first.c_str());
    }
  }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace zeb::test
