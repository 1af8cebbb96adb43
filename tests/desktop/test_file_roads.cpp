// The roads of the main window that open, start or leave a spring, as a
// user takes them: a spring file that cannot be read never becomes the
// current file (start, Datei > Öffnen, the recent list); a new spring
// cancelled in any of its steps leaves the document; Enter on the discard
// question keeps the inputs; a row of an input screen keeps its text after
// Hilfebilder.
#include <QDialog>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <cstdlib>

#include "base/files.h"
#include "base/text.h"
#include "base/qt/qt_convert.h"
#include "desktop/desktop_program.h"
#include "mainwin/spreadsheet.h"
#include "spring/springfile.h"

namespace zeb::desktop {
namespace {

// valve_spring.zeb cut after its line 117, in the run's folder.
fs::path CutSpringFile(const std::string& name) {
  const std::string whole = test::ReadBytes(test::SourceDir() / "examples" / "valve_spring.zeb");
  std::size_t at = 0;
  for (int line = 0; line < 117; ++line) at = whole.find("\r\n", at) + 2;
  const fs::path p = PrivateRun::Get().work / name;
  test::WriteBytes(p, whole.substr(0, at));
  return p;
}

// While it lives, a user who answers every message or question box with
// Enter (its default) and cancels every file dialog; what each said is kept.
class EnterOnEveryBox {
 public:
  EnterOnEveryBox() {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      QWidget* w = ActiveModal();
      if (w == nullptr || w == last_ || !w->isActiveWindow()) return;
      last_ = w;
      if (auto* box = qobject_cast<QMessageBox*>(w)) {
        texts << box->text();
        Key(Qt::Key_Return);
      } else if (auto* chooser = qobject_cast<QFileDialog*>(w)) {
        texts << chooser->objectName();
        chooser->reject();
      }
    });
    timer_.start(10);
  }
  QStringList texts;

 private:
  QTimer timer_;
  QPointer<QWidget> last_;
};

bool MessageUp() { return qobject_cast<QMessageBox*>(ModalUp(nullptr)) != nullptr; }

QString MessageText() {
  auto* box = qobject_cast<QMessageBox*>(ActiveModal());
  return box != nullptr ? box->text() : QString();
}

QString ProgramCaption() { return AnsiToQString(OemToAnsiStr(G().ProgramTitle)); }

class FileRoads : public DesktopProgram {
 protected:
  // What the main window holds of the spring: its picture, the title, the
  // file and the spring as its file holds it.
  struct Document {
    std::vector<std::string> picture;
    QString title;
    std::string path, file;
  };
  Document Now() const {
    return {Facade().Window().DisplayList(), window_->windowTitle(), CurrentSpringFilePath(),
            FormatSpringFile(CurrentSpringFileRecords())};
  }
  // An example spring with its Quick 3 sheet shown.
  Document StartWithSheet(const std::string& example) {
    Start(example);
    window_->Trigger("mi_viewquick3");
    return Now();
  }
  void ExpectKept(const Document& was) const {
    const Document now = Now();
    EXPECT_EQ(now.picture, was.picture) << "the picture was not kept";
    EXPECT_EQ(now.title, was.title);
    EXPECT_EQ(now.path, was.path);
    EXPECT_EQ(now.file, was.file);
  }

  // Strg+S from the waiting main window: true when it saved without a
  // window of its own (a file chooser is cancelled).
  bool SaveAsksNothing() {
    bool asked = false;
    UserScript s;
    s.Then("main window", [this] { return MainWindowWaits(); }, [] { Key(Qt::Key_S, Qt::ControlModifier); });
    s.Then("saved", [this] { return ActiveModal() != nullptr || MainWindowWaits(); }, [&] {
      if (QWidget* w = ActiveModal()) {
        asked = true;
        if (auto* d = qobject_cast<QDialog*>(w)) d->reject();
      }
    });
    EXPECT_TRUE(s.Run());
    return !asked;
  }
};

