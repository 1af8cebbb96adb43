// Work areas: 35 numbered slots, each holding one open table, and the
// commands that act on the table of the current area (open and close,
// select, move, read and change records, field access). Areas 1..33 are for
// callers, 34 and 35 for the engine (35 holds the source of AppendFrom).
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "xbase/dbf/dbffile.h"
#include "xbase/core/hooks.h"

namespace zeb::xbase {

constexpr int kAreaCount = 35;
constexpr int kCallerAreas = 33;
constexpr int kFromFileArea = 35;

// One open table with its record buffer, visibility settings and locks.
struct WorkArea : DbfTable {
  int number = 0;
  std::string alias;  // upper case, unique among areas 1..33
  bool hideDeleted = false;
  // The caller-visible record (layout of FieldBufferKind, dbffile.h).
  std::uint8_t* recordBuffer = nullptr;
  std::size_t recordBufferSize = 0;
  bool bufferOwned = false;
  std::vector<std::uint8_t> ownedBuffer;
  std::vector<std::uint8_t> swapBuffer;  // used by Replace with an index
  // Visibility and scope: the call-back decides, else the expression.
  std::function<bool()> filter;
  CompiledExpr* filterExpr = nullptr;
  std::function<bool()> whileCondition;
  CompiledExpr* whileExpr = nullptr;
  std::function<void()> moveNotify;
  // Locked record numbers, the most recent last.
  std::vector<std::int32_t> recordLocks;
  // The next Append keeps blanks in fields whose value is a blank record's
  // (a new record of the dataset: nothing typed there).
  bool appendKeepsBlanks = false;
  // The next Append keeps these bytes (a record as stored) where its value
  // reads the same: a copied record stays byte for byte what it was.
  std::string appendBase;
  // The record as read when the caller's edit began ("" none): Replace
  // writes only the fields whose value differs from it (or were set).
  std::string editBase;
  // A field (number - 1) changed both by the edit and in the file since the
  // edit began: true writes the edit's value, false keeps the file's.
  std::function<bool(int field, std::string_view filed, std::string_view typed)> overwriteBoth;
  // Fields the caller set for the next Append or Replace (by field number
  // - 1): written even where their value reads as the one stored before.
  std::vector<bool> fieldsSet;
  // Pack turned a shared area exclusive for its run.
  bool reopenedExclusive = false;
  // The area's indexes are its own (orders of one program in a folder of
  // its own): no other program uses them, so they take no semaphore and are
  // built again without the table to themselves.
  bool ownIndexes = false;
  // Virtual files: insertion order and storage kind.
  std::uint8_t virtualOrder = 0;
  std::uint8_t storageKind = 0;
  // The engine's own buffer takes a record's fields when they are first
  // read after the move (a field is current when its generation is the
  // area's); the deleted flag at once.
  mutable bool undecoded = false;
  mutable std::uint32_t generation = 0;
  mutable std::vector<std::uint32_t> fieldGeneration;
};

// --- areas
// The area of number n (1..35), nullptr when empty or out of range.
WorkArea* AreaAt(int n);
// The current area's table, nullptr when none is open.
WorkArea* CurrentWorkArea();
// Error 215 naming routine when the current area holds no table; true then.
bool CheckWorkArea(std::string_view routine);

// Opens a table in the current area (closing what it held first). Command:
// file name with the options " EXCLUSIVE" and " ALIAS <name>" (case
// ignored; the path keeps its case). buffer/size: the caller's record buffer
// (both absent: the engine allocates one).
void USE(std::string_view command, std::uint8_t* buffer = nullptr, std::size_t size = 0);
// USE with the two record conversion procedures (before write, after read).
void UseWithValues(std::string_view command, std::uint8_t* buffer, std::size_t size,
                   RecordProc beforeWrite, RecordProc afterRead);
// 0 takes the first empty area of 1..33.
void Select(int n);
int CurrentArea();
void CloseArea();
void CloseAll();
// Engine use: selects any area 1..35 without checks.
void SelectArea(int n);

// --- records
std::int32_t RecNo();
std::int32_t RecCount();
std::uint16_t RecSize();
bool Deleted();
void Append();
void Replace();
void DeleteRec();
void RecallRec();
void ClearRecord();

// --- fields
int FieldCount();
std::string Field(int n);
int FieldNo(std::string_view name);
char FieldType(int n);
std::uint8_t FieldLen(int n);
std::uint8_t FieldDec(int n);
std::uint8_t* FieldAddress(int n);
std::string FieldAsString(int n);
std::string AliasOf();
std::string AreaName();

// Typed access to a field of an area's record buffer (1-based field).
std::string BufferText(const WorkArea& a, int field);  // C, D
void SetBufferText(WorkArea& a, int field, std::string_view text);
long double BufferNumber(const WorkArea& a, int field);  // N, F, M
void SetBufferNumber(WorkArea& a, int field, long double value);
std::int64_t BufferInteger(const WorkArea& a, int field);  // N, F (truncated), M
void SetBufferInteger(WorkArea& a, int field, std::int64_t value);
bool BufferLogical(const WorkArea& a, int field);
void SetBufferLogical(WorkArea& a, int field, bool value);

// --- positioning (current area)
void GO(std::int32_t n);
void Dbf4RawGo(std::int32_t n);
void GoNotify(std::int32_t n);
bool GoIfValid(std::int32_t n);
void GoTop();
void GoBottom();
void TopWhile();
void BottomWhile();
void SKIP(std::int32_t count = 1);
bool SyncVisible();
bool dEOF();
bool dBOF();
bool SetIgnoreDel(bool hide);
bool IsWhileOn();
// Each returns the previous value. Setting a notification runs it at once.
std::function<void()> SetMoveNotify(std::function<void()> notify);
std::function<bool()> SetFilter(std::function<bool()> filter);
CompiledExpr* SetFilterExpr(CompiledExpr* expr);
std::function<bool()> SetWhile(std::function<bool()> condition);
CompiledExpr* SetWhileExpr(CompiledExpr* expr);
// Replaces the stepping loop of SKIP: given the count, the target record.
using SkipProc = std::function<std::int32_t(std::int32_t count)>;
SkipProc SetSkipProc(SkipProc proc);

// --- shared by the table commands
// Records in the file unless exclusive (virtual files keep their count).
void RefreshRecordCount(WorkArea& a);
// Not hidden as deleted and passing the filter.
bool RecordVisible(WorkArea& a);
bool WhileHolds(WorkArea& a);
void NotifyMove(WorkArea& a);
void GoPhantom(WorkArea& a);
bool IndexActive();
// Reads record n (alone, or as a step of a walk: see GetDbfRecord) and
// converts it into the record buffer.
void ReadRecord(WorkArea& a, std::int32_t n, RecordRead how = RecordRead::Walk);
// Converts the fields of the record that are not yet in the buffer (before
// the buffer is read or copied as a whole, or the stored record is swapped).
void CompleteRecordBuffer(const WorkArea& a);
// The record as stored, converted into the whole buffer.
void UnpackWholeRecord(WorkArea& a);
// Suspends an area's move notification for a scope.
class SuspendNotify {
 public:
  explicit SuspendNotify(WorkArea& a);
  ~SuspendNotify();
  SuspendNotify(const SuspendNotify&) = delete;
  SuspendNotify& operator=(const SuspendNotify&) = delete;
 private:
  int area_;
  std::function<void()> saved_;
};

}  // namespace zeb::xbase
