// Spring views, production drawings, the Quick 3 sheet and the 3D view of
// the current spring, each one output run (CAD code 0 asks, 1 DXF, 2 IGES,
// 3 screen, 4 plot program, 5 TXT).
#pragma once

namespace zeb {

// kind 1 projection, 2 section, 3 simple section, 4 top view; askLength
// asks the installed length first (not for the top view).
void DrawSpringView(int kind, int cadCode, bool askLength);
void DrawProductionDrawing(int cadCode);
void DrawProductionDrawingEN(int cadCode);
// The Quick 3 result sheet.
void DrawQuickSheet(int cadCode);
// kind 1: the wire centre line.
void DrawSpring3DView(int cadCode, int kind, bool askLength);
// The configured result graphic on the screen (help level above 0).
void RedrawCurrentDrawing();

// Registers every drawing entry (drawings and diagrams) with the drawing
// registry and installs these drawings as the program's DrawingServices.
void InstallDrawings();

}  // namespace zeb
