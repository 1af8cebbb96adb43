#include "tables/qt/form_zebmat.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>

#include "base/dialogs.h"
#include "base/format.h"
#include "base/globals.h"
#include "base/help.h"
#include "base/qt/deferred_work.h"
#include "base/qt/forms.h"
#include "base/qt/qt_convert.h"
#include "platform/codepage.h"
#include "spring/spring_data.h"
#include "tables/table_services.h"

namespace zeb {

namespace {

QString Oem(std::string_view text850) { return AnsiToQString(Cp850To1252(text850)); }
std::string ToOem(const QString& text) { return Cp1252To850(QStringToAnsi(text)); }

QLineEdit* Edit(QWidget* parent, const char* name) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(name);
  return e;
}

QLabel* Label(QWidget* parent, const char* name, const QString& text) {
  auto* l = new QLabel(text, parent);
  l->setObjectName(name);
  return l;
}

QPushButton* Button(QWidget* parent, const char* name, const QString& text) {
  auto* b = new QPushButton(text, parent);
  b->setObjectName(name);
  return b;
}

}  // namespace

TForm_zebmat::TForm_zebmat(QWidget* parent) : QDialog(parent) {
  setObjectName("Form_zebmat");
  setWindowTitle(Oem(G().ProductName) + " Werkstoff");
  auto* layout = new QVBoxLayout(this);

  auto* sourceBox = new QGroupBox(QStringLiteral(" Auswahl "), this);
  sourceBox->setObjectName("RadioGroup_db");
  auto* sourceLayout = new QHBoxLayout(sourceBox);
  source_ = new QButtonGroup(this);
  const char* sources[] = {"Datenbank (Vorzug)", "Datenbank (vollständig)", "andere ......"};
  for (int i = 0; i < 3; ++i) {
    auto* r = new QRadioButton(QString::fromUtf8(sources[i]), sourceBox);
    r->setObjectName(QStringLiteral("RadioGroup_db_%1").arg(i));
    source_->addButton(r, i);
    sourceLayout->addWidget(r);
  }
  layout->addWidget(sourceBox);

  combo_ = new QComboBox(this);
  combo_->setObjectName("ComboBox_db");
  combo_->setMaxVisibleItems(29);
  combo_->setMinimumContentsLength(50);
  zebwst_ = Button(this, "Button_zebwst", QStringLiteral("Datenbank"));
  auto* comboRow = new QHBoxLayout;
  comboRow->addWidget(combo_, 1);
  comboRow->addWidget(zebwst_);
  layout->addLayout(comboRow);

  own_ = new QGroupBox(QStringLiteral("Werkstoff"), this);
  own_->setObjectName("GroupBox_wst");
  auto* grid = new QGridLayout(own_);
  const QString stress = Oem(StressUnitName());
  struct Row {
    const char* label;
    const char* labelName;
    const char* edit;
    const char* unitName;
    QString unit;
  };
  const Row rows[] = {{"Werkstoff", "Label_name", "Edit_name", nullptr, {}},
                      {"Elastizitätsmodul", "Label_emodul", "Edit_emodul", "Label_emodulu", stress},
                      {"Schubmodul", "Label_gmodul", "Edit_gmodul", "Label_gmodulu", stress},
                      {"Dichte", "Label_dichte", "Edit_dichte", "Label_dichteu", QStringLiteral("kg/dm³")},
                      {"Zugfestigkeit", "Label_rm", "Edit_rm", "Label_rmu", stress},
                      {"zul. Schubspannung", "Label_tauz", "Edit_tauz", "Label_tauzu", stress}};
  QLineEdit** edits[] = {&name_, &emodul_, &gmodul_, &dichte_, &rm_, &tauz_};
  for (int i = 0; i < 6; ++i) {
    grid->addWidget(Label(own_, rows[i].labelName, QString::fromUtf8(rows[i].label)), i, 0);
    *edits[i] = Edit(own_, rows[i].edit);
    grid->addWidget(*edits[i], i, 1);
    if (rows[i].unitName) grid->addWidget(Label(own_, rows[i].unitName, rows[i].unit), i, 2);
  }
  layout->addWidget(own_);

  auto* wire = new QGroupBox(QStringLiteral(" Toleranz Durchmesser d "), this);
  wire->setObjectName("Label_toldd1");
  auto* wireGrid = new QGridLayout(wire);
  dd_ = Edit(wire, "Edit_dd");
  wireGrid->addWidget(Label(wire, "Label2", QStringLiteral("( d=")), 0, 0);
  wireGrid->addWidget(dd_, 0, 1);
  wireGrid->addWidget(Label(wire, "Label_du", Oem(LengthUnitName()) + ")"), 0, 2);
  tolList_ = new QComboBox(wire);
  tolList_->setObjectName("ComboBox_toldd");
  tolList_->setMaxVisibleItems(16);
  for (const std::string& item : MaterialForm::ToleranceItems()) tolList_->addItem(Oem(item));
  ShowItemsWhole(tolList_);
  wireGrid->addWidget(Label(wire, "Label_toldd", QStringLiteral("Toleranz des Drahtdurchmessers")), 1, 0, 1, 3);
  wireGrid->addWidget(tolList_, 2, 0, 1, 3);
  toldd_ = Edit(wire, "Edit_toldd");
  wireGrid->addWidget(Label(wire, "Label1", QStringLiteral("±")), 3, 0);
  wireGrid->addWidget(toldd_, 3, 1);
  wireGrid->addWidget(Label(wire, "Label_toldu", Oem(LengthUnitName())), 3, 2);
  auto* db2076 = Button(wire, "Button_db2076", QStringLiteral("DIN 2076/77"));
  auto* en10270 = Button(wire, "Button_en10270", QStringLiteral("EN 10270-1"));
  wireGrid->addWidget(db2076, 4, 0);
  wireGrid->addWidget(en10270, 4, 1);
  layout->addWidget(wire);

  auto* lower = new QHBoxLayout;
  auto* surfaceBox = new QGroupBox(QString::fromUtf8(" Oberfläche "), this);
  surfaceBox->setObjectName("RadioGroup_oberflach");
  auto* surfaceLayout = new QVBoxLayout(surfaceBox);
  surface_ = new QButtonGroup(this);
  for (int i = 0; i < 4; ++i) {
    auto* r = new QRadioButton(Oem(SurfaceNames(i + 1)), surfaceBox);
    r->setObjectName(QStringLiteral("RadioGroup_oberflach_%1").arg(i));
    surface_->addButton(r, i);
    surfaceLayout->addWidget(r);
  }
  lower->addWidget(surfaceBox);
  auto* fatigue = new QGroupBox(QStringLiteral("Toleranz Dauerfestigkeit"), this);
  fatigue->setObjectName("GroupBox_toldauerfest");
  auto* fatigueLayout = new QGridLayout(fatigue);
  tolMin_ = Edit(fatigue, "Edit_toludauerfest");
  tolMax_ = Edit(fatigue, "Edit_tolodauerfest");
  auto* fatigueButton = Button(fatigue, "Button_toldauerfest", QStringLiteral("<"));
  fatigueLayout->addWidget(new QLabel(QStringLiteral("min %"), fatigue), 0, 0);
  fatigueLayout->addWidget(tolMin_, 0, 1);
  fatigueLayout->addWidget(new QLabel(QStringLiteral("max %"), fatigue), 1, 0);
  fatigueLayout->addWidget(tolMax_, 1, 1);
  fatigueLayout->addWidget(fatigueButton, 0, 2, 2, 1);
  lower->addWidget(fatigue);
  layout->addLayout(lower);

  auto* buttons = new QHBoxLayout;
  auto* ok = Button(this, "Button_ok", QStringLiteral("OK"));
  ok->setDefault(true);
  auto* cancel = Button(this, "Button_cancel", QStringLiteral("Abbrechen"));
  auto* help = Button(this, "Button_help", QStringLiteral("&Hilfe"));
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  buttons->addWidget(help);
  layout->addLayout(buttons);

  if (G().HelpLevel != 0) {
    const std::pair<QWidget*, int> hints[] = {
        {surfaceBox, 5310}, {tolList_, 5150}, {findChild<QLabel*>("Label_name"), 5050},
        {findChild<QLabel*>("Label_emodul"), 5060}, {findChild<QLabel*>("Label_gmodul"), 5070},
        {findChild<QLabel*>("Label_dichte"), 5080}, {findChild<QLabel*>("Label_rm"), 5090},
        {findChild<QLabel*>("Label_tauz"), 5100}, {fatigue, 5120}};
    for (const auto& [widget, n] : hints)
      if (widget != nullptr) widget->setToolTip(AnsiToQString(HelpHintText(n)));
  }

  // Every activation refills the material list from the table, but never
  // inside one of the form's commands: their table opens and boxes process
  // events, and the refill would reopen the table they are using.
  refill_ = new DeferredWork(this, [this] {
    if (!isVisible()) return;
    Collect();  // typed texts stay
    form_.Activate();
    Refresh();
  });
  DeferredWork& w = *refill_;
  connect(source_, &QButtonGroup::idClicked, this, w.Command([this](int id) {
    Collect();
    form_.SetSource(id);
    Refresh();
  }));
  connect(combo_, &QComboBox::activated, this, w.Command([this](int index) {
    Collect();
    form_.ChooseItem(index);
    Refresh();
  }));
  connect(dd_, &QLineEdit::textEdited, this, w.Command([this](const QString& text) {
    Collect();
    form_.SetDiameterText(ToOem(text));
    Refresh();
  }));
  connect(tolList_, &QComboBox::activated, this, w.Command([this](int index) {
    Collect();
    form_.SetToleranceIndex(index);
    Refresh();
  }));
  connect(db2076, &QPushButton::clicked, this, w.Command([this] {
    Collect();
    form_.Din2076Button();
    Refresh();
  }));
  connect(en10270, &QPushButton::clicked, this, w.Command([this] {
    Collect();
    form_.En10270Button();
    Refresh();
  }));
  connect(zebwst_, &QPushButton::clicked, this, w.Command([this] {
    Collect();
    form_.DatabaseButton();
    Refresh();
  }));
  connect(fatigueButton, &QPushButton::clicked, this, w.Command([this] {
    Collect();
    form_.FatigueButton();
    Refresh();
  }));
  connect(surface_, &QButtonGroup::idClicked, this, [this](int id) { form_.surface = id; });
  connect(help, &QPushButton::clicked, this, w.Command([] {
    SetCurrentHelpNumber(5140);
    ShowHelpText(5140, "", 1);
    G().AbortFlag = 0;
  }));
  connect(ok, &QPushButton::clicked, this, w.Command([this] { Ok(); }));
  connect(cancel, &QPushButton::clicked, this, &TForm_zebmat::reject);
  // Scaled and centred over the main window; never smaller than its rows need.
  const QSize designed = sizeHint();
  PlaceDialog(this, {0, 0, designed.width(), designed.height()});
  resize(size().expandedTo(sizeHint()));
}

