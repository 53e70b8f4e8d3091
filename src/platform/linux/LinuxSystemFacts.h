#pragma once
#include "platform/linux/Guard.h"
// The system facts read from os-release, /proc, /sys, uname(), sysinfo() and sysconf().

#include <filesystem>

#include "platform/SystemFacts.h"

namespace vorta::platform {

// Where the kernel's files are; tests point them into a temporary tree.
struct SystemFactsPaths {
    std::filesystem::path procDir{"/proc"};
    std::filesystem::path sysDir{"/sys"};
    std::filesystem::path osRelease{"/etc/os-release"};
    std::filesystem::path osReleaseFallback{"/usr/lib/os-release"};  // when osRelease is missing

    // The same files below `root`: root/proc, root/sys, root/etc/os-release, ...
    static SystemFactsPaths Under(const std::filesystem::path& root);
};

class LinuxSystemFacts final : public ISystemFacts {
public:
    explicit LinuxSystemFacts(SystemFactsPaths paths = {}) : paths_(std::move(paths)) {}

    std::optional<std::string> OsReleaseText() const override;
    // /proc/sys/kernel's ostype and osrelease, else what uname() says.
    std::string KernelName() const override;
    std::string KernelRelease() const override;
    std::optional<std::string> MemoryText() const override;
    MemoryFacts Memory() const override;
    std::optional<std::string> OnlineCpuList() const override;
    int OnlineProcessors() const override;
    std::optional<std::string> CpuInfoText() const override;
    std::optional<std::uint32_t> CpuFrequencyKHz(const std::string& number) const override;
    std::optional<std::vector<NetworkCardFacts>> NetworkCards() const override;

private:
    SystemFactsPaths paths_;
};

}  // namespace vorta::platform
