// The material sheets as a user gets them: the tensile-strength staircases
// of a table material (tau-d sheet from the command line, Rm-d Quick sheet
// in the program) checked line by line against the published ranges, the
// sheets of a spring with its own material values, and the relaxation
// refusal. Files are read back with ezdxf and the shared checkers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/globals.h"
#include "base/services.h"
#include "base/support_fixture.h"
#include "drawings/drawings.h"
#include "graphics/facade.h"
#include "graphics/support_checkers.h"
#include "mainwin/commands.h"
#include "mainwin/dispatch.h"
#include "mainwin/program.h"
#include "headless_run.h"
#include "program_fixture.h"
#include "spring/calc.h"
#include "spring/changelog.h"
#include "spring/dimension.h"
#include "spring/documents.h"
#include "reports/device.h"
#include "reports/printout_full.h"
#include "spring/valuetable.h"
#include "spring/spring_data.h"
#include "spring/springfile.h"
#include "spring/strength.h"
#include "tables/table_services.h"
#include "xbase/core/units.h"

#ifndef ZEB1_WZEB1
#error "ZEB1_WZEB1 names the program under test"
#endif
#ifndef ZEB1_DBF_FOLDER
#error "ZEB1_DBF_FOLDER names the generated tables"
#endif

namespace zeb {
namespace {

namespace fs = std::filesystem;
using test::ShellQuote;

const fs::path kCsvFolder = test::SourceDir() / "data" / "tables";
const fs::path kStaircaseCheck = test::SourceDir() / "tests" / "mainwin" / "staircase_check.py";

// The staircase checker's verdict on a sheet ("" when it passes).
std::string StaircaseProblems(const fs::path& dxf, int material, const char* mode, std::string* report = nullptr) {
  std::string out;
  const int rc = test::RunCommand("/usr/bin/python3 " + ShellQuote(kStaircaseCheck.string()) + " " +
                                      ShellQuote(dxf.string()) + " " + ShellQuote(kCsvFolder.string()) + " " +
                                      std::to_string(material) + " " + mode + " 2>&1",
                                  out);
  if (report) *report = out;
  return rc == 0 ? std::string() : out;
}

// The entities of a DXF file as ezdxf reads them.
struct Entity {
  std::string type, layer, text;
};
std::vector<Entity> Entities(const fs::path& dxf) {
  std::string out;
  EXPECT_EQ(test::RunCommand("/usr/bin/python3 " + ShellQuote(kStaircaseCheck.string()) + " " +
                                 ShellQuote(dxf.string()) + " --entities",
                             out),
            0)
      << out;
  std::vector<Entity> list;
  std::size_t start = 0;
  while (start < out.size()) {
    std::size_t end = out.find('\n', start);
    if (end == std::string::npos) end = out.size();
    const std::string line = out.substr(start, end - start);
    const std::size_t t1 = line.find('\t'), t2 = line.find('\t', t1 + 1);
    if (t1 != std::string::npos && t2 != std::string::npos)
      list.push_back({line.substr(0, t1), line.substr(t1 + 1, t2 - t1 - 1), line.substr(t2 + 1)});
    start = end + 1;
  }
  return list;
}

std::vector<std::string> Texts(const fs::path& dxf) {
  std::vector<std::string> texts;
  for (const Entity& e : Entities(dxf))
    if (e.type == "TEXT") texts.push_back(e.text);
  return texts;
}

bool HasText(const std::vector<std::string>& texts, const std::string& part) {
  return std::any_of(texts.begin(), texts.end(), [&](const std::string& t) { return t.find(part) != std::string::npos; });
}

// ---------------------------------------------------------------- command line

class MaterialSheetsCli : public ::testing::Test {
 protected:
  void SetUp() override { root_ = test::FreshTestFolder("zeb1_matsheets_", {"xdg", "tmp"}); }
  void TearDown() override { fs::remove_all(root_); }
  // wzeb1 on a copy of an example in a fresh folder; the exit code (timeout:
  // a hang bound, a run takes a tenth of a second here).
  int Run(const std::string& example, const std::string& tag, const std::string& switches) {
    const fs::path work = root_ / tag;
    fs::create_directories(work);
    fs::copy_file(test::SourceDir() / "examples" / example, work / "t.zeb");
    std::string ignored;
    return test::RunCommand("cd " + ShellQuote(work.string()) + " && XDG_CONFIG_HOME=" +
                                ShellQuote((root_ / "xdg").string()) + " TMPDIR=" + ShellQuote((root_ / "tmp").string()) +
                                " timeout 20 " + ShellQuote(ZEB1_WZEB1) + " t.zeb " + switches + " >out 2>err",
                            ignored);
  }
  fs::path root_;
};

// `wzeb1 examples/table_material.zeb /CAD1:6`: the EN 10270-1 DH limits as
// published, 0.05 to 4 mm (no published range above).
TEST_F(MaterialSheetsCli, TauDSheetOfATableMaterialDrawsThePublishedLimits) {
  ASSERT_EQ(Run("table_material.zeb", "taud", "/CAD1:6"), 0) << test::ReadBytes(root_ / "taud" / "err");
  const fs::path dxf = root_ / "taud" / "t.dxf";
  std::string report;
  EXPECT_EQ(StaircaseProblems(dxf, 5, "tau-d", &report), "");
  EXPECT_NE(report.find("staircase 0.05 .. 4 mm"), std::string::npos) << report;
  const auto texts = Texts(dxf);
  EXPECT_TRUE(HasText(texts, "EN 10270-1 DH (patentiert"));
  EXPECT_FALSE(HasText(texts, "()"));
  const test::CheckResult check = test::CheckDxf(dxf.string());
  if (!check.missing) {
    EXPECT_TRUE(check.ok) << check.Report();
  }
}

// A spring with its own material values: no empty brackets, no Rm law at
// 0 and no law table; the spring's own Rm as a marked point, tau z as the
// spring's permissible stress.
TEST_F(MaterialSheetsCli, OwnMaterialSheetsNameItAndDrawItsRmOnly) {
  ASSERT_EQ(Run("round_dynamic.zeb", "taud", "/CAD1:6"), 0) << test::ReadBytes(root_ / "taud" / "err");
  const fs::path dxf = root_ / "taud" / "t.dxf";
  const auto texts = Texts(dxf);
  EXPECT_TRUE(HasText(texts, "Federstahldraht DH"));
  EXPECT_FALSE(HasText(texts, "()"));
  EXPECT_FALSE(HasText(texts, "Rm = "));
  EXPECT_FALSE(HasText(texts, "tauz = 0.56"));
  EXPECT_TRUE(std::count(texts.begin(), texts.end(), "Rm") == 1);
  EXPECT_TRUE(std::count(texts.begin(), texts.end(), "tau z") == 1);
  int circles = 0, staircase = 0;
  for (const Entity& e : Entities(dxf)) {
    if (e.type == "CIRCLE" && e.layer == "5") ++circles;
    if (e.layer == "22") ++staircase;
  }
  EXPECT_EQ(circles, 1);  // the Rm point
  EXPECT_EQ(staircase, 0);
  const test::CheckResult check = test::CheckDxf(dxf.string());
  if (!check.missing) {
    EXPECT_TRUE(check.ok) << check.Report();
  }

  ASSERT_EQ(Run("round_dynamic.zeb", "goodman", "/CAD1:7"), 0);
  const auto goodman = Texts(root_ / "goodman" / "t.dxf");
  EXPECT_TRUE(HasText(goodman, "Federstahldraht DH nicht kugelgestrahlt"));
  EXPECT_FALSE(HasText(goodman, "()"));
}

// Relaxation over shear stress with no data: the message on stderr, exit 2,
// no file; for every example (the shipped table has no rows).
TEST_F(MaterialSheetsCli, RelaxationWithoutDataSaysSo) {
  int examples = 0;
  for (const auto& e : fs::directory_iterator(test::SourceDir() / "examples")) {
    if (e.path().extension() != ".zeb") continue;
    ++examples;
    const std::string tag = e.path().stem().string();
    SCOPED_TRACE(tag);
    EXPECT_EQ(Run(e.path().filename().string(), tag, "/CAD1:11"), 2);
    EXPECT_FALSE(fs::exists(root_ / tag / "t.dxf"));
    const std::string err = test::ReadBytes(root_ / tag / "err");
    EXPECT_NE(err.find("Keine Relaxationsdaten f\xC3\xBCr diesen Werkstoff"), std::string::npos) << err;
  }
  EXPECT_GE(examples, 6);
}

// ---------------------------------------------------------------- Rm-d Quick in the program

class RmDQuickTest : public test::BaseTest {
 protected:
  void SetUp() override {
    BaseTest::SetUp();
    run_.Start("zeb1_rmd_");
    run_.InstallServices();
    root_ = run_.root;
  }
  void TearDown() override {
    run_.Stop();
    BaseTest::TearDown();
  }
  // The Rm-d Quick entry of the diagram menu as a DXF (or IGES) file.
  fs::path WriteSheet(const std::string& name, int cadCode = kCadDxf) {
    G().CurrentFileName = name;
    G().AbortFlag = 0;
    SetCadBatchMode(1);
    Drawings().SelectDiagram(17, cadCode);
    SetCadBatchMode(0);
    return root_ / "work" / (name + (cadCode == kCadDxf ? ".dxf" : ".igs"));
  }
  // Rows of the sheet's table: the first " d <= D", then " a < d <= b".
  static void ExpectRows(const fs::path& dxf, int slots, const std::string& first) {
    const auto texts = Texts(dxf);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), " d <= " + first), 1);
    EXPECT_EQ(std::count_if(texts.begin(), texts.end(),
                            [](const std::string& t) { return t.find(" < d <= ") != std::string::npos; }),
              slots - 1);
  }
  test::HeadlessRun run_;
  fs::path root_;
};

