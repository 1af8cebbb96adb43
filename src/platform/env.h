// Environment and program identity.
#pragma once
#include <string>
#include <string_view>

namespace zeb {

// Environment variable, empty when not set. "TEMP" reads TMPDIR when it
// names a folder, else "/tmp"; "USERNAME" reads USER, else the login name.
std::string GetEnvironment(std::string_view name);

// The locale's short date format as letters (dd, MM, yyyy, yy and the
// separators), from nl_langinfo(D_FMT); "dd.MM.yyyy" when it has none.
std::string LocaleShortDateFormat();

// The program's version, e.g. "26.6.0.0", and its four parts.
std::string ProgramVersionText();
struct VersionParts { int major, minor, release, build; };
VersionParts ProgramVersionParts();

}  // namespace zeb
