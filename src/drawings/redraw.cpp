#include "base/globals.h"
#include "drawings/diagrams.h"
#include "drawings/drawings.h"
#include "drawings/output_run.h"
#include "settings/config.h"
#include "spring/spring_data.h"

namespace zeb {

void RedrawCurrentDrawing() {
  if (G().HelpLevel <= 0) return;
  G().AbortFlag = 0;
  // No sheet of values the calculation did not reach.
  if (G().FatalErrorFlag != 0) return DrawStoppedCalculation();
  switch (Config().CurrentDrawingKind) {
    case 1:
      SelectDiagram(1, 3);
      break;
    case 3:
      DrawProductionDrawing(3);
      break;
    case 4:
      ShowDiagram(2, 3);
      break;
    case 5:
      DrawSpringView(SpringData().CrossSection == 1 ? 1 : 3, 3, false);
      break;
    default:
      DrawQuickSheet(3);
      break;
  }
}

}  // namespace zeb
