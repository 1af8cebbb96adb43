#include "xbase/qt/qt_tzcallback.h"

#include <QApplication>
#include <QEventLoop>
#include <QFontMetrics>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPalette>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/qt/message_box.h"
#include "xbase/dataset/field_values.h"

namespace zeb::xbase {

namespace {

QString Text(std::string_view s) { return QString::fromStdString(AnsiToUtf8(s)); }

int& PumpLevel() {
  static int level = 0;
  return level;
}

// Ends the program once no command is inside its event processing: open
// dialogs are closed as the user would close them, one after the other,
// and the windows last, so that the main window's close query (unsaved
// data) runs from the event loop with nothing else in progress.
void TerminateWhenIdle() {
  if (PumpLevel() > 0) {
    QTimer::singleShot(10, qApp, TerminateWhenIdle);
    return;
  }
  if (QWidget* modal = QApplication::activeModalWidget()) {
    modal->close();
    QTimer::singleShot(10, qApp, TerminateWhenIdle);
    return;
  }
  QApplication::closeAllWindows();
}

}  // namespace

int QtTzCallback::PumpDepth() { return PumpLevel(); }

QtTzCallback::QtTzCallback() = default;

QtTzCallback::~QtTzCallback() {
  for (auto& [id, w] : windows_)
    if (w.window) w.window->deleteLater();
}

int QtTzCallback::MessageBox(std::string_view text, std::string_view caption, std::uint16_t flags) {
  QMessageBox box(QApplication::activeWindow());
  box.setObjectName("TzMessageBox");
  // A box without a caption of its own is titled as the program's messages
  // (never by the executable's name).
  box.setWindowTitle(caption.empty() ? QStringLiteral("Meldung:") : Text(caption));
  box.setText(Text(text));
  switch (flags & 0xF0) {
    case 16: box.setIcon(QMessageBox::Critical); break;
    case 32: box.setIcon(QMessageBox::Question); break;
    case 48: box.setIcon(QMessageBox::Warning); break;
    case 64: box.setIcon(QMessageBox::Information); break;
    default: break;
  }
  switch (flags & 0x0F) {
    case 1: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case 3: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel); break;
    case 4: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    default: box.setStandardButtons(QMessageBox::Ok); break;
  }
  // After icon and buttons: each lays the box out anew.
  KeepTitleWhole(box);
  switch (box.exec()) {
    case QMessageBox::Cancel: return 2;
    case QMessageBox::Yes: return 6;
    case QMessageBox::No: return 7;
    default: return 1;
  }
}

void QtTzCallback::ShowWindowText(int id, std::string_view caption, std::string_view text) {
  Win& w = windows_[id];
  bool changed = false;
  if (!w.window) {
    // Borderless, on top, yellow; the text on a panel with a single line.
    auto* win = new QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::FramelessWindowHint);
    win->setObjectName(QString("TzMsg%1").arg(id));
    win->setAttribute(Qt::WA_DeleteOnClose);
    // It takes neither the activation nor the keyboard from the window the
    // user works in.
    win->setAttribute(Qt::WA_ShowWithoutActivating);
    win->setWindowFlag(Qt::WindowDoesNotAcceptFocus);
    QPalette yellow = win->palette();
    yellow.setColor(QPalette::Window, QColor(255, 255, 0));
    win->setPalette(yellow);
    win->setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(win);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* outer = new QFrame(win);
    outer->setObjectName("TzMsgPanel");
    outer->setFrameStyle(QFrame::Panel | QFrame::Raised);
    outer->setLineWidth(2);
    auto* outerLayout = new QVBoxLayout(outer);
    outerLayout->setContentsMargins(4, 4, 4, 4);
    w.label = new QLabel(outer);
    w.label->setObjectName("TzMsgText");
    w.label->setFrameStyle(QFrame::Box | QFrame::Plain);
    w.label->setAlignment(Qt::AlignCenter);
    w.label->setTextFormat(Qt::PlainText);
    outerLayout->addWidget(w.label);
    layout->addWidget(outer);
    w.outer = outer;
    w.window = win;
    w.owner = QApplication::activeWindow();
    changed = true;
  }
  QWidget* win = w.window;
  // A caption brings a dialog border; without one the window has none.
  const bool framed = !caption.empty();
  if (framed != w.framed) {
    w.framed = framed;
    win->setWindowFlag(Qt::FramelessWindowHint, !framed);
    win->setWindowFlag(Qt::Dialog, framed);
    w.outer->setFrameStyle(framed ? QFrame::NoFrame : (QFrame::Panel | QFrame::Raised));
    changed = true;
  }
  win->setWindowTitle(Text(caption));
  w.label->setText(Text(text));
  const QFontMetrics metrics(w.label->font());
  int width = metrics.horizontalAdvance(w.label->text()) + 30;
  const int height = metrics.height() + 30;
  if (framed) width = std::max(width, metrics.horizontalAdvance(win->windowTitle()) + 80);
  // Grown when the text needs more room, never shrunk.
  if (changed || win->width() < width || win->height() < height) {
    win->resize(std::max(width, changed ? 0 : win->width()), std::max(height, changed ? 0 : win->height()));
    const QWidget* owner = w.owner;
    QRect over = owner ? owner->frameGeometry() : QRect();
    if (!owner) {
      const QScreen* screen = QGuiApplication::primaryScreen();
      over = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    }
    win->move(over.x() + (over.width() - win->width()) / 2, over.y() + (over.height() - win->height()) / 2);
  }
  win->show();
  win->raise();
  w.label->repaint();
  Pump();
}

void QtTzCallback::CloseWindow(int id) {
  auto it = windows_.find(id);
  if (it == windows_.end()) return;
  if (it->second.window) it->second.window->close();
  windows_.erase(it);
}

void QtTzCallback::Pump() {
  // Paints, exposes, activations, timers and queued calls, but no input: no
  // click starts a second command inside one. What runs here must leave the
  // running command's objects alone (window work waits, see DeferredWork).
  ++PumpLevel();
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  --PumpLevel();
}

void QtTzCallback::RequestTerminate() { QTimer::singleShot(0, qApp, TerminateWhenIdle); }

QWidget* QtTzCallback::Window(int id) const {
  auto it = windows_.find(id);
  return it == windows_.end() ? nullptr : it->second.window.data();
}

}  // namespace zeb::xbase
