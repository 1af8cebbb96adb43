// Sequential search of the current area for a field value, compared with
// the text stored in the file.
#include <charconv>
#include <cmath>

#include "xbase/dbf/tablecmds.h"
#include "xbase/core/dates.h"
#include "xbase/core/engine.h"
#include "xbase/core/errors.h"
#include "xbase/core/text_utils.h"
#include "xbase/dbf/workarea.h"
#include "xbase/dbf/workarea_internal.h"

namespace zeb::xbase {

namespace {

LocateState& State() { return Areas().locate; }

std::string NumberText(long double v) {
  if (!std::isfinite(v)) return "0";
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, static_cast<double>(v));
  return r.ec == std::errc() ? std::string(buf, r.ptr) : "0";
}

std::string VariantText(const TzVariant& v) {
  if (auto s = std::get_if<std::string>(&v)) return *s;
  if (auto x = std::get_if<long double>(&v)) return NumberText(*x);
  if (auto i = std::get_if<std::int64_t>(&v)) return std::to_string(*i);
  return std::get<bool>(v) ? "T" : "F";
}

long double VariantNumber(const TzVariant& v) {
  if (auto x = std::get_if<long double>(&v)) return std::isfinite(*x) ? *x : 0;
  if (auto i = std::get_if<std::int64_t>(&v)) return static_cast<long double>(*i);
  if (auto b = std::get_if<bool>(&v)) return *b ? 1 : 0;
  std::string t = AllTrim(std::get<std::string>(v));
  double d = 0;
  auto r = std::from_chars(t.data(), t.data() + t.size(), d);
  return (r.ec == std::errc() && std::isfinite(d)) ? d : 0;
}

bool VariantLogical(const TzVariant& v) {
  if (auto b = std::get_if<bool>(&v)) return *b;
  if (auto s = std::get_if<std::string>(&v)) {
    std::string t = AllTrim(*s);
    return !t.empty() && (t[0] == 'T' || t[0] == 't' || t[0] == 'Y' || t[0] == 'y');
  }
  return VariantNumber(v) != 0;
}

// Leaves the table at EOF after a miss.
void EndAtEof() {
  GoBottom();
  if (!dEOF()) SKIP(1);
}

}  // namespace

void SetLocateText(std::string_view text) { State().text.assign(text); }

int Locate(std::string_view command) {
  if (CheckWorkArea("Locate/Count/Sum")) return 0;
  LocateState& s = State();
  std::string text = " " + TzUpper(AllTrim(command)) + " ";
  bool noCase = RemoveKeyword(" NOCASE", text);
  text = " " + text + " ";
  bool exact = RemoveKeyword(" EXACT", text);
  text = " " + text + " ";
  bool contained = RemoveKeyword(" CONTAINED", text);
  s.caseSensitive = !noCase;
  s.exact = exact;
  s.contained = contained;
  std::string name = AllTrim(text);
  if (name.empty()) {
    TzError(220, "No field name specified [Locate/Count/Sum]");
    return 0;
  }
  int n = FieldNo(name);
  if (n == 0) {
    TzError(220, "Unrecognized field name [Locate/Count/Sum(" + std::string(command) + ")]");
    return 0;
  }
  return n;
}

void FieldValueAt(int n, std::int32_t r, std::string& text) {
  text.clear();
  if (CheckWorkArea("FieldValueAt")) return;
  WorkArea& a = *CurrentWorkArea();
  if (!a.isVirtual) {
    Peek(n, r, text);
    // Compared as read through the record conversion.
    if (a.oemText) text = StrOemToAnsi(text);
    return;
  }
  if (n < 1 || n > a.fieldCount) return;
  std::int32_t remembered = a.recordNumber;
  GO(r);
  if (TzCurrentError() == 0) {
    const FieldDesc& f = a.fields[n - 1];
    switch (f.type) {
      case 'D':
        text = DateToDbf(BufferText(a, n));
        break;
      case 'L':
        text = BufferLogical(a, n) ? "T" : "F";
        break;
      case 'N':
      case 'F':
        text = f.decimals > 0 ? StoredNumber(BufferNumber(a, n), f.length, f.decimals)
                              : StoredInteger(BufferInteger(a, n), f.length);
        break;
      case 'C':
        text = PadRightTo(BufferText(a, n), f.length);
        break;
      default:
        text = BufferText(a, n);
        break;
    }
  }
  if (remembered > RecCount())
    EndAtEof();
  else if (remembered >= 1)
    GO(remembered);
}

bool MemoContains(std::string_view text, std::string_view reference) {
  WorkArea* a = CurrentWorkArea();
  if (a == nullptr || a->isVirtual) return false;
  if (!MemoHooks().Installed()) {
    TzError(220, "MEMO unit not linked in [Count/Sum/Continue]");
    return false;
  }
  std::string ref = AllTrim(reference);
  std::int64_t block = 0;
  auto r = std::from_chars(ref.data(), ref.data() + ref.size(), block);
  if (r.ec != std::errc() || block < 1) return false;
  std::string memo;
  if (!MemoHooks().AssignMemo(static_cast<std::int32_t>(block), memo)) return false;
  const bool cs = State().caseSensitive;
  std::size_t start = 0;
  while (start <= memo.size()) {
    std::size_t end = memo.find_first_of("\r\n", start);
    if (end == std::string::npos) end = memo.size();
    std::string line = memo.substr(start, end - start);
    if (!cs) line = TzUpper(line);
    if (line.find(text) != std::string::npos) return true;
    start = end + 1;
  }
  return false;
}

