#pragma once
// The front end of the headless mode: every log entry and message becomes one line on stderr.

#include <functional>
#include <ostream>

#include "core/Client.h"

namespace vorta::app {

class HeadlessView : public IClientView {
public:
    // `priorities`: every line starts with its syslog priority (<3>, <4>, <6>), which the
    // journal reads and removes.
    explicit HeadlessView(std::ostream& out, bool priorities = false)
        : out_(out), priorities_(priorities) {}
    void Attach(const TClient* client, std::function<void()> exit) {
        client_ = client;
        exit_ = std::move(exit);
    }

    void ShowMainWindow() override {}
    void ShowHint(const std::string&) override {}
    void LogAdded() override;
    void Beep(unsigned) override {}
    void FocusEdit(EditBox) override {}
    void MessageBox(const std::string& text, const std::string& caption, MessageIcon icon) override;
    void StateChanged() override {}
    void Exit() override {
        if (exit_) exit_();
    }

private:
    // The line's start: its priority, when asked for, and the program's name.
    const char* Lead(int priority) const;

    std::ostream& out_;
    const bool priorities_;
    const TClient* client_ = nullptr;
    std::function<void()> exit_;
};

}  // namespace vorta::app
