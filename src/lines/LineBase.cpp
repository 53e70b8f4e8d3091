#include "lines/LineBase.h"

#include <exception>
#include <utility>

#include "platform/ThreadName.h"
#include "protocol/DebugLog.h"

namespace vorta {

TBaseLine::~TBaseLine() {
    StopKeepThread();
}

void TBaseLine::RequestStop() {
    // The wait below sleeps on the same token, so this wakes it.
    stop_.request_stop();
}

void TBaseLine::StopKeepThread() {
    RequestStop();
    if (keepThread_.joinable()) keepThread_.join();
}

void TBaseLine::RequestAuthenticate() {
    {
        std::lock_guard guard(wakeLock_);
        authenticateRequested_ = true;
    }
    wake_.notify_all();
}

void TBaseLine::WakeKeep() {
    {
        std::lock_guard guard(wakeLock_);
        woken_ = true;
    }
    wake_.notify_all();
}

bool TBaseLine::TakeWake() {
    std::lock_guard guard(wakeLock_);
    return std::exchange(woken_, false);
}

bool TBaseLine::TakeAuthenticateRequest() {
    std::lock_guard guard(wakeLock_);
    return std::exchange(authenticateRequested_, false);
}

std::vector<std::string> TBaseLine::Errors() const {
    std::lock_guard guard(lock_);
    return errors_;
}

void TBaseLine::AddError(std::string text) {
    std::lock_guard guard(lock_);
    if (errors_.size() >= kMaxErrors)
        errors_.erase(errors_.begin(), errors_.end() - (kMaxErrors - 1));
    errors_.push_back(std::move(text));
}

void TBaseLine::Initialize() {
    {
        std::lock_guard guard(lock_);
        errors_.clear();
    }
    KeepActive = false;
    if (keepThread_.joinable()) return;
    keepThread_ = std::jthread([this] {
        platform::NameThisThread("vorta-keepline");
        KeepLoop(stop_.get_token());
    });
}

void TBaseLine::KeepLoop(std::stop_token stop) {
    using Clock = std::chrono::steady_clock;
    int pass = 0;
    auto nextPass = Clock::now();  // the first pass runs at once
    while (!stop.stop_requested()) {
        bool authenticate = false;
        const bool due = Clock::now() >= nextPass;
        // A woken pass is one more between the regular ones.
        if (TakeWake() || due) {
            try {
                const bool wasActive = GetActive();
                if (KeepActive && !wasActive) SetActive(true);
                if (!KeepActive && wasActive) SetActive(false);
                if (KeepActive != wasActive && services_.changed && GetActive() != wasActive)
                    services_.changed();
                if (due && ++pass > 4) {
                    pass = 0;
                    authenticate = true;
                }
            } catch (const std::exception& e) {
                Debug(std::string("keep pass: ") + e.what());
                // The next pass tries again.
            }
            if (due) nextPass = Clock::now() + services_.keepPeriod;
        }
        // A requested logon runs between passes and leaves their cadence as it was.
        if (TakeAuthenticateRequest()) authenticate = true;
        if (authenticate && !stop.stop_requested()) {
            try {
                Authenticate();
            } catch (const std::exception& e) {
                Debug(std::string("keep pass logon: ") + e.what());
            }
        }
        std::unique_lock lock(wakeLock_);
        wake_.wait_until(lock, stop, nextPass, [this] { return authenticateRequested_ || woken_; });
    }
}

}  // namespace vorta
