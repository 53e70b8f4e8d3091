#pragma once
// The about box's line on the machine's physical memory, for every window.

#include <cstdint>
#include <string>

namespace vorta {

// "Windows可用的物理内存：512MB [200MB Free]" (on Linux without "Windows"), each value in MB rounded half to even.
std::string MemoryLine(std::uint64_t totalBytes, std::uint64_t availableBytes);

}  // namespace vorta
