#include "host/HostPlatform.h"

#include "lines/LineInfo.h"

namespace vorta::host {

ClientPlatform HostPlatform::ForClient() const {
    ClientPlatform client(*settings, *services, *autostart);
    client.network = network.get();
    client.ras = ras.get();
    client.linesFile = dataDir / kLinesFileName;
    return client;
}

}  // namespace vorta::host
