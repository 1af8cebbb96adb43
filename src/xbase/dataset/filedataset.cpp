#include "xbase/dataset/filedataset.h"

#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <filesystem>

#include "platform/files.h"
#include "xbase/core/callbacks.h"
#include "xbase/core/ansi_literal.h"
#include "xbase/core/engine.h"
#include "xbase/core/errors.h"
#include "xbase/core/text_utils.h"
#include "xbase/dbf/locking.h"
#include "xbase/dbf/tablecmds.h"
#include "xbase/dbf/workarea.h"
#include "xbase/index/ndx.h"
#include "xbase/index/ndx_internal.h"
#include "xbase/memo/memo.h"

namespace zeb::xbase {

IndexListLine ParseIndexListLine(std::string_view line) {
  IndexListLine r;
  const std::size_t c1 = line.find(',');
  if (c1 == std::string_view::npos) {
    r.expression = std::string(line.substr(0, 100));
    return r;
  }
  const std::string slot = AllTrimText(line.substr(0, c1));
  r.slot = 0;
  bool digits = !slot.empty();
  for (char c : slot)
    if (c < '0' || c > '9') digits = false;
  if (digits && slot.size() < 9) r.slot = std::stoi(slot);
  else if (!slot.empty()) r.slot = -1;  // not a number: refused when opened
  const std::size_t c2 = line.find(',', c1 + 1);
  if (c2 == std::string_view::npos) {
    r.fileName = AllTrimText(line.substr(c1 + 1));
    return r;
  }
  r.fileName = AllTrimText(line.substr(c1 + 1, c2 - c1 - 1));
  r.expression = AllTrimText(line.substr(c2 + 1)).substr(0, 100);
  return r;
}

TTzFileDataSet::TTzFileDataSet(std::string name) : TTzCDataSet(std::move(name)) {}

TTzFileDataSet::~TTzFileDataSet() {
  try {
    if (Active()) Close();
  } catch (const std::exception&) {
    // Closing a damaged table: the area is gone either way.
  }
}

void TTzFileDataSet::SetReadOnly(bool on) { readOnly_ = on; }

void TTzFileDataSet::SetExclusive(bool on) {
  if (on == exclusive_) return;
  exclusive_ = on;
  if (Active()) {
    Close();
    Open();
  }
}

bool TTzFileDataSet::OpenTable(std::string_view name) {
  const std::string path(name);
  if (createIfNotFound && !std::filesystem::exists(path)) {
    if (!CreateTableFromDbfFields(&dbfFields, path, MemoAsNumber(), Name())) {
      ShowDatasetMessage("Konnte \"" + DbfFileName() + "\" nicht erzeugen");
    }
  }
  std::string cmd = path;
  if (exclusive_) cmd += " EXCLUSIVE";
  const std::string alias = AllTrimText(Name());
  if (!alias.empty()) cmd += " ALIAS " + alias;
  const bool oldRepair = SetRecordCountRepair(autoFixRecCount);
  std::uint16_t oldMode = 0;
  if (readOnly_) oldMode = SetOpenModeOverride(exclusive_ ? 16 : 64);
  ClearTzErrorState();
  bool ok = false;
  try {
    USE(cmd);
    ok = TzCurrentError() == 0 && CurrentWorkArea() != nullptr;
  } catch (const ETzError& e) {
    openError_ = e.what();
    ok = false;
  }
  SetRecordCountRepair(oldRepair);
  if (readOnly_) SetOpenModeOverride(oldMode);
  if (!ok) return false;
  return OpenIndexFiles();
}

bool TTzFileDataSet::OpenIndexFiles() {
  if (indexList.empty()) return true;
  TCreateIndexType mode = createIndex;
  WorkArea* a = CurrentWorkArea();
  if ((mode == TCreateIndexType::ciAlways || mode == TCreateIndexType::ciVerifyHeader) && a != nullptr) {
    const std::string sema = SemaphoreFileName(a->fileName);
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(sema).parent_path(), ec);
    if (std::filesystem::exists(sema, ec)) mode = TCreateIndexType::ciNotFound;
  }
  const bool oldSwitch = SetTzErrorSwitch(false);
  ClearTzErrorState();
  auto fail = [&](std::uint16_t code) {
    std::string text = Engine().lastErrorText;
    CloseIndexes();
    SetTzErrorSwitch(oldSwitch);
    TzError(code, text);
    return false;
  };
  for (const std::string& raw : indexList) {
    const IndexListLine l = ParseIndexListLine(raw);
    std::uint16_t err = 0;
    SetTzCurrentError(0);
    if (mode == TCreateIndexType::ciAlways) {
      err = 2;
    } else if (mode == TCreateIndexType::ciVerifyHeader) {
      const std::int32_t stored = IndexRecordCount(l.fileName);
      if (stored >= 0 && stored == zeb::xbase::RecCount()) {
        zeb::xbase::SetIndexTo(l.fileName, 1);
        err = TzCurrentError();
      } else {
        err = 2;
      }
    } else {
      zeb::xbase::SetIndexTo(l.fileName, 1);
      err = TzCurrentError();
    }
    if (mode != TCreateIndexType::ciNever && (err == 2 || err == 222 || err == 223)) {
      SetTzCurrentError(0);
      ClearTzErrorState();
      err = 0;
      bool canMake = true;
      if (onBeforeMakeIndex) onBeforeMakeIndex(l.fileName, canMake);
      if (canMake) {
        std::unique_ptr<TzProgress100> progress;
        if (showProgress) {
          progress = std::make_unique<TzProgress100>("Indexing " + l.fileName + "...");
          TzProgress100* p = progress.get();
          SetIndexProgress([p] { p->Step(); }, 100);
        }
        CloseIndexes();
        MakeIndexExpr(l.expression, l.fileName);
        err = TzCurrentError();
        SetIndexProgress({}, 0);
        progress.reset();
        if (onAfterMakeIndex) onAfterMakeIndex(l.fileName);
        if (err == 0) {
          zeb::xbase::SetIndexTo(l.fileName, 1);
          err = TzCurrentError();
        }
      } else if (!std::filesystem::exists(l.fileName)) {
        err = 2;
      }
    }
    if (err != 0) return fail(err);
    CloseIndexes();
  }
  for (const std::string& raw : indexList) {
    const IndexListLine l = ParseIndexListLine(raw);
    SetTzCurrentError(0);
    if (l.slot < 1 || l.slot > 16) {
      ClearTzErrorState();
      Engine().lastErrorText = "Parameter Index-Ordnung außerhalb des zulässigen Bereichs ["_ansi + l.fileName + "]";
      return fail(220);
    }
    zeb::xbase::SetIndexTo(l.fileName, l.slot);
    if (TzCurrentError() != 0) return fail(TzCurrentError());
  }
  Set_Order_To(1);
  SetTzErrorSwitch(oldSwitch);
  zeb::xbase::GoTop();
  IndexBuilt();
  return true;
}

