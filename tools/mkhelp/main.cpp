// mkhelp SOURCE_FOLDER HELP_FOLDER
//
// Fills HELP_FOLDER with the program's help data: the text files of
// SOURCE_FOLDER (*.hlp, *.err, *.dbh) copied byte for byte, and the help
// pictures drawn here as HP-GL files in a world of 160 x 120 mm (40 plotter
// units to the millimetre). Every file is written under a temporary name and
// renamed, so a failed run leaves no half-written picture.
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
class Plot {
 public:
  Plot() { out_ << "IN;SP1;"; }
  // Character set 3: "}" after a, o, u (or A, O, U) makes the umlaut.
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
  // Text with its lower left corner at (x, y); height h mm; umlauts as
  // a}, o}, u} in character set 3.
  void Text(double x, double y, const std::string& s, double h = 3, bool up = false) {
    if (up) out_ << "DI0,1;";
    out_ << "SI" << Num(h * 0.07) << ',' << Num(h * 0.1) << ";PU" << U(x) << ',' << U(y) << ";LB" << s << "\x03;";
    if (up) out_ << "DI1,0;";
  }
  // Arrow head at (x, y) pointing along (dx, dy).
  void Head(double x, double y, double dx, double dy) {
    const double l = std::hypot(dx, dy);
    if (l == 0) return;
    const double ux = dx / l, uy = dy / l, s = 2.2, w = 0.8;
    Poly({{x - ux * s + uy * w, y - uy * s - ux * w}, {x, y}, {x - ux * s - uy * w, y - uy * s + ux * w}});
  }
  // Dimension between two points along x (at height y) with text above.
  void DimX(double x1, double x2, double y, const std::string& t) {
    Line(x1, y, x2, y);
    Head(x1, y, x1 - x2, 0);
    Head(x2, y, x2 - x1, 0);
    Text((x1 + x2) / 2 - 1.1 * t.size(), y + 1, t);
  }
  // Dimension along y at x with text to the right (or left).
  void DimY(double x, double y1, double y2, const std::string& t, bool left = false) {
    Line(x, y1, x, y2);
    Head(x, y1, 0, y1 - y2);
    Head(x, y2, 0, y2 - y1);
    Text(left ? x - 2.3 * t.size() - 1.5 : x + 1.2, (y1 + y2) / 2 - 1.5, t);
  }
  std::string Bytes() const { return out_.str() + "PU0,0;SP0;"; }

 private:
  static long U(double mm) { return std::lround(mm * 40); }
  static std::string Num(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3g", v);
    return buf;
  }
  std::ostringstream out_;
};

