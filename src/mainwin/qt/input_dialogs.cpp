#include "mainwin/qt/input_dialogs.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <functional>

#include "base/choosers.h"
#include "base/files.h"
#include "base/format.h"
#include "base/globals.h"
#include "base/help.h"
#include "base/qt/forms.h"
#include "base/qt/qt_convert.h"
#include "base/services.h"
#include "base/text.h"
#include "drawings/production.h"
#include "graphics/cadsettings.h"
#include "mainwin/qt/config_dialog.h"
#include "platform/oem_literal.h"
#include "settings/config.h"
#include "spring/spring_data.h"

namespace zeb {

namespace {

// --- Building blocks -------------------------------------------------------

QString Oem(std::string_view s) { return AnsiToQString(OemToAnsiStr(s)); }
QString Ansi(std::string_view s) { return AnsiToQString(s); }
QString Utf8(const char* s) { return QString::fromUtf8(s); }
std::string TextOf(const QLineEdit* e) { return QStringToAnsi(e->text()); }

void SetText(QLineEdit* e, const std::string& text1252) {
  const QSignalBlocker block(e);
  e->setText(Ansi(text1252));
}


class Form : public QDialog {
 public:
  Form(QWidget* owner, const char* name, const QString& caption) : QDialog(owner) {
    setObjectName(QString::fromLatin1(name));
    setWindowTitle(caption);
    root_ = new QVBoxLayout(this);
  }

  QVBoxLayout* root() { return root_; }

  QLabel* Label(const char* name, const QString& text, QWidget* parent = nullptr) {
    auto* l = new QLabel(text, parent != nullptr ? parent : this);
    if (name != nullptr) l->setObjectName(QString::fromLatin1(name));
    return l;
  }

  // A row of a grid: label, edit, unit label; returns the edit.
  QLineEdit* EditRow(QGridLayout* g, int row, const char* name, const QString& label, const QString& unit,
                     const std::string& text1252, int maxLength = 0) {
    QWidget* parent = g->parentWidget();
    auto* l = Label(("Label_" + std::string(name).substr(std::string(name).find('_') + 1)).c_str(), label, parent);
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    if (maxLength > 0) e->setMaxLength(maxLength);
    SetText(e, text1252);
    g->addWidget(l, row, 0);
    g->addWidget(e, row, 1);
    if (!unit.isNull()) {
      auto* u = Label(("Unit_" + std::string(name)).c_str(), unit, parent);
      g->addWidget(u, row, 2);
      units_[e] = u;
    }
    labels_[e] = l;
    return e;
  }

  // Hides or shows an edit with its label and unit.
  void ShowRow(QLineEdit* e, bool on) {
    e->setVisible(on);
    if (labels_.count(e) != 0) labels_[e]->setVisible(on);
    if (units_.count(e) != 0) units_[e]->setVisible(on);
  }
  QLabel* LabelOf(QLineEdit* e) { return labels_[e]; }
  QLabel* UnitOf(QLineEdit* e) { return units_[e]; }

  // A radio group: buttons <name>_<index>; onClick gets the index.
  QGroupBox* RadioGroup(const char* name, const QString& caption, const std::vector<std::string>& items850,
                        int checked, std::function<void(int)> onClick, int columns = 1) {
    auto* box = new QGroupBox(caption, this);
    box->setObjectName(QString::fromLatin1(name));
    auto* grid = new QGridLayout(box);
    auto* group = new QButtonGroup(box);
    const int n = static_cast<int>(items850.size());
    const int rows = (n + columns - 1) / columns;
    for (int i = 0; i < n; ++i) {
      auto* b = new QRadioButton(Oem(items850[static_cast<std::size_t>(i)]), box);
      b->setObjectName(QString("%1_%2").arg(QString::fromLatin1(name)).arg(i));
      group->addButton(b, i);
      grid->addWidget(b, i % rows, i / rows);
      if (i == checked) b->setChecked(true);
    }
    if (onClick) connect(group, &QButtonGroup::idClicked, box, std::move(onClick));
    return box;
  }

  QPushButton* Button(const char* name, const QString& text, std::function<void()> onClick) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(QString::fromLatin1(name));
    if (onClick) connect(b, &QPushButton::clicked, this, std::move(onClick));
    return b;
  }

  // The bottom row: OK, Abbrechen and the further buttons given.
  QHBoxLayout* ButtonRow(std::vector<QPushButton*> more = {}) {
    auto* row = new QHBoxLayout;
    auto* ok = Button("Button_ok", "OK", [this] { OnOk(); });
    ok->setDefault(true);
    auto* cancel = Button("Button_cancel", "Abbrechen", [this] { reject(); });
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    for (QPushButton* b : more) row->addWidget(b);
    row->addStretch();
    root_->addLayout(row);
    return row;
  }

  // Size to the contents, then placed as the dialog settings say.
  void Place() {
    adjustSize();
    PlaceDialog(this, {0, 0, width(), height()});
  }

  virtual void OnOk() { accept(); }

  // A field refused by the form's check: its text back, the cursor in it.
  void Refused(const FieldRefusal& r) {
    if (auto* e = findChild<QLineEdit*>(QString::fromStdString(r.control)); e != nullptr) {
      SetText(e, r.text);
      e->setFocus();
      e->selectAll();
    }
  }

 private:
  QVBoxLayout* root_;
  std::map<QLineEdit*, QLabel*> labels_, units_;
};

QString LengthUnit() { return Oem(LengthUnitName()); }
QString ForceUnit() { return Oem(ForceUnitName()); }
QString TemperatureUnit() { return Oem(TemperatureUnitName()); }

// --- Dimensions ------------------------------------------------------------

class TForm_Zebgeometrie : public Form {
 public:
  TForm_Zebgeometrie(QWidget* owner, DimensionsForm& f)
      : Form(owner, "TForm_Zebgeometrie", Utf8("Abmessungen - ") + Oem(G().ProgramTitle)), f_(f) {
    auto* top = new QHBoxLayout;
    mode_ = RadioGroup("RadioGroup_mode", "Abmessungen", {"Vorauslegung", "Auslegung", "Nachrechnung"}, f.mode,
                       [this](int i) {
                         f_.mode = i;
                         Relayout();
                       });
    top->addWidget(mode_);
    f12_ = RadioGroup("RadioGroup_f12", "Input",
                      {"F1, F2", "F1, (F2min) = R min", "F2, (F1max) = R min", "F1, (F2max) = R max",
                       "F2, (F1min) = R max"},
                      f.forceInput, [this](int i) {
                        f_.forceInput = i;
                        Relayout();
                      });
    top->addWidget(f12_);
    dm_ = RadioGroup("RadioGroup_dm", " Input ", {"De (Da)", "Di", "Dm"}, f.diameterGiven, [this](int i) {
      Collect();
      ChooseDimensionsDiameter(f_, i);
      Load();
      Relayout();
    });
    top->addWidget(dm_);
    root()->addLayout(top);

    pre_ = Group("GroupBox_vorauslegung", "Vorauslegung");
    auto* g = static_cast<QGridLayout*>(pre_->layout());
    f13_ = EditRow(g, 0, "Edit_f13", "Federkraft F1", ForceUnit(), f.f13);
    f23_ = EditRow(g, 1, "Edit_f23", "Federkraft F2", ForceUnit(), f.f23);
    sh3_ = EditRow(g, 2, "Edit_sh3", "Hub sh", LengthUnit(), f.sh3);

    design_ = Group("GroupBox_auslegung", "Auslegung");
    g = static_cast<QGridLayout*>(design_->layout());
    f1_ = EditRow(g, 0, "Edit_f1", "Federkraft F1", ForceUnit(), f.f1);
    f1m_ = Label("Label_f1m", "", design_);
    g->addWidget(f1m_, 0, 3);
    f2_ = EditRow(g, 1, "Edit_f2", "Federkraft F2", ForceUnit(), f.f2);
    f2m_ = Label("Label_f2m", "", design_);
    g->addWidget(f2m_, 1, 3);
    sh_ = EditRow(g, 2, "Edit_sh", "Hub sh", LengthUnit(), f.sh);
    l2_ = EditRow(g, 3, "Edit_l2", Utf8("Einbaulänge L2"), LengthUnit(), f.l2);
    de_ = EditRow(g, 4, "Edit_de", "", LengthUnit(), f.de);

    recalc_ = Group("GroupBox_nachrechnung", "Nachrechnung");
    g = static_cast<QGridLayout*>(recalc_->layout());
    d_ = EditRow(g, 0, "Edit_d", "Drahtdurchmesser d", LengthUnit(), f.d);
    g->addWidget(Button("Button_dbd", "DB", [this] {
                   const std::string d = ChooseWireDiameter();
                   if (!d.empty()) d_->setText(Ansi(d));
                 }),
                 0, 3);
    de2_ = EditRow(g, 1, "Edit_de2", "", LengthUnit(), f.de2);
    l0_ = EditRow(g, 2, "Edit_l0", Utf8("Federlänge L0"), LengthUnit(), f.l0);
    n_ = EditRow(g, 3, "Edit_n", "Anzahl der federnden Windungen n", QString(), f.n);
    l1_ = EditRow(g, 4, "Edit_l1", Utf8("Einbaulänge L1"), LengthUnit(), f.l1);
    l22_ = EditRow(g, 5, "Edit_l22", Utf8("Einbaulänge L2"), LengthUnit(), f.l22);
    for (QLineEdit* red : {l2_, l22_}) red->setStyleSheet("background-color: #ff8080;");

    ButtonRow({Button("Button_help", "&Hilfe", [] { ShowHelpTextBox(9100); }),
               Button("Button_hilfebild", "Hilfe&bild",
                      [this] {
                        ShowHelpPicture(9100);
                        raise();
                      }),
               Button("Button_metric", "mm <--> inch", [this] {
                 Collect();
                 if (FieldRefusal r; !CheckDimensionsForm(f_, &r)) return Refused(r);
                 ToggleDimensionsUnits(f_);
                 Load();
               })});
    Relayout();
    Place();
  }

