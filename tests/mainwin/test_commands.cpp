// Menu command handlers, headless: the material-first, modified and
// refresh rules, the calculation-mode dispatcher, the new-spring sequence
// with a cancel at every step, the refresh of the main window and which
// items are enabled with the stand-in services and with fakes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "base/globals.h"
#include "base/messages.h"
#include "base/services.h"
#include "base/support_hang.h"
#include "mainwin/commands.h"
#include "mainwin/documents_cmd.h"
#include "spring/changelog.h"
#include "settings/config.h"
#include "mainwin/dispatch.h"
#include "mainwin/online.h"
#include "mainwin/placeholder.h"
#include "graphics/sink.h"
#include "spring/dimension.h"
#include "mainwin/program.h"
#include "spring/calc.h"
#include "spring/design_grid.h"
#include "spring/ref_spring.h"
#include "spring/spring_data.h"
#include "spring/springfile.h"
#include "spring/stress_oracle.h"
#include "spring/strength.h"
#include "spring/valuetable.h"

namespace zeb {
namespace {

namespace fs = std::filesystem;

class Sink : public MenuStateSink {
 public:
  void SetItem(std::string_view name, std::string_view caption, bool enabled) override {
    last = std::string(name) + "=" + std::string(caption) + (enabled ? " on" : " off");
  }
  std::string last;
};

// Material table present: the material form is a fake that may cancel.
class MaterialTables : public test::RefMaterialTables {
 public:
  bool cancel = false;
  void ShowMaterialForm() override {
    RecordingTables::ShowMaterialForm();
    if (cancel) G().AbortFlag = 1;
  }
};

// Dialogs whose tolerance OK changes a grade.
class GradeChangingDialogs : public ScriptedCommandDialogs {
 public:
  bool Tolerance() override {
    const bool ok = ScriptedCommandDialogs::Tolerance();
    if (ok) SpringData().GradeF1 = SpringData().GradeF1 == 3 ? 1 : 3;
    return ok;
  }
};

// A graphics service that is not the stand-in.
class GraphicsFake : public RecordingGraphics {};

// A call noted as "Name(args)".
bool Called(const CallRecorder& r, const std::string& name) {
  for (const std::string& c : r.Calls())
    if (c.rfind(name + "(", 0) == 0) return true;
  return false;
}

class CommandsTest : public test::SpringTest {
 protected:
  void SetUp() override {
    SpringTest::SetUp();
    ResetOnlineState();
    form_ = std::make_shared<ScriptedOnlineForm>();
    SetOnlineForm(form_);
    window_ = std::make_shared<HeadlessMainWindow>();
    SetMainWindow(window_);
    drawings_ = std::make_shared<RecordingDrawings>();
    SetDrawings(drawings_);
    SetMenuStateSink(&sink_);
    test::MakeRefSpring();
  }
  void TearDown() override {
    SetMenuStateSink(nullptr);
    SetCommandDialogs(nullptr);
    SetOnlineForm(nullptr);
    SetMainWindow(nullptr);
    SetDrawings(nullptr);
    SetTables(nullptr);
    SpringTest::TearDown();
  }
  std::shared_ptr<ScriptedCommandDialogs> InstallDialogs() {
    auto d = std::make_shared<ScriptedCommandDialogs>();
    SetCommandDialogs(d);
    return d;
  }
  std::shared_ptr<MaterialTables> InstallMaterial() {
    auto t = std::make_shared<MaterialTables>();
    SetTables(t);
    return t;
  }
  bool Refreshed() const { return Called(*window_, "RefreshMainWindow"); }

