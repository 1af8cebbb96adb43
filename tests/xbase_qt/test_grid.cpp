// The grid, navigator and dataset model under QtTest (offscreen): the model
// tester while records change, keys and clicks on logical cells, deletion
// marks, title clicks, pixels of a grab, and a table damaged under the grid.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>
#include <filesystem>
#include <fstream>

#include "../xbase/dataset_support.h"
#include "xbase/core/ansi_literal.h"
#include "xbase/dataset/filedataset.h"
#include "xbase/qt/qt_tzcallback.h"
#include "xbase/qt/tzgrid.h"

namespace zeb::xbase::test {
namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "xbase_qt_test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

class GridTest : public DatasetTest {
 protected:
  void SetUp() override {
    App();
    DatasetTest::SetUp();
    path = MakeTable("g.dbf", {{"NAME", 'C', 10, 0, 0}, {"OK", 'L', 1, 0, 0}, {"NUM", 'N', 6, 0, 0},
                               {"DAY", 'D', 8, 0, 0}, {"NOTE", 'M', 10, 0, 0}});
    ds = std::make_unique<TTzDbf>("G");
    ds->SetDbfFileName(path);
    ds->Open();
    for (int i = 1; i <= 6; ++i) Add("R" + std::to_string(i), i % 2 == 0);
    ds->First();
    window = std::make_unique<QWidget>();
    auto* layout = new QVBoxLayout(window.get());
    nav = new TTzNavigator(window.get());
    grid = new TTzGrid(window.get());
    layout->addWidget(nav);
    layout->addWidget(grid);
    grid->SetDataset(ds.get());
    nav->SetDataset(ds.get());
    window->resize(560, 300);
    window->show();
    // On a window system the window is mapped and sized by its manager (hang bound 20 s).
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get(), 20000));
    QApplication::processEvents();
  }
  void TearDown() override {
    window.reset();
    ds.reset();
    DatasetTest::TearDown();
  }
  void Add(const std::string& name, bool ok) {
    ds->Append();
    ds->FieldByName("NAME").SetAsString(name);
    ds->FieldByName("OK").SetAsBoolean(ok);
    ds->FieldByName("NUM").SetAsInteger(static_cast<std::int64_t>(name.size()) * 7);
    ds->Post();
  }
  QModelIndex Cell(int row, const char* field) {
    for (int c = 0; c < grid->Model()->columnCount(); ++c)
      if (grid->Model()->FieldOfColumn(c)->Name() == field) return grid->Model()->index(row, c);
    return {};
  }
  // The cell made current and its editor opened by F2, its text selected;
  // nullptr when no editor opens.
  QLineEdit* OpenEditor(const QModelIndex& cell) {
    grid->setCurrentIndex(cell);
    QTest::keyClick(grid, Qt::Key_F2);
    auto* editor = grid->findChild<QLineEdit*>("TzGridEditor");
    if (editor != nullptr) editor->selectAll();
    return editor;
  }
  QColor PixelOf(const QModelIndex& idx, int dx = 3, int dy = 3) {
    QApplication::processEvents();
    const QImage img = grid->viewport()->grab().toImage();
    const QRect r = grid->visualRect(idx);
    return img.pixelColor(r.left() + dx, r.top() + dy);
  }

  std::string path;
  std::unique_ptr<TTzDbf> ds;
  std::unique_ptr<QWidget> window;
  TTzNavigator* nav = nullptr;
  TTzGrid* grid = nullptr;
};

