#include "platform/win32/PrivateAccess.h"

#include <aclapi.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "platform/win32/UniqueHandle.h"

namespace vorta::platform {
namespace {

// This process's user as its token names it: a TOKEN_USER record; empty when unreadable.
std::vector<unsigned char> TokenUserRecord() {
    HANDLE opened = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened)) return {};
    const UniqueHandle token(opened);
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    if (size == 0 || !GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size))
        return {};
    return buffer;
}

PSID UserSid(std::vector<unsigned char>& record) {
    return record.empty() ? nullptr : reinterpret_cast<TOKEN_USER*>(record.data())->User.Sid;
}

std::wstring CurrentUserSid() {
    std::vector<unsigned char> record = TokenUserRecord();
    wchar_t* text = nullptr;
    if (record.empty() || !ConvertSidToStringSidW(UserSid(record), &text)) return {};
    const UniqueSecurityDescriptor owned(text);
    return text;
}

UniqueSecurityDescriptor FromSddl(const std::wstring& sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                              &descriptor, nullptr))
        return nullptr;
    return UniqueSecurityDescriptor(descriptor);
}

// The SID of a local group as text; empty when there is no such group.
std::wstring GroupSid(const wchar_t* name) {
    DWORD sidSize = 0;
    DWORD domainSize = 0;
    SID_NAME_USE use{};
    LookupAccountNameW(nullptr, name, nullptr, &sidSize, nullptr, &domainSize, &use);
    if (sidSize == 0) return {};
    std::vector<unsigned char> sid(sidSize);
    std::wstring domain(domainSize + 1, L'\0');
    if (!LookupAccountNameW(nullptr, name, sid.data(), &sidSize, domain.data(), &domainSize,
                            &use) ||
        (use != SidTypeAlias && use != SidTypeGroup && use != SidTypeWellKnownGroup))
        return {};
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(sid.data(), &text)) return {};
    const UniqueSecurityDescriptor owned(text);
    return text;
}

}  // namespace

bool RunningAsLocalSystem() {
    std::vector<unsigned char> record = TokenUserRecord();
    return !record.empty() && IsWellKnownSid(UserSid(record), WinLocalSystemSid);
}

UniqueSecurityDescriptor PrivateSecurityDescriptor() {
    const std::wstring sid = CurrentUserSid();
    if (sid.empty()) return nullptr;
    // Protected (P): the parent's entries are not inherited. Folders pass the entries on (OICI).
    return FromSddl(L"D:P(A;OICI;GA;;;" + sid + L")(A;OICI;GA;;;BA)(A;OICI;GA;;;SY)");
}

UniqueSecurityDescriptor ServiceChannelSecurityDescriptor() {
    std::wstring sddl = L"D:P(A;;GA;;;SY)(A;;GA;;;BA)";
    // Read and write data, attributes and the access list, without FILE_CREATE_PIPE_INSTANCE.
    if (const std::wstring group = GroupSid(kServiceGroup); !group.empty())
        sddl += L"(A;;0x12019b;;;" + group + L")";
    return FromSddl(sddl);
}

bool MakePrivate(HANDLE handle) {
    const UniqueSecurityDescriptor descriptor = PrivateSecurityDescriptor();
    if (!descriptor) return false;
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    if (!GetSecurityDescriptorDacl(descriptor.get(), &present, &dacl, &defaulted)) return false;
    const DWORD error = SetSecurityInfo(
        handle, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
        nullptr, nullptr, dacl, nullptr);
    SetLastError(error);
    return error == ERROR_SUCCESS;
}

}  // namespace vorta::platform
