#pragma once
// Which interface a line uses, whether it has a default route, and the host route that makes a
// line's exchanges leave through that line. Connection names are interface names.

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/NetworkTables.h"

namespace vorta {

// What became of a request for a host route through a line.
struct TRouteResult {
    bool ok = false;
    std::string interface;  // the line's interface; the exchange is bound to it
    std::string reason;     // why there is no route through the line, when not ok
    explicit operator bool() const { return ok; }
};

// Why `address` is no service address a report may go to: loopback, link-local, multicast, the
// broadcast address, 0.0.0.0/8, or inside the subnet of one of `own` (rows whose address is on
// loopback are left out when `loopbackAllowed`). Empty when it may be used; `names` maps an
// interface index to its name for the text.
std::string UnusableServiceAddress(platform::Ip4 address,
                                   const std::vector<platform::AddressRow>& own,
                                   const std::vector<platform::LinkInfo>& names,
                                   bool loopbackAllowed);

// Why a web-login line's portal may not be routed to `address`: what UnusableServiceAddress
// refuses, and private (RFC 1918) or shared (100.64/10) addresses; the line's own subnet is
// reached without a route and never asked about.
std::string UnusablePortalAddress(platform::Ip4 address,
                                  const std::vector<platform::AddressRow>& own,
                                  const std::vector<platform::LinkInfo>& names,
                                  bool loopbackAllowed);

class TIpRoutes {
public:
    struct Options {
        // The service runs on this host (tests, a development service): loopback addresses
        // are then accepted as service addresses.
        bool loopbackAllowed = false;
    };
    explicit TIpRoutes(platform::INetworkTables& tables) : TIpRoutes(tables, Options{}) {}
    TIpRoutes(platform::INetworkTables& tables, Options options)
        : tables_(tables), options_(options) {}
    // Removes every route it added.
    ~TIpRoutes();
    TIpRoutes(const TIpRoutes&) = delete;
    TIpRoutes& operator=(const TIpRoutes&) = delete;

    // Makes sure that traffic to `serviceAddress` leaves through the line named `entry` (its
    // interface, else the interface holding `lineAddress`): through the interface's default
    // gateway, or through a point-to-point interface itself. A route to the address that this
    // client did not add is never replaced; one identical to what is wanted is fine. Routes this
    // client added in an earlier run are taken over.
    TRouteResult AddHostRoute(const std::string& entry, const std::string& lineAddress,
                              const std::string& serviceAddress);
    // A way for a web-login line's logon exchange to `address`: straight out of the line's
    // interface when the address lies in the line's own subnet (its gateway's portal), else a host
    // route through the line. Such routes are at most kMaxPortalRoutes a line, never to private,
    // shared, loopback, link-local or multicast addresses beyond the line's own subnet, and go
    // with RemovePortalRoutes once the logon is done.
    TRouteResult PortalRoute(const std::string& entry, const std::string& lineAddress,
                             const std::string& address);
    void RemovePortalRoutes(const std::string& entry);
    static constexpr std::size_t kMaxPortalRoutes = 4;
    // Removes the routes added for the line `entry` (it went down or was deleted).
    void RemoveHostRoutes(const std::string& entry);
    void RemoveAllHostRoutes();
    // Removes the routes of every line but those named.
    void KeepHostRoutesOf(const std::vector<std::string>& entries);
    // Removes the host routes that carry this client's mark but that this run did not add: what
    // a run that was killed left behind. Returns how many went.
    std::size_t RemoveLeftovers();

    // Whether the connection is up: administratively up, with its carrier, and with a default
    // route that is not marked link-down.
    bool HasDefaultRoute(const std::string& connection);
    // Why HasDefaultRoute is false, in words ("eth1 has no carrier"); empty when it is true.
    std::string WhyNotUp(const std::string& entry);
    // For each connection, a text that changes whenever what its reports depend on changes: its
    // interface, up and carrier, addresses and default routes. Empty for one without interface.
    std::vector<std::string> InterfaceStates(const std::vector<std::string>& connections);
    std::uint32_t GetConnectionIfIndex(const std::string& connection);
    std::uint32_t GetIfIndexByAddress(const std::string& address);
    std::string GetConnectionAdapterName(const std::string& connection);
    std::uint32_t GetAdapterIfIndex(const std::string& adapter);

private:
    struct Owned {
        platform::Ip4 gateway = 0;
        std::uint32_t index = 0;
        std::string owner;
        bool portal = false;  // for a logon only; a report's route to the same address is not
    };
    // The line's interface and what the tables say of it, for a route through the line.
    struct LineWay {
        std::uint32_t index = 0;
        platform::LinkInfo link;
        std::vector<platform::AddressRow> addresses;
        std::vector<platform::LinkInfo> links;
    };
    // Finds the line's interface; empty, or why there is none.
    std::string FindLine(const std::string& entry, const std::string& lineAddress, LineWay& way);
    // The host route to `destination` through the line found; empty, or why there is none.
    std::string RouteThrough(const LineWay& way, platform::Ip4 destination,
                             const std::string& owner, bool portal);
    enum class DefaultRoute { Unreadable, None, LinkDown, Found };
    // The next hop of the first main-table default route on interface `index` that is not
    // marked link-down; LinkDown when every one there is.
    DefaultRoute FindDefaultRoute(std::uint32_t index, platform::Ip4& gateway);
    // Removes the routes this client added that `remove` picks.
    template <typename Predicate>
    void RemoveOwnedIf(Predicate remove);
    // Puts the route in place for `owner`; empty, or why it could not be.
    std::string RunRouteAdd(platform::Ip4 destination, platform::Ip4 gateway, std::uint32_t index,
                            const std::string& owner, bool portal);

    platform::INetworkTables& tables_;
    Options options_;
    std::mutex lock_;  // the routes this client added, and every change of them
    std::map<platform::Ip4, Owned> owned_;
};

}  // namespace vorta
