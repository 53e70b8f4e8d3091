#pragma once
// The adapter query and the small address helpers built on the kernel's network tables.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/NetworkTables.h"

namespace vorta {

// One network adapter. A list's count, not its length, says how many elements are valid.
struct TAdaptorInfo {
    std::string AdapterName;  // the interface name
    std::string Description;
    std::string MacAddress;
    std::uint32_t Index = 0;
    std::uint32_t Type = 0;
    std::uint32_t DhcpEnabled = 0;
    std::string CurrentIpAddress = "  0.  0.  0.  0";
    std::string CurrentIpMask = "  0.  0.  0.  0";
    std::int32_t IpAddressCount = 0;
    std::vector<std::string> IpAddresses;
    std::vector<std::string> IpMasks;
    std::int32_t GatewayCount = 0;
    std::vector<std::string> Gateways;
    std::int32_t DhcpServerCount = 0;
    std::vector<std::string> DhcpServers;
    std::int32_t PrimaryWinsCount = 0;
    std::vector<std::string> PrimaryWinsServers;
    std::int32_t SecondaryWinsCount = 0;
    std::vector<std::string> SecondaryWinsServers;
    std::int64_t LeaseObtained = 0;
    std::int64_t LeaseExpires = 0;
    std::uint32_t AutoconfigEnabled = 0;
    std::uint32_t AutoconfigActive = 0;
    std::string CurrentDnsServer;
    std::int32_t DnsServerCount = 0;
    std::vector<std::string> DnsServers;
};
using TAdaptorRows = std::vector<TAdaptorInfo>;

inline constexpr std::uint32_t kErrorQueryFailed = 31;  // the kernel could not be asked

// Fills `rows` with every adapter (loopback excluded) and returns 0; on failure returns a
// non-zero code with `count` 0 and `rows` holding 4 empty records.
std::uint32_t GetAdaptors(platform::INetworkTables& tables, std::int32_t& count,
                          TAdaptorRows& rows);

// The first `length` bytes (at most 8) as upper-case hex pairs joined by "-";
// "00-00-00-00-00-00" for a length of 0.
std::string FormatMacAddr(const std::uint8_t* bytes, std::size_t length);

// Cuts the text before the first `separator` off `text` and returns it; without a separator
// the whole text is the token and `text` becomes empty.
std::string NextToken(std::string& text, char separator);

// a.b.c.d as the address table holds it (bytes a, b, c, d in memory). A token that is not a
// number resets the value to 0 before the next token is taken.
std::uint32_t StrToIpAddr(const std::string& text);

}  // namespace vorta
