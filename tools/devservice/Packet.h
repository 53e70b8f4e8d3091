#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "DevService.h"
#include "Xml.h"

namespace devservice {

inline constexpr std::string_view kResultOk = "0";
inline constexpr std::string_view kResultUnknownUser = "100";
inline constexpr std::string_view kResultWrongPassword = "102";

// A request the service refuses with HTTP 400; what() is the reason sent back.
class BadRequest : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A parsed VortaPacket request of a known kind.
struct Packet {
    Exchange exchange{};
    std::string userName, userPwd;
    xml::Doc doc;
    const xmlNode* root = nullptr;
};

Packet parsePacket(std::string_view body);  // throws BadRequest

// Result code for the credentials; `user` is set only when they are accepted.
std::string_view authenticate(const Fixture& fixture, const Packet& packet, const User*& user);

// Content that only some message kinds carry.
std::string lineId(const Packet& packet);
std::string updateIp(const Packet& packet);
std::map<std::string, std::string> systemInfo(const Packet& packet);
std::vector<std::map<std::string, std::string>> networkInfo(const Packet& packet);

struct AnswerInput {
    const User* user = nullptr;  // authenticated user, or nullptr
    std::string result;          // text of the Result element
    std::string remoteAddr;      // echoed as UserIP in line reports
};

// The answer document, GBK encoded with a matching declaration.
std::string buildAnswer(const Packet& packet, const AnswerInput& input);

}  // namespace devservice
