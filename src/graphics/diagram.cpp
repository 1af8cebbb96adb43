#include "graphics/diagram.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <vector>

#include "base/dialogs.h"
#include "base/format.h"
#include "base/globals.h"
#include "base/mathx.h"
#include "base/text.h"
#include "base/ui_port.h"
#include "base/vector2d.h"
#include "graphics/cad.h"
#include "graphics/cadsettings.h"

namespace zeb {

namespace {

DiagramStateRecord gState;
DiagramLimitsRecord gLimits;
DiagramTextData gData;
std::shared_ptr<DiagramLimitsDialog> gDialog;

// Sheet boxes (x1, y1, x2, y2) of the labels placed in the current plot.
std::vector<std::array<Real, 4>> gLabels;

// Sheet segments (x1, y1, x2, y2) of the lines of the current plot that a
// label must not cross: axes, arrows, ticks, the plot's border, curves and
// marks. The inner grid lines are not among them.
std::vector<std::array<Real, 4>> gLines;
bool gDrawingGrid = false;

// The marks of the points of the current plot (sheet centre and radius)
// and the leaders drawn to their labels: a leader passes no mark but its
// own point's and crosses no other leader.
struct PointMark {
  Real x, y, r;
};
std::vector<PointMark> gMarks;
std::vector<std::array<Real, 4>> gLeaders;

// The least height of a frame's text (sheet units of the plot).
Real gLeastTextHeight = 1;

// The title block top right of a sheet: where its lines begin and how far
// down their ink reaches (above the sheet when there is none).
constexpr Real kTitleBlockX = 80;
Real gTitleBlockBottom = 1e9L;

// What a leader keeps from another point's mark (sheet units).
constexpr Real kMarkClearance = 0.2L;

void ClearLineGrid();

void ClearPlotNotes() {
  gLabels.clear();
  gLines.clear();
  ClearLineGrid();
  gMarks.clear();
  gLeaders.clear();
}

// A label may touch a line by this much (sheet units).
constexpr Real kLineHair = 0.05L;

void NoteLine(Real x1, Real y1, Real x2, Real y2) {
  if (gDrawingGrid) return;
  if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2)) return;
  gLines.push_back({x1, y1, x2, y2});
}

// The four sides of the rectangle with corners (x1, y1) and (x2, y2).
void NoteRectangle(Real x1, Real y1, Real x2, Real y2) {
  NoteLine(x1, y1, x2, y1);
  NoteLine(x2, y1, x2, y2);
  NoteLine(x2, y2, x1, y2);
  NoteLine(x1, y2, x1, y1);
}

void NoteCircle(Real x, Real y, Real r) {
  // An octagon around the circle.
  const Real a = r / std::cos(std::numbers::pi_v<Real> / 8);
  for (int k = 0; k < 8; ++k) {
    const Real t0 = std::numbers::pi_v<Real> / 4 * k, t1 = t0 + std::numbers::pi_v<Real> / 4;
    NoteLine(x + a * std::cos(t0), y + a * std::sin(t0), x + a * std::cos(t1), y + a * std::sin(t1));
  }
}

void NoteMark(Real x, Real y, Real r) {
  NoteCircle(x, y, r);
  if (std::isfinite(x) && std::isfinite(y) && std::isfinite(r)) gMarks.push_back({x, y, r});
}

// Does the segment run into the box shrunk by the hair?
bool SegmentMeetsBox(const std::array<Real, 4>& s, Real x0, Real y0, Real x1, Real y1) {
  x0 += kLineHair, y0 += kLineHair, x1 -= kLineHair, y1 -= kLineHair;
  Real t0, t1;
  return x0 < x1 && y0 < y1 && SegmentPartInRect(s[0], s[1], s[2], s[3], x0, y0, x1, y1, t0, t1);
}

// The noted lines by where they lie: a grid of cells over the bounds of
// the lines noted so far, each cell with the lines whose bounds reach into
// it (a line beyond the grid in its edge cells), so that a box is tried
// only against the lines near it. Lines noted later are added at the next
// question; the grid is laid anew when their number has doubled.
class LineGrid {
 public:
  void Clear() {
    cells_.clear();
    wide_.clear();
    seen_.clear();
    indexed_ = 0;
    asked_ = 0;
  }

  // Whether a noted line runs into the box shrunk by the hair.
  bool AnyMeets(Real x0, Real y0, Real x1, Real y1) {
    if (!(x0 + kLineHair < x1 - kLineHair && y0 + kLineHair < y1 - kLineHair)) return false;
    // The first few questions of a plot go through the lines one by one:
    // the grid pays only for many.
    if (indexed_ == 0 && ++asked_ <= kAskedBeforeGrid) {
      for (const auto& s : gLines)
        if ((Far(s) || !Apart(s, x0, y0, x1, y1)) && SegmentMeetsBox(s, x0, y0, x1, y1)) return true;
      return false;
    }
    Update();
    for (const std::uint32_t k : wide_)
      if (SegmentMeetsBox(gLines[k], x0, y0, x1, y1)) return true;
    if (cells_.empty()) return false;
    if (++stamp_ == 0) {
      std::fill(seen_.begin(), seen_.end(), 0);
      stamp_ = 1;
    }
    // The whole box: a line that meets the shrunk box lies well inside it.
    const int i0 = Column(x0), i1 = Column(x1), j0 = Row(y0), j1 = Row(y1);
    for (int i = i0; i <= i1; ++i)
      for (int j = j0; j <= j1; ++j)
        for (const std::uint32_t k : cells_[static_cast<std::size_t>(i * ny_ + j)]) {
          if (seen_[k] == stamp_) continue;
          seen_[k] = stamp_;
          const auto& s = gLines[k];
          if (!Apart(s, x0, y0, x1, y1) && SegmentMeetsBox(s, x0, y0, x1, y1)) return true;
        }
    return false;
  }

 private:
  static constexpr int kMost = 48;        // cells along a side at most
  static constexpr int kWideCells = 256;  // a line over more cells is tried always
  static constexpr int kAskedBeforeGrid = 8;

  int Column(Real x) const { return Slot(x, x0_, cw_, nx_); }
  int Row(Real y) const { return Slot(y, y0_, ch_, ny_); }
  static int Slot(Real v, Real from, Real size, int n) {
    const Real f = (v - from) / size;
    if (!(f > 0)) return 0;
    return f >= n ? n - 1 : static_cast<int>(f);
  }

  // Whether the line's bounds miss the whole box (then it misses the box
  // shrunk by the hair by that much at least).
  static bool Apart(const std::array<Real, 4>& s, Real x0, Real y0, Real x1, Real y1) {
    return std::max(s[0], s[2]) < x0 || std::min(s[0], s[2]) > x1 || std::max(s[1], s[3]) < y0 ||
           std::min(s[1], s[3]) > y1;
  }

  // A line far off the sheet is tried always: its bounds say too little
  // at that size.
  static bool Far(const std::array<Real, 4>& s) {
    return std::max({std::fabs(s[0]), std::fabs(s[1]), std::fabs(s[2]), std::fabs(s[3])}) > 1e6L;
  }

  void Update() {
    if (indexed_ == gLines.size()) return;
    // Bounds from the lines as noted now, again when they have doubled.
    if (gLines.size() > 2 * indexed_ + 64) {
      cells_.clear();
      wide_.clear();
      indexed_ = 0;
    }
    if (indexed_ == 0) {
      Real ax = gLines[0][0], bx = ax, ay = gLines[0][1], by = ay;
      for (const auto& s : gLines) {
        if (Far(s)) continue;
        ax = std::min({ax, s[0], s[2]}), bx = std::max({bx, s[0], s[2]});
        ay = std::min({ay, s[1], s[3]}), by = std::max({by, s[1], s[3]});
      }
      // Cells of about 4 units, at most kMost along a side.
      const Real sw = std::max<Real>(bx - ax, 1e-6L), sh = std::max<Real>(by - ay, 1e-6L);
      nx_ = static_cast<int>(std::clamp<Real>(std::ceil(sw / 4), 1, kMost));
      ny_ = static_cast<int>(std::clamp<Real>(std::ceil(sh / 4), 1, kMost));
      x0_ = ax, y0_ = ay, cw_ = sw / nx_, ch_ = sh / ny_;
      cells_.assign(static_cast<std::size_t>(nx_ * ny_), {});
    }
    seen_.resize(gLines.size(), 0);
    for (; indexed_ < gLines.size(); ++indexed_) {
      const auto& s = gLines[indexed_];
      const int i0 = Column(std::min(s[0], s[2])), i1 = Column(std::max(s[0], s[2]));
      const int j0 = Row(std::min(s[1], s[3])), j1 = Row(std::max(s[1], s[3]));
      const auto k = static_cast<std::uint32_t>(indexed_);
      if (Far(s) || (i1 - i0 + 1) * (j1 - j0 + 1) > kWideCells) {
        wide_.push_back(k);
        continue;
      }
      for (int i = i0; i <= i1; ++i)
        for (int j = j0; j <= j1; ++j) cells_[static_cast<std::size_t>(i * ny_ + j)].push_back(k);
    }
  }

  std::vector<std::vector<std::uint32_t>> cells_;
  std::vector<std::uint32_t> wide_;
  std::vector<std::uint32_t> seen_;
  std::uint32_t stamp_ = 0;
  std::size_t indexed_ = 0;
  int asked_ = 0;
  int nx_ = 1, ny_ = 1;
  Real x0_ = 0, y0_ = 0, cw_ = 1, ch_ = 1;
};
LineGrid gLineGrid;

void ClearLineGrid() { gLineGrid.Clear(); }

bool BoxFree(Real x0, Real y0, Real x1, Real y1) {
  for (const auto& b : gLabels)
    if (x0 < b[2] && b[0] < x1 && y0 < b[3] && b[1] < y1) return false;
  return !gLineGrid.AnyMeets(x0, y0, x1, y1);
}

// The plot rectangle on the sheet.
std::array<Real, 4> PlotBox() {
  const auto& s = gState;
  return {s.PlotOriginX, s.PlotOriginY, s.PlotOriginX + s.PlotWidth, s.PlotOriginY + s.PlotHeight};
}

// The sheet of the current output: a label never leaves it.
bool OnSheet(Real x0, Real y0, Real x1, Real y1) {
  const auto& e = Cad().CadExtents;
  if (!(e[1] > e[0]) || !(e[3] > e[2])) return true;
  return e[0] <= x0 && x1 <= e[1] && e[2] <= y0 && y1 <= e[3];
}

