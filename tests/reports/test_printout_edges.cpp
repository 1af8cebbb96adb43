// Edge cases of the printouts, mostly through the TXT target, whose rows
// are tab-separated fields.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/format.h"
#include "base/globals.h"
#include "base/messages.h"
#include "platform/oem_literal.h"
#include "printout_fixture.h"
#include "reports/device.h"
#include "reports/printout_comp.h"
#include "reports/printout_full.h"
#include "reports/printout_lines.h"
#include "reports/printout_short.h"
#include "spring/calc.h"

namespace zeb {
namespace {

using test::PrintoutTest;
using test::SplitLines;
using test::SplitTabs;
using Lines = std::vector<std::string>;
namespace fs = std::filesystem;

bool Has(const Lines& lines, const std::string& part) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& l) { return l.find(part) != std::string::npos; });
}

// The value field of the row with this label and symbol; "?" when missing.
std::string Value(const Lines& lines, const std::string& label, const std::string& symbol) {
  for (const std::string& l : lines) {
    const std::vector<std::string> f = SplitTabs(l);
    if (f.size() >= 4 && f[0] == label && f[1] == symbol) return f[2] + "|" + f[3];
  }
  return "?";
}

// ---- Life rows on set data sets ------------------------------------------

struct LifeCase {
  const char* name;
  void (*set)(SpringDataRecord&);
  Lines rows;
};

void Inside(SpringDataRecord& s) {
  s.LoadType = 2;
  s.tauhzul = 300;
  s.NoLifeMinMax = 0;
  s.LoadCase = 0;
  s.tauoz = 600;
  s.tauk2 = 500;
  s.FatigueTol1 = s.FatigueTol2 = 0;
  s.f = 10;
  s.N = 2345678;
  s.Nmin = 1400000;
  s.Nmax = 3600000;
  s.Sh = 0.8L;
}

const std::string kTol = FormatTolerancePair(10, -10);

const LifeCase kLifeCases[] = {
    {"static", [](SpringDataRecord& s) { Inside(s); s.LoadType = 1; }, {}},
    {"no stroke stress", [](SpringDataRecord& s) { Inside(s); s.tauhzul = 0; }, {}},
    {"NoLifeMinMax", [](SpringDataRecord& s) { Inside(s); s.NoLifeMinMax = 1; }, {}},
    {"inside", Inside, {"Lastspiele bis Bruch\tN\tMio\t2", "Lebensdauer (f=10Hz)\ttN\th\t65"}},
    {"outside", [](SpringDataRecord& s) { Inside(s); s.tauoz = 400; s.FatigueTol2 = 10; s.FatigueTol1 = -10; },
     {"Lastspiele bis Bruch\tN\tMio\t(2)", "Lebensdauer (f=10Hz)\ttN\th\t(65)"}},
    {"tolerance", [](SpringDataRecord& s) { Inside(s); s.FatigueTol2 = 10; s.FatigueTol1 = -10; },
     {"Lastspiele bis Bruch\tN\tMio\t2", "Toleranz Dauerfestigkeit\ttol\t%\t" + kTol,
      "Lastspiele bis Bruch min/max\tN\tMio\t1\t4", "Lebensdauer (f=10Hz)\ttN\th\t65",
      "Lebensdauer min/max\ttN\th\t39\t100"}},
    {"load case 1", [](SpringDataRecord& s) { Inside(s); s.LoadCase = 1; },
     {"Lastspiele bis Bruch(tauoz=tauz)\tN\tMio\t2", "Lebensdauer (tauoz=tauz)\ttN\th\t65"}},
    {"ten million", [](SpringDataRecord& s) { Inside(s); s.N = 2e7L; }, {"Lastspiele bis Bruch\tN\tMio\t20"}},
    {"no frequency", [](SpringDataRecord& s) { Inside(s); s.f = 0; }, {"Lastspiele bis Bruch\tN\tMio\t2"}},
    {"fatigue-proof", [](SpringDataRecord& s) { Inside(s); s.Sh = 1.2L; s.Nmin = 2e7L; s.Nmax = 5e7L; },
     {"Lastspiele bis Bruch\tN\t\t > 10 Mio.", "Lebensdauer\ttN\t\tdauerfest"}},
    {"fatigue-proof, Nmin low", [](SpringDataRecord& s) { Inside(s); s.Sh = 1.2L; s.Nmin = 5e6L; s.Nmax = 5e7L; },
     {"Lastspiele bis Bruch\tN\t\t > 10 Mio.", "Toleranz Dauerfestigkeit\ttol\t%\t",
      "Lastspiele bis Bruch min/max\tN\tMio\t5\t50", "Lebensdauer\ttN\t\tdauerfest",
      "Lebensdauer min/max\ttN\th\t139\t1389"}},
    {"fatigue-proof outside", [](SpringDataRecord& s) { Inside(s); s.Sh = 1.2L; s.tauoz = 400; },
     {"Lastspiele bis Bruch\tN\t\t( > 10 Mio.)"}},
};

