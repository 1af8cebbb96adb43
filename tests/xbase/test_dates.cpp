// Date texts, the stored form, names and the day of the week.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "x1_support.h"
#include "xbase/core/dates.h"

namespace zeb::xbase {
namespace {

using namespace std::chrono;
using test::EngineTest;

class Dates : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    SetEpoch(1956);
    SetCentury(false);
  }
};

std::string Ymd(const year_month_day& d) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d%02u%02u", static_cast<int>(d.year()), static_cast<unsigned>(d.month()),
                static_cast<unsigned>(d.day()));
  return buf;
}

TEST_F(Dates, RoundTripEveryDayForEveryCode) {
  const sys_days first = year_month_day{year{1900}, January, day{1}};
  const sys_days last = year_month_day{year{2099}, December, day{31}};
  for (int code = 0; code <= 8; ++code) {
    SetDateFormat(code);
    for (bool century : {false, true}) {
      SetCentury(century);
      int failures = 0;
      for (sys_days d = first; d <= last; d += days{1}) {
        year_month_day ymd{d};
        int y = static_cast<int>(ymd.year());
        if (!century && (y < 1956 || y > 2055)) continue;  // the 2-digit window
        const std::string stored = Ymd(ymd);
        std::string text = DbfToDate(stored);
        if (DateToDbf(text) != stored && ++failures < 4) ADD_FAILURE() << code << " " << century << " " << stored << " " << text;
        std::string check = text;
        if (!IsDateText(check) || check != text) {
          if (++failures < 4) ADD_FAILURE() << "IsDateText " << code << " " << text;
        }
      }
      EXPECT_EQ(failures, 0) << "code " << code << " century " << century;
    }
  }
}

TEST_F(Dates, DayOfWeekAgreesWithTheCalendar) {
  SetCentury(true);
  SetDateFormat(5);
  for (sys_days d = year_month_day{year{1900}, January, day{1}}; d <= sys_days{year_month_day{year{2099}, December, day{31}}};
       d += days{1}) {
    int expected = static_cast<int>(weekday{d}.c_encoding()) + 1;  // 1 = Sunday
    std::string text = DbfToDate(Ymd(year_month_day{d}));
    ASSERT_EQ(DayOfWeek(text), expected) << text;
  }
}

TEST_F(Dates, TheFormsOfOneDay) {
  const char* two[] = {"01/31/26", "26.01.31", "31/01/26", "31-01-26", "31.01.26",
                       "31.01.26", "31.01.26", "31.01.26", "31.01.26"};
  const char* four[] = {"01/31/2026", "2026.01.31", "31/01/2026", "31-01-2026", "31.01.2026",
                        "31.01.2026", "31.01.2026", "31.01.2026", "31.01.2026"};
  for (int code = 0; code <= 8; ++code) {
    SetDateFormat(code);
    SetCentury(false);
    EXPECT_EQ(DbfToDate("20260131"), two[code]);
    EXPECT_EQ(DateToDbf(two[code]), "20260131");
    SetCentury(true);
    EXPECT_EQ(DbfToDate("20260131"), four[code]);
    EXPECT_EQ(DateToDbf(four[code]), "20260131");
    EXPECT_EQ(DateToAmerican(four[code]), "01/31/2026");
  }
}

TEST_F(Dates, EmptyPictures) {
  const char* off[] = {"  /  /  ", "  .  .  ", "  /  /  ", "  -  -  ", "  .  .  ",
                       "  .  .  ", "  .  .  ", "  .  .  ", "  .  .  "};
  const char* on[] = {"  /  /    ", "    .  .  ", "  /  /    ", "  -  -    ", "  .  .    ",
                      "  .  .    ", "  .  .    ", "  .  .    ", "  .  .    "};
  for (int code = 0; code <= 8; ++code) {
    SetCentury(false);
    EXPECT_EQ(EmptyDatePicture(code), off[code]);
    SetCentury(true);
    EXPECT_EQ(EmptyDatePicture(code), on[code]);
  }
  SetDateFormat(5);
  SetCentury(false);
  EXPECT_EQ(DbfToDate("        "), "  .  .  ");
  EXPECT_EQ(DateToDbf("  .  .  "), "        ");
  std::string blank = "  .  .  ";
  EXPECT_TRUE(IsDateText(blank));
}

TEST_F(Dates, EpochAndCentury) {
  EXPECT_EQ(CenturyOf("56"), 1900);
  EXPECT_EQ(CenturyOf("55"), 2000);
  EXPECT_EQ(CenturyDigits("99"), "19");
  EXPECT_EQ(CenturyDigits("00"), "20");
  SetCentury(true);
  EXPECT_EQ(ExpandYear("26"), "2026");
  EXPECT_EQ(ExpandYear("60"), "1960");
  EXPECT_EQ(ExpandYear("7"), "0007");
  SetCentury(false);
  EXPECT_EQ(ExpandYear("26"), "26");
}

