#include "Fixture.h"

#include <algorithm>
#include <fstream>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "BuiltInFixture.h"

namespace devservice {
namespace {

using nlohmann::json;

[[noreturn]] void fail(const std::string& where, const std::string& what) {
    throw FixtureError(where + ": " + what);
}

const json& objectAt(const json& value, const std::string& where) {
    if (!value.is_object()) fail(where, "expected an object");
    return value;
}

const json& arrayAt(const json& value, const std::string& where) {
    if (!value.is_array()) fail(where, "expected an array");
    return value;
}

// Integers are accepted for convenience (e.g. "TTL": 60) and kept as decimal text.
std::string textAt(const json& value, const std::string& where) {
    if (value.is_string()) return value.get<std::string>();
    if (value.is_number_integer()) return value.dump();
    fail(where, "expected a string");
}

// Rejects keys outside `known` so that a misspelt field is reported instead of ignored.
void checkKeys(const json& object, const std::string& where, std::set<std::string_view> known) {
    for (const auto& item : object.items()) {
        if (!known.contains(item.key())) fail(where, "unknown key \"" + item.key() + "\"");
    }
}

template <class T, std::size_t N>
T readFields(const json& object, const std::string& where, const std::array<Field<T>, N>& fields,
             std::initializer_list<std::string_view> required,
             std::initializer_list<std::string_view> extraKeys = {}) {
    std::set<std::string_view> known(extraKeys);
    for (const auto& f : fields) known.insert(f.element);
    checkKeys(object, where, known);
    for (auto name : required) {
        if (!object.contains(name)) fail(where, "missing \"" + std::string(name) + "\"");
    }
    T out{};
    for (const auto& f : fields) {
        const std::string key(f.element);
        if (object.contains(key)) out.*f.member = textAt(object.at(key), where + "." + key);
    }
    return out;
}

Domain readDomain(const json& value, const std::string& where) {
    const json& object = objectAt(value, where);
    Domain domain =
        readFields(object, where, kDomainFields, {"DomainName", "SuffixName"}, {"resources"});
    if (object.contains("resources")) {
        const json& list = arrayAt(object.at("resources"), where + ".resources");
        for (std::size_t i = 0; i < list.size(); ++i) {
            const std::string at = where + ".resources[" + std::to_string(i) + "]";
            domain.resources.push_back(readFields(objectAt(list[i], at), at, kResourceFields,
                                                  {"ResourceType", "KeyName"}));
        }
    }
    return domain;
}

std::string requiredText(const json& object, const std::string& where, const std::string& key) {
    if (!object.contains(key)) fail(where, "missing \"" + key + "\"");
    return textAt(object.at(key), where + "." + key);
}

User readUser(const json& value, const std::string& where) {
    const json& object = objectAt(value, where);
    checkKeys(object, where, {"name", "password", "userId", "profile", "domains"});
    User user;
    user.name = requiredText(object, where, "name");
    if (user.name.empty()) fail(where + ".name", "must not be empty");
    user.password = requiredText(object, where, "password");
    user.userId = requiredText(object, where, "userId");
    if (object.contains("profile")) {
        const std::string at = where + ".profile";
        user.profile = readFields(objectAt(object.at("profile"), at), at, kProfileFields, {});
    }
    if (object.contains("domains")) {
        const json& list = arrayAt(object.at("domains"), where + ".domains");
        for (std::size_t i = 0; i < list.size(); ++i) {
            user.domains.push_back(
                readDomain(list[i], where + ".domains[" + std::to_string(i) + "]"));
        }
    }
    return user;
}

}  // namespace

const User* Fixture::findUser(std::string_view name) const {
    auto it =
        std::find_if(users.begin(), users.end(), [&](const User& u) { return u.name == name; });
    return it == users.end() ? nullptr : &*it;
}

Fixture Fixture::fromJson(const json& document) {
    const auto& root = objectAt(document, "fixture");
    checkKeys(root, "fixture", {"users"});
    if (!root.contains("users")) fail("fixture", "missing \"users\"");
    const auto& list = arrayAt(root.at("users"), "users");
    Fixture fixture;
    std::set<std::string> names;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::string at = "users[" + std::to_string(i) + "]";
        User user = readUser(list[i], at);
        if (!names.insert(user.name).second) fail(at, "duplicate user \"" + user.name + "\"");
        fixture.users.push_back(std::move(user));
    }
    return fixture;
}

Fixture Fixture::load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw FixtureError("cannot open fixture file " + path);
    std::ostringstream text;
    text << in.rdbuf();
    json parsed;
    try {
        parsed = json::parse(text.str());
    } catch (const json::parse_error& e) {
        throw FixtureError("fixture " + path + " is not valid JSON: " + e.what());
    }
    try {
        return fromJson(parsed);
    } catch (const FixtureError& e) {
        throw FixtureError("fixture " + path + ": " + e.what());
    }
}

Fixture Fixture::builtIn() {
    try {
        return fromJson(json::parse(detail::builtInFixtureJson()));
    } catch (const json::parse_error& e) {
        throw FixtureError(std::string("built-in fixture is not valid JSON: ") + e.what());
    }
}

}  // namespace devservice
