#include "mainwin/qt/config_dialog.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFontDialog>
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
#include <algorithm>
#include <cstdlib>
#include <utility>
#include <vector>

#include "base/choosers.h"
#include "base/files.h"
#include "base/format.h"
#include "base/globals.h"
#include "base/language_texts.h"
#include "base/qt/forms.h"
#include "base/qt/qt_convert.h"
#include "base/text.h"
#include "base/ui_port.h"
#include "mainwin/qt/input_dialogs.h"
#include "mainwin/qt/qt_printer_port.h"
#include "settings/config.h"

namespace zeb {

namespace {

QString U(const char* s) { return QString::fromUtf8(s); }
QString Oem(std::string_view s) { return AnsiToQString(OemToAnsiStr(s)); }
QString Num(int n) { return QString::number(n); }

ConfigDialogSeams& Seams() {
  static ConfigDialogSeams s;
  return s;
}

bool ChooseColour(std::uint32_t& colour) {
  if (Seams().chooseColour) return Seams().chooseColour(colour);
  const QColor c = QColorDialog::getColor(ColourValueToQColor(colour), QApplication::activeModalWidget());
  if (!c.isValid()) return false;
  colour = QColorToColourValue(c);
  return true;
}

bool ChooseFont(FontChoice& font, bool fixedPitch) {
  if (Seams().chooseFont) return Seams().chooseFont(font, fixedPitch);
  bool ok = false;
  const QFontDialog::FontDialogOptions options =
      fixedPitch ? QFontDialog::MonospacedFonts : QFontDialog::ScalableFonts;
  const QFont f = QFontDialog::getFont(&ok, TextFont(font.name, font.size, font.style),
                                       QApplication::activeModalWidget(), "Font", options);
  if (!ok) return false;
  font.name = QStringToAnsi(f.family());
  if (fixedPitch) font.size = f.pointSize();
  font.style = FontStyleBits(f);
  return true;
}

// A colour panel: its caption on its colour.
void Paint(QWidget* panel, std::uint32_t colour) {
  const QColor c = ColourValueToQColor(colour);
  const QString text = c.lightness() < 128 ? "white" : "black";
  panel->setStyleSheet(QString("background-color: %1; color: %2; border: 1px solid gray;").arg(c.name(), text));
}

// Hints of the labels and groups while the help level is above 0.
struct Hint {
  const char* control;
  int number;
};
constexpr Hint kHints[] = {
    {"Label_dircad", 1570},  {"Label_dirdbf", 1600},         {"Label_dirtemp", 1610},
    {"Label_dirplt", 1590},  {"Label_diredi", 1595},         {"Label_direxe", 1830},
    {"Label_dirworking", 1605}, {"Label_dirdata", 1615},     {"RadioGroup_bildschirmgrafik", 1670},
    {"GroupBox_aufloesung", 1710}, {"Label_zoomfaktor", 1800}, {"Label_panfaktor", 1810},
    {"Label_textbreitenfaktor", 1730}, {"Label_texthoehenfaktor", 1730}, {"Label_dialogfenster", 1725},
    {"Label_dialogelemente", 1725}, {"Label_cadfont", 1720},  {"Label_cadtextbreite", 1730},
    {"Label_cadtextwinkel", 1740}, {"CheckBox_diagrammgrenzen", 1960}, {"Label_dxfdec", 1980},
    {"CheckBox_layermonochrom", 1585}, {"RadioGroup_punktkomma", 1755}, {"RadioGroup_hilfegrad", 1580},
    {"Label_dezimalstellen", 1750}, {"CheckBox_archivmode", 2530}, {"CheckBox_aktuellfile", 2535}};
// Hints shown at every help level.
constexpr Hint kFixedHints[] = {{"RadioGroup_ergebnisgrafik", 2820}, {"Label_externtxt", 2500}};

class TconfigDialog : public QDialog {
 public:
  TconfigDialog(QWidget* owner, ConfigForm& f) : QDialog(owner), f_(f) {
    setObjectName("Tconfig");
    setWindowTitle(Oem(G().ProductName) + " Konfiguration");
    auto* root = new QVBoxLayout(this);
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName("PageControl1");
    root->addWidget(tabs_);
    BuildDirectories();
    BuildGraphics();
    BuildCad();
    BuildColours();
    BuildPrinter();
    BuildPrintout();
    BuildSettings();
    BuildExtern();
    BuildDrawing();
    for (QWidget* w : grids_) GridOf(w)->setRowStretch(Next(w), 1);
    tabs_->setCurrentIndex(1);  // "Grafik" first
    SetHints();

    auto* row = new QHBoxLayout;
    row->addStretch();
    auto* ok = Button("Button_ok", "OK", [this] {
      if (Checked()) accept();
    });
    ok->setDefault(true);
    row->addWidget(ok);
    row->addWidget(Button("Button_cancel", "Abbrechen", [this] { reject(); }));
    row->addWidget(Button("Button_save", "&Speichern", [this] {
      if (!Checked()) return;
      SaveConfigForm(f_);
      Load();
    }));
    row->addWidget(Button("Button_import", "Import", [this] { Import(); }));
    row->addWidget(Button("Button_export", "Export", [this] { Export(); }));
    root->addLayout(row);
    Load();
    adjustSize();
    PlaceDialog(this, {0, 0, std::max(width(), 640), std::max(height(), 520)});
    move(x(), std::max(y() - 10, 0));
  }

