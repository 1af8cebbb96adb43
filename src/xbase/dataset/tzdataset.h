// The table datasets: TTzPrimDataset maps the dataset's record protocol
// onto the Tzi cursor operations; TTzDataSet implements them on one work
// area of the engine; TTzCDataSet adds the xBase command methods.
#pragma once
#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/real48.h"
#include "xbase/dataset/dataset_base.h"
#include "xbase/dataset/field_values.h"
#include "xbase/dbf/dbffile.h"

namespace zeb::xbase {

struct WorkArea;

// Result codes of the Tzi operations.
constexpr int kTziOk = 0;
constexpr int kTziNoErrorCode = 1401;
constexpr int kTziAtBegin = 1402;
constexpr int kTziAtEnd = 1403;
constexpr int kTziNoFileName = 1404;

// Raises the dataset exception for a Tzi result code (0 does nothing).
void CheckTziResult(int code, const std::string& errorText);

class TTzPrimDataset : public DataSet {
 public:
  explicit TTzPrimDataset(std::string name);
  ~TTzPrimDataset() override;

  std::int32_t GetRecNo() const override;
  void SetRecNo(std::int32_t n) override;
  std::int32_t GetRecordCount() override;
  int CompareBookmarks(const Bookmark& a, const Bookmark& b) override;
  bool BookmarkValid(const Bookmark& b) override;
  bool Locate(std::string_view keyFields, const std::vector<FieldValue>& values, unsigned options) override;
  FieldValue Lookup(std::string_view keyFields, const std::vector<FieldValue>& values,
                    std::string_view resultFields) override;
  bool FindRecord(bool restart, bool goForward);
  bool GetFieldData(const TField& f, void* buffer) const override;
  void SetFieldData(TField& f, const void* buffer) override;
  virtual std::string GetErrorText(int code) const { return std::to_string(code); }
  virtual bool IsTableEmpty() const { return Empty(); }

  // --- the Tzi operations
  virtual int TziSetToBegin() = 0;
  virtual int TziSetToEnd() = 0;
  virtual int TziOpen() = 0;
  virtual int TziClose() = 0;
  virtual std::int32_t TziGetRecordCount() = 0;
  virtual int TziForceReread() = 0;
  virtual int TziAppendRecord(std::uint8_t* buffer) = 0;
  virtual int TziInsertRecord(std::uint8_t* buffer) = 0;
  virtual int TziDeleteRecord() = 0;
  virtual int TziInitRecord() = 0;
  virtual int TziModifyRecord(std::uint8_t* buffer) = 0;
  virtual std::size_t TziGetRecordDataSize() = 0;
  virtual int TziGetCursorKind() { return 2; }
  virtual int TziGetRecord(std::uint8_t* buffer, std::int32_t& recNo) = 0;
  virtual int TziGetNextRecord(std::uint8_t* buffer, std::int32_t& recNo) = 0;
  virtual int TziGetPriorRecord(std::uint8_t* buffer, std::int32_t& recNo) = 0;
  virtual bool TziGetFieldData(const TField& f, const std::uint8_t* record, bool& isBlank, void* dest) const = 0;
  virtual int TziSetFieldData(const TField& f, std::uint8_t* record, const void* source) = 0;
  virtual int TziGoToRecNo(std::int32_t recNo) = 0;
  virtual bool TziLocate(std::string_view keyFields, const std::vector<FieldValue>& values, unsigned options) = 0;
  virtual FieldValue TziLookup(std::string_view keyFields, const std::vector<FieldValue>& values,
                               std::string_view resultFields) = 0;
  virtual std::size_t TziGetBookmarkSize() { return 4; }
  virtual int TziGotoBookmark(std::int32_t bookmark) = 0;
  virtual int TziSetToBookmark(std::int32_t& bookmark) = 0;
  virtual int TziCompareBookmarks(std::int32_t b1, std::int32_t b2) {
    return b1 < b2 ? -1 : b1 == b2 ? 0 : 1;
  }

  // The record of the active buffer (views: record number, deleted byte).
  const std::vector<std::uint8_t>& ActiveBuffer() const { return activeBuffer_; }
  // While set, fields read this record buffer instead of the active one
  // (views show any row without moving the dataset).
  void SetViewBuffer(const std::vector<std::uint8_t>* buffer) { viewBuffer_ = buffer; }
  std::size_t RecordDataSize() const { return recordDataSize_; }

