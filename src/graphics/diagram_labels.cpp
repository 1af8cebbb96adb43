#include "graphics/diagram_labels.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <unordered_map>
#include <string>
#include <vector>

#include "base/mathx.h"
#include "base/vector2d.h"
#include "graphics/cad.h"
#include "graphics/diagram.h"

namespace zeb {

namespace diagram_detail {

namespace {

// Sheet boxes (x1, y1, x2, y2) of the labels placed in the current plot,
// found by where they lie: a grid of cells of a few text heights, each
// with the boxes that reach into it (a box over very many cells, or not
// finite, in a list tried always).
class LabelGrid {
 public:
  void Clear() {
    boxes_.clear();
    cells_.clear();
    wide_.clear();
    seen_.clear();
    indexed_ = 0;
    size_ = 0;
  }
  void Add(const std::array<Real, 4>& b) { boxes_.push_back(b); }
  // Whether f(box) holds for a box whose bounds meet the rectangle. The
  // first few boxes of a plot are tried one by one: the grid pays only for
  // many.
  template <typename F>
  bool Any(Real x0, Real y0, Real x1, Real y1, F&& f) {
    long i0, i1, j0, j1;
    if (boxes_.size() <= kScanned || !Update() || !Cells(x0, y0, x1, y1, i0, i1, j0, j1) ||
        (i1 - i0 + 1) * (j1 - j0 + 1) > 4 * kMostCells) {
      for (const auto& b : boxes_)
        if (f(b)) return true;
      return false;
    }
    for (const std::uint32_t k : wide_)
      if (f(boxes_[k])) return true;
    if (++stamp_ == 0) {
      std::fill(seen_.begin(), seen_.end(), 0);
      stamp_ = 1;
    }
    for (long i = i0; i <= i1; ++i)
      for (long j = j0; j <= j1; ++j) {
        const auto it = cells_.find(Key(i, j));
        if (it == cells_.end()) continue;
        for (const std::uint32_t k : it->second) {
          if (seen_[k] == stamp_) continue;
          seen_[k] = stamp_;
          if (f(boxes_[k])) return true;
        }
      }
    return false;
  }

 private:
  static constexpr std::size_t kScanned = 32;
  static constexpr long kMostCells = 64;
  static std::uint64_t Key(long i, long j) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(i)) << 32) | static_cast<std::uint32_t>(j);
  }
  // The cells the rectangle reaches into; false when its bounds are not
  // finite or far off.
  bool Cells(Real x0, Real y0, Real x1, Real y1, long& i0, long& i1, long& j0, long& j1) const {
    constexpr Real kFar = 1e6L;
    if (!(std::fabs(x0) < kFar && std::fabs(x1) < kFar && std::fabs(y0) < kFar && std::fabs(y1) < kFar)) return false;
    i0 = std::lround(std::floor(std::min(x0, x1) / size_)), i1 = std::lround(std::floor(std::max(x0, x1) / size_));
    j0 = std::lround(std::floor(std::min(y0, y1) / size_)), j1 = std::lround(std::floor(std::max(y0, y1) / size_));
    return true;
  }
  // The boxes added since into their cells (cells of four times the
  // median box height); false when the boxes have no height to go by.
  bool Update() {
    if (!(size_ > 0)) {
      std::vector<Real> heights;
      for (const auto& b : boxes_)
        if (b[3] - b[1] > 0 && std::isfinite(b[3] - b[1])) heights.push_back(b[3] - b[1]);
      if (heights.empty()) return false;
      std::nth_element(heights.begin(), heights.begin() + static_cast<std::ptrdiff_t>(heights.size() / 2), heights.end());
      size_ = 4 * heights[heights.size() / 2];
    }
    seen_.resize(boxes_.size(), 0);
    for (; indexed_ < boxes_.size(); ++indexed_) {
      const auto& b = boxes_[indexed_];
      const auto k = static_cast<std::uint32_t>(indexed_);
      long i0, i1, j0, j1;
      if (!Cells(b[0], b[1], b[2], b[3], i0, i1, j0, j1) || (i1 - i0 + 1) * (j1 - j0 + 1) > kMostCells) {
        wide_.push_back(k);
        continue;
      }
      for (long i = i0; i <= i1; ++i)
        for (long j = j0; j <= j1; ++j) cells_[Key(i, j)].push_back(k);
    }
    return true;
  }

