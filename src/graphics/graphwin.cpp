#include "graphics/graphwin.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <initializer_list>
#include <thread>

#include "base/globals.h"
#include "base/mathx.h"
#include "platform/decimal.h"
#include "graphics/text_ink.h"

namespace zeb {

namespace {

constexpr double kStepLimit = 1073741824.0;  // 2^30: zoom and pan stop here
constexpr double kBigBox = 16777216.0;       // 2^24: larger curves become chords

double Nearest(double v) { return std::nearbyint(v); }

bool Finite(std::initializer_list<Real> v) {
  for (Real x : v)
    if (!std::isfinite(static_cast<double>(x))) return false;
  return true;
}

// Appends x as to_chars writes it with 8 significant digits (general) when
// the text has no exponent and the rounding is clear, the case of nearly
// every value a picture holds; false for the rest.
bool AppendPlainEightDigits(std::string& s, double x) {
  static constexpr double kTen[] = {1e-4, 1e-3, 1e-2, 1e-1, 1e0, 1e1,  1e2,  1e3,
                                    1e4,  1e5,  1e6,  1e7,  1e8, 1e9, 1e10, 1e11};
  const double a = std::fabs(x);
  if (!(a >= 1e-4 && a < 1e8)) return false;
  int e = a >= 1e4 ? 7 : 3;  // decimal exponent: 10^e <= a < 10^(e+1), or 10^e either way
  while (e > -4 && a < kTen[e + 4]) --e;
  // The eight digits, to within 1e-8 (the product's one rounding; the
  // powers are exact).
  const double m = a * kTen[7 - e + 4];
  auto q = static_cast<std::uint64_t>(m);
  const double frac = m - static_cast<double>(q);
  if (std::fabs(frac - 0.5) < 1e-7) return false;
  if (frac > 0.5) ++q;
  if (q >= 100000000u) {
    q /= 10;
    if (++e > 7) return false;
  }
  char digits[8];
  auto d = static_cast<std::uint32_t>(q);  // below 10^8
  for (int i = 7; i >= 0; --i, d /= 10) digits[i] = static_cast<char>('0' + d % 10);
  int last = 7;  // the last digit written: trailing zeros of the fraction go
  while (last > e && last > 0 && digits[last] == '0') --last;
  // Written in one piece: "-", the digits and "." or "-0.000" and the digits.
  char text[16];
  char* p = text;
  if (x < 0) *p++ = '-';
  if (e >= 0) {
    p = std::copy(digits, digits + e + 1, p);
    if (last > e) {
      *p++ = '.';
      p = std::copy(digits + e + 1, digits + last + 1, p);
    }
  } else {
    *p++ = '0', *p++ = '.';
    p = std::fill_n(p, -e - 1, '0');
    p = std::copy(digits, digits + last + 1, p);
  }
  s.append(text, static_cast<std::size_t>(p - text));
  return true;
}

// Appends x as ListReal writes it.
void AppendListReal(std::string& s, Real x) {
  const double d = static_cast<double>(x);
  if (d == 0) {
    s += '0';
    return;
  }
  if (AppendPlainEightDigits(s, d)) return;
  char buf[40];
  const auto r = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::general, 8);
  s.append(buf, static_cast<std::size_t>(r.ptr - buf));
}

// A record: the op, then the reals as ListReal.
std::string Record(int op, std::initializer_list<Real> values) {
  std::string s;
  s.reserve(4 + 16 * values.size());
  s += std::to_string(op);
  for (Real v : values) {
    s += ';';
    AppendListReal(s, v);
  }
  return s;
}

double ParseReal(std::string_view s) {
  double v = 0;
  if (PlainDecimal(s.data(), s.data() + s.size(), v)) return v;
  auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  if (r.ec != std::errc() || !std::isfinite(v)) return 0;
  return v;
}

int ParseInt(std::string_view s) {
  long long v = 0;
  auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  if (r.ec != std::errc()) return 0;
  return static_cast<int>(std::clamp<long long>(v, -2147483647LL, 2147483647LL));
}

// Splits a record into its op and up to 8 fields; for op 6 the third field
// is the rest of the line.
struct Parsed {
  int op = 0;
  std::array<std::string_view, 8> f{};
  int n = 0;
};

Parsed Split(std::string_view rec) {
  Parsed p;
  std::size_t semi = rec.find(';');
  p.op = ParseInt(rec.substr(0, semi));
  if (semi == std::string_view::npos) return p;
  std::size_t pos = semi + 1;
  while (p.n < 8) {
    if (p.op == 6 && p.n == 2) {
      p.f[p.n++] = rec.substr(pos);
      break;
    }
    std::size_t next = rec.find(';', pos);
    p.f[p.n++] = rec.substr(pos, next == std::string_view::npos ? std::string_view::npos : next - pos);
    if (next == std::string_view::npos) break;
    pos = next + 1;
  }
  return p;
}

// Device positions before rounding; long double so that differences of
// far-off points stay finite while clipping.
struct DPt {
  long double x, y;
};

// Liang-Barsky: clips the segment to the box; false when nothing is left.
bool ClipLine(DPt& a, DPt& b, long double x1, long double y1, long double x2, long double y2) {
  // Both ends inside: nothing to cut (the common case, and no divisions).
  if (a.x >= x1 && a.x <= x2 && a.y >= y1 && a.y <= y2 && b.x >= x1 && b.x <= x2 && b.y >= y1 && b.y <= y2)
    return true;
  long double t0 = 0, t1 = 1;
  const long double dx = b.x - a.x, dy = b.y - a.y;
  const long double p[4] = {-dx, dx, -dy, dy};
  const long double q[4] = {a.x - x1, x2 - a.x, a.y - y1, y2 - a.y};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    const long double t = q[i] / p[i];
    if (p[i] < 0) {
      if (t > t1) return false;
      t0 = std::max(t0, t);
    } else {
      if (t < t0) return false;
      t1 = std::min(t1, t);
    }
  }
  const DPt a0 = a;
  if (t1 < 1) b = {a0.x + t1 * dx, a0.y + t1 * dy};
  if (t0 > 0) a = {a0.x + t0 * dx, a0.y + t0 * dy};
  // Rounding can leave a point a hair outside; anything more is refused.
  const long double e = 1;
  for (const DPt& p : {a, b})
    if (!(p.x >= x1 - e && p.x <= x2 + e && p.y >= y1 - e && p.y <= y2 + e)) return false;
  return true;
}