TEST_F(Dates, GermanFormatCenturyOff) {
  SetDateFormat(5);
  EXPECT_EQ(DateToAmerican("31.01.26"), "01/31/26");
  EXPECT_EQ(DateFromAmerican("01/31/26"), "31.01.26");
  EXPECT_EQ(DateToDbf("31.01.26"), "20260131");
  EXPECT_EQ(DateToDbf("31.01.60"), "19600131");
  EXPECT_EQ(DateToAmerican("31012026"), "31012026");  // no separator: unchanged
  std::string s = "31.04.26";
  EXPECT_FALSE(IsDateText(s));
  EXPECT_EQ(s, "31.04.26");
  s = "29.02.25";
  EXPECT_FALSE(IsDateText(s));
  s = "29.02.24";
  EXPECT_TRUE(IsDateText(s));
  s = "31.01.2026";
  EXPECT_TRUE(IsDateText(s));
  EXPECT_EQ(s, "31.01.26");
  s = " 1.2.26 ";
  EXPECT_TRUE(IsDateText(s));
  EXPECT_EQ(s, "01.02.26");
  s = "29.02.1900";
  EXPECT_FALSE(IsDateText(s));
  s = "29.02.2000";
  EXPECT_TRUE(IsDateText(s));
  s = "3x.01.26";
  EXPECT_FALSE(IsDateText(s));
}

TEST_F(Dates, YearFirstFormat) {
  SetDateFormat(1);
  SetCentury(true);
  EXPECT_EQ(DateToAmerican("2026.01.31"), "01/31/2026");
  EXPECT_EQ(DateFromAmerican("01/31/2026"), "2026.01.31");
  EXPECT_EQ(YearOf("2026.01.31"), 2026);
  EXPECT_EQ(MonthOf("2026.01.31"), 1);
  EXPECT_EQ(DayOf("2026.01.31"), 31);
}

TEST_F(Dates, NamesInTheOemCodePages) {
  SetDateFormat(5);
  EXPECT_EQ(DayName("29.01.26"), "Donnerstag");  // a Thursday
  EXPECT_EQ(DayName("01.02.26"), "Sonntag   ");
  EXPECT_EQ(MonthName("01.03.26"), "M\x84rz     ");
  EXPECT_EQ(DayName("  .  .  "), std::string(10, ' '));
  EXPECT_EQ(MonthName(""), std::string(10, ' '));
  SetDateFormat(4);
  EXPECT_EQ(MonthName("01.02.26"), "F\x82vrier  ");
  EXPECT_EQ(MonthName("01.08.26"), "Ao\x96t     ");
  EXPECT_EQ(DayName("01.02.26"), "Dimanche");
  SetDateFormat(8);
  // Sunday in code page 866, 11 wide.
  EXPECT_EQ(DayName("01.02.26"), "\x82\xAE\xE1\xAA\xE0\xA5\xE1\xA5\xAD\xEC\xA5");
  EXPECT_EQ(MonthName("01.05.26"), "\x8C\xA0\xA9     ");
  SetDateFormat(6);
  EXPECT_EQ(MonthName("01.09.26"), "Septiembre");
  SetDateFormat(0);
  EXPECT_EQ(DayName("01/03/26"), "Saturday ");
}

