// X-y diagram toolkit on the CAD output layer: plot rectangle, world to
// sheet transforms, the axes frame with ticks, labels and grid (linear or
// logarithmic axes), clipped curves, texts, marker symbols, the axis-limits
// dialog interface, the framed text table and the annotation blocks.
//
// World coordinates on a logarithmic axis are decimal logarithms: the map
// operations are linear, the operations marked "log" take plain values.
// Step loops (ticks, grid, markers) start only with a finite positive step
// that moves the value and at most 100,000 passes; else they draw nothing.
#pragma once
#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/types.h"

namespace zeb {

struct DiagramStateRecord {
  Real PlotWidth = 160;
  Real PlotHeight = 120;
  Real XMax = 160;
  Real YMax = 120;
  Real XMin = 0;
  Real YMin = 100;
  Real XSpan = 1;
  Real YSpan = 1;
  Real PlotOriginX = 0;
  Real PlotOriginY = 0;
  Real LastX = 0;
  Real LastY = 0;
  Real XTickStep = 0;
  // 0, 1 lin-lin; 2 lin x, log y; 3 log-log; 4 log x, lin y.
  std::uint16_t DiagramAxisMode = 0;
  // Log range of a logarithmic x axis as divided by the frame.
  Real LogXLo = 0;
  Real LogXHi = 0;
};

DiagramStateRecord& DiagramState();

// Limits handed back by the axis-limits dialog (plain values).
struct DiagramLimitsRecord {
  Real xmin = 0, ymin = 0, xmax = 1, ymax = 1;
};
DiagramLimitsRecord& DiagramLimits();

// Start values of the diagram state, the limits, the text data and the
// dialog (for tests; DiagramReset resets the state only).
void ResetDiagramGlobals();

bool DiagramXIsLog();
bool DiagramYIsLog();

// World limits of a diagram that grow to hold the values it marks.
struct DiagramRange {
  Real xmin = 0, xmax = 0, ymin = 0, ymax = 0;
  // Widens the range to hold the value; one that is not finite is left out.
  void IncludeX(Real x);
  void IncludeY(Real y);
  void Include(Real x, Real y) {
    IncludeX(x);
    IncludeY(y);
  }
};

// Plot area and transforms. A zero span (or plot size for unmap) counts as 1.
void DiagramReset();
void DiagramSetPlotSize(Real width, Real height);
void DiagramSetPlotOrigin(Real x0, Real y0);
void DiagramSetRange(Real xmin, Real ymin, Real xmax, Real ymax);
// A factor 0 (or not finite) leaves its axis unchanged.
void DiagramScaleRange(Real fx, Real fy);
Real DiagramMapX(Real x);
Real DiagramMapY(Real y);
Real DiagramScaleX(Real length);
Real DiagramScaleY(Real length);
Real DiagramUnmapX(Real px);
Real DiagramUnmapY(Real py);

// Division of a logarithmic axis; a and b are the log10 of the limits.
void NiceLogAxisScale(Real& lo, Real& hi, Real& step, Real a, Real b, int n);
// Position of a tick value of a logarithmic axis (decade.digit notation).
Real DiagramLogTickPosition(Real v);

// Frame with title, axes, ticks, labels and grid (texts code page 850).
// Limits not finite: AbortFlag is set and nothing is drawn.
void DiagramFrame(std::string_view xTitle, std::string_view yTitle, std::string_view title, Real xmin, Real ymin,
                  Real xmax, Real ymax, std::uint16_t titleMode);
// The style of a text of a plot's frame, scaled with the plot; never lower
// than the least height (1 mm, or what is 1 mm on the sheet where the plot
// is inserted scaled), its width factor kept.
void DiagramTextStyleScaled(int font, Real angle, Real height, Real width);
// The least height of DiagramTextStyleScaled; set back to 1 when it goes.
class DiagramLeastTextHeight {
 public:
  explicit DiagramLeastTextHeight(Real height);
  ~DiagramLeastTextHeight();
  DiagramLeastTextHeight(const DiagramLeastTextHeight&) = delete;
  DiagramLeastTextHeight& operator=(const DiagramLeastTextHeight&) = delete;
};
void DiagramLabel(std::string_view text, Real x, Real y);
// Filled triangle, tip at (x, y) in sheet units: 0, 1 right, 2 up, 3 left,
// 4 down.
void DiagramArrowHead(int direction, Real x, Real y, Real length);

// Curves, texts and symbols in world coordinates.
void DiagramMoveTo(Real x, Real y);
void DiagramLineTo(Real x, Real y);  // log, clipped
void DiagramLineToUnclipped(Real x, Real y);
void DiagramClipLine(Real x1, Real y1, Real x2, Real y2);  // log, clipped
void DiagramLine(Real x1, Real y1, Real x2, Real y2);
void DiagramRectangle(Real x1, Real y1, Real x2, Real y2);  // log
// A point's circle, of radius r in y (or x) units, on the sheet at least
// kLeastMarkRadius (a plot grown to an extreme spring keeps its points).
void DiagramCircleY(Real x, Real y, Real r);                // log
void DiagramCircleX(Real x, Real y, Real r);                // log
inline constexpr Real kLeastMarkRadius = 0.3L;
// The radius a mark of sheet radius r is drawn with.
Real DiagramMarkRadius(Real r);
void DiagramText(std::string_view text, Real x, Real y);    // log
// A label of the current plot: like DiagramText, moved when it would cover
// a label placed before or cross a line of the plot (axes, arrows, ticks,
// the border, curves, marks; not the inner grid lines), both as drawn
// since the frame: up or down by whole steps of 1.2 text heights first,
// then sideways by whole characters as well, the nearest free place; a
// label that starts in the plot stays in it, and none leaves the sheet
// (where no place is free, it is moved onto it). ...At: in sheet units.
void DiagramPlaceLabel(std::string_view text, Real x, Real y);  // log
void DiagramPlaceLabelAt(std::string_view text, Real sx, Real sy);
// The label of a point (x, y) with a mark of markRadius about it (sheet
// units): preferred at dx, dy (sheet units) from the point, else at the
// free place nearest to the point, in the plot when the point is in it and
// never off the sheet; placed further than about one text height from the
// point it gets a leader from the mark, which crosses no other label,
// leader or point mark. ...At: the point and the preferred lower left
// corner in sheet units (leading blanks of the text move it).
void DiagramPlacePointLabel(std::string_view text, Real x, Real y, Real markRadius, Real dx, Real dy);  // log
void DiagramPlacePointLabelAt(std::string_view text, Real px, Real py, Real markRadius, Real sx, Real sy);
// The label of a line through the points (world): at (x, y) when it sits
// on the line there, else at the free place on the line (just above or
// below it) nearest to (x, y); where there is none, at the free place
// nearest to the line with a leader to it. Always in the plot.
void DiagramPlaceLineLabel(std::string_view text, const std::vector<std::array<Real, 2>>& line, Real x,
                           Real y);  // log
// The label of a region of the plot (its corners, world): at (x, y) or at
// the free place nearest to it where the label lies wholly in the region;
// where the region holds it nowhere, at the free place nearest to the
// point of the region farthest from its edges, with a leader from there.
void DiagramPlaceRegionLabel(std::string_view text, const std::vector<std::array<Real, 2>>& region, Real x,
                             Real y);  // log
// Notes the box of a text drawn at (sx, sy) in the current style (turned
// as well) among the plot's lines: later labels keep clear of it.
void DiagramNoteText(std::string_view text, Real sx, Real sy);
// Whether a text at (sx, sy) in the current style (turned as well) would
// cover no label placed and cross no line of the plot (as noted since the
// frame).
bool DiagramTextFree(std::string_view text, Real sx, Real sy);
// The same for a block of w x h sheet units with its lower left corner
// at (sx, sy), moved by whole steps: (sx, sy) become the place taken.
// False where no place was free (the box stays at (sx, sy), on the sheet).
bool DiagramPlaceBox(Real w, Real h, Real step, Real& sx, Real& sy);
// Text lines as CadTextLine writes them from (sx, sy) on (sheet units),
// placed as one block as DiagramPlaceBox places it.
void DiagramPlaceTextLines(const std::vector<std::string>& lines, Real sx, Real sy);
// A text from (x, y) on, broken at blanks into lines that end inside the
// plot, 1.4 text heights apart, the last one at (x, y); the block placed
// as DiagramPlaceBox places it.
void DiagramPlaceWrappedText(std::string_view text, Real x, Real y);  // log
void DiagramTextStyle(int font, Real angle, Real height, Real width);
// The style of DiagramTextStyle as a plot of the range xmin..xmax,
// ymin..ymax has it, whatever range the plot grew to: labels of a plot
// scaled for an extreme spring keep the size they have on an ordinary one.
void DiagramTextStyleAt(int font, Real angle, Real height, Real width, Real xmin, Real ymin, Real xmax, Real ymax);
// 1 circle, 2 square, 3 diamond, 4 triangle; nothing on logarithmic axes.
void DiagramSymbol(int n, Real x, Real y);
void DiagramDiamond(Real x, Real y, Real hx, Real hy);
void DiagramTriangle(Real x, Real y, Real hx, Real hy);
void DiagramLegendLine(std::string_view text, int n);
void DiagramLineWithMarkers(int n, Real x1, Real y1, Real x2, Real y2);
// The L-shaped marker: its legs (dashed), then its label clear of them.
// A diagram with several markers draws all legs first, then the labels, so
// that no label lies under a later leg.
void DiagramVerticalMarker(std::string_view text, Real x, Real y);
void DiagramVerticalMarkerLegs(Real x, Real y);
void DiagramVerticalMarkerLabel(std::string_view text, Real x, Real y);

// Axis-limits dialog (TEinDiagramLimits). The frame fills a request and
// runs the dialog; OK stores DiagramLimits() and leaves AbortFlag, Cancel
// sets AbortFlag, closing the window does neither.
struct DiagramLimitsRequest {
  std::array<Real, 4> computed{};  // xmin, ymin, xmax, ymax; log10 on a log axis
  std::string xTitle, yTitle, caption;  // Windows-1252
  std::uint16_t axisMode = 0;
};

class DiagramLimitsDialog {
 public:
  virtual ~DiagramLimitsDialog() = default;
  virtual void Run(const DiagramLimitsRequest& request) = 0;
};

// The form's logic for a dialog implementation. Edit texts in the order
// xmin, ymin, xmax, ymax.
// Texts shown when the form opens: DiagramLimits() by FloatToStrSig.
std::array<std::string, 4> DiagramLimitsInitialTexts();
// "Calculate": the computed limits, 10^ of them on a logarithmic axis.
std::array<std::string, 4> DiagramLimitsCalculatedTexts(const DiagramLimitsRequest& request);
// "OK": false (the box "Error: x = 0 !" or "Error: y = 0 !" shown, the form
// stays open) when a logarithmic axis gets a limit not above 0; else the
// values are stored in DiagramLimits().
bool DiagramLimitsAccept(const std::array<std::string, 4>& edits, std::uint16_t axisMode);

// Scripted dialog for tests and batch runs. Each Run takes the next answers
// until one closes the form; with no answer left it cancels.
class ScriptedDiagramLimitsDialog : public DiagramLimitsDialog {
 public:
  // OK with these edit texts (xmin, ymin, xmax, ymax); a refused OK keeps
  // the form open for the next answer.
  void Ok(std::array<std::string, 4> edits);
  // "Calculate", then OK.
  void CalculateOk();
  void Cancel();
  void CloseWindow();
  void Run(const DiagramLimitsRequest& request) override;
  const std::vector<DiagramLimitsRequest>& Shown() const { return shown_; }
  // Edit texts of the last form when it closed.
  const std::array<std::string, 4>& LastEdits() const { return lastEdits_; }
  std::size_t Unused() const { return answers_.size(); }