  std::vector<std::array<Real, 4>> boxes_;
  std::unordered_map<std::uint64_t, std::vector<std::uint32_t>> cells_;
  std::vector<std::uint32_t> wide_, seen_;
  std::uint32_t stamp_ = 0;
  std::size_t indexed_ = 0;
  Real size_ = 0;
};
LabelGrid gLabels;

// Sheet segments (x1, y1, x2, y2) of the lines of the current plot that a
// label must not cross: axes, arrows, ticks, the plot's border, curves and
// marks. The inner grid lines are not among them.
std::vector<std::array<Real, 4>> gLines;
bool gDrawingGrid = false;

// The plot's grid lines, which a label may cross but a leader must not
// run along: the upright ones by x and the level ones by y, each with its
// extent along, sorted when asked after a change.
struct GridLine {
  Real at, from, to;
  bool operator<(const GridLine& o) const { return at < o.at; }
};
struct GridLines {
  std::vector<GridLine> upright, level;
  bool sorted = true;
  void Clear() { upright.clear(), level.clear(), sorted = true; }
  void Note(Real x1, Real y1, Real x2, Real y2) {
    if (x1 == x2) upright.push_back({x1, std::min(y1, y2), std::max(y1, y2)}), sorted = false;
    else if (y1 == y2) level.push_back({y1, std::min(x1, x2), std::max(x1, x2)}), sorted = false;
  }
  void Sort() {
    if (sorted) return;
    std::sort(upright.begin(), upright.end());
    std::sort(level.begin(), level.end());
    sorted = true;
  }
} gGrid;

// The marks of the points of the current plot (sheet centre and radius)
// and the leaders drawn to their labels: a leader passes no mark but its
// own point's and crosses no other leader.
struct PointMark {
  Real x, y, r;
};
std::vector<PointMark> gMarks;
std::vector<std::array<Real, 4>> gLeaders;

// Texts noted with their outlines among the lines (titles, texts set along
// a curve): the origin, the direction's cosine and sine, the ink's extent
// along and the height. No label stands on one and no leader crosses one.
struct TurnedText {
  Real x, y, c, s, u0, u1, h;
  Real bx0, by0, bx1, by1;  // its bounds on the sheet
  // (Or passes within `margin` of its box.)
  bool Meets(const std::array<Real, 4>& seg, Real margin = 0) const {
    const Real m = margin;
    if (std::max(seg[0], seg[2]) < bx0 - m || std::min(seg[0], seg[2]) > bx1 + m ||
        std::max(seg[1], seg[3]) < by0 - m || std::min(seg[1], seg[3]) > by1 + m)
      return false;
    auto local = [&](Real px, Real py, Real& u, Real& v) {
      u = (px - x) * c + (py - y) * s;
      v = -(px - x) * s + (py - y) * c;
    };
    Real ua, va, ub, vb, t0, t1;
    local(seg[0], seg[1], ua, va);
    local(seg[2], seg[3], ub, vb);
    return SegmentPartInRect(ua, va, ub, vb, u0 - m, -m, u1 + m, h + m, t0, t1);
  }
  // Whether the text and the box overlap: apart when an axis of either
  // separates them.
  bool Overlaps(Real x0, Real y0, Real x1, Real y1) const {
    if (x1 <= bx0 || x0 >= bx1 || y1 <= by0 || y0 >= by1) return false;
    Real umin = 1e30L, umax = -1e30L, vmin = 1e30L, vmax = -1e30L;
    for (const Real px : {x0, x1})
      for (const Real py : {y0, y1}) {
        const Real u = (px - x) * c + (py - y) * s, v = -(px - x) * s + (py - y) * c;
        umin = std::min(umin, u), umax = std::max(umax, u), vmin = std::min(vmin, v), vmax = std::max(vmax, v);
      }
    if (umax <= u0 || umin >= u1 || vmax <= 0 || vmin >= h) return false;
    Real xmin = 1e30L, xmax = -1e30L, ymin = 1e30L, ymax = -1e30L;
    for (const Real u : {u0, u1})
      for (const Real v : {Real(0), h}) {
        const Real px = x + u * c - v * s, py = y + u * s + v * c;
        xmin = std::min(xmin, px), xmax = std::max(xmax, px), ymin = std::min(ymin, py), ymax = std::max(ymax, py);
      }
    return !(xmax <= x0 || xmin >= x1 || ymax <= y0 || ymin >= y1);
  }
};
std::vector<TurnedText> gTurnedTexts;

