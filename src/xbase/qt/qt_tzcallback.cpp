#include "xbase/qt/qt_tzcallback.h"

#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <QVBoxLayout>

#include "xbase/dataset/field_values.h"

namespace zeb::xbase {

namespace {

QString Text(std::string_view s) { return QString::fromStdString(AnsiToUtf8(s)); }

}  // namespace

QtTzCallback::QtTzCallback() = default;

QtTzCallback::~QtTzCallback() {
  for (auto& [id, w] : windows_)
    if (w.window) w.window->deleteLater();
}

int QtTzCallback::MessageBox(std::string_view text, std::string_view caption, std::uint16_t flags) {
  QMessageBox box(QApplication::activeWindow());
  box.setObjectName("TzMessageBox");
  box.setWindowTitle(Text(caption));
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
  switch (box.exec()) {
    case QMessageBox::Cancel: return 2;
    case QMessageBox::Yes: return 6;
    case QMessageBox::No: return 7;
    default: return 1;
  }
}

void QtTzCallback::ShowWindowText(int id, std::string_view caption, std::string_view text) {
  Win& w = windows_[id];
  if (!w.window) {
    auto* win = new QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint);
    win->setObjectName(QString("TzMsg%1").arg(id));
    win->setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(win);
    w.label = new QLabel(win);
    w.label->setObjectName("TzMsgText");
    w.label->setMinimumWidth(320);
    layout->addWidget(w.label);
    w.window = win;
  }
  w.window->setWindowTitle(Text(caption));
  w.label->setText(Text(text));
  w.window->show();
  w.window->raise();
  Pump();
}

void QtTzCallback::CloseWindow(int id) {
  auto it = windows_.find(id);
  if (it == windows_.end()) return;
  if (it->second.window) it->second.window->close();
  windows_.erase(it);
}

void QtTzCallback::Pump() {
  // Paint and timers only: no click starts a second command inside one.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void QtTzCallback::RequestTerminate() {
  // Closing the windows asks the main window's close query (unsaved data).
  QTimer::singleShot(0, qApp, [] { QApplication::closeAllWindows(); });
}

QWidget* QtTzCallback::Window(int id) const {
  auto it = windows_.find(id);
  return it == windows_.end() ? nullptr : it->second.window.data();
}

}  // namespace zeb::xbase
