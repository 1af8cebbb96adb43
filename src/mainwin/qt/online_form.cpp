#include "mainwin/qt/online_form.h"

#include <QCloseEvent>
#include <QEvent>
#include <QEventLoop>
#include <QGroupBox>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QShowEvent>
#include <QStyle>
#include <QStyleOptionFrame>
#include <algorithm>

#include "base/files.h"
#include "base/globals.h"
#include "base/help.h"
#include "base/qt/forms.h"
#include "base/qt/qt_convert.h"
#include "base/services.h"
#include "base/text.h"
#include "settings/config.h"

namespace zeb {

namespace {

QString Oem(std::string_view text) { return AnsiToQString(OemToAnsiStr(text)); }

constexpr const char* kHelpProperty = "zebHelp";  // help-text number of a label's hint
constexpr const char* kCauseProperty = "zebCause";  // message number of a message label

QLabel* MakeLabel(QWidget* parent, const QString& name, int left, int top, int width, const QString& text,
                  Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter) {
  auto* l = new QLabel(text, parent);
  l->setObjectName(name);
  l->setGeometry(left, top, width, 24);
  l->setAlignment(align);
  return l;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text, int left, int top) {
  auto* b = new QPushButton(text, parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setGeometry(left, top, 100, 28);
  b->setAutoDefault(false);
  return b;
}

}  // namespace

TForm_online::TForm_online(QWidget* parent, OnlineRun& run) : QDialog(parent), run_(&run) {
  setObjectName("TForm_online");
  // Minimise and maximise only: no close box.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinMaxButtonsHint);
  setWindowModality(Qt::ApplicationModal);
  // The rows are laid out for a small dialog font.
  QFont small = font();
  small.setPixelSize(11);
  setFont(small);
  const BaseGlobals& g = G();
  const OnlineState& o = Online();
  const int pct = g.DialogSizePercent > 0 ? g.DialogSizePercent : 100;
  move(o.Left, o.Top);
  resize(kDesignWidth * pct / 100, kDesignHeight * pct / 100);
  setWindowTitle(Oem(g.ProductName + "    " + o.Caption));
  caption_ = o.Caption;

  const int buttonTop = 27 * kOnlineMaxRows + 50;
  Button_ok = MakeButton(this, "Button_ok", "OK", 10, buttonTop);
  Button_ok->setDefault(true);
  Button_help = MakeButton(this, "Button_help", "&Hilfe", 120, buttonTop);
  Button_hilfebild = MakeButton(this, "Button_hilfebild", "Hilfe&bild", 230, buttonTop);
  Button_showplt = MakeButton(this, "Button_showplt", "Hilfebil&der", 340, buttonTop);
  Button_close = MakeButton(this, "Button_close", QString::fromUtf8("&Schließen"), 450, buttonTop);
  Button_unit = MakeButton(this, "Button_unit", "mm <-> inch", 560, buttonTop);
  Button_unit->hide();
  // The help buttons leave the focus on the row being typed (they have
  // their Alt keys).
  for (QPushButton* b : {Button_help, Button_hilfebild, Button_showplt}) b->setFocusPolicy(Qt::NoFocus);
  connect(Button_ok, &QPushButton::clicked, this, [this] { Finish(OnlineKey::Ok); });
  connect(Button_close, &QPushButton::clicked, this, [this] { Finish(OnlineKey::Close); });
  connect(Button_help, &QPushButton::clicked, this, [] {
    ShowHelpText(1010, "", 1);  // the form's own text
    G().AbortFlag = 0;
  });
  connect(Button_hilfebild, &QPushButton::clicked, this, [this] {
    if (run_ == nullptr) return;
    ShowHelpText(InputRowHelp(run_->HelpBase, run_->Current < 1 ? 1 : run_->Current), "", 2);
    raise();
    activateWindow();
    G().AbortFlag = 0;
  });
  connect(Button_showplt, &QPushButton::clicked, this, [this] {
    // The row the user is on, not the button, has the focus: the picker
    // keeps clear of it. The row comes back as it was typed, the cursor at
    // its end, so that the next key goes on with it.
    QLineEdit* row = CurrentEdit();
    if (row != nullptr) row->setFocus();
    Graphics().HelpPictureCatalog();
    raise();
    activateWindow();
    if (row != nullptr) {
      row->setFocus();
      row->deselect();
      row->end(false);
    }
    G().AbortFlag = 0;
  });
  connect(Button_unit, &QPushButton::clicked, this, [this] {
    ToggleUnitSystem();
    Finish(OnlineKey::Ok);
  });
  BuildRows();
  FitControlTexts(this);
  LayOutColumns();
}

int TForm_online::Rows() {
  const OnlineState& o = Online();
  return o.RowCount < 1 ? 1 : (o.RowCount > kOnlineMaxRows ? kOnlineMaxRows : o.RowCount);
}

int TForm_online::Outs() {
  const OnlineState& o = Online();
  return o.OutCount < 0 ? 0 : (o.OutCount > kOnlineMaxRows ? kOnlineMaxRows : o.OutCount);
}

void TForm_online::BuildRows() {
  const OnlineState& o = Online();
  const int rows = Rows();
  const int outs = Outs();
  rows_ = rows;
  outs_ = outs;
  GroupBox_eingabe = new CachedGroupBox(" Eingabefeld ", this);
  GroupBox_eingabe->setObjectName("GroupBox_eingabe");
  GroupBox_eingabe->setGeometry(10, 5, 150, 27 * rows + 30);
  // A control is made only when the form has none of its name yet.
  QSet<QString> made;
  const auto absent = [&made](const QString& name) {
    if (made.contains(name)) return false;
    made.insert(name);
    return true;
  };
  for (int i = 1; i <= rows; ++i) {
    const QString name = QString("ed_%1").arg(i);
    if (!absent(name)) continue;
    auto* e = new QLineEdit(Oem(run_->Edits[static_cast<std::size_t>(i)]), this);
    e->setObjectName(name);
    e->setGeometry(56, 27 * i + 4, 62, 26);
    e->installEventFilter(this);
    edits_[static_cast<std::size_t>(i)] = e;
  }
  for (int i = 1; i <= rows; ++i) {
    const auto r = static_cast<std::size_t>(i);
    const int help = InputRowHelp(run_->HelpBase, i);
    if (absent(QString("lb_%1").arg(i))) {
      QLabel* l = MakeLabel(GroupBox_eingabe, QString("lb_%1").arg(i), 6, 27 * i + 2, 34, Oem(o.LabelText[r]),
                            Qt::AlignRight | Qt::AlignVCenter);
      l->setProperty(kHelpProperty, help);
      l->installEventFilter(this);
      rowLabels_[r] = l;
    }
    if (absent(QString("lbeu_%1").arg(i))) {
      QLabel* l = MakeLabel(GroupBox_eingabe, QString("lbeu_%1").arg(i), 114, 27 * i + 2, 20, Oem(o.UnitText[r]));
      l->setProperty(kHelpProperty, help);
      l->installEventFilter(this);
      unitLabels_[r] = l;
    }
  }
  const bool small = Config().SmallOnlineWindow != 0;
  small_ = small;
  if (!small) {
    GroupBox_ausgabe = new CachedGroupBox(" Ausgabefeld ", this);
    GroupBox_ausgabe->setObjectName("GroupBox_ausgabe");
    GroupBox_ausgabe->setGeometry(170, 5, 140, 27 * outs + 30);
    struct Column {
      const char* prefix;
      int left, width;
      const std::array<std::string, kOnlineMaxRows + 1>* texts;
    } columns[] = {{"lbaz_", 8, 40, &o.OutName}, {"lbaw_", 50, 55, &o.OutValue}, {"lbau_", 102, 30, &o.OutUnit}};
    for (std::size_t k = 0; k < std::size(columns); ++k) {
      const Column& c = columns[k];
      for (int j = 1; j <= outs; ++j) {
        const QString name = QString("%1%2").arg(c.prefix).arg(j);
        if (!absent(name)) continue;
        QLabel* l = MakeLabel(GroupBox_ausgabe, name, c.left, 27 * j + 2, c.width,
                              Oem((*c.texts)[static_cast<std::size_t>(j)]));
        l->setProperty(kHelpProperty, OutputRowHelp(run_->HelpBase, j));
        l->installEventFilter(this);
        outLabels_[k][static_cast<std::size_t>(j)] = l;
      }
    }
    GroupBox_fehler = new CachedGroupBox(" Fehlermeldungen ", this);
    GroupBox_fehler->setObjectName("GroupBox_fehler");
    GroupBox_fehler->setGeometry(320, 5, 260, 354);
    UpdateMessages();
  }
  for (int i = 1; i <= rows; ++i) {
    if (!run_->Hidden(i)) continue;
    for (const QString& name : {QString("ed_%1").arg(i), QString("lb_%1").arg(i), QString("lbeu_%1").arg(i)})
      if (auto* w = findChild<QWidget*>(name)) w->hide();
  }
  for (QLineEdit* e : edits_)
    if (e != nullptr) e->raise();
}

// The message list: a label per message, none beyond the last.
void TForm_online::UpdateMessages() {
  if (GroupBox_fehler == nullptr) return;
  const ErrorMessageListT& list = G().ErrorMessageList;
  const int count = std::min<int>(list.count, 12);
  for (int k = 1; k <= 12; ++k) {
    QLabel*& l = messageLabels_[static_cast<std::size_t>(k)];
    if (k > count) {
      delete l;
      l = nullptr;
      continue;
    }
    const QString text = Oem(list.slot[static_cast<std::size_t>(k)]);
    if (l == nullptr) {
      l = MakeLabel(GroupBox_fehler, QString("lber_%1").arg(k), 10, 27 * k, 240, text);
      l->setProperty(kCauseProperty, k);
      l->installEventFilter(this);
      l->show();
    } else if (l->text() != text) {
      l->setText(text);
      l->setToolTip(QString());
    }
  }
}

bool TForm_online::Fits() const {
  return rows_ == Rows() && outs_ == Outs() && small_ == (Config().SmallOnlineWindow != 0) &&
         caption_ == Online().Caption;
}

void TForm_online::Refresh(OnlineRun& run) {
  run_ = &run;
  finishing_ = false;
  const OnlineState& o = Online();
  if (pos() != QPoint(o.Left, o.Top)) move(o.Left, o.Top);
  const auto setText = [](QLabel* l, const QString& text) {
    if (l != nullptr && l->text() != text) {
      l->setText(text);
      l->setToolTip(QString());
    }
  };
  for (int i = 1; i <= rows_; ++i) {
    const auto r = static_cast<std::size_t>(i);
    if (QLineEdit* e = edits_[r]) {
      const QString text = Oem(run.Edits[r]);
      if (e->text() != text) e->setText(text);
      e->setVisible(!run.Hidden(i));
    }
    for (QLabel* l : {rowLabels_[r], unitLabels_[r]}) {
      if (l == nullptr) continue;
      setText(l, Oem(l == unitLabels_[r] ? o.UnitText[r] : o.LabelText[r]));
      l->setProperty(kHelpProperty, InputRowHelp(run.HelpBase, i));
      l->setVisible(!run.Hidden(i));
    }
  }
  if (GroupBox_ausgabe != nullptr) {
    const std::array<std::string, kOnlineMaxRows + 1>* texts[] = {&o.OutName, &o.OutValue, &o.OutUnit};
    for (std::size_t k = 0; k < std::size(texts); ++k)
      for (int j = 1; j <= outs_; ++j) {
        QLabel* l = outLabels_[k][static_cast<std::size_t>(j)];
        if (l == nullptr) continue;
        setText(l, Oem((*texts[k])[static_cast<std::size_t>(j)]));
        l->setProperty(kHelpProperty, OutputRowHelp(run.HelpBase, j));
      }
  }
  UpdateMessages();
  LayOutColumns();
  FocusCurrent();
}

namespace {

constexpr int kGap = 6;  // between the texts of a row

}  // namespace

int TForm_online::Measured(const QWidget* w, const QString& text) {
  Measure& m = measured_[w];
  if (m.width < 0 || m.text != text) m = {text, w->fontMetrics().horizontalAdvance(text)};
  return m.width;
}

int TForm_online::TextWidth(const QLabel* l) {
  return l == nullptr || l->isHidden() ? 0 : Measured(l, l->text()) + 2 * l->margin() + 1;
}

int LineEditTextNeed(const QLineEdit* e, const QString& text) {
  QStyleOptionFrame option;
  option.initFrom(e);
  option.rect = QRect(0, 0, 1000, e->height());
  option.lineWidth = e->hasFrame() ? e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, e) : 0;
  const QRect contents = e->style()->subElementRect(QStyle::SE_LineEditContents, &option, e);
  const QMargins m = e->textMargins();
  // The field keeps two pixels on either side of its text and one for the
  // cursor at its end.
  return 1000 - contents.width() + m.left() + m.right() + 4 + 1 + e->fontMetrics().horizontalAdvance(text);
}

void TForm_online::LayOutColumns() {
  // Each control keeps its designed place and width unless a text needs
  // more: a column starts a gap after the widest text of the one before it
  // and is as wide as its widest text.
  int label = 0, edit = 62, unit = 0;
  for (int i = 1; i <= rows_; ++i) {
    const auto r = static_cast<std::size_t>(i);
    if (run_ != nullptr && run_->Hidden(i)) continue;
    label = std::max(label, TextWidth(rowLabels_[r]));
    unit = std::max(unit, TextWidth(unitLabels_[r]));
    if (QLineEdit* e = edits_[r]) {
      if (editFrame_ < 0) editFrame_ = LineEditTextNeed(e, QString());
      edit = std::max(edit, editFrame_ + Measured(e, e->text()));
    }
  }
  // Input column: the labels (right-aligned) in the group box at 10, the
  // fields on the form, the units in the group box.
  const int labelWidth = std::max(34, label);
  const int editLeft = std::max(46, 6 + labelWidth + kGap), unitLeft = std::max(114, editLeft + edit + kGap);
  for (int i = 1; i <= rows_; ++i) {
    const auto r = static_cast<std::size_t>(i);
    if (QLabel* l = rowLabels_[r]) l->setGeometry(6, 27 * i + 2, labelWidth, 24);
    if (QLineEdit* e = edits_[r]) e->setGeometry(10 + editLeft, 27 * i + 4, edit, 26);
    if (QLabel* l = unitLabels_[r]) l->setGeometry(unitLeft, 27 * i + 2, std::max(20, unit), 24);
  }
  const int inputWidth = std::max(150, unitLeft + unit + 8);
  GroupBox_eingabe->setGeometry(10, 5, inputWidth, 27 * rows_ + 30);
  int right = 10 + inputWidth;
  if (GroupBox_ausgabe != nullptr) {
    // Output column: name at 8, value at 50, unit at 102 as designed.
    const int designLeft[3] = {8, 50, 102}, designWidth[3] = {40, 55, 30};
    int left[3], text[3] = {0, 0, 0};
    for (std::size_t k = 0; k < 3; ++k) {
      for (int j = 1; j <= outs_; ++j)
        text[k] = std::max(text[k], TextWidth(outLabels_[k][static_cast<std::size_t>(j)]));
      left[k] = k == 0 ? designLeft[0] : std::max(designLeft[k], left[k - 1] + text[k - 1] + kGap);
      for (int j = 1; j <= outs_; ++j)
        if (QLabel* l = outLabels_[k][static_cast<std::size_t>(j)])
          l->setGeometry(left[k], 27 * j + 2, std::max(designWidth[k], text[k]), 24);
    }
    const int outputWidth = std::max(140, left[2] + text[2] + 8);
    GroupBox_ausgabe->setGeometry(right + 10, 5, outputWidth, 27 * outs_ + 30);
    right += 10 + outputWidth;
    int message = 240;
    for (QLabel* l : messageLabels_) message = std::max(message, TextWidth(l));
    for (QLabel* l : messageLabels_)
      if (l != nullptr) l->setGeometry(10, l->y(), message, 24);
    GroupBox_fehler->setGeometry(right + 10, 5, std::max(260, message + 20), 354);
    right += 10 + GroupBox_fehler->width();
  }
  // The form holds the columns and its buttons.
  const int pct = G().DialogSizePercent > 0 ? G().DialogSizePercent : 100;
  int buttons = 0;
  for (const QPushButton* b : findChildren<QPushButton*>())
    if (!b->isHidden()) buttons = std::max(buttons, b->geometry().right() + 1);
  const QSize size(std::max({kDesignWidth * pct / 100, right + 10, buttons + 10}), kDesignHeight * pct / 100);
  if (size != this->size()) resize(size);
}

void TForm_online::RunOnce() {
  finishing_ = false;
  ++runCount_;
  if (!isVisible()) show();
  QEventLoop loop;
  loop_ = &loop;
  loop.exec(QEventLoop::DialogExec);
  loop_ = nullptr;
}

QLineEdit* TForm_online::CurrentEdit() const {
  if (run_ == nullptr) return nullptr;
  const int c = run_->Current;
  if (c < 1 || c > kOnlineMaxRows || run_->Hidden(c)) return nullptr;
  return edits_[static_cast<std::size_t>(c)];
}

void TForm_online::FocusCurrent() {
  if (QLineEdit* e = CurrentEdit()) {
    e->setFocus();
    e->selectAll();
  }
}

void TForm_online::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FocusCurrent();
}

