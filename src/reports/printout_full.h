// The full calculation printout after EN 13906-1: production and tolerance
// head, material, dimensions, lengths, forces, travels, stresses, secondary
// values and life, the optional value-table and transverse-load pages and
// the messages, through the output device. Only reads the spring data set.
#pragma once

namespace zeb {

// Writes nothing while FatalErrorFlag is set (the message list is shown
// instead); a cancel or write failure sets AbortFlag. The device is closed
// on every path.
void PrintReport();
// Pages the printout writes: 4, plus one each for the value table, the
// transverse load (FQ > 0) and the messages.
int PrintReportPageCount();

}  // namespace zeb
