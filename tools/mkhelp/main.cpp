// mkhelp SOURCE_FOLDER HELP_FOLDER
//
// Fills HELP_FOLDER with the program's help data: the text files of
// SOURCE_FOLDER (*.hlp, *.err, *.dbh) copied byte for byte, and the help
// pictures drawn here as HP-GL files in a world of 160 x 120 mm (40 plotter
// units to the millimetre). Every file is written under a temporary name and
// renamed, so a failed run leaves no half-written picture.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr double kPi = 3.14159265358979323846;

// One picture: HP-GL commands in millimetres of the world.
//
// Labels are set clear of every line: a label of n characters at height h
// (character width 0.7 h) takes n character cells of 1.05 h along its
// direction, and across it from 0.35 h below its base line (0.7 h with
// descenders: the window's font sits lower than the plotter's) up to h.
class Plot {
 public:
  Plot() { out_ << "IN;SP1;"; }
  // Character set 3: "}" after a, o, u (or A, O, U) makes the umlaut; other
  // characters are code page 850.
  void Umlauts() { out_ << "CS3;"; }

  void Pen(int n) { out_ << "SP" << n << ';'; }
  void Line(double x1, double y1, double x2, double y2) { Poly({{x1, y1}, {x2, y2}}); }
  void Poly(const std::vector<std::pair<double, double>>& p) {
    if (p.size() < 2) return;
    out_ << "PU" << U(p[0].first) << ',' << U(p[0].second) << ";PD";
    for (std::size_t i = 1; i < p.size(); ++i) out_ << (i > 1 ? "," : "") << U(p[i].first) << ',' << U(p[i].second);
    out_ << ";PU;";
  }
  void Rect(double x1, double y1, double x2, double y2) { Poly({{x1, y1}, {x2, y1}, {x2, y2}, {x1, y2}, {x1, y1}}); }
  void Circle(double cx, double cy, double r) { out_ << "PU" << U(cx) << ',' << U(cy) << ";CI" << U(r) << ';'; }
  // Arc about (cx, cy) from angle a (degrees) through sweep degrees.
  void Arc(double cx, double cy, double r, double a, double sweep) {
    const double x = cx + r * std::cos(a * kPi / 180), y = cy + r * std::sin(a * kPi / 180);
    out_ << "PU" << U(x) << ',' << U(y) << ";PD;AA" << U(cx) << ',' << U(cy) << ',' << Num(sweep) << ";PU;";
  }
  // A dash-dot line (a centre line) from (x1, y1) to (x2, y2).
  void CentreLine(double x1, double y1, double x2, double y2) {
    const double l = std::hypot(x2 - x1, y2 - y1);
    if (l == 0) return;
    const double ux = (x2 - x1) / l, uy = (y2 - y1) / l;
    for (double a = 0; a < l; a += 8) {
      const double b = std::min(a + 5, l);
      Line(x1 + ux * a, y1 + uy * a, x1 + ux * b, y1 + uy * b);
      if (a + 6.5 < l) Line(x1 + ux * (a + 6.2), y1 + uy * (a + 6.2), x1 + ux * (a + 6.8), y1 + uy * (a + 6.8));
    }
  }
  // Text with its lower left corner at (x, y); height h mm; umlauts as
  // a}, o}, u} in character set 3.
  void Text(double x, double y, const std::string& s, double h = 3, bool up = false) {
    if (up) out_ << "DI0,1;";
    out_ << "SI" << Num(h * 0.07) << ',' << Num(h * 0.1) << ";PU" << U(x) << ',' << U(y) << ";LB" << s << "\x03;";
    if (up) out_ << "DI1,0;";
  }
  // Length of a label along its direction.
  static double Width(const std::string& s, double h) {
    double n = 0;
    for (char c : s) n += c == '}' ? 0 : 1;
    return n * 1.05 * h;
  }
  static bool Descends(const std::string& s) { return s.find_first_of("gjpqy,;()[]{|_Q") != std::string::npos; }
  // Distance of the base line above a line below the label, and of the
  // label's top below a line above it.
  static double Above(const std::string& s, double h) { return (Descends(s) ? 0.7 : 0.35) * h + kGap; }
  static double Below(double h) { return h + kGap; }
  // A label centred on x above a line at y, or below it.
  void TextAbove(double x, double y, const std::string& s, double h) {
    Text(x - Width(s, h) / 2, y + Above(s, h), s, h);
  }
  void TextBelow(double x, double y, const std::string& s, double h) { Text(x - Width(s, h) / 2, y - Below(h), s, h); }
  // A label right of a line at x (or left of it), centred on y.
  void TextRight(double x, double y, const std::string& s, double h) { Text(x + kGap, y - 0.35 * h, s, h); }
  void TextLeft(double x, double y, const std::string& s, double h) {
    Text(x - kGap - Width(s, h), y - 0.35 * h, s, h);
  }

