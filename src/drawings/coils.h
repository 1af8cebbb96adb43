// Side views of the spring coil by coil (projection and section) with their
// centre line, drawn into the open output run at the drawing length
// SpringData().L. The spring axis is the y axis, the end planes y = 0 and
// y = L; left-hand winding mirrors every piece about the axis.
#pragma once
#include "base/types.h"

namespace zeb {

void DrawSpringProjection();
void DrawSpringSection(bool simple);
void DrawSpringAxis(Real x0, Real y0, Real angle);

// A coil count as the printouts and data blocks show it (three significant
// digits): a stored 9.49999998 is drawn as the 9.5 printed.
Real ShownCoils(Real x);

// Pitch of the active coils at length L for wire size w2 (d in the
// projection, h in the section).
Real CoilPitch(Real L, Real w2, bool section);
// Whether the side views can be drawn: a finite positive pitch, Dm and L
// above 0 and at most 10,000 coils to draw.
bool SideViewDrawable(bool section);

// The intersection of the line through (x1, y1), (x2, y2) with the line
// through (x3, y3), (x4, y4); parallel lines give x = 0, two vertical ones
// (x1, y1).
void IntersectLines(Real& x, Real& y, Real x1, Real y1, Real x2, Real y2, Real x3, Real y3, Real x4, Real y4);

}  // namespace zeb
