// Errors of the table engine: one routine records and reports every failure
// with a 16-bit code and a text naming the operation in brackets. All texts
// are Windows-1252.
#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace zeb::xbase {

class ETzError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Records the error; with the error switch on runs the stop step: raise mode
// throws ETzError, else the stop box through the callback and the process
// ends with exit code (code & 0xFF), or 1 when that is 0.
void TzError(std::uint16_t code, std::string_view text);

// "Fehler Nr. <code> (<text of the code>)"; empty for 0.
std::string TzErrorText(std::uint16_t code);
// The table text of a code alone ("Unbekannter Fehler" when absent).
std::string TzErrorTableText(std::uint16_t code);

// Returns the last error text, clears it and the last code.
std::string TzTakeLastErrorText();
// Empty when the last code is 0; else TzErrorText(last) + CR LF + last text,
// both then cleared.
std::string TzLastErrorMessage();

// Each returns the previous value.
bool SetTzErrorSwitch(bool on);
bool SetTzRaiseMode(bool on);

[[noreturn]] void RaiseTzError(const std::string& message);

// Message box through the callback; returns the button (1 OK, 2 Cancel, ...).
// Text and caption are cut to 255 characters. Flags as MessageBoxA (16 stop).
int TzMessageBox(std::string_view text, std::string_view caption, std::uint16_t flags);

// The engine's largest allocation (always 2147483647).
constexpr std::int64_t TzMaxAvail() { return 2147483647; }

// The current error code (0 = the last step succeeded).
std::uint16_t TzCurrentError();
// Sets the current error code without reporting (callers that clear it).
void SetTzCurrentError(std::uint16_t code);

// errno -> engine code: ENOENT 2, ENOTDIR 3, EMFILE/ENFILE 4, EACCES/EPERM 5,
// EBADF 6, ENOMEM 8, EROFS 19, EWOULDBLOCK/EAGAIN (lock) 33,
// ENOSPC/EFBIG 101, 0 -> 0, else 31.
std::uint16_t ErrnoToTzCode(int err);

// Clears current and last error state without touching the switches.
void ClearTzErrorState();

// What a table's open found wrong with its files, noted with the error it
// raises (code): the reason a file is no dBase table, a field of an invalid
// type (name and type letter), a memo file that is missing or could not be
// opened (its path), a field list that cannot be read. Cleared with the
// error state.
enum class TableDamageKind : std::uint8_t { None, NotDbase, FieldType, MemoMissing, MemoNotOpened, FieldList };
struct TableDamage {
  TableDamageKind kind = TableDamageKind::None;
  std::uint16_t code = 0;
  std::string why;    // NotDbase (Windows-1252)
  std::string field;  // FieldType
  std::string type;   // FieldType: the letter, "" for none
  std::string file;   // MemoMissing
};
void NoteTableDamage(TableDamage damage);
// The damage noted with the last error; kind None when it had none.
const TableDamage& LastTableDamage();

}  // namespace zeb::xbase
