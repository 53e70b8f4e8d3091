#pragma once
#include "platform/win32/Guard.h"
// The program's UTF-8 text to and from the UTF-16 of the W entry points (the protocol layer's
// conversion, which this layer builds on).

#include "protocol/win32/Utf16.h"

namespace vorta::platform {

using win32::ToUtf8;
using win32::ToWide;

}  // namespace vorta::platform
