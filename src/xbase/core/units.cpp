#include "xbase/core/units.h"

#include "xbase/memo/memo.h"
#include "xbase/index/ndx.h"
#include "xbase/expr/parser.h"
#include "xbase/vfile/vfiles.h"

namespace zeb::xbase {

void InitTableEngineUnits() {
  if (!ParserInstalled()) InitParserUnit();
  if (!MemoInstalled()) InitMemoUnit();
  if (!IndexInstalled()) IndexInit();
  InitVirtualFiles();
}

}  // namespace zeb::xbase
