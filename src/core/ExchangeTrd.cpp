#include "core/ExchangeTrd.h"
#include "platform/ThreadName.h"

#include <exception>

namespace vorta {

bool TExchangeTrd::Start(Work work) {
    if (busy_ || !alive_) return false;
    busy_ = true;
    if (thread_.joinable()) thread_.join();  // the previous exchange has already posted
    thread_ = std::jthread(
        [this, work = std::move(work), alive = std::weak_ptr<int>(alive_)](std::stop_token stop) {
            platform::NameThisThread("vorta-exchange");
            std::function<void()> then;
            std::exception_ptr failure;
            try {
                then = work(stop);
            } catch (...) {
                failure = std::current_exception();
            }
            if (stop.stop_requested()) return;
            loop_.Post(ClientEvent([this, alive, then = std::move(then), failure] {
                if (alive.expired()) return;
                busy_ = false;
                // The loop's failure handler reports what escaped the work.
                if (failure) std::rethrow_exception(failure);
                if (then) then();
            }));
        });
    return true;
}

void TExchangeTrd::Stop() {
    alive_.reset();
    thread_.request_stop();
    if (thread_.joinable()) thread_.join();
}

}  // namespace vorta
