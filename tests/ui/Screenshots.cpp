// Renders the window's pages and its small windows to PNG files for the documentation, with a
// client logged on to the development service so that the pages show real content, in the
// language LANGUAGE names (as the programs choose it) and with a light or a dark palette.
// Usage: ui_screenshots DIR [light|dark]

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTranslator>
#include <iostream>

#include "ClientHarness.h"
#include "WindowHarness.h"
#include "base/Translate.h"
#include "ui/About.h"
#include "ui/AnimateHint.h"
#include "ui/LineEditFrm.h"
#include "ui/SysInfoDlg.h"

using namespace vorta;
using namespace vorta::test;

namespace {

bool Save(QWidget* widget, const QString& dir, const char* name) {
    const QString file = dir + "/" + name + ".png";
    if (widget->grab().save(file)) return true;
    std::cerr << "ui_screenshots: cannot write " << file.toStdString() << "\n";
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3 ||
        (argc == 3 && std::string(argv[2]) != "light" && std::string(argv[2]) != "dark")) {
        std::cerr << "usage: ui_screenshots DIR [light|dark]\n";
        return 2;
    }
    const std::filesystem::path programs = VORTA_PROGRAM_DIR;
    StartTranslations(LocaleDirFor(programs));
    EnsureApplication();
    QTranslator english;
    const bool chinese = ChosenLanguage() == UiLanguage::Chinese;
    if (!chinese) {
        if (!english.load(QStringLiteral("vorta_en"),
                          QString::fromStdString((programs / "translations").string()))) {
            std::cerr << "ui_screenshots: no English catalog under " << programs << "\n";
            return 1;
        }
        QApplication::installTranslator(&english);
    }
    if (argc == 3 && std::string(argv[2]) == "dark") QApplication::setPalette(DarkPalette());
    const QString dir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(dir);
    LiveService live;
    WindowHarness w(live.FastConfig());
    QTest::keyClicks(w.Find<QLineEdit>("EditUserName"), "demo");
    QTest::keyClicks(w.Find<QLineEdit>("EditPassword"), "demo123");
    w.Find<QPushButton>("BtnLogon")->click();
    WaitUntil([&] { return w.client->View().Domains != nullptr; });
    TLineInfo lan;
    lan.LineKind = 3;
    lan.MasterGroup = true;
    lan.EntryName = chinese ? "办公室网络" : "Office";
    w.client->AddLine(lan);
    w.window->show();
    WaitUntil([] { return false; }, std::chrono::milliseconds(300));

    bool ok = true;
    auto* pages = w.Find<QTabWidget>("PageControl1");
    const char* names[] = {"main-user", "main-advanced", "main-domains", "main-log"};
    for (int i = 0; i < 4; ++i) {
        pages->setCurrentIndex(i);
        WaitUntil([] { return false; }, std::chrono::milliseconds(100));
        ok &= Save(w.window.get(), dir, names[i]);
    }
    ui::TFAbout about(&w.facts, w.window.get());
    about.show();
    ok &= Save(&about, dir, "about");
    if (TSysInfo* info = w.client->SysInfo()) {
        ui::TFrmSysInfo sysInfo(*info, w.window.get());
        sysInfo.show();
        ok &= Save(&sysInfo, dir, "sysinfo");
    }
    ui::TLineEditFrm* edit = w.window->LineEditFrm();
    edit->EditMode = 1;
    edit->FormShow();
    edit->show();
    ok &= Save(edit, dir, "line-edit");
    edit->hide();
    w.window->ShowHintWindow(QString::fromUtf8(Tr("登陆成功！")));
    if (ui::TFAnimateHint* hint = ui::TFAnimateHint::Current()) {
        while (hint->ScrollingUp()) hint->TickScrollUp();
        ok &= Save(hint, dir, "notification");
    }
    return ok ? 0 : 1;
}
