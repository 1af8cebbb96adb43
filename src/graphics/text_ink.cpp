#include "graphics/text_ink.h"

#include <algorithm>
#include <array>

#include "graphics/cad.h"

namespace zeb::cad_detail {

namespace {

// Advances of the printable ASCII characters, in thousandths of the em of
// a Helvetica-metric face (Arial, Liberation Sans).
constexpr std::array<unsigned short, 95> kAdvance = {
    278, 278, 355, 556, 556, 889, 667, 191, 333, 333, 389, 584, 278, 333, 278, 278,   //  !"#$%&'()*+,-./
    556, 556, 556, 556, 556, 556, 556, 556, 556, 556, 278, 278, 584, 584, 584, 556,   // 0-9 :;<=>?
    1015, 667, 667, 722, 722, 667, 611, 778, 722, 278, 500, 667, 556, 833, 722, 778,  // @A-O
    667, 778, 722, 667, 611, 722, 667, 944, 667, 667, 611, 278, 278, 278, 469, 556,   // P-Z [\]^_
    333, 556, 556, 500, 556, 556, 278, 556, 556, 222, 222, 500, 222, 833, 556, 556,   // `a-o
    556, 556, 333, 500, 278, 556, 500, 722, 500, 500, 500, 334, 260, 334, 584};       // p-z {|}~

// Cells per em: the screen stretches its face until an average character
// is a cell wide (about 0.57 em); a wider character (W, M, m) takes more
// than its cell, as every CAD program's face draws it too.
constexpr Real kCellsPerEm = 1.75L;

// The advance of every byte in cells: accented and drawing characters take
// a whole cell.
const std::array<Real, 256>& Advances() {
  static const std::array<Real, 256> cells = [] {
    std::array<Real, 256> a{};
    for (std::size_t c = 0; c < a.size(); ++c) a[c] = c < 32 || c > 126 ? 1 : kAdvance[c - 32] * kCellsPerEm / 1000;
    return a;
  }();
  return cells;
}

}  // namespace

Real InkAdvance(unsigned char c) { return Advances()[c]; }

void InkSpan(std::string_view text, Real& from, Real& to) {
  from = to = 0;
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return;
  const std::size_t end = text.find_last_not_of(' ') + 1;
  const std::array<Real, 256>& cells = Advances();
  from = static_cast<Real>(first) * cells[' '];
  to = from;
  for (std::size_t k = first; k < end; ++k) to += cells[static_cast<unsigned char>(text[k])];
}

}  // namespace zeb::cad_detail

namespace zeb {

void CadTextInk(std::string_view text, Real& from, Real& to) {
  cad_detail::InkSpan(text, from, to);
  const Real cw = Cad().CadTextHeight * Cad().CadTextWidthFactor;
  from *= cw, to *= cw;
}

}  // namespace zeb