  void OnOk() override {
    Collect();
    if (FieldRefusal r; !CheckDimensionsForm(f_, &r)) return Refused(r);
    accept();
  }

 private:
  QGroupBox* Group(const char* name, const char* caption) {
    auto* box = new QGroupBox(Utf8(caption), this);
    box->setObjectName(QString::fromLatin1(name));
    new QGridLayout(box);
    root()->addWidget(box);
    return box;
  }

  void Collect() {
    f_.f13 = TextOf(f13_), f_.f23 = TextOf(f23_), f_.sh3 = TextOf(sh3_);
    f_.f1 = TextOf(f1_), f_.f2 = TextOf(f2_), f_.sh = TextOf(sh_), f_.l2 = TextOf(l2_), f_.de = TextOf(de_);
    f_.d = TextOf(d_), f_.de2 = TextOf(de2_), f_.l0 = TextOf(l0_), f_.n = TextOf(n_), f_.l1 = TextOf(l1_);
    f_.l22 = TextOf(l22_);
  }

  void Load() {
    const std::pair<QLineEdit*, const std::string*> all[] = {
        {f13_, &f_.f13}, {f23_, &f_.f23}, {sh3_, &f_.sh3}, {f1_, &f_.f1}, {f2_, &f_.f2},  {sh_, &f_.sh},
        {l2_, &f_.l2},   {de_, &f_.de},   {d_, &f_.d},     {de2_, &f_.de2}, {l0_, &f_.l0}, {n_, &f_.n},
        {l1_, &f_.l1},   {l22_, &f_.l22}};
    for (const auto& [e, text] : all) {
      SetText(e, *text);
      if (QLabel* u = UnitOf(e); u != nullptr)
        u->setText(e == f1_ || e == f2_ || e == f13_ || e == f23_ ? ForceUnit() : LengthUnit());
    }
  }

  void Relayout() {
    const DimensionsLayout l = LayoutDimensionsForm(f_);
    pre_->setVisible(l.preGroup);
    design_->setVisible(l.designGroup);
    recalc_->setVisible(l.recalcGroup);
    f12_->setVisible(l.forceInputGroup);
    const bool point1Off = SpringData().Point1Off == 1;
    ShowRow(f13_, !point1Off);
    ShowRow(f1_, l.f1);
    ShowRow(f2_, l.f2);
    ShowRow(l1_, l.l1);
    f1m_->setText(Ansi(l.f1Mark));
    f2m_->setText(Ansi(l.f2Mark));
    LabelOf(sh_)->setText(Oem(l.strokeLabel));
    LabelOf(sh3_)->setText(Oem(l.strokeLabel));
    LabelOf(de_)->setText(Oem(l.diameterLabel));
    LabelOf(de2_)->setText(Oem(l.diameterLabel));
    adjustSize();
  }

  DimensionsForm& f_;
  QGroupBox *mode_, *f12_, *dm_, *pre_, *design_, *recalc_;
  QLineEdit *f13_, *f23_, *sh3_, *f1_, *f2_, *sh_, *l2_, *de_, *d_, *de2_, *l0_, *n_, *l1_, *l22_;
  QLabel *f1m_, *f2m_;
};

// --- Tolerances --------------------------------------------------------------

class TForm_toleranz : public Form {
 public:
  TForm_toleranz(QWidget* owner, ToleranceForm& f)
      : Form(owner, "TForm_toleranz", Utf8("Toleranz ") + Oem(G().ProductName)), f_(f) {
    auto* head = new QGridLayout;
    head->addWidget(Label(nullptr, "EN 15800 -"), 0, 1, 1, 3, Qt::AlignCenter);
    head->addWidget(Label(nullptr, "DIN"), 0, 4, Qt::AlignCenter);
    head->addWidget(Label(nullptr, "andere ..."), 0, 5, Qt::AlignCenter);
    head->addWidget(Label(nullptr, "Toleranz max."), 0, 6, Qt::AlignCenter);
    head->addWidget(Label(nullptr, "Toleranz min."), 0, 8, Qt::AlignCenter);
    for (int c = 0; c < 4; ++c)
      head->addWidget(Label(nullptr, c < 3 ? QString::number(c + 1) : "2096"), 1, c + 1, Qt::AlignCenter);
    struct RowDef {
      const char *box, *prefix, *suffix, *editMax, *editMin;
    };
    static const RowDef kRows[kToleranceRows] = {{"GroupBox1", "rb1", "", "Edit11", "Edit12"},
                                                 {"GroupBox2", "rb2", "", "Edit21", "Edit22"},
                                                 {"GroupBox3", "rb3", "", "Edit31", "Edit32"},
                                                 {"GroupBox6", "rb3", "a", "Edit33", "Edit34"},
                                                 {"GroupBox4", "rb4", "", "Edit41", nullptr},
                                                 {"GroupBox9", "rb4", "a", "Edit42", nullptr}};
    for (int r = 0; r < kToleranceRows; ++r) {
      const RowDef& d = kRows[r];
      const auto row = static_cast<ToleranceRow>(r);
      auto* caption = Label(d.box, Utf8(kToleranceRowLabels[static_cast<std::size_t>(r)]));
      captions_[r] = caption;
      head->addWidget(caption, r + 2, 0);
      auto* group = new QButtonGroup(this);
      for (int g = 1; g <= 5; ++g) {
        auto* b = new QRadioButton(this);
        b->setObjectName(QString("%1%2%3").arg(d.prefix).arg(g).arg(d.suffix));
        group->addButton(b, g);
        head->addWidget(b, r + 2, g, Qt::AlignCenter);
        if (g == ToleranceGrade(row)) b->setChecked(true);
      }
      connect(group, &QButtonGroup::idClicked, this, [this, row](int g) {
        ChooseToleranceGrade(f_, row, g);
        LoadRow(row);
      });
      const bool force = row == kTolF1 || row == kTolF2;
      max_[r] = new QLineEdit(this);
      max_[r]->setObjectName(d.editMax);
      head->addWidget(max_[r], r + 2, 6);
      connect(max_[r], &QLineEdit::textEdited, this,
              [this, row](const QString& t) { EditToleranceMax(f_, row, QStringToAnsi(t)); });
      head->addWidget(Label(nullptr, force ? ForceUnit() : LengthUnit()), r + 2, 7);
      if (d.editMin != nullptr) {
        min_[r] = new QLineEdit(this);
        min_[r]->setObjectName(d.editMin);
        head->addWidget(min_[r], r + 2, 8);
        connect(min_[r], &QLineEdit::textEdited, this,
                [this, row](const QString& t) { EditToleranceMin(f_, row, QStringToAnsi(t)); });
        head->addWidget(Label(nullptr, force ? ForceUnit() : LengthUnit()), r + 2, 9);
      }
      LoadRow(row);
    }
    root()->addLayout(head);
    auto* dm = RadioGroup("RadioGroup_dm", Utf8("Toleranz für welchen Windungsdurchmesser ?"),
                          {"De (Da)", "Di", "Dm"}, f.diameterGiven,
                          [this](int i) {
                            ChooseToleranceDiameter(f_, i);
                            labelDm_->setText(i == 0 ? "De" : i == 1 ? "Di" : "Dm");
                          },
                          3);
    root()->addWidget(dm);
    labelDm_ = Label("Label_dm", f.diameterGiven == 0 ? "De" : f.diameterGiven == 1 ? "Di" : "Dm");
    root()->addWidget(labelDm_);
    auto* allowance = new QHBoxLayout;
    allowance->addWidget(Label("Label_fertausgl", "Fertigungsausgleich durch"));
    combo_ = new QComboBox(this);
    combo_->setObjectName("ComboBox_fertausgl");
    for (const std::string& item : AllowanceItems()) combo_->addItem(Oem(item));
    combo_->setCurrentIndex(f.allowance);
    SetHelpHint(combo_, 5360);
    connect(combo_, &QComboBox::currentIndexChanged, this, [this](int i) { Mark(i); });
    allowance->addWidget(combo_, 1);
    root()->addLayout(allowance);
    Mark(f.allowance);
    ButtonRow({Button("Button_help", "&Hilfe", [] { ShowHelpTextBox(9050); })});
    Place();
  }

