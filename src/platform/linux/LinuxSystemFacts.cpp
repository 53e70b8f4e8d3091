#include "platform/linux/LinuxSystemFacts.h"

#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <string_view>

namespace vorta::platform {
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

// Without blanks and control characters at either end.
std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= 32) text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32) text.remove_suffix(1);
    return text;
}

// A value of /proc/sys/kernel, the same as uname() tells, which stands in when it is missing.
std::string KernelValue(const SystemFactsPaths& paths, const char* name,
                        std::string (*fallback)(const utsname&)) {
    if (const auto text = ReadText(paths.procDir / "sys" / "kernel" / name)) {
        const std::string_view value = Trimmed(*text);
        if (!value.empty()) return std::string(value);
    }
    utsname uts{};
    return ::uname(&uts) == 0 ? fallback(uts) : std::string();
}

// A hexadecimal id file of sysfs ("0x8086\n") without its prefix; empty when missing.
std::string IdFile(const fs::path& path) {
    const auto text = ReadText(path);
    if (!text) return {};
    std::string_view id = Trimmed(*text);
    if (id.starts_with("0x")) id.remove_prefix(2);
    return std::string(id);
}

NetworkCardFacts Card(const fs::path& device) {
    NetworkCardFacts card;
    std::error_code ec;
    const fs::path driver = fs::read_symlink(device / "driver", ec);
    if (!ec) card.driver = driver.filename().string();
    card.vendor = IdFile(device / "vendor");
    card.device = IdFile(device / "device");
    if (card.vendor.empty() || card.device.empty()) {  // a USB interface: the ids sit on its device
        card.vendor = IdFile(device / ".." / "idVendor");
        card.device = IdFile(device / ".." / "idProduct");
    }
    return card;
}

}  // namespace

SystemFactsPaths SystemFactsPaths::Under(const fs::path& root) {
    SystemFactsPaths paths;
    paths.procDir = root / "proc";
    paths.sysDir = root / "sys";
    paths.osRelease = root / "etc" / "os-release";
    paths.osReleaseFallback = root / "usr" / "lib" / "os-release";
    return paths;
}

std::optional<std::string> LinuxSystemFacts::OsReleaseText() const {
    // The second file is read only when the first cannot be.
    if (auto text = ReadText(paths_.osRelease)) return text;
    return ReadText(paths_.osReleaseFallback);
}

std::string LinuxSystemFacts::KernelName() const {
    return KernelValue(paths_, "ostype",
                       [](const utsname& uts) { return std::string(uts.sysname); });
}

std::string LinuxSystemFacts::KernelRelease() const {
    return KernelValue(paths_, "osrelease",
                       [](const utsname& uts) { return std::string(uts.release); });
}

std::optional<std::string> LinuxSystemFacts::MemoryText() const {
    return ReadText(paths_.procDir / "meminfo");
}

MemoryFacts LinuxSystemFacts::Memory() const {
    struct sysinfo info {};
    if (::sysinfo(&info) != 0) return {};
    return {static_cast<std::uint64_t>(info.totalram) * info.mem_unit,
            (static_cast<std::uint64_t>(info.freeram) + info.bufferram) * info.mem_unit};
}

std::optional<std::string> LinuxSystemFacts::OnlineCpuList() const {
    return ReadText(paths_.sysDir / "devices" / "system" / "cpu" / "online");
}

int LinuxSystemFacts::OnlineProcessors() const {
    const long online = ::sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? static_cast<int>(online) : 0;
}

std::optional<std::string> LinuxSystemFacts::CpuInfoText() const {
    return ReadText(paths_.procDir / "cpuinfo");
}

std::optional<std::uint32_t> LinuxSystemFacts::CpuFrequencyKHz(const std::string& number) const {
    if (number.empty() ||
        !std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const fs::path cpufreq =
        paths_.sysDir / "devices" / "system" / "cpu" / ("cpu" + number) / "cpufreq";
    for (const char* file : {"base_frequency", "cpuinfo_max_freq"}) {
        const auto text = ReadText(cpufreq / file);
        if (!text) continue;
        const std::string_view value = Trimmed(*text);
        std::uint32_t kHz = 0;
        const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), kHz);
        if (!value.empty() && ec == std::errc() && end == value.data() + value.size()) return kHz;
    }
    return std::nullopt;
}

std::optional<std::vector<NetworkCardFacts>> LinuxSystemFacts::NetworkCards() const {
    const fs::path net = paths_.sysDir / "class" / "net";
    std::error_code ec;
    fs::directory_iterator it(net, ec);
    if (ec) return std::nullopt;
    std::vector<std::string> names;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) break;
        names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    std::vector<NetworkCardFacts> cards;
    for (const std::string& name : names)
        if (fs::exists(net / name / "device", ec)) cards.push_back(Card(net / name / "device"));
    return cards;
}

}  // namespace vorta::platform
