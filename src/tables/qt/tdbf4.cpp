#include "tables/qt/tdbf4.h"

#include <QAbstractTableModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>
#include <memory>
#include <string>

#include "base/dialogs.h"
#include "base/globals.h"
#include "base/help.h"
#include "base/qt/qt_convert.h"
#include "base/ui_port.h"
#include "platform/codepage.h"
#include "platform/oem_literal.h"

namespace zeb {

// The open table as rows in the table's current order (index, hidden
// marked records); cells read and written through the table window.
class Dbf4Model : public QAbstractTableModel {
 public:
  Dbf4Model(TableWindow& w, bool editable, QObject* parent) : QAbstractTableModel(parent), w_(w), editable_(editable) {}

  void Reload() {
    beginResetModel();
    rows_.clear();
    names_.clear();
    logical_.clear();
    numeric_.clear();
    const int fields = w_.FieldCount();
    for (int f = 1; f <= fields; ++f) {
      names_.push_back(w_.FieldName(f));
      const char type = w_.FieldType(f);
      logical_.push_back(type == 'L');
      numeric_.push_back(type == 'N' || type == 'F');
    }
    w_.GoTop();
    while (!w_.IsEof() && static_cast<int>(rows_.size()) <= w_.RecCount()) {
      rows_.push_back(w_.RecNo());
      w_.Skip(1);
    }
    endResetModel();
  }
  std::int32_t Record(int row) const { return row >= 0 && row < static_cast<int>(rows_.size()) ? rows_[static_cast<std::size_t>(row)] : 0; }
  int Row(std::int32_t record) const {
    for (std::size_t i = 0; i < rows_.size(); ++i)
      if (rows_[i] == record) return static_cast<int>(i);
    return rows_.empty() ? -1 : 0;
  }

  int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : static_cast<int>(rows_.size()); }
  int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : static_cast<int>(names_.size()); }

  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid()) return {};
    const std::size_t c = static_cast<std::size_t>(index.column());
    if (role == Qt::TextAlignmentRole)
      return QVariant::fromValue(Qt::Alignment(numeric_[c] ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::EditRole && role != Qt::CheckStateRole) return {};
    w_.GoRecord(Record(index.row()));
    if (logical_[c]) {
      if (role != Qt::CheckStateRole) return {};
      return w_.GetBoolByName(names_[c]) ? Qt::Checked : Qt::Unchecked;
    }
    if (role == Qt::CheckStateRole) return {};
    // Numbers as stored: a blank one stays blank.
    if (numeric_[c]) return AnsiToQString(w_.RawField(index.column() + 1)).trimmed();
    return AnsiToQString(w_.GetField(index.column() + 1)).trimmed();
  }

  bool setData(const QModelIndex& index, const QVariant& value, int role) override {
    if (!editable_ || !index.isValid()) return false;
    const std::size_t c = static_cast<std::size_t>(index.column());
    w_.GoRecord(Record(index.row()));
    if (logical_[c] && role == Qt::CheckStateRole) {
      w_.PutBoolByName(names_[c], value.toInt() == Qt::Checked);
    } else if (role == Qt::EditRole) {
      w_.PutStrByName(names_[c], QStringToAnsi(value.toString()));
    } else {
      return false;
    }
    G().AbortFlag = 0;
    emit dataChanged(index, index);
    return true;
  }

  Qt::ItemFlags flags(const QModelIndex& index) const override {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (!editable_ || !index.isValid()) return f;
    return logical_[static_cast<std::size_t>(index.column())] ? f | Qt::ItemIsUserCheckable : f | Qt::ItemIsEditable;
  }

  QVariant headerData(int section, Qt::Orientation o, int role) const override {
    if (role != Qt::DisplayRole) return {};
    if (o == Qt::Horizontal) return section < static_cast<int>(names_.size()) ? AnsiToQString(names_[static_cast<std::size_t>(section)]) : QVariant();
    w_.GoRecord(Record(section));
    return QString::number(Record(section)) + (w_.Deleted() ? QStringLiteral(" *") : QString());
  }

 private:
  TableWindow& w_;
  bool editable_;
  std::vector<std::int32_t> rows_;
  std::vector<std::string> names_;
  std::vector<bool> logical_;
  std::vector<bool> numeric_;
};

namespace {

QString Oem(std::string_view text850) { return AnsiToQString(Cp850To1252(text850)); }

const char* const kNavigatorNames[] = {"nbFirst", "nbPrior", "nbNext",  "nbLast",   "nbInsert",
                                       "nbDelete", "nbEdit", "nbPost", "nbCancel", "nbRefresh"};
const char* const kNavigatorTexts[] = {"|<", "<", ">", ">|", "+", "-", "^", "ok", "x", "@"};
const char* const kNavigatorHints[] = {"Erster Datensatz", "Voriger Datensatz", "Nächster Datensatz",
                                       "Letzter Datensatz", "Datensatz einfügen", "Datensatz löschen",
                                       "Datensatz bearbeiten", "Änderungen speichern", "Änderungen verwerfen",
                                       "Daten aktualisieren"};

}  // namespace