// Distance of the point from the box (0 inside).
Real PointBoxDistance(Real px, Real py, Real x0, Real y0, Real x1, Real y1) {
  return std::hypot(std::max({x0 - px, Real(0), px - x1}), std::max({y0 - py, Real(0), py - y1}));
}

Real SegmentPointDistance(const std::array<Real, 4>& s, Real px, Real py) {
  const Real dx = s[2] - s[0], dy = s[3] - s[1], l2 = dx * dx + dy * dy;
  const Real t = l2 > 0 ? std::clamp(((px - s[0]) * dx + (py - s[1]) * dy) / l2, Real(0), Real(1)) : Real(0);
  return std::hypot(s[0] + t * dx - px, s[1] + t * dy - py);
}

// Distance of the segment from the box (0 where it runs into it).
Real SegmentBoxDistance(const std::array<Real, 4>& s, Real x0, Real y0, Real x1, Real y1) {
  Real t0, t1;
  if (SegmentPartInRect(s[0], s[1], s[2], s[3], x0, y0, x1, y1, t0, t1)) return 0;
  Real d = std::min(PointBoxDistance(s[0], s[1], x0, y0, x1, y1), PointBoxDistance(s[2], s[3], x0, y0, x1, y1));
  for (const Real cx : {x0, x1})
    for (const Real cy : {y0, y1}) d = std::min(d, SegmentPointDistance(s, cx, cy));
  return d;
}

// The leader from the mark of radius markRadius about (px, py) to the box
// of its label, ending a quarter text height short of the box; false when
// the box lies within about one text height of the point (no leader).
bool LeaderOf(Real px, Real py, Real markRadius, Real h, const std::array<Real, 4>& box,
              std::array<Real, 4>& leader) {
  const Real qx = std::clamp(px, box[0], box[2]), qy = std::clamp(py, box[1], box[3]);
  const Real dist = std::hypot(qx - px, qy - py);
  if (!(dist > 1.2L * h) || !std::isfinite(dist)) return false;
  const Real ux = (qx - px) / dist, uy = (qy - py) / dist;
  const Real from = std::max<Real>(markRadius, 0), to = dist - 0.25L * h;
  if (!(to > from)) return false;
  leader = {px + ux * from, py + uy * from, px + ux * to, py + uy * to};
  return true;
}

// Whether the leader runs along a line of the plot: within a millimetre
// of it for its whole length (both ends, the distance being convex) at
// less than 15 degrees, so that on paper the two merge.
bool RunsAlongALine(const std::array<Real, 4>& leader) {
  constexpr Real kNear = 1, kSinAngle = 0.2588L;  // sin 15 degrees
  const Real dx = leader[2] - leader[0], dy = leader[3] - leader[1], len = std::hypot(dx, dy);
  if (!(len > 0)) return false;
  const Real x0 = std::min(leader[0], leader[2]) - kNear, x1 = std::max(leader[0], leader[2]) + kNear;
  const Real y0 = std::min(leader[1], leader[3]) - kNear, y1 = std::max(leader[1], leader[3]) + kNear;
  for (const auto& l : gLines) {
    if (std::max(l[0], l[2]) < x0 || std::min(l[0], l[2]) > x1 || std::max(l[1], l[3]) < y0 ||
        std::min(l[1], l[3]) > y1)
      continue;
    const Real lx = l[2] - l[0], ly = l[3] - l[1], ll = std::hypot(lx, ly);
    if (!(ll > 0) || std::fabs(dx * ly - dy * lx) >= kSinAngle * len * ll) continue;
    if (SegmentPointDistance(l, leader[0], leader[1]) <= kNear && SegmentPointDistance(l, leader[2], leader[3]) <= kNear)
      return true;
  }
  return false;
}

// A leader from the point (px, py) with a mark of markRadius that crosses
// no label, no other leader, passes no other point's mark (a mark that
// overlaps the point's own counts as its own) and runs along no line.
bool LeaderFree(const std::array<Real, 4>& leader, Real px, Real py, Real markRadius) {
  for (const auto& b : gLabels)
    if (SegmentMeetsBox(leader, b[0], b[1], b[2], b[3])) return false;
  if (RunsAlongALine(leader)) return false;
  for (const PointMark& m : gMarks) {
    if (std::hypot(m.x - px, m.y - py) <= m.r + std::max<Real>(markRadius, 0)) continue;
    if (SegmentPointDistance(leader, m.x, m.y) < m.r + kMarkClearance) return false;
  }
  for (const auto& l : gLeaders) {
    Real x, y;
    if (SegmentIntersection(x, y, l[0], l[1], l[2], l[3], leader[0], leader[1], leader[2], leader[3])) return false;
  }
  return true;
}

// Moves the box w x h with its lower left corner at `at` into the plot
// (inPlot) and onto the sheet, as far as it fits: the last resort of a
// label that finds no free place.
void KeepOnSheet(std::array<Real, 2>& at, Real w, Real h, bool inPlot) {
  auto into = [&](Real x0, Real y0, Real x1, Real y1) {
    if (!std::isfinite(at[0]) || !std::isfinite(at[1])) at = {x0, y0};
    at[0] = x1 - x0 >= w ? std::clamp(at[0], x0, x1 - w) : x0;
    at[1] = y1 - y0 >= h ? std::clamp(at[1], y0, y1 - h) : y0;
  };
  if (inPlot) {
    const auto plot = PlotBox();
    into(plot[0], plot[1], plot[2], plot[3]);
  }
  const auto& e = Cad().CadExtents;
  if (e[1] > e[0] && e[3] > e[2]) into(e[0], e[2], e[1], e[3]);
}

// Whether a box w x h with its lower left corner at (x, y) is free and on
// the sheet, and within the plot when (ax, ay) lies in it.
auto PlaceTest(Real ax, Real ay, Real w, Real h) {
  const auto plot = PlotBox();
  const bool inside = PointInRect(ax, ay, plot[0], plot[1], plot[2], plot[3]);
  return [=](Real x, Real y) {
    if (inside && (x < plot[0] || y < plot[1] || x + w > plot[2] || y + h > plot[3])) return false;
    return OnSheet(x, y, x + w, y + h) && BoxFree(x, y, x + w, y + h);
  };
}

// The offset (i, j), |i| <= nx and |j| <= ny, of least cost(i, j, r) (ties:
// least i, then least j) for which fits(i, j) holds, r = |(i stepX, j stepY)|;
// false when none does. Offsets are taken ring by ring of r: none beyond a
// ring costs less than bound(r), so the best that fits among those below it
// is the answer, if one fits.
template <typename Cost, typename Bound, typename Fits>
bool CheapestFit(int nx, int ny, Real stepX, Real stepY, Cost&& cost, Bound&& bound, Fits&& fits, int& fi,
                    int& fj) {
  struct Try {
    Real cost;
    int i, j;
  };
  struct Cell {
    Real r;
    int i, j;
  };
  const Real last = std::hypot(nx * stepX, ny * stepY);
  std::vector<Try> pool, now;
  // Offsets made but beyond the rings taken so far; each offset's r is
  // worked out once, when its square is first reached.
  std::vector<Cell> waiting;
  int px = -1, py = -1;  // the square made so far: |i| <= px, |j| <= py
  Real from = 0, to = 4 * std::max(stepX, stepY);
  for (bool done = false; !done; from = to, to *= 2) {
    done = !(to < last);
    const int ix = done ? nx : static_cast<int>(std::min<Real>(nx, std::ceil(to / stepX)));
    const int jy = done ? ny : static_cast<int>(std::min<Real>(ny, std::ceil(to / stepY)));
    auto add = [&](int i, int j, Real r) {
      if (r >= from && (done || r < to))
        pool.push_back({cost(i, j, r), i, j});
      else if (r >= from)
        waiting.push_back({r, i, j});
    };
    std::erase_if(waiting, [&](const Cell& c) {
      if (!(done || c.r < to)) return false;
      add(c.i, c.j, c.r);
      return true;
    });
    for (int i = -ix; i <= ix; ++i)
      for (int j = -jy; j <= jy; ++j) {
        if (i >= -px && i <= px && j >= -py && j <= py) {
          j = py;  // made before: on past the square
          continue;
        }
        add(i, j, std::hypot(i * stepX, j * stepY));
      }
    px = std::max(px, ix), py = std::max(py, jy);
    // What may be tried now: below every cost of the rings still to come,
    // cheapest first (ties: least i, then least j).
    const Real limit = done ? std::numeric_limits<Real>::infinity() : bound(to) - 1e-9L;
    now.clear();
    std::erase_if(pool, [&](const Try& t) {
      if (!(t.cost < limit)) return false;
      now.push_back(t);
      return true;
    });
    std::sort(now.begin(), now.end(), [](const Try& a, const Try& b) {
      return a.cost < b.cost || (a.cost == b.cost && (a.i < b.i || (a.i == b.i && a.j < b.j)));
    });
    for (const Try& t : now)
      if (fits(t.i, t.j)) {
        fi = t.i, fj = t.j;
        return true;
      }
  }
  return false;
}

