// The table window on Qt (offscreen), opened through the table services and
// driven by object names. With ZEB1_SCREENSHOTS set to a folder the window
// is saved there as a picture once (for the review under a real display).
#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QToolButton>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <clocale>
#include <cstdio>
#include <string>
#include <cstdlib>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

#include "mainwin/program_fixture.h"
#include "base/globals.h"
#include "base_qt/support_qt.h"
#include "spring/spring_data.h"
#include "tables/qt/tdbf4.h"
#include "tables/table_functions.h"
#include "tables/table_services.h"
#include "xbase/core/callbacks.h"
#include "xbase/core/engine.h"
#include "xbase/core/units.h"
#include "xbase/dataset/filedataset.h"
#include "xbase/full_disk.h"
#include "xbase/qt/tzgrid.h"

namespace zeb::qttest {
namespace {

namespace fs = std::filesystem;

std::string FileBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// What another program reads: the python statement's printed value over
// the records t of the table (code page 850), UTF-8.
std::string Peer(const fs::path& table, const std::string& expression) {
  return test::CommandOutput("/usr/bin/python3 -c " +
                             test::ShellQuote("import dbfread, sys; t = list(dbfread.DBF(sys.argv[1], encoding='cp850')); "
                                              "print(" + expression + ", end='')") +
                             " " + test::ShellQuote(table.string()) + " 2>&1");
}

// What python3-dbf (the count from the header) reads, or, with append, a
// record it adds: the statement's printed value over the table t.
std::string PyDbf(const fs::path& table, const std::string& statement) {
  return test::CommandOutput("/usr/bin/python3 -c " +
                             test::ShellQuote("import dbf, sys; t = dbf.Table(sys.argv[1], codepage='cp850'); "
                                              "t.open(dbf.READ_WRITE); " + statement + "; t.close()") +
                             " " + test::ShellQuote(table.string()) + " 2>&1");
}

int VisibleNavigatorButtons(QWidget* d) {
  int n = 0;
  for (QToolButton* b : Child<QWidget>(d, "TzNavigator1")->findChildren<QToolButton*>()) n += b->isVisibleTo(d) ? 1 : 0;
  return n;
}

class Tdbf4Test : public QtTest {
 protected:
  void SetUp() override {
    QtTest::SetUp();
    ResetSpringGlobals();
    xbase::ResetTzEngine();
    xbase::InitTableEngineUnits();
    fs::create_directories(dbf());
    fs::create_directories(temp());
    zeb::test::CopyShippedTables(ZEB1_DBF_FOLDER, dbf());
    G().DbfFolder = dbf().string();
    G().TempFolder = temp().string();
    InstallTableServices();
    InstallQtTableBrowser();
  }
  void TearDown() override {
    TableClose();
    SetTableBrowser(nullptr);
    SetTables(nullptr);
    xbase::SetTzCallback(nullptr);
    QtTest::TearDown();
  }
  fs::path dbf() const { return fs::path(scratch) / "dbf"; }
  fs::path temp() const { return fs::path(scratch) / "tmp"; }
};

TEST_F(Tdbf4Test, BrowseShowsFourNavigatorButtonsEditTen) {
  int browseButtons = 0, editButtons = 0;
  QString browseTitle;
  WhenShown("dbf4", [&](QWidget* d) {
    browseButtons = VisibleNavigatorButtons(d);
    browseTitle = d->windowTitle();
    auto* grid = Child<QTableView>(d, "TzGrid1");
    EXPECT_EQ(grid->model()->rowCount(), 15);  // marked materials hidden
    EXPECT_EQ(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_FALSE(Child<QAction>(d, "mi_editPack")->isVisible());
    EXPECT_EQ(Child<QAction>(d, "mi_helpdbf")->text(), "Material");
    Screenshot(d, "tdbf4_zebwst_browse");
    grid->setCurrentIndex(grid->model()->index(2, 0));  // the third shown: material 4
    QTest::mouseClick(Child<QPushButton>(d, "Button_ok"), Qt::LeftButton);
  });
  G().AbortFlag = 0;
  Tables().OpenWithWriteCheck("zebwst");
  Tables().SetTitles("", "Material");
  Tables().ShowTable("", 1);
  EXPECT_EQ(browseButtons, 4);
  EXPECT_EQ(browseTitle, "Material   ");
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(TableGlobals().TableLastRecNo, 4);
  EXPECT_EQ(TableGlobals().LastKeyCode, 13);
  EXPECT_EQ(Tables().GetField(27), "        4");
  Tables().CloseTable();

  WhenShown("dbf4", [&](QWidget* d) {
    editButtons = VisibleNavigatorButtons(d);
    auto* grid = Child<QTableView>(d, "TzGrid1");
    EXPECT_EQ(grid->model()->rowCount(), 20);
    // An edit of a cell goes into the table with its post.
    grid->model()->setData(grid->model()->index(1, 0), QStringLiteral("Federdraht SM"), Qt::EditRole);
    Screenshot(d, "tdbf4_zebwst_edit");
    QTest::mouseClick(Child<xbase::TTzNavigator>(d, "TzNavigator1")->Button("nbPost"), Qt::LeftButton);
    QTest::mouseClick(Child<QPushButton>(d, "Button_cancel"), Qt::LeftButton);
  });
  Tables().EditTable("zebwst", 3300);
  EXPECT_EQ(editButtons, 10);
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_EQ(TableGlobals().LastKeyCode, 27);
  G().AbortFlag = 0;
  TableOpen("zebwst");
  TableGo(2);
  EXPECT_EQ(TableGetField(1).substr(0, 13), "Federdraht SM");
}

TEST_F(Tdbf4Test, ScaledAndCentredOverTheMainWindow) {
  G().DialogSizePercent = 150;
  WhenShown("dbf4", [](QWidget* d) {
    // 630 x 464 at 150 %, centred over the main window (here: the screen).
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QSize want = QSize(945, 696).expandedTo(d->minimumSizeHint());
    EXPECT_EQ(d->size(), want);
    EXPECT_EQ(d->x(), screen.x() + std::max(0, (screen.width() - want.width()) / 2));
    EXPECT_EQ(d->y(), screen.y() + std::max(0, (screen.height() - want.height()) / 2) + 20);
    QTest::mouseClick(Child<QPushButton>(d, "Button_cancel"), Qt::LeftButton);
  });
  Tables().OpenWithWriteCheck("zebwst");
  Tables().ShowTable("", 1);
}

// The deletion byte of record n as the dBase layout places it: header
// length at bytes 8-9, record length at 10-11 (little endian).
char DeletionByte(const std::string& b, int n) {
  auto u16 = [&](std::size_t k) { return static_cast<unsigned char>(b[k]) | static_cast<unsigned char>(b[k + 1]) << 8; };
  const std::size_t at = static_cast<std::size_t>(u16(8)) + static_cast<std::size_t>(n - 1) * u16(10);
  return at < b.size() ? b[at] : '?';
}

TEST_F(Tdbf4Test, CtrlDeleteMarksOnlyWhereTheTableIsEditedAndAsksNothing) {
  const fs::path path = dbf() / "zebwst.dbf";
  auto ctrlDeleteOnRow = [](QWidget* d, int row) {
    auto* grid = Child<QTableView>(d, "TzGrid1");
    grid->setCurrentIndex(grid->model()->index(row, 0));
    QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
    QTest::mouseClick(Child<QPushButton>(d, "Button_ok"), Qt::LeftButton);
  };
  // Browse (the lookups of materials and standards): nothing changes.
  const std::string before = FileBytes(path);
  for (int mode : {1, 4, 5}) {
    SCOPED_TRACE(mode);
    WhenShown("dbf4", [&](QWidget* d) { ctrlDeleteOnRow(d, 0); });
    G().AbortFlag = 0;
    Tables().OpenWithWriteCheck("zebwst");
    Tables().SetTitles("", "Material");
    Tables().ShowTable("", mode);
    Tables().CloseTable();
    EXPECT_EQ(before, FileBytes(path));
  }
  // Editing: the mark is set at once, without a question (a message box
  // would keep the key press from returning and the test would time out).
  WhenShown("dbf4", [&](QWidget* d) { ctrlDeleteOnRow(d, 1); });
  Tables().EditTable("zebwst", 3300);
  EXPECT_EQ(G().AbortFlag, 0);
  const int n = TableGlobals().TableLastRecNo;
  EXPECT_EQ(' ', DeletionByte(before, n));
  EXPECT_EQ('*', DeletionByte(FileBytes(path), n));
}

// The menu bar carries the main menu's captions of the session's language.
TEST_F(Tdbf4Test, MenusTakeTheMainMenuCaptions) {
  auto& m = G().MainMenuCaptions;
  std::vector<std::pair<const char*, QString>> seen;
  auto look = [&](QWidget* d) {
    for (const char* name : {"mi_File", "mi_edit", "mi_view", "mi_Help"})
      seen.emplace_back(name, Child<QMenu>(d, name)->title());
    for (const char* name : {"mi_filePrint", "mi_fileExit", "mi_helpCommon", "mi_helpDatei"})
      seen.emplace_back(name, Child<QAction>(d, name)->text());
    QTest::mouseClick(Child<QPushButton>(d, "Button_cancel"), Qt::LeftButton);
  };
  // German at start.
  WhenShown("dbf4", look);
  Tables().EditTable("zebwst", 3300);
  const std::vector<std::pair<const char*, QString>> german = {
      {"mi_File", "&Datei"},          {"mi_edit", "&Bearbeiten"},    {"mi_view", "&Ansicht"},
      {"mi_Help", "&Hilfe"},          {"mi_filePrint", "&Drucken..."}, {"mi_fileExit", "&Beenden"},
      {"mi_helpCommon", "Datenban&k"}, {"mi_helpDatei", "&Datei"}};
  EXPECT_EQ(seen, german);
  seen.clear();
  m.File = "&File", m.Print = "&Print...", m.Exit = "E&xit", m.Edit = "&Edit", m.View = "&View", m.Help = "&Help";
  m.Database = "&Database";
  G().AbortFlag = 0;
  WhenShown("dbf4", look);
  Tables().EditTable("zebwst", 3300);
  const std::vector<std::pair<const char*, QString>> english = {
      {"mi_File", "&File"},          {"mi_edit", "&Edit"},          {"mi_view", "&View"},
      {"mi_Help", "&Help"},          {"mi_filePrint", "&Print..."}, {"mi_fileExit", "E&xit"},
      {"mi_helpCommon", "&Database"}, {"mi_helpDatei", "&File"}};
  EXPECT_EQ(seen, english);
}

TEST_F(Tdbf4Test, PackFromTheMenuRunsAtOnceAndRightClickSorts) {
  WhenShown("dbf4", [&](QWidget* d) {
    auto* grid = Child<QTableView>(d, "TzGrid1");
    Child<QAction>(d, "mi_editPack")->trigger();  // no question in between
    EXPECT_EQ(grid->model()->rowCount(), 15);
    // Right click on the title of RMSLOPE (field 11): ordered by it, the
    // current record kept.
    grid->setCurrentIndex(grid->model()->index(4, 0));
    const std::int32_t before = TableRecNo();
    QHeaderView* header = grid->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::RightButton, {}, QPoint(header->sectionViewportPosition(10) + 5, 5));
    EXPECT_TRUE(fs::exists(temp() / "$tlmtemp.ndx"));
    EXPECT_EQ(TableRecNo(), before);
    // The smallest slope: 0 of the copper alloys' constant laws.
    EXPECT_EQ(grid->model()->data(grid->model()->index(0, 10)).toString().trimmed(), "0");
    QTest::mouseClick(Child<QPushButton>(d, "Button_ok"), Qt::LeftButton);
  });
  Tables().EditTable("zebwst", 3300);
  G().AbortFlag = 0;
  TableOpen("zebwst");
  EXPECT_EQ(TableRecCount(), 15);
}

TEST_F(Tdbf4Test, NavigatorEditPostWritesTheRecordCancelLeavesTheFile) {
  const fs::path path = dbf() / "zebwst.dbf";
  WhenShown("dbf4", [&](QWidget* d) {
    auto* grid = Child<xbase::TTzGrid>(d, "TzGrid1");
    auto* nav = Child<xbase::TTzNavigator>(d, "TzNavigator1");
    QAbstractItemModel* m = grid->model();
    const QModelIndex name = m->index(1, 0);  // material 2
    grid->setCurrentIndex(name);
    const std::string before = FileBytes(path);
    QTest::mouseClick(nav->Button("nbEdit"), Qt::LeftButton);
    EXPECT_EQ(TheTableWindow().Dataset().State(), xbase::DataSetState::Edit);
    m->setData(name, QStringLiteral("Verworfen"), Qt::EditRole);
    EXPECT_EQ(name.data().toString().trimmed(), "Verworfen");  // the row shows the edit
    EXPECT_EQ(FileBytes(path), before);
    QTest::mouseClick(nav->Button("nbCancel"), Qt::LeftButton);
    EXPECT_EQ(FileBytes(path), before);
    EXPECT_NE(name.data().toString().trimmed(), "Verworfen");

    QTest::mouseClick(nav->Button("nbEdit"), Qt::LeftButton);
    m->setData(name, QStringLiteral("Federstahl Ä"), Qt::EditRole);
    m->setData(m->index(1, 24), QStringLiteral("321"), Qt::EditRole);  // TMAX
    EXPECT_EQ(FileBytes(path), before);  // not before the post
    QTest::mouseClick(nav->Button("nbPost"), Qt::LeftButton);
    EXPECT_EQ(TheTableWindow().Dataset().State(), xbase::DataSetState::Browse);
    EXPECT_EQ(Peer(path, "[r['NAME1'] for r in t if r['MATNR'] == 2][0]"), "Federstahl Ä");
    EXPECT_EQ(Peer(path, "[r['TMAX'] for r in t if r['MATNR'] == 2][0]"), "321");
    EXPECT_EQ(Peer(path, "len(t)"), "15");  // no record more, none less
    QTest::mouseClick(Child<QPushButton>(d, "Button_cancel"), Qt::LeftButton);
  });
  Tables().EditTable("zebwst", 3300);
}

TEST_F(Tdbf4Test, AppendsInEditModeAndATitleClickKeepsTheRecord) {
  const fs::path path = dbf() / "zebwst.dbf";
  WhenShown("dbf4", [&](QWidget* d) {
    auto* grid = Child<xbase::TTzGrid>(d, "TzGrid1");
    auto* nav = Child<xbase::TTzNavigator>(d, "TzNavigator1");
    QAbstractItemModel* m = grid->model();
    // The menu's append: a blank record at the end, current, written as typed.
    Child<QAction>(d, "mi_editAppend")->trigger();
    ASSERT_EQ(m->rowCount(), 21);
    EXPECT_EQ(grid->currentIndex().row(), 20);
    m->setData(m->index(20, 0), QStringLiteral("Angehängt"), Qt::EditRole);
    // The navigator's insert: the record left is written, a new last row
    // is written by the post.
    QTest::mouseClick(nav->Button("nbInsert"), Qt::LeftButton);
    EXPECT_EQ(Peer(path, "t[-1]['NAME1']"), "Angehängt");
    ASSERT_EQ(m->rowCount(), 22);
    EXPECT_EQ(grid->currentIndex().row(), 21);
    m->setData(m->index(21, 0), QStringLiteral("Eingefügt"), Qt::EditRole);
    QTest::mouseClick(nav->Button("nbPost"), Qt::LeftButton);
    EXPECT_EQ(Peer(path, "t[-1]['NAME1']"), "Eingefügt");
    EXPECT_EQ(Peer(path, "len(t)"), "17");
    EXPECT_EQ(m->rowCount(), 22);

    // A click on a cell shows its record; a title click orders by NAME1 and
    // the record stays current.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(m->index(4, 1)).center());
    EXPECT_EQ(Child<QLabel>(d, "Label_recno")->text(), "5/22");
    QHeaderView* header = grid->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::RightButton, {}, QPoint(header->sectionViewportPosition(0) + 5, 5));
    EXPECT_EQ(TableRecNo(), 5);
    EXPECT_EQ(grid->currentIndex().data(xbase::DatasetModel::RecNoRole).toInt(), 5);
    EXPECT_EQ(grid->DepressedColumn(), 0);
    EXPECT_EQ(m->index(0, 0).data().toString().trimmed(), "Angehängt");  // keys compare in lower case
    QTest::mouseClick(Child<QPushButton>(d, "Button_ok"), Qt::LeftButton);
  });
  Tables().EditTable("zebwst", 3300);
  EXPECT_EQ(TableGlobals().TableLastRecNo, 5);
}

// "+", a value, the tick: another program counts the record at once, and
// one that appends before the window closes writes after it.
TEST_F(Tdbf4Test, PostedRecordIsCountedWhileTheWindowIsOpen) {
  const fs::path path = dbf() / "zebwst.dbf";
  const std::string count = PyDbf(path, "print(len(t), end='')");
  ASSERT_FALSE(count.empty());
  ASSERT_TRUE(std::isdigit(static_cast<unsigned char>(count[0]))) << count;
  const int before = std::stoi(count);
  WhenShown("dbf4", [&](QWidget* d) {
    auto* grid = Child<xbase::TTzGrid>(d, "TzGrid1");
    auto* nav = Child<xbase::TTzNavigator>(d, "TzNavigator1");
    QAbstractItemModel* m = grid->model();
    const int rows = m->rowCount();
    QTest::mouseClick(nav->Button("nbInsert"), Qt::LeftButton);
    ASSERT_EQ(m->rowCount(), rows + 1);
    m->setData(m->index(rows, 0), QStringLiteral("Gebucht"), Qt::EditRole);
    QTest::mouseClick(nav->Button("nbPost"), Qt::LeftButton);
    EXPECT_EQ(PyDbf(path, "print(len(t), t[-1]['name1'].strip(), end='')"), std::to_string(before + 1) + " Gebucht");
    EXPECT_EQ(PyDbf(path, "t.append({'name1': 'Fremd', 'matnr': 999})"), "");
    QTest::mouseClick(Child<QPushButton>(d, "Button_ok"), Qt::LeftButton);
  });
  Tables().EditTable("zebwst", 3300);
  EXPECT_EQ(PyDbf(path, "print(len(t), t[-2]['name1'].strip(), t[-1]['name1'].strip(), end='')"),
            std::to_string(before + 2) + " Gebucht Fremd");
  EXPECT_EQ(Peer(path, "[r['NAME1'] for r in t][-2:]"), "['Gebucht', 'Fremd']");
}

// A number wider than its field and a character the table's code page
// lacks are refused at entry with a German reason; OK writes the one taken.
TEST_F(Tdbf4Test, EntriesTheFieldCannotKeepAreRefused) {
  const fs::path path = dbf() / "zebwst.dbf";
  auto boxes = std::make_shared<xbase::HeadlessTzCallback>();
  xbase::SetTzCallback(boxes);
  const std::string before = FileBytes(path);
  WhenShown("dbf4", [&](QWidget* d) {
    QAbstractItemModel* m = Child<QTableView>(d, "TzGrid1")->model();
    int tmax = -1;
    for (int c = 0; c < m->columnCount(); ++c)
      if (m->headerData(c, Qt::Horizontal).toString() == "TMAX") tmax = c;
    ASSERT_GE(tmax, 0);
    EXPECT_FALSE(m->setData(m->index(1, tmax), QStringLiteral("12345678"), Qt::EditRole));
    EXPECT_FALSE(m->setData(m->index(1, 0), QStringLiteral("Stahl \u20AC"), Qt::EditRole));
    EXPECT_TRUE(m->setData(m->index(1, 0), QStringLiteral("Stahl \u00C4"), Qt::EditRole));  // 850 has it
    QTest::mouseClick(Child<QPushButton>(d, "Button_ok"), Qt::LeftButton);
  });
  Tables().EditTable("zebwst", 3300);
  std::vector<std::string> texts;
  for (const auto& e : boxes->events)
    if (e.kind == "box") texts.push_back(e.text);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_NE(texts[0].find("'12345678' passt nicht in TMAX (5 Stellen, 0 nach dem Komma)"), std::string::npos) << texts[0];
  EXPECT_NE(texts[1].find("Das Zeichen '\x80' kann in NAME1 nicht gespeichert werden (nicht in Codepage 850)"),
            std::string::npos)
      << texts[1];
  EXPECT_EQ(Peer(path, "[r['NAME1'] for r in t if r['MATNR'] == 2][0]"), "Stahl \u00C4");
  const std::string after = FileBytes(path);
  EXPECT_EQ(after.size(), before.size());
}

// A new row nothing was typed into, made by Down on the last row or by +,
// is given up by every button of the navigator: the file keeps its bytes.
TEST_F(Tdbf4Test, AnEmptyNewRowIsGivenUpByEveryNavigatorButton) {
  const fs::path path = dbf() / "zebwst.dbf";
  const std::string before = FileBytes(path);
  WhenShown("dbf4", [&](QWidget* d) {
    auto* grid = Child<xbase::TTzGrid>(d, "TzGrid1");
    auto* nav = Child<xbase::TTzNavigator>(d, "TzNavigator1");
    QAbstractItemModel* m = grid->model();
    xbase::TTzDbf& ds = TheTableWindow().Dataset();
    const int rows = m->rowCount();
    for (const char* button : {"nbFirst", "nbPrior", "nbNext", "nbLast", "nbRefresh", "nbPost", "nbInsert"}) {
      for (const bool down : {true, false}) {
        if (down) {
          grid->setCurrentIndex(m->index(rows - 1, 1));
          QTest::keyClick(grid, Qt::Key_Down);
        } else {
          QTest::mouseClick(nav->Button("nbInsert"), Qt::LeftButton);
        }
        ASSERT_EQ(m->rowCount(), rows + 1) << button;
        ASSERT_EQ(ds.State(), xbase::DataSetState::Insert) << button;
        QTest::mouseClick(nav->Button(button), Qt::LeftButton);
        // + leaves a new row of its own, empty again.
        EXPECT_EQ(ds.State(), std::string(button) == "nbInsert" ? xbase::DataSetState::Insert
                                                                 : xbase::DataSetState::Browse)
            << button;
        if (ds.State() == xbase::DataSetState::Insert) QTest::mouseClick(nav->Button("nbCancel"), Qt::LeftButton);
        EXPECT_EQ(m->rowCount(), rows) << button;
        EXPECT_EQ(FileBytes(path), before) << button << (down ? " after Down" : " after +");
      }
    }
    QTest::mouseClick(Child<QPushButton>(d, "Button_ok"), Qt::LeftButton);
  });
  Tables().EditTable("zebwst", 3300);
  EXPECT_EQ(FileBytes(path), before);
  EXPECT_EQ(Peer(path, "len(t)"), "15");
}

// Another program changed NAME1 of the record being edited. The question
// comes while nobody holds a lock on the table (the other program can write
// during it); Abbrechen writes nothing and the edit stays; the answers
// count only for the text they were given on: changed again meanwhile, the
// field is asked again. The last answer (Nein) keeps the other program's
// name; the other typed field is written.
TEST_F(Tdbf4Test, TheOverwriteQuestionHoldsNoLockAndAbbrechenWritesNothing) {
  constexpr std::int64_t kLockBase = 0x40000000, kLockRegion = 0x40000000;
  const fs::path path = dbf() / "zebwst.dbf";
  xbase::TTzDbf other("OTHER");
  other.onRLockFailedOnPost = [](xbase::TTzFileDataSet&, bool& retry) { retry = false; };
  std::int32_t record = 0;
  // What the other program writes into NAME1 of the record.
  const auto otherWrites = [&](const char* name) {
    other.Go(record);
    other.Edit();
    other.FieldByName("NAME1").SetAsString(name);
    other.Post();
    return other.State() == xbase::DataSetState::Browse;
  };
  const auto name1 = [&] { return Peer(path, "[r['NAME1'] for r in t if r['MATNR'] == 2][0]"); };
  const auto tmax = [&] { return Peer(path, "[r['TMAX'] for r in t if r['MATNR'] == 2][0]"); };
  std::vector<std::string> asked;
  WhenShown("dbf4", [&](QWidget* d) {
    auto* grid = Child<xbase::TTzGrid>(d, "TzGrid1");
    auto* nav = Child<xbase::TTzNavigator>(d, "TzNavigator1");
    QAbstractItemModel* m = grid->model();
    xbase::TTzDbf& ds = TheTableWindow().Dataset();
    record = m->index(1, 0).data(xbase::DatasetModel::RecNoRole).toInt();
    ASSERT_EQ(record, 2);
    other.SetDbfFileName(path.string());
    other.Open();
    const std::string tmaxBefore = tmax();
    grid->setCurrentIndex(m->index(1, 0));
    ASSERT_TRUE(m->setData(m->index(1, 0), QStringLiteral("Meine Eingabe"), Qt::EditRole));
    ASSERT_TRUE(m->setData(m->index(1, 24), QStringLiteral("321"), Qt::EditRole));  // TMAX
    ASSERT_TRUE(otherWrites("Fremd 1"));
    const std::string written = FileBytes(path);

    WhenShown("QMessageBox", [&](QWidget* box) {
      asked.push_back(qobject_cast<QMessageBox*>(box)->text().toStdString());
      EXPECT_TRUE(test::KernelLocks(path.string(), kLockBase, kLockBase + kLockRegion - 1).empty());
      qobject_cast<QMessageBox*>(box)->button(QMessageBox::Cancel)->click();
    });
    QTest::mouseClick(nav->Button("nbPost"), Qt::LeftButton);
    EXPECT_EQ(ds.State(), xbase::DataSetState::Edit);
    EXPECT_EQ(FileBytes(path), written);
    EXPECT_EQ(m->index(1, 0).data().toString().trimmed(), "Meine Eingabe");

    // Ja, but the other program writes again during the question: asked
    // again on its new name, Nein keeps it.
    WhenShown("QMessageBox", [&](QWidget* box) {
      asked.push_back(qobject_cast<QMessageBox*>(box)->text().toStdString());
      EXPECT_TRUE(otherWrites("Fremd 2"));
      WhenShown("QMessageBox", [&](QWidget* again) {
        asked.push_back(qobject_cast<QMessageBox*>(again)->text().toStdString());
        qobject_cast<QMessageBox*>(again)->button(QMessageBox::No)->click();
      });
      qobject_cast<QMessageBox*>(box)->button(QMessageBox::Yes)->click();
    });
    QTest::mouseClick(Child<QPushButton>(d, "Button_ok"), Qt::LeftButton);
    EXPECT_NE(tmaxBefore, "321");
  });
  Tables().EditTable("zebwst", 3300);
  EXPECT_EQ(G().AbortFlag, 0);
  ASSERT_EQ(asked.size(), 3u);
  EXPECT_NE(asked[0].find("NAME1"), std::string::npos) << asked[0];
  EXPECT_NE(asked[0].find("\"Fremd 1\", Ihre Eingabe ist \"Meine Eingabe\""), std::string::npos) << asked[0];
  EXPECT_NE(asked[1].find("\"Fremd 1\""), std::string::npos) << asked[1];
  EXPECT_NE(asked[2].find("\"Fremd 2\""), std::string::npos) << asked[2];
  EXPECT_EQ(name1(), "Fremd 2");
  EXPECT_EQ(tmax(), "321");
  EXPECT_EQ(Peer(path, "len(t)"), "15");
}

// Sorted by TOLB with a right click on its title; another program then
// moves record 3 to the end of that order and appends a record at its
// start. TOLC typed into record 3 where the grid still shows it is written
// beside the other program's TOLB, the grid shows the new order with the
// appended record, and no box names an engine error.
TEST_F(Tdbf4Test, ASortedGridFollowsAnotherProgramsKeysAndRecords) {
  const fs::path path = dbf() / "din2076.dbf";
  auto boxes = std::make_shared<xbase::HeadlessTzCallback>();
  xbase::SetTzCallback(boxes);
  const std::string count = Peer(path, "len(t)");
  const int n = std::stoi(count);
  std::vector<int> order;
  WhenShown("dbf4", [&](QWidget* d) {
    auto* grid = Child<xbase::TTzGrid>(d, "TzGrid1");
    auto* nav = Child<xbase::TTzNavigator>(d, "TzNavigator1");
    QAbstractItemModel* m = grid->model();
    QHeaderView* header = grid->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::RightButton, {}, QPoint(header->sectionViewportPosition(1) + 5, 5));
    ASSERT_EQ(grid->DepressedColumn(), 1);
    xbase::TTzDbf other("OTHER");
    other.SetDbfFileName(path.string());
    other.Open();
    other.Go(3);
    other.Edit();
    other.FieldByName("TOLB").SetAsString("0.999");
    other.Post();
    other.Append();
    other.FieldByName("D").SetAsString("9.99");
    other.FieldByName("TOLB").SetAsString("0.001");
    other.Post();
    other.Close();
    int row = -1;
    for (int r = 0; r < m->rowCount(); ++r)
      if (m->index(r, 0).data(xbase::DatasetModel::RecNoRole).toInt() == 3) row = r;
    ASSERT_GE(row, 0);
    grid->setCurrentIndex(m->index(row, 2));
    ASSERT_TRUE(m->setData(m->index(row, 2), QStringLiteral("0.333"), Qt::EditRole));
    QTest::mouseClick(nav->Button("nbPost"), Qt::LeftButton);
    QApplication::processEvents();
    for (int r = 0; r < m->rowCount(); ++r) order.push_back(m->index(r, 0).data(xbase::DatasetModel::RecNoRole).toInt());
    QTest::mouseClick(Child<QPushButton>(d, "Button_ok"), Qt::LeftButton);
  });
  Tables().EditTable("din2076", 0);
  EXPECT_EQ(G().AbortFlag, 0);
  ASSERT_EQ(order.size(), static_cast<std::size_t>(n + 1));
  EXPECT_EQ(order.front(), n + 1);
  EXPECT_EQ(order.back(), 3);
  EXPECT_EQ(Peer(path, "(t[2]['TOLB'], t[2]['TOLC'], len(t), t[-1]['D'])"),
            "(0.999, 0.333, " + std::to_string(n + 1) + ", 9.99)");
  for (const auto& e : boxes->events) EXPECT_NE(e.kind, "box") << e.text;
}

