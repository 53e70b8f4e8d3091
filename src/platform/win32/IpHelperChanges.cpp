#include "platform/win32/IpHelperChanges.h"

// winsock2.h before the others.
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <windows.h>
// clang-format on

namespace vorta::platform {
namespace {

void Tell(PVOID hub) {
    static_cast<IpHelperChanges*>(hub)->Notify();
}

VOID NETIOAPI_API_ InterfaceChanged(PVOID hub, PMIB_IPINTERFACE_ROW, MIB_NOTIFICATION_TYPE) {
    Tell(hub);
}
VOID NETIOAPI_API_ AddressChanged(PVOID hub, PMIB_UNICASTIPADDRESS_ROW, MIB_NOTIFICATION_TYPE) {
    Tell(hub);
}
VOID NETIOAPI_API_ RouteChanged(PVOID hub, PMIB_IPFORWARD_ROW2, MIB_NOTIFICATION_TYPE) {
    Tell(hub);
}

}  // namespace

IpHelperChanges::IpHelperChanges() {
    notices_.reserve(3);
    HANDLE notice = nullptr;
    if (NotifyIpInterfaceChange(AF_INET, &InterfaceChanged, this, FALSE, &notice) == NO_ERROR)
        notices_.emplace_back(notice);
    notice = nullptr;
    if (NotifyUnicastIpAddressChange(AF_INET, &AddressChanged, this, FALSE, &notice) == NO_ERROR)
        notices_.emplace_back(notice);
    notice = nullptr;
    if (NotifyRouteChange2(AF_INET, &RouteChanged, this, FALSE, &notice) == NO_ERROR)
        notices_.emplace_back(notice);
}

IpHelperChanges::~IpHelperChanges() {
    // Before the hub's listeners go: a callback may be running.
    notices_.clear();
}

void IpHelperChanges::Canceller::operator()(void* notice) const {
    if (notice != nullptr) CancelMibChangeNotify2(notice);
}

}  // namespace vorta::platform