TEST_F(PrintoutTest, LifeRows) {
  for (const LifeCase& c : kLifeCases) {
    SCOPED_TRACE(c.name);
    c.set(SpringData());
    EXPECT_EQ(TxtLines(WriteLifeLines), c.rows);
  }
}

TEST_F(PrintoutTest, BucklingValue) {
  EXPECT_EQ(WriteBucklingValue(5, 2, 9999), "knicksicher");
  EXPECT_EQ(WriteBucklingValue(5, 2, 12.3456L), "   12.35");
  EXPECT_EQ(WriteBucklingValue(0, 0, 12.3456L), "12.35");
  EXPECT_EQ(WriteBucklingValue(5, 2, 1.0L / 0.0L), "");
}

// The dynamic example with a table material prints life rows; with own
// material values the stroke stress is 0 and there are none.
TEST_F(PrintoutTest, LifeRowsOfTheExample) {
  test::MakeRoundDynamicTableMaterial();
  ASSERT_GT(SpringData().tauhzul, 0);
  EXPECT_TRUE(Has(SplitLines(Run(kOutTxt, PrintReport)), "Lastspiele bis Bruch"));
  LoadSpectrum().Count = 1;  // a load spectrum replaces them, the page total stays
  const Lines framed = SplitLines(Run(kOutFile, PrintReport));
  EXPECT_FALSE(Has(framed, "Lastspiele bis Bruch"));
  const int pages = 4 + (G().ErrorMessageList.count > 0 ? 1 : 0);  // no page for the spectrum
  EXPECT_EQ(PrintReportPageCount(), pages);
  EXPECT_TRUE(Has(framed, "Bl. 1/ " + std::to_string(pages)));
  test::MakeRoundDynamic();
  EXPECT_EQ(SpringData().tauhzul, 0);
  EXPECT_FALSE(Has(SplitLines(Run(kOutTxt, PrintReport)), "Lastspiele"));
}

// ---- Material and wire lines ---------------------------------------------

TEST_F(PrintoutTest, MaterialLines) {
  test::MakeRoundDynamicTableMaterial();
  SpringDataRecord& s = SpringData();
  EXPECT_EQ(TxtLines(WriteMaterialLines), (Lines{"Federstahldraht SH", "EN 10270-1 Tabelle"}));
  s.LoadCase = 1;
  EXPECT_EQ(TxtLines(WriteMaterialLines),
            (Lines{"Federstahldraht SH", "EN 10270-1 Tabelle", "Goodman Diagram: tauoz = tauz = 0.56 Rm"}));
  s.LoadType = 1;
  EXPECT_EQ(TxtLines(WriteMaterialLines).size(), 2u);
  s.MaterialSel = 12;
  s.MaterialName = "Eigener Stahl";
  EXPECT_EQ(TxtLines(WriteMaterialLines), Lines{"Werkstoff: Eigener Stahl"});
}

