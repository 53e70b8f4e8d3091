#include "ui/win32/SmallDialogs.h"

#include <windows.h>

#include <commctrl.h>

#include <exception>
#include <string>

#include "core/MemoryLine.h"
#include "core/UpdateSysInfoTrd.h"
#include "protocol/DebugLog.h"
#include "ui/win32/Icons.h"
#include "ui/win32/Text.h"

namespace vorta::win32ui {
namespace {

constexpr int kLogo = 100;

HTREEITEM Node(HWND tree, HTREEITEM parent, const std::string& text, int image) {
    std::wstring wide = W(text);
    TVINSERTSTRUCTW insert{};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    insert.item.pszText = wide.data();
    insert.item.iImage = insert.item.iSelectedImage = image;
    return reinterpret_cast<HTREEITEM>(
        SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

void ExpandAll(HWND tree, HTREEITEM item) {
    for (; item; item = TreeView_GetNextSibling(tree, item)) {
        TreeView_Expand(tree, item, TVE_EXPAND);
        ExpandAll(tree, TreeView_GetChild(tree, item));
    }
}

}  // namespace

AboutDialog::AboutDialog(const platform::ISystemFacts* facts)
    : Dialog("关于", 352, 243), facts_(facts), logo_(LogoImage()) {}

void AboutDialog::OnInit() {
    Control(L"STATIC", "", SS_OWNERDRAW, 18, 15, 150, 50, kLogo);
    Control(L"STATIC", "", SS_ETCHEDHORZ, 7, 184, 337, 2);
    const platform::MemoryFacts memory = facts_ ? facts_->Memory() : platform::MemoryFacts{};
    Control(L"STATIC", MemoryLine(memory.total, memory.available), SS_NOPREFIX, 15, 194, 330, 14);
    Control(L"BUTTON", "确定", WS_TABSTOP | BS_DEFPUSHBUTTON, 256, 208, 75, 21, IDOK);
}

bool AboutDialog::OnCommand(int id, int) {
    if (id != IDOK) return false;
    End(IDOK);
    return true;
}

bool AboutDialog::OnOther(UINT message, WPARAM, LPARAM lParam, INT_PTR& result) {
    if (message != WM_DRAWITEM) return false;
    const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    if (item->CtlID != kLogo) return false;
    FillRect(item->hDC, &item->rcItem, GetSysColorBrush(COLOR_BTNFACE));
    DrawIconEx(item->hDC, 0, 0, logo_.get(), 150, 50, 0, nullptr, DI_NORMAL);
    result = TRUE;
    return true;
}

SysInfoDialog::SysInfoDialog(TSysInfo& sysInfo)
    : Dialog("系统信息", 397, 325, WS_SYSMENU | WS_MINIMIZEBOX), sysInfo_(sysInfo) {
    centreOnOwner_ = true;
}

void SysInfoDialog::OnInit() {
    HWND tree = Control(L"SysTreeView32", "", TVS_HASBUTTONS | TVS_SHOWSELALWAYS, 0, 0, 397, 325,
                        100, WS_EX_CLIENTEDGE);
    TreeView_SetIndent(tree, 19);
    images_ = SysInfoImages();
    TreeView_SetImageList(tree, images_.get(), TVSIL_NORMAL);
    sysInfo_.RefreshConnInfo();
    HTREEITEM root = Node(tree, TVI_ROOT, "系统信息", 0);
    try {
        HTREEITEM os = Node(tree, root, "操作系统: " + sysInfo_.GetOSName(), 2);
        Node(tree, os, "版本: " + sysInfo_.ShownOSVersion(), 1);
        HTREEITEM cpu =
            Node(tree, root, "CPU个数: " + std::to_string(sysInfo_.GetProcessorCount()), 3);
        TCpuInfoArray cpus;
        sysInfo_.GetCPUInfo(cpus);
        for (const TCPUInfo& one : cpus) {
            Node(tree, cpu, "CPU: " + one.Name, 4);
            Node(tree, cpu, "主频: " + std::to_string(one.MHz) + " MHZ", 1);
        }
        HTREEITEM memory = Node(tree, root, "内存信息", 6);
        Node(tree, memory, "物理内存: " + FormatMemoryKB(sysInfo_.GetTotalMemoryKB()) + " KB", 7);
        Node(tree, memory, "可用内存: " + FormatMemoryKB(sysInfo_.GetAvailMemoryKB()) + " KB", 7);
        HTREEITEM network = Node(tree, root, "网络信息", 10);
        HTREEITEM cards = Node(tree, network, "网卡", 9);
        TAdapterArray adapters;
        sysInfo_.GetNetworkCards(adapters);
        for (const std::string& card : adapters) Node(tree, cards, card, 9);
        std::string names;
        sysInfo_.GetConnNames(names);
        Node(tree, network, "网络连接: " + names, 10);
    } catch (const std::exception& e) {
        // The nodes built so far stay; the rest of the machine could not be read.
        Debug(std::string("system information: ") + e.what());
    }
    ExpandAll(tree, root);
    TreeView_EnsureVisible(tree, root);
}

bool SysInfoDialog::OnCommand(int id, int) {
    if (id != IDOK) return false;
    End(IDOK);
    return true;
}

ExitDialog::ExitDialog() : Dialog("提示信息", 330, 96) {}

void ExitDialog::OnInit() {
    Control(L"STATIC", "本窗口显示的是Vorta服务。要停止Vorta服务吗？\n只关闭窗口时，服务继续运行。",
            SS_NOPREFIX, 16, 14, 300, 36);
    Control(L"BUTTON", "停止服务", WS_TABSTOP | BS_PUSHBUTTON, 16, 62, 92, 23, kStopService);
    HWND close = Control(L"BUTTON", "只关闭窗口", WS_TABSTOP | BS_DEFPUSHBUTTON, 118, 62, 92, 23,
                         kCloseWindow);
    Control(L"BUTTON", "取消", WS_TABSTOP | BS_PUSHBUTTON, 220, 62, 92, 23, IDCANCEL);
    SetFocus(close);
}

bool ExitDialog::OnCommand(int id, int) {
    if (id != kStopService && id != kCloseWindow && id != IDOK) return false;
    End(id == IDOK ? kCloseWindow : id);
    return true;
}

}  // namespace vorta::win32ui