TEST_F(GridTest, ModelStaysConsistentWhileRecordsChange) {
  DatasetModel model(*ds);
  // The tester fetches inside its reset handler: one block holds every row.
  model.SetBlockSize(100000);
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
  EXPECT_EQ(model.rowCount(), 6);
  for (int i = 0; i < 300; ++i) Add("X" + std::to_string(i), false);
  model.Reload();
  while (model.canFetchMore({})) model.fetchMore({});
  EXPECT_EQ(model.rowCount(), 306);
  ds->Go(2);
  ds->Delete();
  ds->Go(3);
  ds->Delete();
  EXPECT_TRUE(model.index(1, 0).data(DatasetModel::DeletedRole).toBool());
  ds->Go(3);
  ds->SetDeletedFlag(false);
  ds->SetHideDeletedRecs(true);
  while (model.canFetchMore({})) model.fetchMore({});
  EXPECT_EQ(model.rowCount(), 305);
  EXPECT_EQ(model.RecordOf(1), 3);
  ds->SetHideDeletedRecs(false);
  ds->Pack();
  while (model.canFetchMore({})) model.fetchMore({});
  EXPECT_EQ(model.rowCount(), 305);
  // The grid follows the index order.
  ds->IndexOn("NAME", dir / "name.ndx");
  while (model.canFetchMore({})) model.fetchMore({});
  EXPECT_EQ(model.index(0, 0).data().toString(), "R1");
  EXPECT_EQ(model.index(model.rowCount() - 1, 0).data().toString(), "X99");
  ds->Last();
  EXPECT_EQ(model.CurrentRow(), model.rowCount() - 1);
}

TEST_F(GridTest, LogicalCellsToggleByKeyAndClick) {
  const QModelIndex ok = Cell(0, "OK");
  grid->setCurrentIndex(ok);
  EXPECT_FALSE(ok.data(DatasetModel::LogicalRole).toBool());
  QTest::keyClick(grid, Qt::Key_Return);
  EXPECT_TRUE(Cell(0, "OK").data(DatasetModel::LogicalRole).toBool());
  QTest::keyClick(grid, Qt::Key_Space);
  EXPECT_FALSE(Cell(0, "OK").data(DatasetModel::LogicalRole).toBool());
  QTest::keyClick(grid, Qt::Key_Backspace);
  QTest::keyClick(grid, Qt::Key_A);
  EXPECT_FALSE(Cell(0, "OK").data(DatasetModel::LogicalRole).toBool());
  const QRect r = grid->visualRect(Cell(1, "OK"));
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, r.center());
  EXPECT_FALSE(Cell(1, "OK").data(DatasetModel::LogicalRole).toBool());  // record 2 was true
  // The toggle waits in the record until it is left.
  EXPECT_EQ(ds->State(), DataSetState::Edit);
  grid->setCurrentIndex(Cell(0, "NAME"));
  ds->Go(2);
  EXPECT_FALSE(ds->FieldByName("OK").AsBoolean());
  EXPECT_EQ(ds->State(), DataSetState::Browse);
  // Memo cells read "(memo)" and are not edited.
  EXPECT_EQ(Cell(0, "NOTE").data().toString(), "(memo)");
  EXPECT_FALSE(grid->Model()->flags(Cell(0, "NOTE")).testFlag(Qt::ItemIsEditable));
}

TEST_F(GridTest, DeletionMarksFromNavigatorAndKeys) {
  ds->First();
  callback->answers = {2};  // Cancel
  QTest::mouseClick(nav->Button("nbDelete"), Qt::LeftButton);
  ASSERT_FALSE(Boxes().empty());
  EXPECT_EQ(Boxes().back(), std::string("Datensatz löschen ?"_ansi));
  EXPECT_FALSE(ds->GetDeletedFlag());
  callback->answers = {1};
  QTest::mouseClick(nav->Button("nbDelete"), Qt::LeftButton);
  EXPECT_TRUE(ds->GetDeletedFlag());
  // Without ConfirmRestore the mark goes at once.
  callback->events.clear();
  QTest::mouseClick(nav->Button("nbDelete"), Qt::LeftButton);
  EXPECT_FALSE(ds->GetDeletedFlag());
  EXPECT_TRUE(Boxes().empty());
  // Ctrl+Delete in the grid restores after the question.
  ds->Delete();
  grid->setCurrentIndex(Cell(0, "NAME"));
  callback->events.clear();
  callback->answers = {1};
  QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0], "Datensatz restaurieren ?");
  EXPECT_FALSE(ds->GetDeletedFlag());
  for (const char* b : {"nbFirst", "nbPrior", "nbNext", "nbLast", "nbInsert", "nbDelete", "nbEdit", "nbPost",
                        "nbCancel", "nbRefresh"})
    EXPECT_NE(nav->Button(b), nullptr) << b;
  QTest::mouseClick(nav->Button("nbLast"), Qt::LeftButton);
  EXPECT_EQ(ds->GetRecNo(), 6);
  EXPECT_EQ(grid->currentIndex().row(), 5);
}