bool TTzFileDataSet::WithLock(bool append, const char* word, const LockFailedEvent& event,
                              const std::function<void()>& op, std::string_view consequence,
                              std::string_view written) {
  for (;;) {
    bool retry = false;
    // The lock taken here goes when the write ends, however it ends; one the
    // caller held before stays.
    const TTzLockScope scope(*this);
    const bool locked = append ? zeb::xbase::ALock() : RLock();
    if (locked) {
      Engine().recordWritten = false;
      try {
        op();
      } catch (...) {
        if (Engine().recordWritten && !written.empty())
          std::rethrow_exception(AsWriteFailure(written, append ? 1 : -1, true));
        std::rethrow_exception(AsWriteFailure(consequence, append ? 0 : -1));
      }
      return true;
    }
    if (event) {
      event(*this, retry);
      if (retry) continue;
      return false;
    }
    ShowDatasetMessage(std::string("Sperren fehlgeschlagen [") + word + "]");
    return false;
  }
}

void TTzFileDataSet::s_AppendWithLock() {
  writeRefused_ = false;
  if (!CanModify()) return;
  if (!SelectWorkArea("s_AppendWithLock")) return;
  writeRefused_ = !WithLock(
      true, "Insert", onALockFailedOnInsert,
      [this] {
        const std::int32_t before = zeb::xbase::RecCount();
        zeb::xbase::Append();
        if (TzCurrentError() == 0) AppendedOwn(before);
        if (TzCurrentError() == 0) SKIP(0);
      },
      AppendedText(0), IndexBehindText(1));
}