 private:
  struct Answer {
    enum Kind { OkTexts, CalcOk, CancelForm, Close } kind = CancelForm;
    std::array<std::string, 4> edits;
  };
  std::deque<Answer> answers_;
  std::vector<DiagramLimitsRequest> shown_;
  std::array<std::string, 4> lastEdits_;
};

DiagramLimitsDialog& DiagramLimitsForm();
// nullptr puts back a fresh ScriptedDiagramLimitsDialog.
void SetDiagramLimitsDialog(std::shared_ptr<DiagramLimitsDialog> dialog);

// Framed text table: a header row, then one row per call, moving down.
// Widths in characters of 0.9 h; the columns are the leading non-zero
// widths. Texts code page 850, cut to 80 characters, each kept in its cell
// (CadFitNumberText, then narrowed and lowered, CadTextFit). Each row's box is taken as a placed
// label of the plot (DiagramPlaceLabel keeps clear).
class DiagramTextTable {
 public:
  // Rows rowHeight high (0: twice the character height h), the text
  // centred in each.
  DiagramTextTable(Real x, Real y, Real h, const std::array<Real, 7>& widths,
                   const std::array<std::string_view, 7>& headers, Real rowHeight = 0);
  void AddRow(const std::array<std::string_view, 7>& cells);
  void AddRow4(std::string_view c1, std::string_view c2, std::string_view c3, std::string_view c4);
  // A row whose column `last` runs to the table's right edge: no column
  // line right of it in this row (its text may be wider than the column).
  void AddRowJoined(const std::array<std::string_view, 7>& cells, int last);
  // The text in column 1 and "X" in column n + 1 for n = 1..4.
  void AddMarkRow(std::string_view text, int n);

