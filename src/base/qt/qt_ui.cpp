#include "base/qt/qt_ui.h"

#include <algorithm>
#include <utility>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLayout>
#include <QListView>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QTreeView>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QThread>
#include <QTimer>

#include "base/qt/forms.h"
#include "base/qt/qt_convert.h"
#include "base/qt/qt_printer.h"
#include "platform/qt/message_box.h"

namespace zeb {

namespace {

// The window dialogs belong to: the modal or active window, else none.
QWidget* DialogParent() {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  return QApplication::activeWindow();
}

QStringList ToQStringList(const std::vector<std::string>& texts1252) {
  QStringList list;
  list.reserve(static_cast<qsizetype>(texts1252.size()));
  for (const std::string& t : texts1252) list << AnsiToQString(t);
  return list;
}

QMainWindow* FindMainWindow() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (auto* main = qobject_cast<QMainWindow*>(w)) return main;
  }
  return nullptr;
}

QMessageBox::StandardButton RunBox(QMessageBox::Icon icon, std::string_view caption, std::string_view text,
                                   QMessageBox::StandardButtons buttons, QMessageBox::StandardButton preset) {
  QMessageBox box(icon, AnsiToQString(caption), AnsiToQString(text), buttons, DialogParent());
  box.setTextFormat(Qt::PlainText);
  // The program's box texts are German: so are their buttons, whatever the
  // menu language.
  const std::pair<QMessageBox::StandardButton, const char*> german[] = {
      {QMessageBox::Yes, "&Ja"}, {QMessageBox::No, "&Nein"}, {QMessageBox::Cancel, "Abbrechen"},
      {QMessageBox::Retry, "&Wiederholen"}, {QMessageBox::Ok, "OK"}};
  for (const auto& [button, word] : german)
    if (QAbstractButton* b = box.button(button)) b->setText(QString::fromUtf8(word));
  KeepTitleWhole(box);
  box.setWindowModality(Qt::ApplicationModal);
  if (preset != QMessageBox::NoButton) box.setDefaultButton(preset);
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

// Qt's own file dialog sizes its columns for short English texts. Each
// column takes what its title and its entries need, the side bar what its
// places need, and the dialog grows by what they lack (within the screen);
// again once the folder is read.
void FitFileDialog(QFileDialog& dialog) {
  auto* tree = dialog.findChild<QTreeView*>("treeView");
  if (tree == nullptr) {
    // Made when the dialog shows (none at all for the desktop's own dialog).
    if (!dialog.isVisible()) QTimer::singleShot(0, &dialog, [&dialog] { FitFileDialog(dialog); });
    return;
  }
  const auto fit = [&dialog, tree] {
    QHeaderView* header = tree->header();
    int columns = 0;
    for (int c = 0; c < header->count(); ++c) {
      if (c > 0) tree->resizeColumnToContents(c);
      if (!header->isSectionHidden(c)) columns += header->sectionSize(c);
    }
    const int scrollBar = tree->verticalScrollBar()->sizeHint().width();
    int grow = std::max(0, columns + scrollBar - tree->contentsRect().width());
    auto* splitter = dialog.findChild<QSplitter*>("splitter");
    auto* sidebar = dialog.findChild<QListView*>("sidebar");
    if (splitter != nullptr && sidebar != nullptr && splitter->count() == 2) {
      const int need = sidebar->sizeHintForColumn(0) + 2 * sidebar->frameWidth() + scrollBar;
      QList<int> sizes = splitter->sizes();
      const int more = std::max(0, need - sizes[0]);
      sizes[0] += more;
      sizes[1] += grow;
      grow += more;
      if (grow > 0) splitter->setSizes(sizes);
    }
    if (grow == 0) return;
    // Only the size: the window system places the dialog.
    const QRect avail = dialog.screen() != nullptr ? dialog.screen()->availableGeometry() : QRect();
    const int frame = dialog.frameGeometry().width() - dialog.width();
    int width = dialog.width() + grow;
    if (avail.isValid()) width = std::min(width, avail.width() - frame);
    dialog.resize(width, dialog.height());
    // Grown past the right edge of the screen: back inside.
    const QRect outer = dialog.frameGeometry();
    if (dialog.isVisible() && avail.isValid() && outer.right() > avail.right())
      dialog.move(std::max(avail.left(), outer.left() - (outer.right() - avail.right())), outer.top());
  };
  if (!dialog.isVisible()) {
    dialog.resize(dialog.sizeHint());
    if (QLayout* layout = dialog.layout()) layout->activate();
  }
  fit();
  if (auto* model = qobject_cast<QFileSystemModel*>(tree->model()))
    QObject::connect(model, &QFileSystemModel::directoryLoaded, &dialog,
                     [&dialog, fit] { QTimer::singleShot(0, &dialog, fit); });
}

// Runs a file dialog; the first selected path, or nothing when cancelled.
bool RunFileDialog(QFileDialog& dialog, std::string_view filter, std::string& path) {
  const QStringList filters = FilterToNameFilters(filter);
  if (!filters.isEmpty()) dialog.setNameFilters(filters);
  dialog.setOption(QFileDialog::HideNameFilterDetails, true);
  dialog.setWindowModality(Qt::ApplicationModal);
  FitFileDialog(dialog);
  if (dialog.exec() != QDialog::Accepted) return false;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return false;
  path = QStringToPath(files.first());
  // The dialog reads double quotes in a typed name as marks around several
  // names; a name to save under is taken as it was typed.
  const auto* typed = dialog.findChild<QLineEdit*>("fileNameEdit");
  if (dialog.acceptMode() == QFileDialog::AcceptSave && typed != nullptr && typed->text().contains(u'"'))
    path = QStringToPath(QDir(dialog.directory()).absoluteFilePath(typed->text()));
  return true;
}

}  // namespace

