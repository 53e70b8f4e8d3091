#include "sysinfo/SysInfo.h"

#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <limits>
#include <optional>
#include <utility>

#include "protocol/TextCodec.h"
#include "sysinfo/IPHelper.h"
#include "sysinfo/KernelText.h"

namespace vorta {
namespace fs = std::filesystem;
namespace {

constexpr std::size_t kMaxFileBytes = 4u << 20;

// The file's text (at most kMaxFileBytes of it); none when it cannot be read.
std::optional<std::string> ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string text;
    char chunk[4096];
    while (text.size() < kMaxFileBytes) {
        in.read(chunk, sizeof chunk);
        text.append(chunk, static_cast<std::size_t>(in.gcount()));
        if (!in) break;
    }
    if (in.bad()) return std::nullopt;
    return text;
}

// A value of /proc/sys/kernel, the same as uname() tells, which stands in when it is missing.
std::string KernelValue(const TSysInfoSources& sources, const char* name,
                        std::string (*fallback)(const utsname&)) {
    if (const auto text = ReadText(sources.procDir / "sys" / "kernel" / name)) {
        const std::string_view value = TrimControl(*text);
        if (!value.empty()) return std::string(value);
    }
    utsname uts{};
    return ::uname(&uts) == 0 ? fallback(uts) : std::string();
}

long double MemoryKB(const TSysInfoSources& sources, std::string_view counter) {
    if (const auto text = ReadText(sources.procDir / "meminfo"))
        if (const auto bytes = kerneltext::MemInfoBytes(*text, counter))
            return static_cast<long double>(*bytes) / 1024.0L;
    struct sysinfo info {};
    if (::sysinfo(&info) != 0) return 0;
    const unsigned long units =
        counter == "MemTotal" ? info.totalram : info.freeram + info.bufferram;
    return static_cast<long double>(units) * info.mem_unit / 1024.0L;
}

std::string CpuName(const kerneltext::CpuFields& cpu) {
    // "model name" on x86 and most others; older ARM, MIPS, PowerPC, RISC-V and s390 name
    // their processors in other fields.
    for (const char* field : {"model name", "Processor", "cpu model", "cpu", "uarch", "vendor_id"})
        if (const auto it = cpu.find(field); it != cpu.end() && !it->second.empty())
            return it->second;
    return {};
}

// The speed in MHz: "cpu MHz" rounded, else the cpufreq driver's base or highest frequency,
// else 0.
std::int32_t CpuMHz(const kerneltext::CpuFields& cpu, const TSysInfoSources& sources) {
    const std::string& number = cpu.at("processor");
    if (const auto it = cpu.find("cpu MHz"); it != cpu.end()) {
        const std::string& text = it->second;
        double mhz = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), mhz);
        if (text.empty() || ec != std::errc() || end != text.data() + text.size() ||
            !std::isfinite(mhz) || mhz < 0 || mhz > std::numeric_limits<std::int32_t>::max())
            throw TSysInfoError("processor " + number + ": cpu MHz \"" + text +
                                "\" is not a speed");
        return static_cast<std::int32_t>(std::lround(mhz));
    }
    if (number.empty() ||
        !std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return 0;
    const fs::path cpufreq =
        sources.sysDir / "devices" / "system" / "cpu" / ("cpu" + number) / "cpufreq";
    for (const char* file : {"base_frequency", "cpuinfo_max_freq"}) {
        const auto text = ReadText(cpufreq / file);
        if (!text) continue;
        const std::string_view value = TrimControl(*text);
        std::uint32_t kHz = 0;
        const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), kHz);
        if (!value.empty() && ec == std::errc() && end == value.data() + value.size())
            return static_cast<std::int32_t>((kHz + 500u) / 1000u);
    }
    return 0;
}

// A hexadecimal id file of sysfs ("0x8086\n") without its prefix; empty when missing.
std::string IdFile(const fs::path& path) {
    const auto text = ReadText(path);
    if (!text) return {};
    std::string_view id = TrimControl(*text);
    if (id.starts_with("0x")) id.remove_prefix(2);
    return std::string(id);
}

// "driver [vendor:device]" for the device behind a network interface.
std::string CardDescription(const fs::path& device) {
    std::string text;
    std::error_code ec;
    const fs::path driver = fs::read_symlink(device / "driver", ec);
    if (!ec) text = driver.filename().string();
    std::string vendor = IdFile(device / "vendor");
    std::string product = IdFile(device / "device");
    if (vendor.empty() || product.empty()) {  // a USB interface: the ids sit on its device
        vendor = IdFile(device / ".." / "idVendor");
        product = IdFile(device / ".." / "idProduct");
    }
    if (!vendor.empty() && !product.empty())
        text += (text.empty() ? "[" : " [") + vendor + ":" + product + "]";
    return text;
}

std::string JoinValid(const std::vector<std::string>& list, std::int32_t count) {
    std::string joined;
    for (std::int32_t i = 0; i < count && static_cast<std::size_t>(i) < list.size(); ++i)
        joined += list[static_cast<std::size_t>(i)] + ",";
    if (!joined.empty()) joined.pop_back();
    return joined;
}

std::string FirstTrimmed(const std::vector<std::string>& list, std::int32_t count) {
    return count > 0 && !list.empty() ? std::string(TrimControl(list.front())) : std::string();
}

}  // namespace