  // Arrow head at (x, y) pointing along (dx, dy).
  void Head(double x, double y, double dx, double dy) {
    const double l = std::hypot(dx, dy);
    if (l == 0) return;
    const double ux = dx / l, uy = dy / l, s = 2.2, w = kHead;
    Poly({{x - ux * s + uy * w, y - uy * s - ux * w}, {x, y}, {x - ux * s - uy * w, y - uy * s + ux * w}});
  }
  // Dimension between two points along x at height y, its text above the
  // middle, clear of the arrow heads.
  void DimX(double x1, double x2, double y, const std::string& t, double h = 3) {
    Line(x1, y, x2, y);
    Head(x1, y, x1 - x2, 0);
    Head(x2, y, x2 - x1, 0);
    TextAbove((x1 + x2) / 2, y + kHead, t, h);
  }
  // Dimension along y at x with its text to the right (or left), centred
  // on textY or on the middle.
  void DimY(double x, double y1, double y2, const std::string& t, bool left = false, double h = 3, double textY = -1) {
    Line(x, y1, x, y2);
    Head(x, y1, 0, y1 - y2);
    Head(x, y2, 0, y2 - y1);
    const double ty = textY < 0 ? (y1 + y2) / 2 : textY;
    if (left)
      TextLeft(x - kHead, ty, t, h);
    else
      TextRight(x + kHead, ty, t, h);
  }
  std::string Bytes() const { return out_.str() + "PU0,0;SP0;"; }

 private:
  static constexpr double kGap = 0.6;
  static constexpr double kHead = 0.8;  // half the width of an arrow head
  static long U(double mm) { return std::lround(mm * 40); }
  static std::string Num(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3g", v);
    return buf;
  }
  std::ostringstream out_;
};

enum class Ends { kUnground, kGround, kForged };

// The part of a circle on one side of a horizontal plane (above it when
// above is true): an arc and its chord on the plane.
void CutCircle(Plot& p, double cx, double cy, double r, double plane, bool above) {
  const double a = std::asin(std::clamp((plane - cy) / r, -1.0, 1.0)) * 180 / kPi;  // the chord's right end
  if (above)
    p.Arc(cx, cy, r, a, 180 - 2 * a);
  else
    p.Arc(cx, cy, r, 180 - a, 180 + 2 * a);
  const double half = std::sqrt(std::max(0.0, r * r - (plane - cy) * (plane - cy)));
  p.Line(cx - half, plane, cx + half, plane);
}

