#include "club/ClubUtil.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <exception>
#include <stdexcept>

#include "core/StopWait.h"

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
    : master_(master), timing_(timing), lastState_(lastState) {
    wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (master_) {
        send_ = CreateSendSocket();
        return;
    }
    receive_ = CreateBoundUdpSocket(timing_.port);
    if (receive_ == kNoSocket) {
        if (wake_ >= 0) ::close(wake_);
        throw std::runtime_error("the heartbeat port " + std::to_string(timing_.port) +
                                 " cannot be bound");
    }
}

TClubUnit::~TClubUnit() {
    StopMonitor();
    CloseSocket(send_);
    CloseSocket(receive_);
    if (wake_ >= 0) ::close(wake_);
}

void TClubUnit::StartMonitor() {
    if (monitor_.joinable()) return;
    monitor_ = std::jthread([this](std::stop_token stop) {
        while (!stop.stop_requested()) {
            try {
                master_ ? MasterPass(stop) : BackupPass(stop);
            } catch (const std::exception&) {
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
    SleepUnlessStopped(stop, timing_.interval + std::chrono::seconds(1));
}

void TClubUnit::BackupPass(std::stop_token stop) {
    char buffer[1025];
    std::string sender;
    const int timeout = static_cast<int>((timing_.interval + std::chrono::seconds(5)).count());
    const int received = RecvWithTimeout(receive_, timeout, sender, sizeof buffer, buffer, wake_);
    if (stop.stop_requested()) return;
    if (received > 0) {
        for (std::uint8_t state :
             HeartbeatStates(std::string_view(buffer, static_cast<std::size_t>(received))))
            Report(sender, state);
        return;
    }
    Report(sender, kPeerSilent);
    CloseSocket(receive_);
    receive_ = CreateBoundUdpSocket(timing_.port);
    if (receive_ == kNoSocket) SleepUnlessStopped(stop, timing_.rebindPause);
}

void TClubUnit::Report(const std::string& sender, std::uint8_t state) {
    if (lastState_.Change(state) && OnPeerState) OnPeerState(*this, sender, state);
}

}  // namespace vorta
