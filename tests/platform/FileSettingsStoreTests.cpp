#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "TempDir.h"
#include "platform/linux/FileSettingsStore.h"

namespace vorta::platform {
namespace {

using test::TempDir;

std::string FileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(FileSettingsStore, MissingStoreReadsEmpty) {
    TempDir dir;
    FileSettingsStore store(dir.path() / "none" / "settings.conf");
    EXPECT_EQ(store.ReadSetting("UserName"), "");
}

TEST(FileSettingsStore, WritesKeepOtherValuesAndPrivateMode) {
    TempDir dir;
    const auto file = dir.path() / "data" / "settings.conf";
    FileSettingsStore store(file);
    store.WriteSetting("UserName", "张三");
    store.WriteSetting("UserPwd", "secret");
    store.WriteSetting("UserName", "李四");
    EXPECT_EQ(store.ReadSetting("UserName"), "李四");
    EXPECT_EQ(store.ReadSetting("UserPwd"), "secret");
    EXPECT_EQ(FileText(file), "UserName=李四\nUserPwd=secret\n");
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(file.parent_path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(file.parent_path()), {}), 1);
}

TEST(FileSettingsStore, ValuesRoundTripWithLineBreaksAndAreTrimmedWhenRead) {
    TempDir dir;
    FileSettingsStore store(dir.path() / "settings.conf");
    const std::string tricky = "a=b\\c\nd\re";
    store.WriteSetting("UserPwd", tricky);
    store.WriteSetting("UserName", "  padded \t");
    EXPECT_EQ(store.ReadSetting("UserPwd"), tricky);
    EXPECT_EQ(store.ReadSetting("UserName"), "padded");
    EXPECT_EQ(store.ReadAll().size(), 2u);
}

TEST(FileSettingsStore, HandWrittenFilesAreRead) {
    TempDir dir;
    const auto file = dir.path() / "settings.conf";
    std::ofstream(file) << "# comment\r\nAutoLogon= 1 \r\n=nameless\nbroken line\nAutoLogon=0\n";
    FileSettingsStore store(file);
    EXPECT_EQ(store.ReadSetting("AutoLogon"), "0") << "the last line for a name wins";
    store.WriteSetting("AutoLogon", "1");
    EXPECT_EQ(FileText(file), "AutoLogon=1\n");
}

TEST(FileSettingsStore, FailedWriteRaisesAndKeepsTheOldFile) {
    if (::geteuid() == 0) GTEST_SKIP() << "root ignores file permissions";
    TempDir dir;
    const auto file = dir.path() / "settings.conf";
    FileSettingsStore store(file);
    store.WriteSetting("UserName", "kept");
    ::chmod(dir.path().c_str(), 0500);  // no new files in the folder
    EXPECT_THROW(store.WriteSetting("UserName", "lost"), std::system_error);
    ::chmod(dir.path().c_str(), 0700);
    EXPECT_EQ(store.ReadSetting("UserName"), "kept");
}

TEST(FileSettingsStore, UnreadableStoreIsNeverOverwritten) {
    if (::geteuid() == 0) GTEST_SKIP() << "root ignores file permissions";
    TempDir dir;
    const auto file = dir.path() / "settings.conf";
    FileSettingsStore store(file);
    store.WriteSetting("UserPwd", "secret");
    ::chmod(file.c_str(), 0200);
    EXPECT_EQ(store.ReadSetting("UserPwd"), "");
    EXPECT_THROW(store.WriteSetting("UserName", "x"), std::system_error);
    ::chmod(file.c_str(), 0600);
    EXPECT_EQ(store.ReadSetting("UserPwd"), "secret");
}

TEST(FileSettingsStore, WriteRaisesWhenTheStoreCannotBeCreated) {
    TempDir dir;
    std::ofstream(dir.path() / "plain-file") << "x";
    FileSettingsStore store(dir.path() / "plain-file" / "settings.conf");
    EXPECT_THROW(store.WriteSetting("UserName", "x"), std::system_error);
    // A store whose target is taken by a folder is not replaced either, and leaves no litter.
    std::filesystem::create_directories(dir.path() / "taken" / "settings.conf" / "inner");
    FileSettingsStore taken(dir.path() / "taken" / "settings.conf");
    EXPECT_THROW(taken.WriteSetting("UserName", "x"), std::system_error);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path() / "taken"), {}), 1);
}

TEST(FileSettingsStore, RefusesNamesThatWouldBreakTheFormat) {
    TempDir dir;
    FileSettingsStore store(dir.path() / "settings.conf");
    EXPECT_THROW(store.WriteSetting("a=b", "1"), std::system_error);
    EXPECT_THROW(store.WriteSetting("a\nb", "1"), std::system_error);
    EXPECT_THROW(store.WriteSetting("", "1"), std::system_error);
}

}  // namespace
}  // namespace vorta::platform
