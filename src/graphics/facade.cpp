#include "graphics/facade.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/dialogs.h"
#include "base/globals.h"
#include "base/text.h"
#include "graphics/cad.h"
#include "platform/codepage.h"

namespace zeb {

namespace {
std::shared_ptr<GraphicsFacade>& Slot() {
  static std::shared_ptr<GraphicsFacade> f = std::make_shared<GraphicsFacade>();
  return f;
}
}  // namespace

int ColorNumberMap(int n) {
  if (n < 0) return n;
  if (n > 16) n %= 16;
  static constexpr int kMap[8] = {0, 12, 14, 10, 11, 9, 13, 15};
  if (n <= 7) return kMap[n];
  if (n <= 15) return n - 7;
  return 16;
}

void GraphicsFacade::FormPaint() {
  window_.Host().Repaint();
  if (window_.printing && printer_) window_.Replay(nullptr, printer_);
}

void GraphicsFacade::GrafOutTextXY(std::string_view textOem, Real x, Real y) {
  window_.OutTextXY(OemToAnsiStr(textOem), x, y);
}

int GraphicsFacade::CadChooseCode() {
  zeb::CadChooseCode();
  return Cad().CadCode;
}

void GraphicsFacade::CadEndOutput() { zeb::CadEndOutput(); }

namespace {

struct KeptWindow : KeptPicture {
  explicit KeptWindow(const GraphWindow& w) : window(w) {}
  GraphWindow window;
};

}  // namespace

std::unique_ptr<KeptPicture> GraphicsFacade::KeepPicture() { return std::make_unique<KeptWindow>(window_); }

void GraphicsFacade::RestorePicture(const KeptPicture& kept) {
  if (const auto* w = dynamic_cast<const KeptWindow*>(&kept)) window_.Restore(w->window);
}

std::string GraphicsFacade::TxtNumber(Real x) { return zeb::TxtNumber(x); }

void GraphicsFacade::GrafShowMessage(std::string_view text) { ShowMessageBox(text, 0); }

bool GraphicsFacade::GrafCheckFile(std::string_view path) {
  const std::string p(path);
  const int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  struct stat st {};
  const bool ok = fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (fd >= 0) ::close(fd);
  if (ok) return true;
  // Named as it is: a folder may hold blanks.
  GrafShowMessage(TrimBlanks(FromUtf8(CodePage::Cp850, path)) + " nicht gefunden !");
  G().AbortFlag = 1;
  return false;
}

GraphicsFacade& Facade() { return *Slot(); }

void InstallGraphicsFacade() {
  Slot() = std::make_shared<GraphicsFacade>();
  SetGraphics(Slot());
  SetScreen(Slot());
}

}  // namespace zeb

#include "base/text.h"
#include "graphics/hpgl.h"
#include "platform/files.h"

namespace zeb {

void GraphicsFacade::PlayHpglFile(std::string_view path) { zeb::PlayHpglFile(*this, path); }

std::string HelpPicturePath(std::string_view stem) {
  std::string folder = G().HelpFolder;
  if (!folder.empty() && folder.back() != '/') folder += '/';
  // Only the picture's own name is folded; a folder in front of it is kept.
  const std::size_t slash = stem.rfind('/');
  const std::size_t name = slash == std::string_view::npos ? 0 : slash + 1;
  return ResolvePathCaseInsensitive(folder + std::string(stem.substr(0, name)) + LowerStr(stem.substr(name)) + ".plt");
}

void GraphicsFacade::ShowHelpPictureFile(std::string_view pictureName) {
  G().PrinterMode = 1;
  // Clear first: the header's window record has to stay in the list.
  window_.Clear();
  window_.Header(0, 0, 0, 160, 120);
  PlayHpglFile(HelpPicturePath(pictureName));
}

}  // namespace zeb
