#pragma once
// The nine protocol messages. Requests build their document with SaveToXml; responses read
// theirs with LoadFromXml. Each message owns one XML document; a request object can be filled
// and built again and again, and a response object reused (fields missing from a later answer
// keep their earlier values).

#include <string>
#include <string_view>

#include "protocol/Records.h"
#include "protocol/Xml.h"

namespace vorta {

// MsgType values the client sends.
inline constexpr std::string_view kQueryUserProfileReq = "QueryUserProfileReq";
inline constexpr std::string_view kGetServiceListReq = "GetServiceListReq";
inline constexpr std::string_view kActiveTestExReq = "ActiveTestExReq";
inline constexpr std::string_view kPostSystemInfoReq = "PostSystemInfoReq";
inline constexpr std::string_view kPostNetworkInfoReq = "PostNetworkInfoReq";
inline constexpr std::string_view kProtocolVersion = "1.0";

// SaveToXml throws xml::XmlError when a field holds text XML cannot carry; the text it returns
// is UTF-8 and declared so.

class TBaseReq {
public:
    std::string MsgType, Version, UserName, UserPwd;
    std::string SaveToXml();

private:
    xml::XmlDocument Document = xml::NewDocument();
};

// The profile query: its document carries no Version element even when the field is set.
class TUserAuthReq {
public:
    std::string MsgType, Version, UserName, UserPwd;
    std::string SaveToXml();

private:
    xml::XmlDocument Document = xml::NewDocument();
};

class TActiveTestExReq {
public:
    std::string MsgType, Version, UserName, UserPwd, LineID, UpdateIP;
    std::string SaveToXml();

private:
    xml::XmlDocument Document = xml::NewDocument();
};

class TPostSystemInfoReq {
public:
    std::string MsgType, Version, UserName, UserPwd;
    TSystemInfoSchema SystemInfo;
    std::string SaveToXml();

private:
    xml::XmlDocument Document = xml::NewDocument();
};

class TPostNetworkInfoReq {
public:
    std::string MsgType, Version, UserName, UserPwd;
    TNetworkInfoArr NetworkInfos;
    std::string SaveToXml();
    void ClearNetworkInfos() { NetworkInfos.clear(); }

private:
    xml::XmlDocument Document = xml::NewDocument();
};

class TBaseResp {
public:
    std::string MsgType, Version, Result;
    // False when `text` is not a well-formed document; the fields are then left as they were.
    bool LoadFromXml(std::string_view text);

private:
    xml::XmlDocument Document = xml::NewDocument();
};

class TQueryUserProfileResp {
public:
    std::string MsgType, Version, Result;
    TUserProfileSchema Profile;
    bool LoadFromXml(std::string_view text);

private:
    xml::XmlDocument Document = xml::NewDocument();
};

class TGetServiceListResp {
public:
    std::string MsgType, Version, Result, UserID;
    TDomainArr Domains;
    bool LoadFromXml(std::string_view text);
    void ClearDomains() { Domains.clear(); }

private:
    xml::XmlDocument Document = xml::NewDocument();
};

class TActiveTestExResp {
public:
    std::string MsgType, Version, UserIP, LineID, Result;
    bool LoadFromXml(std::string_view text);

private:
    xml::XmlDocument Document = xml::NewDocument();
};

}  // namespace vorta
