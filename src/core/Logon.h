#pragma once
// The logon exchange and the domain list fetch, and the state they leave behind.

#include <cstdint>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>

#include "protocol/Messages.h"

namespace vorta {

// The profile of the last successful logon and the domain list of the last successful fetch.
// Written by background threads and the controller, read by the controller.
class LogonSession {
public:
    void SetUserProfile(std::unique_ptr<TQueryUserProfileResp> profile);
    std::shared_ptr<const TQueryUserProfileResp> UserProfile() const;
    std::shared_ptr<TGetServiceListResp> ServiceList() const;
    // A fetch takes the generation when it starts; every clear (a logoff) begins a new one, so
    // a list that arrives for an earlier logon is dropped.
    std::uint64_t Generation() const;
    // Stores `list` unless the list was cleared since `generation`; false when dropped.
    bool OfferServiceList(std::shared_ptr<TGetServiceListResp> list, std::uint64_t generation);
    void ClearServiceList();

private:
    mutable std::mutex lock_;
    std::uint64_t generation_ = 0;
    std::shared_ptr<const TQueryUserProfileResp> profile_;
    std::shared_ptr<TGetServiceListResp> serviceList_;
};

// The profile query: true when the service accepts the name and password. A failure records
// the last error (code 1 for no or an unreadable answer), except an error raised while the
// request is built, which leaves the last error as it was.
bool QueryUserProfile(const std::string& serviceUrl, const std::string& userName,
                      const std::string& password, LogonSession& session,
                      std::stop_token stop = {});

// The domain list fetch behind the refresh button. A failure records code 1 with
// "连接服务器异常！" for no or an unreadable answer, else the service's code with its text.
// `generation` is the session's when the fetch was asked for; a list for an earlier one is
// dropped (and counts as a success that changed nothing).
bool FetchServiceList(const std::string& serviceUrl, const std::string& userName,
                      const std::string& password, LogonSession& session, std::uint64_t generation,
                      std::stop_token stop = {});

enum class ServiceListOutcome { NoAnswer, ServiceError, Ok, Dropped };

// The domain list fetch of the service list thread: errors are recorded with their table text.
ServiceListOutcome RequestServiceList(const std::string& serviceUrl, const std::string& userName,
                                      const std::string& password, LogonSession& session,
                                      std::uint64_t generation, std::stop_token stop = {});

}  // namespace vorta
