// DBF table files: header and field descriptors, records by number, header
// commit, creation of tables and memo files, and conversion between the
// stored record (text, as in the file) and the caller's record buffer.
// Failures go to TzError; callers read TzCurrentError() after each call.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace zeb::xbase {

// A field: name (upper case, at most 10 characters), type letter, length,
// decimals and offset in the stored record (field 1 starts at 1).
struct FieldDesc {
  std::string name;
  char type = 'C';
  std::uint8_t length = 0;
  std::uint8_t decimals = 0;
  std::uint16_t offset = 0;
};

// Record conversion procedure over the bytes after the deletion flag.
using RecordProc = std::function<void(char* bytes, std::size_t count)>;

enum HeaderState : std::uint8_t {
  kHeaderClosed = 0,
  kHeaderOnDisk = 1,
  kHeaderReplaced = 2,  // header must be rewritten
  kHeaderAppended = 3,  // header and end-of-file byte must be rewritten
};

// Lock state of an area (kept here: the header write needs to know it).
enum LockState : std::uint8_t { kLockNone = 0, kLockFile = 1, kLockAppend = 2, kLockRecords = 3 };

// An open file descriptor, closed on destruction.
class FileHandle {
 public:
  FileHandle() = default;
  explicit FileHandle(int fd) : fd_(fd) {}
  ~FileHandle() { Close(); }
  FileHandle(FileHandle&& o) noexcept : fd_(o.fd_) { o.fd_ = -1; }
  FileHandle& operator=(FileHandle&& o) noexcept;
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // 0 or errno of close().
  int Close();
 private:
  int fd_ = -1;
};

// The file layer's part of a work area. The work-area unit derives its
// WorkArea from it.
// Kinds of field in the caller's record buffer (see FieldBufferKind).
enum class BufferKind { None, Text, Date, Int32, Real48, Int64, Double, Logical, MemoRef };

// Where a field lies in the stored record and in the record buffer.
struct FieldSlot {
  BufferKind kind = BufferKind::None;
  std::uint16_t storedOffset = 0;
  std::uint8_t length = 0;
  std::uint8_t decimals = 0;
  std::size_t bufferOffset = 0;
};

struct DbfTable {
  std::string fileName;    // full path; also the table's name in messages
  std::string shortName;   // base name, at most 12 characters
  std::array<std::uint8_t, 32> header{};  // first 32 bytes as last read or written
  bool hasMemo = false;
  std::uint16_t headerLength = 0;
  std::uint16_t recordLength = 0;
  int fieldCount = 0;
  std::vector<FieldDesc> fields;  // fields[0] is field 1
  // The fields' slots, made from fields when first needed (FieldSlots).
  mutable std::vector<FieldSlot> fieldSlots;
  std::uint8_t headerState = kHeaderClosed;
  std::string lastUpdate;  // YYYYMMDD
  std::string stored;      // the current record as stored (recordLength bytes)
  std::int32_t recordCount = 0;
  bool countFromFileSize = false;  // opened with the count repair switch on
  std::int32_t recordNumber = 0;
  bool eof = false;
  bool bof = false;
  std::uint16_t fileMode = 0;  // 66 shared read/write, 18 exclusive ...
  bool exclusive = false;      // opened exclusively: no physical locks needed
  bool oemText = false;        // texts stored in code page 850
  RecordProc beforeWrite;      // user value 1
  RecordProc afterRead;        // user value 2
  FileHandle file;
  std::uint8_t lockState = kLockNone;
  // Virtual files: the hook does the work (hooks.h).
  bool isVirtual = false;
  std::uint8_t pendingCommand = 0;
  std::int32_t pendingRecord = 0;
  // Read-ahead of whole stored records for forward scans of exclusive
  // tables; dropped by any write and by close.
  std::string readAhead;
  std::int32_t readAheadFirst = 0;
  std::int32_t readAheadCount = 0;
  // Blocks of whole records (block b holds the records from b * k + 1, k
  // records of up to 64 KiB) read for the steps of a walk through an
  // exclusive table in another order (an index's); dropped with the
  // read-ahead.
  std::unordered_map<std::int32_t, std::string> recordBlocks;
  std::size_t recordBlockBytes = 0;
  // Records of a walk read one by one since the read-ahead was dropped: a
  // short walk after a seek reads neither ahead nor a block.
  std::int32_t walkSingleReads = 0;

