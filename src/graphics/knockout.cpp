// Texts clear of lines: the primitives of a run are held back and drawn
// when it ends, every line, arc, circle and polyline broken where it would
// run through a text of the sheet, whatever section or block draws either.
// Marks (CadMarks) are never broken.
//
// A block's lines are in its definition. A primitive of a block that every
// placement of the block breaks alike (always so for a block placed once)
// is broken in the definition; one that its placements break differently
// leaves the definition and is drawn, broken, at each placement.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/mathx.h"
#include "base/vector2d.h"
#include "graphics/cad.h"
#include "graphics/cad_internal.h"
#include "graphics/held_calls.h"
#include "graphics/text_cut.h"
#include "graphics/text_ink.h"

namespace zeb::cad_detail {

namespace {

// Degrees an arc from start to end turns through, counter-clockwise.
Real Sweep(Real start, Real end) {
  Real sweep = ArcIsFullCircle(start, end) ? 360 : end - start;
  while (sweep <= 0) sweep += 360;
  return sweep;
}

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
      for (PolyVertex& v : o.Own().vertices) {
        p.Point(v.x, v.y, v.x, v.y);
        if (p.t.sx * p.t.sy < 0) v.bulge = -v.bulge;
      }
      break;
    default: break;
  }
  return o;
}

// The bits that differ in the reals from `a` and `b` on (n of them), all
// at once: sixteen bytes each, the six of padding masked off at the end (a
// compare of x87 reals costs more than that of their bytes; +0 and -0
// differ: a state kept twice).
using Bytes16 = std::uint64_t __attribute__((vector_size(16)));
static_assert(sizeof(Real) == 16);
inline Bytes16 RealsApart(const Real* a, const Real* b, std::size_t n, Bytes16 apart) {
  for (std::size_t i = 0; i < n; ++i) {
    Bytes16 x, y;
    std::memcpy(&x, &a[i], 16), std::memcpy(&y, &b[i], 16);
    apart |= x ^ y;
  }
  return apart;
}

// The same layer: its number, name and mode, and the mark level.
inline bool SameLayer(const CadState& a, const CadState& b) {
  if (a.CadLayer != b.CadLayer || a.CadMarkLevel != b.CadMarkLevel || a.CadLayerMode != b.CadLayerMode ||
      a.CadDxfLayerName.size() != b.CadDxfLayerName.size())
    return false;
  // Layer names are short: compared here rather than by a call.
  for (std::size_t i = 0; i < a.CadDxfLayerName.size(); ++i)
    if (a.CadDxfLayerName[i] != b.CadDxfLayerName[i]) return false;
  return true;
}

// The same text style and extents (the reals of the state), all at once,
// without a branch each.
inline bool SameReals(const CadState& a, const CadState& b) {
  Bytes16 apart = RealsApart(&a.CadTextHeight, &b.CadTextHeight, 1, Bytes16{});
  apart = RealsApart(&a.CadTextWidthFactor, &b.CadTextWidthFactor, 1, apart);
  apart = RealsApart(&a.CadTextAngle, &b.CadTextAngle, 1, apart);
  apart = RealsApart(&a.CadTextOblique, &b.CadTextOblique, 1, apart);
  apart = RealsApart(a.CadExtents.data(), b.CadExtents.data(), a.CadExtents.size(), apart);
  return (apart[0] | (apart[1] & 0xFFFF)) == 0;
}

// The same state for the outputs: the fields they read when they draw (the
// file's name is set before a run holds anything).
inline bool SameState(const CadState& a, const CadState& b) { return SameLayer(a, b) && SameReals(a, b); }

