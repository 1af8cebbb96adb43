// Name texts, folder tests, copies (complete or not at all), version and
// time texts.
#include <gtest/gtest.h>

#include <ctime>

#include "base/fileattr.h"
#include "base/files.h"
#include "base/globals.h"
#include "base/support_clock.h"
#include "support_fixture.h"
#include "test_files_support.h"

namespace zeb {
namespace {

using test::ReadBytes;
using test::ScratchDir;
using test::WriteBytes;

class FilesTest : public test::BaseTest {
 protected:
  ScratchDir dir;
};

TEST_F(FilesTest, FolderAndNameTexts) {
  // "/" is the only separator; "\" and ":" are name characters; the name
  // parts look only after the last "/".
  const std::pair<std::string, std::string> cases[] = {
      {AddBackslash("Menü"), "Menü/"},          {AddBackslash("proj-"), "proj-/"},
      {AddBackslash("  /home/a  "), "/home/a/"}, {AddBackslash("/home/a/"), "/home/a/"},
      {AddBackslash("   "), ""},               {AddBackslash(""), ""},
      {AddBackslash("C:"), "C:/"},             {AddBackslashB("C:"), "C:/"},
      {RemoveTrailingBackslash("a/b/"), "a/b"}, {ExtractFolderPart("/a/b.c/d.zeb"), "/a/b.c/"},
      {ExtractFolderPart("C:\\x.zeb"), ""},    {BareFileName("/home/u/federn/spring.zeb"), "spring"},
      {BareFileName("spring"), "spring"},      {BareFileName("dir.v2/spring"), "spring"},
      {BareFileName("./spring"), "spring"},    {BareFileName("a.b.zeb"), "a.b"},
      {BareFileName("spring."), "spring."},    // a last "." is not looked at
      {BareFileName("C:\\f\\x.zeb"), "C:\\f\\x"}, {FileNameNoExt("dir.v2/a.b.zeb"), "a.b"},
      {FileNameNoExt("dir.v2/spring"), "spring"}, {FileExtAfterDot("dir.v2/x.tar.gz"), "tar.gz"},
      {FileExtAfterDot("dir.v2/x"), ""}};
  for (const auto& [got, want] : cases) EXPECT_EQ(got, want);
}

TEST_F(FilesTest, ShortenMiddle) {
  std::string text;
  for (int i = 0; i < 60; ++i) text += static_cast<char>('A' + i % 26);
  EXPECT_EQ(ShortenMiddle(text, 40), text.substr(0, 17) + " ... " + text.substr(42));
  EXPECT_EQ(ShortenMiddle(text, 60), text);
  EXPECT_EQ(ShortenMiddle(text, 2), " ... " + text.substr(59));  // no negative counts
}

TEST_F(FilesTest, FolderTests) {
  WriteBytes(dir / "f.txt", "x");
  EXPECT_TRUE(FolderExistsByFind(dir.path()));
  EXPECT_TRUE(FolderExistsByFind(dir.path() + "/"));
  EXPECT_FALSE(FolderExistsByFind(dir / "missing"));
  EXPECT_FALSE(FolderExistsByFind(dir / "f.txt"));
  EXPECT_TRUE(FolderExistsByChDir(dir.path() + "/"));
  EXPECT_FALSE(FolderExistsByChDir(dir / "missing"));
  EXPECT_TRUE(FolderExistsByChDir("/"));
  EXPECT_TRUE(IsFolderWritable(dir.path()));
  EXPECT_FALSE(IsFolderWritable(dir / "missing"));
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"f.txt"});  // the probe is gone
  EXPECT_TRUE(FileCanBeOpened(dir / "f.txt"));
  EXPECT_TRUE(FileCanBeOpened(dir / "F.TXT"));  // unique match in any case
  EXPECT_FALSE(FileCanBeOpened(dir.path()));
  EXPECT_FALSE(FileCanBeOpened(dir / "g.txt"));
  EXPECT_TRUE(FileHasAttributes(dir.path(), kAttrDirectory));
  EXPECT_FALSE(FileHasAttributes(dir / "f.txt", kAttrDirectory));
  EXPECT_TRUE(FileHasAttributes(dir / "f.txt", kAttrArchive));
  EXPECT_FALSE(FileHasAttributes(dir / "missing", 0));
}

