#include "drawings/qt/drawing_dialogs.h"

#include <QCloseEvent>
#include <QEvent>
#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QVBoxLayout>

#include "base/colors.h"
#include "base/format.h"
#include "base/globals.h"
#include "base/help.h"
#include "base/qt/forms.h"
#include "base/qt/qt_convert.h"
#include "platform/codepage.h"

namespace zeb {

namespace {

QString Oem(const std::string& text) { return QString::fromStdString(ToUtf8(CodePage::Cp850, text)); }
std::string ToOem(const QString& text) { return FromUtf8(CodePage::Cp850, text.toStdString()); }

QPushButton* Button(QWidget* parent, const char* name, const QString& caption) {
  auto* b = new QPushButton(caption, parent);
  b->setObjectName(QLatin1String(name));
  b->setAutoDefault(false);
  return b;
}

}  // namespace

// ---------------------------------------------------------------- installed length

TForm_zeb1dxf::TForm_zeb1dxf(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("TForm_zeb1dxf"));
  setWindowTitle(AnsiToQString(G().ProductName));
  Button_ok = Button(this, "Button_ok", QStringLiteral("OK"));
  Button_ok->setDefault(true);
  Button_cancel = Button(this, "Button_cancel", QStringLiteral("Abbrechen"));
  Button_help = Button(this, "Button_help", QStringLiteral("&Hilfetext"));
  Edit_l = new QLineEdit(this);
  Edit_l->setObjectName(QStringLiteral("Edit_l"));
  TrackBar1 = new QSlider(Qt::Horizontal, this);
  TrackBar1->setObjectName(QStringLiteral("TrackBar1"));
  TrackBar1->setTickPosition(QSlider::TicksBelow);
  TrackBar1->setTickInterval(1);
  Button_lc = Button(this, "Button_lc", QStringLiteral("Lc"));
  Button_l2 = Button(this, "Button_l2", QStringLiteral("L2"));
  Button_l1 = Button(this, "Button_l1", QStringLiteral("L1"));
  Button_l0 = Button(this, "Button_l0", QStringLiteral("L0"));
  Button1 = Button(this, "Button1", QStringLiteral("^"));
  QFont bold = Button1->font();
  bold.setBold(true);
  bold.setPixelSize(16);
  Button1->setFont(bold);
  Label_l = new QLabel(QString::fromUtf8("Einbaulänge L"), this);
  Label_l->setObjectName(QStringLiteral("Label_l"));
  Label_l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  Label_lu = new QLabel(Oem(LengthUnitName()), this);
  Label_lu->setObjectName(QStringLiteral("Label_lu"));

  auto* grid = new QGridLayout;
  grid->addWidget(Label_l, 0, 0);
  grid->addWidget(Edit_l, 0, 1);
  grid->addWidget(Label_lu, 0, 2);
  grid->addWidget(TrackBar1, 1, 0, 1, 3);
  auto* lengths = new QHBoxLayout;
  for (QPushButton* b : {Button_lc, Button_l2, Button_l1, Button_l0, Button1}) lengths->addWidget(b);
  auto* buttons = new QHBoxLayout;
  for (QPushButton* b : {Button_ok, Button_cancel, Button_help}) buttons->addWidget(b);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addLayout(lengths);
  layout->addStretch();
  layout->addLayout(buttons);
  setTabOrder(Button_ok, Button_cancel);
  setTabOrder(Button_cancel, Button_help);
  setTabOrder(Button_help, Edit_l);
  setTabOrder(Edit_l, TrackBar1);
  PlaceDialog(this, {0, 0, 326, 245});

  TrackBar1->setRange(logic_.TrackMin(), logic_.TrackMax());
  ShowText();
  connect(Edit_l, &QLineEdit::textEdited, this, [this](const QString& t) {
    logic_.SetText(ToOem(t));
    TrackBar1->setValue(logic_.TrackPosition());
  });
  connect(TrackBar1, &QSlider::valueChanged, this, [this](int v) { logic_.SetTrackPosition(v); });
  // The field takes the bar's position on "^" or when the bar loses the focus.
  TrackBar1->installEventFilter(this);
  connect(Button1, &QPushButton::clicked, this, &TForm_zeb1dxf::TakeTrackPosition);
  const std::pair<QPushButton*, char> lengthButtons[] = {
      {Button_lc, 'c'}, {Button_l2, '2'}, {Button_l1, '1'}, {Button_l0, '0'}};
  for (const auto& [b, which] : lengthButtons) {
    const char w = which;
    connect(b, &QPushButton::clicked, this, [this, w] {
      logic_.PressLengthButton(w);
      ShowText();
    });
  }
  connect(Button_ok, &QPushButton::clicked, this, [this] {
    logic_.SetText(ToOem(Edit_l->text()));
    if (logic_.Accept()) {
      accepted_ = true;
      accept();
    }
  });
  connect(Button_cancel, &QPushButton::clicked, this, &TForm_zeb1dxf::reject);
  connect(Button_help, &QPushButton::clicked, this, [] { ShowHelpText(6610, "", 0); });
}

void TForm_zeb1dxf::ShowText() {
  Edit_l->setText(Oem(logic_.Text()));
  TrackBar1->setValue(logic_.TrackPosition());
}

void TForm_zeb1dxf::TakeTrackPosition() {
  logic_.SetTrackPosition(TrackBar1->value());
  logic_.TakeTrackPosition();
  ShowText();
}

bool TForm_zeb1dxf::eventFilter(QObject* watched, QEvent* event) {
  if (watched == TrackBar1 && event->type() == QEvent::FocusOut) TakeTrackPosition();
  return QDialog::eventFilter(watched, event);
}

