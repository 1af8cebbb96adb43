#include "xbase/dbf/workarea.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

#include <unistd.h>

#include "platform/real48.h"
#include "xbase/core/ansi_literal.h"
#include "xbase/dbf/locking.h"
#include "xbase/core/engine.h"
#include "xbase/core/errors.h"
#include "xbase/core/text_utils.h"
#include "xbase/dbf/workarea_internal.h"

namespace zeb::xbase {

namespace {

const std::string kQuote = "\"";

void CloseAreaAt(int n);

WorkAreaUnit*& UnitPointer() {
  static WorkAreaUnit* unit = nullptr;
  return unit;
}

// The command text after the options: file name and alias.
struct UseOptions {
  std::string name;
  std::string alias;
};

UseOptions SplitAlias(std::string text) {
  UseOptions o;
  std::string up = TzUpper(" " + text + " ");
  std::size_t p = up.find(" ALIAS ");
  if (p == std::string::npos) {
    o.name = AllTrim(text);
    return o;
  }
  // up has one leading blank more than text.
  std::size_t start = p + 7 - 1;
  while (start < text.size() && text[start] == ' ') ++start;
  std::size_t end = text.find(' ', start);
  if (end == std::string::npos) end = text.size();
  o.alias = text.substr(start, std::min<std::size_t>(end - start, 64));
  o.name = AllTrim(text.substr(0, p));
  return o;
}

std::string AliasCheckText(const std::string& alias) {
  return "Alias-Name " + kQuote + alias + kQuote + " bereits benutzt. [USE]";
}

bool AliasInUse(const std::string& alias) {
  auto& u = Areas();
  for (int i = 1; i <= kCallerAreas; ++i)
    if (u.areas[i] && u.areas[i]->alias == alias) return true;
  return false;
}

void UseVirtual(const std::string& cmd, std::uint8_t* buffer, std::size_t size) {
  std::string sizeText = Num(static_cast<long long>(size));
  if (!VirtualFileHooks().Installed()) {
    TzError(1101, "[USE(" + cmd + ",<@Buffer>,<size>)]");
    return;
  }
  if (buffer == nullptr || size == 0) {
    TzError(220, "NIL Puffer-Zeiger [USE(" + cmd + ",Nil,<size>)]");
    return;
  }
  std::string text = " " + cmd + " ";
  RemoveKeyword(" LINKED LIST", text);
  text = " " + text + " ";
  RemoveKeyword(" VIRTUAL FILE", text);
  std::uint8_t storage = 1;
  struct Kw { const char* word; std::uint8_t value; };
  for (const Kw& k : {Kw{" TO HEAP", 1}, Kw{" TO EMS", 2}, Kw{" TO EXT", 3}, Kw{" TO XMS", 3},
                      Kw{" TO BIGGEST", 5}}) {
    text = " " + text + " ";
    if (RemoveKeyword(k.word, text)) storage = k.value;
  }
  std::uint8_t order = 0;
  for (const Kw& k : {Kw{" FIFO", 0}, Kw{" LIFO", 1}, Kw{" INSERTION", 2}, Kw{" ASCENDING", 3},
                      Kw{" DESCENDING", 4}}) {
    text = " " + text + " ";
    if (RemoveKeyword(k.word, text)) order = k.value;
  }
  UseOptions o = SplitAlias(text);
  if (o.alias.empty()) {
    std::size_t b = o.name.find(' ');
    o.alias = o.name.substr(0, b);
  }
  o.alias = TzUpper(o.alias).substr(0, 64);
  if (AliasInUse(o.alias)) {
    TzError(220, AliasCheckText(o.alias));
    return;
  }
  auto& u = Areas();
  auto a = std::make_unique<WorkArea>();
  a->number = u.current;
  a->fileName = o.name;
  a->alias = o.alias;
  a->isVirtual = true;
  a->exclusive = true;
  a->recordBuffer = buffer;
  a->recordBufferSize = size;
  a->recordLength = static_cast<std::uint16_t>(std::min<std::size_t>(size, 65535));
  a->stored.assign(a->recordLength, '\0');
  a->bof = a->eof = true;
  a->storageKind = storage;
  a->virtualOrder = order;
  a->pendingCommand = 4;
  a->headerState = kHeaderOnDisk;
  WorkArea& w = *a;
  u.areas[u.current] = std::move(a);
  VirtualFileHooks().Dispatch(w);
}

}  // namespace

// ---------------------------------------------------------------- unit

WorkAreaUnit::~WorkAreaUnit() {
  // Engine areas first, then the callers'.
  for (int n : {34, 35})
    if (areas[n]) CloseAreaAt(n);
  for (int n = 1; n <= kCallerAreas; ++n)
    if (areas[n]) CloseAreaAt(n);
  if (UnitPointer() == this) UnitPointer() = nullptr;
}

WorkAreaUnit& Areas() {
  // While the unit closes its areas on destruction its engine slot is
  // already empty: hooks called then still find it here.
  if (WorkAreaUnit* p = UnitPointer()) return *p;
  auto& u = EngineUnit<WorkAreaUnit>(TzUnit::WorkAreas);
  UnitPointer() = &u;
  return u;
}

WorkAreaUnit* AreasIfAny() { return UnitPointer(); }

IndexSemaphore::IndexSemaphore(bool active, bool write) : held_(active), write_(write) {
  if (!held_) return;
  if (write_)
    IndexHooks().WriteLock(true);
  else
    IndexHooks().ReadLock(true);
}

IndexSemaphore::~IndexSemaphore() {
  // Left by an exception too: the semaphore is given back, and a failure of
  // that stays recorded instead of ending the program.
  try {
    Release();
  } catch (...) {
  }
}

void IndexSemaphore::Release() {
  if (!held_) return;
  held_ = false;
  if (write_)
    IndexHooks().WriteLock(false);
  else
    IndexHooks().ReadLock(false);
}

SuspendNotify::SuspendNotify(WorkArea& a) : area_(a.number) { saved_ = std::move(a.moveNotify); a.moveNotify = nullptr; }

SuspendNotify::~SuspendNotify() {
  if (WorkArea* a = AreaAt(area_)) a->moveNotify = std::move(saved_);
}

// ---------------------------------------------------------------- areas

WorkArea* AreaAt(int n) {
  if (n < 1 || n > kAreaCount) return nullptr;
  return Areas().areas[n].get();
}

WorkArea* CurrentWorkArea() { return AreaAt(Areas().current); }

bool CheckWorkArea(std::string_view routine) {
  if (CurrentWorkArea() != nullptr) return false;
  TzError(215, "Keine Datenbank (bzw.kein Arbeitsbereich) geöffnet. ["_ansi + std::string(routine) +
                   "]  WorkArea = " + Num(Areas().current));
  return true;
}

void USE(std::string_view command, std::uint8_t* buffer, std::size_t size) {
  UseWithValues(command, buffer, size, {}, {});
}

void UseWithValues(std::string_view command, std::uint8_t* buffer, std::size_t size,
                   RecordProc beforeWrite, RecordProc afterRead) {
  SetTzCurrentError(0);
  auto& u = Areas();
  if (u.current < 1 || u.current > kAreaCount) {
    Select(0);
    if (TzCurrentError() != 0) return;
  }
  CloseArea();
  SetTzCurrentError(0);
  std::string cmd = AllTrim(command);
  if (cmd.empty()) return;
  std::string upper = TzUpper(cmd) + " ";
  if (upper.find("LINKED LIST") != std::string::npos || upper.find("VIRTUAL FILE") != std::string::npos) {
    UseVirtual(cmd, buffer, size);
    return;
  }
  if ((buffer == nullptr) != (size == 0)) {
    TzError(220, "Puffer ist NIL oder Größe ist Null beim Öffnen von "_ansi + cmd + " [USE]");
    return;
  }
  std::string text = " " + cmd + " ";
  bool exclusive = RemoveKeyword(" EXCLUSIVE", text);
  UseOptions o = SplitAlias(text);
  if (o.name.empty()) {
    TzError(220, "Puffer ist NIL oder Größe ist Null beim Öffnen von "_ansi + cmd + " [USE]");
    return;
  }
  std::string path = ResolveTablePath(o.name, "DBF");
  if (o.alias.empty()) o.alias = BaseFileName(path);
  o.alias = TzUpper(o.alias).substr(0, 64);

  TzEngine& e = Engine();
  std::uint16_t mode = e.defaultOpenMode;
  if (exclusive || mode == kModeExclusive) {
    mode = kModeExclusive;
    exclusive = true;
  }
  if (!e.sharedMode) {
    mode = kModeExclusive;
    exclusive = true;
  }
  if (e.openModeOverride < 65535) {
    mode = e.openModeOverride;
    exclusive = IsExclusiveMode(mode) || !e.sharedMode;
  }

  auto a = std::make_unique<WorkArea>();
  a->fileName = path;
  a->oemText = !e.tableIsAnsi;
  a->beforeWrite = std::move(beforeWrite);
  a->afterRead = std::move(afterRead);
  OpenDbf(*a, mode);
  if (TzCurrentError() != 0 || !a->IsOpen()) return;
  a->exclusive = exclusive;
  a->number = u.current;
  a->alias = o.alias;

  std::size_t need = RecordBufferSize(*a);
  if (buffer == nullptr) {
    a->ownedBuffer.assign(need, 0);
    a->recordBuffer = a->ownedBuffer.data();
    a->recordBufferSize = need;
    a->bufferOwned = true;
  } else if (size != need) {
    CloseDbf(*a);
    TzError(266, "Ungleiche Puffer- und Datensatzgröße der Datenbank: "_ansi + cmd + " [USE()]\n\rRecord Size=" +
                     Num(static_cast<long long>(need)) + ", Buffer Size=" + Num(static_cast<long long>(size)));
    return;
  } else {
    a->recordBuffer = buffer;
    a->recordBufferSize = size;
  }
  if (AliasInUse(a->alias)) {
    CloseDbf(*a);
    TzError(220, AliasCheckText(a->alias));
    return;
  }
  WorkArea& w = *a;
  u.areas[u.current] = std::move(a);
  if (w.recordCount <= 0) {
    std::fill(w.recordBuffer, w.recordBuffer + w.recordBufferSize, 0);
    ClearRecord();
    w.bof = w.eof = true;
  } else {
    GoTop();
  }
  w.swapBuffer.assign(w.recordBufferSize, 0);
  if (w.hasMemo && MemoHooks().Installed()) {
    std::uint16_t code = MemoHooks().OpenMemofile(w.fileName);
    if (code != 0) {
      CloseArea();
      NoteTableDamage({TableDamageKind::MemoNotOpened, code, {}, {}, {}, {}});
      TzError(code, "Problem beim Öffnen der Memo-Datei [USE("_ansi + cmd + ",<@Buffer>," +
                        Num(static_cast<long long>(size)) + ")]");
    }
  }
}

void Select(int n) {
  auto& u = Areas();
  if (n == 0) {
    for (int i = 1; i <= kCallerAreas; ++i) {
      if (!u.areas[i]) {
        u.current = i;
        return;
      }
    }
    TzError(220, "Kein Arbeitsbereich frei [Select(0)]");
    return;
  }
  if (n < 0 || n > kCallerAreas) {
    TzError(220, "Ungültiger Arbeitsbereich = [Select("_ansi + Num(n) + ")]");
    return;
  }
  u.current = n;
}

void SelectArea(int n) {
  if (n >= 0 && n <= kAreaCount) Areas().current = n;
}

int CurrentArea() { return Areas().current; }

namespace {

void CloseAreaAt(int n) {
  WorkAreaUnit& u = *UnitPointer();
  auto& slot = u.areas[n];
  if (!slot) return;
  WorkArea& a = *slot;
  int saved = u.current;
  u.current = n;
  struct Restore {
    WorkAreaUnit& u;
    int saved;
    ~Restore() { u.current = saved; }
  } restore{u, saved};
  a.DropReadAhead();
  if (!a.isVirtual && IndexHooks().Installed()) IndexHooks().CloseIndexes();
  RefreshRecordCount(a);
  UnlockArea(a);
  a.swapBuffer.clear();
  if (a.hasMemo && MemoHooks().Installed()) MemoHooks().CloseMemofile();
  if (u.cache.alias == a.alias) u.cache.Free();
  if (a.filterExpr) ParserHooks().ReleaseExpr(a.filterExpr);
  if (a.whileExpr) ParserHooks().ReleaseExpr(a.whileExpr);
  a.filterExpr = a.whileExpr = nullptr;
  std::unique_ptr<WorkArea> holder = std::move(slot);
  CloseDbf(*holder);
}

}  // namespace

void CloseArea() {
  auto& u = Areas();
  if (u.current < 1 || u.current > kAreaCount) return;
  CloseAreaAt(u.current);
}

void CloseAll() {
  auto& u = Areas();
  for (int i = 1; i <= kCallerAreas; ++i) CloseAreaAt(i);
  u.current = 1;
}

// ---------------------------------------------------------------- records

void RefreshRecordCount(WorkArea& a) {
  if (a.isVirtual || a.exclusive || !a.IsOpen()) return;
  // Others' appends count once their header says so; records of our own
  // still waiting for the header stay counted.
  std::int32_t n = DbfRecordsInHeader(a);
  if (n >= 0) a.recordCount = a.headerState == kHeaderAppended ? std::max(n, a.recordCount) : n;
}

std::int32_t RecNo() {
  if (CheckWorkArea("RecNo")) return 0;
  return CurrentWorkArea()->recordNumber;
}

std::int32_t RecCount() {
  if (CheckWorkArea("RecCount")) return 0;
  WorkArea& a = *CurrentWorkArea();
  RefreshRecordCount(a);
  return a.recordCount;
}

std::uint16_t RecSize() {
  if (CheckWorkArea("RecSize")) return 0;
  return CurrentWorkArea()->recordLength;
}

bool Deleted() {
  if (CheckWorkArea("Deleted")) return false;
  WorkArea& a = *CurrentWorkArea();
  return a.recordBuffer != nullptr && a.recordBuffer[0] != 0;
}

bool IndexActive() { return IndexHooks().Installed() && IndexHooks().HasMasterIndex(); }

void ReadRecord(WorkArea& a, std::int32_t n, RecordRead how) {
  GetDbfRecord(a, n, how);
  if (TzCurrentError() != 0 || a.isVirtual) return;
  if (!a.bufferOwned) {
    // The caller's buffer is read without asking: every field at once.
    UnpackRecordData(a, a.recordBuffer);
    a.undecoded = false;
    return;
  }
  a.recordBuffer[0] = (!a.stored.empty() && a.stored[0] == '*') ? 1 : 0;
  if (a.fieldGeneration.size() != a.fields.size()) a.fieldGeneration.assign(a.fields.size(), 0);
  if (++a.generation == 0) {
    std::fill(a.fieldGeneration.begin(), a.fieldGeneration.end(), 0u);
    a.generation = 1;
  }
  a.undecoded = true;
}

void CompleteRecordBuffer(const WorkArea& a) {
  if (!a.undecoded) return;
  a.undecoded = false;
  for (std::size_t i = 0; i < a.fieldGeneration.size(); ++i)
    if (a.fieldGeneration[i] != a.generation) UnpackField(a, a.recordBuffer, static_cast<int>(i) + 1);
}

void UnpackWholeRecord(WorkArea& a) {
  UnpackRecordData(a, a.recordBuffer);
  a.undecoded = false;
}

void ClearRecordOf(WorkArea& a) {
  a.undecoded = false;
  if (a.isVirtual && a.fields.empty()) {
    if (a.recordBuffer) std::fill(a.recordBuffer, a.recordBuffer + a.recordBufferSize, 0);
    return;
  }
  a.stored.assign(a.recordLength, ' ');
  if (a.recordBuffer) UnpackRecordData(a, a.recordBuffer);
}

// Puts the cached copy of record n in step with the file.
void RefreshCachedRecord(WorkArea& a, std::int32_t n) {
  ReadCache& c = Areas().cache;
  if (!c.Holds(a.alias, n) || !a.IsOpen()) return;
  std::int64_t off = a.headerLength + static_cast<std::int64_t>(n - 1) * a.recordLength;
  char* dst = c.bytes.data() + static_cast<std::size_t>(n - c.first) * a.recordLength;
  if (::pread(a.file.get(), dst, a.recordLength, off) != a.recordLength) c.Free();
}

namespace {

bool NeedsRecordLock(const WorkArea& a) { return !a.exclusive && Engine().sharedMode; }

}  // namespace

void ClearRecord() {
  if (CheckWorkArea("ClearRecord")) return;
  ClearRecordOf(*CurrentWorkArea());
}

void GoPhantom(WorkArea& a) {
  ClearRecordOf(a);
  a.recordNumber = a.recordCount + 1;
  a.bof = a.eof = true;
}

void Append() {
  SetTzCurrentError(0);
  Engine().recordWritten = false;
  if (CheckWorkArea("Append")) return;
  WorkArea& a = *CurrentWorkArea();
  a.DropReadAhead();
  if (NeedsRecordLock(a) && a.lockState != kLockFile && a.lockState != kLockAppend) {
    TzError(5, "Datei muß gesperrt sein zum Anhängen: "_ansi + a.fileName + " [APPEND]");
    return;
  }
  RefreshRecordCount(a);
  CompleteRecordBuffer(a);
  // A new record keeps blanks where its value is a blank record's.
  const bool overBlank = std::exchange(a.appendKeepsBlanks, false);
  std::string base = std::exchange(a.appendBase, {});
  if (overBlank) base.assign(a.recordLength, ' ');
  bool idx = IndexActive();
  // Taking the index semaphore reads the current record again: the new
  // record's values are kept over it.
  std::vector<std::uint8_t> values;
  if (idx && a.recordBuffer != nullptr) values.assign(a.recordBuffer, a.recordBuffer + a.recordBufferSize);
  {
    IndexSemaphore sem(idx, true);
    if (!values.empty()) {
      std::copy(values.begin(), values.end(), a.recordBuffer);
      a.undecoded = false;
    }
    if (!a.isVirtual)
      PackRecordData(a, a.recordBuffer, base, a.fieldsSet);
    AppendDbfRecord(a);
    if (TzCurrentError() == 0) {
      // The record is in the table whatever becomes of its keys.
      Engine().recordWritten = true;
      if (!a.isVirtual) UnpackWholeRecord(a);
      if (idx) IndexHooks().AppendNewKey();
    }
  }
  if (TzCurrentError() != 0) return;
  Engine().recordWritten = false;  // and its keys too
  a.eof = a.bof = false;
  NotifyMove(a);
}

void Replace() {
  SetTzCurrentError(0);
  Engine().recordWritten = false;
  if (CheckWorkArea("Replace")) return;
  WorkArea& a = *CurrentWorkArea();
  a.DropReadAhead();
  std::int32_t n = a.recordNumber;
  if (n < 1) {
    TzError(212, "Datenbank " + kQuote + a.fileName + kQuote + " ist leer. [REPLACE]");
    return;
  }
  if (n > a.recordCount) {
    TzError(212, "Datenbank " + kQuote + a.fileName + kQuote + " bei EOF angelangt. [REPLACE]");
    return;
  }
  if (!a.exclusive && !HoldsRecordLock(a, n)) {
    TzError(1200, "Record #" + Num(n) + " in " + a.fileName + " [REPLACE]");
    return;
  }
  bool idx = Engine().replaceUpdatesIndexes && IndexActive() && !a.isVirtual;
  if (idx && a.swapBuffer.size() != a.recordBufferSize) {
    TzError(254, a.fileName + " Tausch-Puffer ist NIL. [REPLACE]");
    return;
  }
  CompleteRecordBuffer(a);
  IndexSemaphore sem(idx, true);
  if (idx) {
    std::copy(a.recordBuffer, a.recordBuffer + a.recordBufferSize, a.swapBuffer.begin());
    ReadRecord(a, n, RecordRead::One);
    CompleteRecordBuffer(a);
    if (TzCurrentError() != 0) {
      std::copy(a.swapBuffer.begin(), a.swapBuffer.end(), a.recordBuffer);
      return;
    }
    IndexHooks().SyncAfterReplace();
    std::copy(a.swapBuffer.begin(), a.swapBuffer.end(), a.recordBuffer);
    a.undecoded = false;
  }
  if (!a.isVirtual) {
    // The record as the file holds it now: fields whose value did not
    // change keep their bytes.
    if (!idx) {
      const bool old = SetTzErrorSwitch(false);
      GetDbfRecord(a, n, RecordRead::One);
      SetTzErrorSwitch(old);
    }
    const bool read = TzCurrentError() == 0 && a.stored.size() == a.recordLength;
    if (!read) ClearTzErrorState();  // then every field is written
    PackRecordData(a, a.recordBuffer, read ? std::string(a.stored) : std::string(), a.fieldsSet, a.editBase,
                   a.overwriteBoth);
  }
  PutDbfRecord(a, n);
  if (TzCurrentError() != 0) return;
  Engine().recordWritten = true;
  if (!a.isVirtual) UnpackWholeRecord(a);
  RefreshCachedRecord(a, n);
  if (idx) IndexHooks().UpdateKeys();
  sem.Release();
  if (TzCurrentError() == 0) Engine().recordWritten = false;  // and its keys too
  NotifyMove(a);
}

namespace {

void SetDeletedMark(bool deleted) {
  SetTzCurrentError(0);
  const char* routine = deleted ? "DeleteRec" : "RecallRec";
  if (CheckWorkArea(routine)) return;
  WorkArea& a = *CurrentWorkArea();
  a.DropReadAhead();
  if (!a.exclusive && !HoldsRecordLock(a, a.recordNumber)) {
    if (deleted)
      TzError(1200, a.fileName + " Datensatz nicht gesperrt [DeleteRec]");
    else
      TzError(1200, "Datensatz nicht gesperrt [RecallRec]");
    return;
  }
  if (!deleted) RefreshRecordCount(a);
  std::int32_t n = a.recordNumber;
  if (n < 1 || n > a.recordCount) {
    if (!deleted) TzError(1103, a.fileName + " at EOF [RecallRec]");
    return;
  }
  if (a.isVirtual) {
    a.pendingCommand = deleted ? 2 : 9;
    a.pendingRecord = n;
    VirtualFileHooks().Dispatch(a);
    return;
  }
  a.recordBuffer[0] = deleted ? 1 : 0;
  if (!a.stored.empty()) a.stored[0] = deleted ? '*' : ' ';
  WriteDeletedFlag(a, n);
  if (TzCurrentError() == 0) RefreshCachedRecord(a, n);
}

}  // namespace

void DeleteRec() { SetDeletedMark(true); }
void RecallRec() { SetDeletedMark(false); }

// ---------------------------------------------------------------- fields

namespace {

const FieldDesc* CheckedField(int n, const char* routine) {
  if (CheckWorkArea(routine)) return nullptr;
  WorkArea& a = *CurrentWorkArea();
  if (n < 1 || n > a.fieldCount || n > static_cast<int>(a.fields.size())) {
    TzError(220, "Ungültige Feldnr. ["_ansi + routine + "(" + Num(n) + ")]");
    return nullptr;
  }
  return &a.fields[n - 1];
}

std::uint8_t* FieldPtr(const WorkArea& a, int field) {
  if (a.undecoded && static_cast<std::size_t>(field - 1) < a.fieldGeneration.size()) {
    std::uint32_t& g = a.fieldGeneration[static_cast<std::size_t>(field - 1)];
    if (g != a.generation) {
      UnpackField(a, a.recordBuffer, field);
      g = a.generation;
    }
  }
  return a.recordBuffer + FieldBufferOffset(a, field);
}

}  // namespace

int FieldCount() {
  if (CheckWorkArea("FieldCount")) return 0;
  return CurrentWorkArea()->fieldCount;
}

std::string Field(int n) {
  const FieldDesc* f = CheckedField(n, "Field");
  return f ? f->name : std::string();
}

int FieldNo(std::string_view name) {
  if (CheckWorkArea("FieldNo")) return 0;
  WorkArea& a = *CurrentWorkArea();
  std::string key = TzUpper(TzTrimRight(name.substr(0, 10)));
  for (int i = 0; i < a.fieldCount && i < static_cast<int>(a.fields.size()); ++i)
    if (a.fields[i].name == key) return i + 1;
  return 0;
}

char FieldType(int n) {
  const FieldDesc* f = CheckedField(n, "FieldType");
  return f ? f->type : '\0';
}

std::uint8_t FieldLen(int n) {
  const FieldDesc* f = CheckedField(n, "FieldLen");
  if (!f) return 0;
  if (f->type == 'D') return Engine().century ? 10 : 8;
  return f->length;
}

std::uint8_t FieldDec(int n) {
  const FieldDesc* f = CheckedField(n, "FieldDec");
  return f ? f->decimals : 0;
}

std::uint8_t* FieldAddress(int n) {
  if (CheckWorkArea("FieldAddress")) return nullptr;
  WorkArea& a = *CurrentWorkArea();
  CompleteRecordBuffer(a);  // the caller may read past the field
  if (n == 0) return a.recordBuffer;
  if (n < 1 || n > a.fieldCount) {
    TzError(220, " Ungültige Feldnr. [FieldAddress("_ansi + Num(n) + ")]");
    return nullptr;
  }
  return FieldPtr(a, n);
}

std::string FieldAsString(int n) {
  const FieldDesc* f = CheckedField(n, "FieldAsString");
  if (!f) return {};
  WorkArea& a = *CurrentWorkArea();
  switch (f->type) {
    case 'C':
    case 'D':
      return BufferText(a, n);
    case 'N':
    case 'F':
      if (f->decimals > 0) return RealToText(BufferNumber(a, n), f->length, f->decimals);
      return IntToText(BufferInteger(a, n), f->length);
    case 'L': {
      const std::string& t = Engine().logicalTexts;
      char c = BufferLogical(a, n) ? (t.size() > 1 ? t[1] : 'Y') : (t.empty() ? 'N' : t[0]);
      return std::string(1, c);
    }
    case 'M': {
      std::int64_t r = BufferInteger(a, n);
      return r == 0 ? "none" : (r > 0 ? "MEMO" : "BLOB");
    }
    default:
      return {};
  }
}

std::string AliasOf() {
  WorkArea* a = CurrentWorkArea();
  return a ? a->alias : std::string();
}

std::string AreaName() {
  WorkArea* a = CurrentWorkArea();
  return a ? a->fileName : std::string();
}

// ---------------------------------------------------------------- buffer

std::string BufferText(const WorkArea& a, int field) {
  const FieldDesc& f = a.fields[field - 1];
  std::size_t size = FieldBufferSize(f);
  if (size == 0) return {};
  return ReadShortString(FieldPtr(a, field), size - 1);
}

void SetBufferText(WorkArea& a, int field, std::string_view text) {
  const FieldDesc& f = a.fields[field - 1];
  std::size_t size = FieldBufferSize(f);
  if (size == 0) return;
  WriteShortString(FieldPtr(a, field), size - 1, text.substr(0, size - 1));
}

long double BufferNumber(const WorkArea& a, int field) {
  const FieldDesc& f = a.fields[field - 1];
  const std::uint8_t* p = FieldPtr(a, field);
  switch (FieldBufferKind(f)) {
    case BufferKind::Int32:
    case BufferKind::MemoRef: {
      std::int32_t v;
      std::memcpy(&v, p, 4);
      return v;
    }
    case BufferKind::Int64: {
      std::int64_t v;
      std::memcpy(&v, p, 8);
      return static_cast<long double>(v);
    }
    case BufferKind::Double: {
      double v;
      std::memcpy(&v, p, 8);
      return std::isfinite(v) ? v : 0.0;
    }
    case BufferKind::Real48: {
      Real48 r;
      std::memcpy(r.data(), p, 6);
      return Real48ToReal(r);
    }
    case BufferKind::Logical:
      return *p != 0 ? 1 : 0;
    default:
      return 0;
  }
}

std::int64_t BufferInteger(const WorkArea& a, int field) {
  const FieldDesc& f = a.fields[field - 1];
  if (FieldBufferKind(f) == BufferKind::Int64) {
    std::int64_t v;
    std::memcpy(&v, FieldPtr(a, field), 8);
    return v;
  }
  long double x = std::trunc(BufferNumber(a, field));
  if (x >= 9.2e18L) return std::numeric_limits<std::int64_t>::max();
  if (x <= -9.2e18L) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(x);
}

void SetBufferNumber(WorkArea& a, int field, long double value) {
  const FieldDesc& f = a.fields[field - 1];
  std::uint8_t* p = FieldPtr(a, field);
  if (!std::isfinite(value)) value = 0;
  switch (FieldBufferKind(f)) {
    case BufferKind::Int32:
    case BufferKind::MemoRef: {
      long double t = std::trunc(value);
      t = std::clamp<long double>(t, std::numeric_limits<std::int32_t>::min(),
                                  std::numeric_limits<std::int32_t>::max());
      std::int32_t v = static_cast<std::int32_t>(t);
      std::memcpy(p, &v, 4);
      break;
    }
    case BufferKind::Int64: {
      long double t = std::trunc(value);
      std::int64_t v = t >= 9.2e18L ? std::numeric_limits<std::int64_t>::max()
                      : t <= -9.2e18L ? std::numeric_limits<std::int64_t>::min()
                                      : static_cast<std::int64_t>(t);
      std::memcpy(p, &v, 8);
      break;
    }
    case BufferKind::Double: {
      double v = static_cast<double>(value);
      if (!std::isfinite(v)) v = 0;
      std::memcpy(p, &v, 8);
      break;
    }
    case BufferKind::Real48: {
      Real48 r{};
      if (!RealToReal48(value, r)) r = Real48{};
      std::memcpy(p, r.data(), 6);
      break;
    }
    case BufferKind::Logical:
      *p = value != 0 ? 1 : 0;
      break;
    default:
      break;
  }
}

void SetBufferInteger(WorkArea& a, int field, std::int64_t value) {
  const FieldDesc& f = a.fields[field - 1];
  if (FieldBufferKind(f) == BufferKind::Int64) {
    std::memcpy(FieldPtr(a, field), &value, 8);
    return;
  }
  SetBufferNumber(a, field, static_cast<long double>(value));
}

bool BufferLogical(const WorkArea& a, int field) {
  const FieldDesc& f = a.fields[field - 1];
  if (FieldBufferKind(f) != BufferKind::Logical) return false;
  return *FieldPtr(a, field) != 0;
}

void SetBufferLogical(WorkArea& a, int field, bool value) {
  const FieldDesc& f = a.fields[field - 1];
  if (FieldBufferKind(f) == BufferKind::Logical) *FieldPtr(a, field) = value ? 1 : 0;
}

}  // namespace zeb::xbase
