// The calls of an output run held back until its texts are known: each with
// the index of the drawing state it was given in.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <iterator>
#include <initializer_list>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "base/types.h"

namespace zeb::cad_detail {

enum class Kind : std::uint8_t {
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

inline bool IsPrimitive(Kind k) {
  return k == Kind::Line || k == Kind::Circle || k == Kind::Arc || k == Kind::Polyline;
}

struct PolyVertex {
  Real x, y, bulge;
};

// A call as read back: its kind, the drawing state it was given in, its
// number (layer, font, flags), up to eight reals (a solid's corners), and
// its text and vertices (a text, a block name, a polyline's vertices).
constexpr std::size_t kCallReals = 8;
struct CallMore {
  std::string text;
  std::vector<PolyVertex> vertices;
};
struct Call {
  Kind kind = Kind::Layer;
  std::uint32_t state = 0;
  int n = 0;
  Real a[kCallReals];  // as many as its kind has
  const CallMore* more = nullptr;
  std::shared_ptr<CallMore> own;  // the text and vertices of a copy changed after reading

  const std::string& text() const { return more ? more->text : None().text; }
  const std::vector<PolyVertex>& vertices() const { return more ? more->vertices : None().vertices; }
  // Its own text and vertices, to change.
  CallMore& Own() {
    own = std::make_shared<CallMore>(more ? *more : CallMore{});
    more = own.get();
    return *own;
  }
  static const CallMore& None() {
    static const CallMore none;
    return none;
  }
};

// The held calls, packed: a view of many coils holds tens of thousands, and
// memory first touched costs more than the rule's geometry. A call is a
// kind and state, its number and the index of its text where its kind has
// them, and the ten bytes of each of its reals, in chunks that never move.
class Calls {
 public:
  using Pos = std::size_t;  // where a call lies; the calls lie in the order held

  // Appends a call. Its reals are copied as bytes: an x87 real passed on
  // costs a slow store each time.
  template <typename... R>
  Pos Add(Kind kind, std::uint32_t state, int n, const R&... values) {
    static_assert((std::is_same_v<R, Real> && ...));
    const Shape s = ShapeOf(kind);
    const std::size_t size = 5 + (s.number ? 4 : 0) + (s.more ? 4 : 0) + 10 * s.reals;
    if (chunks_.empty() || used_.back() + size > kChunk) {
      chunks_.emplace_back(new unsigned char[kChunk]);
      used_.push_back(0);
    }
    const Pos at = (chunks_.size() - 1) * kChunk + used_.back();
    unsigned char* p = chunks_.back().get() + used_.back();
    used_.back() += size;
    *p++ = static_cast<unsigned char>(kind);
    p = Put(p, state);
    if (s.number) p = Put(p, static_cast<std::uint32_t>(n));
    if (s.more) {
      p = Put(p, static_cast<std::uint32_t>(more_.size()));
      more_.emplace_back();
    }
    std::size_t given = 0;
    ((given < s.reals ? (std::memcpy(p + 10 * given++, &values, 10), 0) : 0), ...);
    if (given < s.reals) std::memset(p + 10 * given, 0, 10 * (s.reals - given));
    ++count_;
    end_ = at + size;
    return at;
  }
  // Appends a line, circle or arc (most of a view): as Add, with its shape
  // known.
  template <Kind kind, typename... R>
  Pos AddPlain(std::uint32_t state, const R&... values) {
    static_assert(!ShapeOf(kind).number && !ShapeOf(kind).more && ShapeOf(kind).reals == sizeof...(R));
    constexpr std::size_t size = 5 + 10 * sizeof...(R);
    if (chunks_.empty() || used_.back() + size > kChunk) return Add(kind, state, 0, values...);
    std::size_t& used = used_.back();
    const Pos at = (chunks_.size() - 1) * kChunk + used;
    unsigned char* p = chunks_.back().get() + used;
    used += size;
    *p = static_cast<unsigned char>(kind);
    std::memcpy(p + 1, &state, 4);
    p += 5;
    ((std::memcpy(p, &values, 10), p += 10), ...);
    ++count_;
    end_ = at + size;
    return at;
  }
  // Appends a layer call, as Add.
  Pos AddLayer(std::uint32_t state, int n) {
    if (chunks_.empty() || used_.back() + kLayerSize > kChunk) return Add(Kind::Layer, state, n);
    std::size_t& used = used_.back();
    const Pos at = (chunks_.size() - 1) * kChunk + used;
    unsigned char* p = chunks_.back().get() + used;
    used += kLayerSize;
    *p = static_cast<unsigned char>(Kind::Layer);
    std::memcpy(p + 1, &state, 4);
    std::memcpy(p + 5, &n, 4);
    ++count_;
    end_ = at + kLayerSize;
    return at;
  }
  // The text and vertices of the last call of a kind that has them.
  CallMore& LastMore() { return more_.back(); }
  CallMore& MoreAt(Pos at) {
    const unsigned char* p = Record(at);
    std::uint32_t i = 0;
    std::memcpy(&i, p + 5 + (ShapeOf(static_cast<Kind>(*p)).number ? 4 : 0), 4);
    return more_[i];
  }

