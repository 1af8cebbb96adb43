#include "spring/documents.h"

#include "base/format.h"
#include "base/textfile.h"
#include "spring/changelog.h"

namespace zeb {

namespace {
void AddLine(std::string& out, std::string_view s) {
  out.append(s);
  out.append("\r\n");
}
}  // namespace

DocumentLinkTable& DocumentLinks() {
  static DocumentLinkTable links = DefaultDocumentLinks();
  return links;
}

DocumentLinkTable DefaultDocumentLinks() {
  DocumentLinkTable links;
  for (int i = 1; i <= kDocumentLinkCount; ++i) links[static_cast<std::size_t>(i)].Program = "xdg-open";
  return links;
}

std::string FormatDocumentsSection(const DocumentLinkTable& links) {
  std::string out;
  AddLine(out, "Dokumente");
  AddLine(out, IntToText(kDocumentLinkCount));
  AddLine(out, std::string(20, '-'));
  for (int i = 1; i <= kDocumentLinkCount; ++i) {
    const DocumentLink& link = links[static_cast<std::size_t>(i)];
    AddLine(out, MarkLineBreaks(link.Program));
    AddLine(out, MarkLineBreaks(link.File));
    AddLine(out, std::string(14, '-'));
  }
  return out;
}

void WriteDocumentsSection() { WriteTextNoEol(FormatDocumentsSection(DocumentLinks())); }

}  // namespace zeb
