// A sorted view whose keys repeat in long runs, walked as the table grid
// walks it: back to the row the view stands on, back to the last row read,
// one step on. No step searches its way through the run of equal keys, and
// the order stays the file's across changed keys, deleted records and
// another program's appends.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "other_program.h"
#include "test_ndx_support.h"

namespace zeb::xbase::test {
namespace {

constexpr int kDays = 3;
constexpr int kRecords = 6000;  // runs of 2,000 equal keys

// Record i's day, YYYYMMDD: the days take turns.
std::string DayOf(int i) { return "2026120" + std::to_string(1 + i % kDays); }

struct WalkCase {
  const char* name;
  bool exclusive;
};

void PrintTo(const WalkCase& c, std::ostream* os) { *os << c.name; }

class NdxRuns : public NdxTest, public ::testing::WithParamInterface<WalkCase> {
 protected:
  std::string table, index;

  void SetUp() override {
    NdxTest::SetUp();
    table = dir / "runs.dbf";
    index = dir / "day.ndx";
    CreateTable(table, {Fd("DAY", 'D', 8), Fd("SERIAL", 'N', 8)});
    USE(table + " EXCLUSIVE");
    for (int i = 1; i <= kRecords; ++i) AppendRow({DayOf(i), std::to_string(i)});
    MakeIndexExpr("DAY", index);
    CloseArea();
    ASSERT_EQ(TzCurrentError(), 0) << Engine().lastErrorText;
  }

  void Open() {
    USE(GetParam().exclusive ? table + " EXCLUSIVE" : table);
    ASSERT_TRUE(Set_Index_ToLFN(index, 1)) << Engine().lastErrorText;
    SetIgnoreDel(true);
  }

  // One step as the grid takes it; the most node fetches of one step so far
  // in worst.
  void GridStep(std::int32_t anchor, int direction, std::uint64_t& worst) {
    const std::uint64_t before = IndexCounter().nodeFetches;
    const std::int32_t here = RecNo();
    GO(anchor);
    GO(here);
    SKIP(direction);
    worst = std::max(worst, IndexCounter().nodeFetches - before);
  }

  // The records of a whole walk by grid steps, from the top or the bottom.
  std::vector<std::uint32_t> Walk(bool forward, std::int32_t anchor, std::uint64_t& worst) {
    std::vector<std::uint32_t> seen;
    if (forward) {
      for (GoTop(); !dEOF() && TzCurrentError() == 0; GridStep(anchor, 1, worst))
        seen.push_back(static_cast<std::uint32_t>(RecNo()));
    } else {
      for (GoBottom(); !dBOF() && TzCurrentError() == 0; GridStep(anchor, -1, worst))
        seen.push_back(static_cast<std::uint32_t>(RecNo()));
    }
    EXPECT_EQ(TzCurrentError(), 0) << Engine().lastErrorText;
    return seen;
  }

  // The order the file holds, read by the test's own index reader, without
  // the deleted records; every key no smaller than the one before.
  std::vector<std::uint32_t> FileOrder(const std::set<std::uint32_t>& deleted) {
    const NdxReport rep = CheckNdxFile(index);
    EXPECT_TRUE(rep.Ok()) << rep.Text();
    std::vector<std::uint32_t> order;
    double last = -1;
    for (const auto& e : rep.entries) {
      EXPECT_GE(NdxKeyNumber(e.key), last);
      last = NdxKeyNumber(e.key);
      if (deleted.count(e.record) == 0) order.push_back(e.record);
    }
    return order;
  }
};

// Every step of both walks reads a handful of nodes wherever it is in its
// run; the walks hold every record once, in key order.
TEST_P(NdxRuns, AStepNeverSearchesItsRun) {
  Open();
  // The view stands in the middle of the second run.
  const std::int32_t anchor = 3001;
  GO(anchor);
  std::uint64_t worst = 0;
  const std::vector<std::uint32_t> forward = Walk(true, anchor, worst);
  EXPECT_LE(worst, 8u) << "node fetches of one step forwards";
  worst = 0;
  std::vector<std::uint32_t> backward = Walk(false, anchor, worst);
  EXPECT_LE(worst, 8u) << "node fetches of one step backwards";
  // Independent truth: the records sorted by day, ties by record number (the
  // order of a built index).
  std::vector<std::uint32_t> sorted(kRecords);
  for (int i = 0; i < kRecords; ++i) sorted[static_cast<std::size_t>(i)] = static_cast<std::uint32_t>(i + 1);
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](std::uint32_t a, std::uint32_t b) { return DayOf(static_cast<int>(a)) < DayOf(static_cast<int>(b)); });
  EXPECT_EQ(forward, sorted);
  std::reverse(backward.begin(), backward.end());
  EXPECT_EQ(backward, sorted);
}

