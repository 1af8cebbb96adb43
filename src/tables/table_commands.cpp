// The commands of the table window's menu and buttons.
#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/dialogs.h"
#include "base/files.h"
#include "base/globals.h"
#include "base/viewer.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/oem_literal.h"
#include "reports/device.h"
#include "reports/table.h"
#include "tables/table_window.h"
#include "xbase/core/engine.h"
#include "xbase/dbf/tablecmds.h"

namespace zeb {

namespace xb = xbase;

namespace {

std::string Dotted(std::string text) {
  std::replace(text.begin(), text.end(), ',', '.');
  return text;
}

// Text bytes of the table (code page 850) as HTML text in UTF-8.
std::string CellHtml(std::string_view bytes) {
  std::string out;
  for (char c : ToUtf8(CodePage::Cp850, bytes)) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\0': out += ' '; break;
      default: out += c;
    }
  }
  return out;
}

std::string AsciiUpper(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return s;
}

}  // namespace

void TableWindow::SearchCommand(const std::function<void()>& started) {
  if (!open_) return;
  BaseGlobals& g = G();
  const std::uint16_t savedHelp = g.HelpNumber;
  SetCurrentHelpNumber(2450);
  std::string text = searchText_;
  InputText("Suchbegriff eingeben", 50, text);
  if (g.AbortFlag != 0) {
    g.AbortFlag = 0;
  } else {
    searchText_ = text;
    SetHourglassCursor();
    if (started) started();
    int field = 0;
    Run([&] {
      field = tzdbf->Search(Cp850To1252(searchText_), 0, 1);
      if (field == 0) field = tzdbf->Search(Cp850To1252(Dotted(searchText_)), 0, 1);
    });
    SetArrowCursor();
    if (field == 0) ShowMessageText(searchText_ + " nicht gefunden");
  }
  SetCurrentHelpNumber(savedHelp);
}

void TableWindow::SearchNextCommand() {
  if (!open_) return;
  int field = 0;
  SetHourglassCursor();
  Run([&] {
    field = tzdbf->Search(Cp850To1252(searchText_), 0, 0);
    if (field == 0) field = tzdbf->Search(Cp850To1252(Dotted(searchText_)), 0, 0);
  });
  SetArrowCursor();
  if (field == 0) ShowMessageText(searchText_ + " nicht gefunden");
}

void TableWindow::SortByColumn(int column) {
  if (!open_ || column < 0 || column >= FieldCount()) return;
  const char type = FieldType(column + 1);
  if (type == 'L' || type == 'M') return;
  TableGlobals().TableLastRecNo = RecNo();
  const std::string index = ScratchFile("$tlmtemp");
  if (index.empty()) {
    RefuseScratchFile();
    return;
  }
  if (IndexOn(FieldName(column + 1), index)) SetIndexTo(index);
  GoRecord(TableGlobals().TableLastRecNo);
}

// The menu's Pack runs at once: the user marked the records and chose Pack.
void TableWindow::PackCommand() {
  if (!open_) return;
  xb::TzEngine& e = xb::Engine();
  const bool confirm = e.confirmPack;
  e.confirmPack = false;
  Pack();
  e.confirmPack = confirm;
}

// Appends take the file lock first and append nothing without it: another
// program writing the table meanwhile would otherwise lose records. The
// lock goes when the command ends, also when a write fails.
void TableWindow::AppendDbfCommand(const std::string& path) {
  bool done = false;
  if (!NoRecordsPastCount(true)) return;
  Run([&] {
    const xb::TTzLockScope scope(*tzdbf);
    if (!tzdbf->FLock()) {
      ShowErrorBox(LockedBy(false) + "es wurde nichts angehängt."_oem);
      return;
    }
    tzdbf->AppendFrom(path);
    done = true;
  });
  if (done) ShowMessageText(AppendedFrom(path));
}

