#pragma once
// In-memory stand-ins for the platform interfaces.

#include <atomic>
#include <map>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "core/ClientView.h"
#include "platform/Autostart.h"
#include "platform/ServiceManager.h"
#include "platform/SettingsStore.h"
#include "protocol/TextCodec.h"

namespace vorta::test {

class FakeSettingsStore : public platform::ISettingsStore {
public:
    std::map<std::string, std::string, std::less<>> values;
    std::vector<std::string> writes;  // names in the order they were written
    bool failWrites = false;

    std::string ReadSetting(std::string_view name) override {
        return std::string(TrimControl(ReadExactSetting(name)));
    }
    std::string ReadExactSetting(std::string_view name) override {
        const auto it = values.find(name);
        return it == values.end() ? std::string() : it->second;
    }
    void WriteSetting(std::string_view name, std::string_view value) override {
        if (failWrites)
            throw std::system_error(std::make_error_code(std::errc::permission_denied), "write");
        values[std::string(name)] = value;
        writes.emplace_back(name);
    }
};

class FakeServiceManager : public platform::IServiceManager {
public:
    bool installed = false;
    bool running = false;
    std::atomic<int> stopCalls{0};
    bool IsServiceInstalled(std::string_view) override { return installed; }
    bool IsServiceRunning(std::string_view) override { return installed && running; }
    bool IsServiceAccount() override { return false; }
    void InstallService(const platform::ServiceDefinition&) override { installed = true; }
    void UninstallService(std::string_view) override { installed = false; }
    void StartInstalledService(std::string_view) override { running = true; }
    bool StopOwnService(std::stop_token) override {
        ++stopCalls;
        return true;
    }
};

class FakeAutostart : public platform::IAutostart {
public:
    bool set = false;
    int calls = 0;
    std::string failure;  // thrown as the write's error when set
    void SetAutostart(bool enabled) override {
        if (!failure.empty()) throw std::runtime_error(failure);
        set = enabled;
        ++calls;
    }
    bool IsAutostartSet() override { return set; }
};

// Records what the controller asks of its front end.
class RecordingView : public IClientView {
public:
    int shows = 0;
    std::vector<std::string> hints;
    std::vector<std::string> messageBoxes;
    std::vector<EditBox> focus;
    int beeps = 0;
    int exits = 0;

    void ShowMainWindow() override { ++shows; }
    void ShowHint(const std::string& text) override { hints.push_back(text); }
    void LogAdded() override {}
    void Beep(unsigned) override { ++beeps; }
    void FocusEdit(EditBox box) override { focus.push_back(box); }
    void MessageBox(const std::string& text, const std::string&, MessageIcon) override {
        messageBoxes.push_back(text);
    }
    void StateChanged() override {}
    void Exit() override { ++exits; }
};

}  // namespace vorta::test
