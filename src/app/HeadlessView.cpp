#include "app/HeadlessView.h"

#include "base/Translate.h"

namespace vorta::app {

const char* HeadlessView::Lead(int priority) const {
    if (!priorities_) return "vorta: ";
    switch (priority) {
        case 3:
            return "<3>vorta: ";
        case 4:
            return "<4>vorta: ";
        default:
            return "<6>vorta: ";
    }
}

void HeadlessView::LogAdded() {
    if (client_ == nullptr || client_->Log().size() == 0) return;
    const TLogEntry& entry = client_->Log()[0];
    // The kinds: 0 information, 1 warning, 2 error.
    out_ << Lead(entry.Kind == 2   ? 3
                 : entry.Kind == 1 ? 4
                                   : 6)
         << TLogList::FormatTime(entry.Time) << " " << TLogList::KindName(entry.Kind) << " "
         << entry.Text << std::endl;
}

void HeadlessView::MessageBox(const std::string& text, const std::string& caption,
                              MessageIcon icon) {
    out_ << Lead(icon == MessageIcon::Error ? 3 : 6)
         << (icon == MessageIcon::Error ? Tr("错误") : Tr("提示")) << " " << Tr(caption.c_str())
         << ": " << text << std::endl;
}

}  // namespace vorta::app
