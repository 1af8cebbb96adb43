// The work text file: line encodings, CR LF on disk, reading any bytes,
// sharing, and failed writes that leave the old file.
#include <gtest/gtest.h>

#include <cerrno>

#include "base/files.h"
#include "base/globals.h"
#include "base/textfile.h"
#include "support_fixture.h"
#include "test_files_support.h"

namespace zeb {
namespace {

using test::ReadBytes;
using test::WriteBytes;

class TextFileTest : public test::BaseTest {
 protected:
  test::ScratchDir dir;

  std::string WriteWith(const std::string& name, const std::function<void()>& writers) {
    EXPECT_TRUE(OpenWorkTextFileForWriting(dir / name));
    writers();
    EXPECT_EQ(WorkTextFile().Close(), 0);
    return ReadBytes(dir / name);
  }
  void Reading(const std::string& bytes) {
    WriteBytes(dir / "in.txt", bytes);
    ASSERT_TRUE(OpenWorkTextFileForReading(dir / "in.txt"));
  }
};

TEST_F(TextFileTest, WriteReadWriteIsByteIdenticalWithCrLf) {
  const std::string first = WriteWith("1.txt", [] {
    WriteTextNoEol("Feder ");
    WriteTextLine("\x84");  // bytes as they stand
    WriteTextLineInt(-2147483648LL);
    WriteTextLineInt(65535);
    for (Real x : {12.345678L, -3.0L, 0.25L}) WriteTextLineFloat(x);
    WriteTextLineChar(1);
    WriteTextLineStr("x");
    WriteTextLineFields4("a", "", "c", "d");
  });
  EXPECT_EQ(first, "Feder \x84\r\n-2147483648\r\n65535\r\n12.3456780\r\n-3\r\n0.2500000\r\nTRUE\r\nx\r\na||c|d|\r\n");

  ASSERT_TRUE(OpenWorkTextFileForReading(dir / "1.txt"));
  std::string s, a, b, c, d;
  std::int32_t n = 0;
  std::uint16_t w = 0;
  Real x = 0, y = 0, z = 0;
  bool t = false;
  char ch = 0;
  ReadTextLine(s);
  ReadTextLineLongInt(n);
  ReadTextLineWord(w);
  ReadTextLineExt(x);
  ReadTextLineExt(y);
  ReadTextLineExt(z);
  ReadTextLineTrue(t);
  ReadTextLineChar(ch);
  ReadTextLineFields4(a, b, c, d);
  EXPECT_TRUE(WorkTextFile().Eof());
  WorkTextFile().Close();
  EXPECT_EQ(WriteWith("2.txt", [&] {
              WriteTextLine(s);
              WriteTextLineInt(n);
              WriteTextLineInt(w);
              for (Real v : {x, y, z}) WriteTextLineFloat(v);
              WriteTextLineChar(t);
              WriteTextLine(std::string(1, ch));
              WriteTextLineFields4(a, b, c, d);
            }),
            first);
  EXPECT_EQ(WriteWith("3.txt", [] { WriteTextLineFields6("1", "2", "3", "4", "5", ""); }), "1|2|3|4|5||\r\n");
  EXPECT_EQ(G().AbortFlag, 0);
}

TEST_F(TextFileTest, FloatLinesIgnoreTheDecimalsSetting) {
  for (int decimals : {3, 0, 5}) {
    G().DecimalsSetting = decimals;
    EXPECT_EQ(WriteWith("f.txt", [] { for (Real x : {0.0L, -2.0L, 1.0L, 0.5L}) WriteTextLineFloat(x); }),
              "0\r\n-2\r\n1.0000000\r\n0.5000000\r\n")
        << "DecimalsSetting " << decimals;
    EXPECT_EQ(G().DecimalsSetting, decimals);
  }
  // Within 1e-10 below 1 counts as 1: the text reads back to a value that
  // is written the same way again.
  EXPECT_EQ(WriteWith("g.txt", [] { for (Real x : {1.0L - 1e-11L, -1.0L - 1e-11L, 1e-11L}) WriteTextLineFloat(x); }),
            "1.0000000\r\n-1\r\n0\r\n");
}

TEST_F(TextFileTest, ReadersConvertOrGiveZero) {
  Reading("12,5\r\n1,2,3\r\ninf\nnan\n0x10\n1e99999\n 12.5\n12.5 \n"
          "2147483648\n65536\n-1\n65535\n1e39\n7.85\n"
          "true\nyes\nyes\nfalse\nTRUE\n"
          "a||c|d|e\nonly|\n");
  for (Real expected : {12.5L, 0.0L, 0.0L, 0.0L, 0.0L, 0.0L, 12.5L, 0.0L}) {
    Real x = 99;
    ReadTextLineExt(x);
    EXPECT_EQ(x, expected);
  }
  std::int32_t n = 7;
  ReadTextLineInt(n);
  EXPECT_EQ(n, 0);
  for (int expected : {0, 0, 65535}) {
    std::uint16_t w = 7;
    ReadTextLineWord(w);
    EXPECT_EQ(w, expected);
  }
  Real48 r{1, 2, 3, 4, 5, 6};
  ReadTextLineReal48(r);
  EXPECT_EQ(r, (Real48{0, 0, 0, 0, 0, 0}));  // beyond the 6-byte range
  ReadTextLineReal48(r);
  EXPECT_EQ(r, (Real48{0x83, 0x33, 0x33, 0x33, 0x33, 0x7b}));

  bool b1 = false, b2 = true, b3 = false, b4 = true, b5 = false;
  ReadTextLineTrue(b1);
  ReadTextLineTrue(b2);
  ReadTextLineNotFalse(b3);
  ReadTextLineNotFalse(b4);
  EXPECT_TRUE(b1 && !b2 && b3 && !b4);
  G().AbortFlag = 1;  // the variable stays while aborted
  ReadTextLineTrue(b5);
  EXPECT_FALSE(b5);
  G().AbortFlag = 0;

  std::string f1, f2, f3, f4;
  ReadTextLineFields4(f1, f2, f3, f4);
  EXPECT_EQ(f1 + "/" + f2 + "/" + f3 + "/" + f4, "a//c/d");  // "e" has no closing "|"
  ReadTextLineFields4(f1, f2, f3, f4);
  EXPECT_EQ(f1 + "/" + f2 + "/" + f3 + "/" + f4, "only///");
  EXPECT_EQ(G().AbortFlag, 0);
}

TEST_F(TextFileTest, ReadsAnyBytesAndGivesEmptyPastTheEnd) {
  const std::string huge(1 << 20, 'x');
  const std::string binary("\x00\x01\xff\r\x1a", 5);
  Reading("lf\ncrlf\r\n" + binary + "\n" + huge + "|1|2|3|\n" + "last");
  std::string s, a, b, c, d;
  for (const std::string& expected : {std::string("lf"), std::string("crlf"), binary}) {
    ReadTextLine(s);
    EXPECT_EQ(s, expected);
  }
  ReadTextLineFields4(a, b, c, d);  // separators beyond any byte position
  EXPECT_TRUE(a == huge && b + c + d == "123");
  ReadTextLine(s);
  EXPECT_EQ(s, "last");
  EXPECT_TRUE(WorkTextFile().Eof());

  ReadTextLine(s);
  std::int32_t n = 5;
  ReadTextLineInt(n);
  Real x = 5;
  ReadTextLineExt(x);
  char ch = 'q';
  ReadTextLineChar(ch);
  EXPECT_TRUE(s.empty() && n == 0 && x == 0 && ch == '\0');
  EXPECT_EQ(G().AbortFlag, 0);
}

TEST_F(TextFileTest, ProgramHeaderLines) {
  G().ProgramTitle = "ZEB1   Druckfederberechnung";
  G().ProgramVersion = "26.6";
  G().ProgramShortName = "ZEB1";  // program file "WZEB1.exe"
  G().TitleBlockLines[1] = "Titel";
  G().TitleBlockLines[3] = "Zeile 3";
  const std::string rule(65, '-');
  EXPECT_EQ(WriteWith("h.txt", [] { WriteProgramHeaderLines(); }),
            rule + "\r\nZEB1   Druckfederberechnung   V 26.6\r\nVersion 26.6\r\n" + rule +
                "\r\nTitel\r\n\r\nZeile 3\r\n");
}

// Reading finds a file in any case; writing always takes the exact name.
TEST_F(TextFileTest, SharedFileRefusesASecondOpenAndWritesTheExactName) {
  WriteBytes(dir / "ZEB1.ERR", "alt\r\n");
  ::chmod((dir / "ZEB1.ERR").c_str(), 0640);
  ASSERT_TRUE(OpenWorkTextFileForWriting(dir / "ZEB1.ERR"));
  WriteTextLine("neu");
  EXPECT_FALSE(OpenWorkTextFileForReading(dir / "b.txt"));
  EXPECT_EQ(G().AbortFlag, 1);
  G().AbortFlag = 0;
  EXPECT_EQ(WorkTextFile().Reset(), EBUSY);
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_EQ(ReadBytes(dir / "ZEB1.ERR"), "alt\r\n");  // until closed
  CloseFileChecked(WorkTextFile());
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"ZEB1.ERR"});
  EXPECT_EQ(ReadBytes(dir / "ZEB1.ERR"), "neu\r\n");
  struct stat st{};
  ::stat((dir / "ZEB1.ERR").c_str(), &st);
  EXPECT_EQ(st.st_mode & 07777, 0640u);

