#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <fstream>

#include "TempDir.h"
#include "platform/linux/UnixInstanceChannel.h"

namespace vorta::platform {
namespace {

using test::TempDir;

auto Echo(const std::string& prefix) {
    return [prefix](const std::string& request) { return prefix + request + "\n"; };
}

TEST(InstanceChannel, OneInstancePerDataDirAndRequestsReachIt) {
    TempDir dir;
    UnixInstanceChannel first(dir.path() / "data");
    EXPECT_FALSE(first.Ask(kRequestShow)) << "nobody runs yet";
    ASSERT_TRUE(first.Claim(Echo("first:")));

    UnixInstanceChannel second(dir.path() / "data");
    EXPECT_FALSE(second.Claim(Echo("second:")));
    EXPECT_EQ(second.Ask(kRequestStatus), std::optional<std::string>("first:STATUS\n"));

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
    EXPECT_FALSE(channel.Ask(kRequestShow));
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

}  // namespace
}  // namespace vorta::platform