// The offset (i, j), |i| <= nx and |j| <= ny, of the box w x h with its
// lower left corner at (sx + i stepX, sy + j stepY) of least cost, its
// distance from the point (px, py) plus a thousandth of the offset's length
// (ties: least i, then least j), for which fits(i, j) holds; false when
// none does. Along a row the cost grows both ways from the row's cheapest
// offset, and no offset of a row costs less than the row's distance from
// the point: the rows are merged cheapest first, a row joining when the
// cheapest offset waiting costs as much as its distance.
template <typename Fits>
bool NearestFit(int nx, int ny, Real stepX, Real stepY, Real sx, Real sy, Real w, Real h, Real px, Real py,
                Fits&& fits, int& fi, int& fj) {
  struct Try {
    Real cost;
    int i, j, way;  // way: -1 or +1 the side it moves on, 0 the row's cheapest
  };
  auto costOf = [&](int i, int j) {
    const Real x = sx + i * stepX, y = sy + j * stepY;
    return PointBoxDistance(px, py, x, y, x + w, y + h) + 1e-3L * std::hypot(i * stepX, j * stepY);
  };
  auto rowGap = [&](int j) {
    const Real y = sy + j * stepY;
    return std::max({y - py, Real(0), py - (y + h)});
  };
  auto after = [](const Try& a, const Try& b) {
    return a.cost > b.cost || (a.cost == b.cost && (a.i > b.i || (a.i == b.i && a.j > b.j)));
  };
  // The rows by their distance from the point, nearest first: outward from
  // the nearest row (the gap grows both ways from it).
  auto near = [&](Real v, int lo, int hi, auto&& gap) {
    const Real f = std::round(v);
    int m = std::isfinite(f) ? static_cast<int>(std::clamp<Real>(f, lo, hi)) : 0;
    while (m > lo && gap(m - 1) < gap(m)) --m;
    while (m < hi && gap(m + 1) < gap(m)) ++m;
    return m;
  };
  const int row0 = near((py - h / 2 - sy) / stepY, -ny, ny, rowGap);
  int below = row0 - 1, above = row0 + 1;
  bool firstRow = true;
  auto nextRow = [&](int& j, Real& gap) {
    if (firstRow) {
      firstRow = false;
      j = row0;
    } else if (below >= -ny && (above > ny || rowGap(below) <= rowGap(above))) {
      j = below--;
    } else if (above <= ny) {
      j = above++;
    } else {
      return false;
    }
    gap = rowGap(j);
    return true;
  };
  std::vector<Try> heap;
  int j = 0;
  Real gap = 0;
  bool rowWaiting = nextRow(j, gap);
  while (rowWaiting || !heap.empty()) {
    // Rows whose offsets may cost less than the cheapest waiting join.
    while (rowWaiting && (heap.empty() || !(heap.front().cost < gap))) {
      const int jj = j;
      auto rowCost = [&](int i) { return costOf(i, jj); };
      // The row's cheapest: down the cost from the guess, the column of the
      // boxes over the point's x nearest to no offset.
      const Real lo = std::ceil((px - w - sx) / stepX), hi = std::floor((px - sx) / stepX);
      const Real c = lo <= hi ? std::clamp<Real>(0, lo, hi) : std::round((px - w / 2 - sx) / stepX);
      int a = std::isfinite(c) ? static_cast<int>(std::clamp<Real>(c, -nx, nx)) : 0;
      Real ca = rowCost(a);
      for (bool moved = true; moved;) {
        moved = false;
        for (const int d : {-1, 1}) {
          const int b = a + d;
          if (b < -nx || b > nx) continue;
          const Real cb = rowCost(b);
          if (cb < ca || (cb == ca && b < a)) a = b, ca = cb, moved = true;
        }
      }
      heap.push_back({ca, a, jj, 0});
      std::push_heap(heap.begin(), heap.end(), after);
      rowWaiting = nextRow(j, gap);
    }
    std::pop_heap(heap.begin(), heap.end(), after);
    const Try t = heap.back();
    heap.pop_back();
    if (fits(t.i, t.j)) {
      fi = t.i, fj = t.j;
      return true;
    }
    for (const int d : {-1, 1}) {
      if (t.way != 0 && t.way != d) continue;
      const int b = t.i + d;
      if (b < -nx || b > nx) continue;
      heap.push_back({costOf(b, t.j), b, t.j, d});
      std::push_heap(heap.begin(), heap.end(), after);
    }
  }
  return false;
}

// A free place for a box w x h near (sx, sy), its lower left corner:
// first the preferred place moved up or down by whole steps of stepY (up
// to four each way), then places moved sideways by whole steps of stepX
// as well, nearest first. A box whose preferred corner lies in the plot
// stays in the plot. None free: the preferred place. The box is taken.
std::array<Real, 2> ReservePlace(Real sx, Real sy, Real w, Real h, Real stepX, Real stepY) {
  const auto fits = PlaceTest(sx, sy, w, h);
  std::array<Real, 2> at{sx, sy};
  bool found = false;
  for (int k = 0; k <= 8 && !found; ++k) {
    const Real y = sy + (k % 2 ? 1 : -1) * stepY * static_cast<Real>((k + 1) / 2);
    if (fits(sx, y)) at = {sx, y}, found = true;
  }
  if (!found && stepX > 0 && stepY > 0 && std::isfinite(stepX) && std::isfinite(stepY)) {
    const int nx = static_cast<int>(std::min<Real>(200, std::ceil(gState.PlotWidth / stepX)));
    const int ny = static_cast<int>(std::min<Real>(100, std::ceil(gState.PlotHeight / stepY)));
    int i = 0, j = 0;
    found = CheapestFit(
        nx, ny, stepX, stepY, [](int, int, Real r) { return r; }, [](Real r) { return r; },
        [&](int a, int b) { return a != 0 && fits(sx + a * stepX, sy + b * stepY); }, i, j);
    if (found) at = {sx + i * stepX, sy + j * stepY};
  }
  if (!found) {
    const auto plot = PlotBox();
    KeepOnSheet(at, w, h, PointInRect(sx, sy, plot[0], plot[1], plot[2], plot[3]));
  }
  gLabels.push_back({at[0], at[1], at[0] + w, at[1] + h});
  return at;
}

// A free place for a box w x h that labels the point (px, py) with a mark
// of markRadius, its lower left corner: the preferred place (sx, sy), else
// the free place on a grid of stepX x stepY about it nearest to the point,
// within the plot when the point lies in it and on the sheet always, whose
// leader (where it needs one) is free as well. The box is taken.
std::array<Real, 2> ReservePlaceNear(Real px, Real py, Real markRadius, Real sx, Real sy, Real w, Real h, Real stepX,
                                     Real stepY) {
  const auto place = PlaceTest(px, py, w, h);
  // A label near its point (leader or not) stands nearer to it than to
  // any other point's mark; a leader crosses nothing and runs along no
  // line. Only where no place is free so, a place that is free itself.
  bool strict = true;
  auto fits = [&](Real x, Real y) {
    if (!place(x, y)) return false;
    if (!strict) return true;
    std::array<Real, 4> leader;
    if (LeaderOf(px, py, markRadius, h, {x, y, x + w, y + h}, leader) && !LeaderFree(leader, px, py, markRadius))
      return false;
    // A label this near its point reads as that point's, leader or not.
    const Real own = PointBoxDistance(px, py, x, y, x + w, y + h);
    if (own > 1.4L * h) return true;
    for (const PointMark& m : gMarks)
      if (std::hypot(m.x - px, m.y - py) > 1e-6L && PointBoxDistance(m.x, m.y, x, y, x + w, y + h) < own - 1e-6L)
        return false;
    return true;
  };
  std::array<Real, 2> at{sx, sy};
  bool found = fits(sx, sy);
  for (int pass = 0; pass < 2 && !found && stepX > 0 && stepY > 0 && std::isfinite(stepX) && std::isfinite(stepY);
       ++pass) {
    strict = pass == 0;
    // Candidates within 40 mm of the preferred place.
    const int nx = static_cast<int>(std::min<Real>(200, std::ceil(40 / stepX)));
    const int ny = static_cast<int>(std::min<Real>(200, std::ceil(40 / stepY)));
    // Nearest to the point first; between equals, nearest to the preferred
    // place.
    int i = 0, j = 0;
    if (NearestFit(nx, ny, stepX, stepY, sx, sy, w, h, px, py,
                   [&](int a, int b) { return fits(sx + a * stepX, sy + b * stepY); }, i, j)) {
      at = {sx + i * stepX, sy + j * stepY};
      found = true;
    }
  }
  if (!found) {
    const auto plot = PlotBox();
    KeepOnSheet(at, w, h, PointInRect(px, py, plot[0], plot[1], plot[2], plot[3]));
  }
  gLabels.push_back({at[0], at[1], at[0] + w, at[1] + h});
  return at;
}

constexpr long kMaxPasses = 100000;

// v = lo, lo + step, ... through hi; the loop ends when the value reaches
// hi + step (within 1e-5, or a thousandth of a step below 0.01, so that
// the ticks of a small range run to its end as well) or passes it.
// Nothing when the step is not a finite positive value that moves lo, a
// bound is not finite, or it would take more than 100,000 passes.
template <class Body>
void StepLoop(Real lo, Real hi, Real step, Body&& body) {
  if (!std::isfinite(lo) || !std::isfinite(hi) || !std::isfinite(step) || !(step > 0)) return;
  if (lo + step == lo) return;
  if ((hi - lo) / step + 2 > kMaxPasses) return;
  const Real end = hi + step, near = std::min(1e-5L, 1e-3L * step);
  Real v = lo;
  long passes = 0;
  do {
    body(v);
    v += step;
  } while (!(std::fabs(v - end) < near || v > end) && ++passes < kMaxPasses);
}

Real NonZero(Real span) { return span == 0 ? 1 : span; }

Real Frac(Real x) { return x - std::trunc(x); }

// Whole in the sense of the log division: |v - Int(v')| < 1e-5, v' the
// value rounded to the 6-byte real.
bool LogWhole(Real v) { return std::fabs(v - std::trunc(RoundToReal48(v))) < 1e-5L; }

Real LogX(Real x) { return DiagramXIsLog() ? Log10Ext(x) : x; }
Real LogY(Real y) { return DiagramYIsLog() ? Log10Ext(y) : y; }

std::string Cut80(std::string_view s) { return std::string(s.substr(0, std::min<std::size_t>(s.size(), 80))); }

struct Division {
  Real lo = 0, hi = 0, step = 0;
  bool Finite() const { return std::isfinite(lo) && std::isfinite(hi) && std::isfinite(step); }
};

void DivideAxes(Real xmin, Real ymin, Real xmax, Real ymax, Division& x, Division& y) {
  auto& s = gState;
  if (DiagramXIsLog()) {
    NiceLogAxisScale(x.lo, x.hi, x.step, Log10Ext(xmin), Log10Ext(xmax), 5);
    s.LogXLo = x.lo;
    s.LogXHi = x.hi;
  } else {
    NiceAxisScale(xmin, xmax, 6, x.lo, x.hi, x.step);
  }
  if (DiagramYIsLog()) {
    NiceLogAxisScale(y.lo, y.hi, y.step, Log10Ext(ymin), Log10Ext(ymax), 12);
  } else {
    NiceAxisScale(ymin, ymax, 6, y.lo, y.hi, y.step);
  }
}

// The numbers of a linear axis's ticks: three significant digits, or the
// decimals of the step where two neighbouring ticks would read alike (a
// narrow range far from 0).
class TickNumbers {
 public:
  explicit TickNumbers(const Division& d) : step_(d.step) {
    std::string last;
    bool first = true;
    StepLoop(d.lo, d.hi, d.step, [&](Real v) {
      std::string t = FloatToStrAuto(v);
      alike_ = alike_ || (!first && t == last);
      last = std::move(t);
      first = false;
    });
  }
  std::string Text(Real v) const {
    if (!alike_) return FloatToStrAuto(v);
    if (std::fabs(v) < 1e-6L * step_) v = 0;
    return FloatToStrDec(std::clamp(static_cast<int>(-std::floor(std::log10(step_) + 1e-9L)), 0, 12), v);
  }

