#include "platform/env.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <optional>

namespace zeb {
namespace {

// Sets or removes a variable for one test and restores it afterwards.
class EnvGuard {
 public:
  explicit EnvGuard(const char* name) : name_(name) {
    if (const char* v = getenv(name)) old_ = v;
  }
  ~EnvGuard() {
    if (old_) setenv(name_, old_->c_str(), 1);
    else unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

std::string CommandOutput(const char* cmd) {
  std::string out;
  if (FILE* p = popen(cmd, "r")) {
    char buf[256];
    while (fgets(buf, sizeof buf, p)) out += buf;
    pclose(p);
  }
  while (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

TEST(Environment, TempIsTmpdirWhenAFolderElseTmp) {
  EnvGuard g("TMPDIR");
  setenv("TMPDIR", "/usr", 1);
  EXPECT_EQ(GetEnvironment("TEMP"), "/usr");
  setenv("TMPDIR", "/usr/no-such-folder", 1);
  EXPECT_EQ(GetEnvironment("TEMP"), "/tmp");
  unsetenv("TMPDIR");
  EXPECT_EQ(GetEnvironment("TEMP"), "/tmp");
}

TEST(Environment, UsernameFromUserElseLoginName) {
  EnvGuard g("USER");
  setenv("USER", "Meier", 1);
  EXPECT_EQ(GetEnvironment("USERNAME"), "Meier");
  unsetenv("USER");
  std::string expected = CommandOutput("id -un 2>/dev/null");
  if (expected.empty()) GTEST_SKIP() << "no login name for this uid";
  EXPECT_EQ(GetEnvironment("USERNAME"), expected);
}

TEST(Environment, OtherNamesAnyLength) {
  EnvGuard g("ZEB1_TEST_VAR");
  std::string longValue(1000, 'v');
  setenv("ZEB1_TEST_VAR", longValue.c_str(), 1);
  EXPECT_EQ(GetEnvironment("ZEB1_TEST_VAR"), longValue);
  unsetenv("ZEB1_TEST_VAR");
  EXPECT_EQ(GetEnvironment("ZEB1_TEST_VAR"), "");
  EXPECT_EQ(GetEnvironment(""), "");
  EXPECT_EQ(GetEnvironment("A=B"), "");
}

TEST(Version, FromTheBuild) {
  EXPECT_EQ(ProgramVersionText(), "26.6.0.0");
  const VersionParts v = ProgramVersionParts();
  EXPECT_TRUE(v.major == 26 && v.minor == 6 && v.release == 0 && v.build == 0);
}

}  // namespace
}  // namespace zeb
