#pragma once
#include "platform/win32/Guard.h"
// Settings kept as string values (REG_SZ) under one registry key.

#include <windows.h>

#include <memory>
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

    // Empty when the key or the value does not exist. A key this user may not read, and a
    // value that is not a string, throw std::system_error. The machine's key is written with
    // an access list of the system and the administrators only, as it holds the password.
    std::string ReadSetting(std::string_view name) override;
    std::string ReadExactSetting(std::string_view name) override;
    void WriteSetting(std::string_view name, std::string_view value) override;

    // The access list of the machine's key.
    static constexpr const wchar_t* kMachineKeySddl = L"D:P(A;CI;KA;;;SY)(A;CI;KA;;;BA)";

private:
    HKEY root_;
    std::wstring path_;
};

// The settings of a run: the machine's key for the service, the user's own otherwise. A user's
// first start, with no key of its own, copies a machine key that an earlier release wrote where
// this user may still read it.
std::unique_ptr<ISettingsStore> OpenRegistrySettings(bool machine);

// Copies the string values of one key to another that does not exist yet; false when there was
// nothing to copy (or `to` exists).
bool CopyKeyIfAbsent(HKEY fromRoot, const std::wstring& fromPath, HKEY toRoot,
                     const std::wstring& toPath);

}  // namespace vorta::platform
