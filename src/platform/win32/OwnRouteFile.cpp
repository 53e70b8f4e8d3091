#include "platform/win32/OwnRouteFile.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

#include "platform/AtomicFile.h"

namespace vorta::platform {
namespace {

// Far more rows than five lines ever add; a larger file is no file of this client's.
constexpr std::size_t kMaxFileSize = 64 * 1024;

std::string ReadSmallFile(const std::filesystem::path& file) {
    std::error_code ec;
    if (file.empty() || std::filesystem::file_size(file, ec) > kMaxFileSize || ec) return {};
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

OwnRouteFile::OwnRouteFile(std::filesystem::path file)
    : file_(std::move(file)), rows_(Parse(ReadSmallFile(file_))) {}

std::string OwnRouteFile::Format(const std::vector<Row>& rows) {
    std::string text;
    for (const Row& row : rows)
        text += Ip4ToText(row.destination) + " " + Ip4ToText(row.gateway) + " " +
                std::to_string(row.index) + "\n";
    return text;
}

std::vector<OwnRouteFile::Row> OwnRouteFile::Parse(const std::string& text) {
    std::vector<Row> rows;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string destination, gateway, index, extra;
        if (!(words >> destination >> gateway >> index) || words >> extra) continue;
        const auto to = ParseIp4(destination);
        const auto via = ParseIp4(gateway);
        std::uint32_t number = 0;
        const auto [end, error] =
            std::from_chars(index.data(), index.data() + index.size(), number);
        if (!to || !via || error != std::errc() || end != index.data() + index.size()) continue;
        const Row row{*to, *via, number};
        if (std::find(rows.begin(), rows.end(), row) == rows.end()) rows.push_back(row);
    }
    return rows;
}

bool OwnRouteFile::Holds(const Row& row) const {
    std::lock_guard guard(lock_);
    return std::find(rows_.begin(), rows_.end(), row) != rows_.end();
}

std::string OwnRouteFile::Save(const std::vector<Row>& rows) {
    if (file_.empty()) return {};
    try {
        WriteFileAtomically(file_, Format(rows), kOwnerOnly);
        return {};
    } catch (const std::exception& e) {
        return e.what();
    }
}

std::string OwnRouteFile::Add(const Row& row) {
    std::lock_guard guard(lock_);
    if (std::find(rows_.begin(), rows_.end(), row) != rows_.end()) return {};
    std::vector<Row> rows = rows_;
    rows.push_back(row);
    if (std::string error = Save(rows); !error.empty()) return error;
    rows_ = std::move(rows);
    return {};
}

void OwnRouteFile::Remove(const Row& row) {
    KeepOnly([&](const Row& kept) { return !(kept == row); });
}

void OwnRouteFile::KeepOnly(const std::function<bool(const Row&)>& present) {
    std::lock_guard guard(lock_);
    std::vector<Row> rows;
    std::copy_if(rows_.begin(), rows_.end(), std::back_inserter(rows), present);
    if (rows.size() == rows_.size()) return;
    // A row that cannot be forgotten on disk is forgotten here: at worst the next run takes a
    // route of the same place for its own, which is what this run had there.
    Save(rows);
    rows_ = std::move(rows);
}

}  // namespace vorta::platform
