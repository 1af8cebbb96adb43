// Drawings not built yet: each draws nothing.
#include "drawings/drawings.h"

namespace zeb {

void DrawQuickSheet(int /*cadCode*/) {}

}  // namespace zeb
