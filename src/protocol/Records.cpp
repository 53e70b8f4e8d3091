#include "protocol/Records.h"

#include <utility>

namespace vorta {
namespace {

using FieldRef = std::pair<const char*, std::string*>;
using FieldValue = std::pair<const char*, const std::string*>;

void ReadChildren(xmlNode* node, std::initializer_list<FieldRef> fields) {
    for (const auto& [name, field] : fields) xml::ReadField(xml::FirstChild(node, name), *field);
}

void AppendRecord(xmlDoc* document, xmlNode* parent, const char* elementName,
                  std::initializer_list<FieldValue> fields) {
    // The record's element goes into the parent before it gets children.
    xmlNode* element = xml::AppendTextElement(document, parent, elementName, {});
    for (const auto& [name, value] : fields)
        xml::AppendTextElement(document, element, name, *value);
}

}  // namespace

void TUserProfileSchema::LoadFromDocument(xmlDoc* document) {
    const std::initializer_list<FieldRef> fields = {
        {"UserName", &UserName}, {"UserPwd", &UserPwd},   {"Question", &Question},
        {"Answer", &Answer},     {"Email", &Email},       {"RealName", &RealName},
        {"Address", &Address},   {"PostCode", &PostCode}, {"Phone1", &Phone1},
        {"Phone2", &Phone2},     {"PayType", &PayType},   {"ServiceEndDate", &ServiceEndDate},
        {"UserID", &UserID}};
    for (const auto& [name, field] : fields)
        xml::ReadField(xml::SelectFirst(document, {"VortaPacket", "UserProfile", name}), *field);
}

void TResourceInfoSchema::LoadFromNode(xmlNode* node) {
    ReadChildren(node, {{"ResourceType", &ResourceType},
                        {"KeyName", &KeyName},
                        {"KeyValue", &KeyValue},
                        {"TransURL", &TransURL}});
}

void TDomainInfoSchema::LoadFromNode(xmlNode* node) {
    ReadChildren(node, {{"DomainName", &DomainName},
                        {"SuffixName", &SuffixName},
                        {"OnlineOpt", &OnlineOpt},
                        {"OnlineStaticIP", &OnlineStaticIP},
                        {"OnlineTransURL", &OnlineTransURL},
                        {"OfflineOpt", &OfflineOpt},
                        {"OfflineStaticIP", &OfflineStaticIP},
                        {"OfflineTransURL", &OfflineTransURL},
                        {"TTL", &TTL},
                        {"StartDate", &StartDate},
                        {"EndDate", &EndDate},
                        {"Status", &Status},
                        {"DomainStatus", &DomainStatus}});
    const std::vector<xmlNode*> nodes = xml::Children(node, "ResourceInfo");
    ClearResources();
    Resources.resize(nodes.size());
    for (std::size_t i = 0; i < nodes.size(); ++i) Resources[i].LoadFromNode(nodes[i]);
}

void TSystemInfoSchema::AppendTo(xmlDoc* document, xmlNode* parent) const {
    AppendRecord(document, parent, "SystemInfo",
                 {{"OSVersion", &OSVersion},
                  {"PackInfo", &PackInfo},
                  {"IISVersion", &IISVersion},
                  {"MemoryInfo", &MemoryInfo},
                  {"CPUVersion", &CPUVersion},
                  {"CPUFreq", &CPUFreq}});
}

void TNetworkInfoSchema::AppendTo(xmlDoc* document, xmlNode* parent) const {
    AppendRecord(document, parent, "NetworkInfo",
                 {{"ConnName", &ConnName},
                  {"HardWare", &HardWare},
                  {"MacAddr", &MacAddr},
                  {"DHCPRun", &DHCPRun},
                  {"IPAddr", &IPAddr},
                  {"SubMask", &SubMask},
                  {"Gateway", &Gateway},
                  {"DNSServer", &DNSServer}});
}

}  // namespace vorta