// Sutherland-Hodgman against the box.
std::vector<DPt> ClipPolygon(std::vector<DPt> pts, long double x1, long double y1, long double x2, long double y2) {
  auto pass = [&](auto inside, auto cut) {
    std::vector<DPt> out;
    for (std::size_t i = 0; i < pts.size(); ++i) {
      const DPt& c = pts[i];
      const DPt& p = pts[(i + pts.size() - 1) % pts.size()];
      if (inside(c)) {
        if (!inside(p)) out.push_back(cut(p, c));
        out.push_back(c);
      } else if (inside(p)) {
        out.push_back(cut(p, c));
      }
    }
    pts.swap(out);
  };
  auto atX = [](long double x) {
    return [x](DPt p, DPt c) { return DPt{x, p.y + (c.y - p.y) * (x - p.x) / (c.x - p.x)}; };
  };
  auto atY = [](long double y) {
    return [y](DPt p, DPt c) { return DPt{p.x + (c.x - p.x) * (y - p.y) / (c.y - p.y), y}; };
  };
  pass([&](DPt p) { return p.x >= x1; }, atX(x1));
  pass([&](DPt p) { return p.x <= x2; }, atX(x2));
  pass([&](DPt p) { return p.y >= y1; }, atY(y1));
  pass([&](DPt p) { return p.y <= y2; }, atY(y2));
  return pts;
}

DevPoint Round(DPt p) {
  return {static_cast<int>(Nearest(static_cast<double>(p.x))), static_cast<int>(Nearest(static_cast<double>(p.y)))};
}

// One canvas of a replay: its mapping, clip box and pen state.
class Target {
 public:
  Target(GraphWindow& w, Renderer& r, bool printer) : w_(w), r_(r), printer_(printer) {
    const double W = w.DeviceWidth(), H = w.DeviceHeight();
    if (printer) {
      const double PW = r.PageWidth(), PH = r.PageHeight();
      offX_ = Nearest(PW * static_cast<double>(G().PrintOriginX) / 210.0);
      offY_ = Nearest(PH * static_cast<double>(G().PrintOriginY) / 210.0);
      kx_ = PW * static_cast<double>(G().PrintScaleX) / W;
      ky_ = PH * static_cast<double>(G().PrintScaleY) / H;
      const double m = 2 * std::max(PW, PH);
      box_ = {-m, -m, PW + m, PH + m};
    } else {
      const double m = 2 * std::max(W, H);
      box_ = {-m, -m, W + m, H + m};
    }
  }
  bool printer() const { return printer_; }
  Renderer& r() { return r_; }

  // Device position before rounding; the printer's rounds its two terms
  // apart, so the offset is added after rounding.
  DPt Map(Real x, Real y) const {
    double sx, sy;
    w_.ToScreen(x, y, sx, sy);
    if (!printer_) return {sx, sy};
    return {static_cast<long double>(kx_) * sx, static_cast<long double>(ky_) * sy};
  }
  DevPoint Place(DPt p) const {
    DevPoint d = Round(p);
    d.x += static_cast<int>(offX_);
    d.y += static_cast<int>(offY_);
    return d;
  }
  double LenX(Real l) const {
    const double v = static_cast<double>(w_.ScaleX() * l);
    return Nearest(printer_ ? kx_ * v : v);
  }
  double LenY(Real l) const {
    const double v = static_cast<double>(w_.ScaleY() * l);
    return Nearest(printer_ ? ky_ * v : v);
  }
  bool Inside(DPt p) const { return p.x >= box_[0] && p.x <= box_[2] && p.y >= box_[1] && p.y <= box_[3]; }

