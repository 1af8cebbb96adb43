// The five document links of the current spring and their section of the
// spring file.
#pragma once
#include <array>
#include <string>

namespace zeb {

constexpr int kDocumentLinkCount = 5;

struct DocumentLink {
  std::string Program;  // path of the program
  std::string File;     // path of the document
};

using DocumentLinkTable = std::array<DocumentLink, kDocumentLinkCount + 1>;  // 1..5; index 0 unused

// The links of the current spring.
DocumentLinkTable& DocumentLinks();
// The start values: the desktop's viewer "xdg-open" for all five; no files.
DocumentLinkTable DefaultDocumentLinks();

// The documents section as file lines (CR LF ends).
std::string FormatDocumentsSection(const DocumentLinkTable& links);
// Writes the section to WorkTextFile; an I/O error sets AbortFlag.
void WriteDocumentsSection();

}  // namespace zeb
