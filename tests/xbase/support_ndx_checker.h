// An independent reader of NDX index files for the tests: it walks the
// tree from the header's root and reports every rule of the file layout
// that a file breaks, with the leaf entries in tree order.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace zeb::xbase::test {

struct NdxLeafEntry {
  std::string key;  // key length bytes
  std::uint32_t record = 0;
};

struct NdxReport {
  std::vector<std::string> problems;
  bool Ok() const { return problems.empty(); }
  std::string Text() const;
  // header
  std::uint32_t root = 0;
  std::uint32_t nextFree = 0;
  char keyType = 0;
  int keyLength = 0;
  int keysPerNode = 0;
  int itemSize = 0;
  bool numeric = false;
  bool unique = false;
  std::string expression;
  bool extensionValid = false;
  std::uint32_t recordCount = 0;
  std::string tableName;
  std::uint64_t fileSize = 0;
  // tree
  std::vector<NdxLeafEntry> entries;
  std::uint32_t nodesReached = 0;
  int minLeafDepth = 0;
  int maxLeafDepth = 0;
};

struct NdxCheckOptions {
  // A freshly built file: equal keys in ascending record order, every node
  // but the last of its height full, size = next free x 512, rest of each
  // node zero.
  bool fresh = false;
};

NdxReport CheckNdxFile(const std::string& path, NdxCheckOptions options = {});

// The number of an 8-byte numeric or date key.
double NdxKeyNumber(const std::string& key);

}  // namespace zeb::xbase::test
