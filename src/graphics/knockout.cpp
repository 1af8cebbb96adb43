// Texts clear of lines: the primitives of a run are held back and drawn
// when it ends, every line, arc, circle and polyline broken where it would
// run through a text of the sheet, whatever section or block draws either.
// Marks (CadMarks) are never broken.
//
// A block's lines are in its definition. A primitive of a block that every
// placement of the block breaks alike (always so for a block placed once)
// is broken in the definition; one that its placements break differently
// leaves the definition and is drawn, broken, at each placement.
//
// The texts sit in a grid of cells: a primitive is tried only against the
// texts whose boxes its bounding box meets, so the cost grows with lines
// plus texts, not with their product.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "base/mathx.h"
#include "base/vector2d.h"
#include "graphics/cad.h"
#include "graphics/cad_internal.h"

namespace zeb::cad_detail {

namespace {

// Drawing units a line may share with a text's box (as the writers round);
// share of its width at its end where the box, counted as wide as its
// widest characters, may well be empty; the gap a broken line keeps, in
// text heights.
constexpr Real kHair = 0.05L, kRimWidth = 0.075L, kGap = 0.25L;

// The box of a text in its own frame: u along the baseline, v up; with the
// bounds of the box widened by the gap, and those of the part a line must
// cross to be broken (empty: none).
struct TextBox {
  Real x = 0, y = 0, c = 1, s = 0;  // anchor, cosine and sine of the angle
  Real u0 = 0, u1 = 0, h = 0;
  Real x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  Real cx0 = 0, cy0 = 0, cx1 = -1, cy1 = -1;
  // False when the segment's bounds miss the core's: it cannot cross it.
  bool MayCrossCore(Real px, Real py, Real qx, Real qy) const {
    return std::max(px, qx) >= cx0 && std::min(px, qx) <= cx1 && std::max(py, qy) >= cy0 && std::min(py, qy) <= cy1;
  }
  // The same for the box widened by the gap.
  bool MayMeet(Real px, Real py, Real qx, Real qy) const {
    return std::max(px, qx) >= x0 - kHair && std::min(px, qx) <= x1 + kHair && std::max(py, qy) >= y0 - kHair &&
           std::min(py, qy) <= y1 + kHair;
  }
  void ToLocal(Real px, Real py, Real& u, Real& v) const {
    const Real dx = px - x, dy = py - y;
    u = dx * c + dy * s;
    v = -dx * s + dy * c;
  }
};

TextBox MakeBox(Real x, Real y, Real angleDeg, Real u0, Real u1, Real h) {
  TextBox b;
  b.x = x, b.y = y;
  if (angleDeg != 0) {
    const Real a = DegToRad(angleDeg);
    b.c = std::cos(a), b.s = std::sin(a);
  }
  b.u0 = u0, b.u1 = u1, b.h = h;
  const Real g = kGap * h;
  b.x0 = b.y0 = 1e30L;
  b.x1 = b.y1 = -1e30L;
  for (Real u : {u0 - g, u1 + g})
    for (Real v : {-g, h + g}) {
      const Real px = x + u * b.c - v * b.s, py = y + u * b.s + v * b.c;
      b.x0 = std::min(b.x0, px), b.x1 = std::max(b.x1, px);
      b.y0 = std::min(b.y0, py), b.y1 = std::max(b.y1, py);
    }
  // The core, a hair wider against rounding between the two frames.
  const Real cu0 = u0 + kHair, cu1 = u1 - kRimWidth * (u1 - u0), cv0 = kHair, cv1 = h - kHair;
  if (cu1 >= cu0 && cv1 >= cv0) {
    b.cx0 = b.cy0 = 1e30L;
    b.cx1 = b.cy1 = -1e30L;
    for (Real u : {cu0, cu1})
      for (Real v : {cv0, cv1}) {
        const Real px = x + u * b.c - v * b.s, py = y + u * b.s + v * b.c;
        b.cx0 = std::min(b.cx0, px - kHair), b.cx1 = std::max(b.cx1, px + kHair);
        b.cy0 = std::min(b.cy0, py - kHair), b.cy1 = std::max(b.cy1, py + kHair);
      }
  }
  return b;
}

// The text boxes in a grid of about as many cells as boxes.
class TextIndex {
 public:
  TextIndex() = default;
  explicit TextIndex(std::vector<TextBox> boxes) : boxes_(std::move(boxes)) {
    if (boxes_.empty()) return;
    Real x0 = 1e30L, y0 = 1e30L, x1 = -1e30L, y1 = -1e30L;
    for (const TextBox& b : boxes_) {
      x0 = std::min(x0, b.x0), y0 = std::min(y0, b.y0);
      x1 = std::max(x1, b.x1), y1 = std::max(y1, b.y1);
    }
    x0_ = x0, y0_ = y0, x1_ = x1, y1_ = y1;
    for (const TextBox& b : boxes_) {
      if (b.cx0 > b.cx1) continue;
      cx0_ = std::min(cx0_, b.cx0), cy0_ = std::min(cy0_, b.cy0);
      cx1_ = std::max(cx1_, b.cx1), cy1_ = std::max(cy1_, b.cy1);
    }
    const Real w = std::max<Real>(x1 - x0, 1e-6L), h = std::max<Real>(y1 - y0, 1e-6L);
    cell_ = std::max({std::sqrt(w * h / static_cast<Real>(boxes_.size())), w / 512, h / 512});
    perCell_ = 1 / cell_;
    nx_ = std::clamp(static_cast<int>(std::ceil(w / cell_)), 1, 512);
    ny_ = std::clamp(static_cast<int>(std::ceil(h / cell_)), 1, 512);
    start_.assign(static_cast<std::size_t>(nx_ * ny_) + 1, 0);
    auto each = [&](const TextBox& b, auto&& f) {
      int i0, i1, j0, j1;
      Cells(b.x0, b.y0, b.x1, b.y1, i0, i1, j0, j1);
      for (int j = j0; j <= j1; ++j)
        for (int i = i0; i <= i1; ++i) f(static_cast<std::size_t>(j * nx_ + i));
    };
    for (const TextBox& b : boxes_) each(b, [&](std::size_t k) { ++start_[k + 1]; });
    for (std::size_t k = 1; k < start_.size(); ++k) start_[k] += start_[k - 1];
    items_.resize(start_.back());
    std::vector<std::uint32_t> fill(start_.begin(), start_.end() - 1);
    for (std::uint32_t n = 0; n < boxes_.size(); ++n) each(boxes_[n], [&](std::size_t k) { items_[fill[k]++] = n; });
    seen_.assign(boxes_.size(), 0);
  }

  bool Empty() const { return boxes_.empty(); }
  // False when the bounds miss the core of every text: nothing there can be
  // broken (a dense view beside its texts).
  bool MayCrossACore(Real x0, Real y0, Real x1, Real y1) const {
    return x1 >= cx0_ && x0 <= cx1_ && y1 >= cy0_ && y0 <= cy1_;
  }

