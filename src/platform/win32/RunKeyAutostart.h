#pragma once
#include "platform/win32/Guard.h"
// Autostart through a string value in the system's Run key, holding the quoted command line.

#include <windows.h>

#include <string>
#include <vector>

#include "platform/Autostart.h"

namespace vorta::platform {

inline constexpr const wchar_t* kRunKeyPath = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr const wchar_t* kRunValueName = L"VortaClient";

class RunKeyAutostart : public IAutostart {
public:
    // `command`: the program and its arguments. Tests pass a value name or key of their own.
    explicit RunKeyAutostart(std::vector<std::string> command,
                             std::wstring valueName = kRunValueName, HKEY root = HKEY_LOCAL_MACHINE,
                             std::wstring keyPath = kRunKeyPath)
        : command_(std::move(command)),
          valueName_(std::move(valueName)),
          root_(root),
          keyPath_(std::move(keyPath)) {}

    void SetAutostart(bool enabled) override;
    // True when the value exists, whatever it holds.
    bool IsAutostartSet() override;

private:
    std::vector<std::string> command_;
    std::wstring valueName_;
    HKEY root_;
    std::wstring keyPath_;
};

}  // namespace vorta::platform
