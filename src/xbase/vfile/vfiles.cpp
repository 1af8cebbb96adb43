#include "xbase/vfile/vfiles.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <new>

#include "xbase/core/ansi_literal.h"
#include "xbase/core/engine.h"
#include "xbase/core/errors.h"
#include "xbase/core/hooks.h"
#include "xbase/core/text_utils.h"
#include "xbase/dbf/workarea.h"

namespace zeb::xbase {

namespace {

struct Node {
  Node* prev = nullptr;
  Node* next = nullptr;
  std::vector<std::uint8_t> data;
  // The key of the record, kept once computed until the record changes.
  std::string key;
  bool hasKey = false;
};

// The list of one area.
struct VList {
  Node* head = nullptr;
  Node* tail = nullptr;
  Node* cur = nullptr;
  std::int32_t count = 0;
  std::int32_t curNo = 0;
  LStatusType mode = FIFO;
  VFileKeyFunc key;

  VList() = default;
  VList(const VList&) = delete;
  VList& operator=(const VList&) = delete;
  ~VList() { FreeAll(); }
  void FreeAll() {
    Node* n = head;
    while (n != nullptr) {
      Node* next = n->next;
      delete n;
      n = next;
    }
    head = tail = cur = nullptr;
    count = 0;
    curNo = 0;
  }
};

struct VFileUnit : TzEngineUnit {
  std::map<const DbfTable*, std::unique_ptr<VList>> lists;
  VFileCounters counters;
  int allocFailures = 0;
};

VFileUnit& Unit() { return EngineUnit<VFileUnit>(TzUnit::VirtualFiles); }

VList& ListOf(const DbfTable& t) {
  auto& p = Unit().lists[&t];
  if (!p) p = std::make_unique<VList>();
  return *p;
}

WorkArea& AreaOf(DbfTable& t) { return static_cast<WorkArea&>(t); }

std::string Num(long long v) { return std::to_string(v); }

// The key of the record in the buffer, at most 100 characters.
std::string KeyOf(VList& l) {
  ++Unit().counters.keyCalls;
  if (!l.key) return {};
  std::string k = l.key();
  if (k.size() > 100) k.resize(100);
  return k;
}

// Unsigned byte order, a prefix being the smaller.
int CompareKeys(const std::string& a, const std::string& b) {
  const std::size_t n = std::min(a.size(), b.size());
  const int c = std::memcmp(a.data(), b.data(), n);
  if (c != 0) return c < 0 ? -1 : 1;
  return a.size() < b.size() ? -1 : a.size() == b.size() ? 0 : 1;
}

void SyncTable(DbfTable& t, VList& l) {
  t.recordCount = l.count;
  t.recordNumber = l.curNo;
  if (l.count == 0) {
    t.bof = t.eof = true;
    t.recordNumber = 0;
  }
}

void Load(WorkArea& a, const Node* n) {
  if (a.recordBuffer == nullptr || n == nullptr) return;
  const std::size_t size = std::min(n->data.size(), a.recordBufferSize);
  std::memcpy(a.recordBuffer, n->data.data(), size);
}

// Moves the current node to record t from the nearest of head, tail and
// current (ties: current, then tail). False with error 212 outside 1..n.
bool Walk(WorkArea& a, VList& l, std::int32_t t) {
  const std::int32_t n = l.count;
  if (t < 1 || t > n) {
    TzError(212, "Versuch auf ungültigen Datensatz zu positionieren "_ansi + Num(t) +
                     "  Anzahl Datensätze in Datenbank ist "_ansi + Num(n) + a.alias + " [VFiles]");
    return false;
  }
  VFileCounters& c = Unit().counters;
  ++c.positionings;
  const std::int64_t fromHead = t - 1;
  const std::int64_t fromTail = n - t;
  const std::int64_t fromCur = l.cur != nullptr ? std::llabs(static_cast<long long>(t) - l.curNo) : INT64_MAX;
  Node* p;
  if (fromHead < fromCur && fromHead < fromTail) {
    p = l.head;
    for (std::int64_t i = 0; i < fromHead; ++i) p = p->next;
    c.walkSteps += static_cast<std::uint64_t>(fromHead);
  } else if (fromTail <= fromHead && fromTail < fromCur) {
    p = l.tail;
    for (std::int64_t i = 0; i < fromTail; ++i) p = p->prev;
    c.walkSteps += static_cast<std::uint64_t>(fromTail);
  } else {
    p = l.cur;
    if (t > l.curNo)
      for (std::int32_t i = l.curNo; i < t; ++i) p = p->next;
    else
      for (std::int32_t i = l.curNo; i > t; --i) p = p->prev;
    c.walkSteps += static_cast<std::uint64_t>(fromCur);
  }
  l.cur = p;
  l.curNo = t;
  return true;
}

bool Position(WorkArea& a, VList& l, std::int32_t t) {
  if (!Walk(a, l, t)) return false;
  Load(a, l.cur);
  a.recordNumber = t;
  a.eof = a.bof = false;
  return true;
}

// The key of record t (computed with the record loaded, then kept).
std::string KeyAt(WorkArea& a, VList& l, std::int32_t t) {
  if (!Walk(a, l, t)) return {};
  a.recordNumber = t;
  if (!l.cur->hasKey) {
    Load(a, l.cur);
    l.cur->key = KeyOf(l);
    l.cur->hasKey = true;
  }
  return l.cur->key;
}

void LinkAfter(VList& l, Node* after, Node* n) {
  if (after == nullptr) {  // before the head
    n->next = l.head;
    n->prev = nullptr;
    if (l.head) l.head->prev = n;
    l.head = n;
    if (!l.tail) l.tail = n;
    return;
  }
  n->prev = after;
  n->next = after->next;
  if (after->next)
    after->next->prev = n;
  else
    l.tail = n;
  after->next = n;
}

Node* NewNode(WorkArea& a) {
  VFileUnit& u = Unit();
  if (u.allocFailures > 0) {
    --u.allocFailures;
    TzError(217, "Zu wenig HEAP um Zeiger zu alloziieren. Neuer Datensatz nicht anhängbar an "_ansi + a.alias +
                     " [VFiles]");
    return nullptr;
  }
  try {
    auto* n = new Node;
    n->data.assign(a.recordBuffer, a.recordBuffer + a.recordBufferSize);
    return n;
  } catch (const std::bad_alloc&) {
    TzError(217, "HEAP-Speicher ungenügend zum Datensatz-Anhängen an "_ansi + a.alias + " [VFiles]");
    return nullptr;
  }
}

// Inserts the record buffer as a new record by the mode.
void AppendRecord(WorkArea& a, VList& l) {
  if ((l.mode == ASCENDING || l.mode == DESCENDING) && !l.key) {
    TzError(1100, a.alias + " ist eine \"sortierte\" virtuelle Datei ohne Schlüsselfunktion. [Append/InsertRec/PushRec]"_ansi);
    return;
  }
  if (l.mode > DESCENDING) {
    TzError(1100, Num(l.mode) + " ist ein ungültiger VFile-Mode für "_ansi + a.alias +
                      "  [(AddLL) VFiles INTERNAL ERROR]");
    return;
  }
  Node* n = NewNode(a);
  if (n == nullptr) return;
  std::int32_t newNo = 0;
  if (l.count == 0) {
    l.head = l.tail = n;
    newNo = 1;
  } else if (l.mode == FIFO) {
    LinkAfter(l, l.tail, n);
    newNo = l.count + 1;
  } else if (l.mode == LIFO) {
    LinkAfter(l, nullptr, n);
    newNo = 1;
  } else if (l.mode == INSERTION) {
    if (l.curNo > 1 && l.cur != nullptr) {
      Position(a, l, l.curNo - 1);
      Load(a, n);
      LinkAfter(l, l.cur, n);
      newNo = l.curNo + 1;
    } else {
      LinkAfter(l, nullptr, n);
      newNo = 1;
    }
  } else {
    const bool asc = l.mode == ASCENDING;
    const std::string k = KeyOf(l);
    n->key = k;
    n->hasKey = true;
    const int ch = CompareKeys(k, KeyAt(a, l, 1));
    if (asc ? ch <= 0 : ch >= 0) {
      LinkAfter(l, nullptr, n);
      newNo = 1;
    } else {
      bool done = false;
      if (l.count > 1) {
        const int ct = CompareKeys(k, KeyAt(a, l, l.count));
        if (asc ? ct >= 0 : ct <= 0) {
          LinkAfter(l, l.tail, n);
          newNo = l.count + 1;
          done = true;
        }
      }
      if (!done) {
        std::int32_t found = 1;
        if (l.count > 1) {
          std::int32_t lo = 1;
          std::int32_t hi = l.count;
          std::int32_t probe = (1 + l.count) / 2;
          for (;;) {
            const int c = CompareKeys(KeyAt(a, l, probe), k);
            bool ended = false;
            if (asc ? c > 0 : c < 0) {
              hi = probe;
            } else if (c == 0) {
              found = probe;
              ended = true;
            } else {
              lo = probe;
            }
            if (ended) break;
            // A key function that is no strict order cannot make this loop.
            if (hi <= lo + 1) {
              const int cu = CompareKeys(k, KeyAt(a, l, hi));
              found = (asc ? cu >= 0 : cu <= 0) ? hi : lo;
              break;
            }
            probe = lo + (hi - lo) / 2;
          }
        }
        if (l.curNo != found) Walk(a, l, found);
        LinkAfter(l, l.cur, n);
        newNo = found + 1;
      }
    }
  }
  ++l.count;
  l.cur = n;
  l.curNo = newNo;
  a.recordCount = l.count;
  a.recordNumber = newNo;
  a.eof = a.bof = false;
  Load(a, n);
}

// Removes the current record; the next one becomes current.
void RemoveCurrent(WorkArea& a, VList& l) {
  Node* n = l.cur;
  if (n == nullptr) return;
  Node* next = n->next;
  if (n->prev) n->prev->next = n->next; else l.head = n->next;
  if (n->next) n->next->prev = n->prev; else l.tail = n->prev;
  delete n;
  --l.count;
  if (next != nullptr) {
    l.cur = next;
  } else {
    l.cur = l.tail;
    l.curNo = l.count;
  }
  if (l.count == 0) {
    l.cur = nullptr;
    l.curNo = 0;
  }
  SyncTable(a, l);
}

void WriteBack(WorkArea& a, VList& l, std::int32_t n) {
  if (n > l.count || n < 1) {
    AppendRecord(a, l);
    return;
  }
  if (!Walk(a, l, n)) return;
  if (l.mode == ASCENDING || l.mode == DESCENDING) {
    // The record moves to its key position.
    std::vector<std::uint8_t> keep(a.recordBuffer, a.recordBuffer + a.recordBufferSize);
    RemoveCurrent(a, l);
    std::copy(keep.begin(), keep.end(), a.recordBuffer);
    AppendRecord(a, l);
    return;
  }
  l.cur->data.assign(a.recordBuffer, a.recordBuffer + a.recordBufferSize);
  l.cur->hasKey = false;
  a.recordNumber = n;
}

class Dispatcher : public VirtualFileHook {
 public:
  bool Installed() const override { return true; }
  void Dispatch(DbfTable& t) override {
    WorkArea& a = AreaOf(t);
    switch (t.pendingCommand) {
      case 1: {  // close
        Unit().lists.erase(&t);
        return;
      }
      case 2:
      case 9: {  // delete, recall
        VList& l = ListOf(t);
        if (!Walk(a, l, t.pendingRecord)) return;
        l.cur->data[0] = t.pendingCommand == 2 ? 1 : 0;
        if (a.recordBuffer) a.recordBuffer[0] = t.pendingCommand == 2 ? 1 : 0;
        return;
      }
      case 3: {
        VList& l = ListOf(t);
        Position(a, l, t.pendingRecord);
        return;
      }
      case 4: {
        VList& l = ListOf(t);
        l.FreeAll();
        l.mode = static_cast<LStatusType>(std::min<int>(a.virtualOrder, DESCENDING));
        SyncTable(t, l);
        return;
      }
      case 5: {  // pack
        VList& l = ListOf(t);
        Node* n = l.head;
        while (n != nullptr) {
          Node* next = n->next;
          if (!n->data.empty() && n->data[0] != 0) {
            if (n->prev) n->prev->next = n->next; else l.head = n->next;
            if (n->next) n->next->prev = n->prev; else l.tail = n->prev;
            delete n;
            --l.count;
          }
          n = next;
        }
        l.cur = l.head;
        l.curNo = l.count > 0 ? 1 : 0;
        SyncTable(t, l);
        if (l.count > 0) Position(a, l, 1);
        return;
      }
      case 6: PopCurrent(a); return;
      case 7: AppendRecord(a, ListOf(t)); return;
      case 8: WriteBack(a, ListOf(t), t.pendingRecord); return;
      case 10: {
        VList& l = ListOf(t);
        RemoveCurrent(a, l);
        return;
      }
      case 12: {
        VList& l = ListOf(t);
        l.FreeAll();
        SyncTable(t, l);
        return;
      }
      default: return;
    }
  }
  static void PopCurrent(WorkArea& a) {
    VList& l = ListOf(a);
    if (l.count == 0) {
      TzError(1100, "Leere virtuelle Datei: POP unmöglich von "_ansi + a.alias + " [(PopRec) VFiles]");
      return;
    }
    if (l.mode == INSERTION) {
      TzError(1100, "Datensatz POP unzulässig im Einfüge-Modus"_ansi + a.alias + " [(PopRec) VFiles]");
      return;
    }
    if (!Position(a, l, 1)) return;
    RemoveCurrent(a, l);
    if (l.count > 0) {
      l.cur = l.head;
      l.curNo = 1;
      a.recordNumber = 1;
    }
  }
};

// The current area when it holds a virtual file; else the error and null.
WorkArea* VirtualArea(const std::string& command) {
  WorkArea* a = CurrentWorkArea();
  if (a == nullptr) {
    TzError(215, "Keine Datenbank (bzw. kein Arbeitsbereich) geöffnet. ["_ansi + command + "]  WorkArea = " +
                     Num(CurrentArea()));
    return nullptr;
  }
  if (!a->isVirtual) {
    TzError(1100, a->alias + " ist keine virtuelle Datei." + " [" + command + "]");
    return nullptr;
  }
  return a;
}

}  // namespace

void InitVirtualFiles() {
  if (!VirtualFileHooks().Installed()) SetVirtualFileHook(std::make_shared<Dispatcher>());
}

VFileCounters& VFileCounter() { return Unit().counters; }

void SetVFileAllocFailures(int n) { Unit().allocFailures = n; }

void AddStru(const std::vector<FieldDesc>& defs) {
  SetTzCurrentError(0);
  WorkArea* a = VirtualArea("AddStru");
  if (a == nullptr) return;
  std::vector<FieldDesc> out;
  std::size_t off = 1;
  for (std::size_t i = 0; i < defs.size() && i < 255; ++i) {
    FieldDesc f = defs[i];
    f.name = TzUpper(TzTrimRight(f.name)).substr(0, 10);
    f.type = CharToUpper(f.type);
    switch (f.type) {
      case 'C':
      case 'F':
      case 'N':
        if (f.length == 0) {
          TzError(211, "Ungültige Länge, Feldname: \""_ansi + f.name + "\" in VFile-Felderliste. Alias= " + a->alias +
                           " [AddStru]");
          return;
        }
        break;
      case 'D': f.length = 8; f.decimals = 0; break;
      case 'L': f.length = 1; f.decimals = 0; break;
      case 'M': f.type = 'N'; f.length = 10; f.decimals = 0; break;
      default:
        TzError(211, "Ungültiger Typ \""_ansi + std::string(1, f.type) + "\" in VFile-Felderliste. Alias= " + a->alias +
                         " [AddStru]");
        return;
    }
    f.offset = static_cast<std::uint16_t>(std::min<std::size_t>(off, 65535));
    off += FieldBufferSize(f);
    out.push_back(f);
  }
  if (off > a->recordBufferSize) {
    TzError(217, "Zu wenig Speicherplatz: Fehler bei Strukturerstellung " + a->alias + " [AddStru]");
    return;
  }
  a->fields = std::move(out);
  a->fieldCount = static_cast<int>(a->fields.size());
}

void SnipRec() {
  SetTzCurrentError(0);
  WorkArea* a = VirtualArea("SnipRec");
  if (a == nullptr) return;
  VList& l = ListOf(*a);
  if (l.count == 0 || a->recordNumber < 1 || a->recordNumber > l.count) return;
  if (!Walk(*a, l, a->recordNumber)) return;
  RemoveCurrent(*a, l);
  if (l.count > 0) Position(*a, l, l.curNo);
}

void PopRec() {
  SetTzCurrentError(0);
  WorkArea* a = VirtualArea("PopRec");
  if (a == nullptr) return;
  Dispatcher::PopCurrent(*a);
}

void Set_VFileKey_To(VFileKeyFunc key) {
  SetTzCurrentError(0);
  WorkArea* a = VirtualArea("Set_VFileKey_To");
  if (a == nullptr) return;
  VList& l = ListOf(*a);
  l.key = std::move(key);
  for (Node* n = l.head; n != nullptr; n = n->next) n->hasKey = false;
}

LStatusType Get_VFileMode() {
  SetTzCurrentError(0);
  WorkArea* a = VirtualArea("Get_VFileMode");
  if (a == nullptr) return FIFO;
  return ListOf(*a).mode;
}

void Set_VFileMode_To(LStatusType mode) {
  SetTzCurrentError(0);
  WorkArea* a = VirtualArea("Set_VFileMode_To");
  if (a == nullptr) return;
  VList& l = ListOf(*a);
  const bool sorted = mode == ASCENDING || mode == DESCENDING;
  const bool wasSorted = l.mode == ASCENDING || l.mode == DESCENDING;
  if (l.count >= 2 && sorted && (!wasSorted || l.mode != mode)) {
    TzError(1100, "Sortiermodus kann nicht gesetzt werden: Virtuelle Datei enthält Datensätze. ("_ansi + a->alias +
                      ") [(Set_VFileMode_To) VFiles]");
    return;
  }
  l.mode = mode;
}

void SortVFile(LStatusType mode) {
  SetTzCurrentError(0);
  WorkArea* a = VirtualArea("SortVFile");
  if (a == nullptr) return;
  VList& l = ListOf(*a);
  if (!l.key) {
    TzError(1100, a->alias + " hat keine Schlüsselfunktion.  Datensätze können nicht sortiert werden. [SortVFile]"_ansi);
    return;
  }
  if (mode != ASCENDING && mode != DESCENDING) {
    TzError(220, "Sortiermodus ist nicht aufsteigend oder absteigend für "_ansi + a->alias + " [(SortVFile) VFiles]");
    return;
  }
  // The records go one by one into a sorted scratch list, then the scratch
  // list takes the source's place.
  VList sorted;
  sorted.mode = mode;
  sorted.key = l.key;
  const std::vector<std::uint8_t> keep(a->recordBuffer, a->recordBuffer + a->recordBufferSize);
  const std::int32_t count = a->recordCount;
  const std::int32_t number = a->recordNumber;
  for (Node* n = l.head; n != nullptr; n = n->next) {
    Load(*a, n);
    AppendRecord(*a, sorted);
    if (TzCurrentError() != 0) {
      std::copy(keep.begin(), keep.end(), a->recordBuffer);
      a->recordCount = count;
      a->recordNumber = number;
      return;
    }
  }
  l.FreeAll();
  l.head = sorted.head;
  l.tail = sorted.tail;
  l.count = sorted.count;
  l.mode = mode;
  sorted.head = sorted.tail = sorted.cur = nullptr;
  sorted.count = 0;
  l.cur = l.head;
  l.curNo = l.count > 0 ? 1 : 0;
  SyncTable(*a, l);
  if (l.count > 0) {
    Position(*a, l, 1);
  } else {
    std::copy(keep.begin(), keep.end(), a->recordBuffer);
  }
}

}  // namespace zeb::xbase
