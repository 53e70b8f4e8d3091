#pragma once
// The persistent store of the client's settings: named string values.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vorta::platform {

class ISettingsStore {
public:
    virtual ~ISettingsStore() = default;
    // The value trimmed of leading and trailing blanks and control characters; empty when the
    // value or the whole store is missing or unreadable.
    virtual std::string ReadSetting(std::string_view name) = 0;
    // The value exactly as stored (a password keeps its blanks); empty as above.
    virtual std::string ReadExactSetting(std::string_view name) = 0;
    // Writes one value, creating the store when needed. Throws std::system_error on failure.
    virtual void WriteSetting(std::string_view name, std::string_view value) = 0;
    // Writes several values as one change where the store can (else one by one, in order).
    using Values = std::vector<std::pair<std::string, std::string>>;
    virtual void WriteSettings(const Values& values) {
        for (const auto& [name, value] : values) WriteSetting(name, value);
    }
    // Removes what an interrupted write left behind; for a starting client that holds the store.
    virtual void RemoveInterruptedWrites() {}
};

}  // namespace vorta::platform
