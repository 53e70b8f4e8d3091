#pragma once
#include "platform/win32/Guard.h"
// Settings kept as string values (REG_SZ) under one registry key.

#include <windows.h>

#include <string>

#include "platform/SettingsStore.h"

namespace vorta::platform {

// The client's key, letter case as the earlier releases wrote it.
inline constexpr const wchar_t* kSettingsKeyPath = L"SoftWare\\Morvalent\\Vorta";

class RegistrySettingsStore : public ISettingsStore {
public:
    // Tests pass a key of their own.
    explicit RegistrySettingsStore(HKEY root = HKEY_LOCAL_MACHINE,
                                   std::wstring path = kSettingsKeyPath)
        : root_(root), path_(std::move(path)) {}

    // Empty also when the key cannot be opened with full access (a user without rights to
    // HKEY_LOCAL_MACHINE reads the defaults). A value that is not a string throws
    // std::system_error.
    std::string ReadSetting(std::string_view name) override;
    std::string ReadExactSetting(std::string_view name) override;
    void WriteSetting(std::string_view name, std::string_view value) override;

private:
    HKEY root_;
    std::wstring path_;
};

}  // namespace vorta::platform
