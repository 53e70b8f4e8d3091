// The main window's lists: lines through the line edit dialog, the log and its file, and the
// domain tree's labels.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableView>
#include <QTreeWidget>

#include "WindowHarness.h"
#include "ui/LineEditFrm.h"
#include "ui/LogModel.h"

namespace vorta::test {
namespace {

QString Q(const char* text) {
    return QString::fromUtf8(text);
}

// Picks the LAN connection `name` in the line edit dialog and confirms it, or cancels it.
void AnswerLineDialog(QString name, bool ok = true, bool backup = false) {
    OnNextModal([name, ok, backup](QWidget* modal) {
        auto* dlg = qobject_cast<ui::TLineEditFrm*>(modal);
        ASSERT_NE(dlg, nullptr);
        if (!ok) return dlg->BitBtn2()->click();
        if (dlg->cbbUType()->isEnabled()) dlg->cbbUType()->setCurrentIndex(3);  // LAN
        if (dlg->cbbLineType()->isEnabled())
            dlg->cbbLineType()->setCurrentIndex(
                dlg->cbbLineType()->findText(name, Qt::MatchFixedString | Qt::MatchCaseSensitive));
        EXPECT_EQ(dlg->cbbLineType()->currentText(), name);
        (backup ? dlg->rbSlave() : dlg->rbMasterGroup())->setChecked(true);
        dlg->BtnOK()->click();
    });
}

QStringList LineNames(QTreeWidget* list) {
    QStringList names;
    for (int i = 0; i < list->topLevelItemCount(); ++i) names << list->topLevelItem(i)->text(2);
    return names;
}

TEST(MainFrmLists, AddModifyAndDeleteLinesThroughTheDialog) {
    WindowHarness w;
    std::uint32_t index = 1;
    for (const char* name : {"Office", "OFFICE", "L2", "L3", "L4", "L5", "L6"}) {
        platform::LinkInfo link;
        link.name = name;
        link.index = ++index;
        link.type = 1;  // Ethernet
        w.network.links.push_back(link);
    }
    auto* list = w.Find<QTreeWidget>("ListViewLine");
    EXPECT_EQ(list->headerItem()->text(2), Q("线路名称"));

    AnswerLineDialog("Office");
    w.window->btAddClick();
    ASSERT_EQ(LineNames(list), QStringList{"Office"});
    EXPECT_EQ(list->topLevelItem(0)->text(1), Q("主组"));
    EXPECT_EQ(list->topLevelItem(0)->text(3), Q("否"));

    // The same name in another letter case is refused.
    AnswerLineDialog("OFFICE");
    w.window->btAddClick();
    EXPECT_EQ(w.AwaitMessages(), QStringList{Q("该线路已经存在！")});
    EXPECT_EQ(list->topLevelItemCount(), 1);

    for (const char* name : {"L2", "L3", "L4", "L5"}) {
        AnswerLineDialog(name);
        w.window->btAddClick();
    }
    ASSERT_EQ(list->topLevelItemCount(), 5);
    AnswerLineDialog("L6");
    w.window->btAddClick();
    EXPECT_EQ(w.AwaitMessages(),
              QStringList{Q("您最多可以添加5条线路,如需要添加更多,请联系软件Vorta提供商。")});
    EXPECT_EQ(list->topLevelItemCount(), 5);

    // Modify needs a selected row; the dialog opens on a copy of the record.
    w.window->btModifyClick();
    EXPECT_EQ(w.AwaitMessages(), QStringList{Q("请先选择要操作的线路！")});
    list->setCurrentItem(list->topLevelItem(1));
    const std::string id = w.client->LinesMng()->At(1)->info.LineID;
    AnswerLineDialog("L2", true, true);
    w.window->btModifyClick();
    EXPECT_EQ(list->topLevelItem(1)->text(1), Q("备组"));
    EXPECT_EQ(w.client->LinesMng()->At(1)->info.LineID, id);  // the id stays
    EXPECT_EQ(list->currentItem(), list->topLevelItem(1));    // so does the selection

    // The list may change while the dialog is open: the change goes to the same record.
    list->setCurrentItem(list->topLevelItem(2));
    const std::string l3 = w.client->LinesMng()->At(2)->info.LineID;
    OnNextModal([&](QWidget* modal) {
        auto* dlg = qobject_cast<ui::TLineEditFrm*>(modal);
        // As `vorta lines delete 1` would, meanwhile.
        w.client->LinesMng()->DeleteLine(0);
        dlg->cbIsNecessary()->setChecked(true);
        dlg->BtnOK()->click();
    });
    w.window->btModifyClick();
    ASSERT_EQ(LineNames(list), (QStringList{"L2", "L3", "L4", "L5"}));
    EXPECT_EQ(w.client->LinesMng()->At(1)->info.LineID, l3);
    EXPECT_EQ(list->topLevelItem(1)->text(3), Q("是"));
    EXPECT_EQ(list->topLevelItem(0)->text(3), Q("否"));

    AnswerLineDialog("ignored", false);  // cancel changes nothing
    w.window->btModifyClick();
    EXPECT_EQ(LineNames(list), (QStringList{"L2", "L3", "L4", "L5"}));

    // A line whose connection the system no longer lists keeps its name through a modify.
    auto links = w.network.links;
    std::erase_if(links, [](const auto& link) { return link.name == "L3"; });
    w.network.SetLinks(std::move(links));
    OnNextModal([](QWidget* modal) {
        auto* dlg = qobject_cast<ui::TLineEditFrm*>(modal);
        EXPECT_EQ(dlg->cbbLineType()->currentText(), "");
        dlg->rbSlave()->setChecked(true);
        dlg->BtnOK()->click();
    });
    w.window->btModifyClick();
    EXPECT_EQ(LineNames(list), (QStringList{"L2", "L3", "L4", "L5"}));
    EXPECT_EQ(w.client->LinesMng()->At(1)->info.EntryName, "L3");
    EXPECT_EQ(list->topLevelItem(1)->text(1), Q("备组"));

    // Delete asks first; Cancel keeps the line.
    std::vector<QString> asked;
    bool answer = false;
    w.window->Confirm = [&](const QString& text, MessageIcon) {
        asked.push_back(text);
        return answer;
    };
    list->setCurrentItem(list->topLevelItem(0));
    w.window->btDeleteClick();
    EXPECT_EQ(list->topLevelItemCount(), 4);
    answer = true;
    w.window->btDeleteClick();
    EXPECT_EQ(LineNames(list), (QStringList{"L3", "L4", "L5"}));
    EXPECT_EQ(asked, (std::vector<QString>{Q("确定要删除该线路吗?"), Q("确定要删除该线路吗?")}));
    EXPECT_EQ(w.client->LinesMng()->Count(), 3u);

    // The line asked about is the one deleted, though the list changed under the question.
    list->setCurrentItem(list->topLevelItem(1));  // L4
    w.window->Confirm = [&](const QString&, MessageIcon) {
        w.client->LinesMng()->DeleteLine(0);  // L3, by another client meanwhile
        return true;
    };
    w.window->btDeleteClick();
    EXPECT_EQ(LineNames(list), QStringList{"L5"});
    ASSERT_EQ(w.client->LinesMng()->Count(), 1u);
    EXPECT_EQ(w.client->LinesMng()->At(0)->info.EntryName, "L5");
}

TEST(MainFrmLists, TheLogKeepsAThousandAndSavesNewestFirst) {
    WindowHarness w;
    auto* log = w.Find<QTableView>("ListViewLog");
    for (int i = 1; i <= 1001; ++i)
        w.client->AddLog(i == 1001 ? 2 : 0, "entry " + std::to_string(i));
    ASSERT_EQ(log->model()->rowCount(), 1000);
    EXPECT_EQ(log->model()->index(0, 1).data().toString(), "entry 1001");
    EXPECT_EQ(log->model()->index(0, 0).data().toString(), Q("错误"));
    EXPECT_EQ(log->model()->index(1, 0).data().toString(), Q("提示"));
    EXPECT_EQ(log->model()->index(999, 1).data().toString(), "entry 2");
    EXPECT_EQ(log->model()->headerData(2, Qt::Horizontal).toString(), Q("日期/时间"));

    // Clearing asks through a real box; Cancel keeps the log.
    OnNextModal([](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text(), Q("确定删除日志信息吗?"));
        EXPECT_EQ(box->windowTitle(), Q("提示信息"));
        box->button(QMessageBox::Cancel)->click();
    });
    w.Find<QPushButton>("BtnClearLog")->click();
    EXPECT_EQ(log->model()->rowCount(), 1000);
    OnNextModal([](QWidget* modal) {
        qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Ok)->click();
    });
    w.Find<QPushButton>("BtnClearLog")->click();
    ASSERT_EQ(log->model()->rowCount(), 1);
    EXPECT_EQ(log->model()->index(0, 1).data().toString(), Q("清除所有日志信息！"));

