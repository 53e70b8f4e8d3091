#include "host/CarryOver.h"

#include <algorithm>
#include <stdexcept>

#include "core/Settings.h"

namespace vorta {
namespace {

constexpr const char* kHex = "0123456789abcdef";

std::string Hex(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const unsigned char c : bytes) {
        out += kHex[c >> 4];
        out += kHex[c & 15];
    }
    return out;
}

std::string Unhex(std::string_view text) {
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        throw std::invalid_argument("the carried settings hold a bad hex digit");
    };
    if (text.size() % 2 != 0) throw std::invalid_argument("the carried settings are cut short");
    std::string out;
    for (std::size_t i = 0; i < text.size(); i += 2)
        out += static_cast<char>(digit(text[i]) * 16 + digit(text[i + 1]));
    return out;
}

}  // namespace

std::string EncodeCarryOver(platform::ISettingsStore& from, const std::vector<TLineInfo>& lines) {
    std::string out;
    for (const std::string_view name : kCarriedSettings) {
        const std::string value =
            name == "UserPwd" ? from.ReadExactSetting(name) : from.ReadSetting(name);
        out += std::string(name) + "=" + Hex(value) + "\n";
    }
    for (const TLineInfo& line : lines) {
        const LineInfoBytes bytes = EncodeLineInfo(line);
        out += "Line=" + Hex({reinterpret_cast<const char*>(bytes.data()), bytes.size()}) + "\n";
    }
    return out;
}

CarryOver DecodeCarryOver(std::string_view text) {
    CarryOver carried;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (line.empty()) continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) throw std::invalid_argument("a carried line has no =");
        const std::string_view name = line.substr(0, eq);
        const std::string value = Unhex(line.substr(eq + 1));
        if (name == "Line") {
            if (value.size() != kLineInfoSize || carried.lines.size() == kMaxLines)
                throw std::invalid_argument("a carried line record is malformed");
            LineInfoBytes bytes{};
            std::copy(value.begin(), value.end(), bytes.begin());
            carried.lines.push_back(DecodeLineInfo(bytes));
            continue;
        }
        if (std::find(kCarriedSettings.begin(), kCarriedSettings.end(), name) ==
            kCarriedSettings.end())
            throw std::invalid_argument("the setting " + std::string(name) +
                                        " is not carried over");
        if (std::string why = SettingValueError(name, value); !why.empty())
            throw std::invalid_argument(why);
        carried.settings.emplace_back(name, value);
    }
    return carried;
}

void ApplyCarryOver(const CarryOver& carried, platform::ISettingsStore& to,
                    const std::filesystem::path& linesFile) {
    platform::ISettingsStore::Values values = carried.settings;
    values.emplace_back("AutoLogon", "1");  // no one types the service's password
    values.emplace_back("AsService", "1");
    values.emplace_back("AutoRunAsOSStart", "0");
    to.WriteSettings(values);
    WriteLinesFile(linesFile, carried.lines);
}

}  // namespace vorta