QtUi::QtUi() = default;
QtUi::~QtUi() {
  if (hourglass_) QGuiApplication::restoreOverrideCursor();
}

void QtUi::SetPdfOutput(std::string path) {
  pdfOutput_ = std::move(path);
  printer_.reset();
}

void QtUi::SetPrintRangeAnswer(std::optional<PageRange> range) { rangeAnswer_ = range; }

std::shared_ptr<QPrinter> QtUi::Printer() {
  if (!printer_) {
    printer_ = std::make_shared<QPrinter>(QPrinter::HighResolution);
    // Its page layout is the PDF file's (OpenTextPrinter writes the file).
    if (!pdfOutput_.empty()) printer_->setOutputFormat(QPrinter::PdfFormat);
  }
  return printer_;
}

// ---------------------------------------------------------------------------

void QtUi::MessageBox(std::string_view caption, std::string_view text) {
  RunBox(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, QMessageBox::Ok);
}

Answer QtUi::Question(std::string_view caption, std::string_view text, QuestionKind kind) {
  if (kind == QuestionKind::RetryCancel) {
    const auto b = RunBox(QMessageBox::Warning, caption, text, QMessageBox::Retry | QMessageBox::Cancel,
                          QMessageBox::Retry);
    return b == QMessageBox::Retry ? Answer::Retry : Answer::Cancel;
  }
  const auto b = RunBox(QMessageBox::Question, caption, text,
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                        kind == QuestionKind::YesNoCancelNo ? QMessageBox::No : QMessageBox::Yes);
  if (b == QMessageBox::Yes) return Answer::Yes;
  if (b == QMessageBox::No) return Answer::No;
  return Answer::Cancel;
}

void QtUi::Beep() { QApplication::beep(); }

DialogEnd QtUi::InputText(std::string_view prompt, int maxLength, std::string& text, const DialogHelp& help) {
  Tin_textdialog dialog(DialogParent(), AnsiToQString(prompt), maxLength, AnsiToQString(text), help);
  const DialogEnd end = dialog.End(dialog.exec());
  if (end != DialogEnd::Cancel) text = QStringToAnsi(dialog.editEinText->text());
  return end;
}

DialogEnd QtUi::AskYesNo(std::string_view prompt, bool& yes, const DialogHelp& help) {
  Tin_janeindialog dialog(DialogParent(), AnsiToQString(prompt), yes, help);
  const DialogEnd end = dialog.End(dialog.exec());
  if (end != DialogEnd::Cancel) yes = dialog.Yes();
  return end;
}

DialogEnd QtUi::AskChoice(std::string_view prompt, const std::vector<std::string>& items, int& index,
                          bool listBox, const DialogHelp& help) {
  const QStringList texts = ToQStringList(items);
  if (listBox) {
    Tin_codedialog dialog(DialogParent(), AnsiToQString(prompt), texts, index, help);
    const DialogEnd end = dialog.End(dialog.exec());
    if (end != DialogEnd::Cancel && dialog.Index() >= 0) index = dialog.Index();
    return end;
  }
  Tin_radiodialog dialog(DialogParent(), AnsiToQString(prompt), texts, index, help);
  const DialogEnd end = dialog.End(dialog.exec());
  if (end != DialogEnd::Cancel && dialog.Index() >= 0) index = dialog.Index();
  return end;
}

void QtUi::ShowScreen(std::string_view caption, const std::vector<std::string>& lines) {
  TShowScreen screen(DialogParent(), AnsiToQString(caption), ToQStringList(lines));
  screen.exec();
}

