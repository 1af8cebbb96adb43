// The table engine's one process-wide state: error state, date settings,
// tuning settings, hooks and the user-facing callback. Units of the engine
// that keep further state (work areas, memo files, indexes, ...) hang it on
// a unit slot, so the whole engine resets in one step (tests).
#pragma once
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zeb::xbase {

class TzCallback;
class MemoHookTable;
class IndexHookTable;
class ParserHookTable;
class VirtualFileHook;

// Base of the state a unit keeps in the engine. Destroyed on reset (first,
// before any other state is reset) and at process end.
struct TzEngineUnit {
  virtual ~TzEngineUnit() = default;
};

// Slots for unit state; each unit owns the type it stores in its slot.
enum class TzUnit : int { WorkAreas = 0, Memo, Index, Parser, VirtualFiles, Datasets, Count };

// System byte-range lock call: fd, type (F_RDLCK, F_WRLCK, F_UNLCK), first
// byte, length; returns 0 or an errno value. Replaceable (counting fakes).
using SysLockFn = std::function<int(int fd, short type, std::int64_t offset, std::int64_t length)>;

struct TzEngine {
  TzEngine();
  ~TzEngine();
  TzEngine(const TzEngine&) = delete;
  TzEngine& operator=(const TzEngine&) = delete;

  // --- errors
  std::uint16_t currentError = 0;  // code being reported; 0 = the last step succeeded
  std::uint16_t lastError = 0;     // cleared when its text is taken
  std::string lastErrorText;       // cp1252
  bool errorSwitch = true;         // on: TzError runs the stop step
  bool raiseMode = false;          // on: the stop step throws ETzError
  bool halting = false;            // set before the process is ended
  int writeErrno = 0;              // the last write the system refused
  std::string writeFile;           // and the file it was meant for
  bool packCommitted = false;      // the last Pack put the packed table in place
  // The last Pack put the packed memo file in place but could not put the
  // packed table in its place nor the memo file as it was back: the memo
  // file as it was is kept under packFormerMemo.
  bool packMemoOnly = false;
  std::string packFormerMemo;
  // The last Append or Replace failed after its record was written: the
  // table holds it, an index does not (yet) hold its keys.
  bool recordWritten = false;
  // Ends the process (stop step with raise mode off). Tests inject one that
  // records; when it returns, TzError returns normally.
  std::function<void(int exitCode)> exitProcess;

  // --- dates
  std::uint8_t dateFormat = 0;      // 0..8
  std::uint8_t languageFormat = 0;  // derived from the locale at start
  bool century = false;             // 4-digit years in date texts
  std::uint16_t epoch = 1956;       // first year of the 2-digit window
  char decimalChar = '.';
  char thousandsChar = ',';
  // Fixed "today" for tests; empty = the system clock.
  std::optional<std::chrono::year_month_day> fixedToday;

  // --- helpers
  std::int32_t lastFindResult = 0;  // last directory search (0 = found)
  std::uint8_t floppyDrives = 0;
  std::int64_t physicalMemoryKB = 0;
  std::string systemVersion;        // "major.minor"
  std::vector<std::string> undeletableFiles;  // of the last DeleteByMask

  // --- DBF file layer
  std::uint8_t newTableVersion = 0x8B;  // version byte of new tables with memo fields
  bool flushSwitch = false;             // fsync after each record write
  bool recordCountRepair = false;       // count from the file size on open
  std::uint8_t ownVersion1 = 0;         // 0 = none
  std::uint8_t ownVersion2 = 0;
  std::uint16_t memoBlockSize = 512;    // default block size of new memo files
  SysLockFn sysLock;                    // F_OFD_SETLK by default

  // --- locking
  bool sharedMode = true;
  std::int64_t lockBase = 0x40000000;
  std::int64_t fileLockLength = 0x3FFFFFFF;
  std::uint8_t retryCount = 0;
  std::uint8_t retryWait = 0;  // ms
  std::function<bool()> retryCallback;
  std::uint16_t recordLockMax = 0;  // 0 = no maximum
  // Bounded wait for the append byte around a header write (ms).
  int headerLockWaitMs = 2000;

  // --- work areas
  std::uint16_t defaultOpenMode = 66;     // read/write, deny none
  std::uint16_t openModeOverride = 65535; // none
  bool tableIsAnsi = false;
  bool replaceUpdatesIndexes = true;
  std::string logicalTexts = "NY";        // false, true

  // --- Pack, Peek, Search
  std::uint16_t readCacheSize = 0;
  bool confirmPack = false;

  // --- delimited text
  char textSeparator = ',';
  char textQuote = '"';                   // 0 = no quoting
  std::uint16_t importBufferSize = 2048;

  // --- hooks and callback (never null: null objects when a unit is absent)
  std::shared_ptr<MemoHookTable> memoHooks;
  std::shared_ptr<IndexHookTable> indexHooks;
  std::shared_ptr<ParserHookTable> parserHooks;
  std::shared_ptr<VirtualFileHook> virtualFileHook;
  std::shared_ptr<TzCallback> callback;

  // --- state of other units
  std::array<std::unique_ptr<TzEngineUnit>, static_cast<int>(TzUnit::Count)> units;
};

namespace engine_detail {
// The engine while one exists (kept beside its owner for the hot paths).
inline TzEngine* current = nullptr;
TzEngine& Create();
}  // namespace engine_detail

// The engine. Created on first use with the start values.
inline TzEngine& Engine() {
  TzEngine* e = engine_detail::current;
  return e != nullptr ? *e : engine_detail::Create();
}
// Back to the start values: unit state is destroyed first (with the error
// switch off, so closing files cannot end the process), then everything else
// is reset; date settings are taken from the locale again.
void ResetTzEngine();

// Unit state of slot u, created with T's default constructor on first use.
template <class T>
T& EngineUnit(TzUnit u) {
  auto& slot = Engine().units[static_cast<int>(u)];
  if (!slot) slot = std::make_unique<T>();
  return static_cast<T&>(*slot);
}

// Hooks and callback; installing nullptr restores the null object / the
// headless default.
MemoHookTable& MemoHooks();
IndexHookTable& IndexHooks();
ParserHookTable& ParserHooks();
VirtualFileHook& VirtualFileHooks();
TzCallback& Callback();
void SetMemoHooks(std::shared_ptr<MemoHookTable> h);
void SetIndexHooks(std::shared_ptr<IndexHookTable> h);
void SetParserHooks(std::shared_ptr<ParserHookTable> h);
void SetVirtualFileHook(std::shared_ptr<VirtualFileHook> h);
void SetTzCallback(std::shared_ptr<TzCallback> cb);
void SetTzExitHandler(std::function<void(int)> exitProcess);
void SetTzSysLock(SysLockFn fn);

// Tuning setters (each returns the previous value).
bool SetSharedMode(bool on);
std::int64_t SetLockBase(std::int64_t base);
std::int64_t SetFileLockLength(std::int64_t length);
void SetLockRetry(std::uint8_t count, std::uint8_t waitMs, std::function<bool()> callback = {});
std::uint16_t SetRecordLockMax(std::uint16_t n);
bool SetFlushSwitch(bool on);
bool SetRecordCountRepair(bool on);
std::uint8_t SetNewTableVersion(std::uint8_t version);
void SetOwnVersionBytes(std::uint8_t own1, std::uint8_t own2);
std::uint16_t SetDefaultOpenMode(std::uint16_t mode);
std::uint16_t SetOpenModeOverride(std::uint16_t mode);
bool SetTableIsAnsi(bool ansi);
bool SetReplaceUpdatesIndexes(bool on);
std::uint16_t SetReadCacheSize(std::uint16_t bytes);
bool SetConfirmPack(bool on);
char SetTextSeparator(char c);
char SetTextQuote(char c);
std::uint16_t SetImportBufferSize(std::uint16_t bytes);
std::uint16_t SetMemoBlockSize(std::uint16_t bytes);
void SetTzToday(std::optional<std::chrono::year_month_day> day);

}  // namespace zeb::xbase
