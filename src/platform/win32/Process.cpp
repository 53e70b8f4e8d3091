#include "platform/win32/Process.h"

#include <windows.h>
// after windows.h
#include <shellapi.h>

#include <stdexcept>

#include "platform/win32/CommandLine.h"
#include "platform/win32/SystemErrorText.h"
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
    if (argv.empty()) throw std::invalid_argument("no program to run");
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
    if (!ShellExecuteExW(&info)) {
        const DWORD error = GetLastError();
        if (error == ERROR_CANCELLED)
            throw std::runtime_error("the administrator's consent was refused");
        throw std::runtime_error(argv.front() + " could not run: " + SystemErrorText(error));
    }
    if (info.hProcess == nullptr) throw std::runtime_error(argv.front() + " could not run");
    const UniqueHandle process(info.hProcess);
    DWORD code = 0;
    if (WaitForSingleObject(info.hProcess, INFINITE) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(info.hProcess, &code))
        throw std::runtime_error("the outcome of " + argv.front() +
                                 " is unknown: " + SystemErrorText(GetLastError()));
    return static_cast<int>(code);
}

}  // namespace vorta::platform
