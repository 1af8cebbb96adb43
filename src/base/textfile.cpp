#include "base/textfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <vector>

#include "base/dialogs.h"
#include "base/files.h"
#include "base/format.h"
#include "base/globals.h"
#include "base/text.h"
#include "platform/files.h"
#include "platform/codepage.h"
#include "platform/oem_literal.h"

namespace zeb {

int IoResultFromErrno(int err) {
  switch (err) {
    case 0: return 0;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return kIoDiskFull;
    case EROFS:
    case EACCES:
    case EPERM: return kIoWriteProtected;
    default: return err;
  }
}

// ---------------------------------------------------------------- TextFile

namespace {
enum class Mode { Closed, Reading, Writing };
constexpr std::size_t kReadChunk = 64 * 1024;
// Written when the buffer reaches this size, so a full disk shows early.
constexpr std::size_t kWriteChunk = 8 * 1024;
}  // namespace

struct TextFile::Impl {
  std::string path;
  bool shared = false;  // the program's WorkTextFile
  Mode mode = Mode::Closed;
  // Reading.
  int fd = -1;
  std::vector<char> buf;
  std::size_t pos = 0, len = 0;
  bool atEnd = false;
  bool lineEnded = false;  // of the line read last
  // Writing.
  AtomicFile out;
  std::string pending;  // written at kWriteChunk and at Close
  bool sync = true;
  int writeError = 0;  // first error, an I/O result code

  int Flush() {
    if (writeError == 0 && !pending.empty()) {
      const int err = out.Write(pending.data(), pending.size());
      if (err != 0) writeError = IoResultFromErrno(err);
    }
    pending.clear();
    return writeError;
  }

  int RefuseWhileOpen() {
    if (shared) G().AbortFlag = 1;
    return EBUSY;
  }
  void CloseRead() {
    if (fd >= 0) ::close(fd);
    fd = -1;
    buf.clear();
    pos = len = 0;
    atEnd = false;
  }
  // Fills the buffer; false at the end of the file or on error (err set).
  bool Fill(int& err) {
    if (atEnd) return false;
    buf.resize(kReadChunk);
    for (;;) {
      ssize_t n = ::read(fd, buf.data(), buf.size());
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        err = kIoReadError;
        atEnd = true;
        return false;
      }
      pos = 0;
      len = static_cast<std::size_t>(n);
      if (n == 0) atEnd = true;
      return n > 0;
    }
  }
};

TextFile::TextFile() : impl_(std::make_unique<Impl>()) {}
TextFile::~TextFile() { Discard(); }

void TextFile::Assign(std::string_view path) {
  if (IsOpen()) {
    impl_->RefuseWhileOpen();
    return;
  }
  impl_->path.assign(path);
}

const std::string& TextFile::Path() const { return impl_->path; }
bool TextFile::IsOpen() const { return impl_->mode != Mode::Closed; }
bool TextFile::IsWriting() const { return impl_->mode == Mode::Writing; }

int TextFile::Reset() {
  if (IsOpen()) return impl_->RefuseWhileOpen();
  const std::string path = ResolvePathCaseInsensitive(impl_->path);
  // A FIFO or device is refused at once rather than waited on.
  int fd = -1;
  if (const int err = OpenRegularForReading(path, fd); err != 0) return IoResultFromErrno(err);
  impl_->fd = fd;
  impl_->pos = impl_->len = 0;
  impl_->atEnd = false;
  impl_->mode = Mode::Reading;
  return 0;
}

int TextFile::Rewrite() {
  if (IsOpen()) return impl_->RefuseWhileOpen();
  // Written under its exact name: a file whose name differs only in case
  // is another file.
  const std::string& path = impl_->path;
  if (path.empty()) return ENOENT;
  if (PathIsDirectory(path)) return EISDIR;
  impl_->out.SetSync(impl_->sync);
  impl_->sync = true;  // for this file only
  int err = impl_->out.Open(path);
  if (err != 0) return IoResultFromErrno(err);
  impl_->writeError = 0;
  impl_->pending.clear();
  impl_->mode = Mode::Writing;
  return 0;
}