TEST_F(GridTest, PixelsOfMarksColoursAndBoxes) {
  ds->Go(2);
  ds->Delete();
  grid->clearSelection();
  grid->setCurrentIndex(Cell(4, "NAME"));
  const QColor marked = PixelOf(Cell(1, "NAME"));
  EXPECT_EQ(marked, QColor(255, 0, 0));
  EXPECT_NE(PixelOf(Cell(0, "NAME")), QColor(255, 0, 0));
  // The colour event sees the row and changes its colours.
  std::vector<std::int32_t> seen;
  grid->onChangeColorsEvent = [&](TTzGrid&, const GridRowView& row, CellColors& c) {
    seen.push_back(row.recNo);
    if (row.value("NAME") == "R3") c.background = 0x00FF00;
    c.deletedBackground = 0xFF0000;  // blue
  };
  grid->viewport()->update();
  EXPECT_EQ(PixelOf(Cell(2, "NAME")), QColor(0, 255, 0));
  EXPECT_EQ(PixelOf(Cell(1, "NAME")), QColor(0, 0, 255));
  EXPECT_FALSE(seen.empty());
  grid->onChangeColorsEvent = nullptr;
  // A true check box differs from a false one.
  const QImage img = grid->viewport()->grab().toImage();
  const QRect t = grid->visualRect(Cell(3, "OK"));  // record 4: true
  const QRect f = grid->visualRect(Cell(2, "OK"));  // record 3: false
  EXPECT_NE(img.copy(t), img.copy(f));
  int dark = 0;
  for (int x = t.left(); x <= t.right(); ++x)
    for (int y = t.top(); y <= t.bottom(); ++y) dark += img.pixelColor(x, y).lightness() < 100 ? 1 : 0;
  int darkFalse = 0;
  for (int x = f.left(); x <= f.right(); ++x)
    for (int y = f.top(); y <= f.bottom(); ++y) darkFalse += img.pixelColor(x, y).lightness() < 100 ? 1 : 0;
  EXPECT_GT(dark, darkFalse);
}

TEST_F(GridTest, TitleClicks) {
  int depressed = 0;
  int column = -1;
  grid->onDepressTitle = [&](TTzGrid&, int c) {
    ++depressed;
    column = c;
  };
  QHeaderView* h = grid->horizontalHeader();
  const QPoint at(h->sectionViewportPosition(1) + 5, h->height() / 2);
  QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, at);
  EXPECT_EQ(depressed, 0);
  QTest::mouseClick(h->viewport(), Qt::RightButton, {}, at);
  EXPECT_EQ(depressed, 1);
  EXPECT_EQ(column, 1);
  EXPECT_EQ(grid->DepressedColumn(), 1);
  h->moveSection(1, 3);
  EXPECT_EQ(grid->DepressedColumn(), 3);
  grid->SetDepressDisabled(true);
  EXPECT_EQ(grid->DepressedColumn(), -1);
  QTest::mouseClick(h->viewport(), Qt::RightButton, {}, at);
  EXPECT_EQ(depressed, 1);
}

TEST_F(GridTest, DamagedTableGivesAnErrorBoxAndTheViewRunsOn) {
  QTest::mouseClick(nav->Button("nbLast"), Qt::LeftButton);
  // A second program cuts the table before the current record.
  std::filesystem::resize_file(path, std::filesystem::file_size(path) - 3 * 36);
  callback->events.clear();
  QTest::mouseClick(nav->Button("nbEdit"), Qt::LeftButton);
  QTest::mouseClick(nav->Button("nbPost"), Qt::LeftButton);
  QApplication::processEvents();
  ASSERT_FALSE(Boxes().empty());
  EXPECT_TRUE(exitCodes.empty());
  EXPECT_EQ(ds->State(), DataSetState::Browse);
  QTest::mouseClick(nav->Button("nbFirst"), Qt::LeftButton);
  QApplication::processEvents();
  (void)grid->viewport()->grab();
  EXPECT_EQ(grid->currentIndex().row(), 0);
  EXPECT_EQ(ds->GetRecNo(), 1);
}

