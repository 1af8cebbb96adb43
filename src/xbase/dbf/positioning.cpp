// Moving the record pointer of the current area: by index through the
// index hooks when one is active, else in physical order; passing over
// hidden records and stopping at the end of a WHILE scope. A jump (GO, a
// seek, the top or bottom) reads its one record; the steps of a walk
// through an exclusive area are served from the file layer's read-ahead
// and record blocks.
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "xbase/core/ansi_literal.h"
#include "xbase/dbf/locking.h"
#include "xbase/core/engine.h"
#include "xbase/core/errors.h"
#include "xbase/dbf/workarea.h"
#include "xbase/dbf/workarea_internal.h"

namespace zeb::xbase {

namespace {

const std::string kQuote = "\"";

std::string DbText(const WorkArea& a) { return "Datenbank " + kQuote + a.fileName + kQuote; }

bool Failed() { return TzCurrentError() != 0; }

// Next (forward) or prior record of a step: the index's or the neighbouring
// one; at end when the index stays put or reports its end.
std::int32_t StepOf(WorkArea& a, bool idx, bool forward, std::int32_t n, bool& atEnd) {
  if (idx) {
    std::int32_t t = forward ? IndexHooks().NextRecord() : IndexHooks().PriorRecord();
    if (t == n || (forward ? IndexHooks().IndexEof() : IndexHooks().IndexBof()) || t < 1 || t > a.recordCount)
      atEnd = true;
    return t;
  }
  const std::int32_t t = forward ? n + 1 : n - 1;
  if (forward ? t > a.recordCount : t < 1) atEnd = true;
  return t;
}

// The first (top) or last visible record, passing over hidden ones; the
// phantom record when there is none.
void GoEndOf(WorkArea& a, bool top) {
  bool idx = IndexActive();
  IndexSemaphore sem(idx, false);
  std::int32_t n = top ? 1 : a.recordCount;
  if (idx) {
    n = top ? IndexHooks().TopRecord() : IndexHooks().BottomRecord();
    if (n < 1 || n > a.recordCount) {
      GoPhantom(a);
      sem.Release();
      NotifyMove(a);
      return;
    }
  }
  ReadRecord(a, n, RecordRead::One);
  if (Failed()) return;
  while (!RecordVisible(a) && !(top ? a.eof : a.bof)) {
    bool atEnd = false;
    n = StepOf(a, idx, top, n, atEnd);
    if (atEnd) {
      GoPhantom(a);
      if (idx) {
        IndexHooks().SyncMaster();
        if (!top) {
          IndexHooks().SetIndexBof();
          IndexHooks().SetIndexEof();
        }
      }
      break;
    }
    ReadRecord(a, n);
    if (Failed()) return;
  }
  if (idx) IndexHooks().Resync();
  sem.Release();
  NotifyMove(a);
}

}  // namespace

bool RecordVisible(WorkArea& a) {
  bool deleted = a.isVirtual ? (a.recordBuffer != nullptr && a.recordBuffer[0] != 0)
                             : (!a.stored.empty() && a.stored[0] == '*');
  if (a.hideDeleted && deleted) return false;
  if (a.filter) {
    int saved = CurrentArea();
    bool pass = a.filter();
    SelectArea(saved);
    return pass;
  }
  if (a.filterExpr) return ParserHooks().EvaluateBool(a.filterExpr);
  return true;
}

bool WhileHolds(WorkArea& a) {
  if (a.whileCondition) {
    int saved = CurrentArea();
    bool holds = a.whileCondition();
    SelectArea(saved);
    return holds;
  }
  if (a.whileExpr) return ParserHooks().EvaluateBool(a.whileExpr);
  return true;
}

void NotifyMove(WorkArea& a) {
  if (!a.moveNotify) return;
  int saved = CurrentArea();
  int number = a.number;
  std::function<void()> fn = std::move(a.moveNotify);
  a.moveNotify = nullptr;
  std::int32_t record = a.recordNumber;
  std::uint8_t* flag = IndexHooks().Installed() ? IndexHooks().FoundFlag() : nullptr;
  std::uint8_t flagValue = flag ? *flag : 0;
  auto restore = [&] {
    SelectArea(saved);
    if (flag) *flag = flagValue;
    if (WorkArea* w = AreaAt(number); w == &a && !w->moveNotify) w->moveNotify = fn;
  };
  try {
    fn();
  } catch (...) {
    restore();
    throw;
  }
  restore();
  if (AreaAt(number) != &a) return;  // the notification closed the area
  std::uint16_t code = TzCurrentError();
  if (code == 0 && a.recordNumber != record) code = 224;
  if (code != 0) TzError(code, a.fileName);
}

void GoTop() {
  SetTzCurrentError(0);
  if (CheckWorkArea("GoTop")) return;
  WorkArea& a = *CurrentWorkArea();
  a.DropReadAhead();
  if (a.recordCount <= 0) return;
  GoEndOf(a, true);
}

void GoBottom() {
  SetTzCurrentError(0);
  if (CheckWorkArea("GoBottom")) return;
  WorkArea& a = *CurrentWorkArea();
  a.DropReadAhead();
  RefreshRecordCount(a);
  if (a.recordCount <= 0) return;
  GoEndOf(a, false);
}

void GO(std::int32_t n) {
  SetTzCurrentError(0);
  if (CheckWorkArea("GO")) return;
  WorkArea& a = *CurrentWorkArea();
  a.DropReadAhead();
  if (n > a.recordCount) RefreshRecordCount(a);
  std::string text = "Ungültige Datensatznr. = "_ansi + Num(n) + " " + DbText(a) + " [GO]";
  if (a.recordCount <= 0) {
    a.bof = a.eof = true;
    ClearRecordOf(a);
    TzError(212, text);
    return;
  }
  if (n >= 1 && n <= a.recordCount) {
    a.bof = a.eof = false;
    bool idx = IndexActive();
    IndexSemaphore sem(idx, false);
    ReadRecord(a, n, RecordRead::One);
    if (Failed()) return;
    if (idx) {
      IndexHooks().SyncMaster();
      IndexHooks().Resync();
    }
    sem.Release();
    NotifyMove(a);
    return;
  }
  a.recordNumber = a.recordCount + 1;
  a.eof = true;
  ClearRecordOf(a);
  TzError(212, text);
}

void Dbf4RawGo(std::int32_t n) {
  SetTzCurrentError(0);
  if (CheckWorkArea("Dbf4RawGo")) return;
  WorkArea& a = *CurrentWorkArea();
  a.DropReadAhead();
  if (n > a.recordCount) {
    a.recordNumber = a.recordCount + 1;
    a.eof = true;
    ClearRecordOf(a);
    return;
  }
  std::uint16_t code = 212;
  if (n >= 1) {
    bool saved = Engine().errorSwitch;
    SetTzErrorSwitch(false);
    ReadRecord(a, n, RecordRead::One);
    SetTzErrorSwitch(saved);
    code = TzCurrentError();
  }
  if (code != 0) TzError(code, Num(code) + " [Dbf4RawGo]");
}

void GoNotify(std::int32_t n) {
  Dbf4RawGo(n);
  if (Failed()) return;
  if (WorkArea* a = CurrentWorkArea()) NotifyMove(*a);
}

bool GoIfValid(std::int32_t n) {
  if (CheckWorkArea("GoIfValid")) return false;
  if (n < 1 || n > RecCount()) return false;
  GO(n);
  return true;
}

void SKIP(std::int32_t count) {
  SetTzCurrentError(0);
  if (CheckWorkArea("SKIP")) return;
  WorkArea& a = *CurrentWorkArea();
  if (count == 0) {
    // The record again as stored.
    a.DropReadAhead();
    if (a.recordCount > 0 && !a.eof && a.recordNumber >= 1 && a.recordNumber <= a.recordCount) {
      ReadRecord(a, a.recordNumber, RecordRead::One);
      if (Failed()) return;
    } else if (a.eof) {
      ClearRecordOf(a);
    }
    NotifyMove(a);
    return;
  }
  if (count > 0 && a.eof) {
    TzError(212, DbText(a) + " ist hinter EOF. [SKIP]");
    return;
  }
  if (a.recordCount <= 0) {
    a.bof = a.eof = true;
    TzError(212, DbText(a) + " ist leer. [SKIP]");
    return;
  }
  if (count < 0 && dBOF()) return;
  const bool forward = count > 0;
  const bool idx = IndexActive();
  a.bof = a.eof = false;
  IndexSemaphore sem(idx, false);
  std::int32_t lastGood = a.recordCount + 1;
  std::int32_t steps = 0;
  bool atEnd = false;
  SkipProc& proc = Areas().skipProc;
  if (proc) {
    std::int32_t target = proc(count);
    steps = count;
    if (target < 1) {
      atEnd = true;
      target = 1;
    } else if (target > a.recordCount) {
      RefreshRecordCount(a);
      if (target > a.recordCount) {
        atEnd = true;
        target = a.recordCount;
      }
    }
    if (forward || !atEnd) {
      if (!atEnd) ReadRecord(a, target);
      if (Failed()) return;
    }
  } else {
    do {
      std::int32_t target;
      std::int32_t n = a.recordNumber;
      if (!forward) {
        if (RecordVisible(a) && WhileHolds(a)) lastGood = n;
        target = StepOf(a, idx, false, n, atEnd);
        if (atEnd) target = std::clamp(n, 1, a.recordCount);
        ReadRecord(a, target);
      } else {
        // A shared table only grows while it is open shared (Pack needs it
        // alone), so the count is read again only at its known end.
        if (!idx && n + 1 > a.recordCount) RefreshRecordCount(a);
        target = StepOf(a, idx, true, n, atEnd);
        if (atEnd) break;
        ReadRecord(a, target);
      }
      if (Failed()) return;
      if (RecordVisible(a)) steps += forward ? 1 : -1;
    } while (steps != count && !atEnd && WhileHolds(a));
  }
  if (atEnd && forward) {
    a.recordNumber = a.recordCount + 1;
    a.eof = true;
    ClearRecordOf(a);
    if (idx) IndexHooks().SyncMaster();
  } else if (atEnd) {
    GoEndOf(a, true);
    if (Failed()) return;
    a.bof = true;
    if (idx) IndexHooks().SetIndexBof();
    if (a.eof) ClearRecordOf(a);
  } else if (!WhileHolds(a)) {
    if (forward) {
      a.eof = true;
      if (idx) IndexHooks().SetIndexEof();
    } else {
      if (lastGood <= a.recordCount) {
        ReadRecord(a, lastGood);
        if (Failed()) return;
      } else {
        a.recordNumber = a.recordCount + 1;
        ClearRecordOf(a);
      }
      a.bof = true;
      if (idx) {
        IndexHooks().SyncMaster();
        IndexHooks().SetIndexBof();
      }
    }
  }
  if (idx) IndexHooks().Resync();
  sem.Release();
  NotifyMove(a);
}

void TopWhile() {
  if (CheckWorkArea("TopWhile")) return;
  WorkArea& a = *CurrentWorkArea();
  if (a.recordCount <= 0) return;
  if (!IsWhileOn()) {
    GoTop();
    return;
  }
  SuspendNotify suspend(a);
  while (!dBOF() && !Failed()) SKIP(-1);
  if (!Failed()) SKIP(0);
}

void BottomWhile() {
  if (CheckWorkArea("BottomWhile")) return;
  WorkArea& a = *CurrentWorkArea();
  if (a.recordCount <= 0) return;
  if (!IsWhileOn()) {
    GoBottom();
    return;
  }
  SuspendNotify suspend(a);
  while (!dEOF() && !Failed()) SKIP(1);
  if (!Failed()) SKIP(-1);
}

bool SyncVisible() {
  if (CheckWorkArea("SyncVisible")) return false;
  WorkArea& a = *CurrentWorkArea();
  if (WhileHolds(a) && RecordVisible(a)) return false;
  Unlock();
  std::int32_t remembered = a.recordNumber;
  SuspendNotify suspend(a);
  SKIP(1);
  if (!Failed() && a.eof) {
    GoIfValid(remembered);
    SKIP(-1);
  }
  return true;
}

bool dEOF() {
  if (CheckWorkArea("dEOF")) return true;
  WorkArea& a = *CurrentWorkArea();
  if (IndexActive()) return IndexHooks().IndexEof();
  if (a.recordNumber > a.recordCount) RefreshRecordCount(a);
  if (a.recordNumber > a.recordCount) a.eof = true;
  return a.eof;
}

bool dBOF() {
  if (CheckWorkArea("dBOF")) return true;
  WorkArea& a = *CurrentWorkArea();
  if (IndexActive()) return IndexHooks().IndexBof();
  return a.bof;
}

bool SetIgnoreDel(bool hide) {
  if (CheckWorkArea("SetIgnoreDel")) return false;
  WorkArea& a = *CurrentWorkArea();
  bool old = a.hideDeleted;
  a.hideDeleted = hide;
  SKIP(0);
  return old;
}

bool IsWhileOn() {
  WorkArea* a = CurrentWorkArea();
  return a != nullptr && (a->whileCondition || a->whileExpr != nullptr);
}

std::function<void()> SetMoveNotify(std::function<void()> notify) {
  if (CheckWorkArea("SetMoveNotify")) return {};
  WorkArea& a = *CurrentWorkArea();
  std::function<void()> old = std::move(a.moveNotify);
  a.moveNotify = std::move(notify);
  if (a.moveNotify) NotifyMove(a);
  return old;
}

std::function<bool()> SetFilter(std::function<bool()> filter) {
  if (CheckWorkArea("SetFilter")) return {};
  return std::exchange(CurrentWorkArea()->filter, std::move(filter));
}

CompiledExpr* SetFilterExpr(CompiledExpr* expr) {
  if (CheckWorkArea("SetFilter")) return nullptr;
  return std::exchange(CurrentWorkArea()->filterExpr, expr);
}

std::function<bool()> SetWhile(std::function<bool()> condition) {
  if (CheckWorkArea("SetWhile")) return {};
  return std::exchange(CurrentWorkArea()->whileCondition, std::move(condition));
}

CompiledExpr* SetWhileExpr(CompiledExpr* expr) {
  if (CheckWorkArea("SetWhile")) return nullptr;
  return std::exchange(CurrentWorkArea()->whileExpr, expr);
}

SkipProc SetSkipProc(SkipProc proc) { return std::exchange(Areas().skipProc, std::move(proc)); }

}  // namespace zeb::xbase
