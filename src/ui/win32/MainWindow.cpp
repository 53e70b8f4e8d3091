#include "ui/win32/MainWindow.h"

#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <stdexcept>

#include "core/WebPages.h"
#include "ui/win32/Icons.h"
#include "ui/win32/LineEditDialog.h"
#include "ui/win32/SmallDialogs.h"
#include "ui/win32/Text.h"
#include "ui/win32/Window.h"

namespace vorta::win32ui {
namespace {

constexpr wchar_t kClass[] = L"VortaMainFrm";
constexpr UINT kTrayMessage = WM_APP + 10;
constexpr UINT kShowMessages = WM_APP + 11;
constexpr int kWidth = 568, kHeight = 335;
constexpr COLORREF kTitleColor = RGB(0x0a, 0x24, 0x6a);
constexpr RECT kTitle{1, 1, kWidth - 1, 21};

const std::pair<int, const char*> kPages[] = {
    {cmd::Register, page::kRegister},
    {cmd::PaymentNotes, page::kPaymentNotes},
    {cmd::Support, page::kSupport},
    {cmd::DomainRegister, page::kDomainRegister},
    {cmd::DomainTransfer, page::kDomainTransfer},
    {cmd::Forum, page::kForum},
    {cmd::ValueAdded, page::kValueAdded},
    {cmd::VersionCheck, page::kVersionCheck},
    {cmd::ChangePassword, page::kChangePassword},
    {cmd::PasswordRecovery, page::kPasswordRecovery},
    {cmd::Recommend, page::kRecommend},
    {cmd::BtnRegisterWizard, page::kRegister},
    {cmd::LabelWhy, page::kWhyCollect},
    {cmd::Label1Protol, page::kAgreement},
    {cmd::Label1, page::kDomainAdmin},
};

UINT BoxIcon(MessageIcon icon) {
    return icon == MessageIcon::Error ? MB_ICONERROR : MB_ICONINFORMATION;
}

void Open(HWND owner, const std::string& address) {
    // A shell that cannot open it reports nothing, as the pages are a convenience.
    ShellExecuteW(owner, L"open", W(address).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

std::filesystem::path ProgramFolder() {
    std::wstring path(MAX_PATH, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return std::filesystem::path(path).parent_path();
}

// The log's text in the system's ANSI code page; UTF-8 (with its mark) when a character has no
// place there, so that nothing is lost.
std::string ForLogFile(const std::string& utf8) {
    const std::wstring wide = W(utf8);
    BOOL lost = FALSE;
    const int size = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, &lost);
    if (lost || size <= 0) return "\xEF\xBB\xBF" + utf8;
    std::string ansi(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), ansi.data(), size,
                        nullptr, nullptr);
    return ansi;
}

}  // namespace

MainWindow::MainWindow(IClientFace& face, MainWindowContext context)
    : face_(&face), context_(context) {
    RegisterWindowClass(kClass, ObjectProc<MainWindow>, GetSysColorBrush(COLOR_BTNFACE));
    CloseProgram = [] { PostQuitMessage(0); };
    RECT frame{0, 0, kWidth, kHeight};
    AdjustWindowRectEx(&frame, WS_POPUP, FALSE, 0);
    const int w = frame.right - frame.left, h = frame.bottom - frame.top;
    RECT area;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    window_.reset(CreateWindowExW(
        0, kClass, L"Vorta V1.0", WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN,
        area.left + (area.right - area.left - w) / 2, area.top + (area.bottom - area.top - h) / 2,
        w, h, nullptr, nullptr, GetModuleHandleW(nullptr), this));
    if (!window_) throw std::runtime_error("the main window cannot be made (no desktop)");
    taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
    tips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                            window_.get(), nullptr, GetModuleHandleW(nullptr), nullptr);
    BuildTitleStrip();
    BuildMenus();
    tabs_ = Child(window_.get(), WC_TABCONTROLW, "", WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP, 2,
                  42, kWidth - 4, kHeight - 44, cmd::Tabs);
    const char* titles[] = {"用户状态", "高级设置", "域名信息", "日志"};
    for (int i = 0; i < 4; ++i) {
        std::wstring text = W(titles[i]);
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = text.data();
        TabCtrl_InsertItem(tabs_, i, &item);
    }
    RECT body{0, 0, kWidth - 4, kHeight - 44};
    TabCtrl_AdjustRect(tabs_, FALSE, &body);
    const int x = 2 + body.left, y = 42 + body.top;
    BuildUserPage(x, y);
    BuildAdvancedPage(x, y);
    BuildDomainPage(x, y);
    BuildLogPage(x, y);
    BuildTray();
    MakePageBrush();
    ShowPage(0);
    LogChanged();
    Render();
}

MainWindow::~MainWindow() = default;

void MainWindow::MakePageBrush() {
    RECT box;
    GetClientRect(tabs_, &box);
    HDC screen = GetDC(tabs_);
    UniqueDc memory(CreateCompatibleDC(screen));
    const UniqueBitmap picture(CreateCompatibleBitmap(screen, box.right, box.bottom));
    ReleaseDC(tabs_, screen);
    {
        const Selected select(memory.get(), picture.get());
        FillRect(memory.get(), &box, GetSysColorBrush(COLOR_BTNFACE));
        SendMessageW(tabs_, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory.get()),
                     PRF_CLIENT | PRF_ERASEBKGND);
    }
    pageBrush_.reset(CreatePatternBrush(picture.get()));
}

