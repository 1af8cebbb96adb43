// Fixture of the table tests: fresh globals and engine, a scratch DBF folder
// holding copies of the generated tables, a scratch temporary folder, a
// scripted table browser.
#pragma once
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "mainwin/program_fixture.h"
#include "base/globals.h"
#include "base/messages.h"
#include "base/recording_ui.h"
#include "base/ui_port.h"
#include "base/support_fixture.h"
#include "spring/material_csv.h"
#include "spring/spring_data.h"
#include "tables/table_functions.h"
#include "tables/table_services.h"
#include "tables/table_window.h"
#include "xbase/core/callbacks.h"
#include "xbase/core/engine.h"
#include "xbase/core/units.h"
#include "xbase/support_shown.h"

namespace zeb::test {

namespace fs = std::filesystem;

inline std::string ReadFileBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class TablesTest : public BaseTest {
 protected:
  void SetUp() override {
    BaseTest::SetUp();
    ResetSpringGlobals();
    xbase::ResetTzEngine();
    xbase::InitTableEngineUnits();
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    // One folder, also for a test of a parameter (whose names hold slashes).
    std::string test = std::string(info->test_suite_name()) + "_" + info->name();
    std::replace(test.begin(), test.end(), '/', '_');
    root_ = fs::temp_directory_path() / ("zeb1_tables_" + std::to_string(::getpid()) + "_" + test);
    fs::remove_all(root_);
    fs::create_directories(dbf());
    fs::create_directories(temp());
    zeb::test::CopyShippedTables(ZEB1_DBF_FOLDER, dbf());
    G().DbfFolder = dbf().string();
    G().TempFolder = temp().string();
    browser_ = std::make_shared<ScriptedTableBrowser>();
    SetTableBrowser(browser_);
    TableGlobals() = {};
    SetFolderWriteTest(nullptr);
  }
  void TearDown() override {
    TableClose();
    SetTableBrowser(nullptr);
    SetFolderWriteTest(nullptr);
    ::chmod(dbf().c_str(), 0755);
    fs::remove_all(root_);
    BaseTest::TearDown();
  }
  fs::path dbf() const { return root_ / "dbf"; }
  fs::path temp() const { return root_ / "temp"; }
  ScriptedTableBrowser& browser() { return *browser_; }
  std::vector<std::string> Messages() const {
    std::vector<std::string> m;
    const auto& list = G().ErrorMessageList;
    for (int i = 1; i <= list.count && i < static_cast<int>(list.slot.size()); ++i) m.push_back(list.slot[i]);
    return m;
  }

 private:
  fs::path root_;
  std::shared_ptr<ScriptedTableBrowser> browser_;
};

// The same with the table services the program installs (the table
// window's tests).
class TableWindowTest : public TablesTest {
 protected:
  void SetUp() override {
    TablesTest::SetUp();
    InstallTableServices();
  }
  void TearDown() override {
    SetTables(nullptr);
    xbase::SetTzCallback(nullptr);
    TablesTest::TearDown();
  }
  TableWindow& w() { return TheTableWindow(); }
};

// The table window over root/t.dbf (its temporary folder root/tmp), its
// boxes recorded.
inline std::shared_ptr<RecordingUi> OpenTableWindowOver(const fs::path& root) {
  auto ui = std::make_shared<RecordingUi>();
  SetUi(ui);
  G().DbfFolder = root.string() + "/";
  G().TempFolder = (root / "tmp").string() + "/";
  xbase::ResetTzEngine();
  xbase::InitTableEngineUnits();
  InstallTableServices();
  G().AbortFlag = 0;
  TableOpenFile((root / "t.dbf").string());
  return ui;
}

}  // namespace zeb::test
