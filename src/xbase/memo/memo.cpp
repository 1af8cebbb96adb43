// Memo files: layouts, opening and closing, the lock byte, appending, the
// file header, the free chain of the dBASE IV layout and the block reader.
#include "platform/files.h"
#include "xbase/memo/memo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "xbase/core/ansi_literal.h"
#include "xbase/memo/memo_internal.h"
#include "xbase/core/errors.h"
#include "xbase/core/text_utils.h"

namespace zeb::xbase {

// ---------------------------------------------------------------- helpers

MemoUnit& Memo() { return EngineUnit<MemoUnit>(TzUnit::Memo); }

namespace memoio {

std::int64_t FileSize(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return -1;
  return st.st_size;
}

std::string FreshMemoFile(std::uint8_t memoType, std::uint16_t blockSize, std::string_view fileName) {
  if (blockSize == 0) blockSize = 512;
  std::string bytes;
  if (memoType == kMemoDbase3) {
    bytes.assign(513, '\0');
    bytes[0] = 0x01;
    bytes[512] = 0x1A;
  } else if (memoType == kMemoFoxPro) {
    bytes.assign(512, '\0');
    auto* p = reinterpret_cast<std::uint8_t*>(bytes.data());
    PutBE32(p, 511u / blockSize + 1u);
    PutBE16(p + 6, blockSize);
  } else {
    bytes.assign(24, '\0');
    auto* p = reinterpret_cast<std::uint8_t*>(bytes.data());
    PutLE32(p, 1);
    std::string base = BaseFileName(fileName);
    if (base.size() > 8) base.resize(8);
    std::memcpy(p + 8, base.data(), base.size());
    PutLE16(p + 18, 258);
    PutLE16(p + 20, blockSize);
  }
  return bytes;
}

}  // namespace memoio

using namespace memoio;

namespace {

// Block header of a group in the dBASE IV layout: FF FF 08 00, length.
constexpr std::uint8_t kUsedMark[4] = {0xFF, 0xFF, 0x08, 0x00};

std::uint16_t SetIo(int err) {
  std::uint16_t code = ErrnoToTzCode(err);
  Memo().lastIoResult = code;
  return code;
}

// First block a dBASE IV memo may occupy: past the header (24 bytes) and
// the counter at offset 32 when block 0 holds it.
std::int64_t FirstDataBlock(const MemoFileRec& m) {
  const std::int64_t reserved = m.blockSize >= 36 ? 36 : 24;
  return std::max<std::int64_t>(1, BlocksFor(reserved, m.blockSize));
}

std::int64_t FileBlocks(const MemoFileRec& m) {
  std::int64_t size = FileSize(m.file.get());
  if (size < 0) size = 0;
  return std::max<std::int64_t>(1, size / m.blockSize);
}

// Short pause between lock attempts.
void LockPause() { std::this_thread::sleep_for(std::chrono::microseconds(500)); }

bool LockApplies(const MemoFileRec& m) {
  return Engine().sharedMode && m.owner != nullptr && !m.owner->exclusive;
}

}  // namespace

MemoFileRec* CurrentMemo() {
  WorkArea* a = CurrentWorkArea();
  if (!a) return nullptr;
  return MemoFileOf(a->number);
}

MemoFileRec* MemoFileOf(int area) {
  if (area < 1 || area > kAreaCount) return nullptr;
  auto& slot = Memo().files[static_cast<std::size_t>(area)];
  if (!slot) return nullptr;
  // A record left by an area that is gone is dropped.
  if (slot->owner != AreaAt(area)) {
    slot.reset();
    return nullptr;
  }
  return slot.get();
}

std::string MemoErrorName() {
  if (MemoFileRec* m = CurrentMemo()) return m->name;
  WorkArea* a = CurrentWorkArea();
  if (!a) return {};
  return MemoFileName(a->fileName, a->Version());
}

void MemoFail(std::uint16_t code, const std::string& text) {
  UnlockMemofile();
  TzError(code, text);
}

MemoFileRec* CheckMemoField(std::string_view caller) {
  WorkArea* a = CurrentWorkArea();
  if (!a) {
    TzError(215, " [" + std::string(caller) + "]");
    return nullptr;
  }
  MemoFileRec* m = MemoFileOf(a->number);
  if (!m) {
    TzError(1019, a->fileName + " No Memo Field [" + std::string(caller) + "]");
    return nullptr;
  }
  return m;
}

// ---------------------------------------------------------------- settings

void SetMemoFilters(MemoFilter writeFilter, MemoFilter readFilter) {
  Memo().writeFilter = std::move(writeFilter);
  Memo().readFilter = std::move(readFilter);
}

bool SetMemoWidth(bool on, int width) {
  bool old = Memo().widthOn;
  Memo().widthOn = on;
  Memo().width = width;
  return old;
}

bool SetMemoFlushOnClose(bool on) {
  bool old = Memo().flushOnClose;
  Memo().flushOnClose = on;
  return old;
}

// ---------------------------------------------------------------- types

bool IsDbase4Layout(std::uint8_t t) { return t != kMemoDbase3 && t != kMemoFoxPro; }

std::uint8_t MemoTypeOfVersion(std::uint8_t v) {
  switch (v) {
    case kMemoDbase3:
    case kMemoDbase4:
    case kMemoDbase7:
    case kMemoFoxPro: return v;
    default: return Engine().newTableVersion;
  }
}

std::uint8_t MemoTypeOfArea(const WorkArea& a) { return MemoTypeOfVersion(a.Version()); }

std::uint8_t GetMemoType() {
  if (CheckWorkArea("GetMemoType")) return Engine().newTableVersion;
  return MemoTypeOfArea(*CurrentWorkArea());
}

std::uint16_t GetMemoBlockSize(int fd, std::uint8_t memoType, bool& isFoxPro) {
  isFoxPro = false;
  if (memoType == kMemoDbase3) return 512;
  std::uint8_t h[24] = {};
  if (memoType == kMemoFoxPro) {
    isFoxPro = true;
    if (ReadAt(fd, h, 8, 0) < 8) return 64;
    std::uint16_t bs = GetBE16(h + 6);
    return bs == 0 ? 512 : bs;
  }
  if (ReadAt(fd, h, 24, 0) < 24 || GetLE16(h + 18) != 258) return 512;
  std::uint16_t bs = GetLE16(h + 20);
  return bs == 0 ? 512 : bs;
}

// ---------------------------------------------------------------- open/close

void CreateMemofile(std::string_view fileName) {
  NewMemoFile(fileName, Engine().newTableVersion, Engine().memoBlockSize, "CreateMemofile()");
}

std::uint16_t OpenMemofile(std::string_view tableFileName) {
  SetTzCurrentError(0);
  WorkArea* a = CurrentWorkArea();
  if (!a) {
    TzError(215, " [USE]");
    return 215;
  }
  MemoUnit& u = Memo();
  const std::uint8_t type = MemoTypeOfArea(*a);
  const std::string name = MemoFileName(tableFileName, a->Version());
  if (MemoFileOf(a->number)) {
    TzError(1007, name + " [USE]");
    return 1007;
  }
  auto m = std::make_unique<MemoFileRec>();
  m->type = Engine().newTableVersion;
  m->blockSize = Engine().memoBlockSize == 0 ? 512 : Engine().memoBlockSize;
  m->name = name;
  m->owner = a;
  // Read/write unless an override asks for read-only access; sharing is
  // the table's (its share lock guards the memo file too).
  const std::uint16_t override = Engine().openModeOverride;
  const bool readOnly = override < 65535 && (override & 0x0F) == 0;
  FileHandle fd(OpenRegularNoWait(name.c_str(), (readOnly ? O_RDONLY : O_RDWR) | O_CLOEXEC));
  if (!fd.valid()) {
    const std::uint16_t code = SetIo(errno);
    NoteTableDamage({TableDamageKind::MemoMissing, code, {}, {}, {}, name});
    TzError(code, "Memo-Datei nicht gefunden: " + name + " [USE]");
    return code;
  }
  u.lastIoResult = 0;
  m->file = std::move(fd);
  m->type = type;
  std::uint8_t h[24] = {};
  if (type == kMemoDbase3) {
    m->blockSize = 512;
  } else if (type == kMemoFoxPro) {
    if (ReadAt(m->file.get(), h, 8, 0) == 8 && GetBE16(h + 6) != 0) m->blockSize = GetBE16(h + 6);
  } else {
    if (ReadAt(m->file.get(), h, 24, 0) == 24 && GetLE16(h + 20) != 0) m->blockSize = GetLE16(h + 20);
  }
  m->writeFilter = u.writeFilter;
  m->readFilter = u.readFilter;
  u.files[static_cast<std::size_t>(a->number)] = std::move(m);
  return 0;
}

void CloseMemofile() {
  WorkArea* a = CurrentWorkArea();
  if (!a) return;
  MemoUnit& u = Memo();
  auto& slot = u.files[static_cast<std::size_t>(a->number)];
  if (!slot) return;
  if (slot->owner != a) {
    slot.reset();
    return;
  }
  // A write transfer still open gets its block header first.
  if (slot->blob.open && slot->blob.mode == 2) DestroyBlobDescriptor();
  std::unique_ptr<MemoFileRec> m = std::move(slot);
  const std::string name = m->name;
  const int err = m->file.Close();  // releases the lock byte too
  m.reset();
  const std::uint16_t code = SetIo(err);
  if (code != 0) TzError(code, name + " [CloseMemofile]");
}

void ReCreateMemofile(std::string_view memoFileName) {
  SetTzCurrentError(0);
  WorkArea* a = CurrentWorkArea();
  if (!a) {
    TzError(215, " [ReCreateMemofile]");
    return;
  }
  const std::uint8_t type = MemoTypeOfArea(*a);
  std::uint16_t bs = Engine().memoBlockSize;
  if (MemoFileRec* m = MemoFileOf(a->number)) bs = m->blockSize;
  CloseMemofile();
  if (TzCurrentError() != 0) return;
  NewMemoFile(memoFileName, type, bs, "CreateMemofile()");
  if (TzCurrentError() != 0) return;
  OpenMemofile(memoFileName);
}

// ---------------------------------------------------------------- lock

bool LockMemofile() {
  MemoFileRec* m = CurrentMemo();
  if (!m) return false;
  if (!LockApplies(*m)) {
    m->locked = true;
    return true;
  }
  bool ok = false;
  for (int attempt = 0; attempt < 11 && !ok; ++attempt) {
    if (attempt > 0) LockPause();
    ok = SysLockRange(m->file.get(), F_WRLCK, 10, 1) == 0;
  }
  m->locked = ok;
  return ok;
}

bool UnlockMemofile() {
  MemoFileRec* m = CurrentMemo();
  if (!m || !m->locked) return false;
  m->locked = false;
  if (!LockApplies(*m)) return true;
  return SysLockRange(m->file.get(), F_UNLCK, 10, 1) == 0;
}

std::int64_t LockMemoPadAndSeekEOF(std::string_view caller) {
  MemoFileRec* m = CurrentMemo();
  if (!m) return 0;
  if (!LockMemofile()) {
    TzError(1017, m->name + " [" + std::string(caller) + "]");
    return 0;
  }
  std::int64_t size = FileSize(m->file.get());
  if (size < 0) {
    MemoFail(SetIo(errno), m->name + " [LockMemoPadAndSeekEOF]");
    return 0;
  }
  if (size == 0) {
    // A file without its header gets a fresh one first.
    const std::string fresh = FreshMemoFile(m->type, m->blockSize, m->name);
    int err = WriteAt(m->file.get(), fresh.data(), fresh.size(), 0);
    if (err != 0) {
      MemoFail(SetIo(err), m->name + " [LockMemoPadAndSeekEOF]");
      return 0;
    }
    size = static_cast<std::int64_t>(fresh.size());
  }
  if (size == 513 && m->type == kMemoDbase3) return 513;
  const std::int64_t pad = m->blockSize - size % m->blockSize;
  if (pad < m->blockSize) {
    std::string zeros(static_cast<std::size_t>(pad), '\0');
    int err = WriteAt(m->file.get(), zeros.data(), zeros.size(), size);
    if (err != 0) {
      MemoFail(SetIo(err), m->name + " [LockMemoPadAndSeekEOF]");
      return 0;
    }
    size += pad;
  }
  return size;
}

// ---------------------------------------------------------------- header

bool MainHeaderWrite(std::int64_t block) {
  MemoFileRec* m = CurrentMemo();
  if (!m) return false;
  std::uint8_t b[4];
  const auto v = static_cast<std::uint32_t>(std::clamp<std::int64_t>(block, 0, 0xFFFFFFFFLL));
  if (m->type == kMemoFoxPro)
    PutBE32(b, v);
  else
    PutLE32(b, v);
  int err = WriteAt(m->file.get(), b, 4, 0);
  if (err != 0) {
    SetIo(err);
    MemoFail(29, m->name + " [MainHeaderWrite()]");
    return false;
  }
  return true;
}

bool MemoFlush(MemoFileRec& m) {
  if (::fsync(m.file.get()) != 0) {
    const int err = errno;
    NoteWriteFailure(m.file.get(), err);
    MemoFail(SetIo(err), "Zurückschreiben (Flush) unmöglich für Datei "_ansi + m.name + " [FlushFile]");
    return false;
  }
  return true;
}

bool AddToMemoCounter(MemoFileRec& m, std::uint32_t n) {
  if ((m.type != kMemoDbase4 && m.type != kMemoDbase7) || m.blockSize < 36) return true;
  std::uint8_t b[4];
  if (ReadAt(m.file.get(), b, 4, 32) < 4) {
    MemoFail(30, m.name + " [UpdateMemoHeader()]");
    return false;
  }
  PutLE32(b, GetLE32(b) + n);
  if (WriteAt(m.file.get(), b, 4, 32) != 0) {
    MemoFail(29, m.name + " [UpdateMemoHeader()]");
    return false;
  }
  return true;
}

bool UpdateMemoHeader() {
  MemoFileRec* m = CurrentMemo();
  if (!m) return false;
  std::int64_t size = FileSize(m->file.get());
  if (size < 0) size = 0;
  const std::int64_t blocks = BlocksFor(size, m->blockSize);
  std::uint8_t b[4];
  const auto v = static_cast<std::uint32_t>(std::min<std::int64_t>(blocks, 0xFFFFFFFFLL));
  if (m->type == kMemoFoxPro)
    PutBE32(b, v);
  else
    PutLE32(b, v);
  if (WriteAt(m->file.get(), b, 4, 0) != 0) {
    MemoFail(29, m->name + " [UpdateMemoHeader()]");
    return false;
  }
  if (!AddToMemoCounter(*m, static_cast<std::uint32_t>(Memo().blockReads))) return false;
  if (Engine().sharedMode && m->locked && !UnlockMemofile()) {
    TzError(1018, m->name);
    return false;
  }
  m->locked = false;
  return true;
}

bool WriteGroupHeader(std::int64_t offset, std::int64_t dataLength) {
  MemoFileRec* m = CurrentMemo();
  if (!m || offset <= 0) return true;
  std::uint8_t h[8];
  if (m->type == kMemoFoxPro) {
    PutBE32(h, 1);
    PutBE32(h + 4, static_cast<std::uint32_t>(std::clamp<std::int64_t>(dataLength, 0, 0xFFFFFFFFLL)));
  } else {
    std::memcpy(h, kUsedMark, 4);
    PutLE32(h + 4, static_cast<std::uint32_t>(std::clamp<std::int64_t>(dataLength + 8, 8, 0xFFFFFFFFLL)));
  }
  int err = WriteAt(m->file.get(), h, 8, offset);
  if (err != 0) {
    SetIo(err);
    MemoFail(29, m->name + " [WriteGroupHeader()]");
    return false;
  }
  return true;
}

bool ReadGroupHeader(std::int32_t& block, std::array<std::uint8_t, 8>& header) {
  MemoFileRec* m = CurrentMemo();
  header.fill(0);
  if (!m || block <= 0) return true;
  if (ReadAt(m->file.get(), header.data(), 8, static_cast<std::int64_t>(block) * m->blockSize) < 8) {
    MemoFail(30, m->name + " [ReadGroupHeader()]");
    return false;
  }
  const std::int64_t n = BlocksFor(GetLE32(header.data() + 4), m->blockSize);
  block = static_cast<std::int32_t>(std::min<std::int64_t>(n, kMemoOpenEnd));
  return true;
}

// ---------------------------------------------------------------- append

std::int32_t AddMemo(std::string_view text) {
  SetTzCurrentError(0);
  MemoFileRec* m = CheckMemoField("AddMemo");
  if (!m) return 0;
  std::string data = TzTrimRight(text);
  if (data.empty()) return 0;
  const std::int64_t start = LockMemoPadAndSeekEOF("AddMemo()");
  if (start == 0) return 0;
  const std::int64_t block = start / m->blockSize;
  std::int64_t at = block * m->blockSize;
  if (block > kMemoOpenEnd) {
    MemoFail(1005, m->name + " [AddMemo]");
    return 0;
  }
  if (m->type == kMemoDbase3) {
    // Text, two end marks, zero padding to whole units; each unit filtered.
    data.append("\x1A\x1A");
    data.resize(BlocksFor(static_cast<std::int64_t>(data.size()), kMemoTransferUnit) * kMemoTransferUnit, '\0');
    for (std::size_t i = 0; i < data.size(); i += kMemoTransferUnit) ApplyFilter(m->writeFilter, &data[i], kMemoTransferUnit);
  } else {
    if (!WriteGroupHeader(at, static_cast<std::int64_t>(data.size()))) return 0;
    at += 8;
    for (std::size_t i = 0; i < data.size(); i += kMemoTransferUnit)
      ApplyFilter(m->writeFilter, &data[i], std::min(kMemoTransferUnit, data.size() - i));
  }
  int err = WriteAt(m->file.get(), data.data(), data.size(), at);
  if (err != 0) {
    MemoFail(SetIo(err), m->name + " [AddMemo]");
    return 0;
  }
  if (!MemoFlush(*m) || !UpdateMemoHeader()) return 0;
  return static_cast<std::int32_t>(block);
}

// ---------------------------------------------------------------- free chain
//
// A free element is (next free block, block count). The chain starts at the
// header's next free block and ends at a next of the file's block count or
// more. A walk trusts an element only when it lies past the header inside
// the file, does not start like a used group, and its next lies beyond its
// own blocks (so the chain ascends and cannot cycle); it visits at most 100
// elements. A taken element is unlinked, its remainder (when it can hold an
// element header) linked in its place.

namespace {

struct FreeElement {
  std::int64_t next = 0;
  std::int64_t size = 0;
  bool valid = false;
};

FreeElement ReadElement(MemoFileRec& m, std::int64_t pos, std::int64_t total) {
  FreeElement e;
  if (pos < FirstDataBlock(m) || pos >= total) return e;
  std::uint8_t b[8];
  if (ReadAt(m.file.get(), b, 8, pos * m.blockSize) < 8) return e;
  if (IsUsedGroup(b)) return e;
  e.next = GetLE32(b);
  e.size = GetLE32(b + 4);
  e.valid = e.size >= 1 && pos + e.size <= total && e.size * m.blockSize >= 8 && e.next >= pos + e.size;
  return e;
}

// No block of [pos, pos + n) starts like a used group.
bool RangeIsFree(MemoFileRec& m, std::int64_t pos, std::int64_t n) {
  std::uint8_t b[4];
  for (std::int64_t i = 0; i < n; ++i) {
    if (ReadAt(m.file.get(), b, 4, (pos + i) * m.blockSize) == 4 && IsUsedGroup(b)) return false;
  }
  return true;
}

bool WriteElement(MemoFileRec& m, std::int64_t pos, std::int64_t next, std::int64_t size) {
  std::uint8_t b[8];
  PutLE32(b, static_cast<std::uint32_t>(std::min<std::int64_t>(next, 0xFFFFFFFFLL)));
  PutLE32(b + 4, static_cast<std::uint32_t>(size));
  return WriteAt(m.file.get(), b, 8, pos * m.blockSize) == 0;
}

// The next free block of pos (0: the header).
bool Link(MemoFileRec& m, std::int64_t pos, std::int64_t next) {
  if (pos == 0) {
    std::uint8_t b[4];
    PutLE32(b, static_cast<std::uint32_t>(std::min<std::int64_t>(next, 0xFFFFFFFFLL)));
    return WriteAt(m.file.get(), b, 4, 0) == 0;
  }
  std::uint8_t b[4];
  PutLE32(b, static_cast<std::uint32_t>(std::min<std::int64_t>(next, 0xFFFFFFFFLL)));
  return WriteAt(m.file.get(), b, 4, pos * m.blockSize) == 0;
}

}  // namespace

bool FreeBlockGroup(std::int32_t block, std::int64_t lengthBytes) {
  MemoFileRec* m = CurrentMemo();
  if (!m || !IsDbase4Layout(m->type)) return true;
  const std::string where = m->name + " [EditMemo/CloseMemo]";
  const std::int64_t count = BlocksFor(lengthBytes, m->blockSize);
  const std::int64_t total = FileBlocks(*m);
  std::uint8_t h[24];
  if (ReadAt(m->file.get(), h, 24, 0) < 24) {
    MemoFail(30, where);
    return false;
  }
  const std::int64_t head = GetLE32(h);
  // An empty chain takes nothing (the header is reset after every write);
  // a group that cannot hold an element header or lies outside is left out.
  if (head == total || count < 1 || count * m->blockSize < 8 || block < FirstDataBlock(*m) ||
      block + count > total)
    return true;
  if (head > block) {
    if (head < total && block + count > head) return true;  // overlaps the head
    if (!WriteElement(*m, block, head, count) || !Link(*m, 0, block)) {
      MemoFail(29, where);
      return false;
    }
    return true;
  }
  std::int64_t prev = head;
  for (int visited = 0; visited < kMemoChainLimit; ++visited) {
    FreeElement e = ReadElement(*m, prev, total);
    if (!e.valid || block < prev + e.size) return true;  // damaged, or already free
    if (e.next > block) {
      if (e.next < total && block + count > e.next) return true;
      if (!WriteElement(*m, block, e.next, count) || !Link(*m, prev, block)) {
        MemoFail(29, where);
        return false;
      }
      return true;
    }
    prev = e.next;
  }
  return true;
}

std::int32_t AllocBlockGroup(std::int32_t needed, std::int32_t oldBlock, std::string_view caller) {
  MemoFileRec* m = CurrentMemo();
  if (!m || !IsDbase4Layout(m->type) || needed < 1) return 0;
  const std::string where = m->name + std::string(caller);
  const std::int64_t total = FileBlocks(*m);
  if (oldBlock > 0) {
    std::uint8_t b[8];
    if (ReadAt(m->file.get(), b, 8, static_cast<std::int64_t>(oldBlock) * m->blockSize) < 8) {
      MemoFail(30, where);
      return 0;
    }
    const std::int64_t oldBlocks = BlocksFor(GetLE32(b + 4), m->blockSize);
    if (IsUsedGroup(b) && oldBlock >= FirstDataBlock(*m) && oldBlock + oldBlocks <= total && oldBlocks >= needed) {
      if (oldBlocks > needed && !FreeBlockGroup(static_cast<std::int32_t>(oldBlock + needed), (oldBlocks - needed) * m->blockSize))
        return 0;
      return oldBlock;
    }
  }
  std::uint8_t h[4];
  if (ReadAt(m->file.get(), h, 4, 0) < 4) {
    MemoFail(30, where);
    return 0;
  }
  std::int64_t prev = 0;  // the header
  std::int64_t cur = GetLE32(h);
  int visited = 0;
  if (needed != kMemoOpenEnd) {
    while (cur < total && visited < kMemoChainLimit) {
      FreeElement e = ReadElement(*m, cur, total);
      if (!e.valid) break;
      ++visited;
      // The blocks handed out and the one that takes the remainder's header.
      if (e.size >= needed && RangeIsFree(*m, cur, std::min<std::int64_t>(e.size, needed + 1))) {
        const std::int64_t rest = e.size - needed;
        bool ok;
        if (rest > 0 && rest * m->blockSize >= 8)
          ok = WriteElement(*m, cur + needed, e.next, rest) && Link(*m, prev, cur + needed);
        else
          ok = Link(*m, prev, e.next);
        if (!ok) {
          MemoFail(29, where);
          return 0;
        }
        return static_cast<std::int32_t>(cur);
      }
      prev = cur;
      cur = e.next;
    }
  }
  // No fit: the end of the file. The last trusted element (or the header)
  // points past the new group, which drops a damaged rest of the chain.
  const std::int64_t newEnd = needed < kMemoOpenEnd - total ? total + needed : needed;
  bool ok = Link(*m, prev, newEnd);
  if (ok && visited >= kMemoChainLimit && prev != 0) ok = Link(*m, 0, newEnd);
  if (!ok) {
    MemoFail(29, where);
    return 0;
  }
  return static_cast<std::int32_t>(std::min<std::int64_t>(total, kMemoOpenEnd));
}

// ---------------------------------------------------------------- reader

bool MemoByteReader::Start(MemoFileRec& memo, std::int64_t offset) {
  memo_ = &memo;
  buffer_.clear();
  pushed_.clear();
  at_ = 0;
  fills_ = 0;
  ended_ = false;
  fileSize_ = FileSize(memo.file.get());
  if (fileSize_ < 0) fileSize_ = 0;
  chunk_ = (memo.readFilter || memo.blockSize < kMemoTransferUnit) ? kMemoTransferUnit : memo.blockSize;
  std::uint8_t h[8] = {};
  long long got = ReadAt(memo.file.get(), h, 8, offset);
  if (got <= 0) return false;
  std::int64_t length = -1;
  if (memo.type == kMemoFoxPro) {
    length = got == 8 ? GetBE32(h + 4) : 0;
  } else if (IsUsedGroup(h)) {
    const std::int64_t stored = got == 8 ? GetLE32(h + 4) : 0;
    length = stored > 8 ? stored - 8 : 0;
  }
  byLength_ = length >= 0;
  if (byLength_) {
    next_ = offset + 8;
    remaining_ = std::min<std::int64_t>(length, std::max<std::int64_t>(0, fileSize_ - next_));
  } else {
    next_ = offset;
    remaining_ = std::max<std::int64_t>(0, fileSize_ - offset);
  }
  return true;
}

bool MemoByteReader::Fill() {
  if (ended_ || remaining_ <= 0) return false;
  std::size_t want = chunk_;
  if (byLength_ && fills_ == 0) want = chunk_ - 8;
  want = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(want), remaining_));
  buffer_.resize(want);
  long long got = ReadAt(memo_->file.get(), buffer_.data(), want, next_);
  if (got <= 0) {
    buffer_.clear();
    return false;
  }
  buffer_.resize(static_cast<std::size_t>(got));
  next_ += got;
  remaining_ -= got;
  ++fills_;
  ApplyFilter(memo_->readFilter, buffer_.data(), buffer_.size());
  if (!byLength_) {
    // A dBASE III memo ends at its first end mark.
    std::size_t eom = buffer_.find('\x1A');
    if (eom != std::string::npos) {
      buffer_.resize(eom);
      remaining_ = 0;
    }
  }
  at_ = 0;
  return true;
}

int MemoByteReader::Next() {
  if (!pushed_.empty()) {
    unsigned char c = static_cast<unsigned char>(pushed_.back());
    pushed_.pop_back();
    return c;
  }
  while (at_ >= buffer_.size()) {
    if (!Fill()) {
      ended_ = true;
      return -1;
    }
  }
  return static_cast<unsigned char>(buffer_[at_++]);
}

void MemoByteReader::Unread(std::string_view bytes) {
  for (auto it = bytes.rbegin(); it != bytes.rend(); ++it) pushed_.push_back(*it);
}

}  // namespace zeb::xbase
