#include "drawings/output_run.h"

#include "base/dialogs.h"
#include "base/globals.h"
#include "base/help.h"
#include "graphics/cad.h"
#include "graphics/diagram.h"
#include "spring/spring_data.h"

namespace zeb {

void FillDiagramData() {
  const SpringDataRecord& s = SpringData();
  const MaterialRecord& m = ZEBWST_Record();
  DiagramTextData& d = DiagramData();
  d.DrawingName = s.DrawingName;
  d.DrawingNo = s.DrawingNo;
  d.DrawingName2 = s.DrawingName2;
  d.CrossSection = s.CrossSection;
  d.d = s.d;
  d.h = s.h;
  d.di = s.di;
  d.r = s.r;
  d.TolWire = s.TolWire;
  d.MaterialSel = s.MaterialSel;
  d.MaterialName = s.MaterialName;
  d.MaterialRecordName1 = m.Name1;
  d.MaterialRecordName3 = m.Name3;
  d.ShotPeened = s.ShotPeened;
  d.Rm = s.Rm;
  d.E = s.E;
  d.G = s.G;
  d.T = s.T;
  d.GT = s.GT;
  d.rho = s.rho;
}

namespace {

bool RunDrawingPasses(int cadCode, DrawingRun& run) {
  BaseGlobals& g = G();
  if (run.before && !run.before(run)) return false;
  if (g.AbortFlag != 0) return false;
  CadBeginOutput(cadCode);
  if (g.AbortFlag != 0) return false;
  if (run.opened) run.opened();
  FillDiagramData();
  CadDrawingHeader(run.extents[0], run.extents[1], run.extents[2], run.extents[3]);
  CadTables(run.tables);
  if (run.blocks) {
    CadBeginBlocks();
    run.blocks();
    CadEndSection();
  }
  do {
    CadBeginEntities();
    if (run.entities) run.entities();
    CadEndSection();
  } while (!CadOutputPassDone());
  CadEndOutput();
  RestoreArrowCursor();
  return true;
}

}  // namespace

bool RunDrawingOutput(int cadCode, DrawingRun run) {
  if (G().FatalErrorFlag != 0) {
    ShowCalcMessages();
    return false;
  }
  return RunDrawingPasses(cadCode, run);
}

void DrawStoppedCalculation() {
  DrawingRun run;
  run.entities = [] {
    const ErrorMessageListT& list = G().ErrorMessageList;
    CadSetLayer(4);
    CadTextStyle(2, 0, 3.0L, 1.0L);
    CadTextFit("Keine Ergebnisse: die Berechnung wurde abgebrochen.", 10, 105, 140);
    CadTextStyle(2, 0, 2.2L, 1.0L);
    Real y = 95;
    for (int i = 1; i <= list.count && i <= 12; ++i, y -= 6)
      CadTextFit(list.slot[static_cast<std::size_t>(i)], 10, y, 140);
  };
  RunDrawingPasses(3, run);
}

}  // namespace zeb
