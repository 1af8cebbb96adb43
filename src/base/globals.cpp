#include "base/globals.h"

#include <unistd.h>

#include "base/colors.h"
#include "base/textfile.h"
#include "platform/oem_literal.h"

namespace zeb {

namespace {
std::string CurrentDirectory() {
  std::string buf(4096, '\0');
  if (getcwd(buf.data(), buf.size()) == nullptr) return ".";
  buf.resize(std::char_traits<char>::length(buf.c_str()));
  return buf;
}
}  // namespace

void ResetBaseGlobals() {
  BaseGlobals& g = G();
  g = BaseGlobals{};
  g.LineTable.assign(136, std::string(65, ' '));
  g.WrapLines.assign(6, std::string(64, ' '));
  g.UnitSystemNames = {"",
                       "metrisch (mm, N, MPa, Nmm, °C)"_oem,
                       "englisch (in, lbf, psi, lbfin, degF)"_oem,
                       "metrisch (mm, kN, MPa, Nm, °C)"_oem,
                       "metrisch (mm, N, N/mm², Nmm, °C)"_oem,
                       "metrisch (mm, kN, N/mm², Nm, °C)"_oem};
  const std::string cwd = CurrentDirectory();
  g.StartFolder = cwd;
  g.DataFolder = cwd;
  g.ProgramFolder = cwd;
  g.DbfFolder = cwd;
  InitDefaultColors();
  ResetWorkTextFile();
}

}  // namespace zeb
