#include "DevService.h"

#include <httplib.h>
#include <libxml/parser.h>
#include <sys/socket.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <sstream>
#include <stop_token>
#include <thread>

#include "ControlJson.h"
#include "Packet.h"
#include "Portal.h"
#include "ProbeImage.h"
#include "ServiceState.h"
#include "Timestamp.h"

namespace devservice {
namespace {

constexpr const char* kXmlType = "text/xml; charset=GBK";
constexpr const char* kJsonType = "application/json";

// httplib adds these to the request headers itself; they were never sent by the peer.
bool isSyntheticHeader(const std::string& name) {
    return name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" ||
           name == "LOCAL_PORT";
}

// Without SO_REUSEPORT (httplib's default sets it) a second service cannot silently share a port.
void reuseAddressOnly(socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
}

void answerJson(httplib::Response& res, int status, const nlohmann::json& body) {
    res.status = status;
    res.set_content(body.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n",
                    kJsonType);
}

}  // namespace

class DevService::Impl {
public:
    explicit Impl(Fixture fixture) : fixture_(std::move(fixture)) { xmlInitParser(); }
    ~Impl() { stop(); }

    bool start(const std::string& host, int port);
    void setTls(std::string cert, std::string key) {
        std::lock_guard lock(lifecycle_);
        tlsCert_ = std::move(cert);
        tlsKey_ = std::move(key);
    }
    void stop();
    int port() const { return port_; }
    bool running() const {
        std::lock_guard lock(lifecycle_);
        return server_ != nullptr;
    }
    void setLog(std::ostream* out) {
        std::lock_guard lock(logMutex_);
        log_ = out;
    }
    void setOnListening(std::function<void(int)> callback) {
        std::lock_guard lock(lifecycle_);
        onListening_ = std::move(callback);
    }
    void setPortal(bool enabled) { portal_ = enabled; }
    bool portal() const { return portal_; }
    void setPortalRedirect(bool enabled) { portalRedirect_ = enabled; }

    ServiceState state;

private:
    void addRoutes(httplib::Server& server, std::stop_token stopping);
    void serveExchange(const httplib::Request& req, httplib::Response& res,
                       const std::stop_token& stopping);
    void serveFaultControl(const httplib::Request& req, httplib::Response& res);
    void servePortalControl(const httplib::Request& req, httplib::Response& res);
    // Answers with the login page when the portal holds this request back; true if it did.
    bool servePortalPage(const httplib::Request& req, httplib::Response& res);
    void servePortalLogin(const httplib::Request& req, httplib::Response& res);
    nlohmann::json recordsJson() const;
    void record(const httplib::Request& req, std::optional<Exchange> exchange);
    bool pause(std::chrono::milliseconds delay, const std::stop_token& stopping);
    void log(const httplib::Request& req, const std::string& what);

