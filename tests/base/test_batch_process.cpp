// A batch run with stdin closed and no display never waits: boxes and
// questions end at once, their texts reach stderr as UTF-8.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "base/dialogs.h"
#include "base/globals.h"
#include "base/headless_ui.h"
#include "base/textfile.h"
#include "platform/oem_literal.h"

namespace zeb {
namespace {

// Child: the four interactions; exit status 0 when every one set AbortFlag.
[[noreturn]] void RunChild(int errFd) {
  close(0);
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  dup2(errFd, 2);
  ResetBaseGlobals();
  SetUi(std::make_shared<BatchUi>(stderr));
  int failures = 0;
  ShowErrorBox("Datei nicht gefunden"_oem);
  AskYesNoCancel("Änderungen speichern ?"_oem);
  failures += G().AbortFlag != 1;
  G().AbortFlag = 0;
  Real x = 2;
  InputFloatInRange("Drahtdurchmesser"_oem, x, 1, 10);
  failures += G().AbortFlag != 1;
  G().AbortFlag = 0;
  TextFile f;
  f.Assign("/nonexistent-zeb1-folder/sub/zeb1.cfg");
  RewriteWithRetry(f);
  failures += G().AbortFlag != 1;
  std::fflush(stderr);
  _exit(failures);
}

TEST(BatchProcess, NoInputNoDisplayEndsWithinTenSeconds) {
  int pipeFd[2];
  ASSERT_EQ(pipe(pipeFd), 0);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    close(pipeFd[0]);
    RunChild(pipeFd[1]);
  }
  close(pipeFd[1]);
  std::string err;
  char buf[4096];
  for (;;) {
    pollfd p{pipeFd[0], POLLIN, 0};
    const int left = 10000 - static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                  std::chrono::steady_clock::now() - start)
                                                  .count());
    if (left <= 0 || poll(&p, 1, left) <= 0) break;
    ssize_t n = read(pipeFd[0], buf, sizeof buf);
    if (n <= 0) break;
    err.append(buf, static_cast<std::size_t>(n));
  }
  close(pipeFd[0]);
  int status = 0;
  pid_t done = 0;
  while (std::chrono::steady_clock::now() - start < std::chrono::seconds(10) &&
         (done = waitpid(pid, &status, WNOHANG)) == 0)
    usleep(10000);
  if (done != pid) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    FAIL() << "batch run still waiting after 10 s; stderr so far:\n" << err;
  }
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "an interaction did not set AbortFlag";
  // UTF-8 umlauts, one line per box or question.
  EXPECT_NE(err.find("Fehler : Datei nicht gefunden\n"), std::string::npos) << err;
  EXPECT_NE(err.find("Änderungen speichern ?"), std::string::npos) << err;
  EXPECT_NE(err.find("Drahtdurchmesser"), std::string::npos) << err;
  EXPECT_NE(err.find("Abbrechen"), std::string::npos) << err;
}

}  // namespace
}  // namespace zeb
