#pragma once
// Each lab test runs in a fresh network namespace of its own; nothing it does reaches the
// machine's real interfaces. Only documentation address ranges are used inside.

#include <gtest/gtest.h>
#include <sched.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace vorta::lab {

// Empty when namespaces can be made here, else why not.
inline std::string& Unavailable() {
    static std::string reason;
    return reason;
}

// Runs a set-up command inside the namespace; false when it fails.
inline bool Sh(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

class NetLabTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!Unavailable().empty()) GTEST_SKIP() << Unavailable();
        if (::unshare(CLONE_NEWNET) != 0)
            GTEST_SKIP() << "lab test skipped: cannot create a network namespace: "
                         << std::strerror(errno);
        ASSERT_TRUE(Sh("ip link set lo up"));
    }
    // A veth pair `name` / `name`p, both up.
    void Veth(const std::string& name) {
        ASSERT_TRUE(Sh("ip link add " + name + " type veth peer name " + name + "p"));
        ASSERT_TRUE(Sh("ip link set " + name + " up && ip link set " + name + "p up"));
    }
};

}  // namespace vorta::lab
