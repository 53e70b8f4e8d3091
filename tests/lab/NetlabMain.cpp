#include <sched.h>

#include <cstring>

#include "NetLab.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (std::system("command -v ip >/dev/null 2>&1") != 0)
        vorta::lab::Unavailable() = "lab test skipped: the ip command (iproute2) is not installed";
    return RUN_ALL_TESTS();
}
