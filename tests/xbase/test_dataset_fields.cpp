// Field values and table structure of the datasets: normalisation of field
// definitions, the structure list, tables created from it (read back by
// python3-dbfread), the dataset unit's start-up and the date conversions.
#include "base/support_decimal.h"
#include "dataset_support.h"
#include "xbase/dataset/filedataset.h"
#include "xbase/dataset/tzfields.h"

namespace zeb::xbase::test {
namespace {

using FieldsTest = DatasetTest;

bool HaveDbfread() {
  std::string out;
  return RunCommand("/usr/bin/python3 -c 'import dbfread' 2>&1", out) == 0;
}

TEST_F(FieldsTest, NormalisationCorrectsOnceAndReports) {
  struct Case {
    DbfFieldDef in;
    DbfFieldDef out;
  };
  const Case cases[] = {
      {{"A", 'B', 10, 0}, {"A", 'M', 10, 0}},
      {{"A", 'G', 10, 0}, {"A", 'M', 10, 0}},
      {{"A", 'P', 10, 0}, {"A", 'M', 10, 0}},
      {{"A", 'X', 5, 0}, {"A", 'C', 5, 0}},
      {{"A", 'C', 300, 0}, {"A", 'C', 254, 0}},
      {{"A", 'N', 25, 2}, {"A", 'N', 20, 2}},
      {{"A", 'N', 20, 19}, {"A", 'N', 20, 18}},
      {{"A", 'N', 1, 1}, {"A", 'N', 1, 0}},  // length - 2 would be -1
      {{"A", 'N', 3, 2}, {"A", 'N', 3, 1}},
      {{"A", 'N', 0, 0}, {"A", 'N', 1, 0}},
      {{"A", 'N', 8, 2}, {"A", 'N', 8, 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(FormatDbfFieldLine(c.in));
    callback->events.clear();
    DbfFieldDef d = c.in;
    const bool changed = NormaliseFieldDef(d, "TBL");
    EXPECT_EQ(d.type, c.out.type);
    EXPECT_EQ(d.length, c.out.length);
    EXPECT_EQ(d.decimals, c.out.decimals);
    EXPECT_EQ(changed, c.in.type != c.out.type || c.in.length != c.out.length || c.in.decimals != c.out.decimals);
    EXPECT_EQ(static_cast<int>(Boxes().size()), changed ? 1 : 0);
  }
  callback->events.clear();
  DbfFieldDef c300{"NAME", 'C', 300, 0};
  NormaliseFieldDef(c300, "TBL");
  ASSERT_EQ(Boxes().size(), 1u);
  // In German (Windows text), naming the table.
  EXPECT_EQ(Boxes()[0], "Tabelle TBL: Feld NAME,C,300,0 ung\xFCltig, verwendet wird NAME,C,254,0");
  // Message mode 1: nothing shown.
  EXPECT_EQ(SetMessageMode(1), 2);
  callback->events.clear();
  NormaliseFieldDef(c300 = {"NAME", 'C', 300, 0}, "TBL");
  EXPECT_TRUE(Boxes().empty());
  SetMessageMode(2);
}

TEST_F(FieldsTest, DbfFieldsLinesAndBadInput) {
  std::vector<DbfFieldDef> defs;
  EXPECT_TRUE(ParseDbfFields({"name, c, 20, 0", " N1 ,N, 8 , 2", "SKIPPED, X, 1, 0", "TXT, M, 10, 0"}, true, "T",
                             defs));
  ASSERT_EQ(defs.size(), 3u);
  EXPECT_EQ(FormatDbfFieldLine(defs[0]), "NAME, C, 20, 0");
  EXPECT_EQ(FormatDbfFieldLine(defs[1]), "N1, N, 8, 2");
  EXPECT_EQ(FormatDbfFieldLine(defs[2]), "TXT, N, 10, 0");  // memo as number
  EXPECT_FALSE(ParseDbfFields({"NAME, C, 20"}, false, "T", defs));
  EXPECT_FALSE(ParseDbfFields({"NAME, C, 20, 0, 1"}, false, "T", defs));
  EXPECT_FALSE(ParseDbfFields({"NAME, C, twenty, 0"}, false, "T", defs));
  EXPECT_FALSE(ParseDbfFields({", C, 20, 0"}, false, "T", defs));
  // Odd values are corrected, never taken as they are.
  ASSERT_TRUE(ParseDbfFields({"LONGERNAME123, C, 99999, 0", "A, C, -1, 0", "B, N, 5, 9", "C, C, 0, 0"}, false, "T",
                             defs));
  EXPECT_EQ(defs[0].name, "LONGERNAME");
  EXPECT_EQ(defs[0].length, 254);
  EXPECT_EQ(defs[1].length, 1);
  EXPECT_EQ(defs[2].decimals, 3);
  EXPECT_EQ(defs[3].length, 1);
  std::vector<std::string> many(300, "F, N, 3, 0");
  ASSERT_TRUE(ParseDbfFields(many, false, "T", defs));
  EXPECT_EQ(defs.size(), 255u);
}

TEST_F(FieldsTest, CreateTableFromDbfFieldsIsReadByDbfread) {
  callback->events.clear();
  EXPECT_FALSE(CreateTableFromDbfFields(nullptr, dir / "a.dbf", false, "T"));
  std::vector<std::string> none;
  EXPECT_FALSE(CreateTableFromDbfFields(&none, dir / "a.dbf", false, "T"));
  ASSERT_EQ(Boxes().size(), 2u);
  EXPECT_EQ(Boxes()[0], "DbfFieldList ist Nil beim Versuch, eine Datenbank zu erzeugen");
  EXPECT_EQ(Boxes()[1], "FieldList.Count ist <= 0 beim Versuch, eine Datenbank zu erzeugen");
  std::vector<std::string> bad{"NAME, C, 20"};
  EXPECT_FALSE(CreateTableFromDbfFields(&bad, dir / "a.dbf", false, "T"));
  EXPECT_FALSE(std::filesystem::exists(dir / "a.dbf"));

  std::vector<std::string> lines{"NAME, C, 300, 0", "PRICE, N, 8, 2", "DAY, D, 8, 0", "OK, L, 1, 0",
                                 "NOTE, M, 10, 0", "ONE, N, 1, 1", "GONE, X, 1, 0"};
  const std::string path = dir / "made.dbf";
  ASSERT_TRUE(CreateTableFromDbfFields(&lines, path, false, "T"));
  const std::string vpath = dir / "vmade.dbf";
  ASSERT_TRUE(CreateTableFromDbfFields(&lines, vpath, true, "T"));
  if (!HaveDbfread()) GTEST_SKIP() << "/usr/bin/python3 with dbfread is missing";
  std::string out;
  ASSERT_EQ(RunPython(dir,
                      "import dbfread\n"
                      "for p in ['" + path + "', '" + vpath + "']:\n"
                      "    t = dbfread.DBF(p, load=True)\n"
                      "    print(' '.join('%s:%s:%d:%d' % (f.name, f.type, f.length, f.decimal_count) for f in t.fields))\n",
                      out),
            0)
      << out;
  EXPECT_EQ(out,
            "NAME:C:254:0 PRICE:N:8:2 DAY:D:8:0 OK:L:1:0 NOTE:M:10:0 ONE:N:1:0\n"
            "NAME:C:254:0 PRICE:N:8:2 DAY:D:8:0 OK:L:1:0 NOTE:N:10:0 ONE:N:1:0\n");
}

TEST_F(FieldsTest, StartUpTakesTheShortDateFormat) {
  struct Case {
    const char* format;
    int code;
    bool century;
  };
  for (const Case& c : {Case{"dd.MM.yyyy", 5, true}, Case{"yyyy-MM-dd", 1, true}, Case{"dd-MM-yy", 3, false},
                        Case{"dd/MM/yy", 2, false}, Case{"MM/dd/yy", 0, false}, Case{"DD.MM.YYYY", 5, true}}) {
    SCOPED_TRACE(c.format);
    ApplyShortDateFormat(c.format);
    EXPECT_EQ(DateFormat(), c.code);
    EXPECT_EQ(Engine().century, c.century);
  }
  InitDatasetUnit();
  EXPECT_EQ(DatasetUnit().trueText, "wahr");
  EXPECT_EQ(DatasetUnit().falseText, "falsch");
  EXPECT_EQ(DatasetUnit().yesText, "ja");
  EXPECT_EQ(DatasetUnit().noText, "nein");
}

TEST_F(FieldsTest, DateTextRuleAndDateTime) {
  EXPECT_EQ(YmdToDateTime(1899, 12, 30), 0);
  EXPECT_EQ(YmdToDateTime(1900, 1, 1), 2);
  EXPECT_EQ(YmdToDateTime(2026, 12, 7), 46363);
  ApplyShortDateFormat("dd.MM.yyyy");
  EXPECT_EQ(DateTextToDateTime("07.12.2026", false), 46363);
  EXPECT_EQ(DateTextToDateTime("  07.12.2026xyz", false), 46363);
  EXPECT_EQ(DateTextToDateTime("", false), 0);
  EXPECT_EQ(DateTextToDateTime("  .  .    ", false), 0);
  EXPECT_EQ(DateTextToDateTime("31.02.2026", false), 0);
  EXPECT_EQ(DateTimeToText(46363), "07.12.2026");
  EXPECT_EQ(DateTimeToText(0), "");
  ApplyShortDateFormat("dd.MM.yy");
  EXPECT_EQ(DateTextToDateTime("07.12.26", false), 46363);
  EXPECT_EQ(DateTimeToText(46363), "07.12.26");
  ApplyShortDateFormat("yyyy-MM-dd");
  EXPECT_EQ(DateTimeToText(46363).substr(0, 4), "2026");
  EXPECT_EQ(DateTextToDateTime(DateTimeToText(46363), false), 46363);
  ApplyShortDateFormat("MM/dd/yy");
  EXPECT_EQ(DateTextToDateTime("12/07/26", false), 46363);
  // Strict: a text that is no engine date text is read in the short format.
  EXPECT_THROW(DateTextToDateTime("garbage", true), EDatasetError);
}

TEST_F(FieldsTest, ValuesThroughTheDatasetAreWhatTheFileHolds) {
  const std::string path = MakeTable("v.dbf", {{"NAME", 'C', 10, 0, 0},
                                               {"PRICE", 'N', 8, 2, 0},
                                               {"BIG", 'N', 12, 0, 0},
                                               {"DAY", 'D', 8, 0, 0},
                                               {"OK", 'L', 1, 0, 0},
                                               {"ONE", 'N', 1, 0, 0}});
  TTzDbf ds("V");
  ds.SetDbfFileName(path);
  ds.Open();
  ASSERT_TRUE(ds.IsEmpty());
  ds.Append();
  ds.FieldByName("NAME").SetAsString("");
  ds.FieldByName("PRICE").SetAsFloat(1.005);
  ds.FieldByName("BIG").SetAsInteger(3000000000LL);
  ds.FieldByName("DAY").SetAsDateTime(0);
  ds.FieldByName("OK").SetAsBoolean(true);
  ds.Post();
  ds.Refresh();
  // An empty text is present; a blank date is blank.
  EXPECT_FALSE(ds.FieldByName("NAME").IsNull());
  EXPECT_TRUE(ds.FieldByName("DAY").IsNull());
  EXPECT_DOUBLE_EQ(ds.FieldByName("PRICE").AsFloat(),
                   static_cast<double>(zeb::test::DecimalValue(AllTrimText(StoredNumber(1.005L, 8, 2)))));
  EXPECT_EQ(ds.FieldByName("BIG").AsInteger(), 3000000000LL);
  EXPECT_TRUE(ds.FieldByName("OK").AsBoolean());
  EXPECT_THROW(ds.FieldByName("MISSING"), EDatasetError);
  // Date fields from text: the blank picture clears, any text is a date or blank.
  ds.Edit();
  auto& day = ds.FieldByName("DAY");
  day.SetText("24.12.2026");
  EXPECT_EQ(day.AsDateTime(), YmdToDateTime(2026, 12, 24));
  EXPECT_EQ(day.DisplayText(), "24.12.2026");
  day.SetText(BlankDatePicture());
  EXPECT_TRUE(day.IsNull());
  day.SetText("24.12.2026");
  day.SetText("..");  // an emptied masked cell: its separators
  EXPECT_TRUE(day.IsNull());
  EXPECT_THROW(day.SetText("99.99.9999"), EDatasetError);
  // Letters in a number or date cell are refused in the session's German.
  auto refusal = [](const std::function<void()>& edit) {
    try {
      edit();
    } catch (const EDatasetError& e) {
      return std::string(e.what());
    }
    return std::string("accepted");
  };
  EXPECT_EQ(refusal([&] { ds.FieldByName("PRICE").SetText("abc"); }), "'abc' ist keine g\xFCltige Zahl");
  EXPECT_EQ(refusal([&] { ds.FieldByName("BIG").SetText("12x"); }), "'12x' ist keine g\xFCltige ganze Zahl");
  EXPECT_EQ(refusal([&] { day.SetText("morgen"); }), "'morgen' ist kein g\xFCltiges Datum");
  EXPECT_EQ(refusal([&] { ds.FieldByName("OK").SetText("vielleicht"); }),
            "'vielleicht' ist kein g\xFCltiger Wahrheitswert (J/N)");
  // One sign at most, in a real or a whole number.
  for (const std::string t : {"+-1", "-+1", "++1", "--1", "+-.5", "-+0,5"}) {
    EXPECT_EQ(refusal([&] { ds.FieldByName("PRICE").SetText(t); }), "'" + t + "' ist keine g\xFCltige Zahl");
    EXPECT_EQ(refusal([&] { ds.FieldByName("BIG").SetText(t); }), "'" + t + "' ist keine g\xFCltige ganze Zahl");
  }
  EXPECT_EQ(refusal([&] { ds.FieldByName("PRICE").SetText("+1.5"); }), "accepted");
  EXPECT_EQ(refusal([&] { ds.FieldByName("PRICE").SetText("-1e+2"); }), "accepted");
  ds.FieldByName("PRICE").SetAsFloat(1.005);
  ds.Post();
  ds.Close();
  DbfTable t;
  t.fileName = path;
  OpenDbf(t, kModeShared);
  GetDbfRecord(t, 1);
  EXPECT_EQ(t.stored.substr(t.fields[3].offset, 8), "        ");
  EXPECT_EQ(t.stored.substr(t.fields[1].offset, 8), StoredNumber(1.005L, 8, 2));
  CloseDbf(t);
}

// A text set on a character field changes that field alone: the text, the
// logical and the number after it keep their bytes in the file.
TEST_F(FieldsTest, TextSetOnOneFieldLeavesItsNeighbours) {
  const std::string path = MakeTable("n.dbf", {{"A", 'C', 5, 0, 0},
                                               {"B", 'C', 4, 0, 0},
                                               {"OK", 'L', 1, 0, 0},
                                               {"C", 'C', 6, 0, 0},
                                               {"N", 'N', 8, 2, 0}});
  TTzDbf ds("N");
  ds.SetDbfFileName(path);
  ds.Open();
  ds.Append();
  ds.FieldByName("A").SetAsString("alpha");
  ds.FieldByName("B").SetAsString("beta");
  ds.FieldByName("OK").SetAsBoolean(true);
  ds.FieldByName("C").SetAsString("gamma");
  ds.FieldByName("N").SetAsFloat(12.5);
  ds.Post();
  ds.Edit();
  ds.FieldByName("A").SetText("x");
  ds.FieldByName("B").SetText("");
  ds.FieldByName("C").SetText("yy");
  EXPECT_TRUE(ds.FieldByName("OK").AsBoolean());
  EXPECT_EQ(ds.FieldByName("B").AsString(), "");
  ds.Post();
  ds.Close();
  DbfTable t;
  t.fileName = path;
  OpenDbf(t, kModeShared);
  GetDbfRecord(t, 1);
  // Deletion mark, A, B, OK, C, N as the file holds them.
  EXPECT_EQ(t.stored, " x        Tyy       12.50");
  CloseDbf(t);
}

}  // namespace
}  // namespace zeb::xbase::test
