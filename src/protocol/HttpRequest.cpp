#include "protocol/HttpRequest.h"

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "protocol/DebugLog.h"
#include "protocol/HttpExchange.h"
#include "protocol/TextCodec.h"
#include "protocol/Xml.h"

namespace vorta {
namespace {

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

// Takes the lock for a serialised exchange; a concurrent one passes at once.
class HttpLockGuard {
public:
    HttpLockGuard(HttpLocking locking, std::stop_token stop)
        : taken_(locking == HttpLocking::Serialised),
          held_(!taken_ || TheHttpLock().Acquire(std::move(stop))) {}
    ~HttpLockGuard() {
        if (taken_ && held_) TheHttpLock().Release();
    }
    HttpLockGuard(const HttpLockGuard&) = delete;
    HttpLockGuard& operator=(const HttpLockGuard&) = delete;
    bool held() const { return held_; }

private:
    bool taken_;
    bool held_;
};

std::mutex timeoutsLock;
HttpTimeouts timeouts;

// The charset parameter of a Content-Type value, or empty.
std::string CharsetOf(const std::string& value) {
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
    return static_cast<bool>(xml::Parse(text));
}

void HttpRequest(std::string_view method, std::string_view url, std::string_view body,
                 std::string& response, bool xmlMode, std::stop_token stop, const HttpRoute& route,
                 HttpDetails* details, HttpLocking locking) {
    response.clear();
    HttpDetails ignored;
    HttpDetails& told = details != nullptr ? *details : ignored;
    told = HttpDetails();
    // Callers see an empty answer; the debug log and `details` learn why.
    const auto failed = [&](const std::string& why) {
        told.failure = why;
        if (DebugEnabled())
            Debug("HTTP " + std::string(method) + " " + std::string(url) + ": " + why);
    };
    if (url.empty()) return failed("no URL");

    HttpLockGuard guard(locking, stop);
    if (!guard.held()) return failed("stopped while waiting for another exchange");

    std::vector<std::string> headers;
    if (xmlMode) headers = {"charset: UTF-8", "Pragma: No-Cache", "Content-Type: text/xml"};
    const http::ExchangeResponse answer = http::Exchange({.method = method,
                                                          .url = url,
                                                          .body = body,
                                                          .headers = std::move(headers),
                                                          .timeouts = GetHttpTimeouts(),
                                                          .route = route,
                                                          .stop = stop,
                                                          .maxAnswerBytes = kMaxAnswerBytes});
    if (answer.tooLarge)
        return failed("the answer is larger than " + std::to_string(kMaxAnswerBytes) + " bytes");
    if (!answer.completed) return failed(answer.failure);

    const long status = answer.status;
    if (IsRedirect(status)) {
        told.redirect = answer.redirectTarget;
        return failed("redirected (" + std::to_string(status) + ") to " + told.redirect);
    }
    if (status != 200) return failed("status " + std::to_string(status));
    const std::string charset = CharsetOf(answer.contentType);

    if (xmlMode) {
        // The document's own declaration decides its encoding; the HTTP charset only fills in
        // for a document that names none.
        xml::XmlDocument doc = xml::Parse(answer.body, charset.empty() ? nullptr : charset.c_str());
        if (!doc) return failed("the answer is not a well-formed XML document");
        try {
            response = xml::ToUtf8Text(doc);
        } catch (const xml::XmlError& e) {
            response.clear();
            failed(std::string("the answer cannot be read as text: ") + e.what());
        }
        return;
    }
    std::string_view bytes(answer.body);
    bytes = bytes.substr(0, bytes.find('\0'));
    told.charset = ReadableCharset(charset);
    response = TruncateUtf16Units(DecodeToUtf8(bytes, told.charset), kPlainModeMaxUnits);
}

}  // namespace vorta