// A standing spring in section, its front half cut away: the wire sections
// left and right of the axis x and the rear half-turns between them, from
// y0 up to y0 + h. n active coils (n even) and at each end one closed end
// coil (pitch d), whose tip touches the next turn. A ground end is cut flat
// (about 3/4 of a turn rests on the plane, the tip keeps d/4); a forged end
// is tapered flat to d/4 at the tip and ground. Returns the centres of the
// left sections, bottom up.
std::vector<double> SpringSection(Plot& p, double x, double y0, double h, double Dm, double d, int n, Ends ends) {
  const double r = d / 2;
  const double c0 = ends == Ends::kUnground ? r : r - 0.75 * d;  // tip centre above y0
  const int nt = n + 2;
  const double pitch = (h - 2 * (c0 + d)) / n;
  auto z = [&](double t) {
    if (t <= 1) return y0 + c0 + d * t;
    if (t >= nt - 1) return y0 + h - c0 - d * (nt - t);
    return y0 + c0 + d + pitch * (t - 1);
  };
  const double top = y0 + h;
  std::vector<double> left;
  std::vector<std::pair<double, double>> extent;  // of each section: bottom, top
  for (int k = 0; k <= 2 * nt; ++k) {
    const double t = k / 2.0, cx = k % 2 ? x + Dm / 2 : x - Dm / 2, cy = z(t);
    if (k % 2 == 0) left.push_back(cy);
    // Distance of the section from the nearer tip, in turns.
    const double fromTip = std::min(t, nt - t);
    const bool lower = t < nt / 2.0;
    if (ends == Ends::kForged && fromTip < 1) {
      // Tapered: flat on the plane, thinner and wider towards the tip; its
      // rounded side an arc through the chord's ends and the crown.
      const double th = (0.25 + fromTip) * d, wd = d * (1 + 0.4 * (1 - th / d));
      const double R = (wd * wd / 4 + th * th) / (2 * th);
      const double plane = lower ? y0 : top;
      CutCircle(p, cx, lower ? y0 + th - R : top - th + R, R, plane, lower);
      extent.push_back(lower ? std::make_pair(y0, y0 + th) : std::make_pair(top - th, top));
      continue;
    }
    const double lo = cy - r, hi = cy + r;
    if (ends != Ends::kUnground && (lo < y0 - 1e-9 || hi > top + 1e-9)) {
      // Ground: the part inside the plane.
      CutCircle(p, cx, cy, r, lo < y0 ? y0 : top, lo < y0);
      extent.push_back(lo < y0 ? std::make_pair(y0, hi) : std::make_pair(lo, top));
      continue;
    }
    p.Circle(cx, cy, r);
    extent.push_back({lo, hi});
  }
  // The rear half-turns, from each left section to the right one above it:
  // the wire's upper and lower contours; one on the ground plane is the
  // plane.
  for (int k = 0; k < 2 * nt; k += 2) {
    const double xa = x - Dm / 2, xb = x + Dm / 2;
    const auto [loA, hiA] = extent[static_cast<std::size_t>(k)];
    const auto [loB, hiB] = extent[static_cast<std::size_t>(k + 1)];
    if (!(std::fabs(hiA - top) < 1e-9 && std::fabs(hiB - top) < 1e-9)) p.Line(xa, hiA, xb, hiB);
    if (!(std::fabs(loA - y0) < 1e-9 && std::fabs(loB - y0) < 1e-9)) p.Line(xa, loA, xb, loB);
  }
  return left;
}

// A plate the spring rests on, hatched on its far side.
void Plate(Plot& p, double x1, double x2, double y, bool below) {
  p.Line(x1, y, x2, y);
  const double s = below ? -1 : 1;
  for (double x = x1; x <= x2 - 2; x += 3) p.Line(x, y, x + 2.5, y + s * 2.5);
}

std::string Dimensions() {
  Plot p;
  p.Umlauts();
  p.Text(5, 114, "Federabmessungen", 3.5);
  const double x = 70, y0 = 14, h = 78, Dm = 46, d = 7, top = y0 + h;
  Plate(p, x - 35, x + 35, y0, true);
  const std::vector<double> left = SpringSection(p, x, y0, h, Dm, d, 4, Ends::kGround);
  p.Pen(2);
  // Diameters above the spring: Di, Dm, De from the inside out.
  const double inner = Dm / 2 - d / 2, outer = Dm / 2 + d / 2;
  const struct {
    double half, y;
    const char* name;
  } dims[] = {{inner, 97, "Di"}, {Dm / 2, 103, "Dm"}, {outer, 109, "De"}};
  for (const auto& m : dims) {
    p.Line(x - m.half, top + 1, x - m.half, m.y + 1.5);
    p.Line(x + m.half, top + 1, x + m.half, m.y + 1.5);
    p.DimX(x - m.half, x + m.half, m.y, m.name);
  }
  p.CentreLine(x, y0 - 4, x, top + 3);  // axis
  p.DimY(x + 34, y0, top, "L0");
  p.Line(x + outer + 1, top, x + 36, top);
  // d at an active coil on the left.
  const double cy = left[3];
  p.Line(x - Dm / 2 - 13, cy, x - outer, cy);
  p.TextAbove(x - Dm / 2 - 11, cy, "d", 3);
  p.Pen(1);
  const double lx = 109;
  p.Text(lx, 86, "d   Drahtdurchmesser", 2.3);
  p.Text(lx, 80, "Di  Innendurchmesser", 2.3);
  p.Text(lx, 74, "Dm  mittlerer Durchm.", 2.3);
  p.Text(lx, 68, "De  Au\341endurchmesser", 2.3);  // code page 850 sharp s
  p.Text(lx, 62, "L0  ungespannte La}nge", 2.3);
  return p.Bytes();
}

