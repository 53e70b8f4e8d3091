// The main window's controls, captions and hints.

#include <windows.h>

#include <commctrl.h>

#include "core/SystemTexts.h"
#include "ui/win32/Icons.h"
#include "ui/win32/MainWindow.h"
#include "ui/win32/Text.h"
#include "ui/win32/Window.h"

namespace vorta::win32ui {
namespace {

constexpr DWORD kVisible = WS_VISIBLE | WS_TABSTOP;

void AddItem(HMENU menu, int id, const char* caption) {
    AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(id), W(caption).c_str());
}

void AddColumn(HWND list, int index, const char* title, int width) {
    std::wstring text = W(title);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = text.data();
    column.cx = width;
    column.iSubItem = index;
    ListView_InsertColumn(list, index, &column);
}

}  // namespace

HWND MainWindow::PageChild(int page, const wchar_t* className, const std::string& text, DWORD style,
                           int x, int y, int w, int h, int id, DWORD exStyle) {
    HWND control = Child(window_.get(), className, text, style, x, y, w, h, id, exStyle);
    pages_[page].push_back(control);
    return control;
}

void MainWindow::BuildTitleStrip() {
    // The strip itself is painted by the window; its two buttons are drawn on it.
    btnMin_ = Child(window_.get(), L"BUTTON", "_", WS_VISIBLE | BS_OWNERDRAW, 526, 3, 18, 16,
                    cmd::Minimise);
    btnClose_ = Child(window_.get(), L"BUTTON", "\xc3\x97", WS_VISIBLE | BS_OWNERDRAW, 546, 3, 18,
                      16, cmd::Close);
    AddHint(tips_, btnMin_, "最小化");
    AddHint(tips_, btnClose_, "关闭");
}

void MainWindow::BuildMenus() {
    fileMenu_.reset(CreatePopupMenu());
    AddItem(fileMenu_.get(), cmd::Logoff, "注销(&U)");
    AddItem(fileMenu_.get(), cmd::Logon, "登录(&L)");
    AddItem(fileMenu_.get(), cmd::Register, "注册(&R)");
    AddItem(fileMenu_.get(), cmd::Exit, "退出Vorta客户端(&X)");

    serviceMenu_.reset(CreatePopupMenu());
    AddItem(serviceMenu_.get(), cmd::PaymentNotes, "付款须知(&Z)");
    AddItem(serviceMenu_.get(), cmd::Support, "技术支持(&Y)");
    AddItem(serviceMenu_.get(), cmd::DomainRegister, "域名注册(&X)");
    AddItem(serviceMenu_.get(), cmd::DomainTransfer, "域名转入(&W)");
    AddItem(serviceMenu_.get(), cmd::Forum, "技术交流区(&V)");
    AddItem(serviceMenu_.get(), cmd::ValueAdded, "增值服务(&U)");

    toolsMenu_.reset(CreatePopupMenu());
    AddItem(toolsMenu_.get(), cmd::VersionCheck, "版本检查(&C)");
    AddItem(toolsMenu_.get(), cmd::ChangePassword, "修改密码(&M)");
    AddItem(toolsMenu_.get(), cmd::PasswordRecovery, "密码找回(&Y)");
    AddItem(toolsMenu_.get(), cmd::SysInfo, "系统信息...(&S)");

    helpMenu_.reset(CreatePopupMenu());
    AddItem(helpMenu_.get(), cmd::HelpContent, "帮助主题(&H)");
    AddItem(helpMenu_.get(), cmd::Recommend, "推荐给朋友(&Y)");
    AddItem(helpMenu_.get(), cmd::Suggest, "提交建议(&Z)");
    AppendMenuW(helpMenu_.get(), MF_SEPARATOR, 0, nullptr);
    AddItem(helpMenu_.get(), cmd::About, "关于(&A)...");

    menuStrip_.Create(window_.get(), 1, 21, 566, 20);
    menuStrip_.Add("文件(&F)", fileMenu_.get());
    menuStrip_.Add("服务(&S)", serviceMenu_.get());
    menuStrip_.Add("工具(&T)", toolsMenu_.get());
    menuStrip_.Add("帮助(&H)", helpMenu_.get());
}

