// Memos as lines: the line table, GetMemo, CloseMemo and the text stream.
#include <algorithm>
#include <cstdlib>
#include <string>

#include "xbase/memo/memo.h"
#include "xbase/memo/memo_internal.h"
#include "xbase/core/errors.h"
#include "xbase/core/text_utils.h"

namespace zeb::xbase {

using namespace memoio;

namespace {

constexpr std::uint8_t kHardEnd = 13;
constexpr std::uint8_t kSoftEnd = 141;

int LineCapacity() {
  const MemoUnit& u = Memo();
  int c = u.widthOn ? u.width : 253;
  return (c < 1 || c > 254) ? 254 : c;
}

std::string RecordNumberText() {
  WorkArea* a = CurrentWorkArea();
  return std::to_string(a ? a->recordNumber : 0);
}

// The memo of block into the line table unless it is there already; 0, or
// 100 when it cannot be read.
int LoadMemoOnce(std::int32_t block, bool& loaded) {
  if (loaded) return 0;
  if (!GetMemo(block, 0)) return 100;
  loaded = true;
  return 0;
}

}  // namespace

void MemoLineTable::Clear() {
  lines.assign(kMemoMaxLines + 1, std::string());
  flags.assign(kMemoMaxLines + 1, 0);
  count = 1;
  index = 1;
  current.clear();
}

MemoLineTable& MemoLines() {
  MemoLineTable& t = Memo().lines;
  if (t.lines.empty()) t.Clear();
  return t;
}

MemoLineEnd ReadMemoLine(MemoByteReader& reader, int capacity, std::string& line) {
  line.clear();
  const auto c = static_cast<std::size_t>(capacity < 1 ? 1 : capacity);
  for (;;) {
    const int b = reader.Next();
    if (b < 0) return line.empty() ? MemoLineEnd::EndOfMemo : MemoLineEnd::Wrapped;
    if (b == kHardEnd) {
      const int n = reader.Next();
      if (n >= 0 && n != 10) reader.Unread(std::string(1, static_cast<char>(n)));
      return MemoLineEnd::Hard;
    }
    if (b == kSoftEnd) {
      // Only 141 10 ends a line softly; a lone 141 is a character (code
      // page 850 "i" with grave accent).
      const int n = reader.Next();
      if (n == 10) return MemoLineEnd::Soft;
      if (n >= 0) reader.Unread(std::string(1, static_cast<char>(n)));
    }
    if (line.size() < c) {
      line.push_back(static_cast<char>(b));
      continue;
    }
    // The byte would be character c + 1: wrap at the last blank.
    const std::size_t blank = line.rfind(' ');
    if (blank == std::string::npos) {
      reader.Unread(std::string(1, static_cast<char>(b)));
      return MemoLineEnd::Wrapped;
    }
    std::string rest = line.substr(blank + 1);
    line.resize(blank + 1);
    if (rest.empty() && b == ' ') {
      // Blanks past the full line are dropped up to the next word.
      int n = reader.Next();
      while (n == ' ') n = reader.Next();
      if (n >= 0) reader.Unread(std::string(1, static_cast<char>(n)));
      return MemoLineEnd::Wrapped;
    }
    rest.push_back(static_cast<char>(b));
    reader.Unread(rest);
    return MemoLineEnd::Wrapped;
  }
}

bool GetMemo(std::int32_t block, std::uint8_t maxLines) {
  SetTzCurrentError(0);
  MemoUnit& u = Memo();
  MemoLineTable& t = u.lines;
  t.Clear();
  u.blockReads = 0;
  const int capacity = LineCapacity();
  if (block == 0) return true;
  MemoFileRec* m = CheckMemoField("GetMemo");
  if (!m) return false;
  const std::int64_t b = std::llabs(static_cast<long long>(block));
  const std::int64_t offset = b * m->blockSize;
  const std::int64_t size = FileSize(m->file.get());
  if (offset >= size - 1) {
    MemoFail(1003, m->name + " Record # " + RecordNumberText() + " [GetMemo]");
    return false;
  }
  MemoByteReader reader;
  if (!reader.Start(*m, offset)) {
    MemoFail(30, m->name + " [GetMemo]");
    return false;
  }
  int lineNo = 1;
  std::string line;
  for (;;) {
    const MemoLineEnd end = ReadMemoLine(reader, capacity, line);
    if (end == MemoLineEnd::EndOfMemo) break;
    if (lineNo > kMemoMaxLines) break;  // the rest would only be dropped
    if (end == MemoLineEnd::Hard) t.flags[static_cast<std::size_t>(lineNo)] = kHardEnd;
    if (end == MemoLineEnd::Soft) t.flags[static_cast<std::size_t>(lineNo)] = kSoftEnd;
    if (maxLines > 0 && t.count > maxLines) break;
    t.lines[static_cast<std::size_t>(lineNo)] = line;
    ++lineNo;
    ++t.count;
  }
  if (t.count > 1) --t.count;
  u.blockReads = reader.Fills();
  return true;
}

std::int32_t CloseMemo(std::int32_t oldBlock) {
  SetTzCurrentError(0);
  MemoFileRec* m = CheckMemoField("EditMemo/CloseMemo");
  if (!m) return 0;
  MemoLineTable& t = MemoLines();
  std::string data;
  for (int i = 1; i <= std::min(t.count, kMemoMaxLines); ++i) {
    data += t.lines[static_cast<std::size_t>(i)];
    data += "\r\n";
  }
  if (!t.current.empty()) {
    data += t.current;
    data += "\r\n";
  }
  if (data.empty()) return 0;
  const auto total = static_cast<std::int64_t>(data.size());
  if (m->type == kMemoDbase3) data.append("\x1A\x1A");
  if (static_cast<std::int64_t>(data.size()) / 1024 >= DiskFreeKB(m->name)) {
    MemoFail(1004, m->name);
    return 0;
  }
  const std::int64_t start = LockMemoPadAndSeekEOF("EditMemo/CloseMemo");
  if (start == 0) return 0;
  const std::string where = m->name + "[EditMemo/CloseMemo]";
  std::int64_t block = 0;
  std::int64_t freeOld = 0;     // the old group to free after the write
  std::int64_t oldStored = 0;
  if (m->type == kMemoDbase3) {
    block = start / m->blockSize;
    data.resize(BlocksFor(static_cast<std::int64_t>(data.size()), kMemoTransferUnit) * kMemoTransferUnit, '\0');
    for (std::size_t i = 0; i < data.size(); i += kMemoTransferUnit) ApplyFilter(m->writeFilter, &data[i], kMemoTransferUnit);
  } else {
    if (m->type == kMemoFoxPro) {
      block = start / m->blockSize;
    } else {
      const auto needed = static_cast<std::int32_t>(std::min<std::int64_t>(BlocksFor(total + 8, m->blockSize), kMemoOpenEnd - 1));
      std::int32_t reuse = 0;
      if (oldBlock != 0) {
        const std::int64_t ob = std::llabs(static_cast<long long>(oldBlock));
        std::uint8_t h[8] = {};
        if (ReadAt(m->file.get(), h, 8, ob * m->blockSize) == 8 && IsUsedGroup(h)) {
          oldStored = GetLE32(h + 4);
          if (BlocksFor(oldStored, m->blockSize) >= needed)
            reuse = static_cast<std::int32_t>(ob);
          else
            freeOld = ob;
        }
      }
      block = AllocBlockGroup(needed, reuse, "[EditMemo/CloseMemo]");
      if (block == 0) {
        UnlockMemofile();
        return 0;
      }
    }
    if (!WriteGroupHeader(block * m->blockSize, total)) return 0;
    ApplyFilter(m->writeFilter, data.data(), data.size());
  }
  const std::int64_t at = block * m->blockSize + (m->type == kMemoDbase3 ? 0 : 8);
  if (WriteAt(m->file.get(), data.data(), data.size(), at) != 0) {
    MemoFail(29, where);
    return 0;
  }
  if (!MemoFlush(*m)) return 0;
  if (freeOld != 0) {
    if (!FreeBlockGroup(static_cast<std::int32_t>(freeOld), oldStored)) return 0;
    if (!AddToMemoCounter(*m, static_cast<std::uint32_t>(BlocksFor(oldStored, m->blockSize)))) return 0;
  }
  if (!UpdateMemoHeader()) return 0;
  return static_cast<std::int32_t>(block);
}

// ---------------------------------------------------------------- stream

int MemoTextStream::Enter() {
  const int saved = CurrentArea();
  SelectArea(area_);
  return saved;
}

void MemoTextStream::Leave(int saved) { SelectArea(saved); }

bool MemoTextStream::Assign(std::int32_t& reference) {
  reference_ = nullptr;
  mode_ = 0;
  openedBefore_ = loaded_ = false;
  error_ = 0;
  if (!CheckMemoField("AssignMemo")) return false;
  reference_ = &reference;
  area_ = CurrentArea();
  return true;
}

int MemoTextStream::OpenInput() {
  if (!reference_) return error_ = 102;
  const int saved = Enter();
  error_ = LoadMemoOnce(*reference_, loaded_);
  MemoLines().index = 1;
  mode_ = error_ == 0 ? 1 : 0;
  openedBefore_ = true;
  Leave(saved);
  return error_;
}

int MemoTextStream::OpenOutput() {
  if (!reference_) return error_ = 102;
  error_ = 0;
  MemoLineTable& t = MemoLines();
  t.Clear();
  t.count = 0;
  oldBlock_ = *reference_;
  newMemo_ = true;
  mode_ = 2;
  openedBefore_ = loaded_ = true;
  return 0;
}

int MemoTextStream::OpenAppend() {
  if (!reference_) return error_ = 102;
  const int saved = Enter();
  error_ = LoadMemoOnce(*reference_, loaded_);
  Leave(saved);
  if (error_ != 0) return error_;
  MemoLineTable& t = MemoLines();
  // An empty memo loads as one empty line without a line end.
  if (t.count == 1 && t.lines[1].empty() && t.flags[1] != kHardEnd) t.count = 0;
  t.index = t.count + 1;
  t.current.clear();
  oldBlock_ = *reference_;
  newMemo_ = false;
  mode_ = 2;
  openedBefore_ = true;
  return 0;
}

bool MemoTextStream::Read(std::string& piece) {
  piece.clear();
  if (mode_ != 1) {
    error_ = 104;
    return false;
  }
  MemoLineTable& t = MemoLines();
  if (t.index > t.count || t.index > kMemoMaxLines) return false;
  const auto n = static_cast<std::size_t>(t.index++);
  if (t.flags[n] == kHardEnd) {
    piece = t.lines[n].substr(0, 253);
    piece += "\r\n";
  } else {
    piece = t.lines[n];
  }
  return true;
}

bool MemoTextStream::ReadLine(std::string& line) {
  line.clear();
  std::string piece;
  bool any = false;
  while (Read(piece)) {
    any = true;
    if (piece.size() >= 2 && piece.compare(piece.size() - 2, 2, "\r\n") == 0) {
      line.append(piece, 0, piece.size() - 2);
      return true;
    }
    line += piece;
  }
  return any;
}

void MemoTextStream::StoreLine(std::string_view text, std::uint8_t flag) {
  MemoLineTable& t = MemoLines();
  const auto n = static_cast<std::size_t>(t.index);
  t.lines[n].assign(text);
  t.flags[n] = flag;
  t.count = t.index;
  ++t.index;
}

int MemoTextStream::Write(std::string_view text) {
  if (mode_ != 2) return error_ = 104;
  MemoLineTable& t = MemoLines();
  char prev = 0;
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (t.index > kMemoMaxLines) return error_ = 101;
    if (c == kHardEnd || (c == 10 && prev != static_cast<char>(kHardEnd))) {
      StoreLine(t.current, static_cast<unsigned char>(prev) == kSoftEnd ? kSoftEnd : kHardEnd);
      t.current.clear();
    } else if (c != kSoftEnd && c != 10) {
      if (t.current.size() >= 254) {
        StoreLine(t.current, 0);
        t.current.clear();
        if (t.index > kMemoMaxLines) return error_ = 101;
      }
      t.current.push_back(ch);
    }
    prev = ch;
  }
  return 0;
}

int MemoTextStream::WriteLine(std::string_view text) {
  int e = Write(text);
  return e != 0 ? e : Write("\r\n");
}

int MemoTextStream::Close() {
  if (mode_ == 0) return 0;
  const int saved = Enter();
  int err = 0;
  if (mode_ == 2) {
    MemoLineTable& t = MemoLines();
    const bool any = t.count > 0 || !t.current.empty();
    const std::int32_t block = CloseMemo(newMemo_ ? 0 : oldBlock_);
    if (block == 0 && any) {
      err = 101;
    } else {
      *reference_ = block;
      if (Memo().flushOnClose) {
        if (MemoFileRec* m = CurrentMemo()) MemoFlush(*m);
      }
    }
  }
  Memo().lines.Clear();
  mode_ = 0;
  loaded_ = false;
  Leave(saved);
  error_ = err;
  return err;
}

}  // namespace zeb::xbase
