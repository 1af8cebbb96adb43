#include "tables/table_window.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <optional>

#include "base/dialogs.h"
#include "base/files.h"
#include "base/globals.h"
#include "base/scoped.h"
#include "base/text.h"
#include "platform/codepage.h"
#include "platform/oem_literal.h"
#include "tables/table_functions.h"
#include "xbase/core/dates.h"
#include "xbase/core/engine.h"
#include "xbase/core/errors.h"
#include "xbase/dbf/dbffile.h"
#include "xbase/dbf/workarea.h"

namespace zeb {

namespace xb = xbase;

TableWindowGlobals& TableGlobals() {
  static TableWindowGlobals g;
  return g;
}

namespace {
std::shared_ptr<TableBrowserPort>& BrowserSlot() {
  static std::shared_ptr<TableBrowserPort> port = std::make_shared<CancelTableBrowser>();
  return port;
}
}  // namespace

void SetTableBrowser(std::shared_ptr<TableBrowserPort> port) {
  BrowserSlot() = port ? std::move(port) : std::make_shared<CancelTableBrowser>();
}
TableBrowserPort& TableBrowser() { return *BrowserSlot(); }

BrowseAnswer ScriptedTableBrowser::Browse(TableWindow& window, int mode) {
  seen_.push_back("mode " + std::to_string(mode) + " hide " + (window.HidesDeleted() ? "1" : "0") + " titles " +
                  window.Title1() + "|" + window.Title2());
  if (during_) during_(window);
  if (next_ >= answers_.size()) return {};
  return answers_[next_++];
}

TableWindow& TheTableWindow() {
  static TableWindow w;
  return w;
}

void ReportDbfError(std::uint16_t code, std::string text) {
  if (code == 0) code = xb::TzCurrentError();
  if (text.empty()) text = xb::TzTakeLastErrorText();
  // A refused write is told by its cause, not by the engine's number.
  const std::string cause = xb::DiskCauseOf(code);
  xb::ClearTzErrorState();
  const std::string head = cause.empty() ? "DBF Error " + std::to_string(code) : Cp1252To850(cause) + ".";
  ShowErrorBox("Fehler : " + head + "\n" + Cp1252To850(xb::UserFailureText(text)));
  G().AbortFlag = 1;
}

std::string EngineOpenDamage(std::uint16_t code, const std::string& /*engineText*/, const std::string& path) {
  const auto lastComponent = [](const std::string& path) { return path.substr(path.find_last_of('/') + 1); };
  const xb::TableDamage& d = xb::LastTableDamage();
  // The engine names the kind of damage it raised this error for.
  if (d.kind != xb::TableDamageKind::None && d.code == code) {
    switch (d.kind) {
      case xb::TableDamageKind::NotDbase:
        return d.why.empty() ? "keine dBASE-Tabelle"_oem : "keine dBASE-Tabelle ("_oem + Cp1252To850(d.why) + ")";
      case xb::TableDamageKind::FieldType:
        return "Feld "_oem + Cp1252To850(d.field) + " hat den ungültigen Feldtyp "_oem +
               (d.type.empty() ? "(leer)" : "\"" + Cp1252To850(d.type) + "\"");
      case xb::TableDamageKind::MemoMissing:
        return "Memo-Datei "_oem + FromUtf8(CodePage::Cp850, lastComponent(d.file)) + " fehlt"_oem;
      case xb::TableDamageKind::MemoNotOpened: {
        // The memo file the table's version byte names.
        char version = 0;
        std::ifstream(path, std::ios::binary).get(version);
        const std::string memo = lastComponent(xb::MemoFileName(path, static_cast<std::uint8_t>(version)));
        return "Memo-Datei "_oem + FromUtf8(CodePage::Cp850, memo) +
               (code == 2 ? std::string(" fehlt") : std::string(" nicht lesbar"));
      }
      case xb::TableDamageKind::FieldList: return "Feldliste unlesbar"_oem;
      case xb::TableDamageKind::None: break;
    }
  }
  if (code == 222 || code == 100) return "Feldliste unlesbar"_oem;
  return {};
}

void WarnWhenTableIsACopy() {
  const TableWindow& w = TheTableWindow();
  if (!w.IsOpen()) return;
  const std::string& path = w.FileName();
  const std::size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  if (!folder.empty() && folder == ScratchFile("")) {
    // Say plainly that nothing typed here reaches the table itself.
    const std::string table = AddBackslash(G().DbfFolder) + path.substr(folder.size());
    // The folder may be writable and the table file itself read-only.
    const std::string dbfFolder = RemoveTrailingBackslash(G().DbfFolder);
    const bool fileOnly = FolderPassesWriteTest(dbfFolder.empty() ? "." : dbfFolder);
    // A folder that is full or read-only is named so, not as one without a right.
    const int err = fileOnly ? 0 : FolderWriteTestError();
    const std::string folderCause = err == 0 || err == EACCES ? std::string() : xb::WriteFailureReason(err, 0);
    ShowMessageText((fileOnly ? "Kein Schreibrecht für die Tabellendatei "_oem + FromUtf8(CodePage::Cp850, table) +
                                    " (schreibgeschützt) !  Bearbeitung im Temporär-Ordner."_oem
                     : folderCause.empty()
                         ? "Kein Schreibrecht für dbf-Ordner !  Bearbeitung im Temporär-Ordner."_oem
                         : "Der dbf-Ordner kann nicht beschrieben werden: "_oem + Cp1252To850(folderCause) +
                               " !  Bearbeitung im Temporär-Ordner."_oem) +
                    " " +
                    "Änderungen gehen nur in eine Kopie und erreichen die Tabelle "_oem +
                    FromUtf8(CodePage::Cp850, table) + " nicht; die Kopie wird beim Programmende gelöscht."_oem);
  }
}

// ------------------------------------------------------------------ dataset

TableWindow::TableWindow() { MakeDatasets(); }

TableWindow::~TableWindow() {
  try {
    if (tzdbf && tzdbf->Active()) tzdbf->Close();
  } catch (const std::exception&) {
    // The program ends: the engine closes what is left.
  }
}

// A fresh dataset for every table: no field list of an earlier table can
// create a missing file, and each open starts under the current engine.
void TableWindow::MakeDatasets() {
  tzdbf = std::make_unique<xb::TTzDbf>("tzdbf");
  tzdbf->SetHideDeletedRecs(false);
  tzdbf->tableLanguage = xb::TTzTableLanguage::tlOem;
  tzdbf->SetReadOnly(false);
  tzdbf->createIndex = xb::TCreateIndexType::ciNotFound;
  tzdbf->SetExclusive(false);
  // A table that is not there is an error, never a new empty file.
  tzdbf->createIfNotFound = false;
  // Its orders are indexes of the temporary folder, which other programs
  // sharing the table do not keep.
  tzdbf->ownIndex = true;
  // An edit the user confirmed is never dropped: a write that cannot happen
  // now leaves it in its row, asked again when the row is left.
  tzdbf->keepEditOnFailure = true;
  // Another program holds the record or the table: the user may try again.
  const auto locked = [this](bool record, std::string_view consequence) {
    return [this, record, consequence = std::string(consequence)](xb::TTzFileDataSet&, bool& retry) {
      retry = AskRetryCancel(LockedBy(record) + consequence);
    };
  };
  tzdbf->onRLockFailedOnPost = locked(true, "Ihre Änderung ist noch nicht gespeichert."_oem);
  tzdbf->onRLockFailedOnDelete = locked(true, "die Löschmarke wird nicht gesetzt."_oem);
  tzdbf->onRLockFailedOnRestore = locked(true, "die Löschmarke bleibt."_oem);
  tzdbf->onALockFailedOnInsert = locked(false, "der neue Datensatz ist noch nicht angehängt."_oem);
  // A field both this edit and another program changed: the user decides
  // (asked while the record is not locked); Abbrechen writes nothing and
  // leaves the edit open; without an answer (batch) the other program's
  // value stays.
  tzdbf->onBothChanged = [this](int field, std::string_view filed,
                                std::string_view typed) -> std::optional<bool> {
    // A date as the grid shows it, not as stored.
    const std::vector<xb::TzFieldMap>& maps = tzdbf->FieldMaps();
    const bool date = field >= 0 && field < static_cast<int>(maps.size()) &&
                      maps[static_cast<std::size_t>(field)].desc.type == 'D';
    const auto shown = [date](std::string_view t) {
      const bool dated = date && t.find_first_not_of(' ') != std::string_view::npos;
      std::string s = Cp1252To850(dated ? xb::DbfToDate(t) : std::string(t));
      while (!s.empty() && s.back() == ' ') s.pop_back();
      while (!s.empty() && s.front() == ' ') s.erase(0, 1);
      return "\"" + s + "\"";
    };
    const std::string text = "Ein anderes Programm hat Feld "_oem + Cp1252To850(tzdbf->Field(field + 1)) + " von " +
                             RecordName() + " geändert, während Sie ihn bearbeitet haben: dort steht jetzt "_oem +
                             shown(filed) + ", Ihre Eingabe ist " + shown(typed) +
                             ". Mit Ihrer Eingabe überschreiben?"_oem;
    switch (Ui().Question(OemToAnsiStr(G().ProgramTitle), OemToAnsiStr(text), QuestionKind::YesNoCancel)) {
      case Answer::Yes: return true;
      case Answer::Cancel: return std::nullopt;
      default: return false;
    }
  };
  // A new row typed in the grid: the file's cut append is not written over.
  tzdbf->onRecordsPastCount = [this] { return NoRecordsPastCount(false); };
  TzVFile1 = std::make_unique<xb::TTzVFile>("TzVFile1");
  TzVFile1->SetHideDeletedRecs(false);
  TzVFile1->tableLanguage = xb::TTzTableLanguage::tlOem;
}

std::string TableWindow::TableName() const {
  return FromUtf8(CodePage::Cp850, fileName_.substr(fileName_.find_last_of('/') + 1));
}

std::string TableWindow::RecordName() {
  std::int32_t n = 0;
  try {
    n = tzdbf->GetRecNo();
  } catch (const std::exception&) {
    n = 0;
  }
  return (n > 0 ? "Datensatz " + std::to_string(n) + " der Tabelle " : std::string("Tabelle ")) + TableName();
}

std::string TableWindow::LockedBy(bool record) {
  return (record ? RecordName() : "Die Tabelle " + TableName()) + " ist gerade von einem anderen Programm gesperrt; ";
}

bool TableWindow::RefusedInUse(std::string_view refusal) {
  if (!InUse()) return false;
  const std::string open = FromUtf8(CodePage::Cp850, fileName_.empty() ? std::string("?") : fileName_);
  ShowErrorBox("Fehler : Die Tabelle " + open + " ist noch in Arbeit; " + std::string(refusal));
  G().AbortFlag = 1;
  return true;
}

bool TableWindow::Guarded(const std::function<void()>& body,
                          const std::function<bool(std::uint16_t, const std::string&)>& onDamage) {
  const bool raise = xb::SetTzRaiseMode(true);
  const bool on = xb::SetTzErrorSwitch(true);
  bool ok = true;
  std::uint16_t code = 0;
  std::string text;
  // A write the system refused, in the user's words (code page 850).
  std::string refused;
  try {
    const ScopedDepth use(depth_);  // counted while the call runs
    body();
  } catch (const xb::ETzWriteError& e) {
    refused = Cp1252To850(xb::UserFailureText(e.Text(FromUtf8(CodePage::Cp1252, e.File()))));
    ok = false;
  } catch (const std::exception& e) {
    // The engine's "Fehler Nr. <code> (<meaning>)", also inside a dataset
    // error, then a line break and the operation's text.
    code = xb::TzCurrentError();
    if (code == 0) code = xb::Engine().lastError;
    const std::string message = e.what();
    const std::size_t nl = message.find('\n');
    text = nl == std::string::npos || message.find("Fehler Nr. ") > nl ? message : message.substr(nl + 1);
    ok = false;
  }
  xb::SetTzErrorSwitch(on);
  xb::SetTzRaiseMode(raise);
  if (!ok) {
    // A write that failed is given up: the record shows the file again.
    try {
      const xb::DataSetState s = tzdbf->State();
      if (s == xb::DataSetState::Edit || s == xb::DataSetState::Insert) tzdbf->Cancel();
    } catch (const std::exception&) {
      // The dataset stays as the failure left it.
    }
    if (!refused.empty()) {
      // The cause and what became of the action, without the engine's codes.
      xb::ClearTzErrorState();
      ShowErrorBox("Fehler : " + refused);
      G().AbortFlag = 1;
    } else if (onDamage && onDamage(code, text)) {
      xb::ClearTzErrorState();
      G().AbortFlag = 1;
    } else {
      ReportDbfError(code, text);
    }
  }
  return ok;
}

void TableWindow::Settle() {
  if (!open_) return;
  const xb::DataSetState s = tzdbf->State();
  if (s != xb::DataSetState::Edit && s != xb::DataSetState::Insert) return;
  Guarded([&] {
    tzdbf->CheckBrowseMode();
    // A refused record lock leaves the edit: it is not asked for again.
    const xb::DataSetState after = tzdbf->State();
    if (after == xb::DataSetState::Edit || after == xb::DataSetState::Insert) tzdbf->Cancel();
  });
}

bool TableWindow::Run(const std::function<void()>& body) {
  if (!open_) return false;
  Settle();
  return Guarded(body);
}

void TableWindow::OpenFile(const std::string& path) {
  if (RefusedInUse(FromUtf8(CodePage::Cp850, path) + " wird erst danach geöffnet."_oem)) return;
  const ScopedDepth use(depth_);  // counted while the call runs
  // What a refused call inside the open sets is not this open's failure.
  const Byte abortBefore = G().AbortFlag;
  SetHourglassCursor();
  if (open_) CloseNow();
  MakeDatasets();
  // Named from here on: a refused call inside the open names it.
  fileName_ = path;
  // A damage the engine finds is named as the damages found before it.
  const auto damaged = [&](std::uint16_t code, const std::string& text) {
    const std::string why = EngineOpenDamage(code, text, path);
    if (!why.empty()) ReportDamagedTable(path, why);
    return !why.empty();
  };
  const bool ok = Guarded(
      [&] {
        tzdbf->SetDbfFileName(path);
        tzdbf->SetActive(true);
      },
      damaged);
  if (ok && tzdbf->Active()) {
    open_ = true;
    G().AbortFlag = abortBefore;
  } else {
    fileName_.clear();
    // A table whose open failed is closed again.
    Guarded([&] {
      if (tzdbf->Active()) tzdbf->Close();
    });
    MakeDatasets();
    G().AbortFlag = 1;
  }
  SetArrowCursor();
}

void TableWindow::OpenWithWriteCheck(std::string_view name) {
  if (RefusedInUse(FromUtf8(CodePage::Cp850, name) + " wird erst danach geöffnet."_oem)) return;
  const std::string path = TablePathWithWriteCheck(name, true);
  if (!path.empty()) OpenFile(path);
}

void TableWindow::CloseTable() {
  if (RefusedInUse("sie bleibt offen.")) return;
  CloseNow();
}

void TableWindow::CloseNow() {
  if (open_) {
    // A field change not yet posted is written, not lost.
    Settle();
    Guarded([&] { tzdbf->SetActive(false); });
  }
  open_ = false;
  found_ = false;
  SetArrowCursor();
}

void TableWindow::SetTitles(std::string_view title1, std::string_view title2) {
  title1_ = title1;
  title2_ = title2;
}

std::string TableWindow::Caption850() const {
  if (BrowseMode(mode_)) return Cp1252To850(title2_ + "   " + title1_);
  return Cp1252To850(title2_ + "  " + title1_ + "  (") + FromUtf8(CodePage::Cp850, fileName_) + ")";
}

bool TableWindow::HidesDeleted() { return open_ && tzdbf->HideDeletedRecs(); }

void TableWindow::SetHideDeleted(bool hide) {
  Run([&] { tzdbf->SetHideDeletedRecs(hide); });
}

void TableWindow::ShowTable(int mode) {
  if (RefusedInUse("sie wird kein zweites Mal gezeigt.")) return;
  if (!open_) {
    G().AbortFlag = 1;
    return;
  }
  const bool browse = BrowseMode(mode);
  if (mode == 1) SetHideDeleted(true);
  if (mode == 4 || !browse) SetHideDeleted(false);
  if (!browse) {
    WarnWhenTableIsACopy();
    MendRecordsPastCount();
  }
  mode_ = mode;
  BrowseAnswer a;
  {
    const ScopedFlag shown(shown_);
    a = TableBrowser().Browse(*this, mode);
  }
  TableWindowGlobals& g = TableGlobals();
  if (!a.ok) {
    G().AbortFlag = 1;
    g.LastKeyCode = 27;
    return;
  }
  G().AbortFlag = 0;
  Settle();
  if (a.record > 0) GoRecord(a.record);
  g.LastKeyCode = 13;
  g.TableLastRecNo = RecNo();
  g.TableLastRow = a.row;
  g.TableLastCol = a.col;
}

void TableWindow::MendRecordsPastCount() {
  std::int32_t past = 0, count = 0;
  std::uint16_t length = 0;
  if (!Run([&] {
        past = tzdbf->RecordsPastCount();
        count = tzdbf->RecCount();
        length = xb::RecSize();
      }) ||
      past <= 0)
    return;
  const std::string records = past == 1 ? std::string("1 Datensatz") : std::to_string(past) + " Datensätze"_oem;
  const std::string numbers = past == 1 ? "als Datensatz " + std::to_string(count + 1)
                                        : "als Datensätze "_oem + std::to_string(count + 1) + " bis " +
                                              std::to_string(count + past);
  const std::string text =
      "Die Tabelle "_oem + TableName() + " ist länger, als ihr Kopf sagt: hinter ihren "_oem +
      std::to_string(count) + " Datensätzen stehen noch "_oem + records + " (" +
      std::to_string(static_cast<std::int64_t>(past) * length) +
      " Byte) eines abgebrochenen Anhängens, die sie nicht zeigt. Ja: "_oem + numbers +
      " übernehmen; Nein: entfernen; Abbrechen: die Datei bleibt, wie sie ist."_oem;
  const Answer a = Ui().Question(OemToAnsiStr(G().ProgramTitle), OemToAnsiStr(text), QuestionKind::YesNoCancel);
  if (a == Answer::Cancel) return;
  bool locked = false, mended = false;
  const bool ok = Run([&] {
    // Under the file lock no other program appends meanwhile.
    const xb::TTzLockScope scope(*tzdbf);
    if (!tzdbf->FLock()) {
      ShowErrorBox(LockedBy(false) + "die Datei bleibt, wie sie ist."_oem);
      return;
    }
    locked = true;
    mended = tzdbf->MendRecordsPastCount(a == Answer::Yes);
  });
  // Another program appended over them while the question was open.
  if (ok && locked && !mended)
    ShowMessageText("Die Tabelle "_oem + TableName() + " wurde inzwischen geändert; die Datei bleibt, wie sie ist."_oem);
}

bool TableWindow::NoRecordsPastCount(bool ask) {
  std::int32_t past = 0;
  const auto count = [&] {
    past = 0;
    const bool raise = xb::SetTzRaiseMode(false);
    try {
      past = tzdbf->RecordsPastCount();
    } catch (const std::exception&) {
      past = 0;  // the append reports what is wrong
    }
    xb::SetTzRaiseMode(raise);
    xb::ClearTzErrorState();
  };
  count();
  if (past <= 0) return true;
  if (ask) {
    MendRecordsPastCount();
    count();
    if (past <= 0) return true;
  }
  ShowErrorBox("Hinter den Datensätzen der Tabelle "_oem + TableName() +
               " stehen noch Reste eines abgebrochenen Anhängens, die ein neuer Datensatz überschreiben würde; "
               "es wird nichts angehängt, solange die Datei so bleibt. Die Frage dazu kommt beim nächsten Öffnen "
               "zum Bearbeiten wieder."_oem);
  G().AbortFlag = 1;
  return false;
}

void TableWindow::GoRecord(std::int32_t n) {
  Run([&] { tzdbf->Go(n); });
}

void TableWindow::GoTop() {
  Run([&] { tzdbf->GoTop(); });
}

void TableWindow::Skip(std::int32_t n) {
  Run([&] { tzdbf->Skip(n); });
}

bool TableWindow::IsEof() {
  bool eof = true;
  Run([&] { eof = tzdbf->IsEof(); });
  return eof;
}

std::int32_t TableWindow::RecNo() {
  std::int32_t n = 0;
  Run([&] {
    n = tzdbf->GetRecNo();
    // A table without records stands past its end.
    if (n < 1 && tzdbf->SelectWorkArea("RecNo")) n = xb::RecNo();
  });
  return n;
}

std::int32_t TableWindow::RecCount() {
  std::int32_t n = 0;
  Run([&] { n = tzdbf->RecCount(); });
  return n;
}

int TableWindow::FieldCount() {
  int n = 0;
  Run([&] { n = tzdbf->FieldCount(); });
  return n;
}

bool TableWindow::Deleted() {
  bool d = false;
  Run([&] { d = tzdbf->Deleted(); });
  return d;
}

std::string TableWindow::FieldName(int n) {
  std::string name;
  Run([&] {
    if (n >= 1 && n <= tzdbf->FieldCount()) name = tzdbf->Field(n);
  });
  return name;
}

char TableWindow::FieldType(int n) {
  if (!open_) return 0;
  const std::vector<xb::TzFieldMap>& maps = tzdbf->FieldMaps();
  if (n < 1 || n > static_cast<int>(maps.size())) return 0;
  return maps[static_cast<std::size_t>(n - 1)].desc.type;
}

int TableWindow::FieldDecimals(int n) {
  if (!open_) return 0;
  const std::vector<xb::TzFieldMap>& maps = tzdbf->FieldMaps();
  if (n < 1 || n > static_cast<int>(maps.size())) return 0;
  return maps[static_cast<std::size_t>(n - 1)].desc.decimals;
}

std::string TableWindow::RawField(int n) {
  std::string text;
  Run([&] {
    if (n < 1 || n > tzdbf->FieldCount() || tzdbf->IsEmpty()) return;
    tzdbf->Peek(n, tzdbf->GetRecNo(), text);
  });
  return text;
}

std::string TableWindow::GetField(int n) {
  std::string text;
  Run([&] {
    if (n >= 1 && n <= tzdbf->FieldCount()) text = tzdbf->SField(n);
  });
  return text;
}

// The setters leave the value in the record being edited; it is written
// when the record is posted or left.
void TableWindow::PutStrByName(std::string_view name, std::string_view text) {
  if (open_) Guarded([&] { tzdbf->SetStrByName(name.substr(0, 10), text); });
}

void TableWindow::PutIntByName(std::string_view name, std::int32_t value) {
  if (!open_) return;
  Guarded([&] {
    xb::TField& f = tzdbf->FieldByName(name.substr(0, 10));
    // A number never turns into a logical value.
    if (f.Type() == xb::TFieldType::Boolean) return;
    tzdbf->SetIntByName(name.substr(0, 10), value);
  });
}

void TableWindow::PutFloatByName(std::string_view name, const Real48& value) {
  if (open_) Guarded([&] { tzdbf->SetFloatByName(name.substr(0, 10), value); });
}

void TableWindow::PutBoolByName(std::string_view name, bool value) {
  if (open_) Guarded([&] { tzdbf->SetBoolByName(name.substr(0, 10), value); });
}

bool TableWindow::GetBoolByName(std::string_view name) {
  bool v = false;
  if (open_) Guarded([&] { v = tzdbf->GetBoolByName(name.substr(0, 10)); });
  return v;
}

bool TableWindow::AppendLocked(const std::function<void()>& beforeAppend) {
  bool ok = false;
  if (open_ && !NoRecordsPastCount(true)) return false;
  Run([&] {
    // The append lock goes when the append ends, also when it fails.
    const xb::TTzLockScope scope(*tzdbf);
    // Another program holds the table: the user may try again.
    while (!tzdbf->ALock()) {
      if (!AskRetryCancel(LockedBy(false) + "der neue Datensatz ist noch nicht angehängt."_oem)) return;
    }
    if (beforeAppend) beforeAppend();
    tzdbf->AppendRec();
    ok = true;
  });
  return ok;
}

void TableWindow::ToggleDeleted() {
  Run([&] {
    if (tzdbf->IsEmpty()) return;
    tzdbf->SetDeletedFlag(!tzdbf->GetDeletedFlag());
  });
}

bool TableWindow::Pack() {
  bool ok = false;
  if (!open_) return false;
  SetHourglassCursor();
  Settle();
  // Another program that has the table open keeps it from being packed.
  Guarded([&] { ok = tzdbf->Pack(); },
          [this](std::uint16_t code, const std::string&) {
            // A lock refused after the packed table took its place: the
            // failure's own text tells what the files hold.
            const xb::TzEngine& e = xb::Engine();
            if ((code != 32 && code != 33) || e.packCommitted || e.packMemoOnly) return false;
            ShowErrorBox("Die Tabelle "_oem + TableName() +
                         " ist noch in einem anderen Programm geöffnet; Pack ist erst möglich, wenn es sie schließt. "
                         "Es wurde nichts gelöscht."_oem);
            return true;
          });
  SetArrowCursor();
  return ok;
}

bool TableWindow::IndexOn(std::string_view expression, const std::string& indexPath) {
  if (!open_) return false;
  SetHourglassCursor();
  // Another program building its own index of this table holds the table
  // lock for a moment: the build waits up to a second for it instead of
  // failing at the first attempt.
  struct PatientLocks {
    xbase::TzEngine& engine = xbase::Engine();
    std::uint8_t retries = engine.retryCount, wait = engine.retryWait;
    PatientLocks() {
      if (retries == 0) engine.retryCount = 100, engine.retryWait = 10;
    }
    ~PatientLocks() { engine.retryCount = retries, engine.retryWait = wait; }
  } patient;
  const bool ok = Run([&] {
    std::string file = indexPath;
    const std::size_t slash = file.find_last_of('/');
    if (file.find('.', slash == std::string::npos ? 0 : slash) == std::string::npos) file += ".ndx";
    tzdbf->IndexOn(expression, file);
  });
  SetArrowCursor();
  return ok;
}

void TableWindow::SetIndexTo(const std::string& indexPath) {
  if (!open_) return;
  SetHourglassCursor();
  // One file by its full name: a folder with blanks stays one name.
  Run([&] { tzdbf->SetIndexToLFN(indexPath + ".ndx", 1); });
  SetArrowCursor();
}

void TableWindow::Find(std::string_view key) {
  found_ = false;
  if (!open_) return;
  SetHourglassCursor();
  const std::string k(key.substr(0, 255));
  Run([&] {
    found_ = tzdbf->Find(k);
    if (!found_ && std::count(k.begin(), k.end(), ',') == 1) {
      std::string dotted = k;
      std::replace(dotted.begin(), dotted.end(), ',', '.');
      found_ = tzdbf->Find(dotted);
    }
  });
  SetArrowCursor();
}

}  // namespace zeb