  // f(box) once for every box whose widened bounds meet the rectangle.
  template <typename F>
  void Near(Real x0, Real y0, Real x1, Real y1, F&& f) const {
    if (boxes_.empty() || x1 < x0_ || x0 > x1_ || y1 < y0_ || y0 > y1_) return;
    if (++tick_ == 0) {
      std::fill(seen_.begin(), seen_.end(), 0);
      tick_ = 1;
    }
    int i0, i1, j0, j1;
    Cells(x0, y0, x1, y1, i0, i1, j0, j1);
    for (int j = j0; j <= j1; ++j)
      for (int i = i0; i <= i1; ++i) {
        const std::size_t k = static_cast<std::size_t>(j * nx_ + i);
        for (std::uint32_t p = start_[k]; p < start_[k + 1]; ++p) {
          const std::uint32_t n = items_[p];
          if (seen_[n] == tick_) continue;
          seen_[n] = tick_;
          const TextBox& b = boxes_[n];
          if (b.x1 < x0 || b.x0 > x1 || b.y1 < y0 || b.y0 > y1) continue;
          f(b);
        }
      }
  }

 private:
  void Cells(Real x0, Real y0, Real x1, Real y1, int& i0, int& i1, int& j0, int& j1) const {
    // In double: a long double to int conversion switches the x87
    // rounding mode, twice for each of the four.
    auto at = [this](Real v, Real o, int n) {
      const double c = static_cast<double>((v - o) * perCell_);
      return !(c >= 0) ? 0 : c >= n ? n - 1 : static_cast<int>(c);
    };
    i0 = at(x0, x0_, nx_), i1 = at(x1, x0_, nx_);
    j0 = at(y0, y0_, ny_), j1 = at(y1, y0_, ny_);
  }

