// Paths as words of command lines: a shell's (any path, blanks, quotes and
// all) and a program setting's.
#pragma once
#include <string>
#include <string_view>

namespace zeb::test {

// s in single quotes, each single quote of it written '\''.
inline std::string ShellQuote(std::string_view s) {
  std::string q = "'";
  for (const char c : s) {
    if (c == '\'') q += "'\\''";
    else q += c;
  }
  return q + "'";
}

// A path as a word of a program setting, a command line the program
// splits at blanks: in double quotes.
inline std::string SettingWord(std::string_view path) { return "\"" + std::string(path) + "\""; }

}  // namespace zeb::test
