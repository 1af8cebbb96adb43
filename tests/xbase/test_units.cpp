// The engine's optional units plug into its hook tables.
#include <gtest/gtest.h>

#include "xbase/core/hooks.h"
#include "xbase/memo/memo.h"
#include "xbase/index/ndx.h"
#include "xbase/expr/parser.h"
#include "xbase/core/engine.h"
#include "xbase/core/units.h"

namespace zeb::xbase {
namespace {

TEST(TableEngineUnits, InstallMemoExpressionAndIndexHooksOnce) {
  ResetTzEngine();
  InitTableEngineUnits();
  EXPECT_TRUE(MemoHooks().Installed());
  EXPECT_TRUE(ParserHooks().Installed());
  EXPECT_TRUE(IndexHooks().Installed());
  InitTableEngineUnits();  // again: still one installation each
  DoneMemoUnit();
  DoneParserUnit();
  IndexDone();
  EXPECT_FALSE(MemoHooks().Installed());
  EXPECT_FALSE(ParserHooks().Installed());
  EXPECT_FALSE(IndexHooks().Installed());
  ResetTzEngine();
}

}  // namespace
}  // namespace zeb::xbase