  std::shared_ptr<ScriptedOnlineForm> form_;
  std::shared_ptr<HeadlessMainWindow> window_;
  std::shared_ptr<RecordingDrawings> drawings_;
  Sink sink_;
};

// Datei > Drucken of a spring whose calculation stopped shows its messages
// and prints nothing.
TEST_F(CommandsTest, PrintOfAStoppedCalculationShowsItsMessages) {
  int printed = 0;
  WindowHooks().print = [&printed] { ++printed; };
  AddErrorMessage("Fatal  : G <= 0 !");
  G().FatalErrorFlag = 1;
  ui().ExpectChoiceCancel("Berechnungsmodul meldet");
  RunCommand("mi_fileprint");
  EXPECT_EQ(printed, 0);
  G().FatalErrorFlag = 0;
  RunCommand("mi_fileprint");
  EXPECT_EQ(printed, 1);
  WindowHooks().print = {};
}

TEST_F(CommandsTest, MaterialFirstWithoutMaterialTable) {
  SpringData().tauzul = 0.0L;
  ui().ExpectMessageBox("Fehler", "zebwst.dbf nicht gefunden oder kein Zugriffsrecht");
  RunCommand("mi_EditRecalculation");
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_TRUE(form_->shown.empty());
  EXPECT_EQ(G().ModifiedFlag, 0);
  EXPECT_FALSE(Refreshed());
}

TEST_F(CommandsTest, MaterialFormFirstOnlyForZeroStress) {
  auto tables = InstallMaterial();
  tables->cancel = true;
  SpringData().tauzul = 0.0L;
  RunCommand("mi_EditRecalculation");
  EXPECT_TRUE(Called(*tables, "ShowMaterialForm"));
  EXPECT_TRUE(form_->shown.empty());
  EXPECT_FALSE(Refreshed());

  // A negative tau zul is a material: no form.
  tables->ClearCalls();
  SpringData().tauzul = -1.0L;
  RunCommand("mi_EditRecalculation");
  EXPECT_FALSE(Called(*tables, "ShowMaterialForm"));
  EXPECT_EQ(form_->shown.size(), 1u);
  // Esc still completes the screen (refresh), but only looked at, the
  // spring is as it was: no save question.
  EXPECT_EQ(G().ModifiedFlag, 0);
  EXPECT_TRUE(Refreshed());
}

TEST_F(CommandsTest, ScreensAreFramedAlike) {
  InstallMaterial();
  SpringData().tauzul = 500.0L;
  for (const char* item : {"mi_EditDimensioning", "mi_EditRecalculation", "mi_EditPreDimensioning",
                           "mi_editauslegungwstgmodul"}) {
    G().ModifiedFlag = 0;
    window_->ClearCalls();
    form_->shown.clear();
    const bool pre = std::string(item).find("Pre") != std::string::npos || std::string(item).find("modul") != std::string::npos;
    // Only the G-module screen changes the material and asks first.
    if (std::string(item).find("modul") != std::string::npos) ui().ExpectYesNo("Werkstoff wird", true);
    RunCommand(item);
    ASSERT_EQ(form_->shown.size(), 1u) << item;
    EXPECT_EQ(form_->shown[0].state.Caption, pre ? "Vorauslegung" : item == std::string("mi_EditDimensioning") ? "Auslegung" : "Nachrechnung");
    EXPECT_EQ(G().ModifiedFlag, 0) << item;  // left without an entry
    EXPECT_TRUE(Refreshed()) << item;
  }
  // An entry that changes the spring marks it.
  form_->TypeAt(3, "70", OnlineKey::Enter).Press(OnlineKey::Esc);
  RunCommand("mi_EditRecalculation");
  EXPECT_EQ(G().ModifiedFlag, 1);
  // One typed back to what it was leaves the spring as saved.
  G().ModifiedFlag = 0;
  form_->shown.clear();
  const std::string saved = FormatSpringFile(CurrentSpringFileRecords());
  form_->TypeAt(3, "71", OnlineKey::Enter).TypeAt(3, "70", OnlineKey::Enter).Press(OnlineKey::Esc);
  RunCommand("mi_EditRecalculation");
  EXPECT_EQ(form_->shown.size(), 3u);
  EXPECT_EQ(FormatSpringFile(CurrentSpringFileRecords()), saved);
  EXPECT_EQ(G().ModifiedFlag, 0);
  // A refused pre-dimensioning is a cancel: nothing marked, no refresh.
  G().ModifiedFlag = 0;
  window_->ClearCalls();
  ui().ExpectYesNo("Werkstoff wird", false);
  RunCommand("mi_editauslegungwstgmodul");
  EXPECT_EQ(G().ModifiedFlag, 0);
  EXPECT_FALSE(Refreshed());
}

TEST_F(CommandsTest, DialogCommandsRecalculateEvenWhenCancelled) {
  InstallMaterial();
  SpringData().tauzul = 500.0L;
  auto dialogs = InstallDialogs();
  dialogs->answers = {{"Production", false}};
  RunCommand("mi_EditProduction");
  EXPECT_EQ(G().ModifiedFlag, 0);
  EXPECT_TRUE(Refreshed());
  test::ExpectRel(5.0L, SpringData().R);  // calculated: (F2 - F1) / sh = (50 - 10) / 8
  window_->ClearCalls();
  // OK that changes nothing: recalculated and refreshed, not marked.
  RunCommand("mi_EditTolerance");
  EXPECT_EQ(G().ModifiedFlag, 0);
  EXPECT_TRUE(Refreshed());
  // OK with a change marks the spring.
  auto changing = std::make_shared<GradeChangingDialogs>();
  SetCommandDialogs(changing);
  RunCommand("mi_EditTolerance");
  EXPECT_EQ(G().ModifiedFlag, 1);
}

TEST_F(CommandsTest, ProductionDrawingDataThenTheDrawingOnTheScreen) {
  auto dialogs = InstallDialogs();
  std::vector<std::pair<int, int>> drawn;  // CAD code, AbortFlag when drawn
  RegisterDrawing({DrawingEntry::ProductionDrawing, 0},
                  [&drawn](int code) { drawn.emplace_back(code, G().AbortFlag); });
  dialogs->answers = {{"ProductionDrawingData", false}};
  RunCommand("mi_editproductionDrawing");
  EXPECT_EQ(dialogs->opened, std::vector<std::string>{"ProductionDrawingData"});
  EXPECT_EQ(G().ModifiedFlag, 0);
  RunCommand("mi_editproductionDrawing");  // OK, nothing changed
  EXPECT_EQ(G().ModifiedFlag, 0);
  EXPECT_EQ(drawn, (std::vector<std::pair<int, int>>{{3, 0}, {3, 0}}));
  ClearDrawingRegistry();
}

TEST_F(CommandsTest, DispatchNonRoundWireAsksTheMode) {
  SpringData().CrossSection = 3;
  // The box asks its question above the two modes.
  ui().ExpectChoice("Auslegung oder Nachrechnung ?", 1);
  DispatchCalculationMode();
  ASSERT_EQ(form_->shown.size(), 1u);
  EXPECT_EQ(form_->shown[0].state.Caption, "Auslegung");
  form_->shown.clear();
  ui().ExpectChoice("", 2);
  DispatchCalculationMode();
  ASSERT_EQ(form_->shown.size(), 1u);
  EXPECT_EQ(form_->shown[0].state.Caption, "Nachrechnung");
  EXPECT_EQ(G().LineTable[1], "Auslegung");
  EXPECT_EQ(G().LineTable[2], "Nachrechnung");
  EXPECT_EQ(G().HelpNumber, 2750);
  form_->shown.clear();
  ui().ExpectChoiceCancel("");
  DispatchCalculationMode();
  EXPECT_TRUE(form_->shown.empty());
  EXPECT_EQ(G().AbortFlag, 1);
}

TEST_F(CommandsTest, DispatchRoundWireByTheDimensionsDialog) {
  auto dialogs = InstallDialogs();
  // Mode 3: recalculation with rate input 1, which is put back.
  SpringData().RateInput = 2;
  dialogs->calcMode = 3;
  DispatchCalculationMode();
  EXPECT_EQ(SpringData().RateInput, 2);
  test::ExpectRel(1304000.0L / 544000.0L, SpringData().R);
  test::ExpectRel(1304000.0L / 544000.0L * 10.0L, SpringData().F1);
  // Mode 2 with the F1, F2 input searches the wire (many calculations);
  // mode 1 pre-dimensions; an unknown force input runs nothing.
  for (int mode : {1, 2}) {
    test::MakeRefSpring();
    dialogs->calcMode = mode;
    dialogs->forceInput = 1;
    const auto before = CalculationCount();
    DispatchCalculationMode();
    EXPECT_EQ(G().AbortFlag, 0) << mode;
    EXPECT_GT(CalculationCount(), before + 5) << mode;
  }
  dialogs->calcMode = 2;
  dialogs->forceInput = 9;
  const auto before = CalculationCount();
  DispatchCalculationMode();
  EXPECT_EQ(CalculationCount(), before);
  // Cancel: the spring is calculated as it is.
  test::MakeRefSpring();
  SpringData().F1 = 30.0L, SpringData().F2 = 90.0L, SpringData().sh = 20.0L;
  dialogs->answers = {{"Dimensions", false}};
  DispatchCalculationMode();
  EXPECT_EQ(G().AbortFlag, 0);
  test::ExpectRel(3.0L, SpringData().R);  // (F2 - F1) / sh
}

// The design modes as the dimensions dialog starts them, under a
// transverse load: each ends on a spring whose stresses, worked out apart,
// hold at every working point, or says "No Solution" and keeps the spring.
TEST_F(CommandsTest, DesignModesUnderATransverseLoadHoldEveryStress) {
  auto tables = test::InstallRefMaterialTable();
  auto dialogs = InstallDialogs();
  int sound = 0;
  for (int load : {1, 2}) {
    for (const Real FQ : {2.0L, 8.0L}) {
      for (int choice = 0; choice <= 5; ++choice) {
        SCOPED_TRACE("load " + std::to_string(load) + " FQ " + std::to_string(static_cast<double>(FQ)) + " input " +
                     std::to_string(choice));
        test::MakeRefSpring();
        SpringData().LoadType = static_cast<Code>(load);
        SpringData().F1 = 20, SpringData().F2 = 60, SpringData().sh = 20, SpringData().L2 = 30;
        SpringData().De = 22, SpringData().DiameterGiven = 1, SpringData().PreW = 10, SpringData().PreTauRatio = 1;
        TransverseLoad().FQ = FQ;
        dialogs->calcMode = choice == 0 ? 1 : 2;
        dialogs->forceInput = std::max(choice, 1);
        ui().Reset();
        ui().OnFailure(nullptr);
        DispatchCalculationMode();
        const auto texts = ui().MessageTexts();
        if (std::find(texts.begin(), texts.end(), "No Solution") != texts.end()) continue;
        EXPECT_EQ(G().FatalErrorFlag, 0);
        EXPECT_FALSE(test::TooWeakApart(SpringData(), FQ))
            << "tau1 " << static_cast<double>(SpringData().tau1) << " tau2 " << static_cast<double>(SpringData().tau2)
            << " tau zul " << static_cast<double>(SpringData().tauzul);
        ++sound;
      }
    }
  }
  EXPECT_GT(sound, 3);
}

// The design modes as the dimensions dialog starts them reach the sound
// springs of their duty, each found apart over the wire series: input 4 on
// a long spring over a stroke of hundredths (its sound F2 lies a hair above
// F1), input 3 under a transverse load that lets the stresses hold in a
// narrow band of F1 only, pre-dimensioning where neither the estimate's
// wire nor the largest holds.
TEST_F(CommandsTest, DesignModesReachTheSoundSpringsOfTheirDuty) {
  auto dialogs = InstallDialogs();
  struct Case {
    test::Duty p;
    int choice;  // 0 pre-dimensioning, else the force input
  };
  std::vector<Case> cases;
  test::Duty p;
  p.row = 3, p.F1 = 71.8L, p.F2 = 281, p.sh = 0.0194L, p.L2 = 374, p.given = 1, p.D = 25.5L, p.loadType = 1;
  p.grade = 3, p.peened = 'J', p.T = 10.9L;
  cases.push_back({p, 4});
  p = test::Duty{};
  p.row = 10, p.F1 = 3.42L, p.F2 = 5.06L, p.sh = 9.92L, p.L2 = 15, p.D = 2.94L, p.loadType = 1;
  p.wireStd = 11, p.peened = 'J', p.T = 238, p.FQ = 0.464L;
  cases.push_back({p, 3});
  p = test::Duty{};
  p.row = 14, p.F1 = 0, p.F2 = 2.16L, p.sh = 47.4L, p.L2 = 16.7L, p.given = 2, p.D = 4.85L;
  p.endForm = 4, p.endAddend = 0.536L, p.grade = 4, p.FQ = 0.277L, p.preW = 19.21L, p.preRatio = 0.52L;
  cases.push_back({p, 0});
  for (const Case& c : cases) {
    SCOPED_TRACE("input " + std::to_string(c.choice) + " " + c.p.Describe());
    test::SetDuty(c.p, 0, c.choice == 0 ? 1 : 2);
    ASSERT_TRUE(c.choice == 0 ? test::PreOracle(40) : test::RateOracle(test::kRateInputs[c.choice - 2], 48).found);
    dialogs->calcMode = c.choice == 0 ? 1 : 2;
    dialogs->forceInput = std::max(c.choice, 1);
    ui().Reset();
    ui().OnFailure(nullptr);
    DispatchCalculationMode();
    const auto texts = ui().MessageTexts();
    EXPECT_TRUE(std::find(texts.begin(), texts.end(), "No Solution") == texts.end());
    EXPECT_TRUE(test::SoundNow() && test::SoundAsSaved());
  }
}

TEST_F(CommandsTest, NewSpringSequenceCancelMatrix) {
  const std::vector<std::string> all = {"TitleBlockTexts", "Application", "Production", "Dimensions", "Tolerance"};
  // A cancel in any step ends the sequence as cancelled; only a sequence run
  // to its end (the message window) marks the spring modified.
  const std::pair<const char*, std::size_t> cases[] = {{"TitleBlockTexts", 1}, {"Application", 2}, {"Production", 3},
                                                       {"Dimensions", 4},      {"Tolerance", 5},   {"", 5}};
  for (const auto& [cancel, opened] : cases) {
    InstallMaterial();
    auto dialogs = InstallDialogs();
    test::MakeRefSpring();
    if (*cancel) dialogs->answers = {{cancel, false}};
    G().AbortFlag = 0;
    G().ModifiedFlag = 0;
    ui().OnFailure(nullptr);  // the message window at the end
    RunNewSpringSequenceSteps();
    ui().Reset();
    const bool cancelled = *cancel != '\0';
    EXPECT_EQ(NewSpringCancelled(), cancelled) << cancel;
    EXPECT_TRUE(!cancelled || G().AbortFlag == 1) << cancel;
    EXPECT_EQ(dialogs->opened, std::vector<std::string>(all.begin(), all.begin() + static_cast<long>(opened)))
        << cancel;
    EXPECT_EQ(G().ModifiedFlag, cancelled ? 0 : 1) << cancel;
  }
  // The material form cancelled: nothing after it.
  auto tables = InstallMaterial();
  tables->cancel = true;
  auto dialogs = InstallDialogs();
  G().AbortFlag = 0;
  RunNewSpringSequenceSteps();
  EXPECT_TRUE(NewSpringCancelled());
  EXPECT_EQ(dialogs->opened, (std::vector<std::string>{"TitleBlockTexts", "Application"}));
}

// Datei > Neu cancelled in each of its steps in turn, every step taken
// before it having changed the spring as a user's entries would: the
// spring with its change log, title block and documents (as its file holds
// them), its name, file, caption, message count and unsaved changes as they
// were.
TEST_F(CommandsTest, NewSpringCancelledInAnyStepLeavesTheDocument) {
  struct Entering : ScriptedCommandDialogs {
    using Base = ScriptedCommandDialogs;
    bool TitleBlockTexts() override { return Took(Base::TitleBlockTexts(), [] { G().TitleBlockLines[2] = "neu"; }); }
    bool Application() override { return Took(Base::Application(), [] { SpringData().LoadType = 1; }); }
    bool Production() override { return Took(Base::Production(), [] { SpringData().EndForm = 1; }); }
    bool Dimensions() override { return Took(Base::Dimensions(), [] { SpringData().F2 += 100; }); }
    bool Tolerance() override { return Took(Base::Tolerance(), [] { SpringData().GradeF2 = 1; }); }
    static bool Took(bool ok, void (*entries)()) {
      if (ok) entries();
      return ok;
    }
  };
  for (const char* step : {"TitleBlockTexts", "Application", "material", "Production", "Dimensions", "Tolerance"}) {
    SCOPED_TRACE(step);
    auto tables = InstallMaterial();
    tables->cancel = std::string(step) == "material";
    auto dialogs = std::make_shared<Entering>();
    dialogs->answers = {{step, false}};
    SetCommandDialogs(dialogs);
    test::MakeRefSpring();
    RunCalculation();
    ChangeLog() = DefaultChangeLog();
    ChangeLog().ChangeEntryCount = 1;
    ChangeLog().ChangeEntries[1] = {"a", "15.01.2025", "XY", "erste Fassung"};
    G().TitleBlockLines[2] = "Ventilfeder";
    G().CurrentFileName = "ventil";
    G().CurrentFilePath = "/daten/ventil.zeb";
    G().ModifiedFlag = 1;
    UpdateMainCaption();
    ShowMessageCountItem();
    const std::string file = FormatSpringFile(CurrentSpringFileRecords()), item = sink_.last;
    const std::string caption = window_->Calls().back();
    const SpringGlobals spring = SG();
    ui().ExpectQuestion("", "Datei speichern", Answer::No);
    ui().OnFailure(nullptr);
    FileNew();
    ui().Reset();
    EXPECT_EQ(FormatSpringFile(CurrentSpringFileRecords()), file);
    EXPECT_TRUE(SG() == spring);
    EXPECT_EQ(G().CurrentFileName, "ventil");
    EXPECT_EQ(G().CurrentFilePath, "/daten/ventil.zeb");
    EXPECT_EQ(window_->Calls().back(), caption);
    EXPECT_EQ(sink_.last, item);
    EXPECT_EQ(G().ModifiedFlag, 1);
    EXPECT_FALSE(Refreshed());
    EXPECT_TRUE(Called(dynamic_cast<RecordingGraphics&>(Graphics()), "RestorePicture")) << "the picture";
    window_->ClearCalls();
  }
}

// A new spring as a user designs it: dynamic, EN 10270-2 TDC from the
// material form, "F1, F2" with De given. A 6 mm wire holds these forces in
// the length; the design must end near it, sound, with no fatal text.
class TdcTables : public test::RefMaterialTables {
 public:
  void ShowMaterialForm() override {
    RecordingTables::ShowMaterialForm();
    ZEBWST_Record() = test::TdcMaterialRow();
    MaterialSource() = 7;
    CopyMaterialToSpring();
  }
};

class DutyDialogs : public ScriptedCommandDialogs {
 public:
  bool Application() override {
    const bool ok = ScriptedCommandDialogs::Application();
    if (ok) SpringData().LoadType = 2;
    return ok;
  }
  bool Dimensions() override {
    const bool ok = ScriptedCommandDialogs::Dimensions();
    if (ok) {
      SpringDataRecord& s = SpringData();
      s.DiameterGiven = 1;
      s.F1 = 300.0L, s.F2 = 700.0L, s.sh = 10.0L, s.L2 = 80.0L, s.De = 40.0L;
    }
    return ok;
  }
};

TEST_F(CommandsTest, NewSpringDesignedFromItsDutyIsSound) {
  ResetSpringGlobals();
  SetTables(std::make_shared<TdcTables>());
  auto dialogs = std::make_shared<DutyDialogs>();
  dialogs->calcMode = 2;
  dialogs->forceInput = 1;
  SetCommandDialogs(dialogs);
  ui().OnFailure(nullptr);  // the message window at the end
  RunNewSpringSequenceSteps();
  ui().Reset();
  const SpringDataRecord& s = SpringData();
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(G().FatalErrorFlag, 0);
  for (const std::string& m : test::Messages()) EXPECT_EQ(m.rfind("Fatal", 0), std::string::npos) << m;
  EXPECT_EQ(s.MaterialName, "EN 10270-2 TDC");
  EXPECT_GE(s.d, 5.0L);
  EXPECT_LE(s.d, 7.0L);
  EXPECT_GT(s.n, 0.0L);
  // Stresses within the permissible ones, room for the stroke.
  EXPECT_LE(s.taun, s.tauzul);
  EXPECT_LE(s.tauc, s.tauzul);
  EXPECT_LE(s.tauk2, s.tauzul);
  EXPECT_TRUE(s.tauhzul <= 0.0L || s.taukh <= s.tauhzul);
  EXPECT_GE(s.L2, s.Ln);
  EXPECT_GE(s.Fc, s.F2 + s.TolF2);
  EXPECT_GE(s.Fn, s.F2 + s.TolF2);
  EXPECT_EQ(s.F1, 300.0L);
  EXPECT_EQ(s.F2, 700.0L);
  EXPECT_EQ(s.De, 40.0L);
}

// A duty no series wire holds (2.5 kN in a coil of 60 mm, dynamic), from a
// new spring and after one of d 70: "No Solution", the spring as typed
// (with its wire), which the spring file reads back.
TEST_F(CommandsTest, NewSpringWithoutASoundWireSaysNoSolution) {
  struct Heavy : DutyDialogs {
    bool Dimensions() override {
      const bool ok = DutyDialogs::Dimensions();
      SpringDataRecord& s = SpringData();
      if (ok) s.F1 = 1000.0L, s.F2 = 2500.0L, s.sh = 20.0L, s.L2 = 120.0L, s.De = 60.0L;
      return ok;
    }
  };
  for (const Real earlier : {0.0L, 70.0L}) {
    ResetSpringGlobals();
    G().AbortFlag = 0;
    if (earlier > 0.0L) SpringData().d = SpringData().h = earlier;
    const Real wire = SpringData().d;
    SetTables(std::make_shared<TdcTables>());
    auto dialogs = std::make_shared<Heavy>();
    dialogs->calcMode = 2;
    dialogs->forceInput = 1;
    SetCommandDialogs(dialogs);
    ui().OnFailure(nullptr);
    RunNewSpringSequenceSteps();
    const auto texts = ui().MessageTexts();
    ui().Reset();
    EXPECT_TRUE(std::any_of(texts.begin(), texts.end(),
                            [](const std::string& t) { return t.find("No Solution") != std::string::npos; }));
    SpringFileRecords back;
    std::string error;
    EXPECT_TRUE(ParseSpringFile(FormatSpringFile(CurrentSpringFileRecords()), back, error)) << error;
    EXPECT_EQ(SpringData().F2, 2500.0L);
    EXPECT_EQ(SpringData().d, wire);
  }
}

TEST_F(CommandsTest, RefreshShowsTheMessageCount) {
  G().ErrorMessageList.count = 3;
  RefreshMainWindowSteps();
  EXPECT_EQ(sink_.last, "mi_viewErrorMessages=&Fehlermeldungen (3) on");
  EXPECT_TRUE(Called(*drawings_, "RedrawCurrentDrawing"));
  G().ErrorMessageList.count = 0;
  RefreshMainWindowSteps();
  EXPECT_EQ(sink_.last, "mi_viewErrorMessages=&Fehlermeldungen (0) off");
  G().ErrorMessageList.count = 12;
  ApplyMenuLanguage(2);  // the count stays, in the new language
  EXPECT_EQ(sink_.last, "mi_viewErrorMessages=&Error messages (12) on");
  ApplyMenuLanguage(1);
}

std::set<std::string> EnabledItems() {
  std::set<std::string> on;
  for (const Command& c : CommandTable())
    if (!c.isMenu && CommandEnabled(c)) on.insert(c.name);
  return on;
}

TEST_F(CommandsTest, EnabledItemsWithStandInsAndWithFakes) {
  const std::set<std::string> base = {
      "mi_fileOpen",          "mi_FileSave",           "mi_FileSaveAs",          "mi_filePrintMacro",
      "mi_file1",             "mi_file2",              "mi_file3",               "mi_file4",
      "mi_EditDimensioning",  "mi_EditRecalculation",  "mi_EditPreDimensioning", "mi_editauslegungwstgmodul",
      "mi_viewstandardausdruck", "mi_viewauszug",      "mi_viewausdruckfertausgl", "mi_helpErrorMessages",
      "mi_helplanguageDeutsch", "mi_helplanguageEnglish", "mi_helplanguageFrancais", "mi_helplanguageItaliano",
      "mi_helplanguageSvensk", "mi_helplanguagePortugues", "mi_helplanguageRoman", "mi_helplanguageKorea",
      "mi_helplanguageEspanol", "mi_helplanguageChinese",
      // Documents start their programs; the spreadsheet start and printout need no window.
      "mi_Document1", "mi_Document2", "mi_Document3", "mi_Document4", "mi_Document5", "mi_OleStartExcel",
      "mi_olePrintoutExcel"};
  EXPECT_EQ(EnabledItems(), base);
  // Fakes for the dialogs, the tables, the graphics window, one drawing,
  // the window's close and about, and a message.
  InstallDialogs();
  InstallMaterial();
  SetGraphics(std::make_shared<GraphicsFake>());
  RegisterDrawing({DrawingEntry::ShowDiagram, 2}, [](int) {});
  WindowHooks().close = [] {};
  WindowHooks().about = [] {};
  WindowHooks().print = [] {};
  G().ErrorMessageList.count = 1;
  std::set<std::string> all = base;
  for (const char* item : {"mi_fileNew", "mi_fileprint", "mi_fileConfig", "mi_fileexit", "mi_EditQuick", "mi_EditText",
                           "mi_EditMaterial", "mi_EditProduction", "mi_EditTolerance", "mi_EditApplication",
                           "mi_EditCalculationMethod", "mi_viewCharLineFs", "mi_viewErrorMessages", "mi_dbfmaterial",
                           "mi_dbfen10270_1", "mi_dbfen10270_2", "mi_dbfen10270_3", "mi_dbfDIN2076", "mi_dbfDIN2077",
                           "mi_HelpHilfebild", "mi_HelpAbout"})
    all.insert(item);
  EXPECT_EQ(EnabledItems(), all);
  WindowHooks() = {};
  ClearDrawingRegistry();
  SetGraphics(nullptr);
}

TEST_F(CommandsTest, SpringViewsQuickSheetAndCharacteristicLineRecalculation) {
  auto drawings = std::make_shared<RecordingDrawings>();
  SetDrawings(drawings);
  SpringData().CrossSection = 2;
  for (const char* item : {"mi_viewDrawingL", "mi_viewSchnittL", "mi_cadprojection", "mi_cadprofile",
                           "mi_cadsimpleprofile", "mi_viewquick3", "mi_cadQuick3"})
    RunCommand(item);
  SpringData().CrossSection = 1;
  RunCommand("mi_viewSchnittL");
  // On the screen a flat wire gets the simple section; files keep the kind.
  const std::vector<std::string> views = {
      "DrawSpringView(3,3,1)", "DrawSpringView(3,3,1)", "DrawSpringView(1,0,1)", "DrawSpringView(2,0,1)",
      "DrawSpringView(3,0,1)", "DrawQuickSheet(3)",     "DrawQuickSheet(0)",     "DrawSpringView(2,3,1)"};
  EXPECT_EQ(drawings->Calls(), views);

  // Three points L1, (L1 + L2) / 2, L2 between Lc and L0, then F'-s'.
  drawings->ClearCalls();
  auto dialogs = InstallDialogs();
  SpringDataRecord& s = SpringData();
  s.L0 = 60, s.L1 = 50, s.L2 = 35, s.Lc = 20;
  ValueTable().Count = 5;
  ui().ExpectChoice("Select", 3);
  RunCommand("mi_editnachrechnungkennlinie");
  EXPECT_EQ(G().LineTable[1], "..");
  EXPECT_EQ(G().LineTable[2], "L1'= L1, L2'= L2");
  EXPECT_EQ(G().LineTable[3], "L1'= L1, L3'= L2, L2'=(L1+L2)/2");
  const ValueTableRecord& v = ValueTable();
  EXPECT_EQ(v.Name, "L'");
  EXPECT_EQ(v.Unit, "mm");
  EXPECT_EQ(v.Min, 20.0L);
  EXPECT_EQ(v.Max, 60.0L);
  ASSERT_EQ(v.Count, 3);
  EXPECT_EQ(v.Values[1], 50.0L);
  EXPECT_EQ(v.Values[2], 42.5L);
  EXPECT_EQ(v.Values[3], 35.0L);
  EXPECT_EQ(dialogs->opened, std::vector<std::string>{"ValueTable"});
  EXPECT_EQ(drawings->Calls(), std::vector<std::string>{"ShowDiagram(22,3)"});

  // Entry 1 keeps the points; a cancelled table draws nothing; a cancelled
  // choice opens no table.
  drawings->ClearCalls();
  dialogs->answers = {{"ValueTable", false}};
  ui().ExpectChoice("Select", 1);
  RunCommand("mi_editnachrechnungkennlinie");
  EXPECT_EQ(ValueTable().Count, 3);
  EXPECT_EQ(ValueTable().Values[2], 42.5L);
  EXPECT_TRUE(drawings->Calls().empty());
  dialogs->opened.clear();
  ui().ExpectChoiceCancel("Select");
  RunCommand("mi_editnachrechnungkennlinie");
  EXPECT_TRUE(dialogs->opened.empty());
  EXPECT_TRUE(drawings->Calls().empty());
  SetDrawings(nullptr);
}

TEST_F(CommandsTest, PlaceholderResultGraphic) {
  auto sink = std::make_shared<RecordingSink>();
  SetScreen(sink);
  SetDrawings(std::make_shared<PlaceholderDrawings>());
  RunRecalculation();
  G().AbortFlag = 1;
  Drawings().RedrawCurrentDrawing();
  EXPECT_EQ(G().AbortFlag, 0);
  std::vector<std::string> texts;
  for (const SinkCall& c : sink->Named("GrafOutTextXY")) {
    const std::size_t a = c.text.find_first_not_of(' '), b = c.text.find_last_not_of(' ');
    if (a != std::string::npos) texts.push_back(c.text.substr(a, b - a + 1));
  }
  const auto has = [&](const std::string& t) { return std::find(texts.begin(), texts.end(), t) != texts.end(); };
  for (const char* name : {"F1", "F2", "Ln", "Lc", "tau k1", "G 20", "tau zul", "R", "fe", "Hz"})
    EXPECT_TRUE(has(name)) << name;
  EXPECT_TRUE(has("23.97") || has("23.971")) << ::testing::PrintToString(texts);  // F1 = 10 R, R = 1304000 / 544000 N/mm
  ASSERT_FALSE(sink->Named("GrafHeader").empty());
  const SinkCall header = sink->Named("GrafHeader").front();
  EXPECT_EQ(header.args, (std::vector<Real>{0, 0, 0, 160, 120}));
  // Help level 0: nothing drawn, the menu state alone is refreshed.
  sink->ClearCalls();
  G().HelpLevel = 0;
  RefreshMainWindowSteps();
  EXPECT_TRUE(sink->Calls().empty());
  EXPECT_EQ(sink_.last.substr(0, 20), "mi_viewErrorMessages");
  SetScreen(nullptr);
}

TEST(CommandTable, ItemsShortcutsAndMenus) {
  std::set<std::string> names;
  for (const Command& c : CommandTable()) {
    EXPECT_TRUE(names.insert(c.name).second) << "twice: " << c.name;
    if (!c.parent.empty()) {
      EXPECT_TRUE(names.count(c.parent)) << c.name << " under " << c.parent;
    }
  }
  EXPECT_EQ(FindCommand("mi_fileNew")->shortcut, "Ctrl+N");
  EXPECT_EQ(FindCommand("mi_fileOpen")->shortcut, "Ctrl+O");
  EXPECT_EQ(FindCommand("mi_FileSave")->shortcut, "Ctrl+S");
  EXPECT_EQ(FindCommand("mi_fileprint")->shortcut, "Ctrl+P");
  EXPECT_EQ(FindCommand("mi_file3")->shortcut, "Shift+F3");
  EXPECT_EQ(FindCommand("mi_editauslegungwstgmodul")->parent, "mi_EditDimensionMaterial");
  // Top menus in caption order.
  std::vector<std::string> top;
  for (const Command& c : CommandTable())
    if (c.isMenu && c.parent.empty()) top.push_back(c.name);
  EXPECT_EQ(top, (std::vector<std::string>{"mi_file", "mi_Edit", "mi_View", "mi_database", "mi_CAD",
                                           "mi_documentation", "mi_ole", "mi_Help"}));
  // The recent-file block: four items, the separator, the exit item.
  std::vector<std::string> file;
  for (const Command& c : CommandTable())
    if (c.parent == "mi_file") file.push_back(c.name);
  ASSERT_GE(file.size(), 5u);
  EXPECT_EQ(file.back(), "mi_fileexit");
  EXPECT_EQ(file[file.size() - 5], "mi_file1");
  EXPECT_TRUE(FindCommand("mi_fileexit")->separatorBefore);
}

TEST(Addresses, MailAndPageGoToTheDesktopOpener) {
  const fs::path dir = fs::temp_directory_path() / ("zeb1_open_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const fs::path log = dir / "log";
  {
    std::ofstream script(dir / "xdg-open");
    script << "#!/bin/sh\necho \"$1\" >> '" << log.string() << "'\n";
  }
  fs::permissions(dir / "xdg-open", fs::perms::owner_all);
  const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
  ::setenv("PATH", (dir.string() + ":" + oldPath).c_str(), 1);
  G().ProductName = "ZEB1";
  G().ProgramVersion = "26.6";
  OpenAddress("https://example.org/zeb1");
  OpenAddress(MailUrl("info@example.org"));
  OpenAddress("");
  ::setenv("PATH", oldPath.c_str(), 1);
  std::string text;
  test::WaitUntil([&] {
    std::ifstream in(log);
    text.assign(std::istreambuf_iterator<char>(in), {});
    return std::count(text.begin(), text.end(), '\n') >= 2;
  });
  EXPECT_NE(text.find("https://example.org/zeb1\n"), std::string::npos) << text;
  EXPECT_NE(text.find("mailto:info@example.org?subject=ZEB1%20V26.6\n"), std::string::npos) << text;
  fs::remove_all(dir);
}

}  // namespace
}  // namespace zeb
