#include "xbase/core/engine.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "platform/clock.h"
#include "xbase/core/hooks.h"
#include "xbase/core/callbacks.h"
#include "xbase/core/dates.h"
#include "xbase/core/text_utils.h"

namespace zeb::xbase {

namespace {

int OfdLock(int fd, short type, std::int64_t offset, std::int64_t length) {
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(offset);
  fl.l_len = static_cast<off_t>(length);
  fl.l_pid = 0;
  for (;;) {
    if (fcntl(fd, F_OFD_SETLK, &fl) == 0) return 0;
    if (errno != EINTR) return errno;
  }
}

std::unique_ptr<TzEngine>& Holder() {
  static std::unique_ptr<TzEngine> engine;
  return engine;
}

template <class T>
std::shared_ptr<T> NullObject() {
  static const std::shared_ptr<T> null = std::make_shared<T>();
  return null;
}

void DateDefaults(TzEngine& e) {
  ApplyLanguageDateFormat(e);
  const std::tm tm = StampNow().tm;
  e.epoch = static_cast<std::uint16_t>(tm.tm_year + 1900 - 70);
}

}  // namespace

TzEngine::TzEngine() {
  exitProcess = [](int code) { std::exit(code); };
  sysLock = OfdLock;
  memoHooks = NullObject<MemoHookTable>();
  indexHooks = NullObject<IndexHookTable>();
  parserHooks = NullObject<ParserHookTable>();
  virtualFileHook = NullObject<VirtualFileHook>();
  callback = std::make_shared<HeadlessTzCallback>();
  DateDefaults(*this);
  floppyDrives = static_cast<std::uint8_t>(CountFloppyDrives());
  physicalMemoryKB = MemoryInfo(1);
  const std::uint16_t v = GetWindowsVersion();
  systemVersion = std::to_string(v & 0xFF) + "." + std::to_string(v >> 8);
}

TzEngine::~TzEngine() {
  // Closing units may report; nothing may end the process from here.
  errorSwitch = false;
  halting = true;
  for (auto& u : units) u.reset();
}

TzEngine& engine_detail::Create() {
  auto& h = Holder();
  if (!h) h = std::make_unique<TzEngine>();
  current = h.get();
  return *h;
}

void ResetTzEngine() {
  auto& h = Holder();
  if (h) {
    h->errorSwitch = false;
    h->raiseMode = false;
    for (auto& u : h->units) u.reset();
  }
  // While an engine is destroyed, a use of Engine() finds the holder
  // empty (and makes a new one), as before the pointer beside it existed.
  engine_detail::current = nullptr;
  h.reset();
  engine_detail::current = nullptr;
  auto fresh = std::make_unique<TzEngine>();
  h = std::move(fresh);
  engine_detail::current = h.get();
}

MemoHookTable& MemoHooks() { return *Engine().memoHooks; }
IndexHookTable& IndexHooks() { return *Engine().indexHooks; }
ParserHookTable& ParserHooks() { return *Engine().parserHooks; }
VirtualFileHook& VirtualFileHooks() { return *Engine().virtualFileHook; }
TzCallback& Callback() { return *Engine().callback; }

void SetMemoHooks(std::shared_ptr<MemoHookTable> h) {
  Engine().memoHooks = h ? std::move(h) : NullObject<MemoHookTable>();
}
void SetIndexHooks(std::shared_ptr<IndexHookTable> h) {
  Engine().indexHooks = h ? std::move(h) : NullObject<IndexHookTable>();
}
void SetParserHooks(std::shared_ptr<ParserHookTable> h) {
  Engine().parserHooks = h ? std::move(h) : NullObject<ParserHookTable>();
}
void SetVirtualFileHook(std::shared_ptr<VirtualFileHook> h) {
  Engine().virtualFileHook = h ? std::move(h) : NullObject<VirtualFileHook>();
}
void SetTzCallback(std::shared_ptr<TzCallback> cb) {
  Engine().callback = cb ? std::move(cb) : std::make_shared<HeadlessTzCallback>();
}
void SetTzExitHandler(std::function<void(int)> exitProcess) {
  if (!exitProcess) exitProcess = [](int code) { std::exit(code); };
  Engine().exitProcess = std::move(exitProcess);
}
void SetTzSysLock(SysLockFn fn) { Engine().sysLock = fn ? std::move(fn) : SysLockFn(OfdLock); }

namespace {
template <class T>
T Exchange(T& field, T value) {
  T old = field;
  field = value;
  return old;
}
}  // namespace

bool SetSharedMode(bool on) { return Exchange(Engine().sharedMode, on); }
std::int64_t SetLockBase(std::int64_t base) { return Exchange(Engine().lockBase, base); }
std::int64_t SetFileLockLength(std::int64_t length) { return Exchange(Engine().fileLockLength, length); }
void SetLockRetry(std::uint8_t count, std::uint8_t waitMs, std::function<bool()> callback) {
  Engine().retryCount = count;
  Engine().retryWait = waitMs;
  Engine().retryCallback = std::move(callback);
}
std::uint16_t SetRecordLockMax(std::uint16_t n) { return Exchange(Engine().recordLockMax, n); }
bool SetFlushSwitch(bool on) { return Exchange(Engine().flushSwitch, on); }
bool SetRecordCountRepair(bool on) { return Exchange(Engine().recordCountRepair, on); }
std::uint8_t SetNewTableVersion(std::uint8_t version) { return Exchange(Engine().newTableVersion, version); }
void SetOwnVersionBytes(std::uint8_t own1, std::uint8_t own2) {
  Engine().ownVersion1 = own1;
  Engine().ownVersion2 = own2;
}
std::uint16_t SetDefaultOpenMode(std::uint16_t mode) { return Exchange(Engine().defaultOpenMode, mode); }
std::uint16_t SetOpenModeOverride(std::uint16_t mode) { return Exchange(Engine().openModeOverride, mode); }
bool SetTableIsAnsi(bool ansi) { return Exchange(Engine().tableIsAnsi, ansi); }
bool SetReplaceUpdatesIndexes(bool on) { return Exchange(Engine().replaceUpdatesIndexes, on); }
std::uint16_t SetReadCacheSize(std::uint16_t bytes) { return Exchange(Engine().readCacheSize, bytes); }
bool SetConfirmPack(bool on) { return Exchange(Engine().confirmPack, on); }
char SetTextSeparator(char c) { return Exchange(Engine().textSeparator, c); }
char SetTextQuote(char c) { return Exchange(Engine().textQuote, c); }
std::uint16_t SetImportBufferSize(std::uint16_t bytes) {
  return Exchange(Engine().importBufferSize, bytes == 0 ? std::uint16_t{1} : bytes);
}
std::uint16_t SetMemoBlockSize(std::uint16_t bytes) {
  return Exchange(Engine().memoBlockSize, bytes == 0 ? std::uint16_t{512} : bytes);
}
void SetTzToday(std::optional<std::chrono::year_month_day> day) { Engine().fixedToday = day; }

}  // namespace zeb::xbase
