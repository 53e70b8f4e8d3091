#include "platform/win32/Paths.h"

#include <windows.h>
// after windows.h
#include <shlobj.h>

#include <cstdlib>
#include <memory>

#include "platform/win32/PrivateAccess.h"

namespace vorta::platform {
namespace {

std::filesystem::path KnownFolder(REFKNOWNFOLDERID id) {
    PWSTR raw = nullptr;
    const HRESULT result = SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &raw);
    const std::unique_ptr<wchar_t, decltype(&CoTaskMemFree)> owned(raw, &CoTaskMemFree);
    if (FAILED(result) || raw == nullptr) return {};
    return std::filesystem::path(raw);
}

}  // namespace

namespace {

std::filesystem::path DataDirUnder(bool service) {
    std::filesystem::path base =
        KnownFolder(service ? FOLDERID_ProgramData : FOLDERID_RoamingAppData);
    if (base.empty()) {
        const char* variable = std::getenv(service ? "ProgramData" : "APPDATA");
        base = variable != nullptr && *variable != '\0' ? variable : ".";
    }
    return base / "Vorta";
}

}  // namespace

std::filesystem::path DefaultDataDir() {
    return DataDirUnder(RunningAsLocalSystem());
}

std::filesystem::path SystemDataDir() {
    return DataDirUnder(true);
}

std::filesystem::path ExecutablePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return std::filesystem::path(path);
        }
        if (path.size() >= 32768) return {};
        path.resize(path.size() * 2);
    }
}

const char* TestSetting(const char* name) {
#ifndef VORTA_TEST_HOOKS
    if (RunningAsLocalSystem()) return nullptr;
#endif
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : nullptr;
}

}  // namespace vorta::platform
