#include "core/SettingsRules.h"

#include <exception>
#include <utility>

#include "base/Translate.h"
#include "protocol/ServiceUrls.h"

namespace vorta {

SettingsRules::SettingsRules(const ClientContext& context, const ClientConfig& config,
                             platform::ISettingsStore& store, platform::IServiceManager& services,
                             platform::IAutostart& autostart,
                             std::function<void(bool master)> startPair)
    : view_(context.view),
      frontEnd_(context.frontEnd),
      settings_(context.settings),
      log_(context.log),
      config_(config),
      store_(store),
      services_(services),
      autostart_(autostart),
      startPair_(std::move(startPair)) {}

void SettingsRules::LoadPairRole() {
    storedPair_ = {SettingFlag(store_.ReadSetting("IsInNet")),
                   SettingFlag(store_.ReadSetting("IsMasterHost")),
                   SettingFlag(store_.ReadSetting("IsInLANBack"))};
    PairRole role = storedPair_;
    if (config_.pair != ClientConfig::Pair::None) {
        role = {true, config_.pair == ClientConfig::Pair::Master,
                config_.pair == ClientConfig::Pair::BackupInLan};
        runPair_ = role;
    }
    settings_.Update([&](Settings& s) {
        s.IsInNet = role.inNet;
        s.IsMasterHost = role.master;
        s.IsInLANBack = role.inLanBack;
    });
}

void SettingsRules::LoadSettings() {
    Settings s = settings_.Get();
    s.AsService = services_.IsServiceInstalled(platform::kServiceName);
    s.UserName = store_.ReadSetting("UserName");
    s.UserPwd = store_.ReadExactSetting("UserPwd");  // blanks in a password are part of it
    s.AutoLogon = SettingFlag(store_.ReadSetting("AutoLogon"));
    s.UpdateSysInfo = UpdateSysInfoFlag(store_.ReadSetting("UpdateSysInfo"));
    s.AutoRunAsOSStart = SettingFlag(store_.ReadSetting("AutoRunAsOSStart"));
    if (s.UserName.empty() && s.UserPwd.empty()) s.AutoLogon = false;
    s.HoldDownSeconds = HoldDownSecondsOf(store_.ReadSetting("HoldDown"));
    settings_.Update([&](Settings& shared) { shared = s; });

    view_.EditUserName = s.UserName;
    if (s.AutoLogon) view_.EditPassword = s.UserPwd;
    view_.ChkBoxSavePwd = s.AutoLogon;
    view_.ChkBoxRunAsService = s.AsService;
    view_.ChkBoxStartup = s.AutoRunAsOSStart;
    view_.suiCheckBoxUpdateSysInfo = s.UpdateSysInfo;
    view_.rbAsMaster = s.IsMasterHost;
    view_.rbAsSlave = !s.IsMasterHost;
    view_.cbIsInNet = s.IsInNet;
    view_.cbInLANBack = s.IsInLANBack;
    ApplyInNetRule();
}

void SettingsRules::SaveSettings() {
    Settings s = settings_.Get();
    s.UserName = view_.EditUserName;
    // An empty box is no new password: nothing was typed (the window shows a stored password
    // only when it is remembered), and an empty one can never log on.
    if (!view_.EditPassword.empty()) s.UserPwd = view_.EditPassword;
    s.AutoLogon = view_.ChkBoxSavePwd;
    s.AsService = view_.ChkBoxRunAsService;
    s.AutoRunAsOSStart = view_.ChkBoxStartup;
    s.UpdateSysInfo = view_.suiCheckBoxUpdateSysInfo;
    s.IsInNet = view_.cbIsInNet;
    s.IsMasterHost = view_.rbAsMaster;
    s.IsInLANBack = view_.cbInLANBack;
    settings_.Update([&](Settings& shared) { shared = s; });
    const PairRole shown{s.IsInNet, s.IsMasterHost, s.IsInLANBack};
    if (runPair_ && shown != *runPair_) runPair_.reset();  // the user chose a role of their own
    if (!runPair_) storedPair_ = shown;
    StoreSettings(s);
    WriteAutostart(s.AutoRunAsOSStart);
    // 5. A changed role restarts the unit; clearing IsInNet leaves a running one alone.
    if (s.IsInNet) startPair_(s.IsMasterHost);
}

void SettingsRules::StoreSettings(const Settings& s) {
    try {
        // One change holds every value: a save cut short leaves the old ones or the new ones.
        store_.WriteSettings({{"UserName", s.UserName},
                              {"UserPwd", s.UserPwd},
                              {"AutoLogon", FlagText(s.AutoLogon)},
                              {"AsService", FlagText(s.AsService)},
                              {"UpdateSysInfo", FlagText(s.UpdateSysInfo)},
                              {"AutoRunAsOSStart", FlagText(s.AutoRunAsOSStart)},
                              {"IsInNet", FlagText(storedPair_.inNet)},
                              {"IsMasterHost", FlagText(storedPair_.master)},
                              {"IsInLANBack", FlagText(storedPair_.inLanBack)}});
        settingsError_.clear();
    } catch (const std::exception& e) {
        // The values stay in memory and the next save tries again.
        TellOnce(settingsError_, Tr("settings could not be saved: {}"), e.what());
    }
}

void SettingsRules::WriteAutostart(bool enabled) {
    try {
        autostart_.SetAutostart(enabled);
        autostartError_.clear();
    } catch (const std::exception& e) {
        TellOnce(autostartError_, Tr("autostart could not be written: {}"), e.what());
    }
}

void SettingsRules::TellOnce(std::string& lastCause, const char* pattern,
                             const std::string& cause) {
    if (lastCause == cause) return;
    lastCause = cause;
    log_.AddLog(2, Fill(pattern, {cause}));
}

std::string SettingsRules::UrlInUse(const std::string& override, const char* name,
                                    std::string_view fallback) const {
    if (!override.empty()) return override;
    std::string stored = store_.ReadSetting(name);
    return stored.empty() ? std::string(fallback) : stored;
}

void SettingsRules::ChkBoxStartupClick() {
    if (view_.ChkBoxRunAsService && view_.ChkBoxStartup) {
        frontEnd_.MessageBox(Tr("因为选择了以服务方式启动，该选项被忽略！"), kMessageCaption,
                             MessageIcon::Information);
        view_.ChkBoxStartup = false;
        frontEnd_.StateChanged();
        return;
    }
    if (view_.ChkBoxStartup) {
        log_.Notify(Tr("设置为随OS一起启动！"));
        view_.ChkBoxSavePwd = true;
    }
    SaveSettings();
    frontEnd_.StateChanged();
}

void SettingsRules::ChkBoxSavePwdClick() {
    if (view_.ChkBoxSavePwd || (!view_.ChkBoxStartup && !view_.ChkBoxRunAsService)) {
        SaveSettings();
        return;
    }
    frontEnd_.MessageBox(Tr("因为设置了自动启动选项，所以保存密码选项不能关闭！"), kMessageCaption,

                         MessageIcon::Information);
    view_.ChkBoxSavePwd = true;
    frontEnd_.StateChanged();
}

void SettingsRules::ApplyInNetRule() {
    view_.rbAsMasterEnabled = view_.rbAsSlaveEnabled = view_.cbIsInNet;
    view_.cbInLANBackEnabled = view_.rbAsSlaveEnabled;
}

void SettingsRules::cbIsInNetClick() {
    ApplyInNetRule();
    frontEnd_.StateChanged();
}

void SettingsRules::rbAsMasterClick() {
    if (view_.rbAsMaster) view_.cbInLANBack = false;
    rbAsSlaveClick();
}

void SettingsRules::rbAsSlaveClick() {
    view_.cbInLANBackEnabled = view_.rbAsSlave;
    frontEnd_.StateChanged();
}

CommandOutcome SettingsRules::ConfigSet(const std::string& name, const std::string& value) {
    if (std::string why = SettingValueError(name, value); !why.empty())
        return {2, "vorta: " + why + "\n"};
    try {
        store_.WriteSetting(name, value);
    } catch (const std::exception& e) {
        return {1, "vorta: " + name + " could not be saved: " + e.what() + "\n"};
    }
    const bool on = value == "1";
    std::string note;
    if (name == "UserName") {
        view_.EditUserName = value;
        settings_.Update([&](Settings& s) { s.UserName = value; });
    } else if (name == "UserPwd") {
        view_.EditPassword = value;
        settings_.Update([&](Settings& s) { s.UserPwd = value; });
    } else if (name == "AutoLogon") {
        view_.ChkBoxSavePwd = on;
        settings_.Update([&](Settings& s) { s.AutoLogon = on; });
    } else if (name == "UpdateSysInfo") {
        view_.suiCheckBoxUpdateSysInfo = on;
        settings_.Update([&](Settings& s) { s.UpdateSysInfo = on; });
    } else if (name == "AutoRunAsOSStart") {
        view_.ChkBoxStartup = on;
        settings_.Update([&](Settings& s) { s.AutoRunAsOSStart = on; });
        WriteAutostart(on);
    } else if (name == "IsInNet" || name == "IsMasterHost" || name == "IsInLANBack") {
        // The stored role (now holding this value) is the one in force from now on, this run's
        // option or not.
        if (name == "IsInNet") view_.cbIsInNet = storedPair_.inNet = on;
        if (name == "IsMasterHost")
            view_.rbAsMaster = storedPair_.master = on, view_.rbAsSlave = !on;
        if (name == "IsInLANBack") view_.cbInLANBack = storedPair_.inLanBack = on;
        runPair_.reset();
        ApplyInNetRule();
        settings_.Update([&](Settings& s) {
            s.IsInNet = view_.cbIsInNet;
            s.IsMasterHost = view_.rbAsMaster;
            s.IsInLANBack = view_.cbInLANBack;
        });
        if (view_.cbIsInNet) startPair_(view_.rbAsMaster);
    } else if (name == "ServiceUrl" || name == "LineUrlTemplate") {
        const bool service = name == "ServiceUrl";
        const std::string& override = service ? config_.serviceUrl : config_.lineUrlTemplate;
        if (override.empty()) {
            // As UrlInUse would read it back: empty is the default.
            const std::string url = !value.empty() ? value
                                                   : std::string(service ? kDefaultServiceUrl
                                                                         : kDefaultLineUrlTemplate);
            settings_.Update(
                [&](Settings& s) { (service ? s.ServiceUrl : s.LineUrlTemplate) = url; });
        } else {
            note = " (this run keeps the address given on its command line)";
        }
    } else if (name == "ProbeUrl") {
        note = " (in use from the client's next start)";
    } else if (name == "HoldDown") {
        settings_.Update([&](Settings& s) { s.HoldDownSeconds = HoldDownSecondsOf(value); });
    }
    frontEnd_.StateChanged();
    return {0, name + " saved" + note + "\n"};
}

}  // namespace vorta