  void Line(DPt a, DPt b) {
    if (!std::isfinite(a.x) || !std::isfinite(a.y) || !std::isfinite(b.x) || !std::isfinite(b.y)) return;
    if (!ClipLine(a, b, box_[0], box_[1], box_[2], box_[3])) return;
    r_.Line(Place(a), Place(b));
  }
  // Ellipse (full) or arc from start to end, counter-clockwise on screen.
  void Curve(DPt c1, DPt c2, const DPt* start, const DPt* end) {
    for (long double v : {c1.x, c1.y, c2.x, c2.y})
      if (!std::isfinite(v)) return;
    DPt lo{std::min(c1.x, c2.x), std::min(c1.y, c2.y)}, hi{std::max(c1.x, c2.x), std::max(c1.y, c2.y)};
    if (hi.x < box_[0] || lo.x > box_[2] || hi.y < box_[1] || lo.y > box_[3]) return;
    const bool small = std::max({std::fabs(lo.x), std::fabs(lo.y), std::fabs(hi.x), std::fabs(hi.y)}) < kBigBox;
    if (small) {
      if (!start) {
        r_.Ellipse(Place(lo), Place(hi));
      } else {
        r_.Arc(Place(lo), Place(hi), Place(*start), Place(*end));
      }
      return;
    }
    // Too large for the device: chords over the part of the curve that
    // faces the clip box, clipped.
    const long double cx = (lo.x + hi.x) / 2, cy = (lo.y + hi.y) / 2, rx = (hi.x - lo.x) / 2,
                      ry = (hi.y - lo.y) / 2;
    if (!(rx > 0) || !(ry > 0)) return;
    auto angle = [&](long double x, long double y) { return std::atan2(-(y - cy) / ry, (x - cx) / rx); };
    constexpr long double kTwoPi = 6.283185307179586476925L;
    long double from = 0, span = kTwoPi;
    if (Inside({cx, cy})) {
      const long double d = std::hypot(box_[2] - box_[0], box_[3] - box_[1]);
      if (rx > d && ry > d) return;  // around the whole box
    } else {
      // The smallest angular range holding the box's corners.
      std::array<long double, 4> a = {angle(box_[0], box_[1]), angle(box_[2], box_[1]), angle(box_[2], box_[3]),
                                      angle(box_[0], box_[3])};
      std::sort(a.begin(), a.end());
      long double gap = a[0] + kTwoPi - a[3];
      from = a[0];
      span = a[3] - a[0];
      for (int i = 0; i < 3; ++i) {
        if (a[i + 1] - a[i] > gap) {
          gap = a[i + 1] - a[i];
          from = a[i + 1];
          span = kTwoPi - gap;
        }
      }
    }
    long double a0 = 0, sweep = kTwoPi;
    if (start) {
      a0 = angle(start->x, start->y);
      sweep = angle(end->x, end->y) - a0;
      if (sweep <= 0) sweep += kTwoPi;
    }
    auto onArc = [&](long double a) {
      long double d = std::fmod(a - a0, kTwoPi);
      if (d < 0) d += kTwoPi;
      return d <= sweep;
    };
    constexpr int kSteps = 4096;
    auto at = [&](long double a) { return DPt{cx + rx * std::cos(a), cy - ry * std::sin(a)}; };
    DPt prev = at(from);
    bool prevOn = onArc(from);
    for (int i = 1; i <= kSteps; ++i) {
      const long double a = from + span * i / kSteps;
      const DPt p = at(a);
      const bool on = onArc(a);
      if (on && prevOn) Line(prev, p);
      prev = p;
      prevOn = on;
    }
  }
  void Polygon(std::vector<DPt> pts) {
    for (const DPt& p : pts)
      if (!std::isfinite(p.x) || !std::isfinite(p.y)) return;
    pts = ClipPolygon(std::move(pts), box_[0], box_[1], box_[2], box_[3]);
    if (pts.size() < 3) return;
    std::vector<DevPoint> out;
    out.reserve(pts.size());
    for (const DPt& p : pts) out.push_back(Place(p));
    r_.Polygon(out);
  }

  // Pen, brush and text colour.
  void SetColours(std::uint32_t pen, std::uint32_t brush, std::uint32_t text) {
    if (pen != pen_) {
      pen_ = pen;
      penDirty_ = true;
    }
    if (brush != brush_ || !brushSet_) {
      brush_ = brush;
      brushSet_ = true;
      r_.SetBrush(brush);
    }
    if (text != text_ || !textSet_) {
      text_ = text;
      textSet_ = true;
      r_.SetTextColour(text);
    }
  }
  void SetStyle(int style) {
    if (style != style_) {
      style_ = style;
      penDirty_ = true;
    }
  }
  void SetWidth(int width) {
    if (width != width_) {
      width_ = width;
      penDirty_ = true;
    }
  }
  void FlushPen() {
    if (!penDirty_) return;
    penDirty_ = false;
    r_.SetPen(pen_, style_, width_);
  }

 private:
  GraphWindow& w_;
  Renderer& r_;
  bool printer_;
  double offX_ = 0, offY_ = 0, kx_ = 1, ky_ = 1;
  std::array<long double, 4> box_{};
  std::uint32_t pen_ = 0, brush_ = 0, text_ = 0;
  int style_ = 0, width_ = 1;
  bool penDirty_ = true, brushSet_ = false, textSet_ = false;
};

constexpr std::uint32_t kBlack = 0;

// Relative luminance of a 0x00BBGGRR colour.
double Luminance(std::uint32_t colour) {
  static const std::array<double, 256> linear = [] {
    std::array<double, 256> t{};
    for (std::size_t c = 0; c < t.size(); ++c) {
      const double v = static_cast<double>(c) / 255.0;
      t[c] = v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    }
    return t;
  }();
  return 0.2126 * linear[colour & 0xFFu] + 0.7152 * linear[(colour >> 8) & 0xFFu] +
         0.0722 * linear[(colour >> 16) & 0xFFu];
}

// colour moved k/255 of the way to target, channel by channel.
std::uint32_t Towards(std::uint32_t colour, std::uint32_t target, int k) {
  std::uint32_t r = 0;
  for (int shift : {0, 8, 16}) {
    const int c = static_cast<int>((colour >> shift) & 0xFFu), t = static_cast<int>((target >> shift) & 0xFFu);
    r |= static_cast<std::uint32_t>(c + std::lround((t - c) * k / 255.0)) << shift;
  }
  return r;
}

}  // namespace

std::uint32_t ShownOn(std::uint32_t colour, std::uint32_t background) {
  constexpr double kLeast = 3.0;
  const double lb = Luminance(background) + 0.05;
  const double lc = Luminance(colour) + 0.05;
  if (std::max(lc, lb) >= kLeast * std::min(lc, lb)) return colour;
  // Lightened on a background that white stands out from more than black,
  // else darkened: the first step that reaches the contrast.
  const bool up = 1.05 / lb >= lb / 0.05;
  const std::uint32_t target = up ? 0xFFFFFFu : kBlack;
  const auto enough = [&](int k) {
    const double l = Luminance(Towards(colour, target, k)) + 0.05;
    return up ? l >= kLeast * lb : kLeast * l <= lb;
  };
  int lo = 0, hi = 255;  // enough(hi), the luminance moving one way
  while (hi - lo > 1) {
    const int mid = (lo + hi) / 2;
    (enough(mid) ? hi : lo) = mid;
  }
  return Towards(colour, target, hi);
}

std::string ListReal(Real x) {
  std::string s;
  AppendListReal(s, x);
  return s;
}

GraphWindow::GraphWindow() { Create(); }

