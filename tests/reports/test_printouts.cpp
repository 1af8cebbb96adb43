// The three printouts of every example spring against reviewed golden
// files (framed code page 850, TXT, HTML), the layout checker of the
// framed output, the TXT rows against the calculated fields and the
// hand-checked round dynamic example.
//
// Golden files compare by value (base/support_golden.h); ZEB1_UPDATE_GOLDEN=1
// rewrites them instead of comparing.
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cmath>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "base/format.h"
#include "base/globals.h"
#include "base/support_golden.h"
#include "platform/oem_literal.h"
#include "printout_fixture.h"
#include "tables/table_services.h"
#include "xbase/core/units.h"
#include "reports/device.h"
#include "reports/printout_comp.h"
#include "reports/printout_full.h"
#include "reports/printout_short.h"
#include "spring/springfile.h"

namespace zeb {
namespace {

using test::PrintoutTest;
using test::ReadBytes;
using test::SplitLines;
using test::SplitTabs;
namespace fs = std::filesystem;

using test::kExampleDir;
// Absolute at start-up: __FILE__ may be relative, and tests change the
// working directory.
const fs::path kGoldenDir = fs::absolute(fs::path(__FILE__).parent_path() / "golden");

// Date, time, temporary names and the temporary folder masked. The time
// ("9:05" or "21:05") always becomes "##:##", taking the blank after a
// one-digit hour, so framed lines keep their width.
std::string Mask(std::string text, const fs::path& tmp) {
  static const std::regex date(R"(\b\d{2}([./])\d{2}([./])\d{4}\b)");
  static const std::regex isoDate(R"(\b\d{4}/\d{2}/\d{2}\b)");
  static const std::regex time(R"(\b\d{2}:\d{2}\b)");
  static const std::regex shortTime(R"(\b\d:\d{2}\b ?)");
  static const std::regex txtName(R"(\$\$\$\d+\.txt)");
  static const std::regex htmName(R"(zeb1(-\d+)?\.htm)");
  text = std::regex_replace(text, date, "##$1##$2####");
  text = std::regex_replace(text, isoDate, "####/##/##");
  text = std::regex_replace(text, time, "##:##");
  text = std::regex_replace(text, shortTime, "##:##");
  text = std::regex_replace(text, txtName, "$$$$$$#.txt");
  text = std::regex_replace(text, htmName, "zeb1-#.htm");
  const std::string folder = tmp.string();
  for (std::size_t p = text.find(folder); p != std::string::npos; p = text.find(folder, p))
    text.replace(p, folder.size(), "<TMP>");
  return text;
}

// Problems of a framed (text target) output: indent, frame width, skip
// markers, headings out of order, page totals that differ from the heads.
std::vector<std::string> CheckFramed(const std::string& text, const std::vector<std::string>& headings) {
  std::vector<std::string> problems;
  const std::string frameChars = "\xC9\xCC\xC8\xBA\xC4\xCD";  // box characters of style 2
  std::size_t next = 0;
  int heads = 0;
  std::vector<int> totals;
  for (const std::string& line : SplitLines(text)) {
    if (line == "\f" || line.empty()) continue;
    if (line.compare(0, 7, "       ") != 0) problems.push_back("not indented: " + line);
    if (line.size() > 7 && frameChars.find(line[7]) != std::string::npos && line.size() != 77)
      problems.push_back("frame line of " + std::to_string(line.size()) + " bytes: " + line);
    if (line.find("$!$") != std::string::npos) problems.push_back("skip marker: " + line);
    if (next < headings.size() && line.find(headings[next]) != std::string::npos) ++next;
    const std::size_t bl = line.find("Bl.");
    if (bl != std::string::npos && line.size() > 7 && line[7] == '\xBA') {
      ++heads;
      if (line.compare(bl + 3, 2, IntToTextBlankPad(heads, 2)) != 0) problems.push_back("page number: " + line);
      if (line.size() > bl + 6 && line[bl + 5] == '/') totals.push_back(std::atoi(line.c_str() + bl + 6));
    }
  }
  if (next != headings.size()) problems.push_back("heading missing or out of order: " + headings[next]);
  for (int t : totals)
    if (t != heads) problems.push_back("page total " + std::to_string(t) + " for " + std::to_string(heads) + " pages");
  return problems;
}

bool HasInfOrNan(const std::string& text) {
  static const std::regex re(R"((^|[^A-Za-z])(inf|nan)([^A-Za-z]|$))", std::regex::icase);
  return std::regex_search(text, re);
}

struct Example {
  std::string name;
  std::function<void()> load;
};

// The generated tables serve examples that take their material from the
// material table (indexes go to the test's temporary folder).
void UseShippedTables() {
  G().DbfFolder = ZEB1_DBF_FOLDER;
  static const bool installed = [] {
    xbase::InitTableEngineUnits();
    return true;
  }();
  (void)installed;
  SetTables(std::make_shared<EngineTables>());
}

std::vector<Example> Examples() {
  std::vector<Example> list;
  std::error_code ec;
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(kExampleDir, ec))
    if (entry.path().extension() == ".zeb") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  for (const fs::path& p : files)
    list.push_back({p.stem().string(), [p] {
                      ResetSpringGlobals();
                      ValueTable() = ValueTableRecord{};
                      UseShippedTables();
                      ReadSpringFile(p.string());
                    }});
  return list;
}

struct PrintoutKind {
  std::string name;
  void (*print)();
  std::vector<std::string> headings;
};

const std::vector<PrintoutKind>& Kinds() {
  static const std::vector<PrintoutKind> kinds = {
      {"full", PrintReport, {"HAUPTABMESSUNGEN", "FEDERL\x8E" "NGEN", "FEDERKR\x8E" "FTE", "FEDERWEGE", "SPANNUNGEN",
                             "Lagerungsbeiwert", "Min.Durchmesser"}},
      {"short", PrintReportExtract, {"De = ", "Federenden", "tan alpha", "tauz = ", "Federl\x84nge", "L0=", "Lc="}},
      {"comp", PrintReportCompensation, {"De = ", "Federl\x84nge", "Fertigungsausgleich", "    F1       F2"}},
  };
  return kinds;
}

TEST_F(PrintoutTest, GoldenFilesOfEveryExample) {
  const std::vector<Example> examples = Examples();
  ASSERT_GE(examples.size(), 1u);
  for (const Example& ex : examples) {
    for (const PrintoutKind& kind : Kinds()) {
      SCOPED_TRACE(ex.name + " " + kind.name);
      ex.load();
      ASSERT_EQ(G().AbortFlag, 0);
      ASSERT_EQ(G().FatalErrorFlag, 0);
      const bool refused = kind.print == PrintReportCompensation && SpringData().CrossSection != 1;
      if (refused) {
        ui().ExpectMessageBox("", "for round wire only");
        kind.print();
        continue;
      }
      std::vector<std::string> headings = kind.headings;
      if (SpringData().DiameterGiven != 1 && kind.name != "full")
        headings[0] = SpringData().DiameterGiven == 2 ? "Di = " : "Dm = ";
      G().ReportLineStyle = 2;
      const std::string framed = Run(kOutFile, kind.print);
      ex.load();
      const std::string txt6 = Run(kOutTxt, kind.print);
      ex.load();
      const std::string txt9 = Run(kOutCommandLine, kind.print);
      ex.load();
      const std::string html = Run(kOutHtml, kind.print);
      ASSERT_FALSE(framed.empty());
      ASSERT_FALSE(txt6.empty());
      ASSERT_FALSE(html.empty());

      for (const std::string& p : CheckFramed(framed, headings)) ADD_FAILURE() << p;
      for (const std::string* out : {&framed, &txt6, &html}) EXPECT_FALSE(HasInfOrNan(*out));
      // Targets 6 and 9 differ only in the file named by the head's second
      // line: the command-line run names the file it delivers.
      const auto line2 = [](const std::string& t) {
        const std::size_t b = t.find("\r\n") + 2;
        return std::pair(b, t.find("\r\n", b) - b);
      };
      std::string txt9as6 = txt9;
      EXPECT_EQ(txt9.substr(line2(txt9).first, line2(txt9).second), "beispiel.txt");
      txt9as6.replace(line2(txt9).first, line2(txt9).second, txt6.substr(line2(txt6).first, line2(txt6).second));
      EXPECT_EQ(Mask(txt6, tmp_), Mask(txt9as6, tmp_)) << "targets 6 and 9 differ";

      const std::string stem = ex.name + "_" + kind.name;
      test::ExpectGoldenFile(kGoldenDir / (stem + "_t3.txt"), Mask(framed, tmp_));
      test::ExpectGoldenFile(kGoldenDir / (stem + "_txt.txt"), Mask(txt6, tmp_));
      test::ExpectGoldenFile(kGoldenDir / (stem + "_t7.htm"), Mask(html, tmp_));
    }
  }
}

// Short pages break inside the sections: every page keeps its head, the
// totals count the pages written.
TEST_F(PrintoutTest, ShortPagesKeepTheLayout) {
  G().ReportLineStyle = 2;
  G().LinesPerPage = 30;
  for (const PrintoutKind& kind : Kinds()) {
    SCOPED_TRACE(kind.name);
    test::MakeRoundDynamic();
    const std::string framed = Run(kOutFile, kind.print);
    for (const std::string& p : CheckFramed(framed, {})) ADD_FAILURE() << p;
    EXPECT_GT(ReportPageCount(), kind.name == "full" ? 5 : 1);
  }
}

// The checker itself finds what it is meant to find.
TEST(FramedChecker, ReportsEachKindOfFault) {
  const std::string good(7, ' ');
  const std::string frame = good + std::string(70, '\xCD');
  EXPECT_TRUE(CheckFramed(good + "A\r\n\f\r\n\r\n" + frame + "\r\n" + good + "B\r\n", {"A", "B"}).empty());
  EXPECT_EQ(CheckFramed("A\r\n", {}).size(), 1u);
  EXPECT_EQ(CheckFramed(frame + "x\r\n", {}).size(), 1u);
  EXPECT_EQ(CheckFramed(good + "$!$\r\n", {}).size(), 1u);
  EXPECT_EQ(CheckFramed(good + "B\r\n" + good + "A\r\n", {"A", "B"}).size(), 1u);
  EXPECT_TRUE(HasInfOrNan("x\t-INF\r\n"));
  EXPECT_TRUE(HasInfOrNan("nan"));
  EXPECT_FALSE(HasInfOrNan("Dauerfestigkeit Einfluss"));
  const fs::path none = "/nowhere";
  EXPECT_EQ(Mask("06.12.2026 9:05  |\t9:05", none), Mask("31.01.2027 21:59 |\t21:59", none));
}

// Every 4-field TXT row of the full printout: the unit is the unit layer's
// name and the number equals the calculated field within half a unit of
// its last digit, in every unit system (with the conversion factors of
// the unit layer's definition: 25.4 mm/in, 4.44822 N/lbf, 145.037 psi per
// N/mm², 453.59237 g/lb).
TEST_F(PrintoutTest, TxtRowsMatchTheCalculatedFields) {
  for (int system = 0; system <= 4; ++system) {
    SCOPED_TRACE("unit system " + std::to_string(system));
    test::MakeRoundDynamicTableMaterial();
    G().UnitSystem = static_cast<std::int16_t>(system);
    const bool en = system == 1, kilo = system == 2 || system == 4;
    const Real inch = 25.4L, lbf = 4.44822L, psi = 1 / 145.037L, lb = 1000 / 2.2046226218487758072L;
    const SpringDataRecord& s = SpringData();
    const auto len = [&](Real x) { return en ? x / inch : x; };
    const auto force = [&](Real x) { return en ? x / lbf : kilo ? x / 1000 : x; };
    const auto stress = [&](Real x) { return en ? x / psi : x; };
    const auto rate = [&](Real x) { return en ? x * inch / lbf : x; };
    const auto moment = [&](Real x) { return en ? x / (lbf * inch) : kilo ? x / 1000 : x; };
    const std::string L = en ? "in" : "mm", F = en ? "lbf" : kilo ? "kN" : "N";
    const std::string T = en ? "psi" : (system >= 3 ? "N/mm\xFD" : "MPa");
    const std::string RU = en ? "lbf/in" : "N/mm", M = en ? "lbfin" : kilo ? "Nm" : "Nmm";
    const std::string g = en ? "lb" : "g";
    struct Want {
      Real value;
      std::string unit;
    };
    std::map<std::string, Want> want = {
        {"E", {stress(s.E), T}}, {"G", {stress(s.G), T}}, {"rho", {s.rho, "kg/dm^3"}}, {"Rm", {stress(s.Rm), T}},
        {"tauz", {stress(s.tauzul), T}}, {"theta", {en ? s.T * 9 / 5 + 32 : s.T, en ? " F" : "\xF8" "C"}},
        {"G 20", {stress(s.GT), T}}, {"d", {len(s.d), L}}, {"Di", {len(s.Di), L}},
        {"Dm", {len(s.Dm), L}}, {"De", {len(s.De), L}}, {"n(if)", {s.n, ""}}, {"nt", {s.nt, ""}},
        {"L0", {len(s.L0), L}}, {"L1", {len(s.L1), L}}, {"L2", {len(s.L2), L}}, {"Ln", {len(s.Ln), L}},
        {"Ln'", {len(s.UsableLength), L}}, {"Lc", {len(s.Lc), L}}, {"F1", {force(s.F1), F}}, {"F2", {force(s.F2), F}},
        {"Fn", {force(s.Fn), F}}, {"Fn'", {force(s.Fzul), F}}, {"Fc th", {force(s.Fc), F}},
        {"sh", {len(s.sh), L}}, {"s1", {len(s.s1), L}}, {"s2", {len(s.s2), L}}, {"sn", {len(s.sn), L}},
        {"sn'", {len(s.UsableTravel), L}}, {"sc", {len(s.sc), L}}, {"tau 1", {stress(s.tau1), T}},
        {"tau 2", {stress(s.tau2), T}}, {"tau n", {stress(s.taun), T}}, {"tau c", {stress(s.tauc), T}},
        {"k", {s.k, ""}}, {"tau k1", {stress(s.tauk1), T}}, {"tau k2", {stress(s.tauk2), T}},
        {"tau kh", {stress(s.taukh), T}}, {"tau hz", {stress(s.tauhzul), T}}, {"tau z", {stress(s.tauzul), T}},
        {"nue", {s.nue, ""}}, {"e1", {len(s.e1), L}}, {"e2", {len(s.e2), L}}, {"R", {rate(s.R), RU}},
        {"m", {(en ? s.m / lb : s.m) * (s.m < 100 ? 100 : 1), s.m < 100 ? g + "/100" : g}},
        {"fe", {s.fe, "1/s"}}, {"f", {s.f, "1/s"}}, {"deltaDe", {len(s.dDe), L}}, {"Dmc", {len(s.Dm + s.dDe), L}},
        {"Sa", {len(s.Ln - s.Lc), L}}, {"sc-s2", {len(s.sc - s.s2), L}}, {"w", {s.w, ""}},
        {"tan alfa", {s.TanAlpha, ""}}, {"P", {len(s.P), L}}, {"Dm/P", {s.PitchRatio, ""}},
        {"aW0", {len(s.GapL0), L}}, {"aW2", {len(s.GapL2), L}}, {"lambda", {s.lambda, ""}},
        {"W12", {moment(s.W12), M}}, {"W0c", {moment(s.W0c), M}}, {"L", {len(s.WireLength), L}},
        {"R/D", {stress(s.R / s.Dm), T}}, {"Ddmax", {len(s.Ddmax), L}}, {"Dhmin", {len(s.Dhmin), L}},
        {"N", {s.N * 1e-6L, "Mio"}}, {"tN", {s.N / s.f / 3600, "h"}}};
    std::map<std::string, Real> endCoils = {{"ungefederte Endwindungen Unterseite", s.EndCoils[1]},
                                            {"ungefederte Endwindungen Oberseite", s.EndCoils[2]}};

    const std::string txt = Run(kOutTxt, PrintReport);
    int rows = 0;
    for (const std::string& line : SplitLines(txt)) {
      const std::vector<std::string> f = SplitTabs(line);
      if (f.size() != 4) continue;
      SCOPED_TRACE(line);
      std::string text = f[3];
      while (!text.empty() && text.front() == ' ') text.erase(0, 1);
      if (!text.empty() && text.front() == '(') text = text.substr(1, text.size() - 2);
      if (text == "knicksicher" || text == "> 10 Mio." || text == "dauerfest") {
        EXPECT_TRUE(f[1] == "sk" ? f[2] == L : f[2].empty());
        continue;
      }
      if (f[1] == "tol") {  // the fatigue tolerance pair, percent
        EXPECT_EQ(f[2], "%");
        continue;
      }
      Want w{0, ""};
      if (f[1].empty()) {
        ASSERT_TRUE(endCoils.count(f[0]));
        w = {endCoils[f[0]], ""};
      } else {
        ASSERT_TRUE(want.count(f[1])) << "no field for symbol " << f[1];
        w = want[f[1]];
      }
      EXPECT_EQ(f[2], w.unit);
      double v = 0;
      const auto parsed = std::from_chars(text.data(), text.data() + text.size(), v);
      ASSERT_EQ(parsed.ec, std::errc());
      const std::string digits(text.c_str(), static_cast<std::size_t>(parsed.ptr - text.c_str()));
      const std::size_t point = digits.find('.');
      const int decimals = point == std::string::npos ? 0 : static_cast<int>(digits.size() - point - 1);
      EXPECT_LE(std::fabs(v - static_cast<double>(w.value)), 0.5 * std::pow(10.0, -decimals) * (1 + 1e-9));
      ++rows;
    }
    EXPECT_GE(rows, 60);
  }
}

// The round dynamic example of examples/, worked out by hand.
TEST_F(PrintoutTest, RoundDynamicExampleHandChecked) {
  test::MakeRoundDynamic();
  ASSERT_EQ(G().FatalErrorFlag, 0);
  G().UnitSystem = 3;  // N/mm²
  std::map<std::string, std::string> rows;
  for (const std::string& line : SplitLines(Run(kOutTxt, PrintReport))) {
    const std::vector<std::string> f = SplitTabs(line);
    if (f.size() == 4) rows[f[1]] = f[2] + " " + f[3].substr(f[3].find_first_not_of(' '));
  }
  // R = G d^4 / (8 Dm^3 n) = 16.1806 N/mm; s = F / R; tau = 8 F Dm / (pi d^3).
  EXPECT_EQ(rows["R"], "N/mm 16.18");
  EXPECT_EQ(rows["s1"], "mm 17.30");
  EXPECT_EQ(rows["s2"], "mm 38.32");
  EXPECT_EQ(rows["sh"], "mm 21.01");
  EXPECT_EQ(rows["L0"], "mm 105.8 \xF1 2.39");
  EXPECT_EQ(rows["tau 2"], "N/mm\xFD 437");
  EXPECT_EQ(rows["tau k1"], "N/mm\xFD 237");
  // k = 1 + 1.25/w + 0.875/w^2 + 1/w^3 with w = 6.92: 1.2019, so tau k2 =
  // 1.2019 * 437.0 = 525.3 (the factor (w + 0.5)/(w - 0.75) = 1.2026 would
  // give 1.203 and 526).
  EXPECT_EQ(rows["k"], " 1.202");
  EXPECT_EQ(rows["tau k2"], "N/mm\xFD 525");

  test::MakeRoundDynamic();
  const std::string comp = Run(kOutTxt, PrintReportCompensation);
  EXPECT_NE(comp.find("  280.0    620.0   16.18  105.8   57.9    9.50   34.60   5.000   525"), std::string::npos)
      << comp;
}

// Every HTML golden is well-formed.
TEST(HtmlGoldens, ParseBalanced) {
  std::vector<std::string> files;
  for (const auto& e : fs::directory_iterator(kGoldenDir))
    if (e.path().extension() == ".htm") files.push_back(e.path().string());
  ASSERT_GT(files.size(), 0u);
  const std::string problems = test::HtmlProblems(files);
  if (problems == "no python3") GTEST_SKIP() << problems;
  EXPECT_EQ(problems, "");
}

}  // namespace
}  // namespace zeb
