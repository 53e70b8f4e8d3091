#include "platform/win32/Terminal.h"

#include <windows.h>

#include <iostream>
#include <stdexcept>

#include "platform/win32/Console.h"
#include "platform/win32/WideText.h"

namespace vorta::platform {
namespace {

// Echo off (line input on) for as long as it lives.
class NoEcho {
public:
    explicit NoEcho(HANDLE input) : input_(input) {
        if (!GetConsoleMode(input_, &saved_)) return;
        active_ = SetConsoleMode(input_, (saved_ & ~ENABLE_ECHO_INPUT) | ENABLE_LINE_INPUT) != 0;
    }
    ~NoEcho() {
        if (active_) SetConsoleMode(input_, saved_);
    }
    NoEcho(const NoEcho&) = delete;
    NoEcho& operator=(const NoEcho&) = delete;

private:
    HANDLE input_;
    DWORD saved_ = 0;
    bool active_ = false;
};

// One typed line, read as UTF-16 so that any character survives whatever the code pages are.
std::string ReadConsoleLine(HANDLE input, const std::string& prompt) {
    std::cerr << prompt << std::flush;
    std::wstring line;
    bool ended = false;
    {
        NoEcho quiet(input);
        wchar_t buffer[256];
        DWORD read = 0;
        while (!ended && ReadConsoleW(input, buffer, 256, &read, nullptr) && read > 0) {
            for (DWORD i = 0; i < read && !ended; ++i) {
                if (buffer[i] == L'\n' || buffer[i] == L'\r')
                    ended = true;
                else
                    line += buffer[i];
            }
        }
    }
    std::cerr << "\n";
    if (!ended && line.empty()) throw std::runtime_error("no secret was typed");
    return ToUtf8(line);
}

}  // namespace

std::string ReadSecret(const std::string& prompt) {
    // A GUI program started from a console has no standard input of its own: the parent's
    // console is where the user types.
    if (const StandardStream input = OpenStandardStream(STD_INPUT_HANDLE); input.console)
        return ReadConsoleLine(input.handle, prompt);
    std::string line;
    if (!std::getline(std::cin, line)) throw std::runtime_error("standard input has nothing");
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}  // namespace vorta::platform