void GraphWindow::Create() {
  dev_ = savedDev_ = DevRect{0, 0, 1, 1};
  zoom_ = dev_;
  world_ = WorldRect{0, 0, 1, 1};
  saved_ = WorldRect{0, 0, 0, 0};
  visible_ = world_;
  scaleX_ = scaleY_ = 0;
  aspect_ = 1;
  keepAspect_ = 1;
  printing = 0;
  lastStyle_ = 99;
  lastWidth_ = 1;
  lastTextStyle_ = {};
  dragging_ = dblClick_ = 0;
  lastColour_ = -1;
  animationStep = 0;
  stepsAnswered_ = 0;
  stepWaiting_ = false;
  keyMode_ = keyDir_ = 0;
}

std::string GraphWindow::Stamp() const {
  std::string s = std::to_string(changes_);
  for (int v : {dev_.x1, dev_.y1, dev_.x2, dev_.y2, zoom_.x1, zoom_.y1, zoom_.x2, zoom_.y2, zoomFull_ ? 1 : 0,
                static_cast<int>(keepAspect_)}) {
    s += ';';
    s += std::to_string(v);
  }
  // The reals to the last bit: their 80 value bits.
  for (Real v : {world_.xmin, world_.ymin, world_.xmax, world_.ymax, visible_.xmin, visible_.ymin, visible_.xmax,
                 visible_.ymax, scaleX_, scaleY_, aspect_}) {
    char bits[sizeof(Real)] = {};
    std::memcpy(bits, &v, sizeof v);
    s.append(bits, std::min<std::size_t>(sizeof bits, 10));
  }
  return s;
}

int GraphWindow::DeviceHeight() const { return std::clamp(G().ScreenHeight, 2, 30000); }
int GraphWindow::DeviceWidth() const { return static_cast<int>(Nearest(4.0 * DeviceHeight() / 3.0)); }

// ------------------------------------------------------------ window and scale

void GraphWindow::SetWindow(Byte keepAspect, bool inset, Real fx1, Real fy1, Real fx2, Real fy2, Real wx1, Real wy1,
                            Real wx2, Real wy2) {
  const double W = DeviceWidth(), H = DeviceHeight();
  const std::array<double, 4> d = {Nearest(W * static_cast<double>(fx1)), Nearest(H * (1 - static_cast<double>(fy2))),
                                   Nearest(W * static_cast<double>(fx2)), Nearest(H * (1 - static_cast<double>(fy1)))};
  for (double v : d)
    if (!std::isfinite(v) || std::fabs(v) > kStepLimit) {
      G().AbortFlag = 1;
      return;
    }
  DevRect r{static_cast<int>(d[0]), static_cast<int>(d[1]), static_cast<int>(d[2]), static_cast<int>(d[3])};
  if (inset) r = {r.x1 + 1, r.y1 + 1, r.x2 - 1, r.y2 - 1};
  const std::string rec = "10;" + std::to_string(r.x1) + ";" + std::to_string(r.y1) + ";" + std::to_string(r.x2) +
                          ";" + std::to_string(r.y2) + ";" + ListReal(wx1) + ";" + ListReal(wy1) + ";" +
                          ListReal(wx2) + ";" + ListReal(wy2);
  Add(rec);
  dev_ = r;
  // The limits as recorded, so a replay finds the same state.
  world_ = {ParseReal(ListReal(wx1)), ParseReal(ListReal(wy1)), ParseReal(ListReal(wx2)), ParseReal(ListReal(wy2))};
  keepAspect_ = keepAspect;
  if (world_.xmax != world_.xmin && world_.ymax != world_.ymin) {
    SetScale(dev_.x1, dev_.y1, dev_.x2, dev_.y2);
  } else {
    G().AbortFlag = 1;
  }
}

void GraphWindow::Header(int /*flag*/, Real xmin, Real ymin, Real xmax, Real ymax) {
  const Real wx = world_.xmax - world_.xmin, wy = world_.ymax - world_.ymin;
  if (wx != 0 && wy != 0) {
    const Real a = (DeviceWidth() * 0.75L / DeviceHeight()) * (640 / wx) / (480 / wy);
    if (std::isfinite(static_cast<double>(a))) aspect_ = a;
  }
  SetWindow(1, true, 0, 0, 1, 1, xmin, ymin, xmax, ymax);
  SetLineStyle(0);
  SaveLimit();
}

void GraphWindow::SetScale(int x1, int y1, int x2, int y2) {
  if (x1 == x2 || y1 == y2) return;
  if (dev_.x2 == dev_.x1 || dev_.y2 == dev_.y1) return;
  const Real dw = dev_.x2 - dev_.x1, dh = dev_.y2 - dev_.y1;
  const Real ww = world_.xmax - world_.xmin, wh = world_.ymax - world_.ymin;
  WorldRect v{world_.xmin + (x1 - dev_.x1) / dw * ww, world_.ymin + (y1 - dev_.y1) / dh * wh,
              world_.xmin + (x2 - dev_.x1) / dw * ww, world_.ymin + (y2 - dev_.y1) / dh * wh};
  Real sx = dw / (v.xmax - v.xmin), sy = dh / (v.ymax - v.ymin);
  if (keepAspect_) {
    const Real k = 0.75L * DeviceWidth() / DeviceHeight();
    const Real r = sy * k;
    if (sx >= r) {
      sx = r;
    } else {
      sy = sx / k;
    }
  }
  if (!Finite({v.xmin, v.ymin, v.xmax, v.ymax, sx, sy}) || sx == 0 || sy == 0) return;
  zoom_ = {x1, y1, x2, y2};
  zoomFull_ = zoom_ == dev_;
  visible_ = v;
  scaleX_ = sx;
  scaleY_ = sy;
}

void GraphWindow::RestoreLimit() { SetWindow(1, true, 0, 0, 1, 1, saved_.xmin, saved_.ymin, saved_.xmax, saved_.ymax); }

