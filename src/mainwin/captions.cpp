#include "mainwin/captions.h"

#include <array>
#include <initializer_list>
#include <map>
#include <vector>

#include "base/globals.h"
#include "mainwin/caption_texts.h"

namespace zeb {

namespace {

constexpr int kEntries1 = static_cast<int>(Cap1::Count);
constexpr int kEntries2 = static_cast<int>(Cap2::Count);

static_assert(sizeof(captions::kTable1) / sizeof(captions::kTable1[0]) == kEntries1);
static_assert(sizeof(captions::kTable2) / sizeof(captions::kTable2[0]) == kEntries2);

struct Tables {
  std::array<std::string, kEntries1> t1;
  std::array<std::string, kEntries2> t2;
};

// Column of language n, -1 without texts.
int Column(int n) {
  switch (n) {
    case 1: return 0;   // German
    case 2: return 1;   // English
    case 3: return 2;   // French
    case 4: return 3;   // Italian
    case 5: return 4;   // Swedish
    case 6: return 5;   // Portuguese
    case 7: return 6;   // Romanian
    case 8: return 7;   // Korean
    case 9: return 8;   // Spanish
    case 12: return 9;  // Chinese
    default: return -1;
  }
}

Tables& T() {
  static Tables t = [] {
    Tables x;
    for (int k = 0; k < kEntries1; ++k) x.t1[static_cast<std::size_t>(k)] = captions::kTable1[k][0];
    for (int k = 0; k < kEntries2; ++k) x.t2[static_cast<std::size_t>(k)] = captions::kTable2[k][0];
    return x;
  }();
  return t;
}

const std::string& E(Cap1 e) { return Caption(e); }
const std::string& E(Cap2 e) { return Caption(e); }

// The access key of one piece of a caption, taken out of its text.
struct Keyed {
  std::string text;
  char key = 0;
  bool bracketed = false;    // Korean and Chinese "(&X)" at the end
  std::size_t at = 0;        // where "&" stood otherwise
};

Keyed TakeKey(std::string_view piece) {
  Keyed k{std::string(piece)};
  const std::size_t n = piece.size();
  if (n >= 4 && piece.substr(n - 4, 2) == "(&" && piece[n - 1] == ')') {
    k.text.resize(n - 4);
    k.key = piece[n - 2];
    k.bracketed = true;
    return k;
  }
  const std::size_t amp = piece.find('&');
  if (amp != std::string_view::npos && amp + 1 < n) {
    k.text.erase(amp, 1);
    k.key = piece[amp + 1];
    k.at = amp;
  }
  return k;
}

// A caption of several pieces shows one access key, the one of piece keep
// (or of the first piece that has one). Where a piece brings its key in
// brackets, the kept key stands so at the end of the caption.
std::string Compose(std::initializer_list<std::string_view> pieces, std::size_t keep = 0) {
  std::vector<Keyed> parts;
  std::string text;
  std::vector<std::size_t> offsets;
  bool brackets = false;
  for (std::string_view p : pieces) {
    parts.push_back(TakeKey(p));
    offsets.push_back(text.size());
    text += parts.back().text;
    brackets = brackets || parts.back().bracketed;
  }
  std::size_t k = keep < parts.size() && parts[keep].key != 0 ? keep : parts.size();
  for (std::size_t i = 0; k == parts.size() && i < parts.size(); ++i)
    if (parts[i].key != 0) k = i;
  if (k == parts.size()) return text;
  const Keyed& kept = parts[k];
  if (brackets) {
    const char key = kept.key >= 'a' && kept.key <= 'z' ? static_cast<char>(kept.key - 'a' + 'A') : kept.key;
    return text + "(&" + key + ")";
  }
  return text.insert(offsets[k] + kept.at, 1, '&');
}

// The upper-case ASCII letter c is, else 0.
char KeyLetter(char c) {
  if (c >= 'a' && c <= 'z') return static_cast<char>(c - 'a' + 'A');
  return c >= 'A' && c <= 'Z' ? c : 0;
}

// Where the first letter of text from `from` on, then before it, stands
// that is not among taken; npos when there is none.
std::size_t FreeLetter(std::string_view text, std::size_t from, std::string_view taken) {
  for (std::size_t k = 0; k < text.size(); ++k) {
    const std::size_t i = (from + k) % text.size();
    const char c = KeyLetter(text[i]);
    if (c != 0 && taken.find(c) == std::string_view::npos) return i;
  }
  return std::string_view::npos;
}

// "first second" for an item made of another item's word (first) and the
// word that tells it apart: its access key is a letter no other item of the
// menu has (taken), of the second word where one is free. Where the language
// brings its keys in brackets, a letter of the English words.
std::string ComposeFreeKey(std::string_view first, std::string_view second, std::string_view firstEnglish,
                           std::string_view secondEnglish, std::string_view taken) {
  const Keyed a = TakeKey(first), b = TakeKey(second);
  std::string text = a.text + " " + b.text;
  if (a.key == 0 && b.key == 0) return text;  // a language without keys here
  if (a.bracketed || b.bracketed) {
    const std::string head = TakeKey(firstEnglish).text;
    const std::string english = head + " " + TakeKey(secondEnglish).text;
    const std::size_t i = FreeLetter(english, head.size() + 1, taken);
    return i == std::string::npos ? text : text + "(&" + KeyLetter(english[i]) + ")";
  }
  const std::size_t i = FreeLetter(text, a.text.size() + 1, taken);
  return i == std::string::npos ? text : text.insert(i, 1, '&');
}

const char* English(Cap1 e) { return captions::kTable1[static_cast<int>(e)][1]; }
const char* English(Cap2 e) { return captions::kTable2[static_cast<int>(e)][1]; }

// Items that take one entry as it stands.
const std::map<std::string_view, Cap1>& Plain1() {
  static const std::map<std::string_view, Cap1> m = {
      {"mi_file", Cap1::File},
      {"mi_fileNew", Cap1::New},
      {"mi_fileOpen", Cap1::Open},
      {"mi_FileSave", Cap1::Save},
      {"mi_FileSaveAs", Cap1::SaveAs},
      {"mi_fileConfig", Cap1::Settings},
      {"mi_fileexit", Cap1::Exit},
      {"mi_fileprint", Cap1::Print},
      {"mi_filePrinterSetup", Cap1::PrinterSetup},
      {"mi_filePrintMacro", Cap1::PrintMacro},
      {"mi_OleStartExcel", Cap1::StartSpreadsheet},
      {"mi_oleExportExcel", Cap1::ExportSpreadsheet},
      {"mi_olePrintoutExcel", Cap1::PrintoutSpreadsheet},
      {"mi_Edit", Cap1::Edit},
      {"mi_EditText", Cap1::Text},
      {"mi_EditMaterial", Cap1::Material},
      {"mi_EditProduction", Cap1::Production},
      {"mi_EditTolerance", Cap1::Tolerance},
      {"mi_EditApplication", Cap1::Application},
      {"mi_EditDimensioning", Cap1::Dimensioning},
      {"mi_EditPreDimensioning", Cap1::PreDimensioning},
      {"mi_EditRecalculation", Cap1::Recalculation},
      {"mi_EditCalculationMethod", Cap1::CalculationMethod},
      {"mi_View", Cap1::View},
      {"mi_viewstandardausdruck", Cap1::StandardPrintout},
      {"mi_viewauszug", Cap1::Excerpt},
      {"mi_database", Cap1::Database},
      {"mi_CAD", Cap1::Cad},
      {"mi_cadworkingplan", Cap1::ProductionDrawing},
      {"mi_editproductionDrawing", Cap1::ProductionDrawing},
      {"mi_viewfertigungszeichnung", Cap1::ProductionDrawing},
      {"mi_viewDrawing", Cap1::Drawing},
      {"mi_viewFederzeichnung", Cap1::Drawing},
      {"mi_cadprojection", Cap1::Projection},
      {"mi_cadprofile", Cap1::Profile},
      {"mi_viewSchnitt", Cap1::Profile},
      {"mi_cadsimpleprofile", Cap1::SimpleProfile},
      {"mi_cadupperview", Cap1::UpperView},
      {"mi_viewDraufsicht", Cap1::UpperView},
      {"mi_documentation", Cap1::Document},
      {"mi_docdrawinginfo", Cap1::DrawingData},
      {"mi_docuShowChanges1", Cap1::ChangesInfo},
      {"mi_docuPrintChanges", Cap1::ChangesPrintout},
      {"mi_docuNewChange", Cap1::NewChange},
      {"mi_docuModifyChanges", Cap1::EditChange},
      {"mi_docudeleteChange", Cap1::DeleteChange},
      {"mi_DocumentSetup", Cap1::DocumentSetup},
      {"mi_Help", Cap1::Help},
      {"mi_HelpHilfebild", Cap1::HelpPicture},
      {"mi_helpErrorMessages", Cap1::ErrorMessages},
      {"mi_viewErrorMessages", Cap1::ErrorMessages},
      {"mi_viewausdruck", Cap1::Printout},
      {"mi_helpwww", Cap1::Homepage},
      {"mi_helpemail", Cap1::Email},
      {"mi_EditQuick", Cap1::BaseData},
  };
  return m;
}

const std::map<std::string_view, Cap2>& Plain2() {
  static const std::map<std::string_view, Cap2> m = {
      {"mi_viewKennlinie", Cap2::CharLine},
      {"mi_ViewBuckling", Cap2::Buckling},
      {"mi_ViewTemperature", Cap2::Temperature},
      {"mi_viewtension", Cap2::Stress},
      {"mi_viewtensionk", Cap2::StressK},
      {"mi_viewdauerfestigkeit", Cap2::Fatigue},
      {"mi_viewdauerfestgoodman", Cap2::Goodman},
      {"mi_viewausdruckfertausgl", Cap2::Compensation},
  };
  return m;
}

}  // namespace

bool LanguageHasTexts(int n) { return Column(n) >= 0; }

bool TakesAFreeKey(std::string_view name) {
  return name == "mi_EditDimensionMaterial" || name == "mi_editnachrechnungkennlinie";
}

void LoadMenuCaptionTexts(int n) {
  const int c = Column(n);
  if (c < 0) return;
  for (int k = 0; k < kEntries1; ++k) T().t1[static_cast<std::size_t>(k)] = captions::kTable1[k][c];
  // What the table window copies into its menu.
  auto& m = G().MainMenuCaptions;
  m.File = Caption(Cap1::File), m.Print = Caption(Cap1::Print), m.Exit = Caption(Cap1::Exit);
  m.Edit = Caption(Cap1::Edit), m.View = Caption(Cap1::View), m.Help = Caption(Cap1::Help);
  m.Database = Caption(Cap1::Database);
}

void LoadMenuItemTexts(int n) {
  const int c = Column(n);
  if (c < 0 || n == 7) return;
  for (int k = 0; k < kEntries2; ++k) T().t2[static_cast<std::size_t>(k)] = captions::kTable2[k][c];
}

void ResetCaptionTables() {
  LoadMenuCaptionTexts(1);
  LoadMenuItemTexts(1);
}

const std::string& Caption(Cap1 entry) { return T().t1[static_cast<std::size_t>(entry)]; }
const std::string& Caption(Cap2 entry) { return T().t2[static_cast<std::size_t>(entry)]; }

std::string LanguageEntry(int n, Cap1 entry) {
  const int c = Column(n);
  return c < 0 ? std::string() : captions::kTable1[static_cast<int>(entry)][c];
}

bool ComposedCaption(std::string_view name, std::string& caption, std::string_view taken) {
  if (name == "mi_EditDimensionMaterial") {
    caption = ComposeFreeKey(E(Cap1::Dimensioning), E(Cap1::Material), English(Cap1::Dimensioning),
                             English(Cap1::Material), taken);
    return true;
  }
  if (name == "mi_editnachrechnungkennlinie") {
    caption = ComposeFreeKey(E(Cap1::Recalculation), E(Cap2::CharLine), English(Cap1::Recalculation),
                             English(Cap2::CharLine), taken);
    return true;
  }
  if (auto it = Plain1().find(name); it != Plain1().end()) {
    caption = E(it->second);
    return true;
  }
  if (auto it = Plain2().find(name); it != Plain2().end()) {
    caption = E(it->second);
    return true;
  }
  const std::string& charLine = E(Cap2::CharLine);
  const std::string& diagram = E(Cap1::Diagram);
  const std::map<std::string_view, std::string> composed = {
      // "Table" keeps the key: "Open" has its own item.
      {"mi_fileopentable", Compose({E(Cap1::Open), " (", E(Cap1::Table), ")"}, 2)},
      {"mi_editauslegungwstgmodul", "G Module"},
      {"mi_ViewQuick1", Compose({E(Cap1::Quick), " 1"})},
      {"mi_viewquick2", Compose({E(Cap1::Quick), " 2"})},
      {"mi_viewquick3", Compose({E(Cap1::Quick), " 3"})},
      {"mi_viewDrawingL", Compose({E(Cap1::Drawing), " L = ?"})},
      {"mi_viewSchnittL", Compose({E(Cap1::Profile), " L = ?"})},
      {"mi_viewfertigungszeichnung2", Compose({E(Cap1::ProductionDrawing), " EN 15800"})},
      {"mi_cadworkingplan2", Compose({E(Cap1::ProductionDrawing), " EN 15800"})},
      {"mi_viewCharLineFs", Compose({"F-s ", charLine})},
      {"mi_viewcharlineFl", Compose({"F-L ", charLine})},
      {"mi_viewkennliniefsi", Compose({"F'-s' ", charLine})},
      {"mi_viewCharLinewithtolerance", Compose({"F-s ", E(Cap2::CharLineTolerance)})},
      {"mi_viewdauerfesthaigh", Compose({"Haigh-", E(Cap2::Goodman)})},
      {"mi_ViewTempGT", Compose({"&G-T ", diagram})},
      {"mi_viewtempf1t", Compose({"F&1-T ", diagram})},
      {"mi_viewtempF2t", Compose({"F&2-T ", diagram})},
      {"mi_viewtensiontaud", Compose({"tau-d ", diagram, " (lin.)"})},
      {"mi_viewtensiontaudlog", Compose({"tau-d ", diagram, " (log.)"})},
      {"mi_caddiagrams", Compose({E(Cap1::Diagrams), "..."})},
      {"mi_dbfmaterial", Compose({E(Cap1::Material), " - zebwst.dbf"})},
      // The five documents share their word: each keeps its digit.
      {"mi_Document1", Compose({E(Cap1::Document), " &1"}, 1)},
      {"mi_Document2", Compose({E(Cap1::Document), " &2"}, 1)},
      {"mi_Document3", Compose({E(Cap1::Document), " &3"}, 1)},
      {"mi_Document4", Compose({E(Cap1::Document), " &4"}, 1)},
      {"mi_Document5", Compose({E(Cap1::Document), " &5"}, 1)},
      {"mi_helplanguage", Compose({E(Cap1::Menu), " ", E(Cap1::Language)})},
  };
  if (auto it = composed.find(name); it != composed.end()) {
    caption = it->second;
    return true;
  }
  return false;
}

}  // namespace zeb
