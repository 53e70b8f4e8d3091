#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "platform/win32/RasApiRemoteAccess.h"

namespace vorta::platform {
namespace {

constexpr const char* kUnknownEntry = "vorta-no-such-entry";

// The message of the exception `call` raises; empty when it raises none.
template <typename Call>
std::string Raised(Call call) {
    try {
        call();
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return {};
}

TEST(RasApiRemoteAccess, WithoutTheLibraryDialUpIsUnavailable) {
    RasApiRemoteAccess ras(L"vorta-missing-rasapi32.dll");
    std::vector<std::string> entries;
    std::vector<RasConnection> connections;
    RasDialParams params{kUnknownEntry, "user", "secret"};
    RasHandle handle = 0;
    for (const std::string& message : {Raised([&] { ras.EnumEntries(entries); }),
                                       Raised([&] { ras.EnumConnections(connections); }),
                                       Raised([&] { ras.GetEntryDialParams(params); }),
                                       Raised([&] { ras.Dial(params, handle); })})
        EXPECT_NE(message.find("dial-up is not available: vorta-missing-rasapi32.dll"),
                  std::string::npos)
            << message;
    int state = 0;
    EXPECT_EQ(ras.GetConnectStatus(1, state), kRasInvalidHandle);
    EXPECT_EQ(ras.HangUp(1), kRasInvalidHandle);
    RasCounters counters;
    EXPECT_FALSE(ras.ReadCounters(1, counters));
    EXPECT_FALSE(ras.ErrorText(kRasEntryNotFound).empty());
}

TEST(RasApiRemoteAccess, AnUnknownEntryIsRefusedWithAText) {
    RasApiRemoteAccess ras;
    std::vector<std::string> entries;
    ASSERT_EQ(ras.EnumEntries(entries), 0);
    ASSERT_EQ(std::find(entries.begin(), entries.end(), kUnknownEntry), entries.end());
    std::vector<RasConnection> connections;
    ASSERT_EQ(ras.EnumConnections(connections), 0);
    for (const auto& connection : connections) EXPECT_NE(connection.handle, 0u);

    RasDialParams params{kUnknownEntry, {}, {}};
    EXPECT_EQ(ras.GetEntryDialParams(params), kRasEntryNotFound);
    RasHandle handle = 0;
    params = {kUnknownEntry, "user", "secret"};
    const int rc = ras.Dial(params, handle);
    EXPECT_NE(rc, 0);
    EXPECT_FALSE(ras.ErrorText(rc).empty());
    int state = 0;
    EXPECT_EQ(ras.GetConnectStatus(handle, state), kRasInvalidHandle);  // nothing left running
}

TEST(RasApiRemoteAccess, AStopBeforeTheDialAnswersStopped) {
    RasApiRemoteAccess ras;
    std::stop_source stop;
    stop.request_stop();
    RasHandle handle = 7;
    EXPECT_EQ(ras.Dial({kUnknownEntry, "user", "secret"}, handle, {}, stop.get_token()),
              kRasDialStopped);
    EXPECT_EQ(handle, 0u);
}

}  // namespace
}  // namespace vorta::platform