// wzeb1 cut.zeb: the file is named with its line, Enter on that box, and
// the program goes on with the template as a new, unnamed spring; no
// question can make the file current; Strg+S asks for a name; the file's
// bytes never change.
TEST_F(FileRoads, StartWithACutFileNeverMakesItCurrent) {
  const fs::path cut = CutSpringFile("cut.zeb");
  const std::string bytes = test::ReadBytes(cut);
  QStringList said;
  {
    EnterOnEveryBox user;
    std::optional<int> ended;
    window_ = StartMainWindow({"wzeb1", cut.string()}, ended, printer_);
    said = user.texts;
    ASSERT_FALSE(ended.has_value());
    ASSERT_NE(window_, nullptr);
  }
  window_->show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  ASSERT_EQ(said.size(), 1) << said.join(" | ").toStdString();
  EXPECT_TRUE(said[0].contains(QString::fromStdString(cut.string()))) << said[0].toStdString();
  EXPECT_TRUE(said[0].contains("Zeile 118")) << said[0].toStdString();
  EXPECT_EQ(G().CurrentFileName, "");
  EXPECT_EQ(CurrentSpringFilePath(), "");
  EXPECT_EQ(window_->windowTitle(), ProgramCaption());
  EXPECT_EQ(test::ReadBytes(cut), bytes);
  G().ModifiedFlag = 1;
  EXPECT_FALSE(SaveAsksNothing()) << "Strg+S did not ask for a name";
  EXPECT_EQ(test::ReadBytes(cut), bytes);
  G().ModifiedFlag = 0;
}

// Datei > Öffnen and the recent list with a cut file: named, and the spring,
// its name and its file stay; Strg+S saves that file, not the cut one.
TEST_F(FileRoads, OpeningACutFileKeepsTheSpringAndItsFile) {
  Start("round_dynamic.zeb");
  const fs::path cut = CutSpringFile("cut_open.zeb");
  const std::string bytes = test::ReadBytes(cut);
  const std::string path = CurrentSpringFilePath();
  const QString title = window_->windowTitle();
  const SpringDataRecord spring = SpringData();
  ASSERT_FALSE(path.empty());
  QStringList said;
  UserScript s;
  s.Then("main window", [this] { return MainWindowWaits(); },
         [this] { window_->Action("mi_fileOpen")->trigger(); });
  s.Then("file dialog", [] { return ModalUp("OpenDialog") != nullptr; }, [&] {
    auto* name = Child<QLineEdit>(ActiveModal(), "fileNameEdit");
    name->setText(QString::fromStdString(cut.string()));
    QTest::keyClick(name, Qt::Key_Return);
  });
  s.Then("named", MessageUp, [&] {
    said << MessageText();
    Key(Qt::Key_Return);
  });
  s.Then("back", [this] { return MainWindowWaits(); }, [this, &cut] {
    G().RecentFiles[2] = cut.string();
    window_->Action("mi_file2")->trigger();
  });
  s.Then("named again", MessageUp, [&] {
    said << MessageText();
    Key(Qt::Key_Return);
  });
  s.Then("back again", [this] { return MainWindowWaits(); }, [] {});
  ASSERT_TRUE(s.Run());
  ASSERT_EQ(said.size(), 2) << said.join(" | ").toStdString();
  for (const QString& text : said) EXPECT_TRUE(text.contains("cut_open.zeb")) << text.toStdString();
  EXPECT_EQ(CurrentSpringFilePath(), path);
  EXPECT_EQ(window_->windowTitle(), title);
  EXPECT_TRUE(SpringData() == spring);
  EXPECT_TRUE(SaveAsksNothing());
  EXPECT_EQ(test::ReadBytes(cut), bytes);
  EXPECT_EQ(test::ReadBytes(path), FormatSpringFile(CurrentSpringFileRecords()));
}

// Strg+N, Abbrechen in the first step: the picture, the title, the spring
// and its file as they were; Strg+S saves to that file without a question.
TEST_F(FileRoads, NewSpringCancelledInItsFirstStepLeavesTheDocument) {
  const Document was = StartWithSheet("round_dynamic.zeb");
  ASSERT_GT(was.picture.size(), 100u);
  const SpringDataRecord spring = SpringData();
  // A template in the data folder, another spring: read before the first step.
  const fs::path templ = PrivateRun::Get().work / "null.zeb";
  SpringData().d += 0.5L;
  test::WriteBytes(templ, FormatSpringFile(CurrentSpringFileRecords()));
  SpringData() = spring;
  UserScript s;
  s.Then("main window", [this] { return MainWindowWaits(); }, [] { Key(Qt::Key_N, Qt::ControlModifier); });
  s.Then("title block", [] { return ModalUp("TEingabetext1") != nullptr; }, [&] {
    EXPECT_EQ(SpringData().d, spring.d + 0.5L) << "the template was not read";
    Click(Child<QWidget>(ActiveModal(), "Button_cancel"));
  });
  s.Then("back", [this] { return MainWindowWaits(); }, [] {});
  const bool ran = s.Run();
  fs::remove(templ);
  ASSERT_TRUE(ran);
  ExpectKept(was);
  EXPECT_TRUE(SpringData() == spring);
  EXPECT_EQ(G().ModifiedFlag, 0);
  fs::remove(was.path);
  EXPECT_TRUE(SaveAsksNothing()) << "Strg+S asked for a name";
  EXPECT_EQ(test::ReadBytes(was.path), FormatSpringFile(CurrentSpringFileRecords()));
}

