// The main window's controls, captions and hints.

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QSystemTrayIcon>
#include <QTableView>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "base/Translate.h"
#include "core/SystemTexts.h"
#include "ui/Icons.h"
#include "ui/LinkLabel.h"
#include "ui/LogModel.h"
#include "ui/MainFrm.h"
#include "ui/WebPages.h"

namespace vorta::ui {

namespace {

QString U(const char* text) {
    return QString::fromUtf8(text);
}

template <typename W>
W* Named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

}  // namespace

QWidget* TMainFrm::BuildTitleStrip() {
    title_ = Named(new QWidget(this), "PalTitle_Center");
    title_->setFixedHeight(20);
    title_->setAttribute(Qt::WA_StyledBackground);
    title_->installEventFilter(this);
    auto* row = new QHBoxLayout(title_);
    row->setContentsMargins(4, 0, 2, 0);
    row->setSpacing(2);
    auto* caption = Named(new QLabel(U("---:: Vorta V1.0 ::---"), title_), "TitleCaption");
    row->addWidget(caption, 1, Qt::AlignCenter);
    auto* min = Named(new QToolButton(title_), "SBtnMin");
    min->setText(U("_"));
    min->setToolTip(tr("最小化"));
    auto* close = Named(new QToolButton(title_), "SBtnClose");
    close->setText(U("×"));
    close->setToolTip(tr("关闭"));
    for (QToolButton* b : {min, close}) {
        b->setAutoRaise(true);
        b->setFixedSize(18, 16);
        row->addWidget(b);
        connect(b, &QToolButton::clicked, this, &TMainFrm::GoToTray);
    }
    return title_;
}

QAction* TMainFrm::AddAction(QMenu* menu, const char* name, const char* caption) {
    QAction* action = menu->addAction(tr(caption));
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

QMenuBar* TMainFrm::BuildMenuBar() {
    auto* bar = Named(new QMenuBar(this), "ActionMainMenuBar1");
    auto opener = [this](const char* path) { return [this, path] { OpenPage(path); }; };

    QMenu* file = bar->addMenu(tr("文件(&F)"));
    action3_ = AddAction(file, "Action3", QT_TR_NOOP("注销(&U)"));
    connect(action3_, &QAction::triggered, this, [this] { Act(FaceActionKind::MenuLogoff); });
    action2_ = AddAction(file, "Action2", QT_TR_NOOP("登录(&L)"));
    connect(action2_, &QAction::triggered, this, [this] {
        pages_->setCurrentIndex(0);
        Act(FaceActionKind::MenuLogon);
    });
    connect(AddAction(file, "ActionReg", QT_TR_NOOP("注册(&R)")), &QAction::triggered, this,
            opener(page::kRegister));
    QAction* exit = AddAction(file, "ActionExitNABU_TIM", QT_TR_NOOP("退出Vorta客户端(&X)"));
    exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(exit, &QAction::triggered, this, &TMainFrm::ExitClick);

    QMenu* service = bar->addMenu(tr("服务(&S)"));
    connect(AddAction(service, "ActionFKXZ", QT_TR_NOOP("付款须知(&Z)")), &QAction::triggered, this,
            opener(page::kPaymentNotes));
    connect(AddAction(service, "ActionJSZC", QT_TR_NOOP("技术支持(&Y)")), &QAction::triggered, this,
            opener(page::kSupport));
    connect(AddAction(service, "ActionYMZC", QT_TR_NOOP("域名注册(&X)")), &QAction::triggered, this,
            opener(page::kDomainRegister));
    connect(AddAction(service, "ActionYMZR", QT_TR_NOOP("域名转入(&W)")), &QAction::triggered, this,
            opener(page::kDomainTransfer));
    connect(AddAction(service, "ActionJSJLQ", QT_TR_NOOP("技术交流区(&V)")), &QAction::triggered,
            this, opener(page::kForum));
    connect(AddAction(service, "ActionZZFU", QT_TR_NOOP("增值服务(&U)")), &QAction::triggered, this,
            opener(page::kValueAdded));

    QMenu* tools = bar->addMenu(tr("工具(&T)"));
    connect(AddAction(tools, "Action10", QT_TR_NOOP("版本检查(&C)")), &QAction::triggered, this,
            opener(page::kVersionCheck));
    connect(AddAction(tools, "ActionModPwd", QT_TR_NOOP("修改密码(&M)")), &QAction::triggered, this,
            opener(page::kChangePassword));
    connect(AddAction(tools, "Action11", QT_TR_NOOP("密码找回(&Y)")), &QAction::triggered, this,
            opener(page::kPasswordRecovery));
    connect(AddAction(tools, "ActionSysSummary", QT_TR_NOOP("系统信息...(&S)")),
            &QAction::triggered, this, &TMainFrm::ShowSysInfo);

    QMenu* help = bar->addMenu(tr("帮助(&H)"));
    connect(AddAction(help, "ActionHelpContent", QT_TR_NOOP("帮助主题(&H)")), &QAction::triggered,
            this, &TMainFrm::OpenHelp);
    connect(AddAction(help, "Action13", QT_TR_NOOP("推荐给朋友(&Y)")), &QAction::triggered, this,
            opener(page::kRecommend));
    connect(AddAction(help, "Action12", QT_TR_NOOP("提交建议(&Z)")), &QAction::triggered, this,
            [this] {
                if (context_.openUrl) context_.openUrl(SupportMailUrl(face_->ServiceUrl()));
            });
    help->addSeparator();
    connect(AddAction(help, "Action4", QT_TR_NOOP("关于(&A)...")), &QAction::triggered, this,
            &TMainFrm::ShowAbout);
    return bar;
}

QWidget* TMainFrm::BuildUserPage() {
    auto* page = Named(new QWidget, "TabSheet1");
    auto* col = new QVBoxLayout(page);
    col->setContentsMargins(6, 4, 6, 4);
    col->setSpacing(3);

    auto* top = new QHBoxLayout;
    auto* image = Named(new QLabel(page), "Image1");
    image->setPixmap(AppIcon().pixmap(40, 40));
    top->addWidget(image);
    auto* intro = new QVBoxLayout;
    intro->addWidget(Named(
        new QLabel(tr("请输入用户名和密码登录Vorta的服务器,如果尚未申请成为Vorta的用户"), page),
        "Label8"));
    intro->addWidget(
        Named(new QLabel(tr("或是第一次使用客户端请点击注册进行注册为Vorta用户"), page), "Label9"));
    top->addLayout(intro, 1);
    col->addLayout(top);

    auto* logon = new QHBoxLayout;
    logon->addWidget(Named(new QLabel(tr("用户名："), page), "Label10"));
    editUserName_ = Named(new QLineEdit(page), "EditUserName");
    editUserName_->setMaxLength(15);
    logon->addWidget(editUserName_);
    logon->addWidget(Named(new QLabel(tr("密  码："), page), "Label11"));
    editPassword_ = Named(new QLineEdit(page), "EditPassword");
    editPassword_->setMaxLength(15);
    editPassword_->setEchoMode(QLineEdit::Password);
    logon->addWidget(editPassword_);
    btnLogon_ = Named(new QPushButton(tr("登录"), page), "BtnLogon");
    logon->addWidget(btnLogon_);
    auto* reg = Named(new QPushButton(tr("注册(&R)"), page), "BtnRegisterWizard");
    logon->addWidget(reg);
    col->addLayout(logon);

    auto* options = new QHBoxLayout;
    chkSavePwd_ = Named(new QCheckBox(tr("记住密码"), page), "ChkBoxSavePwd");
    chkSavePwd_->setToolTip(tr("选择记住密码系统将在下次启动的时候自动登录Vorta服务器"));
    chkStartup_ = Named(new QCheckBox(U(Tr(texts::kStartupBox)), page), "ChkBoxStartup");
    chkRunAsService_ = Named(new QCheckBox(U(Tr(texts::kServiceBox)), page), "ChkBoxRunAsService");
    chkRunAsService_->setToolTip(U(Tr(texts::kServiceBoxTip)));
    for (QCheckBox* c : {chkSavePwd_, chkStartup_, chkRunAsService_}) options->addWidget(c);
    options->addStretch(1);
    col->addLayout(options);

    auto* group = Named(new QGroupBox(tr("线路状况"), page), "GroupBox2");
    auto* inGroup = new QHBoxLayout(group);
    inGroup->setContentsMargins(4, 2, 4, 4);
    listViewLine_ = Named(new QTreeWidget(group), "ListViewLine");
    listViewLine_->setRootIsDecorated(false);
    listViewLine_->setSelectionBehavior(QAbstractItemView::SelectRows);
    listViewLine_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    listViewLine_->setHeaderLabels(
        {tr("状态"), tr("组别"), tr("线路名称"), tr("是否必通"), tr("IP地址")});
    // The columns fit the list: the name takes what the others leave, the address column holds
    // the longest address whole.
    const int widths[] = {38, 50, 120, 64, 0};
    for (int i = 0; i < 4; ++i) listViewLine_->setColumnWidth(i, widths[i]);
    QHeaderView* header = listViewLine_->header();
    header->setStretchLastSection(false);
    for (int i : {0, 1, 3}) header->setSectionResizeMode(i, QHeaderView::Fixed);
    header->setSectionResizeMode(2, QHeaderView::Stretch);
    header->setSectionResizeMode(4, QHeaderView::Fixed);
    listViewLine_->setColumnWidth(
        4, listViewLine_->fontMetrics().horizontalAdvance(QStringLiteral("255.255.255.255")) + 16);
    inGroup->addWidget(listViewLine_, 1);
    auto* buttons = new QVBoxLayout;
    for (const auto& [name, caption] :
         {std::pair{"btAdd", QT_TR_NOOP("新增")}, std::pair{"btModify", QT_TR_NOOP("修改")},
          std::pair{"btDelete", QT_TR_NOOP("删除")}}) {
        auto* b = Named(new QPushButton(tr(caption), group), name);
        buttons->addWidget(b);
    }
    buttons->addStretch(1);
    inGroup->addLayout(buttons);
    col->addWidget(group, 1);

    connect(reg, &QPushButton::clicked, this, [this] { OpenPage(page::kRegister); });
    connect(group->findChild<QPushButton*>("btAdd"), &QPushButton::clicked, this,
            &TMainFrm::btAddClick);
    connect(group->findChild<QPushButton*>("btModify"), &QPushButton::clicked, this,
            &TMainFrm::btModifyClick);
    connect(group->findChild<QPushButton*>("btDelete"), &QPushButton::clicked, this,
            &TMainFrm::btDeleteClick);
    connect(listViewLine_, &QTreeWidget::itemDoubleClicked, this, &TMainFrm::btModifyClick);
    return page;
}

QWidget* TMainFrm::BuildAdvancedPage() {
    auto* page = Named(new QWidget, "TabSheet8");
    auto* col = new QVBoxLayout(page);
    auto* group = Named(new QGroupBox(tr("主/备服务器高级设置"), page), "GroupBox3");
    auto* inGroup = new QHBoxLayout(group);
    cbIsInNet_ = Named(new QCheckBox(tr("加入网络"), group), "cbIsInNet");
    rbAsMaster_ = Named(new QRadioButton(tr("作为主服务器"), group), "rbAsMaster");
    rbAsSlave_ = Named(new QRadioButton(tr("作为备份服务器"), group), "rbAsSlave");
    cbInLANBack_ = Named(new QCheckBox(tr("备份服务器存在LAN内"), group), "cbInLANBack");
    inGroup->addWidget(cbIsInNet_);
    inGroup->addWidget(rbAsMaster_);
    inGroup->addWidget(rbAsSlave_);
    inGroup->addWidget(cbInLANBack_);
    col->addWidget(group);
    memoNative_ = Named(new QPlainTextEdit(page), "MemoNative");
    memoNative_->setReadOnly(true);
    col->addWidget(memoNative_, 1);
    chkUpdateSysInfo_ =
        Named(new QCheckBox(tr("允许提交信息到服务器端"), page), "suiCheckBoxUpdateSysInfo");
    chkUpdateSysInfo_->setChecked(true);
    col->addWidget(chkUpdateSysInfo_);
    auto* links = new QHBoxLayout;
    // Their hints, the pages' addresses, follow the service URL in Render.
    auto* why = Named(new TLinkLabel(tr("为什么要采集并提交我的系统信息？"), page), "LabelWhy");
    auto* protocol = Named(new TLinkLabel(tr("查阅NABU\"协议\""), page), "Label1Protol");
    labelWhy_ = why;
    label1Protol_ = protocol;
    links->addWidget(why);
    links->addWidget(protocol);
    links->addStretch(1);
    col->addLayout(links);
    connect(why, &TLinkLabel::clicked, this, [this] { OpenPage(page::kWhyCollect); });
    connect(protocol, &TLinkLabel::clicked, this, [this] { OpenPage(page::kAgreement); });
    return page;
}

QWidget* TMainFrm::BuildDomainPage() {
    auto* page = Named(new QWidget, "TabSheet3");
    auto* col = new QVBoxLayout(page);
    // The tree and the details beside it share the page as the user drags their border.
    auto* row = Named(new QSplitter(Qt::Horizontal, page), "DomainSplitter");
    row->setChildrenCollapsible(false);
    treeViewDNS_ = Named(new QTreeWidget(row), "TreeViewDNS");
    treeViewDNS_->setHeaderHidden(true);
    treeViewDNS_->setMinimumWidth(100);
    auto* details = new QWidget(row);
    auto* right = new QVBoxLayout(details);
    right->setContentsMargins(0, 0, 0, 0);
    row->setSizes({200, 330});
    row->setStretchFactor(1, 1);
    auto* upper = Named(new QGroupBox(details), "Panel1");
    auto* lower = Named(new QGroupBox(details), "Panel2");
    auto* upperCol = new QVBoxLayout(upper);
    auto* lowerCol = new QVBoxLayout(lower);
    for (int n : {1, 2, 3, 7, 5, 6}) {
        const QByteArray name = "lab" + QByteArray::number(n);
        labs_[n] = Named(new QLabel(U("-"), n == 5 || n == 6 ? lower : upper), name.constData());
        labs_[n]->setWordWrap(true);
        (n == 5 || n == 6 ? lowerCol : upperCol)->addWidget(labs_[n]);
    }
    right->addWidget(upper, 1);
    right->addWidget(lower, 1);
    col->addWidget(row, 1);
    auto* bottom = new QHBoxLayout;
    auto* admin = Named(new TLinkLabel(tr("登录nabu管理站点提交或更新域名信息！"), page), "Label1");
    auto* refresh = Named(new QPushButton(tr("刷新域名信息"), page), "btRefreshDomainInfo");
    bottom->addWidget(admin);
    bottom->addStretch(1);
    bottom->addWidget(refresh);
    col->addLayout(bottom);
    connect(admin, &TLinkLabel::clicked, this, [this] { OpenPage(page::kDomainAdmin); });
    connect(refresh, &QPushButton::clicked, this, [this] { Act(FaceActionKind::Refresh); });
    connect(treeViewDNS_, &QTreeWidget::itemSelectionChanged, this,
            &TMainFrm::TreeSelectionChanged);
    return page;
}

QWidget* TMainFrm::BuildLogPage() {
    auto* page = Named(new QWidget, "TabSheet2");
    auto* col = new QVBoxLayout(page);
    listViewLog_ = Named(new QTableView(page), "ListViewLog");
    logModel_ = new TLogModel(face_->Log(), this);
    listViewLog_->setModel(logModel_);
    listViewLog_->setShowGrid(true);
    listViewLog_->setSelectionBehavior(QAbstractItemView::SelectRows);
    listViewLog_->setSortingEnabled(false);
    listViewLog_->verticalHeader()->hide();
    listViewLog_->verticalHeader()->setDefaultSectionSize(18);
    listViewLog_->horizontalHeader()->setSectionsClickable(false);
    listViewLog_->horizontalHeader()->setMinimumSectionSize(40);
    listViewLog_->setColumnWidth(0, 60);
    listViewLog_->setColumnWidth(1, 365);
    listViewLog_->setColumnWidth(2, 116);
    col->addWidget(listViewLog_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* clear = Named(new QPushButton(tr("清除日志(&D)"), page), "BtnClearLog");
    auto* save = Named(new QPushButton(tr("保存日志(&S)"), page), "BtnSaveLog");
    buttons->addWidget(clear);
    buttons->addWidget(save);
    col->addLayout(buttons);
    connect(clear, &QPushButton::clicked, this, &TMainFrm::BtnClearLogClick);
    connect(save, &QPushButton::clicked, this, &TMainFrm::BtnSaveLogClick);
    return page;
}

void TMainFrm::BuildTray() {
    tray_ = new QSystemTrayIcon(this);
    tray_->setObjectName(QStringLiteral("CoolTrayIcon"));
    trayMenu_ = new QMenu(this);  // a pop-up: its own window, owned here
    trayMenu_->setObjectName(QStringLiteral("PopupMenuTrayIcon"));
    connect(AddAction(trayMenu_, "Restore1", QT_TR_NOOP("显示/隐藏主窗口(&S)")),
            &QAction::triggered, this, &TMainFrm::ToggleFromTray);
    trayMenu_->addSeparator();
    connect(AddAction(trayMenu_, "MenuItem2", QT_TR_NOOP("日        志(&L)")), &QAction::triggered,
            this, &TMainFrm::MenuItem2Click);
    trayMenu_->addSeparator();
    connect(AddAction(trayMenu_, "pmExitClient", QT_TR_NOOP("退出Vorta客户端(&X)")),
            &QAction::triggered, this, &TMainFrm::ExitClick);
    tray_->setContextMenu(trayMenu_);
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        if (r == QSystemTrayIcon::Trigger) ToggleFromTray();
    });
    tray_->setIcon(TrayIcon(TrayState::NotConnected));
    tray_->setToolTip(QString::fromUtf8(Tr(kApplicationTitle)));
    tray_->show();
}

}  // namespace vorta::ui
