#include "graphics/text_cut.h"

#include <array>
#include <cmath>
#include <limits>
#include <optional>

#include "base/mathx.h"
#include "base/vector2d.h"

namespace zeb::cad_detail {

namespace {

// Drawing units a line may share with a text's box (as the writers round);
// share of its width at its end where the box, counted as wide as its
// widest characters, may well be empty; the gap a broken line keeps, in
// text heights.
constexpr Real kHair = 0.05L, kRimWidth = 0.075L, kGap = 0.25L;
// Drawing units of the shortest end piece kept; text heights of the
// shortest piece kept between two texts.
constexpr Real kMinPiece = 0.05L, kMinBetween = 0.8L;

// The bounds of the box's corners (u, v) on the sheet.
void SheetBounds(const TextBox& b, Real u0, Real v0, Real u1, Real v1, Real& x0, Real& y0, Real& x1, Real& y1) {
  if (b.upright) {  // most texts
    x0 = b.x + std::min(u0, u1), x1 = b.x + std::max(u0, u1);
    y0 = b.y + std::min(v0, v1), y1 = b.y + std::max(v0, v1);
    return;
  }
  x0 = y0 = 1e30L;
  x1 = y1 = -1e30L;
  for (Real u : {u0, u1})
    for (Real v : {v0, v1}) {
      const Real px = b.x + u * b.c - v * b.s, py = b.y + u * b.s + v * b.c;
      x0 = std::min(x0, px), x1 = std::max(x1, px);
      y0 = std::min(y0, py), y1 = std::max(y1, py);
    }
}

bool Inside(Real u, Real v, Real u0, Real v0, Real u1, Real v1) { return u >= u0 && u <= u1 && v >= v0 && v <= v1; }

// True when the segment (in the box's frame) crosses the core.
bool SegmentCrossesCore(const TextBox& b, Real pu, Real pv, Real qu, Real qv) {
  Real u0, v0, u1, v1, t0, t1;
  b.Core(u0, v0, u1, v1);
  // An end inside is a crossing (as the clipping finds, without its divisions).
  if (Inside(pu, pv, u0, v0, u1, v1) || Inside(qu, qv, u0, v0, u1, v1)) return true;
  return SegmentPartInRect(pu, pv, qu, qv, u0, v0, u1, v1, t0, t1);
}

// The part of the segment (in the box's frame) inside the widened box.
bool SegmentWidenedPart(const TextBox& b, Real pu, Real pv, Real qu, Real qv, Real& t0, Real& t1) {
  const Real g = b.Gap(), u0 = b.u0 - g, u1 = b.u1 + g, v0 = -g, v1 = b.h + g;
  // Both ends inside: all of it (as the clipping finds).
  if (Inside(pu, pv, u0, v0, u1, v1) && Inside(qu, qv, u0, v0, u1, v1)) {
    t0 = 0, t1 = 1;
    return true;
  }
  return SegmentPartInRect(pu, pv, qu, qv, u0, v0, u1, v1, t0, t1);
}

// True when the circle about (cu, cv) of radius r (in the box's frame)
// meets the core: its nearest point lies inside the circle, its farthest
// outside.
bool CircleMeetsCore(const TextBox& b, Real cu, Real cv, Real r) {
  Real u0, v0, u1, v1;
  b.Core(u0, v0, u1, v1);
  if (u1 < u0 || v1 < v0) return false;
  const Real nu = std::max({u0 - cu, cu - u1, Real(0)}), nv = std::max({v0 - cv, cv - v1, Real(0)});
  const Real fu = std::max(cu - u0, u1 - cu), fv = std::max(cv - v0, v1 - cv);
  return nu * nu + nv * nv <= r * r && fu * fu + fv * fv >= r * r;
}

// The cosine and sine of an angle in degrees; the last few are kept (arcs
// of a drawing share their angles).
void CosSinDeg(Real deg, Real& c, Real& s) {
  struct Kept {
    Real deg, c, s;
  };
  thread_local std::array<Kept, 4> kept{};
  thread_local std::size_t used = 0, next = 0;
  for (std::size_t i = 0; i < used; ++i)
    if (kept[i].deg == deg && std::signbit(kept[i].deg) == std::signbit(deg)) {
      c = kept[i].c, s = kept[i].s;
      return;
    }
  CosSinReduced(DegToRad(deg), c, s);
  kept[next] = {deg, c, s};
  next = (next + 1) % kept.size();
  used = std::max(used, next == 0 ? kept.size() : next);
}

// An arc seen without trigonometry: a direction on it is placed by its
// pseudo-angle (0 to 4 counter-clockwise from +x, growing with the angle),
// counted from the arc's start; its sweep likewise. Only the ends of the
// parts cut away are turned into degrees.
class ArcFrame {
 public:
  ArcFrame(Real x, Real y, Real r, Real startDeg, Real sweepDeg) : r_(r), start_(startDeg), sweep_(sweepDeg) {
    Real c, s;
    CosSinDeg(startDeg, c, s);
    sx_ = x + r * c, sy_ = y + r * s;
    pStart_ = Pseudo(c, s);
    if (sweepDeg >= 360) {
      pSweep_ = 4;
    } else {
      CosSinDeg(startDeg + sweepDeg, c, s);
      pSweep_ = Along(Pseudo(c, s));
      if (!(pSweep_ > 0)) pSweep_ = 4;
    }
  }
  Real r() const { return r_; }
  Real PseudoSweep() const { return pSweep_; }
  // Where the direction (dx, dy) from the centre lies along the arc.
  Real At(Real dx, Real dy) const {
    const Real q = Along(Pseudo(dx, dy));
    return q > 4 - 1e-12L ? 0 : q;  // the start, come round by rounding
  }
  // The start point in the frame of the box.
  void Start(const TextBox& b, Real& u, Real& v) const { b.ToLocal(sx_, sy_, u, v); }
  // A share of the pseudo sweep as a share of the sweep in degrees.
  Real TrueShare(Real share) const {
    if (share <= 0) return 0;
    if (share >= 1) return 1;
    Real p = pStart_ + share * pSweep_;
    if (p >= 4) p -= 4;
    Real dx, dy;
    if (p < 1) dx = 1 - p, dy = p;
    else if (p < 3) dy = 2 - p, dx = -(1 - std::fabs(dy));
    else dy = p - 4, dx = 1 - std::fabs(dy);
    Real deg = std::fmod(RadToDeg(std::atan2(dy, dx)) - start_, Real(360));
    if (deg < 0) deg += 360;
    return std::min<Real>(deg / sweep_, 1);
  }

