#include <gtest/gtest.h>

#include "core/DnsCache.h"

namespace vorta {
namespace {

TEST(DnsCache, ExactNamesCachedFailuresNot) {
    std::vector<std::string> asked;
    TDnsCache cache([&](const std::string& host) -> std::vector<std::string> {
        asked.push_back(host);
        if (host == "missing.example")
            throw std::runtime_error("Host Lookup - Could Not Find Host Entry");
        return {"192.0.2.1", "192.0.2.2"};
    });
    EXPECT_EQ(cache.Resolve("a.example"), "192.0.2.1");
    EXPECT_EQ(cache.Resolve("a.example"), "192.0.2.1");
    EXPECT_EQ(cache.Resolve("A.example"), "192.0.2.1")
        << "another spelling is looked up on its own";
    EXPECT_EQ(cache.Resolve("missing.example"), "");
    EXPECT_EQ(cache.Resolve("missing.example"), "");
    EXPECT_EQ(asked, (std::vector<std::string>{"a.example", "A.example", "missing.example",
                                               "missing.example"}));
    EXPECT_EQ(cache.ResolveUrl("http://a.example:8080/vorta/vorta.dll/"), "192.0.2.1");
    EXPECT_EQ(asked.size(), 4u) << "the URL's host is the cached name";
}
}  // namespace
}  // namespace vorta
