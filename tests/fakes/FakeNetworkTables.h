#pragma once
// Network tables held in memory, counting what is asked of them. The client queries its tables
// from several threads at once: the queries take a lock, and tests that change the tables while
// lines run use AddRoute and Added.

#include <algorithm>
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
    std::string refusal;  // what AddHostRoute answers; empty: the route goes into `routes`
    std::vector<std::tuple<platform::Ip4, platform::Ip4, std::uint32_t>> added;
    std::vector<std::tuple<platform::Ip4, platform::Ip4, std::uint32_t>> deleted;
    int addressQueries = 0;

    // Replaces the links while lines may be reading them.
    void SetLinks(std::vector<platform::LinkInfo> value) {
        std::lock_guard guard(mutex_);
        links = std::move(value);
    }
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
    // As the kernel does: an exclusive add fails on any route to the same destination.
    std::string AddHostRoute(platform::Ip4 destination, platform::Ip4 gateway, std::uint32_t index,
                             bool replace) override {
        std::lock_guard guard(mutex_);
        if (!refusal.empty()) return refusal;
        const auto same = std::find_if(routes.begin(), routes.end(), [&](const auto& row) {
            return row.destination == destination && row.mask == 0xFFFFFFFFu;
        });
        if (same != routes.end() && !replace) return "File exists";
        if (same != routes.end()) routes.erase(same);
        routes.push_back({destination, 0xFFFFFFFFu, gateway, index, false, true});
        added.emplace_back(destination, gateway, index);
        return {};
    }
    // As the kernel does with the client's route protocol: only a route with the mark goes.
    std::string DeleteHostRoute(platform::Ip4 destination, platform::Ip4 gateway,
                                std::uint32_t index) override {
        std::lock_guard guard(mutex_);
        const auto same = std::find_if(routes.begin(), routes.end(), [&](const auto& row) {
            return row.ours && row.destination == destination && row.mask == 0xFFFFFFFFu &&
                   row.nextHop == gateway && row.index == index;
        });
        if (same == routes.end()) return "No such process";
        routes.erase(same);
        deleted.emplace_back(destination, gateway, index);
        return {};
    }

    void AddRoute(const platform::RouteRow& row) {
        std::lock_guard guard(mutex_);
        routes.push_back(row);
    }
    void RemoveDefaultRoutes() {
        std::lock_guard guard(mutex_);
        std::erase_if(routes, [](const auto& row) { return row.destination + row.mask == 0; });
    }
    void SetLinkUp(const std::string& name, bool up) {
        std::lock_guard guard(mutex_);
        for (auto& link : links)
            if (link.name == name) link.up = up;
    }
    void SetCarrier(const std::string& name, bool carrier) {
        std::lock_guard guard(mutex_);
        for (auto& link : links)
            if (link.name == name) link.carrier = carrier;
    }
    std::vector<std::tuple<platform::Ip4, platform::Ip4, std::uint32_t>> Added() const {
        std::lock_guard guard(mutex_);
        return added;
    }
    std::vector<std::tuple<platform::Ip4, platform::Ip4, std::uint32_t>> Deleted() const {
        std::lock_guard guard(mutex_);
        return deleted;
    }
    std::vector<platform::RouteRow> RoutesNow() const {
        std::lock_guard guard(mutex_);
        return routes;
    }

    platform::LinkInfo& AddLink(const std::string& name, std::uint32_t index) {
        platform::LinkInfo link;
        link.name = name;
        link.index = index;
        link.up = true;
        link.carrier = true;
        links.push_back(link);
        return links.back();
    }

private:
    mutable std::mutex mutex_;
};

}  // namespace vorta::test
