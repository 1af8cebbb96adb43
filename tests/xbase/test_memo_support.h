// Helpers for the memo tests: a fresh engine with the memo unit, tables
// with a memo field in each layout, memos written and read by lines.
#pragma once
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "x2_support.h"
#include "xbase/memo/memo.h"

namespace zeb::xbase::test {

// Fields NAME C(10), NOTE M.
inline std::string MakeMemoTable(const ScratchDir& dir, const std::string& name, std::uint8_t version,
                                 std::uint16_t blockSize = 512) {
  const std::uint8_t oldVersion = SetNewTableVersion(version);
  const std::uint16_t oldSize = SetMemoBlockSize(blockSize);
  const std::string path = dir / name;
  CreateTable(path, {Fd("NAME", 'C', 10), Fd("NOTE", 'M', 10)});
  SetNewTableVersion(oldVersion);
  SetMemoBlockSize(oldSize);
  return path;
}

// Writes lines (each ended CR LF) as a memo replacing oldBlock; the block.
inline std::int32_t WriteLines(const std::vector<std::string>& lines, std::int32_t oldBlock = 0) {
  MemoLineTable& t = MemoLines();
  t.Clear();
  t.count = static_cast<int>(lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i) t.lines[i + 1] = lines[i];
  return CloseMemo(oldBlock);
}

// The memo at block as the text stream delivers it.
inline std::string ReadMemoText(std::int32_t block) {
  std::int32_t ref = block;
  MemoTextStream s;
  if (!s.Assign(ref) || s.OpenInput() != 0) return "<error>";
  std::string all, piece;
  while (s.Read(piece)) all += piece;
  s.Close();
  return all;
}

// The BLOB bytes of a memo (no text conversion).
inline std::string ReadBlob(std::int32_t block) {
  if (CreateBlobDescriptor(false, block, 1) == 0 && block != 0) return "<error>";
  std::string all;
  char buf[1000];
  for (;;) {
    std::int32_t n = ReadBlobStream(buf, sizeof buf);
    if (n <= 0) break;
    all.append(buf, static_cast<std::size_t>(n));
  }
  DestroyBlobDescriptor();
  return all;
}

inline std::int32_t WriteBlob(const std::string& bytes, bool detectText = false) {
  std::int32_t b = CreateBlobDescriptor(detectText, 0, 2);
  if (b == 0) return 0;
  WriteBlobStream(bytes.data(), static_cast<std::int32_t>(bytes.size()));
  DestroyBlobDescriptor();
  return b;
}

// Sets the memo reference of record r (field 2) in the current area.
inline void SetNote(std::int32_t r, std::int32_t block) {
  GO(r);
  SetBufferInteger(*CurrentWorkArea(), 2, block);
  Replace();
}

inline std::int32_t NoteOf(std::int32_t r) {
  GO(r);
  return static_cast<std::int32_t>(BufferInteger(*CurrentWorkArea(), 2));
}

inline unsigned U32At(const std::string& b, std::size_t at, bool bigEndian = false) {
  unsigned v = 0;
  for (int i = 0; i < 4; ++i) {
    unsigned byte = static_cast<unsigned char>(b[at + static_cast<std::size_t>(bigEndian ? i : 3 - i)]);
    v = (v << 8) | byte;
  }
  return v;
}

// The whole file in one read.
inline std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  std::string b(static_cast<std::size_t>(std::max<std::streamoff>(0, in.tellg())), '\0');
  in.seekg(0);
  in.read(b.data(), static_cast<std::streamsize>(b.size()));
  return b;
}

inline std::string Hex(const std::string& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string h;
  for (unsigned char c : bytes) {
    h += digits[c >> 4];
    h += digits[c & 15];
  }
  return h;
}

// Writes, with a script of its own, a dBASE IV table (version 0x8B; NAME
// C(10) "R<i>", NOTE M) with the given memos (empty: no memo) and a free
// group before every second memo, chained from the header. Returns the
// script's exit status; out gets its output.
inline int MakeScriptDbase4(const ScratchDir& dir, const std::string& name, int blockSize,
                            const std::vector<std::string>& memos, std::string& out) {
  std::string list;
  for (const auto& m : memos) list += "bytes.fromhex('" + Hex(m) + "'),";
  const std::string program =
      "import struct\n"
      "bs = " + std::to_string(blockSize) + "\n"
      "texts = [" + list + "]\n"
      "first = max(1, -(-(36 if bs >= 36 else 24) // bs))\n"
      "out = bytearray(first * bs)\n"
      "refs, free, pos = [], [], first\n"
      "for i, t in enumerate(texts):\n"
      "    if i % 2 == 1:\n"
      "        n = 1 + i % 3\n"
      "        free.append((pos, n)); out += bytes(n * bs); pos += n\n"
      "    if not t:\n"
      "        refs.append(0); continue\n"
      "    rec = b'\\xff\\xff\\x08\\x00' + struct.pack('<I', len(t) + 8) + t\n"
      "    n = -(-len(rec) // bs)\n"
      "    out += rec + bytes(n * bs - len(rec)); refs.append(pos); pos += n\n"
      "nxt = pos\n"
      "for b, n in reversed(free):\n"
      "    struct.pack_into('<II', out, b * bs, nxt, n); nxt = b\n"
      "struct.pack_into('<I', out, 0, nxt)\n"
      "out[8:16] = b'" + name + "'.ljust(8, b'\\0')[:8]\n"
      "struct.pack_into('<HH', out, 18, 258, bs)\n"
      "open('" + (dir / (name + ".dbt")) + "', 'wb').write(out)\n"
      "fields = [(b'NAME', b'C', 10), (b'NOTE', b'M', 10)]\n"
      "hl = 32 + 32 * len(fields) + 1\n"
      "hdr = struct.pack('<BBBBIHH20x', 0x8B, 124, 1, 1, len(texts), hl, 21)\n"
      "for fn, ft, fl in fields:\n"
      "    hdr += fn.ljust(11, b'\\0') + ft + bytes(4) + bytes([fl, 0]) + bytes(14)\n"
      "hdr += b'\\r'\n"
      "recs = b''.join(b' ' + ('R%d' % i).encode().ljust(10) + (str(r).rjust(10).encode() if r else b' ' * 10)\n"
      "                for i, r in enumerate(refs))\n"
      "open('" + (dir / (name + ".dbf")) + "', 'wb').write(hdr + recs + b'\\x1a')\n"
      "print(' '.join(str(r) for r in refs))\n";
  return RunPython(dir, program, out);
}

// Engine reset, error switch off, memo unit started, area 1.
class MemoTest : public AreaTest {
 protected:
  void SetUp() override {
    AreaTest::SetUp();
    InitMemoUnit();
  }
  // Opens path exclusively in area 1.
  void Open(const std::string& path, const std::string& options = " EXCLUSIVE") {
    Select(1);
    USE(path + options);
    ASSERT_EQ(TzCurrentError(), 0) << TzTakeLastErrorText();
    ASSERT_NE(MemoFileOf(1), nullptr);
  }
  std::string MemoPath() const { return MemoFileOf(CurrentArea())->name; }
  std::string LastText() { return TzTakeLastErrorText(); }
};

}  // namespace zeb::xbase::test
