#include "platform/ThisProcess.h"

#include <windows.h>

#include "platform/win32/WideText.h"

namespace vorta::platform {

std::int64_t CurrentProcessId() {
    return static_cast<std::int64_t>(GetCurrentProcessId());
}

std::string CurrentUserName() {
    wchar_t name[257];  // the longest user name and its end
    DWORD size = 257;
    if (!GetUserNameW(name, &size) || size == 0) return {};
    return ToUtf8(std::wstring_view(name, size - 1));
}

ServiceGroupHint ServiceGroupHintFor(const std::string& user) {
    return {"the administrators", "管理员", "net localgroup vorta \"" + user + "\" /add",
            "as an administrator; then log on again"};
}

}  // namespace vorta::platform
