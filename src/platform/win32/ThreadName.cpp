#include "platform/ThreadName.h"

#include <windows.h>

namespace vorta::platform {

void NameThisThread(const char* name) {
    // Windows 10 1607 and later (and this mingw-w64 does not declare it): looked up, not linked.
    using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
    static const auto setDescription = reinterpret_cast<SetDescription>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetThreadDescription")));
    if (!setDescription) return;
    wchar_t wide[64];
    if (MultiByteToWideChar(CP_UTF8, 0, name, -1, wide, 64) <= 0) return;  // too long or malformed
    setDescription(GetCurrentThread(), wide);
}

}  // namespace vorta::platform
