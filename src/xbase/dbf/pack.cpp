// Pack, Peek, Poke and Search: commands that work on the table file
// directly instead of through the record buffer.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "xbase/core/ansi_literal.h"
#include "xbase/dbf/dbffile.h"
#include "xbase/dbf/locking.h"
#include "xbase/dbf/tablecmds.h"
#include "xbase/core/callbacks.h"
#include "xbase/core/engine.h"
#include "xbase/core/errors.h"
#include "xbase/core/text_utils.h"
#include "xbase/dbf/workarea.h"
#include "xbase/dbf/workarea_internal.h"

namespace zeb::xbase {

namespace {

constexpr std::size_t kBlockBytes = 65520;

std::int64_t RecordOffset(const WorkArea& a, std::int32_t r) {
  return static_cast<std::int64_t>(a.headerLength) +
         static_cast<std::int64_t>(r - 1) * static_cast<std::int64_t>(a.recordLength);
}

// Whole-buffer positioned I/O; 0 or an errno value (EIO for a short read).
int ReadFully(int fd, char* p, std::size_t n, std::int64_t off, std::size_t* got = nullptr) {
  const long long r = ReadAt(fd, p, n, off);
  if (got) *got = r < 0 ? 0 : static_cast<std::size_t>(r);
  if (r < 0) return errno;
  return static_cast<std::size_t>(r) == n ? 0 : EIO;
}

int WriteFully(int fd, const char* p, std::size_t n, std::int64_t off) { return WriteAt(fd, p, n, off); }

std::string PackFailureText(const WorkArea& a) { return "Fehler beim Packen von " + a.fileName + " [Pack]"; }

// The descriptor of the packed table takes the table's share lock (the
// descriptor of the file it replaced goes, and its locks with it).
std::uint16_t TakePackedFile(WorkArea& a, ReplacementFile& copy) {
  FileHandle fresh = copy.Take();
  if (Engine().sharedMode) {
    const short type = (a.fileMode & 0x0F) != 0 && a.exclusive ? F_WRLCK : F_RDLCK;
    if (const int r = SysLockRange(fresh.get(), type, kShareLockByte, 1); r != 0) return ErrnoToTzCode(r);
  }
  a.file = std::move(fresh);
  return 0;
}

}  // namespace

bool Pack() {
  SetTzCurrentError(0);
  Engine().packCommitted = false;
  Engine().packMemoOnly = false;
  Engine().packFormerMemo.clear();
  if (CheckWorkArea("Pack")) return false;
  WorkArea& a = *CurrentWorkArea();
  TzEngine& e = Engine();
  RefreshRecordCount(a);
  if (a.recordCount <= 0 && !a.isVirtual) return true;
  bool reopened = false;
  if (!a.exclusive) {
    std::uint16_t code = ReopenFile(true);
    if (code != 0) {
      TzError(code, PackFailureText(a));
      return false;
    }
    reopened = true;
    std::int32_t counted = DbfRecordsInHeader(a);
    if (counted >= 0) a.recordCount = std::max(counted, a.headerState == kHeaderAppended ? a.recordCount : 0);
  }
  // Whatever ends the pack, an exception too, the table is shared again:
  // a failure inside must not keep other programs out of it.
  struct SharedAgain {
    int area;
    bool pending;
    ~SharedAgain() {
      Areas().reindexing = false;
      if (!pending) return;
      try {
        const std::uint16_t keep = TzCurrentError();
        const int current = CurrentArea();
        SelectArea(area);
        ReopenFile(false);
        SelectArea(current);
        SetTzCurrentError(keep);
      } catch (...) {
        // The pack's own failure is the one reported.
      }
    }
  } sharedAgain{a.number, reopened};
  // Step back to shared use (when Pack made it exclusive), then notify.
  auto finish = [&]() {
    sharedAgain.pending = false;
    if (reopened) {
      std::uint16_t code = ReopenFile(false);
      if (code != 0) {
        TzError(code, "Datenbank kann nicht Sharable wiedergeöffnet werden. " + a.fileName + " [Pack]");
        return;
      }
    }
    NotifyMove(a);
  };
  // A file with a second name (a hard link) would keep the old table under
  // that name: such a table is not packed.
  for (const std::string& name : {a.fileName, a.hasMemo ? MemoFileName(a.fileName, a.Version()) : std::string()}) {
    struct stat st {};
    if (name.empty() || a.isVirtual || ::stat(name.c_str(), &st) != 0 || st.st_nlink <= 1) continue;
    finish();
    TzError(5, "Die Datei " + name + " hat weitere Namen (harte Verknüpfungen), unter denen nach dem Packen die alte "
               "Tabelle stünde. Die Tabelle ist nicht gepackt und unverändert. [Pack]");
    return false;
  }
  if (e.confirmPack && !ConfirmAction("PACK " + a.fileName)) {
    finish();
    return false;
  }
  if (a.isVirtual) {
    a.pendingCommand = 5;
    VirtualFileHooks().Dispatch(a);
    finish();
    return true;
  }

  // The kept records go into a copy beside the table, with the header and
  // the end mark; the copy (and the memo file's, packed for it) then takes
  // the table's place in one step. A failure before leaves table and memo
  // file as they were, for this program and for others that have them open.
  const int fd = a.file.get();
  const std::size_t len = std::max<std::size_t>(a.recordLength, 1);
  const std::int32_t count = a.recordCount;
  std::int32_t kept = 0;
  std::uint16_t code = 0;
  ReplacementFile copy;
  const std::array<std::uint8_t, 32> headerBefore = a.header;
  const std::string updatedBefore = a.lastUpdate;
  {
    SuspendNotify suspend(a);
    a.DropReadAhead();
    int err = copy.Open(a.fileName);
    std::string head(a.headerLength, '\0');
    if (err == 0) err = ReadFully(fd, head.data(), head.size(), 0);
    std::string block, out;
    std::int64_t at = a.headerLength;
    const std::int32_t per = static_cast<std::int32_t>(std::max<std::size_t>(1, kBlockBytes / len));
    for (std::int32_t first = 1; first <= count && err == 0; first += per) {
      const std::int32_t n = std::min(per, count - first + 1);
      block.resize(static_cast<std::size_t>(n) * len);
      err = ReadFully(fd, block.data(), block.size(), RecordOffset(a, first));
      out.clear();
      for (std::int32_t i = 0; i < n && err == 0; ++i) {
        const char* rec = block.data() + static_cast<std::size_t>(i) * len;
        if (rec[0] == '*') continue;
        out.append(rec, len);
        ++kept;
      }
      if (err == 0 && !out.empty()) err = WriteAt(copy.fd(), out.data(), out.size(), at);
      at += static_cast<std::int64_t>(out.size());
    }
    const char mark = 0x1A;
    if (err == 0) err = WriteAt(copy.fd(), &mark, 1, at);
    if (err == 0) {
      StampHeader(a, reinterpret_cast<std::uint8_t*>(head.data()), kept);
      err = WriteAt(copy.fd(), head.data(), head.size(), 0);
    }
    if (err != 0) code = ErrnoToTzCode(err);
  }
  if (code == 0) {
    PackedTableCopy packed{copy.fd(), a.headerLength, kept,
                           [&] { return copy.Sync() != 0 ? ErrnoToTzCode(LastWriteFailure().err) : std::uint16_t{0}; },
                           [&] { return copy.Replace() != 0 ? ErrnoToTzCode(LastWriteFailure().err) : std::uint16_t{0}; }};
    if (a.hasMemo && MemoHooks().Installed()) {
      code = MemoHooks().PackMemofile(packed);
    } else {
      code = packed.flush();
      if (code == 0) code = packed.commit();
    }
  }
  if (code != 0 || !copy.Path().empty()) {
    // Nothing changed: the table stays as it was.
    a.header = headerBefore;
    a.lastUpdate = updatedBefore;
    NoteCopyFailure();
    if (code == 0) code = 101;
    finish();
    GoTop();
    if (e.packMemoOnly)
      TzError(code, "Tabelle " + a.fileName +
                        " nicht gepackt, ihre Memodatei gepackt; die Memodatei der Tabelle steht unter " +
                        e.packFormerMemo + " [Pack]");
    else
      TzError(code, PackFailureText(a));
    return false;
  }
  e.packCommitted = true;
  const std::uint16_t lockCode = TakePackedFile(a, copy);
  a.recordCount = kept;
  a.headerState = kHeaderOnDisk;
  if (kept > 0) {
    ReadRecord(a, 1);
    a.recordNumber = 1;
    a.bof = a.eof = false;
  } else {
    ClearRecordOf(a);
    a.recordNumber = 0;
    a.bof = a.eof = true;
  }
  ReadCache& cache = Areas().cache;
  if (cache.alias == a.alias) cache.Free();
  if (lockCode != 0) {
    finish();
    // The table on the disk is the packed one.
    TzError(lockCode, "Tabelle " + a.fileName + " gepackt, danach nicht sperrbar [Pack]");
    return false;
  }
  if (IndexActive()) {
    Areas().reindexing = true;
    IndexHooks().Reindex();
    Areas().reindexing = false;
  }
  finish();
  return true;
}

std::int32_t RecordsPastCount() {
  if (CheckWorkArea("RecordsPastCount")) return 0;
  WorkArea& a = *CurrentWorkArea();
  if (a.isVirtual) return 0;
  RefreshRecordCount(a);
  return std::max(0, DbfRecordsInFile(a) - a.recordCount);
}

bool MendRecordsPastCount(bool takeIn) {
  SetTzCurrentError(0);
  if (CheckWorkArea("MendRecordsPastCount")) return false;
  WorkArea& a = *CurrentWorkArea();
  if (a.isVirtual) return false;
  // No append of another program may be under way meanwhile.
  if (!a.exclusive && Engine().sharedMode && a.lockState != kLockFile) {
    TzError(5, "Datei muß gesperrt sein: "_ansi + a.fileName + " [MendRecordsPastCount]");
    return false;
  }
  RefreshRecordCount(a);
  const std::int32_t whole = DbfRecordsInFile(a);
  if (whole <= a.recordCount) return false;
  a.DropReadAhead();
  const std::string where = "Datei:  " + a.fileName + " [MendRecordsPastCount]";
  const int fd = a.file.get();
  // What a failure puts back: the header (its count) and the byte where
  // the end mark goes.
  std::array<std::uint8_t, 32> head{};
  const std::size_t headBytes = IsDbase2(a) ? 8 : 32;
  const bool headRead = ReadFully(fd, reinterpret_cast<char*>(head.data()), headBytes, 0) == 0;
  const std::int32_t countBefore = a.recordCount;
  const std::int64_t end = RecordOffset(a, (takeIn ? whole : a.recordCount) + 1);
  char held = 0;
  const bool heldRead = ReadFully(fd, &held, 1, end) == 0;
  // Nothing changed: the byte under the end mark as it was.
  const auto markBack = [&] {
    if (heldRead) WriteFully(fd, &held, 1, end);
  };
  // Not taken in: the count as it was.
  const auto countBack = [&] {
    if (headRead) WriteFully(fd, reinterpret_cast<const char*>(head.data()), headBytes, 0);
    markBack();
    a.recordCount = countBefore;
    a.headerState = kHeaderOnDisk;
  };
  if (takeIn) {
    // The count first: a cut after it leaves a whole table.
    a.recordCount = whole;
    a.headerState = kHeaderAppended;
    try {
      CommitDbf(a);
    } catch (...) {
      countBack();
      throw;
    }
    if (TzCurrentError() != 0) {
      countBack();
      return false;
    }
  }
  const char mark = 0x1A;
  int err = WriteFully(fd, &mark, 1, end);
  if (err == 0 && ::ftruncate(fd, static_cast<off_t>(end + 1)) != 0) err = errno;
  if (err != 0) {
    NoteWriteFailure(fd, err);
    if (takeIn)
      countBack();
    else
      markBack();
    TzError(ErrnoToTzCode(err), where);
    return false;
  }
  ReadCache& cache = Areas().cache;
  if (cache.alias == a.alias) cache.Free();
  return true;
}

void Peek(int n, std::int32_t r, std::string& text) {
  text.clear();
  if (CheckWorkArea("Peek")) return;
  WorkArea& a = *CurrentWorkArea();
  if (a.isVirtual) {
    TzError(1100, "Search-Befehl bei virtuellen Dateien nicht erlaubt. [Peek]");
    return;
  }
  if (r < 1 || r > a.recordCount || n < 0 || n > a.fieldCount) return;
  const std::size_t off = n == 0 ? 0 : a.fields[n - 1].offset;
  const std::size_t flen = n == 0 ? 1 : a.fields[n - 1].length;
  const std::size_t len = a.recordLength;
  ReadCache& c = Areas().cache;
  if (c.count > 0 && c.alias != a.alias) c.Free();
  const std::string where = "DBF: " + a.fileName + " [Peek(" + Num(n) + "," + Num(r) + ")]";
  if (Engine().readCacheSize == 0) {
    std::string bytes(flen, '\0');
    std::size_t got = 0;
    int err = ReadFully(a.file.get(), bytes.data(), flen, RecordOffset(a, r) + static_cast<std::int64_t>(off), &got);
    if (err != 0) {
      TzError(err == EIO ? 100 : ErrnoToTzCode(err), where);
      return;
    }
    text = std::move(bytes);
    return;
  }
  if (!c.Holds(a.alias, r)) {
    std::size_t size = std::min<std::size_t>(Engine().readCacheSize, kBlockBytes);
    std::int32_t records = static_cast<std::int32_t>(size / len);
    records = std::min(records, a.recordCount);
    if (records <= 0) records = 1;
    c.Free();
    c.bytes.resize(static_cast<std::size_t>(records) * len);
    std::size_t got = 0;
    int err = ReadFully(a.file.get(), c.bytes.data(), c.bytes.size(), RecordOffset(a, r), &got);
    std::int32_t whole = static_cast<std::int32_t>(got / len);
    if (whole == 0) {
      c.Free();
      TzError(err == 0 || err == EIO ? 100 : ErrnoToTzCode(err), where);
      return;
    }
    c.bytes.resize(static_cast<std::size_t>(whole) * len);
    c.alias = a.alias;
    c.first = r;
    c.count = whole;
  }
  text = c.bytes.substr(static_cast<std::size_t>(r - c.first) * len + off, flen);
}

void Poke(std::string_view text, int n, std::int32_t r) {
  if (CheckWorkArea("Poke")) return;
  WorkArea& a = *CurrentWorkArea();
  std::string bracket = ("[Poke(" + std::string(text) + "," + Num(n) + "," + Num(r) + ")]").substr(0, 100);
  if (a.isVirtual) {
    TzError(1100, "Search-Befehl bei virtuellen Dateien nicht erlaubt." + bracket);
    return;
  }
  if (Engine().sharedMode && !a.exclusive && !HoldsRecordLock(a, r)) {
    TzError(1200, "Datensatz nicht gesperrt " + bracket);
    return;
  }
  if (r < 1 || n < 0 || n > a.fieldCount || r > a.recordCount) return;
  std::size_t off = 0;
  std::size_t count = 0;
  if (n == 0) {
    count = text.empty() ? 0 : 1;
  } else {
    off = a.fields[n - 1].offset;
    count = std::min<std::size_t>(text.size(), a.fields[n - 1].length);
  }
  if (count == 0) return;
  a.DropReadAhead();
  int err = WriteFully(a.file.get(), text.data(), count, RecordOffset(a, r) + static_cast<std::int64_t>(off));
  if (err != 0) {
    TzError(101, bracket);
    return;
  }
  if (a.headerState != kHeaderAppended) a.headerState = kHeaderReplaced;
  ReadCache& c = Areas().cache;
  if (c.Holds(a.alias, r))
    std::memcpy(c.bytes.data() + static_cast<std::size_t>(r - c.first) * a.recordLength + off, text.data(), count);
}

void SetSearchCallback(std::function<void()> callback) { Areas().searchCallback = std::move(callback); }
void SetSearchFound(bool found) { Areas().foundFlag = found; }
int SearchHitField() { return Areas().searchField; }

void Search(std::string_view text, int& field, bool fromTop) {
  SetTzCurrentError(0);
  if (CheckWorkArea("Search")) return;
  WorkArea& a = *CurrentWorkArea();
  if (a.isVirtual) {
    TzError(1100, "Search-Befehl bei virtuellen Dateien nicht erlaubt. [Search]");
    return;
  }
  std::string pattern = TzTrimRight(text);
  if (pattern.empty()) return;
  pattern = TzUpper(pattern);
  const int wanted = (field >= 1 && field <= a.fieldCount) ? field : 0;
  field = 0;
  auto& unit = Areas();
  const std::size_t len = a.recordLength;
  const std::size_t blockBytes = unit.searchCallback ? kBlockBytes / 2 : kBlockBytes;
  const std::int32_t per = static_cast<std::int32_t>(std::max<std::size_t>(1, blockBytes / std::max<std::size_t>(len, 1)));
  const std::int32_t start = a.recordNumber;
  const std::int32_t count = RecCount();
  std::int32_t firstRecord = fromTop ? 1 : std::max(1, start + 1);
  bool found = false;
  bool stop = false;
  std::string block;
  std::string upper;
  for (std::int32_t rec = firstRecord; rec <= count && !found && !stop; rec += per) {
    std::int32_t n = std::min(per, count - rec + 1);
    block.resize(static_cast<std::size_t>(n) * len);
    std::size_t got = 0;
    ReadFully(a.file.get(), block.data(), block.size(), RecordOffset(a, rec), &got);
    std::size_t whole = got / len;
    if (whole == 0) break;
    block.resize(whole * len);
    RecordCodePage(CodePageDirection::AfterRead, a.oemText, a.afterRead, block.size(), len, block.data());
    upper = TzUpper(block);
    for (std::size_t pos = upper.find(pattern); pos != std::string::npos; pos = upper.find(pattern, pos + 1)) {
      const std::int32_t hit = rec + static_cast<std::int32_t>(pos / len);
      const std::size_t inRecord = pos % len;
      int f = 0;
      for (int i = 0; i < a.fieldCount; ++i) {
        const FieldDesc& d = a.fields[i];
        if (inRecord >= d.offset && inRecord < static_cast<std::size_t>(d.offset) + d.length) {
          f = i + 1;
          break;
        }
      }
      if (f == 0) continue;
      const FieldDesc& d = a.fields[f - 1];
      if (inRecord + pattern.size() > static_cast<std::size_t>(d.offset) + d.length) continue;
      if (d.type == 'M' || (wanted != 0 && wanted != f)) continue;
      if (hit > RecCount()) {
        stop = true;
        break;
      }
      GO(hit);
      if (TzCurrentError() != 0) {
        stop = true;
        break;
      }
      if (!RecordVisible(a)) continue;
      if (unit.searchCallback) {
        unit.searchField = f;
        unit.foundFlag = false;
        unit.searchCallback();
        if (!unit.foundFlag) continue;
      }
      field = f;
      found = true;
      break;
    }
  }
  if (found) return;
  if (start >= 1 && start <= RecCount()) {
    if (a.recordNumber != start || a.eof) GO(start);
  } else if (a.recordNumber != start && RecCount() > 0) {
    GoBottom();
    if (!dEOF()) SKIP(1);
  }
}

}  // namespace zeb::xbase
