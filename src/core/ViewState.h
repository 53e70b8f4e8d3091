#pragma once
// What the main window shows, decided by the controller without any GUI code. The window (or
// the headless front end) renders it. Both sides touch it on the controller's thread only: the
// front end writes the user's input fields (marked below) before it forwards the click, and
// the controller writes the rest.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/Translate.h"
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
    std::string Reason;           // why the line is not reported, if it is not
    std::int64_t ReportedAt = 0;  // seconds since the epoch of the last report taken; 0: never
    std::string LineID{};         // which record the row shows, for changes made from it
};

// The selected node of the domain tree: the root, a domain, or a resource of a domain.
struct DomainSelection {
    enum Level { None = -1, Root = 0, Domain = 1, Resource = 2 } level = None;
    std::size_t domain = 0;
    std::size_t resource = 0;
};

struct ViewState {
    // Written by the controller only.
    bool WindowVisible = false;
    int ActivePage = 0;

    // First page. The user's input, written by the front end; the controller also fills it
    // from the settings and may undo a click that a rule refuses.
    std::string EditUserName;
    std::string EditPassword;
    bool ChkBoxSavePwd = false;
    bool ChkBoxStartup = false;
    bool ChkBoxRunAsService = false;
    // First page, written by the controller only.
    bool EditsEnabled = true;
    bool BtnLogonEnabled = true;  // false while a logon exchange is out
    std::string BtnLogonCaption = Tr("登录");
    bool ChkBoxStartupEnabled = false;
    bool ChkBoxRunAsServiceEnabled = false;
    std::vector<LineRow> Lines;

    // Advanced page. The user's input, written by the front end (and by the controller as
    // above).
    bool cbIsInNet = false;
    bool rbAsMaster = false;
    bool rbAsSlave = true;
    bool cbInLANBack = false;
    bool suiCheckBoxUpdateSysInfo = true;
    // Advanced page, written by the controller only.
    bool rbAsMasterEnabled = false;
    bool rbAsSlaveEnabled = false;
    bool cbInLANBackEnabled = false;
    std::string MemoNative;

    // Domain page, written by the controller only (a tree click reaches it as an argument):
    // the tree shows `Domains` (null: empty tree).
    std::shared_ptr<TGetServiceListResp> Domains;
    DomainSelection Selected;
    std::string lab1 = "-", lab2 = "-", lab3 = "-", lab5 = "-", lab6 = "-", lab7 = "-";

    // Tray and menu, written by the controller only.
    TrayState Tray = TrayState::NotConnected;
    bool Action2Enabled = true;   // "登录(&L)"
    bool Action3Enabled = false;  // "注销(&U)"
};

const char* TrayHint(TrayState state);
int TrayIconIndex(TrayState state);

}  // namespace vorta