// Strg+N and Abbrechen in each step of the new spring in turn (the title
// block, Anwendung, the material form, Herstellung, Abmessungen, Toleranz),
// every step before it taken with OK, with unsaved changes (kept through
// "Nein" to the save question) or none: the picture, the title, the spring
// with its change log as its file holds it, its file and its changes as
// they were; Strg+S then saves that file without a question.
TEST_F(FileRoads, NewSpringCancelledInAnyStepLeavesTheDocument) {
  const char* const steps[] = {"TEingabetext1",     "TEingabeEinsatzfall", "Form_zebmat",
                               "TForm_herstellung", "TForm_Zebgeometrie",  "TForm_toleranz"};
  const Document was = StartWithSheet("round_dynamic.zeb");
  ASSERT_GT(was.picture.size(), 100u);
  ASSERT_FALSE(was.path.empty());
  for (int cancelAt = 0; cancelAt < 6; ++cancelAt) {
    SCOPED_TRACE(steps[cancelAt]);
    const Byte modified = cancelAt % 2 == 1 ? 1 : 0;
    G().ModifiedFlag = modified;
    UserScript s;
    s.Then("main window", [this] { return MainWindowWaits(); }, [] { Key(Qt::Key_N, Qt::ControlModifier); });
    if (modified != 0)
      s.Then("save question", MessageUp, [] {
        for (QAbstractButton* b : ActiveModal()->findChildren<QAbstractButton*>())
          if (b->text() == "&Nein") return Click(b);
      });
    for (int k = 0; k <= cancelAt; ++k)
      s.Then(steps[k], [&steps, k] { return ModalUp(steps[k]) != nullptr; },
             [k, cancelAt] { Click(Child<QWidget>(ActiveModal(), k == cancelAt ? "Button_cancel" : "Button_ok")); });
    s.Then("back", [this] { return MainWindowWaits(); }, [] {});
    ASSERT_TRUE(s.Run());
    ExpectKept(was);
    EXPECT_EQ(G().ModifiedFlag, modified);
  }
  fs::remove(was.path);
  G().ModifiedFlag = 1;
  EXPECT_TRUE(SaveAsksNothing()) << "Strg+S asked for a name";
  EXPECT_EQ(test::ReadBytes(was.path), was.file);
}

// Inputs without a file, Strg+N, Enter on "Bisherige Eingaben verwerfen ?":
// its default is No, so the inputs stay and no new spring begins.
TEST_F(FileRoads, EnterOnTheDiscardQuestionKeepsTheInputs) {
  Start();
  ASSERT_EQ(G().CurrentFileName, "");
  SpringData().L0 += 1.0L;
  G().ModifiedFlag = 1;
  const SpringDataRecord spring = SpringData();
  QString asked;
  UserScript s;
  s.Then("main window", [this] { return MainWindowWaits(); }, [] { Key(Qt::Key_N, Qt::ControlModifier); });
  s.Then("question", MessageUp, [&] {
    asked = MessageText();
    Key(Qt::Key_Return);
  });
  s.Then("back", [this] { return MainWindowWaits() || ModalUp("TEingabetext1") != nullptr; }, [] {
    if (QWidget* w = ModalUp("TEingabetext1")) {
      ADD_FAILURE() << "Enter discarded the inputs: a new spring began";
      Click(Child<QWidget>(w, "Button_cancel"));
    }
  });
  ASSERT_TRUE(s.Run());
  EXPECT_EQ(asked, "Bisherige Eingaben verwerfen ?");
  EXPECT_TRUE(SpringData() == spring);
  EXPECT_EQ(G().ModifiedFlag, 1);
  G().ModifiedFlag = 0;
}