  int BoundaryCount() const { return boundaryCount_; }
  Real ColumnX(int k) const { return columnX_[static_cast<std::size_t>(k)]; }  // 1..8
  Real RowBottom() const { return rowBottom_; }
  Real TextBaseline() const { return textBaseline_; }

 private:
  void SetCells(const std::array<std::string_view, 7>& cells);
  // The row's texts; from column `last` on a text may reach the row's end.
  void DrawRowTexts(int last);

  std::array<Real, 9> columnX_{};  // 1..8 used
  Real topY_ = 0;
  Real rowBottom_ = 0;
  Real textBaseline_ = 0;
  std::array<std::string, 8> cells_;  // 1..7 used
  Real h_ = 0;
  Real rowHeight_ = 0;
  int boundaryCount_ = 0;
  int rowCounter_ = 0;
  int firstColumn_ = 1;
  Byte rowLines_ = 1;
  Byte columnLines_ = 1;
};

// Data of the annotation blocks, filled by the spring model (texts code
// page 850). The title lines are G().TitleBlockLines[1..3].
struct DiagramTextData {
  std::string DrawingName, DrawingNo, DrawingName2;
  std::uint16_t CrossSection = 1;  // 1..7
  Real d = 0, h = 0, di = 0, r = 0, TolWire = 0;
  std::uint16_t MaterialSel = 0;   // 0: the material record's names
  std::string MaterialName;
  std::string MaterialRecordName1, MaterialRecordName3;  // fields 1 and 3
  char ShotPeened = 'J';
  Real Rm = 0, E = 0, G = 0, T = 20, GT = 0, rho = 0;
};
DiagramTextData& DiagramData();

// DrawingName + "  " + DrawingNo + "  " + DrawingName2.
std::string DiagramTitleLine();
// The title block top right of the sheet, its lines from x
// kDiagramTitleBlockX on, the first at y 117.5.
inline constexpr Real kDiagramTitleBlockX = 80;
void DiagramTitleBlock();
void DiagramTitleTable(Real x, Real y, Real h);
void DiagramHeaderLine();
// The wire lines of a data block: the section's name where it is not
// round, then its sizes.
std::vector<std::string> DiagramWireSectionLines(bool withTolerance);
void DiagramWireSectionText(bool withTolerance);
void DiagramMaterialText();

}  // namespace zeb
