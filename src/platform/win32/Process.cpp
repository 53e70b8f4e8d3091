#include "platform/win32/Process.h"

#include <windows.h>
// after windows.h
#include <shellapi.h>

#include "platform/win32/CommandLine.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"

namespace vorta::platform {

bool RunningElevated() {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return false;
    const UniqueHandle token(raw);
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    return GetTokenInformation(raw, TokenElevation, &elevation, sizeof elevation, &size) &&
           elevation.TokenIsElevated != 0;
}

int RunProgramAsAdministrator(const std::vector<std::string>& argv) {
    if (argv.empty()) return -1;
    const std::wstring program = ToWide(argv.front());
    std::wstring parameters;
    for (auto it = argv.begin() + 1; it != argv.end(); ++it)
        parameters += (parameters.empty() ? L"" : L" ") + QuoteArgument(ToWide(*it));
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    // "runas" asks for consent; an elevated process starts the program directly.
    info.lpVerb = RunningElevated() ? L"open" : L"runas";
    info.lpFile = program.c_str();
    info.lpParameters = parameters.c_str();
    info.nShow = SW_HIDE;
    if (!ShellExecuteExW(&info) || info.hProcess == nullptr) return -1;
    const UniqueHandle process(info.hProcess);
    if (WaitForSingleObject(info.hProcess, INFINITE) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    if (!GetExitCodeProcess(info.hProcess, &code)) return -1;
    return static_cast<int>(code);
}

}  // namespace vorta::platform