TEST_F(GridTest, AutoAppendAddsARowPastTheEnd) {
  DatasetModel* m = grid->Model();
  grid->setCurrentIndex(Cell(5, "NAME"));
  // Down past the last row starts a new record; leaving it unchanged gives it up.
  QTest::keyClick(grid, Qt::Key_Down);
  EXPECT_EQ(ds->State(), DataSetState::Insert);
  EXPECT_EQ(m->rowCount(), 7);
  EXPECT_EQ(grid->currentIndex().row(), 6);
  QTest::keyClick(grid, Qt::Key_Up);
  EXPECT_EQ(ds->State(), DataSetState::Browse);
  EXPECT_EQ(m->rowCount(), 6);
  EXPECT_EQ(ds->RecCount(), 6);
  // A changed new row is posted when left.
  grid->setCurrentIndex(Cell(5, "NAME"));
  QTest::keyClick(grid, Qt::Key_Down);
  ASSERT_TRUE(m->setData(m->index(6, 0), "NEU"));
  QTest::keyClick(grid, Qt::Key_Up);
  EXPECT_EQ(ds->RecCount(), 7);
  EXPECT_EQ(m->rowCount(), 7);
  EXPECT_EQ(m->index(6, 0).data().toString(), "NEU");
  // Without AutoAppend nothing is appended.
  grid->autoAppend = false;
  grid->setCurrentIndex(Cell(6, "NAME"));
  QTest::keyClick(grid, Qt::Key_Down);
  EXPECT_EQ(ds->State(), DataSetState::Browse);
  EXPECT_EQ(m->rowCount(), 7);
}

TEST_F(GridTest, SavedColumnsBuildTheColumns) {
  grid->ApplySavedColumns({"cvColumn=1", "cvFieldNameStr=NUM", "cvWidthStr=90", "cvTitleCaptionStr=Nummer",
                           "cvReadOnlyStr=TRUE", "cvColorStr=clYellow", "cvAlignmentStr=taCenter", "cvColumn=2",
                           "cvFieldNameStr=NAME"});
  QHeaderView* h = grid->horizontalHeader();
  const int num = Cell(0, "NUM").column();
  EXPECT_EQ(h->visualIndex(num), 0);
  EXPECT_EQ(h->visualIndex(Cell(0, "NAME").column()), 1);
  EXPECT_EQ(grid->columnWidth(num), 90);
  EXPECT_EQ(grid->Model()->headerData(num, Qt::Horizontal).toString(), "Nummer");
  grid->clearSelection();
  grid->setCurrentIndex(Cell(3, "NAME"));
  EXPECT_EQ(PixelOf(Cell(0, "NUM")), QColor(255, 255, 0));
  grid->setCurrentIndex(Cell(0, "NUM"));
  QTest::keyClick(grid, Qt::Key_F2);
  EXPECT_EQ(grid->findChild<QLineEdit*>("TzGridEditor"), nullptr);  // read-only column
  grid->setCurrentIndex(Cell(0, "NAME"));
  QTest::keyClick(grid, Qt::Key_F2);
  EXPECT_NE(grid->findChild<QLineEdit*>("TzGridEditor"), nullptr);
  QTest::keyClick(grid->findChild<QLineEdit*>("TzGridEditor"), Qt::Key_Escape);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  // A date cell edits through the engine's date mask.
  grid->setCurrentIndex(Cell(0, "DAY"));
  QTest::keyClick(grid, Qt::Key_F2);
  auto* date = grid->findChild<QLineEdit*>("TzGridEditor");
  ASSERT_NE(date, nullptr);
  EXPECT_EQ(date->inputMask(), "00.00.0000");  // the blank is a space
}

