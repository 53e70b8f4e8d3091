// Starting, stopping and logging of an in-process service.
#include <gmock/gmock.h>

#include <sstream>
#include <thread>

#include "TestSupport.h"

namespace devservice::test {
namespace {

using ::testing::HasSubstr;

const std::string kProfile = request(Exchange::Profile, "demo", "demo123");

TEST(LifecycleTest, StartsOnAFreePortAndStopsIdempotently) {
    DevService service(Fixture::builtIn());
    EXPECT_FALSE(service.running());
    ASSERT_TRUE(service.start("127.0.0.1", 0));
    EXPECT_TRUE(service.running());
    EXPECT_GT(service.port(), 0);
    EXPECT_FALSE(service.start("127.0.0.1", 0)) << "already running";
    service.stop();
    EXPECT_FALSE(service.running());
    service.stop();
    EXPECT_FALSE(httplib::Client("127.0.0.1", service.port()).Get(DevService::kProbePath));
}

TEST(LifecycleTest, PortInUseCannotBeBound) {
    DevService first(Fixture::builtIn());
    ASSERT_TRUE(first.start("127.0.0.1", 0));
    DevService second(Fixture::builtIn());
    EXPECT_FALSE(second.start("127.0.0.1", first.port()));
    EXPECT_FALSE(second.running());
}

TEST(LifecycleTest, CanBeStartedAgainAfterStop) {
    DevService service(Fixture::builtIn());
    ASSERT_TRUE(service.start("127.0.0.1", 0));
    service.stop();
    ASSERT_TRUE(service.start("127.0.0.1", 0));
    auto res = httplib::Client("127.0.0.1", service.port())
                   .Post(DevService::kExchangePath, kProfile, "text/xml");
    ASSERT_TRUE(res);
    EXPECT_EQ(AnswerDoc(res->body).text("Result"), "0");
}

TEST(LifecycleTest, StopsWhileAClientKeepsItsConnectionOpen) {
    DevService service(Fixture::builtIn());
    ASSERT_TRUE(service.start("127.0.0.1", 0));
    httplib::Client cli("127.0.0.1", service.port());
    cli.set_keep_alive(true);
    ASSERT_TRUE(cli.Post(DevService::kExchangePath, kProfile, "text/xml"));
    service.stop();
    EXPECT_FALSE(service.running());
}

TEST(LifecycleTest, DestructorCutsShortAPendingDelay) {
    int status = -1;
    std::jthread caller;
    {
        DevService service(Fixture::builtIn());
        ASSERT_TRUE(service.start("127.0.0.1", 0));
        service.setFault(Exchange::Profile, Fault{.delayMs = 3'600'000});
        caller = std::jthread([&status, port = service.port()] {
            httplib::Client cli("127.0.0.1", port);
            cli.set_read_timeout(60, 0);
            if (auto res = cli.Post(DevService::kExchangePath, kProfile, "text/xml")) {
                status = res->status;
            }
        });
        ASSERT_TRUE(eventually([&] { return !service.requests().empty(); }));
    }
    caller.join();
    EXPECT_EQ(status, 503);
}

TEST(LifecycleTest, AnnouncesTheBoundPortBeforeServing) {
    DevService service(Fixture::builtIn());
    std::ostringstream log;
    service.setLog(&log);
    int announced = 0;
    service.setOnListening([&](int port) {
        announced = port;
        log << "ready " << port << "\n";
    });
    ASSERT_TRUE(service.start("127.0.0.1", 0));
    EXPECT_EQ(announced, service.port());
    ASSERT_TRUE(httplib::Client("127.0.0.1", service.port())
                    .Post(DevService::kExchangePath, kProfile, "text/xml"));
    service.stop();

    std::istringstream in(log.str());
    std::string first, second;
    std::getline(in, first);
    std::getline(in, second);
    EXPECT_EQ(first, "ready " + std::to_string(service.port()));
    EXPECT_THAT(second, HasSubstr("profile user=demo"));
}

TEST(LifecycleTest, LogsOneLinePerRequestUntilSilenced) {
    DevService service(Fixture::builtIn());
    std::ostringstream log;
    service.setLog(&log);
    ASSERT_TRUE(service.start("127.0.0.1", 0));
    httplib::Client cli("127.0.0.1", service.port());
    ASSERT_TRUE(cli.Post(DevService::kExchangePath, kProfile, "text/xml"));
    ASSERT_TRUE(cli.Post(DevService::kExchangePath, request(Exchange::ServiceList, "eve", "x"),
                         "text/xml"));
    ASSERT_TRUE(cli.Post(DevService::kExchangePath, "<junk", "text/xml"));
    service.setLog(nullptr);
    ASSERT_TRUE(cli.Post(DevService::kExchangePath, kProfile, "text/xml"));
    service.stop();

    std::vector<std::string> lines;
    std::istringstream in(log.str());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 3u) << log.str();
    EXPECT_THAT(lines[0], HasSubstr("127.0.0.1"));
    EXPECT_THAT(lines[0], HasSubstr("profile user=demo result=0 http=200"));
    EXPECT_THAT(lines[1], HasSubstr("serviceList user=eve result=100"));
    EXPECT_THAT(lines[2], HasSubstr("http=400"));
}

}  // namespace
}  // namespace devservice::test
