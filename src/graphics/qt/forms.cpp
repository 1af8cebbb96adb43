#include "graphics/qt/forms.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>

#include "base/colors.h"
#include "base/globals.h"
#include "base/help.h"
#include "base/qt/forms.h"
#include "base/qt/qt_convert.h"
#include "base/text.h"

namespace zeb {

namespace {

QPushButton* Button(QWidget* parent, const char* name, const QString& text, QRect geometry) {
  auto* b = new QPushButton(text, parent);
  b->setObjectName(name);
  b->setAutoDefault(false);
  b->setGeometry(geometry);
  return b;
}

QLineEdit* Edit(QWidget* parent, const char* name, int x, int y) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(name);
  e->setGeometry(x, y, 57, 21);
  return e;
}

QString Q(std::string_view s1252) { return AnsiToQString(s1252); }
std::string A(const QString& s) { return QStringToAnsi(s); }

}  // namespace

// ------------------------------------------------------------ TForm_anistep

TForm_anistep::TForm_anistep(QWidget* parent) : QDialog(parent) {
  setObjectName("TForm_anistep");
  setWindowTitle("Animation");
  resize(104, 48);
  // The two buttons fill the window, one under the other.
  buttonNextStep = Button(this, "Button_nextstep", "+", QRect(0, 0, 104, 24));
  buttonEndStep = Button(this, "Button_endstep", "++", QRect(0, 24, 104, 24));
  FitControlTexts(this);
  setFixedSize(size());
  buttonNextStep->setDefault(true);
  connect(buttonNextStep, &QPushButton::clicked, this, &QDialog::accept);
  connect(buttonEndStep, &QPushButton::clicked, this, [this] {
    endOfSteps = true;
    reject();
  });
}

// ------------------------------------------------------------ TEinDiagramLimits

TEinDiagramLimits::TEinDiagramLimits(QWidget* parent, const DiagramLimitsRequest& request)
    : QDialog(parent), request_(request) {
  setObjectName("TEinDiagramLimits");
  setWindowTitle(request.caption.empty() ? Q(OemToAnsiStr(G().ProductName)) : Q(request.caption));
  labelY = new QLabel(Q(request.yTitle), this);
  labelY->setObjectName("Label_y");
  labelY->move(32, 20);
  labelX = new QLabel(Q(request.xTitle), this);
  labelX->setObjectName("Label_x");
  labelX->move(384, 252);
  groupBox1 = new QGroupBox(this);
  groupBox1->setObjectName("GroupBox1");
  groupBox1->setGeometry(88, 40, 281, 201);
  groupBox1->setEnabled(false);
  editYmax = Edit(this, "Edit_ymax", 32, 44);
  editYmin = Edit(this, "Edit_ymin", 32, 216);
  editXmin = Edit(this, "Edit_xmin", 88, 248);
  editXmax = Edit(this, "Edit_xmax", 320, 248);
  // Edits over the plot area's corners sit on top of the group box.
  for (QLineEdit* e : {editYmax, editYmin, editXmin, editXmax}) e->raise();
  buttonCalc = Button(this, "Button_calc", "Calculate", QRect(296, 312, 129, 25));
  buttonHelp = Button(this, "Button_help", "&Hilfetext", QRect(208, 312, 81, 25));
  buttonCancel = Button(this, "Button_cancel", "Abbrechen", QRect(120, 312, 81, 25));
  buttonOk = Button(this, "Button_ok", "OK", QRect(32, 312, 81, 25));
  buttonOk->setDefault(true);
  setTabOrder(buttonCalc, editYmax);
  setTabOrder(editYmax, editYmin);
  setTabOrder(editYmin, editXmin);
  setTabOrder(editXmin, editXmax);
  setTabOrder(editXmax, buttonOk);
  setTabOrder(buttonOk, buttonCancel);
  setTabOrder(buttonCancel, buttonHelp);
  SetEdits(DiagramLimitsInitialTexts());
  connect(buttonCalc, &QPushButton::clicked, this, [this] { SetEdits(DiagramLimitsCalculatedTexts(request_)); });
  connect(buttonOk, &QPushButton::clicked, this, [this] {
    if (DiagramLimitsAccept(Edits(), request_.axisMode)) accept();
  });
  connect(buttonCancel, &QPushButton::clicked, this, [this] {
    G().AbortFlag = 1;
    reject();
  });
  connect(buttonHelp, &QPushButton::clicked, this, [] {
    ShowHelpText(1950, "", 1);
    G().AbortFlag = 0;
  });
  PlaceDialog(this, {0, 0, 488, 375});
  setFixedSize(size());
  buttonCalc->setFocus();
}

void TEinDiagramLimits::SetEdits(const std::array<std::string, 4>& t) {
  editXmin->setText(Q(t[0]));
  editYmin->setText(Q(t[1]));
  editXmax->setText(Q(t[2]));
  editYmax->setText(Q(t[3]));
}

std::array<std::string, 4> TEinDiagramLimits::Edits() const {
  return {A(editXmin->text()), A(editYmin->text()), A(editXmax->text()), A(editYmax->text())};
}

void TEinDiagramLimits::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
    G().AbortFlag = 1;
    reject();
    return;
  }
  QDialog::keyPressEvent(e);
}

void QtDiagramLimitsDialog::Run(const DiagramLimitsRequest& request) {
  TEinDiagramLimits form(QApplication::activeWindow(), request);
  form.exec();
}

// ------------------------------------------------------------ TForm_hilfebild