void TForm_zebmat::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  // Once per run: shown again (the window manager maps it anew) it keeps
  // what the user chose so far.
  if (shown_) return;
  shown_ = true;
  const DeferredWork::Scope command(*refill_);
  form_.Show();
  Refresh();
}

void TForm_zebmat::changeEvent(QEvent* e) {
  QDialog::changeEvent(e);
  // Back from the table window (or any other): the list shows the table
  // as it is now.
  if (e->type() == QEvent::ActivationChange && isActiveWindow()) refill_->Request();
}

void TForm_zebmat::Refresh() {
  refreshing_ = true;
  source_->button(form_.source)->setChecked(true);
  combo_->clear();
  for (const std::string& item : form_.items) combo_->addItem(Oem(item));
  combo_->setEditable(true);
  ShowItemsWhole(combo_);
  // Wide enough for the longest material, as far as the screen allows.
  if (screen() != nullptr) resize(size().expandedTo(sizeHint()).boundedTo(screen()->availableGeometry().size()));
  // The shown material is the list's current item, so that the arrow keys
  // move on from it.
  combo_->setCurrentIndex(form_.ShownItem());
  combo_->setEditText(Oem(form_.comboText));
  combo_->lineEdit()->setReadOnly(true);
  combo_->setEnabled(!form_.ownEnabled);
  zebwst_->setEnabled(!form_.ownEnabled);
  own_->setEnabled(form_.ownEnabled);
  name_->setText(Oem(form_.name));
  emodul_->setText(Oem(form_.emodul));
  gmodul_->setText(Oem(form_.gmodul));
  dichte_->setText(Oem(form_.dichte));
  rm_->setText(Oem(form_.rm));
  tauz_->setText(Oem(form_.tauz));
  if (!dd_->hasFocus()) dd_->setText(Oem(form_.dd));
  tolList_->setCurrentIndex(form_.tolIndex);
  toldd_->setText(Oem(form_.tolText));
  toldd_->setEnabled(form_.tolEnabled);
  if (auto* b = surface_->button(form_.surface)) b->setChecked(true);
  tolMin_->setText(Oem(form_.tolMin));
  tolMax_->setText(Oem(form_.tolMax));
  refreshing_ = false;
}

void TForm_zebmat::Collect() {
  form_.name = ToOem(name_->text());
  form_.emodul = ToOem(emodul_->text());
  form_.gmodul = ToOem(gmodul_->text());
  form_.dichte = ToOem(dichte_->text());
  form_.rm = ToOem(rm_->text());
  form_.tauz = ToOem(tauz_->text());
  form_.tolText = ToOem(toldd_->text());
  form_.surface = std::max(0, surface_->checkedId());
  form_.tolMin = ToOem(tolMin_->text());
  form_.tolMax = ToOem(tolMax_->text());
}

void TForm_zebmat::Ok() {
  Collect();
  // A refused number keeps the form open with the field's value back.
  if (!form_.Ok()) {
    Refresh();
    dd_->setText(Oem(form_.dd));
    return;
  }
  accept();
}

void TForm_zebmat::reject() {
  const DeferredWork::Scope command(*refill_);
  form_.Cancel();
  QDialog::reject();
}

void InstallQtMaterialForm() {
  SetMaterialFormRunner([] {
    TForm_zebmat form;
    if (form.exec() != QDialog::Accepted) G().AbortFlag = 1;
  });
}

}  // namespace zeb
