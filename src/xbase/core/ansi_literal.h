// Windows-1252 string literals written as UTF-8 in the source (the engine's
// message texts):  std::string s = "Fehler beim Öffnen von "_ansi;
// Converted at compile time; a character 1252 lacks does not compile.
#pragma once
#include <cstddef>

#include "platform/oem_literal.h"

namespace zeb::xbase {

template <std::size_t N>
using AnsiLiteral = CodePageLiteral<N, CodePage::Cp1252>;

inline namespace ansi_literals {
template <zeb::Utf8LiteralSource S>
constexpr auto operator""_ansi() {
  constexpr auto converted = ToCodePageLiteral<CodePage::Cp1252>(S);  // always at compile time
  return converted;
}
}  // namespace ansi_literals

}  // namespace zeb::xbase
