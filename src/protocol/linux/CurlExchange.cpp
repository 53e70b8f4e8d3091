// The HTTP exchange on libcurl: a multi handle polled so that a stop request and the idle
// time-outs end the transfer at once.

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <stdexcept>

#include "base/Url.h"
#include "protocol/HttpExchange.h"

namespace vorta::http {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct MultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct SlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

void EnsureCurlInitialised() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

// State shared with libcurl's callbacks during one exchange.
struct Transfer {
    std::size_t maxBytes = 0;
    std::string body;
    bool tooLarge = false;
    curl_off_t downloaded = -1;
    curl_off_t uploaded = -1;
    curl_off_t uploadTotal = 0;
    Clock::time_point lastActivity = Clock::now();
};

size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto* exchange = static_cast<Transfer*>(user);
    const size_t bytes = size * count;
    if (exchange->body.size() + bytes > exchange->maxBytes) {
        exchange->tooLarge = true;
        return 0;  // aborts the transfer
    }
    exchange->body.append(data, bytes);
    exchange->lastActivity = Clock::now();
    return bytes;
}

int OnProgress(void* user, curl_off_t, curl_off_t dlnow, curl_off_t ultotal, curl_off_t ulnow) {
    auto* exchange = static_cast<Transfer*>(user);
    if (dlnow != exchange->downloaded || ulnow != exchange->uploaded) {
        exchange->downloaded = dlnow;
        exchange->uploaded = ulnow;
        exchange->lastActivity = Clock::now();
    }
    exchange->uploadTotal = ultotal;
    return 0;
}

// Drives one transfer to its end. False on any failure, a stop request or an idle time-out,
// with the reason in `why`.
bool Perform(CURL* easy, Transfer& exchange, const HttpTimeouts& limits, std::stop_token stop,
             std::string& why) {
    std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
    if (!multi || curl_multi_add_handle(multi.get(), easy) != CURLM_OK) {
        why = "the transfer cannot be started";
        return false;
    }
    bool ok = false;
    {
        // Wakes the poll below the moment a stop is requested.
        std::stop_callback wake(stop, [m = multi.get()] { curl_multi_wakeup(m); });
        for (;;) {
            int running = 0;
            if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
                why = "the transfer failed";
                break;
            }
            if (running == 0) {
                int queued = 0;
                CURLMsg* msg = curl_multi_info_read(multi.get(), &queued);
                ok = msg != nullptr && msg->msg == CURLMSG_DONE && msg->data.result == CURLE_OK;
                // libcurl refuses a too large answer by its announced length before any byte.
                if (msg != nullptr && msg->msg == CURLMSG_DONE &&
                    msg->data.result == CURLE_FILESIZE_EXCEEDED)
                    exchange.tooLarge = true;
                if (!ok)
                    why = msg != nullptr && msg->msg == CURLMSG_DONE
                              ? curl_easy_strerror(msg->data.result)
                              : "the transfer ended without a result";
                break;
            }
            if (stop.stop_requested()) {
                why = "stopped";
                break;
            }

            // Once connected, a pause longer than the send or receive time-out ends the exchange;
            // resolving and connecting are bounded by libcurl's connect time-out.
            curl_off_t connectedAfter = 0;
            curl_easy_getinfo(easy, CURLINFO_CONNECT_TIME_T, &connectedAfter);
            // Before the connection libcurl's own timers (resolving, connecting) cut the wait
            // short; after it, only the idle limit does, so a silent peer costs no wake-ups.
            milliseconds wait{1000};
            if (connectedAfter > 0) {
                const bool sending = exchange.uploaded < exchange.uploadTotal;
                const milliseconds limit = sending ? limits.send : limits.receive;
                const auto idle =
                    std::chrono::duration_cast<milliseconds>(Clock::now() - exchange.lastActivity);
                if (idle >= limit) {
                    why = std::string(sending ? "sending" : "waiting for the answer") +
                          " timed out after " + std::to_string(limit.count()) + " ms";
                    break;
                }
                wait = limit - idle;
            }
            wait = std::max(wait, milliseconds{1});
            if (curl_multi_poll(multi.get(), nullptr, 0, static_cast<int>(wait.count()), nullptr) !=
                CURLM_OK) {
                why = "the transfer's wait failed";
                break;
            }
        }
    }
    curl_multi_remove_handle(multi.get(), easy);
    return ok;
}

