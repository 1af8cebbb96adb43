// Work that a window event (activation, show, focus) asks for. Such events
// also arrive while one of the window's own commands is still running: table
// opens, progress windows, message boxes and nested dialogs process pending
// events in the middle of it. The work never runs there; it runs from the
// event loop once every command of the window has returned, once however
// often it was asked for meanwhile.
#pragma once
#include <QObject>
#include <functional>
#include <type_traits>
#include <utility>

namespace zeb {

class DeferredWork : public QObject {
  Q_OBJECT
 public:
  DeferredWork(QObject* parent, std::function<void()> work);

  // Asks for the work. Asked while it runs, it is not repeated: it reads
  // the state as it is then anyway.
  void Request();
  bool Pending() const { return pending_; }
  // Commands of the window still running (work included).
  int Depth() const { return depth_; }

  // Open while a command of the window runs: requested work waits for it.
  class Scope {
   public:
    explicit Scope(DeferredWork& w) : w_(w) { ++w_.depth_; }
    ~Scope() { w_.Leave(); }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    DeferredWork& w_;
  };

  // A handler wrapped as a command of the window; it takes the signal's
  // arguments or none.
  template <class F>
  auto Command(F f) {
    return [this, f = std::move(f)](auto&&... args) {
      const Scope scope(*this);
      if constexpr (std::is_invocable_v<const F&, decltype(args)...>) {
        f(std::forward<decltype(args)>(args)...);
      } else {
        f();
      }
    };
  }

 private:
  void Leave();
  void Post();
  void RunIfIdle();

  std::function<void()> work_;
  int depth_ = 0;
  bool pending_ = false;
  bool posted_ = false;
  bool running_ = false;
};

}  // namespace zeb
