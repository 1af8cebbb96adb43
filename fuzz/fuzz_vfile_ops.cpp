// Random operations on a virtual file: appends in every mode, GO, pops,
// snips, deletes, packs, mode switches and sorts. Count, links and the
// current number stay consistent with a plain copy of the records.
#include <cstdint>
#include <string>
#include <vector>

#include "xbase/core/engine.h"
#include "xbase/core/errors.h"
#include "xbase/core/units.h"
#include "xbase/dbf/tablecmds.h"
#include "xbase/dbf/workarea.h"
#include "xbase/vfile/vfiles.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zeb::xbase;
  ResetTzEngine();
  SetTzExitHandler([](int) {});
  SetTzErrorSwitch(false);
  InitTableEngineUnits();
  std::vector<std::uint8_t> buffer(1 + 5, 0);
  Select(1);
  USE("*9* VIRTUAL FILE", buffer.data(), buffer.size());
  AddStru({{"K", 'C', 4, 0, 0}});
  WorkArea* a = CurrentWorkArea();
  if (a == nullptr) __builtin_trap();
  // A key that is no strict order when the input says so.
  bool odd = false;
  Set_VFileKey_To([a, &odd] {
    odd = !odd;
    return odd && (a->recordBuffer[2] & 1) ? std::string("x") : BufferText(*a, 1);
  });
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    const std::uint8_t op = data[i] % 10;
    const std::uint8_t arg = data[i + 1];
    const std::int32_t before = RecCount();
    ClearTzErrorState();
    switch (op) {
      case 0:
      case 1:
        SetBufferText(*a, 1, std::string(1, static_cast<char>('A' + arg % 26)) + std::to_string(arg % 7));
        a->recordBuffer[0] = 0;
        Append();
        if (TzCurrentError() == 0 && RecCount() != before + 1) __builtin_trap();
        break;
      case 2: GO(static_cast<std::int32_t>(arg % (before + 2))); break;
      case 3: PopRec(); break;
      case 4: SnipRec(); break;
      case 5: if (before > 0) { GO(1 + arg % before); DeleteRec(); } break;
      case 6: Pack(); break;
      case 7: Set_VFileMode_To(static_cast<LStatusType>(arg % 5)); break;
      case 8: SortVFile(static_cast<LStatusType>(arg % 6)); break;
      case 9: SetVFileAllocFailures(arg % 2); break;
    }
    const std::int32_t n = RecCount();
    if (n < 0 || n > before + 1) __builtin_trap();
    if (n > 0 && (RecNo() < 1 || RecNo() > n + 1)) __builtin_trap();
    // Every record can be reached from both ends.
    if ((i & 15) == 0) {
      for (std::int32_t r = 1; r <= n; ++r) {
        GO(r);
        if (TzCurrentError() != 0 || RecNo() != r) __builtin_trap();
      }
    }
  }
  CloseArea();
  return 0;
}
