#pragma once
// The client's message log: newest first, at most 1000 entries, in memory only.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <string>

namespace vorta {

struct TLogEntry {
    unsigned char Kind = 0;  // 0 information, 1 warning, 2 error
    std::string Text;
    std::chrono::system_clock::time_point Time;
};

class TLogList {
public:
    static constexpr std::size_t kMaxEntries = 1000;

    void AddLog(unsigned char kind, std::string text);
    // An entry made elsewhere (a client in another process), with its own time.
    void Add(TLogEntry entry);
    void Clear() {
        entries_.clear();
        ++clears_;
    }
    // Entries ever added, and clears ever made: what a copy of the log must catch up with.
    std::uint64_t Added() const { return added_; }
    std::uint64_t Clears() const { return clears_; }
    std::size_t size() const { return entries_.size(); }
    const TLogEntry& operator[](std::size_t i) const { return entries_[i]; }

    // The saved log: one line per entry, newest first, kind, six blanks, time, six blanks,
    // text, each trimmed, each line ended by CR LF.
    std::string SaveText() const;

    // "提示", "警告", "错误" or "其他".
    static const char* KindName(unsigned char kind);
    // Local time as "yy-mm-dd hh:mm:ss".
    static std::string FormatTime(std::chrono::system_clock::time_point time);

private:
    std::deque<TLogEntry> entries_;
    std::uint64_t added_ = 0;
    std::uint64_t clears_ = 0;
};

}  // namespace vorta
