// Searching and stepping an open index: descents from the root, the user's
// key search, steps to the neighbouring entries, and keeping the master in
// step with the current record of the area.
#include <algorithm>
#include <charconv>

#include "xbase/core/ansi_literal.h"
#include "xbase/index/ndx_internal.h"
#include "xbase/index/ndxkeys.h"
#include "xbase/core/errors.h"
#include "xbase/core/text_utils.h"
#include "xbase/dbf/workarea.h"

namespace zeb::xbase {

namespace {

bool IsLeaf(const std::uint8_t* node) { return GetU32(node + 4) == 0; }

// A tree is never deeper than its file has blocks.
int DepthLimit(const IndexControl& ic) {
  return static_cast<int>(std::min<std::uint32_t>(kMaxDepth, ic.NextFree()));
}

std::int32_t RecordCountOf(WorkArea& a) {
  RefreshRecordCount(a);
  return a.recordCount;
}

std::string DamagedPath(const IndexControl& ic, const char* where) {
  return "Index-Datei beschädigt (Knotenpfad): "_ansi + ic.fileName + " [" + where + "]";
}

// Pushes the current node and descends along first (or last) children.
bool DescendFromCurrent(IndexControl& ic, int slot, bool first, bool withPath) {
  const int item = ic.ItemSize();
  int depth = 0;
  for (;;) {
    if (withPath) AddPath(ic);
    if (IsLeaf(ic.node)) break;
    std::uint32_t child = first ? EntryChild(EntryAt(ic.node, 0, item)) : RightChild(ic.node, item);
    if (++depth > DepthLimit(ic)) {
      TzError(254, DamagedPath(ic, "Descend"));
      return false;
    }
    if (!GetNode(child, slot)) return false;
  }
  const int count = NodeCount(ic.node);
  if (first || count == 0) {
    ic.TakeEntry(0);
    Ndx().positionCode = count == 0 ? -1 : 0;
  } else {
    ic.TakeEntry(count - 1);
    Ndx().positionCode = count - 1;
  }
  return true;
}

// The first or last entry from the root, with the path; false for an empty
// index (or a failure).
bool PositionEnd(IndexControl& ic, int slot, bool first) {
  KeepPath(ic, false);
  ResetPath(ic);
  ic.stale = false;
  if (!GetNode(ic.Root(), slot)) return false;
  if (NodeCount(ic.node) == 0 && IsLeaf(ic.node)) {
    ic.TakeEntry(0);
    return false;
  }
  return DescendFromCurrent(ic, slot, first, true) && NodeCount(ic.node) > 0;
}

void SetCurrentKeyFromEntry(IndexControl& ic) {
  const int k = ic.KeyLen();
  ic.currentKey.assign(reinterpret_cast<const char*>(ic.EntryKeyBytes()), static_cast<std::size_t>(k));
  ic.currentKey.push_back('\0');
  ic.keyFromEntryRec = ic.EntryRec();
}

// The neighbouring leaf after (or before) the current one, found through
// the path's copies; false and nothing changed when there is none.
bool NeighbourLeaf(IndexControl& ic, int slot, bool next, bool& failed) {
  failed = false;
  const int item = ic.ItemSize();
  if (ic.path.size() < 2) return false;
  for (std::size_t lv = ic.path.size() - 1; lv-- > 0;) {
    const std::uint8_t* p = ic.path[lv].node.data();
    const std::uint32_t b = ic.path[lv + 1].block;
    const int count = NodeCount(p);
    int pos = -1;  // b's place among the children, count = right-most
    for (int i = 0; i < count; ++i)
      if (EntryChild(EntryAt(p, i, item)) == b) {
        pos = i;
        break;
      }
    if (pos < 0 && RightChild(p, item) == b) pos = count;
    if (pos < 0) {
      TzError(254, DamagedPath(ic, next ? "_FindNextRec" : "_FindPriorRec"));
      failed = true;
      return false;
    }
    std::uint32_t child = 0;
    if (next) {
      if (pos == count) continue;
      child = pos + 1 < count ? EntryChild(EntryAt(p, pos + 1, item)) : RightChild(p, item);
    } else {
      if (pos == 0) continue;
      child = EntryChild(EntryAt(p, pos - 1, item));
    }
    KeepPath(ic, true);
    ic.path.resize(lv + 1);
    if (!GetNode(child, slot) || !DescendFromCurrent(ic, slot, next, true)) {
      failed = true;
      return false;
    }
    if (NodeCount(ic.node) == 0) {
      TzError(254, DamagedPath(ic, next ? "_FindNextRec" : "_FindPriorRec"));
      failed = true;
      return false;
    }
    return true;
  }
  return false;
}

IndexControl* OrderIndex(int& slot) {
  slot = Ndx().currentOrderSlot;
  return SlotOf(slot);
}

// The start of a step to the next or prior entry: clears the found flag,
// catches up with changes and finds the area and its ordering index. False
// when there is nothing to step through, with the step's result in r: 0
// without area or index, 1 for an empty table (both ends flagged).
bool BeginStep(WorkArea*& a, IndexControl*& ic, int& slot, std::uint32_t& r) {
  Ndx().found = 0;
  SyncAfterChange();
  a = CurrentWorkArea();
  ic = OrderIndex(slot);
  if (!a || !ic) {
    r = 0;
    return false;
  }
  if (a->recordCount == 0) {
    ic->startFlag = ic->endFlag = true;
    r = 1;
    return false;
  }
  return true;
}

std::string KeyAsText(const IndexControl& ic, const std::string& key) {
  if (ic.charKey) return StrOemToAnsi(TzTrimRight(key.substr(0, static_cast<std::size_t>(ic.KeyLen()))));
  if (key.size() < 8) return {};
  double x = FloatFromKeyBytes(key.data());
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, x);
  return std::string(buf, r.ptr);
}

// A decimal number at the start of text (0 when there is none).
double LeadingNumber(std::string_view text) {
  std::string t = AllTrim(text);
  if (!t.empty() && t[0] == '+') t.erase(0, 1);
  double x = 0;
  auto r = std::from_chars(t.data(), t.data() + t.size(), x);
  if (r.ec != std::errc()) return 0.0;
  return x;
}

// The read semaphore of Find; released explicitly so that a failure while
// releasing is reported to the caller.
class ReadBracket {
 public:
  ReadBracket() { SetReadSemaphoreProc(true); }
  ~ReadBracket() {
    if (!held_) return;
    try {
      SetReadSemaphoreProc(false);
    } catch (...) {
    }
  }
  void Release() {
    if (!held_) return;
    held_ = false;
    SetReadSemaphoreProc(false);
  }
  ReadBracket(const ReadBracket&) = delete;
  ReadBracket& operator=(const ReadBracket&) = delete;