// Nachrechnung, the first row: "5.2", Hilfebilder by mouse, Esc in the
// picker, "1": the row reads "5.21" (the text kept, the cursor at its end).
TEST_F(FileRoads, HilfebilderKeepsTheRowAsTyped) {
  Start("round_dynamic.zeb");
  const auto row = [] { return Child<QLineEdit>(ActiveModal(), "ed_1"); };
  const auto typing = [row] {
    QWidget* form = ModalUp("TForm_online");
    return form != nullptr && QApplication::focusWidget() == form->findChild<QLineEdit*>("ed_1");
  };
  QString after;
  UserScript s;
  s.Then("main window", [this] { return MainWindowWaits(); },
         [this] { window_->Action("mi_EditRecalculation")->trigger(); });
  s.Then("screen", typing, [] { Type("5.2"); });
  s.Then("typed", typing, [row] {
    EXPECT_EQ(row()->text(), "5.2");
    Click(Child<QWidget>(ActiveModal(), "Button_showplt"));
  });
  s.Then("picker", [] { return ModalUp("TForm_hilfebild") != nullptr; }, [] { Key(Qt::Key_Escape); });
  s.Then("back in the row", typing, [] { Type("1"); });
  s.Then("row", typing, [&, row] {
    after = row()->text();
    Key(Qt::Key_Escape);
  });
  s.Then("screen left", [this] { return MainWindowWaits(); }, [] {});
  ASSERT_TRUE(s.Run());
  EXPECT_EQ(after.toStdString(), "5.21");
  G().ModifiedFlag = 0;
}

// ---------------------------------------------------------------- saving over

enum class Road { CtrlS, SaveAs, Close, New, Open, Recent, FileList, Export };
enum class Kind { Sound, Cut, Unreadable };

// A user who answers every box and dialog by what it asks: the save question
// Yes, the discard question No, an overwrite question with Nein; the save
// dialog gets the start file typed, the other dialogs are cancelled. The
// overwrite questions are kept with whether No was their default.
class AnswersByQuestion {
 public:
  explicit AnswersByQuestion(QString pick) : pick_(std::move(pick)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { Answer(); });
    timer_.start(10);
  }
  QStringList overwrites, others;
  std::vector<bool> noByDefault;

 private:
  void Answer() {
    QWidget* w = ActiveModal();
    if (w == nullptr || w == last_ || !w->isActiveWindow() || !ProgramWaitsForInput()) return;
    last_ = w;
    if (auto* box = qobject_cast<QMessageBox*>(w)) {
      const QString text = box->text();
      if (text.startsWith("Datei speichern (")) {
        Click(box->button(QMessageBox::Yes));
      } else if (text.contains("existiert bereits") || text.contains(" geändert (")) {
        overwrites << text;
        noByDefault.push_back(box->defaultButton() == box->button(QMessageBox::No));
        Click(box->button(QMessageBox::No));
      } else if (text.contains("Bisherige Eingaben verwerfen")) {
        Click(box->button(QMessageBox::No));
      } else {
        others << text;
        Key(Qt::Key_Return);
      }
    } else if (auto* chooser = qobject_cast<QFileDialog*>(w); chooser != nullptr && w->objectName() == "SaveDialog") {
      auto* name = Child<QLineEdit>(chooser, "fileNameEdit");
      name->setText(pick_);
      QTest::keyClick(name, Qt::Key_Return);
    } else if (auto* dialog = qobject_cast<QDialog*>(w)) {
      dialog->reject();
    }
  }
  QString pick_;
  QTimer timer_;
  QPointer<QWidget> last_;
};

struct SaveCase {
  const char* sw;  // "" none
  bool templ;
  Kind file;
  Road road;
};

std::string SaveCaseName(const testing::TestParamInfo<SaveCase>& info) {
  static const char* const roads[] = {"CtrlS", "SaveAs", "Close", "New", "Open", "Recent", "FileList", "Export"};
  static const char* const kinds[] = {"Sound", "Cut", "Unreadable"};
  const SaveCase& c = info.param;
  const std::string sw = *c.sw == '\0' ? "plain" : std::string(c.sw[1] == 'e' ? "e" : c.sw + 1);
  return sw + (c.templ ? "Template" : "NoTemplate") + kinds[static_cast<int>(c.file)] + roads[static_cast<int>(c.road)];
}

