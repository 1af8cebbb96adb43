// The help the program ships against the program's own code: every help
// number the code sets has its text in the right file, every message the
// calculation, the checks and the drawings post has a cause and a remedy,
// and edits of the shipped files land in the user's copy.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "base/globals.h"
#include "base/help.h"
#include "base/headless_ui.h"
#include "base/qt/qt_convert.h"
#include "base/support_fixture.h"
#include "graphics/cadsettings.h"
#include "mainwin/online.h"
#include "mainwin/qt/input_dialogs.h"
#include "platform/codepage.h"
#include "program_fixture.h"
#include "qt_test_support.h"

namespace zeb {
namespace {

namespace fs = std::filesystem;

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new test::QtEnvironment);

std::string Source() { return test::SourceDir().string(); }
std::string HelpFolder() { return ZEB1_HELP_FOLDER; }

std::string Read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Comments out; string literals kept (code and literals are told apart by
// the callers).
std::string WithoutComments(const std::string& s) {
  std::string r;
  r.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '"' || s[i] == '\'') {
      const char q = s[i];
      r += s[i++];
      while (i < s.size() && s[i] != q && s[i] != '\n') {
        if (s[i] == '\\') r += s[i++];
        r += s[i++];
      }
      if (i < s.size()) r += s[i];
    } else if (s.compare(i, 2, "//") == 0) {
      while (i < s.size() && s[i] != '\n') ++i;
      r += '\n';
    } else if (s.compare(i, 2, "/*") == 0) {
      const std::size_t e = s.find("*/", i + 2);
      i = e == std::string::npos ? s.size() : e + 1;
    } else {
      r += s[i];
    }
  }
  return r;
}