Tdbf4::Tdbf4(TableWindow& window, int mode, QWidget* parent) : QDialog(parent), w_(window) {
  setObjectName("dbf4");
  browse_ = mode == 1 || mode == 4 || mode == 5;
  const QString t1 = AnsiToQString(w_.Title1()), t2 = AnsiToQString(w_.Title2());
  setWindowTitle(browse_ ? t2 + "   " + t1 : t2 + "  " + t1 + "  (" + PathToQString(w_.FileName()) + ")");
  resize(630, 464);

  auto* layout = new QVBoxLayout(this);
  auto* bar = new QMenuBar(this);
  bar->setObjectName("MainMenu1");
  layout->setMenuBar(bar);
  BuildMenu(bar);

  auto* top = new QHBoxLayout;
  auto* nav = new QWidget(this);
  nav->setObjectName("TzNavigator1");
  auto* navLayout = new QHBoxLayout(nav);
  navLayout->setContentsMargins(0, 0, 0, 0);
  navLayout->setSpacing(0);
  for (int i = 0; i < 10; ++i) {
    auto* b = new QToolButton(nav);
    b->setObjectName(kNavigatorNames[i]);
    b->setText(kNavigatorTexts[i]);
    b->setToolTip(QString::fromUtf8(kNavigatorHints[i]));
    b->setVisible(!browse_ || i < 4);
    navLayout->addWidget(b);
    connect(b, &QToolButton::clicked, this, [this, i] { Navigate(i); });
  }
  top->addWidget(nav);
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

  grid_ = new QTableView(this);
  grid_->setObjectName("TzGrid1");
  model_ = new Dbf4Model(w_, !browse_, this);
  grid_->setModel(model_);
  grid_->setEditTriggers(browse_ ? QAbstractItemView::NoEditTriggers
                                 : QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                       QAbstractItemView::AnyKeyPressed);
  grid_->setSelectionBehavior(QAbstractItemView::SelectItems);
  grid_->setWordWrap(false);
  grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 6);
  grid_->horizontalHeader()->setContextMenuPolicy(Qt::CustomContextMenu);
  // A right click on a column title orders the table by that column.
  connect(grid_->horizontalHeader(), &QHeaderView::customContextMenuRequested, this, [this](const QPoint& p) {
    const int column = grid_->horizontalHeader()->logicalIndexAt(p);
    SyncCurrent();
    w_.SortByColumn(column);
    Reload(TableGlobals().TableLastRecNo);
  });
  layout->addWidget(grid_);

  connect(ok, &QPushButton::clicked, this, &Tdbf4::Ok);
  connect(cancel, &QPushButton::clicked, this, &Tdbf4::Cancel);
  connect(search, &QPushButton::clicked, this, [this] {
    SyncCurrent();
    w_.SearchCommand();
    Reload(w_.RecNo());
  });
  connect(searchNext, &QPushButton::clicked, this, [this] {
    SyncCurrent();
    w_.SearchNextCommand();
    Reload(w_.RecNo());
  });
  Reload(w_.RecNo());
  connect(grid_->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] { CurrentChanged(); });
}

Tdbf4::~Tdbf4() = default;

