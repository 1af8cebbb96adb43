#include "tables/table_window.h"

#include <algorithm>

#include "base/dialogs.h"
#include "base/files.h"
#include "base/globals.h"
#include "platform/codepage.h"
#include "platform/oem_literal.h"
#include "tables/table_functions.h"
#include "xbase/dbf/locking.h"
#include "xbase/index/ndx.h"
#include "xbase/dbf/tablecmds.h"
#include "xbase/core/engine.h"
#include "xbase/core/errors.h"
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
  xb::ClearTzErrorState();
  ShowErrorBox("Fehler : DBF Error " + std::to_string(code) + "\n" + Cp1252To850(text));
  G().AbortFlag = 1;
}

void WarnWhenTableIsACopy() {
  const TableWindow& w = TheTableWindow();
  if (!w.IsOpen()) return;
  const std::string& path = w.FileName();
  const std::size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  if (!G().TempFolder.empty() && folder == AddBackslash(G().TempFolder)) {
    ShowMessageText("Kein Schreibrecht für dbf-Ordner !  Bearbeitung im Temporär-Ordner."_oem);
  }
}

// ------------------------------------------------------------------ engine

void TableWindow::SelectOwnArea() { xb::SelectArea(area_); }

bool TableWindow::Guarded(const std::function<void()>& body) {
  const bool raise = xb::SetTzRaiseMode(true);
  const bool on = xb::SetTzErrorSwitch(true);
  bool ok = true;
  std::uint16_t code = 0;
  std::string text;
  try {
    if (open_) SelectOwnArea();
    body();
  } catch (const xb::ETzError& e) {
    code = xb::TzCurrentError();
    if (code == 0) code = xb::Engine().lastError;
    // "Fehler Nr. <code> (<meaning>)" CR LF the operation's text.
    const std::string message = e.what();
    const std::size_t crlf = message.find("\r\n");
    text = crlf == std::string::npos ? message : message.substr(crlf + 2);
    ok = false;
  } catch (const std::exception& e) {
    text = e.what();
    ok = false;
  }
  xb::SetTzErrorSwitch(on);
  xb::SetTzRaiseMode(raise);
  if (!ok) ReportDbfError(code, text);
  return ok;
}

void TableWindow::OpenFile(const std::string& path) {
  SetHourglassCursor();
  if (open_) CloseTable();
  const bool ok = Guarded([&] {
    if (area_ == 0) {
      xb::Select(0);
      area_ = xb::CurrentArea();
    } else {
      xb::Select(area_);
    }
    xb::USE(path);
    xb::SetIgnoreDel(false);
  });
  if (ok) {
    open_ = true;
    fileName_ = path;
  } else {
    // A table whose open failed is closed again.
    Guarded([&] {
      if (area_ != 0) {
        xb::SelectArea(area_);
        if (xb::CurrentWorkArea()) xb::CloseArea();
      }
    });
    G().AbortFlag = 1;
  }
  SetArrowCursor();
}

void TableWindow::OpenWithWriteCheck(std::string_view name) {
  const std::string path = TablePathWithWriteCheck(name);
  if (!path.empty()) OpenFile(path);
}

void TableWindow::CloseTable() {
  if (open_) {
    Guarded([] {
      xb::CloseIndexes();
      xb::CloseArea();
    });
  }
  open_ = false;
  found_ = false;
  SetArrowCursor();
}

void TableWindow::SetTitles(std::string_view title1, std::string_view title2) {
  title1_ = title1;
  title2_ = title2;
}

bool TableWindow::HidesDeleted() {
  if (!open_) return false;
  bool hide = false;
  Guarded([&] {
    hide = xb::SetIgnoreDel(false);
    xb::SetIgnoreDel(hide);
  });
  return hide;
}

void TableWindow::SetHideDeleted(bool hide) {
  if (open_) Guarded([&] { xb::SetIgnoreDel(hide); });
}

void TableWindow::ShowTable(int mode) {
  if (!open_) {
    G().AbortFlag = 1;
    return;
  }
  const bool browse = mode == 1 || mode == 4 || mode == 5;
  if (mode == 1) SetHideDeleted(true);
  if (mode == 4 || !browse) SetHideDeleted(false);
  if (!browse) WarnWhenTableIsACopy();
  const BrowseAnswer a = TableBrowser().Browse(*this, mode);
  TableWindowGlobals& g = TableGlobals();
  if (!a.ok) {
    G().AbortFlag = 1;
    g.LastKeyCode = 27;
    return;
  }
  G().AbortFlag = 0;
  if (a.record > 0) GoRecord(a.record);
  g.LastKeyCode = 13;
  g.TableLastRecNo = RecNo();
  g.TableLastRow = a.row;
  g.TableLastCol = a.col;
}

void TableWindow::GoRecord(std::int32_t n) {
  if (open_) Guarded([&] { xb::GO(n); });
}

void TableWindow::GoTop() {
  if (open_) Guarded([] { xb::GoTop(); });
}

void TableWindow::Skip(std::int32_t n) {
  if (open_) Guarded([&] { xb::SKIP(n); });
}

bool TableWindow::IsEof() {
  bool eof = true;
  if (open_) Guarded([&] { eof = xb::dEOF(); });
  return eof;
}

std::int32_t TableWindow::RecNo() {
  std::int32_t n = 0;
  if (open_) Guarded([&] { n = xb::RecNo(); });
  return n;
}

std::int32_t TableWindow::RecCount() {
  std::int32_t n = 0;
  if (open_) Guarded([&] { n = xb::RecCount(); });
  return n;
}