  ASSERT_TRUE(OpenWorkTextFileForReading(dir / "zeb1.err"));
  std::string s;
  ReadTextLine(s);
  EXPECT_EQ(s, "neu");
  CloseFileChecked(WorkTextFile());

  // A name that differs only in case is another file.
  ASSERT_TRUE(OpenWorkTextFileForWriting(dir / "zeb1.err"));
  WriteTextLine("klein");
  CloseFileChecked(WorkTextFile());
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"ZEB1.ERR", "zeb1.err"}));
  EXPECT_EQ(ReadBytes(dir / "ZEB1.ERR"), "neu\r\n");
  EXPECT_EQ(ReadBytes(dir / "zeb1.err"), "klein\r\n");
}

TEST_F(TextFileTest, ShortWriteLeavesTheOldFileAndReportsDiskFull) {
  const std::string old(3000, 'o'), path = dir / "cfg.txt";
  WriteBytes(path, old);
  const int code = test::RunWithFileSizeLimit(4096, [&] {
    WorkTextFile().Assign(path);
    RewriteChecked(WorkTextFile());
    for (int i = 0; i < 100; ++i) WriteTextLine(std::string(100, 'n'));
    if (G().AbortFlag != 1) return 10;
    ui().ExpectMessageBox("Fehler", "Diskette/Platte voll");
    CloseFileChecked(WorkTextFile());
    return ui().Verify() ? 0 : 11;
  });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ReadBytes(path), old);
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"cfg.txt"});

  WorkTextFile().Assign("/dev/full");  // devices are written directly
  RewriteChecked(WorkTextFile());
  ui().ExpectMessageBox("Fehler", "Diskette/Platte voll");
  WriteStringChecked(WorkTextFile(), "x");
  WriteStringChecked(WorkTextFile(), "y");  // nothing while aborted
  EXPECT_EQ(G().AbortFlag, 1);
}

