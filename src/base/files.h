// File, folder, date and version helpers. Paths are UTF-8 with "/" as the
// only folder separator; "\" and ":" are ordinary name characters.
#pragma once
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "base/globals.h"
#include "base/textfile.h"

namespace zeb {

// Folder and name texts.

// Trimmed of blanks; "/" appended unless empty or ending in "/".
std::string AddBackslash(std::string_view folder);
std::string AddBackslashB(std::string_view folder);
// Without one trailing "/".
std::string RemoveTrailingBackslash(std::string_view folder);
// Up to and including the last "/"; empty without one.
std::string ExtractFolderPart(std::string_view path);
// The name after the last "/", cut before its last "." (a "." in the last
// position is not looked at).
std::string BareFileName(std::string_view path);
// The name after the last "/" without its extension (from its last ".").
std::string FileNameNoExt(std::string_view path);
// The text after the first "." of the name after the last "/".
std::string FileExtAfterDot(std::string_view name);
void TrimInPlace(std::string& text);
// Longer than n: first h characters + " ... " + last h + 1, h = n / 2 - 3
// (at least 0).
std::string ShortenMiddle(std::string_view text, int n);

// What a system error number means, in German (code page 850): for the
// messages that name a file. Unknown numbers as "Systemfehler N".
std::string SystemErrorText(int err);

// "Datei <path> kann nicht geschrieben werden: <cause>" in an error box,
// and AbortFlag set.
void ShowFileWriteError(std::string_view path, int err);

// Files the program reads whole (help texts, message help, picture
// catalogue, configuration and session files) are read only up to this
// size; a larger one is named and not read.
inline constexpr std::uint64_t kReadWholeLimit = 4u << 20;
// Whether the file is larger than limit bytes (false when it is missing).
bool FileLargerThan(std::string_view path, std::uint64_t limit = kReadWholeLimit);
// "Datei <path> ist zu groß (über 4 MB) !" (code page 850).
std::string TooLargeText(std::string_view path, std::uint64_t limit = kReadWholeLimit);
// True, after the box that names it, when the file is larger than the limit.
bool RefusedAsTooLarge(std::string_view path, std::uint64_t limit = kReadWholeLimit);
// Reads a regular file of at most limit bytes whole; false (bytes empty)
// when it is missing, no regular file, larger or unreadable. A FIFO or
// device is not waited on.
bool ReadWholeFile(std::string_view path, std::string& bytes, std::uint64_t limit = kReadWholeLimit);

// What the regular file at path holds now: its size, modification time and
// bytes; taken false when it is no regular file, larger than limit or
// cannot be read. A FIFO or device is not waited on.
FileStamp StampOfFile(std::string_view path, std::uint64_t limit = kReadWholeLimit);
// The file just written with these bytes: its size and time as the system
// gives them, and the bytes (a change by another writer since the write
// shows in them).
FileStamp StampOfWrittenFile(std::string_view path, std::string_view bytes);
// How the file at path differs from what it held at the stamp, for a
// question (code page 850): "Größe 2987 -> 3012 Bytes, Zeit 07.12.2026
// 09:05:12 -> 07.12.2026 09:06:30", "Inhalt bei gleicher Größe", "nicht
// mehr lesbar"; "" when it is the same or nothing is there.
std::string FileChangeText(const FileStamp& then, std::string_view path);

// File and folder tests and actions.

// Why a file cannot be opened for reading, in German (code page 850):
// "Datei <path> nicht gefunden !", "... ist ein Ordner !", "... ist keine
// reguläre Datei !" or "Datei <path> nicht lesbar: kein Zugriffsrecht !"
// (another reason the system gives in its place). Empty when it can be read.
// The path is looked up as a reader finds it (in any case).
std::string FileUnreadableText(std::string_view path);

// True for a regular file that can be opened for reading; a FIFO or device
// is not waited on and counts as not there.
bool FileCanBeOpened(std::string_view name);
// Where the run's scratch files go (without a closing "/"): the run's own
// folder, made on first use after the start-up asked for it; "" when it
// cannot be made. Without the start-up (tests, tools) the configured
// temporary folder, else "" (never the shared $TMPDIR or /tmp).
std::string ScratchFolder();
// The path of a scratch file of that name; "" without a scratch folder (a
// path no file can be made under).
std::string ScratchFile(std::string_view name);
// Says that a scratch file is not made for want of a scratch folder; sets
// AbortFlag.
void RefuseScratchFile();
// The folder exists and the user may create files in it (nothing is written).
bool IsFolderWritable(std::string_view folder);
// True only for an existing folder ("" is the current folder).
bool FolderExistsByFind(std::string_view folder);
bool FolderExistsByChDir(std::string_view folder);
// Erases the file when it can be opened.
void DeleteWorkFile(std::string_view name);
// The current spring file's path: the file it was read from or saved to
// while CurrentFileName still names it; else the name as typed when it came
// from the command line or already has an extension, else data folder +
// name + "." + the spring-file extension; "" without a name.
std::string CurrentSpringFilePath();
// Erases the files of folder (with its closing "/") matching mask in any
// case; stops at the first that cannot be erased.
void DeleteFilesByMask(std::string_view folder, std::string_view mask);
// Copies source to destination in blocks; sets AbortFlag when the source
// cannot be read or the copy cannot be written completely (then the
// destination is as it was).
void CopyFileBlocks(std::string_view source, std::string_view destination);
// When the source can be opened, copies it under its own name into the
// folder of destination. A failure is shown and sets AbortFlag.
void CopyFileToFolderOf(std::string_view source, std::string_view destination);
// Copies the files of sourceFolder matching mask in any case into
// destFolder. AbortFlag 0 when something matched and every copy succeeded,
// else 1.
void CopyFilesByMask(std::string_view mask, std::string_view sourceFolder, std::string_view destFolder);
void AssignTextFile(TextFile& file, std::string_view name);
// Closes and discards any I/O error.
void CloseTextFile(TextFile& file);

// Environment, version, dates and times.

std::string GetEnvVar(std::string_view name);
// The program's version ("26.6") for an empty name or a program file whose
// bare name is "wzeb1" in any case; "0" for any other file.
std::string GetFileVersionString(std::string_view fileName);
void ToggleUnitSystem();
void TodayDateParts(std::uint16_t& year, std::uint16_t& month, std::uint16_t& day, std::uint16_t& fourth);
std::string TodayDateString();
void CurrentTimeParts(std::uint16_t& hour, std::uint16_t& minute, std::uint16_t& second,
                      std::uint16_t& hundredth);
std::string CurrentTimeString();
// Today's date and the time of day ("07.12.2026", "9:05"), read from the
// clock once, so both name the same minute.
struct StampTexts {
  std::string date, time;
};
StampTexts StampNowTexts();
// The two as "07.12.2026 9:05".
std::string StampText();
// "9:05": the hour unpadded, the minutes with two digits.
std::string TimeText(int hour, int minute);
// A file time as "yyyy/mm/dd" (local date).
std::string FileDateString(std::time_t fileTime);
int MaxPrinterPort();

}  // namespace zeb
