#include "lines/LinesMng.h"

#include <exception>
#include <stdexcept>

#include "base/StopWait.h"
#include "lines/LineFactory.h"
#include "platform/ThreadName.h"
#include "protocol/DebugLog.h"

namespace vorta {

TLinesMng::TLinesMng(Options options) : options_(std::move(options)) {
    LoadFromFile();
    runThread_ = std::jthread([this](std::stop_token stop) {
        platform::NameThisThread("vorta-lines");
        Run(stop);
    });
}

TLinesMng::~TLinesMng() {
    // Every thread is told before any is waited for, so that no line waits behind another.
    RequestStop();
    if (runThread_.joinable()) runThread_.join();
    std::vector<std::shared_ptr<TBaseLine>> lines;
    {
        std::lock_guard guard(lock_);
        lines.swap(lines_);
        infos_.clear();
    }
    lines.clear();  // each line waits for its keep thread
}

void TLinesMng::LoadFromFile() {
    std::vector<TLineInfo> records;
    try {
        records = ReadLinesFile(options_.file);
    } catch (const std::exception& e) {
        loadError_ = e.what();
        return;
    }
    for (TLineInfo& info : LoadableRecords(std::move(records)))
        AddLineInfo(std::move(info));  // a line that cannot be created is dropped
}

bool TLinesMng::AddLineInfo(TLineInfo info) {
    std::lock_guard guard(lock_);
    if (!CanAddLine(infos_)) return false;
    auto line = TLineFactory::CreateLine(info.LineKind, options_.services);
    return line && Attach(std::move(line), std::move(info));
}

bool TLinesMng::Attach(std::shared_ptr<TBaseLine> line, TLineInfo info) {
    try {
        line->SetEntryName(info.EntryName);
        line->SetUserName(info.UserName);
        line->SetPassword(info.Password);
        line->KeepActive = false;
        info.IsActive = false;
        // Room first, so that the two lists cannot end up apart.
        lines_.reserve(lines_.size() + 1);
        infos_.reserve(infos_.size() + 1);
        lines_.push_back(line);
        infos_.push_back(std::move(info));
    } catch (const std::exception& e) {
        Debug(std::string("adding a line: ") + e.what());
        return false;
    }
    // The logon runs on the line's keep thread: this one holds lock_ and may be the controller's.
    if (stopping_)
        line->RequestStop();
    else
        line->RequestAuthenticate();
    return true;
}

bool TLinesMng::AddLine(TLineInfo info) {
    std::lock_guard guard(lock_);
    if (!CanAddLine(infos_)) return false;
    // The line learns its entry name only after the save: one dropped because the save failed
    // has never acted on that connection.
    auto line = TLineFactory::CreateLine(info.LineKind, options_.services);
    if (!line) return false;
    info.IsActive = false;
    std::vector<TLineInfo> records = infos_;
    records.push_back(info);
    Save(records);
    if (Attach(std::move(line), std::move(info))) return true;
    try {
        Save(infos_);  // the file should not hold a line that does not run
    } catch (const std::exception& e) {
        Debug(std::string("saving the lines file: ") + e.what());
        // It is loaded at the next start instead.
    }
    return false;
}

void TLinesMng::ModifyLine(std::size_t index, const TLineInfo& info) {
    std::lock_guard guard(lock_);
    if (index < infos_.size()) ModifyAt(index, info);
}

bool TLinesMng::ModifyLineById(const std::string& lineId, const TLineInfo& info) {
    std::lock_guard guard(lock_);
    const auto index = IndexOf(lineId);
    if (index) ModifyAt(*index, info);
    return index.has_value();
}

void TLinesMng::ModifyAt(std::size_t index, const TLineInfo& info) {
    std::vector<TLineInfo> records = infos_;
    TLineInfo& record = records[index];
    const TLineInfo kept = record;
    record = info;
    // What the live line was made with stays: a record that named another connection or kind
    // than its line would report for one and run the other.
    record.LineKind = kept.LineKind;
    record.EntryName = kept.EntryName;
    record.LineID = kept.LineID;
    // The state of the moment is the manager's, not that of the caller's older copy.
    record.IsActive = kept.IsActive;
    record.IpAddress = kept.IpAddress;
    Save(records);
    infos_.swap(records);
    lines_[index]->SetUserName(info.UserName);
    lines_[index]->SetPassword(info.Password);
}

void TLinesMng::DeleteLine(std::size_t index) {
    std::shared_ptr<TBaseLine> removed;
    {
        std::lock_guard guard(lock_);
        if (index >= infos_.size()) return;
        removed = RemoveAt(index);
    }
    Retire(std::move(removed));
}

bool TLinesMng::DeleteLineById(const std::string& lineId) {
    std::shared_ptr<TBaseLine> removed;
    {
        std::lock_guard guard(lock_);
        const auto index = IndexOf(lineId);
        if (!index) return false;
        removed = RemoveAt(*index);
    }
    Retire(std::move(removed));
    return true;
}

std::shared_ptr<TBaseLine> TLinesMng::RemoveAt(std::size_t index) {
    std::vector<TLineInfo> records = infos_;
    records.erase(records.begin() + static_cast<std::ptrdiff_t>(index));
    Save(records);
    infos_.swap(records);
    std::shared_ptr<TBaseLine> removed = std::move(lines_[index]);
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(index));
    return removed;
}

