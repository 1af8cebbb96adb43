// Curve points of the diagrams against an independent computation: the
// checker script recomputes each curve from the spring values by the
// diagram formulas and finds its vertices in the DXF (by layer) and in the
// TXT listing.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "diagram_fixture.h"
#include "drawings/diagram_plots.h"
#include "spring/material.h"

namespace zeb::test {
namespace {

std::string Num(Real v) {
  std::ostringstream o;
  o.precision(17);
  o << static_cast<double>(v);
  return o.str();
}

class DiagramPointsTest : public DiagramTest {
 protected:
  // One case of the JSON list: the code's DXF and TXT files and the values
  // the checker needs.
  void AddCase(const std::string& name, const std::string& code, int diagramCode, int minPoints = 5,
               const std::function<void(int)>& draw = {}) {
    auto run = draw ? draw : [diagramCode](int c) { ShowDiagram(diagramCode, c); };
    const std::string dxf = Write(name, 1, run);
    const std::string txt = Write(name, 5, run);
    ASSERT_FALSE(dxf.empty()) << name;
    ASSERT_FALSE(txt.empty()) << name;
    const SpringDataRecord& s = SpringData();
    const MaterialRecord& m = ZEBWST_Record();
    DxfSetLayerName(5);
    std::ostringstream j;
    j << "{\"name\":\"" << name << "\",\"code\":" << code << ",\"dxf\":\"" << dxf << "\",\"txt\":\"" << txt
      << "\",\"layer5\":\"" << Cad().CadDxfLayerName << "\",\"english\":" << (G().UnitSystem == 1 ? "true" : "false")
      << ",\"min\":" << minPoints << ",\"spring\":{";
    const std::pair<const char*, Real> values[] = {
        {"sc", s.sc},       {"Fc", s.Fc},         {"L0", s.L0},       {"Lc", s.Lc},       {"nue", s.nue},
        {"Dm", s.Dm},       {"d", s.d},           {"n", s.n},         {"G", s.G},         {"E", s.E},
        {"w", s.w},         {"T1", s.T1},         {"T2", s.T2},       {"s1", s.s1},       {"s2", s.s2},
        {"R", s.R},         {"W0c", s.W0c},       {"f", s.f},         {"F2", s.F2},       {"F2Relax", s.F2Relax},
        {"tau1", s.tau1},   {"tau2", s.tau2},     {"tauk1", s.tauk1}, {"tauk2", s.tauk2}, {"tauc", s.tauc},
        {"tauzul", s.tauzul}, {"f0", ResonanceResult().ExternalMass > 1e-6L ? ResonanceResult().f0 : s.fe}};
    bool first = true;
    for (const auto& [k, v] : values) {
      j << (first ? "" : ",") << "\"" << k << "\":" << Num(v);
      first = false;
    }
    j << "},\"material\":{\"Rm0\":" << m.Rm0 << ",\"RmSlope\":" << m.RmSlope << ",\"DR0\":" << Num(MaterialReal(m.DR0))
      << ",\"RmMax\":" << m.RmMax << ",\"dmax\":" << Num(MaterialReal(m.dmax)) << ",\"d0\":" << Num(MaterialReal(m.d0))
      << ",\"tauo0\":" << m.Unpeened.tauo0 << ",\"tauoSlope\":" << m.Unpeened.tauoSlope
      << ",\"tauh0\":" << m.Unpeened.tauh0 << ",\"tauhSlope\":" << m.Unpeened.tauhSlope
      << ",\"slope\":" << Num(MaterialReal(m.Unpeened.GoodmanSlope)) << "},\"relax\":{\"tau\":[";
    const RelaxationRecordT& r = RelaxationRecord();
    for (int k = 0; k < 8; ++k) j << (k ? "," : "") << r.Tau[static_cast<std::size_t>(k)];
    j << "],\"rx\":[";
    for (int k = 0; k < 8; ++k) j << (k ? "," : "") << Num(MaterialReal(r.Rx[static_cast<std::size_t>(k)]));
    j << "]}}";
    cases_.push_back(j.str());
  }

  void RunChecker() {
    const std::string json = dir() + "/cases.json";
    std::ofstream out(json);
    out << "[";
    for (std::size_t k = 0; k < cases_.size(); ++k) out << (k ? ",\n" : "") << cases_[k];
    out << "]\n";
    out.close();
    std::string output;
    const int rc = RunCommand("/usr/bin/python3 " + ShellQuote(SourceDir() + "/diagram_points.py") + " " +
                                  ShellQuote(json) + " 2>&1",
                              output);
    EXPECT_EQ(rc, 0) << output;
  }

  void HandSetExtras() {
    SpringData().F2Relax = 5;
    RelaxationRecordT& r = RelaxationRecord();
    r.T1 = 20, r.T2 = 80, r.d1 = MakeReal48(1), r.d2 = MakeReal48(5);
    r.Tau = {400, 800, 300, 900, 500, 1000, 200, 700};
    for (int k = 0; k < 8; ++k) r.Rx[static_cast<std::size_t>(k)] = MakeReal48(k % 2 ? 6 + k : 2 + 0.5L * k);
    SG().RelaxationFound = 1;
  }

  void AllCurves(const std::string& tag) {
    for (int code : {2, 9, 21, 22})
      AddCase(tag + "_" + std::to_string(code), std::to_string(code), code, 1);  // (0, 0) is on the frame
    for (int code : {3, 4, 5, 6, 7, 8, 10, 18, 19, 20, 25, 29})
      AddCase(tag + "_" + std::to_string(code), std::to_string(code), code, 5);
    // The fatigue lines: the knees and the ends off the axes.
    AddCase(tag + "_goodman", "\"goodman\"", 0, 4, [](int c) { GoodmanOutput(c); });
    AddCase(tag + "_haigh", "\"haigh\"", 0, 3, [](int c) { HaighOutput(c); });
  }

  std::vector<std::string> cases_;
};

TEST_F(DiagramPointsTest, RefSpringCurvesInMetricAndEnglishUnits) {
  Ref();
  HandSetExtras();
  AllCurves("ref");
  G().UnitSystem = 1;
  AllCurves("ref_en");
  RunChecker();
}

TEST_F(DiagramPointsTest, CaseASpringCurves) {
  MakeCaseASpring();
  RunRecalculation();
  ASSERT_EQ(G().FatalErrorFlag, 0);
  HandSetExtras();
  for (int code : {2, 3, 4, 5, 7, 8, 10, 25, 29})
    AddCase("casea_" + std::to_string(code), std::to_string(code), code, code == 2 ? 1 : 5);
  RunChecker();
}

}  // namespace
}  // namespace zeb::test
