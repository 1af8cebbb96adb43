// The help-picture corpus against hp2xx: every stroke hp2xx draws lies on
// one of our lines, circles or arcs, and ours lie on its strokes.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "base/support_decimal.h"
#include "graph_support.h"
#include "graphics/hpgl.h"

extern char** environ;

namespace zeb::test {
namespace {

namespace fs = std::filesystem;

struct Pt {
  double x, y;
};
// A line (r = 0), a circle (full) or an arc counter-clockwise a1 -> a2 (radians).
struct Prim {
  int kind;  // 4 line, 3 circle, 5 arc
  Pt a{}, b{};
  Pt c{};
  double r = 0, a1 = 0, a2 = 0;
};

std::string Corpus() { return (fs::path(__FILE__).parent_path().parent_path() / "data" / "hpgl").string(); }

// Runs hp2xx into svg; returns its stderr, exit code in rc. hp2xx runs in
// the folder of svg and gets its bare name: it overruns a buffer on an
// output path of about 100 characters (a long $TMPDIR).
std::string RunHp2xx(const std::string& plt, const std::string& svg, int& rc) {
  const std::string errFile = svg + ".err";
  const std::string folder = fs::path(svg).parent_path().string();
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addchdir_np(&fa, folder.c_str());
  const std::string outName = fs::path(svg).filename().string(), inPath = fs::absolute(plt).string();
  std::vector<std::string> args = {"hp2xx", "-m", "svg", "-x", "0", "-X", "6400", "-y", "0", "-Y", "4800",
                                   "-w", "160", "-h", "120", "-f", outName, inPath};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  rc = -1;
  if (posix_spawnp(&pid, "hp2xx", &fa, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  posix_spawn_file_actions_destroy(&fa);
  std::ifstream in(errFile);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// The polylines of hp2xx's paths, in sheet millimetres. At a pen change
// inside a polyline hp2xx goes on with bare "L" lines after the new group,
// outside any path element: every M and L counts, in file order.
std::vector<std::vector<Pt>> SvgPolylines(const std::string& svg) {
  std::ifstream in(svg);
  std::stringstream ss;
  ss << in.rdbuf();
  const std::string text = ss.str();
  std::vector<std::vector<Pt>> out;
  const std::regex point(R"(([ML]) (-?[0-9.]+), (-?[0-9.]+))");
  for (auto p = std::sregex_iterator(text.begin(), text.end(), point); p != std::sregex_iterator(); ++p) {
    if ((*p)[1] == "M" || out.empty()) out.emplace_back();
    const auto at = [&](int k) { return static_cast<double>(zeb::test::DecimalValue((*p)[k].str())) / 2.8346; };
    out.back().push_back({at(2), 120 - at(3)});
  }
  return out;
}

std::vector<double> Numbers(const std::string& rec) {
  std::vector<double> v;
  std::size_t i = rec.find(';');
  while (i != std::string::npos) {
    v.push_back(static_cast<double>(zeb::test::DecimalValue(rec.substr(i + 1))));
    i = rec.find(';', i + 1);
  }
  return v;
}

std::vector<Prim> OurPrimitives(const std::vector<std::string>& list) {
  std::vector<Prim> out;
  for (const auto& rec : list) {
    const int op = std::stoi(rec);
    if (op != 3 && op != 4 && op != 5) continue;  // a label ends with its text
    const auto v = Numbers(rec);
    if (op == 4) out.push_back({4, {v[0], v[1]}, {v[2], v[3]}});
    if (op == 3) out.push_back({3, {}, {}, {v[0], v[1]}, v[2]});
    if (op == 5) {
      Prim p{5, {}, {}, {(v[0] + v[2]) / 2, (v[1] + v[3]) / 2}, (v[2] - v[0]) / 2};
      p.a1 = std::atan2(v[5] - p.c.y, v[4] - p.c.x);
      p.a2 = std::atan2(v[7] - p.c.y, v[6] - p.c.x);
      out.push_back(p);
    }
  }
  return out;
}

double SegDist(Pt p, Pt a, Pt b) {
  const double dx = b.x - a.x, dy = b.y - a.y, l2 = dx * dx + dy * dy;
  double t = l2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / l2 : 0;
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(p.x - a.x - t * dx, p.y - a.y - t * dy);
}

// Counter-clockwise angle from a to b in [0, 2 pi).
double Ccw(double a, double b) {
  double d = std::fmod(b - a, 2 * M_PI);
  return d < 0 ? d + 2 * M_PI : d;
}

double Dist(Pt p, const Prim& q) {
  if (q.kind == 4) return SegDist(p, q.a, q.b);
  const double d = std::fabs(std::hypot(p.x - q.c.x, p.y - q.c.y) - q.r);
  if (q.kind == 3) return d;
  const double ang = std::atan2(p.y - q.c.y, p.x - q.c.x);
  if (Ccw(q.a1, ang) <= Ccw(q.a1, q.a2)) return d;
  const Pt s{q.c.x + q.r * std::cos(q.a1), q.c.y + q.r * std::sin(q.a1)};
  const Pt e{q.c.x + q.r * std::cos(q.a2), q.c.y + q.r * std::sin(q.a2)};
  return std::min(std::hypot(p.x - s.x, p.y - s.y), std::hypot(p.x - e.x, p.y - e.y));
}

// Points every 0.5 mm along a primitive.
std::vector<Pt> Samples(const Prim& q) {
  std::vector<Pt> out;
  if (q.kind == 4) {
    const double l = std::hypot(q.b.x - q.a.x, q.b.y - q.a.y);
    const int n = std::max(1, static_cast<int>(l / 0.5));
    for (int i = 0; i <= n; ++i) out.push_back({q.a.x + (q.b.x - q.a.x) * i / n, q.a.y + (q.b.y - q.a.y) * i / n});
    return out;
  }
  const double sweep = q.kind == 3 ? 2 * M_PI : Ccw(q.a1, q.a2);
  const int n = std::max(1, static_cast<int>(sweep * q.r / 0.5));
  for (int i = 0; i <= n; ++i) {
    const double a = q.a1 + sweep * i / n;
    out.push_back({q.c.x + q.r * std::cos(a), q.c.y + q.r * std::sin(a)});
  }
  return out;
}

class HpglPeerTest : public GraphTest {
 protected:
  // Plays plt through our player and hp2xx and compares the strokes both
  // ways. hp2xx is given peer (the same picture, its labels taken out where
  // they are checked apart); ours is what the player drew from plt.
  void CompareWithHp2xx(const std::string& plt, const std::string& peer, const std::string& tmp) {
    int rc = 0;
    const std::string svg = tmp + "/" + fs::path(plt).filename().string() + ".svg";
    const std::string err = RunHp2xx(peer, svg, rc);
    ASSERT_EQ(rc, 0) << err;
    EXPECT_NE(err.find("HPGL command(s) ignored: 0"), std::string::npos) << err;

    ResetHpglState();
    f().ShowHelpPictureFile(plt.substr(0, plt.size() - 4));
    const auto ours = OurPrimitives(list());
    ASSERT_FALSE(ours.empty());
    auto tol = [](double r) { return 0.05 + 0.001 * r; };

    std::vector<std::vector<Pt>> theirs;
    for (auto& pl : SvgPolylines(svg)) {
      bool moves = false;
      for (const Pt& p : pl) moves = moves || std::hypot(p.x - pl[0].x, p.y - pl[0].y) > 1e-6;
      if (moves) theirs.push_back(pl);
    }
    ASSERT_FALSE(theirs.empty());
    for (const auto& pl : theirs) {
      for (const Pt& p : pl) {
        double best = 1e9, r = 0;
        for (const auto& q : ours) {
          const double d = Dist(p, q);
          if (d < best) best = d, r = q.r;
        }
        EXPECT_LE(best, tol(r)) << "hp2xx vertex " << p.x << "," << p.y;
      }
    }
    for (const auto& q : ours) {
      for (const Pt& p : Samples(q)) {
        double best = 1e9;
        for (const auto& pl : theirs)
          for (std::size_t i = 0; i + 1 < pl.size(); ++i) best = std::min(best, SegDist(p, pl[i], pl[i + 1]));
        EXPECT_LE(best, tol(q.r)) << "our point " << p.x << "," << p.y;
      }
    }
  }
};

TEST_F(HpglPeerTest, CorpusMatchesHp2xx) {
  if (std::system("command -v hp2xx >/dev/null 2>&1") != 0) GTEST_SKIP() << "hp2xx missing";
  const std::string tmp = ::testing::TempDir() + "hpgl_peer_" + std::to_string(::getpid());
  fs::create_directories(tmp);
  int files = 0;
  for (const auto& e : fs::directory_iterator(Corpus())) {
    const std::string name = e.path().filename().string();
    if (e.path().extension() != ".plt") continue;
    ++files;
    if (name.rfind("label_", 0) == 0) continue;  // labels: checked on the dump
    SCOPED_TRACE(name);
    CompareWithHp2xx(e.path().string(), e.path().string(), tmp);
  }
  EXPECT_GE(files, 12);
  fs::remove_all(tmp);
}

#ifdef ZEB1_HELP_FOLDER
// The shipped help pictures: hp2xx draws the same lines, circles and arcs
// as our player (labels aside: hp2xx strokes its own font), and everything
// our player draws, label positions included, lies in the 160 x 120 world.
TEST_F(HpglPeerTest, ShippedHelpPicturesMatchHp2xxInsideTheWorld) {
  if (std::system("command -v hp2xx >/dev/null 2>&1") != 0) GTEST_SKIP() << "hp2xx missing";
  const std::string tmp = ::testing::TempDir() + "hpgl_help_" + std::to_string(::getpid());
  fs::create_directories(tmp);
  struct Remove {
    std::string path;
    ~Remove() {
      std::error_code ec;
      fs::remove_all(path, ec);
    }
  } removeAtEnd{tmp};  // also when a check ends the test early
  int files = 0;
  for (const auto& e : fs::directory_iterator(ZEB1_HELP_FOLDER)) {
    if (e.path().extension() != ".plt") continue;
    ++files;
    const std::string name = e.path().filename().string();
    SCOPED_TRACE(name);
    std::ifstream in(e.path(), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string bytes = ss.str();
    const std::string peer = tmp + "/nolabels_" + name;
    std::ofstream(peer, std::ios::binary) << std::regex_replace(bytes, std::regex("LB[^\x03]*\x03;"), "");
    CompareWithHp2xx(e.path().string(), peer, tmp);

    int labels = 0;
    for (const std::string& rec : list()) {
      const int op = std::stoi(rec);
      if (op != 3 && op != 4 && op != 5 && op != 6) continue;
      SCOPED_TRACE(rec);
      labels += op == 6;
      // A label's record ends with its text: only its position counts.
      const std::size_t a = rec.find(';'), b = rec.find(';', a + 1), c = rec.find(';', b + 1);
      std::vector<double> v = op == 6 ? std::vector<double>{static_cast<double>(zeb::test::DecimalValue(rec.substr(a + 1))),
                                                            static_cast<double>(zeb::test::DecimalValue(rec.substr(b + 1, c - b - 1)))}
                                      : Numbers(rec);
      if (op == 3) v = {v[0] - v[2], v[1] - v[2], v[0] + v[2], v[1] + v[2]};
      if (op == 5) v.resize(4);
      for (std::size_t i = 0; i + 1 < v.size(); i += 2) {
        EXPECT_GE(v[i], 0) << rec;
        EXPECT_LE(v[i], 160) << rec;
        EXPECT_GE(v[i + 1], 0) << rec;
        EXPECT_LE(v[i + 1], 120) << rec;
      }
    }
    EXPECT_GE(labels, 1);

    // Each label's box (cell width 1.5 x the character width of SI, in cm;
    // "}" only marks an umlaut) ends inside the world too.
    double w = 0.285, h = 0.375;  // plotter defaults
    bool up = false;
    static const std::regex cmd(R"(([A-Z]{2})([^;\x03]*)(\x03)?;)");
    double x = 0, y = 0;
    int boxes = 0;
    for (auto m = std::sregex_iterator(bytes.begin(), bytes.end(), cmd); m != std::sregex_iterator(); ++m) {
      const std::string c = (*m)[1], a = (*m)[2];
      if (c == "SI") std::sscanf(a.c_str(), "%lf,%lf", &w, &h);
      if (c == "DI") up = a == "0,1";
      if ((c == "PU" || c == "PA") && !a.empty()) std::sscanf(a.c_str(), "%lf,%lf", &x, &y);
      if (c != "LB") continue;
      ++boxes;
      const double n = static_cast<double>(a.size() - std::count(a.begin(), a.end(), '}'));
      const double along = n * 15 * w, across = 10 * h;
      const double x1 = x / 40 + (up ? -across : along), y1 = y / 40 + (up ? along : across);
      EXPECT_LE(x1, 160) << a;
      EXPECT_LE(y1, 120) << a;
      EXPECT_GE(x1, 0) << a;
    }
    EXPECT_EQ(boxes, labels);
  }
  EXPECT_GE(files, 9);
}
#endif

TEST_F(HpglPeerTest, CorpusLabelsOnTheDump) {
  G().HelpFolder = Corpus();
  ResetHpglState();
  f().ShowHelpPictureFile("label_umlaut");
  std::vector<std::string> texts = Records("6;");
  EXPECT_EQ(texts, (std::vector<std::string>{"6;20;20;Abc", "6;20;50;M\xFCller \xE4\xF6\xFC", "6;75;20;up"}));
  // A style is recorded where it changes.
  EXPECT_EQ(Records("9;"), (std::vector<std::string>{"9;3;2;2;0", "9;3;2;2;90"}));
}

}  // namespace
}  // namespace zeb::test
