// Fixture loading: the built-in demo data and errors for malformed fixture files.
#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>

#include "Fixture.h"

namespace devservice {
namespace {

using nlohmann::json;
using ::testing::AllOf;
using ::testing::HasSubstr;

const User& userOf(const Fixture& fixture, const std::string& name) {
    const User* user = fixture.findUser(name);
    if (user == nullptr) throw std::runtime_error("no user " + name);
    return *user;
}

TEST(FixtureTest, BuiltInIsTheShippedFixtureFile) {
    const Fixture builtIn = Fixture::builtIn();
    const Fixture file = Fixture::load(VORTA_DEVSERVICE_FIXTURE_FILE);
    EXPECT_EQ(builtIn.users, file.users);
}

TEST(FixtureTest, BuiltInHasTheDemoAccounts) {
    const Fixture fixture = Fixture::builtIn();
    const User& demo = userOf(fixture, "demo");
    EXPECT_EQ(demo.password, "demo123");
    EXPECT_FALSE(demo.userId.empty());
    EXPECT_EQ(demo.profile.realName, "张三");
    ASSERT_GE(demo.domains.size(), 2u);
    EXPECT_EQ(demo.domains[0].domainName, "demo");
    EXPECT_EQ(demo.domains[0].suffixName, ".vorta.example");
    bool chineseStatus = false;
    for (const Domain& d : demo.domains) {
        EXPECT_FALSE(d.resources.empty()) << d.domainName;
        chineseStatus = chineseStatus || d.status == "正常";
    }
    EXPECT_TRUE(chineseStatus);

    const User& alice = userOf(fixture, "alice");
    EXPECT_EQ(alice.password, "secret");
    EXPECT_TRUE(alice.domains.empty());
    EXPECT_EQ(fixture.findUser("nobody"), nullptr);
}

bool isIpv4(const std::string& text) {
    int dots = 0;
    for (char c : text) {
        if (c == '.') {
            ++dots;
        } else if (c < '0' || c > '9') {
            return false;
        }
    }
    return dots == 3;
}

bool isDocumentationAddress(const std::string& ip) {
    for (const char* prefix : {"192.0.2.", "198.51.100.", "203.0.113."}) {
        if (ip.rfind(prefix, 0) == 0) return true;
    }
    return false;
}

// Host of an http(s) URL, or nullopt if `text` is not one.
std::optional<std::string> urlHost(const std::string& text) {
    for (const std::string scheme : {"http://", "https://"}) {
        if (text.rfind(scheme, 0) == 0) {
            const std::string rest = text.substr(scheme.size());
            return rest.substr(0, rest.find_first_of(":/"));
        }
    }
    return std::nullopt;
}

TEST(FixtureTest, BuiltInUsesOnlyDocumentationAddressesAndExampleHosts) {
    std::vector<std::string> values;
    for (const User& user : Fixture::builtIn().users) {
        values.push_back(user.profile.email);
        for (const Domain& d : user.domains) {
            for (const auto& f : kDomainFields) values.push_back(d.*f.member);
            for (const Resource& r : d.resources)
                values.insert(values.end(), {r.keyValue, r.transUrl});
        }
    }
    int checked = 0;
    for (const std::string& value : values) {
        if (isIpv4(value)) {
            EXPECT_TRUE(isDocumentationAddress(value)) << value;
            ++checked;
        }
        if (const auto host = urlHost(value)) {
            EXPECT_THAT(*host, ::testing::EndsWith(".example")) << value;
            ++checked;
        }
        if (auto at = value.find('@'); at != std::string::npos) {
            EXPECT_THAT(value.substr(at), ::testing::EndsWith(".example")) << value;
            ++checked;
        }
    }
    EXPECT_GT(checked, 0);
}

json minimalUser() {
    return {{"name", "bob"}, {"password", "pw"}, {"userId", "7"}};
}

std::string errorOf(const json& document) {
    try {
        Fixture::fromJson(document);
    } catch (const FixtureError& e) {
        return e.what();
    }
    return "no error";
}

TEST(FixtureTest, MinimalUserLoadsWithEmptyOptionalFields) {
    json user = minimalUser();
    user["domains"] =
        json::array({json{{"DomainName", "b"}, {"SuffixName", ".x.example"}, {"TTL", 60}}});
    const Fixture fixture = Fixture::fromJson({{"users", json::array({user})}});
    const User& bob = userOf(fixture, "bob");
    EXPECT_EQ(bob.userId, "7");
    EXPECT_TRUE(bob.profile.realName.empty());
    ASSERT_EQ(bob.domains.size(), 1u);
    EXPECT_EQ(bob.domains[0].ttl, "60");  // integers are kept as their decimal text
    EXPECT_TRUE(bob.domains[0].resources.empty());
}

TEST(FixtureTest, ShapeErrorsNameTheOffendingPlace) {
    EXPECT_THAT(errorOf(json::array()), HasSubstr("expected an object"));
    EXPECT_THAT(errorOf(json::object()), HasSubstr("missing \"users\""));
    EXPECT_THAT(errorOf({{"users", "demo"}}), HasSubstr("expected an array"));

    json noName = minimalUser();
    noName.erase("name");
    EXPECT_THAT(errorOf({{"users", json::array({noName})}}),
                AllOf(HasSubstr("users[0]"), HasSubstr("\"name\"")));

    json badProfile = minimalUser();
    badProfile["profile"] = json{{"RealName", 3.5}};
    EXPECT_THAT(errorOf({{"users", json::array({badProfile})}}),
                AllOf(HasSubstr("users[0].profile.RealName"), HasSubstr("expected a string")));

    json typo = minimalUser();
    typo["domains"] =
        json::array({json{{"DomainName", "d"}, {"SuffixName", ".s"}, {"Suffix", ".t"}}});
    EXPECT_THAT(errorOf({{"users", json::array({typo})}}),
                AllOf(HasSubstr("users[0].domains[0]"), HasSubstr("unknown key \"Suffix\"")));

    json noSuffix = minimalUser();
    noSuffix["domains"] = json::array({json{{"DomainName", "d"}}});
    EXPECT_THAT(errorOf({{"users", json::array({noSuffix})}}), HasSubstr("missing \"SuffixName\""));

    json badResource = minimalUser();
    badResource["domains"] =
        json::array({json{{"DomainName", "d"},
                          {"SuffixName", ".s"},
                          {"resources", json::array({json{{"KeyName", "www"}}})}}});
    EXPECT_THAT(errorOf({{"users", json::array({badResource})}}),
                AllOf(HasSubstr("users[0].domains[0].resources[0]"), HasSubstr("ResourceType")));

    EXPECT_THAT(errorOf({{"users", json::array({minimalUser(), minimalUser()})}}),
                AllOf(HasSubstr("users[1]"), HasSubstr("duplicate user \"bob\"")));
}

class FixtureFileTest : public ::testing::Test {
protected:
    void TearDown() override { std::filesystem::remove(path_); }

