// The installed-length and rotation forms on Qt (offscreen), driven by their
// object names. With ZEB1_SCREENSHOTS set to a folder each form is saved
// there as a picture once (for the review under a real display).
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTest>
#include <charconv>
#include <cmath>
#include <cstring>
#include <cstdlib>
#include <numbers>

#include "base/globals.h"
#include "base_qt/support_qt.h"
#include "drawings/qt/drawing_dialogs.h"
#include "settings/config.h"
#include "spring/spring_data.h"

namespace zeb::qttest {
namespace {

constexpr double kDeg = std::numbers::pi / 180;

void SetEdit(QWidget* d, const char* name, const QString& text) {
  auto* e = Child<QLineEdit>(d, name);
  if (!e) return;
  e->setFocus();
  e->selectAll();
  QTest::keyClicks(e, text);
  // Leaving the edit.
  QMetaObject::invokeMethod(e, "editingFinished");
}

class DrawingDialogs : public QtTest {
 protected:
  void SetUp() override {
    QtTest::SetUp();
    ResetSpringGlobals();
    ResetConfigDefaults();
    G().UnitSystem = 0;
    SpringDataRecord& s = SpringData();
    s.Lc = 12.4L, s.L0 = 40.6L, s.L1 = 35.25L, s.L2 = 30.123456L, s.L = s.L0;
  }
};

TEST_F(DrawingDialogs, InstalledLengthRangeButtonsAndOk) {
  WhenShown("TForm_zeb1dxf", [](QWidget* d) {
    Screenshot(d, "TForm_zeb1dxf");
    auto* bar = Child<QSlider>(d, "TrackBar1");
    EXPECT_EQ(13, bar->minimum());
    EXPECT_EQ(40, bar->maximum());
    EXPECT_EQ(QString("40.6"), Child<QLineEdit>(d, "Edit_l")->text());
    EXPECT_EQ(QString("mm"), Child<QLabel>(d, "Label_lu")->text());
    EXPECT_EQ(QString::fromUtf8("Einbaulänge L"), Child<QLabel>(d, "Label_l")->text());
    QTest::mouseClick(Child<QPushButton>(d, "Button_l2"), Qt::LeftButton);
    EXPECT_EQ(30, bar->value());
    QTest::mouseClick(Child<QPushButton>(d, "Button_ok"), Qt::LeftButton);
  });
  G().AbortFlag = 1;
  TForm_zeb1dxf form;
  form.RunModal();
  EXPECT_EQ(0, G().AbortFlag);
  EXPECT_EQ(30.123456L, SpringData().L);  // exactly L2, not the text shown
}

TEST_F(DrawingDialogs, InstalledLengthInInches) {
  G().UnitSystem = 1;
  WhenShown("TForm_zeb1dxf", [](QWidget* d) {
    EXPECT_EQ(QString("in"), Child<QLabel>(d, "Label_lu")->text());
    auto* bar = Child<QSlider>(d, "TrackBar1");
    EXPECT_EQ(1, bar->minimum());  // 0.488 in .. 1.598 in
    EXPECT_EQ(1, bar->maximum());
    SetEdit(d, "Edit_l", "1.0000");
    QTest::mouseClick(Child<QPushButton>(d, "Button_ok"), Qt::LeftButton);
  });
  TForm_zeb1dxf form;
  form.RunModal();
  EXPECT_NEAR(25.4, double(SpringData().L), 1e-9);
}

TEST_F(DrawingDialogs, InstalledLengthRefusesOnlyTextsThatAreNoNumbers) {
  WhenShown("TForm_zeb1dxf", [](QWidget* d) {
    for (const char* bad : {"abc", "", "inf"}) {
      SetEdit(d, "Edit_l", QString::fromLatin1(bad));
      AnswerBox("Ungültige Eingabe", QMessageBox::Ok);
      QTest::mouseClick(Child<QPushButton>(d, "Button_ok"), Qt::LeftButton);
      EXPECT_TRUE(d->isVisible()) << bad;
    }
    d->close();
  });
  // Closing the window keeps the abort flag either way.
  for (const int before : {0, 1}) {
    G().AbortFlag = before;
    TForm_zeb1dxf form;
    form.RunModal();
    EXPECT_EQ(before, G().AbortFlag);
    EXPECT_EQ(40.6L, SpringData().L);
    if (before == 0)
      WhenShown("TForm_zeb1dxf", [](QWidget* d) { d->close(); });
  }
  // Lengths outside Lc .. L0 are drawn as typed; the bar stays in its range.
  for (const char* out : {"12.3", "40.7", "-5", "1e99"}) {
    WhenShown("TForm_zeb1dxf", [out](QWidget* d) {
      SetEdit(d, "Edit_l", QString::fromLatin1(out));
      auto* bar = Child<QSlider>(d, "TrackBar1");
      EXPECT_GE(bar->value(), 13);
      EXPECT_LE(bar->value(), 40);
      QTest::mouseClick(Child<QPushButton>(d, "Button_ok"), Qt::LeftButton);
    });
    G().AbortFlag = 1;
    TForm_zeb1dxf form;
    form.RunModal();
    EXPECT_EQ(0, G().AbortFlag) << out;
    // The typed text's value, read alike in every language.
    double typed = 0;
    std::from_chars(out, out + std::strlen(out), typed);
    EXPECT_EQ(typed, double(SpringData().L)) << out;
  }
  // Escape is Cancel.
  WhenShown("TForm_zeb1dxf", [](QWidget* d) { QTest::keyClick(d, Qt::Key_Escape); });
  G().AbortFlag = 0;
  TForm_zeb1dxf escaped;
  escaped.RunModal();
  EXPECT_EQ(1, G().AbortFlag);
}

TEST_F(DrawingDialogs, InstalledLengthFieldTakesTheBarOnCaretOrLeavingIt) {
  WhenShown("TForm_zeb1dxf", [](QWidget* d) {
    d->activateWindow();
    // 20 s: a hang bound; a window is active within milliseconds.
    EXPECT_TRUE(QTest::qWaitForWindowActive(d, 20000));
    auto* bar = Child<QSlider>(d, "TrackBar1");
    auto* edit = Child<QLineEdit>(d, "Edit_l");
    bar->setFocus();
    bar->setValue(20);
    EXPECT_EQ(QString("40.6"), edit->text());  // moving alone changes nothing
    edit->setFocus();  // the bar loses the focus
    EXPECT_EQ(QString("20"), edit->text());
    bar->setValue(25);
    EXPECT_EQ(QString("20"), edit->text());
    QTest::mouseClick(Child<QPushButton>(d, "Button1"), Qt::LeftButton);
    EXPECT_EQ(QString("25"), edit->text());
    QTest::mouseClick(Child<QPushButton>(d, "Button_ok"), Qt::LeftButton);
  });
  TForm_zeb1dxf form;
  form.RunModal();
  EXPECT_EQ(25.0L, SpringData().L);
}

TEST_F(DrawingDialogs, RotationPresetsOkAndCancel) {
  auto& a = Config().Default3DAngles;
  WhenShown("TForm_cadutil8", [](QWidget* d) {
    Screenshot(d, "TForm_cadutil8");
    EXPECT_EQ(QString("-15"), Child<QLineEdit>(d, "Edit_x")->text());
    EXPECT_EQ(210, Child<QScrollBar>(d, "ScrollBar_z")->value());
    QTest::mouseClick(Child<QPushButton>(d, "Button_xy"), Qt::LeftButton);
    EXPECT_EQ(QString("-360"), Child<QLineEdit>(d, "Edit_z")->text());
    QTest::mouseClick(Child<QPushButton>(d, "Button_ok"), Qt::LeftButton);
  });
  TForm_cadutil8 first;
  first.RunModal();
  EXPECT_NEAR(0, double(a[0]), 1e-15);
  EXPECT_NEAR(90 * kDeg, double(a[1]), 1e-15);
  EXPECT_NEAR(-360 * kDeg, double(a[2]), 1e-15);

  WhenShown("TForm_cadutil8", [](QWidget* d) {
    QTest::mouseClick(Child<QPushButton>(d, "Button1"), Qt::LeftButton);
    EXPECT_EQ(QString("210"), Child<QLineEdit>(d, "Edit_z")->text());
    QTest::mouseClick(Child<QPushButton>(d, "Button_ok"), Qt::LeftButton);
  });
  TForm_cadutil8 second;
  second.RunModal();
  EXPECT_NEAR(-15 * kDeg, double(a[0]), 1e-15);
  EXPECT_NEAR(210 * kDeg, double(a[2]), 1e-15);

  WhenShown("TForm_cadutil8", [](QWidget* d) {
    QTest::mouseClick(Child<QPushButton>(d, "Button_yz"), Qt::LeftButton);
    QTest::mouseClick(Child<QPushButton>(d, "Button_cancel"), Qt::LeftButton);
  });
  G().AbortFlag = 0;
  TForm_cadutil8 third;
  third.RunModal();
  EXPECT_EQ(1, G().AbortFlag);
  EXPECT_NEAR(-15 * kDeg, double(a[0]), 1e-15);
}

TEST_F(DrawingDialogs, RotationEditsRoundHalvesToEvenAndClamp) {
  WhenShown("TForm_cadutil8", [](QWidget* d) {
    SetEdit(d, "Edit_x", "44,5");
    EXPECT_EQ(44, Child<QScrollBar>(d, "ScrollBar_x")->value());
    SetEdit(d, "Edit_x", "45.5");
    EXPECT_EQ(46, Child<QScrollBar>(d, "ScrollBar_x")->value());
    SetEdit(d, "Edit_y", "abc");
    EXPECT_EQ(0, Child<QScrollBar>(d, "ScrollBar_y")->value());
    SetEdit(d, "Edit_z", "720");
    EXPECT_EQ(360, Child<QScrollBar>(d, "ScrollBar_z")->value());
    EXPECT_EQ(QString("720"), Child<QLineEdit>(d, "Edit_z")->text());
    QTest::mouseClick(Child<QPushButton>(d, "Button_ok"), Qt::LeftButton);
  });
  TForm_cadutil8 form;
  form.RunModal();
  auto& a = Config().Default3DAngles;
  EXPECT_NEAR(45.5 * kDeg, double(a[0]), 1e-15);
  EXPECT_EQ(0, a[1]);
  EXPECT_NEAR(720 * kDeg, double(a[2]), 1e-15);
}

}  // namespace
}  // namespace zeb::qttest
