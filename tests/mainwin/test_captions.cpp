// Menu captions per language: German and English as typed from the
// caption list, the example rows of the other languages, access keys and
// the composed captions.
#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <string>
#include <vector>

#include "base/globals.h"
#include "base/support_fixture.h"
#include "mainwin/captions.h"
#include "mainwin/commands.h"
#include "mainwin/dispatch.h"
#include "settings/config.h"

namespace zeb {
namespace {

struct Row {
  const char* item;
  const char* german;
  const char* english;
};

// Every item whose caption comes from the tables, German and English.
const std::vector<Row>& Rows() {
  static const std::vector<Row> rows = {
      {"mi_helplanguage", "Menü &Sprache", "Menu &Language"},
      {"mi_file", "&Datei", "&File"},
      {"mi_fileNew", "&Neu...", "&New..."},
      {"mi_fileOpen", "Ö&ffnen...", "&Open..."},
      {"mi_fileopentable", "Öffnen... (&Tabelle)", "Open... (&Table)"},
      {"mi_FileSave", "&Speichern...", "&Save..."},
      {"mi_FileSaveAs", "Speichern &Unter...", "Save &As..."},
      {"mi_fileConfig", "E&instellungen", "Se&ttings"},
      {"mi_fileexit", "&Beenden", "E&xit"},
      {"mi_fileprint", "&Drucken...", "&Print..."},
      {"mi_filePrinterSetup", "Druckereinstellung", "Printer Setup"},
      {"mi_Edit", "&Bearbeiten", "&Edit"},
      {"mi_EditText", "Te&xt", "Te&xt"},
      {"mi_ViewQuick1", "&Quick 1", "&Quick 1"},
      {"mi_viewquick2", "&Quick 2", "&Quick 2"},
      {"mi_viewquick3", "&Quick 3", "&Quick 3"},
      {"mi_EditMaterial", "&Werkstoff", "&Material"},
      {"mi_dbfmaterial", "&Werkstoff - zebwst.dbf", "&Material - zebwst.dbf"},
      {"mi_EditDimensionMaterial", "Auslegung W&erkstoff", "Dimensioning M&aterial"},
      {"mi_EditProduction", "&Herstellung", "&Production"},
      {"mi_EditTolerance", "&Toleranzen", "&Tolerance"},
      {"mi_EditApplication", "A&nwendung", "A&pplication"},
      {"mi_EditDimensioning", "&Auslegung", "&Dimensioning"},
      {"mi_EditPreDimensioning", "&Vorauslegung", "&Pre-Dimensioning"},
      {"mi_EditRecalculation", "&Nachrechnung", "&Recalculation"},
      {"mi_editnachrechnungkennlinie", "Nachrechnung Fe&derkennlinie",
       "Recalculation &Load deflection curve of spring"},
      {"mi_EditCalculationMethod", "&Berechnungsmethode", "&Calculation Method"},
      {"mi_editauslegungwstgmodul", "G Module", "G Module"},
      {"mi_View", "&Ansicht", "&View"},
      {"mi_viewstandardausdruck", "&Standardausdruck", "&Standard Printout"},
      {"mi_viewauszug", "&Auszug", "&Excerpt Printout"},
      {"mi_database", "Datenban&k", "&Database"},
      {"mi_CAD", "&CAD", "&CAD"},
      {"mi_cadworkingplan", "&Fertigungszeichnung", "&Production drawing"},
      {"mi_cadworkingplan2", "&Fertigungszeichnung EN 15800", "&Production drawing EN 15800"},
      {"mi_editproductionDrawing", "&Fertigungszeichnung", "&Production drawing"},
      {"mi_viewfertigungszeichnung", "&Fertigungszeichnung", "&Production drawing"},
      {"mi_viewfertigungszeichnung2", "&Fertigungszeichnung EN 15800", "&Production drawing EN 15800"},
      {"mi_viewDrawing", "&Zeichnung", "&Drawing"},
      {"mi_viewDrawingL", "&Zeichnung L = ?", "&Drawing L = ?"},
      {"mi_viewFederzeichnung", "&Zeichnung", "&Drawing"},
      {"mi_cadprojection", "&Vorderansicht", "P&rojection"},
      {"mi_cadprofile", "&Schnitt", "Pr&ofile"},
      {"mi_viewSchnitt", "&Schnitt", "Pr&ofile"},
      {"mi_viewSchnittL", "&Schnitt L = ?", "Pr&ofile L = ?"},
      {"mi_cadsimpleprofile", "&Einfacher Schnitt", "&Simple profile"},
      {"mi_cadupperview", "D&raufsicht", "&Upper view"},
      {"mi_viewDraufsicht", "D&raufsicht", "&Upper view"},
      {"mi_caddiagrams", "&Diagramme...", "&Diagrams..."},
      {"mi_ViewTempGT", "&G-T Diagramm", "&G-T Diagram"},
      {"mi_viewtempf1t", "F&1-T Diagramm", "F&1-T Diagram"},
      {"mi_viewtempF2t", "F&2-T Diagramm", "F&2-T Diagram"},
      {"mi_viewtensiontaud", "tau-d &Diagramm (lin.)", "tau-d &Diagram (lin.)"},
      {"mi_viewtensiontaudlog", "tau-d &Diagramm (log.)", "tau-d &Diagram (log.)"},
      {"mi_Document1", "Dokument &1", "Document &1"},
      {"mi_Document5", "Dokument &5", "Document &5"},
      {"mi_documentation", "D&okument", "D&ocument"},
      {"mi_docdrawinginfo", "&Zeichnungsdaten", "&Drawing data"},
      {"mi_docuShowChanges1", "Änderungen - &Info", "Modifications - &Info"},
      {"mi_docuPrintChanges", "Änderungen - &Ausdruck", "Modifications - &Printout"},
      {"mi_docuNewChange", "&Neue Änderung", "Modification - &New"},
      {"mi_docuModifyChanges", "Letzte Änderung &bearbeiten", "&Edit previous modification"},
      {"mi_docudeleteChange", "Letzte Änderung &löschen", "&Delete previous modification"},
      {"mi_DocumentSetup", "Dokument &Setup", "Document &Setup"},
      {"mi_Help", "&Hilfe", "&Help"},
      {"mi_HelpHilfebild", "&Hilfebild", "&Auxiliary images"},
      {"mi_helpErrorMessages", "&Fehlermeldungen", "&Error messages"},
      {"mi_viewausdruck", "&Ausdruck", "&Printout"},
      {"mi_helpwww", "&TALMORE Homepage", "&TALMORE Homepage"},
      {"mi_helpemail", "&E-Mail an TALMORE", "&E-Mail to TALMORE"},
      {"mi_EditQuick", "&Basisdaten", "&Base Data"},
      {"mi_viewKennlinie", "&Federkennlinie", "&Load deflection curve of spring"},
      {"mi_viewCharLineFs", "F-s &Federkennlinie", "F-s &Load deflection curve of spring"},
      {"mi_viewcharlineFl", "F-L &Federkennlinie", "F-L &Load deflection curve of spring"},
      {"mi_viewkennliniefsi", "F'-s' &Federkennlinie", "F'-s' &Load deflection curve of spring"},
      {"mi_viewCharLinewithtolerance", "F-s F&ederkennlinie mit Toleranzfeld", "F-s Load curve with tolerance zone"},
      {"mi_viewdauerfestgoodman", "&Goodman-Diagramm", "&Goodman diagram"},
      {"mi_viewdauerfesthaigh", "Haigh-&Goodman-Diagramm", "Haigh-&Goodman diagram"},
      {"mi_ViewBuckling", "&Knicksicherheit", "&Buckling diagram"},
      {"mi_ViewTemperature", "&Temperatur", "&Temperature"},
      {"mi_viewtension", "S&pannung", "Str&ess"},
      {"mi_viewtensionk", "Spannungskorrekturfaktor &k", "Dynamic stress coefficient &k"},
      {"mi_viewdauerfestigkeit", "&Dauerfestigkeit", "&Fatigue Strength"},
      {"mi_viewausdruckfertausgl", "Fertigungsausgleich", "Manufacturing Compensation"},
  };
  return rows;
}

std::string CaptionOf(const char* item) {
  const Command* c = FindCommand(item);
  EXPECT_NE(c, nullptr) << item;
  return c != nullptr ? MenuItemCaption(*c) : std::string();
}

class CaptionsTest : public test::BaseTest {
 protected:
  void SetUp() override {
    BaseTest::SetUp();
    ResetCaptionTables();
    SetMainWindow(std::make_shared<HeadlessMainWindow>());
  }
  void TearDown() override {
    ResetCaptionTables();
    SetMainWindow(nullptr);
    BaseTest::TearDown();
  }
};

TEST_F(CaptionsTest, GermanAndEnglishByHand) {
  for (const Row& r : Rows()) EXPECT_EQ(CaptionOf(r.item), r.german) << r.item;
  ApplyMenuLanguage(2);
  EXPECT_EQ(Config().LanguageNumber, 2);
  for (const Row& r : Rows()) EXPECT_EQ(CaptionOf(r.item), r.english) << r.item;
  ApplyMenuLanguage(1);
  for (const Row& r : Rows()) EXPECT_EQ(CaptionOf(r.item), r.german) << r.item;
}

TEST_F(CaptionsTest, ExampleRowsOfTheOtherLanguages) {
  struct Example {
    const char* item;
    const char* texts[6];  // French, Italian, Swedish, Portuguese, Romanian, Spanish
  } examples[] = {
      {"mi_file", {"&Fichier", "&File", "&Arkiv", "&Arquivo", "&Fisier", "&Archivo"}},
      {"mi_fileexit", {"&Quitter", "&Esci", "&Avsluta", "S&aida", "Ie&sire", "&Salir"}},
      {"mi_Edit", {"&Edition", "&Modifica", "&Redigera", "&Editar", "&Editare", "&Editar"}},
      {"mi_EditRecalculation",
       {"&Vérification", "&Controllo Calcolo...", "&Beräkningskontroll", "&Verificacao...", "&Recalculare",
        "&Cálculo Comprobación"}},
      // Spanish "Ay&uda": Alt+A belongs to "&Archivo".
      {"mi_Help", {"&Aide", "&Help", "&Hjälp", "Aj&uda", "&Ajutor", "Ay&uda"}},
  };
  const int languages[6] = {3, 4, 5, 6, 7, 9};
  const char* menu[6] = {"Menu", "Menu", "Meny", "Menu", "Meniu", "Menú"};
  const char* language[6] = {"&Language", "&Lingua", "&Språk", "&Language", "&Limba", "&Language"};
  for (int k = 0; k < 6; ++k) {
    ApplyMenuLanguage(languages[k]);
    for (const Example& e : examples) EXPECT_EQ(CaptionOf(e.item), e.texts[k]) << e.item << " " << languages[k];
    EXPECT_EQ(CaptionOf("mi_helplanguage"), std::string(menu[k]) + " " + language[k]) << languages[k];
  }
}

TEST_F(CaptionsTest, EveryLanguageFillsEveryEntryWithItsAccessKeys) {
  for (int n : {1, 2, 3, 4, 5, 6, 7, 8, 9, 12}) {
    for (int e = 0; e < static_cast<int>(Cap1::Count); ++e) {
      const std::string german = LanguageEntry(1, static_cast<Cap1>(e));
      const std::string text = LanguageEntry(n, static_cast<Cap1>(e));
      EXPECT_FALSE(text.empty()) << n << " " << e;
      const bool germanKey = german.find('&') != std::string::npos;
      const std::size_t amp = text.find('&');
      const bool topMenu = e == static_cast<int>(Cap1::File) || e == static_cast<int>(Cap1::Edit) ||
                           e == static_cast<int>(Cap1::View) || e == static_cast<int>(Cap1::Database) ||
                           e == static_cast<int>(Cap1::Cad) || e == static_cast<int>(Cap1::Document) ||
                           e == static_cast<int>(Cap1::Help);
      if (n == 12) {
        // Chinese: access keys "(&X)" on the menu bar only.
        EXPECT_EQ(amp != std::string::npos, topMenu) << text;
      } else if (n != 2) {
        EXPECT_EQ(amp != std::string::npos, germanKey) << n << " " << text;
      }
      if ((n == 8 && germanKey) || (n == 12 && topMenu)) {
        // Korean and Chinese: "(&X)" at the end.
        ASSERT_GE(text.size(), 4u);
        EXPECT_EQ(text.substr(text.size() - 4, 2), "(&") << text;
        EXPECT_EQ(text.back(), ')') << text;
      }
    }
  }
  // Table 2 everywhere but Romanian: the example item after Korean.
  ApplyMenuLanguage(8);
  const std::string korean = CaptionOf("mi_ViewBuckling");
  EXPECT_NE(korean, "&Knicksicherheit");
  ApplyMenuLanguage(12);
  EXPECT_EQ(CaptionOf("mi_ViewBuckling").find('&'), std::string::npos);
}

// A caption of two pieces shows one key; in Korean and Chinese it stands in
// brackets at the end of the whole caption.
TEST_F(CaptionsTest, ComposedCaptionsKeepOneKeyAtTheEndInKoreanAndChinese) {
  ApplyMenuLanguage(8);
  EXPECT_EQ(CaptionOf("mi_ViewQuick1"), "퀵 1(&Q)");
  EXPECT_EQ(CaptionOf("mi_Document3"), "문서 3(&3)");
  EXPECT_EQ(CaptionOf("mi_fileopentable"), "열기... (표)(&T)");
  EXPECT_EQ(CaptionOf("mi_editnachrechnungkennlinie"), "재계산 스프링 특성 곡선(&L)");
  EXPECT_EQ(CaptionOf("mi_viewtempf1t"), "F1-T 선도(&1)");
  EXPECT_EQ(CaptionOf("mi_caddiagrams"), "선도...(&D)");
  ApplyMenuLanguage(12);
  EXPECT_EQ(CaptionOf("mi_Document3"), "文档 3(&3)");
  EXPECT_EQ(CaptionOf("mi_ViewQuick1"), "快速 1");
  EXPECT_EQ(CaptionOf("mi_viewtempf1t"), "F&1-T 图表");
}

// The two Edit items made of another item's word (Auslegung Werkstoff,
// Nachrechnung Federkennlinie) have a key no other Edit item has, in every
// language with keys there.
TEST_F(CaptionsTest, EditItemsOfAnotherItemsWordHaveTheirOwnKey) {
  for (int n : {1, 2, 3, 4, 5, 6, 7, 8, 9}) {
    ApplyMenuLanguage(n);
    std::map<std::string, char> keys;
    for (const Command& c : CommandTable()) {
      if (c.parent != "mi_Edit") continue;
      const std::string caption = MenuItemCaption(c);
      const std::size_t amp = caption.find('&');
      if (amp == std::string::npos) continue;
      keys[c.name] = static_cast<char>(std::toupper(static_cast<unsigned char>(caption[amp + 1])));
    }
    for (const char* own : {"mi_EditDimensionMaterial", "mi_editnachrechnungkennlinie"}) {
      ASSERT_TRUE(keys.count(own)) << n << " " << own;
      for (const auto& [name, key] : keys)
        EXPECT_TRUE(name == own || key != keys[own]) << "language " << n << ": " << own << " and " << name;
    }
  }
}

// Alt plus a letter opens one menu of the bar: every top menu has an access
// key and no two share one, in every language (the table window's menu bar
// takes four of these captions).
TEST_F(CaptionsTest, TopMenusHaveTheirOwnAccessKeyInEveryLanguage) {
  for (int n : {1, 2, 3, 4, 5, 6, 7, 8, 9, 12}) {
    ApplyMenuLanguage(n);
    std::map<char, std::string> keys;
    for (const Command& c : CommandTable()) {
      if (!c.isMenu || !c.parent.empty()) continue;
      const std::string caption = MenuItemCaption(c);
      const std::size_t amp = caption.find('&');
      ASSERT_NE(amp, std::string::npos) << n << " " << caption;
      ASSERT_LT(amp + 1, caption.size()) << caption;
      const char key = static_cast<char>(std::tolower(static_cast<unsigned char>(caption[amp + 1])));
      EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(key))) << caption;
      const auto [it, fresh] = keys.emplace(key, caption);
      EXPECT_TRUE(fresh) << "language " << n << ": " << caption << " and " << it->second << " share Alt+" << key;
    }
    EXPECT_EQ(keys.size(), 8u) << n;
  }
}

