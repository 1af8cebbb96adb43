#include "base/colors.h"

#include <algorithm>

#include "base/globals.h"

namespace zeb {

void InitDefaultColors() {
  static constexpr std::uint32_t kColours[17] = {
      0x000000, 0x800000, 0x00FF00, 0xFFFF00, 0x0000FF, 0x800080, 0x000080, 0xC0C0C0, 0xB0B0B0,
      0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF, 0x000000};
  std::copy(std::begin(kColours), std::end(kColours), G().ColourTable.begin());
}

namespace {
DialogGeometry Scaled(const DialogGeometry& d) {
  DialogGeometry r = d;
  r.width = d.width * G().DialogSizePercent / 100;
  r.height = d.height * G().DialogSizePercent / 100;
  return r;
}
}  // namespace

DialogGeometry ScaleAndCenterDialog(const DialogGeometry& designed, const DialogGeometry& mainWindow) {
  DialogGeometry r = Scaled(designed);
  r.left = mainWindow.left + std::max(0, (mainWindow.width - r.width) / 2);
  r.top = mainWindow.top + std::max(0, (mainWindow.height - r.height) / 2) + 20;
  return r;
}

DialogGeometry ScaleDialogAtSavedPos(const DialogGeometry& designed) {
  DialogGeometry r = Scaled(designed);
  r.left = G().SavedDialogLeft;
  r.top = G().SavedDialogTop;
  return r;
}

DialogGeometry ScaleDialogInPlace(const DialogGeometry& designed) { return Scaled(designed); }

double DialogElementScale() { return G().DialogElementPercent / 100.0; }

}  // namespace zeb
