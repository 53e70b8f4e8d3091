// The line edit dialog: what it offers for each kind, its close check, and modify mode.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "FakeNetworkTables.h"
#include "FakeRemoteAccess.h"
#include "ui/LineEditFrm.h"

namespace vorta::ui {
namespace {

QStringList Items(const QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
    return items;
}

class LineEditFrmTest : public ::testing::Test {
protected:
    LineEditFrmTest() {
        for (const char* name : {"eth0", "新建连接", "wlan0"}) {
            platform::LinkInfo link;
            link.name = name;
            tables.links.push_back(link);
        }
        ras.entries = {"isp-a", "新建连接向导"};
        dialog.ShowMessage = [this](const QString& text, const QString& caption) {
            messages << caption + "|" + text;
        };
    }
    bool UserFieldsShown() const {
        return !dialog.edUserName()->isHidden() && !dialog.edUserPwd()->isHidden();
    }
    test::FakeNetworkTables tables;
    test::FakeRemoteAccess ras;
    TLineEditFrm dialog{&tables, &ras};
    QStringList messages;
};

TEST_F(LineEditFrmTest, AddOffersTheKindsConnectionsAndLanClosesWithoutUserData) {
    dialog.FormShow();
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "线路信息");
    EXPECT_EQ(Items(dialog.cbbUType()),
              QStringList({"虚拟拨号", "Web认证(网通)", "Cable Modem", "局域网"}));
    EXPECT_EQ(dialog.cbbUType()->currentIndex(), 0);
    EXPECT_EQ(Items(dialog.cbbLineType()), QStringList({"isp-a"}));
    EXPECT_EQ(dialog.cbbLineType()->currentIndex(), 0);
    EXPECT_TRUE(dialog.cbbLineType()->isEnabled() && dialog.cbbUType()->isEnabled());
    EXPECT_TRUE(dialog.BtnOK()->isEnabled());
    EXPECT_TRUE(dialog.rbMasterGroup()->isChecked());
    EXPECT_FALSE(dialog.rbSlave()->isChecked());
    EXPECT_FALSE(dialog.cbIsNecessary()->isChecked());
    EXPECT_TRUE(UserFieldsShown());
    EXPECT_EQ(dialog.edUserPwd()->echoMode(), QLineEdit::Password);

    dialog.cbbUType()->setCurrentIndex(3);
    EXPECT_EQ(Items(dialog.cbbLineType()), QStringList({"eth0", "wlan0"}));
    EXPECT_FALSE(UserFieldsShown());
    dialog.cbbLineType()->setCurrentIndex(1);
    dialog.rbSlave()->setChecked(true);
    QTest::mouseClick(dialog.BtnOK(), Qt::LeftButton);
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.EntryName(), "wlan0");
    EXPECT_EQ(dialog.LineKind(), 3);
    EXPECT_EQ(dialog.UserName(), "");
    EXPECT_EQ(dialog.Password(), "");
    EXPECT_FALSE(dialog.MasterGroup());
}

TEST_F(LineEditFrmTest, BlankUserDataIsRefusedButCancelAlwaysCloses) {
    dialog.FormShow();
    dialog.show();
    dialog.cbbUType()->setCurrentIndex(1);
    EXPECT_TRUE(UserFieldsShown());
    dialog.edUserName()->setText("   ");
    dialog.edUserPwd()->setText("secret");
    QTest::mouseClick(dialog.BtnOK(), Qt::LeftButton);
    EXPECT_EQ(messages, QStringList({"提示信息|请输入用户名，密码信息！"}));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.focusWidget(), dialog.edUserName());

    dialog.edUserName()->setText("alice");
    QTest::mouseClick(dialog.BtnOK(), Qt::LeftButton);
    EXPECT_EQ(messages.size(), 1);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.UserName(), "alice");
    EXPECT_EQ(dialog.Password(), "secret");
    EXPECT_EQ(dialog.EntryName(), "eth0");

    // exec shows the dialog afresh; cancel and the close box leave without a check.
    QTimer::singleShot(0, dialog.BitBtn2(), [this] {
        EXPECT_EQ(dialog.edUserName()->text(), "");
        QTest::mouseClick(dialog.BitBtn2(), Qt::LeftButton);
    });
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    QTimer::singleShot(0, &dialog, [this] { dialog.close(); });
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    EXPECT_EQ(messages.size(), 1);
}

