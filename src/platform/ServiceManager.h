#pragma once
// What the client asks of the system's service manager.

#include <string>
#include <string_view>

namespace vorta::platform {

inline constexpr std::string_view kServiceName = "VortaService";

class IServiceManager {
public:
    virtual ~IServiceManager() = default;
    virtual bool IsServiceInstalled(std::string_view name) = 0;
    // True when the service exists and this process runs under the account it starts as.
    virtual bool IsServiceAccount() = 0;
};

}  // namespace vorta::platform
