// Conversions between code pages 437, 850, Windows-1252 and UTF-8.
// Texts are byte strings (std::string) in the code page named.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace zeb {

enum class CodePage { Cp437, Cp850, Cp1252 };

// Unicode code point of byte b in code page cp (always defined; the five
// undefined 1252 bytes give the C1 control of equal value).
char32_t ToUnicode(CodePage cp, unsigned char b);
// Byte of code point u in cp, or -1 when cp lacks it.
int FromUnicode(CodePage cp, char32_t u);

std::string ToUtf8(CodePage cp, std::string_view bytes);
// Invalid UTF-8 and characters cp lacks become "?".
std::string FromUtf8(CodePage cp, std::string_view utf8);

// Code page 850 <-> Windows-1252 over the whole text, same length.
// A character the target lacks maps to one fixed byte: box lines to
// "|", "+" or "-", else a best fit or "?".
std::string Cp850To1252(std::string_view s);
std::string Cp1252To850(std::string_view s);

}  // namespace zeb