std::string TableWindow::AppendedFrom(const std::string& path) {
  const xb::AppendFromReport& r = xb::LastAppendFromReport();
  const std::string source = FromUtf8(CodePage::Cp850, path.substr(path.find_last_of('/') + 1));
  std::string text = (r.appended == 1 ? std::string("1 Datensatz") : std::to_string(r.appended) + " Datensätze"_oem) +
                     " aus " + source + " an " + TableName() + " angehängt."_oem;
  if (r.lost.empty()) return text;
  text += " " + (r.lost.size() == 1 ? std::string("1 Wert konnte") : std::to_string(r.lost.size()) + " Werte konnten") +
          " nicht übernommen werden:"_oem;
  constexpr std::size_t kNamed = 10;
  for (std::size_t i = 0; i < r.lost.size() && i < kNamed; ++i) {
    const xb::AppendFromLoss& l = r.lost[i];
    const xb::FieldDesc* f = nullptr;
    for (const xb::TzFieldMap& m : tzdbf->FieldMaps())
      if (m.desc.name == l.field) f = &m.desc;
    text += "\nSatz " + std::to_string(l.record) + ", Feld " + Cp1252To850(l.field) + ": \"" + Cp1252To850(l.text) + "\" ";
    if (l.why == xb::AppendFromLoss::Why::NotANumber) {
      text += "ist keine Zahl; das Feld bleibt leer.";
    } else if (l.why == xb::AppendFromLoss::Why::NotADate) {
      text += "ist kein Datum; das Feld bleibt leer.";
    } else if (f != nullptr && f->type == 'C') {
      text += "passt nicht in " + std::to_string(f->length) + " Zeichen; das Feld zeigt " +
              std::string(f->length, '*') + ".";
    } else if (f != nullptr) {
      text += "passt nicht in " + std::to_string(f->length) + " Stellen mit " + std::to_string(f->decimals) +
              " nach dem Komma; das Feld bleibt leer.";
    }
  }
  if (r.lost.size() > kNamed) text += "\n... und " + std::to_string(r.lost.size() - kNamed) + " weitere.";
  return text;
}

void TableWindow::AppendDelimitedCommand(const std::string& path) {
  if (!NoRecordsPastCount(true)) return;
  Run([&] {
    const xb::TTzLockScope scope(*tzdbf);
    if (!tzdbf->FLock()) {
      ShowErrorBox(LockedBy(false) + "es wurde nichts angehängt."_oem);
      return;
    }
    tzdbf->AppendFromDelimited(path);  // with the engine's progress window
  });
}

void TableWindow::SaveAsDelimitedCommand(const std::string& path) {
  Run([&] {
    const xb::TTzLockScope scope(*tzdbf);
    tzdbf->FLock();
    tzdbf->CopyToDelimited(path);
  });
}

