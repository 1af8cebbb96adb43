// Random bytes as the material table and the two strength tables, then the
// lookups a spring file and the material form make: no crash, no hang, no
// exception leaving the table functions, no NaN or infinity in the record.
// Input: two 16-bit lengths (little end first), then zebwst.dbf,
// zebrmmin.dbf and zebrmmax.dbf in a row.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "base/globals.h"
#include "base/headless_ui.h"
#include "base/ui_port.h"
#include "fuzz_support.h"
#include "spring/material.h"
#include "spring/spring_data.h"
#include "tables/material_table.h"
#include "tables/table_functions.h"
#include "xbase/core/engine.h"
#include "xbase/core/units.h"

namespace {

const zeb::fuzz::ScratchFolder& Scratch() {
  static zeb::fuzz::ScratchFolder scratch("fuzzmat");
  return scratch;
}

void WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

void CheckFinite(const zeb::Real48& r) {
  if (!std::isfinite(static_cast<double>(zeb::MaterialReal(r)))) std::abort();
}

void CheckRecord() {
  const zeb::MaterialRecord& m = zeb::ZEBWST_Record();
  for (const zeb::Real48* r : {&m.Density, &m.DR0, &m.d0, &m.Unpeened.GoodmanSlope, &m.Peened.GoodmanSlope,
                               &m.dmin, &m.dmax})
    CheckFinite(*r);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static std::FILE* devnull = std::fopen("/dev/null", "w");
  const std::string dir = Scratch().dir;
  std::size_t at = 4, part[3] = {0, 0, 0};
  if (size >= 4) {
    part[0] = std::min<std::size_t>(data[0] | (data[1] << 8), size - 4);
    part[1] = std::min<std::size_t>(data[2] | (data[3] << 8), size - 4 - part[0]);
    part[2] = size - 4 - part[0] - part[1];
  }
  const char* names[3] = {"/zebwst.dbf", "/zebrmmin.dbf", "/zebrmmax.dbf"};
  for (int i = 0; i < 3; ++i) {
    WriteFile(dir + names[i], data + std::min(at, size), part[i]);
    at += part[i];
  }

  zeb::SetUi(std::make_shared<zeb::BatchUi>(devnull));
  zeb::ResetBaseGlobals();
  zeb::ResetSpringGlobals();
  zeb::xbase::ResetTzEngine();
  zeb::xbase::InitTableEngineUnits();
  zeb::G().DbfFolder = dir;
  zeb::G().TempFolder = dir;
  for (std::uint16_t n = 1; n <= 3; ++n) {
    zeb::MaterialLoadByNumber(n);
    CheckRecord();
    zeb::LoadMaterialRow(n);
    CheckRecord();
    zeb::LoadRmTables(n);
  }
  // The material list of the form: every record read in turn.
  zeb::G().AbortFlag = 0;
  zeb::TableOpen("zebwst");
  for (std::int32_t r = 1; r <= zeb::TableRecCount() && r <= 200; ++r) {
    zeb::TableGo(r);
    zeb::G().AbortFlag = 0;
    zeb::MaterialReadRecord();
    CheckRecord();
  }
  zeb::TableClose();
  return 0;
}