 private:
  ConfigForm& f_;
  QTabWidget* tabs_;
  std::vector<QWidget*> grids_;  // every widget laid out by a grid of rows
  std::vector<std::function<void()>> loaders_, collectors_;
  std::vector<std::string> printerChoices_;

  void Load() {
    for (auto& l : loaders_) l();
  }
  void Collect() {
    for (auto& c : collectors_) c();
  }
  // Collects the controls, changes the form, shows it again.
  void Change(const std::function<void()>& change) {
    Collect();
    change();
    Load();
  }

  void Import() {
    std::string path;
    if (!Ui().ChooseOpenFile(G().ProgramFolder, "*.cfg|*.cfg", path)) path.clear();
    Collect();
    if (ImportConfigForm(f_, path)) Load();
  }
  void Export() {
    if (!Checked()) return;
    std::string path;
    if (!ChooseFileToWrite(G().ProgramFolder, "*.cfg|*.cfg", "", path)) path.clear();
    Collect();
    ExportConfigForm(f_, path);
  }
  // The controls collected and checked; a refused field is shown on its
  // page with its text back and the cursor in it.
  bool Checked() {
    Collect();
    FieldRefusal r;
    if (CheckConfigForm(f_, &r)) return true;
    Load();
    if (auto* e = findChild<QLineEdit*>(QString::fromStdString(r.control))) {
      for (QWidget* p = e->parentWidget(); p != nullptr; p = p->parentWidget())
        if (tabs_->indexOf(p) >= 0) tabs_->setCurrentWidget(p);
      e->setFocus();
      e->selectAll();
    }
    return false;
  }

  void SetHints() {
    for (const Hint& h : kFixedHints)
      if (auto* w = findChild<QWidget*>(h.control)) SetHelpHint(w, h.number);
    if (G().HelpLevel <= 0) return;
    for (const Hint& h : kHints)
      if (auto* w = findChild<QWidget*>(h.control)) SetHelpHint(w, h.number);
  }

  // --- Layout: every page and group is a grid of rows ------------------------

  QWidget* Grid(QWidget* w) {
    (new QGridLayout(w))->setColumnStretch(1, 1);
    grids_.push_back(w);
    return w;
  }
  QWidget* Page(const char* name, const char* caption) {
    auto* page = new QWidget(tabs_);
    page->setObjectName(name);
    tabs_->addTab(page, U(caption));
    return Grid(page);
  }
  // Two columns side by side in the next row of page.
  std::pair<QWidget*, QWidget*> Columns(QWidget* page) {
    auto* a = Grid(new QWidget(page));
    auto* b = Grid(new QWidget(page));
    GridOf(a)->setContentsMargins(0, 0, 0, 0);
    GridOf(b)->setContentsMargins(0, 0, 0, 0);
    auto* row = new QHBoxLayout;
    row->addWidget(a, 1);
    row->addWidget(b, 1);
    GridOf(page)->addLayout(row, Next(page), 0, 1, 4);
    return {a, b};
  }
  QGroupBox* Group(QWidget* parent, const char* name, const char* caption) {
    auto* g = new QGroupBox(U(caption), parent);
    g->setObjectName(name);
    Grid(g);
    GridOf(parent)->addWidget(g, Next(parent), 0, 1, 4);
    return g;
  }
  static QGridLayout* GridOf(QWidget* w) { return static_cast<QGridLayout*>(w->layout()); }
  static int Next(QWidget* w) { return GridOf(w)->rowCount(); }

  QPushButton* Button(const char* name, const char* text, std::function<void()> onClick, QWidget* parent = nullptr) {
    auto* b = new QPushButton(U(text), parent != nullptr ? parent : this);
    b->setObjectName(name);
    connect(b, &QPushButton::clicked, this, std::move(onClick));
    return b;
  }
  // A "<" or "..." button in column col of a row: changes the form.
  void RowButton(QWidget* page, int row, const char* name, const char* text, std::function<void()> change,
                 int col = 2) {
    auto* b = Button(name, text, [this, change = std::move(change)] { Change(change); }, page);
    if (std::string_view(text).size() <= 3) b->setFixedWidth(b->fontMetrics().horizontalAdvance("...") + 24);
    GridOf(page)->addWidget(b, row, col);
  }
  // A help button at the right end of the next row.
  void HelpButton(QWidget* page, const char* name, int number) {
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(Button(name, "&Hilfe", [number] { ShowHelpTextBox(number); }, page));
    GridOf(page)->addLayout(row, Next(page), 0, 1, 4);
  }

  QLabel* Label(QWidget* page, const QString& name, const QString& caption) {
    auto* l = new QLabel(caption, page);
    l->setObjectName(name);
    return l;
  }
  static QString LabelName(const char* control) { return "Label_" + QString(control).section('_', 1); }

