// The about box's memory line and the system information tree.

#include <gtest/gtest.h>

#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QTreeWidget>

#include "FakeSystemFacts.h"
#include "ui/About.h"
#include "ui/Icons.h"
#include "ui/SysInfoDlg.h"

namespace vorta::ui {
namespace {

using test::CpuBlock;
using test::FakeSystemFacts;

constexpr std::uint64_t kMB = 1048576;

TEST(IconsTest, AreDrawnForTheDevicePixelRatio) {
    for (const QIcon& icon : {AppIcon(), TrayIcon(TrayState::NotConnected), LineStateIcon(true)}) {
        const QPixmap sharp = icon.pixmap(QSize(32, 32), 2.0);
        EXPECT_EQ(sharp.size(), QSize(64, 64)) << "scaled up from a smaller drawing";
        EXPECT_EQ(sharp.devicePixelRatio(), 2.0);
        // Something is drawn: not every pixel is transparent.
        const QImage image = sharp.toImage();
        bool painted = false;
        for (int y = 0; y < image.height() && !painted; ++y)
            for (int x = 0; x < image.width() && !painted; ++x)
                painted = qAlpha(image.pixel(x, y)) != 0;
        EXPECT_TRUE(painted);
    }
}

TEST(AboutTest, MemoryLineRoundsHalvesToEvenAndTheBoxShowsItOnEveryShow) {
    EXPECT_EQ(MemoryLine(512 * kMB, 200 * kMB + kMB / 2), "可用的物理内存：512MB [200MB Free]");
    EXPECT_EQ(MemoryLine(512 * kMB, 201 * kMB + kMB / 2), "可用的物理内存：512MB [202MB Free]");
    EXPECT_EQ(MemoryLine(kMB / 2 + 1, 0), "可用的物理内存：1MB [0MB Free]");

    FakeSystemFacts facts;
    facts.memory = {512 * kMB, 200 * kMB + kMB / 2};
    TFAbout about(&facts);
    EXPECT_EQ(about.windowTitle(), "关于");
    EXPECT_EQ(about.MemoryText(), "Memory");
    about.show();
    EXPECT_EQ(about.MemoryText(), "可用的物理内存：512MB [200MB Free]");
    about.hide();
    facts.memory = {1024 * kMB, 10 * kMB};
    about.show();
    EXPECT_EQ(about.MemoryText(), "可用的物理内存：1024MB [10MB Free]");
}

struct Node {
    QString text;
    int image;
};

std::vector<Node> Children(const QTreeWidgetItem* item) {
    std::vector<Node> nodes;
    for (int i = 0; i < item->childCount(); ++i)
        nodes.push_back({item->child(i)->text(0), item->child(i)->data(0, Qt::UserRole).toInt()});
    return nodes;
}

void ExpectNodes(const QTreeWidgetItem* item, const std::vector<Node>& expected) {
    const auto nodes = Children(item);
    ASSERT_EQ(nodes.size(), expected.size()) << item->text(0).toStdString();
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        EXPECT_EQ(nodes[i].text, expected[i].text) << i;
        EXPECT_EQ(nodes[i].image, expected[i].image) << nodes[i].text.toStdString();
        EXPECT_FALSE(item->child(static_cast<int>(i))->icon(0).isNull());
    }
}

class SysInfoDlgTest : public ::testing::Test {
protected:
    SysInfoDlgTest() {
        facts.osRelease = "NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12\"\n";
        facts.kernelRelease = "6.1.0-18-amd64";
        facts.memoryText = "MemTotal:       16314020 kB\nMemAvailable:    8000512 kB\n";
        facts.onlineCpus = "0-1";
        facts.cpuInfo = CpuBlock(0, "Xeon A", "2400.000") + CpuBlock(1, "Xeon B", "1799.6");
        facts.cards = std::vector<platform::NetworkCardFacts>{{"e1000", "8086", "100e"}};
    }
    FakeSystemFacts facts;
    TSysInfo sysInfo{nullptr, {}, &facts};
};

TEST_F(SysInfoDlgTest, TreeListsTheMachineInOrderWithItsImages) {
    TFrmSysInfo dialog(sysInfo);
    EXPECT_EQ(dialog.windowTitle(), "系统信息");
    dialog.show();
    QTreeWidget* tree = dialog.Tree();
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    const QTreeWidgetItem* root = tree->topLevelItem(0);
    EXPECT_EQ(root->text(0), "系统信息");
    EXPECT_EQ(root->data(0, Qt::UserRole).toInt(), 0);
    EXPECT_TRUE(root->isExpanded());

    ExpectNodes(root, {{"操作系统: Debian GNU/Linux 12", 2},
                       {"CPU个数: 2", 3},
                       {"内存信息", 6},
                       {"网络信息", 10}});
    ExpectNodes(root->child(0), {{"版本: 6.1.0-18-amd64", 1}});
    ExpectNodes(
        root->child(1),
        {{"CPU: Xeon A", 4}, {"主频: 2400 MHZ", 1}, {"CPU: Xeon B", 4}, {"主频: 1800 MHZ", 1}});
    ExpectNodes(root->child(2), {{"物理内存: 16314020 KB", 7}, {"可用内存: 8000512 KB", 7}});
    ExpectNodes(root->child(3), {{"网卡", 9}, {"网络连接: ", 10}});
    ExpectNodes(root->child(3)->child(0), {{"e1000 [8086:100e]", 9}});
    EXPECT_TRUE(root->child(3)->child(0)->isExpanded());

    // Shown again, the tree is built anew rather than added to.
    dialog.hide();
    dialog.show();
    EXPECT_EQ(tree->topLevelItemCount(), 1);
    EXPECT_EQ(tree->topLevelItem(0)->childCount(), 4);
}

TEST_F(SysInfoDlgTest, CollectorErrorStopsTheTreeAndKeepsWhatWasBuilt) {
    facts.cpuInfo = CpuBlock(0, "Xeon A", "fast");
    TFrmSysInfo dialog(sysInfo);
    dialog.show();
    const QTreeWidgetItem* root = dialog.Tree()->topLevelItem(0);
    ASSERT_NE(root, nullptr);
    ASSERT_EQ(root->childCount(), 2);
    EXPECT_EQ(root->child(1)->text(0), "CPU个数: 2");
    EXPECT_EQ(root->child(1)->childCount(), 0);
}

}  // namespace
}  // namespace vorta::ui