void TLinesMng::Retire(std::shared_ptr<TBaseLine> line) {
    if (!line) return;
    // Outside lock_: a pass in progress ends first (its exchanges and dial stop at once). The
    // update loop may hold the line for a while yet; it may use it, but the line acts no more.
    line->StopKeepThread();
    const std::string entry = line->EntryName();
    line.reset();
    options_.services.routes.RemoveHostRoutes(entry);
}

std::optional<std::size_t> TLinesMng::IndexOf(const std::string& lineId) const {
    for (std::size_t i = 0; i < infos_.size(); ++i)
        if (infos_[i].LineID == lineId) return i;
    return std::nullopt;
}

void TLinesMng::RefreshState() {
    using Clock = std::chrono::steady_clock;
    bool haveMaster = false, haveBackup = false, masterFailing = false, backupFailing = false;
    {
        std::lock_guard guard(lock_);
        for (std::size_t i = 0; i < infos_.size(); ++i) {
            TLineInfo& info = infos_[i];
            (info.MasterGroup ? haveMaster : haveBackup) = true;
            try {
                const auto& line = lines_[i];
                if (!line) continue;
                info.IsActive = line->GetActive();
                if (info.IsActive) info.IpAddress = FitToSlot(line->GetIpAddress(), kIpAddressMax);
                if (info.IsNecessary && !info.IsActive)
                    (info.MasterGroup ? masterFailing : backupFailing) = true;
            } catch (const std::exception& e) {
                Debug(std::string("reading a line's state: ") + e.what());
                // This line is left as it was.
            }
        }
    }
    masterFailing = masterFailing || !haveMaster;
    backupFailing = backupFailing || !haveBackup;
    const GroupState measured = masterFailing && backupFailing ? GroupState::BothFailing
                                : !masterFailing               ? GroupState::MainUp
                                                               : GroupState::BackupCarries;
    const auto holdDown = options_.holdDown();
    std::lock_guard guard(lock_);
    const auto now = Clock::now();
    if (measured != GroupState::MainUp) {
        mainUpSince_.reset();
    } else if (!mainUpSince_) {
        mainUpSince_ = now;
    }
    holdEnds_.reset();
    // A main line that flaps must not switch the groups back and forth: while the backup group
    // carries, the main group counts as back only once it has stayed up for the hold time.
    if (measured == GroupState::MainUp && backupKept_ && now - *mainUpSince_ < holdDown) {
        holdEnds_ = *mainUpSince_ + holdDown;
        return;  // Groups stays as it was
    }
    Groups = measured;
}

void TLinesMng::DecideGroups() {
    const bool keep = Groups != GroupState::MainUp;
    keep ? KeepGroup(LineGroup::Backup) : ReleaseGroup(LineGroup::Backup);
    std::lock_guard guard(lock_);
    backupKept_ = keep;
}

void TLinesMng::KeepGroup(LineGroup group) {
    std::lock_guard guard(lock_);
    for (std::size_t i = 0; i < infos_.size(); ++i)
        if (GroupOf(infos_[i]) == group && !lines_[i]->KeepActive.exchange(true))
            lines_[i]->WakeKeep();  // dialled now, not at the line's next pass
}

void TLinesMng::ReleaseGroup(LineGroup group) {
    std::lock_guard guard(lock_);
    for (std::size_t i = 0; i < infos_.size(); ++i)
        if (GroupOf(infos_[i]) == group && lines_[i]->KeepActive.exchange(false))
            lines_[i]->WakeKeep();
}

void TLinesMng::NoteChange() {
    {
        std::lock_guard guard(lock_);
        for (const auto& line : lines_)
            if (line) line->WakeKeep();
    }
    changed_.Raise();
}

