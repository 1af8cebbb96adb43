#include "drawings/view3d.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "base/dialogs.h"
#include "base/format.h"
#include "base/globals.h"
#include "base/help.h"
#include "base/mathx.h"
#include "drawings/drawings.h"
#include "drawings/length_dialog.h"
#include "drawings/output_run.h"
#include "graphics/cad.h"
#include "graphics/diagram.h"
#include "platform/oem_literal.h"
#include "settings/config.h"
#include "spring/spring_data.h"

namespace zeb {

namespace {

constexpr Real kPi3 = std::numbers::pi_v<Real>;
constexpr Real kDeg = kPi3 / 180;
constexpr Real kMaxSegments = 100000;
constexpr int kMaxTicks = 100000;
constexpr Real kMaxCenterlineCoils = 10000;

std::array<Real, 6> gProjection{1, 0, 0, 1, -1, -1};

bool FileCode() {
  const int c = Cad().CadCode;
  return c == 1 || c == 2 || c == 5;
}

std::shared_ptr<RotationDialog>& Dialog() {
  static std::shared_ptr<RotationDialog> d = std::make_shared<ScriptedRotationDialog>();
  return d;
}

int RoundBar(std::string_view text) {
  const Real v = std::nearbyint(TextToFloat(text));
  if (!std::isfinite(v)) return 0;
  return static_cast<int>(std::clamp<Real>(v, -360, 360));
}

std::string TickText(Real v) {
  const Real a = std::fabs(v);
  return a == 0 || (a >= 1e-4L && a < 10000) ? FloatToStrSig(v) : FloatToStrEng(v);
}

// v = lo, lo + step, ... through hi; nothing for a step that is not
// finite and positive, and never past hi + step.
template <typename F>
void Ticks(Real lo, Real hi, Real step, F f) {
  if (!std::isfinite(step) || step <= 0 || !std::isfinite(lo) || !std::isfinite(hi)) return;
  const Real end = hi + step;
  Real v = lo;
  for (int k = 0; k < kMaxTicks; ++k) {
    if (std::fabs(v - end) < 1e-5L || v > end) break;
    f(v);
    const Real next = v + step;
    if (next == v) break;
    v = next;
  }
}

}  // namespace

std::array<Real, 6>& Projection3D() { return gProjection; }
void ResetProjection3D() { gProjection = {1, 0, 0, 1, -1, -1}; }

Real Project3DX(Real x, Real y, Real z) { return x * gProjection[0] + y * gProjection[2] + z * gProjection[4]; }
Real Project3DY(Real x, Real y, Real z) { return x * gProjection[1] + y * gProjection[3] + z * gProjection[5]; }

void MoveTo3D(Real x, Real y, Real z) {
  if (FileCode()) {
    DxfMoveTo3D(x, y, z);
  } else {
    Cad().CadCurrentPoint = CadPoint3{x, y, z};
    DiagramMoveTo(Project3DX(x, y, z), Project3DY(x, y, z));
  }
}

void LineTo3D(Real x, Real y, Real z) {
  if (FileCode()) {
    DxfLineTo3D(x, y, z);
  } else {
    DiagramLineToUnclipped(Project3DX(x, y, z), Project3DY(x, y, z));
    Cad().CadCurrentPoint = CadPoint3{x, y, z};
  }
}

void Line3D(Real x1, Real y1, Real z1, Real x2, Real y2, Real z2) {
  DiagramLine(Project3DX(x1, y1, z1), Project3DY(x1, y1, z1), Project3DX(x2, y2, z2), Project3DY(x2, y2, z2));
}

void Text3D(std::string_view text, Real x, Real y, Real z) {
  DiagramText(text, Project3DX(x, y, z), Project3DY(x, y, z));
}

void Setup3DView(std::string_view title, Real xmin, Real xmax, Real ymin, Real ymax, Real zmin, Real zmax, Real ax,
                 Real ay, Real az) {
  auto& angles = Config().Default3DAngles;
  if (ax != 0 || ay != 0 || az != 0) angles = {ax, ay, az};
  if (FileCode()) return;
  G().PrinterMode = 1;
  if (std::fabs(angles[0] - angles[1]) < 1e-5L) angles = {-15 * kDeg, 90 * kDeg, 210 * kDeg};
  if (Config().Edit3DAngles == 1) RotationForm().Run();
  for (int k = 0; k < 3; ++k) {
    const Real a = angles[static_cast<std::size_t>(k)];
    const bool gone = std::fabs(a + 2 * kPi3) < 1e-5L || !std::isfinite(a);
    gProjection[static_cast<std::size_t>(2 * k)] = gone ? 0 : std::cos(a);
    gProjection[static_cast<std::size_t>(2 * k + 1)] = gone ? 0 : std::sin(a);
  }
  const DiagramStateRecord& ds = DiagramState();
  const Real x0 = ds.PlotOriginX, y0 = ds.PlotOriginY, W = ds.PlotWidth, H = ds.PlotHeight;
  CadSetLayer(4);
  CadTextStyle(2, 0, 1.8L, 1.5L);
  CadText(title, std::max(x0, x0 + W / 2 - 1.75L * static_cast<Real>(title.size())), y0 + H + 3);
  CadSetLayer(17);
  Real xlo, xhi, xs, ylo, yhi, ys, zlo, zhi, zs;
  NiceAxisScale(std::min<Real>(0, xmin), xmax, 6, xlo, xhi, xs);
  NiceAxisScale(std::min<Real>(0, ymin), ymax, 6, ylo, yhi, ys);
  NiceAxisScale(std::min<Real>(0, zmin), zmax, 6, zlo, zhi, zs);
  Real pxmin = 0, pxmax = 0, pymin = 0, pymax = 0;
  for (int c = 0; c < 8; ++c) {
    const Real x = c & 1 ? xhi : xlo, y = c & 2 ? yhi : ylo, z = c & 4 ? zhi : zlo;
    const Real px = Project3DX(x, y, z), py = Project3DY(x, y, z);
    pxmin = std::min(pxmin, px), pxmax = std::max(pxmax, px);
    pymin = std::min(pymin, py), pymax = std::max(pymax, py);
  }
  DiagramSetRange(pxmin, pymin, pxmax, pymax);
  DiagramState().XTickStep = xs;
  const Real spanX = pxmax - pxmin, spanY = pymax - pymin;
  auto axisOn = [](int k) {
    return gProjection[static_cast<std::size_t>(2 * k)] != 0 || gProjection[static_cast<std::size_t>(2 * k + 1)] != 0;
  };
  if (axisOn(0)) {
    const Real e = xhi + 0.05L * xs;
    if (ylo <= 0 && 0 <= yhi) Line3D(0, 0, 0, e, 0, 0);
    CadTextStyle(2, 0, 1.8L, 1.5L);
    Text3D("x", e, 0, 0);
    Ticks(xlo, xhi, xs, [&](Real v) { Text3D(TickText(v), v - 0.03L * xhi, ylo - 0.07L * spanY, zlo); });
  }
  if (axisOn(1)) {
    const Real e = yhi + 0.05L * ys;
    Line3D(0, 0, 0, 0, e, 0);
    Text3D("y", 0, e, 0);
    Ticks(ylo, yhi, ys, [&](Real w) { Text3D(TickText(w), xlo - 0.03L * spanX, w, zlo); });
  }
  if (axisOn(2)) {
    const Real e = zhi + 0.05L * zs;
    Line3D(0, 0, 0, 0, 0, e);
    Text3D("z", 0, 0, e);
    Ticks(zlo, zhi, zs, [&](Real u) { Text3D(TickText(u), xlo - 0.03L * spanX, ylo, u); });
  }
  CadSetLayer(17);
  CadScreenLineStyle(1);
  Ticks(xlo, xhi, xs, [&](Real v) { Line3D(v, ylo, zlo, v, yhi, zlo); });
  Ticks(ylo, yhi, ys, [&](Real w) { Line3D(xlo, w, zlo, xhi, w, zlo); });
  CadScreenLineStyle(1);
  Ticks(xlo, xhi, xs, [&](Real v) { Line3D(v, ylo, zlo, v, ylo, zhi); });
  Ticks(zlo, zhi, zs, [&](Real u) { Line3D(xlo, ylo, u, xhi, ylo, u); });
  CadScreenLineStyle(1);
  Ticks(ylo, yhi, ys, [&](Real w) { Line3D(xlo, w, zlo, xlo, w, zhi); });
  Ticks(zlo, zhi, zs, [&](Real u) { Line3D(xlo, ylo, u, xlo, yhi, u); });
}

// ---------------------------------------------------------------- rotation dialog

RotationLogic::RotationLogic() {
  const auto& a = Config().Default3DAngles;
  for (int k = 0; k < 3; ++k) edits_[static_cast<std::size_t>(k)] = FloatToStrSig(a[static_cast<std::size_t>(k)] / kDeg);
  SyncBars();
}

void RotationLogic::SyncBars() {
  for (int k = 0; k < 3; ++k) bars_[static_cast<std::size_t>(k)] = RoundBar(edits_[static_cast<std::size_t>(k)]);
}

void RotationLogic::SetEdit(int axis, std::string_view text) { edits_[static_cast<std::size_t>(axis)] = text; }
void RotationLogic::LeaveEdit(int axis) {
  bars_[static_cast<std::size_t>(axis)] = RoundBar(edits_[static_cast<std::size_t>(axis)]);
}
void RotationLogic::SetBar(int axis, int position) {
  position = std::clamp(position, -360, 360);
  bars_[static_cast<std::size_t>(axis)] = position;
  edits_[static_cast<std::size_t>(axis)] = IntToText(position);
}
void RotationLogic::PressXY() { SetBar(0, 0), SetBar(1, 90), SetBar(2, -360); }
void RotationLogic::PressXZ() { SetBar(0, 0), SetBar(1, -360), SetBar(2, 90); }
void RotationLogic::PressYZ() { SetBar(0, -360), SetBar(1, 0), SetBar(2, 90); }
void RotationLogic::PressReset() { edits_ = {"-15", "90", "210"}; }

void RotationLogic::Ok() {
  auto& a = Config().Default3DAngles;
  for (int k = 0; k < 3; ++k) a[static_cast<std::size_t>(k)] = TextToFloat(edits_[static_cast<std::size_t>(k)]) * kDeg;
}

void RotationLogic::Cancel() { G().AbortFlag = 1; }

void ScriptedRotationDialog::Run() {
  ++shown;
  RotationLogic form;
  shownEdits.push_back({form.Edit(0), form.Edit(1), form.Edit(2)});
  while (next_ < steps_.size()) {
    const Item& it = steps_[next_++];
    if (it.axis >= 0) {
      form.SetEdit(it.axis, it.text);
      form.LeaveEdit(it.axis);
      continue;
    }
    switch (it.step) {
      case Step::XY:
        form.PressXY();
        break;
      case Step::XZ:
        form.PressXZ();
        break;
      case Step::YZ:
        form.PressYZ();
        break;
      case Step::Reset:
        form.PressReset();
        break;
      case Step::Ok:
        form.Ok();
        return;
      case Step::Cancel:
        RotationLogic::Cancel();
        return;
    }
  }
  RotationLogic::Cancel();
}

RotationDialog& RotationForm() { return *Dialog(); }
void SetRotationDialog(std::shared_ptr<RotationDialog> dialog) {
  Dialog() = dialog ? std::move(dialog) : std::make_shared<ScriptedRotationDialog>();
}

// ---------------------------------------------------------------- the view

Real CenterlineStep(Real resolution, Real coils) {
  if (!std::isfinite(resolution) || resolution <= 0) resolution = 2.0L;
  resolution = std::clamp<Real>(resolution, 0.1L, 90);
  Real dt = resolution / 360;
  if (std::isfinite(coils) && coils / dt > kMaxSegments) dt = coils / kMaxSegments;
  return dt;
}

void DrawSpring3DCenterline() {
  const SpringDataRecord& s = SpringData();
  const Real Dm = s.Dm, L = s.L;
  Setup3DView("", -0.6L * Dm, 0.6L * Dm, -0.6L * Dm, 0.6L * Dm, 0, L, 0, 0, 0);
  CadSetLayer(0);
  // The wire's axial size: the height of a flat (elliptical or rectangular)
  // wire, as the solid length takes it.
  const Real axial = s.CrossSection == 2 || s.CrossSection == 4 ? s.h : s.d;
  const Real r = Dm / 2, w = axial + s.TolWire, n = s.n, E1 = s.EndCoils[1], E2 = s.EndCoils[2];
  // Without active coils (or with too few to divide by) they rise at the wire pitch.
  const Real rise = L - s.Lc;
  const Real p = std::fabs(n) >= 1e-9L && std::fabs(rise) <= 1e9L ? w + rise / n : w;
  const Real limits[3] = {E1, E1 + n, E1 + n + E2};
  const Real total = std::fabs(E1) + std::fabs(n) + std::fabs(E2);
  if (!std::isfinite(total)) return;
  const Real dt = CenterlineStep(s.Line3DResolution, total);
  const Real z0 = (s.Lc - w * s.nt) / 2;
  const bool left = s.WindingDir == 2;
  Real t = 0, z = z0;
  MoveTo3D(r, 0, z0);
  const Real pitches[3] = {w, p, w};
  for (int run = 0; run < 3; ++run) {
    const Real dz = pitches[run] * dt, limit = limits[run] - dt / 2;
    do {
      t += dt;
      const Real phi = (left ? -2 : 2) * kPi3 * (t - std::trunc(t));
      z += dz;
      Real c, sn;
      CosSinReduced(phi, c, sn);
      LineTo3D(r * c, r * sn, z);
    } while (t <= limit);
  }
}

// The centre line needs finite sizes and a coil count it can draw turn by
// turn (as the side views).
static bool CenterlineDrawable() {
  const SpringDataRecord& s = SpringData();
  const Real total = std::fabs(s.EndCoils[1]) + std::fabs(s.n) + std::fabs(s.EndCoils[2]);
  return s.Dm > 0 && std::isfinite(s.Dm) && std::isfinite(s.L) && std::isfinite(s.Lc) && std::isfinite(s.nt) &&
         std::isfinite(s.d + s.TolWire) && std::isfinite(total) && total <= kMaxCenterlineCoils;
}

void DrawSpring3DView(int cadCode, int kind, bool askLength) {
  if (G().FatalErrorFlag != 0) {
    ShowCalcMessages();
    return;
  }
  if (askLength) {
    AskInstalledLength();
    if (G().AbortFlag != 0) return;
  } else {
    SpringData().L = SpringData().L0;
  }
  if (kind == 1 && !CenterlineDrawable()) {
    ShowError("Zeichnung nicht möglich !"_oem);
    return;
  }
  SetCurrentHelpNumber(8260);
  DrawingRun run;
  // A file holds the centre line in model units about the spring's axis.
  if (kind == 1 && (cadCode == 1 || cadCode == 2 || cadCode == 5)) {
    const Real a = 0.6L * SpringData().Dm;
    run.extents = {-a, -a, a, a};
  }
  run.opened = [] { CadSetLayer(0); };
  run.entities = [kind] {
    if (kind != 1) return;
    DiagramSetPlotSize(100, 100);
    DiagramSetPlotOrigin(25, 10);
    DrawSpring3DCenterline();
  };
  RunDrawingOutput(cadCode, std::move(run));
}

}  // namespace zeb
