#pragma once
// The commands that manage a client from the command line: through the running client when one
// holds the data dir, else on its files under the same lock a client takes.

#include <filesystem>
#include <string>
#include <vector>

#include "host/ChannelProtocol.h"

namespace vorta::cli {

inline constexpr int kExitUsage = 2;
inline constexpr int kExitNotRunning = 3;

int ConfigShow(const std::filesystem::path& dataDir);
// `value` "-" for UserPwd reads the password from standard input.
int ConfigSet(const std::filesystem::path& dataDir, const std::string& name, std::string value);
int Status(const std::filesystem::path& dataDir, bool json);
// `args` are the words after "lines"; "--password -" reads the password from standard input.
int Lines(const std::filesystem::path& dataDir, std::vector<std::string> args);
// logon, logoff and domains: only through the running client.
int ClientCommand(const std::filesystem::path& dataDir, const host::ChannelRequest& request);

}  // namespace vorta::cli
