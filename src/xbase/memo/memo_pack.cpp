// Copying memos between memo files (AppendFrom, CopyTo) and packing the
// memo file of a table.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "xbase/dbf/locking.h"
#include "xbase/memo/memo.h"
#include "xbase/memo/memo_internal.h"
#include "xbase/dbf/tablecmds.h"
#include "xbase/core/errors.h"
#include "xbase/core/text_utils.h"

namespace zeb::xbase {

using namespace memoio;

namespace {

constexpr std::size_t kCopyChunk = 64 * 1024;  // a multiple of the transfer unit

std::string CopyWhere(const MemoCopyContext& c) { return c.errorName + " [AppendFrom/CopyTo]"; }

void CopyFail(MemoCopyContext& c, std::uint16_t code) {
  c.failed = true;
  MemoFail(code, CopyWhere(c));
}

// The 8-byte block header of a destination layout.
void GroupHeaderBytes(std::uint8_t destType, std::int64_t dataLength, std::uint8_t* h) {
  const auto len = static_cast<std::uint32_t>(std::clamp<std::int64_t>(dataLength, 0, 0xFFFFFFFFLL - 8));
  if (destType == kMemoFoxPro) {
    PutBE32(h, 1);
    PutBE32(h + 4, len);
  } else {
    h[0] = 0xFF;
    h[1] = 0xFF;
    h[2] = 0x08;
    h[3] = 0x00;
    PutLE32(h + 4, len + 8);
  }
}

// Reads n source bytes at off through the read filter; false after a report.
bool ReadSource(MemoCopyContext& c, std::string& buf, std::int64_t off, std::size_t n) {
  buf.resize(n);
  if (ReadAt(c.sourceFd, buf.data(), n, off) != static_cast<long long>(n)) {
    CopyFail(c, 30);
    return false;
  }
  ApplyFilter(c.sourceReadFilter, buf.data(), n);
  return true;
}

bool WriteDest(MemoCopyContext& c, std::string& buf, std::int64_t off) {
  ApplyFilter(c.destWriteFilter, buf.data(), buf.size());
  if (WriteAt(c.destFd, buf.data(), buf.size(), off) != 0) {
    CopyFail(c, 1005);
    return false;
  }
  return true;
}

}  // namespace

std::int32_t CopyMemoData(MemoCopyContext& c) {
  c.failed = false;
  if (c.sourceBlock == 0) return 0;
  const bool negative = c.sourceBlock < 0;
  const std::int64_t block = std::llabs(static_cast<long long>(c.sourceBlock));
  const std::int64_t srcSize = FileSize(c.sourceFd);
  const std::int64_t srcOff = block * c.sourceBlockSize;
  if (srcOff >= srcSize - 1) {
    CopyFail(c, 1003);
    return 0;
  }
  std::uint8_t h[8] = {};
  const long long got = ReadAt(c.sourceFd, h, 8, srcOff);
  bool byLength = !(c.sourceType == kMemoDbase3 && !negative);
  if (c.sourceType != kMemoFoxPro && got == 8 && IsUsedGroup(h)) byLength = true;

  std::int64_t dataOff = srcOff;
  std::int64_t dataLen = 0;
  std::string buf;
  if (byLength) {
    if (got < 8) {
      CopyFail(c, 30);
      return 0;
    }
    if (c.sourceType == kMemoFoxPro) {
      dataLen = GetBE32(h + 4);
    } else {
      if (!IsUsedGroup(h)) {
        // Not the start of a memo.
        CopyFail(c, 1003);
        return 0;
      }
      const std::int64_t stored = GetLE32(h + 4);
      dataLen = stored > 8 ? stored - 8 : 0;
    }
    dataOff = srcOff + 8;
    dataLen = std::min(dataLen, std::max<std::int64_t>(0, srcSize - dataOff));
  } else {
    // Text up to the first end mark or zero byte (or the end of the file).
    std::int64_t at = dataOff;
    for (;;) {
      const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(kCopyChunk, srcSize - at));
      if (n == 0) break;
      if (!ReadSource(c, buf, at, n)) return 0;
      const std::size_t stop = buf.find_first_of(std::string_view("\x1A\0", 2));
      if (stop != std::string::npos) {
        at += static_cast<std::int64_t>(stop);
        break;
      }
      at += static_cast<std::int64_t>(n);
    }
    dataLen = at - dataOff;
  }
  if (dataLen <= 0) return 0;

