// Expressions: compiled against a table made through the engine's commands
// and evaluated on its current record. Table-driven: value vectors, then
// error vectors (code and message, window present), then fields, aliases,
// hooks and the date helpers. Date format 5, century on unless said.
#include <chrono>
#include <cmath>

#include "x2_support.h"
#include "xbase/expr/parser.h"

namespace zeb::xbase::test {
namespace {

struct ValueCase {
  std::string text;
  char type;
  std::string str;     // 'C'
  double num = 0;      // 'N', 'D'
  bool log = false;    // 'L'
};

// Julian day number from the calendar (1 January 1970 is day 2440588).
double Jd(int y, unsigned m, unsigned d) {
  using namespace std::chrono;
  return static_cast<double>(sys_days{year{y} / month{m} / day{d}}.time_since_epoch().count() + 2440588);
}

struct ErrorCase {
  std::string text;
  std::string message;
};

class ParserTest : public AreaTest {
 protected:
  void SetUp() override {
    AreaTest::SetUp();
    InitParserUnit();
    SetDateFormat(5);
    SetCentury(true);
    SetTzToday(std::chrono::year_month_day{std::chrono::year{2026}, std::chrono::month{1}, std::chrono::day{1}});
    CreateTable(dir / "t.dbf", {Fd("NAME", 'C', 20), Fd("NUM", 'N', 8, 2), Fd("DATE", 'D', 8), Fd("FLAG", 'L', 1),
                                Fd("COUNT", 'N', 5)});
    USE(dir / "t.dbf EXCLUSIVE");
    AppendRow({"Abc", "12.5", "20000229", "T", "3"});
    AppendRow({"ABCDEF", "-1", "", "F", "0"});
    GoTop();
  }

  // Compiles and evaluates; nullptr result on a compile failure.
  void Expect(const ValueCase& c) {
    SCOPED_TRACE(c.text);
    SetTzCurrentError(0);
    CompiledExpr* e = AssignExpr(c.text);
    ASSERT_NE(e, nullptr) << TzTakeLastErrorText();
    const ExprValue* v = EvaluateExpr(e);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(TzCurrentError(), 0);
    EXPECT_EQ(e->type, c.type);
    EXPECT_EQ(v->type, c.type);
    switch (c.type) {
      case 'C':
      case 'M': EXPECT_EQ(v->text, c.str); break;
      case 'L': EXPECT_EQ(v->logical, c.log); break;
      default: EXPECT_DOUBLE_EQ(v->number, c.num); break;
    }
    ReleaseExpr(e);
    EXPECT_EQ(e, nullptr);
  }

