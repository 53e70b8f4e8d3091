#include <gtest/gtest.h>

#include <future>
#include <string>

#include "FakePlatform.h"
#include "core/Client.h"
#include "core/FaceAction.h"
#include "host/ChannelDispatcher.h"
#include "host/ChannelProtocol.h"

namespace vorta::host {
namespace {

using namespace std::chrono_literals;

// A connection whose asker stays until its answer and may, or may not, change the client.
class Asker : public platform::IRequestContext {
public:
    explicit Asker(bool mayChange) : mayChange_(mayChange) {}
    bool Withdrawn() override { return false; }
    void Started() override {}
    bool Send(std::string_view) override { return true; }
    bool MayChange() const override { return mayChange_; }

private:
    bool mayChange_;
};

class Dispatched : public ::testing::Test {
protected:
    Dispatched() {
        ClientConfig config;
        config.serviceUrl = "http://127.0.0.1:1/unused/";
        client = std::make_unique<TClient>(config, ClientPlatform{store, services, autostart},
                                           publisher, loop);
        publisher.Bind(client.get());
        dispatcher = std::make_unique<ChannelDispatcher>(*client, loop, publisher, true);
    }

    // The answer to `text`, asked on a channel thread while this one runs the client's loop.
    std::string Ask(const std::string& text, bool mayChange) {
        Asker asker(mayChange);
        auto answer =
            std::async(std::launch::async, [&] { return dispatcher->Handle(text, asker); });
        while (answer.wait_for(5ms) != std::future_status::ready) loop.ProcessDue();
        return answer.get();
    }

    test::FakeSettingsStore store;
    test::FakeServiceManager services;
    test::FakeAutostart autostart;
    test::RecordingView view;
    ViewPublisher publisher{view};
    EventLoop loop;
    std::unique_ptr<TClient> client;
    std::unique_ptr<ChannelDispatcher> dispatcher;
};

TEST_F(Dispatched, AnAskerThatMayNotChangeTheClientIsRefusedEveryChangeButToldItsState) {
    const std::string refused = EncodeOutcome(
        {1, "vorta: only root and the members of the group vorta may change this client\n"});
    for (const ChannelRequest& change :
         {ChannelRequest{RequestKind::Config, false, {"UserName", "intruder"}},
          ChannelRequest{RequestKind::Logon}, ChannelRequest{RequestKind::Logoff},
          ChannelRequest{RequestKind::Lines, false, {"add", "--kind", "lan", "--entry", "eth0"}},
          ChannelRequest{RequestKind::Lines, false, {"modify", "1", "--backup"}},
          ChannelRequest{RequestKind::Lines, false, {"delete", "1"}},
          ChannelRequest{RequestKind::Act, false,
                         EncodeFaceAction({FaceActionKind::Logon, {{"EditUserName", "x"}}, {}})}}) {
        const std::string text = EncodeRequest(change);
        EXPECT_EQ(Ask(text, false), refused) << text;
        EXPECT_FALSE(client->LogonInProgress()) << text;
    }
    EXPECT_TRUE(store.writes.empty()) << "a refused change reached the settings";

    // What only tells the client's state is answered as to anyone.
    const std::string status = Ask(EncodeRequest({RequestKind::Status, true}), false);
    EXPECT_TRUE(status.starts_with("{\"serviceMode\":")) << status;
    EXPECT_NE(Ask(EncodeRequest({RequestKind::Lines, false, {"list"}}), false), refused);
    EXPECT_TRUE(DecodeIdentity(Ask(EncodeRequest({RequestKind::Identify}), false)));

    // The same change from an asker that may make it.
    EXPECT_EQ(
        DecodeOutcome(Ask(EncodeRequest({RequestKind::Config, false, {"UserName", "own"}}), true))
            .exitCode,
        0);
    EXPECT_EQ(store.ReadSetting("UserName"), "own");
}

}  // namespace
}  // namespace vorta::host