TEST_F(FilesTest, CopyFileToPath) {
  const std::string block(8192, 'b');
  WriteBytes(dir / "block.bin", block);
  WriteBytes(dir / "empty.bin", "");
  ::mkdir((dir / "sub").c_str(), 0755);
  CopyFileToPath(dir / "block.bin", dir / "sub");
  EXPECT_EQ(ReadBytes(dir / "sub/block.bin"), block);
  CopyFileToPath(dir / "empty.bin", dir / "copy.bin");
  EXPECT_TRUE(std::filesystem::exists(dir / "copy.bin"));
  EXPECT_EQ(ReadBytes(dir / "copy.bin"), "");
  CopyFileToPath(dir / "block.bin", dir / "block.bin");  // onto itself: intact
  EXPECT_EQ(ReadBytes(dir / "block.bin"), block);

  try {
    CopyFileToPath(dir / "gone.bin", dir / "x.bin");
    ADD_FAILURE() << "no exception";
  } catch (const EFOpenError& e) {
    EXPECT_EQ(std::string(e.what()), "Datei " + (dir / "gone.bin") + " kann nicht ge\x94" "ffnet werden");
  }
  EXPECT_THROW(CopyFileToPath(dir / "block.bin", dir / "missing/x.bin"), EFCreateError);
  EXPECT_THROW(CopyFileToPath(dir / "block.bin", "/dev/full"), EFCreateError);
}

TEST_F(FilesTest, ShortWritesLeaveTheDestination) {
  const std::string source(20000, 's'), old(1000, 'o');
  WriteBytes(dir / "src.bin", source);
  WriteBytes(dir / "dst.bin", old);
  const int code = test::RunWithFileSizeLimit(4096, [&] {
    CopyFileBlocks(dir / "src.bin", dir / "dst.bin");
    if (G().AbortFlag != 1) return 10;
    try {
      CopyFileToPath(dir / "src.bin", dir / "dst.bin");
      return 11;
    } catch (const EFCreateError& e) {
      if (std::string(e.what()) != "Datei " + (dir / "dst.bin") + " kann nicht erstellt werden") return 12;
    }
    G().AbortFlag = 0;
    ui().ExpectMessageBox("Fehler", "src.bin kann nicht erstellt werden");
    CopyFileToFolderOf(dir / "src.bin", dir / "dst.bin");  // onto itself
    if (G().AbortFlag != 1) return 13;
    return ui().Verify() ? 0 : 14;
  });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ReadBytes(dir / "dst.bin"), old);
  EXPECT_EQ(ReadBytes(dir / "src.bin"), source);
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"dst.bin", "src.bin"}));
}

TEST_F(FilesTest, CopyFileBlocks) {
  const std::string source(2048 * 3, 'c');
  WriteBytes(dir / "a.bin", source);
  CopyFileBlocks(dir / "a.bin", dir / "b.bin");
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(ReadBytes(dir / "b.bin"), source);
  CopyFileBlocks(dir / "a.bin", "/dev/full");
  EXPECT_EQ(G().AbortFlag, 1);
  G().AbortFlag = 0;
  CopyFileBlocks(dir / "none.bin", dir / "c.bin");
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_FALSE(std::filesystem::exists(dir / "c.bin"));
}

