#pragma once
#include "platform/win32/Guard.h"
// Reading a secret the user types, so that it never stands on a command line.

#include <string>

namespace vorta::platform {

// One line from standard input without its line end: typed without echo after `prompt` (on
// stderr) when standard input is a console (the parent's, for a GUI program started from one
// without a redirection), else read as it comes. Throws std::runtime_error
// when standard input has nothing.
std::string ReadSecret(const std::string& prompt);

}  // namespace vorta::platform
