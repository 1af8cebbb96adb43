// String literals written as UTF-8 in the source and converted at compile
// time to the bytes of one code page; a character the code page lacks does
// not compile. The _oem (code page 850) and _ansi (Windows-1252) literals
// are built on this.
#pragma once
#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/codepage.h"
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

constexpr const std::array<char32_t, 256>& CodePageTable(CodePage page) {
  switch (page) {
    case CodePage::Cp437: return cp::kCp437;
    case CodePage::Cp850: return cp::kCp850;
    case CodePage::Cp1252: return cp::kCp1252;
  }
  throw "unknown code page";
}

constexpr unsigned char CodePageByteOf(CodePage page, char32_t cp) {
  if (cp < 0x80) return static_cast<unsigned char>(cp);
  const std::array<char32_t, 256>& table = CodePageTable(page);
  for (int b = 0x80; b < 256; ++b)
    if (table[static_cast<std::size_t>(b)] == cp) return static_cast<unsigned char>(b);
  throw "character not in the literal's code page";
}

}  // namespace detail

// The UTF-8 text of the literal, as a template argument.
template <std::size_t N>
struct Utf8LiteralSource {
  char data[N]{};
  consteval Utf8LiteralSource(const char (&s)[N]) {
    for (std::size_t i = 0; i < N; ++i) data[i] = s[i];
  }
};

template <std::size_t N, CodePage Page>
struct CodePageLiteral {
  char data[N]{};
  std::size_t size = 0;
  constexpr std::string_view view() const { return {data, size}; }
  constexpr operator std::string_view() const { return view(); }
  operator std::string() const { return std::string(data, size); }
  std::string str() const { return std::string(data, size); }
};

template <CodePage Page, std::size_t N>
constexpr CodePageLiteral<N, Page> ToCodePageLiteral(const Utf8LiteralSource<N>& src) {
  CodePageLiteral<N, Page> out{};
  std::size_t n = N - 1;  // without the terminating NUL
  std::size_t i = 0;
  while (i < n) {
    char32_t cp = detail::DecodeUtf8At(src.data, n, i);
    out.data[out.size++] = static_cast<char>(detail::CodePageByteOf(Page, cp));
  }
  return out;
}

// std::string + literal and literal + std::string.
template <std::size_t N, CodePage Page>
std::string operator+(const std::string& a, const CodePageLiteral<N, Page>& b) { return a + b.str(); }
template <std::size_t N, CodePage Page>
std::string operator+(const CodePageLiteral<N, Page>& a, const std::string& b) { return a.str() + b; }

}  // namespace zeb
