// The dataset over a DBF file on disk: creation from DbfFields, index
// files from IndexList, writes under the engine's record and append locks
// with a retry event, index searches, and BLOB streams over memo fields.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "xbase/dataset/tzdataset.h"

namespace zeb::xbase {

enum class TCreateIndexType { ciNotFound, ciAlways, ciVerifyHeader, ciNever };

// One IndexList line: "slot, file, expression".
struct IndexListLine {
  int slot = 0;
  std::string fileName;
  std::string expression;
};
IndexListLine ParseIndexListLine(std::string_view line);

class TTzFileDataSet : public TTzCDataSet {
 public:
  using LockFailedEvent = std::function<void(TTzFileDataSet& sender, bool& retry)>;
  using KeyCallback = std::function<void(std::string& key)>;

  explicit TTzFileDataSet(std::string name);
  ~TTzFileDataSet() override;

  // --- properties
  TCreateIndexType createIndex = TCreateIndexType::ciNotFound;
  bool createIfNotFound = true;
  bool autoFixRecCount = false;
  std::vector<std::string> indexList;
  std::function<void(const std::string& name)> onAfterMakeIndex;
  std::function<void(const std::string& name, bool& canMake)> onBeforeMakeIndex;
  LockFailedEvent onRLockFailedOnPost, onALockFailedOnInsert, onRLockFailedOnDelete, onRLockFailedOnRestore;
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool on);
  bool Exclusive() const { return exclusive_; }
  void SetExclusive(bool on);

  // --- methods
  void Peek(int field, std::int32_t record, std::string& text);
  bool AppendFromDelimited(std::string_view fileName);
  bool CopyToDelimited(std::string_view fileName);
  bool ALock();
  bool FLock();
  void UnLock();
  bool Find(std::string_view key);
  bool FindExact(std::string_view key);
  virtual void IndexOn(std::string_view expression, std::string_view fileName);
  virtual void IndexOnCB(std::string_view fileName, KeyCallback callback);
  virtual void SetIndexTo(std::string_view names);
  virtual void SetIndexToCB(std::string_view fileName, int slot, KeyCallback callback);
  virtual void SetIndexToLFN(std::string_view fileName, int slot);
  bool Locate(std::string_view keyFields, const std::vector<FieldValue>& values, unsigned options) override;
  bool IsSequenced();
  // Whole records the file holds past its header's count (an append cut
  // before its count was written); the table shows the counted ones.
  std::int32_t RecordsPastCount();
  // Under the file lock the caller holds: takes those records in or drops
  // them (see MendRecordsPastCount of the engine); false when there was
  // nothing to mend. The dataset shows the table again.
  bool MendRecordsPastCount(bool takeIn);
  // The memo block reference of a memo field in the active record.
  std::int32_t MemoBlock(const zeb::xbase::TField& f) const;
  void SetMemoBlock(const zeb::xbase::TField& f, std::int32_t block);

 protected:
  bool OpenTable(std::string_view name) override;
  void s_AppendWithLock() override;
  void s_DeleteWithLock() override;
  void s_RestoreWithLock() override;
  void s_ReplaceWithLock() override;
  void InternalPost() override;
  void InternalDelete() override;

 private:
  bool OpenIndexFiles();
  // Takes a lock (ALock or RLock), runs op, gives back the lock it took;
  // asks the event again while it sets retry. False when the write was
  // given up. A write the system refused raises ETzWriteError with the
  // consequence, or with `written` when the record went into the table
  // and only its index keys did not.
  bool WithLock(bool append, const char* word, const LockFailedEvent& event, const std::function<void()>& op,
                std::string_view consequence, std::string_view written = {});
  std::string KeyFor(int slot);

  bool exclusive_ = false;
  bool writeRefused_ = false;
  std::array<KeyCallback, 17> keyCallbacks_;
};

class TTzDbf : public TTzFileDataSet {
 public:
  using TTzFileDataSet::TTzFileDataSet;
};

// A stream over the memo of a memo field of the active record.
class TTzBlobStream {
 public:
  enum class Mode { Read, Write, ReadWrite };
  TTzBlobStream(zeb::xbase::TField& field, Mode mode);
  ~TTzBlobStream();
  TTzBlobStream(const TTzBlobStream&) = delete;
  TTzBlobStream& operator=(const TTzBlobStream&) = delete;
  std::int32_t Read(char* buffer, std::int32_t count);
  std::int32_t Write(const char* buffer, std::int32_t count);
  // origin 0 start, 1 position, 2 end.
  std::int64_t Seek(std::int64_t offset, int origin);
  // The whole memo (read streams).
  std::string ReadAll();

 private:
  zeb::xbase::TField& field_;
  TTzFileDataSet& owner_;
  Mode mode_;
  bool modified_ = false;
  bool open_ = false;
  std::int32_t formerBlock_ = 0;  // a write stream's memo before it
};

}  // namespace zeb::xbase
