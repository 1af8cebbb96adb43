// The rules of the table grid and navigator as plain functions: the title
// click, the cell colours, the date edit mask, the logical-field texts and
// the saved column list. The Qt grid only wires them.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zeb::xbase {

// Colours as 0x00BBGGRR (red is 255).
using TzColor = std::uint32_t;
constexpr TzColor kTzRed = 0x0000FF;
constexpr TzColor kTzBlack = 0x000000;
constexpr TzColor kTzWhite = 0xFFFFFF;
// A colour name ("clRed", "clWindow", ...) or number (decimal, "$" or "0x"
// hex); nullopt when it is neither.
std::optional<TzColor> ParseTzColor(std::string_view text);

// The seven colours of a cell, set before each cell and offered to the
// owner's colour event.
struct CellColors {
  TzColor fixed = 0;
  TzColor background = 0;
  TzColor text = 0;
  TzColor highlight = 0;
  TzColor highlightText = 0;
  TzColor deletedBackground = kTzRed;
  TzColor deletedText = 0;
};
struct GridPalette {
  TzColor fixed = 0xC0C0C0;
  TzColor gridFont = kTzBlack;
  TzColor highlight = 0x6A240A;
  TzColor highlightText = kTzWhite;
};
CellColors ResetCellColors(const GridPalette& grid, TzColor columnColor, TzColor columnFontColor, bool fixedColumn);
// Background and text of a data cell from the colours (deletion mark, then
// highlight win in that order).
void CellPaint(const CellColors& c, bool deleted, bool highlighted, TzColor& background, TzColor& text);

// A mouse release in the title row. column: -1 the corner above the
// indicator, else the data column.
enum class TitleAction { None, CornerLeft, CornerRight, Depress };
TitleAction TitleClick(int column, bool rightButton, bool modifiers, bool depressDisabled);
// The depressed column after a column moved from one index to another.
int DepressedAfterMove(int depressed, int from, int to);

// Keys in a logical field's cell: space and Enter toggle, backspace and
// other characters from 32 up are ignored, anything else is the grid's.
enum class LogicalKey { Toggle, Ignore, Pass };
LogicalKey LogicalKeyRule(int key, char32_t character);
constexpr int kKeySpace = 0x20, kKeyReturn = 0x0D, kKeyBackspace = 0x08;

// The texts for true and false of a logical field in text mode.
void LogicalTexts(std::string_view displayValues, std::string& trueText, std::string& falseText);

// The Qt input mask of a date cell: digits "0", the engine's separator,
// year first for format code 1; blank " ".
std::string DateInputMask(int dateFormatCode, bool century, char separator);

// One column of the saved column list.
struct SavedFont {
  std::string name;
  TzColor color = 0;
  int size = 0;
  bool bold = false, italic = false, underline = false, strikeOut = false;
};
enum class TzAlignment { Left, Right, Center };
struct SavedColumn {
  int number = 0;
  std::optional<TzColor> color;
  std::optional<int> width;
  std::optional<SavedFont> font;
  TzAlignment alignment = TzAlignment::Left;
  bool readOnly = false;
  std::optional<TzColor> titleColor;
  std::optional<std::string> titleCaption;
  TzAlignment titleAlignment = TzAlignment::Left;
  std::optional<SavedFont> titleFont;
  std::string fieldName;
};
TzAlignment ParseAlignment(std::string_view text);
SavedFont ParseSavedFont(std::string_view text);
// Reads "key=value" lines; an unknown key counts as "cvColumn"; lines
// before the first column change nothing.
std::vector<SavedColumn> ReadSavedColumns(const std::vector<std::string>& lines);

}  // namespace zeb::xbase
