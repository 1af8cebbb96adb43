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

// A write action that failed because the system refused a write, told in
// the user's words: "Die Datei <file> kann nicht geschrieben werden: <reason>.
// <consequence>" (Windows-1252; the file as the engine names it).
class ETzWriteError : public ETzError {
 public:
  ETzWriteError(std::uint16_t code, std::string reason, std::string file, std::string consequence,
                std::int32_t appended = -1);
  // The message with the file shown as given (a converted path).
  std::string Text(std::string_view fileShown) const;
  std::uint16_t Code() const { return code_; }
  const std::string& Reason() const { return reason_; }
  const std::string& File() const { return file_; }
  // Records that went in before the failure; -1 for actions that append none.
  std::int32_t Appended() const { return appended_; }

 private:
  std::uint16_t code_;
  std::string reason_, file_, consequence_;
  std::int32_t appended_;
};

// Records the error; with the error switch on runs the stop step: raise mode
// throws ETzError, else the stop box through the callback and the process
// ends with exit code (code & 0xFF), or 1 when that is 0.
void TzError(std::uint16_t code, std::string_view text);

// "Fehler Nr. <code> (<text of the code>)"; empty for 0.
std::string TzErrorText(std::uint16_t code);
// The table text of a code alone ("Unbekannter Fehler" when absent).
std::string TzErrorTableText(std::uint16_t code);

// An engine failure's message as a user reads it: the engine's routine in
// brackets at the end of a line left out, a file in the program's
// temporary folders (a sort index) named as such instead of by its path,
// and the engine's "Fehler Nr. <code> (…)" of a refused write its cause.
std::string UserFailureText(std::string_view message);

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
// Text and caption whole. Flags as MessageBoxA (16 stop).
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

// The last write the system refused on one of the engine's files: its
// errno value and the file's path (0 and "" when none since the last
// ClearWriteFailure). The write primitives note it.
struct WriteFailure {
  int err = 0;
  std::string file;
};
void NoteWriteFailure(int fd, int err);
// The same for a file named by its path (one that could not be made,
// removed or renamed).
void NoteWriteFailureOf(std::string_view file, int err);
WriteFailure LastWriteFailure();
void ClearWriteFailure();
// Why a write failed, in the user's words (Windows-1252): "Der Datenträger
// ist voll" (ENOSPC, EFBIG, EDQUOT; without a noted errno the codes 101,
// 227, 1004, 1012), "keine Schreibberechtigung" (EACCES), "der
// Datenträger ist schreibgeschützt" (EROFS; codes 19, 150), "die Datei
// oder ihr Ordner ist unveränderlich (schreibgeschützt)" (EPERM),
// "Schreibfehler des Datenträgers" for any other noted errno; "" when
// neither names a refused write.
std::string WriteFailureReason(int err, std::uint16_t code);

// The cause of a refused write the engine reported with code, in the
// user's words: the noted errno's where it gives that code, else the
// code's own (WriteFailureReason); "" for a code of another failure.
std::string DiskCauseOf(std::uint16_t code);

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
