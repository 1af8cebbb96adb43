#include "mainwin/qt/config_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cstdlib>
#include <vector>

#include "base/choosers.h"
#include "base/globals.h"
#include "base/qt/forms.h"
#include "base/qt/qt_convert.h"
#include "base/text.h"

namespace zeb {

namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

class TconfigDialog : public QDialog {
 public:
  TconfigDialog(QWidget* owner, ConfigForm& f) : QDialog(owner), f_(f) {
    setObjectName("Tconfig");
    setWindowTitle(AnsiToQString(G().ProgramShortName) + " Konfiguration");
    auto* root = new QVBoxLayout(this);
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName("PageControl1");
    root->addWidget(tabs_);
    BuildDirectories();
    BuildGraphics();
    BuildCad();
    BuildPrinter();
    BuildPrintout();
    BuildSettings();
    BuildExtern();
    BuildDrawing();
    for (int i = 0; i < tabs_->count(); ++i) GridOf(tabs_->widget(i))->setRowStretch(Next(tabs_->widget(i)), 1);
    tabs_->setCurrentIndex(1);  // "Grafik" first

    auto* row = new QHBoxLayout;
    row->addStretch();
    auto* ok = Button("Button_ok", "OK", [this] {
      Collect();
      accept();
    });
    ok->setDefault(true);
    row->addWidget(ok);
    row->addWidget(Button("Button_cancel", "Abbrechen", [this] { reject(); }));
    row->addWidget(Button("Button_save", "&Speichern", [this] {
      Collect();
      SaveConfigForm(f_);
      Load();
    }));
    row->addWidget(Button("Button_import", "Import", [this] { Import(); }));
    row->addWidget(Button("Button_export", "Export", [this] { Export(); }));
    root->addLayout(row);
    Load();
    PlaceDialog(this, {0, 0, 640, 520});
  }

 private:
  ConfigForm& f_;
  QTabWidget* tabs_;
  std::vector<std::function<void()>> loaders_, collectors_;

  void Load() {
    for (auto& l : loaders_) l();
  }
  void Collect() {
    for (auto& c : collectors_) c();
  }

  void Import() {
    const QString path = QFileDialog::getOpenFileName(this, "Import", QString::fromStdString(G().ProgramFolder),
                                                      "*.cfg");
    Collect();
    if (ImportConfigForm(f_, path.toStdString())) Load();
  }
  void Export() {
    const QString path = QFileDialog::getSaveFileName(this, "Export", QString::fromStdString(G().ProgramFolder),
                                                      "*.cfg");
    Collect();
    ExportConfigForm(f_, path.toStdString());
  }

  QWidget* Page(const char* name, const char* caption) {
    auto* page = new QWidget(tabs_);
    page->setObjectName(name);
    new QGridLayout(page);
    tabs_->addTab(page, U(caption));
    return page;
  }
  static QGridLayout* GridOf(QWidget* w) { return static_cast<QGridLayout*>(w->layout()); }
  static int Next(QWidget* w) { return GridOf(w)->rowCount(); }

  QPushButton* Button(const char* name, const char* text, std::function<void()> onClick, QWidget* parent = nullptr) {
    auto* b = new QPushButton(U(text), parent != nullptr ? parent : this);
    b->setObjectName(name);
    connect(b, &QPushButton::clicked, this, std::move(onClick));
    return b;
  }
  // A "<" or "..." button beside a row that changes the form, then reloads.
  void RowButton(QWidget* page, int row, const char* name, const char* text, std::function<void()> change) {
    GridOf(page)->addWidget(Button(name, text, [this, change = std::move(change)] {
                              Collect();
                              change();
                              Load();
                            }, page),
                            row, 2);
  }

