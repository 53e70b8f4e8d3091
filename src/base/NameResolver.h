#pragma once
// Host names to addresses. The platform supplies the system's resolver; the core only sees this
// function type, so tests and labs can answer names themselves.

#include <functional>
#include <stop_token>
#include <string>
#include <vector>

namespace vorta {

// Every IPv4 address of `host` as dotted text, in the resolver's order. Throws
// std::runtime_error when there is none.
using HostResolver = std::function<std::vector<std::string>(const std::string& host)>;

// `resolver(host)`, given up as soon as `stop` is requested: a system lookup cannot be
// interrupted, so it runs on a thread of its own that nobody waits for; an abandoned lookup
// finishes unseen and its thread ends by itself. The resolver is copied for that thread and must
// not refer to anything that dies before the lookup ends. Throws what the resolver throws, and
// std::runtime_error "stopped" after a stop request.
std::vector<std::string> ResolveUnlessStopped(const HostResolver& resolver, const std::string& host,
                                              std::stop_token stop);

}  // namespace vorta
