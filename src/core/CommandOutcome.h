#pragma once
// What a command sent to the running client answers: an exit code and the text to show.

#include <string>

namespace vorta {

struct CommandOutcome {
    int exitCode = 0;
    std::string output;
};

}  // namespace vorta
