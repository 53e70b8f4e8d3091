#pragma once
// The debug log: what a failure carried where the client otherwise stays silent (an exchange
// that came back empty, an exception a loop drops). Off until a sink is set (--verbose, tests).
// One sink for the process, like the HTTP lock: failures happen on every thread.

#include <functional>
#include <string>

namespace vorta {

void SetDebugSink(std::function<void(const std::string& text)> sink);
bool DebugEnabled();
// Hands `text` to the sink, if there is one.
void Debug(const std::string& text);

}  // namespace vorta