 private:
  bool held_ = true;
};

// The entry of rec with key in the leaf of a path taken since the last
// write to the index; -1 when it holds none.
int EntryInLeaf(const IndexControl& ic, const std::vector<PathEntry>& path, std::uint64_t writes,
                std::uint32_t rec, const char* key) {
  if (path.empty() || writes != ic.writes || ic.stale) return -1;
  const std::uint8_t* leaf = path.back().node.data();
  if (!IsLeaf(leaf)) return -1;
  const int item = ic.ItemSize();
  const int count = std::min(NodeCount(leaf), ic.KeysPerNode());
  for (int i = 0; i < count; ++i) {
    const std::uint8_t* e = EntryAt(leaf, i, item);
    if (EntryRecord(e) == rec && CompareBytes(EntryKey(e), key, ic.KeyLen()) == 0) return i;
  }
  return -1;
}

}  // namespace

void KeepPath(IndexControl& ic, bool leftLeaf) {
  if (ic.path.empty() || ic.pathWrites != ic.writes || ic.stale) return;
  const std::uint32_t leaf = ic.path.back().block;
  int into = IndexControl::kKeptJumps;
  if (!leftLeaf) {
    // A path kept for the same leaf is taken again, else the oldest goes.
    into = ic.nextKept;
    for (int k = 0; k < IndexControl::kKeptJumps; ++k) {
      const IndexControl::KeptPath& p = ic.kept[static_cast<std::size_t>(k)];
      if (!p.path.empty() && p.path.back().block == leaf) into = k;
    }
    if (into == ic.nextKept) ic.nextKept = (ic.nextKept + 1) % IndexControl::kKeptJumps;
  }
  IndexControl::KeptPath& p = ic.kept[static_cast<std::size_t>(into)];
  p.path = ic.path;
  p.writes = ic.writes;
}

