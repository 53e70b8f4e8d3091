#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "Exchange.h"
#include "Fixture.h"

namespace devservice {

// Misbehaviour injected into one exchange kind; fields combine. Every member has an initializer
// so that designated initialisation (Fault{.status = 500}) compiles without warnings.
struct Fault {
    int delayMs = 0;                      // wait before answering; cut short by stop()
    int status = 0;                       // HTTP status to answer with; 0 means 200
    std::optional<std::string> body{};    // sent verbatim instead of the XML answer
    std::string contentType{};            // for `body`; empty means text/plain
    std::optional<std::string> result{};  // replaces the computed Result text
    int count = -1;                       // exchanges it still applies to; -1 is unlimited
};

struct RecordedRequest {
    std::string method, path, body, remoteAddr;
    std::multimap<std::string, std::string> headers;  // as received, names keep their case
    std::optional<Exchange> exchange;                 // set for well-formed protocol requests
    std::string target;                               // raw request target, query included
    std::size_t bodyLength = 0;                       // before `body` was capped
};

struct LineReport {
    std::string userName, lineId, updateIp, remoteAddr, host;
    std::string result;  // code the service computed (not a fault override)
    std::chrono::system_clock::time_point time;
};

struct SystemUpload {
    std::string userName;
    std::map<std::string, std::string> fields;
};

struct NetworkUpload {
    std::string userName;
    std::vector<std::map<std::string, std::string>> adapters;
};

// Loopback peer speaking the client's XML protocol, plus a JSON control API for tests.
// All members are thread-safe.
class DevService {
public:
    static constexpr const char* kExchangePath = "/vorta/vorta.dll/";
    static constexpr const char* kProbePath = "/vorta/probe.gif";
    // The same image where the web-login line's probe URL points by default.
    static constexpr const char* kLogoPath = "/logo1.gif";
    static constexpr std::size_t kMaxRequestBody = 1 << 20;
    static constexpr std::size_t kMaxRecordedBody = 64 * 1024;

    explicit DevService(Fixture fixture);
    ~DevService();
    DevService(const DevService&) = delete;
    DevService& operator=(const DevService&) = delete;

    // Port 0 picks a free port. Returns false if it cannot bind or is already running.
    bool start(const std::string& host, int port);
    // Serves https with this PEM certificate and key from the next start on; empty: plain http.
    void setTls(std::string certFile, std::string keyFile);
    int port() const;
    bool running() const;
    // Returns promptly: pending delayed answers are cut short.
    void stop();

    // Throws std::invalid_argument for a negative delay, an HTTP status outside 200-599
    // (0 allowed) or a count below -1.
    void setFault(Exchange exchange, Fault fault);
    void clearFaults();
    void reset();  // faults and records, portal logons included

    // Captive-portal mode (off by default). While on, an address that has not logged on gets the
    // portal's login page with HTTP 200 for every request except the control routes and the
    // form's POST to /portal/login; posting an account of the fixture there logs the address on.
    void setPortal(bool enabled);
    bool portal() const;
    // While on, the portal answers with a redirect (302) to its page, /portal/page, whose form
    // names its action relative to the page, as many real portals do.
    void setPortalRedirect(bool enabled);
    // Remote addresses that logged on at the portal, in order; they stay logged on until reset().
    std::vector<std::string> portalLogons() const;

    std::vector<RecordedRequest> requests() const;
    std::vector<LineReport> lineReports() const;
    std::vector<SystemUpload> systemUploads() const;
    std::vector<NetworkUpload> networkUploads() const;

    void setLog(std::ostream* out);  // one line per request served; nullptr is quiet
    // Called by start() with the bound port before any request is served, so that a program can
    // announce the port ahead of every log line. It runs under start()'s lock, so it must not
    // call start(), stop() or running().
    void setOnListening(std::function<void(int port)> callback);

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace devservice
