// Numbers as the engine shows them, whatever the user's language.
#pragma once
#include <string>

#include "xbase/core/engine.h"

namespace zeb::test {

// A number's text as the engine shows it: the decimal character is the
// one of the user's language ("," on a German desktop).
inline std::string Shown(std::string text) {
  for (char& c : text)
    if (c == '.') c = xbase::Engine().decimalChar;
  return text;
}

}  // namespace zeb::test
