// Helpers of the index tests: an engine with the parser and the index
// engine installed, tables of random rows, and the reference order of keys.
#pragma once
#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "support_ndx_checker.h"
#include "x2_support.h"
#include "xbase/index/ndx.h"
#include "xbase/index/ndxkeys.h"
#include "xbase/expr/parser.h"

namespace zeb::xbase::test {

class NdxTest : public AreaTest {
 protected:
  void SetUp() override {
    AreaTest::SetUp();
    InitParserUnit();
    IndexInit();
  }
};

// The key bytes of a number (little-endian double, -0 as +0).
inline std::string NumKey(double x) {
  if (x == 0.0) x = 0.0;
  std::string s(8, '\0');
  std::memcpy(s.data(), &x, 8);
  return s;
}

// Leaf entries in the order the file must hold them (key, then record).
struct KeyRec {
  std::string key;
  std::uint32_t record;
};

inline bool NumLess(const KeyRec& a, const KeyRec& b) {
  double x = NdxKeyNumber(a.key), y = NdxKeyNumber(b.key);
  if (x != y) return x < y;
  return a.record < b.record;
}

inline bool CharLess(const KeyRec& a, const KeyRec& b) {
  int c = std::memcmp(a.key.data(), b.key.data(), std::min(a.key.size(), b.key.size()));
  if (c != 0) return c < 0;
  return a.record < b.record;
}

inline std::vector<KeyRec> Entries(const NdxReport& r) {
  std::vector<KeyRec> v;
  for (const auto& e : r.entries) v.push_back({e.key, e.record});
  return v;
}

inline bool SameEntries(const std::vector<KeyRec>& a, const std::vector<KeyRec>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i].key != b[i].key || a[i].record != b[i].record) return false;
  return true;
}

// A table NUM N(10) with the given values, appended in order (exclusive).
inline void MakeNumberTable(const std::string& path, const std::vector<long long>& values) {
  CreateTable(path, {Fd("NUM", 'N', 10)});
  USE(path + " EXCLUSIVE");
  for (long long v : values) AppendRow({std::to_string(v)});
  CloseArea();
}

}  // namespace zeb::xbase::test
