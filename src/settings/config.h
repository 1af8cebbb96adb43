// The configuration file: every user setting, its start default and its
// fixed place in the file; the reader with its substitutions, the writer,
// where the file is looked for, and the folder check after reading.
//
// The settings live with their owners: the base library's in zeb::G(), the
// CAD output layer's in zeb::CadSettings(), all others in zeb::Config().
// Some carry other names there: "Windows Screendump Scale/Origin" are
// G().ScreendumpScale/ScreendumpOriginX/Y, "Windows Screendump Border ?" is
// G().PrintBorder (copied to CadSettings().BorderFlag when read), the
// footer-line switch is CadSettings().FooterOff, "Enter Diagram Limits ?"
// CadSettings().EnterDiagramLimits, the dimension factor
// CadSettings().CadUnitFactor, "Archive Flag ?" G().ArchiveFlag.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "base/types.h"

namespace zeb {

// Settings of the file that neither the base library nor the CAD layer
// holds. Texts are code page 850, folders UTF-8 paths.
struct ConfigSettings {
  std::int32_t PrinterType = 3;             // carried only
  std::int32_t PrintDensity = 1;            // carried only
  char HardcopyRotated = 'J';               // carried only
  std::int32_t PrintThicknessVertical = 1;  // carried only
  Byte ColourGraphics = 1;
  std::int32_t GraphicsMode = 0;    // carried only
  std::int32_t GraphicsDriver = 0;  // carried only
  // Client size of the main window; 0 (or 65535) takes the screen's.
  std::uint16_t ResolutionX = 0, ResolutionY = 0;
  std::int32_t HardcopyPrinterPort = 1;  // carried only
  std::string EdiFolder;
  std::string TalmoreProgramFolder;  // fills empty DBF and PLT folders
  std::int32_t DatabaseMode = 1;     // carried only
  Byte SmallOnlineWindow = 0;
  std::string DefaultDataFolder;  // spring files; empty: filled by CheckConfigFolders
  Byte Edit3DAngles = 1;
  std::array<Real, 3> Default3DAngles{};  // radians; -15, 90, 210 degrees
  std::int16_t DrawingIndexStyle = 0;     // 0 "a,b,c..." 1 "1,2,3..." 2 "A,B,C..." 3 "......"
  std::int16_t SpreadsheetDecimalMode = 2;
  std::string ReleaseFieldText;  // label of the fourth approval row
  std::int16_t AngleFormat = 2;  // 1 decimal degrees, 2 degrees, minutes, seconds
  std::int32_t LanguageNumber = 0;
  std::int16_t CurrentDrawingKind = 0;
  Byte HideMakerTitle = 0, HideFileName = 0, HideDate = 0, HideLogo = 0, HideTitleBlock = 0;
  Byte NotCurrentFile = 0;
  Byte SaveMenuLanguage = 0;
  std::int16_t TitleBlockKind = 0;  // 0 "DIN 6771 min." .. 3 "DIN 6771"

  // What the reader filled in for settings the file leaves open (window
  // size 0 or 65535, empty data folder). While a setting still holds that
  // value it is written back open, so the file keeps following the screen
  // and the start folder.
  struct Filled {
    std::uint16_t ResolutionX = 0, ResolutionY = 0;
    std::string DefaultDataFolder;
  } FilledByReader;

  ConfigSettings();
};

ConfigSettings& Config();

// Screen facts used when the configuration leaves the window size open.
// Without a screen: 1024 x 768 at 96 dpi, a main window 46 pixels taller
// than its client area.
struct ScreenMetrics {
  int width = 1024, height = 768;
  int logicalDpiX = 96, logicalDpiY = 96;
  int mainOuterHeight = 46 + 721, mainClientHeight = 721;
};
void SetScreenMetrics(const ScreenMetrics& m);
const ScreenMetrics& CurrentScreenMetrics();

// The dialog size in percent that suits a main window of outerHeight
// around clientHeight at dpiY: round(dpiY / 96 x (H / (C + 46) + 0.009) x
// 100); 0 when the numbers give none.
int DialogSizePercentFor(int dpiY, int outerHeight, int clientHeight);
// The element size in percent that goes with dialogSize at dpiX:
// round(S / X x 100), X = (H / (C + 46) + 0.009) x dpiX / 96 x 100; 0 when
// the numbers give none.
int DialogElementPercentFor(int dialogSize, int dpiX, int outerHeight, int clientHeight);

// Every setting of the file back to its start default: ConfigSettings, the
// base library's and the CAD layer's settings that the file carries.
void ResetConfigDefaults();

// The lower-cased ProgramShortName + ".cfg".
std::string ConfigFileName();
// "$XDG_CONFIG_HOME/zeb1/" (else "~/.config/zeb1/"), with its closing "/".
std::string UserConfigFolder();
// The first readable configuration file in the working directory, the user
// configuration folder and the executable's folder; "" when there is none.
std::string FindConfigFile();
// Where the configuration is saved: the file found, else in the user
// configuration folder.
std::string ConfigFileWritePath();
// The repository's (or installation's) folder that holds "examples/", with
// its closing "/"; "" when there is none.
std::string ShippedDataFolder();
// The build's folder of generated tables ("dbf" beside or above the
// executable, holding zebwst.dbf); "" when there is none.
std::string GeneratedTablesFolder();
// The help files the build delivers ("help/" of the build, found from the
// executable's folder upwards, else the repository's "data/help/"); empty
// when there are none.
std::string ShippedHelpFolder();

// Start-up reading: finds the file, sets ProgramFolder to its folder (the
// user configuration folder when none is found) and reads it. Without a
// file: the no-file defaults and AbortFlag := 1; false.
bool ReadConfigFile();
// Reads the given file. False with AbortFlag := 1 when it cannot be opened
// (nothing changes then).
bool ReadConfigFile(std::string_view path);
// No configuration anywhere: window size from the screen, dialog size from
// its pixel density, and the folders pointing at the shipped data folders.
void ApplyNoConfigDefaults();
// The reader's close step: the window size from the screen where it is open.
void CloseConfigWithScreenDefaults();

// Writes ProgramFolder + ConfigFileName() (the user configuration folder is
// created when it is the one). Nothing when AbortFlag is set on entry. On
// failure the old file stays, AbortFlag is set and an error box names the
// file.
void WriteConfigFile();
void WriteConfigFile(std::string_view path);

// Writes a settings file through the work text file: created with
// RewriteWithRetry, filled by rows, renamed over the old file when complete.
// On any failure the old file stays, AbortFlag is set and an error box names
// the file; false.
bool WriteSettingsFile(std::string_view path, const std::function<void()>& rows);
// Creates the user configuration folder when folder is it and it is missing.
void EnsureUserConfigFolder(std::string_view folder);

// After reading: fills empty folders and reports unusable ones (error boxes;
// an unusable temporary folder is asked for again).
void CheckConfigFolders();

}  // namespace zeb