std::string Lengths() {
  Plot p;
  p.Umlauts();
  p.Text(5, 112, "La}ngen, Federwege und Kra}fte", 3.5);
  const double y0 = 14, Dm = 16, d = 3.2;
  const int n = 4;
  Plate(p, 4, 150, y0, true);
  const double L0 = 80, L1 = 64, L2 = 44, Lc = (n + 1.5) * d, Ln = Lc + 5;
  struct S {
    double x, h;
    const char* name;
    const char* force;
  } springs[] = {{24, L0, "L0", nullptr}, {57, L1, "L1", "F1"}, {90, L2, "L2", "F2"}, {126, Lc, "Lc", "Fc"}};
  for (const S& s : springs) {
    SpringSection(p, s.x, y0, s.h, Dm, d, n, Ends::kGround);
    p.DimY(s.x - Dm / 2 - 5, y0, y0 + s.h, s.name, true);
    if (s.force != nullptr) {
      p.Line(s.x, y0 + s.h + 12, s.x, y0 + s.h);
      p.Head(s.x, y0 + s.h, 0, -1);
      p.TextRight(s.x, y0 + s.h + 8, s.force, 3);
    }
  }
  p.Pen(2);
  // Levels of the unloaded length, L1 and L2 carried across.
  p.Line(24 + Dm / 2 + 2, y0 + L0, 109, y0 + L0);
  p.Line(57 + Dm / 2 + 2, y0 + L1, 117, y0 + L1);
  p.Line(90 + Dm / 2 + 2, y0 + L2, 117, y0 + L2);
  p.DimY(57 + Dm / 2 + 6, y0 + L1, y0 + L0, "s1");
  p.DimY(90 + Dm / 2 + 9, y0 + L2, y0 + L0, "s2", false, 3, y0 + (L2 + L1) / 2);
  p.DimY(115, y0 + L2, y0 + L1, "sh");
  // The smallest usable length Ln just above Lc.
  p.Line(126 - Dm / 2 - 3, y0 + Ln, 126 + Dm / 2 + 3, y0 + Ln);
  p.TextRight(126 + Dm / 2 + 3, y0 + Ln, "Ln", 3);
  p.Pen(1);
  p.Text(122, 104, "sh = s2 - s1", 2.6);
  p.Text(122, 98, "Ln = Lc + Sa", 2.6);
  return p.Bytes();
}

std::string EndForms() {
  Plot p;
  p.Umlauts();
  p.Text(5, 112, "Federenden", 3.5);
  p.Text(5, 105, "angelegte Endwindungen; Blockla}nge Lc mit d = d max", 2.2);
  const double y0 = 36, h = 60, Dm = 28, d = 5;
  const struct {
    double x;
    Ends ends;
    const char *line1, *line2, *cold, *hot;
  } forms[] = {
      {28, Ends::kUnground, "angelegt und", "unbearbeitet", "kalt  Lc = (nt + 1,5) d", "warm  Lc = (nt + 1,1) d"},
      {80, Ends::kGround, "angelegt und", "geschliffen", "kalt  Lc = nt d", "warm  Lc = (nt - 0,3) d"},
      {132, Ends::kForged, "angelegt, geschmiedet", "und geschliffen", "kalt  Lc = nt d", "warm  Lc = (nt - 0,3) d"}};
  for (const auto& f : forms) {
    Plate(p, f.x - 20, f.x + 20, y0, true);
    SpringSection(p, f.x, y0, h, Dm, d, 4, f.ends);
    const double tx = f.x - 24;
    p.Text(tx, 25, f.line1, 2.2);
    p.Text(tx, 20.5, f.line2, 2.2);
    p.Text(tx, 12, f.cold, 2.0);
    p.Text(tx, 7.5, f.hot, 2.0);
  }
  return p.Bytes();
}

