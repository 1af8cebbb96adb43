#include "mainwin/commands.h"

#include <typeinfo>

#include "base/choosers.h"
#include "base/dialogs.h"
#include "base/files.h"
#include "base/format.h"
#include "base/globals.h"
#include "base/help.h"
#include "base/services.h"
#include "mainwin/captions.h"
#include "mainwin/changelog_cmd.h"
#include "mainwin/dispatch.h"
#include "mainwin/documents_cmd.h"
#include "mainwin/placeholder.h"
#include "mainwin/program.h"
#include "mainwin/screens.h"
#include "mainwin/spreadsheet.h"
#include "platform/process.h"
#include "reports/device.h"
#include "reports/printjob.h"
#include "reports/printout_comp.h"
#include "reports/printout_full.h"
#include "reports/printout_short.h"
#include "settings/config.h"
#include "spring/calc.h"
#include "spring/dimension.h"
#include "spring/spring_data.h"
#include "spring/springfile.h"
#include "spring/valuetable.h"

#ifndef ZEB1_WEB_ADDRESS
#define ZEB1_WEB_ADDRESS ""
#endif
#ifndef ZEB1_MAIL_ADDRESS
#define ZEB1_MAIL_ADDRESS ""
#endif

namespace zeb {

namespace {

std::shared_ptr<CommandDialogs>& DialogSlot() {
  static std::shared_ptr<CommandDialogs> d;
  return d;
}

MenuStateSink*& Sink() {
  static MenuStateSink* s = nullptr;
  return s;
}

std::int16_t& KeptDesignChoice() {
  static std::int16_t choice = 1;
  return choice;
}

template <class Base, class StandIn>
bool IsStandIn(const Base& service) {
  return typeid(service) == typeid(StandIn);
}
bool GraphicsThere() { return !IsStandIn<GraphicsServices, RecordingGraphics>(Graphics()); }
bool TablesThere() { return !IsStandIn<TableServices, RecordingTables>(Tables()); }
bool DrawingsThere() {
  return !IsStandIn<DrawingServices, RecordingDrawings>(Drawings()) &&
         !IsStandIn<DrawingServices, PlaceholderDrawings>(Drawings());
}
bool DialogsThere() { return Dialogs() != nullptr; }
bool DocumentationWindowsThere() { return static_cast<bool>(CurrentDocumentationDialogs().changeEntry); }

// A dialog of the port; a cancel sets AbortFlag as the dialogs do.
bool Dialog(bool (CommandDialogs::*open)()) {
  CommandDialogs* d = Dialogs();
  if (d == nullptr || !(d->*open)()) {
    G().AbortFlag = 1;
    return false;
  }
  return true;
}

void Recalculate() {
  G().AbortFlag = 0;
  RunCalculation();
}

void SetMenuLanguageSteps(int n) {
  Config().LanguageNumber = n;
  if (LanguageHasTexts(n)) G().MenuLanguage = n;
  LoadMenuCaptionTexts(n);
  LoadMenuItemTexts(n);
  MainWindow().SetMenuCaptions();
  // The message item keeps its count in the new language.
  ShowMessageCountItem();
  UpdateMainCaption();
}

Command Menu(std::string name, std::string parent, std::string caption) {
  Command c;
  c.name = std::move(name);
  c.parent = std::move(parent);
  c.designCaption = std::move(caption);
  c.isMenu = true;
  return c;
}

Command Item(std::string name, std::string parent, std::string caption, std::function<void()> run = {},
             unsigned flags = 0, std::function<bool()> available = {}, std::string shortcut = {}) {
  Command c;
  c.name = std::move(name);
  c.parent = std::move(parent);
  c.designCaption = std::move(caption);
  c.run = std::move(run);
  c.flags = flags;
  c.available = std::move(available);
  c.shortcut = std::move(shortcut);
  return c;
}

// A drawing item: drawn by its registered drawing.
Command DrawingItem(std::string name, std::string parent, std::string caption, DrawingRef ref, int code) {
  return Item(std::move(name), std::move(parent), std::move(caption),
              [ref, code] { RunRegisteredDrawing(ref, code); }, 0, [ref] { return DrawingRegistered(ref); });
}

// Spring views by cross-section: kind 3 for sections 2 to 4 where asked.
Command ViewItem(std::string name, std::string caption, int kind, bool simpleForFlat) {
  const auto ref = [kind, simpleForFlat] {
    const int cs = SpringData().CrossSection;
    return DrawingRef{DrawingEntry::SpringView, simpleForFlat && cs >= 2 && cs <= 4 ? 3 : kind};
  };
  return Item(std::move(name), "mi_viewFederzeichnung", std::move(caption), [ref] { RunRegisteredDrawing(ref(), 3); },
              0, [ref] { return DrawingRegistered(ref()); });
}

// A spring view with the question for the length L. On the screen kinds 1
// and 2 become kind 3 for cross-sections 2 to 4, as without the question.
Command AskLengthViewItem(std::string name, std::string parent, std::string caption, int kind, int code) {
  return Item(std::move(name), std::move(parent), std::move(caption),
              [kind, code] {
                const int cs = SpringData().CrossSection;
                Drawings().DrawSpringView(code == 3 && cs >= 2 && cs <= 4 ? 3 : kind, code, true);
              },
              0, DrawingsThere);
}

std::vector<Command> BuildTable() {
  using D = DrawingEntry;
  std::vector<Command> t;
  const unsigned MWR = kMaterialFirst | kModifies | kRefresh;
  // File.
  t.push_back(Menu("mi_file", "", "&Datei"));
  t.push_back(Item("mi_fileNew", "mi_file", "&New", [] { FileNew(); }, 0, DialogsThere, "Ctrl+N"));
  t.push_back(Item("mi_fileOpen", "mi_file", "&Open...", [] { FileOpen(); }, 0, {}, "Ctrl+O"));
  t.push_back(Item("mi_fileopentable", "mi_file", "OpenTable", [] { WindowHooks().fileList(); }, 0,
                   [] { return static_cast<bool>(WindowHooks().fileList); }));
  t.push_back(Item("mi_FileSave", "mi_file", "&Save", [] { FileSave(); }, 0, {}, "Ctrl+S"));
  t.push_back(Item("mi_FileSaveAs", "mi_file", "Save &As...", [] { FileSaveAs(); }));
  // A spring whose calculation stopped has no picture to print: its messages.
  t.push_back(Item("mi_fileprint", "mi_file", "&Print",
                   [] { G().FatalErrorFlag != 0 ? ShowCalcMessages() : WindowHooks().print(); }, 0,
                   [] { return GraphicsThere() && static_cast<bool>(WindowHooks().print); }, "Ctrl+P"));
  t.push_back(Item("mi_filePrintMacro", "mi_file", "Print &Macro...", [] { RunPrintMacro(); }));
  t.push_back(Item("mi_filePrinterSetup", "mi_file", "Printer Setup", [] { WindowHooks().printerSetup(); }, 0,
                   [] { return static_cast<bool>(WindowHooks().printerSetup); }));
  t.push_back(Item("mi_fileConfig", "mi_file", "Config", [] { Dialog(&CommandDialogs::Configuration); }, 0,
                   DialogsThere));
  for (int n = 1; n <= 4; ++n) {
    t.push_back(Item("mi_file" + std::to_string(n), "mi_file", std::to_string(n), [n] { OpenRecentFile(n); }, 0, {},
                     "Shift+F" + std::to_string(n)));
  }
  {
    Command exit = Item("mi_fileexit", "mi_file", "E&xit", [] {
      if (WindowHooks().close) WindowHooks().close();
    }, 0, [] { return static_cast<bool>(WindowHooks().close); });
    exit.separatorBefore = true;
    t.push_back(std::move(exit));
  }
  // Edit.
  t.push_back(Menu("mi_Edit", "", "&Bearbeiten"));
  t.push_back(Item("mi_EditQuick", "mi_Edit", "Quick",
                   [] {
                     DispatchCalculationMode();
                     if (G().AbortFlag == 0) {
                       MainWindow().RefreshMainWindow();
                       G().ModifiedFlag = 1;
                     }
                   },
                   kMaterialFirst, DialogsThere));
  t.push_back(Item("mi_EditText", "mi_Edit", "Text",
                   [] {
                     if (!Dialog(&CommandDialogs::TitleBlockTexts)) return;
                     G().ModifiedFlag = 1;
                     RunCalculation();
                   },
                   kRefresh, DialogsThere));
  t.push_back(Item("mi_EditMaterial", "mi_Edit", "Material",
                   [] {
                     Tables().ShowMaterialForm();
                     if (G().AbortFlag != 0) return;
                     G().ModifiedFlag = 1;
                     if (AskDesignOrRecalculation()) RunRecalculation();
                     RunCalculation();
                   },
                   kRefresh, TablesThere));
  const auto dialogThenCalc = [](bool (CommandDialogs::*open)()) {
    return [open] {
      if (Dialog(open)) G().ModifiedFlag = 1;
      Recalculate();
    };
  };
  t.push_back(Item("mi_EditProduction", "mi_Edit", "Production", dialogThenCalc(&CommandDialogs::Production),
                   kMaterialFirst | kRefresh, DialogsThere));
  t.push_back(Item("mi_EditTolerance", "mi_Edit", "Tolerance", dialogThenCalc(&CommandDialogs::Tolerance),
                   kMaterialFirst | kRefresh, DialogsThere));
  t.push_back(Item("mi_EditApplication", "mi_Edit", "Application", dialogThenCalc(&CommandDialogs::Application),
                   kMaterialFirst | kRefresh, DialogsThere));
  t.push_back(Item("mi_editproductionDrawing", "mi_Edit", "Prod.darwing",
                   [] {
                     if (Dialog(&CommandDialogs::ProductionDrawingData)) G().ModifiedFlag = 1;
                     G().AbortFlag = 0;
                     RunRegisteredDrawing({DrawingEntry::ProductionDrawing, 0}, 3);
                   },
                   0, [] { return DialogsThere() && DrawingRegistered({DrawingEntry::ProductionDrawing, 0}); }));
  t.push_back(Item("mi_EditDimensioning", "mi_Edit", "Dimensioning", [] { InputDimensioning(); }, MWR));
  t.push_back(Item("mi_EditRecalculation", "mi_Edit", "Recalculation", [] { InputRecalculation(); }, MWR));
  t.push_back(Item("mi_EditPreDimensioning", "mi_Edit", "Pre-Dimensioning", [] { InputPreDimensioningMode(); }, MWR));
  t.push_back(Menu("mi_EditDimensionMaterial", "mi_Edit", "Dimension Material"));
  t.push_back(Item("mi_editauslegungwstgmodul", "mi_EditDimensionMaterial", "G Module",
                   [] { InputPreDimensioning(); }, MWR));
  t.push_back(Item("mi_EditCalculationMethod", "mi_Edit", "Calculation Method",
                   [] {
                     if (!Dialog(&CommandDialogs::CalculationMethod)) return;
                     G().ModifiedFlag = 1;
                     MaterialFirst();
                     if (G().AbortFlag != 0) return;
                     const bool recalculation = AskDesignOrRecalculation();
                     if (G().AbortFlag != 0) return;
                     if (recalculation) InputRecalculation(); else InputDimensioning();
                   },
                   kRefresh, DialogsThere));
  t.push_back(Item("mi_editnachrechnungkennlinie", "mi_Edit", "nachrechnung kennlinie",
                   [] { RecalculateCharacteristicLine(); }, 0,
                   [] { return DialogsThere() && DrawingsThere(); }));
  // View.
  t.push_back(Menu("mi_View", "", "&Ansicht"));
  t.push_back(Menu("mi_viewausdruck", "mi_View", "ausdruck"));
  t.push_back(Item("mi_viewstandardausdruck", "mi_viewausdruck", "standard", [] { PrintReport(); }));
  t.push_back(Item("mi_viewauszug", "mi_viewausdruck", "auszug", [] { PrintReportExtract(); }));
  t.push_back(Item("mi_viewausdruckfertausgl", "mi_viewausdruck", "fertausgl", [] { PrintReportCompensation(); }));
  t.push_back(DrawingItem("mi_ViewQuick1", "mi_View", "Quick 1", {D::SelectDiagram, 1}, 3));
  t.push_back(DrawingItem("mi_viewquick2", "mi_View", "Quick 2", {D::SelectDiagram, 10}, 3));
  t.push_back(Item("mi_viewquick3", "mi_View", "Quick 3", [] { Drawings().DrawQuickSheet(3); }, 0, DrawingsThere));
  t.push_back(Menu("mi_viewFederzeichnung", "mi_View", "Federzeichnung"));
  t.push_back(ViewItem("mi_viewDrawing", "Drawing", 1, true));
  t.push_back(ViewItem("mi_viewSchnitt", "Schnitt", 2, true));
  t.push_back(ViewItem("mi_viewDraufsicht", "Draufsicht", 4, false));
  t.push_back(AskLengthViewItem("mi_viewDrawingL", "mi_viewFederzeichnung", "DrawingL", 1, 3));
  t.push_back(AskLengthViewItem("mi_viewSchnittL", "mi_viewFederzeichnung", "SchnittL", 2, 3));
  t.push_back(DrawingItem("mi_viewfertigungszeichnung", "mi_View", "Production Drawing", {D::ProductionDrawing, 0}, 3));
  t.push_back(DrawingItem("mi_viewfertigungszeichnung2", "mi_View", "Prod.Drawing 2", {D::ProductionDrawingEN, 0}, 3));
  t.push_back(Menu("mi_viewKennlinie", "mi_View", "Kennlinie"));
  t.push_back(DrawingItem("mi_viewCharLineFs", "mi_viewKennlinie", "Char.Line", {D::ShowDiagram, 2}, 3));
  t.push_back(DrawingItem("mi_viewCharLinewithtolerance", "mi_viewKennlinie", "Char.Line with tolerance",
                          {D::ShowDiagram, 9}, 3));
  t.push_back(DrawingItem("mi_viewcharlineFl", "mi_viewKennlinie", "F-L", {D::ShowDiagram, 21}, 3));
  t.push_back(DrawingItem("mi_viewkennliniefsi", "mi_viewKennlinie", "F'-s'", {D::ShowDiagram, 22}, 3));
  t.push_back(Menu("mi_viewdauerfestigkeit", "mi_View", "dauerfestigkeit"));
  t.push_back(DrawingItem("mi_viewdauerfestgoodman", "mi_viewdauerfestigkeit", "goodman", {D::GoodmanDiagram, 0}, 3));
  t.push_back(DrawingItem("mi_viewdauerfesthaigh", "mi_viewdauerfestigkeit", "haigh", {D::HaighDiagram, 0}, 3));
  t.push_back(DrawingItem("mi_ViewBuckling", "mi_View", "Buckling", {D::SelectDiagram, 3}, 3));
  t.push_back(Menu("mi_ViewTemperature", "mi_View", "Temperature"));
  t.push_back(DrawingItem("mi_ViewTempGT", "mi_ViewTemperature", "G-T (shear  modulus)", {D::ShowDiagram, 5}, 3));
  t.push_back(DrawingItem("mi_viewtempf1t", "mi_ViewTemperature", "F1-T", {D::ShowDiagram, 7}, 3));
  t.push_back(DrawingItem("mi_viewtempF2t", "mi_ViewTemperature", "F2-T", {D::ShowDiagram, 8}, 3));
  t.push_back(Menu("mi_viewtension", "mi_View", "Tension"));
  t.push_back(DrawingItem("mi_viewtensiontaus", "mi_viewtension", "tau - s", {D::ShowDiagram, 29}, 3));
  t.push_back(DrawingItem("mi_viewtensionk", "mi_viewtension", "k", {D::SelectDiagram, 4}, 3));
  t.push_back(DrawingItem("mi_viewtensiontaud", "mi_viewtension", "tau-d (lin.)", {D::SelectDiagram, 6}, 3));
  t.push_back(DrawingItem("mi_viewtensiontaudlog", "mi_viewtension", "tau-d (log.)", {D::SelectDiagram, 16}, 3));
  t.push_back(Item("mi_viewErrorMessages", "mi_View", "Error Messages", [] { ShowErrorMessageReport(); }, 0,
                   [] { return G().ErrorMessageList.count > 0; }));
  // Database.
  t.push_back(Menu("mi_database", "", "Datenban&k"));
  t.push_back(Item("mi_dbfmaterial", "mi_database", "Material", [] { Tables().MaterialSelect(0); }, 0, TablesThere));
  for (const char* table : {"t10270_1", "t10270_2", "t10270_3"}) {
    const std::string name(table);
    t.push_back(Item("mi_dbfen10270_" + name.substr(7), "mi_database",
                     "EN 10270-" + name.substr(7) + " - " + name + ".dbf",
                     [name] { Tables().EditTable(name, 3300); }, 0, TablesThere));
  }
  t.push_back(Item("mi_dbfDIN2076", "mi_database", "DIN 2076 - din2076.dbf", [] { Tables().EditTable("din2076", 3300); },
                   0, TablesThere));
  t.push_back(Item("mi_dbfDIN2077", "mi_database", "DIN 2077 - din2077.dbf", [] { Tables().EditTable("din2077", 3300); },
                   0, TablesThere));
  // CAD.
  t.push_back(Menu("mi_CAD", "", "&CAD"));
  t.push_back(DrawingItem("mi_cadworkingplan", "mi_CAD", "Working Plan", {D::ProductionDrawing, 0}, 0));
  t.push_back(DrawingItem("mi_cadworkingplan2", "mi_CAD", "Working Plan EN", {D::ProductionDrawingEN, 0}, 0));
  t.push_back(AskLengthViewItem("mi_cadprojection", "mi_CAD", "Projection", 1, 0));
  t.push_back(AskLengthViewItem("mi_cadprofile", "mi_CAD", "Profile", 2, 0));
  t.push_back(AskLengthViewItem("mi_cadsimpleprofile", "mi_CAD", "Simple Profile", 3, 0));
  t.push_back(DrawingItem("mi_cadupperview", "mi_CAD", "Upper View", {D::SpringView, 4}, 0));
  t.push_back(Item("mi_cadQuick3", "mi_CAD", "Quick 3", [] { Drawings().DrawQuickSheet(0); }, 0, DrawingsThere));
  t.push_back(Item("mi_caddiagrams", "mi_CAD", "Diagrams...", [] { Drawings().ShowDiagramMenu(); }, 0, DrawingsThere));
  // Documentation.
  t.push_back(Menu("mi_documentation", "", "D&okument"));
  // The change-log commands 6, 4, 5, 1, 2, 3 in menu order.
  const std::pair<const char*, int> changeLog[] = {{"mi_docdrawinginfo", 6}, {"mi_docuShowChanges1", 4},
                                                   {"mi_docuPrintChanges", 5}, {"mi_docuNewChange", 1},
                                                   {"mi_docuModifyChanges", 2}, {"mi_docudeleteChange", 3}};
  for (const auto& entry : changeLog) {
    const int command = entry.second;
    t.push_back(Item(entry.first, "mi_documentation", entry.first, [command] { ChangeLogCommand(command); }, 0,
                     DocumentationWindowsThere));
  }
  t[t.size() - 6].designCaption = "Drawing Information";
  t[t.size() - 5].designCaption = "Show Changes";
  t[t.size() - 4].designCaption = "Print Changes";
  t[t.size() - 3].designCaption = "New Change";
  t[t.size() - 2].designCaption = "Modify Changes";
  t[t.size() - 1].designCaption = "Delete Change";
  for (int n = 1; n <= 5; ++n)
    t.push_back(Item("mi_Document" + std::to_string(n), "mi_documentation",
                     (n == 5 ? "Document &" : "Document ") + std::to_string(n), [n] { OpenDocumentLink(n); }));
  t.push_back(Item("mi_DocumentSetup", "mi_documentation", "Document Setup", [] { EditDocumentLinks(); }, 0,
                   DocumentationWindowsThere));
  // Spreadsheet.
  // "O&LE": Alt+O belongs to the document menu.
  t.push_back(Menu("mi_ole", "", "O&LE"));
  t.push_back(Item("mi_OleStartExcel", "mi_ole", "Start Excel", [] { StartSpreadsheet(); }));
  t.push_back(Item("mi_oleExportExcel", "mi_ole", "Export ZEB1 -> Excel", [] { ExportInputDataToSpreadsheet(); }, 0,
                   [] { return SpreadsheetStarted(); }));
  t.push_back(Item("mi_olePrintoutExcel", "mi_ole", "Printout -> Excel", [] { PrintoutToSpreadsheet(); }));
  // Help.
  t.push_back(Menu("mi_Help", "", "&Hilfe"));
  t.push_back(Item("mi_HelpHilfebild", "mi_Help", "&Hilfebild",
                   [] {
                     Graphics().HelpPictureCatalog();
                     G().AbortFlag = 0;
                   },
                   0, GraphicsThere));
  t.push_back(Item("mi_helpErrorMessages", "mi_Help", "Error Messages", [] { ShowCalcMessages(); }));
  t.push_back(Menu("mi_helplanguage", "mi_Help", "menu sprache"));
  const struct {
    const char* name;
    const char* caption;
    int n;
  } languages[] = {{"mi_helplanguageDeutsch", "&Deutsch", 1},   {"mi_helplanguageEnglish", "&English", 2},
                   {"mi_helplanguageFrancais", "&Francais", 3}, {"mi_helplanguageItaliano", "&Italiano", 4},
                   {"mi_helplanguageSvensk", "&Svensk", 5},     {"mi_helplanguagePortugues", "&Portugues", 6},
                   {"mi_helplanguageRoman", "&Roman", 7},       {"mi_helplanguageKorea", "&Korea", 8},
                   {"mi_helplanguageEspanol", "Españ&ol", 9},   {"mi_helplanguageChinese", "&Chinese", 12}};
  for (const auto& l : languages) {
    const int n = l.n;
    t.push_back(Item(l.name, "mi_helplanguage", l.caption, [n] { MainWindow().SetMenuLanguage(n); }));
  }
  // Without an address configured at build time the two items are left out.
  t.push_back(Item("mi_helpwww", "mi_Help", "TALMORE Homepage", [] { OpenAddress(WebAddress()); }, 0,
                   [] { return !WebAddress().empty(); }));
  t.back().hiddenWhenUnavailable = true;
  t.push_back(Item("mi_helpemail", "mi_Help", "E-Mail -> TALMORE",
                   [] {
                     OpenAddress(MailUrl(MailAddress()));
                   },
                   0, [] { return !MailAddress().empty(); }));
  t.back().hiddenWhenUnavailable = true;
  t.push_back(Item("mi_HelpAbout", "mi_Help", "&ZEB1", [] {
    if (WindowHooks().about) WindowHooks().about();
  }, 0, [] { return static_cast<bool>(WindowHooks().about); }));
  return t;
}

}  // namespace

Hooks& WindowHooks() {
  static Hooks h;
  return h;
}

const std::vector<Command>& CommandTable() {
  static const std::vector<Command> table = BuildTable();
  return table;
}

const Command* FindCommand(std::string_view name) {
  for (const Command& c : CommandTable())
    if (c.name == name) return &c;
  return nullptr;
}

bool CommandEnabled(const Command& c) {
  if (c.isMenu) return true;
  if (!c.run) return false;
  return !c.available || c.available();
}

namespace {

// A command that leaves the spring as it would be saved marks it as
// modified no more than it was: opening a screen or a dialog and leaving
// it asks no save question.
class ModifiedOnlyByChange {
 public:
  ModifiedOnlyByChange() : watch_(G().ModifiedFlag == 0) {
    if (watch_) before_ = FormatSpringFile(CurrentSpringFileRecords());
  }
  ~ModifiedOnlyByChange() {
    if (watch_ && G().ModifiedFlag != 0 && FormatSpringFile(CurrentSpringFileRecords()) == before_)
      G().ModifiedFlag = 0;
  }
  ModifiedOnlyByChange(const ModifiedOnlyByChange&) = delete;
  ModifiedOnlyByChange& operator=(const ModifiedOnlyByChange&) = delete;

