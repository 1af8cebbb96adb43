// A small dataset base: a cursor with states, one active record buffer plus
// a saved copy, bookmarks, typed fields and events. Subclasses supply the
// record protocol (GetRecord and the Internal* operations); views ask for
// records by bookmark, so there is no ring of buffers.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace zeb::xbase {

// The dataset's own failures (field not found, not editing, result codes).
class EDatasetError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
[[noreturn]] void DatabaseError(const std::string& message);
// A silent abort: the operation was given up after the user was told; the
// dataset keeps its state.
struct EAbort {};

enum class DataSetState { Inactive, Browse, Edit, Insert, SetKey, CalcFields, Filter, NewValue };
enum class TFieldType { Unknown, String, Integer, LargeInt, Float, Boolean, Date, Memo };
enum class GetResult { Ok, Bof, Eof, Error };
enum class GetMode { Current, Next, Prior };
enum class DataAction { Fail, Abort, Retry };
enum class BookmarkFlag : std::uint8_t { Current = 0, Bof = 1, Eof = 2, Inserted = 3 };
enum LocateOption : unsigned { kLoCaseInsensitive = 1, kLoPartialKey = 2 };

// A field value as the class library passes it around (Null: monostate).
using FieldValue = std::variant<std::monostate, std::string, double, std::int64_t, bool>;

// A bookmark: the table's record number (4 bytes); nullopt = missing.
using Bookmark = std::optional<std::int32_t>;

// Days since 1899-12-30; a date's native day number adds this.
constexpr std::int32_t kDateDelta = 693594;

class DataSet;

class TField {
 public:
  TField(DataSet& owner, std::string name, TFieldType type, int size, int fieldNo);
  virtual ~TField() = default;
  TField(const TField&) = delete;
  TField& operator=(const TField&) = delete;

  DataSet& Owner() const { return owner_; }
  const std::string& Name() const { return name_; }
  TFieldType Type() const { return type_; }
  int Size() const { return size_; }
  int FieldNo() const { return fieldNo_; }  // < 1 for a calculated field
  bool Calculated() const { return fieldNo_ < 1; }
  bool IsBlob() const { return type_ == TFieldType::Memo; }
  bool readOnly = false;
  // Logical fields: "true text;false text".
  std::string displayValues;
  std::string editMask;
  // Byte offset of a calculated field's has-value byte in the calculated area.
  int calcOffset = 0;

  bool IsNull() const;
  FieldValue Value() const;
  std::string AsString() const;
  std::int64_t AsInteger() const;
  double AsFloat() const;
  bool AsBoolean() const;
  double AsDateTime() const;
  // Display text (what a grid shows).
  virtual std::string DisplayText() const;
  void SetAsString(std::string_view text) { SetText(text); }
  virtual void SetText(std::string_view text);
  void SetAsInteger(std::int64_t v);
  void SetAsFloat(double v);
  void SetAsBoolean(bool v);
  void SetAsDateTime(double v);
  void SetValue(const FieldValue& v);
  void Clear();
  // Native value size (bytes of the value passed to Get/SetFieldData).
  int DataSize() const;
  // Size check of the field class (true: accepted).
  virtual bool CheckSize(int size) const;

 protected:
  bool GetNative(void* buffer) const;
  void SetNative(const void* buffer);

 private:
  DataSet& owner_;
  std::string name_;
  TFieldType type_;
  int size_;
  int fieldNo_;
};

// The dataset base. Navigation follows the class library's rules: First sets
// BOF, Last sets EOF, Next on the last record sets EOF and keeps the record.
class DataSet {
 public:
  using NotifyEvent = std::function<void(DataSet&)>;
  using ErrorEvent = std::function<void(DataSet&, const std::exception&, DataAction&)>;

