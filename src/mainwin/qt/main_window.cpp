#include "mainwin/qt/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QGuiApplication>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QPalette>
#include <QScreen>
#include <QWidget>

#include "base/globals.h"
#include "base/qt/qt_convert.h"
#include "base/qt/qt_translations.h"
#include "settings/config.h"
#include "mainwin/dispatch.h"
#include "mainwin/online.h"
#include "mainwin/qt/about_box.h"
#include "mainwin/qt/online_form.h"
#include "mainwin/qt/filelist_form.h"
#include "mainwin/qt/input_dialogs.h"
#include "mainwin/qt/printmac_form.h"
#include "reports/qt/printsetup_form.h"

namespace zeb {

namespace {

// Access keys of a menu pick among its enabled items only: one match runs
// at once, several are stepped through (a disabled item sharing the key
// would otherwise stop the choice).
class MnemonicFilter : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* menu = qobject_cast<QMenu*>(watched);
    if (menu == nullptr || event->type() != QEvent::KeyPress) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if ((key->modifiers() & ~Qt::ShiftModifier) != 0 || key->text().size() != 1 || !key->text()[0].isLetterOrNumber())
      return false;
    const QChar c = key->text()[0].toUpper();
    QList<QAction*> matches;
    for (QAction* a : menu->actions()) {
      if (!a->isEnabled() || !a->isVisible() || a->isSeparator()) continue;
      const QString text = a->text();
      const int amp = text.indexOf('&');
      if (amp >= 0 && amp + 1 < text.size() && text[amp + 1].toUpper() == c) matches << a;
    }
    if (matches.isEmpty()) return false;
    if (matches.size() == 1) {
      menu->setActiveAction(matches.front());
      if (matches.front()->menu() == nullptr) {
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(menu, &enter);
      }
      return true;
    }
    const qsizetype at = matches.indexOf(menu->activeAction());
    menu->setActiveAction(matches[(at + 1) % matches.size()]);
    return true;
  }
};

}  // namespace

Thh::Thh(QWidget* central) {
  setObjectName("Thh");
  setWindowTitle("ZEB1/ZEB1+");
  if (central == nullptr) {
    central = new QWidget(this);
    central->setObjectName("Canvas");
  }
  central->setAutoFillBackground(true);
  setCentralWidget(central);
  BuildMenus();
  WindowHooks().close = [this] { close(); };
  WindowHooks().about = [this] { ShowAbout(); };
  WindowHooks().fileList = [this] { RunFileListCommand(this); };
  WindowHooks().printerSetup = [this] { RunPrintSetup(this, true, QtPrinterSeams(this)); };
  WindowHooks().print = [this] { RunPrintSetup(this, false, QtPrinterSeams(this)); };
  SetOnlineForm(std::make_shared<QtOnlineForm>(this));
  SetPrintMacroForm(std::make_shared<QtPrintMacroForm>(this));
  InstallQtInputDialogs(this);
  SetMenuStateSink(this);
  UpdateEnabled();
}

Thh::~Thh() {
  SetMenuStateSink(nullptr);
  WindowHooks() = {};
  SetOnlineForm(nullptr);
  SetPrintMacroForm(nullptr);
  UninstallQtInputDialogs();
}

void Thh::BuildMenus() {
  mnemonics_ = new MnemonicFilter(this);
  for (const Command& c : CommandTable()) {
    QMenu* parent = c.parent.empty() ? nullptr : menus_.at(c.parent);
    if (c.isMenu) {
      QMenu* m = parent != nullptr ? parent->addMenu(QString::fromUtf8(c.designCaption.c_str()))
                                   : menuBar()->addMenu(QString::fromUtf8(c.designCaption.c_str()));
      m->setObjectName(QString::fromStdString(c.name));
      m->menuAction()->setObjectName(QString::fromStdString(c.name));
      m->installEventFilter(mnemonics_);
      menus_[c.name] = m;
      continue;
    }
    if (c.separatorBefore && parent != nullptr) {
      QAction* sep = parent->addSeparator();
      if (c.name == "mi_fileexit") recentSeparator_ = sep;
    }
    auto* a = new QAction(QString::fromUtf8(c.designCaption.c_str()), this);
    a->setObjectName(QString::fromStdString(c.name));
    if (!c.shortcut.empty()) a->setShortcut(QKeySequence(QString::fromStdString(c.shortcut)));
    const std::string name = c.name;
    connect(a, &QAction::triggered, this, [this, name] { Trigger(name); });
    if (parent != nullptr) parent->addAction(a);
    actions_[c.name] = a;
  }
}