 private:
  bool watch_;
  std::string before_;
};

}  // namespace

void RunCommand(const Command& c) {
  if (!c.run) return;
  const ModifiedOnlyByChange guard;
  BaseGlobals& g = G();
  g.AbortFlag = 0;
  if (c.flags & kMaterialFirst) {
    MaterialFirst();
    if (g.AbortFlag != 0) return;
  }
  c.run();
  if (g.AbortFlag != 0) return;
  if (c.flags & kModifies) g.ModifiedFlag = 1;
  if (c.flags & kRefresh) MainWindow().RefreshMainWindow();
}

void RunCommand(std::string_view name) {
  if (const Command* c = FindCommand(name)) RunCommand(*c);
}

namespace {

// The access key of a caption in upper case ("&x" or "(&X)"), 0 without one.
char AccessKeyOf(std::string_view caption) {
  for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != '&') continue;
    if (caption[i + 1] == '&') {
      ++i;
      continue;
    }
    const char c = caption[i + 1];
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
  }
  return 0;
}

// The keys of the other items of c's menu; of the items that take a free
// key, only those before c (they chose theirs first).
std::string KeysBeside(const Command& c) {
  std::string taken;
  bool before = true;
  for (const Command& s : CommandTable()) {
    if (s.name == c.name) {
      before = false;
      continue;
    }
    if (s.parent != c.parent || (TakesAFreeKey(s.name) && !before)) continue;
    if (const char key = AccessKeyOf(MenuItemCaption(s)); key != 0) taken += key;
  }
  return taken;
}

}  // namespace

