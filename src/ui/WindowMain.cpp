// vorta-window: the client with its window and tray icon, on the desktop of the user who starts
// it. It takes the same options as `vorta` for a client run.

#include <QApplication>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTranslator>
#include <iostream>

#include "app/CommandLine.h"
#include "base/Translate.h"
#include "host/HostPlatform.h"
#include "ui/WindowSession.h"

namespace {

using namespace vorta;

// The options' configuration with what the test hooks allow.
ClientConfig RunConfig(const app::CommandLine& cl) {
    ClientConfig config = app::ConfigFrom(cl, false);
    host::ApplyTestSettings(config);
    return config;
}

// The window's texts (Qt's catalogs) in the user's language; the client's came before.
void StartLanguage(QApplication& app, QTranslator& own, QTranslator& qt) {
    // QApplication has set the locale from the environment, which may be C.
    KeepTranslationsLocale();
    const std::filesystem::path dir = host::ExecutablePath().parent_path();
    const bool chinese = ChosenLanguage() == UiLanguage::Chinese;
    // The window is written in Chinese; English comes from its catalog, beside the program in a
    // build tree, else the installed one.
    std::error_code ec;
    const std::filesystem::path built = dir / "translations";
    const QString ownDir = QString::fromStdString(
        std::filesystem::is_directory(built, ec) ? built.string() : std::string(VORTA_QM_DIR));
    if (!chinese && own.load(QStringLiteral("vorta_en"), ownDir)) app.installTranslator(&own);
    // Qt's own words (standard buttons, the file dialog) where the system has their catalog.
    if (chinese &&
        qt.load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&qt);
}

int Run(const app::CommandLine& cl) {
    const std::filesystem::path dataDir =
        cl.dataDir ? std::filesystem::path(*cl.dataDir) : host::DefaultDataDir();
    const auto platform = host::MakePlatform(dataDir);
    ui::TWindowSession session(*platform, RunConfig(cl));
    std::string refusal;
    switch (session.Start(refusal)) {
        case ui::TWindowSession::Outcome::OtherShown:
            return 0;
        case ui::TWindowSession::Outcome::Refused:
            std::cerr << "vorta-window: " << refusal << "\n";
            QMessageBox::warning(nullptr, QString::fromUtf8(Tr(kMessageCaption)),
                                 QString::fromStdString(refusal));
            return 1;
        case ui::TWindowSession::Outcome::Shown:
            break;
    }
    const int code = QApplication::exec();
    return session.ExitCode() ? session.ExitCode() : code;
}

}  // namespace

int main(int argc, char** argv) {
    // Before any thread starts: it sets LANGUAGE.
    StartTranslations(LocaleDirFor(host::ExecutablePath().parent_path()));
    QApplication app(argc, argv);
    QTranslator own;
    QTranslator qt;
    StartLanguage(app, own, qt);
    QApplication::setApplicationName(QString::fromUtf8(Tr(kApplicationTitle)));
    // The desktop entry's name: the desktop matches the windows to the entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("vorta"));
    // The client lives in the tray: a hidden window does not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    const QStringList qtArgs = QApplication::arguments();  // Qt's own options removed
    std::vector<std::string> args;
    for (qsizetype i = 1; i < qtArgs.size(); ++i) args.push_back(qtArgs[i].toStdString());
    app::CommandLine cl;
    try {
        cl = app::ParseCommandLine(args);
        if (cl.command != app::Command::Run || cl.service ||
            cl.serviceSwitch != ServiceSwitch::None)
            throw std::invalid_argument(
                "vorta-window only runs the client; use vorta for the rest");
    } catch (const std::invalid_argument& e) {
        std::cerr << "vorta-window: " << e.what() << "\n";
        return 2;
    }
    try {
        return Run(cl);
    } catch (const std::exception& e) {
        std::cerr << "vorta-window: " << e.what() << "\n";
        return 1;
    }
}
