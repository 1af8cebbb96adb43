// The online input form on Qt: built anew for each run from the row model,
// with the input column, the output column and the message list.
#pragma once
#include <QDialog>
#include <array>

#include "mainwin/online.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace zeb {

class TForm_online : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kDesignWidth = 635, kDesignHeight = 453;

  TForm_online(QWidget* parent, OnlineRun& run);

  QGroupBox* GroupBox_eingabe = nullptr;
  QGroupBox* GroupBox_ausgabe = nullptr;
  QGroupBox* GroupBox_fehler = nullptr;
  QPushButton* Button_ok = nullptr;
  QPushButton* Button_help = nullptr;
  QPushButton* Button_unit = nullptr;
  QPushButton* Button_hilfebild = nullptr;
  QPushButton* Button_close = nullptr;
  QPushButton* Button_showplt = nullptr;

  // Ends the run with a key as the edit fields do.
  void Finish(OnlineKey key);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  void BuildRows();
  void FocusCurrent();
  void ReadEdits();

  OnlineRun& run_;
  std::array<QLineEdit*, kOnlineMaxRows + 1> edits_{};
  bool finishing_ = false;
};

// The form port: one modal TForm_online per run, owned by the main window.
class QtOnlineForm : public OnlineFormPort {
 public:
  explicit QtOnlineForm(QWidget* owner) : owner_(owner) {}
  void Run(OnlineRun& run) override;

 private:
  QWidget* owner_;
};

}  // namespace zeb
