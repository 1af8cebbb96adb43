// State of the work-area unit kept in the engine, shared by the files of
// the table commands.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "xbase/core/engine.h"
#include "xbase/dbf/workarea.h"

namespace zeb::xbase {

// Consecutive stored records of one table read by Peek.
struct ReadCache {
  std::string bytes;
  std::string alias;
  std::int32_t first = 0;
  std::int32_t count = 0;
  bool Holds(std::string_view a, std::int32_t r) const {
    return count > 0 && alias == a && r >= first && r < first + count;
  }
  void Free() {
    bytes.clear();
    bytes.shrink_to_fit();
    alias.clear();
    first = count = 0;
  }
};

struct LocateState {
  std::string text;
  bool caseSensitive = false;
  bool exact = false;
  bool contained = false;
  int field = 0;
};

struct WorkAreaUnit : TzEngineUnit {
  std::array<std::unique_ptr<WorkArea>, kAreaCount + 1> areas;
  int current = 0;
  SkipProc skipProc;
  ReadCache cache;
  LocateState locate;
  std::function<void()> searchCallback;
  bool foundFlag = false;
  int searchField = 0;
  bool reindexing = false;
  ~WorkAreaUnit() override;
};

WorkAreaUnit& Areas();
// The unit when it exists (no creation; for destructors and checks).
WorkAreaUnit* AreasIfAny();

// Blank record: stored record of blanks converted into the record buffer.
void ClearRecordOf(WorkArea& a);
// Puts Peek's cached copy of record n in step with the file.
void RefreshCachedRecord(WorkArea& a, std::int32_t n);

// Text of a number for messages.
inline std::string Num(long long v) { return std::to_string(v); }

// Guard for the index read or write semaphore (hooks 23, 24).
class IndexSemaphore {
 public:
  IndexSemaphore(bool active, bool write);
  ~IndexSemaphore();
  IndexSemaphore(const IndexSemaphore&) = delete;
  IndexSemaphore& operator=(const IndexSemaphore&) = delete;
  void Release();
 private:
  bool held_;
  bool write_;
};

}  // namespace zeb::xbase
