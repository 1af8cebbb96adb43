// Another program in the index tests: a real process that shares the
// tables of the test.
#pragma once
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

#include "test_ndx_support.h"
#include "xbase/memo/memo.h"

namespace zeb::xbase::test {

// Another program: a child process forked before this one opens anything,
// started with a fresh engine when Run() hands it its body.
class OtherProgram {
 public:
  explicit OtherProgram(std::function<int()> body) {
    if (::pipe(go_) != 0) return;
    std::fflush(nullptr);
    pid_ = ::fork();
    if (pid_ != 0) {
      ::close(go_[0]);
      return;
    }
    ::close(go_[1]);
    char c = 0;
    int rc = 97;
    if (::read(go_[0], &c, 1) == 1 && c == 'g') {
      try {
        ResetTzEngine();
        SetTzErrorSwitch(false);
        InitParserUnit();
        IndexInit();
        InitMemoUnit();
        rc = body();
      } catch (...) {
        rc = 98;
      }
    }
    ::_exit(rc);
  }
  ~OtherProgram() {
    if (pid_ > 0 && !waited_) {
      ::close(go_[1]);
      Wait();
    }
  }
  OtherProgram(const OtherProgram&) = delete;
  OtherProgram& operator=(const OtherProgram&) = delete;
  void Start() {
    (void)!::write(go_[1], "g", 1);
    ::close(go_[1]);
  }
  // Exit status (-1 when it died).
  int Wait() {
    if (pid_ <= 0) return -1;
    int status = 0;
    ::waitpid(pid_, &status, 0);
    waited_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  int Run() {
    Start();
    return Wait();
  }

 private:
  int go_[2] = {-1, -1};
  pid_t pid_ = -1;
  bool waited_ = false;
};

}  // namespace zeb::xbase::test
