// Scripts of (row, text, key) over the three input screens, from the REF
// spring or Case A: no crash or hang, every searched value finite.
//
// Input: byte 0 picks the screen (bits 0-1), the spring (bit 2), the
// cross-section (bits 3-5) and point 1 off (bit 6); then steps of
// [row, key, length, text...].
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "base/globals.h"
#include "base/headless_ui.h"
#include "base/messages.h"
#include "base/services.h"
#include "mainwin/online.h"
#include "mainwin/screens.h"
#include "spring/material.h"
#include "spring/spring_data.h"

namespace {

using zeb::Real;

void MakeSpring(bool caseA, int crossSection, bool point1Off) {
  zeb::ResetSpringGlobals();
  zeb::SpringDataRecord& s = zeb::SpringData();
  s.CalcMode = 3, s.RateInput = 1;
  s.CrossSection = static_cast<zeb::Code>(crossSection), s.d = s.h = 2.0L;
  s.DiameterGiven = 3, s.Dm = 20.0L, s.De = 22.0L, s.Di = 18.0L;
  s.n = 8.5L, s.L0 = 60.0L, s.L1 = 50.0L, s.L2 = 30.0L;
  s.MaterialSel = 11, s.Rm = 2000.0L, s.tauzul = 1000.0L;
  s.G = 81500.0L, s.E = 206000.0L, s.rho = 7.85L, s.T = 20.0L;
  s.CoilingKind = 1, s.EndForm = 2, s.EndCoils = {2.0L, 1.0L, 1.0L};
  s.LoadType = 2, s.WireStd = 9, s.f = 10.0L;
  if (caseA) {
    s.d = s.h = 5.0L;
    s.DiameterGiven = 1, s.De = 39.6L, s.Dm = 34.6L, s.Di = 29.6L;
    s.n = 9.5L, s.L0 = 105.8L, s.L1 = 88.5L, s.L2 = 67.5L;
    s.Rm = 1460.0L, s.tauzul = 817.6L;
  }
  s.Point1Off = point1Off ? 1 : 0;
}

// Batch answers, but Yes to the pre-dimensioning question.
class YesUi : public zeb::BatchUi {
 public:
  YesUi() : BatchUi(nullptr) {}
  zeb::DialogEnd AskYesNo(std::string_view, bool& yes, const zeb::DialogHelp&) override {
    yes = true;
    return zeb::DialogEnd::Ok;
  }
};

bool AllFinite() {
  const zeb::SpringDataRecord& s = zeb::SpringData();
  for (Real v : {s.d, s.h, s.di, s.Dm, s.De, s.Di, s.n, s.L0, s.L1, s.L2, s.Ln, s.Lc, s.F1, s.F2, s.sh, s.R,
                 s.GT, s.tauzul, s.tau1, s.tau2, s.tauk1, s.tauk2, s.taukh, s.taun, s.tauc, s.T, s.fe, s.P})
    if (!std::isfinite(v)) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static bool init = [] {
    zeb::ResetBaseGlobals();
    zeb::SetUi(std::make_shared<YesUi>());
    return true;
  }();
  (void)init;
  if (size < 1) return 0;
  zeb::ResetBaseGlobals();
  zeb::ResetOnlineState();
  const std::uint8_t head = data[0];
  const int screen = head & 3;
  MakeSpring((head & 4) != 0, 1 + ((head >> 3) & 7) % 7, (head & 64) != 0);
  auto form = std::make_shared<zeb::ScriptedOnlineForm>();
  std::size_t p = 1;
  int steps = 0;
  while (p + 3 <= size && steps < 40) {
    const int row = data[p] % 13;
    const zeb::OnlineKey key = static_cast<zeb::OnlineKey>(data[p + 1] % 7);
    std::size_t len = data[p + 2];
    p += 3;
    if (len > size - p) len = size - p;
    form->TypeAt(row == 0 ? 1 : row, std::string(reinterpret_cast<const char*>(data + p), len), key);
    p += len;
    ++steps;
  }
  zeb::SetOnlineForm(form);
  switch (screen) {
    case 0: zeb::InputRecalculation(); break;
    case 1: zeb::InputDimensioning(); break;
    case 2: zeb::InputPreDimensioning(); break;
    default: zeb::EstimateWireDiameterForL2(); break;
  }
  if (!AllFinite()) std::abort();
  if (zeb::LastSearchPasses() > 21) std::abort();
  zeb::SetOnlineForm(nullptr);
  return 0;
}
