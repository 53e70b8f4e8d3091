#pragma once
// The system's notices of changed links, addresses and routes, handed to whoever listens. An OS
// watcher feeds them in; listeners learn only that something changed and read the tables again.

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <utility>

namespace vorta::platform {

class NetworkChanges {
public:
    using Listener = std::function<void()>;

    // Ends the listening it stands for; once it is gone its listener is not running and is not
    // called again.
    class Subscription {
    public:
        Subscription() = default;
        Subscription(NetworkChanges* hub, std::uint64_t id) : hub_(hub), id_(id) {}
        Subscription(Subscription&& other) noexcept
            : hub_(std::exchange(other.hub_, nullptr)), id_(other.id_) {}
        Subscription& operator=(Subscription&& other) noexcept {
            if (this != &other) {
                Reset();
                hub_ = std::exchange(other.hub_, nullptr);
                id_ = other.id_;
            }
            return *this;
        }
        ~Subscription() { Reset(); }
        void Reset() {
            if (hub_ != nullptr) std::exchange(hub_, nullptr)->Forget(id_);
        }

    private:
        NetworkChanges* hub_ = nullptr;
        std::uint64_t id_ = 0;
    };

    NetworkChanges() = default;
    virtual ~NetworkChanges() = default;
    NetworkChanges(const NetworkChanges&) = delete;
    NetworkChanges& operator=(const NetworkChanges&) = delete;

    // `listener` runs on the watcher's thread (or a Pump caller's) after every batch of notices;
    // it must be quick and must not listen or unsubscribe itself.
    [[nodiscard]] Subscription Listen(Listener listener) {
        std::lock_guard guard(lock_);
        listeners_.emplace(++lastId_, std::move(listener));
        return Subscription(this, lastId_);
    }

    // Delivers the notices the system has queued so far, on the caller's thread, so that a
    // caller judging by the tables sees every change made before it asked. Any thread.
    virtual void Pump() {}

    // Tells every listener; what the OS watcher calls. Any thread.
    void Notify() {
        std::lock_guard guard(lock_);
        for (auto& [id, listener] : listeners_) listener();
    }

private:
    void Forget(std::uint64_t id) {
        std::lock_guard guard(lock_);
        listeners_.erase(id);
    }

    // Held while listeners run: an unsubscribe waits for a call in progress.
    std::recursive_mutex lock_;
    std::map<std::uint64_t, Listener> listeners_;
    std::uint64_t lastId_ = 0;
};

}  // namespace vorta::platform
