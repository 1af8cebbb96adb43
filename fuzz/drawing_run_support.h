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
#include "mainwin/config.h"
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

// A word of a listing that a number formatter writes for NaN or infinity
// ("nan", "-inf", "1.#INF", ...). Texts from the spring file such as
// "Federinfo" are not numbers and do not count.
inline bool NonFiniteNumberText(std::string word) {
  for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (word.find("#inf") != std::string::npos || word.find("#ind") != std::string::npos ||
      word.find("#nan") != std::string::npos || word.find("#qnan") != std::string::npos)
    return true;
  std::size_t b = 0, e = word.size();
  while (b < e && (word[b] == '-' || word[b] == '+' || word[b] == '=')) ++b;
  while (e > b && !std::isalnum(static_cast<unsigned char>(word[e - 1]))) --e;
  const std::string core = word.substr(b, e - b);
  return core == "nan" || core == "inf" || core == "infinity";
}

inline std::string Lowered(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// Aborts when the listing at path holds a non-finite number. A word that the
// input itself holds (a spring-file text copied into the listing, such as a
// change-log date "1.#QNAN") is the user's text, not a number written.
inline void RequireFiniteListing(const std::string& path, std::string_view input) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  std::istringstream words(all.str());
  const std::string source = Lowered(input);
  std::string word;
  while (words >> word)
    if (NonFiniteNumberText(word) && source.find(Lowered(word)) == std::string::npos) std::abort();
}

}  // namespace zeb::fuzz