 private:
  Real step_;
  bool alike_ = false;
};

bool AllFinite(Real a, Real b, Real c, Real d) {
  return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d);
}

}  // namespace

DiagramStateRecord& DiagramState() { return gState; }
DiagramLimitsRecord& DiagramLimits() { return gLimits; }
DiagramTextData& DiagramData() { return gData; }

void ResetDiagramGlobals() {
  gState = DiagramStateRecord{};
  gLimits = DiagramLimitsRecord{};
  gData = DiagramTextData{};
  gDialog.reset();
  ClearPlotNotes();
  gDrawingGrid = false;
}

void DiagramRange::IncludeX(Real x) {
  if (!std::isfinite(x)) return;
  xmin = std::min(xmin, x);
  xmax = std::max(xmax, x);
}

void DiagramRange::IncludeY(Real y) {
  if (!std::isfinite(y)) return;
  ymin = std::min(ymin, y);
  ymax = std::max(ymax, y);
}

bool DiagramXIsLog() { return gState.DiagramAxisMode == 3 || gState.DiagramAxisMode == 4; }
bool DiagramYIsLog() { return gState.DiagramAxisMode == 2 || gState.DiagramAxisMode == 3; }

// Plot area and transforms.

void DiagramReset() {
  gState = DiagramStateRecord{};
  gTitleBlockBottom = 1e9L;
  DiagramSetPlotSize(160, 120);
  DiagramSetPlotOrigin(0, 0);
}

void DiagramSetPlotSize(Real width, Real height) {
  gState.PlotWidth = width;
  gState.PlotHeight = height;
}

void DiagramSetPlotOrigin(Real x0, Real y0) {
  gState.PlotOriginX = x0;
  gState.PlotOriginY = y0;
}

void DiagramSetRange(Real xmin, Real ymin, Real xmax, Real ymax) {
  auto& s = gState;
  s.XMin = xmin;
  s.YMin = ymin;
  s.XMax = xmax;
  s.YMax = ymax;
  s.XSpan = xmax - xmin;
  s.YSpan = ymax - ymin;
}

void DiagramScaleRange(Real fx, Real fy) {
  auto& s = gState;
  // A logarithmic axis holds log10 values: dividing the value by f moves
  // the limits by log10(f) and leaves the step (in decades) as it is.
  if (fx != 0 && std::isfinite(fx)) {
    if (DiagramXIsLog()) {
      if (fx > 0) {
        const Real shift = Log10Ext(fx);
        s.XMin -= shift;
        s.XMax -= shift;
      }
    } else {
      s.XMin /= fx;
      s.XMax /= fx;
      s.XTickStep /= fx;
    }
  }
  if (fy != 0 && std::isfinite(fy)) {
    if (DiagramYIsLog()) {
      if (fy > 0) {
        const Real shift = Log10Ext(fy);
        s.YMin -= shift;
        s.YMax -= shift;
      }
    } else {
      s.YMin /= fy;
      s.YMax /= fy;
    }
  }
  s.XSpan = s.XMax - s.XMin;
  s.YSpan = s.YMax - s.YMin;
}

Real DiagramMapX(Real x) {
  const auto& s = gState;
  return (x - s.XMin) / NonZero(s.XMax - s.XMin) * s.PlotWidth + s.PlotOriginX;
}

Real DiagramMapY(Real y) {
  const auto& s = gState;
  return (y - s.YMin) / NonZero(s.YMax - s.YMin) * s.PlotHeight + s.PlotOriginY;
}

Real DiagramScaleX(Real length) { return length / NonZero(gState.XMax - gState.XMin) * gState.PlotWidth; }
Real DiagramScaleY(Real length) { return length / NonZero(gState.YMax - gState.YMin) * gState.PlotHeight; }

Real DiagramUnmapX(Real px) {
  const auto& s = gState;
  return (px - s.PlotOriginX) * NonZero(s.XMax - s.XMin) / NonZero(s.PlotWidth) + s.XMin;
}

Real DiagramUnmapY(Real py) {
  const auto& s = gState;
  return (py - s.PlotOriginY) * NonZero(s.YMax - s.YMin) / NonZero(s.PlotHeight) + s.YMin;
}

void NiceLogAxisScale(Real& lo, Real& hi, Real& step, Real a, Real b, int n) {
  lo = hi = step = 0;
  NiceAxisScale(a, b, n, lo, hi, step);
  if (!LogWhole(hi)) {
    const Real h = RoundToReal48(hi);
    hi = Log10Ext(Pow10Ext(std::trunc(hi + 1)) * Frac(std::fabs(h)));
  }
}

Real DiagramLogTickPosition(Real v) {
  if (LogWhole(v)) return v;
  const Real vp = RoundToReal48(v);
  return Log10Ext(Pow10Ext(std::trunc(v + 1)) * Frac(std::fabs(vp)));
}

void DiagramTextStyleScaled(int font, Real angle, Real height, Real width) {
  Real s = std::max(gState.PlotWidth * 0.00625L, gState.PlotHeight / 110);
  if (height > 0 && height * s < gLeastTextHeight) s = gLeastTextHeight / height;
  CadTextStyle(font, angle, height * s, width * s);
}

DiagramLeastTextHeight::DiagramLeastTextHeight(Real height) { gLeastTextHeight = height; }
DiagramLeastTextHeight::~DiagramLeastTextHeight() { gLeastTextHeight = 1; }

void DiagramLabel(std::string_view text, Real x, Real y) { CadText(text, DiagramMapX(x), DiagramMapY(y)); }

void DiagramArrowHead(int direction, Real x, Real y, Real length) {
  const Real l = length, w = length / 8;
  // Triangles as solids repeat the third corner.
  auto solid = [](Real x1, Real y1, Real x2, Real y2, Real x3, Real y3) {
    CadSolid(x1, y1, x2, y2, x3, y3, x3, y3);
    NoteLine(x1, y1, x2, y2);
    NoteLine(x2, y2, x3, y3);
    NoteLine(x3, y3, x1, y1);
  };
  switch (direction) {
    case 0:
    case 1: solid(x, y, x - l, y + w, x - l, y - w); break;
    case 2: solid(x, y, x - w, y - l, x + w, y - l); break;
    case 3: solid(x, y, x + l, y + w, x + l, y - w); break;
    case 4: solid(x, y, x - w, y + l, x + w, y + l); break;
    default: break;
  }
}

