#include "platform/linux/SystemdServiceManager.h"

#include <pwd.h>
#include <strings.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "protocol/TextCodec.h"

namespace vorta::platform {

std::string CurrentUserName() {
    passwd entry{};
    passwd* found = nullptr;
    std::string buffer(16384, '\0');
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr)
        return {};
    return entry.pw_name;
}

std::filesystem::path SystemdServiceManager::UnitFile(std::string_view name) const {
    return unitDir_ / (std::string(name) + ".service");
}

bool SystemdServiceManager::IsServiceInstalled(std::string_view name) {
    std::error_code ec;
    return std::filesystem::is_regular_file(UnitFile(name), ec);
}

std::string SystemdServiceManager::UnitAccount(const std::filesystem::path& unitFile) {
    std::ifstream in(unitFile);
    std::string line;
    std::string user = "root";
    bool inService = false;
    while (std::getline(in, line)) {
        const std::string_view text = TrimControl(line);
        if (text.starts_with('['))
            inService = text == "[Service]";
        else if (inService && text.starts_with("User="))
            user = std::string(TrimControl(text.substr(5)));
    }
    return user;
}

bool SystemdServiceManager::IsServiceAccount() {
    if (!IsServiceInstalled(kServiceName)) return false;
    const std::string account = UnitAccount(UnitFile(kServiceName));
    const std::string me = CurrentUserName();
    return !me.empty() && strcasecmp(account.c_str(), me.c_str()) == 0;
}

}  // namespace vorta::platform
