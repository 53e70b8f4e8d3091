#include "core/FaceAction.h"

#include <array>
#include <charconv>
#include <stdexcept>

#include "core/Client.h"
#include "core/ViewWire.h"

namespace vorta {
namespace {

constexpr std::array<std::pair<FaceActionKind, const char*>, 19> kNames = {{
    {FaceActionKind::Logon, "logon"},
    {FaceActionKind::MenuLogon, "menu-logon"},
    {FaceActionKind::MenuLogoff, "menu-logoff"},
    {FaceActionKind::Exit, "exit"},
    {FaceActionKind::EditEnter, "edit-enter"},
    {FaceActionKind::SavePwd, "save-password"},
    {FaceActionKind::Startup, "startup"},
    {FaceActionKind::RunAsService, "run-as-service"},
    {FaceActionKind::UpdateSysInfo, "update-sysinfo"},
    {FaceActionKind::InNet, "in-net"},
    {FaceActionKind::AsMaster, "as-master"},
    {FaceActionKind::AsSlave, "as-backup"},
    {FaceActionKind::InLanBack, "in-lan-backup"},
    {FaceActionKind::Refresh, "refresh"},
    {FaceActionKind::TreeClick, "tree-click"},
    {FaceActionKind::AddLine, "add-line"},
    {FaceActionKind::ModifyLine, "modify-line"},
    {FaceActionKind::DeleteLine, "delete-line"},
    {FaceActionKind::ClearLog, "clear-log"},
}};

template <typename Int>
bool ReadInt(const std::string& text, Int& out) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

void Need(const FaceAction& action, std::size_t count) {
    if (action.args.size() != count)
        throw std::invalid_argument("a window action with bad arguments");
}

}  // namespace

std::vector<std::string> LineFields(const TLineInfo& f) {
    return {f.MasterGroup ? "1" : "0",
            f.IsNecessary ? "1" : "0",
            std::to_string(f.LineKind),
            f.EntryName,
            f.UserName,
            f.Password};
}

std::optional<TLineInfo> LineFromFields(const std::vector<std::string>& args, std::size_t first) {
    if (args.size() != first + 6) return std::nullopt;
    const auto flag = [](const std::string& t, bool& out) {
        if (t != "0" && t != "1") return false;
        out = t == "1";
        return true;
    };
    TLineInfo f;
    if (!flag(args[first], f.MasterGroup) || !flag(args[first + 1], f.IsNecessary) ||
        !ReadInt(args[first + 2], f.LineKind))
        return std::nullopt;
    f.EntryName = args[first + 3];
    f.UserName = args[first + 4];
    f.Password = args[first + 5];
    return f;
}

std::vector<std::string> EncodeFaceAction(const FaceAction& action) {
    std::vector<std::string> out;
    for (const auto& [kind, name] : kNames)
        if (kind == action.kind) out.emplace_back(name);
    out.push_back(std::to_string(action.inputs.size()));
    for (const auto& [name, value] : action.inputs) {
        out.push_back(viewwire::Escape(name));
        out.push_back(viewwire::Escape(value));
    }
    for (const std::string& arg : action.args) out.push_back(viewwire::Escape(arg));
    return out;
}

std::optional<FaceAction> DecodeFaceAction(const std::vector<std::string>& args) {
    if (args.size() < 2) return std::nullopt;
    FaceAction action;
    bool known = false;
    for (const auto& [kind, name] : kNames)
        if (args[0] == name) action.kind = kind, known = true;
    std::size_t inputs = 0;
    if (!known || !ReadInt(args[1], inputs) || inputs > (args.size() - 2) / 2) return std::nullopt;
    std::size_t at = 2;
    for (std::size_t i = 0; i < inputs; ++i, at += 2)
        action.inputs.emplace_back(viewwire::Unescape(args[at]), viewwire::Unescape(args[at + 1]));
    for (; at < args.size(); ++at) action.args.push_back(viewwire::Unescape(args[at]));
    return action;
}

void ApplyFaceAction(TClient& client, const FaceAction& action, bool attached) {
    ViewState& view = client.View();
    for (const auto& [name, value] : action.inputs) {
        if (attached && name == "EditPassword" && value.empty()) continue;
        if (!viewwire::SetInputField(view, name, value))
            throw std::invalid_argument("a window action with an unknown input " + name);
    }
    switch (action.kind) {
        case FaceActionKind::Logon:
            return client.BtnLogonClick();
        case FaceActionKind::MenuLogon:
            return client.Action2();
        case FaceActionKind::MenuLogoff:
            return client.Action3();
        case FaceActionKind::Exit:
            return client.ActionExit();
        case FaceActionKind::EditEnter:
            Need(action, 1);
            return client.EditEnter(action.args[0] == "U" ? EditBox::UserName : EditBox::Password);
        case FaceActionKind::SavePwd:
            return client.ChkBoxSavePwdClick();
        case FaceActionKind::Startup:
            return client.ChkBoxStartupClick();
        case FaceActionKind::RunAsService:
            return client.ChkBoxRunAsServiceClick();
        case FaceActionKind::UpdateSysInfo:
            return client.UpdateSysInfoClick();
        case FaceActionKind::InNet:
            return client.cbIsInNetClick();
        case FaceActionKind::AsMaster:
            return client.rbAsMasterClick();
        case FaceActionKind::AsSlave:
            return client.rbAsSlaveClick();
        case FaceActionKind::InLanBack:
            return;  // the box only sets its input, which the next save stores
        case FaceActionKind::Refresh:
            return client.BtnRefreshDomainInfoClick();
        case FaceActionKind::TreeClick: {
            Need(action, 3);
            int level = 0;
            DomainSelection s;
            if (!ReadInt(action.args[0], level) || level < -1 || level > 2 ||
                !ReadInt(action.args[1], s.domain) || !ReadInt(action.args[2], s.resource))
                throw std::invalid_argument("a tree click with a bad node");
            s.level = static_cast<DomainSelection::Level>(level);
            return client.TreeViewDNSClick(s);
        }
        case FaceActionKind::AddLine: {
            const auto fields = LineFromFields(action.args, 0);
            if (!fields) throw std::invalid_argument("a line with bad fields");
            return client.AddLine(*fields);
        }
        case FaceActionKind::ModifyLine: {
            auto fields = LineFromFields(action.args, 1);
            if (!fields) throw std::invalid_argument("a line with bad fields");
            const std::string& id = action.args[0];
            if (attached && fields->Password.empty() && client.LinesMng())
                if (const auto line = client.LinesMng()->Find(id))
                    fields->Password = line->info.Password;
            return client.ModifyLine(id, *fields);
        }
        case FaceActionKind::DeleteLine:
            Need(action, 1);
            return client.DeleteLine(action.args[0]);
        case FaceActionKind::ClearLog:
            return client.ClearLog();
    }
}

}  // namespace vorta
