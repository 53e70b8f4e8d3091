#pragma once
// The user's lines: at most five records kept in the lines file, each backed by a live line,
// and the thread that holds the main group up and brings the backup group up while the main
// group fails. The system's change notices wake that thread and the lines at once: a failover
// is immediate, while the main group is taken back only once it has stayed up for a hold time.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/WakeFlag.h"
#include "lines/LineBase.h"
#include "lines/LineInfo.h"
#include "lines/LineRules.h"

namespace vorta {

// How the two groups fare at the last refresh; the value is shown in the status report.
enum class GroupState : std::uint8_t { MainUp = 0, BackupCarries = 1, BothFailing = 2 };

// Whether this host's lines carry the traffic or, on the LAN's backup host, stand by while the
// master's lines carry it.
enum class LinesDuty : std::uint8_t { StandBy = 0, Carry = 1 };

// One line as the manager held it at one moment.
struct LineSnapshot {
    TLineInfo info;
    // The live line; it stays valid for as long as a caller holds it, deleted or not.
    std::shared_ptr<TBaseLine> line;
};

class TLinesMng {
public:
    struct Options {
        std::filesystem::path file;  // the lines file
        LineServices& services;
        // True while this host is the backup host inside the master's LAN.
        std::function<bool()> isLanBackup = [] { return false; };
        std::chrono::milliseconds slice{200};  // the run thread's cadence: 40 slices a cycle
        // How long the main group must stay up before the backup group makes way; read at
        // every decision.
        std::function<std::chrono::milliseconds()> holdDown = [] {
            return std::chrono::seconds(5);
        };
    };

    // Loads the lines file. A file that exists but cannot be read leaves the manager without
    // lines and refuses every save for its lifetime (see LoadError).
    explicit TLinesMng(Options options);
    // Saves nothing: every change was saved when it was made. Stops as RequestStop does, then
    // waits for the run thread and every line's keep thread.
    ~TLinesMng();
    TLinesMng(const TLinesMng&) = delete;
    TLinesMng& operator=(const TLinesMng&) = delete;

    // Adds a line without saving; false beyond five lines or for an unknown kind.
    bool AddLineInfo(TLineInfo info);
    // AddLine, ModifyLine and DeleteLine save the changed list first and change the lists and
    // the live lines only once it is saved. A failed save throws std::runtime_error with the
    // reason (a std::system_error when the write failed) and changes nothing, in memory or on
    // disk.
    // AddLine: false, with nothing changed, beyond five lines or for an unknown kind.
    bool AddLine(TLineInfo info);
    // A line keeps its kind, entry name and id (those of the live line cannot change) and the
    // state of the moment (up, address). An index past the end changes nothing.
    void ModifyLine(std::size_t index, const TLineInfo& info);
    // The deleted line's keep thread has ended when this returns: it dials and logs on no more,
    // even while another thread still holds the line.
    void DeleteLine(std::size_t index);
    // The same, for the record with this LineID wherever it now is; false, with nothing changed,
    // when there is none. What a front end uses whose list may be older than the manager's.
    bool ModifyLineById(const std::string& lineId, const TLineInfo& info);
    bool DeleteLineById(const std::string& lineId);
    // Reads every line's state and the groups' from it; a main group back up counts only once
    // it has stayed up for the hold time while the backup group carries.
    void RefreshState();
    // The system told of a change of links, addresses or routes: every line's keep thread and
    // the group decision run at once. Returns at once; any thread.
    void NoteChange();
    void KeepGroup(LineGroup group);
    void ReleaseGroup(LineGroup group);
    void ReleaseAll();
    // Writes a new file beside the old one and renames it over; throws on failure, and always
    // after a failed load.
    void SaveToFile();
    // Why the lines file could not be read at start; empty when it was read or is missing.
    std::string LoadError() const { return loadError_; }

    // Copies taken under one lock: records and lines always match by index.
    std::vector<LineSnapshot> Snapshot() const;
    std::vector<TLineInfo> Records() const;
    // The live lines; a line stays valid for as long as a caller holds it, deleted or not.
    std::vector<std::shared_ptr<TBaseLine>> Lines() const;
    // None past the end.
    std::optional<LineSnapshot> At(std::size_t index) const;
    // The line with this LineID; none when there is none.
    std::optional<LineSnapshot> Find(const std::string& lineId) const;
    // Asks the run thread and every line to stop, without waiting: exchanges and dials in
    // progress end at once, so that a shutdown's joins that follow are short. Lines added
    // afterwards are stopped at once too.
    void RequestStop();
    std::size_t Count() const;

    // Whether the run thread has ended its first cycle with a group decision; until then Groups
    // tells nothing of the lines. Any thread.
    bool FirstPassDone() const { return firstPassDone_; }
    // Waits until then; false when `stop` came first.
    bool AwaitFirstPass(std::stop_token stop) const;

    std::atomic<GroupState> Groups{GroupState::MainUp};
    std::atomic<LinesDuty> Duty{LinesDuty::StandBy};

private:
    void LoadFromFile();
    // Takes the line and its record into the lists; false when that fails. Needs lock_ held.
    bool Attach(std::shared_ptr<TBaseLine> line, TLineInfo info);
    // Index of the record with this id; none without one. Needs lock_ held.
    std::optional<std::size_t> IndexOf(const std::string& lineId) const;
    // ModifyLine and DeleteLine with lock_ held; RemoveAt hands back the line it took out.
    void ModifyAt(std::size_t index, const TLineInfo& info);
    std::shared_ptr<TBaseLine> RemoveAt(std::size_t index);
    // Ends a removed line: its keep thread, then its host routes. Outside lock_.
    void Retire(std::shared_ptr<TBaseLine> line);
    // Writes `records` as the lines file, unless the load failed; throws on failure.
    void Save(const std::vector<TLineInfo>& records);
    void Run(std::stop_token stop);
    // Waits until `until`, refreshing (and, after the first cycle, deciding) at every change or
    // end of a hold time meanwhile; refreshes at `until`. False on a stop.
    bool RefreshUntil(std::stop_token stop, std::chrono::steady_clock::time_point until);
    // The backup group is kept while Groups says the main group fails, released otherwise.
    void DecideGroups();
    void EndPass();

    Options options_;
    std::string loadError_;    // set before the run thread starts, never after
    mutable std::mutex lock_;  // guards both lists, which always match by index
    std::vector<TLineInfo> infos_;
    std::vector<std::shared_ptr<TBaseLine>> lines_;
    bool stopping_ = false;  // under lock_: RequestStop was called
    // Under lock_: the backup group is kept by a decision, and since when the main group has
    // been up (none while it fails).
    bool backupKept_ = false;
    std::optional<std::chrono::steady_clock::time_point> mainUpSince_;
    std::optional<std::chrono::steady_clock::time_point> holdEnds_;
    WakeFlag changed_;  // NoteChange was called
    std::atomic<bool> firstPassDone_{false};
    mutable std::mutex passMutex_;  // orders firstPassDone_ with the waits for it
    mutable std::condition_variable_any passDone_;
    std::jthread runThread_;
};

}  // namespace vorta
