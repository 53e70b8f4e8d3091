#include "ui/win32/LineEditDialog.h"

#include <windowsx.h>

#include <string>
#include <vector>

#include "lines/ConnectionChoices.h"
#include "lines/LineFactory.h"
#include "lines/LineRules.h"
#include "ui/win32/Text.h"

namespace vorta::win32ui {
namespace {

enum : int { kLineType = 100, kUType, kUserName, kUserPwd, kMaster, kSlave, kNecessary };

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string ComboText(HWND box) {
    const int at = ComboBox_GetCurSel(box);
    if (at < 0) return {};
    std::wstring text(static_cast<std::size_t>(ComboBox_GetLBTextLen(box, at)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(SendMessageW(box, CB_GETLBTEXT, static_cast<WPARAM>(at),
                                                      reinterpret_cast<LPARAM>(text.data()))));
    return U8(text);
}

void AddChoice(HWND box, const std::string& text) {
    SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(text).c_str()));
}

}  // namespace

LineEditDialog::LineEditDialog(platform::INetworkTables* tables, platform::IRemoteAccess* ras)
    : Dialog("线路信息", 368, 166), tables_(tables), ras_(ras) {
    centreOnOwner_ = true;
}

int LineEditDialog::Kind() const {
    return ComboBox_GetCurSel(cbbUType_);
}

void LineEditDialog::OnInit() {
    // Tab order follows the creation order: the lists, the user data, the check box, the group,
    // then the buttons.
    constexpr DWORD tab = WS_TABSTOP;
    Control(L"STATIC", "线路选择", 0, 16, 15, 60, 14);
    cbbLineType_ =
        Control(L"COMBOBOX", "", tab | CBS_DROPDOWNLIST | WS_VSCROLL, 80, 12, 270, 200, kLineType);
    Control(L"STATIC", "连接类型", 0, 16, 43, 60, 14);
    cbbUType_ =
        Control(L"COMBOBOX", "", tab | CBS_DROPDOWNLIST | WS_VSCROLL, 80, 40, 270, 200, kUType);
    label6_ = Control(L"STATIC", "用户名称", 0, 16, 71, 60, 14);
    edUserName_ =
        Control(L"EDIT", "", tab | ES_AUTOHSCROLL, 80, 68, 100, 20, kUserName, WS_EX_CLIENTEDGE);
    label7_ = Control(L"STATIC", "用户密码", 0, 194, 71, 56, 14);
    edUserPwd_ = Control(L"EDIT", "", tab | ES_AUTOHSCROLL | ES_PASSWORD, 250, 68, 100, 20,
                         kUserPwd, WS_EX_CLIENTEDGE);
    SendMessageW(edUserPwd_, EM_SETPASSWORDCHAR, '*', 0);
    Control(L"STATIC", "线路组别", 0, 16, 101, 60, 14);
    cbIsNecessary_ =
        Control(L"BUTTON", "必通线路", tab | BS_AUTOCHECKBOX, 250, 99, 90, 18, kNecessary);
    rbMasterGroup_ =
        Control(L"BUTTON", "主组", tab | WS_GROUP | BS_AUTORADIOBUTTON, 84, 99, 60, 18, kMaster);
    rbSlave_ = Control(L"BUTTON", "备组", BS_AUTORADIOBUTTON, 152, 99, 60, 18, kSlave);
    Control(L"STATIC", "", SS_ETCHEDHORZ, 8, 124, 352, 2);
    btnOK_ = Control(L"BUTTON", "确定", tab | WS_GROUP | BS_DEFPUSHBUTTON, 196, 134, 75, 23, IDOK);
    Control(L"BUTTON", "取消", tab | BS_PUSHBUTTON, 280, 134, 75, 23, IDCANCEL);

    // FormShow.
    std::vector<std::string> kinds;
    TLineFactory::GetLineTypeNames(kinds);
    for (const std::string& kind : kinds) AddChoice(cbbUType_, kind);
    EnableWindow(btnOK_, EditMode == 1 || EditMode == 2);
    const bool adding = EditMode == 1;
    const int kind = adding ? 0 : Record.LineKind;
    ComboBox_SetCurSel(cbbUType_, kind);
    FillConnections(kind);
    if (adding) {
        ComboBox_SetCurSel(cbbLineType_, ComboBox_GetCount(cbbLineType_) > 0 ? 0 : -1);
        Button_SetCheck(rbMasterGroup_, BST_CHECKED);
    } else {
        // A connection the system no longer has leaves the list without a selection (the
        // search ignores letter case).
        ComboBox_SetCurSel(
            cbbLineType_,
            static_cast<int>(SendMessageW(cbbLineType_, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                          reinterpret_cast<LPARAM>(W(Record.EntryName).c_str()))));
        SetWindowTextW(edUserName_, W(Record.UserName).c_str());
        SetWindowTextW(edUserPwd_, W(Record.Password).c_str());
        Button_SetCheck(Record.MasterGroup ? rbMasterGroup_ : rbSlave_, BST_CHECKED);
        Button_SetCheck(cbIsNecessary_, Record.IsNecessary ? BST_CHECKED : BST_UNCHECKED);
    }
    EnableWindow(cbbLineType_, adding);
    EnableWindow(cbbUType_, adding);
    cbbUTypeChange();
}

