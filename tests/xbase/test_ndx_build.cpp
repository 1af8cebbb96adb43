// Building index files: the bottom-up layout byte for byte, unique keys,
// runs through the work file, the header, progress and failures.
#include <gtest/gtest.h>

#include <map>

#include "test_ndx_support.h"

namespace zeb::xbase::test {
namespace {

// The bottom-up pass worked out independently: leaves filled in order, a
// full node's number carried one level up (into the right-most child field
// when that node is full too), then the partial nodes closed bottom up.
struct RefLayout {
  std::map<std::uint32_t, std::string> blocks;
  std::uint32_t root = 0;
};

RefLayout BottomUp(const std::vector<KeyRec>& items, int k, int kpn) {
  const int item = (k + 8 + 3) / 4 * 4;
  RefLayout out;
  std::uint32_t next = 1;
  std::vector<std::string> level(1, std::string(512, '\0'));
  auto put32 = [](std::string& n, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) n[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  auto count = [](const std::string& n) { return static_cast<int>(static_cast<unsigned char>(n[0])); };
  auto setCount = [](std::string& n, int c) { n[0] = static_cast<char>(c); };
  auto emit = [&](std::size_t lv) {
    std::uint32_t b = next++;
    out.blocks[b] = level[lv];
    level[lv] = std::string(512, '\0');
    return b;
  };
  for (const auto& it : items) {
    if (count(level[0]) == kpn) {
      std::string last = level[0].substr(4 + (kpn - 1) * item + 8, k);
      std::uint32_t b = emit(0);
      for (std::size_t lv = 1;; ++lv) {
        if (lv == level.size()) level.emplace_back(512, '\0');
        int c = count(level[lv]);
        put32(level[lv], 4 + c * item, b);
        if (c < kpn) {
          level[lv].replace(4 + c * item + 8, k, last);
          setCount(level[lv], c + 1);
          break;
        }
        b = emit(lv);
      }
    }
    int c = count(level[0]);
    put32(level[0], 4 + c * item + 4, it.record);
    level[0].replace(4 + c * item + 8, k, it.key);
    setCount(level[0], c + 1);
  }
  std::uint32_t last = emit(0);
  for (std::size_t lv = 1; lv < level.size(); ++lv) {
    int c = count(level[lv]);
    if (c == 0) continue;
    put32(level[lv], 4 + c * item, last);
    last = emit(lv);
  }
  out.root = last;
  return out;
}

class NdxBuild : public NdxTest {};

TEST_F(NdxBuild, FreshBuildsMatchTheBottomUpLayout) {
  for (int n : {0, 31, 32, 993}) {
    SCOPED_TRACE(n);
    const std::string table = dir / ("n" + std::to_string(n) + ".dbf");
    std::vector<long long> values;
    for (int i = 0; i < n; ++i) values.push_back((i * 7919) % 1000 - 500);  // duplicates included
    MakeNumberTable(table, values);
    USE(table + " EXCLUSIVE");
    const std::string index = dir / ("n" + std::to_string(n) + ".ndx");
    Index_On("NUM", index);
    ASSERT_EQ(TzCurrentError(), 0) << Engine().lastErrorText;
    CloseArea();

    std::vector<KeyRec> want;
    for (int i = 0; i < n; ++i) want.push_back({NumKey(static_cast<double>(values[static_cast<std::size_t>(i)])),
                                               static_cast<std::uint32_t>(i + 1)});
    std::sort(want.begin(), want.end(), NumLess);
    RefLayout ref = BottomUp(want, 8, 31);

    NdxReport r = CheckNdxFile(index, {true});
    ASSERT_TRUE(r.Ok()) << r.Text();
    EXPECT_EQ(r.root, ref.root);
    EXPECT_EQ(r.nextFree, r.root + 1);
    EXPECT_EQ(r.fileSize, (r.root + 1) * 512ull);
    EXPECT_EQ(r.keyType, 'N');
    EXPECT_TRUE(SameEntries(Entries(r), want));
    const std::string bytes = ReadBytes(index);
    for (const auto& [block, node] : ref.blocks) EXPECT_EQ(bytes.substr(block * 512, 512), node) << "block " << block;
  }
  // Worked by hand: 993 = 32 full leaves + 1; the level-1 node (block 33)
  // is full, the last leaf (34) is the root's (35) right-most child.
  const std::string bytes = ReadBytes(dir / "n993.ndx");
  auto u32 = [&](std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
    return v;
  };
  EXPECT_EQ(u32(0), 35u);
  EXPECT_EQ(u32(4), 36u);
  EXPECT_EQ(bytes[35 * 512], 1);
  EXPECT_EQ(u32(35 * 512 + 4), 33u);       // child of the one entry
  EXPECT_EQ(u32(35 * 512 + 4 + 16), 34u);  // right-most child: a leaf
  EXPECT_EQ(bytes[34 * 512], 1);
  EXPECT_EQ(u32(34 * 512 + 4), 0u);
  EXPECT_EQ(bytes[33 * 512], 31);
  EXPECT_EQ(u32(33 * 512 + 4 + 31 * 16), 32u);
}

TEST_F(NdxBuild, UniqueKeepsTheLowestRecordOfEachKey) {
  const std::string table = dir / "u.dbf";
  CreateTable(table, {Fd("NAME", 'C', 3)});
  USE(table + " EXCLUSIVE");
  for (const char* n : {"B", "A", "B", "a"}) AppendRow({n});
  Index_On("NAME", dir / "u.ndx UNIQUE");
  ASSERT_EQ(TzCurrentError(), 0);
  CloseArea();
  NdxReport r = CheckNdxFile(dir / "u.ndx", {true});
  ASSERT_TRUE(r.Ok()) << r.Text();
  EXPECT_TRUE(r.unique);
  // Character keys fold to lower case: "A" and "a" are one key.
  ASSERT_EQ(r.entries.size(), 2u);
  EXPECT_EQ(r.entries[0].key, "a  ");
  EXPECT_EQ(r.entries[0].record, 2u);
  EXPECT_EQ(r.entries[1].key, "b  ");
  EXPECT_EQ(r.entries[1].record, 1u);
}

TEST_F(NdxBuild, RunsThroughTheWorkFileGiveTheSameFile) {
  const std::string table = dir / "w.dbf";
  std::mt19937 rng(7);
  std::vector<long long> values;
  for (int i = 0; i < 2000; ++i) values.push_back(static_cast<long long>(rng() % 300));
  MakeNumberTable(table, values);
  USE(table + " EXCLUSIVE");
  MakeIndexExpr("NUM", dir / "one.ndx");
  const auto runsBefore = IndexCounter().workFileRuns;
  SetIndexBuildRunItems(37);
  MakeIndexExpr("NUM", dir / "many.ndx");
  ASSERT_EQ(TzCurrentError(), 0);
  EXPECT_EQ(IndexCounter().workFileRuns - runsBefore, (2000 + 36) / 37);
  CloseArea();
  EXPECT_EQ(ReadBytes(dir / "one.ndx"), ReadBytes(dir / "many.ndx"));
  NdxReport r = CheckNdxFile(dir / "many.ndx", {true});
  EXPECT_TRUE(r.Ok()) << r.Text();
  EXPECT_EQ(r.entries.size(), 2000u);
}

TEST_F(NdxBuild, HeaderFieldsAndExtension) {
  const std::string table = dir / "LONGNAME.DBF";  // 12 characters
  CreateTable(table, {Fd("NAME", 'C', 10), Fd("WIDE", 'C', 100), Fd("D", 'D', 8)});
  USE(table + " EXCLUSIVE");
  MakeIndexExpr("NAME", dir / "a");
  MakeIndexExpr("WIDE", dir / "b.idx");
  MakeIndexExpr("D", dir / "c");
  ASSERT_EQ(TzCurrentError(), 0) << Engine().lastErrorText;
  CloseArea();
  NdxReport a = CheckNdxFile(dir / "a.ndx", {true});  // default extension
  ASSERT_TRUE(a.Ok()) << a.Text();
  EXPECT_EQ(a.keyLength, 10);
  EXPECT_EQ(a.itemSize, 20);
  EXPECT_EQ(a.keysPerNode, 25);
  EXPECT_EQ(a.expression, "NAME");
  EXPECT_TRUE(a.extensionValid);
  EXPECT_EQ(a.recordCount, 0u);
  EXPECT_EQ(a.tableName, "LONGNAME.DBF");
  const std::string bytes = ReadBytes(dir / "a.ndx");
  EXPECT_EQ(bytes.substr(488, 4), std::string(4, '\xff'));
  EXPECT_EQ(bytes.substr(508, 4), std::string(4, '\0'));
  EXPECT_EQ(bytes.size(), 1024u);  // an empty leaf as root (block 1)
  EXPECT_EQ(a.root, 1u);
  NdxReport b = CheckNdxFile(dir / "b.idx", {true});
  EXPECT_EQ(b.itemSize, 108);
  EXPECT_EQ(b.keysPerNode, 4);
  NdxReport c = CheckNdxFile(dir / "c.ndx", {true});
  EXPECT_EQ(c.keyType, 'D');
  EXPECT_TRUE(c.numeric);
  EXPECT_EQ(c.itemSize, 16);
  EXPECT_EQ(c.keysPerNode, 31);
}

TEST_F(NdxBuild, KeyLengthZeroKeepsRecordOrder) {
  const std::string table = dir / "z.dbf";
  CreateTable(table, {Fd("NAME", 'C', 5)});
  USE(table + " EXCLUSIVE");
  for (const char* n : {"", "B", "A"}) AppendRow({n});
  GO(1);  // a blank name: TRIM gives a key of length 0
  MakeIndexExpr("TRIM(NAME)", dir / "z.ndx");
  ASSERT_EQ(TzCurrentError(), 0);
  CloseArea();
  NdxReport r = CheckNdxFile(dir / "z.ndx", {true});
  ASSERT_TRUE(r.Ok()) << r.Text();
  EXPECT_EQ(r.keyLength, 0);
  ASSERT_EQ(r.entries.size(), 3u);
  for (std::uint32_t i = 0; i < 3; ++i) EXPECT_EQ(r.entries[i].record, i + 1);
}

TEST_F(NdxBuild, ExpressionRules) {
  const std::string table = dir / "e.dbf";
  CreateTable(table, {Fd("NAME", 'C', 10), Fd("OK", 'L', 1)});
  USE(table + " EXCLUSIVE");
  AppendRow({"x", "T"});
  std::string e100 = "UPPER(NAME)" + std::string(89, ' ');
  MakeIndexExpr(e100, dir / "e100.ndx");
  EXPECT_EQ(TzCurrentError(), 0);
  MakeIndexExpr(e100 + " ", dir / "e101.ndx");
  EXPECT_EQ(TzCurrentError(), 300);
  MakeIndexExpr("OK", dir / "l.ndx");
  EXPECT_EQ(TzCurrentError(), 254);
  EXPECT_NE(Engine().lastErrorText.find("Parser-Return-Typ"), std::string::npos);
  MakeIndexExpr("NAME +", dir / "s.ndx");
  EXPECT_EQ(TzCurrentError(), 351);
  MakeIndexExpr("", dir / "s.ndx");
  EXPECT_EQ(TzCurrentError(), 254);
  MakeIndexExpr("NAME", "");
  EXPECT_EQ(TzCurrentError(), 220);
  MakeIndexExpr("NAME+NAME+NAME+NAME+NAME+NAME+NAME+NAME+NAME+NAME+NAME", dir / "long.ndx");
  EXPECT_EQ(TzCurrentError(), 266);
  for (const char* f : {"e101.ndx", "l.ndx", "s.ndx", "long.ndx"}) EXPECT_FALSE(FileExistsTz(dir / f)) << f;
}

TEST_F(NdxBuild, OpenIndexNameInAnotherAreaIsRefused) {
  const std::string table = dir / "o.dbf";
  MakeNumberTable(table, {3, 1, 2});
  Select(1);
  USE(table + " ALIAS A1");
  Index_On("NUM", dir / "o.ndx");
  ASSERT_EQ(TzCurrentError(), 0);
  Select(2);
  USE(table + " ALIAS A2");
  MakeIndexExpr("NUM", dir / "o.ndx");
  EXPECT_EQ(TzCurrentError(), 214);
}

TEST_F(NdxBuild, ProgressIsCalledExactlyStepsTimes) {
  const std::string table = dir / "p.dbf";
  std::vector<long long> values(250);
  for (int i = 0; i < 250; ++i) values[static_cast<std::size_t>(i)] = 250 - i;
  MakeNumberTable(table, values);
  USE(table + " EXCLUSIVE");
  for (int steps : {1, 7, 100, 1000}) {
    int calls = 0;
    SetIndexProgress([&] { ++calls; }, steps);
    MakeIndexExpr("NUM", dir / "p.ndx");
    EXPECT_EQ(calls, steps);
  }
  CloseArea();
  MakeNumberTable(dir / "p0.dbf", {});
  USE(dir / "p0.dbf EXCLUSIVE");
  int calls = 0;
  SetIndexProgress([&] { ++calls; }, 5);
  MakeIndexExpr("NUM", dir / "p0.ndx");
  EXPECT_EQ(calls, 5);
  SetIndexProgress({}, 0);
}

TEST_F(NdxBuild, AFailedBuildLeavesNoFile) {
  const std::string table = dir / "f.dbf";
  std::vector<long long> values(500, 1);
  MakeNumberTable(table, values);
  USE(table + " EXCLUSIVE");
  SetIndexWriteFault([](int slot, std::uint32_t) { return slot == 0 ? ENOSPC : 0; });
  ClearWriteFailure();
  MakeIndexExpr("NUM", dir / "f.ndx");
  EXPECT_EQ(TzCurrentError(), 101);
  EXPECT_FALSE(FileExistsTz(dir / "f.ndx"));
  // Told on the index, with the full disk as its cause.
  EXPECT_NE(TzTakeLastErrorText().find("f.ndx"), std::string::npos);
  EXPECT_EQ(LastWriteFailure().err, ENOSPC);
  EXPECT_EQ(LastWriteFailure().file, dir / "f.ndx");
  SetIndexWriteFault({});
  SetIndexTo(dir / "f.ndx", 1);
  EXPECT_EQ(TzCurrentError(), 2);
  MakeIndexExpr("NUM", dir / "f.ndx");
  EXPECT_EQ(TzCurrentError(), 0);
  EXPECT_TRUE(CheckNdxFile(dir / "f.ndx", {true}).Ok());
}

}  // namespace
}  // namespace zeb::xbase::test