// What a leader keeps from another point's mark (sheet units).
constexpr Real kMarkClearance = 0.2L;

// A label may touch a line by this much (sheet units).
constexpr Real kLineHair = 0.05L;

void NoteCircle(Real x, Real y, Real r) {
  // An octagon around the circle.
  const Real a = r / std::cos(std::numbers::pi_v<Real> / 8);
  for (int k = 0; k < 8; ++k) {
    const Real t0 = std::numbers::pi_v<Real> / 4 * k, t1 = t0 + std::numbers::pi_v<Real> / 4;
    NoteLine(x + a * std::cos(t0), y + a * std::sin(t0), x + a * std::cos(t1), y + a * std::sin(t1));
  }
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
    first_.clear();
    entries_.clear();
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
    if (first_.empty()) return false;
    if (++stamp_ == 0) {
      std::fill(seen_.begin(), seen_.end(), 0);
      stamp_ = 1;
    }
    // The whole box: a line that meets the shrunk box lies well inside it.
    const int i0 = Column(x0), i1 = Column(x1), j0 = Row(y0), j1 = Row(y1);
    for (int i = i0; i <= i1; ++i)
      for (int j = j0; j <= j1; ++j)
        for (std::uint32_t e = first_[static_cast<std::size_t>(i * ny_ + j)]; e != kNone; e = entries_[e].next) {
          const std::uint32_t k = entries_[e].line;
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
  // In double: a long double to int conversion switches the x87 rounding
  // mode, twice for each (rounding keeps the slots in order).
  static int Slot(Real v, Real from, Real size, int n) {
    const double f = static_cast<double>((v - from) / size);
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
      first_.clear();
      entries_.clear();
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
      first_.assign(static_cast<std::size_t>(nx_ * ny_), kNone);
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
        for (int j = j0; j <= j1; ++j) {
          std::uint32_t& first = first_[static_cast<std::size_t>(i * ny_ + j)];
          entries_.push_back({k, first});
          first = static_cast<std::uint32_t>(entries_.size() - 1);
        }
    }
  }

  // The lines of each cell, a chain through entries_ from first_ (the
  // last noted first), all in two arrays.
  static constexpr std::uint32_t kNone = ~0u;
  struct Entry {
    std::uint32_t line, next;
  };
  std::vector<std::uint32_t> first_;
  std::vector<Entry> entries_;
  std::vector<std::uint32_t> wide_;
  std::vector<std::uint32_t> seen_;
  std::uint32_t stamp_ = 0;
  std::size_t indexed_ = 0;
  int asked_ = 0;
  int nx_ = 1, ny_ = 1;
  Real x0_ = 0, y0_ = 0, cw_ = 1, ch_ = 1;
};
LineGrid gLineGrid;

// Whether the box overlaps no label and no noted text (a noted text's
// outline is among the lines, but a box inside it is not free either).
bool ClearOfLabels(Real x0, Real y0, Real x1, Real y1) {
  if (gLabels.Any(x0, y0, x1, y1, [&](const std::array<Real, 4>& b) {
        return x0 < b[2] && b[0] < x1 && y0 < b[3] && b[1] < y1;
      }))
    return false;
  return std::none_of(gTurnedTexts.begin(), gTurnedTexts.end(),
                      [&](const TurnedText& t) { return t.Overlaps(x0, y0, x1, y1); });
}

