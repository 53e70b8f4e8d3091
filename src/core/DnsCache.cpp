#include "core/DnsCache.h"

#include <exception>

#include "base/Url.h"
#include "protocol/DebugLog.h"

namespace vorta {

TDnsCache::TDnsCache(Resolver resolver) : resolver_(std::move(resolver)) {}

std::string TDnsCache::Resolve(const std::string& host, std::stop_token stop) {
    Entry* known = nullptr;
    for (auto& entry : entries_)
        if (entry.host == host) known = &entry;
    if (known != nullptr && !known->stale) return known->address;
    std::vector<std::string> addresses;
    try {
        addresses = ResolveUnlessStopped(resolver_, host, stop);
    } catch (const std::exception& e) {
        Debug("name lookup of " + host + ": " + e.what());
        // Not found this time; nothing new is cached.
    }
    if (addresses.empty()) return known != nullptr ? known->address : std::string();
    if (known == nullptr) {
        entries_.push_back({host, addresses.front()});
    } else {
        known->address = addresses.front();
        known->stale = false;
    }
    return addresses.front();
}

std::string TDnsCache::ResolveUrl(const std::string& url, std::stop_token stop) {
    return Resolve(ReadUrl(url).host, std::move(stop));
}

void TDnsCache::MarkStale(const std::string& host) {
    for (auto& entry : entries_)
        if (entry.host == host) entry.stale = true;
}

}  // namespace vorta
