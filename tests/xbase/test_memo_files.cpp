// Memo files: the three layouts as written and read, opening and locking,
// lines and the text stream, and the free chain of the dBASE IV layout.
#include <fcntl.h>
#include <unistd.h>

#include "support_memo_checker.h"
#include "test_memo_support.h"

namespace zeb::xbase {
namespace {

using test::MemoTest;
using test::ReadBytes;
using test::U32At;
using test::WriteBytes;

class MemoFiles : public MemoTest {};

TEST_F(MemoFiles, Dbase3FreshFileAppendsAndReads) {
  const std::string path = test::MakeMemoTable(dir, "t3.dbf", 0x83);
  const std::string dbt = dir / "t3.dbt";
  std::string fresh = ReadBytes(dbt);
  ASSERT_EQ(fresh.size(), 513u);
  EXPECT_EQ(fresh[0], 1);
  EXPECT_EQ(fresh[512], 0x1A);
  Open(path);
  EXPECT_EQ(AddMemo("  \t "), 0);  // empty after trimming: nothing written
  EXPECT_EQ(ReadBytes(dbt), fresh);
  ASSERT_EQ(AddMemo("Hallo  \r\n"), 1);
  std::string b = ReadBytes(dbt);
  ASSERT_EQ(b.size(), 1024u);
  EXPECT_EQ(b.substr(512, 8), std::string("Hallo\x1A\x1A\0", 8));
  EXPECT_EQ(U32At(b, 0), 2u);
  // Longer than a unit: whole units, end marks, zero padding.
  std::string longText;
  for (int i = 0; i < 70; ++i) longText += "Zeile " + std::to_string(i) + " ";
  longText.pop_back();
  ASSERT_GT(longText.size(), 512u);
  ASSERT_EQ(AddMemo(longText), 2);
  b = ReadBytes(dbt);
  EXPECT_EQ(b.size(), 2048u);
  EXPECT_EQ(b.substr(1024, longText.size() + 2), longText + "\x1A\x1A");
  EXPECT_EQ(U32At(b, 0), 4u);
  EXPECT_EQ(test::ReadBlob(2), longText);
  EXPECT_EQ(test::ReadBlob(1), "Hallo");
}

TEST_F(MemoFiles, Dbase4AndFoxProAppends) {
  const std::string path4 = test::MakeMemoTable(dir, "t4.dbf", 0x8B);
  EXPECT_EQ(ReadBytes(dir / "t4.dbt").size(), 24u);
  Open(path4);
  ASSERT_EQ(AddMemo("abc"), 1);
  std::string b = ReadBytes(dir / "t4.dbt");
  ASSERT_EQ(b.size(), 512u + 8 + 3);
  EXPECT_EQ(b.substr(8, 3), std::string("t4\0", 3));
  EXPECT_EQ(b.substr(512, 11), std::string("\xFF\xFF\x08\x00\x0B\x00\x00\x00" "abc", 11));
  EXPECT_EQ(U32At(b, 0), 2u);  // the file's block count
  ASSERT_EQ(AddMemo("de"), 2);  // the next append pads first
  EXPECT_EQ(ReadBytes(dir / "t4.dbt").size(), 1024u + 10);
  CloseArea();

  const std::string pathF = test::MakeMemoTable(dir, "tf.dbf", 0xF5, 64);
  b = ReadBytes(dir / "tf.fpt");
  ASSERT_EQ(b.size(), 512u);
  EXPECT_EQ(U32At(b, 0, true), 8u);
  EXPECT_EQ(b.substr(6, 2), std::string("\0\x40", 2));
  Open(pathF);
  ASSERT_EQ(AddMemo("xyz"), 8);
  b = ReadBytes(dir / "tf.fpt");
  EXPECT_EQ(b.substr(512, 11), std::string("\0\0\0\x01\0\0\0\x03xyz", 11));
  EXPECT_EQ(U32At(b, 0, true), 9u);
  EXPECT_EQ(test::ReadMemoText(8), "xyz");
}

TEST_F(MemoFiles, BlockSizesAsStored) {
  auto sizeOf = [&](const std::string& bytes, std::uint8_t type, bool& fox) {
    const std::string f = dir / "h.bin";
    WriteBytes(f, bytes);
    int fd = ::open(f.c_str(), O_RDONLY);
    std::uint16_t bs = GetMemoBlockSize(fd, type, fox);
    ::close(fd);
    return bs;
  };
  bool fox = false;
  EXPECT_EQ(sizeOf(std::string("\0\0\0\x08\0\0\0\x40", 8), 0xF5, fox), 64);
  EXPECT_TRUE(fox);
  EXPECT_EQ(sizeOf(std::string("\0\0\0\x08\0\0", 6), 0xF5, fox), 64);  // short header
  EXPECT_EQ(sizeOf(std::string("\0\0\0\x08\0\0\x02\0", 8), 0xF5, fox), 512);
  std::string iv(24, '\0');
  iv[18] = 2, iv[19] = 1, iv[20] = 0, iv[21] = 1;  // 256
  EXPECT_EQ(sizeOf(iv, 0x8B, fox), 256);
  EXPECT_FALSE(fox);
  iv[18] = 0;
  EXPECT_EQ(sizeOf(iv, 0x8B, fox), 512);  // not 02 01
  iv[18] = 2, iv[21] = 0;
  EXPECT_EQ(sizeOf(iv, 0x8B, fox), 512);  // stored 0
  EXPECT_EQ(sizeOf(iv.substr(0, 20), 0x8C, fox), 512);
  EXPECT_EQ(sizeOf(iv, 0x83, fox), 512);
}

TEST_F(MemoFiles, Dbase3FileKeepsBlockHeadedDataAndByteThree) {
  const std::string path = test::MakeMemoTable(dir, "b3.dbf", 0x83);
  std::string b = ReadBytes(dir / "b3.dbt");
  b.resize(512);
  b += std::string("\xFF\xFF\x08\x00\x0E\x00\x00\x00" "a\x1A" "b\x03" "cd", 14);
  b.resize(1024, '\0');
  b += std::string("x\x03y\x1A\x1A", 5);
  WriteBytes(dir / "b3.dbt", b);
  Open(path);
  EXPECT_EQ(test::ReadBlob(1), std::string("a\x1A" "b\x03" "cd", 6));
  EXPECT_EQ(test::ReadMemoText(1), std::string("a\x1A" "b\x03" "cd", 6));
  EXPECT_EQ(test::ReadMemoText(2), std::string("x\x03y", 3));  // byte 3 is data
}

TEST_F(MemoFiles, OpenFailuresAndChecks) {
  const std::string path = test::MakeMemoTable(dir, "o.dbf", 0x8B);
  Open(path);
  EXPECT_EQ(OpenMemofile(path), 1007);
  EXPECT_NE(LastText().find("o.dbt [USE]"), std::string::npos);
  CloseArea();
  EXPECT_EQ(GetMemo(1), false);  // no table
  EXPECT_EQ(TzCurrentError(), 215);
  ::unlink((dir / "o.dbt").c_str());
  USE(path + " EXCLUSIVE");
  EXPECT_EQ(TzCurrentError(), 2);
  EXPECT_EQ(CurrentWorkArea(), nullptr);  // the area is closed again
  // Without the memo unit the table opens without its memo file.
  DoneMemoUnit();
  USE(path + " EXCLUSIVE");
  ASSERT_EQ(TzCurrentError(), 0);
  EXPECT_EQ(AddMemo("x"), 0);
  EXPECT_EQ(TzCurrentError(), 1019);
}

TEST_F(MemoFiles, RecreatedFileKeepsTheTablesLayout) {
  const std::string path = test::MakeMemoTable(dir, "r.dbf", 0x83);
  Open(path);
  ASSERT_GT(AddMemo("weg"), 0);
  ReCreateMemofile(MemoPath());  // the default memo type is 0x8B
  ASSERT_EQ(TzCurrentError(), 0) << LastText();
  EXPECT_EQ(ReadBytes(dir / "r.dbt").size(), 513u);
  EXPECT_EQ(AddMemo("neu"), 1);
}

TEST_F(MemoFiles, FiltersSeeDataOnly) {
  auto flip = [](char* p, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) p[i] = static_cast<char>(p[i] ^ 0x5A);
  };
  SetMemoFilters(flip, flip);
  for (std::uint8_t v : {std::uint8_t{0x83}, std::uint8_t{0x8B}, std::uint8_t{0xF5}}) {
    SCOPED_TRACE(static_cast<int>(v));
    const std::string path = test::MakeMemoTable(dir, "x" + std::to_string(v) + ".dbf", v, 64);
    Open(path);
    const std::int32_t a = AddMemo("geheim");
    const std::int32_t b = test::WriteLines({"zeile"});
    const std::int32_t c = test::WriteBlob(std::string("\x1A\0z", 3));
    const std::string raw = ReadBytes(MemoPath());
    EXPECT_EQ(raw.find("geheim"), std::string::npos);
    EXPECT_EQ(test::ReadMemoText(a), "geheim");
    EXPECT_EQ(test::ReadMemoText(b), "zeile\r\n");
    EXPECT_EQ(test::ReadBlob(c), std::string("\x1A\0z", 3));
    CloseArea();
  }
}

TEST_F(MemoFiles, ExtensionFollowsVersionByteAndCase) {
  const std::string path = test::MakeMemoTable(dir, "Up.DBF", 0xF5);
  EXPECT_TRUE(FileExistsTz(dir / "Up.FPT"));
  Open(path);
  EXPECT_EQ(MemoPath(), dir / "Up.FPT");
  CloseArea();
  ::rename((dir / "Up.FPT").c_str(), (dir / "up.fpt").c_str());
  Open(path);
  EXPECT_EQ(MemoPath(), dir / "up.fpt");
}

TEST_F(MemoFiles, LockByteGuardsSharedWrites) {
  const std::string path = test::MakeMemoTable(dir, "l.dbf", 0x8B);
  Open(path, "");
  Select(2);
  USE(path + " ALIAS SECOND");
  ASSERT_EQ(TzCurrentError(), 0);
  SelectArea(1);
  ASSERT_TRUE(LockMemofile());
  SelectArea(2);
  EXPECT_EQ(AddMemo("blocked"), 0);
  EXPECT_EQ(TzCurrentError(), 1017);
  SelectArea(1);
  EXPECT_TRUE(UnlockMemofile());
  SelectArea(2);
  EXPECT_EQ(AddMemo("now"), 1);
  // Without the shared mode switch nothing is locked.
  SetSharedMode(false);
  SelectArea(1);
  EXPECT_TRUE(LockMemofile());
  SelectArea(2);
  EXPECT_EQ(AddMemo("free"), 2);
}

TEST_F(MemoFiles, LinesWrapAndJoinAgain) {
  const std::string path = test::MakeMemoTable(dir, "w.dbf", 0x83);
  Open(path);
  std::string longLine;
  while (longLine.size() < 600) longLine += "Wort" + std::to_string(longLine.size()) + "  ";
  longLine += "Ende";
  std::string text = "kurz\r\n" + longLine + "\r\n" + std::string(300, 'x') + "\r\nsoft\x8D\nend";
  const std::int32_t block = AddMemo(text);
  ASSERT_GT(block, 0);
  ASSERT_TRUE(GetMemo(block));
  MemoLineTable& t = MemoLines();
  for (int i = 1; i <= t.count; ++i) EXPECT_LE(t.lines[static_cast<std::size_t>(i)].size(), 253u) << i;
  EXPECT_EQ(t.flags[1], 13);
  EXPECT_EQ(t.lines[2].back(), ' ');  // cut after a blank
  std::int32_t ref = block;
  MemoTextStream s;
  ASSERT_TRUE(s.Assign(ref));
  ASSERT_EQ(s.OpenInput(), 0);
  std::vector<std::string> lines;
  std::string line;
  while (s.ReadLine(line)) lines.push_back(line);
  s.Close();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[1], longLine);
  EXPECT_EQ(lines[2], std::string(300, 'x'));
  EXPECT_EQ(lines[3], "softend");  // a soft end joins like a wrap
  // Appending makes every line end hard.
  ASSERT_EQ(s.OpenAppend(), 0);
  ASSERT_EQ(s.WriteLine("neu"), 0);
  ASSERT_EQ(s.Close(), 0);
  ASSERT_NE(ref, block);
  ASSERT_TRUE(GetMemo(ref));
  EXPECT_EQ(MemoLines().flags[4], 13);  // "soft" now ends hard
  EXPECT_EQ(test::ReadBlob(ref).substr(0, 6), "kurz\r\n");
}

