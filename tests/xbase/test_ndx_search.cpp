// Searching and stepping: random Finds against a sorted oracle, stepping in
// both directions, and the edge cases of the search.
#include <gtest/gtest.h>

#include <map>

#include "test_ndx_support.h"
#include "platform/codepage.h"

namespace zeb::xbase::test {
namespace {

class NdxSearch : public NdxTest {};

std::string RandomName(std::mt19937& rng) {
  static const char kLetters[] = "ABCabc";
  std::string s;
  int n = 1 + static_cast<int>(rng() % 10);
  for (int i = 0; i < n; ++i) s += kLetters[rng() % 6];
  return s;
}

std::string AsciiFold(std::string s, std::size_t k) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  s.resize(k, ' ');
  return s;
}

TEST_F(NdxSearch, RandomFindsMatchASortedOracle) {
  const std::string table = dir / "f.dbf";
  CreateTable(table, {Fd("NAME", 'C', 10)});
  USE(table + " EXCLUSIVE");
  std::mt19937 rng(11);
  std::vector<KeyRec> oracle;
  const int n = 5000;
  for (int i = 1; i <= n; ++i) {
    std::string name = RandomName(rng);
    AppendRow({name});
    oracle.push_back({AsciiFold(name, 10), static_cast<std::uint32_t>(i)});
  }
  std::sort(oracle.begin(), oracle.end(), CharLess);
  Index_On("NAME", dir / "f.ndx");
  ASSERT_EQ(TzCurrentError(), 0);
  for (int i = 0; i < 100000; ++i) {
    const bool exact = rng() % 2 == 0;
    std::string text = RandomName(rng);
    if (rng() % 3 == 0) text = oracle[rng() % oracle.size()].key.substr(0, 1 + rng() % 10);
    while (!text.empty() && text.back() == ' ' && rng() % 2) text.pop_back();
    if (exact) SetKeyPadding(); else ClearKeyPadding();
    const bool found = Find(text);
    ASSERT_EQ(TzCurrentError(), 0);
    // The oracle: the first key not below the search key (zero-padded, or
    // blank-padded when exact), equal over the compared length.
    std::string folded = AsciiFold(text, text.size());
    std::string search = exact ? AsciiFold(text, 10) : folded + std::string(10 - folded.size(), '\0');
    const std::size_t len = exact ? 10 : folded.size();
    auto it = std::lower_bound(oracle.begin(), oracle.end(), search,
                               [](const KeyRec& e, const std::string& k) { return e.key < k; });
    const bool want = it != oracle.end() && it->key.compare(0, len, search, 0, len) == 0;
    ASSERT_EQ(found, want) << i << " '" << text << "' exact " << exact;
    ASSERT_EQ(IndexFound(), want);
    if (want) {
      ASSERT_EQ(RecNo(), static_cast<std::int32_t>(it->record)) << i;
      ASSERT_FALSE(dEOF());
    } else {
      ASSERT_EQ(RecNo(), n + 1) << i;
      ASSERT_TRUE(dEOF());
    }
  }
  ClearKeyPadding();
  // Full stepping both ways equals the oracle's order.
  std::vector<std::int32_t> forward, backward;
  GoTop();
  while (!dEOF()) {
    forward.push_back(RecNo());
    SKIP(1);
  }
  GoBottom();
  while (!dBOF()) {
    backward.push_back(RecNo());
    SKIP(-1);
  }
  ASSERT_EQ(forward.size(), oracle.size());
  ASSERT_EQ(backward.size(), oracle.size());
  for (std::size_t i = 0; i < oracle.size(); ++i) {
    ASSERT_EQ(forward[i], static_cast<std::int32_t>(oracle[i].record)) << i;
    ASSERT_EQ(backward[oracle.size() - 1 - i], static_cast<std::int32_t>(oracle[i].record)) << i;
  }
}

TEST_F(NdxSearch, UmlautPrefixAndExactMatch) {
  const std::string table = dir / "m.dbf";
  CreateTable(table, {Fd("NAME", 'C', 6)});
  USE(table + " EXCLUSIVE");
  // Texts cross the engine in code page 1252; the table holds them in 850.
  for (const char* n : {"Maier", "Müller", "Mü", "Muff", "Mueck"}) AppendRow({FromUtf8(CodePage::Cp1252, n)});
  Index_On("NAME", dir / "m.ndx");
  ASSERT_EQ(TzCurrentError(), 0);
  const std::string mu = FromUtf8(CodePage::Cp1252, "Mü");
  EXPECT_TRUE(Find(mu));
  EXPECT_EQ(RecNo(), 3);  // "mue   " is the first key beginning with "mue"
  SetKeyPadding();
  EXPECT_TRUE(Find(mu));
  EXPECT_EQ(RecNo(), 3);
  EXPECT_TRUE(Find("Mue"));  // "mue" + blanks
  EXPECT_EQ(RecNo(), 3);
  EXPECT_FALSE(Find("Mu"));
  ClearKeyPadding();
  EXPECT_TRUE(Find(FromUtf8(CodePage::Cp1252, "MÜLLER")));
  EXPECT_EQ(RecNo(), 2);
  EXPECT_TRUE(Find("mueck"));
  EXPECT_EQ(RecNo(), 5);
}

TEST_F(NdxSearch, TrimmedKeysArePaddedWithBlanks) {
  const std::string table = dir / "t.dbf";
  CreateTable(table, {Fd("NAME", 'C', 10)});
  USE(table + " EXCLUSIVE");
  for (const char* n : {"Schulz", "Müller", "Ab"}) AppendRow({FromUtf8(CodePage::Cp1252, n)});
  AppendRow({"XXXXXXXXXX"});
  GO(4);  // a full-width value sets the key length
  Index_On("TRIM(NAME)", dir / "t.ndx");
  ASSERT_EQ(TzCurrentError(), 0);
  NdxReport r = CheckNdxFile(dir / "t.ndx", {true});
  ASSERT_TRUE(r.Ok()) << r.Text();
  ASSERT_EQ(r.keyLength, 10);
  EXPECT_EQ(r.entries[0].key, "ab        ");
  EXPECT_EQ(r.entries[1].key, "mueller   ");
  EXPECT_TRUE(Find(FromUtf8(CodePage::Cp1252, "Müller")));
  EXPECT_EQ(RecNo(), 2);
  SetKeyPadding();
  EXPECT_TRUE(Find(FromUtf8(CodePage::Cp1252, "Müller")));
  EXPECT_TRUE(Find("ab"));
  EXPECT_EQ(RecNo(), 3);
  ClearKeyPadding();
}

TEST_F(NdxSearch, NumericAndDateKeys) {
  SetDateFormat(5);
  SetCentury(true);
  const std::string table = dir / "n.dbf";
  CreateTable(table, {Fd("NUM", 'N', 8), Fd("D", 'D', 8)});
  USE(table + " EXCLUSIVE");
  AppendRow({"5", "20240307"});
  AppendRow({"-3", ""});
  AppendRow({"7", "19991231"});
  Poke("      -0", 1, 3);  // a stored minus zero
  Index_On("NUM", dir / "n.ndx");
  ASSERT_EQ(TzCurrentError(), 0);
  EXPECT_TRUE(Find("0"));
  EXPECT_EQ(RecNo(), 3);
  EXPECT_TRUE(Find("-3"));
  EXPECT_EQ(RecNo(), 2);
  EXPECT_FALSE(Find("4"));
  EXPECT_EQ(RecNo(), 4);
  Index_On("D", dir / "d.ndx");
  ASSERT_EQ(TzCurrentError(), 0);
  NdxReport r = CheckNdxFile(dir / "d.ndx", {true});
  ASSERT_TRUE(r.Ok()) << r.Text();
  EXPECT_EQ(r.entries[0].record, 2u);  // the blank date is 0.0: first
  EXPECT_EQ(NdxKeyNumber(r.entries[0].key), 0.0);
  EXPECT_EQ(NdxKeyNumber(r.entries[2].key), JulianFromYMD(2024, 3, 7));
  EXPECT_TRUE(Find(" 07.03.2024 "));
  EXPECT_EQ(RecNo(), 1);
  EXPECT_FALSE(Find("08.03.2024"));
}

TEST_F(NdxSearch, EdgesOfSearchAndStepping) {
  const std::string table = dir / "e.dbf";
  MakeNumberTable(table, {20, 10, 30, 10});
  USE(table + " EXCLUSIVE");
  Index_On("NUM", dir / "e.ndx");
  ASSERT_EQ(TzCurrentError(), 0);
  EXPECT_FALSE(Find("99"));  // above every key
  EXPECT_EQ(RecNo(), 5);
  EXPECT_TRUE(dEOF());
  EXPECT_FALSE(Find("1"));   // below every key
  EXPECT_EQ(RecNo(), 5);
  EXPECT_TRUE(Find("10"));   // equal keys: the lower record first
  EXPECT_EQ(RecNo(), 2);

  // The index's own steps through the hooks.
  IndexHookTable& h = IndexHooks();
  EXPECT_EQ(h.BottomRecord(), 3);
  EXPECT_EQ(h.NextRecord(), 3);  // off the end: the last record, end flag set
  EXPECT_TRUE(h.IndexEof());
  EXPECT_EQ(h.NextRecord(), 3);  // again: the bottom record, no position
  EXPECT_TRUE(h.IndexEof());
  EXPECT_EQ(h.PriorRecord(), 3);  // from no position: the last entry
  EXPECT_EQ(h.TopRecord(), 2);
  EXPECT_EQ(h.NextRecord(), 4);
  EXPECT_EQ(h.PriorRecord(), 2);
  EXPECT_EQ(h.PriorRecord(), 2);  // off the start: stays on the first
  EXPECT_TRUE(h.IndexBof());
  EXPECT_EQ(h.NextRecord(), 4);
  EXPECT_FALSE(h.IndexBof());
}

TEST_F(NdxSearch, EmptyTable) {
  const std::string table = dir / "0.dbf";
  MakeNumberTable(table, {});
  USE(table + " EXCLUSIVE");
  Index_On("NUM", dir / "0.ndx");
  ASSERT_EQ(TzCurrentError(), 0);
  IndexHookTable& h = IndexHooks();
  EXPECT_TRUE(h.IndexEof());
  EXPECT_TRUE(h.IndexBof());
  EXPECT_EQ(h.TopRecord(), 1);
  EXPECT_EQ(h.BottomRecord(), 1);
  EXPECT_EQ(h.NextRecord(), 1);
  EXPECT_EQ(h.PriorRecord(), 1);
  EXPECT_TRUE(h.IndexEof() && h.IndexBof());
  EXPECT_FALSE(Find("1"));
  GoTop();
  EXPECT_TRUE(dEOF());
}

TEST_F(NdxSearch, EqualKeysInRecordOrderAcrossLeaves) {
  const std::string table = dir / "q.dbf";
  std::vector<long long> values(200, 4);
  for (int i = 0; i < 200; i += 3) values[static_cast<std::size_t>(i)] = 1;
  MakeNumberTable(table, values);
  USE(table + " EXCLUSIVE");
  Index_On("NUM", dir / "q.ndx");
  std::vector<std::int32_t> got;
  for (GoTop(); !dEOF(); SKIP(1)) got.push_back(RecNo());
  std::vector<std::int32_t> want;
  for (int pass : {1, 4})
    for (int i = 0; i < 200; ++i)
      if (values[static_cast<std::size_t>(i)] == pass) want.push_back(i + 1);
  EXPECT_EQ(got, want);
}

TEST_F(NdxSearch, FindNeedsAnIndexAndIndexOrder) {
  const std::string table = dir / "x.dbf";
  MakeNumberTable(table, {1, 2});
  USE(table + " EXCLUSIVE");
  EXPECT_THROW(Find("1"), ETzError);  // raised: no index
  EXPECT_EQ(TzCurrentError(), 221);
  Index_On("NUM", dir / "x.ndx");
  Set_Order_To(0);
  EXPECT_FALSE(Find("1"));
  EXPECT_EQ(TzCurrentError(), 254);
  Set_Order_To(1);
  EXPECT_FALSE(Find(""));
  EXPECT_TRUE(Find("2"));
}

}  // namespace
}  // namespace zeb::xbase::test
