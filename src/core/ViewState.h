#pragma once
// What the main window shows, decided by the controller without any GUI code. The window (or
// the headless front end) renders it; the controller alone changes it, on its own thread.

#include <memory>
#include <string>
#include <vector>

#include "protocol/Messages.h"

namespace vorta {

enum class TrayState { NotConnected, LoggedOff, LoggedOn };

// One row of the line list.
struct LineRow {
    bool IsActive = false;
    bool MasterGroup = true;
    std::string EntryName;
    bool IsNecessary = false;
    std::string IpAddress;
    std::string Reason;  // why the line's report could not be sent, if it could not
};

// The selected node of the domain tree: the root, a domain, or a resource of a domain.
struct DomainSelection {
    enum Level { None = -1, Root = 0, Domain = 1, Resource = 2 } level = None;
    std::size_t domain = 0;
    std::size_t resource = 0;
};

struct ViewState {
    bool WindowVisible = false;
    int ActivePage = 0;

    // First page.
    std::string EditUserName;
    std::string EditPassword;
    bool EditsEnabled = true;
    std::string BtnLogonCaption = "登录";
    bool ChkBoxSavePwd = false;
    bool ChkBoxStartup = false;
    bool ChkBoxStartupEnabled = false;
    bool ChkBoxRunAsService = false;
    bool ChkBoxRunAsServiceEnabled = false;
    std::vector<LineRow> Lines;

    // Advanced page.
    bool cbIsInNet = false;
    bool rbAsMaster = false;
    bool rbAsSlave = true;
    bool rbAsMasterEnabled = false;
    bool rbAsSlaveEnabled = false;
    bool cbInLANBack = false;
    bool cbInLANBackEnabled = false;
    bool suiCheckBoxUpdateSysInfo = true;
    std::string MemoNative;

    // Domain page: the tree shows `Domains` (null: empty tree).
    std::shared_ptr<TGetServiceListResp> Domains;
    DomainSelection Selected;
    std::string lab1 = "-", lab2 = "-", lab3 = "-", lab5 = "-", lab6 = "-", lab7 = "-";

    // Tray and menu.
    TrayState Tray = TrayState::NotConnected;
    bool Action2Enabled = true;   // "登录(&L)"
    bool Action3Enabled = false;  // "注销(&U)"
};

const char* TrayHint(TrayState state);
int TrayIconIndex(TrayState state);

}  // namespace vorta
