#pragma once
// One HTTP exchange on the OS's HTTP client, behind HttpRequest.cpp; one implementation per OS
// (linux/, win32/). The rules about what an answer is worth stay with the caller.

#include <cstddef>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/HttpRequest.h"

namespace vorta::http {

struct ExchangeRequest {
    std::string_view method;  // "POST" in any letter case sends `body`; no other method does
    std::string_view url;
    std::string_view body;
    std::vector<std::string> headers;  // "Name: value"
    HttpTimeouts timeouts;
    HttpRoute route;
    std::stop_token stop;  // abandons the exchange at once
    std::size_t maxAnswerBytes = kMaxAnswerBytes;
};

struct ExchangeResponse {
    bool completed = false;  // an answer came in full; otherwise `failure` says why
    bool tooLarge = false;   // the answer was refused for its size
    std::string failure;
    long status = 0;
    std::string contentType;     // the Content-Type header; empty without one
    std::string redirectTarget;  // the absolute URL a redirect names; never followed
    std::string body;
};

// Runs one exchange straight to the peer (no proxy, no redirect followed). Throws
// std::runtime_error only when no HTTP handle can be created.
ExchangeResponse Exchange(const ExchangeRequest& request);

}  // namespace vorta::http
