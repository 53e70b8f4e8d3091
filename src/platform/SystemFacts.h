#pragma once
// What the operating system tells about the machine, as it tells it: release texts, kernel
// counters, version records, processor and network card details. Parsing and formatting stay
// with the caller, so every platform only reads.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vorta::platform {

// The device behind a network interface. Ids are hexadecimal without a prefix; any field may be
// empty when the system does not tell it.
struct NetworkCardFacts {
    std::string driver;
    std::string vendor;
    std::string device;
};

// Memory in bytes as the kernel counts it; zeros when it cannot be asked.
struct MemoryFacts {
    std::uint64_t total = 0;
    std::uint64_t available = 0;
};

// The operating system's version record as Windows keeps it (OSVERSIONINFOEX).
struct OsVersionFacts {
    std::uint32_t platformId = 0;  // 0 Win32s, 1 the 95 family, 2 the NT family
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t build = 0;  // as reported: the 95 family keeps the version in the high word
    std::string servicePack;
    // True when the extended record was filled: productType and suiteMask are then valid.
    bool extended = false;
    std::uint8_t productType = 0;  // 1 workstation, 2 domain controller, 3 server
    std::uint16_t suiteMask = 0;
    // The registry's ProductType value ("WinNT", "ServerNT", ...) as read, when the record is
    // not extended; none when it cannot be read.
    std::optional<std::string> productTypeValue;
};

// One processor as the system describes it; mhz is 0 when no speed is known.
struct ProcessorFacts {
    std::string name;
    std::int32_t mhz = 0;
};

class ISystemFacts {
public:
    virtual ~ISystemFacts() = default;

    // The os-release text naming the distribution; none when the system has none.
    virtual std::optional<std::string> OsReleaseText() const = 0;
    // The kernel's own name ("Linux") and release ("6.1.0-18-amd64"), trimmed.
    virtual std::string KernelName() const = 0;
    virtual std::string KernelRelease() const = 0;
    // The kernel's memory counters as text ("MemTotal: 16314020 kB"); none when unreadable.
    virtual std::optional<std::string> MemoryText() const = 0;
    // The counters asked of the kernel directly, for those the text lacks.
    virtual MemoryFacts Memory() const = 0;
    // The list of online processors ("0-3,6"); none when unreadable.
    virtual std::optional<std::string> OnlineCpuList() const = 0;
    // The online processors as the C library counts them; 0 when it cannot tell.
    virtual int OnlineProcessors() const = 0;
    // The per-processor description blocks ("processor : 0 ..."); none when unreadable.
    virtual std::optional<std::string> CpuInfoText() const = 0;
    // The base frequency of processor `number` (as the description blocks number it), else its
    // highest, in kHz; none when neither is known.
    virtual std::optional<std::uint32_t> CpuFrequencyKHz(const std::string& number) const = 0;
    // One entry per interface with a device behind it, in interface name order; none when the
    // interfaces cannot be listed.
    virtual std::optional<std::vector<NetworkCardFacts>> NetworkCards() const = 0;
    // The version record on systems that keep one; none elsewhere.
    virtual std::optional<OsVersionFacts> OsVersion() const { return std::nullopt; }
    // The processors, when the system lists them itself rather than in description blocks.
    virtual std::optional<std::vector<ProcessorFacts>> Processors() const { return std::nullopt; }
};

}  // namespace vorta::platform
