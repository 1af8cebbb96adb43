// Code page 850 string literals written as UTF-8 in the source:
//   std::string s = "Ungültige Eingabe"_oem;
// The conversion runs at compile time; a character code page 850 lacks
// does not compile.
#pragma once
#include <cstddef>

#include "platform/codepage_literal.h"

namespace zeb {

template <std::size_t N>
using OemLiteral = CodePageLiteral<N, CodePage::Cp850>;

namespace literals {
template <Utf8LiteralSource S>
constexpr auto operator""_oem() {
  constexpr auto converted = ToCodePageLiteral<CodePage::Cp850>(S);  // always at compile time
  return converted;
}
}  // namespace literals

using namespace literals;

}  // namespace zeb