  // A dBASE III destination takes text; data a text reader would cut
  // (a zero byte or an end mark) is written block-headed.
  bool headed = !c.destIsDbase3;
  if (c.destIsDbase3 && byLength) {
    for (std::int64_t done = 0; done < dataLen && !headed;) {
      const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(kCopyChunk, dataLen - done));
      if (!ReadSource(c, buf, dataOff + done, n)) return 0;
      headed = buf.find_first_of(std::string_view("\x1A\0", 2)) != std::string::npos;
      done += static_cast<std::int64_t>(n);
    }
  }

  std::int64_t out = c.destOffset;
  if (headed) {
    std::string placeholder(8, '\0');
    if (WriteAt(c.destFd, placeholder.data(), 8, out) != 0) {
      CopyFail(c, 1005);
      return 0;
    }
    out += 8;
  }
  for (std::int64_t done = 0; done < dataLen;) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(kCopyChunk, dataLen - done));
    if (!ReadSource(c, buf, dataOff + done, n) || !WriteDest(c, buf, out + done)) return 0;
    done += static_cast<std::int64_t>(n);
  }
  if (headed) {
    std::uint8_t gh[8];
    GroupHeaderBytes(c.destType, dataLen, gh);
    if (WriteAt(c.destFd, gh, 8, static_cast<std::int64_t>(c.destBlock) * c.destBlockSize) != 0) {
      CopyFail(c, 1005);
      return 0;
    }
  } else {
    // Two end marks; through a write filter in whole transfer units.
    std::string tail("\x1A\x1A", 2);
    if (c.destWriteFilter) {
      const std::int64_t used = (dataLen + 2) % static_cast<std::int64_t>(kMemoTransferUnit);
      if (used != 0) tail.append(kMemoTransferUnit - static_cast<std::size_t>(used), '\0');
    }
    if (!WriteDest(c, tail, out + dataLen)) return 0;
  }
  return (c.destIsDbase3 && headed) ? -c.destBlock : c.destBlock;
}

std::int32_t CopyMemo(int sourceArea, std::int32_t block, bool inPlace) {
  SetTzCurrentError(0);
  if (block == 0) return 0;
  MemoFileRec* dest = CheckMemoField("CopyMemo");
  if (!dest) return 0;
  WorkArea* srcArea = AreaAt(sourceArea);
  MemoFileRec* src = MemoFileOf(sourceArea);
  if (!srcArea || !src) {
    TzError(1019, (srcArea ? srcArea->fileName : std::string()) + " No Memo Field [CopyMemo]");
    return 0;
  }
  const std::int64_t end = LockMemoPadAndSeekEOF("CopyMemo()");
  if (end == 0) return 0;
  WorkArea& destArea = *CurrentWorkArea();
  MemoCopyContext c;
  c.sourceFd = src->file.get();
  c.destFd = dest->file.get();
  // The block sizes the files were opened with (every read here uses them).
  c.sourceBlockSize = src->blockSize;
  c.destBlockSize = dest->blockSize;
  c.sourceType = MemoTypeOfArea(*srcArea);
  c.destType = MemoTypeOfArea(destArea);
  c.sourceBlock = block;
  c.destWriteFilter = dest->writeFilter;
  c.sourceReadFilter = src->readFilter;
  c.destIsDbase3 = c.destType == kMemoDbase3;
  c.errorName = dest->name;
  const std::int64_t abs = std::llabs(static_cast<long long>(block));
  if (inPlace) {
    c.destBlock = static_cast<std::int32_t>(abs);
    c.destOffset = abs * c.destBlockSize;
  } else {
    c.destOffset = (end == 513 && c.destIsDbase3) ? 512 : end;
    const std::int64_t b = c.destOffset / c.destBlockSize;
    if (b > kMemoOpenEnd) {
      MemoFail(1005, dest->name + " [AppendFrom/CopyTo]");
      return 0;
    }
    c.destBlock = static_cast<std::int32_t>(b);
  }
  const std::int32_t result = CopyMemoData(c);
  if (c.failed) return 0;
  if (!MemoFlush(*dest) || !UpdateMemoHeader()) return 0;
  return result;
}

// ---------------------------------------------------------------- pack

