#include "platform/win32/RegistryRead.h"

#include <algorithm>

#include "platform/win32/WideText.h"

namespace vorta::platform {
namespace {

// The subkey name's decimal value; none for a name that is not all digits.
std::optional<unsigned long long> Number(const std::wstring& name) {
    if (name.empty() || name.size() > 18) return std::nullopt;
    unsigned long long value = 0;
    for (const wchar_t c : name) {
        if (c < L'0' || c > L'9') return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - L'0');
    }
    return value;
}

}  // namespace

UniqueKey OpenKeyForReading(HKEY root, const std::wstring& path) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return nullptr;
    return UniqueKey(opened);
}

std::optional<std::string> ReadStringValue(HKEY key, const wchar_t* name) {
    // The value may grow between the size query and the read; ask again until it fits.
    std::wstring data;
    for (;;) {
        DWORD type = 0;
        DWORD bytes = 0;
        if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS)
            return std::nullopt;
        if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
        data.assign(bytes / sizeof(wchar_t) + 1, L'\0');
        bytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
        const LSTATUS status = RegQueryValueExW(key, name, nullptr, &type,
                                                reinterpret_cast<BYTE*>(data.data()), &bytes);
        if (status == ERROR_MORE_DATA) continue;
        if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
            return std::nullopt;
        data.resize(bytes / sizeof(wchar_t));
        break;
    }
    // Stored strings need not end in a NUL, or may carry more than one.
    data.resize(std::wstring_view(data.c_str()).size());
    return ToUtf8(data);
}

std::optional<DWORD> ReadDwordValue(HKEY key, const wchar_t* name) {
    DWORD type = 0;
    DWORD value = 0;
    DWORD bytes = sizeof value;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &bytes) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || bytes != sizeof value)
        return std::nullopt;
    return value;
}

std::vector<std::wstring> SubkeyNames(HKEY key) {
    DWORD count = 0;
    DWORD longest = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &count, &longest, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return {};
    std::vector<std::wstring> names;
    // Key names are at most 255 characters.
    std::wstring name(std::max<DWORD>(longest, 255) + 1, L'\0');
    for (DWORD i = 0;; ++i) {
        DWORD length = static_cast<DWORD>(name.size());
        const LSTATUS status =
            RegEnumKeyExW(key, i, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS) break;  // ERROR_NO_MORE_ITEMS at the end
        names.emplace_back(name.data(), length);
    }
    std::stable_sort(names.begin(), names.end(), [](const std::wstring& a, const std::wstring& b) {
        const auto x = Number(a);
        const auto y = Number(b);
        if (x && y) return *x < *y;
        return x.has_value() && !y.has_value();
    });
    return names;
}

}  // namespace vorta::platform