void PrintTo(const SaveCase& c, std::ostream* os) {
  *os << SaveCaseName(testing::TestParamInfo<SaveCase>(c, 0));
}

// Strg+S from every start (switch, template, file sound, cut or unreadable);
// every other road from a spring the window read, one it only named (/E)
// and an unnamed one.
std::vector<SaveCase> SaveCases() {
  std::vector<SaveCase> cases;
  for (const char* sw : {"", "/E", "/e", "/G"})
    for (bool templ : {false, true})
      for (Kind file : {Kind::Sound, Kind::Cut, Kind::Unreadable}) cases.push_back({sw, templ, file, Road::CtrlS});
  for (Road road : {Road::SaveAs, Road::Close, Road::New, Road::Open, Road::Recent, Road::FileList, Road::Export})
    for (const SaveCase& start : {SaveCase{"", false, Kind::Sound, road}, SaveCase{"/E", false, Kind::Sound, road},
                                  SaveCase{"", false, Kind::Cut, road}})
      cases.push_back(start);
  return cases;
}

class SaveRoads : public FileRoads, public testing::WithParamInterface<SaveCase> {};

// d typed, then the road, every question answered as a user who keeps his
// file: the start file keeps its bytes, unless the window read it at start:
// then the road writes the typed spring over it without a question.
TEST_P(SaveRoads, NothingUnreadIsReplacedUnasked) {
  const SaveCase& c = GetParam();
  const fs::path work = PrivateRun::Get().work;
  const fs::path spring = work / "spring.zeb";
  std::string original = test::ReadBytes(test::SourceDir() / "examples" / "round_dynamic.zeb");
  if (c.file == Kind::Cut) original = test::ReadBytes(CutSpringFile("spring.zeb"));
  test::WriteBytes(spring, original);
  if (c.file == Kind::Unreadable) fs::permissions(spring, fs::perms::owner_write);
  const fs::path templ = work / "null.zeb";
  fs::remove(templ);
  if (c.templ) fs::copy_file(test::SourceDir() / "examples" / "round_static.zeb", templ);
  std::vector<std::string> args{"wzeb1", "spring.zeb"};
  if (*c.sw != '\0') args.push_back(c.sw);
  const bool readAtStart = *c.sw == '\0' && c.file == Kind::Sound;
  const bool named = readAtStart || (*c.sw != '\0' && !c.templ);
  // An unnamed spring leaves by the discard question; the table program
  // takes only a named one.
  const bool roadSaves = named || c.road == Road::CtrlS || c.road == Road::SaveAs;
  const bool unasked = readAtStart && c.road != Road::SaveAs;

  std::string mine;
  AnswersByQuestion user(QString::fromStdString(spring.string()));
  {
    const test::ModeBitsOnly asAnyUser;
    StartWith(args);
    if (HasFatalFailure()) return;
    EXPECT_EQ(G().CurrentFileName.empty(), !named);
    SpringData().d = 1.7L;
    G().ModifiedFlag = 1;
    SpreadsheetStarted() = false;  // as in a program of its own
    mine = FormatSpringFile(CurrentSpringFileRecords());
    G().RecentFiles[1] = (work / "other.zeb").string();
    fs::remove(work / "other.zeb");
    fs::copy_file(test::SourceDir() / "examples" / "round_static.zeb", work / "other.zeb");
    UserScript s;
    s.Then("main window", [this] { return MainWindowWaits(); }, [this, &c] {
      switch (c.road) {
        case Road::CtrlS: Key(Qt::Key_S, Qt::ControlModifier); break;
        case Road::SaveAs: window_->Action("mi_FileSaveAs")->trigger(); break;
        case Road::Close: window_->close(); break;
        case Road::New: Key(Qt::Key_N, Qt::ControlModifier); break;
        case Road::Open: window_->Action("mi_fileOpen")->trigger(); break;
        case Road::Recent: window_->Action("mi_file1")->trigger(); break;
        case Road::FileList: window_->Action("mi_fileopentable")->trigger(); break;
        case Road::Export:
          window_->Action("mi_OleStartExcel")->trigger();
          window_->UpdateEnabled();
          if (window_->Action("mi_oleExportExcel")->isEnabled()) window_->Action("mi_oleExportExcel")->trigger();
          break;
      }
    });
    s.Then("back", [this] { return window_->Destroyed() || MainWindowWaits(); }, [] {});
    ASSERT_TRUE(s.Run());
  }
  fs::permissions(spring, fs::perms::owner_read | fs::perms::owner_write);
  if (unasked || !roadSaves) {
    EXPECT_TRUE(user.overwrites.empty()) << user.overwrites.join(" | ").toStdString();
  } else {
    ASSERT_EQ(user.overwrites.size(), 1) << user.others.join(" | ").toStdString();
    EXPECT_TRUE(user.overwrites[0].endsWith("spring.zeb existiert bereits.   überschreiben ?"))
        << user.overwrites[0].toStdString();
  }
  if (unasked)
    EXPECT_EQ(test::ReadBytes(spring), mine);
  else
    EXPECT_EQ(test::ReadBytes(spring), original) << "replaced unasked";
  // A refused close leaves the window with its changes.
  EXPECT_EQ(window_->Destroyed(), c.road == Road::Close && unasked);
  fs::remove(templ);
  G().ModifiedFlag = 0;
}

