// Private files and folders get an access list of the owner's own; shared ones keep the one
// their folder passes on.
#include <windows.h>
// after windows.h
#include <aclapi.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/AtomicFile.h"

namespace {

using namespace vorta::platform;

// Wine keeps no access lists of its own on a Linux file system: it maps them to the file's mode
// and back, so "whom does it admit" is what both Windows and Wine can be asked.
struct Access {
    bool everyone = false;  // an entry for Everyone, the local users or all signed-in users
};

Access AccessOf(const std::filesystem::path& path) {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    Access access;
    EXPECT_EQ(GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                    nullptr, nullptr, &dacl, nullptr, &descriptor),
              ERROR_SUCCESS);
    if (descriptor == nullptr) return access;
    ACL_SIZE_INFORMATION size{};
    if (dacl != nullptr && GetAclInformation(dacl, &size, sizeof size, AclSizeInformation)) {
        for (DWORD i = 0; i < size.AceCount; ++i) {
            void* ace = nullptr;
            if (!GetAce(dacl, i, &ace)) continue;
            PSID sid = &static_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart;
            access.everyone = access.everyone || IsWellKnownSid(sid, WinWorldSid) ||
                              IsWellKnownSid(sid, WinBuiltinUsersSid) ||
                              IsWellKnownSid(sid, WinAuthenticatedUserSid);
        }
    }
    LocalFree(descriptor);
    return access;
}

TEST(PrivateFiles, OwnerOnlyFilesAndFoldersShutOthersOutAndSharedFilesDoNot) {
    const std::filesystem::path base = std::filesystem::temp_directory_path() /
                                       ("vorta-private-" + std::to_string(GetCurrentProcessId()));
    const std::filesystem::path dir = base / "data";
    WriteFileAtomically(dir / "LineInfo.dat", "secret", kOwnerOnly);
    WriteFileAtomically(dir / "shared.txt", "open", kWorldReadable);

    EXPECT_FALSE(AccessOf(dir).everyone);
    EXPECT_FALSE(AccessOf(dir / "LineInfo.dat").everyone);
    // Rewriting keeps it private: the new file replaces the old one whole.
    WriteFileAtomically(dir / "LineInfo.dat", "secret 2", kOwnerOnly);
    EXPECT_FALSE(AccessOf(dir / "LineInfo.dat").everyone);
    EXPECT_TRUE(AccessOf(dir / "shared.txt").everyone);

    std::error_code ec;
    std::filesystem::remove_all(base, ec);
}

}  // namespace
