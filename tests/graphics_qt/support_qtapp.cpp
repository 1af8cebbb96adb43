// The Qt test environment and helpers of the Qt port's tests.
#include "base_qt/support_qt.cpp"  // NOLINT(bugprone-suspicious-include)