TEST_F(PrintoutTest, WireRowsByCrossSection) {
  SpringDataRecord& s = SpringData();
  s.d = 3;
  s.h = 2;
  s.di = 1;
  s.r = 0.5L;
  s.TolWire = 0.05L;
  const std::string tol = FormatLengthTolerancePair(0.05L, -0.05L);
  const std::string w3 = "3" + tol, w2 = "2" + tol;
  const std::string cut = "Drahtquerschnitt\t\t\t";
  const std::vector<Lines> expected = {
      {"Drahtdurchmesser\td\tmm\t" + w3},
      {cut + "elliptisch", "Draht Breite\tb\tmm\t" + w3, "Draht H\x94he\th\tmm\t" + w2},
      {cut + "quadratisch", "Draht Breite\ta\tmm\t" + w3},
      {cut + "rechteckig", "Draht Breite\tb\tmm\t" + w3, "Draht H\x94he\th\tmm\t" + w2},
      {"Draht Breite\tb\tmm\t" + w3, "Draht H\x94he\th\tmm\t" + w2},
      {"Draht Breite\tb\tmm\t" + w3, "Draht H\x94he\th\tmm\t" + w2, "Draht Radius\tr\tmm\t0.5"},
      {cut + "rund, hohl", "Drahtdurchmesser\td\tmm\t" + w3, "Draht Innendurchmesser\tdi\tmm\t1"},
  };
  for (int cs = 1; cs <= 7; ++cs) {
    s.CrossSection = static_cast<Code>(cs);
    EXPECT_EQ(TxtLines(WriteWireRows), expected[static_cast<std::size_t>(cs - 1)]) << cs;
  }
  EXPECT_NE(w3.find("\xF1"), std::string::npos);  // the plus-minus sign
  s.CrossSection = 1;
  s.TolWire = 0;
  EXPECT_EQ(TxtLines(WriteWireRows), Lines{"Drahtdurchmesser\td\tmm\t3"});
}

// ---- Full printout -------------------------------------------------------

// The examples' rows are in the golden files; here the rows they lack.
TEST_F(PrintoutTest, FullPrintoutConditionalRows) {
  test::MakeRoundDynamic();
  SpringDataRecord& s = SpringData();
  s.m = 60;
  s.WindingDir = 1;
  s.CoilingKind = 2;
  Lines t = SplitLines(Run(kOutTxt, PrintReport));
  EXPECT_EQ(Value(t, "Gewicht/100 St\x81" "ck", "m"), "g/100|6000");
  EXPECT_TRUE(Has(t, "Windg.richtung: rechts"));
  EXPECT_FALSE(Has(t, "Oberfl\x84" "che    :"));

  // Allowance 5, end form 1, Di given.
  test::MakeRoundDynamic();
  s.Allowance = 5;
  s.EndForm = 1;
  s.DiameterGiven = 2;
  RunRecalculation();
  ASSERT_EQ(G().FatalErrorFlag, 0);
  t = SplitLines(Run(kOutTxt, PrintReport));
  EXPECT_FALSE(Has(t, "Zul. Abweichung De,Di,Dm"));
  EXPECT_FALSE(Has(t, "Zul. Abweichung L0"));
  EXPECT_FALSE(Has(t, "Zul. Abweichung e1, e2"));
  EXPECT_EQ(Value(t, "Ungespannte Federl\x84nge", "L0"), "mm|105.8");
  EXPECT_EQ(Value(t, "Abweichung der Mantellinie", "e1"), "?");
  EXPECT_EQ(Value(t, "Innendurchmesser", "Di"),
            "mm|29.6" + FormatLengthTolerancePair(s.TolDe, s.TolDeMinus));
  EXPECT_EQ(Value(t, "Innendurchmesser", "Dic"), "mm|" + FormatLength(s.Di + s.dDe));
}

// Value table rows (the page count is checked on the golden files): the
// force at L' is (L0 - L') R.
TEST_F(PrintoutTest, ValueTableRows) {
  test::MakeRoundDynamic();
  ValueTable().Count = 3;
  ValueTable().Values = {0, 100, 95, 90};
  const Lines t = SplitLines(Run(kOutTxt, PrintReport));
  const SpringDataRecord& s = SpringData();
  EXPECT_TRUE(Has(t, "  3\t" + FormatLengthField(8, 2, 90) + "\t" + FormatLengthField(8, 2, s.L0 - 90) + "\t" +
                         FormatForceField(8, 1, (s.L0 - 90) * s.R)));
  EXPECT_FALSE(Has(t, "  4\t"));
}