  void ExpectError(const ErrorCase& c) {
    SCOPED_TRACE(c.text);
    SetTzCurrentError(0);
    CompiledExpr* e = AssignExpr(c.text);
    EXPECT_EQ(e, nullptr);
    EXPECT_EQ(TzCurrentError(), 351);
    const std::string text = TzTakeLastErrorText();
    const std::string head = "Fehler in dBASE-Ausdruck : " + c.message + "\r\n[";
    EXPECT_EQ(text.substr(0, head.size()), head);
    const std::string tail = "]\r\n [AssignExpr]";
    ASSERT_GE(text.size(), head.size() + tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    ReleaseExpr(e);
  }

  double Today() const { return Jd(2026, 1, 1); }
};

const std::string kTypeMsg = "PARSER:Unvereinbare Typen in Ausdruck ";

TEST_F(ParserTest, ValueVectors) {
  const double feb29 = Jd(2000, 2, 29);
  const ValueCase cases[] = {
      // arithmetic and precedence
      {"2^3^2", 'N', "", 64},
      {"-2^2", 'N', "", 4},
      {"2**3", 'N', "", 8},
      {"1E-5*1E5", 'N', "", 1},
      {"1E+5", 'N', "", 100000},
      {"2.5e2", 'N', "", 250},
      {"1.E2 + 3.", 'N', "", 103},
      {"7 - 2 - 1", 'N', "", 4},
      {"2 + 3 * 4", 'N', "", 14},
      {"MOD(-7,3)", 'N', "", -1},
      {"MOD(7,0)", 'N', "", 0},
      {"ROUND(-2.789,1)", 'N', "", -2.7},
      {"ROUND(2.789,1)", 'N', "", 2.7},
      {"ROUND(0.29,2)", 'N', "", 0.29},
      {"ROUND(1234.5,-2)", 'N', "", 1234},
      {"INT(-3.7)", 'N', "", -3},
      {"ABS(-3)", 'N', "", 3},
      {"MAX(2,5)", 'N', "", 5},
      {"MIN(2,5)", 'N', "", 2},
      {"VAL(' 12.5abc')", 'N', "", 12.5},
      {"VAL('abc')", 'N', "", 0},
      {"VAL('-1E2')", 'N', "", -100},
      // logic and comparisons
      {".T. .OR. .F. .AND. .F.", 'L', "", 0, true},
      {"1 = 1 = .T.", 'L', "", 0, true},
      {".T. = 'B' $ 'AB'", 'L', "", 0, true},
      {".t. .and. .NOT. .f.", 'L', "", 0, true},
      {"'ABC' = 'AB'", 'L', "", 0, true},
      {"'A' = 'AB'", 'L', "", 0, false},
      {"'ABC' = ''", 'L', "", 0, false},
      {"'' $ 'ABC'", 'L', "", 0, false},
      {"'AB' $ 'XABY'", 'L', "", 0, true},
      {"'ABC' <> 'AB'", 'L', "", 0, true},
      {"'ABC' # 'ABC'", 'L', "", 0, false},
      {"'ABC' == 'AB'", 'L', "", 0, false},
      {"'A' < 'AB'", 'L', "", 0, true},
      {"'b' > 'B'", 'L', "", 0, true},
      {"'ä' > 'z'"_ansi, 'L', "", 0, true},  // bytes compare unsigned
      {"2 >= 2 .AND. 1 <= 0", 'L', "", 0, false},
      // texts
      {"'AB  ' - 'CD'", 'C', "ABCD  "},
      {"'AB' + \"CD\"", 'C', "ABCD"},
      {"STUFF('ABCDEF',2,3,'XY')", 'C', "AXYEF"},
      {"STUFF('ABC',9,1,'X')", 'C', "ABCX"},
      {"SUBS('ABC',2,1)", 'C', "B"},
      {"SUBSTR('ABCDEF',2,3)", 'C', "BCD"},
      {"SUBSTR('ABC',0,2)", 'C', "AB"},
      {"SUBSTR('ABC',2,99)", 'C', "BC"},
      {"SUBSTR('ABC',5,1)", 'C', ""},
      {"AT('','ABC')", 'N', "", 0},
      {"AT('C','ABC')", 'N', "", 3},
      {"LEFT('ABC',5)", 'C', "ABC"},
      {"LEFT('ABC',-1)", 'C', ""},
      {"LEFT('ABC',1E20)", 'C', "ABC"},
      {"RIGHT('ABC',2)", 'C', "BC"},
      {"REPLICATE('AB',0)", 'C', ""},
      {"REPL('AB',3)", 'C', "ABABAB"},
      {"SPACE(3)", 'C', "   "},
      {"LTRIM('  A ')", 'C', "A "},
      {"TRIM('  A  ')", 'C', "  A"},
      {"UPPER('abc')", 'C', "ABC"},
      {"LOWER('ABC')", 'C', "abc"},
      {"LEN('ABCD')", 'N', "", 4},
      {"ASC('A')", 'N', "", 65},
      {"ASC('')", 'N', "", 0},
      {"CHR(65)", 'C', "A"},
      {"CHR(321)", 'C', "A"},
      {"IIF(1 < 2,'yes','no')", 'C', "yes"},
      {"STR(12345,3)", 'C', "***"},
      {"STR(3.14159,6,2)", 'C', "  3.14"},
      {"STR(42)", 'C', "        42"},
      {"STR(2.675,5,2)", 'C', " 2.68"},
      {"STR(-2.5,4)", 'C', "  -3"},
      {"STR(-0.001,5,2)", 'C', " 0.00"},
      {"STR(9.995,5,2)", 'C', "10.00"},
      {"SOUNDEX('Ashcraft')", 'C', "A226"},
      {"SOUNDEX('Robert')", 'C', "R163"},
      {"SOUNDEX('Tymczak')", 'C', "T522"},
      {"SOUNDEX('A')", 'C', "A000"},
      // dates
      {"DATE()-DATE()", 'N', "", 0},
      {"1+DATE()", 'D', "", Today() + 1},
      {"DATE()+1", 'D', "", Today() + 1},
      {"DATE()-1", 'D', "", Today() - 1},
      {"DTOS(CTOD('29.02.2000'))", 'C', "20000229"},
      {"CTOD('29.02.2000')", 'D', "", feb29},
      {"CTOD('29.02.1900')", 'D', "", 0},
      {"DTOC(CTOD('29.02.2000'))", 'C', "29.02.2000"},
      {"DTOS(CTOD(''))", 'C', "        "},
      {"YEAR(CTOD('01.01.2000'))", 'N', "", 2000},
      {"MONTH(CTOD('29.02.2000'))", 'N', "", 2},
      {"DAY(CTOD('29.02.2000'))", 'N', "", 29},
      {"DOW(CTOD('01.01.2000'))", 'N', "", 7},
      {"CDOW(CTOD('01.01.2026'))", 'C', "Donnerstag"},
      {"CMON(DATE())", 'C', "Januar   "},
      {"CMONTH(DATE()) = CMON(DATE())", 'L', "", 0, true},
      {"MAX(DATE(), CTOD('01.01.2000'))", 'D', "", Today()},
      {"DATE() > CTOD('01.01.2000')", 'L', "", 0, true},
  };
  for (const ValueCase& c : cases) Expect(c);
}

TEST_F(ParserTest, CenturyOff) {
  SetCentury(false);
  Expect({"YEAR(CTOD('01.01.2000'))", 'N', "", 0});
  Expect({"DTOC(CTOD('29.02.2000'))", 'C', "29.02.00"});
  // the weekday is taken from the full year: 1 January 1900 was a Monday
  Expect({"CDOW(CTOD('01.01.1900'))", 'C', "Montag    "});
  Expect({"DOW(CTOD('01.01.1900'))", 'N', "", 2});
}

TEST_F(ParserTest, ErrorVectors) {
  const std::string syntax = "Syntax error";
  const ErrorCase cases[] = {
      {".NOT. 1 = 1", kTypeMsg + "\".NOT.\""},
      {"1 + 'A'", kTypeMsg + "\"+\""},
      {"1-DATE()", kTypeMsg + "\"-\""},
      {"2 ^ 'A'", kTypeMsg + "\"** or ^\""},
      {"- 'A'", kTypeMsg + "\"Unary -\""},
      {".T. < .F.", kTypeMsg + "\"<\""},
      {"1 == 1", kTypeMsg + "\"==\""},
      {"1 # 'A'", kTypeMsg + "\"<>\""},
      {"IIF(.T.,1,2)", "PARSER:Unvereinbare Typen in Funktion \"IIF\""},
      {"SUBS(1,1,1)", "PARSER:Unvereinbare Typen in Funktion \"SUBSTR\""},
      {"MAX(1, DATE())", "PARSER:Unvereinbare Typen in Funktion \"MAX\""},
      {"", syntax},
      {"   ", syntax},
      {"1 2", syntax},
      {"FOO(1)", syntax},
      {"SUBSTR('A',1)", syntax},
      {"CM(DATE())", syntax},
      {"'abc", syntax},
      {"1 +", syntax},
      {"@", syntax},
      {"A.AND.B", syntax},
      {"1E", syntax},
      {"1E+", syntax},
      {"(1", syntax},
      {"1)", syntax},
      {"UPPER", syntax},
      {"DATE(1)", syntax},
      {"STR(1,2,3,4)", syntax},
      {"X->NAME", syntax},
      {"NAME\n", syntax},
  };
  for (const ErrorCase& c : cases) ExpectError(c);
}

TEST_F(ParserTest, NestingLimit) {
  Expect({std::string(40, '(') + "1" + std::string(40, ')'), 'N', "", 1});
  ExpectError({std::string(200, '(') + "1" + std::string(200, ')'), "Parser_stack_overflow"});
  std::string calls;
  for (int i = 0; i < 200; ++i) calls += "UPPER(";
  ExpectError({calls + "'a'" + std::string(200, ')'), "Parser_stack_overflow"});
  ExpectError({std::string(300, '-') + "1", "Parser_stack_overflow"});
}

TEST_F(ParserTest, ErrorWindow) {
  // an error far into a long text: the window starts and ends with "..."
  const std::string text = std::string(60, '1').insert(0, "1+") + " ? " + std::string(60, '2');
  SetTzCurrentError(0);
  EXPECT_EQ(AssignExpr(text), nullptr);
  const std::string msg = TzTakeLastErrorText();
  EXPECT_NE(msg.find("\r\n[..."), std::string::npos) << msg;
  EXPECT_NE(msg.find("...]\r\n [AssignExpr]"), std::string::npos) << msg;
  // a pending parser error is cleared by the next compilation
  CompiledExpr* e = AssignExpr("1");
  EXPECT_EQ(TzCurrentError(), 0);
  ReleaseExpr(e);
}

TEST_F(ParserTest, EvaluationErrors) {
  CompiledExpr* e = AssignExpr("5/0");
  ASSERT_NE(e, nullptr);
  SetTzCurrentError(0);
  EXPECT_DOUBLE_EQ(EvaluateExpr(e)->number, 1e+250);
  EXPECT_EQ(TzCurrentError(), 358);
  EXPECT_EQ(TzTakeLastErrorText(), "Auswertungsfehler: Division durch 0 [Evaluate/Engine]");
  ReleaseExpr(e);

  for (const char* text : {"REPLICATE('AB', 1E9)", "SPACE(70000)", "STR(1, 1E6)"}) {
    SCOPED_TRACE(text);
    e = AssignExpr(text);
    ASSERT_NE(e, nullptr);
    SetTzCurrentError(0);
    EXPECT_EQ(EvaluateExpr(e)->text, "");
    EXPECT_EQ(TzCurrentError(), 354);
    EXPECT_EQ(TzTakeLastErrorText(), "Arbeitspool übergelaufen [PARSER/Allocate]"_ansi.str());
    ReleaseExpr(e);
  }
  // overflow saturates; nothing infinite leaves the evaluator
  e = AssignExpr("1E300*1E300 - 1E300*1E300 * 2");
  ASSERT_NE(e, nullptr);
  const double v = EvaluateExpr(e)->number;
  EXPECT_TRUE(std::isfinite(v));
  ReleaseExpr(e);
}

TEST_F(ParserTest, RaiseModeLeavesNothingBehind) {
  SetTzErrorSwitch(true);
  SetTzRaiseMode(true);
  EXPECT_THROW(AssignExpr("1 +"), ETzError);
  CompiledExpr* e = AssignExpr("10 / (NUM - 12.5)");
  ASSERT_NE(e, nullptr);
  try {
    EvaluateExpr(e);
    ADD_FAILURE() << "no exception";
  } catch (const ETzError& x) {
    EXPECT_NE(std::string(x.what()).find("Division durch 0"), std::string::npos);
  }
  SKIP(1);  // the same expression evaluates again from a clean stack
  EXPECT_DOUBLE_EQ(EvaluateExpr(e)->number, 10.0 / -13.5);
  ReleaseExpr(e);
}

TEST_F(ParserTest, FieldsOfTheCurrentRecord) {
  // NAME C(20) 'Abc': the pool grows as needed, no 354
  CompiledExpr* e = AssignExpr("UPPER(NAME)+LOWER(NAME)");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->type, 'C');
  EXPECT_EQ(e->width, 40);
  SetTzCurrentError(0);
  EXPECT_EQ(EvaluateExpr(e)->text, "ABC" + std::string(17, ' ') + "abc" + std::string(17, ' '));
  EXPECT_EQ(TzCurrentError(), 0);
  ReleaseExpr(e);

