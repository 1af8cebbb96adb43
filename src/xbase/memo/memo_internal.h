// State of the memo unit kept in the engine, and the helpers its files
// share: positioned I/O, byte order, error reports.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "xbase/dbf/dbffile.h"
#include "xbase/memo/memo.h"
#include "xbase/core/engine.h"
#include "xbase/dbf/workarea.h"

namespace zeb::xbase {

struct MemoUnit : TzEngineUnit {
  int initCount = 0;
  std::array<std::unique_ptr<MemoFileRec>, kAreaCount + 1> files;
  MemoFilter writeFilter;
  MemoFilter readFilter;
  bool widthOn = false;
  int width = 78;
  bool flushOnClose = false;
  std::uint16_t lastIoResult = 0;  // of the last memo file operation
  std::int32_t blockReads = 0;     // buffer fills of the last GetMemo
  MemoLineTable lines;
};

MemoUnit& Memo();

// Memo text goes between code pages 850 and 1252 exactly when the current
// area's record fields do (not for a table marked ANSI).
inline bool MemoTextConverted() {
  const WorkArea* a = CurrentWorkArea();
  return a == nullptr || a->oemText;
}

namespace memoio {

// Positioned transfers of the table layer.
using ::zeb::xbase::ReadAt;
using ::zeb::xbase::WriteAt;
// -1 when unknown.
std::int64_t FileSize(int fd);

inline std::uint32_t GetLE32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint32_t GetBE32(const std::uint8_t* p) {
  return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
         (static_cast<std::uint32_t>(p[2]) << 8) | static_cast<std::uint32_t>(p[3]);
}
inline std::uint16_t GetLE16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
inline std::uint16_t GetBE16(const std::uint8_t* p) { return static_cast<std::uint16_t>((p[0] << 8) | p[1]); }
inline void PutLE32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void PutBE32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}
inline void PutLE16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void PutBE16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 8);
  p[1] = static_cast<std::uint8_t>(v);
}

// Block header of a used dBASE IV group.
inline bool IsUsedGroup(const std::uint8_t* p) { return p[0] == 0xFF && p[1] == 0xFF && p[2] == 0x08 && p[3] == 0x00; }

// Blocks of n bytes, rounded up.
inline std::int64_t BlocksFor(std::int64_t bytes, std::uint16_t blockSize) {
  return bytes <= 0 ? 0 : (bytes + blockSize - 1) / blockSize;
}

// The bytes of a fresh memo file (513 for dBASE III, the 512-byte header for
// FoxPro, 24 bytes for dBASE IV; the name goes into the dBASE IV header).
std::string FreshMemoFile(std::uint8_t memoType, std::uint16_t blockSize, std::string_view fileName);

}  // namespace memoio

// The memo file's name for error texts: the open file's, else the table's
// name with the memo extension of its version byte.
std::string MemoErrorName();
// Releases the memo lock of the current area, then reports.
void MemoFail(std::uint16_t code, const std::string& text);
// The current area's memo file, nullptr after error 215 or 1019.
MemoFileRec* CheckMemoField(std::string_view caller);
// The current area's memo file without checks (nullptr when none).
MemoFileRec* CurrentMemo();
// Adds n to the counter at offset 32 of dBASE IV files (types 0x8B, 0x8C)
// when block 0 holds it; false after a reported error.
bool AddToMemoCounter(MemoFileRec& m, std::uint32_t n);
// fsync of the memo file; false after a reported error.
bool MemoFlush(MemoFileRec& m);
// Applies a filter to a copy when there is one.
inline void ApplyFilter(const MemoFilter& f, char* p, std::size_t n) {
  if (f && n > 0) f(p, n);
}

}  // namespace zeb::xbase
