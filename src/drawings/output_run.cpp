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

bool RunDrawingOutput(int cadCode, DrawingRun run) {
  BaseGlobals& g = G();
  if (g.FatalErrorFlag != 0) {
    ShowCalcMessages();
    return false;
  }
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

}  // namespace zeb
