// A name chosen in a save dialog where a file already is: every road that
// writes such a file asks before replacing it (the dialog leaves that
// question to its caller). Nein and Abbrechen leave the file as it was, Ja
// replaces it; a FIFO at the name is refused, never waited on.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "base/globals.h"
#include "base/headless_ui.h"
#include "base/test_files_support.h"
#include "graphics/cad.h"
#include "graphics/cadsettings.h"
#include "mainwin/form_dialogs.h"
#include "mainwin/qt/input_dialogs.h"
#include "program_fixture.h"
#include "qt_test_support.h"
#include "spring/ref_spring.h"
#include "tables/qt/tdbf4.h"
#include "tables/table_functions.h"
#include "tables/table_services.h"
#include "xbase/core/callbacks.h"
#include "xbase/core/engine.h"
#include "xbase/core/units.h"

namespace zeb {
namespace {

namespace fs = std::filesystem;

enum class Road { CadDxf, CadIges, CadTxt, TableHtml, TableDelimited, ConfigExport };
enum class Holder { Yes, No, Cancel, Fifo };

struct Case {
  Road road;
  Holder holder;
};

const char* RoadName(Road r) {
  switch (r) {
    case Road::CadDxf: return "CadDxf";
    case Road::CadIges: return "CadIges";
    case Road::CadTxt: return "CadTxt";
    case Road::TableHtml: return "TableHtml";
    case Road::TableDelimited: return "TableDelimited";
    case Road::ConfigExport: return "ConfigExport";
  }
  return "";
}

class ChosenSave : public test::SpringTest, public testing::WithParamInterface<Case> {
 protected:
  void SetUp() override {
    SpringTest::SetUp();
    test::MakeRefSpring();
    xbase::ResetTzEngine();
    xbase::InitTableEngineUnits();
    fs::create_directories(dir_ / "dbf");
    zeb::test::CopyShippedTables(ZEB1_DBF_FOLDER, fs::path(dir_.path()) / "dbf");
    G().DbfFolder = dir_ / "dbf";
    G().DataFolder = dir_.path();
    fs::create_directories(dir_ / "tmp");
    G().TempFolder = dir_ / "tmp";
    CadSettings().CadFolder = dir_.path();
    InstallTableServices();
    InstallQtTableBrowser();
    // The HTML export shows its page: a viewer that only says it started.
    test::WriteBytes(bin_ / "xdg-open", "#!/bin/sh\nexit 0\n");
    ::chmod((bin_ / "xdg-open").c_str(), 0755);
    const char* path = std::getenv("PATH");
    env_.Set("PATH", bin_.path() + ":" + (path != nullptr ? path : "/usr/bin:/bin"));
  }
  void TearDown() override {
    TableClose();
    SetTableBrowser(nullptr);
    SetTables(nullptr);
    xbase::SetTzCallback(nullptr);
    UninstallQtInputDialogs();
    SpringTest::TearDown();
  }

  // The table window on zebwst, its menu item triggered.
  static void FromTableMenu(const char* item) {
    test::ModalDriver d("dbf4", [item](QWidget& w) {
      w.findChild<QAction*>(item)->trigger();
      w.findChild<QPushButton*>("Button_ok")->click();
    });
    Tables().EditTable("zebwst", 3300);
  }

  test::ScratchDir dir_, bin_;
  test::ScopedEnv env_;
};

TEST_P(ChosenSave, AFileAtTheChosenNameIsAskedAbout) {
  const auto [road, holder] = GetParam();
  const char* ext = road == Road::CadDxf ? "dxf" : road == Road::CadIges ? "igs" : road == Road::CadTxt ? "txt"
                    : road == Road::TableHtml ? "htm" : road == Road::TableDelimited ? "txt" : "cfg";
  const std::string file = dir_ / (std::string("gewählt.") + ext);
  // The CAD dialog's name without an extension gets the code's: the file
  // asked about is the one written.
  const bool cad = road == Road::CadDxf || road == Road::CadIges || road == Road::CadTxt;
  const std::string chosen = cad ? dir_ / "gewählt" : file;
  const std::string old = "vorher\r\n";
  if (holder == Holder::Fifo) {
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
  } else {
    test::WriteBytes(file, old);
  }
  ui().ExpectSaveFile(chosen);
  if (holder == Holder::Fifo) {
    ui().ExpectMessageBox("", "gewählt." + std::string(ext) + " kann nicht geschrieben werden: keine reguläre Datei");
  } else {
    ui().ExpectQuestion("", "gewählt." + std::string(ext) + " existiert bereits.   überschreiben ?",
                        holder == Holder::Yes ? Answer::Yes : holder == Holder::No ? Answer::No : Answer::Cancel);
  }
  G().AbortFlag = 0;
  switch (road) {
    case Road::CadDxf:
    case Road::CadIges:
    case Road::CadTxt:
      CadBeginOutput(road == Road::CadDxf ? 1 : road == Road::CadIges ? 2 : 5);
      if (G().AbortFlag == 0) {
        CadLine(0, 0, 10, 10);
        CadEndOutput();
      }
      EXPECT_EQ(G().AbortFlag, holder == Holder::Yes ? 0 : 1);
      break;
    case Road::TableHtml:
      FromTableMenu("mi_fileExportHtml");
      break;
    case Road::TableDelimited:
      FromTableMenu("mi_fileSaveAsDelimited");
      break;
    case Road::ConfigExport: {
      FormCommandDialogs dialogs(QtFormRunners(nullptr));
      test::ModalDriver d("Tconfig", [](QWidget& w) {
        w.findChild<QAbstractButton*>("Button_export")->click();
        w.findChild<QAbstractButton*>("Button_cancel")->click();
      });
      dialogs.Configuration();
      break;
    }
  }
  if (holder == Holder::Fifo) {
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
  } else if (holder == Holder::Yes) {
    const std::string now = test::ReadBytes(file);
    EXPECT_NE(now, old);
    EXPECT_GT(now.size(), 20u);
  } else {
    EXPECT_EQ(test::ReadBytes(file), old);
  }
  // Nothing beside it: no scratch copy left, no second name written.
  EXPECT_EQ(dir_.Entries(), (std::vector<std::string>{"dbf", std::string("gewählt.") + ext, "tmp"}));
}

std::vector<Case> AllCases() {
  std::vector<Case> cases;
  for (Road r : {Road::CadDxf, Road::CadIges, Road::CadTxt, Road::TableHtml, Road::TableDelimited, Road::ConfigExport})
    for (Holder h : {Holder::Yes, Holder::No, Holder::Cancel, Holder::Fifo}) cases.push_back({r, h});
  return cases;
}

std::string CaseName(const testing::TestParamInfo<Case>& info) {
  const char* holders[] = {"Ja", "Nein", "Abbrechen", "Fifo"};
  return std::string(RoadName(info.param.road)) + holders[static_cast<int>(info.param.holder)];
}

INSTANTIATE_TEST_SUITE_P(EveryRoad, ChosenSave, testing::ValuesIn(AllCases()), CaseName);

const auto* const kQt = testing::AddGlobalTestEnvironment(new test::QtEnvironment);

}  // namespace
}  // namespace zeb