// The table window copies File, Print, Exit, Edit, View, Help and Database
// of the current language into its menu.
TEST_F(CaptionsTest, MainMenuCaptionsForTheTableWindowFollowTheLanguage) {
  const auto& m = G().MainMenuCaptions;
  ApplyMenuLanguage(2);
  EXPECT_EQ(m.File, "&File");
  EXPECT_EQ(m.Print, "&Print...");
  EXPECT_EQ(m.Exit, "E&xit");
  EXPECT_EQ(m.Edit, "&Edit");
  EXPECT_EQ(m.View, "&View");
  EXPECT_EQ(m.Help, "&Help");
  EXPECT_EQ(m.Database, "&Database");
  EXPECT_EQ(G().MenuLanguage, 2);
  ApplyMenuLanguage(3);
  EXPECT_EQ(m.File, "&Fichier");
  EXPECT_EQ(m.Help, "&Aide");
  ApplyMenuLanguage(11);  // no texts: the French ones stay
  EXPECT_EQ(m.File, "&Fichier");
  EXPECT_EQ(G().MenuLanguage, 3);
  ApplyMenuLanguage(1);
  EXPECT_EQ(m.File, "&Datei");
  EXPECT_EQ(m.Database, "Datenban&k");
  EXPECT_EQ(G().MenuLanguage, 1);
}

