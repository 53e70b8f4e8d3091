#include "host/ClientHost.h"

#include "host/ChannelProtocol.h"
#include "lines/LineInfo.h"
#include "platform/AtomicFile.h"
#include "platform/ServiceManager.h"

namespace vorta::host {

ClientHost::ClientHost(HostPlatform& platform, ClientConfig config, IClientView& view,
                       bool serviceMode, std::function<void(bool install)> serviceSwitched)
    : platform_(platform),
      serviceMode_(serviceMode),
      publisher_(view),
      stopRequests_(platform.watchStopRequests
                        ? platform.watchStopRequests([this] { loop_.Quit(); }, serviceMode)
                        : nullptr),
      client_(std::move(config), platform.ForClient(), publisher_, loop_,
              ClientHooks{{}, platform.installService, std::move(serviceSwitched)}),
      dispatcher_(client_, loop_, publisher_, serviceMode) {
    publisher_.Bind(&client_);
    // Watchers see every change the loop's deliveries made.
    loop_.SetAfterDelivery([this] { publisher_.Flush(); });
}

ClientHost::~ClientHost() {
    Stop();
}

std::string ClientHost::ServiceRefusal() {
    const platform::ChannelReply reply = platform_.channel->Request(
        EncodeRequest({RequestKind::Identify}), WaitFor(RequestKind::Identify));
    if (reply.outcome == platform::ChannelReply::Outcome::Impostor)
        return reply.text + "; the service does not start beside it";
    const auto identity = reply.outcome == platform::ChannelReply::Outcome::Answered
                              ? DecodeIdentity(reply.text)
                              : std::nullopt;
    const std::string holder = !identity
                                   ? "another client"
                                   : "a client (pid " + std::to_string(identity->pid) + ", " +
                                         (identity->service ? "service" : "desktop") + " mode)";
    return holder + " holds " + platform_.dataDir.string() +
           "; the service does not start beside it";
}

ClientHost::Outcome ClientHost::Start(std::string& refusal) {
    platform::IInstanceChannel& channel = *platform_.channel;
    const std::string show = EncodeRequest({RequestKind::Show});
    const auto askToShow = [&] { return channel.Request(show, WaitFor(RequestKind::Show)); };
    using Reply = platform::ChannelReply::Outcome;
    // A running client of this data dir is asked to show itself instead.
    platform::ChannelReply shown =
        serviceMode_ ? platform::ChannelReply{Reply::NotRunning, {}} : askToShow();
    if (shown.outcome == Reply::Answered) return Outcome::OtherShown;
    const bool claimed =
        channel.Claim([this](const std::string& request, platform::IRequestContext& context) {
            return dispatcher_.Handle(request, context);
        });
    if (!claimed && !serviceMode_) {
        // It was asked to show itself unless it did not answer (it is starting, or its lock
        // file belongs to another user).
        if (shown.outcome != Reply::Busy) shown = askToShow();
        if (shown.outcome == Reply::Answered) return Outcome::OtherShown;
        if (shown.outcome == Reply::Impostor) {
            refusal = shown.text;
            return Outcome::Refused;
        }
        refusal = "another client holds " + platform_.dataDir.string() +
                  (shown.outcome == Reply::Busy ? " and is busy with other requests; try again"
                                                : " and does not answer");
        return Outcome::Refused;
    }
    if (!claimed) {
        refusal = ServiceRefusal();
        // The service manager shows it as a failure, and does not start it again and again.
        if (stopRequests_) stopRequests_->SetExitCode(platform::kExitServiceRefused);
        return Outcome::Refused;
    }
    // Holding the data dir, whatever a killed save left behind there is nobody's.
    platform_.settings->RemoveInterruptedWrites();
    platform::RemoveInterruptedWritesOf(platform_.dataDir / kLinesFileName);
    client_.StartClient(serviceMode_);
    if (serviceMode_ && platform_.notifyServiceManager) {
        platform_.notifyServiceManager("READY=1");
        // From the loop itself: a loop that hangs stops the keep-alives, and the service
        // manager restarts the service.
        if (const auto interval = platform_.watchdogInterval; interval.count() > 0)
            loop_.AddTimer(
                std::chrono::duration_cast<std::chrono::milliseconds>(interval / 2),
                [this] { platform_.notifyServiceManager("WATCHDOG=1"); }, true);
    }
    return Outcome::Started;
}

void ClientHost::Run() {
    loop_.Run({});
}

void ClientHost::Stop() {
    if (stopped_) return;
    stopped_ = true;
    if (serviceMode_ && platform_.notifyServiceManager)
        platform_.notifyServiceManager("STOPPING=1");
    // Requests waiting for the loop are answered, and no new ones come, before the client and
    // the dispatcher go.
    dispatcher_.Close();
    platform_.channel->StopServing();
    loop_.SetAfterDelivery({});
    publisher_.CloseAll();
    publisher_.Bind(nullptr);
    client_.Shutdown();
}

}  // namespace vorta::host
