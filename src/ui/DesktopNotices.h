#pragma once
// Notifications through the desktop's notification service (org.freedesktop.Notifications on the
// session bus), for desktops where a window cannot place itself (Wayland).

#include <QObject>
#include <QString>
#include <functional>

namespace vorta::ui {

class TDesktopNotices : public QObject {
    Q_OBJECT

public:
    explicit TDesktopNotices(QObject* parent = nullptr) : QObject(parent) {}

    // Whether notifications go to the desktop's service: on Wayland, where the sliding window
    // cannot be put at the screen's corner.
    static bool Wanted();

    // Sends the notification without waiting for it; `failed` runs (on this thread) when the
    // service is not there or refuses it, so that the caller shows it its own way.
    void Send(const QString& title, const QString& text, std::function<void()> failed);
};

}  // namespace vorta::ui
