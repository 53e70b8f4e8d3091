#include "lines/ConnectionChoices.h"

#include <algorithm>
#include <stdexcept>

#include "lines/LineFactory.h"
#include "protocol/TextCodec.h"

namespace vorta {
namespace {

constexpr int kDialUpKind = 0;

bool FolderItem(const std::string& name) {
    const std::string_view text = TrimControl(name);
    return text == "新建连接" || text == "新建连接向导";
}

}  // namespace

std::vector<std::string> ConnectionChoices(int kind, platform::INetworkTables* tables,
                                           platform::IRemoteAccess* ras) {
    std::vector<std::string> names;
    if (kind == kDialUpKind) {
        if (!ras) return names;
        try {
            if (ras->EnumEntries(names) != 0) names.clear();
        } catch (const std::runtime_error&) {
            names.clear();  // no remote access layer installed: nothing to dial
        }
        std::erase_if(names, FolderItem);
    } else if (tables) {
        TLineFactory::GetConnectionNames(*tables, names);
    }
    return names;
}

}  // namespace vorta
