// Colour table and dialog placement.
#pragma once
#include <cstdint>
#include <vector>

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

// Where a tool window of the size of dialog (frame included) opens: at its
// saved left/top, else right of, left of, below or above the window it was
// called from, else in a corner of the screen (bottom right first); always
// inside the screen and clear of every rectangle of keepClear (the menu bar,
// the row the user is on), and clear of the caller where one of these ways
// allows it.
DialogGeometry PlaceBesideCaller(const DialogGeometry& dialog, const DialogGeometry& caller,
                                 const DialogGeometry& screen, const std::vector<DialogGeometry>& keepClear);

}  // namespace zeb