// Under the German process locale Qt sets from LANG=de_DE.UTF-8 the grid
// shows the numbers the file holds and takes a typed point or comma alike.
TEST_F(Tdbf4Test, NumbersAreShownAndTakenAlikeUnderAGermanLocale) {
  const std::string was = std::setlocale(LC_ALL, nullptr);
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "no locale de_DE.UTF-8";
  struct Back {
    std::string locale;
    ~Back() { std::setlocale(LC_ALL, locale.c_str()); }
  } back{was};
  const fs::path path = dbf() / "din2076.dbf";
  std::string shown;
  WhenShown("dbf4", [&](QWidget* d) {
    auto* grid = Child<xbase::TTzGrid>(d, "TzGrid1");
    auto* nav = Child<xbase::TTzNavigator>(d, "TzNavigator1");
    QAbstractItemModel* m = grid->model();
    for (int c = 0; c < 3; ++c) shown += m->index(0, c).data().toString().trimmed().toStdString() + " ";
    const auto type = [&](int row, int column, const QString& text) {
      ASSERT_EQ(m->index(row, 0).data(xbase::DatasetModel::RecNoRole).toInt(), row + 1);
      grid->setCurrentIndex(m->index(row, column));
      ASSERT_TRUE(m->setData(m->index(row, column), text, Qt::EditRole));
      QTest::mouseClick(nav->Button("nbPost"), Qt::LeftButton);
    };
    type(1, 1, QStringLiteral("0,999"));
    type(2, 2, QStringLiteral("0.998"));
    type(3, 0, QStringLiteral(" 2,5 "));
    QTest::mouseClick(Child<QPushButton>(d, "Button_ok"), Qt::LeftButton);
  });
  Tables().EditTable("din2076", 0);
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(shown, Peer(path, "' '.join(str(t[0][k]) for k in ('D', 'TOLB', 'TOLC'))") + " ");
  EXPECT_EQ(Peer(path, "(t[1]['TOLB'], t[2]['TOLC'], t[3]['D'])"), "(0.999, 0.998, 2.5)");
}

