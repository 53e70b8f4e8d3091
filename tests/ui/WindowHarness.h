#pragma once
// The main window over a real controller wired to fakes (and, when a test needs one, to the
// development service), driven from the Qt event loop as vorta-window drives it.

#include <QApplication>
#include <QMessageBox>
#include <QPalette>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "FakeNetworkTables.h"
#include "FakePlatform.h"
#include "FakeRemoteAccess.h"
#include "FakeSystemFacts.h"
#include "TempDir.h"
#include "core/Client.h"
#include "core/ClientFace.h"
#include "ui/LoopDriver.h"
#include "ui/MainFrm.h"
#include "ui/QtClientView.h"

namespace vorta::test {

// One application for the whole test program, on the offscreen platform unless told otherwise.
inline void EnsureApplication() {
    static int argc = 1;
    static char name[] = "ui_tests";
    static char* argv[] = {name, nullptr};
    if (QApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    new QApplication(argc, argv);  // lives until the program ends
    QApplication::setQuitOnLastWindowClosed(false);
}

// A dark desktop theme's palette.
inline QPalette DarkPalette() {
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x2d, 0x2d, 0x2d));
    dark.setColor(QPalette::WindowText, QColor(0xf0, 0xf0, 0xf0));
    dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    dark.setColor(QPalette::AlternateBase, QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::Text, QColor(0xf0, 0xf0, 0xf0));
    dark.setColor(QPalette::Button, QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::ButtonText, QColor(0xf0, 0xf0, 0xf0));
    dark.setColor(QPalette::Highlight, QColor(0x2a, 0x5a, 0x9a));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    dark.setColor(QPalette::Link, QColor(0x8a, 0xb4, 0xf8));
    dark.setColor(QPalette::ToolTipBase, QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::ToolTipText, QColor(0xf0, 0xf0, 0xf0));
    return dark;
}

// Runs Qt's events until `done` holds; false after `limit`.
template <typename Predicate>
bool WaitUntil(Predicate done, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// Runs `answer` on the next modal dialog once it is up, from inside its own event loop.
inline void OnNextModal(std::function<void(QWidget*)> answer) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible()) return;
        timer->stop();
        timer->deleteLater();
        answer(modal);
    });
    timer->start();
}

class WindowHarness {
public:
    explicit WindowHarness(ClientConfig config = {}) {
        EnsureApplication();
        if (config.serviceUrl.empty()) config.serviceUrl = "http://127.0.0.1:1/unused/";
        ClientPlatform platform{store, services, autostart};
        platform.facts = &facts;
        platform.network = &network;
        platform.ras = &ras;
        platform.linesFile = dir.path() / "LineInfo.dat";
        client = std::make_unique<TClient>(config, std::move(platform), view, loop);
        face = std::make_unique<LocalFace>(*client);
        window = std::make_unique<ui::TMainFrm>(
            *face, ui::MainFrmContext{&network, &ras, &facts,
                                      [this](const QUrl& url) { opened.push_back(url.toString()); },
                                      QString::fromStdString(HelpFile().string())});
        view.Attach(window.get());
        driver = std::make_unique<ui::TLoopDriver>(loop);
        client->StartClient(false);
    }
    ~WindowHarness() {
        client->Shutdown();
        driver.reset();
        view.Attach(nullptr);
        window.reset();
        client.reset();
    }

    // Where the window looks for its help; nothing is there until a test puts it there.
    std::filesystem::path HelpFile() const { return dir.path() / "vorta.html"; }

    template <typename T>
    T* Find(const char* name) const {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
    // The texts of the message boxes the window shows now; they are closed.
    QStringList TakeMessages() {
        QStringList texts;
        for (QMessageBox* box : window->findChildren<QMessageBox*>()) {
            if (!box->isVisible()) continue;
            texts << box->text();
            box->close();
        }
        return texts;
    }
    QStringList AwaitMessages() {
        QStringList texts;
        WaitUntil([&] { return !(texts = TakeMessages()).isEmpty(); }, std::chrono::seconds(5));
        return texts;
    }

    TempDir dir;
    FakeSettingsStore store;
    FakeServiceManager services;
    FakeAutostart autostart;
    FakeSystemFacts facts;
    FakeNetworkTables network;
    FakeRemoteAccess ras;
    EventLoop loop;
    ui::TQtClientView view;
    std::unique_ptr<TClient> client;
    std::unique_ptr<LocalFace> face;
    std::unique_ptr<ui::TMainFrm> window;
    std::unique_ptr<ui::TLoopDriver> driver;
    QStringList opened;  // the pages the window asked to open
};

}  // namespace vorta::test