TEST_F(RmDQuickTest, TableMaterialExampleAndAnSmSpring) {
  // The example as read: EN 10270-1 DH, 61 slots from 0.05 to 4 mm.
  ReadSpringFile((test::SourceDir() / "examples" / "table_material.zeb").string());
  ASSERT_EQ(G().AbortFlag, 0);
  ASSERT_EQ(SG().RmTableLoaded, 1);
  const fs::path dh = WriteSheet("dh");
  ASSERT_TRUE(fs::exists(dh));
  std::string report;
  EXPECT_EQ(StaircaseProblems(dh, 5, "rm-d", &report), "");
  EXPECT_NE(report.find("staircase 0.05 .. 4 mm"), std::string::npos) << report;
  ExpectRows(dh, 61, "0.05");

  // The same spring of EN 10270-1 SM (taken from the table): its limits
  // run from 0.3 to 20 mm, 79 slots.
  ASSERT_TRUE(Tables().LoadMaterialRow(2));
  MaterialSource() = 2;
  CopyMaterialToSpring();
  RunCalculation();
  ASSERT_EQ(SG().RmTableLoaded, 1);  // kept by the calculation
  const fs::path sm = WriteSheet("sm");
  EXPECT_EQ(StaircaseProblems(sm, 2, "rm-d", &report), "");
  EXPECT_NE(report.find("staircase 0.3 .. 20 mm"), std::string::npos) << report;
  ExpectRows(sm, 79, "0.3");
  const auto texts = Texts(sm);
  EXPECT_TRUE(HasText(texts, "EN 10270-1 SM"));
  EXPECT_FALSE(HasText(texts, "()"));
  const test::CheckResult check = test::RunDxfCheck(std::vector<std::string>{dh.string(), sm.string()});
  if (!check.missing) {
    EXPECT_TRUE(check.ok) << check.Report();
  }
  const fs::path igs = WriteSheet("sm", kCadIges);
  ASSERT_TRUE(fs::exists(igs));
  const test::CheckResult igesCheck = test::CheckIges(igs.string());
  if (!igesCheck.missing) {
    EXPECT_TRUE(igesCheck.ok) << igesCheck.Report();
  }
}

