#include "platform/win32/RunKeyAutostart.h"

#include <stdexcept>
#include <system_error>

#include "platform/win32/CommandLine.h"
#include "platform/win32/UniqueHandle.h"

namespace vorta::platform {
namespace {

[[noreturn]] void Fail(LSTATUS status, const char* what) {
    throw std::system_error(static_cast<int>(status), std::system_category(), what);
}

}  // namespace

void RunKeyAutostart::SetAutostart(bool enabled) {
    HKEY opened = nullptr;
    if (!enabled) {
        const LSTATUS status = RegOpenKeyExW(root_, keyPath_.c_str(), 0, KEY_SET_VALUE, &opened);
        if (status == ERROR_FILE_NOT_FOUND) return;  // no key, no entry
        if (status != ERROR_SUCCESS) Fail(status, "cannot open the Run key");
        const UniqueKey key(opened);
        const LSTATUS deleted = RegDeleteValueW(key.get(), valueName_.c_str());
        if (deleted != ERROR_SUCCESS && deleted != ERROR_FILE_NOT_FOUND)
            Fail(deleted, "cannot remove the autostart entry");
        return;
    }
    std::wstring text;
    try {
        text = CommandLineText(command_);
    } catch (const std::invalid_argument&) {
        Fail(ERROR_BAD_PATHNAME, "cannot write the autostart entry: no usable program name");
    }
    const LSTATUS created =
        RegCreateKeyExW(root_, keyPath_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                        nullptr, &opened, nullptr);
    if (created != ERROR_SUCCESS) Fail(created, "cannot open the Run key");
    const UniqueKey key(opened);
    const auto bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    const LSTATUS status = RegSetValueExW(key.get(), valueName_.c_str(), 0, REG_SZ,
                                          reinterpret_cast<const BYTE*>(text.c_str()), bytes);
    if (status != ERROR_SUCCESS) Fail(status, "cannot write the autostart entry");
}

bool RunKeyAutostart::IsAutostartSet() {
    return RegGetValueW(root_, keyPath_.c_str(), valueName_.c_str(), RRF_RT_ANY, nullptr, nullptr,
                        nullptr) == ERROR_SUCCESS;
}

}  // namespace vorta::platform
