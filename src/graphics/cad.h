// CAD output layer: one procedural drawing interface over five outputs.
//
//   code 1 DXF file, 2 IGES file, 3 screen (the screen sink, sink.h),
//   4 DXF "gravelo.dxf" in the temporary folder handed to the plot program,
//   5 TXT entity listing; 0 asks (CAD-Code menu).
//
// Sheet millimetres, angles in degrees unless said otherwise. Drawing texts
// are code page 850. One run:
//   CadBeginOutput(code); if (!G().AbortFlag) { CadDrawingHeader(...);
//   CadTables(2); [CadBeginBlocks(); CadBeginBlock(n) ... CadEndBlock();
//   CadEndSection();] CadBeginEntities(); primitives; CadEndSection(); }
//   CadEndOutput();
// Files are written under a temporary name and renamed over the target by
// CadEndOutput; a write error removes the file, shows an error box and sets
// AbortFlag.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/types.h"

namespace zeb {

struct CadPoint3 {
  Real x = 0, y = 0, z = 0;
};

// Offset, angle (degrees) and scales of the block being expanded.
struct CadTransform {
  Real dx = 0, dy = 0, angle = 0, sx = 1, sy = 1;
};

// Drawing state of the layer (one instance; ResetCadState restores the
// start values). Configured values are in CadSettings() (cadsettings.h).
struct CadState {
  std::int16_t CadCode = 3;
  std::int16_t RequestedCadCode = 0;
  std::string CadFileName = std::string(59, ' ');
  Byte CadBlockRecording = 0;
  std::int32_t CadLayerMode = 0;
  std::string CadDxfLayerName = "0";
  std::int32_t CadLayer = 0;  // current layer number after folding
  CadPoint3 CadCurrentPoint;
  Real CadScale = 1.0L;
  Real CadTextHeight = 5.0L;
  Real CadTextWidthFactor = 1.0L;
  Real CadTextAngle = 0;
  Real CadTextOblique = 0;
  // Font and character width as CadTextStyle was last given them (the font
  // is the screen's; 0 width: the configured factor's default).
  std::int32_t CadTextFont = 2;
  Real CadTextWidth = 5.0L;
  std::array<std::int32_t, 2> CadTextAlign{0, 0};  // horizontal, vertical
  Real CadLineSpacing = 1.0L;
  // Width (0: none) of the field CadTextLine fits its texts to.
  Real CadTextLineField = 0;
  std::int32_t CadPolyVertexNo = 1;
  Real CadPolyBulge = 0;
  std::int16_t CadPlotLineIndex = 1;
  // xmin, xmax, ymin, ymax, width, height.
  std::array<Real, 6> CadExtents{0, 160, 0, 120, 160, 120};
  CadTransform CadInsertTransform;
  std::int32_t CadBlockLevel = 0;
  // Above 0 while CadMarks live: the primitives drawn are marks.
  std::int32_t CadMarkLevel = 0;
};

CadState& Cad();
// Count the writes of the fields the outputs read when they draw: the
// layer (its number, name and mode, the mark level) and the style (text
// style, extents). Whoever writes one calls CadLayerWritten or
// CadStyleWritten, so held calls compare them only after a write.
inline std::uint64_t& CadLayerRevision() {
  static std::uint64_t revision = 0;
  return revision;
}
inline std::uint64_t& CadStyleRevision() {
  static std::uint64_t revision = 0;
  return revision;
}
inline void CadLayerWritten() { ++CadLayerRevision(); }
inline void CadStyleWritten() { ++CadStyleRevision(); }
// Start values of the state; ends an open run without writing its file.
void ResetCadState();

// Output run.
void CadBeginOutput(int code);
void CadEndOutput();
bool CadOutputPassDone();
void CadChooseCode();
void SetCadCode(int code);

// Settings.
void CadSetScale(Real s);
void CadSetLayerMode(std::int32_t m);
void CadSetTextAlign(std::int32_t h, std::int32_t v);
void CadSetLineSpacing(Real f);
void CadScreenLineStyle(int style);
void CadSetLayer(int n);
void CadTextStyle(int font, Real angle, Real height, Real width);
void CadTextStyleFit(int font, std::string_view text, int n, Real angle, Real height, Real width);

// Primitives.
void CadLine(Real x1, Real y1, Real x2, Real y2);
void CadCircle(Real x, Real y, Real r);
void CadArc(Real x, Real y, Real startAngle, Real endAngle, Real r);
void CadText(std::string_view text, Real x, Real y);
// Where the ink of the text lies along its baseline in the current text
// style, from its anchor (drawing units): as a proportional face draws it,
// blanks narrow, trailing ones adding nothing; both 0 for blanks only.
void CadTextInk(std::string_view text, Real& from, Real& to);
void CadSolid(Real x1, Real y1, Real x2, Real y2, Real x3, Real y3, Real x4, Real y4);
void CadInsertBlock(std::string_view name, Real x, Real y, Real angle, Real sx, Real sy);

// The primitives of a run are held back and drawn when it ends, every line
// broken where it would cross a text of the sheet (knockout.cpp). CadFlush
// draws what is held now (the screen shows it at once); later lines are not
// broken for the texts before it.
void CadFlush();

// While one lives, the primitives drawn mark a point, a choice or an end
// form (a circle, a cross, an arrow head): no text breaks them.
class CadMarks {
 public:
  CadMarks() {
    ++Cad().CadMarkLevel;
    CadLayerWritten();
  }
  ~CadMarks() {
    Cad().CadMarkLevel = Cad().CadMarkLevel > 0 ? Cad().CadMarkLevel - 1 : 0;
    CadLayerWritten();
  }
  CadMarks(const CadMarks&) = delete;
  CadMarks& operator=(const CadMarks&) = delete;
};

// Composite primitives.
void CadMoveTo(Real x, Real y);
void CadLineTo(Real x, Real y);
void CadRectangle(Real x1, Real y1, Real x2, Real y2);
void CadHorizontalLine(Real x, Real y, Real length);
void CadVerticalLine(Real x, Real y, Real length);
void CadEllipse(Real xc, Real yc, Real a, Real b);
void CadArrowHead(Real x, Real y, Real direction, Real halfAngle, Real length1, Real length2);
void CadArrowStd(Real x, Real y, Real direction);
void CadBeginPolyline(Byte flags);
// includedAngle: radians, of the arc from this vertex to the next one.
void CadPolylineVertex(Real x, Real y, Real includedAngle);
void CadEndPolyline();

// Text lines at the text cursor (CadCurrentPoint).
void CadTextLine(std::string_view text);
// A text in the current style fitted to a field width (sheet units):
// narrower, down to 70 % of its width (to the readable width factor), its
// numbers written shorter as far as their truth allows (as CadFitNumberText),
// and cut with "..." before a number where that is not enough (CadTextFit
// lowers it first, down to 1 high). The style found is set back
// afterwards, font and all.
// CadFitText gives the text and the width share it is written with.
std::string CadFitText(std::string_view text, Real width, Real& factor);
void CadTextFit(std::string_view text, Real x, Real y, Real width);
// A text for a field of `cells` character cells of the current style, as
// it is where it fits; else the number it ends in written shorter as far
// as its truth allows: fewer decimals while three significant digits stay
// (all it shows where it shows fewer), a number below 1 with an exponent
// ("4.9E-5"), every integer digit kept ("76182" stays so); the text before
// it kept with one blank before the number. The text may still be wider
// than the field: the caller writes it narrower. A text that ends in no
// number comes back as it is.
std::string CadFitNumberText(std::string_view text, Real cells);
void CadTextLineFit(std::string_view text, Real width);
// CadTextLine and the value lines (CadLengthLine ...) fit their texts to
// this width from here on (narrowed, down to the readable width factor,
// else on two lines); 0 ends it.
void CadSetTextLineField(Real width);
// Whether a block is noting the lines: then the text line (at most
// `lines` lines in the field) is noted and true returned.
bool CadNoteTextLine(std::string_view text, Real field, int lines);
// A block of text lines that ends above a height: while one lives,
// CadTextLine, the value lines and CadTextLineWhole note their texts (with
// the layer, style and field of the moment) instead of drawing them; when
// it ends they are drawn from the text cursor where the block began, down,
// closer together where needed for the last to stand at `bottom` or above
// (never closer than 1.2 text heights), and the cursor stands below them.
class CadTextLinesAbove {
 public:
  explicit CadTextLinesAbove(Real bottom);
  ~CadTextLinesAbove();
  CadTextLinesAbove(const CadTextLinesAbove&) = delete;
  CadTextLinesAbove& operator=(const CadTextLinesAbove&) = delete;

