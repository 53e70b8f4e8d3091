#pragma once
// System facts set by the test, and the processor blocks the kernel would describe.

#include <map>
#include <string>

#include "platform/SystemFacts.h"

namespace vorta::test {

// One /proc/cpuinfo block; `extra` holds further "name\t: value\n" lines.
inline std::string CpuBlock(int number, const std::string& modelName, const std::string& mhz,
                            const std::string& extra = {}) {
    std::string block = "processor\t: " + std::to_string(number) + "\nvendor_id\t: GenuineIntel\n";
    if (!modelName.empty()) block += "model name\t: " + modelName + "\n";
    if (!mhz.empty()) block += "cpu MHz\t\t: " + mhz + "\n";
    return block + extra + "\n";
}

struct FakeSystemFacts final : platform::ISystemFacts {
    std::optional<std::string> osRelease;
    std::string kernelName = "Linux";
    std::string kernelRelease;
    std::optional<std::string> memoryText;
    platform::MemoryFacts memory;
    std::optional<std::string> onlineCpus;
    int onlineProcessors = 0;
    std::optional<std::string> cpuInfo;
    std::map<std::string, std::uint32_t> frequencies;  // processor number to kHz
    std::optional<std::vector<platform::NetworkCardFacts>> cards;
    std::optional<platform::OsVersionFacts> osVersion;
    std::optional<std::vector<platform::ProcessorFacts>> processors;

    std::optional<std::string> OsReleaseText() const override { return osRelease; }
    std::string KernelName() const override { return kernelName; }
    std::string KernelRelease() const override { return kernelRelease; }
    std::optional<std::string> MemoryText() const override { return memoryText; }
    platform::MemoryFacts Memory() const override { return memory; }
    std::optional<std::string> OnlineCpuList() const override { return onlineCpus; }
    int OnlineProcessors() const override { return onlineProcessors; }
    std::optional<std::string> CpuInfoText() const override { return cpuInfo; }
    std::optional<std::uint32_t> CpuFrequencyKHz(const std::string& number) const override {
        const auto it = frequencies.find(number);
        return it == frequencies.end() ? std::nullopt : std::optional(it->second);
    }
    std::optional<std::vector<platform::NetworkCardFacts>> NetworkCards() const override {
        return cards;
    }
    std::optional<platform::OsVersionFacts> OsVersion() const override { return osVersion; }
    std::optional<std::vector<platform::ProcessorFacts>> Processors() const override {
        return processors;
    }
};

}  // namespace vorta::test