 private:
  static Real Pseudo(Real dx, Real dy) {
    const Real sum = std::fabs(dx) + std::fabs(dy);
    if (!(sum > 0)) return 0;  // no direction (a crossing lost in rounding)
    const Real p = dy / sum;
    return dx < 0 ? 2 - p : dy < 0 ? 4 + p : p;
  }
  Real Along(Real p) const {
    const Real q = p - pStart_;
    return q < 0 ? q + 4 : q;
  }
  Real r_, start_, sweep_, sx_ = 0, sy_ = 0, pStart_ = 0, pSweep_ = 4;
};

// The parts of the arc inside the rectangle of the box's frame, as shares of
// its pseudo sweep: where it crosses the sides, entering or leaving as it
// runs counter-clockwise, from whether it starts inside.
void ArcPartsIn(const ArcFrame& arc, const TextBox& b, Real cu, Real cv, Real u0, Real v0, Real u1, Real v1,
                Intervals& out) {
  out.clear();
  struct Crossing {
    Real at;
    bool enters;
  };
  std::array<Crossing, 8> crossings{};
  std::size_t n = 0;
  const Real r = arc.r(), r2 = r * r;
  auto add = [&](Real pu, Real pv, bool enters) {
    const Real du = pu - cu, dv = pv - cv;
    crossings[n++] = {arc.At(du * b.c - dv * b.s, du * b.s + dv * b.c), enters};
  };
  for (const Real side : {u0, u1})
    if (const Real d = side - cu; d * d < r2) {
      const Real h = std::sqrt(r2 - d * d);
      for (const Real pv : {cv - h, cv + h})
        if (pv >= v0 && pv <= v1) add(side, pv, side == u0 ? pv < cv : pv > cv);
    }
  for (const Real side : {v0, v1})
    if (const Real d = side - cv; d * d < r2) {
      const Real h = std::sqrt(r2 - d * d);
      for (const Real pu : {cu - h, cu + h})
        if (pu >= u0 && pu <= u1) add(pu, side, side == v0 ? pu > cu : pu < cu);
    }
  // At a corner or a touch both come at once: entering first leaves an
  // empty part, not a false one.
  for (std::size_t i = 1; i < n; ++i)
    for (std::size_t k = i; k > 0; --k) {
      const Crossing &a = crossings[k - 1], &e = crossings[k];
      if (!(e.at < a.at || (e.at == a.at && e.enters && !a.enters))) break;
      std::swap(crossings[k - 1], crossings[k]);
    }
  Real su, sv;
  arc.Start(b, su, sv);
  bool inside = Inside(su, sv, u0, v0, u1, v1);
  const Real sweep = arc.PseudoSweep();
  Real from = 0;
  for (std::size_t i = 0; i < n && crossings[i].at <= sweep; ++i) {
    if (crossings[i].enters == inside) continue;
    inside = crossings[i].enters;
    if (inside) from = crossings[i].at;
    else if (crossings[i].at > from) out.emplace_back(from / sweep, crossings[i].at / sweep);
  }
  if (inside) out.emplace_back(from / sweep, 1);
}

// The cuts made so far, joined where they meet, in order.
class Covered {
 public:
  void Add(Real a, Real b) {
    auto at = std::lower_bound(parts_.begin(), parts_.end(), std::make_pair(a, b));
    at = parts_.insert(at, {a, b});
    if (at != parts_.begin() && std::prev(at)->second >= a) --at;
    auto next = std::next(at);
    while (next != parts_.end() && next->first <= at->second) {
      at->second = std::max(at->second, next->second);
      next = parts_.erase(next);
    }
  }
  // True when [a, b] is cut already.
  bool Holds(Real a, Real b) const {
    for (const auto& [p, q] : parts_)
      if (p <= a && q >= b) return true;
    return false;
  }
  bool Whole() const { return parts_.size() == 1 && parts_[0].first <= 0 && parts_[0].second >= 1; }
  bool Empty() const { return parts_.empty(); }
  const Intervals& Parts() const { return parts_; }

