#pragma once
// The rules over a list of line records that the lines manager and `vorta lines` share: which
// records of the lines file load, how many lines there may be, which record an entry name names.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "lines/LineInfo.h"

namespace vorta {

// The group of a line; the value is the record's MasterGroup byte.
enum class LineGroup : std::uint8_t { Backup = 0, Main = 1 };

constexpr LineGroup GroupOf(const TLineInfo& info) {
    return info.MasterGroup ? LineGroup::Main : LineGroup::Backup;
}

// What the user is told when a line cannot be added.
inline constexpr const char* kLineExists = "该线路已经存在！";
inline constexpr const char* kTooManyLines =
    "您最多可以添加5条线路,如需要添加更多,请联系软件Vorta提供商。";

// True while `records` leaves room for one more line.
constexpr bool CanAddLine(const std::vector<TLineInfo>& records) {
    return records.size() < kMaxLines;
}

// The last record whose entry name matches ignoring ASCII letter case; none without a match.
std::optional<std::size_t> FindEntry(const std::vector<TLineInfo>& records, std::string_view name);

// The records of a lines file that become lines: those of a known kind, with the fields that
// describe a running line (up, address) cleared, as nothing of a former run holds now.
std::vector<TLineInfo> LoadableRecords(std::vector<TLineInfo> stored);

}  // namespace vorta