void DiagramFrame(std::string_view xTitle, std::string_view yTitle, std::string_view title, Real xmin, Real ymin,
                  Real xmax, Real ymax, std::uint16_t titleMode) {
  auto& s = gState;
  ClearPlotNotes();
  if (xmax < xmin) std::swap(xmin, xmax);
  if (ymax < ymin) std::swap(ymin, ymax);
  if (!AllFinite(xmin, ymin, xmax, ymax)) {
    G().AbortFlag = 1;
    return;
  }
  Division x, y;
  DivideAxes(xmin, ymin, xmax, ymax, x, y);
  if (!x.Finite() || !y.Finite()) {
    G().AbortFlag = 1;
    return;
  }

  G().PrinterMode = 1;

  // The user may overrule the limits of a diagram written to a file.
  if (Cad().RequestedCadCode != 3 && CadSettings().EnterDiagramLimits != 0 && G().CommandLineArgs.size() < 2) {
    DiagramLimitsRequest req;
    req.computed = {x.lo, y.lo, x.hi, y.hi};
    req.xTitle = OemToAnsiStr(xTitle);
    req.yTitle = OemToAnsiStr(yTitle);
    req.caption = OemToAnsiStr(title);
    req.axisMode = s.DiagramAxisMode;
    DiagramLimitsForm().Run(req);
    if (G().AbortFlag == 0) {
      Real nx0 = gLimits.xmin, ny0 = gLimits.ymin, nx1 = gLimits.xmax, ny1 = gLimits.ymax;
      if (nx1 < nx0) std::swap(nx0, nx1);
      if (ny1 < ny0) std::swap(ny0, ny1);
      Division nx, ny;
      if (AllFinite(nx0, ny0, nx1, ny1)) {
        const Real keepLo = s.LogXLo, keepHi = s.LogXHi;
        DivideAxes(nx0, ny0, nx1, ny1, nx, ny);
        if (nx.Finite() && ny.Finite()) {
          xmin = nx0, ymin = ny0, xmax = nx1, ymax = ny1;
          x = nx;
          y = ny;
        } else {
          s.LogXLo = keepLo;
          s.LogXHi = keepHi;
        }
      }
    } else {
      G().AbortFlag = 0;
    }
  }

  DiagramSetRange(x.lo, y.lo, x.hi, y.hi);
  s.XTickStep = x.step;
  const bool xLog = DiagramXIsLog(), yLog = DiagramYIsLog();
  const bool xAxis = y.lo <= 0 && 0 <= y.hi, yAxis = x.lo <= 0 && 0 <= x.hi;

  // The title, centred over the plot and never left of it. The y axis
  // with its arrow, where it would run through it, parts the room in two;
  // the title block, where its lines reach down to the title, ends it. The
  // title goes to the part that holds it as wide as it is nearest to its
  // place (else to the widest part), fitted to the part; the plot's labels
  // keep clear of it.
  CadSetLayer(4);
  DiagramTextStyleScaled(2, 0, 3.5L, 2.5L);
  {
    const Real h = Cad().CadTextHeight, cw = h * Cad().CadTextWidthFactor;
    const Real ideal = std::max(s.PlotOriginX, s.PlotOriginX + s.PlotWidth / 2 - 1.75L * static_cast<Real>(title.size()));
    const Real ty = s.PlotOriginY + s.PlotHeight + 3;
    // What shows of the title: leading blanks move it, trailing ones add nothing.
    const std::size_t lead = title.find_first_not_of(' ');
    const Real from = lead == std::string_view::npos ? 0 : static_cast<Real>(lead) * cw;
    const Real w = lead == std::string_view::npos ? 0 : static_cast<Real>(title.find_last_not_of(' ') + 1 - lead) * cw;
    const Real end = gTitleBlockBottom < ty + h ? kTitleBlockX - 0.5L : std::numeric_limits<Real>::infinity();
    // The parts (from, to) of the room; a long title may reach half the
    // plot's width past its place.
    std::vector<std::array<Real, 2>> parts{{s.PlotOriginX, std::max(s.PlotOriginX + s.PlotWidth, ideal + from + s.PlotWidth / 2)}};
    if (yAxis && lead != std::string_view::npos) {
      const Real ax = DiagramMapX(0), tip = DiagramMapY(y.hi + 0.05L * s.YSpan), half = 0.04L * s.PlotHeight / 8;
      const Real gap = 0.25L * h;
      if (tip > ty && ax + half + gap > ideal + from && ax - half - gap < ideal + from + w)
        parts = {{s.PlotOriginX, ax - half - gap}, {ax + half + gap, ax + half + gap + std::max(w, s.PlotWidth / 2)}};
    }
    Real tx = ideal, right = parts[0][1], best = -1, distance = 0;
    for (const auto& [a, b0] : parts) {
      const Real b = std::min(b0, end);
      if (!(b > a)) continue;
      const Real at = std::clamp(ideal + from, a, std::max(a, b - w)) - from;
      const Real share = std::min<Real>(1, (b - a) / std::max<Real>(w, 1e-9L));
      const Real away = std::fabs(at - ideal);
      if (share > best + 1e-9L || (share > best - 1e-9L && away < distance)) {
        best = share, distance = away, tx = at, right = b;
      }
    }
    CadTextFit(title, tx, ty, right - tx);
    DiagramNoteText(title, tx, ty);
  }
  CadSetLayer(17);

  if (xAxis) {
    const Real end = x.hi + 0.05L * s.XSpan;
    DiagramLine(x.lo, 0, end, 0);
    DiagramArrowHead(1, DiagramMapX(end), DiagramMapY(0), 0.04L * s.PlotWidth);
  }

  DiagramTextStyleScaled(2, 0, 2.2L, 1.65L);
  const TickNumbers xTicks(x), yTicks(y);
  // Two steps of a logarithmic axis can land on one tick: it is drawn once.
  std::vector<Real> ticks;
  auto newTick = [&ticks](Real p) {
    if (std::find(ticks.begin(), ticks.end(), p) != ticks.end()) return false;
    ticks.push_back(p);
    return true;
  };
  StepLoop(x.lo, x.hi, x.step, [&](Real v) {
    if (xLog) {
      const Real p = DiagramLogTickPosition(v);
      if (x.lo <= p && p <= x.hi && newTick(p)) {
        DiagramLine(p, y.lo, p, y.lo - 0.01L * s.YSpan);
        DiagramLabel(FloatToStrAuto(Pow10Ext(p)), p - 0.03L * s.XSpan, y.lo - 0.1L * s.YSpan);
      }
    } else {
      DiagramLine(v, y.lo, v, y.lo - 0.01L * s.YSpan);
      DiagramLabel(xTicks.Text(v), v - 0.03L * (x.hi - x.lo), y.lo - 0.07L * s.YSpan);
    }
  });

  if (titleMode == 0 || titleMode == 1) {
    DiagramLabel(xTitle, x.hi + 0.06L * (x.hi - x.lo), y.lo - 0.07L * s.YSpan);
  } else if (titleMode == 2) {
    DiagramLabel(xTitle, x.hi + 0.01L * (x.hi - x.lo), y.lo + 0.03L * s.YSpan);
  }

  if (yAxis) {
    const Real end = y.hi + 0.05L * s.YSpan;
    DiagramLine(0, y.lo, 0, end);
    DiagramArrowHead(2, DiagramMapX(0), DiagramMapY(end), 0.04L * s.PlotHeight);
  }

  DiagramTextStyleScaled(2, 0, 2.2L, 1.65L);
  ticks.clear();
  // A logarithmic axis labels its decades and, where there is room, the
  // ticks between them.
  Real lastLabel = -std::numeric_limits<Real>::infinity();
  const Real room = 1.1L * Cad().CadTextHeight;
  StepLoop(y.lo, y.hi, y.step, [&](Real w) {
    if (yLog) {
      const Real p = DiagramLogTickPosition(w);
      if (p <= y.hi && newTick(p)) {
        DiagramLine(x.lo - 0.01L * s.XSpan, p, x.lo, p);
        const Real at = DiagramMapY(p), decade = std::ceil(p - 1e-6L);
        const bool whole = std::fabs(p - decade) < 1e-6L;
        if (whole || (at - lastLabel >= room && (decade > y.hi || DiagramMapY(decade) - at >= room))) {
          DiagramLabel(FloatToStrAuto(Pow10Ext(p)), x.lo - 0.1L * s.XSpan, p - 0.01L * s.YSpan);
          lastLabel = at;
        }
      }
    } else {
      DiagramLine(x.lo - 0.01L * s.XSpan, w, x.lo, w);
      DiagramLabel(yTicks.Text(w), x.lo - 0.1L * s.XSpan, w - 0.01L * s.YSpan);
    }
  });

  DiagramLabel(yTitle, x.lo - 0.1L * s.XSpan, y.hi + 0.07L * s.YSpan);

  // Grid; its first and last lines are the border of the plot. Labels keep
  // clear of the border, not of the grid.
  {
    const auto b = PlotBox();
    NoteRectangle(b[0], b[1], b[2], b[3]);
  }
  gDrawingGrid = true;
  CadSetLayer(17);
  CadScreenLineStyle(1);
  Real gridStep = x.step;
  if (xLog) {
    Real lo = 0, hi = 0;
    NiceLogAxisScale(lo, hi, gridStep, Log10Ext(xmin), Log10Ext(xmax), 60);
  }
  const Real gxLo = xLog ? s.LogXLo : x.lo, gxHi = xLog ? s.LogXHi : x.hi;
  StepLoop(gxLo, gxHi, gridStep, [&](Real v) {
    if (xLog) {
      const Real p = DiagramLogTickPosition(v);
      if (gxLo <= p && p <= gxHi) DiagramLine(p, y.lo, p, y.hi);
    } else {
      DiagramLine(v, y.lo, v, y.hi);
    }
  });
  StepLoop(y.lo, y.hi, y.step, [&](Real w) {
    if (yLog) {
      const Real p = DiagramLogTickPosition(w);
      if (p <= y.hi) DiagramLine(x.lo, p, x.hi, p);
    } else {
      DiagramLine(x.lo, w, x.hi, w);
    }
  });
  gDrawingGrid = false;
}

// Curves, texts and symbols.

void DiagramMoveTo(Real x, Real y) {
  CadMoveTo(DiagramMapX(x), DiagramMapY(y));
  gState.LastX = x;
  gState.LastY = y;
}

void DiagramLineTo(Real x, Real y) {
  DiagramClipLine(gState.LastX, gState.LastY, x, y);
  gState.LastX = x;
  gState.LastY = y;
}

void DiagramLineToUnclipped(Real x, Real y) {
  const CadPoint3 from = Cad().CadCurrentPoint;
  NoteLine(from.x, from.y, DiagramMapX(x), DiagramMapY(y));
  CadLineTo(DiagramMapX(x), DiagramMapY(y));
  gState.LastX = x;
  gState.LastY = y;
}

void DiagramClipLine(Real x1, Real y1, Real x2, Real y2) {
  const auto& s = gState;
  x1 = LogX(x1);
  x2 = LogX(x2);
  y1 = LogY(y1);
  y2 = LogY(y2);
  auto nearInside = [&](Real x, Real y) {
    return s.XMin - 0.01L * s.XSpan < x && x < s.XMax + 0.01L * s.XSpan && s.YMin - 0.01L * s.YSpan < y &&
           y < s.YMax + 0.01L * s.YSpan;
  };
  if (nearInside(x1, y1) && nearInside(x2, y2)) {
    DiagramLine(x1, y1, x2, y2);
    return;
  }
  if (PointInRect(x1, y1, s.XMin, s.YMin, s.XMax, s.YMax) || PointInRect(x2, y2, s.XMin, s.YMin, s.XMax, s.YMax)) {
    if (ClipSegmentToRect(x1, y1, x2, y2, s.XMin, s.YMin, s.XMax, s.YMax)) DiagramLine(x1, y1, x2, y2);
  }
}

void DiagramLine(Real x1, Real y1, Real x2, Real y2) {
  const Real a = DiagramMapX(x1), b = DiagramMapY(y1), c = DiagramMapX(x2), d = DiagramMapY(y2);
  NoteLine(a, b, c, d);
  CadLine(a, b, c, d);
}

void DiagramRectangle(Real x1, Real y1, Real x2, Real y2) {
  const Real a = DiagramMapX(LogX(x1)), b = DiagramMapY(LogY(y1)), c = DiagramMapX(LogX(x2)),
             d = DiagramMapY(LogY(y2));
  NoteRectangle(a, b, c, d);
  CadRectangle(a, b, c, d);
}

Real DiagramMarkRadius(Real r) { return r > 0 ? std::max(r, kLeastMarkRadius) : r; }

void DiagramCircleY(Real x, Real y, Real r) {
  const CadMarks mark;  // a point's mark
  const Real cx = DiagramMapX(LogX(x)), cy = DiagramMapY(LogY(y)), cr = DiagramMarkRadius(DiagramScaleY(LogY(r)));
  if (cr > 0) NoteMark(cx, cy, cr);
  CadCircle(cx, cy, cr);
}

void DiagramCircleX(Real x, Real y, Real r) {
  const CadMarks mark;  // a point's mark
  const Real cx = DiagramMapX(LogX(x)), cy = DiagramMapY(LogY(y)), cr = DiagramMarkRadius(DiagramScaleX(LogX(r)));
  if (cr > 0) NoteMark(cx, cy, cr);
  CadCircle(cx, cy, cr);
}

void DiagramText(std::string_view text, Real x, Real y) {
  CadText(text, DiagramMapX(LogX(x)), DiagramMapY(LogY(y)));
}

void DiagramPlaceLabelAt(std::string_view text, Real sx, Real sy) {
  const Real h = Cad().CadTextHeight, cw = h * Cad().CadTextWidthFactor;
  const auto at = ReservePlace(sx, sy, static_cast<Real>(text.size()) * cw, h, cw, 1.2L * h);
  CadText(text, at[0], at[1]);
}

