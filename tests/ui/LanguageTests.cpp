// The window and the client's texts in the user's language, from the catalogs the build made: its
// own test program, since the client's texts stay translated for the rest of the process.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QMenuBar>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTest>
#include <QTranslator>
#include <cstdlib>

#include "WindowHarness.h"
#include "base/Translate.h"
#include "lines/LineFactory.h"

namespace vorta::test {
namespace {

QString Q(const char* text) {
    return QString::fromUtf8(text);
}

struct Expected {
    const char* language;  // LANGUAGE
    QStringList menus;
    QStringList tabs;
    const char* logon;
    const char* startup;
    const char* tray;
    const char* emptyCredentials;
    const char* logKind;
    const char* lineKind;
};

TEST(WindowLanguage, EnglishOutsideAChineseLocaleAndTheWrittenChineseInIt) {
    const std::filesystem::path built = VORTA_PROGRAM_DIR;
    const Expected cases[] = {
        {"en_US",
         {"&File", "&Service", "&Tools", "&Help"},
         {"Account", "Advanced", "Domains", "Log"},
         "Log On",
         "Run the Vorta client at login",
         "Vorta Client V1.0 -- not connected",
         "Please enter the user name and password first!",
         "Note",
         "LAN"},
        {"zh_CN",
         {Q("文件(&F)"), Q("服务(&S)"), Q("工具(&T)"), Q("帮助(&H)")},
         {Q("用户状态"), Q("高级设置"), Q("域名信息"), Q("日志")},
         "登录",
         "登录时运行Vorta客户端",
         "Vorta客户端 V1.0 -- 未连接网络",
         "请先输入用户名和密码！",
         "提示",
         "局域网"},
    };
    for (const Expected& want : cases) {
        SCOPED_TRACE(want.language);
        ::setenv("LANGUAGE", want.language, 1);
        StartTranslations(LocaleDirFor(built));
        EnsureApplication();
        QTranslator window;
        const bool english = ChosenLanguage() == UiLanguage::English;
        EXPECT_EQ(english, want.language[0] == 'e');
        if (english) {
            ASSERT_TRUE(window.load(QStringLiteral("vorta_en"),
                                    QString::fromStdString((built / "translations").string())));
            QApplication::installTranslator(&window);
        }
        {
            WindowHarness w;
            QStringList menus;
            for (QAction* menu : w.Find<QMenuBar>("ActionMainMenuBar1")->actions())
                menus << menu->text();
            EXPECT_EQ(menus, want.menus);
            QStringList tabs;
            auto* pages = w.window->findChild<QTabWidget*>();
            for (int i = 0; i < pages->count(); ++i) tabs << pages->tabText(i);
            EXPECT_EQ(tabs, want.tabs);
            auto* logon = w.Find<QPushButton>("BtnLogon");
            EXPECT_EQ(logon->text(), Q(want.logon));
            EXPECT_EQ(w.Find<QCheckBox>("ChkBoxStartup")->text(), Q(want.startup));
            EXPECT_EQ(w.window->Tray()->toolTip(), Q(want.tray));
            // A text of the client's, its log kind and a line kind, through the same catalogs.
            logon->click();
            ASSERT_GT(w.client->Log().size(), 0u);
            EXPECT_EQ(w.client->Log()[0].Text, want.emptyCredentials);
            EXPECT_STREQ(TLogList::KindName(w.client->Log()[0].Kind), want.logKind);
            std::vector<std::string> kinds;
            TLineFactory::GetLineTypeNames(kinds);
            EXPECT_EQ(kinds.back(), want.lineKind);
        }
        QApplication::removeTranslator(&window);
    }
}

}  // namespace
}  // namespace vorta::test