int TextFile::ReadLine(std::string& line) {
  line.clear();
  if (impl_->mode == Mode::Closed) return kIoNotOpen;
  if (impl_->mode != Mode::Reading) return kIoNotOpenForInput;
  Impl& f = *impl_;
  int err = 0;
  f.lineEnded = false;
  for (;;) {
    if (f.pos == f.len && !f.Fill(err)) return err;  // end: what was read
    const char* start = f.buf.data() + f.pos;
    const std::size_t avail = f.len - f.pos;
    const void* nl = std::memchr(start, '\n', avail);
    if (nl == nullptr) {
      line.append(start, avail);
      f.pos = f.len;
      continue;
    }
    const std::size_t k = static_cast<std::size_t>(static_cast<const char*>(nl) - start);
    line.append(start, k);
    f.pos += k + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    f.lineEnded = true;
    return 0;
  }
}

int TextFile::ReadRest(std::string& bytes, std::size_t limit) {
  bytes.clear();
  if (impl_->mode == Mode::Closed) return kIoNotOpen;
  if (impl_->mode != Mode::Reading) return kIoNotOpenForInput;
  Impl& f = *impl_;
  int err = 0;
  for (;;) {
    if (f.len > f.pos) bytes.append(f.buf.data() + f.pos, f.len - f.pos);
    f.pos = f.len;
    if (bytes.size() > limit) {
      bytes.clear();
      return EFBIG;
    }
    if (!f.Fill(err)) return err;
  }
}

bool TextFile::LastLineEnded() const { return impl_->lineEnded; }

bool TextFile::Eof() {
  if (impl_->mode != Mode::Reading) return true;
  if (impl_->pos < impl_->len) return false;
  int err = 0;
  return !impl_->Fill(err);
}

int TextFile::Write(std::string_view s) {
  if (impl_->mode == Mode::Closed) return kIoNotOpen;
  if (impl_->mode != Mode::Writing) return kIoNotOpenForOutput;
  if (impl_->writeError != 0) return impl_->writeError;
  if (s.empty()) return 0;
  Impl& f = *impl_;
  f.pending.append(s);
  if (f.pending.size() >= kWriteChunk || f.out.IsDirect()) return f.Flush();
  return 0;
}

void TextFile::SetSync(bool sync) { impl_->sync = sync; }

int TextFile::WriteLine(std::string_view s) {
  const int err = Write(s);
  return err != 0 ? err : Write("\r\n");
}

int TextFile::Close() {
  switch (impl_->mode) {
    case Mode::Closed: return kIoNotOpen;
    case Mode::Reading:
      impl_->CloseRead();
      impl_->mode = Mode::Closed;
      return 0;
    case Mode::Writing: break;
  }
  impl_->mode = Mode::Closed;
  if (impl_->Flush() != 0) {
    impl_->out.Abort();
    return impl_->writeError;
  }
  return IoResultFromErrno(impl_->out.Commit());
}

void TextFile::Discard() {
  if (impl_->mode == Mode::Writing) {
    impl_->out.Abort();
    impl_->pending.clear();
  }
  if (impl_->mode == Mode::Reading) impl_->CloseRead();
  impl_->mode = Mode::Closed;
}

TextFile& WorkTextFile() {
  static TextFile file;
  file.impl_->shared = true;
  return file;
}

void ResetWorkTextFile() {
  TextFile& f = WorkTextFile();
  f.Discard();
  f.Assign("");
}

bool OpenWorkTextFileForReading(std::string_view path) {
  TextFile& f = WorkTextFile();
  if (f.IsOpen()) {
    G().AbortFlag = 1;
    return false;
  }
  f.Assign(path);
  if (f.Reset() != 0) {
    G().AbortFlag = 1;
    return false;
  }
  return true;
}

bool OpenWorkTextFileForWriting(std::string_view path) {
  TextFile& f = WorkTextFile();
  if (f.IsOpen()) {
    G().AbortFlag = 1;
    return false;
  }
  f.Assign(path);
  if (f.Rewrite() != 0) {
    G().AbortFlag = 1;
    return false;
  }
  return true;
}

// ------------------------------------------------------------ line readers