    std::string write(const std::string& content) {
        std::ofstream(path_, std::ios::binary) << content;
        return path_.string();
    }

    std::filesystem::path path_ =
        std::filesystem::temp_directory_path() /
        ("vorta-fixture-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".json");
};

TEST_F(FixtureFileTest, MissingFileIsReported) {
    try {
        Fixture::load(path_.string());
        FAIL() << "expected FixtureError";
    } catch (const FixtureError& e) {
        EXPECT_THAT(e.what(), AllOf(HasSubstr("cannot open"), HasSubstr(path_.string())));
    }
}

TEST_F(FixtureFileTest, InvalidJsonIsReportedWithThePath) {
    const std::string file = write(R"({"users": [ {"name": "x", )");
    try {
        Fixture::load(file);
        FAIL() << "expected FixtureError";
    } catch (const FixtureError& e) {
        EXPECT_THAT(e.what(), AllOf(HasSubstr(file), HasSubstr("not valid JSON")));
    }
}

TEST_F(FixtureFileTest, ShapeErrorInFileNamesFileAndPlace) {
    const std::string file = write(R"({"users": [ {"name": "x", "password": "y"} ]})");
    try {
        Fixture::load(file);
        FAIL() << "expected FixtureError";
    } catch (const FixtureError& e) {
        EXPECT_THAT(e.what(), AllOf(HasSubstr(file), HasSubstr("users[0]"), HasSubstr("userId")));
    }
}

TEST_F(FixtureFileTest, ValidFileLoads) {
    const std::string file = write(json{{"users", json::array({minimalUser()})}}.dump());
    const Fixture fixture = Fixture::load(file);
    ASSERT_EQ(fixture.users.size(), 1u);
    EXPECT_EQ(fixture.users[0].name, "bob");
    EXPECT_EQ(fixture.users[0].password, "pw");
}

}  // namespace
}  // namespace devservice