// One buckling case: the spring between two supports; kinds: 0 free,
// 1 pivoted, 2 fixed (clamped, parallel).
void BucklingCase(Plot& p, double x, int bottom, int top, bool topFree, const std::string& nu) {
  const double y0 = 26, h = 58, w = 14;
  auto support = [&](int kind, double y, bool below) {
    if (kind == 2) {
      Plate(p, x - 11, x + 11, y, below);
    } else if (kind == 1) {
      const double s = below ? -1 : 1;
      p.Poly({{x, y}, {x - 4, y + s * 5}, {x + 4, y + s * 5}, {x, y}});
      p.Line(x - 6, y + s * 5, x + 6, y + s * 5);
    }
  };
  // The spring as its outline of coils.
  std::vector<std::pair<double, double>> zig;
  for (int i = 0; i <= 10; ++i) zig.push_back({x + (i % 2 ? w / 2 : -w / 2), y0 + h * i / 10});
  p.Poly(zig);
  p.Line(x - w / 2 - 2, y0, x + w / 2 + 2, y0);
  p.Line(x - w / 2 - 2, y0 + h, x + w / 2 + 2, y0 + h);
  support(bottom, y0, true);
  support(top, y0 + h, false);
  // The load on top; a free end may move sideways.
  p.Line(x, y0 + h + 16, x, y0 + h + (top == 0 ? 0 : 6));
  p.Head(x, y0 + h + (top == 0 ? 0 : 6), 0, -1);
  if (topFree) {
    p.Line(x + 4, y0 + h + 6, x + 10, y0 + h + 6);
    p.Head(x + 10, y0 + h + 6, 1, 0);
  }
  p.Text(x - 9, 10, "nue=" + nu, 2.6);
}

std::string Buckling() {
  Plot p;
  p.Text(5, 112, "Lagerungsbeiwert nue (Knickung)", 3.5);
  BucklingCase(p, 16, 2, 0, true, "2");
  BucklingCase(p, 48, 1, 1, false, "1");
  BucklingCase(p, 80, 2, 1, false, "0,7");
  BucklingCase(p, 112, 2, 2, false, "0,5");
  BucklingCase(p, 144, 2, 2, true, "1");
  for (int i = 0; i < 5; ++i) p.Text(13 + 32 * i, 4, std::to_string(i + 1), 2.6);
  return p.Bytes();
}

std::string Tolerances() {
  Plot p;
  p.Umlauts();
  p.Text(5, 112, "Formtoleranzen e1 und e2", 3.5);
  // e1: the outer line of the spring leans off the square.
  const double y0 = 18, h = 74;
  Plate(p, 8, 70, y0, true);
  p.Poly({{24, y0}, {32, y0 + h}, {62, y0 + h}, {54, y0}, {24, y0}});
  for (int i = 1; i < 8; ++i) p.Line(24 + i, y0 + h * i / 8.0, 54 + i, y0 + h * i / 8.0);
  p.Pen(2);
  p.Line(54, y0, 54, y0 + h + 8);  // the square
  p.DimX(54, 62, y0 + h + 5, "e1");
  p.Pen(1);
  p.Text(10, 6, "e1: Abweichung der Mantellinie", 2.4);
  // e2: the upper end is not parallel to the lower one.
  Plate(p, 88, 152, y0, true);
  p.Poly({{102, y0}, {102, y0 + h - 3}, {138, y0 + h + 3}, {138, y0}, {102, y0}});
  for (int i = 1; i < 8; ++i) p.Line(102, y0 + (h - 3) * i / 8.0, 138, y0 + (h - 3) * i / 8.0 + 6.0 * i / 8);
  p.Pen(2);
  p.Line(96, y0 + h - 3, 150, y0 + h - 3);  // parallel to the base
  p.DimY(146, y0 + h - 3, y0 + h + 3.6, "e2");
  p.Pen(1);
  p.Text(90, 6, "e2: Parallelita}t der Enden", 2.4);
  return p.Bytes();
}