void TTzFileDataSet::s_DeleteWithLock() {
  writeRefused_ = false;
  if (!CanModify()) return;
  if (!SelectWorkArea("s_DeleteWithLock")) return;
  writeRefused_ = !WithLock(
      false, "Delete", onRLockFailedOnDelete,
      [this] {
        WithOwnIndex([] { DeleteRec(); });
        if (TzCurrentError() == 0) SKIP(0);
      },
      "Die Löschmarke ist nicht gesetzt."_ansi);
}

void TTzFileDataSet::s_RestoreWithLock() {
  writeRefused_ = false;
  if (!CanModify()) return;
  if (!SelectWorkArea("s_RestoreWithLock")) return;
  writeRefused_ = !WithLock(false, "Restore", onRLockFailedOnRestore, [this] { WithOwnIndex([] { RecallRec(); }); }, "Die Löschmarke bleibt."_ansi);
}

void TTzFileDataSet::s_ReplaceWithLock() {
  writeRefused_ = false;
  if (!CanModify()) return;
  if (!SelectWorkArea("s_ReplaceWithLock")) return;
  writeRefused_ = !WithLock(
      false, "Post", onRLockFailedOnPost,
      [this] {
        // Another program changed a field again since the question.
        if (!BothChangedAnswered()) {
          askAgain_ = true;
          return;
        }
        // The edit as typed: an index built again under the write reads the
        // record from the file, and the second attempt writes the edit again.
        WorkArea* a = Area();
        CompleteRecordBuffer(*a);
        std::vector<std::uint8_t> edit;
        if (a->recordBuffer != nullptr) edit.assign(a->recordBuffer, a->recordBuffer + a->recordBufferSize);
        WithOwnIndex([a, &edit] {
          if (a->recordBuffer != nullptr && edit.size() == a->recordBufferSize) {
            std::copy(edit.begin(), edit.end(), a->recordBuffer);
            a->undecoded = false;
          }
          Replace();
        });
        if (TzCurrentError() == 0) SKIP(0);
      },
      keepEditOnFailure
          ? std::string("Ihre Änderung ist noch nicht gespeichert; sie bleibt in ihrer Zeile für einen neuen Versuch."_ansi)
          : std::string("Ihre Änderung ist nicht gespeichert."_ansi),
      "Ihre Änderung ist in der Tabelle gespeichert; ihr Index ist nicht nachgeführt."_ansi);
}

void TTzFileDataSet::InternalPost() {
  TTzCDataSet::InternalPost();
  if (writeRefused_) throw EAbort{};
}

void TTzFileDataSet::InternalDelete() {
  TTzCDataSet::InternalDelete();
  if (writeRefused_) throw EAbort{};
}

void TTzFileDataSet::Peek(int field, std::int32_t record, std::string& text) {
  if (!SelectWorkArea("Peek")) return;
  zeb::xbase::Peek(field, record, text);
}

bool TTzFileDataSet::AppendFromDelimited(std::string_view fileName) {
  if (!SelectWorkArea("AppendFromDelimited")) return false;
  bool ok = false;
  GuardedAppend(GetRecNo(), [&] {
    AppendFromText(fileName, showProgress);
    ok = TzCurrentError() == 0;
  });
  ResyncFromEngine();
  return ok;
}

