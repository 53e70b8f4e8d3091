#pragma once
// The one upload of a run: the machine's description, then one record per network adapter,
// each posted once to the service. Outcomes go to the last service error and nowhere else.

#include <atomic>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "protocol/Messages.h"
#include "sysinfo/SysInfo.h"

namespace vorta {

// Where the upload goes and whose it is, as the settings held them when it started.
struct SysInfoUploadTarget {
    std::string serviceUrl;
    std::string userName;
    std::string userPwd;
};

// A memory size in KB in the shortest general form, up to 15 significant digits
// ("16314020", "1.5").
std::string FormatMemoryKB(long double kb);
// "total/available", both as FormatMemoryKB writes them.
std::string FormatMemoryInfo(long double totalKB, long double availKB);
// The processor names joined by ";".
std::string JoinCpuNames(const TCpuInfoArray& cpus);
// Each processor's speed as "2400 MHZ", joined by ";".
std::string JoinCpuFreqs(const TCpuInfoArray& cpus);

// The system info request from the collector's current values. Throws what collecting throws.
void FillSystemInfoReq(const TSysInfo& sysInfo, const SysInfoUploadTarget& target,
                       TPostSystemInfoReq& req);
// The network info request with one record per adapter entry, in table order.
void FillNetworkInfoReq(const std::vector<TRConnInfo>& conns, const SysInfoUploadTarget& target,
                        TPostNetworkInfoReq& req);

// Posts one upload document. An empty answer records code 1, a Result other than "0" records
// that code; false in both cases. A stop request abandons the exchange and records nothing.
bool PostUpload(const std::string& serviceUrl, const std::string& document, std::stop_token stop);

// Both requests in order, as the thread runs them; an error while collecting, building or
// sending ends the upload there. A failed answer to the first still lets the second go.
void UploadSysInfo(TSysInfo& sysInfo, const SysInfoUploadTarget& target, std::stop_token stop);

class TUpdateSysInfoTrd {
public:
    // Starts at once. `sysInfo` must outlive the thread: its owner stops and joins it first.
    TUpdateSysInfoTrd(TSysInfo& sysInfo, SysInfoUploadTarget target);
    void RequestStop() { thread_.request_stop(); }
    void Join() {
        if (thread_.joinable()) thread_.join();
    }
    bool Finished() const { return finished_; }

private:
    std::atomic<bool> finished_{false};
    std::jthread thread_;
};

}  // namespace vorta
