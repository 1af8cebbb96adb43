// Texts fitted to their fields: narrowed or cut (CadTextFit), or kept
// whole over the lines a field has (CadLayoutText).
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <charconv>
#include <string>

#include "base/format.h"
#include "graphics/cad.h"
#include "graphics/cad_internal.h"
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

bool Digit(char c) { return c >= '0' && c <= '9'; }

// Whether character i of the text belongs to a number: a digit, a point
// or comma between digits, an exponent's "E" and sign.
bool NumberPart(std::string_view t, std::size_t i) {
  const auto digit = [&t](std::size_t k) { return k < t.size() && Digit(t[k]); };
  const char c = t[i];
  if (Digit(c)) return true;
  if (c == '.' || c == ',') return i > 0 && digit(i - 1) && digit(i + 1);
  const auto sign = [&t](std::size_t k) { return k < t.size() && (t[k] == '-' || t[k] == '+'); };
  const auto exponent = [&t](std::size_t k) { return t[k] == 'E' || t[k] == 'e'; };
  if (exponent(i)) return i > 0 && digit(i - 1) && (digit(i + 1) || (sign(i + 1) && digit(i + 2)));
  if (sign(i)) return i > 1 && exponent(i - 1) && digit(i - 2) && digit(i + 1);
  return false;
}

// Where a text cut at `at` keeps no part of a number: `at`, or the start
// of the number the cut would fall into.
std::size_t CutClearOfNumbers(std::string_view t, std::size_t at) {
  if (at == 0 || at >= t.size() || !NumberPart(t, at) || !NumberPart(t, at - 1)) return at;
  while (at > 0 && NumberPart(t, at - 1)) --at;
  if (at > 0 && (t[at - 1] == '-' || t[at - 1] == '+')) --at;
  return at;
}

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
        if (blank != std::string_view::npos && blank > at)
          end = blank;
        else if (const std::size_t clear = CutClearOfNumbers(text, end); clear > at)
          end = clear;
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
    // A number that fits a line is not broken.
    std::size_t end = std::min(at + room, text.size());
    if (const std::size_t clear = CutClearOfNumbers(text, end); clear > at) end = clear;
    const std::string_view line = text.substr(at, end - at);
    lines.emplace_back(line.substr(0, ShownLength(line)));
    at = end;
  }
  return lines;
}

Real Widest(const std::vector<std::string>& lines, Real cw) {
  Real most = 0;
  for (const std::string& l : lines) most = std::max(most, ShownWidth(l, cw));
  return most;
}

}  // namespace