// Gives `to` the fields SameState compares, those the outputs read (the
// rest stays: no output reads it while held calls are drawn).
inline void TakeDrawingFields(CadState& to, const CadState& from) {
  to.CadLayer = from.CadLayer;
  to.CadMarkLevel = from.CadMarkLevel;
  to.CadLayerMode = from.CadLayerMode;
  // A name as long as the one there (most layer switches) is copied in place.
  if (to.CadDxfLayerName.size() == from.CadDxfLayerName.size())
    std::memcpy(to.CadDxfLayerName.data(), from.CadDxfLayerName.data(), from.CadDxfLayerName.size());
  else
    to.CadDxfLayerName = from.CadDxfLayerName;
  to.CadTextHeight = from.CadTextHeight;
  to.CadTextWidthFactor = from.CadTextWidthFactor;
  to.CadTextAngle = from.CadTextAngle;
  to.CadTextOblique = from.CadTextOblique;
  to.CadExtents = from.CadExtents;
}

// A hash of some of the fields SameState compares (enough to tell most
// states apart).
std::size_t StateKey(const CadState& st) {
  std::uint64_t height = 0, angle = 0;
  std::memcpy(&height, &st.CadTextHeight, 8), std::memcpy(&angle, &st.CadTextAngle, 8);
  std::uint64_t h = static_cast<std::uint32_t>(st.CadLayer) * 0x9E3779B97F4A7C15ull;
  h ^= (static_cast<std::uint64_t>(st.CadMarkLevel) << 32) ^ static_cast<std::uint32_t>(st.CadLayerMode);
  h = (h ^ height) * 0xff51afd7ed558ccdull;
  h = (h ^ angle ^ st.CadDxfLayerName.size()) * 0xc4ceb9fe1a85ec53ull;
  return static_cast<std::size_t>(h ^ (h >> 29));
}

// Drawing states a held call looks back over before it asks the hash.
constexpr std::size_t kStatesLookedBack = 4;

// Where the blocks of a run are and where they are placed, and where its
// texts and inserts are: noted as the calls are held.
struct Block {
  Calls::Pos begin = 0, end = 0;  // its calls
  std::vector<Placement> placements;
};
struct Layout {
  std::vector<Block> blocks;  // in the order they begin
  std::map<std::string, int> named;
  std::vector<std::pair<Calls::Pos, int>> inserts;  // insert call, the block it is in (-1: the entities)
  std::vector<std::pair<Calls::Pos, int>> texts;  // text call, the block it is in
  int open = -1;  // the block being held
  bool firstOfBlock = false;  // no call of the open block held yet

  // The call at i, held; next: where the call after it will lie, unless
  // it takes a new chunk (so a block begins at its first call).
  void Note(Kind kind, std::string_view text, Calls::Pos i, Calls::Pos next) {
    if (open >= 0 && firstOfBlock) {
      blocks[static_cast<std::size_t>(open)].begin = i;
      firstOfBlock = false;
    }
    switch (kind) {
      case Kind::BeginBlock:
        open = static_cast<int>(blocks.size());
        blocks.push_back({next, next, {}});
        named[std::string(text)] = open;
        firstOfBlock = true;
        break;
      case Kind::EndBlock:
      case Kind::EndSection:
      case Kind::BeginEntities: open = -1; break;
      case Kind::Text: texts.emplace_back(i, open); break;
      case Kind::Insert: inserts.emplace_back(i, open); break;
      default: break;
    }
    if (open >= 0 && kind != Kind::BeginBlock) blocks[static_cast<std::size_t>(open)].end = next;
  }
};

// What the sheet's texts leave of the blocks' primitives.
struct BlockCuts {
  std::map<Calls::Pos, Cut> cut;  // a primitive broken alike wherever its block is (whole ones left out)
  std::set<Calls::Pos> left;  // a primitive its placements break differently
  // Root insert: the primitives drawn at its placement, placed, and their cuts.
  std::map<Calls::Pos, std::vector<std::pair<Call, Cut>>> atInsert;
};

class HeldOutput final : public CadOutput {
 public:
  HeldOutput(std::unique_ptr<CadOutput> inner, bool expandsInserts)
      : inner_(std::move(inner)), expandsInserts_(expandsInserts) {
    byLayer_.fill(~0u);
  }

  CadOutput* Inner() { return inner_.get(); }

