// Texts fitted to their fields: narrowed or cut (CadTextFit), or kept
// whole over the lines a field has (CadLayoutText).
#include <algorithm>
#include <cmath>
#include <string>

#include "graphics/cad.h"
#include "graphics/cadsettings.h"

namespace zeb {

namespace {

// Narrowest share of a style's width before a line is broken or cut.
constexpr Real kNarrowest = 0.7L;

std::size_t ShownLength(std::string_view text) {
  const std::size_t last = text.find_last_not_of(' ');
  return last == std::string_view::npos ? 0 : last + 1;
}

// How wide the text stands in the current style: its cells, or its ink
// where the face draws it wider (W, M, m).
Real ShownWidth(std::string_view text, Real cw) {
  Real from, to;
  CadTextInk(text, from, to);
  return std::max(static_cast<Real>(ShownLength(text)) * cw, to);
}

// Writes texts narrowed to a share of the style's width and sets the style
// found back when it goes: font, angle, height and width as they were.
class NarrowStyle {
 public:
  explicit NarrowStyle(Real factor) {
    const CadState& st = Cad();
    font_ = st.CadTextFont, angle_ = st.CadTextAngle, height_ = st.CadTextHeight, width_ = st.CadTextWidth;
    factor_ = st.CadTextWidthFactor, oblique_ = st.CadTextOblique;
    const Real k = CadSettings().CadTextFactor;
    if (factor == 1 || !(k > 0)) return;
    narrowed_ = true;
    CadTextStyle(font_, angle_, height_, factor_ * factor * height_ / k);
  }
  ~NarrowStyle() {
    if (!narrowed_) return;
    CadTextStyle(font_, angle_, height_, width_);
    CadState& st = Cad();
    st.CadTextHeight = height_, st.CadTextWidthFactor = factor_;
    st.CadTextAngle = angle_, st.CadTextOblique = oblique_;
    CadStyleWritten();
  }
  NarrowStyle(const NarrowStyle&) = delete;
  NarrowStyle& operator=(const NarrowStyle&) = delete;

 private:
  std::int32_t font_ = 2;
  Real angle_ = 0, height_ = 0, width_ = 0, factor_ = 0, oblique_ = 0;
  bool narrowed_ = false;
};

// Lines of at most `room` characters, broken after the last blank that
// lets a line hold most, inside a word only where a line has no blank.
// Blanks at the breaks are dropped.
std::vector<std::string> WrapWords(std::string_view text, std::size_t room) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  const std::size_t n = text.size();
  while (at < n) {
    if (!lines.empty()) at = std::min(text.find_first_not_of(' ', at), n);
    if (at >= n) break;
    std::size_t end = n;
    if (n - at > room) {
      end = at + room;
      if (text[end] != ' ') {
        const std::size_t blank = text.rfind(' ', end);
        if (blank != std::string_view::npos && blank > at) end = blank;
      }
    }
    const std::string_view line = text.substr(at, end - at);
    lines.emplace_back(line.substr(0, ShownLength(line)));
    at = end;
  }
  return lines;
}

// The same without regard to words.
std::vector<std::string> WrapCharacters(std::string_view text, std::size_t room) {
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < text.size();) {
    if (!lines.empty()) at = std::min(text.find_first_not_of(' ', at), text.size());
    if (at >= text.size()) break;
    const std::string_view line = text.substr(at, room);
    lines.emplace_back(line.substr(0, ShownLength(line)));
    at += room;
  }
  return lines;
}

Real Widest(const std::vector<std::string>& lines, Real cw) {
  Real most = 0;
  for (const std::string& l : lines) most = std::max(most, ShownWidth(l, cw));
  return most;
}

}  // namespace

void CadSetTextLineField(Real width) { Cad().CadTextLineField = std::isfinite(width) && width > 0 ? width : 0; }

std::string CadFitText(std::string_view text, Real width, Real& factor) {
  const CadState& st = Cad();
  factor = 1;
  const std::size_t shown = ShownLength(text);
  const Real cw = st.CadTextHeight * st.CadTextWidthFactor;
  const Real need = ShownWidth(text, cw);
  if (shown == 0 || !(cw > 0) || !std::isfinite(width) || need <= width) return std::string(text);
  factor = std::max(kNarrowest, width / need);
  if (need * factor <= width) return std::string(text.substr(0, shown));
  // Cut: as many characters as fit, the last three of them dots (the CAD
  // code pages have no ellipsis character).
  auto most = static_cast<std::size_t>(std::max<Real>(0, width / (cw * factor)));
  auto cut = [&] { return most > 3 ? std::string(text.substr(0, most - 3)) + "..." : std::string(text.substr(0, most)); };
  while (most > 0 && ShownWidth(cut(), cw) * factor > width) --most;
  return cut();
}

