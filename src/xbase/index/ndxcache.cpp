// The node cache of each area's master index and the descent path of an
// index: the stack of nodes from the root to the current leaf.
#include <algorithm>

#include "xbase/core/ansi_literal.h"
#include "xbase/index/ndx_internal.h"
#include "xbase/core/errors.h"
#include "xbase/dbf/workarea.h"

namespace zeb::xbase {

namespace {

bool InCache(const NodeCache& c, const std::uint8_t* p) {
  return !c.buffer.empty() && p >= c.buffer.data() && p < c.buffer.data() + c.buffer.size();
}

// The master keeps its current node when the cache buffer goes away.
void DetachMaster(AreaIndex& ar) {
  IndexControl* m = ar.slots[1].get();
  if (m && InCache(ar.cache, m->node)) {
    std::memcpy(m->ownNode.data(), m->node, kNodeSize);
    m->node = m->ownNode.data();
  }
}

std::string DamagedText(const IndexControl& ic, int slot, std::uint32_t block, const char* what) {
  return "Index-Datei beschädigt: "_ansi + std::string(what) + " " + std::to_string(block) + " in DBF-Bereich " +
         std::to_string(CurAreaNumber()) + ", Ordnung " + std::to_string(slot) + " " + ic.fileName + " [GetNode]";
}

}  // namespace

void ClearPositionOf(IndexControl& ic) {
  ic.noPosition = true;
  std::fill(ic.entry.begin(), ic.entry.end(), 0);
  PutU32(ic.entry.data() + 4, kNoPositionBlock);
  ic.entryIndex = 0;
  ic.node = ic.ownNode.data();
}

bool GetNode(std::uint32_t block, int slot) {
  IndexControl* ic = SlotOf(slot);
  if (!ic) return false;
  if (block == kNoPositionBlock) {
    ClearPositionOf(*ic);
    return true;
  }
  if (block == 0) {
    TzError(254, "Ungültige Knotennummer (0) in DBF-Bereich "_ansi + std::to_string(CurAreaNumber()) +
                     ", Ordnung " + std::to_string(slot) + " " + ic->fileName + " [GetNode]");
    return false;
  }
  if (block >= ic->NextFree()) {
    TzError(254, DamagedText(*ic, slot, block, "Knotennummer"));
    return false;
  }
  NdxUnit& u = Ndx();
  ++u.counters.nodeFetches;
  AreaIndex& ar = CurArea();
  NodeCache& c = ar.cache;
  bool ok = true;
  std::uint8_t* node = nullptr;
  if (slot != 1 || c.size == 0 || c.n == 0) {
    ok = SeekAndRead(*ic, slot, block, ic->ownNode.data());
    node = ic->ownNode.data();
  } else {
    int k = 0;
    int hit = -1;
    for (; k < c.n; ++k) {
      if (c.dir[static_cast<std::size_t>(k)].second == nullptr) break;
      if (c.dir[static_cast<std::size_t>(k)].first == block) {
        hit = k;
        break;
      }
    }
    if (hit == 0) {
      node = c.dir[0].second;
    } else if (hit > 0) {
      std::swap(c.dir[static_cast<std::size_t>(hit)], c.dir[static_cast<std::size_t>(hit - 1)]);
      node = c.dir[static_cast<std::size_t>(hit - 1)].second;
    } else {
      int use = k;
      if (k < c.n) {
        c.dir[static_cast<std::size_t>(k)].second = c.buffer.data() + static_cast<std::size_t>(k) * kNodeSize;
      } else {
        use = c.n - 1;
        auto& victim = c.dir[static_cast<std::size_t>(use)];
        if (victim.first != 0 && (victim.second[2] != 0 || victim.second[3] != 0))
          SeekAndWrite(*ic, slot, victim.first, victim.second);
      }
      auto& d = c.dir[static_cast<std::size_t>(use)];
      d.first = block;
      ok = SeekAndRead(*ic, slot, block, d.second);
      if (!ok) d.first = 0;  // never matches: block 0 is not a node
      node = d.second;
    }
  }
  if (!ok) return false;
  const int count = NodeCount(node);
  if (count < 0 || count > ic->KeysPerNode()) {
    TzError(254, DamagedText(*ic, slot, block, "Knoten"));
    return false;
  }
  ic->node = node;
  ic->block = block;
  ic->TakeEntry(0);
  return true;
}

void SetIndexCache(std::uint16_t size) {
  AreaIndex& ar = CurArea();
  NodeCache& c = ar.cache;
  if (Ndx().noCache) size = 0;
  if (size != 0) {
    size = static_cast<std::uint16_t>(size / kNodeSize * kNodeSize);
    if (size < 2048) size = 2048;
    if (size == c.size) return;
  }
  DetachMaster(ar);
  c.buffer.clear();
  c.buffer.shrink_to_fit();
  c.dir.clear();
  c.n = 0;
  c.size = size;
  if (size == 0) return;
  c.n = size / kNodeSize;
  c.dir.assign(static_cast<std::size_t>(c.n), {0u, nullptr});
  c.buffer.assign(size, 0);
}

void EmptyIndexCache(AreaIndex& ar) {
  NodeCache& c = ar.cache;
  if (c.n == 0) return;
  DetachMaster(ar);
  for (auto& d : c.dir) d = {0u, nullptr};
  std::fill(c.buffer.begin(), c.buffer.end(), 0);
}

void ResetPath(IndexControl& ic) {
  ic.path.clear();
  ic.pathWrites = ic.writes;
}

void AddPath(IndexControl& ic) {
  if (ic.path.capacity() < 16) ic.path.reserve(16);
  PathEntry& e = ic.path.emplace_back();
  e.block = ic.block;
  std::memcpy(e.node.data(), ic.node, kNodeSize);
}

std::uint32_t PopPath(IndexControl& ic) {
  if (ic.path.size() <= 1) return 0;
  ic.path.pop_back();
  return ic.path.back().block;
}

std::uint8_t* FindPathNode(IndexControl& ic, std::uint32_t block) {
  for (auto it = ic.path.rbegin(); it != ic.path.rend(); ++it)
    if (it->block == block) return it->node.data();
  return nullptr;
}

}  // namespace zeb::xbase
