#include "xbase/dataset/dataset_base.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "xbase/core/ansi_literal.h"
#include "xbase/core/errors.h"
#include "xbase/core/text_utils.h"
#include "xbase/dataset/field_values.h"

namespace zeb::xbase {

void DatabaseError(const std::string& message) { throw EDatasetError(message); }

namespace {

std::string NumberText(double v) { return ShortNumberText(v); }

}  // namespace

// ---------------------------------------------------------------- TField

TField::TField(DataSet& owner, std::string name, TFieldType type, int size, int fieldNo)
    : owner_(owner), name_(std::move(name)), type_(type), size_(size), fieldNo_(fieldNo) {}

int TField::DataSize() const {
  switch (type_) {
    case TFieldType::String: return size_ + 1;
    case TFieldType::Integer: return 4;
    case TFieldType::LargeInt: return 8;
    case TFieldType::Float: return 8;
    case TFieldType::Boolean: return 2;
    case TFieldType::Date: return 4;
    case TFieldType::Memo: return 4;
    case TFieldType::Unknown: return 0;
  }
  return 0;
}

bool TField::CheckSize(int size) const {
  if (type_ == TFieldType::String) return size >= 1 && size <= 255;
  return size == 0;
}

bool TField::GetNative(void* buffer) const { return owner_.GetFieldData(*this, buffer); }

void TField::SetNative(const void* buffer) { owner_.SetFieldData(*this, buffer); }

bool TField::IsNull() const { return !owner_.GetFieldData(*this, nullptr); }

FieldValue TField::Value() const {
  std::vector<char> buf(static_cast<std::size_t>(std::max(DataSize(), 8)) + 1, 0);
  if (!GetNative(buf.data())) return {};
  switch (type_) {
    case TFieldType::String: return std::string(buf.data());
    case TFieldType::Integer: {
      std::int32_t v;
      std::memcpy(&v, buf.data(), 4);
      return std::int64_t{v};
    }
    case TFieldType::Memo: {
      std::int32_t v;
      std::memcpy(&v, buf.data(), 4);
      return std::int64_t{v};
    }
    case TFieldType::LargeInt: {
      std::int64_t v;
      std::memcpy(&v, buf.data(), 8);
      return v;
    }
    case TFieldType::Float: {
      double v;
      std::memcpy(&v, buf.data(), 8);
      return v;
    }
    case TFieldType::Boolean: {
      std::uint16_t v;
      std::memcpy(&v, buf.data(), 2);
      return v != 0;
    }
    case TFieldType::Date: {
      std::int32_t v;
      std::memcpy(&v, buf.data(), 4);
      return static_cast<double>(v - kDateDelta);
    }
    case TFieldType::Unknown: break;
  }
  return {};
}

std::string TField::AsString() const {
  FieldValue v = Value();
  if (std::holds_alternative<std::monostate>(v)) return {};
  switch (type_) {
    case TFieldType::String: return std::get<std::string>(v);
    case TFieldType::Integer:
    case TFieldType::LargeInt:
    case TFieldType::Memo: return std::to_string(std::get<std::int64_t>(v));
    case TFieldType::Float: return NumberText(std::get<double>(v));
    case TFieldType::Boolean: {
      const bool b = std::get<bool>(v);
      auto semi = displayValues.find(';');
      if (!displayValues.empty() && semi != std::string::npos)
        return b ? displayValues.substr(0, semi) : displayValues.substr(semi + 1);
      return b ? "True" : "False";
    }
    case TFieldType::Date: return DateTimeToText(std::get<double>(v));
    case TFieldType::Unknown: break;
  }
  return {};
}

std::string TField::DisplayText() const {
  if (type_ == TFieldType::Memo) return IsNull() || AsInteger() == 0 ? "(memo)" : "(MEMO)";
  return AsString();
}

std::int64_t TField::AsInteger() const {
  FieldValue v = Value();
  if (auto* i = std::get_if<std::int64_t>(&v)) return *i;
  if (auto* d = std::get_if<double>(&v)) {
    if (!std::isfinite(*d) || std::fabs(*d) > 9.2e18) return 0;
    return static_cast<std::int64_t>(std::llround(*d));
  }
  if (auto* b = std::get_if<bool>(&v)) return *b ? 1 : 0;
  if (auto* s = std::get_if<std::string>(&v)) {
    try {
      return std::stoll(*s);
    } catch (const std::exception&) {
      DatabaseError("'" + *s + "' ist keine gültige ganze Zahl"_ansi);
    }
  }
  return 0;
}

double TField::AsFloat() const {
  FieldValue v = Value();
  if (auto* i = std::get_if<std::int64_t>(&v)) return static_cast<double>(*i);
  if (auto* d = std::get_if<double>(&v)) return *d;
  if (auto* b = std::get_if<bool>(&v)) return *b ? 1 : 0;
  if (auto* s = std::get_if<std::string>(&v)) {
    double x = 0;
    if (!ReadNumberText(*s, x)) DatabaseError("'" + *s + "' ist keine gültige Zahl"_ansi);
    return x;
  }
  return 0;
}

bool TField::AsBoolean() const {
  FieldValue v = Value();
  if (auto* b = std::get_if<bool>(&v)) return *b;
  if (auto* i = std::get_if<std::int64_t>(&v)) return *i != 0;
  if (auto* s = std::get_if<std::string>(&v)) return !s->empty() && (std::toupper(static_cast<unsigned char>((*s)[0])) == 'T' || std::toupper(static_cast<unsigned char>((*s)[0])) == 'Y');
  return false;
}

double TField::AsDateTime() const {
  FieldValue v = Value();
  if (auto* d = std::get_if<double>(&v)) return *d;
  return 0;
}

void TField::SetText(std::string_view text) {
  switch (type_) {
    case TFieldType::String: {
      std::string s(text.substr(0, static_cast<std::size_t>(size_)));
      s.push_back('\0');
      SetNative(s.data());
      return;
    }
    case TFieldType::Integer:
    case TFieldType::LargeInt:
    case TFieldType::Memo: {
      std::string t = AllTrimText(text);
      if (t.empty()) return Clear();
      std::size_t used = 0;
      std::int64_t v = 0;
      try {
        v = std::stoll(t, &used);
      } catch (const std::exception&) {
        used = 0;
      }
      if (used != t.size()) DatabaseError("'" + t + "' ist keine gültige ganze Zahl"_ansi);
      return SetAsInteger(v);
    }
    case TFieldType::Float: {
      std::string t = AllTrimText(text);
      if (t.empty()) return Clear();
      double v = 0;
      if (!ReadNumberText(t, v)) DatabaseError("'" + t + "' ist keine gültige Zahl"_ansi);
      return SetAsFloat(v);
    }
    case TFieldType::Boolean: {
      std::string t = AllTrimText(text);
      if (t.empty()) return Clear();
      auto semi = displayValues.find(';');
      if (!displayValues.empty() && semi != std::string::npos) {
        if (EqualNoCase(t, displayValues.substr(0, semi))) return SetAsBoolean(true);
        if (EqualNoCase(t, displayValues.substr(semi + 1))) return SetAsBoolean(false);
      }
      const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(t[0])));
      if (c == 'T' || c == 'Y' || c == 'J' || c == 'W') return SetAsBoolean(true);
      if (c == 'F' || c == 'N') return SetAsBoolean(false);
      DatabaseError("'" + t + "' ist kein gültiger Wahrheitswert (J/N)"_ansi);
    }
    case TFieldType::Date: {
      std::string t = AllTrimText(text);
      if (t.empty()) return Clear();
      return SetAsDateTime(TextToDateTime(t));
    }
    case TFieldType::Unknown: return;
  }
}

