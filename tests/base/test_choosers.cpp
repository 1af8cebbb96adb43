// Confirmation before writing or erasing a file, and the choosers.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/choosers.h"
#include "base/files.h"
#include "base/globals.h"
#include "base/textfile.h"
#include "support_fixture.h"
#include "test_files_support.h"

namespace zeb {
namespace {

using test::ReadBytes;
using test::ScratchDir;
using test::WriteBytes;

class ChoosersTest : public test::BaseTest {
 protected:
  ScratchDir dir;
};

TEST_F(ChoosersTest, OverwriteQuestionYesKeepsTheFileUntilTheWriteSucceeds) {
  const std::string path = dir / "feder.zeb";
  WriteBytes(path, "alt\r\n");
  ui().ExpectQuestion("", path + " existiert bereits.   überschreiben ?", Answer::Yes);
  ConfirmOverwriteFile(path);
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(G().HelpNumber, 3055);
  EXPECT_EQ(ReadBytes(path), "alt\r\n");
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"feder.zeb"});

  ASSERT_TRUE(OpenWorkTextFileForWriting(path));
  WriteTextLine("neu");
  EXPECT_EQ(ReadBytes(path), "alt\r\n");
  CloseFileChecked(WorkTextFile());
  EXPECT_EQ(ReadBytes(path), "neu\r\n");
}

TEST_F(ChoosersTest, OverwriteQuestionNoOrCancelAborts) {
  const std::string path = dir / "feder.zeb";
  WriteBytes(path, "alt");
  for (Answer a : {Answer::No, Answer::Cancel}) {
    G().AbortFlag = 0;
    ui().ExpectQuestion("", "existiert bereits", a);
    ConfirmOverwriteFile(path);
    EXPECT_EQ(G().AbortFlag, 1);
    EXPECT_EQ(ReadBytes(path), "alt");
  }
}

// "aktuell" in the path and ConfirmOverwrite 0 spare the question only for
// the window's own file as it was read; any other file is asked about.
TEST_F(ChoosersTest, NoQuestionForAktuellOrWhenSwitchedOffOrNew) {
  WriteBytes(dir / "aktuell.zeb", "a");
  WriteBytes(dir / "b.zeb", "b");
  const auto own = [](const std::string& path) {
    G().CurrentFileName = G().CurrentFilePath = path;
    G().CurrentFileStamp = StampOfFile(path);
  };
  own(dir / "aktuell.zeb");
  ConfirmOverwriteFile(dir / "aktuell.zeb");
  ConfirmOverwriteFile(dir / "new.zeb");
  G().ConfirmOverwrite = 0;
  own(dir / "b.zeb");
  ConfirmOverwriteFile(dir / "b.zeb");
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"aktuell.zeb", "b.zeb"}));
  EXPECT_TRUE(ui().shown().empty());

  // Switched off, "aktuell" in the name, but not the window's file.
  ui().ExpectQuestion("", dir / "aktuell.zeb" + " existiert bereits.   überschreiben ?", Answer::No);
  ConfirmOverwriteFile(dir / "aktuell.zeb");
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_EQ(ReadBytes(dir / "aktuell.zeb"), "a");
}

TEST_F(ChoosersTest, UnwritableNamesAreRefused) {
  const std::string missing = dir / "fehlt/x.zeb";
  ui().ExpectMessageBox("Fehler", "Ungültiger Dateiname \"" + missing + "\" !");
  ConfirmOverwriteFile(missing);
  EXPECT_EQ(G().AbortFlag, 1);

  G().AbortFlag = 0;
  ::mkdir((dir / "Menü").c_str(), 0755);
  ui().ExpectMessageBox("Fehler", "Ungültiger Dateiname \"" + (dir / "Menü") + "\" !");
  ConfirmOverwriteFile(dir / "Menü");  // a folder; the name reaches the box intact
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_NE(ui().shown().back().text1252.find("Men\xFC\""), std::string::npos);
}

