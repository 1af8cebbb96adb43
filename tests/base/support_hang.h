// Hang bounds. How fast something runs is measured in bench/; a test only
// bounds what might never end (a loop over bad input, a wait for a lock, a
// FIFO, a window or another program), at ten times what it takes here or
// more, so that a small or busy machine never reaches the bound.
#pragma once
#include <chrono>
#include <functional>
#include <thread>

namespace zeb::test {

// Hang bound of a call that takes at most about a second here, most of
// them a few milliseconds (a drawing of bad input, a refused lock).
inline constexpr std::chrono::seconds kHangBound{20};

// Whether f returns within the hang bound.
template <class F>
bool EndsWithin(std::chrono::steady_clock::duration bound, F&& f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::steady_clock::now() - start < bound;
}
template <class F>
bool EndsWithinHangBound(F&& f) {
  return EndsWithin(kHangBound, std::forward<F>(f));
}

// Polls done every 10 ms until it holds (a file that a started program
// writes, a child process reaped) or the hang bound has passed; done's last
// answer.
inline bool WaitUntil(const std::function<bool()>& done, std::chrono::steady_clock::duration bound = kHangBound) {
  const auto end = std::chrono::steady_clock::now() + bound;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return done();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

}  // namespace zeb::test
