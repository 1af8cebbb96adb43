// The small dialogs and forms of the base library. Each keeps its control
// names as object names; the forms only present texts and collect answers.
#pragma once
#include <QDialog>
#include <QGroupBox>
#include <QPixmap>
#include <QString>
#include <QStringList>
#include <functional>

#include "base/colors.h"
#include "base/ui_port.h"

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QVBoxLayout;

namespace zeb {

// Size by the dialog settings and centre over the main window (or the
// screen); fonts follow the element scale.
void PlaceDialog(QWidget* dialog, const DialogGeometry& designed);
// The same size and scale, left where the window system puts it.
void ScaleDialogOnly(QWidget* dialog, const DialogGeometry& designed);
// Controls placed by hand (their parent has no layout) grow to show their
// whole text: labels, buttons, check boxes and group titles; a right-aligned
// label keeps its right edge. A parent without layout then grows to hold its
// children, up to the dialog. Both placing helpers run it; a form that
// places itself runs it after building its controls.
void FitControlTexts(QWidget* dialog);

// A combo box shows its items whole, in its field and in its list: as wide
// as its widest item (within a window the screen can hold; the window
// grows to its size hint). Run again after its items change.
void ShowItemsWhole(QComboBox* combo);

// Help buttons of the forms: help text n in the text box (mode 1) or its
// picture alone (mode 2); AbortFlag is 0 afterwards.
void ShowHelpTextBox(int n);
void ShowHelpPicture(int n);
// The hint of a control: help text n as one line.
void SetHelpHint(QWidget* control, int n);

// A plain group box (no check box) that keeps its frame and title as a
// picture: a form whose rows change repaints parts of its group boxes at
// every entry, and the style draws the frame anew each time.
class CachedGroupBox : public QGroupBox {
 public:
  CachedGroupBox(const QString& title, QWidget* parent) : QGroupBox(title, parent) {}

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  QPixmap picture_;
  QString pictureTitle_;
};

// Common frame of the input dialogs: prompt label, a body, OK, Cancel and the
// two help buttons. Result codes: Accepted (OK), Rejected (Cancel, Escape,
// closed), kEnterResult (Enter in a list).
class InputDialog : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kEnterResult = 2;

  InputDialog(QWidget* parent, const char* formName, const QString& caption, const char* okName,
              const char* cancelName, const DialogHelp& help);
  DialogEnd End(int result) const;

  QLabel* label1 = nullptr;
  QPushButton* buttonOk = nullptr;
  QPushButton* buttonCancel = nullptr;
  QPushButton* buttonHelpText = nullptr;
  QPushButton* buttonHelpPicture = nullptr;

 protected:
  QVBoxLayout* body = nullptr;

 private:
  void RunHelp(const std::function<void()>& action);
};

class Tin_textdialog : public InputDialog {
  Q_OBJECT
 public:
  Tin_textdialog(QWidget* parent, const QString& prompt, int maxLength, const QString& text,
                 const DialogHelp& help);
  QLineEdit* editEinText = nullptr;
};

class Tin_janeindialog : public InputDialog {
  Q_OBJECT
 public:
  Tin_janeindialog(QWidget* parent, const QString& prompt, bool yes, const DialogHelp& help);
  bool Yes() const;
  QGroupBox* radioGroupJaNein = nullptr;

 private:
  QButtonGroup* buttons_ = nullptr;
};

class Tin_radiodialog : public InputDialog {
  Q_OBJECT
 public:
  Tin_radiodialog(QWidget* parent, const QString& prompt, const QStringList& items, int index,
                  const DialogHelp& help);
  int Index() const;
  QGroupBox* radioGroup1 = nullptr;

 private:
  QStringList items_;  // the dialog's own text list
  QButtonGroup* buttons_ = nullptr;
};

class Tin_codedialog : public InputDialog {
  Q_OBJECT
 public:
  Tin_codedialog(QWidget* parent, const QString& prompt, const QStringList& items, int index,
                 const DialogHelp& help);
  int Index() const;
  QListWidget* listBox1 = nullptr;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

class TShowScreen : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kLines = 22;
  TShowScreen(QWidget* parent, const QString& caption, const QStringList& lines);
  QPlainTextEdit* memo1 = nullptr;
  QPushButton* buttonOk = nullptr;
};

class Thelperr : public QDialog {
  Q_OBJECT
 public:
  Thelperr(QWidget* parent, const ErrorHelpTexts& texts, std::function<void()> help);
  // Edits of cause or remedy since the form was filled.
  bool Modified() const { return modified_; }
  // The texts as they stand; line breaks typed into a memo become blanks,
  // since each text is one line of the message-help file.
  ErrorHelpTexts Texts() const;

  QLineEdit* editMeldung = nullptr;
  QPlainTextEdit* memoUrsache = nullptr;
  QPlainTextEdit* memoAbhilfe = nullptr;
  QPushButton* buttonOk = nullptr;
  QPushButton* buttonHelp = nullptr;

 private:
  bool modified_ = false;
  std::function<void()> help_;
};

class TForm_showtextfile : public QDialog {
  Q_OBJECT
 public:
  TForm_showtextfile(QWidget* parent, const TextViewerRequest& request);
  // Loads the display file (Windows-1252 text); false when it cannot be read.
  bool LoadDisplayFile();
  WindowRect Rect() const;

  QPlainTextEdit* memo1 = nullptr;

 private:
  void MarkAllAndCopy();
  TextViewerRequest request_;
};

}  // namespace zeb
