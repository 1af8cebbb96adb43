// Process-wide state of the base library: flags, message list, shared text
// tables, program identity, folders and the library defaults of the user
// settings. One instance; ResetBaseGlobals() restores every start value.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/types.h"

namespace zeb {

struct ErrorMessageListT {
  std::uint16_t count = 0;
  std::array<std::string, 13> slot;  // slots 1..12 used; index 0 unused
  bool operator==(const ErrorMessageListT&) const = default;
};

// What a file held when the program last read or wrote it, to tell
// afterwards whether something else changed it: its size, modification
// time and bytes. taken false: no file.
struct FileStamp {
  bool taken = false;
  bool written = false;  // taken after a write, else before a read
  std::uint64_t size = 0;
  std::int64_t seconds = 0, nanoseconds = 0;  // modification time
  std::string bytes;
  bool operator==(const FileStamp&) const = default;
};

struct BaseGlobals {
  // Flags.
  Byte AbortFlag = 0;
  Byte FatalErrorFlag = 0;
  Byte ModifiedFlag = 0;
  Byte ShowErrorsSwitch = 1;
  Byte ConfirmOverwrite = 1;
  std::uint16_t HelpNumber = 0;

  ErrorMessageListT ErrorMessageList;

  // Shared text tables, 1-based (index 0 unused). Code page 850.
  std::vector<std::string> LineTable;        // 136 entries, 1..135 used
  std::vector<std::string> WrapLines;        // 1..5 at start, grows
  std::array<std::string, 4> TitleBlockLines;  // 1..3

  // The menu language of the session (0 at start: German; 1 German, 2
  // English .. 9 Spanish, 12 Chinese) and the main-menu captions of that
  // language (UTF-8, "&" before the access key) that other windows copy
  // into their menus. Set with the menu captions.
  std::int32_t MenuLanguage = 0;
  struct MainMenuCaptionTexts {
    std::string File = "&Datei", Print = "&Drucken...", Exit = "&Beenden", Edit = "&Bearbeiten",
                View = "&Ansicht", Help = "&Hilfe", Database = "Datenban&k";
  } MainMenuCaptions;

  // Program identity (set at start-up by the identity routine).
  std::string ProductName = "ZEB1";
  std::string ProgramShortName = "ZEB1";
  std::string ProgramTitle = "ZEB1";
  std::string ProgramVersion = "?";
  std::string SpringFileExtension = "zeb";
  std::string CurrentFileName;
  std::string CurrentDataFolder;
  // The file the current spring was last read from or saved to, as it was
  // named then; it stands for CurrentFileName while that is its bare name.
  std::string CurrentFilePath;
  // CurrentFilePath as it stood when it was read or written.
  FileStamp CurrentFileStamp;

  // Folders (UTF-8 file-system paths, "/" separated).
  std::string StartFolder;
  std::string DataFolder;
  std::string ProgramFolder;
  std::string DbfFolder;
  std::string HelpFolder;
  // The help folder the program ships (no configuration); edits of its
  // files go to the user's copies.
  std::string ShippedHelpFolder;
  std::string TempFolder;

  // Library defaults of the user settings.
  std::int16_t HelpLevel = 1;
  std::int32_t DecimalsSetting = 3;
  std::int16_t ReportLineStyle = 1;
  std::int32_t LinesPerPage = 66;
  std::int16_t PrinterPortNumber = 1;
  std::int32_t PrintoutSectionMask = 0;
  std::int16_t PrintColourMode = 1;
  std::int16_t UnitSystem = 0;
  std::int16_t PlainTextMode = 0;
  std::int16_t TextOutputConversion = 2;
  std::int16_t DateFormat = 1;
  std::int16_t OutputTarget = 1;
  Byte AskOutputTarget = 0;
  std::int16_t PageHeadMode = 1;
  std::int32_t TopMarginLines = 0;
  std::int16_t TextViewerMode = 0;
  std::int32_t TxtFileCounter = 0;
  std::int32_t DialogSizePercent = 102;
  std::int32_t DialogElementPercent = 100;
  std::string TableEditorPath = "xdg-open";
  std::string TextProgramPath = "xdg-open";
  std::string HtmlBrowserPath = "xdg-open";
  std::array<std::string, 5> RecentFiles;      // 1..4
  std::array<std::string, 6> UnitSystemNames;  // 1..5, code page 850

  // Archive mode (file choosers).
  Byte CommandLineFileLoaded = 0;
  Byte ArchiveFlag = 0;

  // Command-line parameters (for HasCommandLineSwitch), without argv[0].
  std::vector<std::string> CommandLineArgs;

  // Colour table, 0x00BBGGRR, numbers 0..16.
  std::array<std::uint32_t, 17> ColourTable{};

  // Graphics start values.
  Real ZoomFactor = 1.02L;
  Real PanFactor = 0.02L;
  Real GraphicCorrectionFactorX = 1.0L;
  std::int32_t BackgroundColour = 1;
  std::string GraphicTextFont = "Arial";
  Real GraphicTextWidthFactor = 0.8L;
  Real GraphicTextHeightFactor = 1.0L;
  std::int32_t GraphicTextStyle = 0;
  std::array<Real, 8> HpglPlayerStart{5.0L, 5.0L, 1.0L, 0.0L, 0.0L, 0.0L, 1.0L, 0.0L};  // 7 used

  // Print start values.
  Real PrintScaleX = 1.0L, PrintScaleY = 1.0L;
  Real PrintOriginX = 0.0L, PrintOriginY = 0.0L;
  Byte PrintBorder = 0;
  Byte GraphicPrintDialog = 1;
  std::int32_t TextWindowLeft = 10, TextWindowTop = 40, TextWindowWidth = 700, TextWindowHeight = 440;
  std::int32_t PrinterMode = 0;
  std::string TextFontPrintout = "Courier New";
  std::int32_t TextSizePrintout = 10;
  std::int32_t TextStylePrintout = 0;
  std::int32_t LastPrintPreset = 0;
  Real ScreendumpScale = 1.0L, PrintScaleVertical = 1.0L;
  Real ScreendumpOriginX = 0.0L, ScreendumpOriginY = 0.0L;
  std::int32_t PrinterOrientation = 2;

  // Screen resolution of the main window and dialog placement.
  std::int32_t ScreenWidth = 1024, ScreenHeight = 768;
  std::int32_t SavedDialogLeft = 1, SavedDialogTop = 1;
};

// The one instance, made on first use.
inline BaseGlobals& G() {
  static BaseGlobals g;
  return g;
}
// Restores every start value (tests call it first). Also resets the shared
// work text file.
void ResetBaseGlobals();

}  // namespace zeb
