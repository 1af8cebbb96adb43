// Text, number and file helpers; message and progress windows.
#include <fcntl.h>

#include <ctime>

#include "base/support_clock.h"
#include "x1_support.h"
#include "xbase/dbf/dbffile.h"
#include "xbase/core/callbacks.h"
#include "xbase/core/text_utils.h"

namespace zeb::xbase {
namespace {

using test::EngineTest;
using test::ScratchDir;

class Utils : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    SetTzErrorSwitch(false);
  }
};

TEST_F(Utils, TrimsCountsAndFinds) {
  EXPECT_EQ(AllTrim(" \t \t  "), "");
  EXPECT_EQ(AllTrim("\x01 ab c\x1F"), "ab c");
  EXPECT_EQ(AtNth(2, "a", "banana"), 4);
  EXPECT_EQ(AtNth(-1, "a", "banana"), 6);
  EXPECT_EQ(AtNth(-2, "a", "banana"), 4);
  EXPECT_EQ(AtNth(2, "ana", "banana"), 4);  // overlapping finds
  EXPECT_EQ(AtNth(3, "a", "banana"), 6);
  EXPECT_EQ(AtNth(4, "a", "banana"), 0);
  EXPECT_EQ(AtNth(0, "a", "banana"), 0);
  EXPECT_EQ(Occurs("an", "banana"), 2);
  EXPECT_EQ(Occurs("ana", "banana"), 1);
  EXPECT_EQ(Occurs("", "banana"), 0);
  EXPECT_EQ(Replicate('*', 3), "***");
  EXPECT_EQ(Replicate('*', 0), "");
  EXPECT_EQ(PadRightTo("ab", 4), "ab  ");
  EXPECT_EQ(PadRightTo("abcdef", 4), "abcdef");
  EXPECT_EQ(ContainsTextAt("M\xFCller", "Herr M\xDCLLER"), 6);  // 1252 case folding
}

TEST_F(Utils, CaseOfWindows1252) {
  EXPECT_EQ(TzUpper("m\xFCller \xE9t\xE9 \xDF \xFF \x9A"), "M\xDCLLER \xC9T\xC9 \xDF \x9F \x8A");
  EXPECT_EQ(TzLower("\xC4\xD6\xDC"), "\xE4\xF6\xFC");
  EXPECT_TRUE(IsAlphaText("\xC4pfel"));
  EXPECT_FALSE(IsAlphaText("1a"));
  EXPECT_FALSE(IsAlphaText("\xD7"));
  EXPECT_EQ(StrAnsiToOem("\xC4\xD6\xDC\xDF"), "\x8E\x99\x9A\xE1");
  EXPECT_EQ(StrOemToAnsi("\x8E\x99\x9A\xE1"), "\xC4\xD6\xDC\xDF");
}

TEST_F(Utils, RemoveKeywordKeepsThePathCase) {
  std::string s = "data/Kunden.dbf exclusive";
  EXPECT_TRUE(RemoveKeyword(" EXCLUSIVE", s));
  EXPECT_EQ(s, "data/Kunden.dbf");
  s = "kunden exclusivex";
  EXPECT_FALSE(RemoveKeyword(" EXCLUSIVE", s));
  EXPECT_EQ(s, "kunden exclusivex");
  s = " a EXCLUSIVE b Exclusive ";
  EXPECT_TRUE(RemoveKeyword(" EXCLUSIVE", s));
  EXPECT_EQ(s, "a b");
  s = "  x  ";
  EXPECT_FALSE(RemoveKeyword("", s));
  EXPECT_EQ(s, "x");
}

TEST_F(Utils, NumberTexts) {
  Engine().decimalChar = ',';
  std::string s = "$ -1.234,5";
  CleanNumberText(s);
  EXPECT_EQ(s, "-1234.5");
  EXPECT_EQ(TextToInt("1.234,9"), 1234);
  EXPECT_DOUBLE_EQ(static_cast<double>(TextToReal(" -,5")), -0.5);
  EXPECT_EQ(RealToText(1.5L, 8, 2), "    1,50");
  Engine().decimalChar = '.';
  s = "1,234.50 EUR";
  CleanNumberText(s);
  EXPECT_EQ(s, "1234.50");
  s = "12.";
  CleanNumberText(s);
  EXPECT_EQ(s, "12");
  EXPECT_EQ(TextToSmallInt("99999"), 32767);
  EXPECT_EQ(TextToSmallInt("-99999"), -32768);
  EXPECT_EQ(TextToSmallInt(" +12x"), 12);
  EXPECT_EQ(TextToInt(""), 0);
  EXPECT_EQ(TextToInt("99999999999"), 2147483647);
  EXPECT_DOUBLE_EQ(static_cast<double>(TextToReal("")), 0.0);
  EXPECT_EQ(IntToText(-42, 5), "  -42");
  EXPECT_EQ(RealToText(2.0L, 1, 3), "2.000");
}

