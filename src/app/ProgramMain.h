#pragma once
// The vorta program's body, entered from each OS's entry point (src/app/<os>/Entry.cpp) with the
// arguments after the program's name, in UTF-8.

#include <string>
#include <vector>

namespace vorta::app {

// The exit code.
int ProgramMain(const std::vector<std::string>& args);

}  // namespace vorta::app
