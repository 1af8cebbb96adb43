// Every road that writes a spring file, from every start: a file the window
// did not read or write is replaced only after "existiert bereits" (No the
// default), and its
// own file, changed on disk since by another program (another window of
// this one too), only after a question that names the change, No the
// default. File bytes are checked.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <ostream>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "base/files.h"
#include "base/globals.h"
#include "base/headless_ui.h"
#include "base/support_fixture.h"
#include "base/text.h"
#include "mainwin/documents_cmd.h"
#include "mainwin/program.h"
#include "mainwin/spreadsheet.h"
#include "program_fixture.h"
#include "settings/config.h"
#include "spring/spring_data.h"
#include "spring/springfile.h"

namespace fs = std::filesystem;

namespace zeb {
namespace {

using test::ReadBytes;
using test::SourceDir;
using test::WriteBytes;

constexpr Real kTypedD = 1.7L;  // the user's change in the window

enum class Road { CtrlS, SaveAs, Close, New, Open, Recent, Export };
enum class Kind { Sound, Cut, Unreadable };

const char* RoadName(Road r) {
  static const char* const names[] = {"CtrlS", "SaveAs", "Close", "New", "Open", "Recent", "Export"};
  return names[static_cast<int>(r)];
}

// A user who answers by the question: the save question Yes, the discard
// question No, an overwrite question as told; the save dialog picks one
// file, the open dialog is cancelled. What was asked and shown is kept.
class SaveUser : public BatchUi {
 public:
  SaveUser(std::FILE* log, std::string pick, Answer overwrite)
      : BatchUi(log), pick_(std::move(pick)), overwrite_(overwrite) {}
  Answer Question(std::string_view, std::string_view text1252, QuestionKind kind) override {
    const std::string text = Utf8Of1252(text1252);
    if (text.rfind("Datei speichern (", 0) == 0) return Answer::Yes;
    if (text.find("existiert bereits") == std::string::npos && text.find(" geändert (") == std::string::npos)
      return Answer::No;
    overwrites.emplace_back(text, kind);
    return overwrite_;
  }
  void MessageBox(std::string_view, std::string_view text1252) override { boxes.push_back(Utf8Of1252(text1252)); }
  bool ChooseSaveFile(std::string_view, std::string_view, std::string_view, std::string& path) override {
    path = pick_;
    return true;
  }
  bool ChooseOpenFile(std::string_view, std::string_view, std::string&) override { return false; }

  std::vector<std::pair<std::string, QuestionKind>> overwrites;
  std::vector<std::string> boxes;

 private:
  std::string pick_;
  Answer overwrite_;
};

class SaveOverTest : public test::BaseTest {
 protected:
  void SetUp() override {
    BaseTest::SetUp();
    root_ = test::FreshTestFolder("zeb1_saveover_", {"work", "data", "xdg", "tmp"});
    oldCwd_ = fs::current_path();
    fs::current_path(root_ / "work");
    env_.Set("XDG_CONFIG_HOME", (root_ / "xdg").string());
    env_.Set("TMPDIR", (root_ / "tmp").string());
    env_.Set("TZ", "UTC");
    ::tzset();
    log_ = std::tmpfile();
    // The configuration names the data folder, where a template may lie.
    ResetConfigDefaults();
    Config().DefaultDataFolder = (root_ / "data").string() + "/";
    G().TempFolder = (root_ / "tmp").string() + "/";
    G().AbortFlag = 0;
    WriteConfigFile((root_ / "work" / "zeb1.cfg").string());
    ASSERT_EQ(G().AbortFlag, 0);
    fs::copy_file(SourceDir() / "examples" / "round_static.zeb", root_ / "data" / "other.zeb");
    spring_ = root_ / "work" / "spring.zeb";
  }
  void TearDown() override {
    SetUi(nullptr);
    std::fclose(log_);
    fs::current_path(oldCwd_);
    fs::remove_all(root_);
    ResetProgramState();
    ::tzset();
    BaseTest::TearDown();
  }

