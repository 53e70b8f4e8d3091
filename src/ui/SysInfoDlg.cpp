#include "ui/SysInfoDlg.h"

#include <QTreeWidget>
#include <QVBoxLayout>
#include <exception>
#include <string>

#include "core/UpdateSysInfoTrd.h"
#include "protocol/DebugLog.h"
#include "ui/Icons.h"

namespace vorta::ui {
namespace {

QTreeWidgetItem* Node(QTreeWidgetItem* parent, const std::string& text, int image) {
    auto* item = new QTreeWidgetItem(parent, {QString::fromStdString(text)});
    item->setIcon(0, SysInfoIcon(image));
    item->setData(0, Qt::UserRole, image);  // the image index, for checks of the tree
    return item;
}

}  // namespace

TFrmSysInfo::TFrmSysInfo(TSysInfo& sysInfo, QWidget* parent)
    : QDialog(parent), sysInfo_(sysInfo), tree_(new QTreeWidget(this)) {
    setObjectName("FrmSysInfo");
    setWindowTitle(tr("系统信息"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    QFont font("宋体");
    font.setPixelSize(12);
    setFont(font);
    resize(405, 359);

    tree_->setObjectName("TreeView1");
    tree_->setHeaderHidden(true);
    tree_->setColumnCount(1);
    tree_->setIndentation(19);
    tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tree_);
}

void TFrmSysInfo::Rebuild() {
    sysInfo_.RefreshConnInfo();
    tree_->clear();
    auto* root = new QTreeWidgetItem(tree_, {tr("系统信息")});
    root->setIcon(0, SysInfoIcon(0));
    root->setData(0, Qt::UserRole, 0);
    try {
        QTreeWidgetItem* os = Node(root, tr("操作系统: ").toStdString() + sysInfo_.GetOSName(), 2);
        Node(os, tr("版本: ").toStdString() + sysInfo_.ShownOSVersion(), 1);

        QTreeWidgetItem* cpu = Node(
            root, tr("CPU个数: ").toStdString() + std::to_string(sysInfo_.GetProcessorCount()), 3);
        TCpuInfoArray cpus;
        sysInfo_.GetCPUInfo(cpus);
        for (const TCPUInfo& one : cpus) {
            Node(cpu, "CPU: " + one.Name, 4);
            Node(cpu, tr("主频: ").toStdString() + std::to_string(one.MHz) + " MHZ", 1);
        }

        QTreeWidgetItem* memory = Node(root, tr("内存信息").toStdString(), 6);
        Node(memory,
             tr("物理内存: ").toStdString() + FormatMemoryKB(sysInfo_.GetTotalMemoryKB()) + " KB",
             7);
        Node(memory,
             tr("可用内存: ").toStdString() + FormatMemoryKB(sysInfo_.GetAvailMemoryKB()) + " KB",
             7);

        QTreeWidgetItem* network = Node(root, tr("网络信息").toStdString(), 10);
        QTreeWidgetItem* cards = Node(network, tr("网卡").toStdString(), 9);
        TAdapterArray adapters;
        sysInfo_.GetNetworkCards(adapters);
        for (const std::string& card : adapters) Node(cards, card, 9);
        std::string names;
        sysInfo_.GetConnNames(names);
        Node(network, tr("网络连接: ").toStdString() + names, 10);
    } catch (const std::exception& e) {
        // The nodes built so far stay; the rest of the machine could not be read.
        Debug(std::string("system information: ") + e.what());
    }
    tree_->expandAll();
}

void TFrmSysInfo::showEvent(QShowEvent* event) {
    Rebuild();
    QDialog::showEvent(event);
}

}  // namespace vorta::ui