void LocateFrom(std::int32_t start, int field, bool first) {
  if (CheckWorkArea("LocateFrom")) return;
  WorkArea& a = *CurrentWorkArea();
  LocateState& s = State();
  if (first) {
    if (!s.exact) s.text = TzTrimRight(s.text);
    if (!s.caseSensitive) s.text = TzUpper(s.text);
    s.field = field;
  }
  if (s.field < 1 || s.field > a.fieldCount) {
    s.field = 0;
    return;
  }
  const bool memo = a.fields[s.field - 1].type == 'M';
  const std::int32_t count = RecCount();
  std::string value;
  for (std::int32_t r = std::max(1, start); r <= count; ++r) {
    FieldValueAt(s.field, r, value);
    if (TzCurrentError() != 0) return;
    bool hit;
    if (!memo) {
      if (!s.exact && !s.contained) value = value.substr(0, s.text.size());
      if (!s.caseSensitive) value = TzUpper(value);
      hit = s.contained ? value.find(s.text) != std::string::npos : value == s.text;
    } else {
      hit = MemoContains(s.text, value);
    }
    if (hit) {
      GO(r);
      return;
    }
  }
  EndAtEof();
  s.field = 0;
}

void Continue() {
  if (CheckWorkArea("Continue")) return;
  LocateState& s = State();
  if (s.field == 0) {
    TzError(220, "Call to CONTINUE not preceeded by call to LOCATE. [Continue]");
    return;
  }
  LocateFrom(RecNo() + 1, s.field, false);
}

bool LocateValue(std::string_view command, const TzVariant& value, bool noCase, std::int32_t start, bool exact) {
  std::string name = AllTrim(command);
  name = name.substr(0, name.find(' '));
  if (noCase) name += " NOCASE";
  if (exact) name += " EXACT";
  int field = Locate(name);
  if (field == 0) return false;
  WorkArea& a = *CurrentWorkArea();
  const FieldDesc& f = a.fields[field - 1];
  LocateState& s = State();
  if (a.isVirtual && f.type == 'M') {
    EndAtEof();
    s.field = field;
    return false;
  }
  switch (f.type) {
    case 'C':
      s.text = exact ? PadRightTo(VariantText(value), f.length) : VariantText(value);
      break;
    case 'D':
      s.text = DateToDbf(VariantText(value));
      break;
    case 'N':
    case 'F': {
      long double v = VariantNumber(value);
      if (f.decimals > 0) {
        s.text = StoredNumber(v, f.length, f.decimals);
      } else {
        long double t = std::trunc(v);
        std::int64_t i = t >= 9.2e18L ? INT64_MAX : t <= -9.2e18L ? INT64_MIN : static_cast<std::int64_t>(t);
        s.text = StoredInteger(i, f.length);
      }
      break;
    }
    case 'L':
      s.text = VariantLogical(value) ? "T" : "F";
      break;
    default:
      s.text = VariantText(value);
      break;
  }
  LocateFrom(start, field, true);
  while (TzCurrentError() == 0 && !dEOF() && !RecordVisible(a)) Continue();
  return TzCurrentError() == 0 && !dEOF();
}

bool LocateFields(std::string_view names, const std::vector<TzVariant>& values, bool noCase, bool move,
                  bool exact) {
  if (CheckWorkArea("LocateFields")) return false;
  WorkArea& a = *CurrentWorkArea();
  std::vector<std::string> list;
  std::string all(names);
  for (std::size_t p = 0;;) {
    std::size_t q = all.find(';', p);
    list.push_back(AllTrim(all.substr(p, q == std::string::npos ? std::string::npos : q - p)));
    if (q == std::string::npos) break;
    p = q + 1;
  }
  const std::int32_t remembered = a.recordNumber;
  bool found = false;
  {
    SuspendNotify suspend(a);
    const std::size_t count = list.size();
    if (values.size() < count || count == 0) {
      found = false;
    } else if (count == 1) {
      found = LocateValue(list[0], values[0], noCase, 1, exact);
    } else {
      std::size_t i = 0;
      std::int32_t start = 1;
      for (;;) {
        found = LocateValue(list[i], values[i], noCase, start, exact);
        if (!found) break;
        const std::int32_t at = a.recordNumber;
        ++i;
        if (i > 1) {
          if (at == start) {
            if (i == count) break;
          } else {
            i = 0;
          }
        }
        start = at;
      }
    }
    if (!(move && found)) GoIfValid(remembered);
  }
  return found;
}

}  // namespace zeb::xbase
