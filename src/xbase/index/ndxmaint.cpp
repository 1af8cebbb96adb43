// Keeping the open indexes of an area in step with its table: inserting
// the key of a new record, replacing the keys of a changed record,
// removing a key, and checking that the current record is where its key
// says.
#include <algorithm>
#include <exception>

#include "xbase/core/ansi_literal.h"
#include "xbase/index/ndx_internal.h"
#include "xbase/index/ndxkeys.h"
#include "xbase/core/errors.h"
#include "xbase/core/text_utils.h"
#include "xbase/dbf/workarea.h"

namespace zeb::xbase {

namespace {

// A node in a form that is easy to change: entries and the right-most child.
struct LEntry {
  std::uint32_t child = 0;
  std::uint32_t rec = 0;
  std::string key;
};
struct LNode {
  std::vector<LEntry> e;
  std::uint32_t right = 0;
  bool IsLeaf() const { return e.empty() ? right == 0 : e.front().child == 0; }
};

LNode Decode(const IndexControl& ic, const std::uint8_t* node) {
  const int item = ic.ItemSize();
  const int k = ic.KeyLen();
  LNode n;
  const int count = std::clamp(NodeCount(node), 0, ic.KeysPerNode());
  n.e.reserve(static_cast<std::size_t>(count) + 1);
  for (int i = 0; i < count; ++i) {
    const std::uint8_t* p = EntryAt(node, i, item);
    n.e.push_back({EntryChild(p), EntryRecord(p), std::string(reinterpret_cast<const char*>(EntryKey(p)),
                                                              static_cast<std::size_t>(k))});
  }
  n.right = GetU32(node + 4 + count * item);
  return n;
}

void Encode(const IndexControl& ic, const LNode& n, std::uint8_t* node) {
  const int item = ic.ItemSize();
  const int k = ic.KeyLen();
  std::memset(node, 0, kNodeSize);
  SetNodeCount(node, static_cast<int>(n.e.size()));
  for (std::size_t i = 0; i < n.e.size(); ++i) {
    std::uint8_t* p = EntryAt(node, static_cast<int>(i), item);
    PutU32(p, n.e[i].child);
    PutU32(p + 4, n.e[i].rec);
    std::memcpy(p + 8, n.e[i].key.data(), std::min<std::size_t>(n.e[i].key.size(), static_cast<std::size_t>(k)));
  }
  PutU32(node + 4 + static_cast<int>(n.e.size()) * item, n.right);
}

bool WriteNode(IndexControl& ic, int slot, std::uint32_t block, const LNode& n) {
  Node buf;
  Encode(ic, n, buf.data());
  return SeekAndWrite(ic, slot, block, buf.data());
}

std::string DamagedText(const IndexControl& ic, const char* where) {
  return "Index-Datei beschädigt. "_ansi + ic.fileName + " [" + where + "]";
}

// The last key of the subtree under block: right-most children down to a
// leaf.
bool LastKeyUnderBlock(IndexControl& ic, int slot, std::uint32_t block, std::string& key) {
  Node buf;
  for (int depth = 0; depth <= kMaxDepth; ++depth) {
    if (block == 0 || block >= ic.NextFree()) break;
    if (!SeekAndRead(ic, slot, block, buf.data())) return false;
    LNode n = Decode(ic, buf.data());
    if (n.IsLeaf()) {
      if (n.e.empty()) break;
      key = n.e.back().key;
      return true;
    }
    block = n.right;
  }
  TzError(254, DamagedText(ic, "AppendIndex"));
  return false;
}

bool LastKeyUnder(IndexControl& ic, int slot, const LNode& n, std::string& key) {
  if (n.IsLeaf()) {
    if (n.e.empty()) return false;
    key = n.e.back().key;
    return true;
  }
  return LastKeyUnderBlock(ic, slot, n.right, key);
}

// Position of child c in a node: entry index, size() for the right-most
// child, -1 when absent.
int ChildPos(const LNode& n, std::uint32_t c) {
  for (std::size_t i = 0; i < n.e.size(); ++i)
    if (n.e[i].child == c) return static_cast<int>(i);
  return n.right == c ? static_cast<int>(n.e.size()) : -1;
}

// A divided child d (left half) and its new right half nb enter node p.
void ParentRule(LNode& p, int j, std::uint32_t d, std::uint32_t nb, const std::string& leftKey,
                const std::string& rightKey) {
  if (j < static_cast<int>(p.e.size())) {
    p.e[static_cast<std::size_t>(j)].key = leftKey;
    p.e.insert(p.e.begin() + j + 1, LEntry{nb, 0, rightKey});
  } else {
    p.e.push_back(LEntry{d, 0, leftKey});
    p.right = nb;
  }
}

std::uint32_t TakeNewBlock(IndexControl& ic) {
  std::uint32_t b = ic.NextFree();
  ic.SetNextFree(b + 1);
  ic.anchorDirty = true;
  return b;
}

// Empties the index: an empty leaf at block 1 is the root again.
bool EmptyIndex(IndexControl& ic, int slot) {
  Node zero{};
  ResetPath(ic);
  ic.SetRoot(1);
  ic.SetNextFree(2);
  ic.anchorDirty = true;
  if (slot == 1) EmptyIndexCache(CurArea());
  return SeekAndWrite(ic, slot, 1, zero.data());
}

class OrderSlotScope {
 public:
  explicit OrderSlotScope(int slot) : saved_(Ndx().currentOrderSlot) {
    Ndx().currentOrderSlot = static_cast<std::uint8_t>(slot);
  }
  ~OrderSlotScope() { Ndx().currentOrderSlot = saved_; }
  OrderSlotScope(const OrderSlotScope&) = delete;
  OrderSlotScope& operator=(const OrderSlotScope&) = delete;

