// The base library's formatting and parsing cases again, with a
// QApplication running (Qt sets the process locale from the environment):
// under C and de_DE.UTF-8 alike they give the same texts and values.
#include "base/test_format.cpp"  // NOLINT(bugprone-suspicious-include)
