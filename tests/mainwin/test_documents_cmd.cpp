// Document commands, the save question and the recent files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/files.h"
#include "base/globals.h"
#include "base/services.h"
#include "base/support_fixture.h"
#include "program_fixture.h"
#include "mainwin/documents_cmd.h"
#include "mainwin/program.h"
#include "spring/spring_data.h"
#include "spring/springfile.h"

namespace fs = std::filesystem;

namespace zeb {
namespace {

using test::ReadBytes;
using test::WriteBytes;

class DocumentsTest : public test::BaseTest {
 protected:
  void SetUp() override {
    BaseTest::SetUp();
    ResetProgramState();
    InitProgramUnits();
    InitProgramIdentity();
    window_ = std::make_shared<RecordingMainWindow>();
    SetMainWindow(window_);
    SetGraphics(nullptr);
    root_ = test::FreshTestFolder("zeb1_doc_", {"data", "work/dir"});
    oldCwd_ = fs::current_path();
    fs::current_path(root_ / "work");
    data_ = (root_ / "data").string() + "/";
    G().CurrentDataFolder = data_;
  }
  void TearDown() override {
    fs::current_path(oldCwd_);
    fs::remove_all(root_);
    ResetProgramState();
    BaseTest::TearDown();
  }
  // A spring file of the current data set at path.
  static void WriteSpring(const fs::path& path) { WriteBytes(path, FormatSpringFile(CurrentSpringFileRecords())); }
  bool Called(const std::string& call) const {
    const auto& c = window_->Calls();
    return std::find(c.begin(), c.end(), call) != c.end();
  }