void CadTextFit(std::string_view text, Real x, Real y, Real width) {
  Real factor = 1;
  const std::string fitted = CadFitText(text, width, factor);
  const NarrowStyle style(factor);
  CadText(fitted, x, y);
}

void CadTextLineFit(std::string_view text, Real width) {
  if (text.empty()) return;
  CadState& st = Cad();
  const Real field = st.CadTextLineField;
  CadSetTextLineField(width);
  CadTextLine(text);
  st.CadTextLineField = field;
}

CadTextLayout CadLayoutText(std::string_view text, Real width, int lines) {
  CadTextLayout out;
  const std::string_view t = text.substr(0, ShownLength(text));
  if (t.empty()) return out;
  const CadState& st = Cad();
  const Real cw = st.CadTextHeight * st.CadTextWidthFactor;
  const Real n = ShownWidth(t, cw);
  if (!(cw > 0) || !std::isfinite(width) || n <= width) {
    // As it is, blanks at its end too (as CadTextFit writes it).
    out.lines.emplace_back(text);
    return out;
  }
  if (n * kNarrowest <= width) {
    out.lines.emplace_back(t);
    out.factor = width / n;
    return out;
  }
  const std::size_t most = static_cast<std::size_t>(std::max(1, lines));
  // Characters a line holds at a share of the style's width.
  auto room = [&](Real share) { return static_cast<std::size_t>(std::max<Real>(0, width / (cw * share) + 1e-9L)); };
  auto take = [&](std::vector<std::string> wrapped) {
    out.lines = std::move(wrapped);
    out.factor = std::min<Real>(1, width / Widest(out.lines, cw));
    return out;
  };
  // The fewest lines at down to 70 % of the width, then at down to the
  // readable width factor.
  const Real least = std::min(kNarrowest, kCadNarrowestWidthFactor / st.CadTextWidthFactor);
  for (const Real share : {kNarrowest, least}) {
    const std::size_t widest = room(share);
    for (std::size_t count = 1; count <= most; ++count) {
      for (std::size_t r = std::max<std::size_t>(1, room(1)); r <= widest; ++r) {
        std::vector<std::string> wrapped = WrapWords(t, r);
        if (wrapped.size() <= count && Widest(wrapped, cw) * share <= width + 1e-9L) return take(std::move(wrapped));
      }
    }
  }
  const std::size_t widest = std::max<std::size_t>(1, room(least));
  std::vector<std::string> wrapped = WrapCharacters(t, widest);
  if (wrapped.size() <= most) return take(std::move(wrapped));
  // Beyond what the field holds: cut, the last line ending in dots.
  wrapped.resize(most);
  std::string& last = wrapped.back();
  last = (widest > 3 ? last.substr(0, std::min(last.size(), widest - 3)) : std::string()) + "...";
  out.cut = true;
  return take(std::move(wrapped));
}

void CadDrawLayout(const CadTextLayout& layout, Real x, Real y, Real pitch) {
  const NarrowStyle style(layout.factor);
  for (const std::string& line : layout.lines) {
    CadText(line, x, y);
    y -= pitch;
  }
}

int CadTextWhole(std::string_view text, Real x, Real y, Real width, int lines, Real pitch) {
  const CadTextLayout layout = CadLayoutText(text, width, lines);
  if (!(pitch > 0)) pitch = 1.6L * Cad().CadTextHeight * Cad().CadLineSpacing;
  CadDrawLayout(layout, x, y, pitch);
  return static_cast<int>(layout.lines.size());
}

void CadTextLineWhole(std::string_view text, Real width, int lines) {
  if (text.empty()) return;
  const CadTextLayout layout = CadLayoutText(text, width, lines);
  // A line of blanks only moves the cursor, as CadTextLine does.
  if (layout.lines.empty()) {
    CadTextLine(text);
    return;
  }
  CadState& st = Cad();
  const Real pitch = 1.6L * st.CadTextHeight * st.CadLineSpacing;
  CadDrawLayout(layout, st.CadCurrentPoint.x, st.CadCurrentPoint.y, pitch);
  st.CadCurrentPoint.y -= pitch * static_cast<Real>(layout.lines.size());
}

}  // namespace zeb
