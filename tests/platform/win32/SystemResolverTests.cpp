// The system's resolver through getaddrinfo; names that need no DNS server only.

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "platform/win32/SystemResolver.h"

namespace vorta::platform {
namespace {

TEST(SystemResolver, ResolvesLiteralsAndLocalhostAndRefusesBadNames) {
    EXPECT_EQ(ResolveHost("127.0.0.1"), std::vector<std::string>{"127.0.0.1"});
    EXPECT_EQ(ResolveHost("192.0.2.9"), std::vector<std::string>{"192.0.2.9"});
    const auto local = ResolveHost("localhost");
    EXPECT_NE(std::find(local.begin(), local.end(), "127.0.0.1"), local.end());
    // An empty label: refused before any server is asked.
    for (const char* bad : {"", "vorta..invalid"}) {
        try {
            ResolveHost(bad);
            ADD_FAILURE() << bad << " resolved";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "Host Lookup - Could Not Find Host Entry");
        }
    }
}

}  // namespace
}  // namespace vorta::platform