  std::uint8_t Version() const { return header[0]; }
  bool IsOpen() const { return file.valid(); }
  void DropReadAhead() {
    readAhead.clear();
    readAheadCount = 0;
    readAheadFirst = 0;
    if (!recordBlocks.empty()) recordBlocks.clear();
    recordBlockBytes = 0;
    walkSingleReads = 0;
  }
};

// --- version bytes
bool CheckDbfVersion(std::uint8_t version);
// "FPT" for 0xF5 and 0x30, else "DBT" (refused bytes use the new-table version).
std::string DbfMemoExtension(std::uint8_t version);
// The memo file of a table: its name with the memo extension, written in
// lower case when the table's extension is (so "a.dbf" goes with "a.dbt"),
// and an existing file of that name in other case when there is one.
std::string MemoFileName(std::string_view tableName, std::uint8_t version);
// The layouts a version byte names: none when own version bytes are set
// (their tables have the dBase III layout).
bool IsDbase2(std::uint8_t version);
bool IsDbase7(std::uint8_t version);
bool IsDbase2(const DbfTable& t);
bool IsDbase7(const DbfTable& t);

// The head of a table file as its open reads it: the prolog, the layout
// its version byte names, and the field descriptors up to their end mark.
struct DbfHead {
  std::array<std::uint8_t, 32> prolog{};
  bool dbase2 = false;
  bool dbase7 = false;
  bool hasMemo = false;
  std::int64_t count = 0;  // as stored: 16 bits in dBase II, else signed 32 bits
  std::uint16_t headerLength = 0;
  std::uint16_t recordLength = 0;
  std::string lastUpdate;  // YYYYMMDD
  int slotCount = 0;       // descriptor slots the header leaves room for
  // The descriptors before the end mark (all slots when there is none),
  // their types not yet checked.
  std::vector<FieldDesc> fields;
  bool terminated = false;  // a slot begins with the end mark 0x0D
  // File offset of the end mark: at the start of a slot, or the first byte
  // after the last whole slot; -1 when the header holds none there.
  std::int64_t endMark = -1;
  std::uint32_t DescriptorStart() const { return dbase2 ? 8 : dbase7 ? 68 : 32; }
  std::uint32_t SlotSize() const { return dbase2 ? 16 : dbase7 ? 48 : 32; }
};
enum class DbfHeadFault : std::uint8_t {
  NoFault,
  ShortProlog,   // fewer than 32 bytes
  Version,       // a version byte CheckDbfVersion refuses
  ShortDbase2,   // a dBase II file shorter than its 521-byte header
  FieldCount,    // room for no descriptor or for more than 255
  ShortList,     // the descriptors could not be read whole
};
// The prolog of the file (fileSize bytes long) into h.
DbfHeadFault ReadDbfProlog(int fd, std::int64_t fileSize, DbfHead& h);
// The descriptors of a head whose prolog was read, into h.fields.
DbfHeadFault ReadDbfFields(int fd, DbfHead& h);

// --- file modes (DOS numbering): low nibble 0 read, 1 write, 2 read/write;
// share nibble 0x40 deny none = shared, anything else exclusive.
constexpr std::uint16_t kModeShared = 66;
constexpr std::uint16_t kModeExclusive = 18;
bool IsExclusiveMode(std::uint16_t fileMode);

// Default extension, absolute path, and a missing file replaced by the one
// name in its folder that matches the last component ignoring case.
std::string ResolveTablePath(std::string_view name, std::string_view extension = "DBF");