 protected:
  void OpenCursor() override;
  void CloseCursor() override;
  bool IsCursorOpen() const override { return cursorOpen_; }
  GetResult GetRecord(std::vector<std::uint8_t>& buffer, GetMode mode, bool doCheck) override;
  void InternalFirst() override;
  void InternalLast() override;
  void InternalSetToRecord(const std::vector<std::uint8_t>& buffer) override;
  void InternalGotoBookmark(std::int32_t bookmark) override;
  void InternalInitRecord(std::vector<std::uint8_t>& buffer) override;
  void InternalAddRecord(std::vector<std::uint8_t>& buffer, bool append) override;
  void InternalPost() override;
  void InternalDelete() override;
  void InternalEdit() override;
  void InternalRefresh() override;
  std::size_t RecordBufferSize() const override { return bufferSize_; }
  Bookmark BufferBookmark(const std::vector<std::uint8_t>& buffer) const override;
  BookmarkFlag GetBookmarkFlag(const std::vector<std::uint8_t>& buffer) const override;
  void SetBookmarkFlag(std::vector<std::uint8_t>& buffer, BookmarkFlag f) override;
  void DoOnNewRecord() override;
  void ClearCalcFields(std::vector<std::uint8_t>& buffer) override;
  // Opens the cursor's table and creates the fields (InternalOpen).
  virtual void InternalOpen();
  // Fields set in the edit or insert under way (by field number - 1): they
  // are written even where their value reads as the one stored before.
  std::vector<bool> setFields_;
  void Check(int code) const { CheckTziResult(code, code > kTziNoFileName || code < kTziNoErrorCode ? GetErrorText(code) : ""); }
  std::int32_t BufferRecNo(const std::vector<std::uint8_t>& buffer) const;

  std::size_t recordDataSize_ = 0;
  std::size_t bufferSize_ = 0;
  std::size_t infoOffset_ = 0;
  std::size_t bookmarkOffset_ = 0;
  bool cursorOpen_ = false;
  std::vector<std::uint8_t> saved_;  // SaveActiveBuffer's copy
  const std::vector<std::uint8_t>* viewBuffer_ = nullptr;
};

enum class TTzTableLanguage { tlOem, tlAnsi };

// One data field of the table: the engine's description and both offsets.
struct TzFieldMap {
  FieldDesc desc;
  BufferKind kind = BufferKind::None;
  std::size_t engineOffset = 0;
  std::size_t bufferOffset = 0;
  std::size_t bufferSize = 0;
};

class TTzDataSet : public TTzPrimDataset {
 public:
  explicit TTzDataSet(std::string name);
  ~TTzDataSet() override;

  // --- properties
  std::vector<std::string> dbfFields;
  bool showProgress = true;
  TTzTableLanguage tableLanguage = TTzTableLanguage::tlOem;
  NotifyEvent beforeRestore, afterRestore;
  // A field this edit changed that another program changed too since the
  // edit began (field number - 1, the file's text, the edit's text): true
  // writes the edit's value, false keeps the file's; nullopt writes nothing
  // and leaves the edit open. Asked while no lock is held; the answers hold
  // while the file keeps the text asked about (a field changed again is
  // asked again). Without a handler the file's value stays.
  std::function<std::optional<bool>(int field, std::string_view filed, std::string_view typed)> onBothChanged;
  // Records of a cut append stand past the count the header gives, where a
  // new record would be written over them: false appends nothing, and the
  // new record stays (as after a refused lock).
  std::function<bool()> onRecordsPastCount;
  // The indexes of this dataset are its own (orders a window made in its
  // temporary folder): other programs sharing the table do not keep them.
  // Such an index is built again from the table when it misses the key a
  // record holds now (another program changed it) or when the table holds
  // records it was not built for (another program appended).
  bool ownIndex = false;
  // A record edit whose write failed stays open, as typed, for another try
  // (a view asks again when the record is left); off: it is given up.
  bool keepEditOnFailure = false;
  // The record the last Post of a new record wrote to the table before a
  // later step (its index) failed; 0 when the failed Post wrote none. Such a
  // record is not appended again.
  std::int32_t PostedBeforeFailure() const { return postedBeforeFailure_; }
  // Builds an own index again when the table holds records it has not seen;
  // true when it did. Views call it before they read the order anew.
  bool FollowOtherPrograms();
  // Runs op (engine calls on this dataset's area); when an own index misses
  // a record's key (error 212) it is built again and op runs once more.
  void WithOwnIndex(const std::function<void()>& op);
  const std::string& DbfFileName() const { return dbfFileName_; }
  void SetDbfFileName(std::string_view name);
  bool HideDeletedRecs() const { return hideDeleted_; }
  void SetHideDeletedRecs(bool on);
  int WorkAreaNumber() const { return area_; }
  const std::vector<TzFieldMap>& FieldMaps() const { return maps_; }
  // Refuses typed text the field cannot keep as typed (EDatasetError with
  // the German reason): a character the table's code page lacks, a number
  // wider than the field. Other faults are left to the field's SetText.
  void CheckEntry(const TField& f, std::u32string_view typed) const;