TEST_F(GridTest, WideEmptyAndAllDeletedTablesShow) {
  // 255 fields of C(254).
  std::vector<FieldDesc> wide;
  for (int i = 1; i <= 255; ++i) wide.push_back({"F" + std::to_string(i), 'C', 254, 0, 0});
  const std::string widePath = MakeTable("wide.dbf", wide);
  TTzDbf w("WIDE");
  w.SetDbfFileName(widePath);
  w.Open();
  w.Append();
  w.FieldByName("F255").SetAsString(std::string(254, 'x'));
  w.Post();
  grid->SetDataset(&w);
  EXPECT_EQ(grid->Model()->columnCount(), 255);
  EXPECT_EQ(grid->Model()->index(0, 254).data().toString().size(), 254);
  grid->scrollTo(grid->Model()->index(0, 254));
  (void)grid->viewport()->grab();
  // Every record deleted and hidden: no rows, the grid paints.
  ds->SetHideDeletedRecs(true);
  for (ds->First(); !ds->IsEmpty();) ds->Delete();
  grid->SetDataset(ds.get());
  EXPECT_EQ(grid->Model()->rowCount(), 0);
  (void)grid->viewport()->grab();
  QTest::mouseClick(nav->Button("nbNext"), Qt::LeftButton);
  QTest::mouseClick(nav->Button("nbDelete"), Qt::LeftButton);
  EXPECT_TRUE(exitCodes.empty());
  ds->SetHideDeletedRecs(false);
  EXPECT_EQ(grid->Model()->rowCount(), 6);
  EXPECT_TRUE(grid->Model()->index(0, 0).data(DatasetModel::DeletedRole).toBool());
  grid->SetDataset(nullptr);
}

// Qt's warnings while a test runs.
std::vector<std::string>& Warnings() {
  static std::vector<std::string> w;
  return w;
}
void RecordWarning(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type != QtDebugMsg && type != QtInfoMsg && !message.startsWith("This plugin does not support"))
    Warnings().push_back(message.toStdString());
}
struct WarningsRecorded {
  QtMessageHandler old = qInstallMessageHandler(RecordWarning);
  WarningsRecorded() { Warnings().clear(); }
  ~WarningsRecorded() { qInstallMessageHandler(old); }
};

void Settle() {
  for (int i = 0; i < 5; ++i) {
    QCoreApplication::sendPostedEvents();
    QApplication::processEvents();
  }
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// A value typed into a cell is posted when the editor closes (Enter, or a
// click elsewhere) and the editor belongs to the grid to the end: Qt warns
// of no editor it does not know.
TEST_F(GridTest, TypedValuesArePostedWithTheEditorsOwnView) {
  const WarningsRecorded recorded;
  grid->setFocus();
  for (const int row : {1, 3}) {
    auto* editor = OpenEditor(Cell(row, "NAME"));
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, "Neu" + QString::number(row));
    if (row == 1) {
      QTest::keyClick(editor, Qt::Key_Return);
    } else {
      // Leaving the cell by a click on another one.
      QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(Cell(0, "NUM")).center());
    }
    Settle();
    EXPECT_EQ(Cell(row, "NAME").data().toString(), "Neu" + QString::number(row));
    // Posted when the record is left.
    grid->setCurrentIndex(Cell(0, "NUM"));
    ds->Go(row + 1);
    EXPECT_EQ(ds->FieldByName("NAME").AsString(), "Neu" + std::to_string(row));
    EXPECT_EQ(Cell(row, "NAME").data().toString(), "Neu" + QString::number(row));
  }
  // Under an index on the field the row moves to its new place.
  ds->IndexOn("NAME", dir / "name.ndx");
  Settle();
  ASSERT_EQ(Cell(0, "NAME").data().toString(), "Neu1");
  auto* editor = OpenEditor(Cell(0, "NAME"));
  ASSERT_NE(editor, nullptr);
  QTest::keyClicks(editor, "ZZ");
  QTest::keyClick(editor, Qt::Key_Return);
  Settle();
  EXPECT_EQ(Cell(0, "NAME").data().toString(), "ZZ");
  grid->setCurrentIndex(Cell(1, "NUM"));
  Settle();
  EXPECT_EQ(Cell(grid->Model()->rowCount() - 1, "NAME").data().toString(), "ZZ");
  EXPECT_NE(Cell(0, "NAME").data().toString(), "ZZ");
  EXPECT_EQ(Warnings(), std::vector<std::string>{});
}