    w.client->AddLog(1, "  second  ");
    QString suggested;
    const QString file = QString::fromStdString((w.dir.path() / "log.txt").string());
    w.window->ChooseLogFile = [&](const QString& name) {
        suggested = name;
        return file;
    };
    w.Find<QPushButton>("BtnSaveLog")->click();
    EXPECT_TRUE(QRegularExpression("^NABULog\\d{12}$").match(suggested).hasMatch())
        << suggested.toStdString();
    QFile saved(file);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(saved.readAll());
    const QRegularExpression format(
        Q("^警告      \\d\\d-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d      second\r\n"
          "提示      \\d\\d-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d      清除所有日志信息！\r\n$"));
    EXPECT_TRUE(format.match(text).hasMatch()) << text.toStdString();
}

TEST(MainFrmLists, TheLineListsColumnsFitAndHoldAWholeAddress) {
    WindowHarness w;
    w.window->show();
    auto* list = w.Find<QTreeWidget>("ListViewLine");
    ASSERT_TRUE(WaitUntil([&] { return list->isVisible() && list->viewport()->width() > 0; }));
    int total = 0;
    for (int i = 0; i < list->columnCount(); ++i) total += list->columnWidth(i);
    EXPECT_LE(total, list->viewport()->width()) << "a column runs off the list";
    EXPECT_GE(list->columnWidth(4),
              list->fontMetrics().horizontalAdvance(QStringLiteral("255.255.255.255")));
    EXPECT_GT(list->columnWidth(2), 60) << "no room left for the line's name";
}

