// Texts clear of lines: the primitives of one section (a block or the
// entities) are held back and drawn when it ends, every line, arc, circle
// and polyline broken where it would run through a text of that section.
#include <algorithm>
#include <cmath>
#include <functional>
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

// The box of a text in its own frame: u along the baseline, v up.
struct TextBox {
  Real x = 0, y = 0, c = 1, s = 0;  // anchor, cosine and sine of the angle
  Real u0 = 0, u1 = 0, h = 0;
  void ToLocal(Real px, Real py, Real& u, Real& v) const {
    const Real dx = px - x, dy = py - y;
    u = dx * c + dy * s;
    v = -dx * s + dy * c;
  }
};

// Drawing units a line may share with a text's box (as the writers round);
// share of its width at its end where the box, counted as wide as its
// widest characters, may well be empty; the gap a broken line keeps, in
// text heights.
constexpr Real kHair = 0.05L, kRimWidth = 0.075L, kGap = 0.25L;

using Intervals = std::vector<std::pair<Real, Real>>;

// The parts of the segment that cross a text: for every text whose box
// the segment crosses (less the rim at its end), the part inside its box
// widened by the gap.
Intervals CutsOfSegment(const std::vector<TextBox>& boxes, Real x1, Real y1, Real x2, Real y2, Real* height = nullptr) {
  Intervals cuts;
  const Real len = std::hypot(x2 - x1, y2 - y1);
  if (!(len > 0)) return cuts;
  for (const TextBox& b : boxes) {
    Real pu, pv, qu, qv, t0, t1;
    b.ToLocal(x1, y1, pu, pv);
    b.ToLocal(x2, y2, qu, qv);
    const Real rim = kRimWidth * (b.u1 - b.u0);
    if (!SegmentPartInRect(pu, pv, qu, qv, b.u0 + kHair, kHair, b.u1 - rim, b.h - kHair, t0, t1)) continue;
    const Real g = kGap * b.h;
    if (!SegmentPartInRect(pu, pv, qu, qv, b.u0 - g, -g, b.u1 + g, b.h + g, t0, t1)) continue;
    cuts.emplace_back(t0, t1);
    if (height) *height = std::max(*height, b.h);
  }
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

enum class Kind { Layer, TextStyle, LineStyle, Line, Circle, Arc, Text, Solid, Insert, Polyline };

struct PolyVertex {
  Real x, y, bulge;
};

struct Call {
  Kind kind;
  int group = 0;  // texts break the lines of their own group only
  CadState state;
  Real a[8] = {};
  int n = 0;
  std::string text;
  std::vector<PolyVertex> vertices;
};

class HeldOutput final : public CadOutput {
 public:
  HeldOutput(std::unique_ptr<CadOutput> inner, bool expandsInserts)
      : inner_(std::move(inner)), expandsInserts_(expandsInserts) {}
  ~HeldOutput() override = default;

  CadOutput* Inner() { return inner_.get(); }

  void Flush() {
    if (calls_.empty()) return;
    std::vector<Call> calls;
    calls.swap(calls_);
    std::map<int, std::vector<TextBox>> boxes;
    for (const Call& c : calls)
      if (c.kind == Kind::Text) AddBox(c, boxes[c.group]);
    const CadState now = Cad();
    for (const Call& c : calls) {
      Cad() = c.state;
      Replay(c, boxes[c.group]);
    }
    Cad() = now;
  }

  void Header(Real xmin, Real ymin, Real xmax, Real ymax) override {
    Flush();
    inner_->Header(xmin, ymin, xmax, ymax);
  }
  void Tables(int mode) override {
    Flush();
    inner_->Tables(mode);
  }
  void BeginBlocks() override {
    Flush();
    inner_->BeginBlocks();
  }
  void BeginBlock(std::string_view name) override {
    Flush();
    inner_->BeginBlock(name);
  }
  void EndBlock() override {
    Flush();
    inner_->EndBlock();
  }
  void EndSection() override {
    Flush();
    inner_->EndSection();
  }
  void BeginEntities() override {
    Flush();
    inner_->BeginEntities();
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
    Hold(Kind::Text, {x, y}).text = std::string(text);
  }
  void Solid(Real x1, Real y1, Real x2, Real y2, Real x3, Real y3, Real x4, Real y4) override {
    Hold(Kind::Solid, {x1, y1, x2, y2, x3, y3, x4, y4});
  }
  // An output that draws an insert as the block's primitives (the screen)
  // does so at once: they come back here as a group of their own, as the
  // block is a section of its own in a file.
  void Insert(std::string_view name, Real x, Real y, Real angleDeg, Real sx, Real sy) override {
    if (!expandsInserts_) {
      Hold(Kind::Insert, {x, y, angleDeg, sx, sy}).text = std::string(name);
      return;
    }
    const int outer = group_;
    group_ = ++groups_;
    inner_->Insert(name, x, y, angleDeg, sx, sy);
    group_ = outer;
  }
  bool NativePolylines() const override { return inner_->NativePolylines(); }
  void BeginPolyline(int flags) override { poly_ = &Hold(Kind::Polyline, {}, flags); }
  void Vertex(Real x, Real y, Real includedAngleRad) override {
    if (poly_) poly_->vertices.push_back({x, y, includedAngleRad});
  }
  void EndPolyline() override { poly_ = nullptr; }

 private:
  Call& Hold(Kind kind, std::initializer_list<Real> a, int n = 0) {
    Call& c = calls_.emplace_back();
    c.kind = kind;
    c.group = group_;
    c.state = Cad();
    std::copy(a.begin(), a.end(), c.a);
    c.n = n;
    poly_ = nullptr;  // a polyline ends with the next primitive
    return c;
  }

  static void AddBox(const Call& c, std::vector<TextBox>& boxes) {
    const std::string& t = c.text;
    const std::size_t lead = t.find_first_not_of(' ');
    if (lead == std::string::npos) return;
    const std::size_t end = t.find_last_not_of(' ') + 1;
    const Real cw = c.state.CadTextHeight * c.state.CadTextWidthFactor;
    TextBox b;
    b.x = c.a[0], b.y = c.a[1];
    const Real a = DegToRad(c.state.CadTextAngle);
    b.c = std::cos(a), b.s = std::sin(a);
    b.u0 = cw * static_cast<Real>(lead), b.u1 = cw * static_cast<Real>(end), b.h = c.state.CadTextHeight;
    if (b.h > 0 && b.u1 > b.u0) boxes.push_back(b);
  }

  void DrawLine(const std::vector<TextBox>& boxes, Real x1, Real y1, Real x2, Real y2) {
    Real h = 0;
    const Intervals cuts = CutsOfSegment(boxes, x1, y1, x2, y2, &h);
    if (cuts.empty()) {
      inner_->Line(x1, y1, x2, y2);
      return;
    }
    const Real len = std::hypot(x2 - x1, y2 - y1);
    for (const auto& [a, b] : Remaining(cuts, kMinPiece / len, std::max(kMinPiece, kMinBetween * h) / len))
      inner_->Line(x1 + a * (x2 - x1), y1 + a * (y2 - y1), x1 + b * (x2 - x1), y1 + b * (y2 - y1));
  }

  // The cuts of an arc (degrees, counter-clockwise from start on) as
  // shares of its sweep, found on chords of at most 2 degrees.
  static Intervals ArcCuts(const std::vector<TextBox>& boxes, Real x, Real y, Real start, Real sweep, Real r,
                           Real& h) {
    const int n = std::max(1, static_cast<int>(std::ceil(sweep / 2)));
    Intervals cuts;
    auto at = [&](int k, Real& px, Real& py) {
      const Real phi = DegToRad(start + sweep * k / n);
      px = x + r * std::cos(phi), py = y + r * std::sin(phi);
    };
    for (int k = 0; k < n; ++k) {
      Real ax, ay, bx, by;
      at(k, ax, ay);
      at(k + 1, bx, by);
      for (const auto& [a, b] : CutsOfSegment(boxes, ax, ay, bx, by, &h)) cuts.emplace_back((k + a) / n, (k + b) / n);
    }
    return cuts;
  }
  static Real Sweep(Real start, Real end, bool full) {
    Real sweep = full || ArcIsFullCircle(start, end) ? 360 : end - start;
    while (sweep <= 0) sweep += 360;
    return sweep;
  }

  void DrawArc(const std::vector<TextBox>& boxes, Real x, Real y, Real start, Real end, Real r, bool full) {
    const Real sweep = Sweep(start, end, full);
    Real h = 0;
    const Intervals cuts = ArcCuts(boxes, x, y, start, sweep, r, h);
    if (cuts.empty()) {
      if (full) inner_->Circle(x, y, r);
      else inner_->Arc(x, y, start, end, r);
      return;
    }
    const Real length = DegToRad(sweep) * r;
    for (const auto& [a, b] : Remaining(cuts, kMinPiece / length, std::max(kMinPiece, kMinBetween * h) / length))
      inner_->Arc(x, y, start + sweep * a, start + sweep * b, r);
  }

  // A polyline a text crosses is drawn as its lines and arcs.
  void DrawPolyline(const Call& c, const std::vector<TextBox>& boxes) {
    const auto& v = c.vertices;
    const bool closed = (c.n & 1) && v.size() > 2;
    const std::size_t segments = v.size() < 2 ? 0 : closed ? v.size() : v.size() - 1;
    auto each = [&](const std::function<void(const PolyVertex&, const PolyVertex&, Real, Real, Real, Real)>& f) {
      for (std::size_t i = 0; i < segments; ++i) {
        const PolyVertex &p = v[i], &q = v[(i + 1) % v.size()];
        Real xc = 0, yc = 0, s = 0, e = 0, r = 0;
        if (p.bulge != 0) GetArcCenter(xc, yc, s, p.x, p.y, q.x, q.y, p.bulge, e, r);
        f(p, q, xc, yc, r > 0 ? RadToDeg(s) : 0, r > 0 ? RadToDeg(e) : 0);
      }
    };
    bool crossed = false;
    each([&](const PolyVertex& p, const PolyVertex& q, Real xc, Real yc, Real s, Real e) {
      Real h = 0;
      const Real r = std::hypot(p.x - xc, p.y - yc);
      if (p.bulge == 0)
        crossed = crossed || !CutsOfSegment(boxes, p.x, p.y, q.x, q.y).empty();
      else if (r > 0)
        crossed = crossed || !ArcCuts(boxes, xc, yc, s, Sweep(s, e, false), r, h).empty();
    });
    if (!crossed) {
      inner_->BeginPolyline(c.n);
      for (const PolyVertex& p : v) inner_->Vertex(p.x, p.y, p.bulge);
      inner_->EndPolyline();
      return;
    }
    each([&](const PolyVertex& p, const PolyVertex& q, Real xc, Real yc, Real s, Real e) {
      const Real r = std::hypot(p.x - xc, p.y - yc);
      if (p.bulge == 0)
        DrawLine(boxes, p.x, p.y, q.x, q.y);
      else if (r > 0)
        DrawArc(boxes, xc, yc, s, e, r, false);
    });
  }

  void Replay(const Call& c, const std::vector<TextBox>& boxes) {
    const Real* a = c.a;
    switch (c.kind) {
      case Kind::Layer: inner_->SetLayer(c.n); break;
      case Kind::TextStyle: inner_->TextStyle(c.n, a[0], a[1], a[2]); break;
      case Kind::LineStyle: inner_->ScreenLineStyle(c.n); break;
      case Kind::Line: DrawLine(boxes, a[0], a[1], a[2], a[3]); break;
      case Kind::Circle: DrawArc(boxes, a[0], a[1], 0, 360, a[2], true); break;
      case Kind::Arc: DrawArc(boxes, a[0], a[1], a[2], a[3], a[4], false); break;
      case Kind::Text: inner_->Text(c.text, a[0], a[1]); break;
      case Kind::Solid: inner_->Solid(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7]); break;
      case Kind::Insert: inner_->Insert(c.text, a[0], a[1], a[2], a[3], a[4]); break;
      case Kind::Polyline: DrawPolyline(c, boxes); break;
    }
  }

  std::unique_ptr<CadOutput> inner_;
  bool expandsInserts_;
  int group_ = 0, groups_ = 0;
  std::vector<Call> calls_;
  Call* poly_ = nullptr;  // the polyline being given its vertices
};

}  // namespace

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
