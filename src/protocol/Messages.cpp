#include "protocol/Messages.h"

#include <functional>
#include <utility>

namespace vorta {
namespace {

// Requests start from this text; the document is serialised as UTF-8 when sent.
constexpr std::string_view kTemplate = R"(<?xml version="1.0" encoding="GBK"?><VortaPacket/>)";

using FieldValue = std::pair<const char*, const std::string*>;
using FieldRef = std::pair<const char*, std::string*>;
using AppendRecords = std::function<void(xml::XmlElement)>;

// Builds a request: the fields and records go under the root, then MsgType goes in first place.
// MsgType is written last so that a bad field is reported before it.
std::string BuildRequest(xml::XmlDocument& document, const std::string& msgType,
                         std::initializer_list<FieldValue> fields,
                         const AppendRecords& appendRecords = {}) {
    xml::XmlDocument loaded = xml::Parse(kTemplate);
    if (!loaded) throw xml::XmlError("cannot load the request template");
    document = std::move(loaded);
    const xml::XmlElement root = xml::Root(document);
    for (const auto& [name, value] : fields) xml::AppendTextElement(root, name, *value);
    if (appendRecords) appendRecords(root);
    xml::PrependTextElement(root, "MsgType", msgType);
    return xml::ToUtf8Text(document);
}

// Loads `text` into `document` and reads each field from VortaPacket/<name>.
bool ParseResponse(xml::XmlDocument& document, std::string_view text,
                   std::initializer_list<FieldRef> fields) {
    xml::XmlDocument loaded = xml::Parse(text);
    if (!loaded) return false;
    document = std::move(loaded);
    for (const auto& [name, field] : fields)
        xml::ReadField(xml::SelectFirst(document, {"VortaPacket", name}), *field);
    return true;
}

}  // namespace

std::string TBaseReq::SaveToXml() {
    return BuildRequest(Document, MsgType,
                        {{"Version", &Version}, {"UserName", &UserName}, {"UserPwd", &UserPwd}});
}

std::string TUserAuthReq::SaveToXml() {
    return BuildRequest(Document, MsgType, {{"UserName", &UserName}, {"UserPwd", &UserPwd}});
}

std::string TActiveTestExReq::SaveToXml() {
    return BuildRequest(Document, MsgType,
                        {{"Version", &Version},
                         {"UserName", &UserName},
                         {"UserPwd", &UserPwd},
                         {"LineID", &LineID},
                         {"UpdateIP", &UpdateIP}});
}

std::string TPostSystemInfoReq::SaveToXml() {
    return BuildRequest(Document, MsgType,
                        {{"Version", &Version}, {"UserName", &UserName}, {"UserPwd", &UserPwd}},
                        [this](xml::XmlElement root) { SystemInfo.AppendTo(root); });
}

std::string TPostNetworkInfoReq::SaveToXml() {
    return BuildRequest(Document, MsgType,
                        {{"Version", &Version}, {"UserName", &UserName}, {"UserPwd", &UserPwd}},
                        [this](xml::XmlElement root) {
                            for (const auto& info : NetworkInfos)
                                if (info) info->AppendTo(root);
                        });
}

bool TBaseResp::LoadFromXml(std::string_view text) {
    return ParseResponse(Document, text,
                         {{"MsgType", &MsgType}, {"Version", &Version}, {"Result", &Result}});
}

bool TQueryUserProfileResp::LoadFromXml(std::string_view text) {
    if (!ParseResponse(Document, text,
                       {{"MsgType", &MsgType}, {"Version", &Version}, {"Result", &Result}}))
        return false;
    Profile.LoadFromDocument(Document);
    return true;
}

bool TGetServiceListResp::LoadFromXml(std::string_view text) {
    if (!ParseResponse(Document, text,
                       {{"MsgType", &MsgType},
                        {"Version", &Version},
                        {"Result", &Result},
                        {"UserID", &UserID}}))
        return false;
    const xml::XmlElement root = xml::SelectFirst(Document, {"VortaPacket"});
    const std::vector<xml::XmlElement> nodes = xml::Children(root, "DomainInfo");
    ClearDomains();
    Domains.resize(nodes.size());
    for (std::size_t i = 0; i < nodes.size(); ++i) Domains[i].LoadFromNode(nodes[i]);
    return true;
}

bool TActiveTestExResp::LoadFromXml(std::string_view text) {
    return ParseResponse(Document, text,
                         {{"MsgType", &MsgType},
                          {"Version", &Version},
                          {"UserIP", &UserIP},
                          {"LineID", &LineID},
                          {"Result", &Result}});
}

}  // namespace vorta
