// The WinHTTP exchange against a one-answer server on loopback.
#include <gtest/gtest.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "protocol/HttpExchange.h"

namespace vorta::http {
namespace {

using namespace std::chrono_literals;

// Accepts one connection, keeps what the client sent up to the end of its body, and answers
// `answer`, or, when `silent`, nothing until the server ends.
class OneAnswerServer {
public:
    explicit OneAnswerServer(std::string answer, bool silent = false)
        : answer_(std::move(answer)), silent_(silent) {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int length = sizeof address;
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        listen(listener_, 1);
        thread_ = std::thread([this] { Serve(); });
    }
    ~OneAnswerServer() {
        closesocket(listener_);
        // An abandoned client may keep its connection open a while: hang up on it.
        if (SOCKET peer = peer_.load(); peer != INVALID_SOCKET) shutdown(peer, SD_BOTH);
        thread_.join();
        WSACleanup();
    }
    int port() const { return port_; }
    // Valid once the exchange has ended.
    const std::string& request() const { return request_; }

private:
    void Serve() {
        const SOCKET peer = accept(listener_, nullptr, nullptr);
        if (peer == INVALID_SOCKET) return;
        peer_ = peer;
        char buffer[4096];
        for (;;) {
            const int n = recv(peer, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            request_.append(buffer, static_cast<std::size_t>(n));
            const std::size_t end = request_.find("\r\n\r\n");
            if (end == std::string::npos) continue;
            const std::size_t length = request_.find("Content-Length: ");
            const std::size_t body =
                length == std::string::npos ? 0 : std::stoul(request_.substr(length + 16));
            if (request_.size() >= end + 4 + body) break;
        }
        if (silent_) {
            while (recv(peer, buffer, sizeof buffer, 0) > 0) {
            }
        } else {
            send(peer, answer_.data(), static_cast<int>(answer_.size()), 0);
        }
        shutdown(peer, SD_SEND);
        peer_ = INVALID_SOCKET;
        closesocket(peer);
    }

    std::string answer_;
    bool silent_;
    SOCKET listener_;
    std::atomic<SOCKET> peer_{INVALID_SOCKET};
    int port_ = 0;
    std::string request_;
    std::thread thread_;
};

TEST(WinHttpExchange, PinnedPostSendsBodyAndHeadersAndReadsTheAnswer) {
    OneAnswerServer server(
        "HTTP/1.1 200 OK\r\nContent-Type: text/xml; charset=GBK\r\nContent-Length: 5\r\n"
        "Connection: close\r\n\r\nhello");
    ExchangeRequest request;
    request.method = "post";
    // The name does not exist: the exchange must connect to the pinned address without asking.
    const std::string url = "http://vorta.invalid:" + std::to_string(server.port()) + "/a/b?x=1";
    request.url = url;
    request.body = "<x/>";
    request.headers = {"Content-Type: text/xml", "Pragma: No-Cache"};
    request.route.address = "127.0.0.1";
    const ExchangeResponse response = Exchange(request);
    ASSERT_TRUE(response.completed) << response.failure;
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.contentType, "text/xml; charset=GBK");
    EXPECT_EQ(response.body, "hello");
    const std::string& sent = server.request();
    EXPECT_TRUE(sent.starts_with("POST /a/b?x=1 HTTP/1.1\r\n")) << sent;
    EXPECT_NE(sent.find("Host: vorta.invalid:" + std::to_string(server.port()) + "\r\n"),
              std::string::npos)
        << sent;
    EXPECT_NE(sent.find("Pragma: No-Cache\r\n"), std::string::npos) << sent;
    EXPECT_TRUE(sent.ends_with("\r\n\r\n<x/>")) << sent;
}

TEST(WinHttpExchange, RedirectsAreReportedAbsoluteAndNotFollowed) {
    OneAnswerServer server(
        "HTTP/1.1 302 Found\r\nLocation: next?y=2\r\nContent-Length: 0\r\nConnection: "
        "close\r\n\r\n");
    const std::string base = "http://127.0.0.1:" + std::to_string(server.port());
    ExchangeRequest request;
    request.method = "GET";
    const std::string url = base + "/dir/page?x=1";
    request.url = url;
    const ExchangeResponse response = Exchange(request);
    ASSERT_TRUE(response.completed) << response.failure;
    EXPECT_EQ(response.status, 302);
    EXPECT_EQ(response.redirectTarget, base + "/dir/next?y=2");
}

TEST(WinHttpExchange, LargeAnswersAreRefusedWhetherAnnouncedOrNot) {
    for (const char* length : {"Content-Length: 11\r\n", ""}) {
        OneAnswerServer server(std::string("HTTP/1.1 200 OK\r\nConnection: close\r\n") + length +
                               "\r\nhello world");
        ExchangeRequest request;
        request.method = "GET";
        const std::string url = "http://127.0.0.1:" + std::to_string(server.port()) + "/";
        request.url = url;
        request.maxAnswerBytes = 10;
        const ExchangeResponse response = Exchange(request);
        EXPECT_FALSE(response.completed) << length;
        EXPECT_TRUE(response.tooLarge) << length;
    }
}

TEST(WinHttpExchange, AStopRequestEndsAWaitAtOnce) {
    OneAnswerServer server("", /*silent=*/true);
    std::stop_source stop;
    ExchangeRequest request;
    request.method = "GET";
    const std::string url = "http://127.0.0.1:" + std::to_string(server.port()) + "/";
    request.url = url;
    request.stop = stop.get_token();
    std::thread stopper([&] {
        std::this_thread::sleep_for(300ms);
        stop.request_stop();
    });
    const auto start = std::chrono::steady_clock::now();
    const ExchangeResponse response = Exchange(request);
    stopper.join();
    EXPECT_FALSE(response.completed);
    EXPECT_EQ(response.failure, "stopped");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

}  // namespace
}  // namespace vorta::http