void TField::SetAsInteger(std::int64_t v) {
  switch (type_) {
    case TFieldType::Integer:
    case TFieldType::Memo: {
      if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
        DatabaseError(std::to_string(v) + " is not a valid value for field '" + name_ + "'");
      std::int32_t x = static_cast<std::int32_t>(v);
      return SetNative(&x);
    }
    case TFieldType::LargeInt: return SetNative(&v);
    case TFieldType::Float: return SetAsFloat(static_cast<double>(v));
    case TFieldType::Boolean: return SetAsBoolean(v != 0);
    default: return SetText(std::to_string(v));
  }
}

void TField::SetAsFloat(double v) {
  if (!std::isfinite(v)) DatabaseError("Invalid floating point value for field '" + name_ + "'");
  switch (type_) {
    case TFieldType::Float: return SetNative(&v);
    case TFieldType::Integer:
    case TFieldType::LargeInt:
    case TFieldType::Memo:
      if (std::fabs(v) > 9.2e18) DatabaseError(NumberText(v) + " is not a valid value for field '" + name_ + "'");
      return SetAsInteger(std::llround(v));
    case TFieldType::Date: return SetAsDateTime(v);
    default: return SetText(NumberText(v));
  }
}

void TField::SetAsBoolean(bool v) {
  if (type_ != TFieldType::Boolean) return SetAsInteger(v ? 1 : 0);
  std::uint16_t x = v ? 1 : 0;
  SetNative(&x);
}

