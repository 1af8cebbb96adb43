// The help pictures measured as the player draws them: no label lies over
// another, no line, circle or arc runs through a label, every label stays
// in the 160 x 120 world; and the pictures show what the program does (the
// production dialog's end forms with touching end coils, the Goodman knee
// and stroke, the spring axis of the cross-sections, the sharp s).
//
// A label's box: along its direction one cell of 1.5 x the character width
// per character (the plotter's spacing, wider than the window's font); across
// it from its base line up to the character height (the plotter's capitals),
// and below the base line 0.35 of the height, 0.7 with descenders (the
// window sets its font about a quarter of the height lower).
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "base/support_decimal.h"
#include "graph_support.h"
#include "graphics/hpgl.h"

namespace zeb::test {
namespace {

namespace fs = std::filesystem;

constexpr double kHair = 0.05;  // what a box and a line may share (rounding)

struct Pt {
  double x, y;
};

struct Label {
  std::string text;  // Windows-1252, as drawn
  Pt at{};           // start of the base line
  Pt dir{1, 0};      // along the text
  double length = 0, below = 0, above = 0;
  // The point u along and v across (v up from the base line).
  Pt At(double u, double v) const { return {at.x + dir.x * u - dir.y * v, at.y + dir.y * u + dir.x * v}; }
  std::vector<Pt> Corners(double shrink) const {
    return {At(shrink, -below + shrink), At(length - shrink, -below + shrink), At(length - shrink, above - shrink),
            At(shrink, above - shrink)};
  }
};

struct Segment {
  Pt a, b;
  int colour;
};

// A circle (full) or an arc counter-clockwise from a1 to a2 (radians).
struct Curve {
  Pt c;
  double r;
  bool full;
  double a1 = 0, a2 = 0;
  bool Covers(double angle) const {
    if (full) return true;
    auto ccw = [](double from, double to) {
      double d = std::fmod(to - from, 2 * M_PI);
      return d < 0 ? d + 2 * M_PI : d;
    };
    return ccw(a1, angle) <= ccw(a1, a2) + 1e-9;
  }
};

struct Picture {
  std::vector<Label> labels;
  std::vector<Segment> lines;
  std::vector<Curve> curves;
  // Curves as short chords, for the box tests.
  std::vector<Segment> CurveChords() const {
    std::vector<Segment> out;
    for (const Curve& c : curves) {
      const double sweep = c.full ? 2 * M_PI : std::fmod(c.a2 - c.a1 + 4 * M_PI, 2 * M_PI);
      const int n = std::max(8, static_cast<int>(sweep * c.r / 0.1));
      for (int i = 0; i < n; ++i) {
        const double p = c.a1 + sweep * i / n, q = c.a1 + sweep * (i + 1) / n;
        out.push_back({{c.c.x + c.r * std::cos(p), c.c.y + c.r * std::sin(p)},
                       {c.c.x + c.r * std::cos(q), c.c.y + c.r * std::sin(q)},
                       -1});
      }
    }
    return out;
  }
};

std::vector<double> Numbers(const std::string& rec, std::size_t count) {
  std::vector<double> v;
  std::size_t i = rec.find(';');
  while (i != std::string::npos && v.size() < count) {
    v.push_back(static_cast<double>(zeb::test::DecimalValue(rec.substr(i + 1))));
    i = rec.find(';', i + 1);
  }
  return v;
}

bool Descends(const std::string& s) { return s.find_first_of("gjpqy,;()[]{}|_Q@") != std::string::npos; }

// The picture of a display list.
Picture Read(const std::vector<std::string>& list) {
  Picture p;
  double h = 5, w = 5, angle = 0;
  int colour = 0;
  Pt cur{0, 0};
  for (const std::string& rec : list) {
    const int op = std::stoi(rec);
    if (op == 8) colour = std::stoi(rec.substr(2));
    if (op == 9) {
      const auto v = Numbers(rec, 4);
      h = v[0], w = v[1], angle = v[3];
    }
    if (op == 1) {
      const auto v = Numbers(rec, 2);
      cur = {v[0], v[1]};
    }
    if (op == 2) {
      const auto v = Numbers(rec, 2);
      p.lines.push_back({cur, {v[0], v[1]}, colour});
      cur = {v[0], v[1]};
    }
    if (op == 4) {
      const auto v = Numbers(rec, 4);
      p.lines.push_back({{v[0], v[1]}, {v[2], v[3]}, colour});
    }
    if (op == 3) {
      const auto v = Numbers(rec, 3);
      p.curves.push_back({{v[0], v[1]}, v[2], true});
    }
    if (op == 5) {
      const auto v = Numbers(rec, 8);
      Curve c{{(v[0] + v[2]) / 2, (v[1] + v[3]) / 2}, (v[2] - v[0]) / 2, false};
      c.a1 = std::atan2(v[5] - c.c.y, v[4] - c.c.x);
      c.a2 = std::atan2(v[7] - c.c.y, v[6] - c.c.x);
      p.curves.push_back(c);
    }
    if (op == 6) {
      // "6;x;y;text": the text may hold ";".
      const std::size_t a = rec.find(';'), b = rec.find(';', a + 1), c = rec.find(';', b + 1);
      Label l;
      l.text = rec.substr(c + 1);
      l.at = {static_cast<double>(zeb::test::DecimalValue(rec.substr(a + 1))),
              static_cast<double>(zeb::test::DecimalValue(rec.substr(b + 1)))};
      const double rad = angle * M_PI / 180;
      l.dir = {std::cos(rad), std::sin(rad)};
      l.length = 1.5 * w * static_cast<double>(l.text.size());
      l.above = h;
      l.below = (Descends(l.text) ? 0.7 : 0.35) * h;
      p.labels.push_back(l);
    }
  }
  return p;
}

// Separating axes of two convex quadrilaterals.
bool Overlap(const std::vector<Pt>& p, const std::vector<Pt>& q) {
  for (const auto* poly : {&p, &q}) {
    for (std::size_t i = 0; i < 4; ++i) {
      const Pt a = (*poly)[i], b = (*poly)[(i + 1) % 4];
      const double nx = a.y - b.y, ny = b.x - a.x;
      double p0 = 1e300, p1 = -1e300, q0 = 1e300, q1 = -1e300;
      for (const Pt& v : p) p0 = std::min(p0, v.x * nx + v.y * ny), p1 = std::max(p1, v.x * nx + v.y * ny);
      for (const Pt& v : q) q0 = std::min(q0, v.x * nx + v.y * ny), q1 = std::max(q1, v.x * nx + v.y * ny);
      if (p1 <= q0 || q1 <= p0) return false;
    }
  }
  return true;
}

// Whether a segment runs through a label's box shrunk by kHair (clipped in
// the label's own coordinates).
bool Crosses(const Label& l, const Segment& s) {
  auto local = [&](Pt p) {
    const double dx = p.x - l.at.x, dy = p.y - l.at.y;
    return Pt{dx * l.dir.x + dy * l.dir.y, -dx * l.dir.y + dy * l.dir.x};
  };
  const Pt a = local(s.a), b = local(s.b);
  double t0 = 0, t1 = 1;
  const double lo[2] = {kHair, -l.below + kHair}, hi[2] = {l.length - kHair, l.above - kHair};
  const double p0[2] = {a.x, a.y}, d[2] = {b.x - a.x, b.y - a.y};
  for (int k = 0; k < 2; ++k) {
    if (std::fabs(d[k]) < 1e-12) {
      if (p0[k] < lo[k] || p0[k] > hi[k]) return false;
      continue;
    }
    double ta = (lo[k] - p0[k]) / d[k], tb = (hi[k] - p0[k]) / d[k];
    if (ta > tb) std::swap(ta, tb);
    t0 = std::max(t0, ta);
    t1 = std::min(t1, tb);
    if (t0 > t1) return false;
  }
  return true;
}

std::string Where(const Segment& s) {
  std::ostringstream o;
  o << "(" << s.a.x << ", " << s.a.y << ")-(" << s.b.x << ", " << s.b.y << ")";
  return o.str();
}

// Every finding of a picture, one per line.
std::string Findings(const Picture& p) {
  std::ostringstream out;
  for (const Label& l : p.labels) {
    for (const Pt& c : l.Corners(0))
      if (c.x < -kHair || c.x > 160 + kHair || c.y < -kHair || c.y > 120 + kHair)
        out << "'" << l.text << "' leaves the world at " << c.x << ", " << c.y << "\n";
  }
  for (std::size_t i = 0; i < p.labels.size(); ++i)
    for (std::size_t j = i + 1; j < p.labels.size(); ++j)
      if (Overlap(p.labels[i].Corners(kHair), p.labels[j].Corners(kHair)))
        out << "'" << p.labels[i].text << "' over '" << p.labels[j].text << "'\n";
  std::vector<Segment> all = p.lines;
  const std::vector<Segment> chords = p.CurveChords();
  all.insert(all.end(), chords.begin(), chords.end());
  for (const Label& l : p.labels) {
    int hits = 0;
    for (const Segment& s : all)
      if (Crosses(l, s) && hits++ == 0) out << "'" << l.text << "' crossed by " << Where(s) << "\n";
  }
  return out.str();
}

class HelpPictureTest : public GraphTest {
 protected:
  Picture Play(const std::string& bytes) {
    ResetHpglState();
    f().GrafClear();
    f().GrafHeader(false, 0, 0, 160, 120);
    list().clear();
    PlayHpglBytes(f(), bytes);
    return Read(list());
  }
  Picture Shipped(const std::string& stem) {
    ResetHpglState();
    f().ShowHelpPictureFile(stem);
    return Read(list());
  }
  static const Label* Find(const Picture& p, const std::string& text) {
    for (const Label& l : p.labels)
      if (l.text == text) return &l;
    ADD_FAILURE() << "no label '" << text << "'";
    return nullptr;
  }
};

// The measure itself, on pictures made for it.
TEST_F(HelpPictureTest, MeasureFindsCrossingsAndOverlapsAndLeavesWhatIsClear) {
  // "AB" at 3 mm: 2 cells of 1.5 x 2.1 mm, from 1.05 mm below the base line to 3 mm above it.
  const std::string ab = "SI0.21,0.3;PU400,400;LBAB\x03;";
  EXPECT_EQ(Findings(Play(ab + "PU400,352;PD800,352;")), "");  // 0.15 mm under the box
  EXPECT_NE(Findings(Play(ab + "PU400,400;PD800,400;")).find("'AB' crossed by"),
            std::string::npos);  // on the base line
  EXPECT_NE(Findings(Play(ab + "PU600,300;PD600,600;")).find("'AB' crossed by"), std::string::npos);  // through it
  EXPECT_EQ(Findings(Play(ab + "PU660,300;PD660,600;")), "");  // right of the box (10 + 6.3 mm)
  // Descenders reach lower: "gy" takes 2.1 mm below its base line.
  const std::string gy = "SI0.21,0.3;PU400,400;LBgy\x03;";
  EXPECT_EQ(Findings(Play(gy + "PU400,310;PD800,310;")), "");
  EXPECT_NE(Findings(Play(gy + "PU400,340;PD800,340;")).find("crossed"), std::string::npos);
  // A circle through the box, an arc that passes it by.
  EXPECT_NE(Findings(Play(ab + "PU520,500;CI40;")).find("crossed"), std::string::npos);
  EXPECT_EQ(Findings(Play(ab + "PU520,700;CI40;")), "");
  EXPECT_EQ(Findings(Play(ab + "PU600,560;PD;AA520,560,180;PU;")), "");  // upper half, above the box
  EXPECT_NE(Findings(Play(ab + "PU600,560;PD;AA520,560,-180;PU;")).find("crossed"), std::string::npos);
  // Two labels side by side and one over another; a text upwards.
  EXPECT_EQ(Findings(Play(ab + "PU700,400;LBCD\x03;")), "");
  EXPECT_NE(Findings(Play(ab + "PU600,420;LBCD\x03;")).find("'AB' over 'CD'"), std::string::npos);
  EXPECT_NE(Findings(Play(ab + "DI0,1;PU420,300;LBUP\x03;")).find("'AB' over 'UP'"), std::string::npos);
  EXPECT_NE(Findings(Play("SI0.21,0.3;DI0,1;PU400,400;LBUP\x03;PU300,500;PD500,500;")).find("'UP' crossed"),
            std::string::npos);
  // Out of the world.
  EXPECT_NE(Findings(Play("SI0.21,0.3;PU6300,400;LBAB\x03;")).find("leaves the world"), std::string::npos);
}

#ifdef ZEB1_HELP_FOLDER
class ShippedPictureTest : public HelpPictureTest {
 protected:
  void SetUp() override {
    HelpPictureTest::SetUp();
    G().HelpFolder = ZEB1_HELP_FOLDER;
  }
};

TEST_F(ShippedPictureTest, NoLabelOverAnotherOrCrossedByALine) {
  int pictures = 0;
  for (const char* stem :
       {"start", "fedmass", "laengen", "kennlin", "enden", "knick", "toleranz", "quersch", "goodman"}) {
    SCOPED_TRACE(stem);
    const Picture p = Shipped(stem);
    EXPECT_GE(p.labels.size(), 1u);
    EXPECT_GE(p.lines.size() + p.curves.size(), 5u);
    EXPECT_EQ(Findings(p), "");
    ++pictures;
  }
  // And no picture is left out of the measure.
  int files = 0;
  for (const auto& e : fs::directory_iterator(ZEB1_HELP_FOLDER)) files += e.path().extension() == ".plt";
  EXPECT_EQ(files, pictures);
}

// Labels side by side on one base line are one row: one text size.
TEST_F(ShippedPictureTest, OneTextSizePerRowOfLabels) {
  for (const char* stem : {"fedmass", "laengen", "kennlin", "enden", "knick", "toleranz", "quersch", "goodman"}) {
    SCOPED_TRACE(stem);
    const Picture p = Shipped(stem);
    for (const Label& a : p.labels) {
      for (const Label& b : p.labels) {
        if (a.dir.x == 1 && b.dir.x == 1 && std::fabs(a.at.y - b.at.y) < kHair && a.at.x < b.at.x) {
          EXPECT_NEAR(a.above, b.above, kHair) << "'" << a.text << "' and '" << b.text << "'";
        }
      }
    }
  }
}

TEST_F(ShippedPictureTest, OuterDiameterIsSpelledWithSharpS) {
  const Picture p = Shipped("fedmass");
  Find(p, "De  Au\337endurchmesser");  // Windows-1252 as drawn
  for (const Label& l : p.labels) EXPECT_EQ(l.text.find("Au\xFC"), std::string::npos) << l.text;
}

// Nearest point of a circle or arc straight below (down) or above a point:
// its height, or NaN.
double Straight(const Picture& p, Pt from, bool down, const Curve* self) {
  double best = std::nan("");
  for (const Curve& c : p.curves) {
    if (&c == self) continue;
    const double dx = from.x - c.c.x;
    if (std::fabs(dx) > c.r) continue;
    const double dy = std::sqrt(c.r * c.r - dx * dx);
    for (double y : {c.c.y - dy, c.c.y + dy}) {
      if (!c.Covers(std::atan2(y - c.c.y, dx))) continue;
      if (down ? y > from.y + kHair : y < from.y - kHair) continue;
      if (std::isnan(best) || (down ? y > best : y < best)) best = y;
    }
  }
  return best;
}

TEST_F(ShippedPictureTest, EndFormsAreTheDialogsWithTouchingEndCoils) {
  const Picture p = Shipped("enden");
  // The three end forms of the production dialog, each named in two lines
  // one under the other.
  std::vector<std::string> names;
  for (std::size_t i = 0; i + 1 < p.labels.size(); ++i) {
    const Label &a = p.labels[i], &b = p.labels[i + 1];
    const double drop = a.at.y - b.at.y;
    if (std::fabs(a.at.x - b.at.x) > 1e-6 || drop <= 0 || drop > 3 * a.above) continue;
    const std::string two = a.text + " " + b.text;
    if (two.rfind("angelegt", 0) == 0) names.push_back(two);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"angelegt und unbearbeitet", "angelegt und geschliffen",
                                             "angelegt, geschmiedet und geschliffen"}));
  for (const Label& l : p.labels) EXPECT_EQ(l.text.find("offen"), std::string::npos) << l.text;

