#pragma once
// A peers dir, run dir and credentials dir for the fake pppd.

#include <stdlib.h>

#include <fstream>

#include "TempDir.h"
#include "platform/linux/PppdRemoteAccess.h"

namespace vorta::test {

class PppdSandbox {
public:
    PppdSandbox() {
        for (const char* dir : {"peers", "run", "credentials"})
            std::filesystem::create_directories(temp.path() / dir);
        ::setenv("FAKE_PPPD_RUNDIR", (temp.path() / "run").c_str(), 1);
        ::setenv("FAKE_PPPD_PEERS", (temp.path() / "peers").c_str(), 1);
    }
    platform::PppdPaths Paths(const std::string& program) const {
        platform::PppdPaths paths;
        paths.program = program;
        paths.peersDir = temp.path() / "peers";
        paths.runDir = temp.path() / "run";
        paths.credentialsDir = temp.path() / "credentials";
        paths.dialTimeout = std::chrono::seconds(20);
        return paths;
    }
    void Peer(const std::string& entry, const std::string& text) {
        std::ofstream(temp.path() / "peers" / entry) << text;
    }
    std::string Log(const std::string& entry) const {
        std::ifstream in(temp.path() / "run" / ("fake-pppd-" + entry + ".log"));
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    bool CredentialsLeft() const {
        return std::filesystem::directory_iterator(temp.path() / "credentials") !=
               std::filesystem::directory_iterator();
    }
    TempDir temp;
};

}  // namespace vorta::test