void TForm_online::ReadEdits() {
  for (int i = 1; i <= kOnlineMaxRows; ++i)
    if (QLineEdit* e = edits_[static_cast<std::size_t>(i)])
      run_->Edits[static_cast<std::size_t>(i)] = AnsiLineToOem(QStringToAnsi(e->text()));
}

void TForm_online::Finish(OnlineKey key) {
  if (finishing_ || run_ == nullptr) return;
  finishing_ = true;
  ReadEdits();
  ApplyOnlineKey(*run_, key);
  SaveOnlinePosition(x(), y());
  if (key == OnlineKey::Up || key == OnlineKey::Down) FocusCurrent();
  // A kept form stays open for the next run unless the screen ends.
  if (loop_ != nullptr) loop_->exit();
  if (loop_ == nullptr || G().AbortFlag != 0) done(G().AbortFlag != 0 ? QDialog::Rejected : QDialog::Accepted);
}

void TForm_online::reject() { Finish(OnlineKey::Esc); }

void TForm_online::closeEvent(QCloseEvent* event) {
  if (!finishing_) Finish(OnlineKey::WindowClose);
  event->accept();
}

bool TForm_online::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn) {
    for (int i = 1; i <= kOnlineMaxRows; ++i)
      if (watched == edits_[static_cast<std::size_t>(i)] && run_ != nullptr) run_->Current = i;
  } else if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    for (int i = 1; i <= kOnlineMaxRows; ++i) {
      QLineEdit* e = edits_[static_cast<std::size_t>(i)];
      if (watched != e || e == nullptr || run_ == nullptr) continue;
      // Keys reach the field the user is in: its row is the current one.
      run_->Current = i;
      switch (key) {
        case Qt::Key_Escape: Finish(OnlineKey::Esc); return true;
        case Qt::Key_Return:
        case Qt::Key_Enter: Finish(OnlineKey::Enter); return true;
        case Qt::Key_Up: Finish(OnlineKey::Up); return true;
        case Qt::Key_Down: Finish(OnlineKey::Down); return true;
        default: return false;
      }
    }
  } else if (event->type() == QEvent::ToolTip) {
    // Hints are read when asked for.
    auto* label = qobject_cast<QLabel*>(watched);
    if (label != nullptr) {
      if (const QVariant help = label->property(kHelpProperty); help.isValid()) {
        label->setToolTip(AnsiToQString(HelpHintText(help.toInt())));
      } else if (const QVariant k = label->property(kCauseProperty); k.isValid()) {
        label->setToolTip(AnsiToQString(ErrorCauseHint(k.toInt())));
      }
    }
  }
  return QDialog::eventFilter(watched, event);
}

QtOnlineForm::~QtOnlineForm() { delete form_.data(); }

void QtOnlineForm::Run(OnlineRun& run) {
  // The form of a screen stays open from run to run, its fields updated;
  // a run that ends the screen (Esc, close) closes it.
  if (form_ != nullptr && !form_->Fits()) delete form_.data();
  if (form_ == nullptr)
    form_ = new TForm_online(owner_, run);
  else
    form_->Refresh(run);
  form_->RunOnce();
  form_->Detach();
  if (!run.Closed) ApplyOnlineKey(run, OnlineKey::WindowClose);
  if (G().AbortFlag != 0 && form_ != nullptr) delete form_.data();
}

}  // namespace zeb
