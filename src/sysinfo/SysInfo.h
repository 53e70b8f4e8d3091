#pragma once
// What the client knows of the machine: operating system, memory, processors, network cards and
// a table with one entry per network adapter. Every value is read from the kernel's files
// (os-release, /proc, /sys) whose places are set through TSysInfoSources, and from the adapter
// query of IPHelper.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/NetworkTables.h"

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

// Where the kernel's files are; tests point them into a temporary tree.
struct TSysInfoSources {
    std::filesystem::path procDir{"/proc"};
    std::filesystem::path sysDir{"/sys"};
    std::filesystem::path osRelease{"/etc/os-release"};
    std::filesystem::path osReleaseFallback{"/usr/lib/os-release"};  // when osRelease is missing

    // The same files below `root`: root/proc, root/sys, root/etc/os-release, ...
    static TSysInfoSources Under(const std::filesystem::path& root);
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
    // Without `tables` the adapter table stays empty.
    TSysInfo(platform::INetworkTables* tables, TConnectionLookup connections,
             TSysInfoSources sources = {});

    // os-release's PRETTY_NAME, else its NAME, else the kernel's name ("Linux").
    std::string GetOSName() const;
    // "major.minor (build.servicepack)" from the kernel release; see ParseKernelRelease.
    std::string GetOSVersion() const;
    std::string GetIISVersion() const { return "IIS 5.0"; }
    // MemTotal and MemAvailable of /proc/meminfo (sysinfo() for a missing counter), in bytes
    // divided by 1024.
    long double GetTotalMemoryKB() const;
    long double GetAvailMemoryKB() const;
    // The online CPUs of /sys/devices/system/cpu/online, else what sysconf() says.
    int GetProcessorCount() const;
    // One entry per processor of /proc/cpuinfo, in file order; `cpus` is left as it was when
    // the file cannot be read. Throws TSysInfoError for a "cpu MHz" that is not a number; the
    // processors after it then stay empty.
    void GetCPUInfo(TCpuInfoArray& cpus) const;
    // One description per physical adapter (an interface with a device behind it), in name
    // order: "driver [vendor:device]", either part left out when sysfs does not tell it.
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
    TSysInfoSources sources_;
    mutable std::mutex connLock_;
    std::vector<TRConnInfo> connInfos_;
};

}  // namespace vorta
