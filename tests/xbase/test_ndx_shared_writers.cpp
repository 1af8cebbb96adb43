// Programs that share an indexed table change it behind each other's back:
// the side that kept the table open goes on reading and changing it as if
// it had seen every change, and many writers at once lose nothing. Each
// other program is a real process (fork); the indexes are checked by the
// test's own NDX reader and by Perl's XBase::Index.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <functional>
#include <map>
#include <random>

#include "other_program.h"
#include "test_ndx_support.h"
#include "xbase/memo/memo.h"

namespace zeb::xbase::test {
namespace {

bool HavePerlIndex() {
  std::string out;
  return RunCommand("perl -MXBase::Index -e 1 2>&1", out) == 0;
}

// (key, record) lines of an index as Perl's XBase::Index lists them.
std::string PerlListing(const ScratchDir& dir, const std::string& index) {
  const std::string script = dir / "list.pl";
  WriteBytes(script,
             "use strict; use XBase::Index;\n"
             "my $i = XBase::Index->new($ARGV[0]) or die XBase::Index->errstr;\n"
             "$i->prepare_select;\n"
             "while (my @d = $i->fetch) { $d[0] =~ s/ +$//; print \"$d[0]\\t$d[1]\\n\"; }\n");
  std::string out;
  if (RunCommand("perl " + ShellQuote(script) + " " + ShellQuote(index) + " 2>&1", out) != 0) return "perl failed: " + out.substr(0, 300);
  return out;
}

// Expected listing: entries sorted by key (numeric or text), then record.
std::string NumListing(std::vector<std::pair<long long, std::uint32_t>> v) {
  std::sort(v.begin(), v.end());
  std::string s;
  for (auto& [k, r] : v) s += std::to_string(k) + "\t" + std::to_string(r) + "\n";
  return s;
}
std::string TextListing(std::vector<std::pair<std::string, std::uint32_t>> v) {
  std::sort(v.begin(), v.end());
  std::string s;
  for (auto& [k, r] : v) s += k + "\t" + std::to_string(r) + "\n";
  return s;
}

// The lines of a listing sorted: the same entries whatever the order of
// equal keys (changed keys go in before their equals).
std::string SortedLines(const std::string& listing) {
  std::vector<std::string> lines;
  std::size_t p = 0;
  while (p < listing.size()) {
    std::size_t e = listing.find('\n', p);
    if (e == std::string::npos) e = listing.size();
    lines.push_back(listing.substr(p, e - p));
    p = e + 1;
  }
  std::sort(lines.begin(), lines.end());
  std::string s;
  for (auto& l : lines) s += l + "\n";
  return s;
}

// The checker's listing in the same form, with its problems first.
std::string CheckerListing(const std::string& index) {
  NdxReport rep = CheckNdxFile(index);
  std::string s = rep.Ok() ? "" : "problems: " + rep.Text() + "\n";
  for (const auto& e : rep.entries) {
    if (rep.numeric)
      s += std::to_string(static_cast<long long>(NdxKeyNumber(e.key)));
    else
      s += TzTrimRight(e.key);
    s += "\t" + std::to_string(e.record) + "\n";
  }
  return s;
}

// ------------------------------------------------------------ stale side

enum class Stale { Go, Replace, Skip, Find, DeleteRec };

struct StaleCase {
  const char* name;
  Stale action;
  int firstAppended;  // the other program appends CNT = first, first + step, ...
  int step;
};

void PrintTo(const StaleCase& c, std::ostream* os) { *os << c.name; }

class NdxStaleSide : public NdxTest, public ::testing::WithParamInterface<StaleCase> {};

constexpr int kRows = 40;
constexpr int kAppended = 100;

long long AppendedValue(const StaleCase& c, int i) { return c.firstAppended + static_cast<long long>(c.step) * i; }

TEST_P(NdxStaleSide, SeesTheOtherProgramsAppends) {
  const StaleCase& c = GetParam();
  // The list form of the index names cuts at blanks: names in the table's
  // folder.
  const std::string table = dir / "t.dbf", index = dir / "cnt.ndx";
  CreateTable(table, {Fd("NAME", 'C', 8), Fd("CNT", 'N', 8)});
  USE(table + " EXCLUSIVE");
  for (int i = 1; i <= kRows; ++i) AppendRow({"N" + std::to_string(i), std::to_string(i)});
  MakeIndexExpr("CNT", index);
  CloseArea();
  ASSERT_EQ(TzCurrentError(), 0) << Engine().lastErrorText;

  OtherProgram other([&]() {
    Select(1);
    USE(table);
    Set_Index_To("cnt.ndx");
    if (TzCurrentError() != 0) return 1;
    if (!ALock()) return 2;
    for (int i = 0; i < kAppended; ++i) {
      AppendRow({"B" + std::to_string(i), std::to_string(AppendedValue(c, i))});
      if (TzCurrentError() != 0) return 3;
    }
    Unlock();
    CloseArea();
    return TzCurrentError() == 0 ? 0 : 4;
  });

  // This program walks the table and stays on record 20.
  USE(table);
  Set_Index_To("cnt.ndx");
  ASSERT_EQ(TzCurrentError(), 0) << Engine().lastErrorText;
  GoTop();
  for (int i = 1; i < 20; ++i) SKIP();
  ASSERT_EQ(RecNo(), 20);

  ASSERT_EQ(other.Run(), 0);

  std::vector<std::pair<long long, std::uint32_t>> expected;
  for (int i = 1; i <= kRows; ++i) expected.push_back({i, static_cast<std::uint32_t>(i)});
  for (int i = 0; i < kAppended; ++i)
    expected.push_back({AppendedValue(c, i), static_cast<std::uint32_t>(kRows + 1 + i)});
  const bool above = c.step > 0;

  switch (c.action) {
    case Stale::Go:
      GO(1);
      ASSERT_EQ(TzCurrentError(), 0) << Engine().lastErrorText;
      EXPECT_EQ(BufferInteger(*CurrentWorkArea(), 2), 1);
      GO(kRows + kAppended);
      ASSERT_EQ(TzCurrentError(), 0) << Engine().lastErrorText;
      SKIP();
      EXPECT_EQ(TzCurrentError(), 0) << Engine().lastErrorText;
      if (above)
        EXPECT_TRUE(dEOF());
      else
        EXPECT_EQ(RecNo(), kRows + kAppended - 1);  // the keys run downwards
      break;
    case Stale::Replace:
      GO(1);
      ASSERT_TRUE(RLock());
      GO(1);
      SetField(2, "5000");
      Replace();
      ASSERT_EQ(TzCurrentError(), 0) << Engine().lastErrorText;
      Unlock();
      expected[0].first = 5000;
      break;
    case Stale::Skip: {
      // On from record 20 in key order, over the other program's records.
      std::vector<std::int32_t> seen;
      for (SKIP(); !dEOF(); SKIP()) {
        ASSERT_EQ(TzCurrentError(), 0) << Engine().lastErrorText;
        seen.push_back(RecNo());
      }
      std::vector<std::int32_t> want;
      for (int r = 21; r <= kRows; ++r) want.push_back(r);
      if (above)
        for (int i = 0; i < kAppended; ++i) want.push_back(kRows + 1 + i);
      EXPECT_EQ(seen, want);
      break;
    }
    case Stale::Find: {
      const long long k = AppendedValue(c, 50);
      EXPECT_TRUE(Find(std::to_string(k)));
      ASSERT_EQ(TzCurrentError(), 0) << Engine().lastErrorText;
      EXPECT_EQ(RecNo(), kRows + 51);
      SKIP();
      EXPECT_EQ(TzCurrentError(), 0) << Engine().lastErrorText;
      EXPECT_EQ(RecNo(), above ? kRows + 52 : kRows + 50);
      break;
    }
    case Stale::DeleteRec:
      SetIgnoreDel(true);
      ASSERT_TRUE(RLock());
      DeleteRec();
      ASSERT_EQ(TzCurrentError(), 0) << Engine().lastErrorText;
      Unlock();
      SKIP(-1);
      ASSERT_EQ(TzCurrentError(), 0) << Engine().lastErrorText;
      EXPECT_EQ(RecNo(), 19);
      SKIP();  // over the hidden record
      ASSERT_EQ(TzCurrentError(), 0) << Engine().lastErrorText;
      EXPECT_EQ(RecNo(), 21);
      SetIgnoreDel(false);
      break;
  }

  // The whole table in key order, every record once.
  std::vector<std::int32_t> order;
  for (GoTop(); !dEOF(); SKIP()) {
    ASSERT_EQ(TzCurrentError(), 0) << Engine().lastErrorText;
    order.push_back(RecNo());
  }
  std::vector<std::int32_t> want;
  auto sorted = expected;
  std::sort(sorted.begin(), sorted.end());
  for (auto& e : sorted) want.push_back(static_cast<std::int32_t>(e.second));
  EXPECT_EQ(order, want);
  CloseArea();

  const std::string listing = NumListing(expected);
  EXPECT_EQ(CheckerListing(index), listing);
  if (HavePerlIndex()) {
    EXPECT_EQ(PerlListing(dir, index), listing);
  }
}

INSTANTIATE_TEST_SUITE_P(
    BothDirections, NdxStaleSide,
    ::testing::Values(StaleCase{"GoAbove", Stale::Go, 100, 1}, StaleCase{"GoBelow", Stale::Go, -1, -1},
                      StaleCase{"ReplaceAbove", Stale::Replace, 100, 1},
                      StaleCase{"ReplaceBelow", Stale::Replace, -1, -1}, StaleCase{"SkipAbove", Stale::Skip, 100, 1},
                      StaleCase{"SkipBelow", Stale::Skip, -1, -1}, StaleCase{"FindAbove", Stale::Find, 100, 1},
                      StaleCase{"FindBelow", Stale::Find, -1, -1},
                      StaleCase{"DeleteRecAbove", Stale::DeleteRec, 100, 1},
                      StaleCase{"DeleteRecBelow", Stale::DeleteRec, -1, -1}),
    [](const ::testing::TestParamInfo<StaleCase>& i) { return std::string(i.param.name); });

// Another program rebuilds the index in place: the tree this program read
// is gone, and it must not go on with it.
class NdxRebuiltElsewhere : public NdxTest {};

TEST_F(NdxRebuiltElsewhere, StaleSideSeesTheNewTree) {
  // The list form of the index names cuts at blanks: names in the table's
  // folder.
  const std::string table = dir / "t.dbf", index = dir / "cnt.ndx";
  CreateTable(table, {Fd("NAME", 'C', 8), Fd("CNT", 'N', 8)});
  USE(table + " EXCLUSIVE");
  for (int i = 1; i <= kRows; ++i) AppendRow({"N" + std::to_string(i), std::to_string(i)});
  MakeIndexExpr("CNT", index);
  CloseArea();
  auto open = [&]() {
    Select(1);
    USE(table);
    Set_Index_To("cnt.ndx");
    return TzCurrentError() == 0;
  };
  // The first grows the tree by appends, the second builds it afresh.
  OtherProgram grow([&]() {
    if (!open() || !ALock()) return 1;
    for (int i = 0; i < 400; ++i) AppendRow({"B", std::to_string(1000 - i)});
    Unlock();
    CloseArea();
    return TzCurrentError() == 0 ? 0 : 2;
  });
  OtherProgram rebuild([&]() {
    if (!open()) return 1;
    Reindex();
    if (TzCurrentError() != 0) return 2;
    CloseArea();
    return TzCurrentError() == 0 ? 0 : 3;
  });
  ASSERT_EQ(grow.Run(), 0);
  ASSERT_TRUE(open()) << Engine().lastErrorText;
  GO(5);
  ASSERT_EQ(rebuild.Run(), 0);

  GO(kRows + 1);
  ASSERT_EQ(TzCurrentError(), 0) << Engine().lastErrorText;
  EXPECT_EQ(BufferInteger(*CurrentWorkArea(), 2), 1000);
  ASSERT_TRUE(RLock());
  SetField(2, "0");
  Replace();
  ASSERT_EQ(TzCurrentError(), 0) << Engine().lastErrorText;
  Unlock();
  std::vector<std::pair<long long, std::uint32_t>> expected;
  for (int i = 1; i <= kRows; ++i) expected.push_back({i, static_cast<std::uint32_t>(i)});
  for (int i = 0; i < 400; ++i) expected.push_back({i == 0 ? 0 : 1000 - i, static_cast<std::uint32_t>(kRows + 1 + i)});
  std::vector<std::int32_t> order, want;
  for (GoTop(); !dEOF(); SKIP()) {
    ASSERT_EQ(TzCurrentError(), 0) << Engine().lastErrorText;
    order.push_back(RecNo());
  }
  auto sorted = expected;
  std::sort(sorted.begin(), sorted.end());
  for (auto& e : sorted) want.push_back(static_cast<std::int32_t>(e.second));
  EXPECT_EQ(order, want);
  CloseArea();
  const std::string listing = NumListing(expected);
  EXPECT_EQ(CheckerListing(index), listing);
  if (HavePerlIndex()) {
    EXPECT_EQ(PerlListing(dir, index), listing);
  }
}

// ------------------------------------------------------------ many writers

class NdxManyWriters : public NdxTest {};

constexpr int kWriters = 8;
constexpr int kRounds = 150;
constexpr int kCounters = 8;

// Takes a lock (of the table, a record or the memo file), retrying while
// other writers hold it. Hang bound: 4,000 tries 5 ms apart, 20 s; a
// writer holds a lock for milliseconds.
template <class F>
bool Retry(F take) {
  for (int i = 0; i < 4000; ++i) {
    if (take()) return true;
    ::usleep(5000);
  }
  return false;
}

std::string MemoText(const std::string& name) { return "memo of " + name + " \xe9"; }

// One writer: every fifth round appends a record of its own, the others
// add one to a shared counter record, changing both keys and the memo.
int Writer(const std::string& table, const std::string& indexes, int w) {
  Select(1);
  USE(table);
  Set_Index_To(indexes);
  if (TzCurrentError() != 0) return 10;
  for (int r = 0; r < kRounds; ++r) {
    WorkArea& a = *CurrentWorkArea();
    if (r % 5 == 0) {
      if (!Retry([] { return ALock(); })) return 11;
      const std::string name = "A" + std::to_string(w) + "R" + std::to_string(r);
      ClearRecord();
      SetField(1, name);
      SetField(2, std::to_string(100000 + w * 1000 + r));
      std::int32_t memo = 0;
      if (!Retry([&] { return (memo = MemoHooks().AddMemo(MemoText(name))) != 0; })) return 18;
      SetBufferInteger(a, 3, memo);
      Append();
      if (TzCurrentError() != 0) return 12;
      Unlock();
      continue;
    }
    const int k = 1 + (w + r) % kCounters;
    GO(k);
    if (TzCurrentError() != 0) return 13;
    if (!Retry([] { return RLock(); })) return 14;
    GO(k);
    if (TzCurrentError() != 0) return 15;
    const std::int64_t count = BufferInteger(a, 2) + 1;
    const std::string name = "W" + std::to_string(w) + "R" + std::to_string(r);
    SetField(1, name);
    SetField(2, std::to_string(count));
    std::int32_t memo = 0;
    if (!Retry([&] { return (memo = MemoHooks().AddMemo(MemoText(name))) != 0; })) return 19;
    SetBufferInteger(a, 3, memo);
    Replace();
    if (TzCurrentError() != 0) return 16;
    Unlock();
  }
  CloseArea();
  return TzCurrentError() == 0 ? 0 : 17;
}

TEST_F(NdxManyWriters, EightWritersLoseAndDoubleNothing) {
  InitMemoUnit();
  const std::uint8_t oldVersion = SetNewTableVersion(0x8B);
  const std::string table = dir / "w.dbf", cnt = dir / "cnt.ndx", name = dir / "name.ndx";
  CreateTable(table, {Fd("NAME", 'C', 8), Fd("CNT", 'N', 8), Fd("NOTE", 'M', 10)});
  SetNewTableVersion(oldVersion);
  USE(table + " EXCLUSIVE");
  for (int k = 1; k <= kCounters; ++k) AppendRow({"C" + std::to_string(k), "0"});
  MakeIndexExpr("CNT", cnt);
  MakeIndexExpr("NAME", name);
  CloseArea();
  ASSERT_EQ(TzCurrentError(), 0) << Engine().lastErrorText;

  const auto t0 = std::chrono::steady_clock::now();
  std::vector<std::unique_ptr<OtherProgram>> writers;
  for (int w = 0; w < kWriters; ++w)
    writers.push_back(std::make_unique<OtherProgram>([&, w]() { return Writer(table, "cnt name", w); }));
  for (auto& p : writers) p->Start();
  for (int w = 0; w < kWriters; ++w) EXPECT_EQ(writers[static_cast<std::size_t>(w)]->Wait(), 0) << "writer " << w;
  // Hang bound: the eight writers take 3 to 5 s here, on two busy cores too.
  const auto seconds =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - t0).count();
  EXPECT_LT(seconds, 60);

