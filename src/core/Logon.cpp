#include "core/Logon.h"

#include <exception>

#include "base/Translate.h"
#include "protocol/DebugLog.h"
#include "protocol/HttpRequest.h"
#include "protocol/ResultCodes.h"

namespace vorta {
namespace {

// Sends the domain list request; an empty text when there is no usable answer.
std::string PostServiceListRequest(const std::string& serviceUrl, const std::string& userName,
                                   const std::string& password, std::stop_token stop) {
    TBaseReq req;
    req.MsgType = kGetServiceListReq;
    req.Version = kProtocolVersion;
    req.UserName = userName;
    req.UserPwd = password;
    std::string answer;
    HttpRequest("POST", serviceUrl, req.SaveToXml(), answer, true, std::move(stop));
    return answer;
}

}  // namespace

void LogonSession::SetUserProfile(std::unique_ptr<TQueryUserProfileResp> profile) {
    std::shared_ptr<const TQueryUserProfileResp> shared(std::move(profile));
    std::lock_guard guard(lock_);
    profile_.swap(shared);
}

std::shared_ptr<const TQueryUserProfileResp> LogonSession::UserProfile() const {
    std::lock_guard guard(lock_);
    return profile_;
}

std::uint64_t LogonSession::Generation() const {
    std::lock_guard guard(lock_);
    return generation_;
}

bool LogonSession::OfferServiceList(std::shared_ptr<TGetServiceListResp> list,
                                    std::uint64_t generation) {
    std::lock_guard guard(lock_);
    if (generation != generation_) return false;
    serviceList_.swap(list);
    return true;
}

void LogonSession::ClearServiceList() {
    std::shared_ptr<TGetServiceListResp> old;
    std::lock_guard guard(lock_);
    ++generation_;
    serviceList_.swap(old);
}

std::shared_ptr<TGetServiceListResp> LogonSession::ServiceList() const {
    std::lock_guard guard(lock_);
    return serviceList_;
}

bool QueryUserProfile(const std::string& serviceUrl, const std::string& userName,
                      const std::string& password, LogonSession& session, std::stop_token stop) {
    try {
        TUserAuthReq req;
        req.MsgType = kQueryUserProfileReq;
        req.Version = kProtocolVersion;
        req.UserName = userName;
        req.UserPwd = password;
        std::string answer;
        HttpRequest("POST", serviceUrl, req.SaveToXml(), answer, true, std::move(stop));
        if (answer.empty()) {
            RecordServiceError(kResultExchangeFailed);
            return false;
        }
        auto resp = std::make_unique<TQueryUserProfileResp>();
        resp->LoadFromXml(answer);
        if (resp->Result == "0") {
            session.SetUserProfile(std::move(resp));
            return true;
        }
        RecordServiceError(ResultCodeToInt(resp->Result, kResultExchangeFailed));
        return false;
    } catch (const std::exception& e) {
        Debug(std::string("profile query: ") + e.what());
        return false;
    }
}

bool FetchServiceList(const std::string& serviceUrl, const std::string& userName,
                      const std::string& password, LogonSession& session, std::uint64_t generation,
                      std::stop_token stop) {
    try {
        const std::string answer =
            PostServiceListRequest(serviceUrl, userName, password, std::move(stop));
        auto resp = std::make_shared<TGetServiceListResp>();
        if (answer.empty() || !resp->LoadFromXml(answer)) {
            RecordServiceError(kResultExchangeFailed, Tr("连接服务器异常！"));
            return false;
        }
        if (resp->Result != "0") {
            const int code = ResultCodeToInt(resp->Result, kResultExchangeFailed);
            std::string text;
            ResultCodeText(code, text);
            RecordServiceError(code, text);
            return false;
        }
        session.OfferServiceList(std::move(resp), generation);
        return true;
    } catch (const std::exception& e) {
        Debug(std::string("service list: ") + e.what());
        RecordServiceError(kResultExchangeFailed, Tr("连接服务器异常！"));
        return false;
    }
}

ServiceListOutcome RequestServiceList(const std::string& serviceUrl, const std::string& userName,
                                      const std::string& password, LogonSession& session,
                                      std::uint64_t generation, std::stop_token stop) {
    try {
        const std::string answer =
            PostServiceListRequest(serviceUrl, userName, password, std::move(stop));
        if (answer.empty()) {
            RecordServiceError(kResultExchangeFailed);
            return ServiceListOutcome::NoAnswer;
        }
        auto resp = std::make_shared<TGetServiceListResp>();
        if (!resp->LoadFromXml(answer)) return ServiceListOutcome::NoAnswer;
        if (resp->Result != "0") {
            RecordServiceError(ResultCodeToInt(resp->Result, kResultExchangeFailed));
            return ServiceListOutcome::ServiceError;
        }
        return session.OfferServiceList(std::move(resp), generation) ? ServiceListOutcome::Ok
                                                                     : ServiceListOutcome::Dropped;
    } catch (const std::exception& e) {
        Debug(std::string("service list: ") + e.what());
        return ServiceListOutcome::NoAnswer;
    }
}

}  // namespace vorta