void TField::SetAsDateTime(double v) {
  if (type_ != TFieldType::Date) return SetAsFloat(v);
  if (!std::isfinite(v) || v < -693593 || v > 2958465) DatabaseError("Invalid date for field '" + name_ + "'");
  std::int32_t day = static_cast<std::int32_t>(std::floor(v)) + kDateDelta;
  SetNative(&day);
}

void TField::SetValue(const FieldValue& v) {
  if (std::holds_alternative<std::monostate>(v)) return Clear();
  if (auto* s = std::get_if<std::string>(&v)) return SetText(*s);
  if (auto* d = std::get_if<double>(&v)) return type_ == TFieldType::Date ? SetAsDateTime(*d) : SetAsFloat(*d);
  if (auto* i = std::get_if<std::int64_t>(&v)) return SetAsInteger(*i);
  if (auto* b = std::get_if<bool>(&v)) return SetAsBoolean(*b);
}

void TField::Clear() { SetNative(nullptr); }

// ---------------------------------------------------------------- DataSet

DataSet::DataSet(std::string name) : name_(std::move(name)) {}

DataSet::~DataSet() = default;

bool DataSet::IsEmpty() const { return !Active() || empty_; }

void DataSet::CheckActive() const {
  if (!Active()) DatabaseError("Cannot perform this operation on a closed dataset");
}

void DataSet::SetState(DataSetState s) { state_ = s; }

void DataSet::DataEvent(int kind) {
  if (dataEvent) dataEvent(*this, kind);
}

void DataSet::ClearBuffers() {
  std::fill(activeBuffer_.begin(), activeBuffer_.end(), 0);
  empty_ = true;
}

int DataSet::BlobFieldCount() const {
  int n = 0;
  for (const auto& f : fields_)
    if (f->IsBlob() && !f->Calculated()) ++n;
  return n;
}

void DataSet::AddDataField(std::unique_ptr<TField> f) {
  fields_.push_back(std::move(f));
  ++dataFieldCount_;
}

TField& DataSet::AddCalcField(std::string name, TFieldType type, int size) {
  if (Active()) DatabaseError("Cannot perform this operation on an open dataset");
  auto f = std::make_unique<TField>(*this, std::move(name), type, size, 0);
  f->calcOffset = calcFieldsSize_;
  calcFieldsSize_ += 1 + std::max(f->DataSize(), 8);
  fields_.push_back(std::move(f));
  return *fields_.back();
}

void DataSet::DestroyFields() {
  std::vector<std::unique_ptr<TField>> keep;
  for (auto& f : fields_)
    if (f->Calculated()) keep.push_back(std::move(f));
  fields_ = std::move(keep);
  dataFieldCount_ = 0;
}

