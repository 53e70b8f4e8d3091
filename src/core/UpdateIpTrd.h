#pragma once
// The loop that keeps the service told of every line's address: line after line, each report
// sent through that line's own gateway to the line's own host name, then a 40-second rest. A
// report that cannot leave through its own line is not sent at all; the line says why. The rest
// carries a ±10 % jitter.

#include <chrono>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <thread>

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
    };

    explicit TUpdateIpTrd(Context context);
    void RequestStop() { thread_.request_stop(); }
    void Join() {
        if (thread_.joinable()) thread_.join();
    }

private:
    void Execute(std::stop_token stop);
    // One line, or the rest after a pass.
    void Cycle(std::stop_token stop);
    // The line is not reported for `reason`, or (empty) its report was taken; logs each new
    // reason of a line once.
    void Explain(TBaseLine& line, std::size_t number, const std::string& reason);

    Context context_;
    TActiveTestExReq request_;  // one pair for the thread's life, refilled for every report
    TActiveTestExResp response_;
    std::size_t lineCounter_ = 0;
    static constexpr double kRestSpread = 0.10;
    std::mt19937_64 random_;
    std::map<std::string, std::string> logged_;  // entry name: the reason last logged for it
    std::jthread thread_;
};

}  // namespace vorta