// A read-only file is write-protected, not an invalid name; a FIFO or a
// device in the name's place (also behind a link) is refused at once,
// never waited on or written into; a read-only folder is named as such.
TEST_F(ChoosersTest, WriteProtectedFilesAndDevicesAreNamedForWhatTheyAre) {
  const std::string readOnly = dir / "alt.zeb";
  WriteBytes(readOnly, "alt");
  ::chmod(readOnly.c_str(), 0444);
  ui().ExpectMessageBox("Fehler", "Datei " + readOnly + " kann nicht geschrieben werden: schreibgeschützt");
  ConfirmOverwriteFile(readOnly);
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_EQ(ReadBytes(readOnly), "alt");

  const std::string device = dir / "null.zeb", fifo = dir / "fifo.zeb";
  ASSERT_EQ(::symlink("/dev/null", device.c_str()), 0);
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {device, fifo}) {
    G().AbortFlag = 0;
    ui().ExpectMessageBox("Fehler", "Datei " + path + " kann nicht geschrieben werden: keine reguläre Datei");
    ConfirmOverwriteFile(path);  // a FIFO would hang an open for reading
    EXPECT_EQ(G().AbortFlag, 1);
    EXPECT_FALSE(FileCanBeOpened(path));
  }
  // Save As onto the link to the device: refused, nothing asked.
  G().AbortFlag = 0;
  ui().ExpectMessageBox("Fehler", "keine reguläre Datei");
  EXPECT_EQ(AskSaveFileName(device), device);
  EXPECT_EQ(G().AbortFlag, 1);

  if (::geteuid() != 0) {  // root may write into any folder
    const std::string folder = dir / "nur-lesen";
    ::mkdir(folder.c_str(), 0555);
    G().AbortFlag = 0;
    ui().ExpectMessageBox("Fehler", "Datei " + folder + "/neu.zeb kann nicht geschrieben werden: Ordner schreibgeschützt");
    ConfirmOverwriteFile(folder + "/neu.zeb");
    EXPECT_EQ(G().AbortFlag, 1);
  }
}

// A full disk names the file it could not write.
TEST_F(ChoosersTest, DiskFullNamesTheFile) {
  TextFile& f = WorkTextFile();
  f.Assign("/dev/full");
  RewriteChecked(f);
  ASSERT_EQ(G().AbortFlag, 0);
  ui().ExpectMessageBox("Fehler", "Diskette/Platte voll: /dev/full");
  WriteStringChecked(f, std::string(70000, 'x'));
  ui().ExpectMessageBox("Fehler", "Diskette/Platte voll: /dev/full");
  CloseFileChecked(f);
  EXPECT_EQ(G().AbortFlag, 1);
}

TEST_F(ChoosersTest, AskSaveFileName) {
  G().CurrentDataFolder = dir.path();
  G().CurrentFileName = "alt";
  EXPECT_EQ(AskSaveFileName("feder"), dir / "feder.zeb");
  EXPECT_EQ(G().CurrentFileName, "alt");
  ::mkdir((dir / "x.v2").c_str(), 0755);
  EXPECT_EQ(AskSaveFileName(dir / "x.v2/out.txt"), dir / "x.v2/out.txt");  // a "." in the name
  EXPECT_EQ(AskSaveFileName("x.v2/ohne"), dir / "x.v2/ohne.zeb");  // none after the last "/"
  EXPECT_EQ(G().AbortFlag, 0);

  ::mkdir((dir / "neu").c_str(), 0755);
  ui().ExpectSaveFile(dir / "neu/spring.zeb").Text(dir.path() + "/").Caption("*.zeb|*.zeb").Value("alt");
  EXPECT_EQ(AskSaveFileName(""), dir / "neu/spring.zeb");
  EXPECT_EQ(G().CurrentFileName, "spring");
  EXPECT_EQ(G().CurrentDataFolder, dir / "neu/");

  ui().ExpectSaveFile(std::nullopt);
  EXPECT_EQ(AskSaveFileName(""), "");
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_EQ(G().CurrentFileName, "spring");
}

// A name chosen in the save dialog is kept as typed: quotes and blanks, and
// an extension other than the spring file's (".v2" is part of the name);
// only the spring file's own extension, in any case, is taken off. A name
// longer than the file system takes is refused with a message.
TEST_F(ChoosersTest, SaveNamesKeepWhatWasTyped) {
  G().CurrentDataFolder = dir.path();
  struct Case {
    std::string chosen, name, path;
  } cases[] = {
      {dir / "q\"uo te.zeb", "q\"uo te", dir / "q\"uo te.zeb"},
      {dir / "q\"uo te", "q\"uo te", dir / "q\"uo te.zeb"},
      {dir / "plan.v2", "plan.v2", dir / "plan.v2.zeb"},
      {dir / "plan.2024.ZEB", "plan.2024", dir / "plan.2024.zeb"},
      {dir / "Feder.txt", "Feder.txt", dir / "Feder.txt.zeb"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.chosen);
    ui().ExpectSaveFile(c.chosen);
    EXPECT_EQ(AskSaveFileName(""), c.path);
    EXPECT_EQ(G().AbortFlag, 0);
    EXPECT_EQ(G().CurrentFileName, c.name);
  }
  const std::string tooLong = dir / (std::string(300, 'x') + ".zeb");
  ui().ExpectSaveFile(tooLong);
  ui().ExpectMessageBox("Fehler", "Ungültiger Dateiname \"" + tooLong + "\" !");
  AskSaveFileName("");
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_EQ(G().CurrentFileName, "Feder.txt");
}

