// Wire cross-sections, the inclined wire of the end-form sketches, the bore
// and pin figures, dimension lines and marks (sheet or spring millimetres,
// angles in degrees unless said otherwise).
#pragma once
#include <string_view>

#include "base/types.h"

namespace zeb {

// code 1..7 of the wire cross-section; other codes draw nothing.
void DrawWireCrossSection(int code, Real cx, Real cy, Real w, Real h, Real r, Real di);
// The part between the two angles (codes 3..6: the half rectangle on the
// side of the start angle).
void DrawWireHalfSection(int code, Real cx, Real cy, Real w, Real h, Real di, Real start, Real end);
// Inclination a in radians.
void DrawInclinedWirePiece(Real cx, Real cy, Real L, Real d, Real a);
void DrawInclinedWireSection(Real cx, Real cy, Real L, Real d, Real a);
// Bottom centre (X, Y), height B, width A; v > 0 adds the limit dimension.
void DrawBoreSectionFigure(Real X, Real Y, Real B, Real A, Real v);
void DrawPinFigure(Real X, Real Y, Real B, Real A, Real v);

void SetMarkSize(Real s);
void DrawCircleMark();
void DrawCrossMark();
void DrawHorizontalLines(int n, Real x, Real y, Real length, Real step);
// The text centred on the dimension line; with a width above 0 fitted to
// it (narrowed, its small numbers shorter, lower) where it is wider.
void DimensionHorizontal(std::string_view text, Real x1, Real x2, Real y, Real width = 0);
void DimensionHorizontalOutside(std::string_view text, Real x1, Real x2, Real y);
void DimensionVertical(std::string_view text, Real x, Real y1, Real y2);
void DimensionVerticalOutside(std::string_view text, Real x, Real y1, Real y2);

}  // namespace zeb
