#pragma once
// The persistent store of the client's settings: named string values.

#include <string>
#include <string_view>

namespace vorta::platform {

class ISettingsStore {
public:
    virtual ~ISettingsStore() = default;
    // The value trimmed of leading and trailing blanks and control characters; empty when the
    // value or the whole store is missing or unreadable.
    virtual std::string ReadSetting(std::string_view name) = 0;
    // Writes one value, creating the store when needed. Throws std::system_error on failure.
    virtual void WriteSetting(std::string_view name, std::string_view value) = 0;
};

}  // namespace vorta::platform
