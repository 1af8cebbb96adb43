// Record transfer into and out of the current area: AppendFrom another
// table, export to and import from delimited text.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>

#include "platform/files.h"
#include "xbase/core/ansi_literal.h"
#include "xbase/dbf/tablecmds.h"
#include "xbase/core/callbacks.h"
#include "xbase/core/dates.h"
#include "xbase/core/engine.h"
#include "xbase/core/errors.h"
#include "xbase/core/text_utils.h"
#include "xbase/dbf/workarea.h"
#include "xbase/dbf/workarea_internal.h"

namespace zeb::xbase {

namespace {

enum TypeClass { kOther = 0, kChar = 1, kNum = 2, kLogical = 3, kDate = 4, kMemo = 5 };

int ClassOf(char type) {
  switch (type) {
    case 'C': return kChar;
    case 'N':
    case 'F': return kNum;
    case 'L': return kLogical;
    case 'D': return kDate;
    case 'M': return kMemo;
    default: return kOther;
  }
}

// A stored number text read with the decimal point "."; the longest
// leading number, 0 when there is none or it is out of range.
// A stored number text read with the decimal point "."; the longest
// leading number (a decimal comma ends it), nullopt when the text starts
// with none or it is out of range.
std::optional<long double> ReadNumber(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '+')) ++i;
  text.remove_prefix(i);
  double d = 0;
  auto r = std::from_chars(text.data(), text.data() + text.size(), d);
  if (r.ec != std::errc() || !std::isfinite(d)) return std::nullopt;
  return d;
}

long double ParseNumber(std::string_view text) { return ReadNumber(text).value_or(0); }

std::int64_t ParseInteger(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '+')) ++i;
  text.remove_prefix(i);
  std::int64_t v = 0;
  auto r = std::from_chars(text.data(), text.data() + text.size(), v);
  if (r.ec == std::errc()) return v;
  // Out of range or not a plain integer: through the real reading.
  long double x = std::trunc(ParseNumber(text));
  if (x >= 9.2e18L) return INT64_MAX;
  if (x <= -9.2e18L) return INT64_MIN;
  return static_cast<std::int64_t>(x);
}

bool IsIntegerBuffer(const FieldDesc& f) {
  BufferKind k = FieldBufferKind(f);
  return k == BufferKind::Int32 || k == BufferKind::Int64;
}

// A number into a numeric field; false (the field left as it is) when its
// text is wider than the field.
bool StoreNumber(WorkArea& a, int field, long double value) {
  const FieldDesc& f = a.fields[field - 1];
  if (f.decimals > 0) {
    if (StoredNumber(value, f.length, f.decimals).find('*') != std::string::npos) return false;
    SetBufferNumber(a, field, value);
    return true;
  }
  const std::int64_t n = static_cast<std::int64_t>(std::clamp<long double>(std::trunc(value), -9.2e18L, 9.2e18L));
  if (StoredInteger(n, f.length).find('*') != std::string::npos) return false;
  SetBufferInteger(a, field, n);
  return true;
}

// The source field holds blanks as stored (a number, date or logical never
// given a value).
bool SourceBlank(const WorkArea& src, int s) {
  if (src.isVirtual || src.stored.size() != src.recordLength) return false;
  const FieldDesc& f = src.fields[s - 1];
  if (std::size_t{f.offset} + f.length > src.stored.size()) return false;
  return src.stored.find_first_not_of(' ', f.offset) >= std::size_t{f.offset} + f.length;
}

// What became of a destination field.
enum class Took { Nothing, Value, Lost };