  void OnOk() override {
    if (FieldRefusal r; !CheckToleranceForm(f_, &r)) return Refused(r);
    f_.allowance = combo_->currentIndex();
    accept();
  }

 private:
  void LoadRow(ToleranceRow r) {
    SetText(max_[r], f_.max[r]);
    max_[r]->setEnabled(f_.editable[r]);
    if (min_[r] != nullptr) {
      SetText(min_[r], f_.min[r]);
      min_[r]->setEnabled(f_.editable[r]);
    }
  }
  void Mark(int item) {
    const auto marks = AllowanceMarks(item);
    captions_[kTolL0]->setStyleSheet(marks[0] ? "color: red;" : "");
    captions_[kTolDiameter]->setStyleSheet(marks[1] ? "color: red;" : "");
  }

  ToleranceForm& f_;
  std::array<QLabel*, kToleranceRows> captions_{};
  std::array<QLineEdit*, kToleranceRows> max_{}, min_{};
  QLabel* labelDm_ = nullptr;
  QComboBox* combo_ = nullptr;
};

// --- Application -------------------------------------------------------------

class TEingabeEinsatzfall : public Form {
 public:
  TEingabeEinsatzfall(QWidget* owner, ApplicationForm& f)
      : Form(owner, "TEingabeEinsatzfall", Utf8("Anwendung ") + Oem(G().ProductName)), f_(f) {
    load_ = RadioGroup("RadioGroup1", "Art der Beanspruchung", {"statisch oder quasistatisch", "dynamisch"},
                       f.loadType, [this](int i) { f_.loadType = i; });
    root()->addWidget(load_);
    auto* box = new QWidget(this);
    auto* g = new QGridLayout(box);
    g->setContentsMargins(0, 0, 0, 0);
    freq_ = EditRow(g, 0, "Edit_freq", "Lastspielfrequenz 1/s", "1/s", f.frequency);
    temp_ = EditRow(g, 1, "Edit_temperatur", "Betriebstemperatur T", TemperatureUnit(), f.temperature);
    g->addWidget(Button("Button_temperatur", "<", [this] { temp_->setText(Ansi(DefaultTemperatureText())); }), 1, 3);
    nue_ = EditRow(g, 2, "Edit_nue", "Lagerungsbeiwert nue", QString(), f.nue);
    auto* nueButtons = new QHBoxLayout;
    const char* names[] = {"Button1", "Button2", "Button3", "Button4"};
    for (int i = 0; i < 4; ++i) {
      const QString value = QString::fromLatin1(kSeatingCoefficients[static_cast<std::size_t>(i)]);
      nueButtons->addWidget(Button(names[i], value, [this, value] { nue_->setText(value); }));
    }
    g->addLayout(nueButtons, 3, 1);
    fq_ = EditRow(g, 4, "Edit_fq", "Querkraft FQ", ForceUnit(), f.transverseForce);
    g->addWidget(Button("Button_fq", "<", [this] { fq_->setText("0"); }), 4, 3);
    mass_ = EditRow(g, 5, "Edit_masse", "Federnde Masse (extern) m", "kg", f.mass);
    g->addWidget(Button("Button_masse", "<", [this] { mass_->setText("0"); }), 5, 3);
    root()->addWidget(box);
    if (G().HelpLevel != 0) {
      SetHelpHint(load_, 5270);
      const std::pair<QLineEdit*, int> hints[] = {{freq_, 5280}, {temp_, 5350}, {nue_, 5330}, {fq_, 5420}, {mass_, 5700}};
      for (const auto& [e, n] : hints) SetHelpHint(LabelOf(e), n);
    }
    ButtonRow({Button("Button_hilfetext", "&Hilfetext",
                      [this] {
                        ShowHelpTextBox(9020);
                        raise();
                      }),
               Button("Button_hilfebild", "Hilfe&bild",
                      [this] {
                        Collect();
                        if (FieldRefusal r; !CheckApplicationForm(f_, &r)) return Refused(r);
                        ApplyApplicationForm(f_);
                        ShowHelpPicture(9020);
                        raise();
                      }),
               Button("Button_metric", "C <--> F", [this] {
                 Collect();
                 if (FieldRefusal r; !CheckApplicationForm(f_, &r)) return Refused(r);
                 ApplyApplicationForm(f_);
                 ToggleUnitSystem();
                 f_ = FillApplicationForm();
                 Load();
               })});
    Place();
  }

  void OnOk() override {
    Collect();
    if (FieldRefusal r; !CheckApplicationForm(f_, &r)) return Refused(r);
    accept();
  }

 private:
  void Collect() {
    f_.frequency = TextOf(freq_), f_.temperature = TextOf(temp_), f_.nue = TextOf(nue_);
    f_.transverseForce = TextOf(fq_), f_.mass = TextOf(mass_);
  }
  void Load() {
    SetText(freq_, f_.frequency), SetText(temp_, f_.temperature), SetText(nue_, f_.nue);
    SetText(fq_, f_.transverseForce), SetText(mass_, f_.mass);
    UnitOf(temp_)->setText(TemperatureUnit());
    UnitOf(fq_)->setText(ForceUnit());
  }