  std::vector<TextBox> boxes_;
  Real x0_ = 0, y0_ = 0, x1_ = 0, y1_ = 0, cell_ = 1, perCell_ = 1;
  Real cx0_ = 1e30L, cy0_ = 1e30L, cx1_ = -1e30L, cy1_ = -1e30L;  // the cores' bounds
  int nx_ = 0, ny_ = 0;
  std::vector<std::uint32_t> start_, items_;
  mutable std::vector<std::uint32_t> seen_;
  mutable std::uint32_t tick_ = 0;
};

using Intervals = std::vector<std::pair<Real, Real>>;

// True when the segment (in the box's frame) crosses the box less the rim
// at its end.
bool CrossesCore(const TextBox& b, Real pu, Real pv, Real qu, Real qv) {
  Real t0, t1;
  const Real u0 = b.u0 + kHair, u1 = b.u1 - kRimWidth * (b.u1 - b.u0), v0 = kHair, v1 = b.h - kHair;
  // An end inside is a crossing (as the clipping finds, without its divisions).
  if ((pu >= u0 && pu <= u1 && pv >= v0 && pv <= v1) || (qu >= u0 && qu <= u1 && qv >= v0 && qv <= v1)) return true;
  return SegmentPartInRect(pu, pv, qu, qv, u0, v0, u1, v1, t0, t1);
}

// True when the ring about (x, y) from radius r0 to r1 meets the box less
// the rim at its end (the part CrossesCore tries).
bool RingMeetsCore(const TextBox& b, Real x, Real y, Real r0, Real r1) {
  const Real rim = kRimWidth * (b.u1 - b.u0);
  const Real u0 = b.u0 + kHair, u1 = b.u1 - rim, v0 = kHair, v1 = b.h - kHair;
  if (u1 < u0 || v1 < v0) return false;
  Real cu, cv;
  b.ToLocal(x, y, cu, cv);
  const Real nu = std::max({u0 - cu, cu - u1, Real(0)}), nv = std::max({v0 - cv, cv - v1, Real(0)});
  const Real fu = std::max(cu - u0, u1 - cu), fv = std::max(cv - v0, v1 - cv);
  return nu * nu + nv * nv <= r1 * r1 && fu * fu + fv * fv >= r0 * r0;
}

// The part of the segment inside the box widened by the gap.
bool WidenedPart(const TextBox& b, Real pu, Real pv, Real qu, Real qv, Real& t0, Real& t1) {
  const Real g = kGap * b.h;
  const Real u0 = b.u0 - g, u1 = b.u1 + g, v0 = -g, v1 = b.h + g;
  // Both ends inside: all of it (as the clipping finds).
  if (pu >= u0 && pu <= u1 && pv >= v0 && pv <= v1 && qu >= u0 && qu <= u1 && qv >= v0 && qv <= v1) {
    t0 = 0, t1 = 1;
    return true;
  }
  return SegmentPartInRect(pu, pv, qu, qv, u0, v0, u1, v1, t0, t1);
}

// The parts of the segment that cross a text: for every text whose box
// the segment crosses (less the rim at its end), the part inside its box
// widened by the gap.
Intervals CutsOfSegment(const TextIndex& index, Real x1, Real y1, Real x2, Real y2, Real& height) {
  Intervals cuts;
  if (!(std::fabs(x2 - x1) + std::fabs(y2 - y1) > 0)) return cuts;
  const Real lx = std::min(x1, x2), ly = std::min(y1, y2), hx = std::max(x1, x2), hy = std::max(y1, y2);
  if (!index.MayCrossACore(lx, ly, hx, hy)) return cuts;
  index.Near(lx, ly, hx, hy, [&](const TextBox& b) {
    if (!b.MayCrossCore(x1, y1, x2, y2)) return;
    Real pu, pv, qu, qv, t0, t1;
    b.ToLocal(x1, y1, pu, pv);
    b.ToLocal(x2, y2, qu, qv);
    if (!CrossesCore(b, pu, pv, qu, qv) || !WidenedPart(b, pu, pv, qu, qv, t0, t1)) return;
    cuts.emplace_back(t0, t1);
    height = std::max(height, b.h);
  });
  return cuts;
}

// The parts of the arc (degrees from its start, within its sweep) that lie
// in the bounds: between the angles where the circle crosses their sides.
void ArcPartsIn(Real x, Real y, Real r, Real start, Real sweep, Real x0, Real y0, Real x1, Real y1,
                Intervals& out) {
  out.clear();
  std::array<Real, 10> at{};
  std::size_t n = 0;
  auto add = [&](Real deg) {
    Real a = std::fmod(deg - start, Real(360));
    if (a < 0) a += 360;
    at[n++] = a;
  };
  at[n++] = 0;
  for (Real bx : {x0, x1})
    if (const Real c = (bx - x) / r; std::fabs(c) <= 1) {
      const Real t = RadToDeg(std::acos(c));
      add(t), add(-t);
    }
  for (Real by : {y0, y1})
    if (const Real c = (by - y) / r; std::fabs(c) <= 1) {
      const Real t = RadToDeg(std::asin(c));
      add(t), add(180 - t);
    }
  std::sort(at.begin(), at.begin() + static_cast<std::ptrdiff_t>(n));
  at[n++] = 360;
  for (std::size_t i = 0; i + 1 < n; ++i) {
    const Real a = at[i], b = at[i + 1];
    if (!(b > a) || a > sweep) continue;
    Real c, s;
    CosSinReduced(DegToRad(start + (a + b) / 2), c, s);
    const Real px = x + r * c, py = y + r * s;
    if (px < x0 || px > x1 || py < y0 || py > y1) continue;
    if (!out.empty() && out.back().second >= a) out.back().second = std::min(b, sweep);
    else out.emplace_back(a, std::min(b, sweep));
  }
}

// The cuts of an arc as shares of its sweep, found on chords of at most 2
// degrees. A text the arc crosses cuts every chord inside its widened box,
// so the arc keeps the gap where it leaves the text.
Intervals ArcCuts(const TextIndex& index, Real x, Real y, Real start, Real sweep, Real r, Real& h) {
  Intervals cuts;
  if (index.Empty() || !index.MayCrossACore(x - r, y - r, x + r, y + r)) return cuts;
  const int n = std::max(1, static_cast<int>(std::ceil(sweep / 2)));
  const Real step = sweep / n;
  // The chords' ends, each worked out once: the end after a known one is
  // that one turned by a step.
  std::vector<std::array<Real, 2>> ends;
  std::vector<char> known;
  Real stepCos = 1, stepSin = 0;
  auto at = [&](int k, Real& px, Real& py) {
    const auto i = static_cast<std::size_t>(k);
    if (ends.empty()) {
      ends.resize(static_cast<std::size_t>(n) + 1);
      known.assign(static_cast<std::size_t>(n) + 1, 0);
      CosSinReduced(DegToRad(step), stepCos, stepSin);
    }
    auto& e = ends[i];
    if (!known[i]) {
      if (i > 0 && known[i - 1]) {
        const Real dx = ends[i - 1][0] - x, dy = ends[i - 1][1] - y;
        e = {x + dx * stepCos - dy * stepSin, y + dx * stepSin + dy * stepCos};
      } else {
        Real c, s;
        CosSinReduced(DegToRad(start + sweep * k / n), c, s);
        e = {x + r * c, y + r * s};
      }
      known[i] = 1;
    }
    px = e[0], py = e[1];
  };
  // A chord lies inside its arc by less than this (1 - cos 1 degree < 1.6e-4).
  const Real inset = r * 1.6e-4L + 1e-9L;
  std::vector<int> chords;
  Intervals parts;
  // Texts in the circle's box; of those only the chords where the arc runs
  // through a text's bounds are cut.
  index.Near(x - r, y - r, x + r, y + r, [&](const TextBox& b) {
    // The circle meets the bounds: the nearest point of the bounds lies
    // inside it, the farthest outside.
    const Real nx = std::max({b.x0 - x, x - b.x1, Real(0)}), ny = std::max({b.y0 - y, y - b.y1, Real(0)});
    const Real fx = std::max(x - b.x0, b.x1 - x), fy = std::max(y - b.y0, b.y1 - y);
    if (nx * nx + ny * ny > r * r || (fx * fx + fy * fy) < (r - inset) * (r - inset)) return;
    // The chords lie in the ring from r - inset to r: a text whose core
    // the ring does not meet is not crossed (most boxes near a dense view).
    if (!RingMeetsCore(b, x, y, std::max<Real>(0, r - inset - 1e-9L), r + 1e-9L)) return;
    ArcPartsIn(x, y, r, start, sweep, b.x0 - inset, b.y0 - inset, b.x1 + inset, b.y1 + inset, parts);
    if (parts.empty()) return;
    chords.clear();
    for (const auto& [p0, p1] : parts) {
      // In double (no x87 rounding-mode switch): a part's end rounded up to
      // a whole chord moves only the margin chord, which lies off the box.
      const long k0 = std::max(0L, static_cast<long>(std::floor(static_cast<double>(p0 / step))) - 1);
      const long k1 = std::min<long>(n - 1, static_cast<long>(std::floor(static_cast<double>(p1 / step))) + 1);
      for (long k = k0; k <= k1; ++k) chords.push_back(static_cast<int>(k));
    }
    std::sort(chords.begin(), chords.end());
    chords.erase(std::unique(chords.begin(), chords.end()), chords.end());
    bool crossed = false;
    for (int k : chords) {
      Real ax, ay, cx, cy, pu, pv, qu, qv;
      at(k, ax, ay);
      at(k + 1, cx, cy);
      if (!b.MayCrossCore(ax, ay, cx, cy)) continue;
      b.ToLocal(ax, ay, pu, pv);
      b.ToLocal(cx, cy, qu, qv);
      if ((crossed = CrossesCore(b, pu, pv, qu, qv))) break;
    }
    if (!crossed) return;
    // The chords' cuts of one text joined where they meet.
    const std::size_t first = cuts.size();
    for (int k : chords) {
      Real ax, ay, cx, cy, pu, pv, qu, qv, t0, t1;
      at(k, ax, ay);
      at(k + 1, cx, cy);
      if (!b.MayMeet(ax, ay, cx, cy)) continue;
      b.ToLocal(ax, ay, pu, pv);
      b.ToLocal(cx, cy, qu, qv);
      if (!WidenedPart(b, pu, pv, qu, qv, t0, t1)) continue;
      const Real from = (k + t0) / n, to = (k + t1) / n;
      if (cuts.size() > first && cuts.back().second >= from) cuts.back().second = std::max(cuts.back().second, to);
      else cuts.emplace_back(from, to);
    }
    h = std::max(h, b.h);
  });
  return cuts;
}

// [0, 1] less the cuts; an end piece shorter than minEnd is left out, and
// so is a piece between two cuts shorter than minBetween (a line between
// the text lines of a block). Both are shares of the segment.
Intervals Remaining(Intervals cuts, Real minEnd, Real minBetween) {
  std::sort(cuts.begin(), cuts.end());
  Intervals keep;
  Real from = 0;
  for (const auto& [a, b] : cuts) {
    if (a - from > (from == 0 ? minEnd : minBetween)) keep.emplace_back(from, a);
    from = std::max(from, b);
  }
  if (1 - from > minEnd) keep.emplace_back(from, 1);
  return keep;
}

// Drawing units of the shortest end piece kept; text heights of the
// shortest piece kept between two texts.
constexpr Real kMinPiece = 0.05L, kMinBetween = 0.8L;

Real Sweep(Real start, Real end, bool full) {
  Real sweep = full || ArcIsFullCircle(start, end) ? 360 : end - start;
  while (sweep <= 0) sweep += 360;
  return sweep;
}

enum class Kind {
  Layer,
  TextStyle,
  LineStyle,
  Line,
  Circle,
  Arc,
  Text,
  Solid,
  Insert,
  Polyline,
  Header,
  Tables,
  BeginBlocks,
  BeginBlock,
  EndBlock,
  EndSection,
  BeginEntities
};

struct PolyVertex {
  Real x, y, bulge;
};

// A held call: small, as a view of many coils holds thousands. Its text
// (a text, a block name) and vertices lie apart; a solid's last three
// values ride as its one vertex.
constexpr std::size_t kCallReals = 5;
struct CallMore {
  std::string text;
  std::vector<PolyVertex> vertices;
};
struct Call {
  Kind kind = Kind::Layer;
  std::uint32_t state = 0;  // index of the drawing state it was given in
  int n = 0;
  Real a[kCallReals] = {};
  std::unique_ptr<CallMore> more;