// Destination field i from its source field s: a source that is blank, or a
// field without source, leaves the field blank; a value the field cannot
// take is Lost (why tells how).
Took ConvertField(WorkArea& dest, WorkArea& src, int i, int s, AppendFromLoss::Why& why) {
  if (s == 0) return Took::Nothing;
  const FieldDesc& df = dest.fields[i - 1];
  const FieldDesc& sf = src.fields[s - 1];
  const int dc = ClassOf(df.type);
  const int sc = ClassOf(sf.type);
  if (sc != kChar && sc != kMemo && SourceBlank(src, s)) return Took::Nothing;
  switch (dc * 10 + sc) {
    case kChar * 10 + kChar:
    case kDate * 10 + kDate:
      SetBufferText(dest, i, BufferText(src, s).substr(0, df.type == 'D' ? 10 : df.length));
      return Took::Value;
    case kChar * 10 + kNum: {
      std::string t = sf.decimals > 0 ? StoredNumber(BufferNumber(src, s), df.length, sf.decimals)
                                      : StoredInteger(BufferInteger(src, s), df.length);
      SetBufferText(dest, i, t);
      if (t.find('*') == std::string::npos) return Took::Value;
      why = AppendFromLoss::Why::TooWide;
      return Took::Lost;
    }
    case kChar * 10 + kLogical:
      SetBufferText(dest, i, BufferLogical(src, s) ? "T" : "F");
      return Took::Value;
    case kChar * 10 + kDate: {
      std::string t = BufferText(src, s);
      if (df.length < t.size() && t.size() == 10) t.erase(DateFormat() == 1 ? 0 : 6, 2);
      SetBufferText(dest, i, t.substr(0, df.length));
      return Took::Value;
    }
    case kNum * 10 + kChar: {
      const std::string t = BufferText(src, s);
      if (AllTrim(t).empty()) return Took::Nothing;
      const std::optional<long double> v = ReadNumber(t);
      bool stored = false;
      if (!v) {
        why = AppendFromLoss::Why::NotANumber;
        return Took::Lost;
      }
      if (df.decimals > 0) {
        stored = StoreNumber(dest, i, *v);
      } else {
        const std::int64_t n = ParseInteger(t);
        stored = StoredInteger(n, df.length).find('*') == std::string::npos;
        if (stored) SetBufferInteger(dest, i, n);
      }
      if (stored) return Took::Value;
      why = AppendFromLoss::Why::TooWide;
      return Took::Lost;
    }
    case kNum * 10 + kNum: {
      bool stored = false;
      if (IsIntegerBuffer(sf) && IsIntegerBuffer(df)) {
        const std::int64_t n = BufferInteger(src, s);
        stored = StoredInteger(n, df.length).find('*') == std::string::npos;
        if (stored) SetBufferInteger(dest, i, n);
      } else {
        stored = StoreNumber(dest, i, BufferNumber(src, s));
      }
      if (stored) return Took::Value;
      why = AppendFromLoss::Why::TooWide;
      return Took::Lost;
    }
    case kLogical * 10 + kLogical:
      SetBufferLogical(dest, i, BufferLogical(src, s));
      return Took::Value;
    case kLogical * 10 + kChar:
    case kLogical * 10 + kNum:
    case kLogical * 10 + kDate:
    case kLogical * 10 + kMemo:
      SetBufferLogical(dest, i, false);
      return Took::Value;
    case kDate * 10 + kChar: {
      std::string t = AllTrim(BufferText(src, s));
      if (t.empty()) return Took::Nothing;
      if (IsDateText(t)) {
        SetBufferText(dest, i, t);
        return Took::Value;
      }
      why = AppendFromLoss::Why::NotADate;
      return Took::Lost;
    }
    case kMemo * 10 + kChar: {
      std::string t = TzTrimRight(BufferText(src, s));
      if (t.empty()) return Took::Nothing;
      SetBufferInteger(dest, i, MemoHooks().AddMemo(t));
      return Took::Value;
    }
    case kMemo * 10 + kMemo: {
      std::int64_t block = BufferInteger(src, s);
      if (block == 0) return Took::Nothing;
      SetBufferInteger(dest, i, MemoHooks().CopyMemoAppend(src, static_cast<std::int32_t>(block)));
      return Took::Value;
    }
    default:
      return Took::Nothing;
  }
}

