#include "support_ndx_checker.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>

namespace zeb::xbase::test {

namespace {

constexpr std::size_t kBlock = 512;

std::uint32_t U32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
int I16(const unsigned char* p) { return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8))); }

class Walker {
 public:
  Walker(const std::string& bytes, NdxReport& r, const NdxCheckOptions& o) : b_(bytes), r_(r), o_(o) {}

  // Less-than of two keys by the key type.
  int Cmp(const std::string& a, const std::string& b) const {
    if (r_.numeric) {
      double x = NdxKeyNumber(a), y = NdxKeyNumber(b);
      return x < y ? -1 : (x > y ? 1 : 0);
    }
    return std::memcmp(a.data(), b.data(), a.size()) < 0 ? -1 : (a == b ? 0 : 1);
  }

  struct Span {
    bool empty = true;
    std::string min, max;
  };

  // Walks the subtree under block; returns its height (0 = leaf).
  int Walk(std::uint32_t block, int depth, Span& span) {
    if (block == 0 || block >= r_.nextFree) {
      Problem("child block " + std::to_string(block) + " outside [1, next free)");
      return 0;
    }
    if (!seen_.insert(block).second) {
      Problem("block " + std::to_string(block) + " reached twice");
      return 0;
    }
    if (depth > 64) {
      Problem("tree deeper than 64 levels");
      return 0;
    }
    if ((static_cast<std::uint64_t>(block) + 1) * kBlock > b_.size()) {
      Problem("block " + std::to_string(block) + " beyond the end of the file");
      return 0;
    }
    ++r_.nodesReached;
    const auto* n = reinterpret_cast<const unsigned char*>(b_.data()) + block * kBlock;
    const int count = I16(n);
    const std::string at = " (block " + std::to_string(block) + ")";
    if (count < 0 || count > r_.keysPerNode) {
      Problem("entry count " + std::to_string(count) + " outside 0.." + std::to_string(r_.keysPerNode) + at);
      return 0;
    }
    if (n[2] != 0 || n[3] != 0) Problem("bytes 2-3 not zero" + at);
    const int item = r_.itemSize;
    const int k = r_.keyLength;
    const std::size_t rightAt = 4 + static_cast<std::size_t>(count) * item;
    const std::uint32_t right = U32(n + rightAt);
    const bool leaf = U32(n + 4) == 0;
    if (o_.fresh)
      for (std::size_t i = rightAt + 4; i < kBlock; ++i)
        if (n[i] != 0) {
          Problem("bytes after the last entry not zero" + at);
          break;
        }
    std::vector<std::string> keys;
    for (int i = 0; i < count; ++i) {
      const unsigned char* e = n + 4 + i * item;
      keys.emplace_back(reinterpret_cast<const char*>(e + 8), static_cast<std::size_t>(k));
      if (o_.fresh)
        for (int j = 8 + k; j < item; ++j)
          if (e[j] != 0) {
            Problem("entry padding not zero" + at);
            break;
          }
    }
    if (leaf) {
      if (right != 0) Problem("leaf with a right-most child" + at);
      if (count == 0 && block != r_.root) Problem("empty leaf below the root" + at);
      for (int i = 0; i < count; ++i) {
        const unsigned char* e = n + 4 + i * item;
        if (U32(e) != 0) Problem("leaf entry with a child" + at);
        r_.entries.push_back({keys[static_cast<std::size_t>(i)], U32(e + 4)});
        Extend(span, keys[static_cast<std::size_t>(i)]);
      }
      if (r_.minLeafDepth == 0 || depth < r_.minLeafDepth) r_.minLeafDepth = depth;
      r_.maxLeafDepth = std::max(r_.maxLeafDepth, depth);
      Record(0, count);
      return 0;
    }
    if (count == 0) Problem("interior node without entries" + at);
    int height = -1;
    for (int i = 0; i <= count; ++i) {
      const std::uint32_t child = i < count ? U32(n + 4 + i * item) : right;
      if (child == 0) {
        Problem("interior child 0" + at);
        continue;
      }
      Span sub;
      int h = Walk(child, depth + 1, sub);
      if (i == 0) height = h + 1;
      if (!sub.empty) {
        // Keys under child i are not above separator i; separator i is not
        // above the keys to its right.
        if (i < count && Cmp(sub.max, keys[static_cast<std::size_t>(i)]) > 0)
          Problem("key under entry " + std::to_string(i) + " above its separator" + at);
        if (i > 0 && Cmp(sub.min, keys[static_cast<std::size_t>(i - 1)]) < 0)
          Problem("key right of separator " + std::to_string(i - 1) + " below it" + at);
        if (span.empty) {
          span = sub;
        } else {
          span.max = sub.max;
        }
        span.empty = false;
      }
    }
    Record(height, count);
    return height;
  }

