// Program entry: sets the library defaults and ends.
#include "base/globals.h"

int main(int argc, char** argv) {
  zeb::ResetBaseGlobals();
  for (int i = 1; i < argc; ++i) zeb::G().CommandLineArgs.emplace_back(argv[i]);
  return 0;
}
