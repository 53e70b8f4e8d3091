#pragma once
#include "platform/win32/Guard.h"
// The RAS records in the sizes each system version knows. A system accepts the sizes of the
// versions before it and refuses larger ones with ERROR_INVALID_SIZE: the newest size is tried
// first, then the older ones in turn.

// clang-format off
#include <windows.h>
#include <ras.h>
#include <raserror.h>
// clang-format on

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vorta::platform {

// An older record ends where a newer one's first added field starts, padded to the records'
// four-byte packing.
constexpr DWORD OlderSize(std::size_t end) {
    return static_cast<DWORD>((end + 3) / 4 * 4);
}

inline constexpr std::array<DWORD, 2> kEntryNameSizes = {
    sizeof(RASENTRYNAMEW), OlderSize(offsetof(RASENTRYNAMEW, dwFlags))};
// Windows 7 adds a correlation GUID after the fields this header knows.
inline constexpr std::array<DWORD, 5> kConnectionSizes = {
    sizeof(RASCONNW) + sizeof(GUID), sizeof(RASCONNW), OlderSize(offsetof(RASCONNW, dwFlags)),
    OlderSize(offsetof(RASCONNW, guidEntry)), OlderSize(offsetof(RASCONNW, szPhonebook))};
// Every size holds the callback id that finds the dial's progress.
inline constexpr std::array<DWORD, 2> kDialParamsSizes = {
    sizeof(RASDIALPARAMSW), OlderSize(offsetof(RASDIALPARAMSW, dwIfIndex))};
inline constexpr std::array<DWORD, 2> kPppIpSizes = {sizeof(RASPPPIPW),
                                                     OlderSize(offsetof(RASPPPIPW, dwOptions))};

// Calls `call(size)` with each size while the system refuses the size; its last answer.
template <std::size_t N, typename Call>
DWORD WithRecordSizes(const std::array<DWORD, N>& sizes, Call call) {
    DWORD rc = ERROR_INVALID_SIZE;
    for (const DWORD size : sizes) {
        rc = call(size);
        if (rc != ERROR_INVALID_SIZE) break;
    }
    return rc;
}

// Copies UTF-8 text into a record's fixed field; false when it does not fit.
template <std::size_t N>
bool CopyInto(wchar_t (&field)[N], const std::wstring& text) {
    if (text.size() >= N) return false;
    text.copy(field, text.size());
    field[text.size()] = L'\0';
    return true;
}

// A record's fixed text field, up to its first zero.
template <std::size_t N>
std::wstring_view FieldText(const wchar_t (&field)[N]) {
    std::size_t length = 0;
    while (length < N && field[length] != L'\0') ++length;
    return {field, length};
}

inline HRASCONN ToConnection(std::uint64_t handle) {
    return reinterpret_cast<HRASCONN>(static_cast<std::uintptr_t>(handle));
}

inline std::uint64_t ToHandle(HRASCONN connection) {
    return reinterpret_cast<std::uintptr_t>(connection);
}

}  // namespace vorta::platform
