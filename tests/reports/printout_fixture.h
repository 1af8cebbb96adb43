// Shared set-up of the printout tests: a temporary folder as temp folder
// and working directory, fixed program identity, the round dynamic example
// spring, and running a printout into one target.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "base/globals.h"
#include "base/support_fixture.h"
#include "reports/device.h"
#include "spring/dimension.h"
#include "spring/spring_data.h"
#include "spring/valuetable.h"

namespace zeb::test {

namespace fs = std::filesystem;

inline std::string ReadBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

inline std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

// A material of the table with fatigue values (as the material table row
// would give it).
inline MaterialRecord FatigueMaterial() {
  MaterialRecord m = DefaultMaterialRecord();
  m.Name1 = "Federstahldraht";
  m.Name2 = "SH";
  m.Name3 = "EN 10270-1";
  m.Name4 = "Tabelle";
  m.G = 81500;
  m.E = 206000;
  m.Density = MakeReal48(7.85L);
  m.Rm0 = 2000;
  m.DR0 = MakeReal48(1.0L);
  m.RmSlope = 400;
  m.d0 = MakeReal48(1.0L);
  m.Unpeened = FatigueGroup{1000, 150, 500, 100, MakeReal48(0.8L)};
  m.Peened = m.Unpeened;
  m.dmin = MakeReal48(0.5L);
  m.dmax = MakeReal48(10.0L);
  m.Tmax = 120;
  return m;
}

// The round dynamic example: d 5, Dm 34.6, n 9.5, L0 105.8 mm; F1 280,
// F2 620 N; G 81500, E 206000, Rm 1460 N/mm² (own values); 20 °C.
// Calculated by the recalculation from both forces.
inline void MakeRoundDynamic() {
  SpringDataRecord& s = SpringData();
  s = SpringDataRecord{};
  s.CalcMode = 3;
  s.RateInput = 4;
  s.CrossSection = 1;
  s.d = s.h = 5.0L;
  s.DiameterGiven = 3;
  s.Dm = 34.6L;
  s.De = 39.6L;
  s.Di = 29.6L;
  s.n = 9.5L;
  s.F1 = 280.0L;
  s.F2 = 620.0L;
  const Real rate = 81500.0L * 625.0L / (8.0L * 34.6L * 34.6L * 34.6L * 9.5L);
  s.L2 = 105.8L - 620.0L / rate;
  s.L1 = s.L2 + 340.0L / rate;
  s.L0 = 105.8L;
  s.MaterialSel = 11;
  s.MaterialStd = 0;
  s.MaterialName = "Federstahl SH";
  s.G = 81500.0L;
  s.E = 206000.0L;
  s.rho = 7.85L;
  s.Rm = 1460.0L;
  s.tauzul = 0.56L * 1460.0L;
  s.T = 20.0L;
  s.CoilingKind = 1;
  s.EndForm = 2;
  s.EndCoils = {2.0L, 1.0L, 1.0L};
  s.LoadType = 2;
  s.WireStd = 9;
  s.nue = 0.5L;
  s.f = 1.0L;
  s.DrawingName = "Druckfeder rund dynamisch";
  s.DrawingNo = "4711-01";
  RunRecalculation();
}

// As the round dynamic example with the table material and F2 500 N (so
// that L2 stays above Ln): life rows.
inline void MakeRoundDynamicTableMaterial() {
  MakeRoundDynamic();
  SpringDataRecord& s = SpringData();
  s.F2 = 500.0L;
  s.L2 = s.L0 - 500.0L / s.R;
  ZEBWST_Record() = FatigueMaterial();
  MaterialSource() = 7;
  s.MaterialSel = 0;
  s.f = 10.0L;
  RunRecalculation();
}

class PrintoutTest : public BaseTest {
 protected:
  void SetUp() override {
    BaseTest::SetUp();
    ResetSpringGlobals();
    ValueTable() = ValueTableRecord{};
    InitOutputDevice();
    std::string pattern = (fs::temp_directory_path() / "zeb_printout_XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    tmp_ = pattern;
    old_ = fs::current_path();
    fs::current_path(tmp_);
    G().TempFolder = tmp_.string() + "/";
    G().ProgramVersion = "1.0";
    G().CurrentFileName = "beispiel";
    G().CurrentDataFolder = "/daten/federn/";
    G().HtmlBrowserPath = "/bin/true";  // the "browser"
    G().AskOutputTarget = 0;
  }
  void TearDown() override {
    InitOutputDevice();
    fs::current_path(old_);
    std::error_code ec;
    fs::remove_all(tmp_, ec);
    BaseTest::TearDown();
  }

  // Runs printout into target (3, 6, 7 or 9) and returns the bytes of the
  // file written ("" when none): the chosen file for 3, the HTML file for
  // 7, the TXT output for 6 and 9 (code page 850 as written).
  std::string Run(int target, const std::function<void()>& printout) {
    G().OutputTarget = static_cast<std::int16_t>(target);
    fs::path chosen;
    if (target == kOutFile) {
      chosen = tmp_ / ("chosen" + std::to_string(++chosenCount_) + ".txt");
      ui().ExpectSaveFile(chosen.string());
    }
    printout();
    if (!chosen.empty()) return fs::exists(chosen) ? ReadBytes(chosen) : std::string();
    if (DeliveredFileName().empty()) return std::string();
    // A command-line run's output is its Windows-text copy.
    if (target == kOutCommandLine) return Cp1252To850(ReadBytes(DeliveredFileName()));
    return ReadBytes(OutputFileName());
  }

  // The lines a body writes into an open TXT output.
  std::vector<std::string> TxtLines(const std::function<void()>& body) {
    OpenOutputDevice(kOutTxt, "t.txt");
    body();
    CloseOutputDevice();
    return SplitLines(ReadBytes(OutputFileName()));
  }

  fs::path tmp_;
  fs::path old_;
  int chosenCount_ = 0;
};

}  // namespace zeb::test
