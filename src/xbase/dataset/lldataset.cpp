#include "xbase/dataset/lldataset.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <memory>

#include "xbase/core/callbacks.h"
#include "xbase/core/dates.h"
#include "xbase/core/engine.h"
#include "xbase/core/errors.h"
#include "xbase/core/text_utils.h"
#include "xbase/dbf/locking.h"
#include "xbase/dbf/workarea.h"

namespace zeb::xbase {

std::uint32_t NextVirtualFileNumber() {
  static std::atomic<std::uint32_t> next{TickCount() & 0x7FFFFFFFu};
  return next.fetch_add(1) & 0x7FFFFFFFu;
}

TTzLLDataSet::TTzLLDataSet(std::string name) : TTzCDataSet(std::move(name)) {}

TTzLLDataSet::~TTzLLDataSet() {
  try {
    if (Active()) Close();
  } catch (const std::exception&) {
    // The records are gone with the dataset.
  }
}

bool TTzLLDataSet::OpenTable(std::string_view name) {
  (void)name;
  if (dbfFields.empty()) {
    ShowDatasetMessage("FieldList.Count ist <= 0 beim Versuch, eine Datenbank zu erzeugen");
    return false;
  }
  std::vector<DbfFieldDef> defs;
  if (!ParseDbfFields(dbfFields, true, Name(), defs) || defs.empty()) return false;
  std::vector<FieldDesc> fields;
  std::size_t size = 1;
  for (const DbfFieldDef& d : defs) {
    FieldDesc f{d.name, d.type, static_cast<std::uint8_t>(d.length), static_cast<std::uint8_t>(d.decimals), 0};
    f.offset = static_cast<std::uint16_t>(std::min<std::size_t>(size, 65535));
    size += FieldBufferSize(f);
    fields.push_back(f);
  }
  if (size > 65535) return false;
  const bool old = SetTzErrorSwitch(false);
  ClearTzErrorState();
  vbuffer_.assign(size, 0);
  virtualName_ = "*" + std::to_string(NextVirtualFileNumber()) + "* VIRTUAL FILE";
  if (appendMode_ == ASCENDING) virtualName_ += " ASCENDING";
  if (appendMode_ == DESCENDING) virtualName_ += " DESCENDING";
  USE(virtualName_, vbuffer_.data(), vbuffer_.size());
  if (TzCurrentError() == 0) AddStru(fields);
  const bool ok = Engine().lastError == 0 && TzCurrentError() == 0;
  SetTzErrorSwitch(old);
  if (!ok && CurrentWorkArea() != nullptr && CurrentWorkArea()->isVirtual) CloseArea();
  return ok;
}

std::string TTzLLDataSet::KeyOfBuffer() {
  if (keyMaker) {
    SaveActiveBuffer();
    std::string key;
    try {
      key = keyMaker();
    } catch (...) {
      RestoreActiveBuffer();
      throw;
    }
    RestoreActiveBuffer();
    return key;
  }
  if (!SelectWorkArea("DoOnKeymake")) return {};
  WorkArea* a = CurrentWorkArea();
  if (a == nullptr || a->fieldCount < 1) return {};
  if (a->fields[0].type == 'C') return BufferText(*a, 1);
  return FieldAsString(1);
}

void TTzLLDataSet::SetAppendMode(LStatusType mode) {
  appendMode_ = mode;
  if (!Active()) return;
  if (!SelectWorkArea("SetAppendMode")) return;
  if (mode == FIFO || mode == LIFO || mode == INSERTION) {
    Set_VFileMode_To(mode);
    return;
  }
  if (Active()) CheckBrowseMode();
  Set_VFileKey_To([this] { return KeyOfBuffer(); });
  SortVFile(mode);
  ResyncFromEngine();
}

void TTzLLDataSet::DoAfterOpen() {
  TTzCDataSet::DoAfterOpen();
  if (!SelectWorkArea("DoAfterOpen")) return;
  if (appendMode_ == ASCENDING || appendMode_ == DESCENDING) {
    Set_VFileKey_To([this] { return KeyOfBuffer(); });
    Set_VFileMode_To(appendMode_);
  }
  if (populateFromDisk) ReadFromDisk();
  if (appendMode_ == LIFO || appendMode_ == INSERTION) {
    SelectWorkArea("DoAfterOpen");
    Set_VFileMode_To(appendMode_);
  }
  ResyncFromEngine();
}

void TTzLLDataSet::BeforeTableClose() {
  if (saveToDisk && modified_) WriteToDisk();
  if (SelectWorkArea("BeforeTableClose") && CurrentWorkArea() != nullptr) CloseArea();
}

void TTzLLDataSet::s_AppendWithLock() {
  if (!SelectWorkArea("s_AppendWithLock")) return;
  const LStatusType mode = Get_VFileMode();
  const bool atEnd = EndCrack() || RecNo() > zeb::xbase::RecCount() || zeb::xbase::RecCount() == 0;
  if (atEnd && mode == INSERTION) Set_VFileMode_To(FIFO);
  zeb::xbase::Append();
  const std::uint16_t err = TzCurrentError();
  if (atEnd && mode == INSERTION) Set_VFileMode_To(mode);
  if (err == 0) SKIP(0);
  modified_ = true;
}

void TTzLLDataSet::s_DeleteWithLock() {
  if (!SelectWorkArea("s_DeleteWithLock")) return;
  DeleteRec();
  modified_ = true;
}

void TTzLLDataSet::s_RestoreWithLock() {
  if (!SelectWorkArea("s_RestoreWithLock")) return;
  RecallRec();
  modified_ = true;
}

void TTzLLDataSet::s_ReplaceWithLock() {
  if (!SelectWorkArea("s_ReplaceWithLock")) return;
  Replace();
  modified_ = true;
}

bool TTzLLDataSet::SameFields(const DbfTable& file) const {
  const WorkArea* v = AreaAt(area_);
  if (v == nullptr || v->fields.size() != file.fields.size()) return false;
  for (std::size_t i = 0; i < file.fields.size(); ++i) {
    const FieldDesc& a = v->fields[i];
    const FieldDesc& b = file.fields[i];
    if (a.name != b.name || a.type != b.type || a.length != b.length || a.decimals != b.decimals) return false;
  }
  return v->recordBufferSize == zeb::xbase::RecordBufferSize(file);
}

namespace {

// Closes the engine area it holds and selects the remembered one.
class TempArea {
 public:
  explicit TempArea(int back) : back_(back) {}
  ~TempArea() {
    if (n_ > 0 && AreaAt(n_) != nullptr) {
      SelectArea(n_);
      const bool old = SetTzErrorSwitch(false);
      CloseArea();
      SetTzErrorSwitch(old);
    }
    if (back_ > 0) SelectArea(back_);
  }
  TempArea(const TempArea&) = delete;
  TempArea& operator=(const TempArea&) = delete;
  // Opens the file in the first free area; false when it failed.
  bool Open(const std::string& name) {
    Select(0);
    if (TzCurrentError() != 0) return false;
    n_ = CurrentArea();
    USE(name);
    if (TzCurrentError() != 0 || CurrentWorkArea() == nullptr) {
      n_ = 0;
      return false;
    }
    return true;
  }
  WorkArea* Area() const { return n_ > 0 ? AreaAt(n_) : nullptr; }
  int Number() const { return n_; }