  std::shared_ptr<RecordingMainWindow> window_;
  fs::path root_, oldCwd_;
  std::string data_;
};

// Archive mode x command-line file x named x the three answers.
TEST_F(DocumentsTest, QuerySaveChangesMatrix) {
  for (int archive = 0; archive <= 1; ++archive)
    for (int cmd = 0; cmd <= 1; ++cmd)
      for (int named = 0; named <= 1; ++named)
        for (Answer answer : {Answer::Yes, Answer::No, Answer::Cancel}) {
          SCOPED_TRACE(testing::Message() << "archive " << archive << " cmd " << cmd << " named " << named
                                          << " answer " << static_cast<int>(answer));
          BaseGlobals& g = G();
          g.ArchiveFlag = static_cast<Byte>(archive);
          g.CommandLineFileLoaded = static_cast<Byte>(cmd);
          g.CurrentFileName = named ? (cmd ? "dir/doc.zeb" : "doc") : "";
          g.CurrentDataFolder = data_;
          g.ModifiedFlag = 1;
          g.AbortFlag = 0;
          const fs::path file = cmd ? root_ / "work" / "dir" / "doc.zeb" : root_ / "data" / "doc.zeb";
          fs::remove(file);

          if (archive && cmd) {
            QuerySaveChanges();  // drops the changes without a question
            EXPECT_EQ(g.ModifiedFlag, 0);
            EXPECT_EQ(g.AbortFlag, 0);
            EXPECT_FALSE(fs::exists(file));
            continue;
          }
          if (named) {
            const std::string shown = cmd ? "dir/doc.zeb" : data_ + "doc.zeb";
            ui().ExpectQuestion("", "Datei speichern (" + shown + ") ?", answer);
            QuerySaveChanges();
            EXPECT_EQ(fs::exists(file), answer == Answer::Yes);
            EXPECT_EQ(g.ModifiedFlag, answer == Answer::Cancel ? 1 : 0);
            EXPECT_EQ(g.AbortFlag, answer == Answer::Cancel ? 1 : 0);
            EXPECT_EQ(g.ConfirmOverwrite, 1);
          } else {
            ui().ExpectQuestion("", "Bisherige Eingaben verwerfen ?", answer);
            QuerySaveChanges();
            EXPECT_EQ(g.ModifiedFlag, answer == Answer::Yes ? 0 : 1);
            EXPECT_EQ(g.AbortFlag, answer == Answer::Yes ? 0 : 1);
          }
        }
  // Not modified: nothing asked.
  G().ModifiedFlag = 0;
  G().AbortFlag = 0;
  G().CommandLineFileLoaded = 0;
  QuerySaveChanges();
  EXPECT_EQ(G().AbortFlag, 0);
}

// Save replaces the file it opened without asking; Save As onto an
// existing file asks, and No leaves everything as it was.
TEST_F(DocumentsTest, SaveAndSaveAs) {
  WriteSpring(root_ / "data" / "doc.zeb");
  const std::string old = ReadBytes(root_ / "data" / "doc.zeb");
  ReadSpringFile("doc");
  ASSERT_EQ(G().AbortFlag, 0);
  SpringData().d = 3.5L;
  G().CurrentFileName = "doc";
  G().ModifiedFlag = 1;
  FileSave();
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(G().ModifiedFlag, 0);
  EXPECT_NE(ReadBytes(root_ / "data" / "doc.zeb"), old);
  EXPECT_EQ(G().ConfirmOverwrite, 1);
  EXPECT_TRUE(Called("SetCaption(ZEB1   Druckfederberechnung  -  doc.zeb)"));

  const fs::path other = root_ / "data" / "other.zeb";
  WriteBytes(other, "keep");
  G().ModifiedFlag = 1;
  ui().ExpectSaveFile(other.string());
  ui().ExpectQuestion("", "existiert bereits", Answer::No);
  FileSaveAs();
  EXPECT_EQ(ReadBytes(other), "keep");
  EXPECT_EQ(G().ModifiedFlag, 1);
  EXPECT_EQ(G().RecentFiles[1], "");
  EXPECT_EQ(G().CurrentFileName, "doc");

  ui().ExpectSaveFile(other.string());
  ui().ExpectQuestion("", "existiert bereits", Answer::Yes);
  FileSaveAs();
  EXPECT_NE(ReadBytes(other), "keep");
  EXPECT_EQ(G().ModifiedFlag, 0);
  EXPECT_EQ(G().CurrentFileName, "other");
  EXPECT_EQ(G().RecentFiles[1], other.string());
}

// Save As into another folder that is declined ("No" to the overwrite
// question, or a name that cannot be written) leaves folder, name and
// caption as they were: the next Save writes the document's own file.
TEST_F(DocumentsTest, DeclinedSaveAsKeepsFolderAndName) {
  SpringData().d = 2.5L;
  G().CurrentFileName = "doc";
  const fs::path own = root_ / "data" / "doc.zeb";
  WriteSpring(own);
  const std::string mine = ReadBytes(own);
  ReadSpringFile("doc");
  ASSERT_EQ(G().AbortFlag, 0);
  SpringData().d = 2.75L;
  fs::create_directories(root_ / "elsewhere");
  const fs::path theirs = root_ / "elsewhere" / "doc.zeb";
  WriteBytes(theirs, "theirs");
  WriteBytes(root_ / "elsewhere" / "other.zeb", "other");

  G().ModifiedFlag = 1;
  ui().ExpectSaveFile((root_ / "elsewhere" / "other.zeb").string());
  ui().ExpectQuestion("", "existiert bereits", Answer::No);
  FileSaveAs();
  EXPECT_EQ(G().CurrentDataFolder, data_);
  EXPECT_EQ(G().CurrentFileName, "doc");

  // A folder that does not exist: "Ungültiger Dateiname".
  ui().ExpectSaveFile((root_ / "missing" / "new.zeb").string());
  ui().ExpectMessageBox("Fehler", "Ungültiger Dateiname");
  FileSaveAs();
  EXPECT_EQ(G().CurrentDataFolder, data_);
  EXPECT_EQ(G().CurrentFileName, "doc");

  G().AbortFlag = 0;
  FileSave();
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(ReadBytes(theirs), "theirs");
  EXPECT_EQ(ReadBytes(root_ / "elsewhere" / "other.zeb"), "other");
  EXPECT_NE(ReadBytes(own), mine);
  EXPECT_TRUE(Called("SetCaption(ZEB1   Druckfederberechnung  -  doc.zeb)"));
  EXPECT_FALSE(Called("SetCaption(ZEB1   Druckfederberechnung  -  other.zeb)"));
}

// The document's file became a FIFO: Ctrl+S says so at once instead of
// waiting for a writer; Save As onto a link to a device is refused too.
TEST_F(DocumentsTest, SaveOntoAFifoOrADeviceIsRefusedAtOnce) {
  const fs::path fifo = root_ / "data" / "doc.zeb";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  G().CurrentFileName = "doc";
  G().ModifiedFlag = 1;
  ui().ExpectMessageBox("Fehler", "Datei " + fifo.string() + " kann nicht geschrieben werden: keine reguläre Datei");
  FileSave();
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_EQ(G().ModifiedFlag, 1);
  EXPECT_TRUE(fs::is_fifo(fifo));

  const fs::path device = root_ / "data" / "null.zeb";
  fs::create_symlink("/dev/null", device);
  ui().ExpectSaveFile(device.string());
  ui().ExpectMessageBox("Fehler", "keine reguläre Datei");
  FileSaveAs();
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_EQ(G().ModifiedFlag, 1);
  EXPECT_EQ(G().RecentFiles[1], "");
}

using Recent = std::array<std::string, 5>;  // entries 1..4

TEST_F(DocumentsTest, RecentListMovesCapsAndComparesExactly) {
  BaseGlobals& g = G();
  g.CurrentDataFolder = "/f";
  for (const char* n : {"d", "c", "b", "a"}) AddRecentFile(n);
  EXPECT_EQ(g.RecentFiles, (Recent{"", "/f/a.zeb", "/f/b.zeb", "/f/c.zeb", "/f/d.zeb"}));
  AddRecentFile("c");  // entry 3 moves to the top
  EXPECT_EQ(g.RecentFiles, (Recent{"", "/f/c.zeb", "/f/a.zeb", "/f/b.zeb", "/f/d.zeb"}));
  AddRecentFile("e");  // entry 4 is dropped
  EXPECT_EQ(g.RecentFiles, (Recent{"", "/f/e.zeb", "/f/c.zeb", "/f/a.zeb", "/f/b.zeb"}));
  AddRecentFile("E");  // another file on a case-sensitive system
  EXPECT_EQ(g.RecentFiles, (Recent{"", "/f/E.zeb", "/f/e.zeb", "/f/c.zeb", "/f/a.zeb"}));
  RemoveRecentFile(1);
  RemoveRecentFile(0);
  RemoveRecentFile(5);
  EXPECT_EQ(g.RecentFiles, (Recent{"", "/f/e.zeb", "/f/c.zeb", "/f/a.zeb", ""}));
  // A name that carries its folder gets no second one.
  g.CurrentDataFolder = "/dev/";
  AddRecentFile("/dev/zero");
  AddRecentFile("/dev/zero.zeb");
  AddRecentFile("/g/x.y/spring");
  EXPECT_EQ(g.RecentFiles, (Recent{"", "/g/x.y/spring.zeb", "/dev/zero.zeb", "/f/e.zeb", "/f/c.zeb"}));
}

TEST_F(DocumentsTest, OpenRecentFile) {
  BaseGlobals& g = G();
  SpringData().d = 4.25L;
  WriteSpring(root_ / "data" / "three.zeb");
  WriteBytes(root_ / "data" / "bad.zeb", "garbage");
  g.RecentFiles[1] = data_ + "one.zeb";
  g.RecentFiles[2] = data_ + "bad.zeb";
  g.RecentFiles[3] = data_ + "three.zeb";
  g.CurrentFileName = "current";
  SpringData().d = 1.0L;

  OpenRecentFile(3);  // moves to the top
  EXPECT_EQ(SpringData().d, 4.25L);
  EXPECT_EQ(g.CurrentFileName, "three");
  EXPECT_EQ(g.CurrentDataFolder, data_);
  EXPECT_EQ(g.RecentFiles, (Recent{"", data_ + "three.zeb", data_ + "one.zeb", data_ + "bad.zeb", ""}));
  EXPECT_EQ(g.ModifiedFlag, 0);
  EXPECT_TRUE(Called("RefreshMainWindow()"));

  // A file that does not read keeps the document and its name.
  ui().ExpectMessageBox("", "bad.zeb");
  OpenRecentFile(3);
  EXPECT_EQ(g.AbortFlag, 1);
  EXPECT_EQ(g.CurrentFileName, "three");
  EXPECT_EQ(SpringData().d, 4.25L);

  // A missing file leaves the list with a message.
  window_->ClearCalls();
  ui().ExpectMessageBox("Meldung", "File " + data_ + "one.zeb not found !");
  OpenRecentFile(2);
  EXPECT_EQ(g.RecentFiles, (Recent{"", data_ + "three.zeb", data_ + "bad.zeb", "", ""}));
  EXPECT_TRUE(Called("SetMenuCaptions()"));
  EXPECT_EQ(g.CurrentFileName, "three");

  // Cancel in the save question: nothing is opened.
  g.ModifiedFlag = 1;
  ui().ExpectQuestion("", "Datei speichern", Answer::Cancel);
  OpenRecentFile(1);
  EXPECT_EQ(g.RecentFiles[1], data_ + "three.zeb");
  EXPECT_EQ(g.ModifiedFlag, 1);
}

TEST_F(DocumentsTest, ShortenMenuPath) {
  const std::string p49 = "/home/user/springs/" + std::string(26, 'x') + ".zeb";
  ASSERT_EQ(p49.size(), 49u);
  EXPECT_EQ(ShortenMenuPath(p49), p49);
  const std::string p50 = "/home/user/springs/" + std::string(27, 'x') + ".zeb";
  EXPECT_EQ(ShortenMenuPath(p50), "/.../" + std::string(27, 'x') + ".zeb");
  const std::string rel = "dir/sub/" + std::string(50, 'y') + ".zeb";
  EXPECT_EQ(ShortenMenuPath(rel), "dir/.../" + std::string(50, 'y') + ".zeb");
  const std::string oneSlash = "dir/" + std::string(50, 'y');
  EXPECT_EQ(ShortenMenuPath(oneSlash), oneSlash);
  EXPECT_EQ(ShortenMenuPath(std::string(60, 'z')), std::string(60, 'z'));
}

TEST_F(DocumentsTest, RecentItemsAndCaption) {
  ShowRecentFileEntries();
  EXPECT_TRUE(Called("SetRecentSeparator(0)"));
  for (int n = 1; n <= 4; ++n) EXPECT_TRUE(Called("SetRecentFileItem(" + std::to_string(n) + ",0,)"));
  window_->ClearCalls();
  G().RecentFiles[1] = "/f/t\xc3\xa4.zeb";  // UTF-8 path, 1252 caption
  FillRecentFileMenu(7);
  EXPECT_EQ(PS().ExitItemIndex, 7);
  EXPECT_TRUE(Called("SetRecentSeparator(1)"));
  EXPECT_TRUE(Called("SetRecentFileItem(1,1,&1 /f/t\xe4.zeb)"));
  EXPECT_TRUE(Called("SetRecentFileItem(2,0,)"));

  G().CurrentFileName = "";
  UpdateMainCaption();
  EXPECT_TRUE(Called("SetCaption(ZEB1   Druckfederberechnung)"));
  G().CurrentFileName = "x/t.zeb";
  UpdateMainCaption();
  EXPECT_TRUE(Called("SetCaption(ZEB1   Druckfederberechnung  -  x/t.zeb)"));
}

// New: the save question first; the template of the data folder; no name,
// empty title block; the new-spring sequence, then refresh and modified.
TEST_F(DocumentsTest, FileNew) {
  G().ModifiedFlag = 1;
  ui().ExpectQuestion("", "Bisherige Eingaben verwerfen ?", Answer::No);
  FileNew();
  EXPECT_FALSE(Called("RunNewSpringSequence()"));
  EXPECT_EQ(G().ModifiedFlag, 1);

  SpringData().d = 2.75L;
  WriteSpring(root_ / "data" / "null.zeb");
  SpringData().d = 1.0L;
  G().CurrentFileName = "old";
  G().TitleBlockLines[2] = "Titel";
  ui().ExpectQuestion("", "Datei speichern", Answer::No);
  FileNew();
  EXPECT_EQ(SpringData().d, 2.75L);
  EXPECT_EQ(G().CurrentFileName, "");
  EXPECT_EQ(G().TitleBlockLines[1], "");
  EXPECT_EQ(G().TitleBlockLines[2], "");
  EXPECT_TRUE(Called("RunNewSpringSequence()"));
  EXPECT_TRUE(Called("RefreshMainWindow()"));
  EXPECT_EQ(G().ModifiedFlag, 1);
  // The window is cleared by the sequence once its first step is taken,
  // not before it.
  const auto& gc = dynamic_cast<RecordingGraphics&>(Graphics()).Calls();
  EXPECT_EQ(std::find(gc.begin(), gc.end(), "GrafClear()"), gc.end());
}

TEST_F(DocumentsTest, FileOpen) {
  SpringData().d = 6.5L;
  const fs::path f = root_ / "data" / "open.zeb";
  WriteSpring(f);
  SpringData().d = 1.0L;
  // A cancelled save question opens nothing (no file dialog).
  G().ModifiedFlag = 1;
  ui().ExpectQuestion("", "Bisherige Eingaben verwerfen ?", Answer::Cancel);
  FileOpen();
  EXPECT_EQ(SpringData().d, 1.0L);

  G().ModifiedFlag = 0;
  ui().ExpectOpenFile(f.string());
  FileOpen();
  EXPECT_EQ(SpringData().d, 6.5L);
  EXPECT_EQ(G().CurrentFileName, "open");
  EXPECT_EQ(G().RecentFiles[1], f.string());
  EXPECT_TRUE(Called("SetCaption(ZEB1   Druckfederberechnung  -  open.zeb)"));

  ui().ExpectOpenFile(std::nullopt);
  FileOpen();
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_EQ(G().RecentFiles[2], "");
}

// A spring is saved (and handed on) under the file it was opened by,
// however it came: after a command-line start the file dialog's and the
// recent list's springs keep their folder, a name with a dot keeps it, a
// typed name with quotes is saved under exactly that name.
TEST_F(DocumentsTest, OpenedSpringIsSavedWhereItCameFrom) {
  SpringData().d = 2.5L;
  WriteSpring(root_ / "work" / "dir" / "cmd.zeb");
  const fs::path dotted = root_ / "data" / "feder.v2.zeb", plain = root_ / "data" / "round.zeb";
  WriteSpring(dotted);
  WriteSpring(plain);
  // Started with a file on the command line.
  G().CommandLineFileLoaded = 1;
  G().CurrentFileName = "dir/cmd.zeb";
  G().CurrentDataFolder.clear();
  ReadSpringFile(G().CurrentFileName);
  ASSERT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(CurrentSpringFilePath(), "dir/cmd.zeb");

  ui().ExpectOpenFile(dotted.string());
  FileOpen();
  ASSERT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(G().CurrentFileName, "feder.v2");
  EXPECT_EQ(CurrentSpringFilePath(), dotted.string());
  SpringData().d = 4.0L;
  G().ModifiedFlag = 1;
  FileSave();
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(ReadBytes(dotted), FormatSpringFile(CurrentSpringFileRecords()));
  EXPECT_FALSE(fs::exists(root_ / "work" / "feder.v2"));

  G().RecentFiles[3] = plain.string();
  OpenRecentFile(3);
  ASSERT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(CurrentSpringFilePath(), plain.string());

  const fs::path quoted = root_ / "data" / "q\"uo te.zeb";
  ui().ExpectSaveFile(quoted.string());
  FileSaveAs();
  ASSERT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(G().CurrentFileName, "q\"uo te");
  EXPECT_EQ(CurrentSpringFilePath(), quoted.string());
  fs::remove(quoted);
  FileSave();
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_TRUE(fs::is_regular_file(quoted));
  std::vector<std::string> work;
  for (const auto& e : fs::directory_iterator(root_ / "work")) work.push_back(e.path().filename().string());
  EXPECT_EQ(work, std::vector<std::string>{"dir"});
}

}  // namespace
}  // namespace zeb