// A standing spring in section: wire circles on both sides of the axis x,
// from y0 up to y0 + h, Dm wide, wire d, nt pitches. closedEnds puts the
// end coils on their neighbours; ground cuts them flat.
std::vector<double> Spring(Plot& p, double x, double y0, double h, double Dm, double d, int nt,
                           bool closedEnds = true, bool ground = true) {
  const double r = d / 2;
  std::vector<double> left, right;
  if (closedEnds) {
    const double bottom = ground ? y0 + r * 0.6 : y0 + r;
    const double top = ground ? y0 + h - r * 0.6 : y0 + h - r;
    left.push_back(bottom);
    right.push_back(bottom + d);
    const double inner0 = bottom + d, inner1 = top - d;
    const int inner = nt - 2;
    const double pitch = (inner1 - inner0) / inner;
    for (int i = 1; i <= inner; ++i) left.push_back(inner0 + (i - 0.5) * pitch);
    for (int i = 1; i < inner; ++i) right.push_back(inner0 + i * pitch);
    right.push_back(inner1);
    left.push_back(top);
  } else {
    const double pitch = (h - d) / nt;
    for (int i = 0; i <= nt; ++i) left.push_back(y0 + r + i * pitch);
    for (int i = 0; i < nt; ++i) right.push_back(y0 + r + (i + 0.5) * pitch);
  }
  const double xl = x - Dm / 2, xr = x + Dm / 2;
  for (double y : left) p.Circle(xl, y, r);
  for (double y : right) p.Circle(xr, y, r);
  // Front of the coils: from each left section up to the next right one.
  for (std::size_t i = 0; i < left.size() && i < right.size(); ++i) p.Line(xl, left[i] + r, xr, right[i] - r);
  for (std::size_t i = 0; i + 1 < left.size() && i < right.size(); ++i) p.Line(xr, right[i] + r, xl, left[i + 1] - r);
  if (closedEnds && ground) {
    p.Line(xl - r, y0, xr + r, y0);
    p.Line(xl - r, y0 + h, xr + r, y0 + h);
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
  p.Text(5, 112, "Federabmessungen", 3.5);
  const double x = 62, y0 = 14, h = 78, Dm = 46, d = 7;
  Plate(p, x - 35, x + 35, y0, true);
  const std::vector<double> left = Spring(p, x, y0, h, Dm, d, 7);
  p.Pen(2);
  p.DimX(x - Dm / 2 - d / 2, x + Dm / 2 + d / 2, 104, "De");
  p.Line(x - Dm / 2 - d / 2, 102, x - Dm / 2 - d / 2, y0 + h + 1);
  p.Line(x + Dm / 2 + d / 2, 102, x + Dm / 2 + d / 2, y0 + h + 1);
  p.DimX(x - Dm / 2, x + Dm / 2, 97, "Dm");
  p.Line(x - Dm / 2, 95, x - Dm / 2, y0 + h + 1);
  p.Line(x + Dm / 2, 95, x + Dm / 2, y0 + h + 1);
  p.DimX(x - Dm / 2 + d / 2, x + Dm / 2 - d / 2, 52, "Di");
  p.Line(x, y0 - 4, x, y0 + h + 4);  // axis
  p.DimY(x + 36, y0, y0 + h, "L0");
  p.Line(x + Dm / 2 + d, y0 + h, x + 38, y0 + h);
  // d at the second section on the left
  const double cy = left[2];
  p.Line(x - Dm / 2 - 14, cy, x - Dm / 2 - d / 2, cy);
  p.Text(x - Dm / 2 - 16, cy + 1, "d");
  p.Pen(1);
  p.Text(104, 80, "d   Drahtdurchmesser", 2.3);
  p.Text(104, 74, "Di  Innendurchmesser", 2.3);
  p.Text(104, 68, "Dm  mittlerer Durchm.", 2.3);
  p.Text(104, 62, "De  Au}endurchmesser", 2.3);
  p.Text(104, 56, "L0  ungespannte La}nge", 2.3);
  return p.Bytes();
}

std::string Lengths() {
  Plot p;
  p.Umlauts();
  p.Text(5, 112, "La}ngen, Federwege und Kra}fte", 3.5);
  const double y0 = 14, Dm = 16, d = 3.2;
  Plate(p, 4, 150, y0, true);
  const double L0 = 80, L1 = 64, L2 = 44, Lc = 7.6 * d, Ln = Lc + 5;
  struct S {
    double x, h;
    const char* name;
    const char* force;
  } springs[] = {{24, L0, "L0", nullptr}, {57, L1, "L1", "F1"}, {90, L2, "L2", "F2"}, {125, Lc, "Lc", "Fc"}};
  for (const S& s : springs) {
    Spring(p, s.x, y0, s.h, Dm, d, 7);
    p.DimY(s.x - Dm / 2 - 6, y0, y0 + s.h, s.name, true);
    if (s.force != nullptr) {
      p.Line(s.x, y0 + s.h + 12, s.x, y0 + s.h);
      p.Head(s.x, y0 + s.h, 0, -1);
      p.Text(s.x + 1.5, y0 + s.h + 8, s.force);
    }
  }
  p.Pen(2);
  // Levels of the unloaded length, L1 and L2 carried across.
  p.Line(24 + Dm / 2 + 2, y0 + L0, 100, y0 + L0);
  p.Line(57 + Dm / 2 + 2, y0 + L1, 108, y0 + L1);
  p.DimY(57 + Dm / 2 + 6, y0 + L1, y0 + L0, "s1");
  p.DimY(90 + Dm / 2 + 6, y0 + L2, y0 + L0, "s2");
  p.DimY(90 + Dm / 2 + 14, y0 + L2, y0 + L1, "sh");
  // The smallest usable length Ln just above Lc.
  p.Line(125 - Dm / 2 - 3, y0 + Ln, 125 + Dm / 2 + 3, y0 + Ln);
  p.Text(125 + Dm / 2 + 4, y0 + Ln - 1, "Ln");
  p.Pen(1);
  p.Text(112, 104, "sh = s2 - s1", 2.6);
  p.Text(112, 98, "Ln = Lc + Sa", 2.6);
  return p.Bytes();
}

std::string EndForms() {
  Plot p;
  p.Text(5, 112, "Federenden", 3.5);
  const double y0 = 22, h = 70, Dm = 26, d = 5;
  Spring(p, 28, y0, h, Dm, d, 6, true, true);
  Spring(p, 80, y0, h, Dm, d, 6, true, false);
  Spring(p, 132, y0, h, Dm, d, 6, false, false);
  p.Text(8, 12, "angelegt und", 2.6);
  p.Text(8, 7, "geschliffen", 2.6);
  p.Text(62, 12, "angelegt,", 2.6);
  p.Text(62, 7, "nicht geschliffen", 2.6);
  p.Text(118, 12, "nicht angelegt", 2.6);
  p.Text(118, 7, "(offen)", 2.6);
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
  const double y = 70, dim = 54, name = 40;
  p.Circle(16, y, 9);
  p.DimX(7, 25, dim, "d");
  p.Text(8, name, "rund", 2.6);
  p.Rect(36, y - 9, 54, y + 9);
  p.DimX(36, 54, dim, "a");
  p.Text(33, name, "quadratisch", 2.2);
  p.Rect(62, y - 6, 86, y + 6);
  p.DimX(62, 86, dim, "b");
  p.DimY(89, y - 6, y + 6, "h");
  p.Text(63, name, "rechteckig", 2.2);
  std::vector<std::pair<double, double>> e;
  for (int i = 0; i <= 48; ++i) e.push_back({104 + 11 * std::cos(2 * kPi * i / 48), y + 7 * std::sin(2 * kPi * i / 48)});
  p.Poly(e);
  p.DimX(93, 115, dim, "b");
  p.DimY(117, y - 7, y + 7, "h");
  p.Text(94, name, "elliptisch", 2.6);
  p.Circle(140, y, 9);
  p.Circle(140, y, 5.5);
  p.DimX(131, 149, dim, "d");
  p.Line(134.5, y, 134.5, 88);
  p.Line(145.5, y, 145.5, 88);
  p.DimX(134.5, 145.5, 86, "di");
  p.Text(134, name, "Rohr", 2.6);
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
  p.Text(x0 + W - 22, y0 - 7, "tau k1, tau u", 2.4);
  p.Text(x0 + 2, y0 + H - 3, "tau k2, tau o", 2.4);
  // tau o = tau u, the fatigue limit rising to the knee, the static limit.
  p.Line(x0, y0, x0 + 84, y0 + 84);
  const double kx = x0 + 46, ky = y0 + 70, oz = y0 + 76;
  p.Pen(3);
  p.Poly({{x0, y0 + 40}, {kx, ky}, {x0 + 66, oz}, {x0 + 76, oz}});
  p.Pen(1);
  p.Text(kx - 12, ky + 3, "Knick", 2.4);
  p.Line(x0, oz, x0 + 66, oz);
  p.Text(x0 - 20, oz - 1, "tau oz", 2.4);
  // A working point: tau k1 on the bisector, tau k2 above it.
  const double u = x0 + 30, lo = y0 + 30, hi = y0 + 58;
  p.Circle(u, hi, 1.2);
  p.Pen(2);
  p.Line(u, y0, u, hi);
  p.Line(x0, hi, u, hi);
  p.DimY(u + 3, lo, hi, "tau kh");
  p.Pen(1);
  p.Text(u - 5, y0 - 6, "tau k1", 2.4);
  p.Text(x0 - 20, hi - 1, "tau k2", 2.4);
  p.Text(x0 + 86, y0 + 80, "tau o = tau u", 2.4);
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
  p.Text(x0 + 120, y0 - 7, "s", 2.6);
  p.Text(x0 - 6, y0 + 86, "F", 2.6);
  const double R = 0.8, s1 = 40, s2 = 85, sc = 105;
  p.Line(x0, y0, x0 + sc, y0 + R * sc);
  p.Pen(2);
  for (double s : {s1, s2, sc}) {
    p.Line(x0 + s, y0, x0 + s, y0 + R * s);
    p.Line(x0, y0 + R * s, x0 + s, y0 + R * s);
  }
  p.Pen(1);
  p.Text(x0 + s1 - 2, y0 - 6, "s1", 2.4);
  p.Text(x0 + s2 - 2, y0 - 6, "s2", 2.4);
  p.Text(x0 + sc - 2, y0 - 6, "sc", 2.4);
  p.Text(x0 - 9, y0 + R * s1 - 1, "F1", 2.4);
  p.Text(x0 - 9, y0 + R * s2 - 1, "F2", 2.4);
  p.Text(x0 - 9, y0 + R * sc - 1, "Fc", 2.4);
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
      {"fedmass", Dimensions}, {"laengen", Lengths},  {"enden", EndForms},       {"knick", Buckling},
      {"toleranz", Tolerances}, {"quersch", CrossSections}, {"goodman", Goodman}, {"kennlin", Characteristic},
      {"start", Start}};
  for (const auto& [stem, draw] : pictures) ok = WriteFile(target / (std::string(stem) + ".plt"), draw()) && ok;
  return ok ? 0 : 1;
}