void GraphWindow::ReSetWindow() {
  SetWindow(0, false, 0, 0, 1, 1, 0, 0, 1, 1);
  ResetZoom();
}

void GraphWindow::ToScreen(Real x, Real y, double& dx, double& dy) const {
  dx = static_cast<double>((x - visible_.xmin) * scaleX_) + dev_.x1;
  dy = dev_.y2 - static_cast<double>((y - visible_.ymin) * scaleY_);
}

// ------------------------------------------------------------ recording

void GraphWindow::circle(Real x, Real y, Real r) {
  if (Finite({x, y, r})) Add(Record(3, {x, y, r}));
}

void GraphWindow::line(Real x1, Real y1, Real x2, Real y2) {
  if (Finite({x1, y1, x2, y2})) Add(Record(4, {x1, y1, x2, y2}));
}

void GraphWindow::Arc(Real x, Real y, Real a1, Real a2, Real r) {
  if (!Finite({x, y, a1, a2, r})) return;
  if (std::fabs(a2 - a1) >= 360 - 1e-5L) {
    circle(x, y, r);
    return;
  }
  Real sweep = std::fmod(a2 - a1, 360.0L);
  if (sweep < 0) sweep += 360;
  const Real r1 = DegToRad(a1), r2 = DegToRad(a2);
  const Real xs = x + r * std::cos(r1), ys = y + r * std::sin(r1);
  const Real xe = x + r * std::cos(r2), ye = y + r * std::sin(r2);
  if (sweep < 4) {
    line(xs, ys, xe, ye);
    return;
  }
  Add(Record(5, {x - r, y - r, x + r, y + r, xs, ys, xe, ye}));
}

void GraphWindow::OutTextXY(std::string_view text1252, Real x, Real y) {
  if (!Finite({x, y})) return;
  std::string rec = Record(6, {x, y});
  rec += ';';
  rec += text1252;
  Add(std::move(rec));
}

void GraphWindow::Solid(Real x1, Real y1, Real x2, Real y2, Real x3, Real y3, Real x4, Real y4) {
  if (Finite({x1, y1, x2, y2, x3, y3, x4, y4})) Add(Record(7, {x1, y1, x2, y2, x3, y3, x4, y4}));
}

void GraphWindow::SetTextStyle(int n, Real p1, Real p2, Real p3) {
  if (!Finite({p1, p2, p3})) return;
  // The list is played from its start: a style it holds already is left out.
  const TextStyleSet style{n, p1, p2, p3, true};
  if (style == lastTextStyle_) return;
  lastTextStyle_ = style;
  Add("9;" + ListReal(p2) + ";" + ListReal(p3) + ";" + std::to_string(n) + ";" + ListReal(p1));
}

void GraphWindow::SleepMs(int ms) { Add("13;" + std::to_string(ms)); }

void GraphicsHost::Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void GraphWindow::Rectangle(Real x1, Real y1, Real x2, Real y2) {
  line(x1, y1, x2, y1);
  line(x2, y1, x2, y2);
  line(x2, y2, x1, y2);
  line(x1, y2, x1, y1);
}

void GraphWindow::SetColor(int n) {
  if (n < 0) return;
  if (n <= highestColour && n != lastColour_) Add("8;" + std::to_string(n));
  lastColour_ = n;
}

void GraphWindow::SetLineStyle(int n) {
  if (n == lastStyle_) return;
  Add("11;" + std::to_string(n));
  lastStyle_ = n;
}

void GraphWindow::SetLineWidth(int n) {
  if (n == lastWidth_) return;
  Add("12;" + std::to_string(n));
  lastWidth_ = n;
}

void GraphWindow::SetLineStyleName(std::string_view name) {
  if (name == "DOTTED" || name == "PUNKT") {
    SetLineStyle(1);
  } else if (name == "CENTER" || name == "DASHDOT" || name == "STRICHPUNKT") {
    SetLineStyle(2);
  } else if (name == "DASHED" || name == "HIDDEN" || name == "VERDECKT") {
    SetLineStyle(3);
  } else {
    SetLineStyle(0);
  }
}

int GraphWindow::GetDirection(Real a) {
  return ((a > 45 && a < 135) || (a > 225 && a < 315) || (a > -135 && a < -45)) ? 1 : 0;
}

void GraphWindow::ClearList() {
  list_.clear();
  lastColour_ = -1;
  lastStyle_ = 99;
  lastWidth_ = 1;
  lastTextStyle_ = {};
}

void GraphWindow::Clear() {
  ClearList();
  stepsAnswered_ = 0;
  Repaint();
}

void GraphWindow::Restore(const GraphWindow& kept) {
  GraphicsHost* host = host_;
  const std::uint64_t changes = changes_;
  *this = kept;
  host_ = host;
  changes_ = changes;
  Repaint();
}

void GraphWindow::ClearViewPort() {
  Host().SetWaitCursor(true);
  Repaint();
}

void GraphWindow::MoveTo(Real x, Real y) {
  curX_ = x;
  curY_ = y;
}

void GraphWindow::LineTo(Real x, Real y) {
  double ax, ay, bx, by;
  ToScreen(curX_, curY_, ax, ay);
  ToScreen(x, y, bx, by);
  DPt a{ax, ay}, b{bx, by};
  const double W = DeviceWidth(), H = DeviceHeight();
  if (ClipLine(a, b, -W, -H, 2 * W, 2 * H)) Overlay(Round(a), Round(b));
  curX_ = x;
  curY_ = y;
}

void GraphWindow::DrawRectangle(int x1, int y1, int x2, int y2) {
  Overlay({x1, y1}, {x2, y1});
  Overlay({x2, y1}, {x2, y2});
  Overlay({x2, y2}, {x1, y2});
  Overlay({x1, y2}, {x1, y1});
}

// ------------------------------------------------------------ replay

void GraphWindow::Replay(Renderer* screen, Renderer* printer) { Replay(screen, printer, false); }

