// The document links of every shipped example spring, as a user meets them
// on the desktop: each link's program is the desktop's opener (xdg-open, a
// stand-in here), a link without a file says so, and a file set in
// Dokument > Dokument Setup opens with it as one absolute argument.
#include <QLineEdit>
#include <fstream>

#include "desktop/desktop_program.h"

namespace zeb::desktop {
namespace {

std::vector<std::string> StartedLines() {
  std::ifstream in(PrivateRun::Get().root / "started.log");
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class DocumentLinks : public DesktopProgram, public ::testing::WithParamInterface<std::string> {};

TEST_P(DocumentLinks, OpenTheirFilesWithTheDesktopsOpener) {
  ASSERT_NO_FATAL_FAILURE(Start(GetParam()));
  fs::remove(PrivateRun::Get().root / "started.log");
  std::vector<std::string> docs, programs, boxes;
  for (int n = 1; n <= 5; ++n) {
    const fs::path doc = PrivateRun::Get().work / ("doc " + std::to_string(n) + ".txt");
    test::WriteBytes(doc, "document\n");
    docs.push_back(doc.string());
  }
  UserScript s;
  // As shipped: no file behind the link.
  s.Then("main window", [this] { return MainWindowWaits(); },
         [this] { window_->Action("mi_Document1")->trigger(); });
  s.Then("no-file box", [] { return qobject_cast<QMessageBox*>(ActiveModal()) != nullptr; }, [&] {
    auto* box = qobject_cast<QMessageBox*>(ActiveModal());
    boxes.push_back(box->text().toStdString());
    box->accept();
  });
  s.Then("main window", [this] { return MainWindowWaits(); },
         [this] { window_->Action("mi_DocumentSetup")->trigger(); });
  s.Then("document setup", [] { return ModalUp("TForm_confDoku") != nullptr; }, [&] {
    QWidget* w = ActiveModal();
    for (int n = 1; n <= 5; ++n) {
      programs.push_back(Child<QLineEdit>(w, ("Edit_program" + std::to_string(n)).c_str())->text().toStdString());
      Child<QLineEdit>(w, ("Edit_file" + std::to_string(n)).c_str())->setText(QString::fromStdString(docs[n - 1]));
    }
    Click(Child<QWidget>(w, "Button_ok"));
  });
  for (int n = 1; n <= 5; ++n) {
    s.Then("main window", [this] { return MainWindowWaits(); },
           [this, n] { window_->Action("mi_Document" + std::to_string(n))->trigger(); });
    // The opener started, or a box that says why not.
    s.Then(
        "document " + std::to_string(n),
        [n] { return StartedLines().size() >= static_cast<std::size_t>(n) || ActiveModal() != nullptr; },
        [&] {
          if (auto* box = qobject_cast<QMessageBox*>(ActiveModal())) {
            boxes.push_back(box->text().toStdString());
            box->accept();
          }
        });
  }
  ASSERT_TRUE(s.Run());
  ASSERT_EQ(boxes.size(), 1u) << boxes.back();
  EXPECT_EQ(boxes[0], "Dokument 1: keine Datei eingetragen\nEinstellung: Dokument > Dokument Setup > File 1");
  for (const std::string& program : programs) EXPECT_EQ(program, "xdg-open") << GetParam();
  const std::string opener = (PrivateRun::Get().bin / "xdg-open").string();
  std::vector<std::string> expected;
  for (const std::string& doc : docs) expected.push_back(opener + " " + doc);
  EXPECT_EQ(StartedLines(), expected);
}

std::vector<std::string> Examples() {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(test::SourceDir() / "examples"))
    if (e.path().extension() == ".zeb") names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

INSTANTIATE_TEST_SUITE_P(EveryExample, DocumentLinks, ::testing::ValuesIn(Examples()),
                         [](const auto& info) { return fs::path(info.param).stem().string(); });

}  // namespace
}  // namespace zeb::desktop
