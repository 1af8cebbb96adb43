// Plane geometry for the drawing code: line and segment intersections, arc
// centres, rotation about a centre and clipping to a rectangle. Angles in
// radians, counter-clockwise positive.
#pragma once
#include "base/types.h"

namespace zeb {

// a d - b c
Real Det2(Real a, Real b, Real c, Real d);
// Solves a11 x + a12 y = b1, a21 x + a22 y = b2 by Cramer's rule. False with
// x = y = 0 when the determinant is 0 (or the solution is not finite).
bool SolveLinear2x2(Real& x, Real& y, Real a11, Real a12, Real b1, Real a21, Real a22, Real b2);
// Crossing of the line through points 1, 2 with the line through 3, 4;
// parallel lines give point 1.
void LineLineIntersection(Real& x, Real& y, Real x1, Real y1, Real x2, Real y2, Real x3, Real y3,
                          Real x4, Real y4);
// a <= v <= b or b <= v <= a; a range shrunk to a point (within 1e-12)
// accepts values within 1e-12 of it.
bool IsBetween(Real v, Real a, Real b);
// The crossing of the lines (returned in any case); true when it lies on
// both segments.
bool SegmentIntersection(Real& x, Real& y, Real x1, Real y1, Real x2, Real y2, Real x3, Real y3,
                         Real x4, Real y4);
// (px, py) rotated about (cx, cy) by angle.
void PolarOffsetPoint(Real& x, Real& y, Real px, Real py, Real cx, Real cy, Real angle);
// Centre, radius and angles of the arc from point 1 to point 2 with the
// included angle dphi (counter-clockwise positive). The arc runs
// counter-clockwise from startAngle to endAngle: for dphi < 0 start belongs
// to point 2. Degenerate input posts a message; for |sin(dphi/2)| < 1e-12
// nothing is set.
void GetArcCenter(Real& xc, Real& yc, Real& startAngle, Real x1, Real y1, Real x2, Real y2, Real dphi,
                  Real& endAngle, Real& radius);
// As GetArcCenter, but startAngle always belongs to point 1, endAngle to point 2.
void GetArcCenterKeepOrder(Real& xc, Real& yc, Real& startAngle, Real x1, Real y1, Real x2, Real y2,
                           Real dphi, Real& endAngle, Real& radius);
bool PointInRect(Real x, Real y, Real xmin, Real ymin, Real xmax, Real ymax);
// First crossing of the segment with the sides bottom, right, top, left;
// false (x, y unchanged) when there is none.
bool SegmentRectIntersection(Real& x, Real& y, Real x1, Real y1, Real x2, Real y2, Real xmin, Real ymin,
                             Real xmax, Real ymax);
// Both ends inside: unchanged, true. One end inside: the other moves to the
// crossing with the border, true. Both outside: all four 0, false.
bool ClipSegmentToRect(Real& x1, Real& y1, Real& x2, Real& y2, Real xmin, Real ymin, Real xmax,
                       Real ymax);
// The part [t0, t1] of the segment (x1, y1) + t (x2 - x1, y2 - y1), t in
// 0..1, inside the rectangle, borders included (Liang-Barsky); false when
// the segment misses it.
bool SegmentPartInRect(Real x1, Real y1, Real x2, Real y2, Real xmin, Real ymin, Real xmax, Real ymax, Real& t0,
                       Real& t1);

}  // namespace zeb
