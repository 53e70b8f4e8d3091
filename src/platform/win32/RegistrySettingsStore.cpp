#include "platform/win32/RegistrySettingsStore.h"

#include <system_error>

#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"
#include "protocol/TextCodec.h"

namespace vorta::platform {
namespace {

[[noreturn]] void Fail(LSTATUS status, const std::string& what) {
    throw std::system_error(static_cast<int>(status), std::system_category(), what);
}

}  // namespace

std::string RegistrySettingsStore::ReadExactSetting(std::string_view name) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root_, path_.c_str(), 0, KEY_ALL_ACCESS, &opened) != ERROR_SUCCESS) return {};
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
    const std::wstring data = ToWide(value);
    const auto bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
    const LSTATUS status = RegSetValueExW(key.get(), ToWide(name).c_str(), 0, REG_SZ,
                                          reinterpret_cast<const BYTE*>(data.c_str()), bytes);
    if (status != ERROR_SUCCESS) Fail(status, "cannot write setting " + std::string(name));
}

}  // namespace vorta::platform
