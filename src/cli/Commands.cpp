#include "cli/Commands.h"

#include <chrono>
#include <iostream>
#include <optional>

#include "base/Translate.h"
#include "cli/LinesCommand.h"
#include "core/Settings.h"
#include "host/ChannelProtocol.h"
#include "host/HostPlatform.h"
#include "lines/LineInfo.h"
#include "platform/ThisProcess.h"

namespace vorta::cli {
namespace {

using host::ChannelRequest;
using host::RequestKind;
using platform::ChannelReply;
using Outcome = ChannelReply::Outcome;

const char* kBusy = "vorta: the client is busy with other requests; try again\n";

const char* kVisibleWarning =
    "vorta: warning: a password on the command line can be seen by other users; give \"-\" "
    "to type it instead\n";

// Says that this user may not reach the client on `dataDir`, and how to become one who may; the
// exit code to end with.
int Denied(const std::filesystem::path& dataDir) {
    const platform::ServiceGroupHint hint =
        platform::ServiceGroupHintFor(platform::CurrentUserName());
    std::cerr << "vorta: the client on " << dataDir.string() << " runs as a service that only "
              << hint.admins << " and the members of the group vorta may reach; join the group "
              << "with: " << hint.joinCommand << " (" << hint.then << ")\n";
    return 1;
}

// Prints why a request got no answer; the exit code to end with.
int Unanswered(const ChannelReply& reply, const std::filesystem::path& dataDir,
               std::chrono::seconds waited) {
    const std::string after = " after " + std::to_string(waited.count()) + " s";
    if (reply.outcome == Outcome::Denied) return Denied(dataDir);
    if (reply.outcome == Outcome::Impostor)
        std::cerr << "vorta: " << reply.text << "\n";
    else if (reply.outcome == Outcome::Busy)
        std::cerr << kBusy;
    else if (reply.outcome == Outcome::Withdrawn)
        std::cerr << "vorta: the client did not answer" << after
                  << "; nothing was changed by this command\n";
    else
        std::cerr << "vorta: the client took the request but had not finished it" << after
                  << "; it may still carry it out\n";
    return 1;
}

// Sends a command request and prints its outcome; nothing when no client runs.
std::optional<int> SendCommand(const std::filesystem::path& dataDir,
                               platform::IInstanceChannel& channel, const ChannelRequest& request) {
    const std::chrono::seconds wait = host::WaitFor(request.kind);
    const ChannelReply reply = channel.Request(host::EncodeRequest(request), wait);
    if (reply.outcome == Outcome::NotRunning) return std::nullopt;
    if (reply.outcome != Outcome::Answered) return Unanswered(reply, dataDir, wait);
    const CommandOutcome outcome = host::DecodeOutcome(reply.text);
    (outcome.exitCode == 0 ? std::cout : std::cerr) << outcome.output;
    return outcome.exitCode;
}

// With no client answering, a command edits the files under the lock a client takes; false
// (and said) when a client holds it without answering.
bool LockForFiles(platform::IInstanceChannel& channel, const std::filesystem::path& dataDir) {
    if (channel.Lock()) return true;
    std::cerr << "vorta: a client holds " << dataDir.string()
              << " but does not answer; nothing was changed\n";
    return false;
}

}  // namespace

int ConfigShow(const std::filesystem::path& dataDir) {
    const auto store = host::OpenSettings(dataDir);
    for (std::string_view name : kSettingNames) {
        std::string value = store->ReadSetting(name);
        if (name == "UserPwd" && !value.empty()) value = "********";
        std::cout << name << "=" << value << "\n";
    }
    return 0;
}

int ConfigSet(const std::filesystem::path& dataDir, const std::string& name, std::string value) {
    if (!IsSettingName(name)) {
        std::cerr << "vorta: unknown setting " << name << "\n";
        return kExitUsage;
    }
    if (name == "UserPwd") {
        if (value == "-")
            value = host::ReadSecret("password: ");
        else
            std::cerr << kVisibleWarning;
    }
    if (std::string why = SettingValueError(name, value); !why.empty()) {
        std::cerr << "vorta: " << why << "\n";
        return kExitUsage;
    }
    if (host::HasWireBreak(value)) {
        std::cerr << "vorta: a value cannot hold a tab\n";
        return kExitUsage;
    }
    // The service and the desktop autostart exclude each other, as the window's boxes do.
    if (name == "AutoRunAsOSStart" && value == "1" &&
        host::OpenServiceManager()->IsServiceInstalled(platform::kServiceName)) {
        std::cerr << "vorta: " << Tr("因为选择了以服务方式启动，该选项被忽略！") << "\n";
        return kExitUsage;
    }
    const auto channel = host::OpenChannel(dataDir);
    if (const auto sent =
            SendCommand(dataDir, *channel, {RequestKind::Config, false, {name, value}}))
        return *sent;
    // No client: the file is changed under the lock a starting client would take.
    if (!LockForFiles(*channel, dataDir)) return 1;
    host::OpenSettings(dataDir)->WriteSetting(name, value);
    return 0;
}

int Status(const std::filesystem::path& dataDir, bool json) {
    const std::chrono::seconds wait = host::WaitFor(RequestKind::Status);
    const ChannelReply reply = host::OpenChannel(dataDir)->Request(
        host::EncodeRequest({RequestKind::Status, json, {}}), wait);
    if (reply.outcome == Outcome::NotRunning) {
        std::cerr << "vorta: no client is running for " << dataDir.string() << "\n";
        return kExitNotRunning;
    }
    if (reply.outcome == Outcome::Denied) return Denied(dataDir);
    if (reply.outcome == Outcome::Busy || reply.outcome == Outcome::Impostor) {
        std::cerr << (reply.outcome == Outcome::Busy ? kBusy : "vorta: " + reply.text + "\n");
        return 1;
    }
    if (reply.outcome != Outcome::Answered) {
        std::cerr << "vorta: the client is busy: it did not answer in " << wait.count() << " s\n";
        return 1;
    }
    std::cout << reply.text;
    return 0;
}

int Lines(const std::filesystem::path& dataDir, std::vector<std::string> args) {
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] != "--password") continue;
        if (args[i + 1] == "-")
            args[i + 1] = host::ReadSecret("password: ");
        else
            std::cerr << kVisibleWarning;
    }
    for (const auto& arg : args)
        if (host::HasWireBreak(arg)) {
            std::cerr << "vorta: a value holds a tab or a line break\n";
            return kExitUsage;
        }
    // A running client holds the lines file: it makes the change so nothing is overwritten.
    const auto channel = host::OpenChannel(dataDir);
    if (const auto sent = SendCommand(dataDir, *channel, {RequestKind::Lines, false, args}))
        return *sent;
    if (!LockForFiles(*channel, dataDir)) return 1;
    FileLinesTarget target(dataDir / kLinesFileName);
    const LinesCommandResult result = RunLinesCommand(args, target);
    (result.exitCode == 0 ? std::cout : std::cerr) << result.output;
    return result.exitCode;
}

int ClientCommand(const std::filesystem::path& dataDir, const host::ChannelRequest& request) {
    if (const auto sent = SendCommand(dataDir, *host::OpenChannel(dataDir), request)) return *sent;
    std::cerr << "vorta: no client is running for " << dataDir.string() << "\n";
    return kExitNotRunning;
}

}  // namespace vorta::cli
