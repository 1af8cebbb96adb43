#include "xbase/core/callbacks.h"

#include "xbase/core/engine.h"
#include "xbase/core/errors.h"

namespace zeb::xbase {

namespace {
int NextWindowId() {
  static int next = 0;
  return ++next;
}
}  // namespace

void HeadlessTzCallback::Record(Event e) {
  if (maxEvents > 0 && events.size() >= maxEvents)
    events.erase(events.begin(), events.begin() + static_cast<std::ptrdiff_t>(events.size() / 2));
  events.push_back(std::move(e));
}

int HeadlessTzCallback::MessageBox(std::string_view text, std::string_view caption, std::uint16_t flags) {
  Record({"box", 0, std::string(caption), std::string(text), flags});
  if (answers.empty()) return 1;
  int a = answers.front();
  answers.pop_front();
  return a;
}

void HeadlessTzCallback::ShowWindowText(int id, std::string_view caption, std::string_view text) {
  Record({"show", id, std::string(caption), std::string(text), 0});
}

void HeadlessTzCallback::CloseWindow(int id) { Record({"close", id, {}, {}, 0}); }

void HeadlessTzCallback::RequestTerminate() {
  Event e;
  e.kind = "terminate";
  Record(std::move(e));
}

void HeadlessTzCallback::Pump() { Record({"pump", 0, {}, {}, 0}); }

bool ConfirmAction(std::string_view question) {
  // OK/Cancel (1) with the question icon (32).
  return TzMessageBox(question, "", 1 | 32) != 2;
}

TzMsg::TzMsg() : TzMsg(std::string()) {}

TzMsg::TzMsg(std::string caption) : id_(NextWindowId()), caption_(std::move(caption)) {}

TzMsg::~TzMsg() { Callback().CloseWindow(id_); }

void TzMsg::ShowText(std::string_view text) {
  if (!text.empty()) text_.assign(text);
  Callback().ShowWindowText(id_, caption_, text_);
  Callback().Pump();
}

void TzMsg::Replace(std::string_view text) {
  text_.assign(text);
  Callback().ShowWindowText(id_, caption_, text_);
  Callback().Pump();
}

TzProgress100::TzProgress100() : TzProgress100("Progress") {}

TzProgress100::TzProgress100(std::string caption) : TzMsg(std::move(caption)), bar_(100, '|') {
  ShowText(bar_);
}

void TzProgress100::Step() {
  if (bar_.empty())
    bar_.assign(100, '|');
  else
    bar_.erase(0, 1);
  // The window shows the bar as it is, also when it is empty.
  Replace(bar_);
}

}  // namespace zeb::xbase
