#pragma once
// The main window: a borderless 568 x 335 window with its own title strip, a menu bar, four
// pages and a tray icon through which the client lives while the window is hidden. It renders
// a client's view state through its face (this process's client, or one it is attached to) and
// forwards the user's clicks; the controller decides.

#include <windows.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/ClientFace.h"
#include "core/ClientView.h"
#include "platform/NetworkTables.h"
#include "platform/RemoteAccess.h"
#include "platform/SystemFacts.h"
#include "ui/win32/Gdi.h"
#include "ui/win32/HintWindow.h"
#include "ui/win32/MenuStrip.h"
#include "ui/win32/TrayIcon.h"

namespace vorta::win32ui {

// What the window needs beside the controller; every member may be left empty.
struct MainWindowContext {
    platform::INetworkTables* network = nullptr;  // the line edit dialog's connections
    platform::IRemoteAccess* ras = nullptr;
    const platform::ISystemFacts* facts = nullptr;  // the about box's memory line
};

// The window's commands: menu items, and the controls' ids (their clicks arrive as commands).
namespace cmd {
enum : int {
    // Menus.
    Logoff = 100,  // Action3
    Logon,         // Action2
    Register,      // ActionReg
    Exit,          // ActionExitNABU_TIM, pmExitClient
    PaymentNotes,  // ActionFKXZ
    Support,
    DomainRegister,
    DomainTransfer,
    Forum,
    ValueAdded,
    VersionCheck,
    ChangePassword,
    PasswordRecovery,
    SysInfo,
    HelpContent,
    Recommend,
    Suggest,
    About,
    ToggleWindow,  // Restore1
    ShowPage,      // ShowPage + n shows page n; the tray's log item is ShowPage + 3
    // Controls.
    Minimise = 200,
    Close,
    Tabs,
    EditUserName,
    EditPassword,
    BtnLogon,
    BtnRegisterWizard,
    ChkBoxSavePwd,
    ChkBoxStartup,
    ChkBoxRunAsService,
    ListViewLine,
    BtAdd,
    BtModify,
    BtDelete,
    CbIsInNet,
    RbAsMaster,
    RbAsSlave,
    CbInLanBack,
    UpdateSysInfo,
    LabelWhy,
    Label1Protol,
    TreeViewDns,
    Label1,
    BtRefresh,
    ListViewLog,
    BtnClearLog,
    BtnSaveLog,
};
}  // namespace cmd

class MainWindow {
public:
    // Throws std::runtime_error when the window cannot be made (no desktop to show it on).
    MainWindow(IClientFace& face, MainWindowContext context);
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Shows another client from now on (the service the window attached to, or its own).
    void SetFace(IClientFace& face);
    HWND Handle() const { return window_.get(); }

    // What the controller asks for (through the view).
    void ShowMainWindow();
    void ShowHintWindow(const std::string& text);
    void LogChanged();
    void FocusEdit(EditBox box);
    // Shown once the current message is handled: the controller's loop runs on meanwhile.
    void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon);
    void Render();

    // Closing and minimising keep the client: to the tray, or minimised where there is none.
    void GoToTray();
    bool Visible() const;

    enum class ExitChoice { StopService, CloseWindow, Cancel };
    // Ends the window program (not the client it is attached to).
    std::function<void()> CloseProgram;

    LRESULT OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
    // Building (MainWindowLayout.cpp).
    void BuildTitleStrip();
    void BuildMenus();
    void BuildUserPage(int x, int y);
    void BuildAdvancedPage(int x, int y);
    void BuildDomainPage(int x, int y);
    void BuildLogPage(int x, int y);
    void BuildTray();
    // The page's background as a brush, so that labels and boxes on a page match it (a themed
    // tab control paints its pages in a colour of its own).
    void MakePageBrush();
    HWND PageChild(int page, const wchar_t* className, const std::string& text, DWORD style, int x,
                   int y, int w, int h, int id, DWORD exStyle = 0);

    // Rendering pieces (MainWindowRender.cpp).
    void RenderLines();
    void RenderDomains();
    void RenderTray();
    void ShowPage(int page);
    void TreeSelectionChanged();
    void LogDisplayInfo(NMLVDISPINFOW& info);
    // The hint of a line's row: when its address was last reported, and why not if it is not.
    void LineTip(NMLVGETINFOTIPW& tip);
    int SelectedLine() const;
    std::string SelectedLineId() const;

    // The user's clicks (MainWindow.cpp).
    void OnCommand(int id, int code);
    LRESULT OnNotify(NMHDR& header);
    void Act(FaceActionKind kind, std::vector<std::pair<std::string, std::string>> input = {},
             std::vector<std::string> args = {});
    void Forward(FaceActionKind kind, const char* field, HWND box);
    void btAddClick();
    void btModifyClick();
    void btDeleteClick();
    void BtnClearLogClick();
    void BtnSaveLogClick();
    void ToggleFromTray();
    void ShowMainFromHint();
    void ExitClick();
    ExitChoice AskExit();
    void OpenPage(const char* pathAndQuery);
    void OpenHelp();
    void ShowSysInfo();
    void ShowAbout();
    void ShowPendingMessages();
    void TrayNotice(UINT mouseMessage);
    void PopupTrayMenu();

    IClientFace* face_;
    MainWindowContext context_;
    UniqueWindow window_;
    HWND tips_ = nullptr;
    HWND tabs_ = nullptr;
    std::vector<HWND> pages_[4];
    MenuStrip menuStrip_;
    UniqueMenu fileMenu_, serviceMenu_, toolsMenu_, helpMenu_, trayMenu_;
    HWND btnMin_ = nullptr, btnClose_ = nullptr;
    HWND editUserName_ = nullptr, editPassword_ = nullptr, btnLogon_ = nullptr;
    HWND chkSavePwd_ = nullptr, chkStartup_ = nullptr, chkRunAsService_ = nullptr;
    HWND listViewLine_ = nullptr;
    HWND cbIsInNet_ = nullptr, rbAsMaster_ = nullptr, rbAsSlave_ = nullptr, cbInLANBack_ = nullptr;
    HWND chkUpdateSysInfo_ = nullptr, memoNative_ = nullptr;
    std::vector<HWND> links_;
    HWND treeViewDNS_ = nullptr;
    HWND labs_[8] = {};  // lab1 .. lab7 by number; lab4 does not exist
    HWND listViewLog_ = nullptr;
    UniqueImageList lineImages_, logImages_, domainImages_;
    UniqueIcon trayIcons_[2];  // off, on
    UniqueIcon pageImage_;
    UniqueBrush pageBrush_;
    std::unique_ptr<TrayIcon> tray_;
    std::unique_ptr<HintWindow> hint_;
    UINT taskbarCreated_ = 0;

    struct PendingMessage {
        std::string text, caption;
        MessageIcon icon;
    };
    std::deque<PendingMessage> messages_;
    bool messagesPosted_ = false;
    bool showingMessage_ = false;

    // What the controls show now, so that a render changes only what changed.
    std::vector<LineRow> shownLines_;
    std::string shownUserName_, shownPassword_;
    bool editsShown_ = false;
    bool linesShown_ = false;
    const void* shownDomains_ = nullptr;
    std::vector<DomainSelection> treeNodes_;  // what each tree node's lParam stands for
    int shownPage_ = -1;
    int currentPage_ = 0;
    int shownTray_ = -1;
    bool rendering_ = false;
    bool busy_ = false;
};

}  // namespace vorta::win32ui
