#pragma once
// Facts about the running process that the host reports to others.

#include <cstdint>
#include <string>

namespace vorta::platform {

std::int64_t CurrentProcessId();
// The name of the account this process runs as, empty when it has none.
std::string CurrentUserName();

// Who may reach the system service's channel besides the members of the group vorta, and the
// command that makes `user` a member.
struct ServiceGroupHint {
    const char* admins;    // "root"
    const char* adminsZh;  // the same for the window's Chinese text
    std::string joinCommand;
    const char* then;  // what the user does after it, in English
};
ServiceGroupHint ServiceGroupHintFor(const std::string& user);

}  // namespace vorta::platform
