// The four spring views as output runs: projection, section, simple
// section and top view, with the data text block DATEN.
#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "base/dialogs.h"
#include "base/format.h"
#include "base/globals.h"
#include "drawings/coils.h"
#include "drawings/drawings.h"
#include "drawings/length_dialog.h"
#include "drawings/output_run.h"
#include "drawings/spring_view.h"
#include "graphics/cad.h"
#include "graphics/cadsettings.h"
#include "platform/oem_literal.h"
#include "spring/spring_data.h"

namespace zeb {

namespace {

// The lines of the data block DATEN and their text height.
std::vector<std::string> SpringDataLines(Real& H) {
  const SpringDataRecord& s = SpringData();
  H = std::max(0.04L * s.L, 0.04L * s.Dm);
  const std::string lu = " " + LengthUnitName();
  std::vector<std::string> lines{s.DrawingName, s.DrawingNo, "L = " + FormatLength(s.L) + lu,
                                 "F = " + FormatForce(s.R * (s.L0 - s.L)) + " " + ForceUnitName()};
  switch (s.CrossSection) {
    case 2:
    case 4: lines.push_back("b x h = " + FormatLength(s.d) + " x " + FormatLength(s.h) + lu); break;
    case 3: lines.push_back("a = " + FormatLength(s.d) + lu); break;
    case 7: lines.push_back("d = " + FormatLength(s.d) + lu + "  di = " + FormatLength(s.di) + lu); break;
    default: lines.push_back("d = " + FormatLength(s.d) + lu); break;
  }
  lines.push_back("De= " + FormatLength(s.De) + lu);
  lines.push_back("R = " + FormatSpringRate(s.R) + " " + SpringRateUnitName());
  return lines;
}

// The box (x0, y0, x1, y1) of the data block inserted at (x, 0), in
// drawing units: its first line's top at 10.6 text heights, one line of
// 1.6 heights (times the line spacing) below the other.
std::array<Real, 4> SpringDataBlockBox(Real x) {
  Real H = 0;
  std::size_t widest = 0, lines = 0;
  for (const std::string& l : SpringDataLines(H)) {
    widest = std::max(widest, l.size());
    if (!l.empty()) ++lines;
  }
  const Real pitch = 1.6L * H * Cad().CadLineSpacing;
  const Real bottom = 9.6L * H - pitch * static_cast<Real>(lines > 0 ? lines - 1 : 0);
  return {x, bottom, x + static_cast<Real>(widest) * 0.8L * H * CadSettings().CadTextFactor, 10.6L * H};
}

// The sheet of a view: what it draws with a margin of a twentieth of its
// larger side (at least one text height of the data block) all round. A
// side view reaches from its centre line (5 % of L beyond each end plane)
// to the outer coil diameter and, with the data block, to the block's far
// side; the top view to its centre cross (0.6 Dm) or the outer diameter.
// A drawing that reaches beyond (the frame check of the tests finds it)
// still lies within the margin.
std::array<Real, 4> ViewExtents(int kind, bool dataBlock) {
  const SpringDataRecord& s = SpringData();
  const Real outer = std::max(s.Dm + s.d, s.De) / 2;
  std::array<Real, 4> e{};
  if (kind == 4) {
    const Real a = std::max(0.6L * s.Dm, (s.Dm + s.d) / 2);
    e = {-a, -a, a, a};
  } else {
    e = {-outer, -0.05L * s.L, outer, 1.05L * s.L};
  }
  Real least = 0;
  if (kind != 4 && dataBlock) {
    const auto block = SpringDataBlockBox(2 * s.d + 0.5L * s.Dm);
    e = {std::min(e[0], block[0]), std::min(e[1], block[1]), std::max(e[2], block[2]), std::max(e[3], block[3])};
    least = block[3] / 10.6L;
  }
  const Real margin = std::max(least, 0.05L * std::max(e[2] - e[0], e[3] - e[1]));
  return {e[0] - margin, e[1] - margin, e[2] + margin, e[3] + margin};
}

}  // namespace

void DrawSpringDataBlock() {
  Real H = 0;
  const std::vector<std::string> lines = SpringDataLines(H);
  CadTextStyle(2, 0, H, 0.8L * H);
  CadSetLayer(4);
  CadMoveTo(0, 9.6L * H);
  for (const std::string& l : lines) CadTextLine(l);
}

void DrawSpringTopView() {
  const SpringDataRecord& s = SpringData();
  const Real r = s.Dm / 2, w = s.d / 2;
  CadSetLayer(1);
  CadCircle(0, 0, r);
  CadLine(-0.6L * s.Dm, 0, 0.6L * s.Dm, 0);
  CadLine(0, -0.6L * s.Dm, 0, 0.6L * s.Dm);
  CadSetLayer(5);
  const bool left = s.WindingDir == 2;
  const Real nt = ShownCoils(s.nt);
  const Real frac = nt - std::trunc(nt);
  const Real phi = std::isfinite(frac) ? (left ? 360 * frac : -360 * frac) : 0;
  CadLine(r - w, 0, r + w, 0);
  // The end of the wire: on layer 2 behind the full coils, else visible.
  CadSetLayer(nt > 1 ? 2 : 5);
  const Real rad = phi * 3.14159265358979323846264338327950288L / 180;
  const Real c = std::cos(rad), sn = std::sin(rad);
  CadLine((r - w) * c, (r - w) * sn, (r + w) * c, (r + w) * sn);
  CadSetLayer(5);
  if (nt > 1) {
    CadCircle(0, 0, r + w);
    CadCircle(0, 0, r - w);
  } else if (left) {
    CadArc(0, 0, 0, phi, r + w);
    CadArc(0, 0, 0, phi, r - w);
  } else {
    CadArc(0, 0, phi, 0, r + w);
    CadArc(0, 0, phi, 0, r - w);
  }
}

void DrawSpringView(int kind, int cadCode, bool askLength) {
  bool dataBlock = true;
  DrawingRun run;
  run.tables = 0;
  run.before = [&](DrawingRun& r) {
    SpringDataRecord& s = SpringData();
    if (s.CrossSection >= 2 && s.CrossSection <= 6 && (kind == 1 || kind == 2)) {
      ShowError("nur für runden Drahtquerschnitt"_oem);
      return false;
    }
    if (kind != 4 && askLength) {
      AskInstalledLength();
      if (G().AbortFlag != 0) return false;
      if (cadCode != 3) dataBlock = AskYesNoCancel("Ausgabe mit Federdaten als Textblock ?");
    } else {
      s.L = s.L0;
    }
    if (G().AbortFlag != 0) return false;
    if (kind >= 1 && kind <= 3 && !SideViewDrawable(kind != 1)) {
      ShowError("Zeichnung nicht möglich !"_oem);
      return false;
    }
    r.extents = ViewExtents(kind, dataBlock);
    if (kind >= 1 && kind <= 3 && dataBlock) {
      r.blocks = [] {
        CadBeginBlock("DATEN");
        DrawSpringDataBlock();
        CadEndBlock();
      };
    }
    return true;
  };
  run.entities = [&] {
    const SpringDataRecord& s = SpringData();
    switch (kind) {
      case 1:
        DrawSpringProjection();
        break;
      case 2:
        DrawSpringSection(false);
        break;
      case 3:
        DrawSpringSection(true);
        break;
      case 4:
        DrawSpringTopView();
        break;
      default:
        break;
    }
    if (kind >= 1 && kind <= 3 && dataBlock) CadInsertBlock("DATEN", 2 * s.d + 0.5L * s.Dm, 0, 0, 1, 1);
  };
  RunDrawingOutput(cadCode, std::move(run));
}

}  // namespace zeb
