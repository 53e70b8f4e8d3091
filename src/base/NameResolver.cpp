#include "base/NameResolver.h"

#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace vorta {
namespace {

// What the lookup thread and its asker share; whoever leaves last frees it.
struct Lookup {
    std::mutex lock;
    std::condition_variable_any done;
    bool finished = false;
    std::vector<std::string> addresses;
    std::exception_ptr error;
};

}  // namespace

std::vector<std::string> ResolveUnlessStopped(const HostResolver& resolver, const std::string& host,
                                              std::stop_token stop) {
    if (stop.stop_requested()) throw std::runtime_error("stopped");
    if (!stop.stop_possible()) return resolver(host);
    auto lookup = std::make_shared<Lookup>();
    std::thread([lookup, resolver, host] {
        std::vector<std::string> addresses;
        std::exception_ptr error;
        try {
            addresses = resolver(host);
        } catch (...) {
            error = std::current_exception();
        }
        {
            std::lock_guard guard(lookup->lock);
            lookup->addresses = std::move(addresses);
            lookup->error = error;
            lookup->finished = true;
        }
        lookup->done.notify_all();
    }).detach();
    std::unique_lock guard(lookup->lock);
    if (!lookup->done.wait(guard, stop, [&] { return lookup->finished; }))
        throw std::runtime_error("stopped");
    if (lookup->error) std::rethrow_exception(lookup->error);
    return std::move(lookup->addresses);
}

}  // namespace vorta
