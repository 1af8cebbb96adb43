// Enter in the online form of the real program, seen from outside: the
// program (wzeb1 with examples/round_dynamic.zeb) runs on an X server of
// its own, Bearbeiten > Nachrechnung is opened by keys, and Return is typed
// through XTEST; X DAMAGE reports what every window redraws. One Enter is
// the CPU time (user + system, all threads) the program spends from the key
// until nothing more is redrawn for 250 ms; its damaged area in the main
// window is counted in areas of that window: one paint of the whole
// graphics window is about 1. Two series: Return alone (the sheet stays as
// it is: the program paints only its form), and Return after a new L1
// typed into its row (88 and 87.5 in turn, the keys sent and settled
// before the timed Return; the sheet changes in part). Four Down keys
// before the series move the form from d to L1 (each a recalculation, not
// timed).
// Side by side in the same run: a minimal Qt program, a window of the main
// window's size whose client area repaints as a whole (background, frame,
// the typed text) on Return in a line edit of a dialog beside it, which
// gets the same keys.
// The time from the key to the last damage (wall time) is given for
// information only: on a busy machine it counts the waits for a core.
// Targets: every Enter under 16 ms of CPU ("over_16ms" 0); 1 paint per
// Enter that changes the sheet; Return alone (both programs only repaint)
// with a median CPU within 1.3 x the minimal program's. Return after a new
// value has no ratio target: the program recalculates and draws its sheet
// anew (the parts are timed and held to their targets in
// bench_main_window_phases), of which the minimal program has nothing; its
// ratio is given for information.
//
// Without DISPLAY it runs itself on a desktop of its own
// (tests/desktop/with_desktop.sh). Options: --enters N (50), --warmup N (5),
// --series 1 (Return alone only) or 2 (new values only);
// ZEB1_BENCH_ALL=1 lists every time.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <xcb/damage.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPainter>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// ------------------------------------------------------------ the minimal program

// The client area: the background, a frame and the typed text, painted
// whole on every Return.
class MinimalCanvas : public QWidget {
 public:
  QString text;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    p.setPen(Qt::white);
    p.drawRect(rect().adjusted(10, 10, -11, -11));
    p.drawText(rect(), Qt::AlignCenter, text);
  }
};

int RunMinimal(int argc, char** argv, int width, int height) {
  QApplication app(argc, argv);
  QMainWindow main;
  main.setWindowTitle("Minimal Hauptfenster");
  main.menuBar()->addMenu("&Datei");
  auto* canvas = new MinimalCanvas;
  canvas->setAttribute(Qt::WA_OpaquePaintEvent);
  main.setCentralWidget(canvas);
  main.move(0, 0);
  main.resize(width, height);
  main.show();
  QDialog form(&main);
  form.setWindowTitle("Minimal Eingabe");
  auto* layout = new QVBoxLayout(&form);
  auto* edit = new QLineEdit("8.5", &form);
  layout->addWidget(edit);
  form.resize(300, 80);
  form.move(width / 2, height / 3);
  int n = 0;
  QObject::connect(edit, &QLineEdit::returnPressed, [&] {
    canvas->text = QString("Enter %1: %2").arg(++n).arg(edit->text());
    canvas->update();
    edit->selectAll();
  });
  form.show();
  edit->setFocus();
  return app.exec();
}

// ------------------------------------------------------------ X

struct X {
  xcb_connection_t* c = nullptr;
  xcb_window_t root = 0;
  std::uint8_t damageEvent = 0;
  std::map<xcb_window_t, xcb_damage_damage_t> damages;
  xcb_keycode_t minKey = 8;
  std::vector<xcb_keysym_t> keysyms;
  int perKey = 0;

