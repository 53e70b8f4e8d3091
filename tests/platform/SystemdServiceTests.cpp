// Registering, removing and stopping the service through systemctl; a fake systemctl records
// the calls and plays the unit's states.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <thread>

#include "TempDir.h"
#include "platform/linux/SystemdServiceManager.h"
#include "service/ServiceHost.h"

namespace vorta::platform {
namespace {

using test::TempDir;

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class SystemdService : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("FAKE_SYSTEMCTL_DIR", fake.path().c_str(), 1);
        manager.stopPoll = std::chrono::milliseconds(5);
    }
    void States(const std::string& lines) { std::ofstream(fake.path() / "states") << lines; }
    void ExitOf(const std::string& verb, int code) {
        std::ofstream(fake.path() / ("exit-" + verb)) << code;
    }
    std::string Calls() const { return ReadFile(fake.path() / "calls"); }
    void Install() {
        manager.InstallService(VortaServiceDefinition("/usr/bin/vorta", "/var/lib/vorta"));
        std::filesystem::remove(fake.path() / "calls");
    }

    TempDir units, fake;
    SystemdServiceManager manager{units.path(), {}, FAKE_SYSTEMCTL};
};

TEST(SystemdUnit, RunsTheProgramInServiceModeAndEscapesItsWords) {
    const std::string text = SystemdServiceManager::UnitText(
        VortaServiceDefinition("/opt/my vorta/vorta", "/srv/50%/$data"));
    EXPECT_NE(text.find("Description=Vorta V1.0 Service\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nExecStart=\"/opt/my vorta/vorta\" --service --data-dir "
                        "/srv/50%%/$$data\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\nRestart=on-failure\n"), std::string::npos);
    EXPECT_NE(text.find("[Install]\nWantedBy=multi-user.target\n"), std::string::npos);

    EXPECT_EQ(SystemdServiceManager::UnitWord(R"(a"b\c)"), R"("a\"b\\c")");
    EXPECT_EQ(SystemdServiceManager::UnitWord(""), "\"\"");
    EXPECT_EQ(SystemdServiceManager::UnitWord("x;y"), "\"x;y\"");
    // A line break would start a directive of its own.
    EXPECT_THROW(SystemdServiceManager::UnitText(
                     VortaServiceDefinition("/usr/bin/vorta", "/tmp/x\nExecStartPre=/bin/evil")),
                 std::runtime_error);
}

TEST(SystemdUnit, ThePackagedUnitIsTheOneTheInstallRunWrites) {
    EXPECT_EQ(ReadFile(PACKAGED_UNIT), SystemdServiceManager::UnitText(VortaServiceDefinition(
                                           PACKAGED_PROGRAM, "/var/lib/vorta")));
}

TEST(SystemdUnit, SystemdAcceptsTheUnit) {
    if (std::system("command -v systemd-analyze >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "systemd-analyze is not installed";
    TempDir dir;
    const auto unit = dir.path() / "VortaService.service";
    // The program must exist for the check; the words after it are this program's own.
    std::ofstream(unit) << SystemdServiceManager::UnitText(
        {"VortaService", "Vorta V1.0 Service", {"/bin/true", "--service", "--data-dir", "/a b"}});
    const std::string command = "systemd-analyze verify --man=no '" + unit.string() + "' 2>&1";
    std::string out;
    {
        std::unique_ptr<FILE, decltype(&pclose)> pipe(popen(command.c_str(), "r"), &pclose);
        char buffer[256];
        while (pipe && fgets(buffer, sizeof buffer, pipe.get())) out += buffer;
    }
    EXPECT_EQ(out.find("VortaService.service:"), std::string::npos) << out;
}

TEST_F(SystemdService, InstallWritesTheUnitReloadsAndEnables) {
    EXPECT_FALSE(manager.IsServiceInstalled(kServiceName));
    manager.InstallService(VortaServiceDefinition("/usr/bin/vorta", "/var/lib/vorta"));
    const auto unit = units.path() / "VortaService.service";
    EXPECT_NE(ReadFile(unit).find("ExecStart=/usr/bin/vorta --service --data-dir /var/lib/vorta\n"),
              std::string::npos);
    EXPECT_EQ(std::filesystem::status(unit).permissions() & std::filesystem::perms::all,
              std::filesystem::perms(0644));
    EXPECT_EQ(Calls(), "daemon-reload\nenable VortaService.service\n");
    EXPECT_TRUE(manager.IsServiceInstalled(kServiceName));

    std::filesystem::remove(fake.path() / "calls");
    manager.UninstallService(kServiceName);
    EXPECT_EQ(Calls(), "disable VortaService.service\ndaemon-reload\n");
    EXPECT_FALSE(std::filesystem::exists(unit));
    EXPECT_THROW(manager.UninstallService(kServiceName), std::runtime_error) << "not installed";
}

TEST_F(SystemdService, AFailedSystemctlStepIsAFailure) {
    ExitOf("enable", 1);
    try {
        manager.InstallService(VortaServiceDefinition("/usr/bin/vorta", "/var/lib/vorta"));
        ADD_FAILURE() << "a refused enable must fail the install";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "systemctl enable failed (systemctl exit 1)");
    }
    SystemdServiceManager missing(units.path(), {}, (fake.path() / "no-systemctl").string());
    EXPECT_THROW(missing.InstallService(VortaServiceDefinition("/usr/bin/vorta", "/d")),
                 std::runtime_error);
}

TEST_F(SystemdService, APackagedUnitCountsOnceEnabled) {
    TempDir packaged;
    std::ofstream(packaged.path() / "VortaService.service") << "[Service]\nUser=nobody\n";
    SystemdServiceManager withPackage(units.path(), {packaged.path()}, FAKE_SYSTEMCTL);
    EXPECT_FALSE(withPackage.IsServiceInstalled(kServiceName));
    std::filesystem::create_directories(units.path() / "multi-user.target.wants");
    std::filesystem::create_symlink(packaged.path() / "VortaService.service",
                                    units.path() / "multi-user.target.wants/VortaService.service");
    EXPECT_TRUE(withPackage.IsServiceInstalled(kServiceName));
    EXPECT_EQ(SystemdServiceManager::UnitAccount(withPackage.UnitFile(kServiceName)), "nobody");
}

TEST_F(SystemdService, StopWaitsWhileTheStopProgresses) {
    Install();
    States(
        "deactivating stop-sigterm\ndeactivating stop-sigterm\ndeactivating stop-sigkill\n"
        "inactive dead\n");
    EXPECT_TRUE(manager.StopOwnService());
    EXPECT_EQ(Calls().substr(0, 34), "stop --no-block VortaService.servi");
    EXPECT_EQ(Calls().find("show --property=ActiveState --property=SubState VortaService.service"),
              Calls().find('\n') + 1);
}

TEST_F(SystemdService, StopGoingBackwardsEndsTheWaitWithFalse) {
    Install();
    // The unit is restarted half-way: the wait ends at once, the service not stopped.
    States("deactivating stop-sigkill\nactivating start\ninactive dead\n");
    EXPECT_FALSE(manager.StopOwnService());
    EXPECT_EQ(ReadFile(fake.path() / "states"), "inactive dead\n") << "no query after the turn";
}

TEST_F(SystemdService, RefusedStopAndUnreadableStates) {
    Install();
    ExitOf("stop", 5);
    States("inactive dead\n");
    EXPECT_FALSE(manager.StopOwnService());
    EXPECT_EQ(Calls(), "stop --no-block VortaService.service\n") << "no wait after a refusal";

    std::filesystem::remove(fake.path() / ("exit-stop"));
    std::filesystem::remove(fake.path() / "states");
    EXPECT_THROW(manager.StopOwnService(), std::runtime_error);

    SystemdServiceManager none(fake.path() / "nothing", {}, FAKE_SYSTEMCTL);
    EXPECT_THROW(none.StopOwnService(), std::runtime_error) << "not installed";
}

TEST_F(SystemdService, AStopRequestEndsAWaitThatNeverEnds) {
    Install();
    States("deactivating stop-sigterm\n");  // repeats for ever
    std::stop_source owner;
    std::jthread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        owner.request_stop();
    });
    EXPECT_FALSE(manager.StopOwnService(owner.get_token()));
}

}  // namespace
}  // namespace vorta::platform
