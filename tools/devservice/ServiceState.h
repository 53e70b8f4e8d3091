#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "DevService.h"

namespace devservice {

// Records and pending faults, shared between the HTTP worker threads and the test thread.
class ServiceState {
public:
    void addRequest(RecordedRequest request);
    void addLineReport(LineReport report);
    void addSystemUpload(SystemUpload upload);
    void addNetworkUpload(NetworkUpload upload);
    void addPortalLogon(std::string remoteAddr);

    std::vector<RecordedRequest> requests() const;
    std::vector<LineReport> lineReports() const;
    std::vector<SystemUpload> systemUploads() const;
    std::vector<NetworkUpload> networkUploads() const;
    std::vector<std::string> portalLogons() const;
    bool loggedOnAtPortal(const std::string& remoteAddr) const;

    void setFault(Exchange exchange, Fault fault);  // throws std::invalid_argument
    // The fault to apply to one exchange of this kind (a default Fault if none); uses up one
    // of its count.
    Fault takeFault(Exchange exchange);
    void clearFaults();
    // Portal logons are records too: clearing them logs every address off the portal.
    void clearRecords();

private:
    mutable std::mutex mutex_;
    std::vector<RecordedRequest> requests_;
    std::vector<LineReport> lineReports_;
    std::vector<SystemUpload> systemUploads_;
    std::vector<NetworkUpload> networkUploads_;
    std::vector<std::string> portalLogons_;
    std::map<Exchange, Fault> faults_;
};

}  // namespace devservice
