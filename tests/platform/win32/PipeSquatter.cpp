// A program for the tests: makes the named pipe of a data dir before any client does, as a
// local user who is not the client could, answers each asker with a made-up answer, and writes
// everything the askers sent it to a file, so that a test can tell that nothing was.
// pipe_squatter DATA_DIR RECEIVED_FILE READY_FILE
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "platform/win32/InstanceName.h"
#include "platform/win32/UniqueHandle.h"

int main() {
    using vorta::platform::UniqueHandle;
    int argc = 0;
    const std::unique_ptr<wchar_t*, decltype(&LocalFree)> argv(
        CommandLineToArgvW(GetCommandLineW(), &argc), &LocalFree);
    if (!argv || argc < 4) return 2;
    const std::filesystem::path dataDir = std::filesystem::absolute(argv.get()[1]);
    const std::wstring name = L"\\\\.\\pipe\\" + vorta::platform::InstanceId(dataDir);
    std::ofstream received(std::filesystem::path(argv.get()[2]), std::ios::binary);
    bool ready = false;
    for (;;) {
        const UniqueHandle pipe(CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX,
                                                 PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT,
                                                 PIPE_UNLIMITED_INSTANCES, 4096, 4096, 0, nullptr));
        if (pipe.get() == INVALID_HANDLE_VALUE) return 1;
        if (!ready) {
            std::ofstream(std::filesystem::path(argv.get()[3])) << "ready";
            ready = true;
        }
        if (!ConnectNamedPipe(pipe.get(), nullptr) && GetLastError() != ERROR_PIPE_CONNECTED)
            continue;
        // Whatever an asker sends first (a request line, a password) is kept.
        char buffer[4096];
        DWORD got = 0;
        if (ReadFile(pipe.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
            received.write(buffer, got);
            received.flush();
        }
        const char answer[] = "OK\n";
        DWORD wrote = 0;
        WriteFile(pipe.get(), answer, sizeof answer - 1, &wrote, nullptr);
        FlushFileBuffers(pipe.get());
        DisconnectNamedPipe(pipe.get());
    }
}
