#pragma once
// The dial-up line: a remote access entry the client dials and hangs up itself.

#include <memory>
#include <mutex>

#include "lines/DialUp.h"
#include "lines/LineBase.h"

namespace vorta {

class TDailLine : public TBaseLine {
public:
    explicit TDailLine(LineServices& services) : TBaseLine(services) {}
    ~TDailLine() override;

    void Initialize() override;
    // 0 when connected, -1 when the entry does not exist or no dial was made, else the error.
    // The entry is found in any letter case and dialled in its own spelling; the line's stop
    // (its deletion, the client's end) ends a dial in progress.
    int Connect() override;
    // Hangs up the link this line dialled last; a link brought up by other means stays up.
    int Disconnect() override;
    std::string GetIpAddress() override { return IpAddressField(); }
    // Up when a connection of this line's entry is connected, whoever brought it up: the entry
    // as Connect finds it, else exactly the line's entry name.
    bool GetActive() override;
    void SetActive(bool value) override { value ? Connect() : Disconnect(); }
    std::string Describe() override { return "ClassName: TDailLine"; }
    bool Authenticate() override { return true; }

    void RecordError(int code, const std::string& message);

private:
    platform::IRemoteAccess& Ras();

    std::mutex engineLock_;  // one dial or hang-up at a time
    std::unique_ptr<TDialUp> engine_;
};

}  // namespace vorta
