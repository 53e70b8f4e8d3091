#pragma once
// The operating system's objects for one run of the client, made by the one MakePlatform of
// the OS the program is built for, and the few OS services the front ends and commands need.

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/Client.h"
#include "platform/InstanceChannel.h"
#include "platform/NetworkChanges.h"
#include "platform/StopRequests.h"

namespace vorta::host {

struct HostPlatform {
    std::filesystem::path dataDir;  // absolute
    std::unique_ptr<platform::ISettingsStore> settings;
    std::unique_ptr<platform::IServiceManager> services;
    std::unique_ptr<platform::IAutostart> autostart;
    std::unique_ptr<platform::INetworkTables> network;
    // Before the datagrams, which listen to it and so must go first.
    std::unique_ptr<platform::NetworkChanges> changes;
    std::unique_ptr<platform::IRemoteAccess> ras;
    std::unique_ptr<platform::ISystemFacts> facts;
    std::unique_ptr<platform::IDatagrams> datagrams;
    HostResolver resolver;
    std::unique_ptr<platform::IInstanceChannel> channel;
    platform::StopRequestWatcher watchStopRequests;
    // Runs the program's own install (or uninstall) run; true when it succeeded.
    std::function<bool(bool install)> installService;
    // True when the service manager started this process under the service's account.
    bool startedAsService = false;
    // Tells the service manager of a service run's state ("READY=1", "STOPPING=1",
    // "WATCHDOG=1"); none where it learns of the state otherwise.
    std::function<void(const std::string& state)> notifyServiceManager;
    // How often a service run's loop must say that it is alive ("WATCHDOG=1"); zero: never.
    std::chrono::microseconds watchdogInterval{0};
    // Log lines on standard error may carry their priority (<3> error, <4> warning, <6> info).
    bool logPriorities = false;

    // What the client is given of all this.
    ClientPlatform ForClient() const;
};

// Every object of a client run on the data dir `dataDir`.
std::unique_ptr<HostPlatform> MakePlatform(const std::filesystem::path& dataDir);

// The same OS services one by one, for commands that need no client.
std::filesystem::path DefaultDataDir();
std::filesystem::path ExecutablePath();
std::unique_ptr<platform::ISettingsStore> OpenSettings(const std::filesystem::path& dataDir);
std::unique_ptr<platform::IInstanceChannel> OpenChannel(const std::filesystem::path& dataDir);
std::unique_ptr<platform::IServiceManager> OpenServiceManager();
// Why a service may not run on (or be installed for) `dataDir`; empty when it may. Root works
// only in root's folders; elsewhere there is nothing to check.
std::string ServiceDataDirProblem(const std::filesystem::path& dataDir);
// The data dir of the installed service.
std::filesystem::path SystemDataDir();
// Reads a secret from the terminal without echo (a line of standard input elsewhere).
std::string ReadSecret(const std::string& prompt);
// True when a graphical desktop is reachable (an X11 or Wayland display).
bool DisplayAvailable();
// The window program beside this one (or where the package installs it); empty when none.
std::filesystem::path WindowProgram();
// Runs `program` with `args` in place of this process; returns only when it cannot, with why.
std::string ReplaceWith(const std::filesystem::path& program, const std::vector<std::string>& args);
// Test-only settings of the run (a shorter heartbeat) that the OS's test hooks allow.
void ApplyTestSettings(ClientConfig& config);

}  // namespace vorta::host
