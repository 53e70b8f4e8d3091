// The HTTP exchange on WinHTTP in its asynchronous mode: every step waits for its completion or
// for a stop request, whichever comes first. (Closing a handle does not end a synchronous call
// in progress everywhere; Wine's WinHTTP for one keeps waiting.)

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "protocol/HttpExchange.h"
#include "protocol/win32/Utf16.h"

namespace vorta::http {
namespace {

struct InternetCloser {
    void operator()(HINTERNET h) const { WinHttpCloseHandle(h); }
};
using UniqueInternet = std::unique_ptr<void, InternetCloser>;

// What one step of the exchange waits for. WinHTTP's threads may still write here after a stop
// ended the wait, so the buffers it reads and fills live here too, until the handle is closed.
struct Pending {
    std::mutex mutex;
    std::condition_variable changed;
    bool done = false;
    bool stopped = false;
    DWORD error = 0;
    DWORD count = 0;  // bytes available or read
    std::string body;
    std::vector<char> buffer = std::vector<char>(64 * 1024);
};
// The request handle's context: one reference, dropped when the handle has closed.
using PendingRef = std::shared_ptr<Pending>;

void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info, DWORD length) {
    auto* ref = reinterpret_cast<PendingRef*>(context);
    if (ref == nullptr) return;  // the session and connection handles carry no context
    if (status == WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING) {
        delete ref;
        return;
    }
    Pending& p = **ref;
    std::lock_guard lock(p.mutex);
    switch (status) {
        case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
        case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
            break;
        case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE:
            p.count = *static_cast<DWORD*>(info);
            break;
        case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
            p.count = length;
            break;
        case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
            p.error = static_cast<WINHTTP_ASYNC_RESULT*>(info)->dwError;
            break;
        default:
            return;
    }
    p.done = true;
    p.changed.notify_all();
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

std::string Why(const char* step) {
    return std::string(step) + " failed (WinHTTP error " + std::to_string(GetLastError()) + ")";
}

// A response header as UTF-8; empty when the answer has none.
std::string Header(HINTERNET request, DWORD query) {
    DWORD bytes = 0;
    WinHttpQueryHeaders(request, query, WINHTTP_HEADER_NAME_BY_INDEX, nullptr, &bytes,
                        WINHTTP_NO_HEADER_INDEX);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || bytes == 0) return {};
    std::wstring value(bytes / sizeof(wchar_t), L'\0');
    if (!WinHttpQueryHeaders(request, query, WINHTTP_HEADER_NAME_BY_INDEX, value.data(), &bytes,
                             WINHTTP_NO_HEADER_INDEX))
        return {};
    value.resize(bytes / sizeof(wchar_t));
    return win32::ToUtf8(value);
}

// `location` made absolute against the URL that was asked for (scheme, authority and path).
std::string Absolute(const std::string& location, std::string_view url) {
    const std::size_t schemeEnd = url.find("://");
    if (location.find("://") != std::string::npos || schemeEnd == std::string_view::npos)
        return location;
    if (location.starts_with("//")) return std::string(url.substr(0, schemeEnd + 1)) + location;
    const std::size_t pathStart = std::min(url.find('/', schemeEnd + 3), url.size());
    if (location.starts_with("/")) return std::string(url.substr(0, pathStart)) + location;
    std::string_view path = url.substr(pathStart);
    path = path.substr(0, path.find_first_of("?#"));
    const std::size_t dirEnd = path.rfind('/');
    const std::string dir =
        dirEnd == std::string_view::npos ? "/" : std::string(path.substr(0, dirEnd + 1));
    return std::string(url.substr(0, pathStart)) + dir + location;
}

// Starts one step of the exchange and waits until WinHTTP completes it or a stop comes. False,
// with the reason in `why`, on failure and on stop.
template <typename Start>
bool Step(Pending& p, const char* what, std::string& why, Start start) {
    {
        std::lock_guard lock(p.mutex);
        p.done = false;
        p.error = 0;
        p.count = 0;
    }
    if (!start()) {
        why = Why(what);
        return false;
    }
    std::unique_lock lock(p.mutex);
    p.changed.wait(lock, [&] { return p.done || p.stopped; });
    if (p.stopped) {
        why = "stopped";
        return false;
    }
    if (p.error != 0) {
        why = std::string(what) + " failed (WinHTTP error " + std::to_string(p.error) + ")";
        return false;
    }
    return true;
}

}  // namespace

