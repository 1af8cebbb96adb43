#include "base/qt/forms.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QFile>
#include <QFontMetrics>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPaintEvent>
#include <QPainter>
#include <QStyleOptionGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "base/globals.h"
#include "base/help.h"
#include "base/qt/qt_convert.h"

namespace zeb {

namespace {

QWidget* FindMainWindow() {
  if (auto* active = qobject_cast<QMainWindow*>(QApplication::activeWindow())) return active;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (qobject_cast<QMainWindow*>(w) && w->isVisible()) return w;
  }
  return nullptr;
}

DialogGeometry MainWindowGeometry() {
  if (QWidget* main = FindMainWindow()) {
    const QRect r = main->frameGeometry();
    return {r.x(), r.y(), r.width(), r.height()};
  }
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QRect r = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
  return {r.x(), r.y(), r.width(), r.height()};
}

void ScaleFonts(QWidget* dialog) {
  const double scale = DialogElementScale();
  if (scale <= 0.0 || scale == 1.0) return;
  QFont font = dialog->font();
  if (font.pointSizeF() > 0) {
    font.setPointSizeF(font.pointSizeF() * scale);
  } else if (font.pixelSize() > 0) {
    font.setPixelSize(std::max(1, static_cast<int>(font.pixelSize() * scale)));
  }
  dialog->setFont(font);
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* text) {
  auto* b = new QPushButton(QString::fromLatin1(text), parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setAutoDefault(false);
  return b;
}

QFont FixedFont() { return QFontDatabase::systemFont(QFontDatabase::FixedFont); }

}  // namespace

void ShowHelpTextBox(int n) {
  ShowHelpText(n, "", 1);
  G().AbortFlag = 0;
}

void ShowHelpPicture(int n) {
  ShowHelpText(n, "", 2);
  G().AbortFlag = 0;
}

// A control whose help text is missing gets no tool tip.
void SetHelpHint(QWidget* control, int n) { control->setToolTip(AnsiToQString(HelpHintText(n))); }

namespace {

// The size the text of a hand-placed control needs, or an empty size.
QSize TextNeed(QWidget* w) {
  const QFontMetrics fm(w->font());
  auto textSize = [&fm](QString text, bool mnemonic) {
    if (mnemonic) {
      text.replace(QLatin1String("&&"), QChar(0x1));
      text.remove(QLatin1Char('&'));
      text.replace(QChar(0x1), QLatin1Char('&'));
    }
    int width = 0, lines = 0;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
      width = std::max(width, fm.horizontalAdvance(line));
      ++lines;
    }
    return QSize(width, lines * fm.height());
  };
  if (auto* l = qobject_cast<QLabel*>(w)) {
    if (l->text().isEmpty() || l->wordWrap() || l->textFormat() == Qt::RichText) return {};
    const int m = 2 * l->margin() + 2 * l->frameWidth() + 1;
    return textSize(l->text(), l->buddy() != nullptr) + QSize(m, m);
  }
  if (auto* b = qobject_cast<QAbstractButton*>(w)) {
    if (b->text().isEmpty()) return {};
    const QSize hint = b->sizeHint();
    return {std::max(hint.width(), textSize(b->text(), true).width() + 8), hint.height()};
  }
  if (auto* g = qobject_cast<QGroupBox*>(w)) {
    if (g->title().isEmpty()) return {};
    return textSize(g->title(), true) + QSize(16, 0);
  }
  return {};
}

int Depth(const QWidget* w) {
  int d = 0;
  for (const QWidget* p = w->parentWidget(); p != nullptr; p = p->parentWidget()) ++d;
  return d;
}

}  // namespace

void CachedGroupBox::paintEvent(QPaintEvent* event) {
  if (isCheckable() || size().isEmpty()) {
    QGroupBox::paintEvent(event);
    return;
  }
  const qreal ratio = devicePixelRatioF();
  if (picture_.isNull() || picture_.deviceIndependentSize() != QSizeF(size()) || picture_.devicePixelRatio() != ratio ||
      pictureTitle_ != title()) {
    picture_ = QPixmap((QSizeF(size()) * ratio).toSize());
    picture_.setDevicePixelRatio(ratio);
    picture_.fill(Qt::transparent);
    // As the box paints itself, onto the picture.
    QPainter p(&picture_);
    p.setPen(QPen(palette().brush(foregroundRole()), 1));
    p.setBackground(palette().brush(backgroundRole()));
    p.setFont(font());
    QStyleOptionGroupBox option;
    initStyleOption(&option);
    style()->drawComplexControl(QStyle::CC_GroupBox, &option, &p, this);
    pictureTitle_ = title();
  }
  QPainter(this).drawPixmap(0, 0, picture_);
}