void Tdbf4::BuildMenu(QMenuBar* bar) {
  auto item = [this](QMenu* menu, const char* name, const QString& text, auto handler) {
    QAction* a = menu->addAction(text);
    a->setObjectName(name);
    connect(a, &QAction::triggered, this, handler);
    return a;
  };
  QMenu* file = bar->addMenu(QStringLiteral("File"));
  file->setObjectName("mi_File");
  item(file, "mi_fileExportHtml", QStringLiteral("Export HTML"), [this] { ExportHtml(); });
  item(file, "mi_fileSaveAsDelimited", QStringLiteral("Save As Delimited"), [this] { SaveDelimited(); });
  file->addSeparator();
  QAction* appendDbf = item(file, "mi_fileAppenddbf", QStringLiteral("Append dbf"), [this] { AppendFile(false); });
  QAction* appendText =
      item(file, "mi_fileAppendDelimited", QStringLiteral("Append Delimited"), [this] { AppendFile(true); });
  QAction* separator = file->addSeparator();
  item(file, "mi_filePrint", QStringLiteral("Print"), [this] {
    w_.PrintCommand();
    G().AbortFlag = 0;
  });
  file->addSeparator();
  item(file, "mi_fileExit", QStringLiteral("Exit"), [this] { Ok(); });
  QMenu* edit = bar->addMenu(QStringLiteral("Edit"));
  edit->setObjectName("mi_edit");
  item(edit, "mi_editAppend", QStringLiteral("Append"), [this] {
    w_.AppendLocked();
    Reload(w_.RecNo());
  });
  QAction* append = edit->actions().back();
  QAction* pack = item(edit, "mi_editPack", QStringLiteral("Pack"), [this] {
    w_.PackCommand();
    Reload(1);
  });
  pack->setToolTip(Oem("Markierte Datensätze löschen"_oem));
  QMenu* view = bar->addMenu(QStringLiteral("View"));
  view->setObjectName("mi_view");
  item(view, "mi_viewSearch", QStringLiteral("&Suchen"), [this] {
    SyncCurrent();
    w_.SearchCommand();
    Reload(w_.RecNo());
  });
  item(view, "mi_viewSearchNext", QStringLiteral("&Weitersuchen"), [this] {
    SyncCurrent();
    w_.SearchNextCommand();
    Reload(w_.RecNo());
  });
  QMenu* help = bar->addMenu(QStringLiteral("Help"));
  help->setObjectName("mi_Help");
  item(help, "mi_helpdbf", AnsiToQString(w_.Title2()), [] {
    ShowHelpText(0, "", 1);
    G().AbortFlag = 0;
  });
  item(help, "mi_helpCommon", QStringLiteral("Database"), [] {
    ShowHelpText(3210, "", 1);
    G().AbortFlag = 0;
  });
  item(help, "mi_helphilfebild", QStringLiteral("Hilfe&bild"), [this] {
    ShowHelpText(0, "", 2);
    G().AbortFlag = 0;
    raise();
    activateWindow();
  });
  item(help, "mi_helpDatei", QStringLiteral("File"),
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

void Tdbf4::Reload(std::int32_t keepRecord) {
  model_->Reload();
  const int row = model_->Row(keepRecord);
  if (row >= 0) GoRow(row);
}

void Tdbf4::GoRow(int row) {
  const int column = std::max(0, grid_->currentIndex().column());
  grid_->setCurrentIndex(model_->index(row, column));
  w_.GoRecord(model_->Record(row));
}

void Tdbf4::CurrentChanged() {
  const std::int32_t r = model_->Record(grid_->currentIndex().row());
  if (r > 0) w_.GoRecord(r);
  recno_->setText(QString::number(w_.RecNo()) + "/" + QString::number(w_.RecCount()));
}

void Tdbf4::Navigate(int button) {
  const int rows = model_->rowCount({});
  const int row = grid_->currentIndex().row();
  switch (button) {
    case 0: if (rows > 0) GoRow(0); break;
    case 1: if (row > 0) GoRow(row - 1); break;
    case 2: if (row + 1 < rows) GoRow(row + 1); break;
    case 3: if (rows > 0) GoRow(rows - 1); break;
    case 4:
      w_.AppendLocked();
      Reload(w_.RecNo());
      break;
    case 5:
      if (row >= 0) {
        w_.GoRecord(model_->Record(row));
        w_.ToggleDeleted();
        Reload(model_->Record(row));
      }
      break;
    case 9: Reload(model_->Record(row)); break;
    default: break;  // edits are written when made
  }
}

// Painting reads cells of other records: the grid's current row names the
// current record.
void Tdbf4::SyncCurrent() {
  const std::int32_t r = model_->Record(grid_->currentIndex().row());
  if (r > 0) w_.GoRecord(r);
}

void Tdbf4::Ok() {
  SyncCurrent();
  answer_ = {true, w_.RecNo(), std::max(0, grid_->currentIndex().row()) + 1,
             std::max(0, grid_->currentIndex().column()) + 1};
  accept();
}

void Tdbf4::Cancel() {
  answer_ = {};
  reject();
}

void Tdbf4::ExportHtml() {
  std::string name = w_.FileName();
  name = name.substr(name.find_last_of('/') + 1);
  name = name.substr(0, name.find_last_of('.'));
  std::string path;
  if (!Ui().ChooseSaveFile(G().DataFolder, "HTML files|*.HTM;*.HTML|All files|*.*", name + ".htm", path)) return;
  w_.ExportHtml(path);
}

void Tdbf4::AppendFile(bool delimited) {
  std::string path;
  if (!Ui().ChooseOpenFile(G().DataFolder, delimited ? "*.txt|*.txt" : "*.dbf|*.dbf", path)) return;
  if (delimited) {
    w_.AppendDelimitedCommand(path);
  } else {
    w_.AppendDbfCommand(path);
  }
  Reload(w_.RecNo());
}

void Tdbf4::SaveDelimited() {
  std::string path;
  if (!Ui().ChooseSaveFile(G().DataFolder, "txt|*.txt|All files|*.*", "", path)) return;
  w_.SaveAsDelimitedCommand(path);
}

BrowseAnswer QtTableBrowser::Browse(TableWindow& window, int mode) {
  Tdbf4 form(window, mode);
  form.exec();
  return form.Answer();
}

void InstallQtTableBrowser() { SetTableBrowser(std::make_shared<QtTableBrowser>()); }

}  // namespace zeb
