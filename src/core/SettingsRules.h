#pragma once
// The settings as the window shows and stores them: loading and saving, the pair role kept
// apart for a run that has one of its own, the option boxes' rules and `config set`. Loop's
// thread.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/ClientConfig.h"
#include "core/ClientContext.h"
#include "core/CommandOutcome.h"

namespace vorta {

class SettingsRules {
public:
    // `startPair(master)`: the pair unit is to run in this role (a changed one restarts it).
    SettingsRules(const ClientContext& context, const ClientConfig& config,
                  platform::ISettingsStore& store, platform::IServiceManager& services,
                  platform::IAutostart& autostart, std::function<void(bool master)> startPair);

    // The stored pair role, or this run's from the command line.
    void LoadPairRole();
    void LoadSettings();
    void SaveSettings();
    // The stored URL setting `name`, unless this run overrides it; the default when empty.
    std::string UrlInUse(const std::string& override, const char* name,
                         std::string_view fallback) const;

    // The option boxes, once the front end has set the clicked one.
    void ChkBoxStartupClick();
    void ChkBoxSavePwdClick();
    void cbIsInNetClick();
    void rbAsMasterClick();
    void rbAsSlaveClick();

    // Stores one setting (validated) and applies it to the running client.
    CommandOutcome ConfigSet(const std::string& name, const std::string& value);

private:
    void ApplyInNetRule();
    // Writes the settings; a failure keeps the values in memory and is logged once per cause.
    void StoreSettings(const Settings& s);
    void WriteAutostart(bool enabled);
    // Logs `what` + `cause` unless `cause` is the one last logged there, which it then becomes.
    void TellOnce(std::string& lastCause, const char* pattern, const std::string& cause);

    ViewState& view_;
    IClientView& frontEnd_;
    SharedSettings& settings_;
    ClientLog& log_;
    const ClientConfig& config_;
    platform::ISettingsStore& store_;
    platform::IServiceManager& services_;
    platform::IAutostart& autostart_;
    std::function<void(bool master)> startPair_;

    std::string settingsError_;   // the cause last logged for a failed settings save
    std::string autostartError_;  // the same for the autostart entry
    // The pair role as stored; while the run's own role (`config_.pair`) stands unchanged in
    // the view, saves keep this one.
    struct PairRole {
        bool inNet = false, master = false, inLanBack = false;
        bool operator==(const PairRole&) const = default;
    };
    PairRole storedPair_;
    std::optional<PairRole> runPair_;
};

}  // namespace vorta
