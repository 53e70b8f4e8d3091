#include "ui/MainFrm.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWindow>

#include "base/Translate.h"
#include "ui/About.h"
#include "ui/AnimateHint.h"
#include "ui/Icons.h"
#include "ui/LineEditFrm.h"
#include "ui/LogModel.h"
#include "ui/SysInfoDlg.h"
#include "ui/WebPages.h"

namespace vorta::ui {

namespace {

QString U(const std::string& text) {
    return QString::fromStdString(text);
}

// Every colour is a role of the system's palette, so that a dark theme stays readable: the title
// strip in the selection's colours, the lists on the base colour. The size of the font is the
// user's.
const char* const kStyle = R"(
* { font-family: "宋体", "WenQuanYi Zen Hei"; }
vorta--ui--TMainFrm { background: palette(window); border: 1px solid palette(highlight); }
#PalTitle_Center { background: palette(highlight); }
#TitleCaption { color: palette(highlighted-text); font-weight: bold; }
#SBtnMin, #SBtnClose { color: palette(highlighted-text); border: none; font-weight: bold; }
#SBtnMin:hover, #SBtnClose:hover { background: palette(dark); }
QMenuBar { background: palette(window); }
)";

bool SameRow(const LineRow& a, const LineRow& b) {
    return a.IsActive == b.IsActive && a.MasterGroup == b.MasterGroup &&
           a.EntryName == b.EntryName && a.IsNecessary == b.IsNecessary &&
           a.IpAddress == b.IpAddress && a.LineID == b.LineID;
}

QMessageBox::Icon BoxIcon(MessageIcon icon) {
    return icon == MessageIcon::Error ? QMessageBox::Critical : QMessageBox::Information;
}

// The dialog's fields as a record for the controller.
TLineInfo DialogFields(const TLineEditFrm& dlg) {
    TLineInfo fields;
    fields.MasterGroup = dlg.MasterGroup();
    fields.IsNecessary = dlg.IsNecessary();
    fields.LineKind = dlg.LineKind();
    fields.EntryName = dlg.EntryName();
    fields.UserName = dlg.UserName();
    fields.Password = dlg.Password();
    return fields;
}

}  // namespace

TMainFrm::TMainFrm(IClientFace& face, MainFrmContext context, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      face_(&face),
      context_(std::move(context)) {
    setObjectName(QStringLiteral("MainFrm"));
    setWindowTitle(QStringLiteral("Vorta V1.0"));
    // The packaged icon where the theme has it, else the built-in one.
    setWindowIcon(QIcon::fromTheme(QStringLiteral("vorta"), AppIcon()));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QString::fromUtf8(kStyle));
    if (!context_.openUrl)
        context_.openUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    ChooseLogFile = [this](const QString& name) { return DefaultChooseLogFile(name); };
    Confirm = [this](const QString& text, MessageIcon icon) { return DefaultConfirm(text, icon); };
    AskExit = [this] { return DefaultAskExit(); };
    CloseProgram = [] { QApplication::exit(0); };

    auto* col = new QVBoxLayout(this);
    col->setContentsMargins(1, 1, 1, 1);
    col->setSpacing(0);
    col->addWidget(BuildTitleStrip());
    col->addWidget(BuildMenuBar());
    pages_ = new QTabWidget(this);
    pages_->setObjectName(QStringLiteral("PageControl1"));
    pages_->addTab(BuildUserPage(), tr("用户状态"));
    pages_->addTab(BuildAdvancedPage(), tr("高级设置"));
    pages_->addTab(BuildDomainPage(), tr("域名信息"));
    pages_->addTab(BuildLogPage(), tr("日志"));
    col->addWidget(pages_, 1);
    // The designed size at the usual font; a larger font of the user's makes the window grow so
    // that every text still fits.
    ensurePolished();
    setFixedSize(minimumSizeHint().expandedTo(QSize(568, 335)));
    BuildTray();
    // A tray that goes away (its panel restarts, or the desktop has none) leaves a hidden window
    // out of reach: it is minimised instead.
    auto* trayWatch = new QTimer(this);
    connect(trayWatch, &QTimer::timeout, this, [this] {
        if (!isVisible() && !QSystemTrayIcon::isSystemTrayAvailable()) showMinimized();
    });
    trayWatch->start(2000);

    // The user's typing stays in the boxes; it goes to the client with each click.
    editUserName_->installEventFilter(this);
    editPassword_->installEventFilter(this);
    connect(btnLogon_, &QPushButton::clicked, this, [this] { Act(FaceActionKind::Logon); });
    // Enter in either box is the logon button, while it may be pressed.
    for (QLineEdit* edit : {editUserName_, editPassword_})
        connect(edit, &QLineEdit::returnPressed, this, [this] {
            if (btnLogon_->isEnabled()) Act(FaceActionKind::Logon);
        });
    const auto box = [this](QCheckBox* check, FaceActionKind kind, const char* field) {
        connect(check, &QCheckBox::clicked, this,
                [this, kind, field](bool on) { Forward(kind, field, on); });
    };
    box(chkSavePwd_, FaceActionKind::SavePwd, "ChkBoxSavePwd");
    box(chkStartup_, FaceActionKind::Startup, "ChkBoxStartup");
    box(chkRunAsService_, FaceActionKind::RunAsService, "ChkBoxRunAsService");
    box(chkUpdateSysInfo_, FaceActionKind::UpdateSysInfo, "suiCheckBoxUpdateSysInfo");
    box(cbIsInNet_, FaceActionKind::InNet, "cbIsInNet");
    box(cbInLANBack_, FaceActionKind::InLanBack, "cbInLANBack");
    connect(rbAsMaster_, &QRadioButton::clicked, this, [this] {
        if (!rendering_) Act(FaceActionKind::AsMaster, {{"rbAsMaster", "1"}, {"rbAsSlave", "0"}});
    });
    connect(rbAsSlave_, &QRadioButton::clicked, this, [this] {
        if (!rendering_) Act(FaceActionKind::AsSlave, {{"rbAsSlave", "1"}, {"rbAsMaster", "0"}});
    });
    Render();
}