void GraphWindow::ReplayQuiet(Renderer& screen) { Replay(&screen, nullptr, true); }

bool GraphWindow::HasPauses() const {
  return std::any_of(list_.begin(), list_.end(), [](const std::string& r) { return r.starts_with("13;"); });
}

void GraphWindow::Replay(Renderer* screen, Renderer* printer, bool quiet) {
  if (!quiet) Host().SetWaitCursor(true);
  std::vector<Target> targets;
  if (screen) targets.emplace_back(*this, *screen, false);
  if (printer) targets.emplace_back(*this, *printer, true);
  const auto& table = G().ColourTable;
  const std::uint32_t background = static_cast<std::uint32_t>(G().BackgroundColour) & 0xFFFFFFu;
  const bool colourPrinter = G().PrintColourMode == 2 || G().PrintColourMode == 3;

  Real textH = 3.5L, textW = 3.5L, textAngle = 0;
  int textColourNo = 1;
  // The recording's last style and width stay: a paint in the middle of a
  // drawing (events processed by a table open) must not make the drawing
  // skip its next style or width change.
  auto colourOf = [&](const Target& t, int n, std::uint32_t& pen, std::uint32_t& brush, std::uint32_t& text) {
    if (n == 0) {
      pen = brush = text = background;
    } else if (t.printer()) {
      if (colourPrinter && colourDisplay) {
        pen = brush = text = table[static_cast<std::size_t>(n)];
      } else {
        pen = text = kBlack;
        brush = background;
      }
    } else if (colourDisplay) {
      pen = brush = text = ShownOn(table[static_cast<std::size_t>(n)], background);
    } else {
      pen = text = ShownOn(kBlack, background);
      brush = background;
    }
  };
  // Colour 1, solid, width 1, whatever was drawn before.
  for (Target& t : targets) {
    std::uint32_t pen, brush, text;
    colourOf(t, 1, pen, brush, text);
    t.SetColours(pen, brush, text);
    t.SetStyle(0);
    t.SetWidth(t.printer() ? 4 : 1);
    t.FlushPen();
  }
  // The sheet's frame on the printer.
  for (Target& t : targets) {
    if (!t.printer() || !G().PrintBorder) continue;
    const std::uint32_t frame = colourDisplay ? table[11] : kBlack;
    t.SetColours(frame, frame, frame);
    t.FlushPen();
    const WorldRect w = world_;
    t.Line(t.Map(w.xmin, w.ymin), t.Map(w.xmin, w.ymax));
    t.Line(t.Map(w.xmin, w.ymax), t.Map(w.xmax, w.ymax));
    t.Line(t.Map(w.xmax, w.ymax), t.Map(w.xmax, w.ymin));
    t.Line(t.Map(w.xmax, w.ymin), t.Map(w.xmin, w.ymin));
    std::uint32_t pen, brush, text;
    colourOf(t, 1, pen, brush, text);
    t.SetColours(pen, brush, text);
  }

  // Animation steps only on the screen, never while printing.
  const bool stepping = screen != nullptr && animationStep != 0 && printing == 0;
  int steps = 0;
  if (screen != nullptr) stepWaiting_ = false;
  Real curX = 0, curY = 0;
  double v[8];
  for (const std::string& rec : list_) {
    const Parsed p = Split(rec);
    switch (p.op) {
      case 1: case 2: case 3: case 4: case 5: case 7: case 10: {
        const int need = p.op <= 3 ? (p.op == 3 ? 3 : 2) : (p.op == 4 ? 4 : 8);
        for (int i = 0; i < need; ++i) v[i] = i < p.n ? ParseReal(p.f[static_cast<std::size_t>(i)]) : 0;
        break;
      }
      default:
        break;
    }
    switch (p.op) {
      case 1:
        curX = v[0];
        curY = v[1];
        break;
      case 2:
        for (Target& t : targets) {
          t.FlushPen();
          t.Line(t.Map(curX, curY), t.Map(v[0], v[1]));
        }
        curX = v[0];
        curY = v[1];
        break;
      case 3:
        for (Target& t : targets) {
          t.FlushPen();
          t.Curve(t.Map(v[0] - v[2], v[1] + v[2]), t.Map(v[0] + v[2], v[1] - v[2]), nullptr, nullptr);
        }
        break;
      case 4:
        for (Target& t : targets) {
          t.FlushPen();
          t.Line(t.Map(v[0], v[1]), t.Map(v[2], v[3]));
        }
        curX = v[2];
        curY = v[3];
        break;
      case 5:
        for (Target& t : targets) {
          t.FlushPen();
          const DPt s = t.Map(v[4], v[5]), e = t.Map(v[6], v[7]);
          t.Curve(t.Map(v[0], v[3]), t.Map(v[2], v[1]), &s, &e);
        }
        break;
      case 6: {
        if (p.n < 3) break;
        const Real a = DegToRad(textAngle);
        // Leading blanks as narrow as the face draws them (as in the CAD
        // files), by the measure the sheets are laid out with.
        const std::string_view text = p.f[2];
        const std::string_view shown = text.substr(std::min(text.find_first_not_of(' '), text.size()));
        const Real lead = static_cast<Real>(text.size() - shown.size()) * cad_detail::InkAdvance(' ') * textW;
        const Real x = ParseReal(p.f[0]) + lead * std::cos(a), y = ParseReal(p.f[1]) + lead * std::sin(a);
        const Real ox = textAngle == 0 ? x : x - 0.7L * textH * std::sin(a);
        const Real oy = textAngle == 0 ? y + 0.75L * textH : y + 0.75L * textH * std::cos(a);
        for (Target& t : targets) {
          RenderFont f;
          f.face = G().GraphicTextFont;
          const double h = t.LenY(textH), w = t.LenX(textW);
          if (!(h >= 1) || h > 100000 || !(w >= 0) || w > 100000) continue;
          f.height = static_cast<int>(h);
          f.width = static_cast<int>(w);
          f.escapement = static_cast<int>(Nearest(static_cast<double>(textAngle) * 10));
          const int style = G().GraphicTextStyle;
          if (style >= 1 && style <= 15) {
            f.bold = style & 1;
            f.italic = style & 2;
            f.underline = style & 4;
            f.strikeOut = style & 8;
          }
          std::uint32_t colour;
          if (textColourNo == 0) {
            colour = background;
          } else if (!colourDisplay || textColourNo > 16) {
            colour = kBlack;
          } else if (t.printer() && G().PrintColourMode == 1) {
            colour = kBlack;
          } else {
            colour = table[static_cast<std::size_t>(textColourNo)];
          }
          if (!t.printer() && textColourNo != 0) colour = ShownOn(colour, background);
          const DPt o = t.Map(ox, oy);
          if (!t.Inside(o)) continue;
          t.r().SetFont(f);
          t.r().SetTextColour(colour);
          t.r().Text(t.Place(o), shown);
        }
        break;
      }
      case 7:
        for (Target& t : targets) {
          t.FlushPen();
          t.Polygon({t.Map(v[0], v[1]), t.Map(v[2], v[3]), t.Map(v[4], v[5]), t.Map(v[6], v[7])});
        }
        break;
      case 8: {
        const int n = p.n ? ParseInt(p.f[0]) : 0;
        if (n < 0) break;
        if (n == 0 && stepping && steps++ == stepsAnswered_) {
          stepWaiting_ = true;
          goto done;
        }
        textColourNo = n;
        if (n > 16) break;
        for (Target& t : targets) {
          std::uint32_t pen, brush, text;
          colourOf(t, n, pen, brush, text);
          t.SetColours(pen, brush, text);
        }
        break;
      }
      case 9:
        if (p.n < 4) break;
        textH = ParseReal(p.f[0]) * 1.6L * G().GraphicTextHeightFactor;
        textW = ParseReal(p.f[1]) * 1.1L * G().GraphicTextWidthFactor;
        textAngle = ParseReal(p.f[3]);
        break;
      case 10: {
        DevRect d{static_cast<int>(std::clamp(Nearest(v[0]), -kStepLimit, kStepLimit)),
                  static_cast<int>(std::clamp(Nearest(v[1]), -kStepLimit, kStepLimit)),
                  static_cast<int>(std::clamp(Nearest(v[2]), -kStepLimit, kStepLimit)),
                  static_cast<int>(std::clamp(Nearest(v[3]), -kStepLimit, kStepLimit))};
        dev_ = d;
        world_ = {v[4], v[5], v[6], v[7]};
        if (world_.xmax == world_.xmin || world_.ymax == world_.ymin) goto done;
        if (zoomFull_) {
          ResetZoom();
        } else {
          SetScale(zoom_.x1, zoom_.y1, zoom_.x2, zoom_.y2);
        }
        break;
      }
      case 11: {
        const int n = p.n ? ParseInt(p.f[0]) : 0;
        for (Target& t : targets) t.SetStyle(n >= 1 && n <= 3 ? n : 0);
        break;
      }
      case 12: {
        const int n = std::clamp(p.n ? ParseInt(p.f[0]) : 1, 0, 1000);
        for (Target& t : targets) t.SetWidth(t.printer() ? 4 * n : n);
        break;
      }
      case 13:
        if (!printing && screen && !quiet) {
          const int ms = std::clamp(p.n ? ParseInt(p.f[0]) : 0, 0, 60000);
          if (ms > 0) Host().Pause(ms);
        }
        break;
      default:
        break;
    }
  }
done:
  if (!quiet) Host().SetWaitCursor(false);
}