bool BoxFree(Real x0, Real y0, Real x1, Real y1) {
  return ClearOfLabels(x0, y0, x1, y1) && !gLineGrid.AnyMeets(x0, y0, x1, y1);
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

// The leader from the mark towards (qx, qy) on the box's edge, ending a
// quarter text height short of it; false when (qx, qy) lies within `least`.
bool LeaderTowards(Real px, Real py, Real markRadius, Real h, Real qx, Real qy, Real least,
                   std::array<Real, 4>& leader) {
  const Real dist = std::hypot(qx - px, qy - py);
  if (!(dist > least) || !std::isfinite(dist)) return false;
  const Real ux = (qx - px) / dist, uy = (qy - py) / dist;
  const Real from = std::max<Real>(markRadius, 0), to = dist - 0.25L * h;
  if (!(to > from)) return false;
  leader = {px + ux * from, py + uy * from, px + ux * to, py + uy * to};
  return true;
}

// The leader from the mark of radius markRadius about (px, py) to the box
// of its label, ending a quarter text height short of the box; false when
// the box lies within `least` (about one text height) of the point (no
// leader).
bool LeaderOf(Real px, Real py, Real markRadius, Real h, const std::array<Real, 4>& box,
              std::array<Real, 4>& leader, Real least = -1) {
  return LeaderTowards(px, py, markRadius, h, std::clamp(px, box[0], box[2]), std::clamp(py, box[1], box[3]),
                       least < 0 ? 1.2L * h : least, leader);
}

// Whether the box stands nearer to the mark of another point than to the
// point (px, py).
bool NearerToAnotherMark(Real px, Real py, const std::array<Real, 4>& box) {
  const Real own = PointBoxDistance(px, py, box[0], box[1], box[2], box[3]);
  return std::any_of(gMarks.begin(), gMarks.end(), [&](const PointMark& m) {
    return std::hypot(m.x - px, m.y - py) > 1e-6L &&
           PointBoxDistance(m.x, m.y, box[0], box[1], box[2], box[3]) < own - 1e-6L;
  });
}

// Whether the leader runs along a line of the plot or of its grid: within a millimetre
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
  // The grid: an upright leader beside an upright grid line, a level one
  // beside a level line.
  gGrid.Sort();
  auto along = [&](const std::vector<GridLine>& lines, Real at0, Real at1, bool upright) {
    const auto first = std::lower_bound(lines.begin(), lines.end(), GridLine{std::min(at0, at1) - kNear, 0, 0});
    for (auto it = first; it != lines.end() && it->at <= std::max(at0, at1) + kNear; ++it) {
      const std::array<Real, 4> l = upright ? std::array<Real, 4>{it->at, it->from, it->at, it->to}
                                            : std::array<Real, 4>{it->from, it->at, it->to, it->at};
      if (SegmentPointDistance(l, leader[0], leader[1]) <= kNear && SegmentPointDistance(l, leader[2], leader[3]) <= kNear)
        return true;
    }
    return false;
  };
  if (std::fabs(dx) < kSinAngle * len && along(gGrid.upright, leader[0], leader[2], true)) return true;
  return std::fabs(dy) < kSinAngle * len && along(gGrid.level, leader[1], leader[3], false);
}

// Whether the leader crosses no label placed.
bool LeaderCrossesNoLabel(const std::array<Real, 4>& leader) {
  // Nor runs along one: a label's box widened by a fifth of its height
  // (its baseline, its ink's edges).
  for (const TurnedText& t : gTurnedTexts)
    if (t.Meets(leader, 0.2L * t.h)) return false;
  const Real m = 0.2L * Cad().CadTextHeight;
  return !gLabels.Any(std::min(leader[0], leader[2]) - m, std::min(leader[1], leader[3]) - m,
                      std::max(leader[0], leader[2]) + m, std::max(leader[1], leader[3]) + m,
                      [&](const std::array<Real, 4>& b) {
                        const Real w = 0.2L * (b[3] - b[1]);
                        return SegmentMeetsBox(leader, b[0] - w, b[1] - w, b[2] + w, b[3] + w);
                      });
}

// Whether the leader shows as one: it crosses no label (which would take
// it away) and runs along no line.
bool LeaderShows(const std::array<Real, 4>& leader) { return LeaderCrossesNoLabel(leader) && !RunsAlongALine(leader); }

// A leader that does not show (its label's place was the last resort) led
// instead to a corner or an edge's middle of the box, the shortest that
// shows; false when none does.
bool ShownLeaderOf(Real px, Real py, Real markRadius, Real h, const std::array<Real, 4>& box,
                   std::array<Real, 4>& leader) {
  bool found = false;
  Real best = 0;
  const Real xm = (box[0] + box[2]) / 2, ym = (box[1] + box[3]) / 2;
  const Real targets[8][2] = {{box[0], box[1]}, {box[2], box[1]}, {box[2], box[3]}, {box[0], box[3]},
                              {xm, box[1]},     {box[2], ym},     {xm, box[3]},     {box[0], ym}};
  for (const auto& q : targets) {
    const Real dist = std::hypot(q[0] - px, q[1] - py);
    std::array<Real, 4> l;
    if ((found && dist >= best) || !LeaderTowards(px, py, markRadius, h, q[0], q[1], 1.2L * h, l) || !LeaderShows(l))
      continue;
    leader = l, best = dist, found = true;
  }
  return found;
}