TEST(MainFrmLists, ALargerFontOfTheUsersIsKeptAndEveryTextStillFits) {
    const QFont usual = QApplication::font();
    QFont large = usual;
    large.setPointSize(15);
    QApplication::setFont(large);
    {
        WindowHarness w;
        w.window->show();
        EXPECT_GT(w.window->width(), 568);
        EXPECT_GT(w.window->height(), 335);
        auto* pages = w.window->findChild<QTabWidget*>();
        for (int page = 0; page < pages->count(); ++page) {
            pages->setCurrentIndex(page);
            QApplication::processEvents();
            for (QWidget* widget : pages->currentWidget()->findChildren<QWidget*>()) {
                auto* label = qobject_cast<QLabel*>(widget);
                auto* button = qobject_cast<QAbstractButton*>(widget);
                if ((!label && !button) || !widget->isVisible()) continue;
                if (label && (label->wordWrap() || label->text().isEmpty())) continue;
                SCOPED_TRACE(widget->objectName().toStdString());
                EXPECT_EQ(widget->font().pointSize(), 15);
                EXPECT_GE(widget->width(), widget->minimumSizeHint().width()) << "its text is cut";
            }
        }
    }
    QApplication::setFont(usual);
}

TEST(MainFrmLists, NewEntriesLeaveTheReadersSelectionAndPlaceInTheLog) {
    WindowHarness w;
    w.window->show();
    auto* log = w.Find<QTableView>("ListViewLog");
    auto* pages = w.window->findChild<QTabWidget*>();
    ASSERT_NE(pages, nullptr);
    pages->setCurrentWidget(w.Find<QWidget>("TabSheet2"));
    for (int i = 1; i <= 100; ++i) w.client->AddLog(0, "entry " + std::to_string(i));
    ASSERT_TRUE(
        WaitUntil([&] { return log->isVisible() && log->verticalScrollBar()->maximum() > 0; }));
    const auto textAt = [&](const QModelIndex& index) {
        return index.sibling(index.row(), 1).data().toString();
    };
    log->selectRow(50);
    log->verticalScrollBar()->setValue(30);
    const QString top = textAt(log->indexAt(QPoint(5, 5)));
    ASSERT_EQ(textAt(log->currentIndex()), "entry 50");
    w.client->AddLog(0, "entry 101");
    w.client->AddLog(1, "entry 102");
    EXPECT_EQ(textAt(log->currentIndex()), "entry 50") << "the selection moved to another entry";
    EXPECT_EQ(textAt(log->indexAt(QPoint(5, 5))), top) << "the rows in view moved";
    EXPECT_EQ(log->model()->index(0, 1).data().toString(), "entry 102");
    // A reader at the top sees the newest come in.
    log->verticalScrollBar()->setValue(0);
    w.client->AddLog(0, "entry 103");
    EXPECT_EQ(textAt(log->indexAt(QPoint(5, 5))), "entry 103");
}

