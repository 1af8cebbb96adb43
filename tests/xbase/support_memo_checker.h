// An independent reader of dBASE IV memo files (DBT, version 0x8B/0x8C),
// written from the file layout alone: header (next free block at 0, block
// size at 20), used groups (FF FF 08 00, u32 length counting the 8 header
// bytes, ceil(length / block size) blocks), free elements (u32 next free
// block, u32 block count) chained from the header up to a next of the
// file's block count or more.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace zeb::xbase::test {

struct Dbase4MemoReport {
  std::vector<std::string> problems;
  std::uint16_t blockSize = 0;
  std::uint32_t nextFree = 0;
  std::uint64_t fileBlocks = 0;  // whole blocks in the file
  std::map<std::uint32_t, std::string> memos;                 // block -> data
  std::vector<std::pair<std::uint32_t, std::uint32_t>> chain;  // (block, count)
  bool ok() const { return problems.empty(); }
  std::string Text() const;
};

// Checks the file's bytes against the blocks the table references: every
// referenced group starts FF FF 08 00 with a length of at least 8 that ends
// inside the file, lies past the header, and no two groups share a block;
// the free chain is acyclic, inside the file and apart from every group.
Dbase4MemoReport CheckDbase4Memo(const std::string& bytes, const std::vector<std::uint32_t>& referenced);

// Builds a free chain over blocks no referenced group uses (ascending,
// random element sizes, some free runs left out) and points the header at
// it. The chain's last element points at the file's block count.
void AddFreeChain(std::string& bytes, const std::vector<std::uint32_t>& referenced, std::uint32_t seed);

// Chains that a careless writer could leave: kind 0 an element whose next
// points at a used group, 1 a cycle, 2 an element overlapping a group,
// 3 a head inside the header block. Referenced must not be empty.
void AddDamagedChain(std::string& bytes, const std::vector<std::uint32_t>& referenced, int kind);

}  // namespace zeb::xbase::test
