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

#include "base/files.h"
#include "base/text.h"
#include "base/qt/qt_convert.h"
#include "desktop/desktop_program.h"
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

}  // namespace
}  // namespace zeb::desktop
