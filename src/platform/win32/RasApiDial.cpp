// Dialling and hanging up of RasApiRemoteAccess: every dial runs asynchronously under RAS, with
// the RasDialFunc2 notifier, so that a stop can end it; a dial without a notifier waits here.
#include <raserror.h>

#include "platform/win32/RasApiRemoteAccess.h"
#include "platform/win32/RasRecords.h"
#include "platform/win32/WideText.h"

namespace vorta::platform {
namespace {

using Clock = std::chrono::steady_clock;
// How long RAS gets to let a connection go after a hang-up, and after a stop (which must end
// the dial within a second).
constexpr auto kHangUpSettle = std::chrono::milliseconds(3000);
constexpr auto kStopSettle = std::chrono::milliseconds(700);
// A dial that RAS stops reporting on (a stub that never calls back) ends after this long.
constexpr auto kDialTimeout = std::chrono::minutes(3);

bool Connected(int state) {
    return state == RASCS_Connected;
}

}  // namespace

RasApiRemoteAccess::~RasApiRemoteAccess() {
    std::vector<Watcher> watchers;
    {
        std::lock_guard guard(lock_);
        watchers.swap(watchers_);
    }
    for (auto& watcher : watchers) watcher.thread.request_stop();
    watchers.clear();  // joins: each hangs its dial up first
}

DWORD RasApiRemoteAccess::HangUpAndWait(HRASCONN connection, std::chrono::milliseconds settle) {
    const DWORD rc = api_.hangUp(connection);
    if (rc != 0) return rc;
    // RAS ends the connection after the call returns; until then the handle stays known.
    const auto deadline = Clock::now() + settle;
    RASCONNSTATUSW status{};
    status.dwSize = sizeof status;
    while (api_.connectStatus(connection, &status) != ERROR_INVALID_HANDLE &&
           Clock::now() < deadline)
        Sleep(10);
    return rc;
}

int RasApiRemoteAccess::AwaitDial(HRASCONN connection, DialProgress& progress, std::stop_token stop,
                                  const Notifier& report) {
    const auto deadline = Clock::now() + kDialTimeout;
    for (;;) {
        std::unique_lock lock(progress.lock);
        const bool woken = progress.changed.wait_until(
            lock, stop, deadline, [&] { return !progress.events.empty() || progress.hungUp; });
        if (!woken || progress.hungUp) {
            const bool hungUp = progress.hungUp;
            lock.unlock();
            if (!hungUp) HangUpAndWait(connection, kStopSettle);
            const int code = stop.stop_requested() || hungUp ? kRasDialStopped : ERROR_TIMEOUT;
            if (report) report(kRasStateDisconnected, code);
            return code;
        }
        const auto [state, error] = progress.events.front();
        progress.events.pop_front();
        lock.unlock();
        if (error != 0 || state == RASCS_Disconnected) {
            // A failed dial still holds its port until it is hung up.
            HangUpAndWait(connection, kHangUpSettle);
            const int code = error != 0 ? error : ERROR_DISCONNECTION;
            if (report) report(state, code);
            return code;
        }
        if (report) report(state, 0);
        if (Connected(state)) return 0;
    }
}

int RasApiRemoteAccess::Dial(const RasDialParams& params, RasHandle& handle, Notifier notifier,
                             std::stop_token stop) {
    const Api& ras = Ras();
    handle = 0;
    if (stop.stop_requested()) return kRasDialStopped;
    RASDIALPARAMSW record{};
    if (!CopyInto(record.szEntryName, ToWide(params.entryName))) return kRasEntryNotFound;
    if (!CopyInto(record.szUserName, ToWide(params.userName)) ||
        !CopyInto(record.szPassword, ToWide(params.password)))
        return ERROR_INVALID_PARAMETER;
    auto registration = std::make_shared<DialRegistration>();
    record.dwCallbackId = registration->id();
    HRASCONN connection = nullptr;
    const DWORD rc = WithRecordSizes(kDialParamsSizes, [&](DWORD size) {
        record.dwSize = size;
        return ras.dial(nullptr, nullptr, &record, 2, reinterpret_cast<void*>(&OnRasDialProgress),
                        &connection);
    });
    SecureZeroMemory(record.szPassword, sizeof record.szPassword);
    handle = ToHandle(connection);
    if (rc != 0) {
        if (connection != nullptr) HangUpAndWait(connection, kHangUpSettle);
        return static_cast<int>(rc);
    }
    if (connection == nullptr) return ERROR_UNKNOWN;  // accepted, yet nothing to wait for

    const auto progress = registration->progress();
    {
        std::lock_guard guard(lock_);
        dialing_[connection] = progress;
    }
    const auto finished = [this, connection] {
        std::lock_guard guard(lock_);
        dialing_.erase(connection);
    };
    if (!notifier) {
        const int result = AwaitDial(connection, *progress, stop, {});
        finished();
        return result;
    }
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::lock_guard guard(lock_);
    std::erase_if(watchers_, [](const Watcher& w) { return w.done->load(); });  // joins them
    watchers_.push_back({std::jthread([this, connection, registration, progress, notifier, stop,
                                       done, finished](std::stop_token own) {
                             // The caller's stop and the end of this layer both end the wait.
                             std::stop_source either;
                             std::stop_callback onOwn(own, [&either] { either.request_stop(); });
                             std::stop_callback onCaller(stop,
                                                         [&either] { either.request_stop(); });
                             AwaitDial(connection, *progress, either.get_token(), notifier);
                             finished();
                             done->store(true);
                         }),
                         done});
    return 0;
}

int RasApiRemoteAccess::HangUp(RasHandle handle) {
    const Api* ras = TryRas();
    if (!ras || handle == 0) return kRasInvalidHandle;
    const HRASCONN connection = ToConnection(handle);
    std::shared_ptr<DialProgress> dialing;
    {
        std::lock_guard guard(lock_);
        if (const auto it = dialing_.find(connection); it != dialing_.end())
            dialing = it->second.lock();
    }
    const DWORD rc = HangUpAndWait(connection, kHangUpSettle);
    if (dialing) {
        // RAS reports nothing more on a dial hung up: its wait ends here.
        {
            std::lock_guard guard(dialing->lock);
            dialing->hungUp = true;
        }
        dialing->changed.notify_all();
    }
    return static_cast<int>(rc);
}

}  // namespace vorta::platform