int TableWindow::FieldCount() {
  int n = 0;
  if (open_) Guarded([&] { n = xb::FieldCount(); });
  return n;
}

bool TableWindow::Deleted() {
  bool d = false;
  if (open_) Guarded([&] { d = xb::Deleted(); });
  return d;
}

std::string TableWindow::FieldName(int n) {
  std::string name;
  if (open_) {
    Guarded([&] {
      if (n >= 1 && n <= xb::FieldCount()) name = xb::Field(n);
    });
  }
  return name;
}

char TableWindow::FieldType(int n) {
  char type = 0;
  if (open_) {
    Guarded([&] {
      if (n >= 1 && n <= xb::FieldCount()) type = xb::FieldType(n);
    });
  }
  return type;
}

std::string TableWindow::RawField(int n) {
  std::string text;
  if (open_) {
    Guarded([&] {
      if (n >= 1 && n <= xb::FieldCount()) xb::Peek(n, xb::RecNo(), text);
    });
  }
  return text;
}

std::string TableWindow::GetField(int n) {
  std::string text;
  if (open_) {
    Guarded([&] {
      if (n >= 1 && n <= xb::FieldCount()) text = xb::FieldAsString(n);
    });
  }
  return text;
}

void TableWindow::WriteByName(std::string_view name, const std::function<void(int field)>& put) {
  if (!open_) return;
  Guarded([&] {
    const int n = xb::FieldNo(name.substr(0, 10));
    if (n < 1) return;
    const std::int32_t r = xb::RecNo();
    if (r < 1 || r > xb::RecCount()) return;
    const bool lockedHere = !xb::IsLocked(r) && xb::RLock();
    put(n);
    xb::Replace();
    if (lockedHere) xb::UnlockRec(r);
  });
}

void TableWindow::PutStrByName(std::string_view name, std::string_view text) {
  WriteByName(name, [&](int n) { xb::SetBufferText(*xb::CurrentWorkArea(), n, text); });
}

void TableWindow::PutIntByName(std::string_view name, std::int32_t value) {
  WriteByName(name, [&](int n) {
    if (xb::FieldType(n) == 'L') return;
    xb::SetBufferInteger(*xb::CurrentWorkArea(), n, value);
  });
}

void TableWindow::PutFloatByName(std::string_view name, long double value) {
  WriteByName(name, [&](int n) { xb::SetBufferNumber(*xb::CurrentWorkArea(), n, value); });
}

void TableWindow::PutBoolByName(std::string_view name, bool value) {
  WriteByName(name, [&](int n) { xb::SetBufferLogical(*xb::CurrentWorkArea(), n, value); });
}

bool TableWindow::GetBoolByName(std::string_view name) {
  bool v = false;
  if (open_) {
    Guarded([&] {
      const int n = xb::FieldNo(name.substr(0, 10));
      if (n >= 1) v = xb::BufferLogical(*xb::CurrentWorkArea(), n);
    });
  }
  return v;
}

bool TableWindow::AppendLocked(const std::function<void()>& beforeAppend) {
  bool ok = false;
  if (!open_) return false;
  Guarded([&] {
    if (!xb::ALock()) {
      ShowErrorBox("Sperren fehlgeschlagen [Insert]");
      return;
    }
    if (beforeAppend) {
      beforeAppend();
      SelectOwnArea();
    }
    xb::ClearRecord();
    xb::Append();
    xb::Unlock();
    ok = true;
  });
  return ok;
}

void TableWindow::ToggleDeleted() {
  if (!open_) return;
  Guarded([] {
    const std::int32_t r = xb::RecNo();
    if (r < 1 || r > xb::RecCount()) return;
    const bool lockedHere = !xb::IsLocked(r) && xb::RLock();
    if (xb::Deleted()) {
      xb::RecallRec();
    } else {
      xb::DeleteRec();
    }
    if (lockedHere) xb::UnlockRec(r);
  });
}

bool TableWindow::Pack() {
  bool ok = false;
  if (!open_) return false;
  SetHourglassCursor();
  Guarded([&] { ok = xb::Pack(); });
  SetArrowCursor();
  return ok;
}

bool TableWindow::IndexOn(std::string_view expression, const std::string& indexPath) {
  if (!open_) return false;
  SetHourglassCursor();
  const bool ok = Guarded([&] {
    xb::CloseIndexes();
    std::string file = indexPath;
    const std::size_t slash = file.find_last_of('/');
    if (file.find('.', slash == std::string::npos ? 0 : slash) == std::string::npos) file += ".ndx";
    xb::MakeIndexExpr(expression, file);
  });
  SetArrowCursor();
  return ok;
}

void TableWindow::SetIndexTo(const std::string& indexPath) {
  if (!open_) return;
  SetHourglassCursor();
  Guarded([&] {
    xb::CloseIndexes();
    xb::Set_Index_ToLFN(indexPath + ".ndx", 1);
  });
  SetArrowCursor();
}

void TableWindow::Find(std::string_view key) {
  found_ = false;
  if (!open_) return;
  SetHourglassCursor();
  const std::string k(key.substr(0, 255));
  Guarded([&] {
    found_ = xb::Find(k);
    if (!found_ && std::count(k.begin(), k.end(), ',') == 1) {
      std::string dotted = k;
      std::replace(dotted.begin(), dotted.end(), ',', '.');
      found_ = xb::Find(dotted);
    }
  });
  SetArrowCursor();
}

}  // namespace zeb