  QLineEdit* Edit(QWidget* page, const char* name, const QString& caption, std::string& field, bool path = false) {
    const int row = Next(page);
    auto* e = new QLineEdit(page);
    e->setObjectName(name);
    GridOf(page)->addWidget(Label(page, LabelName(name), caption), row, 0);
    GridOf(page)->addWidget(e, row, 1);
    loaders_.push_back([e, &field, path] {
      e->setText(path ? QString::fromStdString(field) : AnsiToQString(field));
    });
    collectors_.push_back([e, &field, path] { field = path ? e->text().toStdString() : QStringToAnsi(e->text()); });
    return e;
  }
  QLineEdit* Edit(QWidget* page, const char* name, const char* caption, std::string& field, bool path = false) {
    return Edit(page, name, U(caption), field, path);
  }
  // An edit with a "<" button that puts value into it.
  void DefaultEdit(QWidget* page, const char* name, const char* caption, std::string& field, const char* button,
                   const char* value) {
    const int row = Next(page);
    Edit(page, name, caption, field);
    RowButton(page, row, button, "<", [&field, value] { field = value; });
  }
  QCheckBox* Check(QWidget* page, const char* name, const QString& caption, bool& field) {
    auto* b = new QCheckBox(caption, page);
    b->setObjectName(name);
    GridOf(page)->addWidget(b, Next(page), 0, 1, 4);
    loaders_.push_back([b, &field] { b->setChecked(field); });
    collectors_.push_back([b, &field] { field = b->isChecked(); });
    return b;
  }
  void Radio(QWidget* page, const char* name, const char* caption, const std::vector<const char*>& items, int& field,
             int columns = 1) {
    auto* box = new QGroupBox(U(caption), page);
    box->setObjectName(name);
    auto* layout = new QGridLayout(box);
    auto* group = new QButtonGroup(box);
    const int n = static_cast<int>(items.size());
    const int rows = (n + columns - 1) / columns;
    for (int i = 0; i < n; ++i) {
      auto* b = new QRadioButton(U(items[static_cast<std::size_t>(i)]), box);
      b->setObjectName(QString("%1_%2").arg(name).arg(i));
      group->addButton(b, i);
      layout->addWidget(b, i % rows, i / rows);
    }
    GridOf(page)->addWidget(box, Next(page), 0, 1, 4);
    loaders_.push_back([group, &field] {
      if (QAbstractButton* b = group->button(field)) b->setChecked(true);
    });
    collectors_.push_back([group, &field] {
      if (group->checkedId() >= 0) field = group->checkedId();
    });
  }
  QSpinBox* Spin(QWidget* page, const char* name, const char* caption, int& field, SpinRange r, int maxLength) {
    const int row = Next(page);
    auto* s = new QSpinBox(page);
    s->setObjectName(name);
    s->setRange(r.min, r.max);
    s->setMaximumWidth(s->fontMetrics().horizontalAdvance(QString(maxLength + 4, '0')) + 30);
    GridOf(page)->addWidget(Label(page, LabelName(name), U(caption)), row, 0);
    GridOf(page)->addWidget(s, row, 1);
    loaders_.push_back([s, &field] { s->setValue(field); });
    collectors_.push_back([s, &field] { field = s->value(); });
    return s;
  }
  QComboBox* Combo(QWidget* page, const char* name, const char* caption, const QStringList& items, int& field) {
    const int row = Next(page);
    GridOf(page)->addWidget(Label(page, LabelName(name), U(caption)), row, 0);
    auto* c = new QComboBox(page);
    c->setObjectName(name);
    c->addItems(items);
    GridOf(page)->addWidget(c, row, 1);
    loaders_.push_back([c, &field] { c->setCurrentIndex(field); });
    collectors_.push_back([c, &field] { field = c->currentIndex(); });
    return c;
  }
  // A string grid bound to columns of the form; cells keep their items.
  QTableWidget* StringGrid(QWidget* page, const char* name, const QStringList& rows, const QStringList& columns,
                           std::vector<std::string*> cells) {
    auto* grid = new QTableWidget(static_cast<int>(rows.size()), static_cast<int>(columns.size()), page);
    grid->setObjectName(name);
    grid->setHorizontalHeaderLabels(columns);
    grid->setVerticalHeaderLabels(rows);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed |
                          QAbstractItemView::SelectedClicked);
    for (int r = 0; r < grid->rowCount(); ++r)
      for (int c = 0; c < grid->columnCount(); ++c) grid->setItem(r, c, new QTableWidgetItem);
    grid->setCurrentCell(0, 0);
    const int cols = grid->columnCount();
    loaders_.push_back([grid, cells, cols] {
      for (std::size_t i = 0; i < cells.size(); ++i)
        grid->item(static_cast<int>(i) / cols, static_cast<int>(i) % cols)->setText(AnsiToQString(*cells[i]));
    });
    collectors_.push_back([grid, cells, cols] {
      for (std::size_t i = 0; i < cells.size(); ++i)
        *cells[i] = QStringToAnsi(grid->item(static_cast<int>(i) / cols, static_cast<int>(i) % cols)->text());
    });
    GridOf(page)->addWidget(grid, Next(page), 0, 1, 4);
    return grid;
  }
  // The grid as large as its cells.
  static void FitGrid(QTableWidget* grid) {
    int w = grid->verticalHeader()->sizeHint().width() + 2 * grid->frameWidth();
    int h = grid->horizontalHeader()->sizeHint().height() + 2 * grid->frameWidth();
    for (int c = 0; c < grid->columnCount(); ++c) w += grid->columnWidth(c);
    for (int r = 0; r < grid->rowCount(); ++r) h += grid->rowHeight(r);
    grid->setFixedSize(w, h);
  }
  // The colour picker on the colour cell of the current row.
  void PickCellColour(std::string& cell) {
    Collect();
    const int old = TextToInt(cell);
    const int chosen = PickColour(this, old);
    if (chosen != old) cell = Num(chosen).toStdString();
    Load();
  }

