// Qt forms of the drawings' dialogs: the installed length (TForm_zeb1dxf)
// and the 3D rotation (TForm_cadutil8). Controls keep their names as
// object names; the forms run on the headless logic of the library.
#pragma once
#include <QDialog>
#include <memory>

#include "drawings/length_dialog.h"
#include "drawings/view3d.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;
class QSlider;

namespace zeb {

class TForm_zeb1dxf : public QDialog {
  Q_OBJECT
 public:
  explicit TForm_zeb1dxf(QWidget* parent = nullptr);
  // The modal run: OK accepted sets L, Cancel sets AbortFlag, closing the
  // window leaves it as it was.
  void RunModal();

  QPushButton* Button_ok = nullptr;
  QPushButton* Button_cancel = nullptr;
  QPushButton* Button_help = nullptr;
  QLineEdit* Edit_l = nullptr;
  QSlider* TrackBar1 = nullptr;
  QPushButton* Button_lc = nullptr;
  QPushButton* Button_l2 = nullptr;
  QPushButton* Button_l1 = nullptr;
  QPushButton* Button_l0 = nullptr;
  QPushButton* Button1 = nullptr;
  QLabel* Label_l = nullptr;
  QLabel* Label_lu = nullptr;

 protected:
  void reject() override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ShowText();
  void TakeTrackPosition();
  InstalledLengthLogic logic_;
  bool accepted_ = false;
  bool closing_ = false, closed_ = false;
};

class TForm_cadutil8 : public QDialog {
  Q_OBJECT
 public:
  explicit TForm_cadutil8(QWidget* parent = nullptr);
  // OK sets the view angles, Cancel and closing set AbortFlag.
  void RunModal();

  QScrollBar* ScrollBar_x = nullptr;
  QScrollBar* ScrollBar_y = nullptr;
  QScrollBar* ScrollBar_z = nullptr;
  QLineEdit* Edit_x = nullptr;
  QLineEdit* Edit_y = nullptr;
  QLineEdit* Edit_z = nullptr;
  QPushButton* Button_ok = nullptr;
  QPushButton* Button_cancel = nullptr;
  QPushButton* Button_help = nullptr;
  QPushButton* Button_xy = nullptr;
  QPushButton* Button_xz = nullptr;
  QPushButton* Button_yz = nullptr;
  QPushButton* Button1 = nullptr;

 private:
  void ShowLogic();
  RotationLogic logic_;
  bool syncing_ = false;
  bool accepted_ = false;
};

// The Qt forms as the dialogs of the drawings.
class QtInstalledLengthDialog : public InstalledLengthDialog {
 public:
  void Run() override;
};
class QtRotationDialog : public RotationDialog {
 public:
  void Run() override;
};
void InstallQtDrawingDialogs();

}  // namespace zeb
