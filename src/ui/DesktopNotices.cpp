#include "ui/DesktopNotices.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QGuiApplication>
#include <QStringList>
#include <QVariantMap>
#include <cstring>

#include "platform/TestSetting.h"

namespace vorta::ui {

bool TDesktopNotices::Wanted() {
    // Tests ask for the desktop's service on the offscreen platform.
    if (const char* forced = platform::TestSetting("VORTA_DESKTOP_NOTICES"))
        return std::strcmp(forced, "1") == 0;
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

void TDesktopNotices::Send(const QString& title, const QString& text,
                           std::function<void()> failed) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        failed();
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // app name, replaces id, icon, summary, body, actions, hints, timeout (ms; -1: the server's)
    call << QStringLiteral("Vorta") << 0u << QStringLiteral("vorta") << title << text
         << QStringList() << QVariantMap{{QStringLiteral("desktop-entry"), QStringLiteral("vorta")}}
         << 5000;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [failed = std::move(failed)](QDBusPendingCallWatcher* done) {
                const QDBusPendingReply<uint> reply = *done;
                done->deleteLater();
                if (reply.isError()) failed();
            });
}

}  // namespace vorta::ui
