// The index engine's state, the block transfers of index files and their
// header block.
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "xbase/core/ansi_literal.h"
#include "xbase/index/ndx_internal.h"
#include "xbase/index/ndxkeys.h"
#include "xbase/expr/parser.h"
#include "xbase/core/errors.h"
#include "xbase/core/text_utils.h"
#include "xbase/dbf/workarea.h"
#include "xbase/dbf/workarea_internal.h"

namespace zeb::xbase {

namespace {

NdxUnit*& UnitPointer() {
  static NdxUnit* unit = nullptr;
  return unit;
}

}  // namespace

NdxUnit::~NdxUnit() {
  // Areas still holding indexes (the work areas close theirs first): the
  // files are closed and the semaphores given up without further reports.
  for (auto& ar : areas) {
    for (auto& s : ar.slots) {
      if (s && s->compiled) ReleaseExpr(s->compiled);
      s.reset();
    }
    DropSemaphore(ar);
  }
  if (UnitPointer() == this) UnitPointer() = nullptr;
}

NdxUnit& Ndx() {
  if (NdxUnit* p = UnitPointer()) return *p;
  auto& u = EngineUnit<NdxUnit>(TzUnit::Index);
  UnitPointer() = &u;
  return u;
}

NdxUnit* NdxIfAny() { return UnitPointer(); }

int CurAreaNumber() {
  int n = CurrentArea();
  return n >= 1 && n <= kAreaCount ? n : 0;
}

AreaIndex& CurArea() { return Ndx().areas[static_cast<std::size_t>(CurAreaNumber())]; }

IndexControl* SlotOf(int slot) {
  if (slot < 1 || slot > kIndexSlots) return nullptr;
  return CurArea().slots[static_cast<std::size_t>(slot)].get();
}

IndexControl* Master() { return SlotOf(1); }

IndexCounters& IndexCounter() { return Ndx().counters; }

void RaiseIndexError(std::uint16_t code, const std::string& text) {
  TzError(code, text);
  if (Engine().halting) return;
  throw ETzError(TzLastErrorMessage());
}

int IndexControl::Compare(const std::uint8_t* a, const std::uint8_t* b) const {
  if (charKey) return CompareBytes(a, b, KeyLen());
  return CompareFloatKeys(a, b);
}

void IndexControl::TakeEntry(int i) {
  const int item = ItemSize();
  entryIndex = i;
  noPosition = false;
  std::fill(entry.begin(), entry.end(), 0);
  if (i >= 0 && i < NodeCount(node)) std::memcpy(entry.data(), EntryAt(node, i, item), static_cast<std::size_t>(item));
}

bool ReadAll(int fd, void* p, std::size_t n, std::int64_t off, int& err) {
  auto* b = static_cast<char*>(p);
  std::size_t done = 0;
  err = 0;
  while (done < n) {
    ssize_t r = ::pread(fd, b + done, n - done, static_cast<off_t>(off + static_cast<std::int64_t>(done)));
    if (r < 0) {
      if (errno == EINTR) continue;
      err = errno;
      return false;
    }
    if (r == 0) return false;
    done += static_cast<std::size_t>(r);
  }
  return true;
}

bool WriteAll(int fd, const void* p, std::size_t n, std::int64_t off, int& err) {
  const auto* b = static_cast<const char*>(p);
  std::size_t done = 0;
  err = 0;
  while (done < n) {
    ssize_t r = ::pwrite(fd, b + done, n - done, static_cast<off_t>(off + static_cast<std::int64_t>(done)));
    if (r < 0) {
      if (errno == EINTR) continue;
      err = errno;
      NoteWriteFailure(fd, err);
      return false;
    }
    if (r == 0) {
      err = ENOSPC;
      NoteWriteFailure(fd, err);
      return false;
    }
    done += static_cast<std::size_t>(r);
  }
  return true;
}

// A node written only where the file holds other bytes: a write that
// would change nothing cannot fail.
bool WriteChanged(int fd, const std::uint8_t* node, std::int64_t off, int& err) {
  std::array<std::uint8_t, kNodeSize> held;
  int readErr = 0;
  if (ReadAll(fd, held.data(), kNodeSize, off, readErr) && std::memcmp(held.data(), node, kNodeSize) == 0) {
    err = 0;
    return true;
  }
  return WriteAll(fd, node, kNodeSize, off, err);
}

bool SeekAndRead(IndexControl& ic, int slot, std::uint32_t block, std::uint8_t* node) {
  (void)slot;
  if (std::uint8_t* copy = FindPathNode(ic, block)) {
    if (copy != node) std::memcpy(node, copy, kNodeSize);
    return true;
  }
  ++Ndx().counters.nodeReads;
  int err = 0;
  bool ok = ReadAll(ic.file.get(), node, kNodeSize, static_cast<std::int64_t>(block) * kNodeSize, err);
  node[2] = node[3] = 0;
  if (!ok) {
    TzError(err != 0 ? ErrnoToTzCode(err) : 100, "Fehler beim Lesen der Index-Datei: " + ic.fileName + " [SeekAndRead]");
    return false;
  }
  return true;
}

bool SeekAndWrite(IndexControl& ic, int slot, std::uint32_t block, std::uint8_t* node) {
  node[2] = node[3] = 0;
  ++ic.writes;
  if (std::uint8_t* copy = FindPathNode(ic, block))
    if (copy != node) std::memcpy(copy, node, kNodeSize);
  AreaIndex& ar = CurArea();
  if (slot == 1 && ar.slots[1].get() == &ic) {
    for (auto& d : ar.cache.dir) {
      if (d.second == nullptr) break;
      if (d.first == block) {
        if (d.second != node) std::memcpy(d.second, node, kNodeSize);
        break;
      }
    }
  }
  NdxUnit& u = Ndx();
  ++u.counters.nodeWrites;
  int err = u.writeFault ? u.writeFault(slot, block) : 0;
  if (err != 0) NoteWriteFailure(ic.file.get(), err);
  if (err == 0) WriteChanged(ic.file.get(), node, static_cast<std::int64_t>(block) * kNodeSize, err);
  if (err != 0) {
    TzError(ErrnoToTzCode(err), "Fehler beim Schreiben der Index-Datei: " + ic.fileName + " [SeekAndWrite]");
    return false;
  }
  return true;
}

void ReadAnchorNodes() {
  AreaIndex& ar = CurArea();
  ++Ndx().counters.headerReads;
  for (int s = 1; s <= kIndexSlots; ++s) {
    IndexControl* ic = ar.slots[static_cast<std::size_t>(s)].get();
    if (!ic) continue;
    std::array<std::uint8_t, 24> h{};
    int err = 0;
    if (!ReadAll(ic->file.get(), h.data(), h.size(), 0, err)) {
      TzError(err != 0 ? ErrnoToTzCode(err) : 100,
              "Fehler beim Lesen der Index-Datei:  " + ic->fileName + " [ReadAnchorNodes]");
      return;
    }
    ic->hdr = h;
    ++ic->writes;  // another program's tree
    ResetPath(*ic);
    ic->stale = true;
  }
  EmptyIndexCache(ar);
}

std::string AnchorTableName(const WorkArea& a) { return BareFileName(a.fileName).substr(0, 12); }

void BuildAnchorBlock(const IndexControl& ic, std::uint8_t* block) {
  std::fill(block, block + kNodeSize, 0);
  std::memcpy(block, ic.hdr.data(), ic.hdr.size());
  WorkArea* a = CurrentWorkArea();
  std::string expr = ic.keyMaker ? std::string(kKeyMakerMarker) : ic.expression;
  if (a && a->oemText && !ic.keyMaker) expr = StrAnsiToOem(expr);
  expr = expr.substr(0, 100);
  std::memcpy(block + 24, expr.data(), expr.size());
  std::uint32_t count = a ? static_cast<std::uint32_t>(std::max(a->recordCount, 0)) : 0;
  PutU32(block + 488, ~count);
  PutU32(block + 492, count);
  if (a) {
    std::string name = AnchorTableName(*a);
    std::memcpy(block + 496, name.data(), name.size());
  }
}

bool WriteAnchorNode(int slot) {
  IndexControl* ic = SlotOf(slot);
  if (!ic) return false;
  ++ic->writes;
  if (WorkArea* a = CurrentWorkArea()) RefreshRecordCount(*a);
  Node block{};
  BuildAnchorBlock(*ic, block.data());
  NdxUnit& u = Ndx();
  int err = u.writeFault ? u.writeFault(slot, 0) : 0;
  if (err != 0) NoteWriteFailure(ic->file.get(), err);
  if (err == 0) WriteChanged(ic->file.get(), block.data(), 0, err);
  if (err != 0) {
    RaiseIndexError(ErrnoToTzCode(err), "Fehler beim Schreiben der Index-Datei:  " + ic->fileName + " [WriteAnchorNode]");
    return false;
  }
  ic->anchorDirty = false;
  return true;
}

std::string AddTablePath(std::string_view name) {
  std::string n(name);
  std::size_t slash = n.rfind('/');
  std::string last = slash == std::string::npos ? n : n.substr(slash + 1);
  if (last.find('.') == std::string::npos) n += ".ndx";
  if (slash != std::string::npos) return n;
  WorkArea* a = CurrentWorkArea();
  if (!a) return n;
  std::size_t p = a->fileName.rfind('/');
  if (p == std::string::npos) return n;
  return a->fileName.substr(0, p + 1) + n;
}

}  // namespace zeb::xbase
