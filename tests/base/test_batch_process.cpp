// A batch run with stdin closed and no display never waits: boxes and
// questions end at once with their safe answers, each logged as one UTF-8
// line on stderr.
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

// Child: the interactions; exit status 0 when each one cancelled and set
// AbortFlag.
[[noreturn]] void RunChild(int errFd) {
  close(0);
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  dup2(errFd, 2);
  ResetBaseGlobals();
  SetUi(std::make_shared<BatchUi>(stderr));
  int failures = 0;
  auto aborted = [&failures] {
    failures += G().AbortFlag != 1;
    G().AbortFlag = 0;
  };
  ShowErrorBox("Ungültiger Dateiname"_oem);
  failures += AskYesNoCancel("Änderungen speichern ?"_oem);
  aborted();
  Real x = 5;
  InputFloatInRange("Länge"_oem, x, 1, 10);
  failures += x != 5;
  aborted();
  failures += AskRetryCancel("Schreibschutz entfernen !");
  aborted();
  G().ShowErrorsSwitch = 0;  // the retry question is asked all the same
  TextFile f;
  f.Assign("/nonexistent-zeb1-folder/sub/zeb1.cfg");
  RewriteWithRetry(f);
  failures += f.IsOpen();
  aborted();
  std::fflush(stderr);
  _exit(failures);
}

// Hang bound: the run ends within 50 ms here; waiting for input it would
// never end.
TEST(BatchProcess, NoInputNoDisplayEndsWithinTenSeconds) {
  int pipeFd[2];
  ASSERT_EQ(pipe(pipeFd), 0);
  const auto start = std::chrono::steady_clock::now();
  auto msLeft = [&] {
    return 10000 - static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now() - start)
                                        .count());
  };
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    close(pipeFd[0]);
    RunChild(pipeFd[1]);
  }
  close(pipeFd[1]);
  std::string err;
  char buf[4096];
  for (pollfd p{pipeFd[0], POLLIN, 0}; msLeft() > 0 && poll(&p, 1, msLeft()) > 0;) {
    ssize_t n = read(pipeFd[0], buf, sizeof buf);
    if (n <= 0) break;
    err.append(buf, static_cast<std::size_t>(n));
  }
  close(pipeFd[0]);
  int status = 0;
  pid_t done = 0;
  while (msLeft() > 0 && (done = waitpid(pid, &status, WNOHANG)) == 0) usleep(10000);
  if (done != pid) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    FAIL() << "batch run still waiting after 10 s; stderr so far:\n" << err;
  }
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "an interaction did not cancel or did not set AbortFlag";
  EXPECT_EQ(err,
            "Fehler : Ungültiger Dateiname\n"
            "ZEB1: Änderungen speichern ? [Ja/Nein/Abbrechen] -> Abbrechen\n"
            "Eingabe: Länge [5] -> Abbrechen\n"
            "Fehler : Schreibschutz entfernen ! [Wiederholen/Abbrechen] -> Abbrechen\n"
            "Fehler : I/O-Error 2: /nonexistent-zeb1-folder/sub/zeb1.cfg (nicht vorhanden) [Wiederholen/Abbrechen] -> "
            "Abbrechen\n");
}

}  // namespace
}  // namespace zeb