void MainWindow::SetFace(IClientFace& face) {
    face_ = &face;
    linesShown_ = editsShown_ = false;
    shownDomains_ = nullptr;
    shownPage_ = -1;
    LogChanged();
    Render();
}

bool MainWindow::Visible() const {
    return IsWindowVisible(window_.get()) && !IsIconic(window_.get());
}

void MainWindow::Act(FaceActionKind kind, std::vector<std::pair<std::string, std::string>> input,
                     std::vector<std::string> args) {
    input.emplace_back("EditUserName", WindowText(editUserName_));
    input.emplace_back("EditPassword", WindowText(editPassword_));
    face_->Act(FaceAction{kind, std::move(input), std::move(args)});
    Render();
}

void MainWindow::Forward(FaceActionKind kind, const char* field, HWND box) {
    if (rendering_) return;
    // The box shows the view; the click asks for the other state, which the controller decides.
    const bool on = Button_GetCheck(box) != BST_CHECKED;
    Act(kind, {{field, on ? "1" : "0"}});
}

void MainWindow::ShowMainWindow() {
    ShowWindow(window_.get(), IsIconic(window_.get()) ? SW_RESTORE : SW_SHOW);
    SetForegroundWindow(window_.get());
}

void MainWindow::GoToTray() {
    // Without a tray a hidden window could not be reached again: it is minimised instead.
    if (tray_ && tray_->Present())
        ShowWindow(window_.get(), SW_HIDE);
    else
        ShowWindow(window_.get(), SW_MINIMIZE);
}

void MainWindow::ToggleFromTray() {
    if (Visible())
        GoToTray();
    else
        ShowMainWindow();
}

void MainWindow::ShowHintWindow(const std::string& text) {
    if (!hint_) hint_ = std::make_unique<HintWindow>([this] { ShowMainFromHint(); });
    hint_->HintHeight = 117;
    hint_->HintWidth = 182;
    hint_->TitleColor = RGB(0, 0, 0);
    hint_->SetTitle(kMessageCaption);
    hint_->InfoColor = RGB(0, 0, 0);
    hint_->SetInfo(text);
    hint_->DelaySeconds = 5;
    hint_->StartAnimation();
}

void MainWindow::ShowMainFromHint() {
    if (Visible()) return;
    if (hint_) hint_->Close();
    ShowMainWindow();
}

