#include "core/UpdateSysInfoTrd.h"

#include <cstdio>
#include <memory>

#include "platform/ThreadName.h"
#include "protocol/DebugLog.h"
#include "protocol/HttpRequest.h"
#include "protocol/ResultCodes.h"

namespace vorta {
namespace {

constexpr const char* kPackInfo = "unknow";  // the service expects this spelling

}  // namespace

std::string FormatMemoryKB(long double kb) {
    char text[64];
    std::snprintf(text, sizeof text, "%.15Lg", kb);
    return text;
}

std::string FormatMemoryInfo(long double totalKB, long double availKB) {
    return FormatMemoryKB(totalKB) + "/" + FormatMemoryKB(availKB);
}

std::string JoinCpuNames(const TCpuInfoArray& cpus) {
    std::string joined;
    for (const TCPUInfo& cpu : cpus) joined += ";" + cpu.Name;
    if (!joined.empty()) joined.erase(0, 1);
    return joined;
}

std::string JoinCpuFreqs(const TCpuInfoArray& cpus) {
    std::string joined;
    for (const TCPUInfo& cpu : cpus) joined += ";" + std::to_string(cpu.MHz) + " MHZ";
    if (!joined.empty()) joined.erase(0, 1);
    return joined;
}

void FillSystemInfoReq(const TSysInfo& sysInfo, const SysInfoUploadTarget& target,
                       TPostSystemInfoReq& req) {
    req.MsgType = kPostSystemInfoReq;
    req.Version = kProtocolVersion;
    req.UserName = target.userName;
    req.UserPwd = target.userPwd;
    req.SystemInfo.OSVersion = sysInfo.GetOSVersion();
    req.SystemInfo.PackInfo = kPackInfo;
    req.SystemInfo.IISVersion = sysInfo.GetIISVersion();
    req.SystemInfo.MemoryInfo =
        FormatMemoryInfo(sysInfo.GetTotalMemoryKB(), sysInfo.GetAvailMemoryKB());
    TCpuInfoArray cpus;
    sysInfo.GetCPUInfo(cpus);
    req.SystemInfo.CPUVersion = JoinCpuNames(cpus);
    req.SystemInfo.CPUFreq = JoinCpuFreqs(cpus);
}

void FillNetworkInfoReq(const std::vector<TRConnInfo>& conns, const SysInfoUploadTarget& target,
                        TPostNetworkInfoReq& req) {
    req.MsgType = kPostNetworkInfoReq;
    req.Version = kProtocolVersion;
    req.UserName = target.userName;
    req.UserPwd = target.userPwd;
    req.ClearNetworkInfos();
    for (const TRConnInfo& conn : conns) {
        auto info = std::make_unique<TNetworkInfoSchema>();
        info->ConnName = conn.ConnName;
        info->HardWare = conn.HardWare;
        info->MacAddr = conn.MacAddr;
        info->DHCPRun = conn.DHCPRun;
        info->IPAddr = conn.IPAddr;
        info->SubMask = conn.SubMask;
        info->Gateway = conn.Gateway;
        info->DNSServer = conn.DNSServer;
        req.NetworkInfos.push_back(std::move(info));
    }
}

bool PostUpload(const std::string& serviceUrl, const std::string& document, std::stop_token stop) {
    std::string answer;
    HttpRequest("POST", serviceUrl, document, answer, true, stop);
    if (stop.stop_requested()) return false;  // shutting down: not the service's failure
    if (answer.empty()) {
        RecordServiceError(kResultExchangeFailed);
        return false;
    }
    TBaseResp resp;
    resp.LoadFromXml(answer);
    if (resp.Result == "0") return true;
    RecordServiceError(ResultCodeToInt(resp.Result, kResultExchangeFailed));
    return false;
}

void UploadSysInfo(TSysInfo& sysInfo, const SysInfoUploadTarget& target, std::stop_token stop) {
    TPostSystemInfoReq system;
    FillSystemInfoReq(sysInfo, target, system);
    PostUpload(target.serviceUrl, system.SaveToXml(), stop);
    if (stop.stop_requested()) return;

    sysInfo.RefreshConnInfo();
    TPostNetworkInfoReq network;
    FillNetworkInfoReq(sysInfo.ConnInfos(), target, network);
    PostUpload(target.serviceUrl, network.SaveToXml(), stop);
}

TUpdateSysInfoTrd::TUpdateSysInfoTrd(TSysInfo& sysInfo, SysInfoUploadTarget target)
    : thread_([this, &sysInfo, target = std::move(target)](std::stop_token stop) {
          platform::NameThisThread("vorta-sysinfo");
          try {
              UploadSysInfo(sysInfo, target, stop);
          } catch (const std::exception& e) {
              // Whatever failed ends the upload without a word; nothing is retried.
              Debug(std::string("system information upload: ") + e.what());
          } catch (...) {
              Debug("system information upload: an unknown error");
          }
          finished_ = true;
      }) {}

}  // namespace vorta
