// The diagram menu and the engineering diagrams: the entries the drawings
// of this library call and register.
#pragma once
#include "base/types.h"
#include "graphics/diagram.h"

namespace zeb {

// The diagram-menu entry index (1..22) with its sub-menu, for CAD code.
void SelectDiagram(int index, int cadCode);
// One output run of the diagram of the given code.
void ShowDiagram(int diagramCode, int cadCode);
// The diagram menu until the user goes back.
void ShowDiagramMenu();
// The travel and force the characteristic's axes reach: from 0 to block
// length and force, and further where a working point (with its
// tolerance) lies past them, below 0 as well.
DiagramRange CharacteristicRange();
// The characteristic line of the current spring into the open plot frame
// (0 F-s with tolerance marks, 1 with tolerance bands, 2 F-L, 3 F'-s').
void DrawCharacteristicLine(int mode);
// The fatigue diagrams into the open output, and their own output runs.
void GoodmanDiagram();
void HaighDiagram();
void GoodmanOutput(int cadCode);
void HaighOutput(int cadCode);
// Registers the diagram entries with the drawing registry.
void RegisterDiagramDrawings();

}  // namespace zeb
