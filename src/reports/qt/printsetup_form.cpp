#include "reports/qt/printsetup_form.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPageLayout>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "base/globals.h"
#include "base/help.h"
#include "base/qt/forms.h"
#include "base/qt/qt_convert.h"
#include "base/text.h"
#include "reports/printjob.h"

namespace zeb {

namespace {

QString Utf8(const std::string& s) { return QString::fromUtf8(s.c_str()); }

class TForm_printconf : public QDialog {
 public:
  TForm_printconf(QWidget* owner, bool setupMode, const PrinterSeams& seams)
      : QDialog(owner), setupMode_(setupMode), seams_(seams), f_(StartPrintSetup()) {
    setObjectName("TForm_printconf");
    setWindowTitle("Ausdruck");
    auto* root = new QVBoxLayout(this);
    label_ = new QLabel(this);
    label_->setObjectName("Label_printer");
    label_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    root->addWidget(label_);
    auto* g = new QGridLayout;
    const auto edit = [&](int row, const char* name, const char* label, const std::string& text) {
      auto* l = new QLabel(QString::fromUtf8(label), this);
      auto* e = new QLineEdit(AnsiToQString(text), this);
      e->setObjectName(name);
      g->addWidget(l, row, 0);
      g->addWidget(e, row, 1);
      return e;
    };
    scaleX_ = edit(0, "Edit_scalex", "Maßstab x", f_.scaleX);
    scaleY_ = edit(1, "Edit_scaley", "Maßstab y", f_.scaleY);
    originX_ = edit(2, "Edit_xorigin", "Ursprung x", f_.originX);
    originY_ = edit(3, "Edit_yorigin", "Ursprung y", f_.originY);
    fit_ = new QCheckBox("anpassen", this);
    fit_->setObjectName("CheckBox_anpassen");
    border_ = new QCheckBox("Umrandung", this);
    border_->setObjectName("CheckBox_umrandung");
    g->addWidget(fit_, 0, 2);
    g->addWidget(border_, 1, 2);
    root->addLayout(g);
    auto* groups = new QHBoxLayout;
    mono_ = Radio("RadioGroup_printmono", "Schattierung", {"Monochrom", "Color / Graustufen"});
    orient_ = Radio("RadioGroup_hochquer", "Ausdruck", {"Hochformat", "Querformat"});
    groups->addWidget(mono_);
    groups->addWidget(orient_);
    root->addLayout(groups);
    auto* buttons = new QHBoxLayout;
    const auto button = [&](const char* name, const QString& text, std::function<void()> act) {
      auto* b = new QPushButton(text, this);
      b->setObjectName(name);
      connect(b, &QPushButton::clicked, this, std::move(act));
      buttons->addWidget(b);
      return b;
    };
    button("Button_ok", "OK", [this] { Ok(); })->setDefault(true);
    button("Button_cancel", "Abbrechen", [this] { reject(); });
    button("Button_help", "&Hilfe", [] { ShowHelpText(1030, "", 1); });
    button("Button_db", "Datenbank", [this] {
      Collect();
      if (LoadPrintPreset(f_)) Load();
    });
    button("Button_append", QString::fromUtf8("Ü&bernehmen Datenbank"), [this] {
      Collect();
      AppendPrintPreset(f_);
      G().AbortFlag = 0;
    });
    button("Button_printer", "Drucker...", [this] {
      bool landscape = Printer().Landscape();
      if (seams_.printDialog && seams_.printDialog(landscape)) {
        Printer().SetLandscape(landscape);
        Collect();
        f_.orientation = landscape ? 1 : 0;
        Load();
        ShowPrinterName();
      }
    });
    root->addLayout(buttons);
    Load();
    ShowPrinterName();
    adjustSize();
    PlaceDialog(this, {0, 0, width(), height()});
  }

 private:
  QGroupBox* Radio(const char* name, const char* caption, std::initializer_list<const char*> items) {
    auto* box = new QGroupBox(QString::fromUtf8(caption), this);
    box->setObjectName(name);
    auto* l = new QVBoxLayout(box);
    auto* group = new QButtonGroup(box);
    int i = 0;
    for (const char* item : items) {
      auto* b = new QRadioButton(QString::fromUtf8(item), box);
      b->setObjectName(QString("%1_%2").arg(name).arg(i));
      group->addButton(b, i++);
      l->addWidget(b);
    }
    return box;
  }
  static int Checked(QGroupBox* box) {
    const auto buttons = box->findChildren<QRadioButton*>();
    for (int i = 0; i < buttons.size(); ++i)
      if (buttons[i]->isChecked()) return buttons[i]->objectName().section('_', -1).toInt();
    return 0;
  }
  static void Check(QGroupBox* box, int index) {
    if (auto* b = box->findChild<QRadioButton*>(QString("%1_%2").arg(box->objectName()).arg(index))) b->setChecked(true);
  }
  void Load() {
    scaleX_->setText(AnsiToQString(f_.scaleX));
    scaleY_->setText(AnsiToQString(f_.scaleY));
    originX_->setText(AnsiToQString(f_.originX));
    originY_->setText(AnsiToQString(f_.originY));
    fit_->setChecked(f_.fit);
    border_->setChecked(f_.border);
    Check(mono_, f_.colour);
    Check(orient_, f_.orientation);
  }
  void Collect() {
    f_.scaleX = QStringToAnsi(scaleX_->text());
    f_.scaleY = QStringToAnsi(scaleY_->text());
    f_.originX = QStringToAnsi(originX_->text());
    f_.originY = QStringToAnsi(originY_->text());
    f_.fit = fit_->isChecked();
    f_.border = border_->isChecked();
    f_.colour = Checked(mono_);
    f_.orientation = Checked(orient_);
  }
  void ShowPrinterName() {
    const std::string name = seams_.facts ? seams_.facts().name : std::string();
    label_->setText(Utf8(PrinterLabel(name)));
  }
  void Ok() {
    Collect();
    PrintSetupOk(f_, setupMode_, [this] {
      if (seams_.facts) ShowPrinterInfo(this, seams_.facts());
    });
    accept();
  }

