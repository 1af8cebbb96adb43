// Memos as byte streams: the BLOB descriptor of a work area.
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "xbase/memo/memo.h"
#include "xbase/memo/memo_internal.h"
#include "xbase/core/errors.h"
#include "xbase/core/text_utils.h"

namespace zeb::xbase {

using namespace memoio;

namespace {

constexpr std::int64_t kPiece = 32767;

// The header's next free block := the file's block count (a write transfer
// leaves no header pointing into its data).
bool SetNextFreeToEnd(MemoFileRec& m) {
  const std::int64_t size = FileSize(m.file.get());
  return size >= 0 && MainHeaderWrite(BlocksFor(size, m.blockSize));
}

void BlobFail(MemoFileRec& m, std::uint16_t code, std::string_view operation) {
  const bool writing = m.blob.open && m.blob.mode == 2;
  const std::int32_t block = m.blob.block;
  m.blob = BlobDescriptor{};
  if (writing) SetNextFreeToEnd(m);
  WorkArea* a = CurrentWorkArea();
  MemoFail(code, std::to_string(block) + " " + m.name + " Record # " + std::to_string(a ? a->recordNumber : 0) + " [" +
                     std::string(operation) + "]");
}

void DecideText(BlobDescriptor& d, std::string_view piece) {
  if (d.textFlag == -1) d.textFlag = IsTextData(piece) ? 1 : 0;
}

}  // namespace

bool IsTextData(std::string_view bytes) {
  for (char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 32 && c != 9 && c != 10 && c != 13 && c != 15 && c != 20 && c != 21) return false;
  }
  return true;
}

void CreateMemoDescriptor() {
  if (MemoFileRec* m = CurrentMemo()) m->blob = BlobDescriptor{};
}

std::int32_t CreateBlobDescriptor(bool detectText, std::int32_t block, std::uint8_t mode) {
  SetTzCurrentError(0);
  MemoFileRec* m = CheckMemoField("CreateBlobDescriptor");
  if (!m) return 0;
  if (m->blob.open && m->blob.mode == 2) DestroyBlobDescriptor();
  CreateMemoDescriptor();
  BlobDescriptor& d = m->blob;
  d.textFlag = detectText ? -1 : 0;
  const std::int64_t b = std::llabs(static_cast<long long>(block));
  d.block = static_cast<std::int32_t>(std::min<std::int64_t>(b, kMemoOpenEnd));
  d.mode = mode;
  if (mode == 1) {
    if (b == 0) {
      // No memo: an empty stream.
      d.length = 0;
      d.open = true;
      return 0;
    }
    const std::int64_t offset = b * m->blockSize;
    const std::int64_t size = FileSize(m->file.get());
    if (offset >= size - 1) {
      BlobFail(*m, 1003, "CreateBlobDescriptor");
      return 0;
    }
    std::uint8_t h[8] = {};
    const long long got = ReadAt(m->file.get(), h, 8, offset);
    if (m->type == kMemoFoxPro) {
      if (got < 8) {
        BlobFail(*m, 30, "CreateBlobDescriptor");
        return 0;
      }
      d.length = GetBE32(h + 4);
      d.headerSize = 8;
    } else if (got == 8 && IsUsedGroup(h)) {
      const std::int64_t stored = GetLE32(h + 4);
      d.length = stored > 8 ? stored - 8 : 0;
      d.headerSize = 8;
    } else {
      d.length = -1;
      d.headerSize = 0;
    }
    d.dataStart = offset + d.headerSize;
    // A stored length ends at the end of the file.
    if (d.length > size - d.dataStart) d.length = std::max<std::int64_t>(0, size - d.dataStart);
  } else if (mode == 2) {
    const std::int64_t start = LockMemoPadAndSeekEOF("CreateBlobDescriptor");
    if (start == 0) {
      m->blob = BlobDescriptor{};
      return 0;
    }
    std::int64_t first;
    if (IsDbase4Layout(m->type)) {
      first = AllocBlockGroup(kMemoOpenEnd, 0, " [CreateBlobDescriptor]");
      if (first == 0) {
        m->blob = BlobDescriptor{};
        SetNextFreeToEnd(*m);
        UnlockMemofile();
        return 0;
      }
    } else {
      first = start / m->blockSize;
    }
    d.block = static_cast<std::int32_t>(std::min<std::int64_t>(first, kMemoOpenEnd));
    d.length = -1;
    d.headerSize = 8;
    d.dataStart = first * m->blockSize + 8;
    d.highest = 0;
  } else {
    m->blob = BlobDescriptor{};
    return 0;
  }
  d.position = 0;
  d.open = true;
  return m->type == kMemoDbase3 ? -d.block : d.block;
}

