// Delimited text import into a fixed table of C, N, D, L and M fields.
#include <cstdint>
#include <fstream>
#include <string>

#include "fuzz_support.h"
#include "xbase/dbf/dbffile.h"
#include "xbase/dbf/tablecmds.h"
#include "xbase/core/engine.h"
#include "xbase/core/errors.h"
#include "xbase/dbf/workarea.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zeb::xbase;
  static zeb::fuzz::ScratchFolder scratch("fzat");
  static const bool ready = [] {
    ResetTzEngine();
    SetTzExitHandler([](int) {});
    SetTzErrorSwitch(false);
    return true;
  }();
  (void)ready;
  const std::string table = scratch.dir + "/t.dbf";
  const std::string text = scratch.dir + "/in.txt";
  {
    std::ofstream out(text, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  DbfTable t;
  CreateDbf(t, table,
            {{"NAME", 'C', 10, 0, 0}, {"SIZE", 'N', 8, 2, 0}, {"WIDE", 'N', 14, 0, 0}, {"DAY", 'D', 8, 0, 0},
             {"OK", 'L', 1, 0, 0}, {"NOTE", 'M', 10, 0, 0}, {"LAST", 'C', 5, 0, 0}});
  Select(1);
  USE(table + " exclusive");
  if (CurrentWorkArea() == nullptr) return 0;
  AppendFromText(text, (size & 1) != 0);
  std::int32_t n = RecCount();
  for (GoTop(); !dEOF() && TzCurrentError() == 0; SKIP(1)) {
    for (int f = 1; f <= FieldCount(); ++f) (void)FieldAsString(f);
  }
  if (n < 0) __builtin_trap();
  CloseArea();
  ClearTzErrorState();
  return 0;
}
