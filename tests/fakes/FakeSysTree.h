#pragma once
// A machine described by files in a temporary folder: os-release, /proc and /sys as the
// system information collector reads them.

#include <filesystem>
#include <fstream>
#include <string>

#include "TempDir.h"
#include "sysinfo/SysInfo.h"

namespace vorta::test {

class FakeSysTree {
public:
    TSysInfoSources Sources() const { return TSysInfoSources::Under(dir_.path()); }
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
    // One /proc/cpuinfo block; `extra` holds further "name\t: value\n" lines.
    static std::string CpuBlock(int number, const std::string& modelName, const std::string& mhz,
                                const std::string& extra = {}) {
        std::string block =
            "processor\t: " + std::to_string(number) + "\nvendor_id\t: GenuineIntel\n";
        if (!modelName.empty()) block += "model name\t: " + modelName + "\n";
        if (!mhz.empty()) block += "cpu MHz\t\t: " + mhz + "\n";
        return block + extra + "\n";
    }

private:
    TempDir dir_;
};

}  // namespace vorta::test