  bool setupMode_;
  PrinterSeams seams_;
  PrintSetupForm f_;
  QLabel* label_;
  QLineEdit *scaleX_, *scaleY_, *originX_, *originY_;
  QCheckBox *fit_, *border_;
  QGroupBox *mono_, *orient_;
};

}  // namespace

PrinterSeams QtPrinterSeams(QWidget* owner) {
  PrinterSeams s;
  // Without a system printer the dialog still offers the PDF file printer.
  s.printDialog = [owner](bool& landscape) {
    QPrinter printer;
    printer.setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    QPrintDialog dialog(&printer, owner);
    dialog.setObjectName("PrintDialog1");
    if (dialog.exec() != QDialog::Accepted) return false;
    landscape = printer.pageLayout().orientation() == QPageLayout::Landscape;
    return true;
  };
  s.facts = [] {
    PrinterFacts f;
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    QPrinter printer(QPrinter::HighResolution);
    if (info.isNull()) {
      f.name = "PDF";
      printer.setOutputFormat(QPrinter::PdfFormat);
      f.technology = 5;  // a file of drawing commands
      f.colours = 1LL << 24;
    } else {
      f.name = info.printerName().toStdString();
      printer.setPrinterName(info.printerName());
      f.driver = info.makeAndModel().toStdString();
      f.technology = 2;  // the printer system sends raster pages
      f.colours = info.supportedColorModes().contains(QPrinter::Color) ? 1LL << 24 : 2;
    }
    const QPageLayout layout = printer.pageLayout();
    const QRectF mm = layout.paintRect(QPageLayout::Millimeter);
    const int dpi = printer.resolution();
    const QRect paint = layout.paintRectPixels(dpi), full = layout.fullRectPixels(dpi);
    f.widthMm = qRound(mm.width()), f.heightMm = qRound(mm.height());
    f.widthPx = paint.width(), f.heightPx = paint.height();
    f.offsetXPx = paint.left() - full.left(), f.offsetYPx = paint.top() - full.top();
    f.dpiX = f.dpiY = dpi;
    for (const QString& family : QFontDatabase::families()) f.fonts.push_back(family.toStdString());
    return f;
  };
  return s;
}

bool RunPrintSetup(QWidget* owner, bool setupMode, const PrinterSeams& seams) {
  TForm_printconf form(owner, setupMode, seams);
  if (form.exec() != QDialog::Accepted) {
    G().AbortFlag = 1;
    return false;
  }
  return true;
}

void ShowPrinterInfo(QWidget* owner, const PrinterFacts& facts) {
  QDialog form(owner);
  form.setObjectName("TForm_printerinfo");
  form.setWindowTitle("Printer Info");
  auto* root = new QVBoxLayout(&form);
  const auto rows = PrinterInfoRows(facts);
  auto* grid = new QTableWidget(static_cast<int>(rows.size()), 2, &form);
  grid->setObjectName("StringGrid1");
  grid->horizontalHeader()->hide();
  grid->verticalHeader()->hide();
  grid->setColumnWidth(0, 150);
  grid->setColumnWidth(1, 150);
  grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  for (int r = 0; r < grid->rowCount(); ++r) {
    grid->setItem(r, 0, new QTableWidgetItem(Utf8(rows[static_cast<std::size_t>(r)].first)));
    grid->setItem(r, 1, new QTableWidgetItem(Utf8(rows[static_cast<std::size_t>(r)].second)));
  }
  root->addWidget(grid);
  auto* ok = new QPushButton("OK", &form);
  ok->setObjectName("Button_ok");
  ok->setDefault(true);
  QObject::connect(ok, &QPushButton::clicked, &form, &QDialog::accept);
  root->addWidget(ok, 0, Qt::AlignHCenter);
  PlaceDialog(&form, {0, 0, 340, 460});
  form.exec();
}

}  // namespace zeb