TEST_F(MemoFiles, LineLimitsAndBadAddresses) {
  const std::string path = test::MakeMemoTable(dir, "n.dbf", 0x8B);
  Open(path);
  std::string text;
  for (int i = 1; i <= 1100; ++i) text += std::to_string(i) + "\r\n";
  const std::int32_t block = AddMemo(text);
  ASSERT_TRUE(GetMemo(block));
  EXPECT_EQ(MemoLines().count, 1024);
  EXPECT_EQ(MemoLines().lines[1024], "1024");
  ASSERT_TRUE(GetMemo(block, 3));
  EXPECT_EQ(MemoLines().count, 3);
  ASSERT_TRUE(GetMemo(0));
  EXPECT_EQ(MemoLines().count, 1);
  EXPECT_FALSE(GetMemo(1000));
  EXPECT_EQ(TzCurrentError(), 1003);
  EXPECT_NE(LastText().find("Record # "), std::string::npos);
  EXPECT_EQ(CreateBlobDescriptor(false, 1000, 1), 0);
  EXPECT_EQ(TzCurrentError(), 1003);
  // More than 1024 lines cannot be written.
  std::int32_t ref = 0;
  MemoTextStream s;
  ASSERT_TRUE(s.Assign(ref));
  ASSERT_EQ(s.OpenOutput(), 0);
  int err = 0;
  for (int i = 0; i < 1100 && err == 0; ++i) err = s.WriteLine("x");
  EXPECT_EQ(err, 101);
}

