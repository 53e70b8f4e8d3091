#pragma once
// The table of line kinds and the creation of lines by kind index.

#include <memory>
#include <string>
#include <vector>

#include "lines/LineBase.h"
#include "platform/NetworkTables.h"

namespace vorta {

struct TLineClassInfo {
    std::string Caption;
    std::string LineClassName;
};

class TLineFactory {
public:
    // The kind table, index 0 to 3: dial-up, web login, cable modem, LAN.
    static const std::vector<TLineClassInfo>& EnsureLineTypes();
    // A line of the kind, initialised; none for an index outside the table.
    static std::shared_ptr<TBaseLine> CreateLine(int index, LineServices& services);
    static void GetLineTypeNames(std::vector<std::string>& names);
    // Every kind but the LAN line needs a user name and password.
    static bool NeedUserInfo(int index) { return index != 3; }
    // The machine's connection names (interface names), without the folder's own
    // "新建连接" and "新建连接向导" items.
    static void GetConnectionNames(platform::INetworkTables& tables,
                                   std::vector<std::string>& names);
};

}  // namespace vorta
