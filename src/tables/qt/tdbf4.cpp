#include "tables/qt/tdbf4.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <memory>
#include <string>

#include "base/choosers.h"
#include "base/dialogs.h"
#include "base/globals.h"
#include "base/help.h"
#include "base/qt/forms.h"
#include "base/qt/qt_convert.h"
#include "base/ui_port.h"
#include "platform/codepage.h"
#include "platform/oem_literal.h"
#include "xbase/core/callbacks.h"
#include "xbase/core/dates.h"
#include "xbase/core/engine.h"
#include "xbase/qt/tzgrid.h"

namespace zeb {

namespace {

QString Oem(std::string_view text850) { return AnsiToQString(Cp850To1252(text850)); }

// The buttons of the navigator that browsing shows.
bool BrowseButton(const QString& name) {
  return name == "nbFirst" || name == "nbPrior" || name == "nbNext" || name == "nbLast";
}

}  // namespace

Tdbf4::Tdbf4(TableWindow& window, int mode, QWidget* parent) : QDialog(parent), w_(window) {
  setObjectName("dbf4");
  browse_ = TableWindow::BrowseMode(mode);
  const QString t1 = AnsiToQString(w_.Title1()), t2 = AnsiToQString(w_.Title2());
  setWindowTitle(browse_ ? t2 + "   " + t1 : t2 + "  " + t1 + "  (" + PathToQString(w_.FileName()) + ")");
  auto* layout = new QVBoxLayout(this);
  auto* bar = new QMenuBar(this);
  bar->setObjectName("MainMenu1");
  layout->setMenuBar(bar);
  BuildMenu(bar);

  auto* top = new QHBoxLayout;
  nav_ = new xbase::TTzNavigator(this);
  nav_->setObjectName("TzNavigator1");
  nav_->SetDataset(&w_.Dataset());
  nav_->confirmDelete = false;
  nav_->confirmRestore = false;
  // The navigator's cancel also gives up an open cell editor.
  nav_->onClick = [this](xbase::TTzNavigator&, const QString& button) {
    if (button == QLatin1String("nbCancel")) grid_->DiscardEdit();
    grid_->FollowDataset();
    ShowRecordNumber();
  };
  // A move first hands in the open cell, as a row click does.
  nav_->beforeAction = [this] { return grid_->HandInEditor(); };
  for (QAction* a : nav_->actions()) {
    QWidget* button = nav_->widgetForAction(a);
    if (button != nullptr && browse_ && !BrowseButton(button->objectName())) a->setVisible(false);
  }
  // Every shown button stays on the bar (none in an overflow menu).
  nav_->setMinimumSize(nav_->sizeHint());
  top->addWidget(nav_);
  auto* title1 = new QLabel(t1, this);
  title1->setObjectName("Label_title1");
  title1->setVisible(false);
  auto* title2 = new QLabel(t2, this);
  title2->setObjectName("Label_title2");
  auto* fileLabel = new QLabel(PathToQString(w_.FileName()), this);
  fileLabel->setObjectName("Label_filename");
  fileLabel->setVisible(false);
  recno_ = new QLabel(this);
  recno_->setObjectName("Label_recno");
  auto* search = new QPushButton(QStringLiteral("Suchen"), this);
  search->setObjectName("Button_search");
  auto* searchNext = new QPushButton(QStringLiteral("Weitersuchen"), this);
  searchNext->setObjectName("Button_SearchNext");
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName("Button_ok");
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Abbruch"), this);
  cancel->setObjectName("Button_cancel");
  // A click leaves an open cell editor alone (its text is given up, not
  // handed in by the focus change).
  cancel->setFocusPolicy(Qt::TabFocus);
  top->addWidget(title2);
  top->addWidget(title1);
  top->addWidget(fileLabel);
  top->addStretch();
  top->addWidget(recno_);
  top->addWidget(search);
  top->addWidget(searchNext);
  top->addWidget(ok);
  top->addWidget(cancel);
  layout->addLayout(top);

  grid_ = new xbase::TTzGrid(this);
  grid_->setObjectName("TzGrid1");
  grid_->SetDataset(&w_.Dataset());
  // A grid without editing appends no record either.
  grid_->autoAppend = !browse_;
  // Ctrl+Delete marks or restores without a question.
  grid_->confirmDelete = false;
  grid_->SetBooleanBox(xbase::TTzBooleanBox::bbCheckBox);
  grid_->SetDepressDisabled(false);
  grid_->SetFixedColumns(0);
  grid_->setEditTriggers(browse_ ? QAbstractItemView::NoEditTriggers
                                 : QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                       QAbstractItemView::AnyKeyPressed);
  grid_->setWordWrap(false);
  // Scaled and centred over the main window like every dialog; the column
  // widths below take the scaled font.
  PlaceDialog(this, {0, 0, 630, 464});
  // Each column as wide as its field (long texts cut at 30 characters),
  // never narrower than its title.
  const QFontMetrics metrics(grid_->font());
  const std::vector<xbase::TzFieldMap>& maps = w_.Dataset().FieldMaps();
  for (int c = 0; c < grid_->model()->columnCount() && c < static_cast<int>(maps.size()); ++c) {
    const xbase::FieldDesc& f = maps[static_cast<std::size_t>(c)].desc;
    const int chars = std::clamp<int>(f.length, 1, 30);
    const int title = metrics.horizontalAdvance(grid_->model()->headerData(c, Qt::Horizontal).toString()) + 16;
    int text = metrics.horizontalAdvance(QString(chars, QLatin1Char('n')));
    // A date as the grid shows it in the current date format, its widest
    // digits in every place.
    if (f.type == 'D') text = std::max(text, metrics.horizontalAdvance(QString::fromStdString(xbase::DbfToDate("20880828"))));
    grid_->setColumnWidth(c, std::max(title, text + 8));
  }
  // A right click on a column title orders the table by that column.
  grid_->onDepressTitle = [this](xbase::TTzGrid&, int column) { Command([this, column] { w_.SortByColumn(column); }); };
  connect(grid_, &QAbstractItemView::clicked, this, [this] { ShowRecordNumber(); });
  // The counter follows every move of the current record.
  connect(grid_->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] { ShowRecordNumber(); });
  layout->addWidget(grid_);