  Call() = default;
  Call(const Call& o) : kind(o.kind), state(o.state), n(o.n), more(o.more ? new CallMore(*o.more) : nullptr) {
    std::copy(o.a, o.a + kCallReals, a);
  }
  Call& operator=(const Call& o) {
    if (this != &o) *this = Call(o);
    return *this;
  }
  Call(Call&&) noexcept = default;
  Call& operator=(Call&&) noexcept = default;

  const std::string& text() const { return more ? more->text : None().text; }
  const std::vector<PolyVertex>& vertices() const { return more ? more->vertices : None().vertices; }
  CallMore& More() {
    if (!more) more = std::make_unique<CallMore>();
    return *more;
  }
  static const CallMore& None() {
    static const CallMore none;
    return none;
  }

  Call& Set(Kind k, std::initializer_list<Real> values, int number) {
    kind = k;
    std::copy_n(values.begin(), std::min(values.size(), kCallReals), a);
    n = number;
    return *this;
  }
  Call& SetSolid(Real x1, Real y1, Real x2, Real y2, Real x3, Real y3, Real x4, Real y4) {
    More().vertices.push_back({y3, x4, y4});
    return Set(Kind::Solid, {x1, y1, x2, y2, x3}, 0);
  }
};

// Held calls in blocks: a long run grows without moving what it holds.
class Calls {
 public:
  Calls() = default;
  Calls(Calls&& o) noexcept { swap(o); }
  Calls& operator=(Calls&& o) noexcept {
    Calls gone;
    gone.swap(o);
    swap(gone);
    return *this;
  }
  void swap(Calls& o) noexcept {
    blocks_.swap(o.blocks_);
    std::swap(size_, o.size_);
  }

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  Call& operator[](std::size_t i) { return blocks_[i / kBlock][i % kBlock]; }
  const Call& operator[](std::size_t i) const { return blocks_[i / kBlock][i % kBlock]; }
  Call& back() { return (*this)[size_ - 1]; }
  Call& emplace_back() {
    if (size_ == blocks_.size() * kBlock) blocks_.push_back(std::make_unique<Call[]>(kBlock));
    return (*this)[size_++];
  }
  void push_back(Call&& c) { emplace_back() = std::move(c); }
  void pop_back() {
    back() = Call{};
    --size_;
  }

  class const_iterator {
   public:
    const_iterator(const Calls& calls, std::size_t i) : calls_(&calls), i_(i) {}
    const Call& operator*() const { return (*calls_)[i_]; }
    const_iterator& operator++() {
      ++i_;
      return *this;
    }
    bool operator!=(const const_iterator& o) const { return i_ != o.i_; }

   private:
    const Calls* calls_;
    std::size_t i_;
  };
  const_iterator begin() const { return {*this, 0}; }
  const_iterator end() const { return {*this, size_}; }