std::int32_t ReadBlobStream(char* buffer, std::int32_t count) {
  MemoFileRec* m = CurrentMemo();
  if (!m || buffer == nullptr) return 0;
  BlobDescriptor& d = m->blob;
  if (!d.open || d.mode != 1 || count < 1) return 0;
  const std::int64_t size = FileSize(m->file.get());
  std::int64_t n = std::min<std::int64_t>(count, size - (d.dataStart + d.position));
  if (d.length >= 0) n = std::min(n, d.length - d.position);
  if (n <= 0) return 0;
  std::int64_t done = 0;
  while (done < n) {
    const std::int64_t want = std::min(kPiece, n - done);
    char* p = buffer + done;
    const long long got = ReadAt(m->file.get(), p, static_cast<std::size_t>(want), d.dataStart + d.position + done);
    if (got < 0) {
      BlobFail(*m, ErrnoToTzCode(errno), "ReadBlobStream");
      return 0;
    }
    if (got == 0) break;
    ApplyFilter(m->readFilter, p, static_cast<std::size_t>(got));
    std::size_t take = static_cast<std::size_t>(got);
    bool end = false;
    if (d.length < 0) {
      // A memo of unknown length ends at its first end mark.
      const void* mark = std::memchr(p, 0x1A, take);
      if (mark) {
        take = static_cast<std::size_t>(static_cast<const char*>(mark) - p);
        end = true;
      }
    }
    DecideText(d, std::string_view(p, take));
    if (d.textFlag == 1 && MemoTextConverted()) {
      const std::string ansi = StrOemToAnsi(std::string_view(p, take));
      std::memcpy(p, ansi.data(), take);
    }
    done += static_cast<std::int64_t>(take);
    if (end) {
      d.position += done;
      d.length = d.position;
      return static_cast<std::int32_t>(done);
    }
  }
  d.position += done;
  return static_cast<std::int32_t>(done);
}

std::int32_t WriteBlobStream(const char* buffer, std::int32_t count) {
  MemoFileRec* m = CurrentMemo();
  if (!m || buffer == nullptr) return 0;
  BlobDescriptor& d = m->blob;
  if (!d.open || d.mode != 2 || count < 1) return 0;
  std::int64_t n = count;
  if (d.length >= 0) n = std::min(n, d.length - d.position);
  if (n <= 0) return 0;
  std::int64_t done = 0;
  std::string piece;
  while (done < n) {
    const std::int64_t len = std::min(kPiece, n - done);
    piece.assign(buffer + done, static_cast<std::size_t>(len));
    DecideText(d, piece);
    if (d.textFlag == 1 && MemoTextConverted()) piece = StrAnsiToOem(piece);
    ApplyFilter(m->writeFilter, piece.data(), piece.size());
    const int err = WriteAt(m->file.get(), piece.data(), piece.size(), d.dataStart + d.position + done);
    if (err != 0) {
      BlobFail(*m, ErrnoToTzCode(err), "WriteBlobStream");
      return static_cast<std::int32_t>(done);
    }
    done += len;
  }
  d.position += done;
  d.highest = std::max(d.highest, d.position);
  return static_cast<std::int32_t>(done);
}

std::int64_t SeekBlobStream(std::int64_t offset, int origin) {
  MemoFileRec* m = CurrentMemo();
  if (!m) return 0;
  BlobDescriptor& d = m->blob;
  if (!d.open || d.block == 0 || d.mode == 0) return 0;
  std::int64_t p = d.position;
  switch (origin) {
    case 0: p = offset; break;
    case 1: p = d.position + offset; break;
    case 2:
      if (d.length >= 0) {
        p = offset + d.length;
      } else if (d.mode == 1) {
        // Read through to the end mark, keeping the descriptor's place.
        const std::int64_t size = FileSize(m->file.get());
        std::int64_t at = d.dataStart;
        std::int64_t length = std::max<std::int64_t>(0, size - d.dataStart);
        char chunk[512];
        while (at < size) {
          const long long got = ReadAt(m->file.get(), chunk, sizeof chunk, at);
          if (got <= 0) break;
          ApplyFilter(m->readFilter, chunk, static_cast<std::size_t>(got));
          const void* mark = std::memchr(chunk, 0x1A, static_cast<std::size_t>(got));
          if (mark) {
            length = at + (static_cast<const char*>(mark) - chunk) - d.dataStart;
            break;
          }
          at += got;
        }
        d.length = length;
        p = offset + length;
      } else {
        p = offset + d.highest;
      }
      break;
    default: break;
  }
  if (p < 0) p = 0;
  d.position = p;
  return p;
}

void DestroyBlobDescriptor() {
  MemoFileRec* m = CheckMemoField("DestroyBlobDescriptor");
  if (!m) return;
  BlobDescriptor d = m->blob;
  m->blob = BlobDescriptor{};
  if (!d.open || d.mode != 2) return;
  // WriteGroupHeader writes the FoxPro header, or FF FF 08 00 and the
  // length in every .DBT layout.
  bool ok = d.highest <= 0 || WriteGroupHeader(static_cast<std::int64_t>(d.block) * m->blockSize, d.highest);
  ok = SetNextFreeToEnd(*m) && ok;
  UnlockMemofile();
  if (ok) MemoFlush(*m);
}

}  // namespace zeb::xbase