namespace {

// Where the number a text ends in (blanks after it aside) begins and ends:
// a sign, digits with one point or comma, an exponent. False when the text
// ends in no number.
bool TrailingNumber(std::string_view text, std::size_t& begin, std::size_t& end) {
  end = ShownLength(text);
  std::size_t i = end;
  auto digits = [&] {
    const std::size_t at = i;
    while (i > 0 && Digit(text[i - 1])) --i;
    return at - i;
  };
  if (digits() == 0) return false;
  if (i >= 2 && (text[i - 1] == 'E' || text[i - 1] == 'e' ||
                 ((text[i - 1] == '-' || text[i - 1] == '+') && (text[i - 2] == 'E' || text[i - 2] == 'e')))) {
    i -= text[i - 1] == 'E' || text[i - 1] == 'e' ? 1 : 2;
    if (digits() == 0 && !(i > 0 && (text[i - 1] == '.' || text[i - 1] == ','))) return false;
  }
  if (i > 0 && (text[i - 1] == '.' || text[i - 1] == ',')) {
    --i;
    if (digits() == 0) return false;
  }
  if (i > 0 && (text[i - 1] == '-' || text[i - 1] == '+')) --i;
  // A number, not the end of a word ("F1", "x2").
  if (i > 0 && (std::isalpha(static_cast<unsigned char>(text[i - 1])) || text[i - 1] == '_')) return false;
  begin = i;
  return true;
}

// v with the given decimals, or with an exponent and the given significant
// digits (exponent >= 0): "2.22E8", the point as given, whatever the
// process locale.
std::string NumberText(Real v, int decimals, int exponentDigits, char point) {
  std::string t;
  if (exponentDigits > 0) {
    char b[64];
    const auto r = std::to_chars(b, b + sizeof b, v, std::chars_format::scientific, exponentDigits - 1);
    if (r.ec != std::errc()) return "0";
    t.assign(b, r.ptr);
    const std::size_t e = t.find('e');
    std::string exp = t.substr(e + 1);
    const bool negative = exp[0] == '-';
    exp = exp.substr(exp.find_first_not_of("+-0") == std::string::npos ? exp.size() - 1 : exp.find_first_not_of("+-0"));
    t = t.substr(0, e) + "E" + (negative ? "-" : "") + exp;
  } else {
    t = cad_detail::FixedText(v, decimals);
  }
  if (point != '.') std::replace(t.begin(), t.end(), '.', point);
  return t;
}

// Significant digits a number text shows, from its first digit that is
// not 0 on ("0.0490": 3, "0.0": none).
int SignificantDigits(std::string_view number) {
  int n = 0;
  for (const char c : number.substr(0, number.find_first_of("Ee")))
    if (Digit(c) && (n > 0 || c != '0')) ++n;
  return n;
}

// Whether the digits of a number text from `at` on are a 5 and zeros: the
// text, itself rounded, lies on the halfway mark of a rounding there, and
// rounding it again might go the other way than its value does ("88363.05"
// of 88363.0512 is not "88363.0").
bool HalfwayFrom(std::string_view number, std::size_t at) {
  bool five = false;
  for (std::size_t i = at; i < number.size(); ++i) {
    if (!Digit(number[i])) continue;
    if (!five && number[i] != '5') return false;
    if (five && number[i] != '0') return false;
    five = true;
  }
  return five;
}

// The plain decimal `number` (its value v) written as short as its truth
// allows, or at `cells` characters where that is enough: every one of its
// significant digits kept, so only a number below 1 gets shorter, with an
// exponent ("0.000049" as "4.9E-5"); never rounded. A number with an
// exponent, or one without decimals, as it is.
std::string FaithfulNumber(std::string_view number, Real v, Real cells) {
  std::string best(number);
  const std::size_t mark = number.find_first_of(".,");
  if (mark == std::string_view::npos || number.find_first_of("Ee") != std::string_view::npos) return best;
  const char point = number[mark];
  const int keep = std::max(SignificantDigits(number), 1);
  auto fits = [cells](const std::string& t) { return static_cast<Real>(t.size()) <= cells + 1e-6L; };
  for (int k = static_cast<int>(number.size() - mark) - 2; k >= 0 && !fits(best); --k) {
    if (HalfwayFrom(number, mark + 1 + static_cast<std::size_t>(k))) continue;
    std::string t = NumberText(v, k, 0, point);
    if (v != 0 && SignificantDigits(t) < keep) break;
    if (t.size() < best.size()) best = std::move(t);
  }
  if (!fits(best) && v != 0 && std::fabs(v) < 1) {
    // Past the kept significant digits.
    std::size_t at = number.find_first_of("123456789");
    for (int n = 0; at < number.size() && n < keep; ++at) n += Digit(number[at]) ? 1 : 0;
    std::string t = NumberText(v, 0, keep, point);
    if (!HalfwayFrom(number, at) && t.find("E-") != std::string::npos && t.size() < best.size()) best = std::move(t);
  }
  return best;
}

// The text with each of its decimal numbers written as short as its truth
// allows (FaithfulNumber), a unit after it kept ("0.0045mm"). Digits that
// run on past a second point ("10.12.2025") or into an exponent are no
// number to shorten.
std::string ShortenNumbers(std::string_view text) {
  std::string out;
  std::size_t i = 0;
  // Digits glued to a word or number before them.
  auto joined = [&text](std::size_t at) {
    if (at == 0) return false;
    const char c = text[at - 1];
    return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == ',';
  };
  while (i < text.size()) {
    if (!Digit(text[i]) || joined(i)) {
      out += text[i++];
      continue;
    }
    std::size_t end = i;
    while (end < text.size() && Digit(text[end])) ++end;
    if (end + 1 < text.size() && (text[end] == '.' || text[end] == ',') && Digit(text[end + 1])) {
      std::size_t stop = end + 1;
      while (stop < text.size() && Digit(text[stop])) ++stop;
      const std::string_view number = text.substr(i, stop - i);
      // Into another point and digits, or into an exponent.
      const char after = stop < text.size() ? text[stop] : ' ', next = stop + 1 < text.size() ? text[stop + 1] : ' ';
      const bool runsOn = (after == '.' || after == ',' || after == 'E' || after == 'e') &&
                          (Digit(next) || next == '-' || next == '+');
      std::string plain(number);
      std::replace(plain.begin(), plain.end(), ',', '.');
      Real value = 0;
      const bool read = !runsOn && TryTextToFloat(plain, value) && std::isfinite(value);
      out += read ? FaithfulNumber(number, value, 0) : std::string(number);
      i = stop;
      continue;
    }
    out += text.substr(i, end - i);
    i = end;
  }
  return out;
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
  // Down to 70 % of the style's width, or to the readable width factor
  // where that is narrower, with small numbers written shorter, before a
  // text is cut.
  const Real least = std::min(kNarrowest, kCadNarrowestWidthFactor / st.CadTextWidthFactor);
  factor = std::max(least, width / need);
  if (need * factor <= width) return std::string(text.substr(0, shown));
  if (const std::string shorter = ShortenNumbers(text.substr(0, shown)); shorter.size() < shown) {
    const Real n = ShownWidth(shorter, cw);
    factor = std::max(least, std::min<Real>(1, width / n));
    if (n * factor <= width) return shorter;
  }
  // Cut: as many characters as fit, the last three of them dots (the CAD
  // code pages have no ellipsis character); a number goes whole or not at
  // all.
  auto most = static_cast<std::size_t>(std::max<Real>(0, width / (cw * factor)));
  auto cut = [&] {
    return most > 3 ? std::string(text.substr(0, CutClearOfNumbers(text, most - 3))) + "..."
                    : std::string(text.substr(0, CutClearOfNumbers(text, most)));
  };
  while (most > 0 && ShownWidth(cut(), cw) * factor > width) --most;
  return cut();
}

std::string CadFitNumberText(std::string_view text, Real cells) {
  const auto fits = [cells](const std::string& t) { return static_cast<Real>(ShownLength(t)) <= cells + 1e-6L; };
  std::string whole(text);
  std::size_t begin = 0, end = 0;
  if (fits(whole) || !TrailingNumber(text, begin, end)) return whole;
  const std::string_view number = text.substr(begin, end - begin);
  std::string plain(number);
  std::replace(plain.begin(), plain.end(), ',', '.');
  Real v = 0;
  if (!TryTextToFloat(plain, v) || !std::isfinite(v)) return whole;
  // The text before the number, its blanks before the number down to one.
  std::string head(text.substr(0, begin));
  const std::size_t kept = head.find_last_not_of(' ');
  if (kept == std::string::npos)
    head = head.empty() ? "" : " ";
  else if (kept + 1 < head.size())
    head.resize(kept + 2);
  // Fewer decimals, or an exponent for a small number, as far as its truth
  // allows: where even that is too long, the caller writes it narrower.
  return head + FaithfulNumber(number, v, cells - static_cast<Real>(head.size()));
}

void CadTextFit(std::string_view text, Real x, Real y, Real width) {
  Real factor = 1;
  std::string fitted = CadFitText(text, width, factor);
  CadState& st = Cad();
  const std::size_t shown = ShownLength(text);
  if (fitted.size() >= 3 && fitted.compare(fitted.size() - 3, 3, "...") == 0 && shown > 0 && st.CadTextHeight > 1 &&
      std::isfinite(width) && width > 0) {
    // Rather than cut, lower, down to 1 high, at the readable width factor:
    // as low as its ink at that factor needs.
    const int font = st.CadTextFont;
    const Real angle = st.CadTextAngle, height = st.CadTextHeight, w = st.CadTextWidth;
    const Real least = std::min(kNarrowest, kCadNarrowestWidthFactor / st.CadTextWidthFactor);
    const Real need = ShownWidth(text.substr(0, shown), height * st.CadTextWidthFactor) * least;
    const Real h = std::max<Real>(1, height * std::min<Real>(1, width / need) * (1 - 1e-9L));
    CadTextStyle(font, angle, h, w * h / height);
    fitted = CadFitText(text, width, factor);
    {
      const NarrowStyle style(factor);
      CadText(fitted, x, y);
    }
    CadTextStyle(font, angle, height, w);
    return;
  }
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
  const std::size_t keep = widest > 3 ? CutClearOfNumbers(last, std::min(last.size(), widest - 3)) : 0;
  last = last.substr(0, keep) + "...";
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

namespace {

// A text on as few of at most `lines` lines as the width takes: on one line
// narrowed down to the readable width factor first.
CadTextLayout LinesLayout(std::string_view text, Real width, int lines) {
  CadTextLayout one = CadLayoutText(text, width, 1);
  if (!one.cut) return one;
  // Small numbers written shorter.
  const std::string shorter = ShortenNumbers(text);
  if (shorter.size() < text.size()) {
    one = CadLayoutText(shorter, width, 1);
    if (!one.cut) return one;
  }
  return lines > 1 ? CadLayoutText(shorter, width, lines) : one;
}

// The layout's lines from (x, y) down by pitch; a text of blanks as it is
// (it only moves the cursor). The lines taken.
std::size_t DrawLines(std::string_view text, const CadTextLayout& layout, Real x, Real y, Real pitch) {
  if (layout.lines.empty()) {
    CadText(text, x, y);
    return 1;
  }
  CadDrawLayout(layout, x, y, pitch);
  return layout.lines.size();
}

CadTextLinesAbove* gNoting = nullptr;

}  // namespace

void CadTextLineWhole(std::string_view text, Real width, int lines) {
  if (text.empty() || CadNoteTextLine(text, width, lines)) return;
  CadState& st = Cad();
  const Real pitch = 1.6L * st.CadTextHeight * st.CadLineSpacing;
  const CadTextLayout layout = width > 0 ? LinesLayout(text, width, lines) : CadTextLayout{{std::string(text)}, 1, false};
  const std::size_t n = DrawLines(text, layout, st.CadCurrentPoint.x, st.CadCurrentPoint.y, pitch);
  st.CadCurrentPoint.y -= pitch * static_cast<Real>(n);
}

bool CadNoteTextLine(std::string_view text, Real field, int lines) {
  if (gNoting == nullptr) return false;
  const CadState& st = Cad();
  gNoting->lines_.push_back({std::string(text), field, lines, st.CadLayer, st.CadTextFont, st.CadTextAngle,
                             st.CadTextHeight, st.CadTextWidth, st.CadLineSpacing});
  return true;
}

CadTextLinesAbove::CadTextLinesAbove(Real bottom) : bottom_(bottom), outer_(gNoting) { gNoting = this; }

CadTextLinesAbove::~CadTextLinesAbove() {
  gNoting = outer_;
  if (lines_.empty()) return;
  CadState& st = Cad();
  const int layer = st.CadLayer, font = st.CadTextFont;
  const Real angle = st.CadTextAngle, height = st.CadTextHeight, width = st.CadTextWidth;
  // The layouts in the size each line was noted in, and the room they take.
  std::vector<CadTextLayout> layouts;
  Real drop = 0, last = 0, least = 0;
  const Real factor = st.CadTextWidthFactor, k = CadSettings().CadTextFactor;
  for (const Line& l : lines_) {
    st.CadTextHeight = l.height;
    st.CadTextWidthFactor = l.width == 0 ? k * 0.7L : l.height > 0 ? k * l.width / l.height : factor;
    const CadTextLayout layout =
        l.field > 0 ? LinesLayout(l.text, l.field, l.lines) : CadTextLayout{{l.text}, 1, false};
    const Real pitch = 1.6L * l.height * l.spacing;
    last = pitch;
    drop += pitch * static_cast<Real>(std::max<std::size_t>(1, layout.lines.size()));
    least = std::max(least, 1.2L / (1.6L * l.spacing));
    layouts.push_back(layout);
  }
  st.CadTextHeight = height, st.CadTextWidthFactor = factor;
  drop -= last;
  const Real room = st.CadCurrentPoint.y - bottom_;
  const Real share = drop > room && drop > 0 ? std::max(least, room / drop) : 1;
  Real y = st.CadCurrentPoint.y;
  const Real x = st.CadCurrentPoint.x;
  for (std::size_t k = 0; k < lines_.size(); ++k) {
    const Line& l = lines_[k];
    CadSetLayer(l.layer);
    CadTextStyle(l.font, l.angle, l.height, l.width);
    const Real pitch = 1.6L * l.height * l.spacing * share;
    y -= pitch * static_cast<Real>(DrawLines(l.text, layouts[k], x, y, pitch));
  }
  st.CadCurrentPoint.y = y;
  CadSetLayer(layer);
  CadTextStyle(font, angle, height, width);
}

}  // namespace zeb
