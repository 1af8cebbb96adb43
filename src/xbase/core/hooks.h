// The hook tables through which the work-area commands reach the memo files,
// the index engine, the expression parser and the virtual files. Each is an
// interface whose base implementation is the null object: Installed() false
// and every entry neutral (false, 0, empty), as for an absent unit. A unit
// derives from it and installs itself with SetMemoHooks (engine.h) etc.
// All entries act on the engine's current work area unless they name one.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace zeb::xbase {

struct DbfTable;   // dbffile.h
struct WorkArea;   // the work-area unit; derives from DbfTable
struct CompiledExpr;  // the parser's compiled expression (opaque here)

// The packed copy of a table that Pack has written (header and kept
// records); flush puts its bytes on the disk, commit puts it in the
// table's place: each 0 or an error code.
struct PackedTableCopy {
  int fd = -1;
  std::int64_t headerLength = 0;
  std::int32_t count = 0;
  std::function<std::uint16_t()> flush, commit;
};

// Memo unit: eight slots, in the order the memo unit fills them.
class MemoHookTable {
 public:
  virtual ~MemoHookTable() = default;
  virtual bool Installed() const { return false; }
  // 0: the memo text of a reference (locate, count, sum); false when absent.
  virtual bool AssignMemo(std::int32_t reference, std::string& text) { (void)reference; text.clear(); return false; }
  // 1: pack the memo file of the current area for the records of the
  // table's packed copy: the memo file's packed copy and the table's take
  // their places together, or neither does; 0 or an error code.
  virtual std::uint16_t PackMemofile(PackedTableCopy& copy) { (void)copy; return 0; }
  // 2: open the memo file of the current area's table (USE); 0 or a code.
  virtual std::uint16_t OpenMemofile(std::string_view tableFileName) { (void)tableFileName; return 0; }
  // 3: close the memo file of the current area.
  virtual void CloseMemofile() {}
  // 4: copy memo `block` of the source area into the current area's memo
  // file; the new reference (0 when nothing was written).
  virtual std::int32_t CopyMemoAppend(WorkArea& source, std::int32_t block) { (void)source; (void)block; return 0; }
  // 5: copy in place (filled, not called by the work-area layer).
  virtual std::int32_t CopyMemoInPlace(WorkArea& source, std::int32_t block) { (void)source; (void)block; return 0; }
  // 6: re-create the memo file of that name (not called by the work-area layer).
  virtual void ReCreateMemofile(std::string_view memoFileName) { (void)memoFileName; }
  // 7: append a memo with this text to the current area's memo file; its
  // block number, 0 when nothing was written.
  virtual std::int32_t AddMemo(std::string_view text) { (void)text; return 0; }
  // What the current area's memo file holds now: its size (its first
  // block kept by the unit), -1 without a memo file; and back to that, the
  // memos added since cut off: an append that failed takes back its memos.
  virtual std::int64_t MarkMemofile() { return -1; }
  virtual void BackToMark(std::int64_t mark) { (void)mark; }
};

// Key text routine of an index slot (entries 19, 20).
using KeyTextFunc = std::function<std::string()>;

// Index engine: the 25 entries by number; entry 17 is never filled.
class IndexHookTable {
 public:
  virtual ~IndexHookTable() = default;
  // The index engine reports itself present; entries are called only then.
  virtual bool Installed() const { return false; }
  virtual bool HasMasterIndex() { return false; }          // 0
  virtual void SyncMaster() {}                             // 1
  virtual std::int32_t NextRecord() { return 0; }          // 2
  virtual std::int32_t PriorRecord() { return 0; }         // 3
  virtual std::int32_t TopRecord() { return 0; }           // 4
  virtual std::int32_t BottomRecord() { return 0; }        // 5
  virtual bool IndexEof() { return false; }                // 6
  virtual bool IndexBof() { return false; }                // 7
  virtual void AppendNewKey() {}                           // 8
  virtual void Resync() {}                                 // 9
  virtual void SyncAfterReplace() {}                       // 10
  virtual void UpdateKeys() {}                             // 11
  virtual void SetIndexBof() {}                            // 12
  virtual void SetIndexEof() {}                            // 13
  virtual std::uint8_t* FoundFlag() { return nullptr; }    // 14: address of a byte
  virtual void Reindex() {}                                // 15
  virtual void CloseIndexes() {}                           // 16
  virtual std::string IndexName(std::uint8_t slot) { (void)slot; return {}; }       // 18
  virtual KeyTextFunc KeyText(std::uint8_t slot) { (void)slot; return {}; }         // 19
  virtual KeyTextFunc MasterKeyText() { return {}; }                                // 20
  virtual bool IsAscending(std::uint8_t slot) { (void)slot; return false; }         // 21
  virtual bool IsSoundex(std::uint8_t slot) { (void)slot; return false; }           // 22
  virtual void ReadLock(bool begin) { (void)begin; }                                // 23
  virtual void WriteLock(bool begin) { (void)begin; }                               // 24
};

// A value computed by the parser.
struct ExprValue {
  char type = 0;  // 'C', 'N', 'L', 'D', 'M'
  std::string text;
  double number = 0;
  bool logical = false;
};

// Expression parser.
class ParserHookTable {
 public:
  virtual ~ParserHookTable() = default;
  virtual bool Installed() const { return false; }
  // 0: compile; nullptr after a reported error.
  virtual CompiledExpr* AssignExpr(std::string_view text) { (void)text; return nullptr; }
  // 1: free and set to nullptr.
  virtual void ReleaseExpr(CompiledExpr*& expr) { expr = nullptr; }
  // 2: evaluate for the current record of the current area.
  virtual bool EvaluateExpr(CompiledExpr* expr, ExprValue& out) { (void)expr; out = {}; return false; }
  // Entry 2 as used by filters and WHILE conditions: a logical result.
  virtual bool EvaluateBool(CompiledExpr* expr) { (void)expr; return true; }
  // 3: the source text.
  virtual std::string ExprText(CompiledExpr* expr) { (void)expr; return {}; }
};

// Virtual files. The file layer and the work-area commands store a command
// code (1 close, 2 delete, 3 go, 4 open, 5 pack, 6 pop, 7 append, 8 write,
// 9 recall, 10 snip, 12 zap) and a record number in the table and call
// Dispatch. The table is always the DbfTable part of a WorkArea.
class VirtualFileHook {
 public:
  virtual ~VirtualFileHook() = default;
  virtual bool Installed() const { return false; }
  virtual void Dispatch(DbfTable& table) { (void)table; }
};

}  // namespace zeb::xbase
