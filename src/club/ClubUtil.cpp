#include "club/ClubUtil.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <exception>
#include <system_error>
#include <utility>

#include "base/StopWait.h"
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

TClubUnit::TClubUnit(bool master, ClubTiming timing, PeerStateRecord& lastState)
    : master_(master),
      timing_(std::move(timing)),
      lastState_(lastState),
      silentAt_(Clock::now() + timing_.Silence()) {
    wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (master_)
        send_ = CreateSendSocket();
    else
        Bind();
}

TClubUnit::~TClubUnit() {
    StopMonitor();
    CloseSocket(send_);
    CloseSocket(receive_);
    if (wake_ >= 0) ::close(wake_);
}

void TClubUnit::StartMonitor() {
    if (monitor_.joinable()) return;
    // The first bind ran before the callbacks were set: its failure is told now, at once.
    if (!portFailure_.empty() && OnPortState) OnPortState(*this, portFailure_);
    monitor_ = std::jthread([this](std::stop_token stop) {
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
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto n = ::write(wake_, &one, sizeof one);
    monitor_.join();
}

void TClubUnit::MasterPass(std::stop_token stop) {
    if (OnGetClosed) {
        const std::string text = std::string(OnGetClosed(*this) ? "CLOSE" : "ACTIVE") + "\r\n";
        if (SendDatagram(send_, timing_.destination, timing_.port, text.data(), text.size()) ==
            -1) {
            CloseSocket(send_);
            send_ = CreateSendSocket();
            SendDatagram(send_, timing_.destination, timing_.port, text.data(), text.size());
        }
    }
    SleepUnlessStopped(stop, timing_.Heartbeat());
}

void TClubUnit::BackupPass(std::stop_token stop) {
    if (receive_ == kNoSocket) {
        // After a failed try the next one waits a heartbeat interval; after silence it is at once.
        if (!portFailure_.empty()) AwaitRebind(stop);
        if (stop.stop_requested()) return;
        const std::string before = portFailure_;
        const bool bound = Bind();
        if (portFailure_ != before && OnPortState) OnPortState(*this, portFailure_);
        if (!bound) return;
    }
    char buffer[1025];
    Datagram datagram;
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(silentAt_ - Clock::now());
    const Receipt receipt = ReceiveDatagram(receive_, std::max(wait, std::chrono::milliseconds(0)),
                                            datagram, buffer, wake_);
    if (stop.stop_requested()) return;
    if (receipt == Receipt::Datagram) {
        Hear(datagram, std::string_view(buffer, std::min(datagram.length, sizeof buffer)));
        return;
    }
    if (receipt == Receipt::Nothing) {
        if (Clock::now() < silentAt_) return;
        Report({}, kPeerSilent);
        silentAt_ = Clock::now() + timing_.Silence();
    }
    // A fresh socket after each silence or failed receive; the next pass binds it.
    CloseSocket(receive_);
    receive_ = kNoSocket;
}

void TClubUnit::Hear(const Datagram& datagram, std::string_view text) {
    // Only the master on this LAN may hold the lines down: a unicast or a routed datagram could
    // come from anywhere. An empty one says nothing.
    if (datagram.length == 0 || !IsLanBroadcast(datagram)) {
        if (OnIgnored) OnIgnored(*this, datagram.sender);
        return;
    }
    const std::vector<std::uint8_t> states = HeartbeatStates(text);
    // Other text on the port is no heartbeat and does not put off silence.
    if (!states.empty()) silentAt_ = Clock::now() + timing_.Silence();
    for (const std::uint8_t state : states) Report(datagram.sender, state);
}

bool TClubUnit::Bind() {
    receive_ = CreateBoundUdpSocket(timing_.port);
    const int error = errno;
    portFailure_.clear();
    if (receive_ == kNoSocket)
        portFailure_ = "the heartbeat port " + std::to_string(timing_.port) +
                       " cannot be bound: " + std::system_category().message(error);
    return receive_ != kNoSocket;
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