  connect(ok, &QPushButton::clicked, this, &Tdbf4::Ok);
  connect(cancel, &QPushButton::clicked, this, &Tdbf4::Cancel);
  connect(search, &QPushButton::clicked, this, [this] { Search(false); });
  connect(searchNext, &QPushButton::clicked, this, [this] { Search(true); });
  // The keyboard starts in the rows: the arrow keys move the current
  // record, Enter takes it.
  grid_->setFocus(Qt::OtherFocusReason);
}

Tdbf4::~Tdbf4() = default;

void Tdbf4::BuildMenu(QMenuBar* bar) {
  auto item = [this](QMenu* menu, const char* name, const QString& text, auto handler) {
    QAction* a = menu->addAction(text);
    a->setObjectName(name);
    connect(a, &QAction::triggered, this, handler);
    return a;
  };
  // The main menu's captions of the current language.
  const auto& main = G().MainMenuCaptions;
  auto text = [](const std::string& utf8) { return QString::fromStdString(utf8); };
  QMenu* file = bar->addMenu(text(main.File));
  file->setObjectName("mi_File");
  item(file, "mi_fileExportHtml", QStringLiteral("Export HTML"), [this] { ExportHtml(); });
  item(file, "mi_fileSaveAsDelimited", QStringLiteral("Save As Delimited"), [this] { SaveDelimited(); });
  file->addSeparator();
  QAction* appendDbf = item(file, "mi_fileAppenddbf", QStringLiteral("Append dbf"), [this] { AppendFile(false); });
  QAction* appendText =
      item(file, "mi_fileAppendDelimited", QStringLiteral("Append Delimited"), [this] { AppendFile(true); });
  QAction* separator = file->addSeparator();
  item(file, "mi_filePrint", text(main.Print), [this] {
    w_.PrintCommand();
    G().AbortFlag = 0;
  });
  file->addSeparator();
  item(file, "mi_fileExit", text(main.Exit), [this] { Ok(); });
  QMenu* edit = bar->addMenu(text(main.Edit));
  edit->setObjectName("mi_edit");
  item(edit, "mi_editAppend", QStringLiteral("Append"), [this] { Command([this] { w_.AppendLocked(); }); });
  QAction* append = edit->actions().back();
  QAction* pack =
      item(edit, "mi_editPack", QStringLiteral("Pack"), [this] { Command([this] { w_.PackCommand(); }); });
  pack->setToolTip(Oem("Markierte Datensätze löschen"_oem));
  QMenu* view = bar->addMenu(text(main.View));
  view->setObjectName("mi_view");
  item(view, "mi_viewSearch", QStringLiteral("&Suchen"), [this] { Search(false); });
  item(view, "mi_viewSearchNext", QStringLiteral("&Weitersuchen"), [this] { Search(true); });
  QMenu* help = bar->addMenu(text(main.Help));
  help->setObjectName("mi_Help");
  item(help, "mi_helpdbf", AnsiToQString(w_.Title2()), [] {
    ShowHelpText(0, "", 1);
    G().AbortFlag = 0;
  });
  item(help, "mi_helpCommon", text(main.Database), [] {
    ShowHelpText(3210, "", 1);
    G().AbortFlag = 0;
  });
  item(help, "mi_helphilfebild", QStringLiteral("Hilfe&bild"), [this] {
    ShowHelpText(0, "", 2);
    G().AbortFlag = 0;
    raise();
    activateWindow();
  });
  item(help, "mi_helpDatei", text(main.File),
       [this] { Ui().MessageBox("Meldung:", QStringToAnsi(PathToQString(w_.FileName()))); });
  if (browse_) {
    appendDbf->setVisible(false);
    appendText->setVisible(false);
    separator->setVisible(false);
    edit->menuAction()->setVisible(false);
    append->setVisible(false);
    pack->setVisible(false);
  }
}

