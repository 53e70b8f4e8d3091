#pragma once
// The client's log as its parts write it: each entry is told to the front end, and a
// notification also shows as a hint. Loop's thread, except PostLog.

#include <cstdint>
#include <string>

#include "core/ClientView.h"
#include "core/EventLoop.h"
#include "core/LogList.h"

namespace vorta {

class ClientLog {
public:
    ClientLog(IClientView& frontEnd, EventLoop& loop) : frontEnd_(frontEnd), loop_(loop) {}
    ClientLog(const ClientLog&) = delete;
    ClientLog& operator=(const ClientLog&) = delete;

    void AddLog(unsigned char kind, const std::string& text);
    // AddLog from any thread: the entry is added on the loop's thread.
    void PostLog(unsigned char kind, std::string text);
    void Notify(const std::string& text);
    void Clear() { list_.Clear(); }

    const TLogList& List() const { return list_; }
    std::uint64_t Added() const { return list_.Added(); }  // entries ever added
    // Texts of the log entries added after the `before`th, oldest first, one a line.
    std::string Since(std::uint64_t before) const;

private:
    IClientView& frontEnd_;
    EventLoop& loop_;
    TLogList list_;
};

}  // namespace vorta
