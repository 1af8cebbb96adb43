// CSV files of the shipped tables: UTF-8, comma-separated, a header row;
// fields may be quoted ("" inside a quoted field is one quote). Every
// failure names the file and the line.
#pragma once
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace mktables {

// A malformed input: "<file>:<line>: <what>".
class InputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct CsvRow {
  int line = 0;  // line number of the row in its file
  std::vector<std::string> cells;
};

struct CsvFile {
  std::string path;
  std::vector<std::string> header;
  std::vector<CsvRow> rows;

  // Column of a header name; InputError naming line 1 when absent.
  std::size_t Column(std::string_view name) const;
  [[noreturn]] void Fail(int line, std::string_view what) const;
};

// Reads and splits the file; every row must have the header's column count.
CsvFile ReadCsv(const std::string& path);

// A decimal number text ("-12", "0.7356") as a scaled integer with
// kScaleDigits decimals; nullopt for anything else (blanks, exponents,
// "1e300", "-", too many digits).
inline constexpr int kScaleDigits = 6;
std::optional<std::int64_t> ParseScaled(std::string_view text);

// The stored text of a number in a numeric field of width and decimals,
// right-aligned; nullopt when it does not fit (too wide, or more decimal
// digits than the field keeps).
std::optional<std::string> StoredNumberText(std::string_view text, int width, int decimals);

}  // namespace mktables
