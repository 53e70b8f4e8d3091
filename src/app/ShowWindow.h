#pragma once
// A plain start on a desktop shows the window; each OS has its own way (a program of its own on
// Linux, the same process on Windows).

#include <optional>
#include <string>
#include <vector>

#include "app/CommandLine.h"

namespace vorta::app {

// Shows the window for the run `cl` (the program's arguments `args`). The exit code once a
// window ran; nothing when no window can be shown here, and the run goes on headless.
std::optional<int> ShowWindow(const CommandLine& cl, const std::vector<std::string>& args);

}  // namespace vorta::app
