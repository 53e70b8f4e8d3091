#include "lines/LineBase.h"

#include <exception>

#include "base/StopWait.h"
#include "platform/ThreadName.h"
#include "protocol/DebugLog.h"

namespace vorta {

TBaseLine::~TBaseLine() {
    StopKeepThread();
}

void TBaseLine::StopKeepThread() {
    stop_.request_stop();
    if (keepThread_.joinable()) {
        keepThread_.request_stop();
        keepThread_.join();
    }
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
    keepThread_ = std::jthread([this](std::stop_token stop) {
        platform::NameThisThread("vorta-keepline");
        int pass = 0;
        while (!stop.stop_requested()) {
            ++pass;
            try {
                if (KeepActive && !GetActive()) SetActive(true);
                if (!KeepActive && GetActive()) SetActive(false);
                if (pass > 4) {
                    pass = 0;
                    Authenticate();
                }
            } catch (const std::exception& e) {
                Debug(std::string("keep pass: ") + e.what());
                // The next pass tries again.
            }
            SleepUnlessStopped(stop, services_.keepPeriod);
        }
    });
}

}  // namespace vorta
