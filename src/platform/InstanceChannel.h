#pragma once
// One client per data dir, and a channel through which other processes talk to it.

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace vorta::platform {

// Requests one process sends the running client.
inline constexpr const char* kRequestShow = "SHOW";
inline constexpr const char* kRequestStatus = "STATUS";
inline constexpr const char* kRequestStatusJson = "STATUS JSON";

class IInstanceChannel {
public:
    virtual ~IInstanceChannel() = default;
    // Becomes the one instance, answering requests with `handler` on a thread of its own.
    // False when another instance holds the data dir.
    virtual bool Claim(std::function<std::string(const std::string& request)> handler) = 0;
    // Sends one request to the running instance; nothing when none runs or it does not answer.
    virtual std::optional<std::string> Ask(const std::string& request) = 0;
};

}  // namespace vorta::platform
