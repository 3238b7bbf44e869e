// The board's HTTP layer: an event-driven HTTP/1.1 server on Boost.Beast
// and Boost.Asio, with C++20 coroutines. A connection costs memory, not a
// thread: every connection is a coroutine on a strand of one io_context,
// which a few threads run. It reads each request within its limits, answers
// the ones it breaks at once with their status, hands the others to a
// handler (a coroutine too, which does any blocking work on a pool), writes
// the answer with the security headers every answer carries, and logs it.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "board/asio.h"
#include "board/server.h"

namespace pm::board::http {

namespace bh = boost::beast::http;
using Milliseconds = std::chrono::milliseconds;

// Beast's string_view (Boost's) as the standard one.
inline std::string_view View(boost::beast::string_view s) { return {s.data(), s.size()}; }

// Every answer carries these: scripts and WebAssembly from the site only, no
// framing by other sites, no sniffing a replay's text into a page, no
// Referer sent on. The table page and the browser game keep to it: no
// inline script or style, their files from the site itself. (blob: is the
// game's own program: the page downloads pellimunch.js from the site itself,
// for its progress bar, and starts it from those bytes; only a script
// already running on the page can make a blob: address.)
inline constexpr const char* ContentSecurityPolicy =
    "default-src 'self'; script-src 'self' blob: 'wasm-unsafe-eval'; style-src 'self'; img-src 'self' data:; "
    "object-src 'none'; base-uri 'none'; form-action 'self'; frame-ancestors 'none'";
inline constexpr const char* ReferrerPolicy = "no-referrer";

struct Limits {
    size_t HeaderBytes = MaxHeaderBytes;                   // 431 past it
    size_t BodyBytes = MaxBodyBytes;                       // 413 past it, counted on the wire
    Milliseconds Head{HeadTimeoutSeconds * 1000};           // the request line and headers
    Milliseconds Body{BodyTimeoutSeconds * 1000};           // the body
    Milliseconds Idle{KeepAliveIdleSeconds * 1000};         // between requests
    Milliseconds Write{WriteTimeoutSeconds * 1000};         // for each part of an answer
    Milliseconds Linger{LingerMilliseconds};                // reading input away after an error answer
    size_t LingerBytes = pm::board::LingerBytes;
    int PerAddress = MaxConnectionsPerAddress;              // 0: no cap
    int Total = MaxConnections;
    int Backlog = ListenBacklog;                            // 0: the system's maximum
};

struct Config {
    Limits Limit;
    bool TrustProxy = false;   // the client's address from X-Forwarded-For
    bool Log = true;           // a line per request on standard error
};

// A request body read as it comes: nothing reserved from what
// Content-Length claims (a claim is not bytes).
struct GrowingBody {
    using value_type = std::string;
    static std::uint64_t size(const value_type& body) { return body.size(); }
    class reader {
    public:
        template <bool isRequest, class Fields>
        reader(bh::header<isRequest, Fields>&, value_type& body) : body_(body) {}
        void init(const boost::optional<std::uint64_t>&, boost::system::error_code& ec) { ec = {}; }
        template <class Buffers>
        std::size_t put(const Buffers& buffers, boost::system::error_code& ec) {
            std::size_t n = 0;
            for (const auto b : boost::beast::buffers_range_ref(buffers)) {
                body_.append(static_cast<const char*>(b.data()), b.size());
                n += b.size();
            }
            ec = {};
            return n;
        }
        void finish(boost::system::error_code& ec) { ec = {}; }

    private:
        value_type& body_;
    };
};

struct Request {
    bh::request<GrowingBody> Message;
    std::string Path;      // the target before '?', percent-decoded; empty when it does not decode
    std::string Query;     // after '?', as sent
    std::string Peer;      // the connection's address
    std::string Client;    // the address the rate limit and the log use (Peer, or the proxy's client)

    bool Head() const { return Message.method() == bh::verb::head; }
    std::string_view Method() const { return View(Message.method_string()); }
    std::string_view Header(bh::field name) const;
    std::string& Body() { return Message.body(); }
    // A query parameter, decoded; the first of that name.
    std::optional<std::string> Param(std::string_view name) const;
};

struct Response {
    unsigned Status = 200;
    std::string Type = "application/json";
    std::string Body;
    std::optional<bh::file_body::value_type> File;              // sent instead of Body
    std::vector<std::pair<std::string, std::string>> Headers;   // besides the ones every answer has
    bool Close = false;                                         // no other request on this connection

    Response() = default;
    Response(unsigned status, std::string type, std::string body)
        : Status(status), Type(std::move(type)), Body(std::move(body)) {}
    Response& With(std::string name, std::string value) & {
        Headers.emplace_back(std::move(name), std::move(value));
        return *this;
    }
    Response&& With(std::string name, std::string value) && {
        Headers.emplace_back(std::move(name), std::move(value));
        return std::move(*this);
    }
};

using Handler = std::function<asio::awaitable<Response>(Request&)>;

class Server {
public:
    Server(asio::io_context& io, Config config, Handler handler);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Binds and listens (port 0: a free one); the port. Throws
    // boost::system::system_error.
    uint16_t Listen(const std::string& address, uint16_t port);
    // Starts accepting (on the io_context's threads).
    void Start();
    // Stops accepting and closes every connection that is being read, is
    // idle or lingers; the ones whose request is in hand are answered and
    // then closed. `closed` is called (on an I/O thread) once none is left.
    void Stop(std::function<void()> closed);
    // Closes every connection now.
    void CloseAll();
    size_t Connections() const;

private:
    struct Impl;
    std::shared_ptr<Impl> impl_;
};

// Pieces of the layer, public for their tests.

// Text for the log: bytes outside printable ASCII (control characters, DEL,
// anything non-ASCII) and the backslash as \xNN, so that a line of the log is
// one request and shows nothing a terminal would act on.
std::string EscapeForLog(std::string_view text);
// True for "application/json", with any parameters and in any case.
bool IsJsonType(std::string_view contentType);
// The client's address: the connection's, or with `trustProxy` the last
// address of X-Forwarded-For (the one the proxy in front appended).
std::string ClientAddress(std::string_view peer, std::string_view forwardedFor, bool trustProxy);
// %XX decoded; nothing when an escape is broken or decodes to a NUL.
std::optional<std::string> PercentDecode(std::string_view text, bool plusIsSpace = false);
// The listen backlog the system allows at most (net.core.somaxconn).
int SystemBacklog();
// Raises the open-file limit to its hard limit; the limit now in force.
int RaiseOpenFileLimit();

}  // namespace pm::board::http