std::string MenuItemCaption(const Command& c) {
  std::string caption;
  if (ComposedCaption(c.name, caption, TakesAFreeKey(c.name) ? KeysBeside(c) : std::string())) return caption;
  return c.designCaption;
}

// ---------------------------------------------------------------- dialogs

bool ScriptedCommandDialogs::Next(const char* name) {
  opened.emplace_back(name);
  for (auto it = answers.begin(); it != answers.end(); ++it) {
    if (it->first == name) {
      const bool ok = it->second;
      answers.erase(it);
      return ok;
    }
  }
  return true;
}

bool ScriptedCommandDialogs::Dimensions() {
  const bool ok = Next("Dimensions");
  if (ok) {
    SpringData().CalcMode = static_cast<Code>(calcMode);
    ForceInputChoice() = static_cast<std::int16_t>(forceInput);
  }
  return ok;
}
bool ScriptedCommandDialogs::Tolerance() { return Next("Tolerance"); }
bool ScriptedCommandDialogs::Application() { return Next("Application"); }
bool ScriptedCommandDialogs::CalculationMethod() { return Next("CalculationMethod"); }
bool ScriptedCommandDialogs::Production() { return Next("Production"); }
bool ScriptedCommandDialogs::ProductionDrawingData() { return Next("ProductionDrawingData"); }
bool ScriptedCommandDialogs::TitleBlockTexts() { return Next("TitleBlockTexts"); }
bool ScriptedCommandDialogs::ValueTable() { return Next("ValueTable"); }
bool ScriptedCommandDialogs::Configuration() { return Next("Configuration"); }