bool PlaceOnKeptEntry(IndexControl& ic, std::uint32_t rec, const char* key) {
  int at = ic.noPosition || ic.endFlag || ic.pathWrites != ic.writes ? -1 : EntryInLeaf(ic, ic.path, ic.writes, rec, key);
  if (at < 0) {
    std::vector<PathEntry> found;
    for (const IndexControl::KeptPath& p : ic.kept) {
      at = EntryInLeaf(ic, p.path, p.writes, rec, key);
      if (at >= 0) {
        found = p.path;
        break;
      }
    }
    if (at < 0) return false;
    KeepPath(ic, false);
    ic.path = std::move(found);
  }
  // The position stands on the leaf's copy in the path.
  std::memcpy(ic.ownNode.data(), ic.path.back().node.data(), kNodeSize);
  ic.node = ic.ownNode.data();
  ic.block = ic.path.back().block;
  ic.TakeEntry(at);
  ic.startFlag = ic.endFlag = false;
  Ndx().found = 1;
  return true;
}

std::int32_t SearchNode(IndexControl& ic, const std::uint8_t* key) {
  NdxUnit& u = Ndx();
  const std::uint8_t* node = ic.node;
  const int item = ic.ItemSize();
  const int count = NodeCount(node);
  if (count <= 0) {
    u.positionCode = -1;
    return 0;
  }
  int c = ic.Compare(key, EntryKey(EntryAt(node, 0, item)));
  if (c <= 0) {
    u.positionCode = c < 0 ? -1 : 0;
    return 0;
  }
  if (ic.Compare(key, EntryKey(EntryAt(node, count - 1, item))) > 0) {
    u.positionCode = -2;
    return count;
  }
  int lo = 1, hi = count - 1;  // the answer lies in [lo, hi]
  while (lo < hi) {
    int mid = lo + (hi - lo) / 2;
    if (ic.Compare(EntryKey(EntryAt(node, mid, item)), key) < 0)
      lo = mid + 1;
    else
      hi = mid;
  }
  u.positionCode = lo;
  return lo;
}

bool DescendFirst(IndexControl& ic, int slot, std::uint32_t block, bool withPath) {
  return GetNode(block, slot) && DescendFromCurrent(ic, slot, true, withPath);
}

bool DescendToKey(IndexControl& ic, int slot, std::uint32_t block, const std::uint8_t* key, bool withPath) {
  if (!GetNode(block, slot)) return false;
  const int item = ic.ItemSize();
  int depth = 0;
  for (;;) {
    if (withPath) AddPath(ic);
    const int idx = SearchNode(ic, key);
    if (IsLeaf(ic.node)) {
      ic.TakeEntry(idx);
      return true;
    }
    const int count = NodeCount(ic.node);
    std::uint32_t child = idx < count ? EntryChild(EntryAt(ic.node, idx, item)) : RightChild(ic.node, item);
    if (++depth > DepthLimit(ic)) {
      TzError(254, DamagedPath(ic, "DescendToKey"));
      return false;
    }
    if (!GetNode(child, slot)) return false;
  }
}

namespace {

std::uint32_t FirstLastOfSlot(int slot, bool first) {
  NdxUnit& u = Ndx();
  u.found = 0;
  WorkArea* a = CurrentWorkArea();
  IndexControl* ic = SlotOf(slot);
  if (!a || !ic) {
    if (slot == 1) IndexNotOpen("_FindFirst/LastRec");
    return 0;
  }
  RefreshAnchorsIfChanged();
  if (PositionEnd(*ic, slot, first)) {
    ic->startFlag = ic->endFlag = false;
    u.found = 1;
    SetCurrentKeyFromEntry(*ic);
    return ic->EntryRec();
  }
  ic->startFlag = ic->endFlag = true;
  return static_cast<std::uint32_t>(RecordCountOf(*a) + 1);
}

}  // namespace

std::uint32_t FindFirstLastRec(bool first) {
  if (IndexNotOpen("_FindFirst/LastRec")) return 0;
  return FirstLastOfSlot(Ndx().currentOrderSlot, first);
}

std::uint32_t IndexTop() {
  WorkArea* a = CurrentWorkArea();
  if (a && CurArea().naturalOrder) {
    std::int32_t n = RecordCountOf(*a);
    Ndx().found = n != 0;
    return 1;
  }
  return FindFirstLastRec(true);
}

std::uint32_t IndexBottom() {
  WorkArea* a = CurrentWorkArea();
  if (a && CurArea().naturalOrder) {
    std::int32_t n = RecordCountOf(*a);
    Ndx().found = n != 0;
    return static_cast<std::uint32_t>(n == 0 ? 1 : n);
  }
  return FindFirstLastRec(false);
}

