// Frame and title block of the production drawings.
#include <algorithm>
#include <string>

#include "base/files.h"
#include "base/format.h"
#include "base/globals.h"
#include "base/text.h"
#include "drawings/figures.h"
#include "drawings/production.h"
#include "graphics/cad.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/oem_literal.h"
#include "settings/config.h"
#include "spring/changelog.h"

namespace zeb {

namespace {

std::string Blankless(std::string_view s) {
  std::string out;
  for (char ch : s)
    if (ch != ' ') out += ch;
  return out;
}

std::string TitleText(std::string_view s) { return Blankless(s) == "/" ? std::string() : std::string(s); }

void Style(Real h, Real w, Real angle = 0) { CadTextStyle(2, angle, h, w); }

// The spring file as the footer shows it: the file as it is named.
std::string CurrentFilePathText() { return FromUtf8(CodePage::Cp850, CurrentSpringFilePath()); }

const char* const kNoticeEnglish[] = {
    "Copying of this document and giving it to other and the use",
    "or communication of the contents therof, are forbidden with-",
    "out express authority. Offenders are liable to the payment",
    "of damages. All rights are reserved in the event of the grant",
    "of a patent or the registration of a utility model or design."};

// An approval name in its column (x 100 to 116) of the row 4.2 high from
// bottom, its text line at y: one line in the row's style where it fits
// narrowed to 70 %, else two smaller lines filling the row.
void ApprovalName(const std::string& name, Real y, Real bottom) {
  constexpr Real kX = 100, kField = 116 - 0.5L - kX;
  const CadTextLayout one = CadLayoutText(name, kField, 1);
  if (one.factor >= 0.7L && !one.cut) {
    CadDrawLayout(one, kX, y, 0);
    return;
  }
  Style(1.5L, 1.25L);
  CadTextWhole(name, kX, bottom + 2.3L, kField, 2, 1.9L);
  Style(1.8L, 1.5L);
}

}  // namespace

void DrawChangeRows() {
  const ChangeLogData& log = ChangeLog();
  const int count = std::clamp<int>(log.ChangeEntryCount, 0, kMaxChangeEntries);
  if (count == 0) return;
  Style(1.7L, 1.3L);
  CadSetLayer(3);
  const int first = count > 8 ? count - 7 : 1;
  const int indexStyle = Config().DrawingIndexStyle;
  for (int i = first; i <= count; ++i) {
    const ChangeEntry& e = log.ChangeEntries[static_cast<std::size_t>(i)];
    const Real y = (i - first + 1) * 4.2L + 6.5L;
    std::string index;
    if (indexStyle == 0) index = std::string(1, static_cast<char>(96 + i));
    else if (indexStyle == 1) index = IntToText(i);
    else if (indexStyle == 2) index = std::string(1, static_cast<char>(64 + i));
    if (!index.empty()) CadText(index, 21, y);
    // Each text whole in its column.
    CadTextWhole(e.Change, 27, y, 52 - 0.5L - 27);
    CadTextWhole(e.Date, 52.5L, y, 65 - 0.5L - 52.5L);
    CadTextWhole(e.Editor, 66, y, 73 - 0.5L - 66);
  }
}

void DrawTitleBlock(std::string_view name, std::string_view name2, std::string_view number) {
  const std::string n1 = TitleText(name), n2 = TitleText(name2), no = TitleText(number);
  G().PrinterMode = 2;
  const ConfigSettings& cfg = Config();
  if (cfg.HideTitleBlock != 0 || G().AbortFlag != 0) return;
  CadSetLayer(5);
  CadRectangle(18, 5, 205, 292);
  CadLine(18, 43, 205, 43);
  CadSetLayer(4);
  CadLine(73, 5, 73, 43);
  CadLine(116, 5, 116, 43);
  CadLine(73, 22, 205, 22);
  CadLine(192, 9.4L, 192, 22);
  CadSetLayer(3);
  CadRectangle(0, 0, 210, 297);
  DrawHorizontalLines(8, 18, 43, 55, 4.2L);
  DrawHorizontalLines(4, 73, 43, 43, 4.2L);
  CadLine(26, 5, 26, 43);
  CadLine(52, 5, 52, 43);
  CadLine(65, 5, 65, 43);
  CadLine(82, 22, 82, 43);
  CadLine(98, 22, 98, 43);
  CadLine(73, 9.4L, 205, 9.4L);
  CadLine(160, 5, 160, 9.4L);
  CadLine(192, 14, 205, 14);
  CadLine(0, 148.5L, 15, 148.5L);

  Style(1.6L, 1.3L);
  CadText("Zust.", 19, 6);
  CadText("Änderung"_oem, 30, 6);
  CadText("Datum", 54, 6);
  CadText("Name", 65.6L, 6);
  Style(1.8L, 1.5L);
  CadText("Datum", 85, 39.8L);
  CadText("Name", 100, 39.8L);
  // The fixed row labels whole in their column, narrowed where they need.
  const Real labelField = 82 - 0.5L - 74;
  CadTextWhole("Bearb.", 74, 35.6L, labelField);
  CadTextWhole("Gepr.", 74, 31.4L, labelField);
  CadTextWhole("Norm", 74, 27.2L, labelField);
  CadText(cfg.ReleaseFieldText, 74, 23.2L);
  Style(1.8L, 1.5L, 90);
  const Real xs[] = {4, 6.7L, 9.4L, 12.1L, 14.8L};
  const std::string german[] = {
      "Weitergabe sowie Vervielfältigung dieser Unterlage, Ver-"_oem,
      "wertung und Mitteilung ihres Inhalts nicht gestattet, soweit"_oem,
      "nicht ausdrücklich zugestanden. Zuwiderhandlungen verpflich-"_oem,
      "ten zu Schadensersatz. Alle Rechte für den Fall der Patent-"_oem,
      "erteilung oder Gebrauchsmuster-Eintragung vorbehalten."_oem};
  for (int k = 0; k < 5; ++k) CadText(kNoticeEnglish[k], xs[k], 10);
  for (int k = 0; k < 5; ++k) CadText(german[k], xs[k], 200);

  const ChangeLogData& log = ChangeLog();
  Style(1.8L, 1.5L);
  // Dates and names whole in their columns, a long name on two lines of
  // its row.
  const Real dateField = 98 - 0.5L - 83.5L;
  const struct {
    const std::string &date, &name;
    Real y, bottom;
  } roles[] = {{log.CreatedDate, log.CreatedBy, 35.6L, 34.6L},
               {log.CheckedDate, log.CheckedBy, 31.2L, 30.4L},
               {log.StandardsDate, log.StandardsBy, 27, 26.2L},
               {log.ReleaseDate, log.ReleasedBy, 23, 22}};
  for (const auto& r : roles) {
    CadTextWhole(r.date, 83.5L, r.y, dateField);
    ApprovalName(r.name, r.y, r.bottom);
  }
  CadText("Blatt", 194, 18);
  CadText("Bl.", 200, 10.4L);
  if (!log.ReplacesDrawing.empty()) CadTextWhole("Ersatz für "_oem + log.ReplacesDrawing, 118, 6.5L, 160 - 0.5L - 118);
  if (!log.ReplacedByDrawing.empty())
    CadTextWhole("Ersetzt durch " + log.ReplacedByDrawing, 162, 6.5L, 205 - 0.5L - 162);
  DrawChangeRows();

  const int texts = std::clamp<int>(log.DrawingTextCount, 0, kMaxDrawingTexts);
  for (int k = 1; k <= texts; ++k) {
    const DrawingText& t = log.DrawingTexts[static_cast<std::size_t>(k)];
    if (t.h > 0) CadTextStyle(2, t.phi, t.h, 0.8L * t.h);
    CadText(t.Text, t.x, t.y);
  }

  CadSetLayer(5);
  CadTextStyleFit(2, n1, 19, 0, 5, 4);
  CadText(n1, 120, 32.5L);
  CadTextStyleFit(2, no, 17, 0, 5, 4);
  CadText(no, 120, 12);
  CadSetLayer(4);
  CadTextStyleFit(2, n2, 30, 0, 3.5L, 2.8L);
  CadText(n2, 120, 25);

  Style(1.5L, 1.2L);
  CadSetLayer(3);
  if (cfg.HideFileName == 0) CadText(ShortenMiddle(CurrentFilePathText(), 150), 18, 1);
  if (cfg.HideDate == 0) CadText(StampText(), 186, 1);
  Style(3.5L, 3);
  CadSetLayer(5);
  if (cfg.HideMakerTitle == 0) CadText("TALMORE   " + G().ProgramTitle + "  V" + G().ProgramVersion, 1, 300);
  if (cfg.HideLogo == 0) {
    CadSetLayer(0);
    const std::string folder = CadTempFolder();
    const int code = Cad().CadCode;
    if ((code == 3 || code == 4) && !folder.empty() && PathIsRegularFile(ResolveCaseInsensitive(folder, "$logo_1.dx$")))
      CadInsertBlock("logo_1", 75, 10, 0, 1, 1);
  }
}

}  // namespace zeb
