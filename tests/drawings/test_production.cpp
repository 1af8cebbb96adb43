// The production drawings: end-form sketch points worked by hand, the force
// triangle, the switches and end forms, the change rows, the logo, the code
// page of the texts, the refusals and the golden files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "base/globals.h"
#include "drawings/drawings.h"
#include "drawings/production.h"
#include "drawings/support_drawings.h"
#include "graphics/cad.h"
#include "settings/config.h"
#include "spring/changelog.h"
#include "spring/spring_data.h"

namespace zeb::test {
namespace {

class ProductionTest : public DrawingTest {
 protected:
  void SetUp() override {
    DrawingTest::SetUp();
    LoadRefSpring();
    G().CurrentDataFolder = "/daten";
    G().ProgramVersion = "26.6";
  }
  void TearDown() override {
    SetProductionDataForm(nullptr);
    DrawingTest::TearDown();
  }
  std::string Dxf(const std::string& name = "werk", bool en = false) {
    UseFileName(name);
    if (en)
      DrawProductionDrawingEN(1);
    else
      DrawProductionDrawing(1);
    return dir() + "/" + name + ".dxf";
  }
  static bool HasLine(const std::vector<DxfEntity>& e, double x1, double y1, double x2, double y2,
                      const std::string& layer, double tol = 1e-3) {
    return std::any_of(e.begin(), e.end(), [&](const DxfEntity& l) {
      if (l.type != "LINE" || l.layer != layer) return false;
      const double a[4] = {l.Get(10), l.Get(20), l.Get(11), l.Get(21)};
      auto near = [&](double p, double q, double r, double s) {
        return std::fabs(a[0] - p) < tol && std::fabs(a[1] - q) < tol && std::fabs(a[2] - r) < tol &&
               std::fabs(a[3] - s) < tol;
      };
      return near(x1, y1, x2, y2) || near(x2, y2, x1, y1);
    });
  }
  static std::vector<std::string> TextsOf(const std::vector<DxfEntity>& e) {
    std::vector<std::string> t;
    for (const auto& x : e)
      if (x.type == "TEXT") t.push_back(x.Text(1));
    return t;
  }
  static bool HasText(const std::vector<DxfEntity>& e, const std::string& text) {
    const auto t = TextsOf(e);
    return std::find(t.begin(), t.end(), text) != t.end();
  }
  static bool HasTextPrefix(const std::vector<DxfEntity>& e, const std::string& p) {
    const auto t = TextsOf(e);
    return std::any_of(t.begin(), t.end(), [&](const std::string& s) { return s.rfind(p, 0) == 0; });
  }
};

TEST_F(ProductionTest, EndFormSketchesMatchTheWorkedPoints) {
  const std::string path = Dxf();
  const auto f1 = ReadDxfBlock(path, "FEDER1"), f2 = ReadDxfBlock(path, "FEDER2"), f3 = ReadDxfBlock(path, "FEDER3");
  EXPECT_TRUE(HasLine(f1, -15, 1, 15, 2, "5"));
  EXPECT_TRUE(HasLine(f1, -16.732, 0, 17, 0, "5"));
  EXPECT_TRUE(HasLine(f1, 15.259, 1.983, 3.955, 3.461, "5"));
  EXPECT_TRUE(HasLine(f2, 0, 0, 0, 4, "5"));
  EXPECT_TRUE(HasLine(f2, 0, 4, 15, 4, "5"));
  EXPECT_TRUE(HasLine(f2, 0, 0, 15, 0, "5"));
  EXPECT_TRUE(HasLine(f2, 15.259, 3.983, 5.163, 4.675, "5"));
  EXPECT_TRUE(HasLine(f2, -15.259, 2.073, 0, 1.027, "5"));
  EXPECT_TRUE(HasLine(f3, -8.986, 1.236, -15.259, 2.017, "5"));
  EXPECT_TRUE(HasLine(f3, -17, 1, 17, 2, "5"));
  EXPECT_TRUE(HasLine(f3, -17, 0, 17, 0, "5"));
  EXPECT_TRUE(HasLine(f3, 0, 0, -15.084, 1.972, "5"));
  EXPECT_TRUE(HasLine(f3, -17, 1, -17, 0, "5"));
  EXPECT_TRUE(HasLine(f3, 17, 0, 17, 2, "5"));
  auto arc = [](const std::vector<DxfEntity>& e, double x, double y, double a1, double a2) {
    return std::any_of(e.begin(), e.end(), [&](const DxfEntity& a) {
      return a.type == "ARC" && a.layer == "5" && std::fabs(a.Get(10) - x) < 1e-3 && std::fabs(a.Get(20) - y) < 1e-3 &&
             std::fabs(a.Get(40) - 2) < 1e-9 && std::fabs(a.Get(50) - a1) < 1e-6 && std::fabs(a.Get(51) - a2) < 1e-6;
    });
  };
  EXPECT_TRUE(arc(f1, -15, -1, 90, 150));
  EXPECT_TRUE(arc(f1, 15, 0, 0, 90));
  EXPECT_TRUE(arc(f2, 15, 2, 270, 90) || arc(f2, 15, 2, -90, 90));
  // The rising wire starts at y0 on the axis: its cut circle sits 3 l t higher at x = -15.
  const double t = std::tan(0.13);
  for (auto [block, y0] : {std::pair{&f1, 4.961}, {&f2, 6.017}, {&f3, 5.961}}) {
    EXPECT_TRUE(std::any_of(block->begin(), block->end(), [&](const DxfEntity& e) {
      return e.type == "ARC" && std::fabs(e.Get(10) + 15) < 1e-3 && std::fabs(e.Get(20) - (y0 - 15 * t)) < 1e-3;
    })) << y0;
    for (double x : {-15.0, 0.0, 15.0}) EXPECT_TRUE(HasLine(*block, x, -2, x, 18, "1")) << x;
  }
}

TEST_F(ProductionTest, ForceTriangleAndForceTexts) {
  const auto e = ReadDxfEntities(Dxf());
  // The triangle as a polyline or lines from (102, 249) over (120, 249) and (102, 275).
  EXPECT_TRUE(HasLine(e, 102, 249, 120, 249, "5"));
  EXPECT_TRUE(HasLine(e, 120, 249, 102, 275, "5"));
  EXPECT_TRUE(HasLine(e, 102, 275, 102, 249, "5"));
  EXPECT_TRUE(HasLine(e, 102, 268, 106.85, 268, "5"));
  EXPECT_TRUE(HasLine(e, 102, 261, 111.7, 261, "5"));
  EXPECT_TRUE(HasLine(e, 102, 254, 116.54, 254, "5"));
  // The hypotenuse runs through the three line ends.
  for (auto [x, y] : {std::pair{106.85, 268.0}, {111.7, 261.0}, {116.54, 254.0}})
    EXPECT_NEAR(275 - (x - 102) * 26 / 18, y, 0.02);
  EXPECT_TRUE(HasTextPrefix(e, "F1 = "));
  EXPECT_TRUE(HasTextPrefix(e, "Tau k1 = "));
  EXPECT_TRUE(HasTextPrefix(e, "Tau kh = "));
  EXPECT_TRUE(HasText(e, "Lc<= 21.26"));
}

TEST_F(ProductionTest, SwitchesAndOneForce) {
  SpringDataRecord& s = SpringData();
  s.F1 = 0;
  auto e = ReadDxfEntities(Dxf());
  EXPECT_FALSE(HasTextPrefix(e, "F1 = "));
  EXPECT_FALSE(HasTextPrefix(e, "L1 = "));
  EXPECT_TRUE(HasTextPrefix(e, "F = "));
  EXPECT_TRUE(HasTextPrefix(e, "L = 30"));
  EXPECT_TRUE(HasTextPrefix(e, "Tau k = "));
  s.F1 = 10, s.ShowLd = 0, s.ShowM = 0, s.ShowP = 0;
  e = ReadDxfEntities(Dxf());
  for (const char* gone : {"F1 = ", "F2 = ", "Fn = ", "Tau kh = ", "L1 = ", "L2 = ", "Ln = ", "P = ", "m = "})
    EXPECT_FALSE(HasTextPrefix(e, gone)) << gone;
  for (const char* kept : {"Fc = ", "Tau c  = ", "R = ", "Lc<= "}) EXPECT_TRUE(HasTextPrefix(e, kept)) << kept;
  const auto block = ReadDxfBlock(dir() + "/werk.dxf", "ZEB1TEX");
  EXPECT_TRUE(HasText(block, "(Federrate"));
  EXPECT_FALSE(HasText(block, "(Masse"));
  EXPECT_FALSE(HasText(block, "Hubspannung"));
}

TEST_F(ProductionTest, EndFormsAndPictures) {
  SpringDataRecord& s = SpringData();
  s.EndForm = 1, s.e1 = 0.5, s.e2 = 0.4;
  auto e = ReadDxfEntities(Dxf());
  EXPECT_FALSE(HasTextPrefix(e, "     e1="));
  EXPECT_FALSE(HasTextPrefix(e, "e2="));
  EXPECT_FALSE(HasLine(e, 29, 200, 24, 275, "3"));
  s.EndForm = 2;
  e = ReadDxfEntities(Dxf());
  EXPECT_TRUE(HasText(e, "     e1=0.50"));
  EXPECT_TRUE(HasText(e, "e2=0.40"));
  s.EndForm = 4, s.EndFormText = "eigene";
  e = ReadDxfEntities(Dxf());
  EXPECT_TRUE(HasText(e, "Federenden eigene"));
  // Picture 4: neither sleeve nor mandrel; 3 both, with their limits.
  ProductionData().Picture = 4;
  e = ReadDxfEntities(Dxf());
  EXPECT_FALSE(HasTextPrefix(e, ">= "));
  EXPECT_FALSE(HasTextPrefix(e, "<= "));
  ProductionData().Picture = 3;
  s.Dhmin = 20.03L, s.Ddmax = 17.03L;
  e = ReadDxfEntities(Dxf());
  EXPECT_TRUE(HasText(e, ">= 20.1"));
  EXPECT_TRUE(HasText(e, "<= 17.0"));
}

TEST_F(ProductionTest, TwelveChangesShowTheLastEight) {
  ChangeLogData& log = ChangeLog();
  log.ChangeEntryCount = 12;
  for (int i = 1; i <= 12; ++i) log.ChangeEntries[static_cast<std::size_t>(i)].Change = "C" + std::to_string(i);
  const auto frame = ReadDxfBlock(Dxf(), "FRAME_1");
  auto at = [&](const std::string& text) {
    const auto it = std::find_if(frame.begin(), frame.end(), [&](const DxfEntity& x) { return x.Text(1) == text; });
    return it == frame.end() ? std::pair{-1.0, -1.0} : std::pair{it->Get(10), it->Get(20)};
  };
  EXPECT_EQ(-1.0, at("C4").first);
  EXPECT_NEAR(21, at("e").first, 1e-9);
  EXPECT_NEAR(10.7, at("e").second, 1e-9);
  EXPECT_NEAR(10.7, at("C5").second, 1e-9);
  EXPECT_NEAR(10.7 + 7 * 4.2, at("l").second, 1e-9);
  EXPECT_NEAR(10.7 + 7 * 4.2, at("C12").second, 1e-9);
  log.ChangeEntryCount = 99;  // clamped to the stored entries
  EXPECT_FALSE(ReadDxfBlock(Dxf(), "FRAME_1").empty());
}

TEST_F(ProductionTest, TitlesLogoAndCodePage) {
  SpringData().DrawingName = " / ";
  SpringData().DrawingNo = "/";
  const std::string path = Dxf();
  const auto frame = ReadDxfBlock(path, "FRAME_1");
  EXPECT_FALSE(HasText(frame, " / "));
  EXPECT_FALSE(HasText(frame, "/"));
  // Code page 850 texts reach the DXF as Windows-1252.
  const std::string bytes = ReadFileBytes(path);
  EXPECT_NE(std::string::npos, bytes.find("\xC4nderung"));
  EXPECT_NE(std::string::npos, bytes.find("Staboberfl\xE4" "che"));
  // Rotated texts: the protection notice at 90 degrees.
  EXPECT_TRUE(std::any_of(frame.begin(), frame.end(), [](const DxfEntity& x) {
    return x.type == "TEXT" && x.Text(1).rfind("Copying", 0) == 0 && std::fabs(x.Get(50) - 90) < 1e-9;
  }));
  // The logo on the screen only.
  WriteFileBytes(tmp() + "/$logo_1.dx$",
                 "  0\r\nLINE\r\n  8\r\n0\r\n 10\r\n0.0\r\n 20\r\n0.0\r\n 11\r\n1.0\r\n 21\r\n2.0\r\n  0\r\nEOF\r\n");
  sink().ClearCalls();
  DrawProductionDrawing(3);
  const auto lines = sink().Named("GrafLine");
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const SinkCall& c) {
    const auto at = [&c](std::size_t k, Real v) { return std::fabs(c.args[k] - v) < 1e-9L; };
    return at(0, 75) && at(1, 10) && at(2, 76) && at(3, 12);
  }));
  EXPECT_EQ(std::string::npos, ReadFileBytes(Dxf("mitlogo")).find("logo_1"));
}

