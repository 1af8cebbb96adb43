// Session file: the recent-file list beside the configuration.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <filesystem>
#include <string>

#include "base/globals.h"
#include "base/support_fixture.h"
#include "program_fixture.h"
#include "settings/config.h"
#include "mainwin/session.h"

namespace zeb {
namespace {

namespace fs = std::filesystem;

using test::ReadBytes;
using test::WriteBytes;
using Recent = std::array<std::string, 5>;  // entries 1..4

class SessionTest : public test::BaseTest {
 protected:
  void SetUp() override {
    BaseTest::SetUp();
    G().ProgramShortName = "zeb1";
    dir_ = test::FreshTestFolder("zeb1-session-");
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
  EXPECT_EQ(G().RecentFiles, (Recent{"", "/home/u/federn/a.zeb", "/x/b b.zeb", "", ""}));
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
  EXPECT_EQ(G().RecentFiles, Recent{});
  EXPECT_EQ(G().AbortFlag, 0);

  WriteBytes(File(), "zeb1 Session /d/\r\n/a.zeb\n/b.zeb");  // three lines, the last unended
  SetRecent("p", "q", "r", "s");
  ReadSessionFile();
  EXPECT_EQ(G().RecentFiles, (Recent{"", "/a.zeb", "/b.zeb", "", ""}));

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

// A session file beyond 4 MB is named and not read.
TEST_F(SessionTest, FileBeyondTheLimitIsNamedNotRead) {
  WriteBytes(File(), "zeb1 Session /d/\r\n/a.zeb\r\n");
  fs::resize_file(File(), 5u << 20);
  SetRecent("p", "q", "r", "s");
  ui().ExpectMessageBox("", "Datei " + File().string() + " ist zu gro\u00df (\u00fcber 4 MB) !");
  ReadSessionFile();
  EXPECT_EQ(G().RecentFiles, Recent{});
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
