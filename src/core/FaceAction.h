#pragma once
// A user's click in a window, with the input the window holds (what the user typed or ticked),
// as one action for the controller. The window of this process applies it directly; an attached
// window sends it over the instance channel, where the client applies it the same way.

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/ViewState.h"
#include "lines/LineInfo.h"

namespace vorta {

class TClient;

enum class FaceActionKind {
    Logon,       // the logon (or logoff) button
    MenuLogon,   // "登录(&L)"
    MenuLogoff,  // "注销(&U)"
    Exit,        // the exit action
    EditEnter,   // the user entered the user name (args: "U") or password ("P") box
    SavePwd,     // the check boxes and buttons: their input field carries the new value
    Startup,
    RunAsService,
    UpdateSysInfo,
    InNet,
    AsMaster,
    AsSlave,
    InLanBack,
    Refresh,     // the domain list's refresh button
    TreeClick,   // args: level, domain, resource
    AddLine,     // args: the dialog's fields (see LineFields)
    ModifyLine,  // args: the line's id, then the dialog's fields
    DeleteLine,  // args: the line's id
    ClearLog,
};

struct FaceAction {
    FaceActionKind kind = FaceActionKind::Logon;
    // View state input fields by name (see viewwire::SetInputField), set before the click.
    std::vector<std::pair<std::string, std::string>> inputs;
    std::vector<std::string> args;
};

// The dialog's fields of a line as arguments, and back; nothing for arguments that are not.
std::vector<std::string> LineFields(const TLineInfo& fields);
std::optional<TLineInfo> LineFromFields(const std::vector<std::string>& args, std::size_t first);

// One request argument per part; each escaped so that the channel can carry it.
std::vector<std::string> EncodeFaceAction(const FaceAction& action);
std::optional<FaceAction> DecodeFaceAction(const std::vector<std::string>& args);

// Runs the action on the client (loop thread). An attached window never has the stored
// passwords: from it, an empty password box keeps the account's and a line's stored ones.
// Throws std::invalid_argument for an action whose input or arguments do not fit.
void ApplyFaceAction(TClient& client, const FaceAction& action, bool attached);

}  // namespace vorta
