// Rendering the view state: each control changes only where the state differs from what it
// shows.

#include <windows.h>

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <ctime>

#include "core/LogList.h"
#include "ui/win32/MainWindow.h"
#include "ui/win32/Text.h"

namespace vorta::win32ui {
namespace {

bool SameRow(const LineRow& a, const LineRow& b) {
    return a.IsActive == b.IsActive && a.MasterGroup == b.MasterGroup &&
           a.EntryName == b.EntryName && a.IsNecessary == b.IsNecessary &&
           a.IpAddress == b.IpAddress && a.LineID == b.LineID;
}

void SetChecked(HWND box, bool on) {
    if ((Button_GetCheck(box) == BST_CHECKED) != on)
        Button_SetCheck(box, on ? BST_CHECKED : BST_UNCHECKED);
}

void SetEnabled(HWND control, bool on) {
    if ((IsWindowEnabled(control) != FALSE) != on) EnableWindow(control, on);
}

void SetCell(HWND list, int row, int column, const std::string& text) {
    std::wstring wide = W(text);
    ListView_SetItemText(list, row, column, wide.data());
}

HTREEITEM AddNode(HWND tree, HTREEITEM parent, const std::string& text, int image, LPARAM data) {
    std::wstring wide = W(text);
    TVINSERTSTRUCTW insert{};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
    insert.item.pszText = wide.data();
    insert.item.iImage = insert.item.iSelectedImage = image;
    insert.item.lParam = data;
    return reinterpret_cast<HTREEITEM>(
        SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

}  // namespace

void MainWindow::Render() {
    rendering_ = true;
    const ViewState& v = face_->View();
    // What the user types stays until the client itself changes the box.
    auto setText = [this](HWND edit, std::string& shown, const std::string& text) {
        if (editsShown_ && shown == text) return;
        shown = text;
        SetText(edit, text);
    };
    setText(editUserName_, shownUserName_, v.EditUserName);
    setText(editPassword_, shownPassword_, v.EditPassword);
    editsShown_ = true;
    SetEnabled(editUserName_, v.EditsEnabled);
    SetEnabled(editPassword_, v.EditsEnabled);
    SetText(btnLogon_, v.BtnLogonCaption);
    SetEnabled(btnLogon_, v.BtnLogonEnabled);
    // The logon's exchange runs aside; the wait shows on the window only.
    if (busy_ != !v.BtnLogonEnabled) {
        busy_ = !v.BtnLogonEnabled;
        POINT at;
        GetCursorPos(&at);
        SetCursorPos(at.x, at.y);  // the cursor takes its new look at once
    }
    SetChecked(chkSavePwd_, v.ChkBoxSavePwd);
    SetChecked(chkStartup_, v.ChkBoxStartup);
    SetEnabled(chkStartup_, v.ChkBoxStartupEnabled);
    SetChecked(chkRunAsService_, v.ChkBoxRunAsService);
    SetEnabled(chkRunAsService_, v.ChkBoxRunAsServiceEnabled);
    SetChecked(cbIsInNet_, v.cbIsInNet);
    SetChecked(rbAsMaster_, v.rbAsMaster);
    SetChecked(rbAsSlave_, v.rbAsSlave);
    SetEnabled(rbAsMaster_, v.rbAsMasterEnabled);
    SetEnabled(rbAsSlave_, v.rbAsSlaveEnabled);
    SetChecked(cbInLANBack_, v.cbInLANBack);
    SetEnabled(cbInLANBack_, v.cbInLANBackEnabled);
    SetChecked(chkUpdateSysInfo_, v.suiCheckBoxUpdateSysInfo);
    // The edit control wants CR LF.
    std::string memo;
    for (char c : v.MemoNative) {
        if (c == '\n' && (memo.empty() || memo.back() != '\r')) memo += '\r';
        memo += c;
    }
    SetText(memoNative_, memo);
    RenderLines();
    RenderDomains();
    const std::pair<int, const std::string*> labs[] = {{1, &v.lab1}, {2, &v.lab2}, {3, &v.lab3},
                                                       {5, &v.lab5}, {6, &v.lab6}, {7, &v.lab7}};
    for (const auto& [n, text] : labs) SetText(labs_[n], *text);
    RenderTray();
    EnableMenuItem(fileMenu_.get(), cmd::Logon, v.Action2Enabled ? MF_ENABLED : MF_GRAYED);
    EnableMenuItem(fileMenu_.get(), cmd::Logoff, v.Action3Enabled ? MF_ENABLED : MF_GRAYED);
    // The controller turns the page only when it decides to; the user's own turns stay.
    if (v.ActivePage != shownPage_) {
        shownPage_ = v.ActivePage;
        ShowPage(v.ActivePage);
    }
    rendering_ = false;
}

void MainWindow::RenderTray() {
    const ViewState& v = face_->View();
    const int look = TrayIconIndex(v.Tray) == 3 ? 1 : 0;
    if (look == shownTray_ && tray_->Present()) return;
    // A tray that will not take the icon leaves the window to be minimised instead of hidden.
    if (tray_->Show(trayIcons_[look].get(), TrayHint(v.Tray))) shownTray_ = look;
}

void MainWindow::ShowPage(int page) {
    if (page < 0 || page > 3) return;
    currentPage_ = page;
    TabCtrl_SetCurSel(tabs_, page);
    for (int i = 0; i < 4; ++i)
        for (HWND control : pages_[i]) ShowWindow(control, i == page ? SW_SHOWNA : SW_HIDE);
    if (page == 3) LogChanged();
}

void MainWindow::RenderLines() {
    const std::vector<LineRow>& rows = face_->View().Lines;
    if (linesShown_ && rows.size() == shownLines_.size() &&
        std::equal(rows.begin(), rows.end(), shownLines_.begin(), SameRow))
        return;
    linesShown_ = true;
    // The selected line stays selected across a refill, wherever it now is.
    int selected = SelectedLine();
    const std::string selectedId = SelectedLineId();
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (!selectedId.empty() && rows[i].LineID == selectedId) selected = static_cast<int>(i);
    shownLines_ = rows;
    SendMessageW(listViewLine_, WM_SETREDRAW, FALSE, 0);
    ListView_DeleteAllItems(listViewLine_);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const LineRow& row = rows[i];
        LVITEMW item{};
        item.mask = LVIF_IMAGE | LVIF_TEXT;
        item.iItem = static_cast<int>(i);
        item.iImage = row.IsActive ? 1 : 0;
        std::wstring empty;
        item.pszText = empty.data();
        const int at = ListView_InsertItem(listViewLine_, &item);
        if (at < 0) continue;  // a row that cannot be added is skipped
        SetCell(listViewLine_, at, 1, row.MasterGroup ? "主组" : "备组");
        SetCell(listViewLine_, at, 2, row.EntryName);
        SetCell(listViewLine_, at, 3, row.IsNecessary ? "是" : "否");
        SetCell(listViewLine_, at, 4, row.IpAddress);
    }
    if (selected >= 0 && selected < static_cast<int>(rows.size()))
        ListView_SetItemState(listViewLine_, selected, LVIS_SELECTED | LVIS_FOCUSED,
                              LVIS_SELECTED | LVIS_FOCUSED);
    SendMessageW(listViewLine_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(listViewLine_, nullptr, TRUE);
}

void MainWindow::RenderDomains() {
    const ViewState& v = face_->View();
    const auto* list = v.Domains.get();
    if (list != shownDomains_) {
        shownDomains_ = list;
        TreeView_DeleteAllItems(treeViewDNS_);
        treeNodes_.clear();
        if (list) {
            auto node = [this](DomainSelection s) {
                treeNodes_.push_back(s);
                return static_cast<LPARAM>(treeNodes_.size() - 1);
            };
            HTREEITEM root =
                AddNode(treeViewDNS_, TVI_ROOT, "域名列表", 0, node({DomainSelection::Root, 0, 0}));
            for (std::size_t d = 0; d < list->Domains.size(); ++d) {
                const auto& domain = list->Domains[d];
                HTREEITEM item = AddNode(treeViewDNS_, root, domain.DomainName + domain.SuffixName,
                                         1, node({DomainSelection::Domain, d, 0}));
                for (std::size_t r = 0; r < domain.Resources.size(); ++r)
                    AddNode(treeViewDNS_, item, domain.Resources[r].KeyName, 2,
                            node({DomainSelection::Resource, d, r}));
            }
            TreeView_Expand(treeViewDNS_, root, TVE_EXPAND);
        }
    }
    // The selection the controller knows of.
    HTREEITEM item = nullptr;
    const DomainSelection& s = v.Selected;
    if (list && s.level != DomainSelection::None) {
        item = TreeView_GetRoot(treeViewDNS_);
        auto child = [this](HTREEITEM parent, std::size_t index) {
            HTREEITEM at = parent ? TreeView_GetChild(treeViewDNS_, parent) : nullptr;
            for (std::size_t i = 0; at && i < index; ++i)
                at = TreeView_GetNextSibling(treeViewDNS_, at);
            return at;
        };
        if (item && s.level >= DomainSelection::Domain) item = child(item, s.domain);
        if (item && s.level == DomainSelection::Resource) item = child(item, s.resource);
    }
    if (TreeView_GetSelection(treeViewDNS_) != item) TreeView_SelectItem(treeViewDNS_, item);
}

void MainWindow::TreeSelectionChanged() {
    if (rendering_) return;
    HTREEITEM item = TreeView_GetSelection(treeViewDNS_);
    if (!item) return;
    TVITEMW data{};
    data.mask = TVIF_PARAM;
    data.hItem = item;
    if (!TreeView_GetItem(treeViewDNS_, &data)) return;
    const auto index = static_cast<std::size_t>(data.lParam);
    if (index >= treeNodes_.size()) return;
    const DomainSelection& selection = treeNodes_[index];
    Act(FaceActionKind::TreeClick, {},
        {std::to_string(static_cast<int>(selection.level)), std::to_string(selection.domain),
         std::to_string(selection.resource)});
}

void MainWindow::LogDisplayInfo(NMLVDISPINFOW& info) {
    const TLogList& log = face_->Log();
    LVITEMW& item = info.item;
    if (item.iItem < 0 || static_cast<std::size_t>(item.iItem) >= log.size()) return;
    const TLogEntry& entry = log[static_cast<std::size_t>(item.iItem)];
    if (item.mask & LVIF_IMAGE) item.iImage = entry.Kind <= 2 ? entry.Kind : 0;
    if (!(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0) return;
    const std::string text = item.iSubItem == 0   ? std::string(TLogList::KindName(entry.Kind))
                             : item.iSubItem == 1 ? entry.Text
                                                  : TLogList::FormatTime(entry.Time);
    const std::wstring wide = W(text);
    const std::size_t n = std::min(wide.size(), static_cast<std::size_t>(item.cchTextMax - 1));
    std::copy_n(wide.begin(), n, item.pszText);
    item.pszText[n] = L'\0';
}

void MainWindow::LineTip(NMLVGETINFOTIPW& tip) {
    if (tip.iItem < 0 || static_cast<std::size_t>(tip.iItem) >= shownLines_.size() ||
        !tip.pszText || tip.cchTextMax <= 0)
        return;
    const LineRow& row = shownLines_[static_cast<std::size_t>(tip.iItem)];
    std::string text = "尚未成功报告";
    if (row.ReportedAt) {
        const std::time_t at = static_cast<std::time_t>(row.ReportedAt);
        std::tm local{};
        localtime_s(&local, &at);
        char when[32];
        std::strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%S", &local);
        text = std::string("最后一次成功报告：") + when;
    }
    if (!row.Reason.empty()) text += "\n" + row.Reason;
    const std::wstring wide = W(text);
    const std::size_t n = std::min(wide.size(), static_cast<std::size_t>(tip.cchTextMax - 1));
    std::copy_n(wide.begin(), n, tip.pszText);
    tip.pszText[n] = L'\0';
}

void MainWindow::LogChanged() {
    ListView_SetItemCountEx(listViewLog_, static_cast<int>(face_->Log().size()), LVSICF_NOSCROLL);
    InvalidateRect(listViewLog_, nullptr, TRUE);
}

int MainWindow::SelectedLine() const {
    return ListView_GetNextItem(listViewLine_, -1, LVNI_SELECTED);
}

std::string MainWindow::SelectedLineId() const {
    const int row = SelectedLine();
    return row >= 0 && static_cast<std::size_t>(row) < shownLines_.size()
               ? shownLines_[static_cast<std::size_t>(row)].LineID
               : std::string();
}

}  // namespace vorta::win32ui
