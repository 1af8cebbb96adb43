// Texts and file names the program shows or opens reach their place whole,
// however long: the engine's message box (text and caption) and its stop
// box, a message's cause and remedy in an HTML printout, an index, a delimited import and copy under
// a path of more than 255 characters.
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "base/help.h"
#include "base/messages.h"
#include "base/recording_ui.h"
#include "base/ui_port.h"
#include "reports/device.h"
#include "tables/support_tables.h"
#include "tables/table_functions.h"
#include "tables/table_services.h"
#include "xbase/core/callbacks.h"
#include "xbase/core/engine.h"
#include "xbase/core/errors.h"
#include "xbase/dataset/filedataset.h"
#include "xbase/failure_tables.h"

namespace zeb {
namespace {

namespace fs = std::filesystem;

class WholeTexts : public test::TableWindowTest, public ::testing::WithParamInterface<std::string> {
 protected:
  // A folder whose path runs past 255 characters, with blanks or without
  // (a list of index names parts at blanks), holding the failure tables.
  fs::path Deep(bool blanks = true) {
    const std::string part(100, 'p'), gap = blanks ? " " : "_";
    const fs::path deep = temp() / ("a" + gap + "folder" + gap + part) / ("and" + gap + "another" + gap + part);
    fs::create_directories(deep / "tmp");
    xbase::ResetTzEngine();
    xbase::InitTableEngineUnits();
    xbase::test::MakeFailureTables(deep, false);
    return deep;
  }
  // The table window over t.dbf of the folder, its boxes recorded.
  std::shared_ptr<test::RecordingUi> OpenWindow(const fs::path& root) {
    auto ui = std::make_shared<test::RecordingUi>();
    SetUi(ui);
    G().DbfFolder = root.string() + "/";
    G().TempFolder = (root / "tmp").string() + "/";
    InstallTableServices();
    G().AbortFlag = 0;
    TableOpenFile((root / "t.dbf").string());
    return ui;
  }
  static std::uint32_t RecordCount(const fs::path& table) {
    const std::string b = test::ReadFileBytes(table);
    return static_cast<unsigned char>(b[4]) | static_cast<unsigned char>(b[5]) << 8 |
           static_cast<unsigned char>(b[6]) << 16 | static_cast<unsigned char>(b[7]) << 24;
  }
};

TEST_P(WholeTexts, ReachTheirPlaceWhole) {
  const std::string road = GetParam();
  const std::string text = "Anfang " + std::string(300, 't') + " Ende", caption = "Titel " + std::string(300, 'c');
  if (road == "EngineBox" || road == "StopBox") {
    const auto cb = std::make_shared<xbase::HeadlessTzCallback>();
    xbase::SetTzCallback(cb);
    std::vector<int> exits;
    xbase::SetTzExitHandler([&exits](int code) { exits.push_back(code); });
    if (road == "EngineBox") {
      xbase::TzMessageBox(text, caption, 16);
    } else {
      xbase::SetTzErrorSwitch(true);
      xbase::SetTzRaiseMode(false);
      xbase::TzError(210, text);
    }
    xbase::ResetTzEngine();
    ASSERT_EQ(cb->events.size(), 1u);
    if (road == "EngineBox") {
      EXPECT_EQ(cb->events[0].text, text);
      EXPECT_EQ(cb->events[0].caption, caption);
    } else {
      EXPECT_EQ(cb->events[0].text, "Fehler Nr. 210 (Keine dBASE-Datei)\r\n" + text);
      EXPECT_EQ(exits, std::vector<int>{210});
    }
  } else if (road == "HtmlPrintout") {
    // A message's cause and remedy in the remarks of an HTML printout.
    G().HelpFolder = temp().string();
    G().TempFolder = temp().string();
    G().HtmlBrowserPath = "true";
    test::WriteBytes(temp() / "zeb1.err", "Meldung A\r\n" + text + "\r\nAbhilfe " + text + "\r\n");
    AddErrorMessage("Meldung A");
    InitOutputDevice();
    SetReportTitles("Titel", "", "", "", "", 0);
    OpenOutputDevice(kOutHtml, "");
    WriteReportPageHead(0, 0);
    WriteRemarksSection();
    CloseOutputDevice();
    const std::string html = test::ReadFileBytes(DeliveredFileName());
    InitOutputDevice();
    EXPECT_NE(html.find(">" + text + "<"), std::string::npos) << html;
    EXPECT_NE(html.find(">Abhilfe " + text + "<"), std::string::npos) << html;
  } else if (road == "Index") {
    // A list of index names parts at blanks (the temporary folder may hold
    // some): the name, over 255 characters, is given from that folder on.
    const fs::path deep = Deep(false), below = deep / std::string(100, 'n');
    fs::create_directories(below);
    const fs::path was = fs::current_path();
    fs::current_path(temp());
    const std::string index = (fs::relative(below, temp()) / "name.ndx").string();
    ASSERT_GT(index.size(), 255u);
    xbase::TTzDbf ds("I");
    ds.SetDbfFileName((deep / "t.dbf").string());
    ds.Open();
    ds.IndexOn("NAME", index);
    ds.Close();
    ASSERT_TRUE(fs::exists(index));
    ds.Open();
    ds.SetIndexTo(index);
    ds.GoTop();
    EXPECT_EQ(ds.FieldByName("NAME").AsString(), "N1");
    ds.Close();
    fs::current_path(was);
  } else if (road == "DelimitedImport" || road == "DelimitedCopy") {
    const fs::path deep = Deep();
    const auto ui = OpenWindow(deep);
    const std::uint32_t before = RecordCount(deep / "t.dbf");
    if (road == "DelimitedImport")
      TheTableWindow().AppendDelimitedCommand((deep / "d.txt").string());
    else
      TheTableWindow().SaveAsDelimitedCommand((deep / "out.txt").string());
    TableClose();
    SetUi(nullptr);
    EXPECT_TRUE(ui->texts.empty()) << ui->texts.front();
    if (road == "DelimitedImport") {
      EXPECT_EQ(RecordCount(deep / "t.dbf"), before + 6);
    } else {
      const std::string out = test::ReadFileBytes(deep / "out.txt");
      EXPECT_NE(out.find("\"N5\""), std::string::npos) << out;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Roads, WholeTexts,
                         ::testing::Values("EngineBox", "StopBox", "HtmlPrintout", "Index", "DelimitedImport",
                                           "DelimitedCopy"));

}  // namespace
}  // namespace zeb
