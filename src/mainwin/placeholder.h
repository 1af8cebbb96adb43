// Until the spring drawings are there, the result graphic of the main
// window is a placeholder: the header line and the recalculation screen's
// output rows as a text table, drawn on the screen as one CAD run on the
// sheet (0, 0)-(160, 120).
#pragma once
#include "base/services.h"

namespace zeb {

void DrawResultPlaceholder();

// The drawing services' stand-in with a result graphic: every other entry
// only records its call.
class PlaceholderDrawings : public RecordingDrawings {
 public:
  // Clears AbortFlag; draws the placeholder while the help level is above 0.
  void RedrawCurrentDrawing() override;
};

// Installs the placeholder when the drawing services are the plain stand-in.
void InstallResultPlaceholder();

}  // namespace zeb