// DIN 2076 sorted by each column in turn. The user types into record 5 the
// sorted field and the next one; another program writes the sorted field
// meanwhile. Ja writes both typed values, Nein the other program's value
// beside the other typed one; the grid shows record 5 where it now stands
// in the order and stands on it.
TEST_F(Tdbf4Test, TheOverwriteQuestionKeepsTheWholeEditInAnySortOrder) {
  const fs::path path = dbf() / "din2076.dbf";
  const char* names[] = {"D", "TOLB", "TOLC"};
  const char* typed[] = {"55.55", "0.007", "0.008"};
  const char* filed[] = {"66.66", "0.600", "0.700"};
  for (int sorted = 0; sorted < 3; ++sorted) {
    for (const bool yes : {true, false}) {
      SCOPED_TRACE(std::string(names[sorted]) + (yes ? " Ja" : " Nein"));
      fs::copy_file(fs::path(ZEB1_DBF_FOLDER) / "din2076.dbf", path, fs::copy_options::overwrite_existing);
      const int next = (sorted + 1) % 3;
      int asked = 0;
      std::vector<int> order;
      WhenShown("dbf4", [&](QWidget* d) {
        auto* grid = Child<xbase::TTzGrid>(d, "TzGrid1");
        QAbstractItemModel* m = grid->model();
        QHeaderView* header = grid->horizontalHeader();
        QTest::mouseClick(header->viewport(), Qt::RightButton, {},
                          QPoint(header->sectionViewportPosition(sorted) + 5, 5));
        ASSERT_EQ(grid->DepressedColumn(), sorted);
        const auto rowOf5 = [&] {
          int row = -1;
          for (int r = 0; r < m->rowCount(); ++r)
            if (m->index(r, 0).data(xbase::DatasetModel::RecNoRole).toInt() == 5) row = r;
          return row;
        };
        int row = rowOf5();
        ASSERT_GE(row, 0);
        grid->setCurrentIndex(m->index(row, sorted));
        ASSERT_TRUE(m->setData(m->index(row, sorted), QString(typed[sorted]), Qt::EditRole));
        QApplication::processEvents();
        row = rowOf5();
        ASSERT_GE(row, 0);
        EXPECT_EQ(grid->currentIndex().row(), row);
        grid->setCurrentIndex(m->index(row, next));
        ASSERT_TRUE(m->setData(m->index(row, next), QString(typed[next]), Qt::EditRole));
        QApplication::processEvents();
        row = rowOf5();
        xbase::TTzDbf other("OTHER");
        other.SetDbfFileName(path.string());
        other.Open();
        other.Go(5);
        other.Edit();
        other.FieldByName(names[sorted]).SetAsString(filed[sorted]);
        other.Post();
        other.Close();
        WhenShown("QMessageBox", [&](QWidget* box) {
          ++asked;
          qobject_cast<QMessageBox*>(box)->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
        });
        // Leaving the row for another record posts it; the grid stands on
        // that record afterwards, the edited one shown in its new place.
        const int clicked = m->index(row == 14 ? 13 : 14, 0).data(xbase::DatasetModel::RecNoRole).toInt();
        grid->setCurrentIndex(m->index(row == 14 ? 13 : 14, 0));
        QApplication::processEvents();
        QApplication::processEvents();
        for (int r = 0; r < m->rowCount(); ++r)
          order.push_back(m->index(r, 0).data(xbase::DatasetModel::RecNoRole).toInt());
        xbase::TTzDbf& ds = TheTableWindow().Dataset();
        EXPECT_EQ(ds.State(), xbase::DataSetState::Browse);
        EXPECT_EQ(ds.GetRecNo(), clicked);
        EXPECT_EQ(m->index(grid->currentIndex().row(), 0).data(xbase::DatasetModel::RecNoRole).toInt(), clicked);
        QTest::mouseClick(Child<QPushButton>(d, "Button_ok"), Qt::LeftButton);
      });
      Tables().EditTable("din2076", 0);
      EXPECT_EQ(asked, 1);
      const std::string want = std::string(yes ? typed[sorted] : filed[sorted]);
      EXPECT_EQ(Peer(path, "'%.3f %.3f' % (t[4]['" + std::string(names[sorted]) + "'], t[4]['" + names[next] + "'])"),
                Peer(path, "'%.3f %.3f' % (" + want + ", " + typed[next] + ")"));
      // The order the grid shows is the file's order by that field.
      ASSERT_FALSE(order.empty());
      std::vector<int> sortedOrder;
      const std::string byField = Peer(path, "' '.join(str(i + 1) for i, r in sorted(enumerate(t), key=lambda p: (p[1]['" +
                                                 std::string(names[sorted]) + "'], p[0])))");
      std::istringstream in(byField);
      for (int r; in >> r;) sortedOrder.push_back(r);
      sortedOrder.resize(std::min(sortedOrder.size(), order.size()));
      EXPECT_EQ(order, sortedOrder);
    }
  }
}