void MainWindow::BuildUserPage(int x, int y) {
    pageImage_ = TrayStateIcon(TrayState::LoggedOn, 40);
    HWND image = PageChild(0, L"STATIC", "", SS_ICON | SS_REALSIZEIMAGE, x + 6, y + 4, 40, 40, 0);
    SendMessageW(image, STM_SETICON, reinterpret_cast<WPARAM>(pageImage_.get()), 0);
    PageChild(0, L"STATIC", "请输入用户名和密码登录Vorta的服务器,如果尚未申请成为Vorta的用户", 0,
              x + 52, y + 8, 496, 14, 0);
    PageChild(0, L"STATIC", "或是第一次使用客户端请点击注册进行注册为Vorta用户", 0, x + 52, y + 26,
              496, 14, 0);
    PageChild(0, L"STATIC", "用户名：", 0, x + 6, y + 55, 52, 14, 0);
    editUserName_ = PageChild(0, L"EDIT", "", kVisible | ES_AUTOHSCROLL, x + 58, y + 51, 110, 20,
                              cmd::EditUserName, WS_EX_CLIENTEDGE);
    SendMessageW(editUserName_, EM_LIMITTEXT, 15, 0);
    PageChild(0, L"STATIC", "密  码：", 0, x + 178, y + 55, 52, 14, 0);
    editPassword_ = PageChild(0, L"EDIT", "", kVisible | ES_AUTOHSCROLL | ES_PASSWORD, x + 230,
                              y + 51, 110, 20, cmd::EditPassword, WS_EX_CLIENTEDGE);
    SendMessageW(editPassword_, EM_LIMITTEXT, 15, 0);
    btnLogon_ = PageChild(0, L"BUTTON", "登录", kVisible | BS_PUSHBUTTON, x + 350, y + 50, 70, 22,
                          cmd::BtnLogon);
    PageChild(0, L"BUTTON", "注册(&R)", kVisible | BS_PUSHBUTTON, x + 426, y + 50, 70, 22,
              cmd::BtnRegisterWizard);
    chkSavePwd_ = PageChild(0, L"BUTTON", "记住密码", kVisible | BS_CHECKBOX, x + 6, y + 78, 84, 18,
                            cmd::ChkBoxSavePwd);
    chkStartup_ = PageChild(0, L"BUTTON", texts::kStartupBox, kVisible | BS_CHECKBOX, x + 96,
                            y + 78, 200, 18, cmd::ChkBoxStartup);
    chkRunAsService_ = PageChild(0, L"BUTTON", texts::kServiceBox, kVisible | BS_CHECKBOX, x + 302,
                                 y + 78, 170, 18, cmd::ChkBoxRunAsService);
    AddHint(tips_, chkSavePwd_, "选择记住密码系统将在下次启动的时候自动登录Vorta服务器");
    AddHint(tips_, chkRunAsService_, texts::kServiceBoxTip);

    PageChild(0, L"BUTTON", "线路状况", BS_GROUPBOX, x + 4, y + 100, 548, 160, 0);
    listViewLine_ = PageChild(0, L"SysListView32", "",
                              kVisible | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS, x + 10,
                              y + 116, 458, 138, cmd::ListViewLine, WS_EX_CLIENTEDGE);
    ListView_SetExtendedListViewStyle(listViewLine_, LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP);
    ListView_SetBkColor(listViewLine_, GetSysColor(COLOR_INFOBK));
    ListView_SetTextBkColor(listViewLine_, GetSysColor(COLOR_INFOBK));
    lineImages_ = LineStateImages();
    ListView_SetImageList(listViewLine_, lineImages_.get(), LVSIL_SMALL);
    const std::pair<const char*, int> columns[] = {
        {"状态", 38}, {"组别", 50}, {"线路名称", 200}, {"是否必通", 100}, {"IP地址", 150}};
    for (int i = 0; i < 5; ++i) AddColumn(listViewLine_, i, columns[i].first, columns[i].second);
    PageChild(0, L"BUTTON", "新增", kVisible | BS_PUSHBUTTON, x + 476, y + 118, 70, 22, cmd::BtAdd);
    PageChild(0, L"BUTTON", "修改", kVisible | BS_PUSHBUTTON, x + 476, y + 146, 70, 22,
              cmd::BtModify);
    PageChild(0, L"BUTTON", "删除", kVisible | BS_PUSHBUTTON, x + 476, y + 174, 70, 22,
              cmd::BtDelete);
}

