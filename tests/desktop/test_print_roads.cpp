// Printouts without a printer into a temporary folder on a small file system
// of its own, full, nearly full and with room: File > Print (the drawing),
// File > Print Macro (the text printout) and the printout handed to the
// spreadsheet program. A file is there whole and announced, or not there at
// all and a box names the file and the cause.
#include <sched.h>
#include <sys/mount.h>
#include <sys/statvfs.h>

#include <QCheckBox>
#include <cerrno>
#include <cstring>
#include <QAction>
#include <algorithm>
#include <fstream>
#include <map>

#include "desktop/desktop_program.h"

namespace zeb::desktop {
namespace {

// The mounts of this run stay in a mount namespace of its own and go with
// the process, also after a crash. Made before any thread starts.
const int kOwnMounts = [] {
  if (::unshare(CLONE_NEWNS) != 0) return errno;
  if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return errno;
  return 0;
}();

class PrintRoads : public DesktopProgram {
 protected:
  void SetUp() override {
    if (kOwnMounts != 0) GTEST_SKIP() << "no mount namespace of its own here: " << std::strerror(kOwnMounts);
    small_ = PrivateRun::Get().root / "small";
    fs::create_directories(small_);
    if (::mount("tmpfs", small_.c_str(), "tmpfs", 0, "size=256k,mode=0700") != 0)
      GTEST_SKIP() << "mounting a tmpfs is not permitted here: " << std::strerror(errno);
    mounted_ = true;
    DesktopProgram::SetUp();
  }
  void TearDown() override {
    if (ui_ != nullptr) DesktopProgram::TearDown();
    if (mounted_) ::umount2(small_.c_str(), MNT_DETACH);
  }

  // Fills the small file system but for room bytes (none: until it is full).
  void Fill(std::uintmax_t room) {
    fs::remove(small_ / "filler");
    struct statvfs vfs {};
    ASSERT_EQ(::statvfs(small_.c_str(), &vfs), 0);
    const std::uintmax_t free = static_cast<std::uintmax_t>(vfs.f_bavail) * vfs.f_frsize;
    std::ofstream filler(small_ / "filler", std::ios::binary);
    const std::string block(4096, 'x');
    for (std::uintmax_t n = 0; room == 0 || n + block.size() <= free - room; n += block.size())
      if (!filler.write(block.data(), static_cast<std::streamsize>(block.size())).flush()) break;
  }

  // The files of the small folder but the filler.
  std::vector<std::string> Left() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(small_))
      if (e.path().filename() != "filler") names.push_back(e.path().filename().string());
    return names;
  }

  // Runs a command from the waiting main window as a user does: OK in the
  // print set-up, the standard printout alone (or the boxes `jobs`) in the
  // print macro; the texts of the boxes it shows, each answered by OK.
  std::vector<std::string> Run(const char* command, const std::vector<int>& jobs = {1}) {
    std::vector<std::string> boxes;
    UserScript s;
    s.Then("main window", [this] { return MainWindowWaits(); }, [this, command] { window_->Action(command)->trigger(); });
    s.Until(
        "dialogs and boxes", [] { return ActiveModal() != nullptr; },
        [&] {
          QWidget* w = ActiveModal();
          if (auto* box = qobject_cast<QMessageBox*>(w)) {
            boxes.push_back(box->text().toStdString());
            box->accept();
            return;
          }
          for (int n = 1; w->objectName() == "TForm_printmac" && n <= 13; ++n) {
            auto* box = Child<QCheckBox>(w, ("CheckBox" + std::to_string(n)).c_str());
            box->setChecked(std::find(jobs.begin(), jobs.end(), n) != jobs.end());
            captions_[n] = box->text().remove('&').toStdString();
          }
          Click(Child<QWidget>(w, "Button_ok"));
        },
        [this] { return MainWindowWaits(); });
    EXPECT_TRUE(s.Run());
    return boxes;
  }

  // A failed printout: one box naming the PDF file and the full disk, and
  // nothing left in the folder.
  void ExpectRefused(const std::vector<std::string>& boxes) {
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "Datei " + (small_ / "zeb1.pdf").string() + " kann nicht geschrieben werden: Platte voll");
    EXPECT_TRUE(Left().empty()) << Left().front();
  }

  // A printout with room: announced, whole, and read by poppler.
  std::string ExpectWhole(const std::vector<std::string>& boxes) {
    const fs::path pdf = small_ / "zeb1.pdf";
    EXPECT_EQ(boxes, std::vector<std::string>{"Kein Drucker vorhanden, Ausdruck in PDF-Datei " + pdf.string()});
    std::ifstream in(pdf, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    EXPECT_GT(bytes.size(), 8192u);
    EXPECT_EQ(bytes.substr(bytes.find_last_not_of("\r\n") - 4, 5), "%%EOF");
    if (!fs::exists("/usr/bin/pdftotext")) return {};
    EXPECT_NE(test::Capture("/usr/bin/pdfinfo " + test::ShellQuote(pdf.string())).find("Pages:"), std::string::npos);
    const std::string text = test::Capture("/usr/bin/pdftotext -layout " + test::ShellQuote(pdf.string()) + " -");
    fs::remove(pdf);
    return text;
  }

  fs::path small_;
  bool mounted_ = false;
  std::map<int, std::string> captions_;  // the print macro's boxes
};

