// Another program holding a lock on a table: a forked process that opens
// the file, takes the record lock of one record or the table's append lock,
// and keeps it until told to let go.
#pragma once
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <stdexcept>
#include <string>

#include "xbase/dbf/locking.h"
#include "xbase/dbf/workarea.h"

namespace zeb::xbase::test {

class LockHolder {
 public:
  // append: the append lock; else the lock of record `record`.
  LockHolder(const std::string& path, bool append, std::int32_t record = 4) {
    if (::pipe(toChild_) != 0 || ::pipe(toParent_) != 0) throw std::runtime_error("pipe");
    pid_ = ::fork();
    if (pid_ == 0) {
      Select(0);
      USE(path + " ALIAS HOLDER");
      if (!append) GO(record);
      const bool ok = append ? ALock() : RLock();
      char c = ok ? 'L' : 'F';
      (void)!::write(toParent_[1], &c, 1);
      (void)!::read(toChild_[0], &c, 1);
      Unlock();
      c = 'U';
      (void)!::write(toParent_[1], &c, 1);
      ::_exit(0);
    }
    char c = 0;
    (void)!::read(toParent_[0], &c, 1);
    locked = c == 'L';
  }
  void Release() {
    if (released_) return;
    released_ = true;
    char c = 'R';
    (void)!::write(toChild_[1], &c, 1);
    (void)!::read(toParent_[0], &c, 1);
  }
  ~LockHolder() {
    Release();
    int st = 0;
    ::waitpid(pid_, &st, 0);
    for (int fd : {toChild_[0], toChild_[1], toParent_[0], toParent_[1]}) ::close(fd);
  }
  LockHolder(const LockHolder&) = delete;
  LockHolder& operator=(const LockHolder&) = delete;
  bool locked = false;

 private:
  int toChild_[2];
  int toParent_[2];
  pid_t pid_ = -1;
  bool released_ = false;
};

}  // namespace zeb::xbase::test