TEST_F(Dates, NamesAgreeWithPythonCodecs) {
  // Every name of every code against Python's cp850/cp866 codecs.
  test::ScratchDir dir;
  std::string out;
  const std::string prog = R"(
import datetime
days = {'en':'Sunday Monday Tuesday Wednesday Thursday Friday Saturday','it':'Domenica Lunedi Martedi Mercoledi Giovedi Venerdi Sabato','fr':'Dimanche Lundi Mardi Mercredi Jeudi Vendredi Samedi','de':'Sonntag Montag Dienstag Mittwoch Donnerstag Freitag Samstag','es':'Domingo Lunes Martes Miercoles Jueves Viernes Sabado','ru':'Воскресенье Понедельник Вторник Среда Четверг Пятница Суббота'}
months = {'en':'January February March April May June July August September October November December','it':'Gennaio Febbraio Marzo Aprile Maggio Giugno Luglio Agosto Settembre Ottobre Novembre Dicembre','fr':'Janvier Février Mars Avril Mai Juin Juillet Août Septembre Octobre Novembre Décembre','de':'Januar Februar März April Mai Juni Juli August September Oktober November Dezember','es':'Enero Febrero Marzo Abril Mayo Junio Julio Agosto Septiembre Octubre Noviembre Diciembre','ru':'Январь Февраль Март Апрель Май Июнь Июль Август Сентябрь Октябрь Ноябрь Декабрь'}
lang = ['en','en','en','it','fr','de','es','fr','ru']
dw = [9,9,9,9,8,10,9,8,11]
mw = [9,9,9,9,9,9,10,9,8]
for code in range(9):
    cp = 'cp866' if lang[code] == 'ru' else 'cp850'
    for d in range(1, 8):
        # 2026-02-01 is a Sunday
        date = datetime.date(2026, 2, d)
        name = days[lang[code]].split()[d-1].ljust(dw[code]).encode(cp).hex()
        print(code, 'D', date.strftime('%Y%m%d'), name)
    for m in range(1, 13):
        name = months[lang[code]].split()[m-1].ljust(mw[code]).encode(cp).hex()
        print(code, 'M', '2026%02d15' % m, name)
)";
  ASSERT_EQ(test::RunPython(dir, prog, out), 0) << out;
  std::istringstream lines(out);
  std::string code, kind, stored, hex;
  int n = 0;
  while (lines >> code >> kind >> stored >> hex) {
    SetDateFormat(std::stoi(code));
    std::string text = DbfToDate(stored);
    std::string got = kind == "D" ? DayName(text) : MonthName(text);
    std::string gotHex;
    for (unsigned char c : got) {
      char b[3];
      std::snprintf(b, sizeof b, "%02x", c);
      gotHex += b;
    }
    EXPECT_EQ(gotHex, hex) << code << " " << kind << " " << stored;
    ++n;
  }
  EXPECT_EQ(n, 9 * 19);
}

TEST_F(Dates, StartFormatFromTheLocale) {
  struct Case { const char* lc_all; const char* lc_time; const char* lang; int code; };
  const Case cases[] = {
      {"de_DE.UTF-8", "", "", 5}, {"", "en_US.UTF-8", "", 0}, {"", "", "en_GB.UTF-8", 2},
      {"", "", "it_IT", 3},       {"", "", "fr_CA.UTF-8", 7}, {"", "", "fr_FR@euro", 4},
      {"", "", "es_ES", 6},       {"", "", "ru_RU.KOI8-R", 8}, {"", "", "C", 0},
      {"", "", "", 0},            {"", "it_IT", "de_DE", 3},  {"en_US", "de_DE", "de_DE", 0},
  };
  const char* saved[3];
  const char* names[3] = {"LC_ALL", "LC_TIME", "LANG"};
  std::string keep[3];
  for (int i = 0; i < 3; ++i) {
    saved[i] = std::getenv(names[i]);
    if (saved[i]) keep[i] = saved[i];
  }
  for (const auto& c : cases) {
    setenv("LC_ALL", c.lc_all, 1);
    setenv("LC_TIME", c.lc_time, 1);
    setenv("LANG", c.lang, 1);
    EXPECT_EQ(DateFormatFromLanguage(), c.code) << c.lc_all << "|" << c.lc_time << "|" << c.lang;
  }
  setenv("LC_ALL", "de_DE.UTF-8", 1);
  ResetTzEngine();
  EXPECT_EQ(DateFormat(), 5);
  EXPECT_EQ(Engine().decimalChar, ',');
  setenv("LC_ALL", "ru_RU.UTF-8", 1);
  InitDateFormat();
  EXPECT_EQ(DateFormat(), 8);
  EXPECT_EQ(Engine().thousandsChar, ' ');
  for (int i = 0; i < 3; ++i) {
    if (saved[i]) setenv(names[i], keep[i].c_str(), 1);
    else unsetenv(names[i]);
  }
}

TEST_F(Dates, LeapYearsAndFileTimes) {
  EXPECT_TRUE(IsLeapYear(2000));
  EXPECT_FALSE(IsLeapYear(1900));
  EXPECT_TRUE(IsLeapYear(2024));
  EXPECT_FALSE(IsLeapYear(2025));
  // 2026-01-31 13:45:58
  std::uint32_t packed = ((46u << 9 | 1u << 5 | 31u) << 16) | (13u << 11 | 45u << 5 | 29u);
  FileTimeParts p = UnpackFileTime(packed);
  EXPECT_EQ(p.year, 2026);
  EXPECT_EQ(p.month, 1);
  EXPECT_EQ(p.day, 31);
  EXPECT_EQ(p.hour, 13);
  EXPECT_EQ(p.minute, 45);
  EXPECT_EQ(p.second, 58);
  SetTzToday(year_month_day{year{2026}, January, day{31}});
  int y, m, d, w;
  GetDate(y, m, d, w);
  EXPECT_EQ(y * 10000 + m * 100 + d, 20260131);
  EXPECT_EQ(w, 7);  // a Saturday
}

}  // namespace
}  // namespace zeb::xbase
