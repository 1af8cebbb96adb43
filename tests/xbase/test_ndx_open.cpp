// Opening index files, orders, KeyMaker indexes, damaged files and the
// header read without opening.
#include <gtest/gtest.h>

#include "test_ndx_support.h"

namespace zeb::xbase::test {
namespace {

class NdxOpen : public NdxTest {
 protected:
  void Table(int rows = 40) {
    std::vector<long long> v;
    for (int i = 0; i < rows; ++i) v.push_back((i * 37) % 101);
    MakeNumberTable(dir / "t.dbf", v);
    USE(dir / "t.dbf EXCLUSIVE");
  }
  void Patch(const std::string& file, std::size_t at, const std::string& bytes) {
    std::string b = ReadBytes(file);
    b.replace(at, bytes.size(), bytes);
    WriteBytes(file, b);
  }
};

TEST_F(NdxOpen, OrdersMoveIndexesBetweenSlots) {
  Table();
  for (const char* n : {"a", "b", "c"}) MakeIndexExpr("NUM", dir / n);
  // Names without a folder are the table's: a list holds 255 characters,
  // which three full paths pass under a long $TMPDIR.
  Set_Index_To("a b c");
  ASSERT_EQ(TzCurrentError(), 0) << Engine().lastErrorText;
  EXPECT_EQ(CurrentOrder(), 1);
  Set_Order_To(3);
  EXPECT_EQ(IndexFileName(1), dir / "c.ndx");
  EXPECT_EQ(IndexFileName(2), dir / "b.ndx");
  EXPECT_EQ(IndexFileName(3), dir / "a.ndx");
  EXPECT_EQ(CurrentOrder(), 3);
  Set_Order_To(2);
  EXPECT_EQ(IndexFileName(1), dir / "b.ndx");
  EXPECT_EQ(IndexFileName(2), dir / "a.ndx");
  Set_Order_To(1);
  EXPECT_EQ(IndexFileName(1), dir / "a.ndx");
  EXPECT_EQ(IndexFileName(2), dir / "b.ndx");
  EXPECT_EQ(IndexFileName(3), dir / "c.ndx");
  Set_Order_To(17);
  EXPECT_EQ(TzCurrentError(), 220);
  EXPECT_FALSE(SetIndexTo(dir / "a", 0));
  EXPECT_EQ(TzCurrentError(), 220);
  EXPECT_FALSE(SetIndexTo(dir / "a", 17));
  EXPECT_EQ(TzCurrentError(), 220);
  EXPECT_FALSE(SetIndexTo(dir / "nothere", 4));
  EXPECT_EQ(TzCurrentError(), 2);
  EXPECT_FALSE(SetIndexTo(dir / "a", 4));  // already open in slot 1
  EXPECT_EQ(TzCurrentError(), 220);
  // A missing name in the list: the others open, its code is reported.
  Set_Index_To("a missing c");
  EXPECT_EQ(TzCurrentError(), 2);
  EXPECT_EQ(IndexFileName(1), dir / "a.ndx");
  EXPECT_EQ(IndexFileName(2), "");
  EXPECT_EQ(IndexFileName(3), dir / "c.ndx");
}

TEST_F(NdxOpen, NaturalOrderKeepsIndexesMaintained) {
  Table(5);
  Index_On("NUM", dir / "n");
  Set_Order_To(0);
  EXPECT_EQ(CurrentOrder(), 0);
  std::vector<std::int32_t> seen;
  for (GoTop(); !dEOF(); SKIP(1)) seen.push_back(RecNo());
  EXPECT_EQ(seen, (std::vector<std::int32_t>{1, 2, 3, 4, 5}));
  ClearRecord();
  SetField(1, "-7");
  Append();
  GO(3);
  SetField(1, "500");
  Replace();
  ASSERT_EQ(TzCurrentError(), 0);
  NdxReport r = CheckNdxFile(dir / "n.ndx");
  ASSERT_TRUE(r.Ok()) << r.Text();
  EXPECT_EQ(r.entries.front().record, 6u);
  EXPECT_EQ(r.entries.back().record, 3u);
  Set_Order_To(1);
  GoTop();
  EXPECT_EQ(RecNo(), 6);
}

TEST_F(NdxOpen, OptionsOfIndexOn) {
  Table(10);
  Index_On("NUM", dir / "s SOUNDEX DESCENDING NOCACHE");
  ASSERT_EQ(TzCurrentError(), 0);
  EXPECT_TRUE(IndexHooks().IsAscending(1));
  EXPECT_FALSE(IndexHooks().IsSoundex(1));
  NdxReport r = CheckNdxFile(dir / "s.ndx", {true});
  ASSERT_TRUE(r.Ok()) << r.Text();
  EXPECT_LE(NdxKeyNumber(r.entries.front().key), NdxKeyNumber(r.entries.back().key));
  EXPECT_EQ(IndexHooks().IndexName(1), dir / "s.ndx");
}

TEST_F(NdxOpen, KeyMakerIndexes) {
  const std::string table = dir / "k.dbf";
  CreateTable(table, {Fd("NAME", 'C', 8)});
  USE(table + " EXCLUSIVE");
  for (const char* n : {"Robert", "Rupert", "Ashcraft", "Tymczak"}) AppendRow({n});
  int calls = 0;
  KeyMaker km = [&calls](int, std::string& key) {
    ++calls;
    key = TzTrimRight(CurrentWorkArea()->stored.substr(1, 8));
  };
  Index_OnCB(dir / "k SOUNDEX", km);
  ASSERT_EQ(TzCurrentError(), 0) << Engine().lastErrorText;
  EXPECT_GT(calls, 0);
  EXPECT_TRUE(IndexHooks().IsSoundex(1));
  NdxReport r = CheckNdxFile(dir / "k.ndx", {true});
  ASSERT_TRUE(r.Ok()) << r.Text();
  EXPECT_EQ(r.expression, kKeyMakerMarker);
  ASSERT_EQ(r.entries.size(), 4u);
  EXPECT_EQ(r.entries[0].key, "A226");
  EXPECT_EQ(r.entries[1].key, "R163");
  EXPECT_EQ(r.entries[1].record, 1u);
  EXPECT_EQ(r.entries[2].record, 2u);  // Rupert: R163 too
  EXPECT_TRUE(Find("Rupert"));
  EXPECT_EQ(RecNo(), 1);
  CloseIndexes();
  // A KeyMaker file needs a KeyMaker, an expression file refuses one.
  EXPECT_FALSE(SetIndexTo(dir / "k", 1));
  EXPECT_EQ(TzCurrentError(), 223);
  MakeIndexExpr("NAME", dir / "e");
  EXPECT_FALSE(SetIndexTo(dir / "e", 1, km));
  EXPECT_EQ(TzCurrentError(), 223);
  EXPECT_TRUE(Set_Index_ToCB(dir / "k SOUNDEX", 1, km));
  // A KeyMaker whose key has another length than the file's: 266.
  CloseIndexes();
  EXPECT_FALSE(SetIndexTo(dir / "k", 1, [](int, std::string& key) { key = "toolong"; }));
  EXPECT_EQ(TzCurrentError(), 266);
  // Descending: the complement reverses the order.
  GO(3);  // the key length comes from the current record: 8
  Index_OnCB(dir / "d DESCENDING", km);
  r = CheckNdxFile(dir / "d.ndx", {true});
  ASSERT_TRUE(r.Ok()) << r.Text();
  EXPECT_EQ(r.entries.front().record, 4u);  // the complement of "T" is the lowest
  EXPECT_EQ(ComplementText(r.entries.front().key).substr(0, 7), "Tymczak");
}

TEST_F(NdxOpen, BlockCountIsCorrectedUpwardOnOpen) {
  Table();
  MakeIndexExpr("NUM", dir / "g");
  CloseArea();
  std::string b = ReadBytes(dir / "g.ndx");
  WriteBytes(dir / "g.ndx", b + std::string(3 * 512, '\0'));
  USE(dir / "t.dbf EXCLUSIVE");
  ASSERT_TRUE(SetIndexTo(dir / "g", 1));
  NdxReport r = CheckNdxFile(dir / "g.ndx");
  EXPECT_TRUE(r.Ok()) << r.Text();
  EXPECT_EQ(r.nextFree * 512ull, r.fileSize);
}

TEST_F(NdxOpen, DamagedHeadersFailTheOpen) {
  Table(100);
  MakeIndexExpr("NUM", dir / "h");
  const std::string good = ReadBytes(dir / "h.ndx");
  struct Case {
    const char* what;
    std::size_t at;
    std::string bytes;
  };
  const std::vector<Case> cases = {
      {"key length 200", 12, std::string("\xc8\x00", 2)},
      {"item size", 18, std::string("\x14\x00", 2)},
      {"keys per node", 14, std::string("\x20\x00", 2)},
      {"numeric flag", 16, std::string("\x00\x00", 2)},
      {"root beyond the file", 0, std::string("\x50\x00\x00\x00", 4)},
      {"root 0", 0, std::string(4, '\0')},
      {"next free beyond the file", 4, std::string("\x50\x00\x00\x00", 4)},
      {"expression", 24, std::string("NUM +", 5)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WriteBytes(dir / "h.ndx", good);
    Patch(dir / "h.ndx", c.at, c.bytes);
    EXPECT_FALSE(SetIndexTo(dir / "h", 1));
    EXPECT_EQ(TzCurrentError(), 222);
    EXPECT_EQ(IndexFileName(1), "");
  }
  // A truncated file: the root is gone.
  WriteBytes(dir / "h.ndx", good.substr(0, good.size() - 512));
  EXPECT_FALSE(SetIndexTo(dir / "h", 1));
  EXPECT_EQ(TzCurrentError(), 222);
  WriteBytes(dir / "h.ndx", good.substr(0, 700));
  EXPECT_FALSE(SetIndexTo(dir / "h", 1));
  EXPECT_EQ(TzCurrentError(), 222);
  // Index_On builds the file again.
  Index_On("NUM", dir / "h");
  EXPECT_EQ(TzCurrentError(), 0);
  EXPECT_TRUE(CheckNdxFile(dir / "h.ndx", {true}).Ok());
}

TEST_F(NdxOpen, DamagedNodesReport254UntilReindex) {
  Table(200);
  Index_On("NUM", dir / "x");
  ASSERT_EQ(TzCurrentError(), 0);
  NdxReport r = CheckNdxFile(dir / "x.ndx");
  ASSERT_TRUE(r.Ok());
  CloseIndexes();
  // A leaf's count beyond the keys per node, an interior child out of range.
  Patch(dir / "x.ndx", 1 * 512, std::string("\x40\x00", 2));
  Patch(dir / "x.ndx", r.root * 512 + 4, std::string("\xff\x00\x00\x00", 4));
  EXPECT_TRUE(SetIndexTo(dir / "x", 1));  // the header is sound: open
  EXPECT_EQ(TzCurrentError(), 254);
  GoTop();
  EXPECT_EQ(TzCurrentError(), 254);
  EXPECT_FALSE(Find("5"));
  EXPECT_EQ(TzCurrentError(), 254);
  Reindex();
  EXPECT_EQ(TzCurrentError(), 0);
  r = CheckNdxFile(dir / "x.ndx", {true});
  EXPECT_TRUE(r.Ok()) << r.Text();
  EXPECT_EQ(r.entries.size(), 200u);
  GoTop();
  EXPECT_EQ(TzCurrentError(), 0);
  EXPECT_EQ(RecNo(), static_cast<std::int32_t>(r.entries.front().record));
}

TEST_F(NdxOpen, IndexInfoReadsTheHeaderAlone) {
  Table(12);
  MakeIndexExpr("NUM", dir / "i UNIQUE");
  IndexInfoRecord info;
  ASSERT_TRUE(IndexInfo(dir / "i", info));
  EXPECT_EQ(info.expression, "NUM");
  EXPECT_EQ(info.keyLength, 8);
  EXPECT_EQ(info.keyType, 'N');
  EXPECT_TRUE(info.unique);
  EXPECT_EQ(info.recordCount, 12);
  EXPECT_EQ(info.tableName, "t.dbf");
  EXPECT_EQ(IndexRecordCount(dir / "i"), 12);
  Patch(dir / "i.ndx", 488, std::string(4, '\0'));
  EXPECT_EQ(IndexRecordCount(dir / "i"), -1);
  EXPECT_FALSE(IndexInfo("", info));
  EXPECT_EQ(TzCurrentError(), 220);
  EXPECT_FALSE(IndexInfo(dir / "none", info));
  EXPECT_EQ(TzCurrentError(), 2);
}

TEST_F(NdxOpen, InstallingTwiceIsRefused) {
  IndexInit();
  EXPECT_EQ(TzCurrentError(), 254);
}

}  // namespace
}  // namespace zeb::xbase::test