 private:
  Intervals parts_;
};

// The widened boxes of the upright texts that have cut a line or arc, each
// less what lies outside the line's bounds: an upright text whose box so
// cut lies in one of them cuts nothing new (a pile of texts).
class CutBoxes {
 public:
  CutBoxes(Real x0, Real y0, Real x1, Real y1) : x0_(x0), y0_(y0), x1_(x1), y1_(y1) {}
  bool Within(const TextBox& b) const {
    if (!b.upright) return false;
    // Side by side: a side cut back to the line's bounds holds every box
    // on that side, any other only a box whose side lies no farther out.
    // The box that held the last one first: piled texts are alike.
    auto holds = [&](const Box& o) {
      return NoMore(o.dx0, b.dx0, [&] { return o.x0 <= std::max(b.x0, x0_); }) &&
             NoMore(o.dy0, b.dy0, [&] { return o.y0 <= std::max(b.y0, y0_); }) &&
             NoMore(b.dx1, o.dx1, [&] { return std::min(b.x1, x1_) <= o.x1; }) &&
             NoMore(b.dy1, o.dy1, [&] { return std::min(b.y1, y1_) <= o.y1; });
    };
    if (last_ < boxes_.size() && holds(boxes_[last_])) return true;
    for (std::size_t k = 0; k < boxes_.size(); ++k)
      if (k != last_ && holds(boxes_[k])) {
        last_ = k;
        return true;
      }
    return false;
  }
  void Add(const TextBox& b) {
    if (!b.upright || boxes_.size() >= 16) return;
    constexpr double kAll = std::numeric_limits<double>::infinity();
    boxes_.push_back({std::max(b.x0, x0_), std::max(b.y0, y0_), std::min(b.x1, x1_), std::min(b.y1, y1_),
                      b.x0 <= x0_ ? -kAll : b.dx0, b.y0 <= y0_ ? -kAll : b.dy0, b.x1 >= x1_ ? kAll : b.dx1,
                      b.y1 >= y1_ ? kAll : b.dy1});
  }

