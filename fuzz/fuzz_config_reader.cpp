// The configuration reader on arbitrary file contents: no crash, no hang,
// every substituted setting within its range, finite numbers; what was read
// writes back and reads to the same file again.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "base/globals.h"
#include "fuzz_support.h"
#include "graphics/cadsettings.h"
#include "settings/config.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Reset() {
  zeb::ResetBaseGlobals();
  zeb::ResetCadSettings();
  zeb::SetScreenMetrics({});
  zeb::ResetConfigDefaults();
}

void CheckRanges() {
  const zeb::BaseGlobals& g = zeb::G();
  const zeb::CadSettingsRecord& cad = zeb::CadSettings();
  const zeb::ConfigSettings& c = zeb::Config();
  Check(g.DecimalsSetting >= 1 && g.DecimalsSetting <= 9);
  Check(g.TopMarginLines >= 0 && g.TopMarginLines <= 30);
  Check(g.DateFormat >= 1 && g.DateFormat <= 4);
  Check(g.OutputTarget >= 1 && g.OutputTarget <= 9);
  Check(g.PageHeadMode >= 1 && g.PageHeadMode <= 2);
  Check(g.LinesPerPage >= 5);
  Check(g.DialogSizePercent >= 10 && g.DialogSizePercent <= 1000);
  Check(g.DialogElementPercent >= 10 && g.DialogElementPercent <= 1000);
  Check(cad.DxfDecimals >= 1 && cad.DxfDecimals <= 32);
  Check(cad.CadPlotLineCount >= 1 && cad.CadPlotLineCount <= 5);
  Check(c.AngleFormat >= 1 && c.AngleFormat <= 2);
  Check(c.ResolutionX != 0 && c.ResolutionY != 0);
  Check(g.TextWindowWidth > 0 && g.TextWindowHeight > 0);
  for (std::int32_t w : cad.CadLayerWidths) Check(w >= 1 && w <= 255);
  for (zeb::Real x : {g.ZoomFactor, g.PanFactor, g.GraphicCorrectionFactorX, g.GraphicTextWidthFactor,
                      g.GraphicTextHeightFactor, g.ScreendumpScale, g.PrintScaleVertical, cad.CadTextFactor,
                      cad.CadTextObliqueAngle, cad.CadUnitFactor, c.Default3DAngles[0], c.Default3DAngles[1],
                      c.Default3DAngles[2]})
    Check(std::isfinite(x));
  for (const std::string* s : {&g.TempFolder, &g.DbfFolder, &g.HelpFolder, &c.DefaultDataFolder, &c.EdiFolder,
                               &cad.CadFolder, &g.TextProgramPath, &g.HtmlBrowserPath})
    Check(s->find('\0') == std::string::npos);
  for (std::uint32_t colour : g.ColourTable) Check(colour <= 0xFFFFFF);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static zeb::fuzz::ScratchFolder scratch("fuzzcfg");
  const std::string in = scratch.dir + "/in.cfg", out = scratch.dir + "/out.cfg";
  if (FILE* f = std::fopen(in.c_str(), "wb")) {
    if (size > 0) std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  Reset();
  // A file that is no configuration is refused; the defaults stay.
  zeb::ReadConfigFile(in);
  CheckRanges();

  zeb::G().AbortFlag = 0;
  zeb::WriteConfigFile(out);
  Check(zeb::G().AbortFlag == 0);
  const std::string first = Bytes(out);

  Reset();
  Check(zeb::ReadConfigFile(out));
  CheckRanges();
  zeb::WriteConfigFile(out);
  Check(Bytes(out) == first);
  return 0;
}
