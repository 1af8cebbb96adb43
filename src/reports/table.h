// The report table: fixed-width columns in the text targets, tab-separated
// fields in TXT and a bordered table in HTML, written through the output
// device (device.h).
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace zeb {

class ReportTable {
 public:
  // Stores widths and titles and writes the title row. Columns not needed
  // get width 0 and an empty title; the table has as many columns as there
  // are leading non-zero widths (column 1 is always written).
  void ReportTableInit(std::int32_t w1, std::int32_t w2, std::int32_t w3, std::int32_t w4, std::int32_t w5,
                       std::int32_t w6, std::int32_t w7, std::string_view t1, std::string_view t2,
                       std::string_view t3, std::string_view t4, std::string_view t5, std::string_view t6,
                       std::string_view t7);
  // One data row; cells beyond the column count are ignored. A cell is cut
  // or filled with blanks to its width in the text targets.
  void ReportTableRow(std::string_view c1, std::string_view c2 = {}, std::string_view c3 = {},
                      std::string_view c4 = {}, std::string_view c5 = {}, std::string_view c6 = {},
                      std::string_view c7 = {});
  // 1 (the start): a single rule after every row; 0: one rule at the end.
  void ReportTableSetNoFrame(int flag);
  void ReportTableDone();

  int ColumnCount() const;

 private:
  void WriteCells();

  std::array<std::int32_t, 9> width_{};  // 1..7, entry 8 always 0
  std::array<std::string, 8> text_;     // 1..7, at most 60 characters
  std::uint8_t rowRule_ = 1;
};

}  // namespace zeb