  ApplicationForm& f_;
  QGroupBox* load_;
  QLineEdit *freq_, *temp_, *nue_, *fq_, *mass_;
};

// --- Calculation method ------------------------------------------------------

class TForm_zeb1conf : public Form {
 public:
  TForm_zeb1conf(QWidget* owner, CalculationMethodForm& f)
      : Form(owner, "TForm_zeb1conf", Oem(G().ProductName)), f_(f) {
    auto* box = new QWidget(this);
    auto* g = new QGridLayout(box);
    g->setContentsMargins(0, 0, 0, 0);
    int row = 0;
    auto combo = [&](const char* name, const char* label, int index, int hint) {
      auto* l = Label(nullptr, Utf8(label), box);
      auto* c = new QComboBox(box);
      c->setObjectName(QString::fromLatin1(name));
      for (const std::string& item : CalculationMethodItems(name)) c->addItem(Oem(item));
      c->setCurrentIndex(index);
      SetHelpHint(l, hint);
      g->addWidget(l, row, 0);
      g->addWidget(c, row++, 1, 1, 2);
      return c;
    };
    auto edit = [&](const char* name, const char* label, const std::string& text, const char* button,
                    const char* defaultText, int hint, const QString& unit) {
      auto* l = Label(nullptr, Utf8(label), box);
      auto* e = new QLineEdit(Ansi(text), box);
      e->setObjectName(QString::fromLatin1(name));
      SetHelpHint(l, hint);
      auto* row_ = new QHBoxLayout;
      row_->addWidget(e);
      if (!unit.isEmpty()) row_->addWidget(Label(nullptr, unit, box));
      row_->addWidget(Button(button, "<", [e, defaultText] { e->setText(QString::fromLatin1(defaultText)); }));
      g->addWidget(l, row, 0);
      g->addLayout(row_, row++, 1, 1, 2);
      return e;
    };
    c1_ = combo("ComboBox1", "Drahtquerschnitt", f.crossSection, 5470);
    c2_ = combo("ComboBox2", "Berechnungsmethode bei Eingabe von n (if)", f.rateInput, 5430);
    c3_ = combo("ComboBox3", "Berechnungsmethode bei Eingabe von R", f.rInputMethod, 5435);
    c4_ = combo("ComboBox4", "Warnmeldungen bei Federoptimierung", f.optWarnings, 5410);
    c5_ = combo("ComboBox5", "Methode zur Federauslegung", f.designMethod, 5440);
    c6_ = combo("ComboBox6", "Berechnung des Windungsabstands Sa", f.saMethod, 5450);
    c7_ = combo("ComboBox7", "Warnungen", f.warningsOn, 5460);
    c10_ = combo("ComboBox10", "Toleranz für welchen Windungsdurchmesser ?", f.diameterGiven, 5175);
    e8_ = edit("Edit8", "Auflösung 3D-Line", f.resolution3d, "Button_conf3d", kDefault3dResolution, 5465,
               Oem(G().PlainTextMode != 0 ? std::string("deg") : DegreeSign()));
    metric_ = combo("ComboBox_metric", "Einheiten metrisch/imperial", f.unitSystem, 2800);
    f2_ = combo("ComboBox_f2", "Vorauslegung, Auslegung, Nachrechnung", f.forceCount, 5445);
    tauo_ = combo("ComboBox_tauomode", "Goodman diagram tauoz", f.loadCase, 5455);
    sichd_ = edit("Edit_sichd", "tauz/tau bei Berechnung d min", f.preTauRatio, "Button_sichd", kDefaultPreTauRatio,
                  5195, QString());
    wv_ = edit("Edit_wv", "Vorauslegung Dm/d", f.preW, "Button_wv", kDefaultPreW, 5475, QString());
    root()->addWidget(box);
    ButtonRow({Button("Button_help", "&Hilfetext", [] { ShowHelpTextBox(1000); }),
               Button("Button_hilfebild", "Hilfe&bild", [this] {
                 Graphics().HelpPictureCatalog();
                 G().AbortFlag = 0;
                 raise();
               })});
    Place();
  }

  void OnOk() override {
    f_.crossSection = c1_->currentIndex(), f_.rateInput = c2_->currentIndex();
    f_.rInputMethod = c3_->currentIndex(), f_.optWarnings = c4_->currentIndex();
    f_.designMethod = c5_->currentIndex(), f_.saMethod = c6_->currentIndex();
    f_.warningsOn = c7_->currentIndex(), f_.diameterGiven = c10_->currentIndex();
    f_.unitSystem = metric_->currentIndex(), f_.forceCount = f2_->currentIndex();
    f_.loadCase = tauo_->currentIndex();
    f_.resolution3d = TextOf(e8_), f_.preTauRatio = TextOf(sichd_), f_.preW = TextOf(wv_);
    if (FieldRefusal r; !CheckCalculationMethodForm(f_, &r)) return Refused(r);
    accept();
  }

 private:
  CalculationMethodForm& f_;
  QComboBox *c1_, *c2_, *c3_, *c4_, *c5_, *c6_, *c7_, *c10_, *metric_, *f2_, *tauo_;
  QLineEdit *e8_, *sichd_, *wv_;
};

// --- Production --------------------------------------------------------------

class TForm_herstellung : public Form {
 public:
  TForm_herstellung(QWidget* owner, ProductionForm& f)
      : Form(owner, "TForm_herstellung", Utf8("Herstellung ") + Oem(G().ProductName)), f_(f) {
    auto* top = new QHBoxLayout;
    ends_ = RadioGroup("RadioGroup_federenden", "Endwindungen", ProductionItems("RadioGroup_federenden"), f.endForm,
                       [this](int i) {
                         ChooseProductionEnds(f_, i, f_.coilingKind);
                         LoadEnds();
                       });
    top->addWidget(ends_);
    auto* coils = new QGroupBox("Anzahl der ungefederten Endwindungen", this);
    coils->setObjectName("GroupBox_endwindungen");
    auto* cg = new QGridLayout(coils);
    end1_ = EditRow(cg, 0, "Edit_nend1", "Endwindungen 1 (oben)", QString(), f.endCoils1);
    end2_ = EditRow(cg, 1, "Edit_nend2", "Endwindungen 2 (unten)", QString(), f.endCoils2);
    cg->addWidget(Button("Button1", "<", [this] {
                    StandardEndCoils(f_);
                    SetText(end1_, f_.endCoils1);
                    SetText(end2_, f_.endCoils2);
                  }),
                  0, 2, 2, 1);
    top->addWidget(coils);
    root()->addLayout(top);
    auto* middle = new QHBoxLayout;
    kind_ = RadioGroup("RadioGroup_herstellung", "Verarbeitung", ProductionItems("RadioGroup_herstellung"),
                       f.coilingKind, [this](int i) {
                         ChooseProductionEnds(f_, f_.endForm, i);
                         LoadEnds();
                       });
    middle->addWidget(kind_);
    dir_ = RadioGroup("RadioGroup_windungsrichtung", "Windungsrichtung", ProductionItems("RadioGroup_windungsrichtung"),
                      f.windingDir, [this](int i) { f_.windingDir = i; });
    middle->addWidget(dir_);
    root()->addLayout(middle);
    peened_ = new QCheckBox("Feder kugelgestrahlt", this);
    peened_->setObjectName("CheckBox_kugelstrahlen");
    peened_->setChecked(f.shotPeened);
    root()->addWidget(peened_);
    auto* endText = new QHBoxLayout;
    endText->addWidget(Label("Label_endwindungen", "Endwindungen"));
    text_ = new QLineEdit(this);
    text_->setObjectName("Edit_endwindungen");
    text_->setMaxLength(kEndFormTextMaxLength);
    endText->addWidget(text_, 1);
    endText->addWidget(Label("Label2", "Lc = ( nt +"));
    x_ = new QLineEdit(this);
    x_->setObjectName("Edit_x");
    x_->setMaximumWidth(70);
    endText->addWidget(x_);
    endText->addWidget(Label("Label3", ") * d max"));
    root()->addLayout(endText);
    connect(text_, &QLineEdit::textEdited, this, [this](const QString& t) { f_.endFormText = QStringToAnsi(t); });
    connect(x_, &QLineEdit::textEdited, this, [this](const QString& t) { f_.endFormConstant = QStringToAnsi(t); });
    LoadEnds();
    const std::pair<QWidget*, int> hints[] = {{ends_, 5320}, {coils, 5300}, {kind_, 5290}, {dir_, 6520}, {peened_, 5340}};
    for (const auto& [w, n] : hints) SetHelpHint(w, n);
    ButtonRow({Button("Button_hilfetext", "&Hilfetext", [] { ShowHelpTextBox(9040); }),
               Button("Button_hilfebild", "Hilfe&bild", [this] {
                 ShowHelpPicture(9040);
                 raise();
               })});
    Place();
  }

  void OnOk() override {
    f_.endCoils1 = TextOf(end1_), f_.endCoils2 = TextOf(end2_);
    f_.shotPeened = peened_->isChecked();
    f_.endFormText = TextOf(text_), f_.endFormConstant = TextOf(x_);
    if (FieldRefusal r; !CheckProductionForm(f_, &r)) return Refused(r);
    accept();
  }

 private:
  void LoadEnds() {
    SetText(text_, f_.endFormText);
    SetText(x_, f_.endFormConstant);
    text_->setEnabled(f_.endFieldsEnabled);
    x_->setEnabled(f_.endFieldsEnabled);
  }

