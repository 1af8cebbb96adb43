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

namespace {
bool Overlap(const DialogGeometry& a, const DialogGeometry& b) {
  return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height && b.top < a.top + a.height;
}
bool Inside(const DialogGeometry& a, const DialogGeometry& s) {
  return a.left >= s.left && a.top >= s.top && a.left + a.width <= s.left + s.width &&
         a.top + a.height <= s.top + s.height;
}
}  // namespace

DialogGeometry PlaceBesideCaller(const DialogGeometry& dialog, const DialogGeometry& caller,
                                 const DialogGeometry& screen, const std::vector<DialogGeometry>& keepClear) {
  const int w = dialog.width, h = dialog.height;
  const auto at = [&](int left, int top) { return DialogGeometry{left, top, w, h}; };
  // Along the caller's edge, kept inside the screen.
  const auto alongX = [&](int left) {
    return std::clamp(left, screen.left, std::max(screen.left, screen.left + screen.width - w));
  };
  const auto alongY = [&](int top) {
    return std::clamp(top, screen.top, std::max(screen.top, screen.top + screen.height - h));
  };
  const DialogGeometry ways[] = {
      at(dialog.left, dialog.top),
      at(caller.left + caller.width, alongY(caller.top)),
      at(caller.left - w, alongY(caller.top)),
      at(alongX(caller.left), caller.top + caller.height),
      at(alongX(caller.left), caller.top - h),
  };
  // The corners of the screen, then the screen's edges just below and above
  // each rectangle to keep clear.
  const int xRight = screen.left + screen.width - w, yBottom = screen.top + screen.height - h;
  std::vector<DialogGeometry> corners = {at(xRight, yBottom), at(screen.left, yBottom), at(xRight, screen.top),
                                         at(screen.left, screen.top)};
  for (const DialogGeometry& k : keepClear) {
    for (int top : {k.top + k.height, k.top - h}) {
      corners.push_back(at(xRight, top));
      corners.push_back(at(screen.left, top));
    }
  }
  const auto clear = [&](const DialogGeometry& g, bool ofCaller) {
    if (!Inside(g, screen) || (ofCaller && Overlap(g, caller))) return false;
    for (const DialogGeometry& k : keepClear)
      if (Overlap(g, k)) return false;
    return true;
  };
  for (bool ofCaller : {true, false}) {
    for (const DialogGeometry& g : ways)
      if (clear(g, ofCaller)) return g;
    for (const DialogGeometry& g : corners)
      if (clear(g, ofCaller)) return g;
  }
  return corners[0];
}

DialogGeometry ScaleDialogInPlace(const DialogGeometry& designed) { return Scaled(designed); }

double DialogElementScale() { return G().DialogElementPercent / 100.0; }

}  // namespace zeb
