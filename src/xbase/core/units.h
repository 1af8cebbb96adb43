// Starting the table engine's optional units: memo files, expressions and
// NDX indexes fill their hook tables.
#pragma once

namespace zeb::xbase {

// Installs the memo, expression, index and virtual-file units (after the engine is
// created or reset); calling it again is harmless.
void InitTableEngineUnits();

}  // namespace zeb::xbase
