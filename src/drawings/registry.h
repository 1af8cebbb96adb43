// The registry of drawings: each drawing entry (a diagram-menu entry, a
// diagram code, a spring view, ...) is registered with the function that
// draws it for a CAD output code.
#pragma once
#include <compare>
#include <functional>

namespace zeb {

// The drawing entries of the drawings and diagrams.
enum class DrawingEntry {
  SelectDiagram,        // diagram-menu entry (number 1..22)
  ShowDiagram,          // diagram code (number)
  SpringView,           // kind 1..4, no length question
  ProductionDrawing,
  ProductionDrawingEN,
  Spring3DView,         // kind 1 (centre line), no length question
  GoodmanDiagram,
  HaighDiagram,
};

struct DrawingRef {
  DrawingEntry entry = DrawingEntry::SelectDiagram;
  int number = 0;  // entry, code or kind; 0 where the entry has none
  friend bool operator==(const DrawingRef&, const DrawingRef&) = default;
  friend auto operator<=>(const DrawingRef&, const DrawingRef&) = default;
};

// Draws the entry for CAD output code cadCode (1 DXF, 2 IGES, 3 screen,
// 4 plot program, 5 TXT; 0 asks).
using DrawingFunction = std::function<void(int cadCode)>;

void RegisterDrawing(DrawingRef ref, DrawingFunction draw);
bool DrawingRegistered(DrawingRef ref);
// Runs a registered drawing for a CAD output code; false when there is none.
bool RunRegisteredDrawing(DrawingRef ref, int cadCode);
// Every registration removed (tests).
void ClearDrawingRegistry();

}  // namespace zeb
