#include "core/DnsCache.h"

#include <exception>

#include "base/Url.h"
#include "protocol/DebugLog.h"

namespace vorta {

TDnsCache::TDnsCache(Resolver resolver) : resolver_(std::move(resolver)) {}

std::string TDnsCache::Resolve(const std::string& host) {
    for (const auto& [name, address] : entries_)
        if (name == host) return address;
    std::vector<std::string> addresses;
    try {
        addresses = resolver_(host);
    } catch (const std::exception& e) {
        Debug(std::string("name lookup: ") + e.what());
        // Not found this time; nothing is cached.
    }
    if (addresses.empty()) return {};
    entries_.emplace_back(host, addresses.front());
    return addresses.front();
}

std::string TDnsCache::ResolveUrl(const std::string& url) {
    std::string host, port, path;
    SplitUrl(url, host, port, path);
    return Resolve(host);
}

}  // namespace vorta