  ProductionForm& f_;
  QGroupBox *ends_, *kind_, *dir_;
  QLineEdit *end1_, *end2_, *text_, *x_;
  QCheckBox* peened_;
};

// --- Production drawing data -------------------------------------------------

class TForm_zebFert : public Form {
 public:
  TForm_zebFert(QWidget* owner, ProductionDrawingForm& f)
      : Form(owner, "TForm_zebFert", Utf8("Fertigungszeichnung ") + Oem(G().ProductName)), f_(f) {
    auto* top = new QHBoxLayout;
    top->addWidget(RadioGroup("RadioGroup_entgraten", "Entgraten der Federenden",
                              ProductionDrawingItems("RadioGroup_entgraten"), f.deburr,
                              [this](int i) { f_.deburr = i; }));
    auto* setting = new QVBoxLayout;
    setting->addWidget(Label("Label_setzen", Utf8("Prüffedern setzen !  Übrige Federn ...")));
    setting->addWidget(RadioGroup("RadioGroup_setzen", "", ProductionDrawingItems("RadioGroup_setzen"), f.preset,
                                  [this](int i) {
                                    ChoosePreset(f_, i);
                                    LoadSetLength();
                                  }, 3));
    auto* ls = new QHBoxLayout;
    ls->addWidget(Label("Label_setzlaenge", "Ls = "));
    setLength_ = new QLineEdit(this);
    setLength_->setObjectName("Edit_setzlaenge");
    setLength_->setMaximumWidth(90);
    connect(setLength_, &QLineEdit::textEdited, this, [this](const QString& t) { f_.setLength = QStringToAnsi(t); });
    ls->addWidget(setLength_);
    ls->addWidget(Label("Label_setzlaenge_unit", LengthUnit()));
    struct LengthButton {
      const char *name, *caption;
      SetLengthSource source;
    };
    for (const LengthButton& lb : {LengthButton{"Button_lc", "Lc", SetLengthSource::kLc},
                                   LengthButton{"Button_l2", "L2", SetLengthSource::kL2},
                                   LengthButton{"Button_ln", "Ln", SetLengthSource::kLn}}) {
      auto* b = Button(lb.name, lb.caption, [this, source = lb.source] {
        PutSetLength(f_, source);
        LoadSetLength();
      });
      b->setMaximumWidth(40);
      ls->addWidget(b);
    }
    ls->addStretch();
    setting->addLayout(ls);
    isLc_ = Check("CheckBox_ls", "Ls = Lc", f.setLengthIsLc, [this](bool on) {
      SetSetLengthIsLc(f_, on);
      LoadSetLength();
    });
    setting->addWidget(isLc_);
    showSetLength_ = Check("CheckBox_setzlang", Utf8("anzeigen Setzlänge"), f.showSetLength, [this](bool on) {
      SetShowSetLength(f_, on);
      LoadSetLength();
    });
    setting->addWidget(showSetLength_);
    top->addLayout(setting, 1);
    root()->addLayout(top);

    auto* temp = new QHBoxLayout;
    temp->addWidget(Label("Label_temperatur", "Arbeitstemperaturbereich von"));
    from_ = Edit("Edit_vontemp", f.tempFrom, 0, 90);
    temp->addWidget(from_);
    temp->addWidget(Label("Label_bis", "bis"));
    to_ = Edit("Edit_bistemp", f.tempTo, 0, 90);
    temp->addWidget(to_);
    temp->addWidget(Label("Label_temperatur_unit", TemperatureUnit()));
    temp->addStretch();
    root()->addLayout(temp);

    auto* surface = new QHBoxLayout;
    surface->addWidget(Label("Label_oberflaechenschutz", Utf8("Oberflächenschutz")));
    combo_ = new QComboBox(this);
    combo_->setObjectName("ComboBox_oflschutz");
    for (const std::string& item : ProductionDrawingItems("ComboBox_oflschutz")) combo_->addItem(Oem(item));
    combo_->setCurrentIndex(f.surfaceCode);
    connect(combo_, &QComboBox::activated, this, [this](int i) {
      ChooseSurface(f_, i);
      SetText(surface_, f_.surface);
      surface_->setEnabled(f_.surfaceEnabled);
    });
    surface->addWidget(combo_);
    surface_ = Edit("Edit_oberflaechenschutz", f.surface, kSurfaceMaxLength, 0);
    surface_->setEnabled(f.surfaceEnabled);
    surface->addWidget(surface_, 1);
    root()->addLayout(surface);

    root()->addWidget(Label("Label_zusaetzliche_angaben", Utf8("Zusätzliche Angaben")));
    extra1_ = Edit("Edit_zus1", f.extra1, kExtraLineMaxLength, 0);
    extra2_ = Edit("Edit_zus2", f.extra2, kExtraLineMaxLength, 0);
    root()->addWidget(extra1_);
    root()->addWidget(extra2_);

    auto* bottom = new QHBoxLayout;
    auto* picture = new QGroupBox(Utf8("Einzeichnen von Dorn und Hülse"), this);
    picture->setObjectName("GroupBox_aufnahme");
    auto* pv = new QVBoxLayout(picture);
    mandrel_ = Check("CheckBox_aufnahmedorn", "Aufnahme in Dorn", f.mandrel, {}, picture);
    sleeve_ = Check("CheckBox_aufnahmehuelse", Utf8("Aufnahme in Hülse"), f.sleeve, {}, picture);
    pv->addWidget(mandrel_);
    pv->addWidget(sleeve_);
    bottom->addWidget(picture);
    auto* shows = new QVBoxLayout;
    showF_ = Check("CheckBox_f", "anzeigen F1, F2", f.showF);
    showFn_ = Check("CheckBox_fn", "anzeigen Fn", f.showFn);
    showP_ = Check("CheckBox_p", "anzeigen Ld, P, m", f.showP);
    for (QCheckBox* c : {showF_, showFn_, showP_}) shows->addWidget(c);
    bottom->addLayout(shows);
    auto* material = new QGroupBox(Ansi(f.materialName), this);
    material->setObjectName("GroupBox_wst");
    auto* mv = new QVBoxLayout(material);
    line2_ = Check("CheckBox_wstname2", Ansi(f.materialLine2Text), f.materialLine2, {}, material);
    line3_ = Check("CheckBox_wstname3", Ansi(f.materialLine3Text), f.materialLine3, {}, material);
    mv->addWidget(line2_);
    mv->addWidget(line3_);
    // A line the material has no text for offers no choice.
    line2_->setVisible(!f.materialLine2Text.empty());
    line3_->setVisible(!f.materialLine3Text.empty());
    material->setVisible(!f.materialLine2Text.empty() || !f.materialLine3Text.empty());
    bottom->addWidget(material, 1);
    root()->addLayout(bottom);

    LoadSetLength();
    ButtonRow({Button("Button_help", "&Hilfe", [] { ShowHelpTextBox(9010); })});
    Place();
  }

  void OnOk() override {
    f_.setLength = TextOf(setLength_);
    f_.tempFrom = TextOf(from_), f_.tempTo = TextOf(to_);
    f_.surface = TextOf(surface_);
    f_.extra1 = TextOf(extra1_), f_.extra2 = TextOf(extra2_);
    f_.mandrel = mandrel_->isChecked(), f_.sleeve = sleeve_->isChecked();
    f_.showF = showF_->isChecked(), f_.showFn = showFn_->isChecked(), f_.showP = showP_->isChecked();
    f_.materialLine2 = line2_->isChecked(), f_.materialLine3 = line3_->isChecked();
    if (FieldRefusal r; !CheckProductionDrawingForm(f_, &r)) return Refused(r);
    accept();
  }

 private:
  QCheckBox* Check(const char* name, const QString& caption, bool checked, std::function<void(bool)> onClick = {},
                   QWidget* parent = nullptr) {
    auto* c = new QCheckBox(caption, parent != nullptr ? parent : this);
    c->setObjectName(QString::fromLatin1(name));
    c->setChecked(checked);
    if (onClick) connect(c, &QCheckBox::clicked, this, std::move(onClick));
    return c;
  }

  QLineEdit* Edit(const char* name, const std::string& text1252, int maxLength, int maxWidth) {
    auto* e = new QLineEdit(this);
    e->setObjectName(QString::fromLatin1(name));
    if (maxLength > 0) e->setMaxLength(maxLength);
    if (maxWidth > 0) e->setMaximumWidth(maxWidth);
    SetText(e, text1252);
    return e;
  }

  // The set-length field and its two switches as the rules left them.
  void LoadSetLength() {
    SetText(setLength_, f_.setLength);
    setLength_->setEnabled(f_.setLengthEnabled);
    const QSignalBlocker block(showSetLength_);
    showSetLength_->setChecked(f_.showSetLength);
    showSetLength_->setEnabled(f_.showSetLengthEnabled);
  }