// Return hands the editor's text in from the event loop. When the focus
// leaves the editor before that (the window loses it on a busy desktop),
// the editor is handed in and closed at once, and the late hand-in finds it
// closed: the value is posted once, the next editor opens, Qt warns of
// nothing.
TEST_F(GridTest, AnEditorLeftBeforeItsReturnIsHandedInIsClosedOnce) {
  const WarningsRecorded recorded;
  grid->setFocus();
  auto* editor = OpenEditor(Cell(2, "NAME"));
  ASSERT_NE(editor, nullptr);
  QTest::keyClicks(editor, "Fokus");
  QTest::keyClick(editor, Qt::Key_Return);
  editor->clearFocus();
  EXPECT_FALSE(editor->isVisible());
  Settle();
  EXPECT_EQ(Cell(2, "NAME").data().toString(), "Fokus");
  auto* next = OpenEditor(Cell(4, "NAME"));
  ASSERT_NE(next, nullptr);
  QTest::keyClicks(next, "Weiter");
  QTest::keyClick(next, Qt::Key_Return);
  Settle();
  grid->setCurrentIndex(Cell(0, "NUM"));
  Settle();
  ds->Go(3);
  EXPECT_EQ(ds->FieldByName("NAME").AsString(), "Fokus");
  ds->Go(5);
  EXPECT_EQ(ds->FieldByName("NAME").AsString(), "Weiter");
  EXPECT_EQ(Warnings(), std::vector<std::string>{});
}

// A typed value whose write the disk refuses, of a table in a folder whose
// path runs past 255 characters: the box names the table and then says the
// change is not written, and the table's bytes are as they were.
TEST_F(GridTest, ARefusedWriteIsToldWholeUnderALongPath) {
  const std::string part(110, 'p');
  const std::filesystem::path deep = std::filesystem::path(dir / ("a folder " + part)) / ("and another " + part);
  std::filesystem::create_directories(deep);
  const std::string table = (deep / "long.dbf").string();
  {
    DbfTable t;
    CreateDbf(t, table, {{"NAME", 'C', 10, 0, 0}, {"OK", 'L', 1, 0, 0}, {"NUM", 'N', 6, 0, 0}});
  }
  grid->SetDataset(nullptr);
  ds = std::make_unique<TTzDbf>("L");
  ds->SetDbfFileName(table);
  ds->Open();
  Add("R1", false);
  Add("R2", false);
  ds->First();
  grid->SetDataset(ds.get());
  Settle();
  std::ifstream in(table, std::ios::binary);
  const std::string before((std::istreambuf_iterator<char>(in)), {});
  callback->events.clear();
  SetFileFault([](FileStep step, std::size_t&) { return step == FileStep::Write ? EIO : 0; });
  grid->setFocus();
  auto* editor = OpenEditor(Cell(0, "NAME"));
  ASSERT_NE(editor, nullptr);
  QTest::keyClicks(editor, "Neu");
  QTest::keyClick(editor, Qt::Key_Return);
  Settle();
  // Posted when the record is left.
  grid->setCurrentIndex(Cell(1, "NAME"));
  Settle();
  SetFileFault({});
  if (ds->State() != DataSetState::Browse) ds->Cancel();
  std::ifstream again(table, std::ios::binary);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(again)), {}), before);
  ASSERT_FALSE(Boxes().empty());
  const std::string box = Boxes().front();
  EXPECT_GT(box.size(), 255u);
  EXPECT_NE(box.find(table), std::string::npos) << box;
  EXPECT_NE(box.find("nicht gespeichert"_ansi), std::string::npos) << box;
}

