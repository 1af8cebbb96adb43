#include "base/support_hang.h"
#include "platform/process.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>

#include "base/test_files_support.h"

namespace zeb {
namespace {

using Args = std::vector<std::string>;

TEST(SplitCommandLine, BlanksSplitAndQuotesGroup) {
  EXPECT_EQ(SplitCommandLine("xdg-open"), Args{"xdg-open"});
  EXPECT_EQ(SplitCommandLine("  gvim   -f  "), (Args{"gvim", "-f"}));
  EXPECT_EQ(SplitCommandLine("\"/opt/My Editor/edit\" --new \"a b\"c"),
            (Args{"/opt/My Editor/edit", "--new", "a bc"}));
  EXPECT_EQ(SplitCommandLine("prog \"\" x"), (Args{"prog", "", "x"}));
  EXPECT_EQ(SplitCommandLine("prog \"open end"), (Args{"prog", "open end"}));
  EXPECT_EQ(SplitCommandLine("a\tb"), (Args{"a", "b"}));
  EXPECT_TRUE(SplitCommandLine("   ").empty());
}

class ProcessTest : public ::testing::Test {
 protected:
  test::ScratchDir scratch_;
  const std::string dir_ = scratch_.path();
};

const Args kOddNames = {"with blank", "quote\"d 'x'", "$(touch pwned)", "a;b", "-lead", "`id`", "*"};

TEST_F(ProcessTest, ArgumentsArriveVerbatim) {
  if (access("/usr/bin/python3", X_OK) != 0) GTEST_SKIP() << "no /usr/bin/python3";
  // The program writes the arguments it got, NUL-separated.
  std::string out = dir_ + "/argv";
  Args argv{"/usr/bin/python3", "-c",
            "import sys; open(sys.argv[1], 'wb').write(b'\\0'.join(a.encode('utf-8', 'surrogateescape') "
            "for a in sys.argv[2:]))",
            out};
  argv.insert(argv.end(), kOddNames.begin(), kOddNames.end());
  argv.push_back("");
  ProcessResult r = StartProgram(argv, true);
  ASSERT_TRUE(r.started) << r.error;
  EXPECT_EQ(r.exitCode, 0);
  std::string expected;
  for (const auto& n : kOddNames) expected += n + '\0';  // the empty one last
  EXPECT_EQ(test::ReadBytes(out), expected);
}

TEST_F(ProcessTest, StartFailuresAndExitCodes) {
  ProcessResult r = StartProgram({"zeb1-no-such-program"}, true);
  EXPECT_FALSE(r.started);
  EXPECT_EQ(r.error, ENOENT);
  r = StartProgram({"/no/such/dir/prog"});
  EXPECT_FALSE(r.started);
  EXPECT_EQ(r.error, ENOENT);
  std::string plain = dir_ + "/not-executable";
  std::ofstream(plain) << "#!/bin/sh\n";
  r = StartProgram({plain});
  EXPECT_FALSE(r.started);
  EXPECT_EQ(r.error, EACCES);
  r = StartProgram({dir_});
  EXPECT_FALSE(r.started);
  EXPECT_EQ(StartProgram({}).error, EINVAL);
  // Exit codes when waiting.
  EXPECT_EQ(StartProgram({"true"}, true).exitCode, 0);
  EXPECT_EQ(StartProgram({"false"}, true).exitCode, 1);
}

// Children of this process in any state (zombies included), from /proc.
int CountChildren() {
  int count = 0;
  DIR* d = opendir("/proc");
  if (!d) return -1;
  std::string self = std::to_string(getpid());
  while (dirent* e = readdir(d)) {
    std::ifstream in(std::string("/proc/") + e->d_name + "/stat");
    std::string line;
    if (!std::getline(in, line)) continue;
    std::size_t close = line.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream rest(line.substr(close + 1));
    std::string state, ppid;
    rest >> state >> ppid;
    if (ppid == self) ++count;
  }
  closedir(d);
  return count;
}

TEST_F(ProcessTest, NoZombiesWithoutWaiting) {
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(StartProgram({"true"}).started);
  // An unreaped child would stay listed as a zombie.
  int children = -1;
  test::WaitUntil([&] { return (children = CountChildren()) == 0; });
  EXPECT_EQ(children, 0);
}

}  // namespace
}  // namespace zeb
