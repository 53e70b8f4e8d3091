#include "platform/win32/Terminal.h"

#include <windows.h>

#include <iostream>
#include <stdexcept>

#include "platform/win32/WideText.h"

namespace vorta::platform {

std::string ReadSecret(const std::string& prompt) {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (input != INVALID_HANDLE_VALUE && GetConsoleMode(input, &mode)) {
        std::cerr << prompt << std::flush;
        SetConsoleMode(input, (mode & ~ENABLE_ECHO_INPUT) | ENABLE_LINE_INPUT);
        std::wstring line;
        wchar_t buffer[256];
        DWORD read = 0;
        bool ended = false;
        while (!ended && ReadConsoleW(input, buffer, 256, &read, nullptr) && read > 0) {
            for (DWORD i = 0; i < read && !ended; ++i) {
                if (buffer[i] == L'\n' || buffer[i] == L'\r')
                    ended = true;
                else
                    line += buffer[i];
            }
        }
        SetConsoleMode(input, mode);
        std::cerr << "\n";
        if (!ended && line.empty()) throw std::runtime_error("no secret was typed");
        return ToUtf8(line);
    }
    std::string line;
    if (!std::getline(std::cin, line)) throw std::runtime_error("standard input has nothing");
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}  // namespace vorta::platform
