#pragma once

#include <array>
#include <nlohmann/json_fwd.hpp>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace devservice {

// Raised for a fixture that cannot be read or does not have the expected shape.
class FixtureError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Resource {
    std::string resourceType, keyName, keyValue, transUrl;
    bool operator==(const Resource&) const = default;
};

struct Domain {
    std::string domainName, suffixName, onlineOpt, onlineStaticIp, onlineTransUrl, offlineOpt,
        offlineStaticIp, offlineTransUrl, ttl, startDate, endDate, status, domainStatus;
    std::vector<Resource> resources;
    bool operator==(const Domain&) const = default;
};

// Profile fields other than the account ones (name, password, id) kept on User.
struct Profile {
    std::string question, answer, email, realName, address, postCode, phone1, phone2, payType,
        serviceEndDate;
    bool operator==(const Profile&) const = default;
};

struct User {
    std::string name, password, userId;
    Profile profile;
    std::vector<Domain> domains;
    bool operator==(const User&) const = default;
};

// Binds a wire element name to the struct member holding its text. The fixture JSON uses the
// same names as keys, so one table drives both loading and answering.
template <class T>
struct Field {
    std::string_view element;
    std::string T::*member;
};

inline constexpr std::array<Field<Profile>, 10> kProfileFields{{
    {"Question", &Profile::question},
    {"Answer", &Profile::answer},
    {"Email", &Profile::email},
    {"RealName", &Profile::realName},
    {"Address", &Profile::address},
    {"PostCode", &Profile::postCode},
    {"Phone1", &Profile::phone1},
    {"Phone2", &Profile::phone2},
    {"PayType", &Profile::payType},
    {"ServiceEndDate", &Profile::serviceEndDate},
}};

inline constexpr std::array<Field<Domain>, 13> kDomainFields{{
    {"DomainName", &Domain::domainName},
    {"SuffixName", &Domain::suffixName},
    {"OnlineOpt", &Domain::onlineOpt},
    {"OnlineStaticIP", &Domain::onlineStaticIp},
    {"OnlineTransURL", &Domain::onlineTransUrl},
    {"OfflineOpt", &Domain::offlineOpt},
    {"OfflineStaticIP", &Domain::offlineStaticIp},
    {"OfflineTransURL", &Domain::offlineTransUrl},
    {"TTL", &Domain::ttl},
    {"StartDate", &Domain::startDate},
    {"EndDate", &Domain::endDate},
    {"Status", &Domain::status},
    {"DomainStatus", &Domain::domainStatus},
}};

inline constexpr std::array<Field<Resource>, 4> kResourceFields{{
    {"ResourceType", &Resource::resourceType},
    {"KeyName", &Resource::keyName},
    {"KeyValue", &Resource::keyValue},
    {"TransURL", &Resource::transUrl},
}};

struct Fixture {
    std::vector<User> users;

    // nullptr if no user has this exact name.
    const User* findUser(std::string_view name) const;

    // All three throw FixtureError with a message naming the offending path.
    static Fixture fromJson(const nlohmann::json& json);
    static Fixture load(const std::string& path);
    static Fixture builtIn();  // the content of fixture.json, embedded at build time
};

}  // namespace devservice
