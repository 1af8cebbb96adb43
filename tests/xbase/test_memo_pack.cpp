// Memo copy between tables (AppendFrom) and memo pack (PACK), with
// failures injected into the pack.
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "test_memo_support.h"
#include "xbase/core/ansi_literal.h"

namespace zeb::xbase {
namespace {

using test::MemoTest;
using test::ReadBytes;
using test::U32At;
using test::WriteBytes;

bool HaveDbfread() {
  std::string out;
  return test::RunCommand("/usr/bin/python3 -c 'import dbfread' 2>&1", out) == 0;
}

class MemoCopy : public MemoTest {};

TEST_F(MemoCopy, LayoutsConvertOnAppendFrom) {
  // Source dBASE IV: a text and a memo with a zero byte.
  const std::string src = test::MakeMemoTable(dir, "src4.dbf", 0x8B);
  Open(src);
  test::AppendRow({"text"});
  test::SetNote(1, AddMemo("nur Text"));
  test::AppendRow({"zero"});
  test::SetNote(2, test::WriteBlob(std::string("a\0b", 3)));
  CloseArea();
  // Into dBASE III: text stays text, the zero byte makes it block-headed.
  const std::string d3 = test::MakeMemoTable(dir, "d3.dbf", 0x83);
  Open(d3);
  AppendFrom(src);
  ASSERT_EQ(TzCurrentError(), 0) << LastText();
  ASSERT_EQ(RecCount(), 2);
  const std::int32_t t = test::NoteOf(1);
  const std::int32_t z = test::NoteOf(2);
  EXPECT_EQ(t, 1);
  EXPECT_LT(z, 0);
  std::string b = ReadBytes(dir / "d3.dbt");
  EXPECT_EQ(b.substr(512, 10), "nur Text\x1A\x1A");
  EXPECT_EQ(b.substr(static_cast<std::size_t>(-z) * 512, 11), std::string("\xFF\xFF\x08\x00\x0B\0\0\0a\0b", 11));
  EXPECT_EQ(test::ReadBlob(z), std::string("a\0b", 3));
  CloseArea();
  // dBASE III text (with a zero byte inside) into FoxPro: cut at the zero,
  // a block header with the length, no end mark.
  std::string raw = ReadBytes(dir / "d3.dbt");
  raw.replace(512 + 3, 1, std::string(1, '\0'));  // "nur\0Text"
  test::WriteBytes(dir / "d3.dbt", raw);
  const std::string df = test::MakeMemoTable(dir, "df.dbf", 0xF5, 64);
  Open(df);
  AppendFrom(d3);
  ASSERT_EQ(TzCurrentError(), 0) << LastText();
  b = ReadBytes(dir / "df.fpt");
  const auto f1 = static_cast<std::size_t>(test::NoteOf(1));
  EXPECT_EQ(b.substr(f1 * 64, 11), std::string("\0\0\0\x01\0\0\0\x03nur", 11));
  EXPECT_EQ(test::ReadBlob(test::NoteOf(2)), std::string("a\0b", 3));
}

TEST_F(MemoCopy, CharacterFieldBecomesMemoInCodePage850) {
  const std::string src = dir / "chars.dbf";
  test::CreateTable(src, {test::Fd("NAME", 'C', 10), test::Fd("NOTE", 'C', 20)});
  Select(2);
  USE(src + " EXCLUSIVE");
  test::AppendRow({"a", "Müller   "_ansi.str()});
  CloseArea();
  const std::string dest = test::MakeMemoTable(dir, "dest.dbf", 0x8B);
  Open(dest);
  AppendFrom(src);
  ASSERT_EQ(TzCurrentError(), 0) << LastText();
  EXPECT_EQ(test::ReadBlob(test::NoteOf(1)), "Müller"_oem.str());
  std::string text;
  ASSERT_TRUE(MemoHooks().AssignMemo(test::NoteOf(1), text));
  EXPECT_EQ(text, "Müller"_ansi.str());
}

// A table whose memo file has abandoned blocks, a deleted record, a memo
// shared by two records.
class MemoPack : public MemoTest, public ::testing::WithParamInterface<std::uint8_t> {
 protected:
  std::string Ext() const { return GetParam() == 0xF5 ? "fpt" : "dbt"; }
  std::string Build(std::vector<std::string>& live) {
    const std::string path = test::MakeMemoTable(dir, "p.dbf", GetParam(), 64);
    Open(path);
    for (int r = 1; r <= 6; ++r) {
      test::AppendRow({"R" + std::to_string(r)});
      test::SetNote(r, test::WriteLines({"erste Fassung " + std::to_string(r), std::string(300, 'x')}));
    }
    test::SetNote(2, test::WriteLines({"zweite Fassung", std::string(700, 'y')}, test::NoteOf(2)));
    test::SetNote(5, test::NoteOf(4));  // shared
    GO(3);
    DeleteRec();
    test::SetNote(6, 0);
    live.clear();
    for (int r : {1, 2, 4, 5}) live.push_back(test::ReadMemoText(test::NoteOf(r)));
    live.push_back("");
    return path;
  }
};

TEST_P(MemoPack, KeepsLiveMemosAndShrinks) {
  std::vector<std::string> live;
  const std::string path = Build(live);
  const std::string memo = dir / ("p." + Ext());
  const std::size_t before = ReadBytes(memo).size();
  ASSERT_TRUE(Pack());
  ASSERT_EQ(TzCurrentError(), 0) << LastText();
  ASSERT_EQ(RecCount(), 5);
  const std::string b = ReadBytes(memo);
  EXPECT_LT(b.size(), before);
  const std::size_t bs = GetParam() == 0x83 ? 512 : 64;
  EXPECT_EQ(U32At(b, 0, GetParam() == 0xF5), (b.size() + bs - 1) / bs);
  for (int r = 1; r <= 5; ++r) EXPECT_EQ(test::ReadMemoText(test::NoteOf(r)), live[static_cast<std::size_t>(r - 1)]) << r;
  EXPECT_NE(test::NoteOf(3), test::NoteOf(4));  // the shared memo written twice
  EXPECT_EQ(test::NoteOf(5), 0);
  EXPECT_FALSE(FileExistsTz(dir / "p.$$$"));
  CloseArea();
  if (!HaveDbfread() || GetParam() == 0x8B) return;  // dbfread reads dBASE IV with 512-byte blocks only
  std::string out;
  ASSERT_EQ(test::RunPython(dir,
                            "import dbfread\n"
                            "for r in dbfread.DBF('" + path + "', encoding='cp850'):\n"
                            "    print((r['NOTE'] or '').encode('cp850').hex())\n",
                            out),
            0)
      << out;
  std::string expected;
  for (const auto& l : live) expected += test::Hex(l) + "\n";
  EXPECT_EQ(out, expected);
}

// A table and memo file the user reaches through links of their own (a
// shared folder): the pack replaces the files the links point to and the
// links stay; a pack that fails leaves both files as they were.
TEST_P(MemoPack, LinkedTableAndMemoFileStayLinked) {
  namespace fs = std::filesystem;
  std::vector<std::string> live;
  const std::string path = Build(live);
  CloseArea();
  const std::string memo = dir / ("p." + Ext());
  const fs::path shared = fs::path(dir.path()) / "geteilt";
  fs::create_directory(shared);
  for (const std::string& f : {path, memo}) {
    const fs::path to = shared / fs::path(f).filename();
    fs::rename(f, to);
    fs::create_symlink(to, f);
  }
  const std::string table0 = ReadBytes(path), memo0 = ReadBytes(memo);
  const auto linked = [&] { return fs::is_symlink(path) && fs::is_symlink(memo); };
  const auto files = [](const fs::path& folder) {
    std::size_t n = 0;
    for (const auto& e : fs::directory_iterator(folder)) n += fs::is_regular_file(fs::symlink_status(e.path())) ? 1 : 0;
    return n;
  };
  Open(path, "");
  std::size_t calls = 0;
  SetFileFault([&](FileStep s, std::size_t&) { return calls++ == 3 && s == FileStep::Write ? ENOSPC : 0; });
  const bool failed = !Pack();
  SetFileFault({});
  ClearTzErrorState();
  EXPECT_TRUE(linked());
  if (failed) {
    EXPECT_TRUE(ReadBytes(path) == table0);
    EXPECT_TRUE(ReadBytes(memo) == memo0);
  }
  ASSERT_TRUE(Pack());
  ASSERT_EQ(TzCurrentError(), 0) << LastText();
  EXPECT_EQ(RecCount(), 5);
  for (int r = 1; r <= 5; ++r) EXPECT_EQ(test::ReadMemoText(test::NoteOf(r)), live[static_cast<std::size_t>(r - 1)]) << r;
  CloseArea();
  EXPECT_TRUE(linked());
  EXPECT_LT(ReadBytes(shared / fs::path(path).filename()).size(), table0.size());
  EXPECT_EQ(files(dir.path()), 0u);
  EXPECT_EQ(files(shared), 2u);
}

TEST_P(MemoPack, ReferenceOutsideTheFileIsCleared) {
  std::vector<std::string> live;
  Build(live);
  test::SetNote(6, 99999);
  // Record 6 is the packed table's record 5.
  ASSERT_TRUE(Pack());
  EXPECT_EQ(TzCurrentError(), 1003);
  EXPECT_NE(LastText().find("Record # 5"), std::string::npos);
  EXPECT_EQ(test::NoteOf(5), 0);
  EXPECT_EQ(test::ReadMemoText(test::NoteOf(1)), live[0]);
}

TEST_P(MemoPack, InjectedFailuresChangeNothing) {
  std::vector<std::string> live;
  const std::string path = Build(live);
  const std::string memo = dir / ("p." + Ext());
  for (const char* step : {"write", "rename"}) {
    SCOPED_TRACE(step);
    const std::string table = ReadBytes(path);
    const std::string memoBytes = ReadBytes(memo);
    int calls = 0;
    // The write fails after the file was created, the rename at once.
    const bool write = std::string_view(step) == "write";
    const int at = write ? 3 : 1;
    SetFileFault([&](FileStep s, std::size_t&) {
      return s == (write ? FileStep::Write : FileStep::Rename) && ++calls >= at ? ENOSPC : 0;
    });
    ClearWriteFailure();
    EXPECT_FALSE(Pack());
    SetFileFault({});
    // Told as a pack that changed nothing, on the table or its memo file.
    EXPECT_FALSE(Engine().packCommitted);
    EXPECT_FALSE(Engine().packMemoOnly);
    EXPECT_EQ(TzTakeLastErrorText(), "Fehler beim Packen von " + path + " [Pack]");
    const std::string refused = LastWriteFailure().file;
    EXPECT_TRUE(refused == path || refused == memo) << refused;
    EXPECT_EQ(LastWriteFailure().err, ENOSPC);
    EXPECT_EQ(ReadBytes(path), table);
    EXPECT_EQ(ReadBytes(memo), memoBytes);
    EXPECT_FALSE(FileExistsTz(dir / "p.$$$"));
    EXPECT_EQ(test::ReadMemoText(test::NoteOf(2)), live[1]);
  }
}

// Twelve records with memos, records 2, 5 and 9 marked, packed while each
// step of the pack in turn fails (every write whole and part-way, every
// flush and rename), on a file system with links and on one without: the
// table and its memo file are byte for byte as before (for another program
// that has the table open too), no copy is left, and the next pack gives
// the packed table and memo file whole.
TEST_P(MemoPack, EveryStepOfAPackFailingLeavesBothFilesAsTheyWere) {
  const std::string path = test::MakeMemoTable(dir, "w.dbf", GetParam(), 64);
  const std::string memo = dir / ("w." + Ext());
  const auto memoText = [](int r) { return "Memo-Satz " + std::to_string(r) + "\r\n" + std::string(40 + 9 * r, static_cast<char>('a' + r)) + "\r\n"; };
  Open(path);
  for (int r = 1; r <= 12; ++r) {
    test::AppendRow({"S" + std::to_string(r)});
    test::SetNote(r, test::WriteLines({"Memo-Satz " + std::to_string(r), std::string(40 + 9 * r, static_cast<char>('a' + r))}));
  }
  for (int r : {2, 5, 9}) GO(r), DeleteRec();
  CloseArea();
  const std::string table0 = ReadBytes(path), memo0 = ReadBytes(memo);
  // The records as the engine reads them: name, mark, memo.
  const auto contents = [&] {
    Open(path, "");
    std::string s;
    for (std::int32_t r = 1; r <= RecCount(); ++r) {
      GO(r);
      s += TzTrimRight(FieldAsString(1)) + (Deleted() ? "*" : "") + "=" + test::ReadMemoText(test::NoteOf(r)) + ";";
    }
    CloseArea();
    return s;
  };
  std::string before, packed;
  for (int r = 1; r <= 12; ++r) {
    const bool marked = r == 2 || r == 5 || r == 9;
    before += "S" + std::to_string(r) + (marked ? "*" : "") + "=" + memoText(r) + ";";
    if (!marked) packed += "S" + std::to_string(r) + "=" + memoText(r) + ";";
  }
  ASSERT_EQ(contents(), before);
  const auto restore = [&] {
    WriteBytes(path, table0);
    WriteBytes(memo, memo0);
  };
  // On a file system with links and on one without (every link refused).
  std::string table1, memo1;
  for (const bool links : {true, false}) {
    const auto linkRefused = [links](FileStep s) { return !links && s == FileStep::Link ? EPERM : 0; };
    // The steps of a whole pack.
    std::vector<std::pair<FileStep, std::size_t>> steps;
    restore();
    Open(path, "");
    SetFileFault([&](FileStep s, std::size_t& n) {
      if (const int err = linkRefused(s); err != 0) return err;
      steps.emplace_back(s, n);
      return 0;
    });
    ASSERT_TRUE(Pack());
    SetFileFault({});
    CloseArea();
    ASSERT_EQ(contents(), packed);
    if (links) table1 = ReadBytes(path), memo1 = ReadBytes(memo);
    ASSERT_TRUE(ReadBytes(path) == table1 && ReadBytes(memo) == memo1);
    ASSERT_GT(steps.size(), 20u);
    // The order a power cut leaves whole, written out (a run of writes as one
    // W): the packed memo file written and flushed, the table's copy written
    // and flushed, then the memo file as it was kept (a link, or a rename
    // without links), the packed memo file put in place, the table's copy last.
    std::string outline;
    for (const auto& [s, n] : steps)
      if (const char c = "WSLR"[static_cast<int>(s)]; c != 'W' || outline.empty() || outline.back() != 'W') outline += c;
    EXPECT_EQ(outline, links ? "WSWSLRR" : "WSWSRRR");
    int failures = 0;
    for (std::size_t k = 0; k < steps.size(); ++k) {
      for (const bool partWay : {false, true}) {
        // A refused link is the file system without links.
        if (steps[k].first == FileStep::Link) continue;
        if (partWay && (steps[k].first != FileStep::Write || steps[k].second < 2)) continue;
        SCOPED_TRACE(std::string(links ? "links, " : "no links, ") + "step " + std::to_string(k + 1) +
                     (partWay ? " part-way" : " whole"));
        restore();
        Open(path, "");
        // Another program's descriptor on the table.
        const int other = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        std::size_t calls = 0;
        SetFileFault([&](FileStep s, std::size_t& n) {
          if (const int err = linkRefused(s); err != 0) return err;
          if (calls++ != k) return 0;
          n = partWay ? n / 2 : 0;
          return s == FileStep::Write ? ENOSPC : EIO;
        });
        const bool ok = Pack();
        SetFileFault({});
        EXPECT_FALSE(ok);
        EXPECT_FALSE(Engine().packCommitted);
        EXPECT_FALSE(Engine().packMemoOnly);
        // The refused write is told on the table or the memo file, not a copy.
        const std::string refused = LastWriteFailure().file;
        EXPECT_TRUE(refused == path || refused == memo) << refused;
        EXPECT_NE(TzCurrentError(), 0);
        ClearTzErrorState();
        EXPECT_TRUE(ReadBytes(path) == table0);
        EXPECT_TRUE(ReadBytes(memo) == memo0);
        std::string seen(table0.size() + 1, '\0');
        seen.resize(static_cast<std::size_t>(std::max<ssize_t>(0, ::pread(other, seen.data(), seen.size(), 0))));
        EXPECT_TRUE(seen == table0);
        // The same area packs whole afterwards.
        EXPECT_EQ(RecCount(), 12);
        EXPECT_TRUE(Pack());
        CloseArea();
        ::close(other);
        EXPECT_TRUE(ReadBytes(path) == table1);
        EXPECT_TRUE(ReadBytes(memo) == memo1);
        std::size_t files = 0;
        for (const auto& e : std::filesystem::directory_iterator(dir.path())) files += e.is_regular_file() ? 1 : 0;
        EXPECT_EQ(files, 2u) << "a copy was left";
        ++failures;
      }
    }
    EXPECT_GT(failures, static_cast<int>(steps.size()));
  }
  EXPECT_EQ(contents(), packed);
}

INSTANTIATE_TEST_SUITE_P(Layouts, MemoPack, ::testing::Values(std::uint8_t{0x83}, std::uint8_t{0x8B}, std::uint8_t{0xF5}),
                         [](const auto& info) {
                           return info.param == 0x83 ? "Dbase3" : info.param == 0x8B ? "Dbase4" : "FoxPro";
                         });

}  // namespace
}  // namespace zeb::xbase
