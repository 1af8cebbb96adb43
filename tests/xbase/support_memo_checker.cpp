#include "support_memo_checker.h"

#include <algorithm>
#include <random>
#include <set>

namespace zeb::xbase::test {

namespace {

std::uint32_t Le32(const std::string& b, std::uint64_t at) {
  if (at + 4 > b.size()) return 0;
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<unsigned>(i)]);
  return v;
}

void PutLe32(std::string& b, std::uint64_t at, std::uint32_t v) {
  if (b.size() < at + 4) b.resize(at + 4, '\0');
  for (int i = 0; i < 4; ++i) b[at + static_cast<unsigned>(i)] = static_cast<char>(v >> (8 * i));
}

std::uint16_t BlockSizeOf(const std::string& b) {
  if (b.size() < 22) return 512;
  const auto bs = static_cast<std::uint16_t>(static_cast<unsigned char>(b[20]) | (static_cast<unsigned char>(b[21]) << 8));
  return bs == 0 ? 512 : bs;
}

bool UsedMark(const std::string& b, std::uint64_t at) {
  return at + 4 <= b.size() && static_cast<unsigned char>(b[at]) == 0xFF && static_cast<unsigned char>(b[at + 1]) == 0xFF &&
         b[at + 2] == 0x08 && b[at + 3] == 0x00;
}

// [first, end) block ranges of the referenced groups that are well formed.
std::vector<std::pair<std::uint64_t, std::uint64_t>> Groups(const std::string& b, const std::vector<std::uint32_t>& refs) {
  const std::uint16_t bs = BlockSizeOf(b);
  std::vector<std::pair<std::uint64_t, std::uint64_t>> g;
  for (std::uint32_t r : std::set<std::uint32_t>(refs.begin(), refs.end())) {
    const std::uint64_t at = std::uint64_t{r} * bs;
    if (r == 0 || !UsedMark(b, at)) continue;
    const std::uint32_t len = Le32(b, at + 4);
    g.emplace_back(r, r + (std::max<std::uint32_t>(len, 1) + bs - 1) / bs);
  }
  std::sort(g.begin(), g.end());
  return g;
}

// First block that lies wholly past the header bytes (24, and the counter
// at 32..35 when block 0 holds it).
std::uint64_t FirstBlock(std::uint16_t bs) {
  const std::uint64_t reserved = bs >= 36 ? 36 : 24;
  return std::max<std::uint64_t>(1, (reserved + bs - 1) / bs);
}

}  // namespace

std::string Dbase4MemoReport::Text() const {
  std::string s;
  for (const auto& p : problems) s += p + "\n";
  return s;
}

Dbase4MemoReport CheckDbase4Memo(const std::string& b, const std::vector<std::uint32_t>& referenced) {
  Dbase4MemoReport rep;
  if (b.size() < 24) {
    rep.problems.push_back("file shorter than its 24-byte header");
    return rep;
  }
  rep.blockSize = BlockSizeOf(b);
  rep.nextFree = Le32(b, 0);
  const std::uint16_t bs = rep.blockSize;
  rep.fileBlocks = b.size() / bs;
  if (static_cast<unsigned char>(b[18]) != 2 || b[19] != 1) rep.problems.push_back("bytes 18..19 are not 02 01");
  const std::uint64_t first = FirstBlock(bs);
  // block -> owner (group start) for overlap checks
  std::map<std::uint64_t, std::uint64_t> owner;
  for (std::uint32_t r : std::set<std::uint32_t>(referenced.begin(), referenced.end())) {
    if (r == 0) continue;
    const std::uint64_t at = std::uint64_t{r} * bs;
    const std::string where = "group " + std::to_string(r) + ": ";
    if (r < first) {
      rep.problems.push_back(where + "inside the header");
      continue;
    }
    if (!UsedMark(b, at)) {
      rep.problems.push_back(where + "does not start FF FF 08 00");
      continue;
    }
    const std::uint32_t len = Le32(b, at + 4);
    if (len < 8) {
      rep.problems.push_back(where + "length below 8");
      continue;
    }
    if (at + len > b.size()) {
      rep.problems.push_back(where + "runs past the end of the file");
      continue;
    }
    const std::uint64_t blocks = (len + bs - 1) / bs;
    for (std::uint64_t k = r; k < r + blocks; ++k) {
      auto [it, fresh] = owner.emplace(k, r);
      if (!fresh) {
        rep.problems.push_back(where + "shares block " + std::to_string(k) + " with group " + std::to_string(it->second));
        break;
      }
    }
    rep.memos[r] = b.substr(at + 8, len - 8);
  }
  // The chain.
  std::set<std::uint64_t> seen;
  std::uint64_t pos = rep.nextFree;
  while (pos < rep.fileBlocks) {
    const std::string where = "chain element " + std::to_string(pos) + ": ";
    if (!seen.insert(pos).second) {
      rep.problems.push_back(where + "visited twice (cycle)");
      break;
    }
    if (pos < first) {
      rep.problems.push_back(where + "inside the header");
      break;
    }
    const std::uint32_t next = Le32(b, pos * bs);
    const std::uint32_t count = Le32(b, pos * bs + 4);
    rep.chain.emplace_back(static_cast<std::uint32_t>(pos), count);
    if (count == 0 || pos + count > rep.fileBlocks) {
      rep.problems.push_back(where + "block count " + std::to_string(count) + " outside the file");
      break;
    }
    bool clash = false;
    for (std::uint64_t k = pos; k < pos + count && !clash; ++k) {
      auto [it, fresh] = owner.emplace(k, ~std::uint64_t{0} - pos);
      if (!fresh) {
        rep.problems.push_back(where + "overlaps block " + std::to_string(k));
        clash = true;
      }
    }
    if (clash) break;
    pos = next;
  }
  return rep;
}