  // --- Pages ---------------------------------------------------------------

  void FolderEdit(QWidget* p, const char* name, const QString& caption, std::string& field, const char* button) {
    const int row = Next(p);
    Edit(p, name, caption, field, true);
    RowButton(p, row, button, "...", [&field] { field = BrowseForFolder(field); });
  }

  void BuildDirectories() {
    // The only page name that is not German: it follows the menu language.
    const std::string folders = LanguageText(LanguageTextId::FoldersPage);
    QWidget* p = Page("Tab_dir", folders.c_str());
    QWidget* g = Group(p, "GroupBox_dir", folders.c_str());
    FolderEdit(g, "Edit_dirdbf", U("Ordner für Datenbankdateien (dbf)"), f_.dirDbf, "Button_dirdbf");
    FolderEdit(g, "Edit_direxe", U("TALMORE-Programm-Ordner"), f_.dirExe, "Button_direxe");
    FolderEdit(g, "Edit_dirplt", U("Ordner für Hilfebilder (.plt) und Hilfetexte (.hlp)"), f_.dirHelp,
               "Button_dirplt");
    const int temp = Next(g);
    FolderEdit(g, "Edit_dirtemp", U("Temporärer Ordner"), f_.dirTemp, "Button_dirtemp");
    RowButton(g, temp, "Button_dirtempenv", "<", [this] {
      const char* env = std::getenv("TEMP");
      const std::string t = TrimBlanks(env != nullptr ? env : "");
      if (!t.empty()) f_.dirTemp = t;
    }, 3);
    FolderEdit(g, "Edit_diredi", U("EDI Ordner"), f_.dirEdi, "Button_diredi");
    FolderEdit(g, "Edit_dirdata", "." + Oem(G().SpringFileExtension) + " Ordner", f_.dirData, "Button_dirdata");
    FolderEdit(g, "Edit_dircad", U("CAD Ordner"), f_.dirCad, "Button_dircad");
    auto* working = new QLineEdit(QDir::currentPath(), g);
    working->setObjectName("Edit_dirworking");
    working->setReadOnly(true);
    const int row = Next(g);
    GridOf(g)->addWidget(Label(g, "Label_dirworking", U("Arbeitsverzeichnis")), row, 0);
    GridOf(g)->addWidget(working, row, 1);
    auto* help = Button("Button_workingDir", "?", [] { ShowHelpTextBox(1605); }, g);
    help->setFixedWidth(help->fontMetrics().horizontalAdvance("...") + 24);
    GridOf(g)->addWidget(help, row, 2);
    // USERNAME is rarely set outside Windows: then the login name.
    const char* user = std::getenv("USERNAME");
    if (user == nullptr || *user == '\0') user = std::getenv("USER");
    GridOf(g)->addWidget(Label(g, "Label_user", U("User: ") + QString::fromLocal8Bit(user != nullptr ? user : "")),
                         Next(g), 0, 1, 2);
  }

