#include "club/ClubUtil.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <system_error>
#include <utility>

#include "base/StopWait.h"
#include "base/Translate.h"
#include "platform/ThreadName.h"
#include "protocol/DebugLog.h"

namespace vorta {

std::vector<std::uint8_t> HeartbeatStates(std::string_view datagram) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start <= datagram.size()) {
        std::size_t end = datagram.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = datagram.size();
        std::string_view line = datagram.substr(start, end - start);
        while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
        if (!line.empty()) {
            std::string upper(line);
            std::transform(upper.begin(), upper.end(), upper.begin(),
                           [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
            lines.push_back(std::move(upper));
        }
        start = end + 1;
    }
    std::vector<std::uint8_t> states;
    for (std::size_t taken = 0; taken < 2 && taken < lines.size(); ++taken) {
        const std::string& line = lines[lines.size() - 1 - taken];
        if (line == "ACTIVE")
            states.push_back(kPeerActive);
        else if (line == "CLOSE")
            states.push_back(kPeerClosed);
    }
    return states;
}

TClubUnit::TClubUnit(bool master, platform::IDatagrams* datagrams, ClubTiming timing,
                     PeerStateRecord& lastState)
    : master_(master),
      datagrams_(datagrams),
      timing_(std::move(timing)),
      lastState_(lastState),
      silentAt_(Clock::now() + timing_.Silence()) {
    if (datagrams_ != nullptr) wake_ = datagrams_->MakeWakeup();
    if (master_)
        send_ = datagrams_ != nullptr ? datagrams_->Open() : nullptr;
    else
        Bind();
}

TClubUnit::~TClubUnit() {
    StopMonitor();
}

void TClubUnit::StartMonitor() {
    if (monitor_.joinable()) return;
    // The first bind ran before the callbacks were set: its failure is told now, at once.
    if (!portFailure_.empty() && OnPortState) OnPortState(*this, portFailure_);
    monitor_ = std::jthread([this](std::stop_token stop) {
        platform::NameThisThread(master_ ? "vorta-heartbeat" : "vorta-listen");
        while (!stop.stop_requested()) {
            try {
                master_ ? MasterPass(stop) : BackupPass(stop);
            } catch (const std::exception& e) {
                Debug(std::string("heartbeat pass: ") + e.what());
                // Nothing is logged; the next pass goes on.
            }
        }
    });
}

void TClubUnit::StopMonitor() {
    if (!monitor_.joinable()) return;
    monitor_.request_stop();
    if (wake_) wake_->Wake();
    monitor_.join();
}

void TClubUnit::MasterPass(std::stop_token stop) {
    // A heartbeat before the lines were first looked at would tell a state nobody knows.
    if (OnAwaitKnown && !OnAwaitKnown(*this, stop)) return;
    if (OnGetClosed) {
        const std::string text = std::string(OnGetClosed(*this) ? "CLOSE" : "ACTIVE") + "\r\n";
        if (!send_ || send_->SendTo(timing_.destination, timing_.port, text) == -1) {
            send_.reset();
            if (datagrams_ != nullptr) send_ = datagrams_->Open();
            if (send_) send_->SendTo(timing_.destination, timing_.port, text);
        }
    }
    SleepUnlessStopped(stop, timing_.Heartbeat());
}

void TClubUnit::BackupPass(std::stop_token stop) {
    if (!receive_) {
        // After a failed try the next one waits a heartbeat interval; after silence it is at once.
        if (!portFailure_.empty()) AwaitRebind(stop);
        if (stop.stop_requested()) return;
        const std::string before = portFailure_;
        const bool bound = Bind();
        if (portFailure_ != before && OnPortState) OnPortState(*this, portFailure_);
        if (!bound) return;
    }
    char buffer[1025];
    platform::Datagram datagram;
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(silentAt_ - Clock::now());
    const platform::Receipt receipt = receive_->Receive(
        std::max(wait, std::chrono::milliseconds(0)), datagram, buffer, wake_.get());
    if (stop.stop_requested()) return;
    if (receipt == platform::Receipt::Datagram)
        Hear(datagram, std::string_view(buffer, std::min(datagram.length, sizeof buffer)));
    // Asked after a datagram too: a flood of ignored ones must not keep silence from coming due.
    const bool silent = Clock::now() >= silentAt_;
    if (silent) {
        Report({}, kPeerSilent);
        silentAt_ = Clock::now() + timing_.Silence();
    }
    // A fresh socket after each silence or failed receive; the next pass binds it.
    if (receipt == platform::Receipt::Error || (silent && receipt == platform::Receipt::Nothing))
        receive_.reset();
}

void TClubUnit::Hear(const platform::Datagram& datagram, std::string_view text) {
    // Only the master on this LAN may hold the lines down: a unicast or a routed datagram could
    // come from anywhere, one from this host from any of its users. An empty one says nothing.
    if (datagram.length == 0 || !datagrams_->IsLanBroadcast(datagram)) {
        if (OnIgnored) OnIgnored(*this, datagram.sender);
        return;
    }
    const std::vector<std::uint8_t> states = HeartbeatStates(text);
    // Other text on the port is no heartbeat and does not put off silence.
    if (!states.empty()) silentAt_ = Clock::now() + timing_.Silence();
    for (const std::uint8_t state : states) Report(datagram.sender, state);
}

bool TClubUnit::Bind() {
    std::error_code error = std::make_error_code(std::errc::function_not_supported);
    receive_ = datagrams_ != nullptr ? datagrams_->Bind(timing_.port, error) : nullptr;
    portFailure_.clear();
    if (!receive_)
        portFailure_ = Fill(Tr("the heartbeat port {} cannot be bound: {}"),
                            {std::to_string(timing_.port), error.message()});
    return receive_ != nullptr;
}

// Without the port nothing can be heard, so silence comes due as it would while listening.
void TClubUnit::AwaitRebind(std::stop_token stop) {
    const auto retryAt = Clock::now() + timing_.Heartbeat();
    while (!stop.stop_requested()) {
        const auto now = Clock::now();
        if (now >= silentAt_) {
            Report({}, kPeerSilent);
            silentAt_ = now + timing_.Silence();
        }
        if (now >= retryAt) return;
        SleepUnlessStopped(stop, std::min(retryAt, silentAt_) - now);
    }
}

void TClubUnit::Report(const std::string& sender, std::uint8_t state) {
    if (lastState_.Change(state) && OnPeerState) OnPeerState(*this, sender, state);
}

}  // namespace vorta