  void Flush();

  // The screen takes the steps of the run at once: it has no blocks of its
  // own (their primitives come back here when it draws an insert).
  void Header(Real xmin, Real ymin, Real xmax, Real ymax) override {
    if (Step(Kind::Header, 0, xmin, ymin, xmax, ymax)) inner_->Header(xmin, ymin, xmax, ymax);
  }
  void Tables(int mode) override {
    if (Step(Kind::Tables, mode)) inner_->Tables(mode);
  }
  void BeginBlocks() override {
    if (Step(Kind::BeginBlocks)) inner_->BeginBlocks();
  }
  void BeginBlock(std::string_view name) override {
    if (!expandsInserts_) {
      HoldNamed(Kind::BeginBlock, name);
      return;
    }
    Flush();
    inner_->BeginBlock(name);
  }
  void EndBlock() override {
    if (Step(Kind::EndBlock)) inner_->EndBlock();
  }
  void EndSection() override {
    if (Step(Kind::EndSection)) inner_->EndSection();
  }
  void BeginEntities() override {
    if (Step(Kind::BeginEntities)) inner_->BeginEntities();
  }
  bool Finish() override {
    Flush();
    return inner_->Finish();
  }

  void SetLayer(int n) override {
    polyOpen_ = false;
    const Calls::Pos at = calls_.AddLayer(StateNow(), n);
    if (layout_.open >= 0) layout_.Note(Kind::Layer, {}, at, calls_.End());
  }
  void TextStyle(int font, Real angle, Real height, Real width) override {
    Hold(Kind::TextStyle, font, angle, height, width);
  }
  void ScreenLineStyle(int style) override { Hold(Kind::LineStyle, style); }
  void Line(Real x1, Real y1, Real x2, Real y2) override {
    polyOpen_ = false;
    const Calls::Pos at = calls_.AddPlain<Kind::Line>(StateNow(), x1, y1, x2, y2);
    if (layout_.open >= 0) layout_.Note(Kind::Line, {}, at, calls_.End());
  }
  void Line3D(Real x1, Real y1, Real z1, Real x2, Real y2, Real z2) override {
    Flush();
    inner_->Line3D(x1, y1, z1, x2, y2, z2);
  }
  void Circle(Real x, Real y, Real r) override {
    polyOpen_ = false;
    const Calls::Pos at = calls_.AddPlain<Kind::Circle>(StateNow(), x, y, r);
    if (layout_.open >= 0) layout_.Note(Kind::Circle, {}, at, calls_.End());
  }
  void Arc(Real x, Real y, Real startDeg, Real endDeg, Real r) override {
    polyOpen_ = false;
    const Calls::Pos at = calls_.AddPlain<Kind::Arc>(StateNow(), x, y, startDeg, endDeg, r);
    if (layout_.open >= 0) layout_.Note(Kind::Arc, {}, at, calls_.End());
  }
  void Text(std::string_view text, Real x, Real y) override { HoldNamed(Kind::Text, text, x, y); }
  void Solid(Real x1, Real y1, Real x2, Real y2, Real x3, Real y3, Real x4, Real y4) override {
    Hold(Kind::Solid, 0, x1, y1, x2, y2, x3, y3, x4, y4);
  }
  // An output that draws an insert as the block's primitives (the screen)
  // does so at once: they come back here.
  void Insert(std::string_view name, Real x, Real y, Real angleDeg, Real sx, Real sy) override {
    if (!expandsInserts_) {
      HoldNamed(Kind::Insert, name, x, y, angleDeg, sx, sy);
      return;
    }
    inner_->Insert(name, x, y, angleDeg, sx, sy);
  }
  bool NativePolylines() const override { return inner_->NativePolylines(); }
  bool ScalesInserts() const override { return inner_->ScalesInserts(); }
  void BeginPolyline(int flags) override {
    poly_ = Hold(Kind::Polyline, flags);
    polyOpen_ = true;
  }
  void Vertex(Real x, Real y, Real includedAngleRad) override {
    if (polyOpen_) calls_.MoreAt(poly_).vertices.push_back({x, y, includedAngleRad});
  }
  void EndPolyline() override { polyOpen_ = false; }

