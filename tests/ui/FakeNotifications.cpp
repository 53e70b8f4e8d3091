// A stand-in for the desktop's notification service on the session bus: prints "ready" once it
// owns the name, then each notification as "summary|body", one a line.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QObject>
#include <QStringList>
#include <QVariantMap>
#include <iostream>

class Notifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public slots:
    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap&, int) {
        std::cout << summary.toStdString() << "|" << body.toStdString() << std::endl;
        return ++shown_;
    }
    QStringList GetCapabilities() { return {QStringLiteral("body")}; }
    void CloseNotification(uint) {}

private:
    uint shown_ = 0;
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    Notifications server;
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &server,
                            QDBusConnection::ExportAllSlots) ||
        !bus.registerService(QStringLiteral("org.freedesktop.Notifications"))) {
        std::cerr << "fake_notifications: " << bus.lastError().message().toStdString() << "\n";
        return 1;
    }
    std::cout << "ready" << std::endl;
    return QCoreApplication::exec();
}

#include "FakeNotifications.moc"