// Texts of the data set reach the HTML document escaped.
TEST_F(PrintoutTest, HtmlEscapesSpringTexts) {
  test::MakeRoundDynamic();
  SpringData().DrawingName2 = "<&>\"";
  SpringData().MaterialName = "L2<Ln";
  const std::string html = Run(kOutHtml, PrintReport);
  EXPECT_NE(html.find("<h5>&lt;&amp;&gt;&quot;</h5>"), std::string::npos);
  EXPECT_NE(html.find("<br>Werkstoff: L2&lt;Ln"), std::string::npos);
  EXPECT_EQ(html.find("<&>"), std::string::npos);
}

// ---- Short printout ------------------------------------------------------

// The dynamic example's rows are in the golden files; here a static spring
// of section 5 without tolerances.
TEST_F(PrintoutTest, ShortPrintoutRows) {
  test::MakeRoundDynamic();
  SpringDataRecord& s = SpringData();
  s.LoadType = 1;
  s.Allowance = 4;
  s.CrossSection = 5;
  RunRecalculation();
  ASSERT_EQ(G().FatalErrorFlag, 0);
  const Lines t = SplitLines(Run(kOutTxt, PrintReportExtract));
  EXPECT_TRUE(Has(t, "tau1 = "));
  EXPECT_FALSE(Has(t, "sh="));
  EXPECT_TRUE(Has(t, "taun = " + FormatStressField(4, 0, s.taun) + "\t" + FormatFloatField(2, 2, s.tauzul / s.taun)));
  EXPECT_TRUE(Has(t, "L0= 105.80\t"));
  EXPECT_TRUE(Has(t, "   d= 5"));
  G().ReportLineStyle = 2;
  const Lines framed = SplitLines(Run(kOutFile, PrintReportExtract));
  EXPECT_TRUE(Has(framed, "Bl. 1 \xBA"));  // no total
}

// ---- Compensation printout -------------------------------------------------

Lines Labels(const Lines& lines) {
  Lines out;
  for (const std::string& l : lines)
    if (l.find(" -> ") != std::string::npos) out.push_back(l);
  return out;
}

TEST_F(PrintoutTest, CompensationVariants) {
  test::MakeRoundDynamic();
  SpringDataRecord& s = SpringData();
  s.Allowance = 1;
  s.Point1Off = 1;
  RunRecalculation();
  ASSERT_EQ(G().FatalErrorFlag, 0);
  const SpringDataRecord before = s;
  Lines t = SplitLines(Run(kOutTxt, PrintReportCompensation));
  EXPECT_EQ(Labels(t), (Lines{"F2max -> L0", "F2min -> L0", "dmax -> n", "dmin -> n", "dmax -> F1, F2",
                              "dmin -> F1, F2", "Dmmax -> n", "Dmmin -> n", "Dmmax -> F1, F2", "Dmmin -> F1, F2"}));
  for (Real SpringDataRecord::*field : {&SpringDataRecord::F1, &SpringDataRecord::F2, &SpringDataRecord::L0,
                                        &SpringDataRecord::n, &SpringDataRecord::d, &SpringDataRecord::De,
                                        &SpringDataRecord::Di, &SpringDataRecord::Dm, &SpringDataRecord::TolF2,
                                        &SpringDataRecord::TolF2Minus, &SpringDataRecord::TolDe,
                                        &SpringDataRecord::TolWire, &SpringDataRecord::R})
    EXPECT_NEAR(static_cast<double>(s.*field), static_cast<double>(before.*field), 1e-9);

  // Two forces whose tolerance fields cross; Di given.
  test::MakeRoundDynamic();
  s.Allowance = 2;
  s.DiameterGiven = 2;
  s.GradeF1 = s.GradeF2 = 5;
  s.TolF1 = s.TolF2 = 200;
  s.TolF1Minus = s.TolF2Minus = -200;
  RunRecalculation();
  ASSERT_EQ(G().FatalErrorFlag, 0);
  t = SplitLines(Run(kOutTxt, PrintReportCompensation));
  EXPECT_TRUE(Has(t, "    F1       F2       R     L0     Lc       n      Di      d     tauk2"));
  EXPECT_EQ(Labels(t), (Lines{"F1min, F2max -> n, L0", "F1max, F2min -> n, L0", "F1min, F2min -> n, L0",
                              "F1min, F2max -> d, L0", "F1max, F2min -> d, L0", "F1min, F2min -> d, L0",
                              "Dimax -> n", "Dimin -> n", "Dimax -> F1, F2", "Dimin -> F1, F2"}));
  const auto second = std::find(t.begin(), t.end(), "F1max, F2min -> n, L0");
  ASSERT_LT(second + 2, t.end());
  EXPECT_EQ(second[1], "  480.0    420.0  " + FormatSpringRateField(3, 2, -60 / s.sh));
  EXPECT_EQ(second[2], "Fatal: F1 > F2!!!  ");
}

