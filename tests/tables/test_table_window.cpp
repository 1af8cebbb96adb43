// The table window's modes and commands without a screen: browse and edit
// modes, OK and Cancel, search, the sort click, pack, appends under the file
// lock and the HTML export.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <thread>
#include <utility>
#include <vector>

#include "base/files.h"
#include "base/globals.h"
#include "base/headless_ui.h"
#include "base/support_hang.h"
#include "platform/files.h"
#include "platform/oem_literal.h"
#include "reports/device.h"
#include "support_tables.h"
#include "xbase/full_disk.h"
#include "tables/table_functions.h"
#include "tables/table_services.h"
#include "xbase/dbf/dbffile.h"
#include "xbase/dbf/locking.h"
#include "xbase/dbf/tablecmds.h"
#include "xbase/core/callbacks.h"
#include "xbase/core/dates.h"
#include "xbase/core/errors.h"
#include "xbase/dbf/workarea.h"

namespace zeb {
namespace {

using test::ReadFileBytes;
using test::TablesTest;
namespace fs = std::filesystem;

using test::TableWindowTest;

TEST_F(TableWindowTest, BrowseAndEditModes) {
  TableOpen("zebwst");
  for (int mode : {1, 5, 4, 5, 0, 2}) w().ShowTable(mode);
  EXPECT_EQ(browser().Seen(), (std::vector<std::string>{"mode 1 hide 1 titles |", "mode 5 hide 1 titles |",
                                                         "mode 4 hide 0 titles |", "mode 5 hide 0 titles |",
                                                         "mode 0 hide 0 titles |", "mode 2 hide 0 titles |"}));
  // Cancel keeps the record number; OK takes the current record.
  TableGlobals().TableLastRecNo = 9;
  w().ShowTable(2);
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_EQ(TableGlobals().LastKeyCode, 27);
  EXPECT_EQ(TableGlobals().TableLastRecNo, 9);
  browser().Answer({true, 4, 7, 3});
  w().ShowTable(1);
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(TableGlobals().LastKeyCode, 13);
  EXPECT_EQ(TableGlobals().TableLastRecNo, 4);
  EXPECT_EQ(TableGlobals().TableLastCol, 3);
}

TEST_F(TableWindowTest, EditingACopySaysSoEachTime) {
  SetFolderWriteTest([](const std::string&) { return false; });
  // It says that edits reach a copy only, never the table itself.
  for (int i = 0; i < 3; ++i)
    ui().ExpectMessageBox("", "Kein Schreibrecht für dbf-Ordner !  Bearbeitung im Temporär-Ordner. Änderungen gehen "
                              "nur in eine Kopie und erreichen die Tabelle " +
                                  AddBackslash(G().DbfFolder) + "din2077.dbf nicht");
  Tables().EditTable("din2077", 3300);
  EXPECT_EQ(G().HelpNumber, 3300);
  EXPECT_EQ(browser().Seen().back(), "mode 2 hide 0 titles |din2077");
  EXPECT_FALSE(TheTableWindow().IsOpen());
  G().AbortFlag = 0;
  TableOpen("din2077");
  w().ShowTable(1);  // browsing says nothing
  w().ShowTable(2);
  w().ShowTable(0);
  TableClose();

  // A writable folder with a read-only table file names the file.
  SetFolderWriteTest([](const std::string&) { return true; });
  fs::permissions(dbf() / "din2077.dbf", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  ui().ExpectMessageBox("", "Kein Schreibrecht für die Tabellendatei " + AddBackslash(G().DbfFolder) +
                                "din2077.dbf (schreibgeschützt) !  Bearbeitung im Temporär-Ordner. Änderungen gehen "
                                "nur in eine Kopie");
  G().AbortFlag = 0;
  Tables().EditTable("din2077", 3300);
}

// Indexes and table copies of a run lie in its own folder, for the user
// alone, and go with it.
TEST_F(TableWindowTest, ScratchFilesOfTheRunAreTheUsersAlone) {
  ASSERT_EQ(MakeRunFolder(temp().string()), 0);
  const fs::path run = RunFolder();
  TableOpen("din2076");
  w().SortByColumn(2);
  auto mode = [](const fs::path& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 ? st.st_mode & 07777 : 0u;
  };
  EXPECT_EQ(mode(run / "$tlmtemp.ndx"), 0600u);
  TableClose();
  SetFolderWriteTest([](const std::string&) { return false; });
  const std::string copy = TablePathWithWriteCheck("din2077");
  EXPECT_EQ(fs::path(copy).parent_path(), run);
  EXPECT_EQ(mode(copy), 0600u);
  RemoveRunFolder();
  EXPECT_FALSE(fs::exists(run));
  EXPECT_FALSE(fs::exists(temp() / "$tlmtemp.ndx"));
}

TEST_F(TableWindowTest, SearchFindsADecimalCommaAsAPoint) {
  TableOpen("din2077");
  ui().ExpectInputText("Suchbegriff eingeben", "12,50");
  w().SearchCommand();
  EXPECT_EQ(TableRecNo(), 12);
  ui().ExpectInputText("Suchbegriff eingeben", "0.300");
  w().SearchCommand();
  EXPECT_EQ(TableRecNo(), 48);  // 31 mm, the first tolerance 0.300
  w().SearchNextCommand();
  EXPECT_EQ(TableRecNo(), 49);
  ui().ExpectInputText("Suchbegriff eingeben", "<x>");
  ui().ExpectMessageBox("", "<x> nicht gefunden");
  w().SearchCommand();
  // A cancelled input searches nothing and leaves AbortFlag clear.
  ui().ExpectInputText("Suchbegriff eingeben", TextAnswer::Cancel()).Value("<x>");
  w().SearchCommand();
  EXPECT_EQ(G().AbortFlag, 0);
}

TEST_F(TableWindowTest, SortClickKeepsTheRecord) {
  TableOpen("din2076");
  TableGo(40);  // 1.3 mm
  w().SortByColumn(2);  // TOLC
  EXPECT_TRUE(fs::exists(temp() / "$tlmtemp.ndx"));
  EXPECT_EQ(TableRecNo(), 40);
  EXPECT_EQ(TableGlobals().TableLastRecNo, 40);
  w().SortByColumn(2);
  EXPECT_EQ(TableRecNo(), 40);
  TableGoTop();
  EXPECT_EQ(TableGetField(3), test::Shown(" 0.004"));  // smallest TOLC first
  TableClose();
  fs::remove(temp() / "$tlmtemp.ndx");

  // A logical column keeps the order.
  TableOpen("printout");
  w().SortByColumn(6);
  EXPECT_FALSE(fs::exists(temp() / "$tlmtemp.ndx"));
}

TEST_F(TableWindowTest, PackRunsAtOnceWithoutAQuestion) {
  TableOpen("zebwst");
  EXPECT_EQ(TableRecCount(), 20);
  // No question: the scripted UI fails the test on any box it did not expect.
  w().PackCommand();
  EXPECT_EQ(TableRecCount(), 15);
  TableClose();
  // The engine's own confirmation switch is left as it was.
  EXPECT_FALSE(xbase::Engine().confirmPack);
}

TEST_F(TableWindowTest, AppendFromATableNeedsTheFileLock) {
  const fs::path path = dbf() / "din2077.dbf";
  const std::string before = ReadFileBytes(path);
  TableOpen("din2077");
  // Another user holds the file lock (a second open of the file).
  xbase::SetTzRaiseMode(false);
  xbase::SetTzErrorSwitch(false);
  xbase::Select(20);
  xbase::USE(path.string() + " ALIAS OTHER");
  ASSERT_EQ(xbase::TzCurrentError(), 0) << xbase::TzTakeLastErrorText();
  const bool locked = xbase::FLock();
  ASSERT_TRUE(locked) << xbase::TzCurrentError() << " " << xbase::TzTakeLastErrorText();
  ui().ExpectMessageBox("", "Die Tabelle din2077.dbf ist gerade von einem anderen Programm gesperrt; es wurde nichts");
  w().AppendDbfCommand((dbf() / "din2076.dbf").string());
  xbase::SelectArea(20);
  xbase::Unlock();
  xbase::CloseArea();
  EXPECT_EQ(TableRecCount(), 71);
  TableClose();
  EXPECT_EQ(ReadFileBytes(path), before);

  TableOpen("din2077");
  ui().ExpectMessageBox("Meldung", "75 Datensätze aus t10270_3.dbf an din2077.dbf angehängt.");
  w().AppendDbfCommand((dbf() / "t10270_3.dbf").string());
  EXPECT_EQ(TableRecCount(), 71 + 75);
}

TEST_F(TableWindowTest, AppendDelimitedShowsTheEngineProgress) {
  const std::string text = (temp() / "din2077.txt").string();
  TableOpen("din2077");
  w().SaveAsDelimitedCommand(text);
  auto engine = std::make_shared<xbase::HeadlessTzCallback>();
  xbase::SetTzCallback(engine);
  w().AppendDelimitedCommand(text);
  EXPECT_EQ(TableRecCount(), 2 * 71);
  int shown = 0, closed = 0, id = 0;
  for (const auto& e : engine->events) {
    if (e.kind == "show" && e.caption == "Appending...") ++shown, id = e.id;
    if (e.kind == "close" && e.id == id) ++closed;
  }
  EXPECT_GE(shown, 1);
  EXPECT_EQ(closed, 1);
}

// The stored bytes of a field of record n (1-based), found from the file's
// own header.
std::string StoredField(const std::string& file, int n, const std::string& name);

// The lines of a text, without their line ends.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    at = end + 1;
  }
  return lines;
}

// Drucken: a table that fits a report line is one table of its fields; a
// wider one goes in parts that each fit a line, every part with the record
// numbers. Every field of a record is printed, each in a column of its
// length + 1 holding the bytes the file stores.
TEST_F(TableWindowTest, PrintShowsEveryFieldInColumnsOfFieldWidthPlusOne) {
  G().OutputTarget = kOutFile;
  G().AskOutputTarget = 0;
  TableOpen("din2076");
  const fs::path narrow = temp() / "din2076.txt";
  ui().ExpectSaveFile(narrow.string());
  w().PrintCommand();
  const std::string small = ReadFileBytes(narrow);
  const std::size_t head = small.find(" D      TOLB   TOLC");
  ASSERT_NE(head, std::string::npos) << small;
  EXPECT_EQ(small.find("Satz"), std::string::npos);
  EXPECT_EQ(small.find("Felder"), std::string::npos);
  TableClose();

  TableOpen("zebwst");
  const fs::path chosen = temp() / "print.txt";
  ui().ExpectSaveFile(chosen.string());
  w().PrintCommand();
  const std::string text = ReadFileBytes(chosen);
  const std::string file = ReadFileBytes(dbf() / "zebwst.dbf");
  const int fields = w().FieldCount(), records = TableRecCount();
  ASSERT_EQ(fields, 27);
  // Field name -> (part, column in its lines); the line of each record in
  // each part.
  std::map<std::string, std::pair<int, std::size_t>> column;
  std::map<std::pair<int, int>, std::string> rowOf;
  int part = 0;
  std::size_t widest = 0;
  for (const std::string& line : Lines(text)) {
    if (line.find("Felder ") != std::string::npos || line.find("Feld ") != std::string::npos) {
      ++part;
      continue;
    }
    if (part == 0) continue;
    widest = std::max(widest, line.size());
    const std::size_t satz = line.find("Satz ");
    if (satz != std::string::npos) {
      for (std::size_t at = satz + 4; (at = line.find_first_not_of(' ', at)) != std::string::npos;) {
        const std::size_t end = std::min(line.find(' ', at), line.size());
        column[line.substr(at, end - at)] = {part, at};
        at = end;
      }
      continue;
    }
    const std::size_t first = line.find_first_not_of(' ');
    if (first == std::string::npos || satz != std::string::npos) continue;
    const std::size_t digits = line.find_first_not_of("0123456789", first);
    if (digits > first && digits != std::string::npos && line[digits] == ' ')
      rowOf[{part, std::stoi(line.substr(first, digits - first))}] = line;
  }
  EXPECT_GT(part, 1);
  EXPECT_LE(widest, 7u + 70u);  // the report's indent and line
  for (int f = 1; f <= fields; ++f) {
    const std::string name = TableFieldName(f);
    ASSERT_EQ(column.count(name), 1u) << name << "\n" << text;
    const auto [p, at] = column[name];
    for (int r = 1; r <= records; ++r) {
      const std::string stored = StoredField(file, r, name).substr(0, 60);
      ASSERT_EQ(rowOf.count(std::make_pair(p, r)), 1u) << name << " " << r;
      const std::string& row = rowOf[std::make_pair(p, r)];
      EXPECT_EQ(row.substr(at, stored.size()), stored) << name << " of record " << r;
    }
  }
}

// The sub-title under the report head is the window's caption in the mode
// it is shown in: the edit mode's names the table file.
TEST_F(TableWindowTest, PrintSubTitleIsTheCaptionOfTheModeShown) {
  // A short table path, so that the edit caption fits the head's line.
  struct InFolder {
    fs::path old = fs::current_path();
    explicit InFolder(const fs::path& p) { fs::current_path(p); }
    ~InFolder() { fs::current_path(old); }
  } in(dbf().parent_path());
  G().DbfFolder = "dbf";
  TableOpen("din2076");
  TableSetTitles("Drahtliste", "din2076");
  const std::string path = w().FileName();
  ASSERT_EQ(path, "dbf/din2076.dbf");
  G().OutputTarget = kOutFile;
  G().AskOutputTarget = 0;
  const std::vector<std::pair<int, std::string>> modes = {
      {2, "din2076  Drahtliste  (" + path + ")"}, {0, "din2076  Drahtliste  (" + path + ")"},
      {1, "din2076   Drahtliste"}, {4, "din2076   Drahtliste"}};
  for (const auto& [mode, caption] : modes) {
    const fs::path chosen = temp() / ("print" + std::to_string(mode) + ".txt");
    ui().ExpectSaveFile(chosen.string());
    browser().During([&](TableWindow& window) {
      G().AbortFlag = 0;
      window.PrintCommand();
    });
    w().ShowTable(mode);
    const std::string text = ReadFileBytes(chosen);
    EXPECT_NE(text.find(caption), std::string::npos) << "mode " << mode << ":\n" << text.substr(0, 600);
    // Each caption only in its own mode.
    if (mode == 1) {
      EXPECT_EQ(text.find(path + ")"), std::string::npos);
    }
  }
  browser().During({});
}

// A call that would open, close or show the table while a call on it is
// still running (events processed inside the open) is refused; the running
// open goes on and its table stays usable.
class PumpingCallback : public xbase::HeadlessTzCallback {
 public:
  std::function<void()> during;
  void Pump() override {
    HeadlessTzCallback::Pump();
    if (auto f = std::exchange(during, {})) f();
  }
};

TEST_F(TableWindowTest, CallsThatReplaceTheTableWhileItIsInUseAreRefused) {
  auto engine = std::make_shared<PumpingCallback>();
  xbase::SetTzCallback(engine);
  Byte innerAbort = 0;
  bool innerOpen = true;
  engine->during = [&] {
    G().AbortFlag = 0;
    TableOpen("din2076");
    innerAbort = G().AbortFlag;
    innerOpen = w().IsOpen();
  };
  ui().ExpectMessageBox("", "Die Tabelle " + (dbf() / "zebwst.dbf").string() + " ist noch in Arbeit; " +
                                (dbf() / "din2076.dbf").string() + " wird erst danach geöffnet.");
  G().AbortFlag = 0;
  TableOpen("zebwst");
  EXPECT_EQ(innerAbort, 1);
  EXPECT_FALSE(innerOpen);  // not yet: the outer open was still running
  EXPECT_EQ(G().AbortFlag, 0);
  ASSERT_TRUE(w().IsOpen());
  EXPECT_EQ(fs::path(w().FileName()).filename(), "zebwst.dbf");
  const auto rows = test::MaterialRows();
  EXPECT_EQ(TableRecCount(), static_cast<std::int32_t>(rows.size()));
  TableGo(3);
  EXPECT_EQ(TableGetField(1).substr(0, rows[2].at("name1").size()), rows[2].at("name1"));

  // A close inside a later call (its progress window processes events).
  const std::string text = (temp() / "zebwst.txt").string();
  w().SaveAsDelimitedCommand(text);
  engine->during = [&] { TableClose(); };
  ui().ExpectMessageBox("", "zebwst.dbf ist noch in Arbeit; sie bleibt offen.");
  w().AppendDelimitedCommand(text);
  EXPECT_TRUE(w().IsOpen());
  EXPECT_EQ(TableRecCount(), static_cast<std::int32_t>(2 * rows.size()));

  // While the window shows the table nothing else opens, closes or shows it.
  ui().ExpectMessageBox("", "wird erst danach geöffnet.");
  ui().ExpectMessageBox("", "sie bleibt offen.");
  ui().ExpectMessageBox("", "sie wird kein zweites Mal gezeigt.");
  browser().During([&](TableWindow& window) {
    TableOpen("din2077");
    TableClose();
    window.ShowTable(1);
    EXPECT_TRUE(window.IsOpen());
  });
  browser().Answer({true, 5, 1, 1});
  G().AbortFlag = 0;
  w().ShowTable(1);
  browser().During({});
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(TableGlobals().TableLastRecNo, 5);
  EXPECT_EQ(fs::path(w().FileName()).filename(), "zebwst.dbf");
  // Afterwards the table window is free again.
  TableOpen("din2077");
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(fs::path(w().FileName()).filename(), "din2077.dbf");
  EXPECT_EQ(TableRecCount(), 71);
}

TEST_F(TableWindowTest, HtmlExportEscapesAndStartsTheViewer) {
  {
    xbase::SetTzRaiseMode(true);
    xbase::DbfTable t;
    xbase::CreateDbf(t, (dbf() / "cells.dbf").string(), {{"NAME", 'C', 8, 0, 0}, {"N", 'N', 4, 1, 0}});
    xbase::Select(30);
    xbase::USE((dbf() / "cells.dbf").string() + " EXCLUSIVE");
    xbase::Append();
    xbase::Poke(std::string("a<b&\"\x94", 6), 1, 1);
    xbase::Poke(" 2.5", 2, 1);
    xbase::Append();
    xbase::Poke(std::string("x\0y", 3), 1, 2);
    xbase::DeleteRec();
    xbase::CloseArea();
  }
  const fs::path viewerDir = temp() / "my viewer";
  fs::create_directories(viewerDir);
  const fs::path seen = temp() / "seen";
  {
    std::ofstream v(viewerDir / "show.sh");
    // Written under another name, then renamed: seen exists only once whole.
    v << "#!/bin/sh\nprintf '%s|' \"$#\" \"$@\" > '" << seen.string() << ".tmp' && mv '" << seen.string() << ".tmp' '"
      << seen.string() << "'\n";
  }
  fs::permissions(viewerDir / "show.sh", fs::perms::owner_all);
  G().HtmlBrowserPath = "\"" + (viewerDir / "show.sh").string() + "\"";
  G().ProductName = "ZEB1";
  G().ProgramVersion = "26.6";

  TableOpen("cells");
  const fs::path out = temp() / "out dir" / "T\xc3\xa4" "b.htm";
  fs::create_directories(out.parent_path());
  ASSERT_TRUE(w().ExportHtml(out.string()));
  std::string html = ReadFileBytes(out);
  // The date and time line varies.
  const std::size_t p6 = html.find("<P>", html.find("<P>", html.find("<P>") + 1) + 1);
  html.replace(p6, html.find("</P>", p6) - p6, "<P>DATE");
  std::string upperPath;
  for (char c : (temp() / "out dir").string()) upperPath += (c >= 'a' && c <= 'z') ? char(c - 32) : c;
  EXPECT_EQ(html,
            "<HTML>\r\n"
            "<head><meta charset=\"utf-8\"><title>T\xc3\xa4" "b</title></head>\r\n"
            "<BODY BGCOLOR=\"C0C0C0\">\r\n"
            "<P>ZEB1V26.6</P>\r\n"
            "<P>" + upperPath + "/T\xc3\xa4" "B.HTM</P>\r\n"
            "<P>DATE</P>\r\n"
            "<HR>\r\n"
            "<TABLE BORDER = \"1\" WIDTH= \"100%\">\r\n"
            "<TR><TD><CENTER>NAME</CENTER></TD><TD><CENTER>N</CENTER></TD></TR>\r\n"
            "<TR><TD>a&lt;b&amp;&quot;\xc3\xb6  </TD><TD> 2.5</TD></TR>\r\n"
            "<TR><TD>x y     </TD><TD> 0.0</TD></TR>\r\n"
            "</TABLE>\r\n"
            "</BODY>\r\n"
            "</HTML>\r\n");
  test::WaitUntil([&] { return fs::exists(seen); });
  EXPECT_EQ(ReadFileBytes(seen), "1|" + out.string() + "|");

  // A viewer that does not start, or ends with an error (xdg-open without a
  // browser), is named with the page, which is written. The setting is a
  // command line: a path with blanks stands in quotes.
  const fs::path missing = temp() / "no-such-viewer";
  G().HtmlBrowserPath = "\"" + missing.string() + "\"";
  const std::string again = (temp() / "again.htm").string();
  ui().ExpectMessageBox("", "HTML-Ansicht nicht gestartet: Programm " + missing.string() +
                                " nicht gefunden; die Seite steht in " + again);
  EXPECT_TRUE(w().ExportHtml(again));
  EXPECT_TRUE(fs::exists(again));
  const fs::path failing = temp() / "xdg-open";
  std::ofstream(failing) << "#!/bin/sh\necho 'xdg-open: no method available' >&2\nexit 3\n";
  fs::permissions(failing, fs::perms::owner_all);
  G().HtmlBrowserPath = "\"" + failing.string() + "\"";
  ui().ExpectMessageBox("", "HTML-Ansicht nicht gestartet: Programm " + failing.string() +
                                " meldet Fehler (Code 3); die Seite steht in " + again);
  EXPECT_TRUE(w().ExportHtml(again));
  for (int i = 0; i < 3000 && ui().RunPollsOnce(true); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(ui().RunPollsOnce(true));
}

// The stored bytes of a field of record n (1-based), found from the file's
// own header.
std::string StoredField(const std::string& file, int n, const std::string& name) {
  auto u16 = [&](std::size_t at) { return static_cast<unsigned char>(file[at]) | static_cast<unsigned char>(file[at + 1]) << 8; };
  const std::size_t header = static_cast<std::size_t>(u16(8)), length = static_cast<std::size_t>(u16(10));
  std::size_t offset = 1;
  for (std::size_t d = 32; file[d] != '\r'; d += 32) {
    const std::size_t width = static_cast<unsigned char>(file[d + 16]);
    if (file.compare(d, name.size(), name) == 0 && file[d + name.size()] == '\0')
      return file.substr(header + static_cast<std::size_t>(n - 1) * length + offset, width);
    offset += width;
  }
  return "?";
}

TEST_F(TableWindowTest, FieldWritesWaitForThePostAndAppendsAreBlank) {
  const fs::path path = dbf() / "zebwst.dbf";
  TableOpen("zebwst");
  TableGo(2);
  TablePutIntByName("TMAX", 321);
  TablePutStrByName("NAME1", "Neu");
  // Held in the record being edited until it is posted or left.
  EXPECT_EQ(w().Dataset().State(), xbase::DataSetState::Edit);
  EXPECT_NE(StoredField(ReadFileBytes(path), 2, "TMAX"), "  321");
  TableClose();
  EXPECT_EQ(StoredField(ReadFileBytes(path), 2, "TMAX"), "  321");
  EXPECT_EQ(StoredField(ReadFileBytes(path), 2, "NAME1").substr(0, 4), "Neu ");

  // An append on a record with values adds a blank record, not a copy.
  TableOpen("zebwst");
  const std::int32_t count = TableRecCount();
  TableGo(3);
  ASSERT_TRUE(TableAppend());
  EXPECT_EQ(TableRecNo(), count + 1);
  TableClose();
  const std::string bytes = ReadFileBytes(path);
  EXPECT_EQ(StoredField(bytes, count + 1, "NAME1"), std::string(50, ' '));
  const std::string number = StoredField(bytes, count + 1, "MATNR");
  EXPECT_TRUE(number == std::string(9, ' ') || number == "        0") << number;
  EXPECT_NE(StoredField(bytes, 3, "NAME1"), std::string(50, ' '));
}

// A disk that fills during Append dbf, then Bearbeiten > Append: each box
// names the disk and the records that went in, no engine code; another
// program then takes the table's locks, and with room again the window
// edits and appends.
TEST_F(TableWindowTest, AFullDiskIsNamedAndLeavesNoLock) {
  const fs::path path = dbf() / "din2077.dbf";
  TableOpen("din2077");
  const std::string bytes = ReadFileBytes(path);
  const auto u16 = [&](std::size_t at) { return (bytes[at] & 0xFF) | (bytes[at + 1] & 0xFF) << 8; };
  const std::int64_t header = u16(8), length = u16(10);
  const std::string said = "Fehler : Die Datei " + fs::canonical(path).string() +
                           " kann nicht geschrieben werden: Die Datei überschreitet die zulässige Dateigröße. ";
  ui().ExpectMessageBox("Fehler", said + "10 Datensätze angehängt, die übrigen nicht.");
  ui().ExpectMessageBox("Fehler", said + "Es wurde kein Datensatz angehängt.");
  {
    const test::DiskFullFrom full(header + (71 + 10) * length + length / 2);
    w().AppendDbfCommand((dbf() / "t10270_3.dbf").string());
    EXPECT_FALSE(w().AppendLocked());
  }
  for (const std::string& m : ui().MessageTexts()) EXPECT_EQ(m.find("DBF Error"), std::string::npos) << m;
  EXPECT_EQ(test::LockedForOthers({{"table", path.string(), 0x40000000, 0x40000000}}), "");
  EXPECT_EQ(TableRecCount(), 81);
  TableGo(3);
  TablePutStrByName("TOL", "0.333");
  ASSERT_TRUE(TableAppend());
  TableClose();
  const std::string after = ReadFileBytes(path);
  EXPECT_EQ(StoredField(after, 3, "TOL"), " 0.333");
  EXPECT_EQ(after.size(), static_cast<std::size_t>(header + 82 * length + 1));
}

// What a peer prints for its statement over the table t (python3-dbf,
// dbfread) or for its Perl (the XBase module's table in $t); the table's
// path is the program's argument.
std::string PeerSays(const std::string& program) { return test::CommandOutput(program + " 2>&1"); }
std::string PyDbf(const fs::path& table, const std::string& statement) {
  return PeerSays("/usr/bin/python3 -c " +
                  test::ShellQuote("import dbf, sys; t = dbf.Table(sys.argv[1]); t.open(dbf.READ_WRITE); " + statement +
                                   "; t.close()") +
                  " " + test::ShellQuote(table.string()));
}
std::string DbfRead(const fs::path& table, const std::string& expression) {
  return PeerSays("/usr/bin/python3 -c " +
                  test::ShellQuote("import dbfread, sys; t = list(dbfread.DBF(sys.argv[1], encoding='cp850')); print(" +
                                   expression + ", end='')") +
                  " " + test::ShellQuote(table.string()));
}
std::string PerlXBase(const fs::path& table, const std::string& statement) {
  return PeerSays("perl -MXBase -e " +
                  test::ShellQuote("$t = XBase->new($ARGV[0]) or die XBase->errstr; " + statement) + " " +
                  test::ShellQuote(table.string()));
}

// A FoxPro 2 table of python3-dbf (its header padded after the field list)
// opens; a field written changes only its bytes (a blank number stays
// blank, "?" stays "?"); an appended record is blank where nothing was
// written; after Pack the empty memo's reference is blank; the peers read
// every record.
TEST_F(TableWindowTest, ForeignFoxProTableOpensAndWritesKeepUntouchedBytes) {
  if (PeerSays("/usr/bin/python3 -c 'import dbf, dbfread'") != "" || PeerSays("perl -MXBase -e 1") != "")
    GTEST_SKIP() << "python3-dbf, dbfread or Perl XBase missing";
  const fs::path path = dbf() / "fp.dbf";
  ASSERT_EQ(PeerSays("cd " + test::ShellQuote(dbf().string()) +
                     " && /usr/bin/python3 -c \"import dbf; t = dbf.Table('fp.dbf', 'NAME C(20); VAL N(6,3); OK L; "
                     "DAY D; NOTE M; NUM N(4,0)', dbf_type='fp'); t.open(dbf.READ_WRITE); "
                     "t.append(('Eins', 1.5, True, None, 'Text', None)); t.append(('Zwei', None, None, None, '', 3)); "
                     "t.close()\""),
            "");
  const std::string before = ReadFileBytes(path);
  ASSERT_EQ(static_cast<unsigned char>(before[0]), 0xF5);
  const unsigned header = static_cast<unsigned char>(before[8]) | static_cast<unsigned char>(before[9]) << 8;
  const unsigned length = static_cast<unsigned char>(before[10]) | static_cast<unsigned char>(before[11]) << 8;
  ASSERT_GT(header, 32u + 6 * 32 + 1);  // padded after the field list
  TableOpen("fp");
  ASSERT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(TableGetField(1).substr(0, 4), "Eins");
  TableGo(2);
  TablePutStrByName("NAME", "Zwo");
  TableClose();
  std::string expected = before;
  expected.replace(header + length + 1, 20, "Zwo" + std::string(17, ' '));
  std::string after = ReadFileBytes(path);
  after.replace(1, 3, before.substr(1, 3));  // the date of the last update
  EXPECT_EQ(after.substr(0, expected.size()), expected);

  TableOpen("fp");
  ASSERT_TRUE(TableAppend());
  TablePutStrByName("NAME", "Drei");
  TableClose();
  after = ReadFileBytes(path);
  EXPECT_EQ(after.substr(header + 2 * length, length), " Drei" + std::string(length - 5, ' '));

  TableOpen("fp");
  EXPECT_TRUE(w().Pack());
  TableClose();
  after = ReadFileBytes(path);
  EXPECT_EQ(after.substr(header + length + 1 + 20 + 6 + 1 + 8, 10), std::string(10, ' '));  // the empty memo
  EXPECT_EQ(DbfRead(path, "[(r['NAME'], r['VAL'], r['OK'], r['NOTE'], r['NUM']) for r in t]"),
            "[('Eins', 1.5, True, 'Text', None), ('Zwo', None, None, None, 3), ('Drei', None, None, None, None)]");
  EXPECT_EQ(PyDbf(path, "print([(r.name.strip(), r.val, r.note) for r in t], end='')"),
            "[('Eins', 1.5, 'Text'), ('Zwo', None, ''), ('Drei', None, '')]");
  EXPECT_EQ(PerlXBase(path, "print join(\"|\", map { ($t->get_record($_))[1,2] } 0..2)"), "Eins|1.5|Zwo||Drei|");
}

// A dBase III table of the given fields (name, type, length, decimals) and
// records (the bytes after each deletion flag), with its end mark.
struct FieldSpec {
  const char* name;
  char type;
  int length, decimals;
};
std::string DbaseTable(const std::vector<FieldSpec>& fields, const std::vector<std::string>& records) {
  std::string head(32, '\0');
  head[0] = 0x03;
  head[1] = 126, head[2] = 1, head[3] = 15;
  const std::size_t header = 32 + 32 * fields.size() + 1;
  std::size_t length = 1;
  for (const FieldSpec& f : fields) length += static_cast<std::size_t>(f.length);
  for (int b = 0; b < 4; ++b) head[4 + b] = static_cast<char>(records.size() >> (8 * b));
  head[8] = static_cast<char>(header & 0xFF), head[9] = static_cast<char>(header >> 8);
  head[10] = static_cast<char>(length & 0xFF), head[11] = static_cast<char>(length >> 8);
  std::string bytes = head;
  for (const FieldSpec& f : fields) {
    std::string d(32, '\0');
    d.replace(0, std::strlen(f.name), f.name);
    d[11] = f.type;
    d[16] = static_cast<char>(f.length);
    d[17] = static_cast<char>(f.decimals);
    bytes += d;
  }
  bytes += '\x0D';
  for (const std::string& r : records) bytes += " " + r;
  return bytes + '\x1A';
}

// Append dbf between tables of other structure: a field without source and
// one whose source is blank stay blank (no 0, no F); a number too wide for a
// numeric field, a text that is no number and one that is no date are
// named and leave the field blank; a character field shows the "*" of a
// number too wide for it; "12,5" loses its decimals and "T" stays a logical,
// as the conversion rules say. The closing message counts both.
TEST_F(TableWindowTest, AppendDbfAcrossStructuresKeepsBlanksAndNamesWhatItCannotTake) {
  const fs::path src = dbf() / "quelle.dbf", dst = dbf() / "ziel.dbf";
  // NAME C10, D N10.2, CN C6, DX C10, OK L, NC N8.2, field by field.
  test::WriteBytes(src, DbaseTable({{"NAME", 'C', 10, 0}, {"D", 'N', 10, 2}, {"CN", 'C', 6, 0}, {"DX", 'C', 10, 0},
                                    {"OK", 'L', 1, 0}, {"NC", 'N', 8, 2}},
                                   {std::string("Eins      ") + " 123456.78" + "12,5  " + "kein Datum" + "T" + "  123.45",
                                    std::string("Zwei      ") + "          " + "abc   " + "          " + " " + "        ",
                                    std::string("Drei      ") + "      0.00" + "7     " + "          " + "F" + "    1.50"}));
  test::WriteBytes(dst, DbaseTable({{"NAME", 'C', 10, 0}, {"D", 'N', 6, 2}, {"CN", 'N', 5, 1}, {"DX", 'D', 8, 0},
                                    {"OK", 'L', 1, 0}, {"EXTRA", 'N', 4, 0}, {"FLAG", 'L', 1, 0}, {"NC", 'C', 4, 0}},
                                   {}));
  TableOpen("ziel");
  ASSERT_EQ(G().AbortFlag, 0);
  ui().ExpectMessageBox("", "3 Datensätze aus quelle.dbf an ziel.dbf angehängt. 4 Werte konnten nicht übernommen "
                            "werden:\n"
                            "Satz 1, Feld D: \"123456.78\" passt nicht in 6 Stellen mit 2 nach dem Komma; das Feld "
                            "bleibt leer.\n"
                            "Satz 1, Feld DX: \"kein Datum\" ist kein Datum; das Feld bleibt leer.\n"
                            "Satz 1, Feld NC: \"123.45\" passt nicht in 4 Zeichen; das Feld zeigt ****.\n"
                            "Satz 2, Feld CN: \"abc\" ist keine Zahl; das Feld bleibt leer.");
  w().AppendDbfCommand(src.string());
  EXPECT_EQ(TableRecCount(), 3);
  TableClose();
  const std::string bytes = ReadFileBytes(dst);
  const std::size_t header = 32 + 32 * 8 + 1, length = 1 + 10 + 6 + 5 + 8 + 1 + 4 + 1 + 4;
  ASSERT_EQ(bytes.size(), header + 3 * length + 1);
  // NAME C10, D N6.2, CN N5.1, DX D, OK L, EXTRA N4, FLAG L, NC C4.
  EXPECT_EQ(bytes.substr(header),
            std::string(" Eins      ") + "      " + " 12.0" + "        " + "T" + "    " + " " + "****" +
                " Zwei      " + "      " + "     " + "        " + " " + "    " + " " + "    " +
                " Drei      " + "  0.00" + "  7.0" + "        " + "F" + "    " + " " + "1.50" + "\x1A");
  EXPECT_EQ(DbfRead(dst, "[tuple(r.values()) for r in t]"),
            "[('Eins', None, 12.0, None, True, None, None, '****'), "
            "('Zwei', None, None, None, None, None, None, ''), "
            "('Drei', 0.0, 7.0, None, False, None, None, '1.50')]");
}

// An append cut between its record and the header's new count: the
// program's reads name it and read nothing; the table window opens the
// table with the header's count (Perl's XBase reads as many), and editing
// it names the record past the count: Abbrechen leaves the file, Nein drops
// the record, Ja takes it in; the file then ends after the counted records
// with its end mark, stray bytes after the record gone too.
TEST_F(TableWindowTest, RecordsPastTheCountOpenAndAreMendedOnRequest) {
  const fs::path path = dbf() / "din2077.dbf";
  const std::string good = ReadFileBytes(path);
  const auto u16 = [&](std::size_t at) { return static_cast<std::size_t>((good[at] & 0xFF) | (good[at + 1] & 0xFF) << 8); };
  const std::size_t header = u16(8), length = u16(10);
  const std::size_t count = (good.size() - 1 - header) / length;
  ASSERT_EQ(good.size(), header + count * length + 1);
  ASSERT_EQ(good.back(), '\x1A');
  const std::string extra = good.substr(header, length);  // a copy of record 1
  const std::string cut = good.substr(0, good.size() - 1) + extra + "\x12\x34";
  const std::string asked = "ist länger, als ihr Kopf sagt: hinter ihren " + std::to_string(count) +
                            " Datensätzen stehen noch 1 Datensatz (" + std::to_string(length) +
                            " Byte) eines abgebrochenen Anhängens, die sie nicht zeigt. Ja: als Datensatz " +
                            std::to_string(count + 1) + " übernehmen; Nein: entfernen";
  test::WriteBytes(path, cut);
  ui().ExpectMessageBox("", "Tabelle " + path.string() + " beschädigt: 1 Datensatz hinter der Satzzahl " +
                                std::to_string(count) +
                                " (ein abgebrochenes Anhängen; beim Bearbeiten der Tabelle übernehmen oder entfernen)");
  TableOpen("din2077");
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_FALSE(w().IsOpen());
  G().AbortFlag = 0;
  w().OpenWithWriteCheck("din2077");
  ASSERT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(TableRecCount(), static_cast<std::int32_t>(count));
  EXPECT_EQ(PerlXBase(path, "print $t->last_record + 1"), std::to_string(count));
  ui().ExpectQuestion("", asked, Answer::Cancel);
  w().ShowTable(2);
  EXPECT_EQ(ReadFileBytes(path), cut);
  ui().ExpectQuestion("", asked, Answer::No);
  w().ShowTable(2);
  EXPECT_EQ(TableRecCount(), static_cast<std::int32_t>(count));
  TableClose();
  EXPECT_EQ(ReadFileBytes(path), good);

  test::WriteBytes(path, cut);
  G().AbortFlag = 0;
  w().OpenWithWriteCheck("din2077");
  ui().ExpectQuestion("", asked, Answer::Yes);
  w().ShowTable(2);
  EXPECT_EQ(TableRecCount(), static_cast<std::int32_t>(count + 1));
  w().ShowTable(2);  // nothing past the count any more: no question
  TableClose();
  const std::string taken = ReadFileBytes(path);
  ASSERT_EQ(taken.size(), header + (count + 1) * length + 1);
  EXPECT_EQ(taken.substr(header), good.substr(header, count * length) + extra + "\x1A");
  EXPECT_EQ(u16(4) + 1, static_cast<std::size_t>((taken[4] & 0xFF) | (taken[5] & 0xFF) << 8));
  EXPECT_EQ(PerlXBase(path, "print $t->last_record + 1"), std::to_string(count + 1));
  EXPECT_EQ(DbfRead(path, "len(t), t[-1] == t[0]"), std::to_string(count + 1) + " True");
}

// The records in the window's order, each as "record:TOLB".
std::vector<std::string> Sorted(TableWindow& w) {
  std::vector<std::string> order;
  w.GoTop();
  for (int i = 0; i < 1000 && !w.IsEof(); ++i) {
    order.push_back(std::to_string(w.RecNo()) + ":" + w.RawField(2));
    w.Skip(1);
  }
  return order;
}

// A view sorted by TOLB while another program changes the TOLB of record 3
// and appends a record: the edit of TOLC lands beside the other program's
// TOLB, the record moves to its new place, the appended record is in the
// view at its place, Suchen finds it, and no box names an engine error.
TEST_F(TableWindowTest, ASortedViewFollowsAnotherProgramsKeysAndRecords) {
  const fs::path path = dbf() / "din2076.dbf";
  TableOpen("din2076");
  ASSERT_EQ(G().AbortFlag, 0);
  const std::int32_t count = TableRecCount();
  w().SortByColumn(1);  // TOLB
  xbase::TTzDbf other("OTHER");
  other.SetDbfFileName(path.string());
  other.Open();
  // Another program: TOLB of record 3 to the end of the order, then a new
  // record at its start.
  other.Go(3);
  other.Edit();
  other.FieldByName("TOLB").SetAsString("0.999");
  other.Post();
  other.Append();
  other.FieldByName("D").SetAsString("9.99");
  other.FieldByName("TOLB").SetAsString("0.001");
  other.FieldByName("TOLC").SetAsString("0.002");
  other.Post();
  ASSERT_EQ(other.State(), xbase::DataSetState::Browse);
  other.Close();

  TableGo(3);
  TablePutStrByName("TOLC", "0.333");
  w().Settle();
  EXPECT_EQ(w().Dataset().State(), xbase::DataSetState::Browse);
  const std::vector<std::string> order = Sorted(w());
  ASSERT_EQ(order.size(), static_cast<std::size_t>(count + 1));
  EXPECT_EQ(order.front(), std::to_string(count + 1) + ": 0.001");
  EXPECT_EQ(order.back(), "3: 0.999");
  EXPECT_EQ(DbfRead(path, "(t[2]['TOLB'], t[2]['TOLC'], len(t))"), "(0.999, 0.333, " + std::to_string(count + 1) + ")");
  int field = 0;
  ASSERT_TRUE(w().Guarded([&] { field = w().Dataset().Search("9.99", 0, 1); }));
  EXPECT_EQ(field, 1);
  EXPECT_EQ(TableRecNo(), count + 1);
  // The deletion mark of the moved record.
  TableGo(3);
  w().ToggleDeleted();
  EXPECT_TRUE(TableDeleted());
  for (const std::string& m : ui().MessageTexts()) EXPECT_EQ(m.find("Fehler"), std::string::npos) << m;
}

}  // namespace
}  // namespace zeb

