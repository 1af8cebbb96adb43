#include "spring/changelog.h"

#include <algorithm>
#include <cmath>

#include "base/dialogs.h"
#include "base/files.h"
#include "base/format.h"
#include "base/globals.h"
#include "base/text.h"
#include "base/textfile.h"
#include "platform/oem_literal.h"

namespace zeb {

namespace {

void AddLine(std::string& out, std::string_view s) {
  out.append(s);
  out.append("\r\n");
}

// Drawing-text numbers as the drawing-information dialog shows them, with
// three significant digits whatever the display preference, where they
// hold the value; else with all the digits it takes.
std::string SigText(Real x) {
  std::int32_t& decimals = G().DecimalsSetting;
  const std::int32_t saved = decimals;
  decimals = 3;
  std::string s = std::isfinite(x) ? ExactWhereNeeded(FloatToStrSig(x), x) : std::string("0");
  decimals = saved;
  return s;
}

}  // namespace

ChangeLogData& ChangeLog() {
  static ChangeLogData log = DefaultChangeLog();
  return log;
}

ChangeLogData DefaultChangeLog() {
  ChangeLogData log;
  const std::string today = TodayDateString();
  log.CreatedDate = today;
  log.CheckedDate = today;
  log.StandardsDate = today;
  return log;
}

void ResetChangeLog() {
  ChangeLogData& log = ChangeLog();
  log.ChangeEntryCount = 0;
  log.ReplacesDrawing.clear();
  log.ReplacedByDrawing.clear();
  log.CreatedBy.clear();
  log.CheckedDate.clear();
  log.CheckedBy.clear();
  log.StandardsDate.clear();
  log.StandardsBy.clear();
  log.ReleaseDate.clear();
  log.ReleasedBy.clear();
  log.CreatedDate = TodayDateString();
}

std::string MarkLineBreaks(std::string_view text) { return JoinTextLines(text, "|"); }

std::string FieldText(std::string_view text) {
  std::string s = MarkLineBreaks(text);
  std::replace(s.begin(), s.end(), '|', '/');
  return s;
}

bool CheckFieldText(std::string_view text) {
  if (text.find('|') == std::string_view::npos) return true;
  ShowError("Das Zeichen \"|\" ist in diesem Feld nicht erlaubt !"_oem);
  return false;
}

std::string FormatChangeLogSection(const ChangeLogData& log) {
  std::string out;
  const int count = std::clamp<int>(log.ChangeEntryCount, 0, kMaxChangeEntries);
  AddLine(out, "ÄNDERUNGEN"_oem);
  AddLine(out, IntToText(count));
  AddLine(out, std::string(20, '-'));
  for (int i = 1; i <= count; ++i) {
    const ChangeEntry& e = log.ChangeEntries[static_cast<std::size_t>(i)];
    AddLine(out, MarkLineBreaks(e.Change));
    AddLine(out, MarkLineBreaks(e.Date));
    AddLine(out, MarkLineBreaks(e.Editor));
    AddLine(out, MarkLineBreaks(e.Description));
    AddLine(out, std::string(14, '-'));
  }
  const int texts = std::clamp<int>(log.DrawingTextCount, 0, kMaxDrawingTexts);
  const std::string fields[] = {FieldText(log.CheckedDate),   FieldText(log.CheckedBy),
                                FieldText(log.StandardsDate), FieldText(log.StandardsBy),
                                FieldText(log.ReleaseDate),   FieldText(log.ReleasedBy),
                                IntToText(texts),             std::string()};
  std::string line;
  for (const std::string& f : fields) line.append(f).push_back('|');
  AddLine(out, line);
  AddLine(out, MarkLineBreaks(log.CreatedDate));
  AddLine(out, MarkLineBreaks(log.ReplacesDrawing));
  AddLine(out, MarkLineBreaks(log.ReplacedByDrawing));
  AddLine(out, MarkLineBreaks(log.CreatedBy));
  for (int i = 1; i <= texts; ++i) {
    const DrawingText& t = log.DrawingTexts[static_cast<std::size_t>(i)];
    AddLine(out, SigText(t.x) + "|" + SigText(t.y) + "|" + SigText(t.h) + "|" + SigText(t.phi) + "|" +
                     MarkLineBreaks(t.Text) + "||");
  }
  return out;
}

void WriteChangeLogSection() {
  ChangeLogData& log = ChangeLog();
  for (ChangeEntry& e : log.ChangeEntries) e.Description = MarkLineBreaks(e.Description);
  WriteTextNoEol(FormatChangeLogSection(log));
}

}  // namespace zeb
