#include "sysinfo/IPHelper.h"

#include <bit>
#include <charconv>
#include <cstdio>

namespace vorta {
namespace {

// Appends `value` to a list, growing the array to twice the count when it is full.
void Append(std::vector<std::string>& list, std::int32_t& count, std::string value) {
    if (list.size() <= static_cast<std::size_t>(count))
        list.resize(static_cast<std::size_t>(count) * 2);
    list[static_cast<std::size_t>(count)] = std::move(value);
    ++count;
}

// Copies a list whose first node always exists: an empty list still yields one empty element.
void CopyList(const std::vector<platform::Ip4>& from, std::vector<std::string>& list,
              std::int32_t& count) {
    if (from.empty()) {
        Append(list, count, {});
        return;
    }
    for (platform::Ip4 ip : from) Append(list, count, platform::Ip4ToText(ip));
}

}  // namespace

std::string FormatMacAddr(const std::uint8_t* bytes, std::size_t length) {
    if (length == 0 || bytes == nullptr) return "00-00-00-00-00-00";
    std::string text;
    for (std::size_t i = 0; i < length && i < 8; ++i) {
        char pair[4];
        std::snprintf(pair, sizeof pair, "%02X-", bytes[i]);
        text += pair;
    }
    text.pop_back();
    return text;
}

std::string NextToken(std::string& text, char separator) {
    std::string token;
    if (text.empty()) return token;
    const std::size_t at = text.find(separator);
    if (at == std::string::npos) {
        token.swap(text);
        return token;
    }
    token = text.substr(0, at);
    text.erase(0, at + 1);
    return token;
}

std::uint32_t StrToIpAddr(const std::string& address) {
    std::string rest = address;
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        const std::string token = NextToken(rest, '.');
        std::int32_t n = 0;
        const auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), n);
        if (token.empty() || ec != std::errc() || end != token.data() + token.size()) {
            value = 0;
            continue;
        }
        // Each number enters at the top byte and moves down, so a ends up in the lowest byte.
        value = (static_cast<std::uint32_t>(n) << 24) | (value >> 8);
    }
    // Built this way the value holds a, b, c, d in memory order on a little-endian host, as the
    // table does; a big-endian host needs the bytes turned round.
    if constexpr (std::endian::native == std::endian::big)
        value =
            (value >> 24) | ((value >> 8) & 0xFF00u) | ((value << 8) & 0xFF0000u) | (value << 24);
    return value;
}

std::uint32_t GetAdaptors(platform::INetworkTables& tables, std::int32_t& count,
                          TAdaptorRows& rows) {
    rows.assign(4, TAdaptorInfo{});
    count = 0;
    const auto links = tables.Links();
    const auto addresses = tables.Addresses();
    const auto routes = tables.Routes();
    if (!links || !addresses || !routes) return kErrorQueryFailed;

    for (const platform::LinkInfo& link : *links) {
        TAdaptorInfo& a = rows[static_cast<std::size_t>(count)];
        a.IpAddresses.resize(2);
        a.IpMasks.resize(2);
        a.Gateways.resize(2);
        a.DhcpServers.resize(2);
        a.PrimaryWinsServers.resize(2);
        a.SecondaryWinsServers.resize(2);
        a.DnsServers.resize(2);
        a.AdapterName = link.name;
        a.Description = link.description;
        a.MacAddress = FormatMacAddr(link.hardwareAddress.data(), link.hardwareAddress.size());
        a.Index = link.index;
        a.Type = link.type;
        a.DhcpEnabled = link.dhcp ? 1 : 0;

        std::int32_t maskCount = 0;
        for (const auto& row : *addresses) {
            if (row.index != link.index) continue;
            Append(a.IpAddresses, a.IpAddressCount, platform::Ip4ToText(row.address));
            Append(a.IpMasks, maskCount, platform::Ip4ToText(row.mask));
        }
        if (a.IpAddressCount == 0) {  // the first node is always there, empty or not
            Append(a.IpAddresses, a.IpAddressCount, {});
            Append(a.IpMasks, maskCount, {});
        } else {
            a.CurrentIpAddress = a.IpAddresses[0];
            a.CurrentIpMask = a.IpMasks[0];
        }
        std::vector<platform::Ip4> gateways;
        for (const auto& route : *routes)
            if (route.index == link.index && route.destination == 0 && route.mask == 0 &&
                route.nextHop != 0)
                gateways.push_back(route.nextHop);
        CopyList(gateways, a.Gateways, a.GatewayCount);
        CopyList(link.dhcpServers, a.DhcpServers, a.DhcpServerCount);
        CopyList({}, a.PrimaryWinsServers, a.PrimaryWinsCount);
        CopyList({}, a.SecondaryWinsServers, a.SecondaryWinsCount);
        a.LeaseObtained = link.leaseObtained;
        a.LeaseExpires = link.leaseExpires;
        CopyList(link.dnsServers, a.DnsServers, a.DnsServerCount);
        if (!link.dnsServers.empty()) a.CurrentDnsServer = a.DnsServers[0];

        ++count;
        if (rows.size() <= static_cast<std::size_t>(count))
            rows.resize(static_cast<std::size_t>(count) * 2);
    }
    rows.resize(static_cast<std::size_t>(count));
    return 0;
}

}  // namespace vorta