void DiagramPlaceWrappedText(std::string_view text, Real x, Real y) {
  const Real h = Cad().CadTextHeight, cw = h * Cad().CadTextWidthFactor;
  Real sx = DiagramMapX(LogX(x)), sy = DiagramMapY(LogY(y));
  // Lines that end one character before the plot's right edge; a word
  // longer than that stands alone.
  const Real room = gState.PlotOriginX + gState.PlotWidth - cw - sx;
  const std::size_t most = cw > 0 && room > cw ? static_cast<std::size_t>(room / cw) : text.size();
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.size();
    if (end - start > most) {
      const std::size_t blank = text.rfind(' ', start + most);
      end = blank != std::string_view::npos && blank > start ? blank : text.find(' ', start + most);
      if (end == std::string_view::npos) end = text.size();
    }
    lines.emplace_back(text.substr(start, end - start));
    start = end;
    while (start < text.size() && text[start] == ' ') ++start;
  }
  std::size_t widest = 0;
  for (const std::string& l : lines) widest = std::max(widest, l.size());
  const Real step = 1.4L * h;
  const Real n = static_cast<Real>(lines.size());
  DiagramPlaceBox(static_cast<Real>(widest) * cw, (n - 1) * step + h, cw, sx, sy);
  // The last line at the place, the others above it.
  for (std::size_t k = 0; k < lines.size(); ++k)
    CadText(lines[k], sx, sy + (n - 1 - static_cast<Real>(k)) * step);
}

void DiagramPlaceTextLines(const std::vector<std::string>& lines, Real sx, Real sy) {
  if (lines.empty()) return;
  const Real h = Cad().CadTextHeight, cw = h * Cad().CadTextWidthFactor;
  const Real step = 1.6L * h * Cad().CadLineSpacing, n = static_cast<Real>(lines.size());
  std::size_t widest = 0;
  for (const std::string& l : lines) widest = std::max(widest, l.size());
  Real x = sx, y = sy - (n - 1) * step;
  DiagramPlaceBox(static_cast<Real>(widest) * cw, (n - 1) * step + h, cw, x, y);
  CadMoveTo(x, y + (n - 1) * step);
  for (const std::string& l : lines) CadTextLine(l);
}

void DiagramPlaceBox(Real w, Real h, Real step, Real& sx, Real& sy) {
  const auto at = ReservePlace(sx, sy, w, h, step, step);
  sx = at[0];
  sy = at[1];
}

void DiagramNoteText(std::string_view text, Real sx, Real sy) {
  const Real h = Cad().CadTextHeight, w = static_cast<Real>(text.size()) * h * Cad().CadTextWidthFactor;
  const Real a = Cad().CadTextAngle * std::numbers::pi_v<Real> / 180, c = std::cos(a), sn = std::sin(a);
  const Real xs[4] = {sx, sx + w * c, sx + w * c - h * sn, sx - h * sn};
  const Real ys[4] = {sy, sy + w * sn, sy + w * sn + h * c, sy + h * c};
  for (int k = 0; k < 4; ++k) NoteLine(xs[k], ys[k], xs[(k + 1) % 4], ys[(k + 1) % 4]);
}

bool DiagramTextFree(std::string_view text, Real sx, Real sy) {
  const std::size_t lead = std::min(text.find_first_not_of(' '), text.size());
  const Real h = Cad().CadTextHeight, cw = h * Cad().CadTextWidthFactor;
  const Real u0 = static_cast<Real>(lead) * cw, u1 = static_cast<Real>(text.size()) * cw;
  const Real a = Cad().CadTextAngle * std::numbers::pi_v<Real> / 180, c = std::cos(a), sn = std::sin(a);
  auto local = [&](Real x, Real y, Real& u, Real& v) {
    u = (x - sx) * c + (y - sy) * sn;
    v = -(x - sx) * sn + (y - sy) * c;
  };
  Real t0, t1;
  for (const auto& l : gLines) {
    Real ua, va, ub, vb;
    local(l[0], l[1], ua, va);
    local(l[2], l[3], ub, vb);
    if (SegmentPartInRect(ua, va, ub, vb, u0 + kLineHair, kLineHair, u1 - kLineHair, h - kLineHair, t0, t1))
      return false;
  }
  // A label's box against the text's: apart when one of the two boxes'
  // axes separates them.
  const Real xs[4] = {sx + u0 * c, sx + u1 * c, sx + u1 * c - h * sn, sx + u0 * c - h * sn};
  const Real ys[4] = {sy + u0 * sn, sy + u1 * sn, sy + u1 * sn + h * c, sy + u0 * sn + h * c};
  for (const auto& b : gLabels) {
    if (*std::max_element(xs, xs + 4) <= b[0] || *std::min_element(xs, xs + 4) >= b[2] ||
        *std::max_element(ys, ys + 4) <= b[1] || *std::min_element(ys, ys + 4) >= b[3])
      continue;
    Real umin = 1e30L, umax = -1e30L, vmin = 1e30L, vmax = -1e30L;
    for (const Real x : {b[0], b[2]})
      for (const Real y : {b[1], b[3]}) {
        Real u, v;
        local(x, y, u, v);
        umin = std::min(umin, u), umax = std::max(umax, u), vmin = std::min(vmin, v), vmax = std::max(vmax, v);
      }
    if (umax <= u0 || umin >= u1 || vmax <= 0 || vmin >= h) continue;
    return false;
  }
  return true;
}

void DiagramPlacePointLabelAt(std::string_view text, Real px, Real py, Real markRadius, Real sx, Real sy) {
  const Real h = Cad().CadTextHeight, cw = h * Cad().CadTextWidthFactor;
  // The box of what shows: leading blanks move it.
  const std::size_t lead = std::min(text.find_first_not_of(' '), text.size());
  const Real off = static_cast<Real>(lead) * cw;
  const Real w = static_cast<Real>(text.size() - lead) * cw;
  const auto at = ReservePlaceNear(px, py, markRadius, sx + off, sy, w, h, cw / 2, h / 2);
  CadText(text, at[0] - off, at[1]);
  std::array<Real, 4> leader;
  if (!LeaderOf(px, py, markRadius, h, {at[0], at[1], at[0] + w, at[1] + h}, leader)) return;
  NoteLine(leader[0], leader[1], leader[2], leader[3]);
  gLeaders.push_back(leader);
  CadLine(leader[0], leader[1], leader[2], leader[3]);
}

void DiagramPlaceLineLabel(std::string_view text, const std::vector<std::array<Real, 2>>& line, Real x, Real y) {
  const Real h = Cad().CadTextHeight, cw = h * Cad().CadTextWidthFactor;
  const std::size_t lead = std::min(text.find_first_not_of(' '), text.size());
  const std::size_t last = text.find_last_not_of(' ');
  const Real off = static_cast<Real>(lead) * cw;
  const Real w = last == std::string_view::npos ? 0 : static_cast<Real>(last + 1 - lead) * cw;
  const Real sx = DiagramMapX(LogX(x)) + off, sy = DiagramMapY(LogY(y));
  // The line on the sheet; a line of one point is a segment of length 0.
  std::vector<std::array<Real, 2>> points;
  for (const auto& p : line) {
    const Real ax = DiagramMapX(LogX(p[0])), ay = DiagramMapY(LogY(p[1]));
    if (std::isfinite(ax) && std::isfinite(ay)) points.push_back({ax, ay});
  }
  std::vector<std::array<Real, 4>> segments;
  for (std::size_t k = 0; k < points.size(); ++k) {
    const auto& a = points[k > 0 ? k - 1 : 0];
    if (k > 0 || points.size() == 1) segments.push_back({a[0], a[1], points[k][0], points[k][1]});
  }
  if (segments.empty() || !(w > 0) || !(cw > 0)) {
    DiagramPlaceLabelAt(text, sx - off, sy);
    return;
  }
  auto distance = [&](Real bx, Real by) {
    Real d = std::numeric_limits<Real>::infinity();
    for (const auto& g : segments) d = std::min(d, SegmentBoxDistance(g, bx, by, bx + w, by + h));
    return d;
  };
  // Always in the plot: the anchor given is its lower left corner.
  const auto plot = PlotBox();
  const auto fits = PlaceTest(plot[0], plot[1], w, h);
  auto take = [&](Real bx, Real by) {
    gLabels.push_back({bx, by, bx + w, by + h});
    CadText(text, bx - off, by);
  };
  if (fits(sx, sy) && distance(sx, sy) <= 1.2L * h) return take(sx, sy);
  // Places on the line: the box just above or below a point of it, slid
  // along, nearest to the place asked for first.
  // Taken ring by ring of distance, each ring's boxes by the square of
  // their distance (ties: in the order of the points along the line, then
  // slid, then above before below), so that only the boxes near the first
  // free one are made and sorted.
  const Real step = cw / 2, gap = 0.25L * h;
  const int across = static_cast<int>(std::ceil(w / step));
  const std::size_t perPoint = static_cast<std::size_t>(across + 1) * 2;
  // How far a box's corner lies from its point at most.
  const Real reach = std::hypot(w, gap + h);
  struct Point {
    Real x, y, d;
    std::size_t order;
  };
  std::vector<Point> along;
  Real farthest = 0;
  for (const auto& g : segments) {
    const Real len = std::hypot(g[2] - g[0], g[3] - g[1]);
    const int n = std::min(2000, static_cast<int>(std::ceil(len / step)));
    for (int k = 0; k <= n; ++k) {
      const Real t = n > 0 ? static_cast<Real>(k) / n : 0, qx = g[0] + t * (g[2] - g[0]), qy = g[1] + t * (g[3] - g[1]);
      const Real d = std::hypot(qx - sx, qy - sy);
      along.push_back({qx, qy, d, along.size() * perPoint});
      farthest = std::max(farthest, d);
    }
  }
  struct Try {
    Real cost, x, y;
    std::size_t order;
  };
  std::vector<Try> ring;
  for (Real from = 0, to = 2 * h; ; from = to, to *= 2) {
    const Real slack = 1e-6L * (to + 1);
    const bool last = !(to < farthest + reach + slack) || !std::isfinite(to);
    const Real lo = from * from, hi = to * to;
    ring.clear();
    for (const Point& q : along) {
      if (!last && q.d - reach > to + slack) continue;  // every box beyond the ring
      if (q.d + reach + slack < from) continue;         // every box tried before
      int side = 0;
      for (const Real by : {q.y + gap, q.y - gap - h}) {
        const Real dy2 = (by - sy) * (by - sy);
        auto tryAt = [&](int j) {
          const Real bx = q.x - std::min(w, j * step), dx = bx - sx;
          const Real cost = dx * dx + dy2;
          if (cost >= lo && (last || cost < hi))
            ring.push_back({cost, bx, by, q.order + static_cast<std::size_t>(j) * 2 + static_cast<std::size_t>(side)});
        };
        ++side;
        if (!last && !(dy2 < hi)) continue;  // none of this side in the ring
        // The slides whose distance across lies within the ring (the last
        // slide, by the whole width, apart), a slide more each way.
        const Real a = q.x - sx, far = last ? 0 : std::sqrt(hi - dy2), near = lo > dy2 ? std::sqrt(lo - dy2) : 0;
        const Real eps = 1e-9L * (far + std::fabs(a) + 1);
        const Real f0 = (a - far - eps) / step, f1 = (a - near + eps) / step;
        const Real g0 = (a + near - eps) / step, g1 = (a + far + eps) / step;
        if (last || !std::isfinite(f0) || !std::isfinite(g1)) {
          for (int j = 0; j <= across; ++j) tryAt(j);
          continue;
        }
        auto slide = [&](Real v) { return static_cast<int>(std::clamp<Real>(v, -1, across)); };
        int j0 = slide(std::floor(f0) - 1), j1 = slide(std::ceil(f1) + 1);
        const int k0 = slide(std::floor(g0) - 1), k1 = slide(std::ceil(g1) + 1);
        if (k0 <= j1 + 1) {
          j1 = std::max(j1, k1);
        } else {
          for (int j = std::max(k0, 0); j <= std::min(k1, across - 1); ++j) tryAt(j);
        }
        for (int j = std::max(j0, 0); j <= std::min(j1, across - 1); ++j) tryAt(j);
        tryAt(across);
      }
    }
    std::sort(ring.begin(), ring.end(),
              [](const Try& a, const Try& b) { return a.cost < b.cost || (a.cost == b.cost && a.order < b.order); });
    for (const Try& t : ring)
      if (fits(t.x, t.y)) return take(t.x, t.y);
    if (last) break;
  }
  // None free on the line: near it, with a leader from its point nearest
  // to the place asked for.
  Real best = std::numeric_limits<Real>::infinity(), cx = segments[0][0], cy = segments[0][1];
  for (const auto& g : segments) {
    const Real dx = g[2] - g[0], dy = g[3] - g[1], l2 = dx * dx + dy * dy;
    const Real mx = sx + w / 2, my = sy + h / 2;
    const Real t = l2 > 0 ? std::clamp(((mx - g[0]) * dx + (my - g[1]) * dy) / l2, Real(0), Real(1)) : Real(0);
    const Real qx = g[0] + t * dx, qy = g[1] + t * dy, d = std::hypot(qx - mx, qy - my);
    if (d < best) best = d, cx = qx, cy = qy;
  }
  DiagramPlacePointLabelAt(text, cx, cy, 0, sx - off, sy);
}

