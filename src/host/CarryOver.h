#pragma once
// What a user's window hands the service's install run when the user switches the service on:
// the account, the service's addresses and the lines, as text on the run's standard input. The
// run (root) writes them into the service's own data dir and never reads the user's folder.

#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "lines/LineInfo.h"
#include "platform/SettingsStore.h"

namespace vorta {

// The settings carried over; the others are the service's own.
inline constexpr std::array<std::string_view, 7> kCarriedSettings = {
    "UserName",        "UserPwd",  "UpdateSysInfo", "ServiceUrl",
    "LineUrlTemplate", "ProbeUrl", "HoldDown"};

struct CarryOver {
    platform::ISettingsStore::Values settings;
    std::vector<TLineInfo> lines;
};

// One "Name=HEX" line per carried setting and one "Line=HEX" per line record.
std::string EncodeCarryOver(platform::ISettingsStore& from, const std::vector<TLineInfo>& lines);
// Throws std::invalid_argument for anything but what EncodeCarryOver writes, and for values
// the settings would refuse.
CarryOver DecodeCarryOver(std::string_view text);
// Writes the settings (with the service's logon on and no desktop autostart) as one change,
// then the lines file. Throws std::system_error.
void ApplyCarryOver(const CarryOver& carried, platform::ISettingsStore& to,
                    const std::filesystem::path& linesFile);

}  // namespace vorta
