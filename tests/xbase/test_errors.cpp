// Error routine, error texts and the stop step.
#include <cerrno>
#include <map>
#include <optional>

#include "platform/codepage.h"
#include "platform/files.h"
#include "x1_support.h"
#include "xbase/core/callbacks.h"

namespace zeb::xbase {
namespace {

using test::EngineTest;

// The code table as published, typed here in UTF-8.
const std::map<int, std::string>& PublishedTable() {
  static const std::map<int, std::string> t = {
      {1, "Unzulässiger DOS-Funktionscode"},
      {2, "Datei nicht gefunden"},
      {3, "Pfad nicht gefunden"},
      {4, "Zu viele Dateien geöffnet"},
      {5, "Dateizugriff verweigert"},
      {6, "Unzulässiges Datei-Handle"},
      {8, "Zu wenig Speicher"},
      {9, "Unzulässige Speicherblock-Adresse"},
      {10, "Ungültige MS-DOS-Umgebung"},
      {11, "Unzulässiges Aufrufformat"},
      {12, "Unzulässiger Dateizugriff "},
      {13, "Datenfehler"},
      {14, "Ungültiges Peripheriegerät"},
      {15, "Unzulässige Laufwerknummer."},
      {16, "Entfernen des aktiven Verzeichnisses unzulässig"},
      {17, "Umbenennung auf ein anderes Laufwerk unzulässig"},
      {18, "Zu viele Dateien geöffnet"},
      {19, "Diskette schreibgeschützt"},
      {20, "Ungültiges Peripheriegerät"},
      {21, "Laufwerk nicht bereit"},
      {23, "Prüfsummenfehler"},
      {24, "Ungültiger Diskparameterblock"},
      {25, "Plattenpositionierungsfehler"},
      {26, "Unbekanntes Medium"},
      {27, "Sektor nicht gefunden."},
      {28, "Kein Papier im Drucker"},
      {29, "Schreibfehler bei Zugriff auf Peripheriegerät"},
      {30, "Lesefehler bei Zugriff auf Peripheriegerät"},
      {31, "Allgemeiner Fehler"},
      {32, "Fehler beim gemeinsamen Dateizugriff"},
      {33, "Fehler bei Dateisperre"},
      {34, "Unzulässiger Diskettenwechsel"},
      {35, "Zugriff zum Dateikontrollblock unmöglich"},
      {36, "Überlauf des gemeinsamen Dateipuffers"},
      {50, "Netzwerkanfrage nicht unterstützt"},
      {51, "Gerät mit Fernzugriff nicht bereit"},
      {52, "Doppelte Namensgebung auf Netzwerk"},
      {53, "Netzwerkname nicht gefunden"},
      {54, "Netzwerk überlastet"},
      {55, "Gerät nicht mehr auf dem Netzwerk vorhanden"},
      {56, "NetBios Befehlsgrenze überschritten"},
      {57, "Gerätefehler im Netzwerk-Adapter"},
      {58, "Falsche Antwort vom Netzwerk"},
      {59, "Unerwarteter Netzwerkfehler"},
      {60, "Konflikt beim Adapter mit Fernzugriff"},
      {100, "Disketten-/Festplatten-Lesefehler"},
      {101, "Disketten-/Festplatten-Schreibfehler"},
      {102, "Datei nicht zugewiesen (assign)"},
      {103, "Datei nicht geöffnet"},
      {104, "Datei zur Eingabe nicht geöffnet"},
      {105, "Datei zur Ausgabe nicht geöffnet"},
      {106, "Unzulässiges Zahlenformat"},
      {150, "Diskette schreibgeschützt"},
      {151, "Ungültiges Peripheriegerät"},
      {152, "Laufwerk nicht bereit"},
      {154, "Prüfsummenfehler"},
      {155, "Ungültiger Diskparameterblock"},
      {156, "Plattenpositionierungsfehler"},
      {157, "Unbekanntes Medium"},
      {158, "Sektor nicht gefunden."},
      {159, "Kein Papier im Drucker"},
      {160, "Schreibfehler bei Zugriff auf Peripheriegerät"},
      {161, "Lesefehler bei Zugriff auf Peripheriegerät"},
      {162, "Fehler beim gemeinsamen Dateizugriff"},
      {200, "Division durch Null"},
      {201, "Bereichsprüffehler"},
      {202, "Stapelüberlauf"},
      {203, "Heapüberlauf"},
      {204, "Unzulässige Zeigeroperation"},
      {205, "Fließkommaüberlauf"},
      {206, "Fließkommaunterlauf"},
      {207, "Fließkommafehler"},
      {208, "Overlay-Manager nicht installiert"},
      {209, "Overlay-Lesefehler"},
      {210, "Keine dBASE-Datei"},
      {211, "Unzulässige Feldangabe"},
      {212, "Anfrage außerhalb Bereich"},
      {213, "Unerwartetes Dateiende"},
      {214, "Datenbank wird bereits benutzt"},
      {215, "Keine Datenbank (bzw. kein Arbeitsbereich) geöffnet."},
      {216, "Allgemeine Schutzverletzung (GPF)"},
      {217, "Zu wenig Platz im Arbeitsspeicher"},
      {218, "Unzulässige Zeigervariable"},
      {219, "Datei-Handle nicht duplizierbar"},
      {220, "Unzulässiger Parameter"},
      {221, "Index-Datei nicht geöffnet"},
      {222, "Beschädigte Index-Datei"},
      {223, "Falsche Index-Version"},
      {224, "Zyklische Relation"},
      {225, "Exklusiver Zugriff erforderlich"},
      {226, "BROWSE nicht aktiv"},
      {227, "Speichermediumplatz unzureichend "},
      {228, "Anzahl Push/Pops nicht ausgeglichen "},
      {229, "dBASE IV Memo-Dateien nicht unterstützt"},
      {230, "Keine dBASE Variablen geladen"},
      {231, "Bildschirmbibliothek nicht gefunden"},
      {239, "Fehlender Doppelpunkt in der Zeitangabe"},
      {240, "Nicht-numerisches Zeichen in der Zeitangabe"},
      {241, "Ungültige Zeitangabe"},
      {242, "Negative Zeitangabe"},
      {243, "Negatives TimeDiff-Ergebnis"},
      {254, "Interner XBASE-Fehler"},
      {266, "Unzulässige Größe des Datenpuffers"},
      {1003, "Unzulässige Memo-Adresse"},
      {1004, "Speichermedium voll "},
      {1005, "Memo-Schreibfehler"},
      {1007, "Memo ist bereits geöffnet"},
      {1012, "Unzureichender Speichermediumplatz zum Packen der Memo-Datei"},
      {1017, "Memo-Datei nicht sperrbar"},
      {1018, "Memo-Datei nicht entsperrbar"},
      {1019, "Unzulässige Memo-Operation: Datei nicht geöffnet oder kein Memo-Feld in der Datei"},
      {1100, "Nicht anwendbar bei eingebundenen Listen"},
      {1101, "Virtuelle Datei-Verwaltungs-Unit nicht eingebunden"},
      {1102, "Fehler in der Verwaltung der virtuellen Datei"},
      {1103, "Unzulässige Ausführung "},
      {1200, "Datensatz nicht gesperrt"},
      {1201, "Datei nicht gesperrt"},
      {1202, "Semaphore-Dateifehler. Abhilfe: Am Netzwerk anmelden oder SHARE.EXE vor dem Start von Windows laden"},
      {1300, "File format not supported"},
  };
  return t;
}

std::string Ansi(const std::string& utf8) { return FromUtf8(CodePage::Cp1252, utf8); }

TEST(TzErrorText, EveryCodeMatchesThePublishedTable) {
  const auto& table = PublishedTable();
  EXPECT_EQ(TzErrorText(0), "");
  int mismatches = 0;
  for (int code = 1; code <= 65535; ++code) {
    std::string text;
    if (auto it = table.find(code); it != table.end()) text = it->second;
    else if (code >= 1203 && code <= 1299) text = "Netzwerkfehler";
    else text = "Unbekannter Fehler";
    std::string expected = Ansi("Fehler Nr. " + std::to_string(code) + " (" + text + ")");
    if (TzErrorText(static_cast<std::uint16_t>(code)) != expected && ++mismatches < 5)
      ADD_FAILURE() << code << ": " << TzErrorText(static_cast<std::uint16_t>(code));
  }
  EXPECT_EQ(mismatches, 0);
  // Spot checks of the byte forms.
  EXPECT_EQ(TzErrorText(65535), "Fehler Nr. 65535 (Unbekannter Fehler)");
  EXPECT_EQ(TzErrorText(210), "Fehler Nr. 210 (Keine dBASE-Datei)");
  EXPECT_EQ(TzErrorText(212), "Fehler Nr. 212 (Anfrage au\xDF" "erhalb Bereich)");
  EXPECT_EQ(TzErrorTableText(227).back(), ' ');
}

class StopStep : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    cb = std::make_shared<HeadlessTzCallback>();
    SetTzCallback(cb);
  }
  std::shared_ptr<HeadlessTzCallback> cb;
};

