#include <gtest/gtest.h>

#include <fstream>

#include "TempDir.h"
#include "platform/ThisProcess.h"
#include "platform/linux/SystemdServiceManager.h"
#include "platform/linux/XdgAutostart.h"

namespace vorta::platform {
namespace {

using test::TempDir;

TEST(XdgAutostart, EntryIsCreatedAndRemoved) {
    TempDir dir;
    XdgAutostart autostart(dir.path() / "autostart",
                           {"/opt/vorta/bin/vorta", "--data-dir", "/home/a b/x"});
    EXPECT_FALSE(autostart.IsAutostartSet());
    autostart.SetAutostart(true);
    ASSERT_TRUE(autostart.IsAutostartSet());
    std::ifstream in(autostart.EntryFile());
    const std::string text(std::istreambuf_iterator<char>(in), {});
    EXPECT_NE(text.find("Exec=/opt/vorta/bin/vorta --data-dir \"/home/a b/x\"\n"),
              std::string::npos)
        << text;
    autostart.SetAutostart(false);
    EXPECT_FALSE(autostart.IsAutostartSet());
    autostart.SetAutostart(false);  // removing twice is fine
}

TEST(XdgAutostart, ExecArgumentsAreQuotedAndEscaped) {
    const std::string text = XdgAutostart::EntryText({"/bin/v", "a\"b", "c\\d", "50%", "$x"});
    EXPECT_NE(text.find(R"(Exec=/bin/v "a\\"b" "c\\\\d" "50%%" "\\$x")"), std::string::npos)
        << text;
}

TEST(SystemdServiceManager, InstalledMeansAUnitFileAndTheAccountComesFromIt) {
    TempDir dir;
    SystemdServiceManager manager(dir.path());
    EXPECT_FALSE(manager.IsServiceInstalled(kServiceName));
    EXPECT_FALSE(manager.IsServiceAccount());
    std::ofstream(dir.path() / "VortaService.service")
        << "[Unit]\nDescription=x\n[Service]\nExecStart=/bin/true\n";
    EXPECT_TRUE(manager.IsServiceInstalled(kServiceName));
    EXPECT_EQ(SystemdServiceManager::UnitAccount(manager.UnitFile(kServiceName)), "root");
    EXPECT_EQ(manager.IsServiceAccount(), CurrentUserName() == "root");
    std::ofstream(dir.path() / "VortaService.service")
        << "[Service]\nUser=" << CurrentUserName() << "\n[Install]\nUser=nobody\n";
    EXPECT_TRUE(manager.IsServiceAccount());
}

}  // namespace
}  // namespace vorta::platform