void SetCommandDialogs(std::shared_ptr<CommandDialogs> dialogs) { DialogSlot() = std::move(dialogs); }
CommandDialogs* Dialogs() { return DialogSlot().get(); }

std::int16_t& ForceInputChoice() {
  static std::int16_t choice = 1;
  return choice;
}

// ---------------------------------------------------------------- handler pieces

void MaterialFirst() {
  BaseGlobals& g = G();
  if (SpringData().tauzul != 0.0L) return;
  if (!TablesThere()) {
    CheckFileReadable(AddBackslash(g.DbfFolder) + "zebwst.dbf");
    g.AbortFlag = 1;
    return;
  }
  Tables().ShowMaterialForm();
}

bool AskDesignOrRecalculation() {
  BaseGlobals& g = G();
  SetCurrentHelpNumber(2750);
  g.LineTable[1] = "Auslegung";
  g.LineTable[2] = "Nachrechnung";
  AskChoice("Auslegung oder Nachrechnung ?", 2, KeptDesignChoice());
  return g.AbortFlag == 0 && KeptDesignChoice() == 2;
}

void RecalculateCharacteristicLine() {
  BaseGlobals& g = G();
  g.LineTable[1] = "..";
  g.LineTable[2] = "L1'= L1, L2'= L2";
  g.LineTable[3] = "L1'= L1, L3'= L2, L2'=(L1+L2)/2";
  std::int16_t choice = 1;
  AskChoice("Select", 3, choice);
  if (g.AbortFlag != 0) return;
  const SpringDataRecord& s = SpringData();
  ValueTableRecord& v = ValueTable();
  v.Name = "L'";
  v.Unit = LengthUnitName();
  v.Min = s.Lc;
  v.Max = s.L0;
  if (choice == 2) {
    v.Count = 2;
    v.Values[1] = s.L1;
    v.Values[2] = s.L2;
  } else if (choice == 3) {
    v.Count = 3;
    v.Values[1] = s.L1;
    v.Values[2] = (s.L1 + s.L2) / 2;
    v.Values[3] = s.L2;
  }
  if (!Dialog(&CommandDialogs::ValueTable)) return;
  Drawings().ShowDiagram(22, 3);
}

