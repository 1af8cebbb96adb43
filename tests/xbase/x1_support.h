// Helpers for the tests of the engine's base layer: a fresh engine per
// test, a scratch folder, file bytes, and running Debian's python.
#pragma once
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/support_shell.h"
#include "xbase/core/engine.h"
#include "xbase/core/errors.h"

namespace zeb::xbase::test {

using zeb::test::ShellQuote;

class ScratchDir {
 public:
  ScratchDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "x1testXXXXXX").string();
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp");
    path_ = buf.data();
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Runs a shell command; its exit status and standard output.
inline int RunCommand(const std::string& cmd, std::string& out) {
  out.clear();
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return -1;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  int st = ::pclose(p);
  return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

// A Python program in a file, run with Debian's interpreter.
inline int RunPython(const ScratchDir& dir, const std::string& program, std::string& out) {
  const std::string file = dir / "prog.py";
  WriteBytes(file, program);
  return RunCommand("/usr/bin/python3 " + ShellQuote(file) + " 2>&1", out);
}

// Every test starts from the engine's start values, with an exit handler
// that only records (the stop step must never end the test process).
class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetTzEngine();
    SetTzExitHandler([this](int code) { exitCodes.push_back(code); });
  }
  void TearDown() override { ResetTzEngine(); }
  std::vector<int> exitCodes;
};

}  // namespace zeb::xbase::test
