// Help-picture catalogues of arbitrary bytes: the reading keeps every byte
// of every line, lists at most 130 entries, and the loop (picking and
// deleting through scripted answers) ends, opens only files of the help
// folder and never loses a line it did not delete.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "base/globals.h"
#include "base/headless_ui.h"
#include "fuzz_support.h"
#include "graphics/facade.h"
#include "graphics/helpcat.h"

namespace {

std::string Read(const std::string& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static zeb::fuzz::ScratchFolder scratch("fuzzdbh");
  static auto ui = std::make_shared<zeb::BatchUi>(nullptr);
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  const zeb::Catalogue c = zeb::ParseCatalogue(bytes);
  if (c.entries.size() > 130) std::abort();
  std::string joined;
  for (const auto& l : c.lines) joined += l;
  if (joined != bytes) std::abort();

  zeb::ResetBaseGlobals();
  zeb::SetUi(ui);
  zeb::G().ScreenHeight = 480;
  zeb::G().HelpFolder = scratch.dir;
  zeb::G().TempFolder = scratch.dir + "/tmp";
  std::filesystem::create_directories(zeb::G().TempFolder);
  zeb::InstallGraphicsFacade();
  const std::string cat = scratch.dir + "/zeb1.dbh";
  std::ofstream(cat, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  std::ofstream(scratch.dir + "/a.plt") << "SP1;PU0,0;PD40,40;";

  auto dialog = std::make_shared<zeb::ScriptedHelpPictureDialog>();
  using Press = zeb::ScriptedHelpPictureDialog::Press;
  dialog->Add(Press::Pick, size ? data[0] % 140 : 0);
  dialog->Add(Press::Down);
  dialog->Add(Press::Delete);  // the batch answer to "Löschen ?" decides
  zeb::SetHelpPictureDialog(dialog);
  zeb::RunHelpPictureCatalog(zeb::Facade());
  zeb::SetHelpPictureDialog(nullptr);

  // At most one line went, the others are there in order.
  const std::string after = Read(cat);
  if (after != bytes) {
    const zeb::Catalogue a = zeb::ParseCatalogue(after);
    if (a.lines.size() + 1 != c.lines.size()) std::abort();
    std::size_t i = 0, j = 0, skipped = 0;
    while (i < c.lines.size()) {
      if (j < a.lines.size() && a.lines[j] == c.lines[i]) {
        ++i, ++j;
      } else {
        ++i, ++skipped;
      }
    }
    if (skipped != 1 || j != a.lines.size()) std::abort();
  }
  std::filesystem::remove(cat);
  return 0;
}
