// NDX indexes of the work areas: building, opening, ordering, searching,
// key maintenance and the semaphore files through which programs share
// them. The work-area commands reach the engine through the index hooks
// that IndexInit installs; the calls here act on the current work area.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace zeb::xbase {

// A caller's key procedure: fills key for the current record of the
// current area; order is the order number the index was opened with.
using KeyMaker = std::function<void(int order, std::string& key)>;

// Marker written instead of a key expression by an index built from a
// KeyMaker.
extern const char* const kKeyMakerMarker;

// --- engine
// Installs the index hooks (once per engine; a second call reports 254).
void IndexInit();
// Closes the indexes of areas 1 to 34 and removes the hooks.
void IndexDone();
bool IndexInstalled();

// --- building and opening
// Options as blank-led words in the file text: " UNIQUE", " SOUNDEX",
// " DESCENDING", " NOCACHE".
void Index_On(std::string_view expression, std::string_view fileAndOptions);
void Index_OnCB(std::string_view fileAndOptions, KeyMaker keyMaker);
// Builds the file without opening it.
void MakeIndexExpr(std::string_view expression, std::string_view fileAndOptions);
void MakeIndexCB(std::string_view fileAndOptions, KeyMaker keyMaker);
// Closes all indexes of the area, then opens the blank-separated names into
// slots 1, 2, ... with slot 1 the master.
void Set_Index_To(std::string_view nameList);
// Opens one index into slot 1..16; true on success.
bool SetIndexTo(std::string_view fileAndOptions, int slot, KeyMaker keyMaker = {});
// SetIndexTo, then Set_Order_To(1); the name is taken whole.
bool Set_Index_ToCB(std::string_view fileAndOptions, int slot, KeyMaker keyMaker);
bool Set_Index_ToLFN(std::string_view fileAndOptions, int slot);
// 0 natural order; 1..16 makes the index opened as that number the master.
void Set_Order_To(int order);
int CurrentOrder();
// Rebuilds every open index of the area from its stored expression.
void Reindex();
void CloseIndex(int slot);
void CloseIndexes();

struct IndexInfoRecord {
  std::string expression;
  int keyLength = 0;
  char keyType = 0;
  bool unique = false;
  std::int32_t recordCount = -1;
  std::string tableName;
};
// Reads the header of an index file without opening it into a slot.
bool IndexInfo(std::string_view fileName, IndexInfoRecord& info);
std::int32_t IndexRecordCount(std::string_view fileName);

// --- searching
// The user's key search in the master; the found flag. The area stands on
// the found record or past the end.
bool Find(std::string_view key);
bool IndexFound();
// Exact-match switch: on, Find compares the whole key length; returns the
// previous value.
bool SetKeyPadding();
void ClearKeyPadding();
// File name of the index in a slot of the current area ("" when empty).
std::string IndexFileName(int slot);

// --- settings (start values in brackets)
// Node-cache size of a master opened without NOCACHE (4096).
std::uint16_t SetDefaultIndexCacheSize(std::uint16_t bytes);
// Switches every node cache off (off).
bool SetIndexNoCache(bool on);
// Every index built as UNIQUE (off).
bool SetUniqueDefault(bool on);
// Folder of the semaphore files ("" = beside the table).
void SetSemaphoreFolder(std::string_view folder);
// Lock attempts of a semaphore action and the wait between them (1001,
// 10 ms); the writer's wait for readers in seconds, 0 = no limit (100).
void SetSemaphoreWaits(int attempts, int waitMs, std::uint16_t writerWaitSeconds);
// A progress routine called exactly steps times by every build.
void SetIndexProgress(std::function<void()> routine, int steps);

// --- counters and test seams
struct IndexCounters {
  std::uint64_t nodeFetches = 0;  // nodes made current (GetNode)
  std::uint64_t nodeReads = 0;    // node blocks read from a file
  std::uint64_t nodeWrites = 0;   // node blocks written to a file
  std::uint64_t headerReads = 0;  // headers read again after another program's change
  std::uint64_t builds = 0;
  std::uint64_t workFileRuns = 0;  // runs written to a build's work file
};
IndexCounters& IndexCounter();
// Items per sorted run of a build (0 = the default); returns the previous.
std::size_t SetIndexBuildRunItems(std::size_t items);
// An errno for the write of block (0: the header) of the index in slot,
// slot 0 for the nodes a build writes; 0 lets the write happen.
void SetIndexWriteFault(std::function<int(int slot, std::uint32_t block)> fault);

}  // namespace zeb::xbase
