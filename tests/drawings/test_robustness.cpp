// Bad spring data through every drawing of the library, with floating-point
// traps on: each case draws or refuses within a second, and no file holds
// "nan" or "inf".
#include <gtest/gtest.h>

#include <fenv.h>

#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <sstream>
#include <unistd.h>

#include "base/globals.h"
#include "base/support_hang.h"
#include "drawings/drawings.h"
#include "drawings/support_drawings.h"
#include "spring/changelog.h"
#include "spring/spring_data.h"

namespace zeb::test {
namespace {

char g_case[128] = "";

void OnTrap(int) {
  const char text[] = "floating-point trap in case: ";
  (void)!::write(2, text, sizeof text - 1);
  (void)!::write(2, g_case, std::strlen(g_case));
  ::_exit(3);
}

struct Case {
  const char* name;
  std::function<void()> change;
};

class RobustnessTest : public DrawingTest {
 protected:
  void SetUp() override {
    DrawingTest::SetUp();
    ui().OnFailure(nullptr);  // refusal boxes may come
    G().ShowErrorsSwitch = 0;
    previous_ = std::signal(SIGFPE, OnTrap);
  }
  void TearDown() override {
    fedisableexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);
    std::signal(SIGFPE, previous_);
    ui().Reset();
    DrawingTest::TearDown();
  }
  // Every drawing into the TXT listing and onto the screen.
  void DrawAll(const std::string& name) {
    const std::vector<std::pair<const char*, std::function<void(int)>>> drawings = {
        {"view1", [](int c) { DrawSpringView(1, c, false); }},
        {"view2", [](int c) { DrawSpringView(2, c, false); }},
        {"view3", [](int c) { DrawSpringView(3, c, false); }},
        {"view4", [](int c) { DrawSpringView(4, c, false); }},
        {"production", [](int c) { DrawProductionDrawing(c); }},
        {"production_en", [](int c) { DrawProductionDrawingEN(c); }},
        {"quick3", [](int c) { DrawQuickSheet(c); }},
        {"view3d", [](int c) { DrawSpring3DView(c, 1, false); }},
    };
    for (const auto& [drawing, draw] : drawings) {
      std::snprintf(g_case, sizeof g_case, "%s %s\n", name.c_str(), drawing);
      for (int code : {5, 3}) {
        UseFileName("bad");
        std::remove((dir() + "/bad.txt").c_str());
        const SpringDataRecord keep = SpringData();
        G().AbortFlag = 0;
        feclearexcept(FE_ALL_EXCEPT);
        feenableexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);
        // No endless loop over the bad values (hang bound; a drawing takes
        // tens of milliseconds).
        EXPECT_TRUE(test::EndsWithinHangBound([&] { draw(code); })) << g_case << " code " << code;
        fedisableexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);
        const std::string L = std::to_string(double(SpringData().L));
        SpringData() = keep;
        if (code != 5) continue;
        std::istringstream txt(ReadFileBytes(dir() + "/bad.txt"));
        std::string token;
        while (txt >> token) {
          std::string lower = token;
          for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
          if (lower.find("resonance") != std::string::npos) continue;
          EXPECT_EQ(std::string::npos, lower.find("nan")) << g_case << token;
          EXPECT_EQ(std::string::npos, lower.find("inf")) << g_case << token;
        }
      }
    }
  }

 private:
  void (*previous_)(int) = nullptr;
};