 private:
  static constexpr std::size_t kBlock = 256;
  std::vector<std::unique_ptr<Call[]>> blocks_;
  std::size_t size_ = 0;
};

// One straight or curved segment of a polyline.
struct PolySegment {
  bool arc = false;
  Real x1 = 0, y1 = 0, x2 = 0, y2 = 0;  // a line
  Real xc = 0, yc = 0, start = 0, end = 0, r = 0;  // an arc
};

std::vector<PolySegment> Segments(const Call& c) {
  const auto& v = c.vertices();
  const bool closed = (c.n & 1) && v.size() > 2;
  const std::size_t count = v.size() < 2 ? 0 : closed ? v.size() : v.size() - 1;
  std::vector<PolySegment> out;
  for (std::size_t i = 0; i < count; ++i) {
    const PolyVertex &p = v[i], &q = v[(i + 1) % v.size()];
    PolySegment s;
    s.x1 = p.x, s.y1 = p.y, s.x2 = q.x, s.y2 = q.y;
    if (p.bulge != 0) {
      Real xc = 0, yc = 0, a = 0, e = 0, r = 0;
      GetArcCenter(xc, yc, a, p.x, p.y, q.x, q.y, p.bulge, e, r);
      if (r > 0) {
        s.arc = true;
        s.xc = xc, s.yc = yc, s.start = RadToDeg(a), s.end = RadToDeg(e);
        s.r = std::hypot(p.x - xc, p.y - yc);
        if (!(s.r > 0)) continue;
      } else {
        continue;
      }
    }
    out.push_back(s);
  }
  return out;
}

// What the texts leave of a primitive: whole, or the pieces of each of its
// segments (one for a line, arc or circle) as shares of the segment.
struct Cut {
  bool whole = true;
  std::vector<Intervals> parts;
  bool operator==(const Cut& o) const {
    if (whole != o.whole || parts.size() != o.parts.size()) return false;
    for (std::size_t i = 0; i < parts.size(); ++i) {
      if (parts[i].size() != o.parts[i].size()) return false;
      for (std::size_t k = 0; k < parts[i].size(); ++k)
        if (std::fabs(parts[i][k].first - o.parts[i][k].first) > 1e-9L ||
            std::fabs(parts[i][k].second - o.parts[i][k].second) > 1e-9L)
          return false;
    }
    return true;
  }
};

// The pieces a line keeps; none (and cut false) when no text crosses it.
Intervals LineParts(const TextIndex& index, Real x1, Real y1, Real x2, Real y2, bool& cut) {
  Real h = 0;
  const Intervals cuts = CutsOfSegment(index, x1, y1, x2, y2, h);
  cut = !cuts.empty();
  if (!cut) return {};
  const Real len = std::hypot(x2 - x1, y2 - y1);
  return Remaining(cuts, kMinPiece / len, std::max(kMinPiece, kMinBetween * h) / len);
}

Intervals ArcParts(const TextIndex& index, Real x, Real y, Real start, Real sweep, Real r, bool& cut) {
  Real h = 0;
  const Intervals cuts = ArcCuts(index, x, y, start, sweep, r, h);
  cut = !cuts.empty();
  if (!cut) return {};
  const Real length = DegToRad(sweep) * r;
  return Remaining(cuts, kMinPiece / length, std::max(kMinPiece, kMinBetween * h) / length);
}

bool IsPrimitive(Kind k) {
  return k == Kind::Line || k == Kind::Circle || k == Kind::Arc || k == Kind::Polyline;
}

// Offset, angle and scales of a block's placement on the sheet, and the
// call of the entities' insert it comes from.
struct Placement {
  CadTransform t;
  std::size_t root = 0;
  void Point(Real x, Real y, Real& ox, Real& oy) const {
    ScaleRotateTranslateDeg(x, y, t.sx, t.sy, t.angle, t.dx, t.dy, ox, oy);
  }
};

// The call as the placement puts it on the sheet (arcs as the screen draws
// an inserted block: radius times the x scale).
Call Placed(const Call& c, const Placement& p) {
  Call o = c;
  Real* a = o.a;
  switch (c.kind) {
    case Kind::Line:
      p.Point(c.a[0], c.a[1], a[0], a[1]);
      p.Point(c.a[2], c.a[3], a[2], a[3]);
      break;
    case Kind::Circle:
      p.Point(c.a[0], c.a[1], a[0], a[1]);
      a[2] = c.a[2] * std::fabs(p.t.sx);
      break;
    case Kind::Arc:
      p.Point(c.a[0], c.a[1], a[0], a[1]);
      a[2] = c.a[2] + p.t.angle, a[3] = c.a[3] + p.t.angle;
      a[4] = c.a[4] * std::fabs(p.t.sx);
      break;
    case Kind::Polyline:
      for (PolyVertex& v : o.More().vertices) {
        p.Point(v.x, v.y, v.x, v.y);
        if (p.t.sx * p.t.sy < 0) v.bulge = -v.bulge;
      }
      break;
    default: break;
  }
  return o;
}

// The same state for the outputs: the fields they read when they draw.
// The file's name is set before a run holds anything: within one run it
// need not be compared (withFile false).
bool SameState(const CadState& a, const CadState& b, bool withFile = true) {
  // Asked for every held call: the whole numbers and lengths first.
  if (a.CadLayer != b.CadLayer || a.CadMarkLevel != b.CadMarkLevel || a.CadLayerMode != b.CadLayerMode ||
      a.CadDxfLayerName.size() != b.CadDxfLayerName.size() ||
      (withFile && a.CadFileName.size() != b.CadFileName.size()))
    return false;
  for (std::size_t i = 0; i < a.CadExtents.size(); ++i)
    if (a.CadExtents[i] != b.CadExtents[i]) return false;
  return a.CadTextHeight == b.CadTextHeight && a.CadTextWidthFactor == b.CadTextWidthFactor &&
         a.CadTextAngle == b.CadTextAngle && a.CadTextOblique == b.CadTextOblique &&
         a.CadDxfLayerName == b.CadDxfLayerName && (!withFile || a.CadFileName == b.CadFileName);
}

// Records the calls drawn, each with the state it was given in.
class Recorder final : public CadOutput {
 public:
  Recorder(Calls& out, const std::uint32_t& state) : out_(out), state_(state) {}
  void SetLayer(int n) override { Add(Kind::Layer, {}, n); }
  void TextStyle(int font, Real angle, Real height, Real width) override {
    Add(Kind::TextStyle, {angle, height, width}, font);
  }
  void ScreenLineStyle(int style) override { Add(Kind::LineStyle, {}, style); }
  void Line(Real x1, Real y1, Real x2, Real y2) override { Add(Kind::Line, {x1, y1, x2, y2}); }
  void Line3D(Real, Real, Real, Real, Real, Real) override {}
  void Circle(Real x, Real y, Real r) override { Add(Kind::Circle, {x, y, r}); }
  void Arc(Real x, Real y, Real s, Real e, Real r) override { Add(Kind::Arc, {x, y, s, e, r}); }
  void Text(std::string_view text, Real x, Real y) override { Add(Kind::Text, {x, y}).More().text = std::string(text); }
  void Solid(Real x1, Real y1, Real x2, Real y2, Real x3, Real y3, Real x4, Real y4) override {
    Add().SetSolid(x1, y1, x2, y2, x3, y3, x4, y4);
  }
  void Insert(std::string_view name, Real x, Real y, Real angle, Real sx, Real sy) override {
    Add(Kind::Insert, {x, y, angle, sx, sy}).More().text = std::string(name);
  }

 private:
  Call& Add() {
    Call& c = out_.emplace_back();
    c.state = state_;
    return c;
  }
  Call& Add(Kind kind, std::initializer_list<Real> a, int n = 0) { return Add().Set(kind, a, n); }
  Calls& out_;
  const std::uint32_t& state_;
};

// The last picture of the screen as held and as drawn, one for each of the
// first parts of a run the screen draws at once (the header, the entities).
struct ScreenCache {
  Calls in;
  std::vector<CadState> states;
  Calls out;
};

ScreenCache& LastScreen(std::size_t part) {
  static std::array<ScreenCache, 4> cache;
  return cache[std::min(part, cache.size() - 1)];
}

bool SameCalls(const Calls& a, const std::vector<CadState>& as, const Calls& b,
               const std::vector<CadState>& bs) {
  if (a.size() != b.size() || as.size() != bs.size()) return false;
  for (std::size_t i = 0; i < as.size(); ++i)
    if (!SameState(as[i], bs[i])) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const Call &x = a[i], &y = b[i];
    if (x.kind != y.kind || x.state != y.state || x.n != y.n || !std::equal(x.a, x.a + kCallReals, y.a) ||
        x.text() != y.text() || x.vertices().size() != y.vertices().size())
      return false;
    const auto &xv = x.vertices(), &yv = y.vertices();
    for (std::size_t k = 0; k < xv.size(); ++k)
      if (xv[k].x != yv[k].x || xv[k].y != yv[k].y || xv[k].bulge != yv[k].bulge)
        return false;
  }
  return true;
}

// Drawing states a held call looks back over for its own.
constexpr std::size_t kStatesLookedBack = 4;

class HeldOutput final : public CadOutput {
 public:
  HeldOutput(std::unique_ptr<CadOutput> inner, bool expandsInserts)
      : inner_(std::move(inner)), expandsInserts_(expandsInserts), out_(inner_.get()) {}

  CadOutput* Inner() { return inner_.get(); }

  void Flush();

