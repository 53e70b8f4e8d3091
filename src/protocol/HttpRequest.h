#pragma once
// The one HTTP routine of the client: a synchronous exchange. The logon session's exchanges run
// under a process-wide lock, one at a time, since they share the session and the last error;
// a line's own exchanges (its reports, its portal logon) run beside them and beside each other,
// so that a line whose service never answers holds up no other. Any failure yields an empty
// response.

#include <chrono>
#include <cstddef>
#include <stop_token>
#include <string>
#include <string_view>

namespace vorta {

struct HttpTimeouts {
    std::chrono::milliseconds resolve{30000};
    std::chrono::milliseconds connect{30000};
    std::chrono::milliseconds send{30000};  // longest pause while the request goes out
    std::chrono::milliseconds receive{
        30000};  // longest pause while waiting for or reading the answer
};

// Answers larger than this are failures; memory stays bounded whatever the peer sends.
inline constexpr std::size_t kMaxAnswerBytes = 4u << 20;
// Plain mode delivers at most this many UTF-16 units of text.
inline constexpr std::size_t kPlainModeMaxUnits = 32767;

// Where one exchange may go. A line's exchanges are pinned to the address its host route was
// added for and kept on the line's interface, so that neither another DNS answer nor a change of
// the route table can send them out by another line.
struct HttpRoute {
    std::string address;    // dotted IPv4: the URL's host is connected there, never looked up
    std::string interface;  // the only interface the exchange may leave by; empty: any
};

// Whether an exchange waits for the process-wide lock.
enum class HttpLocking { Serialised, Concurrent };

// What became of one exchange beyond its response text.
struct HttpDetails {
    std::string failure;   // why the response is empty (the debug log's words); empty otherwise
    std::string charset;   // plain mode: the charset the body was read in
    std::string redirect;  // the absolute target of a 301, 302, 303 or 307; never followed
};

// Runs one exchange. `method` "POST" (any letter case) sends a non-empty `body`; every other
// method sends none. Xml mode sends the headers "charset: UTF-8", "Pragma: No-Cache" and
// "Content-Type: text/xml" and accepts only a well-formed document, delivered as UTF-8 text
// whatever encoding it declared. Plain mode sets no header and delivers the body up to its first
// zero byte, decoded as GBK unless the answer names another charset. Only status 200 succeeds.
// A stop request on `stop` abandons the exchange (or the wait for the lock) at once.
// `details`, when given, learns why a response is empty, the charset of a plain-mode body and
// the target of a redirect (the response stays empty: nothing is ever followed by itself).
// A Concurrent exchange neither waits for nor takes the lock.
// Throws std::runtime_error only when no HTTP handle can be created.
void HttpRequest(std::string_view method, std::string_view url, std::string_view body,
                 std::string& response, bool xmlMode, std::stop_token stop = {},
                 const HttpRoute& route = {}, HttpDetails* details = nullptr,
                 HttpLocking locking = HttpLocking::Serialised);

// True exactly when `text` is a well-formed XML document.
bool IsValidXml(std::string_view text);

// The time-outs every exchange uses; tests shorten them.
void SetHttpTimeouts(const HttpTimeouts& timeouts);
HttpTimeouts GetHttpTimeouts();

}  // namespace vorta