AppendFromReport& LastReport() {
  static AppendFromReport report;
  return report;
}

std::string Bracket(std::string_view routine, std::string_view source) {
  return "[" + std::string(routine) + "(" + std::string(source) + ")]";
}

}  // namespace

const AppendFromReport& LastAppendFromReport() { return LastReport(); }

void AppendFrom(std::string_view source, std::function<bool()> continueWhile) {
  SetTzCurrentError(0);
  AppendFromReport& report = LastReport();
  report = {};
  auto& u = Areas();
  const int destNo = u.current;
  WorkArea* dest = CurrentWorkArea();
  const std::string where = Bracket("AppendFrom", source);
  if (dest == nullptr) {
    TzError(215, where);
    return;
  }
  std::string text = " " + std::string(source) + " ";
  bool isVirtual = false;
  for (const char* kw : {" VIRTUAL FILE", " LINKED LIST", " VIRTUAL", " LINKED"}) {
    text = " " + text + " ";
    if (RemoveKeyword(kw, text)) isVirtual = true;
  }
  std::string path = isVirtual ? AllTrim(text) : ResolveTablePath(AllTrim(text), "DBF");
  int srcNo = 0;
  for (int i = 1; i <= kCallerAreas; ++i)
    if (u.areas[i] && u.areas[i]->fileName == path) {
      srcNo = i;
      break;
    }
  if (isVirtual && srcNo == 0) {
    TzError(215, "Virtual file must be open. " + where);
    return;
  }
  if (srcNo == 0 && !PathIsRegularFile(path)) {
    TzError(2, where);
    return;
  }
  if (srcNo == destNo || path == dest->fileName) {
    TzError(214, "Datei kann nicht an sich selbst angehängt werden. " + where);
    return;
  }
  if (dest->hasMemo && !MemoHooks().Installed()) {
    TzError(220, "Memo-Unit ist nicht ins Programm eingebunden. " + where);
    return;
  }
  bool opened = false;
  if (srcNo == 0) {
    continueWhile = nullptr;
    SelectArea(kFromFileArea);
    USE(path + " ALIAS *FROMFILE");
    if (TzCurrentError() != 0 || CurrentWorkArea() == nullptr) {
      CloseArea();
      SelectArea(destNo);
      return;
    }
    srcNo = kFromFileArea;
    opened = true;
  }
  WorkArea& src = *AreaAt(srcNo);
  std::uint16_t code = 0;
  struct CloseSource {
    bool opened;
    int destNo;
    ~CloseSource() {
      // Also when an append failed: the source is closed (its share lock
      // goes with it) and a failure to close stays recorded.
      try {
        if (opened) {
          SelectArea(kFromFileArea);
          const std::uint16_t keep = TzCurrentError();
          CloseArea();
          if (keep != 0) SetTzCurrentError(keep);
        }
      } catch (...) {
      }
      SelectArea(destNo);
    }
  } closer{opened, destNo};

  std::vector<int> map(static_cast<std::size_t>(dest->fieldCount) + 1, 0);
  bool any = false;
  for (int i = 1; i <= dest->fieldCount; ++i) {
    for (int s = 1; s <= src.fieldCount; ++s)
      if (src.fields[s - 1].name == dest->fields[i - 1].name) {
        map[i] = s;
        any = true;
        break;
      }
  }
  if (!any) return;
  bool same = dest->fieldCount == src.fieldCount && dest->recordBufferSize == src.recordBufferSize;
  for (int i = 0; same && i < dest->fieldCount; ++i) {
    const FieldDesc& d = dest->fields[i];
    const FieldDesc& s = src.fields[i];
    same = d.name == s.name && d.type == s.type && d.length == s.length && d.decimals == s.decimals;
  }
  const bool withMemo = same && dest->hasMemo;

  SelectArea(srcNo);
  if (IsWhileOn() || continueWhile)
    SKIP(0);
  else
    GoTop();
  code = TzCurrentError();
  while (code == 0 && !dEOF() && (!continueWhile || continueWhile())) {
    SelectArea(destNo);
    // The memos a record's append added go again when the record does not
    // go into the table, also when the append raises.
    struct MemosBack {
      int area;
      std::int64_t mark = -1;
      ~MemosBack() {
        if (mark < 0 || Engine().recordWritten) return;
        const int current = CurrentArea();
        SelectArea(area);
        MemoHooks().BackToMark(mark);
        SelectArea(current);
      }
    } memosBack{destNo};
    if (withMemo) memosBack.mark = MemoHooks().MarkMemofile();
    Engine().recordWritten = false;
    if (same) {
      CompleteRecordBuffer(src);
      std::memcpy(dest->recordBuffer, src.recordBuffer, dest->recordBufferSize);
      dest->undecoded = false;
      // Each field's bytes as the source holds them (a blank number, "?").
      if (!src.isVirtual && src.stored.size() == dest->recordLength) dest->appendBase = src.stored;
      if (withMemo)
        for (int i = 1; i <= dest->fieldCount; ++i)
          if (dest->fields[i - 1].type == 'M') {
            AppendFromLoss::Why why = AppendFromLoss::Why::TooWide;
            ConvertField(*dest, src, i, map[i], why);
          }
    } else {
      ClearRecord();
      dest->recordBuffer[0] = src.recordBuffer[0];
      // Only the fields given a value are written; the others stay blank.
      std::vector<bool> set(static_cast<std::size_t>(dest->fieldCount), false);
      for (int i = 1; i <= dest->fieldCount; ++i) {
        AppendFromLoss::Why why = AppendFromLoss::Why::TooWide;
        const Took took = ConvertField(*dest, src, i, map[i], why);
        // A character field keeps the "*" of a number too wide for it.
        set[static_cast<std::size_t>(i - 1)] =
            took == Took::Value || (took == Took::Lost && ClassOf(dest->fields[i - 1].type) == kChar);
        if (took == Took::Lost) {
          const FieldDesc& sf = src.fields[map[i] - 1];
          const bool stored =
              src.stored.size() == src.recordLength && std::size_t{sf.offset} + sf.length <= src.stored.size();
          std::string text = stored ? AllTrim(src.stored.substr(sf.offset, sf.length)) : std::string();
          report.lost.push_back({src.recordNumber, dest->fields[i - 1].name, std::move(text), why});
        }
      }
      dest->appendKeepsBlanks = true;
      dest->fieldsSet = std::move(set);
    }
    {
      // The marks go with this append, also when it raises.
      struct ForgetMarks {
        WorkArea* a;
        ~ForgetMarks() {
          a->appendKeepsBlanks = false;
          a->fieldsSet.clear();
        }
      } forget{dest};
      Append();
    }
    code = TzCurrentError();
    if (code == 0) ++report.appended;
    if (code == 0 || Engine().recordWritten) memosBack.mark = -1;
    SelectArea(srcNo);
    if (code != 0) break;
    SKIP(1);
    code = TzCurrentError();
  }
  SetTzCurrentError(code);
}

