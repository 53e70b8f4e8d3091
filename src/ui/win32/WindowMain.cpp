// First: IClientView::MessageBox reads as MessageBoxW all through the window's files.
#include <windows.h>

#include <commctrl.h>

#include "ui/win32/WindowMain.h"

#include <iostream>

#include "host/HostPlatform.h"
#include "ui/win32/Gdi.h"
#include "ui/win32/Text.h"
#include "ui/win32/WindowSession.h"

namespace vorta::win32ui {
namespace {

// A desktop that takes windows: without one (a service's session, Wine without a display)
// creating a top-level window fails.
bool DesktopAvailable() {
    const UniqueWindow probe(CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1,
                                             nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
    return probe != nullptr;
}

int MessageLoop(HWND main) {
    MSG msg;
    BOOL got;
    while ((got = GetMessageW(&msg, nullptr, 0, 0)) != 0) {
        if (got == -1) return 1;
        // Tab and the mnemonics among the main window's controls.
        if (main && IsWindow(main) && IsDialogMessageW(main, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

}  // namespace

std::optional<int> RunWindow(const app::CommandLine& cl) {
    if (!DesktopAvailable()) return std::nullopt;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES |
                                                       ICC_TAB_CLASSES | ICC_BAR_CLASSES |
                                                       ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    const std::filesystem::path dataDir =
        cl.dataDir ? std::filesystem::path(*cl.dataDir) : host::DefaultDataDir();
    const auto platform = host::MakePlatform(dataDir);
    ClientConfig config = app::ConfigFrom(cl, false);
    host::ApplyTestSettings(config);
    WindowSession session(*platform, std::move(config));
    std::string refusal;
    switch (session.Start(refusal)) {
        case WindowSession::Outcome::OtherShown:
            return 0;
        case WindowSession::Outcome::Refused:
            std::cerr << "vorta: " << refusal << "\n";
            MessageBoxW(nullptr, W(refusal).c_str(), W(kMessageCaption).c_str(),
                        MB_OK | MB_ICONWARNING);
            return 1;
        case WindowSession::Outcome::Shown:
            break;
    }
    const int code = MessageLoop(session.MainHandle());
    return session.ExitCode() ? session.ExitCode() : code;
}

}  // namespace vorta::win32ui
