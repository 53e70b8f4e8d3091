#include "ui/LoopDriver.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <algorithm>

namespace vorta::ui {

TLoopDriver::TLoopDriver(EventLoop& loop, QObject* parent) : QObject(parent), loop_(loop) {
    next_.setSingleShot(true);
    connect(&next_, &QTimer::timeout, this, &TLoopDriver::Process);
    // Both callbacks may run on any thread: they only queue calls onto this object's thread.
    // The owner stops every posting thread before this driver goes.
    loop_.SetWakeup(
        [this] { QMetaObject::invokeMethod(this, &TLoopDriver::Process, Qt::QueuedConnection); });
    // exit, not quit: a quit first closes the windows, and the main window refuses to close.
    loop_.SetQuitHandler([] {
        if (QCoreApplication* app = QCoreApplication::instance())
            QMetaObject::invokeMethod(
                app, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    });
    QMetaObject::invokeMethod(this, &TLoopDriver::Process, Qt::QueuedConnection);
}

TLoopDriver::~TLoopDriver() {
    loop_.SetWakeup({});
    loop_.SetQuitHandler({});
}

void TLoopDriver::Process() {
    if (processing_) {
        again_ = true;
        return;
    }
    processing_ = true;
    std::optional<EventLoop::Clock::time_point> due;
    do {
        again_ = false;
        due = loop_.ProcessDue();
    } while (again_);
    processing_ = false;
    if (!due) {
        next_.stop();
        return;
    }
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*due - EventLoop::Clock::now());
    next_.start(static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, wait.count())));
}

}  // namespace vorta::ui
