#pragma once
#include "platform/win32/Guard.h"
// A library loaded at run time, and typed look-ups of its entry points.

#include <windows.h>

#include <memory>
#include <type_traits>

namespace vorta::platform {

struct ModuleFreer {
    void operator()(HMODULE module) const { FreeLibrary(module); }
};
using UniqueModule = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleFreer>;

// Loads `name` from the system folder only, never from the program's or the current folder.
inline UniqueModule LoadSystemLibrary(const wchar_t* name) {
    return UniqueModule(LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
}

// The entry point `name` as a function pointer of type F; null when the library lacks it.
template <typename F>
F EntryPoint(HMODULE module, const char* name) {
    static_assert(std::is_pointer_v<F>);
    if (module == nullptr) return nullptr;
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace vorta::platform