  void BuildGraphics() {
    QWidget* p = Page("Tab_grafik", "Grafik");
    auto [a, b] = Columns(p);
    Radio(a, "RadioGroup_bildschirmgrafik", "Farbgrafik", {"color", "monochrom"}, f_.colourGraphics, 2);
    QWidget* size = Group(a, "GroupBox_aufloesung", "Fenstergroesse");
    const int x = Next(size);
    auto* ex = Edit(size, "Edit_x", "x", f_.resX);
    auto* ey = Edit(size, "Edit_y", "y", f_.resY);
    RowButton(size, x, "Button_aufloesung", "<", [this] { FitWindowToScreen(f_); });
    for (QLineEdit* e : {ex, ey})
      connect(e, &QLineEdit::editingFinished, this, [this] {
        Collect();
        ResizeMainWindow(f_);
      });
    const ScreenMetrics& s = CurrentScreenMetrics();
    auto* panel = Label(a, "Panel_colour", Num(s.width) + " x " + Num(s.height));
    panel->setAlignment(Qt::AlignCenter);
    panel->setMinimumHeight(panel->fontMetrics().height() * 2);
    int row = Next(a);
    GridOf(a)->addWidget(panel, row, 0);
    GridOf(a)->addWidget(Button("Button_hintergrundfarbe", "Hintergrundfarbe...", [panel] {
                           auto colour = static_cast<std::uint32_t>(G().BackgroundColour) & 0xFFFFFFu;
                           if (ChooseColour(colour)) G().BackgroundColour = static_cast<std::int32_t>(colour);
                           Paint(panel, static_cast<std::uint32_t>(G().BackgroundColour));
                         }, a),
                         row, 1, 1, 2);
    Paint(panel, static_cast<std::uint32_t>(G().BackgroundColour));
    row = Next(a);
    Edit(a, "Edit_font", "Font", f_.font);
    RowButton(a, row, "Button_font", "Font...", [this] {
      FontChoice font{f_.font, 0, f_.fontStyle};
      if (!ChooseFont(font, false)) return;
      f_.font = font.name;
      f_.fontStyle = font.style;
    });
    auto* style = Label(a, "Label_hstyle", "");
    GridOf(a)->addWidget(style, Next(a), 1);
    loaders_.push_back([this, style] { style->setText(Num(f_.fontStyle)); });
    DefaultEdit(a, "Edit_textbreitenfaktor", "Textbreitenfaktor", f_.textWidthFactor, "Button_textbreitenfaktor",
                "0.8");
    DefaultEdit(a, "Edit_texthoehenfaktor", "Texthöhenfaktor", f_.textHeightFactor, "Button_texthoehenfaktor", "1");

    DefaultEdit(b, "Edit_zoomfaktor", "Zoomfaktor", f_.zoomFactor, "Button_zoom", "1.02");
    DefaultEdit(b, "Edit_panfaktor", "Pan-Faktor", f_.panFactor, "Button_pan", "0.02");
    Check(b, "CheckBox_umrandung", U("Umrandung"), f_.border);
    row = Next(b);
    Spin(b, "SpinEdit_dialogfenster", "Dialogfenster Größe", f_.dialogSize, kDialogPercentRange, 3)->setSuffix(" %");
    RowButton(b, row, "Button_dialogsize", "<", [this] { DialogSizeFromWindow(f_); });
    row = Next(b);
    Spin(b, "SpinEdit_dialogelemente", "Dialogelemente Größe", f_.dialogElements, kDialogPercentRange, 3)
        ->setSuffix(" %");
    RowButton(b, row, "Button_dialogelemente", "<", [this] { DialogElementsFromWindow(f_); });
    Check(b, "CheckBox_3dxyz", U("3D Edit x,y,z"), f_.edit3d);
    Edit(b, "Edit_3dx", "x °", f_.angles3d[0]);
    Edit(b, "Edit_3dy", "y °", f_.angles3d[1]);
    Edit(b, "Edit_3dz", "z °", f_.angles3d[2]);
    // A sample of the footer line.
    Check(p, "CheckBox_zeichfusszeile",
          AnsiToQString(StampText()) + " - TALMORE " + Oem(G().ProductName) + " V" +
              AnsiToQString(G().ProgramVersion) + " - ..",
          f_.footerLine);
    HelpButton(p, "Button_grafikhilfe", 1940);
  }

  void BuildCad() {
    QWidget* p = Page("Tab_cad", "CAD");
    std::vector<std::string*> cells;
    for (std::size_t r = 0; r < 5; ++r)
      cells.insert(cells.end(), {&f_.layerName[r], &f_.layerColour[r], &f_.layerWidth[r]});
    auto* grid = StringGrid(p, "StringGrid_layer",
                            {"Ausgezogene  Linie   0.50 mm", "Ausgezogene  Linie   0.35 mm",
                             "Ausgezogene  Linie   0.25 mm", "Gestrichelte Linie   0.25 mm",
                             "Mittellinie          0.25 mm"},
                            {"Layer", "Farbe", U("Strichstärke")}, cells);
    grid->resizeColumnsToContents();
    FitGrid(grid);
    auto* buttons = new QHBoxLayout;
    for (int layer = 5; layer >= 1; --layer) {
      buttons->addWidget(Button(("Button_layer" + std::to_string(layer)).c_str(), "<",
                                [this, layer] { Change([this, layer] { DefaultLayer(f_, layer); }); }, p));
    }
    buttons->addWidget(Button("Button_selectlayercolor", "Farbe...", [this, grid] {
      const int row = std::clamp(grid->currentRow(), 0, 4);
      PickCellColour(f_.layerColour[static_cast<std::size_t>(row)]);
    }, p));
    buttons->addStretch();
    buttons->addWidget(Button("Button_layerhilfe", "&Hilfe", [] { ShowHelpTextBox(1910); }, p));
    GridOf(p)->addLayout(buttons, Next(p), 0, 1, 4);
    auto [a, b] = Columns(p);
    Check(a, "CheckBox_layermonochrom", U("Layer Monochrom ?"), f_.layerMonochrome);
    Edit(a, "Edit_cadfont", "Textstil", f_.cadFont);
    DefaultEdit(a, "Edit_cadtextbreite", "Textbreitenfaktor", f_.cadTextWidth, "Button_cadtextbreite", "1");
    DefaultEdit(a, "Edit_cadtextwinkel", "Textwinkel", f_.cadTextAngle, "Button_cadtextwinkel", "0");
    Check(a, "CheckBox_diagrammgrenzen", U("Diagrammgrenzen abfragen"), f_.askDiagramLimits);
    const int row = Next(a);
    Spin(a, "SpinEdit_dxfdec", "Anzahl der Dezimalstellen DXF, TXT", f_.cadDecimals, kCadDecimalsRange, 2);
    RowButton(a, row, "Button_dxfdec", "<", [this] { f_.cadDecimals = 6; });
    Radio(b, "radiogroupcadtexttyp", "Text Type", {"OEM (ASCII)", "ANSI", "Ä->Ae, ß->ss..."}, f_.cadTextType);
    HelpButton(b, "Button_helpcad", 1920);
  }