void GraphWindow::StepAnswered(bool toEnd) {
  if (toEnd)
    animationStep = 0;
  else
    ++stepsAnswered_;
  stepWaiting_ = false;
  Repaint();
}

// ------------------------------------------------------------ interaction

void GraphWindow::Regen() {
  RestoreLimit();
  SetWindow(1, true, 0, 0, 1, 1, 0, 0, 1, 1);
  ResetZoom();
  SetScale(zoom_.x1, zoom_.y1, zoom_.x2, zoom_.y2);
  Repaint();
}

void GraphWindow::ProcessKey(int key) {
  switch (key) {
    case kKeyEsc: case kKeyF5: keyMode_ = 0; keyDir_ = '?'; break;
    case kKeyPageUp: keyMode_ = 0; keyDir_ = 'I'; break;
    case kKeyPageDown: keyMode_ = 0; keyDir_ = 'Q'; break;
    case kKeyLeft: keyMode_ = 0; keyDir_ = 'K'; break;
    case kKeyUp: keyMode_ = 0; keyDir_ = 'H'; break;
    case kKeyRight: keyMode_ = 0; keyDir_ = 'M'; break;
    case kKeyDown: keyMode_ = 0; keyDir_ = 'P'; break;
    case kKeyAdd: keyMode_ = '+'; keyDir_ = ' '; break;
    case kKeySubtract: keyMode_ = '-'; keyDir_ = ' '; break;
    default: break;
  }
  const long long x1 = zoom_.x1, y1 = zoom_.y1, x2 = zoom_.x2, y2 = zoom_.y2;
  long long n[4] = {x1, y1, x2, y2};
  bool move = false;
  if (keyMode_ == '+' || keyMode_ == '-') {
    const long long cx = (x1 + x2) / 2, cy = (y1 + y2) / 2;
    const double f = keyMode_ == '+' ? 1 / 1.2 : 1.2;
    const double hx = Nearest(static_cast<double>(x2 - x1) * f), hy = Nearest(static_cast<double>(y2 - y1) * f);
    if (std::fabs(hx) < 2 * kStepLimit && std::fabs(hy) < 2 * kStepLimit) {
      const long long hxi = static_cast<long long>(hx) / 2, hyi = static_cast<long long>(hy) / 2;
      n[0] = cx - hxi;
      n[1] = cy - hyi;
      n[2] = cx + hxi;
      n[3] = cy + hyi;
      move = true;
    }
  } else if (keyMode_ == 0) {
    const long long dx = static_cast<long long>(Nearest(0.1 * static_cast<double>(x2 - x1)));
    const long long dy = static_cast<long long>(Nearest(0.1 * static_cast<double>(y2 - y1)));
    const long long big = static_cast<long long>(Nearest(0.5 * static_cast<double>(y2 - y1)));
    long long mx = 0, my = 0;
    switch (keyDir_) {
      case 'H': my = -dy; break;
      case 'P': my = dy; break;
      case 'I': my = -big; break;
      case 'Q': my = big; break;
      case 'K': mx = dx; break;
      case 'M': mx = -dx; break;
      case '?': ResetZoom(); break;
      default: break;
    }
    if (mx || my) {
      n[0] += mx;
      n[2] += mx;
      n[1] += my;
      n[3] += my;
      move = true;
    }
  }
  if (move) {
    bool ok = true;
    for (long long c : n)
      if (c > static_cast<long long>(kStepLimit) || c < -static_cast<long long>(kStepLimit)) ok = false;
    if (ok) SetScale(static_cast<int>(n[0]), static_cast<int>(n[1]), static_cast<int>(n[2]), static_cast<int>(n[3]));
  }
  Repaint();
}

