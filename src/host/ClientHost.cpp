#include "host/ClientHost.h"

#include "host/ChannelProtocol.h"
#include "lines/LineInfo.h"
#include "platform/AtomicFile.h"

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

std::string ClientHost::Holder() {
    const auto identity = AskIdentity(*platform_.channel);
    if (!identity) return "another client";
    return "a client (pid " + std::to_string(identity->pid) + ", " +
           (identity->service ? "service" : "desktop") + " mode)";
}

ClientHost::Outcome ClientHost::Start(std::string& refusal) {
    platform::IInstanceChannel& channel = *platform_.channel;
    const std::string show = EncodeRequest({RequestKind::Show});
    const auto askToShow = [&] {
        return channel.Request(show, WaitFor(RequestKind::Show)).outcome;
    };
    using Reply = platform::ChannelReply::Outcome;
    // A running client of this data dir is asked to show itself instead.
    Reply shown = serviceMode_ ? Reply::NotRunning : askToShow();
    if (shown == Reply::Answered) return Outcome::OtherShown;
    const bool claimed =
        channel.Claim([this](const std::string& request, platform::IRequestContext& context) {
            return dispatcher_.Handle(request, context);
        });
    if (!claimed && !serviceMode_) {
        // It was asked to show itself unless it did not answer (it is starting, or its lock
        // file belongs to another user).
        if (shown != Reply::Busy) shown = askToShow();
        if (shown == Reply::Answered) return Outcome::OtherShown;
        refusal = "another client holds " + platform_.dataDir.string() +
                  (shown == Reply::Busy ? " and is busy with other requests; try again"
                                        : " and does not answer");
        return Outcome::Refused;
    }
    if (!claimed) {
        refusal = Holder() + " holds " + platform_.dataDir.string() +
                  "; the service does not start beside it";
        return Outcome::Refused;
    }
    // Holding the data dir, whatever a killed save left behind there is nobody's.
    platform_.settings->RemoveInterruptedWrites();
    platform::RemoveInterruptedWritesOf(platform_.dataDir / kLinesFileName);
    client_.StartClient(serviceMode_);
    return Outcome::Started;
}

void ClientHost::Run() {
    loop_.Run({});
}

void ClientHost::Stop() {
    if (stopped_) return;
    stopped_ = true;
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
