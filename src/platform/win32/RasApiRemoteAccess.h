#pragma once
#include "platform/win32/Guard.h"
// The remote access layer on the system's RAS library (rasapi32.dll), loaded on first use. When
// the library or one of its entry points is missing, every call that needs it raises
// std::runtime_error; the status calls then answer that no connection exists.

// clang-format off
#include <windows.h>
#include <ras.h>
// clang-format on

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "platform/RemoteAccess.h"
#include "platform/win32/RasDialProgress.h"
#include "platform/win32/UniqueModule.h"

namespace vorta::platform {

class RasApiRemoteAccess : public IRemoteAccess {
public:
    // Tests name a library that does not exist.
    explicit RasApiRemoteAccess(std::wstring library = L"rasapi32.dll");
    // Ends the dials still in progress.
    ~RasApiRemoteAccess() override;
    RasApiRemoteAccess(const RasApiRemoteAccess&) = delete;
    RasApiRemoteAccess& operator=(const RasApiRemoteAccess&) = delete;

    int EnumEntries(std::vector<std::string>& entries) override;
    int GetEntryDialParams(RasDialParams& params) override;
    int Dial(const RasDialParams& params, RasHandle& handle, Notifier notifier = {},
             std::stop_token stop = {}) override;
    int HangUp(RasHandle handle) override;
    int GetConnectStatus(RasHandle handle, int& state) override;
    int EnumConnections(std::vector<RasConnection>& connections) override;
    int GetProjection(RasHandle handle, std::string& clientIp, std::string& serverIp) override;
    std::string ErrorText(int code) override;
    bool ReadCounters(RasHandle handle, RasCounters& counters) override;

private:
    struct Api {
        decltype(&::RasEnumEntriesW) enumEntries = nullptr;
        decltype(&::RasGetEntryDialParamsW) entryDialParams = nullptr;
        decltype(&::RasDialW) dial = nullptr;
        decltype(&::RasHangUpW) hangUp = nullptr;
        decltype(&::RasEnumConnectionsW) enumConnections = nullptr;
        decltype(&::RasGetConnectStatusW) connectStatus = nullptr;
        decltype(&::RasGetProjectionInfoW) projection = nullptr;
        decltype(&::RasGetErrorStringW) errorString = nullptr;
        decltype(&::RasGetConnectionStatistics) statistics = nullptr;  // optional
    };
    struct Watcher {
        std::jthread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    // The entry points, loaded on first use; raises when dial-up is unavailable.
    const Api& Ras();
    // The entry points, or nothing when dial-up is unavailable.
    const Api* TryRas();
    void Load();
    // Hangs up and waits up to `settle` for RAS to let the connection go.
    DWORD HangUpAndWait(HRASCONN connection, std::chrono::milliseconds settle);
    // Waits for the dial to end: 0 once connected, else the error (the connection is then hung
    // up). `report` sees each state on the way.
    int AwaitDial(HRASCONN connection, DialProgress& progress, std::stop_token stop,
                  const Notifier& report);

    std::wstring library_;
    std::once_flag loadOnce_;
    UniqueModule module_;
    Api api_;
    std::string unavailable_;  // why dial-up cannot be used, empty when it can
    std::mutex lock_;
    std::map<HRASCONN, std::weak_ptr<DialProgress>> dialing_;
    std::vector<Watcher> watchers_;
};

}  // namespace vorta::platform