// DIN 2077: a new row typed while the disk is full, handed in with the
// check button or by clicking another row. After the message the grid's
// rows, the counter and the current record agree: the typed row is still
// there; with room again a click on row 9 writes it, and what is typed
// then goes into the record row 9 shows (of 307, the grid holding a
// stretch of them).
std::vector<std::string>& QtWarnings() {
  static std::vector<std::string> w;
  return w;
}

TEST_F(Tdbf4Test, AFailedNewRowStaysAndTheNextKeysGoWhereTheGridStands) {
  const fs::path path = dbf() / "din2077.dbf";
  // Qt's warnings of rows and indexes that do not agree.
  QtWarnings().clear();
  const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& m) {
    if (m.contains(QStringLiteral("nvalid index")) || m.contains(QStringLiteral("index was invalid")))
      QtWarnings().push_back(m.toStdString());
  });
  // The check button or a row click on a full disk; the check button while
  // another process holds the table's lock, answered with Abbrechen.
  for (const int road : {0, 1, 2}) {
    const bool check = road != 1, locked = road == 2;
    SCOPED_TRACE(road == 0 ? "check button" : road == 1 ? "row click" : "lock refused");
    fs::copy_file(fs::path(ZEB1_DBF_FOLDER) / "din2077.dbf", path, fs::copy_options::overwrite_existing);
    {
      // 307 records: the grid holds a stretch of them around the last.
      xbase::TTzDbf fill("FILL");
      fill.SetDbfFileName(path.string());
      fill.Open();
      for (int i = fill.RecCount() + 1; i <= 307; ++i) {
        fill.Append();
        fill.FieldByName("D").SetAsString(std::to_string(100 + i) + ".25");
        fill.Post();
      }
      fill.Close();
    }
    const std::string before = FileBytes(path);
    const int n = std::stoi(Peer(path, "len(t)"));
    std::vector<std::string> said;
    int row9 = 0;
    WhenShown("dbf4", [&](QWidget* d) {
      auto* grid = Child<xbase::TTzGrid>(d, "TzGrid1");
      auto* nav = Child<xbase::TTzNavigator>(d, "TzNavigator1");
      QAbstractItemModel* m = grid->model();
      xbase::TTzDbf& ds = TheTableWindow().Dataset();
      const auto agree = [&](const char* when) {
        QApplication::processEvents();
        const int row = grid->currentIndex().row();
        const int shown = m->index(row, 0).data(xbase::DatasetModel::RecNoRole).toInt();
        const std::string counter = Child<QLabel>(d, "Label_recno")->text().toStdString();
        if (ds.State() == xbase::DataSetState::Insert) {
          EXPECT_EQ(row, m->rowCount() - 1) << when;
        } else {
          EXPECT_EQ(shown, ds.GetRecNo()) << when;
          EXPECT_EQ(counter, std::to_string(ds.GetRecNo()) + "/" + std::to_string(ds.RecCount())) << when;
        }
      };
      QTest::mouseClick(nav->Button("nbInsert"), Qt::LeftButton);
      const int fresh = m->rowCount() - 1;
      EXPECT_EQ(m->index(fresh - 1, 0).data(xbase::DatasetModel::RecNoRole).toInt(), n);
      grid->setCurrentIndex(m->index(fresh, 0));
      ASSERT_TRUE(m->setData(m->index(fresh, 0), QStringLiteral("1.25"), Qt::EditRole));
      grid->setCurrentIndex(m->index(fresh, 1));
      ASSERT_TRUE(m->setData(m->index(fresh, 1), QStringLiteral("0,125"), Qt::EditRole));
      // The message, or the lock's question answered with Abbrechen.
      WhenShown("QMessageBox", [&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        said.push_back(box->text().toStdString());
        QAbstractButton* b = box->button(QMessageBox::Cancel);
        (b != nullptr ? b : box->button(QMessageBox::Ok))->click();
      });
      if (locked) {
        // Another process holds the table until told to let go.
        int held[2], go[2];
        ASSERT_EQ(::pipe(held) | ::pipe(go), 0);
        const pid_t peer = ::fork();
        if (peer == 0) {
          ::close(go[1]);
          ::close(held[0]);
          char c = 0;
          xbase::SetTzCallback(nullptr);
          xbase::TTzDbf other("OTHER");
          other.SetDbfFileName(path.string());
          other.Open();
          const bool ok = other.FLock();
          if (::write(held[1], &c, 1) == 1 && ::read(go[0], &c, 1) == 1) ::_exit(ok ? 0 : 2);
          ::_exit(3);
        }
        char c = 0;
        EXPECT_EQ(::read(held[0], &c, 1), 1);
        QTest::mouseClick(nav->Button("nbPost"), Qt::LeftButton);
        QApplication::processEvents();
        EXPECT_EQ(::write(go[1], &c, 1), 1);
        int status = -1;
        EXPECT_EQ(::waitpid(peer, &status, 0), peer);
        EXPECT_EQ(status, 0);
        for (int fd : {held[0], held[1], go[0], go[1]}) ::close(fd);
      } else {
        const test::DiskFullFrom full(static_cast<std::int64_t>(before.size()));
        ASSERT_TRUE(full.Active());
        if (check)
          QTest::mouseClick(nav->Button("nbPost"), Qt::LeftButton);
        else
          grid->setCurrentIndex(m->index(8, 0));
        QApplication::processEvents();
      }
      EXPECT_EQ(FileBytes(path), before);
      agree("after the message");
      // The typed row is there for another try.
      EXPECT_EQ(m->rowCount(), fresh + 1);
      EXPECT_EQ(ds.State(), xbase::DataSetState::Insert);
      EXPECT_EQ(m->index(fresh, 0).data().toString().trimmed(), "1.25");
      EXPECT_EQ(m->index(fresh, 1).data().toString().trimmed(), "0.125");
      row9 = m->index(8, 0).data(xbase::DatasetModel::RecNoRole).toInt();
      grid->setCurrentIndex(m->index(8, 0));
      agree("on row 9");
      EXPECT_EQ(ds.GetRecNo(), row9);
      // Typed into the highlighted row.
      EXPECT_TRUE(m->setData(m->index(grid->currentIndex().row(), 0), QStringLiteral("66"), Qt::EditRole));
      QTest::mouseClick(nav->Button("nbPost"), Qt::LeftButton);
      agree("after 66");
      QTest::mouseClick(Child<QPushButton>(d, "Button_ok"), Qt::LeftButton);
    });
    Tables().EditTable("din2077", 0);
    ASSERT_EQ(said.size(), 1u);
    EXPECT_NE(said[0].find(locked ? "gesperrt" : "zulässige Dateigröße"), std::string::npos) << said[0];
    EXPECT_EQ(Peer(path, "len(t)"), std::to_string(n + 1));
    EXPECT_EQ(Peer(path, "(t[-1]['D'], t[-1]['TOL'], t[" + std::to_string(row9 - 1) + "]['D'])"), "(1.25, 0.125, 66.0)");
    // Nothing else changed.
    EXPECT_EQ(Peer(path, "sum(1 for r in t if r['D'] == 66)"), "1");
  }
  qInstallMessageHandler(previous);
  EXPECT_TRUE(QtWarnings().empty()) << QtWarnings().front();
}