void MainWindow::FocusEdit(EditBox box) {
    SetFocus(box == EditBox::UserName ? editUserName_ : editPassword_);
}

void MainWindow::ShowMessage(const std::string& text, const std::string& caption,
                             MessageIcon icon) {
    messages_.push_back({text, caption, icon});
    if (!messagesPosted_) {
        messagesPosted_ = true;
        PostMessageW(window_.get(), kShowMessages, 0, 0);
    }
}

void MainWindow::ShowPendingMessages() {
    messagesPosted_ = false;
    // One box at a time; the ones that come meanwhile follow it.
    if (showingMessage_) return;
    showingMessage_ = true;
    while (!messages_.empty()) {
        const PendingMessage next = messages_.front();
        messages_.pop_front();
        MessageBoxW(window_.get(), W(next.text).c_str(), W(next.caption).c_str(),
                    MB_OK | BoxIcon(next.icon));
    }
    showingMessage_ = false;
}

void MainWindow::ExitClick() {
    if (!face_->Attached()) {
        Act(FaceActionKind::Exit);
        return;
    }
    switch (AskExit()) {
        case ExitChoice::StopService:
            Act(FaceActionKind::Exit);
            break;
        case ExitChoice::CloseWindow:
            CloseProgram();
            break;
        case ExitChoice::Cancel:
            break;
    }
}

MainWindow::ExitChoice MainWindow::AskExit() {
    ExitDialog dialog;
    switch (dialog.Run(window_.get())) {
        case ExitDialog::kStopService:
            return ExitChoice::StopService;
        case ExitDialog::kCloseWindow:
            return ExitChoice::CloseWindow;
        default:
            return ExitChoice::Cancel;
    }
}

void MainWindow::btAddClick() {
    LineEditDialog dialog(context_.network, context_.ras);
    dialog.EditMode = 1;
    dialog.LineIndex = -1;
    if (dialog.Run(window_.get()) != IDOK) return;
    Act(FaceActionKind::AddLine, {}, LineFields(dialog.Record));
}

void MainWindow::btModifyClick() {
    // The line the user sees selected, by id: the list may change while the dialog is open,
    // and the change then still goes to this line. The dialog opens on a copy of the record.
    const std::string lineId = SelectedLineId();
    const std::optional<TLineInfo> snapshot = face_->FindLine(lineId);
    if (!snapshot) {
        Message(window_.get(), "请先选择要操作的线路！", MB_OK | MB_ICONERROR);
        return;
    }
    LineEditDialog dialog(context_.network, context_.ras);
    dialog.EditMode = 2;
    dialog.LineIndex = SelectedLine();
    dialog.Record = *snapshot;
    if (dialog.Run(window_.get()) != IDOK) return;
    std::vector<std::string> args = LineFields(dialog.Record);
    args.insert(args.begin(), lineId);
    Act(FaceActionKind::ModifyLine, {}, std::move(args));
}

void MainWindow::btDeleteClick() {
    const std::string lineId = SelectedLineId();
    if (lineId.empty()) {
        Message(window_.get(), "请先选择要操作的线路！", MB_OK | MB_ICONERROR);
        return;
    }
    // Taken before the question: what is deleted is the line the user was asked about.
    if (Message(window_.get(), "确定要删除该线路吗?", MB_OKCANCEL | MB_ICONERROR) != IDOK) return;
    Act(FaceActionKind::DeleteLine, {}, {lineId});
}

void MainWindow::BtnClearLogClick() {
    if (Message(window_.get(), "确定删除日志信息吗?",
                MB_OKCANCEL | MB_ICONINFORMATION | MB_TOPMOST) != IDOK)
        return;
    Act(FaceActionKind::ClearLog);
}