// --- open, read, write, close
// Opens t.fileName with the file mode; shared modes hold a read lock, the
// exclusive ones a write lock on byte 0x80000000 (conflict: 32, file closed).
// On success: header, fields, stored-record buffer, header state 1, record 1
// (0 with EOF and BOF when empty). On failure the table holds no file.
void OpenDbf(DbfTable& t, std::uint16_t fileMode);
// How a record is read: alone (a seek or a GO lands on it), or as a step
// of a walk through the table, which an exclusive table serves from its
// read-ahead and record blocks.
enum class RecordRead : std::uint8_t { One, Walk };
void GetDbfRecord(DbfTable& t, std::int32_t n, RecordRead how = RecordRead::Walk);
// A hint that record n of an exclusive table is read soon: its bytes,
// when its block is held, are fetched into the processor's cache.
void PrefetchRecord(const DbfTable& t, std::int32_t n);
void PutDbfRecord(DbfTable& t, std::int32_t n);
void AppendDbfRecord(DbfTable& t);
void WriteDeletedFlag(DbfTable& t, std::int32_t n);
void CommitDbf(DbfTable& t);
// The first bytes of the header of t for a file of count records, stamped
// today, as the header write puts them (dBase II: bytes 0 to 7, else 0 to
// 31); t's header and last update follow.
void StampHeader(DbfTable& t, std::uint8_t* head, std::int32_t count);
void CloseDbf(DbfTable& t);
// fsync; failure: TzError (code, "Zurückschreiben (Flush) unmöglich ...").
void FlushFile(int fd);

// Converts the share lock of an open table (same descriptor, so the area's
// own byte-range locks survive); 0 or 32. Sets fileMode.
std::uint16_t DbfSetShareMode(DbfTable& t, bool exclusive);

// Records in the file: (size - header length) div record length, >= 0;
// -1 when the size cannot be read.
std::int32_t DbfRecordsInFile(const DbfTable& t);
// The record count in the file's header, held to the whole records of the
// file (the file size with the count repair switch on); -1 when unreadable.
// Bytes after the counted records are not records.
std::int32_t DbfRecordsInHeader(const DbfTable& t);

// Creates an empty table (and its memo file) and leaves it closed; the name
// gets the default extension. fields: name, type, length, decimals.
void CreateDbf(DbfTable& t, std::string_view fileName, const std::vector<FieldDesc>& fields);
void NewMemoFile(std::string_view fileName, std::uint8_t memoType, std::uint16_t blockSize,
                 std::string_view routineName);

// --- record buffer (caller's typed record)
// Byte 0 deleted flag, then per field: C length+1 (length byte + text),
// D length+3 (length byte + date text), N/F: length <= 9 with 0 decimals
// int32 (4), length <= 9 with decimals 6-byte real (6), length >= 10 with
// 0 decimals int64 (8), with decimals double (8); L 1; M int32 (4); other 0.
BufferKind FieldBufferKind(const FieldDesc& f);
std::size_t FieldBufferSize(const FieldDesc& f);
std::size_t RecordBufferSize(const DbfTable& t);
// Offset of field i (1-based) in the record buffer; 0 gives the flag byte.
std::size_t FieldBufferOffset(const DbfTable& t, int i);
// The slots of t's fields, in field order.
const std::vector<FieldSlot>& FieldSlots(const DbfTable& t);

void UnpackRecordData(const DbfTable& t, std::uint8_t* buffer);
// Field (1-based) only; the deleted flag and other fields stay as they are.
void UnpackField(const DbfTable& t, std::uint8_t* buffer, int field);
// base: the record as stored before (recordLength bytes); a field whose
// value reads the same as there keeps base's bytes, unless it is marked in
// set (by field number - 1). Empty base: every field packed.
// begin: the record as read when an edit began (or empty): then a field
// counts as changed when it is marked in set or its value differs from
// begin's; an unchanged field keeps base's bytes (a change another program
// wrote meanwhile stays); a field changed in base since begin too is
// written only when overwrite (field number - 1, base's text, the edit's
// text) says so.
void PackRecordData(DbfTable& t, const std::uint8_t* buffer, std::string_view base = {},
                    const std::vector<bool>& set = {}, std::string_view begin = {},
                    const std::function<bool(int, std::string_view, std::string_view)>& overwrite = {});