// The WCAG contrast ratio of two colours.
double Contrast(const QColor& a, const QColor& b) {
    const auto luminance = [](const QColor& c) {
        const auto channel = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) +
               0.0722 * channel(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST(MainFrmLists, ADarkPaletteLeavesEveryTextReadable) {
    const QPalette light = QApplication::palette();
    const QPalette dark = DarkPalette();
    QApplication::setPalette(dark);
    {
        WindowHarness w;
        w.window->show();
        auto* pages = w.window->findChild<QTabWidget*>();
        ASSERT_NE(pages, nullptr);
        std::set<QWidget*> checked;
        for (int page = 0; page < pages->count(); ++page) {
            pages->setCurrentIndex(page);
            QApplication::processEvents();
            for (QWidget* widget : w.window->findChildren<QWidget*>()) {
                const bool text =
                    qobject_cast<QLabel*>(widget) || qobject_cast<QAbstractButton*>(widget);
                if (!text || !widget->isVisible() || !checked.insert(widget).second) continue;
                // A button paints its own face; elsewhere the nearest background that is
                // painted shows through.
                QWidget* ground = widget;
                if (!qobject_cast<QPushButton*>(widget))
                    while (ground->parentWidget() && !ground->autoFillBackground() &&
                           !ground->testAttribute(Qt::WA_StyledBackground))
                        ground = ground->parentWidget();
                const QColor fg = widget->palette().color(widget->foregroundRole());
                const QColor bg = ground->palette().color(qobject_cast<QPushButton*>(widget)
                                                              ? QPalette::Button
                                                              : ground->backgroundRole());
                EXPECT_GE(Contrast(fg, bg), 4.5)
                    << widget->objectName().toStdString() << ": " << fg.name().toStdString()
                    << " on " << bg.name().toStdString() << " of "
                    << ground->objectName().toStdString();
            }
        }
        EXPECT_GT(checked.size(), 30u);
    }
    QApplication::setPalette(light);
}

TEST(MainFrmLists, DomainLabelsForEveryOptionAndALowerCaseType) {
    WindowHarness w;
    auto list = std::make_shared<TGetServiceListResp>();
    auto domain = [](const char* online, const char* offline) {
        TDomainInfoSchema d;
        d.DomainName = std::string("d") + online + offline;
        d.SuffixName = ".example";
        d.OnlineOpt = online;
        d.OnlineStaticIP = "192.0.2.1";
        d.OnlineTransURL = "http://on.example/";
        d.OfflineOpt = offline;
        d.OfflineStaticIP = "192.0.2.2";
        d.OfflineTransURL = "http://off.example/";
        d.StartDate = "2024-01-01";
        d.EndDate = "2030-12-31";
        return d;
    };
    list->Domains = {domain("0", "0"), domain("1", "1"), domain("2", "2"), domain("3", "3"),
                     domain("x", "9")};
    list->Domains[0].Resources.push_back({"cname", "www", "host.example", "http://to.example/"});
    w.client->View().Domains = list;
    w.window->Render();
    auto* tree = w.Find<QTreeWidget>("TreeViewDNS");
    QTreeWidgetItem* root = tree->topLevelItem(0);
    ASSERT_NE(root, nullptr);
    ASSERT_EQ(root->childCount(), 5);
    EXPECT_EQ(root->child(1)->toolTip(0), Q("d11.example")) << "a long name would show cut";
    EXPECT_EQ(root->child(0)->child(0)->toolTip(0), Q("www"));
    auto lab = [&](const char* name) { return w.Find<QLabel>(name)->text(); };

    tree->setCurrentItem(root);
    EXPECT_EQ(lab("lab1"), Q("共 5 个域名。"));
    tree->setCurrentItem(root->child(0));
    EXPECT_EQ(lab("lab1"), Q("域名：d00，后缀：.example"));
    EXPECT_EQ(lab("lab2"), Q("在线时指向到客户端IP地址"));
    EXPECT_EQ(lab("lab3"), Q("离线时保持离线前的状态"));
    EXPECT_EQ(lab("lab7"), Q("服务期限自2024-01-01至2030-12-31"));
    tree->setCurrentItem(root->child(1));
    EXPECT_EQ(lab("lab2"), Q("在线时指向到静态IP地址：192.0.2.1"));
    EXPECT_EQ(lab("lab3"), Q("离线时指向到静态IP地址：192.0.2.2"));
    tree->setCurrentItem(root->child(2));
    EXPECT_EQ(lab("lab2"), Q("在线时转发到URL：http://on.example/"));
    EXPECT_EQ(lab("lab3"), Q("离线时转发到URL：http://off.example/"));
    tree->setCurrentItem(root->child(3));  // online 3 keeps what the last node showed
    EXPECT_EQ(lab("lab2"), Q("在线时转发到URL：http://on.example/"));
    EXPECT_EQ(lab("lab3"), Q("离线时指向到nabu提供的页面"));
    tree->setCurrentItem(root->child(4));  // neither value is known: both stay
    EXPECT_EQ(lab("lab1"), Q("域名：dx9，后缀：.example"));
    EXPECT_EQ(lab("lab3"), Q("离线时指向到nabu提供的页面"));

    tree->setCurrentItem(root->child(0)->child(0));
    EXPECT_EQ(lab("lab5"), Q("CNAME记录www，DNS数据为：host.example"));
    EXPECT_EQ(lab("lab6"), Q("该主机转发到URL：http://to.example/"));
    EXPECT_EQ(list->Domains[0].Resources[0].ResourceType, "CNAME");
    tree->setCurrentItem(root->child(0));
    EXPECT_EQ(lab("lab5"), Q("-"));
}

}  // namespace
}  // namespace vorta::test
