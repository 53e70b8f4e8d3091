#include "app/Commands.h"

#include <chrono>
#include <iostream>
#include <optional>

#include "app/ChannelRequests.h"
#include "cli/LinesCommand.h"
#include "core/Settings.h"
#include "lines/LineInfo.h"
#include "platform/linux/FileSettingsStore.h"
#include "platform/linux/Terminal.h"
#include "platform/linux/UnixInstanceChannel.h"

namespace vorta::app {
namespace {

using platform::ChannelReply;
using Outcome = ChannelReply::Outcome;

// How long a command waits for the client: a status is quick unless the client is busy; a
// change may wait for an exchange ahead of it and its own (each bounded by the time-outs).
constexpr std::chrono::seconds kStatusWait{15};
constexpr std::chrono::seconds kChangeWait{300};

std::filesystem::path SettingsFile(const std::filesystem::path& dataDir) {
    return dataDir / "settings.conf";
}

const char* kVisibleWarning =
    "vorta: warning: a password on the command line can be seen by other users; give \"-\" "
    "to type it instead\n";

// Prints why a request got no answer; the exit code to end with.
int Unanswered(const ChannelReply& reply, std::chrono::seconds waited) {
    const std::string after = " after " + std::to_string(waited.count()) + " s";
    if (reply.outcome == Outcome::Withdrawn)
        std::cerr << "vorta: the client did not answer" << after
                  << "; nothing was changed by this command\n";
    else
        std::cerr << "vorta: the client took the request but had not finished it" << after
                  << "; it may still carry it out\n";
    return 1;
}

// Sends a command request and prints its outcome; nothing when no client runs.
std::optional<int> SendCommand(platform::UnixInstanceChannel& channel, const std::string& request) {
    const ChannelReply reply = channel.Request(request, kChangeWait);
    if (reply.outcome == Outcome::NotRunning) return std::nullopt;
    if (reply.outcome != Outcome::Answered) return Unanswered(reply, kChangeWait);
    const CommandOutcome outcome = DecodeOutcome(reply.text);
    (outcome.exitCode == 0 ? std::cout : std::cerr) << outcome.output;
    return outcome.exitCode;
}

// With no client answering, a command edits the files under the lock a client takes; false
// (and said) when a client holds it without answering.
bool LockForFiles(platform::UnixInstanceChannel& channel, const std::filesystem::path& dataDir) {
    if (channel.Lock()) return true;
    std::cerr << "vorta: a client holds " << dataDir.string()
              << " but does not answer; nothing was changed\n";
    return false;
}

bool HasWireBreak(const std::string& value) {
    return value.find_first_of("\t\n\r") != std::string::npos;
}

}  // namespace

int ConfigShow(const std::filesystem::path& dataDir) {
    platform::FileSettingsStore store(SettingsFile(dataDir));
    for (std::string_view name : kSettingNames) {
        std::string value = store.ReadSetting(name);
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
            value = platform::ReadSecret("password: ");
        else
            std::cerr << kVisibleWarning;
    }
    if (std::string why = SettingValueError(name, value); !why.empty()) {
        std::cerr << "vorta: " << why << "\n";
        return kExitUsage;
    }
    if (HasWireBreak(value)) {
        std::cerr << "vorta: a value cannot hold a tab\n";
        return kExitUsage;
    }
    platform::UnixInstanceChannel channel(dataDir);
    if (const auto sent = SendCommand(channel, EncodeRequest(kRequestConfig, {name, value})))
        return *sent;
    // No client: the file is changed under the lock a starting client would take.
    if (!LockForFiles(channel, dataDir)) return 1;
    platform::FileSettingsStore(SettingsFile(dataDir)).WriteSetting(name, value);
    return 0;
}

int Status(const std::filesystem::path& dataDir, bool json) {
    platform::UnixInstanceChannel channel(dataDir);
    const ChannelReply reply = channel.Request(
        json ? platform::kRequestStatusJson : platform::kRequestStatus, kStatusWait);
    if (reply.outcome == Outcome::NotRunning) {
        std::cerr << "vorta: no client is running for " << dataDir.string() << "\n";
        return kExitNotRunning;
    }
    if (reply.outcome != Outcome::Answered) {
        std::cerr << "vorta: the client is busy: it did not answer in " << kStatusWait.count()
                  << " s\n";
        return 1;
    }
    std::cout << reply.text;
    return 0;
}

int Lines(const std::filesystem::path& dataDir, std::vector<std::string> args) {
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] != "--password") continue;
        if (args[i + 1] == "-")
            args[i + 1] = platform::ReadSecret("password: ");
        else
            std::cerr << kVisibleWarning;
    }
    for (const auto& arg : args)
        if (HasWireBreak(arg)) {
            std::cerr << "vorta: a value holds a tab or a line break\n";
            return kExitUsage;
        }
    // A running client holds the lines file: it makes the change so nothing is overwritten.
    platform::UnixInstanceChannel channel(dataDir);
    if (const auto sent = SendCommand(channel, EncodeRequest(kRequestLines, args))) return *sent;
    if (!LockForFiles(channel, dataDir)) return 1;
    FileLinesTarget target(dataDir / kLinesFileName);
    const LinesCommandResult result = RunLinesCommand(args, target);
    (result.exitCode == 0 ? std::cout : std::cerr) << result.output;
    return result.exitCode;
}

int ClientCommand(const std::filesystem::path& dataDir, const std::string& request) {
    platform::UnixInstanceChannel channel(dataDir);
    if (const auto sent = SendCommand(channel, request)) return *sent;
    std::cerr << "vorta: no client is running for " << dataDir.string() << "\n";
    return kExitNotRunning;
}

}  // namespace vorta::app
