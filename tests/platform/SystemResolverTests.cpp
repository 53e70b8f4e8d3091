// The system's resolver and the literal one that stands in for it.

#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/LiteralResolver.h"
#include "platform/linux/SystemResolver.h"

namespace vorta::platform {
namespace {

// Only address literals and the empty name: a real name would ask a DNS server.
TEST(SystemResolver, ReadsLiteralsAndRefusesTheEmptyName) {
    EXPECT_EQ(ResolveHost("127.0.0.1"), std::vector<std::string>{"127.0.0.1"});
    EXPECT_EQ(ResolveHost("192.0.2.9"), std::vector<std::string>{"192.0.2.9"});
    EXPECT_THROW(ResolveHost(""), std::runtime_error);
}

TEST(LiteralResolver, TakesDottedAddressesOnlyAndGivesWayToAResolver) {
    const HostResolver literals = ResolverOrLiterals({});
    EXPECT_EQ(literals("192.0.2.9"), std::vector<std::string>{"192.0.2.9"});
    EXPECT_THROW(literals("localhost"), std::runtime_error) << "no name is looked up";
    EXPECT_THROW(literals("192.0.2"), std::runtime_error);
    EXPECT_THROW(literals(""), std::runtime_error);
    const HostResolver given =
        ResolverOrLiterals([](const std::string&) { return std::vector<std::string>{"x"}; });
    EXPECT_EQ(given("192.0.2.9"), std::vector<std::string>{"x"});
}

}  // namespace
}  // namespace vorta::platform
