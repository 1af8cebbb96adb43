// Walking a table in index order: every record read as stored, a key
// changed during the walk seen at its new place, and the key of a record
// stepped onto taken from its entry only where nobody else writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "test_ndx_support.h"

namespace zeb::xbase::test {
namespace {

class NdxWalk : public NdxTest {};

std::string RandomWord(std::mt19937& rng) {
  std::string s(12, ' ');
  for (char& c : s) c = static_cast<char>('a' + rng() % 26);
  return s;
}

// Many records over many blocks, walked against the sorted oracle. Halfway
// the current record takes a key 300 entries ahead: the next step starts
// from its new place, and the records read after the write are as stored.
TEST_F(NdxWalk, ExclusiveWalkReadsRecordsAsStoredAndFollowsAChangedKey) {
  const std::string table = dir / "w.dbf";
  CreateTable(table, {Fd("NAME", 'C', 12), Fd("SERIAL", 'N', 8)});
  USE(table + " EXCLUSIVE");
  std::mt19937 rng(5);
  const int n = 12000;
  std::vector<std::pair<std::string, int>> order;
  for (int i = 1; i <= n; ++i) {
    const std::string name = RandomWord(rng);
    AppendRow({name, std::to_string(i)});
    order.emplace_back(name, i);
  }
  std::sort(order.begin(), order.end());
  Index_On("NAME", dir / "w.ndx");
  ASSERT_EQ(TzCurrentError(), 0);

  // The new key lies between the keys 300 and 301 entries on.
  const std::size_t half = n / 2;
  std::string moved = order[half + 300].first;
  moved.back() = static_cast<char>(moved.back() + 1);
  ASSERT_TRUE(order[half + 300].first < moved && moved < order[half + 301].first);
  std::vector<std::pair<std::string, int>> expected(order.begin(), order.begin() + half + 1);
  expected.insert(expected.end(), order.begin() + half + 301, order.end());

  std::size_t k = 0;
  for (GoTop(); !dEOF(); SKIP(1), ++k) {
    ASSERT_EQ(TzCurrentError(), 0);
    ASSERT_LT(k, expected.size());
    ASSERT_EQ(StoredField(1), expected[k].first) << k;
    ASSERT_EQ(RecNo(), expected[k].second) << k;
    ASSERT_EQ(std::stoi(StoredField(2)), RecNo());
    if (k == half) {
      SetField(1, moved);
      Replace();
      ASSERT_EQ(TzCurrentError(), 0);
    }
  }
  EXPECT_EQ(k, expected.size());
  // Backwards from the bottom: every record once, the renamed one among them.
  std::size_t back = 0;
  bool met = false;
  for (GoBottom(); !dBOF(); SKIP(-1), ++back) met = met || StoredField(1) == moved;
  EXPECT_EQ(back, static_cast<std::size_t>(n));
  EXPECT_TRUE(met);
}

// The key function runs for the build and not again while an exclusive
// table is walked; a shared table evaluates each record it lands on (another
// program may have changed it).
TEST_F(NdxWalk, KeysOfAWalkComeFromTheEntriesOfAnExclusiveTable) {
  const std::string table = dir / "k.dbf";
  CreateTable(table, {Fd("NAME", 'C', 8)});
  std::mt19937 rng(9);
  USE(table + " EXCLUSIVE");
  const int n = 3000;
  for (int i = 0; i < n; ++i) AppendRow({RandomWord(rng).substr(0, 8)});
  int calls = 0;
  KeyMaker km = [&calls](int, std::string& key) {
    ++calls;
    key = CurrentWorkArea()->stored.substr(1, 8);
  };
  Index_OnCB(dir / "k", km);
  ASSERT_EQ(TzCurrentError(), 0);
  calls = 0;
  std::string last;
  int steps = 0;
  for (GoTop(); !dEOF(); SKIP(1)) {
    EXPECT_LE(last, StoredField(1));
    last = StoredField(1);
    ++steps;
  }
  EXPECT_EQ(steps, n);
  EXPECT_EQ(calls, 0);
  CloseArea();

  USE(table);
  ASSERT_TRUE(Set_Index_ToCB(dir / "k", 1, km));
  calls = 0;
  steps = 0;
  for (GoTop(); !dEOF(); SKIP(1)) ++steps;
  EXPECT_EQ(steps, n);
  EXPECT_GE(calls, n);
}

}  // namespace
}  // namespace zeb::xbase::test
