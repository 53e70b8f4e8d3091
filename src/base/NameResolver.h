#pragma once
// Host names to addresses. The platform supplies the system's resolver; the core only sees this
// function type, so tests and labs can answer names themselves.

#include <functional>
#include <string>
#include <vector>

namespace vorta {

// Every IPv4 address of `host` as dotted text, in the resolver's order. Throws
// std::runtime_error when there is none.
using HostResolver = std::function<std::vector<std::string>(const std::string& host)>;

}  // namespace vorta
