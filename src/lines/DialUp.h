#pragma once
// The dial-up engine: lists the remote access entries, dials one with the line's credentials,
// hangs up, reads the address the link received, and counts its traffic.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <stop_token>
#include <string>
#include <vector>

#include "platform/RemoteAccess.h"

namespace vorta {

enum class TDialMode { dmAsync = 0, dmSync = 1 };
enum class TLanguage { English = 0, Czech = 1, Portuguese = 2 };

class TDialUp {
public:
    // Runs a delivery on the owner's thread; without one, asynchronous progress is delivered on
    // the remote access layer's thread (still one notification at a time).
    using Post = std::function<void(std::function<void()>)>;

    explicit TDialUp(platform::IRemoteAccess& ras, Post post = {});
    ~TDialUp();
    TDialUp(const TDialUp&) = delete;
    TDialUp& operator=(const TDialUp&) = delete;

    TDialMode DialMode = TDialMode::dmAsync;
    std::string Entry;
    TLanguage Language = TLanguage::English;
    std::string UserName;
    std::string UserPwd;
    // How long HangUpConnection waits for the link to go; a link that stays is then left.
    std::chrono::milliseconds HangUpTimeout{15000};

    std::function<void(const std::string& entryName)> OnEntryGet;
    std::function<void()> OnDialing;
    std::function<void()> OnConnect;
    std::function<void(int errorCode, const std::string& errorMessage)> OnNotConnected;
    std::function<void(int state, int error, const std::string& messageText)> OnAsyncEvent;
    std::function<void(int errorCode, const std::string& errorMessage)> OnError;

    const std::vector<std::string>& Entries() const { return entries_; }
    const std::string& ServerIP() const { return serverIp_; }
    const std::string& ClientIP() const { return clientIp_; }
    platform::RasHandle Handle() const { return handle_; }
    std::uint32_t BytesXmit() const { return bytesXmit_; }
    std::uint32_t BytesRecv() const { return bytesRecv_; }
    std::uint32_t ConnectionSpeed() const { return speed_; }

    int GetEntries();
    int Dial() { return Dial(std::stop_token()); }
    // A stop requested on `stop` ends the dial in progress within a second; it then answers
    // (or, asynchronously, reports) platform::kRasDialStopped.
    int Dial(std::stop_token stop);
    int HangUp() { return HangUpConnection(handle_); }
    // Hangs up and waits until the link is gone, at most HangUpTimeout.
    int HangUpConnection(platform::RasHandle handle);
    int GetProjection(platform::RasHandle handle);
    std::string StateText(int state, int error);

    bool StartStatistics(bool start, bool refreshAdapters);
    bool ReadStatistics();
    void ResetStatistics();

    // The state texts, by language; empty for a state without one.
    static const char* StateName(TLanguage language, int state);

private:
    void Notify(int state, int error);

    platform::IRemoteAccess& ras_;
    Post post_;
    std::vector<std::string> entries_;
    std::string serverIp_;
    std::string clientIp_;
    platform::RasHandle handle_ = 0;

    // One asynchronous notification at a time: the next waits until this one is delivered.
    std::mutex asyncLock_;
    std::condition_variable asyncDelivered_;
    bool asyncPending_ = false;
    bool closing_ = false;

    std::uint64_t baseSent_ = 0, baseReceived_ = 0, rawSent_ = 0, rawReceived_ = 0;
    std::uint32_t bytesXmit_ = 0, bytesRecv_ = 0, speed_ = 0;
};

}  // namespace vorta