std::string CrossSections() {
  Plot p;
  p.Text(5, 112, "Drahtquerschnitte", 3.5);
  // The spring axis runs upwards: h lies along it, b across it.
  p.CentreLine(6, 44, 6, 94);
  p.Head(6, 96, 0, 1);
  p.Line(6, 94, 6, 96);
  p.Text(10.6, 52, "Federachse", 2.6, true);
  const double y = 70, dim = 54, name = 40;
  // The names in one row, one size, each centred under its section.
  const auto Name = [&](double x, const std::string& s) { p.Text(x - Plot::Width(s, 2.2) / 2, name, s, 2.2); };
  p.Circle(24, y, 9);
  p.DimX(15, 33, dim, "d");
  Name(24, "rund");
  p.Rect(44, y - 9, 62, y + 9);
  p.DimX(44, 62, dim, "a");
  Name(53, "quadratisch");
  p.Rect(70, y - 6, 94, y + 6);
  p.DimX(70, 94, dim, "b");
  p.DimY(97, y - 6, y + 6, "h");
  Name(82, "rechteckig");
  const double ex = 114;  // the ellipse's centre
  std::vector<std::pair<double, double>> e;
  for (int i = 0; i <= 48; ++i) e.push_back({ex + 11 * std::cos(2 * kPi * i / 48), y + 7 * std::sin(2 * kPi * i / 48)});
  p.Poly(e);
  p.DimX(ex - 11, ex + 11, dim, "b");
  p.DimY(ex + 13, y - 7, y + 7, "h");
  Name(ex, "elliptisch");
  const double tx = 145;  // the tube's centre
  p.Circle(tx, y, 9);
  p.Circle(tx, y, 5.5);
  p.DimX(tx - 9, tx + 9, dim, "d");
  p.Line(tx - 5.5, y, tx - 5.5, 88);
  p.Line(tx + 5.5, y, tx + 5.5, 88);
  p.DimX(tx - 5.5, tx + 5.5, 86, "di");
  Name(tx, "Rohr");
  p.Text(14, 26, "b radial (quer zur Federachse), h in Richtung der Federachse", 2.2);
  return p.Bytes();
}

std::string Goodman() {
  Plot p;
  p.Text(5, 112, "Dauerfestigkeitsschaubild (Goodman)", 3.5);
  const double x0 = 22, y0 = 14, W = 120, H = 90;
  p.Line(x0, y0, x0 + W, y0);
  p.Head(x0 + W, y0, 1, 0);
  p.Line(x0, y0, x0, y0 + H);
  p.Head(x0, y0 + H, 0, 1);
  p.Text(x0 + W - 34, y0 - 7, "tau k1, tau u", 2.4);
  p.Text(x0 + 2, y0 + H - 3, "tau k2, tau o", 2.4);
  // tau o = tau u; the permissible upper stress rises from tau o at
  // tau u = 0 to the knee at tau oz and runs at tau oz up to the bisector.
  const double oz = y0 + 76, kx = x0 + 60;
  p.Line(x0, y0, x0 + 84, y0 + 84);
  p.Pen(3);
  p.Poly({{x0, y0 + 40}, {kx, oz}, {x0 + (oz - y0), oz}});
  p.Pen(1);
  p.Line(x0, oz, kx - 3, oz);
  p.TextLeft(x0 - 1, oz, "tau oz", 2.4);
  p.Circle(kx, oz, 0.8);
  p.TextAbove(kx, oz + 0.8, "Knick", 2.4);
  // A working point below the permissible line: tau k1 on the axis, tau k2
  // above it; tau kh from the bisector up to the point.
  const double u = x0 + 30, lo = y0 + (u - x0), hi = y0 + 52;
  p.Circle(u, hi, 1.2);
  p.Line(u, y0, u, lo);
  p.Line(x0, hi, u - 1.2, hi);
  p.Pen(2);
  p.DimY(u, lo, hi - 1.2, "tau kh", true, 2.4);
  p.Pen(1);
  p.TextBelow(u, y0, "tau k1", 2.4);
  p.TextLeft(x0 - 1, hi, "tau k2", 2.4);
  p.Text(x0 + 88, y0 + 79, "tau o = tau u", 2.4);
  return p.Bytes();
}