  xcb_atom_t Atom(const char* name) {
    auto* r = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
                                    nullptr);
    const xcb_atom_t a = r ? r->atom : 0;
    std::free(r);
    return a;
  }

  bool Open() {
    int screenNo = 0;
    c = xcb_connect(nullptr, &screenNo);
    if (c == nullptr || xcb_connection_has_error(c)) return false;
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNo; ++i) xcb_screen_next(&it);
    root = it.data->root;
    const xcb_query_extension_reply_t* d = xcb_get_extension_data(c, &xcb_damage_id);
    const xcb_query_extension_reply_t* t = xcb_get_extension_data(c, &xcb_test_id);
    if (d == nullptr || !d->present || t == nullptr || !t->present) return false;
    damageEvent = d->first_event;
    std::free(xcb_damage_query_version_reply(c, xcb_damage_query_version(c, 1, 1), nullptr));
    const xcb_setup_t* setup = xcb_get_setup(c);
    minKey = setup->min_keycode;
    const int count = setup->max_keycode - setup->min_keycode + 1;
    auto* km = xcb_get_keyboard_mapping_reply(c, xcb_get_keyboard_mapping(c, minKey, static_cast<std::uint8_t>(count)),
                                              nullptr);
    if (km == nullptr) return false;
    perKey = km->keysyms_per_keycode;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(km);
    keysyms.assign(syms, syms + count * perKey);
    std::free(km);
    return true;
  }

  xcb_keycode_t Key(xcb_keysym_t sym) const {
    for (std::size_t i = 0; i < keysyms.size(); ++i)
      if (keysyms[i] == sym) return static_cast<xcb_keycode_t>(minKey + i / static_cast<std::size_t>(perKey));
    return 0;
  }
  void Fake(std::uint8_t type, xcb_keycode_t key) { xcb_test_fake_input(c, type, key, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0); }
  // Types one key (with Alt when asked) and returns when the server has it.
  void Type(xcb_keysym_t sym, bool alt = false) {
    const xcb_keycode_t altKey = Key(0xffe9), key = Key(sym);
    if (alt) Fake(XCB_KEY_PRESS, altKey);
    Fake(XCB_KEY_PRESS, key);
    Fake(XCB_KEY_RELEASE, key);
    if (alt) Fake(XCB_KEY_RELEASE, altKey);
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
  }

  std::vector<xcb_window_t> Clients() {
    const xcb_atom_t list = Atom("_NET_CLIENT_LIST");
    std::vector<xcb_window_t> out;
    auto* r = xcb_get_property_reply(c, xcb_get_property(c, 0, root, list, XCB_ATOM_WINDOW, 0, 1024), nullptr);
    if (r != nullptr) {
      const auto* w = static_cast<const xcb_window_t*>(xcb_get_property_value(r));
      out.assign(w, w + xcb_get_property_value_length(r) / 4);
      std::free(r);
    }
    return out;
  }
  std::string Name(xcb_window_t w) {
    const xcb_atom_t name = Atom("_NET_WM_NAME"), utf8 = Atom("UTF8_STRING");
    std::string s;
    auto* r = xcb_get_property_reply(c, xcb_get_property(c, 0, w, name, utf8, 0, 256), nullptr);
    if (r != nullptr) {
      s.assign(static_cast<const char*>(xcb_get_property_value(r)),
               static_cast<std::size_t>(xcb_get_property_value_length(r)));
      std::free(r);
    }
    return s;
  }
  // The client window whose name holds the text, waiting up to 30 s.
  xcb_window_t WaitFor(const std::string& part) {
    const auto end = Clock::now() + std::chrono::seconds(30);
    while (Clock::now() < end) {
      for (xcb_window_t w : Clients())
        if (Name(w).find(part) != std::string::npos) return w;
      Drain(50);
    }
    return 0;
  }
  // Width and height of a window.
  std::pair<int, int> Size(xcb_window_t w) {
    auto* g = xcb_get_geometry_reply(c, xcb_get_geometry(c, w), nullptr);
    std::pair<int, int> s{0, 0};
    if (g != nullptr) s = {g->width, g->height};
    std::free(g);
    return s;
  }
  void Activate(xcb_window_t w) {
    xcb_client_message_event_t e{};
    e.response_type = XCB_CLIENT_MESSAGE;
    e.format = 32;
    e.window = w;
    e.type = Atom("_NET_ACTIVE_WINDOW");
    e.data.data32[0] = 2;
    xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&e));
    xcb_flush(c);
  }
  // Damage reports of every client window from now on.
  void WatchAll() {
    for (xcb_window_t w : Clients()) {
      if (damages.count(w)) continue;
      const xcb_damage_damage_t d = xcb_generate_id(c);
      xcb_damage_create(c, d, w, XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES);
      damages[w] = d;
    }
    xcb_flush(c);
  }

  struct Hit {
    Clock::time_point at;
    xcb_window_t window;
    long area;
  };
  // Reads the events that come within ms (or until quiet for quietMs
  // after the last one, when given); damage as hits.
  std::vector<Hit> Drain(int ms, int quietMs = 0) {
    std::vector<Hit> hits;
    const auto start = Clock::now();
    auto last = start;
    pollfd p{xcb_get_file_descriptor(c), POLLIN, 0};
    for (;;) {
      while (xcb_generic_event_t* e = xcb_poll_for_event(c)) {
        if ((e->response_type & 0x7f) == damageEvent + XCB_DAMAGE_NOTIFY) {
          const auto* d = reinterpret_cast<xcb_damage_notify_event_t*>(e);
          last = Clock::now();
          hits.push_back({last, d->drawable, static_cast<long>(d->area.width) * d->area.height});
        }
        std::free(e);
      }
      const auto now = Clock::now();
      const auto limit = quietMs > 0 ? std::min(start + std::chrono::milliseconds(ms),
                                                last + std::chrono::milliseconds(quietMs))
                                     : start + std::chrono::milliseconds(ms);
      if (now >= limit) break;
      p.revents = 0;
      poll(&p, 1, std::max(1, static_cast<int>(Ms(limit - now)) + 1));
      if (xcb_connection_has_error(c)) break;
    }
    return hits;
  }
};