TEST_F(MemoFiles, AppendStreamKeepsFittingGroup) {
  const std::string path = test::MakeMemoTable(dir, "g.dbf", 0x8B);
  Open(path);
  const std::int32_t first = test::WriteLines({"eins", "zwei"});
  ASSERT_EQ(first, 1);
  std::int32_t ref = first;
  MemoTextStream s;
  ASSERT_TRUE(s.Assign(ref));
  ASSERT_EQ(s.OpenAppend(), 0);
  s.WriteLine("drei");
  ASSERT_EQ(s.Close(), 0);
  EXPECT_EQ(ref, first);  // still fits its group
  EXPECT_EQ(test::ReadBlob(ref), "eins\r\nzwei\r\ndrei\r\n");
  ASSERT_TRUE(s.Assign(ref));
  ASSERT_EQ(s.OpenAppend(), 0);
  s.WriteLine(std::string(600, 'z'));
  ASSERT_EQ(s.Close(), 0);
  EXPECT_NE(ref, first);  // grown: moved
  const std::int32_t grown = ref;
  ASSERT_TRUE(s.Assign(ref));
  ASSERT_EQ(s.OpenOutput(), 0);
  s.WriteLine("neu");
  ASSERT_EQ(s.Close(), 0);
  EXPECT_NE(ref, grown);  // output always writes a new memo
  EXPECT_EQ(test::ReadMemoText(ref), "neu\r\n");
  ASSERT_TRUE(s.Assign(ref));
  ASSERT_EQ(s.OpenOutput(), 0);
  ASSERT_EQ(s.Close(), 0);
  EXPECT_EQ(ref, 0);  // an empty memo
  auto rep = test::CheckDbase4Memo(ReadBytes(MemoPath()), {static_cast<std::uint32_t>(grown)});
  EXPECT_TRUE(rep.ok()) << rep.Text();
}