TMainFrm::~TMainFrm() {
    hintQueue_.clear();
    if (TFAnimateHint* hint = TFAnimateHint::Current()) hint->close();
}

void TMainFrm::SetFace(IClientFace& face) {
    face_ = &face;
    linesShown_ = editsShown_ = false;
    shownDomains_ = nullptr;
    shownPage_ = -1;
    trayShown_.reset();
    logModel_->SetLog(face.Log());
    Render();
}

void TMainFrm::Act(FaceActionKind kind, std::vector<std::pair<std::string, std::string>> input,
                   std::vector<std::string> args) {
    input.emplace_back("EditUserName", editUserName_->text().toStdString());
    input.emplace_back("EditPassword", editPassword_->text().toStdString());
    face_->Act(FaceAction{kind, std::move(input), std::move(args)});
    Render();
}

void TMainFrm::Forward(FaceActionKind kind, const char* field, bool on) {
    if (rendering_) return;
    Act(kind, {{field, on ? "1" : "0"}});
}

void TMainFrm::Render() {
    rendering_ = true;
    const ViewState& v = face_->View();
    // What the user types stays until the client itself changes the box.
    auto setText = [this](QLineEdit* edit, std::string& shown, const std::string& text) {
        if (editsShown_ && shown == text) return;
        shown = text;
        if (edit->text() != U(text)) edit->setText(U(text));
    };
    setText(editUserName_, shownUserName_, v.EditUserName);
    setText(editPassword_, shownPassword_, v.EditPassword);
    editsShown_ = true;
    editUserName_->setEnabled(v.EditsEnabled);
    editPassword_->setEnabled(v.EditsEnabled);
    btnLogon_->setText(U(v.BtnLogonCaption));
    btnLogon_->setEnabled(v.BtnLogonEnabled);
    // The logon's exchange runs aside; the wait shows on the window only.
    if (v.BtnLogonEnabled)
        unsetCursor();
    else
        setCursor(Qt::BusyCursor);
    chkSavePwd_->setChecked(v.ChkBoxSavePwd);
    chkStartup_->setChecked(v.ChkBoxStartup);
    chkStartup_->setEnabled(v.ChkBoxStartupEnabled);
    chkRunAsService_->setChecked(v.ChkBoxRunAsService);
    chkRunAsService_->setEnabled(v.ChkBoxRunAsServiceEnabled);
    cbIsInNet_->setChecked(v.cbIsInNet);
    rbAsMaster_->setChecked(v.rbAsMaster);
    rbAsSlave_->setChecked(v.rbAsSlave);
    rbAsMaster_->setEnabled(v.rbAsMasterEnabled);
    rbAsSlave_->setEnabled(v.rbAsSlaveEnabled);
    cbInLANBack_->setChecked(v.cbInLANBack);
    cbInLANBack_->setEnabled(v.cbInLANBackEnabled);
    chkUpdateSysInfo_->setChecked(v.suiCheckBoxUpdateSysInfo);
    if (memoNative_->toPlainText() != U(v.MemoNative)) memoNative_->setPlainText(U(v.MemoNative));
    const std::string url = face_->ServiceUrl();
    labelWhy_->setToolTip(PageUrl(url, page::kWhyCollect).toString());
    label1Protol_->setToolTip(PageUrl(url, page::kAgreement).toString());
    RenderLines();
    RenderDomains();
    const std::pair<int, const std::string*> labs[] = {{1, &v.lab1}, {2, &v.lab2}, {3, &v.lab3},
                                                       {5, &v.lab5}, {6, &v.lab6}, {7, &v.lab7}};
    for (const auto& [n, text] : labs) labs_[n]->setText(U(*text));
    // Set only when it changes: a desktop repaints the tray at every set.
    if (!trayShown_ || *trayShown_ != v.Tray) {
        trayShown_ = v.Tray;
        tray_->setIcon(TrayIcon(v.Tray));
        tray_->setToolTip(QString::fromUtf8(TrayHint(v.Tray)));
    }
    action2_->setEnabled(v.Action2Enabled);
    action3_->setEnabled(v.Action3Enabled);
    // The controller turns the page only when it decides to; the user's own turns stay.
    if (v.ActivePage != shownPage_) {
        shownPage_ = v.ActivePage;
        pages_->setCurrentIndex(v.ActivePage);
    }
    rendering_ = false;
}

