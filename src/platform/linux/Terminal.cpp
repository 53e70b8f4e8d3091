#include "platform/linux/Terminal.h"

#include <termios.h>
#include <unistd.h>

#include <iostream>
#include <stdexcept>

namespace vorta::platform {
namespace {

// Echo off for as long as it lives.
class NoEcho {
public:
    NoEcho() {
        if (::tcgetattr(STDIN_FILENO, &saved_) != 0) return;
        termios quiet = saved_;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        active_ = ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
    }
    ~NoEcho() {
        if (active_) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_);
    }
    NoEcho(const NoEcho&) = delete;
    NoEcho& operator=(const NoEcho&) = delete;

private:
    termios saved_{};
    bool active_ = false;
};

}  // namespace

std::string ReadSecret(const std::string& prompt) {
    std::string line;
    bool read = false;
    if (::isatty(STDIN_FILENO)) {
        std::cerr << prompt << std::flush;
        NoEcho quiet;
        read = static_cast<bool>(std::getline(std::cin, line));
        std::cerr << "\n";
    } else {
        read = static_cast<bool>(std::getline(std::cin, line));
    }
    if (!read && line.empty()) throw std::runtime_error("no password on standard input");
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}  // namespace vorta::platform