// A leader from the point (px, py) with a mark of markRadius that crosses
// no label, no other leader, passes no other point's mark (a mark that
// overlaps the point's own counts as its own) and runs along no line.
bool LeaderFree(const std::array<Real, 4>& leader, Real px, Real py, Real markRadius) {
  if (!LeaderShows(leader)) return false;
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

// A free place for a box w x h near (sx, sy) where also(x, y) holds too,
// (x, y) its lower left corner, into `at`: first the preferred place moved
// up or down by whole steps of stepY (up to four each way), then places
// moved sideways by whole steps of stepX as well, nearest first. A box
// whose preferred corner lies in the plot stays in the plot. False when
// none is free.
template <typename Fits>
bool SearchPlace(Real sx, Real sy, Real stepX, Real stepY, Fits&& fits, std::array<Real, 2>& at) {
  bool found = false;
  for (int k = 0; k <= 8 && !found; ++k) {
    const Real y = sy + (k % 2 ? 1 : -1) * stepY * static_cast<Real>((k + 1) / 2);
    if (fits(sx, y)) at = {sx, y}, found = true;
  }
  if (!found && stepX > 0 && stepY > 0 && std::isfinite(stepX) && std::isfinite(stepY)) {
    const int nx = static_cast<int>(std::min<Real>(200, std::ceil(DiagramState().PlotWidth / stepX)));
    const int ny = static_cast<int>(std::min<Real>(100, std::ceil(DiagramState().PlotHeight / stepY)));
    int i = 0, j = 0;
    found = CheapestFit(
        nx, ny, stepX, stepY, [](int, int, Real r) { return r; }, [](Real r) { return r; },
        [&](int a, int b) { return a != 0 && fits(sx + a * stepX, sy + b * stepY); }, i, j);
    if (found) at = {sx + i * stepX, sy + j * stepY};
  }
  return found;
}

template <typename Also>
bool FreePlace(Real sx, Real sy, Real w, Real h, Real stepX, Real stepY, Also&& also, std::array<Real, 2>& at) {
  const auto place = PlaceTest(sx, sy, w, h);
  return SearchPlace(sx, sy, stepX, stepY, [&](Real x, Real y) { return place(x, y) && also(x, y); }, at);
}

// Whether the box covers no point's mark, no label and no turned text:
// lines through it are broken at its texts, a mark is drawn whole.
bool ClearOfMarksAndLabels(Real x0, Real y0, Real x1, Real y1) {
  return ClearOfLabels(x0, y0, x1, y1) && std::none_of(gMarks.begin(), gMarks.end(), [&](const PointMark& m) {
    return PointBoxDistance(m.x, m.y, x0, y0, x1, y1) < m.r + kMarkClearance;
  });
}

// A free place for a box w x h near (sx, sy), its lower left corner:
// FreePlace's (*free says so), else the nearest place, searched alike,
// that covers no mark and no label, else the preferred place. The box is
// taken.
std::array<Real, 2> ReservePlace(Real sx, Real sy, Real w, Real h, Real stepX, Real stepY, bool* free) {
  std::array<Real, 2> at{sx, sy};
  const bool found = FreePlace(sx, sy, w, h, stepX, stepY, [](Real, Real) { return true; }, at);
  if (free != nullptr) *free = found;
  if (!found) {
    const auto plot = PlotBox();
    const bool inPlot = PointInRect(sx, sy, plot[0], plot[1], plot[2], plot[3]);
    auto clear = [&](Real x, Real y) {
      if (inPlot && (x < plot[0] || y < plot[1] || x + w > plot[2] || y + h > plot[3])) return false;
      return OnSheet(x, y, x + w, y + h) && ClearOfMarksAndLabels(x, y, x + w, y + h);
    };
    if (!SearchPlace(sx, sy, stepX, stepY, clear, at)) {
      at = {sx, sy};
      KeepOnSheet(at, w, h, inPlot);
    }
  }
  gLabels.Add({at[0], at[1], at[0] + w, at[1] + h});
  return at;
}

// Whether the point lies inside the polygon (its edges x1, y1, x2, y2).
bool InPolygon(const std::vector<std::array<Real, 4>>& edges, Real x, Real y) {
  bool in = false;
  for (const auto& e : edges)
    if ((e[1] > y) != (e[3] > y) && x < e[0] + (y - e[1]) / (e[3] - e[1]) * (e[2] - e[0])) in = !in;
  return in;
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
  // line. Where no place is free so, one whose leader at least shows
  // (crosses no label, which would take it away, and runs along no line)
  // and that stands nearer to its own point; then one whose leader shows;
  // last a place that is free itself.
  int level = 0;
  auto fits = [&](Real x, Real y) {
    if (!place(x, y)) return false;
    if (level >= 3) return true;
    std::array<Real, 4> leader;
    if (LeaderOf(px, py, markRadius, h, {x, y, x + w, y + h}, leader) &&
        !(level == 0 ? LeaderFree(leader, px, py, markRadius) : LeaderShows(leader)))
      return false;
    if (level >= 2) return true;
    // A label this near its point (its mark and one and a half heights)
    // reads as that point's, leader or not.
    const Real own = PointBoxDistance(px, py, x, y, x + w, y + h);
    return own > std::max<Real>(markRadius, 0) + 1.5L * h || !NearerToAnotherMark(px, py, {x, y, x + w, y + h});
  };
  std::array<Real, 2> at{sx, sy};
  bool found = fits(sx, sy);
  for (int pass = 0; pass < 4 && !found && stepX > 0 && stepY > 0 && std::isfinite(stepX) && std::isfinite(stepY);
       ++pass) {
    level = pass;
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
  gLabels.Add({at[0], at[1], at[0] + w, at[1] + h});
  return at;
}
}  // namespace

Real InkWidest(const std::vector<std::string>& lines) {
  Real widest = 0;
  for (const std::string& l : lines) {
    Real from, to;
    CadTextInk(l, from, to);
    widest = std::max(widest, to);
  }
  return widest;
}

void ClearPlotNotes() {
  gLabels.Clear();
  gLines.clear();
  gLineGrid.Clear();
  gMarks.clear();
  gLeaders.clear();
  gGrid.Clear();
  gTurnedTexts.clear();
}

void NoteGridLines(bool on) { gDrawingGrid = on; }

void NoteLine(Real x1, Real y1, Real x2, Real y2) {
  if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2)) return;
  if (gDrawingGrid) return gGrid.Note(x1, y1, x2, y2);
  gLines.push_back({x1, y1, x2, y2});
}