void TMainFrm::RenderLines() {
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
    listViewLine_->setUpdatesEnabled(false);
    listViewLine_->clear();
    for (const LineRow& row : rows) {
        auto* item = new QTreeWidgetItem(listViewLine_);
        item->setIcon(0, LineStateIcon(row.IsActive));
        item->setText(1, row.MasterGroup ? tr("主组") : tr("备组"));
        item->setText(2, U(row.EntryName));
        item->setText(3, row.IsNecessary ? tr("是") : tr("否"));
        item->setText(4, U(row.IpAddress));
        // The address with what the last report made of it, so that a stale one shows as such.
        QString tip =
            row.ReportedAt
                ? tr("最后一次成功报告：%1")
                      .arg(QDateTime::fromSecsSinceEpoch(row.ReportedAt).toString(Qt::ISODate))
                : tr("尚未成功报告");
        if (!row.Reason.empty()) tip += "\n" + U(row.Reason);
        item->setToolTip(4, tip);
    }
    if (selected >= 0 && selected < listViewLine_->topLevelItemCount())
        listViewLine_->setCurrentItem(listViewLine_->topLevelItem(selected));
    listViewLine_->setUpdatesEnabled(true);
}

void TMainFrm::RenderDomains() {
    const ViewState& v = face_->View();
    const auto* list = v.Domains.get();
    if (list != shownDomains_) {
        shownDomains_ = list;
        treeViewDNS_->clear();
        if (list) {
            auto* root = new QTreeWidgetItem(treeViewDNS_, {tr("域名列表")});
            root->setIcon(0, DomainTreeIcon(4));
            for (const auto& domain : list->Domains) {
                auto* node = new QTreeWidgetItem(root, {U(domain.DomainName + domain.SuffixName)});
                node->setIcon(0, DomainTreeIcon(5));
                node->setToolTip(0, node->text(0));  // a long name shows whole
                for (const auto& resource : domain.Resources) {
                    auto* leaf = new QTreeWidgetItem(node, {U(resource.KeyName)});
                    leaf->setIcon(0, DomainTreeIcon(6));
                    leaf->setToolTip(0, leaf->text(0));
                }
            }
            root->setExpanded(true);
        }
    }
    // The selection the controller knows of.
    QTreeWidgetItem* item = nullptr;
    const DomainSelection& s = v.Selected;
    if (list && s.level != DomainSelection::None) {
        item = treeViewDNS_->topLevelItem(0);
        if (item && s.level >= DomainSelection::Domain)
            item = item->child(static_cast<int>(s.domain));
        if (item && s.level == DomainSelection::Resource)
            item = item->child(static_cast<int>(s.resource));
    }
    if (treeViewDNS_->currentItem() != item) treeViewDNS_->setCurrentItem(item);
}

