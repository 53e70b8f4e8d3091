#include "Packet.h"

namespace devservice {
namespace {

constexpr std::string_view kRoot = "VortaPacket";
constexpr std::string_view kVersion = "1.0";
constexpr const char* kAnswerEncoding = "GBK";

std::map<std::string, std::string> flatten(const xmlNode* parent) {
    std::map<std::string, std::string> fields;
    for (const xmlNode* child : xml::childElements(parent)) {
        fields.emplace(xml::nameOf(child), xml::textOf(child));
    }
    return fields;
}

std::string childText(const Packet& packet, std::string_view name) {
    return xml::textOf(xml::firstChild(packet.root, name));
}

template <class T, std::size_t N>
void addFields(xml::Writer& out, xmlNode* parent, const T& value,
               const std::array<Field<T>, N>& fields) {
    for (const auto& f : fields) out.add(parent, f.element, value.*f.member);
}

void addProfile(xml::Writer& out, const User& user) {
    xmlNode* profile = out.addGroup(out.root(), "UserProfile");
    out.add(profile, "UserName", user.name);
    out.add(profile, "UserPwd", user.password);
    addFields(out, profile, user.profile, kProfileFields);
    out.add(profile, "UserID", user.userId);
}

void addDomains(xml::Writer& out, const User& user) {
    for (const Domain& domain : user.domains) {
        xmlNode* info = out.addGroup(out.root(), "DomainInfo");
        addFields(out, info, domain, kDomainFields);
        for (const Resource& resource : domain.resources) {
            addFields(out, out.addGroup(info, "ResourceInfo"), resource, kResourceFields);
        }
    }
}

}  // namespace

Packet parsePacket(std::string_view body) {
    Packet packet;
    try {
        packet.doc = xml::parseUntrusted(body);
    } catch (const xml::ParseError& e) {
        throw BadRequest(e.what());
    }
    packet.root = xmlDocGetRootElement(packet.doc.get());
    if (packet.root == nullptr || xml::nameOf(packet.root) != kRoot) {
        throw BadRequest("root element must be VortaPacket");
    }
    const xmlNode* msgType = xml::firstChild(packet.root, "MsgType");
    if (msgType == nullptr) throw BadRequest("missing MsgType");
    const std::string type = xml::textOf(msgType);
    const auto exchange = exchangeFromMsgType(type);
    if (!exchange) throw BadRequest("unknown MsgType \"" + type + "\"");
    packet.exchange = *exchange;
    packet.userName = childText(packet, "UserName");
    packet.userPwd = xml::exactTextOf(xml::firstChild(packet.root, "UserPwd"));
    return packet;
}

std::string_view authenticate(const Fixture& fixture, const Packet& packet, const User*& user) {
    user = nullptr;
    const User* found = fixture.findUser(packet.userName);
    if (found == nullptr) return kResultUnknownUser;
    if (found->password != packet.userPwd) return kResultWrongPassword;
    user = found;
    return kResultOk;
}

std::string lineId(const Packet& packet) {
    return childText(packet, "LineID");
}
std::string updateIp(const Packet& packet) {
    return childText(packet, "UpdateIP");
}

std::map<std::string, std::string> systemInfo(const Packet& packet) {
    return flatten(xml::firstChild(packet.root, "SystemInfo"));
}

std::vector<std::map<std::string, std::string>> networkInfo(const Packet& packet) {
    std::vector<std::map<std::string, std::string>> adapters;
    for (const xmlNode* info : xml::childElements(packet.root, "NetworkInfo")) {
        adapters.push_back(flatten(info));
    }
    return adapters;
}

std::string buildAnswer(const Packet& packet, const AnswerInput& input) {
    xml::Writer out("VortaPacket");
    out.add(out.root(), "MsgType", answerMsgType(packet.exchange));
    out.add(out.root(), "Version", kVersion);
    switch (packet.exchange) {
        case Exchange::Profile:
            out.add(out.root(), "Result", input.result);
            if (input.user != nullptr) addProfile(out, *input.user);
            break;
        case Exchange::ServiceList:
            out.add(out.root(), "Result", input.result);
            if (input.user != nullptr) {
                out.add(out.root(), "UserID", input.user->userId);
                addDomains(out, *input.user);
            }
            break;
        case Exchange::LineReport:
            out.add(out.root(), "UserIP", input.remoteAddr);
            out.add(out.root(), "LineID", lineId(packet));
            out.add(out.root(), "Result", input.result);
            break;
        case Exchange::SystemUpload:
        case Exchange::NetworkUpload:
            out.add(out.root(), "Result", input.result);
            break;
    }
    return out.dump(kAnswerEncoding);
}

}  // namespace devservice
