// The printout-section choice of the print macro: one check box per
// section, bound to bit n (value 2^(n-1)) of PrintoutSectionMask.
#pragma once
#include <array>
#include <cstdint>

namespace zeb {

inline constexpr int kPrintoutSectionCount = 14;

// The state of the dialog's check boxes 1..14 (index 0 unused).
struct PrintoutSectionChoice {
  std::array<bool, kPrintoutSectionCount + 1> checked{};

  // Check box n := bit n of PrintoutSectionMask.
  void Load();
  // OK: AbortFlag := 0; bit n of the mask := check box n (bits 15..32 kept).
  void Ok() const;
  // Cancel: AbortFlag := 1; the mask is unchanged.
  static void Cancel();
  // The help button: help text 3520.
  static void Help();
};

// Section n (1..14) is chosen in mask.
bool PrintoutSectionChosen(std::int32_t mask, int n);

}  // namespace zeb
