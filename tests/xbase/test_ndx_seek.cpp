// Seeks and the steps after them: a Find reads the index path and the one
// record it lands on; steps from there in either direction give the
// records in key order, in tables open exclusively and shared, around
// writes of this program and of another one.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "test_ndx_support.h"

namespace zeb::xbase::test {
namespace {

class NdxSeek : public NdxTest, public ::testing::WithParamInterface<bool> {
 protected:
  bool Exclusive() const { return GetParam(); }
};

struct Row {
  std::string name;  // 8 bytes as stored
  int rec = 0;
};

bool RowLess(const Row& a, const Row& b) { return a.name != b.name ? a.name < b.name : a.rec < b.rec; }

// Five letters of three and three blanks: some 25 records share a name,
// so equal keys run across leaves.
std::string RandomName(std::mt19937& rng) {
  std::string s(8, ' ');
  for (int i = 0; i < 5; ++i) s[static_cast<std::size_t>(i)] = "abc"[rng() % 3];
  return s;
}

std::string Note(int rec, int version) { return "note " + std::to_string(rec) + "." + std::to_string(version); }

// A table NAME C(8), SERIAL N(8) (the record number), NOTE C(20) of n rows.
std::vector<Row> MakeTable(const std::string& path, int n, std::mt19937& rng) {
  CreateTable(path, {Fd("NAME", 'C', 8), Fd("SERIAL", 'N', 8), Fd("NOTE", 'C', 20)});
  USE(path + " EXCLUSIVE");
  std::vector<Row> order;
  for (int i = 1; i <= n; ++i) {
    order.push_back({RandomName(rng), i});
    AppendRow({order.back().name, std::to_string(i), Note(i, 0)});
  }
  CloseArea();
  std::sort(order.begin(), order.end(), RowLess);
  return order;
}

std::string Padded(std::string s) {
  s.resize(20, ' ');
  return s;
}

// The area stands on entry p of the oracle, the record as stored.
void ExpectOn(const std::vector<Row>& order, std::size_t p, const std::map<int, int>& versions, const char* what) {
  ASSERT_EQ(TzCurrentError(), 0) << what;
  ASSERT_LT(p, order.size()) << what;
  ASSERT_FALSE(dEOF()) << what << " at " << p;
  ASSERT_EQ(RecNo(), order[p].rec) << what << " at " << p;
  ASSERT_EQ(StoredField(1), order[p].name) << what;
  ASSERT_EQ(std::stoi(StoredField(2)), order[p].rec) << what;
  const auto v = versions.find(order[p].rec);
  ASSERT_EQ(StoredField(3), Padded(Note(order[p].rec, v == versions.end() ? 0 : v->second))) << what;
}

// Random seeks, each followed by a few steps forward and back (one at a
// time and several at once), with writes in between: a changed note is
// read back, a changed name moves its record in the order.
TEST_P(NdxSeek, SeekThenStepBothWaysGivesTheRecordsInKeyOrder) {
  std::mt19937 rng(Exclusive() ? 11 : 12);
  const std::string table = dir / "s.dbf";
  std::vector<Row> order = MakeTable(table, 6000, rng);
  USE(table + " EXCLUSIVE");
  Index_On("NAME", dir / "s.ndx");
  ASSERT_EQ(TzCurrentError(), 0);
  CloseArea();
  USE(Exclusive() ? table + " EXCLUSIVE" : table);
  Set_Index_To("s.ndx");  // a name list: cut at blanks, the table's folder
  ASSERT_EQ(TzCurrentError(), 0);
  const int other = ::open(table.c_str(), O_RDWR);
  ASSERT_GE(other, 0);
  WorkArea& a = *CurrentWorkArea();
  std::map<int, int> versions;

  for (int trial = 0; trial < 300; ++trial) {
    // The whole name, or the first five letters, which find the first key
    // that begins with them.
    const std::size_t pick = rng() % order.size();
    const std::string name = trial % 2 == 0 ? order[pick].name : order[pick].name.substr(0, 5);
    std::size_t p = static_cast<std::size_t>(
        std::lower_bound(order.begin(), order.end(), Row{name, 0}, RowLess) - order.begin());
    ASSERT_TRUE(Find(name)) << name;
    ExpectOn(order, p, versions, "Find");
    const int forward = 1 + static_cast<int>(rng() % 40), back = 1 + static_cast<int>(rng() % 60);
    for (int s = 0; s < forward; ++s) {
      SKIP(1);
      if (++p == order.size()) {
        ASSERT_TRUE(dEOF());
        --p;
        SKIP(-1);
        break;
      }
      ExpectOn(order, p, versions, "SKIP(1)");
    }
    ExpectOn(order, p, versions, "end of the forward steps");
    for (int s = 0; s < back; ++s) {
      SKIP(-1);
      if (p == 0) {
        ASSERT_TRUE(dBOF());
        break;
      }
      --p;
      ExpectOn(order, p, versions, "SKIP(-1)");
    }
    ExpectOn(order, p, versions, "end of the steps back");
    if (p >= 5 && p + 7 < order.size()) {
      SKIP(-5);
      ExpectOn(order, p - 5, versions, "SKIP(-5)");
      SKIP(12);
      ExpectOn(order, p + 7, versions, "SKIP(12)");
      p += 7;
    }
    if (trial % 10 == 3) {
      // This program changes the note of the record it stands on.
      const int rec = order[p].rec;
      if (!Exclusive()) {
        ASSERT_TRUE(RLock());
      }
      SetField(3, Note(rec, ++versions[rec]));
      Replace();
      ASSERT_EQ(TzCurrentError(), 0);
      if (!Exclusive()) Unlock();
    } else if (trial % 10 == 6) {
      // A name changed: the record takes its new place in the order (a
      // name no other record has, so that its place is known).
      Row moved = order[p];
      order.erase(order.begin() + static_cast<std::ptrdiff_t>(p));
      do {
        moved.name = RandomName(rng);
        moved.name[5] = static_cast<char>('d' + rng() % 20);
      } while (std::any_of(order.begin(), order.end(), [&](const Row& r) { return r.name == moved.name; }));
      order.insert(std::upper_bound(order.begin(), order.end(), moved, RowLess), moved);
      if (!Exclusive()) {
        ASSERT_TRUE(RLock());
      }
      SetField(1, moved.name);
      Replace();
      ASSERT_EQ(TzCurrentError(), 0);
      if (!Exclusive()) Unlock();
    } else if (trial % 10 == 8 && !Exclusive()) {
      // Another program changes the note of a record that the next seek
      // lands on: a shared table reads it as it is now.
      const int rec = order[rng() % order.size()].rec;
      const std::string note = Padded(Note(rec, ++versions[rec]));
      ASSERT_EQ(::pwrite(other, note.data(), note.size(),
                         a.headerLength + static_cast<off_t>(rec - 1) * a.recordLength + 1 + 8 + 8),
                static_cast<ssize_t>(note.size()));
      const auto at = std::find_if(order.begin(), order.end(), [&](const Row& r) { return r.rec == rec; });
      const std::string key = at->name;
      const std::size_t first = static_cast<std::size_t>(
          std::lower_bound(order.begin(), order.end(), Row{key, 0}, RowLess) - order.begin());
      ASSERT_TRUE(Find(key));
      for (std::size_t q = first; q < order.size(); ++q) {
        ExpectOn(order, q, versions, "Find after the other program's write");
        if (order[q].rec == rec) break;
        SKIP(1);
      }
    }
  }
  // A key above every key: past the end; a step back stands on the last.
  EXPECT_FALSE(Find("zzzzz"));
  EXPECT_TRUE(dEOF());
  EXPECT_EQ(RecNo(), RecCount() + 1);
  SKIP(-1);
  ExpectOn(order, order.size() - 1, versions, "SKIP(-1) from the end");
  // Below every key: also past the end.
  EXPECT_FALSE(Find("a0"));
  EXPECT_TRUE(dEOF());
  ::close(other);
  CloseArea();
}

INSTANTIATE_TEST_SUITE_P(ExclusiveAndShared, NdxSeek, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& i) { return i.param ? "Exclusive" : "Shared"; });

// Index depth from the file: levels from the root to a leaf.
int Depth(const std::string& ndx) {
  const NdxReport r = CheckNdxFile(ndx);
  EXPECT_TRUE(r.Ok()) << r.Text();
  return r.maxLeafDepth + 1;
}

struct ReadCount {
  DbfReadCounters dbf;
  std::uint64_t nodeReads = 0;
};

ReadCount Now() { return {DbfReadCounter(), IndexCounter().nodeReads}; }

// Bytes read by the table layer and node blocks read per seek, counted;
// then what the steps after a seek read.
class NdxSeekReads : public NdxTest {};

TEST_F(NdxSeekReads, ASeekReadsTheIndexPathAndOneRecord) {
  std::mt19937 rng(21);
  const std::string table = dir / "r.dbf";
  const int n = 40000;
  std::vector<long long> values;
  for (int i = 0; i < n; ++i) values.push_back(static_cast<long long>(rng() % 1000000000));
  MakeNumberTable(table, values);
  USE(table + " EXCLUSIVE");
  Index_On("NUM", dir / "r.ndx");
  ASSERT_EQ(TzCurrentError(), 0);
  CloseArea();
  const int depth = Depth(dir / "r.ndx");
  ASSERT_GE(depth, 3);
  for (const bool exclusive : {true, false}) {
    USE(exclusive ? table + " EXCLUSIVE" : table);
    Set_Index_To("r.ndx");
    ASSERT_EQ(TzCurrentError(), 0);
    const std::uint64_t len = CurrentWorkArea()->recordLength;
    for (int i = 0; i < 300; ++i) {
      const long long v = values[rng() % values.size()];
      DbfReadCounter().largest = 0;
      const ReadCount before = Now();
      ASSERT_TRUE(Find(std::to_string(v)));
      const ReadCount after = Now();
      ASSERT_EQ(std::stoll(StoredField(1)), v);
      // One record, and no node twice: at most one block per level.
      EXPECT_LE(after.nodeReads - before.nodeReads, static_cast<std::uint64_t>(depth)) << v;
      EXPECT_EQ(after.dbf.largest, len) << v;
      if (exclusive) {
        EXPECT_EQ(after.dbf.reads - before.dbf.reads, 1u) << v;
        EXPECT_EQ(after.dbf.bytes - before.dbf.bytes, len) << v;
      } else {
        // A shared table also reads the record count of the header.
        EXPECT_LE(after.dbf.bytes - before.dbf.bytes, len + 8) << v;
      }
    }
    // The first steps after a seek read their records one by one.
    ASSERT_TRUE(Find(std::to_string(values[7])));
    for (int s = 0; s < 4; ++s) {
      DbfReadCounter().largest = 0;
      const ReadCount before = Now();
      SKIP(s % 2 == 0 ? 1 : -1);
      ASSERT_FALSE(dEOF());
      EXPECT_EQ(DbfReadCounter().largest, len);
      EXPECT_LE(DbfReadCounter().bytes - before.dbf.bytes, len + 8);
    }
    // A walk through the whole table in key order, forward and back.
    const std::uint64_t tableBytes = len * static_cast<std::uint64_t>(n);
    for (const bool forward : {true, false}) {
      DbfReadCounter().largest = 0;
      const ReadCount before = Now();
      int steps = 0;
      if (forward) {
        for (GoTop(); !dEOF(); SKIP(1)) ++steps;
      } else {
        for (GoBottom(); !dBOF(); SKIP(-1)) ++steps;
      }
      ASSERT_EQ(steps, n);
      const ReadCount after = Now();
      if (exclusive) {
        // Whole blocks of records, each read once.
        EXPECT_LE(after.dbf.bytes - before.dbf.bytes, tableBytes + 64 * len) << forward;
        EXPECT_LE(after.dbf.reads - before.dbf.reads, static_cast<std::uint64_t>(n / 100)) << forward;
      } else {
        // Another program may write any record: each is read when reached.
        EXPECT_GE(after.dbf.reads - before.dbf.reads, static_cast<std::uint64_t>(n)) << forward;
        EXPECT_LE(DbfReadCounter().largest, len) << forward;
      }
    }
    CloseArea();
  }
}

// Keys in the order of the records: the steps after a seek land on the
// next record of the file. A few of them read their records alone; a long
// walk reads ahead.
TEST_F(NdxSeekReads, AShortWalkAfterASeekReadsItsRecordsAlone) {
  const std::string table = dir / "a.dbf";
  const int n = 5000;
  std::vector<long long> values;
  for (int i = 1; i <= n; ++i) values.push_back(10LL * i);
  MakeNumberTable(table, values);
  USE(table + " EXCLUSIVE");
  Index_On("NUM", dir / "a.ndx");
  ASSERT_EQ(TzCurrentError(), 0);
  const std::uint64_t len = CurrentWorkArea()->recordLength;
  for (const int start : {100, 2000, 4990}) {
    ASSERT_TRUE(Find(std::to_string(10LL * start)));
    ASSERT_EQ(RecNo(), start);
    for (int s = 1; s <= 5 && start + s <= n; ++s) {
      DbfReadCounter().largest = 0;
      const DbfReadCounters before = DbfReadCounter();
      SKIP(1);
      ASSERT_EQ(RecNo(), start + s);
      EXPECT_EQ(DbfReadCounter().reads - before.reads, 1u) << start << " + " << s;
      EXPECT_EQ(DbfReadCounter().bytes - before.bytes, len) << start << " + " << s;
    }
  }
  ASSERT_TRUE(Find("10"));
  const DbfReadCounters before = DbfReadCounter();
  int steps = 1;
  for (SKIP(1); !dEOF(); SKIP(1)) ASSERT_EQ(RecNo(), ++steps);
  EXPECT_EQ(steps, n);
  EXPECT_LE(DbfReadCounter().reads - before.reads, 8u + static_cast<std::uint64_t>(n) * len / 60000 + 2);
  EXPECT_LE(DbfReadCounter().bytes - before.bytes, static_cast<std::uint64_t>(n) * len);
  CloseArea();
}

}  // namespace
}  // namespace zeb::xbase::test