// A text typed over a character cell (the first key opens the editor, Enter
// posts) changes that field alone: the fields after it keep their bytes, in
// the grid and in the file.
TEST_F(GridTest, TypedTextChangesItsFieldAlone) {
  grid->SetDataset(nullptr);
  nav->SetDataset(nullptr);
  ds.reset();
  path = MakeTable("w.dbf", {{"NAME1", 'C', 50, 0, 0}, {"NAME2", 'C', 30, 0, 0}, {"NAME3", 'C', 20, 0, 0},
                             {"NAME4", 'C', 20, 0, 0}});
  ds = std::make_unique<TTzDbf>("W");
  ds->SetDbfFileName(path);
  ds->Open();
  for (int i = 1; i <= 3; ++i) {
    ds->Append();
    ds->FieldByName("NAME1").SetAsString("EN 10270-1 S" + std::to_string(i));
    ds->FieldByName("NAME3").SetAsString("patentiert gezogen");
    ds->FieldByName("NAME4").SetAsString("statisch");
    ds->Post();
  }
  ds->First();
  grid->SetDataset(ds.get());
  nav->SetDataset(ds.get());
  Settle();
  const auto bytes = [this] {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const std::string before = bytes();
  grid->setFocus();
  grid->setCurrentIndex(Cell(1, "NAME2"));
  QTest::keyClick(grid, 'a');
  auto* editor = grid->findChild<QLineEdit*>("TzGridEditor");
  ASSERT_NE(editor, nullptr);
  QTest::keyClicks(editor, "bc");
  QTest::keyClick(editor, Qt::Key_Return);
  Settle();
  EXPECT_EQ(Cell(1, "NAME2").data().toString(), "abc");
  EXPECT_EQ(Cell(1, "NAME3").data().toString(), "patentiert gezogen");
  EXPECT_EQ(Cell(1, "NAME4").data().toString(), "statisch");
  EXPECT_EQ(bytes(), before);  // until the record is left
  grid->setCurrentIndex(Cell(0, "NAME1"));
  // The file: the second record's NAME2 bytes are new, every other byte is as it was.
  const std::string after = bytes();
  ASSERT_EQ(after.size(), before.size());
  const std::size_t header = static_cast<unsigned char>(before[8]) | static_cast<unsigned char>(before[9]) << 8;
  const std::size_t name2 = header + 121 + 1 + 50;
  std::string expected = before;
  expected.replace(name2, 30, "abc" + std::string(27, ' '));
  EXPECT_EQ(after.substr(header), expected.substr(header));
}

// Fixed columns stay at the left while the others scroll, drawn as fixed
// cells; the cursor keeps out of them.
TEST_F(GridTest, FixedColumnsStayAndTheCursorKeepsOutOfThem) {
  window->resize(300, 300);
  // A window manager applies the new size later (hang bound 20 s).
  ASSERT_TRUE(QTest::qWaitFor([this] { return window->width() == 300; }, 20000));
  grid->SetFixedColumns(2);
  Settle();
  QTableView* fixed = grid->FixedView();
  ASSERT_NE(fixed, nullptr);
  EXPECT_EQ(grid->FixedCount(), 2);
  EXPECT_FALSE(fixed->isColumnHidden(0));
  EXPECT_FALSE(fixed->isColumnHidden(1));
  EXPECT_TRUE(fixed->isColumnHidden(2));
  EXPECT_EQ(fixed->width(), grid->columnWidth(0) + grid->columnWidth(1));
  EXPECT_EQ(fixed->x(), grid->verticalHeader()->width() + grid->frameWidth());
  // Scrolled to the last column: the fixed columns stay where they were.
  grid->setCurrentIndex(Cell(0, "NOTE"));
  Settle();
  EXPECT_TRUE(QTest::qWaitFor([this] { return grid->horizontalScrollBar()->value() > 0; }, 20000));
  const QImage img = grid->grab().toImage();
  const QPoint inFixed = fixed->geometry().topLeft() + fixed->viewport()->geometry().topLeft() +
                         fixed->visualRect(fixed->model()->index(2, 0)).bottomRight() - QPoint(3, 3);
  EXPECT_EQ(img.pixelColor(inFixed), QColor(192, 192, 192));
  EXPECT_EQ(fixed->model()->index(2, 0).data().toString(), "R3");
  // Home and Left stop at the first scrolling column.
  QTest::keyClick(grid, Qt::Key_Home);
  EXPECT_EQ(grid->currentIndex().column(), 2);
  QTest::keyClick(grid, Qt::Key_Left);
  EXPECT_EQ(grid->currentIndex().column(), 2);
  // A click on a fixed cell makes its row current, the column stays.
  QTest::mouseClick(fixed->viewport(), Qt::LeftButton, {}, fixed->visualRect(fixed->model()->index(4, 1)).center());
  EXPECT_EQ(grid->currentIndex().row(), 4);
  EXPECT_EQ(grid->currentIndex().column(), 2);
  EXPECT_EQ(ds->GetRecNo(), 5);
  // The rows scroll together.
  grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum());
  EXPECT_EQ(fixed->verticalScrollBar()->value(), grid->verticalScrollBar()->value());
  // Never every column: one keeps scrolling; none removes the view.
  grid->SetFixedColumns(99);
  EXPECT_EQ(grid->FixedCount(), grid->Model()->columnCount() - 1);
  grid->SetFixedColumns(0);
  EXPECT_EQ(grid->FixedView(), nullptr);
}

