#include "csv.h"

#include <fstream>
#include <sstream>

namespace mktables {

std::size_t CsvFile::Column(std::string_view name) const {
  for (std::size_t i = 0; i < header.size(); ++i) {
    if (header[i] == name) return i;
  }
  Fail(1, "no column \"" + std::string(name) + "\"");
}

void CsvFile::Fail(int line, std::string_view what) const {
  throw InputError(path + ":" + std::to_string(line) + ": " + std::string(what));
}

CsvFile ReadCsv(const std::string& path) {
  CsvFile f;
  f.path = path;
  std::ifstream in(path, std::ios::binary);
  if (!in) f.Fail(0, "cannot be read");
  std::ostringstream all;
  all << in.rdbuf();
  const std::string text = all.str();

  std::vector<CsvRow> rows;
  CsvRow row;
  std::string cell;
  int line = 1;
  row.line = 1;
  bool quoted = false, wasQuoted = false, any = false;
  auto endCell = [&] {
    row.cells.push_back(cell);
    cell.clear();
    wasQuoted = false;
  };
  auto endRow = [&] {
    if (any || !row.cells.empty()) {
      endCell();
      rows.push_back(row);
    }
    row = CsvRow{};
    row.line = line;
    any = false;
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"') {
        if (i + 1 < text.size() && text[i + 1] == '"') {
          cell += '"';
          ++i;
        } else {
          quoted = false;
        }
      } else {
        if (c == '\n') ++line;
        cell += c;
      }
      continue;
    }
    if (c == '"' && cell.empty() && !wasQuoted) {
      quoted = wasQuoted = any = true;
    } else if (c == ',') {
      endCell();
      any = true;
    } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      // CR LF: the LF ends the row
    } else if (c == '\n') {
      ++line;
      endRow();
    } else if (wasQuoted) {
      f.Fail(row.line, "text after a closing quote");
    } else {
      cell += c;
      any = true;
    }
  }
  if (quoted) f.Fail(row.line, "quote not closed");
  endRow();

  if (rows.empty()) f.Fail(1, "no header row");
  f.header = rows.front().cells;
  for (std::size_t r = 1; r < rows.size(); ++r) {
    if (rows[r].cells.size() != f.header.size()) {
      f.Fail(rows[r].line, std::to_string(rows[r].cells.size()) + " columns, the header has " +
                               std::to_string(f.header.size()));
    }
    f.rows.push_back(std::move(rows[r]));
  }
  return f;
}

namespace {

struct DecimalParts {
  bool negative = false;
  std::string integer;   // without leading zeros ("" for 0)
  std::string fraction;  // without trailing zeros
};

std::optional<DecimalParts> SplitDecimal(std::string_view t) {
  DecimalParts p;
  std::size_t i = 0;
  if (i < t.size() && t[i] == '-') {
    p.negative = true;
    ++i;
  }
  const std::size_t intStart = i;
  while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i;
  std::string_view intDigits = t.substr(intStart, i - intStart);
  std::string_view fracDigits;
  if (i < t.size() && t[i] == '.') {
    const std::size_t fracStart = ++i;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i;
    fracDigits = t.substr(fracStart, i - fracStart);
    if (fracDigits.empty()) return std::nullopt;
  }
  if (i != t.size() || intDigits.empty()) return std::nullopt;
  while (!intDigits.empty() && intDigits.front() == '0') intDigits.remove_prefix(1);
  while (!fracDigits.empty() && fracDigits.back() == '0') fracDigits.remove_suffix(1);
  p.integer = intDigits;
  p.fraction = fracDigits;
  if (p.integer.empty() && p.fraction.empty()) p.negative = false;
  return p;
}

}  // namespace

std::optional<std::int64_t> ParseScaled(std::string_view text) {
  auto p = SplitDecimal(text);
  if (!p || p->integer.size() > 12 || p->fraction.size() > kScaleDigits) return std::nullopt;
  std::int64_t v = 0;
  for (char c : p->integer) v = v * 10 + (c - '0');
  std::string frac = p->fraction;
  frac.resize(kScaleDigits, '0');
  for (char c : frac) v = v * 10 + (c - '0');
  return p->negative ? -v : v;
}

std::optional<std::string> StoredNumberText(std::string_view text, int width, int decimals) {
  auto p = SplitDecimal(text);
  if (!p || static_cast<int>(p->fraction.size()) > decimals) return std::nullopt;
  std::string s = p->negative ? "-" : "";
  s += p->integer.empty() ? "0" : p->integer;
  if (decimals > 0) {
    std::string frac = p->fraction;
    frac.resize(static_cast<std::size_t>(decimals), '0');
    s += "." + frac;
  }
  if (static_cast<int>(s.size()) > width) return std::nullopt;
  return std::string(static_cast<std::size_t>(width) - s.size(), ' ') + s;
}

}  // namespace mktables
