// How far a text's ink reaches along its baseline, in character widths of
// its style: the advances of a proportional sans face (the face the screen
// and most DXF readers put in for the style's font), stretched until an
// average character is a cell wide.
#pragma once
#include <string_view>

#include "base/types.h"

namespace zeb::cad_detail {

// The advance of one character, as a share of the cell (more than 1 for
// the widest ones).
Real InkAdvance(unsigned char c);

// The ink of a text along its baseline: from the start of its first to
// the end of its last visible character, in cells; blanks as narrow as the
// face draws them, leading ones too; trailing blanks add nothing. Both 0
// for a text of blanks only.
void InkSpan(std::string_view text, Real& from, Real& to);

}  // namespace zeb::cad_detail
