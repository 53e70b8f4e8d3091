#include <gtest/gtest.h>

#include "app/CommandLine.h"

namespace vorta::app {
namespace {

TEST(CommandLine, OptionsMayStandBeforeOrAfterTheCommand) {
    const auto a = ParseCommandLine({"--data-dir", "/d", "status", "--json"});
    EXPECT_EQ(a.command, Command::Status);
    EXPECT_TRUE(a.json);
    EXPECT_EQ(a.dataDir, "/d");
    const auto b =
        ParseCommandLine({"config", "set", "UserName", "x y", "--service-url", "http://s/"});
    EXPECT_EQ(b.command, Command::ConfigSet);
    EXPECT_EQ(b.name, "UserName");
    EXPECT_EQ(b.value, "x y");
    EXPECT_EQ(b.serviceUrl, "http://s/");
    const auto c =
        ParseCommandLine({"--headless", "--line-url-template", "http://l%s/", "--probe-url", "p"});
    EXPECT_EQ(c.command, Command::Run);
    EXPECT_TRUE(c.headless);
    EXPECT_EQ(c.lineUrlTemplate, "http://l%s/");
    EXPECT_EQ(c.probeUrl, "p");
    EXPECT_EQ(ParseCommandLine({}).command, Command::Run);
    EXPECT_EQ(ParseCommandLine({"status", "--help"}).command, Command::Help);
}

TEST(CommandLine, LinesOptionsBelongToTheLinesCommand) {
    const auto cl = ParseCommandLine({"--data-dir", "/d", "lines", "add", "--kind", "lan",
                                      "--entry", "e", "--service-url", "http://s/", "--backup"});
    EXPECT_EQ(cl.command, Command::Lines);
    EXPECT_EQ(cl.linesArgs,
              (std::vector<std::string>{"add", "--kind", "lan", "--entry", "e", "--backup"}));
    EXPECT_EQ(cl.serviceUrl, "http://s/");
    EXPECT_THROW(ParseCommandLine({"lines"}), std::invalid_argument);
    EXPECT_THROW(ParseCommandLine({"--kind", "lan", "lines", "add"}), std::invalid_argument);
}

TEST(CommandLine, BadInputIsRefused) {
    for (const std::vector<std::string>& bad :
         std::vector<std::vector<std::string>>{{"--data-dir"},
                                               {"--nope"},
                                               {"frobnicate"},
                                               {"config"},
                                               {"config", "set", "UserName"},
                                               {"config", "show", "x"},
                                               {"status", "extra"},
                                               {"--json"},
                                               {"config", "show", "--json"},
                                               {"--headless", "status"}})
        EXPECT_THROW(ParseCommandLine(bad), std::invalid_argument) << bad.size();
}

TEST(CommandLine, InstallSwitchesInEverySpelling) {
    for (const char* arg : {"-install", "/INSTALL", "\\Install", "-iNsTaLl"}) {
        EXPECT_TRUE(IsInstallSwitch({arg})) << arg;
        const CommandLine cl = ParseCommandLine({"--data-dir", "/d", arg, "/SILENT"});
        EXPECT_EQ(cl.serviceSwitch, ServiceSwitch::Install) << arg;
        EXPECT_TRUE(cl.silent);
        EXPECT_EQ(cl.command, Command::Run);
    }
    for (const char* arg : {"-uninstall", "/UNINSTALL", "\\Uninstall", "-uNiNsTaLl"}) {
        EXPECT_TRUE(IsInstallSwitch({arg})) << arg;
        const CommandLine cl = ParseCommandLine({arg});
        EXPECT_EQ(cl.serviceSwitch, ServiceSwitch::Uninstall) << arg;
        EXPECT_FALSE(cl.silent);
    }
    for (const char* arg : {"install", "-installer", "+install"})
        EXPECT_FALSE(IsInstallSwitch({arg})) << arg;
    EXPECT_THROW(ParseCommandLine({"--install"}), std::invalid_argument);
    EXPECT_THROW(ParseCommandLine({"-install", "status"}), std::invalid_argument);
    EXPECT_TRUE(ParseCommandLine({"--service", "--data-dir", "/var/lib/vorta"}).service);
    EXPECT_THROW(ParseCommandLine({"--service", "status"}), std::invalid_argument);
}

// Only the window's start leaves the console alone (on Windows it would hold the window to the
// console of a prompt that went on at once).
TEST(CommandLine, EveryRunButTheWindowStartWantsTheConsole) {
    EXPECT_FALSE(WantsConsole(ParseCommandLine({})));
    EXPECT_FALSE(WantsConsole(ParseCommandLine({"--data-dir", "/d", "--verbose"})));
    for (const std::vector<std::string>& run :
         std::vector<std::vector<std::string>>{{"--headless"},
                                               {"--service"},
                                               {"-install", "-silent"},
                                               {"/UNINSTALL"},
                                               {"status"},
                                               {"--help"},
                                               {"--version"},
                                               {"config", "show"},
                                               {"lines", "list"},
                                               {"log", "--follow"},
                                               {"logon"}})
        EXPECT_TRUE(WantsConsole(ParseCommandLine(run))) << run.front();
}

}  // namespace
}  // namespace vorta::app