constexpr xcb_keysym_t kReturn = 0xff0d, kEscape = 0xff1b, kDown = 0xff54;

// CPU time (user + system, all threads) the process has used, in ms; its
// CPU clock counts in nanoseconds. -1 when it cannot be read.
double CpuMs(pid_t pid) {
  clockid_t clock = 0;
  timespec t{};
  if (clock_getcpuclockid(pid, &clock) != 0 || clock_gettime(clock, &t) != 0) return -1;
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

struct Result {
  std::vector<double> cpuMs;   // CPU time of the program per Enter
  std::vector<double> ms;      // key to last damage (wall time)
  std::vector<double> areas;   // damaged area of the main window, in its areas
  std::vector<double> paints;  // bursts of damage in the main window
};

// Enters into the focused field of `form`, each after the next of the
// texts typed (none when empty); the main window's damage is counted in
// areas of `main`.
Result Measure(X& x, pid_t pid, xcb_window_t main, int enters, int warmup, const std::vector<std::string>& texts) {
  Result r;
  const auto [w, h] = x.Size(main);
  const double mainArea = static_cast<double>(w) * h;
  for (int i = 0; i < warmup + enters; ++i) {
    if (!texts.empty())
      for (char c : texts[static_cast<std::size_t>(i) % texts.size()]) x.Type(static_cast<xcb_keysym_t>(c));
    x.Drain(3000, 150);  // quiet before the key
    const double cpuStart = CpuMs(pid);
    const auto sent = Clock::now();
    x.Type(kReturn);
    const std::vector<X::Hit> hits = x.Drain(3000, 250);
    const double cpuEnd = CpuMs(pid);
    if (i < warmup) continue;
    r.cpuMs.push_back(cpuStart < 0 || cpuEnd < 0 ? -1 : cpuEnd - cpuStart);
    if (hits.empty()) {
      r.ms.push_back(-1);
      r.areas.push_back(0);
      r.paints.push_back(0);
      continue;
    }
    // One paint is flushed as the rectangles of its visible part, all at
    // once; the next paint comes after the next replay.
    long area = 0;
    int paints = 0;
    std::optional<Clock::time_point> previous;
    for (const X::Hit& hit : hits) {
      if (hit.window != main) continue;
      area += hit.area;
      if (!previous || hit.at - *previous > std::chrono::microseconds(500)) ++paints;
      previous = hit.at;
    }
    r.paints.push_back(paints);

    r.ms.push_back(Ms(hits.back().at - sent));
    r.areas.push_back(area / mainArea);
  }
  return r;
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

void Report(const char* name, const Result& r) {
  std::vector<double> cpu = r.cpuMs;
  std::sort(cpu.begin(), cpu.end());
  const long over = std::count_if(cpu.begin(), cpu.end(), [](double v) { return v >= 16 || v < 0; });
  const long none = std::count_if(r.ms.begin(), r.ms.end(), [](double v) { return v < 0; });
  double areaSum = 0;
  for (double a : r.areas) areaSum += a;
  const auto [fewest, most] = std::minmax_element(r.paints.begin(), r.paints.end());
  if (std::getenv("ZEB1_BENCH_ALL") != nullptr) {
    std::printf("%s all_cpu_ms:", name);
    for (double v : cpu) std::printf(" %.2f", v);
    std::printf("\n");
  }
  std::printf("%-12s enters=%zu cpu_median_ms=%.2f cpu_p90_ms=%.2f cpu_max_ms=%.2f over_16ms=%ld no_damage=%ld "
              "paints_per_enter=%.0f..%.0f window_areas_per_enter=%.2f wall_median_ms=%.2f\n",
              name, cpu.size(), Median(cpu), cpu.empty() ? 0 : cpu[cpu.size() * 9 / 10], cpu.empty() ? 0 : cpu.back(),
              over, none, r.paints.empty() ? 0 : *fewest, r.paints.empty() ? 0 : *most,
              r.areas.empty() ? 0 : areaSum / static_cast<double>(r.areas.size()), Median(r.ms));
}

pid_t Spawn(const std::vector<std::string>& args, const fs::path& cwd) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(cwd.c_str()) != 0) _exit(127);
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) dup2(null, 1);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  return pid;
}