ErrorHelpResult QtUi::ErrorHelpForm(const ErrorHelpTexts& texts, const std::function<void()>& help) {
  Thelperr form(DialogParent(), texts, help);
  const int result = form.exec();
  ErrorHelpResult r;
  // Closing other than by OK keeps the file as it is.
  r.modified = result == QDialog::Accepted && form.Modified();
  r.texts = form.Texts();
  return r;
}

WindowRect QtUi::TextViewer(const TextViewerRequest& request) {
  TForm_showtextfile form(DialogParent(), request);
  if (!form.LoadDisplayFile()) {
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(),
                    PathToQString(request.displayFile) + " not found !", QMessageBox::Ok, DialogParent());
    box.setTextFormat(Qt::PlainText);
    box.exec();
  }
  form.exec();
  return form.Rect();
}

// ---------------------------------------------------------------------------

bool QtUi::PrintRange(int& first, int& last, int minPage, int maxPage) {
  if (rangeAnswer_) {
    first = rangeAnswer_->first;
    last = rangeAnswer_->last;
    return true;
  }
  // Into the PDF file the program named itself (no printer): every page,
  // and no print dialog to question that file.
  if (!pdfOutput_.empty()) {
    first = minPage;
    last = maxPage;
    return true;
  }
  const std::shared_ptr<QPrinter> printer = Printer();
  QPrintDialog dialog(printer.get(), DialogParent());
  dialog.setObjectName("PrintDialog");
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
  dialog.setMinMax(minPage, std::max(minPage, maxPage));
  dialog.setPrintRange(QAbstractPrintDialog::PageRange);
  printer->setFromTo(first, std::max(first, last));
  if (dialog.exec() != QDialog::Accepted) return false;
  if (printer->printRange() == QPrinter::PageRange) {
    first = printer->fromPage();
    last = printer->toPage();
  } else {
    first = minPage;
    last = maxPage;
  }
  return true;
}

std::unique_ptr<TextPrinter> QtUi::OpenTextPrinter() {
  // The PDF file is made in memory and written whole at the job's end.
  if (!pdfOutput_.empty()) return std::make_unique<QtTextPrinter>(pdfOutput_, *Printer());
  return std::make_unique<QtTextPrinter>(Printer());
}

// ---------------------------------------------------------------------------

bool QtUi::ChooseOpenFile(std::string_view folder, std::string_view filter, std::string& path) {
  QFileDialog dialog(DialogParent(), QString(), PathToQString(folder));
  dialog.setObjectName("OpenDialog");
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  return RunFileDialog(dialog, filter, path);
}

bool QtUi::ChooseSaveFile(std::string_view folder, std::string_view filter, std::string_view presetName,
                          std::string& path) {
  QFileDialog dialog(DialogParent(), QString(), PathToQString(folder));
  dialog.setObjectName("SaveDialog");
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  // The caller confirms overwriting itself.
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  if (!presetName.empty()) dialog.selectFile(PathToQString(presetName));
  return RunFileDialog(dialog, filter, path);
}

bool QtUi::ChooseFolder(std::string_view folder, std::string& chosen) {
  QFileDialog dialog(DialogParent(), QString(), PathToQString(folder));
  dialog.setObjectName("FolderDialog");
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly, true);
  return RunFileDialog(dialog, {}, chosen);
}

// ---------------------------------------------------------------------------

void QtUi::SetCursor(CursorKind kind) {
  if (kind == CursorKind::Hourglass) {
    if (!hourglass_) QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    hourglass_ = true;
  } else if (hourglass_) {
    QGuiApplication::restoreOverrideCursor();
    hourglass_ = false;
  }
}

void QtUi::SetBusyCheck(std::function<bool()> busy) { BusyCheck() = std::move(busy); }

std::function<bool()>& QtUi::BusyCheck() {
  static std::function<bool()> busy;
  return busy;
}

void QtUi::PollLater(const std::function<bool(bool idle)>& poll) {
  auto* timer = new QTimer(qApp);
  timer->setInterval(20);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, poll] {
    // A box poll shows runs its own loop: the timer waits meanwhile.
    timer->stop();
    const bool idle = QApplication::activeModalWidget() == nullptr && QApplication::activePopupWidget() == nullptr &&
                      QThread::currentThread()->loopLevel() <= 1 && !(BusyCheck() && BusyCheck()());
    if (poll(idle))
      timer->start();
    else
      timer->deleteLater();
  });
  timer->start();
}

void QtUi::SetTitle(std::string_view title) {
  title_ = std::string(title);
  if (QMainWindow* main = FindMainWindow()) main->setWindowTitle(AnsiToQString(title_));
}

}  // namespace zeb