// "host:port:address" for libcurl's resolve list: the URL's host name and port, with the
// scheme's default port filled in. Empty when the URL names no web host.
std::string ResolveEntry(std::string_view url, const std::string& address) {
    const UrlParts parts = ReadUrl(url);
    if (parts.scheme.empty() || !parts.web() || parts.host.empty()) return {};
    return parts.host + ":" + parts.port + ":" + address;
}

}  // namespace

ExchangeResponse Exchange(const ExchangeRequest& request) {
    ExchangeResponse response;
    const auto failed = [&](std::string why) {
        response.failure = std::move(why);
        return std::move(response);
    };

    EnsureCurlInitialised();
    std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
    if (!easy) throw std::runtime_error("cannot create an HTTP request handle");

    const HttpTimeouts& limits = request.timeouts;
    Transfer exchange;
    exchange.maxBytes = request.maxAnswerBytes;
    CURL* h = easy.get();
    const std::string urlText(request.url);
    const std::string methodText(request.method);
    curl_easy_setopt(h, CURLOPT_URL, urlText.c_str());
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_PROXY,
                     "");  // straight to the peer: a proxy would defeat line routing
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
#ifdef VORTA_TEST_HOOKS
    // The labs' https services present certificates of a test authority of their own.
    if (const char* authority = std::getenv("VORTA_TEST_CA_FILE"))
        curl_easy_setopt(h, CURLOPT_CAINFO, authority);
#endif
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>((limits.resolve + limits.connect).count()));
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS,
                     static_cast<long>(
                         (limits.resolve + limits.connect + limits.send + limits.receive).count()));
    curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(exchange.maxBytes));
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &exchange);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &exchange);

    if (EqualsIgnoreCase(request.method, "POST")) {
        curl_easy_setopt(h, CURLOPT_POST, 1L);
        curl_easy_setopt(h, CURLOPT_POSTFIELDS, request.body.data());
        curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(request.body.size()));
    } else if (EqualsIgnoreCase(request.method, "GET")) {
        curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    } else {
        curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, methodText.c_str());
        if (EqualsIgnoreCase(request.method, "HEAD")) curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
    }

    // A pinned exchange never asks DNS: its host name stays in the request, the connection goes
    // to the given address. An entry that cannot be built fails the exchange rather than letting
    // it resolve on its own.
    const HttpRoute& route = request.route;
    std::unique_ptr<curl_slist, SlistDeleter> resolve;
    if (!route.address.empty()) {
        const std::string entry = ResolveEntry(urlText, route.address);
        if (entry.empty()) return failed("the URL cannot be pinned to " + route.address);
        resolve.reset(curl_slist_append(nullptr, entry.c_str()));
        curl_easy_setopt(h, CURLOPT_RESOLVE, resolve.get());
        curl_easy_setopt(h, CURLOPT_IPRESOLVE, CURL_IPRESOLVE_V4);
    }
    // "if!" names an interface only. Where the process may not bind to a device, libcurl binds
    // to the interface's address instead and the host route decides the way out.
    const std::string device = route.interface.empty() ? "" : "if!" + route.interface;
    if (!device.empty()) curl_easy_setopt(h, CURLOPT_INTERFACE, device.c_str());

    curl_slist* raw = nullptr;
    for (const std::string& header : request.headers) raw = curl_slist_append(raw, header.c_str());
    raw = curl_slist_append(raw, "Expect:");  // no 100-continue round trip for larger bodies
    std::unique_ptr<curl_slist, SlistDeleter> headers(raw);
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());

    std::string why;
    const bool performed = Perform(h, exchange, limits, request.stop, why);
    response.tooLarge = exchange.tooLarge;
    if (exchange.tooLarge || !performed) return failed(why);

    response.completed = true;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &response.status);
    char* target = nullptr;
    curl_easy_getinfo(h, CURLINFO_REDIRECT_URL, &target);
    if (target != nullptr) response.redirectTarget = target;
    char* contentType = nullptr;
    curl_easy_getinfo(h, CURLINFO_CONTENT_TYPE, &contentType);
    if (contentType != nullptr) response.contentType = contentType;
    response.body = std::move(exchange.body);
    return response;
}

}  // namespace vorta::http