TEST_F(RobustnessTest, BadSpringDataThroughEveryDrawing) {
  const Real nan = std::numeric_limits<Real>::quiet_NaN();
  const std::vector<Case> cases = {
      {"n 0.3", [] { SpringData().n = 0.3L; }},
      {"n 1e-300", [] { SpringData().n = 1e-300L; }},
      {"end coils 1e6", [] { SpringData().EndCoils = {2e6L, 1e6L, 1e6L}; }},
      {"end coils negative", [] { SpringData().EndCoils = {-4, -2, -2}; }},
      {"end coils -1e6 active 1e6", [] {
         SpringData().EndCoils = {-2e6L, -1e6L, -1e6L};
         SpringData().n = 1e6L;
       }},
      {"L0 0", [] { SpringData().L0 = 0; }},
      {"L 0 at L2", [] { SpringData().L2 = 0; }},
      {"De 0", [] { SpringData().De = 0; }},
      {"Dm 0", [] { SpringData().Dm = 0; }},
      {"d 0", [] { SpringData().d = SpringData().h = 0; }},
      {"cross-section 0", [] { SpringData().CrossSection = 0; }},
      {"cross-section 8", [] { SpringData().CrossSection = 8; }},
      {"tube", [] {
         SpringData().CrossSection = 7;
         SpringData().di = 1;
       }},
      {"winding 7", [] { SpringData().WindingDir = 7; }},
      {"end form 9", [] { SpringData().EndForm = 9; }},
      {"end form 1", [] { SpringData().EndForm = 1; }},
      {"grades 0", [] {
         auto& s = SpringData();
         s.GradeDe = s.GradeL0 = s.GradeF1 = s.GradeF2 = s.GradeE1 = s.GradeE2 = 0;
       }},
      {"grades 9", [] {
         auto& s = SpringData();
         s.GradeDe = s.GradeL0 = s.GradeF1 = s.GradeF2 = s.GradeE1 = s.GradeE2 = 9;
       }},
      {"codes 0", [] {
         auto& p = ProductionData();
         p.Picture = p.Deburr = p.Preset = 0;
         SpringData().Allowance = 0;
         SpringData().LoadType = 0;
         SpringData().MaterialCoiling = 0;
         SpringData().WireStd = 0;
       }},
      {"codes 9", [] {
         auto& p = ProductionData();
         p.Picture = p.Deburr = p.Preset = 9;
         SpringData().Allowance = 9;
         SpringData().LoadType = 9;
         SpringData().MaterialCoiling = 9;
         SpringData().WireStd = 99;
         SpringData().MaterialSel = 3;
         SpringData().MaterialStd = 99;
       }},
      {"free texts", [] {
         auto& log = ChangeLog();
         log.DrawingTextCount = 8;
         for (int k = 1; k <= 8; ++k)
           log.DrawingTexts[static_cast<std::size_t>(k)] = {k * 1e12L, -k * 1.0L, k % 2 ? -3.0L : 1e12L, 1e12L, "T"};
       }},
      {"titles", [] {
         SpringData().DrawingName = "/";
         SpringData().DrawingNo = " / ";
         SpringData().DrawingName2 = "";
       }},
      {"25 changes", [] {
         auto& log = ChangeLog();
         log.ChangeEntryCount = 25;
         for (int k = 1; k <= 25; ++k) log.ChangeEntries[static_cast<std::size_t>(k)].Change = "x";
       }},
      {"changes 99", [] { ChangeLog().ChangeEntryCount = 99; }},
      {"resolution 0", [] { SpringData().Line3DResolution = 0; }},
      {"resolution -5", [] { SpringData().Line3DResolution = -5; }},
      {"resolution nan", [nan] { SpringData().Line3DResolution = nan; }},
      {"resolution 1e-9", [] { SpringData().Line3DResolution = 1e-9L; }},
      {"tauzul and Rm 0", [] {
         SpringData().tauzul = 0;
         SpringData().Rm = 0;
       }},
      {"nt huge", [] { SpringData().nt = 1e30L; }},
      {"lengths huge", [] {
         SpringData().L0 = 1e12L;
         SpringData().Dm = 1e12L;
       }},
  };
  for (const Case& c : cases) {
    LoadRefSpring();
    ChangeLog() = DefaultChangeLog();
    ProductionData() = ProductionDataRecord{};
    c.change();
    DrawAll(c.name);
  }
}

}  // namespace
}  // namespace zeb::test
