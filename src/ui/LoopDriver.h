#pragma once
// Runs the controller's event loop on the Qt event loop's thread: a post wakes it through a
// queued call, a single-shot timer wakes it when the next controller timer is due, and the
// loop's Quit (the OS's stop request) ends the Qt application.

#include <QObject>
#include <QTimer>

#include "core/EventLoop.h"

namespace vorta::ui {

class TLoopDriver : public QObject {
    Q_OBJECT
public:
    explicit TLoopDriver(EventLoop& loop, QObject* parent = nullptr);
    ~TLoopDriver() override;

    // Delivers what is due now; a call from inside a delivery (a nested Qt loop of a modal
    // dialog) is deferred until the outer one returns.
    void Process();

private:
    EventLoop& loop_;
    QTimer next_;
    bool processing_ = false;
    bool again_ = false;
};

}  // namespace vorta::ui