  QLineEdit* Edit(QWidget* page, const char* name, const char* caption, std::string& field, bool path = false) {
    const int row = Next(page);
    auto* l = new QLabel(U(caption), page);
    l->setObjectName(QString("Label_") + QString(name).section('_', 1));
    auto* e = new QLineEdit(page);
    e->setObjectName(name);
    GridOf(page)->addWidget(l, row, 0);
    GridOf(page)->addWidget(e, row, 1);
    loaders_.push_back([e, &field, path] {
      e->setText(path ? QString::fromStdString(field) : AnsiToQString(field));
    });
    collectors_.push_back([e, &field, path] { field = path ? e->text().toStdString() : QStringToAnsi(e->text()); });
    return e;
  }
  QCheckBox* Check(QWidget* page, const char* name, const QString& caption, bool& field) {
    auto* b = new QCheckBox(caption, page);
    b->setObjectName(name);
    GridOf(page)->addWidget(b, Next(page), 0, 1, 3);
    loaders_.push_back([b, &field] { b->setChecked(field); });
    collectors_.push_back([b, &field] { field = b->isChecked(); });
    return b;
  }
  void Radio(QWidget* page, const char* name, const char* caption, const std::vector<const char*>& items, int& field) {
    auto* box = new QGroupBox(U(caption), page);
    box->setObjectName(name);
    auto* layout = new QVBoxLayout(box);
    auto* group = new QButtonGroup(box);
    for (std::size_t i = 0; i < items.size(); ++i) {
      auto* b = new QRadioButton(U(items[i]), box);
      b->setObjectName(QString("%1_%2").arg(name).arg(i));
      group->addButton(b, static_cast<int>(i));
      layout->addWidget(b);
    }
    GridOf(page)->addWidget(box, Next(page), 0, 1, 3);
    loaders_.push_back([group, &field] {
      if (QAbstractButton* b = group->button(field)) b->setChecked(true);
    });
    collectors_.push_back([group, &field] {
      if (group->checkedId() >= 0) field = group->checkedId();
    });
  }
  QSpinBox* Spin(QWidget* page, const char* name, const char* caption, int& field, SpinRange r) {
    const int row = Next(page);
    auto* l = new QLabel(U(caption), page);
    auto* s = new QSpinBox(page);
    s->setObjectName(name);
    s->setRange(r.min, r.max);
    GridOf(page)->addWidget(l, row, 0);
    GridOf(page)->addWidget(s, row, 1);
    loaders_.push_back([s, &field] { s->setValue(field); });
    collectors_.push_back([s, &field] { field = s->value(); });
    return s;
  }
  QComboBox* Combo(QWidget* page, const char* name, const char* caption, const QStringList& items, int& field) {
    const int row = Next(page);
    GridOf(page)->addWidget(new QLabel(U(caption), page), row, 0);
    auto* c = new QComboBox(page);
    c->setObjectName(name);
    c->addItems(items);
    GridOf(page)->addWidget(c, row, 1);
    loaders_.push_back([c, &field] { c->setCurrentIndex(field); });
    collectors_.push_back([c, &field] { field = c->currentIndex(); });
    return c;
  }

  void BuildDirectories() {
    QWidget* p = Page("Tab_dir", "Directories");
    Edit(p, "Edit_dirdbf", "Ordner für Datenbankdateien (dbf)", f_.dirDbf, true);
    Edit(p, "Edit_direxe", "TALMORE-Programm-Ordner", f_.dirExe, true);
    Edit(p, "Edit_dirplt", "Ordner für Hilfebilder (.plt) und Hilfetexte (.hlp)", f_.dirHelp, true);
    const int temp = Next(p);
    Edit(p, "Edit_dirtemp", "Temporärer Ordner", f_.dirTemp, true);
    RowButton(p, temp, "Button_dirtempenv", "<", [this] {
      const char* env = std::getenv("TEMP");
      const std::string t = TrimBlanks(env != nullptr ? env : "");
      if (!t.empty()) f_.dirTemp = t;
    });
    Edit(p, "Edit_diredi", "EDI Ordner", f_.dirEdi, true);
    Edit(p, "Edit_dirdata", ".zeb Ordner", f_.dirData, true);
    Edit(p, "Edit_dircad", "CAD Ordner", f_.dirCad, true);
    auto* working = new QLineEdit(QDir::currentPath(), p);
    working->setObjectName("Edit_dirworking");
    working->setReadOnly(true);
    const int row = Next(p);
    GridOf(p)->addWidget(new QLabel(U("Arbeitsverzeichnis"), p), row, 0);
    GridOf(p)->addWidget(working, row, 1);
    const char* user = std::getenv("USERNAME");
    auto* l = new QLabel(U("User: ") + QString::fromLocal8Bit(user != nullptr ? user : ""), p);
    l->setObjectName("Label_user");
    GridOf(p)->addWidget(l, Next(p), 0);
  }

