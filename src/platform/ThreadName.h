#pragma once
// Names the calling thread for the OS's tools (ps, top, debuggers); a name past what the OS keeps
// (15 bytes on Linux) is cut. Nothing happens where threads have no names.

namespace vorta::platform {

void NameThisThread(const char* name);

}  // namespace vorta::platform