void CachedGroupBox::changeEvent(QEvent* event) {
  picture_ = QPixmap();
  QGroupBox::changeEvent(event);
}

void FitControlTexts(QWidget* dialog) {
  QList<QWidget*> all = dialog->findChildren<QWidget*>();
  // Deepest first, so that a grown control's parent grows after it.
  std::stable_sort(all.begin(), all.end(), [](const QWidget* a, const QWidget* b) { return Depth(a) > Depth(b); });
  for (QWidget* w : all) {
    QWidget* parent = w->parentWidget();
    if (parent == nullptr || parent->layout() != nullptr || w->isWindow()) continue;
    const QSize need = TextNeed(w);
    QRect r = w->geometry();
    if (need.isValid()) {
      if (need.width() > r.width()) {
        auto* label = qobject_cast<QLabel*>(w);
        if (label != nullptr && (label->alignment() & Qt::AlignRight))
          r.setLeft(std::max(0, r.right() + 1 - need.width()));
        r.setWidth(std::max(r.width(), need.width()));
      }
      if (need.height() > r.height()) r.setHeight(need.height());
      w->setGeometry(r);
    }
  }
  // Parents placed by hand hold their children (the dialog last).
  for (QWidget* w : all) {
    QWidget* parent = w->parentWidget();
    if (parent == nullptr || parent->layout() != nullptr || w->isWindow() || w->isHidden()) continue;
    const QRect r = w->geometry();
    const int width = std::max(parent->width(), r.right() + 1), height = std::max(parent->height(), r.bottom() + 1);
    if (width != parent->width() || height != parent->height()) {
      if (parent == dialog || parent->isWindow())
        parent->resize(width, height);
      else
        parent->setGeometry(QRect(parent->pos(), QSize(width, height)));
    }
  }
}

void ShowItemsWhole(QComboBox* combo) {
  // As wide as its widest item where the window has the room; narrower,
  // never beyond its window, where the screen gives less.
  combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  combo->setMinimumWidth(combo->fontMetrics().averageCharWidth() * 20);
  QAbstractItemView* list = combo->view();
  const bool scrolls = combo->count() > combo->maxVisibleItems();
  const int scrollBar = scrolls ? list->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list) : 0;
  list->setMinimumWidth(list->sizeHintForColumn(0) + 2 * list->frameWidth() + scrollBar);
}

void PlaceDialog(QWidget* dialog, const DialogGeometry& designed) {
  ScaleFonts(dialog);
  const DialogGeometry g = ScaleAndCenterDialog(designed, MainWindowGeometry());
  dialog->resize(g.width, g.height);
  dialog->move(g.left, g.top);
  FitControlTexts(dialog);
}

void ScaleDialogOnly(QWidget* dialog, const DialogGeometry& designed) {
  ScaleFonts(dialog);
  const DialogGeometry g = ScaleDialogInPlace(designed);
  dialog->resize(g.width, g.height);
  FitControlTexts(dialog);
}

// ---------------------------------------------------------------------------

