// The program's entry on Windows. vorta.exe is a GUI program, so that a start from Explorer, the
// Start menu, a shortcut or the Run key opens no console window; a run from a console attaches to
// that console (a redirection the parent made stays in force) and talks UTF-16 there. The
// arguments come as UTF-16 and go on as UTF-8, whatever the ANSI code page is.

#include <windows.h>
// after windows.h
#include <shellapi.h>

#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/ProgramMain.h"
#include "app/win32/ConsoleStreams.h"
#include "platform/win32/Console.h"
#include "platform/win32/WideText.h"

namespace {

struct LocalFreer {
    void operator()(wchar_t** p) const { LocalFree(p); }
};

std::vector<std::string> Arguments() {
    int count = 0;
    const std::unique_ptr<wchar_t*, LocalFreer> argv(CommandLineToArgvW(GetCommandLineW(), &count));
    std::vector<std::string> args;
    for (int i = 1; argv && i < count; ++i) args.push_back(vorta::platform::ToUtf8(argv.get()[i]));
    return args;
}

// Every run but the window's talks on the console it was started from; a bad command line
// does too, as it prints the usage.
bool WantsConsole(const std::vector<std::string>& args) {
    try {
        return vorta::app::WantsConsole(vorta::app::ParseCommandLine(args));
    } catch (const std::exception&) {
        return true;
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const std::vector<std::string> args = Arguments();
    // Attached before the first write, so that Ctrl+C there stops a headless run too.
    if (WantsConsole(args)) vorta::platform::AttachParentConsole();
    const vorta::app::ConsoleStreams streams;
    return vorta::app::ProgramMain(args);
}
