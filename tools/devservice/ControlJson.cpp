#include "ControlJson.h"

#include <set>
#include <stdexcept>
#include <string>

#include "Timestamp.h"

namespace devservice::control {
namespace {

using nlohmann::json;

constexpr long long kMaxFaultBody = 64LL << 20;

[[noreturn]] void invalid(const std::string& key, const std::string& what) {
    throw std::invalid_argument("\"" + key + "\" " + what);
}

int intAt(const json& document, const char* key, long long low, long long high) {
    const json& value = document.at(key);
    if (!value.is_number_integer()) invalid(key, "must be an integer");
    const auto number = value.get<long long>();
    if (number < low || number > high) {
        invalid(key, "must be between " + std::to_string(low) + " and " + std::to_string(high));
    }
    return static_cast<int>(number);
}

std::string textAt(const json& document, const char* key) {
    const json& value = document.at(key);
    if (!value.is_string()) invalid(key, "must be a string");
    return value.get<std::string>();
}

}  // namespace

json toJson(const RecordedRequest& request) {
    json headers = json::object();
    for (const auto& [name, value] : request.headers) {
        // Repeated headers are folded the way HTTP allows.
        if (headers.contains(name)) {
            headers[name] = headers[name].get<std::string>() + ", " + value;
        } else {
            headers[name] = value;
        }
    }
    return {{"method", request.method},
            {"path", request.path},
            {"target", request.target},
            {"headers", std::move(headers)},
            {"body", request.body},
            {"bodyLength", request.bodyLength},
            {"remoteAddr", request.remoteAddr},
            {"exchange", request.exchange ? json(exchangeName(*request.exchange)) : json(nullptr)}};
}

json toJson(const LineReport& report) {
    return {{"userName", report.userName},
            {"lineId", report.lineId},
            {"updateIp", report.updateIp},
            {"remoteAddr", report.remoteAddr},
            {"host", report.host},
            {"result", report.result},
            {"time", utcTimestamp(report.time)}};
}

json toJson(const SystemUpload& upload) {
    return {{"userName", upload.userName}, {"fields", upload.fields}};
}

json toJson(const NetworkUpload& upload) {
    return {{"userName", upload.userName}, {"adapters", upload.adapters}};
}

std::pair<Exchange, Fault> faultFromJson(const json& document) {
    if (!document.is_object()) throw std::invalid_argument("expected a JSON object");
    static const std::set<std::string> known{"exchange",    "delayMs", "status", "body",
                                             "contentType", "result",  "count",  "repeat"};
    for (const auto& item : document.items()) {
        if (!known.contains(item.key())) invalid(item.key(), "is not a fault setting");
    }
    if (!document.contains("exchange")) throw std::invalid_argument("\"exchange\" is missing");
    const std::string name = textAt(document, "exchange");
    const auto exchange = exchangeFromName(name);
    if (!exchange) invalid("exchange", "has unknown value \"" + name + "\"");

    Fault fault;
    if (document.contains("delayMs")) fault.delayMs = intAt(document, "delayMs", 0, 3600000);
    if (document.contains("status")) {
        fault.status = intAt(document, "status", 0, 599);
        if (fault.status != 0 && fault.status < 200) invalid("status", "must be 0 or 200-599");
    }
    if (document.contains("body")) {
        const std::string unit = textAt(document, "body");
        const int repeat = document.contains("repeat") ? intAt(document, "repeat", 1, 1 << 26) : 1;
        if (static_cast<long long>(unit.size()) * repeat > kMaxFaultBody) {
            invalid("repeat", "makes the body larger than 64 MiB");
        }
        std::string body;
        body.reserve(unit.size() * static_cast<std::size_t>(repeat));
        for (int i = 0; i < repeat; ++i) body += unit;
        fault.body = std::move(body);
    } else if (document.contains("repeat")) {
        invalid("repeat", "needs \"body\"");
    }
    if (document.contains("contentType")) fault.contentType = textAt(document, "contentType");
    if (document.contains("result")) fault.result = textAt(document, "result");
    if (document.contains("count")) fault.count = intAt(document, "count", -1, 1 << 30);
    return {*exchange, std::move(fault)};
}

bool portalFromJson(const json& document) {
    if (!document.is_object()) throw std::invalid_argument("expected a JSON object");
    for (const auto& item : document.items()) {
        if (item.key() != "enabled") invalid(item.key(), "is not a portal setting");
    }
    if (!document.contains("enabled")) throw std::invalid_argument("\"enabled\" is missing");
    if (!document["enabled"].is_boolean()) invalid("enabled", "must be true or false");
    return document["enabled"].get<bool>();
}

}  // namespace devservice::control
