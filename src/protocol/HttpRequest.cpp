#include "protocol/HttpRequest.h"

#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stdexcept>

#include "protocol/DebugLog.h"
#include "protocol/TextCodec.h"
#include "protocol/Xml.h"

namespace vorta {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The process-wide HTTP lock. A waiter can give up when its thread is asked to stop; without a
// stop request it waits as long as the exchange ahead of it takes.
class HttpLock {
public:
    bool Acquire(std::stop_token stop) {
        std::unique_lock lock(mutex_);
        if (!changed_.wait(lock, stop, [this] { return !busy_; })) return false;
        busy_ = true;
        return true;
    }
    void Release() {
        {
            std::lock_guard lock(mutex_);
            busy_ = false;
        }
        changed_.notify_one();
    }

private:
    std::mutex mutex_;
    std::condition_variable_any changed_;
    bool busy_ = false;
};

HttpLock& TheHttpLock() {
    static HttpLock lock;
    return lock;
}

class HttpLockGuard {
public:
    explicit HttpLockGuard(std::stop_token stop) : held_(TheHttpLock().Acquire(std::move(stop))) {}
    ~HttpLockGuard() {
        if (held_) TheHttpLock().Release();
    }
    HttpLockGuard(const HttpLockGuard&) = delete;
    HttpLockGuard& operator=(const HttpLockGuard&) = delete;
    bool held() const { return held_; }

private:
    bool held_;
};

std::mutex timeoutsLock;
HttpTimeouts timeouts;

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct MultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct UrlDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
struct CurlTextDeleter {
    void operator()(char* text) const { curl_free(text); }
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
struct Exchange {
    std::string body;
    bool tooLarge = false;
    curl_off_t downloaded = -1;
    curl_off_t uploaded = -1;
    curl_off_t uploadTotal = 0;
    Clock::time_point lastActivity = Clock::now();
};

size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto* exchange = static_cast<Exchange*>(user);
    const size_t bytes = size * count;
    if (exchange->body.size() + bytes > kMaxAnswerBytes) {
        exchange->tooLarge = true;
        return 0;  // aborts the transfer
    }
    exchange->body.append(data, bytes);
    exchange->lastActivity = Clock::now();
    return bytes;
}

int OnProgress(void* user, curl_off_t, curl_off_t dlnow, curl_off_t ultotal, curl_off_t ulnow) {
    auto* exchange = static_cast<Exchange*>(user);
    if (dlnow != exchange->downloaded || ulnow != exchange->uploaded) {
        exchange->downloaded = dlnow;
        exchange->uploaded = ulnow;
        exchange->lastActivity = Clock::now();
    }
    exchange->uploadTotal = ultotal;
    return 0;
}

// The charset parameter of a Content-Type value, or empty.
std::string CharsetOf(const char* contentType) {
    if (contentType == nullptr) return {};
    std::string value(contentType);
    std::string lower = value;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const std::size_t at = lower.find("charset=");
    if (at == std::string::npos) return {};
    std::string charset = value.substr(at + 8);
    charset = charset.substr(0, charset.find_first_of("; \t"));
    if (charset.size() >= 2 && charset.front() == '"' && charset.back() == '"')
        charset = charset.substr(1, charset.size() - 2);
    return charset;
}

// Drives one transfer to its end. False on any failure, a stop request or an idle time-out,
// with the reason in `why`.
bool Perform(CURL* easy, Exchange& exchange, const HttpTimeouts& limits, std::stop_token stop,
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
// scheme's default port filled in. Empty when the URL cannot be read.
std::string ResolveEntry(const std::string& url, const std::string& address) {
    std::unique_ptr<CURLU, UrlDeleter> parsed(curl_url());
    if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK)
        return {};
    char* host = nullptr;
    char* port = nullptr;
    if (curl_url_get(parsed.get(), CURLUPART_HOST, &host, 0) != CURLUE_OK) return {};
    std::unique_ptr<char, CurlTextDeleter> hostText(host);
    if (curl_url_get(parsed.get(), CURLUPART_PORT, &port, CURLU_DEFAULT_PORT) != CURLUE_OK)
        return {};
    std::unique_ptr<char, CurlTextDeleter> portText(port);
    return std::string(host) + ":" + port + ":" + address;
}

bool IsRedirect(long status) {
    return status == 301 || status == 302 || status == 303 || status == 307;
}

}  // namespace

