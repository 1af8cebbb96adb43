// Where texts break lines: the boxes of a sheet's texts, found through a
// grid, and the pieces of a line or arc that they leave.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "base/types.h"

namespace zeb::cad_detail {

// Parts of a line or arc as shares of it, from its start.
using Intervals = std::vector<std::pair<Real, Real>>;

// a <= b for two reals rounded to double as da and db: told by the
// roundings where these differ (rounding keeps the order), else by
// exact(), which compares the reals.
template <typename Exact>
bool NoMore(double da, double db, Exact&& exact) {
  return da < db || (!(da > db) && exact());
}

// The box of a text in its own frame: u along the baseline from the anchor,
// v up; with its bounds on the sheet widened by the gap a broken line
// keeps, and the bounds of the core a line must cross to be broken (empty:
// none).
struct TextBox {
  double dx0 = 0, dy0 = 0, dx1 = 0, dy1 = 0;  // the bounds rounded to double, read first
  bool upright = true;  // unturned: its bounds are its widened box
  Real x = 0, y = 0, c = 1, s = 0;  // anchor, the cosine and sine of its angle
  Real u0 = 0, u1 = 0, h = 0;
  Real x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  Real cx0 = 0, cy0 = 0, cx1 = -1, cy1 = -1;

  // The box of the characters from u0 to u1 of a text of height h.
  static TextBox Make(Real x, Real y, Real angleDeg, Real u0, Real u1, Real h);
  bool Usable() const { return h > 0 && u1 > u0; }
  bool HasCore() const { return cx0 <= cx1; }
  void ToLocal(Real px, Real py, Real& u, Real& v) const {
    const Real dx = px - x, dy = py - y;
    u = dx * c + dy * s;
    v = -dx * s + dy * c;
  }
  // The gap around the box.
  Real Gap() const;
  // The core in the box's frame: the box less a hair, and less the rim at
  // its end where the box, counted as wide as its widest characters, may
  // well be empty.
  void Core(Real& cu0, Real& cv0, Real& cu1, Real& cv1) const;
};

// The text boxes in a grid of about as many cells as boxes.
class TextIndex {
 public:
  TextIndex() = default;
  explicit TextIndex(std::vector<TextBox> boxes);

  bool Empty() const { return boxes_.empty(); }
  // The boxes' storage, for the next index (memory first touched costs
  // more than the boxes).
  std::vector<TextBox> TakeBoxes() && { return std::move(boxes_); }
  // False when the bounds miss the core of every text: nothing there can be
  // broken (a dense view beside its texts).
  bool MayCrossACore(Real x0, Real y0, Real x1, Real y1) const {
    return x1 >= cx0_ && x0 <= cx1_ && y1 >= cy0_ && y0 <= cy1_;
  }

  // As MayCrossACore for the bounds of the line from (x1, y1) to (x2, y2),
  // told from its ends (most lines lie to one side of every core).
  bool MayCrossACoreLine(Real x1, Real y1, Real x2, Real y2) const {
    return (x1 >= cx0_ || x2 >= cx0_) && (x1 <= cx1_ || x2 <= cx1_) && (y1 >= cy0_ || y2 >= cy0_) &&
           (y1 <= cy1_ || y2 <= cy1_);
  }

  // True when every point of the rectangle lies in the core of a text (in a
  // cell of the grid that lies in one): whatever lies there is cut away
  // whole, and no text need be tried (texts piled on texts).
  bool CoversAll(Real x0, Real y0, Real x1, Real y1) const;

  // f(box) once for every box whose widened bounds meet the rectangle,
  // until f returns false.
  template <typename F>
  void Near(Real x0, Real y0, Real x1, Real y1, F&& f) const {
    if (boxes_.empty() || x1 < x0_ || x0 > x1_ || y1 < y0_ || y0 > y1_) return;
    const double qx0 = static_cast<double>(x0), qy0 = static_cast<double>(y0), qx1 = static_cast<double>(x1),
                 qy1 = static_cast<double>(y1);
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
          const Rounded& d = rounded_[n];
          const TextBox& b = boxes_[n];
          if (!NoMore(qx0, d.x1, [&] { return x0 <= b.x1; }) || !NoMore(d.x0, qx1, [&] { return b.x0 <= x1; }) ||
              !NoMore(qy0, d.y1, [&] { return y0 <= b.y1; }) || !NoMore(d.y0, qy1, [&] { return b.y0 <= y1; }))
            continue;
          if (!f(b)) return;
        }
      }
  }

 private:
  void Cells(Real x0, Real y0, Real x1, Real y1, int& i0, int& i1, int& j0, int& j1) const;

  std::vector<TextBox> boxes_;
  // The boxes' bounds rounded to double, side by side: most boxes near a
  // query are told from these alone.
  struct Rounded {
    double x0, y0, x1, y1;
  };
  std::vector<Rounded> rounded_;
  Real x0_ = 0, y0_ = 0, x1_ = 0, y1_ = 0, perCell_ = 1;
  Real cx0_ = 1e30L, cy0_ = 1e30L, cx1_ = -1e30L, cy1_ = -1e30L;  // the cores' bounds
  int nx_ = 0, ny_ = 0;
  std::vector<std::uint32_t> start_, items_;
  std::vector<char> covered_;  // a cell that lies in the core of a text
  mutable std::vector<std::uint32_t> seen_;
  mutable std::uint32_t tick_ = 0;
};

// The pieces of a line, or of an arc (degrees, counter-clockwise from
// start), that the texts leave. Every text the line crosses takes the part
// of it inside the text's widened box; a piece at an end shorter than a
// hair, or between two texts shorter than 0.8 of their height, goes too.
// cut is false (and nothing returned) when no text crosses it.
Intervals LinePieces(const TextIndex& index, Real x1, Real y1, Real x2, Real y2, bool& cut);
Intervals ArcPieces(const TextIndex& index, Real x, Real y, Real startDeg, Real sweepDeg, Real r, bool& cut);

}  // namespace zeb::cad_detail