TEST_F(LineEditFrmTest, TextsTheLinesFileCannotHoldAreRefusedWithTheirLimit) {
    const QString twenty = "张三李四王五赵六钱七";  // 20 GBK bytes
    dialog.FormShow();
    dialog.show();
    dialog.cbbUType()->setCurrentIndex(1);
    dialog.edUserName()->setText(twenty + "a");
    dialog.edUserPwd()->setText("secret");
    QTest::mouseClick(dialog.BtnOK(), Qt::LeftButton);
    EXPECT_EQ(messages, QStringList({"提示信息|用户名称最长20个字节（GBK）！"}));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.focusWidget(), dialog.edUserName());

    dialog.edUserName()->setText(twenty);
    dialog.edUserPwd()->setText(QString::fromUtf8("pw\xF0\x9F\x98\x80"));
    QTest::mouseClick(dialog.BtnOK(), Qt::LeftButton);
    EXPECT_EQ(messages.last(), "提示信息|用户密码含有GBK无法保存的字符！");
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.focusWidget(), dialog.edUserPwd());

    dialog.edUserPwd()->setText(QString(20, 'p'));
    QTest::mouseClick(dialog.BtnOK(), Qt::LeftButton);
    EXPECT_EQ(messages.size(), 2);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.UserName(), twenty.toStdString()) << "the full slot is kept whole";
}

TEST_F(LineEditFrmTest, ModifyShowsTheRecordWithBothListsLocked) {
    TLineInfo record;
    record.EntryName = "WLAN0";  // matched ignoring case
    record.LineKind = 3;
    record.MasterGroup = false;
    record.IsNecessary = true;
    dialog.EditMode = 2;
    dialog.LineIndex = 1;
    dialog.SetRecord(record);
    dialog.FormShow();
    EXPECT_EQ(dialog.cbbLineType()->currentText(), "wlan0");
    EXPECT_EQ(dialog.LineKind(), 3);
    EXPECT_FALSE(dialog.cbbLineType()->isEnabled());
    EXPECT_FALSE(dialog.cbbUType()->isEnabled());
    EXPECT_TRUE(dialog.rbSlave()->isChecked());
    EXPECT_TRUE(dialog.cbIsNecessary()->isChecked());
    EXPECT_FALSE(UserFieldsShown());
    EXPECT_TRUE(dialog.BtnOK()->isEnabled());

    record = {};
    record.EntryName = "gone0";
    record.LineKind = 1;
    record.UserName = "bob";
    record.Password = "pw";
    record.MasterGroup = true;
    dialog.SetRecord(record);
    dialog.FormShow();
    EXPECT_EQ(dialog.cbbLineType()->currentIndex(), -1);
    EXPECT_EQ(dialog.EntryName(), "");
    EXPECT_TRUE(UserFieldsShown());
    EXPECT_EQ(dialog.edUserName()->text(), "bob");
    EXPECT_EQ(dialog.edUserPwd()->text(), "pw");
    EXPECT_TRUE(dialog.rbMasterGroup()->isChecked());
    EXPECT_FALSE(dialog.rbSlave()->isChecked());

    for (std::uint8_t mode : {0, 3}) {
        dialog.EditMode = mode;
        dialog.FormShow();
        EXPECT_FALSE(dialog.BtnOK()->isEnabled()) << int(mode);
    }
}

}  // namespace
}  // namespace vorta::ui
