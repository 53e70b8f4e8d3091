#pragma once
// Starts the development service on a free loopback port for each test.

#include <gtest/gtest.h>

#include <string>

#include "DevService.h"
#include "protocol/HttpRequest.h"

namespace vorta::test {

// Fault builders (designated initialisers would name every member to stay warning-free).
inline devservice::Fault Delay(int ms) {
    devservice::Fault f;
    f.delayMs = ms;
    return f;
}
inline devservice::Fault Status(int status) {
    devservice::Fault f;
    f.status = status;
    return f;
}
inline devservice::Fault Body(std::string body, std::string contentType = {}) {
    devservice::Fault f;
    f.body = std::move(body);
    f.contentType = std::move(contentType);
    return f;
}
inline devservice::Fault ResultText(std::string result) {
    devservice::Fault f;
    f.result = std::move(result);
    return f;
}

class DevServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(service.start("127.0.0.1", 0));
        SetHttpTimeouts(HttpTimeouts{});
    }
    void TearDown() override {
        service.stop();
        SetHttpTimeouts(HttpTimeouts{});
    }

    std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(service.port()); }
    std::string ServiceUrl() const { return BaseUrl() + devservice::DevService::kExchangePath; }

    // Waits until the service has seen `count` requests; false after five seconds.
    bool AwaitRequests(std::size_t count) {
        for (int i = 0; i < 500; ++i) {
            if (service.requests().size() >= count) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    devservice::DevService service{devservice::Fixture::builtIn()};
};

}  // namespace vorta::test