  // The wire: the full circles of the most frequent radius, in columns.
  std::map<long, int> radii;
  for (const Curve& c : p.curves)
    if (c.full) ++radii[std::lround(c.r * 100)];
  ASSERT_FALSE(radii.empty());
  const double r =
      std::max_element(radii.begin(), radii.end(), [](auto& a, auto& b) { return a.second < b.second; })->first / 100.0;
  std::map<long, std::vector<const Curve*>> columns;
  for (const Curve& c : p.curves)
    if (c.full && std::fabs(c.r - r) < 0.01) columns[std::lround(c.c.x * 10)].push_back(&c);
  ASSERT_EQ(columns.size(), 6u) << "three springs, two sides each";
  int side = 0;
  for (auto& [x, column] : columns) {
    SCOPED_TRACE("column at x " + std::to_string(x / 10.0));
    std::sort(column.begin(), column.end(), [](const Curve* a, const Curve* b) { return a->c.y < b->c.y; });
    const double mid = (column.front()->c.y + column.back()->c.y) / 2;
    bool bottom = false, top = false, open = false;
    for (const Curve* c : column) {
      const double below = Straight(p, {c->c.x, c->c.y - c->r}, true, c);
      const double above = Straight(p, {c->c.x, c->c.y + c->r}, false, c);
      if (c->c.y < mid && std::fabs(below - (c->c.y - c->r)) <= kHair) bottom = true;
      if (c->c.y > mid && std::fabs(above - (c->c.y + c->r)) <= kHair) top = true;
      if (!std::isnan(below) && c->c.y - c->r - below > 2 * r * 0.5) open = true;
    }
    // The tip side (left) of each spring: the end coil sits on the turn
    // below it at both ends; between them the active coils stand open.
    if (side++ % 2 == 0) {
      EXPECT_TRUE(bottom);
      EXPECT_TRUE(top);
    }
    EXPECT_TRUE(open);
  }
}

