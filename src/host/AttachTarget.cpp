#include "host/AttachTarget.h"

#include "host/ChannelProtocol.h"
#include "platform/ServiceManager.h"

namespace vorta::host {

std::optional<std::filesystem::path> AttachTarget(HostPlatform& platform) {
    if (platform.services->IsServiceRunning(platform::kServiceName)) return SystemDataDir();
    const auto reply = platform.channel->Request(EncodeRequest({RequestKind::Identify}),
                                                 WaitFor(RequestKind::Identify));
    if (reply.outcome == platform::ChannelReply::Outcome::Denied) return platform.dataDir;
    if (reply.outcome != platform::ChannelReply::Outcome::Answered) return std::nullopt;
    const auto identity = DecodeIdentity(reply.text);
    if (identity && identity->service) return platform.dataDir;
    return std::nullopt;
}

}  // namespace vorta::host
