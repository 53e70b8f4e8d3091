#include "Exchange.h"

#include <array>

namespace devservice {
namespace {

struct Names {
    Exchange exchange;
    std::string_view name, request, answer;
};

constexpr std::array<Names, 5> kNames{{
    {Exchange::Profile, "profile", "QueryUserProfileReq", "QueryUserProfileResp"},
    {Exchange::ServiceList, "serviceList", "GetServiceListReq", "GetServiceListResp"},
    {Exchange::LineReport, "lineReport", "ActiveTestExReq", "ActiveTestExResp"},
    {Exchange::SystemUpload, "systemUpload", "PostSystemInfoReq", "PostSystemInfoResp"},
    {Exchange::NetworkUpload, "networkUpload", "PostNetworkInfoReq", "PostNetworkInfoResp"},
}};

const Names& namesOf(Exchange exchange) {
    for (const auto& n : kNames) {
        if (n.exchange == exchange) return n;
    }
    return kNames.front();  // unreachable: every enumerator is listed
}

}  // namespace

std::string_view exchangeName(Exchange exchange) {
    return namesOf(exchange).name;
}
std::string_view requestMsgType(Exchange exchange) {
    return namesOf(exchange).request;
}
std::string_view answerMsgType(Exchange exchange) {
    return namesOf(exchange).answer;
}

std::optional<Exchange> exchangeFromName(std::string_view name) {
    for (const auto& n : kNames) {
        if (n.name == name) return n.exchange;
    }
    return std::nullopt;
}

std::optional<Exchange> exchangeFromMsgType(std::string_view msgType) {
    for (const auto& n : kNames) {
        if (n.request == msgType) return n.exchange;
    }
    return std::nullopt;
}

}  // namespace devservice
