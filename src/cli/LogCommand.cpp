#include "cli/LogCommand.h"

#include <charconv>
#include <iostream>

#include "core/LogList.h"
#include "core/StatusReport.h"
#include "core/ViewWire.h"
#include "host/ChannelProtocol.h"
#include "host/HostPlatform.h"
#include "protocol/TextCodec.h"

namespace vorta::cli {
namespace {

using Outcome = platform::ChannelReply::Outcome;

// One entry as the saved log has it: kind, time and text; or one JSON object a line.
void Print(std::ostream& out, const std::vector<std::string>& f, bool json) {
    int kind = 0;
    long long ms = 0;
    std::from_chars(f[1].data(), f[1].data() + f[1].size(), kind);
    std::from_chars(f[2].data(), f[2].data() + f[2].size(), ms);
    const char* name = TLogList::KindName(static_cast<unsigned char>(kind));
    if (json) {
        out << "{\"kind\":" << JsonString(name) << ",\"level\":" << kind
            << ",\"time\":" << JsonString(UtcTimeText(ms / 1000))
            << ",\"text\":" << JsonString(f[3]) << "}\n";
    } else {
        const auto time = std::chrono::system_clock::time_point(std::chrono::milliseconds(ms));
        out << name << "      " << TLogList::FormatTime(time) << "      " << TrimControl(f[3])
            << "\n";
    }
    out.flush();
}

}  // namespace

int Log(const std::filesystem::path& dataDir, bool follow, bool json, std::ostream& out,
        std::stop_token stop) {
    bool snapshotDone = false;
    bool ended = false;
    bool refused = false;
    const Outcome outcome = host::OpenChannel(dataDir)->Watch(
        host::EncodeRequest({host::RequestKind::Watch}),
        [&](std::string_view line) {
            if (refused) {
                std::cerr << line << "\n";
                return true;
            }
            const std::vector<std::string> f = viewwire::Fields(line);
            // A refusal comes as a command's answer (its exit code, then its text).
            if (!snapshotDone && !f[0].empty() &&
                f[0].find_first_not_of("0123456789") == std::string::npos) {
                refused = true;
                return true;
            }
            if (f[0] == "L" && f.size() == 4) Print(out, f, json);
            if (f[0] == "X") ended = true;
            if (f[0] == ".") snapshotDone = true;
            return !ended && (follow || !snapshotDone);
        },
        stop);
    switch (outcome) {
        case Outcome::NotRunning:
            if (snapshotDone || stop.stop_requested()) break;
            std::cerr << "vorta: no client is running for " << dataDir.string() << "\n";
            return 3;
        case Outcome::Busy:
            std::cerr << "vorta: the client is busy with other requests; try again\n";
            return 1;
        case Outcome::Impostor:
            std::cerr << "vorta: a program that is not this client holds the channel of "
                      << dataDir.string() << "; nothing was sent to it\n";
            return 1;
        case Outcome::Denied:
            std::cerr << "vorta: this user may not reach the client on " << dataDir.string()
                      << "\n";
            return 1;
        default:
            break;
    }
    if (refused || (!snapshotDone && !stop.stop_requested())) return 1;
    if (follow && !stop.stop_requested()) std::cerr << "vorta: the client has stopped\n";
    return 0;
}

}  // namespace vorta::cli