void TForm_zeb1dxf::reject() {
  // Cancel and Escape; closing the window leaves the abort flag alone.
  if (!closing_) InstalledLengthLogic::Cancel();
  QDialog::reject();
}

void TForm_zeb1dxf::closeEvent(QCloseEvent* event) {
  closing_ = true;
  QDialog::closeEvent(event);
  closing_ = false;
  if (event->isAccepted()) closed_ = true;
}

void TForm_zeb1dxf::RunModal() {
  exec();
  if (!accepted_ && !closed_) InstalledLengthLogic::Cancel();
}

// ---------------------------------------------------------------- rotation

TForm_cadutil8::TForm_cadutil8(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("TForm_cadutil8"));
  setWindowTitle(AnsiToQString(G().ProductName));
  auto* grid = new QGridLayout;
  QScrollBar** bars[] = {&ScrollBar_x, &ScrollBar_y, &ScrollBar_z};
  QLineEdit** edits[] = {&Edit_x, &Edit_y, &Edit_z};
  const char* axes[] = {"x", "y", "z"};
  for (int k = 0; k < 3; ++k) {
    auto* label = new QLabel(QLatin1String(axes[k]), this);
    label->setObjectName(QStringLiteral("Label%1").arg(k + 1));
    auto* bar = new QScrollBar(Qt::Horizontal, this);
    bar->setObjectName(QStringLiteral("ScrollBar_%1").arg(QLatin1String(axes[k])));
    bar->setRange(-360, 360);
    bar->setPageStep(90);
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QStringLiteral("Edit_%1").arg(QLatin1String(axes[k])));
    *bars[k] = bar;
    *edits[k] = edit;
    edit->setMaximumWidth(90);
    bar->setMinimumWidth(150);
    grid->addWidget(label, k, 0);
    grid->addWidget(bar, k, 1);
    grid->addWidget(edit, k, 2);
    connect(bar, &QScrollBar::valueChanged, this, [this, k](int v) {
      if (syncing_) return;
      logic_.SetBar(k, v);
      ShowLogic();
    });
    connect(edit, &QLineEdit::textEdited, this, [this, k](const QString& t) { logic_.SetEdit(k, ToOem(t)); });
    connect(edit, &QLineEdit::editingFinished, this, [this, k] {
      logic_.SetEdit(k, ToOem((k == 0 ? Edit_x : k == 1 ? Edit_y : Edit_z)->text()));
      logic_.LeaveEdit(k);
      ShowLogic();
    });
  }
  grid->setColumnStretch(1, 1);
  Button_ok = Button(this, "Button_ok", QStringLiteral("OK"));
  Button_ok->setDefault(true);
  Button_cancel = Button(this, "Button_cancel", QStringLiteral("Abbrechen"));
  Button_help = Button(this, "Button_help", QStringLiteral("&Hilfetext"));
  Button_xy = Button(this, "Button_xy", QStringLiteral("xy"));
  Button_xz = Button(this, "Button_xz", QStringLiteral("xz"));
  Button_yz = Button(this, "Button_yz", QStringLiteral("yz"));
  Button1 = Button(this, "Button1", QStringLiteral("<"));
  auto* presets = new QHBoxLayout;
  for (QPushButton* b : {Button_xy, Button_xz, Button_yz, Button1}) presets->addWidget(b);
  auto* buttons = new QHBoxLayout;
  for (QPushButton* b : {Button_ok, Button_cancel, Button_help}) buttons->addWidget(b);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addLayout(presets);
  layout->addStretch();
  layout->addLayout(buttons);
  PlaceDialog(this, {0, 0, 292, 255});
  ShowLogic();
  connect(Button_xy, &QPushButton::clicked, this, [this] {
    logic_.PressXY();
    ShowLogic();
  });
  connect(Button_xz, &QPushButton::clicked, this, [this] {
    logic_.PressXZ();
    ShowLogic();
  });
  connect(Button_yz, &QPushButton::clicked, this, [this] {
    logic_.PressYZ();
    ShowLogic();
  });
  connect(Button1, &QPushButton::clicked, this, [this] {
    logic_.PressReset();
    ShowLogic();
  });
  connect(Button_ok, &QPushButton::clicked, this, [this] {
    logic_.Ok();
    accepted_ = true;
    accept();
  });
  connect(Button_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TForm_cadutil8::ShowLogic() {
  syncing_ = true;
  QScrollBar* bars[] = {ScrollBar_x, ScrollBar_y, ScrollBar_z};
  QLineEdit* edits[] = {Edit_x, Edit_y, Edit_z};
  for (int k = 0; k < 3; ++k) {
    bars[k]->setValue(logic_.Bar(k));
    if (!edits[k]->hasFocus() || edits[k]->text() != Oem(logic_.Edit(k))) edits[k]->setText(Oem(logic_.Edit(k)));
  }
  syncing_ = false;
}

void TForm_cadutil8::RunModal() {
  exec();
  if (!accepted_) RotationLogic::Cancel();
}

void QtInstalledLengthDialog::Run() {
  TForm_zeb1dxf form;
  form.RunModal();
}

void QtRotationDialog::Run() {
  TForm_cadutil8 form;
  form.RunModal();
}

void InstallQtDrawingDialogs() {
  SetInstalledLengthDialog(std::make_shared<QtInstalledLengthDialog>());
  SetRotationDialog(std::make_shared<QtRotationDialog>());
}

}  // namespace zeb
