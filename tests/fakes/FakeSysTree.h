#pragma once
// A machine described by files in a temporary folder: os-release, /proc and /sys as the Linux
// system facts read them.

#include <filesystem>
#include <fstream>
#include <string>

#include "FakeSystemFacts.h"
#include "TempDir.h"
#include "platform/linux/LinuxSystemFacts.h"

namespace vorta::test {

class FakeSysTree {
public:
    platform::SystemFactsPaths Paths() const {
        return platform::SystemFactsPaths::Under(dir_.path());
    }
    const std::filesystem::path& Root() const { return dir_.path(); }

    // Writes `text` to the file at `relative` (e.g. "proc/meminfo"), folders included.
    void Write(const std::string& relative, const std::string& text) const {
        const auto path = dir_.path() / relative;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }
    // A symbolic link at `relative` pointing to `target` as written.
    void Link(const std::string& relative, const std::string& target) const {
        const auto path = dir_.path() / relative;
        std::filesystem::create_directories(path.parent_path());
        std::filesystem::create_symlink(target, path);
    }

    void Kernel(const std::string& ostype, const std::string& osrelease) const {
        Write("proc/sys/kernel/ostype", ostype + "\n");
        Write("proc/sys/kernel/osrelease", osrelease + "\n");
    }

private:
    TempDir dir_;
};

}  // namespace vorta::test
