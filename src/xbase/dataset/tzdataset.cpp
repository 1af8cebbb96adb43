#include "xbase/dataset/tzdataset.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/codepage.h"
#include "xbase/core/ansi_literal.h"
#include "xbase/core/callbacks.h"
#include "xbase/core/dates.h"
#include "xbase/core/engine.h"
#include "xbase/core/errors.h"
#include "xbase/core/text_utils.h"
#include "xbase/dbf/locking.h"
#include "xbase/dbf/tablecmds.h"
#include "xbase/dataset/tzfields.h"
#include "xbase/dbf/workarea.h"
#include "xbase/index/ndx.h"
#include "xbase/memo/memo.h"

namespace zeb::xbase {

void CheckTziResult(int code, const std::string& errorText) {
  if (code == kTziOk) return;
  if (code == kTziNoErrorCode || code == kTziAtBegin || code == kTziAtEnd)
    DatabaseError("Dataset error: " + std::to_string(code));
  if (code == kTziNoFileName) DatabaseError("Missing DbfFilename property");
  DatabaseError("Dataset error: " + errorText);
}

namespace {

template <class T>
T Load(const std::uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

template <class T>
void Store(std::uint8_t* p, T v) {
  std::memcpy(p, &v, sizeof v);
}

// Size of a field's value in the dataset's record buffer.
std::size_t DatasetSize(BufferKind k, const FieldDesc& f) {
  switch (k) {
    case BufferKind::Text: return std::size_t{f.length} + 1;
    case BufferKind::Date: return 8;
    case BufferKind::Int32: return 4;
    case BufferKind::Real48:
    case BufferKind::Int64:
    case BufferKind::Double: return 8;
    case BufferKind::Logical: return 2;
    case BufferKind::MemoRef: return 4;
    case BufferKind::None: return 0;
  }
  return 0;
}

// The next Append of the area keeps blanks where nothing was set; the
// switch is off again when the append did not run.
class BlankAppend {
 public:
  explicit BlankAppend(WorkArea& a, std::vector<bool> set = {}) : a_(a) {
    a_.appendKeepsBlanks = true;
    a_.fieldsSet = std::move(set);
  }
  ~BlankAppend() {
    a_.appendKeepsBlanks = false;
    a_.fieldsSet.clear();
  }
  BlankAppend(const BlankAppend&) = delete;
  BlankAppend& operator=(const BlankAppend&) = delete;

 private:
  WorkArea& a_;
};

// The number the file will hold: the text with exactly the decimals, read back.
double StoredValue(long double v, const FieldDesc& f) {
  if (!std::isfinite(static_cast<double>(v))) return 0;
  std::string s = StoredNumber(v, f.length, f.decimals);
  if (s.find('*') != std::string::npos) {
    // Too wide for the field: keep the rounded value.
    const double scale = std::pow(10.0, f.decimals);
    return std::round(static_cast<double>(v) * scale) / scale;
  }
  double x = 0;
  return ReadNumberText(s, x) ? x : 0;
}

}  // namespace

// ---------------------------------------------------------------- TTzPrimDataset

TTzPrimDataset::TTzPrimDataset(std::string name) : DataSet(std::move(name)) {}

TTzPrimDataset::~TTzPrimDataset() = default;

void TTzPrimDataset::OpenCursor() {
  Callback().Pump();
  Check(TziOpen());
  cursorOpen_ = true;
  InternalOpen();
}

void TTzPrimDataset::InternalOpen() {
  recordDataSize_ = TziGetRecordDataSize();
  CreateFields();
  infoOffset_ = recordDataSize_ + static_cast<std::size_t>(CalcFieldsSize()) + 4 * static_cast<std::size_t>(BlobFieldCount());
  bookmarkOffset_ = infoOffset_ + 6;
  bufferSize_ = bookmarkOffset_ + TziGetBookmarkSize();
  TziSetToBegin();
}

void TTzPrimDataset::CloseCursor() {
  if (!cursorOpen_) return;
  cursorOpen_ = false;
  TziClose();
}

std::int32_t TTzPrimDataset::BufferRecNo(const std::vector<std::uint8_t>& buffer) const {
  if (buffer.size() < infoOffset_ + 4) return 0;
  return Load<std::int32_t>(buffer.data() + infoOffset_);
}

Bookmark TTzPrimDataset::BufferBookmark(const std::vector<std::uint8_t>& buffer) const {
  if (buffer.size() < bookmarkOffset_ + 4) return std::nullopt;
  return Load<std::int32_t>(buffer.data() + bookmarkOffset_);
}

BookmarkFlag TTzPrimDataset::GetBookmarkFlag(const std::vector<std::uint8_t>& buffer) const {
  if (buffer.size() <= infoOffset_ + 4) return BookmarkFlag::Bof;
  return static_cast<BookmarkFlag>(buffer[infoOffset_ + 4]);
}

void TTzPrimDataset::SetBookmarkFlag(std::vector<std::uint8_t>& buffer, BookmarkFlag f) {
  if (buffer.size() > infoOffset_ + 4) buffer[infoOffset_ + 4] = static_cast<std::uint8_t>(f);
}

GetResult TTzPrimDataset::GetRecord(std::vector<std::uint8_t>& buffer, GetMode mode, bool doCheck) {
  buffer.assign(bufferSize_, 0);
  std::int32_t recNo = 0;
  int code = 0;
  switch (mode) {
    case GetMode::Current: code = TziGetRecord(buffer.data(), recNo); break;
    case GetMode::Next: code = TziGetNextRecord(buffer.data(), recNo); break;
    case GetMode::Prior: code = TziGetPriorRecord(buffer.data(), recNo); break;
  }
  if (code == kTziOk) {
    Store(buffer.data() + infoOffset_, recNo);
    buffer[infoOffset_ + 4] = static_cast<std::uint8_t>(BookmarkFlag::Current);
    CalculateFields(buffer);
    std::int32_t bm = 0;
    const int c = TziSetToBookmark(bm);
    Store(buffer.data() + bookmarkOffset_, bm);
    Check(c);
    return GetResult::Ok;
  }
  if (code == kTziAtBegin) return GetResult::Bof;
  if (code == kTziAtEnd) return GetResult::Eof;
  if (doCheck) Check(code);
  return GetResult::Error;
}

void TTzPrimDataset::InternalFirst() { TziSetToBegin(); }
void TTzPrimDataset::InternalLast() { TziSetToEnd(); }

void TTzPrimDataset::InternalSetToRecord(const std::vector<std::uint8_t>& buffer) {
  Bookmark b = BufferBookmark(buffer);
  if (b && GetBookmarkFlag(buffer) == BookmarkFlag::Current) TziGotoBookmark(*b);
}

void TTzPrimDataset::InternalGotoBookmark(std::int32_t bookmark) { TziGotoBookmark(bookmark); }

void TTzPrimDataset::InternalInitRecord(std::vector<std::uint8_t>& buffer) {
  buffer.assign(bufferSize_, 0);
  setFields_.clear();
  TziInitRecord();
}

void TTzPrimDataset::InternalAddRecord(std::vector<std::uint8_t>& buffer, bool append) {
  Check(append ? TziAppendRecord(buffer.data()) : TziInsertRecord(buffer.data()));
}

void TTzPrimDataset::InternalPost() {
  if (State() == DataSetState::Edit)
    Check(TziModifyRecord(activeBuffer_.data()));
  else
    Check(TziInsertRecord(activeBuffer_.data()));
}

void TTzPrimDataset::InternalDelete() { Check(TziDeleteRecord()); }

void TTzPrimDataset::InternalEdit() {
  setFields_.clear();
  std::int32_t recNo = 0;
  std::vector<std::uint8_t> buf(bufferSize_, 0);
  if (TziGetRecord(buf.data(), recNo) == kTziOk) {
    std::copy(buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(recordDataSize_), activeBuffer_.begin());
    Store(activeBuffer_.data() + infoOffset_, recNo);
  }
}

void TTzPrimDataset::InternalRefresh() { TziForceReread(); }

void TTzPrimDataset::DoOnNewRecord() {
  if (TziGetRecordCount() < 1) {
    std::fill(activeBuffer_.begin(), activeBuffer_.end(), 0);
    SetBookmarkFlag(activeBuffer_, BookmarkFlag::Inserted);
  }
  DataSet::DoOnNewRecord();
}

void TTzPrimDataset::ClearCalcFields(std::vector<std::uint8_t>& buffer) {
  const std::size_t end = recordDataSize_ + static_cast<std::size_t>(CalcFieldsSize());
  if (buffer.size() >= end) std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(recordDataSize_), buffer.begin() + static_cast<std::ptrdiff_t>(end), 0);
}

std::int32_t TTzPrimDataset::GetRecNo() const {
  if (!Active() || (Empty() && !inCalc_)) return -1;
  return BufferRecNo(inCalc_ ? calcBuffer_ : activeBuffer_);
}

void TTzPrimDataset::SetRecNo(std::int32_t n) {
  CheckBrowseMode();
  if (n == GetRecNo()) return;
  DoBeforeScroll();
  if (TziGoToRecNo(n) == kTziOk) {
    Resync(false);
    DoAfterScroll();
  }
}

std::int32_t TTzPrimDataset::GetRecordCount() {
  CheckActive();
  return TziGetRecordCount();
}

int TTzPrimDataset::CompareBookmarks(const Bookmark& a, const Bookmark& b) {
  if (!a && !b) return 0;
  if (!b) return -1;
  if (!a) return 1;
  if (!cursorOpen_) return 0;
  return TziCompareBookmarks(*a, *b);
}

bool TTzPrimDataset::BookmarkValid(const Bookmark& b) {
  if (!cursorOpen_ || !b) return false;
  TziGotoBookmark(*b);
  std::int32_t recNo = 0;
  const bool ok = TziGetRecord(nullptr, recNo) == kTziOk;
  // The cursor goes back to the active record.
  InternalSetToRecord(activeBuffer_);
  return ok;
}

bool TTzPrimDataset::Locate(std::string_view keyFields, const std::vector<FieldValue>& values, unsigned options) {
  CheckBrowseMode();
  DoBeforeScroll();
  const bool found = TziLocate(keyFields, values, options);
  if (found) {
    Resync(true);
    DoAfterScroll();
  }
  return found;
}

FieldValue TTzPrimDataset::Lookup(std::string_view keyFields, const std::vector<FieldValue>& values,
                                  std::string_view resultFields) {
  CheckBrowseMode();
  return TziLookup(keyFields, values, resultFields);
}

bool TTzPrimDataset::FindRecord(bool restart, bool goForward) {
  CheckBrowseMode();
  DoBeforeScroll();
  bool found = false;
  InternalSetToRecord(activeBuffer_);
  std::int32_t recNo = 0;
  int code;
  if (goForward) {
    if (restart) TziSetToBegin();
    code = TziGetNextRecord(nullptr, recNo);
  } else {
    if (restart) TziSetToEnd();
    code = TziGetPriorRecord(nullptr, recNo);
  }
  if (code == kTziOk) {
    Resync(true);
    found = true;
    DoAfterScroll();
  }
  return found;
}

bool TTzPrimDataset::GetFieldData(const TField& f, void* buffer) const {
  const std::vector<std::uint8_t>* rec = nullptr;
  if (viewBuffer_ != nullptr)
    rec = viewBuffer_;
  else if (inCalc_)
    rec = &calcBuffer_;
  else if (!Empty() || State() == DataSetState::Insert || State() == DataSetState::Edit)
    rec = &activeBuffer_;
  if (rec == nullptr || rec->size() < bufferSize_) return false;
  if (f.Calculated()) {
    const std::size_t off = recordDataSize_ + static_cast<std::size_t>(f.calcOffset);
    const bool has = (*rec)[off] != 0;
    if (has && buffer != nullptr) std::memcpy(buffer, rec->data() + off + 1, static_cast<std::size_t>(f.DataSize()));
    return has;
  }
  bool isBlank = false;
  TziGetFieldData(f, rec->data(), isBlank, buffer);
  return !isBlank;
}

void TTzPrimDataset::SetFieldData(TField& f, const void* buffer) {
  const DataSetState s = State();
  if (s != DataSetState::Edit && s != DataSetState::Insert && s != DataSetState::SetKey &&
      s != DataSetState::CalcFields && s != DataSetState::Filter && s != DataSetState::NewValue)
    DatabaseError("Dataset not in edit or insert mode");
  std::vector<std::uint8_t>& rec = inCalc_ ? calcBuffer_ : activeBuffer_;
  if (f.Calculated()) {
    const std::size_t off = recordDataSize_ + static_cast<std::size_t>(f.calcOffset);
    rec[off] = buffer != nullptr ? 1 : 0;
    if (buffer != nullptr) std::memcpy(rec.data() + off + 1, buffer, static_cast<std::size_t>(f.DataSize()));
    else std::fill(rec.begin() + static_cast<std::ptrdiff_t>(off + 1), rec.begin() + static_cast<std::ptrdiff_t>(off + 1 + static_cast<std::size_t>(f.DataSize())), 0);
    return;
  }
  if (s == DataSetState::CalcFields) DatabaseError("Dataset not in edit or insert mode");
  if (f.readOnly && s != DataSetState::SetKey && s != DataSetState::Filter)
    DatabaseError("Field '" + f.Name() + "' cannot be modified");
  Check(TziSetFieldData(f, rec.data(), buffer));
  if (s != DataSetState::CalcFields && s != DataSetState::Filter && s != DataSetState::NewValue) {
    SetModifiedFlag(true);
    DataEvent(kFieldChange);
  }
}

// ---------------------------------------------------------------- TTzDataSet

TTzDataSet::TTzDataSet(std::string name) : TTzPrimDataset(std::move(name)) {
  StartDatasetUnitOnce();
  SetTzRaiseMode(true);
}

TTzDataSet::~TTzDataSet() {
  try {
    if (Active()) Close();
  } catch (const std::exception&) {
    // The area stays as the failure left it.
  }
}

WorkArea* TTzDataSet::Area() const { return area_ > 0 ? AreaAt(area_) : nullptr; }

bool TTzDataSet::SelectWorkArea(std::string_view method) const {
  if (area_ > 0 && Area() != nullptr) {
    if (CurrentArea() != area_) SelectArea(area_);
    SetTableIsAnsi(tableLanguage == TTzTableLanguage::tlAnsi);
    return true;
  }
  TzError(1103, "Datenbank ist nicht offen [" + Name() + "." + std::string(method) + "]");
  // The error switch is off: the program is asked to end.
  Callback().RequestTerminate();
  return false;
}

void TTzDataSet::SetDbfFileName(std::string_view name) {
  const bool wasActive = Active();
  if (MemoAsNumber() && wasActive) {
    SetModified();
  } else if (wasActive) {
    Close();
  }
  std::string n = AllTrimText(name);
  if (!n.empty() && n.back() != '.') n = DefaultExtension(n, "DBF");
  dbfFileName_ = n;
  if (wasActive && !Active()) Open();
}

void TTzDataSet::SetHideDeletedRecs(bool on) {
  if (on == hideDeleted_) return;
  hideDeleted_ = on;
  if (!Active()) return;
  CheckBrowseMode();
  SyncToActive();
  if (!SelectWorkArea("SetHideDeletedRecs")) return;
  SetIgnoreDel(on);
  SyncVisible();
  ResyncFromEngine();
}

void TTzDataSet::SyncToActive() {
  if (!Empty()) InternalSetToRecord(activeBuffer_);
}

bool TTzDataSet::OpenProcedure() {
  maps_.clear();
  recordDataSize_ = 0;
  const int remembered = CurrentArea();
  Select(area_);
  if (TzCurrentError() != 0) {
    SelectArea(remembered);
    return false;
  }
  SetTableIsAnsi(tableLanguage == TTzTableLanguage::tlAnsi);
  if (!OpenTable(dbfFileName_)) return false;
  WorkArea* a = CurrentWorkArea();
  if (a == nullptr) return false;
  area_ = a->number;
  a->ownIndexes = ownIndex;
  SetIgnoreDel(hideDeleted_);
  dbfFields = DbfFieldsOf(*a, Name());
  std::size_t off = 1;
  for (int i = 1; i <= a->fieldCount; ++i) {
    const FieldDesc& f = a->fields[static_cast<std::size_t>(i - 1)];
    TzFieldMap m;
    m.desc = f;
    m.kind = FieldBufferKind(f);
    m.engineOffset = FieldBufferOffset(*a, i);
    m.bufferSize = DatasetSize(m.kind, f);
    m.bufferOffset = off;
    off += m.bufferSize;
    maps_.push_back(m);
  }
  recordDataSize_ = off;
  return true;
}

int TTzDataSet::TziOpen() {
  if (dbfFileName_.empty() && NeedsFileName()) return kTziNoFileName;
  ClearTzErrorState();
  openError_.clear();
  bool ok = false;
  try {
    ok = OpenProcedure();
  } catch (const ETzError& e) {
    openError_ = e.what();
    ok = false;
  }
  if (ok) return kTziOk;
  const int code = Engine().lastError != 0 ? Engine().lastError : TzCurrentError();
  return code != 0 ? code : kTziNoErrorCode;
}

std::string TTzDataSet::GetErrorText(int code) const {
  if (!openError_.empty()) return openError_;
  std::string text = Engine().lastErrorText;
  return text.empty() ? std::to_string(code) : text;
}

void TTzDataSet::InternalOpen() { TTzPrimDataset::InternalOpen(); }

void TTzDataSet::CreateFields() {
  DestroyFields();
  for (std::size_t i = 0; i < maps_.size(); ++i) {
    const TzFieldMap& m = maps_[i];
    if (m.desc.name.empty() || m.kind == BufferKind::None) continue;
    TFieldType t = TFieldType::String;
    int size = 0;
    switch (m.kind) {
      case BufferKind::Text: t = TFieldType::String; size = m.desc.length; break;
      case BufferKind::Date: t = TFieldType::Date; break;
      case BufferKind::Int32: t = TFieldType::Integer; break;
      case BufferKind::Int64: t = TFieldType::LargeInt; break;
      case BufferKind::Real48:
      case BufferKind::Double: t = TFieldType::Float; break;
      case BufferKind::Logical: t = TFieldType::Boolean; break;
      case BufferKind::MemoRef: t = MemoAsNumber() ? TFieldType::Integer : TFieldType::Memo; break;
      case BufferKind::None: break;
    }
    std::unique_ptr<zeb::xbase::TField> f;
    const int no = static_cast<int>(i) + 1;
    if (t == TFieldType::Date)
      f = std::make_unique<TTzDateField>(*this, m.desc.name, no);
    else if (t == TFieldType::Float)
      f = std::make_unique<TTzFloatField>(*this, m.desc.name, no);
    else if (t == TFieldType::Integer || t == TFieldType::LargeInt)
      f = std::make_unique<TTzIntegerField>(*this, m.desc.name, t, no);
    else
      f = std::make_unique<zeb::xbase::TField>(*this, m.desc.name, t, size, no);
    AddDataField(std::move(f));
  }
}

const TzFieldMap* TTzDataSet::MapOf(const zeb::xbase::TField& f) const {
  const int n = f.FieldNo();
  if (n < 1 || static_cast<std::size_t>(n) > maps_.size()) return nullptr;
  return &maps_[static_cast<std::size_t>(n - 1)];
}

void TTzDataSet::CopyEngineToBuffer(std::uint8_t* buffer) const {
  WorkArea* a = Area();
  if (a == nullptr || a->recordBuffer == nullptr || buffer == nullptr) return;
  CompleteRecordBuffer(*a);
  CopyFieldBuffer(a->recordBuffer, buffer);
}

void TTzDataSet::CopyFieldBuffer(const std::uint8_t* e, std::uint8_t* buffer) const {
  buffer[0] = e[0];
  for (const TzFieldMap& m : maps_) {
    const std::uint8_t* src = e + m.engineOffset;
    std::uint8_t* dst = buffer + m.bufferOffset;
    switch (m.kind) {
      case BufferKind::Text: std::memcpy(dst, src, m.bufferSize); break;
      case BufferKind::Date: {
        const std::string text = ReadShortString(src, std::size_t{m.desc.length} + 2);
        Store(dst, DateTextToDateTime(text, false));
        break;
      }
      case BufferKind::Int32:
      case BufferKind::MemoRef: std::memcpy(dst, src, 4); break;
      case BufferKind::Int64: std::memcpy(dst, src, 8); break;
      case BufferKind::Real48: {
        Real48 r;
        std::memcpy(r.data(), src, 6);
        Store(dst, StoredValue(Real48ToReal(r), m.desc));
        break;
      }
      case BufferKind::Double: Store(dst, StoredValue(Load<double>(src), m.desc)); break;
      case BufferKind::Logical: dst[0] = src[0]; dst[1] = 0; break;
      case BufferKind::None: break;
    }
  }
}

void TTzDataSet::CopyBufferToEngine(const std::uint8_t* buffer, int field) const {
  WorkArea* a = Area();
  if (a == nullptr || a->recordBuffer == nullptr || buffer == nullptr) return;
  // Every field decoded first, so none is later decoded over what is written.
  CompleteRecordBuffer(*a);
  std::uint8_t* e = a->recordBuffer;
  if (field == 0) e[0] = buffer[0];
  for (std::size_t i = 0; i < maps_.size(); ++i) {
    if (field != 0 && static_cast<int>(i) + 1 != field) continue;
    const TzFieldMap& m = maps_[i];
    const std::uint8_t* src = buffer + m.bufferOffset;
    std::uint8_t* dst = e + m.engineOffset;
    switch (m.kind) {
      case BufferKind::Text: std::memcpy(dst, src, m.bufferSize); break;
      case BufferKind::Date: {
        const double dt = Load<double>(src);
        std::string text = dt != 0 ? TzTrimRight(DateTimeToText(dt)).substr(0, 10) : BlankDatePicture();
        std::string check = text;
        if (dt != 0 && (text.empty() || !IsDateText(check))) {
          ShowDatasetMessage("        Invalid date       ");
          text = BlankDatePicture();
        }
        WriteShortString(dst, std::size_t{m.desc.length} + 2, text);
        break;
      }
      case BufferKind::Int32:
      case BufferKind::MemoRef: std::memcpy(dst, src, 4); break;
      case BufferKind::Int64: std::memcpy(dst, src, 8); break;
      case BufferKind::Real48: {
        Real48 r{};
        if (!RealToReal48(Load<double>(src), r)) r = Real48{};
        std::memcpy(dst, r.data(), 6);
        break;
      }
      case BufferKind::Double: std::memcpy(dst, src, 8); break;
      case BufferKind::Logical: dst[0] = src[0] != 0 ? 1 : 0; break;
      case BufferKind::None: break;
    }
    if (field != 0) break;
  }
}

bool TTzDataSet::TziGetFieldData(const zeb::xbase::TField& f, const std::uint8_t* record, bool& isBlank,
                                 void* dest) const {
  const TzFieldMap* m = MapOf(f);
  isBlank = true;
  if (m == nullptr) return false;
  const std::uint8_t* src = record + m->bufferOffset;
  auto* out = static_cast<std::uint8_t*>(dest);
  if (out != nullptr) std::memset(out, 0, static_cast<std::size_t>(f.DataSize()));
  switch (m->kind) {
    case BufferKind::Text: {
      if (out != nullptr) {
        const std::string s = TzTrimRight(ReadShortString(src, m->bufferSize - 1));
        std::memcpy(out, s.data(), std::min<std::size_t>(s.size(), static_cast<std::size_t>(f.Size())));
      }
      isBlank = false;
      break;
    }
    case BufferKind::Date: {
      const double dt = Load<double>(src);
      isBlank = dt == 0;
      if (out != nullptr && !isBlank) Store(out, static_cast<std::int32_t>(std::floor(dt)) + kDateDelta);
      break;
    }
    case BufferKind::Int32:
    case BufferKind::MemoRef:
      if (out != nullptr) std::memcpy(out, src, 4);
      isBlank = false;
      break;
    case BufferKind::Int64:
    case BufferKind::Real48:
    case BufferKind::Double:
      if (out != nullptr) std::memcpy(out, src, 8);
      isBlank = false;
      break;
    case BufferKind::Logical:
      if (out != nullptr) Store(out, static_cast<std::uint16_t>(src[0] != 0 ? 1 : 0));
      isBlank = false;
      break;
    case BufferKind::None: break;
  }
  // Without a destination a value only counts as present.
  if (out == nullptr && m->kind != BufferKind::Date) isBlank = false;
  return !isBlank;
}

void TTzDataSet::CheckEntry(const TField& f, std::u32string_view typed) const {
  const TzFieldMap* m = MapOf(f);
  if (m == nullptr) return;
  const bool oem = tableLanguage == TTzTableLanguage::tlOem;
  if (m->kind == BufferKind::Text) {
    for (const char32_t u : typed) {
      const int ansi = FromUnicode(CodePage::Cp1252, u);
      if (ansi >= 0 && (!oem || FromUnicode(CodePage::Cp850, u) >= 0)) continue;
      const std::string shown = ansi >= 0 ? std::string(1, static_cast<char>(ansi)) : std::string("?");
      DatabaseError("Das Zeichen '" + shown + "' kann in " + f.Name() + " nicht gespeichert werden (nicht in Codepage " +
                    (oem ? "850" : "1252") + ")");
    }
    return;
  }
  if (m->desc.type != 'N' && m->desc.type != 'F') return;
  std::string text;
  for (const char32_t u : typed) {
    const char c = u < 0x80 ? static_cast<char>(u) : '?';
    text.push_back(c == ',' ? '.' : c);
  }
  text = AllTrimText(text);
  if (text.empty()) return;
  double v = 0;
  if (!ReadNumberText(text, v)) return;  // SetText names it
  if (StoredNumber(v, m->desc.length, m->desc.decimals).find('*') == std::string::npos) return;
  DatabaseError("'" + text + "' passt nicht in " + f.Name() + " (" + std::to_string(m->desc.length) + " Stellen, " +
                std::to_string(m->desc.decimals) + " nach dem Komma)");
}

int TTzDataSet::TziSetFieldData(const zeb::xbase::TField& f, std::uint8_t* record, const void* source) {
  const TzFieldMap* m = MapOf(f);
  if (m == nullptr) return kTziOk;
  std::uint8_t* dst = record + m->bufferOffset;
  const auto* in = static_cast<const std::uint8_t*>(source);
  std::memset(dst, 0, m->bufferSize);
  if (in != nullptr) {
    switch (m->kind) {
      case BufferKind::Text: {
        const char* s = reinterpret_cast<const char*>(in);
        // The slot is the length byte and the characters.
        WriteShortString(dst, m->bufferSize - 1, std::string_view(s, strnlen(s, m->desc.length)));
        break;
      }
      case BufferKind::Date: {
        const std::int32_t day = Load<std::int32_t>(in);
        Store(dst, static_cast<double>(day - kDateDelta));
        break;
      }
      case BufferKind::Int32:
      case BufferKind::MemoRef: std::memcpy(dst, in, 4); break;
      case BufferKind::Int64: std::memcpy(dst, in, 8); break;
      case BufferKind::Real48:
      case BufferKind::Double: Store(dst, StoredValue(Load<double>(in), m->desc)); break;
      case BufferKind::Logical: dst[0] = Load<std::uint16_t>(in) != 0 ? 1 : 0; break;
      case BufferKind::None: break;
    }
  } else if (m->kind == BufferKind::Text) {
    WriteShortString(dst, m->bufferSize - 1, "");
  }
  if (State() == DataSetState::Edit || State() == DataSetState::Insert) {
    const std::size_t i = static_cast<std::size_t>(f.FieldNo() - 1);
    if (setFields_.size() <= i) setFields_.resize(i + 1, false);
    setFields_[i] = true;
  }
  if (!SelectWorkArea("TziSetFieldData")) return kTziOk;
  CopyBufferToEngine(record, f.FieldNo());
  return kTziOk;
}

int TTzDataSet::TziSetToBegin() {
  FollowOtherPrograms();
  if (!SelectWorkArea("TziSetToBegin")) return kTziOk;
  GoTop();
  beginCrack_ = true;
  endCrack_ = false;
  return kTziOk;
}

int TTzDataSet::TziSetToEnd() {
  FollowOtherPrograms();
  if (!SelectWorkArea("TziSetToEnd")) return kTziOk;
  GoBottom();
  endCrack_ = true;
  beginCrack_ = false;
  return kTziOk;
}

int TTzDataSet::TziClose() {
  if (area_ == 0) return kTziOk;
  if (SelectWorkArea("TziClose")) {
    BeforeTableClose();
    if (Area() != nullptr) CloseArea();
  }
  area_ = 0;
  maps_.clear();
  return kTziOk;
}

std::int32_t TTzDataSet::TziGetRecordCount() {
  if (!SelectWorkArea("TziGetRecordCount")) return 0;
  return RecCount();
}

int TTzDataSet::TziForceReread() {
  FollowOtherPrograms();
  if (!SelectWorkArea("TziForceReread")) return kTziOk;
  WithOwnIndex([] { SKIP(0); });
  return kTziOk;
}

int TTzDataSet::TziAppendRecord(std::uint8_t* buffer) {
  buffer[0] = 0;
  if (!SelectWorkArea("TziAppendRecord")) return kTziOk;
  if (onRecordsPastCount && zeb::xbase::RecordsPastCount() > 0) {
    if (!onRecordsPastCount()) throw EAbort{};
    if (!SelectWorkArea("TziAppendRecord")) return kTziOk;
  }
  CopyBufferToEngine(buffer, 0);
  // Fields left empty stay blank in the file; the marks stay with the new
  // record until it is written (a refused lock keeps them).
  const BlankAppend blank(*Area(), setFields_);
  s_AppendWithLock();
  beginCrack_ = endCrack_ = false;
  return kTziOk;
}

int TTzDataSet::TziInsertRecord(std::uint8_t* buffer) { return TziAppendRecord(buffer); }

int TTzDataSet::TziDeleteRecord() {
  s_DeleteWithLock();
  if (s_IsEmptyDbf()) ResyncFromEngine();
  return kTziOk;
}

int TTzDataSet::TziInitRecord() {
  if (!SelectWorkArea("TziInitRecord")) return kTziOk;
  ClearRecord();
  return kTziOk;
}

int TTzDataSet::TziModifyRecord(std::uint8_t* buffer) {
  if (beginCrack_) return kTziAtBegin;
  if (endCrack_) return kTziAtEnd;
  if (!SelectWorkArea("TziModifyRecord")) return kTziOk;
  // The engine stands on the record being written (a view may have moved it).
  const std::int32_t bm = Load<std::int32_t>(buffer + bookmarkOffset_);
  if (bm >= 1 && bm <= RecCount() && RecNo() != bm) WithOwnIndex([bm] { GO(bm); });
  CopyBufferToEngine(buffer, 0);
  // Only the fields this edit changed are written over the record as the
  // file holds it then. The marks stay with the edit until it is written (a
  // refused lock keeps them); the area forgets them whatever happens.
  WorkArea* a = Area();
  struct Forget {
    WorkArea* a;
    std::map<int, std::pair<std::string, bool>>& answers;
    ~Forget() {
      a->fieldsSet.clear();
      a->editBase.clear();
      a->overwriteBoth = nullptr;
      answers.clear();
    }
  } forget{a, bothAnswers_};
  a->fieldsSet = setFields_;
  if (editBase_.size() == a->recordLength) a->editBase = editBase_;
  // Under the lock only what was answered is written.
  a->overwriteBoth = [this](int field, std::string_view filed, std::string_view) {
    const auto it = bothAnswers_.find(field);
    return it != bothAnswers_.end() && it->second.first == filed && it->second.second;
  };
  for (;;) {
    // The question is asked while this program holds no lock: the other
    // program may write meanwhile, and the lock below compares again.
    for (const BothChange& c : UnansweredChanges()) {
      const std::optional<bool> write = onBothChanged ? onBothChanged(c.field, c.filed, c.typed) : false;
      // Abbrechen: nothing is written, the edit stays open.
      if (!write) throw EAbort{};
      bothAnswers_[c.field] = {c.filed, *write};
    }
    // An answer may have let a view read other records.
    if (!SelectWorkArea("TziModifyRecord")) return kTziOk;
    if (RecNo() != bm && bm >= 1 && bm <= RecCount()) WithOwnIndex([bm] { GO(bm); });
    CopyBufferToEngine(buffer, 0);
    askAgain_ = false;
    s_ReplaceWithLock();
    if (!askAgain_) break;
  }
  return kTziOk;
}

std::vector<TTzDataSet::BothChange> TTzDataSet::UnansweredChanges() {
  std::vector<BothChange> out;
  WorkArea* a = Area();
  if (a == nullptr || a->isVirtual || a->recordBuffer == nullptr || a->editBase.size() != a->recordLength) return out;
  const std::int32_t n = a->recordNumber;
  if (n < 1 || n > a->recordCount) return out;
  CompleteRecordBuffer(*a);
  const bool old = SetTzErrorSwitch(false);
  GetDbfRecord(*a, n, RecordRead::One);
  SetTzErrorSwitch(old);
  if (TzCurrentError() != 0 || a->stored.size() != a->recordLength) {
    // Unread: the write reads it again and reports.
    ClearTzErrorState();
    return out;
  }
  const std::string now = a->stored;
  PackRecordData(*a, a->recordBuffer, now, a->fieldsSet, a->editBase,
                 [&](int field, std::string_view filed, std::string_view typed) {
                   const auto it = bothAnswers_.find(field);
                   if (it == bothAnswers_.end() || it->second.first != filed)
                     out.push_back({field, std::string(filed), std::string(typed)});
                   return false;
                 });
  a->stored = now;
  return out;
}

bool TTzDataSet::BothChangedAnswered() { return UnansweredChanges().empty(); }

void TTzDataSet::IndexBuilt() { indexedRecords_ = IndexActive() ? RecCount() : -1; }

void TTzDataSet::AppendedOwn(std::int32_t before) {
  // Another program's records not yet in the index stay to be taken in.
  if (indexedRecords_ >= 0 && indexedRecords_ == before) indexedRecords_ = RecCount();
}

bool TTzDataSet::FollowOtherPrograms() {
  if (!ownIndex || !SelectWorkArea("FollowOtherPrograms") || !IndexActive()) return false;
  const std::int32_t n = RecCount();
  if (indexedRecords_ < 0) indexedRecords_ = n;
  if (n == indexedRecords_) return false;
  const std::int32_t here = RecNo();
  Reindex();
  if (here >= 1 && here <= RecCount()) GO(here);
  IndexBuilt();
  return true;
}

void TTzDataSet::WithOwnIndex(const std::function<void()>& op) {
  try {
    op();
    return;
  } catch (const ETzError&) {
    if (!ownIndex || TzCurrentError() != 212 || !SelectWorkArea("WithOwnIndex") || !IndexActive()) throw;
  }
  // The index misses a key another program wrote: built again from the
  // table, it holds every record as the file holds it now.
  ClearTzErrorState();
  const std::int32_t here = RecNo();
  Reindex();
  IndexBuilt();
  if (here >= 1 && here <= RecCount()) GO(here);
  op();
}

std::size_t TTzDataSet::TziGetRecordDataSize() { return recordDataSize_ == 0 ? 1 : recordDataSize_; }

int TTzDataSet::TziGetRecord(std::uint8_t* buffer, std::int32_t& recNo) {
  if (beginCrack_) return kTziAtBegin;
  if (endCrack_) return kTziAtEnd;
  if (!SelectWorkArea("TziGetRecord")) return kTziOk;
  WorkArea* a = Area();
  if (a->recordNumber < 1 || a->recordNumber > a->recordCount) return kTziAtEnd;
  SKIP(0);
  // A record hidden as deleted is no current record.
  if (hideDeleted_ && a->recordBuffer != nullptr && a->recordBuffer[0] != 0) return kTziAtEnd;
  if (buffer != nullptr) CopyEngineToBuffer(buffer);
  recNo = RecNo();
  return kTziOk;
}

int TTzDataSet::TziGetNextRecord(std::uint8_t* buffer, std::int32_t& recNo) {
  if (endCrack_) return kTziAtEnd;
  if (!SelectWorkArea("TziGetNextRecord")) return kTziOk;
  if (beginCrack_) {
    SKIP(0);
    beginCrack_ = false;
  } else if (!dEOF()) {
    SKIP(1);
  }
  if (dEOF()) {
    if (!dBOF()) SKIP(-1);
    endCrack_ = true;
    return kTziAtEnd;
  }
  if (buffer != nullptr) CopyEngineToBuffer(buffer);
  recNo = RecNo();
  return kTziOk;
}

int TTzDataSet::TziGetPriorRecord(std::uint8_t* buffer, std::int32_t& recNo) {
  if (beginCrack_) return kTziAtBegin;
  if (!SelectWorkArea("TziGetPriorRecord")) return kTziOk;
  if (endCrack_) {
    SKIP(0);
    endCrack_ = false;
  } else if (!dBOF()) {
    SKIP(-1);
  }
  if (dBOF() || dEOF()) {
    beginCrack_ = true;
    return kTziAtBegin;
  }
  if (buffer != nullptr) CopyEngineToBuffer(buffer);
  recNo = RecNo();
  return kTziOk;
}

int TTzDataSet::TziGoToRecNo(std::int32_t recNo) {
  SafeGo(recNo);
  return kTziOk;
}

bool TTzDataSet::TziLocate(std::string_view keyFields, const std::vector<FieldValue>& values, unsigned options) {
  if (!SelectWorkArea("TziLocate")) return false;
  std::vector<TzVariant> v;
  for (const FieldValue& x : values) {
    if (auto* s = std::get_if<std::string>(&x)) v.emplace_back(*s);
    else if (auto* d = std::get_if<double>(&x)) v.emplace_back(static_cast<long double>(*d));
    else if (auto* i = std::get_if<std::int64_t>(&x)) v.emplace_back(*i);
    else if (auto* b = std::get_if<bool>(&x)) v.emplace_back(*b);
    else v.emplace_back(std::string());
  }
  const bool found = LocateFields(keyFields, v, (options & kLoCaseInsensitive) != 0, true,
                                  (options & kLoPartialKey) == 0);
  if (found) beginCrack_ = endCrack_ = false;
  return found;
}

FieldValue TTzDataSet::TziLookup(std::string_view keyFields, const std::vector<FieldValue>& values,
                                 std::string_view resultFields) {
  FieldValue result;
  if (!SelectWorkArea("TziLookup")) return result;
  const std::int32_t remembered = RecNo();
  if (TziLocate(keyFields, values, 0)) {
    std::vector<std::uint8_t> buf(bufferSize_, 0);
    CopyEngineToBuffer(buf.data());
    std::swap(activeBuffer_, buf);
    try {
      result = FieldByName(AllTrimText(resultFields)).Value();
    } catch (...) {
      std::swap(activeBuffer_, buf);
      SafeGo(remembered);
      throw;
    }
    std::swap(activeBuffer_, buf);
    SafeGo(remembered);
  }
  return result;
}

int TTzDataSet::TziGotoBookmark(std::int32_t bookmark) {
  SafeGo(bookmark);
  return kTziOk;
}

int TTzDataSet::TziSetToBookmark(std::int32_t& bookmark) {
  if (!SelectWorkArea("TziSetToBookmark")) return kTziOk;
  bookmark = RecNo();
  return kTziOk;
}

bool TTzDataSet::s_IsEmptyDbf() {
  if (!SelectWorkArea("s_IsEmptyDbf")) return true;
  return dBOF() && dEOF();
}

void TTzDataSet::SafeGo(std::int32_t recNo) {
  if (!SelectWorkArea("SafeGo")) return;
  if (recNo >= 1 && recNo <= RecCount()) {
    WithOwnIndex([recNo] { GO(recNo); });
    beginCrack_ = endCrack_ = false;
  } else {
    TziSetToEnd();
  }
}

void TTzDataSet::ResyncFromEngine() {
  if (Engine().lastError != 0 && TzCurrentError() != 0) return;
  if (State() == DataSetState::Edit || State() == DataSetState::Insert || State() == DataSetState::SetKey)
    SetState(DataSetState::Browse);
  if (s_IsEmptyDbf()) {
    std::fill(activeBuffer_.begin(), activeBuffer_.end(), 0);
    beginCrack_ = endCrack_ = true;
    SetEmpty(true);
    Resync(false);
  } else {
    beginCrack_ = endCrack_ = false;
    SetEmpty(false);
    Resync(false);
  }
  DoAfterScroll();
}

bool TTzDataSet::GetDeletedFlag() const {
  if (!Active() || activeBuffer_.empty() || Empty()) return false;
  return activeBuffer_[0] != 0;
}

void TTzDataSet::SetDeletedFlag(bool value) {
  if (value == GetDeletedFlag()) return;
  if (value) {
    if (!IsEmpty()) Delete();
    return;
  }
  if (State() == DataSetState::Insert || State() == DataSetState::SetKey) {
    Cancel();
    return;
  }
  CheckBrowseMode();
  DoBeforeRestore();
  try {
    SyncToActive();
  } catch (const ETzError& e) {
    // Nothing written yet: told so.
    throw ETzError(std::string(e.what()) + "\r\n" + "Die Löschmarke bleibt."_ansi);
  }
  s_RestoreWithLock();
  SetState(DataSetState::Browse);
  Resync(false);
  DoAfterRestore();
}

void TTzDataSet::SaveActiveBuffer() {
  saved_ = activeBuffer_;
  if (!SelectWorkArea("SaveActiveBuffer")) return;
  activeBuffer_.assign(bufferSize_, 0);
  WorkArea* a = Area();
  if (a->isVirtual) {
    CopyEngineToBuffer(activeBuffer_.data());
  } else {
    // A key is asked for the record as stored (an index build reads the
    // file without the engine's record buffer).
    std::vector<std::uint8_t> fields(a->recordBufferSize, 0);
    UnpackRecordData(*a, fields.data());
    CopyFieldBuffer(fields.data(), activeBuffer_.data());
  }
  inCalc_ = false;
}

void TTzDataSet::RestoreActiveBuffer() { activeBuffer_ = saved_; }

void TTzDataSet::WriteActiveBufferToEngine() {
  if (State() != DataSetState::Edit && State() != DataSetState::Insert) Edit();
  if (!SelectWorkArea("WriteActiveBufferToEngine")) return;
  CopyBufferToEngine(activeBuffer_.data(), 0);
}

void TTzDataSet::DirectOpenClose(bool open) {
  if (!Active()) {
    TzError(1103, "DataSet must be active. " + Name());
    return;
  }
  (void)open;  // The table always stays open.
}

bool TTzDataSet::IsTableEmpty() const {
  if (area_ == 0) return true;
  return const_cast<TTzDataSet*>(this)->s_IsEmptyDbf();
}

void TTzDataSet::Post() {
  const DataSetState s = State();
  if (s != DataSetState::Edit && s != DataSetState::Insert && s != DataSetState::SetKey) return;
  Engine().recordWritten = false;
  postedBeforeFailure_ = 0;
  try {
    TTzPrimDataset::Post();
  } catch (const ETzError&) {
    // A write the engine could not finish leaves no half-open edit: the
    // record shows the file again; the failure's code stays for the caller.
    // An edit kept for another try stays as typed.
    const std::uint16_t code = TzCurrentError();
    // A new record in the table (the last one: appended under the lock) is
    // no new record left to try again.
    if (s == DataSetState::Insert && Engine().recordWritten && Area() != nullptr)
      postedBeforeFailure_ = Area()->recordCount;
    // An edit that reached the table is no edit left to try again.
    if (keepEditOnFailure && State() == DataSetState::Edit && !Engine().recordWritten) throw;
    try {
      if (State() == DataSetState::Edit || State() == DataSetState::Insert) Cancel();
    } catch (...) {
      SetState(DataSetState::Browse);
    }
    SetTzCurrentError(code);
    throw;
  }
  if (s_IsEmptyDbf()) ResyncFromEngine();
}

std::string TTzDataSet::AppendedText(std::int32_t n) {
  if (n <= 0) return "Es wurde kein Datensatz angehängt."_ansi;
  if (n == 1) return "1 Datensatz angehängt, die übrigen nicht."_ansi;
  return std::to_string(n) + " Datensätze angehängt, die übrigen nicht."_ansi;
}

std::string TTzDataSet::IndexBehindText(std::int32_t n) {
  const std::string behind = "der Index ist nicht nachgeführt."_ansi;
  if (n == 1) return "Der Datensatz ist angehängt; "_ansi + behind;
  return AppendedText(n) + " Der letzte ist im Index nicht nachgeführt."_ansi;
}

std::exception_ptr TTzDataSet::AsWriteFailure(std::string_view consequence, std::int32_t appended, bool told) const {
  try {
    throw;
  } catch (const ETzWriteError&) {
    return std::current_exception();
  } catch (const ETzError& e) {
    const WriteFailure w = LastWriteFailure();
    const std::uint16_t code = TzCurrentError();
    std::string reason = WriteFailureReason(w.err, code);
    // Any other failure is told with what became of the action too.
    if (reason.empty() && (told || !consequence.empty()))
      return std::make_exception_ptr(ETzError(std::string(e.what()) + "\r\n" + std::string(consequence)));
    if (reason.empty()) return std::current_exception();
    const WorkArea* a = Area();
    std::string file = !w.file.empty() ? w.file : a != nullptr ? a->fileName : dbfFileName_;
    return std::make_exception_ptr(
        ETzWriteError(code, std::move(reason), std::move(file), std::string(consequence), appended));
  } catch (...) {
    return std::current_exception();
  }
}

// ---------------------------------------------------------------- TTzLockScope

TTzLockScope::TTzLockScope(const TTzDataSet& ds) : area_(ds.WorkAreaNumber()) {
  ClearWriteFailure();
  const WorkArea* a = area_ > 0 ? AreaAt(area_) : nullptr;
  if (a == nullptr) {
    done_ = true;
    return;
  }
  lockState_ = a->lockState;
  records_ = a->recordLocks;
  if (const MemoFileRec* m = MemoFileOf(area_)) memoLocked_ = m->locked;
}

void TTzLockScope::Release() noexcept {
  if (done_) return;
  done_ = true;
  WorkArea* a = AreaAt(area_);
  if (a == nullptr) return;
  // What the action reported stays for its caller.
  TzEngine& e = Engine();
  const std::uint16_t current = e.currentError, last = e.lastError;
  std::string text = e.lastErrorText;
  const int selected = CurrentArea();
  try {
    SelectArea(area_);
    if (lockState_ == kLockNone) {
      UnlockArea(*a);
    } else if (lockState_ == kLockRecords) {
      const std::vector<std::int32_t> now = a->recordLocks;
      for (const std::int32_t n : now)
        if (std::find(records_.begin(), records_.end(), n) == records_.end()) UnlockRec(n);
    }
    if (!memoLocked_) {
      if (const MemoFileRec* m = MemoFileOf(area_); m != nullptr && m->locked) UnlockMemofile();
    }
  } catch (...) {
    // An unlock the system refused: nothing more can be given back.
  }
  SelectArea(selected);
  e.currentError = current;
  e.lastError = last;
  e.lastErrorText = std::move(text);
}

void TTzDataSet::InternalCancel() {
  std::fill(activeBuffer_.begin(), activeBuffer_.end(), 0);
  setFields_.clear();
  editBase_.clear();
}

void TTzDataSet::InternalEdit() {
  editBase_.clear();
  TTzPrimDataset::InternalEdit();
  // Read afresh by the step above (a shared table is read as it is now).
  const WorkArea* a = area_ != 0 ? Area() : nullptr;
  if (a != nullptr && !a->isVirtual && a->recordNumber >= 1 && a->recordNumber <= a->recordCount &&
      a->stored.size() == a->recordLength)
    editBase_ = a->stored;
}

void TTzDataSet::DoAfterCancel() { TTzPrimDataset::DoAfterCancel(); }
void TTzDataSet::DoAfterScroll() { TTzPrimDataset::DoAfterScroll(); }

bool TTzDataSet::ReadRecordAt(std::int32_t n, std::vector<std::uint8_t>& buffer) {
  if (!SelectWorkArea("ReadRecordAt")) return false;
  WorkArea* a = Area();
  if (n < 1 || n > a->recordCount) return false;
  const std::int32_t here = a->recordNumber;
  const bool eof = a->eof, bof = a->bof;
  // The engine's record buffer may hold an edit in progress: it is kept, and
  // the engine goes back to its record even when the read fails.
  CompleteRecordBuffer(*a);
  std::vector<std::uint8_t> engineCopy(a->recordBuffer, a->recordBuffer + a->recordBufferSize);
  auto restore = [&] {
    const bool old = SetTzErrorSwitch(false);
    if (here >= 1 && here <= a->recordCount) GetDbfRecord(*a, here);
    SetTzErrorSwitch(old);
    a->recordNumber = here;
    a->eof = eof;
    a->bof = bof;
    std::copy(engineCopy.begin(), engineCopy.end(), a->recordBuffer);
    a->undecoded = false;
  };
  // A failure told before (its code kept for its caller) is not this read's.
  const std::uint16_t pending = TzCurrentError();
  SetTzCurrentError(0);
  bool ok = false;
  try {
    ReadRecord(*a, n);
    ok = TzCurrentError() == 0;
    if (ok) {
      buffer.assign(bufferSize_, 0);
      CopyEngineToBuffer(buffer.data());
      Store(buffer.data() + infoOffset_, n);
      Store(buffer.data() + bookmarkOffset_, n);
    }
  } catch (...) {
    restore();
    throw;
  }
  restore();
  if (ok) SetTzCurrentError(pending);
  return ok;
}

// ---------------------------------------------------------------- TTzCDataSet

TTzCDataSet::TTzCDataSet(std::string name) : TTzDataSet(std::move(name)) {}

void TTzCDataSet::DoAfterCancel() {
  SyncEngineRecord();
  TTzDataSet::DoAfterCancel();
}

void TTzCDataSet::DoAfterScroll() {
  SyncEngineRecord();
  TTzDataSet::DoAfterScroll();
}

bool TTzCDataSet::TakeAppendLock() {
  WorkArea* a = Area();
  if (a == nullptr || a->exclusive || a->isVirtual || !Engine().sharedMode || a->lockState == kLockFile ||
      a->lockState == kLockAppend)
    return false;
  return zeb::xbase::ALock();
}

void TTzCDataSet::AppendRec() {
  if (!SelectWorkArea("AppendRec")) return;
  const std::int32_t remembered = GetRecNo();
  std::exception_ptr failure;
  {
    // A shared table takes new records only under the append lock; it is
    // given back however the append ends.
    const TTzLockScope scope(*this);
    try {
      TakeAppendLock();
      // The engine appends its record buffer: a blank one, stored blank.
      ClearRecord();
      const BlankAppend blank(*Area());
      const std::int32_t before = zeb::xbase::RecCount();
      zeb::xbase::Append();
      AppendedOwn(before);
    } catch (...) {
      failure = Engine().recordWritten ? AsWriteFailure(IndexBehindText(1), 1, true)
                                       : AsWriteFailure(AppendedText(0), 0);
    }
  }
  if (failure) {
    AfterFailedAppend(remembered);
    std::rethrow_exception(failure);
  }
  SKIP(0);
  SetModified();
  ResyncFromEngine();
}

void TTzCDataSet::BackOnRecord(std::int32_t remembered) {
  if (remembered >= 1 && remembered <= zeb::xbase::RecCount()) {
    SafeGo(remembered);
    ResyncFromEngine();
  } else {
    Last();
  }
  SetModified();
}

void TTzCDataSet::AfterFailedAppend(std::int32_t remembered) {
  const std::uint16_t code = TzCurrentError();
  try {
    SelectWorkArea("AfterFailedAppend");
    BackOnRecord(remembered);
  } catch (...) {
    // The dataset shows what it can; the append's failure is reported.
  }
  SetTzCurrentError(code);
}

void TTzCDataSet::GuardedAppend(std::int32_t remembered, const std::function<void()>& append) {
  std::exception_ptr failure;
  {
    const TTzLockScope scope(*this);
    std::int32_t before = -1;
    try {
      TakeAppendLock();
      before = zeb::xbase::RecCount();
      append();
      AppendedOwn(before);
    } catch (...) {
      const WorkArea* a = Area();
      const std::int32_t appended = a != nullptr && before >= 0 ? a->recordCount - before : 0;
      failure = Engine().recordWritten ? AsWriteFailure(IndexBehindText(appended), appended, true)
                                       : AsWriteFailure(AppendedText(appended), appended);
    }
  }
  if (failure) {
    AfterFailedAppend(remembered);
    std::rethrow_exception(failure);
  }
}

void TTzCDataSet::AppendFrom(std::string_view fileName) {
  if (!SelectWorkArea("AppendFrom")) return;
  SyncToActive();
  const std::int32_t remembered = RecNo();
  GuardedAppend(remembered, [fileName] { zeb::xbase::AppendFrom(fileName); });
  SelectWorkArea("AppendFrom");
  BackOnRecord(remembered);
}

bool TTzCDataSet::Pack() {
  if (!SelectWorkArea("Pack")) return false;
  bool r = false;
  std::exception_ptr failure;
  {
    const TTzLockScope scope(*this);
    const bool indexed = IndexActive();
    try {
      r = zeb::xbase::Pack();
    } catch (...) {
      // Told which: the table (with its memo file) packed whole, or as it
      // was, or (when neither could be had) the memo file packed alone.
      const WorkArea* a = Area();
      const bool memo = a != nullptr && a->hasMemo;
      const TzEngine& e = Engine();
      std::string consequence;
      if (e.packCommitted)
        consequence = indexed ? std::string("Die Tabelle ist gepackt; ihr Index ist nicht neu aufgebaut."_ansi)
                              : std::string("Die Tabelle ist gepackt."_ansi);
      else if (e.packMemoOnly)
        consequence = std::string("Die Tabelle ist nicht gepackt, ihre Memodatei aber: sie passt nicht mehr zur "
                                  "Tabelle. Die Memodatei, zu der die Tabelle gehört, steht unter "_ansi) +
                      e.packFormerMemo + ".";
      else
        consequence = memo
                          ? std::string("Pack ist nicht beendet; die Tabelle und ihre Memodatei sind unverändert."_ansi)
                          : std::string("Pack ist nicht beendet; die Tabelle ist unverändert."_ansi);
      failure = AsWriteFailure(consequence, -1, e.packCommitted || e.packMemoOnly);
    }
  }
  if (failure) {
    const std::uint16_t code = TzCurrentError();
    try {
      SetModified();
      ResyncFromEngine();
    } catch (...) {
      // The pack's failure is the one reported.
    }
    SetTzCurrentError(code);
    std::rethrow_exception(failure);
  }
  IndexBuilt();
  SetModified();
  ResyncFromEngine();
  return r;
}

bool TTzCDataSet::Deleted() {
  if (!SelectWorkArea("Deleted")) return false;
  SyncToActive();
  return zeb::xbase::Deleted();
}

std::string TTzCDataSet::Field(int n) {
  if (!SelectWorkArea("TField")) return {};
  return zeb::xbase::Field(n).substr(0, 10);
}

int TTzCDataSet::FieldCount() {
  if (!SelectWorkArea("FieldCount")) return 0;
  return zeb::xbase::FieldCount();
}

int TTzCDataSet::FieldLen(int n) {
  if (!SelectWorkArea("FieldLen")) return 0;
  return zeb::xbase::FieldLen(n);
}

void TTzCDataSet::Go(std::int32_t n) {
  if (!SelectWorkArea("Go")) return;
  WithOwnIndex([n] { GO(n); });
  ResyncFromEngine();
}

int TTzCDataSet::Search(std::string_view key, std::uint8_t option1, std::uint8_t option2) {
  FollowOtherPrograms();
  if (!SelectWorkArea("Search")) return 0;
  SyncToActive();
  int field = option1;
  WithOwnIndex([&] {
    field = option1;
    zeb::xbase::Search(key, field, option2 != 0);
  });
  if (!dEOF() && !dBOF()) ResyncFromEngine();
  return field;
}

std::string TTzCDataSet::SField(int n) {
  if (!SelectWorkArea("SField")) return {};
  // Reading the fields of a record one by one moves the engine once: a
  // record it already stands on is not read again.
  const WorkArea* a = Area();
  const Bookmark b = Empty() ? Bookmark() : BufferBookmark(activeBuffer_);
  const bool there = a != nullptr && b && GetBookmarkFlag(activeBuffer_) == BookmarkFlag::Current &&
                     a->recordNumber == *b && !a->eof && !a->bof;
  if (!there) SyncToActive();
  return FieldAsString(n);
}

void TTzCDataSet::Skip(std::int32_t count) {
  if (count != 0) {
    MoveBy(count);
    return;
  }
  if (!SelectWorkArea("Skip")) return;
  SyncToActive();
  SKIP(0);
  ResyncFromEngine();
}

zeb::xbase::TField& TTzCDataSet::ByName(std::string_view name) { return FieldByName(name.substr(0, 10)); }

void TTzCDataSet::EnterEdit() {
  const DataSetState s = State();
  if (s != DataSetState::Edit && s != DataSetState::Insert && s != DataSetState::SetKey) Edit();
}

bool TTzCDataSet::GetBoolByName(std::string_view name) { return ByName(name).AsBoolean(); }

void TTzCDataSet::SetStrByName(std::string_view name, std::string_view text) {
  zeb::xbase::TField& f = ByName(name);
  EnterEdit();
  f.SetAsString(text);
}

void TTzCDataSet::SetBoolByName(std::string_view name, bool value) {
  zeb::xbase::TField& f = ByName(name);
  EnterEdit();
  f.SetAsBoolean(value);
}

void TTzCDataSet::SetIntByName(std::string_view name, std::int32_t value) {
  zeb::xbase::TField& f = ByName(name);
  EnterEdit();
  f.SetAsInteger(value);
}

void TTzCDataSet::SetFloatByName(std::string_view name, const Real48& value) {
  zeb::xbase::TField& f = ByName(name);
  EnterEdit();
  f.SetAsFloat(static_cast<double>(Real48ToReal(value)));
}

void TTzCDataSet::ResyncOrLast() {
  if (!SelectWorkArea("ResyncOrLast")) return;
  if (!dEOF())
    ResyncFromEngine();
  else
    Last();
}

}  // namespace zeb::xbase
