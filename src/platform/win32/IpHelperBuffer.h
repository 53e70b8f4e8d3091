#pragma once
#include "platform/win32/Guard.h"
// The variable-size answers of the IP Helper queries.

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

namespace vorta::platform {

// Storage aligned for every record the queries write.
using TableBuffer = std::vector<std::uint64_t>;

// Calls `query(data, &size)` until the buffer is big enough: the size it asks for is taken, with
// room to spare, and again while the table keeps growing between calls. An empty buffer when the
// system has no rows; nothing on any other failure.
template <typename Query>
std::optional<TableBuffer> FetchTable(Query query) {
    ULONG want = 16 * 1024;
    for (int attempt = 0; attempt < 8; ++attempt) {
        TableBuffer buffer(want / sizeof(std::uint64_t) + 1);
        ULONG size = static_cast<ULONG>(buffer.size() * sizeof(std::uint64_t));
        const ULONG rc = query(buffer.data(), &size);
        if (rc == NO_ERROR) return buffer;
        if (rc == ERROR_NO_DATA) return TableBuffer{};
        if (rc != ERROR_BUFFER_OVERFLOW && rc != ERROR_INSUFFICIENT_BUFFER) return std::nullopt;
        want = std::max<ULONG>(size + size / 4, want * 2);
    }
    return std::nullopt;
}

}  // namespace vorta::platform