TEST_F(StopStep, CodeZeroRecordsTextButStopsNothing) {
  TzError(0, "nichts [X]");
  EXPECT_TRUE(cb->events.empty());
  EXPECT_TRUE(exitCodes.empty());
  EXPECT_EQ(TzCurrentError(), 0);
}

TEST_F(StopStep, SwitchOffOnlyRecordsAndMessageIsTakenOnce) {
  EXPECT_TRUE(SetTzErrorSwitch(false));
  TzError(213, "Datei:  a.dbf  [GetDbfRecord]");
  EXPECT_EQ(TzCurrentError(), 213);
  EXPECT_TRUE(cb->events.empty());
  EXPECT_EQ(TzLastErrorMessage(), "Fehler Nr. 213 (Unerwartetes Dateiende)\r\nDatei:  a.dbf  [GetDbfRecord]");
  EXPECT_EQ(TzLastErrorMessage(), "");
  EXPECT_EQ(TzCurrentError(), 213);  // the current code stays for the caller
  EXPECT_FALSE(SetTzErrorSwitch(true));
}

TEST_F(StopStep, TakeLastErrorTextClearsTextAndCode) {
  SetTzErrorSwitch(false);
  TzError(2, "x [Y]");
  EXPECT_EQ(TzTakeLastErrorText(), "x [Y]");
  EXPECT_EQ(Engine().lastError, 0);
  EXPECT_EQ(TzTakeLastErrorText(), "");
}

