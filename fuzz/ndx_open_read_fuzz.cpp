// An index file of arbitrary bytes opened on a sound table, then searched,
// stepped, changed and rebuilt: a damaged header fails the open with 222
// (223 for a KeyMaker mark), damaged nodes report 254, nothing crashes or
// hangs, and the rebuild always gives an index that steps through every
// record once.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "fuzz_support.h"
#include "xbase/dbf/dbffile.h"
#include "xbase/index/ndx.h"
#include "xbase/expr/parser.h"
#include "xbase/dbf/tablecmds.h"
#include "xbase/core/engine.h"
#include "xbase/core/errors.h"
#include "xbase/dbf/workarea.h"

using namespace zeb::xbase;

namespace {

constexpr int kRows = 40;

struct Files {
  zeb::fuzz::ScratchFolder folder{"ndxfuzz"};
  std::string table = folder.dir + "/t.dbf";
  std::string index = folder.dir + "/t.ndx";
  std::string tableBytes;
};

void WriteFile(const std::string& path, const char* data, std::size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(data, static_cast<std::streamsize>(size));
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void Fresh() {
  ResetTzEngine();
  SetTzErrorSwitch(false);
  InitParserUnit();
  IndexInit();
  Select(1);
}

[[noreturn]] void Fail(int line) {
  std::fprintf(stderr, "ndx_open_read_fuzz: check at line %d, code %u: %s\n", line,
               static_cast<unsigned>(TzCurrentError()), Engine().lastErrorText.c_str());
  std::abort();
}

const Files& Setup() {
  static Files files;
  if (!files.tableBytes.empty()) return files;
  Fresh();
  DbfTable t;
  CreateDbf(t, files.table, {FieldDesc{"NUM", 'N', 6, 0, 0}, FieldDesc{"NAME", 'C', 8, 0, 0}});
  USE(files.table + " EXCLUSIVE");
  for (int i = 0; i < kRows; ++i) {
    ClearRecord();
    WorkArea& a = *CurrentWorkArea();
    SetBufferInteger(a, 1, (i * 13) % 17);
    SetBufferText(a, 2, std::string(1, static_cast<char>('a' + i % 26)) + "x");
    Append();
  }
  CloseArea();
  files.tableBytes = ReadFile(files.table);
  if (files.tableBytes.empty()) Fail(__LINE__);
  return files;
}

// Steps through the master order; the records met, at most limit.
int StepAll(int limit) {
  int seen = 0;
  GoTop();
  while (!dEOF() && TzCurrentError() == 0 && seen < limit) {
    ++seen;
    SKIP(1);
  }
  return seen;
}

bool Allowed(std::uint16_t code) {
  switch (code) {
    case 0: case 1: case 100: case 212: case 222: case 223: case 254: case 351: case 354: case 358: return true;
    default: return false;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Files& f = Setup();
  WriteFile(f.table, f.tableBytes.data(), f.tableBytes.size());
  WriteFile(f.index, reinterpret_cast<const char*>(data), size);
  Fresh();
  USE(f.table + " EXCLUSIVE");
  if (TzCurrentError() != 0) Fail(__LINE__);
  try {
    const bool open = SetIndexTo(f.index, 1);
    const std::uint16_t code = TzCurrentError();
    if (!open) {
      if (code != 222 && code != 223 && code != 100) Fail(__LINE__);
      if (!IndexFileName(1).empty()) Fail(__LINE__);
    } else {
      Set_Order_To(1);
      StepAll(4 * kRows);
      if (!Allowed(TzCurrentError())) Fail(__LINE__);
      GoBottom();
      for (int i = 0; i < 2 * kRows && !dBOF() && TzCurrentError() == 0; ++i) SKIP(-1);
      for (const char* key : {"5", "a", "bx", "99"}) Find(key);
      if (!Allowed(TzCurrentError())) Fail(__LINE__);
      GO(3);
      WorkArea& a = *CurrentWorkArea();
      SetBufferInteger(a, 1, 1234);
      SetBufferText(a, 2, "zz");
      Replace();
      ClearRecord();
      SetBufferInteger(a, 1, 7);
      Append();
      if (!Allowed(TzCurrentError())) Fail(__LINE__);
      // A rebuild from the stored expression always gives a sound index.
      Reindex();
      if (TzCurrentError() == 0 && IndexFileName(1) == f.index) {
        const int seen = StepAll(4 * kRows);
        // Keys whose evaluation reports (division by 0) stop the steps; a
        // unique index holds one record per key.
        IndexInfoRecord info;
        const bool unique = IndexInfo(f.index, info) && info.unique;
        if (TzCurrentError() == 0 && (unique ? seen > RecCount() || seen == 0 : seen != RecCount())) Fail(__LINE__);
      }
    }
  } catch (const ETzError&) {
    // Raised index errors are reports, not crashes.
  }
  CloseArea();
  ResetTzEngine();
  return 0;
}