void TMainFrm::TreeSelectionChanged() {
    if (rendering_) return;
    const QList<QTreeWidgetItem*> items = treeViewDNS_->selectedItems();
    if (items.isEmpty()) return;
    DomainSelection selection;
    QTreeWidgetItem* item = items.front();
    if (!item->parent()) {
        selection.level = DomainSelection::Root;
    } else if (!item->parent()->parent()) {
        selection.level = DomainSelection::Domain;
        selection.domain = static_cast<std::size_t>(item->parent()->indexOfChild(item));
    } else {
        selection.level = DomainSelection::Resource;
        QTreeWidgetItem* domain = item->parent();
        selection.domain = static_cast<std::size_t>(domain->parent()->indexOfChild(domain));
        selection.resource = static_cast<std::size_t>(domain->indexOfChild(item));
    }
    Act(FaceActionKind::TreeClick, {},
        {std::to_string(static_cast<int>(selection.level)), std::to_string(selection.domain),
         std::to_string(selection.resource)});
}

int TMainFrm::SelectedLine() const {
    QTreeWidgetItem* item = listViewLine_->currentItem();
    return item && item->isSelected() ? listViewLine_->indexOfTopLevelItem(item) : -1;
}

std::string TMainFrm::SelectedLineId() const {
    const int row = SelectedLine();
    return row >= 0 && static_cast<std::size_t>(row) < shownLines_.size()
               ? shownLines_[static_cast<std::size_t>(row)].LineID
               : std::string();
}

void TMainFrm::ShowMainWindow() {
    showNormal();
    raise();
    activateWindow();
}

void TMainFrm::ShowHintWindow(const QString& text) {
    if (!desktopNoticesFailed_ && TDesktopNotices::Wanted()) {
        // A desktop without the service gets the sliding window from now on.
        desktopNotices_->Send(QString::fromUtf8(Tr(kMessageCaption)), text, [this, text] {
            desktopNoticesFailed_ = true;
            ShowHintWindow(text);
        });
        return;
    }
    if (TFAnimateHint::Current()) {
        // Replacing the text on screen would lose it (a failed logon's reason): it waits. A
        // burst beyond the queue's room keeps the first ones and the newest.
        if (!hintQueue_.empty() && hintQueue_.back() == text) return;
        if (hintQueue_.size() >= kQueuedHints) hintQueue_.pop_back();
        hintQueue_.push_back(text);
        return;
    }
    auto* hint = new TFAnimateHint();  // deletes itself once it has slid away
    connect(hint, &TFAnimateHint::InfoClicked, this, &TMainFrm::ShowMainFromHint);
    // The next one rises once this one is gone.
    connect(hint, &QObject::destroyed, this, [this] {
        if (hintQueue_.empty() || TFAnimateHint::Current()) return;
        const QString next = hintQueue_.front();
        hintQueue_.pop_front();
        ShowHintWindow(next);
    });
    hint->HintHeight = 117;
    hint->HintWidth = 182;
    hint->SetTitleColor(Qt::black);
    hint->SetTitle(QString::fromUtf8(Tr(kMessageCaption)));
    hint->SetInfoColor(Qt::black);
    hint->SetInfo(text);
    hint->DelaySeconds = 5;
    hint->StartAnimation();
}

void TMainFrm::ShowMainFromHint() {
    if (isVisible() && !isMinimized()) return;
    hintQueue_.clear();  // the window's log shows them
    if (TFAnimateHint* hint = TFAnimateHint::Current()) hint->close();
    ShowMainWindow();
}

