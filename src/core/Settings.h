#pragma once
// The client's settings record and the rules by which its stored values are read.

#include <array>
#include <mutex>
#include <string>
#include <string_view>

namespace vorta {

struct Settings {
    std::string UserName;
    std::string UserPwd;
    bool AutoLogon = false;         // remember the password and log on by itself
    bool AsService = false;         // installed as the system service
    bool AutoRunAsOSStart = false;  // started with the user's session
    std::string ServiceUrl;  // in use: the run's override, else the stored one, else the default
    std::string LineUrlTemplate;  // the same
    std::string ProbeUrl;         // the same; a change takes effect at the next start
    bool UpdateSysInfo = true;    // the system description may be uploaded
    bool IsInNet = false;         // part of a master/backup pair
    bool IsMasterHost = false;
    bool IsInLANBack = false;  // the backup host shares the master's LAN
    // How long the main group must stay up before it is taken back from the backup group.
    int HoldDownSeconds = kDefaultHoldDownSeconds;
    static constexpr int kDefaultHoldDownSeconds = 5;
    static constexpr int kMaxHoldDownSeconds = 3600;
};

// Stored value names: the nine in the order SaveSettings writes them, then the service's
// addresses and the hold time (empty: the built-in default), which only `config set` writes.
inline constexpr std::array<std::string_view, 13> kSettingNames = {
    "UserName",         "UserPwd",  "AutoLogon",    "AsService",   "UpdateSysInfo",
    "AutoRunAsOSStart", "IsInNet",  "IsMasterHost", "IsInLANBack", "ServiceUrl",
    "LineUrlTemplate",  "ProbeUrl", "HoldDown"};

bool IsSettingName(std::string_view name);
bool IsFlagSetting(std::string_view name);

// Why `value` cannot be stored under `name`; empty when it can. Flags are "1" or "0"; the
// service URL and the probe URL are http or https URLs with a host; the line URL template is
// one whose host holds exactly one "%s" (and no other "%"). An empty URL means the default.
// HoldDown is a whole number of seconds up to an hour, empty for the default.
std::string SettingValueError(std::string_view name, std::string_view value);

// The stored hold time in seconds; the default for an empty or unusable text.
int HoldDownSecondsOf(std::string_view value);

// "1" is true; every other text, the empty one included, is false.
inline bool SettingFlag(std::string_view value) {
    return value == "1";
}
// The upload is allowed unless a value other than "1" was stored.
inline bool UpdateSysInfoFlag(std::string_view value) {
    return value.empty() || value == "1";
}
inline const char* FlagText(bool value) {
    return value ? "1" : "0";
}

// The settings record shared by every thread: written by the controller thread, read as a
// consistent copy by the background threads.
class SharedSettings {
public:
    Settings Get() const {
        std::lock_guard guard(lock_);
        return settings_;
    }
    template <typename Change>
    void Update(Change&& change) {
        std::lock_guard guard(lock_);
        change(settings_);
    }

private:
    mutable std::mutex lock_;
    Settings settings_;
};

}  // namespace vorta
