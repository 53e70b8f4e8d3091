#include "host/ChannelProtocol.h"

#include <charconv>
#include <stdexcept>

#include "protocol/ResultCodes.h"

namespace vorta::host {
namespace {

struct Name {
    RequestKind kind;
    bool json;
    std::string_view text;
    bool takesArgs;
};

constexpr Name kNames[] = {
    {RequestKind::Show, false, "SHOW", false},
    {RequestKind::Identify, false, "WHO", false},
    {RequestKind::Status, false, "STATUS", false},
    {RequestKind::Status, true, "STATUS JSON", false},
    {RequestKind::Lines, false, "LINES", true},
    {RequestKind::Config, false, "CONFIG", true},
    {RequestKind::Logon, false, "LOGON", false},
    {RequestKind::Logoff, false, "LOGOFF", false},
    {RequestKind::Domains, false, "DOMAINS", false},
    {RequestKind::Domains, true, "DOMAINS JSON", false},
    {RequestKind::Watch, false, "WATCH", false},
    {RequestKind::Act, false, "ACT", true},
    {RequestKind::Line, false, "LINE", true},
};

}  // namespace

bool HasWireBreak(std::string_view value) {
    return value.find_first_of("\t\n\r") != std::string_view::npos;
}

std::string EncodeRequest(const ChannelRequest& request) {
    for (const Name& name : kNames) {
        if (name.kind != request.kind || name.json != request.json) continue;
        if (!name.takesArgs && !request.args.empty())
            throw std::invalid_argument(std::string(name.text) + " takes no arguments");
        std::string text(name.text);
        for (const auto& arg : request.args) {
            if (HasWireBreak(arg))
                throw std::invalid_argument("a value holds a tab or a line break");
            text += '\t';
            text += arg;
        }
        return text;
    }
    throw std::invalid_argument("no such request");
}

std::optional<ChannelRequest> DecodeRequest(std::string_view text) {
    const std::size_t tab = text.find('\t');
    const std::string_view head = text.substr(0, tab);
    for (const Name& name : kNames) {
        if (head != name.text) continue;
        if (tab != std::string_view::npos && !name.takesArgs) return std::nullopt;
        ChannelRequest request{name.kind, name.json, {}};
        for (std::size_t at = tab; at != std::string_view::npos;) {
            const std::size_t next = text.find('\t', at + 1);
            request.args.emplace_back(
                text.substr(at + 1, next == std::string_view::npos ? text.npos : next - at - 1));
            at = next;
        }
        return request;
    }
    return std::nullopt;
}

bool ChangesClient(const ChannelRequest& request) {
    switch (request.kind) {
        case RequestKind::Config:
        case RequestKind::Logon:
        case RequestKind::Logoff:
        case RequestKind::Act:
            return true;
        case RequestKind::Lines:
            // A listing, or no verb at all (answered with the usage), leaves the lines be.
            return !request.args.empty() && request.args[0] != "list";
        case RequestKind::Show:
        case RequestKind::Identify:
        case RequestKind::Status:
        case RequestKind::Domains:
        case RequestKind::Watch:
        case RequestKind::Line:
            return false;
    }
    return true;
}

std::string EncodeOutcome(const CommandOutcome& outcome) {
    return std::to_string(outcome.exitCode) + "\n" + outcome.output;
}

CommandOutcome DecodeOutcome(std::string_view reply) {
    const std::size_t eol = reply.find('\n');
    return {ResultCodeToInt(std::string(reply.substr(0, eol)), 1),
            eol == std::string_view::npos ? "" : std::string(reply.substr(eol + 1))};
}

std::string EncodeIdentity(const InstanceIdentity& identity) {
    return std::to_string(identity.pid) + (identity.service ? " service\n" : " desktop\n");
}

std::optional<InstanceIdentity> DecodeIdentity(std::string_view reply) {
    const std::string_view line = reply.substr(0, reply.find('\n'));
    InstanceIdentity identity;
    const auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), identity.pid);
    if (error != std::errc() || end == line.data() || identity.pid <= 0) return std::nullopt;
    const std::string_view mode = line.substr(end - line.data());
    if (mode == " service")
        identity.service = true;
    else if (mode != " desktop")
        return std::nullopt;
    return identity;
}

std::chrono::seconds WaitFor(RequestKind kind) {
    switch (kind) {
        case RequestKind::Show:
        case RequestKind::Identify:
        case RequestKind::Line:
            return std::chrono::seconds(10);
        case RequestKind::Status:
        case RequestKind::Act:
            return std::chrono::seconds(15);
        default:
            return std::chrono::seconds(300);
    }
}

}  // namespace vorta::host