TEST_F(CaptionsTest, RomanianKeepsTableTwoAndUnknownLanguagesChangeNothing) {
  ApplyMenuLanguage(2);
  ApplyMenuLanguage(7);
  EXPECT_EQ(CaptionOf("mi_file"), "&Fisier");
  EXPECT_EQ(CaptionOf("mi_viewCharLineFs"), "F-s &Load deflection curve of spring");
  ResetCaptionTables();
  ApplyMenuLanguage(7);
  EXPECT_EQ(CaptionOf("mi_viewCharLineFs"), "F-s &Federkennlinie");
  for (int n : {-1, 0, 10, 11, 2147483647}) {
    ApplyMenuLanguage(2);
    ApplyMenuLanguage(n);
    EXPECT_EQ(Config().LanguageNumber, n);
    EXPECT_EQ(CaptionOf("mi_file"), "&File") << n;
  }
}

TEST_F(CaptionsTest, DesignCaptionsStayInEveryLanguage) {
  const std::vector<std::pair<const char*, const char*>> fixed = {
      {"mi_viewtensiontaus", "tau - s"},
      {"mi_cadQuick3", "Quick 3"},
      {"mi_dbfDIN2076", "DIN 2076 - din2076.dbf"},
      {"mi_helplanguageEspanol", "Españ&ol"},
      {"mi_HelpAbout", "&ZEB1"}};
  for (int n : {1, 2, 3, 4, 5, 6, 7, 8, 9, 12}) {
    ApplyMenuLanguage(n);
    for (const auto& [item, caption] : fixed) EXPECT_EQ(CaptionOf(item), caption) << item << " " << n;
  }
  // The print macro and the spreadsheet items speak the menu's language.
  ApplyMenuLanguage(1);
  EXPECT_EQ(CaptionOf("mi_filePrintMacro"), "Druck&makro...");
  EXPECT_EQ(CaptionOf("mi_OleStartExcel"), "Excel starten");
  EXPECT_EQ(CaptionOf("mi_olePrintoutExcel"), "Ausdruck -> Excel");
  ApplyMenuLanguage(3);
  EXPECT_EQ(CaptionOf("mi_filePrintMacro"), "&Macro d'impression...");
}

TEST_F(CaptionsTest, PrintMacroCaptionsFollowTheLanguage) {
  ApplyMenuLanguage(2);
  const auto captions = PrintMacroCaptions();
  EXPECT_EQ(captions[1], "&Standard Printout");
  EXPECT_EQ(captions[3], "&Quick 1");
  EXPECT_EQ(captions[7], "&Production drawing DIN 2099");
  EXPECT_EQ(captions[9], "F-s Load curve with tolerance zone");
  EXPECT_EQ(captions[12], "Haigh-&Goodman diagram");
  EXPECT_EQ(captions[13], "&Buckling diagram");
  EXPECT_EQ(captions[14], "");
}

}  // namespace
}  // namespace zeb
