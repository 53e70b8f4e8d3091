#include "platform/linux/FileSettingsStore.h"

#include <algorithm>
#include <sstream>
#include <system_error>

#include "base/LineEscape.h"
#include "platform/AtomicFile.h"
#include "protocol/TextCodec.h"

namespace vorta::platform {
namespace {

bool ParseLine(const std::string& line, std::pair<std::string, std::string>& entry) {
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos || eq == 0) return false;
    entry.first = line.substr(0, eq);
    entry.second = UnescapeSettingValue(std::string_view(line).substr(eq + 1));
    return true;
}

}  // namespace

std::string EscapeSettingValue(std::string_view value) {
    return EscapeLineText(value, false);
}

std::string UnescapeSettingValue(std::string_view text) {
    return UnescapeLineText(text, false);
}

namespace {

constexpr std::size_t kMaxSettingsBytes = 1 << 20;

std::vector<std::pair<std::string, std::string>> ParseSettings(const std::string& content) {
    std::vector<std::pair<std::string, std::string>> entries;
    std::istringstream in(content);
    std::string line;
    std::pair<std::string, std::string> entry;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (ParseLine(line, entry)) entries.push_back(entry);
    }
    return entries;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> FileSettingsStore::ReadEntries() const {
    return ParseSettings(ReadOwnFile(file_, kMaxSettingsBytes).value_or(std::string()));
}

std::vector<std::pair<std::string, std::string>> FileSettingsStore::ReadAll() const {
    try {
        return ReadEntries();
    } catch (const std::system_error&) {
        return {};  // unreadable reads as empty; a write refuses to replace it
    }
}

std::string FileSettingsStore::ReadExactSetting(std::string_view name) {
    std::string value;
    for (const auto& [key, stored] : ReadAll())
        if (key == name) value = stored;  // the last line for a name wins
    return value;
}

std::string FileSettingsStore::ReadSetting(std::string_view name) {
    return std::string(TrimControl(ReadExactSetting(name)));
}

void FileSettingsStore::WriteSetting(std::string_view name, std::string_view value) {
    WriteSettings({{std::string(name), std::string(value)}});
}

void FileSettingsStore::WriteSettings(const Values& values) {
    for (const auto& [name, value] : values)
        if (name.empty() || name.find_first_of("=\n\r") != std::string::npos)
            throw std::system_error(std::make_error_code(std::errc::invalid_argument),
                                    "invalid setting name");
    // Never rewrite a store that exists but cannot be read (its other values would be lost),
    // nor one that a link stands in for: ReadEntries throws for both.
    const auto entries = ReadEntries();
    // The stored values in file order, each name once, with the new ones put in.
    std::vector<std::pair<std::string, std::string>> merged;
    auto put = [&merged](const std::string& name, const std::string& value) {
        const auto at = std::find_if(merged.begin(), merged.end(),
                                     [&](const auto& entry) { return entry.first == name; });
        if (at == merged.end())
            merged.emplace_back(name, value);
        else
            at->second = value;
    };
    // A name the file holds twice keeps the place of its first line and the value of its last.
    for (const auto& [key, stored] : entries) put(key, stored);
    for (const auto& [name, value] : values) put(name, value);
    std::ostringstream out;
    for (const auto& [key, value] : merged) out << key << '=' << EscapeSettingValue(value) << '\n';
    WriteFileAtomically(file_, out.str(), kOwnerOnly);
}

void FileSettingsStore::RemoveInterruptedWrites() {
    RemoveInterruptedWritesOf(file_);
}

}  // namespace vorta::platform