void SeekKey(const std::uint8_t* key) {
  SetTzCurrentError(0);
  NdxUnit& u = Ndx();
  WorkArea* a = CurrentWorkArea();
  int slot = 0;
  IndexControl* ic = OrderIndex(slot);
  if (!a || !ic) return;
  if (RecordCountOf(*a) == 0) {
    u.lastMove = FirstLastOfSlot(slot, true);
    return;
  }
  ic->startFlag = ic->endFlag = false;
  u.found = 0;
  KeepPath(*ic, false);
  ResetPath(*ic);
  ic->stale = false;
  if (!DescendToKey(*ic, slot, ic->Root(), key, true)) return;
  const int count = NodeCount(ic->node);
  if (count == 0) {
    // An emptied index: nothing to stand on.
    ic->startFlag = ic->endFlag = true;
    return;
  }
  if (u.positionCode == -1) {
    ic->TakeEntry(0);
    return;
  }
  if (u.positionCode == -2) {
    if (u.insertSeek) {
      ic->entryIndex = count;
      ic->TakeEntry(count);
      return;
    }
    ic->TakeEntry(count - 1);
    u.lastMove = FindNextRec();
    if (ic->endFlag) {
      ic->entryIndex = NodeCount(ic->node);
      u.found = 0;
      return;
    }
  }
  u.found = CompareBytes(ic->EntryKeyBytes(), key, ic->KeyLen()) == 0;
}

std::uint32_t FindNextRec() {
  NdxUnit& u = Ndx();
  WorkArea* a = nullptr;
  IndexControl* ic = nullptr;
  int slot = 0;
  if (std::uint32_t r = 0; !BeginStep(a, ic, slot, r)) return r;
  ic->startFlag = false;
  if (CurArea().naturalOrder) {
    if (a->recordNumber >= a->recordCount) {
      a->eof = true;
      return static_cast<std::uint32_t>(a->recordNumber);
    }
    return static_cast<std::uint32_t>(a->recordNumber + 1);
  }
  if (ic->endFlag) {
    std::uint32_t r = FirstLastOfSlot(slot, false);
    ClearPositionOf(*ic);
    ic->endFlag = true;
    return r;
  }
  if (ic->noPosition) return FirstLastOfSlot(slot, true);
  const std::uint32_t R = ic->EntryRec();
  if (ic->entryIndex + 1 < NodeCount(ic->node)) {
    ic->TakeEntry(ic->entryIndex + 1);
    // The record of the step after this one, on its way to the cache.
    if (ic->entryIndex + 1 < NodeCount(ic->node))
      PrefetchRecord(*a, static_cast<std::int32_t>(
                             EntryRecord(EntryAt(ic->node, ic->entryIndex + 1, ic->ItemSize()))));
  } else {
    bool failed = false;
    if (!NeighbourLeaf(*ic, slot, true, failed)) {
      // No next leaf: back on the last entry (the path may have been
      // climbed); a record other than the last one's was a lost position.
      std::uint32_t last = FirstLastOfSlot(slot, false);
      if (!failed && R != 0 && R != last && u.found) {
        ic->endFlag = false;
      } else {
        ic->endFlag = true;
      }
    }
  }
  u.found = !ic->endFlag;
  SetCurrentKeyFromEntry(*ic);
  return ic->EntryRec();
}

std::uint32_t FindPriorRec() {
  NdxUnit& u = Ndx();
  WorkArea* a = nullptr;
  IndexControl* ic = nullptr;
  int slot = 0;
  if (std::uint32_t r = 0; !BeginStep(a, ic, slot, r)) return r;
  ic->endFlag = false;
  if (CurArea().naturalOrder) {
    if (a->recordNumber < 2) {
      a->bof = true;
      return static_cast<std::uint32_t>(a->recordNumber);
    }
    return static_cast<std::uint32_t>(a->recordNumber - 1);
  }
  if (ic->noPosition) return FirstLastOfSlot(slot, false);
  if (ic->startFlag) return ic->EntryRec();
  if (ic->entryIndex > 0 && ic->entryIndex <= NodeCount(ic->node)) {
    ic->TakeEntry(ic->entryIndex - 1);
  } else {
    bool failed = false;
    if (!NeighbourLeaf(*ic, slot, false, failed)) {
      if (failed) FirstLastOfSlot(slot, true);
      ic->startFlag = true;
    }
  }
  u.found = !ic->startFlag;
  SetCurrentKeyFromEntry(*ic);
  return ic->EntryRec();
}

