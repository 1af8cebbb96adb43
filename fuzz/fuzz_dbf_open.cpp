// The table header and descriptor parser, then every record read, converted
// both ways and written back. A malformed file ends in a defined code with
// nothing left open; an opened one has every field inside its record.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "xbase/dbf/dbffile.h"
#include "xbase/core/engine.h"
#include "xbase/core/errors.h"
#include "fuzz_support.h"

using namespace zeb::xbase;

namespace {
const std::string& ScratchPath() {
  static zeb::fuzz::ScratchFolder scratch("fuzzdbf");
  static const std::string path = scratch.dir + "/table.dbf";
  return path;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  {
    std::ofstream out(ScratchPath(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  ResetTzEngine();
  SetTzErrorSwitch(false);
  DbfTable t;
  t.fileName = ScratchPath();
  t.oemText = size > 0 && (data[0] & 1);
  OpenDbf(t, size > 1 && (data[1] & 1) ? kModeShared : kModeExclusive);
  const std::uint16_t code = TzCurrentError();
  if (code != 0) {
    if (t.IsOpen() || !t.fields.empty()) std::abort();
    if (code != 210 && code != 211 && code != 222 && code != 100) std::abort();
  } else {
    if (t.fields.empty() || t.fieldCount != static_cast<int>(t.fields.size())) std::abort();
    for (const auto& f : t.fields)
      if (std::size_t{f.offset} + f.length > t.recordLength || f.offset < 1) std::abort();
    const std::int32_t inFile = DbfRecordsInFile(t);
    if (t.recordCount < 0 || t.recordCount > inFile) std::abort();
    std::vector<std::uint8_t> buf(RecordBufferSize(t), 0);
    for (std::int32_t r = 1; r <= t.recordCount; ++r) {
      SetTzCurrentError(0);
      GetDbfRecord(t, r);
      if (TzCurrentError() != 0) std::abort();
      UnpackRecordData(t, buf.data());
      PackRecordData(t, buf.data());
      if (t.stored.size() != t.recordLength) std::abort();
      if (r == 1) PutDbfRecord(t, 1);
    }
    GetDbfRecord(t, t.recordCount + 1);
    if (TzCurrentError() != 212) std::abort();
    CloseDbf(t);
  }
  ::unlink(ScratchPath().c_str());
  return 0;
}