void NoteRectangle(Real x1, Real y1, Real x2, Real y2) {
  NoteLine(x1, y1, x2, y1);
  NoteLine(x2, y1, x2, y2);
  NoteLine(x2, y2, x1, y2);
  NoteLine(x1, y2, x1, y1);
}

void NoteMark(Real x, Real y, Real r) {
  NoteCircle(x, y, r);
  if (std::isfinite(x) && std::isfinite(y) && std::isfinite(r)) gMarks.push_back({x, y, r});
}

void NoteLabel(Real x0, Real y0, Real x1, Real y1) { gLabels.Add({x0, y0, x1, y1}); }

std::array<Real, 4> PlotBox() {
  const auto& s = DiagramState();
  return {s.PlotOriginX, s.PlotOriginY, s.PlotOriginX + s.PlotWidth, s.PlotOriginY + s.PlotHeight};
}

void PlaceLineLabelAt(std::string_view text, const std::vector<std::array<Real, 2>>& points, Real x, Real y) {
  const Real h = Cad().CadTextHeight, cw = h * Cad().CadTextWidthFactor;
  Real off, to;
  CadTextInk(text, off, to);
  const Real w = to - off;
  const Real sx = x + off, sy = y;
  // A line of one point is a segment of length 0.
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
    gLabels.Add({bx, by, bx + w, by + h});
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

// The least height a region's label takes to stand in its region: the
// sheets' print minimum.
constexpr Real kRegionLabelLeast = 1;

void PlaceRegionLabelAt(std::string_view text, const std::vector<std::array<Real, 2>>& region, Real x, Real y) {
  const Real h = Cad().CadTextHeight, cw = h * Cad().CadTextWidthFactor;
  Real from, to;
  CadTextInk(text, from, to);
  const Real w = to - from;
  std::vector<std::array<Real, 4>> edges;
  for (std::size_t k = 0; k < region.size(); ++k) {
    const auto& a = region[k];
    const auto& b = region[(k + 1) % region.size()];
    if (std::isfinite(a[0]) && std::isfinite(a[1]) && std::isfinite(b[0]) && std::isfinite(b[1]))
      edges.push_back({a[0], a[1], b[0], b[1]});
  }
  if (edges.size() < 3 || !(w > 0) || !(cw > 0)) return DiagramPlaceLabelAt(text, x, y);
  // The whole box bw x bh in the region: its corners inside, no edge
  // through it.
  auto holds = [&](Real bw, Real bh) {
    return [&edges, bw, bh](Real bx, Real by) {
      for (const Real cx : {bx, bx + bw})
        for (const Real cy : {by, by + bh})
          if (!InPolygon(edges, cx, cy)) return false;
      for (const auto& e : edges)
        if (SegmentMeetsBox(e, bx, by, bx + bw, by + bh)) return false;
      return true;
    };
  };
  std::array<Real, 2> at{x + from, y};
  if (FreePlace(x + from, y, w, h, cw, 1.2L * h, holds(w, h), at)) {
    gLabels.Add({at[0], at[1], at[0] + w, at[1] + h});
    CadText(text, at[0] - from, at[1]);
    return;
  }
  // A narrow region (the thin strip of a slender spring's plot): the label
  // lower, down to the print minimum, flat or turned upright, its ink
  // upwards from the lower end of its box and its baseline on the box's
  // right edge.
  const CadState& st = Cad();
  const int font = st.CadTextFont;
  const Real angle = st.CadTextAngle, width = st.CadTextWidth;
  for (Real k = 1; h * k >= kRegionLabelLeast; k *= 0.85L) {
    const Real hk = h * k, wk = w * k, fk = from * k;
    for (const bool turned : {false, true}) {
      if (!turned && k == 1) continue;
      const Real bw = turned ? hk : wk, bh = turned ? wk : hk;
      at = {x + (turned ? 0 : fk), y};
      if (!FreePlace(at[0], at[1], bw, bh, cw * k, 1.2L * hk, holds(bw, bh), at)) continue;
      gLabels.Add({at[0], at[1], at[0] + bw, at[1] + bh});
      CadTextStyle(font, turned ? angle + 90 : angle, hk, width * k);
      if (turned)
        CadText(text, at[0] + bw, at[1] - fk);
      else
        CadText(text, at[0] - fk, at[1]);
      CadTextStyle(font, angle, h, width);
      return;
    }
  }
  // Too small a region: the label led to the point of the region in the
  // plot farthest from its edges.
  const auto plot = PlotBox();
  constexpr int kSteps = 32;
  Real best = 0, px = 0, py = 0;
  for (int i = 0; i < kSteps; ++i)
    for (int j = 0; j < kSteps; ++j) {
      const Real qx = plot[0] + (i + 0.5L) / kSteps * (plot[2] - plot[0]);
      const Real qy = plot[1] + (j + 0.5L) / kSteps * (plot[3] - plot[1]);
      if (!InPolygon(edges, qx, qy)) continue;
      Real d = std::min({qx - plot[0], plot[2] - qx, qy - plot[1], plot[3] - qy});
      for (const auto& e : edges) d = std::min(d, SegmentPointDistance(e, qx, qy));
      if (d > best) best = d, px = qx, py = qy;
    }
  if (!(best > 0)) return DiagramPlaceLabelAt(text, x, y);
  // The free place nearest to the one asked for that a free leader from
  // there reaches (it stands apart from the point, clearly led).
  std::array<Real, 2> near{x + from, y};
  std::array<Real, 4> leader{};
  auto led = [&](Real bx, Real by) {
    return PointBoxDistance(px, py, bx, by, bx + w, by + h) >= 1.5L * h &&
           LeaderOf(px, py, 0, h, {bx, by, bx + w, by + h}, leader) && LeaderFree(leader, px, py, 0);
  };
  if (!FreePlace(x + from, y, w, h, cw, 1.2L * h, led, near)) return DiagramPlaceLabelAt(text, x, y);
  LeaderOf(px, py, 0, h, {near[0], near[1], near[0] + w, near[1] + h}, leader);
  gLabels.Add({near[0], near[1], near[0] + w, near[1] + h});
  CadText(text, near[0] - from, near[1]);
  NoteLine(leader[0], leader[1], leader[2], leader[3]);
  gLeaders.push_back(leader);
  CadLine(leader[0], leader[1], leader[2], leader[3]);
}

}  // namespace diagram_detail