// dBASE IV free chain: what the chain hands out is free, what a walk meets
// that is not a free element is left alone.
class FreeChain : public MemoTest {
 protected:
  void Build(std::uint16_t blockSize, int memos) {
    path = test::MakeMemoTable(dir, "c.dbf", 0x8B, blockSize);
    Open(path);
    refs.clear();
    texts.clear();
    for (int i = 0; i < memos; ++i) {
      std::string t = "memo " + std::to_string(i) + std::string(static_cast<std::size_t>(i * 37 % 150), 'a' + i % 26);
      refs.push_back(static_cast<std::uint32_t>(test::WriteLines({t})));
      texts.push_back(t + "\r\n");
    }
    // Gaps: rewrite every third memo larger (old groups abandoned).
    for (int i = 0; i < memos; i += 3) {
      std::string t(static_cast<std::size_t>(200 + i), 'G');
      refs[static_cast<std::size_t>(i)] = static_cast<std::uint32_t>(test::WriteLines({t}, static_cast<std::int32_t>(refs[static_cast<std::size_t>(i)])));
      texts[static_cast<std::size_t>(i)] = t + "\r\n";
    }
    CloseArea();
  }
  void Reopen() { Open(path); }
  void Verify() {
    auto rep = test::CheckDbase4Memo(ReadBytes(dir / "c.dbt"), refs);
    ASSERT_TRUE(rep.ok()) << rep.Text();
    for (std::size_t i = 0; i < refs.size(); ++i) EXPECT_EQ(rep.memos[refs[i]], texts[i]) << i;
  }
  std::string path;
  std::vector<std::uint32_t> refs;
  std::vector<std::string> texts;
};