 private:
  struct Box {
    Real x0, y0, x1, y1;
    double dx0, dy0, dx1, dy1;  // rounded, or endless where cut back
  };
  Real x0_, y0_, x1_, y1_;
  std::vector<Box> boxes_;
  mutable std::size_t last_ = 0;
};

// [0, 1] less the cuts; an end piece shorter than minEnd is left out, and
// so is a piece between two cuts shorter than minBetween (a line between
// the text lines of a block). Both are shares of the segment.
Intervals Remaining(const Covered& cuts, Real minEnd, Real minBetween) {
  Intervals keep;
  Real from = 0;
  for (const auto& [a, b] : cuts.Parts()) {
    if (a - from > (from == 0 ? minEnd : minBetween)) keep.emplace_back(from, a);
    from = std::max(from, b);
  }
  if (1 - from > minEnd) keep.emplace_back(from, 1);
  return keep;
}

Intervals Pieces(const Covered& cuts, Real length, Real height, bool& cut) {
  cut = !cuts.Empty();
  if (!cut) return {};
  return Remaining(cuts, kMinPiece / length, std::max(kMinPiece, kMinBetween * height) / length);
}

}  // namespace

TextBox TextBox::Make(Real x, Real y, Real angleDeg, Real u0, Real u1, Real h) {
  TextBox b;
  b.x = x, b.y = y;
  if (angleDeg != 0) {
    const Real a = DegToRad(angleDeg);
    b.c = std::cos(a), b.s = std::sin(a);
    b.upright = b.s == 0 && b.c == 1;
  }
  b.u0 = u0, b.u1 = u1, b.h = h;
  const Real g = b.Gap();
  SheetBounds(b, u0 - g, -g, u1 + g, h + g, b.x0, b.y0, b.x1, b.y1);
  b.dx0 = static_cast<double>(b.x0), b.dy0 = static_cast<double>(b.y0);
  b.dx1 = static_cast<double>(b.x1), b.dy1 = static_cast<double>(b.y1);
  Real cu0, cv0, cu1, cv1;
  b.Core(cu0, cv0, cu1, cv1);
  if (cu1 >= cu0 && cv1 >= cv0) {
    // A hair wider against rounding between the two frames.
    SheetBounds(b, cu0, cv0, cu1, cv1, b.cx0, b.cy0, b.cx1, b.cy1);
    b.cx0 -= kHair, b.cy0 -= kHair, b.cx1 += kHair, b.cy1 += kHair;
  }
  return b;
}

Real TextBox::Gap() const { return kGap * h; }

void TextBox::Core(Real& cu0, Real& cv0, Real& cu1, Real& cv1) const {
  cu0 = u0 + kHair, cu1 = u1 - kRimWidth * (u1 - u0), cv0 = kHair, cv1 = h - kHair;
}

TextIndex::TextIndex(std::vector<TextBox> boxes) : boxes_(std::move(boxes)) {
  if (boxes_.empty()) return;
  Real x0 = 1e30L, y0 = 1e30L, x1 = -1e30L, y1 = -1e30L;
  for (const TextBox& b : boxes_) {
    x0 = std::min(x0, b.x0), y0 = std::min(y0, b.y0);
    x1 = std::max(x1, b.x1), y1 = std::max(y1, b.y1);
    if (!b.HasCore()) continue;
    cx0_ = std::min(cx0_, b.cx0), cy0_ = std::min(cy0_, b.cy0);
    cx1_ = std::max(cx1_, b.cx1), cy1_ = std::max(cy1_, b.cy1);
  }
  x0_ = x0, y0_ = y0, x1_ = x1, y1_ = y1;
  const Real w = std::max<Real>(x1 - x0, 1e-6L), h = std::max<Real>(y1 - y0, 1e-6L);
  // About as many cells as boxes, and none much lower than a text: a pile
  // of texts would fill each of many small cells.
  Real heights = 0;
  for (const TextBox& b : boxes_) heights += b.h;
  const Real count = static_cast<Real>(boxes_.size());
  const Real cell = std::max({std::sqrt(w * h / count), heights / count / 2, w / 512, h / 512});
  perCell_ = 1 / cell;
  nx_ = std::clamp(static_cast<int>(std::ceil(w / cell)), 1, 512);
  ny_ = std::clamp(static_cast<int>(std::ceil(h / cell)), 1, 512);
  const std::size_t cells = static_cast<std::size_t>(nx_ * ny_);
  auto each = [&](const TextBox& b, auto&& f) {
    int i0, i1, j0, j1;
    Cells(b.x0, b.y0, b.x1, b.y1, i0, i1, j0, j1);
    for (int j = j0; j <= j1; ++j)
      for (int i = i0; i <= i1; ++i) f(static_cast<std::size_t>(j * nx_ + i), i, j);
  };
  // The columns and rows of the cells that may lie in a box's core: those
  // within its bounds, to a millionth of a cell (none without a core).
  auto nearCore = [&](const TextBox& b, int& i0, int& i1, int& j0, int& j1) {
    i0 = j0 = 1, i1 = j1 = 0;
    if (!b.HasCore()) return;
    auto at = [&](Real v, Real o) { return static_cast<double>((v - o) / cell); };
    const double a0 = at(b.cx0, x0_), a1 = at(b.cx1, x0_), c0 = at(b.cy0, y0_), c1 = at(b.cy1, y0_);
    if (!(a0 > -1e9 && a1 < 1e9 && c0 > -1e9 && c1 < 1e9)) {
      i0 = j0 = 0, i1 = nx_, j1 = ny_;
      return;
    }
    constexpr double kSlack = 1e-6;
    i0 = static_cast<int>(std::ceil(a0 - kSlack)), i1 = static_cast<int>(std::floor(a1 + kSlack)) - 1;
    j0 = static_cast<int>(std::ceil(c0 - kSlack)), j1 = static_cast<int>(std::floor(c1 + kSlack)) - 1;
  };
  // True when the cell lies in the core of the box (its bounds first: most
  // do not).
  auto inCore = [&](const TextBox& b, int i, int j) {
    const Real cx = x0_ + static_cast<Real>(i) * cell, cy = y0_ + static_cast<Real>(j) * cell;
    if (cx < b.cx0 || cx + cell > b.cx1 || cy < b.cy0 || cy + cell > b.cy1) return false;
    Real u0, v0, u1, v1;
    b.Core(u0, v0, u1, v1);
    if (b.upright)  // the core's own rectangle
      return cx - b.x >= u0 && cx + cell - b.x <= u1 && cy - b.y >= v0 && cy + cell - b.y <= v1;
    for (Real px : {cx, cx + cell})
      for (Real py : {cy, cy + cell}) {
        Real u, v;
        b.ToLocal(px, py, u, v);
        if (!Inside(u, v, u0, v0, u1, v1)) return false;
      }
    return true;
  };
  // A cell in the core of a text needs none of the texts after it: what
  // lies there that text cuts away whole, and a later text reaching
  // farther is found in the other cells it meets.
  constexpr std::uint32_t kNone = ~0u;
  std::vector<std::uint32_t> coveredBy(cells, kNone);
  start_.assign(cells + 1, 0);
  for (std::uint32_t n = 0; n < boxes_.size(); ++n) {
    const TextBox& b = boxes_[n];
    int ci0, ci1, cj0, cj1;
    nearCore(b, ci0, ci1, cj0, cj1);
    each(b, [&](std::size_t k, int i, int j) {
      if (coveredBy[k] != kNone) return;
      ++start_[k + 1];
      if (i >= ci0 && i <= ci1 && j >= cj0 && j <= cj1 && inCore(b, i, j)) coveredBy[k] = n;
    });
  }
  for (std::size_t k = 1; k < start_.size(); ++k) start_[k] += start_[k - 1];
  items_.resize(start_.back());
  std::vector<std::uint32_t> fill(start_.begin(), start_.end() - 1);
  for (std::uint32_t n = 0; n < boxes_.size(); ++n)
    each(boxes_[n], [&](std::size_t k, int, int) {
      if (coveredBy[k] == kNone || coveredBy[k] >= n) items_[fill[k]++] = n;
    });
  covered_.resize(cells);
  for (std::size_t k = 0; k < cells; ++k) covered_[k] = coveredBy[k] != kNone;
  seen_.assign(boxes_.size(), 0);
  rounded_.reserve(boxes_.size());
  for (const TextBox& b : boxes_) rounded_.push_back({b.dx0, b.dy0, b.dx1, b.dy1});
}

bool TextIndex::CoversAll(Real x0, Real y0, Real x1, Real y1) const {
  if (boxes_.empty() || x0 < x0_ || x1 > x1_ || y0 < y0_ || y1 > y1_) return false;
  int i0, i1, j0, j1;
  Cells(x0, y0, x1, y1, i0, i1, j0, j1);
  for (int j = j0; j <= j1; ++j)
    for (int i = i0; i <= i1; ++i)
      if (!covered_[static_cast<std::size_t>(j * nx_ + i)]) return false;
  return true;
}

void TextIndex::Cells(Real x0, Real y0, Real x1, Real y1, int& i0, int& i1, int& j0, int& j1) const {
  // In double: a long double to int conversion switches the x87 rounding
  // mode, twice for each of the four.
  auto at = [this](Real v, Real o, int n) {
    const double c = static_cast<double>((v - o) * perCell_);
    return !(c >= 0) ? 0 : c >= n ? n - 1 : static_cast<int>(c);
  };
  i0 = at(x0, x0_, nx_), i1 = at(x1, x0_, nx_);
  j0 = at(y0, y0_, ny_), j1 = at(y1, y0_, ny_);
}

Intervals LinePieces(const TextIndex& index, Real x1, Real y1, Real x2, Real y2, bool& cut) {
  cut = false;
  const Real lx = std::min(x1, x2), ly = std::min(y1, y2), hx = std::max(x1, x2), hy = std::max(y1, y2);
  if (!index.MayCrossACore(lx, ly, hx, hy) || !(hx - lx + hy - ly > 0)) return {};
  if (index.CoversAll(lx, ly, hx, hy)) {
    cut = true;
    return {};
  }
  Covered cuts;
  CutBoxes boxes(lx, ly, hx, hy);
  Real height = 0;
  index.Near(lx, ly, hx, hy, [&](const TextBox& b) {
    if (hx < b.cx0 || lx > b.cx1 || hy < b.cy0 || ly > b.cy1 || boxes.Within(b)) return true;
    Real pu, pv, qu, qv, t0, t1;
    b.ToLocal(x1, y1, pu, pv);
    b.ToLocal(x2, y2, qu, qv);
    if (!SegmentWidenedPart(b, pu, pv, qu, qv, t0, t1) || cuts.Holds(t0, t1) ||
        !SegmentCrossesCore(b, pu, pv, qu, qv))
      return true;
    cuts.Add(t0, t1);
    boxes.Add(b);
    height = std::max(height, b.h);
    return !cuts.Whole();
  });
  return Pieces(cuts, std::hypot(x2 - x1, y2 - y1), height, cut);
}

Intervals ArcPieces(const TextIndex& index, Real x, Real y, Real startDeg, Real sweepDeg, Real r, bool& cut) {
  cut = false;
  if (!(r > 0) || !(sweepDeg > 0) || !index.MayCrossACore(x - r, y - r, x + r, y + r)) return {};
  if (index.CoversAll(x - r, y - r, x + r, y + r)) {
    cut = true;
    return {};
  }
  // Cuts as shares of the pseudo sweep until the end.
  std::optional<ArcFrame> arc;
  Covered cuts;
  CutBoxes boxes(x - r, y - r, x + r, y + r);
  Real height = 0;
  Intervals widened, core;
  index.Near(x - r, y - r, x + r, y + r, [&](const TextBox& b) {
    if (boxes.Within(b)) return true;
    Real cu, cv;
    b.ToLocal(x, y, cu, cv);
    if (!CircleMeetsCore(b, cu, cv, r)) return true;
    if (!arc) arc.emplace(x, y, r, startDeg, sweepDeg);
    const Real g = b.Gap();
    ArcPartsIn(*arc, b, cu, cv, b.u0 - g, -g, b.u1 + g, b.h + g, widened);
    if (std::all_of(widened.begin(), widened.end(), [&](const auto& p) { return cuts.Holds(p.first, p.second); }))
      return true;
    // A whole circle that meets the core crosses it.
    if (sweepDeg < 360) {
      Real u0, v0, u1, v1;
      b.Core(u0, v0, u1, v1);
      ArcPartsIn(*arc, b, cu, cv, u0, v0, u1, v1, core);
      if (core.empty()) return true;
    }
    for (const auto& [a, e] : widened) cuts.Add(a, e);
    boxes.Add(b);
    height = std::max(height, b.h);
    return !cuts.Whole();
  });
  if (!arc || cuts.Empty()) return {};
  if (cuts.Whole()) {
    cut = true;
    return {};
  }
  Covered degrees;
  for (const auto& [a, e] : cuts.Parts()) degrees.Add(arc->TrueShare(a), arc->TrueShare(e));
  return Pieces(degrees, DegToRad(sweepDeg) * r, height, cut);
}

}  // namespace zeb::cad_detail
