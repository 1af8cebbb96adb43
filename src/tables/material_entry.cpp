#include "tables/material_entry.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

#include "base/dialogs.h"
#include "base/format.h"
#include "base/globals.h"
#include "base/mathx.h"
#include "platform/oem_literal.h"
#include "spring/material.h"
#include "spring/spring_data.h"
#include "tables/material_table.h"
#include "tables/table_functions.h"
#include "tables/table_window.h"

namespace zeb {

namespace {

bool Aborted() { return G().AbortFlag != 0; }

// Nearest integer, halves to even; nullopt-like false when it does not fit
// a 32-bit member and a 9-character numeric field.
bool RoundToField(Real x, std::int32_t& out) {
  if (!std::isfinite(x)) return false;
  const Real r = std::nearbyint(x);
  if (r < -99999999.0L || r > 999999999.0L) return false;
  out = static_cast<std::int32_t>(r);
  return true;
}

std::int32_t Rounded(Real x) {
  std::int32_t v = 0;
  return RoundToField(x, v) ? v : 0;
}

// Slope of a law over log10(d / d0): (y0 - yx) / log10(dx / d0), rounded;
// false when dx equals d0 or the result does not fit.
bool Slope(Real y0, Real yx, Real dx, Real d0, std::int32_t& out) {
  const Real l = std::log10(dx / d0);
  if (l == 0 || !std::isfinite(l)) return false;
  return RoundToField((y0 - yx) / l, out);
}

std::string Sig(Real x) { return FloatToStrSig(x); }

// A second diameter for a slope: asked again while it equals d0.
void AskSecondDiameter(Real& dx, Real d0) {
  do {
    InputFloatInRange("Drahtdurchmesser dx", dx, 0.01L, 100);
  } while (!Aborted() && dx == d0);
}

// The material record reset and filled with the spring's name, moduli and
// density.
MaterialRecord& MaterialRecordFromSpring() {
  const SpringDataRecord& s = SpringData();
  ResetMaterialRecord();
  MaterialRecord& m = ZEBWST_Record();
  m.Name1 = s.MaterialName;
  m.G = Rounded(s.G);
  m.E = Rounded(s.E);
  m.Density = MakeReal48(s.rho);
  return m;
}

// What was typed for a new material whose append the user gave up while
// the table was locked: the start values of the next entry.
struct TypedMaterial {
  std::string name, name2, name3, name4;
  Real E = 0, G = 0, rho = 0;
  Real d0 = 0, rm0 = 0, dx = 0, rmx = 0, rmMax = 0, dmin = 0, dmax = 0, tmax = 0;
  bool goodman = false;
  Real dx2 = 0, tauo0 = 0, tauox = 0, tauh0 = 0, tauhx = 0, tauULim = 0;
};

std::optional<TypedMaterial>& PendingMaterial() {
  static std::optional<TypedMaterial> pending;
  return pending;
}

}  // namespace

void MaterialManualProperties() {
  SpringDataRecord& s = SpringData();
  s.MaterialSel = 11;
  if (!Aborted()) {
    SetCurrentHelpNumber(5050);
    std::string name = s.MaterialName;
    InputText("Werkstoff", 50, name);
    if (!Aborted()) s.MaterialName = name;
  }
  if (!Aborted()) {
    SetCurrentHelpNumber(5060);
    InputFloatInRange("Elastizitätsmodul E  [N/mm²]"_oem, s.E, 10, 1e8L);
  }
  if (!Aborted()) {
    SetCurrentHelpNumber(5070);
    InputFloatInRange("Schubmodul G  [N/mm²]"_oem, s.G, 10, 1e8L);
  }
  if (!Aborted()) {
    SetCurrentHelpNumber(5080);
    InputFloatInRange("Dichte rho  [kg/dm^3]", s.rho, 0.1L, 100);
  }
  if (Aborted()) return;
  MaterialRecordFromSpring().Rm0 = Rounded(s.Rm);
}

void MaterialNewEntry() {
  const MaterialRecord start = ZEBWST_Record();
  std::string name2 = start.Name2, name3 = start.Name3, name4 = start.Name4;
  Real rm0 = start.Rm0, d0 = MaterialReal(start.DR0), rmMax = start.RmMax;
  Real dmin = MaterialReal(start.dmin), dmax = MaterialReal(start.dmax), tmax = start.Tmax;
  Real dx = 10.0L, rmx = 500.0L;
  const std::optional<TypedMaterial> typed = PendingMaterial();
  if (typed) {
    SpringDataRecord& s = SpringData();
    s.MaterialName = typed->name;
    s.E = typed->E;
    s.G = typed->G;
    s.rho = typed->rho;
    name2 = typed->name2;
    name3 = typed->name3;
    name4 = typed->name4;
    rm0 = typed->rm0;
    d0 = typed->d0;
    rmMax = typed->rmMax;
    dmin = typed->dmin;
    dmax = typed->dmax;
    tmax = typed->tmax;
    dx = typed->dx;
    rmx = typed->rmx;
  }

  MaterialManualProperties();
  if (!Aborted()) {
    SetCurrentHelpNumber(4010);
    InputText("Name 2", 30, name2);
  }
  if (!Aborted()) InputText("Name 3", 20, name3);
  if (!Aborted()) InputText("Name 4", 20, name4);

  std::int32_t rmSlope = 0;
  if (!Aborted()) {
    SetCurrentHelpNumber(4020);
    InputFloatInRange("Drahtdurchmesser d0", d0, 0.01L, 100);
  }
  if (!Aborted()) InputFloatInRange("Zugfestigkeit Rm0 bei d= "_oem + Sig(d0) + " mm  [N/mm²]"_oem, rm0, 1, 10000);
  // The slope needs a second diameter and a slope that fits its field.
  while (!Aborted()) {
    AskSecondDiameter(dx, d0);
    if (!Aborted()) InputFloatInRange("Zugfestigkeit Rmx bei d= "_oem + Sig(dx) + " mm  [N/mm²]"_oem, rmx, 1, 10000);
    if (Aborted() || rm0 == 0 || rmx == 0 || Slope(rm0, rmx, dx, d0, rmSlope)) break;
  }
  if (!Aborted()) InputFloatInRange("Max. Zugfestigkeit Rm max (bei d=0.1mm) [N/mm²]"_oem, rmMax, 0, 10000);
  if (!Aborted()) {
    SetCurrentHelpNumber(4030);
    InputFloatInRange("Drahtdurchmesser dmin [mm]", dmin, 0, 1000);
  }
  if (!Aborted()) InputFloatInRange("Drahtdurchmesser dmax [mm]", dmax, dmin, 1000);
  if (!Aborted()) InputFloatInRange("Max. Betriebstemperatur Tmax [°C]"_oem, tmax, 0, 1000);

  Real tauo0 = 0.56L * rm0, tauox = 0.56L * rmx, dx2 = dx;
  Real tauh0 = 0, tauhx = 0, tauULim = 0;
  std::int32_t tauoSlope = 0, tauhSlope = 0;
  bool goodman = false;
  if (typed && typed->goodman) {
    goodman = true;
    tauo0 = typed->tauo0;
    tauox = typed->tauox;
    dx2 = typed->dx2;
  }
  if (!Aborted()) AskYesNo("Goodman-Diagramm ?", goodman);
  if (!Aborted() && goodman) {
    SetCurrentHelpNumber(4040);
    InputFloatInRange("zul. Schubspannung tauo0 bei d = " + Sig(d0) + " mm  [N/mm²]"_oem, tauo0, 0, 10000);
    while (!Aborted()) {
      AskSecondDiameter(dx2, d0);
      if (!Aborted()) {
        InputFloatInRange("zul. Schubspannung tauo bei d = " + Sig(dx2) + " mm  [N/mm²]"_oem, tauox, 0, 10000);
      }
      if (Aborted() || tauo0 == 0 || tauox == 0 || Slope(tauo0, tauox, dx2, d0, tauoSlope)) break;
    }
    tauh0 = typed && typed->goodman ? typed->tauh0 : 0.3L * rm0;
    tauhx = typed && typed->goodman ? typed->tauhx : 0.3L * rmx;
    if (!Aborted()) {
      InputFloatInRange("zulässige Hubspannung tauh0 bei d="_oem + Sig(d0) + ", tau u=0  [N/mm²]"_oem, tauh0, 0,
                        10000);
    }
    while (!Aborted()) {
      InputFloatInRange("zulässige Hubspannung tauhx bei d = "_oem + Sig(dx2) + " mm  [N/mm²]"_oem, tauhx, 0, 10000);
      if (Aborted() || tauh0 == 0 || tauhx == 0 || Slope(tauh0, tauhx, dx2, d0, tauhSlope)) break;
    }
    tauULim = typed && typed->goodman ? typed->tauULim : (tauo0 - tauh0) * 4 / 3;
    if (!Aborted()) {
      InputFloatInRange("zul. Schubspannung tau u lim. bei d = " + Sig(d0) + " mm  [N/mm²]"_oem, tauULim, 0, 10000);
    }
  }
  if (Aborted()) return;
  if (!MaterialOpenTable()) return;
  WarnWhenTableIsACopy();

  MaterialRecord& m = MaterialRecordFromSpring();
  m.Name2 = name2;
  m.Name3 = name3;
  m.Name4 = name4;
  m.Rm0 = Rounded(rm0);
  m.DR0 = MakeReal48(d0);
  m.RmMax = Rounded(rmMax);
  if (d0 != 0 && rm0 != 0 && rmx != 0) m.RmSlope = rmSlope;
  if (goodman) {
    m.d0 = MakeReal48(d0);
    m.Unpeened.tauo0 = Rounded(tauo0);
    if (d0 != 0 && tauo0 != 0 && tauox != 0) m.Unpeened.tauoSlope = tauoSlope;
    m.Unpeened.tauh0 = Rounded(tauh0);
    if (d0 != 0 && tauh0 != 0 && tauhx != 0) m.Unpeened.tauhSlope = tauhSlope;
    if (tauULim > 0) m.Unpeened.GoodmanSlope = MakeReal48((tauo0 - tauh0) / tauULim);
  }
  m.dmin = MakeReal48(dmin);
  m.dmax = MakeReal48(dmax);
  m.Tmax = Rounded(tmax);

  // The number: one above the record count and every number in use, taken
  // under the append lock so that two users never get the same.
  const bool appended = TheTableWindow().AppendLocked([&m] {
    std::int32_t top = TableRecCount();
    TableShowDeleted();
    for (std::int32_t r = 1; r <= TableRecCount(); ++r) {
      TableSelectRecord(r);
      top = std::max(top, TextToInt(TableGetField(27)));
    }
    m.MaterialNumber = top + 1;
  });
  if (appended) {
    PendingMaterial().reset();
    MaterialWriteRecord();
  } else {
    const SpringDataRecord& s = SpringData();
    PendingMaterial() = TypedMaterial{.name = s.MaterialName, .name2 = name2, .name3 = name3, .name4 = name4,
                                      .E = s.E, .G = s.G, .rho = s.rho, .d0 = d0, .rm0 = rm0, .dx = dx,
                                      .rmx = rmx, .rmMax = rmMax, .dmin = dmin, .dmax = dmax, .tmax = tmax,
                                      .goodman = goodman, .dx2 = dx2, .tauo0 = tauo0, .tauox = tauox,
                                      .tauh0 = tauh0, .tauhx = tauhx, .tauULim = tauULim};
  }
  TableClose();
}

}  // namespace zeb
