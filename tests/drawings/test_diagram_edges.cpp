// Edge cases of the diagrams, read from the texts and lines of screen runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "diagram_fixture.h"
#include "drawings/diagram_plots.h"
#include "drawings/output_run.h"
#include "graphics/sink.h"
#include "spring/material.h"

namespace zeb::test {
namespace {

class DiagramEdgeTest : public DiagramTest {
 protected:
  void SetUp() override {
    DiagramTest::SetUp();
    Ref();
    ClearErrorMessages();
  }
  std::vector<std::string> Screen(const std::function<void()>& draw) {
    sink().ClearCalls();
    draw();
    std::vector<std::string> texts;
    for (const SinkCall& c : sink().Named("GrafOutTextXY")) texts.push_back(c.text);
    return texts;
  }
  static bool Has(const std::vector<std::string>& t, const std::string& s) {
    return std::find(t.begin(), t.end(), s) != t.end();
  }
  static bool HasPrefix(const std::vector<std::string>& t, const std::string& s) {
    return std::any_of(t.begin(), t.end(), [&](const std::string& x) { return x.rfind(s, 0) == 0; });
  }
};

TEST_F(DiagramEdgeTest, CharacteristicMarkers) {
  SpringDataRecord& s = SpringData();
  s.Fzul = s.Fn + 1;
  EXPECT_FALSE(Has(Screen([] { ShowDiagram(2, 3); }), "Fn'"));
  s.Fzul = s.Fn - 1;
  EXPECT_TRUE(Has(Screen([] { ShowDiagram(2, 3); }), "Fn'"));
  EXPECT_TRUE(Has(Screen([] { ShowDiagram(21, 3); }), "Fn'"));
  // F'-s': no F1/F2 marks, one marker per value-table length.
  ValueTable().Count = 2;
  ValueTable().Values[1] = 45, ValueTable().Values[2] = 35;
  auto t = Screen([] { ShowDiagram(22, 3); });
  EXPECT_TRUE(Has(t, "F1'") && Has(t, "F2'"));
  EXPECT_FALSE(Has(t, "F1") || Has(t, "F2"));
  EXPECT_TRUE(HasPrefix(t, "L2' = 35"));
  EXPECT_TRUE(HasPrefix(t, "Fk = "));
  s.sk = 9999;
  EXPECT_FALSE(HasPrefix(Screen([] { ShowDiagram(22, 3); }), "Fk = "));
  s.sk = s.sc;  // at or beyond sc: no Fk mark
  EXPECT_FALSE(Has(Screen([] { ShowDiagram(2, 3); }), "Fk"));
}

TEST_F(DiagramEdgeTest, FatigueTextBlockVariants) {
  SpringDataRecord& s = SpringData();
  auto t = Screen([] { GoodmanOutput(3); });
  EXPECT_FALSE(HasPrefix(t, "G20"));  // at 20 °C no G(T) line
  EXPECT_TRUE(HasPrefix(t, "tauhz= "));
  s.T = 80;
  s.GT = 80000;
  EXPECT_TRUE(HasPrefix(Screen([] { GoodmanOutput(3); }), "G80 = "));
  // Infinite life, and the same as an estimate.
  s.T = 20;
  const SpringDataRecord keep = s;
  auto life = [&](Real safety, Byte noMinMax) {
    SpringData() = keep;
    SpringData().NoLifeMinMax = noMinMax;
    return Screen([safety] {
      // The stress check runs inside the diagram; its safety is set after.
      DrawingRun run;
      run.entities = [safety] {
        SpringData().Sh = safety;
        SpringData().N = 2e6, SpringData().Nmin = 1e6, SpringData().Nmax = 3e6;
        SpringData().tauhzul = 100, SpringData().LoadType = 2;
        FatigueTextBlock(0, 900, 0);
      };
      RunDrawingOutput(3, run);
    });
  };
  EXPECT_TRUE(Has(life(1.2L, 0), "N > 10 Mio.Lastsp."));
  EXPECT_TRUE(Has(life(1.2L, 1), "(N > 10 Mio.Lastsp.)"));
  EXPECT_TRUE(Has(life(0.8L, 1), "(N = 2 Mio.Lastsp.)"));
  EXPECT_TRUE(Has(life(0.8L, 0), "N = 2 Mio.Lastsp."));
  LoadSpectrum().Count = 1, LoadSpectrum().FatigueProof = 1;
  const auto spectrum = life(0.8L, 0);
  EXPECT_TRUE(Has(spectrum, "Lastkollektiv:") && Has(spectrum, "tN = dauerfest") && Has(spectrum, "L1, L2, freq:"));
}

TEST_F(DiagramEdgeTest, RelaxationTextsAndTimeCurves) {
  SG().RelaxationFound = 1;
  RelaxationRecord().Rx[0] = MakeReal48(2);
  RelaxationRecord().T1 = 30, RelaxationRecord().T2 = 60;
  SpringData().F2Relax = 3;
  SpringData().T = 100;
  auto t = Screen([] { ShowDiagram(19, 3); });
  EXPECT_TRUE(Has(t, "Warnung: T>T2relax (60\xF8" "C)"));
  EXPECT_TRUE(HasPrefix(t, "L0,48h = "));
  SpringData().F2Relax = 0;
  SpringData().R = 0;
  t = Screen([] { ShowDiagram(20, 3); });
  EXPECT_FALSE(HasPrefix(t, "Warnung"));
  EXPECT_FALSE(HasPrefix(t, "L0,48h"));
}

TEST_F(DiagramEdgeTest, LoadSpectrumLevels) {
  LoadSpectrumRecord& ls = LoadSpectrum();
  ls.Count = 6, ls.np = 600, ls.tN = 10;
  for (int i = 1; i <= 6; ++i) ls.Levels[static_cast<std::size_t>(i)] = {50, 40, 100, 1e7, 100};
  auto t = Screen([] { SelectDiagram(14, 3); });
  EXPECT_FALSE(HasPrefix(t, "Lastkollektiv (1 Periode"));  // no block diagram from 6 levels
  EXPECT_TRUE(Has(t, "  10.000"));                        // exactly 10 million is a number
  ls.Count = 5;
  EXPECT_TRUE(HasPrefix(Screen([] { SelectDiagram(14, 3); }), "Lastkollektiv (1 Periode"));
  ls.Count = 0;
  sink().ClearCalls();
  SelectDiagram(14, 3);
  EXPECT_TRUE(sink().Calls().empty());
}

TEST_F(DiagramEdgeTest, TauDAndTransverseAndStress) {
  // Log axis: no table and no formula texts.
  auto t = Screen([] { ShowDiagram(23, 3); });
  EXPECT_FALSE(HasPrefix(t, "Rm = ") || HasPrefix(t, "tauz = 0.56"));
  EXPECT_EQ(DiagramState().DiagramAxisMode, 0);
  // A hand-set permissible stress: the tau z curve is horizontal.
  SpringData().MaterialSel = 11, SpringData().tauzul = 700;
  EXPECT_EQ(TauZulOfD(0.3L), 700);
  EXPECT_EQ(TauZulOfD(9), 700);
  // s1 <= 0.09 sc: no first marker in the work and transverse diagrams,
  // but in the stress diagram.
  SpringData().s1 = 0.05L * SpringData().sc;
  TransverseLoad().FQ = 5;
  RunRecalculation();
  SpringData().s1 = 0.05L * SpringData().sc;
  EXPECT_FALSE(HasPrefix(Screen([] { ShowDiagram(25, 3); }), "W01="));
  EXPECT_FALSE(HasPrefix(Screen([] { ShowDiagram(28, 3); }), "fq1="));
  EXPECT_TRUE(Has(Screen([] { ShowDiagram(29, 3); }), "tau1"));
  // Static load: one straight line and no corrected-stress marks.
  SpringData().LoadType = 1;
  t = Screen([] { ShowDiagram(29, 3); });
  EXPECT_FALSE(Has(t, "tauk1") || Has(t, "tauk2"));
  // f0 = 0: the factor is 0 everywhere.
  SpringData().fe = 0, ResonanceResult().ExternalMass = 0;
  EXPECT_TRUE(Has(Screen([] { ShowDiagram(10, 3); }), "y(fz) = 0"));
}

}  // namespace
}  // namespace zeb::test
