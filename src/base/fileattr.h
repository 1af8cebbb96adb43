// Attribute test and whole-file copy.
#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace zeb {

// Attribute bits as the program tests them. Only these are set: read-only
// (not writable), hidden (name begins with "."), system (neither a regular
// file nor a folder), directory and archive (a regular file).
constexpr std::uint16_t kAttrReadOnly = 1;
constexpr std::uint16_t kAttrHidden = 2;
constexpr std::uint16_t kAttrSystem = 4;
constexpr std::uint16_t kAttrDirectory = 16;
constexpr std::uint16_t kAttrArchive = 32;

// True when the path exists and every bit of mask is among its attributes.
bool FileHasAttributes(std::string_view path, std::uint16_t mask);

// what() is the code page 850 message with the file name.
class EFOpenError : public std::runtime_error {
 public:
  explicit EFOpenError(std::string_view path);
};
class EFCreateError : public std::runtime_error {
 public:
  explicit EFCreateError(std::string_view path);
};

// Copies source to destination (into it, under the source's name, when it
// is a folder or ends in "/"). The copy is written beside the destination and renamed over
// it when complete. Raises EFOpenError when the source cannot be opened or
// read, EFCreateError when the copy cannot be created or written; then the
// destination is as it was.
void CopyFileToPath(std::string_view source, std::string_view destination);

// The copy loop of the copy routines: source to exactly destination, in
// blocks of blockSize, through a temporary beside it. error (when given)
// gets the errno value of a failure (0 for a source that is a folder).
enum class CopyOutcome { Ok, SourceFailed, DestinationFailed };
CopyOutcome CopyFileContents(std::string_view source, std::string_view destination, std::size_t blockSize,
                             int* error = nullptr);

}  // namespace zeb
