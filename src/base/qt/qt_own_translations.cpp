// Swedish and Romanian words for the texts of Qt's own dialogs this program
// shows (file chooser, print and page set-up, colour and font choosers,
// message-box buttons), for which Qt ships no translation file.
#include "base/qt/qt_own_translations.h"

#include <QHash>
#include <QString>

namespace zeb {

namespace {

struct Entry {
  const char* context;
  const char* source;
  const char* sv;
  const char* ro;
};

constexpr Entry kEntries[] = {
    // Standard buttons of message boxes and button boxes.
    {"QPlatformTheme", "OK", "OK", "OK"},
    {"QPlatformTheme", "&Yes", "&Ja", "&Da"},
    {"QPlatformTheme", "&No", "&Nej", "&Nu"},
    {"QPlatformTheme", "Yes to &All", "Ja till &alla", "Da la &toate"},
    {"QPlatformTheme", "N&o to All", "N&ej till alla", "N&u la toate"},
    {"QPlatformTheme", "Cancel", "Avbryt", "Anulează"},
    {"QPlatformTheme", "Abort", "Avbryt", "Abandonează"},
    {"QPlatformTheme", "Retry", "Försök igen", "Reîncearcă"},
    {"QPlatformTheme", "Ignore", "Ignorera", "Ignoră"},
    {"QPlatformTheme", "Close", "Stäng", "Închide"},
    {"QPlatformTheme", "Open", "Öppna", "Deschide"},
    {"QPlatformTheme", "Save", "Spara", "Salvează"},
    {"QPlatformTheme", "Save All", "Spara alla", "Salvează tot"},
    {"QPlatformTheme", "Don't Save", "Spara inte", "Nu salva"},
    {"QPlatformTheme", "Close without Saving", "Stäng utan att spara", "Închide fără salvare"},
    {"QPlatformTheme", "Discard", "Förkasta", "Renunță"},
    {"QPlatformTheme", "Apply", "Verkställ", "Aplică"},
    {"QPlatformTheme", "Reset", "Återställ", "Resetează"},
    {"QPlatformTheme", "Restore Defaults", "Återställ standardvärden", "Restabilește valorile implicite"},
    {"QPlatformTheme", "Help", "Hjälp", "Ajutor"},
    {"QMessageBox", "Show Details...", "Visa detaljer...", "Arată detaliile..."},
    {"QMessageBox", "Hide Details...", "Dölj detaljer...", "Ascunde detaliile..."},

    // File chooser.
    {"QFileDialog", "Open", "Öppna", "Deschide"},
    {"QFileDialog", "Save As", "Spara som", "Salvare ca"},
    {"QFileDialog", "Find Directory", "Välj mapp", "Alegeți dosarul"},
    {"QFileDialog", "&Open", "&Öppna", "&Deschide"},
    {"QFileDialog", "&Save", "&Spara", "&Salvează"},
    {"QFileDialog", "&Choose", "&Välj", "&Alege"},
    {"QFileDialog", "&Delete", "&Ta bort", "Ș&terge"},
    {"QFileDialog", "&Rename", "&Byt namn", "&Redenumește"},
    {"QFileDialog", "&New Folder", "&Ny mapp", "Dosar &nou"},
    {"QFileDialog", "New Folder", "Ny mapp", "Dosar nou"},
    {"QFileDialog", "Show &hidden files", "Visa &dolda filer", "Arată fișierele &ascunse"},
    {"QFileDialog", "Show ", "Visa ", "Arată "},
    {"QFileDialog", "All Files (*)", "Alla filer (*)", "Toate fișierele (*)"},
    {"QFileDialog", "Look in:", "Sök i:", "Caută în:"},
    {"QFileDialog", "File &name:", "Fil&namn:", "&Nume fișier:"},
    {"QFileDialog", "Files of type:", "Filtyp:", "Fișiere de tipul:"},
    {"QFileDialog", "Directory:", "Mapp:", "Dosar:"},
    {"QFileDialog", "Directories", "Mappar", "Dosare"},
    {"QFileDialog", "Files", "Filer", "Fișiere"},
    {"QFileDialog", "Back", "Bakåt", "Înapoi"},
    {"QFileDialog", "Forward", "Framåt", "Înainte"},
    {"QFileDialog", "Go back", "Gå bakåt", "Mergi înapoi"},
    {"QFileDialog", "Go forward", "Gå framåt", "Mergi înainte"},
    {"QFileDialog", "Parent Directory", "Överordnad mapp", "Dosarul părinte"},
    {"QFileDialog", "Go to the parent directory", "Gå till överordnad mapp", "Mergi la dosarul părinte"},
    {"QFileDialog", "Create New Folder", "Skapa ny mapp", "Creează dosar nou"},
    {"QFileDialog", "Create a New Folder", "Skapa en ny mapp", "Creează un dosar nou"},
    {"QFileDialog", "List View", "Listvy", "Vizualizare listă"},
    {"QFileDialog", "Detail View", "Detaljvy", "Vizualizare detaliată"},
    {"QFileDialog", "Change to list view mode", "Byt till listvy", "Comută la vizualizarea listă"},
    {"QFileDialog", "Change to detail view mode", "Byt till detaljvy", "Comută la vizualizarea detaliată"},
    {"QFileDialog", "Sidebar", "Sidopanel", "Bară laterală"},
    {"QFileDialog", "List of places and bookmarks", "Lista över platser och bokmärken",
     "Lista locurilor și a marcajelor"},
    {"QFileDialog", "Recent Places", "Senaste platser", "Locuri recente"},
    {"QFileDialog", "%1 already exists.\nDo you want to replace it?", "%1 finns redan.\nVill du ersätta den?",
     "%1 există deja.\nDoriți să-l înlocuiți?"},
    {"QFileDialog", "%1\nFile not found.\nPlease verify the correct file name was given.",
     "%1\nFilen hittades inte.\nKontrollera att rätt filnamn angavs.",
     "%1\nFișierul nu a fost găsit.\nVerificați dacă numele fișierului este corect."},
    {"QFileDialog", "%1\nDirectory not found.\nPlease verify the correct directory name was given.",
     "%1\nMappen hittades inte.\nKontrollera att rätt mappnamn angavs.",
     "%1\nDosarul nu a fost găsit.\nVerificați dacă numele dosarului este corect."},
    {"QFileDialog", "Are you sure you want to delete '%1'?", "Vill du verkligen ta bort \"%1\"?",
     "Sigur doriți să ștergeți „%1”?"},
    {"QFileDialog", "'%1' is write protected.\nDo you want to delete it anyway?",
     "\"%1\" är skrivskyddad.\nVill du ta bort den ändå?", "„%1” este protejat la scriere.\nDoriți să-l ștergeți oricum?"},
    {"QFileDialog", "Could not delete directory.", "Det gick inte att ta bort mappen.", "Dosarul nu a putut fi șters."},
    {"QFileSystemModel", "Name", "Namn", "Nume"},
    {"QFileSystemModel", "Size", "Storlek", "Dimensiune"},
    {"QFileSystemModel", "Type", "Typ", "Tip"},
    {"QFileSystemModel", "Date Modified", "Ändringsdatum", "Data modificării"},
    {"QFileSystemModel", "Computer", "Dator", "Calculator"},
    {"QFileSystemModel", "My Computer", "Den här datorn", "Calculatorul meu"},
    {"QFileSystemModel", "Invalid filename", "Ogiltigt filnamn", "Nume de fișier nevalid"},
    {"QAbstractFileIconProvider", "Drive", "Enhet", "Unitate"},
    {"QAbstractFileIconProvider", "Folder", "Mapp", "Dosar"},
    {"QAbstractFileIconProvider", "File", "Fil", "Fișier"},
    {"QAbstractFileIconProvider", "%1 File", "%1-fil", "Fișier %1"},

    // Print dialog and page set-up.
    {"QPrintDialog", "Print", "Skriv ut", "Tipărire"},
    {"QPrintDialog", "&Print", "&Skriv ut", "&Tipărește"},
    {"QPrintDialog", "&Options >>", "&Alternativ >>", "&Opțiuni >>"},
    {"QPrintDialog", "&Options <<", "&Alternativ <<", "&Opțiuni <<"},
    {"QPrintDialog", "Print to File (PDF)", "Skriv ut till fil (PDF)", "Tipărire în fișier (PDF)"},
    {"QPrintDialog", "Print To File ...", "Skriv ut till fil ...", "Tipărire în fișier ..."},
    {"QPrintDialog", "Local file", "Lokal fil", "Fișier local"},
    {"QPrintDialog", "Write PDF file", "Skriv PDF-fil", "Scrie fișier PDF"},
    {"QPrintDialog", "File exists", "Filen finns redan", "Fișierul există"},
    {"QPrintDialog", "<qt>Do you want to overwrite it?</qt>", "<qt>Vill du skriva över den?</qt>",
     "<qt>Doriți să-l suprascrieți?</qt>"},
    {"QPrintDialog", "The 'From' value cannot be greater than the 'To' value.",
     "Värdet \"Från\" kan inte vara större än värdet \"Till\".",
     "Valoarea „De la” nu poate fi mai mare decât valoarea „Până la”."},
    {"QPrintDialog", "Automatic", "Automatisk", "Automat"},
    {"QPrintDialog", "All Pages", "Alla sidor", "Toate paginile"},
    {"QPrintDialog", "Odd Pages", "Udda sidor", "Pagini impare"},
    {"QPrintDialog", "Even Pages", "Jämna sidor", "Pagini pare"},
    {"QPrintDialog", "Left to Right, Top to Bottom", "Vänster till höger, uppifrån och ned",
     "De la stânga la dreapta, de sus în jos"},
    {"QPrintDialog", "Left to Right, Bottom to Top", "Vänster till höger, nedifrån och upp",
     "De la stânga la dreapta, de jos în sus"},
    {"QPrintDialog", "Right to Left, Bottom to Top", "Höger till vänster, nedifrån och upp",
     "De la dreapta la stânga, de jos în sus"},
    {"QPrintDialog", "Right to Left, Top to Bottom", "Höger till vänster, uppifrån och ned",
     "De la dreapta la stânga, de sus în jos"},
    {"QPrintDialog", "Bottom to Top, Left to Right", "Nedifrån och upp, vänster till höger",
     "De jos în sus, de la stânga la dreapta"},
    {"QPrintDialog", "Bottom to Top, Right to Left", "Nedifrån och upp, höger till vänster",
     "De jos în sus, de la dreapta la stânga"},
    {"QPrintDialog", "Top to Bottom, Left to Right", "Uppifrån och ned, vänster till höger",
     "De sus în jos, de la stânga la dreapta"},
    {"QPrintDialog", "Top to Bottom, Right to Left", "Uppifrån och ned, höger till vänster",
     "De sus în jos, de la dreapta la stânga"},
    {"QPrintPreviewDialog", "Page Setup", "Utskriftsformat", "Configurare pagină"},
    {"QPrintWidget", "Printer", "Skrivare", "Imprimantă"},
    {"QPrintWidget", "&Name:", "&Namn:", "&Nume:"},
    {"QPrintWidget", "P&roperties", "E&genskaper", "P&roprietăți"},
    {"QPrintWidget", "Location:", "Plats:", "Locație:"},
    {"QPrintWidget", "Preview", "Förhandsgranska", "Previzualizare"},
    {"QPrintWidget", "Type:", "Typ:", "Tip:"},
    {"QPrintWidget", "Output &file:", "Utdata&fil:", "&Fișier de ieșire:"},
    {"QPrintSettingsOutput", "Copies", "Kopior", "Copii"},
    {"QPrintSettingsOutput", "Copies:", "Kopior:", "Copii:"},
    {"QPrintSettingsOutput", "Collate", "Sortera", "Colaționare"},
    {"QPrintSettingsOutput", "Reverse", "Omvänd ordning", "Ordine inversă"},
    {"QPrintSettingsOutput", "Print range", "Utskriftsintervall", "Interval de tipărire"},
    {"QPrintSettingsOutput", "Print all", "Skriv ut allt", "Tipărește tot"},
    {"QPrintSettingsOutput", "Pages from", "Sidor från", "Paginile de la"},
    {"QPrintSettingsOutput", "to", "till", "până la"},
    {"QPrintSettingsOutput", "Pages", "Sidor", "Pagini"},
    {"QPrintSettingsOutput", "Current Page", "Aktuell sida", "Pagina curentă"},
    {"QPrintSettingsOutput", "Selection", "Markering", "Selecție"},
    {"QPrintSettingsOutput", "Page Set:", "Sidurval:", "Set de pagini:"},
    {"QPrintSettingsOutput", "Output Settings", "Utmatningsinställningar", "Setări de ieșire"},
    {"QPrintSettingsOutput", "Options", "Alternativ", "Opțiuni"},
    {"QPrintSettingsOutput", "Color Mode", "Färgläge", "Mod culoare"},
    {"QPrintSettingsOutput", "Color", "Färg", "Color"},
    {"QPrintSettingsOutput", "Grayscale", "Gråskala", "Tonuri de gri"},
    {"QPrintSettingsOutput", "Double Sided Printing", "Dubbelsidig utskrift", "Tipărire față-verso"},
    {"QPrintSettingsOutput", "Off", "Av", "Oprit"},
    {"QPrintSettingsOutput", "Long side binding", "Bindning längs långsidan", "Legare pe latura lungă"},
    {"QPrintSettingsOutput", "Short side binding", "Bindning längs kortsidan", "Legare pe latura scurtă"},
    {"QPrintSettingsOutput",
     "Specify pages or ranges separated by commas. Ranges are specified by two numbers separated by a hyphen. E.g: "
     "3,5-7,9 prints pages 3, 5, 6, 7 and 9.",
     "Ange sidor eller intervall åtskilda med kommatecken. Ett intervall anges med två tal åtskilda av ett "
     "bindestreck. T.ex. 3,5-7,9 skriver ut sidorna 3, 5, 6, 7 och 9.",
     "Specificați pagini sau intervale separate prin virgule. Un interval se specifică prin două numere separate "
     "de o cratimă. De ex.: 3,5-7,9 tipărește paginile 3, 5, 6, 7 și 9."},
    {"QPageSetupWidget", "Paper", "Papper", "Hârtie"},
    {"QPageSetupWidget", "Page size:", "Sidstorlek:", "Dimensiune pagină:"},
    {"QPageSetupWidget", "Width:", "Bredd:", "Lățime:"},
    {"QPageSetupWidget", "Height:", "Höjd:", "Înălțime:"},
    {"QPageSetupWidget", "Paper source:", "Papperskälla:", "Sursă hârtie:"},
    {"QPageSetupWidget", "Custom", "Anpassad", "Personalizat"},
    {"QPageSetupWidget", "Orientation", "Orientering", "Orientare"},
    {"QPageSetupWidget", "Portrait", "Stående", "Portret"},
    {"QPageSetupWidget", "Landscape", "Liggande", "Peisaj"},
    {"QPageSetupWidget", "Reverse landscape", "Omvänt liggande", "Peisaj inversat"},
    {"QPageSetupWidget", "Reverse portrait", "Omvänt stående", "Portret inversat"},
    {"QPageSetupWidget", "Margins", "Marginaler", "Margini"},
    {"QPageSetupWidget", "top margin", "övre marginal", "marginea de sus"},
    {"QPageSetupWidget", "left margin", "vänster marginal", "marginea din stânga"},
    {"QPageSetupWidget", "right margin", "höger marginal", "marginea din dreapta"},
    {"QPageSetupWidget", "bottom margin", "nedre marginal", "marginea de jos"},
    {"QPageSetupWidget", "Page Layout", "Sidlayout", "Aspect pagină"},
    {"QPageSetupWidget", "Page order:", "Sidordning:", "Ordinea paginilor:"},
    {"QPageSetupWidget", "Pages per sheet:", "Sidor per ark:", "Pagini pe foaie:"},
    {"QPageSetupWidget", "Millimeters (mm)", "Millimeter (mm)", "Milimetri (mm)"},
    {"QPageSetupWidget", "Inches (in)", "Tum (in)", "Țoli (in)"},
    {"QPageSetupWidget", "Points (pt)", "Punkter (pt)", "Puncte (pt)"},
    {"QTabBar", "Scroll Left", "Rulla åt vänster", "Derulează la stânga"},
    {"QTabBar", "Scroll Right", "Rulla åt höger", "Derulează la dreapta"},

    // Colour and font choosers.
    {"QColorDialog", "Select Color", "Välj färg", "Alegeți culoarea"},
    {"QColorDialog", "&Basic colors", "Gr&undfärger", "Culori de &bază"},
    {"QColorDialog", "&Custom colors", "&Anpassade färger", "&Culori personalizate"},
    {"QColorDialog", "&Add to Custom Colors", "&Lägg till i anpassade färger", "&Adaugă la culorile personalizate"},
    {"QColorDialog", "&Pick Screen Color", "&Välj färg från skärmen", "&Preia culoarea de pe ecran"},
    {"QColorDialog", "Hu&e:", "&Nyans:", "&Nuanță:"},
    {"QColorDialog", "&Sat:", "&Mättnad:", "&Saturație:"},
    {"QColorDialog", "&Val:", "L&jushet:", "&Valoare:"},
    {"QColorDialog", "&Red:", "&Röd:", "&Roșu:"},
    {"QColorDialog", "&Green:", "&Grön:", "V&erde:"},
    {"QColorDialog", "Bl&ue:", "&Blå:", "Albastr&u:"},
    {"QColorDialog", "A&lpha channel:", "Alfa&kanal:", "Canal a&lfa:"},
    {"QColorDialog", "&HTML:", "&HTML:", "&HTML:"},
    {"QFontDialog", "Select Font", "Välj teckensnitt", "Alegeți fontul"},
    {"QFontDialog", "&Font", "&Teckensnitt", "&Font"},
    {"QFontDialog", "Font st&yle", "Teckenst&il", "St&il font"},
    {"QFontDialog", "&Size", "&Storlek", "&Dimensiune"},
    {"QFontDialog", "Effects", "Effekter", "Efecte"},
    {"QFontDialog", "Stri&keout", "&Genomstruken", "&Tăiat"},
    {"QFontDialog", "&Underline", "&Understruken", "&Subliniat"},
    {"QFontDialog", "Sample", "Exempel", "Exemplu"},
    {"QFontDialog", "Wr&iting System", "S&kriftsystem", "Sist&em de scriere"},
    {"QFontDatabase", "Any", "Alla", "Oricare"},
};

QString Key(const char* context, const char* source) {
  return QString::fromUtf8(context) + QChar(0) + QString::fromUtf8(source);
}

}  // namespace

OwnQtTranslator::OwnQtTranslator(bool romanian) {
  for (const Entry& e : kEntries) words_.insert(Key(e.context, e.source), QString::fromUtf8(romanian ? e.ro : e.sv));
}

QString OwnQtTranslator::translate(const char* context, const char* sourceText, const char*, int) const {
  if (context == nullptr || sourceText == nullptr) return {};
  return words_.value(Key(context, sourceText));
}

bool OwnQtTranslator::isEmpty() const { return words_.isEmpty(); }

int OwnQtTranslationCount() { return static_cast<int>(sizeof kEntries / sizeof kEntries[0]); }

}  // namespace zeb