TEST_F(StopStep, RaiseModeThrowsTheWholeTwoLineMessage) {
  EXPECT_FALSE(SetTzRaiseMode(true));
  std::string longText(400, 'x');
  try {
    TzError(212, longText + " [SKIP]");
    FAIL() << "no exception";
  } catch (const ETzError& e) {
    EXPECT_EQ(std::string(e.what()), Ansi("Fehler Nr. 212 (Anfrage außerhalb Bereich)") + "\r\n" + longText + " [SKIP]");
  }
  EXPECT_TRUE(cb->events.empty());
  EXPECT_TRUE(exitCodes.empty());
  // Caught as the standard base too.
  EXPECT_THROW(TzError(5, "a"), std::runtime_error);
}

TEST_F(StopStep, BoxIsWholeAndTheProcessEndsWithTheCode) {
  std::string longText(400, 'y');
  TzError(210, longText);
  ASSERT_EQ(cb->events.size(), 1u);
  const auto& box = cb->events[0];
  EXPECT_EQ(box.kind, "box");
  EXPECT_EQ(box.caption, "Programm angehalten.");
  EXPECT_EQ(box.flags, 16);
  const std::string full = "Fehler Nr. 210 (Keine dBASE-Datei)\r\n" + longText;
  EXPECT_EQ(box.text, full);
  ASSERT_EQ(exitCodes.size(), 1u);
  EXPECT_EQ(exitCodes[0], 210);
  EXPECT_TRUE(Engine().halting);
  // While halting the stop step does nothing more.
  TzError(5, "again");
  EXPECT_EQ(cb->events.size(), 1u);
  EXPECT_EQ(exitCodes.size(), 1u);
}

