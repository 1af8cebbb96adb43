// The node cache of the master and the descent path, seen from inside.
#include <gtest/gtest.h>

#include "test_ndx_support.h"
#include "xbase/index/ndx_internal.h"

namespace zeb::xbase::test {
namespace {

class NdxCache : public NdxTest {
 protected:
  // A table whose NUM index has at least 12 blocks.
  void Open() {
    std::vector<long long> v;
    for (int i = 0; i < 400; ++i) v.push_back(i);
    MakeNumberTable(dir / "c.dbf", v);
    USE(dir / "c.dbf EXCLUSIVE");
    Index_On("NUM", dir / "c.ndx");
    ASSERT_EQ(TzCurrentError(), 0);
  }
  std::vector<std::uint32_t> Directory() {
    std::vector<std::uint32_t> d;
    for (const auto& e : CurArea().cache.dir) d.push_back(e.second ? e.first : 0);
    return d;
  }
};

TEST_F(NdxCache, SizesAreRoundedAndRaised) {
  Open();
  for (auto [asked, got] : {std::pair{1000, 2048}, {4095, 3584}, {4096, 4096}, {65535, 65024}, {0, 0}}) {
    SetIndexCache(static_cast<std::uint16_t>(asked));
    EXPECT_EQ(CurArea().cache.size, got) << asked;
    EXPECT_EQ(CurArea().cache.n, got / 512);
  }
  SetIndexNoCache(true);
  SetIndexCache(8192);
  EXPECT_EQ(CurArea().cache.size, 0);
}

TEST_F(NdxCache, TranspositionAndEviction) {
  Open();
  SetIndexCache(2048);  // four nodes
  for (std::uint32_t b : {5u, 6u, 7u, 8u}) ASSERT_TRUE(GetNode(b, 1));
  EXPECT_EQ(Directory(), (std::vector<std::uint32_t>{5, 6, 7, 8}));
  ASSERT_TRUE(GetNode(5, 1));  // a hit at position 0 changes nothing
  EXPECT_EQ(Directory(), (std::vector<std::uint32_t>{5, 6, 7, 8}));
  ASSERT_TRUE(GetNode(7, 1));  // a hit at position 2 moves one place forward
  EXPECT_EQ(Directory(), (std::vector<std::uint32_t>{5, 7, 6, 8}));
  // A modified node in the last position is written back before 9 takes it.
  std::uint8_t* victim = CurArea().cache.dir[3].second;
  victim[2] = 1;
  const std::string before = ReadBytes(dir / "c.ndx").substr(8 * 512 + 4, 8);
  victim[4] ^= 0xFF;  // a change the file does not have yet
  const auto writes = IndexCounter().nodeWrites;
  ASSERT_TRUE(GetNode(9, 1));
  EXPECT_EQ(Directory(), (std::vector<std::uint32_t>{5, 7, 6, 9}));
  EXPECT_EQ(IndexCounter().nodeWrites, writes + 1);
  const std::string after = ReadBytes(dir / "c.ndx");
  EXPECT_NE(after.substr(8 * 512 + 4, 8), before);
  EXPECT_EQ(after[8 * 512 + 2], 0);  // the mark is not written
  EXPECT_EQ(NodeCount(Master()->node), NodeCount(reinterpret_cast<const std::uint8_t*>(after.data()) + 9 * 512));
}

TEST_F(NdxCache, BlockZeroAndBlocksBeyondAreDamage) {
  Open();
  EXPECT_FALSE(GetNode(0, 1));
  EXPECT_EQ(TzCurrentError(), 254);
  EXPECT_NE(Engine().lastErrorText.find("(0) in DBF-Bereich 1, Ordnung 1"), std::string::npos);
  EXPECT_FALSE(GetNode(Master()->NextFree(), 1));
  EXPECT_EQ(TzCurrentError(), 254);
}

TEST_F(NdxCache, ThePathKeepsCopiesOfTheDescent) {
  Open();
  IndexControl& ic = *Master();
  ResetPath(ic);
  const std::uint32_t root = ic.Root();
  ASSERT_TRUE(DescendFirst(ic, 1, root, true));
  ASSERT_GE(ic.path.size(), 2u);
  const std::uint32_t leaf = ic.path.back().block;
  // Popping down to the root returns 0 and leaves the root entry.
  while (ic.path.size() > 1) PopPath(ic);
  EXPECT_EQ(PopPath(ic), 0u);
  ASSERT_EQ(ic.path.size(), 1u);
  EXPECT_EQ(ic.path[0].block, root);
  // A node on the path is read from its copy, not from the file.
  ResetPath(ic);
  ASSERT_TRUE(DescendFirst(ic, 1, root, true));
  std::uint8_t* copy = FindPathNode(ic, leaf);
  ASSERT_NE(copy, nullptr);
  copy[10] ^= 0x55;
  Node buf{};
  ASSERT_TRUE(SeekAndRead(ic, 1, leaf, buf.data()));
  EXPECT_EQ(buf[10], copy[10]);
  EXPECT_NE(static_cast<char>(buf[10]), ReadBytes(dir / "c.ndx")[leaf * 512 + 10]);
  // A write goes through to the copy and to the file.
  buf[11] ^= 0x33;
  ASSERT_TRUE(SeekAndWrite(ic, 1, leaf, buf.data()));
  EXPECT_EQ(copy[11], buf[11]);
  EXPECT_EQ(static_cast<char>(buf[11]), ReadBytes(dir / "c.ndx")[leaf * 512 + 11]);
}

}  // namespace
}  // namespace zeb::xbase::test
