#include "lines/LDailx.h"

#include "base/AsciiText.h"
#include "protocol/DebugLog.h"

#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

namespace vorta {
namespace {

// The entry's own spelling: the exact name if there is one, else the first in another letter
// case; empty when none matches.
std::string OwnSpelling(const std::vector<std::string>& entries, const std::string& entry) {
    std::string found;
    for (const auto& name : entries) {
        if (name == entry) return name;
        if (found.empty() && AsciiIEquals(name, entry)) found = name;
    }
    return found;
}

}  // namespace

TDailLine::~TDailLine() {
    StopKeepThread();
    std::lock_guard guard(engineLock_);
    engine_.reset();
}

platform::IRemoteAccess& TDailLine::Ras() {
    if (services_.ras == nullptr)
        throw std::runtime_error("dial-up is not available on this system");
    return *services_.ras;
}

void TDailLine::Initialize() {
    TBaseLine::Initialize();
    std::lock_guard guard(engineLock_);
    if (engine_ || services_.ras == nullptr) return;
    engine_ = std::make_unique<TDialUp>(*services_.ras);
    engine_->Language = TLanguage::Czech;
    engine_->DialMode = TDialMode::dmSync;
    engine_->OnError = [this](int code, const std::string& message) { RecordError(code, message); };
}

void TDailLine::RecordError(int code, const std::string& message) {
    AddError("ErrorCode:" + std::to_string(code) + "#9ErrorMessage:" + message);
}

int TDailLine::Connect() {
    int result = -1;
    try {
        Ras();
        std::lock_guard guard(engineLock_);
        if (!engine_) return result;
        engine_->GetEntries();
        // pppd looks the peer file up by its exact name.
        const std::string entry = OwnSpelling(engine_->Entries(), EntryName());
        if (entry.empty()) return result;
        engine_->Entry = entry;
        engine_->UserName = UserName();
        engine_->UserPwd = Password();
        engine_->StartStatistics(true, true);
        result = engine_->Dial(Stopping());
        if (result == 0) {
            engine_->GetProjection(engine_->Handle());
            SetIpAddress(engine_->ClientIP());
        }
    } catch (const std::exception& e) {
        Debug(std::string("dial: ") + e.what());
        // A missing remote access layer or a failing call ends the attempt.
    }
    return result;
}

int TDailLine::Disconnect() {
    Ras();
    std::lock_guard guard(engineLock_);
    return engine_ ? engine_->HangUp() : platform::kRasInvalidHandle;
}

bool TDailLine::GetActive() {
    std::string entry = EntryName();
    if (entry.empty()) return false;
    platform::IRemoteAccess& ras = Ras();
    // The connection carries the name Connect dialled, which may differ from the line's in case.
    std::vector<std::string> entries;
    if (ras.EnumEntries(entries) == 0)
        if (std::string own = OwnSpelling(entries, entry); !own.empty()) entry = std::move(own);
    std::vector<platform::RasConnection> connections;
    if (ras.EnumConnections(connections) != 0) return false;
    for (const auto& connection : connections) {
        if (connection.entryName != entry) continue;
        int state = 0;
        if (ras.GetConnectStatus(connection.handle, state) != 0 ||
            state != platform::kRasStateConnected)
            continue;
        std::string client, server;
        if (ras.GetProjection(connection.handle, client, server) == 0) SetIpAddress(client);
        return true;
    }
    return false;
}

}  // namespace vorta