TField* DataSet::FindField(std::string_view name) const {
  for (const auto& f : fields_)
    if (EqualNoCase(f->Name(), name)) return f.get();
  return nullptr;
}

TField& DataSet::FieldByName(std::string_view name) const {
  TField* f = FindField(name);
  if (f == nullptr) DatabaseError(name_ + ": Field '" + std::string(name) + "' not found");
  return *f;
}

void DataSet::SetActive(bool on) {
  if (on == Active()) return;
  if (on) {
    Fire(beforeOpen);
    try {
      OpenCursor();
      activeBuffer_.assign(RecordBufferSize(), 0);
      calcBuffer_.assign(RecordBufferSize(), 0);
      SetState(DataSetState::Browse);
      bof_ = true;
      eof_ = true;
      empty_ = true;
      if (FetchFrom(GetMode::Next)) {
        empty_ = false;
        eof_ = false;
      }
    } catch (...) {
      if (IsCursorOpen()) CloseCursor();
      DestroyFields();
      SetState(DataSetState::Inactive);
      throw;
    }
    DataEvent(kDataSetChange);
    DoAfterOpen();
  } else {
    Fire(beforeClose);
    SetState(DataSetState::Inactive);
    CloseCursor();
    DestroyFields();
    activeBuffer_.clear();
    calcBuffer_.clear();
    bof_ = eof_ = empty_ = true;
    DataEvent(kDataSetChange);
    Fire(afterClose);
  }
}

void DataSet::DoAfterOpen() { Fire(afterOpen); }
void DataSet::DoAfterCancel() { Fire(afterCancel); }
void DataSet::DoAfterScroll() { Fire(afterScroll); }
void DataSet::DoBeforeScroll() { Fire(beforeScroll); }

void DataSet::DoOnNewRecord() { Fire(onNewRecord); }

void DataSet::CalculateFields(std::vector<std::uint8_t>& buffer) {
  if (calcFieldsSize_ == 0) return;
  ClearCalcFields(buffer);
  if (!onCalcFields) return;
  const DataSetState saved = state_;
  std::swap(calcBuffer_, buffer);
  inCalc_ = true;
  state_ = DataSetState::CalcFields;
  try {
    onCalcFields(*this);
  } catch (...) {
    state_ = saved;
    inCalc_ = false;
    std::swap(calcBuffer_, buffer);
    throw;
  }
  state_ = saved;
  inCalc_ = false;
  std::swap(calcBuffer_, buffer);
}

bool DataSet::FetchFrom(GetMode mode) {
  std::vector<std::uint8_t> buf(RecordBufferSize(), 0);
  if (GetRecord(buf, mode, true) != GetResult::Ok) return false;
  activeBuffer_ = std::move(buf);
  return true;
}

void DataSet::CheckBrowseMode() {
  CheckActive();
  if (state_ == DataSetState::Edit || state_ == DataSetState::Insert) {
    Post();
  } else if (state_ == DataSetState::SetKey) {
    SetState(DataSetState::Browse);
  }
}

void DataSet::UpdateCursorPos() {
  if (!empty_) InternalSetToRecord(activeBuffer_);
}

void DataSet::First() {
  CheckBrowseMode();
  DoBeforeScroll();
  InternalFirst();
  empty_ = !FetchFrom(GetMode::Next);
  if (empty_) ClearBuffers();
  bof_ = true;
  eof_ = empty_;
  DataEvent(kDataSetChange);
  DoAfterScroll();
}

void DataSet::Last() {
  CheckBrowseMode();
  DoBeforeScroll();
  InternalLast();
  empty_ = !FetchFrom(GetMode::Prior);
  if (empty_) ClearBuffers();
  eof_ = true;
  bof_ = empty_;
  DataEvent(kDataSetChange);
  DoAfterScroll();
}

