// Opening index files into the slots of an area, choosing the master,
// building and opening in one step, rebuilding, closing, and the hook table
// through which the work-area commands reach the index engine.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "platform/files.h"
#include "xbase/core/ansi_literal.h"
#include "xbase/core/hooks.h"
#include "xbase/index/ndx_internal.h"
#include "xbase/index/ndxkeys.h"
#include "xbase/expr/parser.h"
#include "xbase/core/errors.h"
#include "xbase/core/text_utils.h"
#include "xbase/dbf/workarea.h"

namespace zeb::xbase {

const char* const kKeyMakerMarker = "Anwender-definierten KeyMaker benutzt, um Index zu erzeugen";

namespace {

struct IndexOptions {
  std::string name;
  bool unique = false;
  bool soundex = false;
  bool descending = false;
  bool noCache = false;
};

IndexOptions TakeOptions(std::string_view text) {
  IndexOptions o;
  std::string t(text);
  auto take = [&t](const char* word) {
    t = " " + t + " ";
    return RemoveKeyword(word, t);
  };
  o.unique = take(" UNIQUE");
  o.soundex = take(" SOUNDEX");
  o.descending = take(" DESCENDING");
  o.noCache = take(" NOCACHE");
  o.name = AllTrim(t);
  return o;
}

std::string TableName() {
  WorkArea* a = CurrentWorkArea();
  return a ? a->fileName : std::string();
}

bool FileExists(const std::string& name) {
  struct stat st {};
  return ::stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

const std::string kOpenSuffix = " [OpenIndex/Set_Index_To]";

// The expression text of a header block: zero-terminated, from OEM when
// the table is, trailing blanks removed.
std::string HeaderExpression(const std::uint8_t* p, std::size_t n, bool oem) {
  std::string e(reinterpret_cast<const char*>(p), n);
  e = e.substr(0, e.find('\0'));
  if (oem) e = StrOemToAnsi(e);
  return TzTrimRight(e);
}

class ReadSection {
 public:
  ReadSection() { SetReadSemaphoreProc(true); }
  ~ReadSection() {
    try {
      SetReadSemaphoreProc(false);
    } catch (...) {
    }
  }
  ReadSection(const ReadSection&) = delete;
  ReadSection& operator=(const ReadSection&) = delete;
};

class WriteSection {
 public:
  WriteSection() { SetLockSemaphoreProc(true); }
  ~WriteSection() {
    try {
      SetLockSemaphoreProc(false);
    } catch (...) {
    }
  }
  WriteSection(const WriteSection&) = delete;
  WriteSection& operator=(const WriteSection&) = delete;
};

bool AnyIndexOpen(const AreaIndex& ar) {
  for (const auto& s : ar.slots)
    if (s) return true;
  return false;
}

// The body of SetIndexTo: the file into the slot; false after a report.
bool OpenIndex(const std::string& name, int slot, const KeyMaker& keyMaker, const IndexOptions& opt) {
  NdxUnit& u = Ndx();
  AreaIndex& ar = CurArea();
  WorkArea& a = *CurrentWorkArea();
  for (int n = 1; n <= 34; ++n)
    for (int s = 1; s <= kIndexSlots; ++s) {
      if (n == CurAreaNumber() && s == slot) continue;
      IndexControl* other = u.areas[static_cast<std::size_t>(n)].slots[static_cast<std::size_t>(s)].get();
      if (other && other->fileName == name) {
        TzError(220, "Index-Datei bereits geöffnet: "_ansi + name + " für "_ansi + a.fileName + "\r\n" +
                         "Versuch gleichnamigen Index zu setzen für "_ansi + a.fileName + "." + kOpenSuffix);
        return false;
      }
    }
  int fd = OpenRegularNoWait(name.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    TzError(ErrnoToTzCode(errno), "Fehler beim Öffnen der Index-Datei: "_ansi + name + kOpenSuffix);
    return false;
  }
  auto ic = std::make_unique<IndexControl>();
  ic->file = FileHandle(fd);
  ic->fileName = name;
  ic->ownOrder = static_cast<std::uint8_t>(slot);
  ic->keyMaker = keyMaker;
  ic->soundex = keyMaker && opt.soundex;
  ic->descending = keyMaker && opt.descending;
  ic->noCache = opt.noCache;
  const std::string cannot = "Kann Index nicht öffnen: "_ansi + name + kOpenSuffix;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || st.st_size < 1024) {
    TzError(222, cannot);
    return false;
  }
  std::array<std::uint8_t, 125> head{};
  {
    ReadSection section;
    int err = 0;
    if (!ReadAll(fd, head.data(), head.size(), 0, err)) {
      TzError(222, cannot);
      return false;
    }
  }
  std::memcpy(ic->hdr.data(), head.data(), 24);
  const std::string expr = HeaderExpression(head.data() + 24, 101, a.oemText);

  // The header must describe a tree this file can hold.
  const int k = ic->KeyLen();
  const int item = ic->ItemSize();
  const std::int64_t blocks = (st.st_size - kNodeSize) / kNodeSize + 1;
  const std::string damaged = "Ungültiger dBASE-Schlüsselausdruck oder Index-Datei beschädigt "_ansi + name + kOpenSuffix;
  if (k < 0 || k > kMaxKeyLength || item != (k + 8 + 3) / 4 * 4 || ic->KeysPerNode() != 504 / item ||
      ic->Root() == 0 || static_cast<std::int64_t>(ic->Root()) >= blocks ||
      static_cast<std::int64_t>(ic->NextFree()) > blocks || ic->NextFree() < 2) {
    TzError(222, cannot);
    return false;
  }
  const bool marker = expr == kKeyMakerMarker;
  char type = 'C';
  if (!keyMaker) {
    if (marker) {
      TzError(223, "KeyMaker-Funktion benötigt, \""_ansi + name + "\" wurde von KeyMaker-Funktion erzeugt." +
                       kOpenSuffix);
      return false;
    }
    CompiledExpr* c = expr.empty() ? nullptr : AssignExpr(expr);
    if (c && c->type != 'C' && c->type != 'D' && c->type != 'N') ReleaseExpr(c);
    if (!c) {
      TzError(222, damaged);
      return false;
    }
    ic->compiled = c;
    type = c->type;
  } else if (!marker) {
    TzError(223, "KeyMaker-Funktion mit durch dBase-Schlüsselausdruck erzeugter Index-Datei verwendet "_ansi +
                     "[OpenIndex/Set_Index_ToCB(" + name + ")]");
    return false;
  }
  ic->expression = keyMaker ? std::string() : expr;
  ic->charKey = type == 'C';
  // The key type follows the expression; the header's numeric flag and
  // length must agree with it.
  if (ic->Numeric() == ic->charKey || (!ic->charKey && k != 8)) {
    if (ic->compiled) ReleaseExpr(ic->compiled);
    TzError(222, damaged);
    return false;
  }
  ic->currentKey.assign(static_cast<std::size_t>(k) + 1, '\0');
  ClearPositionOf(*ic);
  IndexControl& ref = *ic;
  ar.slots[static_cast<std::size_t>(slot)] = std::move(ic);
  ++u.openIndexes;
  if (slot == 1) SetIndexCache(opt.noCache ? 0 : u.defaultCacheSize);

  // A file longer than the header says: its blocks are taken as used.
  if (static_cast<std::int64_t>(ref.NextFree()) < blocks) {
    WriteSection section;
    ref.SetNextFree(static_cast<std::uint32_t>(blocks));
    ref.anchorDirty = true;
    if (!WriteAnchorNode(slot)) return false;
  }

  RefreshRecordCount(a);
  if (a.recordCount > 0) {
    if (keyMaker && !opt.soundex) {
      // The key of an empty record must have the file's key length.
      CompleteRecordBuffer(a);
      std::string saved = a.stored;
      const std::int32_t savedNo = a.recordNumber;
      a.stored.assign(a.recordLength, ' ');
      a.recordNumber = a.recordCount + 1;
      std::string t;
      keyMaker(slot, t);
      a.stored = std::move(saved);
      a.recordNumber = savedNo;
      if (static_cast<int>(t.size()) != k) {
        std::string width = std::to_string(k);
        while (width.size() < 3) width.insert(width.begin(), ' ');
        TzError(266, "Ungültige Schlüssellänge von anwender-definiertem KeyMaker geliefert."_ansi + "\r\n" +
                         "Erwartete Länge= "_ansi + width + "\n\r" + "Schlüssel= "_ansi + "[" + t + "] " + name +
                         " [SetIndexTo/OpenIndex]");
        CloseIndex(slot);
        return false;
      }
    }
    if (slot == 1) {
      const std::uint8_t savedOrder = u.currentOrderSlot;
      u.currentOrderSlot = 1;
      std::uint32_t r = FindFirstLastRec(true);
      u.currentOrderSlot = savedOrder;
      if (TzCurrentError() != 0) return true;  // a damaged tree: open, REINDEX rebuilds it
      if (r >= 1 && static_cast<std::int32_t>(r) <= a.recordCount) Dbf4RawGo(static_cast<std::int32_t>(r));
    }
    if (a.recordNumber >= 1 && a.recordNumber <= a.recordCount) {
      ref.currentKey = CurrentRecordKey(slot);
      ref.currentKey.push_back('\0');
      ref.keyFromEntryRec = 0;
    }
  } else {
    ref.startFlag = ref.endFlag = true;
    if (ref.charKey) std::fill(ref.currentKey.begin(), ref.currentKey.end() - 1, ' ');
  }
  return true;
}

void Resync();

// Brings the index opened as number order into slot 1.
void ExchangeMaster(AreaIndex& ar, int order) {
  IndexControl* m = ar.slots[1].get();
  const int k = m ? m->ownOrder : 1;
  // The master's node leaves the cache before the roles change.
  if (m && !ar.cache.buffer.empty() && m->node >= ar.cache.buffer.data() &&
      m->node < ar.cache.buffer.data() + ar.cache.buffer.size()) {
    std::memcpy(m->ownNode.data(), m->node, kNodeSize);
    m->node = m->ownNode.data();
  }
  std::swap(ar.slots[1], ar.slots[static_cast<std::size_t>(k)]);
  std::swap(ar.slots[1], ar.slots[static_cast<std::size_t>(order)]);
  EmptyIndexCache(ar);
  for (auto& s : ar.slots)
    if (s) ResetPath(*s);
}

}  // namespace

void CloseIndex(int slot) {
  if (slot < 1 || slot > kIndexSlots) return;
  NdxUnit& u = Ndx();
  AreaIndex& ar = CurArea();
  auto& holder = ar.slots[static_cast<std::size_t>(slot)];
  if (!holder) return;
  IndexControl& ic = *holder;
  if (ic.anchorDirty) {
    WorkArea* a = CurrentWorkArea();
    const bool shared = a && SemaphoreApplies(*a);
    bool locked = false;
    if (shared) {
      int r = SysLockRange(ic.file.get(), F_WRLCK, 0, kNodeSize);
      if (r != 0)
        TzError(ErrnoToTzCode(r), "Konnte Index nicht sperren um Anchor-Knoten zu schreiben" + ic.fileName);
      else
        locked = true;
    }
    try {
      WriteAnchorNode(slot);
    } catch (...) {
      if (locked) SysLockRange(ic.file.get(), F_UNLCK, 0, kNodeSize);
      throw;
    }
    if (locked) {
      int r = SysLockRange(ic.file.get(), F_UNLCK, 0, kNodeSize);
      if (r != 0)
        TzError(ErrnoToTzCode(r), "Konnte Index nicht entsperren nach Schreiben des Anchor-Knotens " + ic.fileName);
    }
  }
  std::unique_ptr<IndexControl> gone = std::move(holder);
  if (slot == 1) SetIndexCache(0);
  if (gone->compiled) ReleaseExpr(gone->compiled);
  int err = gone->file.Close();
  if (u.openIndexes > 0) --u.openIndexes;
  if (err != 0) TzError(ErrnoToTzCode(err), "Fehler beim Schließen der Index-Datei:  "_ansi + gone->fileName);
  if (!AnyIndexOpen(ar)) {
    ar.naturalOrder = false;
    if (!ar.keepLogin) HandleSemafore(kLogout);
  }
}

void CloseIndexes() {
  AreaIndex& ar = CurArea();
  ar.naturalOrder = false;
  const bool saved = SetTzErrorSwitch(false);
  struct Restore {
    bool saved;
    ~Restore() { SetTzErrorSwitch(saved); }
  } restore{saved};
  for (int s = 1; s <= kIndexSlots; ++s) {
    try {
      CloseIndex(s);
    } catch (const ETzError&) {
      // The slot is closed all the same.
      ar.slots[static_cast<std::size_t>(s)].reset();
    }
  }
  try {
    HandleSemafore(kLogout);
  } catch (const ETzError&) {
  }
}

bool SetIndexTo(std::string_view fileAndOptions, int slot, KeyMaker keyMaker) {
  NdxUnit& u = Ndx();
  CloseIndex(slot);
  IndexOptions opt = TakeOptions(fileAndOptions);
  const std::string where = "[SetIndexTo(<>," + opt.name + "," + std::to_string(slot) + ")]";
  if (slot < 1 || slot > kIndexSlots) {
    TzError(220, "Parameter Index-Ordnung außerhalb des zulässigen Bereichs "_ansi + where);
    return false;
  }
  WorkArea* a = CurrentWorkArea();
  if (!a || !a->IsOpen()) {
    TzError(215, "Öffnungsversuch von "_ansi + opt.name + " Index-Datei ohne geöffnete DBF-Datei."_ansi + " " + where);
    return false;
  }
  const std::string name = AddTablePath(opt.name);
  if (!FileExists(name)) {
    TzError(2, "Öffnungsversuch von "_ansi + name + " [SetIndexTo(...," + std::to_string(slot) + ")]");
    return false;
  }
  u.currentOrderSlot = static_cast<std::uint8_t>(slot);
  if (SemaphoreApplies(*a)) {
    opt.noCache = true;
    HandleSemafore(kLogin);
    if (!CurArea().sema) return false;
  }
  bool ok = false;
  try {
    ok = OpenIndex(name, slot, keyMaker, opt);
  } catch (...) {
    if (!AnyIndexOpen(CurArea())) HandleSemafore(kLogout);
    throw;
  }
  u.currentOrderSlot = 1;
  if (!ok) {
    // Nothing open: the semaphore is given up again.
    if (!AnyIndexOpen(CurArea())) {
      const std::uint16_t code = TzCurrentError();
      const std::string text = Engine().lastErrorText;
      HandleSemafore(kLogout);
      Engine().currentError = code;
      Engine().lastError = code;
      Engine().lastErrorText = text;
    }
    return false;
  }
  SemaphoreScope read(false);
  Resync();
  return true;
}

bool Set_Index_ToCB(std::string_view fileAndOptions, int slot, KeyMaker keyMaker) {
  if (!SetIndexTo(fileAndOptions, slot, std::move(keyMaker))) return false;
  Set_Order_To(1);
  return TzCurrentError() == 0;
}

bool Set_Index_ToLFN(std::string_view fileAndOptions, int slot) {
  if (!SetIndexTo(fileAndOptions, slot, {})) return false;
  Set_Order_To(1);
  return TzCurrentError() == 0;
}

void Set_Index_To(std::string_view nameList) {
  NdxUnit& u = Ndx();
  CloseIndexes();
  SetTzCurrentError(0);
  if (!ParserHooks().Installed()) {
    TzError(221, "TZParser-Unit nicht eingebunden. [Set_Index_To]");
    return;
  }
  std::string list = AllTrim(nameList);
  std::uint16_t firstCode = 0;
  std::string firstText;
  int n = 0;
  std::size_t p = 0;
  while (p < list.size()) {
    while (p < list.size() && list[p] == ' ') ++p;
    if (p >= list.size()) break;
    std::size_t e = list.find(' ', p);
    if (e == std::string::npos) e = list.size();
    std::string name = list.substr(p, e - p);
    p = e;
    ++n;
    if (n > kIndexSlots) break;
    SetTzCurrentError(0);
    bool ok = false;
    {
      struct Quiet {
        bool saved = SetTzErrorSwitch(false);
        ~Quiet() { SetTzErrorSwitch(saved); }
      } quiet;
      ok = SetIndexTo(name, n, {});
    }
    if (!ok && firstCode == 0) {
      firstCode = TzCurrentError() != 0 ? TzCurrentError() : 254;
      firstText = Engine().lastErrorText;
    }
  }
  u.currentOrderSlot = 1;
  if (Master()) Set_Order_To(1);
  if (firstCode != 0) TzError(firstCode, firstText + " [SetIndexTo]");
}

void Set_Order_To(int order) {
  NdxUnit& u = Ndx();
  WorkArea* a = CurrentWorkArea();
  const std::string table = TableName();
  if (order > kIndexSlots || order < 0) {
    TzError(220, "Ungültige Index-Ordnung angegeben: SET_ORDER_TO. [Set_Order_To("_ansi + std::to_string(order) +
                     ")] (DBF=" + table + ")");
    return;
  }
  AreaIndex& ar = CurArea();
  if (order == 0) {
    ar.naturalOrder = true;
    return;
  }
  if (!a) return;
  SemaphoreScope read(false);
  const bool wasPastEnd = a->recordNumber > a->recordCount;
  {
    ReadSection section;
    const std::uint8_t found = u.found;
    if (a->recordCount > 0 && a->recordNumber >= 1 && a->recordNumber <= a->recordCount) Dbf4RawGo(a->recordNumber);
    if (order != CurrentOrder() || ar.naturalOrder) {
      IndexControl* m = ar.slots[1].get();
      const int k = m ? m->ownOrder : 1;
      const int wanted = order == 1 ? k : order;
      if (!ar.slots[static_cast<std::size_t>(wanted)]) {
        u.found = found;
        TzError(221, "Index nicht geöffnet.. (DBF="_ansi + table + ") [Set_Order_To(" + std::to_string(order) + ")]");
        return;
      }
      ExchangeMaster(ar, order);
    }
    u.found = found;
  }
  ar.naturalOrder = false;
  u.currentKeySlot = u.currentOrderSlot = 1;
  if (a->recordCount == 0) {
    Resync();
  } else if (wasPastEnd) {
    GoIndexEof();
    Resync();
  }
  SyncIndex(true);
  Resync();
}

int CurrentOrder() {
  AreaIndex& ar = CurArea();
  IndexControl* m = ar.slots[1].get();
  if (!m || ar.naturalOrder) return 0;
  return m->ownOrder;
}

void Reindex() {
  SetTzCurrentError(0);
  if (CheckWorkArea("Reindex")) return;
  WorkArea& a = *CurrentWorkArea();
  AreaIndex& ar = CurArea();
  const int remembered = CurrentOrder();
  const bool natural = ar.naturalOrder;
  // Other programs that share the indexes wait while they are rebuilt in
  // place and read their headers again afterwards: the whole rebuild runs
  // in the write bracket of a semaphore that stays logged in.
  struct KeepLogin {
    AreaIndex& ar;
    bool saved;
    ~KeepLogin() {
      ar.keepLogin = saved;
      if (saved || AnyIndexOpen(ar)) return;
      try {
        HandleSemafore(kLogout);
      } catch (...) {
      }
    }
  } keep{ar, ar.keepLogin};
  ar.keepLogin = true;
  SemaphoreScope write(true);
  if (ar.slots[1] && ar.slots[1]->ownOrder != 1) Set_Order_To(1);
  if (TzCurrentError() != 0) return;
  for (int s = 1; s <= kIndexSlots; ++s) {
    IndexControl* ic = ar.slots[static_cast<std::size_t>(s)].get();
    if (!ic) continue;
    const bool soundex = ic->soundex, descending = ic->descending, unique = ic->Unique();
    const bool cached = s == 1 && ar.cache.size != 0;
    KeyMaker km = ic->keyMaker;
    const std::string name = ic->fileName;
    std::string expr;
    if (!km) {
      std::array<std::uint8_t, 100> buf{};
      int err = 0;
      if (!ReadAll(ic->file.get(), buf.data(), buf.size(), 24, err)) {
        TzError(err != 0 ? ErrnoToTzCode(err) : 100, "Fehler beim Lesen der Index-Datei:  [Reindex]");
        return;
      }
      expr = HeaderExpression(buf.data(), buf.size(), a.oemText);
    }
    CloseIndex(s);
    MakeIndex(name, expr, soundex, km, descending, unique, s);
    if (TzCurrentError() != 0) return;
    std::string options = name;
    if (soundex) options += " SOUNDEX";
    if (descending) options += " DESCENDING";
    if (unique) options += " UNIQUE";
    if (!cached) options += " NOCACHE";
    if (!SetIndexTo(options, s, km)) return;
  }
  if (natural)
    Set_Order_To(0);
  else if (remembered != 0)
    Set_Order_To(remembered);
}

void MakeIndexExpr(std::string_view expression, std::string_view fileAndOptions) {
  IndexOptions o = TakeOptions(fileAndOptions);
  MakeIndex(o.name, expression, false, {}, false, o.unique || Ndx().uniqueDefault, 0);
}

void MakeIndexCB(std::string_view fileAndOptions, KeyMaker keyMaker) {
  IndexOptions o = TakeOptions(fileAndOptions);
  MakeIndex(o.name, "", o.soundex, keyMaker, o.descending, o.unique || Ndx().uniqueDefault, 0);
}

namespace {

void IndexOnBody(std::string_view fileAndOptions, const std::function<void()>& build, const KeyMaker& keyMaker,
                 bool needsParser) {
  ClearTzErrorState();
  CloseIndexes();
  SetTzCurrentError(0);
  if (Master()) {
    TzError(254, "Interner Fehler: IND-Zeiger bereits alloziiert [Index_On]");
    return;
  }
  IndexOptions o = TakeOptions(fileAndOptions);
  if (o.name.empty()) return;
  if (needsParser && !ParserHooks().Installed()) {
    TzError(221, "TZParser-Unit nicht eingebunden. [Index_On]");
    return;
  }
  build();
  if (TzCurrentError() != 0) return;
  if (SetIndexTo(fileAndOptions, 1, keyMaker)) Set_Order_To(1);
}

}  // namespace

void Index_On(std::string_view expression, std::string_view fileAndOptions) {
  IndexOnBody(fileAndOptions, [&] { MakeIndexExpr(expression, fileAndOptions); }, {}, true);
}

void Index_OnCB(std::string_view fileAndOptions, KeyMaker keyMaker) {
  IndexOnBody(fileAndOptions, [&] { MakeIndexCB(fileAndOptions, keyMaker); }, keyMaker, false);
}

bool IndexInfo(std::string_view fileName, IndexInfoRecord& info) {
  info = IndexInfoRecord{};
  if (fileName.empty()) {
    TzError(220, "[IndexInfo(<>,)]");
    return false;
  }
  const std::string name = AddTablePath(fileName);
  const std::string where = "Fehler beim Lesen der Index-Datei: "_ansi + "\n\r" + "[IndexInfo(<>," + name + ")]";
  int fd = OpenRegularNoWait(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    TzError(ErrnoToTzCode(errno), where);
    return false;
  }
  FileHandle file(fd);
  Node h{};
  int err = 0;
  if (!ReadAll(fd, h.data(), kNodeSize, 0, err)) {
    TzError(err != 0 ? ErrnoToTzCode(err) : 100, where);
    return false;
  }
  WorkArea* a = CurrentWorkArea();
  info.expression = HeaderExpression(h.data() + 24, 100, a && a->oemText);
  info.keyLength = GetI16(h.data() + 12);
  info.keyType = static_cast<char>(h[9]);
  info.unique = h[23] != 0;
  const std::uint32_t check = GetU32(h.data() + 488);
  const std::uint32_t count = GetU32(h.data() + 492);
  if (check == ~count) {
    info.recordCount = static_cast<std::int32_t>(count);
    std::string t(reinterpret_cast<const char*>(h.data() + 496), 16);
    info.tableName = t.substr(0, t.find('\0'));
  }
  return true;
}

std::int32_t IndexRecordCount(std::string_view fileName) {
  IndexInfoRecord info;
  if (!IndexInfo(fileName, info)) return -1;
  return info.recordCount;
}

bool SetKeyPadding() {
  bool old = Ndx().keyPadding;
  Ndx().keyPadding = true;
  return old;
}

void ClearKeyPadding() { Ndx().keyPadding = false; }

std::string IndexFileName(int slot) {
  IndexControl* ic = SlotOf(slot);
  return ic ? ic->fileName : std::string();
}

std::uint16_t SetDefaultIndexCacheSize(std::uint16_t bytes) { return std::exchange(Ndx().defaultCacheSize, bytes); }
bool SetIndexNoCache(bool on) { return std::exchange(Ndx().noCache, on); }
bool SetUniqueDefault(bool on) { return std::exchange(Ndx().uniqueDefault, on); }
void SetSemaphoreFolder(std::string_view folder) { Ndx().semaphoreFolder = std::string(folder); }
void SetSemaphoreWaits(int attempts, int waitMs, std::uint16_t writerWaitSeconds) {
  NdxUnit& u = Ndx();
  u.semAttempts = std::max(attempts, 1);
  u.semWaitMs = std::max(waitMs, 0);
  u.writerWaitSeconds = writerWaitSeconds;
}
void SetIndexProgress(std::function<void()> routine, int steps) {
  Ndx().progress = std::move(routine);
  Ndx().progressSteps = steps;
}
std::size_t SetIndexBuildRunItems(std::size_t items) { return std::exchange(Ndx().runItems, items); }
void SetIndexWriteFault(std::function<int(int, std::uint32_t)> fault) { Ndx().writeFault = std::move(fault); }

// ---------------------------------------------------------------- hooks

namespace {

// Hook 9: the master notes the current record's key, positioned on it.
void Resync() {
  IndexControl* m = Master();
  WorkArea* a = CurrentWorkArea();
  if (!m || !a) return;
  const std::int32_t rec = a->recordNumber;
  const bool inTable = rec >= 1 && rec <= a->recordCount;
  const bool onEntry = !m->noPosition && !m->endFlag && m->EntryRec() == static_cast<std::uint32_t>(rec);
  if (!inTable || CurArea().naturalOrder || onEntry) {
    // A step onto this record took its key from the record's entry: in an
    // exclusive table record and entry change only together, so the key
    // needs no second evaluation.
    if (inTable && onEntry && !CurArea().naturalOrder && a->exclusive &&
        m->keyFromEntryRec == static_cast<std::uint32_t>(rec))
      return;
    RememberMasterKey();
    return;
  }
  SoftSyncIndex();
  if (TzCurrentError() == 0) RememberMasterKey();
}

std::string RightAligned(std::int64_t n, int width) {
  std::string s = std::to_string(n);
  while (static_cast<int>(s.size()) < width) s.insert(s.begin(), ' ');
  return s;
}

KeyTextFunc KeyTextOf(int slot) {
  IndexControl* ic = SlotOf(slot);
  if (!ic) return {};
  Ndx().currentKeySlot = static_cast<std::uint8_t>(slot);
  const int area = CurAreaNumber();
  return [area, slot]() -> std::string {
    const int saved = CurrentArea();
    SelectArea(area);
    std::string r;
    if (IndexControl* c = SlotOf(slot)) {
      if (c->keyMaker) {
        c->keyMaker(c->ownOrder, r);
      } else if (const ExprValue* v = EvaluateExpr(c->compiled)) {
        if (c->KeyType() == 'D')
          r = JulianToDisplayDate(v->number);
        else if (!c->charKey)
          r = RealToText(v->number, c->compiled->width, c->compiled->decimals);
        else
          r = v->text.substr(0, 100);
      }
    }
    SelectArea(saved);
    return r;
  };
}

class NdxHooks : public IndexHookTable {
 public:
  bool Installed() const override { return true; }
  bool HasMasterIndex() override { return Master() != nullptr; }
  // Every entry that reads or changes the indexes runs inside the area's
  // semaphore bracket (nested in the caller's, when it holds one).
  void SyncMaster() override {
    SemaphoreScope read(false);
    SyncIndex(false);
  }
  std::int32_t NextRecord() override {
    SemaphoreScope read(false);
    Ndx().currentOrderSlot = 1;
    return static_cast<std::int32_t>(FindNextRec());
  }
  std::int32_t PriorRecord() override {
    SemaphoreScope read(false);
    Ndx().currentOrderSlot = 1;
    return static_cast<std::int32_t>(FindPriorRec());
  }
  std::int32_t TopRecord() override {
    SemaphoreScope read(false);
    Ndx().currentOrderSlot = 1;
    return static_cast<std::int32_t>(IndexTop());
  }
  std::int32_t BottomRecord() override {
    SemaphoreScope read(false);
    Ndx().currentOrderSlot = 1;
    return static_cast<std::int32_t>(IndexBottom());
  }
  bool IndexEof() override {
    WorkArea* a = CurrentWorkArea();
    IndexControl* m = Master();
    if (!a) return true;
    if (CurArea().naturalOrder || !m) return a->eof;
    return m->endFlag;
  }
  bool IndexBof() override {
    WorkArea* a = CurrentWorkArea();
    IndexControl* m = Master();
    if (!a) return true;
    if (CurArea().naturalOrder || !m) return a->bof;
    return m->startFlag;
  }
  void AppendNewKey() override {
    SemaphoreScope write(true);
    xbase::AppendNewKey();
  }
  void Resync() override {
    SemaphoreScope read(false);
    xbase::Resync();
  }
  void SyncAfterReplace() override {
    SemaphoreScope write(true);
    SyncIndex(false);
    RefreshCurrentKeys(true, kIndexSlots);
  }
  void UpdateKeys() override {
    SemaphoreScope write(true);
    AreaIndex& ar = CurArea();
    const bool natural = ar.naturalOrder;
    ar.naturalOrder = false;
    try {
      CompareKeys();
    } catch (...) {
      ar.naturalOrder = natural;
      throw;
    }
    ar.naturalOrder = natural;
    if (TzCurrentError() == 0) xbase::Resync();
  }
  void SetIndexBof() override {
    if (IndexControl* m = Master()) m->startFlag = true;
  }
  void SetIndexEof() override {
    if (IndexControl* m = Master()) m->endFlag = true;
  }
  std::uint8_t* FoundFlag() override { return &Ndx().found; }
  void Reindex() override { xbase::Reindex(); }
  void CloseIndexes() override { xbase::CloseIndexes(); }
  std::string IndexName(std::uint8_t slot) override { return IndexFileName(slot); }
  KeyTextFunc KeyText(std::uint8_t slot) override { return KeyTextOf(slot); }
  KeyTextFunc MasterKeyText() override {
    if (!Master()) return {};
    if (CurArea().naturalOrder) {
      const int area = CurAreaNumber();
      return [area]() {
        WorkArea* a = AreaAt(area);
        return "Rec:" + RightAligned(a ? a->recordNumber : 0, 10);
      };
    }
    return KeyTextOf(1);
  }
  bool IsAscending(std::uint8_t slot) override {
    IndexControl* ic = SlotOf(slot);
    return ic && !ic->descending;
  }
  bool IsSoundex(std::uint8_t slot) override {
    IndexControl* ic = SlotOf(slot);
    return ic && ic->soundex;
  }
  void ReadLock(bool begin) override { SetReadSemaphoreProc(begin); }
  void WriteLock(bool begin) override { SetLockSemaphoreProc(begin); }
};

}  // namespace

void IndexInit() {
  NdxUnit& u = Ndx();
  if (u.installed) {
    TzError(254, "Fehler: Index4- und (!) TzNdx-Unit eingebunden. [IndexInit]");
    return;
  }
  u.currentKeySlot = u.currentOrderSlot = 1;
  u.found = 0;
  u.keyPadding = u.insertSeek = false;
  for (auto& ar : u.areas) {
    ar.naturalOrder = false;
    for (auto& s : ar.slots) s.reset();
    ar.cache = NodeCache{};
  }
  SetIndexHooks(std::make_shared<NdxHooks>());
  u.installed = true;
}

void IndexDone() {
  NdxUnit& u = Ndx();
  if (!u.installed) return;
  const int saved = CurrentArea();
  for (int n = 1; n <= 34; ++n) {
    SelectArea(n);
    try {
      CloseIndexes();
    } catch (const ETzError&) {
    }
  }
  SelectArea(saved);
  SetIndexHooks(nullptr);
  u.installed = false;
}

bool IndexInstalled() { return NdxIfAny() != nullptr && NdxIfAny()->installed; }

}  // namespace zeb::xbase
