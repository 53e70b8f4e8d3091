#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <atomic>
#include <fstream>
#include <thread>
#include <vector>

#include "TempDir.h"
#include "platform/ChannelWire.h"
#include "platform/linux/UniqueFd.h"
#include "platform/linux/UnixInstanceChannel.h"

namespace vorta::platform {
namespace {

using test::TempDir;

auto Echo(const std::string& prefix) {
    return [prefix](const std::string& request) { return prefix + request + "\n"; };
}

sockaddr_un AddressOf(const std::filesystem::path& path) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
    return addr;
}

// A connection to `path` that sends nothing; invalid when the connect did not go through at once.
UniqueFd ConnectSilently(const std::filesystem::path& path) {
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0));
    const sockaddr_un addr = AddressOf(path);
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0)
        return UniqueFd();
    return fd;
}

template <typename Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

TEST(InstanceChannel, OneInstancePerDataDirAndRequestsReachIt) {
    TempDir dir;
    UnixInstanceChannel first(dir.path() / "data");
    EXPECT_FALSE(first.Ask("SHOW")) << "nobody runs yet";
    ASSERT_TRUE(first.Claim(Echo("first:")));

    UnixInstanceChannel second(dir.path() / "data");
    EXPECT_FALSE(second.Claim(Echo("second:")));
    EXPECT_EQ(second.Ask("STATUS"), std::optional<std::string>("first:STATUS\n"));

    // Another data dir has its own instance.
    UnixInstanceChannel other(dir.path() / "other");
    EXPECT_TRUE(other.Claim(Echo("other:")));
    EXPECT_EQ(UnixInstanceChannel(dir.path() / "other").Ask("X"),
              std::optional<std::string>("other:X\n"));
}

TEST(InstanceChannel, ReleasedWhenTheInstanceEnds) {
    TempDir dir;
    {
        UnixInstanceChannel first(dir.path());
        ASSERT_TRUE(first.Claim(Echo("")));
    }
    EXPECT_FALSE(std::filesystem::exists(dir.path() / kInstanceName));
    UnixInstanceChannel next(dir.path());
    EXPECT_TRUE(next.Claim(Echo("")));
}

TEST(InstanceChannel, StaleSocketOfACrashedInstanceNeverBlocks) {
    TempDir dir;
    // What a killed process leaves: a bound socket file nobody listens on, and the lock file.
    const auto socketPath = dir.path() / kInstanceName;
    {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", socketPath.c_str());
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        ::close(fd);
    }
    std::ofstream(dir.path() / (std::string(kInstanceName) + ".lock")) << "";
    UnixInstanceChannel channel(dir.path());
    EXPECT_FALSE(channel.Ask("SHOW"));
    ASSERT_TRUE(channel.Claim(Echo("new:")));
    EXPECT_EQ(UnixInstanceChannel(dir.path()).Ask("A"), std::optional<std::string>("new:A\n"));
}

TEST(InstanceChannel, WorksBelowPathsLongerThanASocketAddress) {
    TempDir dir;
    const auto deep = dir.path() / std::string(60, 'a') / std::string(60, 'b');
    UnixInstanceChannel channel(deep);
    ASSERT_TRUE(channel.Claim(Echo("deep:")));
    EXPECT_EQ(UnixInstanceChannel(deep).Ask("Q"), std::optional<std::string>("deep:Q\n"));
}

