#include "host/HostPlatform.h"

#include <cstdlib>

#include "lines/LineInfo.h"
#include "platform/TestSetting.h"

namespace vorta::host {

ClientPlatform HostPlatform::ForClient() const {
    ClientPlatform client(*settings, *services, *autostart);
    client.network = network.get();
    client.changes = changes.get();
    client.ras = ras.get();
    client.linesFile = dataDir / kLinesFileName;
    client.facts = facts.get();
    client.datagrams = datagrams.get();
    client.resolver = resolver;
    return client;
}

void ApplyTestSettings(ClientConfig& config) {
    // The lab shortens the 40-second heartbeat interval of a pair.
    if (const char* interval = platform::TestSetting("VORTA_TEST_HEARTBEAT_INTERVAL")) {
        const int seconds = std::atoi(interval);
        if (seconds > 0) config.clubTiming.interval = std::chrono::seconds(seconds);
    }
}

}  // namespace vorta::host