void GraphWindow::MouseDown(MouseButton b, int x, int y) {
  if (b == MouseButton::Right) {
    ResetZoom();
    Repaint();
    dblClick_ = 0;
  } else if (b == MouseButton::Left && dblClick_) {
    DoubleClick();
  } else if (b == MouseButton::Left && !dragging_) {
    dragging_ = 1;
    sx_ = ex_ = x;
    sy_ = ey_ = y;
    dblClick_ = 0;
  } else {
    dblClick_ = 0;
  }
}

void GraphWindow::MouseMove(int x, int y) {
  if (!dragging_) return;
  ex_ = x;
  ey_ = y;
}

void GraphWindow::MouseUp(MouseButton b, int x, int y) {
  if (b != MouseButton::Left || !dragging_) return;
  ex_ = x;
  ey_ = y;
  dragging_ = 0;
  if (sx_ == ex_ || sy_ == ey_) return;
  if (scaleX_ == 0 || scaleY_ == 0 || world_.xmax == world_.xmin || world_.ymax == world_.ymin) return;
  Host().SetWaitCursor(true);
  // The world rectangle under the dragged pixels, in zoom units.
  const Real ww = world_.xmax - world_.xmin, wh = world_.ymax - world_.ymin;
  auto zx = [&](int px) {
    const Real wx = visible_.xmin + (px - dev_.x1) / scaleX_;
    return static_cast<double>(dev_.x1 + (wx - world_.xmin) / ww * (dev_.x2 - dev_.x1));
  };
  auto zy = [&](int py) {
    const Real wy = visible_.ymin + (dev_.y2 - py) / scaleY_;
    return static_cast<double>(dev_.y1 + (wy - world_.ymin) / wh * (dev_.y2 - dev_.y1));
  };
  const double c[4] = {Nearest(zx(std::min(sx_, ex_))), Nearest(zy(std::max(sy_, ey_))),
                       Nearest(zx(std::max(sx_, ex_))), Nearest(zy(std::min(sy_, ey_)))};
  bool ok = true;
  for (double v : c)
    if (!std::isfinite(v) || std::fabs(v) > kStepLimit) ok = false;
  if (ok) SetScale(static_cast<int>(c[0]), static_cast<int>(c[1]), static_cast<int>(c[2]), static_cast<int>(c[3]));
  Repaint();
  Host().SetWaitCursor(false);
}

void GraphWindow::DoubleClick() {
  dragging_ = 0;
  RestoreLimit();
  ResetZoom();
  // The unit window must not drop the keep-aspect flag: the replay takes
  // the picture's own limits from its records but not the flag.
  const Byte keep = keepAspect_;
  ReSetWindow();
  keepAspect_ = keep;
  Repaint();
  dblClick_ = 0;
}

}  // namespace zeb

namespace zeb {

// A compression spring between two plates on hatched ground, pressed by an
// arrow: 57 filled quadrilaterals.
void GraphWindow::DrawLogo() {
  Header(0, -1, -1, 38, 33);
  SetLineStyle(0);
  SetColor(9);
  Solid(6, 3, 31, 3, 31, 5, 6, 5);
  Solid(6, 25, 31, 25, 31, 27, 6, 27);
  for (int k = 0; k < 26; ++k) {
    const Real y0 = 5 + k * 19.4L / 26, y1 = 5 + (k + 1) * 19.4L / 26;
    const Real xa = k % 2 ? 29 : 8, xb = k % 2 ? 8 : 29;
    Solid(xa, y0, xb, y1, xb, y1 + 0.6L, xa, y0 + 0.6L);
  }
  SetColor(13);
  for (int j = 0; j < 4; ++j) {
    const Real yb = 27.3L + j * 0.55L, yt = yb + 0.55L;
    const Real hb = (yb - 27.3L) / 2.2L * 2.5L, ht = (yt - 27.3L) / 2.2L * 2.5L;
    Solid(18.5L - hb, yb, 18.5L + hb, yb, 18.5L + ht, yt, 18.5L - ht, yt);
  }
  for (int j = 0; j < 5; ++j) {
    const Real yb = 29.5L + j * 0.6L;
    Solid(17.8L, yb, 19.2L, yb, 19.2L, yb + 0.6L, 17.8L, yb + 0.6L);
  }
  SetColor(9);
  for (int i = 0; i < 20; ++i) {
    const Real x = 6 + i * 1.25L;
    Solid(x, 0, x + 0.4L, 0, x + 1.6L, 2.5L, x + 1.2L, 2.5L);
  }
  MoveTo(0, 0);
}

}  // namespace zeb
