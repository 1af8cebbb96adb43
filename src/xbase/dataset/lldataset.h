// The dataset over a virtual file: an in-memory table whose structure comes
// from DbfFields, optionally filled from a DBF file when it opens and
// written back to it when it closes.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "xbase/dataset/tzdataset.h"
#include "xbase/vfile/vfiles.h"

namespace zeb::xbase {

class TTzLLDataSet : public TTzCDataSet {
 public:
  using KeyMakerFunc = std::function<std::string()>;

  explicit TTzLLDataSet(std::string name);
  ~TTzLLDataSet() override;

  bool populateFromDisk = false;
  bool saveToDisk = false;
  KeyMakerFunc keyMaker;
  LStatusType AppendMode() const { return appendMode_; }
  void SetAppendMode(LStatusType mode);
  bool IsModified() const { return modified_; }
  bool CanModify() const override { return true; }

  virtual void ReadFromDisk();
  virtual void WriteToDisk();
  // The name the virtual file was opened under.
  const std::string& VirtualName() const { return virtualName_; }

 protected:
  void DoAfterOpen() override;
  bool MemoAsNumber() const override { return true; }
  bool NeedsFileName() const override { return false; }
  void SetModified() override { modified_ = true; }
  void BeforeTableClose() override;
  bool OpenTable(std::string_view name) override;
  void s_AppendWithLock() override;
  void s_DeleteWithLock() override;
  void s_RestoreWithLock() override;
  void s_ReplaceWithLock() override;

 private:
  std::string KeyOfBuffer();
  // The DBF file's fields equal the virtual file's (names, types, lengths,
  // decimals, order).
  bool SameFields(const DbfTable& file) const;

  bool modified_ = false;
  std::vector<std::uint8_t> vbuffer_;
  LStatusType appendMode_ = FIFO;
  std::string virtualName_;
};

class TTzVFile : public TTzLLDataSet {
 public:
  using TTzLLDataSet::TTzLLDataSet;
};

// The next virtual-file number (process-wide, distinct per open).
std::uint32_t NextVirtualFileNumber();

}  // namespace zeb::xbase