TEST_F(TextFileTest, RewriteIntoAMissingFolder) {
  WorkTextFile().Assign(dir / "missing/x.cfg");
  // In German, with the file and the reason.
  ui().ExpectMessageBox("Fehler", "Fehler beim Anlegen einer Datei: " + (dir / "missing/x.cfg") + " (nicht vorhanden)");
  RewriteChecked(WorkTextFile());
  EXPECT_EQ(G().AbortFlag, 1);

  G().AbortFlag = 0;
  G().ShowErrorsSwitch = 0;  // the question is asked all the same
  ui().ExpectQuestion("", "I/O-Error 2: " + (dir / "missing/x.cfg") + " (nicht vorhanden)", Answer::Retry);
  ui().ExpectQuestion("", "I/O-Error 2", Answer::Cancel);
  RewriteWithRetry(WorkTextFile());
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_FALSE(WorkTextFile().IsOpen());

  G().AbortFlag = 0;
  ui().ExpectQuestion("", "I/O-Error 2", Answer::Retry).Then([&](const UiShown&) {
    ::mkdir((dir / "missing").c_str(), 0755);
  });
  RewriteWithRetry(WorkTextFile());
  EXPECT_TRUE(G().AbortFlag == 0 && WorkTextFile().IsWriting());
}

TEST_F(TextFileTest, ErrnoCodes) {
  for (auto [err, code] : {std::pair{ENOSPC, 101}, {EDQUOT, 101}, {EFBIG, 101}, {EROFS, 150}, {EACCES, 150},
                           {EPERM, 150}, {ENOENT, 2}, {EIO, EIO}})
    EXPECT_EQ(IoResultFromErrno(err), code) << err;
  // What reaches the user, in German (code page 850): the result codes and
  // the system's error numbers they pass on, a name the file system will
  // not take among them.
  EXPECT_EQ(IoResultText(kIoDiskFull), "Platte voll");
  EXPECT_EQ(IoResultText(kIoWriteProtected), "schreibgesch\x81tzt oder kein Zugriffsrecht");
  EXPECT_EQ(IoResultText(IoResultFromErrno(EINVAL)), "Name vom Dateisystem nicht angenommen");
  EXPECT_EQ(IoResultText(IoResultFromErrno(ENAMETOOLONG)), "Name zu lang");
  EXPECT_EQ(IoResultText(IoResultFromErrno(ENOENT)), "nicht vorhanden");
  EXPECT_EQ(SystemErrorText(EPERM), "nicht erlaubt (Name oder Datei eines anderen Benutzers)");
  EXPECT_EQ(SystemErrorText(4711), "Systemfehler 4711");
}

}  // namespace
}  // namespace zeb
