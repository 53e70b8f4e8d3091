#include "ServiceState.h"

#include <algorithm>
#include <stdexcept>

namespace devservice {

void ServiceState::addRequest(RecordedRequest request) {
    std::lock_guard lock(mutex_);
    requests_.push_back(std::move(request));
}

void ServiceState::addLineReport(LineReport report) {
    std::lock_guard lock(mutex_);
    lineReports_.push_back(std::move(report));
}

void ServiceState::addSystemUpload(SystemUpload upload) {
    std::lock_guard lock(mutex_);
    systemUploads_.push_back(std::move(upload));
}

void ServiceState::addNetworkUpload(NetworkUpload upload) {
    std::lock_guard lock(mutex_);
    networkUploads_.push_back(std::move(upload));
}

void ServiceState::addPortalLogon(std::string remoteAddr) {
    std::lock_guard lock(mutex_);
    portalLogons_.push_back(std::move(remoteAddr));
}

std::vector<RecordedRequest> ServiceState::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::vector<LineReport> ServiceState::lineReports() const {
    std::lock_guard lock(mutex_);
    return lineReports_;
}

std::vector<SystemUpload> ServiceState::systemUploads() const {
    std::lock_guard lock(mutex_);
    return systemUploads_;
}

std::vector<NetworkUpload> ServiceState::networkUploads() const {
    std::lock_guard lock(mutex_);
    return networkUploads_;
}

std::vector<std::string> ServiceState::portalLogons() const {
    std::lock_guard lock(mutex_);
    return portalLogons_;
}

bool ServiceState::loggedOnAtPortal(const std::string& remoteAddr) const {
    std::lock_guard lock(mutex_);
    return std::find(portalLogons_.begin(), portalLogons_.end(), remoteAddr) != portalLogons_.end();
}

void ServiceState::setFault(Exchange exchange, Fault fault) {
    if (fault.delayMs < 0) throw std::invalid_argument("fault delay must not be negative");
    if (fault.status != 0 && (fault.status < 200 || fault.status > 599)) {
        throw std::invalid_argument("fault status must be 0 or 200-599");
    }
    if (fault.count < -1) throw std::invalid_argument("fault count must be -1 or more");
    std::lock_guard lock(mutex_);
    if (fault.count == 0) {
        faults_.erase(exchange);
    } else {
        faults_[exchange] = std::move(fault);
    }
}

Fault ServiceState::takeFault(Exchange exchange) {
    std::lock_guard lock(mutex_);
    auto it = faults_.find(exchange);
    if (it == faults_.end()) return {};
    Fault fault = it->second;
    if (it->second.count > 0 && --it->second.count == 0) faults_.erase(it);
    return fault;
}

void ServiceState::clearFaults() {
    std::lock_guard lock(mutex_);
    faults_.clear();
}

void ServiceState::clearRecords() {
    std::lock_guard lock(mutex_);
    requests_.clear();
    lineReports_.clear();
    systemUploads_.clear();
    networkUploads_.clear();
    portalLogons_.clear();
}

}  // namespace devservice
