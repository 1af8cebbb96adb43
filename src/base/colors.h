// Colour table and dialog placement.
#pragma once
#include <cstdint>

namespace zeb {

// Fills G().ColourTable with the 17 drawing colours (0x00BBGGRR).
void InitDefaultColors();

struct DialogGeometry {
  int left = 0, top = 0, width = 0, height = 0;
};

// Size by DialogSizePercent, centred over the main window, 20 pixels low;
// never left of or above the main window.
DialogGeometry ScaleAndCenterDialog(const DialogGeometry& designed, const DialogGeometry& mainWindow);
// The same size, at the saved left/top pair.
DialogGeometry ScaleDialogAtSavedPos(const DialogGeometry& designed);
// The same size, not moved.
DialogGeometry ScaleDialogInPlace(const DialogGeometry& designed);
// Scale factor of controls and fonts (DialogElementPercent / 100).
double DialogElementScale();

}  // namespace zeb