InputDialog::InputDialog(QWidget* parent, const char* formName, const QString& caption, const char* okName,
                         const char* cancelName, const DialogHelp& help)
    : QDialog(parent) {
  setObjectName(QString::fromLatin1(formName));
  setWindowTitle(caption);
  setWindowModality(Qt::ApplicationModal);

  auto* layout = new QVBoxLayout(this);
  label1 = new QLabel(this);
  label1->setObjectName("Label1");
  label1->setWordWrap(true);
  label1->setTextFormat(Qt::PlainText);
  layout->addWidget(label1);
  body = new QVBoxLayout;
  layout->addLayout(body, 1);

  auto* row = new QHBoxLayout;
  buttonOk = MakeButton(this, okName, "OK");
  buttonOk->setDefault(true);
  buttonCancel = MakeButton(this, cancelName, "Abbrechen");
  buttonHelpText = MakeButton(this, "Button_hilfetext", "&Hilfetext");
  buttonHelpPicture = MakeButton(this, "Button_hilfebild", "Hilfe&bild");
  row->addWidget(buttonOk);
  row->addWidget(buttonCancel);
  row->addStretch(1);
  row->addWidget(buttonHelpText);
  row->addWidget(buttonHelpPicture);
  layout->addLayout(row);

  connect(buttonOk, &QPushButton::clicked, this, &QDialog::accept);
  connect(buttonCancel, &QPushButton::clicked, this, &QDialog::reject);
  buttonHelpText->setEnabled(static_cast<bool>(help.text));
  buttonHelpPicture->setEnabled(static_cast<bool>(help.picture));
  connect(buttonHelpText, &QPushButton::clicked, this, [this, h = help.text] { RunHelp(h); });
  connect(buttonHelpPicture, &QPushButton::clicked, this, [this, h = help.picture] { RunHelp(h); });
}

void InputDialog::RunHelp(const std::function<void()>& action) {
  if (action) action();
  show();
  raise();
  activateWindow();
}

DialogEnd InputDialog::End(int result) const {
  if (result == kEnterResult) return DialogEnd::Enter;
  return result == QDialog::Accepted ? DialogEnd::Ok : DialogEnd::Cancel;
}

Tin_textdialog::Tin_textdialog(QWidget* parent, const QString& prompt, int maxLength, const QString& text,
                               const DialogHelp& help)
    : InputDialog(parent, "Tin_textdialog", "Eingabe", "Button_ok", "Button_Cancel", help) {
  setSizeGripEnabled(true);
  label1->setText(prompt);
  label1->setMinimumSize(300, 33);
  editEinText = new QLineEdit(this);
  editEinText->setObjectName("EditEinText");
  // A preset longer than the limit stays whole; only typing is limited.
  if (maxLength > 0) editEinText->setMaxLength(std::max<int>(maxLength, static_cast<int>(text.size())));
  editEinText->setText(text);
  body->addWidget(editEinText);
  body->addStretch(1);
  ScaleDialogOnly(this, {0, 0, 340, 150});
  editEinText->setFocus();
  editEinText->selectAll();
}

Tin_janeindialog::Tin_janeindialog(QWidget* parent, const QString& prompt, bool yes, const DialogHelp& help)
    : InputDialog(parent, "Tin_janeindialog", "Eingabe", "Button_ok", "button_cancel", help) {
  label1->setText(prompt);
  label1->setMinimumSize(250, 33);
  radioGroupJaNein = new QGroupBox("Auswahl", this);
  radioGroupJaNein->setObjectName("RadioGroup_janein");
  auto* layout = new QVBoxLayout(radioGroupJaNein);
  buttons_ = new QButtonGroup(this);
  auto* ja = new QRadioButton("&Ja", radioGroupJaNein);
  auto* nein = new QRadioButton("&Nein", radioGroupJaNein);
  buttons_->addButton(ja, 0);
  buttons_->addButton(nein, 1);
  layout->addWidget(ja);
  layout->addWidget(nein);
  (yes ? ja : nein)->setChecked(true);
  body->addWidget(radioGroupJaNein);
  PlaceDialog(this, {0, 0, 300, 200});
  (yes ? ja : nein)->setFocus();
}

bool Tin_janeindialog::Yes() const { return buttons_->checkedId() != 1; }

Tin_radiodialog::Tin_radiodialog(QWidget* parent, const QString& prompt, const QStringList& items, int index,
                                 const DialogHelp& help)
    : InputDialog(parent, "Tin_radiodialog", "Auswahl", "Button_ok", "button_cancel", help), items_(items) {
  label1->setText(prompt);
  label1->setMinimumHeight(39);
  radioGroup1 = new QGroupBox(this);
  radioGroup1->setObjectName("RadioGroup1");
  auto* layout = new QVBoxLayout(radioGroup1);
  buttons_ = new QButtonGroup(this);
  for (int i = 0; i < items_.size(); ++i) {
    auto* b = new QRadioButton(items_[i], radioGroup1);
    buttons_->addButton(b, i);
    layout->addWidget(b);
  }
  radioGroup1->setMinimumHeight((static_cast<int>(items_.size()) + 1) * 25);
  if (QAbstractButton* b = buttons_->button(index)) {
    b->setChecked(true);
    b->setFocus();
  }
  body->addWidget(radioGroup1);
  PlaceDialog(this, {0, 0, 320, 110 + (static_cast<int>(items_.size()) + 1) * 25});
}