  ProductionDrawingForm& f_;
  QLineEdit *setLength_, *from_, *to_, *surface_, *extra1_, *extra2_;
  QCheckBox *isLc_, *showSetLength_, *mandrel_, *sleeve_, *showF_, *showFn_, *showP_, *line2_, *line3_;
  QComboBox* combo_;
};

// --- Title block -------------------------------------------------------------

class TEingabetext1 : public Form {
 public:
  TEingabetext1(QWidget* owner, TitleBlockForm& f) : Form(owner, "TEingabetext1", Oem(G().ProgramTitle)), f_(f) {
    auto* box = new QWidget(this);
    auto* g = new QGridLayout(box);
    g->setContentsMargins(0, 0, 0, 0);
    name_ = EditRow(g, 0, "Edit_zeichname", "Zeichnungsname", QString(), f.name, kTitleBlockMaxLength[0]);
    name2_ = EditRow(g, 1, "Edit_zeichname2", "Zeichnungsname 2", QString(), f.name2, kTitleBlockMaxLength[1]);
    number_ = EditRow(g, 2, "Edit_zeichnr", "Zeichnungsnummer", QString(), f.number, kTitleBlockMaxLength[2]);
    line1_ = EditRow(g, 3, "Edit_bemerk1", "Zeile 1", QString(), f.line1, kTitleBlockMaxLength[3]);
    line2_ = EditRow(g, 4, "Edit_bemerk2", "Zeile 2", QString(), f.line2, kTitleBlockMaxLength[4]);
    line1_->setMinimumWidth(420);
    root()->addWidget(box);
    ButtonRow();
    Place();
  }
  void OnOk() override {
    f_.name = TextOf(name_), f_.name2 = TextOf(name2_), f_.number = TextOf(number_);
    f_.line1 = TextOf(line1_), f_.line2 = TextOf(line2_);
    accept();
  }

 private:
  TitleBlockForm& f_;
  QLineEdit *name_, *name2_, *number_, *line1_, *line2_;
};

// --- Value table -------------------------------------------------------------

class TForm_table6 : public Form {
 public:
  TForm_table6(QWidget* owner, ValueTableForm& f) : Form(owner, "TForm_table6", Oem(G().ProductName)), f_(f) {
    root()->addWidget(Label("Label_min", Ansi(f.minLabel)));
    root()->addWidget(Label("Label_max", Ansi(f.maxLabel)));
    grid_ = new QTableWidget(this);
    grid_->setObjectName("StringGrid1");
    grid_->setColumnCount(2);
    grid_->setHorizontalHeaderLabels({"", Ansi(f.columnTitle)});
    grid_->verticalHeader()->hide();
    grid_->horizontalHeader()->setStretchLastSection(true);
    root()->addWidget(grid_);
    Load();
    auto* row = new QHBoxLayout;
    row->addWidget(Button("Button_add", "+", [this] {
      Collect();
      AddValueRow(f_);
      Load();
    }));
    row->addWidget(Button("Button_del", "-", [this] {
      Collect();
      DeleteValueRow(f_);
      Load();
    }));
    root()->addLayout(row);
    ButtonRow();
    resize(320, 330);
    PlaceDialog(this, {0, 0, 320, 330});
  }
  void OnOk() override {
    Collect();
    accept();
  }

 private:
  void Load() {
    grid_->setRowCount(static_cast<int>(f_.values.size()));
    for (int r = 0; r < grid_->rowCount(); ++r) {
      auto* number = new QTableWidgetItem(QString::number(r + 1));
      number->setFlags(Qt::ItemIsEnabled);
      grid_->setItem(r, 0, number);
      grid_->setItem(r, 1, new QTableWidgetItem(Ansi(f_.values[static_cast<std::size_t>(r)])));
    }
  }
  void Collect() {
    for (int r = 0; r < grid_->rowCount(); ++r)
      f_.values[static_cast<std::size_t>(r)] = grid_->item(r, 1) != nullptr ? QStringToAnsi(grid_->item(r, 1)->text()) : "";
  }

  ValueTableForm& f_;
  QTableWidget* grid_;
};

// --- Change entry and drawing information ------------------------------------

class TForm_EinAend : public Form {
 public:
  TForm_EinAend(QWidget* owner, ChangeEntryForm& f, int n)
      : Form(owner, "TForm_EinAend", Utf8("Änderung ") + QString::number(n)), f_(f) {
    auto* box = new QWidget(this);
    auto* g = new QGridLayout(box);
    g->setContentsMargins(0, 0, 0, 0);
    change_ = EditRow(g, 0, "Edit_aenderung", Utf8("Änderungstext"), QString(), f.change, kChangeEntryMaxLength[0]);
    date_ = EditRow(g, 1, "Edit_datum", "Datum", QString(), f.date, kChangeEntryMaxLength[1]);
    g->addWidget(Button("Button_datum", Ansi("<" + TodayDateString()), [this] { date_->setText(Ansi(TodayDateString())); }),
                 1, 2);
    editor_ = EditRow(g, 2, "Edit_bearbeiter", "Bearbeiter", QString(), f.editor, kChangeEntryMaxLength[2]);
    g->addWidget(Label("Label_beschreibung", "Beschreibung", box), 3, 0, Qt::AlignTop);
    memo_ = new QPlainTextEdit(Ansi(f.description), box);
    memo_->setObjectName("Memo_beschreibung");
    memo_->setMinimumSize(360, 100);
    connect(memo_, &QPlainTextEdit::textChanged, this, [this] {
      // The description keeps at most its limit of characters.
      const QString t = memo_->toPlainText();
      if (t.size() > kChangeEntryMaxLength[3]) {
        const QSignalBlocker block(memo_);
        memo_->setPlainText(t.left(kChangeEntryMaxLength[3]));
        memo_->moveCursor(QTextCursor::End);
      }
    });
    g->addWidget(memo_, 3, 1, 1, 2);
    root()->addWidget(box);
    ButtonRow({Button("Button_help", "&Hilfe", [] { ShowHelpTextBox(3000); })});
    Place();
  }
  void OnOk() override {
    f_.change = TextOf(change_), f_.date = TextOf(date_), f_.editor = TextOf(editor_);
    QString d = memo_->toPlainText();
    d.replace("\n", "\r\n");
    f_.description = QStringToAnsi(d);
    accept();
  }