TEST_F(Utils, FileNames) {
  EXPECT_EQ(DefaultExtension("KUNDEN", "DBF"), "KUNDEN.DBF");
  EXPECT_EQ(DefaultExtension("KUNDEN.DAT", "DBF"), "KUNDEN.DAT");
  EXPECT_EQ(DefaultExtension("a.b/kunden ", "DBF"), "a.b/kunden.DBF");
  EXPECT_EQ(ForceExtension("dir/x.dbf", "DBT"), "dir/x.DBT");
  EXPECT_EQ(BareFileName("/a/b/c.dbf"), "c.dbf");
  EXPECT_EQ(BaseFileName("/a/b/c.dbf"), "c");
  EXPECT_EQ(FullPathName("/a/b/c.dbf"), "/a/b/c");
  std::string folder, name, ext;
  FileSplit("a\\b:c/d.e.f", folder, name, ext);  // "\" and ":" are name characters
  EXPECT_EQ(folder, "a\\b:c/");
  EXPECT_EQ(name, "d.e");
  EXPECT_EQ(ext, ".f");
  EXPECT_EQ(ExpandPath("/a/./b/../c.dbf"), "/a/c.dbf");
}

TEST_F(Utils, DeleteByMaskSparesAFileOpenElsewhere) {
  ScratchDir dir;
  for (const char* n : {"t1.$$$", "t2.$$$", "t3.$$$", "keep.txt"}) test::WriteBytes(dir / n, "x");
  // A program holds t2 open as a table (share lock).
  int fd = ::open((dir / "t2.$$$").c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(SysLockRange(fd, F_RDLCK, kShareLockByte, 1), 0);
  DeleteByMask(dir / "*.$$$");
  EXPECT_EQ(TzCurrentError(), 5);
  EXPECT_EQ(TzTakeLastErrorText(), "1 Datei(en) mit Namen wie " + (dir / "*.$$$"));
  EXPECT_FALSE(FileExistsTz(dir / "t1.$$$"));
  EXPECT_TRUE(FileExistsTz(dir / "t2.$$$"));
  EXPECT_FALSE(FileExistsTz(dir / "t3.$$$"));
  EXPECT_TRUE(FileExistsTz(dir / "keep.txt"));
  ASSERT_EQ(Engine().undeletableFiles.size(), 1u);
  EXPECT_EQ(Engine().undeletableFiles[0], "t2.$$$");
  ::close(fd);
  DeleteByMask(dir / "T2.$$$");  // no wildcard, no such name
  EXPECT_EQ(TzCurrentError(), 2);
  DeleteByMask(dir / "*.$$$");
  EXPECT_EQ(TzCurrentError(), 0);
  EXPECT_FALSE(FileExistsTz(dir / "t2.$$$"));
}

TEST_F(Utils, TemporaryNamesAndMachineFacts) {
  std::string a = UniqueFilename(), b = UniqueFilename();
  EXPECT_NE(a, b);
  EXPECT_EQ(BareFileName(a).substr(0, 3), "TZP");
  EXPECT_TRUE(FileExistsTz(a));
  std::remove(a.c_str());
  std::remove(b.c_str());
  InitSystemInfo();
  EXPECT_GT(Engine().physicalMemoryKB, 0);
  EXPECT_NE(Engine().systemVersion.find('.'), std::string::npos);
  EXPECT_GT(DiskFreeKB("/tmp"), 0);
  EXPECT_EQ(DiskFreeKB("/no/such/folder"), 2147483647);
  EXPECT_EQ(MemoryInfo(2), (MemoryInfo(0) + 512 * 1024) / (1024 * 1024));
}

CLOCK_TEST_F(Utils, FileDatesAndSearch) {
  ScratchDir dir;
  const auto day = [] {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return tm.tm_yday;
  };
  const int before = day();
  test::WriteBytes(dir / "A.dbf", "x");
  test::WriteBytes(dir / "b.DBF", "y");
  const bool today = FileChangedToday(dir / "A.dbf");
  if (day() == before) {  // unless midnight passed meanwhile
    EXPECT_TRUE(today);
  }
  EXPECT_EQ(FileDateOf(dir / "none"), 0u);
  EXPECT_EQ(Engine().lastFindResult, 2);
  TzSearchRec rec;
  std::vector<std::string> found;
  for (int r = TzFindFirst(dir / "*.dbf", 32, rec); r == 0; r = TzFindNext(rec)) found.push_back(rec.name);
  EXPECT_EQ(found, (std::vector<std::string>{"A.dbf", "b.DBF"}));
  EXPECT_EQ(Engine().lastFindResult, 18);
}

TEST_F(Utils, ProgressBarEmptiesAndRefills) {
  auto cb = std::make_shared<HeadlessTzCallback>();
  SetTzCallback(cb);
  {
    TzProgress100 p("Appending...");
    EXPECT_EQ(p.Bar(), std::string(100, '|'));
    for (int i = 0; i < 100; ++i) p.Step();
    EXPECT_EQ(p.Bar(), "");
    EXPECT_EQ(cb->events.back().kind, "pump");
    EXPECT_EQ(cb->events[cb->events.size() - 2].text, "");
    p.Step();
    EXPECT_EQ(p.Bar(), std::string(100, '|'));
    EXPECT_EQ(p.Caption(), "Appending...");
  }
  EXPECT_EQ(cb->events.back().kind, "close");
  TzMsg m;
  m.ShowText("eins");
  m.ShowText("");
  EXPECT_EQ(m.Text(), "eins");
}

}  // namespace
}  // namespace zeb::xbase
