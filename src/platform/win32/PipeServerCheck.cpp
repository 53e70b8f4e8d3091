#include "platform/win32/PipeServerCheck.h"

#include <aclapi.h>

#include <filesystem>
#include <vector>

#include "platform/win32/Paths.h"
#include "platform/win32/PrivateAccess.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"

namespace vorta::platform {
namespace {

// The token's user as a TOKEN_USER record; empty when the token cannot be read.
std::vector<unsigned char> TokenUser(HANDLE process) {
    HANDLE opened = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &opened)) return {};
    const UniqueHandle token(opened);
    DWORD size = 0;
    GetTokenInformation(token.get(), ::TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> record(size);
    if (size == 0 || !GetTokenInformation(token.get(), ::TokenUser, record.data(), size, &size))
        return {};
    return record;
}

PSID SidOf(std::vector<unsigned char>& record) {
    return reinterpret_cast<TOKEN_USER*>(record.data())->User.Sid;
}

std::wstring ImageName(HANDLE process) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD size = static_cast<DWORD>(path.size());
        if (QueryFullProcessImageNameW(process, 0, path.data(), &size)) {
            path.resize(size);
            return std::filesystem::path(path).filename().wstring();
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || path.size() >= 32768) return {};
        path.resize(path.size() * 2);
    }
}

bool SameName(const std::wstring& a, const std::wstring& b) {
    return !a.empty() && CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// The pipe's owner is whoever made it: a standard user cannot make one owned by the system or
// the administrators.
bool OwnedByTheSystem(HANDLE pipe) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(pipe, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                        nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    const UniqueSecurityDescriptor owned(descriptor);
    return owner != nullptr && (IsWellKnownSid(owner, WinLocalSystemSid) ||
                                IsWellKnownSid(owner, WinBuiltinAdministratorsSid));
}

}  // namespace

PipeServer CheckPipeServer(HANDLE pipe) {
    PipeServer server;
    if (!GetNamedPipeServerProcessId(pipe, &server.pid)) return server;
    const UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, server.pid));
    if (!process) return server;
    const std::wstring image = ImageName(process.get());
    server.program = ToUtf8(image);
    if (!SameName(image, ExecutablePath().filename().wstring())) return server;
    std::vector<unsigned char> theirs = TokenUser(process.get());
    if (theirs.empty()) {
        // A user may not read the service's token; the pipe's owner tells instead.
        server.trusted = OwnedByTheSystem(pipe);
        return server;
    }
    std::vector<unsigned char> mine = TokenUser(GetCurrentProcess());
    server.trusted = IsWellKnownSid(SidOf(theirs), WinLocalSystemSid) ||
                     (!mine.empty() && EqualSid(SidOf(theirs), SidOf(mine)));
    return server;
}

std::string ImpostorText(const PipeServer& server) {
    std::string who = server.program.empty() ? "a program" : server.program;
    if (server.pid != 0) who += " (pid " + std::to_string(server.pid) + ")";
    return who + ", which is not this client, holds its channel; nothing was sent to it";
}

}  // namespace vorta::platform
