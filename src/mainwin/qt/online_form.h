// The online input form on Qt: built from the row model, with the input
// column, the output column and the message list; kept open from run to
// run of a screen, its fields updated.
#pragma once
#include <QDialog>
#include <QHash>
#include <QPointer>
#include <array>
#include <string>

#include "mainwin/online.h"

class QGroupBox;
class QLabel;
class QEventLoop;
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
  // Built for the screen of this run (rows, outputs, caption, size)?
  bool Fits() const;
  // The fields, labels, outputs and messages of the next run of the screen.
  void Refresh(OnlineRun& run);
  // Shows the form (when hidden) and waits for the run's key; stays open
  // unless the key ends the screen.
  void RunOnce();
  // Runs waited for so far.
  int RunCount() const { return runCount_; }
  // Between runs: keys and buttons find no run to end and do nothing.
  void Detach() { run_ = nullptr; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  static int Rows();
  static int Outs();
  void BuildRows();
  // Columns as wide as their widest texts, the texts of a row apart; the
  // group boxes and the form around them.
  void LayOutColumns();
  // A text's width in a control's font, measured anew only when it changed
  // (the form lays its columns out at every run).
  int Measured(const QWidget* w, const QString& text);
  int TextWidth(const QLabel* l);
  void UpdateMessages();
  void FocusCurrent();
  // The field of the current row (none when hidden).
  QLineEdit* CurrentEdit() const;
  void ReadEdits();

  OnlineRun* run_;
  std::array<QLineEdit*, kOnlineMaxRows + 1> edits_{};
  // The labels of the rows (name, unit), of the outputs (name, value,
  // unit) and of the messages, as made.
  std::array<QLabel*, kOnlineMaxRows + 1> rowLabels_{}, unitLabels_{};
  std::array<std::array<QLabel*, kOnlineMaxRows + 1>, 3> outLabels_{};
  std::array<QLabel*, 13> messageLabels_{};
  bool finishing_ = false;
  QEventLoop* loop_ = nullptr;  // the run's loop while RunOnce waits
  int runCount_ = 0;
  int rows_ = 0, outs_ = 0;
  bool small_ = false;
  std::string caption_;
  struct Measure {
    QString text;
    int width = -1;
  };
  QHash<const QWidget*, Measure> measured_;
  int editFrame_ = -1;  // a field's width without its text
};

// The width a line edit needs to show text whole: its frame and margins,
// the text and the cursor.
int LineEditTextNeed(const QLineEdit* e, const QString& text);

// The form port: one modal TForm_online per screen, owned by the main
// window, updated for each run.
class QtOnlineForm : public OnlineFormPort {
 public:
  explicit QtOnlineForm(QWidget* owner) : owner_(owner) {}
  ~QtOnlineForm() override;
  void Run(OnlineRun& run) override;

 private:
  QWidget* owner_;
  QPointer<TForm_online> form_;
};

}  // namespace zeb