using namespace diagram_detail;

void DiagramPlaceLabelAt(std::string_view text, Real sx, Real sy) {
  const Real h = Cad().CadTextHeight, cw = h * Cad().CadTextWidthFactor;
  Real from, to;
  CadTextInk(text, from, to);
  const auto at = ReservePlace(sx + from, sy, to - from, h, cw, 1.2L * h, nullptr);
  CadText(text, at[0] - from, at[1]);
}

void DiagramPlaceTextLines(const std::vector<std::string>& lines, Real sx, Real sy) {
  if (lines.empty()) return;
  const Real h = Cad().CadTextHeight, cw = h * Cad().CadTextWidthFactor;
  const Real step = 1.6L * h * Cad().CadLineSpacing, n = static_cast<Real>(lines.size());
  Real x = sx, y = sy - (n - 1) * step;
  DiagramPlaceBox(InkWidest(lines), (n - 1) * step + h, cw, x, y);
  CadMoveTo(x, y + (n - 1) * step);
  for (const std::string& l : lines) CadTextLine(l);
}

bool DiagramPlaceBox(Real w, Real h, Real step, Real& sx, Real& sy) {
  bool free = false;
  const auto at = ReservePlace(sx, sy, w, h, step, step, &free);
  sx = at[0];
  sy = at[1];
  return free;
}