// Short strings of the record buffer.
std::string ReadShortString(const std::uint8_t* p, std::size_t capacity);
void WriteShortString(std::uint8_t* p, std::size_t capacity, std::string_view s);

// Stored number text of a value (decimal point "."): right-aligned in
// width; "*" x width when it does not fit or is not finite.
std::string StoredNumber(long double value, int width, int decimals);
std::string StoredInteger(std::int64_t value, int width);

enum class CodePageDirection { AfterRead, BeforeWrite };
// Converts count/recordLength records in place (bytes after each flag):
// after reading the procedure then OEM->ANSI; before writing ANSI->OEM then
// the procedure. Nothing unless oemText or a procedure is given.
void RecordCodePage(CodePageDirection dir, bool oemText, const RecordProc& proc,
                    std::size_t byteCount, std::size_t recordLength, char* buffer);

std::string TableShortName(const DbfTable& t);

// System byte-range lock through Engine().sysLock: 0 or errno.
int SysLockRange(int fd, short type, std::int64_t offset, std::int64_t length);
// Byte of the share lock (outside the lock region).
constexpr std::int64_t kShareLockByte = 0x80000000LL;

// Positioned reads and writes that go on after short transfers.
// ReadAt: the count read (less at the end of the file), or -1 with errno.
long long ReadAt(int fd, void* buf, std::size_t n, std::int64_t off);
// What ReadAt has read, for the tests and benches: calls, bytes, and the
// largest single call (reset by the caller).
struct DbfReadCounters {
  std::uint64_t reads = 0;
  std::uint64_t bytes = 0;
  std::uint64_t largest = 0;
};
DbfReadCounters& DbfReadCounter();
// WriteAt: 0 or errno (ENOSPC when nothing more is stored).
int WriteAt(int fd, const void* buf, std::size_t n, std::int64_t off);

// Tests: a failure of the engine's file steps. Called before every write
// (WriteAt) and every flush, link and rename of a ReplacementFile with the
// step and its byte count (0 for the others); it may lower n to the bytes
// that reach the file and returns the errno the step then fails with (0:
// the step goes through whole). A refused link is a file system without
// links.
enum class FileStep : std::uint8_t { Write, Sync, Link, Rename };
void SetFileFault(std::function<int(FileStep step, std::size_t& n)> fault);

// A file written beside target under one of the program's temporary names
// ("." + name + the temporary mark + six characters), with the target's
// mode (and owner where allowed): Replace puts it in the target's place in
// one step. Removed when destroyed unless it was put in place. A failed
// open, flush, link or rename is noted as a refused write of the target.
// KeepFormer before Replace keeps the target as it was under another such
// name (a second link to it, or the target itself moved there where the
// file system has no links) until RestoreFormer puts it back or the
// ReplacementFile goes (then it is removed once the copy is in place, and
// put back when it never was).
class ReplacementFile {
 public:
  ReplacementFile() = default;
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;
  // 0 or an errno value.
  int Open(const std::string& target);
  int fd() const { return file_.get(); }
  const std::string& Path() const { return path_; }
  const std::string& Target() const { return target_; }
  // fsync, the target kept, the rename over the target, the kept target
  // back: each 0 or an errno value (then the target is as it was).
  int Sync();
  int KeepFormer();
  int Replace();
  int RestoreFormer();
  // The kept target's name, left on the disk when the ReplacementFile goes
  // (a RestoreFormer that failed); "" when none is kept.
  std::string KeepFormerFile() { return std::exchange(former_, std::string()); }
  // The descriptor of the file now in the target's place.
  FileHandle Take() { return std::move(file_); }

 private:
  int Failed(int err);
  std::string target_, path_;
  std::string name_;    // the target as named (target_: where its link points)
  std::string former_;  // the target as it was, kept by KeepFormer
  bool moved_ = false;  // the target itself moved to former_
  FileHandle file_;
};
// A write the system refused on a temporary copy (a ReplacementFile) is
// told on the file it was to replace.
void NoteCopyFailure();

}  // namespace zeb::xbase
