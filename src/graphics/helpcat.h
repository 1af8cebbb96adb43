// The help-picture catalogue (a ".dbh" text file of "stem","description"
// lines in the help folder), the loop that shows its pictures, and the
// small picker form between them.
#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zeb {

class GraphicsFacade;

inline constexpr int kCatalogueLimit = 130;

struct CatalogueEntry {
  std::string stem;         // code page 850
  std::string description;  // code page 850
  int line = 0;             // index of its line in the file (0-based)
};

struct Catalogue {
  std::vector<CatalogueEntry> entries;  // at most 130
  std::vector<std::string> lines;       // every line of the file with its line end
  bool badField = false;                // a field did not start with a quote
  int badLine = 0;                      // the first such line (1-based)
};

// Parses catalogue bytes. Lines end at LF, CRLF or a lone CR; empty lines
// hold no entry; a field not starting with a double quote is taken as it
// stands and flags the reading.
Catalogue ParseCatalogue(std::string_view bytes);
// The catalogue path: help folder + short name in lower case + ".dbh"
// (another case is found when that one is missing).
std::string CataloguePath();
// A catalogue line: "stem","description" and CR LF.
std::string CatalogueLine(std::string_view stem, std::string_view description);
// A stem that names a file of the help folder: not empty, no "/", no
// control character, not "." or "..".
bool UsableStem(std::string_view stem);

// The picker form's logic; the Qt form and the scripted one drive it.
struct HelpPictureFormState {
  int itemCount = 1;
  int selection = -1;  // 0-based; -1 none
  int action = 0;      // 0 show, 1 new, 2 insert, 3 delete, 9 change
  bool closed = false;

  void ListChange(int index);
  void SpinUp();
  void SpinDown();
  void Ok();
  void New();
  void Insert();
  void Delete();
  void Change();
  void Help();
};

class HelpPictureDialog {
 public:
  virtual ~HelpPictureDialog() = default;
  // Shows the list (Windows-1252 texts) with current (1-based) selected,
  // modal; the state holds the outcome, AbortFlag says cancel.
  virtual void Run(std::string_view caption, const std::vector<std::string>& items, int current,
                   HelpPictureFormState& state) = 0;
};

// Scripted answers for tests and batch runs; with none left it presses OK
// (ends the loop).
class ScriptedHelpPictureDialog : public HelpPictureDialog {
 public:
  enum class Press { Pick, Up, Down, Ok, New, Insert, Delete, Change };
  void Add(Press p, int index = 0) { answers_.push_back({p, index}); }
  void Run(std::string_view caption, const std::vector<std::string>& items, int current,
           HelpPictureFormState& state) override;
  struct Shown {
    std::string caption;
    std::vector<std::string> items;
    int current;
  };
  const std::vector<Shown>& Seen() const { return seen_; }

 private:
  std::vector<std::pair<Press, int>> answers_;
  std::size_t next_ = 0;
  std::vector<Shown> seen_;
};

HelpPictureDialog& HelpPictureForm();
// nullptr puts back a fresh scripted dialog.
void SetHelpPictureDialog(std::shared_ptr<HelpPictureDialog> dialog);

// The catalogue loop.
void RunHelpPictureCatalog(GraphicsFacade& f);

}  // namespace zeb