namespace {

// A memo reference as stored: blank or a decimal number; false for others
// and numbers outside the 32-bit range.
bool ParseReference(std::string_view text, std::int64_t& value) {
  std::string s = AllTrim(text);
  value = 0;
  if (s.empty()) return true;
  std::size_t i = 0;
  bool neg = false;
  if (s[0] == '-' || s[0] == '+') {
    neg = s[0] == '-';
    i = 1;
  }
  if (i >= s.size()) return false;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    value = value * 10 + (s[i] - '0');
    if (value > kMemoOpenEnd) return false;
  }
  if (neg) value = -value;
  return true;
}

struct NewReference {
  std::int32_t record;
  int field;
  std::int32_t block;
};

bool IsMemoField(const FieldDesc& f) {
  return f.type == 'M' || ((f.type == 'B' || f.type == 'G' || f.type == 'P') && f.length == 10);
}

// Offset of field f of record r in the table's packed copy.
std::int64_t FieldOffset(const PackedTableCopy& copy, const WorkArea& a, std::int32_t r, const FieldDesc& f) {
  return copy.headerLength + static_cast<std::int64_t>(r - 1) * a.recordLength + f.offset;
}

// Writes the packed memo file of m into packed: every memo the records of
// the table's packed copy name, each from a block boundary, and the header;
// refs gets the new references, cleared is set when a reference outside the
// file was cleared (1003). 0 or the code of a reported error.
std::uint16_t WritePackedMemo(MemoFileRec& m, const WorkArea& a, const PackedTableCopy& copy,
                              ReplacementFile& packed, std::vector<NewReference>& refs, bool& cleared) {
  const std::int64_t size = FileSize(m.file.get());
  if (size / 1024 > DiskFreeKB(m.name)) {
    TzError(1012, m.name + " [PackMemofile]");
    return 1012;
  }
  if (const int err = packed.Open(m.name); err != 0) {
    const std::uint16_t code = ErrnoToTzCode(err);
    TzError(code, "Cannot create memo file " + m.name + " [PackMemofile]");
    return code;
  }
  const int out = packed.fd();
  const std::string fresh = FreshMemoFile(m.type, m.blockSize, m.name);
  if (WriteAt(out, fresh.data(), fresh.size(), 0) != 0) {
    TzError(1005, m.name + " [PackMemofile]");
    return 1005;
  }
  MemoCopyContext c;
  c.sourceFd = m.file.get();
  c.destFd = out;
  c.sourceBlockSize = c.destBlockSize = m.blockSize;
  c.sourceType = c.destType = m.type;
  c.destWriteFilter = m.writeFilter;
  c.sourceReadFilter = m.readFilter;
  c.destIsDbase3 = m.type == kMemoDbase3;
  c.errorName = m.name;
  std::string text;
  const std::string zeros(kMemoTransferUnit, '\0');
  std::int64_t end = static_cast<std::int64_t>(fresh.size());
  for (std::int32_t r = 1; r <= copy.count; ++r) {
    for (int i = 1; i <= a.fieldCount; ++i) {
      const FieldDesc& f = a.fields[static_cast<std::size_t>(i - 1)];
      if (!IsMemoField(f)) continue;
      text.assign(f.length, '\0');
      if (ReadAt(copy.fd, text.data(), f.length, FieldOffset(copy, a, r, f)) != static_cast<long long>(f.length)) {
        TzError(100, "DBF: " + a.fileName + " [PackMemofile]");
        return 100;
      }
      std::int64_t block = 0;
      const bool valid = ParseReference(text, block);
      if (valid && block == 0) continue;
      // PackMemo: the next memo starts on a block boundary of the packed file.
      std::int64_t pos = end;
      if (c.destIsDbase3 && pos == 513) pos = 512;
      const std::int64_t padded = BlocksFor(pos, m.blockSize) * m.blockSize;
      for (std::int64_t at = pos; at < padded;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(padded - at, kMemoTransferUnit));
        if (WriteAt(out, zeros.data(), n, at) != 0) {
          TzError(1005, m.name + " [PackMemo]");
          return 1005;
        }
        at += static_cast<std::int64_t>(n);
      }
      end = std::max(end, padded);
      c.destOffset = padded;
      c.destBlock = static_cast<std::int32_t>(std::min<std::int64_t>(padded / m.blockSize, kMemoOpenEnd));
      c.sourceBlock = static_cast<std::int32_t>(block);
      std::int32_t moved = 0;
      if (!valid || std::llabs(static_cast<long long>(block)) * m.blockSize >= size - 1) {
        // Only a reference outside the memo file is cleared.
        TzError(1003, m.name + " Memo block # " + AllTrim(text) + " Record # " + std::to_string(r) + " [PackMemo]");
        cleared = true;
      } else {
        moved = CopyMemoData(c);
        if (c.failed) {
          if (TzCurrentError() != 1003) return TzCurrentError() != 0 ? TzCurrentError() : 1005;
          moved = 0;
          cleared = true;
        }
        end = std::max(end, FileSize(out));
      }
      refs.push_back({r, i, moved});
    }
  }
  // The header counts the blocks.
  std::uint8_t head[4];
  const std::int64_t blocks = BlocksFor(FileSize(out), m.blockSize);
  if (m.type == kMemoFoxPro)
    PutBE32(head, static_cast<std::uint32_t>(blocks));
  else
    PutLE32(head, static_cast<std::uint32_t>(blocks));
  if (WriteAt(out, head, 4, 0) != 0) {
    TzError(29, m.name + " [PackMemo]");
    return 29;
  }
  if (packed.Sync() != 0) {
    TzError(ErrnoToTzCode(LastWriteFailure().err), m.name + " [PackMemo]");
    return TzCurrentError();
  }
  return 0;
}

