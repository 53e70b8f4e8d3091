#pragma once
// The user's lines: at most five records kept in the lines file, each backed by a live line,
// and the thread that holds the main group up and brings the backup group up while the main
// group fails.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "lines/LineBase.h"
#include "lines/LineInfo.h"

namespace vorta {

inline constexpr std::uint8_t kMasterGroup = 1;
inline constexpr std::uint8_t kBackupGroup = 0;

class TLinesMng {
public:
    struct Options {
        std::filesystem::path file;  // the lines file
        LineServices& services;
        // True while this host is the backup host inside the master's LAN.
        std::function<bool()> isLanBackup = [] { return false; };
        std::chrono::milliseconds slice{200};  // the run thread's cadence: 40 slices a cycle
    };

    // Loads the lines file. A file that exists but cannot be read leaves the manager without
    // lines and refuses every save for its lifetime (see LoadError).
    explicit TLinesMng(Options options);
    // Saves nothing: every change was saved when it was made.
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
    // An index past the end changes nothing.
    void ModifyLine(std::size_t index, const TLineInfo& info);
    void DeleteLine(std::size_t index);
    // The last record whose entry name matches ignoring letter case, or -1.
    int IndexOfEntry(const std::string& entryName);
    void RefreshState();
    void KeepGroup(std::uint8_t group);
    void ReleaseGroup(std::uint8_t group);
    void ReleaseAll();
    // Writes a new file beside the old one and renames it over; throws on failure, and always
    // after a failed load.
    void SaveToFile();
    // Why the lines file could not be read at start; empty when it was read or is missing.
    std::string LoadError() const { return loadError_; }

    // The lock that guards both lists; re-entrant. Hold it while using LineInfos().
    std::recursive_mutex& Lock() { return lock_; }
    std::vector<TLineInfo>& LineInfos() { return infos_; }
    // The live lines; a line stays valid for as long as a caller holds it, deleted or not.
    std::vector<std::shared_ptr<TBaseLine>> Lines();
    // The line at `index` together with its record's LineID, read under one lock; none past
    // the end.
    struct LineAt {
        std::shared_ptr<TBaseLine> line;
        std::string lineId;
    };
    std::optional<LineAt> At(std::size_t index);
    std::size_t Count();

    std::atomic<std::uint8_t> GroupState{0};  // 0 main up, 1 backup carries, 2 both failing
    std::atomic<std::uint8_t> LinesEnabled{0};

private:
    void LoadFromFile();
    // Takes the line and its record into the lists; false when that fails.
    bool Attach(std::shared_ptr<TBaseLine> line, TLineInfo info);
    // Writes `records` as the lines file, unless the load failed; throws on failure.
    void Save(const std::vector<TLineInfo>& records);
    void Run(std::stop_token stop);

    Options options_;
    std::string loadError_;  // set before the run thread starts, never after
    std::recursive_mutex lock_;
    std::vector<TLineInfo> infos_;
    std::vector<std::shared_ptr<TBaseLine>> lines_;
    std::jthread runThread_;
};

}  // namespace vorta