TSysInfoSources TSysInfoSources::Under(const fs::path& root) {
    TSysInfoSources sources;
    sources.procDir = root / "proc";
    sources.sysDir = root / "sys";
    sources.osRelease = root / "etc" / "os-release";
    sources.osReleaseFallback = root / "usr" / "lib" / "os-release";
    return sources;
}

TSysInfo::TSysInfo(platform::INetworkTables* tables, TConnectionLookup connections,
                   TSysInfoSources sources)
    : tables_(tables), connections_(std::move(connections)), sources_(std::move(sources)) {}

std::string TSysInfo::GetOSName() const {
    // The second file is read only when the first cannot be.
    for (const fs::path& path : {sources_.osRelease, sources_.osReleaseFallback}) {
        const auto text = ReadText(path);
        if (!text) continue;
        for (const char* key : {"PRETTY_NAME", "NAME"})
            if (auto value = kerneltext::OsReleaseValue(*text, key); value && !value->empty())
                return *value;
        break;
    }
    return KernelValue(sources_, "ostype",
                       [](const utsname& uts) { return std::string(uts.sysname); });
}

// The kernel release fills the version fields in order: "6.1.0-18-amd64" gives major 6, minor 1,
// build 0 and the service pack "18-amd64", so the text reads "6.1 (0.18-amd64)".
std::string TSysInfo::GetOSVersion() const {
    const auto release = kerneltext::ParseKernelRelease(KernelValue(
        sources_, "osrelease", [](const utsname& uts) { return std::string(uts.release); }));
    return std::to_string(release.major) + "." + std::to_string(release.minor) + " (" +
           std::to_string(release.build) + "." + release.servicePack + ")";
}

long double TSysInfo::GetTotalMemoryKB() const {
    return MemoryKB(sources_, "MemTotal");
}

long double TSysInfo::GetAvailMemoryKB() const {
    return MemoryKB(sources_, "MemAvailable");
}

int TSysInfo::GetProcessorCount() const {
    if (const auto text = ReadText(sources_.sysDir / "devices" / "system" / "cpu" / "online"))
        if (const auto count = kerneltext::CountCpuList(*text)) return *count;
    const long online = ::sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? static_cast<int>(online) : 1;
}

void TSysInfo::GetCPUInfo(TCpuInfoArray& cpus) const {
    const auto text = ReadText(sources_.procDir / "cpuinfo");
    if (!text) return;
    const auto processors = kerneltext::SplitCpuInfo(*text);
    cpus.assign(processors.size(), TCPUInfo{});
    for (std::size_t i = 0; i < processors.size(); ++i) {
        cpus[i].Name = CpuName(processors[i]);
        cpus[i].MHz = CpuMHz(processors[i], sources_);
    }
}

void TSysInfo::GetNetworkCards(TAdapterArray& cards) const {
    const fs::path net = sources_.sysDir / "class" / "net";
    std::error_code ec;
    fs::directory_iterator it(net, ec);
    if (ec) return;
    std::vector<std::string> names;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) break;
        names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    TAdapterArray found;
    for (const std::string& name : names)
        if (fs::exists(net / name / "device", ec))
            found.push_back(CardDescription(net / name / "device"));
    cards = std::move(found);
}

void TSysInfo::RefreshConnInfo() {
    std::lock_guard guard(connLock_);
    connInfos_.clear();
    if (tables_ == nullptr) return;
    std::int32_t count = 0;
    TAdaptorRows rows;
    if (GetAdaptors(*tables_, count, rows) != 0 || count == 0) return;

    // Each connection's interface index, asked once per refresh.
    std::vector<std::pair<std::string, std::uint32_t>> connections;
    if (connections_.names && connections_.ifIndex)
        for (std::string& name : connections_.names()) {
            const std::uint32_t index = connections_.ifIndex(name);
            connections.emplace_back(std::move(name), index);
        }

    for (std::int32_t i = 0; i < count; ++i) {
        const TAdaptorInfo& adapter = rows[static_cast<std::size_t>(i)];
        TRConnInfo info;
        const auto match = std::find_if(connections.begin(), connections.end(),
                                        [&](const auto& c) { return c.second == adapter.Index; });
        if (match != connections.end()) info.ConnName = match->first;
        info.HardWare = adapter.Description;
        info.MacAddr = adapter.MacAddress;
        info.DHCPRun = std::to_string(adapter.DhcpEnabled);
        info.IPAddr = JoinValid(adapter.IpAddresses, adapter.IpAddressCount);
        info.SubMask = JoinValid(adapter.IpMasks, adapter.IpAddressCount);
        info.Gateway = FirstTrimmed(adapter.Gateways, adapter.GatewayCount);
        info.DNSServer = FirstTrimmed(adapter.DnsServers, adapter.DnsServerCount);
        connInfos_.push_back(std::move(info));
    }
}

void TSysInfo::GetConnNames(std::string& names) const {
    std::lock_guard guard(connLock_);
    for (const TRConnInfo& info : connInfos_) names += info.ConnName + ";";
}

std::int32_t TSysInfo::ConnCount() const {
    std::lock_guard guard(connLock_);
    return static_cast<std::int32_t>(connInfos_.size());
}

std::vector<TRConnInfo> TSysInfo::ConnInfos() const {
    std::lock_guard guard(connLock_);
    return connInfos_;
}

}  // namespace vorta
