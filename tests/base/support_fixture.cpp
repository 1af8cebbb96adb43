#include "support_fixture.h"

#include "base/globals.h"

namespace zeb::test {

void BaseTest::SetUp() {
  ResetBaseGlobals();
  ui_ = std::make_shared<ScriptedUi>();
  ui_->OnFailure([](const std::string& message) { ADD_FAILURE() << "UI: " << message; });
  SetUi(ui_);
}

void BaseTest::TearDown() {
  // Failures were reported when they happened; what is left is the unused
  // part of the script.
  std::string unused = ui_->Unused();
  EXPECT_TRUE(unused.empty()) << "UI expectations not used:\n" << unused;
  ui_->OnFailure(nullptr);
  SetUi(std::make_shared<BatchUi>());
}

}  // namespace zeb::test
