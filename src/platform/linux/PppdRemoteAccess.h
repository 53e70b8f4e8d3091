#pragma once
#include "platform/linux/Guard.h"
// The remote access layer on pppd: entries are the peer files, a dial runs
// `pppd call ENTRY file CREDENTIALS linkname ENTRY nodetach`, a connection is a running pppd
// (named by its linkname pid file, or by `call`/`linkname` on its command line when it was
// brought up by other means such as pon or ifup), and the link's interface gives the
// addresses and counters.

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>

#include "platform/NetworkTables.h"
#include "platform/RemoteAccess.h"

namespace vorta::platform {

struct PppdPaths {
    std::filesystem::path program = "/usr/sbin/pppd";
    std::filesystem::path peersDir = "/etc/ppp/peers";
    std::filesystem::path runDir = "/var/run";  // where pppd writes ppp-LINKNAME.pid, IFNAME.pid
    std::filesystem::path credentialsDir;       // private folder for the credentials file
    std::filesystem::path sysClassNet = "/sys/class/net";
    std::filesystem::path procDir = "/proc";  // command lines of running pppds
    std::chrono::milliseconds dialTimeout{90000};
    std::chrono::milliseconds hangUpGrace{10000};  // then SIGKILL
    // A stopped dial's pppd gets this long after SIGTERM: the whole stop stays under a second.
    std::chrono::milliseconds abortGrace{500};

    // The defaults, with VORTA_PPPD (program), VORTA_PPP_PEERS_DIR and VORTA_PPP_RUN_DIR taken
    // where they are set and not empty.
    static PppdPaths FromEnvironment();
};

// Error codes of this layer beyond the shared ones.
inline constexpr int kPppdExitBase = 1000;  // + pppd's exit status
inline constexpr int kPppdNotStarted = 1098;
inline constexpr int kPppdTimedOut = 1099;

class PppdRemoteAccess : public IRemoteAccess {
public:
    // Removes the credentials files that runs which have ended left behind.
    PppdRemoteAccess(INetworkTables& tables, PppdPaths paths = {});
    ~PppdRemoteAccess() override;

    int EnumEntries(std::vector<std::string>& entries) override;
    int GetEntryDialParams(RasDialParams& params) override;
    int Dial(const RasDialParams& params, RasHandle& handle, Notifier notifier = {},
             std::stop_token stop = {}) override;
    int HangUp(RasHandle handle) override;
    void AwaitGone(RasHandle handle, std::chrono::milliseconds timeout) override;
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
    // A running pppd, the entry it serves and its interface (empty while unknown).
    struct Running {
        pid_t pid = 0;
        std::string entry;
        std::string interface;
    };
    void EnsureInstalled();
    void RemoveLeftoverCredentials();
    std::optional<PidFile> ReadPidFile(const std::string& entry) const;
    // The live pppds named by RUNDIR/ppp-LINKNAME.pid files.
    std::map<pid_t, Running> FromLinknameFiles() const;
    // The entry a running pppd serves, from its command line; nothing for another program.
    std::optional<std::string> EntryOfProcess(pid_t pid) const;
    // Fills in an interface still unknown: the RUNDIR/IFNAME.pid file holding the pid, else the
    // peer file's `ifname` or `unit`.
    void FindInterface(Running& running) const;
    std::vector<Running> FindRunning() const;
    std::optional<Running> FindByPid(pid_t pid) const;
    std::optional<LinkInfo> FindLink(const std::string& interface);
    // The interface's first IPv4 address: the link is up once it has one.
    std::optional<AddressRow> FirstAddress(const std::string& interface);
    // Waits for pid's link to come up; 0, or the code of the failure (pppd is then ended).
    int AwaitLink(pid_t pid, std::stop_token stop);
    // Ends our pppd child: SIGTERM, SIGKILL once `grace` is over, or abortGrace after a stop.
    void End(pid_t pid, std::chrono::milliseconds grace, std::stop_token stop = {});
    // Reaps `pid` if it ended; its exit code, or nothing while it runs.
    std::optional<int> Reap(pid_t pid);

    INetworkTables& tables_;
    PppdPaths paths_;
    std::mutex lock_;
    std::map<pid_t, std::string> dialed_;  // our pppd children and their entries
    std::vector<std::jthread> watchers_;
};

}  // namespace vorta::platform
