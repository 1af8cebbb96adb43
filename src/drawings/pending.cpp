// Drawings not built yet: each draws nothing.
#include "drawings/drawings.h"

namespace zeb {

void DrawProductionDrawing(int /*cadCode*/) {}
void DrawProductionDrawingEN(int /*cadCode*/) {}
void DrawQuickSheet(int /*cadCode*/) {}

}  // namespace zeb