TEST(InstanceChannel, AnUnansweredRequestIsWithdrawnUnlessItsWorkStarted) {
    TempDir dir;
    UnixInstanceChannel instance(dir.path());
    std::atomic<bool> busy{true}, started{false}, done{false};
    // Stands in for a client whose loop is busy: the work starts only when the loop is free, or
    // is dropped when its asker withdraws it first.
    ASSERT_TRUE(instance.Claim([&](const std::string& request, IRequestContext& context) {
        while (busy) {
            if (context.Withdrawn()) return std::string("dropped\n");
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        context.Started();
        started = true;
        if (request == "SLOW") std::this_thread::sleep_for(std::chrono::milliseconds(600));
        done = true;
        return std::string("done\n");
    }));
    UnixInstanceChannel asker(dir.path());
    const ChannelReply withdrawn = asker.Request("CHANGE", std::chrono::milliseconds(200));
    EXPECT_EQ(withdrawn.outcome, ChannelReply::Outcome::Withdrawn);
    EXPECT_FALSE(started) << "withdrawn work was done";

    busy = false;
    const ChannelReply unfinished = asker.Request("SLOW", std::chrono::milliseconds(200));
    EXPECT_EQ(unfinished.outcome, ChannelReply::Outcome::Unfinished)
        << "work that started is never reported as not done";
    for (int i = 0; i < 300 && !done; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(done) << "started work is finished";

    const ChannelReply answered = asker.Request("FAST", std::chrono::seconds(5));
    EXPECT_EQ(answered.outcome, ChannelReply::Outcome::Answered);
    EXPECT_EQ(answered.text, "done\n");
    EXPECT_EQ(
        UnixInstanceChannel(dir.path() / "none").Request("X", std::chrono::seconds(1)).outcome,
        ChannelReply::Outcome::NotRunning);
}

TEST(InstanceChannel, AskersAreServedAtOnceUpToABoundAndSilentConnectionsAreClosed) {
    TempDir dir;
    UnixInstanceChannel instance(dir.path());
    std::atomic<bool> hold{true};
    std::atomic<std::size_t> held{0};
    ASSERT_TRUE(instance.Claim([&](const std::string& request) {
        if (request == "HOLD") {
            ++held;
            while (hold) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return request + "\n";
    }));
    // A connection that never sends holds a place, but nobody waits behind it.
    UniqueFd silent = ConnectSilently(instance.SocketPath());
    ASSERT_TRUE(silent.valid());
    EXPECT_EQ(UnixInstanceChannel(dir.path()).Ask("A"), std::optional<std::string>("A\n"));

    // Every other place taken by a request in hand, all of them in the handler together.
    std::vector<ChannelReply> replies(wire::kMaxConnections - 1);
    std::vector<std::jthread> askers;
    for (auto& reply : replies)
        askers.emplace_back([&] {
            reply = UnixInstanceChannel(dir.path()).Request("HOLD", std::chrono::seconds(30));
        });
    ASSERT_TRUE(WaitFor([&] { return held == replies.size(); }))
        << held << " requests in hand at once";
    const ChannelReply turnedAway =
        UnixInstanceChannel(dir.path()).Request("B", std::chrono::seconds(30));
    EXPECT_EQ(turnedAway.outcome, ChannelReply::Outcome::Busy) << turnedAway.text;

    // The silent connection is closed after its idle time, which frees its place.
    pollfd pfd{silent.get(), POLLIN, 0};
    ASSERT_EQ(::poll(&pfd, 1, 10000), 1) << "the silent connection was never closed";
    char byte;
    EXPECT_EQ(::recv(silent.get(), &byte, 1, 0), 0) << "closed without a word";
    EXPECT_TRUE(WaitFor([&] {
        return UnixInstanceChannel(dir.path()).Ask("C") == std::optional<std::string>("C\n");
    })) << "the freed place was not taken";

    hold = false;
    askers.clear();
    for (const auto& reply : replies) {
        EXPECT_EQ(reply.outcome, ChannelReply::Outcome::Answered);
        EXPECT_EQ(reply.text, "HOLD\n");
    }

    // An instance that accepts nobody: its backlog fills, and the asker's connect gives up
    // instead of hanging.
    TempDir stuck;
    const auto stuckPath = stuck.path() / kInstanceName;
    UniqueFd listener(::socket(AF_UNIX, SOCK_STREAM, 0));
    const sockaddr_un addr = AddressOf(stuckPath);
    ASSERT_EQ(::bind(listener.get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(listener.get(), 0), 0);
    std::vector<UniqueFd> backlog;
    while (backlog.size() < 64) {
        UniqueFd fd = ConnectSilently(stuckPath);
        if (!fd.valid()) break;
        backlog.push_back(std::move(fd));
    }
    ASSERT_FALSE(backlog.empty());
    ASSERT_LT(backlog.size(), 64u) << "the backlog never filled";
    EXPECT_EQ(UnixInstanceChannel(stuck.path()).Request("X", std::chrono::seconds(1)).outcome,
              ChannelReply::Outcome::Busy);
}

}  // namespace
}  // namespace vorta::platform
