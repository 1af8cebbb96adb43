// Structure lines: normalised, a table created from them in a scratch
// folder, opened as a dataset and every record read. No input may crash or
// leave a field outside its record.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "xbase/core/callbacks.h"
#include "xbase/core/engine.h"
#include "xbase/core/errors.h"
#include "xbase/core/units.h"
#include "xbase/dataset/filedataset.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zeb::xbase;
  static zeb::fuzz::ScratchFolder scratch("fzdf");
  ResetTzEngine();
  SetTzExitHandler([](int) {});
  SetTzCallback(std::make_shared<HeadlessTzCallback>());
  InitTableEngineUnits();
  std::vector<std::string> lines(1);
  for (std::size_t i = 0; i < size && lines.size() < 400; ++i) {
    if (data[i] == '\n') lines.emplace_back();
    else lines.back().push_back(static_cast<char>(data[i]));
  }
  std::vector<DbfFieldDef> defs;
  if (ParseDbfFields(lines, (size & 1) != 0, "FZ", defs)) {
    if (defs.size() > 255) __builtin_trap();
    for (const DbfFieldDef& d : defs) {
      if (d.length < 1 || d.length > 254 || d.decimals < 0 || d.decimals > 18) __builtin_trap();
      if (d.decimals != 0 && d.length - d.decimals < 2 && d.length >= 2) __builtin_trap();
    }
  }
  const std::string table = scratch.dir + "/f.dbf";
  std::remove(table.c_str());
  if (!CreateTableFromDbfFields(&lines, table, (size & 2) != 0, "FZ")) return 0;
  try {
    TTzDbf ds("FZ");
    ds.dbfFields = lines;
    ds.SetDbfFileName(table);
    ds.Open();
    ds.Append();
    for (std::size_t i = 0; i < ds.FieldObjectCount(); ++i) ds.FieldAt(i).SetAsString("1");
    ds.Post();
    for (ds.First(); !ds.Eof(); ds.Next())
      for (std::size_t i = 0; i < ds.FieldObjectCount(); ++i) (void)ds.FieldAt(i).DisplayText();
    ds.Close();
  } catch (const ETzError&) {
  } catch (const EDatasetError&) {
  }
  return 0;
}
