#pragma once
// Parsers for the text files through which Linux describes the machine: os-release, the kernel
// release, /proc/cpuinfo, /proc/meminfo and the kernel's CPU lists. Pure functions, no I/O.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorta::kerneltext {

// The value assigned to `key` in an os-release text, with its shell quoting undone; the last
// assignment wins. None when the key is not assigned.
std::optional<std::string> OsReleaseValue(std::string_view text, std::string_view key);

// A kernel release such as "6.1.0-18-amd64" cut into its leading three numbers and the rest:
// major 6, minor 1, build 0 and servicePack "18-amd64". A missing number is 0; the rest loses
// one leading '-' or '.' and keeps at most 128 characters.
struct KernelRelease {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t build = 0;
    std::string servicePack;
};
KernelRelease ParseKernelRelease(std::string_view release);

// One processor's block of /proc/cpuinfo: field name to value, the first occurrence kept.
using CpuFields = std::map<std::string, std::string>;

// The blocks of /proc/cpuinfo that describe a processor (those with a "processor" field), in
// file order. Names and values lose surrounding blanks.
std::vector<CpuFields> SplitCpuInfo(std::string_view text);

// A counter of /proc/meminfo in bytes: "kB" values are multiplied by 1024, a value without a
// unit is taken as bytes. None when the counter is missing or not a number.
std::optional<std::uint64_t> MemInfoBytes(std::string_view text, std::string_view key);

// The number of CPUs in a kernel CPU list such as "0-3,6\n"; none for anything else.
std::optional<int> CountCpuList(std::string_view text);

}  // namespace vorta::kerneltext