  struct Line {
    std::string text;
    Real field;
    int lines, layer, font;
    Real angle, height, width, spacing;
  };

 private:
  friend bool CadNoteTextLine(std::string_view text, Real field, int lines);
  Real bottom_;
  std::vector<Line> lines_;
  CadTextLinesAbove* outer_;
};


// A text the user typed, kept whole in its field: on one line as it is or
// narrower down to 70 % of its width; else broken at blanks onto the lines
// the field has (a word longer than a line broken where the line ends),
// each narrower where needed but never below the readable width factor
// kCadNarrowestWidthFactor. Only a text that even so does not fit (one
// beyond its input limit) is cut, its last line ending in "...".
inline constexpr Real kCadNarrowestWidthFactor = 0.5L;
struct CadTextLayout {
  std::vector<std::string> lines;  // broken ones without blanks at their ends
  Real factor = 1;                 // share of the style's width they take
  bool cut = false;
};
// The layout in the current style for a field width wide with at most
// `lines` lines (at least 1).
CadTextLayout CadLayoutText(std::string_view text, Real width, int lines);
// Its lines at (x, y), (x, y - pitch) ...; the style found is set back.
void CadDrawLayout(const CadTextLayout& layout, Real x, Real y, Real pitch);
// Both at once; the number of lines drawn.
int CadTextWhole(std::string_view text, Real x, Real y, Real width, int lines = 1, Real pitch = 0);
// At the text cursor, a text line (CadTextLine) for each line.
void CadTextLineWhole(std::string_view text, Real width, int lines = 1);
void CadLengthLine(std::string_view name, Real valueMm);
void CadForceLine(std::string_view name, Real forceN);
void CadForceToleranceLine(std::string_view name, Real forceN, Real tolA, Real tolB);
void CadStressLine(std::string_view name, Real stress);
// The same for a strength or permissible stress: "-" when it is not known.
void CadKnownStressLine(std::string_view name, Real stress);

// Drawing header, tables, blocks and the entities section (blocks.cpp).
void CadDrawingHeader(Real xmin, Real ymin, Real xmax, Real ymax);
void CadTables(int mode);
void CadBeginBlocks();
void CadBeginBlock(std::string_view name);
void CadEndBlock();
void CadEndSection();
void CadBeginEntities();
// Draws block file "$<name>.dx$" of the temporary folder through the
// primitives, transformed (screen insertion).
void CadExpandBlockFile(std::string_view name, Real x, Real y, Real angle, Real sx, Real sy);

// Move and line of the 3-D view for the DXF and TXT outputs (the current
// point holds z).
void DxfMoveTo3D(Real x, Real y, Real z);
void DxfLineTo3D(Real x, Real y, Real z);
void TxtMoveTo3D(Real x, Real y, Real z);
void TxtLineTo3D(Real x, Real y, Real z);

// Layer name rule of DXF and TXT: sets CadDxfLayerName for layer n.
void DxfSetLayerName(int n);
void TxtSetLayerName(int n);

// Number texts of the writers. DxfReal: DxfDecimals decimals, ".", never
// "-0". TxtNumber: 3 significant digits, at most 4 decimals, the configured
// decimal character.
std::string DxfReal(Real x);
std::string TxtNumber(Real x);

// Folder of the block and logo files: the run's scratch folder
// (ScratchFolder); empty when there is none.
std::string CadTempFolder();
// Deletes every "$*.dx$" file in the temporary folder.
void DeleteTempDrawingFiles();

// Plot program (plot.cpp). GraveloCommandLine: the parameter dialogue that
// builds a command line (or a batch file). CadStartPlotProgram: starts a
// command line detached, showing the start failure in an error box.
void GraveloCommandLine(std::string& line);
void CadStartPlotProgram(std::string_view line);
// The plot file of a command line: where its word naming the file ("gravelo"
// or "gravelo.dxf" as the last part, in any case) says, when that folder is
// there and is no run's own folder; else the temporary folder (the
// configured one, else $TMPDIR or /tmp). In a folder only the user can write
// the file is "gravelo.dxf" itself; in one others can write (and for a line
// without such a word) it gets a new name, made here with O_EXCL as the
// PDFs are. The file outlives the run: the program may read it late.
struct PlotFile {
  std::string path;     // UTF-8
  bool created = false; // made here, empty: removed again when the run fails
};
// "" path after an error box.
PlotFile CadMakePlotFile(std::string_view line);
// Starts the line with path in place of its word naming the plot file
// ("gravelo" stands for "gravelo.dxf"), or with path as one more argument
// when it names none (a batch file keeps its own line).
void CadStartPlotProgram(std::string_view line, const std::string& path);
// The folder the plot dialogues put into a command line: the configured
// temporary folder, else $TMPDIR or /tmp; never a run's own folder.
std::string PlotFolderForCommandLines();
// Where the plot program's command lines are set.
inline constexpr const char* kPlotProgramSetting = "Datei > Einstellungen > Extern > GRAVELO Command Lines";

}  // namespace zeb