// ---------------------------------------------------------------- text

namespace {

class TextWriter {
 public:
  explicit TextWriter(AtomicFile& f) : f_(f) {}
  void Put(std::string_view s) {
    buf_.append(s);
    if (buf_.size() >= 65536) Flush();
  }
  void Put(char c) { buf_.push_back(c); }
  int Flush() {
    if (!buf_.empty() && err_ == 0) err_ = f_.Write(buf_.data(), buf_.size());
    buf_.clear();
    return err_;
  }
  int Error() const { return err_; }

 private:
  AtomicFile& f_;
  std::string buf_;
  int err_ = 0;
};

bool Exported(char type) { return type == 'C' || type == 'D' || type == 'F' || type == 'L' || type == 'N'; }

}  // namespace

void CopyToText(std::string_view fileName, bool header) {
  SetTzCurrentError(0);
  if (CheckWorkArea("CopyToText")) return;
  WorkArea& a = *CurrentWorkArea();
  if (a.isVirtual) return;
  const TzEngine& e = Engine();
  const std::string name = ResolveTablePath(AllTrim(fileName), "TXT");
  const std::string where = name + " [CopyToText]";
  AtomicFile file;
  if (int err = file.Open(name); err != 0) {
    NoteWriteFailureOf(name, err);
    TzError(ErrnoToTzCode(err), where);
    return;
  }
  TextWriter out(file);
  const char sep = e.textSeparator;
  const char quote = e.textQuote;
  auto quoted = [&](std::string_view s) {
    if (quote != 0) out.Put(quote);
    out.Put(s);
    if (quote != 0) out.Put(quote);
  };
  if (header) {
    bool first = true;
    for (const FieldDesc& f : a.fields) {
      if (!Exported(f.type)) continue;
      if (!first) out.Put(sep);
      first = false;
      quoted(TzTrimRight(f.name));
    }
    out.Put("\r\n");
  }
  GoTop();
  while (TzCurrentError() == 0 && !dEOF()) {
    bool first = true;
    for (const FieldDesc& f : a.fields) {
      if (!Exported(f.type)) continue;
      if (!first) out.Put(sep);
      first = false;
      std::string_view v(a.stored.data() + f.offset, f.length);
      switch (f.type) {
        case 'C':
          quoted(TzTrimRight(v));
          break;
        case 'D':
          out.Put(TzTrimRight(v));
          break;
        case 'N':
        case 'F':
          out.Put(AllTrim(v));
          break;
        default:
          out.Put(v);
          break;
      }
    }
    out.Put("\r\n");
    if (out.Error() != 0) break;
    SKIP(1);
  }
  std::uint16_t code = TzCurrentError();
  if (code != 0) return;
  out.Put('\x1A');
  int err = out.Flush();
  if (err == 0) err = file.Commit();
  if (err != 0) {
    file.Abort();
    NoteWriteFailureOf(name, err);
    TzError(ErrnoToTzCode(err), where);
  }
}

