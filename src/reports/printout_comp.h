// The production-compensation printout of a round-wire spring: for each
// limit combination of the force tolerances the spring recalculated with
// the freely adjusted quantity, and for each unadjusted quantity the effect
// of its own tolerance, one line per variant.
#pragma once

namespace zeb {

// Runs the calculation once per variant on the current spring data set;
// afterwards the inputs are restored and the spring is calculated again.
// Writes nothing while FatalErrorFlag is set (the message list is shown)
// or for a wire that is not round ("for round wire only").
void PrintReportCompensation();

}  // namespace zeb
