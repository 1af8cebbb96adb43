// Diagram values worked out by hand, read back from the DXF files.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "diagram_fixture.h"
#include "drawings/diagram_plots.h"
#include "spring/calc.h"
#include "spring/material.h"
#include "spring/strength.h"
#include "spring/tolerances.h"

namespace zeb::test {
namespace {

// Does a LINE of the entities run into the box (x0, y0)-(x1, y1), shrunk
// by a hair? (Sampled along the line: the boxes here are some units high.)
// The lines of layer 17 (axes, ticks, grid) are left out on request.
bool LineThrough(const std::vector<DxfEntity>& es, double x0, double y0, double x1, double y1, bool grid = true) {
  for (const DxfEntity& e : es) {
    if (e.type != "LINE" || (!grid && e.layer == "17")) continue;
    const double ax = e.Get(10), ay = e.Get(20), bx = e.Get(11), by = e.Get(21);
    for (int k = 0; k <= 1000; ++k) {
      const double x = ax + (bx - ax) * k / 1000, y = ay + (by - ay) * k / 1000;
      if (x > x0 + 0.05 && x < x1 - 0.05 && y > y0 + 0.05 && y < y1 - 0.05) return true;
    }
  }
  return false;
}

class DiagramAnchorTest : public DiagramTest {
 protected:
  std::string Layer5() {
    DxfSetLayerName(5);
    return Cad().CadDxfLayerName;
  }
  int LinesOn(const std::vector<DxfEntity>& es, const std::string& layer) {
    int n = 0;
    for (const DxfEntity& e : es) n += e.type == "LINE" && e.layer == layer;
    return n;
  }
};

TEST_F(DiagramAnchorTest, CharacteristicLineSpansTheNiceFrame) {
  SpringDataRecord& s = SpringData();
  s.sc = 20.5L, s.Fc = 205, s.s1 = 5, s.s2 = 10, s.F1 = 50, s.F2 = 100, s.sn = 18, s.Fn = 180, s.Fzul = 300;
  s.sk = 9999;
  // x 0..20.5 divides into steps of 5 up to 25, y 0..205 into steps of 50
  // up to 250: (20.5, 205) lies at (12 + 20.5/25*95, 10 + 205/250*95).
  const auto es = ReadDxfEntities(WriteCode("fs", 1, 2));
  EXPECT_EQ(CountLines(es, Layer5(), 12, 10, 89.9, 87.9), 1);
  EXPECT_EQ(LinesOn(es, Layer5()), 1);
  // F2's marker: dashed drop line up to (s2, F2) and across to the axis.
  EXPECT_EQ(CountLines(es, "21", 12 + 10 * 3.8, 10, 12 + 10 * 3.8, 10 + 100 * 0.38), 1);
  EXPECT_EQ(CountLines(es, "21", 12 + 10 * 3.8, 10 + 100 * 0.38, 12, 10 + 100 * 0.38), 1);
  EXPECT_EQ(FindText(es, "Fk"), nullptr);  // no buckling
}

TEST_F(DiagramAnchorTest, ToleranceBandsKeepTheirGradeRatioAndLegends) {
  Ref();
  const SpringDataRecord& s = SpringData();
  const auto es = ReadDxfEntities(WriteCode("band", 1, 9));
  struct Legend {
    std::string layer, text;
    double y;
  };
  const Legend legends[] = {{"19", "- EN 15800 G\xFCtegrad 1", 20}, {"21", "- EN 15800 G\xFCtegrad 2", 16},
                            {"18", "- EN 15800 G\xFCtegrad 3", 12}};
  // The legend stands at x 50, y 20, 16, 12 (text height 2, 1.6 per
  // character), moved as one block where a line of the diagram runs
  // through that place: here the drop line of F2. Its ink: the advances
  // of its characters but the u umlaut, 9.783 em of 1.75 characters, and
  // the umlaut a whole one.
  const double width = (9.783 * 1.75 + 1) * 1.6;
  ASSERT_TRUE(LineThrough(es, 50, 12, 50 + width, 22));
  const DxfEntity* first = FindText(es, legends[2].text);
  ASSERT_NE(first, nullptr);
  const double x = first->Get(10), dy = first->Get(20) - 12;
  for (const Legend& l : legends) {
    const DxfEntity* t = FindText(es, l.text);
    ASSERT_NE(t, nullptr) << l.text;
    EXPECT_EQ(t->layer, l.layer);
    EXPECT_NEAR(t->Get(10), x, 1e-6);
    EXPECT_NEAR(t->Get(20), l.y + dy, 1e-6);
  }
  // No curve or mark runs through it (the grid may), and it stays in the
  // plot (x 12 .. 107 of the sheet, y 10 .. 110).
  EXPECT_FALSE(LineThrough(es, x, 12 + dy, x + width, 22 + dy, false)) << x << " " << dy;
  EXPECT_TRUE(x >= 12 && x + width <= 107 && 12 + dy >= 10 && 22 + dy <= 110) << x << " " << dy;
  // Moved by whole units, and not far.
  EXPECT_NEAR(x, std::round(x), 1e-6);
  EXPECT_NEAR(dy, std::round(dy), 1e-6);
  EXPECT_LT(std::hypot(x - 50, dy), 20);
  // Offsets at 0 and sn relative to grade 2: 0.63 and 1.6.
  for (Real F : {Real(0), s.Fn}) {
    const Real sv = F == 0 ? 0 : s.sn;
    const Real t1 = ForceTolerance(0, 1, s.CoilingKind, F, sv, s.Dm, s.d, s.n, s.L0, s.R);
    const Real t2 = ForceTolerance(0, 2, s.CoilingKind, F, sv, s.Dm, s.d, s.n, s.L0, s.R);
    const Real t3 = ForceTolerance(0, 3, s.CoilingKind, F, sv, s.Dm, s.d, s.n, s.L0, s.R);
    ExpectRel(0.63L, t1 / t2);
    ExpectRel(1.6L, t3 / t2);
  }
  // R = 0: every band lies on the characteristic (grade 2's upper line).
  SpringData().R = 0;
  const auto flat = ReadDxfEntities(WriteCode("band0", 1, 9));
  int onLine = 0;
  for (const DxfEntity& e : flat)
    if (e.type == "LINE" && (e.layer == "19" || e.layer == "21" || e.layer == "18") && e.Get(10) == 12 && e.Get(20) == 10)
      ++onLine;
  EXPECT_GE(onLine, 6);
}

TEST_F(DiagramAnchorTest, BucklingLimitAndStressFactorCurves) {
  Ref();
  SpringData().G = 77000, SpringData().E = 200000;  // G/E 0.385
  const auto es = ReadDxfEntities(WriteCode("buckling", 1, 3));
  const HandFrame f{95, 95, 12, 10, 0, 10, 0, 1};
  // Vertical start at x0 = sqrt(B) from 1 down to A.
  EXPECT_EQ(CountLines(es, Layer5(), f.SheetX(2.61888), f.SheetY(1), f.SheetX(2.61888), f.SheetY(0.81301), 2e-4), 1);
  EXPECT_NEAR(CurveAt(es, Layer5(), f, 3), 0.41643, 2e-4);
  EXPECT_NEAR(CurveAt(es, Layer5(), f, 5), 0.12044, 2e-4);
  EXPECT_NEAR(CurveAt(es, Layer5(), f, 9.999), 0.02838, 2e-4);
  // The spring's line at nue L0 / Dm = 3 up to sc / L0.
  EXPECT_EQ(CountLines(es, "17", f.SheetX(3), f.SheetY(0), f.SheetX(3), f.SheetY(SpringData().sc / 60)), 1);
  EXPECT_EQ(FindText(es, "sk") != nullptr, SpringData().sk != 9999);

  const auto ks = ReadDxfEntities(WriteCode("k", 1, 4));
  const HandFrame fk{95, 95, 12, 10, 0, 18, 1.0, 1.6};
  EXPECT_NEAR(CurveAt(ks, Layer5(), fk, 4), 1.38281, 5e-5);
  EXPECT_NEAR(CurveAt(ks, Layer5(), fk, 10), 1.13475, 5e-5);
  // w <= 0: no marker line on layer 19 inside the plot.
  SpringData().w = 0;
  const auto none = ReadDxfEntities(WriteCode("k0", 1, 4));
  EXPECT_EQ(FindText(none, "k  = 1.14"), nullptr);
}

TEST_F(DiagramAnchorTest, MaterialAndTemperatureFormulas) {
  Ref();
  SpringData().G = 81500;
  // G-T frame: T -50..250 (steps of 50), G 76293..83085 (steps of 1000).
  const auto es = ReadDxfEntities(WriteCode("gt", 1, 5));
  // (-50 / 50 is a negative whole number: the rule puts the lower limit
  // one step further down.)
  const HandFrame f{95, 90, 12, 15, -100, 250, 76000, 84000};
  EXPECT_NEAR(CurveAt(es, Layer5(), f, -49.99), 83084.7, 0.5);
  EXPECT_NEAR(CurveAt(es, Layer5(), f, 249.99), 76293.1, 0.5);
  // F-T of round wire: the force scales with 3620 - T.
  ExpectRel(ForceAtTemperature(SpringData().s2, 150) / ForceAtTemperature(SpringData().s2, -20),
            (3620.0L - 150) / (3620.0L + 20), 1e-12L);
  // Hot-coiled permissible stress.
  SpringData().CoilingKind = 2;
  EXPECT_NEAR(static_cast<double>(TauZulOfD(20)), 840, 1e-9);
  EXPECT_NEAR(static_cast<double>(TauZulOfD(10)), 915.26, 0.005);
  // Work and frequency response.
  SpringData().R = 10;
  EXPECT_EQ(SpringWorkAt(10), 500);
  EXPECT_EQ(SpringWorkAt(20), 2000);
  const double expected[] = {1, 1.0667, 1.3333, 10.256, 9.756, 0.3333, 0.04167};
  const double fs[] = {0, 5, 10, 19, 21, 40, 100};
  for (int k = 0; k < 7; ++k) EXPECT_NEAR(static_cast<double>(ResponseFactor(fs[k], 20)), expected[k], 6e-4);
  EXPECT_EQ(ResponseFactor(5, 0), 0);
}

TEST_F(DiagramAnchorTest, TauDStepsAndRmTable) {
  Ref();
  ZEBWST_Record().Rm0 = 1970, ZEBWST_Record().RmSlope = 500;
  ZEBWST_Record().dmax = MakeReal48(0);
  const auto es = ReadDxfEntities(WriteCode("taud", 1, 6));
  EXPECT_EQ(MaterialReal(ZEBWST_Record().dmax), 20);  // stored default
  // Two curves of 89 +- 1 steps each.
  EXPECT_NEAR(LinesOn(es, Layer5()), 178, 2);
  // x 0.05..22 divides into steps of 5 up to 25: the label stands at
  // 1.02 d_last.
  const DxfEntity* label = FindText(es, "tau z");
  ASSERT_NE(label, nullptr);
  EXPECT_NEAR((label->Get(10) - 12) / 95 * 25 / 1.02, 20.69, 0.01);
  // Rm 2319.5 .. 1470 and tauz 1298.9 .. 823.2 at d 0.2 .. 10 (cells
  // start with a blank).
  for (const char* v : {" 2319", " 2121", " 1970", " 1771", " 1621", " 1470", " 1299", " 823.2"})
    EXPECT_NE(FindText(es, v), nullptr) << v;
  EXPECT_NE(FindText(es, "Rm = 1970 - 500 * log ( d / 1 )"), nullptr);
  EXPECT_NEAR(static_cast<double>(MaterialRmOfD(0.2L)), 2319.5, 0.05);
  // The staircase: values not above 0 and slots without a diameter draw
  // no step, so no line of layer 22 lies at y <= 0 (sheet y 15).
  SG().RmTableLoaded = 1;
  for (std::size_t i = 0; i < RmTable().Min.size(); ++i) {
    RmTable().Min[i] = i % 4 == 0 ? 0 : (i % 4 == 1 ? -100 : 2500 - static_cast<std::int32_t>(i));
    RmTable().Max[i] = 2600;
  }
  int steps = 0;
  for (const DxfEntity& e : ReadDxfEntities(WriteCode("stairs", 1, 6))) {
    if (e.type != "LINE" || e.layer != "22") continue;
    ++steps;
    EXPECT_GT(std::min(e.Get(20), e.Get(21)), 15.0);
  }
  EXPECT_GT(steps, 0);
}

TEST_F(DiagramAnchorTest, GoodmanAndHaighConstruction) {
  Ref();
  MaterialRecord& m = ZEBWST_Record();
  m.d0 = MakeReal48(2);  // d = d0: the laws give their intercepts
  m.Unpeened = FatigueGroup{900, 0, 500, 0, MakeReal48(0.6L)};
  const auto es = ReadDxfEntities(Write("goodman", 1, [](int c) { GoodmanOutput(c); }));
  const HandFrame f{90, 85, 15, 20, 0, 1200, 0, 1200};
  EXPECT_EQ(CountLines(es, "18", 15, f.SheetY(500), 65.0, 83.75), 1);
  EXPECT_EQ(CountLines(es, "18", 65.0, 83.75, f.SheetX(900), 83.75), 1);
  EXPECT_EQ(CountLines(es, "21", 15, f.SheetY(625), f.SheetX(458.3333), 83.75), 1);
  EXPECT_EQ(CountLines(es, "29", 15, f.SheetY(750), f.SheetX(250), 83.75), 1);
  const auto hs = ReadDxfEntities(Write("haigh", 1, [](int c) { HaighOutput(c); }));
  EXPECT_EQ(CountLines(hs, "18", 15, f.SheetY(500), f.SheetX(666.6667), f.SheetY(233.3333)), 1);
  EXPECT_EQ(CountLines(hs, "18", f.SheetX(666.6667), f.SheetY(233.3333), f.SheetX(900), 20), 1);
  const DxfEntity* label = FindText(hs, "10 Mio.Lastsp.");
  ASSERT_NE(label, nullptr);
  EXPECT_NEAR(label->Get(50), -21.80, 0.005);
  // Decision: the diagram leaves the spring's fatigue values as the
  // calculation left them.
  const SpringDataRecord before = SpringData();
  RunRecalculation();
  EXPECT_EQ(SpringData().tauhzul, before.tauhzul);
  EXPECT_EQ(SpringData().N, before.N);
  EXPECT_EQ(SpringData().Sh, before.Sh);
}

TEST_F(DiagramAnchorTest, GoodmanWithoutSlopePostsOneFatalText) {
  Ref();
  ZEBWST_Record().Unpeened = ZEBWST_Record().Peened = FatigueGroup{900, 0, 500, 0, MakeReal48(0)};
  ZEBWST_Record().d0 = MakeReal48(2);
  ClearErrorMessages();
  const std::string path = Write("noslope", 1, [](int c) { GoodmanOutput(c); });
  ASSERT_FALSE(path.empty());
  int fatal = 0;
  for (const std::string& t : Messages()) fatal += t == "Fatal  : ZEBWST Goodman";
  EXPECT_EQ(fatal, 1);
  EXPECT_EQ(G().FatalErrorFlag, 0);
  const std::string bytes = ReadFileBytes(path);
  EXPECT_EQ(bytes.find("nan"), std::string::npos);
  EXPECT_EQ(bytes.find("inf"), std::string::npos);
  // A self-defined material: the no-data text at world (500, 50) (sheet
  // 52.5, 23.54), in an English session English, in a German one German
  // (code page 850). Text height 2.5, 2 per character: from x 52.5 to one
  // character before the plot's right edge (105) 25 characters fit, so the
  // text is broken at a blank into lines 3.5 apart, the last at the place.
  SpringData().MaterialSel = 11;
  G().MenuLanguage = 2;
  const auto es = ReadDxfEntities(Write("selfdef", 1, [](int c) { GoodmanOutput(c); }));
  const DxfEntity* a = FindText(es, "No data for self-defined");
  const DxfEntity* b = FindText(es, "materials");
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_NEAR(b->Get(10), 15 + 500.0 / 1200 * 90, 1e-3);
  EXPECT_NEAR(b->Get(20), 20 + 50.0 / 1200 * 85, 1e-3);
  EXPECT_NEAR(a->Get(10), b->Get(10), 1e-9);
  EXPECT_NEAR(a->Get(20), b->Get(20) + 3.5, 1e-3);
  G().MenuLanguage = 1;
  const auto de = ReadDxfEntities(Write("selfdef_de", 1, [](int c) { GoodmanOutput(c); }));
  EXPECT_EQ(FindText(de, "materials"), nullptr);
  std::string german;
  for (const DxfEntity& e : de)  // DXF in 1252
    if (e.type == "TEXT" && (e.Text(1) == "Keine Daten f\xFC" "r selbst" || e.Text(1) == "definierte Werkstoffe"))
      german += e.Text(1) + "|";
  EXPECT_EQ(german, "Keine Daten f\xFC" "r selbst|definierte Werkstoffe|");
}

TEST_F(DiagramAnchorTest, RelaxationCurves) {
  Ref();
  RelaxationRecordT& r = RelaxationRecord();
  r.Tau = {400, 800, 0, 0, 0, 0, 0, 0};
  r.Rx[0] = MakeReal48(2), r.Rx[1] = MakeReal48(6);
  SG().RelaxationFound = 1;
  SpringData().F2Relax = 5;
  // x 0..1200 N/mm² in steps of 200, y 0..20 % in steps of 5 (rule: 25).
  const auto es = ReadDxfEntities(WriteCode("rx1", 1, 18));
  const HandFrame f1{100, 90, 15, 10, 0, 1200, 0, 20};
  EXPECT_NEAR(CurveAt(es, "18", f1, 600), 3.8030, 2e-4);
  const auto e2 = ReadDxfEntities(WriteCode("rx2", 1, 19));
  const HandFrame f2{100, 90, 15, 10, 0, 60, 0, 100};
  EXPECT_NEAR(CurveAt(e2, "18", f2, 10), 73.256, 2e-3);
  const auto e3 = ReadDxfEntities(WriteCode("rx3", 1, 20));
  const Real F2 = SpringData().F2;
  // y 0..F2 divided by the rule.
  HandFrame f3{100, 90, 15, 10, 0, 60, 0, 0};
  {
    Real lo = 0, hi = 0, step = 0;
    NiceAxisScale(0, F2, 6, lo, hi, step);
    f3.ylo = static_cast<double>(lo), f3.yhi = static_cast<double>(hi);
  }
  EXPECT_NEAR(CurveAt(e3, "18", f3, 48) / static_cast<double>(F2), 0.94986, 2e-5);
}

// The deflection curve times the rate curve is the transverse force at
// every travel both sample.
TEST_F(DiagramAnchorTest, TransverseDeflectionTimesRateIsTheForce) {
  Ref();
  TransverseLoad().FQ = 5;
  RunRecalculation();
  const SpringDataRecord& s = SpringData();
  const auto& q = TransverseLoad();
  auto frame = [&](Real ymax) {
    Real xlo = 0, xhi = 0, ylo = 0, yhi = 0, step = 0;
    NiceAxisScale(0, s.sc, 6, xlo, xhi, step);
    NiceAxisScale(0, ymax, 6, ylo, yhi, step);
    return HandFrame{95, 95, 12, 10, static_cast<double>(xlo), static_cast<double>(xhi), static_cast<double>(ylo),
                     static_cast<double>(yhi)};
  };
  // The y axis reaches the curve's ends and every value marked: at s1 (clear
  // of the axis), s2, sn (clear of s2) and sc, and a twentieth above them.
  auto top = [&](Real curve, const std::array<Real, 5>& marked) {
    Real t = std::max({curve, marked[2], marked[4]});
    if (s.s1 > 0.09L * s.sc) t = std::max(t, marked[1]);
    if (s.sn > 1.05L * s.s2) t = std::max(t, marked[3]);
    return 1.05L * t;
  };
  const HandFrame fq = frame(top(std::max({q.y[0], q.y[2], q.y[4]}), q.y));
  const HandFrame fr = frame(top(std::max(TransverseSpringRate(0), TransverseSpringRate(s.sc)), q.Rq));
  const auto dq = ReadDxfEntities(WriteCode("sq", 1, 26));
  const auto dr = ReadDxfEntities(WriteCode("rq", 1, 27));
  int checked = 0;
  for (int k = 1; k < 300; ++k) {
    const double x = static_cast<double>(s.sc) * k / 300;
    const double sq = CurveAt(dq, Layer5(), fq, x), rq = CurveAt(dr, Layer5(), fr, x);
    if (std::isnan(sq) || std::isnan(rq) || rq <= 0) continue;
    EXPECT_NEAR(sq * rq, 5, 5e-3) << x;
    ++checked;
  }
  EXPECT_GE(checked, 5);
}

TEST_F(DiagramAnchorTest, LoadSpectrumBlocks) {
  Ref();
  LoadSpectrumRecord& ls = LoadSpectrum();
  ls.Count = 2, ls.np = 1000, ls.Tp = 10, ls.tN = 500, ls.Nn = 2e6;
  // Level 2 beyond 10 million cycles does no damage.
  ls.Levels[1] = {50, 40, 600, 3e6, 1000, 600 / 3e6};
  ls.Levels[2] = {45, 30, 400, 2e7, 0, 0};
  SpringDataRecord& s = SpringData();
  const auto es = ReadDxfEntities(Write("spectrum", 1, [&](int c) { SelectDiagram(14, c); }));
  // Block diagram 70 x 50 at (12, 10): x 0..1000 (steps of 200), y 0..sc.
  Real lo = 0, hi = 0, step = 0;
  NiceAxisScale(0, s.sc, 6, lo, hi, step);
  const HandFrame f{70, 50, 12, 10, 0, 1000, static_cast<double>(lo), static_cast<double>(hi)};
  // Level 2: n1 .. n1 + n2 and L0 - L1 .. L0 - L2.
  EXPECT_EQ(CountLines(es, "17", f.SheetX(600), f.SheetY(60 - 45), f.SheetX(1000), f.SheetY(60 - 45)) +
                CountLines(es, "", f.SheetX(600), f.SheetY(60 - 45), f.SheetX(1000), f.SheetY(60 - 45)),
            2);
  EXPECT_NE(FindText(es, "  > 10"), nullptr);  // table cells start with a blank
  // The damage is level 1's alone; tNi 0 (no hours) takes no share.
  EXPECT_NE(FindText(es, "1: 100.0 %"), nullptr);
  EXPECT_EQ(FindText(es, "2: 100.0 %"), nullptr);
}

}  // namespace
}  // namespace zeb::test