  // The program started as a user starts it, the user installed.
  std::shared_ptr<SaveUser> Start(std::vector<std::string> args, Answer overwrite) {
    auto user = std::make_shared<SaveUser>(log_, spring_.string(), overwrite);
    ResetProgramState();
    SetMainWindow(nullptr);
    SetUi(user);
    args.insert(args.begin(), "wzeb1");
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    EXPECT_EQ(RunProgram(static_cast<int>(argv.size()), argv.data(), log_, log_), 0);
    G().TableEditorPath = "/bin/true";
    return user;
  }

  // The road as the menu item or key takes it.
  static void Take(Road road) {
    G().AbortFlag = 0;
    switch (road) {
      case Road::CtrlS: FileSave(); break;
      case Road::SaveAs: FileSaveAs(); break;
      case Road::Close: FormCloseQuery(); break;
      case Road::New: FileNew(); break;
      case Road::Open: FileOpen(); break;
      case Road::Recent:
        G().RecentFiles[1] = (fs::current_path().parent_path() / "data" / "other.zeb").string();
        OpenRecentFile(1);
        break;
      case Road::Export: ExportInputDataToSpreadsheet(); break;
    }
  }

  // The user's change: d typed in the window.
  static std::string TypeD() {
    SpringData().d = kTypedD;
    G().ModifiedFlag = 1;
    return FormatSpringFile(CurrentSpringFileRecords());
  }

  static Real DOfFile(const fs::path& p) {
    SpringFileRecords r;
    std::string error;
    EXPECT_TRUE(ParseSpringFile(ReadBytes(p), r, error)) << error;
    return r.SpringData.d;
  }