void CopyToTextPlain(std::string_view fileName) { CopyToText(fileName, false); }

namespace {

// Lines of a delimited text file, read in blocks.
class LineReader {
 public:
  LineReader(int fd, std::size_t block) : fd_(fd), buf_(std::max<std::size_t>(block, 1), '\0') {}
  // False at the end of input. consumed: bytes taken from the file.
  bool Next(std::string& line, std::size_t& consumed) {
    line.clear();
    consumed = 0;
    if (ended_) return false;
    for (;;) {
      int c = Get();
      if (c < 0) {
        if (error_ != 0) return false;
        ended_ = true;
        return !line.empty();
      }
      ++consumed;
      if (c == '\n') return true;
      if (c == '\r') {
        int d = Peek();
        if (d == '\n') {
          Get();
          ++consumed;
        }
        return true;
      }
      if (c == 0x1A) {
        if (line.empty()) {
          ended_ = true;
          return false;
        }
        return true;
      }
      line.push_back(static_cast<char>(c));
    }
  }
  int Error() const { return error_; }

 private:
  int Get() {
    int c = Peek();
    if (c >= 0) ++pos_;
    return c;
  }
  int Peek() {
    if (pos_ >= len_) {
      if (eof_) return -1;
      ssize_t r;
      do r = ::read(fd_, buf_.data(), buf_.size());
      while (r < 0 && errno == EINTR);
      if (r < 0) {
        error_ = errno;
        eof_ = true;
        return -1;
      }
      if (r == 0) {
        eof_ = true;
        return -1;
      }
      len_ = static_cast<std::size_t>(r);
      pos_ = 0;
    }
    return static_cast<unsigned char>(buf_[pos_]);
  }
  int fd_;
  std::string buf_;
  std::size_t pos_ = 0;
  std::size_t len_ = 0;
  bool eof_ = false;
  bool ended_ = false;
  int error_ = 0;
};

// The next field of line from pos; pos moves past its separator.
std::string NextPiece(const std::string& line, std::size_t& pos, char sep, char quote) {
  std::string out;
  while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
  bool inQuote = false;
  while (pos < line.size()) {
    char c = line[pos++];
    if (quote != 0 && c == quote) {
      inQuote = !inQuote;
      continue;
    }
    if (c == sep && !inQuote) break;
    out.push_back(c);
  }
  return out;
}

bool AllDigits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

void StoreTextField(WorkArea& a, int i, const std::string& piece) {
  const FieldDesc& f = a.fields[i - 1];
  switch (f.type) {
    case 'C':
      SetBufferText(a, i, std::string_view(piece).substr(0, f.length));
      break;
    case 'D': {
      std::string t = AllTrim(piece);
      if (t.size() == 8 && AllDigits(t)) t = DbfToDate(t);
      SetBufferText(a, i, std::string_view(t).substr(0, 10));
      break;
    }
    case 'N':
    case 'F':
      if (f.decimals > 0)
        SetBufferNumber(a, i, ParseNumber(piece));
      else
        SetBufferInteger(a, i, ParseInteger(piece));
      break;
    case 'L': {
      std::string t = TzTrimLeft(piece);
      char c = t.empty() ? ' ' : t[0];
      SetBufferLogical(a, i, c == 'T' || c == 'Y' || c == 't' || c == 'y');
      break;
    }
    default:
      break;
  }
}

}  // namespace

