#pragma once
#include "platform/win32/Guard.h"
// The system's notices of IPv4 interfaces, unicast addresses and routes (IP Helper), delivered
// on the system's own notification threads.

#include <memory>
#include <vector>

#include "platform/NetworkChanges.h"

namespace vorta::platform {

class IpHelperChanges final : public NetworkChanges {
public:
    // A notice the system refuses is left out: the lines' own passes find what it would tell.
    IpHelperChanges();
    // Cancels every notice; returns once a callback in progress has ended.
    ~IpHelperChanges() override;

private:
    struct Canceller {
        void operator()(void* notice) const;
    };
    std::vector<std::unique_ptr<void, Canceller>> notices_;
};

}  // namespace vorta::platform
