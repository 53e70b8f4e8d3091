#include "platform/linux/FileSettingsStore.h"

#include <fstream>
#include <sstream>
#include <system_error>

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
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string UnescapeSettingValue(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[++i];
        out += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    }
    return out;
}

std::vector<std::pair<std::string, std::string>> FileSettingsStore::ReadAll() const {
    std::vector<std::pair<std::string, std::string>> entries;
    std::ifstream in(file_, std::ios::binary);
    std::string line;
    std::pair<std::string, std::string> entry;
    while (in && std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (ParseLine(line, entry)) entries.push_back(entry);
    }
    return entries;
}

std::string FileSettingsStore::ReadSetting(std::string_view name) {
    std::string value;
    for (const auto& [key, stored] : ReadAll())
        if (key == name) value = stored;  // the last line for a name wins
    return std::string(TrimControl(value));
}

void FileSettingsStore::WriteSetting(std::string_view name, std::string_view value) {
    if (name.empty() || name.find_first_of("=\n\r") != std::string_view::npos)
        throw std::system_error(std::make_error_code(std::errc::invalid_argument),
                                "invalid setting name");
    std::error_code ec;
    if (std::filesystem::exists(file_, ec)) {
        // Never rewrite a store that exists but cannot be read: its other values would be lost.
        std::ifstream probe(file_, std::ios::binary);
        if (!probe)
            throw std::system_error(std::make_error_code(std::errc::permission_denied),
                                    "cannot read " + file_.string());
    }
    auto entries = ReadAll();
    bool replaced = false;
    std::ostringstream out;
    for (auto& [key, stored] : entries) {
        if (key == name) {
            if (replaced) continue;
            stored = value;
            replaced = true;
        }
        out << key << '=' << EscapeSettingValue(stored) << '\n';
    }
    if (!replaced) out << name << '=' << EscapeSettingValue(value) << '\n';
    WriteFileAtomically(file_, out.str(), kOwnerOnly);
}

}  // namespace vorta::platform
