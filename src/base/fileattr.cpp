#include "base/fileattr.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/oem_literal.h"

namespace zeb {

namespace {

std::string NamePart(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string OemPath(std::string_view path) { return FromUtf8(CodePage::Cp850, path); }

}  // namespace

bool FileHasAttributes(std::string_view path, std::uint16_t mask) {
  const std::string p(path);
  struct stat st{};
  if (p.empty() || ::stat(p.c_str(), &st) != 0) return false;
  std::uint16_t attr = 0;
  if (::access(p.c_str(), W_OK) != 0) attr |= kAttrReadOnly;
  std::string name = NamePart(p);
  if (name.empty()) {  // "folder/": the folder's own name
    std::string_view trimmed = path;
    while (!trimmed.empty() && trimmed.back() == '/') trimmed.remove_suffix(1);
    name = NamePart(trimmed);
  }
  if (name.size() > 1 && name[0] == '.' && name != "..") attr |= kAttrHidden;
  if (S_ISDIR(st.st_mode)) attr |= kAttrDirectory;
  else if (S_ISREG(st.st_mode)) attr |= kAttrArchive;
  else attr |= kAttrSystem;
  return (attr & mask) == mask;
}

EFOpenError::EFOpenError(std::string_view path)
    : std::runtime_error("Datei "_oem + OemPath(path) + " kann nicht geöffnet werden"_oem) {}

EFCreateError::EFCreateError(std::string_view path)
    : std::runtime_error("Datei "_oem + OemPath(path) + " kann nicht erstellt werden"_oem) {}

CopyOutcome CopyFileContents(std::string_view source, std::string_view destination, std::size_t blockSize,
                             int* error) {
  int unused = 0;
  int& err = error != nullptr ? *error : unused;
  err = 0;
  const auto failed = [&](CopyOutcome outcome, int e) {
    err = e;
    return outcome;
  };
  const std::string src = ResolvePathCaseInsensitive(source);
  if (src.empty() || PathIsDirectory(src)) return failed(CopyOutcome::SourceFailed, src.empty() ? ENOENT : EISDIR);
  const int in = ::open(src.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return failed(CopyOutcome::SourceFailed, errno);
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{in};

  // The destination is taken as named: a copy never replaces a file whose
  // name differs only in case.
  const std::string dst(destination);
  if (dst.empty() || PathIsDirectory(dst))
    return failed(CopyOutcome::DestinationFailed, dst.empty() ? ENOENT : EISDIR);
  AtomicFile out;
  if (const int e = out.Open(dst); e != 0) return failed(CopyOutcome::DestinationFailed, e);
  std::vector<char> buf(blockSize == 0 ? 1 : blockSize);
  for (;;) {
    const ssize_t n = ::read(in, buf.data(), buf.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return failed(CopyOutcome::SourceFailed, errno);  // out is abandoned
    if (n == 0) break;
    if (const int e = out.Write(buf.data(), static_cast<std::size_t>(n)); e != 0)
      return failed(CopyOutcome::DestinationFailed, e);
  }
  if (const int e = out.Commit(); e != 0) return failed(CopyOutcome::DestinationFailed, e);
  return CopyOutcome::Ok;
}

void CopyFileToPath(std::string_view source, std::string_view destination) {
  std::string dst(destination);
  if (dst.empty()) dst = ".";
  if (dst.back() == '/' || FileHasAttributes(dst, kAttrDirectory)) {
    if (dst.back() != '/') dst.push_back('/');
    dst += NamePart(source);
  }
  switch (CopyFileContents(source, dst, 8192)) {
    case CopyOutcome::Ok: return;
    case CopyOutcome::SourceFailed: throw EFOpenError(source);
    case CopyOutcome::DestinationFailed: throw EFCreateError(dst);
  }
}

}  // namespace zeb
