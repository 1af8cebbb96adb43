// Memo files of the work areas. A table with memo fields keeps the memo
// texts in a file beside it ("DBT" or "FPT"); a memo field holds the number
// of the block at which its memo begins. Three layouts: dBASE III (0x83),
// dBASE IV (0x8B, 0x8C and every other type but 0x83 and 0xF5) and FoxPro
// (0xF5). Memos are read and written as lines (GetMemo, the text stream,
// CloseMemo), as byte streams (the BLOB descriptor), appended whole
// (AddMemo) or copied between files (CopyMemo, PackMemofile).
//
// Every operation works on the engine's current work area and its memo file
// unless it names an area. Failures go to TzError after the memo lock is
// released; the operation then returns its failure value (0 or false).
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "xbase/core/hooks.h"
#include "xbase/dbf/dbffile.h"

namespace zeb::xbase {

struct WorkArea;

constexpr std::uint8_t kMemoDbase3 = 0x83;
constexpr std::uint8_t kMemoDbase4 = 0x8B;
constexpr std::uint8_t kMemoDbase7 = 0x8C;
constexpr std::uint8_t kMemoFoxPro = 0xF5;
// A request of unknown size (BLOB writes) and the open end of a free chain.
constexpr std::int32_t kMemoOpenEnd = 2147483647;
// Unit of appends and of the copy buffer.
constexpr std::size_t kMemoTransferUnit = 512;
// Lines of the line table.
constexpr int kMemoMaxLines = 1024;
// Elements a free-chain walk visits at most.
constexpr int kMemoChainLimit = 100;

// Transforms count bytes in place (memo read and write filters). Filters
// see data bytes only, never block headers, and must not depend on where
// the bytes lie.
using MemoFilter = std::function<void(char* bytes, std::size_t count)>;

// A byte-stream transfer of one memo (one per work area).
struct BlobDescriptor {
  bool open = false;
  std::uint8_t mode = 0;          // 0 none, 1 read, 2 write
  std::int64_t length = -1;       // data length, -1 unknown
  std::int64_t dataStart = 0;     // file offset of the first data byte
  std::int32_t headerSize = 0;    // 0 or 8
  std::int64_t position = 0;      // from the data start
  std::int32_t block = 0;         // first block of the memo
  std::int32_t textFlag = 0;      // -1 undetermined, 1 text, 0 binary
  std::int64_t highest = 0;       // write: end of the data written so far
};

// The memo file of one work area, from OpenMemofile to CloseMemofile.
struct MemoFileRec {
  FileHandle file;
  std::string name;
  std::uint8_t type = kMemoDbase4;
  std::uint16_t blockSize = 512;
  bool locked = false;
  BlobDescriptor blob;
  // Taken from the engine-wide settings when the file is opened (USE).
  MemoFilter writeFilter;
  MemoFilter readFilter;
  const WorkArea* owner = nullptr;
  // The first block as MarkMemofile found it.
  std::string markedHead;
};

// --- the unit
// Counted start: the first call fills the engine's MemoHookTable, the last
// DoneMemoUnit empties it. After ResetTzEngine the count starts again.
void InitMemoUnit();
void DoneMemoUnit();
bool MemoInstalled();

// --- engine-wide settings (each returns the previous value)
// Filters copied into a work area's memo file when it is opened.
void SetMemoFilters(MemoFilter writeFilter, MemoFilter readFilter);
// Line capacity of GetMemo: 253 when off, the width when on (1..254).
bool SetMemoWidth(bool on, int width);
// On: a closed output text stream flushes the memo file.
bool SetMemoFlushOnClose(bool on);

// --- layout helpers
bool IsDbase4Layout(std::uint8_t memoType);
// The memo type of a table's version byte (0x83, 0x8B, 0x8C, 0xF5; any
// other byte gives the default memo type, the new-table version).
std::uint8_t MemoTypeOfVersion(std::uint8_t version);
std::uint8_t MemoTypeOfArea(const WorkArea& a);

// --- memo files of the work areas
// The open memo file of area n, nullptr when none.
MemoFileRec* MemoFileOf(int area);
// The memo type of the current area; without a table 215 and the default.
std::uint8_t GetMemoType();
// An empty memo file of the default memo type and block size.
void CreateMemofile(std::string_view fileName);
// Opens the memo file of the current area's table; 0 or the reported code.
std::uint16_t OpenMemofile(std::string_view tableFileName);
void CloseMemofile();
// Closes the memo file, creates an empty one of the area's memo type in
// its place and opens it.
void ReCreateMemofile(std::string_view memoFileName);
// The block size stored in an open memo file: 512 for dBASE III; FoxPro the
// big-endian value at byte 6 (64 when the header is short), isFoxPro set;
// dBASE IV the value at byte 20 when bytes 18..19 hold 258 (else 512). A
// stored 0 gives 512.
std::uint16_t GetMemoBlockSize(int fd, std::uint8_t memoType, bool& isFoxPro);

// --- lock and header
bool LockMemofile();
bool UnlockMemofile();
// Locks, pads the file to whole blocks and returns its end offset (513 for
// a fresh dBASE III file: the next memo goes to offset 512); 0 on failure.
std::int64_t LockMemoPadAndSeekEOF(std::string_view caller);
// Appends a memo (trailing blanks and control characters removed); its
// block number, 0 when nothing was written.
std::int32_t AddMemo(std::string_view text);
// Next free block := the file's block count; adds the block-read counter
// (dBASE IV); releases the lock.
bool UpdateMemoHeader();
bool MainHeaderWrite(std::int64_t block);
// Reads the 8-byte header of block; block becomes the group's block count.
bool ReadGroupHeader(std::int32_t& block, std::array<std::uint8_t, 8>& header);
// Writes the block header of the layout at offset (nothing for offset <= 0).
bool WriteGroupHeader(std::int64_t offset, std::int64_t dataLength);

// --- free chain of the dBASE IV layout
// Enters the group at block (lengthBytes long) into the free chain; false
// after a reported error.
bool FreeBlockGroup(std::int32_t block, std::int64_t lengthBytes);
// First block of a group of needed blocks: the old group when it is large
// enough (its tail freed), a fitting free element (unlinked), or the end of
// the file. 0 on failure or for other layouts.
std::int32_t AllocBlockGroup(std::int32_t needed, std::int32_t oldBlock, std::string_view caller);

// --- the block reader
// Delivers the stored bytes of one memo one at a time.
class MemoByteReader {
 public:
  // Starts at a block offset of the current area's memo file; false when
  // not a byte can be read there.
  bool Start(MemoFileRec& memo, std::int64_t offset);
  // The next byte, -1 at the end of the memo.
  int Next();
  // Gives bytes back; they are delivered again, in order, by Next.
  void Unread(std::string_view bytes);
  // Buffer fills so far.
  std::int32_t Fills() const { return fills_; }

