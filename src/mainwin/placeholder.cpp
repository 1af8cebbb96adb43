#include "mainwin/placeholder.h"

#include <array>
#include <memory>
#include <string_view>
#include <typeinfo>

#include "base/globals.h"
#include "graphics/cad.h"
#include "graphics/diagram.h"
#include "mainwin/screens.h"

namespace zeb {

void DrawResultPlaceholder() {
  const OutputRows rows = RecalculationOutputs();
  CadBeginOutput(kCadScreen);
  if (G().AbortFlag == 0) {
    CadDrawingHeader(0, 0, 160, 120);
    CadTables(2);
    CadBeginEntities();
    DiagramHeaderLine();
    DiagramTextTable table(20, 105, 3, {10, 12, 8, 0, 0, 0, 0}, {"", "", "", "", "", "", ""});
    for (int j = 1; j <= rows.count; ++j)
      table.AddRow({rows.row[j].name, rows.row[j].value, rows.row[j].unit, "", "", "", ""});
    CadEndSection();
  }
  CadEndOutput();
}

void PlaceholderDrawings::RedrawCurrentDrawing() {
  RecordingDrawings::RedrawCurrentDrawing();
  G().AbortFlag = 0;
  if (G().HelpLevel > 0) DrawResultPlaceholder();
}

void InstallResultPlaceholder() {
  const DrawingServices& current = Drawings();
  if (typeid(current) == typeid(RecordingDrawings)) SetDrawings(std::make_shared<PlaceholderDrawings>());
}

}  // namespace zeb
