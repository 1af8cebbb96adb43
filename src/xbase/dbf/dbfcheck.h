// Checks of a table file's bytes beyond what its open needs: a head and
// field list that agree with the records, records holding only what a
// dBase program writes, and the records of the whole-number keys of a
// numeric field. Made once per file state and read from the head the open
// reads (ReadDbfProlog, ReadDbfFields).
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace zeb::xbase {

// What the stored bytes of a number field hold. A dBase program writes a
// number right-aligned: blanks, an optional sign, digits with at most one
// point; or blanks only (no value), or asterisks (too wide for the field);
// some write an exponent.
enum class StoredNumberKind : std::uint8_t {
  Number,
  Empty,
  Overflow,
  Exponent,
  LoneSign,       // a sign without digits
  SeveralPoints,
  Comma,          // a comma for the decimal point
  Nul,            // a NUL byte anywhere
  BlankInside,    // a blank between the characters of the number
  BlankAfter,     // blanks after it: not right-aligned
  NotNumber,      // any other byte
};
StoredNumberKind ClassifyStoredNumber(std::string_view bytes);
// Whether a program may have written the bytes: Number, Empty, Overflow
// and Exponent.
bool WrittenNumber(StoredNumberKind kind);

// What a check found wrong, with where it lies.
enum class DbfFault : std::uint8_t {
  NoFault,
  ShortHead,         // shorter than its 32-byte prolog
  HeaderLength,      // value: the header length (no room for a field, or past the file's end)
  HeadUnreadable,
  NoEndMark,         // the field list has no end mark inside the header
  RecordLength,      // value: the record length, other: 1 + the fields' lengths
  Decimals,          // field: value its decimals, other its length (no room for a digit and the point)
  ShortFile,         // value: the record count the head names
  RecordUnreadable,  // record
  DeletionMark,      // record: a mark other than " " and "*"
  FieldByte,         // record, field, type, bytes: a date or logical field holding a byte its type cannot
  NumberBytes,       // record, field, bytes, number: no number a program writes
  DecimalsValue,     // record, field, bytes, value: the field's decimals, which do not show the number as stored
  KeyEmpty,          // record, field: a key of blanks
  KeyNotNumber,      // record, field, bytes, number
  KeyNotWhole,       // record, field, bytes: a number that is no whole number from 1 on
  KeyTwice,          // record: the first, other: the second record, field, value: the key
};
struct DbfFinding {
  DbfFault fault = DbfFault::NoFault;
  std::uint32_t record = 0;
  std::uint64_t value = 0;
  std::uint64_t other = 0;
  std::string field;  // its name as the open reads it
  char type = 0;
  std::string bytes;  // the field's stored bytes
  StoredNumberKind number = StoredNumberKind::Number;
  explicit operator bool() const { return fault != DbfFault::NoFault; }
};

// Why a key's stored bytes name no record by a whole number from 1 on
// (KeyEmpty, KeyNotNumber, KeyNotWhole with the bytes); NoFault when they do
// (number set).
DbfFinding StoredKeyDamage(std::string_view bytes, std::int32_t& number);

// The check of a table file of the dBase III, IV or 7 layout (by the
// engine's version bytes, its own ones included): its damage (NoFault for a
// sound file, for other layouts and for a file that cannot be opened), and
// the records its head counts and those whole ones the file holds past
// them (an append cut short; no damage: the count holds).
struct DbfFileCheck {
  DbfFinding damage;
  bool checked = false;  // a layout the check reads, and the file opened
  std::uint32_t count = 0;
  std::int64_t pastCount = 0;
};
DbfFileCheck CheckDbfFile(const std::string& path);

// The records of the keys of numeric field `field` (1-based) of a sound
// table file, each key's first record, into keys; every record's key
// (marked ones too: a lookup by number finds them) must be a whole number
// from 1 on, and no two alike. keys is null for a file that cannot be
// read, a layout the check does not read, or a damaged file (its damage
// returned).
DbfFinding DbfKeyRecords(const std::string& path, int field, const std::map<std::int32_t, std::int32_t>*& keys);

// The stored bytes of each field of that record (1-based) of a sound
// table file as its check read them, when it holds them (a small table,
// unchanged since); false else.
bool DbfHeldFields(const std::string& path, std::int32_t record, std::vector<std::string>& texts);

}  // namespace zeb::xbase
