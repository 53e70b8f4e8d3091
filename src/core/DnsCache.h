#pragma once
// Host name to address, for the IP update loop: an address once found is used for the rest of
// the run; a failed lookup is not remembered, so the next call tries again.

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace vorta {

class TDnsCache {
public:
    // Every IPv4 address of the host as dotted text; throws when the name cannot be resolved.
    using Resolver = std::function<std::vector<std::string>(const std::string& host)>;

    explicit TDnsCache(Resolver resolver);

    // The cached or freshly resolved first address; empty when the name cannot be resolved.
    // Names are matched exactly, letter case included.
    std::string Resolve(const std::string& host);
    // The address of the URL's host part (port and path play no part).
    std::string ResolveUrl(const std::string& url);

private:
    Resolver resolver_;
    std::vector<std::pair<std::string, std::string>> entries_;
};

}  // namespace vorta