// The indicator cell of a row whose fixed colour the colour event changed
// is filled with it inside a one-pixel margin; other rows keep theirs.
TEST_F(GridTest, IndicatorTakesTheFixedColourOfTheColourEvent) {
  grid->onChangeColorsEvent = [](TTzGrid&, const GridRowView& row, CellColors& c) {
    if (row.value("NAME") == "R3") c.fixed = 0x00FF00;
  };
  Settle();
  QHeaderView* v = grid->verticalHeader();
  const QImage img = v->viewport()->grab().toImage();
  const int y2 = v->sectionViewportPosition(2), y0 = v->sectionViewportPosition(0);
  EXPECT_EQ(img.pixelColor(2, y2 + 2), QColor(0, 255, 0));
  EXPECT_EQ(img.pixelColor(v->width() - 3, y2 + v->sectionSize(2) - 3), QColor(0, 255, 0));
  EXPECT_NE(img.pixelColor(0, y2), QColor(0, 255, 0));  // the margin
  EXPECT_NE(img.pixelColor(2, y0 + 2), QColor(0, 255, 0));
  grid->onChangeColorsEvent = nullptr;
}

TEST_F(GridTest, EngineWindowsAndScreenshot) {
  auto qt = std::make_shared<QtTzCallback>();
  SetTzCallback(qt);
  const char* shot = std::getenv("ZEB1_SCREENSHOT");
  {
    TzProgress100 msg("Indexing table.ndx...");
    for (int i = 0; i < 30; ++i) msg.Step();
    ASSERT_NE(qt->Window(msg.Id()), nullptr);
    EXPECT_EQ(qt->Window(msg.Id())->windowTitle(), "Indexing table.ndx...");
    if (shot != nullptr) qt->Window(msg.Id())->grab().save(QString::fromUtf8(shot) + ".progress.png");
  }
  // A real look at the grid (xvfb-run with ZEB1_SCREENSHOT set).
  if (shot != nullptr) {
    ds->Go(3);
    ds->Delete();
    grid->SetBooleanBox(TTzBooleanBox::bbCheckBox);
    window->setWindowTitle("Tabelle g.dbf");
    QApplication::processEvents();
    window->grab().save(QString::fromUtf8(shot));
    // One fixed column over the scrolled rest, an indicator filled.
    window->resize(360, 300);
    grid->SetFixedColumns(1);
    grid->onChangeColorsEvent = [](TTzGrid&, const GridRowView& row, CellColors& c) {
      if (row.value("NAME") == "R5") c.fixed = 0x00C0FF;
    };
    grid->setCurrentIndex(Cell(1, "NOTE"));
    Settle();
    window->grab().save(QString::fromUtf8(shot) + ".fixed.png");
    grid->onChangeColorsEvent = nullptr;
  }
  SetTzCallback(callback);
}

}  // namespace
}  // namespace zeb::xbase::test
