// Loading and saving settings through the controller.

#include "ClientHarness.h"
#include "core/SystemTexts.h"

namespace vorta {
namespace {

using test::ClientHarness;

TEST(SettingsRules, UpdateSysInfoIsTrueOnlyForOneOrNothing) {
    for (const auto& [stored, expected] :
         std::vector<std::pair<std::optional<std::string>, bool>>{{std::nullopt, true},
                                                                  {"", true},
                                                                  {"1", true},
                                                                  {" 1 ", true},
                                                                  {"0", false},
                                                                  {"yes", false}}) {
        ClientHarness h;
        if (stored) h.store.values["UpdateSysInfo"] = *stored;
        h.client->LoadSettings();
        EXPECT_EQ(h.client->SettingsRecord().Get().UpdateSysInfo, expected)
            << stored.value_or("<missing>");
        EXPECT_EQ(h.client->View().suiCheckBoxUpdateSysInfo, expected);
    }
}

TEST(SettingsRules, FlagsAreTrueOnlyForExactlyOne) {
    ClientHarness h;
    h.store.values = {{"AutoLogon", "true"}, {"AutoRunAsOSStart", "1"}, {"UserName", "u"}};
    h.client->LoadSettings();
    const Settings s = h.client->SettingsRecord().Get();
    EXPECT_FALSE(s.AutoLogon);
    EXPECT_TRUE(s.AutoRunAsOSStart);
    EXPECT_TRUE(h.client->View().ChkBoxStartup);
}

TEST(SettingsRules, AutoLogonNeedsSomeCredential) {
    ClientHarness onlyPassword;
    onlyPassword.store.values = {{"UserPwd", " pw "}, {"AutoLogon", "1"}};
    onlyPassword.client->LoadSettings();
    EXPECT_TRUE(onlyPassword.client->SettingsRecord().Get().AutoLogon)
        << "only both empty switch it off";
    EXPECT_EQ(onlyPassword.client->View().EditPassword, " pw ") << "blanks are part of it";
    EXPECT_TRUE(onlyPassword.client->View().ChkBoxSavePwd);

    ClientHarness neither;
    neither.store.values = {{"AutoLogon", "1"}};
    neither.client->LoadSettings();
    EXPECT_FALSE(neither.client->SettingsRecord().Get().AutoLogon);

    ClientHarness notRemembered;
    notRemembered.store.values = {{"UserName", "u"}, {"UserPwd", "pw"}, {"AutoLogon", "0"}};
    notRemembered.client->LoadSettings();
    EXPECT_EQ(notRemembered.client->View().EditUserName, "u");
    EXPECT_EQ(notRemembered.client->View().EditPassword, "") << "the password stays out of the box";
}

TEST(SettingsRules, ThePairRoleIsKeptAndARunsOwnRoleIsNotSaved) {
    ClientHarness h;
    h.store.values = {{"IsInNet", "1"},
                      {"IsMasterHost", "0"},
                      {"IsInLANBack", "1"},
                      {"AsService", "1"},
                      {"UserPwd", "stored"}};
    h.client->StartClient(false);
    Settings s = h.client->SettingsRecord().Get();
    EXPECT_TRUE(s.IsInNet && !s.IsMasterHost && s.IsInLANBack) << "read back at start";
    EXPECT_TRUE(h.client->View().cbInLANBackEnabled) << "the controls follow the stored role";
    EXPECT_FALSE(s.AsService) << "taken from the service manager, not the store";
    h.client->SaveSettings();
    EXPECT_EQ(h.store.values["IsInLANBack"], "1") << "a save keeps the role";
    EXPECT_EQ(h.store.values["UserPwd"], "stored") << "an empty box is no new password";

    ClientConfig master;
    master.pair = ClientConfig::Pair::Master;
    ClientHarness run(master);
    run.store.values = h.store.values;
    run.client->StartClient(false);
    EXPECT_TRUE(run.client->SettingsRecord().Get().IsMasterHost) << "the option rules this run";
    run.client->SaveSettings();
    EXPECT_EQ(run.store.values["IsMasterHost"], "0") << "and is not saved";
    EXPECT_EQ(run.store.values["IsInLANBack"], "1");
    run.client->View().rbAsMaster = false;  // the user picks a role: that one is saved
    run.client->View().rbAsSlave = true;
    run.client->View().cbInLANBack = false;
    run.client->SaveSettings();
    EXPECT_EQ(run.store.values["IsInLANBack"], "0");
    EXPECT_EQ(run.client->ConfigSet("AsService", "1").exitCode, 2) << "only -install changes it";
    EXPECT_EQ(run.client->ConfigSet("IsInNet", "0").exitCode, 0);
    run.client->SaveSettings();
    EXPECT_EQ(run.store.values["IsInNet"], "0") << "a role set while the client runs is kept";
    EXPECT_FALSE(run.client->SettingsRecord().Get().IsInNet);
}

TEST(SettingsRules, HoldDownIsWholeSecondsUpToAnHourAndTakesEffectAtOnce) {
    ClientHarness h;
    h.store.values["HoldDown"] = "12";
    h.client->StartClient(false);
    EXPECT_EQ(h.client->SettingsRecord().Get().HoldDownSeconds, 12) << "read at start";
    EXPECT_EQ(h.client->ConfigSet("HoldDown", "0").exitCode, 0);
    EXPECT_EQ(h.client->SettingsRecord().Get().HoldDownSeconds, 0) << "in force at once";
    for (const char* bad : {"3601", "-1", "5s", "1e3", " 5", "99999"}) {
        EXPECT_NE(h.client->ConfigSet("HoldDown", bad).exitCode, 0) << bad;
        EXPECT_EQ(h.store.values["HoldDown"], "0") << bad << " was stored";
    }
    EXPECT_EQ(h.client->ConfigSet("HoldDown", "").exitCode, 0);
    EXPECT_EQ(h.client->SettingsRecord().Get().HoldDownSeconds, 5) << "empty is the default";
    h.store.values["HoldDown"] = "junk";  // written by hand
    ClientHarness again;
    again.store.values = h.store.values;
    again.client->StartClient(false);
    EXPECT_EQ(again.client->SettingsRecord().Get().HoldDownSeconds, 5);
}

TEST(SettingsRules, SaveWritesEveryValueInOrderAndSetsAutostart) {
    ClientHarness h;
    ViewState& v = h.client->View();
    v.EditUserName = "  u ";
    v.EditPassword = "p w";
    v.ChkBoxSavePwd = true;
    v.ChkBoxStartup = true;
    v.suiCheckBoxUpdateSysInfo = false;
    v.cbIsInNet = true;
    v.rbAsMaster = false;
    v.cbInLANBack = true;
    h.client->SaveSettings();
    EXPECT_EQ(h.store.writes, (std::vector<std::string>{
                                  "UserName", "UserPwd", "AutoLogon", "AsService", "UpdateSysInfo",
                                  "AutoRunAsOSStart", "IsInNet", "IsMasterHost", "IsInLANBack"}));
    EXPECT_EQ(h.store.values["UserName"], "  u ");
    EXPECT_EQ(h.store.values["UserPwd"], "p w");
    EXPECT_EQ(h.store.values["AutoLogon"], "1");
    EXPECT_EQ(h.store.values["UpdateSysInfo"], "0");
    EXPECT_EQ(h.store.values["IsInLANBack"], "1");
    EXPECT_TRUE(h.autostart.set);
    const Settings s = h.client->SettingsRecord().Get();
    EXPECT_TRUE(s.IsInNet);
    EXPECT_TRUE(s.IsInLANBack);
    EXPECT_EQ(s.UserPwd, "p w");
}

TEST(SettingsRules, FailedSaveKeepsTheValuesAndIsLoggedOncePerCause) {
    ClientHarness h;
    const auto count = [&](const std::string& text) {
        int n = 0;
        for (std::size_t i = 0; i < h.client->Log().size(); ++i)
            n += h.client->Log()[i].Text == text;
        return n;
    };
    const std::string failed = "settings could not be saved: write: Permission denied";
    h.store.failWrites = true;
    h.client->View().EditUserName = "alice";
    h.client->SetLoggedOn();
    EXPECT_TRUE(h.client->LoggedOn()) << "the logon goes on without its save";
    EXPECT_EQ(h.client->SettingsRecord().Get().UserName, "alice") << "kept in memory";
    h.client->SaveSettings();
    EXPECT_EQ(count(failed), 1) << "once per cause";

    h.store.failWrites = false;
    h.client->SaveSettings();
    EXPECT_EQ(h.store.values["UserName"], "alice") << "the next save writes it";
    h.store.failWrites = true;
    h.client->SaveSettings();
    EXPECT_EQ(count(failed), 2) << "a failure after a success is told again";

    // A failing autostart write is told and skipped as well.
    h.store.failWrites = false;
    h.autostart.failure = "cannot remove /x/autostart/VortaClient.desktop: Not a directory";
    h.client->SaveSettings();
    h.client->SaveSettings();
    EXPECT_EQ(count("autostart could not be written: " + h.autostart.failure), 1);
}

TEST(SettingsRules, OptionBoxesRefuseContradictions) {
    ClientHarness h;
    ViewState& v = h.client->View();
    v.ChkBoxRunAsService = true;
    v.ChkBoxStartup = true;
    h.client->ChkBoxStartupClick();
    EXPECT_FALSE(v.ChkBoxStartup);
    EXPECT_TRUE(h.store.writes.empty()) << "refused without saving";
    ASSERT_EQ(h.view.messageBoxes.size(), 1u);
    EXPECT_EQ(h.view.messageBoxes[0], "因为选择了以服务方式启动，该选项被忽略！");

    v.ChkBoxSavePwd = false;
    h.client->ChkBoxSavePwdClick();
    EXPECT_TRUE(v.ChkBoxSavePwd) << "auto start keeps the password remembered";
    EXPECT_TRUE(h.store.writes.empty());

    v.ChkBoxRunAsService = false;
    v.ChkBoxStartup = true;
    v.ChkBoxSavePwd = false;
    h.client->ChkBoxStartupClick();
    EXPECT_TRUE(v.ChkBoxSavePwd);
    EXPECT_EQ(h.NewestLog(), "设置为随OS一起启动！");
    EXPECT_EQ(h.store.values["AutoRunAsOSStart"], "1");
}

TEST(SettingsRules, PairControlsEnableEachOther) {
    ClientHarness h;
    ViewState& v = h.client->View();
    v.cbIsInNet = true;
    h.client->cbIsInNetClick();
    EXPECT_TRUE(v.rbAsMasterEnabled);
    EXPECT_TRUE(v.cbInLANBackEnabled);
    v.cbInLANBack = true;
    v.rbAsMaster = true;
    v.rbAsSlave = false;
    h.client->rbAsMasterClick();
    EXPECT_FALSE(v.cbInLANBack);
    EXPECT_FALSE(v.cbInLANBackEnabled);
}

TEST(ServiceSwitch, SwitchingTheServiceOnClearsAutostartAndReports) {
    std::vector<bool> runs;
    ClientHooks hooks;
    hooks.installService = [&](bool install) {
        runs.push_back(install);
        return true;
    };
    ClientHarness h({}, hooks);
    ViewState& v = h.client->View();
    v.ChkBoxStartup = true;
    h.autostart.set = true;
    v.ChkBoxRunAsService = true;
    ASSERT_TRUE(h.SwitchService());
    EXPECT_EQ(runs, std::vector<bool>{true});
    EXPECT_FALSE(v.ChkBoxStartup);
    EXPECT_TRUE(v.ChkBoxSavePwd);
    EXPECT_EQ(h.store.values["AutoRunAsOSStart"], "0");
    EXPECT_EQ(h.store.values["AsService"], "1");
    EXPECT_FALSE(h.autostart.set) << "the autostart entry is removed";
    ASSERT_EQ(h.view.messageBoxes.size(), 1u);
    EXPECT_EQ(h.view.messageBoxes[0], "安装Vorta服务成功");
    EXPECT_EQ(h.NewestLog(), texts::kServiceLoaded);

    h.store.writes.clear();
    v.ChkBoxRunAsService = false;
    ASSERT_TRUE(h.SwitchService());
    EXPECT_EQ(runs, (std::vector<bool>{true, false}));
    EXPECT_EQ(h.view.messageBoxes.back(), "卸载Vorta服务成功");
    EXPECT_EQ(h.NewestLog(), texts::kServiceUnloaded);
    EXPECT_TRUE(h.store.writes.empty()) << "switching off does not save";
}

TEST(ServiceSwitch, AFailedInstallRunIsReportedAndTheBoxShowsTheTruth) {
    ClientHooks hooks;
    hooks.installService = [](bool install) {
        if (!install) throw std::runtime_error("cannot start the program");
        return false;
    };
    ClientHarness h({}, hooks);
    ViewState& v = h.client->View();
    v.ChkBoxRunAsService = true;
    ASSERT_TRUE(h.SwitchService());
    ASSERT_EQ(h.view.messageBoxes.size(), 1u);
    EXPECT_EQ(h.view.messageBoxes[0], "安装Vorta服务失败");
    EXPECT_FALSE(v.ChkBoxRunAsService);
    EXPECT_FALSE(h.LogHas(texts::kServiceLoaded));

    h.services.installed = true;
    v.ChkBoxRunAsService = false;
    ASSERT_TRUE(h.SwitchService());
    EXPECT_EQ(h.view.messageBoxes.back(), "卸载Vorta服务失败");
    EXPECT_TRUE(v.ChkBoxRunAsService) << "still installed";
    // The reason (a refused consent, a program that did not start) is in the log.
    EXPECT_TRUE(h.LogHas("the service removal did not happen: cannot start the program"));
}

TEST(ServiceSwitch, ExitStopsTheServiceInServiceModeAndClosesOtherwise) {
    {
        ClientHarness desktop;
        desktop.client->StartClient(false);
        desktop.client->ActionExit();
        EXPECT_EQ(desktop.view.exits, 1);
        EXPECT_EQ(desktop.services.stopCalls, 0);
    }
    ClientHarness service;
    service.client->StartClient(true);
    service.client->ActionExit();
    EXPECT_TRUE(service.RunUntil([&] { return service.services.stopCalls == 1; }));
    EXPECT_EQ(service.view.exits, 0) << "the service's stop ends the process, not the action";
    service.client->Shutdown();
}

}  // namespace
}  // namespace vorta
