// The table window on the screen: a grid over the open table, the
// navigator bar, OK and Cancel, search buttons and the menu of the window's
// commands. Control names are the form's own (objectName).
#pragma once
#include <QDialog>
#include <cstdint>
#include <vector>

#include "tables/table_window.h"

class QAbstractButton;
class QLabel;
class QMenu;
class QMenuBar;
class QTableView;

namespace zeb {

class Dbf4Model;

class Tdbf4 : public QDialog {
  Q_OBJECT
 public:
  Tdbf4(TableWindow& window, int mode, QWidget* parent = nullptr);
  ~Tdbf4() override;

  // The answer after exec().
  BrowseAnswer Answer() const { return answer_; }
  bool Browsing() const { return browse_; }

 private:
  void BuildMenu(QMenuBar* bar);
  void Reload(std::int32_t keepRecord);
  void GoRow(int row);
  void SyncCurrent();
  void CurrentChanged();
  void Ok();
  void Cancel();
  void Navigate(int button);
  void ExportHtml();
  void AppendFile(bool delimited);
  void SaveDelimited();

  TableWindow& w_;
  bool browse_ = false;
  Dbf4Model* model_ = nullptr;
  QTableView* grid_ = nullptr;
  QLabel* recno_ = nullptr;
  BrowseAnswer answer_;
};

// Shows Tdbf4 for every browse of the table window.
class QtTableBrowser : public TableBrowserPort {
 public:
  BrowseAnswer Browse(TableWindow& window, int mode) override;
};

void InstallQtTableBrowser();

}  // namespace zeb