void DiagramPlacePointLabel(std::string_view text, Real x, Real y, Real markRadius, Real dx, Real dy) {
  const Real px = DiagramMapX(LogX(x)), py = DiagramMapY(LogY(y));
  DiagramPlacePointLabelAt(text, px, py, markRadius, px + dx, py + dy);
}

void DiagramPlaceLabel(std::string_view text, Real x, Real y) {
  DiagramPlaceLabelAt(text, DiagramMapX(LogX(x)), DiagramMapY(LogY(y)));
}

void DiagramTextStyle(int font, Real angle, Real height, Real width) {
  CadTextStyle(font, angle, DiagramScaleY(height), DiagramScaleX(width));
}

void DiagramTextStyleAt(int font, Real angle, Real height, Real width, Real xmin, Real ymin, Real xmax, Real ymax) {
  auto& s = gState;
  if (!AllFinite(xmin, ymin, xmax, ymax)) return DiagramTextStyle(font, angle, height, width);
  const Real keepLo = s.LogXLo, keepHi = s.LogXHi;
  Division x, y;
  DivideAxes(std::min(xmin, xmax), std::min(ymin, ymax), std::max(xmin, xmax), std::max(ymin, ymax), x, y);
  s.LogXLo = keepLo, s.LogXHi = keepHi;
  if (!x.Finite() || !y.Finite() || !(x.hi > x.lo) || !(y.hi > y.lo))
    return DiagramTextStyle(font, angle, height, width);
  CadTextStyle(font, angle, height / (y.hi - y.lo) * s.PlotHeight, width / (x.hi - x.lo) * s.PlotWidth);
}

void DiagramSymbol(int n, Real x, Real y) {
  const auto m = gState.DiagramAxisMode;
  if (m == 2 || m == 3 || m == 4) return;
  const CadMarks mark;
  const Real dx = gState.XSpan / 150, dy = gState.YSpan / 150;
  switch (n) {
    case 1: DiagramCircleY(x, y, 1.5L * dy); break;
    case 2: DiagramRectangle(x - dx, y - dy, x + dx, y + dy); break;
    case 3: DiagramDiamond(x, y, 1.2L * dx, 1.5L * dy); break;
    case 4: DiagramTriangle(x, y, dx, dy); break;
    default: break;
  }
}

void DiagramDiamond(Real x, Real y, Real hx, Real hy) {
  DiagramMoveTo(x - hx, y);
  DiagramLineTo(x, y + hy);
  DiagramLineTo(x + hx, y);
  DiagramLineTo(x, y - hy);
  DiagramLineTo(x - hx, y);
}

void DiagramTriangle(Real x, Real y, Real hx, Real hy) {
  DiagramMoveTo(x - hx, y - hy);
  DiagramLineTo(x, y + hy);
  DiagramLineTo(x + hx, y - hy);
  DiagramLineTo(x - hx, y - hy);
}

void DiagramLegendLine(std::string_view text, int n) {
  const CadPoint3 cursor = Cad().CadCurrentPoint;
  const Real h = Cad().CadTextHeight;
  DiagramSymbol(n, DiagramUnmapX(cursor.x - h), DiagramUnmapY(cursor.y + h / 2));
  Cad().CadCurrentPoint = cursor;
  CadTextLine(text);
}

void DiagramLineWithMarkers(int n, Real x1, Real y1, Real x2, Real y2) {
  DiagramClipLine(x1, y1, x2, y2);
  const auto& s = gState;
  const Real step = s.XTickStep;
  if (!std::isfinite(step) || !(step > 0) || !std::isfinite(s.XMin) || !std::isfinite(s.XMax)) return;
  if (s.XMin + step == s.XMin || (s.XMax - s.XMin) / step + 2 > kMaxPasses) return;
  for (long k = 1; k <= kMaxPasses; ++k) {
    const Real xm = s.XMin + static_cast<Real>(k) * step;
    if (x1 <= xm && xm <= x2 && xm != x1) {
      const Real ym = y1 + (y2 - y1) / (x2 - x1) * (xm - x1);
      if (s.YMin <= ym && ym <= s.YMax) DiagramSymbol(n, xm, ym);
    }
    if (xm > s.XMax - step) break;
  }
}

void DiagramVerticalMarker(std::string_view text, Real x, Real y) {
  DiagramVerticalMarkerLegs(x, y);
  DiagramVerticalMarkerLabel(text, x, y);
}

void DiagramVerticalMarkerLegs(Real x, Real y) {
  CadScreenLineStyle(3);
  DiagramMoveTo(x, 0);
  DiagramLineTo(x, y);
  DiagramLineTo(0, y);
}

void DiagramVerticalMarkerLabel(std::string_view text, Real x, Real y) {
  const auto& s = gState;
  // Never left of the plot.
  CadTextStyle(2, 0, 0.021L * s.PlotHeight, 0.016L * s.PlotWidth);
  const Real h = Cad().CadTextHeight, w = CadSettings().CadTextFactor;
  const Real centred =
      (DiagramMapX(x) + s.XMin + s.PlotOriginX) / 2 - 0.5L * static_cast<Real>(text.size()) * h * w;
  DiagramPlaceLabelAt(text, std::max(centred, s.PlotOriginX + h * w), DiagramMapY(y + 0.01L * s.YSpan));
}

// Axis-limits dialog.

std::array<std::string, 4> DiagramLimitsInitialTexts() {
  return {FloatToStrSig(gLimits.xmin), FloatToStrSig(gLimits.ymin), FloatToStrSig(gLimits.xmax),
          FloatToStrSig(gLimits.ymax)};
}

std::array<std::string, 4> DiagramLimitsCalculatedTexts(const DiagramLimitsRequest& request) {
  const auto m = request.axisMode;
  const bool xLog = m == 3 || m == 4, yLog = m == 2 || m == 3;
  std::array<std::string, 4> t;
  for (int k = 0; k < 4; ++k) {
    const bool log = (k % 2 == 0) ? xLog : yLog;
    const Real v = request.computed[static_cast<std::size_t>(k)];
    t[static_cast<std::size_t>(k)] = FloatToStrSig(log ? Pow10Ext(v) : v);
  }
  return t;
}

bool DiagramLimitsAccept(const std::array<std::string, 4>& edits, std::uint16_t axisMode) {
  const Real x0 = TextToFloat(edits[0]), y0 = TextToFloat(edits[1]);
  const Real x1 = TextToFloat(edits[2]), y1 = TextToFloat(edits[3]);
  const std::string caption = OemToAnsiStr(G().ProgramTitle);
  if ((axisMode == 3 || axisMode == 4) && !(x0 > 0 && x1 > 0)) {
    Ui().MessageBox(caption, "Error: x = 0 !");
    return false;
  }
  if ((axisMode == 2 || axisMode == 3) && !(y0 > 0 && y1 > 0)) {
    Ui().MessageBox(caption, "Error: y = 0 !");
    return false;
  }
  gLimits = DiagramLimitsRecord{x0, y0, x1, y1};
  return true;
}

void ScriptedDiagramLimitsDialog::Ok(std::array<std::string, 4> edits) {
  answers_.push_back(Answer{Answer::OkTexts, std::move(edits)});
}
void ScriptedDiagramLimitsDialog::CalculateOk() { answers_.push_back(Answer{Answer::CalcOk, {}}); }
void ScriptedDiagramLimitsDialog::Cancel() { answers_.push_back(Answer{Answer::CancelForm, {}}); }
void ScriptedDiagramLimitsDialog::CloseWindow() { answers_.push_back(Answer{Answer::Close, {}}); }

void ScriptedDiagramLimitsDialog::Run(const DiagramLimitsRequest& request) {
  shown_.push_back(request);
  lastEdits_ = DiagramLimitsInitialTexts();
  while (true) {
    if (answers_.empty()) {
      G().AbortFlag = 1;
      return;
    }
    Answer a = std::move(answers_.front());
    answers_.pop_front();
    switch (a.kind) {
      case Answer::CancelForm: G().AbortFlag = 1; return;
      case Answer::Close: return;
      case Answer::CalcOk: lastEdits_ = DiagramLimitsCalculatedTexts(request); break;
      case Answer::OkTexts: lastEdits_ = a.edits; break;
    }
    if (DiagramLimitsAccept(lastEdits_, request.axisMode)) return;
  }
}

