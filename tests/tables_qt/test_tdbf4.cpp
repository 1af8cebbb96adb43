// The table window on Qt (offscreen), opened through the table services and
// driven by object names. With ZEB1_SCREENSHOTS set to a folder the window
// is saved there as a picture once (for the review under a real display).
#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <cstdlib>
#include <filesystem>

#include "base/globals.h"
#include "base_qt/support_qt.h"
#include "spring/spring_data.h"
#include "tables/qt/tdbf4.h"
#include "tables/table_functions.h"
#include "tables/table_services.h"
#include "xbase/core/callbacks.h"
#include "xbase/core/engine.h"
#include "xbase/core/units.h"

namespace zeb::qttest {
namespace {

namespace fs = std::filesystem;

void Screenshot(QWidget* w, const char* name) {
  const char* folder = std::getenv("ZEB1_SCREENSHOTS");
  if (folder == nullptr || *folder == '\0') return;
  QApplication::processEvents();
  w->grab().save(QString::fromUtf8(folder) + "/" + QLatin1String(name) + ".png");
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
    for (const auto& e : fs::directory_iterator(ZEB1_DBF_FOLDER)) fs::copy_file(e.path(), dbf() / e.path().filename());
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
    EXPECT_EQ(grid->model()->rowCount(), 13);  // marked materials hidden
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
    // An edit of a cell goes into the table.
    grid->model()->setData(grid->model()->index(1, 0), QStringLiteral("Federdraht SM"), Qt::EditRole);
    Screenshot(d, "tdbf4_zebwst_edit");
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

TEST_F(Tdbf4Test, PackFromTheMenuAsksAndRightClickSorts) {
  const fs::path path = dbf() / "zebwst.dbf";
  WhenShown("dbf4", [&](QWidget* d) {
    auto* grid = Child<QTableView>(d, "TzGrid1");
    AnswerBox("PACK " + path.string(), QMessageBox::Yes);
    Child<QAction>(d, "mi_editPack")->trigger();
    EXPECT_EQ(grid->model()->rowCount(), 13);
    // Right click on the title of RMSLOPE (field 11): ordered by it, the
    // current record kept.
    grid->setCurrentIndex(grid->model()->index(4, 0));
    const std::int32_t before = TableRecNo();
    QHeaderView* header = grid->horizontalHeader();
    emit header->customContextMenuRequested(QPoint(header->sectionViewportPosition(10) + 5, 5));
    EXPECT_TRUE(fs::exists(temp() / "$tlmtemp.ndx"));
    EXPECT_EQ(TableRecNo(), before);
    EXPECT_EQ(grid->model()->data(grid->model()->index(0, 10)).toString().trimmed(), "391");  // smallest slope
    QTest::mouseClick(Child<QPushButton>(d, "Button_ok"), Qt::LeftButton);
  });
  Tables().EditTable("zebwst", 3300);
  G().AbortFlag = 0;
  TableOpen("zebwst");
  EXPECT_EQ(TableRecCount(), 13);
}

}  // namespace
}  // namespace zeb::qttest
