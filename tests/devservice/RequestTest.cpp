// Refused requests, request recording and the connectivity probe image.
#include <gmock/gmock.h>

#include <cstring>

#include "TestSupport.h"

namespace devservice::test {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

using RequestTest = ServiceTest;

void expectRefused(const httplib::Result& res, const std::string& reasonPart) {
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 400);
    EXPECT_THAT(res->get_header_value("Content-Type"), StartsWith("text/plain"));
    EXPECT_THAT(res->body, HasSubstr(reasonPart));
}

TEST_F(RequestTest, MalformedDocumentsAreRefused) {
    expectRefused(post("<VortaPacket><MsgType>QueryUserProfileReq</MsgType>"), "line");
    expectRefused(post("not xml at all"), "line");
    expectRefused(post(""), "bad request");
}

TEST_F(RequestTest, WrongRootOrMsgTypeIsRefused) {
    expectRefused(post("<Packet><MsgType>QueryUserProfileReq</MsgType></Packet>"), "VortaPacket");
    expectRefused(post(packet(el("UserName", "demo"))), "MsgType");
    expectRefused(post(packet(el("MsgType", "DeleteEverythingReq"))), "DeleteEverythingReq");
}

TEST_F(RequestTest, RefusedRequestIsRecordedWithoutExchange) {
    expectRefused(post("<broken"), "bad request");
    const auto requests = service.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].body, "<broken");
    EXPECT_FALSE(requests[0].exchange.has_value());
}

TEST_F(RequestTest, DoctypeIsRefusedBeforeEntitiesAreRead) {
    const std::string internal =
        R"(<?xml version="1.0"?><!DOCTYPE VortaPacket [<!ENTITY who "demo">]>)"
        "<VortaPacket><MsgType>QueryUserProfileReq</MsgType><UserName>&who;</UserName>"
        "<UserPwd>demo123</UserPwd></VortaPacket>";
    expectRefused(post(internal), "DOCTYPE");

    const std::string external =
        R"(<?xml version="1.0"?><!DOCTYPE VortaPacket [<!ENTITY x SYSTEM "file:///etc/hostname">]>)"
        "<VortaPacket><MsgType>QueryUserProfileReq</MsgType><UserName>&x;</UserName>"
        "</VortaPacket>";
    expectRefused(post(external), "DOCTYPE");

    const std::string bare = R"(<!DOCTYPE VortaPacket SYSTEM "http://dtd.example/v.dtd">)" +
                             packet(el("MsgType", "QueryUserProfileReq"), "");
    expectRefused(post(bare), "DOCTYPE");
}

TEST_F(RequestTest, OversizedBodyIsNotAccepted) {
    const std::string padding(DevService::kMaxRequestBody + 1, ' ');
    auto res = post(request(Exchange::Profile, "demo", "demo123") + padding);
    if (res) {
        EXPECT_EQ(res->status, 413);  // httplib may also just drop the connection
    }
    EXPECT_TRUE(service.requests().empty());
}

TEST_F(RequestTest, EveryRequestIsRecordedWithHeadersAndBody) {
    auto cli = client();
    const httplib::Headers headers{{"charset", "UTF-8"}};
    const std::string body = request(Exchange::Profile, "demo", "demo123");
    ASSERT_TRUE(cli.Post(DevService::kExchangePath, headers, body, "text/xml"));
    auto missing = cli.Post("/vorta/other.dll?x=1", "payload", "text/plain");
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->status, 404);
    auto get = cli.Get(DevService::kExchangePath);
    ASSERT_TRUE(get);
    EXPECT_EQ(get->status, 404);

    const auto requests = service.requests();
    ASSERT_EQ(requests.size(), 3u);
    const auto& first = requests[0];
    EXPECT_EQ(first.method, "POST");
    EXPECT_EQ(first.path, DevService::kExchangePath);
    EXPECT_EQ(first.body, body);
    EXPECT_EQ(first.bodyLength, body.size());
    EXPECT_EQ(first.remoteAddr, "127.0.0.1");
    EXPECT_EQ(first.exchange, Exchange::Profile);
    ASSERT_EQ(first.headers.count("charset"), 1u);
    EXPECT_EQ(first.headers.find("charset")->second, "UTF-8");
    EXPECT_EQ(first.headers.find("Content-Type")->second, "text/xml");
    EXPECT_EQ(first.headers.find("Host")->second, "127.0.0.1:" + std::to_string(service.port()));
    // Only what the peer sent: none of httplib's own bookkeeping entries.
    EXPECT_EQ(first.headers.count("REMOTE_ADDR"), 0u);
    EXPECT_EQ(first.headers.count("LOCAL_PORT"), 0u);

    EXPECT_EQ(requests[1].path, "/vorta/other.dll");
    EXPECT_EQ(requests[1].target, "/vorta/other.dll?x=1");
    EXPECT_EQ(requests[1].body, "payload");
    EXPECT_FALSE(requests[1].exchange.has_value());
    EXPECT_EQ(requests[2].method, "GET");
    EXPECT_TRUE(requests[2].body.empty());
    EXPECT_EQ(requests[2].headers.count("Content-Type"), 0u);
}

TEST_F(RequestTest, RecordedBodyIsCapped) {
    const std::string body(DevService::kMaxRecordedBody * 2, 'a');
    auto res = client().Post("/anywhere", body, "text/plain");
    ASSERT_TRUE(res);
    const auto requests = service.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].body, body.substr(0, DevService::kMaxRecordedBody));
    EXPECT_EQ(requests[0].bodyLength, body.size());
}

TEST_F(RequestTest, ProbeImageIsAGifThatReadsAsGif89apUpToItsFirstZero) {
    auto res = client().Get(DevService::kProbePath);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(res->get_header_value("Content-Type"), "image/gif");
    const std::string& gif = res->body;
    ASSERT_GE(gif.size(), 13u + 6u + 10u + 3u);
    EXPECT_EQ(std::string(gif.c_str()), "GIF89ap");
    EXPECT_EQ(std::strlen(gif.c_str()), 7u);
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(gif[i]); };
    EXPECT_EQ(byte(6) | byte(7) << 8, 112);
    const unsigned height = byte(8) | byte(9) << 8;
    EXPECT_GT(height, 0u);

    // Walk the blocks: colour table, image descriptor, data sub-blocks, trailer.
    std::size_t at = 13;
    if (byte(10) & 0x80) at += 3u * (2u << (byte(10) & 7));
    ASSERT_LT(at, gif.size());
    ASSERT_EQ(byte(at), 0x2C);
    EXPECT_EQ(byte(at + 5) | byte(at + 6) << 8, 112);
    EXPECT_EQ(byte(at + 7) | byte(at + 8) << 8, static_cast<int>(height));
    at += 10;
    ASSERT_LT(at, gif.size());
    EXPECT_GE(byte(at), 2);  // LZW minimum code size
    ++at;
    std::size_t data = 0;
    while (at < gif.size() && byte(at) != 0) {
        data += byte(at);
        at += 1 + byte(at);
    }
    EXPECT_GT(data, 0u);
    ASSERT_EQ(at + 2, gif.size());
    EXPECT_EQ(byte(at + 1), 0x3B);

    ASSERT_EQ(service.requests().size(), 1u);
    EXPECT_EQ(service.requests()[0].path, DevService::kProbePath);
}

}  // namespace
}  // namespace devservice::test
