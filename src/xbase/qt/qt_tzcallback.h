// The table engine's message and progress windows in Qt: modal boxes,
// windows that stay on top, a pump that repaints without user input, and
// the terminate request that closes every window once no command is in
// the middle of its work.
#pragma once
#include <QPointer>
#include <QWidget>
#include <map>

#include "xbase/core/callbacks.h"

class QFrame;
class QLabel;

namespace zeb::xbase {

class QtTzCallback : public TzCallback {
 public:
  QtTzCallback();
  ~QtTzCallback() override;
  int MessageBox(std::string_view text, std::string_view caption, std::uint16_t flags) override;
  void ShowWindowText(int id, std::string_view caption, std::string_view text) override;
  void CloseWindow(int id) override;
  void Pump() override;
  void RequestTerminate() override;
  // The window of an id (tests), nullptr when none is shown.
  QWidget* Window(int id) const;
  // Pumps running (nested): events are being processed inside a command.
  static int PumpDepth();

 private:
  struct Win {
    QPointer<QWidget> window;
    QPointer<QWidget> owner;  // the active window when it was made
    QFrame* outer = nullptr;  // the raised panel of a window without border
    QLabel* label = nullptr;
    bool framed = false;
  };
  std::map<int, Win> windows_;
};

}  // namespace zeb::xbase
