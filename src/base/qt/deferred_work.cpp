#include "base/qt/deferred_work.h"

#include <QMetaObject>

#include "base/scoped.h"

namespace zeb {

DeferredWork::DeferredWork(QObject* parent, std::function<void()> work) : QObject(parent), work_(std::move(work)) {}

void DeferredWork::Request() {
  if (running_) return;
  pending_ = true;
  if (depth_ == 0) Post();
}

void DeferredWork::Leave() {
  --depth_;
  if (depth_ == 0 && pending_) Post();
}

void DeferredWork::Post() {
  if (posted_) return;
  posted_ = true;
  // Queued: it runs after the event that asked for it has been handled.
  QMetaObject::invokeMethod(this, [this] { RunIfIdle(); }, Qt::QueuedConnection);
}

void DeferredWork::RunIfIdle() {
  posted_ = false;
  // Delivered inside a command (its table open or message box processes
  // events): the command's end posts it again.
  if (!pending_ || depth_ > 0) return;
  pending_ = false;
  const ScopedFlag running(running_);
  const Scope scope(*this);
  work_();
}

}  // namespace zeb
