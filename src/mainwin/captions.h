// Menu captions in ten languages: two tables of entries refilled for a
// language number, and the captions of the menu items composed from them.
// Texts are UTF-8 (the menus show Korean and Chinese whatever the code
// page); "&" marks the access key.
#pragma once
#include <string>
#include <string_view>

namespace zeb {

// Entries of table 1.
enum class Cap1 {
  Menu, File, New, Open, Save, SaveAs, Settings, Exit, Print, PrinterSetup, Edit, Text, Quick, Material,
  Production, Tolerance, Application, Dimensioning, PreDimensioning, Recalculation, CalculationMethod, View,
  StandardPrintout, Excerpt, Database, Cad, ProductionDrawing, Drawing, Projection, Profile, SimpleProfile,
  UpperView, Diagrams, Diagram, Document, DrawingData, ChangesInfo, ChangesPrintout, NewChange, EditChange,
  DeleteChange, DocumentSetup, Help, HelpPicture, ErrorMessages, Printout, Language, Homepage, Email,
  BaseData, Table, PrintMacro, StartSpreadsheet, ExportSpreadsheet, PrintoutSpreadsheet, Count
};

// Entries of table 2.
enum class Cap2 {
  CharLine, CharLineTolerance, Goodman, Buckling, Temperature, Stress, StressK, Fatigue, Compensation, Count
};

// Language numbers with texts: 1..9 and 12.
bool LanguageHasTexts(int n);
// Refill table 1 or 2 for language n; a number without texts changes
// nothing, and table 2 has no Romanian (7) texts.
void LoadMenuCaptionTexts(int n);
void LoadMenuItemTexts(int n);
// Both tables German.
void ResetCaptionTables();

const std::string& Caption(Cap1 entry);
const std::string& Caption(Cap2 entry);

// The caption of a menu item by its objectName from the current tables;
// false when the item keeps its design caption. taken: the access keys of
// the other items of its menu (upper case), for the items that are made of
// another item's word and take a key of their own.
bool ComposedCaption(std::string_view objectName, std::string& caption, std::string_view taken = {});
// Whether the item's access key is chosen so (ComposedCaption's taken).
bool TakesAFreeKey(std::string_view objectName);

// The texts of one language column (tests).
std::string LanguageEntry(int n, Cap1 entry);

}  // namespace zeb
