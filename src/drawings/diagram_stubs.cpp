// Placeholders of the diagram entries: each draws nothing until the
// diagram menu and its diagrams replace this file.
#include "drawings/diagrams.h"

namespace zeb {

void SelectDiagram(int /*index*/, int /*cadCode*/) {}
void ShowDiagram(int /*diagramCode*/, int /*cadCode*/) {}
void ShowDiagramMenu() {}
void DrawCharacteristicLine(int /*mode*/) {}
void GoodmanDiagram() {}
void HaighDiagram() {}
void GoodmanOutput(int /*cadCode*/) {}
void HaighOutput(int /*cadCode*/) {}
void RegisterDiagramDrawings() {}

}  // namespace zeb
