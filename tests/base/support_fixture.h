// Test fixture of the base library: fresh globals and a scripted UI port.
//
//   class MyTest : public zeb::test::BaseTest {};
//   TEST_F(MyTest, Something) {
//     ui().ExpectMessageBox("Fehler", "Diskette/Platte voll");
//     ...
//   }
//
// SetUp resets every global (ResetBaseGlobals) and installs a new ScriptedUi;
// an unexpected interaction fails the test where it happens, and TearDown
// fails the test for expectations left unused, then puts a BatchUi back.
// A fixture that overrides SetUp or TearDown calls BaseTest's first or last.
#pragma once
#include <gtest/gtest.h>

#include <memory>

#include "base/headless_ui.h"

namespace zeb::test {

class BaseTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  ScriptedUi& ui() { return *ui_; }

 private:
  std::shared_ptr<ScriptedUi> ui_;
};

}  // namespace zeb::test
