#include "base/ui_port.h"

#include <chrono>
#include <thread>

#include "base/headless_ui.h"

namespace zeb {

namespace {
std::shared_ptr<UiPort>& Current() {
  static std::shared_ptr<UiPort> port = std::make_shared<BatchUi>();
  return port;
}
}  // namespace

void UiPort::PollLater(const std::function<bool(bool idle)>& poll) {
  while (poll(true)) std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

UiPort& Ui() { return *Current(); }

void SetUi(std::shared_ptr<UiPort> port) {
  if (!port) port = std::make_shared<BatchUi>();
  Current() = std::move(port);
}

}  // namespace zeb
