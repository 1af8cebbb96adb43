// AppendFrom another table with field conversion, and delimited text
// export and import.
#include <map>

#include "x2_support.h"

namespace zeb::xbase::test {
namespace {

// Memo unit stand-in: new memos get numbers from 500, copies add 1000.
class FakeMemo : public MemoHookTable {
 public:
  bool Installed() const override { return true; }
  std::int32_t AddMemo(std::string_view text) override {
    added.emplace_back(text);
    return 500 + static_cast<std::int32_t>(added.size());
  }
  std::int32_t CopyMemoAppend(WorkArea&, std::int32_t block) override { return block + 1000; }
  std::vector<std::string> added;
};

class AppendFromTest : public AreaTest {
 protected:
  void SetUp() override {
    AreaTest::SetUp();
    memo = std::make_shared<FakeMemo>();
    SetMemoHooks(memo);
    SetDateFormat(5);
  }
  std::shared_ptr<FakeMemo> memo;
};

TEST_F(AppendFromTest, SameStructureCopiesRecordsAndMarks) {
  MakeNumbered(dir / "src.dbf", 4, {2});
  CreateTable(dir / "dst.dbf", {Fd("NAME", 'C', 10), Fd("NUM", 'N', 5)});
  USE(dir / "dst.dbf exclusive");
  AppendFrom(dir / "SRC");  // name resolved ignoring case, extension added
  ASSERT_EQ(TzCurrentError(), 0);
  EXPECT_EQ(RecCount(), 4);
  EXPECT_EQ(CurrentArea(), 1);
  EXPECT_EQ(AreaAt(35), nullptr);
  GO(2);
  EXPECT_TRUE(Deleted());
  EXPECT_EQ(StoredField(1), "R2        ");
  // A source open elsewhere that hides deleted records: they stay behind.
  Select(2);
  USE(dir / "src.dbf");
  SetIgnoreDel(true);
  Select(1);
  AppendFrom(dir / "src.dbf");
  EXPECT_EQ(RecCount(), 7);
  // Errors: itself, missing.
  AppendFrom(dir / "dst.dbf");
  EXPECT_EQ(TzCurrentError(), 214);
  AppendFrom(dir / "none.dbf");
  EXPECT_EQ(TzCurrentError(), 2);
  EXPECT_EQ(TzTakeLastErrorText(), "[AppendFrom(" + dir / "none.dbf" + ")]");
  EXPECT_EQ(AreaAt(35), nullptr);
  // Shared destination: Append's lock rule applies.
  CloseArea();
  USE(dir / "dst.dbf");
  AppendFrom(dir / "src.dbf");
  EXPECT_EQ(TzCurrentError(), 5);
  EXPECT_EQ(RecCount(), 7);
}

TEST_F(AppendFromTest, FieldsAreConverted) {
  SetCentury(true);
  CreateTable(dir / "s.dbf", {Fd("NC", 'N', 8, 2), Fd("NI", 'N', 6), Fd("LC", 'L', 1), Fd("DC", 'D', 8),
                              Fd("CN", 'C', 12), Fd("RI", 'N', 8, 2), Fd("IR", 'N', 5), Fd("DD", 'C', 10),
                              Fd("DX", 'C', 10), Fd("LN", 'N', 3), Fd("MC", 'C', 12), Fd("MM", 'M', 10)});
  CreateTable(dir / "d.dbf", {Fd("NC", 'C', 5), Fd("NI", 'C', 6), Fd("LC", 'C', 1), Fd("DC", 'C', 8),
                              Fd("CN", 'N', 8, 2), Fd("RI", 'N', 5), Fd("IR", 'N', 8, 2), Fd("DD", 'D', 8),
                              Fd("DX", 'D', 8), Fd("LN", 'L', 1), Fd("MC", 'M', 10), Fd("MM", 'M', 10),
                              Fd("XX", 'C', 3)});
  USE(dir / "s.dbf exclusive");
  AppendRow({"123.45", "42", "T", "20260131", "12.5", "7.9", "3", "31.01.26", "31.02.26", "1", "memo text"});
  SetBufferInteger(*CurrentWorkArea(), 12, 7);
  Replace();
  CloseArea();
  USE(dir / "d.dbf exclusive");
  AppendFrom(dir / "s.dbf");
  ASSERT_EQ(TzCurrentError(), 0);
  GO(1);
  const char* expected[] = {"*****", "    42", "T", "31.01.26", "   12.50", "    7", "    3.00",
                            "20260131", "        ", "F", "       501", "      1007", "   "};
  for (int i = 1; i <= 13; ++i) EXPECT_EQ(StoredField(i), expected[i - 1]) << i;
  EXPECT_EQ(memo->added, (std::vector<std::string>{"memo text"}));
  // Year first (format 1): the century digits come off the front.
  SetDateFormat(1);
  AppendFrom(dir / "s.dbf");
  GO(2);
  EXPECT_EQ(StoredField(4), "26.01.31");
}

class TextTest : public AreaTest {
 protected:
  void SetUp() override {
    AreaTest::SetUp();
    SetMemoHooks(std::make_shared<FakeMemo>());
    SetDateFormat(5);
  }
  void MakeTable(const std::string& path) {
    CreateTable(path, {Fd("NOTE1", 'M', 10), Fd("NAME", 'C', 12), Fd("NOTE2", 'M', 10), Fd("SIZE", 'N', 6, 2),
                       Fd("DAY", 'D', 8), Fd("OK", 'L', 1), Fd("NOTE3", 'M', 10)});
  }
};

TEST_F(TextTest, ExportHasTheExpectedBytesAndReadsBack) {
  MakeTable(dir / "t.dbf");
  USE(dir / "t.dbf exclusive");
  AppendRow({"", "Meier", "", "1.5", "20260131", "T"});
  AppendRow({"", "Bonn, Rhein", "", "-2.25", "", "F"});
  AppendRow({"", "Müller"_ansi, "", "0", "19991231", "T"});
  CopyToText(dir / "out", true);
  ASSERT_EQ(TzCurrentError(), 0);
  EXPECT_TRUE(dEOF());
  EXPECT_EQ(ReadBytes(dir / "out.TXT"),
            "\"NAME\",\"SIZE\",\"DAY\",\"OK\"\r\n"
            "\"Meier\",1.50,20260131,T\r\n"
            "\"Bonn, Rhein\",-2.25,,F\r\n"
            "\"M\xFCller\",0.00,19991231,T\r\n\x1A");
  CopyToTextPlain(dir / "plain.txt");
  MakeTable(dir / "u.dbf");
  Select(2);
  USE(dir / "u.dbf exclusive");
  AppendFromText(dir / "plain.txt", false);
  ASSERT_EQ(TzCurrentError(), 0);
  ASSERT_EQ(RecCount(), 3);
  for (int r = 1; r <= 3; ++r) {
    Select(1);
    GO(r);
    std::string a = CurrentWorkArea()->stored;
    Select(2);
    GO(r);
    EXPECT_EQ(CurrentWorkArea()->stored, a) << r;
  }
}

TEST_F(TextTest, ImportEdgeCases) {
  CreateTable(dir / "i.dbf", {Fd("NAME", 'C', 10), Fd("SIZE", 'N', 6, 2), Fd("DAY", 'D', 8)});
  USE(dir / "i.dbf exclusive");
  WriteBytes(dir / "in.txt",
             "\"A,B\",1.5,20260131\r\n"
             "short\r"
             "next,2\n"
             "\n"
             "ABCDEFGHIJKL,junk,31.02.26\r\n"
             "  \"open quote,9\r\n"
             "\x1A");
  AppendFromText(dir / "in.txt", false);
  ASSERT_EQ(TzCurrentError(), 0);
  ASSERT_EQ(RecCount(), 5);
  auto row = [](int r) {
    GO(r);
    return StoredField(1) + "|" + StoredField(2) + "|" + StoredField(3);
  };
  EXPECT_EQ(row(1), "A,B       |  1.50|20260131");
  EXPECT_EQ(row(2), "short     |  0.00|        ");
  EXPECT_EQ(row(3), "next      |  2.00|        ");
  EXPECT_EQ(row(4), "ABCDEFGHIJ|  0.00|        ");
  EXPECT_EQ(row(5), "open quote|  0.00|        ");
  // A 1 MB line and a 10 000-character quoted field are cut to the fields.
  WriteBytes(dir / "big.txt", std::string(1 << 20, 'L') + ",3\r\n\"" + std::string(10000, 'Q') + "\",4\r\n");
  AppendFromText(dir / "big.txt", false);
  ASSERT_EQ(RecCount(), 7);
  EXPECT_EQ(row(6), "LLLLLLLLLL|  3.00|        ");
  EXPECT_EQ(row(7), "QQQQQQQQQQ|  4.00|        ");
  AppendFromText(dir / "missing.txt", false);
  EXPECT_EQ(TzCurrentError(), 2);
  EXPECT_EQ(TzTakeLastErrorText(), dir / "missing.txt [AppendFromText]");
  EXPECT_EQ(RecCount(), 7);
}

TEST_F(TextTest, ProgressStepsByTheHundredthOfTheFile) {
  CreateTable(dir / "p.dbf", {Fd("NAME", 'C', 10), Fd("SIZE", 'N', 6, 2)});
  USE(dir / "p.dbf exclusive");
  auto cb = std::make_shared<HeadlessTzCallback>();
  SetTzCallback(cb);
  WriteBytes(dir / "ten.txt", "x,1\r\ny,2\r\n");
  AppendFromText(dir / "ten.txt", true);
  EXPECT_EQ(RecCount(), 2);
  int shows = 0;
  std::string last;
  for (const auto& e : cb->events)
    if (e.kind == "show") {
      ++shows;
      EXPECT_EQ(e.caption, "Appending...");
      last = e.text;
    }
  EXPECT_EQ(shows, 11);  // the full bar, then one step per byte
  EXPECT_EQ(last, std::string(90, '|'));
  EXPECT_EQ(cb->events.back().kind, "close");
}

}  // namespace
}  // namespace zeb::xbase::test