  Expect({"NAME = 'Ab'", 'L', "", 0, true});
  Expect({"NAME = 'AB'", 'L', "", 0, false});  // case counts
  Expect({"NAME == 'Abc'", 'L', "", 0, false});  // the field keeps its blanks
  Expect({"TRIM(NAME) == 'Abc'", 'L', "", 0, true});
  Expect({"NUM * 2", 'N', "", 25});
  Expect({"DTOS(DATE)", 'C', "20000229"});       // the field DATE
  Expect({"DATE() - DATE", 'N', "", Today() - Jd(2000, 2, 29)});
  Expect({"FLAG .AND. COUNT = 3", 'L', "", 0, true});
  Expect({"RECNO()", 'N', "", 1});
  Expect({"DELETED()", 'L', "", 0, false});
  Expect({"date", 'D', "", Jd(2000, 2, 29)});

  e = AssignExpr("NUM");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->width, 8);
  EXPECT_EQ(e->decimals, 2);
  ReleaseExpr(e);
  e = AssignExpr("COUNT + 1");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->width, 11);
  EXPECT_EQ(e->decimals, 0);
  ReleaseExpr(e);
  e = AssignExpr("DTOS(DATE) + SUBSTR(NAME, 2, 5)");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->width, 13);
  ReleaseExpr(e);

  // one compiled expression follows the record
  e = AssignExpr("TRIM(NAME) + STR(NUM, 6, 1) + IIF(DELETED(), '*', ' ')");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(EvaluateExpr(e)->text, "Abc  12.5 ");
  SKIP(1);
  DeleteRec();
  EXPECT_EQ(EvaluateExpr(e)->text, "ABCDEF  -1.0*");
  Expect({"DTOS(DATE)", 'C', "        "});
  Expect({"DATE", 'D', "", 0});
  SKIP(1);  // past the end: the blank record
  ASSERT_TRUE(dEOF());
  EXPECT_EQ(EvaluateExpr(e)->text, "   0.0 ");
  Expect({"NUM", 'N', "", 0});
  Expect({"FLAG", 'L', "", 0, false});
  ReleaseExpr(e);
}

