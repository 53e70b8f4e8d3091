#include "platform/win32/Process.h"

#include <windows.h>
// after windows.h
#include <shellapi.h>

#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"

namespace vorta::platform {

std::wstring QuoteArgument(const std::string& argument) {
    const std::wstring wide = ToWide(argument);
    if (!wide.empty() && wide.find_first_of(L" \t\n\v\"") == std::wstring::npos) return wide;
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : wide) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote are doubled, and the quote escaped.
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    // Backslashes before the closing quote are doubled.
    quoted.append(backslashes * 2, L'\\');
    quoted += L'"';
    return quoted;
}

std::wstring CommandLineText(const std::vector<std::string>& argv) {
    std::wstring text;
    for (const std::string& argument : argv) {
        if (!text.empty()) text += L' ';
        text += QuoteArgument(argument);
    }
    return text;
}

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
    const std::wstring parameters =
        CommandLineText(std::vector<std::string>(argv.begin() + 1, argv.end()));
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
