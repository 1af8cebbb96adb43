#include <memory>

#include "base/services.h"
#include "drawings/diagram_plots.h"
#include "drawings/diagrams.h"
#include "drawings/drawings.h"
#include "drawings/registry.h"

namespace zeb {

namespace {

class SpringDrawingServices : public DrawingServices {
 public:
  void RedrawCurrentDrawing() override { zeb::RedrawCurrentDrawing(); }
  void SelectDiagram(int index, int cadCode) override { zeb::SelectDiagram(index, cadCode); }
  void ShowDiagram(int diagramCode, int cadCode) override { zeb::ShowDiagram(diagramCode, cadCode); }
  void ShowDiagramMenu() override { zeb::ShowDiagramMenu(); }
  void DrawSpringView(int kind, int cadCode, bool askLength) override {
    zeb::DrawSpringView(kind, cadCode, askLength);
  }
  void DrawProductionDrawing(int cadCode) override { zeb::DrawProductionDrawing(cadCode); }
  void DrawProductionDrawingEN(int cadCode) override { zeb::DrawProductionDrawingEN(cadCode); }
  void DrawQuickSheet(int cadCode) override { zeb::DrawQuickSheet(cadCode); }
  void DrawSpring3DView(int cadCode, int kind, bool askLength) override {
    zeb::DrawSpring3DView(cadCode, kind, askLength);
  }
  void GoodmanOutput(int cadCode) override { zeb::GoodmanOutput(cadCode); }
  void HaighOutput(int cadCode) override { zeb::HaighOutput(cadCode); }
  void OpenRelaxationTable(int materialNumber) override { zeb::OpenRelaxationTable(materialNumber); }
};

}  // namespace

void InstallDrawings() {
  for (int kind = 1; kind <= 4; ++kind)
    RegisterDrawing({DrawingEntry::SpringView, kind}, [kind](int code) { DrawSpringView(kind, code, false); });
  RegisterDrawing({DrawingEntry::ProductionDrawing, 0}, [](int code) { DrawProductionDrawing(code); });
  RegisterDrawing({DrawingEntry::ProductionDrawingEN, 0}, [](int code) { DrawProductionDrawingEN(code); });
  RegisterDrawing({DrawingEntry::Spring3DView, 1}, [](int code) { DrawSpring3DView(code, 1, false); });
  RegisterDiagramDrawings();
  SetDrawings(std::make_shared<SpringDrawingServices>());
}

}  // namespace zeb