TEST_F(ParserTest, AliasedFields) {
  CreateTable(dir / "b.dbf", {Fd("NAME", 'C', 8), Fd("QTY", 'N', 4)});
  Select(2);
  USE(dir / "b.dbf ALIAS B EXCLUSIVE");
  AppendRow({"Other", "7"});
  Select(1);
  Expect({"B->NAME", 'C', "Other   "});
  Expect({"b -> QTY * 2 + NUM", 'N', "", 26.5});
  Expect({"TRIM(NAME) + TRIM(B->NAME)", 'C', "AbcOther"});
  ExpectError({"B->NOPE", "Syntax error"});
  ExpectError({"QTY", "Syntax error"});  // not a field of the current area
}

// A memo unit that hands out one memo of two lines.
class FakeMemo : public MemoHookTable {
 public:
  bool Installed() const override { return true; }
  bool AssignMemo(std::int32_t reference, std::string& text) override {
    text = reference == 7 ? "line one\r\nline two" : "";
    return true;
  }
};

TEST_F(ParserTest, MemoFieldsAreJoinedLines) {
  SetMemoHooks(std::make_shared<FakeMemo>());
  CreateTable(dir / "m.dbf", {Fd("ID", 'N', 3), Fd("NOTES", 'M', 10)});
  Select(3);
  USE(dir / "m.dbf EXCLUSIVE");
  ClearRecord();
  SetBufferInteger(*CurrentWorkArea(), 2, 7);
  Append();
  Expect({"NOTES", 'M', "line oneline two"});
  ExpectError({"NOTES + 'x'", kTypeMsg + "\"+\""});
}

