// Numbers are formatted and parsed the same under a German locale with a
// QApplication running (Qt sets the process locale from the environment).
#include <clocale>
#include <cstdio>

#include <QLocale>

#include "base/format.h"
#include "base/globals.h"
#include "support_qt.h"

namespace zeb::qttest {
namespace {

class GermanLocale : public QtTest {
 protected:
  void SetUp() override {
    QtTest::SetUp();
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "locale de_DE.UTF-8 missing";
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);
    ASSERT_STREQ(probe, "1,5") << "the locale does not use a decimal comma";
  }
  void TearDown() override {
    std::setlocale(LC_ALL, "C");
    QLocale::setDefault(QLocale::c());
    QtTest::TearDown();
  }
};

TEST_F(GermanLocale, FormattingKeepsThePoint) {
  EXPECT_EQ(FloatToStrSig(12.34L), "12.34");
  EXPECT_EQ(FloatToStrSig(0.01234L), "0.0123");
  EXPECT_EQ(FloatToStrAuto(45000.0L), "45E3");
  EXPECT_EQ(FloatToStrDec(2, 3.14159L), "3.14");
  G().UnitSystem = 1;
  EXPECT_EQ(FormatLength(25.4L), "1.0000");
  G().UnitSystem = 2;
  EXPECT_EQ(FormatForce(1500.0L), "1.5");
}

TEST_F(GermanLocale, ParsingTakesPointAndFirstComma) {
  EXPECT_EQ(TextToFloat("2,5"), 2.5L);
  EXPECT_EQ(TextToFloat(" 12.5"), 12.5L);
  EXPECT_EQ(TextToFloat("1,234,5"), 0.0L);
  EXPECT_EQ(TextToFloat("1.234,5"), 0.0L);
  EXPECT_EQ(TextToInt("42"), 42);
  G().UnitSystem = 2;
  EXPECT_EQ(ParseForce("1,5"), 1500.0L);
}

}  // namespace
}  // namespace zeb::qttest
