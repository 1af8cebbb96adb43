// Buckling, force over temperature, spring work, shear stress over travel
// and the transverse-load diagrams.
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include "base/format.h"
#include "drawings/diagram_plots.h"
#include "graphics/cad.h"
#include "graphics/diagram.h"
#include "spring/calc.h"
#include "spring/formulas.h"
#include "spring/spring_data.h"

namespace zeb {

namespace {

constexpr Real kNoBuckling = 9999;

bool Finite(Real v) { return std::isfinite(v); }

}  // namespace

void DrawBucklingDiagram() {
  const SpringDataRecord& s = SpringData();
  // The curve and the working points first: the labels keep clear of them.
  CadSetLayer(5);
  // The limit curve; the regions either side of it within the plot, for
  // their labels.
  const DiagramStateRecord& st = DiagramState();
  std::vector<std::array<Real, 2>> safe, danger;
  // The theoretical limit exists only for 0 <= G/E < 1.
  if (s.E > 0 && Finite(s.G / s.E) && s.G / s.E >= 0 && s.G / s.E < 1) {
    const Real g = s.G / s.E;
    const Real A = 0.5L / (1 - g);
    const Real B = std::numbers::pi_v<Real> * std::numbers::pi_v<Real> * (1 - g) / (0.5L + g);
    if (Finite(A) && Finite(B) && B > 0) {
      const Real x0 = std::sqrt(B);
      auto y = [&](Real x) { return A * (1 - std::sqrt(std::max<Real>(0, 1 - B / (x * x)))); };
      DiagramMoveTo(x0, 1.0L);
      DiagramLineTo(x0, A);
      std::vector<std::array<Real, 2>> curve{{x0, A}};
      // Through the plot's right edge: beyond 10, where it flattens, in
      // steps of 2 %.
      const Real end = std::max<Real>(10, st.XMax);
      SampleUpTo(x0, end, [](Real x) { return x < 10 ? x + 0.03L : 1.02L * x; }, [&](Real x) {
        DiagramLineTo(x, y(x));
        curve.push_back({x, y(x)});
      });
      const Real top = std::max(st.YMax, A), right = curve.back()[0];
      safe = {{std::min(st.XMin, x0), std::min<Real>(st.YMin, 0)}, {std::min(st.XMin, x0), top}, {x0, top}};
      safe.insert(safe.end(), curve.begin(), curve.end());
      safe.push_back({right, std::min<Real>(st.YMin, 0)});
      danger = {{x0, top}};
      danger.insert(danger.end(), curve.begin(), curve.end());
      danger.push_back({right, top});
    }
  }
  const Real xs = s.L0 > 0 && s.Dm > 0 ? s.nue * s.L0 / s.Dm : 0;
  const bool points = s.L0 > 0 && s.Dm > 0 && Finite(xs);
  if (points) {
    CadSetLayer(17);
    DiagramClipLine(xs, 0, xs, s.sc / s.L0);
    const std::pair<int, Real> marks[] = {{16, s.sc}, {21, s.s2}, {19, s.s1}, {20, s.sk}, {18, s.sn}};
    for (const auto& [layer, sv] : marks) {
      if (layer == 20 && sv == kNoBuckling) continue;
      CadSetLayer(layer);
      DiagramCircleY(xs, sv / s.L0, 0.005L);
    }
  }
  // As large as on the plot of 0..10, 0..1 of an ordinary spring.
  DiagramTextStyleAt(2, 0, 0.035L, 0.25L, 0, 0, 10, 1);
  // Each region's label in its region.
  CadSetLayer(18);
  DiagramPlaceRegionLabel("Knicksicherheit", safe, 0.2L, 0.1L);
  CadSetLayer(16);
  DiagramPlaceRegionLabel("Knickgefahr", danger, 5.0L, 0.6L);
  if (!points) return;
  // Beside its point, else near it with a leader.
  const Real r = DiagramMarkRadius(DiagramScaleY(0.005L)), dx = DiagramScaleX(0.1L), dy = DiagramScaleY(-0.01L);
  auto point = [&](int layer, std::string_view label, Real sv) {
    CadSetLayer(layer);
    DiagramPlacePointLabel(label, xs, sv / s.L0, r, dx, dy);
  };
  point(16, "sc", s.sc);
  point(21, "s2", s.s2);
  point(19, "s1", s.s1);
  if (s.sk != kNoBuckling) point(20, "sk", s.sk);
  point(18, "sn", s.sn);
}

Real ForceAtTemperature(Real sv, Real T) {
  const SpringDataRecord& s = SpringData();
  return SpringRate(s.CrossSection, s.Dm, s.d, s.di, s.h, s.n, ShearModulusAtTemp(s.G, T), sv);
}

void DrawForceTemperatureCurve(Real sv) {
  const SpringDataRecord& s = SpringData();
  CadSetLayer(5);
  DiagramMoveTo(-50, ForceAtTemperature(sv, -50));
  SampleUpTo(-50, 250, [](Real T) { return T + 1; },
             [&](Real T) { DiagramLineTo(T, ForceAtTemperature(sv, T)); });
  CadSetLayer(19);
  DiagramCircleX(s.T1, ForceAtTemperature(sv, s.T1), 2);
  CadSetLayer(21);
  DiagramCircleX(s.T, ForceAtTemperature(sv, s.T), 2);
  CadSetLayer(18);
  DiagramCircleX(s.T2, ForceAtTemperature(sv, s.T2), 2);
}

Real SpringWorkAt(Real sv) { return SpringData().R * sv * sv / 2; }

void DrawSpringWork() {
  const SpringDataRecord& s = SpringData();
  CadSetLayer(5);
  DiagramMoveTo(0, 0);
  const Real step = s.sc / 300;
  if (Finite(step) && step > 0)
    SampleUpTo(0, s.sc, [step](Real v) { return v + step; }, [](Real v) { DiagramLineTo(v, SpringWorkAt(v)); });
  std::vector<std::pair<int, std::pair<const char*, Real>>> marks;
  if (s.s1 > 0.09L * s.sc) marks.push_back({19, {"W01= ", s.s1}});
  marks.push_back({21, {"W02= ", s.s2}});
  marks.push_back({18, {"W0n= ", s.sn}});
  marks.push_back({16, {"W0c= ", s.sc}});
  // The legs first, then the labels clear of all of them.
  for (const auto& [layer, mark] : marks) {
    CadSetLayer(layer);
    DiagramVerticalMarkerLegs(mark.second, SpringWorkAt(mark.second));
  }
  for (const auto& [layer, mark] : marks) {
    CadSetLayer(layer);
    const Real W = SpringWorkAt(mark.second);
    DiagramVerticalMarkerLabel(std::string(mark.first) + FormatMoment(W) + " " + MomentUnitName(), mark.second, W);
  }
}

void DrawStressDeflection() {
  const SpringDataRecord& s = SpringData();
  const bool staticLoad = s.LoadType == 1;
  CadSetLayer(5);
  DiagramMoveTo(0, 0);
  if (staticLoad) {
    DiagramLineTo(s.sc, s.tauc);
  } else {
    DiagramLineTo(s.s1, s.tau1);
    DiagramLineTo(s.s1, s.tauk1);
    DiagramLineTo(s.s2, s.tauk2);
    DiagramLineTo(s.s2, s.tau2);
    DiagramLineTo(s.sc, s.tauc);
  }
  struct Mark {
    int layer;
    const char* name;
    Real sv, tau;
  };
  std::vector<Mark> marks{{19, "tau1", s.s1, s.tau1}};
  if (!staticLoad) marks.push_back({19, "tauk1", s.s1, s.tauk1});
  marks.push_back({21, "tau2", s.s2, s.tau2});
  if (!staticLoad) marks.push_back({21, "tauk2", s.s2, s.tauk2});
  marks.push_back({18, "taun", s.sn, s.taun});
  marks.push_back({16, "tauc", s.sc, s.tauc});
  // Every line first, then the labels clear of all of them.
  for (const Mark& m : marks) {
    CadSetLayer(m.layer);
    DiagramVerticalMarkerLegs(m.sv, m.tau);
  }
  const DiagramStateRecord& d = DiagramState();
  if (s.tauzul > 0) DiagramLine(0, s.tauzul, d.XMax, s.tauzul);
  for (const Mark& m : marks) {
    CadSetLayer(m.layer);
    DiagramVerticalMarkerLabel(m.name, m.sv, m.tau);
  }
  if (s.tauzul > 0) DiagramPlaceLabel("tauz = " + FormatStressDec(0, s.tauzul), 0.3L * s.sc, 1.01L * s.tauzul);
}

Real TransverseFrequencyAt(Real sv) { return TransverseNaturalFrequency(TransverseSpringRate(sv)); }

void DrawTransverseDiagram(int mode) {
  const SpringDataRecord& s = SpringData();
  const TransverseLoadRecord& q = TransverseLoad();
  // The deflection exists only while the rate is above 0: its curve ends
  // at the last such point.
  bool open = true;
  auto value = [&](Real sv, Real& v) {
    const Real rq = TransverseSpringRate(sv);
    if (mode == 0) {
      if (!(rq > 0)) return false;
      v = q.FQ / rq;
    } else if (mode == 1) {
      v = rq;
    } else {
      v = TransverseNaturalFrequency(rq);
    }
    return Finite(v);
  };
  CadSetLayer(5);
  Real y0 = 0;
  if (mode == 2) {
    y0 = q.fq[0];
  } else {
    open = value(0, y0);
  }
  const Real step = s.sc / 300;
  if (open) {
    DiagramMoveTo(0, y0);
    if (Finite(step) && step > 0)
      SampleUpTo(0, s.sc, [step](Real v) { return v + step; }, [&](Real sv) {
        Real v = 0;
        if (open && value(sv, v))
          DiagramLineTo(sv, v);
        else
          open = false;
      });
  }
  const std::array<Real, 5>& stored = mode == 0 ? q.y : mode == 1 ? q.Rq : q.fq;
  static const char* const names[3][4] = {
      {"sq1= ", "sq2= ", "sqn= ", "sqc= "}, {"Rq1= ", "Rq2= ", "Rqn= ", "Rqc= "}, {"fq1= ", "fq2= ", "fqn= ", "fqc= "}};
  struct Mark {
    int layer, k;
    Real sv;
  };
  std::vector<Mark> marks;
  if (s.s1 > 0.09L * s.sc) marks.push_back({19, 1, s.s1});
  marks.push_back({21, 2, s.s2});
  if (s.sn > 1.05L * s.s2) marks.push_back({18, 3, s.sn});
  marks.push_back({16, 4, s.sc});
  auto markValue = [&](const Mark& m) { return stored[static_cast<std::size_t>(m.k)]; };
  // The legs first, then the labels clear of all of them.
  for (const Mark& m : marks) {
    if (!(markValue(m) > 0)) continue;
    CadSetLayer(m.layer);
    DiagramVerticalMarkerLegs(m.sv, markValue(m));
  }
  for (const Mark& m : marks) {
    const Real v = markValue(m);
    if (!(v > 0)) continue;
    std::string text = names[mode][m.k - 1];
    if (mode == 0)
      text += FormatLength(v) + " " + LengthUnitName();
    else if (mode == 1)
      text += FormatSpringRate(v) + " " + SpringRateUnitName();
    else
      text += FloatToStrSig(v) + " Hz";
    CadSetLayer(m.layer);
    DiagramVerticalMarkerLabel(text, m.sv, v);
  }
}

}  // namespace zeb
