#include "platform/win32/RasDialProgress.h"

#include <map>

namespace vorta::platform {
namespace {

struct Registry {
    std::mutex lock;
    ULONG_PTR next = 1;
    std::map<ULONG_PTR, std::shared_ptr<DialProgress>> dials;
};

Registry& Dials() {
    static Registry registry;
    return registry;
}

}  // namespace

DialRegistration::DialRegistration() : progress_(std::make_shared<DialProgress>()) {
    Registry& registry = Dials();
    std::lock_guard guard(registry.lock);
    id_ = registry.next++;
    registry.dials.emplace(id_, progress_);
}

DialRegistration::~DialRegistration() {
    Registry& registry = Dials();
    std::lock_guard guard(registry.lock);
    registry.dials.erase(id_);
}

DWORD WINAPI OnRasDialProgress(ULONG_PTR id, DWORD, HRASCONN, UINT, RASCONNSTATE state, DWORD error,
                               DWORD) {
    std::shared_ptr<DialProgress> progress;
    {
        Registry& registry = Dials();
        std::lock_guard guard(registry.lock);
        const auto it = registry.dials.find(id);
        if (it == registry.dials.end()) return 0;  // no further notices for a dial gone
        progress = it->second;
    }
    {
        std::lock_guard guard(progress->lock);
        progress->events.emplace_back(static_cast<int>(state), static_cast<int>(error));
    }
    progress->changed.notify_all();
    return 1;
}

}  // namespace vorta::platform