// EN 10270-3 1.4401 has published minima to 1 mm and again from 1.5 to
// 6 mm: the table lists the 37 slots to 1 mm and the 24 from 1.6 to 6 mm,
// the gap passed over; no maximum is published, so no "Rm max" cell holds a
// number.
TEST_F(RmDQuickTest, SlotsAfterAGapAreListedAndNoMaximumIsEmpty) {
  ReadSpringFile((test::SourceDir() / "examples" / "table_material.zeb").string());
  ASSERT_TRUE(Tables().LoadMaterialRow(14));
  MaterialSource() = 14;
  CopyMaterialToSpring();
  SpringData().d = SpringData().h = 2;
  RunCalculation();
  ASSERT_EQ(SG().RmTableLoaded, 1);
  const fs::path sheet = WriteSheet("r4401");
  ASSERT_TRUE(fs::exists(sheet));
  std::string report;
  EXPECT_EQ(StaircaseProblems(sheet, 14, "rm-d", &report), "");
  ExpectRows(sheet, 37 + 24, "0.05");
  const auto texts = Texts(sheet);
  for (const char* row : {" 0.95 < d <= 1", " 1.5 < d <= 1.6", " 5.6 < d <= 6"})
    EXPECT_EQ(std::count(texts.begin(), texts.end(), row), 1) << row;
  EXPECT_FALSE(HasText(texts, " 1 < d <= 1.05"));
  EXPECT_FALSE(HasText(texts, " 1.4 < d <= 1.5"));
  EXPECT_EQ(std::count(texts.begin(), texts.end(), " 0"), 0);  // no maximum printed as 0
  EXPECT_EQ(std::count(texts.begin(), texts.end(), " 1150"), 3);  // the slots 5.3, 5.6 and 6 of 5 < d <= 6
}