bool DispatchCalculationMode() {
  BaseGlobals& g = G();
  SpringDataRecord& s = SpringData();
  if (s.CrossSection != 1) {
    const bool recalculation = AskDesignOrRecalculation();
    if (g.AbortFlag != 0) return false;
    if (recalculation) InputRecalculation(); else InputDimensioning();
    return true;
  }
  if (!Dialog(&CommandDialogs::Dimensions)) {
    Recalculate();
    return false;
  }
  switch (s.CalcMode) {
    case 1: RunPreDimensioning(); break;
    case 2:
      switch (ForceInputChoice()) {
        case 1: DimensionF1F2(); break;
        case 2: DimensionF1RMin(); break;
        case 3: DimensionF2RMin(); break;
        case 4: DimensionF1RMax(); break;
        case 5: DimensionF2RMax(); break;
        default: break;
      }
      break;
    case 3: {
      const Code saved = s.RateInput;
      s.RateInput = 1;
      RunRecalculation();
      s.RateInput = saved;
      break;
    }
    default: break;
  }
  return true;
}

bool& NewSpringCancelled() {
  static bool cancelled = false;
  return cancelled;
}

void RunNewSpringSequenceSteps() {
  BaseGlobals& g = G();
  bool& cancelled = NewSpringCancelled();
  cancelled = false;
  const auto cancel = [&] {
    cancelled = true;
    g.AbortFlag = 1;
  };
  if (!Dialog(&CommandDialogs::TitleBlockTexts)) return cancel();
  Graphics().GrafClear();
  if (!Dialog(&CommandDialogs::Application)) return cancel();
  if (!TablesThere()) {
    CheckFileReadable(AddBackslash(g.DbfFolder) + "zebwst.dbf");
    return cancel();
  }
  Tables().ShowMaterialForm();
  if (g.AbortFlag != 0) return cancel();
  if (!Dialog(&CommandDialogs::Production)) return cancel();
  if (!DispatchCalculationMode() || g.AbortFlag != 0) return cancel();
  if (!Dialog(&CommandDialogs::Tolerance)) return cancel();
  RunCalculation();
  g.ModifiedFlag = 1;
  ShowCalcMessages();
}