TEST_F(PrintRoads, IntoAFullANearlyFullAndAFreeFolder) {
  ASSERT_NO_FATAL_FAILURE(Start("round_dynamic.zeb"));
  G().TempFolder = small_.string() + "/";
  Fill(0);
  ExpectRefused(Run("mi_fileprint"));
  // The printout handed to the spreadsheet program the same way.
  const std::vector<std::string> boxes = Run("mi_olePrintoutExcel");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].rfind("Datei " + (small_ / "zeb1_").string(), 0), 0u) << boxes[0];
  EXPECT_TRUE(boxes[0].ends_with(".csv kann nicht geschrieben werden: Platte voll")) << boxes[0];
  EXPECT_TRUE(Left().empty()) << Left().front();
  Fill(8192);
  ExpectRefused(Run("mi_fileprint"));
  ExpectRefused(Run("mi_filePrintMacro"));
  fs::remove(small_ / "filler");
  ExpectWhole(Run("mi_fileprint"));
  const std::string text = ExpectWhole(Run("mi_filePrintMacro"));
  EXPECT_TRUE(text.empty() || text.find("Federrate") != std::string::npos) << text;
}

// A print macro whose first job fails on a full disk: the next job is drawn
// anew, and the closing box names only its file, with its own picture, and
// the job that was not made. The text window's "Drucken",
// refused on a full disk, prints once there is room again.
TEST_F(PrintRoads, AFailedJobEndsOnlyItself) {
  ASSERT_NO_FATAL_FAILURE(Start("round_dynamic.zeb"));
  G().TempFolder = small_.string() + "/";
  const std::vector<int> jobs = {1, 8};  // the standard printout, the F-s characteristic
  const fs::path pdf1 = small_ / "zeb1.pdf", pdf2 = small_ / "zeb1-2.pdf";
  std::vector<std::string> boxes = Run("mi_filePrintMacro", jobs);
  ASSERT_EQ(boxes, std::vector<std::string>{"Kein Drucker vorhanden, Ausdruck in PDF-Dateien:\n" + pdf1.string() +
                                            "\n" + pdf2.string()});
  const auto pages = [](std::uintmax_t bytes) { return (bytes + 4095) / 4096 * 4096; };
  const std::uintmax_t printout = fs::file_size(pdf1), diagram = fs::file_size(pdf2);
  fs::remove(pdf1);
  fs::remove(pdf2);
  // Room for the diagram, not for the printout.
  const std::uintmax_t room = pages(diagram) + 4096;
  ASSERT_GT(pages(printout), room + 4095) << "the printout must not fit where the diagram does";
  Fill(room);
  boxes = Run("mi_filePrintMacro", jobs);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0], "Datei " + pdf1.string() + " kann nicht geschrieben werden: Platte voll");
  EXPECT_EQ(boxes[1], "Kein Drucker vorhanden, Ausdruck in PDF-Datei " + pdf1.string() + "\nNicht ausgedruckt:\n" +
                          captions_[1]);
  EXPECT_EQ(fs::file_size(pdf1), diagram);  // drawn anew, not the main window's picture
  fs::remove(pdf1);

  // The text window: Drucken on a full disk, then with room.
  Fill(0);
  boxes.clear();
  int prints = 0;
  UserScript s;
  s.Then("main window", [this] { return MainWindowWaits(); },
         [this] { window_->Action("mi_viewstandardausdruck")->trigger(); });
  s.Until(
      "text window and boxes", [] { return ActiveModal() != nullptr; },
      [&] {
        QWidget* w = ActiveModal();
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
          boxes.push_back(box->text().toStdString());
          if (prints == 1) fs::remove(small_ / "filler");
          box->accept();
        } else if (w->objectName() == "TForm_showtextfile" && prints < 2) {
          ++prints;
          Child<QAction>(w, "mi_DateiDrucken")->trigger();
        } else {
          w->close();
        }
      },
      [this] { return MainWindowWaits(); });
  EXPECT_TRUE(s.Run());
  EXPECT_EQ(boxes, (std::vector<std::string>{"Datei " + pdf1.string() + " kann nicht geschrieben werden: Platte voll",
                                             "Kein Drucker vorhanden, Ausdruck in PDF-Datei " + pdf1.string()}));
}

}  // namespace
}  // namespace zeb::desktop
