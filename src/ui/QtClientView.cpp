#include "ui/QtClientView.h"

#include <QApplication>

#include "base/Translate.h"
#include "ui/MainFrm.h"

namespace vorta::ui {

void TQtClientView::ShowMainWindow() {
    if (window_) window_->ShowMainWindow();
}
void TQtClientView::ShowHint(const std::string& text) {
    if (window_) window_->ShowHintWindow(QString::fromStdString(text));
}
void TQtClientView::LogAdded() {
    if (window_) window_->LogChanged();
}
void TQtClientView::Beep(unsigned) {
    QApplication::beep();
}
void TQtClientView::FocusEdit(EditBox box) {
    if (window_) window_->FocusEdit(box);
}
void TQtClientView::MessageBox(const std::string& text, const std::string& caption,
                               MessageIcon icon) {
    if (window_)
        window_->ShowMessage(QString::fromStdString(text), QString::fromUtf8(Tr(caption.c_str())),
                             icon);
}
void TQtClientView::StateChanged() {
    if (window_) window_->Render();
}
void TQtClientView::Exit() {
    // Not quit(): that would first ask the main window to close, which only hides it.
    QApplication::exit(0);
}

}  // namespace vorta::ui
