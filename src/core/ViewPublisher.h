#pragma once
// Feeds the controller's view to watchers in other processes (attached windows, `vorta log
// --follow`) while passing every call on to the front end of this process. Each watcher gets a
// full snapshot first, then what changed after each event the loop delivered.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/ClientView.h"
#include "core/ViewWire.h"

namespace vorta {

class TClient;

// One watcher's queue: the loop's thread fills it, the watcher's connection empties it.
class ViewWatcher {
public:
    enum class Next { Text, Idle, Closed };
    // The next text to send; Idle when none came within `wait`.
    Next Take(std::string& out, std::chrono::milliseconds wait);
    // A watcher that reads too slowly is closed rather than held in memory without bound.
    void Push(std::string text);
    void Close();
    bool Closed();

    static constexpr std::size_t kMaxQueued = 4u << 20;

private:
    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<std::string> queue_;
    std::size_t bytes_ = 0;
    bool closed_ = false;
};

class ViewPublisher : public IClientView {
public:
    explicit ViewPublisher(IClientView& inner) : inner_(inner) {}
    // The client whose view travels; until then nothing does.
    void Bind(TClient* client) { client_ = client; }

    // Loop thread. A new watcher with a full snapshot queued; null beyond kMaxWatchers.
    std::shared_ptr<ViewWatcher> Watch();
    // Sends what changed since the last flush to every watcher.
    void Flush();
    // Closes every watcher (the client is going).
    void CloseAll();
    static constexpr std::size_t kMaxWatchers = 4;

    void ShowMainWindow() override;
    void ShowHint(const std::string& text) override;
    void LogAdded() override;
    void Beep(unsigned type) override;
    void FocusEdit(EditBox box) override;
    void MessageBox(const std::string& text, const std::string& caption, MessageIcon icon) override;
    void StateChanged() override;
    void Exit() override;

private:
    // The whole view as a stream's first batch.
    std::string Snapshot() const;
    // What changed since the last flush; empty when nothing did.
    std::string Changes();
    void Broadcast(const std::string& text);
    // Flushes the state, then sends an event line.
    void Event(const std::string& line);
    void Prune();

    IClientView& inner_;
    TClient* client_ = nullptr;
    std::vector<std::shared_ptr<ViewWatcher>> watchers_;
    // What the watchers were last sent.
    viewwire::FieldList sentFields_;
    std::string sentLines_;
    const void* sentDomains_ = nullptr;
    std::uint64_t sentAdded_ = 0;
    std::uint64_t sentClears_ = 0;
};

}  // namespace vorta
