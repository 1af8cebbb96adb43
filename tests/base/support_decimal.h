// Decimal texts read alike on every desktop: the C library's readers
// (strtod, stod) follow the process's locale, which a Qt program takes from
// the desktop (a German one reads "12.3" as 12).
#pragma once
#include <charconv>
#include <cstddef>
#include <string_view>

namespace zeb::test {

// The value of the number at the start of text (after blanks and tabs, a
// "+" allowed), point as the decimal point; 0 when there is none. used:
// the characters read, blanks included.
inline long double DecimalValue(std::string_view text, std::size_t* used = nullptr) {
  std::size_t at = 0;
  while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
  if (at < text.size() && text[at] == '+' && at + 1 < text.size() && text[at + 1] != '-') ++at;
  long double value = 0;
  const auto r = std::from_chars(text.data() + at, text.data() + text.size(), value);
  if (used != nullptr) *used = r.ec == std::errc() ? static_cast<std::size_t>(r.ptr - text.data()) : 0;
  return r.ec == std::errc() ? value : 0;
}

}  // namespace zeb::test