DiagramLimitsDialog& DiagramLimitsForm() {
  if (!gDialog) gDialog = std::make_shared<ScriptedDiagramLimitsDialog>();
  return *gDialog;
}

void SetDiagramLimitsDialog(std::shared_ptr<DiagramLimitsDialog> dialog) { gDialog = std::move(dialog); }

// Text table.

DiagramTextTable::DiagramTextTable(Real x, Real y, Real h, const std::array<Real, 7>& widths,
                                   const std::array<std::string_view, 7>& headers, Real rowHeight) {
  rowCounter_ = 0;
  firstColumn_ = 1;
  h_ = h;
  rowHeight_ = rowHeight > 0 ? rowHeight : 2 * h;
  topY_ = y;
  rowBottom_ = y - rowHeight_;
  textBaseline_ = rowBottom_ + (rowHeight_ - h) / 2;
  columnX_[1] = x;
  for (int k = 1; k <= 7; ++k) columnX_[static_cast<std::size_t>(k + 1)] = columnX_[static_cast<std::size_t>(k)] + 0.9L * h * widths[static_cast<std::size_t>(k - 1)];
  boundaryCount_ = 8;
  for (int k = 2; k <= 7; ++k) {
    if (columnX_[static_cast<std::size_t>(k)] == columnX_[static_cast<std::size_t>(k - 1)]) {
      boundaryCount_ = k - 1;
      break;
    }
  }
  SetCells(headers);
  rowLines_ = 1;
  columnLines_ = 1;

  const Real xn = columnX_[static_cast<std::size_t>(boundaryCount_)];
  gLabels.push_back({columnX_[1], y - rowHeight_, xn, y});
  CadSetLayer(17);
  CadRectangle(columnX_[1], y, xn, y - rowHeight_);
  CadLine(columnX_[1], y - rowHeight_, columnX_[1], y);
  CadLine(xn, y - rowHeight_, xn, y);
  CadTextStyle(2, 0, h, 0.75L * h);
  DrawRowTexts(boundaryCount_);
}

void DiagramTextTable::SetCells(const std::array<std::string_view, 7>& cells) {
  for (int k = 1; k <= 7; ++k) cells_[static_cast<std::size_t>(k)] = Cut80(cells[static_cast<std::size_t>(k - 1)]);
}

void DiagramTextTable::DrawRowTexts(int last) {
  CadSetLayer(18);
  const Real cw = Cad().CadTextHeight * Cad().CadTextWidthFactor;
  for (int k = 1; k <= boundaryCount_ - 1; ++k) {
    // Each text within its cell (a joined one within the row): a number
    // too wide for it written shorter, a text without the blank before it
    // where that is enough, else narrower.
    const Real x = columnX_[static_cast<std::size_t>(k)];
    const Real room = columnX_[static_cast<std::size_t>(k >= last ? boundaryCount_ : k + 1)] - x;
    std::string text = CadFitNumberText(" " + cells_[static_cast<std::size_t>(k)], cw > 0 ? room / cw : room);
    auto shown = [&text] { return static_cast<Real>(text.find_last_not_of(' ') + 1); };
    const auto over = [&] { return cw > 0 && shown() * cw > room + 1e-6L * cw; };
    if (over() && text.size() > 1 && text[0] == ' ') text.erase(0, 1);
    if (over())
      CadTextWhole(text, x, textBaseline_, room);
    else
      CadText(text, x, textBaseline_);
  }
  rowBottom_ -= rowHeight_;
  textBaseline_ -= rowHeight_;
}

void DiagramTextTable::AddRow(const std::array<std::string_view, 7>& cells) { AddRowJoined(cells, boundaryCount_); }

void DiagramTextTable::AddRowJoined(const std::array<std::string_view, 7>& cells, int last) {
  SetCells(cells);
  const Real x1 = columnX_[1], xn = columnX_[static_cast<std::size_t>(boundaryCount_)];
  gLabels.push_back({x1, rowBottom_, xn, rowBottom_ + rowHeight_});
  CadSetLayer(17);
  if (rowLines_) CadLine(x1, rowBottom_, xn, rowBottom_);
  for (int k = 1; k <= boundaryCount_; ++k) {
    if ((columnLines_ && k <= last) || k == 1 || k == boundaryCount_) {
      const Real xk = columnX_[static_cast<std::size_t>(k)];
      CadLine(xk, rowBottom_, xk, rowBottom_ + rowHeight_);
    }
  }
  DrawRowTexts(last);
}

void DiagramTextTable::AddRow4(std::string_view c1, std::string_view c2, std::string_view c3, std::string_view c4) {
  AddRow({c1, c2, c3, c4, {}, {}, {}});
}

void DiagramTextTable::AddMarkRow(std::string_view text, int n) {
  std::array<std::string_view, 7> cells{text, {}, {}, {}, {}, {}, {}};
  if (n >= 1 && n <= 4) cells[static_cast<std::size_t>(n)] = "X";
  AddRow(cells);
}

// Annotation blocks.

std::string DiagramTitleLine() { return gData.DrawingName + "  " + gData.DrawingNo + "  " + gData.DrawingName2; }

void DiagramTitleBlock() {
  CadSetLayer(19);
  CadTextStyle(2, 0, 2.2L, 1.7L);
  // Top right of the sheet, above the plot titles and the data blocks (which
  // start below y 106) and right of the axis labels.
  // Each line whole between x 80 and the sheet's right edge, the title
  // line of name, number and second name on two where it needs them.
  CadMoveTo(kTitleBlockX, 117.5L);
  const Real width = Cad().CadExtents[1] - 1 - kTitleBlockX;
  // A title line too long for one line is written smaller (down to 1.8
  // high), so that the block keeps its three lines, above the plots'
  // titles and arrows.
  const std::string line = DiagramTitleLine();
  if (CadLayoutText(line, width, 1).cut) {
    const Real shown = static_cast<Real>(std::max<std::size_t>(1, line.find_last_not_of(' ') + 1));
    const Real h = std::clamp(width / (shown * kCadNarrowestWidthFactor) - 0.01L, 1.8L, 2.2L);
    CadTextStyle(2, 0, h, h * 1.7L / 2.2L);
  }
  CadTextLineWhole(line, width, 2);
  CadTextLineWhole(G().TitleBlockLines[2], width);
  CadTextLineWhole(G().TitleBlockLines[3], width);
  const CadState& st = Cad();
  gTitleBlockBottom = st.CadCurrentPoint.y + (1.6L * st.CadLineSpacing - 0.3L) * st.CadTextHeight;
}

void DiagramTitleTable(Real x, Real y, Real h) {
  const auto& t = G().TitleBlockLines;
  DiagramTextTable table(x, y, h, {60, 0, 0, 0, 0, 0, 0}, {t[1], {}, {}, {}, {}, {}, {}});
  table.AddRow({t[2], {}, {}, {}, {}, {}, {}});
  table.AddRow({t[3], {}, {}, {}, {}, {}, {}});
}

void DiagramHeaderLine() {
  CadSetLayer(19);
  CadTextStyle(0, 0, 1.5L, 1.0L);
  CadTextWhole(DiagramTitleLine(), 1.0L, 117.8L, Cad().CadExtents[1] - 2);
}

namespace {

const char* const kSectionNames[8] = {"", "rund", "elliptisch", "quadratisch", "rechteckig", "oval",
                                      "rechteckig + r", "rund, hohl"};

std::string LengthText(Real v, bool withTolerance) {
  std::string s = FormatLength(v);
  if (withTolerance) s += FormatLengthTolerancePair(-gData.TolWire, gData.TolWire);
  return s + " " + LengthUnitName();
}

}  // namespace

std::vector<std::string> DiagramWireSectionLines(bool withTolerance) {
  const auto& d = gData;
  const int code = d.CrossSection;
  std::vector<std::string> lines;
  if (code == 2 || code == 3 || code == 4 || code == 5 || code == 7) {
    lines.emplace_back(kSectionNames[code]);
  } else if (code == 6) {
    lines.push_back(std::string(kSectionNames[6]) + " " + FormatLength(d.r) + " " + LengthUnitName());
  }
  switch (code) {
    case 3: lines.push_back("a = " + LengthText(d.d, withTolerance)); break;
    case 2:
    case 4:
    case 5:
    case 6:
      lines.push_back("b = " + LengthText(d.d, withTolerance));
      lines.push_back("h = " + LengthText(d.h, withTolerance));
      break;
    case 7:
      lines.push_back("d = " + LengthText(d.d, withTolerance));
      lines.push_back("di = " + LengthText(d.di, false));
      break;
    default: lines.push_back("d = " + LengthText(d.d, withTolerance)); break;
  }
  return lines;
}

void DiagramWireSectionText(bool withTolerance) {
  for (const std::string& line : DiagramWireSectionLines(withTolerance)) CadTextLine(line);
}

void DiagramMaterialText() {
  const auto& d = gData;
  CadTextLine(DiagramTitleLine());
  CadTextLine(G().TitleBlockLines[2]);
  CadTextLine(G().TitleBlockLines[3]);
  CadTextLine(" ");
  // The table record's name, its designation in brackets where it has one.
  std::string material = d.MaterialName;
  if (d.MaterialSel == 0 && !TrimBlanks(d.MaterialRecordName1).empty()) {
    material = TrimBlanks(d.MaterialRecordName1);
    if (const std::string designation = TrimBlanks(d.MaterialRecordName3); !designation.empty())
      material += " (" + designation + ")";
  }
  material += " ";
  material += d.ShotPeened == 'N' ? "nicht kugelgestrahlt" : "kugelgestrahlt";
  CadTextLine(material);
  CadTextLine("Rm = " + FormatStressDec(0, d.Rm) + " " + StressUnitName());
  CadTextLine("E = " + FormatStressDec(0, d.E) + " " + StressUnitName());
  CadTextLine("G = " + FormatStressDec(0, d.G) + " " + StressUnitName());
  if (std::fabs(d.T - 20) >= 1e-5L) {
    const std::string t = FormatTemperatureDec(0, d.T);
    CadTextLine("T = " + t + " " + TemperatureUnitName());
    CadTextLine("G(" + t + ") = " + FormatStressDec(0, d.GT) + " " + StressUnitName());
  }
  CadTextLine("rho = " + FloatToStrSig(d.rho) + " " + DensityUnitName());
}

}  // namespace zeb