void LineEditDialog::cbbUTypeChange() {
    const int show = TLineFactory::NeedUserInfo(Kind()) ? SW_SHOW : SW_HIDE;
    for (HWND control : {label6_, label7_, edUserName_, edUserPwd_}) ShowWindow(control, show);
}

void LineEditDialog::FillConnections(int kind) {
    const std::string kept = ComboText(cbbLineType_);
    ComboBox_ResetContent(cbbLineType_);
    for (const std::string& name : ConnectionChoices(kind, tables_, ras_))
        AddChoice(cbbLineType_, name);
    const int again =
        static_cast<int>(SendMessageW(cbbLineType_, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                      reinterpret_cast<LPARAM>(W(kept).c_str())));
    ComboBox_SetCurSel(cbbLineType_,
                       again >= 0 ? again : (ComboBox_GetCount(cbbLineType_) > 0 ? 0 : -1));
}

bool LineEditDialog::MayClose() {
    const bool needUserInfo = TLineFactory::NeedUserInfo(Kind());
    const std::string user = WindowText(edUserName_), password = WindowText(edUserPwd_);
    if (needUserInfo && (Trimmed(user).empty() || Trimmed(password).empty())) {
        Message(Handle(), "请输入用户名，密码信息！", MB_OK | MB_ICONERROR);
        SetFocus(edUserName_);
        return false;
    }
    // What the lines file cannot hold as typed is refused here, with its limit, rather than
    // cut: the controller refuses it too. An existing line keeps its connection.
    struct Checked {
        LineText field;
        std::string text;
        HWND focus;
        bool shown;
    };
    const Checked checks[] = {
        {LineText::EntryName, ComboText(cbbLineType_), cbbLineType_, EditMode == 1},
        {LineText::UserName, user, edUserName_, needUserInfo},
        {LineText::Password, password, edUserPwd_, needUserInfo}};
    for (const Checked& check : checks) {
        if (!check.shown) continue;
        if (const std::string why = TextRefusal(check.field, check.text); !why.empty()) {
            Message(Handle(), why, MB_OK | MB_ICONERROR);
            SetFocus(check.focus);
            return false;
        }
    }
    return true;
}

bool LineEditDialog::OnCommand(int id, int code) {
    if (id == kUType && code == CBN_SELCHANGE) {
        // Only an added line may change its kind; the connections follow the kind.
        if (IsWindowEnabled(cbbUType_)) FillConnections(Kind());
        cbbUTypeChange();
        return true;
    }
    if (id != IDOK) return false;
    if (!IsWindowEnabled(btnOK_) || !MayClose()) return true;
    Record.MasterGroup = Button_GetCheck(rbMasterGroup_) == BST_CHECKED;
    Record.IsNecessary = Button_GetCheck(cbIsNecessary_) == BST_CHECKED;
    Record.LineKind = static_cast<decltype(Record.LineKind)>(Kind());
    Record.EntryName = ComboText(cbbLineType_);
    Record.UserName = WindowText(edUserName_);
    Record.Password = WindowText(edUserPwd_);
    End(IDOK);
    return true;
}

}  // namespace vorta::win32ui
