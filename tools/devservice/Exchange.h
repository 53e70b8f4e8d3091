#pragma once

#include <optional>
#include <string_view>

namespace devservice {

// The five kinds of exchange the client performs against the service.
enum class Exchange { Profile, ServiceList, LineReport, SystemUpload, NetworkUpload };

// Short name used by the control API and the log ("profile", "serviceList", ...).
std::string_view exchangeName(Exchange exchange);
std::optional<Exchange> exchangeFromName(std::string_view name);

// MsgType of the request ("QueryUserProfileReq", ...) and of its answer ("...Resp").
std::string_view requestMsgType(Exchange exchange);
std::string_view answerMsgType(Exchange exchange);
std::optional<Exchange> exchangeFromMsgType(std::string_view msgType);

}  // namespace devservice
