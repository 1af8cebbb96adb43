// State and internal routines of the index engine, shared by its files.
#pragma once
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "xbase/dbf/dbffile.h"
#include "xbase/index/ndx.h"
#include "xbase/core/engine.h"

namespace zeb::xbase {

struct CompiledExpr;
struct WorkArea;

constexpr int kNodeSize = 512;
constexpr int kIndexSlots = 16;
constexpr int kEntryImageSize = 108;
constexpr std::uint32_t kNoPositionBlock = 0xFFFFFFFFu;
constexpr int kMaxKeyLength = 100;
// Levels a descent may pass before the tree counts as damaged.
constexpr int kMaxDepth = 64;

using Node = std::array<std::uint8_t, kNodeSize>;

inline std::uint32_t GetU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline void PutU32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
  p[3] = static_cast<std::uint8_t>(v >> 24);
}
inline std::int16_t GetI16(const std::uint8_t* p) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
}
inline void PutI16(std::uint8_t* p, int v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

// Node fields.
inline int NodeCount(const std::uint8_t* node) { return GetI16(node); }
inline void SetNodeCount(std::uint8_t* node, int n) { PutI16(node, n); }
inline std::uint8_t* EntryAt(std::uint8_t* node, int i, int itemSize) { return node + 4 + i * itemSize; }
inline const std::uint8_t* EntryAt(const std::uint8_t* node, int i, int itemSize) {
  return node + 4 + i * itemSize;
}
inline std::uint32_t EntryChild(const std::uint8_t* e) { return GetU32(e); }
inline std::uint32_t EntryRecord(const std::uint8_t* e) { return GetU32(e + 4); }
inline const std::uint8_t* EntryKey(const std::uint8_t* e) { return e + 8; }
// The right-most child field after the last entry.
inline std::uint32_t RightChild(const std::uint8_t* node, int itemSize) {
  return GetU32(node + 4 + NodeCount(node) * itemSize);
}

// Entries a file can hold: steps through an index beyond it mean the tree
// is damaged (children shared or cyclic).
inline std::uint64_t StepLimit(std::uint32_t nextFree, int keysPerNode) {
  return static_cast<std::uint64_t>(nextFree) * static_cast<std::uint64_t>(keysPerNode > 0 ? keysPerNode : 1) + 2;
}

struct PathEntry {
  std::uint32_t block = 0;
  Node node{};
};

// One open index.
struct IndexControl {
  std::uint8_t ownOrder = 0;
  FileHandle file;
  std::string fileName;
  std::array<std::uint8_t, 24> hdr{};
  std::string expression;
  bool anchorDirty = false;
  bool charKey = false;
  bool endFlag = false;
  bool startFlag = false;
  bool soundex = false;
  bool descending = false;
  bool noCache = false;  // opened with NOCACHE
  CompiledExpr* compiled = nullptr;
  KeyMaker keyMaker;
  std::string currentKey;  // key length + 1 bytes
  std::uint32_t keyFromEntryRec = 0;  // currentKey copied from this record's entry (0: evaluated)
  // navigation
  Node ownNode{};
  std::uint8_t* node = nullptr;  // the current node: ownNode or a cache buffer
  std::uint32_t block = 0;
  std::int32_t entryIndex = 0;
  // Image of the current entry; noPosition: the index has no position.
  std::array<std::uint8_t, kEntryImageSize> entry{};
  bool noPosition = true;
  // The headers were read again after another program's change: the
  // position above was taken in the old tree.
  bool stale = false;
  std::vector<PathEntry> path;
  // Node and header writes to this index; a path begun before the last
  // write is no longer a picture of the tree.
  std::uint64_t writes = 0;
  std::uint64_t pathWrites = 0;  // writes when the path was begun
  // Paths the position stood on before a jump took it away (kKeptJumps of
  // them), and the leaf a step left last: a jump back to a record of one of
  // those leaves needs no walk through a run of equal keys.
  struct KeptPath {
    std::vector<PathEntry> path;
    std::uint64_t writes = 0;
  };
  static constexpr int kKeptJumps = 3;
  std::array<KeptPath, kKeptJumps + 1> kept;
  int nextKept = 0;

  IndexControl() { node = ownNode.data(); }
  IndexControl(const IndexControl&) = delete;
  IndexControl& operator=(const IndexControl&) = delete;

  std::uint32_t Root() const { return GetU32(hdr.data()); }
  void SetRoot(std::uint32_t b) { PutU32(hdr.data(), b); }
  std::uint32_t NextFree() const { return GetU32(hdr.data() + 4); }
  void SetNextFree(std::uint32_t b) { PutU32(hdr.data() + 4, b); }
  char KeyType() const { return static_cast<char>(hdr[9]); }
  int KeyLen() const { return GetI16(hdr.data() + 12); }
  int KeysPerNode() const { return GetI16(hdr.data() + 14); }
  bool Numeric() const { return GetI16(hdr.data() + 16) != 0; }
  int ItemSize() const { return GetI16(hdr.data() + 18); }
  bool Unique() const { return hdr[23] != 0; }
  // Compares two keys of this index (-, 0, +).
  int Compare(const std::uint8_t* a, const std::uint8_t* b) const;
  std::uint32_t EntryRec() const { return EntryRecord(entry.data()); }
  const std::uint8_t* EntryKeyBytes() const { return entry.data() + 8; }
  // Copies entry i of the current node into the image.
  void TakeEntry(int i);
};

// The semaphore of one area's table (LOGIN to LOGOUT).
struct SemaphoreState {
  FileHandle file;
  std::string fileName;
  std::array<std::uint8_t, 4> record{};  // users, readers, change counter
  std::uint8_t usersAtLogin = 0;
  std::uint16_t lastCounter = 0;
  bool recordLocked = false;
  bool reader = false;
  std::int32_t readNest = 0;
  std::int32_t lockNest = 0;
  std::uint16_t Counter() const { return static_cast<std::uint16_t>(record[2] | (record[3] << 8)); }
};

struct NodeCache {
  std::uint16_t size = 0;
  std::vector<std::uint8_t> buffer;
  // block number and buffer; a null buffer marks an unused position
  std::vector<std::pair<std::uint32_t, std::uint8_t*>> dir;
  int n = 0;
};

struct AreaIndex {
  std::array<std::unique_ptr<IndexControl>, kIndexSlots + 1> slots;  // [0] unused
  bool naturalOrder = false;
  NodeCache cache;
  std::unique_ptr<SemaphoreState> sema;
  // Closing the last index keeps the semaphore (a rebuild reopens them).
  bool keepLogin = false;
  std::int32_t readProcNest = 0;
  std::int32_t lockProcNest = 0;
};

struct NdxUnit : TzEngineUnit {
  std::array<AreaIndex, 36> areas;  // [0] unused
  bool installed = false;
  std::uint8_t currentKeySlot = 1;
  std::uint8_t currentOrderSlot = 1;
  std::uint8_t found = 0;
  std::int32_t positionCode = 0;
  std::uint32_t lastMove = 0;
  bool keyPadding = false;
  bool insertSeek = false;
  bool uniqueDefault = false;
  bool noCache = false;
  std::uint16_t defaultCacheSize = 4096;
  std::string semaphoreFolder;
  int semAttempts = 1001;
  int semWaitMs = 10;
  std::uint16_t writerWaitSeconds = 100;
  std::function<void()> progress;
  int progressSteps = 0;
  int openIndexes = 0;
  std::uint32_t rememberedRecord = 0;
  IndexCounters counters;
  std::size_t runItems = 0;
  std::function<int(int, std::uint32_t)> writeFault;
  ~NdxUnit() override;
};

NdxUnit& Ndx();
NdxUnit* NdxIfAny();
// The index state of the current area (area 0 when none is selected).
AreaIndex& CurArea();
int CurAreaNumber();
IndexControl* SlotOf(int slot);  // current area
IndexControl* Master();

// --- errors
// TzError, then ETzError with the last error message unless halting.
void RaiseIndexError(std::uint16_t code, const std::string& text);

// --- file (ndxfile.cpp)
bool ReadAll(int fd, void* p, std::size_t n, std::int64_t off, int& err);
bool WriteAll(int fd, const void* p, std::size_t n, std::int64_t off, int& err);
bool SeekAndRead(IndexControl& ic, int slot, std::uint32_t block, std::uint8_t* node);
bool SeekAndWrite(IndexControl& ic, int slot, std::uint32_t block, std::uint8_t* node);
void ReadAnchorNodes();
// Header block of an index for the current area's table.
void BuildAnchorBlock(const IndexControl& ic, std::uint8_t* block);
bool WriteAnchorNode(int slot);
// Index file name with the default extension, placed in the table's folder
// when it names no folder.
std::string AddTablePath(std::string_view name);
// Table name for the header extension (name without folder, 12 bytes).
std::string AnchorTableName(const WorkArea& a);

// --- cache and path (ndxcache.cpp)
bool GetNode(std::uint32_t block, int slot);
void SetIndexCache(std::uint16_t size);
void EmptyIndexCache(AreaIndex& ar);
void ResetPath(IndexControl& ic);
void AddPath(IndexControl& ic);
std::uint32_t PopPath(IndexControl& ic);
std::uint8_t* FindPathNode(IndexControl& ic, std::uint32_t block);
void ClearPositionOf(IndexControl& ic);

// --- keys (ndxkeys_record.cpp)
// The key bytes (key length) of the current record for the index in slot.
std::string CurrentRecordKey(int slot);
std::string KeyOfIndex(IndexControl& ic, int order);
// Key bytes of an evaluated character value: OEM, padded or cut to K, folded.
std::string CharKeyBytes(std::string_view value, int keyLength, bool oem);
struct ExprValue;
// The number of a numeric or date value (-0.0 as +0.0).
double ValueAsKeyNumber(const ExprValue& v);

// --- semaphores (ndxsema.cpp)
enum SemaphoreAction { kLogin = 0, kLogout, kIncRead, kDecRead, kLockSemaphore, kUnlockSemaphore };
void HandleSemafore(int action);
void SetReadSemaphoreProc(bool on);
void SetLockSemaphoreProc(bool on);
bool RefreshAnchorsIfChanged();
// The area's read (or write) bracket for a scope; the headers and cached
// nodes are read again on entry when another program changed the indexes.
class SemaphoreScope {
 public:
  explicit SemaphoreScope(bool write);
  ~SemaphoreScope();
  SemaphoreScope(const SemaphoreScope&) = delete;
  SemaphoreScope& operator=(const SemaphoreScope&) = delete;

 private:
  bool write_;
  bool active_ = false;
};
std::string SemaphoreFileName(std::string_view tableFile);
bool SemaphoreApplies(const WorkArea& a);
// User count in the table's semaphore file (0 when there is none).
int SemaphoreUsers(const WorkArea& a);
// Logs out area n without the table's lock byte (engine reset).
void DropSemaphore(AreaIndex& ar);

// --- search and stepping (ndxsearch.cpp)
std::int32_t SearchNode(IndexControl& ic, const std::uint8_t* key);
bool DescendFirst(IndexControl& ic, int slot, std::uint32_t block, bool withPath);
bool DescendToKey(IndexControl& ic, int slot, std::uint32_t block, const std::uint8_t* key, bool withPath);
std::uint32_t FindFirstLastRec(bool first);
std::uint32_t IndexTop();
std::uint32_t IndexBottom();
void SeekKey(const std::uint8_t* key);
std::uint32_t FindNextRec();
std::uint32_t FindPriorRec();
void SoftSyncIndex();
// Puts the index in slot on the entry of record rec with key (key length
// bytes) when its position or a kept path holds it, without a search; the
// position left is kept for a jump back. False when neither holds it.
bool PlaceOnKeptEntry(IndexControl& ic, std::uint32_t rec, const char* key);
// Keeps the current path for a jump back (slot kKeptJumps: the leaf a step
// leaves).
void KeepPath(IndexControl& ic, bool leftLeaf);
void SyncAfterChange();
void GoIndexEof();
bool IndexNotOpen(std::string_view operation);
// One more step of a loop over index entries; false (254 reported) when the
// loop has taken more steps than the file holds entries.
bool StepWithin(const IndexControl& ic, std::uint64_t& steps, const char* where);
void RefreshCurrentKeys(bool all, int count);
void RememberMasterKey();

// --- build (ndxbuild.cpp)
void MakeIndex(std::string_view fileName, std::string_view expression, bool soundex, const KeyMaker& keyMaker,
               bool descending, bool unique, int slot);

// --- maintenance (ndxmaint.cpp)
void AppendNewKey();
int AppendIndex(const std::string& key, int slot);
int DeleteIndexKey(const std::string& key, int slot);
void CompareKeys();
void SyncIndex(bool allSlots);

}  // namespace zeb::xbase
