#pragma once
// Records carried inside protocol messages: the subscriber's profile, domains and their
// resources (read from answers), and the machine and adapter descriptions (written to uploads).

#include <memory>
#include <string>
#include <vector>

#include "protocol/Xml.h"

namespace vorta {

struct TUserProfileSchema {
    std::string UserName;
    std::string UserPwd;
    std::string Question;
    std::string Answer;
    std::string Email;
    std::string RealName;
    std::string Address;
    std::string PostCode;
    std::string Phone1;
    std::string Phone2;
    std::string PayType;
    std::string ServiceEndDate;
    std::string UserID;

    // Reads every field from VortaPacket/UserProfile/<field>, first match in document order.
    void LoadFromDocument(const xml::XmlDocument& document);
};

struct TResourceInfoSchema {
    std::string ResourceType;
    std::string KeyName;
    std::string KeyValue;
    std::string TransURL;

    void LoadFromNode(xml::XmlElement element);
};
using TResourceArr = std::vector<TResourceInfoSchema>;

struct TDomainInfoSchema {
    std::string DomainName;
    std::string SuffixName;
    std::string OnlineOpt;
    std::string OnlineStaticIP;
    std::string OnlineTransURL;
    std::string OfflineOpt;
    std::string OfflineStaticIP;
    std::string OfflineTransURL;
    std::string TTL;
    std::string StartDate;
    std::string EndDate;
    std::string Status;
    std::string DomainStatus;
    TResourceArr Resources;

    // Reads the text fields and the direct ResourceInfo children of a DomainInfo element.
    void LoadFromNode(xml::XmlElement element);
    void ClearResources() { Resources.clear(); }
};
using TDomainArr = std::vector<TDomainInfoSchema>;

struct TSystemInfoSchema {
    std::string OSVersion;
    std::string PackInfo;
    std::string IISVersion;
    std::string MemoryInfo;
    std::string CPUVersion;
    std::string CPUFreq;

    // Appends a SystemInfo element holding every field, empty ones included.
    void AppendTo(xml::XmlElement parent) const;
};

struct TNetworkInfoSchema {
    std::string ConnName;
    std::string HardWare;
    std::string MacAddr;
    std::string DHCPRun;
    std::string IPAddr;
    std::string SubMask;
    std::string Gateway;
    std::string DNSServer;

    void AppendTo(xml::XmlElement parent) const;
};
// Owned records; an empty slot is skipped when the list is written.
using TNetworkInfoArr = std::vector<std::unique_ptr<TNetworkInfoSchema>>;

}  // namespace vorta