int Tin_radiodialog::Index() const { return buttons_->checkedId(); }

Tin_codedialog::Tin_codedialog(QWidget* parent, const QString& prompt, const QStringList& items, int index,
                               const DialogHelp& help)
    : InputDialog(parent, "Tin_codedialog", "Auswahl", "button_ok", "button_cancel", help) {
  label1->setText(prompt);
  label1->setMinimumHeight(39);
  listBox1 = new QListWidget(this);
  listBox1->setObjectName("ListBox1");
  listBox1->addItems(items);
  listBox1->setCurrentRow(index);
  body->addWidget(listBox1);
  connect(listBox1, &QListWidget::itemDoubleClicked, this, [this] { done(kEnterResult); });
  PlaceDialog(this, {0, 0, 360, 320});
  listBox1->setFocus();
}

int Tin_codedialog::Index() const { return listBox1->currentRow(); }

void Tin_codedialog::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && event->modifiers() == Qt::NoModifier && !qobject_cast<QPushButton*>(focusWidget())) {
    done(kEnterResult);
    return;
  }
  InputDialog::keyPressEvent(event);
}

// ---------------------------------------------------------------------------

TShowScreen::TShowScreen(QWidget* parent, const QString& caption, const QStringList& lines) : QDialog(parent) {
  setObjectName("TShowScreen");
  setWindowTitle(caption);
  setWindowModality(Qt::ApplicationModal);
  auto* layout = new QVBoxLayout(this);
  memo1 = new QPlainTextEdit(this);
  memo1->setObjectName("Memo1");
  memo1->setReadOnly(true);
  memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  memo1->setFont(FixedFont());
  memo1->setPlainText(lines.join('\n'));
  layout->addWidget(memo1, 1);
  buttonOk = MakeButton(this, "Button_ok", "OK");
  buttonOk->setDefault(true);
  connect(buttonOk, &QPushButton::clicked, this, &QDialog::accept);
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  row->addWidget(buttonOk);
  row->addStretch(1);
  layout->addLayout(row);
  PlaceDialog(this, {0, 0, 640, 480});
  buttonOk->setFocus();
}

// ---------------------------------------------------------------------------

Thelperr::Thelperr(QWidget* parent, const ErrorHelpTexts& texts, std::function<void()> help)
    : QDialog(parent), help_(std::move(help)) {
  setObjectName("Thelperr");
  setWindowTitle("Fehlermeldung");
  setWindowModality(Qt::ApplicationModal);
  auto* layout = new QVBoxLayout(this);
  auto addLabel = [&](const char* name, const char* text) {
    auto* l = new QLabel(QString::fromLatin1(text), this);
    l->setObjectName(QString::fromLatin1(name));
    layout->addWidget(l);
    return l;
  };
  auto addMemo = [&](const char* name) {
    auto* m = new QPlainTextEdit(this);
    m->setObjectName(QString::fromLatin1(name));
    m->setTabChangesFocus(true);
    layout->addWidget(m, 1);
    return m;
  };
  QLabel* labelMeldung = addLabel("Label_meldung", "Fehlermeldung");
  editMeldung = new QLineEdit(this);
  editMeldung->setObjectName("Edit_meldung");
  editMeldung->setReadOnly(true);
  layout->addWidget(editMeldung);
  labelMeldung->setBuddy(editMeldung);
  addLabel("Label_ursache", "Ursache");
  memoUrsache = addMemo("Memo_ursache");
  addLabel("Label_abhilfe", "Abhilfe");
  memoAbhilfe = addMemo("Memo_abhilfe");

  auto* row = new QHBoxLayout;
  buttonOk = MakeButton(this, "Button_ok", "OK");
  buttonHelp = MakeButton(this, "Button_help", "&Hilfe");
  row->addWidget(buttonOk);
  row->addStretch(1);
  row->addWidget(buttonHelp);
  layout->addLayout(row);
  connect(buttonOk, &QPushButton::clicked, this, &QDialog::accept);
  connect(buttonHelp, &QPushButton::clicked, this, [this] {
    if (help_) help_();
  });

  editMeldung->setText(AnsiToQString(texts.message));
  memoUrsache->setPlainText(AnsiToQString(texts.cause));
  memoAbhilfe->setPlainText(AnsiToQString(texts.remedy));
  // Only edits after filling count.
  connect(memoUrsache, &QPlainTextEdit::textChanged, this, [this] { modified_ = true; });
  connect(memoAbhilfe, &QPlainTextEdit::textChanged, this, [this] { modified_ = true; });
  PlaceDialog(this, {0, 0, 500, 340});
}