void SoftSyncIndex() {
  NdxUnit& u = Ndx();
  WorkArea* a = CurrentWorkArea();
  IndexControl* ic = Master();
  if (!a || !ic) return;
  u.currentKeySlot = 1;
  const std::uint8_t savedOrder = u.currentOrderSlot;
  u.currentOrderSlot = 1;
  const std::string k = CurrentRecordKey(1);
  const auto rec = static_cast<std::uint32_t>(a->recordNumber);
  if (PlaceOnKeptEntry(*ic, rec, k.data())) {
    u.currentOrderSlot = savedOrder;
    return;
  }
  SeekKey(reinterpret_cast<const std::uint8_t*>(k.data()));
  if (TzCurrentError() != 0) {  // a damaged tree: its report stands
    u.currentOrderSlot = savedOrder;
    return;
  }
  const int klen = ic->KeyLen();
  bool ok = ic->Unique();  // a unique index need not hold every record
  if (u.found) {
    if (ic->Unique()) {
      ok = true;
    } else {
      std::uint64_t steps = 0;
      while (CompareBytes(ic->EntryKeyBytes(), k.data(), klen) == 0 && ic->EntryRec() != rec && !ic->endFlag) {
        if (!StepWithin(*ic, steps, "SoftSyncIndex")) break;
        FindNextRec();
        if (TzCurrentError() != 0) break;
      }
      ok = CompareBytes(ic->EntryKeyBytes(), k.data(), klen) == 0 && ic->EntryRec() == rec;
    }
  }
  u.currentOrderSlot = savedOrder;
  if (!ok)
    TzError(212, "Datensatz mit Schlüssel: "_ansi + "\"" + KeyAsText(*ic, k) + "\"" + " nicht im Index: " +
                     ic->fileName + ". [SoftSyncIndex]");
}

void SyncAfterChange() {
  const bool changed = RefreshAnchorsIfChanged();
  IndexControl* m = Master();
  if (!changed && !(m && m->stale)) return;
  if (m) m->stale = false;  // positioned again below
  WorkArea* a = CurrentWorkArea();
  if (!a) return;
  const std::int32_t rec = a->recordNumber;
  Dbf4RawGo(rec);
  if (rec > a->recordCount) {
    GoIndexEof();
    return;
  }
  if (!CurArea().naturalOrder) SoftSyncIndex();
}

void GoIndexEof() {
  NdxUnit& u = Ndx();
  WorkArea* a = CurrentWorkArea();
  if (!a) return;
  const std::uint8_t saved = u.currentOrderSlot;
  u.currentOrderSlot = 1;
  u.lastMove = IndexBottom();
  u.currentOrderSlot = saved;
  GoNotify(a->recordCount + 1);
  if (IndexControl* m = Master()) {
    m->endFlag = true;
    ClearPositionOf(*m);
  }
}

bool StepWithin(const IndexControl& ic, std::uint64_t& steps, const char* where) {
  if (++steps <= StepLimit(ic.NextFree(), ic.KeysPerNode())) return true;
  TzError(254, DamagedPath(ic, where));
  return false;
}

bool IndexNotOpen(std::string_view operation) {
  if (Master() != nullptr) return false;
  WorkArea* a = CurrentWorkArea();
  RaiseIndexError(221, "Index nicht geöffnet. (DBF="_ansi + (a ? a->fileName : std::string()) + ") [" +
                           std::string(operation) + "]");
  return true;
}

void RefreshCurrentKeys(bool all, int count) {
  NdxUnit& u = Ndx();
  AreaIndex& ar = CurArea();
  WorkArea* a = CurrentWorkArea();
  if (!a) return;
  const int last = all ? kIndexSlots : std::min(count, kIndexSlots);
  const bool blank = a->recordCount <= 0 || a->recordNumber < 1 || a->recordNumber > a->recordCount;
  for (int s = 1; s <= last; ++s) {
    IndexControl* ic = ar.slots[static_cast<std::size_t>(s)].get();
    if (!ic) continue;
    const int k = ic->KeyLen();
    std::string key;
    std::uint32_t rec = 0;
    if (blank) {
      key.assign(static_cast<std::size_t>(k), ic->charKey ? ' ' : '\0');
    } else {
      u.currentKeySlot = static_cast<std::uint8_t>(s);
      key = CurrentRecordKey(s);
      rec = static_cast<std::uint32_t>(a->recordNumber);
    }
    ic->currentKey = key;
    ic->currentKey.push_back('\0');
    ic->keyFromEntryRec = 0;
    if (all) {
      std::memcpy(ic->entry.data() + 8, key.data(), std::min<std::size_t>(key.size(), kEntryImageSize - 8));
      PutU32(ic->entry.data() + 4, rec);
    }
  }
}