namespace {

std::string ReadWorkLine() {
  std::string s;
  if (WorkTextFile().ReadLine(s) != 0) G().AbortFlag = 1;
  return s;
}

void WriteWork(std::string_view s, bool lineEnd) {
  TextFile& f = WorkTextFile();
  int err = lineEnd ? f.WriteLine(s) : f.Write(s);
  if (err != 0) G().AbortFlag = 1;
}

bool LineToInt(const std::string& s, std::int64_t lo, std::int64_t hi, std::int64_t& out) {
  std::int64_t v = 0;
  if (!TryTextToInt(s, v) || v < lo || v > hi) return false;
  out = v;
  return true;
}

Real LineToFloat(std::string s) {
  std::replace(s.begin(), s.end(), ',', '.');
  Real x = 0;
  if (!TryTextToFloat(s, x) || !std::isfinite(x)) return 0;
  return x;
}

}  // namespace

void ReadTextLine(std::string& s) { s = ReadWorkLine(); }

void ReadTextLineFields4(std::string& a, std::string& b, std::string& c, std::string& d) {
  const std::string line = ReadWorkLine();
  std::string* fields[4] = {&a, &b, &c, &d};
  for (std::string* f : fields) f->clear();
  std::size_t start = 0;
  for (std::string* f : fields) {
    const std::size_t bar = line.find('|', start);
    if (bar == std::string::npos) break;  // this field and later ones stay empty
    f->assign(line, start, bar - start);
    start = bar + 1;
  }
}

void ReadTextLineChar(char& c) {
  const std::string line = ReadWorkLine();
  c = line.empty() ? '\0' : line[0];
}

void ReadTextLineInt(std::int32_t& n) {
  std::int64_t v = 0;
  n = LineToInt(ReadWorkLine(), INT32_MIN, INT32_MAX, v) ? static_cast<std::int32_t>(v) : 0;
}

void ReadTextLineLongInt(std::int32_t& n) { ReadTextLineInt(n); }

void ReadTextLineWord(std::uint16_t& n) {
  std::int64_t v = 0;
  n = LineToInt(ReadWorkLine(), 0, UINT16_MAX, v) ? static_cast<std::uint16_t>(v) : 0;
}

void ReadTextLineExt(Real& x) { x = LineToFloat(ReadWorkLine()); }

void ReadTextLineReal48(Real48& x) {
  const Real v = LineToFloat(ReadWorkLine());
  if (!RealToReal48(v, x)) x = Real48{};
}

void ReadTextLineTrue(bool& b) {
  const std::string line = ReadWorkLine();
  if (G().AbortFlag == 0) b = UpperStr(line) == "TRUE";
}

void ReadTextLineNotFalse(bool& b) {
  const std::string line = ReadWorkLine();
  if (G().AbortFlag == 0) b = UpperStr(line) != "FALSE";
}

// ------------------------------------------------------------ line writers

void WriteTextLine(std::string_view s) { WriteWork(s, true); }
void WriteTextLineStr(std::string_view s) { WriteWork(s, true); }
void WriteTextNoEol(std::string_view s) { WriteWork(s, false); }
void WriteTextLineInt(long long n) { WriteWork(IntToText(n), true); }
void WriteTextLineChar(Byte b) { WriteWork(b != 0 ? "TRUE" : "FALSE", true); }

std::string FloatToStoredText(Real x) {
  std::int32_t& decimals = G().DecimalsSetting;
  const std::int32_t saved = decimals;
  decimals = 3;
  std::string text;
  const Real n = std::nearbyint(x);  // halves to even
  const bool whole = std::fabs(x - n) < 1e-10L;
  // A value a hair below 1 is written as 1 is: "1" would read back as 1.0 and
  // be written as "1.0000000" the next time, changing the file by itself.
  if (x >= 1.0L || (whole && n >= 1.0L)) {
    text = FloatToStrDec(7, x);
  } else {
    text = whole ? FloatToStrSig(x) : FloatToStrDec(7, x);
  }
  decimals = saved;
  return text;
}

void WriteTextLineFloat(Real x) { WriteWork(FloatToStoredText(x), true); }

namespace {
void WriteFields(std::initializer_list<std::string_view> fields) {
  std::string line;
  for (std::string_view f : fields) {
    line.append(f);
    line.push_back('|');
  }
  WriteWork(line, true);
}
}  // namespace

