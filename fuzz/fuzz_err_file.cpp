// Message-help files of arbitrary contents: lookups never hang or crash, an
// edited entry reads back as saved, and a rewrite leaves no stray file.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "base/globals.h"
#include "base/headless_ui.h"
#include "base/help.h"
#include "fuzz_support.h"
#include "platform/files.h"

namespace {

// Answers like a user who edits the form and saves; never blocks.
class FuzzUi : public zeb::BatchUi {
 public:
  FuzzUi() : BatchUi(nullptr) {}
  zeb::Answer Question(std::string_view, std::string_view, zeb::QuestionKind) override { return zeb::Answer::Yes; }
  zeb::ErrorHelpResult ErrorHelpForm(const zeb::ErrorHelpTexts& texts, const std::function<void()>&) override {
    ++forms;
    zeb::ErrorHelpResult r;
    r.modified = true;
    r.texts = texts;
    r.texts.cause = "neue Ursache";
    r.texts.remedy = "neue Abhilfe";
    return r;
  }
  int forms = 0;
};


// Line `n` of the input (LF separated, CR dropped), at most 200 bytes.
std::string LineOf(const std::string& bytes, int n) {
  std::size_t start = 0;
  for (int i = 0; i < n && start != std::string::npos; ++i) {
    start = bytes.find('\n', start);
    if (start != std::string::npos) ++start;
  }
  if (start == std::string::npos || start > bytes.size()) return {};
  std::string line = bytes.substr(start, bytes.find('\n', start) - start);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line.substr(0, 200);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static zeb::fuzz::ScratchFolder scratch("fuzzerr");
  static auto ui = std::make_shared<FuzzUi>();
  zeb::ResetBaseGlobals();
  zeb::SetUi(ui);
  zeb::G().HelpFolder = scratch.dir;
  zeb::G().TempFolder = scratch.dir;
  zeb::G().ProgramShortName = "ZEB1";
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::string path = scratch.dir + "/zeb1.err";
  std::ofstream(path, std::ios::binary) << bytes;

  auto& list = zeb::G().ErrorMessageList;
  list.count = 3;
  list.slot[1] = LineOf(bytes, 0);
  list.slot[2] = LineOf(bytes, 3);
  list.slot[3] = "Fehler : nicht vorhanden";
  for (int k = 1; k <= 3; ++k) {
    std::string cause = "-", remedy = "-";
    zeb::GetErrorCause(k, cause);
    zeb::GetErrorRemedy(k, remedy);
  }

  // Message 1 found: the edited form is saved and reads back.
  const std::string unset = "\n";  // no line read holds a line feed
  std::string remedy = unset;
  zeb::GetErrorRemedy(1, remedy);
  const bool found = remedy != unset;
  ui->forms = 0;
  zeb::G().AbortFlag = 0;
  zeb::ShowErrorHelp(1);
  if (found != (ui->forms == 1)) std::abort();
  if (found) {
    std::string cause;
    zeb::G().AbortFlag = 0;
    zeb::GetErrorCause(1, cause);
    zeb::GetErrorRemedy(1, remedy);
    if (cause != "neue Ursache" || remedy != "neue Abhilfe") std::abort();
  }
  zeb::G().AbortFlag = 0;
  zeb::WriteErrEntry(list.slot[2], "Ursache 2", "Abhilfe 2");

  // The file is replaced in place: nothing else is left in the folder.
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(scratch.dir)) {
    if (e.path().filename() != "zeb1.err") std::abort();
    ++files;
  }
  if (files != 1) std::abort();
  return 0;
}
