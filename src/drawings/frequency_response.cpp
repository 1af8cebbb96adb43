// Frequency response: amplification of the dynamic deflection over the
// load-cycle frequency, with the natural frequency and the operating point.
#include <cmath>
#include <string>
#include <vector>

#include "base/format.h"
#include "drawings/diagram_plots.h"
#include "graphics/cad.h"
#include "graphics/diagram.h"
#include "spring/spring_data.h"

namespace zeb {

namespace {
constexpr Real kResonance = 1e32L;
// The y range grows to an operating point up to this factor; one above it
// is marked on the frame's top edge with its value.
constexpr Real kMostShown = 1000;
}

Real ResponseFactor(Real f, Real f0) {
  if (f0 == 0) return 0;
  if (f == f0) return kResonance;
  const Real r = f / f0;
  return std::fabs(1 / (1 - r * r));
}

void DrawFrequencyResponse(Real f0) {
  const Real fz = SpringData().f;
  const ResonanceRecord& res = ResonanceResult();
  DiagramSetPlotSize(125, 90);
  DiagramSetPlotOrigin(18, 10);
  DiagramState().DiagramAxisMode = 1;
  const Real yz = ResponseFactor(fz, f0);
  // Near resonance the range reaches up to the operating point.
  const bool shown = std::isfinite(yz) && yz <= kMostShown;
  const Real ymax = shown ? std::max<Real>(5, 1.05L * yz) : 5;
  DiagramFrame("f Hz", "Az/(Fz/R)", "Frequenzgang             ", 0.2L * fz, 0, 5 * fz, ymax, 1);
  const DiagramStateRecord& st = DiagramState();
  CadSetLayer(21);
  DiagramMoveTo(0, ResponseFactor(0, f0));
  const Real step = 5 * fz / 300;
  if (std::isfinite(step) && step > 0)
    SampleUpTo(0, st.XMax, [step](Real f) { return f + step; },
               [&](Real f) { DiagramLineTo(f, ResponseFactor(f, f0)); });
  CadSetLayer(5);
  DiagramClipLine(f0, st.YMin, f0, st.YMax);
  // Far off the scale (at resonance) the point is marked on the frame's
  // top edge, its value beside it.
  CadSetLayer(24);
  const bool onScale = yz <= st.YMax;
  DiagramCircleY(fz, onScale ? yz : st.YMax, 0.0125L * st.YSpan);
  if (!onScale) {
    DiagramTextStyleScaled(2, 0, 2.2L, 1.65L);
    DiagramPlacePointLabel("y = " + FloatToStrSig(yz), fz, st.YMax, DiagramMarkRadius(DiagramScaleY(0.0125L * st.YSpan)),
                           DiagramScaleX(0.01L * st.XSpan), DiagramScaleY(0.02L * st.YSpan));
  }
  CadSetLayer(19);
  CadTextStyle(2, 0, 2.2L, 1.8L);
  std::vector<std::string> lines{"f0 = " + FloatToStrSig(f0) + " Hz", "fz = " + FloatToStrSig(fz) + " Hz",
                                 "y(fz) = " + FloatToStrSig(yz)};
  if (res.ExternalMass > 0) {
    lines.push_back("m = " + FloatToStrSig(res.ExternalMass) + " kg");
    lines.push_back("m0 = " + FloatToStrSig(res.m0) + " kg");
    lines.push_back("Fz1= " + FloatToStrSig(res.Fz1) + " N");
    lines.push_back("Az = " + FloatToStrSig(res.Az) + " mm");
    lines.push_back("dy(fz)= " + FloatToStrSig(res.dy) + "mm");
    lines.push_back("dy(fz)= " + FloatToStrSig(res.dyPercent) + "%");
  }
  // From (118, 95) down, as one block clear of the curve, the frame and
  // the resonance line.
  DiagramPlaceTextLines(lines, 118, 95);
}

}  // namespace zeb