  Call At(Pos at) const {
    const unsigned char* p = Record(at);
    Call c;
    c.kind = static_cast<Kind>(*p++);
    const Shape s = ShapeOf(c.kind);
    std::memcpy(&c.state, p, 4), p += 4;
    if (s.number) {
      std::uint32_t n = 0;
      std::memcpy(&n, p, 4), p += 4;
      c.n = static_cast<int>(n);
    }
    if (s.more) {
      std::uint32_t i = 0;
      std::memcpy(&i, p, 4), p += 4;
      c.more = &more_[i];
    }
    std::memset(c.a, 0, sizeof c.a);
    for (std::size_t i = 0; i < s.reals; ++i, p += 10) std::memcpy(&c.a[i], p, 10);
    return c;
  }
  // For a call at `at` of the kind asked, one without number, text or
  // vertices (a line, circle or arc): its state and reals, and `at` moved
  // to the call after it; false for any other kind.
  template <Kind kind>
  bool ReadPlain(Pos& at, std::uint32_t& state, Real* a) const {
    const std::size_t chunk = at / kChunk;
    const unsigned char* p = chunks_[chunk].get() + at % kChunk;
    if (static_cast<Kind>(*p) != kind) return false;
    std::memcpy(&state, p + 1, 4);
    constexpr std::size_t reals = ShapeOf(kind).reals;
#pragma GCC unroll 5
    for (std::size_t i = 0; i < reals; ++i) std::memcpy(&a[i], p + 5 + 10 * i, 10);
    const Pos next = at + 5 + 10 * reals;
    at = next - chunk * kChunk < used_[chunk] || next == end_ ? next : (chunk + 1) * kChunk;
    return true;
  }
  // As ReadPlain, for a layer call and its number.
  bool ReadLayer(Pos& at, std::uint32_t& state, int& n) const {
    const std::size_t chunk = at / kChunk;
    const unsigned char* p = chunks_[chunk].get() + at % kChunk;
    if (static_cast<Kind>(*p) != Kind::Layer) return false;
    std::memcpy(&state, p + 1, 4);
    std::memcpy(&n, p + 5, 4);
    const Pos next = at + kLayerSize;
    at = next - chunk * kChunk < used_[chunk] || next == end_ ? next : (chunk + 1) * kChunk;
    return true;
  }
  // The call after the one at `at`.
  Pos Next(Pos at) const {
    const Shape s = ShapeOf(static_cast<Kind>(*Record(at)));
    const Pos next = at + 5 + (s.number ? 4 : 0) + (s.more ? 4 : 0) + 10 * s.reals;
    const std::size_t chunk = at / kChunk;
    return next - chunk * kChunk < used_[chunk] || next == end_ ? next : (chunk + 1) * kChunk;
  }
  Pos Begin() const { return 0; }
  Pos End() const { return end_; }
  std::size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  void swap(Calls& o) noexcept {
    chunks_.swap(o.chunks_);
    used_.swap(o.used_);
    more_.swap(o.more_);
    std::swap(count_, o.count_);
    std::swap(end_, o.end_);
  }
  // Drops the last call, which lies at `at`.
  void DropLast(Pos at) {
    used_.back() = at - (chunks_.size() - 1) * kChunk;
    end_ = at;
    --count_;
    if (used_.back() == 0) {
      chunks_.pop_back();
      used_.pop_back();
      end_ = chunks_.empty() ? 0 : (chunks_.size() - 1) * kChunk + used_.back();
    }
  }

 private:
  struct Shape {
    bool number, more;
    std::size_t reals;
  };
  static constexpr Shape kShapes[] = {
      {true, false, 0},   // Layer
      {true, false, 3},   // TextStyle
      {true, false, 0},   // LineStyle
      {false, false, 4},  // Line
      {false, false, 3},  // Circle
      {false, false, 5},  // Arc
      {false, true, 2},   // Text
      {false, false, 8},  // Solid
      {false, true, 5},   // Insert
      {true, true, 0},    // Polyline
      {false, false, 4},  // Header
      {true, false, 0},   // Tables
      {false, false, 0},  // BeginBlocks
      {false, true, 0},   // BeginBlock
      {false, false, 0},  // EndBlock
      {false, false, 0},  // EndSection
      {false, false, 0},  // BeginEntities
  };
  static_assert(std::size(kShapes) == static_cast<std::size_t>(Kind::BeginEntities) + 1);
  static constexpr Shape ShapeOf(Kind k) { return kShapes[static_cast<std::size_t>(k)]; }
  static unsigned char* Put(unsigned char* p, std::uint32_t v) {
    std::memcpy(p, &v, 4);
    return p + 4;
  }
  const unsigned char* Record(Pos at) const { return chunks_[at / kChunk].get() + at % kChunk; }

  static constexpr std::size_t kChunk = 1 << 16;
  static constexpr std::size_t kLayerSize = 5 + 4;
  std::vector<std::unique_ptr<unsigned char[]>> chunks_;
  std::vector<std::size_t> used_;  // bytes used of each chunk
  std::deque<CallMore> more_;
  std::size_t count_ = 0;
  Pos end_ = 0;
};

}  // namespace zeb::cad_detail
