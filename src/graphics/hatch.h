// Hatching: one global contour list, the routines that fill it, the
// polygon hatcher (even-odd pairing of the crossings of each hatch line)
// and the ready-made hatched shapes. Everything is drawn through the CAD
// output layer as lines, arcs, circles and polylines.
//
// Outline mode: 0 outline and hatch lines on the current layer; 1 outline on
// layer 5, hatch lines on layer 3; 2 no outline, hatch lines on layer 3.
// Failures go to the message list ("Schraffurfehler", "Fatal  : ...").
// A hatch line loop starts only with a finite positive intercept step that
// moves the line and at most 100,000 lines; else "Schraffurfehler".
#pragma once
#include <array>
#include <cstdint>

#include "base/types.h"

namespace zeb {

struct HatchPoint {
  Real x = 0, y = 0;
};

struct HatchStateRecord {
  // Records 1..100 hold the contour; 101 closes a contour of 100 points.
  std::array<HatchPoint, 102> HatchPoints{};
  // Points appended; keeps rising past 100 after an overflow.
  std::uint16_t HatchPointCount = 0;
  Real HatchPendingArc = 0;  // radians, of the next segment
  std::uint16_t HatchOutlineMode = 0;
};

HatchStateRecord& HatchState();
// Start values (tests).
void ResetHatchGlobals();

// Contour list.
void ResetHatchContour();
void BeginHatchContour(Byte polylineFlags);
void AddHatchPoint(Real x, Real y);
// The point reached from the last one by a straight line or by the pending
// arc (chords of 10 degrees, at least 3); arcToNext becomes the pending arc.
void AddHatchSegment(Real x, Real y, Real arcToNext);
void AddHatchArcPoint(Real cx, Real cy, Real r, Real angle);
void AddHatchArcPoints(int n, Real cx, Real cy, Real r, Real a1, Real a2);
void EndHatchContour(int n, Real spacing, Real angle);
// HatchPolygon on the first n points; n = 0 takes HatchPointCount.
void HatchContour(int n, Real spacing, Real angle);
// Outline and hatch lines of points 1..n (n < 3: nothing). spacing 0:
// a tenth of the intercept range; angle in degrees, 0 draws no hatch.
void HatchPolygon(int n, Real spacing, Real angle);
void SetHatchOutlineMode(std::uint16_t mode);
// Sorts d[1..n] ascending, p[1..10] := 1..10 carried along (n <= 10).
void QuickSort2(std::array<Real, 11>& d, std::array<int, 11>& p, int n);
// The direction of the same line within -90..+90 degrees.
Real AngleToLineRange(Real angle);

// Hatched shapes (degrees; spacing 0 automatic).
void HatchRectangle(Real x1, Real y1, Real x2, Real y2, Real spacing, Real angle);
// 0 upper, 90 left, 180 lower, 270 or -90 right half of cx +- a, cy +- b.
void HatchRectangleOriented(Real orientation, Real cx, Real cy, Real a, Real b, Real spacing, Real angle);
void HatchRoundedRectangle(Real x1, Real y1, Real x2, Real y2, Real r, Real spacing, Real angle);
void HatchOblong(Real x1, Real y1, Real x2, Real y2, Real spacing, Real angle);
void HatchEllipse(Real cx, Real cy, Real a, Real b, Real spacing);
void HatchEllipseSector(Real cx, Real cy, Real a, Real b, Real spacing, Real start, Real end, Real angle);
void HatchAnnulus(Real cx, Real cy, Real outerR, Real innerR, Real spacing);
void HatchRingSectorPoly(Real cx, Real cy, Real outerR, Real innerR, Real spacing, Real start, Real end,
                         Real angle);
// Sector counter-clockwise from start to end, hatched directly.
void HatchCircleSector(Real cx, Real cy, Real r, Real spacing, Real start, Real end, Real angle);
void HatchCircle(Real cx, Real cy, Real r, Real spacing);
void HatchedCurveProfile(Real x0, Real y0, Real d);

}  // namespace zeb
