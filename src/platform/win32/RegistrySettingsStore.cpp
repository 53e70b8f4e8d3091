#include "platform/win32/RegistrySettingsStore.h"

#include <sddl.h>

#include <system_error>
#include <vector>

#include "platform/win32/PrivateAccess.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"
#include "protocol/TextCodec.h"

namespace vorta::platform {
namespace {

[[noreturn]] void Fail(LSTATUS status, const std::string& what) {
    throw std::system_error(static_cast<int>(status), std::system_category(), what);
}

// Gives the machine's key its access list; the key of an earlier release let every user read it.
void MakeMachineKeyPrivate(HKEY key) {
    PSECURITY_DESCRIPTOR raw = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(
            RegistrySettingsStore::kMachineKeySddl, SDDL_REVISION_1, &raw, nullptr))
        Fail(static_cast<LSTATUS>(GetLastError()), "cannot make the settings key's access list");
    const UniqueSecurityDescriptor descriptor(raw);
    const LSTATUS status = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, raw);
    if (status != ERROR_SUCCESS) Fail(status, "cannot protect the settings key");
}

}  // namespace

std::string RegistrySettingsStore::ReadExactSetting(std::string_view name) {
    HKEY opened = nullptr;
    const LSTATUS open = RegOpenKeyExW(root_, path_.c_str(), 0, KEY_QUERY_VALUE, &opened);
    if (open == ERROR_FILE_NOT_FOUND) return {};
    if (open != ERROR_SUCCESS) Fail(open, "cannot read the settings key");
    const UniqueKey key(opened);
    const std::wstring wideName = ToWide(name);
    // The value may grow between the size query and the read; ask again until it fits.
    std::wstring data;
    for (;;) {
        DWORD type = 0;
        DWORD bytes = 0;
        LSTATUS status =
            RegQueryValueExW(key.get(), wideName.c_str(), nullptr, &type, nullptr, &bytes);
        if (status == ERROR_FILE_NOT_FOUND) return {};
        if (status != ERROR_SUCCESS) Fail(status, "cannot read setting " + std::string(name));
        data.assign(bytes / sizeof(wchar_t) + 1, L'\0');
        bytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
        status = RegQueryValueExW(key.get(), wideName.c_str(), nullptr, &type,
                                  reinterpret_cast<BYTE*>(data.data()), &bytes);
        if (status == ERROR_MORE_DATA) continue;
        if (status == ERROR_FILE_NOT_FOUND) return {};
        if (status != ERROR_SUCCESS) Fail(status, "cannot read setting " + std::string(name));
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            Fail(ERROR_DATATYPE_MISMATCH, "setting " + std::string(name) + " is not a string");
        data.resize(bytes / sizeof(wchar_t));
        break;
    }
    // Stored strings need not end in a NUL, or may carry more than one.
    data.resize(std::wstring_view(data.c_str()).size());
    return ToUtf8(data);
}

std::string RegistrySettingsStore::ReadSetting(std::string_view name) {
    return std::string(TrimControl(ReadExactSetting(name)));
}

void RegistrySettingsStore::WriteSetting(std::string_view name, std::string_view value) {
    HKEY opened = nullptr;
    const LSTATUS created =
        RegCreateKeyExW(root_, path_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &opened, nullptr);
    if (created != ERROR_SUCCESS) Fail(created, "cannot open the settings key");
    const UniqueKey key(opened);
    if (root_ == HKEY_LOCAL_MACHINE) MakeMachineKeyPrivate(key.get());
    const std::wstring data = ToWide(value);
    const auto bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
    const LSTATUS status = RegSetValueExW(key.get(), ToWide(name).c_str(), 0, REG_SZ,
                                          reinterpret_cast<const BYTE*>(data.c_str()), bytes);
    if (status != ERROR_SUCCESS) Fail(status, "cannot write setting " + std::string(name));
}

bool CopyKeyIfAbsent(HKEY fromRoot, const std::wstring& fromPath, HKEY toRoot,
                     const std::wstring& toPath) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(toRoot, toPath.c_str(), 0, KEY_QUERY_VALUE, &opened) == ERROR_SUCCESS) {
        RegCloseKey(opened);
        return false;
    }
    if (RegOpenKeyExW(fromRoot, fromPath.c_str(), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
        return false;
    const UniqueKey from(opened);
    RegistrySettingsStore source(fromRoot, fromPath);
    RegistrySettingsStore target(toRoot, toPath);
    bool copied = false;
    std::vector<wchar_t> name(16384);  // the longest value name and its end
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        DWORD type = 0;
        const LSTATUS status = RegEnumValueW(from.get(), index, name.data(), &length, nullptr,
                                             &type, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS) Fail(status, "cannot list the settings to copy");
        if (type != REG_SZ && type != REG_EXPAND_SZ) continue;
        const std::string valueName = ToUtf8(std::wstring_view(name.data(), length));
        target.WriteSetting(valueName, source.ReadExactSetting(valueName));
        copied = true;
    }
    return copied;
}

std::unique_ptr<ISettingsStore> OpenRegistrySettings(bool machine) {
    if (machine) {
        // A key an earlier release left readable to every user is closed as soon as the service
        // (or an administrator) opens it; others may not change its access list, and need not.
        HKEY opened = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, WRITE_DAC, &opened) ==
            ERROR_SUCCESS) {
            const UniqueKey key(opened);
            try {
                MakeMachineKeyPrivate(key.get());
            } catch (const std::system_error&) {
                // Every write sets it again.
            }
        }
        return std::make_unique<RegistrySettingsStore>(HKEY_LOCAL_MACHINE);
    }
    try {
        CopyKeyIfAbsent(HKEY_LOCAL_MACHINE, kSettingsKeyPath, HKEY_CURRENT_USER, kSettingsKeyPath);
    } catch (const std::system_error&) {
        // What could not be copied is typed again; the user's key is what counts from now on.
    }
    return std::make_unique<RegistrySettingsStore>(HKEY_CURRENT_USER);
}

}  // namespace vorta::platform