bool TableWindow::ExportHtml(const std::string& path) {
  if (!open_) return false;
  const BaseGlobals& g = G();
  std::string html;
  auto line = [&html](const std::string& text) { html += text + "\r\n"; };
  std::string name = path.substr(path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/') + 1);
  if (const std::size_t dot = name.find_last_of('.'); dot != std::string::npos && dot > 0) name.resize(dot);
  line("<HTML>");
  line("<head><meta charset=\"utf-8\"><title>" + CellHtml(FromUtf8(CodePage::Cp850, name)) + "</title></head>");
  line("<BODY BGCOLOR=\"C0C0C0\">");
  line("<P>" + CellHtml(g.ProductName) + "V" + CellHtml(g.ProgramVersion) + "</P>");
  line("<P>" + CellHtml(FromUtf8(CodePage::Cp850, AsciiUpper(path))) + "</P>");
  line("<P>" + CellHtml(TodayDateString()) + " - " + CurrentTimeString() + "</P>");
  line("<HR>");
  line("<TABLE BORDER = \"1\" WIDTH= \"100%\">");
  const bool ok = Run([&] {
    const int fields = tzdbf->FieldCount();
    std::string head = "<TR>";
    for (int f = 1; f <= fields; ++f) head += "<TD><CENTER>" + CellHtml(tzdbf->Field(f)) + "</CENTER></TD>";
    line(head + "</TR>");
    const std::int32_t count = tzdbf->RecCount();
    std::string cell;
    for (std::int32_t r = 1; r <= count; ++r) {
      std::string row = "<TR>";
      for (int f = 1; f <= fields; ++f) {
        tzdbf->Peek(f, r, cell);
        row += "<TD>" + CellHtml(cell) + "</TD>";
      }
      line(row + "</TR>");
    }
  });
  if (!ok) return false;
  line("</TABLE>");
  line("</BODY>");
  line("</HTML>");
  if (const int err = WriteWholeFile(path, html); err != 0) {
    ShowFileWriteError(path, err);
    return false;
  }
  // The viewer gets the file as one argument; one that does not start or
  // ends with an error (xdg-open without a browser) is named, the page kept.
  const auto tell = [path](const std::string& why) {
    ShowMessageText("HTML-Ansicht nicht gestartet: "_oem + why + "; die Seite steht in "_oem +
                    FromUtf8(CodePage::Cp850, path));
  };
  // Told while the table window is still open.
  if (const std::string why = OpenDocumentWith(g.HtmlBrowserPath, path, tell, true); !why.empty()) tell(why);
  return true;
}

void TableWindow::PrintCommand() {
  if (!open_) return;
  BaseGlobals& g = G();
  SetReportTitles(g.ProductName + " V" + g.ProgramVersion, FromUtf8(CodePage::Cp850, fileName_), Caption850(),
                  Cp1252To850(title1_), "", 0);
  const std::string table = fileName_.substr(fileName_.rfind('/') + 1);
  OpenOutputDevice(kOutInternal, "", "Tabelle " + FromUtf8(CodePage::Cp1252, table));
  if (g.AbortFlag != 0) return;
  OutputDeviceGuard guard;
  WriteReportPageHead(0, 0);
  if (g.AbortFlag == 0) WriteResultLine("");
  if (g.AbortFlag != 0) return;
  // Every field, each column its field's length + 1 wide (a cell holds at
  // most 60 characters).
  struct Column {
    int field = 0;  // 0: the record number
    std::int32_t width = 0;
    std::string title;
  };
  std::vector<Column> fields;
  Run([&] {
    for (int f = 1; f <= tzdbf->FieldCount(); ++f)
      fields.push_back({f, std::min(tzdbf->FieldLen(f) + 1, 61), Cp1252To850(tzdbf->Field(f))});
  });
  // A table wider than a report line, or of more than seven fields, goes in
  // parts of the fields that fit one line, each with every record and its
  // number, so that nothing is cut at the page's edge.
  constexpr std::size_t kColumns = 7;
  constexpr std::int32_t kNumberWidth = 6;
  std::int32_t total = 0;
  for (const Column& c : fields) total += c.width;
  const bool parts = fields.size() > kColumns || total > kReportLineWidth;
  std::vector<std::vector<Column>> groups;
  for (std::size_t f = 0; f < fields.size();) {
    std::vector<Column> group;
    std::int32_t width = 0;
    if (parts) {
      group.push_back({0, kNumberWidth, "Satz"});
      width = kNumberWidth;
    }
    const std::size_t empty = group.size();
    while (f < fields.size() && group.size() < kColumns) {
      // A part takes at least one field, however wide.
      if (parts && group.size() > empty && width + fields[f].width > kReportLineWidth) break;
      width += fields[f].width;
      group.push_back(fields[f++]);
    }
    groups.push_back(std::move(group));
  }
  const std::string count = std::to_string(fields.size());
  for (std::size_t p = 0; p < groups.size() && g.AbortFlag == 0; ++p) {
    std::array<std::int32_t, kColumns> widths{};
    std::array<std::string, kColumns> titles;
    const std::vector<Column>& group = groups[p];
    for (std::size_t c = 0; c < group.size(); ++c) widths[c] = group[c].width, titles[c] = group[c].title;
    if (parts) {
      const int first = group.size() > 1 ? group[1].field : 0, last = group.back().field;
      if (p > 0) WriteResultLine("");
      WriteResultLine(first == last ? "Feld " + std::to_string(first) + " von " + count
                                    : "Felder " + std::to_string(first) + " bis " + std::to_string(last) + " von " +
                                          count);
    }
    ReportTable table;
    table.ReportTableInit(widths[0], widths[1], widths[2], widths[3], widths[4], widths[5], widths[6], titles[0],
                          titles[1], titles[2], titles[3], titles[4], titles[5], titles[6]);
    Run([&] {
      const std::int32_t records = tzdbf->RecCount();
      std::array<std::string, kColumns> cells;
      for (std::int32_t r = 1; r <= records && g.AbortFlag == 0; ++r) {
        for (std::size_t c = 0; c < group.size(); ++c) {
          if (group[c].field == 0)
            cells[c] = std::to_string(r);
          else
            tzdbf->Peek(group[c].field, r, cells[c]);
        }
        table.ReportTableRow(cells[0], cells[1], cells[2], cells[3], cells[4], cells[5], cells[6]);
      }
    });
    table.ReportTableDone();
  }
}

}  // namespace zeb
