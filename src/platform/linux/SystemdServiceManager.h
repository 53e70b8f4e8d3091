#pragma once
#include "platform/linux/Guard.h"
// The service manager on systemd. A service is installed when its unit file is in the unit dir
// (where the install run writes it) or a unit of that name elsewhere in systemd's search path
// is enabled; the account is the unit's User=, root when it names none.

#include <chrono>
#include <filesystem>
#include <optional>
#include <vector>

#include "platform/ServiceManager.h"

namespace vorta::platform {

inline constexpr const char* kDefaultUnitDir = "/etc/systemd/system";

class SystemdServiceManager : public IServiceManager {
public:
    // `searchDirs`: further unit dirs (a packaged unit); `systemctl`: the program to run.
    explicit SystemdServiceManager(std::filesystem::path unitDir = kDefaultUnitDir,
                                   std::vector<std::filesystem::path> searchDirs = {},
                                   std::string systemctl = "systemctl")
        : unitDir_(std::move(unitDir)),
          searchDirs_(std::move(searchDirs)),
          systemctl_(std::move(systemctl)) {}
    // The system's dirs and systemctl, unless the environment names others for tests
    // (VORTA_SYSTEMD_UNIT_DIR, VORTA_SYSTEMCTL).
    static SystemdServiceManager FromEnvironment();

    bool IsServiceInstalled(std::string_view name) override;
    bool IsServiceRunning(std::string_view name) override;
    bool IsServiceAccount() override;
    void InstallService(const ServiceDefinition& service) override;
    void UninstallService(std::string_view name) override;
    void StartInstalledService(std::string_view name) override;
    bool StopOwnService(std::stop_token stop = {}) override;

    // The unit file that defines `name`: the unit dir's, else the first in the search dirs.
    std::filesystem::path UnitFile(std::string_view name) const;
    // The account a unit starts as: its User= value, root when it names none.
    static std::string UnitAccount(const std::filesystem::path& unitFile);
    static std::string UnitText(const ServiceDefinition& service);
    // One ExecStart word: quoted when it holds blanks or quotes; '%' and '$' escaped.
    static std::string UnitWord(std::string_view word);

    // How often a stop is checked, and how long a stop may take in all.
    std::chrono::milliseconds stopPoll{200};
    std::chrono::milliseconds stopLimit{120000};

private:
    struct UnitState {
        bool stopped = false;
        int checkPoint = 0;  // how far along the stop sequence the unit is
    };
    std::optional<UnitState> QueryState(std::string_view unit);
    int Systemctl(const std::vector<std::string>& args);

    std::filesystem::path unitDir_;
    std::vector<std::filesystem::path> searchDirs_;
    std::string systemctl_;
};

}  // namespace vorta::platform