  void BuildColours() {
    QWidget* p = Page("Tab_color", "Farbe");
    auto [a, b] = Columns(p);
    QStringList rows;
    std::vector<std::string*> cells;
    for (std::size_t i = 0; i < 16; ++i) {
      rows << U("Farbe für Layer ") + Num(static_cast<int>(i) + 16);
      cells.insert(cells.end(), {&f_.colourLayerColour[i], &f_.colourLayerWidth[i]});
    }
    auto* grid = StringGrid(a, "StringGrid_color", rows, {"Farbe", U("Strichstärke")}, cells);
    // 60 pixels, or wider where the header's font needs it.
    const int width = std::max(60, grid->horizontalHeader()->fontMetrics().horizontalAdvance(U("Strichstärke")) + 12);
    grid->setColumnWidth(0, width);
    grid->setColumnWidth(1, width);
    FitGrid(grid);
    const auto pick = [this, grid] {
      if (grid->currentColumn() != 0) return;
      PickCellColour(f_.colourLayerColour[static_cast<std::size_t>(std::clamp(grid->currentRow(), 0, 15))]);
    };
    connect(grid, &QTableWidget::cellDoubleClicked, this, pick);
    GridOf(b)->addWidget(Button("Button_selectcolor", "Farbe...", pick, b), Next(b), 0, 1, 2);
    for (int w = 1; w <= 3; ++w) {
      const std::string name = "Button_dick" + std::to_string(w);
      const QString caption = U("Strichstärke=") + Num(w);
      GridOf(b)->addWidget(Button(name.c_str(), caption.toUtf8().constData(),
                                  [this, w] { Change([this, w] { SetColourLayerWidths(f_, w); }); }, b),
                           Next(b), 0, 1, 2);
    }
    // Colour panels 0..15 with the drawing colour numbers they stand for.
    static constexpr const char* kCaptions[16] = {"16", "8", "9", "10", "11", "12", "13", "14",
                                                  "15", "5", "3", "4",  "1",  "6",  "2",  "7"};
    auto* panels = new QGridLayout;
    for (int i = 0; i < 16; ++i) {
      const std::string name = "Panel_color" + std::to_string(i);
      auto* panel = Button(name.c_str(), kCaptions[i], [this, i] {
        Change([this, i] { ChooseColour(f_.panelColours[static_cast<std::size_t>(i)]); });
      }, b);
      panel->setFixedSize(panel->fontMetrics().horizontalAdvance("0000") + 16, panel->fontMetrics().height() + 12);
      panels->addWidget(panel, i / 4, i % 4);
      loaders_.push_back([this, panel, i] { Paint(panel, f_.panelColours[static_cast<std::size_t>(i)]); });
    }
    panels->setSpacing(4);
    const int row = Next(b);
    GridOf(b)->addLayout(panels, row, 0);
    RowButton(b, row, "Button_resetcolor", "<", [this] { ResetColours(f_); }, 1);
    GridOf(b)->itemAtPosition(row, 1)->setAlignment(Qt::AlignBottom);
    HelpButton(b, "Button_colorhilfe", 1555);
  }

  void BuildPrinter() {
    QWidget* p = Page("Tab_drucker", "Drucker");
    auto [a, b] = Columns(p);
    DefaultEdit(a, "Edit_printscale", "Maßstab x", f_.printScale, "Button_printscalex1", "1.0");
    const int row = Next(a);
    Edit(a, "Edit_printscaley", "Maßstab y", f_.printScaleY);
    RowButton(a, row, "Button_scaleyx", "<", [this] { f_.printScaleY = f_.printScale; });
    QWidget* origin = Group(a, "GroupBox_ursprung", "Ursprung");
    DefaultEdit(origin, "Edit_printxorigin", "x", f_.printOriginX, "Button_printxorigin", "0");
    DefaultEdit(origin, "Edit_printyorigin", "y", f_.printOriginY, "Button_printyorigin", "0");
    Check(a, "CheckBox_printerDialogbox", U("Ausgabeformat abfragen"), f_.printerDialogBox);
    Radio(b, "RadioGroup_printmono", "Schattierung", {"Monochrom", "Color / Graustufen"}, f_.printMono);
    Radio(b, "RadioGroup_orientation", "Ausdruck", {"Hochformat", "Querformat"}, f_.orientation);
    // The system's printers and the PDF file in place of parallel ports.
    printerChoices_ = TextPrinterChoices();
    std::vector<const char*> printers;
    for (const std::string& name : printerChoices_) printers.push_back(name.c_str());
    Radio(b, "RadioGroup_lpt", "Druckerschnittstelle für Textausdruck", printers, f_.lpt, 2);
    HelpButton(p, "Button_helpprint", 1935);
  }

