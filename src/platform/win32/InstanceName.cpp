#include "platform/win32/InstanceName.h"

#include <windows.h>
// Needs windows.h first.
#include <bcrypt.h>

#include <array>
#include <system_error>

#include "platform/win32/UniqueHandle.h"

namespace vorta::platform {
namespace {

std::wstring FolderPath(const std::filesystem::path& dir) {
    std::wstring path = std::filesystem::absolute(dir).lexically_normal().wstring();
    while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
    HANDLE opened =
        CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return path;
    UniqueHandle folder(opened);
    std::wstring final(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n =
            GetFinalPathNameByHandleW(folder.get(), final.data(), static_cast<DWORD>(final.size()),
                                      FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (n == 0) return path;
        if (n < final.size()) return final.substr(0, n);
        final.resize(n);
    }
}

std::wstring CaseFolded(const std::wstring& text) {
    if (text.empty()) return text;
    std::wstring upper(text.size(), L'\0');
    const int n = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, text.data(),
                                static_cast<int>(text.size()), upper.data(),
                                static_cast<int>(upper.size()), nullptr, nullptr, 0);
    return n > 0 ? upper.substr(0, static_cast<std::size_t>(n)) : text;
}

void Check(NTSTATUS status) {
    if (status < 0)
        throw std::system_error(static_cast<int>(status), std::system_category(),
                                "cannot hash the data dir's path");
}

std::array<unsigned char, 32> Sha256(const void* data, ULONG size) {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    Check(BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0));
    std::array<unsigned char, 32> digest{};
    BCRYPT_HASH_HANDLE hash = nullptr;
    NTSTATUS status = BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0);
    if (status >= 0) {
        status = BCryptHashData(hash, static_cast<PUCHAR>(const_cast<void*>(data)), size, 0);
        if (status >= 0) status = BCryptFinishHash(hash, digest.data(), digest.size(), 0);
        BCryptDestroyHash(hash);
    }
    BCryptCloseAlgorithmProvider(algorithm, 0);
    Check(status);
    return digest;
}

}  // namespace

std::wstring InstanceId(const std::filesystem::path& dataDir) {
    const std::wstring path = CaseFolded(FolderPath(dataDir));
    const auto digest = Sha256(path.data(), static_cast<ULONG>(path.size() * sizeof(wchar_t)));
    std::wstring id = L"Vorta-";
    constexpr wchar_t kHex[] = L"0123456789abcdef";
    for (std::size_t i = 0; i < 16; ++i) {
        id += kHex[digest[i] >> 4];
        id += kHex[digest[i] & 0xF];
    }
    return id;
}

}  // namespace vorta::platform
