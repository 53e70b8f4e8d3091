#pragma once
// The loop that keeps the service told of every line's address. Every line has a reporter of
// its own that sends the line's reports through that line's own gateway to the line's own host
// name, so that no line waits behind another. A pass queues every line in order, then rests
// 40 seconds (±10 % jitter); a change of a line's interface, address or default route that the
// system tells of queues that line at once. A line is reported at most once a second. A report
// that cannot leave through its own line is not sent at all; the line says why.

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>

#include "base/WakeFlag.h"
#include "core/DnsCache.h"
#include "core/Settings.h"
#include "lines/IpRoutes.h"
#include "lines/LinesMng.h"
#include "protocol/Messages.h"

namespace vorta {

class TUpdateIpTrd {
public:
    struct Context {
        SharedSettings& settings;
        TLinesMng& lines;
        TDnsCache& dns;
        TIpRoutes& routes;
        std::chrono::milliseconds rest{40000};
        std::function<void(const std::string&)> log;  // once per line and cause
        std::chrono::milliseconds gap{1000};  // the least time between two reports of a line
    };

    explicit TUpdateIpTrd(Context context);
    ~TUpdateIpTrd();
    TUpdateIpTrd(const TUpdateIpTrd&) = delete;
    TUpdateIpTrd& operator=(const TUpdateIpTrd&) = delete;

    // Asks the pass thread and every reporter to stop; their exchanges end at once.
    void RequestStop();
    void Join();
    // The system told of a change of links, addresses or routes: the lines it touched are
    // reported out of turn. Returns at once; any thread.
    void NoteChange();

private:
    class Reporter;
    void Execute(std::stop_token stop);
    // Makes the reporters match the lines: one for each line, none for a line gone.
    void SyncReporters(std::stop_token stop);
    // Queues the lines whose state changed since the last look; `queueAll`: every line.
    void LookAtLines(bool queueAll);
    // One report of the line `lineId`, on its reporter's thread.
    void Report(std::stop_token stop, Reporter& reporter);
    // The line is not reported for `reason`, or (empty) its report was taken; logs each new
    // reason of a line once.
    void Explain(Reporter& reporter, TBaseLine& line, std::size_t number,
                 const std::string& reason);

    Context context_;
    static constexpr double kRestSpread = 0.10;
    std::mt19937_64 random_;
    // The pass thread's own: a reporter for each line by LineID, and each line's state at the
    // last look.
    std::map<std::string, std::unique_ptr<Reporter>> reporters_;
    std::map<std::string, std::string> states_;
    WakeFlag changed_;  // NoteChange was called
    std::jthread thread_;
};

}  // namespace vorta