TForm_hilfebild::TForm_hilfebild(QWidget* parent, const QString& caption, const std::vector<std::string>& items,
                                 int current, HelpPictureFormState& state)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint), state_(state) {
  setObjectName("TForm_hilfebild");
  setWindowTitle(caption);
  listBox1 = new QComboBox(this);
  listBox1->setObjectName("ListBox1");
  listBox1->setGeometry(8, 8, 397, 24);
  spinButton1 = new QWidget(this);
  spinButton1->setObjectName("SpinButton1");
  spinButton1->setGeometry(412, 4, 20, 32);
  spinUp = new QToolButton(spinButton1);
  spinUp->setObjectName("SpinButton1_up");
  spinUp->setArrowType(Qt::UpArrow);
  spinUp->setGeometry(0, 0, 20, 16);
  spinDown = new QToolButton(spinButton1);
  spinDown->setObjectName("SpinButton1_down");
  spinDown->setArrowType(Qt::DownArrow);
  spinDown->setGeometry(0, 16, 20, 16);
  const int y = 48, w = 72, h = 25;
  buttonOk = Button(this, "Button_ok", "OK", QRect(8, y, w, h));
  buttonHelp = Button(this, "Button_help", "&Hilfe", QRect(84, y, w, h));
  buttonNeu = Button(this, "Button_neu", "&Neu", QRect(160, y, w, h));
  buttonAendern = Button(this, "Button_aendern", QString::fromUtf8("&Ändern"), QRect(236, y, w, h));
  buttonEinfuegen = Button(this, "Button_einfuegen", QString::fromUtf8("&Einfügen"), QRect(312, y, w, h));
  buttonLoeschen = Button(this, "Button_loeschen", QString::fromUtf8("&Löschen"), QRect(388, y, w, h));
  buttonOk->setDefault(true);

  // FormShow: the list, the current item.
  updating_ = true;
  for (const auto& item : items) listBox1->addItem(Q(item));
  listBox1->setCurrentIndex(std::clamp(current - 1, -1, static_cast<int>(items.size()) - 1));
  state_.selection = listBox1->currentIndex();
  state_.action = 0;
  updating_ = false;

  connect(listBox1, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (updating_) return;
    state_.ListChange(index);
    CloseIfDone();
  });
  connect(spinUp, &QToolButton::clicked, this, [this] {
    if (updating_) return;
    state_.SpinUp();
    CloseIfDone();
  });
  connect(spinDown, &QToolButton::clicked, this, [this] {
    if (updating_) return;
    state_.SpinDown();
    CloseIfDone();
  });
  connect(buttonOk, &QPushButton::clicked, this, [this] {
    state_.Ok();
    CloseIfDone();
  });
  connect(buttonNeu, &QPushButton::clicked, this, [this] {
    state_.New();
    CloseIfDone();
  });
  connect(buttonEinfuegen, &QPushButton::clicked, this, [this] {
    state_.Insert();
    CloseIfDone();
  });
  connect(buttonLoeschen, &QPushButton::clicked, this, [this] {
    state_.Delete();
    CloseIfDone();
  });
  connect(buttonAendern, &QPushButton::clicked, this, [this] {
    state_.Change();
    CloseIfDone();
  });
  connect(buttonHelp, &QPushButton::clicked, this, [this] { state_.Help(); });

  ScaleDialogOnly(this, {0, 0, 475, 102});
  PlaceBeside(parent);
}

// At the saved place, or beside the window it was called from; never over
// the main menu or the row the user is on.
void TForm_hilfebild::PlaceBeside(QWidget* caller) {
  const QScreen* screen = caller != nullptr ? caller->screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const auto geometry = [](const QRect& r) { return DialogGeometry{r.left(), r.top(), r.width(), r.height()}; };
  std::vector<DialogGeometry> keepClear;
  DialogGeometry from;
  QSize frame(0, 0);
  if (caller != nullptr) {
    const QRect outer = caller->frameGeometry();
    from = geometry(outer);
    frame = outer.size() - caller->geometry().size();
    QWidget* row = caller->focusWidget();
    if (qobject_cast<QMainWindow*>(caller) == nullptr && row != nullptr && row != caller && row->isVisible()) {
      const QPoint top = row->mapToGlobal(QPoint(0, 0));
      keepClear.push_back({outer.left(), top.y(), outer.width(), row->height()});
    }
  }
  for (QWidget* w : QApplication::topLevelWidgets()) {
    auto* main = qobject_cast<QMainWindow*>(w);
    if (main == nullptr || !main->isVisible() || main->menuWidget() == nullptr) continue;
    const QWidget* bar = main->menuWidget();
    keepClear.push_back(geometry(QRect(bar->mapToGlobal(QPoint(0, 0)), bar->size())));
  }
  const DialogGeometry saved = ScaleDialogAtSavedPos({0, 0, 475, 102});
  const DialogGeometry outer{saved.left, saved.top, width() + frame.width(), height() + frame.height()};
  const DialogGeometry g = PlaceBesideCaller(outer, from, geometry(screen->availableGeometry()), keepClear);
  move(g.left, g.top);
}

TForm_hilfebild::~TForm_hilfebild() {
  G().SavedDialogLeft = x();
  G().SavedDialogTop = y();
}

void TForm_hilfebild::reject() {
  if (!state_.closed) state_.Ok();
  CloseIfDone();
}

void TForm_hilfebild::CloseIfDone() {
  if (state_.closed) done(state_.action);
}

void QtHelpPictureDialog::Run(std::string_view caption, const std::vector<std::string>& items, int current,
                              HelpPictureFormState& state) {
  TForm_hilfebild form(QApplication::activeWindow(), Q(caption), items, current, state);
  form.exec();
}

}  // namespace zeb
