// The spring-file list window (File > OpenTable) on Qt.
#pragma once
#include <QDialog>

#include "mainwin/filelist.h"

class QTableWidget;

namespace zeb {

class TForm_preview : public QDialog {
 public:
  TForm_preview(QWidget* owner, FileListGrid& grid);
  // The row the user picked (0 = none).
  int Picked() const { return picked_; }
  QTableWidget* StringGrid1 = nullptr;

  void Sort(int column);
  void Search(bool fromTop);
  void ExportToSpreadsheet();

 private:
  void Load();
  FileListGrid& grid_;
  int picked_ = 0;
  int selected_ = 0;  // the row picked last in this window
};

// The command: the list of the data folder's spring files, shown again
// after each pick until it is left. The current spring stays until a pick.
void RunFileListCommand(QWidget* owner);

}  // namespace zeb
