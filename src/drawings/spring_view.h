// Pieces of the spring views (the output run is DrawSpringView).
#pragma once

namespace zeb {

// The lines of the data text block at the text cursor of the open block.
void DrawSpringDataBlock();
// Seen along the axis, centred on the origin.
void DrawSpringTopView();

}  // namespace zeb
