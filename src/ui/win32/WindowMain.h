#pragma once
// The window of vorta.exe: a plain start on a desktop runs the client with its window and tray
// icon in this process.

#include <optional>

#include "app/CommandLine.h"

namespace vorta::win32ui {

// Runs the window until the client exits or the window closes; its exit code. Nothing when no
// window can be made here (no desktop): the caller runs headless instead.
std::optional<int> RunWindow(const app::CommandLine& cl);

}  // namespace vorta::win32ui
