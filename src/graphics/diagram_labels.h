// The label engine of the diagrams: what the current plot has drawn that
// a label keeps clear of (its lines, the boxes of its labels, the marks of
// its points and the leaders to their labels), and the search for a free
// place for a label among them. Sheet units throughout.
#pragma once
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "base/types.h"

namespace zeb::diagram_detail {

// Forgets what the plot drew: a new plot starts.
void ClearPlotNotes();
// Lines noted while on are the inner grid: labels may cross them.
void NoteGridLines(bool on);
// A line of the plot that labels keep clear of.
void NoteLine(Real x1, Real y1, Real x2, Real y2);
// The four sides of the rectangle with corners (x1, y1) and (x2, y2).
void NoteRectangle(Real x1, Real y1, Real x2, Real y2);
// The mark of a point: its circle's octagon, and the mark a leader passes.
void NoteMark(Real x, Real y, Real r);
// A box that later labels keep clear of (a table row).
void NoteLabel(Real x0, Real y0, Real x1, Real y1);
// The plot rectangle on the sheet (x0, y0, x1, y1).
std::array<Real, 4> PlotBox();

// How far the ink of the widest of the lines reaches in the current style.
Real InkWidest(const std::vector<std::string>& lines);

// DiagramPlaceLineLabel with the line's points and the place asked for on
// the sheet.
void PlaceLineLabelAt(std::string_view text, const std::vector<std::array<Real, 2>>& points, Real x, Real y);

// DiagramPlaceRegionLabel with the region's corners and the place asked
// for on the sheet.
void PlaceRegionLabelAt(std::string_view text, const std::vector<std::array<Real, 2>>& region, Real x, Real y);

}  // namespace zeb::diagram_detail
