#include "platform/InterfaceCache.h"

#include <algorithm>

namespace vorta::platform {
namespace {

constexpr std::uint32_t kBroadcast = 0xFFFFFFFFu;

}  // namespace

bool InterfaceCache::IsLanBroadcast(const Datagram& datagram) {
    std::lock_guard lock(mutex_);
    const auto now = Clock::now();
    if (changed_.exchange(false))
        Read(now);
    else if ((Arrival(datagram.interfaceIndex) == nullptr ||
              !IsOwnAddress(datagram.senderAddress)) &&
             now - readAt_ >= rereadAfter_)
        Read(now);
    // Whoever on this host sent it, it says nothing of the master.
    if (IsOwnAddress(datagram.senderAddress)) return false;
    const Ip4Interface* arrival = Arrival(datagram.interfaceIndex);
    if (arrival == nullptr) return false;
    for (const Ip4Subnet& subnet : arrival->subnets) {
        if (!subnet.Holds(datagram.senderAddress)) continue;
        if (datagram.destination == kBroadcast) return true;
        // The subnet's own broadcast address, whatever was configured; /31 and /32 subnets have
        // none.
        if (subnet.mask < 0xFFFFFFFEu && datagram.destination == (subnet.address | ~subnet.mask))
            return true;
        if (subnet.broadcast != 0 && subnet.broadcast != subnet.address &&
            datagram.destination == subnet.broadcast)
            return true;
    }
    return false;
}

const Ip4Interface* InterfaceCache::Arrival(unsigned index) const {
    const auto found = std::find_if(table_.begin(), table_.end(), [&](const Ip4Interface& entry) {
        return entry.index == index;
    });
    return index != 0 && found != table_.end() ? &*found : nullptr;
}

bool InterfaceCache::IsOwnAddress(std::uint32_t address) const {
    return std::any_of(table_.begin(), table_.end(), [&](const Ip4Interface& entry) {
        return std::any_of(entry.subnets.begin(), entry.subnets.end(),
                           [&](const Ip4Subnet& subnet) { return subnet.address == address; });
    });
}

void InterfaceCache::Read(Clock::time_point now) {
    table_ = read_();
    readAt_ = now;
    ++reads_;
}

}  // namespace vorta::platform
