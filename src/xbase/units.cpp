#include "xbase/units.h"

#include "xbase/memo.h"
#include "xbase/ndx.h"
#include "xbase/parser.h"

namespace zeb::xbase {

void InitTableEngineUnits() {
  if (!ParserInstalled()) InitParserUnit();
  if (!MemoInstalled()) InitMemoUnit();
  if (!IndexInstalled()) IndexInit();
}

}  // namespace zeb::xbase