  void FinishFill() {
    if (!o_.fresh) return;
    for (auto& [h, counts] : byHeight_)
      for (std::size_t i = 0; i + 1 < counts.size(); ++i)
        if (counts[i] != r_.keysPerNode) {
          Problem("node " + std::to_string(i) + " of height " + std::to_string(h) + " not full");
          break;
        }
  }

  void Problem(const std::string& p) {
    if (r_.problems.size() < 50) r_.problems.push_back(p);
  }

 private:
  void Extend(Span& s, const std::string& key) {
    if (s.empty) s.min = key;
    s.max = key;
    s.empty = false;
  }
  void Record(int height, int count) { byHeight_[height].push_back(count); }

  const std::string& b_;
  NdxReport& r_;
  const NdxCheckOptions& o_;
  std::set<std::uint32_t> seen_;
  std::map<int, std::vector<int>> byHeight_;
};

}  // namespace

std::string NdxReport::Text() const {
  std::string t;
  for (const auto& p : problems) t += p + "\n";
  return t;
}

double NdxKeyNumber(const std::string& key) {
  double x = 0;
  if (key.size() >= 8) std::memcpy(&x, key.data(), 8);
  return x;
}

NdxReport CheckNdxFile(const std::string& path, NdxCheckOptions options) {
  NdxReport r;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    r.problems.push_back("cannot open " + path);
    return r;
  }
  const std::string b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  r.fileSize = b.size();
  if (b.size() < 2 * kBlock) {
    r.problems.push_back("file shorter than 1024 bytes");
    return r;
  }
  const auto* h = reinterpret_cast<const unsigned char*>(b.data());
  r.root = U32(h);
  r.nextFree = U32(h + 4);
  r.keyType = static_cast<char>(h[9]);
  r.keyLength = I16(h + 12);
  r.keysPerNode = I16(h + 14);
  r.numeric = I16(h + 16) != 0;
  r.itemSize = I16(h + 18);
  r.unique = h[23] != 0;
  std::string expr(reinterpret_cast<const char*>(h + 24), 464);
  std::size_t z = expr.find('\0');
  if (z == std::string::npos || z > 100) r.problems.push_back("key expression not zero-terminated within 100 bytes");
  r.expression = expr.substr(0, z);
  for (std::size_t i = z == std::string::npos ? 464 : z; i < 464; ++i)
    if (h[24 + i] != 0) {
      r.problems.push_back("key expression field not zero after the text");
      break;
    }
  const std::uint32_t check = U32(h + 488);
  r.recordCount = U32(h + 492);
  r.extensionValid = check == ~r.recordCount;
  if (r.extensionValid) {
    std::string t(reinterpret_cast<const char*>(h + 496), 16);
    r.tableName = t.substr(0, t.find('\0'));
  }
  Walker w(b, r, options);
  if (r.keyLength < 0 || r.keyLength > 100) w.Problem("key length " + std::to_string(r.keyLength));
  if (r.itemSize != (r.keyLength + 8 + 3) / 4 * 4) w.Problem("item size " + std::to_string(r.itemSize));
  if (r.itemSize <= 0 || r.keysPerNode != 504 / r.itemSize) w.Problem("keys per node " + std::to_string(r.keysPerNode));
  const bool letterNumeric = r.keyType == 'N' || r.keyType == 'F' || r.keyType == 'D';
  if (r.keyType != 'C' && !letterNumeric) w.Problem(std::string("key type ") + r.keyType);
  if (letterNumeric != r.numeric) w.Problem("numeric flag does not match the key type");
  if (r.numeric && r.keyLength != 8) w.Problem("numeric key of length " + std::to_string(r.keyLength));
  const std::uint64_t blocks = b.size() / kBlock;
  if (r.nextFree < 2 || r.nextFree > blocks) w.Problem("next free " + std::to_string(r.nextFree) + " of " +
                                                        std::to_string(blocks) + " blocks");
  if (options.fresh && b.size() != static_cast<std::uint64_t>(r.nextFree) * kBlock)
    w.Problem("fresh file of " + std::to_string(b.size()) + " bytes, next free " + std::to_string(r.nextFree));
  if (r.root == 0 || r.root >= r.nextFree) w.Problem("root " + std::to_string(r.root) + " outside [1, next free)");
  if (!r.Ok()) return r;
  Walker::Span span;
  w.Walk(r.root, 0, span);
  w.FinishFill();
  for (std::size_t i = 1; i < r.entries.size(); ++i) {
    int c = w.Cmp(r.entries[i - 1].key, r.entries[i].key);
    if (c > 0) {
      w.Problem("leaf keys out of order at entry " + std::to_string(i));
      break;
    }
    if (c == 0 && r.unique) {
      w.Problem("equal keys in a unique index at entry " + std::to_string(i));
      break;
    }
    if (c == 0 && options.fresh && r.entries[i - 1].record >= r.entries[i].record) {
      w.Problem("equal keys not in ascending record order at entry " + std::to_string(i));
      break;
    }
  }
  return r;
}

}  // namespace zeb::xbase::test