// Changes while the walk stands in a run and keeps the leaves it went
// through: the view stands on the last record of the first day, and new
// entries of the second day go in right after it (records moved to that
// day, another program's appends) while the walk is elsewhere; a record
// ahead is deleted. The walk from the view's record and whole walks give
// the file's order.
TEST_P(NdxRuns, TheWalkFollowsChangesToTheLeavesItKeeps) {
  const bool shared = !GetParam().exclusive;
  const std::string secondDay = DayOf(1);
  // Another program, started before this one opens the table, appends
  // records of the second day when asked.
  OtherProgram other([&]() {
    Select(1);
    USE(table);
    if (!Set_Index_ToLFN(index, 1)) return 1;
    if (!ALock()) return 2;
    for (int i = 0; i < 100; ++i) {
      AppendRow({secondDay, std::to_string(kRecords + 1 + i)});
      if (TzCurrentError() != 0) return 3;
    }
    Unlock();
    CloseArea();
    return TzCurrentError() == 0 ? 0 : 4;
  });
  Open();
  const std::int32_t anchor = kRecords;  // the last record of the first day
  std::set<std::uint32_t> deleted;
  std::uint64_t worst = 0;
  GO(anchor);
  for (int i = 0; i < 40; ++i) GridStep(anchor, 1, worst);
  const std::int32_t here = RecNo();
  ASSERT_EQ(DayOf(here), secondDay);

  // A written change, under the record lock a shared table asks for.
  const auto write = [shared](const std::function<void()>& change) {
    if (shared) {
      ASSERT_TRUE(RLock());
    }
    change();
    if (shared) Unlock();
    ASSERT_EQ(TzCurrentError(), 0) << Engine().lastErrorText;
  };
  // Forty records of the third day take the second.
  for (std::int32_t r = 2; r <= 119; r += 3) {
    GO(r);
    write([&] {
      SetField(1, secondDay);
      Replace();
    });
  }
  // A record a few steps ahead of the walk is deleted.
  GO(here);
  for (int i = 0; i < 5; ++i) SKIP(1);
  deleted.insert(static_cast<std::uint32_t>(RecNo()));
  write([] { DeleteRec(); });
  // Back at the view's record for a few steps: its leaf is kept, then the
  // other program writes into it while this one stands elsewhere.
  GO(anchor);
  SKIP(1);
  const std::int32_t next = RecNo();  // the view's record's successor
  for (int i = 0; i < 5; ++i) GridStep(anchor, 1, worst);
  // One more record takes the second day: it goes in between the two.
  GO(122);
  write([] {
    SetField(1, DayOf(1));
    Replace();
  });
  if (shared) {
    ASSERT_EQ(other.Run(), 0);
  }
  const std::vector<std::uint32_t> order = FileOrder(deleted);
  const auto at = std::find(order.begin(), order.end(), static_cast<std::uint32_t>(anchor));
  ASSERT_NE(at, order.end());
  ASSERT_NE(*(at + 1), static_cast<std::uint32_t>(next)) << "a new entry right after the view's";
  // From the view's record on: the rest of the file's order; from its old
  // successor back: the file's order before it, reversed.
  GO(1);
  GO(anchor);
  std::vector<std::uint32_t> rest;
  for (; !dEOF() && TzCurrentError() == 0; GridStep(anchor, 1, worst))
    rest.push_back(static_cast<std::uint32_t>(RecNo()));
  EXPECT_EQ(rest, std::vector<std::uint32_t>(at, order.end()));
  GO(1);
  GO(next);
  std::vector<std::uint32_t> before;
  for (; !dBOF() && TzCurrentError() == 0; GridStep(anchor, -1, worst))
    before.push_back(static_cast<std::uint32_t>(RecNo()));
  std::reverse(before.begin(), before.end());
  const auto nextAt = std::find(order.begin(), order.end(), static_cast<std::uint32_t>(next));
  EXPECT_EQ(before, std::vector<std::uint32_t>(order.begin(), nextAt + (nextAt != order.end() ? 1 : 0)));
  // Whole walks over the changed file.
  EXPECT_EQ(Walk(true, anchor, worst), order);
  std::vector<std::uint32_t> backward = Walk(false, anchor, worst);
  std::reverse(backward.begin(), backward.end());
  EXPECT_EQ(backward, order);
}

INSTANTIATE_TEST_SUITE_P(Opened, NdxRuns,
                         ::testing::Values(WalkCase{"Exclusive", true}, WalkCase{"Shared", false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zeb::xbase::test
