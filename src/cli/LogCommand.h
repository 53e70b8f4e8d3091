#pragma once
// `vorta log [--follow] [--json]`: the running client's log as its log page shows it, newest
// last; with --follow every new entry as it is added, until interrupted or the client stops.

#include <filesystem>
#include <ostream>
#include <stop_token>

namespace vorta::cli {

int Log(const std::filesystem::path& dataDir, bool follow, bool json, std::ostream& out,
        std::stop_token stop = {});

}  // namespace vorta::cli
