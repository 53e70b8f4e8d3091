#pragma once
// What the client knows of the machine: operating system, memory, processors, network cards and
// a table with one entry per network adapter. The facts come from the platform's ISystemFacts
// and are parsed here; the adapters come from the adapter query of IPHelper.

#include <cstdint>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/NetworkTables.h"
#include "platform/SystemFacts.h"

namespace vorta {

struct TCPUInfo {
    std::string Name;
    std::int32_t MHz = 0;  // 0 when the kernel reports no speed
};
using TCpuInfoArray = std::vector<TCPUInfo>;

using TAdapterArray = std::vector<std::string>;  // one network card description each

// One network adapter as the network info upload carries it.
struct TRConnInfo {
    std::string ConnName;   // the connection on the adapter's interface, empty if none
    std::string HardWare;   // the adapter's description
    std::string MacAddr;    // as FormatMacAddr writes it
    std::string DHCPRun;    // "1" or "0"
    std::string IPAddr;     // every address, joined by ","
    std::string SubMask;    // the masks of the same addresses, same order
    std::string Gateway;    // the first gateway, trimmed
    std::string DNSServer;  // the first DNS server, trimmed
};

// The machine's connection names and the interface index behind each (0 for none). Either may
// be empty: then no adapter gets a connection name.
struct TConnectionLookup {
    std::function<std::vector<std::string>()> names;
    std::function<std::uint32_t(const std::string&)> ifIndex;
};

// A kernel file that exists but does not say what it should.
class TSysInfoError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TSysInfo {
public:
    // Without `tables` the adapter table stays empty; without `facts` the machine reads as one
    // that tells nothing.
    TSysInfo(platform::INetworkTables* tables, TConnectionLookup connections,
             const platform::ISystemFacts* facts = nullptr);

    // From a version record when the facts give one (see WindowsOsName); else os-release's
    // PRETTY_NAME, else its NAME, else the kernel's name ("Linux").
    std::string GetOSName() const;
    // "major.minor (build.servicepack)" from a version record when the facts give one, else from
    // the kernel release; see ParseKernelRelease.
    std::string GetOSVersion() const;
    // The version as a reader knows it: Windows' as above, the kernel release itself elsewhere
    // ("6.1.0-18-amd64"); what the dialog shows.
    std::string ShownOSVersion() const;
    std::string GetIISVersion() const { return "IIS 5.0"; }
    // MemTotal and MemAvailable of the memory text (the kernel's counters for a missing one), in
    // bytes divided by 1024.
    long double GetTotalMemoryKB() const;
    long double GetAvailMemoryKB() const;
    // The online CPUs of the online list, else the C library's count, else 1.
    int GetProcessorCount() const;
    // The processors the facts list, else one entry per processor of the description blocks, in
    // their order; `cpus` is left as it was when neither can be read. Throws TSysInfoError for a
    // "cpu MHz" that is not a number; the processors after it then stay empty.
    void GetCPUInfo(TCpuInfoArray& cpus) const;
    // One description per physical adapter (an interface with a device behind it), in name
    // order: "driver [vendor:device]", either part left out when the system does not tell it.
    void GetNetworkCards(TAdapterArray& cards) const;

    // Rebuilds the adapter table; callers on several threads take turns.
    void RefreshConnInfo();
    // Appends each entry's connection name followed by ";".
    void GetConnNames(std::string& names) const;
    std::int32_t ConnCount() const;
    std::vector<TRConnInfo> ConnInfos() const;  // a copy of the table

private:
    platform::INetworkTables* tables_;
    TConnectionLookup connections_;
    const platform::ISystemFacts& facts_;
    mutable std::mutex connLock_;
    std::vector<TRConnInfo> connInfos_;
};

}  // namespace vorta