int DataSet::MoveBy(int distance) {
  CheckBrowseMode();
  int moved = 0;
  DoBeforeScroll();
  if (empty_) {
    bof_ = eof_ = true;
    return 0;
  }
  if ((distance > 0 && !eof_) || (distance < 0 && !bof_)) {
    bof_ = eof_ = false;
    UpdateCursorPos();
    const int step = distance > 0 ? 1 : -1;
    for (int left = distance * step; left > 0; --left) {
      if (!FetchFrom(step > 0 ? GetMode::Next : GetMode::Prior)) {
        if (step > 0)
          eof_ = true;
        else
          bof_ = true;
        // The cursor goes back to the active record.
        UpdateCursorPos();
        break;
      }
      moved += step;
    }
    if (moved != 0) {
      DataEvent(kDataSetScroll);
      DoAfterScroll();
    }
  }
  return moved;
}

void DataSet::Next() { MoveBy(1); }
void DataSet::Prior() { MoveBy(-1); }

void DataSet::Refresh() {
  CheckBrowseMode();
  UpdateCursorPos();
  InternalRefresh();
  Resync(false);
}

Bookmark DataSet::GetBookmark() const {
  if (!Active() || empty_) return std::nullopt;
  return BufferBookmark(activeBuffer_);
}

void DataSet::GotoBookmark(const Bookmark& b) {
  if (!b) return;
  CheckBrowseMode();
  DoBeforeScroll();
  InternalGotoBookmark(*b);
  Resync(true);
  DoAfterScroll();
}

void DataSet::Resync(bool exact) {
  std::vector<std::uint8_t> buf(RecordBufferSize(), 0);
  if (GetRecord(buf, GetMode::Current, false) == GetResult::Ok) {
    activeBuffer_ = std::move(buf);
    empty_ = false;
  } else {
    if (exact) DatabaseError("Record not found");
    if (GetRecord(buf, GetMode::Next, false) == GetResult::Ok ||
        GetRecord(buf, GetMode::Prior, false) == GetResult::Ok) {
      activeBuffer_ = std::move(buf);
      empty_ = false;
    } else {
      ClearBuffers();
      bof_ = eof_ = true;
    }
  }
  if (!empty_) bof_ = eof_ = false;
  DataEvent(kDataSetChange);
}

bool DataSet::Locate(std::string_view keyFields, const std::vector<FieldValue>& values, unsigned options) {
  CheckBrowseMode();
  // Sequential search from the first record, comparing the display values.
  std::vector<TField*> keys;
  std::string names(keyFields);
  std::size_t start = 0;
  while (start <= names.size()) {
    std::size_t semi = names.find(';', start);
    std::string n = AllTrimText(names.substr(start, semi == std::string::npos ? std::string::npos : semi - start));
    if (!n.empty()) keys.push_back(&FieldByName(n));
    if (semi == std::string::npos) break;
    start = semi + 1;
  }
  if (keys.size() != values.size() || keys.empty()) return false;
  const Bookmark here = GetBookmark();
  First();
  while (!eof_) {
    bool all = true;
    for (std::size_t i = 0; i < keys.size() && all; ++i) {
      std::string have = keys[i]->AsString();
      std::string want;
      if (auto* s = std::get_if<std::string>(&values[i]))
        want = *s;
      else if (auto* d = std::get_if<double>(&values[i]))
        want = keys[i]->Type() == TFieldType::Date ? DateTimeToText(*d) : NumberText(*d);
      else if (auto* n = std::get_if<std::int64_t>(&values[i]))
        want = std::to_string(*n);
      else if (auto* b = std::get_if<bool>(&values[i]))
        want = *b ? "True" : "False";
      if (options & kLoPartialKey) have = have.substr(0, want.size());
      all = (options & kLoCaseInsensitive) ? EqualNoCase(have, want) : have == want;
    }
    if (all) return true;
    Next();
  }
  if (here) GotoBookmark(here);
  return false;
}

FieldValue DataSet::Lookup(std::string_view keyFields, const std::vector<FieldValue>& values,
                           std::string_view resultFields) {
  const Bookmark here = GetBookmark();
  FieldValue result;
  if (Locate(keyFields, values, 0)) result = FieldByName(AllTrimText(resultFields)).Value();
  if (here) GotoBookmark(here);
  return result;
}