  // Every append once, every increment counted, each memo its record's.
  USE(table + " EXCLUSIVE");
  ASSERT_EQ(TzCurrentError(), 0) << Engine().lastErrorText;
  const int appends = kWriters * (kRounds / 5);
  ASSERT_EQ(RecCount(), kCounters + appends);
  std::map<std::string, int> appended;
  long long increments = 0;
  std::vector<std::pair<long long, std::uint32_t>> byCount;
  std::vector<std::pair<std::string, std::uint32_t>> byName;
  for (int r = 1; r <= RecCount(); ++r) {
    GO(r);
    WorkArea& a = *CurrentWorkArea();
    const std::string n = TzTrimRight(BufferText(a, 1));
    const long long c = BufferInteger(a, 2);
    if (r <= kCounters)
      increments += c;
    else
      ++appended[n];
    std::string memo;
    EXPECT_TRUE(MemoHooks().AssignMemo(static_cast<std::int32_t>(BufferInteger(a, 3)), memo)) << r;
    EXPECT_EQ(memo, MemoText(n)) << r;
    byCount.push_back({c, static_cast<std::uint32_t>(r)});
    std::string folded = n;  // character keys are kept in lower case
    for (char& ch : folded) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    byName.push_back({folded, static_cast<std::uint32_t>(r)});
  }
  CloseArea();
  EXPECT_EQ(increments, kWriters * (kRounds - kRounds / 5));
  EXPECT_EQ(static_cast<int>(appended.size()), appends);
  for (int w = 0; w < kWriters; ++w)
    for (int r = 0; r < kRounds; r += 5) EXPECT_EQ(appended["A" + std::to_string(w) + "R" + std::to_string(r)], 1);

  // Keys in order (the checker's rules), every record once; Perl walks the
  // same trees.
  const std::string counts = CheckerListing(cnt), names = CheckerListing(name);
  EXPECT_EQ(SortedLines(counts), SortedLines(NumListing(byCount)));
  EXPECT_EQ(SortedLines(names), SortedLines(TextListing(byName)));
  if (HavePerlIndex()) {
    EXPECT_EQ(PerlListing(dir, cnt), counts);
    EXPECT_EQ(PerlListing(dir, name), names);
  }
}

}  // namespace
}  // namespace zeb::xbase::test
