#include "lines/LineRules.h"

#include "base/AsciiText.h"
#include "base/Translate.h"
#include "lines/LineFactory.h"
#include "protocol/TextCodec.h"

namespace vorta {
namespace {

struct Slot {
    const char* what;  // as the line edit dialog labels the field
    std::size_t maxBytes;
};

Slot SlotOf(LineText field) {
    switch (field) {
        case LineText::EntryName:
            return {TrMark("线路名称"), kEntryNameMax};
        case LineText::UserName:
            return {TrMark("用户名称"), kUserNameMax};
        case LineText::Password:
            break;
    }
    return {TrMark("用户密码"), kPasswordMax};
}

}  // namespace

std::string TextRefusal(LineText field, const std::string& text) {
    const Slot slot = SlotOf(field);
    const std::string gbk = Utf8ToGbk(text);
    // What GBK cannot hold comes back as '?', and text that is not UTF-8 not as it was.
    if (DecodeToUtf8(gbk, "GBK") != text)
        return Fill(Tr("{}含有GBK无法保存的字符！"), {Tr(slot.what)});
    if (gbk.size() > slot.maxBytes)
        return Fill(Tr("{}最长{}个字节（GBK）！"), {Tr(slot.what), std::to_string(slot.maxBytes)});
    return {};
}

std::string TextsRefusal(const TLineInfo& record) {
    for (std::string why : {TextRefusal(LineText::EntryName, record.EntryName),
                            TextRefusal(LineText::UserName, record.UserName),
                            TextRefusal(LineText::Password, record.Password)})
        if (!why.empty()) return why;
    return {};
}

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