  void BuildGraphics() {
    QWidget* p = Page("Tab_grafik", "Grafik");
    Radio(p, "RadioGroup_bildschirmgrafik", "Farbgrafik", {"color", "monochrom"}, f_.colourGraphics);
    Edit(p, "Edit_x", "Fenstergroesse x", f_.resX);
    Edit(p, "Edit_y", "Fenstergroesse y", f_.resY);
    Edit(p, "Edit_font", "Font", f_.font);
    int row = Next(p);
    Edit(p, "Edit_textbreitenfaktor", "Textbreitenfaktor", f_.textWidthFactor);
    RowButton(p, row, "Button_textbreitenfaktor", "<", [this] { f_.textWidthFactor = "0.8"; });
    row = Next(p);
    Edit(p, "Edit_texthoehenfaktor", "Texthöhenfaktor", f_.textHeightFactor);
    RowButton(p, row, "Button_texthoehenfaktor", "<", [this] { f_.textHeightFactor = "1"; });
    row = Next(p);
    Edit(p, "Edit_zoomfaktor", "Zoomfaktor", f_.zoomFactor);
    RowButton(p, row, "Button_zoom", "<", [this] { f_.zoomFactor = "1.02"; });
    row = Next(p);
    Edit(p, "Edit_panfaktor", "Pan-Faktor", f_.panFactor);
    RowButton(p, row, "Button_pan", "<", [this] { f_.panFactor = "0.02"; });
    Check(p, "CheckBox_umrandung", U("Umrandung"), f_.border);
    Spin(p, "SpinEdit_dialogfenster", "Dialogfenster Größe %", f_.dialogSize, kDialogPercentRange);
    Spin(p, "SpinEdit_dialogelemente", "Dialogelemente Größe %", f_.dialogElements, kDialogPercentRange);
    Check(p, "CheckBox_3dxyz", U("3D Edit x,y,z"), f_.edit3d);
    Edit(p, "Edit_3dx", "x °", f_.angles3d[0]);
    Edit(p, "Edit_3dy", "y °", f_.angles3d[1]);
    Edit(p, "Edit_3dz", "z °", f_.angles3d[2]);
    // A sample of the footer line.
    const QDateTime now = QDateTime::currentDateTime();
    Check(p, "CheckBox_zeichfusszeile",
          now.toString("dd.MM.yyyy hh:mm") + " - TALMORE " + AnsiToQString(G().ProgramShortName) + " V" +
              AnsiToQString(G().ProgramVersion) + " - ..",
          f_.footerLine);
  }