void RememberMasterKey() { RefreshCurrentKeys(false, 1); }

bool Find(std::string_view keyText) {
  NdxUnit& u = Ndx();
  u.found = 0;
  if (CheckWorkArea("Find")) return false;
  if (IndexNotOpen("Find")) return false;
  WorkArea& a = *CurrentWorkArea();
  AreaIndex& ar = CurArea();
  IndexControl& ic = *ar.slots[1];
  if (ar.naturalOrder) {
    TzError(254, "Find() mit Index-Ordnung 0 (natürliche Ordnung) nicht erlaubt [Find]"_ansi);
    return false;
  }
  if (keyText.empty()) return false;
  SetTzCurrentError(0);
  u.currentOrderSlot = 1;
  if (ic.noPosition || RecordCountOf(a) == 0) {
    ReadBracket bracket;
    RefreshAnchorsIfChanged();
    u.lastMove = IndexTop();
    bracket.Release();
    if (ic.endFlag) return false;
  }
  const int k = ic.KeyLen();
  std::string key;
  int compareLength = k;
  keyText = keyText.substr(0, 100);
  if (ic.keyMaker) {
    std::string t(keyText);
    if (u.keyPadding && static_cast<int>(t.size()) < k) t.resize(static_cast<std::size_t>(k), ' ');
    if (ic.soundex) t = Soundex(t);
    if (ic.descending) t = ComplementText(t);
    if (!u.keyPadding) compareLength = std::min(k, static_cast<int>(t.size()));
    key = t;
  } else if (ic.KeyType() == 'D') {
    key = FloatKeyBytes(DisplayDateToJulian(AllTrim(keyText)));
  } else if (!ic.charKey) {
    key = FloatKeyBytes(LeadingNumber(keyText));
  } else {
    std::string t(keyText);
    if (u.keyPadding && static_cast<int>(t.size()) < k) t.resize(static_cast<std::size_t>(k), ' ');
    if (a.oemText) t = StrAnsiToOem(t);
    t = FoldGermanKey(t, k);
    if (!u.keyPadding) compareLength = std::min(k, static_cast<int>(t.size()));
    key = t;
  }
  key.resize(static_cast<std::size_t>(std::max(k, 0)), '\0');
  key.push_back('\0');

  ReadBracket bracket;
  RefreshAnchorsIfChanged();
  SeekKey(reinterpret_cast<const std::uint8_t*>(key.data()));
  if (TzCurrentError() != 0 && TzCurrentError() != 358) return false;
  bool found = false;
  if (NodeCount(ic.node) > 0 && !ic.noPosition) {
    if (ic.endFlag) ic.TakeEntry(std::max(0, std::min(ic.entryIndex, NodeCount(ic.node)) - 1));
    Dbf4RawGo(static_cast<std::int32_t>(ic.EntryRec()));
    std::uint64_t steps = 0;
    while (!RecordVisible(a) && !ic.endFlag && TzCurrentError() == 0 && StepWithin(ic, steps, "Find")) {
      std::uint32_t r = FindNextRec();
      Dbf4RawGo(static_cast<std::int32_t>(r));
    }
    SetCurrentKeyFromEntry(ic);
    NotifyMove(a);
    found = CompareBytes(ic.EntryKeyBytes(), key.data(), compareLength) == 0 && !ic.endFlag;
  }
  if (!found) {
    GoIndexEof();
    u.found = 0;
  } else {
    u.found = 1;
    // The key of the record found is its entry's: in an exclusive table
    // record and entry change only together.
    if (a.exclusive && ic.keyFromEntryRec == static_cast<std::uint32_t>(a.recordNumber))
      u.currentKeySlot = 1;
    else
      RememberMasterKey();
  }
  bracket.Release();
  return found;
}

bool IndexFound() { return Ndx().found != 0; }

}  // namespace zeb::xbase
