#pragma once
// The resolver that stands in where no system resolver was given: it reads dotted IPv4
// literals and asks no one, so a core without a platform still reaches 127.0.0.1.

#include <string>
#include <vector>

#include "base/NameResolver.h"

namespace vorta::platform {

inline constexpr const char* kHostNotFound = "Host Lookup - Could Not Find Host Entry";

// `host` as the one address when it is a dotted IPv4 literal; throws std::runtime_error
// kHostNotFound for anything else.
std::vector<std::string> ResolveIp4Literal(const std::string& host);

// `resolver`, or ResolveIp4Literal when it is empty.
HostResolver ResolverOrLiterals(HostResolver resolver);

}  // namespace vorta::platform
