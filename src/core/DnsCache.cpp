#include "core/DnsCache.h"

#include <exception>

#include "base/Url.h"
#include "protocol/DebugLog.h"

namespace vorta {

TDnsCache::TDnsCache(Resolver resolver) : resolver_(std::move(resolver)) {}

TDnsCache::Entry* TDnsCache::Find(const std::string& host) {
    for (auto& entry : entries_)
        if (entry.host == host) return &entry;
    return nullptr;
}

std::string TDnsCache::Resolve(const std::string& host, std::stop_token stop) {
    std::string old;
    {
        std::lock_guard guard(lock_);
        if (const Entry* known = Find(host)) {
            if (!known->stale) return known->address;
            old = known->address;
        }
    }
    // Not under the lock: another line's name is answered from the cache meanwhile.
    std::vector<std::string> addresses;
    try {
        addresses = ResolveUnlessStopped(resolver_, host, stop);
    } catch (const std::exception& e) {
        Debug("name lookup of " + host + ": " + e.what());
        // Not found this time; nothing new is cached.
    }
    if (addresses.empty()) return old;
    std::lock_guard guard(lock_);
    Entry* known = Find(host);
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
    std::lock_guard guard(lock_);
    for (auto& entry : entries_)
        if (entry.host == host) entry.stale = true;
}

}  // namespace vorta
