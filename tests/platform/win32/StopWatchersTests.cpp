#include <gtest/gtest.h>
#include <windows.h>

#include <stdexcept>
#include <string>

#include "TestProgram.h"
#include "platform/win32/CommandLine.h"
#include "platform/win32/StopWatchers.h"
#include "platform/win32/SystemErrorText.h"
#include "platform/win32/UniqueHandle.h"

namespace vorta::platform {
namespace {

using test::Marker;
using test::TestServiceProgram;

bool UnderWine() {
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// Ends the child when the test ends, whatever became of it.
struct ChildProcess {
    UniqueHandle process;
    UniqueHandle thread;
    ~ChildProcess() {
        if (process) TerminateProcess(process.get(), 1);
    }
};

TEST(StopWatchers, OutsideAServiceTheConsoleIsWatchedByOneWatcherAtATime) {
    // This process was not started by the service control manager: the console it is.
    auto first = WatchStopRequests([] {}, true);
    ASSERT_TRUE(first);
    EXPECT_THROW(WatchStopRequests([] {}, false), std::logic_error);
    first.reset();
    EXPECT_TRUE(WatchStopRequests([] {}, false));
}

TEST(StopWatchers, CtrlBreakReachesTheCallbackOfAConsoleStartedService) {
    // Console events travel through a console; a test run may have none of its own.
    if (GetConsoleWindow() == nullptr) AllocConsole();
    const Marker marker(L"console");
    std::wstring commandLine = CommandLineText({TestServiceProgram(), marker.Path()});
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    // A group of its own, so that the event reaches the child alone.
    ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE,
                               CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup, &info))
        << SystemErrorText(GetLastError());
    const ChildProcess child{UniqueHandle(info.hProcess), UniqueHandle(info.hThread)};
    ASSERT_TRUE(marker.WaitFor("ready"));
    if (!GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, info.dwProcessId)) {
        const DWORD error = GetLastError();
        // Wine 8 delivers no console events without a console of its own (ERROR_INVALID_ACCESS
        // or ERROR_INVALID_HANDLE, however the console came about).
        if (UnderWine()) GTEST_SKIP() << "no console events here: " << SystemErrorText(error);
        FAIL() << SystemErrorText(error);
    }
    const DWORD waited = WaitForSingleObject(child.process.get(), 20000);
    ASSERT_EQ(waited, static_cast<DWORD>(WAIT_OBJECT_0));
    DWORD exitCode = 1;
    GetExitCodeProcess(child.process.get(), &exitCode);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(marker.Read(), "stopped");
}

}  // namespace
}  // namespace vorta::platform
