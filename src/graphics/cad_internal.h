// Internals of the CAD output layer shared by its source files.
#pragma once
#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "base/types.h"
#include "graphics/cad_output.h"

namespace zeb {

namespace cad_detail {
// DXF writer of codes 1 and 4; with blockFile the entity records of a
// screen block file (texts unconverted) ended by 0 EOF.
std::unique_ptr<CadOutput> MakeDxfOutput(CadFile& file, bool blockFile);
std::unique_ptr<CadOutput> MakeTxtOutput(CadFile& file);
std::unique_ptr<CadOutput> MakeScreenOutput();
// DXF names of layers 0..5 as written: a configured name that is empty,
// holds a character DXF forbids or repeats an earlier name (ignoring case)
// becomes the layer number.
const std::array<std::string, 6>& ResolvedLayerNames();
// Fixed-point text with the given decimals (0..40), "." and never "-0".
std::string FixedText(Real x, int decimals);
void AppendFixed(std::string& out, Real x, int decimals);
// Full-circle rule of DXF and TXT arcs.
bool ArcIsFullCircle(Real startDeg, Real endDeg);
// Block names usable as file and DXF names.
bool BlockNameUsable(std::string_view name);
// Folds a layer number into 0..31.
int FoldLayer(long long n);
}  // namespace cad_detail

namespace cad_detail {
// The running output's file and output (nullptr outside a run).
CadOutput* MainOutput();
// Where primitives go now: the main output, the open screen block file, or
// nowhere (a refused block, a block file that could not be created).
CadOutput* Target();
// Screen block files: open one for recording (false when it cannot be
// created), and end it (kept: committed; else removed).
bool OpenScreenBlock(std::string_view name);
void EndScreenBlock(bool keep);
bool ScreenBlockOpen();
// A block begun in the running output's file and not yet ended.
void SetOutputBlockOpen(bool open);
bool OutputBlockOpen();
// While set, primitives are dropped (a refused block until CadEndBlock).
void SetBlockRefused(bool refused);
// Ends the run at once: the file is removed, nothing more is written.
void AbandonRun();
// The bad-input message, once a run.
void ReportDrop();
// Finite and within +-1e9.
bool Usable(Real v);
// An output that holds the primitives of a run back and draws them when it
// ends, every line, arc, circle and polyline broken where it runs through
// the box of a text of the sheet (knockout.cpp). An output that expands
// inserts into primitives (the screen) gets them at once and takes the
// steps of the run at once.
std::unique_ptr<CadOutput> HoldForTexts(std::unique_ptr<CadOutput> inner, bool expandsInserts = false);
// False: the runs begun from now on draw without breaking lines (benches
// time the rule against the plain drawing).
bool& BreakAtTexts();
// Draws what is held; HeldInner then gives the output it draws into.
void FlushHeld(CadOutput* held);
CadOutput* HeldInner(CadOutput* held);
}  // namespace cad_detail

}  // namespace zeb
