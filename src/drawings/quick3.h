// Pieces of the Quick 3 result sheet (the output run is DrawQuickSheet).
#pragma once
#include "base/types.h"

namespace zeb {

// The goodman block (dynamic load) and the pictures at L0, L1 and L2;
// leaves SpringData().L at L2.
void DefineQuickSheetBlocks();
// Whether the three spring pictures can be drawn.
bool QuickSheetPicturesDrawable();
void DrawOperatingPointTable(Real x, Real y, Real h);
void DrawToleranceTable(Real x, Real y, Real h);
void DrawResultTextBlock(Real x, Real y, Real h, Real w);
void DrawRelaxationBlock(Real x, Real y, Real h, Real w);
// mode 1: more than seven messages in a reduced style.
void DrawMessageList(int mode, Real x, Real y, Real h, Real w);
void DrawDynamicBlock(Real x, Real y, Real h, Real w);

}  // namespace zeb