TEST_F(ChoosersTest, ArchiveModeRefusesSaveAsAndDelete) {
  G().CommandLineFileLoaded = 1;
  G().ArchiveFlag = 1;
  ui().ExpectMessageBox("Fehler", "Archivierungsmodus");
  EXPECT_EQ(AskSaveFileName("x"), "");
  EXPECT_EQ(G().AbortFlag, 1);
  G().AbortFlag = 0;
  G().CurrentDataFolder = dir.path();
  EXPECT_EQ(AskSaveFileName("aktuell"), dir / "aktuell.zeb");
  ui().ExpectMessageBox("Fehler", "Archivierungsmodus");
  DeleteFileWithConfirm(dir.path(), "*.zeb");

  G().ArchiveFlag = 0;  // a file from the command line alone is no archive
  EXPECT_EQ(AskSaveFileName("x"), dir / "x.zeb");
  EXPECT_EQ(G().CommandLineFileLoaded, 0);
}

TEST_F(ChoosersTest, OpenChoosers) {
  std::string folder = dir.path() + "/";
  ui().ExpectOpenFile(dir / "sub/Feder.v2.ZEB").Text(dir.path()).Caption("*.zeb|*.zeb");
  EXPECT_EQ(AskOpenFileName(1, folder, "*.zeb"), "Feder.v2");
  EXPECT_EQ(folder, dir / "sub/");
  EXPECT_EQ(ui().shown().back().text, dir.path());  // started without the "/"
  ui().ExpectOpenFile(dir / "a.dbf");
  EXPECT_EQ(AskOpenFileName(5, folder, "*.dbf"), dir / "a.dbf");
  ui().ExpectOpenFile(dir / "a.fed");
  EXPECT_EQ(AskOpenFileName(4, folder, "*.*"), "a");
  EXPECT_EQ(G().SpringFileExtension, "fed");
  EXPECT_EQ(G().AbortFlag, 0);
  ui().ExpectOpenFile(std::nullopt);
  EXPECT_EQ(AskOpenFileName(1, folder, "*.zeb"), "");
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_EQ(folder, dir.path() + "/");

  G().AbortFlag = 0;
  ui().ExpectOpenFile(dir / "b.txt").Text(dir / "x");
  EXPECT_EQ(AskOpenFilePath("  " + (dir / "x/old.txt") + " ", "*.txt"), dir / "b.txt");
  ui().ExpectOpenFile(std::nullopt);
  EXPECT_EQ(AskOpenFilePath(dir / "x/old.txt", "*.txt"), dir / "x/old.txt");
  EXPECT_EQ(G().AbortFlag, 1);

  G().AbortFlag = 0;
  ui().ExpectFolder(dir / "neu/").Text(dir.path());
  EXPECT_EQ(BrowseForFolder(dir.path() + "/"), dir / "neu");
  ui().ExpectFolder(std::nullopt);
  EXPECT_EQ(BrowseForFolder(dir / "fehlt"), dir / "fehlt");
  EXPECT_EQ(ui().shown().back().text, "");  // a missing folder is not offered
  EXPECT_EQ(G().AbortFlag, 0);
}

TEST_F(ChoosersTest, CheckFileReadableAndBuildFilePath) {
  WriteBytes(dir / "da.zeb", "x");
  CheckFileReadable(dir / "da.zeb");
  EXPECT_EQ(G().AbortFlag, 0);
  ui().ExpectMessageBox("Fehler", "Datei " + (dir / "weg.zeb") + " nicht gefunden oder kein Zugriffsrecht !");
  CheckFileReadable(" " + (dir / "weg.zeb") + " ");
  EXPECT_EQ(G().AbortFlag, 1);

  EXPECT_EQ(BuildFilePath("feder", "/d", "*.zeb"), "/d/feder.zeb");
  EXPECT_EQ(BuildFilePath("feder", "", "*.zeb"), "feder.zeb");
  EXPECT_EQ(BuildFilePath("seite", "/d/", "*.html"), "/d/seite.html");
}

TEST_F(ChoosersTest, DeleteFileWithConfirm) {
  WriteBytes(dir / "a.zeb", "a");
  ui().ExpectOpenFile(dir / "a.zeb");
  ui().ExpectQuestion("", "a wirklich löschen ?", Answer::No);
  DeleteFileWithConfirm("/elsewhere", "*.zeb");
  EXPECT_TRUE(std::filesystem::exists(dir / "a.zeb"));
  EXPECT_EQ(G().HelpNumber, 1090);

  ui().ExpectOpenFile(dir / "a.zeb");
  ui().ExpectQuestion("", "a wirklich löschen ?", Answer::Yes);
  DeleteFileWithConfirm("/elsewhere", "*.zeb");
  EXPECT_FALSE(std::filesystem::exists(dir / "a.zeb"));
  EXPECT_EQ(G().AbortFlag, 0);

  ui().ExpectOpenFile(dir / "a.zeb");
  ui().ExpectMessageBox("Fehler", "nicht gefunden oder kein Zugriffsrecht");
  DeleteFileWithConfirm("/elsewhere", "*.zeb");
  EXPECT_EQ(G().AbortFlag, 1);
}

}  // namespace
}  // namespace zeb