// A DBF folder without the strength-limit tables (set up before they were
// shipped): the spring still reads and calculates, without a word, and has
// no limits.
TEST_F(RmDQuickTest, MissingLimitTablesLeaveTheSpringAsItWas) {
  fs::remove(root_ / "dbf" / "zebrmmin.dbf");
  fs::remove(root_ / "dbf" / "zebrmmax.dbf");
  ReadSpringFile((test::SourceDir() / "examples" / "table_material.zeb").string());
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(G().FatalErrorFlag, 0);
  EXPECT_EQ(ZEBWST_Record().Name1, "EN 10270-1 DH");
  EXPECT_EQ(SG().RmTableLoaded, 0);
  for (std::uint16_t i = 1; i <= G().ErrorMessageList.count; ++i)
    EXPECT_EQ(G().ErrorMessageList.slot[i].find("Fatal"), std::string::npos) << G().ErrorMessageList.slot[i];
}

// ---------------------------------------------------------------- the table-material examples

// Two example springs whose material comes from the table, built from their
// inputs: round wire with Dm given at 20 degrees, L1 and L2 worked out from
// the rate so that the file reads back to the forces F1 and F2.
struct TableExample {
  const char* file;
  const char* name;
  const char* number;
  int material;
  Real d, Dm, n, L0;
  Code loadType, wireStd;
  Real F1, F2, f;
};

const TableExample kTableExamples[] = {
    // A static spring of EN 10270-1 SH.
    {"table_static.zeb", "Druckfeder statisch SH", "EX-7", 3, 3.2L, 25, 7.5L, 70, 1, 9, 80, 250, 0},
    // A valve spring of EN 10270-2 FDC, 25 Hz.
    {"valve_spring.zeb", "Ventilfeder FDC", "EX-8", 6, 4, 26, 6.5L, 60, 2, 10, 200, 350, 25},
};

