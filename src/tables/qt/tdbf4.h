// The table window on the screen: the table grid and the navigator bar over
// the window's dataset, OK and Cancel, search buttons and the menu of the window's
// commands. Control names are the form's own (objectName).
#pragma once
#include <QDialog>
#include <cstdint>
#include <functional>
#include <vector>

#include "tables/table_window.h"

class QLabel;
class QMenuBar;

namespace zeb::xbase {
class TTzGrid;
class TTzNavigator;
}  // namespace zeb::xbase

namespace zeb {

class Tdbf4 : public QDialog {
  Q_OBJECT
 public:
  Tdbf4(TableWindow& window, int mode, QWidget* parent = nullptr);
  ~Tdbf4() override;

  // The answer after exec().
  BrowseAnswer Answer() const { return answer_; }
  bool Browsing() const { return browse_; }
  // Cancel, Escape and the window's close box: what was typed and not
  // posted is given up.
  void reject() override;

 private:
  void BuildMenu(QMenuBar* bar);
  // A command of the window, then the grid shows the table again.
  void Command(const std::function<void()>& body);
  void ShowRecordNumber();
  // Suchen (next: Weitersuchen), its work shown in the counter's place.
  void Search(bool next);
  void Ok();
  void Cancel();
  void ExportHtml();
  void AppendFile(bool delimited);
  void SaveDelimited();

  TableWindow& w_;
  bool browse_ = false;
  xbase::TTzGrid* grid_ = nullptr;
  xbase::TTzNavigator* nav_ = nullptr;
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
