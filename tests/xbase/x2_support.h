// Helpers for the tests of the work-area commands: tables made with the
// engine, rows written from texts, stored field bytes.
#pragma once
#include <algorithm>
#include <charconv>
#include <string>
#include <vector>

#include "x1_support.h"
#include "xbase/dbf/dbffile.h"
#include "xbase/dbf/locking.h"
#include "xbase/dbf/tablecmds.h"
#include "xbase/core/dates.h"
#include "xbase/core/ansi_literal.h"
#include "xbase/core/callbacks.h"
#include "xbase/core/text_utils.h"
#include "xbase/dbf/workarea.h"

namespace zeb::xbase::test {

inline FieldDesc Fd(const std::string& name, char type, int length, int decimals = 0) {
  FieldDesc f;
  f.name = name;
  f.type = type;
  f.length = static_cast<std::uint8_t>(length);
  f.decimals = static_cast<std::uint8_t>(decimals);
  return f;
}

inline void CreateTable(const std::string& path, const std::vector<FieldDesc>& fields) {
  DbfTable t;
  CreateDbf(t, path, fields);
}

// Field i of the current area from a text: C as is, N/F a number with a
// point, D as YYYYMMDD (blank: no date), L "T"/"F".
inline void SetField(int i, const std::string& v) {
  WorkArea& a = *CurrentWorkArea();
  switch (a.fields[i - 1].type) {
    case 'C':
      SetBufferText(a, i, v);
      break;
    case 'N':
    case 'F': {
      if (a.fields[i - 1].decimals == 0) {
        long long x = 0;
        std::from_chars(v.data(), v.data() + v.size(), x);
        SetBufferInteger(a, i, x);
      } else {
        double x = 0;
        std::from_chars(v.data(), v.data() + v.size(), x);
        SetBufferNumber(a, i, x);
      }
      break;
    }
    case 'D':
      SetBufferText(a, i, v.empty() ? std::string() : DbfToDate(v));
      break;
    case 'L':
      SetBufferLogical(a, i, v == "T");
      break;
    default:
      break;
  }
}

// Appends one row; "*" as the first value marks it deleted.
inline void AppendRow(std::vector<std::string> values) {
  ClearRecord();
  bool del = !values.empty() && values[0] == "*";
  if (del) values.erase(values.begin());
  for (std::size_t i = 0; i < values.size(); ++i) SetField(static_cast<int>(i) + 1, values[i]);
  CurrentWorkArea()->recordBuffer[0] = del ? 1 : 0;
  Append();
}

// The stored text of field i of the current record.
inline std::string StoredField(int i) {
  WorkArea& a = *CurrentWorkArea();
  const FieldDesc& f = a.fields[i - 1];
  return a.stored.substr(f.offset, f.length);
}

// A table of a C(10) NAME and an N(5) NUM field with rows "R1".."Rn" and
// NUM = row number; rows listed in deleted are marked deleted.
inline void MakeNumbered(const std::string& path, int rows, const std::vector<int>& deleted = {}) {
  CreateTable(path, {Fd("NAME", 'C', 10), Fd("NUM", 'N', 5)});
  int saved = CurrentArea();
  SelectArea(34);
  USE(path + " EXCLUSIVE");
  for (int r = 1; r <= rows; ++r) {
    bool del = std::find(deleted.begin(), deleted.end(), r) != deleted.end();
    std::vector<std::string> row{"R" + std::to_string(r), std::to_string(r)};
    if (del) row.insert(row.begin(), "*");
    AppendRow(row);
  }
  CloseArea();
  SelectArea(saved);
}

// Engine reset, error switch off (errors are only recorded), area 1.
class AreaTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    SetTzErrorSwitch(false);
    Select(1);
  }
  ScratchDir dir;
};

}  // namespace zeb::xbase::test