  // The screen takes the steps of the run at once: it has no blocks of its
  // own (their primitives come back here when it draws an insert).
  void Header(Real xmin, Real ymin, Real xmax, Real ymax) override {
    if (Step(Kind::Header, {xmin, ymin, xmax, ymax})) inner_->Header(xmin, ymin, xmax, ymax);
  }
  void Tables(int mode) override {
    if (Step(Kind::Tables, {}, mode)) inner_->Tables(mode);
  }
  void BeginBlocks() override {
    if (Step(Kind::BeginBlocks, {})) inner_->BeginBlocks();
  }
  void BeginBlock(std::string_view name) override {
    if (!expandsInserts_) {
      Hold(Kind::BeginBlock, {}).More().text = std::string(name);
      return;
    }
    Flush();
    inner_->BeginBlock(name);
  }
  void EndBlock() override {
    if (Step(Kind::EndBlock, {})) inner_->EndBlock();
  }
  void EndSection() override {
    if (Step(Kind::EndSection, {})) inner_->EndSection();
  }
  void BeginEntities() override {
    if (Step(Kind::BeginEntities, {})) inner_->BeginEntities();
  }
  bool Finish() override {
    Flush();
    return inner_->Finish();
  }

  void SetLayer(int n) override { Hold(Kind::Layer, {}, n); }
  void TextStyle(int font, Real angle, Real height, Real width) override {
    Hold(Kind::TextStyle, {angle, height, width}, font);
  }
  void ScreenLineStyle(int style) override { Hold(Kind::LineStyle, {}, style); }
  void Line(Real x1, Real y1, Real x2, Real y2) override { Hold(Kind::Line, {x1, y1, x2, y2}); }
  void Line3D(Real x1, Real y1, Real z1, Real x2, Real y2, Real z2) override {
    Flush();
    inner_->Line3D(x1, y1, z1, x2, y2, z2);
  }
  void Circle(Real x, Real y, Real r) override { Hold(Kind::Circle, {x, y, r}); }
  void Arc(Real x, Real y, Real startDeg, Real endDeg, Real r) override {
    Hold(Kind::Arc, {x, y, startDeg, endDeg, r});
  }
  void Text(std::string_view text, Real x, Real y) override {
    Hold(Kind::Text, {x, y}).More().text = std::string(text);
  }
  void Solid(Real x1, Real y1, Real x2, Real y2, Real x3, Real y3, Real x4, Real y4) override {
    Hold().SetSolid(x1, y1, x2, y2, x3, y3, x4, y4);
  }
  // An output that draws an insert as the block's primitives (the screen)
  // does so at once: they come back here.
  void Insert(std::string_view name, Real x, Real y, Real angleDeg, Real sx, Real sy) override {
    if (!expandsInserts_) {
      Hold(Kind::Insert, {x, y, angleDeg, sx, sy}).More().text = std::string(name);
      return;
    }
    inner_->Insert(name, x, y, angleDeg, sx, sy);
  }
  bool NativePolylines() const override { return inner_->NativePolylines(); }
  bool ScalesInserts() const override { return inner_->ScalesInserts(); }
  void BeginPolyline(int flags) override {
    Hold(Kind::Polyline, {}, flags);
    poly_ = calls_.size();
  }
  void Vertex(Real x, Real y, Real includedAngleRad) override {
    if (poly_ > 0) calls_[poly_ - 1].More().vertices.push_back({x, y, includedAngleRad});
  }
  void EndPolyline() override { poly_ = 0; }

 private:
  // A step of the run: held in a file, taken at once by the screen (true).
  bool Step(Kind kind, std::initializer_list<Real> a, int n = 0) {
    if (!expandsInserts_) {
      Hold(kind, a, n);
      return false;
    }
    Flush();
    return true;
  }

  Call& Hold() {
    const CadState& now = Cad();
    // A drawing that goes back and forth between a few states (outline and
    // hatch) keeps one copy of each.
    std::size_t state = last_;
    if (state >= states_.size() || !SameState(states_[state], now, false)) {
      state = states_.size();
      for (std::size_t k = states_.size(); k > 0 && k + kStatesLookedBack > states_.size(); --k)
        if (k - 1 != last_ && SameState(states_[k - 1], now, false)) {
          state = k - 1;
          break;
        }
      if (state == states_.size()) states_.push_back(now);
      last_ = state;
    }
    Call& c = calls_.emplace_back();
    c.state = static_cast<std::uint32_t>(state);
    poly_ = 0;  // a polyline ends with the next primitive
    return c;
  }
  Call& Hold(Kind kind, std::initializer_list<Real> a, int n = 0) { return Hold().Set(kind, a, n); }

  bool IsMark(const Call& c) const { return states_[c.state].CadMarkLevel > 0; }

  // The box of a text call, placed.
  TextBox Box(const Call& c, const Placement* p) const {
    const CadState& st = states_[c.state];
    const std::string& t = c.text();
    const std::size_t lead = t.find_first_not_of(' ');
    const std::size_t end = lead == std::string::npos ? 0 : t.find_last_not_of(' ') + 1;
    const Real cw = st.CadTextHeight * st.CadTextWidthFactor;
    Real u0 = cw * static_cast<Real>(lead == std::string::npos ? 0 : lead), u1 = cw * static_cast<Real>(end);
    Real h = st.CadTextHeight, x = c.a[0], y = c.a[1], angle = st.CadTextAngle;
    if (p) {
      const Real s = std::sqrt(std::fabs(p->t.sx * p->t.sy));
      u0 *= s, u1 *= s, h *= s;
      p->Point(c.a[0], c.a[1], x, y);
      angle += p->t.angle;
    }
    return MakeBox(x, y, angle, u0, u1, h);
  }
  static bool BoxUsable(const TextBox& b) { return b.h > 0 && b.u1 > b.u0; }

  Cut CutOf(const Call& c, const TextIndex& index) const {
    Cut out;
    if (index.Empty() || IsMark(c)) return out;
    const Real* a = c.a;
    bool cut = false;
    Intervals parts;
    switch (c.kind) {
      case Kind::Line: parts = LineParts(index, a[0], a[1], a[2], a[3], cut); break;
      case Kind::Circle: parts = ArcParts(index, a[0], a[1], 0, 360, a[2], cut); break;
      case Kind::Arc: parts = ArcParts(index, a[0], a[1], a[2], Sweep(a[2], a[3], false), a[4], cut); break;
      case Kind::Polyline:
        for (const PolySegment& s : Segments(c)) {
          bool one = false;
          out.parts.push_back(s.arc ? ArcParts(index, s.xc, s.yc, s.start, Sweep(s.start, s.end, false), s.r, one)
                                    : LineParts(index, s.x1, s.y1, s.x2, s.y2, one));
          if (!one) out.parts.back() = {{0, 1}};
          cut = cut || one;
        }
        break;
      default: break;
    }
    out.whole = !cut;
    if (out.whole) out.parts.clear();
    else if (c.kind != Kind::Polyline) out.parts.push_back(std::move(parts));
    return out;
  }