namespace zeb {
namespace {

// A date another program changed while the window's record edit of it was
// open: the question shows both dates as the grid does, not as stored.
TEST_F(TableWindowTest, TheOverwriteQuestionShowsDatesAsTheGridDoes) {
  const fs::path path = dbf() / "dated.dbf";
  std::string head(32, '\0');
  head[0] = 0x03, head[1] = 126, head[2] = 1, head[3] = 15, head[4] = 1, head[8] = 97, head[10] = 19;
  const auto field = [](const char* n, char t, int len) {
    std::string d(32, '\0');
    d.replace(0, std::strlen(n), n);
    d[11] = t;
    d[16] = static_cast<char>(len);
    return d;
  };
  const std::string bytes = head + field("NAME", 'C', 10) + field("DATUM", 'D', 8) + '\x0D' + " Probe     20260115" + '\x1A';
  test::WriteBytes(path, bytes);
  w().OpenWithWriteCheck("dated");
  ASSERT_EQ(G().AbortFlag, 0);
  w().GoRecord(1);
  w().PutStrByName("DATUM", xbase::DbfToDate("20310201"));
  // Another program writes its date meanwhile.
  std::string changed = bytes;
  changed.replace(97 + 11, 8, "20300101");
  test::WriteBytes(path, changed);
  std::string asked;
  ui().ExpectQuestion("", "Feld DATUM", Answer::Yes).Then([&](const UiShown& shown) { asked = shown.text; });
  TableClose();
  EXPECT_NE(asked.find("\"" + xbase::DbfToDate("20300101") + "\", Ihre Eingabe ist \"" + xbase::DbfToDate("20310201") + "\""),
            std::string::npos)
      << asked;
  EXPECT_EQ(asked.find("2030010"), std::string::npos) << asked;
  std::string written = changed;
  written.replace(97 + 11, 8, "20310201");
  const std::string after = ReadFileBytes(path);
  EXPECT_EQ(after.substr(32), written.substr(32));
}

}  // namespace
}  // namespace zeb