 private:
  int back_;
  int n_ = 0;
};

}  // namespace

void TTzLLDataSet::WriteToDisk() {
  if (DbfFileName().empty()) return;
  if (!SelectWorkArea("WriteToDisk")) return;
  if (Active()) CheckBrowseMode();
  // The file's structure must be the virtual file's before anything is written.
  std::vector<DbfFieldDef> defs;
  DbfTable probe;
  if (ParseDbfFields(dbfFields, true, Name(), defs)) {
    for (const DbfFieldDef& d : defs)
      probe.fields.push_back(FieldDesc{d.name, d.type, static_cast<std::uint8_t>(d.length),
                                       static_cast<std::uint8_t>(d.decimals), 0});
  }
  if (!SameFields(probe)) {
    TzError(266, DbfFileName() + " [WriteToDisk]");
    return;
  }
  if (!CreateTableFromDbfFields(&dbfFields, DbfFileName(), true, Name())) {
    TzError(Engine().lastError != 0 ? Engine().lastError : 266, DbfFileName() + " [WriteToDisk]");
    return;
  }
  const int vArea = area_;
  TempArea file(vArea);
  if (!file.Open(DbfFileName())) return;
  WorkArea* d = file.Area();
  if (!SameFields(*d)) {
    TzError(266, DbfFileName() + " [WriteToDisk]");
    return;
  }
  WorkArea* v = AreaAt(vArea);
  const std::int32_t count = v->recordCount;
  std::unique_ptr<TzProgress100> progress;
  if (showProgress && count >= 100) progress = std::make_unique<TzProgress100>("Writing to disk...");
  const std::int32_t every = std::max<std::int32_t>(1, count / 100);
  for (std::int32_t i = 1; i <= count; ++i) {
    SelectArea(vArea);
    GO(i);
    if (TzCurrentError() != 0) break;
    if (progress && i % every == 0) progress->Step();
    if (HideDeletedRecs() && v->recordBuffer[0] != 0) continue;
    CompleteRecordBuffer(*d);
    std::memcpy(d->recordBuffer, v->recordBuffer, std::min(d->recordBufferSize, v->recordBufferSize));
    SelectArea(file.Number());
    if (!zeb::xbase::ALock()) continue;
    zeb::xbase::Append();
    Unlock();
  }
  SelectArea(vArea);
  SafeGo(1);
  modified_ = false;
}

void TTzLLDataSet::ReadFromDisk() {
  if (DbfFileName().empty() || !std::filesystem::exists(DbfFileName())) return;
  if (!SelectWorkArea("ReadFromDisk")) return;
  if (Active()) CheckBrowseMode();
  const int vArea = area_;
  {
    TempArea file(vArea);
    if (!file.Open(DbfFileName())) return;
    WorkArea* d = file.Area();
    if (!SameFields(*d)) {
      TzError(266, DbfFileName() + " [ReadFromDisk]");
      return;
    }
    WorkArea* v = AreaAt(vArea);
    const std::int32_t count = d->recordCount;
    std::unique_ptr<TzProgress100> progress;
    if (showProgress && count >= 100) progress = std::make_unique<TzProgress100>("Reading from disk...");
    const std::int32_t every = std::max<std::int32_t>(1, count / 100);
    for (std::int32_t i = 1; i <= count; ++i) {
      SelectArea(file.Number());
      ReadRecord(*d, i);
      if (TzCurrentError() != 0) break;
      if (progress && i % every == 0) progress->Step();
      if (HideDeletedRecs() && d->recordBuffer[0] != 0) continue;
      CompleteRecordBuffer(*d);
      std::memcpy(v->recordBuffer, d->recordBuffer, std::min(d->recordBufferSize, v->recordBufferSize));
      SelectArea(vArea);
      zeb::xbase::Append();
      if (TzCurrentError() != 0) break;
    }
  }
  SelectArea(vArea);
  zeb::xbase::GoTop();
  modified_ = false;
}

}  // namespace zeb::xbase
