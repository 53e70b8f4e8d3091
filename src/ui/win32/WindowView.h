#pragma once
// The window's side of the controller: what the controller asks of its front end goes to the
// main window once it exists (the controller is made before the window that shows it).

// First: IClientView::MessageBox reads as MessageBoxW all through the window's files.
#include <windows.h>

#include "core/ClientView.h"

namespace vorta::win32ui {

class MainWindow;

class WindowView : public IClientView {
public:
    void Attach(MainWindow* window) { window_ = window; }

    void ShowMainWindow() override;
    void ShowHint(const std::string& text) override;
    void LogAdded() override;
    void Beep(unsigned type) override;
    void FocusEdit(EditBox box) override;
    void MessageBox(const std::string& text, const std::string& caption, MessageIcon icon) override;
    void StateChanged() override;
    void Exit() override;

private:
    MainWindow* window_ = nullptr;
};

}  // namespace vorta::win32ui
