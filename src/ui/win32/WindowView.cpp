#include "ui/win32/WindowView.h"

#include "ui/win32/MainWindow.h"

namespace vorta::win32ui {

void WindowView::ShowMainWindow() {
    if (window_) window_->ShowMainWindow();
}
void WindowView::ShowHint(const std::string& text) {
    if (window_) window_->ShowHintWindow(text);
}
void WindowView::LogAdded() {
    if (window_) window_->LogChanged();
}
void WindowView::Beep(unsigned type) {
    MessageBeep(type);
}
void WindowView::FocusEdit(EditBox box) {
    if (window_) window_->FocusEdit(box);
}
void WindowView::MessageBox(const std::string& text, const std::string& caption, MessageIcon icon) {
    if (window_) window_->ShowMessage(text, caption, icon);
}
void WindowView::StateChanged() {
    if (window_) window_->Render();
}
void WindowView::Exit() {
    // The window's message loop ends; the session then stops the client.
    PostQuitMessage(0);
}

}  // namespace vorta::win32ui