  void DrawArcParts(Real x, Real y, Real start, Real sweep, Real r, const Intervals& parts) {
    for (const auto& [a, b] : parts) out_->Arc(x, y, start + sweep * a, start + sweep * b, r);
  }
  void DrawLineParts(Real x1, Real y1, Real x2, Real y2, const Intervals& parts) {
    for (const auto& [a, b] : parts)
      out_->Line(x1 + a * (x2 - x1), y1 + a * (y2 - y1), x1 + b * (x2 - x1), y1 + b * (y2 - y1));
  }

  // Draws the primitive as the cut leaves it.
  void Draw(const Call& c, const Cut& cut) {
    const Real* a = c.a;
    switch (c.kind) {
      case Kind::Line:
        if (cut.whole) out_->Line(a[0], a[1], a[2], a[3]);
        else DrawLineParts(a[0], a[1], a[2], a[3], cut.parts[0]);
        break;
      case Kind::Circle:
        if (cut.whole) out_->Circle(a[0], a[1], a[2]);
        else DrawArcParts(a[0], a[1], 0, 360, a[2], cut.parts[0]);
        break;
      case Kind::Arc:
        if (cut.whole) out_->Arc(a[0], a[1], a[2], a[3], a[4]);
        else DrawArcParts(a[0], a[1], a[2], Sweep(a[2], a[3], false), a[4], cut.parts[0]);
        break;
      case Kind::Polyline: {
        if (cut.whole) {
          out_->BeginPolyline(c.n);
          for (const PolyVertex& p : c.vertices()) out_->Vertex(p.x, p.y, p.bulge);
          out_->EndPolyline();
          break;
        }
        // A polyline a text crosses is drawn as its lines and arcs.
        const std::vector<PolySegment> segments = Segments(c);
        for (std::size_t i = 0; i < segments.size() && i < cut.parts.size(); ++i) {
          const PolySegment& s = segments[i];
          if (s.arc) DrawArcParts(s.xc, s.yc, s.start, Sweep(s.start, s.end, false), s.r, cut.parts[i]);
          else DrawLineParts(s.x1, s.y1, s.x2, s.y2, cut.parts[i]);
        }
        break;
      }
      default: break;
    }
  }

  void Replay(const Call& c) {
    const Real* a = c.a;
    switch (c.kind) {
      case Kind::Layer: out_->SetLayer(c.n); break;
      case Kind::TextStyle: out_->TextStyle(c.n, a[0], a[1], a[2]); break;
      case Kind::LineStyle: out_->ScreenLineStyle(c.n); break;
      case Kind::Text: out_->Text(c.text(), a[0], a[1]); break;
      case Kind::Solid: {
        const PolyVertex& rest = c.vertices().at(0);
        out_->Solid(a[0], a[1], a[2], a[3], a[4], rest.x, rest.y, rest.bulge);
        break;
      }
      case Kind::Insert: out_->Insert(c.text(), a[0], a[1], a[2], a[3], a[4]); break;
      case Kind::Header: out_->Header(a[0], a[1], a[2], a[3]); break;
      case Kind::Tables: out_->Tables(c.n); break;
      case Kind::BeginBlocks: out_->BeginBlocks(); break;
      case Kind::BeginBlock: out_->BeginBlock(c.text()); break;
      case Kind::EndBlock: out_->EndBlock(); break;
      case Kind::EndSection: out_->EndSection(); break;
      case Kind::BeginEntities: out_->BeginEntities(); break;
      default: break;
    }
  }

  void DrawHeld(const Calls& calls);
  // Replays calls drawn before (whole: their cuts are made).
  void DrawDrawn(const Calls& calls);