 private:
  ChangeEntryForm& f_;
  QLineEdit *change_, *date_, *editor_;
  QPlainTextEdit* memo_;
};

class TForm_zeichInfo : public Form {
 public:
  TForm_zeichInfo(QWidget* owner, DrawingInfoForm& f) : Form(owner, "TForm_zeichInfo", "Zeichnungsinfo"), f_(f) {
    auto* box = new QWidget(this);
    auto* g = new QGridLayout(box);
    g->setContentsMargins(0, 0, 0, 0);
    replaces_ = EditRow(g, 0, "Edit_ersatz", Utf8("Ersatz für"), QString(), f.replaces, 15);
    replacedBy_ = EditRow(g, 1, "Edit_ersetzt", "Ersetzt durch", QString(), f.replacedBy, 15);
    root()->addWidget(box);
    auto* roles = new QHBoxLayout;
    grid1_ = new QTableWidget(4, 2, this);
    grid1_->setObjectName("StringGrid1");
    grid1_->setHorizontalHeaderLabels({"Datum", "Name"});
    QStringList rowLabels;
    for (const std::string& l : DrawingInfoRoleLabels()) rowLabels << Ansi(l);
    grid1_->setVerticalHeaderLabels(rowLabels);
    for (int r = 0; r < 4; ++r)
      for (int c = 0; c < 2; ++c)
        grid1_->setItem(r, c, new QTableWidgetItem(Ansi(f.roles[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)])));
    grid1_->setFixedHeight(grid1_->horizontalHeader()->height() + 4 * grid1_->rowHeight(0) + 4);
    // A date or name longer than its column allows is cut as it is typed.
    connect(grid1_, &QTableWidget::itemChanged, this, [](QTableWidgetItem* item) {
      const int most = kApprovalMaxLength[static_cast<std::size_t>(item->column() == 0 ? 0 : 1)];
      if (item->text().size() > most) item->setText(item->text().left(most));
    });
    roles->addWidget(grid1_, 1);
    auto* dates = new QVBoxLayout;
    dates->addSpacing(grid1_->horizontalHeader()->height());
    for (int r = 0; r < 4; ++r) {
      auto* b = Button(QString("Button_datum%1").arg(r + 1).toLatin1().constData(), Ansi("< " + TodayDateString()),
                       [this, r] { grid1_->item(r, 0)->setText(Ansi(TodayDateString())); });
      b->setFixedHeight(grid1_->rowHeight(0));
      dates->addWidget(b);
    }
    dates->addStretch();
    roles->addLayout(dates);
    root()->addLayout(roles);
    grid2_ = new QTableWidget(8, 5, this);
    grid2_->setObjectName("StringGrid2");
    grid2_->setHorizontalHeaderLabels({"x", "y", "h", "phi", "Text"});
    grid2_->horizontalHeader()->setStretchLastSection(true);
    for (int r = 0; r < 8; ++r)
      for (int c = 0; c < 5; ++c)
        grid2_->setItem(r, c, new QTableWidgetItem(Ansi(f.texts[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)])));
    for (int c = 0; c < 4; ++c) grid2_->setColumnWidth(c, 60);
    grid2_->setMinimumSize(560, grid2_->horizontalHeader()->height() + 8 * grid2_->rowHeight(0) + 4);
    root()->addWidget(grid2_);
    ButtonRow({Button("Button_help", "&Hilfe", [] { ShowHelpTextBox(3010); })});
    Place();
  }
  void OnOk() override {
    f_.replaces = TextOf(replaces_), f_.replacedBy = TextOf(replacedBy_);
    for (int r = 0; r < 4; ++r)
      for (int c = 0; c < 2; ++c)
        f_.roles[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] = QStringToAnsi(grid1_->item(r, c)->text());
    for (int r = 0; r < 8; ++r)
      for (int c = 0; c < 5; ++c)
        f_.texts[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] = QStringToAnsi(grid2_->item(r, c)->text());
    accept();
  }

 private:
  DrawingInfoForm& f_;
  QLineEdit *replaces_, *replacedBy_;
  QTableWidget *grid1_, *grid2_;
};

class TForm_confDoku : public Form {
 public:
  TForm_confDoku(QWidget* owner, DocumentLinksForm& f) : Form(owner, "TForm_confDoku", "Dokument Setup"), f_(f) {
    for (int n = 0; n < 5; ++n) {
      auto* box = new QGroupBox(QString(" Dokument %1 ").arg(n + 1), this);
      box->setObjectName(QString("GroupBox%1").arg(n + 1));
      auto* g = new QGridLayout(box);
      const auto row = [&](int r, const char* what, const char* name, const char* pattern, std::string& text,
                           std::array<QLineEdit*, 5>& edits, int hint) {
        auto* l = Label(nullptr, QString("%1 %2").arg(what).arg(n + 1), box);
        SetHelpHint(l, hint);
        auto* e = new QLineEdit(PathToQString(text), box);
        e->setObjectName(QString("Edit_%1%2").arg(name).arg(n + 1));
        e->setMinimumWidth(380);
        edits[static_cast<std::size_t>(n)] = e;
        auto* b = new QPushButton("...", box);
        b->setObjectName(QString("Button_%1%2").arg(name).arg(n + 1));
        // The program is a command line; the file is one argument.
        const bool program = std::string_view(name) == "program";
        connect(b, &QPushButton::clicked, this, [e, pattern, program] {
          const std::string text = QStringToPath(e->text());
          const std::string chosen = program ? AskProgramPath(text, pattern) : AskOpenFilePath(text, pattern);
          if (G().AbortFlag == 0) e->setText(PathToQString(chosen));
          G().AbortFlag = 0;
        });
        g->addWidget(l, r, 0);
        g->addWidget(e, r, 1);
        g->addWidget(b, r, 2);
      };
      row(0, "Programm", "program", "*", f.program[static_cast<std::size_t>(n)], program_, 2710);
      row(1, "Datei", "file", "*", f.file[static_cast<std::size_t>(n)], file_, 2720);
      root()->addWidget(box);
    }
    ButtonRow({Button("Button_help", "&Hilfetext", [] { ShowHelpTextBox(2730); })});
    Place();
  }
  void OnOk() override {
    for (std::size_t n = 0; n < 5; ++n) {
      f_.program[n] = QStringToPath(program_[n]->text());
      f_.file[n] = QStringToPath(file_[n]->text());
    }
    accept();
  }

 private:
  DocumentLinksForm& f_;
  std::array<QLineEdit*, 5> program_{}, file_{};
};

// --- Plot program and colour picker -----------------------------------------

class TForm_confgravelo : public Form {
 public:
  TForm_confgravelo(QWidget* owner, PlotCommandForm& f) : Form(owner, "TForm_confgravelo", "GRAVELO"), f_(f) {
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(Label(nullptr, "GRAVELO Programmverzeichnis"));
    path_ = LineEdit("Edit_graveloPath", f.programPath, 2080);
    pathRow->addWidget(path_, 1);
    pathRow->addWidget(Button("Button_gravelopath", "...", [this] {
      const std::string chosen = AskProgramPath(QStringToPath(path_->text()), "*");
      if (G().AbortFlag == 0) path_->setText(PathToQString(chosen));
      G().AbortFlag = 0;
      Changed();
    }));
    root()->addLayout(pathRow);
    auto* groups = new QHBoxLayout;
    format_ = RadioGroup("RadioGroup_outcode", "Ausgabeformat",
                         {"HP-GL Laserjet (HPL)", "Postscript (PS)", "HP-GL Plotter (PLT)", "HP-GL/2 (PL2)", "Aristo (ART)"},
                         f.format, [this](int i) {
                           f_.format = i;
                           Changed();
                         });
    groups->addWidget(format_);
    iface_ = RadioGroup("RadioGroup_d", "Ausgabeschnittstelle", {"seriell", "parallel", "Datei"}, f.interface,
                        [this](int i) {
                          f_.interface = i;
                          Changed();
                        });
    groups->addWidget(iface_);
    root()->addLayout(groups);
    auto* g = new QGridLayout;
    int row = 0;
    const auto add = [&](const QString& label, QWidget* w, QWidget* extra = nullptr) {
      g->addWidget(Label(nullptr, label), row, 0);
      g->addWidget(w, row, 1);
      if (extra != nullptr) g->addWidget(extra, row, 2);
      ++row;
    };
    com_ = LineEdit("Edit_com", f.com, 2120);
    add("COM", com_);
    lpt_ = LineEdit("Edit_lpt", f.lpt, 2120);
    add("LPT", lpt_);
    outdir_ = LineEdit("Edit_outdir", f.outputFolder, 2130);
    auto* dirButtons = new QWidget(this);
    auto* db = new QHBoxLayout(dirButtons);
    db->setContentsMargins(0, 0, 0, 0);
    db->addWidget(Button("Button_outDir", "Dir...", [this] { outdir_->setText(PathToQString(BrowseForFolder(QStringToPath(outdir_->text())))); }));
    db->addWidget(Button("Button_tempdir", "<", [this] { outdir_->setText(PathToQString(G().TempFolder)); }));
    add("", outdir_, dirButtons);
    scale_ = LineEdit("Edit_scale", f.scale, 2140);
    fit_ = new QCheckBox(Utf8("Maßstab anpassen ?"), this);
    fit_->setObjectName("CheckBox_scale");
    connect(fit_, &QCheckBox::clicked, this, [this](bool on) {
      Collect();
      SetFitScale(f_, on);
      SetText(scale_, f_.scale);
      scale_->setEnabled(!on);
      Changed();
    });
    add(Utf8("Maßstab"), scale_, fit_);
    rotate_ = new QCheckBox("Plot um 90 Grad drehen ?", this);
    rotate_->setObjectName("CheckBox_rotate");
    connect(rotate_, &QCheckBox::clicked, this, [this] { Changed(); });
    g->addWidget(rotate_, row++, 1);
    x_ = LineEdit("Edit_xnull", f.xShift, 2150);
    add("Nullpunktverschiebung in x-Richtung", x_);
    y_ = LineEdit("Edit_ynull", f.yShift, 2150);
    add("Nullpunktverschiebung in y-Richtung", y_);
    width_ = LineEdit("Edit_textbreitenfaktor", f.textWidth, 2160);
    add("Textbreitenfaktor", width_);
    font_ = new QComboBox(this);
    font_->setObjectName("ComboBox_psfont");
    font_->setEditable(true);
    for (const std::string& name : PostScriptFontNames()) font_->addItem(QString::fromLatin1(name.c_str()));
    font_->setEditText(Ansi(f.psFont));
    connect(font_, &QComboBox::currentTextChanged, this, [this] { Changed(); });
    add("Postscript-Zeichensatz", font_);
    root()->addLayout(g);
    auto* lineRow = new QHBoxLayout;
    lineRow->addWidget(Label(nullptr, "Command Line:"));
    line_ = Label("Label_commandline", PathToQString(BuildPlotCommandLine(f)));
    line_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lineRow->addWidget(line_, 1);
    root()->addLayout(lineRow);
    ButtonRow({Button("Button_help", "&Hilfe", [] { ShowHelpTextBox(2055); })});
    for (QLineEdit* e : {path_, com_, lpt_, outdir_, scale_, x_, y_, width_})
      connect(e, &QLineEdit::textChanged, this, [this] { Changed(); });
    if (G().HelpLevel > 0) {
      const std::pair<QWidget*, int> hints[] = {
          {format_, 2090}, {iface_, 2120}, {fit_, 2140}, {rotate_, 2145}, {font_, 2280}};
      for (const auto& [w, n] : hints) SetHelpHint(w, n);
    }
    Enable();
    f_.changed = false;
    Place();
  }
  void OnOk() override {
    Collect();
    accept();
  }

