// Change log and drawing information of the current spring, with their
// start values and the change-log section of the spring file. Texts are
// code page 850.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/types.h"

namespace zeb {

constexpr int kMaxChangeEntries = 25;
constexpr int kMaxDrawingTexts = 8;

struct ChangeEntry {
  std::string Change;       // change index text, at most 20 characters
  std::string Date;         // at most 10
  std::string Editor;       // at most 5
  std::string Description;  // at most 255
};

struct DrawingText {
  Real x = 0, y = 0;
  Real h = 0;    // text height
  Real phi = 0;  // angle
  std::string Text;
};

struct ChangeLogData {
  std::int16_t ChangeEntryCount = 0;  // 0..25
  std::array<ChangeEntry, kMaxChangeEntries + 1> ChangeEntries;  // 1..25; index 0 unused

  std::string ReplacesDrawing, ReplacedByDrawing;  // at most 15 each
  std::string CreatedDate, CreatedBy;
  std::string CheckedDate, CheckedBy;
  std::string StandardsDate, StandardsBy;
  std::string ReleaseDate, ReleasedBy;

  std::int16_t DrawingTextCount = 0;  // 0..8
  std::array<DrawingText, kMaxDrawingTexts + 1> DrawingTexts;  // 1..8; index 0 unused
};

// The change log of the current spring.
ChangeLogData& ChangeLog();
// The start values: no entries, no texts; created, checked and standards
// date today; all other texts empty.
ChangeLogData DefaultChangeLog();

// No entries; drawing numbers, role names and dates empty except
// CreatedDate := today. The drawing texts stay.
void ResetChangeLog();

// A text as one file line: CR LF, a lone CR and a lone LF each become "|".
std::string MarkLineBreaks(std::string_view text);
// A text for one "|"-terminated field: line breaks and "|" become "/".
std::string FieldText(std::string_view text);
// The check of the dialogs for the texts of the drawing information that
// are stored in "|"-separated fields: false, with an error box, when the
// text holds a "|".
bool CheckFieldText(std::string_view text);

// The change-log section as file lines (CR LF ends), of a log whose
// descriptions are already marked.
std::string FormatChangeLogSection(const ChangeLogData& log);
// Marks the line breaks of the stored descriptions (MarkLineBreaks), then
// writes the section to WorkTextFile; an I/O error sets AbortFlag.
void WriteChangeLogSection();

}  // namespace zeb