  std::unique_ptr<CadOutput> inner_;
  bool expandsInserts_;
  CadOutput* out_ = nullptr;  // where the held calls are drawn: inner_, or a record of them
  std::uint32_t current_ = ~0u;  // the state the calls drawn now were given in
  Calls calls_;
  std::vector<CadState> states_;
  std::size_t last_ = 0;  // the state of the last call held
  std::size_t poly_ = 0;  // 1 + the index of the polyline being given its vertices, or 0
  std::size_t parts_ = 0;  // parts of the run drawn
};

void HeldOutput::Flush() {
  if (calls_.empty()) return;
  // An open polyline stays held: its vertices are still to come.
  Call open;
  const bool polyOpen = poly_ > 0 && poly_ == calls_.size();
  if (polyOpen) {
    open = std::move(calls_.back());
    calls_.pop_back();
  }
  Calls calls;
  calls.swap(calls_);
  const CadState now = Cad();
  if (!expandsInserts_) {
    DrawHeld(calls);
  } else {
    // The screen draws the same picture again at every Enter: a picture
    // held as the last one was is drawn as it was broken then.
    ScreenCache& last = LastScreen(parts_++);
    if (!SameCalls(calls, states_, last.in, last.states)) {
      Calls drawn;
      Recorder record(drawn, current_);
      out_ = &record;
      DrawHeld(calls);
      out_ = inner_.get();
      last.in = std::move(calls);
      last.states = states_;
      last.out = std::move(drawn);
    }
    DrawDrawn(last.out);
  }
  Cad() = now;
  CadState keep;
  if (polyOpen) keep = states_[open.state];
  states_.clear();
  if (polyOpen) {
    states_.push_back(keep);
    open.state = 0;
    calls_.push_back(std::move(open));
    poly_ = calls_.size();
  }
}

void HeldOutput::DrawDrawn(const Calls& calls) {
  current_ = ~0u;
  for (const Call& c : calls) {
    if (c.state != current_) Cad() = states_[current_ = c.state];
    if (IsPrimitive(c.kind)) Draw(c, Cut{});
    else Replay(c);
  }
}

void HeldOutput::DrawHeld(const Calls& calls) {
  const std::size_t count = calls.size();

  // Blocks: the block each call belongs to (-1: the entities), the blocks'
  // calls, and where each is placed on the sheet.
  struct Block {
    std::size_t begin = 0, end = 0;  // its calls
    std::vector<Placement> placements;
  };
  std::vector<Block> blocks;
  std::vector<int> owner(count, -1);
  std::map<std::string, int> named;
  std::vector<std::pair<std::size_t, int>> inserts;  // insert call, block it is in
  int open_block = -1;
  for (std::size_t i = 0; i < count; ++i) {
    const Call& c = calls[i];
    if (c.kind == Kind::BeginBlock) {
      open_block = static_cast<int>(blocks.size());
      blocks.push_back({i + 1, count, {}});
      named[c.text()] = open_block;
      continue;
    }
    if (c.kind == Kind::EndBlock || c.kind == Kind::EndSection || c.kind == Kind::BeginEntities) {
      if (open_block >= 0) blocks[static_cast<std::size_t>(open_block)].end = i;
      open_block = -1;
      continue;
    }
    owner[i] = open_block;
    if (c.kind == Kind::Insert) inserts.emplace_back(i, open_block);
  }
  const bool scales = inner_->ScalesInserts();
  // Placements of the entities' inserts, then of the blocks inserted in a
  // placed block (four levels, as the screen expands them).
  std::vector<std::pair<int, Placement>> work;
  for (const auto& [i, in] : inserts) {
    const auto found = named.find(calls[i].text());
    if (in != -1 || found == named.end()) continue;
    const Real* a = calls[i].a;
    Placement p;
    p.t = CadTransform{a[0], a[1], a[2], scales ? a[3] : 1, scales ? a[4] : 1};
    p.root = i;
    work.emplace_back(found->second, p);
  }
  constexpr std::size_t kMaxPlacements = 4096;
  std::size_t placed = 0;
  for (int level = 0; level < 4 && !work.empty(); ++level) {
    std::vector<std::pair<int, Placement>> next;
    for (const auto& [b, p] : work) {
      if (++placed > kMaxPlacements) break;
      blocks[static_cast<std::size_t>(b)].placements.push_back(p);
      for (const auto& [i, in] : inserts) {
        if (in != b) continue;
        const auto found = named.find(calls[i].text());
        if (found == named.end()) continue;
        const Real* a = calls[i].a;
        Placement q;
        ScaleRotateTranslateDeg(a[0], a[1], p.t.sx, p.t.sy, p.t.angle, p.t.dx, p.t.dy, q.t.dx, q.t.dy);
        q.t.angle = p.t.angle + a[2];
        q.t.sx = p.t.sx * (scales ? a[3] : 1);
        q.t.sy = p.t.sy * (scales ? a[4] : 1);
        q.root = p.root;
        next.emplace_back(found->second, q);
      }
    }
    work.swap(next);
  }

  // The sheet's texts: the entities' and those of every placed block.
  std::vector<TextBox> boxes;
  for (std::size_t i = 0; i < count; ++i) {
    if (calls[i].kind != Kind::Text) continue;
    if (owner[i] < 0) {
      const TextBox b = Box(calls[i], nullptr);
      if (BoxUsable(b)) boxes.push_back(b);
      continue;
    }
    for (const Placement& p : blocks[static_cast<std::size_t>(owner[i])].placements) {
      const TextBox b = Box(calls[i], &p);
      if (BoxUsable(b)) boxes.push_back(b);
    }
  }
  const TextIndex sheet(std::move(boxes));

  // What each primitive keeps; a block's primitive its placements break
  // differently is drawn at each of them instead.
  // Most primitives stay whole: only the others keep a cut (0: whole).
  std::vector<Cut> cutList(1);
  std::vector<std::uint32_t> cutAt(count, 0);
  const auto keep = [&](std::size_t i, Cut&& cut) {
    if (cut.whole) return;
    cutAt[i] = static_cast<std::uint32_t>(cutList.size());
    cutList.push_back(std::move(cut));
  };
  std::map<std::size_t, std::vector<std::pair<std::size_t, Call>>> outside;  // root insert: call, placed call
  std::map<std::size_t, std::vector<Cut>> outsideCuts;
  std::vector<bool> left(count, false);
  std::map<int, TextIndex> own;  // texts of a block placed nowhere
  for (std::size_t i = 0; i < count; ++i) {
    const Call& c = calls[i];
    if (!IsPrimitive(c.kind)) continue;
    if (owner[i] < 0) {
      keep(i, CutOf(c, sheet));
      continue;
    }
    const Block& b = blocks[static_cast<std::size_t>(owner[i])];
    if (b.placements.empty()) {
      auto found = own.find(owner[i]);
      if (found == own.end()) {
        std::vector<TextBox> local;
        for (std::size_t k = b.begin; k < b.end; ++k) {
          if (calls[k].kind != Kind::Text) continue;
          const TextBox t = Box(calls[k], nullptr);
          if (BoxUsable(t)) local.push_back(t);
        }
        found = own.emplace(owner[i], TextIndex(std::move(local))).first;
      }
      keep(i, CutOf(c, found->second));
      continue;
    }
    std::vector<Call> at;
    std::vector<Cut> each;
    for (const Placement& p : b.placements) {
      at.push_back(Placed(c, p));
      each.push_back(CutOf(at.back(), sheet));
    }
    if (std::all_of(each.begin(), each.end(), [&](const Cut& k) { return k == each[0]; })) {
      keep(i, std::move(each[0]));
      continue;
    }
    left[i] = true;
    for (std::size_t k = 0; k < at.size(); ++k) {
      outside[b.placements[k].root].emplace_back(i, std::move(at[k]));
      outsideCuts[b.placements[k].root].push_back(std::move(each[k]));
    }
  }

  current_ = ~0u;
  auto use = [&](std::uint32_t s) {
    if (s != current_) Cad() = states_[current_ = s];
  };
  for (std::size_t i = 0; i < count; ++i) {
    const Call& c = calls[i];
    if (left[i]) continue;
    use(c.state);
    if (IsPrimitive(c.kind)) Draw(c, cutList[cutAt[i]]);
    else Replay(c);
    if (outside.empty()) continue;
    const auto found = outside.find(i);
    if (found == outside.end()) continue;
    // A block's primitives drawn at this placement, each on its own layer
    // (layer 0 takes the insert's, as in the block).
    const CadState& insertState = states_[c.state];
    int layer = insertState.CadLayer;
    for (std::size_t k = 0; k < found->second.size(); ++k) {
      const Call& p = found->second[k].second;
      Cad() = states_[current_ = p.state];
      if (Cad().CadDxfLayerName == "0") {
        Cad().CadLayer = insertState.CadLayer;
        Cad().CadDxfLayerName = insertState.CadDxfLayerName;
      }
      if (Cad().CadLayer != layer) out_->SetLayer(layer = Cad().CadLayer);
      Draw(p, outsideCuts[i][k]);
    }
    use(c.state);
    if (layer != insertState.CadLayer) out_->SetLayer(insertState.CadLayer);
  }
}

}  // namespace

bool& BreakAtTexts() {
  static bool on = true;
  return on;
}

std::unique_ptr<CadOutput> HoldForTexts(std::unique_ptr<CadOutput> inner, bool expandsInserts) {
  if (!inner) return inner;
  return std::make_unique<HeldOutput>(std::move(inner), expandsInserts);
}

CadOutput* HeldInner(CadOutput* held) {
  auto* h = dynamic_cast<HeldOutput*>(held);
  if (!h) return held;
  h->Flush();
  return h->Inner();
}

void FlushHeld(CadOutput* held) {
  if (auto* h = dynamic_cast<HeldOutput*>(held)) h->Flush();
}

}  // namespace zeb::cad_detail