 private:
  std::uint8_t saved_;
};

std::string KeyText(const IndexControl& ic, const std::string& key) {
  if (ic.charKey) return StrOemToAnsi(key);
  if (key.size() < 8) return {};
  return std::to_string(FloatFromKeyBytes(key.data()));
}

}  // namespace

int AppendIndex(const std::string& key, int slot) {
  NdxUnit& u = Ndx();
  IndexControl* icp = SlotOf(slot);
  WorkArea* a = CurrentWorkArea();
  if (!icp || !a) return -1;
  IndexControl& ic = *icp;
  {
    OrderSlotScope scope(slot);
    u.insertSeek = true;
    struct Off {
      ~Off() { Ndx().insertSeek = false; }
    } off;
    SeekKey(reinterpret_cast<const std::uint8_t*>(key.data()));
  }
  if (TzCurrentError() != 0 || ic.path.empty()) return -1;
  if (u.found && ic.Unique()) {
    Dbf4RawGo(a->recordNumber);
    return 0;
  }
  const auto rec = static_cast<std::uint32_t>(a->recordNumber);
  const int kpn = ic.KeysPerNode();
  std::size_t level = ic.path.size() - 1;
  LNode leaf = Decode(ic, ic.path[level].node.data());
  std::uint32_t block = ic.path[level].block;
  const int pos = std::clamp(ic.entryIndex, 0, static_cast<int>(leaf.e.size()));
  const LEntry ne{0, rec, key.substr(0, static_cast<std::size_t>(ic.KeyLen()))};
  std::uint32_t insBlock = block;
  int insIdx = pos;
  bool done = false;
  if (static_cast<int>(leaf.e.size()) < kpn) {
    leaf.e.insert(leaf.e.begin() + pos, ne);
    if (!WriteNode(ic, slot, block, leaf)) return -1;
    done = true;
  }
  if (!done) {
    const int c = static_cast<int>(leaf.e.size());
    const int L = c - c / 2;
    LNode left, right;
    left.e.assign(leaf.e.begin(), leaf.e.begin() + L);
    right.e.assign(leaf.e.begin() + L, leaf.e.end());
    std::uint32_t nb = TakeNewBlock(ic);
    if (pos >= L) {
      right.e.insert(right.e.begin() + (pos - L), ne);
      insBlock = nb;
      insIdx = pos - L;
    } else {
      left.e.insert(left.e.begin() + pos, ne);
    }
    if (!WriteNode(ic, slot, block, left) || !WriteNode(ic, slot, nb, right)) return -1;
    std::string leftKey = left.e.back().key;
    std::string rightKey = right.e.back().key;
    std::uint32_t d = block;
    while (!done) {
      if (level == 0) {
        // The root was divided: a new root above both halves.
        std::uint32_t root = TakeNewBlock(ic);
        LNode r;
        r.e.push_back(LEntry{d, 0, leftKey});
        r.right = nb;
        if (!WriteNode(ic, slot, root, r)) return -1;
        ic.SetRoot(root);
        done = true;
        break;
      }
      --level;
      LNode p = Decode(ic, ic.path[level].node.data());
      const std::uint32_t pb = ic.path[level].block;
      const int j = ChildPos(p, d);
      if (j < 0) {
        TzError(254, DamagedText(ic, "AppendIndex"));
        return -1;
      }
      if (static_cast<int>(p.e.size()) < kpn) {
        ParentRule(p, j, d, nb, leftKey, rightKey);
        if (!WriteNode(ic, slot, pb, p)) return -1;
        done = true;
        break;
      }
      // A full parent is divided the same way.
      const int pc = static_cast<int>(p.e.size());
      const int pl = pc - pc / 2;
      LNode pleft, pright;
      pleft.e.assign(p.e.begin(), p.e.begin() + (pl - 1));
      pleft.right = p.e[static_cast<std::size_t>(pl - 1)].child;
      pright.e.assign(p.e.begin() + pl, p.e.end());
      pright.right = p.right;
      if (j <= pl - 2) {
        ParentRule(pleft, j, d, nb, leftKey, rightKey);
      } else if (j == pl - 1) {
        pright.e.insert(pright.e.begin(), LEntry{nb, 0, rightKey});
      } else {
        ParentRule(pright, j - pl, d, nb, leftKey, rightKey);
      }
      std::uint32_t pnb = TakeNewBlock(ic);
      if (!WriteNode(ic, slot, pb, pleft) || !WriteNode(ic, slot, pnb, pright)) return -1;
      if (!LastKeyUnder(ic, slot, pleft, leftKey) || !LastKeyUnder(ic, slot, pright, rightKey)) return -1;
      d = pb;
      nb = pnb;
    }
  }
  ic.anchorDirty = true;
  if (!WriteAnchorNode(slot)) return -1;
  if (slot == 1) {
    OrderSlotScope scope(1);
    SeekKey(reinterpret_cast<const std::uint8_t*>(key.data()));
    std::uint64_t steps = 0;
    while (!(ic.block == insBlock && ic.entryIndex == insIdx) && !ic.endFlag && TzCurrentError() == 0 &&
           StepWithin(ic, steps, "AppendIndex"))
      FindNextRec();
  }
  return 0;
}

int DeleteIndexKey(const std::string& key, int slot) {
  NdxUnit& u = Ndx();
  IndexControl* icp = SlotOf(slot);
  if (!icp) return -1;
  IndexControl& ic = *icp;
  const int k = ic.KeyLen();
  const std::uint32_t remembered = u.rememberedRecord;
  bool present = false;
  {
    OrderSlotScope scope(slot);
    SeekKey(reinterpret_cast<const std::uint8_t*>(key.data()));
    if (!u.found) return ic.Unique() && TzCurrentError() == 0 ? 0 : -1;
    std::uint64_t steps = 0;
    while (CompareBytes(ic.EntryKeyBytes(), key.data(), k) == 0 && ic.EntryRec() != remembered && !ic.endFlag &&
           TzCurrentError() == 0 && StepWithin(ic, steps, "DeleteIndexKey"))
      FindNextRec();
    present = !ic.endFlag && ic.EntryRec() == remembered && CompareBytes(ic.EntryKeyBytes(), key.data(), k) == 0 &&
              !ic.path.empty();
  }
  if (!present) return ic.Unique() ? 0 : -1;

  std::size_t level = ic.path.size() - 1;
  LNode leaf = Decode(ic, ic.path[level].node.data());
  const std::uint32_t lb = ic.path[level].block;
  const int idx = ic.entryIndex;
  if (idx < 0 || idx >= static_cast<int>(leaf.e.size())) {
    TzError(254, DamagedText(ic, "DeleteIndexKey"));
    return -1;
  }
  enum { kRemoving, kReplacing } mode = kRemoving;
  std::uint32_t c = lb;
  std::string e;
  bool finished = false;
  bool ok = true;
  if (leaf.e.size() == 1) {
    e = leaf.e[0].key;
    if (level == 0) {
      ok = EmptyIndex(ic, slot);
      finished = true;
    } else {
      Node zero{};
      ok = SeekAndWrite(ic, slot, lb, zero.data());
    }
  } else {
    const bool wasLast = idx == static_cast<int>(leaf.e.size()) - 1;
    leaf.e.erase(leaf.e.begin() + idx);
    ok = WriteNode(ic, slot, lb, leaf);
    if (level == 0 || !wasLast) {
      finished = true;
    } else {
      e = leaf.e.back().key;
      mode = kReplacing;
    }
  }
  while (ok && !finished) {
    if (level == 0) break;
    --level;
    LNode p = Decode(ic, ic.path[level].node.data());
    const std::uint32_t pb = ic.path[level].block;
    const bool isRoot = level == 0;
    const int j = ChildPos(p, c);
    if (j < 0 || (mode == kRemoving && p.e.empty())) {
      TzError(254, DamagedText(ic, "DeleteIndexKey"));
      ok = false;
      break;
    }
    const bool wasEntryChild = j < static_cast<int>(p.e.size());
    if (mode == kReplacing) {
      if (wasEntryChild) {
        p.e[static_cast<std::size_t>(j)].key = e;
        ok = WriteNode(ic, slot, pb, p);
        finished = true;
      } else if (isRoot) {
        ok = WriteNode(ic, slot, pb, p);
        finished = true;
      } else {
        c = pb;
      }
      continue;
    }
    if (wasEntryChild) {
      p.e.erase(p.e.begin() + j);
    } else {
      p.right = p.e.back().child;
      p.e.pop_back();
    }
    if (!p.e.empty()) {
      ok = WriteNode(ic, slot, pb, p);
      if (wasEntryChild || isRoot) {
        finished = true;
      } else {
        mode = kReplacing;
        c = pb;
      }
      continue;
    }
    const std::uint32_t b = p.right;
    if (isRoot) {
      ok = WriteNode(ic, slot, pb, p);
      ic.SetRoot(b);
      ic.anchorDirty = true;
      finished = true;
      continue;
    }
    // The node keeps one child: its parent takes that child instead.
    if (!LastKeyUnderBlock(ic, slot, b, e)) {
      ok = false;
      break;
    }
    ok = WriteNode(ic, slot, pb, p);
    if (!ok) break;
    --level;
    LNode pp = Decode(ic, ic.path[level].node.data());
    const std::uint32_t ppb = ic.path[level].block;
    const int jj = ChildPos(pp, pb);
    if (jj < 0) {
      TzError(254, DamagedText(ic, "DeleteIndexKey"));
      ok = false;
      break;
    }
    bool keySet = false;
    if (jj < static_cast<int>(pp.e.size())) {
      pp.e[static_cast<std::size_t>(jj)].child = b;
      pp.e[static_cast<std::size_t>(jj)].key = e;
      keySet = true;
    } else {
      pp.right = b;
    }
    ok = WriteNode(ic, slot, ppb, pp);
    if (keySet || level == 0) {
      finished = true;
    } else {
      mode = kReplacing;
      c = ppb;
    }
  }
  ResetPath(ic);
  ClearPositionOf(ic);
  if (!ok) return -1;
  if (ic.anchorDirty && !WriteAnchorNode(slot)) return -1;
  return 0;
}

void AppendNewKey() {
  NdxUnit& u = Ndx();
  AreaIndex& ar = CurArea();
  WorkArea* a = CurrentWorkArea();
  if (!a) return;
  const bool savedNatural = ar.naturalOrder;
  ar.naturalOrder = false;
  struct Restore {
    AreaIndex& ar;
    bool natural;
    ~Restore() { ar.naturalOrder = natural; }
  } restore{ar, savedNatural};
  RefreshAnchorsIfChanged();
  int failedSlot = 0;
  std::exception_ptr pending;
  for (int s = 1; s <= kIndexSlots; ++s) {
    if (!ar.slots[static_cast<std::size_t>(s)]) continue;
    int r = -1;
    try {
      r = AppendIndex(CurrentRecordKey(s), s);
    } catch (...) {
      pending = std::current_exception();
    }
    if (r != 0 || pending) {
      failedSlot = s;
      break;
    }
  }
  if (failedSlot != 0) {
    // Undo: the record leaves the indexes that took its key. The failure's
    // code stays the one reported.
    const std::uint16_t code = TzCurrentError();
    const std::string text = Engine().lastErrorText;
    u.rememberedRecord = static_cast<std::uint32_t>(a->recordNumber);
    for (int t = failedSlot - 1; t >= 1; --t) {
      IndexControl* ic = ar.slots[static_cast<std::size_t>(t)].get();
      if (!ic) continue;
      int r = -1;
      try {
        r = DeleteIndexKey(CurrentRecordKey(t), t);
      } catch (...) {
      }
      if (r != 0) TzError(254, "Index-Datei beschädigt. "_ansi + ic->fileName + " [AppendNewKey]");
    }
    if (TzCurrentError() == 0 || TzCurrentError() == code) {
      Engine().currentError = code;
      Engine().lastError = code;
      Engine().lastErrorText = text;
    }
    if (pending) std::rethrow_exception(pending);
    return;
  }
  ar.naturalOrder = savedNatural;
  SyncIndex(false);
  RememberMasterKey();
}

void CompareKeys() {
  NdxUnit& u = Ndx();
  AreaIndex& ar = CurArea();
  WorkArea* a = CurrentWorkArea();
  if (!a) return;
  const auto rec = static_cast<std::uint32_t>(a->recordNumber);
  for (int s = 1; s <= kIndexSlots; ++s) {
    IndexControl* ic = ar.slots[static_cast<std::size_t>(s)].get();
    if (!ic) continue;
    const std::string newKey = CurrentRecordKey(s);
    if (ic->EntryRec() != rec && !ic->Unique()) {
      TzError(254, "Datensatz Nr. " + std::to_string(rec) + " nicht im Index gefunden." + " " + ic->fileName +
                       " [CompareKeys]");
      return;
    }
    const int k = ic->KeyLen();
    if (CompareBytes(newKey.data(), ic->EntryKeyBytes(), k) != 0) {
      const std::string oldKey(reinterpret_cast<const char*>(ic->EntryKeyBytes()), static_cast<std::size_t>(k));
      u.currentOrderSlot = static_cast<std::uint8_t>(s);
      u.rememberedRecord = rec;
      if (DeleteIndexKey(oldKey, s) != 0 && TzCurrentError() == 0)
        TzError(1, "Schlüssel nicht entfernt: "_ansi + KeyText(*ic, oldKey) + " " + ic->fileName + " [CompareKeys]");
      if (TzCurrentError() == 0) AppendIndex(newKey, s);
      u.currentOrderSlot = 1;
      if (TzCurrentError() != 0) return;
    }
    ic->currentKey = newKey;
    ic->currentKey.push_back('\0');
    ic->keyFromEntryRec = 0;
    u.currentOrderSlot = 1;
  }
}

void SyncIndex(bool allSlots) {
  NdxUnit& u = Ndx();
  AreaIndex& ar = CurArea();
  WorkArea* a = CurrentWorkArea();
  if (!a) return;
  const bool savedNatural = ar.naturalOrder;
  const std::uint8_t savedOrder = u.currentOrderSlot;
  ar.naturalOrder = false;
  struct Restore {
    AreaIndex& ar;
    bool natural;
    std::uint8_t order;
    ~Restore() {
      ar.naturalOrder = natural;
      Ndx().currentOrderSlot = order;
    }
  } restore{ar, savedNatural, savedOrder};
  const int last = allSlots ? kIndexSlots : 1;
  for (int s = 1; s <= last; ++s) {
    IndexControl* ic = ar.slots[static_cast<std::size_t>(s)].get();
    if (!ic) continue;
    u.currentOrderSlot = static_cast<std::uint8_t>(s);
    const std::int32_t recNo = a->recordNumber;
    if (a->recordCount > 0 && recNo >= 1 && recNo <= a->recordCount) {
      const std::string key = CurrentRecordKey(s);
      if (PlaceOnKeptEntry(*ic, static_cast<std::uint32_t>(recNo), key.data())) continue;
      SeekKey(reinterpret_cast<const std::uint8_t*>(key.data()));
      if (TzCurrentError() != 0) return;  // a damaged tree: its report stands
      // A unique index need not hold every record: the holder of a key may
      // have changed it while other records keep it.
      if (!u.found && ic->Unique()) continue;
      if (!u.found) {
        TzError(212, "Schlüssel: "_ansi + "\"" + KeyText(*ic, key) + "\"" + " nicht im Index: " + ic->fileName +
                         ". [SyncIndex-1] Record: " + std::to_string(recNo));
        return;
      }
      if (!ic->Unique()) {
        const int k = ic->KeyLen();
        std::uint64_t steps = 0;
        while (ic->EntryRec() != static_cast<std::uint32_t>(recNo)) {
          if (!StepWithin(*ic, steps, "SyncIndex")) return;
          if (CompareBytes(ic->EntryKeyBytes(), key.data(), k) != 0 || ic->endFlag || TzCurrentError() != 0) {
            TzError(212, "Datensatz mit Schlüssel: "_ansi + "\"" + KeyText(*ic, key) + "\"" + " nicht im Index: " +
                             ic->fileName + ". [SyncIndex-2]");
            return;
          }
          FindNextRec();
        }
        if (CompareBytes(ic->EntryKeyBytes(), key.data(), k) != 0 || ic->endFlag) {
          TzError(212, "Datensatz mit Schlüssel: "_ansi + "\"" + KeyText(*ic, key) + "\"" + " nicht im Index: " +
                           ic->fileName + ". [SyncIndex-2]");
          return;
        }
      }
    } else if (s == 1 && !savedNatural) {
      GoIndexEof();
    } else {
      const bool wasFound = u.found;
      u.currentOrderSlot = static_cast<std::uint8_t>(s);
      FindFirstLastRec(false);
      u.found = wasFound;
    }
  }
}

}  // namespace zeb::xbase
