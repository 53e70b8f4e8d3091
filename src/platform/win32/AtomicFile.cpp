#include "platform/AtomicFile.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <system_error>

#include "platform/win32/PrivateAccess.h"
#include "platform/win32/UniqueHandle.h"

namespace vorta::platform {
namespace {

[[noreturn]] void Fail(DWORD error, const std::string& what, const std::filesystem::path& path) {
    throw std::system_error(static_cast<int>(error), std::system_category(),
                            what + " " + path.string());
}

}  // namespace

std::optional<std::string> ReadOwnFile(const std::filesystem::path& path, std::size_t limit) {
    // The reparse point itself is opened, never what it points at.
    HANDLE opened = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    const UniqueHandle file(opened == INVALID_HANDLE_VALUE ? nullptr : opened);
    if (!file) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return std::nullopt;
        Fail(error, "cannot open", path);
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file.get(), &info)) Fail(GetLastError(), "cannot read", path);
    if ((info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0)
        Fail(ERROR_CANT_ACCESS_FILE, "not a regular file:", path);
    std::string content;
    char buffer[8192];
    while (content.size() < limit) {
        DWORD read = 0;
        const DWORD want =
            static_cast<DWORD>(std::min<std::size_t>(sizeof buffer, limit - content.size()));
        if (!ReadFile(file.get(), buffer, want, &read, nullptr))
            Fail(GetLastError(), "cannot read", path);
        if (read == 0) break;
        content.append(buffer, read);
    }
    return content;
}

void RemoveInterruptedWritesOf(const std::filesystem::path& path) {
    // GetTempFileNameW's names beside the file: "vor" + four hex digits + ".tmp".
    std::error_code ec;
    const std::filesystem::path dir = path.has_parent_path() ? path.parent_path() : ".";
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
        const std::wstring name = entry.path().filename().wstring();
        if (name.size() == 11 && name.starts_with(L"vor") && name.ends_with(L".tmp"))
            DeleteFileW(entry.path().c_str());
    }
}

// Windows has no mode bits: a private folder or file (0700, 0600) gets an access list of the
// owner's own instead of the one its parent passes on; others keep the inherited one.
void CreatePrivateDirectories(const std::filesystem::path& dir) {
    if (dir.empty() || std::filesystem::is_directory(dir)) return;
    CreatePrivateDirectories(dir.parent_path());
    const UniqueSecurityDescriptor descriptor = PrivateSecurityDescriptor();
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.get(), FALSE};
    if (!CreateDirectoryW(dir.c_str(), descriptor ? &attributes : nullptr) &&
        GetLastError() != ERROR_ALREADY_EXISTS)
        Fail(GetLastError(), "cannot create", dir);
}

void WriteFileAtomically(const std::filesystem::path& path, std::string_view content,
                         std::filesystem::perms mode) {
    const std::filesystem::path dir = path.has_parent_path() ? path.parent_path() : ".";
    CreatePrivateDirectories(dir);
    wchar_t temp[MAX_PATH];
    if (GetTempFileNameW(dir.c_str(), L"vor", 0, temp) == 0)
        Fail(GetLastError(), "cannot create a temporary file for", path);
    auto fail = [&](const char* what) {
        const DWORD error = GetLastError();
        DeleteFileW(temp);
        Fail(error, what, path);
    };
    {
        HANDLE opened = CreateFileW(temp, GENERIC_WRITE | WRITE_DAC, 0, nullptr, TRUNCATE_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (opened == INVALID_HANDLE_VALUE) fail("cannot open the temporary file for");
        UniqueHandle file(opened);
        const bool shared =
            (mode & (std::filesystem::perms::group_read | std::filesystem::perms::others_read)) !=
            std::filesystem::perms::none;
        if (!shared && !MakePrivate(file.get())) fail("cannot restrict access to");
        for (std::size_t done = 0; done < content.size();) {
            const DWORD chunk =
                static_cast<DWORD>(std::min<std::size_t>(content.size() - done, 1 << 20));
            DWORD written = 0;
            if (!WriteFile(file.get(), content.data() + done, chunk, &written, nullptr) ||
                written == 0)
                fail("cannot write");
            done += written;
        }
        if (!FlushFileBuffers(file.get())) fail("cannot flush");
    }
    // Write-through: the rename is on the disk when the call returns.
    if (!MoveFileExW(temp, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        fail("cannot replace");
}

}  // namespace vorta::platform
