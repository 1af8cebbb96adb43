#include "reports/sections.h"

#include "base/globals.h"
#include "base/help.h"
#include "base/mathx.h"

namespace zeb {

bool PrintoutSectionChosen(std::int32_t mask, int n) {
  return n >= 1 && n <= kPrintoutSectionCount && BitIsSet(mask, n);
}

void PrintoutSectionChoice::Load() {
  checked[0] = false;
  for (int n = 1; n <= kPrintoutSectionCount; ++n)
    checked[static_cast<std::size_t>(n)] = PrintoutSectionChosen(G().PrintoutSectionMask, n);
}

void PrintoutSectionChoice::Ok() const {
  G().AbortFlag = 0;
  for (int n = 1; n <= kPrintoutSectionCount; ++n)
    SetBit(G().PrintoutSectionMask, n, checked[static_cast<std::size_t>(n)]);
}

void PrintoutSectionChoice::Cancel() { G().AbortFlag = 1; }

void PrintoutSectionChoice::Help() { ShowHelpText(3520, "", 1); }

}  // namespace zeb