  void BuildPrintout() {
    QWidget* p = Page("Tab_textdruck", "Ausdruck");
    auto [a, b] = Columns(p);
    Radio(a, "RadioGroup_trenn", "Form der Trennzeilen im Ausdruck",
          {"Trennlinien  ---- ====  ****", "Trennlinien  ──── ════  ****", "Leerzeichen und Leerzeilen",
           "komprimiert, ohne Trennzeilen"},
          f_.lineStyle);
    Spin(a, "SpinEdit_linesperpage", "Max. Anzahl Zeilen/Seite\nauf dem Ausdruck", f_.linesPerPage,
         kLinesPerPageRange, 3);
    Spin(a, "SpinEdit_spacelines", "Leerzeilen am Seitenanfang", f_.spaceLines, kSpaceLinesRange, 2);
    Radio(a, "RadioGroup_date", "Datum", {"DD.MM.YYYY", "MM/DD/YYYY", "YYYY/MM/DD", "DD/MM/YYYY"}, f_.date, 2);
    QWidget* out = Group(a, "GroupBox_ausdruckdefault", "Ausgabeformat");
    auto* target = new QComboBox(out);
    target->setObjectName("ComboBox_ausdruckdefault");
    for (const std::string& name : ConfigOutputTargetNames()) target->addItem(Oem(name));
    GridOf(out)->addWidget(target, Next(out), 0, 1, 4);
    loaders_.push_back([this, target] { target->setCurrentText(Oem(f_.outputTarget)); });
    collectors_.push_back([this, target] { f_.outputTarget = AnsiToOemBuf(QStringToAnsi(target->currentText())); });
    Check(out, "CheckBox_ausdruckshowdialog", U("Ausgabeformat abfragen"), f_.askOutputTarget);

    QWidget* window = Group(b, "GroupBox_textwindow", "Textfenster");
    const int left = Next(window);
    Edit(window, "Edit_left", "links", f_.textLeft);
    Edit(window, "Edit_top", "oben", f_.textTop);
    Edit(window, "Edit_width", "Breite", f_.textWidth);
    Edit(window, "Edit_height", "Höhe", f_.textHeight);
    RowButton(window, left, "Button_Textwindow", "<", [this] { DefaultTextWindow(f_); });
    Radio(b, "RadioGroup_ff", "Textausdruck", {"mit Kopf", "Kopf nur 1.Seite"}, f_.pageHead);
    auto* font = new QHBoxLayout;
    auto* name = Label(b, "Label_courier", "");
    auto* size = Label(b, "Label_couriersize", "");
    auto* style = Label(b, "Label_courierstyle", "");
    font->addWidget(name);
    font->addWidget(size);
    font->addWidget(style);
    font->addStretch();
    font->addWidget(Button("Button_textfont", "Font..", [this] {
      Change([this] {
        FontChoice chosen{f_.printoutFont, f_.printoutFontSize, f_.printoutFontStyle};
        if (!ChooseFont(chosen, true)) return;
        f_.printoutFont = chosen.name;
        f_.printoutFontSize = chosen.size;
        f_.printoutFontStyle = chosen.style;
      });
    }, b));
    GridOf(b)->addLayout(font, Next(b), 0, 1, 4);
    loaders_.push_back([this, name, size, style] {
      name->setText(AnsiToQString(f_.printoutFont));
      size->setText(Num(f_.printoutFontSize));
      style->setText(Num(f_.printoutFontStyle));
    });
    Radio(b, "RadioGroup_ausgrad", " Winkel ", {"15.1234°", "15° 7' 26\""}, f_.angleFormat, 2);
    HelpButton(b, "Button_helpausdruck", 1930);
  }

  void BuildSettings() {
    QWidget* p = Page("Tab_einstellung", "Einstellungen");
    auto [a, b] = Columns(p);
    Radio(a, "RadioGroup_hilfegrad", "Hilfegrad",
          {"0 : Keine Info nach Eingabe", "1 : Normale Einstellung", "2 : Erweiterte Hilfe, Einzeleingabe"},
          f_.helpLevel);
    Radio(a, "RadioGroup_punktkomma", "Dezimalzeichen CAD->TXT ", {"x.xx", "x,xx"}, f_.decimalComma, 2);
    Radio(a, "RadioGroup_ExcelDot", "Dezimalzeichen Excel", {"English x.xx", "German x,xx"}, f_.spreadsheetDecimal,
          2);
    Spin(a, "SpinEdit_dezimalstellen", "Anzahl der Dezimalstellen", f_.decimals, kDecimalsRange, 1);
    Check(a, "CheckBox_archivmode", U("Archivierungsmodus ?"), f_.archiveMode);
    Radio(a, "RadioGroup_chars", " Sonderzeichen ", {"²  µ  °", "2  u  deg"}, f_.plainText, 2);
    Radio(b, "RadioGroup_ergebnisgrafik", "Ergebnisgrafik",
          {"egal", "Quick", "Quick 3", "Fertigungszeichnung", "Diagramm", "Zeichnung", "Quick 4"}, f_.drawingKind);
    Check(b, "CheckBox_aktuellfile", "aktuell." + Oem(G().SpringFileExtension) + " ?", f_.currentFile);
    QStringList units;
    for (int i = 1; i <= 5; ++i) units << Oem(G().UnitSystemNames[static_cast<std::size_t>(i)]);
    Combo(b, "ComboBox_unit", "Einheit", units, f_.unitSystem);
    Check(b, "CheckBox_saveMenuLanguage", U("Save Menu Language ?"), f_.saveMenuLanguage);
  }

