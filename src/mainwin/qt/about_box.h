// Help > ZEB1: the about box with the program title, the version and the
// version of the program file. Creating it draws the logo in the main
// window.
#pragma once
#include <QDialog>

class QLabel;
class QPushButton;

namespace zeb {

class TAboutBox : public QDialog {
  Q_OBJECT
 public:
  explicit TAboutBox(QWidget* parent);

  QLabel* Label_extended = nullptr;
  QLabel* ProductName = nullptr;
  QLabel* Label_fileversion = nullptr;
  QLabel* Label_sonderversion = nullptr;
  QLabel* Label_maker = nullptr;
  QLabel* Label_user = nullptr;
  QPushButton* OKButton = nullptr;
};

}  // namespace zeb