TEST_F(FilesTest, MasksMatchAnyCase) {
  ::mkdir((dir / "src").c_str(), 0755);
  ::mkdir((dir / "dst").c_str(), 0755);
  ::mkdir((dir / "src/d.zeb").c_str(), 0755);  // a folder is not copied
  WriteBytes(dir / "src/a.zeb", "A");
  WriteBytes(dir / "src/B.ZEB", "B");
  WriteBytes(dir / "src/b.zeb", "b");  // differs only in case: kept apart
  WriteBytes(dir / "src/c.txt", "C");
  CopyFilesByMask("*.zeb", dir / "src", dir / "dst");
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(ReadBytes(dir / "dst/B.ZEB") + ReadBytes(dir / "dst/b.zeb"), "Bb");
  std::vector<std::string> copied;
  for (const auto& e : std::filesystem::directory_iterator(dir / "dst")) copied.push_back(e.path().filename());
  std::sort(copied.begin(), copied.end());
  EXPECT_EQ(copied, (std::vector<std::string>{"B.ZEB", "a.zeb", "b.zeb"}));
  CopyFilesByMask("*.dbf", dir / "src", dir / "dst");  // none: AbortFlag
  EXPECT_EQ(G().AbortFlag, 1);
  ui().ExpectMessageBox("Fehler", "missing/B.ZEB kann nicht erstellt werden");
  ui().ExpectMessageBox("Fehler", "missing/a.zeb kann nicht erstellt werden");
  ui().ExpectMessageBox("Fehler", "missing/b.zeb kann nicht erstellt werden");
  CopyFilesByMask("*.ZEB", dir / "src", dir / "missing");
  EXPECT_EQ(G().AbortFlag, 1);

  DeleteFilesByMask(dir / "dst/", "*.Zeb");
  EXPECT_TRUE(std::filesystem::is_empty(dir / "dst"));
  // Only the exact name is deleted.
  DeleteWorkFile(dir / "src/C.TXT");
  EXPECT_TRUE(std::filesystem::exists(dir / "src/c.txt"));
  DeleteWorkFile(dir / "src/c.txt");
  EXPECT_FALSE(std::filesystem::exists(dir / "src/c.txt"));
}

TEST_F(FilesTest, VersionOfTheProgramFile) {
  // The build's version is 26.6.0.0.
  EXPECT_EQ(GetFileVersionString(""), "26.6");
  EXPECT_EQ(GetFileVersionString("W" + G().ProgramShortName + ".exe"), "26.6");
  EXPECT_EQ(GetFileVersionString("/usr/local/bin/wzeb1"), "26.6");
  EXPECT_EQ(GetFileVersionString("other.exe"), "0");
  EXPECT_EQ(GetFileVersionString("wzeb12"), "0");
}

CLOCK_TEST_F(FilesTest, TimesAndSettings) {
  EXPECT_EQ(TimeText(9, 5), "9:05");
  EXPECT_EQ(TimeText(23, 59), "23:59");
  std::tm tm{};
  tm.tm_year = 124, tm.tm_mon = 2, tm.tm_mday = 7, tm.tm_hour = 12, tm.tm_isdst = -1;
  EXPECT_EQ(FileDateString(std::mktime(&tm)), "2024/03/07");
  ToggleUnitSystem();
  EXPECT_EQ(G().UnitSystem, 1);
  ToggleUnitSystem();
  EXPECT_EQ(G().UnitSystem, 0);
  G().UnitSystem = 3;
  ToggleUnitSystem();
  EXPECT_EQ(G().UnitSystem, 1);
}

}  // namespace
}  // namespace zeb

namespace zeb {
namespace {

// A name from the command line (or one that has its extension) is the path
// as typed; a name chosen in the program lives in the data folder.
TEST_F(FilesTest, CurrentSpringFilePath) {
  G().CurrentFileName.clear();
  EXPECT_EQ(CurrentSpringFilePath(), "");
  G().CurrentFileName = "feder";
  G().CurrentDataFolder = "/daten/";
  EXPECT_EQ(CurrentSpringFilePath(), "/daten/feder.zeb");
  G().CurrentFileName = "/work/examples/round.zeb";
  EXPECT_EQ(CurrentSpringFilePath(), "/work/examples/round.zeb");
  G().CurrentFileName = "a.b/feder";
  G().CommandLineFileLoaded = 1;
  EXPECT_EQ(CurrentSpringFilePath(), "a.b/feder");
  G().CommandLineFileLoaded = 0;
  EXPECT_EQ(CurrentSpringFilePath(), "/daten/a.b/feder.zeb");
}

}  // namespace
}  // namespace zeb