bool TTzFileDataSet::CopyToDelimited(std::string_view fileName) {
  if (!SelectWorkArea("CopyToDelimited")) return false;
  const std::int32_t remembered = RecNo();
  // The text is written whole or not at all: a file of its name stays.
  const bool there = PathExists(ResolveTablePath(AllTrim(fileName), "TXT"));
  ClearWriteFailure();
  try {
    CopyToTextPlain(fileName);
  } catch (...) {
    const std::exception_ptr failure = AsWriteFailure(there ? std::string("Die Datei bleibt, wie sie war."_ansi)
                                                           : std::string("Die Datei ist nicht angelegt."_ansi));
    SafeGo(remembered);
    std::rethrow_exception(failure);
  }
  const bool ok = TzCurrentError() == 0;
  SafeGo(remembered);
  return ok;
}

bool TTzFileDataSet::ALock() {
  if (!SelectWorkArea("ALock")) return false;
  return zeb::xbase::ALock();
}

bool TTzFileDataSet::FLock() {
  if (!SelectWorkArea("FLock")) return false;
  return zeb::xbase::FLock();
}

void TTzFileDataSet::UnLock() {
  if (!SelectWorkArea("UnLock")) return;
  Unlock();
}

bool TTzFileDataSet::Find(std::string_view key) {
  if (!SelectWorkArea("Find")) return false;
  const bool found = zeb::xbase::Find(key.substr(0, 100));
  ResyncOrLast();
  return found;
}

bool TTzFileDataSet::FindExact(std::string_view key) {
  if (!SelectWorkArea("FindExact")) return false;
  const bool old = SetKeyPadding();
  const bool found = zeb::xbase::Find(key.substr(0, 100));
  if (!old) ClearKeyPadding();
  ResyncOrLast();
  return found;
}

std::string TTzFileDataSet::KeyFor(int slot) {
  std::string key;
  const KeyCallback& cb = keyCallbacks_[static_cast<std::size_t>(slot)];
  if (!cb) return key;
  SaveActiveBuffer();
  try {
    cb(key);
  } catch (...) {
    RestoreActiveBuffer();
    throw;
  }
  RestoreActiveBuffer();
  return key;
}

void TTzFileDataSet::IndexOn(std::string_view expression, std::string_view fileName) {
  if (!SelectWorkArea("IndexOn")) return;
  ClearWriteFailure();
  const auto identity = [&] {
    struct stat st {};
    const std::string path = AddTablePath(fileName);
    return ::stat(path.c_str(), &st) == 0 ? std::pair{st.st_ino, st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec}
                                          : std::pair{ino_t{0}, 0LL};
  };
  const auto former = identity();
  try {
    Index_On(expression, fileName);
  } catch (const ETzError& e) {
    // A failed build leaves no index file and the table as it was; the
    // cause of a refused write heads the message where it is shown. A build
    // that went through before a later step failed (its opening) is told as
    // built.
    const auto now = identity();
    throw ETzError(std::string(e.what()) + "\r\n" +
                   (now.first != 0 && now != former
                        ? std::string("Der Index ist angelegt, aber nicht geöffnet."_ansi)
                        : std::string("Der Index ist nicht angelegt; die Tabelle ist unverändert."_ansi)));
  }
  IndexBuilt();
  ResyncFromEngine();
}

void TTzFileDataSet::IndexOnCB(std::string_view fileName, KeyCallback callback) {
  if (!SelectWorkArea("IndexOnCB")) return;
  keyCallbacks_[0] = std::move(callback);
  Index_OnCB(fileName, [this](int, std::string& key) { key = KeyFor(0); });
  IndexBuilt();
  ResyncFromEngine();
}

void TTzFileDataSet::SetIndexTo(std::string_view names) {
  if (!SelectWorkArea("SetIndexTo")) return;
  SyncToActive();
  Set_Index_To(names);
  IndexBuilt();
  ResyncFromEngine();
}