 private:
  bool Fill();
  MemoFileRec* memo_ = nullptr;
  std::int64_t next_ = 0;       // file offset of the next fill
  std::int64_t remaining_ = 0;  // bytes left (length reads)
  std::int64_t fileSize_ = 0;
  bool byLength_ = false;
  bool ended_ = false;
  std::size_t chunk_ = 512;
  std::string buffer_;
  std::size_t at_ = 0;
  std::string pushed_;  // given back, delivered from the back
  std::int32_t fills_ = 0;
};

// --- lines
enum class MemoLineEnd { Wrapped, Hard, Soft, EndOfMemo };

struct MemoLineTable {
  std::vector<std::string> lines;          // slots 1..1024 (0 unused)
  std::vector<std::uint8_t> flags;         // 13 hard, 141 soft, 0 wrapped
  int count = 0;                           // lines held
  std::string current;                     // output line being built
  int index = 1;                           // line index of the text stream
  void Clear();
};
MemoLineTable& MemoLines();
// Reads one line of at most capacity characters from the reader.
MemoLineEnd ReadMemoLine(MemoByteReader& reader, int capacity, std::string& line);
// Loads the memo at block into the line table (0: no lines; at most
// maxLines lines when maxLines > 0).
bool GetMemo(std::int32_t block, std::uint8_t maxLines = 0);
// Writes the line table as one memo; its block, 0 on failure or when there
// is nothing to write.
std::int32_t CloseMemo(std::int32_t oldBlock);

// A text stream bound to a memo reference of the current area (the area is
// remembered and made current for each operation).
class MemoTextStream {
 public:
  // Binds to the reference; false (nothing bound) after a reported error.
  bool Assign(std::int32_t& reference);
  // 0 or an I/O error number (100, 101, 102, 104).
  int OpenInput();
  int OpenOutput();
  int OpenAppend();
  // The next piece: a hard-ended line with CR LF, other lines without; false
  // past the last line.
  bool Read(std::string& piece);
  // A logical line (pieces joined up to CR LF, which is dropped).
  bool ReadLine(std::string& line);
  // Text as written to the stream; CR ends a line.
  int Write(std::string_view text);
  int WriteLine(std::string_view text);
  // Output: writes the memo and stores its block through the reference.
  int Close();
  int LastError() const { return error_; }

