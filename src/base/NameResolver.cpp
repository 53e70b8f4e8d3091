#include "base/NameResolver.h"

#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
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
    // A failure travels as its text: an exception object shared between two threads would be
    // freed by whichever drops it last, outside any lock.
    std::optional<std::string> failure;
};

}  // namespace

std::vector<std::string> ResolveUnlessStopped(const HostResolver& resolver, const std::string& host,
                                              std::stop_token stop) {
    if (stop.stop_requested()) throw std::runtime_error("stopped");
    if (!stop.stop_possible()) return resolver(host);
    auto lookup = std::make_shared<Lookup>();
    std::thread([lookup, resolver, host] {
        std::vector<std::string> addresses;
        std::optional<std::string> failure;
        try {
            addresses = resolver(host);
        } catch (const std::exception& e) {
            failure = e.what();
        } catch (...) {
            failure = "the lookup failed";
        }
        {
            std::lock_guard guard(lookup->lock);
            lookup->addresses = std::move(addresses);
            lookup->failure = std::move(failure);
            lookup->finished = true;
        }
        lookup->done.notify_all();
    }).detach();
    std::unique_lock guard(lookup->lock);
    if (!lookup->done.wait(guard, stop, [&] { return lookup->finished; }))
        throw std::runtime_error("stopped");
    if (lookup->failure) throw std::runtime_error(*lookup->failure);
    return std::move(lookup->addresses);
}

}  // namespace vorta