  fs::path root_, oldCwd_;
  fs::path spring_;  // the start file, work/spring.zeb
  test::ScopedEnv env_;
  std::FILE* log_ = nullptr;
};

// ---------------------------------------------------------------- start states

struct StartCase {
  const char* sw;  // "" none
  bool templ;
  Kind file;
  Road road;
};

std::string CaseName(const testing::TestParamInfo<StartCase>& info) {
  const StartCase& c = info.param;
  std::string sw = *c.sw == '\0' ? "plain" : std::string(c.sw[1] == 'e' ? "e" : c.sw + 1);
  static const char* const kinds[] = {"Sound", "Cut", "Unreadable"};
  return sw + (c.templ ? "Template" : "NoTemplate") + kinds[static_cast<int>(c.file)] + RoadName(c.road);
}

void PrintTo(const StartCase& c, std::ostream* os) {
  *os << CaseName(testing::TestParamInfo<StartCase>(c, 0));
}

std::vector<StartCase> AllStarts() {
  std::vector<StartCase> cases;
  for (const char* sw : {"", "/E", "/e", "/G"})
    for (bool templ : {false, true})
      for (Kind file : {Kind::Sound, Kind::Cut, Kind::Unreadable})
        for (Road road : {Road::CtrlS, Road::SaveAs, Road::Close, Road::New, Road::Open, Road::Recent, Road::Export})
          cases.push_back({sw, templ, file, road});
  return cases;
}

class StartStateSave : public SaveOverTest, public testing::WithParamInterface<StartCase> {};

// The start file (sound, cut after line 117, or a sound file the user may
// write but not read), the template or none, the start switch; d typed; the
// road. Answered No, the file keeps its bytes unless the window read it at
// start, and then it holds the typed spring without a question; answered
// Yes, it holds the typed spring wherever the road saves.
TEST_P(StartStateSave, NothingUnreadIsReplacedUnasked) {
  const StartCase& c = GetParam();
  const std::string sound = ReadBytes(SourceDir() / "examples" / "round_dynamic.zeb");
  std::string original = sound;
  if (c.file == Kind::Cut) {
    std::size_t at = 0;
    for (int line = 0; line < 117; ++line) at = original.find("\r\n", at) + 2;
    original.resize(at);
  }
  if (c.templ) fs::copy_file(SourceDir() / "examples" / "round_static.zeb", root_ / "data" / "null.zeb");
  std::vector<std::string> args{"spring.zeb"};
  if (*c.sw != '\0') args.push_back(c.sw);

  // By hand: only a plain start reads the file, and only a sound, readable
  // one; /E and /G without a template keep the name as typed, unread.
  const bool readAtStart = *c.sw == '\0' && c.file == Kind::Sound;
  const bool named = readAtStart || (*c.sw != '\0' && !c.templ);
  const bool roadSaves = named || c.road == Road::CtrlS || c.road == Road::SaveAs || c.road == Road::Export;
  const bool unasked = readAtStart && c.road != Road::SaveAs;

  for (Answer answer : {Answer::No, Answer::Yes}) {
    SCOPED_TRACE(answer == Answer::No ? "No" : "Yes");
    WriteBytes(spring_, original);
    fs::permissions(spring_, c.file == Kind::Unreadable ? fs::perms::owner_write
                                                        : fs::perms::owner_read | fs::perms::owner_write);
    std::string mine;
    std::shared_ptr<SaveUser> user;
    {
      const test::ModeBitsOnly asAnyUser;
      user = Start(args, answer);
      EXPECT_EQ(G().CurrentFileName.empty(), !named) << G().CurrentFileName;
      mine = TypeD();
      Take(c.road);
    }
    fs::permissions(spring_, fs::perms::owner_read | fs::perms::owner_write);
    if (unasked) {
      EXPECT_TRUE(user->overwrites.empty()) << user->overwrites.front().first;
    } else if (roadSaves) {
      ASSERT_EQ(user->overwrites.size(), 1u);
      EXPECT_NE(user->overwrites[0].first.find("spring.zeb existiert bereits.   überschreiben ?"), std::string::npos)
          << user->overwrites[0].first;
      // Only the window's own file is replaced on a plain Enter.
      EXPECT_EQ(user->overwrites[0].second, readAtStart ? QuestionKind::YesNoCancel : QuestionKind::YesNoCancelNo);
    } else {
      EXPECT_TRUE(user->overwrites.empty()) << user->overwrites.front().first;
    }
    if (unasked || (roadSaves && answer == Answer::Yes)) {
      EXPECT_EQ(ReadBytes(spring_), mine);
      EXPECT_EQ(DOfFile(spring_), kTypedD);
    } else {
      EXPECT_EQ(ReadBytes(spring_), original) << "replaced unasked";
    }
    fs::remove(root_ / "data" / "null.zeb");
    if (c.templ) fs::copy_file(SourceDir() / "examples" / "round_static.zeb", root_ / "data" / "null.zeb");
  }
}

INSTANTIATE_TEST_SUITE_P(AllRoads, StartStateSave, testing::ValuesIn(AllStarts()), CaseName);

// ---------------------------------------------------------------- two windows

enum class Change { Size, ContentOnly, TimeOnly };

struct TwoCase {
  Change change;
  Road road;
};

std::string TwoName(const testing::TestParamInfo<TwoCase>& info) {
  static const char* const changes[] = {"Size", "ContentOnly", "TimeOnly"};
  return std::string(changes[static_cast<int>(info.param.change)]) + RoadName(info.param.road);
}

void PrintTo(const TwoCase& c, std::ostream* os) { *os << TwoName(testing::TestParamInfo<TwoCase>(c, 0)); }

std::vector<TwoCase> AllChanges() {
  std::vector<TwoCase> cases;
  for (Change change : {Change::Size, Change::ContentOnly, Change::TimeOnly})
    for (Road road : {Road::CtrlS, Road::SaveAs, Road::Close, Road::New, Road::Open, Road::Recent, Road::Export})
      cases.push_back({change, road});
  return cases;
}

class TwoWindows : public SaveOverTest, public testing::WithParamInterface<TwoCase> {
 protected:
  // Sets the file's modification time (seconds since 1970, UTC).
  static void SetTime(const fs::path& p, std::time_t t) {
    const timespec times[2] = {{t, 0}, {t, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, p.c_str(), times, 0), 0);
  }
};

constexpr std::time_t kOpened = 1796634300;  // 07.12.2026 09:05:00 UTC

// A opens spring.zeb and types d; B, a second program on the same file,
// changes it and saves (or only its time changes); A's road names the
// change and asks, No the default: No keeps B's bytes and A's changes,
// Yes writes A's spring, and A's next Strg+S asks nothing.
TEST_P(TwoWindows, AChangedFileIsNamedBeforeItIsReplaced) {
  const TwoCase& c = GetParam();
  const std::string original = ReadBytes(SourceDir() / "examples" / "round_dynamic.zeb");
  for (Answer answer : {Answer::No, Answer::Yes}) {
    SCOPED_TRACE(answer == Answer::No ? "No" : "Yes");
    WriteBytes(spring_, original);
    SetTime(spring_, kOpened);
    std::shared_ptr<SaveUser> user = Start({"spring.zeb"}, answer);
    ASSERT_EQ(G().CurrentFileName, "spring.zeb");
    std::string theirs = original;
    if (c.change == Change::TimeOnly) {
      SetTime(spring_, kOpened + 90);
    } else {
      // B: the same program in a process of its own, its change saved by
      // Strg+S.
      const pid_t b = ::fork();
      ASSERT_GE(b, 0);
      if (b == 0) {
        if (c.change == Change::Size) {
          SpringData().d += 0.5L;
          G().TitleBlockLines[2] = "B";
        } else {
          SpringData().DrawingName = UpperStr(SpringData().DrawingName);
        }
        G().ModifiedFlag = 1;
        FileSave();
        ::_exit(G().AbortFlag == 0 && user->overwrites.empty() ? 0 : 1);
      }
      int status = 0;
      ASSERT_EQ(::waitpid(b, &status, 0), b);
      ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "B could not save its change";
      theirs = ReadBytes(spring_);
      ASSERT_NE(theirs, original);
      if (c.change == Change::ContentOnly) {
        ASSERT_EQ(theirs.size(), original.size());
        SetTime(spring_, kOpened);
      }
    }
    const std::string mine = TypeD();
    Take(c.road);

    ASSERT_EQ(user->overwrites.size(), 1u);
    const std::string& asked = user->overwrites[0].first;
    EXPECT_EQ(user->overwrites[0].second, QuestionKind::YesNoCancelNo) << "No is not the default";
    EXPECT_NE(asked.find("spring.zeb wurde seit dem Öffnen geändert ("), std::string::npos) << asked;
    EXPECT_NE(asked.find(").   überschreiben ?"), std::string::npos) << asked;
    switch (c.change) {
      case Change::Size:
        EXPECT_NE(asked.find("(Größe " + std::to_string(original.size()) + " -> " + std::to_string(theirs.size()) +
                             " Bytes, Zeit 07.12.2026 09:05:00 -> "),
                  std::string::npos)
            << asked;
        break;
      case Change::ContentOnly:
        EXPECT_NE(asked.find("(Inhalt bei gleicher Größe)"), std::string::npos) << asked;
        break;
      case Change::TimeOnly:
        EXPECT_NE(asked.find("(Zeit 07.12.2026 09:05:00 -> 07.12.2026 09:06:30)"), std::string::npos) << asked;
        break;
    }
    if (answer == Answer::No) {
      EXPECT_EQ(ReadBytes(spring_), theirs) << "B's work was replaced";
      EXPECT_EQ(G().ModifiedFlag, 1);
      continue;
    }
    EXPECT_EQ(ReadBytes(spring_), mine);
    EXPECT_EQ(DOfFile(spring_), kTypedD);
    if (c.road == Road::CtrlS) {
      // Its own file as it wrote it: replaced again without a question;
      // touched after that, named as changed since the save.
      SpringData().d = 2.0L;
      FileSave();
      EXPECT_EQ(user->overwrites.size(), 1u);
      EXPECT_EQ(DOfFile(spring_), 2.0L);
      SetTime(spring_, kOpened);
      FileSave();
      ASSERT_EQ(user->overwrites.size(), 2u);
      EXPECT_NE(user->overwrites[1].first.find("spring.zeb wurde seit dem Speichern geändert (Zeit "),
                std::string::npos)
          << user->overwrites[1].first;
      EXPECT_NE(user->overwrites[1].first.find(" -> 07.12.2026 09:05:00)"), std::string::npos);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllRoads, TwoWindows, testing::ValuesIn(AllChanges()), TwoName);

}  // namespace
}  // namespace zeb
