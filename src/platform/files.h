// File-system services: temporary names, atomic replacement, lookups.
// Paths are UTF-8, "/" separated.
#pragma once
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace zeb {

// Folder for temporary files: $TMPDIR when it names a folder, else "/tmp".
std::string TempDirectory();

// The run's own folder for scratch files: "<parent>/zeb1-XXXXXX", made by
// mkdtemp (mode 0700, so nobody else can place a name in it) and removed
// with everything in it by RemoveRunFolder or at the latest at exit. 0 or
// an errno value; a folder made before is removed first. The folder holds
// the file kRunFolderMark, locked (flock) from before it has that name until
// the run ends: a folder whose mark is free belongs to a run that is gone.
int MakeRunFolder(std::string_view parent);
inline constexpr char kRunFolderMark[] = ".zeb1-run";
// The same folder made only when first asked for: a run that needs no
// scratch file creates none. 0, or the errno value of a parent that cannot
// hold the folder (missing, no folder, not writable, a file system that
// stores nothing such as /proc: EACCES).
int PlanRunFolder(std::string_view parent);
// The run's folder, made now when it was only planned; "" before, after,
// and when it cannot be made.
const std::string& RunFolder();
// The run's folder when it exists; never makes it.
const std::string& RunFolderIfMade();
// Whether MakeRunFolder or PlanRunFolder was called since the last
// RemoveRunFolder, whether the folder could be made or not.
bool RunFolderAskedFor();
void RemoveRunFolder();
// Removes the run folders of this user in parent that no run holds any more
// (killed runs): folders "zeb1-" + six letters or digits of the user,
// never through a link, whose mark is free; a folder without a mark only
// when it is empty and untouched for ten minutes (a run killed while it
// made its folder). The run's own folder and other users' folders stay.
// The number of folders removed.
int RemoveDeadRunFolders(std::string_view parent);
// A run folder's name: "zeb1-" + six letters or digits, as mkdtemp makes
// them; not six digits alone (the "zeb1-<uid>" folder earlier versions
// shared between runs).
bool IsRunFolderName(std::string_view name);
// Whether path lies in the run's folder (its files are for the user alone).
bool InRunFolder(std::string_view path);
// Where unnamed scratch files go: the run's folder, else TempDirectory().
std::string ScratchDirectory();

// Opens a file for reading without waiting on it: a FIFO, socket or
// device (also behind a link) is refused with ENXIO, a folder with EISDIR.
// The descriptor blocks again once the file is known to be regular.
int OpenRegularForReading(std::string_view path, int& fd);
// ::open of an existing file that never waits: anything but a regular file
// is refused (-1, errno ENXIO or EISDIR).
int OpenRegularNoWait(const char* path, int flags);

// Creates a new empty file with a unique name "<folder>/<prefix>XXXXXX"
// (mkstemp); returns its path, or nullopt with errno set.
std::optional<std::string> MakeUniqueFile(std::string_view folder, std::string_view prefix);

// Writes a file without a name (or under a temporary name) in the target's
// folder and puts it in the target's place on Commit (keeping an existing
// target's mode). A link at the
// target is followed only when the user owns it; another's link is replaced
// as a name (where the folder lets us), never its target. Destroyed or
// Abort()ed without Commit: the temporary is removed, the target untouched.
// Character devices are written directly; FIFOs and sockets are refused
// (ENXIO) rather than waited on. Without sync, Commit skips the fsync of
// file and folder (for files the caller deletes itself).
// Writes bytes as the file path, whole or not at all: a file without a
// name (or under a temporary name) renamed over it once every byte is
// written and flushed, in the run's folder too. A device, FIFO or socket at
// path is refused (ENXIO), a folder EISDIR. 0 or an errno value (then path
// is as it was); the caller names the failure (ShowFileWriteError).
int WriteWholeFile(std::string_view path, std::string_view bytes);

class AtomicFile {
 public:
  AtomicFile() = default;
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // 0 or an errno value.
  int Open(std::string_view target);
  bool IsOpen() const { return fd_ >= 0; }
  // 0 or an errno value: the write's own (ENOSPC, EFBIG, EIO ...), ENOSPC
  // when the system stores nothing. An error sticks until Commit or Abort.
  int Write(const void* data, std::size_t n);
  // Flushes, closes, renames; 0 or an errno value (then nothing changed).
  int Commit();
  void Abort();
  void SetSync(bool sync) { sync_ = sync; }
  // Before Open: never written in place (no device, no scratch file).
  void SetWholeOnly(bool whole) { wholeOnly_ = whole; }
  bool IsDirect() const { return direct_; }
  const std::string& TargetPath() const { return target_; }
  const std::string& TempPath() const { return temp_; }

 private:
  int LinkUnnamed();
  int CopyUnnamedToTemporary();

  int fd_ = -1;
  bool direct_ = false;
  bool unnamed_ = false;  // a file without a name yet (TempPath empty)
  bool sync_ = true;
  bool wholeOnly_ = false;
  int error_ = 0;
  std::uint64_t written_ = 0, started_ = 0;  // bytes written, bytes sent on to the disk
  static constexpr std::uint64_t kStartWritebackBytes = 1u << 20;
  std::string target_, temp_;
  std::string dest_;  // the file renamed over: target_, or where its link points
};

// The program's own temporary names beside a target: "." + the target's
// name + kTemporaryMark + six letters or digits. No user file carries the
// mark, so a clean-up may take every name of exactly that form.
inline constexpr char kTemporaryMark[] = ".~zeb1~";
bool IsOwnTemporaryName(std::string_view name);
// "<folder>/.<name>" + kTemporaryMark + "XXXXXX" beside target, for mkostemp.
std::string TemporaryPatternBeside(std::string_view target);
// The file a write that replaces target renames over: where the user's own
// link points (the link stays), else target itself (another's link is
// replaced by name, its target never written).
std::string ReplaceDestination(const std::string& target);
// Removes the user's own regular files (not links) of folder whose names
// are the program's temporary names and that were not changed since
// notAfter (a save of another session may still be writing a newer one).
// The number of files removed.
int RemoveOwnTemporaries(std::string_view folder, std::time_t notAfter);

// Test seam: false makes AtomicFile write under a temporary name, as on
// file systems without unnamed files.
void UseUnnamedTemporaries(bool on);
// Test seam: naming an unnamed file fails with this error (0: as the file
// system says), as on file systems that make such files but will not
// link them.
void FailUnnamedLinks(int error);

// A unique case-insensitive match of name in folder, when no file of that
// exact name exists; else the name as given. Returns the full path. The
// exact name is tried first, and alone in the run's own folder. Beyond it
// a lookup costs at most 7 more file lookups or one listing of a small
// folder, kept while the folder stays unchanged; a large folder is never
// listed (a longer name is found there in its usual spellings only: all
// lower case, all capitals, a capital first letter, name and extension
// apart). For reading only: a file is written under its exact name.
std::string ResolveCaseInsensitive(std::string_view folder, std::string_view name);
// Same for a full path (looks in its folder).
std::string ResolvePathCaseInsensitive(std::string_view path);

bool PathIsDirectory(std::string_view path);
bool PathIsRegularFile(std::string_view path);
// Something other than a regular file or folder (a FIFO, device or socket),
// also behind a link.
bool PathIsDevice(std::string_view path);
bool PathExists(std::string_view path);

}  // namespace zeb
