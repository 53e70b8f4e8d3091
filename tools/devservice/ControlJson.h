#pragma once

#include <nlohmann/json.hpp>
#include <utility>
#include <vector>

#include "DevService.h"

namespace devservice::control {

nlohmann::json toJson(const RecordedRequest& request);
nlohmann::json toJson(const LineReport& report);
nlohmann::json toJson(const SystemUpload& upload);
nlohmann::json toJson(const NetworkUpload& upload);

template <class T>
nlohmann::json toJson(const std::vector<T>& items) {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& item : items) list.push_back(toJson(item));
    return list;
}

// Reads a POST /control/fault document. Besides the Fault members it accepts "repeat", which
// sends "body" that many times over so that a huge answer needs only a small request.
// Throws std::invalid_argument naming the offending key.
std::pair<Exchange, Fault> faultFromJson(const nlohmann::json& document);

// Reads a POST /control/portal document, {"enabled": true|false}. Throws std::invalid_argument.
bool portalFromJson(const nlohmann::json& document);

}  // namespace devservice::control
