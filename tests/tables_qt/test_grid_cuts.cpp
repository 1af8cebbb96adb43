// A new row typed in the table window's grid and handed in with the check
// button, in the table's order and in a view sorted by a click on a column
// title, cut by a file size limit and by a full disk at the bytes around
// every write: the tables are
// whole as before or as meant by dbfread, the box says what they hold, and
// the check button clicked again with room (the row stays for a new try)
// never leaves the row twice.
#include <QApplication>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest-spi.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/globals.h"
#include "base_qt/support_qt.h"
#include "mainwin/program_fixture.h"
#include "spring/spring_data.h"
#include "tables/qt/tdbf4.h"
#include "tables/table_functions.h"
#include "tables/table_services.h"
#include "xbase/core/callbacks.h"
#include "xbase/core/engine.h"
#include "xbase/core/units.h"
#include "xbase/dataset_support.h"
#include "xbase/qt/tzgrid.h"
#include "xbase/whole_cuts.h"

namespace zeb::qttest {
namespace {

namespace fs = std::filesystem;
namespace wc = xbase::test::whole_cuts;
namespace fj = xbase::test::failure_judges;

class GridCuts : public QtTest, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    QtTest::SetUp();
    ResetSpringGlobals();
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
  // One run on a fresh copy in root, cut from the check button on (the
  // file size limit of this process, or the disk's room): the boxes' texts. root keeps the files under the box;
  // root.retried the files after the check button with room again.
  std::string Run(const fs::path& dir, const fs::path& root, wc::Cut cut, long limit) {
    const bool sorted = GetParam();
    const fs::path retried = root.string() + ".retried", cutCopy = root.string() + ".cut";
    std::error_code ec;
    for (const fs::path& p : {root, cutCopy, retried}) fs::remove_all(p, ec);
    fs::copy(dir / "template", root, fs::copy_options::recursive);
    fs::create_directories(root / "tmp");
    xbase::ResetTzEngine();
    xbase::InitTableEngineUnits();
    InstallTableServices();
    InstallQtTableBrowser();
    G().DbfFolder = root.string() + "/";
    G().TempFolder = (root / "tmp").string() + "/";
    G().AbortFlag = 0;
    std::string told;
    WhenShown("dbf4", [&](QWidget* d) {
      auto* grid = Child<xbase::TTzGrid>(d, "TzGrid1");
      auto* nav = Child<xbase::TTzNavigator>(d, "TzNavigator1");
      QAbstractItemModel* m = grid->model();
      if (sorted) {
        QHeaderView* header = grid->horizontalHeader();
        QTest::mouseClick(header->viewport(), Qt::RightButton, {}, QPoint(header->sectionViewportPosition(0) + 5, 5));
      }
      QTest::mouseClick(nav->Button("nbInsert"), Qt::LeftButton);
      const int fresh = m->rowCount() - 1;
      grid->setCurrentIndex(m->index(fresh, 0));
      m->setData(m->index(fresh, 0), QStringLiteral("Neu"), Qt::EditRole);
      // The check button; a box it brings up noted and answered Abbrechen
      // (or OK).
      const auto post = [&](std::string* into) {
        QTimer answer;
        answer.setInterval(5);
        QObject::connect(&answer, &QTimer::timeout, [into] {
          auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
          if (box == nullptr) return;
          if (into != nullptr) *into += box->text().toStdString() + " | ";
          QAbstractButton* b = box->button(QMessageBox::Cancel);
          (b != nullptr ? b : box->button(QMessageBox::Ok))->click();
        });
        answer.start();
        QTest::mouseClick(nav->Button("nbPost"), Qt::LeftButton);
        QApplication::processEvents();
      };
      wc::CutFrom(root, cut, limit);
      post(&told);
      if (limit >= 0) {
        wc::LiftCut(cut);
        fs::copy(root, cutCopy, fs::copy_options::recursive, ec);
        // The row stays for a new try: the check button again.
        post(nullptr);
      }
      QTest::mouseClick(Child<QPushButton>(d, "Button_ok"), Qt::LeftButton);
    });
    Tables().EditTable("t", 0);
    TableClose();
    if (limit >= 0) {
      fs::rename(root, retried, ec);
      fs::rename(cutCopy, root, ec);
      retriedCounts_.push_back({std::string(cut == wc::Cut::SizeLimit ? "size limit " : "room ") + std::to_string(limit) + " told \"" + told + "\"",
                                fj::Count(test::failure_roads::ImageOf(retried))});
    }
    return told;
  }
  wc::RetriedCounts retriedCounts_;
};

TEST_P(GridCuts, EveryCutLeavesTheTablesWholeToldAndTheRetryWritesTheRowOnce) {
  if (!xbase::test::HaveDbfreadPeer()) GTEST_SKIP() << "/usr/bin/python3 with dbfread is missing";
  const fs::path dir = fs::path(scratch) / "cuts";
  fs::create_directories(dir / "template");
  fj::CheckFolder() = dir;
  xbase::ResetTzEngine();
  xbase::InitTableEngineUnits();
  xbase::test::MakeFailureTables(dir / "template", false);
  wc::ExpectEveryCutWhole(
      dir, [&](const fs::path& root, wc::Cut cut, long limit) { return Run(dir, root, cut, limit); }, false);
  // In a sorted view too: a row whose record reached the table before its
  // sort index failed is not appended again by the check button.
  wc::ExpectNoRecordTwice(dir / "meant", retriedCounts_);
}

INSTANTIATE_TEST_SUITE_P(Orders, GridCuts, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& i) { return i.param ? "Sorted" : "TableOrder"; });

}  // namespace
}  // namespace zeb::qttest
