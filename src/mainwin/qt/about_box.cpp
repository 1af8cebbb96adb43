#include "mainwin/qt/about_box.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/files.h"
#include "base/globals.h"
#include "base/qt/forms.h"
#include "base/qt/qt_convert.h"
#include "base/services.h"
#include "base/text.h"

namespace zeb {

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
  setObjectName("TAboutBox");
  setWindowTitle("Info");
  auto* layout = new QVBoxLayout(this);
  auto* panel = new QFrame(this);
  panel->setObjectName("Panel1");
  panel->setFrameShape(QFrame::Panel);
  panel->setFrameShadow(QFrame::Raised);
  auto* inner = new QVBoxLayout(panel);
  const auto label = [&](QLabel*& l, const char* name) {
    l = new QLabel(panel);
    l->setObjectName(QString::fromLatin1(name));
    inner->addWidget(l);
  };
  label(Label_extended, "Label_extended");
  label(ProductName, "ProductName");
  label(Label_fileversion, "Label_fileversion");
  label(Label_sonderversion, "Label_sonderversion");
  label(Label_maker, "Label_maker");
  label(Label_user, "Label_user");
  layout->addWidget(panel);
  OKButton = new QPushButton("OK", this);
  OKButton->setObjectName("OKButton");
  OKButton->setDefault(true);
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
  layout->addWidget(OKButton, 0, Qt::AlignHCenter);

  PlaceDialog(this, {0, 0, 298, 212});
  Graphics().GrafClear();
  Graphics().GrafDrawLogo();
  // The box opens over the logo.
  Graphics().FlushPicture();
  const BaseGlobals& g = G();
  Label_extended->setText(AnsiToQString(OemToAnsiStr(g.ProgramTitle)));
  QFont big = Label_extended->font();
  big.setBold(true);
  Label_extended->setFont(big);
  ProductName->setText(QString::fromUtf8("Version ") + AnsiToQString(g.ProgramVersion) + QString::fromUtf8(" für Linux"));
  Label_sonderversion->clear();
  Label_fileversion->setText("File Version : " + AnsiToQString(GetFileVersionString("w" + g.ProgramShortName + ".exe")));
  Label_maker->setText("TALMORE Federberechnung");
  const std::string user = GetEnvVar("USER");
  Label_user->setText("Benutzer: " + QString::fromLocal8Bit(user.empty() ? GetEnvVar("USERNAME").c_str() : user.c_str()));
  setWindowTitle(AnsiToQString(g.ProductName));
}

}  // namespace zeb
