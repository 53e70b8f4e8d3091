#pragma once
#include "platform/win32/Guard.h"
// The system's words for a Win32 error code.

#include <cstdint>
#include <string>

namespace vorta::platform {

// The message text of `code` in UTF-8 without the trailing line end; "error N" when the system
// has no text for it.
std::string SystemErrorText(std::uint32_t code);

}  // namespace vorta::platform