void TLinesMng::ReleaseAll() {
    ReleaseGroup(LineGroup::Main);
    ReleaseGroup(LineGroup::Backup);
}

void TLinesMng::SaveToFile() {
    std::lock_guard guard(lock_);
    Save(infos_);
}

void TLinesMng::Save(const std::vector<TLineInfo>& records) {
    // A file that could not be read may still hold the user's lines; ours would replace them.
    if (!loadError_.empty())
        throw std::runtime_error("the lines file is not rewritten: " + loadError_);
    WriteLinesFile(options_.file, records);
}

std::vector<LineSnapshot> TLinesMng::Snapshot() const {
    std::lock_guard guard(lock_);
    std::vector<LineSnapshot> lines;
    lines.reserve(infos_.size());
    for (std::size_t i = 0; i < infos_.size(); ++i) lines.push_back({infos_[i], lines_[i]});
    return lines;
}

std::vector<TLineInfo> TLinesMng::Records() const {
    std::lock_guard guard(lock_);
    return infos_;
}

std::vector<std::shared_ptr<TBaseLine>> TLinesMng::Lines() const {
    std::lock_guard guard(lock_);
    return lines_;
}

std::optional<LineSnapshot> TLinesMng::At(std::size_t index) const {
    std::lock_guard guard(lock_);
    if (index >= lines_.size()) return std::nullopt;
    return LineSnapshot{infos_[index], lines_[index]};
}

std::optional<LineSnapshot> TLinesMng::Find(const std::string& lineId) const {
    std::lock_guard guard(lock_);
    const auto index = IndexOf(lineId);
    if (!index) return std::nullopt;
    return LineSnapshot{infos_[*index], lines_[*index]};
}

void TLinesMng::RequestStop() {
    runThread_.request_stop();
    std::vector<std::shared_ptr<TBaseLine>> lines;
    {
        std::lock_guard guard(lock_);
        stopping_ = true;
        lines = lines_;
    }
    // A stop runs the callbacks of the exchanges in flight: not under lock_.
    for (const auto& line : lines)
        if (line) line->RequestStop();
}

std::size_t TLinesMng::Count() const {
    std::lock_guard guard(lock_);
    return lines_.size();
}

bool TLinesMng::AwaitFirstPass(std::stop_token stop) const {
    std::unique_lock lock(passMutex_);
    return passDone_.wait(lock, stop, [this] { return firstPassDone_.load(); });
}

void TLinesMng::EndPass() {
    if (firstPassDone_) return;
    {
        std::lock_guard lock(passMutex_);
        firstPassDone_ = true;
    }
    passDone_.notify_all();
}

bool TLinesMng::RefreshUntil(std::stop_token stop, std::chrono::steady_clock::time_point until) {
    using Clock = std::chrono::steady_clock;
    // The notices of one change come in a burst (a link's carrier, then its routes): they are
    // let in before the lines are read.
    constexpr auto kSettle = std::chrono::milliseconds(50);
    for (;;) {
        auto deadline = until;
        {
            std::lock_guard guard(lock_);
            if (holdEnds_ && *holdEnds_ < deadline) deadline = *holdEnds_;
        }
        if (changed_.WaitUntil(stop, deadline) && !SleepUnlessStopped(stop, kSettle)) return false;
        if (stop.stop_requested()) return false;
        changed_.Take();
        RefreshState();
        if (Clock::now() >= until) return true;
        if (FirstPassDone()) DecideGroups();
    }
}

void TLinesMng::Run(std::stop_token stop) {
    using Clock = std::chrono::steady_clock;
    while (!stop.stop_requested()) {
        try {
            if (Duty == LinesDuty::StandBy && options_.isLanBackup()) {
                ReleaseAll();
                Groups = GroupState::BothFailing;
                {
                    std::lock_guard guard(lock_);
                    backupKept_ = false;
                }
                EndPass();
                changed_.WaitUntil(stop, Clock::now() + options_.slice * 5);
                changed_.Take();
                continue;
            }
            KeepGroup(LineGroup::Main);
            // A cycle is 40 slices with a refresh after the 21st and the 40th; the thread sleeps
            // until each of them, or a change, rather than waking every slice.
            const auto start = Clock::now();
            if (!RefreshUntil(stop, start + options_.slice * 21)) return;
            if (!RefreshUntil(stop, start + options_.slice * 40)) return;
            DecideGroups();
            EndPass();
        } catch (const std::exception& e) {
            Debug(std::string("lines cycle: ") + e.what());
            // The next cycle starts afresh.
        }
    }
}

}  // namespace vorta
