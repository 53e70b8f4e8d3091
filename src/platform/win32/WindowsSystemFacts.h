#pragma once
#include "platform/win32/Guard.h"
// The system facts read from the version query, the memory status, the system information and
// the registry.

#include <windows.h>

#include <string>
#include <utility>

#include "platform/SystemFacts.h"

namespace vorta::platform {

// Where the registry keeps what the facts read; tests point them at keys of their own.
struct SystemFactsKeys {
    HKEY root = HKEY_LOCAL_MACHINE;
    std::wstring productOptions = L"SYSTEM\\CurrentControlSet\\Control\\ProductOptions";
    std::wstring processors = L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor";
    std::wstring networkCards = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards";
};

class WindowsSystemFacts final : public ISystemFacts {
public:
    explicit WindowsSystemFacts(SystemFactsKeys keys = {}) : keys_(std::move(keys)) {}

    // None: Windows keeps no such texts.
    std::optional<std::string> OsReleaseText() const override { return std::nullopt; }
    // "Windows NT" and "major.minor.build" of the version record; an empty release when the
    // version cannot be asked.
    std::string KernelName() const override { return "Windows NT"; }
    std::string KernelRelease() const override;
    std::optional<std::string> MemoryText() const override { return std::nullopt; }
    // Physical memory as GlobalMemoryStatusEx counts it; zeros when it fails.
    MemoryFacts Memory() const override;
    std::optional<std::string> OnlineCpuList() const override { return std::nullopt; }
    // The processors GetSystemInfo counts.
    int OnlineProcessors() const override;
    std::optional<std::string> CpuInfoText() const override { return std::nullopt; }
    std::optional<std::uint32_t> CpuFrequencyKHz(const std::string&) const override {
        return std::nullopt;
    }
    // The Description of each key below networkCards as the driver (empty for a key without
    // one); none without that key.
    std::optional<std::vector<NetworkCardFacts>> NetworkCards() const override;
    // ntdll's RtlGetVersion, which reports the true version whatever the program's manifest
    // says; else GetVersionExW with the extended record, else with the basic one. A basic record
    // carries the registry's ProductType value. Throws std::system_error when every query fails.
    std::optional<OsVersionFacts> OsVersion() const override;
    // One entry per key below processors, in number order:
    // ProcessorNameString trimmed, else Identifier; "~MHz", else 0. A key that cannot be opened
    // gives an empty entry. None without the parent key.
    std::optional<std::vector<ProcessorFacts>> Processors() const override;

private:
    SystemFactsKeys keys_;
};

}  // namespace vorta::platform
