#pragma once
// What a window shows and drives: a client's view and log, and its actions. The window of the
// client's own process reads the controller directly (LocalFace); a window attached to a client
// of another process reads a copy kept from the instance channel's stream. Both render the same
// state and send the same actions, so there is one window.

#include <optional>
#include <string>

#include "core/FaceAction.h"
#include "core/LogList.h"
#include "core/ViewState.h"
#include "lines/LineInfo.h"

namespace vorta {

class TClient;
class TSysInfo;

class IClientFace {
public:
    virtual ~IClientFace() = default;
    virtual const ViewState& View() const = 0;
    virtual const TLogList& Log() const = 0;
    virtual std::string ServiceUrl() const = 0;
    // The user's click with the window's input; what it changes comes back through the view.
    virtual void Act(const FaceAction& action) = 0;
    // A copy of a line's record for the edit dialog; nothing when it is gone. An attached window
    // gets it without its password.
    virtual std::optional<TLineInfo> FindLine(const std::string& lineId) = 0;
    // The machine's description for the system information dialog; null when there is none.
    virtual TSysInfo* SysInfo() = 0;
    // True for a window attached to a client of another process (the service).
    virtual bool Attached() const = 0;
};

class LocalFace : public IClientFace {
public:
    explicit LocalFace(TClient& client) : client_(client) {}
    const ViewState& View() const override;
    const TLogList& Log() const override;
    std::string ServiceUrl() const override;
    void Act(const FaceAction& action) override;
    std::optional<TLineInfo> FindLine(const std::string& lineId) override;
    TSysInfo* SysInfo() override;
    bool Attached() const override { return false; }

private:
    TClient& client_;
};

}  // namespace vorta