QAction* Thh::Action(const std::string& name) const {
  auto it = actions_.find(name);
  return it == actions_.end() ? nullptr : it->second;
}

QMenu* Thh::Menu(const std::string& name) const {
  auto it = menus_.find(name);
  return it == menus_.end() ? nullptr : it->second;
}

void Thh::UpdateEnabled() {
  for (const Command& c : CommandTable()) {
    QAction* a = Action(c.name);
    if (a == nullptr) continue;
    const bool enabled = CommandEnabled(c);
    a->setEnabled(enabled);
    if (c.hiddenWhenUnavailable) a->setVisible(enabled);
  }
}

void Thh::Trigger(const std::string& name) {
  if (const Command* c = FindCommand(name)) {
    if (!CommandEnabled(*c)) return;
    RunCommand(*c);
  }
  UpdateEnabled();
}

void Thh::SetMenuCaptions() {
  // Qt's dialogs speak the menu language too.
  UseQtTranslation(G().MenuLanguage);
  for (const Command& c : CommandTable()) {
    const QString text = QString::fromUtf8(MenuItemCaption(c).c_str());
    if (c.isMenu) {
      if (QMenu* m = Menu(c.name)) m->setTitle(text);
    } else if (c.name.rfind("mi_file", 0) == 0 && c.name.size() == 8 && c.name[7] >= '1' && c.name[7] <= '4') {
      // The recent-file items are set by their own entries.
    } else if (QAction* a = Action(c.name)) {
      a->setText(text);
    }
  }
}

void Thh::SetMenuLanguage(int languageNumber) {
  ApplyMenuLanguage(languageNumber);
  UpdateEnabled();
}

void Thh::ApplyMainWindowLayout() {
  const ConfigSettings& cfg = Config();
  const ScreenMetrics& m = CurrentScreenMetrics();
  int w = cfg.ResolutionX == 0 || cfg.ResolutionX == 65535 ? m.width : cfg.ResolutionX;
  int h = cfg.ResolutionY == 0 || cfg.ResolutionY == 65535 ? m.mainClientHeight : cfg.ResolutionY;
  if (const QScreen* s = QGuiApplication::primaryScreen()) {
    const QRect avail = s->availableGeometry();
    w = std::min(w, avail.width());
    h = std::min(h, avail.height() - menuBar()->sizeHint().height());
  }
  move(0, 0);
  resize(std::max(w, 320), std::max(h, 240) + menuBar()->sizeHint().height());
  QPalette p = centralWidget()->palette();
  p.setColor(QPalette::Window, BackgroundQColor());
  centralWidget()->setPalette(p);
}

void Thh::SetCaption(std::string_view text1252) { setWindowTitle(AnsiToQString(text1252)); }

void Thh::SetRecentFileItem(int n, bool visible, std::string_view caption1252) {
  if (QAction* a = Action("mi_file" + std::to_string(n))) {
    a->setVisible(visible);
    a->setText(AnsiToQString(caption1252));
  }
}

void Thh::SetRecentSeparator(bool visible) {
  if (recentSeparator_ != nullptr) recentSeparator_->setVisible(visible);
}

void Thh::RunNewSpringSequence() { RunNewSpringSequenceSteps(); }

void Thh::RefreshMainWindow() {
  RefreshMainWindowSteps();
  UpdateEnabled();
  if (centralWidget() != nullptr) centralWidget()->update();
}

MainWindowGeometry Thh::Geometry() {
  const QSize outer = frameGeometry().size();
  const QSize client = centralWidget() != nullptr ? centralWidget()->size() : size();
  return {outer.width(), outer.height(), client.width(), client.height()};
}

void Thh::SetClientSize(int width, int height) {
  const QSize client = centralWidget() != nullptr ? centralWidget()->size() : size();
  const int w = width > 0 ? width : client.width();
  const int h = height > 0 ? height : client.height();
  resize(size().width() - client.width() + w, size().height() - client.height() + h);
  if (centralWidget() != nullptr) centralWidget()->update();
}

void Thh::SetItem(std::string_view name, std::string_view captionUtf8, bool enabled) {
  if (QAction* a = Action(std::string(name))) {
    a->setText(QString::fromUtf8(captionUtf8.data(), static_cast<int>(captionUtf8.size())));
    a->setEnabled(enabled);
  }
}

void Thh::ShowAbout() {
  TAboutBox box(this);
  box.exec();
}

void Thh::closeEvent(QCloseEvent* event) {
  if (destroyed_) {
    event->accept();
    return;
  }
  if (!FormCloseQuery()) {
    event->ignore();
    return;
  }
  FormDestroy();
  destroyed_ = true;
  event->accept();
}

}  // namespace zeb
