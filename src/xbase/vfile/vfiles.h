// Virtual files: tables that live in memory as a doubly linked list of
// records. The work-area commands reach them through the virtual-file hook;
// the commands here act on the current area, which must hold one.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "xbase/dbf/dbffile.h"

namespace zeb::xbase {

// Insertion modes.
enum LStatusType : std::uint8_t { FIFO = 0, LIFO = 1, INSERTION = 2, ASCENDING = 3, DESCENDING = 4 };

// Returns the key text of the record in the area's record buffer.
using VFileKeyFunc = std::function<std::string()>;

// Installs the dispatch procedure into the engine's virtual-file hook.
void InitVirtualFiles();

// --- commands on the current area
// Defines the fields (names cut to 10 and upper-cased; D 8, L 1, M 10 as N).
void AddStru(const std::vector<FieldDesc>& defs);
void SnipRec();
void PopRec();
void Set_VFileKey_To(VFileKeyFunc key);
LStatusType Get_VFileMode();
void Set_VFileMode_To(LStatusType mode);
void SortVFile(LStatusType mode);

// --- counters (tests and benchmarks)
struct VFileCounters {
  std::uint64_t keyCalls = 0;   // key function calls
  std::uint64_t walkSteps = 0;  // nodes passed while positioning
  std::uint64_t positionings = 0;
};
VFileCounters& VFileCounter();
// Test seam: fail the next n allocations of record nodes (memory exhausted).
void SetVFileAllocFailures(int n);

}  // namespace zeb::xbase