void MakeTableExample(const TableExample& e) {
  ResetSpringGlobals();
  ChangeLog() = DefaultChangeLog();
  ChangeLog().CreatedDate = ChangeLog().CheckedDate = ChangeLog().StandardsDate = "15.01.2025";
  ChangeLog().CreatedBy = "ZEB";
  DocumentLinks() = DefaultDocumentLinks();
  ValueTable() = ValueTableRecord{};
  ASSERT_TRUE(Tables().LoadMaterialRow(e.material));
  MaterialSource() = static_cast<std::uint16_t>(e.material);
  CopyMaterialToSpring();
  SpringDataRecord& s = SpringData();
  s.DrawingName = e.name, s.DrawingNo = e.number, s.CalcMode = 3, s.RateInput = 1, s.T = 20.0L;
  s.CrossSection = 1, s.d = s.h = e.d, s.DiameterGiven = 3, s.Dm = e.Dm, s.De = e.Dm + e.d, s.Di = e.Dm - e.d;
  s.n = e.n, s.L0 = e.L0, s.LoadType = e.loadType, s.WireStd = e.wireStd, s.nue = 0.5L, s.f = e.f;
  s.L1 = 0.9L * s.L0;
  s.L2 = 0.7L * s.L0;
  RunRecalculation();
  const Real R = s.R;
  s.L1 = s.L0 - e.F1 / R;
  s.L2 = s.L0 - e.F2 / R;
  RunRecalculation();
}

// The committed files are what our writer writes for the inputs
// (ZEB1_WRITE_EXAMPLES=1 writes them). Read back, they calculate without a
// fatal error or an approximated fatigue law; the valve spring is fatigue
// proof with its stroke below the permissible one, worked out by hand.
TEST_F(RmDQuickTest, TableExamplesAreTheWritersOutputAndPrintClean) {
  const bool write = std::getenv("ZEB1_WRITE_EXAMPLES") != nullptr;
  for (const TableExample& e : kTableExamples) {
    SCOPED_TRACE(e.file);
    MakeTableExample(e);
    ASSERT_EQ(G().FatalErrorFlag, 0);
    const std::string bytes = FormatSpringFile(CurrentSpringFileRecords());
    const fs::path path = test::SourceDir() / "examples" / e.file;
    if (write) test::WriteBytes(path, bytes);
    EXPECT_EQ(test::ReadBytes(path), bytes);

    ResetSpringGlobals();
    ReadSpringFile(path.string());
    ASSERT_EQ(G().AbortFlag, 0);
    const SpringDataRecord& s = SpringData();
    EXPECT_EQ(s.MaterialSel, 0);
    EXPECT_EQ(SG().RmTableLoaded, 1);
    EXPECT_NEAR(static_cast<double>(s.F1), static_cast<double>(e.F1), 1e-6);
    EXPECT_NEAR(static_cast<double>(s.F2), static_cast<double>(e.F2), 1e-6);
    G().AskOutputTarget = 0;
    G().OutputTarget = kOutCommandLine;
    G().CurrentFileName = "printout";
    PrintReport();
    const std::string printout = test::ReadBytes(root_ / "work" / "printout.txt");
    EXPECT_NE(printout.find(e.number), std::string::npos);
    EXPECT_EQ(printout.find("approx.Goodman"), std::string::npos);
    EXPECT_EQ(printout.find("Fatal"), std::string::npos);
    EXPECT_EQ(printout.find("()"), std::string::npos);
    // Rm(d) = Rm0 - slope log10(d), tau zul = 0.56 Rm.
    const double rm = e.material == 3 ? 2154 - 819 * std::log10(3.2) : 1834 - 488 * std::log10(4.0);
    EXPECT_NEAR(static_cast<double>(s.Rm), rm, 1e-6);
    EXPECT_NEAR(static_cast<double>(s.tauzul), 0.56 * rm, 1e-6);
    if (e.loadType == 2) {
      // Goodman of FDC at d 4: tau h = 375 - 117 log10(4) at tau k1 = 0,
      // rising by the slope 0.7683 to the knee; k1 and k2 from
      // k = (w + 0.5) / (w - 0.75) with w = 6.5 and tau = 8 F Dm / (pi d^3).
      const double w = 26.0 / 4, k = (w + 0.5) / (w - 0.75), tau1 = 8 * 200 * 26 / (M_PI * 64);
      EXPECT_NEAR(static_cast<double>(s.tauk1), k * tau1, 2.0);  // the printout's k, not the one above
      EXPECT_GT(static_cast<double>(s.tauhzul), static_cast<double>(s.taukh));
      EXPECT_NEAR(static_cast<double>(s.tauhzul),
                  375 - 117 * std::log10(4.0) - (1 - 0.7683) * static_cast<double>(s.tauk1), 1.0);
    }
  }
}

}  // namespace
}  // namespace zeb