void MainWindow::BtnSaveLogClick() {
    if (face_->Log().size() == 0) return;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_s(&local, &now);
    wchar_t file[MAX_PATH] = {};
    wcsftime(file, MAX_PATH, L"NABULog%Y%m%d%H%M", &local);
    const std::wstring title = W("请选择保存的路径和名称");
    std::wstring filter =
        W("文本文档(*.txt)") + L'\0' + L"*.txt" + L'\0' + W("所有文件") + L'\0' + L"*.*" + L'\0';
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = window_.get();
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = file;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrTitle = title.c_str();
    dialog.lpstrDefExt = L"TXT";
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
    if (!GetSaveFileNameW(&dialog)) return;
    const std::string text = ForLogFile(face_->Log().SaveText());
    HANDLE out =
        CreateFileW(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    const bool ok =
        out != INVALID_HANDLE_VALUE &&
        WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
        written == text.size();
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    if (!ok) Message(window_.get(), "日志无法保存：" + U8(file), MB_OK | MB_ICONERROR);
}

void MainWindow::OpenPage(const char* pathAndQuery) {
    Open(window_.get(), PageAddress(face_->ServiceUrl(), pathAndQuery));
}

void MainWindow::OpenHelp() {
    // HTML Help, when the machine has it; errors ignored.
    const std::filesystem::path file = ProgramFolder() / "nabuV5Help.chm";
    if (!std::filesystem::exists(file)) return;
    HMODULE help = LoadLibraryW(L"hhctrl.ocx");
    if (!help) return;
    using HtmlHelpFn = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);
    if (auto fn = reinterpret_cast<HtmlHelpFn>(
            reinterpret_cast<void*>(GetProcAddress(help, "HtmlHelpW")))) {
        const std::wstring topic = file.wstring() + W("::/nabuV5帮助/nabuV5客户端帮助文件.htm");
        fn(window_.get(), topic.c_str(), 0 /* HH_DISPLAY_TOPIC */, 0);
    }
    // The help window lives on in the module: it stays loaded.
}

void MainWindow::ShowSysInfo() {
    TSysInfo* info = face_->SysInfo();
    if (!info) return;
    SysInfoDialog dialog(*info);
    dialog.Run(window_.get());
}

void MainWindow::ShowAbout() {
    AboutDialog dialog(context_.facts);
    dialog.Run(window_.get());
}

void MainWindow::PopupTrayMenu() {
    POINT at;
    GetCursorPos(&at);
    // The menu closes when the user clicks elsewhere only if the window is in front.
    SetForegroundWindow(window_.get());
    TrackPopupMenuEx(trayMenu_.get(), TPM_RIGHTBUTTON, at.x, at.y, window_.get(), nullptr);
    PostMessageW(window_.get(), WM_NULL, 0, 0);
}

void MainWindow::TrayNotice(UINT mouseMessage) {
    if (mouseMessage == WM_LBUTTONUP)
        ToggleFromTray();
    else if (mouseMessage == WM_RBUTTONUP || mouseMessage == WM_CONTEXTMENU)
        PopupTrayMenu();
}

