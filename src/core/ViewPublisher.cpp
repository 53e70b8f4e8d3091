#include "core/ViewPublisher.h"

#include <algorithm>

#include "core/Client.h"

namespace vorta {

ViewWatcher::Next ViewWatcher::Take(std::string& out, std::chrono::milliseconds wait) {
    std::unique_lock guard(lock_);
    changed_.wait_for(guard, wait, [this] { return closed_ || !queue_.empty(); });
    if (!queue_.empty()) {
        out = std::move(queue_.front());
        queue_.pop_front();
        bytes_ -= out.size();
        return Next::Text;
    }
    return closed_ ? Next::Closed : Next::Idle;
}

void ViewWatcher::Push(std::string text) {
    {
        std::lock_guard guard(lock_);
        if (closed_) return;
        if (bytes_ + text.size() > kMaxQueued) {
            queue_.clear();
            bytes_ = 0;
            closed_ = true;
        } else {
            bytes_ += text.size();
            queue_.push_back(std::move(text));
        }
    }
    changed_.notify_all();
}

void ViewWatcher::Close() {
    {
        std::lock_guard guard(lock_);
        closed_ = true;
    }
    changed_.notify_all();
}

bool ViewWatcher::Closed() {
    std::lock_guard guard(lock_);
    return closed_;
}

namespace {

std::string FieldLines(const viewwire::FieldList& fields, const viewwire::FieldList* before) {
    std::string out;
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (!before || i >= before->size() || (*before)[i].second != fields[i].second)
            out += viewwire::Line({"S", fields[i].first, fields[i].second});
    return out;
}

}  // namespace

std::string ViewPublisher::Snapshot() const {
    ViewState& view = client_->View();
    const TLogList& log = client_->Log();
    std::string out =
        FieldLines(sentFields_, nullptr) + sentLines_ + viewwire::DomainLines(view.Domains.get());
    // Oldest first: each entry heads the copy's log as it arrives.
    for (std::size_t i = log.size(); i-- > 0;) out += viewwire::LogLine(log[i]);
    out += viewwire::kBatchEnd;
    return out;
}

std::string ViewPublisher::Changes() {
    ViewState& view = client_->View();
    std::string out;
    viewwire::FieldList fields =
        viewwire::StateFields(view, client_->SettingsRecord().Get().ServiceUrl);
    out += FieldLines(fields, &sentFields_);
    sentFields_ = std::move(fields);
    if (std::string lines = viewwire::LinesLines(view.Lines); lines != sentLines_) {
        out += lines;
        sentLines_ = std::move(lines);
    }
    if (view.Domains.get() != sentDomains_) {
        out += viewwire::DomainLines(view.Domains.get());
        sentDomains_ = view.Domains.get();
    }
    const TLogList& log = client_->Log();
    std::uint64_t fresh = log.Added() - sentAdded_;
    if (log.Clears() != sentClears_) {
        out += viewwire::kLogCleared;
        fresh = log.size();
    }
    for (std::size_t i = static_cast<std::size_t>(std::min<std::uint64_t>(fresh, log.size()));
         i-- > 0;)
        out += viewwire::LogLine(log[i]);
    sentAdded_ = log.Added();
    sentClears_ = log.Clears();
    return out;
}

void ViewPublisher::Prune() {
    const bool before = !watchers_.empty();
    std::erase_if(watchers_, [](const auto& w) { return w->Closed(); });
    if (before && watchers_.empty() && client_) client_->SetWatched(false);
}

std::shared_ptr<ViewWatcher> ViewPublisher::Watch() {
    if (!client_) return nullptr;
    Prune();
    if (watchers_.size() >= kMaxWatchers) return nullptr;
    if (watchers_.empty()) {
        client_->SetWatched(true);  // fills the line list of a client without a window
        Changes();                  // what was last sent is now
    } else {
        Flush();  // the others first: the snapshot and the next changes then agree
    }
    auto watcher = std::make_shared<ViewWatcher>();
    watcher->Push(Snapshot());
    watchers_.push_back(watcher);
    return watcher;
}

void ViewPublisher::Flush() {
    if (!client_) return;
    Prune();
    if (watchers_.empty()) return;
    std::string changes = Changes();
    if (changes.empty()) return;
    changes += viewwire::kBatchEnd;
    Broadcast(changes);
}

void ViewPublisher::Broadcast(const std::string& text) {
    for (const auto& w : watchers_) w->Push(text);
}

void ViewPublisher::CloseAll() {
    for (const auto& w : watchers_) w->Close();
    watchers_.clear();
}

void ViewPublisher::Event(const std::string& line) {
    Flush();
    if (!watchers_.empty()) Broadcast(line + std::string(viewwire::kBatchEnd));
}

void ViewPublisher::ShowMainWindow() {
    inner_.ShowMainWindow();
    Event(viewwire::ShowLine());
}
void ViewPublisher::ShowHint(const std::string& text) {
    inner_.ShowHint(text);
    Event(viewwire::HintLine(text));
}
void ViewPublisher::LogAdded() {
    inner_.LogAdded();
}
void ViewPublisher::Beep(unsigned type) {
    inner_.Beep(type);
    Event(viewwire::BeepLine(type));
}
void ViewPublisher::FocusEdit(EditBox box) {
    inner_.FocusEdit(box);
    Event(viewwire::FocusLine(box));
}
void ViewPublisher::MessageBox(const std::string& text, const std::string& caption,
                               MessageIcon icon) {
    inner_.MessageBox(text, caption, icon);
    Event(viewwire::MessageLine(text, caption, icon));
}
void ViewPublisher::StateChanged() {
    inner_.StateChanged();
    Flush();
}
void ViewPublisher::Exit() {
    Event(viewwire::ExitLine());
    inner_.Exit();
}

}  // namespace vorta
