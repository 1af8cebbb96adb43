// Help files of arbitrary contents: every lookup ends with a text, the box
// stays within its 1000 characters, the picture calls are complete or none.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "base/globals.h"
#include "base/headless_ui.h"
#include "base/help.h"
#include "base/services.h"
#include "fuzz_support.h"
#include "platform/files.h"

namespace {

class FuzzUi : public zeb::BatchUi {
 public:
  FuzzUi() : BatchUi(nullptr) {}
  void MessageBox(std::string_view caption, std::string_view text) override {
    if (text.size() > 1000 || (caption.substr(0, 13) != "HILFETEXT Nr." && caption != "Hilfebild")) std::abort();
  }
};


void Put(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static zeb::fuzz::ScratchFolder scratch("fuzzhlp");
  static auto ui = std::make_shared<FuzzUi>();
  static auto graphics = std::make_shared<zeb::RecordingGraphics>();
  zeb::ResetBaseGlobals();
  zeb::SetUi(ui);
  zeb::SetGraphics(graphics);
  zeb::G().HelpFolder = scratch.dir;
  zeb::G().ProgramShortName = "ZEB1";
  Put(scratch.dir + "/talmore.hlp", data, size);
  Put(scratch.dir + "/zeb1.hlp", data, size);

  // A number taken from the input too, so that entries are hit.
  int own = 4000;
  if (size >= 2) own = (data[0] * 256 + data[1]) % 8000;
  for (int n : {1090, 3999, 4000, 4005, own}) {
    if (zeb::GetHelpText(n).empty()) std::abort();
    for (int mode = 0; mode <= 2; ++mode) {
      graphics->ClearCalls();
      zeb::ShowHelpText(n, "", mode);
      const auto& calls = graphics->Calls();
      // A picture clears the window and plays; a text without one draws nothing.
      if (mode == 1 ? !calls.empty() : !calls.empty() && calls.size() != 3) std::abort();
      if (calls.size() == 3 && calls[2].rfind("PlayHpglFile(" + scratch.dir + "/", 0) != 0) std::abort();
    }
  }
  return 0;
}
