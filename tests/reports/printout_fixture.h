// Shared set-up of the printout tests: a temporary folder as temp folder
// and working directory, fixed program identity, the round dynamic example
// spring, running a printout into one target, and the HTML check.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "base/globals.h"
#include "base/support_fixture.h"
#include "platform/codepage.h"
#include "platform/process.h"
#include "reports/device.h"
#include "spring/dimension.h"
#include "spring/ref_spring.h"
#include "spring/spring_data.h"
#include "spring/springfile.h"
#include "spring/valuetable.h"

namespace zeb::test {

namespace fs = std::filesystem;

inline std::string ReadBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

inline std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

inline void WriteBytes(const fs::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary) << bytes;
}

// Absolute at start-up: __FILE__ may be relative, and the tests change the
// working directory.
inline const fs::path kExampleDir =
    fs::absolute(fs::path(__FILE__).parent_path().parent_path().parent_path() / "examples");

// Problems python3's html.parser finds in the files: non-void tags that do
// not balance, or a text of `texts` missing from their character data.
// "" when there are none; "no python3" when it cannot run.
inline std::string HtmlProblems(const std::vector<std::string>& files, const std::vector<std::string>& texts = {}) {
  if (std::system("/usr/bin/python3 -c 'import html.parser' 2>/dev/null") != 0) return "no python3";
  const fs::path py = fs::temp_directory_path() / ("zeb_html_check_" + std::to_string(::getpid()) + ".py");
  std::ofstream(py) << R"PY(import sys, html.parser
VOID = {'br', 'hr', 'img', 'input', 'meta', 'link', 'area', 'base', 'col', 'embed', 'param', 'source', 'track', 'wbr'}
class P(html.parser.HTMLParser):
    def __init__(s): super().__init__(); s.stack, s.bad, s.text = [], [], []
    def handle_starttag(s, t, a):
        if t not in VOID: s.stack.append(t)
    def handle_endtag(s, t):
        if t in VOID: return
        if not s.stack or s.stack.pop() != t: s.bad.append(t)
    def handle_data(s, d): s.text.append(d)
files, texts = sys.argv[1].split('\n'), sys.argv[2:]
bad, text = 0, ''
for name in files:
    p = P(); p.feed(open(name, encoding='cp1252').read()); p.close()
    text += ''.join(p.text)
    if p.stack or p.bad: print(name, p.stack, p.bad); bad += 1
for want in texts:
    if want not in text: print('missing', want); bad += 1
sys.exit(1 if bad else 0)
)PY";
  std::string joined;
  for (const std::string& f : files) joined += (joined.empty() ? "" : "\n") + f;
  std::vector<std::string> args = {"/usr/bin/python3", py.string(), joined};
  args.insert(args.end(), texts.begin(), texts.end());
  const ProcessResult r = StartProgram(args, true);
  fs::remove(py);
  return r.exitCode == 0 ? "" : "html.parser finds problems (exit " + std::to_string(r.exitCode) + ")";
}

// A table material with fatigue values: the reference row of the spring tests.
inline MaterialRecord FatigueMaterial() {
  MaterialRecord m = RefMaterialRow();
  m.Name1 = "Federstahldraht";
  m.Name2 = "SH";
  m.Name3 = "EN 10270-1";
  m.Name4 = "Tabelle";
  return m;
}

// The round dynamic example (d 5, Dm 34.6, n 9.5, L0 105.8 mm; F1 280,
// F2 620 N; G 81500, E 206000, Rm 1460 N/mm², own values; 20 °C), read
// from examples/ and so calculated.
inline void MakeRoundDynamic() {
  ResetSpringGlobals();
  ValueTable() = ValueTableRecord{};
  G().AbortFlag = 0;
  ReadSpringFile((kExampleDir / "round_dynamic.zeb").string());
  ASSERT_EQ(G().AbortFlag, 0);
}

// As the round dynamic example with the table material and F2 500 N (so
// that L2 stays above Ln): life rows.
inline void MakeRoundDynamicTableMaterial() {
  MakeRoundDynamic();
  SpringDataRecord& s = SpringData();
  s.F2 = 500.0L;
  s.L2 = s.L0 - 500.0L / s.R;
  ZEBWST_Record() = FatigueMaterial();
  MaterialSource() = 7;
  s.MaterialSel = 0;
  s.f = 10.0L;
  RunRecalculation();
}

class PrintoutTest : public BaseTest {
 protected:
  void SetUp() override {
    BaseTest::SetUp();
    ResetSpringGlobals();
    ValueTable() = ValueTableRecord{};
    InitOutputDevice();
    std::string pattern = (fs::temp_directory_path() / "zeb printout_XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    tmp_ = pattern;
    old_ = fs::current_path();
    fs::current_path(tmp_);
    G().TempFolder = tmp_.string() + "/";
    G().ProgramVersion = "1.0";
    G().CurrentFileName = "beispiel";
    G().CurrentDataFolder = "/daten/federn/";
    G().HtmlBrowserPath = "/bin/true";  // the "browser"
    G().AskOutputTarget = 0;
#ifdef ZEB1_HELP_FOLDER
    // The shipped message help fills the remarks' cause and remedy; a copy
    // a user edited is not looked at.
    G().HelpFolder = G().ShippedHelpFolder = ZEB1_HELP_FOLDER;
    const char* data = std::getenv("XDG_DATA_HOME");
    oldData_ = data ? data : "";
    hadData_ = data != nullptr;
    ::setenv("XDG_DATA_HOME", tmp_.c_str(), 1);
#endif
  }
  void TearDown() override {
    if (hadData_)
      ::setenv("XDG_DATA_HOME", oldData_.c_str(), 1);
    else
      ::unsetenv("XDG_DATA_HOME");
    InitOutputDevice();
    fs::current_path(old_);
    std::error_code ec;
    fs::remove_all(tmp_, ec);
    BaseTest::TearDown();
  }

  // Runs printout into target (3, 6, 7 or 9) and returns the bytes of the
  // file written ("" when none): the chosen file for 3, the HTML file for
  // 7, the TXT output for 6 and 9 (code page 850 as written).
  std::string Run(int target, const std::function<void()>& printout) {
    G().OutputTarget = static_cast<std::int16_t>(target);
    fs::path chosen;
    if (target == kOutFile) {
      chosen = tmp_ / ("chosen" + std::to_string(++chosenCount_) + ".txt");
      ui().ExpectSaveFile(chosen.string());
    }
    printout();
    if (!chosen.empty()) return fs::exists(chosen) ? ReadBytes(chosen) : std::string();
    if (DeliveredFileName().empty()) return std::string();
    // A command-line run's output is its Windows-text copy.
    if (target == kOutCommandLine) return Cp1252To850(ReadBytes(DeliveredFileName()));
    return ReadBytes(OutputFileName());
  }

  // The lines a body writes into an open TXT output.
  std::vector<std::string> TxtLines(const std::function<void()>& body) {
    OpenOutputDevice(kOutTxt, "t.txt");
    body();
    CloseOutputDevice();
    return SplitLines(ReadBytes(OutputFileName()));
  }

  fs::path tmp_;
  fs::path old_;
  int chosenCount_ = 0;
  std::string oldData_;
  bool hadData_ = false;
};

}  // namespace zeb::test