// DIN 2076 with one record of a cut append past the count its header gives.
// Abbrechen on the repair question leaves the file as it is; then neither
// the menu's Append (asked again, Abbrechen) nor a new row typed in the grid
// writes over that record: each is refused with the reason, the new row
// stays, and the file keeps every byte.
TEST_F(Tdbf4Test, ACutAppendLeftAsItIsIsNotWrittenOver) {
  const fs::path path = dbf() / "din2076.dbf";
  std::string bytes = FileBytes(path);
  if (!bytes.empty() && bytes.back() == '\x1A') bytes.pop_back();
  bytes += "  99.00 0.990 0.500";  // one record of 19 bytes the count does not hold
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
  }
  const std::string count = Peer(path, "len(t)");
  std::vector<std::string> said;
  // Abbrechen on every question, OK on every message: four boxes.
  std::function<void(int)> answer = [&](int left) {
    WhenShown("QMessageBox", [&, left](QWidget* w) {
      auto* box = qobject_cast<QMessageBox*>(w);
      said.push_back(box->text().toStdString());
      QAbstractButton* b = box->button(QMessageBox::Cancel);
      if (left > 1) answer(left - 1);
      (b != nullptr ? b : box->button(QMessageBox::Ok))->click();
    });
  };
  answer(4);
  bool insertKept = false;
  WhenShown("dbf4", [&](QWidget* d) {
    auto* grid = Child<xbase::TTzGrid>(d, "TzGrid1");
    auto* nav = Child<xbase::TTzNavigator>(d, "TzNavigator1");
    QAbstractItemModel* m = grid->model();
    Child<QAction>(d, "mi_editAppend")->trigger();
    QApplication::processEvents();
    QTest::mouseClick(nav->Button("nbInsert"), Qt::LeftButton);
    const int fresh = m->rowCount() - 1;
    grid->setCurrentIndex(m->index(fresh, 0));
    EXPECT_TRUE(m->setData(m->index(fresh, 0), QStringLiteral("5.5"), Qt::EditRole));
    QTest::mouseClick(nav->Button("nbPost"), Qt::LeftButton);
    QApplication::processEvents();
    insertKept = TheTableWindow().Dataset().State() == xbase::DataSetState::Insert &&
                 m->index(fresh, 0).data().toString().trimmed().toDouble() == 5.5;
    QTest::mouseClick(Child<QPushButton>(d, "Button_cancel"), Qt::LeftButton);
  });
  Tables().EditTable("din2076", 0);
  ASSERT_EQ(said.size(), 4u);
  for (int i : {0, 1}) EXPECT_NE(said[i].find("abgebrochenen"), std::string::npos) << said[i];
  for (int i : {2, 3}) EXPECT_NE(said[i].find("es wird nichts angeh"), std::string::npos) << said[i];
  EXPECT_TRUE(insertKept);
  EXPECT_EQ(FileBytes(path), bytes);
  EXPECT_EQ(Peer(path, "len(t)"), count);
}

}  // namespace
}  // namespace zeb::qttest