ErrorHelpTexts Thelperr::Texts() const {
  auto oneLine = [](QString s) {
    s.replace("\r\n", " ");
    s.replace('\n', ' ');
    s.replace('\r', ' ');
    s.replace(QChar::ParagraphSeparator, ' ');
    s.replace(QChar::LineSeparator, ' ');
    return QStringToAnsi(s);
  };
  return {QStringToAnsi(editMeldung->text()), oneLine(memoUrsache->toPlainText()),
          oneLine(memoAbhilfe->toPlainText())};
}

// ---------------------------------------------------------------------------

TForm_showtextfile::TForm_showtextfile(QWidget* parent, const TextViewerRequest& request)
    : QDialog(parent), request_(request) {
  setObjectName("TForm_showtextfile");
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                 Qt::WindowCloseButtonHint);
  setWindowModality(Qt::ApplicationModal);
  setWindowTitle(AnsiToQString(request_.caption));

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* menuBar = new QMenuBar(this);
  layout->setMenuBar(menuBar);

  auto addAction = [this](QMenu* menu, const char* name, const QString& text) {
    QAction* a = menu->addAction(text);
    a->setObjectName(QString::fromLatin1(name));
    return a;
  };
  QMenu* datei = menuBar->addMenu("&Datei");
  datei->setObjectName("mi_Datei");
  QAction* notepad = addAction(datei, "mi_dateiExportNotepad", "Export &Notepad");
  QAction* wordpad = addAction(datei, "ExportWordpad1", "Export &Wordpad");
  QAction* print = addAction(datei, "mi_DateiDrucken", "&Drucken...");
  QAction* quit = addAction(datei, "mi_dateiBeenden", "&Beenden       ");
  QMenu* edit = menuBar->addMenu("&Bearbeiten");
  edit->setObjectName("mi_Edit");
  QAction* markAll = addAction(edit, "mi_EditMarkAll", QString::fromUtf8("Alles aus&wählen"));
  QAction* copy = addAction(edit, "mi_EditCopy", "&Kopieren");

  connect(notepad, &QAction::triggered, this, [this] {
    if (request_.exportNotepad) request_.exportNotepad();
  });
  // No word processor of its own here: the text program takes the file too.
  connect(wordpad, &QAction::triggered, this, [this] {
    if (request_.exportNotepad) request_.exportNotepad();
  });
  connect(print, &QAction::triggered, this, [this] {
    if (request_.print) request_.print();
  });
  connect(quit, &QAction::triggered, this, &QDialog::close);
  connect(markAll, &QAction::triggered, this, &TForm_showtextfile::MarkAllAndCopy);
  connect(copy, &QAction::triggered, this, [this] { memo1->copy(); });

  memo1 = new QPlainTextEdit(this);
  memo1->setObjectName("Memo1");
  memo1->setReadOnly(true);
  memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memo1->setFont(TextFont(request_.fontName, request_.fontSize, request_.fontStyle));
  layout->addWidget(memo1, 1);

  if (request_.width > 0 && request_.height > 0) {
    resize(request_.width, request_.height);
    move(request_.left, request_.top);
  }
}

bool TForm_showtextfile::LoadDisplayFile() {
  QFile file(PathToQString(request_.displayFile));
  if (!file.open(QIODevice::ReadOnly)) return false;
  const QByteArray bytes = file.readAll();
  QString text = AnsiToQString(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
  text.replace("\r\n", "\n");
  memo1->setPlainText(text);
  return true;
}

WindowRect TForm_showtextfile::Rect() const { return {x(), y(), width(), height()}; }

void TForm_showtextfile::MarkAllAndCopy() {
  memo1->selectAll();
  memo1->copy();
}

}  // namespace zeb
