#pragma once
#include "platform/win32/Guard.h"
// The system's text for an error code, in UTF-8.

#include <windows.h>

#include <string>

namespace vorta::platform {

// The message without its line break; "error N" when the system has none.
std::string SystemMessage(DWORD code);

}  // namespace vorta::platform
