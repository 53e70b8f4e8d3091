#pragma once
// A window's face of a client in another process (the service): the view comes as the instance
// channel's stream into a copy, and the actions go back as requests, in order, off the window's
// thread. A client that stops shows as not connected; the face attaches again once it is back.

#include <condition_variable>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "core/ClientFace.h"
#include "core/ClientView.h"
#include "core/ViewWire.h"
#include "platform/InstanceChannel.h"

namespace vorta::host {

// What a window tells a user who may not reach the service on `dataDir`.
std::string DeniedText(const std::filesystem::path& dataDir, const std::string& user);

class RemoteFace : public IClientFace {
public:
    enum class Link { Connecting, Connected, Away, Denied };
    // Runs a call on the window's thread, in order; the face's calls to `events` and `onLink`
    // all come that way.
    using Post = std::function<void(std::function<void()>)>;
    RemoteFace(std::unique_ptr<platform::IInstanceChannel> channel, IClientView& events, Post post,
               std::function<std::unique_ptr<TSysInfo>()> makeSysInfo = {});
    // On the window's thread: nothing posted runs after this.
    ~RemoteFace() override;
    RemoteFace(const RemoteFace&) = delete;
    RemoteFace& operator=(const RemoteFace&) = delete;

    // Told of every change of the link (window's thread).
    std::function<void(Link)> onLink;
    // Unticking the service box runs this instead of sending the click: the uninstall run
    // (blocking, off the window's thread); true when it succeeded. Then `onServiceLeft` is told
    // on the window's thread.
    std::function<bool()> leaveService;
    std::function<void()> onServiceLeft;
    // Starts watching; until the stream opens the view shows a client that is not connected.
    void Start();
    Link State() const { return link_; }

    const ViewState& View() const override { return mirror_.View(); }
    const TLogList& Log() const override { return mirror_.Log(); }
    std::string ServiceUrl() const override { return mirror_.ServiceUrl(); }
    void Act(const FaceAction& action) override;
    std::optional<TLineInfo> FindLine(const std::string& lineId) override;
    TSysInfo* SysInfo() override;
    bool Attached() const override { return true; }

    // How long the face waits before it tries again to reach a client that is away.
    static constexpr std::chrono::milliseconds kRetry{1000};

private:
    void WatchLoop(std::stop_token stop);
    void SendLoop(std::stop_token stop);
    // Runs `call` on the window's thread unless the face has gone by then.
    void OnWindow(std::function<void()> call);
    void SetLink(Link link);

    std::unique_ptr<platform::IInstanceChannel> channel_;
    IClientView& events_;
    Post post_;
    std::function<std::unique_ptr<TSysInfo>()> makeSysInfo_;
    std::unique_ptr<TSysInfo> sysInfo_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    viewwire::ViewMirror mirror_;   // window's thread
    Link link_ = Link::Connecting;  // window's thread

    std::mutex lock_;
    std::condition_variable_any queued_;
    std::deque<FaceAction> actions_;
    std::jthread watcher_;
    std::jthread sender_;
};

}  // namespace vorta::host
