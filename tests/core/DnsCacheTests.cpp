#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>

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

TEST(DnsCache, AStaleNameIsAskedAgainAndAHangingLookupYieldsToAStop) {
    auto answers = std::make_shared<std::vector<std::string>>(
        std::vector<std::string>{"192.0.2.1", "", "192.0.2.9"});
    auto asked = std::make_shared<int>(0);
    TDnsCache cache([answers, asked](const std::string&) -> std::vector<std::string> {
        const std::string answer = (*answers)[static_cast<std::size_t>((*asked)++)];
        if (answer.empty()) throw std::runtime_error("no answer");
        return {answer};
    });
    EXPECT_EQ(cache.Resolve("line1.example"), "192.0.2.1");
    cache.MarkStale("line1.example");
    EXPECT_EQ(cache.Resolve("line1.example"), "192.0.2.1") << "a failed lookup keeps the address";
    EXPECT_EQ(cache.Resolve("line1.example"), "192.0.2.9") << "still stale: asked again";
    EXPECT_EQ(cache.Resolve("line1.example"), "192.0.2.9");
    EXPECT_EQ(*asked, 3);

    // A lookup that never returns on its own: the stop ends the wait, the lookup finishes later.
    struct Gate {
        std::mutex lock;
        std::condition_variable open;
        bool released = false;
    };
    auto gate = std::make_shared<Gate>();
    TDnsCache hanging([gate](const std::string&) -> std::vector<std::string> {
        std::unique_lock guard(gate->lock);
        gate->open.wait(guard, [&] { return gate->released; });
        return {"192.0.2.5"};
    });
    std::stop_source stop;
    std::jthread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        stop.request_stop();
    });
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(hanging.Resolve("line2.example", stop.get_token()), "");
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    {
        std::lock_guard guard(gate->lock);
        gate->released = true;
    }
    gate->open.notify_all();
}

}  // namespace
}  // namespace vorta
