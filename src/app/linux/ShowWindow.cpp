// The window is a program of its own, so that the headless client and the service never load
// the GUI libraries: a desktop start hands this process over to it.

#include "app/ShowWindow.h"

#include <iostream>

#include "host/HostPlatform.h"

namespace vorta::app {

std::optional<int> ShowWindow(const CommandLine&, const std::vector<std::string>& args) {
    if (!host::DisplayAvailable()) return std::nullopt;
    if (const auto window = host::WindowProgram(); !window.empty()) {
        const std::string why = host::ReplaceWith(window, args);
        std::cerr << "vorta: the window cannot start (" << why << "); running without it\n";
    }
    return std::nullopt;
}

}  // namespace vorta::app
