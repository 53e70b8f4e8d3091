#include "core/Settings.h"

#include <algorithm>
#include <string>

#include "protocol/ServiceUrls.h"

namespace vorta {

bool IsSettingName(std::string_view name) {
    return std::find(kSettingNames.begin(), kSettingNames.end(), name) != kSettingNames.end();
}

bool IsFlagSetting(std::string_view name) {
    return name == "AutoLogon" || name == "AsService" || name == "UpdateSysInfo" ||
           name == "AutoRunAsOSStart" || name == "IsInNet" || name == "IsMasterHost" ||
           name == "IsInLANBack";
}

namespace {

bool IsWebUrl(std::string_view url) {
    const bool scheme = url.starts_with("http://") || url.starts_with("https://");
    return scheme && !UrlHost(url).empty() &&
           url.find_first_of(" \t\r\n") == std::string_view::npos;
}

}  // namespace

std::string SettingValueError(std::string_view name, std::string_view value) {
    const std::string quoted = "\"" + std::string(value) + "\"";
    if (!IsSettingName(name)) return "unknown setting " + std::string(name);
    // It says whether the service is installed, which only the install run changes.
    if (name == "AsService")
        return "AsService follows the installed service: use vorta -install or vorta -uninstall";
    if (IsFlagSetting(name)) {
        if (value == "0" || value == "1") return {};
        return std::string(name) + " takes 1 or 0, not " + quoted;
    }
    if (value.find_first_of("\r\n") != std::string_view::npos)
        return std::string(name) + " cannot hold a line break";
    if (name == "HoldDown" && !value.empty()) {
        const bool digits =
            value.size() <= 4 &&
            std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (!digits || std::stoi(std::string(value)) > Settings::kMaxHoldDownSeconds)
            return "HoldDown takes a whole number of seconds from 0 to " +
                   std::to_string(Settings::kMaxHoldDownSeconds) + ", not " + quoted;
        return {};
    }
    if (value.empty() || (name != "ServiceUrl" && name != "ProbeUrl" && name != "LineUrlTemplate"))
        return {};
    if (!IsWebUrl(value))
        return std::string(name) + " must be an http:// or https:// URL with a host, not " + quoted;
    if (name == "LineUrlTemplate") {
        // FormatLineUrl takes exactly one %s and no other %; that one must stand in the host.
        if (FormatLineUrl(value, 1).empty() || UrlHost(value).find("%s") == std::string::npos)
            return "LineUrlTemplate must hold exactly one %s, in its host name (line%s.example), "
                   "and no other %: " +
                   quoted;
    }
    return {};
}

int HoldDownSecondsOf(std::string_view value) {
    if (value.empty() || !SettingValueError("HoldDown", value).empty())
        return Settings::kDefaultHoldDownSeconds;
    return std::stoi(std::string(value));
}

}  // namespace vorta