 private:
  // A step of the run: held in a file, taken at once by the screen (true).
  template <typename... R>
  bool Step(Kind kind, int n = 0, const R&... a) {
    if (!expandsInserts_) {
      Hold(kind, n, a...);
      return false;
    }
    Flush();
    return true;
  }

  // The index of the state the calls are given in now: that of the last
  // call while its layer and style are those found the same before the
  // last write of either (CadLayerRevision, CadStyleRevision).
  __attribute__((always_inline)) std::uint32_t StateNow() {
    if (lastState_ && (layerSeen_ == CadLayerRevision() || SameLayer(*lastState_, cad_)) &&
        (styleSeen_ == CadStyleRevision() || SameReals(*lastState_, cad_))) {
      layerSeen_ = CadLayerRevision();
      styleSeen_ = CadStyleRevision();
      return static_cast<std::uint32_t>(last_);
    }
    return OtherState();
  }
  // The index of the state now when it is not that of the last call.
  __attribute__((noinline)) std::uint32_t OtherState() {
    const CadState& now = cad_;
    // The state last seen on this layer (a view goes round more layers
    // than it looks back over).
    const std::size_t slot = static_cast<std::uint32_t>(now.CadLayer) % byLayer_.size();
    std::uint32_t& onLayer = byLayer_[slot];
    const std::uint64_t style = CadStyleRevision();
    if (onLayer >= states_.size() || !SameLayer(states_[onLayer], now) ||
        (styleOnLayer_[slot] != style && !SameReals(states_[onLayer], now)))
      onLayer = static_cast<std::uint32_t>(Kept(now));
    styleOnLayer_[slot] = styleSeen_ = style;
    layerSeen_ = CadLayerRevision();
    lastState_ = &states_[last_ = onLayer];
    return onLayer;
  }
  // The index of the state `now` among those kept, kept first if new.
  __attribute__((noinline)) std::size_t Kept(const CadState& now) {
    // Most drawings go back and forth between a few (outline and hatch).
    for (std::size_t k = states_.size(); k > 0 && k + kStatesLookedBack > states_.size(); --k)
      if (k - 1 != last_ && SameState(states_[k - 1], now)) return k - 1;
    // Every state is kept once (a drawing going through sixteen layers in
    // turn).
    const std::size_t key = StateKey(now);
    const auto [from, to] = stateKeys_.equal_range(key);
    for (auto it = from; it != to; ++it)
      if (SameState(states_[it->second], now)) return it->second;
    states_.push_back(now);
    stateKeys_.emplace(key, static_cast<std::uint32_t>(states_.size() - 1));
    return states_.size() - 1;
  }
  template <typename... R>
  Calls::Pos Hold(Kind kind, int n, const R&... a) {
    polyOpen_ = false;  // a polyline ends with the next call
    const Calls::Pos at = calls_.Add(kind, StateNow(), n, a...);
    if (!IsPrimitive(kind) || layout_.open >= 0) layout_.Note(kind, {}, at, calls_.End());
    return at;
  }
  // A call with a text (a text, a block name).
  template <typename... R>
  void HoldNamed(Kind kind, std::string_view text, const R&... a) {
    polyOpen_ = false;
    const Calls::Pos at = calls_.Add(kind, StateNow(), 0, a...);
    calls_.LastMore().text = std::string(text);
    layout_.Note(kind, text, at, calls_.End());
  }

  bool IsMark(const Call& c) const { return states_[c.state].CadMarkLevel > 0; }