void TTzFileDataSet::SetIndexToCB(std::string_view fileName, int slot, KeyCallback callback) {
  if (!SelectWorkArea("SetIndexToCB")) return;
  SyncToActive();
  if (slot >= 1 && slot <= 16) keyCallbacks_[static_cast<std::size_t>(slot)] = std::move(callback);
  Set_Index_ToCB(fileName, slot, [this, slot](int, std::string& key) {
    key = slot >= 1 && slot <= 16 ? KeyFor(slot) : std::string();
  });
  IndexBuilt();
  ResyncFromEngine();
}

void TTzFileDataSet::SetIndexToLFN(std::string_view fileName, int slot) {
  if (!SelectWorkArea("SetIndexToLFN")) return;
  SyncToActive();
  Set_Index_ToLFN(fileName, slot);
  IndexBuilt();
  ResyncFromEngine();
}

namespace {

// A key number with six decimals, "." as the point in any locale.
std::string FixedSix(double d) {
  char buf[400];
  const auto r = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::fixed, 6);
  return r.ec == std::errc() ? std::string(buf, r.ptr) : std::string("0.000000");
}

}  // namespace

bool TTzFileDataSet::Locate(std::string_view keyFields, const std::vector<FieldValue>& values, unsigned options) {
  if (!SelectWorkArea("Locate")) return false;
  if (!IndexActive()) return TTzCDataSet::Locate(keyFields, values, options);
  std::string key;
  for (const FieldValue& v : values) {
    if (auto* s = std::get_if<std::string>(&v)) key += *s;
    else if (auto* d = std::get_if<double>(&v)) key += FixedSix(*d);
    else if (auto* i = std::get_if<std::int64_t>(&v)) key += std::to_string(*i);
    else if (auto* b = std::get_if<bool>(&v)) key += *b ? "T" : "F";
  }
  key = key.substr(0, 255).substr(0, 100);
  return (options & kLoPartialKey) ? Find(key) : FindExact(key);
}

bool TTzFileDataSet::IsSequenced() {
  if (!SelectWorkArea("IsSequenced")) return false;
  return !IndexActive();
}

std::int32_t TTzFileDataSet::RecordsPastCount() {
  if (!SelectWorkArea("RecordsPastCount")) return 0;
  return zeb::xbase::RecordsPastCount();
}

bool TTzFileDataSet::MendRecordsPastCount(bool takeIn) {
  if (!SelectWorkArea("MendRecordsPastCount")) return false;
  SyncToActive();
  const std::int32_t remembered = RecNo();
  bool mended = false;
  try {
    mended = zeb::xbase::MendRecordsPastCount(takeIn);
  } catch (...) {
    const std::string consequence =
        takeIn ? std::string("Die Datensätze sind nicht übernommen."_ansi) : std::string("Die Datensätze sind nicht entfernt."_ansi);
    std::rethrow_exception(AsWriteFailure(consequence));
  }
  SelectWorkArea("MendRecordsPastCount");
  SafeGo(remembered >= 1 && remembered <= zeb::xbase::RecCount() ? remembered : 1);
  ResyncFromEngine();
  return mended;
}

std::int32_t TTzFileDataSet::MemoBlock(const zeb::xbase::TField& f) const {
  const TzFieldMap* m = MapOf(f);
  if (m == nullptr || m->kind != BufferKind::MemoRef || activeBuffer_.size() < m->bufferOffset + 4) return 0;
  std::int32_t v;
  std::memcpy(&v, activeBuffer_.data() + m->bufferOffset, 4);
  return v;
}

void TTzFileDataSet::SetMemoBlock(const zeb::xbase::TField& f, std::int32_t block) {
  const TzFieldMap* m = MapOf(f);
  if (m == nullptr || m->kind != BufferKind::MemoRef || activeBuffer_.size() < m->bufferOffset + 4) return;
  std::memcpy(activeBuffer_.data() + m->bufferOffset, &block, 4);
}