void AppendFromText(std::string_view fileName, bool showProgress) {
  SetTzCurrentError(0);
  if (CheckWorkArea("AppendFromText")) return;
  WorkArea& a = *CurrentWorkArea();
  const TzEngine& e = Engine();
  const std::string name = ResolveTablePath(AllTrim(fileName), "TXT");
  const std::string where = name + " [AppendFromText]";
  int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    TzError(ErrnoToTzCode(errno), where);
    return;
  }
  FileHandle handle(fd);
  struct stat st {};
  std::int64_t size = ::fstat(fd, &st) == 0 ? static_cast<std::int64_t>(st.st_size) : 0;
  if (S_ISDIR(st.st_mode)) {
    TzError(ErrnoToTzCode(EISDIR), where);
    return;
  }
  LineReader reader(fd, e.importBufferSize);
  std::unique_ptr<TzProgress100> progress;
  const std::int64_t step = std::max<std::int64_t>(1, size / 100);
  std::int64_t pending = 0;
  if (showProgress) progress = std::make_unique<TzProgress100>("Appending...");
  const char sep = e.textSeparator;
  const char quote = e.textQuote;
  std::string line;
  std::size_t consumed = 0;
  while (reader.Next(line, consumed)) {
    if (!line.empty()) {
      ClearRecordOf(a);
      std::size_t pos = 0;
      for (int i = 1; i <= a.fieldCount && pos < line.size(); ++i) {
        char type = a.fields[i - 1].type;
        if (type != 'C' && type != 'D' && type != 'N' && type != 'F' && type != 'L') continue;
        StoreTextField(a, i, NextPiece(line, pos, sep, quote));
      }
      Append();
      if (TzCurrentError() != 0) return;
    }
    if (progress) {
      pending += static_cast<std::int64_t>(consumed);
      while (pending >= step) {
        progress->Step();
        pending -= step;
      }
    }
  }
  if (reader.Error() != 0) TzError(ErrnoToTzCode(reader.Error()), where);
}

}  // namespace zeb::xbase