// The footer names the spring file as it is: a file opened by a name with
// its extension keeps that one extension, a bare name gets it added.
TEST_F(ProductionTest, FooterNamesTheSpringFileAsItIs) {
  // The title block's file line (the screen's own footer line comes first).
  auto footer = [this] {
    sink().ClearCalls();
    DrawProductionDrawing(3);
    std::string last;
    for (const std::string& t : Texts())
      if (t.find("feder.zeb") != std::string::npos) last = t;
    return last;
  };
  G().CurrentFileName = G().CurrentFilePath = "/daten/feder.zeb";
  EXPECT_EQ("/daten/feder.zeb", footer());
  G().CurrentFileName = "feder", G().CurrentFilePath.clear();
  EXPECT_EQ("/daten/feder.zeb", footer());
}

TEST_F(ProductionTest, RefusalsBeforeAnyDialog) {
  auto form = std::make_shared<ScriptedProductionDataForm>();
  SetProductionDataForm(form);
  for (int cs = 2; cs <= 7; ++cs) {
    SpringData().CrossSection = static_cast<Code>(cs);
    ui().ExpectMessageBox("", "nur f\xC3\xBCr runden Drahtquerschnitt");
    DrawProductionDrawingEN(0);
  }
  SpringData().CrossSection = 1;
  SpringData().CoilingKind = 2;
  ui().ExpectMessageBox("", "nur f\xC3\xBCr kaltgeformte Federn");
  DrawProductionDrawingEN(0);
  EXPECT_EQ(0, form->shown);
  // Cancel in the production-data dialog: nothing drawn.
  SpringData().CoilingKind = 1;
  form->cancel = true;
  sink().ClearCalls();
  DrawProductionDrawing(0);
  EXPECT_EQ(1, form->shown);
  EXPECT_EQ(1, G().AbortFlag);
  EXPECT_TRUE(sink().Calls().empty());
}

