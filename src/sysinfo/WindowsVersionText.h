#pragma once
// The operating system's name, edition and version text made from a Windows version record.
// Pure functions, no I/O: the record comes from ISystemFacts::OsVersion.

#include <string>

#include "platform/SystemFacts.h"

namespace vorta {

inline constexpr const char* kUnknownWindows = "Unknown Windows Version";

// "Microsoft Windows XP Professional", "Microsoft Windows 2016 DataCenter Server", ... The 95
// family's names get " OSR2" / " SE" from the service-pack letter; 5.2 is "Microsoft Windows
// 2003" alone; versions of the NT family after it are named by major, minor, product type and
// build. NT names take an edition from the product type and suite mask of an extended record,
// else from the registry's ProductType value. Unknown versions read kUnknownWindows.
std::string WindowsOsName(const platform::OsVersionFacts& version);

// "major.minor (build.servicepack)"; the service pack keeps at most 128 characters, and the 95
// family's build loses the version in its high word.
std::string WindowsOsVersion(const platform::OsVersionFacts& version);

}  // namespace vorta