void Tdbf4::Command(const std::function<void()>& body) {
  // A cell still open is handed in first (a menu click leaves it open).
  if (!grid_->HandInEditor()) return;
  // A new row still being typed is finished first, as by leaving it.
  xbase::DatasetModel* m = grid_->Model();
  if (m != nullptr && m->HasAppendRow()) {
    // A new row not written (its message shown) stays: the command does not run.
    if (!m->EndAppendRow(w_.Dataset().Modified())) return;
  } else if (m != nullptr && !m->PostEdit()) {
    // An edit kept open (Abbrechen in the overwrite question, a refused
    // lock) is not given up by the command: it does not run.
    return;
  }
  body();
  if (grid_->Model() != nullptr) grid_->Model()->Reload();
  ShowRecordNumber();
}

void Tdbf4::Search(bool next) {
  // A search over a large table takes a while: the counter says it works.
  const auto searching = [this] {
    recno_->setText(QStringLiteral("Suche l\u00E4uft ..."));
    xbase::Callback().Pump();
  };
  Command([&] {
    if (next) {
      SetHourglassCursor();
      searching();
      w_.SearchNextCommand();
    } else {
      w_.SearchCommand(searching);
    }
  });
}

void Tdbf4::ShowRecordNumber() {
  // Read as the dataset stands: a click posts no edit.
  try {
    const std::int32_t n = std::max(0, w_.Dataset().GetRecNo());
    recno_->setText(QString::number(n) + "/" + QString::number(w_.Dataset().RecCount()));
  } catch (const std::exception&) {
    recno_->clear();
  }
}

void Tdbf4::Ok() {
  G().AbortFlag = 0;
  // A pending edit or insertion is posted when it changed something.
  xbase::DatasetModel* m = grid_->Model();
  if (m != nullptr && m->HasAppendRow()) {
    // A new row not written stays, and the window with it.
    if (!m->EndAppendRow(w_.Dataset().Modified())) return;
  } else if (m != nullptr && !m->PostEdit()) {
    // The edit stays open (Abbrechen in the overwrite question, a lock
    // another program holds): the window stays for it.
    return;
  }
  w_.Settle();
  answer_ = {true, w_.RecNo(), std::max(0, grid_->currentIndex().row()) + 1,
             std::max(0, grid_->currentIndex().column()) + 1};
  accept();
}

void Tdbf4::Cancel() { reject(); }

void Tdbf4::reject() {
  grid_->DiscardEdit();
  answer_ = {};
  QDialog::reject();
}

void Tdbf4::ExportHtml() {
  std::string name = w_.FileName();
  name = name.substr(name.find_last_of('/') + 1);
  name = name.substr(0, name.find_last_of('.'));
  std::string path;
  if (!ChooseFileToWrite(G().DataFolder, "HTML files|*.HTM;*.HTML|All files|*.*", name + ".htm", path)) return;
  w_.ExportHtml(path);
}

void Tdbf4::AppendFile(bool delimited) {
  std::string path;
  if (!Ui().ChooseOpenFile(G().DataFolder, delimited ? "*.txt|*.txt" : "*.dbf|*.dbf", path)) return;
  Command([&] {
    if (delimited) {
      w_.AppendDelimitedCommand(path);
    } else {
      w_.AppendDbfCommand(path);
    }
  });
}

void Tdbf4::SaveDelimited() {
  std::string path;
  if (!ChooseFileToWrite(G().DataFolder, "txt|*.txt|All files|*.*", "", path)) return;
  w_.SaveAsDelimitedCommand(path);
}

BrowseAnswer QtTableBrowser::Browse(TableWindow& window, int mode) {
  Tdbf4 form(window, mode);
  form.exec();
  return form.Answer();
}

void InstallQtTableBrowser() { SetTableBrowser(std::make_shared<QtTableBrowser>()); }

}  // namespace zeb
