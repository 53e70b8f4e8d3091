#include "host/RemoteFace.h"

#include "base/Translate.h"
#include "platform/ThisProcess.h"

#include "base/StopWait.h"
#include "host/ChannelProtocol.h"
#include "platform/ThreadName.h"
#include "service/ServiceHost.h"
#include "sysinfo/SysInfo.h"

namespace vorta::host {
namespace {

using Outcome = platform::ChannelReply::Outcome;

constexpr const char* kNoAnswer = TrMark("Vorta客户端没有响应，操作没有完成。");

// The stream's events as the window takes them: the client's own exit is not the window's.
class WindowEvents : public IClientView {
public:
    explicit WindowEvents(IClientView& to) : to_(to) {}
    void ShowMainWindow() override { to_.ShowMainWindow(); }
    void ShowHint(const std::string& text) override { to_.ShowHint(text); }
    void LogAdded() override { to_.LogAdded(); }
    void Beep(unsigned type) override { to_.Beep(type); }
    void FocusEdit(EditBox box) override { to_.FocusEdit(box); }
    void MessageBox(const std::string& text, const std::string& caption,
                    MessageIcon icon) override {
        to_.MessageBox(text, caption, icon);
    }
    void StateChanged() override { to_.StateChanged(); }
    void Exit() override {}

private:
    IClientView& to_;
};

}  // namespace

std::string DeniedText(const std::filesystem::path& dataDir, const std::string& user) {
    const platform::ServiceGroupHint hint = platform::ServiceGroupHintFor(user);
    const bool chinese = ChosenLanguage() == UiLanguage::Chinese;
    return Fill(
        Tr("Vorta服务（{}）只允许{}和vorta组的成员连接。请用以下命令加入该组，然后重新登录：\n{}"),
        {dataDir.string(), chinese ? hint.adminsZh : hint.admins, hint.joinCommand});
}

RemoteFace::RemoteFace(std::unique_ptr<platform::IInstanceChannel> channel, IClientView& events,
                       Post post, std::function<std::unique_ptr<TSysInfo>()> makeSysInfo)
    : channel_(std::move(channel)),
      events_(events),
      post_(std::move(post)),
      makeSysInfo_(std::move(makeSysInfo)) {
    mirror_.Reset();
}

RemoteFace::~RemoteFace() {
    watcher_.request_stop();
    sender_.request_stop();
    queued_.notify_all();
    if (watcher_.joinable()) watcher_.join();
    if (sender_.joinable()) sender_.join();
    *alive_ = false;
}

void RemoteFace::Start() {
    if (watcher_.joinable()) return;
    watcher_ = std::jthread([this](std::stop_token stop) { WatchLoop(stop); });
    sender_ = std::jthread([this](std::stop_token stop) { SendLoop(stop); });
}

void RemoteFace::OnWindow(std::function<void()> call) {
    post_([alive = alive_, call = std::move(call)] {
        if (*alive) call();
    });
}

void RemoteFace::SetLink(Link link) {
    if (link_ == link) return;
    link_ = link;
    if (link != Link::Connected) {
        mirror_.Reset();
        events_.LogAdded();
        events_.StateChanged();
    }
    if (onLink) onLink(link);
}

void RemoteFace::WatchLoop(std::stop_token stop) {
    platform::NameThisThread("vorta-face");
    const std::string request = EncodeRequest({RequestKind::Watch});
    while (!stop.stop_requested()) {
        // A batch goes to the window as one call, so that a snapshot of the whole log is one.
        auto batch = std::make_shared<std::vector<std::string>>();
        bool opened = false;
        const Outcome outcome = channel_->Watch(
            request,
            [&](std::string_view line) {
                batch->emplace_back(line);
                if (line != ".") return true;
                const bool first = !opened;
                opened = true;
                OnWindow(
                    [this, first,
                     lines = std::exchange(batch, std::make_shared<std::vector<std::string>>())] {
                        if (first) {
                            mirror_.Reset();
                            SetLink(Link::Connected);
                        }
                        WindowEvents events(events_);
                        for (const std::string& l : *lines) mirror_.Apply(l, events);
                    });
                return true;
            },
            stop);
        if (stop.stop_requested()) break;
        OnWindow([this, denied = outcome == Outcome::Denied] {
            SetLink(denied ? Link::Denied : Link::Away);
        });
        SleepUnlessStopped(stop, kRetry);
    }
}

void RemoteFace::Act(const FaceAction& action) {
    {
        std::lock_guard guard(lock_);
        actions_.push_back(action);
    }
    queued_.notify_all();
}

void RemoteFace::SendLoop(std::stop_token stop) {
    platform::NameThisThread("vorta-face-act");
    for (;;) {
        FaceAction action;
        {
            std::unique_lock guard(lock_);
            if (!queued_.wait(guard, stop, [this] { return !actions_.empty(); })) return;
            action = std::move(actions_.front());
            actions_.pop_front();
        }
        const bool leaving = leaveService && action.kind == FaceActionKind::RunAsService &&
                             std::find(action.inputs.begin(), action.inputs.end(),
                                       std::pair<std::string, std::string>(
                                           "ChkBoxRunAsService", "0")) != action.inputs.end();
        if (leaving) {
            bool done = false;
            try {
                done = leaveService();
            } catch (const std::exception&) {
            }
            OnWindow([this, done] {
                events_.MessageBox(Tr(done ? kUninstallDone : kUninstallFailed), kMessageCaption,
                                   MessageIcon::Information);
                if (done && onServiceLeft) onServiceLeft();
            });
            continue;
        }
        std::string said;
        try {
            const ChannelRequest request(RequestKind::Act, false, EncodeFaceAction(action));
            const platform::ChannelReply reply =
                channel_->Request(EncodeRequest(request), WaitFor(RequestKind::Act));
            if (reply.outcome != Outcome::Answered) {
                said = Tr(kNoAnswer);
            } else if (const CommandOutcome outcome = DecodeOutcome(reply.text);
                       outcome.exitCode != 0) {
                said = outcome.output;
            }
        } catch (const std::exception& e) {
            said = e.what();
        }
        if (!said.empty())
            OnWindow(
                [this, said] { events_.MessageBox(said, kMessageCaption, MessageIcon::Error); });
    }
}

std::optional<TLineInfo> RemoteFace::FindLine(const std::string& lineId) {
    if (lineId.empty()) return std::nullopt;
    const auto reply = channel_->Request(EncodeRequest({RequestKind::Line, false, {lineId}}),
                                         WaitFor(RequestKind::Line));
    if (reply.outcome != Outcome::Answered) return std::nullopt;
    const CommandOutcome outcome = DecodeOutcome(reply.text);
    if (outcome.exitCode != 0) return std::nullopt;
    std::vector<std::string> fields;
    std::string_view text = outcome.output;
    for (std::size_t end; (end = text.find('\n')) != std::string_view::npos;) {
        fields.push_back(viewwire::Unescape(text.substr(0, end)));
        text.remove_prefix(end + 1);
    }
    auto info = LineFromFields(fields, 0);
    if (info) info->LineID = lineId;
    return info;
}

TSysInfo* RemoteFace::SysInfo() {
    if (!sysInfo_ && makeSysInfo_) sysInfo_ = makeSysInfo_();
    return sysInfo_.get();
}

}  // namespace vorta::host
