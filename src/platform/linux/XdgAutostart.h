#pragma once
#include "platform/linux/Guard.h"
// Autostart through an XDG autostart entry "VortaClient.desktop".

#include <filesystem>
#include <string>
#include <vector>

#include "platform/Autostart.h"

namespace vorta::platform {

class XdgAutostart : public IAutostart {
public:
    // `command`: the program and its arguments, run when the session starts.
    XdgAutostart(std::filesystem::path autostartDir, std::vector<std::string> command)
        : dir_(std::move(autostartDir)), command_(std::move(command)) {}

    void SetAutostart(bool enabled) override;
    bool IsAutostartSet() override;

    std::filesystem::path EntryFile() const { return dir_ / "VortaClient.desktop"; }
    // The desktop entry's text for `command`, quoted as the entry format requires.
    static std::string EntryText(const std::vector<std::string>& command);
    // $XDG_CONFIG_HOME/autostart, else ~/.config/autostart.
    static std::filesystem::path DefaultDir();

private:
    std::filesystem::path dir_;
    std::vector<std::string> command_;
};

}  // namespace vorta::platform
