// Every road to the text window names what the window shows in its title:
// the printout or list, and the spring file (or table) it belongs to, never
// the scratch file the window reads.
#include <QAction>
#include <QPlainTextEdit>

#include "desktop/desktop_program.h"

namespace zeb::desktop {
namespace {

struct TextWindowRoad {
  const char* name;
  const char* example;
  std::vector<const char*> actions;  // the main window's, then the table window's
  const char* subject;
  bool ofTheSpring;    // the spring file's name follows the subject
  const char* shown;   // a text the window shows
};

void PrintTo(const TextWindowRoad& r, std::ostream* os) { *os << r.name; }

class TextWindowTitles : public DesktopProgram, public ::testing::WithParamInterface<TextWindowRoad> {};

TEST_P(TextWindowTitles, NameWhatTheWindowShows) {
  const TextWindowRoad& road = GetParam();
  ASSERT_NO_FATAL_FAILURE(Start(road.example));
  QString title, text;
  UserScript s;
  s.Then("main window", [this] { return MainWindowWaits(); },
         [this, &road] { window_->Action(road.actions[0])->trigger(); });
  for (std::size_t k = 1; k < road.actions.size(); ++k)
    s.Then("table window", [] { return ModalUp("dbf4") != nullptr; }, [&road, k] {
      ActiveModal()->findChild<QAction*>(QString::fromLatin1(road.actions[k]))->trigger();
    });
  s.Then("text window", [] { return ModalUp("TForm_showtextfile") != nullptr; }, [&] {
    QWidget* w = ActiveModal();
    Shot(w, std::string("text_window_") + road.name);
    title = w->windowTitle();
    text = Child<QPlainTextEdit>(w, "Memo1")->toPlainText();
    w->findChild<QAction*>("mi_dateiBeenden")->trigger();
  });
  if (road.actions.size() > 1)
    s.Then("table window", [] { return ModalUp("dbf4") != nullptr; },
           [] { Click(Child<QWidget>(ActiveModal(), "Button_ok")); });
  ASSERT_TRUE(s.Run());
  std::string expected = std::string("ZEB1    ") + road.subject;
  if (road.ofTheSpring)
    expected += std::string("  -  ") + road.example;
  EXPECT_EQ(title.toStdString(), expected);
  EXPECT_TRUE(text.contains(QString::fromUtf8(road.shown))) << text.left(400).toStdString();
}

const TextWindowRoad kRoads[] = {
    {"Standardausdruck", "round_dynamic.zeb", {"mi_viewstandardausdruck"}, "Standardausdruck", true,
     "Druckfederberechnung n. EN 13906-1"},
    {"Auszug", "round_static.zeb", {"mi_viewauszug"}, "Auszug", true, "Druckfederberechnung n. EN 13906-1"},
    {"Fertigungsausgleich", "round_dynamic.zeb", {"mi_viewausdruckfertausgl"}, "Fertigungsausgleich", true,
     "Fertigungsausgleich : "},
    {"Fehlermeldungen", "table_material.zeb", {"mi_viewErrorMessages"}, "Fehlermeldungen", true,
     "BEMERKUNGEN, WARNUNGEN, FEHLERMELDUNGEN"},
    {"AenderungenInfo", "round_dynamic.zeb", {"mi_docuShowChanges1"}, "Änderungsprotokoll", true,
     "Erstellungsdatum: "},
    {"AenderungenAusdruck", "hot_coiled.zeb", {"mi_docuPrintChanges"}, "Änderungsprotokoll", true,
     "Erstellungsdatum: "},
    {"Tabelle", "round_static.zeb", {"mi_dbfDIN2076", "mi_filePrint"}, "Tabelle din2076.dbf", false, "TOLB"},
};

INSTANTIATE_TEST_SUITE_P(EveryRoad, TextWindowTitles, ::testing::ValuesIn(kRoads),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zeb::desktop