  // The box of a text call, placed.
  TextBox Box(const Call& c, const Placement* p) const {
    const CadState& st = states_[c.state];
    const std::string& t = c.text();
    const Real cw = st.CadTextHeight * st.CadTextWidthFactor;
    Real u0, u1;
    InkSpan(t, u0, u1);
    u0 *= cw, u1 *= cw;
    Real h = st.CadTextHeight, x = c.a[0], y = c.a[1], angle = st.CadTextAngle;
    if (p) {
      const Real s = std::sqrt(std::fabs(p->t.sx * p->t.sy));
      u0 *= s, u1 *= s, h *= s;
      p->Point(c.a[0], c.a[1], x, y);
      angle += p->t.angle;
    }
    return TextBox::Make(x, y, angle, u0, u1, h);
  }

  Cut CutOf(const Call& c, const TextIndex& index) const {
    Cut out;
    if (index.Empty() || IsMark(c)) return out;
    const Real* a = c.a;
    bool cut = false;
    Intervals parts;
    switch (c.kind) {
      case Kind::Line: parts = LinePieces(index, a[0], a[1], a[2], a[3], cut); break;
      case Kind::Circle: parts = ArcPieces(index, a[0], a[1], 0, 360, a[2], cut); break;
      case Kind::Arc: parts = ArcPieces(index, a[0], a[1], a[2], Sweep(a[2], a[3]), a[4], cut); break;
      case Kind::Polyline:
        for (const PolySegment& s : Segments(c)) {
          bool one = false;
          out.parts.push_back(s.arc ? ArcPieces(index, s.xc, s.yc, s.start, Sweep(s.start, s.end), s.r, one)
                                    : LinePieces(index, s.x1, s.y1, s.x2, s.y2, one));
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
    for (const auto& [a, b] : parts) inner_->Arc(x, y, start + sweep * a, start + sweep * b, r);
  }
  void DrawLineParts(Real x1, Real y1, Real x2, Real y2, const Intervals& parts) {
    for (const auto& [a, b] : parts)
      inner_->Line(x1 + a * (x2 - x1), y1 + a * (y2 - y1), x1 + b * (x2 - x1), y1 + b * (y2 - y1));
  }

  // Draws the primitive as the cut leaves it.
  void Draw(const Call& c, const Cut& cut) {
    const Real* a = c.a;
    switch (c.kind) {
      case Kind::Line:
        if (cut.whole) inner_->Line(a[0], a[1], a[2], a[3]);
        else DrawLineParts(a[0], a[1], a[2], a[3], cut.parts[0]);
        break;
      case Kind::Circle:
        if (cut.whole) inner_->Circle(a[0], a[1], a[2]);
        else DrawArcParts(a[0], a[1], 0, 360, a[2], cut.parts[0]);
        break;
      case Kind::Arc:
        if (cut.whole) inner_->Arc(a[0], a[1], a[2], a[3], a[4]);
        else DrawArcParts(a[0], a[1], a[2], Sweep(a[2], a[3]), a[4], cut.parts[0]);
        break;
      case Kind::Polyline: {
        if (cut.whole) {
          inner_->BeginPolyline(c.n);
          for (const PolyVertex& p : c.vertices()) inner_->Vertex(p.x, p.y, p.bulge);
          inner_->EndPolyline();
          break;
        }
        // A polyline a text crosses is drawn as its lines and arcs.
        const std::vector<PolySegment> segments = Segments(c);
        for (std::size_t i = 0; i < segments.size() && i < cut.parts.size(); ++i) {
          const PolySegment& s = segments[i];
          if (s.arc) DrawArcParts(s.xc, s.yc, s.start, Sweep(s.start, s.end), s.r, cut.parts[i]);
          else DrawLineParts(s.x1, s.y1, s.x2, s.y2, cut.parts[i]);
        }
        break;
      }
      default: break;
    }
  }

  // Draws a line as the texts leave it (a mark whole).
  __attribute__((always_inline)) void DrawLine(const Real* a, const TextIndex& sheet, bool mark) {
    if (mark || !sheet.MayCrossACoreLine(a[0], a[1], a[2], a[3])) return inner_->Line(a[0], a[1], a[2], a[3]);
    bool cut = false;
    const Intervals parts = LinePieces(sheet, a[0], a[1], a[2], a[3], cut);
    if (cut) DrawLineParts(a[0], a[1], a[2], a[3], parts);
    else inner_->Line(a[0], a[1], a[2], a[3]);
  }

  void Replay(const Call& c) {
    const Real* a = c.a;
    switch (c.kind) {
      case Kind::Layer: inner_->SetLayer(c.n); break;
      case Kind::TextStyle: inner_->TextStyle(c.n, a[0], a[1], a[2]); break;
      case Kind::LineStyle: inner_->ScreenLineStyle(c.n); break;
      case Kind::Text: inner_->Text(c.text(), a[0], a[1]); break;
      case Kind::Solid: inner_->Solid(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7]); break;
      case Kind::Insert: inner_->Insert(c.text(), a[0], a[1], a[2], a[3], a[4]); break;
      case Kind::Header: inner_->Header(a[0], a[1], a[2], a[3]); break;
      case Kind::Tables: inner_->Tables(c.n); break;
      case Kind::BeginBlocks: inner_->BeginBlocks(); break;
      case Kind::BeginBlock: inner_->BeginBlock(c.text()); break;
      case Kind::EndBlock: inner_->EndBlock(); break;
      case Kind::EndSection: inner_->EndSection(); break;
      case Kind::BeginEntities: inner_->BeginEntities(); break;
      default: break;
    }
  }

  // The steps of drawing what is held.
  void PlaceBlocks(const Calls& calls);
  TextIndex SheetTexts(const Calls& calls) const;
  BlockCuts CutBlocks(const Calls& calls, const TextIndex& sheet) const;
  void DrawCalls(const Calls& calls, const TextIndex& sheet, const BlockCuts& blockCuts);
  void DrawAtInsert(const Call& insert, const std::vector<std::pair<Call, Cut>>& placed);
  void Use(std::uint32_t state) {
    if (state != current_) TakeDrawingFields(cad_, states_[current_ = state]);
  }

  std::unique_ptr<CadOutput> inner_;
  bool expandsInserts_;
  CadState& cad_ = Cad();  // the one drawing state
  std::uint32_t current_ = ~0u;  // the state the calls drawn now were given in
  Calls calls_;
  std::vector<CadState> states_;
  std::unordered_multimap<std::size_t, std::uint32_t> stateKeys_;  // StateKey: index in states_
  Layout layout_;
  std::size_t last_ = 0;  // the state of the last call held
  const CadState* lastState_ = nullptr;  // states_[last_] once a call is held
  // CadLayerRevision and CadStyleRevision when the state's layer and style
  // were last found those of states_[last_].
  std::uint64_t layerSeen_ = 0, styleSeen_ = 0;
  std::array<std::uint32_t, 32> byLayer_;  // the state last held on a layer (by its number's rest)
  std::array<std::uint64_t, 32> styleOnLayer_{};  // CadStyleRevision when byLayer_'s style was last found the state's
  Calls::Pos poly_ = 0;  // the polyline being given its vertices while polyOpen_
  bool polyOpen_ = false;
};

// The storage of the last sheet's text boxes, kept for the next (up to a
// few megabytes): memory first touched costs more than the boxes.
std::vector<TextBox>& SpareBoxes() {
  thread_local std::vector<TextBox> spare;
  return spare;
}

void KeepSpareBoxes(std::vector<TextBox> boxes) {
  constexpr std::size_t kMaxKept = (8u << 20) / sizeof(TextBox);
  if (boxes.capacity() > kMaxKept || boxes.capacity() <= SpareBoxes().capacity()) return;
  boxes.clear();
  SpareBoxes() = std::move(boxes);
}

void HeldOutput::Flush() {
  if (calls_.empty()) return;
  // An open polyline stays held: its vertices are still to come.
  const bool polyOpen = polyOpen_;
  int polyFlags = 0;
  CallMore polyMore;
  CadState polyState;
  if (polyOpen) {
    const Call open = calls_.At(poly_);
    polyFlags = open.n;
    polyMore = std::move(calls_.MoreAt(poly_));
    polyState = states_[open.state];
    calls_.DropLast(poly_);
  }
  Calls calls;
  calls.swap(calls_);
  const CadState now = Cad();
  PlaceBlocks(calls);
  TextIndex sheet = SheetTexts(calls);
  DrawCalls(calls, sheet, CutBlocks(calls, sheet));
  KeepSpareBoxes(std::move(sheet).TakeBoxes());
  Cad() = now;
  CadLayerWritten();
  CadStyleWritten();
  layout_ = Layout{};
  states_.clear();
  stateKeys_.clear();
  byLayer_.fill(~0u);
  last_ = 0;
  lastState_ = nullptr;
  if (polyOpen) {
    states_.push_back(polyState);
    stateKeys_.emplace(StateKey(polyState), 0);
    poly_ = calls_.Add(Kind::Polyline, 0, polyFlags);
    calls_.LastMore() = std::move(polyMore);
    polyOpen_ = true;
  }
}

// Where each block is placed on the sheet: by the entities' inserts, then
// by the inserts of a placed block (four levels, as the screen expands
// them).
void HeldOutput::PlaceBlocks(const Calls& calls) {
  const bool scales = inner_->ScalesInserts();
  std::vector<std::pair<int, Placement>> work;
  for (const auto& [i, in] : layout_.inserts) {
    const Call insert = calls.At(i);
    const auto found = layout_.named.find(insert.text());
    if (in != -1 || found == layout_.named.end()) continue;
    const Real* a = insert.a;
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
      layout_.blocks[static_cast<std::size_t>(b)].placements.push_back(p);
      for (const auto& [i, in] : layout_.inserts) {
        if (in != b) continue;
        const Call insert = calls.At(i);
        const auto found = layout_.named.find(insert.text());
        if (found == layout_.named.end()) continue;
        const Real* a = insert.a;
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
}

// The sheet's texts: the entities' and those of every placed block.
TextIndex HeldOutput::SheetTexts(const Calls& calls) const {
  std::vector<TextBox> boxes = std::exchange(SpareBoxes(), {});
  boxes.reserve(layout_.texts.size());
  for (const auto& [i, in] : layout_.texts) {
    if (in < 0) {
      if (const TextBox b = Box(calls.At(i), nullptr); b.Usable()) boxes.push_back(b);
      continue;
    }
    for (const Placement& p : layout_.blocks[static_cast<std::size_t>(in)].placements)
      if (const TextBox b = Box(calls.At(i), &p); b.Usable()) boxes.push_back(b);
  }
  return TextIndex(std::move(boxes));
}

// What the texts leave of each primitive of a block: the sheet's texts at
// each placement, its own texts for a block placed nowhere.
BlockCuts HeldOutput::CutBlocks(const Calls& calls, const TextIndex& sheet) const {
  BlockCuts out;
  for (std::size_t n = 0; n < layout_.blocks.size(); ++n) {
    const Block& b = layout_.blocks[n];
    TextIndex own;
    if (b.placements.empty()) {
      std::vector<TextBox> local;
      for (const auto& [i, in] : layout_.texts)
        if (in == static_cast<int>(n))
          if (const TextBox t = Box(calls.At(i), nullptr); t.Usable()) local.push_back(t);
      own = TextIndex(std::move(local));
    }
    for (Calls::Pos i = b.begin; i < b.end; i = calls.Next(i)) {
      const Call c = calls.At(i);
      if (!IsPrimitive(c.kind)) continue;
      if (b.placements.empty()) {
        if (Cut cut = CutOf(c, own); !cut.whole) out.cut.emplace(i, std::move(cut));
        continue;
      }
      std::vector<std::pair<Call, Cut>> each;
      for (const Placement& p : b.placements) {
        Call at = Placed(c, p);
        Cut cut = CutOf(at, sheet);
        each.emplace_back(std::move(at), std::move(cut));
      }
      if (std::all_of(each.begin(), each.end(), [&](const auto& k) { return k.second == each[0].second; })) {
        if (!each[0].second.whole) out.cut.emplace(i, std::move(each[0].second));
        continue;
      }
      out.left.insert(i);
      for (std::size_t k = 0; k < each.size(); ++k) out.atInsert[b.placements[k].root].push_back(std::move(each[k]));
    }
  }
  return out;
}

void HeldOutput::DrawCalls(const Calls& calls, const TextIndex& sheet, const BlockCuts& blockCuts) {
  current_ = ~0u;
  const Cut whole;
  bool inBlock = false;
  for (Calls::Pos i = calls.Begin(); i != calls.End();) {
    // Most of a view: lines, circles, arcs and layers, read without the
    // rest of a call; a circle or arc that no text's core comes near is
    // drawn whole.
    Real a[kCallReals];
    std::uint32_t state = 0;
    int n = 0;
    if (!inBlock) {
      if (calls.ReadPlain<Kind::Line>(i, state, a)) {
        Use(state);
        DrawLine(a, sheet, cad_.CadMarkLevel > 0);
        continue;
      }
      const Calls::Pos at = i;
      if (calls.ReadPlain<Kind::Circle>(i, state, a)) {
        if (states_[state].CadMarkLevel > 0 || !sheet.MayCrossACore(a[0] - a[2], a[1] - a[2], a[0] + a[2], a[1] + a[2])) {
          Use(state);
          inner_->Circle(a[0], a[1], a[2]);
          continue;
        }
        i = at;
      } else if (calls.ReadPlain<Kind::Arc>(i, state, a)) {
        if (states_[state].CadMarkLevel > 0 || !sheet.MayCrossACore(a[0] - a[4], a[1] - a[4], a[0] + a[4], a[1] + a[4])) {
          Use(state);
          inner_->Arc(a[0], a[1], a[2], a[3], a[4]);
          continue;
        }
        i = at;
      }
    }
    if (calls.ReadLayer(i, state, n)) {
      Use(state);
      inner_->SetLayer(n);
      continue;
    }
    const Calls::Pos at = i;
    i = calls.Next(i);
    const Call c = calls.At(at);
    if (c.kind == Kind::BeginBlock) inBlock = true;
    else if (c.kind == Kind::EndBlock || c.kind == Kind::EndSection || c.kind == Kind::BeginEntities) inBlock = false;
    if (IsPrimitive(c.kind)) {
      if (!inBlock) {
        Use(c.state);
        Draw(c, CutOf(c, sheet));
      } else if (!blockCuts.left.count(at)) {
        Use(c.state);
        const auto found = blockCuts.cut.find(at);
        Draw(c, found == blockCuts.cut.end() ? whole : found->second);
      }
      continue;
    }
    Use(c.state);
    Replay(c);
    if (c.kind != Kind::Insert || blockCuts.atInsert.empty()) continue;
    if (const auto found = blockCuts.atInsert.find(at); found != blockCuts.atInsert.end())
      DrawAtInsert(c, found->second);
  }
}

// A block's primitives drawn at the placement of an insert, each on its own
// layer (layer 0 takes the insert's, as in the block).
void HeldOutput::DrawAtInsert(const Call& insert, const std::vector<std::pair<Call, Cut>>& placed) {
  const CadState& insertState = states_[insert.state];
  int layer = insertState.CadLayer;
  for (const auto& [p, cut] : placed) {
    Cad() = states_[current_ = p.state];
    if (Cad().CadDxfLayerName == "0") {
      Cad().CadLayer = insertState.CadLayer;
      Cad().CadDxfLayerName = insertState.CadDxfLayerName;
    }
    if (Cad().CadLayer != layer) inner_->SetLayer(layer = Cad().CadLayer);
    Draw(p, cut);
  }
  Use(insert.state);
  if (layer != insertState.CadLayer) inner_->SetLayer(insertState.CadLayer);
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