  void BuildCad() {
    QWidget* p = Page("Tab_cad", "CAD");
    auto* grid = new QTableWidget(5, 3, p);
    grid->setObjectName("StringGrid_layer");
    grid->setHorizontalHeaderLabels({"Layer", "Farbe", U("Strichstärke")});
    grid->setVerticalHeaderLabels({"Ausgezogene  Linie   0.50 mm", "Ausgezogene  Linie   0.35 mm",
                                   "Ausgezogene  Linie   0.25 mm", "Gestrichelte Linie   0.25 mm",
                                   "Mittellinie          0.25 mm"});
    GridOf(p)->addWidget(grid, Next(p), 0, 1, 3);
    loaders_.push_back([this, grid] {
      for (int r = 0; r < 5; ++r) {
        const auto i = static_cast<std::size_t>(r);
        grid->setItem(r, 0, new QTableWidgetItem(AnsiToQString(f_.layerName[i])));
        grid->setItem(r, 1, new QTableWidgetItem(AnsiToQString(f_.layerColour[i])));
        grid->setItem(r, 2, new QTableWidgetItem(AnsiToQString(f_.layerWidth[i])));
      }
    });
    collectors_.push_back([this, grid] {
      for (int r = 0; r < 5; ++r) {
        const auto i = static_cast<std::size_t>(r);
        f_.layerName[i] = QStringToAnsi(grid->item(r, 0)->text());
        f_.layerColour[i] = QStringToAnsi(grid->item(r, 1)->text());
        f_.layerWidth[i] = QStringToAnsi(grid->item(r, 2)->text());
      }
    });
    auto* buttons = new QHBoxLayout;
    for (int layer = 5; layer >= 1; --layer) {
      buttons->addWidget(Button(("Button_layer" + std::to_string(layer)).c_str(), "<", [this, layer] {
        Collect();
        DefaultLayer(f_, layer);
        Load();
      }, p));
    }
    GridOf(p)->addLayout(buttons, Next(p), 0, 1, 3);
    Check(p, "CheckBox_layermonochrom", U("Layer Monochrom ?"), f_.layerMonochrome);
    Edit(p, "Edit_cadfont", "Textstil", f_.cadFont);
    Edit(p, "Edit_cadtextbreite", "Textbreitenfaktor", f_.cadTextWidth);
    Edit(p, "Edit_cadtextwinkel", "Textwinkel", f_.cadTextAngle);
    Check(p, "CheckBox_diagrammgrenzen", U("Diagrammgrenzen abfragen"), f_.askDiagramLimits);
    Spin(p, "SpinEdit_dxfdec", "Anzahl der Dezimalstellen DXF, TXT", f_.cadDecimals, kCadDecimalsRange);
    Radio(p, "radiogroupcadtexttyp", "Text Type", {"OEM (ASCII)", "ANSI", "Ä->Ae, ß->ss..."}, f_.cadTextType);
  }

  void BuildPrinter() {
    QWidget* p = Page("Tab_drucker", "Drucker");
    Edit(p, "Edit_printscale", "Maßstab x", f_.printScale);
    const int row = Next(p);
    Edit(p, "Edit_printscaley", "Maßstab y", f_.printScaleY);
    RowButton(p, row, "Button_scaleyx", "<", [this] { f_.printScaleY = f_.printScale; });
    Edit(p, "Edit_printxorigin", "Ursprung x", f_.printOriginX);
    Edit(p, "Edit_printyorigin", "Ursprung y", f_.printOriginY);
    Radio(p, "RadioGroup_printmono", "Schattierung", {"Monochrom", "Color / Graustufen"}, f_.printMono);
    Radio(p, "RadioGroup_orientation", "Ausdruck", {"Hochformat", "Querformat"}, f_.orientation);
    Check(p, "CheckBox_printerDialogbox", U("Ausgabeformat abfragen"), f_.printerDialogBox);
    Radio(p, "RadioGroup_lpt", "Druckerschnittstelle für Textausdruck", {"LPT1", "LPT2", "LPT3", "LPT4"}, f_.lpt);
  }