TEST_F(ShippedPictureTest, GoodmanKneeAndStroke) {
  const Picture p = Shipped("goodman");
  // The permissible line (pen 3): rising to the knee, then level at tau oz.
  std::vector<Segment> green;
  for (const Segment& s : p.lines)
    if (s.colour == 10) green.push_back(s);
  ASSERT_GE(green.size(), 2u);
  Pt knee{};
  bool found = false;
  for (const Segment& a : green)
    for (const Segment& b : green)
      if (a.b.y > a.a.y + 1 && std::fabs(b.b.y - b.a.y) < 1e-6 && std::hypot(a.b.x - b.a.x, a.b.y - b.a.y) < 1e-6)
        knee = a.b, found = true;
  ASSERT_TRUE(found);
  const Label* knick = Find(p, "Knick");
  ASSERT_NE(knick, nullptr);
  // The label sits just above the knee, over it.
  const Pt k0 = knick->At(0, -knick->below), k1 = knick->At(knick->length, -knick->below);
  EXPECT_LT(k0.x, knee.x);
  EXPECT_GT(k1.x, knee.x);
  EXPECT_GT(k0.y, knee.y);
  EXPECT_LT(k0.y - knee.y, 2.0);

  // tau kh: the vertical next to its label runs from the bisector (the
  // line at 45 degrees through the origin of the axes) up to the point.
  const Segment* bisector = nullptr;
  for (const Segment& s : p.lines)
    if (std::fabs((s.b.y - s.a.y) - (s.b.x - s.a.x)) < 1e-6 && s.b.x - s.a.x > 50) bisector = &s;
  ASSERT_NE(bisector, nullptr);
  const Label* kh = Find(p, "tau kh");
  ASSERT_NE(kh, nullptr);
  const Segment* dim = nullptr;
  for (const Segment& s : p.lines) {
    if (std::fabs(s.a.x - s.b.x) > 1e-6 || std::fabs(s.a.y - s.b.y) < 5) continue;
    const double gap = s.a.x - kh->At(kh->length, 0).x;
    if (gap > 0 && gap < 2 && std::min(s.a.y, s.b.y) < kh->at.y && std::max(s.a.y, s.b.y) > kh->at.y) dim = &s;
  }
  ASSERT_NE(dim, nullptr);
  const double lowEnd = std::min(dim->a.y, dim->b.y), x = dim->a.x;
  const double onBisector = bisector->a.y + (x - bisector->a.x);
  EXPECT_NEAR(lowEnd, onBisector, kHair);
  // The arrow heads end there: their tips lie on the dimension line's ends.
  int tips = 0;
  for (const Segment& s : p.lines)
    for (const Pt& e : {s.a, s.b})
      tips += &s != dim && std::hypot(e.x - x, e.y - lowEnd) < 1e-6 && std::hypot(s.b.x - s.a.x, s.b.y - s.a.y) < 3;
  EXPECT_EQ(tips, 2);
  // The upper end at the working point.
  bool atPoint = false;
  for (const Curve& c : p.curves)
    atPoint = atPoint ||
              (c.full && std::fabs(c.c.x - x) < 1e-6 && std::fabs(c.c.y - c.r - std::max(dim->a.y, dim->b.y)) < kHair);
  EXPECT_TRUE(atPoint);
}

