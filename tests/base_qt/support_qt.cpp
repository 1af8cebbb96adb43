#include "base_qt/support_qt.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdlib>

#include "base/colors.h"
#include "base/globals.h"
#include "base/qt/qt_convert.h"

namespace zeb::qttest {

namespace {

QtMessageHandler previousHandler = nullptr;

// Drops the offscreen platform's notes about window features it lacks.
void QuietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (message.startsWith("This plugin does not support")) return;
  if (previousHandler) previousHandler(type, context, message);
}

class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    previousHandler = qInstallMessageHandler(QuietHandler);
    app_ = std::make_unique<QApplication>(argc_, argv_);
  }
  void TearDown() override { app_.reset(); }

 private:
  int argc_ = 1;
  char name_[16] = "zeb1_qt_test";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

void CloseAllModals() {
  while (QWidget* w = QApplication::activeModalWidget()) {
    w->close();
    if (QApplication::activeModalWidget() == w) break;
  }
}

void Poll(QString name, std::function<void(QWidget*)> action, std::shared_ptr<QElapsedTimer> clock,
          int timeoutMs) {
  QWidget* w = QApplication::activeModalWidget();
  if (w && w->isVisible() &&
      (name.isEmpty() || w->objectName() == name || QLatin1String(w->metaObject()->className()) == name)) {
    action(w);
    return;
  }
  if (clock->elapsed() > timeoutMs) {
    ADD_FAILURE() << "no dialog " << name.toStdString() << " shown; active: "
                  << (w ? w->objectName().toStdString() : std::string("none"));
    CloseAllModals();
    return;
  }
  QTimer::singleShot(10, [=] { Poll(name, action, clock, timeoutMs); });
}

std::vector<std::unique_ptr<QTemporaryDir>>& ScratchFolders() {
  static std::vector<std::unique_ptr<QTemporaryDir>> folders;
  return folders;
}

}  // namespace

void WhenShown(const QString& name, std::function<void(QWidget*)> action, int timeoutMs) {
  auto clock = std::make_shared<QElapsedTimer>();
  clock->start();
  QTimer::singleShot(0, [=] { Poll(name, action, clock, timeoutMs); });
}

void AnswerBox(const std::string& textPart, QMessageBox::StandardButton button) {
  WhenShown("QMessageBox", [=](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    if (!box) {
      ADD_FAILURE() << "expected a message box, got " << w->objectName().toStdString();
      w->close();
      return;
    }
    EXPECT_NE(box->text().toStdString().find(textPart), std::string::npos) << box->text().toStdString();
    QAbstractButton* b = box->button(button);
    if (!b) {
      ADD_FAILURE() << "box without the button";
      box->close();
      return;
    }
    b->click();
  });
}

void Screenshot(QWidget* w, const char* name) {
  const char* folder = std::getenv("ZEB1_SCREENSHOTS");
  if (folder == nullptr || *folder == '\0') return;
  QApplication::processEvents();
  w->grab().save(QString::fromUtf8(folder) + "/" + QLatin1String(name) + ".png");
}

std::string MakeScratchFolder() {
  auto dir = std::make_unique<QTemporaryDir>();
  std::string path = QStringToPath(dir->path());
  ScratchFolders().push_back(std::move(dir));
  return path;
}

void QtTest::SetUp() {
  ResetBaseGlobals();
  InitDefaultColors();
  ui = std::make_shared<QtUi>();
  SetUi(ui);
  scratch = MakeScratchFolder();
  // A dialog left open by a failed check would block the test for ever:
  // one still active at the next tick, 30 s on (a hang bound), is closed.
  watchdog_ = std::make_unique<QTimer>();
  watchdog_->setInterval(30000);
  QObject::connect(watchdog_.get(), &QTimer::timeout, [seen = QPointer<QWidget>()]() mutable {
    QWidget* w = QApplication::activeModalWidget();
    if (w == nullptr || w != seen) {
      seen = w;
      return;
    }
    ADD_FAILURE() << "dialog left open";
    CloseAllModals();
  });
  watchdog_->start();
  G().TempFolder = scratch;
  G().HelpFolder = scratch;
}

void QtTest::TearDown() {
  watchdog_.reset();
  CloseAllModals();
  SetUi(nullptr);
  ScratchFolders().clear();
}

}  // namespace zeb::qttest