 private:
  int Enter();
  void Leave(int saved);
  void StoreLine(std::string_view text, std::uint8_t flag);
  std::int32_t* reference_ = nullptr;
  int area_ = 0;
  int mode_ = 0;  // 0 closed, 1 input, 2 output
  bool openedBefore_ = false;
  bool loaded_ = false;
  std::int32_t oldBlock_ = 0;
  bool newMemo_ = false;
  int error_ = 0;
};

// --- BLOB streams
// Resets the current area's descriptor to closed (filters act on each
// piece moved, so no window cache is kept).
void CreateMemoDescriptor();
// Opens a transfer (mode 1 read, 2 write); the memo's block, negated in a
// dBASE III file, 0 on failure. Reading block 0 gives an empty memo.
std::int32_t CreateBlobDescriptor(bool detectText, std::int32_t block, std::uint8_t mode);
std::int32_t ReadBlobStream(char* buffer, std::int32_t count);
// The caller's bytes are never changed (texts are converted in a copy).
std::int32_t WriteBlobStream(const char* buffer, std::int32_t count);
// origin 0 start, 1 position, 2 end; the new position.
std::int64_t SeekBlobStream(std::int64_t offset, int origin);
// Ends the transfer: a write gets its block header (length = the highest
// offset written) and the header's next free block = the file's blocks.
void DestroyBlobDescriptor();
// Every byte below 32 is one of 9, 10, 13, 15, 20, 21.
bool IsTextData(std::string_view bytes);

// --- copy and pack
struct MemoCopyContext {
  int sourceFd = -1;
  int destFd = -1;
  std::uint16_t sourceBlockSize = 512;
  std::uint16_t destBlockSize = 512;
  std::uint8_t sourceType = kMemoDbase4;
  std::uint8_t destType = kMemoDbase4;
  std::int32_t sourceBlock = 0;  // negative: block-headed in a dBASE III file
  std::int32_t destBlock = 0;
  MemoFilter destWriteFilter;
  MemoFilter sourceReadFilter;
  bool destIsDbase3 = false;
  std::int64_t destOffset = 0;
  std::string errorName;  // memo file named in error texts
  bool failed = false;    // set when CopyMemoData reported an error
};
// Copies memo block of the source area into the current area's memo file;
// the new reference (negative: block-headed in dBASE III), 0 when nothing.
std::int32_t CopyMemo(int sourceArea, std::int32_t block, bool inPlace);
std::int32_t CopyMemoData(MemoCopyContext& c);
// Packs the current area's memo file for Pack: the memos the records of
// the table's packed copy name go into a packed copy of the memo file and
// the table copy's references are rewritten to it; then both copies take
// their files' places (the table's by copy.commit), or neither does. 0 or
// the code of a failure that left table and memo file unchanged.
std::uint16_t PackMemofile(PackedTableCopy& copy);

}  // namespace zeb::xbase
