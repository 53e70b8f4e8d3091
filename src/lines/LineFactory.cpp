#include "lines/LineFactory.h"

#include <exception>

#include "base/Translate.h"
#include "lines/LCnc.h"
#include "lines/LDailx.h"
#include "lines/LSimpleLines.h"
#include "protocol/DebugLog.h"
#include "protocol/TextCodec.h"

namespace vorta {

const std::vector<TLineClassInfo>& TLineFactory::EnsureLineTypes() {
    static const std::vector<TLineClassInfo> table = {{TrMark("虚拟拨号"), "TDailLine"},
                                                      {TrMark("Web认证(网通)"), "TCNCLine"},
                                                      {"Cable Modem", "TCableModemLine"},
                                                      {TrMark("局域网"), "TLanLine"}};
    return table;
}

std::shared_ptr<TBaseLine> TLineFactory::CreateLine(int index, LineServices& services) {
    std::shared_ptr<TBaseLine> line;
    try {
        switch (index) {
            case 0:
                line = std::make_shared<TDailLine>(services);
                break;
            case 1:
                line = std::make_shared<TCNCLine>(services);
                break;
            case 2:
                line = std::make_shared<TCableModemLine>(services);
                break;
            case 3:
                line = std::make_shared<TLanLine>(services);
                break;
            default:
                return nullptr;
        }
        line->Initialize();
    } catch (const std::exception& e) {
        Debug(std::string("creating a line: ") + e.what());
        return nullptr;
    }
    return line;
}

void TLineFactory::GetLineTypeNames(std::vector<std::string>& names) {
    names.clear();
    for (const auto& kind : EnsureLineTypes()) names.push_back(Tr(kind.Caption.c_str()));
}

void TLineFactory::GetConnectionNames(platform::INetworkTables& tables,
                                      std::vector<std::string>& names) {
    names.clear();
    if (const auto links = tables.Links())
        for (const auto& link : *links) names.push_back(link.name);
    for (std::size_t i = names.size(); i-- > 0;) {
        const std::string_view text = TrimControl(names[i]);
        if (text == "新建连接" || text == "新建连接向导")
            names.erase(names.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

}  // namespace vorta
