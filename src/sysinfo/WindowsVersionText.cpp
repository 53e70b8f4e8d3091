#include "sysinfo/WindowsVersionText.h"

#include "base/AsciiText.h"
#include "protocol/TextCodec.h"

namespace vorta {
namespace {

constexpr std::uint8_t kWorkstation = 1;
constexpr std::uint8_t kDomainController = 2;
constexpr std::uint8_t kServer = 3;
constexpr std::uint16_t kSuiteEnterprise = 0x0002;
constexpr std::uint16_t kSuiteDataCenter = 0x0080;
constexpr std::uint16_t kSuitePersonal = 0x0200;

// The registry's ProductType value, trimmed and upper-cased; empty when unreadable.
std::string RegistryProductType(const platform::OsVersionFacts& v) {
    return v.productTypeValue ? AsciiToUpper(TrimControl(*v.productTypeValue)) : std::string();
}

std::string Edition(const platform::OsVersionFacts& v) {
    if (v.extended) {
        if (v.productType == kWorkstation)
            return (v.suiteMask & kSuitePersonal) != 0 ? " Personal" : " Professional";
        if (v.productType == kServer) {
            if ((v.suiteMask & kSuiteDataCenter) != 0) return " DataCenter Server";
            if ((v.suiteMask & kSuiteEnterprise) != 0) return " Advanced Server";
            return " Server";
        }
        return {};
    }
    const std::string type = RegistryProductType(v);
    if (type == "WINNT") return " Workstation";
    if (type == "SERVERNT") return " Server";
    return {};
}

// A server or domain controller; workstations when the record does not tell.
bool IsServer(const platform::OsVersionFacts& v) {
    if (v.extended) return v.productType == kServer || v.productType == kDomainController;
    const std::string type = RegistryProductType(v);
    return type == "SERVERNT" || type == "LANMANNT";
}

// The NT family after 5.2, by version, product type and build; empty for versions unknown here.
std::string NewerNtName(const platform::OsVersionFacts& v) {
    const bool server = IsServer(v);
    if (v.major == 6) {
        switch (v.minor) {
            case 0:
                return server ? "2008" : "Vista";
            case 1:
                return server ? "2008 R2" : "7";
            case 2:
                return server ? "2012" : "8";
            case 3:
                return server ? "2012 R2" : "8.1";
            default:
                return {};
        }
    }
    if (v.major == 10 && v.minor == 0) {
        if (!server) return v.build >= 22000 ? "11" : "10";
        if (v.build >= 26100) return "2025";
        if (v.build >= 20348) return "2022";
        if (v.build >= 17763) return "2019";
        return "2016";
    }
    return {};
}

std::string NtName(const platform::OsVersionFacts& v) {
    std::string name;
    if (v.major <= 4) {
        name = "Microsoft Windows NT";
    } else if (v.major == 5 && v.minor == 0) {
        name = "Microsoft Windows 2000";
    } else if (v.major == 5 && v.minor == 1) {
        name = "Microsoft Windows XP";
    } else if (v.major == 5 && v.minor == 2) {
        return "Microsoft Windows 2003";
    } else {
        const std::string newer = NewerNtName(v);
        name = newer.empty() ? kUnknownWindows : "Microsoft Windows " + newer;
    }
    return name + Edition(v);
}

// The second character of the service-pack string: the 95 family's release letter.
char ReleaseLetter(const platform::OsVersionFacts& v) {
    return v.servicePack.size() >= 2 ? v.servicePack[1] : '\0';
}

std::string Win9xName(const platform::OsVersionFacts& v) {
    if (v.major != 4) return kUnknownWindows;
    switch (v.minor) {
        case 0:
            return ReleaseLetter(v) == 'C' ? "Microsoft Windows 95 OSR2" : "Microsoft Windows 95";
        case 10:
            return ReleaseLetter(v) == 'A' ? "Microsoft Windows 98 SE" : "Microsoft Windows 98";
        case 90:
            return "Microsoft Windows Me";
        default:
            return kUnknownWindows;
    }
}

}  // namespace

std::string WindowsOsName(const platform::OsVersionFacts& version) {
    switch (version.platformId) {
        case 0:
            return "Microsoft Win32s";
        case 1:
            return Win9xName(version);
        case 2:
            return NtName(version);
        default:
            return kUnknownWindows;
    }
}

std::string WindowsOsVersion(const platform::OsVersionFacts& version) {
    const std::uint32_t build = version.platformId == 1 ? version.build & 0xFFFFu : version.build;
    return std::to_string(version.major) + "." + std::to_string(version.minor) + " (" +
           std::to_string(build) + "." + TruncateUtf16Units(version.servicePack, 128) + ")";
}

}  // namespace vorta
