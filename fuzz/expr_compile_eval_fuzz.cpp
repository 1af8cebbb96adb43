// Expression texts compiled against two open tables and evaluated on a
// record and on the blank record past the end. Byte 0 picks the date
// format and the century switch; the rest is the text. A failed
// compilation reports 351; an evaluation ends with 0, 354 or 358, a
// finite number, a text within the pool limit and of the compiled width.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "xbase/dbf/dbffile.h"
#include "xbase/expr/parser.h"
#include "xbase/core/dates.h"
#include "xbase/core/engine.h"
#include "xbase/core/errors.h"
#include "xbase/dbf/workarea.h"

using namespace zeb::xbase;

namespace {

FieldDesc Field(const char* name, char type, int length, int decimals = 0) {
  FieldDesc f;
  f.name = name;
  f.type = type;
  f.length = static_cast<std::uint8_t>(length);
  f.decimals = static_cast<std::uint8_t>(decimals);
  return f;
}

struct Tables {
  zeb::fuzz::ScratchFolder folder{"exprfuzz"};
  std::string a = folder.dir + "/a.dbf";
  std::string b = folder.dir + "/b.dbf";
  Tables() {
    ResetTzEngine();
    SetTzErrorSwitch(false);
    DbfTable t;
    CreateDbf(t, a, {Field("NAME", 'C', 10), Field("NUM", 'N', 8, 2), Field("DATE", 'D', 8), Field("FLAG", 'L', 1)});
    DbfTable u;
    CreateDbf(u, b, {Field("NAME", 'C', 6), Field("QTY", 'N', 4)});
    Select(1);
    USE(a + " EXCLUSIVE");
    WorkArea& w = *CurrentWorkArea();
    ClearRecord();
    SetBufferText(w, 1, "Abc");
    SetBufferNumber(w, 2, -12.5L);
    SetBufferText(w, 3, DbfToDate("20000229"));
    SetBufferLogical(w, 4, true);
    Append();
    Select(2);
    USE(b + " EXCLUSIVE");
    ClearRecord();
    SetBufferText(*CurrentWorkArea(), 1, "Other");
    Append();
    if (TzCurrentError() != 0) std::abort();
    ResetTzEngine();
  }
};

void Check(CompiledExpr* e) {
  SetTzCurrentError(0);
  const ExprValue* v = EvaluateExpr(e);
  const std::uint16_t code = TzCurrentError();
  if (!v || v->type != e->type) std::abort();
  if (code != 0 && code != 354 && code != 358) std::abort();
  switch (e->type) {
    case 'N':
    case 'D':
      if (!std::isfinite(v->number)) std::abort();
      break;
    case 'C':
      if (v->text.size() > kExprPoolLimit) std::abort();
      if (code == 0 && e->width > 0 && v->text.size() != static_cast<std::size_t>(e->width)) std::abort();
      break;
    case 'M':
    case 'L': break;
    default: std::abort();
  }
  const ExprValue first = *v;
  const ExprValue* again = EvaluateExpr(e);
  if (again->text != first.text || again->logical != first.logical ||
      (again->number != first.number && !(std::isnan(again->number) && std::isnan(first.number))))
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Tables tables;
  if (size == 0) return 0;
  ResetTzEngine();
  SetTzErrorSwitch(false);
  InitParserUnit();
  SetDateFormat(data[0] % 9);
  SetCentury((data[0] & 0x80) != 0);
  Select(2);
  USE(tables.b + " ALIAS B");
  Select(1);
  USE(tables.a);
  if (TzCurrentError() != 0) std::abort();
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  CompiledExpr* e = AssignExpr(text);
  if (!e) {
    if (TzCurrentError() != 351) std::abort();
  } else {
    Check(e);
    GoBottom();
    SKIP(1);
    Check(e);
    ReleaseExpr(e);
    if (e) std::abort();
  }
  ResetTzEngine();
  return 0;
}
