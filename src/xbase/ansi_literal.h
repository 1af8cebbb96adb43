// Windows-1252 string literals written as UTF-8 in the source (the engine's
// message texts):  std::string s = "Fehler beim Öffnen von "_ansi;
// Converted at compile time; a character 1252 lacks does not compile.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/codepage_tables.h"
#include "platform/oem_literal.h"

namespace zeb::xbase {

namespace detail {
constexpr unsigned char Cp1252Of(char32_t cp) {
  if (cp < 0x80) return static_cast<unsigned char>(cp);
  for (int b = 0x80; b < 256; ++b)
    if (zeb::cp::kCp1252[b] == cp) return static_cast<unsigned char>(b);
  throw "character not in code page 1252";
}
}  // namespace detail

template <std::size_t N>
struct AnsiLiteral {
  char data[N]{};
  std::size_t size = 0;
  constexpr std::string_view view() const { return {data, size}; }
  constexpr operator std::string_view() const { return view(); }
  operator std::string() const { return std::string(data, size); }
  std::string str() const { return std::string(data, size); }
};

template <std::size_t N>
constexpr AnsiLiteral<N> ToAnsiLiteral(const zeb::OemLiteralSource<N>& src) {
  AnsiLiteral<N> out{};
  std::size_t n = N - 1;
  std::size_t i = 0;
  while (i < n) {
    char32_t cp = zeb::detail::DecodeUtf8At(src.data, n, i);
    out.data[out.size++] = static_cast<char>(detail::Cp1252Of(cp));
  }
  return out;
}

inline namespace ansi_literals {
template <zeb::OemLiteralSource S>
consteval auto operator""_ansi() {
  return ToAnsiLiteral(S);
}
}  // namespace ansi_literals

template <std::size_t N>
std::string operator+(const std::string& a, const AnsiLiteral<N>& b) { return a + b.str(); }
template <std::size_t N>
std::string operator+(const AnsiLiteral<N>& a, const std::string& b) { return a.str() + b; }

}  // namespace zeb::xbase
