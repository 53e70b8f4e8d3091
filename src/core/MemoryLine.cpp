#include "core/MemoryLine.h"
#include "base/Translate.h"
#include "core/SystemTexts.h"

namespace vorta {
namespace {

constexpr std::uint64_t kMB = 1048576;

// Bytes to MB, a half rounding to the even neighbour.
std::uint64_t RoundedMB(std::uint64_t bytes) {
    const std::uint64_t whole = bytes / kMB;
    const std::uint64_t rest = bytes % kMB;
    if (rest * 2 > kMB || (rest * 2 == kMB && whole % 2 == 1)) return whole + 1;
    return whole;
}

}  // namespace

std::string MemoryLine(std::uint64_t totalBytes, std::uint64_t availableBytes) {
    return Tr(texts::kMemoryLead) + std::to_string(RoundedMB(totalBytes)) + "MB [" +
           std::to_string(RoundedMB(availableBytes)) + "MB Free]";
}

}  // namespace vorta