void MainWindow::OnCommand(int id, int code) {
    for (const auto& [command, path] : kPages)
        if (id == command) {
            if (id < cmd::Minimise || code == BN_CLICKED || code == STN_CLICKED) OpenPage(path);
            return;
        }
    if (id >= cmd::ShowPage && id < cmd::ShowPage + 4) {
        ShowMainWindow();
        ShowPage(id - cmd::ShowPage);
        return;
    }
    if (id == cmd::EditUserName || id == cmd::EditPassword) {
        if (code == EN_SETFOCUS && !rendering_)
            Act(FaceActionKind::EditEnter, {}, {id == cmd::EditUserName ? "U" : "P"});
        return;
    }
    if (id >= cmd::Minimise && code != BN_CLICKED) return;
    switch (id) {
        case cmd::Logoff:
            Act(FaceActionKind::MenuLogoff);
            break;
        case cmd::Logon:
            ShowPage(0);
            Act(FaceActionKind::MenuLogon);
            break;
        case cmd::Exit:
            ExitClick();
            break;
        case cmd::Suggest:
            Open(window_.get(), SupportMailAddress(face_->ServiceUrl()));
            break;
        case cmd::SysInfo:
            ShowSysInfo();
            break;
        case cmd::HelpContent:
            OpenHelp();
            break;
        case cmd::About:
            ShowAbout();
            break;
        case cmd::ToggleWindow:
            ToggleFromTray();
            break;
        case cmd::Minimise:
        case cmd::Close:
            GoToTray();
            break;
        case cmd::BtnLogon:
            Act(FaceActionKind::Logon);
            break;
        case cmd::ChkBoxSavePwd:
            Forward(FaceActionKind::SavePwd, "ChkBoxSavePwd", chkSavePwd_);
            break;
        case cmd::ChkBoxStartup:
            Forward(FaceActionKind::Startup, "ChkBoxStartup", chkStartup_);
            break;
        case cmd::ChkBoxRunAsService:
            Forward(FaceActionKind::RunAsService, "ChkBoxRunAsService", chkRunAsService_);
            break;
        case cmd::UpdateSysInfo:
            Forward(FaceActionKind::UpdateSysInfo, "suiCheckBoxUpdateSysInfo", chkUpdateSysInfo_);
            break;
        case cmd::CbIsInNet:
            Forward(FaceActionKind::InNet, "cbIsInNet", cbIsInNet_);
            break;
        case cmd::CbInLanBack:
            Forward(FaceActionKind::InLanBack, "cbInLANBack", cbInLANBack_);
            break;
        case cmd::RbAsMaster:
            if (!rendering_)
                Act(FaceActionKind::AsMaster, {{"rbAsMaster", "1"}, {"rbAsSlave", "0"}});
            break;
        case cmd::RbAsSlave:
            if (!rendering_)
                Act(FaceActionKind::AsSlave, {{"rbAsSlave", "1"}, {"rbAsMaster", "0"}});
            break;
        case cmd::BtAdd:
            btAddClick();
            break;
        case cmd::BtModify:
            btModifyClick();
            break;
        case cmd::BtDelete:
            btDeleteClick();
            break;
        case cmd::BtRefresh:
            Act(FaceActionKind::Refresh);
            break;
        case cmd::BtnClearLog:
            BtnClearLogClick();
            break;
        case cmd::BtnSaveLog:
            BtnSaveLogClick();
            break;
        default:
            break;
    }
}

LRESULT MainWindow::OnNotify(NMHDR& header) {
    const int id = static_cast<int>(header.idFrom);
    if (id == cmd::Tabs && header.code == TCN_SELCHANGE) {
        ShowPage(TabCtrl_GetCurSel(tabs_));
    } else if (id == cmd::ListViewLog && header.code == LVN_GETDISPINFOW) {
        LogDisplayInfo(reinterpret_cast<NMLVDISPINFOW&>(header));
    } else if (id == cmd::ListViewLine && header.code == LVN_GETINFOTIPW) {
        LineTip(reinterpret_cast<NMLVGETINFOTIPW&>(header));
    } else if (id == cmd::ListViewLine && header.code == NM_DBLCLK) {
        btModifyClick();
    } else if (id == cmd::TreeViewDns && header.code == TVN_SELCHANGEDW) {
        TreeSelectionChanged();
    }
    return 0;
}