void AddFreeChain(std::string& b, const std::vector<std::uint32_t>& referenced, std::uint32_t seed) {
  const std::uint16_t bs = BlockSizeOf(b);
  const std::uint64_t blocks = b.size() / bs;
  std::vector<bool> used(blocks, false);
  for (std::uint64_t k = 0; k < std::min(blocks, FirstBlock(bs)); ++k) used[k] = true;
  for (auto [s, e] : Groups(b, referenced))
    for (std::uint64_t k = s; k < e && k < blocks; ++k) used[k] = true;
  std::mt19937 rng(seed);
  std::vector<std::pair<std::uint64_t, std::uint64_t>> elements;  // (block, count)
  for (std::uint64_t k = 0; k < blocks;) {
    if (used[k]) {
      ++k;
      continue;
    }
    std::uint64_t e = k;
    while (e < blocks && !used[e]) ++e;
    // Split the run [k, e) into elements; leave some out.
    while (k < e) {
      std::uint64_t n = std::min<std::uint64_t>(e - k, 1 + rng() % 4);
      if (n * bs >= 8 && rng() % 4 != 0) elements.emplace_back(k, n);
      k += n;
    }
  }
  std::uint64_t next = (b.size() + bs - 1) / bs;  // the last element points at the end
  for (auto it = elements.rbegin(); it != elements.rend(); ++it) {
    PutLe32(b, it->first * bs, static_cast<std::uint32_t>(next));
    PutLe32(b, it->first * bs + 4, static_cast<std::uint32_t>(it->second));
    next = it->first;
  }
  PutLe32(b, 0, static_cast<std::uint32_t>(next));
}

void AddDamagedChain(std::string& b, const std::vector<std::uint32_t>& referenced, int kind) {
  const std::uint16_t bs = BlockSizeOf(b);
  const std::uint64_t blocks = (b.size() + bs - 1) / bs;
  b.resize(blocks * bs, '\0');
  const auto groups = Groups(b, referenced);
  if (groups.empty()) return;
  const std::uint64_t g = groups.front().first;
  switch (kind) {
    case 0: {
      // A free element at the end of the file pointing back at a group:
      // grow the file by two blocks for it.
      b.resize((blocks + 2) * bs, '\0');
      PutLe32(b, blocks * bs, static_cast<std::uint32_t>(g));
      PutLe32(b, blocks * bs + 4, 1);
      PutLe32(b, 0, static_cast<std::uint32_t>(blocks));
      break;
    }
    case 1: {
      b.resize((blocks + 4) * bs, '\0');
      PutLe32(b, blocks * bs, static_cast<std::uint32_t>(blocks + 2));
      PutLe32(b, blocks * bs + 4, 2);
      PutLe32(b, (blocks + 2) * bs, static_cast<std::uint32_t>(blocks));  // back: a cycle
      PutLe32(b, (blocks + 2) * bs + 4, 2);
      PutLe32(b, 0, static_cast<std::uint32_t>(blocks));
      break;
    }
    case 2: {
      // An element just before a group claiming to reach into it.
      const std::uint64_t start = g > FirstBlock(bs) ? g - 1 : g;
      if (start == g || (start * bs) + 8 > b.size()) {
        PutLe32(b, 0, static_cast<std::uint32_t>(g));  // head at the group itself
        break;
      }
      bool free = true;
      for (const auto& [s, e] : groups)
        if (start >= s && start < e) free = false;
      if (!free) {
        PutLe32(b, 0, static_cast<std::uint32_t>(g));
        break;
      }
      PutLe32(b, start * bs, static_cast<std::uint32_t>(blocks));
      PutLe32(b, start * bs + 4, static_cast<std::uint32_t>(groups.front().second - start));
      PutLe32(b, 0, static_cast<std::uint32_t>(start));
      break;
    }
    default:
      PutLe32(b, 0, 0);
      break;
  }
}

}  // namespace zeb::xbase::test
