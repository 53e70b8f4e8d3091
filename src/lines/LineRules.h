#pragma once
// The rules over line records that the lines manager, the window and `vorta lines` share: which
// records of the lines file load, how many lines there may be, which record an entry name names,
// which texts a record can hold.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Translate.h"
#include "lines/LineInfo.h"

namespace vorta {

// The group of a line; the value is the record's MasterGroup byte.
enum class LineGroup : std::uint8_t { Backup = 0, Main = 1 };

constexpr LineGroup GroupOf(const TLineInfo& info) {
    return info.MasterGroup ? LineGroup::Main : LineGroup::Backup;
}

// What the user is told when a line cannot be added.
inline constexpr const char* kLineExists = TrMark("该线路已经存在！");
inline constexpr const char* kTooManyLines =
    TrMark("您最多可以添加5条线路,如需要添加更多,请联系软件Vorta提供商。");

// The texts of a record that the user types or picks.
enum class LineText { EntryName, UserName, Password };

// Why `text` cannot be stored as given in its slot of the lines file: longer than the slot
// (counted in GBK bytes) or holding a character GBK cannot store; empty when it is stored
// unchanged. Such texts are refused, never cut: a cut password would fail every logon without
// saying why.
std::string TextRefusal(LineText field, const std::string& text);
// The first refusal of the record's entry name, user name and password; empty when none.
std::string TextsRefusal(const TLineInfo& record);

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
