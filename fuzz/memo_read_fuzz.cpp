// Memo files of arbitrary contents behind a table of each layout: block
// sizes, reads by lines and as BLOBs, a rewrite and an append through the
// free chain, and a pack. Damaged files end in engine codes; reads stay
// inside the file; what was just written reads back.
//
// Input: byte 0 the layout (0x83, 0x8B, 0xF5), bytes 1..8 four 16-bit
// block numbers (byte 9 bit n: block n negative), then the memo file.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "fuzz_support.h"
#include "xbase/dbf/dbffile.h"
#include "xbase/memo/memo.h"
#include "xbase/dbf/tablecmds.h"
#include "xbase/core/engine.h"
#include "xbase/core/errors.h"
#include "xbase/dbf/workarea.h"

using namespace zeb::xbase;

namespace {

std::int64_t SizeOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  return static_cast<std::int64_t>(in.tellg());
}

[[noreturn]] void Fail(int line) {
  std::fprintf(stderr, "memo_read_fuzz: check at line %d failed (code %d)\n", line, TzCurrentError());
  std::abort();
}

void ExpectCode(std::initializer_list<std::uint16_t> allowed) {
  const std::uint16_t code = TzCurrentError();
  for (std::uint16_t a : allowed)
    if (code == a) return;
  std::fprintf(stderr, "code %d %s\n", code, TzTakeLastErrorText().c_str());
  Fail(__LINE__);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static zeb::fuzz::ScratchFolder folder("memo_read_fuzz");
  if (size < 10) return 0;
  static const std::uint8_t kVersions[3] = {0x83, 0x8B, 0xF5};
  const std::uint8_t version = kVersions[data[0] % 3];
  std::int32_t blocks[4];
  for (int i = 0; i < 4; ++i) {
    blocks[i] = data[1 + 2 * i] | (data[2 + 2 * i] << 8);
    if (data[9] & (1 << i)) blocks[i] = -blocks[i];
  }
  const std::string table = folder.dir + "/m.dbf";
  const std::string memo = folder.dir + (version == 0xF5 ? "/m.fpt" : "/m.dbt");

  ResetTzEngine();
  SetTzErrorSwitch(false);
  InitMemoUnit();
  SetNewTableVersion(version);
  {
    DbfTable t;
    CreateDbf(t, table, {FieldDesc{"NAME", 'C', 10, 0, 0}, FieldDesc{"NOTE", 'M', 10, 0, 0}});
  }
  {
    std::ofstream out(memo, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data + 10), static_cast<std::streamsize>(size - 10));
  }
  Select(1);
  USE(table + " EXCLUSIVE");
  if (TzCurrentError() != 0 || MemoFileOf(1) == nullptr) {
    std::fprintf(stderr, "%d %s\n", TzCurrentError(), TzTakeLastErrorText().c_str());
    Fail(__LINE__);
  }
  for (int i = 0; i < 2; ++i) {
    ClearRecord();
    SetBufferInteger(*CurrentWorkArea(), 2, blocks[i]);
    Append();
  }
  MemoFileRec& m = *MemoFileOf(1);
  bool fox = false;
  if (GetMemoBlockSize(m.file.get(), m.type, fox) == 0 || m.blockSize == 0) {
    std::fprintf(stderr, "bs %d %d %d %s\n", GetMemoBlockSize(m.file.get(), m.type, fox), m.blockSize, TzCurrentError(), TzTakeLastErrorText().c_str());
    Fail(__LINE__);
  }
  const std::int64_t fileSize = SizeOf(memo);

  for (std::int32_t b : blocks) {
    if (GetMemo(b)) {
      const MemoLineTable& t = MemoLines();
      if (t.count < 1 || t.count > kMemoMaxLines) Fail(__LINE__);
      for (int i = 1; i <= t.count; ++i)
        if (t.lines[static_cast<std::size_t>(i)].size() > 254) Fail(__LINE__);
    } else {
      ExpectCode({1003, 30});
    }
    std::int64_t total = 0;
    if (CreateBlobDescriptor(true, b, 1) != 0 || b == 0) {
      char buf[700];
      for (std::int32_t n; (n = ReadBlobStream(buf, sizeof buf)) > 0;) total += n;
      if (total > fileSize) Fail(__LINE__);
      if (SeekBlobStream(0, 2) > fileSize) Fail(__LINE__);
      DestroyBlobDescriptor();
    } else {
      ExpectCode({1003, 30});
    }
  }

  // A rewrite of the first memo (its old group may be reused or freed) and
  // a BLOB: both through the free chain of the file.
  MemoLineTable& t = MemoLines();
  t.Clear();
  t.count = 1;
  t.lines[1] = "fuzz";
  const std::int32_t written = CloseMemo(blocks[0]);
  if (written != 0) {
    if (!GetMemo(written) || MemoLines().count != 1 || MemoLines().lines[1] != "fuzz") Fail(__LINE__);
  }
  const std::string bytes(300, '\x1A');
  const std::int32_t blob = CreateBlobDescriptor(false, blocks[1], 2);
  if (blob != 0) {
    if (WriteBlobStream(bytes.data(), 300) != 300) Fail(__LINE__);
    DestroyBlobDescriptor();
    char back[301];
    if (CreateBlobDescriptor(false, blob, 1) == 0) Fail(__LINE__);
    if (ReadBlobStream(back, 301) != 300) Fail(__LINE__);
    DestroyBlobDescriptor();
  }
  // Every memo the table still points at goes into a packed file.
  Pack();
  CloseAll();
  ResetTzEngine();
  return 0;
}
