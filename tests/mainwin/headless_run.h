// A test's own run of the program without a window: a private folder with
// copies of the shipped tables, the working folder switched to its "work",
// and the services as the program's start installs them. Stop puts back
// what Start changed.
#pragma once
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/globals.h"
#include "base/services.h"
#include "drawings/drawings.h"
#include "drawings/registry.h"
#include "graphics/facade.h"
#include "mainwin/commands.h"
#include "mainwin/program.h"
#include "program_fixture.h"
#include "tables/table_services.h"
#include "xbase/core/units.h"

#ifndef ZEB1_DBF_FOLDER
#error "ZEB1_DBF_FOLDER names the generated tables"
#endif

namespace zeb::test {

class HeadlessRun {
 public:
  fs::path root;

  // Folders dbf (the tables), tmp and work, and `more`.
  void Start(const std::string& prefix, const std::vector<std::string>& more = {}) {
    std::vector<std::string> folders{"dbf", "tmp", "work"};
    folders.insert(folders.end(), more.begin(), more.end());
    root = FreshTestFolder(prefix, folders);
    CopyShippedTables(ZEB1_DBF_FOLDER, root / "dbf");
    oldCwd_ = fs::current_path();
    fs::current_path(root / "work");
    xbase::InitTableEngineUnits();
  }

  // Fresh program state, the real services and a window that records.
  void InstallServices() {
    ResetProgramState();
    InitProgramUnits();
    InitProgramIdentity();
    InstallGraphicsFacade();
    InstallTableServices();
    InstallDrawings();
    SetMainWindow(std::make_shared<HeadlessMainWindow>());
    UseOwnFolders();
  }

  // The run's tables and temporary folder in place of the configured ones.
  void UseOwnFolders() const {
    G().DbfFolder = (root / "dbf").string() + "/";
    G().TempFolder = (root / "tmp").string() + "/";
  }

  void Stop() {
    if (!oldCwd_.empty()) fs::current_path(oldCwd_);
    fs::remove_all(root);
    ClearDrawingRegistry();
    SetGraphics(nullptr);
    SetDrawings(nullptr);
    SetTables(nullptr);
    ResetProgramState();
  }

 private:
  fs::path oldCwd_;
};

}  // namespace zeb::test