TEST_F(PrintoutTest, CompensationRefusesNonRoundWire) {
  test::MakeRoundDynamic();
  SpringData().CrossSection = 2;
  ui().ExpectMessageBox("", "for round wire only");
  PrintReportCompensation();
  EXPECT_FALSE(OutputDeviceIsOpen());
  EXPECT_TRUE(fs::is_empty(tmp_));
}

// ---- Failures --------------------------------------------------------------

// A fatal calculation or a cancelled target choice: nothing written.
TEST_F(PrintoutTest, FatalCalculationOrCancelWritesNothing) {
  for (void (*print)() : {PrintReport, PrintReportExtract, PrintReportCompensation}) {
    test::MakeRoundDynamic();
    const Real n = SpringData().n;
    G().AskOutputTarget = 1;
    ui().ExpectChoiceCancel("Ausgabe auf");
    print();
    EXPECT_FALSE(OutputDeviceIsOpen());
    EXPECT_EQ(SpringData().n, n);

    G().AskOutputTarget = 0;
    G().FatalErrorFlag = 1;
    AddErrorMessage("Fatal  : sc <= 0 !");
    G().OutputTarget = kOutTxt;
    ui().ExpectChoiceCancel("Berechnungsmodul meldet");
    print();
    EXPECT_FALSE(OutputDeviceIsOpen());
    EXPECT_TRUE(fs::is_empty(tmp_));
  }
}

// Zero divisors print empty values; no "INF" or "NAN" anywhere.
TEST_F(PrintoutTest, ZeroDivisorsPrintEmptyValues) {
  test::MakeRoundDynamic();
  SpringDataRecord& s = SpringData();
  s.Dm = 0;
  s.taun = 0;
  s.tauc = 0;
  s.L0 = 0;
  Lines t = SplitLines(Run(kOutTxt, PrintReport));
  EXPECT_EQ(Value(t, "Anpre\xE1" "druck", "R/D"), "MPa|");
  t = SplitLines(Run(kOutTxt, PrintReportExtract));
  EXPECT_TRUE(Has(t, "     L0/D =      s2/L0 = "));
  EXPECT_TRUE(Has(t, "taukn=" + FormatStressField(5, 0, 0) + "\t"));
  EXPECT_FALSE(Has(t, "INF") || Has(t, "NAN"));

  // A stroke of 0 in the compensation variants: "Fatal Error !!!  ".
  test::MakeRoundDynamic();
  s.Allowance = 4;
  s.sh = 0;
  t = SplitLines(Run(kOutTxt, PrintReportCompensation));
  const auto variant = std::find(t.begin(), t.end(), "F1min, F2max -> d, L0");
  ASSERT_LT(variant + 1, t.end());
  EXPECT_EQ(variant[1], "Fatal Error !!!  ");
  EXPECT_FALSE(Has(t, "INF") || Has(t, "NAN"));
}

}  // namespace
}  // namespace zeb
