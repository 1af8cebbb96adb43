#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "base/headless_ui.h"

namespace zeb {
namespace {

TEST(ScriptedUi, UnexpectedCallsAreCancelledAndRecorded) {
  ScriptedUi ui;
  std::vector<std::string> reported;
  ui.OnFailure([&](const std::string& m) { reported.push_back(m); });
  std::string text = "x";
  bool yes = true;
  int index = 0;
  int first = 1, last = 1;
  std::string path = "keep";
  EXPECT_EQ(ui.Question("T", "Q", QuestionKind::YesNoCancel), Answer::Cancel);
  EXPECT_EQ(ui.InputText("P", 10, text, {}), DialogEnd::Cancel);
  EXPECT_EQ(ui.AskYesNo("P", yes, {}), DialogEnd::Cancel);
  EXPECT_EQ(ui.AskChoice("P", {"a"}, index, false, {}), DialogEnd::Cancel);
  EXPECT_FALSE(ui.PrintRange(first, last, 1, 3));
  EXPECT_FALSE(ui.ChooseOpenFile("/tmp", "*.zeb", path));
  EXPECT_EQ(text, "x");
  EXPECT_EQ(path, "keep");
  EXPECT_FALSE(ui.Verify());
  EXPECT_EQ(ui.failures().size(), 6u);
  EXPECT_EQ(reported, ui.failures());
  EXPECT_NE(ui.Problems().find("unexpected Question"), std::string::npos);
}

TEST(ScriptedUi, MismatchKeepsTheExpectationForTheNextCall) {
  ScriptedUi ui;
  ui.ExpectMessageBox("", "B");
  ui.MessageBox("", "A");  // not the one expected
  ui.MessageBox("", "B");
  EXPECT_EQ(ui.failures().size(), 1u);
  EXPECT_TRUE(ui.Unused().empty());

  ui.Reset();
  ui.ExpectQuestion("", "", Answer::Yes);
  EXPECT_EQ(ui.Question("", "", QuestionKind::RetryCancel), Answer::Cancel);
  EXPECT_EQ(ui.failures().size(), 1u);
  EXPECT_EQ(ui.Question("", "", QuestionKind::YesNoCancel), Answer::Yes);
  ui.ExpectInputText("Länge", "1");
  EXPECT_FALSE(ui.Unused().empty());
  EXPECT_FALSE(ui.Verify());
}

TEST(ScriptedUi, TextsRecordedAsUtf8AndTypedTextGoesIn1252) {
  ScriptedUi ui;
  ui.ExpectInputText("Länge", "Größenänderung").Value("Maß");
  std::string text = "Ma\xDF";  // 1252
  EXPECT_EQ(ui.InputText("L\xE4nge", 5, text, {}), DialogEnd::Ok);
  EXPECT_EQ(text, "Gr\xF6\xDF" "e");  // cut to the maximum length
  EXPECT_EQ(ui.shown()[0].text, "Länge");
  EXPECT_EQ(ui.shown()[0].text1252, "L\xE4nge");
  EXPECT_TRUE(ui.Verify()) << ui.Problems();
}

TEST(ScriptedUi, HelpButtonsRunInOrderAndNestedCallsUseTheScript) {
  ScriptedUi ui;
  std::vector<int> order;
  DialogHelp help;
  help.text = [&] {
    order.push_back(1);
    ui.MessageBox("HILFETEXT Nr.5", "Hilfe");
  };
  help.picture = [&] { order.push_back(2); };
  ui.ExpectInputText("", TextAnswer::Keep()).PressHelpPicture().PressHelpText();
  ui.ExpectMessageBox("HILFETEXT", "Hilfe");
  std::string s = "a";
  EXPECT_EQ(ui.InputText("", 5, s, help), DialogEnd::Ok);
  EXPECT_EQ(order, (std::vector<int>{2, 1}));
  EXPECT_EQ(ui.shown()[0].result, "a");  // the dialog's record, not the nested box's

  order.clear();
  ui.ExpectYesNo("", false).PressHelpText();
  ui.ExpectMessageBox("HILFETEXT", "Hilfe");
  bool yes = true;
  EXPECT_EQ(ui.AskYesNo("", yes, help), DialogEnd::Ok);
  EXPECT_FALSE(yes);
  EXPECT_EQ(order, std::vector<int>{1});
  EXPECT_TRUE(ui.Verify()) << ui.Problems();
}

TEST(ScriptedUi, ChoiceEnterOnlyFromTheList) {
  ScriptedUi ui;
  std::vector<std::string> items{"a", "b", "c"};
  int index = 0;
  ui.ExpectChoice("", 3).ByEnter();
  EXPECT_EQ(ui.AskChoice("", items, index, true, {}), DialogEnd::Enter);
  EXPECT_EQ(index, 2);
  ui.ExpectChoice("", 2).ByEnter();
  EXPECT_EQ(ui.AskChoice("", items, index, false, {}), DialogEnd::Ok);
  EXPECT_EQ(index, 1);
  ui.ExpectChoice("", 4);
  EXPECT_EQ(ui.AskChoice("", items, index, false, {}), DialogEnd::Cancel);
  EXPECT_EQ(index, 1);
  EXPECT_EQ(ui.failures().size(), 1u);
}

std::string RunBatch(const std::function<void(BatchUi&)>& f) {
  char* buf = nullptr;
  std::size_t size = 0;
  std::FILE* log = open_memstream(&buf, &size);
  {
    BatchUi ui(log);
    f(ui);
  }
  std::fclose(log);
  std::string out(buf, size);
  std::free(buf);
  return out;
}

TEST(BatchUi, OneUtf8LinePerBoxAndEverythingCancelled) {
  std::string out = RunBatch([](BatchUi& ui) {
    ui.MessageBox("Meldung:", "Zeile 1\r\nZeile 2 \xE4");
    ui.MessageBox("Hilfe", "x");
    std::string text = "12";
    bool yes = true;
    int index = 1, first = 1, last = 2;
    std::string path;
    EXPECT_EQ(ui.InputText("Wert", 30, text, {}), DialogEnd::Cancel);
    EXPECT_EQ(ui.AskYesNo("Weiter ?", yes, {}), DialogEnd::Cancel);
    EXPECT_EQ(ui.AskChoice("Wahl", {"a", "b"}, index, false, {}), DialogEnd::Cancel);
    EXPECT_FALSE(ui.PrintRange(first, last, 1, 2));
    EXPECT_EQ(ui.OpenTextPrinter(), nullptr);
    EXPECT_FALSE(ui.ChooseOpenFile("/tmp", "*.zeb", path));
    EXPECT_EQ(text, "12");
    EXPECT_TRUE(path.empty());
  });
  EXPECT_EQ(out,
            "Meldung: Zeile 1 / Zeile 2 ä\n"
            "Hilfe: x\n"
            "Eingabe: Wert [12] -> Abbrechen\n"
            "Eingabe: Weiter ? [Ja] -> Abbrechen\n"
            "Auswahl: Wahl [b] -> Abbrechen\n"
            "Drucken: Seiten 1 .. 2 -> Abbrechen\n"
            "Drucken: kein Drucker\n"
            "Datei öffnen: /tmp (*.zeb) -> Abbrechen\n");
}

}  // namespace
}  // namespace zeb
