#pragma once
// A peers dir, run dir and credentials dir for the fake pppd, and pppds a test starts itself as
// pon would.

#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <chrono>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "TempDir.h"
#include "platform/linux/PppdRemoteAccess.h"

extern char** environ;

namespace vorta::test {

class PppdSandbox {
public:
    PppdSandbox() {
        for (const char* dir : {"peers", "run", "credentials"})
            std::filesystem::create_directories(temp.path() / dir);
        // The client writes dial credentials only into a folder no one else may enter.
        std::filesystem::permissions(temp.path() / "credentials",
                                     std::filesystem::perms::owner_all);
        ::setenv("FAKE_PPPD_RUNDIR", (temp.path() / "run").c_str(), 1);
        ::setenv("FAKE_PPPD_PEERS", (temp.path() / "peers").c_str(), 1);
    }
    // A failed test may leave a fake pppd running: those this sandbox's pid files name end.
    ~PppdSandbox() {
        std::error_code ec;
        for (const auto& file : std::filesystem::directory_iterator(temp.path() / "run", ec)) {
            const std::string name = file.path().filename().string();
            const pid_t pid = name.ends_with(".pid") ? PidIn(name) : 0;
            if (pid <= 0) continue;
            std::ifstream in("/proc/" + std::to_string(pid) + "/cmdline");
            const std::string command(std::istreambuf_iterator<char>(in), {});
            if (command.find("fake-pppd") != std::string::npos) ::kill(pid, SIGTERM);
        }
    }
    PppdSandbox(const PppdSandbox&) = delete;
    PppdSandbox& operator=(const PppdSandbox&) = delete;
    platform::PppdPaths Paths(const std::string& program) const {
        platform::PppdPaths paths;
        paths.program = program;
        paths.peersDir = temp.path() / "peers";
        paths.runDir = temp.path() / "run";
        paths.credentialsDir = temp.path() / "credentials";
        paths.dialTimeout = std::chrono::seconds(20);
        return paths;
    }
    void Peer(const std::string& entry, const std::string& text) {
        std::ofstream(temp.path() / "peers" / entry) << text;
    }
    // What every run of the fake for `entry` logged, oldest first.
    std::string Log(const std::string& entry) const {
        std::ifstream in(temp.path() / "run" / ("fake-pppd-" + entry + ".log"));
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // How often the fake ran for `entry`.
    int Runs(const std::string& entry) const {
        const std::string log = Log(entry);
        int runs = 0;
        for (auto at = log.find("args: "); at != std::string::npos; at = log.find("args: ", at + 1))
            ++runs;
        return runs;
    }
    std::filesystem::path RunFile(const std::string& name) const {
        return temp.path() / "run" / name;
    }
    // The pid in a pid file of the run dir, 0 while there is none.
    pid_t PidIn(const std::string& name) const {
        std::ifstream in(RunFile(name));
        pid_t pid = 0;
        return in >> pid ? pid : 0;
    }
    bool CredentialsLeft() const {
        return std::filesystem::directory_iterator(temp.path() / "credentials") !=
               std::filesystem::directory_iterator();
    }
    TempDir temp;
};

// A pppd started by hand, outside the client: SIGTERMed and reaped when the test ends.
class HandStartedPppd {
public:
    explicit HandStartedPppd(std::vector<std::string> args) {
        std::vector<char*> argv;
        for (auto& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        if (::posix_spawn(&pid_, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
            throw std::runtime_error("cannot start " + args[0]);
    }
    ~HandStartedPppd() {
        ::kill(pid_, SIGTERM);
        for (int i = 0; i < 200; ++i) {
            if (::waitpid(pid_, nullptr, WNOHANG) != 0) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    HandStartedPppd(const HandStartedPppd&) = delete;
    HandStartedPppd& operator=(const HandStartedPppd&) = delete;
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = 0;
};

}  // namespace vorta::test
