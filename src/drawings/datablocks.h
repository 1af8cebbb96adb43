// Text blocks beside the diagram plots and the Quick 1 and Quick 2 sheets,
// written at the CAD text cursor in sheet millimetres.
#pragma once
#include <cstdint>

namespace zeb {

// The data column at the right edge of a diagram sheet; mode 1 standard,
// 2 buckling, 3 spring work, 4 transverse load. The caller sets the style.
void DrawSpringDataHeader(std::uint16_t mode);
void DrawFreeLengthLine();
// The Quick 1 sheet's second data column, material block and messages.
void DrawDiagramDataBlock2();
void DrawMaterialTextBlock();
void DrawMessageBlock();
// The message texts at the text cursor, or " " and " - keine -".
void DrawMessageLines();
// The whole Quick 2 sheet.
void DrawQuick2Sheet();

}  // namespace zeb
