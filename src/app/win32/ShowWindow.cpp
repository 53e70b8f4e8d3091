// The window runs in this process: Windows has no separate window program, and the GUI
// libraries are part of the system.

#include "app/ShowWindow.h"

#include "ui/win32/WindowMain.h"

namespace vorta::app {

std::optional<int> ShowWindow(const CommandLine& cl, const std::vector<std::string>&) {
    return win32ui::RunWindow(cl);
}

}  // namespace vorta::app