  // --- operations
  bool SelectWorkArea(std::string_view method) const;
  bool s_IsEmptyDbf();
  void SafeGo(std::int32_t recNo);
  void ResyncFromEngine();
  bool GetDeletedFlag() const;
  void SetDeletedFlag(bool value);
  void SaveActiveBuffer();
  void RestoreActiveBuffer();
  void WriteActiveBufferToEngine();
  void DirectOpenClose(bool open);
  std::string GetErrorText(int code) const override;
  bool IsTableEmpty() const override;
  void Post() override;
  bool BeginCrack() const { return beginCrack_; }
  bool EndCrack() const { return endCrack_; }
  // Reads record n into a record buffer without moving the dataset (views);
  // false when the record does not exist. The engine's position is kept.
  bool ReadRecordAt(std::int32_t n, std::vector<std::uint8_t>& buffer);
  // "Es wurde kein Datensatz angehängt." for 0, else "<n> Datensätze
  // angehängt, die übrigen nicht." (1: "1 Datensatz ..."); Windows-1252.
  static std::string AppendedText(std::int32_t n);
  // The same when the last record appended is in the table but its keys
  // are not in the index: "Der Datensatz ist angehängt; der Index ist nicht
  // nachgeführt." for 1, else AppendedText(n) + " Der letzte ist im Index
  // nicht nachgeführt."
  static std::string IndexBehindText(std::int32_t n);
  // Inside a catch of a failed write action: the exception to throw on. A
  // write the system refused becomes ETzWriteError (the reason in the
  // user's words, the file, what became of the action); anything else
  // stays as it was, unless told: then the consequence follows its text on
  // a line of its own (an action that changed files is told so whatever
  // failed).
  std::exception_ptr AsWriteFailure(std::string_view consequence, std::int32_t appended = -1, bool told = false) const;
  // The record-buffer copy of the engine's current record.
  void CopyEngineToBuffer(std::uint8_t* buffer) const;
  // The same from a record buffer in the engine's layout.
  void CopyFieldBuffer(const std::uint8_t* engineBuffer, std::uint8_t* buffer) const;
  // Writes one field (1-based, 0 = all) of a record buffer into the engine.
  void CopyBufferToEngine(const std::uint8_t* buffer, int field) const;
  const TzFieldMap* MapOf(const TField& f) const;

  // --- the Tzi operations
  int TziSetToBegin() override;
  int TziSetToEnd() override;
  int TziOpen() override;
  int TziClose() override;
  std::int32_t TziGetRecordCount() override;
  int TziForceReread() override;
  int TziAppendRecord(std::uint8_t* buffer) override;
  int TziInsertRecord(std::uint8_t* buffer) override;
  int TziDeleteRecord() override;
  int TziInitRecord() override;
  int TziModifyRecord(std::uint8_t* buffer) override;
  std::size_t TziGetRecordDataSize() override;
  int TziGetRecord(std::uint8_t* buffer, std::int32_t& recNo) override;
  int TziGetNextRecord(std::uint8_t* buffer, std::int32_t& recNo) override;
  int TziGetPriorRecord(std::uint8_t* buffer, std::int32_t& recNo) override;
  bool TziGetFieldData(const TField& f, const std::uint8_t* record, bool& isBlank, void* dest) const override;
  int TziSetFieldData(const TField& f, std::uint8_t* record, const void* source) override;
  int TziGoToRecNo(std::int32_t recNo) override;
  bool TziLocate(std::string_view keyFields, const std::vector<FieldValue>& values, unsigned options) override;
  FieldValue TziLookup(std::string_view keyFields, const std::vector<FieldValue>& values,
                       std::string_view resultFields) override;
  int TziGotoBookmark(std::int32_t bookmark) override;
  int TziSetToBookmark(std::int32_t& bookmark) override;