std::string Characteristic() {
  Plot p;
  p.Text(5, 112, "Federkennlinie", 3.5);
  const double x0 = 20, y0 = 14;
  p.Line(x0, y0, x0 + 125, y0);
  p.Head(x0 + 125, y0, 1, 0);
  p.Line(x0, y0, x0, y0 + 90);
  p.Head(x0, y0 + 90, 0, 1);
  p.TextBelow(x0 + 118, y0, "s", 2.6);
  p.TextRight(x0 + 1, y0 + 88, "F", 2.6);
  const double R = 0.8, s1 = 40, s2 = 85, sc = 105;
  p.Line(x0, y0, x0 + sc, y0 + R * sc);
  p.Pen(2);
  for (double s : {s1, s2, sc}) {
    p.Line(x0 + s, y0, x0 + s, y0 + R * s);
    p.Line(x0, y0 + R * s, x0 + s, y0 + R * s);
  }
  p.Pen(1);
  p.TextBelow(x0 + s1, y0, "s1", 2.4);
  p.TextBelow(x0 + s2, y0, "s2", 2.4);
  p.TextBelow(x0 + sc, y0, "sc", 2.4);
  p.TextLeft(x0 - 1, y0 + R * s1, "F1", 2.4);
  p.TextLeft(x0 - 1, y0 + R * s2, "F2", 2.4);
  p.TextLeft(x0 - 1, y0 + R * sc, "Fc", 2.4);
  p.Text(x0 + 50, y0 + 20, "R = F / s", 2.6);
  return p.Bytes();
}

std::string Start() {
  Plot p;
  // A spring lying along the picture: its helix seen slightly from the
  // side, a looped curve of 9 turns with flat end turns.
  const double y = 62, r = 17, x0 = 22, pitch = 12, e = 5;
  std::vector<std::pair<double, double>> c;
  const int steps = 9 * 48;
  for (int k = 0; k <= steps; ++k) {
    const double t = 2 * kPi * k / 48;
    c.push_back({x0 + pitch * t / (2 * kPi) + e * std::sin(t), y + r * std::cos(t)});
  }
  p.Poly(c);
  p.Pen(2);
  p.Text(22, 94, "ZEB1", 9);
  p.Pen(1);
  p.Text(22, 30, "Zylindrische Druckfedern", 3.5);
  p.Text(22, 23, "EN 13906-1, EN 15800, DIN 2095/2096", 2.6);
  p.Text(22, 17, "Hilfe: Hilfetext und Hilfebild", 2.6);
  return p.Bytes();
}

bool WriteFile(const fs::path& path, const std::string& bytes) {
  const fs::path tmp = path.string() + ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    out << bytes;
    out.flush();
    if (!out) {
      std::cerr << "mkhelp: cannot write " << tmp << '\n';
      return false;
    }
  }
  std::error_code ec;
  fs::rename(tmp, path, ec);
  if (ec) std::cerr << "mkhelp: cannot rename " << tmp << ": " << ec.message() << '\n';
  return !ec;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: mkhelp SOURCE_FOLDER HELP_FOLDER\n";
    return 2;
  }
  const fs::path source = argv[1], target = argv[2];
  std::error_code ec;
  fs::create_directories(target, ec);
  if (ec) {
    std::cerr << "mkhelp: cannot create " << target << ": " << ec.message() << '\n';
    return 1;
  }
  bool ok = true;
  for (const auto& e : fs::directory_iterator(source, ec)) {
    const std::string ext = e.path().extension().string();
    if (!e.is_regular_file() || (ext != ".hlp" && ext != ".err" && ext != ".dbh")) continue;
    std::ifstream in(e.path(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    ok = WriteFile(target / e.path().filename(), bytes.str()) && ok;
  }
  if (ec) {
    std::cerr << "mkhelp: cannot read " << source << ": " << ec.message() << '\n';
    return 1;
  }
  const std::pair<const char*, std::function<std::string()>> pictures[] = {
      {"fedmass", Dimensions}, {"laengen", Lengths},        {"enden", EndForms},
      {"knick", Buckling},     {"toleranz", Tolerances},    {"quersch", CrossSections},
      {"goodman", Goodman},    {"kennlin", Characteristic}, {"start", Start}};
  for (const auto& [stem, draw] : pictures) ok = WriteFile(target / (std::string(stem) + ".plt"), draw()) && ok;
  return ok ? 0 : 1;
}
