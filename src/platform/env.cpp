#include "platform/env.h"

#include <langinfo.h>
#include <locale.h>
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <vector>

#include "platform/files.h"
#include "platform/version_config.h"

namespace zeb {

namespace {

bool SameNameNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

std::string LoginNameOfUid() {
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buf(size > 0 ? static_cast<std::size_t>(size) : 4096);
  for (;;) {
    passwd pw{};
    passwd* found = nullptr;
    int rc = ::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &found);
    if (rc == ERANGE && buf.size() < (1u << 20)) {
      buf.resize(buf.size() * 2);
      continue;
    }
    return (rc == 0 && found && found->pw_name) ? std::string(found->pw_name) : std::string();
  }
}

}  // namespace

std::string GetEnvironment(std::string_view name) {
  // The two Windows names the program asks for.
  if (SameNameNoCase(name, "TEMP")) return TempDirectory();
  if (SameNameNoCase(name, "USERNAME")) {
    const char* user = std::getenv("USER");
    if (user && *user) return user;
    return LoginNameOfUid();
  }
  if (name.empty() || name.find('=') != std::string_view::npos ||
      name.find('\0') != std::string_view::npos)
    return {};
  const char* v = std::getenv(std::string(name).c_str());
  return v ? std::string(v) : std::string();
}

std::string LocaleShortDateFormat() {
  std::string fmt;
  locale_t loc = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr));
  if (loc != static_cast<locale_t>(nullptr)) {
    const char* f = nl_langinfo_l(D_FMT, loc);
    fmt = f != nullptr ? f : "";
    freelocale(loc);
  }
  std::string out;
  for (std::size_t i = 0; i < fmt.size(); ++i) {
    if (fmt[i] != '%' || i + 1 >= fmt.size()) {
      out.push_back(fmt[i]);
      continue;
    }
    const char c = fmt[++i];
    if (c == 'd' || c == 'e') out += "dd";
    else if (c == 'm') out += "MM";
    else if (c == 'Y') out += "yyyy";
    else if (c == 'y') out += "yy";
    else if (c == 'D') out += "MM/dd/yy";
    else if (c == 'F') out += "yyyy-MM-dd";
  }
  if (out.find('d') == std::string::npos || out.find('M') == std::string::npos) return "dd.MM.yyyy";
  return out;
}

std::string ProgramVersionText() { return ZEB1_VERSION_TEXT; }

VersionParts ProgramVersionParts() {
  // Parsed from the text so that a version of fewer parts reads as zeros.
  int parts[4] = {0, 0, 0, 0};
  std::string_view t = ZEB1_VERSION_TEXT;
  const char* p = t.data();
  const char* end = t.data() + t.size();
  for (int i = 0; i < 4 && p < end; ++i) {
    auto [next, ec] = std::from_chars(p, end, parts[i]);
    if (ec != std::errc()) break;
    p = next;
    if (p < end && *p == '.') ++p;
  }
  return {parts[0], parts[1], parts[2], parts[3]};
}

}  // namespace zeb
