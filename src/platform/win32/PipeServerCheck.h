#pragma once
#include "platform/win32/Guard.h"
// Who serves a pipe this process has connected to. The client of a data dir is a program of the
// same name as this one, run by this user or by the local system account (the service). Anyone
// else who made the pipe first squats the name: nothing is sent to it.

#include <windows.h>

#include <string>

namespace vorta::platform {

struct PipeServer {
    DWORD pid = 0;
    std::string program;  // its file name, when it could be read
    bool trusted = false;
};

PipeServer CheckPipeServer(HANDLE pipe);

// What an asker says about a server it does not trust.
std::string ImpostorText(const PipeServer& server);

}  // namespace vorta::platform
