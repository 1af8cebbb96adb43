// The Documentation commands: the change log with its entry and
// drawing-information forms and its report, and the document links with
// their set-up form and program start. The forms are models (texts in
// Windows code page 1252); the windows that show them come through
// DocumentationDialogs.
#pragma once
#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zeb {

// --- One change entry ----------------------------------------------------

struct ChangeEntryForm {
  std::string change, date, editor, description;  // 1252
};
inline constexpr std::array<int, 4> kChangeEntryMaxLength{20, 10, 5, 255};
// Maximum lengths of an approval row's date and name (drawing information).
inline constexpr std::array<int, 2> kApprovalMaxLength{10, 30};
ChangeEntryForm FillChangeEntryForm(int n);
// OK: the four fields into entry n (texts cut to their limits).
void ApplyChangeEntryForm(const ChangeEntryForm& f, int n);

// --- Drawing information -------------------------------------------------

struct DrawingInfoForm {
  std::string replaces, replacedBy;
  // Grid 1: rows 0..3 (Bearb., Gepr., Norm, release), columns date, name.
  std::array<std::array<std::string, 2>, 4> roles;
  // Grid 2: rows 0..7, columns x, y, h, phi, text.
  std::array<std::array<std::string, 5>, 8> texts;
};
DrawingInfoForm FillDrawingInfoForm();
// Row labels of grid 1 (1252): "Bearb.", "Gepr.", "Norm", the configured text.
std::array<std::string, 4> DrawingInfoRoleLabels();
// OK: false, with the error box, when a text holds "|"; nothing stored then.
bool ApplyDrawingInfoForm(const DrawingInfoForm& f);

// --- Document links ------------------------------------------------------

struct DocumentLinksForm {
  std::array<std::string, 5> program, file;  // paths as stored (UTF-8)
};
DocumentLinksForm FillDocumentLinksForm();
void ApplyDocumentLinksForm(const DocumentLinksForm& f);
// The argument vector link n (1..5) starts: the program split at blanks
// (quotes group), the file one more argument when not empty, as an
// absolute path. An empty program or one of the Windows viewers of the
// start values gives the desktop's opener.
std::vector<std::string> DocumentLinkArguments(int n);
// Starts link n. A command not yet confirmed or typed in the document
// dialog in this session is shown in a yes/no question first (No keeps it
// from starting). A program that cannot be started gives the box
// "<program> not found".
void OpenDocumentLink(int n);

// --- The windows ---------------------------------------------------------

// Each returns true for OK, false for Cancel; the form is edited in place.
struct DocumentationDialogs {
  std::function<bool(ChangeEntryForm&, int n)> changeEntry;
  std::function<bool(DrawingInfoForm&)> drawingInfo;
  std::function<bool(DocumentLinksForm&)> documentLinks;
};
// Without installed windows every form counts as cancelled.
void SetDocumentationDialogs(DocumentationDialogs dialogs);
const DocumentationDialogs& CurrentDocumentationDialogs();

// --- Commands ------------------------------------------------------------

// command 0 asks first; 1 new, 2 change, 3 delete, 4 show, 5 print,
// 6 drawing information.
void ChangeLogCommand(int command);
// The entry form for entry n; AbortFlag 0 on OK, 1 on Cancel.
void EditChangeEntry(int n);
void EditDrawingInfo();
void EditDocumentLinks();
// Writes the log through the output device (target as OpenOutputDevice).
void ChangeLogReport(int target);

}  // namespace zeb
