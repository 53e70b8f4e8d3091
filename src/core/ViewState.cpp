#include "core/ViewState.h"

#include "base/Translate.h"

namespace vorta {

const char* TrayHint(TrayState state) {
    switch (state) {
        case TrayState::NotConnected:
            return Tr("Vorta客户端 V1.0 -- 未连接网络");
        case TrayState::LoggedOff:
            return Tr("Vorta客户端 V1.0 -- 未登录");
        case TrayState::LoggedOn:
            return Tr("Vorta客户端 V1.0 -- 已登录");
    }
    return "";
}

int TrayIconIndex(TrayState state) {
    return state == TrayState::LoggedOn ? 3 : 0;
}

}  // namespace vorta
