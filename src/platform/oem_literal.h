// Code page 850 string literals written as UTF-8 in the source:
//   std::string s = "Ungültige Eingabe"_oem;
// The conversion runs at compile time; a character code page 850 lacks
// does not compile.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/codepage_tables.h"

namespace zeb {

namespace detail {

constexpr char32_t DecodeUtf8At(const char* s, std::size_t n, std::size_t& i) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  if (c < 0x80) { ++i; return c; }
  int extra = (c >= 0xF0) ? 3 : (c >= 0xE0) ? 2 : (c >= 0xC0) ? 1 : -1;
  if (extra < 0 || i + extra >= n + 1) throw "invalid UTF-8 in literal";
  char32_t cp = c & (0x3F >> extra);
  for (int k = 1; k <= extra; ++k) {
    unsigned char cc = static_cast<unsigned char>(s[i + k]);
    if ((cc & 0xC0) != 0x80) throw "invalid UTF-8 in literal";
    cp = (cp << 6) | (cc & 0x3F);
  }
  i += extra + 1;
  return cp;
}

constexpr unsigned char Cp850Of(char32_t cp) {
  if (cp < 0x80) return static_cast<unsigned char>(cp);
  for (int b = 0x80; b < 256; ++b)
    if (cp::kCp850[b] == cp) return static_cast<unsigned char>(b);
  throw "character not in code page 850";
}

}  // namespace detail

template <std::size_t N>
struct OemLiteralSource {
  char data[N]{};
  consteval OemLiteralSource(const char (&s)[N]) {
    for (std::size_t i = 0; i < N; ++i) data[i] = s[i];
  }
};

template <std::size_t N>
struct OemLiteral {
  char data[N]{};
  std::size_t size = 0;
  constexpr std::string_view view() const { return {data, size}; }
  constexpr operator std::string_view() const { return view(); }
  operator std::string() const { return std::string(data, size); }
  std::string str() const { return std::string(data, size); }
};

template <std::size_t N>
constexpr OemLiteral<N> ToOemLiteral(const OemLiteralSource<N>& src) {
  OemLiteral<N> out{};
  std::size_t n = N - 1;  // without the terminating NUL
  std::size_t i = 0;
  while (i < n) {
    char32_t cp = detail::DecodeUtf8At(src.data, n, i);
    out.data[out.size++] = static_cast<char>(detail::Cp850Of(cp));
  }
  return out;
}

namespace literals {
template <OemLiteralSource S>
constexpr auto operator""_oem() {
  constexpr auto converted = ToOemLiteral(S);  // always at compile time
  return converted;
}
}  // namespace literals

using namespace literals;

// std::string + literal and literal + std::string.
template <std::size_t N>
std::string operator+(const std::string& a, const OemLiteral<N>& b) { return a + b.str(); }
template <std::size_t N>
std::string operator+(const OemLiteral<N>& a, const std::string& b) { return a.str() + b; }

}  // namespace zeb
