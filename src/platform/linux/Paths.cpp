#include "platform/linux/Paths.h"

#include "platform/AtomicFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <system_error>

namespace vorta::platform {

std::filesystem::path DefaultDataDir() {
    if (::geteuid() == 0) return kSystemDataDir;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config)
        return std::filesystem::path(config) / "vorta";
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home && *home ? home : ".") / ".config" / "vorta";
}

namespace {

// Creates `dir` (mode 0700) when missing and describes it without following a link at its place.
std::string OwnFolder(const std::filesystem::path& dir, struct stat& info) {
    if (::lstat(dir.c_str(), &info) != 0) {
        try {
            CreatePrivateDirectories(dir);
        } catch (const std::system_error& e) {
            return e.what();
        }
        if (::lstat(dir.c_str(), &info) != 0) return dir.string() + " cannot be read";
    }
    if (S_ISLNK(info.st_mode)) return dir.string() + " is a symbolic link";
    if (!S_ISDIR(info.st_mode)) return dir.string() + " is not a folder";
    return {};
}

}  // namespace

std::string RootFolderProblem(const std::filesystem::path& dir) {
    const std::filesystem::path absolute = std::filesystem::absolute(dir).lexically_normal();
    struct stat info {};
    if (std::string why = OwnFolder(absolute, info); !why.empty()) return why;
    if (info.st_uid != 0) return absolute.string() + " does not belong to root";
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
        return absolute.string() + " may be written by other users (mode " + mode + ")";
    }
    // A folder above that another user may change lets that user swap this one for another.
    for (std::filesystem::path up = absolute.parent_path(); !up.empty(); up = up.parent_path()) {
        if (::stat(up.c_str(), &info) != 0) return up.string() + " cannot be read";
        const bool othersWrite = (info.st_mode & (S_IWGRP | S_IWOTH)) != 0;
        if (info.st_uid != 0 || (othersWrite && (info.st_mode & S_ISVTX) == 0))
            return up.string() + " (above " + absolute.string() + ") may be changed by other users";
        if (up == up.root_path()) break;
    }
    return {};
}

std::string PrivateFolderProblem(const std::filesystem::path& dir) {
    struct stat info {};
    if (std::string why = OwnFolder(dir, info); !why.empty()) return why;
    if (info.st_uid != ::geteuid()) return dir.string() + " belongs to another user";
    if ((info.st_mode & 077) != 0) return dir.string() + " may be opened by other users";
    return {};
}

std::filesystem::path ExecutablePath() {
    std::error_code ec;
    auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : path;
}

const char* TestSetting(const char* name) {
#ifndef VORTA_TEST_HOOKS
    if (::geteuid() == 0) return nullptr;
#endif
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : nullptr;
}

}  // namespace vorta::platform
