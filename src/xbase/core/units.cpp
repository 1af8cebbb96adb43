#include "xbase/core/units.h"

#include "xbase/memo/memo.h"
#include "xbase/index/ndx.h"
#include "xbase/expr/parser.h"

namespace zeb::xbase {

void InitTableEngineUnits() {
  if (!ParserInstalled()) InitParserUnit();
  if (!MemoInstalled()) InitMemoUnit();
  if (!IndexInstalled()) IndexInit();
}

}  // namespace zeb::xbase
