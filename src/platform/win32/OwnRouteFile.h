#pragma once
#include "platform/win32/Guard.h"
// The host routes this client added, kept in a file of the data dir: a Windows route row carries
// no mark of the program that made it, and a run that was killed must still know its leftovers.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/NetworkTables.h"

namespace vorta::platform {

class OwnRouteFile {
public:
    // A host route in the terms of RouteRow: gateway 0 for a route on the link itself.
    struct Row {
        Ip4 destination = 0;
        Ip4 gateway = 0;
        std::uint32_t index = 0;
        bool operator==(const Row&) const = default;
    };

    // Reads the rows a previous run left; a file that is missing or cannot be read holds none,
    // and lines that are no row are skipped. An empty path keeps the rows for this run only.
    explicit OwnRouteFile(std::filesystem::path file);

    bool Holds(const Row& row) const;
    // Empty once the row is on disk, else why it could not be written (and it is not kept).
    std::string Add(const Row& row);
    void Remove(const Row& row);
    // Forgets the rows whose route the system no longer has.
    void KeepOnly(const std::function<bool(const Row&)>& present);

    // One row a line: destination, gateway and interface index.
    static std::string Format(const std::vector<Row>& rows);
    static std::vector<Row> Parse(const std::string& text);

private:
    std::string Save(const std::vector<Row>& rows);  // with lock_ held

    std::filesystem::path file_;
    mutable std::mutex lock_;
    std::vector<Row> rows_;
};

}  // namespace vorta::platform