void ShowMessageCountItem() {
  const int count = G().ErrorMessageList.count;
  if (Sink() != nullptr)
    Sink()->SetItem("mi_viewErrorMessages", Caption(Cap1::ErrorMessages) + " (" + std::to_string(count) + ")",
                    count > 0);
}

void RefreshMainWindowSteps() {
  ShowMessageCountItem();
  Drawings().RedrawCurrentDrawing();
}

void SetMenuStateSink(MenuStateSink* sink) { Sink() = sink; }

void ApplyMenuLanguage(int n) { SetMenuLanguageSteps(n); }

std::string WebAddress() { return ZEB1_WEB_ADDRESS; }
std::string MailAddress() { return ZEB1_MAIL_ADDRESS; }

std::string MailUrl(const std::string& address) {
  return "mailto:" + address + "?subject=" + G().ProductName + "%20V" + G().ProgramVersion;
}

void OpenAddress(const std::string& url) {
  if (url.empty()) return;
  StartProgram({"xdg-open", url}, false);
}

// ---------------------------------------------------------------- headless window

void HeadlessMainWindow::SetMenuLanguage(int n) {
  RecordingMainWindow::SetMenuLanguage(n);
  ApplyMenuLanguage(n);
}
void HeadlessMainWindow::RunNewSpringSequence() {
  RecordingMainWindow::RunNewSpringSequence();
  RunNewSpringSequenceSteps();
}
void HeadlessMainWindow::RefreshMainWindow() {
  RecordingMainWindow::RefreshMainWindow();
  RefreshMainWindowSteps();
}

}  // namespace zeb
