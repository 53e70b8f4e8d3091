#include "lines/LineRules.h"

#include "base/AsciiText.h"
#include "lines/LineFactory.h"

namespace vorta {

std::optional<std::size_t> FindEntry(const std::vector<TLineInfo>& records, std::string_view name) {
    for (std::size_t i = records.size(); i-- > 0;)
        if (AsciiIEquals(records[i].EntryName, name)) return i;
    return std::nullopt;
}

std::vector<TLineInfo> LoadableRecords(std::vector<TLineInfo> stored) {
    const auto kinds = static_cast<int>(TLineFactory::EnsureLineTypes().size());
    std::vector<TLineInfo> records;
    for (TLineInfo& info : stored) {
        if (info.LineKind < 0 || info.LineKind >= kinds) continue;
        info.IsActive = false;
        info.IpAddress.clear();
        records.push_back(std::move(info));
    }
    return records;
}

}  // namespace vorta
