#pragma once
// Host name to address, for the IP update loop: an address once found is used until a report to
// it fails for a whole pass; a failed lookup is not remembered, so the next call tries again.
// The lines' reporters use it from their threads at once.

#include <mutex>
#include <stop_token>
#include <string>
#include <vector>

#include "base/NameResolver.h"

namespace vorta {

class TDnsCache {
public:
    // Every IPv4 address of the host as dotted text; throws when the name cannot be resolved.
    using Resolver = HostResolver;

    explicit TDnsCache(Resolver resolver);

    // The cached or freshly resolved first address; empty when the name cannot be resolved or
    // `stop` was requested during the lookup. Names are matched exactly, letter case included.
    std::string Resolve(const std::string& host, std::stop_token stop = {});
    // The address of the URL's host part (port and path play no part).
    std::string ResolveUrl(const std::string& url, std::stop_token stop = {});
    // The next Resolve of `host` asks the resolver again; until that lookup succeeds the old
    // address stays in use.
    void MarkStale(const std::string& host);

private:
    struct Entry {
        std::string host;
        std::string address;
        bool stale = false;
    };
    Entry* Find(const std::string& host);  // needs lock_ held

    Resolver resolver_;
    std::mutex lock_;  // guards entries_, never held during a lookup
    std::vector<Entry> entries_;
};

}  // namespace vorta