TEST_F(FreeChain, FittingElementIsTakenAndUnlinked) {
  Build(64, 12);
  std::string b = ReadBytes(dir / "c.dbt");
  test::AddFreeChain(b, refs, 7);
  WriteBytes(dir / "c.dbt", b);
  auto before = test::CheckDbase4Memo(b, refs);
  ASSERT_TRUE(before.ok()) << before.Text();
  ASSERT_FALSE(before.chain.empty());
  const auto [head, count] = before.chain.front();
  Reopen();
  // Exactly the head's size: taken whole, the header points past it.
  const std::int32_t got = AllocBlockGroup(static_cast<std::int32_t>(count), 0, "test");
  EXPECT_EQ(got, static_cast<std::int32_t>(head));
  std::string after = ReadBytes(dir / "c.dbt");
  EXPECT_EQ(U32At(after, 0), before.chain.size() > 1 ? before.chain[1].first : before.fileBlocks);
}

TEST_F(FreeChain, ShrinkFreesTailIntoChainAndKeepsBlock) {
  Build(64, 10);
  std::string b = ReadBytes(dir / "c.dbt");
  test::AddFreeChain(b, refs, 3);
  WriteBytes(dir / "c.dbt", b);
  Reopen();
  const std::int32_t big = static_cast<std::int32_t>(refs[0]);
  const std::int32_t kept = test::WriteLines({"klein"}, big);
  EXPECT_EQ(kept, big);
  texts[0] = "klein\r\n";
  Verify();
  // A freed group enters a chain at its place.
  b = ReadBytes(dir / "c.dbt");
  test::AddFreeChain(b, refs, 5);
  WriteBytes(dir / "c.dbt", b);
  const std::uint32_t gone = refs[4];
  const std::size_t stored = U32At(b, gone * 64 + 4);
  ASSERT_TRUE(FreeBlockGroup(static_cast<std::int32_t>(gone), static_cast<std::int64_t>(stored)));
  refs.erase(refs.begin() + 4);
  texts.erase(texts.begin() + 4);
  Verify();
  auto rep = test::CheckDbase4Memo(ReadBytes(dir / "c.dbt"), refs);
  bool found = false;
  for (auto [blk, n] : rep.chain) found = found || (blk == gone && n == (stored + 63) / 64);
  EXPECT_TRUE(found);
}

TEST_F(FreeChain, DamagedChainsNeverHandOutUsedBlocks) {
  for (int kind = 0; kind < 4; ++kind) {
    SCOPED_TRACE(kind);
    Build(kind % 2 ? 512 : 64, 9);
    std::string b = ReadBytes(dir / "c.dbt");
    test::AddDamagedChain(b, refs, kind);
    WriteBytes(dir / "c.dbt", b);
    Reopen();
    for (int i = 0; i < 4; ++i) {
      std::string t(static_cast<std::size_t>(10 + i * 90), static_cast<char>('p' + i));
      refs.push_back(static_cast<std::uint32_t>(test::WriteLines({t})));
      texts.push_back(t + "\r\n");
      ASSERT_EQ(TzCurrentError(), 0) << LastText();
    }
    // The memos of the table, rewritten smaller (tails freed) and larger.
    refs[1] = static_cast<std::uint32_t>(test::WriteLines({"s"}, static_cast<std::int32_t>(refs[1])));
    texts[1] = "s\r\n";
    refs[2] = static_cast<std::uint32_t>(test::WriteLines({std::string(900, 'L')}, static_cast<std::int32_t>(refs[2])));
    texts[2] = std::string(900, 'L') + "\r\n";
    CloseArea();
    Verify();
  }
}

TEST_F(FreeChain, LongChainIsAbandonedAtTheLimit) {
  Build(64, 2);
  std::string b = ReadBytes(dir / "c.dbt");
  const std::size_t blocks = b.size() / 64;
  // 150 one-block elements after the memos.
  b.resize((blocks + 150) * 64, '\0');
  for (std::size_t i = 0; i < 150; ++i) {
    const std::size_t at = (blocks + i) * 64;
    const std::uint32_t next = static_cast<std::uint32_t>(blocks + i + 1);
    for (int k = 0; k < 4; ++k) b[at + static_cast<std::size_t>(k)] = static_cast<char>(next >> (8 * k));
    b[at + 4] = 1;
  }
  for (int k = 0; k < 4; ++k) b[static_cast<std::size_t>(k)] = static_cast<char>(blocks >> (8 * k));
  WriteBytes(dir / "c.dbt", b);
  Reopen();
  const std::int32_t got = AllocBlockGroup(3, 0, "test");
  EXPECT_EQ(got, static_cast<std::int32_t>(blocks + 150));  // the end of the file
  EXPECT_EQ(U32At(ReadBytes(dir / "c.dbt"), 0), blocks + 153);
}

}  // namespace
}  // namespace zeb::xbase
