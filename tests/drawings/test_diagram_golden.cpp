// Golden DXF, IGES and TXT files of every diagram (reviewed by eye once;
// the fixture runs both peer checkers on every DXF and IGES written), and
// the screen run of each putting the primitives of its DXF into the sink.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "diagram_fixture.h"
#include "drawings/diagram_plots.h"
#include "spring/material.h"

namespace zeb::test {
namespace {

class DiagramGoldenTest : public DiagramTest {
 protected:
  void SetUp() override {
    DiagramTest::SetUp();
    MakeRefSpring();
    SpringDataRecord& s = SpringData();
    s.DrawingName = "Golden", s.DrawingNo = "D-1";
    TransverseLoad().FQ = 5;
    RunRecalculation();
    ASSERT_EQ(G().FatalErrorFlag, 0);
    s.F2Relax = 4.5L;
    RelaxationRecordT& r = RelaxationRecord();
    r.T1 = 20, r.T2 = 80, r.d1 = MakeReal48(1), r.d2 = MakeReal48(5);
    r.Tau = {400, 800, 300, 900, 500, 1000, 200, 700};
    for (int k = 0; k < 8; ++k) r.Rx[static_cast<std::size_t>(k)] = MakeReal48(k % 2 ? 6 + k : 2 + 0.5L * k);
    SG().RelaxationFound = 1;
    SG().RmTableLoaded = 1;
    for (int i = 0; i < 16; ++i) {
      RmTable().Min[static_cast<std::size_t>(i)] = 2800 - 40 * i;
      RmTable().Max[static_cast<std::size_t>(i)] = 3100 - 40 * i;
    }
    LoadSpectrumRecord& ls = LoadSpectrum();
    ls.Count = 3, ls.np = 1000, ls.Tp = 10, ls.tN = 500, ls.Nn = 2e6;
    // Damage ni/Nni as the calculation gives it; level 3 beyond 10 million
    // cycles does none.
    ls.Levels[1] = {50, 40, 600, 3e6, 1000, 600 / 3e6};
    ls.Levels[2] = {45, 35, 300, 8e6, 2500, 300 / 8e6};
    ls.Levels[3] = {44, 31, 100, 2e7, 0, 0};
  }
  // An empty sheet has no IGES file a peer would load (no entity).
  void Golden(const std::string& name, const std::function<void(int)>& draw, bool iges = true) {
    for (int code : {1, 2, 5}) {
      if (code == 2 && !iges) continue;
      const std::string path = Write(name, code, draw);
      ASSERT_FALSE(path.empty()) << name;
      ExpectGolden("../../drawings/golden_diagrams/" + path.substr(dir().size() + 1), ReadFileBytes(path));
    }
    // The screen gets the primitives of the DXF.
    std::map<std::string, int> dxf, screen;
    for (const DxfEntity& e : ReadDxfEntities(dir() + "/" + name + ".dxf")) ++dxf[e.type];
    sink().ClearCalls();
    draw(3);
    for (const SinkCall& c : sink().Calls()) {
      if (c.name == "GrafLine") ++screen["LINE"];
      if (c.name == "GrafCircle") ++screen["CIRCLE"];
      if (c.name == "GrafArc") ++screen["ARC"];
      if (c.name == "GrafSolid") ++screen["SOLID"];
      if (c.name == "GrafOutTextXY") ++screen["TEXT"];
    }
    for (const char* t : {"LINE", "CIRCLE", "ARC", "SOLID"}) EXPECT_EQ(dxf[t], screen[t]) << name << " " << t;
    EXPECT_EQ(dxf["TEXT"] + 1, screen["TEXT"]) << name;  // the screen's footer line
  }
};

TEST_F(DiagramGoldenTest, EveryCode) {
  for (int code : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29}) {
    SCOPED_TRACE(code);
    Golden("diagram_" + std::to_string(code), [code](int c) { ShowDiagram(code, c); }, code != 0);
  }
}

TEST_F(DiagramGoldenTest, FatigueAndLoadSpectrum) {
  Golden("diagram_goodman", [](int c) { GoodmanOutput(c); });
  Golden("diagram_haigh", [](int c) { HaighOutput(c); });
  Golden("diagram_spectrum", [](int c) { SelectDiagram(14, c); });
}

// The sheet of a spectrum whose life the calculation worked out (values by
// hand in test_load_spectrum_life), and of the same spectrum on a static
// spring, which has none.
TEST_F(DiagramGoldenTest, LoadSpectrumAsCalculated) {
  LoadSpectrumRecord& ls = LoadSpectrum();
  ls = LoadSpectrumRecord{};
  ls.Count = 3, ls.Tp = 60;
  ls.Levels[1] = {50, 23, 100, 0, 0};
  ls.Levels[2] = {55, 22, 20, 0, 0};
  ls.Levels[3] = {58, 24, 5, 0, 0};
  RunRecalculation();
  ASSERT_EQ(G().FatalErrorFlag, 0);
  Golden("diagram_spectrum_life", [](int c) { SelectDiagram(14, c); });
  SpringData().LoadType = 1;
  RunRecalculation();
  ASSERT_EQ(G().FatalErrorFlag, 0);
  Golden("diagram_spectrum_static", [](int c) { SelectDiagram(14, c); });

  // Level 2 beyond L0, level 3 below Lc: refused, no life; their blocks
  // end at the plot frame.
  SpringData().LoadType = 2;
  ls.Levels[2] = {65, 45, 20, 0, 0};
  ls.Levels[3] = {40, 15, 5, 0, 0};
  RunRecalculation();
  ASSERT_EQ(G().FatalErrorFlag, 0);
  ASSERT_EQ(ls.Levels[2].Refused + ls.Levels[3].Refused, 2);
  Golden("diagram_spectrum_refused", [](int c) { SelectDiagram(14, c); });
}

}  // namespace
}  // namespace zeb::test