TEST_F(ProductionTest, ENLabelsSwitchesAndMass) {
  auto e = ReadDxfEntities(Dxf("en", true));
  EXPECT_TRUE(HasTextPrefix(e, "Gewicht m = 16.3"));  // 16.34 g
  EXPECT_TRUE(HasText(e, "(De)"));
  EXPECT_TRUE(HasText(e, "(Di)"));
  EXPECT_TRUE(HasText(e, "Dm"));
  EXPECT_TRUE(HasTextPrefix(e, "Hubspannung   Tau kh = "));
  SpringData().Allowance = 5;
  SpringData().ShowLd = SpringData().ShowM = SpringData().ShowP = 0;
  e = ReadDxfEntities(Dxf("en", true));
  EXPECT_TRUE(HasText(e, "(Dm)"));
  EXPECT_TRUE(HasText(e, "L0 = 60 mm"));
  for (const char* gone : {"L1", "L2", "Ln", "Gewicht m = "}) EXPECT_FALSE(HasTextPrefix(e, gone)) << gone;
  EXPECT_FALSE(HasTextPrefix(e, "Hubspannung"));
}

TEST_F(ProductionTest, GoldenFiles) {
  SpringData().DrawingName2 = "Zweite Zeile";
  ChangeLog().ChangeEntryCount = 2;
  ChangeLog().ChangeEntries[1] = {"Neu", "01.01.26", "AB", ""};
  ChangeLog().ChangeEntries[2] = {"L0 geändert", "01.02.26", "CD", ""};
  ProductionData().Picture = 3;
  // A bare file name, so the footer's path does not depend on the build tree.
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir());
  for (int code : {1, 2, 5}) {
    const char* ext = code == 1 ? ".dxf" : code == 2 ? ".igs" : ".txt";
    G().CurrentFileName = "production_dynamic";
    DrawProductionDrawing(code);
    std::string bytes = ReadFileBytes(dir() + "/production_dynamic" + ext);
    ExpectDrawingGolden(std::string("production_dynamic") + ext, bytes);
  }
  SpringData().LoadType = 1;
  SpringData().ShowLd = SpringData().ShowM = SpringData().ShowP = 0;
  ProductionData().Picture = 4;
  Config().HideDate = Config().HideFileName = 1;
  UseFileName("production_static");
  DrawProductionDrawing(1);
  ExpectDrawingGolden("production_static.dxf", ReadFileBytes(dir() + "/production_static.dxf"));
  SpringData().LoadType = 2;
  SpringData().ShowLd = SpringData().ShowM = SpringData().ShowP = 1;
  for (int code : {1, 5}) {
    const char* ext = code == 1 ? ".dxf" : ".txt";
    UseFileName("production_en");
    DrawProductionDrawingEN(code);
    ExpectDrawingGolden(std::string("production_en") + ext, ReadFileBytes(dir() + "/production_en" + ext));
  }
  std::filesystem::current_path(cwd);
}

}  // namespace
}  // namespace zeb::test