  explicit DataSet(std::string name);
  virtual ~DataSet();
  DataSet(const DataSet&) = delete;
  DataSet& operator=(const DataSet&) = delete;

  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }
  DataSetState State() const { return state_; }
  bool Active() const { return state_ != DataSetState::Inactive; }
  void SetActive(bool on);
  void Open() { SetActive(true); }
  void Close() { SetActive(false); }
  bool Bof() const { return bof_; }
  bool Eof() const { return eof_; }
  bool IsEmpty() const;
  bool Modified() const { return modified_; }

  // --- navigation
  void First();
  void Last();
  void Next();
  void Prior();
  int MoveBy(int distance);
  void Refresh();
  virtual std::int32_t GetRecNo() const { return -1; }
  virtual void SetRecNo(std::int32_t n) { (void)n; }
  virtual std::int32_t GetRecordCount() { return -1; }
  Bookmark GetBookmark() const;
  void GotoBookmark(const Bookmark& b);
  virtual int CompareBookmarks(const Bookmark& a, const Bookmark& b) { (void)a; (void)b; return 0; }
  virtual bool BookmarkValid(const Bookmark& b) { (void)b; return false; }
  virtual bool Locate(std::string_view keyFields, const std::vector<FieldValue>& values, unsigned options);
  virtual FieldValue Lookup(std::string_view keyFields, const std::vector<FieldValue>& values,
                            std::string_view resultFields);

  // --- editing
  // Append starts the new record at the end, Insert at the current record.
  void Append() { BeginInsert(true); }
  void Insert() { BeginInsert(false); }
  void Edit();
  virtual void Post();
  void Cancel();
  void Delete();
  void CheckBrowseMode();
  virtual bool CanModify() const { return true; }

  // --- fields
  // The field objects (data and calculated fields).
  std::size_t FieldObjectCount() const { return fields_.size(); }
  TField& FieldAt(std::size_t i) const { return *fields_.at(i); }
  TField* FindField(std::string_view name) const;
  // TField-not-found error ("TField 'X' not found").
  TField& FieldByName(std::string_view name) const;
  // A calculated field (added before opening).
  TField& AddCalcField(std::string name, TFieldType type, int size);

  // --- record protocol used by the fields
  virtual bool GetFieldData(const TField& f, void* buffer) const = 0;
  virtual void SetFieldData(TField& f, const void* buffer) = 0;

  // --- events
  NotifyEvent beforeOpen, afterOpen, beforeClose, afterClose, beforeInsert, afterInsert, beforeEdit,
      afterEdit, beforePost, afterPost, beforeCancel, afterCancel, beforeDelete, afterDelete,
      beforeScroll, afterScroll, onCalcFields, onNewRecord;
  ErrorEvent onDeleteError, onEditError, onPostError;
  // Data change notification to views (record, layout, scroll).
  std::function<void(DataSet&, int kind)> dataEvent;
  enum DataEventKind { kRecordChange = 0, kDataSetChange = 1, kDataSetScroll = 2, kFieldChange = 3 };

 protected:
  // --- record protocol (subclasses)
  virtual void OpenCursor() = 0;
  virtual void CloseCursor() = 0;
  virtual bool IsCursorOpen() const = 0;
  virtual GetResult GetRecord(std::vector<std::uint8_t>& buffer, GetMode mode, bool doCheck) = 0;
  virtual void InternalFirst() = 0;
  virtual void InternalLast() = 0;
  virtual void InternalSetToRecord(const std::vector<std::uint8_t>& buffer) = 0;
  virtual void InternalGotoBookmark(std::int32_t bookmark) = 0;
  virtual void InternalInitRecord(std::vector<std::uint8_t>& buffer) = 0;
  virtual void InternalAddRecord(std::vector<std::uint8_t>& buffer, bool append) = 0;
  virtual void InternalPost() = 0;
  virtual void InternalDelete() = 0;
  virtual void InternalEdit() {}
  virtual void InternalCancel() {}
  virtual void InternalRefresh() {}
  virtual void InternalHandleException() {}
  virtual std::size_t RecordBufferSize() const = 0;
  virtual Bookmark BufferBookmark(const std::vector<std::uint8_t>& buffer) const = 0;
  virtual BookmarkFlag GetBookmarkFlag(const std::vector<std::uint8_t>& buffer) const = 0;
  virtual void SetBookmarkFlag(std::vector<std::uint8_t>& buffer, BookmarkFlag f) = 0;
  // Fields the subclass creates on open (default fields).
  virtual void CreateFields() = 0;
  virtual void DoOnNewRecord();
  virtual void DoAfterOpen();
  virtual void DoAfterCancel();
  virtual void DoAfterScroll();
  virtual void DoBeforeScroll();
  virtual void ClearCalcFields(std::vector<std::uint8_t>& buffer) { (void)buffer; }
  void CalculateFields(std::vector<std::uint8_t>& buffer);

  // Re-reads the active record (exact: it must still exist).
  void Resync(bool exact);
  // The engine's cursor to the active record.
  void UpdateCursorPos();
  void SetState(DataSetState s);
  void ClearBuffers();
  void DataEvent(int kind);
  void CheckActive() const;
  void FreeFieldBuffers() {}
  void SetBofEof(bool bof, bool eof) { bof_ = bof; eof_ = eof; }
  void SetModifiedFlag(bool m) { modified_ = m; }
  void DestroyFields();
  void AddDataField(std::unique_ptr<TField> f);
  bool Empty() const { return empty_; }
  void SetEmpty(bool e) { empty_ = e; }
  int CalcFieldsSize() const { return calcFieldsSize_; }
  int BlobFieldCount() const;

  std::vector<std::uint8_t> activeBuffer_;
  std::vector<std::uint8_t> calcBuffer_;
  bool inCalc_ = false;  // the calculation buffer is current

 private:
  void CheckOperation(const std::function<void()>& op, const ErrorEvent& handler);
  void BeginInsert(bool atEnd);
  void Fire(const NotifyEvent& e) { if (e) e(*this); }
  bool FetchFrom(GetMode mode);

  std::string name_;
  DataSetState state_ = DataSetState::Inactive;
  bool bof_ = true;
  bool eof_ = true;
  bool empty_ = true;
  bool modified_ = false;
  Bookmark insertReturn_;
  std::vector<std::unique_ptr<TField>> fields_;
  int dataFieldCount_ = 0;
  int calcFieldsSize_ = 0;
};

}  // namespace zeb::xbase
