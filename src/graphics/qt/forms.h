// The graphics window's forms: the animation step window, the axis-limits
// dialog and the help-picture picker. Controls keep their names as object
// names.
#pragma once
#include <QDialog>
#include <array>
#include <memory>

#include "graphics/diagram.h"
#include "graphics/helpcat.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class QWidget;

namespace zeb {

class TForm_anistep : public QDialog {
  Q_OBJECT
 public:
  explicit TForm_anistep(QWidget* parent = nullptr);
  bool endOfSteps = false;
  QPushButton* buttonNextStep = nullptr;
  QPushButton* buttonEndStep = nullptr;
};

class TEinDiagramLimits : public QDialog {
  Q_OBJECT
 public:
  TEinDiagramLimits(QWidget* parent, const DiagramLimitsRequest& request);
  QLabel* labelX = nullptr;
  QLabel* labelY = nullptr;
  QGroupBox* groupBox1 = nullptr;
  QLineEdit* editXmin = nullptr;
  QLineEdit* editYmin = nullptr;
  QLineEdit* editXmax = nullptr;
  QLineEdit* editYmax = nullptr;
  QPushButton* buttonCalc = nullptr;
  QPushButton* buttonHelp = nullptr;
  QPushButton* buttonCancel = nullptr;
  QPushButton* buttonOk = nullptr;

 protected:
  // Esc cancels (AbortFlag); the close box only closes.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void SetEdits(const std::array<std::string, 4>& texts);
  std::array<std::string, 4> Edits() const;
  DiagramLimitsRequest request_;
};

class TForm_hilfebild : public QDialog {
  Q_OBJECT
 public:
  TForm_hilfebild(QWidget* parent, const QString& caption, const std::vector<std::string>& items, int current,
                  HelpPictureFormState& state);
  ~TForm_hilfebild() override;
  QComboBox* listBox1 = nullptr;
  QWidget* spinButton1 = nullptr;
  QToolButton* spinUp = nullptr;
  QToolButton* spinDown = nullptr;
  QPushButton* buttonOk = nullptr;
  QPushButton* buttonHelp = nullptr;
  QPushButton* buttonNeu = nullptr;
  QPushButton* buttonAendern = nullptr;
  QPushButton* buttonEinfuegen = nullptr;
  QPushButton* buttonLoeschen = nullptr;

 public slots:
  // Esc and the OK button end the loop.
  void reject() override;

 private:
  void CloseIfDone();
  void PlaceBeside(QWidget* caller);
  HelpPictureFormState& state_;
  bool updating_ = false;
};

class QtDiagramLimitsDialog : public DiagramLimitsDialog {
 public:
  void Run(const DiagramLimitsRequest& request) override;
};

class QtHelpPictureDialog : public HelpPictureDialog {
 public:
  void Run(std::string_view caption, const std::vector<std::string>& items, int current,
           HelpPictureFormState& state) override;
};

}  // namespace zeb