void MainWindow::BuildAdvancedPage(int x, int y) {
    PageChild(1, L"BUTTON", "主/备服务器高级设置", BS_GROUPBOX, x + 4, y + 4, 548, 46, 0);
    cbIsInNet_ = PageChild(1, L"BUTTON", "加入网络", kVisible | BS_CHECKBOX, x + 14, y + 24, 90, 18,
                           cmd::CbIsInNet);
    rbAsMaster_ = PageChild(1, L"BUTTON", "作为主服务器", kVisible | BS_RADIOBUTTON, x + 112,
                            y + 24, 110, 18, cmd::RbAsMaster);
    rbAsSlave_ = PageChild(1, L"BUTTON", "作为备份服务器", kVisible | BS_RADIOBUTTON, x + 228,
                           y + 24, 120, 18, cmd::RbAsSlave);
    cbInLANBack_ = PageChild(1, L"BUTTON", "备份服务器存在LAN内", kVisible | BS_CHECKBOX, x + 354,
                             y + 24, 170, 18, cmd::CbInLanBack);
    memoNative_ = PageChild(1, L"EDIT", "",
                            kVisible | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL,
                            x + 4, y + 56, 548, 152, 0, WS_EX_CLIENTEDGE);
    chkUpdateSysInfo_ = PageChild(1, L"BUTTON", "允许提交信息到服务器端", kVisible | BS_CHECKBOX,
                                  x + 4, y + 214, 220, 18, cmd::UpdateSysInfo);
    links_.push_back(PageChild(1, L"STATIC", "为什么要采集并提交我的系统信息？", SS_NOTIFY, x + 4,
                               y + 240, 220, 14, cmd::LabelWhy));
    links_.push_back(PageChild(1, L"STATIC", "查阅NABU\"协议\"", SS_NOTIFY, x + 240, y + 240, 120,
                               14, cmd::Label1Protol));
    for (HWND link : links_)
        SendMessageW(link, WM_SETFONT, reinterpret_cast<WPARAM>(LinkFont()), 0);
}

void MainWindow::BuildDomainPage(int x, int y) {
    treeViewDNS_ =
        PageChild(2, L"SysTreeView32", "",
                  kVisible | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS,
                  x + 4, y + 4, 170, 226, cmd::TreeViewDns, WS_EX_CLIENTEDGE);
    domainImages_ = DomainTreeImages();
    TreeView_SetImageList(treeViewDNS_, domainImages_.get(), TVSIL_NORMAL);
    PageChild(2, L"BUTTON", "", BS_GROUPBOX, x + 180, y, 372, 126, 0);
    PageChild(2, L"BUTTON", "", BS_GROUPBOX, x + 180, y + 128, 372, 102, 0);
    const std::pair<int, int> places[] = {{1, 14}, {2, 42}, {3, 70}, {7, 98}, {5, 142}, {6, 186}};
    for (const auto& [n, top] : places)
        labs_[n] = PageChild(2, L"STATIC", "-", SS_NOPREFIX, x + 188, y + top, 356,
                             n == 5 || n == 6 ? 40 : 26, 0);
    links_.push_back(PageChild(2, L"STATIC", "登录nabu管理站点提交或更新域名信息！", SS_NOTIFY,
                               x + 4, y + 240, 260, 14, cmd::Label1));
    SendMessageW(links_.back(), WM_SETFONT, reinterpret_cast<WPARAM>(LinkFont()), 0);
    PageChild(2, L"BUTTON", "刷新域名信息", kVisible | BS_PUSHBUTTON, x + 442, y + 236, 110, 22,
              cmd::BtRefresh);
}

void MainWindow::BuildLogPage(int x, int y) {
    listViewLog_ = PageChild(3, L"SysListView32", "",
                             kVisible | LVS_REPORT | LVS_OWNERDATA | LVS_SINGLESEL |
                                 LVS_SHOWSELALWAYS | LVS_NOSORTHEADER,
                             x + 4, y + 4, 548, 226, cmd::ListViewLog, WS_EX_CLIENTEDGE);
    ListView_SetExtendedListViewStyle(listViewLog_, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    logImages_ = LogKindImages();
    ListView_SetImageList(listViewLog_, logImages_.get(), LVSIL_SMALL);
    AddColumn(listViewLog_, 0, "标志", 60);
    AddColumn(listViewLog_, 1, "消息", 365);
    AddColumn(listViewLog_, 2, "日期/时间", 116);
    PageChild(3, L"BUTTON", "清除日志(&D)", kVisible | BS_PUSHBUTTON, x + 364, y + 236, 90, 22,
              cmd::BtnClearLog);
    PageChild(3, L"BUTTON", "保存日志(&S)", kVisible | BS_PUSHBUTTON, x + 460, y + 236, 90, 22,
              cmd::BtnSaveLog);
}

void MainWindow::BuildTray() {
    trayMenu_.reset(CreatePopupMenu());
    AddItem(trayMenu_.get(), cmd::ToggleWindow, "显示/隐藏主窗口(&S)");
    AppendMenuW(trayMenu_.get(), MF_SEPARATOR, 0, nullptr);
    AddItem(trayMenu_.get(), cmd::ShowPage + 3, "日        志(&L)");
    AppendMenuW(trayMenu_.get(), MF_SEPARATOR, 0, nullptr);
    AddItem(trayMenu_.get(), cmd::Exit, "退出Vorta客户端(&X)");
    trayIcons_[0] = TrayStateIcon(TrayState::NotConnected, GetSystemMetrics(SM_CXSMICON));
    trayIcons_[1] = TrayStateIcon(TrayState::LoggedOn, GetSystemMetrics(SM_CXSMICON));
    tray_ = std::make_unique<TrayIcon>(window_.get(), WM_APP + 10);
}

}  // namespace vorta::win32ui
