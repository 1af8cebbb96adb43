// The memo unit's entries in the engine's MemoHookTable.
#include <unistd.h>

#include <algorithm>
#include <memory>

#include "xbase/core/hooks.h"
#include "xbase/memo/memo.h"
#include "xbase/memo/memo_internal.h"
#include "xbase/core/errors.h"
#include "xbase/core/text_utils.h"
#include "xbase/dbf/workarea.h"

namespace zeb::xbase {

namespace {

// The work-area layer reports the code of a failed open or pack itself
// (after closing the area); the memo layer's own report comes first, and in
// raise mode its exception is turned back into that code.
template <class F>
std::uint16_t CodeOf(F&& f) {
  try {
    return f();
  } catch (const ETzError&) {
    return TzCurrentError() != 0 ? TzCurrentError() : 1019;
  }
}

class MemoHooksImpl : public MemoHookTable {
 public:
  bool Installed() const override { return true; }

  // Memo texts of an OEM table are stored in code page 850; the record
  // buffers, and so the callers of these entries, hold Windows-1252.
  bool AssignMemo(std::int32_t reference, std::string& text) override {
    text.clear();
    std::int32_t ref = reference;
    MemoTextStream s;
    if (!s.Assign(ref) || s.OpenInput() != 0) return false;
    std::string piece;
    while (s.Read(piece)) text += piece;
    s.Close();
    if (MemoTextConverted()) text = StrOemToAnsi(text);
    return true;
  }
  std::uint16_t PackMemofile(PackedTableCopy& copy) override {
    return CodeOf([&] { return zeb::xbase::PackMemofile(copy); });
  }
  std::uint16_t OpenMemofile(std::string_view tableFileName) override {
    return CodeOf([&] { return zeb::xbase::OpenMemofile(tableFileName); });
  }
  void CloseMemofile() override { zeb::xbase::CloseMemofile(); }
  std::int32_t CopyMemoAppend(WorkArea& source, std::int32_t block) override {
    return CopyMemo(source.number, block, false);
  }
  std::int32_t CopyMemoInPlace(WorkArea& source, std::int32_t block) override {
    return CopyMemo(source.number, block, true);
  }
  void ReCreateMemofile(std::string_view memoFileName) override { zeb::xbase::ReCreateMemofile(memoFileName); }
  std::int32_t AddMemo(std::string_view text) override {
    return zeb::xbase::AddMemo(MemoTextConverted() ? StrAnsiToOem(text) : std::string(text));
  }
  std::int64_t MarkMemofile() override {
    MemoFileRec* m = MemoFileOf(CurrentArea());
    if (m == nullptr) return -1;
    const std::int64_t size = memoio::FileSize(m->file.get());
    if (size < 0) return -1;
    m->markedHead.assign(static_cast<std::size_t>(std::min<std::int64_t>(size, 512)), '\0');
    if (ReadAt(m->file.get(), m->markedHead.data(), m->markedHead.size(), 0) !=
        static_cast<long long>(m->markedHead.size()))
      return -1;
    return size;
  }
  void BackToMark(std::int64_t mark) override {
    MemoFileRec* m = MemoFileOf(CurrentArea());
    if (m == nullptr || mark < 0) return;
    if (::ftruncate(m->file.get(), static_cast<off_t>(mark)) == 0)
      WriteAt(m->file.get(), m->markedHead.data(), m->markedHead.size(), 0);
  }
};

}  // namespace

void InitMemoUnit() {
  MemoUnit& u = Memo();
  if (u.initCount++ == 0) SetMemoHooks(std::make_shared<MemoHooksImpl>());
}

void DoneMemoUnit() {
  MemoUnit& u = Memo();
  if (u.initCount == 0) return;
  if (--u.initCount == 0) SetMemoHooks(nullptr);
}

bool MemoInstalled() { return MemoHooks().Installed(); }

}  // namespace zeb::xbase