void Stop(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  for (int i = 0; i < 50; ++i) {
    if (waitpid(pid, nullptr, WNOHANG) == pid) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

int Option(int argc, char** argv, const char* name, int fallback) {
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], name) == 0) return std::atoi(argv[i + 1]);
  return fallback;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 4 && std::strcmp(argv[1], "--minimal") == 0) return RunMinimal(argc, argv, std::atoi(argv[2]), std::atoi(argv[3]));
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == '\0') {
    // A desktop of its own.
    std::vector<std::string> args = {"/bin/bash", std::string(ZEB1_SOURCE_DIR) + "/tests/desktop/with_desktop.sh",
                                     "--size", "1280x1024", "/proc/self/exe"};
    std::error_code ec;
    args.back() = fs::read_symlink("/proc/self/exe", ec).string();
    for (int i = 1; i < argc; ++i) args.push_back(argv[i]);
    std::vector<char*> v;
    for (std::string& a : args) v.push_back(a.data());
    v.push_back(nullptr);
    execv(v[0], v.data());
    std::perror("with_desktop.sh");
    return 1;
  }
  const int enters = std::max(1, Option(argc, argv, "--enters", 50));
  const int warmup = std::max(0, Option(argc, argv, "--warmup", 5));
  const int series = Option(argc, argv, "--series", 0);
  const bool alone = series != 2, withValues = series != 1;

  X x;
  if (!x.Open()) {
    std::fprintf(stderr, "bench_main_window_enter: no X server with XTEST and DAMAGE\n");
    return 1;
  }
  // A private folder for the program's configuration and scratch files.
  std::string tmpl = (fs::temp_directory_path() / "zeb1_bench_window.XXXXXX").string();
  if (mkdtemp(tmpl.data()) == nullptr) return 1;
  const fs::path root = tmpl;
  for (const char* sub : {"cfg", "home", "tmp", "work"}) fs::create_directories(root / sub);
  fs::copy_file(fs::path(ZEB1_SOURCE_DIR) / "examples" / "round_dynamic.zeb", root / "work" / "t.zeb");
  setenv("XDG_CONFIG_HOME", (root / "cfg").c_str(), 1);
  setenv("HOME", (root / "home").c_str(), 1);
  setenv("TMPDIR", (root / "tmp").c_str(), 1);
  setenv("QT_QPA_PLATFORM", "xcb", 1);

  // Return alone, and a new L1 before each Return.
  const std::vector<std::string> newValues = {"88", "87.5"};
  int status = 0;
  std::optional<Result> program, minimal, programNew, minimalNew;
  int mainW = 0, mainH = 0;
  {
    const pid_t pid = Spawn({ZEB1_WZEB1, "t.zeb"}, root / "work");
    const xcb_window_t main = x.WaitFor("Druckfederberechnung");
    if (main == 0) {
      std::fprintf(stderr, "bench_main_window_enter: no main window\n");
      status = 1;
    } else {
      x.Activate(main);
      x.Drain(1000, 300);
      std::tie(mainW, mainH) = x.Size(main);
      // Bearbeiten > Nachrechnung by its access key (A&nwendung shares it).
      x.Type('b', true);
      x.Drain(600);
      x.Type('n');
      x.Drain(200);
      x.Type('n');
      x.Drain(200);
      x.Type(kReturn);
      if (x.WaitFor("Nachrechnung") == 0) {
        std::fprintf(stderr, "bench_main_window_enter: no recalculation screen\n");
        status = 1;
      } else {
        // From d down to L1.
        for (int k = 0; k < 4; ++k) {
          x.Type(kDown);
          x.Drain(3000, 250);
        }
        x.WatchAll();
        if (alone) program = Measure(x, pid, main, enters, warmup, {});
        if (withValues) programNew = Measure(x, pid, main, enters, warmup, newValues);
        x.Type(kEscape);
      }
    }
    Stop(pid);
    // The server frees the damage objects with their windows, and gives
    // the next program the same window numbers.
    x.damages.clear();
  }
  if (status == 0) {
    std::error_code ec;
    const std::string self = fs::read_symlink("/proc/self/exe", ec).string();
    const pid_t pid = Spawn({self, "--minimal", std::to_string(mainW), std::to_string(mainH)}, root / "work");
    const xcb_window_t main = x.WaitFor("Minimal Hauptfenster");
    const xcb_window_t form = main != 0 ? x.WaitFor("Minimal Eingabe") : 0;
    if (form == 0) {
      std::fprintf(stderr, "bench_main_window_enter: the minimal program did not come up\n");
      status = 1;
    } else {
      x.Activate(form);
      x.Drain(1000, 300);
      for (int k = 0; k < 4; ++k) {
        x.Type(kDown);
        x.Drain(3000, 250);
      }
      x.WatchAll();
      if (alone) minimal = Measure(x, pid, main, enters, warmup, {});
      if (withValues) minimalNew = Measure(x, pid, main, enters, warmup, newValues);
    }
    Stop(pid);
  }
  fs::remove_all(root);
  if (status != 0 || (alone && (!program || !minimal)) || (withValues && (!programNew || !minimalNew))) return 1;
  std::printf("main window %d x %d, %d Enters each after %d unmeasured\n", mainW, mainH, enters, warmup);
  const auto ratio = [](const Result& a, const Result& b) {
    return Median(b.cpuMs) > 0 ? Median(a.cpuMs) / Median(b.cpuMs) : 0;
  };
  if (alone) {
    std::printf("Return alone (the sheet unchanged):\n");
    Report("zeb1", *program);
    Report("minimal_qt", *minimal);
    std::printf("cpu_ratio_median=%.2f (target <= 1.3)\n", ratio(*program, *minimal));
  }
  if (withValues) {
    std::printf("Return after a new L1 (the sheet changed in part):\n");
    Report("zeb1", *programNew);
    Report("minimal_qt", *minimalNew);
    std::printf("cpu_ratio_median=%.2f (no target: the sheet is worked out anew)\n", ratio(*programNew, *minimalNew));
  }
  return 0;
}
