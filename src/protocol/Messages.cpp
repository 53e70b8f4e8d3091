#include "protocol/Messages.h"

#include <functional>
#include <utility>

namespace vorta {
namespace {

// Requests start from this text; the document is serialised as UTF-8 when sent.
constexpr std::string_view kTemplate = R"(<?xml version="1.0" encoding="GBK"?><VortaPacket/>)";

using FieldValue = std::pair<const char*, const std::string*>;
using FieldRef = std::pair<const char*, std::string*>;
using AppendRecords = std::function<void(xmlDoc*, xmlNode*)>;

// Builds a request: the fields go into a fragment, MsgType goes first under the root, and the
// fragment follows it.
std::string BuildRequest(xml::DocPtr& document, const std::string& msgType,
                         std::initializer_list<FieldValue> fields,
                         const AppendRecords& appendRecords = {}) {
    xml::DocPtr loaded = xml::Parse(kTemplate);
    if (!loaded) throw xml::XmlError("cannot load the request template");
    document = std::move(loaded);
    xmlDoc* doc = document.get();

    xmlNode* fragment = xmlNewDocFragment(doc);
    if (fragment == nullptr) throw xml::XmlError("cannot create a document fragment");
    std::unique_ptr<xmlNode, decltype(&xmlFreeNode)> ownedFragment(fragment, &xmlFreeNode);
    for (const auto& [name, value] : fields) xml::AppendTextElement(doc, fragment, name, *value);
    if (appendRecords) appendRecords(doc, fragment);

    xmlNode* root = xmlDocGetRootElement(doc);
    xml::AppendTextElement(doc, root, "MsgType", msgType);
    // Adding a fragment moves its children and leaves the fragment itself to be freed.
    xmlAddChildList(root, fragment->children);
    fragment->children = fragment->last = nullptr;
    return xml::ToUtf8Text(doc);
}

// Loads `text` into `document` and reads each field from VortaPacket/<name>.
bool ParseResponse(xml::DocPtr& document, std::string_view text,
                   std::initializer_list<FieldRef> fields) {
    xml::DocPtr loaded = xml::Parse(text);
    if (!loaded) return false;
    document = std::move(loaded);
    for (const auto& [name, field] : fields)
        xml::ReadField(xml::SelectFirst(document.get(), {"VortaPacket", name}), *field);
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
    return BuildRequest(
        Document, MsgType, {{"Version", &Version}, {"UserName", &UserName}, {"UserPwd", &UserPwd}},
        [this](xmlDoc* doc, xmlNode* fragment) { SystemInfo.AppendTo(doc, fragment); });
}

std::string TPostNetworkInfoReq::SaveToXml() {
    return BuildRequest(Document, MsgType,
                        {{"Version", &Version}, {"UserName", &UserName}, {"UserPwd", &UserPwd}},
                        [this](xmlDoc* doc, xmlNode* fragment) {
                            for (const auto& info : NetworkInfos)
                                if (info) info->AppendTo(doc, fragment);
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
    Profile.LoadFromDocument(Document.get());
    return true;
}

bool TGetServiceListResp::LoadFromXml(std::string_view text) {
    if (!ParseResponse(Document, text,
                       {{"MsgType", &MsgType},
                        {"Version", &Version},
                        {"Result", &Result},
                        {"UserID", &UserID}}))
        return false;
    xmlNode* root = xml::SelectFirst(Document.get(), {"VortaPacket"});
    const std::vector<xmlNode*> nodes = xml::Children(root, "DomainInfo");
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
