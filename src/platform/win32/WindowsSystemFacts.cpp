#include "platform/win32/WindowsSystemFacts.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <iterator>
#include <limits>
#include <system_error>

#include "platform/win32/RegistryRead.h"
#include "platform/win32/WideText.h"
#include "protocol/TextCodec.h"

namespace vorta::platform {
namespace {

// ntdll's RtlGetVersion, looked up at run time.
bool AskNtdll(RTL_OSVERSIONINFOEXW& info) {
    using GetVersion = LONG(WINAPI*)(RTL_OSVERSIONINFOEXW*);
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (ntdll == nullptr) return false;
    const auto get = reinterpret_cast<GetVersion>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")));
    if (get == nullptr) return false;
    info = {};
    info.dwOSVersionInfoSize = sizeof info;
    return get(&info) >= 0;  // NT_SUCCESS
}

// GetVersionExW with the extended record, else the basic one; false when both fail.
bool AskKernel(RTL_OSVERSIONINFOEXW& info, bool& extended) {
    info = {};
    info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXW);
    extended = true;
    if (GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info))) return true;
    info = {};
    info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
    extended = false;
    return GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info)) != FALSE;
}

std::optional<std::string> RegistryProductType(const SystemFactsKeys& keys) {
    const UniqueKey key = OpenKeyForReading(keys.root, keys.productOptions);
    if (!key) return std::nullopt;
    return ReadStringValue(key.get(), L"ProductType");
}

ProcessorFacts Processor(HKEY parent, const std::wstring& name) {
    ProcessorFacts cpu;
    const UniqueKey key = OpenKeyForReading(parent, name);
    if (!key) return cpu;
    if (const auto brand = ReadStringValue(key.get(), L"ProcessorNameString"))
        cpu.name = TrimControl(*brand);
    else if (const auto identifier = ReadStringValue(key.get(), L"Identifier"))
        cpu.name = *identifier;
    // A key without a speed still names its processor.
    if (const auto mhz = ReadDwordValue(key.get(), L"~MHz"))
        cpu.mhz = static_cast<std::int32_t>(
            std::min<DWORD>(*mhz, std::numeric_limits<std::int32_t>::max()));
    return cpu;
}

}  // namespace

std::optional<OsVersionFacts> WindowsSystemFacts::OsVersion() const {
    RTL_OSVERSIONINFOEXW info{};
    bool extended = true;
    if (!AskNtdll(info) && !AskKernel(info, extended))
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                                "cannot ask the Windows version");
    OsVersionFacts version;
    version.platformId = info.dwPlatformId;
    version.major = info.dwMajorVersion;
    version.minor = info.dwMinorVersion;
    version.build = info.dwBuildNumber;
    version.servicePack = ToUtf8(std::wstring_view(
        info.szCSDVersion, wcsnlen(info.szCSDVersion, std::size(info.szCSDVersion))));
    version.extended = extended;
    if (extended) {
        version.productType = info.wProductType;
        version.suiteMask = info.wSuiteMask;
    } else {
        version.productTypeValue = RegistryProductType(keys_);
    }
    return version;
}

std::string WindowsSystemFacts::KernelRelease() const {
    try {
        const auto v = OsVersion();
        return std::to_string(v->major) + "." + std::to_string(v->minor) + "." +
               std::to_string(v->build);
    } catch (const std::system_error&) {
        return {};
    }
}

MemoryFacts WindowsSystemFacts::Memory() const {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status)) return {};
    return MemoryFacts{status.ullTotalPhys, status.ullAvailPhys};
}

int WindowsSystemFacts::OnlineProcessors() const {
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    return static_cast<int>(info.dwNumberOfProcessors);
}

std::optional<std::vector<NetworkCardFacts>> WindowsSystemFacts::NetworkCards() const {
    const UniqueKey parent = OpenKeyForReading(keys_.root, keys_.networkCards);
    if (!parent) return std::nullopt;
    std::vector<NetworkCardFacts> cards;
    for (const std::wstring& name : SubkeyNames(parent.get())) {
        NetworkCardFacts card;
        if (const UniqueKey key = OpenKeyForReading(parent.get(), name))
            card.driver = ReadStringValue(key.get(), L"Description").value_or("");
        cards.push_back(std::move(card));
    }
    return cards;
}

std::optional<std::vector<ProcessorFacts>> WindowsSystemFacts::Processors() const {
    const UniqueKey parent = OpenKeyForReading(keys_.root, keys_.processors);
    if (!parent) return std::nullopt;
    std::vector<ProcessorFacts> cpus;
    for (const std::wstring& name : SubkeyNames(parent.get()))
        cpus.push_back(Processor(parent.get(), name));
    return cpus;
}

}  // namespace vorta::platform
