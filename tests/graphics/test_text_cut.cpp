// The geometry that breaks lines at texts, against values worked out by hand
// from the circle and the boxes.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <set>
#include <vector>

#include "graphics/text_cut.h"

namespace zeb::test {
namespace {

using cad_detail::ArcPieces;
using cad_detail::Intervals;
using cad_detail::LinePieces;
using cad_detail::TextBox;
using cad_detail::TextIndex;

constexpr double kDeg = 3.14159265358979323846 / 180;

void ExpectPieces(const Intervals& got, const std::vector<std::pair<double, double>>& want, const char* what) {
  ASSERT_EQ(got.size(), want.size()) << what;
  for (std::size_t i = 0; i < want.size(); ++i) {
    EXPECT_NEAR(static_cast<double>(got[i].first), want[i].first, 1e-9) << what << " piece " << i;
    EXPECT_NEAR(static_cast<double>(got[i].second), want[i].second, 1e-9) << what << " piece " << i;
  }
}

// A text 16 wide and 2 high (gap 0.5) whose box reaches from y 2.8 to 5.8
// with the gap cuts the circle of radius 5 about the origin where y = 2.8:
// at asin(0.56) and 180 degrees less, exactly (no chords), and the same
// when the whole picture is turned by 23 degrees.
TEST(TextCutTest, ArcsAreCutWhereTheCircleMeetsTheWidenedBox) {
  const double a = std::asin(0.56) / kDeg;
  for (const double turn : {0.0, 23.0, -131.5}) {
    const double c = std::cos(turn * kDeg), s = std::sin(turn * kDeg);
    const TextIndex index({TextBox::Make(-8 * c - 3.3 * s, -8 * s + 3.3 * c, turn, 0, 16, 2)});
    bool cut = false;
    ExpectPieces(ArcPieces(index, 0, 0, turn, 360, 5, cut), {{0, a / 360}, {(180 - a) / 360, 1}}, "circle");
    EXPECT_TRUE(cut);
    // An arc from 20 to 100 degrees keeps the part below y 2.8.
    ExpectPieces(ArcPieces(index, 0, 0, turn + 20, 80, 5, cut), {{0, (a - 20) / 80}}, "arc");
    // Wholly inside the box it goes; a circle round the box stays whole.
    EXPECT_TRUE(ArcPieces(index, 0, 0, turn + 60, 60, 5, cut).empty());
    EXPECT_TRUE(cut);
    EXPECT_TRUE(ArcPieces(index, 0, 0, turn, 360, 20, cut).empty());
    EXPECT_FALSE(cut);
  }
}

// Two thousand texts piled almost on one another (anchors 0.001 apart)
// leave a line what their joint box leaves: the box from x -0.5 to
// 16.5 + 1.999; a line already cut away whole by the first stays gone. Two
// texts 1 apart leave nothing between them (less than 0.8 of their height
// of 2 less the gaps), 3 apart the piece between.
TEST(TextCutTest, PiledTextsCutAsTheirJointBoxAndNarrowPiecesGo) {
  std::vector<TextBox> piled;
  for (int k = 0; k < 2000; ++k) piled.push_back(TextBox::Make(k * 0.001L, 0, 0, 0, 16, 2));
  const TextIndex index(piled);
  bool cut = false;
  ExpectPieces(LinePieces(index, -10, 1, 30, 1, cut), {{0, 9.5 / 40}, {28.499 / 40, 1}}, "across");
  EXPECT_TRUE(cut);
  EXPECT_TRUE(LinePieces(index, 2, 0.5L, 12, 1.5L, cut).empty());
  EXPECT_TRUE(cut);
  ExpectPieces(ArcPieces(index, 8, 1, 0, 360, 20, cut), {}, "circle round the pile");
  EXPECT_FALSE(cut);

  for (const double apart : {1.0, 3.0}) {
    // Widened boxes: x -0.5 to 16.5 and from 17 + apart - 0.5 on.
    const TextIndex two({TextBox::Make(0, 0, 0, 0, 16, 2), TextBox::Make(17 + apart, 0, 0, 0, 16, 2)});
    const Intervals pieces = LinePieces(two, -10, 1, 50, 1, cut);
    if (apart < 2) {
      ExpectPieces(pieces, {{0, 9.5 / 60}, {(27 + apart + 16.5) / 60, 1}}, "1 apart");
    } else {
      ExpectPieces(pieces, {{0, 9.5 / 60}, {26.5 / 60, (26.5 + apart) / 60}, {(27 + apart + 16.5) / 60, 1}},
                   "3 apart");
    }
  }
}

// Boxes whose bounds differ by less than a double can tell: a query whose
// sides lie on or a long-double step beside the boxes' sides finds exactly
// the boxes its rectangle meets, as the long doubles say (a seeded pile of
// anchors a few steps apart, queries on every side of every box).
TEST(TextCutTest, BoxesApartByLessThanADoubleAreFoundAsTheirExactBoundsSay) {
  std::mt19937 random(20261209);
  auto steps = [&](int exponent) { return std::ldexp(static_cast<Real>(random() % 64), exponent); };
  std::vector<TextBox> boxes;
  for (int k = 0; k < 40; ++k) boxes.push_back(TextBox::Make(3 + steps(-60), 1 + steps(-61), 0, 0, 4 + steps(-60), 1));
  const TextIndex index(boxes);
  auto beside = [](Real v, int step) { return step == 0 ? v : std::nextafter(v, step < 0 ? Real(-1e9) : Real(1e9)); };
  int queries = 0;
  for (const TextBox& edge : boxes)
    for (int step = -1; step <= 1; ++step)
      for (int side = 0; side < 4; ++side) {
        // A rectangle whose one side lies on the box's side (or a step beside it).
        Real x0 = edge.x0 - 1, y0 = edge.y0 - 1, x1 = edge.x1 + 1, y1 = edge.y1 + 1;
        if (side == 0) x1 = beside(edge.x0, step), x0 = x1 - 2;
        if (side == 1) x0 = beside(edge.x1, step), x1 = x0 + 2;
        if (side == 2) y1 = beside(edge.y0, step), y0 = y1 - 2;
        if (side == 3) y0 = beside(edge.y1, step), y1 = y0 + 2;
        std::multiset<std::array<Real, 4>> found, want;
        index.Near(x0, y0, x1, y1, [&](const TextBox& b) { return found.insert({b.x0, b.y0, b.x1, b.y1}), true; });
        for (const TextBox& b : boxes)
          if (b.x1 >= x0 && b.x0 <= x1 && b.y1 >= y0 && b.y0 <= y1) want.insert({b.x0, b.y0, b.x1, b.y1});
        EXPECT_EQ(found, want) << "side " << side << " step " << step;
        ++queries;
      }
  EXPECT_EQ(queries, 40 * 3 * 4);
}

// A text that reaches past an earlier one by less than a double can tell
// still cuts, and counts with its height: text A (height 2) from x -0.5 to
// 16.5 with its gap, text B (height 10) from -0.5 to 16.5 + 2^-52, text C
// (height 2) from 21.5. With B's height the piece of 5 between them is
// narrower than 0.8 of 10 and goes; were B taken for lying within A, the
// piece would stay (wider than 0.8 of 2).
TEST(TextCutTest, ATextReachingPastAnotherByLessThanADoubleStillCuts) {
  const Real past = std::ldexp(Real(1), -52);
  const TextIndex index({TextBox::Make(0, 0, 0, 0, 16, 2), TextBox::Make(2, 0, 0, 0, 12 + past, 10),
                         TextBox::Make(22, 0, 0, 0, 16, 2)});
  bool cut = false;
  const Intervals pieces = LinePieces(index, -10, 1, 40, 1, cut);
  EXPECT_TRUE(cut);
  ExpectPieces(pieces, {{0, 9.5 / 50}, {48.5 / 50, 1}}, "A, B and C");
  const TextIndex withoutB({TextBox::Make(0, 0, 0, 0, 16, 2), TextBox::Make(22, 0, 0, 0, 16, 2)});
  ExpectPieces(LinePieces(withoutB, -10, 1, 40, 1, cut), {{0, 9.5 / 50}, {26.5 / 50, 31.5 / 50}, {48.5 / 50, 1}},
               "A and C");
}

}  // namespace
}  // namespace zeb::test
