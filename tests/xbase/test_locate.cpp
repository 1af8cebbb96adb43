// Locate and Continue over C, N, D and L fields with NOCASE, EXACT and
// CONTAINED; LocateFields over two fields.
#include "x2_support.h"

namespace zeb::xbase::test {
namespace {

class LocateTest : public AreaTest {
 protected:
  void SetUp() override {
    AreaTest::SetUp();
    SetDateFormat(5);
    SetCentury(false);
    CreateTable(dir / "l.dbf", {Fd("NAME", 'C', 10), Fd("NUM", 'N', 6, 2), Fd("DAY", 'D', 8), Fd("OK", 'L', 1)});
    USE(dir / "l.dbf exclusive");
    AppendRow({"Abc", "1.5", "20260131", "T"});
    AppendRow({"ABC", "2", "20250101", "F"});
    AppendRow({"xabcx", "1.5", "", "F"});
    AppendRow({"Müller"_ansi, "10", "20260131", "T"});
    AppendRow({"AB", "0", "", "T"});
    GoTop();
  }
};

TEST_F(LocateTest, CharacterOptions) {
  EXPECT_TRUE(LocateValue("NAME", std::string("AB"), false, 1, false));
  EXPECT_EQ(RecNo(), 2);  // "AB" finds "ABC"
  EXPECT_TRUE(LocateValue("name", std::string("ab"), true, 1, false));
  EXPECT_EQ(RecNo(), 1);
  EXPECT_TRUE(LocateValue("NAME", std::string("AB"), false, 1, true));
  EXPECT_EQ(RecNo(), 5);  // EXACT: padded to the field length
  EXPECT_TRUE(LocateValue("NAME", std::string("MÜLLER"_ansi), true, 1, false));
  EXPECT_EQ(RecNo(), 4);  // stored in code page 850
  EXPECT_FALSE(LocateValue("NAME", std::string("MÜLLER"_ansi), false, 1, false));
  EXPECT_TRUE(dEOF());

  int f = Locate("name contained nocase");
  ASSERT_EQ(f, 1);
  SetLocateText("bC");
  LocateFrom(1, f, true);
  std::vector<int> hits;
  while (!dEOF()) {
    hits.push_back(RecNo());
    Continue();
  }
  EXPECT_EQ(hits, (std::vector<int>{1, 2, 3}));
  Continue();  // right after a miss
  EXPECT_EQ(TzCurrentError(), 220);
  EXPECT_EQ(TzTakeLastErrorText(), "Call to CONTINUE not preceeded by call to LOCATE. [Continue]");
  EXPECT_EQ(Locate("nothing"), 0);
  EXPECT_EQ(TzCurrentError(), 220);
  EXPECT_EQ(Locate(" nocase"), 0);
  EXPECT_EQ(TzTakeLastErrorText(), "No field name specified [Locate/Count/Sum]");
}

TEST_F(LocateTest, NumbersDatesLogicals) {
  EXPECT_TRUE(LocateValue("NUM", 1.5L, false, 1, false));
  EXPECT_EQ(RecNo(), 1);
  Continue();
  EXPECT_EQ(RecNo(), 3);
  EXPECT_TRUE(LocateValue("NUM", std::int64_t{10}, false, 1, true));
  EXPECT_EQ(RecNo(), 4);
  EXPECT_TRUE(LocateValue("DAY", std::string("31.01.26"), false, 2, false));
  EXPECT_EQ(RecNo(), 4);
  EXPECT_TRUE(LocateValue("OK", false, false, 1, false));
  EXPECT_EQ(RecNo(), 2);
  Continue();
  EXPECT_EQ(RecNo(), 3);
  Continue();
  EXPECT_TRUE(dEOF());
  // A matching deleted record is passed over when deleted records are hidden.
  GO(1);
  DeleteRec();
  SetIgnoreDel(true);
  EXPECT_TRUE(LocateValue("NUM", 1.5L, false, 1, false));
  EXPECT_EQ(RecNo(), 3);
}

TEST_F(LocateTest, SeveralFieldsMatchTogether) {
  GO(2);
  EXPECT_TRUE(LocateFields("NUM;OK", {1.5L, false}, false, true, false));
  EXPECT_EQ(RecNo(), 3);  // record 1 matches only NUM
  GO(2);
  EXPECT_TRUE(LocateFields("NUM;OK", {1.5L, false}, false, false, false));
  EXPECT_EQ(RecNo(), 2);  // without move: back where it began
  EXPECT_FALSE(LocateFields("NAME;OK", {std::string("AB"), false}, false, true, true));
  EXPECT_EQ(RecNo(), 2);
  EXPECT_TRUE(LocateFields("NAME;OK", {std::string("ab"), true}, true, true, false));
  EXPECT_EQ(RecNo(), 1);
}

}  // namespace
}  // namespace zeb::xbase::test