INSTANTIATE_TEST_SUITE_P(EveryRoad, SaveRoads, testing::ValuesIn(SaveCases()), SaveCaseName);

// Two windows on one file: A reads spring.zeb and types d; B, another
// program, saves its change of d. A's Strg+S names the change; Enter, the
// default, is No: B's work stays and A keeps its changes.
TEST_F(FileRoads, TwoWindowsOnOneFileAskBeforeReplacing) {
  Start("round_dynamic.zeb");
  const fs::path file = CurrentSpringFilePath();
  const std::string original = test::ReadBytes(file);
  // B: d and a title line changed, saved whole into the file's place by
  // another process.
  SpringFileRecords b = CurrentSpringFileRecords();
  b.SpringData.d += 0.5L;
  b.TitleBlockLines[2] = "B";
  const fs::path theirs = PrivateRun::Get().root / "theirs.zeb";
  test::WriteBytes(theirs, FormatSpringFile(b));
  ASSERT_EQ(std::system(("/bin/cp '" + theirs.string() + "' '" + file.string() + ".b' && /bin/mv '" + file.string() +
                         ".b' '" + file.string() + "'")
                            .c_str()),
            0);
  const std::string bSaved = test::ReadBytes(file);
  ASSERT_NE(bSaved, original);
  SpringData().d = 1.7L;
  G().ModifiedFlag = 1;
  QString asked;
  bool noDefault = false;
  UserScript s;
  s.Then("main window", [this] { return MainWindowWaits(); }, [] { Key(Qt::Key_S, Qt::ControlModifier); });
  s.Then("question", MessageUp, [&] {
    auto* box = qobject_cast<QMessageBox*>(ActiveModal());
    asked = box->text();
    noDefault = box->defaultButton() == box->button(QMessageBox::No);
    if (const char* folder = std::getenv("ZEB1_SCREENSHOTS"); folder != nullptr && *folder != '\0') {
      QTest::qWait(200);
      const QRect at = box->frameGeometry().adjusted(-20, -20, 20, 20);
      box->screen()
          ->grabWindow(0, at.x(), at.y(), at.width(), at.height())
          .save(QString::fromUtf8(folder) + "/file_changed_question.png");
    }
    Key(Qt::Key_Return);
  });
  s.Then("back", [this] { return MainWindowWaits(); }, [] {});
  ASSERT_TRUE(s.Run());
  EXPECT_TRUE(asked.contains(QString::fromStdString(file.string()) + " wurde seit dem Öffnen geändert (Größe " +
                             QString::number(original.size()) + " -> " + QString::number(bSaved.size()) +
                             " Bytes, Zeit "))
      << asked.toStdString();
  EXPECT_TRUE(noDefault);
  EXPECT_EQ(test::ReadBytes(file), bSaved) << "B's work was replaced";
  EXPECT_EQ(G().ModifiedFlag, 1);
  EXPECT_EQ(SpringData().d, 1.7L);
  G().ModifiedFlag = 0;
}

}  // namespace
}  // namespace zeb::desktop
