// Session file: the recent-file list beside the configuration.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "base/globals.h"
#include "base/support_fixture.h"
#include "mainwin/config.h"
#include "mainwin/session.h"

namespace zeb {
namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteBytes(const fs::path& p, const std::string& bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << bytes;
}

class SessionTest : public test::BaseTest {
 protected:
  void SetUp() override {
    BaseTest::SetUp();
    G().ProgramShortName = "zeb1";
    dir_ = fs::temp_directory_path() / ("zeb1-session-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    G().ProgramFolder = dir_.string();
  }
  void TearDown() override {
    fs::remove_all(dir_);
    BaseTest::TearDown();
  }
  fs::path File() const { return dir_ / "zeb1.cff"; }
  void SetRecent(const char* a, const char* b, const char* c, const char* d) {
    G().RecentFiles = {"", a, b, c, d};
  }
  fs::path dir_;
};

TEST_F(SessionTest, WrittenBesideTheConfigurationAndReadBack) {
  EXPECT_EQ(SessionFilePath(), File().string());
  G().CurrentDataFolder = "/home/u/federn/";
  SetRecent("/home/u/federn/a.zeb", "/x/b b.zeb", "", "");
  WriteSessionFile();
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(ReadBytes(File()),
            "zeb1 Session /home/u/federn/\r\n/home/u/federn/a.zeb\r\n/x/b b.zeb\r\n\r\n\r\n");
  SetRecent("p", "q", "r", "s");
  ReadSessionFile();
  EXPECT_EQ(G().RecentFiles[1], "/home/u/federn/a.zeb");
  EXPECT_EQ(G().RecentFiles[2], "/x/b b.zeb");
  EXPECT_EQ(G().RecentFiles[3], "");
  EXPECT_EQ(G().RecentFiles[4], "");
}

TEST_F(SessionTest, WrittenOnlyWhenTheFirstEntryIsSet) {
  SetRecent("", "/a.zeb", "", "");
  WriteSessionFile();
  EXPECT_FALSE(fs::exists(File()));
  WriteBytes(File(), "old\r\n");
  WriteSessionFile();
  EXPECT_EQ(ReadBytes(File()), "old\r\n");
}

TEST_F(SessionTest, MissingOrShortFilesGiveEmptyEntries) {
  SetRecent("p", "q", "r", "s");
  G().AbortFlag = 0;
  ReadSessionFile();
  for (int i = 1; i <= 4; ++i) EXPECT_EQ(G().RecentFiles[i], "");
  EXPECT_EQ(G().AbortFlag, 0);

  WriteBytes(File(), "zeb1 Session /d/\r\n/a.zeb\n/b.zeb");  // three lines, the last unended
  SetRecent("p", "q", "r", "s");
  ReadSessionFile();
  EXPECT_EQ(G().RecentFiles[1], "/a.zeb");
  EXPECT_EQ(G().RecentFiles[2], "/b.zeb");
  EXPECT_EQ(G().RecentFiles[3], "");
  EXPECT_EQ(G().RecentFiles[4], "");

  // A folder or a FIFO in its place is no session; a NUL drops an entry.
  fs::remove(File());
  fs::create_directory(File());
  SetRecent("p", "q", "r", "s");
  ReadSessionFile();
  EXPECT_EQ(G().RecentFiles[1], "");
  fs::remove(File());
  ASSERT_EQ(::mkfifo(File().c_str(), 0600), 0);
  ReadSessionFile();
  EXPECT_EQ(G().RecentFiles[1], "");
  fs::remove(File());
  WriteBytes(File(), std::string("x\r\n/a\0b\r\n/c.zeb\r\n", 15));
  ReadSessionFile();
  EXPECT_EQ(G().RecentFiles[1], "");
  EXPECT_EQ(G().RecentFiles[2], "/c.zeb");
}

TEST_F(SessionTest, AFailingWriteIsReported) {
  G().ProgramFolder = (dir_ / "missing").string();
  SetRecent("/a.zeb", "", "", "");
  ui().ExpectQuestion("", "I/O-Error", Answer::Cancel);
  ui().ExpectMessageBox("", "missing/zeb1.cff");
  WriteSessionFile();
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_FALSE(fs::exists(dir_ / "missing"));
}

}  // namespace
}  // namespace zeb
