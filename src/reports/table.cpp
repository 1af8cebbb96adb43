#include "reports/table.h"

#include "base/text.h"
#include "reports/device.h"

namespace zeb {

namespace {

constexpr std::size_t kMaxCell = 60;

bool IsTxt(int target) { return target == kOutTxt || target == kOutCommandLine; }

// Cells 1..7, each cut to kMaxCell characters.
void StoreCells(std::array<std::string, 8>& text, const std::string_view (&cells)[7]) {
  for (std::size_t i = 0; i < 7; ++i) text[i + 1] = std::string(cells[i].substr(0, kMaxCell));
}

// The first n cells separated by tabs, as one line.
void WriteTabbedCells(const std::array<std::string, 8>& text, int n) {
  WriteResultText(text[1]);
  for (int c = 2; c <= n; ++c) WriteOutputText("\t" + text[static_cast<std::size_t>(c)]);
  WriteOutputLine("");
}

}  // namespace

int ReportTable::ColumnCount() const {
  int n = 1;
  while (n < 7 && width_[static_cast<std::size_t>(n + 1)] != 0) ++n;
  return n;
}

void ReportTable::ReportTableInit(std::int32_t w1, std::int32_t w2, std::int32_t w3, std::int32_t w4,
                                  std::int32_t w5, std::int32_t w6, std::int32_t w7, std::string_view t1,
                                  std::string_view t2, std::string_view t3, std::string_view t4,
                                  std::string_view t5, std::string_view t6, std::string_view t7) {
  width_ = {0, w1, w2, w3, w4, w5, w6, w7, 0};
  StoreCells(text_, {t1, t2, t3, t4, t5, t6, t7});
  rowRule_ = 1;

  const int target = GetOutputTarget();
  const int n = ColumnCount();
  if (IsTxt(target)) {
    WriteTabbedCells(text_, n);
  } else if (target == kOutHtml) {
    // A table of the device would otherwise be closed inside this one.
    CloseHtmlTable();
    WriteHtmlMarkup("<TABLE BORDER = \"1\" WIDTH= \"100%\">");
    std::string row = "<TR><TD><CENTER>" + HtmlText(text_[1]) + "</CENTER></TD>";
    for (int c = 2; c <= n; ++c) row += "<TD><CENTER>" + HtmlText(text_[static_cast<std::size_t>(c)]) + "</CENTER></TD>";
    WriteHtmlMarkup(row + "</TR>");
  } else {
    WriteResultLine(DoubleRuleLine());
    WriteCells();
    WriteResultLine(DoubleRuleLine());
  }
}

void ReportTable::WriteCells() {
  const int n = ColumnCount();
  WriteResultText(PadRightStr(text_[1], width_[1]));
  for (int c = 2; c <= n; ++c)
    WriteOutputText(PadRightStr(text_[static_cast<std::size_t>(c)], width_[static_cast<std::size_t>(c)]));
  WriteOutputLine(" ");
}

void ReportTable::ReportTableRow(std::string_view c1, std::string_view c2, std::string_view c3,
                                 std::string_view c4, std::string_view c5, std::string_view c6,
                                 std::string_view c7) {
  StoreCells(text_, {c1, c2, c3, c4, c5, c6, c7});

  const int target = GetOutputTarget();
  const int n = ColumnCount();
  if (IsTxt(target)) {
    WriteTabbedCells(text_, n);
  } else if (target == kOutHtml) {
    std::string row = "<TR><TD>" + HtmlText(text_[1]) + "</TD>";
    for (int c = 2; c <= n; ++c)
      row += "<TD><DIV ALIGN=RIGHT>" + HtmlText(text_[static_cast<std::size_t>(c)]) + "</DIV></TD>";
    WriteHtmlMarkup(row + "</TR>");
  } else {
    WriteCells();
    if (rowRule_ != 0) WriteResultLine(SingleRuleLine());
  }
}

void ReportTable::ReportTableSetNoFrame(int flag) { rowRule_ = flag != 0 ? 1 : 0; }

void ReportTable::ReportTableDone() {
  const int target = GetOutputTarget();
  if (rowRule_ == 0 && !IsTxt(target) && target != kOutHtml) WriteResultLine(SingleRuleLine());
  if (target == kOutHtml) WriteHtmlMarkup("</TABLE>");
}

}  // namespace zeb