TEST_F(ShippedPictureTest, CrossSectionsShowTheSpringAxis) {
  const Picture p = Shipped("quersch");
  const Label* axis = Find(p, "Federachse");
  ASSERT_NE(axis, nullptr);
  EXPECT_NEAR(axis->dir.x, 0, 1e-9);  // upwards
  EXPECT_NEAR(axis->dir.y, 1, 1e-9);
  // Each h and b: the dimension line nearest to its label (longer than the
  // arrow heads) lies along the axis for h, across it for b.
  int hs = 0, bs = 0;
  for (const Label& l : p.labels) {
    if (l.text != "h" && l.text != "b") continue;
    const Pt c = l.At(l.length / 2, l.above / 2);
    const Segment* best = nullptr;
    double dist = 1e9;
    for (const Segment& s : p.lines) {
      const double len = std::hypot(s.b.x - s.a.x, s.b.y - s.a.y);
      if (len < 5) continue;
      const double d = std::hypot((s.a.x + s.b.x) / 2 - c.x, (s.a.y + s.b.y) / 2 - c.y);
      if (d < dist) dist = d, best = &s;
    }
    ASSERT_NE(best, nullptr);
    const bool vertical = std::fabs(best->a.x - best->b.x) < 1e-6, horizontal = std::fabs(best->a.y - best->b.y) < 1e-6;
    if (l.text == "h") {
      EXPECT_TRUE(vertical) << Where(*best);
      ++hs;
    } else {
      EXPECT_TRUE(horizontal) << Where(*best);
      ++bs;
    }
  }
  EXPECT_EQ(hs, 2);
  EXPECT_EQ(bs, 2);
}
#endif

}  // namespace
}  // namespace zeb::test
