#include "graphics/helpcat.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "base/choosers.h"
#include "base/dialogs.h"
#include "base/fileattr.h"
#include "base/files.h"
#include "base/globals.h"
#include "base/help.h"
#include "base/text.h"
#include "graphics/cad.h"
#include "graphics/facade.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/oem_literal.h"

namespace zeb {

namespace {

std::shared_ptr<HelpPictureDialog>& DialogSlot() {
  static std::shared_ptr<HelpPictureDialog> d = std::make_shared<ScriptedHelpPictureDialog>();
  return d;
}

std::string HelpFolderSlash() {
  std::string folder = G().HelpFolder;
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

// Writes the lines to the scratch file and copies it over the catalogue;
// a failed copy leaves the catalogue as it was and sets AbortFlag.
void Rewrite(const std::string& catalogue, const std::vector<std::string>& lines) {
  std::string folder = CadTempFolder();
  if (folder.empty()) {
    G().AbortFlag = 1;
    return;
  }
  if (folder.back() != '/') folder += '/';
  const std::string scratch = folder + "$$$.dbh";
  {
    std::string bytes;
    for (const auto& l : lines) bytes += l;
    // Never through a link; for this user alone.
    const int fd = ::open(scratch.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    int err = fd >= 0 ? 0 : errno;
    for (std::size_t done = 0; err == 0 && done < bytes.size();) {
      const ssize_t w = ::write(fd, bytes.data() + done, bytes.size() - done);
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) err = w < 0 ? errno : ENOSPC;
      else done += static_cast<std::size_t>(w);
    }
    if (fd >= 0 && ::close(fd) != 0 && err == 0) err = errno;
    if (err != 0) {
      ShowError("Bilderkatalog: Datei "_oem + FromUtf8(CodePage::Cp850, scratch) +
                " kann nicht geschrieben werden"_oem + ": " + SystemErrorText(err) +
                "; der Katalog bleibt, wie er war."_oem);
      G().AbortFlag = 1;
      return;
    }
  }
  // The catalogue takes the copy whole, or stays as it was: told either way.
  int err = 0;
  if (CopyFileContents(scratch, catalogue, 2048, &err) != CopyOutcome::Ok) {
    ShowError("Bilderkatalog: Datei "_oem + FromUtf8(CodePage::Cp850, catalogue) +
              " kann nicht geschrieben werden"_oem + ": " + SystemErrorText(err) + "; sie bleibt, wie sie war."_oem);
    G().AbortFlag = 1;
  }
}

// Lines with every one ending, so that a line can be added after them.
std::vector<std::string> Terminated(std::vector<std::string> lines) {
  if (!lines.empty()) {
    std::string& last = lines.back();
    if (last.empty() || (last.back() != '\n' && last.back() != '\r')) last += "\r\n";
  }
  return lines;
}

// The stem of a chosen file name: without its folder and ".plt".
std::string StemOf(const std::string& name) {
  std::string s = name;
  const std::size_t slash = s.rfind('/');
  if (slash != std::string::npos) s = s.substr(slash + 1);
  if (s.size() > 4 && LowerStr(s.substr(s.size() - 4)) == ".plt") s.resize(s.size() - 4);
  return FromUtf8(CodePage::Cp850, s);
}

// The line k (1-based): q when given, else the user's choice; 0 cancelled.
int LineToUse(int q, int count, std::string_view prompt) {
  if (q > 0) return q;
  std::int16_t choice = 1;
  AskChoice(prompt, count, choice);
  return G().AbortFlag ? 0 : choice;
}

}  // namespace

// ------------------------------------------------------------ catalogue file

Catalogue ParseCatalogue(std::string_view bytes) {
  Catalogue c;
  std::string_view text;
  for (std::size_t i = 0, next = 0; NextTextLine(bytes, next, text); i = next) {
    c.lines.emplace_back(bytes.substr(i, next - i));  // with its line end
    if (text.empty() || static_cast<int>(c.entries.size()) >= kCatalogueLimit) continue;
    std::size_t p = 0;
    auto field = [&]() {
      std::string out;
      if (p < text.size() && text[p] == ',') ++p;
      if (p >= text.size()) return out;
      if (text[p] == '"') {
        ++p;
      } else {
        if (!c.badField) c.badLine = static_cast<int>(c.lines.size());
        c.badField = true;
      }
      while (p < text.size() && text[p] != '"') out += text[p++];
      if (p < text.size()) ++p;  // the closing quote
      return out;
    };
    CatalogueEntry e;
    e.stem = field();
    e.description = field();
    e.line = static_cast<int>(c.lines.size()) - 1;
    c.entries.push_back(std::move(e));
  }
  return c;
}

std::string CataloguePath() { return HelpDataFileToRead(LowerStr(G().ProgramShortName) + ".dbh"); }

std::string CatalogueLine(std::string_view stem, std::string_view description) {
  return "\"" + std::string(stem) + "\",\"" + std::string(description) + "\"\r\n";
}

bool UsableStem(std::string_view stem) {
  if (stem.empty() || stem == "." || stem == "..") return false;
  for (unsigned char c : stem)
    if (c < 32 || c == 127 || c == '/') return false;
  return true;
}

// ------------------------------------------------------------ the form's logic

void HelpPictureFormState::ListChange(int index) {
  G().AbortFlag = 0;
  selection = index;
  closed = true;
}
void HelpPictureFormState::SpinUp() {
  selection = std::max(0, selection - 1);
  G().AbortFlag = 0;
  closed = true;
}
void HelpPictureFormState::SpinDown() {
  selection = std::clamp(selection + 1, 0, std::max(0, itemCount - 1));
  G().AbortFlag = 0;
  closed = true;
}
void HelpPictureFormState::Ok() {
  G().AbortFlag = 1;
  action = 0;
  closed = true;
}
void HelpPictureFormState::New() {
  action = 1;
  selection = itemCount;  // no entry
  closed = true;
}
void HelpPictureFormState::Insert() {
  action = 2;
  closed = true;
}
void HelpPictureFormState::Delete() {
  action = 3;
  closed = true;
}
void HelpPictureFormState::Change() {
  action = 9;
  closed = true;
}
void HelpPictureFormState::Help() {
  ShowHelpText(G().HelpNumber, "", 1);
  G().AbortFlag = 0;
}

void ScriptedHelpPictureDialog::Run(std::string_view caption, const std::vector<std::string>& items, int current,
                                    HelpPictureFormState& state) {
  seen_.push_back({std::string(caption), items, current});
  state.selection = current - 1;
  state.action = 0;
  if (next_ >= answers_.size()) {
    state.Ok();
    return;
  }
  const auto [press, index] = answers_[next_++];
  switch (press) {
    case Press::Pick: state.ListChange(index); break;
    case Press::Up: state.SpinUp(); break;
    case Press::Down: state.SpinDown(); break;
    case Press::Ok: state.Ok(); break;
    case Press::New: state.New(); break;
    case Press::Insert: state.Insert(); break;
    case Press::Delete: state.Delete(); break;
    case Press::Change: state.Change(); break;
  }
}

HelpPictureDialog& HelpPictureForm() { return *DialogSlot(); }
void SetHelpPictureDialog(std::shared_ptr<HelpPictureDialog> dialog) {
  DialogSlot() = dialog ? std::move(dialog) : std::make_shared<ScriptedHelpPictureDialog>();
}

// ------------------------------------------------------------ the loop

void RunHelpPictureCatalog(GraphicsFacade& f) {
  BaseGlobals& g = G();
  g.AbortFlag = 0;
  bool first = true;
  int p = 0, action = 0;
  // A damaged line is named once per catalogue, not before every pick.
  std::string namedDamage;
  while (true) {
    ++p;
    int count = 0;
    std::string stem;
    std::string bytes;
    const std::string path = CataloguePath();
    if (RefusedAsTooLarge(path)) {
      g.AbortFlag = 0;
      return;
    }
    if (ReadWholeFile(path, bytes)) {
      const Catalogue cat = ParseCatalogue(bytes);
      if (cat.badField) {
        const std::string damage = "Bilderkatalog "_oem + FromUtf8(CodePage::Cp850, path) + " beschädigt: Zeile "_oem +
                                   std::to_string(cat.badLine) + " ungültig"_oem;
        if (damage != namedDamage) ShowError(damage);
        namedDamage = damage;
      }
      count = static_cast<int>(cat.entries.size());
      auto& table = g.LineTable;
      if (table.size() < 136) table.resize(136);
      for (int i = 0; i < count; ++i)
        {
        // Padded to 8, never cut: the entry keeps its own stem anyway.
        const CatalogueEntry& e = cat.entries[static_cast<std::size_t>(i)];
        table[static_cast<std::size_t>(i + 1)] =
            e.stem + std::string(e.stem.size() < 8 ? 8 - e.stem.size() : 0, ' ') + ": " + e.description;
      }
      const char* commands[5] = {"-----  Erweitern  -----", "-----  Löschen  -----", "-----  Ändern  ------",
                                 "-----  Einfügen ------", "-----  HP-GL/2 drucken/plotten  ------"};
      for (int i = 0; i < 5; ++i)
        table[static_cast<std::size_t>(count + 1 + i)] = FromUtf8(CodePage::Cp850, commands[i]);
      SetCurrentHelpNumber(2300);
      int q = (action == 0 && p > 0) ? p : p - 1;
      if (first) {
        action = 0;
        q = 1;
        first = false;
      } else {
        std::vector<std::string> items;
        for (int i = 0; i < count; ++i) items.push_back(OemToAnsiStr(table[static_cast<std::size_t>(i + 1)]));
        HelpPictureFormState state;
        state.itemCount = count;
        // The picker opens over the picture just drawn.
        f.FlushPicture();
        HelpPictureForm().Run(OemToAnsiStr(g.ProductName) + " Hilfebilder", items, std::max(1, q - 1), state);
        if (g.AbortFlag) return;
        action = state.action;
        q = (state.selection >= 0 && state.selection < count) ? state.selection + 1 : 0;
        if (state.action == 1) q = count + 1;
      }
      switch (action) {
        case 0:
          if (q == 0) {
            g.AbortFlag = 1;
            return;
          }
          p = q;
          break;
        case 1: p = count + 1; break;
        case 2: p = count + 4; break;
        case 3: p = count + 2; break;
        case 9: p = count + 3; break;
        default: g.AbortFlag = 1; return;
      }
      const int sel = (q >= 1 && q <= count) ? q : 0;
      if (p <= count) {
        stem = cat.entries[static_cast<std::size_t>(p - 1)].stem;
      } else if (p == count + 1 || p == count + 4) {
        int k = 0;
        if (p == count + 4) {
          SetCurrentHelpNumber(2350);
          k = LineToUse(sel, count, "Vor welche Zeile einfügen ?"_oem);
          if (g.AbortFlag || k == 0) return;
        } else {
          SetCurrentHelpNumber(2310);
        }
        std::string folder = HelpFolderSlash();
        const std::string name = AskOpenFileName(1, folder, "*.plt");
        if (g.AbortFlag) return;
        SetCurrentHelpNumber(p == count + 1 ? 2310 : 2330);
        std::string description;
        InputText("Information zum Hilfebild", 50, description);
        if (g.AbortFlag) return;
        const std::string line = CatalogueLine(StemOf(name), description);
        std::vector<std::string> lines = Terminated(cat.lines);
        if (p == count + 1) {
          lines.push_back(line);
        } else if (k <= count) {
          lines.insert(lines.begin() + cat.entries[static_cast<std::size_t>(k - 1)].line, line);
        }
        Rewrite(HelpDataFileToWrite(LowerStr(G().ProgramShortName) + ".dbh"), lines);
      } else if (p == count + 2) {
        SetCurrentHelpNumber(2320);
        int k = sel;
        if (k > 0) {
          if (!AskYesNoCancel("Löschen ?"_oem)) return;
        } else {
          k = LineToUse(0, count, "Zu löschende Zeile wählen..."_oem);
          if (g.AbortFlag || k == 0) return;
        }
        std::vector<std::string> lines = cat.lines;
        if (k <= count) lines.erase(lines.begin() + cat.entries[static_cast<std::size_t>(k - 1)].line);
        Rewrite(HelpDataFileToWrite(LowerStr(G().ProgramShortName) + ".dbh"), lines);
      } else if (p == count + 3) {
        SetCurrentHelpNumber(2330);
        const int k = LineToUse(sel, count, "Zu ändernde Zeile wählen..."_oem);
        if (g.AbortFlag || k == 0 || k > count) return;
        const CatalogueEntry& e = cat.entries[static_cast<std::size_t>(k - 1)];
        std::string newStem = e.stem, description = e.description;
        SetCurrentHelpNumber(2340);
        InputText("Dateiname (ohne Endung .plt)", 8, newStem);
        if (g.AbortFlag) return;
        SetCurrentHelpNumber(2330);
        InputText("Information zum Hilfebild", 50, description);
        if (g.AbortFlag) return;
        std::vector<std::string> lines = cat.lines;
        std::string line = CatalogueLine(newStem, description);
        const std::string& old = lines[static_cast<std::size_t>(e.line)];
        if (old.empty() || (old.back() != '\n' && old.back() != '\r')) line.resize(line.size() - 2);
        lines[static_cast<std::size_t>(e.line)] = line;
        Rewrite(HelpDataFileToWrite(LowerStr(G().ProgramShortName) + ".dbh"), lines);
      }
    } else {
      SetArrowCursor();
      std::string folder = HelpFolderSlash();
      const std::string name = AskOpenFileName(1, folder, "*.plt");
      if (g.AbortFlag) return;
      g.HelpFolder = folder;
      stem = StemOf(name);
      p = 1;
      count = 2;
    }
    if (g.AbortFlag) return;
    if (p >= 1 && p <= count) {
      f.GrafClear();
      f.GrafHeader(0, 0, 0, 160, 120);
      if (UsableStem(stem)) {
        f.PlayHpglFile(HelpPicturePath(ToUtf8(CodePage::Cp850, stem)));
      } else {
        f.GrafShowMessage(TrimBlanks(stem) + ".plt nicht gefunden !");
        g.AbortFlag = 1;
      }
    }
    if (g.AbortFlag) {
      g.AbortFlag = 0;
      return;
    }
  }
}

void GraphicsFacade::HelpPictureCatalog() { RunHelpPictureCatalog(*this); }

}  // namespace zeb
