#pragma once
// The remote access layer on pppd: entries are the peer files, a dial runs
// `pppd file CREDENTIALS call ENTRY linkname ENTRY nodetach`, a connection is a running pppd
// named by its linkname pid file, and the link's interface gives the addresses and counters.

#include <sys/types.h>

#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

#include "platform/NetworkTables.h"
#include "platform/RemoteAccess.h"

namespace vorta::platform {

struct PppdPaths {
    std::filesystem::path program = "/usr/sbin/pppd";
    std::filesystem::path peersDir = "/etc/ppp/peers";
    std::filesystem::path runDir = "/var/run";  // where pppd writes ppp-LINKNAME.pid
    std::filesystem::path credentialsDir;       // private folder for the credentials file
    std::filesystem::path sysClassNet = "/sys/class/net";
    std::chrono::milliseconds dialTimeout{90000};
    std::chrono::milliseconds hangUpGrace{10000};  // then SIGKILL
};

// Error codes of this layer beyond the shared ones.
inline constexpr int kPppdExitBase = 1000;  // + pppd's exit status
inline constexpr int kPppdNotStarted = 1098;
inline constexpr int kPppdTimedOut = 1099;

class PppdRemoteAccess : public IRemoteAccess {
public:
    PppdRemoteAccess(INetworkTables& tables, PppdPaths paths = {});
    ~PppdRemoteAccess() override;

    int EnumEntries(std::vector<std::string>& entries) override;
    int GetEntryDialParams(RasDialParams& params) override;
    int Dial(const RasDialParams& params, RasHandle& handle, Notifier notifier = {}) override;
    int HangUp(RasHandle handle) override;
    int GetConnectStatus(RasHandle handle, int& state) override;
    int EnumConnections(std::vector<RasConnection>& connections) override;
    int GetProjection(RasHandle handle, std::string& clientIp, std::string& serverIp) override;
    std::string ErrorText(int code) override;
    bool ReadCounters(RasHandle handle, RasCounters& counters) override;

    // The text of a pppd options file that sets `user` and `password`.
    static std::string CredentialsText(const std::string& user, const std::string& password);

private:
    struct PidFile {
        pid_t pid = 0;
        std::string interface;
    };
    void EnsureInstalled();
    std::optional<PidFile> ReadPidFile(const std::string& entry) const;
    std::optional<PidFile> FindByPid(pid_t pid) const;
    std::optional<LinkInfo> FindLink(const std::string& interface);
    // The interface's first IPv4 address: the link is up once it has one.
    std::optional<AddressRow> FirstAddress(const std::string& interface);
    // Waits for pid's link to come up; 0, or the code of the failure (pppd is then ended).
    int AwaitLink(pid_t pid, const std::string& entry, std::stop_token stop);
    // Reaps `pid` if it ended; its exit code, or nothing while it runs.
    std::optional<int> Reap(pid_t pid);

    INetworkTables& tables_;
    PppdPaths paths_;
    std::mutex lock_;
    std::map<pid_t, std::string> dialed_;  // our pppd children and their entries
    std::vector<std::jthread> watchers_;
};

}  // namespace vorta::platform