ExchangeResponse Exchange(const ExchangeRequest& request) {
    ExchangeResponse response;
    const auto failed = [&](std::string why) {
        response.failure = request.stop.stop_requested() ? "stopped" : std::move(why);
        return std::move(response);
    };

    // Straight to the peer: a proxy would defeat line routing.
    UniqueInternet session(WinHttpOpen(L"Vorta", WINHTTP_ACCESS_TYPE_NO_PROXY,
                                       WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS,
                                       WINHTTP_FLAG_ASYNC));
    if (!session) throw std::runtime_error("cannot create an HTTP session handle");
    WinHttpSetStatusCallback(session.get(), OnStatus,
                             WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS | WINHTTP_CALLBACK_FLAG_HANDLES,
                             0);
    const HttpTimeouts& limits = request.timeouts;
    WinHttpSetTimeouts(session.get(), static_cast<int>(limits.resolve.count()),
                       static_cast<int>(limits.connect.count()),
                       static_cast<int>(limits.send.count()),
                       static_cast<int>(limits.receive.count()));

    std::wstring url = win32::ToWide(request.url);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength =
        static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts))
        return failed("the URL cannot be read");
    if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)
        return failed("only http and https URLs are fetched");
    const bool https = parts.nScheme == INTERNET_SCHEME_HTTPS;
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring target(parts.lpszUrlPath, parts.dwUrlPathLength);
    target.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);

    // A pinned exchange never asks DNS: it connects to the address and names the host in its
    // Host header. WinHTTP checks a certificate against the connected name, so https cannot be
    // pinned this way. An interface cannot be chosen either: the line's host route decides.
    const HttpRoute& route = request.route;
    std::wstring connectTo = host;
    if (!route.address.empty()) {
        if (https) return failed("an https URL cannot be pinned to " + route.address);
        connectTo = win32::ToWide(route.address);
    }
    UniqueInternet connection(WinHttpConnect(session.get(), connectTo.c_str(), parts.nPort, 0));
    if (!connection) return failed(Why("connecting"));

    const bool post = EqualsIgnoreCase(request.method, "POST");
    const std::wstring method = post ? L"POST" : win32::ToWide(request.method);
    UniqueInternet exchange(WinHttpOpenRequest(
        connection.get(), method.c_str(), target.c_str(), nullptr, WINHTTP_NO_REFERER,
        WINHTTP_DEFAULT_ACCEPT_TYPES, https ? WINHTTP_FLAG_SECURE : 0));
    if (!exchange) throw std::runtime_error("cannot create an HTTP request handle");
    HINTERNET h = exchange.get();
    const auto pending = std::make_shared<Pending>();
    auto* context = new PendingRef(pending);
    DWORD_PTR contextValue = reinterpret_cast<DWORD_PTR>(context);
    if (!WinHttpSetOption(h, WINHTTP_OPTION_CONTEXT_VALUE, &contextValue, sizeof contextValue)) {
        delete context;
        return failed(Why("setting up the request"));
    }
    std::stop_callback abandon(request.stop, [pending] {
        std::lock_guard lock(pending->mutex);
        pending->stopped = true;
        pending->changed.notify_all();
    });
    std::string why;

    DWORD option = WINHTTP_DISABLE_REDIRECTS;  // a redirect is reported, never followed
    WinHttpSetOption(h, WINHTTP_OPTION_DISABLE_FEATURE, &option, sizeof option);
    std::string headers;
    for (const std::string& header : request.headers) headers += header + "\r\n";
    if (!route.address.empty()) {
        const bool defaultPort =
            parts.nPort == (https ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT);
        headers += "Host: " + win32::ToUtf8(host) +
                   (defaultPort ? "" : ":" + std::to_string(parts.nPort)) + "\r\n";
    }
    const std::wstring wideHeaders = win32::ToWide(headers);
    if (!wideHeaders.empty() &&
        !WinHttpAddRequestHeaders(h, wideHeaders.c_str(), static_cast<DWORD>(wideHeaders.size()),
                                  WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE))
        return failed(Why("setting the headers"));

    if (post) pending->body = request.body;
    const auto bodyBytes = static_cast<DWORD>(pending->body.size());
    if (!Step(*pending, "sending", why,
              [&] {
                  return WinHttpSendRequest(h, WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                                            pending->body.data(), bodyBytes, bodyBytes,
                                            contextValue);
              }) ||
        !Step(*pending, "waiting for the answer", why,
              [&] { return WinHttpReceiveResponse(h, nullptr); }))
        return failed(why);

    DWORD status = 0;
    DWORD size = sizeof status;
    if (!WinHttpQueryHeaders(h, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
        return failed(Why("reading the status"));
    // A length announced beyond the limit is refused before any byte is read.
    DWORD announced = 0;
    size = sizeof announced;
    if (WinHttpQueryHeaders(h, WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER,
                            WINHTTP_HEADER_NAME_BY_INDEX, &announced, &size,
                            WINHTTP_NO_HEADER_INDEX) &&
        announced > request.maxAnswerBytes) {
        response.tooLarge = true;
        return failed("the answer is larger than " + std::to_string(request.maxAnswerBytes) +
                      " bytes");
    }

    std::string answer;
    for (;;) {
        if (!Step(*pending, "reading the answer", why,
                  [&] { return WinHttpQueryDataAvailable(h, nullptr); }))
            return failed(why);
        const DWORD available = pending->count;
        if (available == 0) break;
        if (answer.size() + available > request.maxAnswerBytes) {
            response.tooLarge = true;
            return failed("the answer is larger than " + std::to_string(request.maxAnswerBytes) +
                          " bytes");
        }
        const auto chunk =
            static_cast<DWORD>(std::min<std::size_t>(available, pending->buffer.size()));
        if (!Step(*pending, "reading the answer", why,
                  [&] { return WinHttpReadData(h, pending->buffer.data(), chunk, nullptr); }))
            return failed(why);
        answer.append(pending->buffer.data(), pending->count);
    }

    response.completed = true;
    response.status = static_cast<long>(status);
    response.contentType = Header(h, WINHTTP_QUERY_CONTENT_TYPE);
    if (status >= 300 && status < 400) {
        const std::string location = Header(h, WINHTTP_QUERY_LOCATION);
        if (!location.empty()) response.redirectTarget = Absolute(location, request.url);
    }
    response.body = std::move(answer);
    return response;
}

}  // namespace vorta::http