// String literals blanked: what is left is code.
std::string CodeOnly(const std::string& s) { return std::regex_replace(s, std::regex(R"("(\\.|[^"\\\n])*")"), "\"\""); }

struct SourceFile {
  std::string path;  // relative to src/
  std::string text;  // comments removed
};

std::vector<SourceFile> Sources() {
  std::vector<SourceFile> out;
  for (const auto& e : fs::recursive_directory_iterator(fs::path(Source()) / "src")) {
    const std::string ext = e.path().extension().string();
    if (!e.is_regular_file() || (ext != ".cpp" && ext != ".h")) continue;
    out.push_back({fs::relative(e.path(), fs::path(Source()) / "src").string(), WithoutComments(Read(e.path()))});
  }
  return out;
}

// The argument text of the call whose "(" is at open.
std::string Arguments(const std::string& s, std::size_t open) {
  int depth = 0;
  for (std::size_t i = open; i < s.size(); ++i) {
    if (s[i] == '(') ++depth;
    if (s[i] == ')' && --depth == 0) return s.substr(open + 1, i - open - 1);
  }
  return {};
}

std::vector<int> FourDigitNumbers(const std::string& code) {
  std::vector<int> v;
  static const std::regex number(R"((^|[^\w.])([1-9]\d{3})(?![\w.]))");
  for (auto m = std::sregex_iterator(code.begin(), code.end(), number); m != std::sregex_iterator(); ++m)
    v.push_back(std::stoi((*m)[2]));
  return v;
}

// Evaluates "8 + o", "o ? 5995 : 6000" or a plain number for o = 0 or 1.
int Evaluate(std::string e, int o) {
  e = std::regex_replace(e, std::regex(R"(\s+)"), "");
  std::smatch m;
  if (std::regex_match(e, m, std::regex(R"(o\?(\d+):(\d+))"))) return std::stoi(m[o ? 1 : 2]);
  if (std::regex_match(e, m, std::regex(R"((\d+)\+o)"))) return std::stoi(m[1]) + o;
  return std::stoi(e);
}

struct HelpUse {
  std::set<int> numbers;
  std::set<int> outputRows;  // hints of the online screens' result rows
  std::vector<std::set<int>> screens;  // row and result-row numbers of each screen
};

// Every help number the code sets or shows: the help calls, the hint tables
// of the dialogs, the dialog helpers that take a hint number, and the rows
// of the online screens (their help base, row and result counts).
HelpUse HelpNumbersOfTheCode() {
  HelpUse use;
  static const std::regex call(
      R"(\b(SetCurrentHelpNumber|SetHelpTextNumber|ShowHelpTextBox|ShowHelpPicture|ShowHelpText|GetHelpTextB?|)"
      R"(HelpHintText|SetHelpHint|HelpButton|EditTable|Run|combo|edit|row|LineEdit)\s*\()");
  static const std::regex hintPair(R"(\{[^{}]*,\s*([1-9]\d{3})\s*\})");
  for (const SourceFile& f : Sources()) {
    const std::string code = CodeOnly(f.text);
    for (auto m = std::sregex_iterator(code.begin(), code.end(), call); m != std::sregex_iterator(); ++m) {
      const std::size_t open = static_cast<std::size_t>(m->position(0) + m->length(0) - 1);
      for (int n : FourDigitNumbers(Arguments(code, open))) use.numbers.insert(n);
    }
    // Tables of {control, number} pairs in the dialogs.
    if (f.path.find("/qt/") != std::string::npos)
      for (auto m = std::sregex_iterator(code.begin(), code.end(), hintPair); m != std::sregex_iterator(); ++m)
        use.numbers.insert(std::stoi((*m)[1]));
  }
  // The online screens: one function each, with its rows and help base.
  const std::string screens = CodeOnly(WithoutComments(Read(fs::path(Source()) / "src/mainwin/screens.cpp")));
  static const std::regex setup(R"(SetupOnlineInput\(""\s*,\s*([^,]+),\s*([^)]+)\))");
  static const std::regex base(R"((?:helpBase\s*=\s*([^;]+);|ShowForm\(row,\s*(\d+)))");
  int screensFound = 0;
  for (auto m = std::sregex_iterator(screens.begin(), screens.end(), setup); m != std::sregex_iterator(); ++m) {
    const std::string rest = screens.substr(static_cast<std::size_t>(m->position(0)));
    std::smatch b;
    if (!std::regex_search(rest, b, base)) continue;
    const std::string baseExpr = b[1].matched ? b[1].str() : b[2].str();
    ++screensFound;
    std::set<int>& own = use.screens.emplace_back();
    for (int o : {0, 1}) {
      const int helpBase = Evaluate(baseExpr, o), rows = Evaluate((*m)[1], o), outs = Evaluate((*m)[2], o);
      for (int i = 1; i <= rows; ++i) {
        use.numbers.insert(InputRowHelp(helpBase, i));
        own.insert(InputRowHelp(helpBase, i));
      }
      for (int j = 1; j <= outs; ++j) {
        use.numbers.insert(OutputRowHelp(helpBase, j));
        own.insert(OutputRowHelp(helpBase, j));
        use.outputRows.insert(OutputRowHelp(helpBase, j));
      }
    }
  }
  EXPECT_EQ(screensFound, 4);
  return use;
}

// Entry numbers of a help file.
std::set<int> EntriesOf(const std::string& path) {
  std::set<int> out;
  const std::string text = Read(path);
  std::size_t i = 0;
  bool entry = true;
  while (i < text.size()) {
    const std::size_t e = text.find("\r\n", i);
    const std::string line = text.substr(i, e == std::string::npos ? std::string::npos : e - i);
    if (entry && line.size() >= 4 && std::all_of(line.begin(), line.begin() + 4, ::isdigit))
      out.insert(std::stoi(line.substr(0, 4)));
    entry = !entry;
    if (e == std::string::npos) break;
    i = e + 2;
  }
  return out;
}

class HelpContentTest : public test::BaseTest {
 protected:
  void SetUp() override {
    BaseTest::SetUp();
    G().HelpFolder = HelpFolder();
    G().ShippedHelpFolder = HelpFolder();
    G().ProgramShortName = "ZEB1";
    env_.Set("XDG_DATA_HOME", data_.string());
  }
  void TearDown() override {
    fs::remove_all(data_);
    BaseTest::TearDown();
  }
  const fs::path data_ = fs::temp_directory_path() / ("zeb1-help-" + std::to_string(::getpid()));
  test::ScopedEnv env_;
};

TEST_F(HelpContentTest, EveryHelpNumberOfTheCodeHasItsText) {
  const HelpUse use = HelpNumbersOfTheCode();
  // The scan sees the choice dialogs, the online screens and the hint tables.
  for (int n : {1010, 1210, 1970, 2050, 2055, 2060, 2090, 2145, 2280, 3055, 5320, 5470, 5995, 6000, 6035, 6092, 6135,
                6190, 6240, 6290, 6300, 6325, 6370, 6392, 6430, 6440, 6490, 9100})
    EXPECT_TRUE(use.numbers.count(n)) << n;
  // No two screens share a row's text.
  for (std::size_t a = 0; a < use.screens.size(); ++a)
    for (std::size_t b = a + 1; b < use.screens.size(); ++b)
      for (int n : use.screens[a]) EXPECT_FALSE(use.screens[b].count(n)) << "screens " << a << ", " << b << ": " << n;
  EXPECT_GE(use.numbers.size(), 180u);

  const std::set<int> common = EntriesOf(HelpFolder() + "/talmore.hlp"), own = EntriesOf(HelpFolder() + "/zeb1.hlp");
  for (int n : use.numbers) {
    SCOPED_TRACE(n);
    EXPECT_TRUE((n < 4000 ? common : own).count(n));
    EXPECT_FALSE((n < 4000 ? own : common).count(n));
    G().AbortFlag = 1;
    const std::string text = HelpHintText(n);
    EXPECT_GE(text.size(), 10u);
    EXPECT_EQ(text.find("nicht gefunden !"), std::string::npos);
    EXPECT_EQ(G().AbortFlag, 1) << "a text found leaves AbortFlag";
  }
  // A result row's hint is its own line only: lines 2 to 5 stay empty.
  for (int n : use.outputRows) {
    const std::string joined = GetHelpText(n);
    EXPECT_EQ(joined.substr(joined.size() - 4), "    ") << n << ": " << joined;
    EXPECT_EQ(joined.find("  "), joined.size() - 4) << n << ": " << joined;
  }
}

// The input screens' short entries are explained where they are typed:
// F1 and F2 ("<", ">"), the wire row ("<", ">", "*", "#", "-", "+") and the
// L2 row ("<") of both dimensioning layouts, the recalculation's wire rows
// ("#", "-", "+"); the online form's own text names them all.
TEST_F(HelpContentTest, ShortEntriesAreExplainedInTheirRowsTexts) {
  auto explains = [](int n, std::initializer_list<const char*> entries) {
    SCOPED_TRACE(n);
    const std::string text = HelpHintText(n);
    for (const char* e : entries) EXPECT_NE(text.find(e), std::string::npos) << e << " in: " << text;
  };
  for (int base : {6100, 6400}) {
    explains(InputRowHelp(base, 1), {"F1", "< sucht", "> das"});
    explains(InputRowHelp(base, 2), {"F2", "< sucht", "> das"});
    explains(InputRowHelp(base, 4), {"L2", "< setzt L2"});
    explains(InputRowHelp(base, 6), {"< sucht", "> den", "* sch", "# rundet", "- und +"});
  }
  explains(InputRowHelp(6000, 1), {"# rundet", "- und +"});
  explains(InputRowHelp(5995, 1), {"# rundet", "- und +"});
  explains(InputRowHelp(5995, 2), {"# rundet", "- und +", "nicht f\xFCr di"});
  explains(1010, {"< und >", "* in d", "# - +", "< in L2"});
  // The online form's Hilfe is about the form, not the calculation method.
  EXPECT_EQ(HelpHintText(1010).rfind("Eingabeformular", 0), 0u);
  EXPECT_EQ(HelpHintText(1000).find("Eingabeformular"), std::string::npos);
  EXPECT_NE(HelpHintText(1000).find("Einheiten geh\xF6ren zur Konfiguration"), std::string::npos);
}

// Texts a designer acts on say what the program does: the first choice of
// the optimisation warnings posts none (no check of the calculation tests
// w > 16), the coiling kind does not choose the tolerance standard (the
// grade does), the pre-dimensioning's stroke row is the corrected stroke
// under dynamic load and its target also keeps the permissible stroke, a
// strength law entered for a material must stay at each published band's
// lower edge at most at its minimum, a table row without a strength law
// keeps the former tau zul (its fatal texts do not stop the calculation),
// a missing Goodman slope under tau oz = 0.56 Rm or 0.6 Rm does not concern
// a static spring, and switching warnings off also hides the stroke error
// taukh>tauhzul while the warnings the calculation posts regardless stay.
TEST_F(HelpContentTest, TextsSayWhatTheProgramDoes) {
  auto text = [](int n) { return HelpHintText(n); };
  auto cause = [](const std::string& message) {
    G().ErrorMessageList.count = 1;
    G().ErrorMessageList.slot[1] = message;
    std::string c;
    G().AbortFlag = 0;
    GetErrorCause(1, c);
    return c;
  };
  EXPECT_EQ(text(5410).find("nur w > 16"), std::string::npos) << text(5410);
  EXPECT_NE(text(5410).find("w>16\" meldet nichts weiter"), std::string::npos) << text(5410);
  EXPECT_NE(text(5410).find("die zweite Wahl meldet w < 6, w > 12"), std::string::npos) << text(5410);
  EXPECT_EQ(text(5290).find("(EN 15800 kalt, DIN 2096 warm)"), std::string::npos) << text(5290);
  EXPECT_NE(text(5290).find("G\xFCtegrad im Toleranzdialog"), std::string::npos) << text(5290);
  EXPECT_NE(text(6382).find("Hubspannung tau k2 - tau k1 bzw. tau 2 - tau 1"), std::string::npos) << text(6382);
  EXPECT_NE(text(5195).find("tau kh die zul\xE4ssige Hubspannung"), std::string::npos) << text(5195);
  EXPECT_NE(text(4020).find("am unteren Rand a jedes Bereichs"), std::string::npos) << text(4020);
  EXPECT_NE(text(5460).find("unterdr\xFC" "ckt wird auch der Fehler taukh>tauhzul"), std::string::npos) << text(5460);
  EXPECT_EQ(text(5460).find("Fehler und Fatal-Meldungen erscheinen immer"), std::string::npos) << text(5460);
  EXPECT_NE(text(1210).find("meist bricht die Rechnung ab"), std::string::npos) << text(1210);
  EXPECT_NE(cause("Fatal  : Rm = 0 !").find("ist tau zul unbekannt (warmgeformt: aus d)"), std::string::npos);
  EXPECT_NE(cause("Fehler : ZEBWST Goodman").find("Eine statische Feder betrifft das nicht"), std::string::npos);
}

// The plot program's dialog: format, interface, fitted scale, rotation and
// PostScript font carry their help texts as hints, with help level 1; with
// help level 0 there are none.
TEST_F(HelpContentTest, PlotDialogControlsCarryTheirHints) {
  InstallQtInputDialogs(nullptr);
  const std::pair<const char*, int> hints[] = {{"RadioGroup_outcode", 2090}, {"CheckBox_rotate", 2145},
                                               {"ComboBox_psfont", 2280}, {"RadioGroup_d", 2120},
                                               {"CheckBox_scale", 2140}};
  for (int level : {1, 0}) {
    SCOPED_TRACE(level);
    G().HelpLevel = static_cast<std::int16_t>(level);
    test::ModalDriver d("TForm_confgravelo", [&](QWidget& w) {
      for (const auto& [name, n] : hints) {
        const QWidget* c = w.findChild<QWidget*>(QString::fromLatin1(name));
        ASSERT_NE(c, nullptr) << name;
        EXPECT_EQ(c->toolTip(), level ? AnsiToQString(HelpHintText(n)) : QString()) << name;
      }
      if (level) {
        EXPECT_TRUE(w.findChild<QWidget*>("RadioGroup_outcode")->toolTip().startsWith("Ausgabeformat: HP-GL"));
        EXPECT_TRUE(w.findChild<QWidget*>("CheckBox_rotate")->toolTip().contains("/R"));
        EXPECT_TRUE(w.findChild<QWidget*>("ComboBox_psfont")->toolTip().contains("Postscript"));
      }
      w.findChild<QAbstractButton*>("Button_cancel")->click();
    });
    std::string line;
    PlotConfig().Edit(line);
  }
  UninstallQtInputDialogs();
}

TEST_F(HelpContentTest, PicturesOfTheEntriesAreShippedAndCatalogued) {
  const std::string catalogue = Read(HelpFolder() + "/zeb1.dbh");
  std::set<std::string> stems;
  for (const char* file : {"/talmore.hlp", "/zeb1.hlp"}) {
    const std::string text = Read(HelpFolder() + file);
    static const std::regex entry(R"((^|\n)\d{4}:([^\r\n]*)\r\n)");
    for (auto m = std::sregex_iterator(text.begin(), text.end(), entry); m != std::sregex_iterator(); ++m)
      stems.insert((*m)[2]);
  }
  EXPECT_GE(stems.size(), 6u);
  stems.insert("start");
  for (const std::string& s : stems) {
    EXPECT_LE(s.size(), 8u) << s;
    EXPECT_TRUE(fs::is_regular_file(HelpFolder() + "/" + s + ".plt")) << s;
    EXPECT_NE(catalogue.find("\"" + s + "\",\""), std::string::npos) << s;
  }
  for (const auto& e : fs::directory_iterator(HelpFolder())) {
    if (e.path().extension() != ".plt") continue;
    EXPECT_NE(catalogue.find("\"" + e.path().stem().string() + "\""), std::string::npos) << e.path();
  }
}

// The texts the program can post into the message list: literals that start
// like a message in the calculation, checks, drawings and tables, and every
// literal handed straight to the posting routines.
std::set<std::string> MessagesOfTheCode() {
  std::set<std::string> out;
  static const std::regex literal(R"re("((?:\\.|[^"\\\n])*)"(_oem)?)re");
  static const std::regex post(R"(\b(AddErrorMessage|PostFatal|Fatal|post)\s*\()");
  static const std::regex power(R"(\bPowerChecked\s*\()");
  static const std::regex constant(R"re(\b(\w+)\[\]\s*=\s*"([^"]*)")re");
  auto bytes = [](const std::smatch& m) {
    std::string t = std::regex_replace(m[1].str(), std::regex(R"(\\")"), "\"");
    return m[2].matched ? FromUtf8(CodePage::Cp850, t) : t;
  };
  for (const SourceFile& f : Sources()) {
    if (f.path.rfind("xbase/", 0) == 0 || f.path.rfind("platform/", 0) == 0 || f.path.find("/qt/") != std::string::npos)
      continue;
    const std::string& s = f.text;
    for (auto m = std::sregex_iterator(s.begin(), s.end(), literal); m != std::sregex_iterator(); ++m) {
      const std::string t = (*m)[1];
      if (t.rfind("Warnung:", 0) == 0 || t.rfind("Fehler :", 0) == 0 || t.rfind("Fatal  :", 0) == 0)
        out.insert(bytes(*m));
    }
    std::map<std::string, std::string> constants;
    for (auto m = std::sregex_iterator(s.begin(), s.end(), constant); m != std::sregex_iterator(); ++m)
      constants[(*m)[1]] = (*m)[2];
    for (auto m = std::sregex_iterator(s.begin(), s.end(), post); m != std::sregex_iterator(); ++m) {
      const std::string args = Arguments(s, static_cast<std::size_t>(m->position(0) + m->length(0) - 1));
      // Literals that open the argument or a branch of "?:".
      static const std::regex head(R"re((^|[?:(])\s*"((?:\\.|[^"\\\n])*)"(_oem)?)re");
      for (auto h = std::sregex_iterator(args.begin(), args.end(), head); h != std::sregex_iterator(); ++h) {
        std::smatch sm;
        const std::string whole = (*h)[0];
        std::regex_search(whole, sm, literal);
        out.insert(bytes(sm));
      }
      std::smatch id;
      if (std::regex_match(args, id, std::regex(R"(\s*(\w+)\s*)")) && constants.count(id[1])) out.insert(constants[id[1]]);
    }
    // A failed power posts its context and " (pow)".
    for (auto m = std::sregex_iterator(s.begin(), s.end(), power); m != std::sregex_iterator(); ++m) {
      const std::string args = Arguments(s, static_cast<std::size_t>(m->position(0) + m->length(0) - 1));
      std::smatch sm;
      if (std::regex_search(args, sm, literal)) out.insert(bytes(sm) + " (pow)");
    }
  }
  return out;
}

TEST_F(HelpContentTest, EveryMessageOfTheCodeHasCauseAndRemedy) {
  std::set<std::string> messages = MessagesOfTheCode();
  for (const char* m : {"Warnung: L2<Ln ! (S=", "Fehler : L2<Lc !", "Fatal  : Rm = 0 !", "Schraffurfehler",
                        "Drahtdurchmesser nicht nach DIN 2076 !", "Fehler : AF (pow)", "Fehler : f = 0 !"})
    EXPECT_TRUE(messages.count(m)) << m;
  // Heads completed at run time stand for a text they begin; captions,
  // comparisons and a power's context alone are no messages. Other short
  // texts are posted as they stand.
  const std::map<std::string, std::string> completed{{"Fatal  : ", "Fatal  : zebrmmin dbf error"},
                                                     {"Material ", "Material 3 not found"},
                                                     {"DBF #", "DBF #3 not found."},
                                                     {"Fehler : ", ""},
                                                     {"Fatal  :", ""},
                                                     {"Fehler : AF", ""}};
  const std::string file = Read(HelpFolder() + "/zeb1.err");
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < file.size();) {
    const std::size_t e = file.find("\r\n", i);
    ASSERT_NE(e, std::string::npos) << "every line ends with CR LF";
    lines.push_back(file.substr(i, e - i));
    i = e + 2;
  }
  ASSERT_EQ(lines.size() % 3, 0u);
  int checked = 0;
  for (std::string m : messages) {
    SCOPED_TRACE(m);
    if (completed.count(m)) {
      m = completed.at(m);
      if (m.empty()) continue;
    }
    // The first line that agrees in 14 characters is the entry's message.
    const auto hit = std::find_if(lines.begin(), lines.end(),
                                  [&](const std::string& l) { return l.substr(0, 14) == m.substr(0, 14); });
    if (hit == lines.end()) {
      ADD_FAILURE() << "no entry";
      continue;
    }
    const auto k = static_cast<std::size_t>(hit - lines.begin());
    EXPECT_EQ(k % 3, 0u) << "matched a cause or remedy line: " << *hit;
    const std::string& cause = lines[k + 1];
    const std::string& remedy = lines[k + 2];
    EXPECT_GE(cause.size(), 15u);
    // A printout cuts a longer line: the shipped texts fit.
    EXPECT_LE(cause.size(), 255u);
    EXPECT_LE(remedy.size(), 255u);
    EXPECT_GE(remedy.size(), 10u);
    EXPECT_NE(cause, remedy);
    ++checked;
    // And the program's own lookup finds them.
    G().ErrorMessageList.count = 1;
    G().ErrorMessageList.slot[1] = m;
    std::string c = "-", r = "-";
    G().AbortFlag = 0;
    GetErrorCause(1, c);
    GetErrorRemedy(1, r);
    EXPECT_EQ(c, cause);
    EXPECT_EQ(r, remedy);
  }
  EXPECT_GE(checked, 120);
}

// An edit in the message-help form goes to the user's copy; reopening shows
// it; the shipped file and the repository's stay as they were.
TEST_F(HelpContentTest, EditedCauseAndRemedyGoToTheUserCopy) {
  const std::string shipped = Read(HelpFolder() + "/zeb1.err");
  const std::string repository = Read(Source() + "/data/help/zeb1.err");
  const std::string message = "Warnung: L2<Ln ! (S=0.20)";
  G().ErrorMessageList.count = 1;
  G().ErrorMessageList.slot[1] = message;
  std::string oldCause;
  GetErrorCause(1, oldCause);
  ui().ExpectErrorHelpFormEdit("Warnung: L2<Ln", "Ursache ä eigene", "Abhilfe eigene");
  ui().ExpectQuestion("", "Save Changes ?", Answer::Yes);
  ShowErrorHelp(1);
  EXPECT_EQ(ui().shown()[0].items[1], ToUtf8(CodePage::Cp850, oldCause));

  const fs::path copy = data_ / "zeb1" / "zeb1.err";
  ASSERT_TRUE(fs::is_regular_file(copy));
  EXPECT_EQ(Read(HelpFolder() + "/zeb1.err"), shipped);
  EXPECT_EQ(Read(Source() + "/data/help/zeb1.err"), repository);
  EXPECT_EQ(HelpDataFileToRead("zeb1.err"), copy.string());

  // Reopened: the form shows the edit (the user's copy is read first).
  ui().ExpectErrorHelpForm("Warnung: L2<Ln");
  ShowErrorHelp(1);
  const auto& reopened = ui().shown().back();
  ASSERT_EQ(reopened.items.size(), 3u);
  EXPECT_EQ(reopened.items[1], "Ursache ä eigene");
  EXPECT_EQ(reopened.items[2], "Abhilfe eigene");
  std::string cause;
  GetErrorCause(1, cause);
  EXPECT_EQ(cause, FromUtf8(CodePage::Cp850, "Ursache ä eigene"));  // stored in code page 850

  // A help folder of the user's own is edited in place.
  const fs::path own = data_ / "own";
  fs::create_directories(own);
  fs::copy_file(HelpFolder() + "/zeb1.err", own / "zeb1.err");
  G().HelpFolder = own.string();
  WriteErrEntry(message, "hier", "dort");
  EXPECT_NE(Read(own / "zeb1.err").find("\r\nhier\r\ndort\r\n"), std::string::npos);
  EXPECT_EQ(Read(copy).find("\r\nhier\r\n"), std::string::npos);
}

TEST_F(HelpContentTest, MissingTextsGiveNoHint) {
  EXPECT_EQ(HelpHintText(4999), "");
  G().HelpFolder = data_.string();  // no help files there
  EXPECT_EQ(HelpHintText(6000), "");
  EXPECT_EQ(G().AbortFlag, 0);
  G().ErrorMessageList.count = 1;
  G().ErrorMessageList.slot[1] = "Warnung: L2<Ln ! (S=0.20)";
  EXPECT_EQ(ErrorCauseHint(1), "");
  G().HelpFolder = HelpFolder();
  EXPECT_NE(ErrorCauseHint(1).find("Ln = Lc + Sa"), std::string::npos);
  G().ErrorMessageList.slot[1] = "Warnung: nicht beschrieben";
  EXPECT_EQ(ErrorCauseHint(1), "");
}

}  // namespace
}  // namespace zeb
