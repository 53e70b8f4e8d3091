#include <gtest/gtest.h>

#include <stdexcept>

#include "host/ChannelProtocol.h"

namespace vorta::host {
namespace {

TEST(ChannelProtocol, EveryRequestReadsBackAsItWasWritten) {
    const ChannelRequest requests[] = {
        {RequestKind::Show, false, {}},
        {RequestKind::Identify, false, {}},
        {RequestKind::Status, false, {}},
        {RequestKind::Status, true, {}},
        {RequestKind::Lines, false, {}},
        {RequestKind::Lines, false, {"add", "--kind", "lan", "--entry", "eth0", ""}},
        {RequestKind::Config, false, {"UserName", "登录 用户"}},
        {RequestKind::Config, false, {"UserPwd", ""}},
        {RequestKind::Logon, false, {}},
        {RequestKind::Logoff, false, {}},
        {RequestKind::Domains, false, {}},
        {RequestKind::Domains, true, {}},
    };
    for (const auto& request : requests) {
        const std::string text = EncodeRequest(request);
        const auto decoded = DecodeRequest(text);
        ASSERT_TRUE(decoded) << text;
        EXPECT_EQ(decoded->kind, request.kind) << text;
        EXPECT_EQ(decoded->json, request.json) << text;
        EXPECT_EQ(decoded->args, request.args) << text;
    }
    // The words older clients and commands send stay the same.
    EXPECT_EQ(EncodeRequest({RequestKind::Status, true, {}}), "STATUS JSON");
    EXPECT_EQ(EncodeRequest({RequestKind::Config, false, {"A", "b"}}), "CONFIG\tA\tb");
    EXPECT_EQ(EncodeRequest({RequestKind::Identify}), "WHO");
}

TEST(ChannelProtocol, WhatCannotTravelIsRefusedAndWhatIsNoRequestIsNotRead) {
    EXPECT_THROW(EncodeRequest({RequestKind::Config, false, {"UserName", "a\tb"}}),
                 std::invalid_argument);
    EXPECT_THROW(EncodeRequest({RequestKind::Lines, false, {"a\nSHOW"}}), std::invalid_argument);
    EXPECT_THROW(EncodeRequest({RequestKind::Logon, false, {"x"}}), std::invalid_argument);
    for (const char* text : {"", "show", "STATUS\tx", "LOGON ", "DOMAINS\tJSON", "WHOM"})
        EXPECT_FALSE(DecodeRequest(text)) << text;
}

TEST(ChannelProtocol, AnswersCarryTheirCodeAndIdentity) {
    const CommandOutcome outcome = DecodeOutcome(EncodeOutcome({4, "line one\nline two\n"}));
    EXPECT_EQ(outcome.exitCode, 4);
    EXPECT_EQ(outcome.output, "line one\nline two\n");
    EXPECT_EQ(DecodeOutcome("no number\ntext").exitCode, 1) << "an unreadable code is a failure";
    EXPECT_EQ(DecodeOutcome("0").output, "");

    const auto service = DecodeIdentity(EncodeIdentity({4242, true}));
    ASSERT_TRUE(service);
    EXPECT_EQ(service->pid, 4242);
    EXPECT_TRUE(service->service);
    EXPECT_FALSE(DecodeIdentity(EncodeIdentity({17, false}))->service);
    for (const char* text : {"", "x desktop\n", "12 window\n", "-3 service\n", "12\n"})
        EXPECT_FALSE(DecodeIdentity(text)) << text;
}

}  // namespace
}  // namespace vorta::host
