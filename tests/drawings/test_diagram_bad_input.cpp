// Spring data a file can carry, after the calculation, through every
// diagram with floating-point traps on: a drawing, a refusal or a message,
// never a trap or a hang, and nothing non-finite in a listing.
#include <fenv.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <regex>
#include <string>

#include "base/support_hang.h"
#include "diagram_fixture.h"
#include "drawings/diagram_plots.h"
#include "spring/material.h"

namespace zeb::test {
namespace {

class DiagramBadInputTest : public DiagramTest {
 protected:
  void SetUp() override {
    DiagramTest::SetUp();
    G().ShowErrorsSwitch = 0;
    SetUi(std::make_shared<BatchUi>(nullptr));
  }
  // Every diagram of the mutated REF spring as a TXT listing.
  void RunAll(const std::string& name, const std::function<void()>& mutate) {
    SCOPED_TRACE(name);
    ResetSpringRecords();
    InstallRefMaterialTable();
    MakeRefSpring();
    RunRecalculation();
    G().FatalErrorFlag = 0;
    LoadSpectrum().Count = 2;
    LoadSpectrum().np = 100, LoadSpectrum().tN = 10;
    LoadSpectrum().Levels[1] = {50, 40, 60, 1e6, 100};
    LoadSpectrum().Levels[2] = {45, 35, 40, 2e6, 200};
    SG().RelaxationFound = 1;
    RelaxationRecord().Tau = {400, 800, 300, 900, 500, 1000, 200, 700};
    for (auto& r : RelaxationRecord().Rx) r = MakeReal48(3);
    RelaxationRecord().Rx[1] = MakeReal48(6);
    mutate();
    const SpringDataRecord keep = SpringData();
    const MaterialRecord keepMaterial = ZEBWST_Record();
    int written = 0;
    for (int drawing = 0; drawing <= 32; ++drawing) {
      SpringData() = keep;
      ZEBWST_Record() = keepMaterial;
      G().AbortFlag = 0;
      feclearexcept(FE_ALL_EXCEPT);
      feenableexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);
      std::string path;
      // No endless loop over the bad values (hang bound; a diagram takes
      // tens of milliseconds).
      EXPECT_TRUE(test::EndsWithinHangBound([&] {
        path = Write("bad", 5, [drawing](int c) {
          if (drawing <= 29) ShowDiagram(drawing, c);
          if (drawing == 30) GoodmanOutput(c);
          if (drawing == 31) HaighOutput(c);
          if (drawing == 32) SelectDiagram(14, c);
        });
      })) << drawing;
      fedisableexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);
      if (!path.empty()) {
        ++written;
        EXPECT_FALSE(std::regex_search(ReadFileBytes(path), std::regex("\\b-?(nan|inf)", std::regex::icase)))
            << drawing;
      }
    }
    EXPECT_GE(written, 24);  // refusals aside, every sheet is written
  }
};

TEST_F(DiagramBadInputTest, SpringValues) {
  const Real denormal = std::numeric_limits<Real>::denorm_min();
  RunAll("f < 0", [] { SpringData().f = -5; });
  RunAll("f0 = 0", [] { SpringData().fe = 0; });
  RunAll("f0 = fz", [] { SpringData().f = SpringData().fe; });
  RunAll("FQ 0", [] { TransverseLoad().FQ = 0; });
  RunAll("FQ 1e-9", [] { TransverseLoad().FQ = 1e-9L; });
  RunAll("mActive 0", [] { SpringData().mActive = 0; });
  RunAll("Rq <= 0 in part", [] {
    TransverseLoad().FQ = 10;
    SpringData().L0 = 400;  // slender: the transverse rate falls below 0
  });
  RunAll("E 0", [] { SpringData().E = 0; });
  RunAll("G >= E", [] { SpringData().G = SpringData().E * 1.5L; });
  RunAll("w <= 0", [] { SpringData().w = -3; });
  RunAll("sc 0", [] { SpringData().sc = 0; });
  RunAll("Fc 0", [] { SpringData().Fc = 0; });
  RunAll("sc denormal", [denormal] { SpringData().sc = denormal; });
  RunAll("Fc denormal", [denormal] { SpringData().Fc = denormal; });
  RunAll("T1 > T2", [] { SpringData().T1 = 200, SpringData().T2 = -100; });
  RunAll("dmax -1", [] { ZEBWST_Record().dmax = MakeReal48(-1); });
  RunAll("dmax 1e30", [] { ZEBWST_Record().dmax = MakeReal48(1e30L); });
  RunAll("tauoz 0", [] { ZEBWST_Record().Unpeened.tauo0 = 0, ZEBWST_Record().Peened.tauo0 = 0; });
  RunAll("m 0", [] {
    ZEBWST_Record().Unpeened.GoodmanSlope = MakeReal48(0);
    ZEBWST_Record().Peened.GoodmanSlope = MakeReal48(0);
  });
  RunAll("counts at their limits", [] {
    LoadSpectrum().Count = 20;
    ValueTable().Count = 1000;
    for (int i = 1; i <= 20; ++i) LoadSpectrum().Levels[static_cast<std::size_t>(i)] = {50, 40, 5, 1e5, 3};
  });
  RunAll("level values 0", [] {
    for (auto& l : LoadSpectrum().Levels) l = {0, 0, 0, 0, 0};
    LoadSpectrum().np = 0, LoadSpectrum().tN = 0, LoadSpectrum().Tp = 0;
  });
  RunAll("level values 1e30", [] {
    for (auto& l : LoadSpectrum().Levels) l = {1e30L, 1e30L, 1e30L, 1e30L, 1e30L};
    LoadSpectrum().np = 1e30L, LoadSpectrum().tN = 1e30L;
  });
  RunAll("relaxation rows", [] {
    RelaxationRecord().Tau = {-400, 800, 300, 300, 2000000000, 1, 0, 700};
    RelaxationRecord().Rx[2] = MakeReal48(1e30L);
  });
  RunAll("Rm tables", [] {
    SG().RmTableLoaded = 1;
    for (std::size_t i = 0; i < RmTable().Min.size(); ++i) {
      RmTable().Min[i] = i % 3 == 0 ? -5 : static_cast<std::int32_t>(100 + i % 2);
      RmTable().Max[i] = 0;
    }
  });
}

}  // namespace
}  // namespace zeb::test