// ---------------------------------------------------------------- TTzBlobStream

namespace {

TTzFileDataSet& FileDataSetOf(zeb::xbase::TField& f) {
  auto* ds = dynamic_cast<TTzFileDataSet*>(&f.Owner());
  if (ds == nullptr || !f.IsBlob()) DatabaseError("Invalid class typecast");
  return *ds;
}

}  // namespace

namespace {
const char* const kMemoNotSaved = "Der Memotext ist nicht gespeichert.";
}  // namespace

TTzBlobStream::TTzBlobStream(zeb::xbase::TField& field, Mode mode)
    : field_(field), owner_(FileDataSetOf(field)), mode_(mode) {
  owner_.DirectOpenClose(true);
  if (!owner_.SelectWorkArea("CreateBlobStream")) return;
  if (field.Calculated()) {
    mode_ = Mode::Read;
    return;
  }
  const bool oem = owner_.tableLanguage == TTzTableLanguage::tlOem;
  if (mode_ == Mode::Read) {
    const std::int32_t block = owner_.s_IsEmptyDbf() ? 0 : owner_.MemoBlock(field);
    owner_.SelectWorkArea("CreateBlobStream");
    CreateBlobDescriptor(oem, block, 1);
  } else {
    const DataSetState s = owner_.State();
    if (s != DataSetState::Edit && s != DataSetState::Insert) owner_.Edit();
    owner_.SelectWorkArea("CreateBlobStream");
    formerBlock_ = owner_.MemoBlock(field);
    try {
      const std::int32_t block = CreateBlobDescriptor(oem, formerBlock_, 2);
      owner_.SetMemoBlock(field, block);
    } catch (const ETzError&) {
      std::rethrow_exception(owner_.AsWriteFailure(kMemoNotSaved));
    }
  }
  open_ = TzCurrentError() == 0;
}

TTzBlobStream::~TTzBlobStream() {
  try {
    if (!owner_.SelectWorkArea("DestroyBlobStream")) return;
    if (mode_ != Mode::Read && open_) {
      if (!modified_ && owner_.MemoBlock(field_) != 0) {
        owner_.SetMemoBlock(field_, 0);
        modified_ = true;
      }
      DestroyBlobDescriptor();
      owner_.WriteActiveBufferToEngine();
    } else if (open_) {
      DestroyBlobDescriptor();
    }
    owner_.DirectOpenClose(false);
  } catch (const std::exception&) {
    // A destructor reports nothing further: the engine kept the error.
  }
}

std::int32_t TTzBlobStream::Read(char* buffer, std::int32_t count) {
  if (!open_ || !owner_.SelectWorkArea("ReadBlobStream")) return 0;
  return ReadBlobStream(buffer, count);
}

std::int32_t TTzBlobStream::Write(const char* buffer, std::int32_t count) {
  if (!open_ || !owner_.SelectWorkArea("WriteBlobStream")) return 0;
  try {
    const std::int32_t n = WriteBlobStream(buffer, count);
    if (count > 0) modified_ = true;
    return n;
  } catch (const ETzError&) {
    // The record keeps the memo it had: the part written names no memo.
    open_ = false;
    owner_.SetMemoBlock(field_, formerBlock_);
    std::rethrow_exception(owner_.AsWriteFailure(kMemoNotSaved));
  }
}

std::int64_t TTzBlobStream::Seek(std::int64_t offset, int origin) {
  if (!open_ || !owner_.SelectWorkArea("SeekBlobStream")) return 0;
  return SeekBlobStream(offset, origin);
}

std::string TTzBlobStream::ReadAll() {
  std::string out;
  char buf[4096];
  for (;;) {
    const std::int32_t n = Read(buf, sizeof buf);
    if (n <= 0) break;
    out.append(buf, static_cast<std::size_t>(n));
  }
  return out;
}

}  // namespace zeb::xbase