void WriteTextLineFields4(std::string_view a, std::string_view b, std::string_view c, std::string_view d) {
  WriteFields({a, b, c, d});
}

void WriteTextLineFields6(std::string_view a, std::string_view b, std::string_view c, std::string_view d,
                          std::string_view e, std::string_view f) {
  WriteFields({a, b, c, d, e, f});
}

void WriteTextLineFields8(std::string_view a, std::string_view b, std::string_view c, std::string_view d,
                          std::string_view e, std::string_view f, std::string_view g, std::string_view h) {
  WriteFields({a, b, c, d, e, f, g, h});
}

void WriteProgramHeaderLines() {
  const BaseGlobals& g = G();
  const std::string rule(65, '-');
  WriteTextLine(rule);
  WriteTextLine(g.ProgramTitle + "   V " + GetFileVersionString("W" + g.ProgramShortName + ".exe"));
  WriteTextLine("Version " + g.ProgramVersion);
  WriteTextLine(rule);
  for (int i = 1; i <= 3; ++i) WriteTextLine(g.TitleBlockLines[i]);
}

// ------------------------------------------------------- checked operations

namespace {
// An error text with the file it is about.
std::string AboutFile(std::string text, const TextFile& f) {
  return f.Path().empty() ? text : text + ": " + FromUtf8(CodePage::Cp850, f.Path());
}
// The same with the reason the system gave, in brackets.
std::string AboutFile(std::string text, const TextFile& f, int code) {
  return AboutFile(std::move(text), f) + " (" + IoResultText(code) + ")";
}
}  // namespace

std::string IoResultText(int code) {
  switch (code) {
    case kIoReadError: return "Lesefehler"_oem;
    case kIoDiskFull: return "Platte voll"_oem;
    case kIoNotOpen:
    case kIoNotOpenForInput:
    case kIoNotOpenForOutput: return "Datei nicht geöffnet"_oem;
    case kIoWriteProtected: return "schreibgeschützt oder kein Zugriffsrecht"_oem;
    default: return SystemErrorText(code);
  }
}

void WriteStringChecked(TextFile& f, std::string_view text) {
  if (G().AbortFlag != 0) return;
  const int code = f.Write(text);
  if (code == 0) return;
  switch (code) {
    case kIoReadError: ShowError("Lesefehler"_oem); break;
    case kIoDiskFull: ShowError(AboutFile("Diskette/Platte voll"_oem, f)); break;
    case 106: ShowError("Falsches numerisches Format"_oem); break;
    default: ShowError(AboutFile("Fehler bei Zugriff auf Diskette/Platte"_oem, f, code)); break;
  }
  G().AbortFlag = 1;
}

void CloseFileChecked(TextFile& f) {
  const int code = f.Close();
  if (code == 0) return;
  if (code == kIoDiskFull)
    ShowError(AboutFile("Diskette/Platte voll"_oem, f));
  else
    ShowError(AboutFile("Fehler beim Schließen einer Datei"_oem, f, code));
  G().AbortFlag = 1;
}

void RewriteChecked(TextFile& f) {
  const int code = f.Rewrite();
  if (code == 0) return;
  if (code == kIoDiskFull)
    ShowError(AboutFile("Diskette/Platte voll"_oem, f));
  else
    ShowError(AboutFile("Fehler beim Anlegen einer Datei"_oem, f, code));
  G().AbortFlag = 1;
}

void RewriteWithRetry(TextFile& f) {
  if (f.IsOpen()) {  // retrying cannot help
    G().AbortFlag = 1;
    return;
  }
  for (;;) {
    const int code = f.Rewrite();
    if (code == 0) return;
    std::string text;
    switch (code) {
      case kIoWriteProtected: text = "Schreibschutz entfernen ! ("_oem + FromUtf8(CodePage::Cp850, f.Path()) + ")"; break;
      case 152: text = "Programmdiskette einlegen !"_oem; break;
      default: text = AboutFile("I/O-Error "_oem + IntToText(code), f, code); break;
    }
    if (!AskRetryCancel(text)) {
      G().AbortFlag = 1;
      return;
    }
  }
}

}  // namespace zeb