TEST_F(ParserTest, HooksFilterTheTable) {
  ASSERT_TRUE(ParserInstalled());
  ParserHookTable& h = ParserHooks();
  CompiledExpr* e = h.AssignExpr("NUM > 0");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(h.ExprText(e), "NUM > 0");
  ExprValue v;
  EXPECT_TRUE(h.EvaluateExpr(e, v));
  EXPECT_EQ(v.type, 'L');
  EXPECT_TRUE(v.logical);
  SetCurrentExpr(e);
  EXPECT_TRUE(EvaluateCurrent()->logical);
  EXPECT_EQ(SetFilterExpr(e), nullptr);  // the area owns it from here
  GoBottom();
  EXPECT_EQ(RecNo(), 1);  // record 2 (NUM -1) is filtered out
  CloseArea();            // releases the filter through the hooks
  EXPECT_EQ(CurrentExpr(), nullptr);

  // counted initialisation: the last finalisation removes the hooks
  InitParserUnit();
  DoneParserUnit();
  EXPECT_TRUE(ParserInstalled());
  DoneParserUnit();
  EXPECT_FALSE(ParserInstalled());
}

TEST_F(ParserTest, DateTextsFollowTheFormat) {
  SetDateFormat(0);
  Expect({"DTOC(CTOD('01/31/2026'))", 'C', "01/31/2026"});
  SetDateFormat(1);
  SetCentury(false);
  Expect({"DTOC(CTOD('26.01.31'))", 'C', "26.01.31"});
  SetDateFormat(8);
  Expect({"DTOC(DATE())", 'C', "01/01/26"});
  Expect({"DTOC(CTOD('31.02.26'))", 'C', "  /  /  "});
  Expect({"DTOS(CTOD('01.01.0001') - 1)", 'C', "        "});
}

}  // namespace
}  // namespace zeb::xbase::test
