#pragma once
// The front end of the headless mode: every log entry and message becomes one line on stderr.

#include <functional>
#include <ostream>

#include "core/Client.h"

namespace vorta::app {

class HeadlessView : public IClientView {
public:
    explicit HeadlessView(std::ostream& out) : out_(out) {}
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
    std::ostream& out_;
    const TClient* client_ = nullptr;
    std::function<void()> exit_;
};

}  // namespace vorta::app
