#include "app/HeadlessView.h"

namespace vorta::app {

void HeadlessView::LogAdded() {
    if (client_ == nullptr || client_->Log().size() == 0) return;
    const TLogEntry& entry = client_->Log()[0];
    out_ << "vorta: " << TLogList::FormatTime(entry.Time) << " " << TLogList::KindName(entry.Kind)
         << " " << entry.Text << std::endl;
}

void HeadlessView::MessageBox(const std::string& text, const std::string& caption,
                              MessageIcon icon) {
    out_ << "vorta: " << (icon == MessageIcon::Error ? "错误" : "提示") << " " << caption << ": "
         << text << std::endl;
}

}  // namespace vorta::app
