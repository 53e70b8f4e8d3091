#pragma once
#include "platform/linux/Guard.h"
// Settings kept as UTF-8 "Name=Value" lines in one file, mode 0600 (it holds the password).

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform/SettingsStore.h"

namespace vorta::platform {

class FileSettingsStore : public ISettingsStore {
public:
    explicit FileSettingsStore(std::filesystem::path file) : file_(std::move(file)) {}

    std::string ReadSetting(std::string_view name) override;
    std::string ReadExactSetting(std::string_view name) override;
    void WriteSetting(std::string_view name, std::string_view value) override;
    // One atomic replace of the file holds every value.
    void WriteSettings(const Values& values) override;
    void RemoveInterruptedWrites() override;

    // Every stored value in file order, untrimmed; empty when the file cannot be read.
    std::vector<std::pair<std::string, std::string>> ReadAll() const;
    const std::filesystem::path& file() const { return file_; }

private:
    // The same, throwing std::system_error when the file cannot be read or a link stands in it.
    std::vector<std::pair<std::string, std::string>> ReadEntries() const;

    std::filesystem::path file_;
};

// Line format helpers: backslash, line feed and carriage return are escaped in values.
std::string EscapeSettingValue(std::string_view value);
std::string UnescapeSettingValue(std::string_view text);

}  // namespace vorta::platform
