// Texts piled on texts, the drawing two benches share: n each of line,
// arc, text and solid in rows of 500, every text over hundreds of others.
#pragma once

#include "graphics/cad.h"

namespace zeb::bench {

inline void StackedRows(int n, int cadCode = 1) {
  CadBeginOutput(cadCode);
  CadDrawingHeader(0, 0, 160, 120);
  CadTables(2);
  CadBeginEntities();
  CadTextStyle(2, 0, 2.5L, 1.8L);
  for (int i = 0; i < n; ++i) {
    const Real x = (i % 500) * 0.3L, y = (i / 500) * 0.7L;
    CadSetLayer(16 + i % 16);
    CadLine(x, y, x + 1.25L, y + 0.5L);
    CadArc(x, y, 10, 250, 0.75L);
    CadText("Text 123", x, y);
    CadSolid(x, y, x + 1, y, x, y + 1, x + 1, y + 1);
  }
  CadEndSection();
  CadEndOutput();
}

}  // namespace zeb::bench
