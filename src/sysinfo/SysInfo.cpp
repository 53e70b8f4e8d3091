#include "sysinfo/SysInfo.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <utility>

#include "protocol/TextCodec.h"
#include "sysinfo/IPHelper.h"
#include "sysinfo/KernelText.h"
#include "sysinfo/WindowsVersionText.h"

namespace vorta {
namespace {

// A machine that tells nothing: what TSysInfo reads without facts.
class NoSystemFacts final : public platform::ISystemFacts {
public:
    std::optional<std::string> OsReleaseText() const override { return std::nullopt; }
    std::string KernelName() const override { return {}; }
    std::string KernelRelease() const override { return {}; }
    std::optional<std::string> MemoryText() const override { return std::nullopt; }
    platform::MemoryFacts Memory() const override { return {}; }
    std::optional<std::string> OnlineCpuList() const override { return std::nullopt; }
    int OnlineProcessors() const override { return 0; }
    std::optional<std::string> CpuInfoText() const override { return std::nullopt; }
    std::optional<std::uint32_t> CpuFrequencyKHz(const std::string&) const override {
        return std::nullopt;
    }
    std::optional<std::vector<platform::NetworkCardFacts>> NetworkCards() const override {
        return std::nullopt;
    }
};

const platform::ISystemFacts& FactsOrNone(const platform::ISystemFacts* facts) {
    static const NoSystemFacts none;
    return facts != nullptr ? *facts : none;
}

long double MemoryKB(const platform::ISystemFacts& facts, std::string_view counter) {
    if (const auto text = facts.MemoryText())
        if (const auto bytes = kerneltext::MemInfoBytes(*text, counter))
            return static_cast<long double>(*bytes) / 1024.0L;
    const platform::MemoryFacts memory = facts.Memory();
    return static_cast<long double>(counter == "MemTotal" ? memory.total : memory.available) /
           1024.0L;
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
std::int32_t CpuMHz(const kerneltext::CpuFields& cpu, const platform::ISystemFacts& facts) {
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
    if (const auto kHz = facts.CpuFrequencyKHz(number))
        return static_cast<std::int32_t>((*kHz + 500u) / 1000u);
    return 0;
}

// "driver [vendor:device]", either part left out when unknown.
std::string CardDescription(const platform::NetworkCardFacts& card) {
    std::string text = card.driver;
    if (!card.vendor.empty() && !card.device.empty())
        text += (text.empty() ? "[" : " [") + card.vendor + ":" + card.device + "]";
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

TSysInfo::TSysInfo(platform::INetworkTables* tables, TConnectionLookup connections,
                   const platform::ISystemFacts* facts)
    : tables_(tables), connections_(std::move(connections)), facts_(FactsOrNone(facts)) {}

std::string TSysInfo::GetOSName() const {
    if (const auto version = facts_.OsVersion()) return WindowsOsName(*version);
    if (const auto text = facts_.OsReleaseText())
        for (const char* key : {"PRETTY_NAME", "NAME"})
            if (auto value = kerneltext::OsReleaseValue(*text, key); value && !value->empty())
                return *value;
    return facts_.KernelName();
}

// The kernel release fills the version fields in order: "6.1.0-18-amd64" gives major 6, minor 1,
// build 0 and the service pack "18-amd64", so the text reads "6.1 (0.18-amd64)".
std::string TSysInfo::GetOSVersion() const {
    if (const auto version = facts_.OsVersion()) return WindowsOsVersion(*version);
    const auto release = kerneltext::ParseKernelRelease(facts_.KernelRelease());
    return std::to_string(release.major) + "." + std::to_string(release.minor) + " (" +
           std::to_string(release.build) + "." + release.servicePack + ")";
}

std::string TSysInfo::ShownOSVersion() const {
    if (facts_.OsVersion()) return GetOSVersion();
    std::string release = facts_.KernelRelease();
    return release.empty() ? GetOSVersion() : release;
}

long double TSysInfo::GetTotalMemoryKB() const {
    return MemoryKB(facts_, "MemTotal");
}

long double TSysInfo::GetAvailMemoryKB() const {
    return MemoryKB(facts_, "MemAvailable");
}

int TSysInfo::GetProcessorCount() const {
    if (const auto text = facts_.OnlineCpuList())
        if (const auto count = kerneltext::CountCpuList(*text)) return *count;
    const int online = facts_.OnlineProcessors();
    return online > 0 ? online : 1;
}

void TSysInfo::GetCPUInfo(TCpuInfoArray& cpus) const {
    if (const auto processors = facts_.Processors()) {
        TCpuInfoArray listed;
        for (const platform::ProcessorFacts& cpu : *processors)
            listed.push_back(TCPUInfo{cpu.name, cpu.mhz});
        cpus = std::move(listed);
        return;
    }
    const auto text = facts_.CpuInfoText();
    if (!text) return;
    const auto processors = kerneltext::SplitCpuInfo(*text);
    cpus.assign(processors.size(), TCPUInfo{});
    for (std::size_t i = 0; i < processors.size(); ++i) {
        cpus[i].Name = CpuName(processors[i]);
        cpus[i].MHz = CpuMHz(processors[i], facts_);
    }
}

void TSysInfo::GetNetworkCards(TAdapterArray& cards) const {
    const auto found = facts_.NetworkCards();
    if (!found) return;
    TAdapterArray described;
    for (const platform::NetworkCardFacts& card : *found)
        described.push_back(CardDescription(card));
    cards = std::move(described);
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