    const Fixture fixture_;
    mutable std::mutex lifecycle_;  // serialises start() and stop()
    std::unique_ptr<httplib::Server> server_;
    std::string tlsCert_, tlsKey_;
    std::stop_source stopping_;
    std::jthread listener_;
    std::atomic<int> port_{0};
    std::atomic<bool> portal_{false};
    std::atomic<bool> portalRedirect_{false};
    std::function<void(int)> onListening_;
    std::mutex pauseMutex_;
    std::condition_variable_any pauseWake_;
    std::mutex logMutex_;
    std::ostream* log_ = nullptr;
};

bool DevService::Impl::start(const std::string& host, int port) {
    std::lock_guard lock(lifecycle_);
    if (server_) return false;
    std::unique_ptr<httplib::Server> server;
    if (tlsCert_.empty()) {
        server = std::make_unique<httplib::Server>();
    } else {
        auto secure = std::make_unique<httplib::SSLServer>(tlsCert_.c_str(), tlsKey_.c_str());
        if (!secure->is_valid()) return false;
        server = std::move(secure);
    }
    server->set_socket_options(reuseAddressOnly);
    server->set_payload_max_length(kMaxRequestBody);
    // httplib's worker waits out the keep-alive timeout of an idle connection without noticing
    // stop(), so one request per connection keeps stop() prompt; the timeout still bounds a
    // client that connects and sends nothing.
    server->set_keep_alive_max_count(1);
    server->set_keep_alive_timeout(1);
    stopping_ = std::stop_source();
    addRoutes(*server, stopping_.get_token());

    const int bound =
        port == 0 ? server->bind_to_any_port(host) : (server->bind_to_port(host, port) ? port : -1);
    if (bound <= 0) return false;
    port_ = bound;
    // Connections wait in the listen backlog until the listener below accepts them.
    if (onListening_) onListening_(bound);

    auto exited = std::make_shared<std::atomic<bool>>(false);
    listener_ = std::jthread([s = server.get(), exited] {
        s->listen_after_bind();
        *exited = true;
    });
    // httplib's stop() is a no-op until the listener loop runs, and this httplib version has no
    // readiness notification; so poll briefly rather than let a quick stop() hang the join.
    while (!server->is_running() && !*exited) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (*exited) {
        listener_ = {};
        return false;
    }
    server_ = std::move(server);
    return true;
}

void DevService::Impl::stop() {
    std::lock_guard lock(lifecycle_);
    if (!server_) return;
    stopping_.request_stop();  // wakes delayed answers
    server_->stop();
    listener_ = {};  // joins once the worker threads have finished
    server_.reset();
}

void DevService::Impl::addRoutes(httplib::Server& server, std::stop_token stopping) {
    // The portal check sits in each route rather than in a pre-routing handler: that one runs
    // before a request body is read, and closing a connection with its body unread can reset it
    // under the answer.
    server.Post(R"(/vorta/vorta\.dll/)", [this, stopping](const auto& req, auto& res) {
        if (!servePortalPage(req, res)) serveExchange(req, res, stopping);
    });
    const auto probe = [this](const httplib::Request& req, httplib::Response& res) {
        if (servePortalPage(req, res)) return;
        record(req, std::nullopt);
        res.set_content(probeImage(), "image/gif");
    };
    server.Get(R"(/vorta/probe\.gif)", probe);
    server.Get(R"(/logo1\.gif)", probe);
    server.Post(portal::kLoginPath,
                [this](const auto& req, auto& res) { servePortalLogin(req, res); });
    // Control routes are neither recorded nor subject to faults: they belong to the test, not
    // to the client under test.
    server.Get("/control/records",
               [this](const auto&, auto& res) { answerJson(res, 200, recordsJson()); });
    server.Post("/control/fault",
                [this](const auto& req, auto& res) { serveFaultControl(req, res); });
    server.Post("/control/reset", [this](const auto&, auto& res) {
        state.clearFaults();
        state.clearRecords();
        answerJson(res, 200, {{"ok", true}});
    });
    server.Post("/control/portal",
                [this](const auto& req, auto& res) { servePortalControl(req, res); });
    const auto notFound = [this](const httplib::Request& req, httplib::Response& res) {
        if (servePortalPage(req, res)) return;
        record(req, std::nullopt);
        log(req, "not found http=404");
        res.status = 404;
        res.set_content("not found\n", "text/plain");
    };
    server.Get(".*", notFound);
    server.Post(".*", notFound);
    server.Put(".*", notFound);
    server.Patch(".*", notFound);
    server.Delete(".*", notFound);
    server.Options(".*", notFound);
}

void DevService::Impl::serveExchange(const httplib::Request& req, httplib::Response& res,
                                     const std::stop_token& stopping) {
    Packet packet;
    try {
        packet = parsePacket(req.body);
    } catch (const BadRequest& e) {
        record(req, std::nullopt);
        log(req, std::string("rejected http=400 reason=") + e.what());
        res.status = 400;
        res.set_content(std::string("bad request: ") + e.what() + "\n", "text/plain");
        return;
    }
    record(req, packet.exchange);
    const Fault fault = state.takeFault(packet.exchange);

    const User* user = nullptr;
    const std::string result(authenticate(fixture_, packet, user));
    const bool accepted = user != nullptr;
    switch (packet.exchange) {
        case Exchange::LineReport:
            state.addLineReport({packet.userName, lineId(packet), updateIp(packet), req.remote_addr,
                                 req.get_header_value("Host"), result,
                                 std::chrono::system_clock::now()});
            break;
        case Exchange::SystemUpload:
            if (accepted) state.addSystemUpload({packet.userName, systemInfo(packet)});
            break;
        case Exchange::NetworkUpload:
            if (accepted) state.addNetworkUpload({packet.userName, networkInfo(packet)});
            break;
        default:
            break;
    }

    const std::string answer =
        buildAnswer(packet, {user, fault.result.value_or(result), req.remote_addr});
    if (fault.delayMs > 0 && !pause(std::chrono::milliseconds(fault.delayMs), stopping)) {
        res.status = 503;
        res.set_content("service stopping\n", "text/plain");
        log(req, std::string(exchangeName(packet.exchange)) + " cut short by stop http=503");
        return;
    }
    res.status = fault.status != 0 ? fault.status : 200;
    if (fault.body) {
        res.set_content(*fault.body, fault.contentType.empty() ? "text/plain" : fault.contentType);
    } else {
        res.set_content(answer, kXmlType);
    }

    std::ostringstream line;
    line << exchangeName(packet.exchange) << " user=" << packet.userName << " result=" << result;
    if (fault.result) line << " sent-result=" << *fault.result;
    line << " http=" << res.status;
    if (fault.delayMs > 0) line << " delayed=" << fault.delayMs << "ms";
    if (fault.body) line << " raw-body=" << fault.body->size() << "B";
    log(req, line.str());
}

void DevService::Impl::serveFaultControl(const httplib::Request& req, httplib::Response& res) {
    try {
        const auto [exchange, fault] = control::faultFromJson(nlohmann::json::parse(req.body));
        state.setFault(exchange, fault);
        answerJson(res, 200, {{"ok", true}});
    } catch (const nlohmann::json::parse_error& e) {
        answerJson(res, 400, {{"error", std::string("not valid JSON: ") + e.what()}});
    } catch (const std::invalid_argument& e) {
        answerJson(res, 400, {{"error", e.what()}});
    }
}

void DevService::Impl::servePortalControl(const httplib::Request& req, httplib::Response& res) {
    try {
        const bool enabled = control::portalFromJson(nlohmann::json::parse(req.body));
        portal_ = enabled;
        answerJson(res, 200, {{"ok", true}, {"enabled", enabled}});
    } catch (const nlohmann::json::parse_error& e) {
        answerJson(res, 400, {{"error", std::string("not valid JSON: ") + e.what()}});
    } catch (const std::invalid_argument& e) {
        answerJson(res, 400, {{"error", e.what()}});
    }
}

bool DevService::Impl::servePortalPage(const httplib::Request& req, httplib::Response& res) {
    if (!portal_ || state.loggedOnAtPortal(req.remote_addr)) return false;
    record(req, std::nullopt);
    // The form posts back to wherever this request reached, so it works on any address or port.
    const std::string host =
        req.local_addr.find(':') == std::string::npos ? req.local_addr : "[" + req.local_addr + "]";
    const std::string origin = "http://" + host + ":" + std::to_string(req.local_port);
    if (portalRedirect_ && req.path != portal::kPagePath) {
        res.status = 302;
        res.set_header("Location", origin + portal::kPagePath);
        log(req, "portal redirect http=302");
        return true;
    }
    // The redirecting portal names its action relative to its page.
    const std::string action = portalRedirect_ ? "login" : origin + portal::kLoginPath;
    res.status = 200;
    res.set_content(portal::loginPage(action), portal::kHtmlType);
    log(req, "portal page http=200");
    return true;
}

void DevService::Impl::servePortalLogin(const httplib::Request& req, httplib::Response& res) {
    record(req, std::nullopt);
    if (!portal_) {
        log(req, "not found http=404");
        res.status = 404;
        res.set_content("not found\n", "text/plain");
        return;
    }
    const auto fields = portal::formFields(req.body);
    const auto field = [&fields](const char* name) {
        const auto it = fields.find(name);
        return it == fields.end() ? std::string() : it->second;
    };
    const std::string uid = field("uid");
    const User* user = fixture_.findUser(uid);
    const bool accepted = user != nullptr && user->password == field("upwd");
    if (accepted) state.addPortalLogon(req.remote_addr);
    res.status = 200;
    res.set_content(accepted ? portal::successPage() : portal::failurePage(), portal::kHtmlType);
    log(req, "portal logon user=" + uid + (accepted ? " accepted" : " refused") + " http=200");
}

nlohmann::json DevService::Impl::recordsJson() const {
    return {{"requests", control::toJson(state.requests())},
            {"lineReports", control::toJson(state.lineReports())},
            {"systemUploads", control::toJson(state.systemUploads())},
            {"networkUploads", control::toJson(state.networkUploads())},
            {"portalLogons", state.portalLogons()}};
}

void DevService::Impl::record(const httplib::Request& req, std::optional<Exchange> exchange) {
    RecordedRequest r;
    r.method = req.method;
    r.path = req.path;
    r.target = req.target;
    r.remoteAddr = req.remote_addr;
    r.bodyLength = req.body.size();
    r.body = req.body.substr(0, kMaxRecordedBody);
    r.exchange = exchange;
    for (const auto& [name, value] : req.headers) {
        if (!isSyntheticHeader(name)) r.headers.emplace(name, value);
    }
    state.addRequest(std::move(r));
}

bool DevService::Impl::pause(std::chrono::milliseconds delay, const std::stop_token& stopping) {
    std::unique_lock lock(pauseMutex_);
    pauseWake_.wait_for(lock, stopping, delay, [] { return false; });
    return !stopping.stop_requested();
}

void DevService::Impl::log(const httplib::Request& req, const std::string& what) {
    std::lock_guard lock(logMutex_);
    if (log_ == nullptr) return;
    *log_ << utcTimestamp(std::chrono::system_clock::now()) << ' ' << req.remote_addr << ' '
          << req.method << ' ' << req.path << ' ' << what << std::endl;
}

DevService::DevService(Fixture fixture) : impl_(std::make_unique<Impl>(std::move(fixture))) {}
DevService::~DevService() = default;

bool DevService::start(const std::string& host, int port) {
    return impl_->start(host, port);
}

void DevService::setTls(std::string certFile, std::string keyFile) {
    impl_->setTls(std::move(certFile), std::move(keyFile));
}
int DevService::port() const {
    return impl_->port();
}
bool DevService::running() const {
    return impl_->running();
}
void DevService::stop() {
    impl_->stop();
}

void DevService::setFault(Exchange exchange, Fault fault) {
    impl_->state.setFault(exchange, std::move(fault));
}
void DevService::clearFaults() {
    impl_->state.clearFaults();
}
void DevService::reset() {
    impl_->state.clearFaults();
    impl_->state.clearRecords();
}

void DevService::setPortal(bool enabled) {
    impl_->setPortal(enabled);
}
void DevService::setPortalRedirect(bool enabled) {
    impl_->setPortalRedirect(enabled);
}
bool DevService::portal() const {
    return impl_->portal();
}
std::vector<std::string> DevService::portalLogons() const {
    return impl_->state.portalLogons();
}

std::vector<RecordedRequest> DevService::requests() const {
    return impl_->state.requests();
}
std::vector<LineReport> DevService::lineReports() const {
    return impl_->state.lineReports();
}
std::vector<SystemUpload> DevService::systemUploads() const {
    return impl_->state.systemUploads();
}
std::vector<NetworkUpload> DevService::networkUploads() const {
    return impl_->state.networkUploads();
}
void DevService::setLog(std::ostream* out) {
    impl_->setLog(out);
}
void DevService::setOnListening(std::function<void(int port)> callback) {
    impl_->setOnListening(std::move(callback));
}

}  // namespace devservice
