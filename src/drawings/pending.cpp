// Drawings not built yet: each draws nothing.
#include "drawings/drawings.h"

namespace zeb {

void DrawSpringView(int /*kind*/, int /*cadCode*/, bool /*askLength*/) {}
void DrawProductionDrawing(int /*cadCode*/) {}
void DrawProductionDrawingEN(int /*cadCode*/) {}
void DrawQuickSheet(int /*cadCode*/) {}
void DrawSpring3DView(int /*cadCode*/, int /*kind*/, bool /*askLength*/) {}

}  // namespace zeb