 private:
  QLineEdit* LineEdit(const char* name, const std::string& text, int hint) {
    auto* e = new QLineEdit(PathToQString(text), this);
    e->setObjectName(QString::fromLatin1(name));
    if (G().HelpLevel > 0) SetHelpHint(e, hint);
    return e;
  }
  void Collect() {
    f_.programPath = QStringToPath(path_->text());
    f_.com = TextOf(com_), f_.lpt = TextOf(lpt_);
    f_.outputFolder = QStringToPath(outdir_->text());
    f_.scale = TextOf(scale_), f_.xShift = TextOf(x_), f_.yShift = TextOf(y_), f_.textWidth = TextOf(width_);
    f_.fitScale = fit_->isChecked();
    f_.rotate = rotate_->isChecked();
    f_.psFont = QStringToAnsi(font_->currentText());
  }
  void Changed() {
    if (line_ == nullptr) return;
    Collect();
    PlotControlChanged(f_);
    line_->setText(PathToQString(BuildPlotCommandLine(f_)));
    Enable();
  }
  void Enable() {
    const auto fields = PlotInterfaceFields(f_);
    com_->setEnabled(fields[0]);
    lpt_->setEnabled(fields[1]);
    outdir_->setEnabled(fields[2]);
    font_->setEnabled(PlotFontEnabled(f_));
  }

  PlotCommandForm& f_;
  QLineEdit *path_ = nullptr, *com_ = nullptr, *lpt_ = nullptr, *outdir_ = nullptr, *scale_ = nullptr, *x_ = nullptr,
            *y_ = nullptr, *width_ = nullptr;
  QGroupBox *format_, *iface_;
  QCheckBox *fit_ = nullptr, *rotate_ = nullptr;
  QComboBox* font_ = nullptr;
  QLabel* line_ = nullptr;
};

class QtPlotConfigForm : public PlotConfigForm {
 public:
  explicit QtPlotConfigForm(QWidget* owner) : owner_(owner) {}
  bool Edit(std::string& commandLine) override {
    PlotCommandForm f = StartPlotCommandForm(commandLine);
    TForm_confgravelo form(owner_, f);
    if (form.exec() != QDialog::Accepted) {
      G().AbortFlag = 1;
      return false;
    }
    G().AbortFlag = 0;
    commandLine = PlotCommandResult(f);
    return true;
  }

 private:
  QWidget* owner_;
};

// The production drawing's dialog before a drawing with CAD code 0: the
// form of the menu command. Its data goes into the spring file, so OK
// marks the spring modified as the menu command does.
class FormProductionDataForm : public ProductionDataForm {
 public:
  explicit FormProductionDataForm(std::shared_ptr<FormCommandDialogs> dialogs) : dialogs_(std::move(dialogs)) {}
  void Run() override {
    if (dialogs_->ProductionDrawingData()) G().ModifiedFlag = 1;
  }

 private:
  std::shared_ptr<FormCommandDialogs> dialogs_;
};

template <typename Dialog, typename Model>
std::function<bool(Model&)> Runner(QWidget* owner) {
  return [owner](Model& f) {
    Dialog form(owner, f);
    return form.exec() == QDialog::Accepted;
  };
}

}  // namespace

FormRunners QtFormRunners(QWidget* owner) {
  FormRunners r;
  r.dimensions = Runner<TForm_Zebgeometrie, DimensionsForm>(owner);
  r.tolerance = Runner<TForm_toleranz, ToleranceForm>(owner);
  r.application = Runner<TEingabeEinsatzfall, ApplicationForm>(owner);
  r.calculationMethod = Runner<TForm_zeb1conf, CalculationMethodForm>(owner);
  r.production = Runner<TForm_herstellung, ProductionForm>(owner);
  r.productionDrawing = Runner<TForm_zebFert, ProductionDrawingForm>(owner);
  r.titleBlock = Runner<TEingabetext1, TitleBlockForm>(owner);
  r.valueTable = Runner<TForm_table6, ValueTableForm>(owner);
  r.configuration = QtConfigRunner(owner);
  return r;
}

DocumentationDialogs QtDocumentationDialogs(QWidget* owner) {
  DocumentationDialogs d;
  d.changeEntry = [owner](ChangeEntryForm& f, int n) {
    TForm_EinAend form(owner, f, n);
    return form.exec() == QDialog::Accepted;
  };
  d.drawingInfo = Runner<TForm_zeichInfo, DrawingInfoForm>(owner);
  d.documentLinks = Runner<TForm_confDoku, DocumentLinksForm>(owner);
  return d;
}

void InstallQtInputDialogs(QWidget* owner) {
  auto dialogs = std::make_shared<FormCommandDialogs>(QtFormRunners(owner));
  SetCommandDialogs(dialogs);
  SetProductionDataForm(std::make_shared<FormProductionDataForm>(dialogs));
  SetDocumentationDialogs(QtDocumentationDialogs(owner));
  SetPlotConfigForm(std::make_shared<QtPlotConfigForm>(owner));
}

void UninstallQtInputDialogs() {
  SetCommandDialogs(nullptr);
  SetProductionDataForm(nullptr);
  SetDocumentationDialogs({});
  SetPlotConfigForm(nullptr);
}

int PickColour(QWidget* owner, int colour) {
  FillColourNames();
  QDialog form(owner);
  form.setObjectName("TForm_selectcolor");
  form.setWindowTitle("Select Color");
  auto* layout = new QVBoxLayout(&form);
  auto* list = new QListWidget(&form);
  list->setObjectName("ListBox_colors");
  for (const std::string& line : ColourPickerLines()) list->addItem(Ansi(line));
  list->setCurrentRow(ColourPickerIndex(colour));
  if (ColourPickerIndex(colour) < 0) list->clearSelection();
  layout->addWidget(list);
  auto* row = new QHBoxLayout;
  auto* ok = new QPushButton("OK", &form);
  ok->setObjectName("Button_ok");
  ok->setDefault(true);
  auto* cancel = new QPushButton("Abbrechen", &form);
  cancel->setObjectName("Button_cancel");
  QObject::connect(ok, &QPushButton::clicked, &form, &QDialog::accept);
  QObject::connect(cancel, &QPushButton::clicked, &form, &QDialog::reject);
  QObject::connect(list, &QListWidget::itemDoubleClicked, &form, &QDialog::accept);
  row->addWidget(ok);
  row->addWidget(cancel);
  layout->addLayout(row);
  PlaceDialog(&form, {0, 0, 220, 380});
  const bool accepted = form.exec() == QDialog::Accepted;
  const int selected = list->selectedItems().isEmpty() ? -1 : list->currentRow();
  return ColourPickerResult(colour, accepted, selected);
}

}  // namespace zeb