  void BuildPrintout() {
    QWidget* p = Page("Tab_textdruck", "Ausdruck");
    Radio(p, "RadioGroup_trenn", "Form der Trennzeilen im Ausdruck",
          {"Trennlinien  ---- ====  ****", "Trennlinien  ──── ════  ****", "Leerzeichen und Leerzeilen",
           "komprimiert, ohne Trennzeilen"},
          f_.lineStyle);
    Spin(p, "SpinEdit_linesperpage", "Max. Anzahl Zeilen/Seite auf dem Ausdruck", f_.linesPerPage,
         kLinesPerPageRange);
    Spin(p, "SpinEdit_spacelines", "Leerzeilen am Seitenanfang", f_.spaceLines, kSpaceLinesRange);
    Radio(p, "RadioGroup_date", "Datum", {"DD.MM.YYYY", "MM/DD/YYYY", "YYYY/MM/DD", "DD/MM/YYYY"}, f_.date);
    const int row = Next(p);
    GridOf(p)->addWidget(new QLabel(U("Ausgabeformat"), p), row, 0);
    auto* target = new QComboBox(p);
    target->setObjectName("ComboBox_ausdruckdefault");
    for (const std::string& name : ConfigOutputTargetNames()) target->addItem(AnsiToQString(OemToAnsiBuf(name)));
    GridOf(p)->addWidget(target, row, 1);
    loaders_.push_back([this, target] { target->setCurrentText(AnsiToQString(OemToAnsiBuf(f_.outputTarget))); });
    collectors_.push_back([this, target] { f_.outputTarget = AnsiToOemBuf(QStringToAnsi(target->currentText())); });
    Check(p, "CheckBox_ausdruckshowdialog", U("Ausgabeformat abfragen"), f_.askOutputTarget);
    Edit(p, "Edit_left", "links", f_.textLeft);
    Edit(p, "Edit_top", "oben", f_.textTop);
    Edit(p, "Edit_width", "Breite", f_.textWidth);
    const int h = Next(p);
    Edit(p, "Edit_height", "Höhe", f_.textHeight);
    RowButton(p, h, "Button_Textwindow", "<", [this] { DefaultTextWindow(f_); });
    Radio(p, "RadioGroup_ff", "Textausdruck", {"mit Kopf", "Kopf nur 1.Seite"}, f_.pageHead);
    Radio(p, "RadioGroup_ausgrad", " Winkel ", {"15.1234°", "15° 7' 26\""}, f_.angleFormat);
  }

  void BuildSettings() {
    QWidget* p = Page("Tab_einstellung", "Einstellungen");
    Radio(p, "RadioGroup_hilfegrad", "Hilfegrad",
          {"0 : Keine Info nach Eingabe", "1 : Normale Einstellung", "2 : Erweiterte Hilfe, Einzeleingabe"},
          f_.helpLevel);
    Radio(p, "RadioGroup_punktkomma", "Dezimalzeichen CAD->TXT ", {"x.xx", "x,xx"}, f_.decimalComma);
    Radio(p, "RadioGroup_ExcelDot", "Dezimalzeichen Excel", {"English x.xx", "German x,xx"}, f_.spreadsheetDecimal);
    Spin(p, "SpinEdit_dezimalstellen", "Anzahl der Dezimalstellen", f_.decimals, kDecimalsRange);
    Check(p, "CheckBox_archivmode", U("Archivierungsmodus ?"), f_.archiveMode);
    Radio(p, "RadioGroup_chars", " Sonderzeichen ", {"²  µ  °", "2  u  deg"}, f_.plainText);
    Radio(p, "RadioGroup_ergebnisgrafik", "Ergebnisgrafik",
          {"egal", "Quick", "Quick 3", "Fertigungszeichnung", "Diagramm", "Zeichnung", "Quick 4"}, f_.drawingKind);
    Check(p, "CheckBox_aktuellfile", U("aktuell.zeb ?"), f_.currentFile);
    QStringList units;
    for (int i = 1; i <= 5; ++i) units << AnsiToQString(OemToAnsiBuf(G().UnitSystemNames[static_cast<std::size_t>(i)]));
    Combo(p, "ComboBox_unit", "Einheit", units, f_.unitSystem);
    Check(p, "CheckBox_saveMenuLanguage", U("Save Menu Language ?"), f_.saveMenuLanguage);
  }

