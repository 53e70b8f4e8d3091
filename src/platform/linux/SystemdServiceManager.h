#pragma once
// The service manager on systemd: a service is installed when its unit file is in the unit dir.

#include <filesystem>

#include "platform/ServiceManager.h"

namespace vorta::platform {

inline constexpr const char* kDefaultUnitDir = "/etc/systemd/system";

class SystemdServiceManager : public IServiceManager {
public:
    explicit SystemdServiceManager(std::filesystem::path unitDir = kDefaultUnitDir)
        : unitDir_(std::move(unitDir)) {}

    bool IsServiceInstalled(std::string_view name) override;
    bool IsServiceAccount() override;

    std::filesystem::path UnitFile(std::string_view name) const;
    // The account a unit starts as: its User= value, root when it names none.
    static std::string UnitAccount(const std::filesystem::path& unitFile);

private:
    std::filesystem::path unitDir_;
};

// The name of the account this process runs as, empty when it has none.
std::string CurrentUserName();

}  // namespace vorta::platform