void TMainFrm::LogChanged() {
    // The rows in view stay in view: a reader scrolled down is not carried along by new entries
    // at the top; one at the top sees them come in.
    QScrollBar* bar = listViewLog_->verticalScrollBar();
    const int scrolled = bar->value();
    const int in = logModel_->Sync();
    if (scrolled > 0 && in > 0) {
        const int perRow = listViewLog_->verticalScrollMode() == QAbstractItemView::ScrollPerItem
                               ? 1
                               : listViewLog_->verticalHeader()->defaultSectionSize();
        bar->setValue(scrolled + in * perRow);
    }
}

void TMainFrm::FocusEdit(EditBox box) {
    (box == EditBox::UserName ? editUserName_ : editPassword_)->setFocus();
}

void TMainFrm::ShowMessage(const QString& text, const QString& caption, MessageIcon icon) {
    auto* box = new QMessageBox(BoxIcon(icon), caption, text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void TMainFrm::ExitClick() {
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

TMainFrm::ExitChoice TMainFrm::DefaultAskExit() {
    QMessageBox box(QMessageBox::Question, QString::fromUtf8(Tr(kMessageCaption)),
                    tr("本窗口显示的是Vorta服务。要停止Vorta服务吗？\n"
                       "只关闭窗口时，服务继续运行。"),
                    QMessageBox::NoButton, this);
    QPushButton* stop = box.addButton(tr("停止服务"), QMessageBox::DestructiveRole);
    QPushButton* close = box.addButton(tr("只关闭窗口"), QMessageBox::AcceptRole);
    box.addButton(tr("取消"), QMessageBox::RejectRole);
    box.setDefaultButton(close);
    box.exec();
    if (box.clickedButton() == stop) return ExitChoice::StopService;
    if (box.clickedButton() == close) return ExitChoice::CloseWindow;
    return ExitChoice::Cancel;
}

bool TMainFrm::DefaultConfirm(const QString& text, MessageIcon icon) {
    QMessageBox box(BoxIcon(icon), QString::fromUtf8(Tr(kMessageCaption)), text,
                    QMessageBox::Ok | QMessageBox::Cancel, this);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    return box.exec() == QMessageBox::Ok;
}

QString TMainFrm::DefaultChooseLogFile(const QString& suggestedName) {
    QFileDialog dialog(this, tr("请选择保存的路径和名称"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("TXT"));
    dialog.setNameFilters({tr("文本文档(*.txt)"), tr("所有文件(*.*)")});
    dialog.selectFile(suggestedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front();
}

TLineEditFrm* TMainFrm::LineEditFrm() {
    if (!lineEditFrm_) {
        lineEditFrm_ = new TLineEditFrm(context_.network, context_.ras, this);
        lineEditFrm_->setObjectName(QStringLiteral("LineEditFrm"));
    }
    return lineEditFrm_;
}

void TMainFrm::btAddClick() {
    TLineEditFrm* dlg = LineEditFrm();
    dlg->EditMode = 1;
    dlg->LineIndex = -1;
    if (dlg->exec() != QDialog::Accepted) return;
    Act(FaceActionKind::AddLine, {}, LineFields(DialogFields(*dlg)));
}

void TMainFrm::btModifyClick() {
    // The line the user sees selected, by id: the list may change while the dialog is open
    // (another client, `vorta lines`), and the change then still goes to this line. The dialog
    // opens on a copy of the record, so the lines stay free for every other thread meanwhile.
    const std::string lineId = SelectedLineId();
    const std::optional<TLineInfo> snapshot = face_->FindLine(lineId);
    if (!snapshot) {
        ShowMessage(tr("请先选择要操作的线路！"), QString::fromUtf8(Tr(kMessageCaption)),
                    MessageIcon::Error);
        return;
    }
    TLineEditFrm* dlg = LineEditFrm();
    dlg->EditMode = 2;
    dlg->LineIndex = SelectedLine();
    dlg->SetRecord(*snapshot);
    if (dlg->exec() != QDialog::Accepted) return;
    std::vector<std::string> args = LineFields(DialogFields(*dlg));
    args.insert(args.begin(), lineId);
    Act(FaceActionKind::ModifyLine, {}, std::move(args));
}

void TMainFrm::btDeleteClick() {
    const std::string lineId = SelectedLineId();
    if (lineId.empty()) {
        ShowMessage(tr("请先选择要操作的线路！"), QString::fromUtf8(Tr(kMessageCaption)),
                    MessageIcon::Error);
        return;
    }
    // Taken before the question: what is deleted is the line the user was asked about.
    if (!Confirm(tr("确定要删除该线路吗?"), MessageIcon::Error)) return;
    Act(FaceActionKind::DeleteLine, {}, {lineId});
}

void TMainFrm::BtnClearLogClick() {
    if (!Confirm(tr("确定删除日志信息吗?"), MessageIcon::Information)) return;
    Act(FaceActionKind::ClearLog);
}

void TMainFrm::BtnSaveLogClick() {
    if (face_->Log().size() == 0) return;
    const QString name = QStringLiteral("NABULog") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddhhmm"));
    const QString path = ChooseLogFile(name);
    if (path.isEmpty()) return;
    QFile file(path);
    const std::string text = face_->Log().SaveText();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(text.data(), static_cast<qint64>(text.size())) !=
            static_cast<qint64>(text.size()))
        ShowMessage(file.errorString(), QString::fromUtf8(Tr(kMessageCaption)), MessageIcon::Error);
}

void TMainFrm::GoToTray() {
    // Without a tray a hidden window could not be reached again: it is minimised instead.
    if (QSystemTrayIcon::isSystemTrayAvailable())
        hide();
    else
        showMinimized();
}

void TMainFrm::ToggleFromTray() {
    if (isVisible() && !isMinimized())
        GoToTray();
    else
        ShowMainWindow();
}

void TMainFrm::MenuItem2Click() {
    // The log page: the one the item names.
    ShowMainWindow();
    pages_->setCurrentIndex(3);
}

void TMainFrm::OpenPage(const char* pathAndQuery) {
    context_.openUrl(PageUrl(face_->ServiceUrl(), pathAndQuery));
}

void TMainFrm::OpenHelp() {
    const QString file =
        context_.helpFile.isEmpty() ? QStringLiteral(VORTA_HELP_FILE) : context_.helpFile;
    if (QFileInfo::exists(file)) context_.openUrl(QUrl::fromLocalFile(file));
}

void TMainFrm::ShowSysInfo() {
    TSysInfo* info = face_->SysInfo();
    if (!info) return;
    if (!sysInfoDlg_) sysInfoDlg_ = new TFrmSysInfo(*info, this);
    sysInfoDlg_->exec();
}

void TMainFrm::ShowAbout() {
    if (!aboutDlg_) aboutDlg_ = new TFAbout(context_.facts, this);
    aboutDlg_->exec();
}

void TMainFrm::closeEvent(QCloseEvent* event) {
    // Closing keeps the client; it ends through the exit action.
    event->ignore();
    GoToTray();
}

void TMainFrm::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized() &&
        QSystemTrayIcon::isSystemTrayAvailable())
        QMetaObject::invokeMethod(this, &QWidget::hide, Qt::QueuedConnection);
}

bool TMainFrm::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == editUserName_ || watched == editPassword_) && event->type() == QEvent::FocusIn)
        Act(FaceActionKind::EditEnter, {}, {watched == editUserName_ ? "U" : "P"});
    const bool mouseEvent = event->type() == QEvent::MouseButtonPress ||
                            event->type() == QEvent::MouseMove ||
                            event->type() == QEvent::MouseButtonRelease;
    if (watched == title_ && mouseEvent) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (event->type() == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton) {
            // The window manager moves the window where it can; elsewhere the window follows
            // the mouse itself.
            dragging_ = !(windowHandle() && windowHandle()->startSystemMove());
            dragOffset_ = mouse->globalPosition().toPoint() - pos();
            return true;
        }
        if (event->type() == QEvent::MouseMove && dragging_) {
            move(mouse->globalPosition().toPoint() - dragOffset_);
            return true;
        }
        if (event->type() == QEvent::MouseButtonRelease) dragging_ = false;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace vorta::ui