LRESULT MainWindow::OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == taskbarCreated_ && taskbarCreated_ != 0) {
        tray_->Restore();
        shownTray_ = -1;
        RenderTray();
        return 0;
    }
    switch (message) {
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_NOTIFY:
            return OnNotify(*reinterpret_cast<NMHDR*>(lParam));
        case kTrayMessage:
            TrayNotice(static_cast<UINT>(LOWORD(lParam)));
            return 0;
        case kShowMessages:
            ShowPendingMessages();
            return 0;
        case WM_THEMECHANGED:
        case WM_SYSCOLORCHANGE:
            MakePageBrush();
            InvalidateRect(hwnd, nullptr, TRUE);
            break;
        case WM_INITMENUPOPUP:
            // ActionMainMenuBar1Popup: the logon items follow the view.
            Render();
            return 0;
        case WM_SYSCOMMAND:
            // Closing (Alt+F4, the system menu) and minimising keep the client in the tray.
            if ((wParam & 0xFFF0) == SC_CLOSE || (wParam & 0xFFF0) == SC_MINIMIZE) {
                GoToTray();
                return 0;
            }
            // Alt and a letter: the menu bar is a control of the window's own.
            if ((wParam & 0xFFF0) == SC_KEYMENU && lParam != 0 &&
                menuStrip_.OpenByMnemonic(static_cast<wchar_t>(lParam)))
                return 0;
            break;
        case WM_CLOSE:
            GoToTray();
            return 0;
        case WM_LBUTTONDOWN:
            // The title strip drags the window.
            if (GET_Y_LPARAM(lParam) < kTitle.bottom) {
                ReleaseCapture();
                SendMessageW(hwnd, WM_SYSCOMMAND, 0xF012, 0);
                return 0;
            }
            break;
        case WM_SETCURSOR:
            if (busy_) {
                SetCursor(LoadCursorW(nullptr, IDC_APPSTARTING));
                return TRUE;
            }
            if (const HWND over = reinterpret_cast<HWND>(wParam);
                std::find(links_.begin(), links_.end(), over) != links_.end()) {
                SetCursor(LoadCursorW(nullptr, IDC_HAND));
                return TRUE;
            }
            break;
        case WM_CTLCOLORSTATIC: {
            const HWND control = reinterpret_cast<HWND>(lParam);
            const auto dc = reinterpret_cast<HDC>(wParam);
            if (control == memoNative_ || control == btnMin_ || control == btnClose_) break;
            SetBkMode(dc, TRANSPARENT);
            if (std::find(links_.begin(), links_.end(), control) != links_.end())
                SetTextColor(dc, RGB(0, 0, 255));
            if (!pageBrush_) return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
            // The brush's picture is the tab control's: it is laid at the tab's origin.
            POINT origin{0, 0};
            MapWindowPoints(tabs_, control, &origin, 1);
            SetBrushOrgEx(dc, origin.x, origin.y, nullptr);
            return reinterpret_cast<LRESULT>(pageBrush_.get());
        }
        case WM_DRAWITEM: {
            // The title strip's two buttons.
            auto& item = *reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
            const bool down = item.itemState & ODS_SELECTED;
            UniqueBrush fill(CreateSolidBrush(down ? RGB(0x3a, 0x6e, 0xa5) : kTitleColor));
            FillRect(item.hDC, &item.rcItem, fill.get());
            const Selected font(item.hDC, BoldFont());
            SetBkMode(item.hDC, TRANSPARENT);
            SetTextColor(item.hDC, RGB(255, 255, 255));
            const wchar_t* glyph = item.CtlID == cmd::Close ? L"\u00d7" : L"_";
            DrawTextW(item.hDC, glyph, -1, &item.rcItem, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
            return TRUE;
        }
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            RECT all{0, 0, kWidth, kHeight};
            UniqueBrush border(CreateSolidBrush(kTitleColor));
            FrameRect(dc, &all, border.get());
            RECT title = kTitle;
            FillRect(dc, &title, border.get());
            const Selected font(dc, BoldFont());
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, RGB(255, 255, 255));
            DrawTextW(dc, L"---:: Vorta V1.0 ::---", -1, &title,
                      DT_CENTER | DT_VCENTER | DT_SINGLELINE);
            EndPaint(hwnd, &ps);
            return 0;
        }
        default:
            break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace vorta::win32ui
