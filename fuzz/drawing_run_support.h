// Shared start of the drawing fuzz targets: fresh program state, a batch UI
// that shows nothing, a recording screen, and CAD files in a scratch folder
// without save dialogs.
#pragma once
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>

#include "base/globals.h"
#include "base/headless_ui.h"
#include "base/ui_port.h"
#include "fuzz_support.h"
#include "graphics/cad.h"
#include "graphics/cadsettings.h"
#include "graphics/sink.h"
#include "settings/config.h"
#include "spring/calc.h"
#include "spring/changelog.h"
#include "spring/spring_data.h"

namespace zeb::fuzz {

struct DrawingRun {
  std::string dir;                      // the scratch folder, kept for the process
  std::shared_ptr<RecordingSink> sink;  // the screen
};

inline DrawingRun ResetDrawingRun(std::string_view scratchPrefix) {
  static ScratchFolder scratch(scratchPrefix);
  static auto ui = std::make_shared<BatchUi>(nullptr);
  static auto sink = std::make_shared<RecordingSink>();
  ResetBaseGlobals();
  ResetSpringGlobals();
  ResetCadState();
  ResetCadSettings();
  ResetConfigDefaults();
  ChangeLog() = DefaultChangeLog();
  SetUi(ui);
  SetScreen(sink);
  G().ShowErrorsSwitch = 0;
  G().TempFolder = scratch.dir;
  CadSettings().CommandLineExport = 1;
  return {scratch.dir, sink};
}

inline std::string Lowered(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

inline bool AlNum(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }

// The number-like core of a listing word that a formatter writes for NaN or
// infinity ("nan", "-inf", "1.#INF", ...), or "" when the word is none.
// Texts from the spring file such as "Federinfo" are not numbers. For the
// "#" forms the core runs from the mark over the characters of a number, so
// that bytes a listing converts (umlauts) around it do not count; the dots
// of a text cut to its field are no part of it.
inline std::string NonFiniteCore(const std::string& word) {
  const std::string w = Lowered(word);
  for (const char* mark : {"#inf", "#ind", "#nan", "#qnan"}) {
    const std::size_t at = w.find(mark);
    if (at == std::string::npos) continue;
    std::size_t end = at + 1;
    while (end < w.size() && (AlNum(w[end]) || w[end] == '#' || w[end] == '.' || w[end] == '+' || w[end] == '-'))
      ++end;
    // A text cut to its field ends in "...": the part before it.
    if (end - at > 3 && w.compare(end - 3, 3, "...") == 0) end -= 3;
    return w.substr(at, end - at);
  }
  std::size_t b = 0, e = w.size();
  while (b < e && (w[b] == '-' || w[b] == '+' || w[b] == '=')) ++b;
  while (e > b && !AlNum(w[e - 1])) --e;
  const std::string core = w.substr(b, e - b);
  return core == "nan" || core == "inf" || core == "infinity" ? core : std::string();
}

// True when text holds token as a word of its own (not inside a longer one).
inline bool HoldsToken(const std::string& text, const std::string& token) {
  for (std::size_t p = text.find(token); p != std::string::npos; p = text.find(token, p + 1)) {
    const bool before = p == 0 || !AlNum(text[p - 1]);
    const bool after = p + token.size() >= text.size() || !AlNum(text[p + token.size()]);
    if (before && after) return true;
  }
  return false;
}

// Aborts when the listing at path holds a non-finite number. A word the
// input itself holds (a spring-file text copied into the listing, such as a
// change-log date "1.#QNAN" or a name "inf") is the user's text.
inline void RequireFiniteListing(const std::string& path, std::string_view input) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  std::istringstream words(all.str());
  const std::string source = Lowered(input);
  std::string word;
  while (words >> word) {
    const std::string core = NonFiniteCore(word);
    if (core.empty()) continue;
    const bool users = core[0] == '#' ? source.find(core) != std::string::npos : HoldsToken(source, core);
    if (!users) std::abort();
  }
}

}  // namespace zeb::fuzz