void DataSet::BeginInsert(bool atEnd) {
  CheckBrowseMode();
  if (!CanModify()) DatabaseError("Cannot modify a read-only dataset");
  Fire(beforeInsert);
  insertReturn_ = GetBookmark();
  if (atEnd)
    InternalLast();
  else
    UpdateCursorPos();
  InternalInitRecord(activeBuffer_);
  SetBookmarkFlag(activeBuffer_, BookmarkFlag::Inserted);
  SetState(DataSetState::Insert);
  try {
    DoOnNewRecord();
  } catch (...) {
    Cancel();
    throw;
  }
  modified_ = false;
  DataEvent(kDataSetChange);
  Fire(afterInsert);
}

void DataSet::Edit() {
  if (state_ == DataSetState::Edit || state_ == DataSetState::Insert) return;
  CheckBrowseMode();
  if (!CanModify()) DatabaseError("Cannot modify a read-only dataset");
  if (empty_) return Insert();
  Fire(beforeEdit);
  UpdateCursorPos();
  CheckOperation([this] { InternalEdit(); }, onEditError);
  SetState(DataSetState::Edit);
  modified_ = false;
  DataEvent(kRecordChange);
  Fire(afterEdit);
}

void DataSet::Post() {
  if (state_ != DataSetState::Edit && state_ != DataSetState::Insert) return;
  Fire(beforePost);
  try {
    CheckOperation([this] { InternalPost(); }, onPostError);
  } catch (const EAbort&) {
    return;
  }
  SetState(DataSetState::Browse);
  Resync(false);
  Fire(afterPost);
}

void DataSet::Cancel() {
  if (state_ != DataSetState::Edit && state_ != DataSetState::Insert && state_ != DataSetState::SetKey) return;
  Fire(beforeCancel);
  const bool wasInsert = state_ == DataSetState::Insert;
  InternalCancel();
  SetState(DataSetState::Browse);
  if (wasInsert) {
    empty_ = !insertReturn_.has_value();
    if (insertReturn_) {
      InternalGotoBookmark(*insertReturn_);
      std::vector<std::uint8_t> buf(RecordBufferSize(), 0);
      if (GetRecord(buf, GetMode::Current, false) == GetResult::Ok) activeBuffer_ = std::move(buf);
    }
    Resync(false);
  } else {
    // An edit given up leaves the cursor where it was.
    const bool bof = bof_, eof = eof_;
    Resync(false);
    if (!empty_) {
      bof_ = bof;
      eof_ = eof;
    }
  }
  DoAfterCancel();
}

void DataSet::Delete() {
  CheckActive();
  if (state_ == DataSetState::Insert) return Cancel();
  if (empty_) DatabaseError("Cannot perform this operation on an empty dataset");
  if (!CanModify()) DatabaseError("Cannot modify a read-only dataset");
  if (state_ == DataSetState::Edit) Cancel();
  Fire(beforeDelete);
  DoBeforeScroll();
  try {
    UpdateCursorPos();
  } catch (const ETzError& e) {
    // Nothing written yet: told so.
    throw ETzError(std::string(e.what()) + "\r\n" + "Die Löschmarke ist nicht gesetzt."_ansi);
  }
  try {
    CheckOperation([this] { InternalDelete(); }, onDeleteError);
  } catch (const EAbort&) {
    Resync(false);
    return;
  }
  SetState(DataSetState::Browse);
  Resync(false);
  Fire(afterDelete);
  DoAfterScroll();
}

void DataSet::CheckOperation(const std::function<void()>& op, const ErrorEvent& handler) {
  for (;;) {
    try {
      op();
      return;
    } catch (const std::exception& e) {
      DataAction action = DataAction::Fail;
      if (handler) handler(*this, e, action);
      if (action == DataAction::Fail) throw;
      if (action == DataAction::Abort) throw EDatasetError("Operation aborted");
    }
  }
}

}  // namespace zeb::xbase
