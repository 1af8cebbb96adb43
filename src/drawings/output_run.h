// One output run of a drawing or diagram through the CAD output layer:
//   fatal test (the calculation messages instead of a drawing), the
//   drawing's own checks and questions, CadBeginOutput, DiagramData()
//   filled from the spring, the drawing header with its extents, the
//   tables, the blocks section when the drawing has blocks, one entity
//   pass, CadEndOutput and the arrow cursor.
// A cancelled output choice (AbortFlag after CadBeginOutput) ends the run
// at once; nothing is written and the cursor is left as it was.
#pragma once
#include <array>
#include <functional>

#include "base/types.h"

namespace zeb {

struct DrawingRun {
  // xmin, ymin, xmax, ymax of CadDrawingHeader.
  std::array<Real, 4> extents{0, 0, 160, 120};
  int tables = 2;
  // Checks and questions before the output opens; false ends the run with
  // nothing written. May set the extents.
  std::function<bool(DrawingRun&)> before;
  // Right after the output opened, before the header (the diagram state).
  std::function<void()> opened;
  // The block definitions; the blocks section is written only when set.
  std::function<void()> blocks;
  // The entities of one pass.
  std::function<void()> entities;
};

// False when nothing was drawn (fatal flag, refused, cancelled).
bool RunDrawingOutput(int cadCode, DrawingRun run);

// The screen of a spring whose calculation stopped: its messages in place
// of any result.
void DrawStoppedCalculation();

// DiagramData() from the spring data set and the material record.
void FillDiagramData();

}  // namespace zeb