void SetHttpTimeouts(const HttpTimeouts& value) {
    std::lock_guard guard(timeoutsLock);
    timeouts = value;
}

HttpTimeouts GetHttpTimeouts() {
    std::lock_guard guard(timeoutsLock);
    return timeouts;
}

bool IsValidXml(std::string_view text) {
    return xml::Parse(text) != nullptr;
}

void HttpRequest(std::string_view method, std::string_view url, std::string_view body,
                 std::string& response, bool xmlMode, std::stop_token stop, const HttpRoute& route,
                 std::string* redirect) {
    response.clear();
    if (redirect != nullptr) redirect->clear();
    // Callers see only an empty answer; the debug log learns why.
    const auto failed = [&](const std::string& why) {
        if (DebugEnabled())
            Debug("HTTP " + std::string(method) + " " + std::string(url) + ": " + why);
    };
    if (url.empty()) return failed("no URL");

    HttpLockGuard guard(stop);
    if (!guard.held()) return failed("stopped while waiting for another exchange");

    EnsureCurlInitialised();
    std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
    if (!easy) throw std::runtime_error("cannot create an HTTP request handle");

    const HttpTimeouts limits = GetHttpTimeouts();
    Exchange exchange;
    CURL* h = easy.get();
    const std::string urlText(url);
    const std::string methodText(method);
    curl_easy_setopt(h, CURLOPT_URL, urlText.c_str());
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_PROXY,
                     "");  // straight to the peer: a proxy would defeat line routing
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>((limits.resolve + limits.connect).count()));
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS,
                     static_cast<long>(
                         (limits.resolve + limits.connect + limits.send + limits.receive).count()));
    curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxAnswerBytes));
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &exchange);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &exchange);

    const bool post = EqualsIgnoreCase(method, "POST");
    if (post) {
        curl_easy_setopt(h, CURLOPT_POST, 1L);
        curl_easy_setopt(h, CURLOPT_POSTFIELDS, body.data());
        curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    } else if (EqualsIgnoreCase(method, "GET")) {
        curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    } else {
        curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, methodText.c_str());
        if (EqualsIgnoreCase(method, "HEAD")) curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
    }

    // A pinned exchange never asks DNS: its host name stays in the request, the connection goes
    // to the given address. An entry that cannot be built fails the exchange rather than letting
    // it resolve on its own.
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
    if (xmlMode) {
        raw = curl_slist_append(raw, "charset: UTF-8");
        raw = curl_slist_append(raw, "Pragma: No-Cache");
        raw = curl_slist_append(raw, "Content-Type: text/xml");
    }
    raw = curl_slist_append(raw, "Expect:");  // no 100-continue round trip for larger bodies
    std::unique_ptr<curl_slist, SlistDeleter> headers(raw);
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());

    std::string why;
    const bool performed = Perform(h, exchange, limits, stop, why);
    if (exchange.tooLarge)
        return failed("the answer is larger than " + std::to_string(kMaxAnswerBytes) + " bytes");
    if (!performed) return failed(why);

    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    if (redirect != nullptr && IsRedirect(status)) {
        char* target = nullptr;
        curl_easy_getinfo(h, CURLINFO_REDIRECT_URL, &target);
        if (target != nullptr) *redirect = target;
        return failed("redirected (" + std::to_string(status) + ") to " + *redirect);
    }
    if (status != 200) return failed("status " + std::to_string(status));
    char* contentType = nullptr;
    curl_easy_getinfo(h, CURLINFO_CONTENT_TYPE, &contentType);
    const std::string charset = CharsetOf(contentType);

    if (xmlMode) {
        // The document's own declaration decides its encoding; the HTTP charset only fills in
        // for a document that names none.
        xml::DocPtr doc = xml::Parse(exchange.body, charset.empty() ? nullptr : charset.c_str());
        if (!doc) return failed("the answer is not a well-formed XML document");
        try {
            response = xml::ToUtf8Text(doc.get());
        } catch (const xml::XmlError& e) {
            response.clear();
            failed(std::string("the answer cannot be read as text: ") + e.what());
        }
        return;
    }
    std::string_view bytes(exchange.body);
    bytes = bytes.substr(0, bytes.find('\0'));
    response = TruncateUtf16Units(DecodeToUtf8(bytes, charset), kPlainModeMaxUnits);
}

}  // namespace vorta
