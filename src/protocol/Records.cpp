#include "protocol/Records.h"

#include <utility>

namespace vorta {
namespace {

using FieldRef = std::pair<const char*, std::string*>;
using FieldValue = std::pair<const char*, const std::string*>;

void ReadChildren(xml::XmlElement element, std::initializer_list<FieldRef> fields) {
    for (const auto& [name, field] : fields) xml::ReadField(xml::FirstChild(element, name), *field);
}

void AppendRecord(xml::XmlElement parent, const char* elementName,
                  std::initializer_list<FieldValue> fields) {
    // The record's element goes into the parent before it gets children.
    const xml::XmlElement element = xml::AppendTextElement(parent, elementName, {});
    for (const auto& [name, value] : fields) xml::AppendTextElement(element, name, *value);
}

}  // namespace

void TUserProfileSchema::LoadFromDocument(const xml::XmlDocument& document) {
    const std::initializer_list<FieldRef> fields = {
        {"UserName", &UserName}, {"UserPwd", &UserPwd},   {"Question", &Question},
        {"Answer", &Answer},     {"Email", &Email},       {"RealName", &RealName},
        {"Address", &Address},   {"PostCode", &PostCode}, {"Phone1", &Phone1},
        {"Phone2", &Phone2},     {"PayType", &PayType},   {"ServiceEndDate", &ServiceEndDate},
        {"UserID", &UserID}};
    for (const auto& [name, field] : fields)
        xml::ReadField(xml::SelectFirst(document, {"VortaPacket", "UserProfile", name}), *field);
}

void TResourceInfoSchema::LoadFromNode(xml::XmlElement element) {
    ReadChildren(element, {{"ResourceType", &ResourceType},
                           {"KeyName", &KeyName},
                           {"KeyValue", &KeyValue},
                           {"TransURL", &TransURL}});
}

void TDomainInfoSchema::LoadFromNode(xml::XmlElement element) {
    ReadChildren(element, {{"DomainName", &DomainName},
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
    const std::vector<xml::XmlElement> nodes = xml::Children(element, "ResourceInfo");
    ClearResources();
    Resources.resize(nodes.size());
    for (std::size_t i = 0; i < nodes.size(); ++i) Resources[i].LoadFromNode(nodes[i]);
}

void TSystemInfoSchema::AppendTo(xml::XmlElement parent) const {
    AppendRecord(parent, "SystemInfo",
                 {{"OSVersion", &OSVersion},
                  {"PackInfo", &PackInfo},
                  {"IISVersion", &IISVersion},
                  {"MemoryInfo", &MemoryInfo},
                  {"CPUVersion", &CPUVersion},
                  {"CPUFreq", &CPUFreq}});
}

void TNetworkInfoSchema::AppendTo(xml::XmlElement parent) const {
    AppendRecord(parent, "NetworkInfo",
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
