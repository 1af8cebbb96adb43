#include "xbase/dataset/grid_rules.h"

#include <algorithm>
#include <cctype>

#include "xbase/dataset/field_values.h"

namespace zeb::xbase {

namespace {

struct NamedColor {
  const char* name;
  TzColor value;
};

const NamedColor kColors[] = {
    {"clBlack", 0x000000},   {"clMaroon", 0x000080}, {"clGreen", 0x008000},      {"clOlive", 0x008080},
    {"clNavy", 0x800000},    {"clPurple", 0x800080}, {"clTeal", 0x808000},       {"clGray", 0x808080},
    {"clSilver", 0xC0C0C0},  {"clRed", 0x0000FF},    {"clLime", 0x00FF00},       {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},    {"clFuchsia", 0xFF00FF}, {"clAqua", 0xFFFF00},      {"clWhite", 0xFFFFFF},
    {"clWindow", 0xFFFFFF},  {"clWindowText", 0x000000}, {"clBtnFace", 0xC0C0C0}, {"clBtnText", 0x000000},
    {"clHighlight", 0x6A240A}, {"clHighlightText", 0xFFFFFF},
};

bool ParseInt(std::string_view t, long long& v) {
  if (t.empty()) return false;
  int base = 10;
  std::size_t i = 0;
  bool neg = false;
  if (t[0] == '-') {
    neg = true;
    i = 1;
  }
  if (i < t.size() && t[i] == '$') {
    base = 16;
    ++i;
  } else if (t.size() > i + 1 && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= t.size() || t.size() - i > 10) return false;
  v = 0;
  for (; i < t.size(); ++i) {
    const int c = std::tolower(static_cast<unsigned char>(t[i]));
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else return false;
    v = v * base + d;
  }
  if (neg) v = -v;
  return true;
}

}  // namespace

std::optional<TzColor> ParseTzColor(std::string_view text) {
  const std::string t = AllTrimText(text);
  for (const NamedColor& c : kColors)
    if (EqualNoCase(t, c.name)) return c.value;
  long long v = 0;
  if (ParseInt(t, v)) return static_cast<TzColor>(v & 0xFFFFFFFF);
  return std::nullopt;
}

CellColors ResetCellColors(const GridPalette& grid, TzColor columnColor, TzColor columnFontColor, bool fixedColumn) {
  CellColors c;
  c.fixed = grid.fixed;
  c.background = fixedColumn ? grid.fixed : columnColor;
  c.text = fixedColumn ? 0 : columnFontColor;
  c.highlight = grid.highlight;
  c.highlightText = grid.highlightText;
  c.deletedBackground = kTzRed;
  c.deletedText = grid.gridFont;
  return c;
}

void CellPaint(const CellColors& c, bool deleted, bool highlighted, TzColor& background, TzColor& text) {
  background = c.background;
  text = c.text;
  if (deleted) {
    background = c.deletedBackground;
    text = c.deletedText;
  }
  if (highlighted) {
    background = c.highlight;
    text = c.highlightText;
  }
}

TitleAction TitleClick(int column, bool rightButton, bool modifiers, bool depressDisabled) {
  if (modifiers) return TitleAction::None;
  if (column < 0) return rightButton ? TitleAction::CornerRight : TitleAction::CornerLeft;
  if (rightButton && !depressDisabled) return TitleAction::Depress;
  return TitleAction::None;
}

int DepressedAfterMove(int depressed, int from, int to) {
  if (depressed < 0) return depressed;
  if (depressed == from) return to;
  if (from < depressed && to >= depressed) return depressed - 1;
  if (from > depressed && to <= depressed) return depressed + 1;
  return depressed;
}

LogicalKey LogicalKeyRule(int key, char32_t character) {
  if (key == kKeySpace || key == kKeyReturn || character == U' ') return LogicalKey::Toggle;
  if (key == kKeyBackspace || character >= 32) return LogicalKey::Ignore;
  return LogicalKey::Pass;
}

void LogicalTexts(std::string_view displayValues, std::string& trueText, std::string& falseText) {
  const auto semi = displayValues.find(';');
  if (!displayValues.empty() && semi != std::string_view::npos) {
    trueText = std::string(displayValues.substr(0, semi));
    falseText = std::string(displayValues.substr(semi + 1));
    return;
  }
  trueText = "wahr";
  falseText = "falsch";
}

std::string DateInputMask(int dateFormatCode, bool century, char separator) {
  const std::string year = century ? "0000" : "00";
  const std::string sep(1, separator);
  if (dateFormatCode == 1) return year + sep + "00" + sep + "00; ";
  return "00" + sep + "00" + sep + year + "; ";
}

TzAlignment ParseAlignment(std::string_view text) {
  const std::string t = AllTrimText(text);
  if (EqualNoCase(t, "taRightJustify")) return TzAlignment::Right;
  if (EqualNoCase(t, "taCenter")) return TzAlignment::Center;
  return TzAlignment::Left;
}

SavedFont ParseSavedFont(std::string_view text) {
  SavedFont f;
  const std::string t(text);
  const auto c1 = t.find(',');
  f.name = AllTrimText(t.substr(0, c1));
  if (c1 == std::string::npos) return f;
  const auto c2 = t.find(',', c1 + 1);
  f.color = ParseTzColor(t.substr(c1 + 1, c2 == std::string::npos ? std::string::npos : c2 - c1 - 1)).value_or(0);
  if (c2 == std::string::npos) return f;
  long long v = 0;
  if (ParseInt(AllTrimText(t.substr(c2 + 1)), v)) {
    f.size = static_cast<int>(v & 0xFF);
    f.bold = (v & 0x100) != 0;
    f.italic = (v & 0x200) != 0;
    f.underline = (v & 0x400) != 0;
    f.strikeOut = (v & 0x800) != 0;
  }
  return f;
}

std::vector<SavedColumn> ReadSavedColumns(const std::vector<std::string>& lines) {
  std::vector<SavedColumn> columns;
  int current = -1;  // index into columns
  for (const std::string& line : lines) {
    const auto eq = line.find('=');
    const std::string key = AllTrimText(line.substr(0, eq));
    const std::string value = eq == std::string::npos ? std::string() : line.substr(eq + 1);
    static const char* const known[] = {"cvColorStr",     "cvWidthStr",          "cvFontStr",
                                        "cvAlignmentStr", "cvReadOnlyStr",       "cvTitleColorStr",
                                        "cvTitleCaptionStr", "cvTitleAlignmentStr", "cvTitleFontStr",
                                        "cvFieldNameStr"};
    bool isKnown = false;
    for (const char* k : known) isKnown = isKnown || key == k;
    if (!isKnown) {  // "cvColumn" and every unknown key
      long long n = 0;
      if (!ParseInt(AllTrimText(value), n) || n < 1) n = static_cast<long long>(columns.size()) + 1;
      n = std::min<long long>(n, 1000);
      while (static_cast<long long>(columns.size()) < n) {
        SavedColumn c;
        c.number = static_cast<int>(columns.size()) + 1;
        columns.push_back(c);
      }
      current = static_cast<int>(n) - 1;
      continue;
    }
    if (current < 0) continue;
    SavedColumn& c = columns[static_cast<std::size_t>(current)];
    if (key == "cvColorStr") c.color = ParseTzColor(value);
    else if (key == "cvWidthStr") {
      long long w = 0;
      if (ParseInt(AllTrimText(value), w) && w >= 0 && w < 100000) c.width = static_cast<int>(w);
    } else if (key == "cvFontStr") c.font = ParseSavedFont(value);
    else if (key == "cvAlignmentStr") c.alignment = ParseAlignment(value);
    else if (key == "cvReadOnlyStr") c.readOnly = EqualNoCase(AllTrimText(value), "TRUE");
    else if (key == "cvTitleColorStr") c.titleColor = ParseTzColor(value);
    else if (key == "cvTitleCaptionStr") c.titleCaption = value;
    else if (key == "cvTitleAlignmentStr") c.titleAlignment = ParseAlignment(value);
    else if (key == "cvTitleFontStr") c.titleFont = ParseSavedFont(value);
    else if (key == "cvFieldNameStr") c.fieldName = AllTrimText(value);
  }
  return columns;
}

}  // namespace zeb::xbase
