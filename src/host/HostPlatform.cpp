#include "host/HostPlatform.h"

#include "lines/LineInfo.h"

namespace vorta::host {

ClientPlatform HostPlatform::ForClient() const {
    ClientPlatform client(*settings, *services, *autostart);
    client.network = network.get();
    client.ras = ras.get();
    client.linesFile = dataDir / kLinesFileName;
    client.facts = facts.get();
    client.datagrams = datagrams.get();
    client.resolver = resolver;
    return client;
}

}  // namespace vorta::host