TEST_F(StopStep, ExitCodeNeverReadsAsSuccess) {
  TzError(256, "x");
  TzError(1200, "y");  // halting: ignored
  ASSERT_EQ(exitCodes.size(), 1u);
  EXPECT_EQ(exitCodes[0], 1);
  ResetTzEngine();
  SetTzExitHandler([this](int c) { exitCodes.push_back(c); });
  TzError(1200, "x");  // 1200 & 0xFF = 176
  EXPECT_EQ(exitCodes.back(), 176);
}

TEST_F(StopStep, ConfirmActionAnswersFromTheScript) {
  cb->answers = {2, 1};
  EXPECT_FALSE(ConfirmAction("PACK a.dbf"));
  EXPECT_TRUE(ConfirmAction("PACK a.dbf"));
  EXPECT_TRUE(ConfirmAction("PACK a.dbf"));  // empty script: OK
  ASSERT_EQ(cb->events.size(), 3u);
  EXPECT_EQ(cb->events[0].caption, "");
  EXPECT_EQ(cb->events[0].flags, 33);
}

TEST(TzErrno, MapsTheDocumentedCodes) {
  EXPECT_EQ(ErrnoToTzCode(0), 0);
  EXPECT_EQ(ErrnoToTzCode(ENOENT), 2);
  EXPECT_EQ(ErrnoToTzCode(ENOTDIR), 3);
  EXPECT_EQ(ErrnoToTzCode(EMFILE), 4);
  EXPECT_EQ(ErrnoToTzCode(EACCES), 5);
  EXPECT_EQ(ErrnoToTzCode(EPERM), 5);
  EXPECT_EQ(ErrnoToTzCode(EBADF), 6);
  EXPECT_EQ(ErrnoToTzCode(ENOMEM), 8);
  EXPECT_EQ(ErrnoToTzCode(EROFS), 19);
  EXPECT_EQ(ErrnoToTzCode(ENOSPC), 101);
  EXPECT_EQ(ErrnoToTzCode(EFBIG), 101);
  EXPECT_EQ(ErrnoToTzCode(EIO), 31);
}

}  // namespace
}  // namespace zeb::xbase

namespace zeb::xbase {
namespace {

// What a box shows of an engine failure: the routine in brackets closing a
// line goes (arguments with brackets of their own too), a file of the
// temporary folder is named as such, also when the folder's path holds a
// blank; the rest stays as written.
TEST(UserFailureText, LeavesOutTheRoutineAndTemporaryPaths) {
  const test::ScratchDir scratch;
  const std::string blank = scratch / "mit Leerzeichen";
  ASSERT_TRUE(std::filesystem::create_directory(blank));
  const char* set = std::getenv("TMPDIR");
  const std::optional<std::string> before = set != nullptr ? std::optional<std::string>(set) : std::nullopt;
  for (const std::string& folder : {TempDirectory(), blank}) {
    SCOPED_TRACE(folder);
    ::setenv("TMPDIR", folder.c_str(), 1);
    const std::string temp = folder + "/$tlmtemp.ndx";
    const std::string cases[][2] = {
        {"Fehler Nr. 225 (Exklusiver Zugriff erforderlich)\r\n/d/din2076.dbf [MakeIndex(<D>," + temp + ")]",
         "Fehler Nr. 225 (Exklusiver Zugriff erforderlich)\n/d/din2076.dbf"},
        {"Fehler beim Packen von /d/t.dbf [Pack]", "Fehler beim Packen von /d/t.dbf"},
        {"Datei nicht ge\xF6" "ffnet" + temp + " [MakeIndex]", "Datei nicht ge\xF6" "ffnet (tempor\xE4re Datei)"},
        {"Die Datei " + temp + " kann nicht geschrieben werden: voll.",
         "Die Datei (tempor\xE4re Datei) kann nicht geschrieben werden: voll."},
        {"Feld [A] ist leer", "Feld [A] ist leer"},
    };
    for (const auto& c : cases) EXPECT_EQ(UserFailureText(c[0]), c[1]) << c[0];
  }
  if (before)
    ::setenv("TMPDIR", before->c_str(), 1);
  else
    ::unsetenv("TMPDIR");
}

}  // namespace
}  // namespace zeb::xbase
