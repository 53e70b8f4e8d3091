#pragma once
// The cable modem line (never active, no address) and the LAN line (active while its
// connection has a default route; its address comes only from the service's answers).

#include "base/Translate.h"
#include "lines/LineBase.h"

namespace vorta {

class TCableModemLine : public TBaseLine {
public:
    explicit TCableModemLine(LineServices& services) : TBaseLine(services) {}
    ~TCableModemLine() override { StopKeepThread(); }
    int Connect() override { return 0; }
    int Disconnect() override { return 0; }
    std::string GetIpAddress() override { return {}; }
    bool GetActive() override { return false; }
    void SetActive(bool) override {}
    std::string Describe() override { return "ClassName: TCableModelLine"; }
    bool Authenticate() override { return true; }
    std::string WhyNotUp() override { return Tr("a cable modem line is never reported"); }
};

class TLanLine : public TBaseLine {
public:
    explicit TLanLine(LineServices& services) : TBaseLine(services) {}
    ~TLanLine() override { StopKeepThread(); }
    int Connect() override { return 0; }
    int Disconnect() override { return 0; }
    std::string GetIpAddress() override { return IpAddressField(); }
    bool GetActive() override { return services_.routes.HasDefaultRoute(EntryName()); }
    void SetActive(bool) override {}
    std::string Describe() override { return "ClassName: TLanLine"; }
    bool Authenticate() override { return true; }
    std::string WhyNotUp() override { return services_.routes.WhyNotUp(EntryName()); }
};

}  // namespace vorta
