// The grid's rules without a window: saved column lists, the date mask,
// title clicks, cell colours and the keys of logical fields.
#include <gtest/gtest.h>

#include "xbase/dataset/grid_rules.h"

namespace zeb::xbase {
namespace {

TEST(GridRules, SavedColumnsReadEveryKey) {
  const auto cols = ReadSavedColumns({
      "cvWidthStr=999",  // before the first column: ignored
      "cvColumn=2",
      "cvColorStr=clYellow",
      "cvWidthStr=80",
      "cvFontStr=Arial,clRed,3850",  // 10 | bold | italic | underline | strike-out
      "cvAlignmentStr=TARIGHTJUSTIFY",
      "cvReadOnlyStr=true",
      "cvTitleColorStr=$00FF00",
      "cvTitleCaptionStr=Name des Werkstoffs",
      "cvTitleAlignmentStr=tacenter",
      "cvTitleFontStr=Tahoma,255,8",
      "cvFieldNameStr= NAME ",
      "somethingElse=1",  // unknown key: a column line
      "cvReadOnlyStr=no",
      "cvAlignmentStr=sideways",
  });
  ASSERT_EQ(cols.size(), 2u);
  const SavedColumn& a = cols[0];
  EXPECT_FALSE(a.width.has_value());
  EXPECT_EQ(a.fieldName, "");
  const SavedColumn& b = cols[1];
  EXPECT_EQ(b.number, 2);
  EXPECT_EQ(b.color.value(), 0x00FFFFu);
  EXPECT_EQ(b.width.value(), 80);
  ASSERT_TRUE(b.font.has_value());
  EXPECT_EQ(b.font->name, "Arial");
  EXPECT_EQ(b.font->color, kTzRed);
  EXPECT_EQ(b.font->size, 10);
  EXPECT_TRUE(b.font->bold && b.font->italic && b.font->underline && b.font->strikeOut);
  EXPECT_EQ(b.alignment, TzAlignment::Right);
  EXPECT_TRUE(b.readOnly);
  EXPECT_EQ(b.titleColor.value(), 0x00FF00u);
  EXPECT_EQ(b.titleCaption.value(), "Name des Werkstoffs");
  EXPECT_EQ(b.titleAlignment, TzAlignment::Center);
  EXPECT_EQ(b.titleFont->size, 8);
  EXPECT_FALSE(b.titleFont->bold);
  EXPECT_EQ(b.fieldName, "NAME");
  // The unknown key made column 1 current again: its values land there.
  EXPECT_FALSE(a.readOnly);
  EXPECT_EQ(a.alignment, TzAlignment::Left);
  EXPECT_TRUE(ReadSavedColumns({"cvFieldNameStr=X", "cvWidthStr=5"}).empty());
}

TEST(GridRules, DateMasks) {
  EXPECT_EQ(DateInputMask(5, false, '.'), "00.00.00; ");
  EXPECT_EQ(DateInputMask(5, true, '.'), "00.00.0000; ");
  EXPECT_EQ(DateInputMask(0, false, '/'), "00/00/00; ");
  EXPECT_EQ(DateInputMask(0, true, '/'), "00/00/0000; ");
  EXPECT_EQ(DateInputMask(1, false, '.'), "00.00.00; ");
  EXPECT_EQ(DateInputMask(1, true, '.'), "0000.00.00; ");
}

TEST(GridRules, TitleClicksAndMoves) {
  EXPECT_EQ(TitleClick(2, true, false, false), TitleAction::Depress);
  EXPECT_EQ(TitleClick(2, false, false, false), TitleAction::None);
  EXPECT_EQ(TitleClick(2, true, false, true), TitleAction::None);
  EXPECT_EQ(TitleClick(2, true, true, false), TitleAction::None);
  EXPECT_EQ(TitleClick(-1, false, false, true), TitleAction::CornerLeft);
  EXPECT_EQ(TitleClick(-1, true, false, false), TitleAction::CornerRight);
  EXPECT_EQ(DepressedAfterMove(1, 1, 3), 3);
  EXPECT_EQ(DepressedAfterMove(2, 1, 3), 1);
  EXPECT_EQ(DepressedAfterMove(2, 3, 0), 3);
  EXPECT_EQ(DepressedAfterMove(5, 1, 3), 5);
  EXPECT_EQ(DepressedAfterMove(-1, 1, 3), -1);
}

TEST(GridRules, ColoursAndLogicals) {
  GridPalette p;
  p.gridFont = 0x123456;
  CellColors c = ResetCellColors(p, 0xFFFFFF, 0x000080, false);
  EXPECT_EQ(c.deletedBackground, 255u);
  EXPECT_EQ(c.deletedText, 0x123456u);
  TzColor bg = 0, fg = 0;
  CellPaint(c, true, false, bg, fg);
  EXPECT_EQ(bg, kTzRed);
  CellPaint(c, true, true, bg, fg);
  EXPECT_EQ(bg, p.highlight);
  CellPaint(c, false, false, bg, fg);
  EXPECT_EQ(bg, 0xFFFFFFu);
  EXPECT_EQ(fg, 0x000080u);
  c = ResetCellColors(p, 0xFFFFFF, 0x000080, true);
  EXPECT_EQ(c.background, p.fixed);
  EXPECT_EQ(c.text, 0u);
  EXPECT_EQ(LogicalKeyRule(kKeySpace, U' '), LogicalKey::Toggle);
  EXPECT_EQ(LogicalKeyRule(kKeyReturn, 0), LogicalKey::Toggle);
  EXPECT_EQ(LogicalKeyRule(kKeyBackspace, 0), LogicalKey::Ignore);
  EXPECT_EQ(LogicalKeyRule('A', U'a'), LogicalKey::Ignore);
  EXPECT_EQ(LogicalKeyRule(0x1000013, 0), LogicalKey::Pass);  // an arrow key
  std::string t, f;
  LogicalTexts("J;N", t, f);
  EXPECT_EQ(t + f, "JN");
  LogicalTexts("", t, f);
  EXPECT_EQ(t + "/" + f, "wahr/falsch");
  EXPECT_EQ(ParseTzColor("clred").value(), kTzRed);
  EXPECT_EQ(ParseTzColor("$0000FF").value(), kTzRed);
  EXPECT_EQ(ParseTzColor("255").value(), kTzRed);
  EXPECT_FALSE(ParseTzColor("reddish").has_value());
}

}  // namespace
}  // namespace zeb::xbase