  void BuildExtern() {
    QWidget* p = Page("Tab_extern", "Extern");
    auto* list = new QListWidget(p);
    list->setObjectName("ListBox_gravelo");
    GridOf(p)->addWidget(new QLabel(U("GRAVELO Command Lines"), p), Next(p), 0);
    GridOf(p)->addWidget(list, Next(p), 0, 1, 3);
    loaders_.push_back([this, list] {
      list->clear();
      for (const std::string& line : f_.plotLines) list->addItem(AnsiToQString(line));
    });
    collectors_.push_back([this, list] {
      for (int i = 0; i < 5 && i < list->count(); ++i)
        f_.plotLines[static_cast<std::size_t>(i)] = QStringToAnsi(list->item(i)->text());
    });
    int row = Next(p);
    Edit(p, "Edit_externtxt", "Textprogramm", f_.textProgram, true);
    RowButton(p, row, "Button_externtxt", "...", [this] {
      const std::string path = AskOpenFilePath(f_.textProgram, kProgramPattern);
      if (!path.empty()) f_.textProgram = path;
      G().AbortFlag = 0;
    });
    row = Next(p);
    Edit(p, "Edit_externhtml", "HTML Browser", f_.htmlBrowser, true);
    RowButton(p, row, "Button_externhtml", "...", [this] {
      const std::string path = AskOpenFilePath(f_.htmlBrowser, kProgramPattern);
      if (!path.empty()) f_.htmlBrowser = path;
      G().AbortFlag = 0;
    });
  }

  void BuildDrawing() {
    QWidget* p = Page("Tab_zeichnung", "Zeichnung");
    Radio(p, "RadioGroup_index", "Index", {"a,b,c...", "1,2,3...", "A,B,C...", "......"}, f_.indexStyle);
    int row = Next(p);
    Edit(p, "Edit_freigabefeld", "Freigabefeld", f_.releaseField);
    RowButton(p, row, "Button_freigabefeld", "<", [this] { f_.releaseField = "Frei"; });
    row = Next(p);
    Edit(p, "Edit_massfaktorconfig", "Größenfaktor Bemaßung", f_.dimensionFactor);
    RowButton(p, row, "Button_massfaktorconfig", "<", [this] { f_.dimensionFactor = "1.0"; });
    Check(p, "CheckBox_zeichtalmoretitel",
          "TALMORE " + AnsiToQString(G().ProgramTitle) + " V" + AnsiToQString(G().ProgramVersion) + " ?",
          f_.makerTitle);
    Check(p, "CheckBox_zeichfilename", U("file name"), f_.fileName);
    Check(p, "CheckBox_zeichdatum", U("Datum"), f_.dateShown);
    Check(p, "CheckBox_zeichlogo", U("$logo_1.dx$ ?"), f_.logo);
    Check(p, "CheckBox_zeichnungskopf", U("Fertigungszeichnung mit Kopf ?"), f_.titleBlock);
    Combo(p, "ComboBox_zeichnkopf", "Zeichnung mit Kopf",
          {"DIN 6771 min.", "ISO 7200 Fig.1", "ISO 7200 Fig.2", "DIN 6771"}, f_.titleBlockKind);
  }
};

}  // namespace

std::function<bool(ConfigForm&)> QtConfigRunner(QWidget* owner) {
  return [owner](ConfigForm& f) {
    TconfigDialog form(owner, f);
    const bool ok = form.exec() == QDialog::Accepted;
    // The window takes the background colour, whatever the answer.
    if (auto* window = qobject_cast<QMainWindow*>(owner); window != nullptr && window->centralWidget() != nullptr) {
      QPalette p = window->centralWidget()->palette();
      p.setColor(QPalette::Window, ColourNumberToQColor(G().BackgroundColour));
      window->centralWidget()->setPalette(p);
    }
    return ok;
  };
}

}  // namespace zeb
