#include "mainwin/qt/filelist_form.h"

#include <QAction>
#include <algorithm>
#include <utility>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "base/dialogs.h"
#include "base/globals.h"
#include "base/help.h"
#include "base/qt/forms.h"
#include "base/qt/qt_convert.h"
#include "base/text.h"
#include "mainwin/documents_cmd.h"
#include "mainwin/program.h"
#include "mainwin/spreadsheet.h"
#include "platform/codepage.h"

namespace zeb {

namespace {

// TForm_Suchen: the search text; false when closed without "Search".
bool AskSearchText(QWidget* owner, std::string& text) {
  QDialog form(owner);
  form.setObjectName("TForm_Suchen");
  form.setWindowTitle("Search");
  auto* root = new QVBoxLayout(&form);
  root->addWidget(new QLabel("Search for", &form));
  auto* edit = new QLineEdit(AnsiToQString(text), &form);
  edit->setObjectName("Edit_suchbegriff");
  root->addWidget(edit);
  auto* button = new QPushButton("Search", &form);
  button->setObjectName("Button_search");
  button->setDefault(true);
  QObject::connect(button, &QPushButton::clicked, &form, &QDialog::accept);
  root->addWidget(button);
  if (form.exec() != QDialog::Accepted) return false;
  text = QStringToAnsi(edit->text());
  return true;
}

}  // namespace

TForm_preview::TForm_preview(QWidget* owner, FileListGrid& grid) : QDialog(owner), grid_(grid) {
  setObjectName("TForm_preview");
  setWindowTitle(AnsiToQString(OemToAnsiStr(G().ProductName)) + "  " + PathToQString(G().CurrentDataFolder));
  auto* root = new QVBoxLayout(this);
  auto* bar = new QMenuBar(this);
  root->setMenuBar(bar);
  const auto action = [this](QMenu* menu, const char* name, const QString& text, auto act) {
    QAction* a = menu->addAction(text);
    a->setObjectName(name);
    connect(a, &QAction::triggered, this, act);
    return a;
  };
  QMenu* file = bar->addMenu("&Datei");
  file->setObjectName("mi_File");
  action(file, "mi_fileExportExcel", "Export Excel", [this] { ExportToSpreadsheet(); });
  action(file, "mi_fileExit", "&Beenden", [this] { reject(); });
  QMenu* edit = bar->addMenu("&Bearbeiten");
  edit->setObjectName("mi_edit");
  action(edit, "mi_editsearch", "Search", [this] { Search(true); })->setShortcut(QKeySequence("Ctrl+F"));
  action(edit, "SearchNext1", "Search Next", [this] { Search(false); })->setShortcut(QKeySequence("F3"));
  QMenu* help = bar->addMenu("&Hilfe");
  help->setObjectName("mi_Help");
  action(help, "mi_HelpHelp", "&Hilfe", [] {
    ShowHelpText(3400, "", 1);
    G().AbortFlag = 0;
  });
  StringGrid1 = new QTableWidget(this);
  StringGrid1->setObjectName("StringGrid1");
  StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  StringGrid1->verticalHeader()->hide();
  StringGrid1->horizontalHeader()->setDefaultSectionSize(48);
  StringGrid1->horizontalHeader()->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(StringGrid1->horizontalHeader(), &QWidget::customContextMenuRequested, this,
          [this](const QPoint& p) { Sort(StringGrid1->horizontalHeader()->logicalIndexAt(p)); });
  // A cell clicked in another row is the user's pick.
  connect(StringGrid1, &QTableWidget::cellClicked, this, [this](int row, int) {
    if (row + 1 == selected_) return;
    picked_ = selected_ = row + 1;
    accept();
  });
  root->addWidget(StringGrid1);
  Load();
  // The designed widths, wider where the texts need it.
  StringGrid1->resizeColumnsToContents();
  for (const auto& [column, width] : {std::pair{0, 120}, {1, 64}, {2, 90}, {15, 100}})
    StringGrid1->setColumnWidth(column, std::max(width, StringGrid1->columnWidth(column)));
  PlaceDialog(this, {0, 0, 900, 500});
}

void TForm_preview::Load() {
  const int rows = static_cast<int>(grid_.rows.size()) - 1;
  StringGrid1->setColumnCount(kFileListColumns);
  StringGrid1->setRowCount(rows);
  QStringList titles;
  for (const char* t : FileListTitles()) titles << QString::fromLatin1(t);
  StringGrid1->setHorizontalHeaderLabels(titles);
  for (int r = 0; r < rows; ++r) {
    const auto& row = grid_.rows[static_cast<std::size_t>(r + 1)];
    for (int c = 0; c < kFileListColumns && c < static_cast<int>(row.size()); ++c)
      StringGrid1->setItem(r, c, new QTableWidgetItem(c == 0 ? PathToQString(row[0]) : AnsiToQString(row[static_cast<std::size_t>(c)])));
  }
  if (grid_.currentRow > 0) StringGrid1->setCurrentCell(grid_.currentRow - 1, grid_.currentColumn);
}

void TForm_preview::Sort(int column) {
  grid_.currentRow = StringGrid1->currentRow() + 1;
  SortFileList(grid_, column);
  Load();
}

void TForm_preview::Search(bool fromTop) {
  if (fromTop) {
    if (!AskSearchText(this, grid_.searchText)) return;
    SearchFileList(grid_, 0);
  } else {
    SearchFileList(grid_, StringGrid1->currentRow() + 1);
  }
  // Moving the current cell loads nothing.
  if (grid_.currentRow > 0) StringGrid1->setCurrentCell(grid_.currentRow - 1, grid_.currentColumn);
}

void TForm_preview::ExportToSpreadsheet() {
  std::vector<std::vector<std::string>> rows;
  for (std::size_t r = 0; r < grid_.rows.size(); ++r) {
    std::vector<std::string> cells;
    for (std::size_t c = 0; c < grid_.rows[r].size(); ++c)
      cells.push_back(r > 0 && c == 0 ? grid_.rows[r][c] : ToUtf8(CodePage::Cp1252, grid_.rows[r][c]));
    rows.push_back(std::move(cells));
  }
  const std::string csv = WriteCsvDocument(rows);
  if (!csv.empty() && !OpenSpreadsheetDocument(csv)) ShowMessageText("Could not start Excel");
}

void RunFileListCommand(QWidget* owner) {
  G().AbortFlag = 0;
  QuerySaveChanges();
  if (G().AbortFlag != 0) return;
  SetHourglassCursor();
  FileListGrid grid = BuildFileList();
  SetArrowCursor();
  for (;;) {
    TForm_preview form(owner, grid);
    if (form.exec() != QDialog::Accepted || form.Picked() == 0) break;
    grid.currentRow = form.Picked();
    if (OpenListedFile(grid, form.Picked())) {
      MainWindow().SetMenuCaptions();
      MainWindow().RefreshMainWindow();
    }
  }
  G().AbortFlag = 0;
  UpdateMainCaption();
}

}  // namespace zeb