void DiagramNoteText(std::string_view text, Real sx, Real sy) {
  const Real h = Cad().CadTextHeight;
  Real u0, u1;
  CadTextInk(text, u0, u1);
  const Real a = Cad().CadTextAngle * std::numbers::pi_v<Real> / 180, c = std::cos(a), sn = std::sin(a);
  const Real xs[4] = {sx + u0 * c, sx + u1 * c, sx + u1 * c - h * sn, sx + u0 * c - h * sn};
  const Real ys[4] = {sy + u0 * sn, sy + u1 * sn, sy + u1 * sn + h * c, sy + u0 * sn + h * c};
  for (int k = 0; k < 4; ++k) NoteLine(xs[k], ys[k], xs[(k + 1) % 4], ys[(k + 1) % 4]);
  if (std::isfinite(xs[0] + ys[0] + xs[2] + ys[2]))
    gTurnedTexts.push_back({sx, sy, c, sn, u0, u1, h, *std::min_element(xs, xs + 4), *std::min_element(ys, ys + 4),
                            *std::max_element(xs, xs + 4), *std::max_element(ys, ys + 4)});
}

bool DiagramTextFree(std::string_view text, Real sx, Real sy) {
  const Real h = Cad().CadTextHeight;
  Real u0, u1;
  CadTextInk(text, u0, u1);
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
  const Real bx0 = *std::min_element(xs, xs + 4), bx1 = *std::max_element(xs, xs + 4);
  const Real by0 = *std::min_element(ys, ys + 4), by1 = *std::max_element(ys, ys + 4);
  return !gLabels.Any(bx0, by0, bx1, by1, [&](const std::array<Real, 4>& b) {
    if (bx1 <= b[0] || bx0 >= b[2] || by1 <= b[1] || by0 >= b[3]) return false;
    Real umin = 1e30L, umax = -1e30L, vmin = 1e30L, vmax = -1e30L;
    for (const Real x : {b[0], b[2]})
      for (const Real y : {b[1], b[3]}) {
        Real u, v;
        local(x, y, u, v);
        umin = std::min(umin, u), umax = std::max(umax, u), vmin = std::min(vmin, v), vmax = std::max(vmax, v);
      }
    return !(umax <= u0 || umin >= u1 || vmax <= 0 || vmin >= h);
  });
}

void DiagramPlacePointLabelAt(std::string_view text, Real px, Real py, Real markRadius, Real sx, Real sy) {
  const Real h = Cad().CadTextHeight, cw = h * Cad().CadTextWidthFactor;
  // The box of the ink.
  Real off, to;
  CadTextInk(text, off, to);
  const Real w = to - off;
  const auto at = ReservePlaceNear(px, py, markRadius, sx + off, sy, w, h, cw / 2, h / 2);
  CadText(text, at[0] - off, at[1]);
  const std::array<Real, 4> box{at[0], at[1], at[0] + w, at[1] + h};
  std::array<Real, 4> leader;
  if (LeaderOf(px, py, markRadius, h, box, leader)) {
    if (!LeaderShows(leader)) ShownLeaderOf(px, py, markRadius, h, box, leader);
  } else {
    // A label nearer to another point's mark than to its own (a crowd's
    // last resort) is led from its own mark however near it stands.
    if (!NearerToAnotherMark(px, py, box) || !LeaderOf(px, py, markRadius, h, box, leader, 0)) return;
  }
  NoteLine(leader[0], leader[1], leader[2], leader[3]);
  gLeaders.push_back(leader);
  CadLine(leader[0], leader[1], leader[2], leader[3]);
}

}  // namespace zeb