 protected:
  void InternalOpen() override;
  void CreateFields() override;
  void InternalCancel() override;
  void InternalEdit() override;
  void DoAfterCancel() override;
  void DoAfterScroll() override;
  virtual void DoBeforeRestore() { if (beforeRestore) beforeRestore(*this); }
  virtual void DoAfterRestore() { if (afterRestore) afterRestore(*this); }
  virtual void SyncEngineRecord() {}
  virtual bool MemoAsNumber() const { return false; }
  virtual void SetModified() {}
  virtual void BeforeTableClose() {}
  virtual bool OpenTable(std::string_view name) = 0;
  virtual void s_AppendWithLock() = 0;
  virtual void s_DeleteWithLock() = 0;
  virtual void s_RestoreWithLock() = 0;
  virtual void s_ReplaceWithLock() = 0;
  virtual bool CanOpenLive() const { return true; }
  // Virtual files live without a file.
  virtual bool NeedsFileName() const { return true; }
  WorkArea* Area() const;
  // Moves the engine to the dataset's current record.
  void SyncToActive();
  bool OpenProcedure();

  int area_ = 0;
  // The message of an engine failure while opening (the engine took it).
  std::string openError_;
  bool beginCrack_ = false;
  bool endCrack_ = false;
  std::string dbfFileName_;
  bool hideDeleted_ = false;
  std::vector<TzFieldMap> maps_;
  // The record as the file held it when the edit began.
  std::string editBase_;
  // Under the record lock, right before the write: true when every field
  // both changed was answered for the text the file holds now; else the
  // write waits (askAgain_) and the question comes again without the lock.
  bool BothChangedAnswered();
  bool askAgain_ = false;
  // The index holds the keys of this many records (-1: not known yet);
  // after appends of this program that began at before records.
  void IndexBuilt();
  void AppendedOwn(std::int32_t before);
  std::int32_t indexedRecords_ = -1;
  std::int32_t postedBeforeFailure_ = 0;

 private:
  struct BothChange {
    int field;
    std::string filed, typed;
  };
  // The record read again as the file holds it now: the fields this edit
  // and another program both changed that have no answer for that text.
  std::vector<BothChange> UnansweredChanges();
  // Answers by field: the file's text asked about, and whether the edit's
  // value is written over it.
  std::map<int, std::pair<std::string, bool>> bothAnswers_;
};

// One write action of a dataset on its area: the locks the area holds when
// the action begins stay held; a table, record or memo lock taken during
// the action is released when the scope ends (or at Release), also when an
// exception ends it. The last write the system refused is forgotten at the
// start, so a failure names the cause of this action.
class TTzLockScope {
 public:
  explicit TTzLockScope(const TTzDataSet& ds);
  ~TTzLockScope() { Release(); }
  TTzLockScope(const TTzLockScope&) = delete;
  TTzLockScope& operator=(const TTzLockScope&) = delete;
  void Release() noexcept;

 private:
  int area_ = 0;
  std::uint8_t lockState_ = 0;
  std::vector<std::int32_t> records_;
  bool memoLocked_ = false;
  bool done_ = false;
};

class TTzCDataSet : public TTzDataSet {
 public:
  explicit TTzCDataSet(std::string name);
  bool CanModify() const override { return !readOnly_; }

  void AppendRec();
  void AppendFrom(std::string_view fileName);
  bool Pack();
  bool Deleted();
  std::string Field(int n);
  int FieldCount();
  int FieldLen(int n);
  void Go(std::int32_t n);
  // The field (1-based) where the key was found; 0 when not found.
  int Search(std::string_view key, std::uint8_t option1, std::uint8_t option2);
  std::string SField(int n);
  void Skip(std::int32_t count);
  void GoTop() { First(); }
  bool IsEof() const { return Eof(); }
  std::int32_t RecCount() { return GetRecordCount(); }
  bool GetBoolByName(std::string_view name);
  void SetStrByName(std::string_view name, std::string_view text);
  void SetBoolByName(std::string_view name, bool value);
  void SetIntByName(std::string_view name, std::int32_t value);
  void SetFloatByName(std::string_view name, const Real48& value);
  void ResyncOrLast();

 protected:
  void DoAfterCancel() override;
  void DoAfterScroll() override;
  zeb::xbase::TField& ByName(std::string_view name);
  // The append lock of a shared table unless a file or append lock is held;
  // true when taken here (to be released with Unlock).
  bool TakeAppendLock();
  // After an append that failed: the dataset back on the record it stood
  // on (or the last), in browse mode; the failure's code kept.
  void AfterFailedAppend(std::int32_t remembered);
  // The dataset on the record it stood on (or the last), marked modified.
  void BackOnRecord(std::int32_t remembered);
  // Runs append under the append lock, giving back what it took; a failure
  // raises a write error counting the records appended, with the dataset
  // back on remembered.
  void GuardedAppend(std::int32_t remembered, const std::function<void()>& append);
  void EnterEdit();
  bool readOnly_ = false;
};

}  // namespace zeb::xbase
