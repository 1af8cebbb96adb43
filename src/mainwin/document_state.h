// Everything reading a spring file changes: the spring's records, its
// change log, document links and value table, and the program's globals
// (name, folder, title block, messages, flags).
#pragma once
#include "base/globals.h"
#include "spring/changelog.h"
#include "spring/documents.h"
#include "spring/spring_data.h"
#include "spring/valuetable.h"

namespace zeb {

struct DocumentState {
  SpringGlobals spring = SG();
  ChangeLogData log = ChangeLog();
  DocumentLinkTable links = DocumentLinks();
  ValueTableRecord values = ValueTable();
  BaseGlobals base = G();
  void Restore() const {
    SG() = spring;
    ChangeLog() = log;
    DocumentLinks() = links;
    ValueTable() = values;
    G() = base;
  }
};

}  // namespace zeb
