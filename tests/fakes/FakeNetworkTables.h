#pragma once
// Network tables held in memory, counting what is asked of them. The client queries its tables
// from several threads at once: the queries take a lock, and tests that change the tables while
// lines run use AddRoute and Added.

#include <mutex>
#include <tuple>

#include "platform/NetworkTables.h"

namespace vorta::test {

inline platform::Ip4 Ip(const char* text) {
    return *platform::ParseIp4(text);
}

class FakeNetworkTables : public platform::INetworkTables {
public:
    std::vector<platform::LinkInfo> links;
    std::vector<platform::AddressRow> addresses;
    std::vector<platform::RouteRow> routes;
    bool failing = false;
    std::string refusal;  // what AddHostRoute answers
    std::vector<std::tuple<platform::Ip4, platform::Ip4, std::uint32_t>> added;
    int addressQueries = 0;

    std::optional<std::vector<platform::LinkInfo>> Links() override {
        std::lock_guard guard(mutex_);
        if (failing) return std::nullopt;
        return links;
    }
    std::optional<std::vector<platform::AddressRow>> Addresses() override {
        std::lock_guard guard(mutex_);
        ++addressQueries;
        if (failing) return std::nullopt;
        return addresses;
    }
    std::optional<std::vector<platform::RouteRow>> Routes() override {
        std::lock_guard guard(mutex_);
        if (failing) return std::nullopt;
        return routes;
    }
    std::string AddHostRoute(platform::Ip4 destination, platform::Ip4 gateway,
                             std::uint32_t index) override {
        std::lock_guard guard(mutex_);
        added.emplace_back(destination, gateway, index);
        return refusal;
    }

    void AddRoute(const platform::RouteRow& row) {
        std::lock_guard guard(mutex_);
        routes.push_back(row);
    }
    std::vector<std::tuple<platform::Ip4, platform::Ip4, std::uint32_t>> Added() const {
        std::lock_guard guard(mutex_);
        return added;
    }

    platform::LinkInfo& AddLink(const std::string& name, std::uint32_t index) {
        platform::LinkInfo link;
        link.name = name;
        link.index = index;
        links.push_back(link);
        return links.back();
    }

private:
    mutable std::mutex mutex_;
};

}  // namespace vorta::test