// A memo left empty has no block: its reference is blank, as dBase leaves it.
std::string StoredReference(std::int32_t block) { return block == 0 ? std::string(10, ' ') : StoredInteger(block, 10); }

// The packed file takes the memo file's name; the memo file is then the
// packed one, unlocked.
void TakePacked(MemoFileRec& m, ReplacementFile& packed) {
  m.file = packed.Take();
  m.locked = false;
  m.blob = BlobDescriptor{};
}

}  // namespace

std::uint16_t PackMemofile(PackedTableCopy& copy) {
  SetTzCurrentError(0);
  MemoFileRec* m = CheckMemoField("PackMemofile");
  if (!m) return TzCurrentError() != 0 ? TzCurrentError() : 1019;
  WorkArea& a = *CurrentWorkArea();
  if (m->blob.open && m->blob.mode == 2) DestroyBlobDescriptor();
  ReplacementFile packed;
  std::vector<NewReference> refs;
  bool cleared = false;
  std::uint16_t code = WritePackedMemo(*m, a, copy, packed, refs, cleared);
  // The copy's records point into the packed memo file.
  for (std::size_t i = 0; code == 0 && i < refs.size(); ++i) {
    const NewReference& n = refs[i];
    const FieldDesc& f = a.fields[static_cast<std::size_t>(n.field - 1)];
    const std::string text = StoredReference(n.block);
    if (WriteAt(copy.fd, text.data(), std::min<std::size_t>(text.size(), f.length), FieldOffset(copy, a, n.record, f)) != 0) {
      TzError(101, "DBF: " + a.fileName + " [PackMemofile]");
      code = 101;
    }
  }
  // Both copies on the disk first; then both go in place, or neither: the
  // memo file as it was is kept until the table's copy is in place.
  if (code == 0) code = copy.flush();
  if (code == 0 && (packed.KeepFormer() != 0 || packed.Replace() != 0)) {
    code = ErrnoToTzCode(LastWriteFailure().err);
    TzError(code, m->name + " [PackMemofile]");
  }
  if (code != 0) {
    NoteCopyFailure();
    return code;
  }
  code = copy.commit();
  if (code != 0) {
    // The memo file as it was goes back in its place. The table's refused
    // write stays the one told.
    const WriteFailure refused = LastWriteFailure();
    const int restored = packed.RestoreFormer();
    NoteWriteFailureOf(refused.file, refused.err);
    if (restored == 0) return code;
    // It cannot: the memo file is the packed one, the table is not. The
    // memo file as it was stays under its temporary name (the area keeps
    // reading it), which the failure names.
    TzEngine& e = Engine();
    e.packMemoOnly = true;
    e.packFormerMemo = packed.KeepFormerFile();
    return code;
  }
  TakePacked(*m, packed);
  SetTzCurrentError(cleared ? 1003 : 0);
  return 0;
}

}  // namespace zeb::xbase
