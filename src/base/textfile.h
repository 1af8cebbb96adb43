// Text files read and written line by line, with I/O result codes instead
// of exceptions, and the program's one shared WorkTextFile with its line
// readers and writers.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/types.h"
#include "platform/real48.h"

namespace zeb {

// I/O result codes: 0 ok, 2 not found, 100 read error, 101 disk full
// (ENOSPC, EDQUOT, EFBIG), 103 not open, 104 not open for reading,
// 105 not open for writing, 150 write protected (EROFS, EACCES, EPERM),
// other errno values as they are (EBUSY: the file is already open).
constexpr int kIoReadError = 100;
constexpr int kIoDiskFull = 101;
constexpr int kIoNotOpen = 103;
constexpr int kIoNotOpenForInput = 104;
constexpr int kIoNotOpenForOutput = 105;
constexpr int kIoWriteProtected = 150;
int IoResultFromErrno(int err);
// What a result code means, in German (code page 850).
std::string IoResultText(int code);

// A text file. Reset takes the path as assigned, or the one file whose name
// matches it in any case when no file of that exact name exists; Rewrite
// always writes the exact name. Writing goes through a buffer to a temporary
// file beside the target, which replaces the target on a Close without error
// (a device is written directly, unbuffered). Assign, Reset and Rewrite are refused
// while the file is open (EBUSY); on the shared WorkTextFile the refusal
// also sets AbortFlag.
class TextFile {
 public:
  TextFile();
  ~TextFile();
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;

  void Assign(std::string_view path);  // UTF-8 path
  const std::string& Path() const;
  int Reset();    // open for reading
  int Rewrite();  // create for writing (temporary beside the target)
  // Whether the next Rewrite's file is flushed to disk at Close (default);
  // off for work files the program deletes itself.
  void SetSync(bool sync);
  bool IsOpen() const;
  bool IsWriting() const;
  // Reads one line (CR LF, LF or none at the end); past the end "" and 0.
  int ReadLine(std::string& line);
  // Reads the rest of the file as it stands, line ends included; EFBIG
  // (and nothing) when it holds more than limit bytes.
  int ReadRest(std::string& bytes, std::size_t limit);
  // Whether the line ReadLine gave last had its line end (false for a last
  // line that stops inside it, and past the end).
  bool LastLineEnded() const;
  bool Eof();
  int Write(std::string_view s);      // no line end
  int WriteLine(std::string_view s);  // with CR LF
  // Closes; a file written without error replaces the target. A write
  // error before or during close leaves the old target and no temporary.
  int Close();
  // Closes without replacing the target.
  void Discard();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  friend TextFile& WorkTextFile();
};

TextFile& WorkTextFile();
// Closes the shared file without replacing its target and forgets its name.
void ResetWorkTextFile();

// Assign and open the shared file; false with AbortFlag set when it is
// already open or cannot be opened (nothing is shown).
bool OpenWorkTextFileForReading(std::string_view path);
bool OpenWorkTextFileForWriting(std::string_view path);

// Line readers of WorkTextFile. An I/O error sets AbortFlag; past the end
// of the file they give "" and 0 without error. A line that does not convert
// gives 0.
void ReadTextLine(std::string& s);
void ReadTextLineFields4(std::string& a, std::string& b, std::string& c, std::string& d);
void ReadTextLineChar(char& c);
void ReadTextLineInt(std::int32_t& n);
void ReadTextLineLongInt(std::int32_t& n);
void ReadTextLineWord(std::uint16_t& n);
void ReadTextLineExt(Real& x);
void ReadTextLineReal48(Real48& x);
// b unchanged when AbortFlag is set after the read.
void ReadTextLineTrue(bool& b);
void ReadTextLineNotFalse(bool& b);

// Line writers of WorkTextFile; they write whatever AbortFlag holds and set
// it on an I/O error.
void WriteTextLine(std::string_view s);
void WriteTextLineStr(std::string_view s);
void WriteTextNoEol(std::string_view s);
void WriteTextLineInt(long long n);
void WriteTextLineChar(Byte b);  // "TRUE" / "FALSE"
void WriteTextLineFloat(Real x);  // the line FloatToStoredText(x)
void WriteTextLineFields4(std::string_view a, std::string_view b, std::string_view c, std::string_view d);
void WriteTextLineFields6(std::string_view a, std::string_view b, std::string_view c, std::string_view d,
                          std::string_view e, std::string_view f);
void WriteTextLineFields8(std::string_view a, std::string_view b, std::string_view c, std::string_view d,
                          std::string_view e, std::string_view f, std::string_view g, std::string_view h);
void WriteProgramHeaderLines();
// The text of a stored value, whatever the display preference: as with
// three decimals preferred.
std::string FloatToStoredText(Real x);

// Checked operations on any text file: a failure is shown by ShowError and
// sets AbortFlag.
void WriteStringChecked(TextFile& f, std::string_view text);
void CloseFileChecked(TextFile& f);
void RewriteChecked(TextFile& f);
// Creates the file; on failure asks Retry/Cancel (also while error boxes are
// switched off). Cancel sets AbortFlag.
void RewriteWithRetry(TextFile& f);

}  // namespace zeb
