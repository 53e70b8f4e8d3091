#pragma once
#include "platform/win32/Guard.h"
// Read-only access to registry keys and their string and DWORD values.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/win32/UniqueHandle.h"

namespace vorta::platform {

// `path` below `root` opened for reading; empty when it cannot be opened.
UniqueKey OpenKeyForReading(HKEY root, const std::wstring& path);

// A REG_SZ or REG_EXPAND_SZ value as UTF-8, up to its first NUL; none when the value is missing,
// unreadable or of another type.
std::optional<std::string> ReadStringValue(HKEY key, const wchar_t* name);

// A REG_DWORD value; none when missing, unreadable or of another type.
std::optional<DWORD> ReadDwordValue(HKEY key, const wchar_t* name);

// The names of the subkeys, numbers in numeric order ("2" before "10"), then the rest in
// registry order.
std::vector<std::wstring> SubkeyNames(HKEY key);

}  // namespace vorta::platform