  void BuildExtern() {
    QWidget* p = Page("Tab_extern", "Extern");
    auto* list = new QListWidget(p);
    list->setObjectName("ListBox_gravelo");
    list->setMaximumHeight(list->fontMetrics().height() * 5 + 24);
    GridOf(p)->addWidget(Label(p, "Label_gravelo", U("GRAVELO Command Lines")), Next(p), 0);
    GridOf(p)->addWidget(list, Next(p), 0, 1, 4);
    loaders_.push_back([this, list] {
      const int row = list->currentRow();
      list->clear();
      for (const std::string& line : f_.plotLines) list->addItem(AnsiToQString(line));
      if (row >= 0) list->setCurrentRow(row);
    });
    collectors_.push_back([this, list] {
      for (int i = 0; i < 5 && i < list->count(); ++i)
        f_.plotLines[static_cast<std::size_t>(i)] = QStringToAnsi(list->item(i)->text());
    });
    const auto configure = [this, list] {
      Collect();
      const int row = ConfigurePlotLine(f_, list->currentRow());
      Load();
      list->setCurrentRow(row);
    };
    connect(list, &QListWidget::itemDoubleClicked, this, configure);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Button("Button_confgravelo", "Config", configure, p));
    buttons->addWidget(Button("Button_editgravelocommandline", "Edit", [this, list] {
      Change([this, list] { EditPlotLineText(f_, list->currentRow()); });
    }, p));
    buttons->addStretch();
    GridOf(p)->addLayout(buttons, Next(p), 0, 1, 4);
    int row = Next(p);
    Edit(p, "Edit_externtxt", "Textprogramm", f_.textProgram, true);
    RowButton(p, row, "Button_externtxt", "...", [this] {
      f_.textProgram = AskProgramPath(f_.textProgram, kProgramPattern);
      G().AbortFlag = 0;
    });
    row = Next(p);
    Edit(p, "Edit_externhtml", "HTML Browser", f_.htmlBrowser, true);
    RowButton(p, row, "Button_externhtml", "...", [this] {
      f_.htmlBrowser = AskProgramPath(f_.htmlBrowser, kProgramPattern);
      G().AbortFlag = 0;
    });
  }

  void BuildDrawing() {
    QWidget* p = Page("Tab_zeichnung", "Zeichnung");
    Radio(p, "RadioGroup_index", "Index", {"a,b,c...", "1,2,3...", "A,B,C...", "......"}, f_.indexStyle, 4);
    DefaultEdit(p, "Edit_freigabefeld", "Freigabefeld", f_.releaseField, "Button_freigabefeld", "Frei");
    DefaultEdit(p, "Edit_massfaktorconfig", "Größenfaktor Bemaßung", f_.dimensionFactor, "Button_massfaktorconfig",
                "1.0");
    GridOf(p)->addWidget(Label(p, "Label_fertigungszeichnung", U("Fertigungszeichnung")), Next(p), 0);
    Check(p, "CheckBox_zeichtalmoretitel",
          "TALMORE " + Oem(G().ProgramTitle) + " V" + AnsiToQString(G().ProgramVersion) + " ?", f_.makerTitle);
    // A long path keeps its start and the file's name, shortened between.
    QString file = QString::fromStdString(CurrentSpringFilePath());
    if (file.size() > 50) file = file.left(16) + QChar(0x2026) + file.right(33);
    Check(p, "CheckBox_zeichfilename", "file name " + file, f_.fileName);
    Check(p, "CheckBox_zeichdatum", AnsiToQString(StampText()), f_.dateShown);
    Check(p, "CheckBox_zeichlogo", U("$logo_1.dx$ ?"), f_.logo);
    Check(p, "CheckBox_zeichnungskopf", U("Fertigungszeichnung mit Kopf ?"), f_.titleBlock);
    Combo(p, "ComboBox_zeichnkopf", "Zeichnung mit Kopf",
          {"DIN 6771 min.", "ISO 7200 Fig.1", "ISO 7200 Fig.2", "DIN 6771"}, f_.titleBlockKind);
  }
};

}  // namespace

void SetConfigDialogSeams(ConfigDialogSeams seams) { Seams() = std::move(seams); }

std::function<bool(ConfigForm&)> QtConfigRunner(QWidget* owner) {
  return [owner](ConfigForm& f) {
    TconfigDialog form(owner, f);
    const bool ok = form.exec() == QDialog::Accepted;
    // The window takes the background colour, whatever the answer.
    if (auto* window = qobject_cast<QMainWindow*>(owner); window != nullptr && window->centralWidget() != nullptr) {
      QPalette p = window->centralWidget()->palette();
      p.setColor(QPalette::Window, BackgroundQColor());
      window->centralWidget()->setPalette(p);
    }
    return ok;
  };
}

}  // namespace zeb
